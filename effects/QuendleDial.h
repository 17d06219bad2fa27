#pragma once
// A rotary knob as on the pedal: a 270-degree arc from the lower left (the
// minimum) clockwise over the top to the lower right (the maximum), a dead
// quarter at the bottom, a pointer and a value arc, the value as text inside
// the knob and the caption below.
//
// Angles are whole degrees measured counter-clockwise from three o'clock,
// the way the rest of the editor counts them: 0 points right, 90 up, 180
// left, -90 down. The dial reports -179 ... 180 (-180 reads as 180); its
// minimum is -135 and its maximum -45, so turning it clockwise lowers the
// angle (and wraps from -179 to 180 on the way over the left side). This is
// also QPainter's arc convention, so the drawing uses the angles directly.
//
// The user turns it like a hardware knob: a press does not move it, a drag
// turns it by as much as the pointer goes round the centre and stops at the
// ends of the arc (never through the dead quarter); Shift makes a drag fine.
// The arrow keys step one degree, the wheel and PageUp/PageDown about 4% of
// the arc (one degree with Shift), Home/End go to the ends. A double-click
// on the knob, F2 or Return opens a field to type a value, which the owner's
// parser turns into an angle or refuses with a hint. Every user move and an
// accepted typed value end in setAngle, so angleChanged reports them once
// each. Setting the angle from the program emits angleChanged as well (the
// owner blocks signals when it only shows a value).
//
// A locked dial (assigned to one of the pedal's control buttons) shows what
// holds it ("CTRL I") instead of its value and ignores the user; the program
// can still set its angle.

#include <QColor>
#include <QWidget>
#include <functional>
#include <optional>

class QLineEdit;

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
    // Degrees of the usable arc, and the coarse step (about 4% of it).
    static constexpr int ArcDegrees = 270;
    static constexpr int CoarseStep = 11;

    // What the owner's parser makes of a typed text: an angle, or a short
    // hint saying why the text is refused.
    struct Parsed {
        std::optional<int> angle;
        QString hint;
    };
    using Parser = std::function<Parsed(const QString&)>;

    explicit QuendleDial(const QString& label = QString(), QWidget* parent = nullptr);

    int angle() const { return angle_; }
    // Takes any whole angle (normalised to -179 ... 180); emits angleChanged
    // when the dial moves.
    void setAngle(int angle);

    QString label() const { return label_; }
    // The caption under the knob; also the dial's accessible name.
    void setLabel(const QString& label);

    // The value as a player reads it, drawn inside the knob and given to
    // screen readers, and the exact value sent to the pedal, shown as the
    // first line of the tooltip (the widget's own tool tip, a hint, follows).
    void setValueText(const QString& text, const QString& exact);
    QString valueText() const { return valueText_; }
    QString exactText() const { return exact_; }
    // The whole tooltip as it is shown.
    QString ToolTipText() const;

    // Typing a value: without a parser the dial takes no typed values.
    void setParser(Parser parser) { parser_ = std::move(parser); }
    // Opens the field for a typed value (as a double-click does); false when
    // the dial takes none now.
    bool OpenValueEditor();
    // The open field, or null; the hint of the last refused text.
    QLineEdit* ValueEditor() const { return editor_; }
    QString LastHint() const { return hint_; }

    // Locks the dial to a control button; an empty text unlocks it.
    void setLockedText(const QString& text);
    QString lockedText() const { return locked_; }
    bool isLocked() const { return !locked_.isEmpty(); }

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
    // The knob's centre in widget coordinates, and the circle the middle of
    // the arc's stroke runs on.
    QPointF KnobCentre() const;
    QRectF ArcRect() const;
    // Degrees clockwise from the minimum, 0 to 270 (an angle in the dead
    // quarter counts as the nearer end), and back.
    static int TravelOf(int angle);
    static int AngleOfTravel(int travel);
    // Whether the user may turn it now (enabled and not locked).
    bool TakesUserInput() const;
    // A move by the user to a travel position, kept within the arc.
    void MoveByUser(int travel);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void angleChanged(int angle);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QRectF KnobRect() const;
    QRectF InnerKnobRect() const;
    // Steps along the arc: positive = clockwise (toward the maximum).
    void Step(int degrees);
    void CommitTypedValue();
    void CloseValueEditor();
    void PlaceValueEditor();

    int angle_ = MinimumAngle;
    QString label_;
    QString valueText_;
    QString exact_;
    QString locked_;
    QString hint_;
    Parser parser_;
    QLineEdit* editor_ = nullptr;
    // A drag: where the pointer last was, and the travel it has reached
    // (fractional, for the fine drag with Shift).
    bool dragging_ = false;
    std::optional<int> lastPointerAngle_;
    double dragTravel_ = 0;
    int wheelRemainder_ = 0;
    QColor knobColor_, arcColor_, valueColor_, pointerColor_, textColor_;
};
