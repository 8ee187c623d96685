#pragma once
// The log file beside the screen: every received byte (and, when chosen, every sent one) as it
// arrives, unlike a capture the screen keeps showing it. Bytes are buffered and written at the
// latest one second after they came, and at close; any thread may write.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace termcore {

class LogWriter {
  public:
    static constexpr int64_t kFlushIntervalMs = 1000;
    static constexpr size_t kBufferLimit = size_t{64} * 1024;

    LogWriter() = default;
    ~LogWriter() { close(); }
    LogWriter(const LogWriter&) = delete;
    LogWriter& operator=(const LogWriter&) = delete;

    // Creates (or empties) path; a log that was open is closed first. False when it cannot be
    // made (errorText() says why).
    bool open(const std::string& path);
    // Writes what is buffered and closes; false when some bytes could not be written.
    bool close();
    bool isOpen() const;
    std::string path() const;

    // Appends bytes; writes the buffer when it is full or its oldest byte is a second old.
    // False (and the log closed) when the file stopped taking data. With time stamps on, each
    // line of the log begins with msOfDay as "hh:mm:ss.mmm ".
    bool write(const void* data, size_t count, int64_t nowMs, int64_t msOfDay = 0);
    void setTimestamps(bool on);
    bool timestamps() const;
    // Writes the buffer when its oldest byte is due; the owner calls this at least twice a second.
    bool poll(int64_t nowMs);
    bool flush();

    uint64_t bytesLogged() const;
    std::string errorText() const;

  private:
    bool flushLocked();

    mutable std::mutex mutex_;
    int fd_ = -1;
    std::string path_;
    std::vector<uint8_t> buffer_;
    int64_t oldestMs_ = 0;
    uint64_t logged_ = 0;
    int error_ = 0;
    bool timestamps_ = false;
    bool lineStart_ = true;
};

} // namespace termcore
