#include "support/PtyPeer.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace testsupport {

namespace {

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

} // namespace

PtyPeer::PtyPeer()
{
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master_ < 0)
        return;
    const char* name = nullptr;
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 || !(name = ::ptsname(master_))) {
        ::close(master_);
        master_ = -1;
        return;
    }
    slavePath_ = name;
    slaveKeeper_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (slaveKeeper_ < 0)
        return;
    termios t{};
    ::tcgetattr(slaveKeeper_, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(slaveKeeper_, TCSANOW, &t);
}

PtyPeer::~PtyPeer()
{
    unplug();
    if (slaveKeeper_ >= 0)
        ::close(slaveKeeper_);
}

bool PtyPeer::send(const std::string& bytes, int timeoutMs)
{
    return send(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), timeoutMs);
}

bool PtyPeer::send(const uint8_t* data, size_t size, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    size_t done = 0;
    while (done < size && master_ >= 0) {
        const ssize_t n = ::write(master_, data + done, size - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        const int left = msLeft(deadline);
        if (left == 0)
            return false;
        pollfd p{master_, POLLOUT, 0};
        ::poll(&p, 1, std::min(left, 5));
    }
    return done == size;
}

size_t PtyPeer::sendSome(const uint8_t* data, size_t size)
{
    if (master_ < 0 || size == 0)
        return 0;
    const ssize_t n = ::write(master_, data, size);
    return n > 0 ? static_cast<size_t>(n) : 0;
}

std::string PtyPeer::receive()
{
    std::string out;
    char buffer[4096];
    while (master_ >= 0) {
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n <= 0)
            break;
        out.append(buffer, static_cast<size_t>(n));
    }
    return out;
}

bool PtyPeer::waitReadable(int timeoutMs)
{
    if (master_ < 0)
        return false;
    pollfd p{master_, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) > 0 && (p.revents & POLLIN);
}

void PtyPeer::startCollecting()
{
    if (collecting_.exchange(true))
        return;
    reader_ = std::thread([this] {
        char buffer[4096];
        while (collecting_.load()) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n > 0) {
                std::lock_guard lock(mutex_);
                data_.append(buffer, static_cast<size_t>(n));
                arrived_.notify_all();
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
    });
}

void PtyPeer::stopCollecting()
{
    collecting_ = false;
    if (reader_.joinable())
        reader_.join();
}

std::string PtyPeer::waitFor(size_t count, int timeoutMs)
{
    std::unique_lock lock(mutex_);
    arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return data_.size() >= count; });
    return data_;
}

std::string PtyPeer::collected()
{
    std::lock_guard lock(mutex_);
    return data_;
}

void PtyPeer::reset()
{
    std::lock_guard lock(mutex_);
    data_.clear();
}

void PtyPeer::unplug()
{
    stopCollecting();
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
}

} // namespace testsupport
