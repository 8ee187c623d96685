#pragma once
// kz7sim's control channel: a FIFO of text commands, one a line. A partial line waits for its end.

#include <string>
#include <vector>

namespace sim {

class ControlFifo {
  public:
    ControlFifo() = default;
    ~ControlFifo();
    ControlFifo(const ControlFifo&) = delete;
    ControlFifo& operator=(const ControlFifo&) = delete;

    // Opens path, creating the FIFO when it is missing (and removing it again at the end).
    bool open(const std::string& path, std::string* error);
    int fd() const { return fd_; }
    // The complete lines that have arrived, without their line ends.
    std::vector<std::string> readLines();

  private:
    int fd_ = -1;
    std::string partial_;
    std::string createdPath_;
};

} // namespace sim
