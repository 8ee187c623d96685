#include "firmware/HexImageLoader.h"

#include "firmware/CFile.h"
#include "firmware/HexDigits.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace firmware {

namespace {

constexpr bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

// Applies one record after another to the scratch image and tracks the segment base and the
// highest end E.
class HexImageLoader::Parser {
  public:
    explicit Parser(std::uint8_t* image) : image_(image) {}

    // One line without its terminator (a '\r' before the '\n' already removed).
    HexError record(const char* p, std::size_t n)
    {
        if (n == 0 || n > kMaxLineLength)
            return HexError::BadLineLength;
        if (p[0] != ':')
            return HexError::MissingColon;
        std::uint32_t count = 0, address = 0, type = 0;
        if (n < 9 || !hex::readHex(p + 1, 2, count) || !hex::readHex(p + 3, 4, address) ||
            !hex::readHex(p + 7, 2, type))
            return HexError::BadRecordHeader;
        // The data and the record's own checksum digits run up to the first white space.
        const char* rest = p + 9;
        std::size_t restLength = 0;
        while (9 + restLength < n && !isSpace(rest[restLength]))
            ++restLength;

        // The data digits and the record's checksum, exactly: a record that is short of digits,
        // has more than its count says, or whose bytes do not sum to zero is damaged, and a
        // damaged record must never become part of a program the controller will run.
        if (restLength != 2 * static_cast<std::size_t>(count) + 2)
            return HexError::BadData;
        std::uint32_t sum = count + (address >> 8) + (address & 0xFF) + type;
        for (std::uint32_t i = 0; i <= count; ++i) {
            std::uint32_t value = 0;
            if (!hex::readHex(rest + 2 * static_cast<std::size_t>(i), 2, value))
                return HexError::BadData;
            sum += value;
        }
        if ((sum & 0xFF) != 0)
            return HexError::BadChecksum;

        switch (type) {
        case 0: {
            const std::size_t absolute = static_cast<std::size_t>(segment_) * 16 + address;
            if (absolute + count >= kAddressSpace)
                return HexError::AddressOutOfRange;
            std::uint8_t* out = image_ + absolute;
            for (std::uint32_t i = 0; i < count; ++i) {
                std::uint32_t value = 0;
                hex::readHex(rest + 2 * static_cast<std::size_t>(i), 2, value);
                out[i] = static_cast<std::uint8_t>(value);
            }
            highestEnd_ = std::max(highestEnd_, absolute + count);
            dataBytes_ += count;
            return HexError::None;
        }
        case 2: {
            std::uint32_t base = 0;
            if (count < 2)
                return HexError::BadData;
            hex::readHex(rest, 4, base);
            segment_ = base;
            return HexError::None;
        }
        case 1: // end of file: later lines are still read
            sawEnd_ = true;
            return HexError::None;
        case 3: // start segment address
        case 4: // extended linear address
        case 5: // start linear address
            return HexError::None;
        default:
            return HexError::UnknownRecordType;
        }
    }

    // Feeds every complete line of [data, data + size) and returns how many bytes were used.
    // With atEnd, a final line without '\n' is fed too.
    std::size_t lines(const char* data, std::size_t size, bool atEnd)
    {
        std::size_t pos = 0;
        while (pos < size) {
            const void* nl = std::memchr(data + pos, '\n', size - pos);
            std::size_t end;
            if (nl)
                end = static_cast<std::size_t>(static_cast<const char*>(nl) - data);
            else if (atEnd)
                end = size;
            else
                break;
            std::size_t length = end - pos;
            if (length > 0 && data[pos + length - 1] == '\r')
                --length;
            ++line_;
            error_ = record(data + pos, length);
            if (error_ != HexError::None)
                return pos;
            pos = nl ? end + 1 : end;
        }
        return pos;
    }

    HexError error() const { return error_; }
    std::size_t line() const { return line_; }
    std::size_t highestEnd() const { return highestEnd_; }
    std::size_t dataBytes() const { return dataBytes_; }
    bool sawEnd() const { return sawEnd_; }
    // A line still open at the end of a block that is already too long to be accepted.
    void refuseLongLine()
    {
        ++line_;
        error_ = HexError::BadLineLength;
    }

  private:
    std::uint8_t* image_;
    std::uint32_t segment_ = 0;
    std::size_t highestEnd_ = 0;
    std::size_t dataBytes_ = 0;
    bool sawEnd_ = false;
    std::size_t line_ = 0;
    HexError error_ = HexError::None;
};

std::uint8_t imageChecksum(const std::uint8_t* data, std::size_t count)
{
    unsigned sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum += data[i];
    return static_cast<std::uint8_t>(sum);
}

bool HexImageLoader::fail(HexError error, std::size_t line)
{
    error_ = error;
    errorLine_ = line;
    return false;
}

bool HexImageLoader::finish(std::vector<std::uint8_t>& buffer, std::size_t& start, std::size_t& length,
                            const Parser& parser)
{
    // A file without a single data byte (empty, only an end record) is no image: sending it
    // would "flash" fill bytes over the start of the area and report success.
    if (parser.dataBytes() == 0)
        return fail(HexError::NoData, 0);
    if (requireEnd_ && !parser.sawEnd())
        return fail(HexError::NoEndRecord, 0);
    const std::size_t highestEnd = parser.highestEnd();
    // The byte at E is part of the image, so the sum covers 0..E and lands at E + 1; E is at
    // most 0xFFFFF, which is why the buffer has one byte more than the address space.
    scratch_[highestEnd + 1] = imageChecksum(scratch_.data(), highestEnd + 1);
    buffer.swap(scratch_);
    start = 0;
    length = highestEnd + 2;
    error_ = HexError::None;
    errorLine_ = 0;
    return true;
}

bool HexImageLoader::loadText(std::string_view text, std::vector<std::uint8_t>& buffer, std::size_t& start,
                              std::size_t& length)
{
    scratch_.assign(kBufferSize, kFill);
    Parser parser(scratch_.data());
    parser.lines(text.data(), text.size(), true);
    if (parser.error() != HexError::None)
        return fail(parser.error(), parser.line());
    return finish(buffer, start, length, parser);
}

bool HexImageLoader::load(const std::string& path, std::vector<std::uint8_t>& buffer, std::size_t& start,
                          std::size_t& length)
{
    systemError_.clear();
    CFile file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        systemError_ = std::strerror(errno);
        return fail(HexError::CannotOpen, 0);
    }
    scratch_.assign(kBufferSize, kFill);
    Parser parser(scratch_.data());

    // Blocks of the file with the unfinished line of the previous block carried in front; a
    // carried line never exceeds the longest acceptable line (plus its '\r').
    constexpr std::size_t kBlock = 1 << 18;
    constexpr std::size_t kCarryMax = kMaxLineLength + 1;
    std::vector<char> block(kCarryMax + kBlock);
    std::size_t carried = 0;
    for (;;) {
        const std::size_t got = std::fread(block.data() + carried, 1, kBlock, file.get());
        if (got < kBlock && std::ferror(file.get())) {
            systemError_ = std::strerror(errno);
            return fail(HexError::ReadFailed, 0);
        }
        const bool atEnd = got < kBlock;
        const std::size_t size = carried + got;
        const std::size_t used = parser.lines(block.data(), size, atEnd);
        if (parser.error() != HexError::None)
            return fail(parser.error(), parser.line());
        if (atEnd)
            break;
        carried = size - used;
        if (carried > kCarryMax) {
            parser.refuseLongLine();
            return fail(parser.error(), parser.line());
        }
        std::memmove(block.data(), block.data() + used, carried);
    }
    return finish(buffer, start, length, parser);
}

std::string HexImageLoader::errorText() const
{
    std::string where = errorLine_ ? "line " + std::to_string(errorLine_) + ": " : std::string();
    switch (error_) {
    case HexError::None:
        return {};
    case HexError::CannotOpen:
    case HexError::ReadFailed:
        return systemError_;
    case HexError::BadLineLength:
        return where + "empty line or more than 1024 characters";
    case HexError::MissingColon:
        return where + "the record does not begin with ':'";
    case HexError::BadRecordHeader:
        return where + "the record's count, address or type is not hexadecimal";
    case HexError::BadData:
        return where + "the record's digits are missing, too many or not hexadecimal";
    case HexError::BadChecksum:
        return where + "the record's checksum is wrong (the record is damaged)";
    case HexError::NoData:
        return "the file holds no data record";
    case HexError::AddressOutOfRange:
        return where + "the record reaches beyond address 0xFFFFF";
    case HexError::UnknownRecordType:
        return where + "unknown record type";
    case HexError::NoEndRecord:
        return "the file stops before its end record (:00000001FF): it was probably cut short";
    }
    return {};
}

} // namespace firmware
