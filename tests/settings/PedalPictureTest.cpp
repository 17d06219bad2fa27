// What the editor shows and writes stays what the pedal holds: whole answers
// however the bridge cuts them, nothing applied from a failed one, one
// exchange at a time, the same picture whatever order the windows were
// opened in, and no drift from one store to the next.

#include <QLabel>
#include <QListWidget>
#include <QTimer>

#include "app/TformPrint.h"
#include "device/Communication.h"
#include "device/PedalLink.h"
#include "effects/EditHistory.h"
#include "effects/KnobText.h"
#include "effects/PedalModel.h"
#include "tests/settings/StoredSettingsSupport.h"

namespace {

constexpr std::uint16_t kInputLevelAddress = 0x000A;

std::uint32_t Word(const sim::Bytes& b, std::size_t at) {
    return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) |
           (std::uint32_t{b[at + 2]} << 8) | b[at + 3];
}

class PedalPicture : public StoredSettingsFixture {
protected:
    void SetUp() override {
        StoredSettingsFixture::SetUp();
        // A silent pedal need not keep a test waiting for seconds.
        PedalLink::TimeoutCapMs() = 300;
    }

    // Settings that differ from the editor's defaults in every slot.
    void GivePedalSettings(sim::VirtualPedal& pedal, std::uint32_t base) {
        for (std::size_t slot = 0; slot < 15; ++slot)
            pedal.SetSlotValue(slot, base + static_cast<std::uint32_t>(slot) * 0x2000);
        pedal.SetSlotValue(SlotDominantNoteCut, 1);
        pedal.SetSlotValue(SlotHighNotesCut, 0);
        pedal.SetSlotValue(SlotHarmonicPitch, PitchTable[3]);
        pedal.SetFootswitchMode(2);
        pedal.SetTuning(1);
    }

    // Every write after the request itself (index 0 is the 02 00).
    std::vector<sim::Bytes> WritesAfterRequest() {
        auto sent = Pedal().Messages();
        EXPECT_FALSE(sent.empty());
        if (!sent.empty()) {
            EXPECT_EQ(sent.front(), HexBytes("02 00"));
        }
        return sent.empty() ? sent : std::vector<sim::Bytes>(sent.begin() + 1, sent.end());
    }

    // Runs fn once the event loop turns, i.e. while the next click waits for
    // the pedal.
    static void During(int ms, std::function<void()> fn) {
        QTimer::singleShot(ms, formMain, [fn = std::move(fn)] { fn(); });
    }
};

// ---------------------------------------------------------------------------
// A Request against a pedal whose answer the bridge delivers badly.

struct RequestFault {
    const char* name;
    std::function<void(sim::VirtualPedal&)> arrange;
    // Empty: the answer arrives whole and is applied.
    QString message;
};

std::vector<std::size_t> Every(std::size_t step, std::size_t upTo) {
    std::vector<std::size_t> cuts;
    for (std::size_t at = step; at < upTo; at += step) cuts.push_back(at);
    return cuts;
}

std::vector<RequestFault> RequestFaults() {
    return {
        {"EightBytePieces30msApart",
         [](sim::VirtualPedal& p) {
             auto& f = p.NextReplyFault();
             f.splitAfter = Every(8, 330);
             f.splitGapMs = 30;
         },
         {}},
        {"OneBytePieces30msApart",
         [](sim::VirtualPedal& p) {
             auto& f = p.NextReplyFault();
             f.splitAfter = Every(1, 16);
             f.splitAfter.push_back(200);
             f.splitGapMs = 30;
         },
         {}},
        {"TailAfterTheWholeAnswer",
         [](sim::VirtualPedal& p) {
             p.GarbageAfterNextReply({'7', '\r', '\n', '9', '\r', '\n'});
         },
         {}},
        {"Silence", [](sim::VirtualPedal& p) { p.SwallowNextReply(); },
         QStringLiteral("The pedal did not answer.")},
        {"ThirtySevenValuesThenSilence",
         [](sim::VirtualPedal& p) {
             // The first 37 lines of the answer: up to the 37th LF.
             const auto info = p.DeviceInformation();
             std::size_t bytes = 0;
             for (std::size_t i = 0; i < 37; ++i) bytes += std::to_string(info[i]).size() + 2;
             p.TruncateNextReply(bytes);
         },
         QStringLiteral("The pedal's answer was incomplete: 37 of 81 values.")},
        {"GarbageThatNeverEnds",
         [](sim::VirtualPedal& p) { p.ReplaceNextReply(sim::Bytes(5000, 0x55)); },
         QStringLiteral(
             "The pedal's answer was longer than any answer to Request can be; it was not used.")},
    };
}

class RequestThroughFaults : public PedalPicture,
                             public ::testing::WithParamInterface<RequestFault> {};

TEST_P(RequestThroughFaults, AppliesWholeAnswersOnlyAndSendsNothingAfterAFailure) {
    const RequestFault& c = GetParam();
    StartReady();
    const auto before = ModelValues();
    GivePedalSettings(Pedal(), 0x00300000);
    Pedal().SetFirmwareVersion(0x21);
    c.arrange(Pedal());

    ClickRequest();

    if (c.message.isEmpty()) {
        EXPECT_TRUE(dialogs->messages.isEmpty()) << dialogs->messages.join("|").toStdString();
        EXPECT_EQ(ModelValues(), PedalValues());
        EXPECT_EQ(formMain->lblFirmwareVersion->text(), "Firmware Version: 21");
        EXPECT_EQ(formFXsettings->cmbVariableWavePitch->currentIndex(), 3);
        EXPECT_TRUE(formFXsettings->chkChangePresetShortPress->isChecked());
        // Every knob reads what the pedal holds.
        EXPECT_EQ(formFXsettings->dialInputLevel->valueText(),
                  KnobValueText(Pedal().SlotValue(SlotInputLevel), LevelKnob));
        EXPECT_EQ(formFXsettings->dialLowPass->exactText(),
                  KnobExactText(Pedal().SlotValue(SlotLowPass), LowPassKnob));
        // The read-back's writes carry exactly what the pedal holds.
        for (const sim::Bytes& w : WritesAfterRequest()) {
            ASSERT_EQ(w.size(), 7u);
            const auto address = static_cast<std::uint16_t>(w[1] * 256 + w[2]);
            for (std::size_t s = 0; s < 15; ++s)
                if (Pedal().SlotAddress(s) == address) {
                    EXPECT_EQ(Word(w, 3), Pedal().SlotValue(s));
                }
        }
        // Nothing of this answer is left for the next one.
        Pedal().ClearMessages();
        ClickRequest();
        EXPECT_TRUE(dialogs->messages.isEmpty());
        EXPECT_EQ(ModelValues(), PedalValues());
        EXPECT_EQ(WritesAfterRequest(), std::vector<sim::Bytes>{});
    } else {
        EXPECT_EQ(dialogs->messages, QStringList{c.message});
        EXPECT_EQ(ModelValues(), before);
        EXPECT_EQ(formMain->lblFirmwareVersion->text(), "Firmware Version: 03");
        EXPECT_EQ(WritesAfterRequest(), std::vector<sim::Bytes>{});
        // Still connected, and the next Request works.
        EXPECT_TRUE(formMain->btnRequest->isEnabled());
        EXPECT_TRUE(formMain->lblDeviceName->text().endsWith(" connected"));
        dialogs->messages.clear();
        ClickRequest();
        EXPECT_TRUE(dialogs->messages.isEmpty());
        EXPECT_EQ(ModelValues(), PedalValues());
    }
}

INSTANTIATE_TEST_SUITE_P(Answers, RequestThroughFaults, ::testing::ValuesIn(RequestFaults()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PedalPicture, UnplugMidAnswerLeavesAConnectableEditor) {
    StartReady();
    const auto before = ModelValues();
    GivePedalSettings(Pedal(), 0x00300000);
    auto& fault = Pedal().NextReplyFault();
    fault.splitAfter = Every(8, 330);
    fault.splitGapMs = 30;
    During(60, [this] { driver->Unplug(0); });

    ClickRequest();

    ASSERT_EQ(dialogs->messages.size(), 1);
    EXPECT_TRUE(dialogs->messages[0].startsWith("The pedal was disconnected ("));
    EXPECT_TRUE(dialogs->messages[0].contains("General IO error"));
    EXPECT_EQ(ModelValues(), before);
    EXPECT_FALSE(formMain->lblDeviceName->text().contains("connected"));
    for (QPushButton* b :
         {formMain->btnRequest, formMain->btnUpload, formMain->btnAssign,
          formMain->btnSaveParameters, formMain->btnSetFootswitchMode, formMain->btnSetTuning})
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
    EXPECT_FALSE(formFXsettings->dialInputLevel->isEnabled());
    EXPECT_TRUE(formMain->menuScan->isEnabled());
    EXPECT_TRUE(formMain->menuConnect->isEnabled());
    EXPECT_FALSE(formMain->menuDisconnect->isEnabled());
    EXPECT_FALSE(DeviceConnected);

    // Plugged in again: Scan, Connect and Request work in the same run.
    driver->PlugIn(0);
    dialogs->messages.clear();
    ConnectThroughMenu();
    ClickRequest();
    EXPECT_TRUE(dialogs->messages.isEmpty());
    EXPECT_EQ(ModelValues(), PedalValues());
}

// An answer the editor gave up on can still come, late: its rest must not be
// taken for the start of the next answer.
struct LateAnswer {
    const char* name;
    // What goes wrong with the answer the editor gives up on.
    std::function<void(sim::VirtualPedal&)> arrange;
    bool eepromRead;  // the answer given up on is an EEPROM read's, not a Request's
};

std::ostream& operator<<(std::ostream& os, const LateAnswer& c) {
    return os << c.name;
}

class LateRestOfAnAnswer : public PedalPicture, public ::testing::WithParamInterface<LateAnswer> {};

TEST_P(LateRestOfAnAnswer, IsNotReadAsTheNextRequestsAnswer) {
    const LateAnswer& c = GetParam();
    StartReady();
    GivePedalSettings(Pedal(), 0x00300000);
    c.arrange(Pedal());
    if (c.eepromRead) {
        formPrint->edtStartAddress->setText("0");
        formPrint->edtEndAddress->setText("2");
        QTest::mouseClick(formPrint->btnReadEEPROM, Qt::LeftButton);
    } else {
        ClickRequest();
    }
    ASSERT_EQ(dialogs->messages.size(), 1);
    const auto before = ModelValues();
    const auto held = PedalValues();
    dialogs->messages.clear();
    Pedal().ClearMessages();

    ClickRequest();

    EXPECT_TRUE(dialogs->messages.isEmpty()) << dialogs->messages.join("|").toStdString();
    EXPECT_EQ(ModelValues(), held);
    EXPECT_NE(ModelValues(), before);
    // Reading the settings left the pedal as it was.
    EXPECT_EQ(PedalValues(), held);
    EXPECT_EQ(formFXsettings->cmbVariableWavePitch->currentIndex(), 3);
}

INSTANTIATE_TEST_SUITE_P(
    GivenUp, LateRestOfAnAnswer,
    ::testing::Values(
        // Sixteen values, then a pause longer than the link waits, then the rest.
        LateAnswer{"RequestCutShort",
                   [](sim::VirtualPedal& p) {
                       auto& fault = p.NextReplyFault();
                       fault.splitAfter = {60};
                       fault.splitGapMs = 450;
                   },
                   false},
        // Answered after the editor stopped waiting.
        LateAnswer{"EepromReadAnsweredLate", [](sim::VirtualPedal& p) { p.DelayNextReply(400); },
                   true}),
    [](const auto& info) { return std::string(info.param.name); });

// A Disconnect does not stop the pedal: what it was still sending arrives
// after the next Connect, and must not be taken for the next answer.
struct DisconnectMidExchange {
    const char* name;
    enum When {
        // An earlier answer was given up on; the link waits for its rest.
        WhileWaitingForQuiet,
        // The answer comes in pieces, 30 ms apart.
        WhileTheAnswerComes,
        // The pedal is slow to begin its answer.
        BeforeTheAnswerBegins,
    } when;
};

std::ostream& operator<<(std::ostream& os, const DisconnectMidExchange& c) {
    return os << c.name;
}

class DisconnectDuringAnExchange : public PedalPicture,
                                   public ::testing::WithParamInterface<DisconnectMidExchange> {};

TEST_P(DisconnectDuringAnExchange, LeavesNothingOfTheOldAnswerForTheNextConnection) {
    StartReady();
    GivePedalSettings(Pedal(), 0x00300000);
    auto& fault = Pedal().NextReplyFault();
    switch (GetParam().when) {
        case DisconnectMidExchange::WhileWaitingForQuiet:
            // Sixteen values, then a pause longer than the link waits.
            fault.splitAfter = {60};
            fault.splitGapMs = 450;
            ClickRequest();
            ASSERT_EQ(dialogs->messages.size(), 1);
            break;
        case DisconnectMidExchange::WhileTheAnswerComes:
            fault.splitAfter = Every(40, 330);
            fault.splitGapMs = 30;
            break;
        case DisconnectMidExchange::BeforeTheAnswerBegins:
            fault.delayMs = 250;
            break;
    }
    During(40, [] { formMain->menuDisconnect->trigger(); });
    ClickRequest();
    ASSERT_FALSE(DeviceConnected);
    // What the player changes on the pedal itself before connecting again.
    GivePedalSettings(Pedal(), 0x00500000);
    Pedal().SetFootswitchMode(1);
    dialogs->messages.clear();

    ConnectThroughMenu();
    ClickRequest();

    EXPECT_TRUE(dialogs->messages.isEmpty()) << dialogs->messages.join("|").toStdString();
    EXPECT_EQ(ModelValues(), PedalValues());
    EXPECT_EQ(Model().FootswitchCode(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, DisconnectDuringAnExchange,
    ::testing::Values(
        DisconnectMidExchange{"WhileWaitingForQuiet", DisconnectMidExchange::WhileWaitingForQuiet},
        DisconnectMidExchange{"WhileTheAnswerComes", DisconnectMidExchange::WhileTheAnswerComes},
        DisconnectMidExchange{"BeforeTheAnswerBegins",
                              DisconnectMidExchange::BeforeTheAnswerBegins}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PedalPicture, PlainDisconnectAlsoDisablesSetTuning) {
    StartReady();
    ASSERT_TRUE(formMain->btnSetTuning->isEnabled());
    formMain->menuDisconnect->trigger();
    EXPECT_FALSE(formMain->btnSetTuning->isEnabled());
    EXPECT_TRUE(dialogs->messages.isEmpty());
}

// ---------------------------------------------------------------------------
// One exchange at a time.

TEST_F(PedalPicture, RequestDuringAnEepromReadIsRefusedWithAStatusLine) {
    StartReady();
    formPrint->edtStartAddress->setText("0");
    formPrint->edtEndAddress->setText("3");
    Pedal().Eeprom()[2] = 0x42;
    Pedal().DelayNextReply(150);
    During(40, [this] { ClickRequest(); });

    QTest::mouseClick(formPrint->btnReadEEPROM, Qt::LeftButton);

    EXPECT_TRUE(dialogs->messages.isEmpty());
    EXPECT_TRUE(
        formMain->lblStatus->text().startsWith("Waiting for the pedal's answer to the "
                                               "EEPROM read"));
    EXPECT_EQ(ReplyValues, (std::vector<std::uint8_t>{0xFF, 0xFF, 0x42, 0xFF}));
    // Only the read went out.
    EXPECT_EQ(Pedal().Messages(), std::vector<sim::Bytes>{HexBytes("0C 0000 0003")});
}

TEST_F(PedalPicture, EepromReadAndUploadDuringARequestAreRefused) {
    StartReady();
    GivePedalSettings(Pedal(), 0x00200000);
    Pedal().DelayNextReply(150);
    formPrint->edtStartAddress->setText("0");
    formPrint->edtEndAddress->setText("3");
    During(40, [] { QTest::mouseClick(formPrint->btnReadEEPROM, Qt::LeftButton); });
    During(60, [] { QTest::mouseClick(formMain->btnUpload, Qt::LeftButton); });

    ClickRequest();

    EXPECT_TRUE(dialogs->messages.isEmpty());
    EXPECT_TRUE(dialogs->questions.isEmpty());
    EXPECT_EQ(ModelValues(), PedalValues());
    EXPECT_EQ(Pedal().Messages().front(), HexBytes("02 00"));
    for (const sim::Bytes& m : Pedal().Messages()) EXPECT_NE(m.front(), 0x0C);
    for (const sim::Bytes& m : Pedal().Messages()) EXPECT_NE(m.front(), 0x0D);
}

// A command that asks before it changes what the pedal stores is refused
// before the question while another exchange waits: a Yes must not end in
// nothing sent.
class AskingCommandDuringARequest
    : public PedalPicture,
      public ::testing::WithParamInterface<QPushButton * TformMain::*> {};

TEST_P(AskingCommandDuringARequest, IsRefusedBeforeItAsks) {
    StartReady();
    GivePedalSettings(Pedal(), 0x00200000);
    Pedal().DelayNextReply(150);
    QPushButton* button = formMain->*GetParam();
    During(40, [button] { QTest::mouseClick(button, Qt::LeftButton); });

    ClickRequest();

    EXPECT_TRUE(dialogs->questions.isEmpty()) << dialogs->questions.join("|").toStdString();
    EXPECT_TRUE(dialogs->messages.isEmpty());
    EXPECT_EQ(formMain->lblStatus->text(),
              "Waiting for the pedal's answer to Request; try again in a moment.");
    // The request and the read-back's live writes, nothing stored.
    for (const sim::Bytes& m : WritesAfterRequest()) EXPECT_EQ(m.front(), 0x01);
    EXPECT_EQ(ModelValues(), PedalValues());
}

std::string AskingCommandName(const ::testing::TestParamInfo<QPushButton * TformMain::*>& info) {
    const char* const names[] = {"SaveParameters", "Assign", "SetTuning"};
    return names[info.index];
}

INSTANTIATE_TEST_SUITE_P(Buttons, AskingCommandDuringARequest,
                         ::testing::Values(&TformMain::btnSaveParameters, &TformMain::btnAssign,
                                           &TformMain::btnSetTuning),
                         AskingCommandName);

TEST_F(PedalPicture, ADialTurnedDuringARequestGoesOutWhenTheAnswerIsIn) {
    StartReady();
    Pedal().DelayNextReply(150);
    QuendleDial* clip = formFXsettings->dialClipWave;
    During(40, [clip] {
        clip->setFocus();
        QTest::keyClick(clip, Qt::Key_Right);
        QTest::keyClick(clip, Qt::Key_Right);
    });

    ClickRequest();

    const auto sent = Pedal().Messages();
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent.front(), HexBytes("02 00"));
    // The latest value of the turn, once, after the answer.
    const sim::Bytes last = sent.back();
    ASSERT_EQ(last.size(), 7u);
    EXPECT_EQ(last[0], 0x01);
    EXPECT_EQ(Word(last, 3), Model().Value(SlotWaveClip));
    EXPECT_EQ(Pedal().SlotValue(SlotWaveClip), Model().Value(SlotWaveClip));
    EXPECT_EQ(std::count_if(sent.begin(), sent.end(),
                            [&](const sim::Bytes& m) {
                                return m.size() == 7 && m[2] == last[2] && m[1] == last[1];
                            }),
              1);
}

TEST_F(PedalPicture, AKnobTurnThePedalDidNotTakeGoesBack) {
    StartReady();
    QuendleDial* clip = formFXsettings->dialClipWave;
    const int angle = clip->angle();
    driver->FailNext("Write", ftd::FT_FAILED_TO_WRITE_DEVICE);

    clip->setFocus();
    QTest::keyClick(clip, Qt::Key_Right);

    EXPECT_EQ(dialogs->messages, QStringList{"FT_Write - Failed to write..."});
    EXPECT_EQ(ModelValues(), PedalValues());
    EXPECT_EQ(clip->angle(), angle);
    EXPECT_FALSE(EditHistory::Instance().UndoAction()->isEnabled());
    // The next turn goes out as usual.
    QTest::keyClick(clip, Qt::Key_Right);
    EXPECT_NE(clip->angle(), angle);
    EXPECT_EQ(ModelValues(), PedalValues());
}

// ---------------------------------------------------------------------------
// The same picture whatever the order, and no drift.

class RequestOrder : public PedalPicture, public ::testing::WithParamInterface<bool> {};

TEST_P(RequestOrder, GivesTheSameWindowAndTheSameAssignMessage) {
    const bool windowFirst = GetParam();
    sim::VirtualPedal& pedal = AddPedal();
    pedal.SetAssignments(AssignmentBytes(
        {kInputLevelAddress, std::nullopt, std::nullopt, std::nullopt, RemotePresetCode}));
    StartEditor();
    ConnectThroughMenu();
    if (windowFirst) ClickAlgorithm(0);
    ClickRequest();
    if (!windowFirst) ClickAlgorithm(0);

    EXPECT_EQ(formFXsettings->cmbAssignCtrlUNO->currentText(), "Input Level");
    EXPECT_EQ(formFXsettings->cmbAssignRemote->currentText(), "Preset");
    EXPECT_TRUE(paramInputLevel->is_assigned);

    // The assigned dial is locked to its button and stays where the pedal has it.
    EXPECT_EQ(formFXsettings->dialInputLevel->lockedText(), "CTRL I");
    const int angle = formFXsettings->dialInputLevel->angle();
    const std::uint32_t value = Model().Value(SlotInputLevel);
    formFXsettings->dialInputLevel->setFocus();
    pedal.ClearMessages();
    QTest::keyClick(formFXsettings->dialInputLevel, Qt::Key_Right);
    EXPECT_TRUE(dialogs->messages.isEmpty());
    EXPECT_EQ(formFXsettings->dialInputLevel->angle(), angle);
    EXPECT_EQ(Model().Value(SlotInputLevel), value);
    EXPECT_TRUE(pedal.Messages().empty());

    QTest::mouseClick(formMain->btnAssign, Qt::LeftButton);
    ASSERT_EQ(pedal.Messages().size(), 1u);
    EXPECT_EQ(pedal.Messages()[0], HexBytes("04 01 00 00 00 01 000A FFFF FFFF FFFF FFFD"));
}

INSTANTIATE_TEST_SUITE_P(WindowFirstOrNot, RequestOrder, ::testing::Bool());

TEST_F(PedalPicture, RequestThenSaveSendsThePedalsValuesEveryTime) {
    StartReady();
    // Values no whole-degree dial angle gives.
    Pedal().SetSlotValue(SlotInputLevel, 0x003FC000 + 0x123);
    Pedal().SetSlotValue(SlotWaveClip, 0x00012345);
    Pedal().SetSlotValue(SlotHarmonicPitch, PitchTable[20]);
    for (int cycle = 0; cycle < 3; ++cycle) {
        Pedal().ClearMessages();
        ClickRequest();
        Click(formMain->btnSaveParameters);
        const auto sent = Pedal().Messages();
        ASSERT_FALSE(sent.empty());
        EXPECT_EQ(sent.back(), HexBytes("03 003FC123 006AAAA8 00012345 00000000 00000000"))
            << "cycle " << cycle;
        EXPECT_EQ(Pedal().SlotValue(SlotInputLevel), 0x003FC123u);
    }
}

TEST_F(PedalPicture, SendingSettingsSaysSoInTheStatusLine) {
    StartReady();
    const std::pair<QPushButton*, QString> buttons[] = {
        {formMain->btnSaveParameters, "Settings stored on the pedal"},
        {formMain->btnAssign, "Assignments sent to the pedal"},
        {formMain->btnSetFootswitchMode, "Footswitch behaviour sent to the pedal"},
        {formMain->btnSetTuning, "Tuning sent to the pedal"}};
    for (const auto& [button, status] : buttons) {
        formMain->lblStatus->setText(QString());
        Click(button);
        EXPECT_EQ(formMain->lblStatus->text(), status);
    }
    EXPECT_EQ(Pedal().Messages().size(), 4u);
}

TEST_F(PedalPicture, ReadingTheSettingsNeverChangesThePedal) {
    StartReady();
    // A stored tracking value with no tuning: the editor would ask for a
    // tuning if the user ticked the box, but the read-back only shows it.
    Pedal().SetTuning(0);
    Pedal().SetSlotValue(SlotDominantNoteCut, 1);
    Pedal().SetSlotValue(SlotInputLevel, 0x00400000);
    const auto stored = PedalValues();

    ClickRequest();

    EXPECT_TRUE(dialogs->messages.isEmpty());
    EXPECT_EQ(PedalValues(), stored);
    EXPECT_TRUE(formFXsettings->chkDominantNoteCut->isChecked());
    EXPECT_EQ(formFXsettings->dialInputLevel->angle(), 89);
}

}  // namespace
