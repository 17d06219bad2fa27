// The real serial code path end to end: the editor's serial-port backend,
// given the pseudo-terminal of quendle-pedal-sim as --port would give it,
// connects, asks the pedal who it is and disconnects; and what a real port
// does besides: silence, an unplug during a wait and between exchanges, a
// port held by another program, a device that sends when nobody asked.

#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSerialPort>
#include <QTest>
#include <thread>

#include <fcntl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <QTimer>
#include "app/TformMain.h"
#include "device/Communication.h"
#include "device/Connection.h"
#include "device/D2XXUnit.h"
#include "device/PedalLink.h"
#include "device/SerialPortDriver.h"
#include "effects/EditHistory.h"
#include "effects/PedalModel.h"
#include "effects/TformFXsettings.h"
#include "tests/link/LinkSupport.h"
#include "tests/link/PedalSimFixture.h"

namespace {

using namespace linktest;

// Processor time this process has used, in milliseconds.
double ProcessCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

// A bare pseudo-terminal: the test is the device at its far end (master).
struct RawTerminal {
    RawTerminal() {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return;
        path = QString::fromLocal8Bit(ptsname(master));
        // Held open, in raw mode, so that the terminal lives and stays raw
        // whoever opens and closes it.
        keep = open(ptsname(master), O_RDWR | O_NOCTTY);
        termios raw{};
        tcgetattr(keep, &raw);
        cfmakeraw(&raw);
        tcsetattr(keep, TCSANOW, &raw);
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    }
    ~RawTerminal() {
        if (keep >= 0) close(keep);
        if (master >= 0) close(master);
    }
    bool ok() const { return master >= 0 && keep >= 0; }
    int master = -1;
    int keep = -1;
    QString path;
};

// Cases show their names in test listings.
template <class Case>
auto operator<<(std::ostream& os, const Case& c) -> decltype(c.name, os) {
    return os << c.name;
}

struct PtyCase {
    const char* name;
    QStringList options;
};

using PtyFaults = PedalSimFixture;

class PtyRoundTrip : public PtyFaults, public ::testing::WithParamInterface<PtyCase> {};

TEST_P(PtyRoundTrip, ConnectRequestDisconnectOverThePseudoTerminal) {
    const QString path =
        StartPedalSim(QStringList{"--firmware-version", "12", "--verbose"} + GetParam().options);
    ASSERT_TRUE(path.startsWith('/')) << path.toStdString();
    ConsoleRecorder console;
    const QString listed = formMain->lblDeviceName->text();
    EXPECT_EQ(DeviceSerialNumber, path);

    formMain->menuConnect->trigger();
    ASSERT_EQ(dialogs->messages, QStringList{});
    EXPECT_EQ(formMain->lblDeviceName->text(), listed + " connected");
    EXPECT_TRUE(DeviceConnected);
    EXPECT_TRUE(formMain->btnRequest->isEnabled());

    QTest::mouseClick(formMain->btnRequest, Qt::LeftButton);
    EXPECT_EQ(dialogs->messages, QStringList{});
    EXPECT_EQ(formMain->lblFirmwareVersion->text(), "Firmware Version: 0C");
    EXPECT_EQ(AlgorithmVersion, "0008");
    EXPECT_EQ(EffectNumber, "01");
    EXPECT_EQ(ReplyValues.size(), 81u);
    EXPECT_TRUE(console.Texts().contains("num of bytes received: 81"));
    EXPECT_FALSE(console.Texts().join('\n').contains("read-back skipped"));
    EXPECT_TRUE(formMain->btnAssign->isEnabled());

    formMain->menuDisconnect->trigger();
    EXPECT_EQ(dialogs->messages, QStringList{});
    EXPECT_EQ(formMain->lblDeviceName->text(), listed + " ");
    EXPECT_FALSE(DeviceConnected);
    EXPECT_FALSE(formMain->btnRequest->isEnabled());

    // The pedal got exactly the request, in one piece.
    pedalSim.terminate();
    ASSERT_TRUE(pedalSim.waitForFinished(5000));
    const QString log = QString::fromLocal8Bit(pedalSim.readAllStandardError());
    EXPECT_TRUE(log.contains("received 2: 02 00")) << log.toStdString();
    EXPECT_EQ(log.count("received"), 1) << log.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Delivery, PtyRoundTrip,
                         ::testing::Values(PtyCase{"AtOnce", {}},
                                           // The answer trickles in at 115,200 baud.
                                           PtyCase{"AtWireRate", {"--paced"}},
                                           // A busy bridge hands it over in pieces.
                                           PtyCase{"PiecesOf8Every30ms",
                                                   {"--pieces", "8", "--piece-gap", "30"}}),
                         [](const auto& info) { return std::string(info.param.name); });

// A pedal that never answers, then one that goes away in the middle of a
// wait: the editor says so once and ends up disconnected, ready to connect.
TEST_F(PtyFaults, SilenceThenUnplugOverThePseudoTerminal) {
    const QString path = StartPedalSim({"--silent"});
    ASSERT_FALSE(path.isEmpty());
    PedalLink::TimeoutCapMs() = 300;
    formMain->menuConnect->trigger();
    ASSERT_TRUE(DeviceConnected);

    QTest::mouseClick(formMain->btnRequest, Qt::LeftButton);
    EXPECT_EQ(dialogs->messages, QStringList{"The pedal did not answer."});
    EXPECT_TRUE(formMain->btnRequest->isEnabled());
    EXPECT_FALSE(formMain->btnAssign->isEnabled());
    EXPECT_TRUE(ReplyValues.empty());

    dialogs->messages.clear();
    PedalLink::TimeoutCapMs() = 5000;
    QTimer::singleShot(100, formMain, [this] { pedalSim.kill(); });
    QTest::mouseClick(formMain->btnRequest, Qt::LeftButton);
    ASSERT_EQ(dialogs->messages.size(), 1) << dialogs->messages.join('|').toStdString();
    EXPECT_TRUE(dialogs->messages[0].startsWith("The pedal was disconnected ("));
    EXPECT_FALSE(DeviceConnected);
    EXPECT_FALSE(formMain->lblDeviceName->text().contains("connected"));
    EXPECT_FALSE(formMain->btnRequest->isEnabled());
    EXPECT_TRUE(formMain->menuConnect->isEnabled());
}

// The port held by another program (a serial terminal, a second editor):
// Connect fails with the driver's message, the console keeps the system's
// reason, and Connect works once the other program lets go.
TEST_F(PtyFaults, APortHeldByAnotherProgramSaysWhyInTheConsole) {
    const QString path = StartPedalSim({});
    ASSERT_FALSE(path.isEmpty());
    auto other = std::make_unique<QSerialPort>(path);
    ASSERT_TRUE(other->open(QIODevice::ReadWrite)) << other->errorString().toStdString();
    ConsoleRecorder console;

    formMain->menuConnect->trigger();
    EXPECT_EQ(dialogs->messages,
              QStringList{"Open_USB_Device_By_Serial_Number - Device not opened..."});
    EXPECT_FALSE(DeviceConnected);
    EXPECT_FALSE(formMain->btnRequest->isEnabled());
    const QStringList reasons = console.Texts().filter("cannot open " + path + ": ");
    ASSERT_EQ(reasons.size(), 1) << console.Texts().join('|').toStdString();
    EXPECT_GT(reasons[0].size(), QString("cannot open " + path + ": ").size());

    other.reset();
    dialogs->messages.clear();
    formMain->menuConnect->trigger();
    EXPECT_EQ(dialogs->messages, QStringList{});
    EXPECT_TRUE(DeviceConnected);
    QTest::mouseClick(formMain->btnRequest, Qt::LeftButton);
    EXPECT_EQ(dialogs->messages, QStringList{});
    EXPECT_EQ(ReplyValues.size(), 81u);
}

// The pedal unplugged while the editor is connected and idle (its terminal
// hangs up): the windows show it at once, with one box, not at the next
// click; Connect is offered again.
TEST_F(PtyFaults, AnUnplugBetweenExchangesIsShownAtOnce) {
    ASSERT_FALSE(StartPedalSim({}).isEmpty());
    formMain->menuConnect->trigger();
    QTest::mouseClick(formMain->btnRequest, Qt::LeftButton);
    ASSERT_EQ(dialogs->messages, QStringList{});
    ASSERT_TRUE(DeviceConnected);

    pedalSim.kill();
    ASSERT_TRUE(pedalSim.waitForFinished(5000));
    EXPECT_TRUE(QTest::qWaitFor([] { return !DeviceConnected; }, 5000));
    QTest::qWait(200);
    ASSERT_EQ(dialogs->messages.size(), 1) << dialogs->messages.join('|').toStdString();
    EXPECT_TRUE(dialogs->messages[0].startsWith("The pedal was disconnected ("));
    EXPECT_FALSE(PedalLink::Instance().IsOpen());
    EXPECT_FALSE(formMain->lblDeviceName->text().contains("connected"));
    EXPECT_FALSE(formMain->btnRequest->isEnabled());
    EXPECT_TRUE(formMain->menuConnect->isEnabled());
}

// Connected and idle, the device sends a few bytes (the late rest of an
// answer given up on, say): the editor stays connected and idle, not busy
// looking at the port again and again.
TEST_F(PtyFaults, BytesBetweenExchangesKeepNoCoreBusy) {
    RawTerminal terminal;
    ASSERT_TRUE(terminal.ok());
    StartOnPort(terminal.path);
    formMain->menuConnect->trigger();
    ASSERT_EQ(dialogs->messages, QStringList{});
    ASSERT_TRUE(DeviceConnected);

    ASSERT_EQ(write(terminal.master, "12\r\n", 4), 4);
    const double before = ProcessCpuMs();
    QTest::qWait(1000);
    EXPECT_LT(ProcessCpuMs() - before, 500.0);
    EXPECT_TRUE(DeviceConnected);
    EXPECT_TRUE(PedalLink::Instance().IsOpen());
    EXPECT_EQ(dialogs->messages, QStringList{});
}

// The serial backend alone, nobody watching the port: a terminal that hung
// up is not read again and again (that kept a core busy until the next
// call), and that next call finds the device gone.
TEST_F(PtyFaults, AHungUpPortDoesNotKeepACoreBusy) {
    const QString path = LaunchPedalSim({});
    ASSERT_FALSE(path.isEmpty());
    SerialPortDriver serial(QStringList{path});
    std::uint32_t count = 0;
    ASSERT_EQ(serial.ListDeviceCount(count), ftd::FT_OK);
    ftd::FT_HANDLE handle = 0;
    ASSERT_EQ(serial.OpenBySerialNumber(path.toLocal8Bit().constData(), handle), ftd::FT_OK);

    pedalSim.kill();
    ASSERT_TRUE(pedalSim.waitForFinished(5000));
    const double before = ProcessCpuMs();
    QTest::qWait(1000);
    // Reading a hung-up terminal without end takes the whole second.
    EXPECT_LT(ProcessCpuMs() - before, 500.0);
    std::uint32_t waiting = 0;
    EXPECT_EQ(serial.GetQueueStatus(handle, waiting), ftd::FT_IO_ERROR);
    EXPECT_EQ(serial.Close(handle), ftd::FT_OK);
}

// A device on the port that never stops sending (not the pedal, or a
// pedal gone wrong) while the editor is connected and idle: what it sends is
// not piled up in memory without end, and once the receive side is emptied
// an answer is read as usual.
TEST(SerialBackend, ADeviceThatNeverStopsSendingIsNotPiledUpInMemory) {
    RawTerminal terminal;
    ASSERT_TRUE(terminal.ok());
    const QString path = terminal.path;
    const int master = terminal.master;

    SerialPortDriver serial(QStringList{path});
    std::uint32_t count = 0;
    ASSERT_EQ(serial.ListDeviceCount(count), ftd::FT_OK);
    ftd::FT_HANDLE handle = 0;
    ASSERT_EQ(serial.OpenBySerialNumber(path.toLocal8Bit().constData(), handle), ftd::FT_OK);

    const QByteArray noise(4096, 'x');
    qint64 sent = 0;
    QElapsedTimer streaming;
    streaming.start();
    while (streaming.elapsed() < 3000 && sent < 8 * 1024 * 1024) {
        const ssize_t n = write(master, noise.constData(), static_cast<size_t>(noise.size()));
        if (n > 0) sent += n;
        QCoreApplication::processEvents();
    }
    std::uint32_t waiting = 0;
    ASSERT_EQ(serial.GetQueueStatus(handle, waiting), ftd::FT_OK);
    EXPECT_LE(waiting, 1024u * 1024u);

    ASSERT_EQ(serial.Purge(handle, ftd::FT_PURGE_RX), ftd::FT_OK);
    ASSERT_EQ(write(master, "12\r\n", 4), 4);
    QByteArray answer;
    QElapsedTimer reading;
    reading.start();
    while (answer.size() < 4 && reading.elapsed() < 3000) {
        ASSERT_EQ(serial.GetQueueStatus(handle, waiting), ftd::FT_OK);
        if (waiting > 0) {
            char buffer[64];
            std::uint32_t got = 0;
            ASSERT_EQ(serial.Read(handle, buffer, std::min<std::uint32_t>(waiting, 64), got),
                      ftd::FT_OK);
            answer.append(buffer, static_cast<qsizetype>(got));
        }
        QTest::qWait(5);
    }
    EXPECT_EQ(answer.right(4), QByteArray("12\r\n"));
    EXPECT_EQ(serial.Close(handle), ftd::FT_OK);
}

// A guitarist's round over the real serial path: the pedal backed up, a knob
// turned, saved as a preset and undone, the preset loaded, and the backup
// restored and checked against what the pedal then reports.
TEST_F(PtyFaults, PresetUndoBackupAndRestoreOverThePseudoTerminal) {
    ASSERT_FALSE(StartPedalSim({}).isEmpty());
    formMain->menuConnect->trigger();
    formMain->lstEffects->setCurrentRow(0);
    formMain->effetto_cliccato();
    QTest::mouseClick(formMain->btnRequest, Qt::LeftButton);
    ASSERT_EQ(dialogs->messages, QStringList{});
    const std::uint32_t original = Model().Value(SlotDry);

    const QString backup = documents.filePath("VORKEL/Quendle MK3/pty.json");
    dialogs->fileNames.push_back(backup);
    formMain->menuBackUpPedal->trigger();
    formFXsettings->dialDry->setAngle(100);
    const std::uint32_t turned = Model().Value(SlotDry);
    ASSERT_NE(turned, original);
    const QString preset = documents.filePath("VORKEL/Quendle MK3/Preset/pty.txt");
    dialogs->fileNames.push_back(preset);
    formMain->menuSavePreset->trigger();
    EditHistory::Instance().UndoAction()->trigger();
    EXPECT_EQ(Model().Value(SlotDry), original);
    dialogs->fileNames.push_back(preset);
    formMain->menuLoadPreset->trigger();

    // What the pedal reports is what the preset holds. (A Request purges the
    // transmit side, so it comes a moment later, as a player's click would.)
    QTest::qWait(100);
    QTest::mouseClick(formMain->btnRequest, Qt::LeftButton);
    EXPECT_EQ(Model().Value(SlotDry), turned);
    dialogs->messages.clear();
    dialogs->fileNames.push_back(backup);
    formMain->menuRestorePedal->trigger();
    EXPECT_EQ(dialogs->messages, QStringList{"The pedal now holds the settings of \"pty.json\"."});
    EXPECT_EQ(Model().Value(SlotDry), original);
}

}  // namespace
