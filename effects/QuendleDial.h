#pragma once
// A rotary knob as on the pedal: a 270-degree arc from the lower left (the
// minimum) clockwise over the top to the lower right (the maximum), a dead
// quarter at the bottom, a pointer and a value arc, with its caption below.
//
// Angles are whole degrees measured counter-clockwise from three o'clock,
// the way the rest of the editor counts them: 0 points right, 90 up, 180
// left, -90 down. The dial reports -179 ... 180 (-180 reads as 180); its
// minimum is -135 and its maximum -45, so turning it clockwise lowers the
// angle (and wraps from -179 to 180 on the way over the left side). This is
// also QPainter's arc convention, so the drawing uses the angles directly.
//
// A mouse drag follows the pointer and may leave the knob in the dead
// quarter (the owner decides where it goes from there); the wheel and the
// arrow keys step one degree along the arc and stop at its ends. Setting
// the angle from the program emits angleChanged exactly as a user's move
// does.

#include <QColor>
#include <QWidget>
#include <optional>

class QuendleDial : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int angle READ angle WRITE setAngle NOTIFY angleChanged USER true)
    Q_PROPERTY(QString label READ label WRITE setLabel)
    Q_PROPERTY(QColor knobColor READ knobColor WRITE setKnobColor)
    Q_PROPERTY(QColor arcColor READ arcColor WRITE setArcColor)
    Q_PROPERTY(QColor valueColor READ valueColor WRITE setValueColor)
    Q_PROPERTY(QColor pointerColor READ pointerColor WRITE setPointerColor)
    Q_PROPERTY(QColor textColor READ textColor WRITE setTextColor)

public:
    static constexpr int MinimumAngle = -135;
    static constexpr int MaximumAngle = -45;

    explicit QuendleDial(const QString& label = QString(), QWidget* parent = nullptr);

    int angle() const { return angle_; }
    // Takes any whole angle (normalised to -179 ... 180); emits angleChanged
    // when the dial moves.
    void setAngle(int angle);

    QString label() const { return label_; }
    // The caption under the knob; also the dial's accessible name.
    void setLabel(const QString& label);

    // Colours set by the looks; an unset colour follows the palette.
    QColor knobColor() const;
    QColor arcColor() const;
    QColor valueColor() const;
    QColor pointerColor() const;
    QColor textColor() const;
    void setKnobColor(const QColor& c);
    void setArcColor(const QColor& c);
    void setValueColor(const QColor& c);
    void setPointerColor(const QColor& c);
    void setTextColor(const QColor& c);

    // The angle a point of the widget lies at, seen from the knob's centre;
    // nothing when the point is too close to the centre to tell.
    std::optional<int> AngleAt(const QPointF& point) const;
    // The knob's centre in widget coordinates.
    QPointF KnobCentre() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void angleChanged(int angle);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QRectF KnobRect() const;
    // Steps along the arc: positive = clockwise (toward the maximum).
    void Step(int degrees);

    int angle_ = MinimumAngle;
    QString label_;
    bool dragging_ = false;
    int wheelRemainder_ = 0;
    QColor knobColor_, arcColor_, valueColor_, pointerColor_, textColor_;
};
