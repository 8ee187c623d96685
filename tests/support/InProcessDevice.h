#pragma once
// A controller in-process behind a byte channel on a virtual clock: the one channel the link and
// dialog tests hand to the code under test in place of a serial port. What stands behind it is a
// subclass: the simulated controller (InProcessController) or a scripted one for byte-exact cases.
//
// The channel behaves like a pseudo-terminal opened exclusively: one channel may be open at a
// time, an opened channel starts with nothing queued, the device's answers are there to read as
// soon as it gives them, and every operation first brings the device up to the clock's time. A
// wait for bytes moves the virtual time on to the device's next event, so the protocol's sleeps
// cost no real time.

#include "platform/ByteChannel.h"
#include "support/VirtualClock.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace testsupport {

class InProcessDevice {
  public:
    InProcessDevice(const InProcessDevice&) = delete;
    InProcessDevice& operator=(const InProcessDevice&) = delete;
    virtual ~InProcessDevice() = default;

    // A channel to the device; it fails to open (isOpen() false) while another one is open.
    std::unique_ptr<platform::ByteChannel> open();

  protected:
    // With no clock given, the device keeps one of its own.
    explicit InProcessDevice(VirtualClock* sharedClock = nullptr);

    // The hooks below run with mutex_ held.
    // Does the device's time-driven work up to the clock's time.
    virtual void catchUp() = 0;
    // Takes what the PC wrote; false, with the reason in error, when the device does not take it.
    virtual bool take(const uint8_t* data, size_t count, std::string& error) = 0;
    // When the device next does something by itself, so a wait can jump there.
    virtual std::optional<int64_t> nextEventMs() const = 0;
    // A device that has gone away fails the channel once its last bytes have been read.
    virtual bool vanished() const { return false; }
    // A channel has just been opened.
    virtual void opened() {}

    // Runs the earliest scheduled action due at atMs; false when none is due.
    bool runNextDue(int64_t atMs);
    void schedule(int64_t atMs, std::function<void()> action);
    std::optional<int64_t> nextScheduledMs() const;

    mutable std::recursive_mutex mutex_;
    std::unique_ptr<VirtualClock> ownClock_;
    VirtualClock& deviceClock_;
    std::string toPc_; // sent by the device and not yet read by the PC

  private:
    friend class DeviceChannel;
    bool channelOpen_ = false;
    std::multimap<int64_t, std::function<void()>> scheduled_;
};

} // namespace testsupport
