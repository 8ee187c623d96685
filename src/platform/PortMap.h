#pragma once
// COM port names, Wine-style: the port folder holds symlinks "COMn" -> device. A name without a
// link falls back to /dev/ttyS(n-1) for COM1..COM32, then to the /dev/ttyUSB* and /dev/ttyACM*
// devices in name order from COM33 on.

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
    std::string name;   // "COM3"
    std::string device; // what the name resolves to
    bool linked = false; // from the port folder rather than a default
    bool exists = false; // the device node exists
};

// Every COMn (1..256) whose device exists or whose link exists, sorted by number.
std::vector<PortEntry> portMap();

// Creates or replaces the link COMn -> device in the port folder (creating the folder).
bool linkPort(int number, const std::string& device, std::string* error = nullptr);
bool unlinkPort(int number);

} // namespace platform
