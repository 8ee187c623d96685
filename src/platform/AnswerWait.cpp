#include "platform/AnswerWait.h"

#include <algorithm>

namespace platform {

bool awaitAnswer(Clock& clock, const AnswerWait& wait, const TakeArrived& take,
                 const AnswerComplete& complete, std::vector<uint8_t>& answer)
{
    answer.clear();
    if (wait.firstMs > 0)
        clock.sleepMs(wait.firstMs);
    const int poll = std::max(1, wait.pollMs);
    int waited = std::max(0, wait.firstMs);
    int lastGrowth = -1; // when the answer last grew; -1: nothing has come
    for (;;) {
        const size_t before = answer.size();
        if (!take(answer))
            return false;
        if (answer.size() != before)
            lastGrowth = waited;
        if (complete(answer))
            return true;
        const bool quiet = lastGrowth >= 0 && waited - lastGrowth >= wait.quietMs;
        if (quiet || waited >= wait.patienceMs)
            return true;
        clock.sleepMs(poll);
        waited += poll;
    }
}

} // namespace platform
