#include "app/SecondaryWindows.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QWidget>

namespace {

// Our windows derive straight from QWidget, which Qt otherwise reports as a
// client pane; menus, tooltips and dialogs keep Qt's own interfaces.
QAccessibleInterface* WindowFactory(const QString& key, QObject* object) {
    if (!object || !object->isWidgetType()) return nullptr;
    const QMetaObject* meta = object->metaObject();
    if (key != QLatin1String(meta->className())) return nullptr;
    if (meta->superClass() != &QWidget::staticMetaObject) return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    const Qt::WindowType type = widget->windowType();
    if (type != Qt::Window && type != Qt::Tool) return nullptr;
    return new QAccessibleWidget(widget, QAccessible::Window);
}

// Sees the Escape that no control of the window took (a key a control
// leaves alone travels up to its window).
class EscapeCloser : public QObject {
public:
    EscapeCloser(QWidget* window, std::function<bool()> mayClose)
        : QObject(window), mayClose_(std::move(mayClose)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier) {
                if (!mayClose_ || mayClose_()) static_cast<QWidget*>(watched)->close();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<bool()> mayClose_;
};

}  // namespace

void CloseOnEscape(QWidget* window, std::function<bool()> mayClose) {
    window->installEventFilter(new EscapeCloser(window, std::move(mayClose)));
}

void InstallWindowAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(WindowFactory);
        return true;
    }();
    Q_UNUSED(installed);
}
