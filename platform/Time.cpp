#include "platform/Time.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <algorithm>
#include <atomic>

namespace platform {
namespace {

class RealClock : public Clock {
public:
    void SleepMs(int milliseconds) override {
        if (milliseconds > 0) QThread::msleep(static_cast<unsigned long>(milliseconds));
    }
    void BusyPause(std::uint64_t iterations) override { SpinIterations(iterations); }
    void WaitMs(int milliseconds) override { RunEventsFor(milliseconds); }
};

std::unique_ptr<Clock>& Installed() {
    static std::unique_ptr<Clock> instance = std::make_unique<RealClock>();
    return instance;
}

}  // namespace

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
