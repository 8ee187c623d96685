#pragma once
// Writes the controller's memory file beside the serving loop. A save is an atomic replace with
// a flush to the disk, which on a busy disk takes long enough to hold the controller's answers
// back; the loop hands over a copy and goes on serving. Only the newest copy waiting is
// written. The last one is written before the saver goes.

#include "sim/ControllerMemory.h"

#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace sim {

class MemorySaver {
  public:
    explicit MemorySaver(std::string path);
    ~MemorySaver(); // writes what still waits
    MemorySaver(const MemorySaver&) = delete;
    MemorySaver& operator=(const MemorySaver&) = delete;

    // The memory as it is now is to be written; a copy waiting and not yet written is replaced.
    void save(const ControllerMemory& memory);
    // Returns once everything handed over so far is written.
    void flush();

  private:
    void run();

    const std::string path_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::optional<ControllerMemory> waiting_;
    bool writing_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace sim
