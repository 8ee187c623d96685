#include "support/InProcessDevice.h"

#include <algorithm>
#include <cstring>

namespace testsupport {

class DeviceChannel final : public platform::ByteChannel {
  public:
    explicit DeviceChannel(InProcessDevice& device) : device_(device)
    {
        std::lock_guard lock(device_.mutex_);
        if (!device_.channelOpen_) {
            device_.channelOpen_ = open_ = true;
            device_.opened();
            device_.toPc_.clear(); // an opened port starts with nothing queued
        } else {
            error_ = "The port is in use by another program.";
        }
    }
    ~DeviceChannel() override { close(); }

    bool isOpen() const override { return open_; }
    void close() override
    {
        std::lock_guard lock(device_.mutex_);
        if (open_)
            device_.channelOpen_ = false;
        open_ = false;
    }

    bool write(const void* data, size_t count, size_t* written) override
    {
        if (written)
            *written = 0;
        std::lock_guard lock(device_.mutex_);
        if (!usable() || !device_.take(static_cast<const uint8_t*>(data), count, error_))
            return false;
        if (written)
            *written = count;
        return true;
    }

    bool read(void* buffer, size_t maxCount, size_t* got) override
    {
        *got = 0;
        std::lock_guard lock(device_.mutex_);
        if (!usable())
            return false;
        const size_t n = std::min(maxCount, device_.toPc_.size());
        std::memcpy(buffer, device_.toPc_.data(), n);
        device_.toPc_.erase(0, n);
        *got = n;
        return true;
    }

    bool waitReadable(int timeoutMs) override
    {
        std::lock_guard lock(device_.mutex_);
        VirtualClock& clock = device_.deviceClock_;
        const int64_t end = clock.nowMs() + std::max(0, timeoutMs);
        for (;;) {
            if (!usable() || !device_.toPc_.empty())
                return true;
            const int64_t now = clock.nowMs();
            if (now >= end)
                return false;
            int64_t next = end;
            if (auto event = device_.nextEventMs(); event && *event > now)
                next = std::min(next, *event);
            clock.sleepMs(std::max<int64_t>(1, next - now));
        }
    }

    bool purgeInput() override
    {
        std::lock_guard lock(device_.mutex_);
        if (!usable())
            return false;
        device_.toPc_.clear();
        return true;
    }

    int bytesWaiting() override
    {
        std::lock_guard lock(device_.mutex_);
        return usable() ? static_cast<int>(device_.toPc_.size()) : 0;
    }

    std::string lastErrorText() const override
    {
        if (!error_.empty())
            return error_;
        return open_ ? std::string() : "The port is not open.";
    }

  private:
    // Open and the device still there; a vanished device goes away once the PC has read what it
    // sent last.
    bool usable()
    {
        if (!open_)
            return false;
        device_.catchUp();
        if (device_.vanished() && device_.toPc_.empty()) {
            error_ = "The device has gone away.";
            return false;
        }
        return true;
    }

    InProcessDevice& device_;
    bool open_ = false;
    std::string error_;
};

InProcessDevice::InProcessDevice(VirtualClock* sharedClock)
    : ownClock_(sharedClock ? nullptr : std::make_unique<VirtualClock>()),
      deviceClock_(sharedClock ? *sharedClock : *ownClock_)
{
}

std::unique_ptr<platform::ByteChannel> InProcessDevice::open()
{
    return std::make_unique<DeviceChannel>(*this);
}

bool InProcessDevice::runNextDue(int64_t atMs)
{
    if (scheduled_.empty() || scheduled_.begin()->first > atMs)
        return false;
    std::function<void()> action = std::move(scheduled_.begin()->second);
    scheduled_.erase(scheduled_.begin());
    action();
    return true;
}

void InProcessDevice::schedule(int64_t atMs, std::function<void()> action)
{
    scheduled_.emplace(atMs, std::move(action));
}

std::optional<int64_t> InProcessDevice::nextScheduledMs() const
{
    if (scheduled_.empty())
        return std::nullopt;
    return scheduled_.begin()->first;
}

} // namespace testsupport
