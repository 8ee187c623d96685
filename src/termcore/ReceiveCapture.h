#pragma once
// Captures received bytes into a file, staged in 1024 bytes so that file writes stay few.

#include <cstddef>
#include <cstdint>
#include <string>

namespace termcore {

class ReceiveCapture {
  public:
    static constexpr size_t kStagingSize = 1024;

    enum class CreateResult { Created, Exists, Failed };

    ReceiveCapture() = default;
    ~ReceiveCapture();
    ReceiveCapture(const ReceiveCapture&) = delete;
    ReceiveCapture& operator=(const ReceiveCapture&) = delete;

    // Creates path as a new file (Exists when it is already there) or, with truncate, anew.
    CreateResult create(const std::string& path, bool truncate);
    // Stages a block; false when writing the staged bytes to the file failed (the capture is
    // then stopped and the file closed).
    bool captureBlock(const uint8_t* bytes, size_t length);
    // Writes what is staged and closes the file; false when that last write failed.
    bool stop();

    bool active() const { return fd_ >= 0; }
    const std::string& path() const { return path_; }
    uint64_t receivedBytes() const { return received_; }

  private:
    bool flush();
    void closeFile();

    std::string path_;
    int fd_ = -1;
    uint8_t* staging_ = nullptr;
    size_t staged_ = 0;
    uint64_t received_ = 0;
};

} // namespace termcore
