#include "sim/PacedLine.h"

#include <algorithm>

namespace sim {

namespace {

constexpr uint64_t kBitsPerByte = 10;
constexpr uint64_t kUsPerSecond = 1000000;

int64_t ceilMs(int64_t us)
{
    return us >= 0 ? (us + 999) / 1000 : -(-us / 1000);
}

} // namespace

PacedLine::PacedLine(long baud, platform::Clock& clock) : baud_(baud > 0 ? baud : 0), clock_(clock) {}

int64_t PacedLine::spanUs(uint64_t count) const
{
    const uint64_t b = static_cast<uint64_t>(baud_);
    return static_cast<int64_t>((count * kBitsPerByte * kUsPerSecond + b - 1) / b);
}

uint64_t PacedLine::throughBy(int64_t startUs, int64_t nowUs) const
{
    if (nowUs <= startUs)
        return 0;
    // Byte k (from 0) is through at startUs + spanUs(k + 1).
    return static_cast<uint64_t>(nowUs - startUs) * static_cast<uint64_t>(baud_) /
           (kBitsPerByte * kUsPerSecond);
}

void PacedLine::put(const char* data, size_t count)
{
    if (count == 0)
        return;
    const int64_t now = clock_.nowUs();
    queued_ += count;
    if (!paced()) {
        input_.push_back(Run{now, std::string(data, count)});
        return;
    }
    const int64_t start = std::max(now, inputFreeUs_);
    if (!input_.empty() && input_.back().startUs + spanUs(input_.back().bytes.size()) == start) {
        // Straight on from the bytes before: one run keeps the arithmetic exact.
        input_.back().bytes.append(data, count);
    } else {
        input_.push_back(Run{start, std::string(data, count)});
    }
    const Run& last = input_.back();
    inputFreeUs_ = last.startUs + spanUs(last.bytes.size());
}

void PacedLine::deliverDue(const Take& take)
{
    const int64_t now = clock_.nowUs();
    while (!input_.empty()) {
        Run& run = input_.front();
        if (!paced()) {
            std::string bytes = std::move(run.bytes);
            queued_ -= bytes.size();
            input_.pop_front();
            take(ceilMs(now), bytes);
            continue;
        }
        const uint64_t through = std::min<uint64_t>(throughBy(run.startUs, now), run.bytes.size());
        while (run.delivered < through) {
            // One call per millisecond's worth of bytes.
            const int64_t ms = ceilMs(run.startUs + spanUs(run.delivered + 1));
            size_t end = run.delivered + 1;
            while (end < through && ceilMs(run.startUs + spanUs(end + 1)) == ms)
                ++end;
            const size_t from = run.delivered;
            run.delivered = end;
            queued_ -= end - from;
            take(ms, std::string_view(run.bytes).substr(from, end - from));
        }
        if (run.delivered < run.bytes.size())
            return;
        input_.pop_front();
    }
}

std::optional<int64_t> PacedLine::nextInputUs() const
{
    if (input_.empty())
        return std::nullopt;
    const Run& run = input_.front();
    if (!paced())
        return run.startUs;
    return run.startUs + spanUs(run.delivered + 1);
}

void PacedLine::beginOutput(int64_t atUs)
{
    outputIdle_ = false;
    outputStartUs_ = std::max(atUs, outputFreeUs_);
    outputSent_ = 0;
}

void PacedLine::outputWaiting(int64_t sinceUs)
{
    if (paced() && outputIdle_)
        beginOutput(sinceUs);
}

size_t PacedLine::carryOutput(size_t waiting)
{
    if (!paced())
        return waiting;
    if (waiting == 0) {
        outputIdle_ = true;
        return 0;
    }
    if (outputIdle_)
        beginOutput(clock_.nowUs());
    const uint64_t through = throughBy(outputStartUs_, clock_.nowUs());
    const size_t n =
        static_cast<size_t>(std::min<uint64_t>(waiting, through - std::min(through, outputSent_)));
    outputSent_ += n;
    outputFreeUs_ = outputStartUs_ + spanUs(outputSent_);
    // All that waited is through: the line falls idle once its last byte is, so output that
    // comes later starts then or when it comes, not from the old start.
    if (n == waiting)
        outputIdle_ = true;
    return n;
}

std::optional<int64_t> PacedLine::nextOutputUs() const
{
    if (!paced() || outputIdle_)
        return std::nullopt;
    return outputStartUs_ + spanUs(outputSent_ + 1);
}

} // namespace sim
