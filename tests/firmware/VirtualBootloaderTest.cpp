// The upgrade against the virtual pedal's own model of the ROM bootloader,
// which shares no code with the editor: in process, and over a
// pseudo-terminal through the real serial-port backend.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <functional>

#include "app/TformMain.h"
#include "device/Communication.h"
#include "device/D2XXUnit.h"
#include "device/SerialPortDriver.h"
#include "firmware/Bootloader.h"
#include "firmware/TformFirmwareUpgrade.h"
#include "platform/Resources.h"
#include "tests/firmware/FirmwareFixture.h"

namespace {

const QString kRetry = QStringLiteral(
    " Nothing more was sent; the pedal stays in its bootloader, so the upgrade can be started "
    "again.");
const QString kReconnect = QStringLiteral(
    " Nothing more was sent. Connect the pedal again with Upgrade Mode ticked and start the "
    "upgrade again.");
constexpr std::size_t kVersionRecordOffset = 0x1FC00;
// Write Memory command, address frame, count byte, 256 data bytes, checksum.
constexpr std::size_t kWritesPerBlock = 2 + 5 + 1 + 256 + 1;
constexpr std::size_t kEraseWrites = 4;
// Read Memory command, address frame, count byte and its complement.
constexpr std::size_t kWritesPerRead = 2 + 5 + 2;

class VirtualBootloader : public FirmwareFixture {
protected:
    bool UsesScriptedBootloader() const override { return false; }

    sim::Bytes FlashAt(std::size_t offset, std::size_t size) {
        const sim::Bytes& flash = driver->Pedal().Flash();
        return sim::Bytes(flash.begin() + static_cast<std::ptrdiff_t>(offset),
                          flash.begin() + static_cast<std::ptrdiff_t>(offset + size));
    }

    // Upgrade Firmware pressed again in the same run writes the whole image
    // and starts the pedal with it.
    void ExpectARetryCompletes(const QByteArray& image) {
        dialogs->messages.clear();
        ClickUpgrade();
        EXPECT_EQ(dialogs->messages, QStringList{kComplete});
        EXPECT_EQ(FlashAt(0, 53704), ToBytes(image));
        EXPECT_FALSE(driver->Pedal().InBootloader());
        EXPECT_EQ(driver->Pedal().FirmwareVersion(), 4);
    }
};

// Everything as the bootloader connection left it, for another try.
void ExpectReadyForRetry() {
    EXPECT_TRUE(FirmwareUpgradeMode);
    EXPECT_TRUE(formFirmwareUpgrade->isVisible());
    EXPECT_TRUE(formFirmwareUpgrade->btnUpgradeFirmware->isEnabled());
    EXPECT_TRUE(formFirmwareUpgrade->cmbFirmwareChoose->isEnabled());
    EXPECT_TRUE(formMain->menuDisconnect->isEnabled());
    EXPECT_TRUE(formMain->menuFirmwareUpgradeMode->isEnabled());
    EXPECT_FALSE(formMain->btnRequest->isEnabled());
}

// The Request button, which is usable again once the upgrade is over.
void ExpectRequestReportsVersion4() {
    ASSERT_TRUE(formMain->btnRequest->isEnabled());
    formMain->btnRequest->click();
    ASSERT_EQ(ReplyValues.size(), 81u);
    EXPECT_EQ(ReplyValues[0], 4);
    EXPECT_EQ(formMain->lblFirmwareVersion->text(), "Firmware Version: 04");
}

TEST_F(VirtualBootloader, UpgradeWritesTheImageAndThePedalThenReportsVersion4) {
    const QByteArray image = platform::ReadResource("FIRMWARE_4");
    sim::VirtualPedal& pedal = AddPedal();
    pedal.EnterBootloader();
    ASSERT_NE(pedal.FirmwareVersion(), 4);
    StartInBootloader();
    pedal.ClearMessages();
    Choose("Firmware_4");
    ClickUpgrade();

    EXPECT_EQ(dialogs->messages, QStringList{kComplete});
    EXPECT_EQ(FlashAt(0, 53704), ToBytes(image));
    EXPECT_EQ(FlashAt(53704, 16), sim::Bytes(16, 0xFF));
    EXPECT_EQ(FlashAt(kVersionRecordOffset, 8), (sim::Bytes{0, 0, 0, 0, 0, 0, 0, 4}));
    EXPECT_FALSE(pedal.InBootloader());
    const auto& log = pedal.BootloaderLog();
    EXPECT_EQ(std::count(log.begin(), log.end(), "erase global"), 1);
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const std::string& e) { return e.rfind("write ", 0) == 0; }),
              211);
    // Every block and the version record read back, the last page included.
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const std::string& e) { return e.rfind("read ", 0) == 0; }),
              211);
    EXPECT_NE(std::find(log.begin(), log.end(), "read 0801FC00 8"), log.end());
    EXPECT_EQ(log.back(), "go 08000000");
    const std::size_t lastBlock = 2 + 5 + 1 + 200 + 1, versionRecord = 2 + 5 + 10, go = 2 + 5;
    EXPECT_EQ(pedal.Messages().size(), kEraseWrites + 209 * kWritesPerBlock + lastBlock +
                                           versionRecord + 211 * kWritesPerRead + go);
    EXPECT_TRUE(std::all_of(pedal.Messages().begin(), pedal.Messages().end(),
                            [](const sim::Bytes& m) { return m.size() == 1; }));

    // The pedal now runs the new firmware, which reads its version from the record.
    ExpectRequestReportsVersion4();
}

struct SimFailureCase {
    const char* name;
    std::function<void(sim::VirtualPedal&)> inject;
    std::size_t writes;  // bytes the pedal received before the upgrade stopped
    QStringList messages;
};

void PrintTo(const SimFailureCase& c, std::ostream* os) {
    *os << c.name;
}

class VirtualBootloaderFailure : public VirtualBootloader,
                                 public ::testing::WithParamInterface<SimFailureCase> {};

TEST_P(VirtualBootloaderFailure, StopsWithNothingSentAfterTheFailedStep) {
    const SimFailureCase& c = GetParam();
    BootloaderReplyTimeoutMs = 100;
    BootloaderEraseTimeoutMs = 100;
    sim::VirtualPedal& pedal = AddPedal();
    pedal.EnterBootloader();
    StartInBootloader();
    pedal.ClearMessages();
    c.inject(pedal);
    Choose("Firmware_4");
    ClickUpgrade();

    EXPECT_EQ(dialogs->messages, c.messages);
    EXPECT_EQ(pedal.Messages().size(), c.writes);
    EXPECT_TRUE(pedal.InBootloader());
    EXPECT_NE(FlashAt(kVersionRecordOffset, 8), (sim::Bytes{0, 0, 0, 0, 0, 0, 0, 4}));
    EXPECT_TRUE(FirmwareUpgradeMode);
    EXPECT_TRUE(formFirmwareUpgrade->isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, VirtualBootloaderFailure,
    ::testing::Values(
        SimFailureCase{"NackAtBlock100",
                       [](sim::VirtualPedal& p) { p.NackWriteMemory(100); },
                       kEraseWrites + 101 * kWritesPerBlock,
                       {"Firmware upgrade stopped: the bootloader refused the data of block 100 "
                        "at address 08006400 (NOT ACK)." +
                        kRetry}},
        // Step 0 answered the synchronisation; 1 and 2 are the erase.
        SimFailureCase{
            "SilentAtTheErase",
            [](sim::VirtualPedal& p) { p.FailBootloaderStep(2, {sim::BootFault::NoAnswer}); },
            kEraseWrites,
            {"Firmware upgrade stopped: no answer from the bootloader to the global "
             "erase." +
             kRetry}},
        SimFailureCase{"WrongByteForTheFirstWriteCommand",
                       [](sim::VirtualPedal& p) {
                           p.FailBootloaderStep(3, {sim::BootFault::WrongByte, 0x00});
                       },
                       kEraseWrites + 2,
                       {"Firmware upgrade stopped: the bootloader answered 00 instead of ACK to "
                        "the Write Memory command for block 0 at address 08000000." +
                        kRetry}},
        SimFailureCase{"UnpluggedBeforeAnsweringAnAddress",
                       [](sim::VirtualPedal& p) { p.UnplugAtBootloaderStep(4); },
                       kEraseWrites + 2 + 5,
                       // One message: the link closed itself and says why.
                       {"The pedal was disconnected (FT_GetQueueStatus - General IO error...). "
                        "Plug it in again, then use Scan and Connect."}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(VirtualBootloader, RetryAfterARefusedBlockCompletesTheUpgrade) {
    const QByteArray image = platform::ReadResource("FIRMWARE_4");
    sim::VirtualPedal& pedal = AddPedal();
    pedal.EnterBootloader();
    pedal.NackWriteMemory(100);
    StartInBootloader();
    Choose("Firmware_4");
    ClickUpgrade();
    ASSERT_EQ(dialogs->messages.size(), 1);
    ASSERT_TRUE(pedal.InBootloader());

    ExpectARetryCompletes(image);
}

// A byte the bootloader acknowledged but programmed wrong is found only by
// reading back: the upgrade stops with its address before Go, nothing more
// goes out, and a second run in the same session erases, writes, verifies
// and starts the pedal.
TEST_F(VirtualBootloader, ACorruptedByteIsFoundByTheReadBackAndARetryMendsIt) {
    const QByteArray image = platform::ReadResource("FIRMWARE_4");
    sim::VirtualPedal& pedal = AddPedal();
    pedal.EnterBootloader();
    pedal.CorruptFlashWrite(0x08003905);  // block 57, byte 5
    StartInBootloader();
    Choose("Firmware_4");
    ClickUpgrade();

    const auto wrong = static_cast<std::uint8_t>(image[0x3905] ^ 0x01);
    EXPECT_EQ(dialogs->messages,
              QStringList{QStringLiteral("Firmware upgrade stopped: the pedal's flash differs from "
                                         "block 57 of the image at address 08003905: %1 was read "
                                         "back where %2 was written.")
                              .arg(Hex2(wrong), Hex2(static_cast<std::uint8_t>(image[0x3905]))) +
                          kRetry});
    const auto& log = pedal.BootloaderLog();
    EXPECT_EQ(log.back(), "read 08003900 256") << "nothing after the read that found it";
    EXPECT_TRUE(pedal.InBootloader());
    EXPECT_EQ(FlashAt(0x3905, 1), sim::Bytes{wrong});
    ExpectReadyForRetry();

    ExpectARetryCompletes(image);
}

// A small image (blocks 0 and 1, 256 and 44 bytes) makes the steps easy to
// name: 0 sync; 1, 2 erase; 3-5 block 0 (command, address, data); 6-8 block
// 1; 9-11 the version record; 12-14 reading block 0 (command, address,
// count); 15-17 block 1; 18-20 the record; 21, 22 Go.
constexpr std::size_t kSmallBlock0 = 2 + 5 + 1 + 256 + 1, kSmallBlock1 = 2 + 5 + 1 + 44 + 1,
                      kSmallRecord = 2 + 5 + 10;

struct LinkFaultCase {
    const char* name;
    std::size_t step;
    sim::BootFault fault;
    QString failure;     // empty: the upgrade completes
    std::size_t writes;  // bytes the pedal received when a failed upgrade stopped
};
void PrintTo(const LinkFaultCase& c, std::ostream* os) {
    *os << c.name;
}

class LinkFault : public VirtualBootloader, public ::testing::WithParamInterface<LinkFaultCase> {};

// The answer as the link delivers it: in pieces, with a tail, not at all,
// garbled, or the device gone. The window tells what happened, keeps the
// upgrade ready for another try and sends nothing after a failure.
TEST_P(LinkFault, EndsWithAClearMessageAndNothingSentAfter) {
    const LinkFaultCase& c = GetParam();
    BootloaderReplyTimeoutMs = 200;
    const QByteArray image = TestImage(300);
    platform::RegisterResource("FIRMWARE_4", image);
    sim::VirtualPedal& pedal = AddPedal();
    pedal.EnterBootloader();
    StartInBootloader();
    pedal.ClearMessages();
    pedal.FailBootloaderStep(c.step, c.fault);
    Choose("Firmware_4");
    ClickUpgrade();

    if (c.failure.isEmpty()) {
        EXPECT_EQ(dialogs->messages, QStringList{kComplete});
        EXPECT_EQ(FlashAt(0, 300), ToBytes(image));
        EXPECT_FALSE(pedal.InBootloader());
        EXPECT_FALSE(FirmwareUpgradeMode);
        return;
    }
    // An unplug closes the link, which says so once.
    const QStringList expected =
        c.fault.kind == sim::BootFault::Unplug
            ? QStringList{"The pedal was disconnected (FT_GetQueueStatus - General IO error...). "
                          "Plug it in again, then use Scan and Connect."}
            : QStringList{"Firmware upgrade stopped: " + c.failure};
    EXPECT_EQ(dialogs->messages, expected);
    EXPECT_EQ(pedal.Messages().size(), c.writes);
    EXPECT_EQ(pedal.BootloaderSteps(), c.step + 1);
    EXPECT_FALSE(
        std::count(pedal.BootloaderLog().begin(), pedal.BootloaderLog().end(), "go 08000000"));
    // Unplugged, the editor is disconnected and Connect is the way back.
    if (c.fault.kind == sim::BootFault::Unplug)
        EXPECT_TRUE(formMain->menuConnect->isEnabled());
    else
        ExpectReadyForRetry();
}

INSTANTIATE_TEST_SUITE_P(
    Answers, LinkFault,
    ::testing::Values(
        LinkFaultCase{
            "ReadBackInPiecesOfEightEvery30ms", 14, {sim::BootFault::Split, 0, 30, 8}, {}, 0},
        LinkFaultCase{
            "RecordReadBackByteByByteEvery30ms", 20, {sim::BootFault::Split, 0, 30, 1}, {}, 0},
        LinkFaultCase{"ExtraByteAfterTheAckOfABlock",
                      5,
                      {sim::BootFault::Tail, 0x00},
                      "the bootloader sent 1 byte more than its answer to the data of block 0 at "
                      "address 08000000 has (00)." +
                          kRetry,
                      kEraseWrites + kSmallBlock0},
        LinkFaultCase{"SilenceAfterABlock",
                      8,
                      {sim::BootFault::NoAnswer},
                      "no answer from the bootloader to the data of block 1 at address "
                      "08000100." +
                          kRetry,
                      kEraseWrites + kSmallBlock0 + kSmallBlock1},
        LinkFaultCase{
            "GarbageForTheReadOfABlock",
            17,
            {sim::BootFault::WrongByte, 0x00},
            "the bootloader answered 00 instead of ACK to the read of block 1 at "
            "address 08000100." +
                kRetry,
            kEraseWrites + kSmallBlock0 + kSmallBlock1 + kSmallRecord + 2 * kWritesPerRead},
        LinkFaultCase{
            "SilenceDuringTheReadBack",
            19,
            {sim::BootFault::NoAnswer},
            "no answer from the bootloader to the read address frame for the version "
            "record at address 0801FC00." +
                kRetry,
            kEraseWrites + kSmallBlock0 + kSmallBlock1 + kSmallRecord + 2 * kWritesPerRead + 2 + 5},
        LinkFaultCase{"UnpluggedBeforeAnsweringABlock",
                      8,
                      {sim::BootFault::Unplug},
                      "the link to the pedal failed while waiting for the answer to the data of "
                      "block 1 at address 08000100." +
                          kReconnect,
                      kEraseWrites + kSmallBlock0 + kSmallBlock1}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Over a pseudo-terminal --------------------------------------------------

// One run of the pty front-end; the first line it prints is the terminal.
class SimProcess {
public:
    explicit SimProcess(const QStringList& options) {
        process_.setProgram(QStringLiteral(QUENDLE_PEDAL_SIM_PATH));
        process_.setArguments(options);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start();
        if (process_.waitForStarted(5000) && process_.waitForReadyRead(5000))
            path_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
    }
    ~SimProcess() {
        process_.terminate();
        if (!process_.waitForFinished(5000)) process_.kill();
    }
    const QString& Path() const { return path_; }

private:
    QProcess process_;
    QString path_;
};

// Real sleeps (the pedal needs the time to answer a request), counted busy
// pauses (the upgrade's per-byte countdown would make the test crawl).
class SleepingClock : public platform::Clock {
public:
    void SleepMs(int milliseconds) override {
        if (milliseconds > 0) QThread::msleep(static_cast<unsigned long>(milliseconds));
    }
    void BusyPause(std::uint64_t) override {}
};

class PtyBootloader : public VirtualBootloader {};

TEST_F(PtyBootloader, UpgradeThroughTheSerialPortBackend) {
    // Boot-on-sync lets the flasher's first byte take the pedal back into its
    // bootloader for the read-back.
    SimProcess sim({QStringLiteral("--bootloader"), QStringLiteral("--boot-on-sync")});
    ASSERT_FALSE(sim.Path().isEmpty());
    ftd::InstallDriver(std::make_unique<SerialPortDriver>(QStringList{sim.Path()}));
    driver = nullptr;
    const QByteArray image = platform::ReadResource("FIRMWARE_4");

    StartInBootloader();
    ASSERT_EQ(DeviceSerialNumber, sim.Path());
    Choose("Firmware_4");
    // Busy pauses and sleeps are counted: the bootloader answers when its
    // bytes are in, however fast they come.
    ClickUpgrade();
    EXPECT_EQ(dialogs->messages, QStringList{kComplete});
    EXPECT_FALSE(FirmwareUpgradeMode);

    platform::InstallClock(std::make_unique<SleepingClock>());
    clock = nullptr;
    ExpectRequestReportsVersion4();

    // A standard flasher reads the image back from the bootloader.
    const QString flasher = QStringLiteral("/usr/bin/stm32flash");
    if (!QFile::exists(flasher)) GTEST_SKIP() << "stm32flash is not installed; read-back skipped";
    ASSERT_EQ(CloseFTDevice(), ftd::FT_OK);
    QTemporaryDir folder;
    const QString back = folder.filePath(QStringLiteral("back.bin"));
    QProcess reader;
    reader.setProcessChannelMode(QProcess::MergedChannels);
    reader.start(flasher,
                 {"-m", "8n1", "-b", "115200", "-S", "0x08000000:53704", "-r", back, sim.Path()});
    ASSERT_TRUE(reader.waitForFinished(60000));
    ASSERT_EQ(reader.exitCode(), 0) << reader.readAll().toStdString();
    QFile file(back);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll() == image) << "the flash differs from the image";

    // The version record's page, the last of the flash, reads back as well.
    const QString page = folder.filePath(QStringLiteral("page.bin"));
    reader.start(flasher,
                 {"-m", "8n1", "-b", "115200", "-S", "0x0801FC00:1024", "-r", page, sim.Path()});
    ASSERT_TRUE(reader.waitForFinished(60000));
    ASSERT_EQ(reader.exitCode(), 0) << reader.readAll().toStdString();
    QFile pageFile(page);
    ASSERT_TRUE(pageFile.open(QIODevice::ReadOnly));
    const QByteArray lastPage = pageFile.readAll();
    EXPECT_EQ(lastPage.left(8), QByteArray::fromHex("0000000000000004"));
    EXPECT_EQ(lastPage.mid(8), QByteArray(1016, '\xFF'));
}

// The same read-back over a real serial port: a byte the pedal programmed
// wrong stops the upgrade with its address, and the retry in the same
// session goes through.
TEST_F(PtyBootloader, CorruptedByteOverTheSerialPortIsFoundAndTheRetrySucceeds) {
    SimProcess sim({QStringLiteral("--bootloader"), QStringLiteral("--corrupt-write"),
                    QStringLiteral("0x0800D1C7")});
    ASSERT_FALSE(sim.Path().isEmpty());
    ftd::InstallDriver(std::make_unique<SerialPortDriver>(QStringList{sim.Path()}));
    driver = nullptr;
    const QByteArray image = platform::ReadResource("FIRMWARE_4");
    StartInBootloader();
    Choose("Firmware_4");
    ClickUpgrade();
    // The image's very last byte.
    const auto written = static_cast<std::uint8_t>(image.back());
    ASSERT_EQ(dialogs->messages.size(), 1);
    EXPECT_EQ(dialogs->messages[0],
              QStringLiteral("Firmware upgrade stopped: the pedal's flash differs from block 209 "
                             "of the image at address 0800D1C7: %1 was read back where %2 was "
                             "written.")
                      .arg(Hex2(written ^ 0x01u), Hex2(written)) +
                  kRetry);
    EXPECT_TRUE(FirmwareUpgradeMode);

    dialogs->messages.clear();
    ClickUpgrade();
    EXPECT_EQ(dialogs->messages, QStringList{kComplete});
    EXPECT_FALSE(FirmwareUpgradeMode);
    platform::InstallClock(std::make_unique<SleepingClock>());
    clock = nullptr;
    ExpectRequestReportsVersion4();
}

}  // namespace
