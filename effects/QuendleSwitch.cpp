#include "effects/QuendleSwitch.h"

#include <QPainter>
#include <cmath>

namespace {

constexpr qreal kTrackWidth = 40;
constexpr qreal kTrackHeight = 20;
constexpr int kCaptionGap = 3;

QColor Or(const QColor& set, const QColor& fallback) {
    return set.isValid() ? set : fallback;
}

// Black or white, whichever reads better on the fill.
QColor TextOn(const QColor& fill) {
    auto channel = [](double c) {
        c /= 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    const double l = 0.2126 * channel(fill.red()) + 0.7152 * channel(fill.green()) +
                     0.0722 * channel(fill.blue());
    // Contrast with black is (l + 0.05) / 0.05, with white 1.05 / (l + 0.05).
    return (l + 0.05) * (l + 0.05) > 0.0525 ? QColor(Qt::black) : QColor(Qt::white);
}

}  // namespace

QuendleSwitch::QuendleSwitch(const QString& label, QWidget* parent) : QAbstractButton(parent) {
    setCheckable(true);
    setText(label);
    setAccessibleName(label);
    setFocusPolicy(Qt::StrongFocus);
}

QString QuendleSwitch::StateText() const {
    return isChecked() ? tr("On") : tr("Off");
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
    // The display-only switches (disabled) are drawn like the others: they
    // show the pedal's values and must be read at a glance.

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

    // The state as a word in the free half of the track.
    QFont small = font();
    small.setBold(true);
    small.setPointSizeF(std::max(6.0, (small.pointSizeF() > 0 ? small.pointSizeF() : 9) - 2));
    p.setFont(small);
    p.setPen(TextOn(fill));
    const QRectF free =
        isChecked()
            ? QRectF(track.left() + 2, track.top(), x - track.left() - 2, track.height())
            : QRectF(knob.right(), track.top(), track.right() - knob.right() - 1, track.height());
    p.drawText(free, Qt::AlignCenter, StateText());
    p.setFont(font());

    // The caption in the window's text colour whether or not the switch can be
    // flipped.
    p.setPen(palette().color(QPalette::Active, QPalette::WindowText));
    const QRectF caption(0, track.bottom() + kCaptionGap, width(),
                         height() - track.bottom() - kCaptionGap);
    p.drawText(caption, Qt::AlignHCenter | Qt::AlignTop, text());

    if (hasFocus()) {
        // The keyboard focus framed around the caption, as on the dials.
        const QFontMetricsF fm(font());
        const qreal w = std::min(width() - 1.0, fm.horizontalAdvance(text()) + 8.0);
        const qreal top = caption.top() - 1;
        const qreal bottom = std::min(height() - 0.5, top + fm.height() + 2);
        p.setPen(QPen(palette().color(QPalette::Active, QPalette::WindowText), 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF((width() - w) / 2.0, top + 0.5, w, bottom - top - 0.5), 3, 3);
    }
}
