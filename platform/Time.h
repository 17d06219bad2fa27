#pragma once
// Sleeps and the bootloader's pause between bytes. They block the calling (GUI)
// thread on purpose: the pedal needs the time. Tests install a clock that
// counts instead.

#include <cstdint>
#include <memory>
#include <vector>

namespace platform {

class Clock {
public:
    virtual ~Clock() = default;
    virtual void SleepMs(int milliseconds) = 0;
    // The pause the bootloader has always been given between data bytes,
    // told in the turns of the empty loop it once was. The real clock pauses
    // for PauseNanoseconds(iterations), measured by the monotonic clock.
    virtual void BusyPause(std::uint64_t iterations) = 0;
    // A pause long enough that the windows must keep answering during it: the
    // real clock runs pending events meanwhile. Clocks that only count take
    // it as a sleep.
    virtual void WaitMs(int milliseconds) { SleepMs(milliseconds); }
};

Clock& clock();
void InstallClock(std::unique_ptr<Clock> implementation);
// The clock the editor runs with (installed at start).
std::unique_ptr<Clock> MakeRealClock();

inline void SleepMs(int milliseconds) {
    clock().SleepMs(milliseconds);
}
inline void BusyPause(std::uint64_t iterations) {
    clock().BusyPause(iterations);
}
inline void WaitMs(int milliseconds) {
    clock().WaitMs(milliseconds);
}

// The fixed, nominal length of a busy pause of `iterations` turns: 0.3 ns a
// turn, what the empty loop took on a current desktop processor with nothing
// else running (the bootloader's 1,000,001 turns: 0.3 ms). Other programs'
// load no longer stretches it.
constexpr std::int64_t PauseNanoseconds(std::uint64_t iterations) {
    return static_cast<std::int64_t>(iterations * 3 / 10);
}

// Blocks for `nanoseconds` by the monotonic clock, precisely and without
// keeping a core busy: the thread sleeps until shortly before the end (how
// shortly is learnt from how late the system's wake-ups come) and spins only
// for the rest. Returns at the end, or as soon after it as the system lets
// the thread run.
void PreciseSleepNs(std::int64_t nanoseconds);

// The empty loop the busy pause once was, usable on its own (the firmware
// bench compares it with the clock-measured pause).
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
