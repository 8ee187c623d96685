#pragma once
// A small stand-in for the controller on a pseudo-terminal, enough to exercise the motion link's
// probing, mode changes, command pacing and reply handling without the full simulator.

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace motiontest {

class FakeController {
  public:
    enum class Mode { Menu, Console, Screen, Running, BootLoader, Dead };

    // Called with each "\r"-terminated command in Screen mode; returns the bytes to paint.
    using CommandReply = std::function<std::string(const std::string&)>;

    FakeController()
    {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        ::grantpt(master_);
        ::unlockpt(master_);
        slavePath_ = ::ptsname(master_);
        // Holding a slave descriptor keeps the master readable while the link is closed.
        slave_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY);
        ::fcntl(master_, F_SETFL, O_NONBLOCK);
        thread_ = std::thread([this] { run(); });
    }
    ~FakeController()
    {
        stop_ = true;
        thread_.join();
        if (master_ >= 0)
            ::close(master_);
        ::close(slave_);
    }

    const std::string& path() const { return slavePath_; }

    void setMode(Mode m, int entry = 0)
    {
        std::lock_guard<std::mutex> l(mutex_);
        mode_ = m;
        entry_ = entry;
    }
    Mode mode()
    {
        std::lock_guard<std::mutex> l(mutex_);
        return mode_;
    }
    // The menu answers "***" with these bytes instead of two copies of the entry.
    void setProbeAnswer(const std::string& answer)
    {
        std::lock_guard<std::mutex> l(mutex_);
        probeAnswer_ = answer;
    }
    // Noise the menu sends before its two entry bytes.
    void setProbePrefix(const std::string& prefix)
    {
        std::lock_guard<std::mutex> l(mutex_);
        probePrefix_ = prefix;
    }
    void setScreenPaint(const std::string& paint)
    {
        std::lock_guard<std::mutex> l(mutex_);
        paint_ = paint;
    }
    void setCommandReply(CommandReply reply)
    {
        std::lock_guard<std::mutex> l(mutex_);
        reply_ = std::move(reply);
    }
    // Everything received, with the time of each read.
    std::string received()
    {
        std::lock_guard<std::mutex> l(mutex_);
        return received_;
    }
    std::vector<std::pair<std::chrono::steady_clock::time_point, std::string>> reads()
    {
        std::lock_guard<std::mutex> l(mutex_);
        return reads_;
    }
    std::vector<std::string> commands()
    {
        std::lock_guard<std::mutex> l(mutex_);
        return commands_;
    }
    void clearLog()
    {
        std::lock_guard<std::mutex> l(mutex_);
        received_.clear();
        reads_.clear();
        commands_.clear();
    }
    // Writes bytes to the link as the controller would.
    void emit(const std::string& bytes)
    {
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n > 0)
                done += static_cast<size_t>(n);
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    // Closes both sides: the link then finds its device gone.
    void hangUp()
    {
        stop_ = true;
        thread_.join();
        ::close(master_);
        master_ = -1;
        stop_ = false;
        thread_ = std::thread([] {});
    }

  private:
    void run()
    {
        char buf[4096];
        while (!stop_) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 5) <= 0)
                continue;
            ssize_t n = ::read(master_, buf, sizeof buf);
            if (n <= 0)
                continue;
            std::string out;
            {
                std::lock_guard<std::mutex> l(mutex_);
                received_.append(buf, static_cast<size_t>(n));
                reads_.emplace_back(std::chrono::steady_clock::now(),
                                    std::string(buf, static_cast<size_t>(n)));
                for (ssize_t i = 0; i < n; ++i)
                    out += take(static_cast<uint8_t>(buf[i]));
            }
            if (!out.empty())
                emit(out);
        }
    }

    // One byte in, the controller's answer out. Called with the mutex held.
    std::string take(uint8_t c)
    {
        line_.push_back(static_cast<char>(c));
        recent_.push_back(static_cast<char>(c));
        if (recent_.size() > 16)
            recent_.erase(0, recent_.size() - 16);
        auto endsWith = [&](const std::string& s) {
            bool hit =
                recent_.size() >= s.size() && recent_.compare(recent_.size() - s.size(), s.size(), s) == 0;
            if (hit)
                recent_.clear();
            return hit;
        };
        switch (mode_) {
        case Mode::Menu:
            if (endsWith("***")) {
                line_.clear();
                return probeAnswer_.empty() ? probePrefix_ + std::string(2, static_cast<char>(entry_))
                                            : probeAnswer_;
            }
            if (c == '\t') {
                entry_ = (entry_ + 1) % 3;
                return {};
            }
            if (c == '\r') {
                line_.clear();
                if (entry_ == 0) {
                    mode_ = Mode::Console;
                    return "\r\nKZ-7 console [fake 1.0]\r\n> ";
                }
                if (entry_ == 1) {
                    mode_ = Mode::Screen;
                    return paint_;
                }
                mode_ = Mode::Running;
                runningWake_ = 0;
            }
            return {};
        case Mode::Console:
        case Mode::Screen:
            if (endsWith("exit\ry")) {
                mode_ = Mode::Menu;
                line_.clear();
                return {};
            }
            if (c == '\r' && mode_ == Mode::Screen) {
                std::string cmd = line_;
                line_.clear();
                commands_.push_back(cmd);
                return reply_ ? reply_(cmd) : std::string();
            }
            return {};
        case Mode::BootLoader:
            if (endsWith("\rgo\r")) {
                mode_ = Mode::Menu;
                line_.clear();
            }
            return {};
        case Mode::Running:
            runningWake_ = c == 0x55 ? runningWake_ + 1 : 0;
            if (runningWake_ >= 2000) {
                mode_ = Mode::Menu;
                line_.clear();
            }
            return {};
        case Mode::Dead:
            return {};
        }
        return {};
    }

    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    Mode mode_ = Mode::Menu;
    int entry_ = 0;
    int runningWake_ = 0;
    std::string line_;
    std::string recent_;
    std::string probeAnswer_;
    std::string probePrefix_;
    std::string paint_;
    CommandReply reply_;
    std::string received_;
    std::vector<std::pair<std::chrono::steady_clock::time_point, std::string>> reads_;
    std::vector<std::string> commands_;
};

} // namespace motiontest
