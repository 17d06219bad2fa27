#include "effects/QuendleDial.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>
#include <QtMath>
#include <cmath>

namespace {

constexpr int kCaptionGap = 2;

int Normalize(int angle) {
    int a = angle % 360;
    if (a <= -180) a += 360;
    if (a > 180) a -= 360;
    return a;
}

bool InDeadQuarter(int angle) {
    return angle > QuendleDial::MinimumAngle && angle < QuendleDial::MaximumAngle;
}

// Clockwise degrees from the minimum, for drawing the value arc; an angle in
// the dead quarter counts as the nearer end.
int ClockwiseFromMinimum(int angle) {
    int d = (QuendleDial::MinimumAngle - angle) % 360;
    if (d < 0) d += 360;
    if (d > 270) d = d < 315 ? 270 : 0;
    return d;
}

QColor Or(const QColor& set, const QColor& fallback) {
    return set.isValid() ? set : fallback;
}

}  // namespace

QuendleDial::QuendleDial(const QString& label, QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    setLabel(label);
}

void QuendleDial::setAngle(int angle) {
    const int a = Normalize(angle);
    if (a == angle_) return;
    angle_ = a;
    update();
    emit angleChanged(angle_);
}

void QuendleDial::setLabel(const QString& label) {
    label_ = label;
    setAccessibleName(label);
    updateGeometry();
    update();
}

QColor QuendleDial::knobColor() const {
    return Or(knobColor_, palette().color(QPalette::Button));
}
QColor QuendleDial::arcColor() const {
    return Or(arcColor_, palette().color(QPalette::Mid));
}
QColor QuendleDial::valueColor() const {
    return Or(valueColor_, palette().color(QPalette::Highlight));
}
QColor QuendleDial::pointerColor() const {
    return Or(pointerColor_, palette().color(QPalette::ButtonText));
}
QColor QuendleDial::textColor() const {
    return Or(textColor_, palette().color(QPalette::WindowText));
}
void QuendleDial::setKnobColor(const QColor& c) {
    knobColor_ = c;
    update();
}
void QuendleDial::setArcColor(const QColor& c) {
    arcColor_ = c;
    update();
}
void QuendleDial::setValueColor(const QColor& c) {
    valueColor_ = c;
    update();
}
void QuendleDial::setPointerColor(const QColor& c) {
    pointerColor_ = c;
    update();
}
void QuendleDial::setTextColor(const QColor& c) {
    textColor_ = c;
    update();
}

QSize QuendleDial::sizeHint() const {
    const QFontMetrics fm(font());
    return {std::max(62, fm.horizontalAdvance(label_) + 4), 54 + kCaptionGap + fm.height()};
}

QSize QuendleDial::minimumSizeHint() const {
    const QFontMetrics fm(font());
    return {std::max(40, fm.horizontalAdvance(label_)), 36 + kCaptionGap + fm.height()};
}

QRectF QuendleDial::KnobRect() const {
    const QFontMetrics fm(font());
    // A little room at the sides so that neighbouring knobs do not touch.
    const qreal side = std::max(8, std::min(width() - 6, height() - fm.height() - kCaptionGap));
    return {(width() - side) / 2.0, 0, side, side};
}

QPointF QuendleDial::KnobCentre() const {
    return KnobRect().center();
}

std::optional<int> QuendleDial::AngleAt(const QPointF& point) const {
    const QPointF d = point - KnobCentre();
    if (std::hypot(d.x(), d.y()) < 3.0) return std::nullopt;
    // Screen y grows downwards; the angles count counter-clockwise.
    const double degrees = qRadiansToDegrees(std::atan2(-d.y(), d.x()));
    return Normalize(static_cast<int>(std::lround(degrees)));
}

void QuendleDial::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    // Disabled dials fade, but the display dials show the pedal's values and
    // must still be read at a glance.
    if (!isEnabled()) p.setOpacity(0.6);

    const QRectF outer = KnobRect();
    const qreal side = outer.width();
    const qreal ring = std::max(3.0, side * 0.09);
    const QRectF arcRect = outer.adjusted(ring / 2 + 1, ring / 2 + 1, -ring / 2 - 1, -ring / 2 - 1);

    // The track: from the maximum counter-clockwise over the top to the minimum.
    QPen track(arcColor(), ring, Qt::SolidLine, Qt::RoundCap);
    p.setPen(track);
    p.drawArc(arcRect, MaximumAngle * 16, 270 * 16);

    // The value: from the minimum clockwise as far as the knob is turned.
    const int travel = ClockwiseFromMinimum(angle_);
    if (travel > 0) {
        QPen value(valueColor(), ring, Qt::SolidLine, Qt::RoundCap);
        p.setPen(value);
        p.drawArc(arcRect, MinimumAngle * 16, -travel * 16);
    }

    // The knob.
    const qreal knobInset = ring + std::max(2.0, side * 0.06);
    const QRectF knob = outer.adjusted(knobInset, knobInset, -knobInset, -knobInset);
    QColor knobFill = knobColor();
    QRadialGradient shade(knob.center() - QPointF(knob.width() * 0.2, knob.height() * 0.25),
                          knob.width() * 0.75);
    shade.setColorAt(0, knobFill.lighter(125));
    shade.setColorAt(1, knobFill.darker(115));
    p.setPen(QPen(knobFill.darker(140), 1));
    p.setBrush(shade);
    p.drawEllipse(knob);

    // The pointer, from near the centre to near the knob's rim.
    const double rad = qDegreesToRadians(static_cast<double>(angle_));
    const QPointF dir(std::cos(rad), -std::sin(rad));
    const qreal r = knob.width() / 2;
    QPen pointer(pointerColor(), std::max(2.0, side * 0.05), Qt::SolidLine, Qt::RoundCap);
    p.setPen(pointer);
    p.drawLine(knob.center() + dir * (r * 0.25), knob.center() + dir * (r * 0.82));

    // The caption under the knob, in the look's text colour for disabled
    // text: the display dials are never enabled and their names must stay
    // readable.
    p.setOpacity(1.0);
    p.setPen(isEnabled() ? textColor() : palette().color(QPalette::Disabled, QPalette::WindowText));
    const QRectF caption(0, outer.bottom() + kCaptionGap, width(),
                         height() - outer.bottom() - kCaptionGap);
    p.drawText(caption, Qt::AlignHCenter | Qt::AlignTop, label_);

    if (hasFocus()) {
        // The keyboard focus framed around the caption, as on other labelled
        // controls of a desktop program.
        const QFontMetricsF fm(font());
        const qreal w = std::min(width() - 1.0, fm.horizontalAdvance(label_) + 8.0);
        const qreal top = caption.top() - 1;
        const qreal bottom = std::min(height() - 0.5, top + fm.height() + 2);
        p.setPen(QPen(valueColor(), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF((width() - w) / 2.0, top + 0.5, w, bottom - top - 0.5), 3, 3);
    }
}

void QuendleDial::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    dragging_ = true;
    if (auto a = AngleAt(event->position())) setAngle(*a);
    event->accept();
}

void QuendleDial::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    if (auto a = AngleAt(event->position())) setAngle(*a);
    event->accept();
}

void QuendleDial::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) dragging_ = false;
    event->accept();
}

void QuendleDial::Step(int degrees) {
    const int direction = degrees > 0 ? 1 : -1;
    for (int i = 0; i < std::abs(degrees); ++i) {
        // Clockwise lowers the angle.
        const int next = Normalize(angle_ - direction);
        // The keys and the wheel stop at the ends of the arc; only a drag
        // can put the knob into the dead quarter.
        if (InDeadQuarter(next) && !InDeadQuarter(angle_)) return;
        setAngle(next);
    }
}

void QuendleDial::wheelEvent(QWheelEvent* event) {
    // One degree per notch (120 eighths of a degree of wheel travel); finer
    // wheels add up until a whole notch is reached.
    wheelRemainder_ += event->angleDelta().y();
    const int notches = wheelRemainder_ / 120;
    wheelRemainder_ -= notches * 120;
    if (notches != 0) Step(notches);
    event->accept();
}

void QuendleDial::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Up:
        case Qt::Key_Right:
            Step(1);
            break;
        case Qt::Key_Down:
        case Qt::Key_Left:
            Step(-1);
            break;
        case Qt::Key_PageUp:
            Step(10);
            break;
        case Qt::Key_PageDown:
            Step(-10);
            break;
        case Qt::Key_Home:
            setAngle(MinimumAngle);
            break;
        case Qt::Key_End:
            setAngle(MaximumAngle);
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    event->accept();
}
