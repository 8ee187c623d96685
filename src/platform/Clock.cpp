#include "platform/Clock.h"

#include <chrono>
#include <thread>

namespace platform {

namespace {

class SystemClock final : public Clock {
  public:
    int64_t nowUs() override
    {
        using namespace std::chrono;
        return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
    }
    void sleepUs(int64_t us) override
    {
        if (us > 0)
            std::this_thread::sleep_for(std::chrono::microseconds(us));
    }
};

} // namespace

Clock& systemClock()
{
    static SystemClock clock;
    return clock;
}

} // namespace platform
