#pragma once
// The time a link or the simulator's line runs on: a monotonic "now" in microseconds and a
// sleep. The real clock is the system's steady clock; tests hand in a virtual one whose sleep
// only moves its time on, so a protocol full of waits runs in no real time at all.

#include <cstdint>

namespace platform {

class Clock {
  public:
    virtual ~Clock() = default;
    // Microseconds on a monotonic scale (the origin is the clock's own).
    virtual int64_t nowUs() = 0;
    virtual void sleepUs(int64_t us) = 0;

    int64_t nowMs() { return nowUs() / 1000; }
    void sleepMs(int64_t ms) { sleepUs(ms * 1000); }
};

// The system's steady clock and a real sleep; one instance shared by everyone.
Clock& systemClock();

} // namespace platform
