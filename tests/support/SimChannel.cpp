#include "support/SimChannel.h"

#include <algorithm>

namespace testsupport {

InProcessController::InProcessController(bool poweredOn, sim::Mode mode, sim::JointTable joints)
    : clock(deviceClock_), controller(memory, std::move(joints))
{
    simMs_ = clock.nowMs();
    controller.start(simMs_, poweredOn, mode);
}

InProcessController::InProcessController(VirtualClock& sharedClock, bool poweredOn, sim::Mode mode,
                                         sim::JointTable joints)
    : InProcessDevice(&sharedClock), clock(deviceClock_), controller(memory, std::move(joints))
{
    simMs_ = clock.nowMs();
    controller.start(simMs_, poweredOn, mode);
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
    schedule(atMs, std::move(action));
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

bool InProcessController::take(const uint8_t* data, size_t count, std::string& error)
{
    const int64_t bound = clock.nowMs() + platform::ByteChannel::kWriteBoundMs;
    while (controller.stalled() && clock.nowMs() < bound) {
        clock.sleepMs(std::min(bound, controller.stalledUntil()) - clock.nowMs());
        catchUp();
    }
    if (controller.stalled()) {
        error = "The controller did not take the bytes in time.";
        return false;
    }
    controller.receive(data, count);
    collectOutput(simMs_);
    return true;
}

std::optional<int64_t> InProcessController::nextEventMs() const
{
    std::optional<int64_t> next = controller.nextDeadline();
    auto consider = [&](int64_t t) {
        if (!next || t < *next)
            next = t;
    };
    if (auto scheduled = nextScheduledMs())
        consider(*scheduled);
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
    while (runNextDue(simMs_))
        controller.advance(simMs_);
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
        toPc_ += controller.takeOutput(carried);
}

} // namespace testsupport
