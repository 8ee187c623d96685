#include "sim/PtyServer.h"

#include <algorithm>
#include <cstdio>
#include <poll.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace sim {

PtyServer::PtyServer(Controller& controller, ControllerMemory& memory, PtyHost& pty, ControlFifo& control,
                     Settings settings, platform::Clock& clock)
    : controller_(controller), memory_(memory), pty_(pty), control_(control), settings_(std::move(settings)),
      clock_(clock), line_(settings_.pace, clock)
{
    if (!settings_.memoryFile.empty())
        saver_ = std::make_unique<MemorySaver>(settings_.memoryFile);
}

void PtyServer::runControlCommands()
{
    std::string error;
    for (const std::string& line : control_.readLines()) {
        if (line.empty())
            continue;
        std::string reply;
        if (!controller_.control(line, &error, &reply))
            std::fprintf(stderr, "kz7sim: %s (ignored)\n", error.c_str());
        else if (!reply.empty())
            std::fprintf(stderr, "kz7sim: %s\n", reply.c_str());
    }
}

void PtyServer::readFromPc()
{
    // A stalled controller takes nothing in: the PC's writes wait on the line (and give up
    // after their bound), as they would on a controller that stopped listening.
    pty_.holdInput(controller_.stalled());
    if (controller_.stalled())
        return;
    static char buffer[65536];
    while (line_.queuedInput() < kMaxQueuedInput) {
        long n = pty_.read(buffer, std::min(sizeof buffer, kMaxQueuedInput - line_.queuedInput()));
        if (n <= 0)
            break;
        line_.put(buffer, static_cast<size_t>(n));
    }
}

void PtyServer::deliverInput()
{
    if (controller_.stalled())
        return;
    line_.deliverDue([this](int64_t ms, std::string_view bytes) {
        // The controller's time moves to each byte's delivery, so what it answers (and when
        // it decides that the line has gone quiet) follows the line, not this loop's wake-ups.
        controller_.advance(ms);
        controller_.receive(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        if (controller_.pendingOutput() > 0)
            line_.outputWaiting(ms * 1000);
    });
}

void PtyServer::sendOutput()
{
    if (controller_.stalled() || !outbox_.empty()) {
        // Nothing goes onto the line meanwhile, and the pause earns it no credit.
        line_.carryOutput(0);
    } else {
        size_t carried = line_.carryOutput(controller_.pendingOutput());
        if (carried > 0)
            outbox_ = controller_.takeOutput(carried);
    }
    if (!outbox_.empty()) {
        long n = pty_.write(outbox_.data(), outbox_.size());
        if (n > 0)
            outbox_.erase(0, static_cast<size_t>(n));
    }
}

void PtyServer::checkVanish(int64_t nowMs)
{
    // Closing the pty throws away what the PC has not read yet, so the last bytes before a
    // vanish are given a moment to be read first.
    if (controller_.vanished() && outbox_.empty() && vanishSeenMs_ < 0)
        vanishSeenMs_ = nowMs;
    // (The count lags a moment behind the write, hence the short grace first.)
    if (vanishSeenMs_ >= 0 &&
        ((nowMs - vanishSeenMs_ >= 30 && pty_.unreadByPeer() == 0) || nowMs - vanishSeenMs_ > 1000)) {
        std::fprintf(stderr, "kz7sim: the device vanished as asked\n");
        pty_.close();
        outbox_.clear();
    }
}

void PtyServer::saveMemory()
{
    if (memoryDirty_ && saver_)
        saver_->save(memory_);
    memoryDirty_ = false;
}

int64_t PtyServer::sleepUs(int64_t nowUs) const
{
    int64_t timeout = 1000000;
    auto until = [&](int64_t atUs) { timeout = std::clamp<int64_t>(atUs - nowUs, 0, timeout); };
    if (auto next = controller_.nextDeadline())
        until(*next * 1000);
    if (memoryDirty_)
        timeout = std::min<int64_t>(timeout, 500000);
    if (!pty_.isOpen())
        return timeout;
    if (vanishSeenMs_ >= 0)
        timeout = std::min<int64_t>(timeout, 5000);
    if (controller_.stalled())
        return timeout;
    if (auto next = line_.nextInputUs())
        until(*next);
    if (outbox_.empty() && controller_.pendingOutput() > 0) {
        if (auto next = line_.nextOutputUs())
            until(*next);
        else
            timeout = 0; // the line is free: the next pass starts it
    }
    return timeout;
}

void PtyServer::run()
{
    std::unique_lock<std::mutex> lock;
    if (settings_.guard)
        lock = std::unique_lock<std::mutex>(*settings_.guard);
    for (;;) {
        // A new rate is taken between transfers, so no byte is timed by two rates.
        if (wantedPace_ >= 0 && line_.queuedInput() == 0 && outbox_.empty() &&
            controller_.pendingOutput() == 0) {
            line_.setBaud(wantedPace_);
            wantedPace_ = -1;
        }
        deliverInput();
        int64_t nowMs = clock_.nowMs();
        controller_.advance(nowMs);
        runControlCommands();

        if (pty_.isOpen()) {
            readFromPc();
            // Commands written before the bytes just read are in the FIFO by now: apply them
            // first, so a script that sends a command and then data finds the command in effect.
            runControlCommands();
            pty_.holdInput(controller_.stalled());
            deliverInput();
            nowMs = clock_.nowMs();
            controller_.advance(nowMs);
            sendOutput();
            checkVanish(nowMs);
        }

        if (controller_.takeMemoryChanged())
            memoryDirty_ = true;
        if (memoryDirty_ && nowMs - lastSaveMs_ >= 500) {
            saveMemory();
            lastSaveMs_ = nowMs;
        }

        // The reader of standard output went away (a test that started us has died).
        if (settings_.watchStdout) {
            pollfd out{STDOUT_FILENO, 0, 0};
            if (::poll(&out, 1, 0) > 0 && (out.revents & (POLLERR | POLLHUP | POLLNVAL)))
                break;
        }

        // Requests are answered and stops reported after the controller's turn, so an event
        // leaves within the same pass as the line that caused it.
        if (settings_.debug)
            settings_.debug->service();

        int64_t timeout = sleepUs(clock_.nowUs());
        if (wantedPace_ >= 0)
            timeout = std::min<int64_t>(timeout, 10000);
        std::vector<pollfd> fds;
        fds.push_back({settings_.stopFd, POLLIN, 0});
        const size_t wakeIndex = fds.size();
        if (settings_.wakeFd >= 0)
            fds.push_back({settings_.wakeFd, POLLIN, 0});
        if (control_.fd() >= 0)
            fds.push_back({control_.fd(), POLLIN, 0});
        size_t ptyIndex = fds.size();
        if (pty_.isOpen()) {
            short events = 0;
            if (!controller_.stalled() && line_.queuedInput() < kMaxQueuedInput)
                events |= POLLIN;
            if (!outbox_.empty())
                events |= POLLOUT;
            fds.push_back({pty_.masterFd(), events, 0});
        }
        if (settings_.debug)
            settings_.debug->pollFds(fds);
        timespec wait{static_cast<time_t>(timeout / 1000000), static_cast<long>(timeout % 1000000) * 1000};
        if (lock.owns_lock())
            lock.unlock();
        int ready = ::ppoll(fds.data(), fds.size(), &wait, nullptr);
        if (settings_.guard)
            lock.lock();
        if (ready > 0 && (fds[0].revents & POLLIN))
            break;
        if (ready > 0 && settings_.wakeFd >= 0 && (fds[wakeIndex].revents & POLLIN)) {
            char drain[64];
            while (::read(settings_.wakeFd, drain, sizeof drain) > 0) {
            }
        }
        if (ready > 0 && pty_.isOpen() && (fds[ptyIndex].revents & (POLLHUP | POLLERR)) &&
            !(fds[ptyIndex].revents & POLLIN))
            ::usleep(1000); // no slave open yet on some kernels: do not spin
    }
    saveMemory();
    if (saver_)
        saver_->flush();
}

} // namespace sim
