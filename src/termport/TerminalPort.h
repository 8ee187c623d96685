#pragma once
// The terminal's port: one COM port at a time on the suite's serial layer. Its watcher (the
// serial port's reader thread) only says that bytes are waiting; the window reads them on its
// own thread. Notifications are folded: after one, no other comes until the owner calls
// drained(), so the owner's event queue never fills up with them. No Qt in here.
//
// Failure in this library: false, with the system's reason from lastErrorText().

#include "platform/PortMap.h"
#include "platform/SerialPort.h"
#include "termcore/ReconnectRule.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace terminal {

class TerminalPort {
  public:
    static constexpr size_t kDrainBlock = 1024;
    using DataReady = std::function<void()>;

    TerminalPort() = default;
    ~TerminalPort() { close(); }
    TerminalPort(const TerminalPort&) = delete;
    TerminalPort& operator=(const TerminalPort&) = delete;

    // Opens name ("COM3", through the port folder) at baudRate, 8N1 raw; an open port is
    // closed first. ready runs on the watcher thread: it must only post a message.
    // With device given, that device is opened and name is kept only to be shown (a COM name
    // whose device came back).
    bool open(const std::string& name, int baudRate, DataReady ready, const std::string& device = {});
    // Stops and joins the watcher, then closes the device.
    void close();
    bool isOpen() const { return port_.isOpen(); }
    const std::string& portName() const { return name_; }
    int baudRate() const { return baudRate_; }
    // The device path that is open ("/dev/pts/7"); empty when closed.
    std::string device() const { return port_.isOpen() ? port_.portName() : std::string(); }

    // How a port name resolves now: the device behind it, whether through a link in the port
    // folder, and whether the device node is there.
    static termcore::PortResolution resolve(const std::string& name);
    // One bounded write (1000 ms); false on a closed port, an error or a time-out. written,
    // when given, gets how many bytes went out, also when the write failed part-way.
    bool write(const void* data, size_t count, size_t* written = nullptr);
    // Throws away what was written but has not left yet (the driver's output queue), so a
    // cancelled transfer stops on the wire at once.
    void discardOutput();
    // What has arrived, at most capacity bytes, without waiting: the count, 0 when nothing
    // waits, -1 on a closed or failed port.
    long read(void* buffer, size_t capacity);
    // Re-arms the notification; call before reading what is waiting.
    void drained() { pending_.store(false); }

    std::string lastErrorText() const { return port_.lastErrorText(); }

    // The COM ports there are now, by number (COM1, COM3, COM10), at most capacity, each with
    // what stands behind it (an adapter's name and serial number, a label); none is opened.
    static std::vector<platform::PortEntry> listing(int capacity = 255);

  private:
    platform::SerialPort port_;
    std::string name_;
    int baudRate_ = 0;
    DataReady ready_;
    std::atomic<bool> pending_{false};
};

} // namespace terminal
