// The read-back of the pedal's stored settings at the end of a Request, Save
// Parameters, and the whole round trip through the real windows.

#include <QCheckBox>
#include <QComboBox>

#include "app/EditorApp.h"
#include "device/Communication.h"
#include "effects/ControlAssignments.h"
#include "effects/StoredSettings.h"
#include "tests/settings/StoredSettingsSupport.h"

namespace {

const QString kRefusal =
    QStringLiteral("This parameter is currently assigned and cannot be controlled from here");

// The lines from the first one equal to `first` on, `count` of them.
QStringList LinesFrom(const QStringList& lines, const QString& first, int count) {
    const qsizetype at = lines.indexOf(first);
    if (at < 0) return {};
    return lines.mid(at, count);
}

TEST_F(StoredSettingsFixture, RequestMovesTheWindowToThePedalsSettings) {
    sim::VirtualPedal& pedal = AddPedal();
    pedal.SetFootswitchMode(2);
    pedal.SetAssignments(AssignmentBytes({0x000A, std::nullopt, 0x000C, std::nullopt, 0xFFFD}));
    pedal.SetTuning(1);
    pedal.SetSlotValue(SlotDry, 0x00400000);
    pedal.SetSlotValue(SlotWave, 0x00400000);
    pedal.SetSlotValue(SlotLowPass, 12);
    pedal.SetSlotValue(SlotSplit, 1);
    pedal.SetSlotValue(SlotInputLevel, 0x00400000);
    pedal.SetSlotValue(SlotHarmonicPitch, 0x00400001);  // between two pitches
    pedal.SetSlotValue(SlotDominantNoteCut, 1);
    StartEditor();
    ConnectThroughMenu();
    ClickAlgorithm(0);
    pedal.ClearMessages();
    NewConsoleLines();

    ClickRequest();

    TformFXsettings& w = *formFXsettings;
    EXPECT_TRUE(dialogs->messages.isEmpty()) << dialogs->messages.join('|').toStdString();
    // Footswitch code 2: "Change Preset" for both presses.
    EXPECT_TRUE(w.chkChangePresetShortPress->isChecked());
    EXPECT_FALSE(w.chkBypassShortPress->isChecked());
    EXPECT_TRUE(w.chkChangePresetLongPress->isChecked());
    EXPECT_EQ(FootswitchMode, 2);

    EXPECT_EQ(w.cmbAssignCtrlUNO->currentText(), "Input Level");
    EXPECT_EQ(w.cmbAssignCtrlDUE->currentIndex(), 0);
    // Taken as the pedal reports it, although no tuning was in place yet.
    EXPECT_EQ(w.cmbAssignCtrlTRE->currentText(), "High Notes Cut");
    EXPECT_EQ(w.cmbAssignCtrlQUATTRO->currentIndex(), 0);
    EXPECT_EQ(TformFXsettings::SelectedAssignmentItem(w.cmbAssignRemote), PresetItem());
    EXPECT_EQ(ControlAssigned, (std::array<bool, 5>{true, false, true, false, true}));
    EXPECT_TRUE(paramInputLevel->is_assigned);
    EXPECT_TRUE(paramHighNotesCut->is_assigned);
    EXPECT_FALSE(paramHarmonicPitch->is_assigned);
    EXPECT_FALSE(paramWaveClip->is_assigned);
    EXPECT_FALSE(paramDominantNoteCut->is_assigned);

    EXPECT_EQ(CurrentTuning, 1);
    EXPECT_EQ(w.cmbGuitarTuning->currentIndex(), 1);

    EXPECT_EQ(w.dialDry->angle(), 89);
    EXPECT_EQ(w.dialInputLevel->angle(), 89);
    EXPECT_EQ(w.dialLowPass->angle(), 90);
    EXPECT_TRUE(w.swtWave->isOn());
    EXPECT_TRUE(w.swtSplit->isOn());
    EXPECT_EQ(w.cmbVariableWavePitch->currentIndex(), -1);
    EXPECT_TRUE(w.chkDominantNoteCut->isChecked());
    EXPECT_FALSE(w.chkHighNoteCut->isChecked());

    // The moved controls with a handler write the value just read, exactly;
    // the display dials, the switches and the unmatched pitch send nothing.
    EXPECT_EQ(pedal.Messages(),
              (std::vector<sim::Bytes>{HexBytes("02 00"), HexBytes("01 00 0B 00 40 00 00"),
                                       HexBytes("01 00 0A 00 40 00 00"),
                                       HexBytes("01 00 1B 00 00 00 01")}));
    EXPECT_EQ(paramInputLevel->value, 0x00400000u);
    EXPECT_EQ(ReadBackValues[SlotInputLevel], 0x00400000u);
    EXPECT_EQ(paramLowPass->value, 12u);
    EXPECT_EQ(paramHarmonicPitch->value, 0x00400001u);

    const QStringList lines = NewConsoleLines();
    EXPECT_TRUE(lines.contains("Footswitch Mode: 2"));
    EXPECT_TRUE(lines.contains("Current Tuning: 1"));
    EXPECT_EQ(
        LinesFrom(lines, "Dry: \t00400000", 15),
        (QStringList{"Dry: \t00400000", "Sub Mix: 00000000", "Sub -1: \t00000000",
                     "Sub -2: \t00000000", "Wave: \t00400000", "LPF: \t0000000C", "HPF: \t00000000",
                     "1st Harmonic: \t00000000", "Split: \t00000001", "Range: \t00000000",
                     "Input Lvl: \t00400000", "Harmonic pitch: \t00400001", "Clip: \t00000000",
                     "Dominant notes cut: \t00000001", "High notes cut: \t00000000"}));

    // Assigned parameters refuse the user's changes until the next Request,
    // and their controls stay at the pedal's values.
    pedal.ClearMessages();
    ClickOption(w.chkHighNoteCut);
    EXPECT_FALSE(w.chkHighNoteCut->isChecked());
    // The assigned knob is locked to its button: it does not move at all.
    EXPECT_EQ(w.dialInputLevel->lockedText(), QStringLiteral("CTRL I"));
    const int before = w.dialInputLevel->angle();
    w.dialInputLevel->setFocus();
    QTest::keyClick(w.dialInputLevel, Qt::Key_End);
    EXPECT_EQ(w.dialInputLevel->angle(), before);
    EXPECT_EQ(dialogs->messages, (QStringList{kRefusal}));
    EXPECT_TRUE(pedal.Messages().empty());

    // The pedal no longer has them assigned: the next Request frees them.
    pedal.SetAssignments(AssignmentBytes({}));
    ClickRequest();
    EXPECT_EQ(ControlAssigned, (std::array<bool, 5>{}));
    EXPECT_FALSE(paramHighNotesCut->is_assigned);
    dialogs->messages.clear();
    pedal.ClearMessages();
    ClickOption(w.chkHighNoteCut);
    EXPECT_TRUE(w.chkHighNoteCut->isChecked());
    EXPECT_TRUE(dialogs->messages.isEmpty());
    EXPECT_EQ(pedal.Messages(), std::vector<sim::Bytes>{HexBytes("01 00 0C 00 00 00 01")});
}

struct FootswitchCodeCase {
    int code;
    bool shortBypass;
    bool longBypass;
};

std::ostream& operator<<(std::ostream& os, const FootswitchCodeCase& c) {
    return os << "Code" << c.code;
}

class FootswitchCode : public StoredSettingsFixture,
                       public ::testing::WithParamInterface<FootswitchCodeCase> {};

TEST_P(FootswitchCode, SelectsOneButtonOfEachGroup) {
    const FootswitchCodeCase& c = GetParam();
    AddPedal().SetFootswitchMode(static_cast<std::uint8_t>(c.code));
    StartEditor();
    ConnectThroughMenu();
    ClickAlgorithm(0);
    // Short "Change Preset", long "Bypass": not the start-up state, so codes
    // that change nothing show it.
    formFXsettings->chkChangePresetShortPress->setChecked(true);
    formFXsettings->chkBypassLongPress->setChecked(true);
    NewConsoleLines();

    ClickRequest();
    TformFXsettings& w = *formFXsettings;
    EXPECT_EQ(w.chkBypassShortPress->isChecked(), c.shortBypass);
    EXPECT_NE(w.chkChangePresetShortPress->isChecked(), c.shortBypass);
    EXPECT_EQ(w.chkBypassLongPress->isChecked(), c.longBypass);
    EXPECT_NE(w.chkChangePresetLongPress->isChecked(), c.longBypass);
    EXPECT_TRUE(NewConsoleLines().contains(QStringLiteral("Footswitch Mode: %1").arg(c.code)));
}

INSTANTIATE_TEST_SUITE_P(Codes, FootswitchCode,
                         ::testing::Values(FootswitchCodeCase{0, true, false},
                                           FootswitchCodeCase{1, true, true},
                                           FootswitchCodeCase{2, false, false},
                                           // Not a code: the buttons stay.
                                           FootswitchCodeCase{5, false, true}),
                         [](const auto& info) { return "Code" + std::to_string(info.param.code); });

struct PedalTuningCase {
    int reported;
    int listAfter;
    QStringList messages;
    QStringList extraLines;
};

std::ostream& operator<<(std::ostream& os, const PedalTuningCase& c) {
    return os << "Reported" << c.reported;
}

class PedalTuning : public StoredSettingsFixture,
                    public ::testing::WithParamInterface<PedalTuningCase> {};

TEST_P(PedalTuning, SelectsKnownTuningsOnly) {
    const PedalTuningCase& c = GetParam();
    AddPedal().SetTuning(static_cast<std::uint8_t>(c.reported));
    StartEditor();
    ConnectThroughMenu();
    ClickAlgorithm(0);
    formFXsettings->cmbGuitarTuning->setCurrentIndex(1);
    NewConsoleLines();

    ClickRequest();
    EXPECT_EQ(formFXsettings->cmbGuitarTuning->currentIndex(), c.listAfter);
    EXPECT_EQ(CurrentTuning, c.listAfter);
    EXPECT_EQ(dialogs->messages, c.messages);
    EXPECT_EQ(LinesFrom(NewConsoleLines(), QStringLiteral("Current Tuning: %1").arg(c.reported),
                        1 + static_cast<int>(c.extraLines.size())),
              QStringList{QStringLiteral("Current Tuning: %1").arg(c.reported)} + c.extraLines);
}

INSTANTIATE_TEST_SUITE_P(
    Indices, PedalTuning,
    ::testing::Values(
        PedalTuningCase{0, 0, {}, {}},
        // Setting the list runs its handler, notice included.
        PedalTuningCase{3,
                        3,
                        {"This tuning has not been implemented yet :( But feel free to get in "
                         "touch to speed up!"},
                        {}},
        PedalTuningCase{
            7, 1, {}, {"Tuning 7 is not one the editor knows; the tuning list stays at 1"}}),
    [](const auto& info) { return "Reported" + std::to_string(info.param.reported); });

// Settings the next two cases read back before any algorithm is chosen: a
// tuning, values for three handled controls, CTRL I on Input Level, CTRL II
// flagged with the code no parameter has, and the remote on Bypass.
void StoreSettingsOn(sim::VirtualPedal& pedal) {
    pedal.SetTuning(1);
    pedal.SetSlotValue(SlotInputLevel, 0x00400000);
    pedal.SetSlotValue(SlotHarmonicPitch, 0x00400000);
    pedal.SetSlotValue(SlotDominantNoteCut, 1);
    pedal.SetAssignments(AssignmentBytes({0x000A, 0xFFFF, std::nullopt, std::nullopt, 0xFFFE}));
}

// Before an algorithm is chosen, the Request reads the address table of the
// catalogue's algorithm with the version the pedal reports.
TEST_F(StoredSettingsFixture, RequestBeforeChoosingAnAlgorithmUsesTheOneThePedalRuns) {
    sim::VirtualPedal& pedal = AddPedal();
    StoreSettingsOn(pedal);
    StartEditor();
    ConnectThroughMenu();
    pedal.ClearMessages();
    NewConsoleLines();

    ClickRequest();

    EXPECT_TRUE(NewConsoleLines().contains("parameter addresses read from Quendle MK3 0008"));
    EXPECT_EQ(pedal.Messages(),
              (std::vector<sim::Bytes>{HexBytes("02 00"), HexBytes("01 00 0A 00 40 00 00"),
                                       HexBytes("01 00 6E 00 40 00 00"),
                                       HexBytes("01 00 1B 00 00 00 01")}));
    EXPECT_EQ(formFXsettings->cmbAssignCtrlUNO->currentText(), "Input Level");
    EXPECT_TRUE(paramInputLevel->is_assigned);
    // FFFF is no parameter's address: CTRL II keeps its entry.
    EXPECT_EQ(formFXsettings->cmbAssignCtrlDUE->currentIndex(), 0);
    EXPECT_EQ(formFXsettings->cmbAssignRemote->currentText(), "Bypass");
}

// A pedal that runs an algorithm the catalogue does not carry: the addresses
// stay placeholders, so nothing but the request goes out and no button's
// code is taken for a parameter (not even FFFF, which every placeholder holds).
TEST_F(StoredSettingsFixture, RequestForAnUnknownAlgorithmHoldsTheWritesBack) {
    sim::VirtualPedal& pedal = AddPedal();
    pedal.SetAlgorithmVersion(0x0009);
    StoreSettingsOn(pedal);
    StartEditor();
    ConnectThroughMenu();
    pedal.ClearMessages();
    NewConsoleLines();

    ClickRequest();

    EXPECT_EQ(pedal.Messages(), std::vector<sim::Bytes>{HexBytes("02 00")});
    const QStringList lines = NewConsoleLines();
    EXPECT_TRUE(lines.contains(
        "Parameter writes held back: no algorithm's address table has been read yet (choose the "
        "algorithm first)"));
    EXPECT_TRUE(
        lines.contains("Control assignments not matched: no algorithm's address table has "
                       "been read yet (choose the algorithm first)"));
    EXPECT_EQ(formFXsettings->cmbAssignCtrlUNO->currentIndex(), 0);
    EXPECT_EQ(formFXsettings->cmbAssignCtrlDUE->currentIndex(), 0);
    EXPECT_FALSE(paramInputLevel->is_assigned);
    EXPECT_FALSE(paramWaveClip->is_assigned);
    EXPECT_EQ(formFXsettings->cmbAssignRemote->currentText(), "Bypass");
    // The window shows the settings and keeps the values all the same.
    EXPECT_EQ(formFXsettings->dialInputLevel->angle(), 89);
    EXPECT_EQ(paramInputLevel->value, 0x00400000u);
    EXPECT_EQ(formFXsettings->cmbVariableWavePitch->currentText(), "0");
    EXPECT_EQ(paramHarmonicPitch->value, 0x00400000u);
    EXPECT_TRUE(formFXsettings->chkDominantNoteCut->isChecked());
    EXPECT_EQ(paramDominantNoteCut->value, 1u);

    // Once the algorithm is chosen, changes go out to its addresses.
    ClickAlgorithm(0);
    pedal.ClearMessages();
    formFXsettings->cmbVariableWavePitch->setCurrentIndex(24);
    EXPECT_EQ(pedal.Messages(), std::vector<sim::Bytes>{HexBytes("01 00 6E 00 80 00 00")});
}

TEST_F(StoredSettingsFixture, ReadBackStepsNeverReadPastAShortReply) {
    AddPedal();
    StartEditor();
    ClickAlgorithm(0);
    ReplyValues.assign(40, 1);
    ReadBackValues.clear();
    NewConsoleLines();
    ReadFootswitchMode(4);
    ReadAssignments(5);
    ReadTuning(20);
    ReadParameterValues(21);
    EXPECT_EQ(NewConsoleLines(),
              (QStringList{"Footswitch Mode: 1", "Current Tuning: 1",
                           "Parameter values not read back: the reply has 40 values, 81 are "
                           "needed"}));
    EXPECT_TRUE(ReadBackValues.empty());
    EXPECT_EQ(formFXsettings->dialDry->angle(), -135);
}

TEST_F(StoredSettingsFixture, SaveParametersStoresTheFiveAssignableValues) {
    StartReady();
    Click(formMain->btnSaveParameters);

    const QString text = QStringLiteral("03") + QString(40, QLatin1Char('0'));
    EXPECT_EQ(NewConsoleLines(), (QStringList{"Store settings message (HEX): " + text, "21"}));
    EXPECT_EQ(dialogs->questions, QStringList{"Save Parameters to pedal?"});
    EXPECT_EQ(Pedal().Messages(), std::vector<sim::Bytes>{HexBytes(text.toLatin1().constData())});
    EXPECT_EQ(Pedal().Messages().front().size(), 21u);
    EXPECT_EQ(Pedal().StoreCount(), 1u);
    EXPECT_EQ(clock->sleepLog, std::vector<int>{100});
}

// Everything the user does in one session is what the pedal reports in the
// next: connect, choose the algorithm, read the settings, change them, store
// them, and read them back after the editor has started again.
TEST_F(StoredSettingsFixture, SettingsMadeInOneSessionAreReadBackInTheNext) {
    AddPedal();
    StartEditor();
    ConnectThroughMenu();
    ClickAlgorithm(0);
    ClickRequest();
    TformFXsettings* w = formFXsettings;

    w->dialInputLevel->setFocus();
    QTest::keyClick(w->dialInputLevel, Qt::Key_End);  // the dial's maximum
    w->cmbGuitarTuning->setCurrentIndex(1);
    Click(formMain->btnSetTuning);
    ClickOption(w->chkDominantNoteCut);
    w->cmbVariableWavePitch->setCurrentIndex(24);  // "+12"
    ClickOption(w->chkChangePresetShortPress);
    Click(formMain->btnSetFootswitchMode);
    w->cmbAssignCtrlDUE->setCurrentIndex(3);  // "Wave Clip"
    Click(formMain->btnAssign);
    Click(formMain->btnSaveParameters);
    EXPECT_EQ(Pedal().Messages().back(),
              HexBytes("03 00 7F E0 00 00 80 00 00 00 00 00 00 00 00 00 01 00 00 00 00"));
    EXPECT_TRUE(dialogs->messages.isEmpty()) << dialogs->messages.join('|').toStdString();

    // A fresh editor.
    formMain->menuDisconnect->trigger();
    DestroyWindows();
    StartEditor();
    ASSERT_EQ(formFXsettings->dialInputLevel->angle(), -135);
    ConnectThroughMenu();
    ClickAlgorithm(0);
    ClickRequest();

    w = formFXsettings;
    EXPECT_EQ(w->dialInputLevel->angle(), -45);
    EXPECT_EQ(w->cmbGuitarTuning->currentIndex(), 1);
    EXPECT_TRUE(w->chkDominantNoteCut->isChecked());
    EXPECT_EQ(w->cmbVariableWavePitch->currentText(), "+12");
    EXPECT_TRUE(w->chkChangePresetShortPress->isChecked());
    EXPECT_TRUE(w->chkChangePresetLongPress->isChecked());
    EXPECT_EQ(w->cmbAssignCtrlDUE->currentText(), "Wave Clip");
    EXPECT_TRUE(paramWaveClip->is_assigned);
    EXPECT_EQ(paramInputLevel->value, 0x007FE000u);
    EXPECT_TRUE(dialogs->messages.isEmpty()) << dialogs->messages.join('|').toStdString();
}

}  // namespace
