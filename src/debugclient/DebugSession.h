#pragma once
// Debugging one behaviour program on the simulator, as Taskloom's Debug menu does it, without a
// widget: breakpoints by program line, the line <-> offset map of the image that was sent, the
// program's state as the simulator reports it (the line it stands at, why it stopped, the
// variables by name with the ones changed since the last stop marked), and the requests that
// continue, step and pause it. The view asks it what to show after each poll().
//
// Failure in this library: bool, with the reason in a std::string* error.

#include "debugclient/DebugChannel.h"
#include "debugclient/DebugReply.h"

#include "behaviour/ProgramTables.h"

#include <set>
#include <string>
#include <vector>

namespace behaviour {
class BehaviorProgram;
}

namespace debugclient {

class DebugSession {
  public:
    enum class State { Idle, Running, Paused, Ended, Failed };
    enum class Command { Continue, StepOver, StepInto, StepOut, Pause };
    struct Variable {
        std::string name;
        int value = 0;
        bool changed = false; // since the last stop
    };

    explicit DebugSession(DebugChannel& channel) : channel_(channel) {}

    // Breakpoints belong to the program's lines and outlive sessions. While a session runs a
    // toggle reaches the simulator at once; false when it refused it.
    bool toggleBreakpoint(int line);
    bool hasBreakpoint(int line) const { return breakpoints_.count(line) != 0; }
    const std::set<int>& breakpoints() const { return breakpoints_; }
    // The breakpoints of the program about to be debugged (between sessions).
    void setBreakpoints(std::set<int> lines) { breakpoints_ = std::move(lines); }

    // The program has just been built for the download that starts a session: its line table
    // and names are taken, a breakpoint on a line without code moves to the next line with code
    // (or goes, past the last), and the simulator is told where to stop: at the breakpoints, or
    // at the first line when there is none. False with the reason when it did not answer.
    bool begin(const behaviour::BehaviorProgram& built, std::string* error);
    // Continue, step or pause; false with the simulator's reason when it was refused.
    bool command(Command c, std::string* error);
    // Takes the events that arrived; true when what the view shows has changed.
    bool poll();
    // Reads the variables again (the view does it about five times a second while running).
    bool refresh();
    // The session is over (stopped, or the simulator went away): nothing is current.
    void finish();

    State state() const { return state_; }
    bool active() const { return state_ == State::Running || state_ == State::Paused; }
    // The line the program stands at, or -1.
    int currentLine() const { return currentLine_; }
    // One line for the status bar: "Paused at line 7: breakpoint", "Stopped at line 3:
    // division by zero", ...
    const std::string& statusText() const { return status_; }
    const std::vector<Variable>& variables() const { return variables_; }
    const DebugState& lastState() const { return last_; }

  private:
    bool send(const std::string& request, std::string* error);
    void stopped(const DebugEvent& event);

    DebugChannel& channel_;
    std::set<int> breakpoints_;
    behaviour::LineAddressTable lines_;
    std::vector<std::string> names_;
    State state_ = State::Idle;
    int currentLine_ = -1;
    std::string status_;
    std::vector<Variable> variables_;
    std::vector<int> atLastStop_;
    DebugState last_;
};

} // namespace debugclient
