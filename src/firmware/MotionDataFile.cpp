#include "firmware/MotionDataFile.h"

#include "firmware/CFile.h"
#include "firmware/FirmwareMessages.h"
#include "firmware/HexImageLoader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

namespace firmware {

namespace {

// Creates a new file beside `target` whose name nobody else uses ("x" refuses an existing
// name), so a user's own file is never overwritten by the temporary one.
CFile createTemporaryBeside(const std::string& target, std::string& tempPath)
{
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 16; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%016llx.tmp", static_cast<unsigned long long>(random()));
        tempPath = target + suffix;
        if (CFile file{std::fopen(tempPath.c_str(), "wbx")})
            return file;
        if (errno != EEXIST)
            break;
    }
    return nullptr;
}

} // namespace

bool MotionDataFile::fail(MotionFileError error, std::string systemText)
{
    error_ = error;
    systemError_ = std::move(systemText);
    return false;
}

bool MotionDataFile::imageFromBytes(std::span<const std::uint8_t> fileBytes, std::vector<std::uint8_t>& image)
{
    if (fileBytes.size() != kSize)
        return fail(MotionFileError::WrongSize);
    std::vector<std::uint8_t> built(kImageSize);
    std::memcpy(built.data(), fileBytes.data(), kSize);
    built[kSize] = imageChecksum(built.data(), kSize);
    image.swap(built);
    error_ = MotionFileError::None;
    return true;
}

bool MotionDataFile::readImage(const std::string& path, std::vector<std::uint8_t>& image)
{
    CFile file{std::fopen(path.c_str(), "rb")};
    if (!file)
        return fail(MotionFileError::CannotOpen, std::strerror(errno));
    // The size decides first (10021), then whether the bytes could all be read (10022).
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec && size != kSize)
        return fail(MotionFileError::WrongSize);
    // One byte more than wanted also catches a file that is not a regular one and so has no size.
    std::vector<std::uint8_t> bytes(kSize + 1);
    const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file.get());
    if (std::ferror(file.get()))
        return fail(MotionFileError::ShortRead, std::strerror(errno));
    if (got > kSize || (ec && got != kSize))
        return fail(MotionFileError::WrongSize);
    if (got < kSize)
        return fail(MotionFileError::ShortRead);
    return imageFromBytes(std::span<const std::uint8_t>(bytes.data(), kSize), image);
}

std::vector<std::uint8_t> MotionDataFile::bytesToStore(std::span<const std::uint8_t> received)
{
    if (received.size() < kSize)
        return {};
    return std::vector<std::uint8_t>(received.begin(), received.begin() + kSize);
}

bool MotionDataFile::write(const std::string& path, std::span<const std::uint8_t> received)
{
    if (received.size() < kSize)
        return fail(MotionFileError::WriteFailed, "fewer than 65536 bytes received");
    std::string tempPath;
    CFile file = createTemporaryBeside(path, tempPath);
    if (!file)
        return fail(MotionFileError::WriteFailed, std::strerror(errno));
    const bool written =
        std::fwrite(received.data(), 1, kSize, file.get()) == kSize && std::fflush(file.get()) == 0;
    const int writeErrno = errno;
    const bool closed = std::fclose(file.release()) == 0;
    std::error_code ec;
    if (!written || !closed) {
        std::filesystem::remove(tempPath, ec);
        return fail(MotionFileError::WriteFailed, std::strerror(written ? errno : writeErrno));
    }
    std::filesystem::rename(tempPath, path, ec);
    if (ec) {
        std::error_code ignored;
        std::filesystem::remove(tempPath, ignored);
        return fail(MotionFileError::WriteFailed, ec.message());
    }
    error_ = MotionFileError::None;
    return true;
}

std::string MotionDataFile::errorText() const
{
    switch (error_) {
    case MotionFileError::None:
        return {};
    case MotionFileError::WrongSize:
        return std::string(kMsgNotMotionData);
    case MotionFileError::ShortRead:
        return std::string(kMsgMotionFileReadFailed);
    case MotionFileError::CannotOpen:
    case MotionFileError::WriteFailed:
        return systemError_;
    }
    return {};
}

} // namespace firmware
