#include "platform/PortMap.h"

#include "platform/AtomicFile.h"
#include "platform/SettingsKeys.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace fs = std::filesystem;

namespace {

std::string linkPath(int number)
{
    return portFolder() + "/COM" + std::to_string(number);
}

std::string labelPath(int number)
{
    return linkPath(number) + ".label";
}

// The first line of a small text file, cut at kMaxText and with control characters dropped: the
// text goes to terminals and list boxes, and a file in a shared folder is nobody's promise.
std::string firstLine(const std::string& path)
{
    constexpr size_t kMaxText = 80;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    if (!in || !std::getline(in, line))
        return {};
    std::string out;
    for (char c : line) {
        if (out.size() >= kMaxText)
            break;
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7f)
            out += c;
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    size_t start = out.find_first_not_of(' ');
    return start == std::string::npos ? std::string() : out.substr(start);
}

// A USB adapter's product name and serial number: the tty's device is an interface (or a port
// below one) of the USB device that carries them, a few levels up.
std::string usbDescription(const fs::path& ttyDevice)
{
    std::error_code ec;
    fs::path dir = fs::canonical(ttyDevice, ec);
    for (int up = 0; !ec && up < 4 && dir.has_relative_path(); ++up, dir = dir.parent_path()) {
        if (!fs::exists(dir / "idVendor", ec))
            continue;
        std::string product = firstLine((dir / "product").string());
        if (product.empty())
            product = "USB " + firstLine((dir / "idVendor").string()) + ":" +
                      firstLine((dir / "idProduct").string());
        const std::string serial = firstLine((dir / "serial").string());
        if (!serial.empty())
            product.append(", serial ").append(serial);
        return product;
    }
    return {};
}

bool exists(const std::string& path)
{
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

// "ttyUSB10" sorts after "ttyUSB9": compare the name's stem, then its number.
bool naturalLess(const std::string& a, const std::string& b)
{
    auto split = [](const std::string& s) {
        size_t i = s.size();
        while (i > 0 && std::isdigit(static_cast<unsigned char>(s[i - 1])))
            --i;
        long n = i < s.size() ? std::strtol(s.c_str() + i, nullptr, 10) : -1;
        return std::make_pair(s.substr(0, i), n);
    };
    return split(a) < split(b);
}

// The USB serial adapters the machine has now, in name order: they stand behind COM33 upwards.
std::vector<std::string> usbSerialDevices()
{
    std::vector<std::string> names;
    if (DIR* d = ::opendir("/dev")) {
        while (dirent* e = ::readdir(d)) {
            std::string n = e->d_name;
            if (n.rfind("ttyUSB", 0) == 0 || n.rfind("ttyACM", 0) == 0)
                names.push_back(n);
        }
        ::closedir(d);
    }
    std::sort(names.begin(), names.end(), naturalLess);
    for (auto& n : names)
        n.insert(0, "/dev/");
    return names;
}

std::string defaultDevice(int number, const std::vector<std::string>& usb)
{
    if (number <= 32)
        return "/dev/ttyS" + std::to_string(number - 1);
    size_t i = static_cast<size_t>(number - 33);
    return i < usb.size() ? usb[i] : std::string();
}

// Where the link for a port points, or empty when there is no link.
std::string linkTarget(int number)
{
    std::string path = linkPath(number);
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(path, ec)))
        return {};
    fs::path target = fs::read_symlink(path, ec);
    if (ec)
        return {};
    if (target.is_relative())
        target = fs::path(portFolder()) / target;
    return target.lexically_normal().string();
}

} // namespace

TtyFacts ttyFacts(const std::string& device, const std::string& sysRoot)
{
    TtyFacts facts;
    std::error_code ec;
    // A by-id link names the node it leads to; sysfs knows the node's own name.
    fs::path node = fs::canonical(device, ec);
    if (ec)
        node = device;
    const fs::path tty = fs::path(sysRoot) / "class" / "tty" / node.filename();
    if (!fs::exists(tty, ec))
        return facts; // a pseudo-terminal, or a system without sysfs: the node is all there is
    // An 8250 line without a chip has UART type 0 (unknown); its node exists all the same.
    facts.emptySlot = fs::exists(tty / "type", ec) && firstLine((tty / "type").string()) == "0";
    if (fs::exists(tty / "device", ec))
        facts.description = usbDescription(tty / "device");
    return facts;
}

std::string portFolder()
{
    if (const char* dir = std::getenv("TESSABAN_PORTS"); dir && *dir)
        return dir;
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::string(home) + "/.config";
    else
        base = "/tmp";
    return base + "/" + settings::Organisation + "/" + settings::Application + "/ports";
}

std::optional<int> comPortNumber(const std::string& name)
{
    if (name.size() < 4 || name.size() > 6)
        return std::nullopt;
    if (std::toupper(static_cast<unsigned char>(name[0])) != 'C' ||
        std::toupper(static_cast<unsigned char>(name[1])) != 'O' ||
        std::toupper(static_cast<unsigned char>(name[2])) != 'M')
        return std::nullopt;
    int n = 0;
    for (size_t i = 3; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i])))
            return std::nullopt;
        n = n * 10 + (name[i] - '0');
    }
    if (name[3] == '0' || n < 1 || n > kMaxComPort)
        return std::nullopt;
    return n;
}

std::string devicePathForPort(const std::string& portName)
{
    auto n = comPortNumber(portName);
    if (!n)
        return {};
    std::string target = linkTarget(*n);
    if (!target.empty())
        return target;
    if (*n <= 32)
        return defaultDevice(*n, {});
    return defaultDevice(*n, usbSerialDevices());
}

std::vector<PortEntry> portMap()
{
    std::vector<PortEntry> out;
    const auto usb = usbSerialDevices();
    for (int n = 1; n <= kMaxComPort; ++n) {
        PortEntry e;
        e.number = n;
        e.name = "COM" + std::to_string(n);
        e.device = linkTarget(n);
        e.linked = !e.device.empty();
        if (!e.linked)
            e.device = defaultDevice(n, usb);
        // Most of COM1..COM32 have a node with nothing behind it; only sysfs can tell.
        TtyFacts facts = exists(e.device) ? ttyFacts(e.device) : TtyFacts{true, {}};
        e.exists = !facts.emptySlot;
        if (!e.linked && !e.exists)
            continue;
        e.description = firstLine(labelPath(n));
        if (e.description.empty())
            e.description = facts.description;
        out.push_back(std::move(e));
    }
    return out;
}

bool linkPort(int number, const std::string& device, std::string* error, const std::string& label)
{
    auto fail = [&](const std::string& why) {
        if (error)
            *error = why;
        return false;
    };
    if (number < 1 || number > kMaxComPort)
        return fail("port numbers run from 1 to 256");
    std::error_code ec;
    fs::create_directories(portFolder(), ec);
    if (ec)
        return fail("cannot create the port folder " + portFolder() + ": " + ec.message());
    // The label first, so that whoever sees the new link also sees what it stands for.
    if (!label.empty()) {
        const std::string text = label + "\n";
        auto saved = writeFileAtomically(labelPath(number),
                                         {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
        if (!saved)
            return fail("cannot write " + labelPath(number) + ": " + saved.reason());
    } else {
        ::unlink(labelPath(number).c_str());
    }
    // Replace atomically: a link made beside the final name, then renamed over it.
    std::string path = linkPath(number);
    std::string tmp = path + ".new" + std::to_string(::getpid());
    ::unlink(tmp.c_str());
    if (::symlink(device.c_str(), tmp.c_str()) != 0)
        return fail("cannot create " + tmp + ": " + std::strerror(errno));
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        int err = errno;
        ::unlink(tmp.c_str());
        return fail("cannot create " + path + ": " + std::strerror(err));
    }
    return true;
}

bool unlinkPort(int number)
{
    if (number < 1 || number > kMaxComPort)
        return false;
    ::unlink(labelPath(number).c_str());
    return ::unlink(linkPath(number).c_str()) == 0;
}

} // namespace platform
