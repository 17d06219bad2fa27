#include "platform/Time.h"

#include <QThread>

namespace platform {
namespace {

class RealClock : public Clock {
public:
    void SleepMs(int milliseconds) override {
        if (milliseconds > 0) QThread::msleep(static_cast<unsigned long>(milliseconds));
    }
    void BusyPause(std::uint64_t iterations) override { SpinIterations(iterations); }
};

std::unique_ptr<Clock>& Installed() {
    static std::unique_ptr<Clock> instance = std::make_unique<RealClock>();
    return instance;
}

}  // namespace

void SpinIterations(std::uint64_t iterations) {
    // The volatile counter keeps the optimiser from removing the loop.
    for (volatile std::uint64_t i = 0; i < iterations; i = i + 1) {
    }
}

Clock& clock() { return *Installed(); }
void InstallClock(std::unique_ptr<Clock> implementation) { Installed() = std::move(implementation); }

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
