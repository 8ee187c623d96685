#include "platform/ByteChannel.h"
#include "platform/SerialDevice.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace platform {

namespace {

class SerialChannel final : public ByteChannel {
  public:
    SerialChannel(const std::string& devicePath, int baudRate) { device_.open(devicePath, baudRate); }
    bool isOpen() const override { return device_.isOpen(); }
    void close() override { device_.close(); }
    bool write(const void* data, size_t count, size_t* written) override
    {
        return device_.writeAll(data, count, kWriteBoundMs, written);
    }
    // A plain read of the descriptor, so that a reader thread never touches the device's error
    // state, which the owner's writes set.
    bool read(void* buffer, size_t maxCount, size_t* got) override
    {
        *got = 0;
        const int fd = device_.fd();
        if (fd < 0)
            return false;
        for (;;) {
            ssize_t n = ::read(fd, buffer, maxCount);
            if (n > 0) {
                *got = static_cast<size_t>(n);
                return true;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno != EAGAIN)
                return false;
            pollfd p{fd, POLLIN, 0};
            // A hung-up device reads nothing for ever: that is a failure, not silence.
            return !(::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)));
        }
    }
    bool waitReadable(int timeoutMs) override { return device_.waitReadable(timeoutMs); }
    bool purgeInput() override { return device_.purgeInput(); }
    int bytesWaiting() override { return device_.bytesWaiting(); }
    std::string lastErrorText() const override { return device_.lastErrorText(); }

  private:
    SerialDevice device_;
};

} // namespace

std::unique_ptr<ByteChannel> openSerialDevice(const std::string& devicePath, int baudRate)
{
    return std::make_unique<SerialChannel>(devicePath, baudRate);
}

} // namespace platform
