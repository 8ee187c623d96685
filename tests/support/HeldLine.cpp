#include "support/HeldLine.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace testsupport {

namespace {

const char kWaiting[] = "typed but not read\n";

} // namespace

HeldLine::HeldLine()
{
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    const char* name = nullptr;
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0 || !(name = ::ptsname(master_)))
        return;
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios t{};
    if (slave < 0 || ::tcgetattr(slave, &t) != 0) {
        if (slave >= 0)
            ::close(slave);
        return;
    }
    t.c_lflag |= ICANON | ECHO;
    ::cfsetispeed(&t, B9600);
    ::cfsetospeed(&t, B9600);
    if (::tcsetattr(slave, TCSANOW, &t) != 0 ||
        ::write(master_, kWaiting, sizeof kWaiting - 1) != static_cast<ssize_t>(sizeof kWaiting - 1)) {
        ::close(slave);
        return;
    }
    // The line reaches the slave's queue when the pty hands it over: wait for that.
    pollfd p{slave, POLLIN, 0};
    if (::poll(&p, 1, 5000) != 1) {
        ::close(slave);
        return;
    }
    slave_ = slave;
    slavePath_ = name;
}

HeldLine::~HeldLine()
{
    if (slave_ >= 0)
        ::close(slave_);
    if (master_ >= 0)
        ::close(master_);
}

std::string HeldLine::untouched()
{
    termios t{};
    if (::tcgetattr(slave_, &t) != 0)
        return "the line's settings cannot be read";
    std::string changes;
    if (::cfgetispeed(&t) != B9600 || ::cfgetospeed(&t) != B9600)
        changes += "speed changed; ";
    if (!(t.c_lflag & ICANON))
        changes += "line editing switched off; ";
    char got[64] = {};
    const ssize_t n = ::read(slave_, got, sizeof got);
    if (n != static_cast<ssize_t>(sizeof kWaiting - 1) ||
        std::string(got, static_cast<size_t>(n)) != kWaiting)
        changes += "the waiting line is gone; ";
    return changes;
}

} // namespace testsupport
