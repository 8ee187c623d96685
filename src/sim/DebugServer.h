#pragma once
// Carries the debugger's lines over a local stream socket (`COMn.debug` beside the port's link):
// each request line gets its answer line, and every client is sent the event lines. Only the
// user who runs the simulator can connect: the socket is made with mode 0600 and a peer of
// another user is turned away. Everything is non-blocking; the owner polls the descriptors
// from pollFds() and calls service() after each of its turns.

#include "sim/Debugger.h"

#include <poll.h>
#include <string>
#include <vector>

namespace sim {

class DebugServer {
  public:
    static constexpr size_t kMaxClients = 8;
    // A client that lets this much of its output pile up unread is dropped.
    static constexpr size_t kMaxPendingOutput = size_t{64} * 1024;

    explicit DebugServer(Debugger& debugger) : debugger_(debugger) {}
    ~DebugServer();
    DebugServer(const DebugServer&) = delete;
    DebugServer& operator=(const DebugServer&) = delete;

    // Listens at path; a socket left there by a simulator that died is replaced, anything
    // else there is refused.
    bool open(const std::string& path, std::string* error);
    const std::string& path() const { return path_; }
    size_t clientCount() const { return clients_.size(); }

    // Appends the descriptors to wait on (the listener and each client).
    void pollFds(std::vector<pollfd>& fds) const;
    // Accepts, answers the requests that arrived, and sends the debugger's events.
    void service();

  private:
    struct Client {
        int fd = -1;
        std::string input;
        std::string output;
        bool discarding = false; // the current line was too long: skipped up to its end
        bool gone = false;
    };

    void accept();
    void read(Client& client);
    void flush(Client& client);
    void close();

    Debugger& debugger_;
    int listenFd_ = -1;
    std::string path_;
    std::vector<Client> clients_;
};

} // namespace sim
