// Start-up against a bare Qt window: runs the editor and a bare Qt 6 window
// (one main window, four menus, six buttons; bare_window.cpp) side by side,
// each with --quit-when-idle, several times, alternating, and prints for each
// the median time from the program's start to its first paint with the event
// loop idle, the median peak memory (resident set), and the ratios
// editor / bare window.
//
//   quendle-startup-bench [--runs N] [--platform offscreen|xcb|both]
//                         [--editor PATH] [--bare PATH] [-- EDITOR-ARGS...]
//
// --platform both (the default) measures off-screen, then again under a
// virtual X server: the program starts itself once more under xvfb-run.
// Both programs get the same environment: a home folder of their own for the
// run (so the user's settings play no part) and the chosen Qt platform. The
// editor starts as a user would start it: the real serial-port listing, no
// simulated pedal. The first runs of each warm the system's caches and are not
// counted.

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr int kDefaultRuns = 15;
constexpr int kWarmUpRuns = 2;
constexpr double kTimeGoal = 1.3;
constexpr double kMemoryGoal = 1.2;

long long MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

struct Run {
    bool ok = false;
    double idleMs = 0;     // start to first paint with the loop idle
    double exitMs = 0;     // start to the end of the process
    double idleCpuMs = 0;  // processor time used by then (user + system)
    double cpuMs = 0;      // user + system, the whole run
    double peakMiB = 0;    // largest resident set
};

struct Program {
    const char* name;
    std::string path;
    std::vector<std::string> args;
    std::vector<Run> runs;
};

// Starts the program with `environment`, reads its "idle-after-ns" line and
// waits for it with wait4, which tells its own peak resident set.
Run RunOnce(const Program& program, const std::vector<std::string>& environment) {
    Run run;
    int out[2];
    if (pipe(out) != 0) return run;
    std::vector<std::string> env = environment;
    const long long t0 = MonotonicNs();
    env.push_back("QUENDLE_STARTUP_T0_NS=" + std::to_string(t0));
    std::vector<char*> argv{const_cast<char*>(program.path.c_str())};
    for (const std::string& a : program.args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);

    const pid_t pid = fork();
    if (pid < 0) return run;
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        // Qt's warnings (the off-screen platform has several) are no part of
        // the figures; they are shown for a run that fails.
        dup2(out[1], STDERR_FILENO);
        close(out[0]);
        close(out[1]);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(out[1]);
    std::string text;
    char buffer[512];
    for (;;) {
        const ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    close(out[0]);
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    run.exitMs = static_cast<double>(MonotonicNs() - t0) / 1e6;
    const auto at = text.find("idle-after-ns ");
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || at == std::string::npos) {
        std::fprintf(stderr, "%s did not reach an idle loop (status %d): %s\n", program.name,
                     status, text.c_str());
        return run;
    }
    run.ok = true;
    char* end = nullptr;
    run.idleMs = std::strtod(text.c_str() + at + 14, &end) / 1e6;
    const auto cpuAt = text.find("cpu-ns ", at);
    if (cpuAt != std::string::npos)
        run.idleCpuMs = std::strtod(text.c_str() + cpuAt + 7, nullptr) / 1e6;
    run.cpuMs = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    run.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    return run;
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

template <class Field>
std::vector<double> Column(const Program& p, Field field) {
    std::vector<double> values;
    for (const Run& r : p.runs) values.push_back(r.*field);
    return values;
}

int Measure(const std::string& platform, int runs, std::vector<Program> programs) {
    const std::filesystem::path home =
        std::filesystem::temp_directory_path() /
        ("quendle-startup-bench-" + std::to_string(getpid()) + "-" + platform);
    std::filesystem::create_directories(home / "runtime");
    chmod((home / "runtime").c_str(), 0700);

    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        bool replaced = false;
        for (const char* drop :
             {"QT_QPA_PLATFORM=", "HOME=", "XDG_RUNTIME_DIR=", "XDG_CONFIG_HOME=",
              "XDG_CACHE_HOME=", "XDG_DATA_HOME=", "QUENDLE_STARTUP_T0_NS=", "QUENDLE_MAKER_SITE="})
            replaced = replaced || entry.rfind(drop, 0) == 0;
        if (!replaced) environment.push_back(entry);
    }
    environment.push_back("QT_QPA_PLATFORM=" + platform);
    environment.push_back("HOME=" + home.string());
    environment.push_back("XDG_RUNTIME_DIR=" + (home / "runtime").string());

    std::printf("\nQT_QPA_PLATFORM=%s%s: %d runs each, alternating, after %d warm-up runs each\n",
                platform.c_str(), platform == "xcb" ? " (Xvfb)" : "", runs, kWarmUpRuns);
    int failures = 0;
    for (int i = 0; i < kWarmUpRuns + runs; ++i) {
        // Alternate which program goes first, so neither always runs on the
        // caches the other has just warmed.
        for (int k = 0; k < 2; ++k) {
            Program& p = programs[static_cast<std::size_t>((i + k) % 2)];
            const Run r = RunOnce(p, environment);
            if (!r.ok) {
                ++failures;
                continue;
            }
            if (i >= kWarmUpRuns) p.runs.push_back(r);
        }
    }
    std::filesystem::remove_all(home);
    if (failures) std::printf("  %d runs failed and are not counted\n", failures);
    if (programs[0].runs.empty() || programs[1].runs.empty()) return 1;

    std::printf("  %-12s %13s %13s %13s %13s %10s %11s\n", "", "to idle (ms)", "min..max",
                "CPU to idle", "to exit (ms)", "peak MiB", "min..max");
    double idle[2], cpu[2], peak[2];
    for (int k = 0; k < 2; ++k) {
        const Program& p = programs[static_cast<std::size_t>(k)];
        const auto idles = Column(p, &Run::idleMs);
        const auto peaks = Column(p, &Run::peakMiB);
        idle[k] = Median(idles);
        cpu[k] = Median(Column(p, &Run::idleCpuMs));
        peak[k] = Median(peaks);
        char range[64], peakRange[64];
        std::snprintf(range, sizeof range, "%.1f..%.1f",
                      *std::min_element(idles.begin(), idles.end()),
                      *std::max_element(idles.begin(), idles.end()));
        std::snprintf(peakRange, sizeof peakRange, "%.1f..%.1f",
                      *std::min_element(peaks.begin(), peaks.end()),
                      *std::max_element(peaks.begin(), peaks.end()));
        std::printf("  %-12s %13.1f %13s %13.1f %13.1f %10.1f %11s\n", p.name, idle[k], range,
                    cpu[k], Median(Column(p, &Run::exitMs)), peak[k], peakRange);
    }
    const double timeRatio = idle[0] / idle[1];
    const double memoryRatio = peak[0] / peak[1];
    std::printf(
        "  ratio editor / bare window (medians): time %.2f (goal <= %.2f: %s), peak memory "
        "%.2f (goal <= %.2f: %s)\n",
        timeRatio, kTimeGoal, timeRatio <= kTimeGoal ? "met" : "NOT met", memoryRatio, kMemoryGoal,
        memoryRatio <= kMemoryGoal ? "met" : "NOT met");
    // Processor time is less at the mercy of other programs on a shared
    // machine than the clock on the wall; shown for comparison.
    std::printf("  for comparison, processor time to idle: ratio %.2f\n", cpu[0] / cpu[1]);
    std::fflush(stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = kDefaultRuns;
    std::string platform = "both";
    std::string editor = QUENDLE_EDITOR_PATH;
    std::string bare = QUENDLE_BARE_WINDOW_PATH;
    std::vector<std::string> editorArgs;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (a == "--platform" && i + 1 < argc) {
            platform = argv[++i];
        } else if (a == "--editor" && i + 1 < argc) {
            editor = argv[++i];
        } else if (a == "--bare" && i + 1 < argc) {
            bare = argv[++i];
        } else if (a == "--") {
            editorArgs.assign(argv + i + 1, argv + argc);
            break;
        } else {
            std::fprintf(stderr,
                         "usage: quendle-startup-bench [--runs N] [--platform offscreen|xcb|both] "
                         "[--editor PATH] [--bare PATH] [-- EDITOR-ARGS...]\n");
            return 2;
        }
    }
    editorArgs.insert(editorArgs.begin(), "--quit-when-idle");
    auto programs = [&] {
        return std::vector<Program>{{"editor", editor, editorArgs, {}},
                                    {"bare window", bare, {"--quit-when-idle"}, {}}};
    };
    if (platform == "offscreen" || (platform == "xcb" && std::getenv("DISPLAY")))
        return Measure(platform, runs, programs());
    if (platform != "both" && platform != "xcb") {
        std::fprintf(stderr, "unknown platform %s\n", platform.c_str());
        return 2;
    }
    std::printf("Start-up to the first paint with the event loop idle: %s against %s\n",
                editor.c_str(), bare.c_str());
    int result = 0;
    if (platform == "both") result = Measure("offscreen", runs, programs());
    // Under a virtual X server of its own: this program once more, inside xvfb-run.
    std::fflush(stdout);
    const std::string self = std::filesystem::canonical("/proc/self/exe").string();
    std::vector<std::string> command{"xvfb-run",
                                     "-a",
                                     "-s",
                                     "-screen 0 1280x1024x24",
                                     self,
                                     "--platform",
                                     "xcb",
                                     "--runs",
                                     std::to_string(runs),
                                     "--editor",
                                     editor,
                                     "--bare",
                                     bare,
                                     "--"};
    for (std::size_t i = 1; i < editorArgs.size(); ++i) command.push_back(editorArgs[i]);
    std::vector<char*> argvX;
    for (std::string& c : command) argvX.push_back(c.data());
    argvX.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        execvp("xvfb-run", argvX.data());
        std::fprintf(stderr, "xvfb-run could not be started: %s\n", std::strerror(errno));
        _exit(127);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) result = 1;
    return result;
}
