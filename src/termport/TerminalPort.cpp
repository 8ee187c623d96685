#include "termport/TerminalPort.h"

#include "platform/PortMap.h"

#include <filesystem>
#include <sys/stat.h>
#include <termios.h>

namespace terminal {

bool TerminalPort::open(const std::string& name, int baudRate, DataReady ready, const std::string& device)
{
    close();
    ready_ = std::move(ready);
    pending_.store(false);
    // A COM name is opened through its resolved path, so device() names what is open.
    std::string path = device;
    if (path.empty())
        path = name.empty() || name[0] == '/' ? name : platform::devicePathForPort(name);
    const bool ok = port_.open(path.empty() ? name : path, baudRate, [this] {
        if (!pending_.exchange(true) && ready_)
            ready_();
    });
    if (!ok) {
        ready_ = nullptr;
        return false;
    }
    name_ = name;
    baudRate_ = baudRate;
    return true;
}

void TerminalPort::close()
{
    // SerialPort::close joins the watcher before the descriptor goes, so ready_ is no longer
    // called once this returns.
    port_.close();
    ready_ = nullptr;
    pending_.store(false);
}

bool TerminalPort::write(const void* data, size_t count, size_t* written)
{
    if (written)
        *written = 0;
    if (count == 0)
        return port_.isOpen();
    return port_.write(data, count, written);
}

void TerminalPort::discardOutput()
{
    if (port_.isOpen())
        ::tcflush(port_.device().fd(), TCOFLUSH);
}

long TerminalPort::read(void* buffer, size_t capacity)
{
    size_t got = 0;
    if (!port_.read(buffer, capacity, &got))
        return -1;
    return static_cast<long>(got);
}

termcore::PortResolution TerminalPort::resolve(const std::string& name)
{
    termcore::PortResolution r;
    auto present = [](const std::string& path) {
        struct stat st {};
        return !path.empty() && ::stat(path.c_str(), &st) == 0;
    };
    if (!name.empty() && name[0] == '/') {
        r.device = name;
        r.exists = present(name);
        return r;
    }
    const auto number = platform::comPortNumber(name);
    if (!number)
        return r;
    namespace fs = std::filesystem;
    const fs::path link = fs::path(platform::portFolder()) / ("COM" + std::to_string(*number));
    struct stat st {};
    r.linked = ::lstat(link.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
    if (r.linked) {
        // A link made anew (kz7sim and linkPort rename a fresh one over the name) has another
        // inode; the change time tells a reused inode apart.
        r.linkId = (static_cast<uint64_t>(st.st_ino) << 20) ^
                   static_cast<uint64_t>(st.st_ctim.tv_sec) * 1000000000ULL ^
                   static_cast<uint64_t>(st.st_ctim.tv_nsec);
        if (r.linkId == 0)
            r.linkId = 1;
    }
    r.device = platform::devicePathForPort(name);
    r.exists = present(r.device);
    return r;
}

std::vector<platform::PortEntry> TerminalPort::listing(int capacity)
{
    std::vector<platform::PortEntry> ports;
    for (platform::PortEntry& entry : platform::portMap()) // in port-number order
        if (entry.exists && static_cast<int>(ports.size()) < capacity)
            ports.push_back(std::move(entry));
    return ports;
}

} // namespace terminal
