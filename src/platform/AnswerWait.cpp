#include "platform/AnswerWait.h"

#include <algorithm>

namespace platform {

AnswerEnd awaitAnswer(Clock& clock, const AnswerWait& wait, const TakeArrived& take,
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
            return AnswerEnd::Failed;
        if (answer.size() != before)
            lastGrowth = waited;
        if (complete(answer))
            return AnswerEnd::Whole;
        if (lastGrowth >= 0 && waited - lastGrowth >= wait.quietMs)
            return AnswerEnd::Quiet;
        if (waited >= wait.patienceMs)
            return AnswerEnd::OutOfPatience;
        clock.sleepMs(poll);
        waited += poll;
    }
}

} // namespace platform
