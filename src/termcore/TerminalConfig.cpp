#include "termcore/TerminalConfig.h"

#include "platform/SerialDevice.h"

#include "platform/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace termcore {

namespace {

void putInt(std::vector<uint8_t>& out, size_t offset, int32_t value)
{
    const auto v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        out[offset + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

// Reads an int32 at offset when the whole of it is inside the data; otherwise keeps *value.
void getInt(const uint8_t* data, size_t size, size_t offset, int32_t* value)
{
    if (offset + 4 > size)
        return;
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= static_cast<uint32_t>(data[offset + static_cast<size_t>(i)]) << (8 * i);
    *value = static_cast<int32_t>(v);
}

// A fixed text field read from the file: when it holds no NUL its last byte becomes one, so the
// text always ends inside its field (a terminated field keeps every byte, for a faithful save).
template <size_t N> void getField(const uint8_t* data, size_t size, size_t offset, std::array<char, N>* field)
{
    if (offset + N > size)
        return;
    std::memcpy(field->data(), data + offset, N);
    if (!std::memchr(field->data(), 0, N))
        (*field)[N - 1] = 0;
}

} // namespace

TerminalConfig::TerminalConfig()
{
    setDefaults();
}

void TerminalConfig::setDefaults()
{
    portName_.fill(0);
    std::memcpy(portName_.data(), "COM1", 4);
    reservedA_ = 0;
    baudRate_ = 57600;
    reservedB_ = 5;
    recent_ = RecentFileList();
    bytesum_ = 1;
    background_ = {255, 255, 255};
    text_ = {0, 0, 0};
}

std::string TerminalConfig::portName() const
{
    const char* end = static_cast<const char*>(std::memchr(portName_.data(), 0, portName_.size()));
    return std::string(portName_.data(),
                       end ? static_cast<size_t>(end - portName_.data()) : portName_.size());
}

bool TerminalConfig::setPortName(const std::string& name)
{
    if (name.size() > kPortNameSize - 1 || name.find('\0') != std::string::npos)
        return false;
    // Only the name and its NUL are written; the rest of the field keeps what it held.
    std::memcpy(portName_.data(), name.data(), name.size());
    portName_[name.size()] = 0;
    return true;
}

bool TerminalConfig::load(const std::string& path)
{
    path_ = path;
    setDefaults();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    std::vector<uint8_t> data(kFileSize);
    const size_t got = std::fread(data.data(), 1, data.size(), file);
    std::fclose(file);
    loadBytes(data.data(), got);
    return true;
}

void TerminalConfig::loadBytes(const uint8_t* data, size_t size)
{
    setDefaults();
    getField(data, size, kPortNameOffset, &portName_);
    getInt(data, size, 10, &reservedA_);
    getInt(data, size, kBaudRateOffset, &baudRate_);
    getInt(data, size, 18, &reservedB_);
    int32_t count = 0;
    getInt(data, size, kCountOffset, &count);
    for (int i = 0; i < RecentFileList::kCapacity; ++i) {
        const size_t slot = kSlotsOffset + static_cast<size_t>(i) * kSlotSize;
        getField(data, size, slot, &recent_.pathField(i));
        getInt(data, size, slot + RecentFileList::kPathSize, &recent_.kindField(i));
    }
    getInt(data, size, kBytesumOffset, &bytesum_);
    getInt(data, size, kBackgroundOffset, &background_.red);
    getInt(data, size, kBackgroundOffset + 4, &background_.green);
    getInt(data, size, kBackgroundOffset + 8, &background_.blue);
    getInt(data, size, kTextOffset, &text_.red);
    getInt(data, size, kTextOffset + 4, &text_.green);
    getInt(data, size, kTextOffset + 8, &text_.blue);
    // A damaged count cannot claim more entries than there are slots.
    recent_.setCount(count);
    // A listed slot whose path is empty would be an entry without a file: drop such entries.
    for (int i = recent_.count() - 1; i >= 0; --i) {
        if (recent_.pathField(i)[0] == 0)
            recent_.remove(i);
    }
    recent_.rebuildLabels();
}

std::vector<uint8_t> TerminalConfig::toBytes() const
{
    std::vector<uint8_t> out(kFileSize, 0);
    std::memcpy(out.data() + kPortNameOffset, portName_.data(), kPortNameSize);
    putInt(out, 10, reservedA_);
    putInt(out, kBaudRateOffset, baudRate_);
    putInt(out, 18, reservedB_);
    putInt(out, kCountOffset, recent_.count());
    for (int i = 0; i < RecentFileList::kCapacity; ++i) {
        const size_t slot = kSlotsOffset + static_cast<size_t>(i) * kSlotSize;
        std::memcpy(out.data() + slot, recent_.pathField(i).data(), RecentFileList::kPathSize);
        putInt(out, slot + RecentFileList::kPathSize, recent_.kindField(i));
    }
    putInt(out, kBytesumOffset, bytesum_);
    putInt(out, kBackgroundOffset, background_.red);
    putInt(out, kBackgroundOffset + 4, background_.green);
    putInt(out, kBackgroundOffset + 8, background_.blue);
    putInt(out, kTextOffset, text_.red);
    putInt(out, kTextOffset + 4, text_.green);
    putInt(out, kTextOffset + 8, text_.blue);
    return out;
}

bool TerminalConfig::save() const
{
    return saveTo(path_);
}

bool TerminalConfig::saveTo(const std::string& path) const
{
    if (path.empty())
        return false;
    // Exactly 0644 whatever the umask, as the file has always been written.
    return platform::writeFileAtomically(path, toBytes(), platform::FilePermissions{0644, true}).ok();
}

std::string TerminalConfig::defaultFolder()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    std::string base = (xdg && *xdg)     ? std::string(xdg)
                       : (home && *home) ? std::string(home).append("/.config")
                                         : std::string(1, '.');
    base.append("/Quorvel/Tessaban");
    return base;
}

std::string TerminalConfig::defaultPath()
{
    return defaultFolder() + "/" + kFileName;
}

std::optional<int> parseBaudRate(const std::string& text)
{
    if (text.empty() || text.size() > 9)
        return std::nullopt;
    long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (!platform::isSettableBaudRate(value))
        return std::nullopt;
    return static_cast<int>(value);
}

} // namespace termcore
