#include "effects/QuendleSwitch.h"

#include <QPainter>

namespace {

constexpr qreal kTrackWidth = 40;
constexpr qreal kTrackHeight = 20;
constexpr int kCaptionGap = 3;

QColor Or(const QColor& set, const QColor& fallback) {
    return set.isValid() ? set : fallback;
}

}  // namespace

QuendleSwitch::QuendleSwitch(const QString& label, QWidget* parent) : QAbstractButton(parent) {
    setCheckable(true);
    setText(label);
    setAccessibleName(label);
    setFocusPolicy(Qt::StrongFocus);
}

QColor QuendleSwitch::onColor() const {
    return Or(onColor_, palette().color(QPalette::Highlight));
}
QColor QuendleSwitch::offColor() const {
    return Or(offColor_, palette().color(QPalette::Mid));
}
QColor QuendleSwitch::knobColor() const {
    return Or(knobColor_, palette().color(QPalette::Base));
}
void QuendleSwitch::setOnColor(const QColor& c) {
    onColor_ = c;
    update();
}
void QuendleSwitch::setOffColor(const QColor& c) {
    offColor_ = c;
    update();
}
void QuendleSwitch::setKnobColor(const QColor& c) {
    knobColor_ = c;
    update();
}

QSize QuendleSwitch::sizeHint() const {
    const QFontMetrics fm(font());
    return {std::max(static_cast<int>(kTrackWidth) + 8, fm.horizontalAdvance(text()) + 4),
            static_cast<int>(kTrackHeight) + kCaptionGap + fm.height() + 2};
}

QSize QuendleSwitch::minimumSizeHint() const {
    return sizeHint();
}

QRectF QuendleSwitch::TrackRect() const {
    return {(width() - kTrackWidth) / 2.0, 1, kTrackWidth, kTrackHeight};
}

bool QuendleSwitch::hitButton(const QPoint& pos) const {
    return rect().contains(pos);
}

void QuendleSwitch::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled()) p.setOpacity(0.6);

    const QRectF track = TrackRect();
    const qreal radius = track.height() / 2;
    const QColor fill = isChecked() ? onColor() : offColor();
    p.setPen(QPen(fill.darker(125), 1));
    p.setBrush(fill);
    p.drawRoundedRect(track, radius, radius);

    const qreal inset = 2.5;
    const qreal knobSide = track.height() - 2 * inset;
    const qreal x = isChecked() ? track.right() - inset - knobSide : track.left() + inset;
    const QRectF knob(x, track.top() + inset, knobSide, knobSide);
    p.setPen(QPen(knobColor().darker(130), 1));
    p.setBrush(knobColor());
    p.drawEllipse(knob);

    // The caption at full strength: the palette already gives disabled text
    // its own colour.
    p.setOpacity(1.0);
    p.setPen(palette().color(QPalette::WindowText));
    const QRectF caption(0, track.bottom() + kCaptionGap, width(),
                         height() - track.bottom() - kCaptionGap);
    p.drawText(caption, Qt::AlignHCenter | Qt::AlignTop, text());

    if (hasFocus()) {
        // The keyboard focus framed around the caption, as on the dials.
        const QFontMetricsF fm(font());
        const qreal w = std::min(width() - 1.0, fm.horizontalAdvance(text()) + 8.0);
        const qreal top = caption.top() - 1;
        const qreal bottom = std::min(height() - 0.5, top + fm.height() + 2);
        p.setPen(QPen(onColor(), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF((width() - w) / 2.0, top + 0.5, w, bottom - top - 0.5), 3, 3);
    }
}
