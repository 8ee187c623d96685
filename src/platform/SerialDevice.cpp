#include "platform/SerialDevice.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace platform {

namespace {

speed_t standardSpeed(int rate)
{
    // clang-format off
    switch (rate) {
    case 50: return B50;
    case 75: return B75;
    case 110: return B110;
    case 134: return B134;
    case 150: return B150;
    case 200: return B200;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 1800: return B1800;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 500000: return B500000;
    case 576000: return B576000;
    case 921600: return B921600;
    case 1000000: return B1000000;
    case 1152000: return B1152000;
    case 1500000: return B1500000;
    case 2000000: return B2000000;
    case 2500000: return B2500000;
    case 3000000: return B3000000;
    case 3500000: return B3500000;
    case 4000000: return B4000000;
    default: return B0;
    }
    // clang-format on
}

// Lets a pseudo-terminal hand over bytes that are still in flight to the line discipline, so
// that counting or flushing sees them (the kernel does this work on poll).
void settle(int fd)
{
    pollfd p{fd, POLLIN, 0};
    ::poll(&p, 1, 0);
}

} // namespace

SerialDevice::~SerialDevice()
{
    close();
}

bool SerialDevice::open(const std::string& devicePath, int baudRate)
{
    close();
    int fd = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        lastError_ = errno;
        return false;
    }
    auto fail = [&](int err) {
        ::close(fd);
        lastError_ = err;
        return false;
    };
    if (!::isatty(fd))
        return fail(ENOTTY);
    // TIOCEXCL keeps other users out, but root ignores it; the lock is what stops a second
    // instance of the suite, whoever runs it.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return fail(errno == EWOULDBLOCK ? EBUSY : errno);
    if (::ioctl(fd, TIOCEXCL) != 0)
        return fail(errno);

    termios tio{};
    if (::tcgetattr(fd, &tio) != 0)
        return fail(errno);
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS | HUPCL);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | ISTRIP | IGNBRK | BRKINT | PARMRK);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    tio.c_cc[VSTART] = 0x11;
    tio.c_cc[VSTOP] = 0x13;
    speed_t speed = standardSpeed(baudRate);
    if (speed != B0) {
        ::cfsetispeed(&tio, speed);
        ::cfsetospeed(&tio, speed);
    }
    if (::tcsetattr(fd, TCSANOW, &tio) != 0)
        return fail(errno);
    if (speed == B0 && !setCustomBaudRate(fd, baudRate))
        return fail(errno ? errno : EINVAL);

    // DTR and RTS held off, as the controller's cable expects; a pseudo-terminal has no modem
    // lines, so a refusal here is not an error.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(fd, TIOCMBIC, &lines);
    ::tcflush(fd, TCIOFLUSH);

    fd_ = fd;
    lastError_ = 0;
    return true;
}

void SerialDevice::close()
{
    if (fd_ >= 0) {
        // The exclusive flag lives on the tty, not on our descriptor: a pty whose other side
        // stays open would keep refusing everyone else after we are gone.
        ::ioctl(fd_, TIOCNXCL);
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
        fd_ = -1;
    }
}

bool SerialDevice::setBaudRate(int baudRate)
{
    if (fd_ < 0) {
        lastError_ = EBADF;
        return false;
    }
    speed_t speed = standardSpeed(baudRate);
    if (speed == B0) {
        if (!setCustomBaudRate(fd_, baudRate)) {
            lastError_ = errno ? errno : EINVAL;
            return false;
        }
        return true;
    }
    termios tio{};
    if (::tcgetattr(fd_, &tio) != 0 || ::cfsetispeed(&tio, speed) != 0 || ::cfsetospeed(&tio, speed) != 0 ||
        ::tcsetattr(fd_, TCSANOW, &tio) != 0) {
        lastError_ = errno;
        return false;
    }
    return true;
}

long SerialDevice::readSome(void* buffer, size_t maxCount)
{
    if (fd_ < 0) {
        lastError_ = EBADF;
        return -1;
    }
    if (maxCount == 0)
        return 0;
    for (;;) {
        ssize_t n = ::read(fd_, buffer, maxCount);
        if (n > 0)
            return static_cast<long>(n);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN) {
            lastError_ = errno;
            return -1;
        }
        // Nothing queued. A device that was unplugged (or a pty whose controller side went
        // away) also reads as empty, so look for the hang-up explicitly.
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) {
            lastError_ = EIO;
            return -1;
        }
        return 0;
    }
}

bool SerialDevice::writeAll(const void* data, size_t count, int timeoutMs, size_t* written)
{
    using Clock = std::chrono::steady_clock;
    size_t done = 0;
    auto finish = [&](bool ok, int err) {
        if (written)
            *written = done;
        if (!ok)
            lastError_ = err;
        return ok;
    };
    if (fd_ < 0)
        return finish(false, EBADF);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const auto* p = static_cast<const unsigned char*>(data);
    while (done < count) {
        ssize_t n = ::write(fd_, p + done, count - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return finish(false, errno);
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return finish(false, ETIMEDOUT);
        pollfd pw{fd_, POLLOUT, 0};
        int r = ::poll(&pw, 1, static_cast<int>(left));
        if (r < 0 && errno != EINTR)
            return finish(false, errno);
        if (r > 0 && (pw.revents & (POLLERR | POLLHUP | POLLNVAL)) && !(pw.revents & POLLOUT))
            return finish(false, EIO);
    }
    return finish(true, 0);
}

bool SerialDevice::waitReadable(int timeoutMs) const
{
    if (fd_ < 0)
        return false;
    pollfd p{fd_, POLLIN, 0};
    for (;;) {
        int r = ::poll(&p, 1, timeoutMs);
        if (r < 0 && errno == EINTR)
            continue;
        return r > 0;
    }
}

bool SerialDevice::purgeInput()
{
    if (fd_ < 0) {
        lastError_ = EBADF;
        return false;
    }
    settle(fd_);
    if (::tcflush(fd_, TCIFLUSH) != 0) {
        lastError_ = errno;
        return false;
    }
    return true;
}

int SerialDevice::bytesWaiting() const
{
    if (fd_ < 0)
        return 0;
    settle(fd_);
    int n = 0;
    if (::ioctl(fd_, FIONREAD, &n) != 0 || n < 0)
        return 0;
    return n;
}

std::string SerialDevice::lastErrorText() const
{
    return describeSerialError(lastError_);
}

std::string describeSerialError(int err)
{
    switch (err) {
    case 0:
        return {};
    case EACCES:
    case EPERM:
        return "Permission denied. Serial ports belong to the group 'dialout': add your account to it "
               "(sudo usermod -aG dialout $USER) and log in again.";
    case EBUSY:
        return "The port is in use by another program. Close the other program, or choose another port.";
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return "There is no such device. Check that the cable or USB adapter is plugged in, and that the "
               "port name points at the right device.";
    case EIO:
        return "The device stopped answering (it was unplugged or switched off).";
    case ETIMEDOUT:
        return "The device did not take the data within one second.";
    case ENOTTY:
        return "This is not a serial device.";
    case EINVAL:
        return "The device does not support these line settings.";
    default:
        return std::strerror(err);
    }
}

} // namespace platform
