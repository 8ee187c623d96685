#include "termcore/ReceiveFormatter.h"

#include "termcore/TerminalScreen.h"

#include <algorithm>

namespace termcore {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";
constexpr int64_t kDayMs = 24LL * 3600 * 1000;

bool isFinal(uint8_t b)
{
    switch (b) {
    // clang-format off
    case 'm': case 'K': case 'h': case 'l': case 'J': case 'G': case 'f': case 's': case 'u': case 'A':
    case 'B': case 'C': case 'D': case 'L': case 'M': case '@': case 'P': case 'Z': case 'H': case 'r':
    case 't': case 'd':
        // clang-format on
        return true;
    default:
        return false;
    }
}

void two(char* p, int v)
{
    p[0] = static_cast<char>('0' + v / 10);
    p[1] = static_cast<char>('0' + v % 10);
}

} // namespace

void ReceiveFormatter::setTimestamps(bool on)
{
    timestamps_ = on;
}

void ReceiveFormatter::setHex(bool on)
{
    if (hex_ != on)
        lineStart_ = true;
    hex_ = on;
    inEscape_ = false;
}

void ReceiveFormatter::appendStamp(std::string& out, int64_t msOfDay)
{
    int64_t t = msOfDay % kDayMs;
    if (t < 0)
        t += kDayMs;
    char text[kStampLength];
    const int ms = static_cast<int>(t % 1000);
    const int s = static_cast<int>(t / 1000 % 60);
    const int m = static_cast<int>(t / 60000 % 60);
    const int h = static_cast<int>(t / 3600000);
    two(text, h);
    text[2] = ':';
    two(text + 3, m);
    text[5] = ':';
    two(text + 6, s);
    text[8] = '.';
    text[9] = static_cast<char>('0' + ms / 100);
    two(text + 10, ms % 100);
    text[12] = ' ';
    out.append(text, kStampLength);
}

void ReceiveFormatter::appendHexLine(std::string& out, uint64_t offset, const uint8_t* bytes, int count,
                                     int perLine, const std::string& stamp)
{
    // stamp, 8 offset digits, two blanks, 3 per byte plus a gap per group of 8, a blank, text.
    const size_t width =
        stamp.size() + 8 + 2 + size_t(perLine) * 3 + size_t(perLine / 8) + 1 + size_t(count) + 2;
    const size_t at = out.size();
    out.resize(at + width, ' ');
    char* p = out.data() + at;
    std::copy(stamp.begin(), stamp.end(), p);
    p += stamp.size();
    for (int i = 7; i >= 0; --i)
        *p++ = kHex[(offset >> (4 * i)) & 0xF];
    p += 2;
    char* text = p + size_t(perLine) * 3 + size_t(perLine / 8) + 1;
    for (int i = 0; i < perLine; ++i) {
        if (i > 0 && i % 8 == 0)
            ++p;
        if (i < count) {
            p[0] = kHex[bytes[i] >> 4];
            p[1] = kHex[bytes[i] & 0xF];
            const uint8_t b = bytes[i];
            text[i] = b >= 0x20 && b <= 0x7E ? static_cast<char>(b) : '.';
        }
        p += 3;
    }
    text[count] = '\r';
    text[count + 1] = '\n';
}

void ReceiveFormatter::format(const uint8_t* bytes, size_t length, int64_t msOfDay, std::string& out)
{
    if (!hex_) {
        formatText(bytes, length, msOfDay, out);
        return;
    }
    std::string stamp;
    if (timestamps_)
        appendStamp(stamp, msOfDay);
    const int perLine = timestamps_ ? kStampedHexBytesPerLine : kHexBytesPerLine;
    out.reserve(out.size() + length / size_t(perLine) * 80 + 80);
    for (size_t pos = 0; pos < length; pos += size_t(perLine)) {
        const int count = static_cast<int>(std::min<size_t>(size_t(perLine), length - pos));
        appendHexLine(out, offset_, bytes + pos, count, perLine, stamp);
        offset_ += static_cast<uint64_t>(count);
    }
}

void ReceiveFormatter::formatText(const uint8_t* bytes, size_t length, int64_t msOfDay, std::string& out)
{
    if (!timestamps_) {
        out.append(reinterpret_cast<const char*>(bytes), length);
        return;
    }
    std::string stamp;
    appendStamp(stamp, msOfDay);
    out.reserve(out.size() + length + 64);
    size_t run = 0; // start of the bytes not yet copied
    for (size_t i = 0; i < length; ++i) {
        const uint8_t b = bytes[i];
        if (inEscape_) {
            // The screen ends a sequence at its final character, or after 11 characters which
            // it then shows as text: that text has begun the line.
            if (isFinal(b)) {
                inEscape_ = false;
            } else if (++escapeLength_ >= TerminalScreen::kEscapeCapacity) {
                inEscape_ = false;
                lineStart_ = false;
            }
            continue;
        }
        if (b == 0x1B) {
            inEscape_ = true;
            escapeLength_ = 0;
        } else if (b == '\r' || b == '\n') {
            lineStart_ = true;
        } else if (b >= 0x20 && b <= 0x7E && lineStart_) {
            out.append(reinterpret_cast<const char*>(bytes + run), i - run);
            out += stamp;
            run = i;
            lineStart_ = false;
        }
    }
    out.append(reinterpret_cast<const char*>(bytes + run), length - run);
}

} // namespace termcore
