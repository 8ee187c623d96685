#include "sim/FaultInjector.h"

#include <algorithm>

namespace sim {

void FaultInjector::vanishAfter(long bytes)
{
    vanishAfter_ = bytes;
    if (bytes == 0) {
        vanished_ = true;
        out_.clear();
    }
}

void FaultInjector::silence()
{
    silent_ = true;
    out_.clear();
}

void FaultInjector::powerOff()
{
    silent_ = false;
    heldInput_.clear();
}

void FaultInjector::holdInput(const uint8_t* data, size_t count)
{
    heldInput_.append(reinterpret_cast<const char*>(data), count);
}

std::string FaultInjector::releaseInput()
{
    std::string held;
    held.swap(heldInput_);
    return held;
}

std::string FaultInjector::take(size_t maxBytes, int64_t now)
{
    std::string sent;
    if (!listening()) {
        out_.clear();
        return sent;
    }
    if (stalled(now) || out_.empty() || maxBytes == 0)
        return sent;
    size_t count = std::min(maxBytes, out_.size());
    if (vanishAfter_ >= 0)
        count = std::min(count, static_cast<size_t>(vanishAfter_));
    sent.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        auto byte = static_cast<uint8_t>(out_[i]);
        if (dropCount_ > 0) {
            --dropCount_;
            continue;
        }
        if (garbleCount_ > 0) {
            --garbleCount_;
            byte ^= 0xA5;
        }
        sent.push_back(static_cast<char>(byte));
    }
    out_.erase(0, count);
    if (vanishAfter_ >= 0) {
        vanishAfter_ -= static_cast<long>(count);
        if (vanishAfter_ == 0) {
            vanished_ = true;
            out_.clear();
        }
    }
    return sent;
}

} // namespace sim
