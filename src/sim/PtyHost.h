#pragma once
// The simulator's end of a fresh pseudo-terminal. The PC side opens the slave device (its path
// is what the simulator prints); the simulator reads and writes the master. The simulator keeps
// a slave descriptor of its own open so that the master never reports a hang-up while no PC
// program has the device open, and uses it to hold the PC's writes back (output flow stopped
// on the slave), which is how a paced or stalled controller makes a writer wait.

#include <cstddef>
#include <string>

namespace sim {

class PtyHost {
  public:
    PtyHost() = default;
    ~PtyHost();
    PtyHost(const PtyHost&) = delete;
    PtyHost& operator=(const PtyHost&) = delete;

    bool open(std::string* error);
    void close();
    bool isOpen() const { return master_ >= 0; }
    const std::string& path() const { return path_; }
    int masterFd() const { return master_; }

    // What the PC has written, at most maxCount bytes, without blocking: the count, 0 when
    // nothing waits, -1 on an error.
    long read(char* buffer, size_t maxCount);
    // Hands bytes to the PC side without blocking: the count taken (possibly 0), -1 on error.
    long write(const char* data, size_t count);
    // Bytes handed to the PC side that it has not read yet.
    int unreadByPeer() const;
    // Stops (true) or restarts (false) the PC's writes.
    void holdInput(bool hold);
    bool holding() const { return held_; }

  private:
    int master_ = -1;
    int slave_ = -1;
    bool held_ = false;
    std::string path_;
};

} // namespace sim
