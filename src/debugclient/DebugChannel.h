#pragma once
// A line channel to the simulator's debugger: one request, one answer, and event lines that may
// arrive at any time. DebugSocket is the real one; tests can put the debugger itself behind it.

#include <optional>
#include <string>
#include <vector>

namespace debugclient {

class DebugChannel {
  public:
    virtual ~DebugChannel() = default;
    // Sends one request line and waits (bounded) for its answer; events arriving meanwhile are
    // kept for events(). nullopt when the channel is gone or the answer did not come in time.
    virtual std::optional<std::string> exchange(const std::string& request) = 0;
    // The event lines that have arrived, oldest first, without waiting.
    virtual std::vector<std::string> events() = 0;
};

} // namespace debugclient
