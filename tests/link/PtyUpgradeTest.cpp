// The firmware upgrade as it runs on a user's machine: the real windows
// (Connect with Upgrade Mode ticked, the firmware window's Upgrade Firmware),
// the editor's serial-port backend, and quendle-pedal-sim in its bootloader on
// a pseudo-terminal. The program is killed to unplug the pedal (its terminal
// hangs up) and started again on the same --link path to plug it back in;
// its bootloader faults are armed, and its flash read, through --commands.
//
// Outcomes are judged by what happened: the boxes shown, the state of the
// windows, the bytes the program's flash holds and the firmware version the
// pedal then reports. A watchdog turns a hang into a failure naming the step.

#include <signal.h>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "app/TformMain.h"
#include "device/Communication.h"
#include "device/Connection.h"
#include "device/PedalLink.h"
#include "firmware/Bootloader.h"
#include "firmware/TformFirmwareUpgrade.h"
#include "platform/Resources.h"
#include "tests/link/PedalSimFixture.h"

namespace {

// Blocks of 256, 256 and 88 bytes: every kind of block, a few seconds a run.
// The bootloader's steps (each one ACK or NACK, the sync answer is 0): 1, 2
// the erase; 3-5, 6-8, 9-11 the blocks (command, address, data); 12-14 the
// version record; 15-17, 18-20, 21-23 reading the blocks back (command,
// address, count); 24-26 reading the record back; 27, 28 Go.
constexpr int kImageBytes = 600;
constexpr std::uint8_t kVersion = 4;

const QString kSynchronised =
    QStringLiteral("Connection to bootloader succeeded, ready for firmware upgrade");
const QString kComplete = QStringLiteral("Firmware Upgrade Complete, device will now restart");
const QString kRetry = QStringLiteral(
    " Nothing more was sent; the pedal stays in its bootloader, so the upgrade can be started "
    "again.");

// Bytes that differ from block to block, so a block written in the wrong
// place shows.
QByteArray Image() {
    QByteArray image(kImageBytes, '\0');
    std::uint32_t state = 0x5EED1234u;
    for (char& c : image) {
        state = state * 1664525u + 1013904223u;
        c = static_cast<char>(state >> 24);
    }
    return image;
}

// The 128 KiB a finished upgrade leaves: the image from the start, erased
// flash, the version record (seven zero bytes and the version) at the start
// of the last page.
QByteArray ExpectedFlash(const QByteArray& image) {
    QByteArray flash(128 * 1024, '\xFF');
    flash.replace(0, image.size(), image);
    flash.replace(static_cast<qsizetype>(kVersionRecordAddress - kFlashStart), 8,
                  QByteArray(7, '\0') + char(kVersion));
    return flash;
}

// Where the flash first differs from what it should hold; empty when it
// does not.
QString FirstDifference(const QByteArray& flash, const QByteArray& expected) {
    if (flash.size() != expected.size())
        return QStringLiteral("%1 bytes of flash read: %2").arg(flash.size()).arg(flash.left(80));
    for (qsizetype i = 0; i < flash.size(); ++i)
        if (flash[i] != expected[i])
            return QStringLiteral("%1 holds %2, not %3")
                .arg(kFlashStart + static_cast<std::uint32_t>(i), 8, 16, QLatin1Char('0'))
                .arg(static_cast<std::uint8_t>(flash[i]), 2, 16, QLatin1Char('0'))
                .arg(static_cast<std::uint8_t>(expected[i]), 2, 16, QLatin1Char('0'));
    return {};
}

// Ends the test program, naming the step, should a step never end.
class Watchdog {
public:
    Watchdog()
        : thread_([this] {
              std::unique_lock<std::mutex> lock(mutex_);
              if (!stopped_.wait_for(lock, std::chrono::minutes(2), [this] { return stop_; })) {
                  std::fprintf(stderr, "HANG: still at %s two minutes after the start\n", step_);
                  std::abort();
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        stopped_.notify_one();
        thread_.join();
    }
    void Step(const char* what) {
        std::lock_guard<std::mutex> lock(mutex_);
        step_ = what;
    }

private:
    std::mutex mutex_;
    std::condition_variable stopped_;
    bool stop_ = false;
    const char* step_ = "the start";
    std::thread thread_;
};

class PtyUpgrade : public PedalSimFixture {
protected:
    void SetUp() override {
        PedalSimFixture::SetUp();
        ASSERT_TRUE(folder_.isValid());
        link_ = folder_.filePath(QStringLiteral("pedal"));
        image_ = Image();
        platform::RegisterResource(QStringLiteral("FIRMWARE_4"), image_);
    }

    // The pedal plugged in, by default in its bootloader: the program on a
    // fresh terminal, the editor's --port path a link to it.
    void PlugIn(const QStringList& options = {"--bootloader"}) {
        ASSERT_FALSE(
            LaunchPedalSim(QStringList{"--link", link_, "--commands"} + options).isEmpty());
    }
    void Unplug() {
        pedalSim.kill();
        pedalSim.waitForFinished(5000);
    }
    // One command to the program; its answer line.
    QString Command(const QByteArray& line) {
        pedalSim.write(line + '\n');
        pedalSim.waitForBytesWritten(5000);
        while (!pedalSim.canReadLine())
            if (!pedalSim.waitForReadyRead(5000)) return {};
        return QString::fromLatin1(pedalSim.readLine()).trimmed();
    }
    // The whole flash as the program holds it.
    QByteArray Flash() {
        const QString answer = Command("flash 0x08000000 131072");
        if (!answer.startsWith(QStringLiteral("flash "))) return answer.toLatin1();
        return QByteArray::fromHex(answer.mid(6).toLatin1());
    }

    void StartEditor() { StartOnPort(link_); }
    void ConnectInUpgradeMode() {
        if (!FirmwareUpgradeMode) formMain->menuFirmwareUpgradeMode->trigger();
        ASSERT_TRUE(FirmwareUpgradeMode);
        // Scan says what it found; only the verdict of the Connect matters here.
        formMain->menuScan->trigger();
        dialogs->messages.clear();
        ASSERT_TRUE(formMain->menuConnect->isEnabled());
        formMain->menuConnect->trigger();
        ASSERT_EQ(dialogs->messages, QStringList{kSynchronised});
        dialogs->messages.clear();
    }
    // Opens the firmware window, chooses the image and starts the upgrade.
    void Upgrade() {
        ASSERT_TRUE(formMain->menuStartFirmwareUpgrade->isEnabled());
        formMain->menuStartFirmwareUpgrade->trigger();
        ASSERT_TRUE(formFirmwareUpgrade->isVisible());
        QComboBox* images = formFirmwareUpgrade->cmbFirmwareChoose;
        images->setCurrentIndex(images->findText(QStringLiteral("Firmware_4")));
        ASSERT_TRUE(formFirmwareUpgrade->btnUpgradeFirmware->isEnabled());
        formFirmwareUpgrade->btnUpgradeFirmware->click();
    }

    // The upgrade ended as done, and is: the window says so and goes, the
    // program's flash is the image and the record, and the pedal, running
    // again, reports the new version when asked over the terminal.
    void ExpectUpgraded() {
        EXPECT_EQ(dialogs->messages, QStringList{kComplete});
        EXPECT_FALSE(formFirmwareUpgrade->isVisible());
        EXPECT_FALSE(FirmwareUpgradeMode);
        EXPECT_EQ(FirstDifference(Flash(), ExpectedFlash(image_)).toStdString(), "");
        dialogs->messages.clear();
        ASSERT_TRUE(formMain->btnRequest->isEnabled());
        formMain->btnRequest->click();
        EXPECT_EQ(dialogs->messages, QStringList{});
        EXPECT_EQ(formMain->lblFirmwareVersion->text(), QStringLiteral("Firmware Version: 04"));
    }

    // The windows after an upgrade that stopped: the bar says so, the locks
    // are off, and Upgrade Firmware can be pressed again.
    void ExpectStopped() {
        EXPECT_EQ(formFirmwareUpgrade->ProgressBar1->text(), QStringLiteral("Upgrade stopped"));
        EXPECT_TRUE(formFirmwareUpgrade->isVisible());
        EXPECT_TRUE(formFirmwareUpgrade->btnUpgradeFirmware->isEnabled());
        EXPECT_TRUE(formFirmwareUpgrade->cmbFirmwareChoose->isEnabled());
        EXPECT_FALSE(formFirmwareUpgrade->lblDoNotUnplug->isVisibleTo(formFirmwareUpgrade));
        EXPECT_TRUE(formMain->menuFirmwareUpgradeMode->isEnabled());
    }

    // Kills the program as the second block is about to go out (the next
    // write finds the terminal hung up), or, later, a moment after that, while
    // the editor waits for an answer (the hang-up wakes the wait).
    void UnplugAtTheSecondBlock(bool later) {
        QObject::connect(formFirmwareUpgrade->ProgressBar1, &QProgressBar::valueChanged,
                         formFirmwareUpgrade, [this, later](int block) {
                             // The bar still names the step before, "Writing block 0".
                             if (unplugged_ || block != 1 ||
                                 !formFirmwareUpgrade->ProgressBar1->format().startsWith(
                                     QStringLiteral("Writing block")))
                                 return;
                             unplugged_ = true;
                             if (later)
                                 QTimer::singleShot(100, formFirmwareUpgrade, [this] { Unplug(); });
                             else
                                 Unplug();
                         });
    }
    // The unplug stopped the upgrade: said once, and the windows show no
    // connection, ready for Connect.
    void ExpectUnpluggedAndSaidOnce() {
        ASSERT_TRUE(unplugged_);
        EXPECT_EQ(pedalSim.state(), QProcess::NotRunning);
        ASSERT_EQ(dialogs->messages.size(), 1) << dialogs->messages.join('|').toStdString();
        EXPECT_TRUE(dialogs->messages[0].startsWith(QStringLiteral("The pedal was disconnected (")))
            << dialogs->messages[0].toStdString();
        ExpectStopped();
        EXPECT_FALSE(PedalLink::Instance().IsOpen());
        EXPECT_FALSE(DeviceConnected);
        EXPECT_TRUE(formMain->menuConnect->isEnabled());
        EXPECT_FALSE(formMain->menuDisconnect->isEnabled());
        EXPECT_FALSE(formMain->btnRequest->isEnabled());
        dialogs->messages.clear();
    }

    bool unplugged_ = false;
    QTemporaryDir folder_;
    QString link_;
    QByteArray image_;
    Watchdog watchdog_;
};

// Cases show their names in test listings.
struct DeliveryCase {
    const char* name;
    QStringList options;
};
void PrintTo(const DeliveryCase& c, std::ostream* os) {
    *os << c.name;
}

class PtyUpgradeDelivery : public PtyUpgrade, public ::testing::WithParamInterface<DeliveryCase> {};

// Every step's answer comes over the terminal, whole or as a busy bridge
// hands it over; the upgrade writes, reads back and starts the image.
TEST_P(PtyUpgradeDelivery, CompletesAndTheFlashIsTheImage) {
    ASSERT_NO_FATAL_FAILURE(PlugIn(GetParam().options));
    StartEditor();
    ASSERT_NO_FATAL_FAILURE(ConnectInUpgradeMode());
    watchdog_.Step("the upgrade");
    ASSERT_NO_FATAL_FAILURE(Upgrade());
    watchdog_.Step("the checks");
    ExpectUpgraded();
}

INSTANTIATE_TEST_SUITE_P(
    Bridge, PtyUpgradeDelivery,
    ::testing::Values(DeliveryCase{"Whole", {"--bootloader"}},
                      DeliveryCase{"AtWireRate", {"--bootloader", "--paced"}},
                      DeliveryCase{"PiecesOf1Every1ms",
                                   {"--bootloader", "--pieces", "1", "--piece-gap", "1"}},
                      // Running its effect, the pedal goes into its
                      // bootloader at the sync byte, as with the boot
                      // button held.
                      DeliveryCase{"FromTheRunningEffect", {"--boot-on-sync"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct UnplugCase {
    const char* name;
    bool whileWaiting;  // for an answer that does not come
};
void PrintTo(const UnplugCase& c, std::ostream* os) {
    *os << c.name;
}

class PtyUpgradeUnplug : public PtyUpgrade, public ::testing::WithParamInterface<UnplugCase> {
protected:
    void TearDown() override {
        BootloaderReplyTimeoutMs = replyTimeoutMs_;
        PtyUpgrade::TearDown();
    }
    const int replyTimeoutMs_ = BootloaderReplyTimeoutMs;
};

// The pedal unplugged while the blocks are written: the editor says so once
// and gives the controls back; plugged back in, still in its bootloader, a
// Connect in Upgrade Mode and a new upgrade complete it.
TEST_P(PtyUpgradeUnplug, SaidOnceThenPluggedBackInTheUpgradeCompletes) {
    ASSERT_NO_FATAL_FAILURE(PlugIn());
    StartEditor();
    ASSERT_NO_FATAL_FAILURE(ConnectInUpgradeMode());
    if (GetParam().whileWaiting) {
        // Block 1's address frame is never answered, and the editor would
        // wait for it far longer than the unplug takes to come.
        ASSERT_EQ(Command("boot-fault 7 silent"), QStringLiteral("ok"));
        BootloaderReplyTimeoutMs = 60000;
    }
    UnplugAtTheSecondBlock(GetParam().whileWaiting);
    watchdog_.Step("the upgrade the unplug stops");
    ASSERT_NO_FATAL_FAILURE(Upgrade());
    ExpectUnpluggedAndSaidOnce();

    watchdog_.Step("plugging back in and upgrading again");
    ASSERT_NO_FATAL_FAILURE(PlugIn());
    ASSERT_NO_FATAL_FAILURE(ConnectInUpgradeMode());
    ASSERT_NO_FATAL_FAILURE(Upgrade());
    ExpectUpgraded();
}

INSTANTIATE_TEST_SUITE_P(Moments, PtyUpgradeUnplug,
                         ::testing::Values(UnplugCase{"WhileWritingABlock", false},
                                           UnplugCase{"WhileWaitingForAnAnswer", true}),
                         [](const auto& info) { return std::string(info.param.name); });

// Unplugged in Upgrade Mode before the upgrade begins, the firmware window
// open: the editor says so at once, not when Upgrade Firmware is pressed;
// plugged back in, Connect and the upgrade complete.
TEST_F(PtyUpgrade, UnpluggedBeforeTheUpgradeIsSaidAtOnce) {
    ASSERT_NO_FATAL_FAILURE(PlugIn());
    StartEditor();
    ASSERT_NO_FATAL_FAILURE(ConnectInUpgradeMode());
    formMain->menuStartFirmwareUpgrade->trigger();
    ASSERT_TRUE(formFirmwareUpgrade->isVisible());

    watchdog_.Step("the unplug at idle");
    Unplug();
    EXPECT_TRUE(QTest::qWaitFor([] { return !DeviceConnected; }, 5000));
    QTest::qWait(100);
    ASSERT_EQ(dialogs->messages.size(), 1) << dialogs->messages.join('|').toStdString();
    EXPECT_TRUE(dialogs->messages[0].startsWith(QStringLiteral("The pedal was disconnected (")));
    EXPECT_FALSE(PedalLink::Instance().IsOpen());
    EXPECT_TRUE(formMain->menuConnect->isEnabled());
    EXPECT_FALSE(formMain->menuDisconnect->isEnabled());
    EXPECT_TRUE(formMain->menuFirmwareUpgradeMode->isEnabled());
    // Nothing to upgrade now: pressed anyway, it says so and writes nothing.
    dialogs->messages.clear();
    formFirmwareUpgrade->btnUpgradeFirmware->click();
    EXPECT_EQ(dialogs->messages, QStringList{QStringLiteral(
                                     "No pedal is connected: with Upgrade Mode ticked, use Scan "
                                     "and Connect before upgrading the firmware.")});

    watchdog_.Step("plugging back in and upgrading");
    dialogs->messages.clear();
    ASSERT_NO_FATAL_FAILURE(PlugIn());
    ASSERT_NO_FATAL_FAILURE(ConnectInUpgradeMode());
    ASSERT_NO_FATAL_FAILURE(Upgrade());
    ExpectUpgraded();
}

// Plugged back in, the pedal came up running its effect. A Connect in
// Upgrade Mode cannot tell it from a bootloader the unplug left in the middle
// of a command, and sends the filler once; it must not send it again at every
// later Connect. With the boot button held, the upgrade then completes.
TEST_F(PtyUpgrade, BackRunningItsEffectTheFillerGoesOutOnce) {
    const int resyncWaitMs = BootloaderResyncWaitMs;
    struct Restore {
        int wait;
        ~Restore() {
            BootloaderResyncWaitMs = wait;
            PedalLink::TimeoutCapMs() = 0;
        }
    } restore{resyncWaitMs};
    ASSERT_NO_FATAL_FAILURE(PlugIn());
    StartEditor();
    ASSERT_NO_FATAL_FAILURE(ConnectInUpgradeMode());
    UnplugAtTheSecondBlock(false);
    ASSERT_NO_FATAL_FAILURE(Upgrade());
    ExpectUnpluggedAndSaidOnce();

    watchdog_.Step("the Connects to the running effect");
    ASSERT_NO_FATAL_FAILURE(PlugIn({}));
    // The effect never answers the sync bytes or the filler: no need to wait
    // seconds for each.
    PedalLink::TimeoutCapMs() = 500;
    BootloaderResyncWaitMs = 5;
    const QStringList failed{QStringLiteral("Connection to bootloader failed")};
    auto received = [this] {
        return Command("state").section(QLatin1Char(' '), 2, 2).toULongLong();
    };
    formMain->menuScan->trigger();
    dialogs->messages.clear();
    formMain->menuConnect->trigger();
    EXPECT_EQ(dialogs->messages, failed);
    formMain->menuDisconnect->trigger();
    const auto afterFirst = received();
    EXPECT_GT(afterFirst, 2u) << "two sync bytes and the filler";
    dialogs->messages.clear();
    formMain->menuConnect->trigger();
    EXPECT_EQ(dialogs->messages, failed);
    formMain->menuDisconnect->trigger();
    EXPECT_EQ(received() - afterFirst, 2u) << "the two sync bytes alone";
    dialogs->messages.clear();

    watchdog_.Step("the upgrade with the boot button held");
    ::kill(static_cast<pid_t>(pedalSim.processId()), SIGUSR1);
    // Answered once the program has taken the signal.
    ASSERT_TRUE(Command("state").startsWith(QStringLiteral("state ")));
    ASSERT_NO_FATAL_FAILURE(ConnectInUpgradeMode());
    ASSERT_NO_FATAL_FAILURE(Upgrade());
    ExpectUpgraded();
}

struct FaultCase {
    const char* name;
    QByteArray fault;  // the --commands line that arms it
    QString failure;   // what the message says went wrong
};
void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

const FaultCase kFaults[] = {
    // The bootloader took the command and waits for the address.
    {"GarbageForAWriteCommand", "boot-fault 9 byte 00",
     "the bootloader answered 00 instead of ACK to the Write Memory command for block 2 at "
     "address 08000200."},
    // It waits for the data frame, 258 bytes.
    {"SilenceAfterTheAddressOfABlock", "boot-fault 7 silent",
     "no answer from the bootloader to the address frame for block 1 at address 08000100."},
    // It waits for the count and its complement.
    {"SilenceAfterAReadAddress", "boot-fault 19 silent",
     "no answer from the bootloader to the read address frame for block 1 at address "
     "08000100."},
};

class PtyUpgradeFault : public PtyUpgrade,
                        public ::testing::WithParamInterface<std::tuple<FaultCase, bool>> {};

// A pedal that answers garbage or falls silent in the middle of the upgrade:
// it stops with its message, and the retry, pressed again or after
// Disconnect and Connect, brings the bootloader back in step and completes.
// The bridge hands everything over byte by byte meanwhile.
TEST_P(PtyUpgradeFault, StopsWithItsMessageAndTheRetryCompletes) {
    const auto& [c, reconnect] = GetParam();
    ASSERT_NO_FATAL_FAILURE(PlugIn({"--bootloader", "--pieces", "1", "--piece-gap", "1"}));
    StartEditor();
    ASSERT_NO_FATAL_FAILURE(ConnectInUpgradeMode());
    ASSERT_EQ(Command(c.fault), QStringLiteral("ok"));
    watchdog_.Step("the upgrade the fault stops");
    ASSERT_NO_FATAL_FAILURE(Upgrade());
    EXPECT_EQ(dialogs->messages,
              QStringList{QStringLiteral("Firmware upgrade stopped: ") + c.failure + kRetry});
    ExpectStopped();
    EXPECT_TRUE(DeviceConnected);
    dialogs->messages.clear();

    watchdog_.Step("the retry");
    if (reconnect) {
        formMain->menuDisconnect->trigger();
        ASSERT_NO_FATAL_FAILURE(ConnectInUpgradeMode());
    }
    ASSERT_NO_FATAL_FAILURE(Upgrade());
    ExpectUpgraded();
}

INSTANTIATE_TEST_SUITE_P(Faults, PtyUpgradeFault,
                         ::testing::Combine(::testing::ValuesIn(kFaults), ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "_AfterReconnect" : "_Directly");
                         });

}  // namespace
