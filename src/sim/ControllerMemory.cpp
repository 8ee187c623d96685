#include "sim/ControllerMemory.h"

#include "platform/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace sim {

namespace {

std::string systemError(const std::string& what, const std::string& path, int err = errno)
{
    return what + " " + path + ": " + std::strerror(err);
}

} // namespace

ControllerMemory::ControllerMemory() : bytes_(kSize, 0xFF)
{
    // A stand-in firmware: a recognisable header and some code-like bytes, enough for the
    // controller to count as bootable and for the version signature to be stable.
    static const char kHeader[] = "KZ-7 firmware 1.30";
    std::memcpy(bytes_.data(), kHeader, sizeof kHeader);
    for (uint32_t i = 0x40; i < 0x2000; ++i)
        bytes_[i] = static_cast<uint8_t>((i * 37 + 11) & 0xFF);
}

bool ControllerMemory::load(const std::string& path, std::string* error)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return true;
        if (error)
            *error = systemError("cannot open", path);
        return false;
    }
    std::vector<uint8_t> buffer(kSize + 1);
    size_t got = 0;
    while (got < buffer.size()) {
        ssize_t n = ::read(fd, buffer.data() + got, buffer.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            if (error)
                *error = systemError("cannot read", path);
            ::close(fd);
            return false;
        }
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    if (got != kSize) {
        if (error)
            *error = path + " is not a controller memory file (" + std::to_string(got) + " bytes, expected " +
                     std::to_string(kSize) + ")";
        return false;
    }
    buffer.resize(kSize);
    bytes_.swap(buffer);
    return true;
}

bool ControllerMemory::save(const std::string& path, std::string* error) const
{
    const platform::AtomicWriteResult written =
        platform::writeFileAtomically(path, bytes_, platform::FilePermissions{0644, false});
    if (written || !error)
        return written.ok();
    switch (written.failedStep) {
    case platform::AtomicWriteResult::Step::Target:
        *error = "cannot replace " + path + ": " + written.reason();
        break;
    case platform::AtomicWriteResult::Step::Create:
        *error = systemError("cannot create", written.temporaryPath, written.error);
        break;
    case platform::AtomicWriteResult::Step::Write:
        *error = systemError("cannot write", written.temporaryPath, written.error);
        break;
    case platform::AtomicWriteResult::Step::Replace:
    case platform::AtomicWriteResult::Step::None:
        *error = systemError("cannot replace", path, written.error);
        break;
    }
    return false;
}

bool ControllerMemory::write(uint32_t address, const uint8_t* bytes, size_t length)
{
    if (!contains(address, length))
        return false;
    if (length > 0)
        std::memcpy(bytes_.data() + address, bytes, length);
    return true;
}

void ControllerMemory::eraseFirmware()
{
    std::memset(bytes_.data() + kFirmware, 0xFF, kProgram - kFirmware);
}

bool ControllerMemory::firmwarePresent() const
{
    for (uint32_t i = 0; i < 16; ++i)
        if (bytes_[kFirmware + i] != 0xFF)
            return true;
    return false;
}

bool ControllerMemory::servoImagePresent() const
{
    for (uint32_t i = kServoImage; i < kMotionData; ++i)
        if (bytes_[i] != 0xFF)
            return true;
    return false;
}

size_t ControllerMemory::programSize() const
{
    for (uint32_t end = kServoImage; end > kProgram; --end)
        if (bytes_[end - 1] != 0xFF)
            return end - kProgram;
    return 0;
}

uint16_t ControllerMemory::firmwareSignature() const
{
    uint32_t sum = 0;
    for (uint32_t i = kFirmware; i < kProgram; ++i)
        sum = (sum * 31 + bytes_[i]) & 0xFFFF;
    return static_cast<uint16_t>(sum);
}

} // namespace sim
