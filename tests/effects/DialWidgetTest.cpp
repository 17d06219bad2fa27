#include <gtest/gtest.h>
#include <QApplication>
#include <QKeyEvent>
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

TEST_F(DialWidget, DragFollowsThePointerInWholeDegreesAndMayStopInTheDeadQuarter) {
    Mouse(QEvent::MouseButtonPress, PointAt(90), Qt::LeftButton);
    Mouse(QEvent::MouseMove, PointAt(45), Qt::LeftButton);
    Mouse(QEvent::MouseMove, PointAt(-179), Qt::LeftButton);
    Mouse(QEvent::MouseMove, PointAt(-180), Qt::LeftButton);  // reads as 180
    Mouse(QEvent::MouseMove, PointAt(-100), Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, PointAt(-100), Qt::NoButton);
    EXPECT_EQ(Reported(), QList<int>({90, 45, -179, 180, -100}));
    EXPECT_EQ(dial.angle(), -100);

    // Moving without the button pressed turns nothing.
    Mouse(QEvent::MouseMove, PointAt(0), Qt::NoButton);
    EXPECT_TRUE(Reported().isEmpty());
}

TEST_F(DialWidget, WheelAndKeysStepOneDegreeAlongTheArcAndStopAtItsEnds) {
    // From the minimum: clockwise (wheel up, Up, Right) lowers the angle and
    // wraps from -180 to 180; the other way stops at the end.
    Wheel(-120);
    QTest::keyClick(&dial, Qt::Key_Down);
    EXPECT_TRUE(Reported().isEmpty());
    Wheel(120);
    QTest::keyClick(&dial, Qt::Key_Up);
    QTest::keyClick(&dial, Qt::Key_Right);
    EXPECT_EQ(Reported(), QList<int>({-136, -137, -138}));
    Wheel(60);  // half a notch: nothing yet
    EXPECT_TRUE(Reported().isEmpty());
    Wheel(60);
    EXPECT_EQ(Reported(), QList<int>({-139}));

    dial.setAngle(-178);
    changes.clear();
    QTest::keyClick(&dial, Qt::Key_Up);
    QTest::keyClick(&dial, Qt::Key_Up);
    QTest::keyClick(&dial, Qt::Key_Up);
    QTest::keyClick(&dial, Qt::Key_Left);
    EXPECT_EQ(Reported(), QList<int>({-179, 180, 179, 180}));

    dial.setAngle(-44);
    changes.clear();
    QTest::keyClick(&dial, Qt::Key_Up);
    QTest::keyClick(&dial, Qt::Key_Up);
    Wheel(240);
    EXPECT_EQ(Reported(), QList<int>({-45}));
}

TEST_F(DialWidget, SettingTheAngleFromTheProgramReportsLikeAUserMove) {
    dial.setAngle(10);
    dial.setAngle(10);  // no move, no report
    dial.setAngle(-180);
    dial.setAngle(190);  // any whole angle lands in -179 ... 180
    EXPECT_EQ(Reported(), QList<int>({10, 180, -170}));
    EXPECT_EQ(dial.property("angle").toInt(), -170);
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
}

}  // namespace
