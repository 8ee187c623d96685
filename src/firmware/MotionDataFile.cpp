#include "firmware/MotionDataFile.h"

#include "firmware/CFile.h"
#include "firmware/FirmwareMessages.h"
#include "firmware/HexImageLoader.h"
#include "platform/AtomicFile.h"
#include "taskloom_texts/TaskloomTexts.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace firmware {

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
    const platform::AtomicWriteResult written = platform::writeFileAtomically(path, received.first(kSize));
    if (!written)
        return fail(MotionFileError::WriteFailed, written.reason());
    error_ = MotionFileError::None;
    return true;
}

std::string MotionDataFile::errorText() const
{
    switch (error_) {
    case MotionFileError::None:
        return {};
    case MotionFileError::WrongSize:
        return std::string(taskloom::text(kMsgNotMotionData));
    case MotionFileError::ShortRead:
        return std::string(taskloom::text(kMsgMotionFileReadFailed));
    case MotionFileError::CannotOpen:
    case MotionFileError::WriteFailed:
        return systemError_;
    }
    return {};
}

} // namespace firmware
