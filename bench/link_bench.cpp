// The link's costs: how much CPU and how many wake-ups a wait for a silent
// pedal costs, how long an answer takes from its last byte to its values, and
// what decoding costs. The
// figures are printed as counters; nothing here passes or fails.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <time.h>
#include <cstdlib>

#include <QApplication>
#include <QProcess>
#include <QTimer>
#include <chrono>
#include <string>

#include "device/Communication.h"
#include "device/D2XXUnit.h"
#include "device/PedalLink.h"
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
        ftd::InstallDriver(std::move(owned));
        SetLinkSettings();
        PedalLink::Instance().Reset();
        PedalLink::Instance().Open(QStringLiteral("QMK3BENCH"));
    }
    sim::VirtualPedal* pedal = nullptr;
};

Link& TheLink() {
    static Link link;
    return link;
}

long VoluntarySwitches() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_nvcsw;
}

// An exchange that sends nothing and waits for one line that never comes:
// the link's wait for a silent pedal, ending at its time-out.
ExchangeResult WaitForSilence(int ms) {
    Exchange wait;
    wait.what = QStringLiteral("the bench");
    wait.answer = AnswerShape::LinesOf(1);
    wait.firstByteTimeoutMs = ms;
    return PedalLink::Instance().Run(wait);
}

// CPU time and wake-ups (voluntary context switches) of the process while the
// link waits for a pedal that says nothing, per second of waiting.
void MeasureSilence(benchmark::State& state) {
    double cpu = 0, wall = 0, switches = 0;
    for (auto _ : state) {
        const double cpu0 = ProcessCpuSeconds();
        const long switches0 = VoluntarySwitches();
        const std::int64_t wall0 = NowUs();
        benchmark::DoNotOptimize(WaitForSilence(static_cast<int>(state.range(0))));
        wall += static_cast<double>(NowUs() - wall0) * 1e-6;
        cpu += ProcessCpuSeconds() - cpu0;
        switches += static_cast<double>(VoluntarySwitches() - switches0);
    }
    state.counters["percent_of_a_core"] = 100.0 * cpu / wall;
    state.counters["wakeups_per_s"] = switches / wall;
}

void BM_WaitForSilentPedal(benchmark::State& state) {
    TheLink();
    MeasureSilence(state);
}
BENCHMARK(BM_WaitForSilentPedal)->Arg(2000)->Iterations(3)->Unit(benchmark::kMillisecond);

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
    PedalLink::Instance().Reset();
    ftd::InstallDriver(std::make_unique<SerialPortDriver>(QStringList{path}));
    PedalLink::Instance().Open(path);
    MeasureSilence(state);
    PedalLink::Instance().Close();
    pedalSim.terminate();
    pedalSim.waitForFinished(5000);
    TheLink().Install();
}
BENCHMARK(BM_WaitForSilentSerialPort)->Arg(2000)->Iterations(3)->Unit(benchmark::kMillisecond);

// From the moment the last byte of a full device-information answer is
// written to a pseudo-terminal until the link, reading the other end through
// the serial-port backend, has it whole and decoded.
void BM_AnswerArrivalToValues(benchmark::State& state) {
    TheLink();
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    termios raw{};
    tcgetattr(master, &raw);
    cfmakeraw(&raw);
    tcsetattr(master, TCSANOW, &raw);
    const QString path = QString::fromLocal8Bit(ptsname(master));
    PedalLink::Instance().Reset();
    ftd::InstallDriver(std::make_unique<SerialPortDriver>(QStringList{path}));
    PedalLink::Instance().Open(path);

    const QByteArray text = DecimalLines(81);
    double totalUs = 0, worstUs = 0;
    for (auto _ : state) {
        std::int64_t written = 0;
        // Written from inside the link's wait, as a pedal would answer.
        QTimer::singleShot(5 + static_cast<int>(state.iterations() % 7), [&] {
            if (write(master, text.constData(), static_cast<std::size_t>(text.size())) < 0) return;
            written = NowUs();
        });
        Exchange request;
        request.what = QStringLiteral("the bench");
        request.answer = AnswerShape::LinesOf(81);
        const ExchangeResult result = PedalLink::Instance().Run(request);
        const std::vector<std::uint8_t> values = DecodeReplyValues(result.answer);
        const double took = static_cast<double>(NowUs() - written);
        if (values.size() != 81) state.SkipWithError("the answer did not arrive whole");
        totalUs += took;
        worstUs = std::max(worstUs, took);
        benchmark::DoNotOptimize(values.data());
    }
    PedalLink::Instance().Close();
    close(master);
    TheLink().Install();
    const double n = static_cast<double>(state.iterations());
    state.counters["last_byte_to_values_ms"] = totalUs / n / 1000.0;
    state.counters["worst_last_byte_to_values_ms"] = worstUs / 1000.0;
}
BENCHMARK(BM_AnswerArrivalToValues)->Iterations(50)->Unit(benchmark::kMillisecond);

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
