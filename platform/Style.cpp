#include "platform/Style.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPointer>
#include <QStyleOption>

#include <optional>

namespace platform {

namespace {

// A standard icon that asks its style for the real one at the first question
// about it, and from then on answers as that icon's own engine would. The
// answers go through the real icon's public calls at a device pixel ratio of
// 1 (or the one asked for), so each is what the icon's engine itself gives.
class DeferredStandardIcon : public QIconEngine {
public:
    DeferredStandardIcon(const QStyle* style, QStyle::StandardPixmap which,
                         const QStyleOption* option, const QWidget* widget)
        : style_(style), which_(which), widget_(widget) {
        if (option) {
            option_ = *option;
            // Only its plain fields (direction, palette, state) are for the
            // icon; the object it points to may be gone by then.
            option_->styleObject = nullptr;
        }
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        // As an icon made of pixmaps draws itself: the pixmap for the place
        // at the device's pixel ratio, fitted into it. (The icon's own paint()
        // would size the place again, which is not always the same size.)
        const QPaintDevice* device = painter->device();
        const qreal ratio = device ? device->devicePixelRatio() : qApp->devicePixelRatio();
        painter->drawPixmap(rect, scaledPixmap(rect.size() * ratio, mode, state, ratio));
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return Real().pixmap(size, 1.0, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        // Asked with the size in device pixels; the icon takes it in its own
        // units and multiplies it back (rounding to the same size).
        if (scale <= 1.0) return pixmap(size, mode, state);
        return Real().pixmap(size / scale, scale, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        // The icon's own actualSize() scales by the application's pixel ratio
        // when that is above 1, which an engine must not; the pixmap for the
        // size at a ratio of 1 has the engine's answer as its size.
        if (qApp->devicePixelRatio() <= 1.0) return Real().actualSize(size, mode, state);
        const QPixmap exact = Real().pixmap(size, 1.0, mode, state);
        return exact.isNull() ? QSize() : exact.size();
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        return Real().availableSizes(mode, state);
    }
    void addPixmap(const QPixmap& pixmap, QIcon::Mode mode, QIcon::State state) override {
        Real().addPixmap(pixmap, mode, state);
    }
    void addFile(const QString& fileName, const QSize& size, QIcon::Mode mode,
                 QIcon::State state) override {
        Real().addFile(fileName, size, mode, state);
    }
    QString iconName() override { return Real().name(); }
    bool isNull() override { return Real().isNull(); }
    QString key() const override { return QStringLiteral("DeferredStandardIcon"); }
    QIconEngine* clone() const override { return new DeferredStandardIcon(*this); }

private:
    QIcon& Real() {
        if (!real_) {
            // A style that has gone (the application's style was replaced)
            // leaves an empty icon rather than a question to nobody.
            real_ = style_ ? style_->standardIcon(which_, option_ ? &*option_ : nullptr, widget_)
                           : QIcon();
        }
        return *real_;
    }

    QPointer<const QStyle> style_;
    QStyle::StandardPixmap which_;
    std::optional<QStyleOption> option_;
    QPointer<const QWidget> widget_;
    std::optional<QIcon> real_;
};

}  // namespace

QIcon EditorStyle::standardIcon(StandardPixmap which, const QStyleOption* option,
                                const QWidget* widget) const {
    // The menu bar's overflow button: made with every menu bar, drawn only
    // when its menus do not fit.
    if (which == SP_ToolBarHorizontalExtensionButton)
        return QIcon(new DeferredStandardIcon(baseStyle(), which, option, widget));
    return QProxyStyle::standardIcon(which, option, widget);
}

void UseEditorStyle() {
    static QPointer<EditorStyle> installed;
    if (installed) return;
    installed = new EditorStyle;
    // The application owns its style from here on.
    QApplication::setStyle(installed);
}

}  // namespace platform
