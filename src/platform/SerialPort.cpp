#include "platform/SerialPort.h"

#include "platform/PortMap.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <system_error>
#include <unistd.h>

namespace platform {

namespace {

std::string resolveDevice(const std::string& portName)
{
    if (!portName.empty() && portName[0] == '/')
        return portName;
    return platform::devicePathForPort(portName);
}

} // namespace

SerialPort::~SerialPort()
{
    close();
}

bool SerialPort::open(const std::string& portName, int baudRate, Notify notify)
{
    close();
    if (!device_.open(resolveDevice(portName), baudRate))
        return false;
    if (::pipe2(wakePipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
        device_.close();
        return false;
    }
    // Everything the reader looks at is in place before it starts.
    portName_ = portName;
    notify_ = std::move(notify);
    isOpen_.store(true);
    try {
        reader_ = std::thread(&SerialPort::readerLoop, this);
    } catch (const std::system_error&) {
        close();
        return false;
    }
    return true;
}

void SerialPort::close()
{
    isOpen_.store(false);
    if (reader_.joinable()) {
        char wake = 1;
        [[maybe_unused]] ssize_t n = ::write(wakePipe_[1], &wake, 1);
        reader_.join();
    }
    for (int& fd : wakePipe_) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    // Only now, with the reader gone, may the descriptor be released.
    device_.close();
    notify_ = nullptr;
}

bool SerialPort::write(const void* data, size_t count, size_t* written)
{
    if (written)
        *written = 0;
    if (!isOpen_.load())
        return false;
    return device_.writeAll(data, count, kWriteBoundMs, written);
}

bool SerialPort::waitReadable(int timeoutMs)
{
    return isOpen_.load() && device_.waitReadable(timeoutMs);
}

bool SerialPort::read(void* buffer, size_t maxCount, size_t* got)
{
    *got = 0;
    if (!isOpen_.load())
        return false;
    long n = device_.readSome(buffer, maxCount);
    if (n < 0)
        return false;
    *got = static_cast<size_t>(n);
    return true;
}

bool SerialPort::purgeInput()
{
    return isOpen_.load() && device_.purgeInput();
}

int SerialPort::bytesWaiting()
{
    return isOpen_.load() ? device_.bytesWaiting() : 0;
}

std::vector<std::string> SerialPort::enumeratePorts(int maxNames)
{
    std::vector<std::string> names;
    for (const auto& entry : platform::portMap()) {
        if (static_cast<int>(names.size()) >= maxNames)
            break;
        if (entry.exists)
            names.push_back(entry.name);
    }
    return names; // portMap() already runs in port-number order
}

// Tells the owner when new bytes have arrived. The bytes stay queued for the owner to read, so
// while some wait unread the reader only looks again every few milliseconds instead of spinning
// on a descriptor that stays readable; it tells again when the count changes, and at most every
// 50 ms while bytes sit unread, so a notification lost between two reads is soon repeated.
void SerialPort::readerLoop()
{
    using Clock = std::chrono::steady_clock;
    const int fd = device_.fd();
    int lastCount = 0;
    auto lastNotify = Clock::now();
    while (isOpen_.load()) {
        pollfd fds[2] = {{wakePipe_[0], POLLIN, 0}, {fd, POLLIN, 0}};
        const bool unread = lastCount > 0;
        int r = ::poll(fds, unread ? 1 : 2, unread ? 10 : -1);
        if (r < 0 && errno != EINTR)
            break;
        if (fds[0].revents)
            break;
        if (!unread && (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL))) {
            // A vanished device stays "readable" for ever: wait for close() instead of spinning.
            pollfd wake{wakePipe_[0], POLLIN, 0};
            ::poll(&wake, 1, 50);
            continue;
        }
        int count = device_.bytesWaiting();
        auto now = Clock::now();
        bool changed = count > 0 && count != lastCount;
        bool stale = count > 0 && now - lastNotify >= std::chrono::milliseconds(50);
        lastCount = count;
        if ((changed || stale) && notify_) {
            lastNotify = now;
            notify_();
        }
    }
}

} // namespace platform
