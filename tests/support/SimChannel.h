#pragma once
// The simulated controller in-process, behind a byte channel and on a virtual clock: a link (or a
// dialog over one) runs its whole protocol against sim::Controller in milliseconds, every sleep
// moving the virtual time on and every read first bringing the controller up to that time.
//
//     testsupport::InProcessController sim;            // switched on, in its menu
//     comm::ControllerLink link(timing, [&](auto&, int) { return sim.open(); }, sim.clock);
//     sim.controlAt(sim.clock.nowMs() + 500, "power on");
//
// The channel behaves like kz7sim's pseudo-terminal without --pace: the PC's bytes reach the
// controller at once, its answers are there to read as soon as it gives them (or, with a line
// rate, one byte time apiece), a stalled controller makes writes fail after the channel's bound,
// and a vanished one makes the channel fail once its last bytes have been read. One channel may
// be open at a time, as with an exclusively opened port.

#include "sim/Controller.h"
#include "sim/PacedLine.h"
#include "support/InProcessDevice.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

class InProcessController final : public InProcessDevice {
  public:
    explicit InProcessController(bool poweredOn = true, sim::Mode mode = sim::Mode::Menu,
                                 sim::JointTable joints = sim::JointTable::standard());
    // The same on a clock that outlives it (a link built once for several controllers).
    InProcessController(VirtualClock& clock, bool poweredOn, sim::Mode mode, sim::JointTable joints);

    // Runs a control command ("press START", "stall 1500") now, or once the virtual time
    // reaches atMs.
    bool control(const std::string& command);
    void controlAt(int64_t atMs, const std::string& command);
    // Runs action once the virtual time reaches atMs (a cancel from "another thread", say).
    void at(int64_t atMs, std::function<void()> action);
    // Carries the controller's answers at this rate (0: at once), as kz7sim's --pace does.
    void setOutputBaud(long baud);

    // The controller's memory as it is now.
    std::vector<uint8_t> memoryBytes() const;

    VirtualClock& clock;
    sim::ControllerMemory memory;
    sim::Controller controller;

  private:
    // Brings the controller to the clock's time, stepping through its own deadlines and the
    // scheduled commands so that each happens at its time. Called with mutex_ held.
    void catchUp() override;
    // A stalled controller takes nothing: the write waits out the channel's bound.
    bool take(const uint8_t* data, size_t count, std::string& error) override;
    std::optional<int64_t> nextEventMs() const override;
    bool vanished() const override { return controller.vanished(); }
    void opened() override { catchUp(); }
    void step(int64_t atMs);
    void collectOutput(int64_t atMs);

    int64_t simMs_ = 0;
    VirtualClock lineClock_{0};
    std::unique_ptr<sim::PacedLine> line_ = std::make_unique<sim::PacedLine>(0, lineClock_);
};

} // namespace testsupport
