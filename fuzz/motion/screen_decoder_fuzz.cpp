// Random byte streams, cut into random batches, through the screen-field decoder: it must never
// crash, hang or leave the mirror outside its ranges.

#include "motion/ScreenDecoder.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    motion::MotionScreen screen;
    size_t events = 0;
    motion::ScreenDecoder decoder(screen, [&](const motion::LinkEvent& e) {
        ++events;
        if (e.code == motion::LinkEventCode::PoseJointChanged &&
            (e.index < 0 || e.index >= motion::kPoseCount || e.secondIndex < 0 ||
             e.secondIndex >= motion::kJointRows))
            std::abort();
        if (e.code == motion::LinkEventCode::CurrentJointChanged &&
            (e.index < 0 || e.index >= motion::kJointRows))
            std::abort();
        if (e.code == motion::LinkEventCode::PageInfoChanged &&
            (e.index < 0 || e.index >= motion::kPageInfoCount))
            std::abort();
    });
    // The first byte chooses how the stream is cut into ticks.
    const size_t step = 1 + data[0] % 64;
    for (size_t pos = 1; pos < size; pos += step) {
        size_t n = size - pos < step ? size - pos : step;
        decoder.feed(data + pos, n);
        if (decoder.pendingBytes() > motion::ScreenDecoder::kMaxHeader + 8)
            std::abort();
    }
    if (screen.message.size() > motion::ScreenDecoder::kMaxMessage)
        std::abort();
    if (screen.selectedPose < -1 || screen.selectedPose >= motion::kPoseCount)
        std::abort();
    if (screen.pageName.size() > 15)
        std::abort();
    if (events > 2 * size + 2)
        std::abort();
    return 0;
}
