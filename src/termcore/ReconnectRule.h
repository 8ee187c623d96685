#pragma once
// Which device the terminal may reopen after its device went away. A port reached through a
// link in the port folder ("COM5" -> /dev/ttyUSB0) comes back when its device is there again, or
// when the link has been made anew (whatever it points at now is what the user made COM5: a
// second simulator linked as COM5, an adapter relinked). A port reached any other way (a default
// device such as /dev/ttyS4 or /dev/ttyUSB0, or a device path given directly) comes back only as
// the very same device path. A pseudo-terminal never comes back by its path: a new one that
// gets the same number is some other program's, so only a link made anew leads to it. A default
// that now names another device (the USB adapters moved up) or a link that has gone never leads
// to another device in its place.

#include <cstdint>
#include <optional>
#include <string>

namespace termcore {

struct PortResolution {
    std::string device; // empty: nothing stands behind the name
    bool linked = false;
    bool exists = false; // the device node is there
    uint64_t linkId = 0; // tells one link from another made later under the same name (0: none)
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
