#pragma once
// The KZ-7's memory as the boot loader sees it: firmware at 0x0000, the behaviour program at
// 0xA000, the servo image at 0xC000 and 64 KiB of motion data at 0xE000 (128 motion pages of
// 512 bytes each). Erased flash reads 0xFF.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

class ControllerMemory {
  public:
    static constexpr uint32_t kFirmware = 0x0000;
    static constexpr uint32_t kProgram = 0xA000;
    static constexpr uint32_t kServoImage = 0xC000;
    static constexpr uint32_t kMotionData = 0xE000;
    static constexpr uint32_t kMotionSize = 0x10000;
    static constexpr uint32_t kSize = kMotionData + kMotionSize; // 0x1E000
    static constexpr uint32_t kPageSize = 512;
    static constexpr int kPageCount = 128;

    // Fresh memory: everything erased except a small built-in firmware, so the controller boots.
    ControllerMemory();

    // Reads a memory file written by save(). A missing file is not an error (fresh memory is
    // kept and the file is created on the first save); a file of another size is refused.
    bool load(const std::string& path, std::string* error = nullptr);
    // Writes the whole memory atomically (temporary file beside the target, then rename).
    bool save(const std::string& path, std::string* error = nullptr) const;

    uint8_t* data() { return bytes_.data(); }
    const uint8_t* data() const { return bytes_.data(); }
    static constexpr size_t size() { return kSize; }

    // True when [address, address + length) lies inside the memory.
    static bool contains(uint64_t address, uint64_t length)
    {
        return address <= kSize && length <= kSize - address;
    }
    bool write(uint32_t address, const uint8_t* bytes, size_t length);

    void eraseFirmware();
    void eraseProgram();
    // The firmware runs unless its first bytes are erased.
    bool firmwarePresent() const;
    bool servoImagePresent() const;
    // Size of the behaviour program (up to its last non-erased byte below the servo image).
    size_t programSize() const;
    // A 16-bit sum over the firmware area: it changes with every firmware download, so the
    // console banner shows that a new firmware is running.
    uint16_t firmwareSignature() const;

    uint8_t* page(int number)
    {
        return bytes_.data() + kMotionData + kPageSize * static_cast<size_t>(number);
    }
    const uint8_t* page(int number) const
    {
        return bytes_.data() + kMotionData + kPageSize * static_cast<size_t>(number);
    }

  private:
    std::vector<uint8_t> bytes_;
};

} // namespace sim
