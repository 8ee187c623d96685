#pragma once
// A clock for tests: time stands still until a sleep or advance() moves it on, so code that
// waits (a link's protocol, the simulator's line) runs in no real time and always the same way.
// Sleeps from several threads are safe; each one simply moves the time on.

#include "platform/Clock.h"

#include <atomic>
#include <cstdint>

namespace testsupport {

class VirtualClock : public platform::Clock {
  public:
    explicit VirtualClock(int64_t startUs = 1000000) : now_(startUs) {}
    int64_t nowUs() override { return now_.load(); }
    void sleepUs(int64_t us) override { advance(us); }
    void advance(int64_t us)
    {
        if (us > 0)
            now_.fetch_add(us);
    }
    void set(int64_t us) { now_.store(us); }

  private:
    std::atomic<int64_t> now_;
};

} // namespace testsupport
