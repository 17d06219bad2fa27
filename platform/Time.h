#pragma once
// Sleeps and the bootloader's busy pause. They block the calling (GUI) thread on
// purpose: the pedal needs the time. Tests install a clock that counts instead.

#include <cstdint>
#include <memory>
#include <vector>

namespace platform {

class Clock {
public:
    virtual ~Clock() = default;
    virtual void SleepMs(int milliseconds) = 0;
    // Runs `iterations` empty loop turns (the compiler may not drop them).
    virtual void BusyPause(std::uint64_t iterations) = 0;
    // A pause long enough that the windows must keep answering during it: the
    // real clock runs pending events meanwhile. Clocks that only count take
    // it as a sleep.
    virtual void WaitMs(int milliseconds) { SleepMs(milliseconds); }
};

Clock& clock();
void InstallClock(std::unique_ptr<Clock> implementation);

inline void SleepMs(int milliseconds) {
    clock().SleepMs(milliseconds);
}
inline void BusyPause(std::uint64_t iterations) {
    clock().BusyPause(iterations);
}
inline void WaitMs(int milliseconds) {
    clock().WaitMs(milliseconds);
}

// The real clock's busy loop, usable on its own (the benchmark times it).
void SpinIterations(std::uint64_t iterations);
// The real clock's wait: pending events are run until the time is up.
void RunEventsFor(int milliseconds);

// Counts sleeps and pauses without spending them.
class CountingClock : public Clock {
public:
    void SleepMs(int milliseconds) override;
    void BusyPause(std::uint64_t iterations) override;
    std::int64_t totalSleepMs = 0;
    int sleeps = 0;
    std::uint64_t busyIterations = 0;
    int busyPauses = 0;
    std::vector<int> sleepLog;
};

CountingClock& InstallCountingClock();

}  // namespace platform
