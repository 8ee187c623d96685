#include "termcore/PastePacer.h"

#include <algorithm>

namespace termcore {

std::string PastePacer::consoleBytes(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<uint8_t>(text[i]);
        if (b == '\r') {
            out.push_back('\r');
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else if (b == '\n') {
            out.push_back('\r');
        } else if (b == '\t' || (b >= 0x20 && b != 0x7F)) {
            out.push_back(static_cast<char>(b));
        }
    }
    return out;
}

void PastePacer::start(std::string bytes, int64_t nowMs)
{
    bytes_ = std::move(bytes);
    sent_ = 0;
    dueMs_ = nowMs;
}

void PastePacer::cancel()
{
    bytes_.clear();
    sent_ = 0;
}

std::string PastePacer::next(int64_t nowMs)
{
    if (!active() || nowMs < dueMs_)
        return {};
    size_t count = std::min(kChunkBytes, bytes_.size() - sent_);
    const size_t cr = bytes_.find('\r', sent_);
    const bool lineEnd = cr != std::string::npos && cr < sent_ + count;
    if (lineEnd)
        count = cr - sent_ + 1;
    std::string chunk = bytes_.substr(sent_, count);
    sent_ += count;
    dueMs_ = nowMs + (lineEnd ? kLineGapMs : kChunkGapMs);
    return chunk;
}

} // namespace termcore
