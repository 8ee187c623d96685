#pragma once
// Which device the terminal may reopen after its device went away. A port reached through a
// link in the port folder ("COM5" -> /dev/pts/7) comes back when a link of that name exists
// again: whatever it points at now is what the user made COM5. A port reached any other way
// (a default device such as /dev/ttyS4 or /dev/ttyUSB0, or a device path given directly) comes
// back only as the very same device path; a default that now names another device (the USB
// adapters moved up) or a link that has gone never leads to another device in its place.

#include <optional>
#include <string>

namespace termcore {

struct PortResolution {
    std::string device; // empty: nothing stands behind the name
    bool linked = false;
    bool exists = false; // the device node is there
    bool operator==(const PortResolution&) const = default;
};

class ReconnectRule {
  public:
    // The device went away; `atOpen` is how its name was resolved when it opened.
    void arm(const std::string& portName, int baudRate, const PortResolution& atOpen);
    void disarm() { armed_ = false; }
    bool armed() const { return armed_; }
    const std::string& portName() const { return portName_; }
    int baudRate() const { return baudRate_; }
    const std::string& lostDevice() const { return atOpen_.device; }

    // The device to try now, given how the name resolves now; nothing when it is not back.
    std::optional<std::string> deviceToOpen(const PortResolution& now) const;

  private:
    bool armed_ = false;
    std::string portName_;
    int baudRate_ = 0;
    PortResolution atOpen_;
};

} // namespace termcore
