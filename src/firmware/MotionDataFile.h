#pragma once
// The controller's motion memory as a .mtn file: exactly 65,536 bytes, the memory from 0xE000
// on in address order, no header, no checksum. Restoring sends the bytes followed by their
// 8-bit sum; a backup writes the first 65,536 received bytes.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace firmware {

enum class MotionFileError {
    None,
    CannotOpen,  // open failed: the caller reports the system's reason (errorText)
    WrongSize,   // not exactly 65,536 bytes: message 10021
    ShortRead,   // the bytes could not all be read: message 10022
    WriteFailed, // a backup could not be written: the system's reason, then message 10018
};

class MotionDataFile {
  public:
    static constexpr std::uint32_t kAddress = 0xE000;
    static constexpr std::size_t kSize = 0x10000;
    // What the download sends for a restore: the data and its checksum byte.
    static constexpr std::size_t kImageSize = kSize + 1;
    // Receive buffer for a backup: the data plus one trailing read of up to 256 bytes.
    static constexpr std::size_t kReceiveBufferSize = kSize + 256;

    // Restore: checks a file's bytes and builds the kImageSize-byte image to send.
    bool imageFromBytes(std::span<const std::uint8_t> fileBytes, std::vector<std::uint8_t>& image);
    // Restore from disk: opens, checks the size, reads, builds the image. `image` is replaced
    // only on success, so a refused file sends nothing.
    bool readImage(const std::string& path, std::vector<std::uint8_t>& image);

    // Backup: the bytes to store from what the controller sent (the first kSize bytes); empty
    // when fewer than kSize bytes were received.
    static std::vector<std::uint8_t> bytesToStore(std::span<const std::uint8_t> received);
    // Backup to disk: writes a temporary file beside path and renames it over path, so a failed
    // write never destroys an older backup. False (WriteFailed) when received is short.
    bool write(const std::string& path, std::span<const std::uint8_t> received);

    MotionFileError error() const { return error_; }
    // The dialog message for WrongSize/ShortRead, the system's reason for the others.
    std::string errorText() const;

  private:
    bool fail(MotionFileError error, std::string systemText = {});
    MotionFileError error_ = MotionFileError::None;
    std::string systemError_;
};

} // namespace firmware
