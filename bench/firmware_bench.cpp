// How long the firmware upgrade takes, and how much processor time it uses,
// compared with its floor: the sleeps the exchange asks for plus the pause
// after each data byte at its nominal length (platform::PauseNanoseconds,
// 0.3 ms). Everything above the floor is the editor's own overhead (driver
// calls, reply waits, logging, sleeps and pauses that overrun).
//
// By default the pedal is the virtual one in this process, answering at the
// wire rate (11,520 bytes/s). With --pty it is quendle-pedal-sim in its
// bootloader on a pseudo-terminal, reached through the editor's serial-port
// backend, as a real pedal is; the pedal then runs in its own process and
// its processor time is shown on its own.
//
// The run writes the first blocks of the image and estimates the whole
// upgrade from them; --full runs all of it, --blocks N sets the prefix.
//
//   quendle-firmware-bench [--blocks N | --full] [--pty [PEDAL-SIM]]
//
// Goals: the upgrade at most 1.10 times its floor, and under 30% of a core
// of processor time on average.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

#include "device/Communication.h"
#include "device/D2XXUnit.h"
#include "device/SerialPortDriver.h"
#include "firmware/Bootloader.h"
#include "platform/Console.h"
#include "platform/Dialogs.h"
#include "platform/Resources.h"
#include "platform/Time.h"
#include "sim/VirtualPedalDriver.h"

namespace {

constexpr int kDefaultBlocks = 16;
constexpr int kVersion = 4;
constexpr double kTimeGoal = 1.10;
constexpr double kProcessorGoal = 0.30;

// The editor's own clock, keeping account of what was asked of it and of how
// long each pause took.
class MeasuringClock : public platform::Clock {
public:
    void SleepMs(int milliseconds) override {
        requestedMs += milliseconds;
        real_->SleepMs(milliseconds);
    }
    void BusyPause(std::uint64_t iterations) override {
        ++busyPauses;
        nominalNs += platform::PauseNanoseconds(iterations);
        QElapsedTimer timer;
        timer.start();
        real_->BusyPause(iterations);
        const std::int64_t ns = timer.nsecsElapsed();
        busyNs += ns;
        pauseNs.push_back(ns);
    }
    std::int64_t requestedMs = 0;
    std::int64_t busyPauses = 0;
    std::int64_t nominalNs = 0;  // the pauses at their nominal length
    std::int64_t busyNs = 0;     // as they took
    std::vector<std::int64_t> pauseNs;

private:
    std::unique_ptr<platform::Clock> real_ = platform::MakeRealClock();
};

double QuantileMs(std::vector<std::int64_t> ns, double q) {
    if (ns.empty()) return 0;
    const auto at = static_cast<std::size_t>(q * static_cast<double>(ns.size() - 1));
    std::nth_element(ns.begin(), ns.begin() + static_cast<std::ptrdiff_t>(at), ns.end());
    return static_cast<double>(ns[at]) / 1e6;
}

// Processor time of this process (user + system), in milliseconds.
double ProcessorMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// Processor time of another process so far, from /proc, in milliseconds.
double ProcessorMsOf(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return 0;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13) return 0;
    const double ticks = fields[11].toDouble() + fields[12].toDouble();  // utime, stime
    return ticks * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

struct Totals {
    std::int64_t requestedMs = 0;
    std::int64_t busyPauses = 0;
    double nominalMs = 0;  // the pauses at their nominal length
    double busyMs = 0;     // as they took
};

QByteArray FirmwareImage(bool& builtIn) {
    if (auto image = platform::FindResource(QStringLiteral("FIRMWARE_4"))) {
        builtIn = true;
        return *image;
    }
    // Until the image resource is built in: the same size, varied bytes.
    builtIn = false;
    QByteArray image(53704, '\0');
    std::uint32_t state = 0x2545F491u;
    for (char& c : image) {
        state = state * 1664525u + 1013904223u;
        c = static_cast<char>(state >> 24);
    }
    return image;
}

// A fresh virtual pedal in its bootloader, opened and synchronised.
void ConnectToBootloader(bool paced) {
    auto owned = std::make_unique<sim::VirtualPedalDriver>();
    sim::VirtualPedal& pedal = owned->AddDevice("QMK3BENCH");
    ftd::InstallDriver(std::move(owned));
    pedal.SetWirePaced(paced);
    pedal.EnterBootloader();
    if (Open_USB_Device_By_Serial_Number(QStringLiteral("QMK3BENCH")) != ftd::FT_OK) std::exit(2);
    FirmwareUpgradeMode = true;
    OutBuffer[0] = 0x7F;
    WriteFTDevice(1);
    if (ReadReplyText(1000) != QStringLiteral("79")) std::exit(2);
}

// quendle-pedal-sim in its bootloader on a pseudo-terminal, through the
// editor's serial-port backend, opened and synchronised.
void ConnectOverPty(QProcess& pedalSim, const QString& program) {
    pedalSim.start(program, {QStringLiteral("--bootloader"), QStringLiteral("--paced")});
    if (!pedalSim.waitForStarted(5000)) {
        std::fprintf(stderr, "%s could not be started\n", qPrintable(program));
        std::exit(2);
    }
    while (!pedalSim.canReadLine())
        if (!pedalSim.waitForReadyRead(5000)) std::exit(2);
    const QString path = QString::fromLocal8Bit(pedalSim.readLine()).trimmed();
    ftd::InstallDriver(std::make_unique<SerialPortDriver>(QStringList{path}));
    if (Open_USB_Device_By_Serial_Number(path) != ftd::FT_OK) std::exit(2);
    SetLinkSettings();
    SetFTBaudRate();
    SetFTDataCharacteristics();
    FirmwareUpgradeMode = true;
    OutBuffer[0] = 0x7F;
    WriteFTDevice(1);
    if (ReadReplyText(1000) != QStringLiteral("79")) {
        std::fprintf(stderr, "no answer from the pedal's bootloader on %s\n", qPrintable(path));
        std::exit(2);
    }
}

struct Phases {
    double eraseMs = 0, blocksMs = 0, restMs = 0;
    Totals erase, blocks, rest;
};

Totals Snapshot(const MeasuringClock* clock, const platform::CountingClock* counting) {
    if (clock)
        return {clock->requestedMs, clock->busyPauses, static_cast<double>(clock->nominalNs) / 1e6,
                static_cast<double>(clock->busyNs) / 1e6};
    return {counting->totalSleepMs, static_cast<std::int64_t>(counting->busyPauses),
            static_cast<double>(platform::PauseNanoseconds(counting->busyIterations)) / 1e6, 0};
}

Totals Minus(const Totals& a, const Totals& b) {
    return {a.requestedMs - b.requestedMs, a.busyPauses - b.busyPauses, a.nominalMs - b.nominalMs,
            a.busyMs - b.busyMs};
}

// The upgrade as the window runs it, without the message box the user closes.
Phases RunUpgrade(const QByteArray& image, const MeasuringClock* clock,
                  const platform::CountingClock* counting) {
    FirmwareSize = static_cast<std::int32_t>(image.size());
    FirmwareHexText = BytesToHex(image);
    CheckFirmwareImage();
    SplitFirmwareImage();
    Phases phases;
    QElapsedTimer timer;
    timer.start();
    Totals mark = Snapshot(clock, counting);
    auto lap = [&](double& ms, Totals& totals) {
        ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        timer.restart();
        const Totals now = Snapshot(clock, counting);
        totals = Minus(now, mark);
        mark = now;
    };
    SendEraseCommand();
    lap(phases.eraseMs, phases.erase);
    WriteFirmwareBlocks({});
    lap(phases.blocksMs, phases.blocks);
    WriteVersionRecord(kVersion);
    platform::SleepMs(2000);
    SendGoCommand();
    lap(phases.restMs, phases.rest);
    return phases;
}

// Sleeps as asked for, plus the pauses at their nominal length.
double Floor(const Totals& t) {
    return static_cast<double>(t.requestedMs) + t.nominalMs;
}

Totals Sum(const Phases& p) {
    return {p.erase.requestedMs + p.blocks.requestedMs + p.rest.requestedMs,
            p.erase.busyPauses + p.blocks.busyPauses + p.rest.busyPauses,
            p.erase.nominalMs + p.blocks.nominalMs + p.rest.nominalMs,
            p.erase.busyMs + p.blocks.busyMs + p.rest.busyMs};
}

void Report(const char* what, double measuredMs, const Totals& t) {
    std::printf(
        "  %-16s measured %8.3f s   floor %8.3f s (sleeps %7.3f s + %5lld pauses %7.3f s)   "
        "ratio %.4f\n",
        what, measuredMs / 1000, Floor(t) / 1000, static_cast<double>(t.requestedMs) / 1000,
        static_cast<long long>(t.busyPauses), t.nominalMs / 1000, measuredMs / Floor(t));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int blocks = kDefaultBlocks;
    bool full = false;
    bool overPty = false;
    QString pedalSimProgram = QStringLiteral(QUENDLE_PEDAL_SIM_PATH);
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--full") == 0) {
            full = true;
        } else if (std::strcmp(argv[i], "--blocks") == 0 && i + 1 < argc) {
            blocks = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--pty") == 0) {
            overPty = true;
            if (i + 1 < argc && argv[i + 1][0] != '-')
                pedalSimProgram = QString::fromLocal8Bit(argv[++i]);
        } else {
            std::fprintf(
                stderr,
                "usage: quendle-firmware-bench [--blocks N | --full] [--pty [PEDAL-SIM]]\n");
            return 1;
        }
    }
    platform::InstallRecordingDialogs();
    // The log is not the subject here; it is produced and dropped.
    platform::SetConsoleSink([](const QString&, platform::Scroll) {});

    bool builtIn = false;
    const QByteArray image = FirmwareImage(builtIn);
    const int imageBlocks = static_cast<int>((image.size() + 255) / 256);
    if (full || blocks >= imageBlocks) full = true;
    const QByteArray run = full ? image : image.left(256 * blocks);

    std::printf("Firmware upgrade against %s, replies paced at 11,520 bytes/s\n",
                overPty ? "quendle-pedal-sim on a pseudo-terminal (the serial-port backend)"
                        : "the virtual pedal in this process");
    std::printf("image: %lld bytes, %d blocks (%s)\n", static_cast<long long>(image.size()),
                imageBlocks, builtIn ? "built-in FIRMWARE_4" : "generated stand-in of its size");

    // The exact sleeps and pause counts of the whole upgrade, from a run with
    // a counting clock against a pedal that answers at once.
    platform::CountingClock& counting = platform::InstallCountingClock();
    ConnectToBootloader(false);
    const Phases dry = RunUpgrade(image, nullptr, &counting);
    CloseFTDevice();

    auto owned = std::make_unique<MeasuringClock>();
    MeasuringClock* clock = owned.get();
    platform::InstallClock(std::move(owned));
    QProcess pedalSim;
    if (overPty)
        ConnectOverPty(pedalSim, pedalSimProgram);
    else
        ConnectToBootloader(true);
    const double processorBefore = ProcessorMs();
    const double pedalBefore = overPty ? ProcessorMsOf(pedalSim.processId()) : 0;
    const Phases measured = RunUpgrade(run, clock, nullptr);
    const double processorMs = ProcessorMs() - processorBefore;
    const double pedalMs = overPty ? ProcessorMsOf(pedalSim.processId()) - pedalBefore : 0;
    CloseFTDevice();
    if (overPty) {
        pedalSim.terminate();
        pedalSim.waitForFinished(5000);
    }

    const Totals total = Sum(measured);
    const double nominal =
        static_cast<double>(platform::PauseNanoseconds(kDataBytePauseIterations)) / 1e6;
    std::printf(
        "pause after each data byte: nominal %.3f ms; as it ran: mean %.4f ms, median %.4f ms, "
        "90%% %.4f ms, 99%% %.4f ms, longest %.3f ms\n",
        nominal, total.busyMs / static_cast<double>(std::max<std::int64_t>(1, total.busyPauses)),
        QuantileMs(clock->pauseNs, 0.5), QuantileMs(clock->pauseNs, 0.9),
        QuantileMs(clock->pauseNs, 0.99), QuantileMs(clock->pauseNs, 1.0));
    {
        // The empty loop of the same count of turns, as the pause once was,
        // timed here and now for comparison.
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < 8; ++i) platform::SpinIterations(kDataBytePauseIterations);
        std::printf("  (the empty loop of %llu turns the pause once was takes %.3f ms here now)\n",
                    static_cast<unsigned long long>(kDataBytePauseIterations),
                    static_cast<double>(timer.nsecsElapsed()) / 8e6);
    }
    const int runBlocks = static_cast<int>((run.size() + 255) / 256);
    std::printf("\n%s: %d blocks, %lld bytes\n",
                full ? "measured: the whole upgrade" : "measured: the first blocks of the image",
                runBlocks, static_cast<long long>(run.size()));
    Report("erase", measured.eraseMs, measured.erase);
    Report("block writes", measured.blocksMs, measured.blocks);
    Report("record, 2 s, Go", measured.restMs, measured.rest);
    const double totalMs = measured.eraseMs + measured.blocksMs + measured.restMs;
    Report("total", totalMs, total);
    std::printf("  processor time: %.3f s, %.1f%% of one core on average%s\n", processorMs / 1000,
                100 * processorMs / totalMs,
                overPty ? " (the editor's side)" : " (editor and virtual pedal)");
    if (overPty)
        std::printf("  the pedal's process: %.3f s, %.1f%% of one core\n", pedalMs / 1000,
                    100 * pedalMs / totalMs);

    // What the figures below speak for: the run itself, or the whole upgrade
    // estimated from it.
    double durationMs = totalMs;
    double wholeProcessorMs = processorMs;
    Totals counts = total;
    if (!full) {
        // The whole upgrade's floor: its exact sleeps and pause count. Its
        // duration and processor time: the measured fixed parts and the
        // measured cost per block, the last, shorter block counted by its
        // share of bytes.
        counts = Sum(dry);
        const double perBlockMs = measured.blocksMs / runBlocks;
        const double blocksShare = static_cast<double>(image.size()) / 256.0 / runBlocks;
        durationMs = measured.eraseMs + measured.restMs + measured.blocksMs * blocksShare;
        // Processor time is spent almost all in the block writes.
        wholeProcessorMs = processorMs * blocksShare;
        std::printf(
            "\nwhole upgrade, %d blocks: NOT run (--full runs it), estimated from the "
            "blocks above (%.3f ms each)\n",
            imageBlocks, perBlockMs);
        std::printf(
            "  %-16s estimate %8.3f s   floor %8.3f s (sleeps %7.3f s + %5lld pauses %7.3f s)   "
            "ratio %.4f\n",
            "total", durationMs / 1000, Floor(counts) / 1000,
            static_cast<double>(counts.requestedMs) / 1000,
            static_cast<long long>(counts.busyPauses), counts.nominalMs / 1000,
            durationMs / Floor(counts));
    }
    const double ratio = durationMs / Floor(counts);
    const double share = wholeProcessorMs / durationMs;
    std::printf("\ntarget ratio <= %.2f: %s (%.4f, %s)\n", kTimeGoal,
                ratio <= kTimeGoal ? "met" : "NOT met", ratio,
                full ? "measured" : "estimated for the whole upgrade");
    std::printf("target processor time < %.0f%% of a core: %s (%.1f%%)\n", kProcessorGoal * 100,
                share < kProcessorGoal ? "met" : "NOT met", 100 * share);
    return 0;
}
