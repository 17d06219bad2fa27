#include <gtest/gtest.h>
#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <QtMath>

#include "effects/QuendleDial.h"
#include "effects/QuendleSwitch.h"

namespace {

class DialWidget : public ::testing::Test {
protected:
    void SetUp() override {
        dial.resize(70, 80);
        dial.show();
    }

    QPointF PointAt(int angle, double radius = 22) const {
        const double rad = qDegreesToRadians(static_cast<double>(angle));
        return dial.KnobCentre() + QPointF(std::cos(rad), -std::sin(rad)) * radius;
    }
    void Mouse(QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, at, dial.mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(&dial, &event);
    }
    void Wheel(int delta) {
        const QPointF at = dial.KnobCentre();
        QWheelEvent event(at, dial.mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(&dial, &event);
    }

    QuendleDial dial{QStringLiteral("Input Level")};
    QSignalSpy changes{&dial, &QuendleDial::angleChanged};

    QList<int> Reported() {
        QList<int> angles;
        for (const auto& args : changes) angles << args.at(0).toInt();
        changes.clear();
        return angles;
    }
};

TEST_F(DialWidget, APressHoldsTheKnobAndADragTurnsItByThePointersTurn) {
    dial.setAngle(90);
    changes.clear();
    // Pressed far from the pointer: nothing moves, nothing is reported.
    Mouse(QEvent::MouseButtonPress, PointAt(-170), Qt::LeftButton);
    EXPECT_TRUE(Reported().isEmpty());
    // 30 degrees clockwise, then 10 back.
    Mouse(QEvent::MouseMove, PointAt(-180 + 0), Qt::LeftButton);  // 10 clockwise
    Mouse(QEvent::MouseMove, PointAt(160), Qt::LeftButton);       // 30
    Mouse(QEvent::MouseMove, PointAt(170), Qt::LeftButton);       // back to 20
    Mouse(QEvent::MouseButtonRelease, PointAt(170), Qt::NoButton);
    EXPECT_EQ(Reported(), QList<int>({80, 60, 70}));

    // Moving without the button pressed turns nothing.
    Mouse(QEvent::MouseMove, PointAt(0), Qt::NoButton);
    EXPECT_TRUE(Reported().isEmpty());
}

TEST_F(DialWidget, ADragStopsAtTheEndsAndNeverCrossesTheGap) {
    // Clockwise from the minimum all the way round and on: it stops at the
    // maximum, and turning back moves it at once.
    Mouse(QEvent::MouseButtonPress, PointAt(90), Qt::LeftButton);
    for (int a : {45, 0, -45, -90, -135, 180, 135, 90})
        Mouse(QEvent::MouseMove, PointAt(a), Qt::LeftButton);
    EXPECT_EQ(dial.angle(), QuendleDial::MaximumAngle);
    QList<int> seen = Reported();
    for (int a : seen) EXPECT_FALSE(a > -135 && a < -45) << a;
    EXPECT_EQ(seen.back(), -45);
    EXPECT_EQ(seen.count(-45), 1);
    Mouse(QEvent::MouseMove, PointAt(135), Qt::LeftButton);  // 45 back
    EXPECT_EQ(Reported(), QList<int>({0}));
    Mouse(QEvent::MouseButtonRelease, PointAt(135), Qt::NoButton);

    // Counter-clockwise past the minimum likewise.
    dial.setAngle(-170);
    changes.clear();
    Mouse(QEvent::MouseButtonPress, PointAt(0), Qt::LeftButton);
    for (int a : {45, 90, 135}) Mouse(QEvent::MouseMove, PointAt(a), Qt::LeftButton);
    EXPECT_EQ(Reported(), QList<int>({-135}));
    Mouse(QEvent::MouseButtonRelease, PointAt(135), Qt::NoButton);

    // Shift turns it a quarter as far.
    dial.setAngle(90);
    changes.clear();
    QMouseEvent press(QEvent::MouseButtonPress, PointAt(90), dial.mapToGlobal(PointAt(90)),
                      Qt::LeftButton, Qt::LeftButton, Qt::ShiftModifier);
    QCoreApplication::sendEvent(&dial, &press);
    QMouseEvent move(QEvent::MouseMove, PointAt(50), dial.mapToGlobal(PointAt(50)), Qt::LeftButton,
                     Qt::LeftButton, Qt::ShiftModifier);
    QCoreApplication::sendEvent(&dial, &move);
    EXPECT_EQ(Reported(), QList<int>({80}));
}

TEST_F(DialWidget, KeysStepOneDegreeWheelAndPagesAboutFourPercentShiftFine) {
    // From the minimum: clockwise (Up, Right, PageUp, wheel up) lowers the
    // angle and wraps from -180 to 180; the other way stops at the end. Each
    // step is one report, however far it goes.
    Wheel(-120);
    QTest::keyClick(&dial, Qt::Key_Down);
    QTest::keyClick(&dial, Qt::Key_PageDown);
    EXPECT_TRUE(Reported().isEmpty());
    QTest::keyClick(&dial, Qt::Key_Up);
    QTest::keyClick(&dial, Qt::Key_Right);
    QTest::keyClick(&dial, Qt::Key_PageUp);
    Wheel(120);
    EXPECT_EQ(Reported(), QList<int>({-136, -137, -148, -159}));
    Wheel(60);  // half a notch: nothing yet
    EXPECT_TRUE(Reported().isEmpty());
    Wheel(60);
    QTest::keyClick(&dial, Qt::Key_PageUp, Qt::ShiftModifier);
    QTest::keyClick(&dial, Qt::Key_PageDown);
    EXPECT_EQ(Reported(), QList<int>({-170, -171, -160}));
    QWheelEvent fine(dial.KnobCentre(), dial.mapToGlobal(dial.KnobCentre()), QPoint(),
                     QPoint(0, 120), Qt::NoButton, Qt::ShiftModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&dial, &fine);
    EXPECT_EQ(Reported(), QList<int>({-161}));

    dial.setAngle(-40);
    changes.clear();
    QTest::keyClick(&dial, Qt::Key_PageUp);
    QTest::keyClick(&dial, Qt::Key_Up);
    Wheel(240);
    QTest::keyClick(&dial, Qt::Key_Home);
    EXPECT_EQ(Reported(), QList<int>({-45, -135}));
}

TEST_F(DialWidget, ALockedDialShowsItsButtonAndIgnoresTheUser) {
    dial.setParser([](const QString&) { return QuendleDial::Parsed{10, {}}; });
    dial.setAngle(90);
    dial.setLockedText(QStringLiteral("CTRL I"));
    changes.clear();
    Mouse(QEvent::MouseButtonPress, PointAt(90), Qt::LeftButton);
    Mouse(QEvent::MouseMove, PointAt(45), Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, PointAt(45), Qt::NoButton);
    Wheel(120);
    QTest::keyClick(&dial, Qt::Key_End);
    EXPECT_FALSE(dial.OpenValueEditor());
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&dial);
    a->valueInterface()->setCurrentValue(200);
    EXPECT_TRUE(Reported().isEmpty());
    EXPECT_EQ(dial.angle(), 90);
    EXPECT_TRUE(dial.ToolTipText().contains(QStringLiteral("CTRL I")));
    // The program still shows values on it.
    dial.setAngle(0);
    EXPECT_EQ(Reported(), QList<int>({0}));
}

TEST_F(DialWidget, ATypedValueGoesThroughTheParserAndARefusalChangesNothing) {
    dial.setParser([](const QString& text) {
        if (text == QLatin1String("7")) return QuendleDial::Parsed{0, {}};
        return QuendleDial::Parsed{std::nullopt, QStringLiteral("0 to 9 only")};
    });
    dial.setValueText(QStringLiteral("3"), QStringLiteral("exact"));
    ASSERT_TRUE(dial.OpenValueEditor());
    QLineEdit* field = dial.ValueEditor();
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->text(), QStringLiteral("3"));
    EXPECT_FALSE(field->accessibleName().isEmpty());

    QTest::keyClicks(field, QStringLiteral("12"));
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_TRUE(Reported().isEmpty());
    EXPECT_EQ(dial.LastHint(), QStringLiteral("0 to 9 only"));
    EXPECT_EQ(dial.ValueEditor(), field);  // still open for another try

    field->setText(QStringLiteral("7"));
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(Reported(), QList<int>({0}));
    EXPECT_EQ(dial.ValueEditor(), nullptr);

    // Escape drops the field and sends nothing.
    ASSERT_TRUE(dial.OpenValueEditor());
    QTest::keyClick(dial.ValueEditor(), Qt::Key_Escape);
    EXPECT_EQ(dial.ValueEditor(), nullptr);
    EXPECT_TRUE(Reported().isEmpty());
}

TEST_F(DialWidget, ScreenReadersGetADialWithItsValueAndText) {
    dial.setValueText(QStringLiteral("42"), QStringLiteral("Value 0x00354000"));
    dial.setAngle(90);
    changes.clear();
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&dial);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->role(), QAccessible::Dial);
    EXPECT_EQ(a->text(QAccessible::Name), QStringLiteral("Input Level"));
    EXPECT_EQ(a->text(QAccessible::Value), QStringLiteral("42"));
    QAccessibleValueInterface* v = a->valueInterface();
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->minimumValue().toInt(), 0);
    EXPECT_EQ(v->maximumValue().toInt(), QuendleDial::ArcDegrees);
    EXPECT_EQ(v->currentValue().toInt(), 135);  // 90 is halfway
    v->setCurrentValue(270);
    EXPECT_EQ(Reported(), QList<int>({-45}));
    EXPECT_EQ(dial.ToolTipText(), QStringLiteral("Value 0x00354000"));
}

TEST_F(DialWidget, LabelIsTheAccessibleNameAndLooksSetTheColours) {
    EXPECT_EQ(dial.accessibleName(), QStringLiteral("Input Level"));
    // Unset colours follow the palette.
    EXPECT_EQ(dial.valueColor(), dial.palette().color(QPalette::Highlight));

    QuendleSwitch swt(QStringLiteral("Wave"));
    swt.show();
    qApp->setStyleSheet(
        QStringLiteral("QuendleDial { qproperty-knobColor: #102030; qproperty-arcColor: #203040;"
                       " qproperty-valueColor: #304050; qproperty-pointerColor: #405060;"
                       " qproperty-textColor: #506070; }"
                       "QuendleSwitch { qproperty-onColor: #607080; qproperty-offColor: #708090;"
                       " qproperty-knobColor: #8090a0; }"));
    dial.ensurePolished();
    swt.ensurePolished();
    QApplication::processEvents();
    EXPECT_EQ(dial.knobColor(), QColor("#102030"));
    EXPECT_EQ(dial.arcColor(), QColor("#203040"));
    EXPECT_EQ(dial.valueColor(), QColor("#304050"));
    EXPECT_EQ(dial.pointerColor(), QColor("#405060"));
    EXPECT_EQ(dial.textColor(), QColor("#506070"));
    EXPECT_EQ(swt.onColor(), QColor("#607080"));
    EXPECT_EQ(swt.offColor(), QColor("#708090"));
    EXPECT_EQ(swt.knobColor(), QColor("#8090a0"));
    // The colours reach the picture: turned to the top, the value arc covers
    // the left side of the track and the right side shows the bare track.
    dial.setAngle(90);
    const QImage image = dial.grab().toImage();
    auto rayHas = [&](int angle, const QColor& colour) {
        const double rad = qDegreesToRadians(static_cast<double>(angle));
        for (double r = 0; r < 40; r += 0.5) {
            const QPoint p =
                (dial.KnobCentre() + QPointF(std::cos(rad), -std::sin(rad)) * r).toPoint();
            if (image.valid(p) && image.pixelColor(p).rgb() == colour.rgb()) return true;
        }
        return false;
    };
    EXPECT_TRUE(rayHas(180, QColor("#304050")));
    EXPECT_FALSE(rayHas(0, QColor("#304050")));
    EXPECT_TRUE(rayHas(0, QColor("#203040")));
    qApp->setStyleSheet(QString());
}

TEST(SwitchWidget, ClickOrProgramTogglesAndReports) {
    QuendleSwitch swt(QStringLiteral("Split"));
    swt.show();
    QSignalSpy toggles(&swt, &QAbstractButton::toggled);
    EXPECT_EQ(swt.accessibleName(), QStringLiteral("Split"));
    EXPECT_FALSE(swt.isOn());
    QTest::mouseClick(&swt, Qt::LeftButton);
    EXPECT_TRUE(swt.isOn());
    swt.setOn(false);
    QTest::keyClick(&swt, Qt::Key_Space);
    EXPECT_EQ(toggles.size(), 3);
    EXPECT_TRUE(swt.isOn());
    EXPECT_EQ(swt.StateText(), QStringLiteral("On"));
}

}  // namespace
