#pragma once
// What the simulator window shows of the controller, copied out of it in one go while the
// serving thread is held off, and the status texts made from it.

#include "sim/Controller.h"
#include "sim/Interpreter.h"

#include <array>
#include <cstdint>
#include <string>

namespace simwindow {

struct SimSnapshot {
    // Joint values besides 0..1023.
    static constexpr int kAbsent = -2;
    static constexpr int kUnknown = -1;

    sim::Mode mode = sim::Mode::Off;
    int menuEntry = 0;
    bool programActive = false; // the running state plays a program
    sim::Interpreter::State program = sim::Interpreter::State::Empty;
    uint16_t programAt = 0;
    std::string programError;
    int auxLed = 0;
    int buttons = 0;
    bool pagePlaying = false;
    int page = 0; // the editor's page
    bool silent = false;
    bool stalled = false;
    bool vanished = false;
    std::array<int, sim::kJointRows> joints{}; // value, kUnknown or kAbsent
    std::array<bool, sim::kJointRows> torque{};

    static SimSnapshot of(const sim::Controller& controller);
    bool operator==(const SimSnapshot&) const = default;

    bool powered() const { return mode != sim::Mode::Off; }
    // Present, known position, torque off: the joint hangs limp.
    bool limp(int id) const
    {
        return joints[static_cast<size_t>(id)] >= 0 && !torque[static_cast<size_t>(id)];
    }

    // The status bar's texts: "Menu: Running highlighted", "Running: program at line 0011",
    // "Motion editor: page 3 playing", "Boot loader", "Power off", ...
    std::string modeText() const;
    // "COM9, 57600 baud" / "COM9, fast line" and what the faults do to it now.
    std::string lineText(int com, long baud) const;
};

} // namespace simwindow
