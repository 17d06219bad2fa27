#include "app/SecondaryWindows.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QDialog>
#include <QMainWindow>
#include <QShortcut>
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

}  // namespace

void CloseOnEscape(QWidget* window) {
    auto* shortcut = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, window, &QWidget::close);
}

void InstallWindowAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(WindowFactory);
        return true;
    }();
    Q_UNUSED(installed);
}
