#pragma once
// An on/off slide switch with its caption below, for the settings window's
// Wave and Split. It is a checkable button: checked = on, toggled() reports
// every change, also one made from the program. The
// state is also written in the track ("On", "Off").

#include <QAbstractButton>
#include <QColor>

class QuendleSwitch : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(QColor onColor READ onColor WRITE setOnColor)
    Q_PROPERTY(QColor offColor READ offColor WRITE setOffColor)
    Q_PROPERTY(QColor knobColor READ knobColor WRITE setKnobColor)

public:
    explicit QuendleSwitch(const QString& label = QString(), QWidget* parent = nullptr);

    bool isOn() const { return isChecked(); }
    void setOn(bool on) { setChecked(on); }
    // "On" or "Off", drawn in the track.
    QString StateText() const;

    // Colours set by the looks; an unset colour follows the palette.
    QColor onColor() const;
    QColor offColor() const;
    QColor knobColor() const;
    void setOnColor(const QColor& c);
    void setOffColor(const QColor& c);
    void setKnobColor(const QColor& c);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

private:
    QRectF TrackRect() const;

    QColor onColor_, offColor_, knobColor_;
};
