#pragma once
// Intel hex to a flat byte image, the way the terminal sends hex files: the whole file is
// converted into a 1 MiB image (gaps hold 0xFF) before anything is sent, and only the range
// from the lowest to the highest byte written goes out, optionally followed by the bytesum.

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace termcore {

// The value of one hexadecimal digit, either case; -1 for any other character.
int hexValue(char c);

struct HexConversion {
    static constexpr uint32_t kImageSize = 0x100000;
    static constexpr int kLineCapacity = 1024;

    enum Code : int {
        Ok = -1,
        NoEndRecord = 0,  // a read failed or the file ended before the end-of-file record
        BadLine = 2,      // a line that does not start with ":" (or is not a record at all)
        OutOfRange = 3,   // a data record past 0xFFFFF
        BadRecordType = 4 // a record type above 5
    };

    int code = Ok;
    std::vector<uint8_t> image; // kImageSize bytes, 0xFF where no record wrote
    uint32_t lowest = 0xFFFFF;
    uint32_t highest = 0;
    bool hasData = false; // false when no data record wrote anything: nothing is to be sent

    bool ok() const { return code == Ok; }
    // The bytes to send: image[lowest..highest], empty without data.
    uint64_t sendSize() const { return hasData ? uint64_t(highest) - lowest + 1 : 0; }
    const uint8_t* sendData() const { return image.data() + lowest; }
};

// getByte returns the next byte of the file (0..255) or -1 at its end or on a read failure.
// With bytesum on, the 8-bit sum of image[lowest..highest] is appended after highest. cancelled,
// when given, is asked before every line so that a long conversion can be stopped.
HexConversion convertIntelHex(const std::function<int()>& getByte, bool bytesum,
                              const std::function<bool()>& cancelled = {});
HexConversion convertIntelHex(std::string_view text, bool bytesum);

// True when the three characters after the last "." are h, e, x in either case.
bool isHexFileName(std::string_view path);

} // namespace termcore
