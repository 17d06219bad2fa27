// The link's costs: how much CPU a wait for a silent pedal burns, how long a
// reply takes from its arrival to ReplyValues, and what decoding costs. The
// figures are printed as counters; nothing here passes or fails.

#include <benchmark/benchmark.h>
#include <time.h>

#include <QApplication>
#include <QProcess>
#include <chrono>
#include <string>

#include "device/Communication.h"
#include "device/D2XXUnit.h"
#include "device/SerialPortDriver.h"
#include "platform/Console.h"
#include "platform/Dialogs.h"
#include "sim/VirtualPedalDriver.h"

namespace {

using Clock = std::chrono::steady_clock;

std::int64_t NowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch())
        .count();
}

double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

QByteArray DecimalLines(int count, int first = 0) {
    QByteArray text;
    for (int i = 0; i < count; ++i) text += QByteArray::number((first + i * 37) % 256) + "\r\n";
    return text;
}

// One open virtual pedal behind the editor's wrappers, with a GUI application
// whose event loop the waits turn, and a console that drops its lines.
struct Link {
    Link() {
        if (!QCoreApplication::instance()) {
            if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
                qputenv("QT_QPA_PLATFORM", "offscreen");
            static int argc = 1;
            static char name[] = "quendle-bench";
            static char* argv[] = {name, nullptr};
            new QApplication(argc, argv);
        }
        platform::InstallRecordingDialogs();
        platform::SetConsoleSink([](const QString&, platform::Scroll) {});
        Install();
    }
    // (Re)installs the virtual pedal's driver and opens its device.
    void Install() {
        auto owned = std::make_unique<sim::VirtualPedalDriver>();
        pedal = &owned->AddDevice("QMK3BENCH");
        // Microseconds instead of milliseconds, so that a reply's arrival is
        // known to the microsecond; nothing else here depends on the unit.
        pedal->SetClock(NowUs);
        ftd::InstallDriver(std::move(owned));
        Open_USB_Device_By_Serial_Number("QMK3BENCH");
        SetLinkSettings();
    }
    sim::VirtualPedal* pedal = nullptr;
};

Link& TheLink() {
    static Link link;
    return link;
}

// CPU time the process uses while WaitForReply waits for a pedal that says
// nothing, per second of waiting.
void BM_WaitForSilentPedal(benchmark::State& state) {
    TheLink();
    double cpu = 0, wall = 0;
    for (auto _ : state) {
        const double cpu0 = ProcessCpuSeconds();
        const std::int64_t wall0 = NowUs();
        benchmark::DoNotOptimize(WaitForReply(static_cast<int>(state.range(0))));
        wall += static_cast<double>(NowUs() - wall0) * 1e-6;
        cpu += ProcessCpuSeconds() - cpu0;
    }
    state.counters["cpu_ms_per_s_of_waiting"] = 1000.0 * cpu / wall;
    state.counters["percent_of_a_core"] = 100.0 * cpu / wall;
}
BENCHMARK(BM_WaitForSilentPedal)->Arg(1000)->Iterations(3)->Unit(benchmark::kMillisecond);

// The same wait through the serial-port backend, on the pseudo-terminal of
// quendle-pedal-sim: the path the editor takes with real hardware.
void BM_WaitForSilentSerialPort(benchmark::State& state) {
    TheLink();
    QProcess pedalSim;
    pedalSim.start(QStringLiteral(QUENDLE_PEDAL_SIM_PATH), {});
    while (pedalSim.waitForReadyRead(5000) && !pedalSim.canReadLine()) {
    }
    const QString path = QString::fromLocal8Bit(pedalSim.readLine()).trimmed();
    if (path.isEmpty()) {
        state.SkipWithError("quendle-pedal-sim did not start");
        return;
    }
    ftd::InstallDriver(std::make_unique<SerialPortDriver>(QStringList{path}));
    Open_USB_Device_By_Serial_Number(path);
    double cpu = 0, wall = 0;
    for (auto _ : state) {
        const double cpu0 = ProcessCpuSeconds();
        const std::int64_t wall0 = NowUs();
        benchmark::DoNotOptimize(WaitForReply(static_cast<int>(state.range(0))));
        wall += static_cast<double>(NowUs() - wall0) * 1e-6;
        cpu += ProcessCpuSeconds() - cpu0;
    }
    CloseFTDevice();
    pedalSim.terminate();
    pedalSim.waitForFinished(5000);
    TheLink().Install();
    state.counters["cpu_ms_per_s_of_waiting"] = 1000.0 * cpu / wall;
    state.counters["percent_of_a_core"] = 100.0 * cpu / wall;
}
BENCHMARK(BM_WaitForSilentSerialPort)->Arg(1000)->Iterations(3)->Unit(benchmark::kMillisecond);

// From the moment a full device-information reply becomes readable: until
// the wait notices it, and until ReadReply has put it into ReplyValues (which
// includes the one 10 ms pause that tells the reply is complete).
void BM_ReplyArrivalToReplyValues(benchmark::State& state) {
    Link& link = TheLink();
    const QByteArray text = DecimalLines(81);
    const sim::Bytes reply(text.begin(), text.end());
    double waitUs = 0, totalUs = 0, worstWaitUs = 0;
    for (auto _ : state) {
        const std::int64_t delayUs = 5000 + 137 * (state.iterations() % 7);
        const std::int64_t arrival = NowUs() + delayUs;
        link.pedal->SendAfter(reply, delayUs);
        WaitForReply();
        const double waited = static_cast<double>(NowUs() - arrival);
        ReadReply();
        totalUs += static_cast<double>(NowUs() - arrival);
        waitUs += waited;
        worstWaitUs = std::max(worstWaitUs, waited);
        benchmark::DoNotOptimize(ReplyValues.data());
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["wait_latency_ms"] = waitUs / n / 1000.0;
    state.counters["worst_wait_latency_ms"] = worstWaitUs / 1000.0;
    state.counters["arrival_to_ReplyValues_ms"] = totalUs / n / 1000.0;
}
BENCHMARK(BM_ReplyArrivalToReplyValues)->Iterations(50)->Unit(benchmark::kMillisecond);

// DecodeReply with its logging (to a console that drops the lines).
void BM_DecodeFullReply(benchmark::State& state) {
    TheLink();
    const QByteArray reply = DecimalLines(81);
    for (auto _ : state) DecodeReply(reply);
    state.SetBytesProcessed(state.iterations() * reply.size());
}
BENCHMARK(BM_DecodeFullReply)->Unit(benchmark::kMicrosecond);

// A whole 64 KiB buffer: all zeros (what a clean buffer holds beyond a
// reply), and full of the pedal's lines (21,845 values, each logged).
void BM_Decode64KiB(benchmark::State& state) {
    TheLink();
    QByteArray buffer(65536, '\0');
    if (state.range(0) == 1) {
        const QByteArray lines = DecimalLines(30000);
        buffer = lines.left(65536);
    }
    for (auto _ : state) DecodeReply(buffer);
    state.SetBytesProcessed(state.iterations() * buffer.size());
    state.SetLabel(state.range(0) == 1 ? "pedal lines" : "zeros");
}
BENCHMARK(BM_Decode64KiB)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
