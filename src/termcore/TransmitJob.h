#pragma once
// Sends one file over the port on a worker thread: raw files as they are, ".hex" files as the
// image they describe, each in chunks of 100 bytes, optionally followed by the bytesum. The
// owner (the window) opens the file, starts the job, polls its progress and, when the job
// reports that it ended (or after cancel()), calls finish() once to release what it holds.

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>

namespace termcore {

class TransmitJob {
  public:
    static constexpr size_t kChunkSize = 100;

    enum class Outcome {
        Idle,
        Running,
        Succeeded,
        Cancelled,
        ReadFailed,  // the file could not be read to its end
        HexFailed,   // hexCode() says why
        WriteFailed, // the port refused or timed out; nothing more was sent
    };

    // Writes bytes to the port; false on failure. Runs on the worker thread.
    using Writer = std::function<bool(const uint8_t* data, size_t count)>;
    // Tells the owner that the job ended by itself; runs on the worker thread, last thing.
    using Ended = std::function<void()>;

    TransmitJob() = default;
    ~TransmitJob();
    TransmitJob(const TransmitJob&) = delete;
    TransmitJob& operator=(const TransmitJob&) = delete;

    // Opens path for reading; false when it cannot be opened (nothing is kept then).
    bool open(const std::string& path);
    // Starts the worker on the opened file. bytesum is read when the sum byte is due.
    bool start(Writer writer, const std::atomic<bool>* bytesum, Ended ended = {});
    // Stops the worker between chunks and waits for it: after this returns nothing more is
    // written. The outcome becomes Cancelled unless the job had already ended.
    void cancel();
    // Waits for the worker, closes the file and frees the image; returns the outcome. Safe to
    // call more than once; only the first call after a job releases anything.
    Outcome finish();

    bool active() const { return worker_.joinable() || file_ != nullptr; }
    bool running() const { return outcome_.load() == Outcome::Running; }
    Outcome outcome() const { return outcome_.load(); }
    int hexCode() const { return hexCode_.load(); }
    const std::string& path() const { return path_; }
    bool isHex() const { return isHex_; }
    uint64_t sentBytes() const { return sent_.load(); }
    uint64_t totalBytes() const { return total_.load(); }

  private:
    void run();
    bool sendChunks(const uint8_t* data, uint64_t size, uint8_t* sum);
    bool writeChunk(const uint8_t* data, size_t count);

    std::string path_;
    std::FILE* file_ = nullptr;
    bool isHex_ = false;
    Writer writer_;
    Ended ended_;
    const std::atomic<bool>* bytesum_ = nullptr;
    std::thread worker_;
    std::atomic<bool> cancel_{false};
    std::atomic<Outcome> outcome_{Outcome::Idle};
    std::atomic<int> hexCode_{-1};
    std::atomic<uint64_t> sent_{0};
    std::atomic<uint64_t> total_{0};
};

} // namespace termcore
