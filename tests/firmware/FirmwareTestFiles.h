#pragma once
// Writers for the firmware formats, used to build inputs for tests, the bench and the sample
// files: Intel hex records with correct record checksums, and the scrambled .rom container.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace firmware::testfiles {

inline void appendHexByte(std::string& out, unsigned value)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out.push_back(kDigits[(value >> 4) & 0xF]);
    out.push_back(kDigits[value & 0xF]);
}

// One record line ":CCAAAATT<data>SS\n" with the record checksum the format defines.
inline std::string hexRecord(unsigned type, unsigned address, std::span<const std::uint8_t> data)
{
    std::string line = ":";
    unsigned sum = static_cast<unsigned>(data.size()) + (address >> 8) + (address & 0xFF) + type;
    appendHexByte(line, static_cast<unsigned>(data.size()));
    appendHexByte(line, address >> 8);
    appendHexByte(line, address & 0xFF);
    appendHexByte(line, type);
    for (std::uint8_t b : data) {
        appendHexByte(line, b);
        sum += b;
    }
    appendHexByte(line, (0x100 - (sum & 0xFF)) & 0xFF);
    line.push_back('\n');
    return line;
}

inline std::string segmentRecord(unsigned segment)
{
    const std::uint8_t data[2] = {static_cast<std::uint8_t>(segment >> 8),
                                  static_cast<std::uint8_t>(segment)};
    return hexRecord(2, 0, data);
}

inline std::string endRecord()
{
    return hexRecord(1, 0, {});
}

// The whole image as data records of recordSize bytes from address `base` on, with an extended
// segment record each time a new 64 KiB window begins, then an end-of-file record.
inline std::string hexFromImage(std::span<const std::uint8_t> image, std::size_t base = 0,
                                std::size_t recordSize = 16)
{
    std::string text;
    text.reserve(image.size() / recordSize * (11 + 2 * recordSize) + 64);
    std::size_t window = ~std::size_t{0};
    for (std::size_t offset = 0; offset < image.size();) {
        const std::size_t address = base + offset;
        if ((address >> 16) != window) {
            window = address >> 16;
            if (window != 0 || offset != 0)
                text += segmentRecord(static_cast<unsigned>(window << 12));
        }
        // A record never crosses into the next 64 KiB window.
        std::size_t count = std::min(recordSize, image.size() - offset);
        count = std::min(count, 0x10000 - (address & 0xFFFF));
        text += hexRecord(0, address & 0xFFFF, image.subspan(offset, count));
        offset += count;
    }
    text += endRecord();
    return text;
}

// A .rom container: the seven header words, then one word per text byte, scrambled with the
// byte's index. The high byte of each payload word is noise the reader must ignore.
inline std::vector<std::uint8_t> encodeRom(std::string_view text, int targetKind,
                                           std::uint8_t highByteNoise = 0x5A)
{
    const std::uint16_t header[7] = {1, 48, 5, 112, 9, static_cast<std::uint16_t>(targetKind), 1};
    std::vector<std::uint8_t> bytes;
    bytes.reserve(14 + 2 * text.size());
    for (std::uint16_t word : header) {
        bytes.push_back(static_cast<std::uint8_t>(word));
        bytes.push_back(static_cast<std::uint8_t>(word >> 8));
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint8_t>(text[i]) ^ (i & 0xFF)));
        bytes.push_back(static_cast<std::uint8_t>(highByteNoise + i));
    }
    return bytes;
}

inline bool writeFile(const std::string& path, std::string_view bytes)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

inline bool writeFile(const std::string& path, std::span<const std::uint8_t> bytes)
{
    return writeFile(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

} // namespace firmware::testfiles
