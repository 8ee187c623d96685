#pragma once
// The far end of a pseudo-terminal for tests: the terminal opens the slave side like a serial
// device, the test reads and writes the master side. A background reader collects everything
// that arrives so that senders never stall on a full pty buffer.

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>

class PtyPeer {
  public:
    PtyPeer()
    {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0) {
            const char* name = ::ptsname(master_);
            if (name)
                slavePath_ = name;
        }
    }
    ~PtyPeer()
    {
        stopCollecting();
        vanish();
    }
    bool ok() const { return master_ >= 0 && !slavePath_.empty(); }
    const std::string& slavePath() const { return slavePath_; }

    void startCollecting()
    {
        run_ = true;
        reader_ = std::thread([this] {
            char buffer[4096];
            while (run_.load()) {
                pollfd p{master_, POLLIN, 0};
                if (::poll(&p, 1, 20) <= 0)
                    continue;
                const ssize_t n = ::read(master_, buffer, sizeof buffer);
                if (n > 0) {
                    std::lock_guard lock(mutex_);
                    data_.append(buffer, static_cast<size_t>(n));
                    cv_.notify_all();
                } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(5)); // no slave open yet
                }
            }
        });
    }
    void stopCollecting()
    {
        run_ = false;
        if (reader_.joinable())
            reader_.join();
    }
    // Waits until at least count bytes have arrived (or timeoutMs passed); returns what came.
    std::string waitFor(size_t count, int timeoutMs = 5000)
    {
        std::unique_lock lock(mutex_);
        cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return data_.size() >= count; });
        return data_;
    }
    std::string collected()
    {
        std::lock_guard lock(mutex_);
        return data_;
    }
    void reset()
    {
        std::lock_guard lock(mutex_);
        data_.clear();
    }
    bool write(const std::string& bytes)
    {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            if (n <= 0)
                return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }
    // The device disappears: the master closes, like a simulator that exits.
    void vanish()
    {
        stopCollecting();
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

  private:
    int master_ = -1;
    std::string slavePath_;
    std::thread reader_;
    std::atomic<bool> run_{false};
    std::mutex mutex_;
    std::condition_variable cv_;
    std::string data_;
};
