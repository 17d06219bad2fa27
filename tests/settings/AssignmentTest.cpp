// Control assignments, the footswitch behaviour and the confirmations of the
// commands that change what the pedal stores, through the real windows.

#include <QComboBox>
#include <QRadioButton>

#include "effects/ControlAssignments.h"
#include "tests/settings/StoredSettingsSupport.h"

namespace {

struct AssignCase {
    const char* name;
    int tuning;
    std::array<int, AssignableControlCount> indices;  // CTRL I ... remote
    const char* message;
    std::uint32_t dominantValue;
    std::uint32_t highValue;
};

std::ostream& operator<<(std::ostream& os, const AssignCase& c) {
    return os << c.name;
}

class AssignMessage : public StoredSettingsFixture,
                      public ::testing::WithParamInterface<AssignCase> {};

TEST_P(AssignMessage, CarriesTheListsAndGoesOutAfterTheQuestion) {
    const AssignCase& c = GetParam();
    StartReady();
    formFXsettings->cmbGuitarTuning->setCurrentIndex(c.tuning);
    for (int control = 0; control < AssignableControlCount; ++control)
        formFXsettings->AssignmentList(control)->setCurrentIndex(
            c.indices[static_cast<std::size_t>(control)]);
    for (int control = 0; control < AssignableControlCount; ++control)
        EXPECT_EQ(ControlAssigned[static_cast<std::size_t>(control)],
                  c.indices[static_cast<std::size_t>(control)] != 0)
            << control;
    NewConsoleLines();

    Click(formMain->btnAssign);

    const sim::Bytes expected = HexBytes(c.message);
    EXPECT_EQ(Pedal().Messages(), std::vector<sim::Bytes>{expected});
    EXPECT_TRUE(std::equal(Pedal().Assignments().begin(), Pedal().Assignments().end(),
                           expected.begin() + 1));
    EXPECT_EQ(dialogs->questions, QStringList{"Upload Assignments?"});
    EXPECT_EQ(NewConsoleLines(),
              (QStringList{"lenght of assign message in bytes: 16",
                           "assign message: " + QString::fromLatin1(c.message).remove(' ')}));
    EXPECT_EQ(clock->sleepLog, std::vector<int>{100});
    EXPECT_TRUE(formMain->btnAssign->isEnabled());
    EXPECT_EQ(paramDominantNoteCut->value, c.dominantValue);
    EXPECT_EQ(paramHighNotesCut->value, c.highValue);
    EXPECT_TRUE(dialogs->messages.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Lists, AssignMessage,
    ::testing::Values(AssignCase{"NothingAssigned",
                                 0,
                                 {0, 0, 0, 0, 0},
                                 "04 00 00 00 00 00 FF FF FF FF FF FF FF FF FF FF",
                                 0,
                                 0},
                      AssignCase{"InputLevelAndRemoteBypass",
                                 0,
                                 {1, 0, 0, 0, 1},
                                 "04 01 00 00 00 01 00 0A FF FF FF FF FF FF FF FE",
                                 0,
                                 0},
                      // CTRL III takes its tracking function with the tuning times 256 ...
                      AssignCase{"DominantOnCtrlIIIWithTuning",
                                 1,
                                 {0, 0, 1, 0, 0},
                                 "04 00 00 01 00 00 FF FF FF FF 00 1B FF FF FF FF",
                                 0x100,
                                 0},
                      // ... CTRL IV leaves the value alone.
                      AssignCase{"DominantOnCtrlIV",
                                 1,
                                 {0, 0, 0, 1, 0},
                                 "04 00 00 00 01 00 FF FF FF FF FF FF 00 1B FF FF",
                                 0,
                                 0},
                      // Nothing stops two buttons holding one parameter.
                      AssignCase{"SameParameterTwiceAndRemotePreset",
                                 1,
                                 {3, 3, 2, 2, 2},
                                 "04 01 01 01 01 01 00 E7 00 E7 00 0C 00 0C FF FD",
                                 0,
                                 0x100},
                      AssignCase{"PitchOnCtrlII",
                                 0,
                                 {0, 2, 0, 0, 0},
                                 "04 00 01 00 00 00 FF FF 00 6E FF FF FF FF FF FF",
                                 0,
                                 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StoredSettingsFixture, TrackingFunctionOnAButtonNeedsATuning) {
    StartReady();
    const QString refusal =
        QStringLiteral("No tuning selected, Select a tuning before assigning this parameter");
    for (int control : {CtrlIII, CtrlIV}) {
        dialogs->messages.clear();
        formFXsettings->AssignmentList(control)->setCurrentIndex(2);  // "High Notes Cut"
        EXPECT_EQ(dialogs->messages, QStringList{refusal});
        EXPECT_EQ(formFXsettings->AssignmentList(control)->currentIndex(), 0);
        EXPECT_FALSE(ControlAssigned[static_cast<std::size_t>(control)]);
    }

    // With a tuning the same choice stands.
    formFXsettings->cmbGuitarTuning->setCurrentIndex(1);
    dialogs->messages.clear();
    formFXsettings->cmbAssignCtrlQUATTRO->setCurrentIndex(2);
    EXPECT_TRUE(dialogs->messages.isEmpty());
    EXPECT_TRUE(ControlAssigned[CtrlIV]);
    EXPECT_TRUE(Pedal().Messages().empty());
}

// CTRL III's tracking function takes the tuning as its value only with an
// assignment the pedal was sent: otherwise the model would hold a value the
// pedal never got, the box would untick and the next store would send it.
struct UnsentAssignment {
    const char* name;
    std::function<void(sim::VirtualPedalDriver&, platform::RecordingDialogs&)> arrange;
    const char* message;  // the one box shown, if any
};

std::ostream& operator<<(std::ostream& os, const UnsentAssignment& c) {
    return os << c.name;
}

class AssignmentNotSent : public StoredSettingsFixture,
                          public ::testing::WithParamInterface<UnsentAssignment> {};

TEST_P(AssignmentNotSent, LeavesTheTrackingValueAsThePedalHasIt) {
    const UnsentAssignment& c = GetParam();
    StartReady();
    formFXsettings->cmbGuitarTuning->setCurrentIndex(1);
    ClickOption(formFXsettings->chkDominantNoteCut);
    formFXsettings->cmbAssignCtrlTRE->setCurrentIndex(1);  // "Dominant Note Cut"
    ASSERT_EQ(Pedal().SlotValue(SlotDominantNoteCut), 1u);
    dialogs->messages.clear();
    const auto values = ModelValues();
    c.arrange(*driver, *dialogs);

    QTest::mouseClick(formMain->btnAssign, Qt::LeftButton);

    EXPECT_EQ(ModelValues(), values);
    EXPECT_EQ(ModelValues(), PedalValues());
    EXPECT_TRUE(formFXsettings->chkDominantNoteCut->isChecked());
    EXPECT_EQ(dialogs->messages.join('|'), QString::fromLatin1(c.message));
    EXPECT_NE(formMain->lblStatus->text(), "Assignments sent to the pedal");
}

INSTANTIATE_TEST_SUITE_P(
    Assign, AssignmentNotSent,
    ::testing::Values(UnsentAssignment{"AnsweredNo",
                                       [](sim::VirtualPedalDriver&, platform::RecordingDialogs& d) {
                                           d.answers.push_back(platform::Answer::No);
                                       },
                                       ""},
                      UnsentAssignment{"WriteRefused",
                                       [](sim::VirtualPedalDriver& d, platform::RecordingDialogs&) {
                                           d.FailNext("Write", ftd::FT_FAILED_TO_WRITE_DEVICE);
                                       },
                                       "FT_Write - Failed to write..."}),
    [](const auto& info) { return std::string(info.param.name); });

struct FootswitchCase {
    const char* name;
    bool shortBypass;
    bool longBypass;
    const char* message;
    std::uint8_t code;  // as the pedal reports it back
};

std::ostream& operator<<(std::ostream& os, const FootswitchCase& c) {
    return os << c.name;
}

class FootswitchMessage : public StoredSettingsFixture,
                          public ::testing::WithParamInterface<FootswitchCase> {};

TEST_P(FootswitchMessage, CodesRunOppositeWaysForTheTwoPresses) {
    const FootswitchCase& c = GetParam();
    StartReady();
    TformFXsettings& w = *formFXsettings;
    ClickOption(c.shortBypass ? w.chkBypassShortPress : w.chkChangePresetShortPress);
    ClickOption(c.longBypass ? w.chkBypassLongPress : w.chkChangePresetLongPress);

    Click(formMain->btnSetFootswitchMode);

    const QString hex = QString::fromLatin1(c.message).remove(' ');
    EXPECT_EQ(Pedal().Messages(), std::vector<sim::Bytes>{HexBytes(c.message)});
    EXPECT_EQ(Pedal().FootswitchMode(), c.code);
    EXPECT_EQ(NewConsoleLines(), (QStringList{"footswitch behaviour message: " + hex, hex}));
    // Sent without asking and without a pause.
    EXPECT_TRUE(dialogs->questions.isEmpty());
    EXPECT_TRUE(clock->sleepLog.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Presses, FootswitchMessage,
    ::testing::Values(FootswitchCase{"Defaults", true, false, "08 00 00", 0},
                      FootswitchCase{"BothBypass", true, true, "08 00 01", 1},
                      FootswitchCase{"BothChangePreset", false, false, "08 01 00", 2},
                      FootswitchCase{"ShortPresetLongBypass", false, true, "08 01 01", 3}),
    [](const auto& info) { return std::string(info.param.name); });

struct ConfirmedCommand {
    const char* name;
    QPushButton* TformMain::*button;
    const char* question;
};

std::ostream& operator<<(std::ostream& os, const ConfirmedCommand& c) {
    return os << c.name;
}

class AnsweringNo : public StoredSettingsFixture,
                    public ::testing::WithParamInterface<ConfirmedCommand> {};

TEST_P(AnsweringNo, SendsNothing) {
    const ConfirmedCommand& c = GetParam();
    StartReady();
    dialogs->answers.push_back(platform::Answer::No);
    Click(formMain->*c.button);
    EXPECT_EQ(dialogs->questions, QStringList{QString::fromLatin1(c.question)});
    EXPECT_TRUE(Pedal().Messages().empty());
    EXPECT_TRUE(clock->sleepLog.empty());

    // Any other answer goes ahead.
    dialogs->answers.push_back(platform::Answer::Cancel);
    Click(formMain->*c.button);
    EXPECT_EQ(Pedal().Messages().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Buttons, AnsweringNo,
    ::testing::Values(ConfirmedCommand{"Assign", &TformMain::btnAssign, "Upload Assignments?"},
                      ConfirmedCommand{"SaveParameters", &TformMain::btnSaveParameters,
                                       "Save Parameters to pedal?"},
                      ConfirmedCommand{"SetTuning", &TformMain::btnSetTuning, "Set new tuning?"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
