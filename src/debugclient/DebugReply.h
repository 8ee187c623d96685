#pragma once
// Reads the simulator debugger's event and state lines. Anything malformed reads as nothing
// (an event of kind None, a state with ok = false); numbers out of their range are refused.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace debugclient {

struct DebugEvent {
    enum class Kind { None, Breakpoint, Step, Pause, Entry, End, Error, Exited, Closed };
    Kind kind = Kind::None;
    int offset = -1;  // image offset the program stands at (stops)
    std::string text; // Error: what went wrong
};

// "event stopped breakpoint at=0012", "event stopped error at=0012 division by zero",
// "event exited"; the channel's own "event closed" when the simulator went away.
DebugEvent parseEvent(std::string_view line);

struct DebugState {
    static constexpr int kVariables = 50;
    bool ok = false;
    std::string mode;    // the controller's mode: "running", "menu", ...
    std::string program; // "running", "paused", "ended", "failed", "none", "stopped"
    int offset = 0;
    int depth = 0;
    std::vector<int> stack; // return offsets, outermost first
    int timer = 0;
    int buttons = 0;
    int auxLed = 0;
    std::array<int, kVariables> variables{};
};

// The answer to "state": "ok state mode=running program=paused at=0012 depth=0 stack= ...".
DebugState parseState(std::string_view answer);

} // namespace debugclient
