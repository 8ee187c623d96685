#include "sim/PtyHost.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

PtyHost::~PtyHost()
{
    close();
}

bool PtyHost::open(std::string* error)
{
    close();
    auto fail = [&](const char* step) {
        if (error)
            *error = std::string(step) + ": " + std::strerror(errno);
        close();
        return false;
    };
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0)
        return fail("posix_openpt");
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
        return fail("unlockpt");
    char name[128];
    if (::ptsname_r(master_, name, sizeof name) != 0)
        return fail("ptsname");
    path_ = name;
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave_ < 0)
        return fail("open slave");
    // Raw at once: a cooked slave would echo what the controller sends straight back to it.
    termios tio{};
    if (::tcgetattr(slave_, &tio) != 0)
        return fail("tcgetattr");
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    ::cfsetispeed(&tio, B57600);
    ::cfsetospeed(&tio, B57600);
    if (::tcsetattr(slave_, TCSANOW, &tio) != 0)
        return fail("tcsetattr");
    return true;
}

void PtyHost::close()
{
    if (slave_ >= 0) {
        if (held_)
            ::tcflow(slave_, TCOON);
        ::close(slave_);
    }
    if (master_ >= 0)
        ::close(master_);
    slave_ = master_ = -1;
    held_ = false;
}

long PtyHost::read(char* buffer, size_t maxCount)
{
    if (master_ < 0)
        return -1;
    for (;;) {
        ssize_t n = ::read(master_, buffer, maxCount);
        if (n >= 0)
            return n;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EIO) // EIO: no slave open at the moment
            return 0;
        return -1;
    }
}

long PtyHost::write(const char* data, size_t count)
{
    if (master_ < 0)
        return -1;
    for (;;) {
        ssize_t n = ::write(master_, data, count);
        if (n >= 0)
            return n;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        return -1;
    }
}

int PtyHost::unreadByPeer() const
{
    int count = 0;
    if (slave_ < 0 || ::ioctl(slave_, FIONREAD, &count) != 0)
        return 0;
    return count;
}

void PtyHost::holdInput(bool hold)
{
    if (slave_ < 0 || hold == held_)
        return;
    if (::tcflow(slave_, hold ? TCOOFF : TCOON) == 0)
        held_ = hold;
}

} // namespace sim
