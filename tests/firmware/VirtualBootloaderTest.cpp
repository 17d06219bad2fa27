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

const QString kComplete = QStringLiteral("Firmware Upgrade Complete, device will now restart");
const QString kRetry = QStringLiteral(
    " Nothing more was sent; the pedal stays in its bootloader, so the upgrade can be started "
    "again.");
constexpr std::size_t kVersionRecordOffset = 0x1FC00;
// Write Memory command, address frame, count byte, 256 data bytes, checksum.
constexpr std::size_t kWritesPerBlock = 2 + 5 + 1 + 256 + 1;
constexpr std::size_t kEraseWrites = 4;

class VirtualBootloader : public FirmwareFixture {
protected:
    bool UsesScriptedBootloader() const override { return false; }

    sim::Bytes FlashAt(std::size_t offset, std::size_t size) {
        const sim::Bytes& flash = driver->Pedal().Flash();
        return sim::Bytes(flash.begin() + static_cast<std::ptrdiff_t>(offset),
                          flash.begin() + static_cast<std::ptrdiff_t>(offset + size));
    }
};

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
    EXPECT_EQ(log.back(), "go 08000000");
    const std::size_t lastBlock = 2 + 5 + 1 + 200 + 1, versionRecord = 2 + 5 + 10, go = 2 + 5;
    EXPECT_EQ(pedal.Messages().size(),
              kEraseWrites + 209 * kWritesPerBlock + lastBlock + versionRecord + go);
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
                       {FTErrorText("FT_GetQueueStatus", ftd::FT_IO_ERROR),
                        "Firmware upgrade stopped: no answer from the bootloader to the address "
                        "frame for block 0 at address 08000000." +
                            kRetry}}),
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

    dialogs->messages.clear();
    ClickUpgrade();
    EXPECT_EQ(dialogs->messages, QStringList{kComplete});
    EXPECT_EQ(FlashAt(0, 53704), ToBytes(image));
    EXPECT_FALSE(pedal.InBootloader());
    EXPECT_EQ(pedal.FirmwareVersion(), 4);
}

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
}

}  // namespace
