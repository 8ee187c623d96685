#pragma once
// A small stand-in for the controller on a pseudo-terminal, for the exact bytes and timings of the
// motion link's probing, menu moves, command pacing and reply handling. Waking the controller
// from its other modes is left to the simulator.

#include "support/PtyPeer.h"

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
    enum class Mode { Menu, Console, Screen };

    // Called with each "\r"-terminated command in Screen mode; returns the bytes to paint.
    using CommandReply = std::function<std::string(const std::string&)>;

    FakeController()
    {
        thread_ = std::thread([this] { run(); });
    }
    ~FakeController()
    {
        stop_ = true;
        thread_.join();
    }

    bool ok() const { return pty_.ok(); }
    const std::string& path() const { return pty_.slavePath(); }

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
    // The menu answers "***" with these bytes instead of two copies of its entry.
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
    // Everything received; reads() has the time of each read.
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
    void clearLog()
    {
        std::lock_guard<std::mutex> l(mutex_);
        received_.clear();
        reads_.clear();
    }
    // Writes bytes to the link as the controller would.
    bool emit(const std::string& bytes) { return pty_.send(bytes); }
    // The controller is unplugged: the link then finds its device gone.
    void hangUp()
    {
        stop_ = true;
        thread_.join();
        pty_.unplug();
        stop_ = false;
        thread_ = std::thread([] {});
    }

  private:
    void run()
    {
        while (!stop_) {
            if (!pty_.waitReadable(5))
                continue;
            const std::string in = pty_.receive();
            if (in.empty())
                continue;
            std::string out;
            {
                std::lock_guard<std::mutex> l(mutex_);
                received_ += in;
                reads_.emplace_back(std::chrono::steady_clock::now(), in);
                for (char c : in)
                    out += take(static_cast<uint8_t>(c));
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
                // Only the page editor (entry 1) is scripted; the others leave by "exit".
                mode_ = entry_ == 1 ? Mode::Screen : Mode::Console;
                return entry_ == 1 ? paint_ : std::string();
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
                std::string cmd;
                cmd.swap(line_);
                return reply_ ? reply_(cmd) : std::string();
            }
            return {};
        }
        return {};
    }

    testsupport::PtyPeer pty_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    Mode mode_ = Mode::Menu;
    int entry_ = 0;
    std::string line_;
    std::string recent_;
    std::string probeAnswer_;
    std::string probePrefix_;
    std::string paint_;
    CommandReply reply_;
    std::string received_;
    std::vector<std::pair<std::chrono::steady_clock::time_point, std::string>> reads_;
};

} // namespace motiontest
