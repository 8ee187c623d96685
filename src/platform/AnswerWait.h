#pragma once
// Waiting for a peer's short answer without mistaking a late answer for none.
//
// The controller answers a probe within milliseconds, so a link looks after its usual wait and
// nearly always finds the whole answer there. On a loaded machine (a simulated controller
// sharing the processor with its clients) the answer can come later, or in pieces. Looking only
// once then reads a late answer as silence, and the next step (an Enter meant for another mode)
// lands in the mode that was about to answer. So the link looks on: until the answer is whole,
// or the line has been quiet for a while after its last byte, or the patience has run out
// (nothing at all came, or a peer that never stops talking). An answer that is whole at the
// first look costs nothing more than it did; silence costs the patience.

#include "platform/Clock.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace platform {

struct AnswerWait {
    int firstMs = 200;     // the usual time the answer takes: the first look is after it
    int patienceMs = 1000; // the whole wait ends by then; nothing at all by then is silence
    int quietMs = 200;     // once bytes came, a gap this long after the last one ends the answer
    int pollMs = 10;       // between later looks
};

// Appends what has arrived to the answer; false when the line failed.
using TakeArrived = std::function<bool(std::vector<uint8_t>& answer)>;
// True when the answer so far is whole: no further byte can change what it tells.
using AnswerComplete = std::function<bool(const std::vector<uint8_t>& answer)>;

enum class AnswerEnd {
    Failed,        // taking failed
    Whole,         // complete() said so
    Quiet,         // bytes came, then the line went quiet
    OutOfPatience, // nothing came (silence), or the peer was still talking
};

// Waits for an answer as described above and leaves it in answer. The waits are counted in the
// clock's sleeps, so a loaded machine that oversleeps gets more patience, not less.
AnswerEnd awaitAnswer(Clock& clock, const AnswerWait& wait, const TakeArrived& take,
                      const AnswerComplete& complete, std::vector<uint8_t>& answer);

} // namespace platform
