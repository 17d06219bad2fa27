#include "effects/QuendleDial.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QToolTip>
#include <QWheelEvent>
#include <QtMath>
#include <algorithm>
#include <cmath>

namespace {

constexpr int kCaptionGap = 2;

int Normalize(int angle) {
    int a = angle % 360;
    if (a <= -180) a += 360;
    if (a > 180) a -= 360;
    return a;
}

QColor Or(const QColor& set, const QColor& fallback) {
    return set.isValid() ? set : fallback;
}

// What a screen reader gets: a dial with a value (the travel along the arc,
// 0 to 270) and the player's text of it.
class DialAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit DialAccessible(QuendleDial* dial) : QAccessibleWidget(dial, QAccessible::Dial) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override {
        const QuendleDial* d = Dial();
        switch (t) {
            case QAccessible::Name:
                return d->accessibleName().isEmpty() ? d->label() : d->accessibleName();
            case QAccessible::Value:
                return d->isLocked() ? d->lockedText() + QStringLiteral(": ") + d->valueText()
                                     : d->valueText();
            case QAccessible::Description:
                return d->exactText();
            default:
                return QAccessibleWidget::text(t);
        }
    }

    QVariant currentValue() const override { return QuendleDial::TravelOf(Dial()->angle()); }
    void setCurrentValue(const QVariant& value) override {
        if (Dial()->TakesUserInput()) Dial()->MoveByUser(value.toInt());
    }
    QVariant maximumValue() const override { return QuendleDial::ArcDegrees; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    QuendleDial* Dial() const { return static_cast<QuendleDial*>(widget()); }
};

QAccessibleInterface* DialAccessibleFactory(const QString& key, QObject* object) {
    if (key == QLatin1String("QuendleDial"))
        if (auto* dial = qobject_cast<QuendleDial*>(object)) return new DialAccessible(dial);
    return nullptr;
}

}  // namespace

QuendleDial::QuendleDial(const QString& label, QWidget* parent) : QWidget(parent) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(DialAccessibleFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    setLabel(label);
}

void QuendleDial::setAngle(int angle) {
    const int a = Normalize(angle);
    if (a == angle_) return;
    angle_ = a;
    update();
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent change(this, TravelOf(angle_));
        QAccessible::updateAccessibility(&change);
    }
    emit angleChanged(angle_);
}

void QuendleDial::setLabel(const QString& label) {
    label_ = label;
    setAccessibleName(label);
    updateGeometry();
    update();
}

void QuendleDial::setValueText(const QString& text, const QString& exact) {
    if (text == valueText_ && exact == exact_) return;
    valueText_ = text;
    exact_ = exact;
    update();
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent change(this, TravelOf(angle_));
        QAccessible::updateAccessibility(&change);
    }
}

QString QuendleDial::ToolTipText() const {
    QStringList lines;
    if (isLocked()) lines << tr("Assigned to %1: it is turned on the pedal").arg(locked_);
    if (!exact_.isEmpty()) lines << exact_;
    if (!toolTip().isEmpty()) lines << toolTip();
    return lines.join(QLatin1Char('\n'));
}

void QuendleDial::setLockedText(const QString& text) {
    if (text == locked_) return;
    locked_ = text;
    if (isLocked()) {
        dragging_ = false;
        CloseValueEditor();
    }
    update();
}

bool QuendleDial::TakesUserInput() const {
    return isEnabled() && !isLocked();
}

int QuendleDial::TravelOf(int angle) {
    int d = (MinimumAngle - Normalize(angle)) % 360;
    if (d < 0) d += 360;
    if (d > ArcDegrees) d = d < 315 ? ArcDegrees : 0;
    return d;
}

int QuendleDial::AngleOfTravel(int travel) {
    return Normalize(MinimumAngle - std::clamp(travel, 0, ArcDegrees));
}

void QuendleDial::MoveByUser(int travel) {
    if (!TakesUserInput()) return;
    setAngle(AngleOfTravel(travel));
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
    return Or(textColor_, palette().color(QPalette::Active, QPalette::WindowText));
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
    return {std::max(62, fm.horizontalAdvance(label_) + 8), 54 + kCaptionGap + fm.height() + 2};
}

QSize QuendleDial::minimumSizeHint() const {
    const QFontMetrics fm(font());
    return {std::max(40, fm.horizontalAdvance(label_) + 4), 36 + kCaptionGap + fm.height() + 2};
}

QRectF QuendleDial::KnobRect() const {
    const QFontMetrics fm(font());
    // A little room at the sides so that neighbouring knobs do not touch, and
    // below the caption for the focus frame.
    const qreal side = std::max(8, std::min(width() - 6, height() - fm.height() - kCaptionGap - 2));
    return {(width() - side) / 2.0, 0, side, side};
}

QRectF QuendleDial::InnerKnobRect() const {
    const QRectF outer = KnobRect();
    const qreal side = outer.width();
    const qreal ring = std::max(3.0, side * 0.09);
    const qreal inset = ring + std::max(2.0, side * 0.06);
    return outer.adjusted(inset, inset, -inset, -inset);
}

QRectF QuendleDial::ArcRect() const {
    const QRectF outer = KnobRect();
    const qreal ring = std::max(3.0, outer.width() * 0.09);
    return outer.adjusted(ring / 2 + 1, ring / 2 + 1, -ring / 2 - 1, -ring / 2 - 1);
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
    // The display-only dials (disabled) are drawn like the others: they show
    // the pedal's values and must be read at a glance.

    const QRectF outer = KnobRect();
    const qreal side = outer.width();
    const qreal ring = std::max(3.0, side * 0.09);
    const QRectF arcRect = ArcRect();

    // The track: from the maximum counter-clockwise over the top to the minimum.
    QPen track(arcColor(), ring, Qt::SolidLine, Qt::FlatCap);
    p.setPen(track);
    p.drawArc(arcRect, MaximumAngle * 16, ArcDegrees * 16);

    // The value: from the minimum clockwise as far as the knob is turned.
    const int travel = TravelOf(angle_);
    if (travel > 0) {
        QPen value(valueColor(), ring, Qt::SolidLine, Qt::FlatCap);
        p.setPen(value);
        p.drawArc(arcRect, MinimumAngle * 16, -travel * 16);
    }

    // The knob.
    const QRectF knob = InnerKnobRect();
    const QColor knobFill = knobColor();
    QRadialGradient shade(knob.center() - QPointF(knob.width() * 0.2, knob.height() * 0.25),
                          knob.width() * 0.75);
    shade.setColorAt(0, knobFill.lighter(115));
    shade.setColorAt(1, knobFill.darker(110));
    p.setPen(QPen(knobFill.darker(140), 1));
    p.setBrush(shade);
    p.drawEllipse(knob);

    // The pointer: a short mark at the knob's rim, leaving the middle to the
    // value.
    const double rad = qDegreesToRadians(static_cast<double>(angle_));
    const QPointF dir(std::cos(rad), -std::sin(rad));
    const qreal r = knob.width() / 2;
    QPen pointer(pointerColor(), std::max(2.0, side * 0.05), Qt::SolidLine, Qt::RoundCap);
    p.setPen(pointer);
    p.drawLine(knob.center() + dir * (r * 0.62), knob.center() + dir * (r * 0.9));

    // The value (or what holds a locked dial) in the middle of the knob, made
    // smaller until it fits.
    const QString middle = isLocked() ? locked_ : valueText_;
    if (!middle.isEmpty() && !editor_) {
        QFont f = font();
        // A figure sits inside the pointer's circle; a button's name is
        // longer and may reach toward the rim (the locked pointer says less).
        f.setBold(!isLocked());
        const qreal room = r * (isLocked() ? 1.6 : 1.15);
        qreal size = f.pointSizeF() > 0 ? f.pointSizeF() : 9;
        for (; size > 5; size -= 0.5) {
            f.setPointSizeF(size);
            if (QFontMetricsF(f).horizontalAdvance(middle) <= room) break;
        }
        p.setFont(f);
        p.setPen(pointerColor());
        p.drawText(knob, Qt::AlignCenter, middle);
        p.setFont(font());
    }

    // The caption under the knob, in the look's text colour whether or not
    // the dial can be turned.
    p.setPen(textColor());
    const QRectF caption(0, outer.bottom() + kCaptionGap, width(),
                         height() - outer.bottom() - kCaptionGap);
    p.drawText(caption, Qt::AlignHCenter | Qt::AlignTop, label_);

    if (hasFocus()) {
        // The keyboard focus framed around the caption in the text colour,
        // which every look sets apart from its window.
        const QFontMetricsF fm(font());
        const qreal w = std::min(width() - 2.0, fm.horizontalAdvance(label_) + 8.0);
        const qreal top = caption.top() - 1;
        const qreal bottom = std::min(height() - 1.0, top + fm.height() + 2);
        p.setPen(QPen(textColor(), 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF((width() - w) / 2.0, top + 0.75, w, bottom - top - 0.75), 3, 3);
    }
}

bool QuendleDial::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const QString text = ToolTipText();
        auto* help = static_cast<QHelpEvent*>(event);
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), text, this);
        return true;
    }
    return QWidget::event(event);
}

void QuendleDial::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    event->accept();
    if (!TakesUserInput()) {
        // A locked dial says why it does not turn.
        if (isLocked()) QToolTip::showText(event->globalPosition().toPoint(), ToolTipText(), this);
        return;
    }
    // The press only takes hold of the knob; it turns with the drag.
    dragging_ = true;
    lastPointerAngle_ = AngleAt(event->position());
    dragTravel_ = TravelOf(angle_);
}

void QuendleDial::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_ || !TakesUserInput()) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    event->accept();
    const auto a = AngleAt(event->position());
    if (!a) return;
    if (!lastPointerAngle_) {
        lastPointerAngle_ = a;
        return;
    }
    // Clockwise lowers the angle; the pointer's turn since the last move.
    const int turned = Normalize(*lastPointerAngle_ - *a);
    lastPointerAngle_ = a;
    const double scale = event->modifiers() & Qt::ShiftModifier ? 0.25 : 1.0;
    // Held at the ends: turning on past an end does nothing, turning back
    // moves at once.
    dragTravel_ = std::clamp(dragTravel_ + turned * scale, 0.0, double(ArcDegrees));
    MoveByUser(static_cast<int>(std::lround(dragTravel_)));
}

void QuendleDial::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        dragging_ = false;
        lastPointerAngle_.reset();
    }
    event->accept();
}

void QuendleDial::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() == Qt::LeftButton) OpenValueEditor();
}

void QuendleDial::Step(int degrees) {
    if (!TakesUserInput()) return;
    MoveByUser(TravelOf(angle_) + degrees);
}

void QuendleDial::wheelEvent(QWheelEvent* event) {
    event->accept();
    if (!TakesUserInput()) return;
    // Some systems turn a wheel with a modifier into a sideways one.
    const QPoint delta = event->angleDelta();
    wheelRemainder_ += delta.y() != 0 ? delta.y() : delta.x();
    const int notches = wheelRemainder_ / 120;
    wheelRemainder_ -= notches * 120;
    const int step = event->modifiers() & Qt::ShiftModifier ? 1 : CoarseStep;
    if (notches != 0) Step(notches * step);
}

void QuendleDial::keyPressEvent(QKeyEvent* event) {
    const bool fine = event->modifiers() & Qt::ShiftModifier;
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
            Step(fine ? 1 : CoarseStep);
            break;
        case Qt::Key_PageDown:
            Step(fine ? -1 : -CoarseStep);
            break;
        case Qt::Key_Home:
            Step(-ArcDegrees);
            break;
        case Qt::Key_End:
            Step(ArcDegrees);
            break;
        case Qt::Key_F2:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            OpenValueEditor();
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    event->accept();
}

bool QuendleDial::OpenValueEditor() {
    if (!parser_ || !TakesUserInput()) return false;
    if (!editor_) {
        editor_ = new QLineEdit(this);
        editor_->setObjectName(QStringLiteral("valueEditor"));
        editor_->setAccessibleName(tr("Value of %1").arg(label_));
        editor_->setAlignment(Qt::AlignCenter);
        editor_->installEventFilter(this);
    }
    hint_.clear();
    editor_->setText(valueText_);
    editor_->selectAll();
    PlaceValueEditor();
    editor_->show();
    editor_->setFocus(Qt::OtherFocusReason);
    update();
    return true;
}

void QuendleDial::PlaceValueEditor() {
    if (!editor_) return;
    const QRectF knob = InnerKnobRect();
    const int h = editor_->sizeHint().height();
    const int w = std::min(width(), std::max(48, static_cast<int>(knob.width()) + 8));
    editor_->setGeometry(static_cast<int>((width() - w) / 2.0),
                         static_cast<int>(knob.center().y() - h / 2.0), w, h);
}

void QuendleDial::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlaceValueEditor();
}

void QuendleDial::CommitTypedValue() {
    if (!editor_ || !parser_) return;
    const Parsed parsed = parser_(editor_->text().trimmed());
    if (!parsed.angle) {
        // Refused: nothing changes, the field stays open with the reason.
        hint_ = parsed.hint.isEmpty() ? tr("Not a value this knob takes") : parsed.hint;
        editor_->setToolTip(hint_);
        editor_->setAccessibleDescription(hint_);
        QToolTip::showText(editor_->mapToGlobal(QPoint(0, editor_->height())), hint_, editor_);
        editor_->selectAll();
        return;
    }
    const int angle = *parsed.angle;
    CloseValueEditor();
    if (TakesUserInput()) setAngle(angle);
}

void QuendleDial::CloseValueEditor() {
    if (!editor_) return;
    QLineEdit* editor = editor_;
    editor_ = nullptr;
    const bool hadFocus = editor->hasFocus();
    editor->removeEventFilter(this);
    editor->hide();
    editor->deleteLater();
    if (hadFocus) setFocus(Qt::OtherFocusReason);
    update();
}

bool QuendleDial::eventFilter(QObject* watched, QEvent* event) {
    if (watched == editor_) {
        if (event->type() == QEvent::ShortcutOverride) {
            // Escape belongs to the field while it is open, not to the window.
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Escape) {
                event->accept();
                return true;
            }
        } else if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                CommitTypedValue();
                return true;
            }
            if (key->key() == Qt::Key_Escape) {
                CloseValueEditor();
                return true;
            }
        } else if (event->type() == QEvent::FocusOut) {
            // Clicking elsewhere drops the typed text; only Return sends it.
            QTimer::singleShot(0, this, [this] {
                if (editor_ && !editor_->hasFocus()) CloseValueEditor();
            });
        }
    }
    return QWidget::eventFilter(watched, event);
}
