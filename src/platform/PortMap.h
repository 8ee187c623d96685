#pragma once
// COM port names, Wine-style: the port folder holds symlinks "COMn" -> device. A name without a
// link falls back to /dev/ttyS(n-1) for COM1..COM32, then to the /dev/ttyUSB* and /dev/ttyACM*
// devices in name order from COM33 on.
//
// Listing never opens a device: an open resets the line settings another program chose, may
// flush its unread input and pulses DTR on a USB adapter, which resets many boards. What is
// present and what stands behind it come from the port folder and sysfs instead; a busy port
// only shows when the user connects.

#include <optional>
#include <string>
#include <vector>

namespace platform {

constexpr int kMaxComPort = 256;

// $TESSABAN_PORTS if set, else $XDG_CONFIG_HOME/Quorvel/Tessaban/ports (~/.config when unset).
std::string portFolder();

// "COM12" -> 12; nullopt for anything else (case-insensitive "com" accepted).
std::optional<int> comPortNumber(const std::string& name);

// The device behind a port name: the link target in the port folder, else the default device;
// empty when the name is no COM name or nothing stands behind it.
std::string devicePathForPort(const std::string& portName);

struct PortEntry {
    int number = 0;
    std::string name;    // "COM3"
    std::string device;  // what the name resolves to
    bool linked = false; // from the port folder rather than a default
    bool exists = false; // the device node exists and the system reports a line behind it
    // What stands behind the port, so the robot's cable can be told from the others: the text of
    // COMn.label in the port folder, else the USB adapter's product name and serial number.
    std::string description;
};

// What sysfs (below sysRoot) says about a tty device, read without opening it.
struct TtyFacts {
    bool emptySlot = false;  // a legacy serial line the kernel found no chip for
    std::string description; // "FT232R USB UART, serial A50285BI" for a USB adapter
};
TtyFacts ttyFacts(const std::string& device, const std::string& sysRoot = "/sys");

// Every COMn (1..256) whose device exists or whose link exists, sorted by number.
std::vector<PortEntry> portMap();

// Creates or replaces the link COMn -> device in the port folder (creating the folder); a
// non-empty label is written beside it as COMn.label, an empty one removes an old label.
bool linkPort(int number, const std::string& device, std::string* error = nullptr,
              const std::string& label = {});
// Removes the link and its label.
bool unlinkPort(int number);

} // namespace platform
