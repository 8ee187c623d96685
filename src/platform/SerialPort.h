#pragma once
// The suite's port to a controller: an exclusively opened COM port with a reader thread that
// tells its owner when bytes arrive (a null callback never notifies; the owner then polls). It is
// the real byte channel under the controller links.

#include "platform/ByteChannel.h"
#include "platform/SerialDevice.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace platform {

class SerialPort : public platform::ByteChannel {
  public:
    using Notify = std::function<void()>;

    SerialPort() = default;
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // portName is a COM name ("COM3", resolved through the port folder) or a device path
    // ("/dev/pts/4"). Closes a port that is open first. The notify callback runs on the reader
    // thread each time new bytes arrive; it must not call close().
    bool open(const std::string& portName, int baudRate, Notify notify = {});
    void close() override;
    bool isOpen() const override { return isOpen_.load(); }
    const std::string& portName() const { return portName_; }

    // Bounded by 1000 ms; false on a time-out, an error or a closed port.
    bool write(const void* data, size_t count, size_t* written = nullptr) override;
    using ByteChannel::write;
    // Never blocks: true with *got = 0 when nothing waits; false on a closed or failed port.
    bool read(void* buffer, size_t maxCount, size_t* got) override;
    bool waitReadable(int timeoutMs) override;
    bool purgeInput() override;
    int bytesWaiting() override;

    int lastError() const { return device_.lastError(); }
    std::string lastErrorText() const override { return device_.lastErrorText(); }
    platform::SerialDevice& device() { return device_; }

    // The COM names (COM1..COM256) whose device is present, sorted by number; at most maxNames.
    // Nothing is opened (see platform::portMap): a port another program holds is listed too
    // and says it is busy when connected to.
    static std::vector<std::string> enumeratePorts(int maxNames = 255);

  private:
    void readerLoop();

    platform::SerialDevice device_;
    std::atomic<bool> isOpen_{false};
    std::string portName_;
    Notify notify_;
    std::thread reader_;
    int wakePipe_[2] = {-1, -1};
};

} // namespace platform
