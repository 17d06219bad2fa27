#include <QAction>
#include <QMouseEvent>
#include <QStandardItemModel>
#include <functional>

#include "effects/HintsUnit.h"
#include "effects/PedalModel.h"
#include "library/Catalogue.h"
#include "tests/effects/SettingsFixture.h"

namespace {

const QString kRefusal =
    QStringLiteral("This parameter is currently assigned and cannot be controlled from here");

TEST_F(SettingsFixture, ClickingAnAlgorithmLogsItShowsTheWindowBesideTheMainOneAndReadsAddresses) {
    StartEditor();
    NewConsoleLines();
    ClickAlgorithm(0);

    ASSERT_FALSE(ResourceLines.isEmpty());
    const QString image = ResourceLines[0];
    EXPECT_TRUE(image.startsWith(QStringLiteral("001220"))) << image.left(20).toStdString();
    EXPECT_EQ(NewConsoleLines(),
              QStringList({"efx index :0", "selected effect name: Quendle MK3 0008",
                           "resource name: Quendle_MK3_0008", image}));
    EXPECT_EQ(SelectedAlgorithmName, QStringLiteral("Quendle MK3 0008"));
    EXPECT_TRUE(formMain->btnGetFXInfo->isEnabled());
    EXPECT_FALSE(formMain->btnGetFXInfo->isVisible());

    EXPECT_TRUE(formFXsettings->isVisible());
    EXPECT_EQ(formFXsettings->windowTitle(), QStringLiteral("Quendle MK3 0008"));
    // Frames side by side, tops aligned.
    const QRect main = formMain->frameGeometry();
    EXPECT_EQ(formFXsettings->frameGeometry().topLeft(), QPoint(main.x() + main.width(), main.y()));

    // The built-in image's address table.
    EXPECT_EQ(paramDry->address, 0x000B);
    EXPECT_EQ(paramInputLevel->address, 0x000A);
    EXPECT_EQ(paramHighNotesCut->address, 0x000C);
    EXPECT_EQ(paramRange->address, 0);
    EXPECT_TRUE(dialogs->messages.isEmpty());

    // A second click closes and shows it again, in the same place.
    formMain->move(main.topLeft() + QPoint(10, 20));
    ClickAlgorithm(0);
    EXPECT_TRUE(formFXsettings->isVisible());
    const QRect moved = formMain->frameGeometry();
    EXPECT_EQ(formFXsettings->frameGeometry().topLeft(),
              QPoint(moved.x() + moved.width(), moved.y()));
}

// The controls the user can change once connected, and the ten that only show.
std::vector<QWidget*> LiveControls() {
    std::vector<QWidget*> controls;
    for (const char* name :
         {"dialInputLevel", "dialClipWave", "cmbVariableWavePitch", "cmbGuitarTuning",
          "chkDominantNoteCut", "chkHighNoteCut", "cmbAssignCtrlUNO", "cmbAssignCtrlDUE",
          "cmbAssignCtrlTRE", "cmbAssignCtrlQUATTRO", "cmbAssignRemote", "chkBypassShortPress",
          "chkChangePresetShortPress", "chkBypassLongPress", "chkChangePresetLongPress"}) {
        auto* w = formFXsettings->findChild<QWidget*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        if (w) controls.push_back(w);
    }
    return controls;
}

std::vector<QWidget*> DisplayControls() {
    std::vector<QWidget*> controls;
    for (const char* name :
         {"dialDry", "dialMinus1Oct", "dialSubMix", "dialMinus2Oct", "dialLowPass", "dialHighPass",
          "dialRange", "dial1stHarmonic", "swtWave", "swtSplit"}) {
        auto* w = formFXsettings->findChild<QWidget*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        if (w) controls.push_back(w);
    }
    return controls;
}

TEST_F(SettingsFixture, ControlsAreEnabledOnlyWhileConnected) {
    AddPedal();
    StartEditor();
    // Disconnected: choosing an algorithm shows the window with nothing to turn.
    ClickAlgorithm(0);
    ASSERT_TRUE(formFXsettings->isVisible());
    for (QWidget* w : LiveControls()) EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();

    ConnectPedal();
    for (QWidget* w : LiveControls()) EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    ClickAlgorithm(0);
    for (QWidget* w : LiveControls()) EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    for (QWidget* w : DisplayControls())
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    for (int control = 0; control < AssignableControlCount; ++control)
        for (const AssignmentListItem* item : AssignmentListItems(control))
            EXPECT_TRUE(item->enabled);

    // Disconnect disables everything again.
    formFXsettings->SetSettingsEnabled(false);
    for (QWidget* w : LiveControls()) EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    for (const AssignmentListItem* item : AssignmentListItems(CtrlI)) EXPECT_FALSE(item->enabled);
    EXPECT_TRUE(Writes().empty());
}

struct DialWrite {
    const char* name;
    std::function<QuendleDial*()> dial;
    int angle;
    int settlesAt;
    const char* message;
};

class SettingsDialWrites : public SettingsFixture,
                           public ::testing::WithParamInterface<DialWrite> {};

TEST_P(SettingsDialWrites, SendTheValueOfTheSettledAngle) {
    const DialWrite& c = GetParam();
    StartConnectedWithAlgorithm();
    QuendleDial* dial = c.dial();
    dial->setAngle(30);  // away from the start, so every case is a move
    driver->Pedal().ClearMessages();

    dial->setAngle(c.angle);
    EXPECT_EQ(dial->angle(), c.settlesAt);
    const std::vector<sim::Bytes> writes = Writes();
    ASSERT_FALSE(writes.empty());
    // A dial snapped off the dead quarter writes the value of where it settled.
    for (const sim::Bytes& w : writes) EXPECT_EQ(w, HexBytes(c.message));
    EXPECT_TRUE(dialogs->messages.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Dials, SettingsDialWrites,
    ::testing::Values(DialWrite{"InputLevelMinimum", [] { return formFXsettings->dialInputLevel; },
                                -135, -135, "01 00 0A 00 00 00 00"},
                      DialWrite{"InputLevelMaximum", [] { return formFXsettings->dialInputLevel; },
                                -45, -45, "01 00 0A 00 7F E0 00"},
                      DialWrite{"ReleasedAtMinus100", [] { return formFXsettings->dialInputLevel; },
                                -100, -135, "01 00 0A 00 00 00 00"},
                      DialWrite{"ReleasedAtMinus60", [] { return formFXsettings->dialInputLevel; },
                                -60, -45, "01 00 0A 00 7F E0 00"},
                      DialWrite{"WaveClipTop", [] { return formFXsettings->dialClipWave; }, 90, 90,
                                "01 00 E7 00 3F C0 00"},
                      // The four standard dials only move by the read-back (or the hidden
                      // menu item); they write to their own addresses and are never refused.
                      DialWrite{"Dry", [] { return formFXsettings->dialDry; }, 0, 0,
                                "01 00 0B 00 6A 80 00"},
                      DialWrite{"SubMix", [] { return formFXsettings->dialSubMix; }, 180, 180,
                                "01 00 E8 00 14 E0 00"},
                      DialWrite{"Minus1Oct", [] { return formFXsettings->dialMinus1Oct; }, -136,
                                -136, "01 00 77 00 00 80 00"},
                      DialWrite{"Minus2Oct", [] { return formFXsettings->dialMinus2Oct; }, -80, -45,
                                "01 00 73 00 7F E0 00"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsFixture, DialStoresTheValueItWrote) {
    StartConnectedWithAlgorithm();
    formFXsettings->dialInputLevel->setAngle(0);
    EXPECT_EQ(paramInputLevel->value, 0x006A8000u);
    formFXsettings->dialDry->setAngle(-70);
    EXPECT_EQ(paramDry->value, 0x007FE000u);
    // The display dials have no handler: nothing is written for them.
    driver->Pedal().ClearMessages();
    formFXsettings->dialLowPass->setAngle(90);
    formFXsettings->dial1stHarmonic->setAngle(90);
    EXPECT_TRUE(Writes().empty());
}

// A real drag with the mouse that ends in the dead quarter.
TEST_F(SettingsFixture, ADialLeftInTheDeadQuarterSnapsToTheNearerEnd) {
    // A drag cannot leave it there any more; the program still can.
    StartConnectedWithAlgorithm();
    QuendleDial* dial = formFXsettings->dialInputLevel;
    const struct {
        int setTo, settlesAt;
        const char* message;
    } cases[] = {{-100, -135, "01 00 0A 00 00 00 00"}, {-60, -45, "01 00 0A 00 7F E0 00"}};
    for (const auto& c : cases) {
        dial->setAngle(90);
        driver->Pedal().ClearMessages();
        dial->setAngle(c.setTo);
        EXPECT_EQ(dial->angle(), c.settlesAt);
        ASSERT_FALSE(Writes().empty());
        EXPECT_EQ(Writes().back(), HexBytes(c.message));
        EXPECT_EQ(paramInputLevel->value, DialAngleToValue(c.settlesAt));
    }
}

TEST_F(SettingsFixture, ChoosingAPitchWritesItsTableValue) {
    StartConnectedWithAlgorithm();
    QComboBox* pitch = formFXsettings->cmbVariableWavePitch;
    const struct {
        const char* text;
        const char* message;
        std::uint32_t value;
    } cases[] = {{"0", "01 00 6E 00 40 00 00", 0x00400000},
                 {"+12", "01 00 6E 00 80 00 00", 0x00800000},
                 {"-11", "01 00 6E 00 22 AA A8", 0x0022AAA8}};
    for (const auto& c : cases) {
        driver->Pedal().ClearMessages();
        pitch->setCurrentIndex(pitch->findText(QLatin1String(c.text)));
        ASSERT_EQ(Writes().size(), 1u) << c.text;
        EXPECT_EQ(Writes()[0], HexBytes(c.message)) << c.text;
        EXPECT_EQ(paramHarmonicPitch->value, c.value) << c.text;
    }
}

struct Refusal {
    const char* name;
    std::function<assignable_parameter*()> parameter;
    std::function<void()> change;
    // Whether the control shows the parameter's value again.
    std::function<bool()> showsTheModel;
};

class SettingsRefusals : public SettingsFixture, public ::testing::WithParamInterface<Refusal> {};

TEST_P(SettingsRefusals, AssignedParameterRefusesTheUserAndGoesBackToItsValue) {
    const Refusal& c = GetParam();
    StartConnectedWithAlgorithm();
    assignable_parameter* parameter = c.parameter();
    parameter->is_assigned = true;
    parameter->value = PitchTable[5];
    formFXsettings->ShowModel();

    c.change();
    EXPECT_EQ(dialogs->messages, QStringList({kRefusal}));
    EXPECT_TRUE(Writes().empty());
    EXPECT_EQ(parameter->value, PitchTable[5]);
    EXPECT_TRUE(c.showsTheModel());
}

INSTANTIATE_TEST_SUITE_P(
    Controls, SettingsRefusals,
    ::testing::Values(Refusal{"InputLevel", [] { return paramInputLevel; },
                              [] { formFXsettings->dialInputLevel->setAngle(10); },
                              [] {
                                  return formFXsettings->dialInputLevel->angle() ==
                                         PedalModel::DialAngleFor(SlotInputLevel, PitchTable[5]);
                              }},
                      Refusal{"WaveClip", [] { return paramWaveClip; },
                              [] { formFXsettings->dialClipWave->setAngle(10); },
                              [] {
                                  return formFXsettings->dialClipWave->angle() ==
                                         PedalModel::DialAngleFor(SlotWaveClip, PitchTable[5]);
                              }},
                      Refusal{"HarmonicPitch", [] { return paramHarmonicPitch; },
                              [] { formFXsettings->cmbVariableWavePitch->setCurrentIndex(3); },
                              [] {
                                  return formFXsettings->cmbVariableWavePitch->currentIndex() == 5;
                              }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsFixture, EnableAllParametersTogglesTheFourMixDials) {
    StartConnectedWithAlgorithm();
    QAction* item = formMain->menuEnableAllParameters;
    QWidget* const mix[] = {formFXsettings->dialDry, formFXsettings->dialSubMix,
                            formFXsettings->dialMinus1Oct, formFXsettings->dialMinus2Oct};

    item->trigger();
    EXPECT_TRUE(AllParametersEnabled);
    EXPECT_TRUE(item->isChecked());
    for (QWidget* w : mix) EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_FALSE(formFXsettings->dialLowPass->isEnabled());

    // A later Connect disables them again although the item stays ticked.
    formFXsettings->SetSettingsEnabled(true);
    for (QWidget* w : mix) EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_TRUE(item->isChecked());

    item->trigger();
    item->trigger();  // off, then on again: the dials follow the item
    EXPECT_TRUE(AllParametersEnabled);
    for (QWidget* w : mix) EXPECT_TRUE(w->isEnabled());
    item->trigger();
    EXPECT_FALSE(AllParametersEnabled);
    EXPECT_FALSE(item->isChecked());
    for (QWidget* w : mix) EXPECT_FALSE(w->isEnabled());
}

TEST_F(SettingsFixture, BrokenOrMissingImageIsReportedAndKeepsTheAddresses) {
    const QString good =
        AlgorithmImageLine({"000B", "00E8", "0077", "0073", "0003", "00CC", "00DE", "00A0", "00E9",
                            "0000", "0000", "0000", "000A", "006E", "00E7", "001B", "000C"});
    platform::RegisterResource(QStringLiteral("OCTAVE"),
                               "Good Algo\r\nShort Algo\r\nBad Hex Algo\r\nMissing Algo\r\n");
    platform::RegisterResource(QStringLiteral("Good_Algo"), good.toLatin1());
    platform::RegisterResource(QStringLiteral("Short_Algo"), "001220000B00E8");
    QString badHex = good;
    badHex.replace(54, 2, QStringLiteral("zz"));  // inside word 12, "Input Level"
    platform::RegisterResource(QStringLiteral("Bad_Hex_Algo"), badHex.toLatin1());
    AddPedal();
    StartEditor();
    ConnectPedal();
    ClickAlgorithm(0);
    ASSERT_TRUE(dialogs->messages.isEmpty());
    std::vector<std::uint16_t> addresses;
    for (int slot = 0; slot < ParameterSlotCount; ++slot)
        addresses.push_back(ParameterAt(slot).address());

    const struct {
        int row;
        const char* mentions;
    } cases[] = {{1, "address table"}, {2, "'zz'"}, {3, "Resource Missing_Algo not found"}};
    for (const auto& c : cases) {
        dialogs->messages.clear();
        const QStringList linesBefore = ResourceLines;
        ClickAlgorithm(c.row);
        ASSERT_EQ(dialogs->messages.size(), 1) << c.row;
        EXPECT_TRUE(dialogs->messages[0].contains(QLatin1String(c.mentions)))
            << dialogs->messages[0].toStdString();
        for (int slot = 0; slot < ParameterSlotCount; ++slot)
            EXPECT_EQ(ParameterAt(slot).address(), addresses[static_cast<std::size_t>(slot)]);
        // The window is not shown with addresses it could not read.
        EXPECT_FALSE(formFXsettings->isVisible());
        if (c.row == 3) {
            EXPECT_EQ(ResourceLines, linesBefore);
        }
    }
    // The good algorithm still works afterwards.
    dialogs->messages.clear();
    ClickAlgorithm(0);
    EXPECT_TRUE(formFXsettings->isVisible());
    formFXsettings->dialInputLevel->setAngle(-45);
    EXPECT_EQ(Writes().back(), HexBytes("01 00 0A 00 7F E0 00"));
    EXPECT_TRUE(dialogs->messages.isEmpty());
}

TEST_F(SettingsFixture, WindowStartsAsDesigned) {
    StartEditor();
    TformFXsettings* w = formFXsettings;
    EXPECT_EQ(w->size(), QSize(333, 621));
    EXPECT_EQ(w->minimumSize(), w->maximumSize());

    const std::pair<const char*, const char*> dials[] = {{"dialDry", "Dry"},
                                                         {"dialMinus1Oct", "-1 OCT"},
                                                         {"dialSubMix", "Sub Mix"},
                                                         {"dialMinus2Oct", "-2 OCT"},
                                                         {"dialLowPass", "Low Pass"},
                                                         {"dialHighPass", "High Pass"},
                                                         {"dialRange", "Range"},
                                                         {"dialInputLevel", "Input Level"},
                                                         {"dialClipWave", "Wave Clip"},
                                                         {"dial1stHarmonic", "1st Harmonic"}};
    for (const auto& [name, label] : dials) {
        auto* d = w->findChild<QuendleDial*>(QLatin1String(name));
        ASSERT_NE(d, nullptr) << name;
        EXPECT_EQ(d->label(), QLatin1String(label));
        EXPECT_EQ(d->accessibleName(), QLatin1String(label));
        EXPECT_EQ(d->angle(), -135) << name;
    }
    EXPECT_TRUE(w->dialInputLevel->isEnabled());
    EXPECT_TRUE(w->dialClipWave->isEnabled());
    EXPECT_FALSE(w->dialDry->isEnabled());
    EXPECT_FALSE(w->swtWave->isChecked());
    EXPECT_FALSE(w->swtSplit->isChecked());
    EXPECT_EQ(w->swtWave->text(), QStringLiteral("Wave"));

    const std::pair<const char*, const char*> texts[] = {
        {"lblTrackingFunctions", "Tracking Functions"},
        {"lblAssignControls", "Assign Controls"},
        {"lblVariableWavePitch", "1st Harmonic Pitch"},
        {"Label4", "Footswitch Short Press:"},
        {"Label5", "Footswitch Long Press:"},
        {"lblAssignCtrlUNO", "Control I"},
        {"lblAssignCtrlDUE", "Control II"},
        {"lblAssignCtrlTRE", "Control III"},
        {"lblAssignCtrlQUATTRO", "Control IV"},
        {"lblAssignRemote", "Remote Footswitch"}};
    for (const auto& [name, text] : texts) {
        auto* l = w->findChild<QLabel*>(QLatin1String(name));
        ASSERT_NE(l, nullptr) << name;
        EXPECT_EQ(l->text(), QLatin1String(text));
    }
    EXPECT_EQ(w->chkDominantNoteCut->text(), QStringLiteral("Dominant Notes Cut"));
    EXPECT_EQ(w->chkHighNoteCut->text(), QStringLiteral("High Notes Cut"));
    EXPECT_FALSE(w->chkDominantNoteCut->isChecked());

    auto items = [](QComboBox* c) {
        QStringList list;
        for (int i = 0; i < c->count(); ++i) list << c->itemText(i);
        return list;
    };
    QStringList pitches;
    for (int s = -12; s <= 12; ++s)
        pitches << (s > 0 ? QStringLiteral("+%1").arg(s) : QString::number(s));
    EXPECT_EQ(items(w->cmbVariableWavePitch), pitches);
    EXPECT_EQ(w->cmbVariableWavePitch->currentIndex(), -1);
    EXPECT_EQ(w->cmbVariableWavePitch->maxVisibleItems(), 12);
    EXPECT_EQ(w->cmbVariableWavePitch->itemData(0, TformFXsettings::ItemNameRole).toString(),
              QStringLiteral("ListBoxItem_m12"));
    EXPECT_EQ(w->cmbVariableWavePitch->itemData(24, TformFXsettings::ItemNameRole).toString(),
              QStringLiteral("ListBoxItem_p12"));
    EXPECT_EQ(items(w->cmbGuitarTuning),
              QStringList({"No Tuning Selected", "Standard EADGBE", "Drop D (DADGBE)", "DADGAD",
                           "EbAbDbGbBbEb"}));
    EXPECT_EQ(w->cmbGuitarTuning->currentIndex(), 0);
    for (int control = 0; control < AssignableControlCount; ++control) {
        QComboBox* list = w->AssignmentList(control);
        EXPECT_EQ(list->currentIndex(), 0);
        EXPECT_EQ(TformFXsettings::SelectedAssignmentItem(list), NotAssignedItem(control));
        for (int i = 0; i < list->count(); ++i)
            EXPECT_EQ(
                list->itemData(i, TformFXsettings::AssignmentItemRole).value<AssignmentListItem*>(),
                AssignmentListItems(control)[static_cast<std::size_t>(i)]);
    }

    EXPECT_TRUE(w->chkBypassShortPress->isChecked());
    EXPECT_FALSE(w->chkChangePresetShortPress->isChecked());
    EXPECT_TRUE(w->chkChangePresetLongPress->isChecked());
    EXPECT_FALSE(w->chkBypassLongPress->isChecked());
    EXPECT_EQ(w->FtswShortPress->objectName(), QStringLiteral("FtswShortPress"));
    EXPECT_EQ(w->FtswLongPress->buttons().size(), 2);

    EXPECT_EQ(w->dialInputLevel->toolTip(), HintInputLevel);
    EXPECT_EQ(w->chkDominantNoteCut->toolTip(), HintDominantNotesCut);
    EXPECT_EQ(w->chkHighNoteCut->toolTip(), HintHighNotesCut);
    EXPECT_EQ(HintInputLevel.count(QStringLiteral("\r\n")), 1);
    EXPECT_EQ(HintHighNotesCut.count(QStringLiteral("\r\n")), 2);

    for (const char* name : {"Rectangle1", "Rectangle2"}) {
        auto* f = w->findChild<QFrame*>(QLatin1String(name));
        ASSERT_NE(f, nullptr) << name;
        EXPECT_NE(f->frameShape(), QFrame::NoFrame);
        EXPECT_FALSE(f->autoFillBackground());
    }
    EXPECT_EQ(w->dial1stHarmonic->parentWidget(), w->Rectangle1);
    EXPECT_EQ(w->cmbVariableWavePitch->parentWidget(), w->Rectangle1);
    EXPECT_EQ(w->cmbGuitarTuning->parentWidget(), w->Rectangle2);
}

}  // namespace
