#include "platform/Time.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <ctime>

#if defined(__linux__)
#include <sys/prctl.h>
#endif

namespace platform {
namespace {

class RealClock : public Clock {
public:
    void SleepMs(int milliseconds) override {
        if (milliseconds > 0) QThread::msleep(static_cast<unsigned long>(milliseconds));
    }
    void BusyPause(std::uint64_t iterations) override {
        PreciseSleepNs(PauseNanoseconds(iterations));
    }
    void WaitMs(int milliseconds) override { RunEventsFor(milliseconds); }
};

std::int64_t MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t{now.tv_sec} * 1000000000 + now.tv_nsec;
}

void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__GNUC__)
    __asm__ __volatile__("" ::: "memory");
#endif
}

// Wake-ups come this much after the time asked for (the system's timer slack
// and scheduling), as learnt from the last ones; the sleep ends this early.
constexpr std::int64_t kLeastLeadNs = 5000;
constexpr std::int64_t kMostLeadNs = 200000;
thread_local std::int64_t wakeLeadNs = 60000;

std::unique_ptr<Clock>& Installed() {
    static std::unique_ptr<Clock> instance = std::make_unique<RealClock>();
    return instance;
}

}  // namespace

void PreciseSleepNs(std::int64_t nanoseconds) {
    if (nanoseconds <= 0) return;
    const std::int64_t deadline = MonotonicNs() + nanoseconds;
    const std::int64_t wakeAt = deadline - wakeLeadNs;
    if (wakeAt - MonotonicNs() > kLeastLeadNs) {
#if defined(__linux__)
        // The system may otherwise add up to 50 us to a sleep to group
        // wake-ups; for these few the thread asks for none.
        const int slack = prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
        prctl(PR_SET_TIMERSLACK, 1, 0, 0, 0);
#endif
        timespec until{};
        until.tv_sec = static_cast<time_t>(wakeAt / 1000000000);
        until.tv_nsec = static_cast<long>(wakeAt % 1000000000);
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
        }
#if defined(__linux__)
        if (slack > 0) prctl(PR_SET_TIMERSLACK, slack, 0, 0, 0);
#endif
        // Learn from this wake-up: a late one moves the lead up at once by
        // half the difference, an early one lets it down slowly, so most
        // sleeps end before the deadline without spinning long. A wake-up
        // far past the deadline (another program had the core) says nothing
        // about the system's timers and is not learnt from.
        const std::int64_t late = MonotonicNs() - wakeAt;
        if (late < kMostLeadNs * 4) {
            if (late > wakeLeadNs)
                wakeLeadNs += (late - wakeLeadNs) / 2;
            else
                wakeLeadNs -= (wakeLeadNs - late) / 32;
            wakeLeadNs = std::clamp(wakeLeadNs, kLeastLeadNs, kMostLeadNs);
        }
    }
    while (MonotonicNs() < deadline) CpuRelax();
}

void SpinIterations(std::uint64_t iterations) {
    for (std::uint64_t i = 0; i < iterations; ++i) {
        // An empty statement the optimiser must keep, so the pause stays a pause.
#if defined(__GNUC__)
        __asm__ __volatile__("" ::: "memory");
#else
        std::atomic_signal_fence(std::memory_order_seq_cst);
#endif
    }
}

void RunEventsFor(int milliseconds) {
    QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        // Short naps: events are taken within 10 ms, and the wait ends on time.
        QThread::msleep(
            static_cast<unsigned long>(std::clamp<qint64>(deadline.remainingTime(), 0, 10)));
    }
}

std::unique_ptr<Clock> MakeRealClock() {
    return std::make_unique<RealClock>();
}

Clock& clock() {
    return *Installed();
}
void InstallClock(std::unique_ptr<Clock> implementation) {
    Installed() = std::move(implementation);
}

void CountingClock::SleepMs(int milliseconds) {
    totalSleepMs += milliseconds;
    ++sleeps;
    sleepLog.push_back(milliseconds);
}

void CountingClock::BusyPause(std::uint64_t iterations) {
    busyIterations += iterations;
    ++busyPauses;
}

CountingClock& InstallCountingClock() {
    auto counting = std::make_unique<CountingClock>();
    CountingClock& ref = *counting;
    InstallClock(std::move(counting));
    return ref;
}

}  // namespace platform
