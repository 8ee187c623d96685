#pragma once
// The controller's running state: it plays the behaviour program stored at 0xA000 on the
// simulated robot. The program reaches the controller's own registers (ID 200: print, timer,
// buttons, AUX LED, motion pages, robot IDs, remote control) and the devices on the bus: the
// joints of the joint table (Goal position moves a joint, Present position reads it) and the
// sensor modules, whose registers are set from the control channel.
//
// Pacing: at most kLinesPerMs program lines per millisecond, run in slices of kSliceMs, so a
// program that never ends costs little and the controller still takes in every byte between
// slices (the 0x55 burst that leaves the running state is seen at once).

#include "sim/ControllerMemory.h"
#include "sim/Interpreter.h"
#include "sim/JointTable.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sim {

class ScreenEditor;

class RunningState : public ProgramBus {
  public:
    static constexpr int kControllerId = 200;
    static constexpr int64_t kLinesPerMs = 100;
    static constexpr int64_t kSliceMs = 10;
    // After a long pause (a stalled controller, a busy host) at most this much is caught up.
    static constexpr int64_t kMaxCatchUpMs = 50;
    // A print waits while this much output has not gone out yet, as it would on a UART.
    static constexpr size_t kOutputRoom = 512;
    static constexpr int64_t kTimerTickMs = 100;

    // Controller register addresses.
    enum Register : int {
        MotionPlayPage = 0x18,
        MotionPlayStatus = 0x19,
        TxRemocon = 0x1a,
        RxRemocon = 0x1c,
        RxRemoconArrived = 0x1e,
        AuxLed = 0x1f,
        Button = 0x20,
        Timer = 0x21,
        OtherRobotId = 0x22,
        MyRobotId = 0x24,
        Print = 0x25,
        PrintLine = 0x26,
    };
    // Servo register addresses with a meaning of their own here.
    static constexpr int kGoalPosition = 0x1e;
    static constexpr int kPresentPosition = 0x24;
    static constexpr int kMovingFlag = 0x2e;
    // Button bits.
    static constexpr int kButtonUp = 8, kButtonDown = 4, kButtonLeft = 2, kButtonRight = 1, kButtonStart = 16;

    // The editor is the controller's (it is made anew at each power-on): it holds where the
    // joints are and plays motion pages.
    RunningState(const JointTable& joints, const std::unique_ptr<ScreenEditor>& editor, std::string& out);

    // Enters the running state with the program in memory: the start line, then the program
    // (or one error line for a malformed image).
    void enter(const ControllerMemory& memory, int64_t now);
    // Leaves it: the program stops and so does a motion page it started.
    void leave();
    // Power off: also the controller's registers go back to their first values.
    void reset();

    void advance(int64_t now);
    std::optional<int64_t> nextDeadline() const;

    // Control-channel commands of the simulated robot. Returns false when the words are not
    // one of them; otherwise true, with *error set when they were malformed.
    bool control(const std::vector<std::string>& words, std::string& error);
    void setButton(int bit, bool down);
    int buttons() const { return buttons_; }

    // One line describing the robot and the program, for tests and scripts.
    std::string stateLine() const;

    const Interpreter& interpreter() const { return interpreter_; }
    // A debugger's hook (nullptr: none). While it holds the program the timer stands still, so
    // a pause at a breakpoint does not eat the time the program is waiting out.
    void setLineHook(LineHook* hook)
    {
        hook_ = hook;
        interpreter_.setLineHook(hook);
    }
    int16_t timer() const { return timerValue(); }
    bool active() const { return active_; }
    int auxLed() const { return auxLed_; }
    int motionPage() const { return motionPage_; } // the page last asked for
    int16_t deviceRegister(int id, int address) const;

    int16_t read(int id, int address) override;
    bool write(int id, int address, int16_t value) override;

  private:
    int16_t readController(int address);
    bool writeController(int address, int16_t value);
    bool isJoint(int id) const;
    bool isSensor(int id) const;
    int16_t timerValue() const;
    void reportProgramEnd();

    const JointTable& joints_;
    const std::unique_ptr<ScreenEditor>& editor_;
    std::string& out_;
    Interpreter interpreter_;
    LineHook* hook_ = nullptr;
    bool active_ = false;
    bool noProgram_ = false;
    int64_t now_ = 0;
    int64_t lastRun_ = 0;
    int64_t heartbeatDue_ = 0;
    long heartbeat_ = 0;
    bool reported_ = false;

    // Controller registers.
    int buttons_ = 0;
    int16_t auxLed_ = 0;
    int16_t timer_ = 0;
    int64_t timerSetAt_ = 0;
    int16_t motionPage_ = 0;
    int16_t txRemocon_ = 0;
    int16_t rxRemocon_ = 0;
    bool rxArrived_ = false;
    int16_t otherRobotId_ = 0;
    int16_t myRobotId_ = 0;
    // Registers of the devices on the bus, by (ID, address); unset ones read 0.
    std::map<int, int16_t> devices_;
};

} // namespace sim
