// How long the firmware upgrade takes, and how much processor time it uses,
// compared with its floor: the sleeps the exchange asks for, the pause after
// each data byte at its nominal length (platform::PauseNanoseconds, 0.3 ms),
// and the wire time of the read-back (every byte the bootloader sends back for
// the verification has to cross the wire at 11,520 bytes/s). The writes and
// the verification are reported apart. Everything above the floor is the
// editor's own overhead (driver calls, answer waits, logging, sleeps and
// pauses that overrun).
//
// By default the pedal is the virtual one in this process, answering at the
// wire rate. With --pty it is quendle-pedal-sim in its bootloader on a
// pseudo-terminal, reached through the editor's serial-port backend, as a
// real pedal is; the pedal then runs in its own process and its processor
// time is shown on its own.
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
#include "device/Connection.h"
#include "device/D2XXUnit.h"
#include "device/PedalLink.h"
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
    // The pauses before answers run pending events, as in the editor.
    void WaitMs(int milliseconds) override {
        requestedMs += milliseconds;
        real_->WaitMs(milliseconds);
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
    double wireMs = 0;     // the read-back's bytes at the wire rate
};

// The bytes the bootloader sends while an image of this size is read back:
// per read the ACKs of the command, the address and the count, then the data;
// the version record's eight bytes last.
std::int64_t ReadBackBytes(std::int64_t imageBytes) {
    const std::int64_t reads = (imageBytes + 255) / 256 + 1;
    return imageBytes + 8 + 3 * reads;
}

double WireMs(std::int64_t bytes) {
    return static_cast<double>(bytes) * 1000.0 /
           static_cast<double>(sim::VirtualPedal::kWireBytesPerSecond);
}

// The same read-back as the virtual pedal delivers it: its clock counts whole
// milliseconds, so each answer takes its wire time rounded up, a lone ACK a
// whole millisecond. Each read waits for three answers (the bootloader takes
// the next part of a command only after it has acknowledged the last), so
// this is the fastest the read-back can go against this pedal.
double SimulatedReadBackMs(std::int64_t imageBytes) {
    auto answerMs = [](std::int64_t bytes) {
        const std::int64_t rate = sim::VirtualPedal::kWireBytesPerSecond;
        return static_cast<double>((bytes * 1000 + rate - 1) / rate);
    };
    double ms = 0;
    for (std::int64_t at = 0; at < imageBytes; at += 256)
        ms += 2 * answerMs(1) + answerMs(std::min<std::int64_t>(256, imageBytes - at) + 1);
    return ms + 2 * answerMs(1) + answerMs(8 + 1);
}

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
sim::VirtualPedal& ConnectToBootloader(bool paced) {
    auto owned = std::make_unique<sim::VirtualPedalDriver>();
    sim::VirtualPedal& pedal = owned->AddDevice("QMK3BENCH");
    ftd::InstallDriver(std::move(owned));
    pedal.SetWirePaced(paced);
    pedal.EnterBootloader();
    PedalLink::Instance().Reset();
    if (PedalLink::Instance().Open(QStringLiteral("QMK3BENCH")) != ftd::FT_OK) std::exit(2);
    FirmwareUpgradeMode = true;
    if (!SynchroniseWithBootloader().ready) std::exit(2);
    return pedal;
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
    SetLinkSettings();
    PedalLink::Instance().Reset();
    if (PedalLink::Instance().Open(path) != ftd::FT_OK) std::exit(2);
    FirmwareUpgradeMode = true;
    if (!SynchroniseWithBootloader().ready) {
        std::fprintf(stderr, "no answer from the pedal's bootloader on %s\n", qPrintable(path));
        std::exit(2);
    }
}

struct Phases {
    double eraseMs = 0, blocksMs = 0, recordMs = 0, verifyMs = 0, restMs = 0;
    Totals erase, blocks, record, verify, rest;
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
            a.busyMs - b.busyMs, a.wireMs - b.wireMs};
}

// The upgrade as the window runs it, without the message box the user closes.
Phases RunUpgrade(const QByteArray& image, const MeasuringClock* clock,
                  const platform::CountingClock* counting) {
    // The window holds the link for the whole upgrade; so does the bench.
    const PedalLink::Hold hold(PedalLink::Instance(), QStringLiteral("the firmware upgrade"));
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
    lap(phases.recordMs, phases.record);
    VerifyFirmwareBlocks({});
    VerifyVersionRecord(kVersion);
    lap(phases.verifyMs, phases.verify);
    phases.verify.wireMs = WireMs(ReadBackBytes(image.size()));
    platform::WaitMs(2000);
    SendGoCommand();
    lap(phases.restMs, phases.rest);
    return phases;
}

// Sleeps as asked for, the pauses at their nominal length, and the
// read-back's wire time.
double Floor(const Totals& t) {
    return static_cast<double>(t.requestedMs) + t.nominalMs + t.wireMs;
}

Totals Sum(const Phases& p) {
    Totals sum;
    for (const Totals* t : {&p.erase, &p.blocks, &p.record, &p.verify, &p.rest}) {
        sum.requestedMs += t->requestedMs;
        sum.busyPauses += t->busyPauses;
        sum.nominalMs += t->nominalMs;
        sum.busyMs += t->busyMs;
        sum.wireMs += t->wireMs;
    }
    return sum;
}

void Report(const char* what, double measuredMs, const Totals& t) {
    std::printf(
        "  %-16s measured %8.3f s   floor %8.3f s (sleeps %7.3f s + %5lld pauses "
        "%7.3f s + wire %6.3f s)   ratio %.4f\n",
        what, measuredMs / 1000, Floor(t) / 1000, static_cast<double>(t.requestedMs) / 1000,
        static_cast<long long>(t.busyPauses), t.nominalMs / 1000, t.wireMs / 1000,
        measuredMs / Floor(t));
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
    PedalLink::Instance().Close();

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
    PedalLink::Instance().Close();
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
    const int runBlocks = static_cast<int>((run.size() + 255) / 256);
    std::printf("\n%s: %d blocks, %lld bytes\n",
                full ? "measured: the whole upgrade" : "measured: the first blocks of the image",
                runBlocks, static_cast<long long>(run.size()));
    Report("erase", measured.eraseMs, measured.erase);
    Report("block writes", measured.blocksMs, measured.blocks);
    Report("version record", measured.recordMs, measured.record);
    Totals write = measured.erase;
    for (const Totals* t : {&measured.blocks, &measured.record}) {
        write.requestedMs += t->requestedMs;
        write.busyPauses += t->busyPauses;
        write.nominalMs += t->nominalMs;
        write.busyMs += t->busyMs;
    }
    const double writeMs = measured.eraseMs + measured.blocksMs + measured.recordMs;
    Report("write phase", writeMs, write);
    Report("verify phase", measured.verifyMs, measured.verify);
    if (!overPty) {
        const double simulatedMs = SimulatedReadBackMs(run.size());
        std::printf(
            "  %-16s against the virtual pedal's own delivery (whole ms per answer): floor "
            "%6.3f s   ratio %.4f\n",
            "", simulatedMs / 1000, measured.verifyMs / simulatedMs);
    }
    Report("2 s, Go", measured.restMs, measured.rest);
    const double totalMs = writeMs + measured.verifyMs + measured.restMs;
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
        // The whole upgrade's floor: its exact sleeps, pause count and
        // read-back. Its duration and processor time: the measured fixed parts
        // and the measured cost per block, the last, shorter block counted by
        // its share of bytes.
        counts = Sum(dry);
        const double perBlockMs = measured.blocksMs / runBlocks;
        // The version record's read is part of the measured verification, so
        // the per-block cost slightly overstates it.
        const double perVerifiedBlockMs = measured.verifyMs / runBlocks;
        const double blocksShare = static_cast<double>(image.size()) / 256.0 / runBlocks;
        durationMs = measured.eraseMs + measured.recordMs + measured.restMs +
                     (measured.blocksMs + measured.verifyMs) * blocksShare;
        // Processor time is spent almost all in the block writes and reads.
        wholeProcessorMs = processorMs * blocksShare;
        std::printf(
            "\nwhole upgrade estimate by phase: write %.3f s, verify %.3f s (its wire time "
            "%.3f s)\n",
            (measured.eraseMs + measured.recordMs + measured.blocksMs * blocksShare) / 1000,
            measured.verifyMs * blocksShare / 1000, counts.wireMs / 1000);
        std::printf(
            "\nwhole upgrade, %d blocks: NOT run (--full runs it), estimated from the "
            "blocks above (%.3f ms each, %.3f ms to verify)\n",
            imageBlocks, perBlockMs, perVerifiedBlockMs);
        std::printf(
            "  %-16s estimate %8.3f s   floor %8.3f s (sleeps %7.3f s + %5lld pauses "
            "%7.3f s + wire %6.3f s)   ratio %.4f\n",
            "total", durationMs / 1000, Floor(counts) / 1000,
            static_cast<double>(counts.requestedMs) / 1000,
            static_cast<long long>(counts.busyPauses), counts.nominalMs / 1000,
            counts.wireMs / 1000, durationMs / Floor(counts));
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
