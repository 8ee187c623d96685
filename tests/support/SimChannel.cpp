#include "support/SimChannel.h"

#include <algorithm>
#include <cstring>

namespace testsupport {

class SimChannel final : public platform::ByteChannel {
  public:
    explicit SimChannel(InProcessController& sim) : sim_(sim)
    {
        std::lock_guard lock(sim_.mutex_);
        if (!sim_.channelOpen_) {
            sim_.channelOpen_ = open_ = true;
            sim_.catchUp();
            sim_.received_.clear(); // an opened port starts with nothing queued
        } else {
            error_ = "The port is in use by another program.";
        }
    }
    ~SimChannel() override { close(); }

    bool isOpen() const override { return open_; }
    void close() override
    {
        std::lock_guard lock(sim_.mutex_);
        if (open_)
            sim_.channelOpen_ = false;
        open_ = false;
    }

    bool write(const void* data, size_t count, size_t* written) override
    {
        if (written)
            *written = 0;
        std::lock_guard lock(sim_.mutex_);
        if (!usable())
            return false;
        // A stalled controller takes nothing: the write waits out its bound.
        const int64_t bound = sim_.clock.nowMs() + kWriteBoundMs;
        while (sim_.controller.stalled() && sim_.clock.nowMs() < bound) {
            sim_.clock.sleepMs(std::min(bound, sim_.controller.stalledUntil()) - sim_.clock.nowMs());
            sim_.catchUp();
        }
        if (sim_.controller.stalled()) {
            error_ = "The controller did not take the bytes in time.";
            return false;
        }
        sim_.controller.receive(static_cast<const uint8_t*>(data), count);
        sim_.collectOutput(sim_.simMs_);
        if (written)
            *written = count;
        return true;
    }

    bool read(void* buffer, size_t maxCount, size_t* got) override
    {
        *got = 0;
        std::lock_guard lock(sim_.mutex_);
        if (!usable())
            return false;
        const size_t n = std::min(maxCount, sim_.received_.size());
        std::memcpy(buffer, sim_.received_.data(), n);
        sim_.received_.erase(0, n);
        *got = n;
        return true;
    }

    bool waitReadable(int timeoutMs) override
    {
        std::lock_guard lock(sim_.mutex_);
        const int64_t end = sim_.clock.nowMs() + std::max(0, timeoutMs);
        for (;;) {
            if (!usable() || !sim_.received_.empty())
                return true;
            const int64_t now = sim_.clock.nowMs();
            if (now >= end)
                return false;
            int64_t next = end;
            if (auto event = sim_.nextEventMs(); event && *event > now)
                next = std::min(next, *event);
            sim_.clock.sleepMs(std::max<int64_t>(1, next - now));
        }
    }

    bool purgeInput() override
    {
        std::lock_guard lock(sim_.mutex_);
        if (!usable())
            return false;
        sim_.received_.clear();
        return true;
    }

    int bytesWaiting() override
    {
        std::lock_guard lock(sim_.mutex_);
        return usable() ? static_cast<int>(sim_.received_.size()) : 0;
    }

    std::string lastErrorText() const override { return error_; }

  private:
    // Open and the device still there; a vanished controller's device goes away once the PC
    // has read what it sent last.
    bool usable()
    {
        if (!open_)
            return false;
        sim_.catchUp();
        if (sim_.controller.vanished() && sim_.received_.empty()) {
            error_ = "The device has gone away.";
            return false;
        }
        return true;
    }

    InProcessController& sim_;
    bool open_ = false;
    std::string error_;
};

InProcessController::InProcessController(bool poweredOn, sim::Mode mode, sim::JointTable joints)
    : controller(memory, std::move(joints))
{
    simMs_ = clock.nowMs();
    controller.start(simMs_, poweredOn, mode);
}

std::unique_ptr<platform::ByteChannel> InProcessController::open()
{
    return std::make_unique<SimChannel>(*this);
}

bool InProcessController::control(const std::string& command)
{
    std::lock_guard lock(mutex_);
    catchUp();
    bool ok = controller.control(command);
    collectOutput(simMs_);
    return ok;
}

void InProcessController::controlAt(int64_t atMs, const std::string& command)
{
    at(atMs, [this, command] { controller.control(command); });
}

void InProcessController::at(int64_t atMs, std::function<void()> action)
{
    std::lock_guard lock(mutex_);
    scheduled_.emplace(atMs, std::move(action));
    catchUp();
}

void InProcessController::setOutputBaud(long baud)
{
    std::lock_guard lock(mutex_);
    line_ = std::make_unique<sim::PacedLine>(baud, lineClock_);
}

std::vector<uint8_t> InProcessController::memoryBytes() const
{
    std::lock_guard lock(mutex_);
    return std::vector<uint8_t>(memory.data(), memory.data() + memory.size());
}

std::optional<int64_t> InProcessController::nextEventMs() const
{
    std::optional<int64_t> next = controller.nextDeadline();
    auto consider = [&](int64_t t) {
        if (!next || t < *next)
            next = t;
    };
    if (!scheduled_.empty())
        consider(scheduled_.begin()->first);
    if (auto out = line_->nextOutputUs())
        consider((*out + 999) / 1000);
    return next;
}

void InProcessController::catchUp()
{
    const int64_t target = clock.nowMs();
    while (simMs_ < target) {
        auto next = nextEventMs();
        step(next && *next > simMs_ && *next < target ? *next : target);
    }
    step(target);
}

void InProcessController::step(int64_t atMs)
{
    simMs_ = std::max(simMs_, atMs);
    controller.advance(simMs_);
    while (!scheduled_.empty() && scheduled_.begin()->first <= simMs_) {
        std::function<void()> action = std::move(scheduled_.begin()->second);
        scheduled_.erase(scheduled_.begin());
        action();
        controller.advance(simMs_);
    }
    collectOutput(simMs_);
}

void InProcessController::collectOutput(int64_t atMs)
{
    lineClock_.set(atMs * 1000);
    if (controller.stalled()) {
        line_->carryOutput(0);
        return;
    }
    if (controller.pendingOutput() > 0)
        line_->outputWaiting(atMs * 1000);
    const size_t carried = line_->carryOutput(controller.pendingOutput());
    if (carried > 0)
        received_ += controller.takeOutput(carried);
}

} // namespace testsupport
