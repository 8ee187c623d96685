#pragma once
// A pseudo-terminal for tests: the test plays the device's far end on the master side and
// opens the slave path through the code under test.

#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <termios.h>
#include <unistd.h>

struct PtyPair {
    int master = -1;
    int slaveKeeper = -1; // keeps the slave alive so the master never reads EIO
    std::string slavePath;

    PtyPair()
    {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
            return;
        slavePath = ::ptsname(master);
        slaveKeeper = ::open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios t{};
        ::tcgetattr(slaveKeeper, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(slaveKeeper, TCSANOW, &t);
    }
    ~PtyPair()
    {
        closeMaster();
        if (slaveKeeper >= 0)
            ::close(slaveKeeper);
    }
    void closeMaster()
    {
        if (master >= 0)
            ::close(master);
        master = -1;
    }
    bool ok() const { return master >= 0 && slaveKeeper >= 0; }
    void send(const std::string& s) const { [[maybe_unused]] auto n = ::write(master, s.data(), s.size()); }
    std::string receive() const
    {
        std::string out;
        char buf[4096];
        for (;;) {
            ssize_t n = ::read(master, buf, sizeof buf);
            if (n <= 0)
                break;
            out.append(buf, static_cast<size_t>(n));
        }
        return out;
    }
};
