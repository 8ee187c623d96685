#include "termcore/HexConverter.h"

#include <algorithm>
#include <string>

namespace termcore {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

namespace {

// Reads exactly digits hex digits at text[pos]; false when they are not all there.
bool readHex(const std::string& text, size_t pos, int digits, uint32_t* value)
{
    if (pos + static_cast<size_t>(digits) > text.size())
        return false;
    uint32_t v = 0;
    for (int i = 0; i < digits; ++i) {
        const int d = hexValue(text[pos + static_cast<size_t>(i)]);
        if (d < 0)
            return false;
        v = v * 16 + static_cast<uint32_t>(d);
    }
    *value = v;
    return true;
}

} // namespace

bool isHexFileName(std::string_view path)
{
    const size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || path.size() - dot - 1 < 3)
        return false;
    auto lower = [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); };
    return lower(path[dot + 1]) == 'h' && lower(path[dot + 2]) == 'e' && lower(path[dot + 3]) == 'x';
}

HexConversion convertIntelHex(const std::function<int()>& getByte, bool bytesum,
                              const std::function<bool()>& cancelled)
{
    HexConversion result;
    result.image.assign(HexConversion::kImageSize, 0xFF);
    uint32_t segment = 0;
    std::string line;
    line.reserve(HexConversion::kLineCapacity);
    auto fail = [&](int code) {
        result.code = code;
        result.image.clear();
        result.image.shrink_to_fit();
        result.hasData = false;
        return result;
    };
    for (;;) {
        if (cancelled && cancelled())
            return fail(HexConversion::NoEndRecord);
        line.clear();
        bool gotAny = false;
        bool tooLong = false;
        for (;;) {
            const int c = getByte();
            if (c < 0)
                break;
            gotAny = true;
            if (c == '\n')
                break;
            if (line.size() >= HexConversion::kLineCapacity - 1) {
                tooLong = true; // keep reading to the line's end, but the line is refused below
                continue;
            }
            line.push_back(static_cast<char>(c));
        }
        if (!gotAny)
            return fail(HexConversion::NoEndRecord);
        if (line.empty() || line[0] != ':' || tooLong)
            return fail(HexConversion::BadLine);
        std::string record = ":";
        for (size_t i = 1; i < line.size(); ++i) {
            if (line[i] != ' ' && line[i] != '\t')
                record.push_back(line[i]);
        }
        uint32_t count = 0, address = 0, type = 0;
        if (!readHex(record, 1, 2, &count) || !readHex(record, 3, 4, &address) ||
            !readHex(record, 7, 2, &type))
            return fail(HexConversion::BadLine);
        if (type > 5)
            return fail(HexConversion::BadRecordType);
        const size_t rest = 9;
        if (type == 0) {
            const uint32_t linear = (segment & 0xFFFF) * 16 + address;
            if (linear + count > 0xFFFFF)
                return fail(HexConversion::OutOfRange);
            // Every data digit must be on the line: a short record is not read past its end.
            for (uint32_t i = 0; i < count; ++i) {
                uint32_t byte = 0;
                if (!readHex(record, rest + 2 * size_t{i}, 2, &byte))
                    return fail(HexConversion::BadLine);
                result.image[linear + i] = static_cast<uint8_t>(byte);
            }
            // An empty record writes nothing and so cannot stretch the range (at address 0 it
            // would otherwise wrap the highest address round).
            if (count > 0) {
                result.lowest = std::min(result.lowest, linear);
                result.highest = std::max(result.highest, linear + count - 1);
                result.hasData = true;
            }
        } else if (type == 2) {
            uint32_t value = 0;
            if (!readHex(record, rest, 4, &value))
                return fail(HexConversion::BadLine);
            segment = value;
        } else if (type == 1) {
            if (result.hasData && bytesum) {
                uint8_t sum = 0;
                for (uint32_t a = result.lowest; a <= result.highest; ++a)
                    sum = static_cast<uint8_t>(sum + result.image[a]);
                result.image[result.highest + 1] = sum;
                ++result.highest;
            }
            return result;
        }
        // Types 3, 4 and 5 carry nothing this image uses.
    }
}

HexConversion convertIntelHex(std::string_view text, bool bytesum)
{
    size_t pos = 0;
    return convertIntelHex(
        [&]() -> int { return pos < text.size() ? static_cast<unsigned char>(text[pos++]) : -1; }, bytesum);
}

} // namespace termcore
