#pragma once
// The client end of a simulator's debug socket (`COMn.debug` in the port folder). Reads never
// block; exchange() waits at most kAnswerMs for an answer (the simulator answers within its
// next turn, so only a hung simulator is ever waited for that long).

#include "debugclient/DebugChannel.h"

#include <string>

namespace debugclient {

// Where the simulator behind COMn offers its debugger.
std::string debugSocketPath(int comPort);
// True when a debug socket stands beside COMn (the port is a simulator that offers one).
bool debugChannelOffered(int comPort);

class DebugSocket : public DebugChannel {
  public:
    static constexpr int kAnswerMs = 1000;
    // A line longer than this is not one the simulator sends: the channel is given up.
    static constexpr size_t kMaxLine = 4096;

    DebugSocket() = default;
    ~DebugSocket() override;
    DebugSocket(const DebugSocket&) = delete;
    DebugSocket& operator=(const DebugSocket&) = delete;

    bool open(const std::string& path, std::string* error);
    void close();
    bool isOpen() const { return fd_ >= 0; }
    // For a notifier that wakes the owner when something arrives.
    int fd() const { return fd_; }

    std::optional<std::string> exchange(const std::string& request) override;
    std::vector<std::string> events() override;

  private:
    // Moves what has arrived into lines; false when the peer is gone.
    bool readAvailable();
    // Takes complete lines: events go to events_, the first answer (if any) is returned.
    std::optional<std::string> sortLines();

    int fd_ = -1;
    std::string input_;
    std::vector<std::string> events_;
    std::vector<std::string> answers_;
};

} // namespace debugclient
