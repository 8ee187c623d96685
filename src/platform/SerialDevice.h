#pragma once
// A serial device on POSIX termios: exclusive, raw 8N1, non-blocking, any rate.
// Works the same on real UARTs, USB adapters and pseudo-terminals.
//
// Failure in this library: a call answers false (or -1) and the object keeps the system's reason
// (lastError(), lastErrorText()); a free function with no object to keep it gives the reason in
// a std::string* error, and writeFileAtomically in its result (the step and errno).

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

class SerialDevice {
  public:
    SerialDevice() = default;
    ~SerialDevice();
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;

    // Opens devicePath for exclusive use (TIOCEXCL and flock, so a second open fails even for
    // root), raw 8 data bits, no parity, one stop bit, no flow control, DTR and RTS held off,
    // at baudRate (any rate from 50 to 4000000; non-standard rates through termios2).
    // Opening an open device closes it first. On failure the device is closed and lastError()
    // holds the errno of the failed step.
    bool open(const std::string& devicePath, int baudRate);
    void close();
    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    bool setBaudRate(int baudRate);

    // Reads what is queued, at most maxCount bytes, without blocking. Returns the count (0 when
    // nothing waits) or -1 when the device failed (unplugged, peer gone: lastError() says why).
    long readSome(void* buffer, size_t maxCount);
    // Writes all count bytes, waiting at most timeoutMs in total for the device to take them.
    // False on a time-out or an error; *written (if given) holds what went out.
    bool writeAll(const void* data, size_t count, int timeoutMs = 1000, size_t* written = nullptr);
    // Waits until bytes can be read or timeoutMs passes; true when readable (or hung up).
    bool waitReadable(int timeoutMs) const;
    bool purgeInput();
    // Bytes queued for reading; 0 when the query fails.
    int bytesWaiting() const;

    int lastError() const { return lastError_; }
    // A sentence for a user: why the last open or transfer failed, with the usual remedy.
    std::string lastErrorText() const;

  private:
    int fd_ = -1;
    int lastError_ = 0;
};

// The rates open() and setBaudRate() can set.
constexpr int kLowestBaudRate = 50;
constexpr int kHighestBaudRate = 4000000;
inline bool isSettableBaudRate(long rate)
{
    return rate >= kLowestBaudRate && rate <= kHighestBaudRate;
}

// Sets a custom rate through termios2/BOTHER; kept in its own file because <asm/termbits.h>
// clashes with <termios.h>. Returns false with errno set on failure.
bool setCustomBaudRate(int fd, int baudRate);

// A sentence for a user about an errno from opening or using a serial device.
std::string describeSerialError(int err);

} // namespace platform
