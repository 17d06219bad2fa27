// The upgrade as the user runs it: the Firmware Upgrade menu, the window,
// and the whole sequence against a scripted bootloader, including every way
// the bootloader can let it down.

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "app/TformMain.h"
#include "device/Communication.h"
#include "device/D2XXUnit.h"
#include "effects/QuendleDial.h"
#include "effects/TformFXsettings.h"
#include "firmware/Bootloader.h"
#include "firmware/TformFirmwareUpgrade.h"
#include "platform/Resources.h"
#include "tests/firmware/FirmwareFixture.h"

namespace {

using Step = ScriptedBootloaderDriver::Step;
using Answer = ScriptedBootloaderDriver::Answer;
using Upgrade = FirmwareFixture;

const QString kRetry = QStringLiteral(
    " Nothing more was sent; the pedal stays in its bootloader, so the upgrade can be started "
    "again.");
constexpr std::size_t kVersionRecordOffset = 0x1FC00;

QPushButton* UpgradeButton() {
    return formFirmwareUpgrade->findChild<QPushButton*>(QStringLiteral("btnUpgradeFirmware"));
}
QProgressBar* Bar() {
    return formFirmwareUpgrade->findChild<QProgressBar*>(QStringLiteral("ProgressBar1"));
}

sim::Bytes FlashAt(const ScriptedBootloaderDriver& boot, std::size_t offset, std::size_t size) {
    return sim::Bytes(boot.Flash().begin() + static_cast<std::ptrdiff_t>(offset),
                      boot.Flash().begin() + static_cast<std::ptrdiff_t>(offset + size));
}

const sim::Bytes kVersion4Record = {0, 0, 0, 0, 0, 0, 0, 4};

// The main window and the upgrade window as the bootloader connection left
// them: ready for (another) upgrade.
void ExpectReadyForRetry() {
    EXPECT_TRUE(FirmwareUpgradeMode);
    EXPECT_TRUE(formMain->menuFirmwareUpgradeMode->isChecked());
    EXPECT_TRUE(formMain->menuFirmwareUpgradeMode->isEnabled());
    EXPECT_TRUE(UpgradeButton()->isEnabled());
    EXPECT_TRUE(formFirmwareUpgrade->cmbFirmwareChoose->isEnabled());
    EXPECT_FALSE(formFirmwareUpgrade->lblDoNotUnplug->isVisibleTo(formFirmwareUpgrade));
    EXPECT_TRUE(formFirmwareUpgrade->isVisible());
    EXPECT_FALSE(formMain->btnRequest->isEnabled());
    EXPECT_FALSE(formMain->btnUpload->isEnabled());
    EXPECT_TRUE(formMain->menuDisconnect->isEnabled());
    EXPECT_FALSE(formMain->menuConnect->isEnabled());
}

// The Upgrade Firmware button, the image list, Upgrade Mode and the whole
// Connection menu are locked, and the window warns against unplugging.
void ExpectLockedWhileRunning() {
    EXPECT_FALSE(UpgradeButton()->isEnabled());
    EXPECT_FALSE(formFirmwareUpgrade->cmbFirmwareChoose->isEnabled());
    EXPECT_TRUE(formFirmwareUpgrade->lblDoNotUnplug->isVisible());
    EXPECT_EQ(formFirmwareUpgrade->lblDoNotUnplug->text(),
              "Do not unplug the pedal until the upgrade has finished.");
    for (QAction* action : {formMain->menuScan, formMain->menuConnect, formMain->menuDisconnect,
                            formMain->menuFirmwareUpgradeMode})
        EXPECT_FALSE(action->isEnabled()) << action->text().toStdString();
}

TEST_F(Upgrade, WindowOffersFirmware4WithNothingChosen) {
    StartEditor();
    EXPECT_FALSE(formFirmwareUpgrade->isVisible());
    EXPECT_EQ(formFirmwareUpgrade->windowTitle(), "Firmware Upgrade");
    EXPECT_EQ(formFirmwareUpgrade->minimumSize(), QSize(196, 141));
    EXPECT_EQ(formFirmwareUpgrade->maximumSize(), QSize(196, 141));
    auto* combo = formFirmwareUpgrade->findChild<QComboBox*>(QStringLiteral("cmbFirmwareChoose"));
    ASSERT_NE(combo, nullptr);
    ASSERT_EQ(combo->count(), 1);
    EXPECT_EQ(combo->itemText(0), "Firmware_4");
    EXPECT_EQ(combo->itemData(0).toString(), "itmFirmware4");
    EXPECT_EQ(combo->currentIndex(), -1);
    ASSERT_NE(UpgradeButton(), nullptr);
    EXPECT_EQ(UpgradeButton()->text(), "Upgrade Firmware");
    EXPECT_TRUE(UpgradeButton()->isEnabled());
    ASSERT_NE(Bar(), nullptr);
    EXPECT_EQ(Bar()->value(), Bar()->minimum());
    EXPECT_EQ(Bar()->orientation(), Qt::Horizontal);
}

TEST_F(Upgrade, ChoosingFirmware4LogsItsVersionAndName) {
    StartEditor();
    NewConsoleLines();
    Choose("Firmware_4");
    EXPECT_EQ(NewConsoleLines(), (QStringList{"Firmware Version: 4", "Firmware_4"}));
    EXPECT_EQ(FirmwareResourceName, "Firmware_4");
    EXPECT_EQ(FirmwareVersionNumber, 4);
}

TEST_F(Upgrade, UpgradeModeMarkAndFlagChangeTogether) {
    StartEditor();
    EXPECT_FALSE(FirmwareUpgradeMode);
    for (bool expected : {true, false, true, false}) {
        formMain->menuFirmwareUpgradeMode->trigger();
        EXPECT_EQ(FirmwareUpgradeMode, expected);
        EXPECT_EQ(formMain->menuFirmwareUpgradeMode->isChecked(), expected);
    }
    // The hidden check box sets the flag; the menu's mark follows it.
    for (bool expected : {true, false}) {
        formMain->chkFirmwareUpgradeMode->setChecked(expected);
        EXPECT_EQ(FirmwareUpgradeMode, expected);
        EXPECT_EQ(formMain->menuFirmwareUpgradeMode->isChecked(), expected);
    }
}

TEST_F(Upgrade, StartFirmwareUpgradeOpensTheWindowWithoutBlockingTheMainWindow) {
    StartEditor();
    formMain->menuStartFirmwareUpgrade->setEnabled(true);
    formMain->menuStartFirmwareUpgrade->trigger();
    EXPECT_TRUE(formFirmwareUpgrade->isVisible());
    EXPECT_EQ(formFirmwareUpgrade->windowModality(), Qt::NonModal);
    EXPECT_TRUE(formMain->isEnabled());
}

// A three-byte image shows the whole exchange at once: every byte in a write
// of its own, every pause, the unpaced read-back, Go and only then the
// completion message, every log line.
TEST_F(Upgrade, TinyImageRunsTheWholeSequenceInOrder) {
    platform::RegisterResource("FIRMWARE_4", QByteArray::fromHex("A1B2C3"));
    StartInBootloader();
    Choose("Firmware_4");
    RecordTimeline();
    CaptureConsole();
    ClickUpgrade();

    EXPECT_EQ(Timeline(),
              // erase
              "s1 43 s1 BC s20 s1 FF s1 00 s20 "
              // the block
              "31 s1 CE s1 s20 08 s1 00 s1 00 s1 00 s1 08 s1 s20 02 s1 A1 b B2 b C3 b D2 s1 "
              // the version record
              "31 s1 CE s1 s20 08 s1 01 s1 FC s1 00 s1 F5 s1 s20 "
              "07 s1 00 s1 00 s1 00 s1 00 s1 00 s1 00 s1 00 s1 04 s1 03 s1 s20 "
              // the read-back of the block and of the record
              "11 EE 08 00 00 00 08 02 FD "
              "11 EE 08 01 FC 00 F5 07 F8 "
              // Go, and the completion message once it was acknowledged
              "s2000 21 s1 DE s1 s100 08 s1 00 s1 00 s1 00 s1 08 s1 s100 MSG");
    const QStringList ack = {"P num of bytes received: 1", "A received: 79", "A ACK"};
    QStringList expected = {"P Firmware num of bytes: 3",
                            "P num of chunks: 0",
                            "P num of bytes last chunk: 3",
                            "P num of bytes last chunk: 3",
                            "A chunk from string 0: ",
                            "A A1B2C3",
                            "P chunk 0 size: 3",
                            "A ",
                            "A ",
                            "A Start Erase Command"};
    expected << ack << ack << "A Start Write Command"
             << "A "
             << "P SEND WRITE COMMAND" << ack << "P SEND ADDRESS + CHECKSUM"
             << "P Address: 08000000"
             << "P address checksum: 08" << ack << "P SEND N BYTE + DATA + CHECKSUM"
             << "P N_byte: 02"
             << "P chunk size: 3"
             << "P data checksum: D2" << ack << "P "
             << "P SEND WRITE COMMAND" << ack << "P SEND ADDRESS + CHECKSUM"
             << "P Address: 0801FC00"
             << "P address checksum: F5" << ack << ack
             << "P verified block 0 at 08000000: 3 bytes match"
             << "P verified the version record at 0801FC00: 8 bytes match"
             << "P read-back verified: 3 bytes of firmware in 1 block and the version record "
                "match what was written"
             << "P "
             << "P SEND GO COMMAND" << ack << "P SEND ADDRESS + CHECKSUM"
             << "P Address: 08000000"
             << "P address checksum: 08" << ack;
    EXPECT_EQ(captured, expected);
    EXPECT_EQ(dialogs->messages, QStringList{kComplete});
    EXPECT_EQ(FlashAt(*boot, 0, 4), (sim::Bytes{0xA1, 0xB2, 0xC3, 0xFF}));
    EXPECT_EQ(FlashAt(*boot, kVersionRecordOffset, 8), kVersion4Record);
    EXPECT_EQ(boot->Started(), 0x08000000u);
}

TEST_F(Upgrade, ShippedSizeImageIsWrittenWholeAndTheEditorLeavesUpgradeMode) {
    // The image the editor carries.
    const QByteArray image = platform::ReadResource("FIRMWARE_4");
    ASSERT_EQ(image.size(), 53704);
    StartInBootloader();
    Choose("Firmware_4");
    // What the bar says, and what a screen reader reads from it, at chosen
    // moments of the upgrade; the window is locked at each of them.
    QStringList shown;
    auto look = [&](Step step, int occurrence) {
        boot->OnStep(step, occurrence, [&] {
            QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(Bar());
            ASSERT_NE(bar, nullptr);
            ASSERT_NE(bar->valueInterface(), nullptr);
            EXPECT_EQ(bar->valueInterface()->currentValue().toInt(), Bar()->value());
            EXPECT_EQ(bar->valueInterface()->maximumValue().toInt(), Bar()->maximum());
            EXPECT_EQ(bar->text(QAccessible::Value), QString::number(Bar()->value()));
            EXPECT_EQ(bar->text(QAccessible::Description), Bar()->text());
            EXPECT_EQ(bar->text(QAccessible::Name), "Upgrade progress");
            shown << Bar()->text();
            ExpectLockedWhileRunning();
        });
    };
    look(Step::EraseCommand, 0);
    look(Step::WriteData, 0);
    look(Step::WriteData, 57);
    look(Step::WriteData, 209);
    look(Step::WriteData, 210);
    look(Step::ReadCount, 3);
    look(Step::ReadCount, 210);
    look(Step::GoCommand, 0);
    // The completion box comes once Go was acknowledged and the editor has
    // left Upgrade Mode.
    bool goAcknowledged = false;
    boot->OnStep(Step::GoAddress, 0, [&] { goAcknowledged = true; });
    dialogs->onMessage = [&](const QString&) {
        EXPECT_TRUE(goAcknowledged);
        EXPECT_FALSE(FirmwareUpgradeMode);
        EXPECT_FALSE(formFirmwareUpgrade->isVisible());
    };
    NewConsoleLines();
    ClickUpgrade();
    EXPECT_EQ(
        shown,
        (QStringList{"Erasing\u2026", "Writing block 0 of 210 \u2014 0%",
                     "Writing block 57 of 210 \u2014 27%", "Writing block 209 of 210 \u2014 99%",
                     "Writing the version record", "Verifying block 3 of 210 \u2014 1%",
                     "Verifying the version record", "Starting the pedal"}));

    const QStringList lines = NewConsoleLines();
    EXPECT_EQ(lines.mid(0, 3), (QStringList{"Firmware num of bytes: 53704", "num of chunks: 209",
                                            "num of bytes last chunk: 200"}));
    // The last block: 200 bytes at 0800D100.
    const auto last = lines.indexOf("Address: 0800D100");
    ASSERT_GE(last, 0);
    EXPECT_EQ(lines.mid(last, 6),
              (QStringList{"Address: 0800D100", "address checksum: D9", "num of bytes received: 1",
                           "received: 79", "ACK", "SEND N BYTE + DATA + CHECKSUM"}));
    EXPECT_EQ(lines.mid(last + 6, 2), (QStringList{"N_byte: C7", "chunk size: 200"}));
    EXPECT_EQ(boot->Count(Step::WriteData), 211);  // 210 blocks and the version record
    EXPECT_EQ(boot->Count(Step::ReadCount), 211);  // and each read back
    EXPECT_EQ(lines.filter(QRegularExpression("^verified block \\d+ at")).size(), 210);
    EXPECT_TRUE(
        lines.contains("read-back verified: 53704 bytes of firmware in 210 blocks and the "
                       "version record match what was written"));

    // The bar counts blocks and stops one short of its maximum.
    EXPECT_EQ(Bar()->maximum(), 210);
    EXPECT_EQ(Bar()->value(), 209);

    EXPECT_EQ(FlashAt(*boot, 0, 53704), ToBytes(image));
    EXPECT_EQ(FlashAt(*boot, 53704, 16), sim::Bytes(16, 0xFF));
    EXPECT_EQ(FlashAt(*boot, kVersionRecordOffset, 8), kVersion4Record);
    EXPECT_EQ(boot->Started(), 0x08000000u);
    EXPECT_EQ(dialogs->messages, QStringList{kComplete});
    // A real serial link and the generated stand-in: the user was asked first.
    EXPECT_EQ(dialogs->questions.size(), 1);

    EXPECT_FALSE(formFirmwareUpgrade->isVisible());
    EXPECT_FALSE(formMain->menuFirmwareUpgradeMode->isChecked());
    EXPECT_TRUE(formMain->menuFirmwareUpgradeMode->isEnabled());
    EXPECT_TRUE(formMain->menuDisconnect->isEnabled());
    EXPECT_FALSE(FirmwareUpgradeMode);
    EXPECT_TRUE(formMain->btnRequest->isEnabled());
    EXPECT_TRUE(formMain->btnUpload->isEnabled());
    // The window opens again, but the upgrade cannot run a second time.
    formMain->menuStartFirmwareUpgrade->trigger();
    EXPECT_TRUE(formFirmwareUpgrade->isVisible());
    EXPECT_FALSE(UpgradeButton()->isEnabled());
}

struct FailureCase {
    const char* name;
    Step step;
    int occurrence;
    Answer answer;
    QString message;
    bool recordWritten;  // the failure came after the version record was written
};
void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class UpgradeFailure : public Upgrade, public ::testing::WithParamInterface<FailureCase> {};

// Whatever goes wrong, the upgrade stops right there: a message names the
// step, nothing more goes out, no version record, no Go, and everything is
// left as it was so the user can try again.
TEST_P(UpgradeFailure, StopsAtTheFailedStepAndStaysReadyForRetry) {
    const FailureCase& c = GetParam();
    BootloaderReplyTimeoutMs = 50;
    BootloaderEraseTimeoutMs = 50;
    StartInBootloader();
    Choose("Firmware_4");
    boot->Script(c.step, c.occurrence, c.answer);
    // By the time the user reads why, the locks are off again.
    dialogs->onMessage = [](const QString&) { ExpectReadyForRetry(); };
    ClickUpgrade();

    EXPECT_EQ(dialogs->messages,
              QStringList{QStringLiteral("Firmware upgrade stopped: ") + c.message + kRetry});
    // Nothing was written after the bytes of the step that failed.
    EXPECT_EQ(boot->Steps().back(), c.step);
    EXPECT_EQ(boot->Count(c.step), c.occurrence + 1);
    EXPECT_EQ(boot->Writes().size(), boot->WritesAtLastStep());
    EXPECT_FALSE(boot->Started());
    EXPECT_EQ(FlashAt(*boot, kVersionRecordOffset, 8) == kVersion4Record, c.recordWritten);
    EXPECT_EQ(Bar()->text(), "Upgrade stopped");
    ExpectReadyForRetry();
}

INSTANTIATE_TEST_SUITE_P(
    Steps, UpgradeFailure,
    ::testing::Values(
        FailureCase{"NackAtBlock100",
                    Step::WriteData,
                    100,
                    {Answer::Nack},
                    "the bootloader refused the data of block 100 at address 08006400 (NOT ACK).",
                    false},
        FailureCase{"SilentAtGlobalErase",
                    Step::GlobalErase,
                    0,
                    {Answer::Silent},
                    "no answer from the bootloader to the global erase.",
                    false},
        FailureCase{"NackAtEraseCommand",
                    Step::EraseCommand,
                    0,
                    {Answer::Nack},
                    "the bootloader refused the Erase command (NOT ACK).",
                    false},
        FailureCase{"WrongByteAtAddressOfBlock7",
                    Step::WriteAddress,
                    7,
                    {Answer::Byte, 0x00},
                    "the bootloader answered 00 instead of ACK to the address frame for block 7 "
                    "at address 08000700.",
                    false},
        FailureCase{"WrongByteAtWriteCommandOfBlock0",
                    Step::WriteCommand,
                    0,
                    {Answer::Byte, 0x7F},
                    "the bootloader answered 7F instead of ACK to the Write Memory command for "
                    "block 0 at address 08000000.",
                    false},
        FailureCase{"SilentAtTheVersionRecord",
                    Step::WriteData,
                    210,
                    {Answer::Silent},
                    "no answer from the bootloader to the version record at address 0801FC00.",
                    false},
        // The read-back: a refusal, a silence or a garbage answer at any of
        // its stages stops before Go.
        FailureCase{"NackAtTheReadCommandOfBlock5",
                    Step::ReadCommand,
                    5,
                    {Answer::Nack},
                    "the bootloader refused the Read Memory command for block 5 at address "
                    "08000500 (NOT ACK).",
                    true},
        FailureCase{"SilentAtTheReadAddressOfBlock0",
                    Step::ReadAddress,
                    0,
                    {Answer::Silent},
                    "no answer from the bootloader to the read address frame for block 0 at "
                    "address 08000000.",
                    true},
        FailureCase{"NackAtTheReadOfTheVersionRecord",
                    Step::ReadCount,
                    210,
                    {Answer::Nack},
                    "the bootloader refused the read of the version record at address 0801FC00 "
                    "(NOT ACK).",
                    true},
        FailureCase{"WrongByteAtTheReadOfBlock209",
                    Step::ReadCount,
                    209,
                    {Answer::Byte, 0x00},
                    "the bootloader answered 00 instead of ACK to the read of block 209 at "
                    "address 0800D100.",
                    true}),
    [](const auto& info) { return std::string(info.param.name); });

struct GoFailureCase {
    const char* name;
    Step step;
    Answer answer;
    QString reason;
};
void PrintTo(const GoFailureCase& c, std::ostream* os) {
    *os << c.name;
}

class GoFailure : public Upgrade, public ::testing::WithParamInterface<GoFailureCase> {};

// A Go that is not acknowledged comes after the read-back proved the flash:
// no completion box, but a message that the firmware is in place and the
// pedal needs switching off and on; the editor leaves Upgrade Mode.
TEST_P(GoFailure, SaysTheFirmwareIsWrittenButThePedalDidNotRestart) {
    const GoFailureCase& c = GetParam();
    BootloaderReplyTimeoutMs = 50;
    platform::RegisterResource("FIRMWARE_4", TestImage(600));
    StartInBootloader();
    Choose("Firmware_4");
    boot->Script(c.step, 0, c.answer);
    ClickUpgrade();
    EXPECT_EQ(dialogs->messages,
              QStringList{"The new firmware was written and verified, but the pedal did not "
                          "restart: " +
                          c.reason +
                          ". Switch the pedal off and on again to start the new firmware, then use "
                          "Disconnect and Connect."});
    EXPECT_EQ(boot->Steps().back(), c.step);
    EXPECT_EQ(boot->Writes().size(), boot->WritesAtLastStep());
    EXPECT_EQ(FlashAt(*boot, kVersionRecordOffset, 8), kVersion4Record);
    EXPECT_FALSE(FirmwareUpgradeMode);
    EXPECT_FALSE(formFirmwareUpgrade->isVisible());
    EXPECT_FALSE(UpgradeButton()->isEnabled());
    // The pedal may still be in its bootloader: nothing for the effect goes
    // there until the next Connect.
    EXPECT_FALSE(formMain->btnRequest->isEnabled());
    EXPECT_FALSE(formMain->btnUpload->isEnabled());
    EXPECT_TRUE(formMain->menuDisconnect->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Steps, GoFailure,
    ::testing::Values(GoFailureCase{"NackAtTheGoCommand",
                                    Step::GoCommand,
                                    {Answer::Nack},
                                    "the bootloader refused the Go command (NOT ACK)"},
                      GoFailureCase{"SilentAtTheGoAddress",
                                    Step::GoAddress,
                                    {Answer::Silent},
                                    "no answer from the bootloader to the Go address 08000000"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Upgrade, RetryAfterARefusedBlockCompletesTheUpgrade) {
    const QByteArray image = platform::ReadResource("FIRMWARE_4");
    StartInBootloader();
    Choose("Firmware_4");
    boot->Script(Step::WriteData, 100, {Answer::Nack});
    ClickUpgrade();
    ASSERT_EQ(dialogs->messages.size(), 1);
    ExpectReadyForRetry();

    boot->ClearScript();
    dialogs->messages.clear();
    ClickUpgrade();
    EXPECT_EQ(dialogs->messages, QStringList{kComplete});
    EXPECT_EQ(FlashAt(*boot, 0, 53704), ToBytes(image));
    EXPECT_EQ(FlashAt(*boot, kVersionRecordOffset, 8), kVersion4Record);
    EXPECT_EQ(boot->Started(), 0x08000000u);
    EXPECT_FALSE(FirmwareUpgradeMode);
}

TEST_F(Upgrade, AByteTheDriverRefusesStopsTheUpgradeThere) {
    platform::RegisterResource("FIRMWARE_4", TestImage(2000));
    StartInBootloader();
    Choose("Firmware_4");
    // The tenth data byte of block 5.
    std::size_t failing = 0;
    boot->OnStep(Step::WriteAddress, 5, [&] {
        failing = boot->Writes().size() + 10;
        boot->FailWrite(failing);
    });
    ClickUpgrade();
    EXPECT_EQ(dialogs->messages,
              (QStringList{FTErrorText("FT_Write", ftd::FT_FAILED_TO_WRITE_DEVICE),
                           "Firmware upgrade stopped: the data of block 5 at address 08000500 "
                           "could not be sent to the pedal." +
                               kRetry}));
    EXPECT_EQ(boot->Writes().size(), failing + 1);
    EXPECT_FALSE(boot->Started());
    ExpectReadyForRetry();
}

TEST_F(Upgrade, ClosingTheDeviceEndsAWaitAsAFailure) {
    platform::RegisterResource("FIRMWARE_4", TestImage(2000));
    StartInBootloader();
    Choose("Firmware_4");
    // No answer would come for a long time; closing the device must end the wait.
    BootloaderReplyTimeoutMs = 60000;
    boot->Script(Step::WriteAddress, 3, {Answer::Silent});
    boot->OnStep(Step::WriteAddress, 3, [] { QTimer::singleShot(0, [] { CloseFTDevice(); }); });
    ClickUpgrade();
    // One message: the link closed itself and says why.
    EXPECT_EQ(dialogs->messages,
              QStringList{"The pedal was disconnected (FT_GetQueueStatus - Invalid handle...). "
                          "Plug it in again, then use Scan and Connect."});
    EXPECT_FALSE(formMain->menuDisconnect->isEnabled());
    EXPECT_TRUE(formMain->menuConnect->isEnabled());
    EXPECT_EQ(boot->Writes().size(), boot->WritesAtLastStep());
}

TEST_F(Upgrade, QuittingDuringAWaitEndsTheUpgradeQuietly) {
    platform::RegisterResource("FIRMWARE_4", TestImage(2000));
    StartInBootloader();
    Choose("Firmware_4");
    BootloaderReplyTimeoutMs = 60000;
    boot->Script(Step::WriteData, 2, {Answer::Silent});
    boot->OnStep(Step::WriteData, 2, [] { QTimer::singleShot(0, [] { CancelPedalWaits(); }); });
    ClickUpgrade();
    EXPECT_TRUE(dialogs->messages.isEmpty());
    EXPECT_EQ(boot->Writes().size(), boot->WritesAtLastStep());
    EXPECT_FALSE(boot->Started());
}

TEST_F(Upgrade, SecondPressWhileRunningDoesNothing) {
    const QByteArray image = TestImage(2000);
    platform::RegisterResource("FIRMWARE_4", image);
    StartInBootloader();
    Choose("Firmware_4");
    QSignalSpy clicks(UpgradeButton(), &QPushButton::clicked);
    // The press arrives while the upgrade waits for the answer to block 2;
    // the button is locked then.
    boot->OnStep(Step::WriteData, 2,
                 [] { QTimer::singleShot(0, [] { UpgradeButton()->click(); }); });
    ClickUpgrade();
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(boot->Count(Step::EraseCommand), 1);
    EXPECT_EQ(boot->Count(Step::WriteData), 9);  // 8 blocks and the version record
    EXPECT_EQ(dialogs->messages, QStringList{kComplete});
    EXPECT_EQ(FlashAt(*boot, 0, 2000), ToBytes(image));
    EXPECT_EQ(boot->Started(), 0x08000000u);
}

TEST_F(Upgrade, UnusableImagesAreRefusedBeforeAnyByteIsSent) {
    const std::pair<int, QString> cases[] = {
        {0, "The firmware image is empty; the pedal's firmware was left as it is."},
        {130049,
         "The firmware image is too large: 130049 bytes, at most 130048 fit below the version "
         "record. The pedal's firmware was left as it is."},
        {131073,
         "The firmware image is too large: 131073 bytes, at most 130048 fit below the version "
         "record. The pedal's firmware was left as it is."},
    };
    StartInBootloader();
    Choose("Firmware_4");
    const std::size_t before = boot->Writes().size();
    for (const auto& [size, message] : cases) {
        platform::RegisterResource("FIRMWARE_4", TestImage(size));
        dialogs->messages.clear();
        ClickUpgrade();
        EXPECT_EQ(dialogs->messages, QStringList{message}) << size;
        EXPECT_EQ(boot->Writes().size(), before) << size;
        EXPECT_EQ(FirmwareBlockCount, 0) << size;
        ExpectReadyForRetry();
    }
}

TEST_F(Upgrade, PressingUpgradeBeforeChoosingReportsTheMissingResource) {
    StartInBootloader();
    const std::size_t before = boot->Writes().size();
    ClickUpgrade();
    EXPECT_EQ(dialogs->messages, QStringList{"Resource  not found"});
    EXPECT_EQ(boot->Writes().size(), before);
    ExpectReadyForRetry();
}

TEST_F(Upgrade, OutsideUpgradeModeNothingIsSent) {
    platform::RegisterResource("FIRMWARE_4", TestImage(300));
    StartInBootloader();
    Choose("Firmware_4");
    formMain->menuFirmwareUpgradeMode->trigger();
    ASSERT_FALSE(FirmwareUpgradeMode);
    const std::size_t before = boot->Writes().size();
    ClickUpgrade();
    EXPECT_EQ(dialogs->messages,
              QStringList{"Upgrade Mode is off: tick Upgrade Mode in the Firmware Upgrade menu "
                          "before upgrading the firmware."});
    EXPECT_EQ(boot->Writes().size(), before);
    EXPECT_TRUE(UpgradeButton()->isEnabled());
}

// A pedal in its bootloader runs no effect: whichever window came first, the
// settings window takes no edits then (they would go to the bootloader and
// leave the window showing values the pedal never got), and takes them again
// once the new firmware runs.
class SettingsDuringUpgrade : public Upgrade, public ::testing::WithParamInterface<bool> {};

TEST_P(SettingsDuringUpgrade, TakeNoEditsUntilTheNewFirmwareRuns) {
    const bool windowFirst = GetParam();
    platform::RegisterResource("FIRMWARE_4", TestImage(300));
    StartEditor();
    auto openSettings = [] {
        formMain->lstEffects->setCurrentRow(0);
        QTest::keyClick(formMain->lstEffects, Qt::Key_Return);
        ASSERT_TRUE(formFXsettings->isVisible());
    };
    if (windowFirst) openSettings();
    formMain->menuFirmwareUpgradeMode->trigger();
    formMain->menuConnect->trigger();
    ASSERT_EQ(dialogs->messages,
              QStringList{"Connection to bootloader succeeded, ready for firmware upgrade"});
    dialogs->messages.clear();
    if (!windowFirst) openSettings();

    TformFXsettings& s = *formFXsettings;
    const std::initializer_list<QWidget*> edits = {
        s.dialInputLevel, s.dialClipWave,     s.cmbVariableWavePitch, s.cmbGuitarTuning,
        s.chkHighNoteCut, s.cmbAssignCtrlUNO, s.chkBypassShortPress};
    for (QWidget* w : edits) EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_FALSE(formMain->menuLoadPreset->isEnabled());
    const std::size_t before = boot->Writes().size();
    QTest::keyClick(s.dialInputLevel, Qt::Key_PageUp);
    EXPECT_EQ(boot->Writes().size(), before);

    formMain->menuStartFirmwareUpgrade->trigger();
    Choose("Firmware_4");
    ClickUpgrade();
    ASSERT_EQ(dialogs->messages, QStringList{kComplete});
    ASSERT_FALSE(FirmwareUpgradeMode);
    for (QWidget* w : edits) EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_TRUE(formMain->menuLoadPreset->isEnabled());
}

// An upgrade that stopped leaves the pedal in its bootloader: unticking
// Upgrade Mode does not make it run its effect, so the settings stay off
// until the editor connects to the effect again.
TEST_F(Upgrade, SettingsStayOffWhileThePedalIsLeftInItsBootloader) {
    platform::RegisterResource("FIRMWARE_4", TestImage(300));
    StartEditor();
    formMain->menuFirmwareUpgradeMode->trigger();
    formMain->menuConnect->trigger();
    formMain->lstEffects->setCurrentRow(0);
    QTest::keyClick(formMain->lstEffects, Qt::Key_Return);
    ASSERT_TRUE(formFXsettings->isVisible());
    formMain->menuStartFirmwareUpgrade->trigger();
    Choose("Firmware_4");
    boot->Script(Step::WriteData, 1, {Answer::Nack});
    ClickUpgrade();
    ASSERT_EQ(dialogs->messages.size(), 2);

    formMain->menuFirmwareUpgradeMode->trigger();
    ASSERT_FALSE(FirmwareUpgradeMode);
    TformFXsettings& s = *formFXsettings;
    EXPECT_FALSE(s.dialInputLevel->isEnabled());
    EXPECT_FALSE(formMain->menuLoadPreset->isEnabled());
    const std::size_t before = boot->Writes().size();
    QTest::keyClick(s.dialInputLevel, Qt::Key_PageUp);
    EXPECT_EQ(boot->Writes().size(), before);

    formMain->menuDisconnect->trigger();
    formMain->menuConnect->trigger();
    EXPECT_TRUE(s.dialInputLevel->isEnabled());
    EXPECT_TRUE(formMain->menuLoadPreset->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(WindowFirstOrNot, SettingsDuringUpgrade, ::testing::Bool(),
                         [](const auto& info) {
                             return info.param ? "SettingsWindowFirst" : "ConnectFirst";
                         });

}  // namespace

// The stand-in firmware written to a real pedal would leave it without
// working firmware: anything but a clear Yes keeps it off the link.
class StandInRefused : public Upgrade, public ::testing::WithParamInterface<platform::Answer> {};

TEST_P(StandInRefused, NothingIsWrittenAndARetryStaysPossible) {
    StartInBootloader();
    Choose("Firmware_4");
    dialogs->answers = {GetParam()};
    ClickUpgrade();
    EXPECT_EQ(dialogs->questions.size(), 1);
    EXPECT_EQ(boot->Count(Step::EraseCommand), 0);
    EXPECT_EQ(boot->Count(Step::WriteData), 0);
    EXPECT_TRUE(FirmwareUpgradeMode);
    EXPECT_TRUE(formFirmwareUpgrade->btnUpgradeFirmware->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(Answers, StandInRefused,
                         ::testing::Values(platform::Answer::No, platform::Answer::Cancel));
