// Arbitrary line rates (125000, 250000, ...) need termios2 with BOTHER. Its kernel header
// defines the same names as <termios.h>, so this file must not include that one.
#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <cerrno>

extern "C" int ioctl(int fd, unsigned long request, ...);

namespace platform {

bool setCustomBaudRate(int fd, int baudRate)
{
    if (baudRate <= 0) {
        errno = EINVAL;
        return false;
    }
    struct termios2 tio {};
    if (ioctl(fd, TCGETS2, &tio) != 0)
        return false;
    tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    tio.c_ispeed = static_cast<speed_t>(baudRate);
    tio.c_ospeed = static_cast<speed_t>(baudRate);
    return ioctl(fd, TCSETS2, &tio) == 0;
}

} // namespace platform
