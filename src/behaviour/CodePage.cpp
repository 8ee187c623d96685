#include "behaviour/CodePage.h"

#include <array>
#include <cstdint>

namespace behaviour {

namespace {

// Bytes 0x80..0x9F; the rest of the code page is the same number in Unicode.
constexpr std::array<char32_t, 32> High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

constexpr char32_t Replacement = 0xFFFD;

char32_t toUnicode(uint8_t b)
{
    return b >= 0x80 && b < 0xA0 ? High[b - 0x80] : b;
}

std::optional<uint8_t> toByte(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<uint8_t>(c);
    for (size_t i = 0; i < High.size(); ++i)
        if (High[i] == c)
            return static_cast<uint8_t>(0x80 + i);
    return std::nullopt;
}

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The next character of `s` from `at` (advanced past it); malformed input gives U+FFFD and one byte.
char32_t nextUtf8(std::string_view s, size_t& at)
{
    const auto lead = static_cast<uint8_t>(s[at++]);
    if (lead < 0x80)
        return lead;
    int more = 0;
    char32_t c = 0;
    if ((lead & 0xE0) == 0xC0) {
        more = 1;
        c = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        more = 2;
        c = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        more = 3;
        c = lead & 0x07;
    } else {
        return Replacement;
    }
    if (s.size() - at < static_cast<size_t>(more))
        return Replacement;
    for (int i = 0; i < more; ++i) {
        const auto b = static_cast<uint8_t>(s[at + static_cast<size_t>(i)]);
        if ((b & 0xC0) != 0x80)
            return Replacement;
        c = (c << 6) | (b & 0x3F);
    }
    at += static_cast<size_t>(more);
    constexpr char32_t Least[] = {0, 0x80, 0x800, 0x10000};
    if (c < Least[more] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return Replacement; // overlong, beyond Unicode, or a surrogate
    return c;
}

} // namespace

std::string codePageToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (char b : bytes)
        appendUtf8(out, toUnicode(static_cast<uint8_t>(b)));
    return out;
}

CodePageResult utf8ToCodePage(std::string_view utf8)
{
    CodePageResult r;
    std::string bytes;
    bool ok = true;
    for (size_t at = 0; at < utf8.size();) {
        const char32_t c = nextUtf8(utf8, at);
        if (const auto b = toByte(c); b && c != Replacement) {
            bytes += static_cast<char>(*b);
            continue;
        }
        ok = false;
        std::string one;
        appendUtf8(one, c);
        if (r.refused.find(one) == std::string::npos)
            r.refused += one;
    }
    if (ok)
        r.bytes = std::move(bytes);
    return r;
}

} // namespace behaviour
