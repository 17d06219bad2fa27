// The knobs as a player meets them in the settings window: their text, typed
// values, drags, locks, and how readable the display-only ones are in every
// look.
#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QLineEdit>
#include <QMouseEvent>
#include <QtMath>

#include "app/LookSettings.h"
#include "effects/KnobText.h"
#include "tests/effects/SettingsFixture.h"

namespace {

TEST(KnobText, ShowsLevelsAndStepsWithTheExactValue) {
    const struct {
        std::uint32_t value;
        KnobScale scale;
        const char* text;
        const char* exact;
    } cases[] = {
        {0x00000000, LevelKnob, "0", "Value 0x00000000 (position 0 of 1023)"},
        {0x003FC000, LevelKnob, "50", "Value 0x003FC000 (position 510 of 1023)"},
        {0x007FE000, LevelKnob, "100", "Value 0x007FE000 (position 1023 of 1023)"},
        // Past the last position (a stray read-back) counts as the last.
        {0xFFFFFFFF, LevelKnob, "100", "Value 0xFFFFFFFF (position 1023 of 1023)"},
        {12, LowPassKnob, "12", "Step 12 of 24 (value 0x0000000C)"},
        {16, HighPassKnob, "16", "Step 16 of 16 (value 0x00000010)"},
        {0, RangeKnob, "0", "Step 0 of 22 (value 0x00000000)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(KnobValueText(c.value, c.scale), QLatin1String(c.text)) << c.value;
        EXPECT_EQ(KnobExactText(c.value, c.scale), QLatin1String(c.exact)) << c.value;
    }
}

TEST(KnobText, EveryLevelTypedComesBackAsThatLevel) {
    for (int level = 0; level <= 100; ++level) {
        for (const QString& text : {QString::number(level), QStringLiteral(" %1% ").arg(level)}) {
            const TypedKnobValue typed = ParseKnobText(text, LevelKnob);
            ASSERT_TRUE(typed.angle.has_value()) << text.toStdString();
            EXPECT_EQ(SnapDialAngle(*typed.angle), *typed.angle) << level;
            EXPECT_EQ(KnobLevel(DialAngleToValue(*typed.angle)), level);
        }
    }
    EXPECT_EQ(ParseKnobText(QStringLiteral("0"), LevelKnob).angle, -135);
    EXPECT_EQ(ParseKnobText(QStringLiteral("100"), LevelKnob).angle, -45);
    // Steps land where the read-back puts them.
    EXPECT_EQ(ParseKnobText(QStringLiteral("12"), LowPassKnob).angle, 90);
}

TEST(KnobText, RefusesWhatIsNotAFigureInRange) {
    const struct {
        const char* text;
        KnobScale scale;
        const char* hint;
    } cases[] = {{"101", LevelKnob, "101 is out of range: 0 to 100"},
                 {"-1", LevelKnob, "-1 is out of range: 0 to 100"},
                 {"25", LowPassKnob, "25 is out of range: 0 to 24"},
                 {"", LevelKnob, "Type a whole number from 0 to 100"},
                 {"4.5", LevelKnob, "Type a whole number from 0 to 100"},
                 {"loud", HighPassKnob, "Type a whole number from 0 to 16"}};
    for (const auto& c : cases) {
        const TypedKnobValue typed = ParseKnobText(QLatin1String(c.text), c.scale);
        EXPECT_FALSE(typed.angle.has_value()) << c.text;
        EXPECT_EQ(typed.hint, QLatin1String(c.hint));
    }
}

class KnobFixture : public SettingsFixture {
protected:
    QPointF PointAt(QuendleDial* dial, int angle) {
        const double rad = qDegreesToRadians(static_cast<double>(angle));
        return dial->KnobCentre() + QPointF(std::cos(rad), -std::sin(rad)) * 20;
    }
    void Mouse(QuendleDial* dial, QEvent::Type type, int angle, Qt::MouseButtons buttons) {
        const QPointF at = PointAt(dial, angle);
        QMouseEvent event(type, at, dial->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(dial, &event);
    }
    // The value a write to Input Level carried; nothing when it was another.
    static std::optional<std::uint32_t> InputLevelWrite(const sim::Bytes& m) {
        if (m.size() != 7 || m[0] != 0x01 || m[1] != 0x00 || m[2] != 0x0A) return std::nullopt;
        return (std::uint32_t{m[3]} << 24) | (std::uint32_t{m[4]} << 16) |
               (std::uint32_t{m[5]} << 8) | m[6];
    }
};

TEST_F(KnobFixture, TextValueInterfaceAndTooltipFollowADragThatStopsAtTheEnd) {
    StartConnectedWithAlgorithm();
    QuendleDial* dial = formFXsettings->dialInputLevel;
    EXPECT_EQ(dial->valueText(), QStringLiteral("0"));

    // A press alone sends nothing.
    Mouse(dial, QEvent::MouseButtonPress, 0, Qt::LeftButton);
    Mouse(dial, QEvent::MouseButtonRelease, 0, Qt::NoButton);
    EXPECT_TRUE(Writes().empty());
    EXPECT_EQ(dial->angle(), -135);

    // Round clockwise from the top, over the right side, the gap and on.
    Mouse(dial, QEvent::MouseButtonPress, 90, Qt::LeftButton);
    for (int a : {45, 0, -45, -90, -135, 180, 135, 90, 45})
        Mouse(dial, QEvent::MouseMove, a, Qt::LeftButton);
    Mouse(dial, QEvent::MouseButtonRelease, 45, Qt::NoButton);
    EXPECT_EQ(dial->angle(), -45);
    ASSERT_FALSE(Writes().empty());
    // One write per move until the end, none while held there, none in the gap.
    std::vector<std::uint32_t> values;
    const auto writes = Writes();
    for (const auto& m : writes)
        if (auto v = InputLevelWrite(m)) values.push_back(*v);
    ASSERT_EQ(values.size(), writes.size());
    EXPECT_EQ(values.back(), 0x007FE000u);
    EXPECT_EQ(std::count(values.begin(), values.end(), 0x007FE000u), 1);
    EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));

    // What it shows, says and explains agree with what went to the pedal.
    EXPECT_EQ(paramInputLevel->value, 0x007FE000u);
    EXPECT_EQ(dial->valueText(), QStringLiteral("100"));
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(dial);
    EXPECT_EQ(a->text(QAccessible::Value), QStringLiteral("100"));
    EXPECT_EQ(a->valueInterface()->currentValue().toInt(), QuendleDial::ArcDegrees);
    EXPECT_TRUE(dial->ToolTipText().startsWith(
        QStringLiteral("Value 0x007FE000 (position 1023 of 1023)\n")));
    EXPECT_TRUE(dial->ToolTipText().contains(dial->toolTip()));  // the hint stays
}

TEST_F(KnobFixture, ATypedValueGoesOutOnceAndOneOutOfRangeIsRefused) {
    StartConnectedWithAlgorithm();
    QuendleDial* dial = formFXsettings->dialClipWave;
    QTest::mouseDClick(dial, Qt::LeftButton, Qt::NoModifier, dial->KnobCentre().toPoint());
    QLineEdit* field = dial->ValueEditor();
    ASSERT_NE(field, nullptr);

    field->setText(QStringLiteral("150"));
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_TRUE(Writes().empty());
    EXPECT_EQ(dial->LastHint(), QStringLiteral("150 is out of range: 0 to 100"));
    EXPECT_EQ(paramWaveClip->value, 0u);
    EXPECT_EQ(dial->valueText(), QStringLiteral("0"));

    field->setText(QStringLiteral("50"));
    QTest::keyClick(field, Qt::Key_Return);
    const auto writes = Writes();
    ASSERT_EQ(writes.size(), 1u);
    const sim::Bytes& m = writes.front();
    EXPECT_EQ(sim::Bytes(m.begin(), m.begin() + 3), HexBytes("01 00 E7"));
    EXPECT_EQ(KnobLevel(paramWaveClip->value), 50);
    EXPECT_EQ(dial->valueText(), QStringLiteral("50"));
    EXPECT_EQ(dial->ValueEditor(), nullptr);

    // From the keyboard alone: Return on the knob opens the field.
    dial->setFocus();
    QTest::keyClick(dial, Qt::Key_Return);
    ASSERT_NE(dial->ValueEditor(), nullptr);
    QTest::keyClick(dial->ValueEditor(), Qt::Key_Escape);
    EXPECT_EQ(Writes().size(), 1u);
}

TEST_F(KnobFixture, AnAssignedKnobShowsItsButtonDoesNotMoveAndSendsNothing) {
    StartConnectedWithAlgorithm();
    QTest::keyClick(formFXsettings->dialClipWave, Qt::Key_PageUp);
    driver->Pedal().ClearMessages();
    const int before = formFXsettings->dialClipWave->angle();
    // What a read-back reporting Wave Clip on CTRL II leaves behind.
    paramWaveClip->is_assigned = true;
    formFXsettings->cmbAssignCtrlDUE->setCurrentIndex(3);
    QuendleDial* dial = formFXsettings->dialClipWave;
    EXPECT_EQ(dial->lockedText(), QStringLiteral("CTRL II"));
    EXPECT_TRUE(formFXsettings->dialInputLevel->lockedText().isEmpty());

    Mouse(dial, QEvent::MouseButtonPress, 90, Qt::LeftButton);
    Mouse(dial, QEvent::MouseMove, 0, Qt::LeftButton);
    Mouse(dial, QEvent::MouseButtonRelease, 0, Qt::NoButton);
    QTest::keyClick(dial, Qt::Key_End);
    QTest::mouseDClick(dial, Qt::LeftButton, Qt::NoModifier, dial->KnobCentre().toPoint());
    EXPECT_EQ(dial->ValueEditor(), nullptr);
    EXPECT_EQ(dial->angle(), before);
    EXPECT_TRUE(Writes().empty());
    EXPECT_TRUE(dialogs->messages.isEmpty());
}

// WCAG relative luminance and contrast of two colours.
double Luminance(QColor c) {
    auto channel = [](double v) {
        v /= 255.0;
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}
double Contrast(QColor a, QColor b) {
    const double x = Luminance(a), y = Luminance(b);
    return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

// The strongest contrast any pixel of the area has with the area's most
// common colour (the background): a caption's glyphs at their darkest or
// brightest.
double CaptionContrast(const QImage& image, const QRect& area) {
    std::map<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) ++counts[image.pixel(x, y)];
    const QColor background(std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) {
                                return a.second < b.second;
                            })->first);
    double best = 1;
    for (const auto& [rgb, n] : counts) best = std::max(best, Contrast(QColor(rgb), background));
    return best;
}

TEST_F(KnobFixture, DisplayOnlyKnobsAreReadableInEveryLook) {
    StartConnectedWithAlgorithm();
    TformFXsettings& w = *formFXsettings;
    const std::vector<QuendleDial*> dials = {w.dialDry,       w.dialMinus1Oct,  w.dialSubMix,
                                             w.dialMinus2Oct, w.dialLowPass,    w.dialHighPass,
                                             w.dialRange,     w.dial1stHarmonic};
    // Halfway: the value arc covers the left, the bare track the right.
    for (QuendleDial* d : dials) d->setAngle(90);
    for (int look = 0; look < 8; ++look) {
        ASSERT_TRUE(ApplyLook(look));
        QCoreApplication::processEvents();
        const QImage window = w.grab().toImage();
        for (QuendleDial* d : dials) {
            ASSERT_FALSE(d->isEnabled());
            const QPoint origin = d->mapTo(&w, QPoint(0, 0));
            const QRectF arc = d->ArcRect().translated(origin);
            const QPointF c = arc.center();
            const QColor value = window.pixelColor((c - QPointF(arc.width() / 2, 0)).toPoint());
            const QColor track = window.pixelColor((c + QPointF(arc.width() / 2, 0)).toPoint());
            EXPECT_GE(Contrast(value, track), 3.0)
                << "look " << look << " " << d->objectName().toStdString() << " "
                << value.name().toStdString() << " on " << track.name().toStdString();
            const int top = static_cast<int>(d->ArcRect().bottom()) + 6;
            const QRect caption(origin.x() + 1, origin.y() + top, d->width() - 2,
                                d->height() - top - 1);
            EXPECT_GE(CaptionContrast(window, caption), 4.5)
                << "look " << look << " " << d->objectName().toStdString();
        }
        for (QuendleSwitch* s : {w.swtWave, w.swtSplit}) {
            const QPoint origin = s->mapTo(&w, QPoint(0, 0));
            const QRect caption(origin.x() + 1, origin.y() + 24, s->width() - 2, s->height() - 25);
            EXPECT_GE(CaptionContrast(window, caption), 4.5)
                << "look " << look << " " << s->objectName().toStdString();
        }
    }
}

}  // namespace

namespace {

// How many pixels of a control change, at 3:1 or more, when it takes the
// keyboard focus: the focus mark as the eye sees it.
int FocusMarkPixels(QWidget* control, QWidget* elsewhere) {
    // Taken from the window, so the control stands on what it stands on.
    QWidget* window = control->window();
    const QRect area(control->mapTo(window, QPoint(0, 0)), control->size());
    elsewhere->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
    const QImage without = window->grab(area).toImage();
    control->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
    if (!control->hasFocus()) return -1;
    const QImage with = window->grab(area).toImage();
    int changed = 0;
    for (int y = 0; y < std::min(with.height(), without.height()); ++y)
        for (int x = 0; x < std::min(with.width(), without.width()); ++x)
            if (Contrast(with.pixelColor(x, y), without.pixelColor(x, y)) >= 3.0) ++changed;
    return changed;
}

TEST_F(KnobFixture, TheKeyboardFocusIsPlainOnEveryKindOfControlInEveryLook) {
    StartConnectedWithAlgorithm();
    TformFXsettings& w = *formFXsettings;
    w.chkDominantNoteCut->blockSignals(true);
    w.chkDominantNoteCut->setChecked(true);
    w.chkDominantNoteCut->blockSignals(false);
    const std::vector<QWidget*> settings = {
        w.dialInputLevel,      w.chkDominantNoteCut,        w.chkHighNoteCut,
        w.chkBypassShortPress, w.chkChangePresetShortPress, w.cmbGuitarTuning,
        w.cmbAssignCtrlUNO};
    const std::vector<QWidget*> main = {formMain->btnRequest, formMain->lstEffects};
    formMain->btnRequest->setEnabled(true);
    for (int look = 0; look < 8; ++look) {
        ASSERT_TRUE(ApplyLook(look));
        for (const auto& [window, controls] : {std::pair{static_cast<QWidget*>(&w), settings},
                                               std::pair{static_cast<QWidget*>(formMain), main}}) {
            window->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(window));
            for (QWidget* c : controls) {
                QWidget* other = c == controls.front() ? controls.back() : controls.front();
                EXPECT_GE(FocusMarkPixels(c, other), 12)
                    << "look " << look << " " << c->objectName().toStdString();
            }
        }
    }
}

}  // namespace
