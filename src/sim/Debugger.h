#pragma once
// The simulator's debugger: holds the behaviour program before chosen lines (breakpoints by
// image offset, a pause, a step into, over or out of a CALL, the first line of a run), answers
// one text request with one text answer, and reports each stop as an event line. It knows no
// socket: DebugServer carries its lines, tests call request() directly.
//
// Requests (words separated by blanks, lower or upper case):
//   pause | continue | step | over | out | break OFFSET | clear OFFSET | clear all | breaks |
//   entry on | entry off | state
// Answers: "ok ..." or "error REASON" (an error changes nothing).
// Events: "event stopped REASON at=OFFSET[ TEXT]" with REASON breakpoint, step, pause, entry,
// end or error (TEXT: what went wrong), and "event exited" when the running state is left.

#include "sim/Interpreter.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

class Controller;

class Debugger : public LineHook {
  public:
    static constexpr size_t kImageBytes = kOffsets; // the program area: offsets 0000..1FFF
    static constexpr size_t kMaxRequest = 256;

    // Hooks itself into the controller's running state until it is destroyed.
    explicit Debugger(Controller& controller);
    ~Debugger() override;
    Debugger(const Debugger&) = delete;
    Debugger& operator=(const Debugger&) = delete;

    // One request line (without its line end); returns the answer line.
    std::string request(std::string_view line);
    // Called after the controller advanced: notices a program that ended, failed or was left.
    void observe();
    // The event lines since the last call, oldest first.
    std::vector<std::string> takeEvents();
    // Nobody is left to debug: breakpoints and the entry stop are dropped and a held program
    // runs on, so it never waits for a debugger that has gone.
    void detach();

    bool stopBefore(const Interpreter& interpreter) override;
    bool holding() const override { return paused_; }

    bool paused() const { return paused_; }
    // "mode=running program=paused at=0012 depth=1 stack=0005 timer=0 buttons=0 aux=0 vars=..."
    std::string stateLine() const;

  private:
    enum class Step { None, Into, Over, Out };
    enum class Resume { Continue, Into, Over, Out };

    std::string handle(std::string_view line);
    std::string resume(Resume how);
    std::string setBreakpoint(std::string_view word, bool set);
    bool programRunning() const;
    void stop(const char* reason, uint16_t at);
    void forgetRun();
    void updateAttention();

    Controller& controller_;
    bool paused_ = false;
    bool pauseRequested_ = false;
    bool skipOnce_ = false; // the line the program was held before runs when it resumes
    Step step_ = Step::None;
    int stepDepth_ = 0;
    std::vector<std::string> events_;
    // What observe() saw last.
    bool wasActive_ = false;
    int lastState_ = -1;
    uint64_t lastLines_ = 0;
};

} // namespace sim
