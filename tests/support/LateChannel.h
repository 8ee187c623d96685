#pragma once
// A channel whose peer answers late: every byte the far end sends reaches the reader lagMs after
// the channel first saw it, on the test's clock. It stands for a controller (or a simulated one
// on a loaded machine) that takes its time, so a test can show that a link does not take a late
// answer for none.

#include "platform/ByteChannel.h"
#include "platform/Clock.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <memory>
#include <utility>

namespace testsupport {

class LateChannel final : public platform::ByteChannel {
  public:
    LateChannel(std::unique_ptr<platform::ByteChannel> inner, platform::Clock& clock, int lagMs)
        : inner_(std::move(inner)), clock_(clock), lagUs_(int64_t{lagMs} * 1000)
    {
    }
    bool isOpen() const override { return inner_ && inner_->isOpen(); }
    void close() override { inner_->close(); }
    bool write(const void* data, size_t count, size_t* written) override
    {
        return inner_->write(data, count, written);
    }
    bool read(void* buffer, size_t maxCount, size_t* got) override
    {
        if (!pull())
            return false;
        size_t n = 0;
        auto* out = static_cast<uint8_t*>(buffer);
        while (n < maxCount && !held_.empty() && held_.front().first <= clock_.nowUs()) {
            out[n++] = held_.front().second;
            held_.pop_front();
        }
        *got = n;
        return true;
    }
    bool waitReadable(int timeoutMs) override
    {
        clock_.sleepMs(timeoutMs);
        return pull();
    }
    bool purgeInput() override
    {
        if (!pull())
            return false;
        std::erase_if(held_, [this](const auto& b) { return b.first <= clock_.nowUs(); });
        return true;
    }
    int bytesWaiting() override
    {
        pull();
        return static_cast<int>(std::count_if(held_.begin(), held_.end(),
                                              [this](const auto& b) { return b.first <= clock_.nowUs(); }));
    }
    std::string lastErrorText() const override { return inner_->lastErrorText(); }

  private:
    // Takes what the far end has sent so far and holds it back for the lag.
    bool pull()
    {
        uint8_t chunk[512];
        size_t got = 0;
        do {
            if (!inner_->read(chunk, sizeof chunk, &got))
                return false;
            for (size_t i = 0; i < got; ++i)
                held_.emplace_back(clock_.nowUs() + lagUs_, chunk[i]);
        } while (got == sizeof chunk);
        return true;
    }

    std::unique_ptr<platform::ByteChannel> inner_;
    platform::Clock& clock_;
    int64_t lagUs_;
    std::deque<std::pair<int64_t, uint8_t>> held_;
};

} // namespace testsupport
