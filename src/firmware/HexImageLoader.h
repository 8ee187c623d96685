#pragma once
// Intel hex text to one flat firmware image for the controller's boot loader.
//
// Every record must be whole: exactly the digits its count says plus its checksum, all hex, and
// its bytes must sum to zero; a file without any data byte is refused too.
//
// The image always starts at address 0. Every load fills a scratch buffer with 0xFF, stores the
// data records into it and appends the 8-bit sum of bytes 0..E at index E + 1, E being the
// highest end (address + count) of all data records. The image handed to the caller is
// E + 2 bytes long: it includes the byte at index E (one past the data, normally the fill)
// before the checksum, which the boot loader expects. The caller's buffer is only replaced
// when the whole text was accepted, so a refused file never leaves a half-loaded image behind.
//
// Failure in this library: a reader answers bool and keeps an error enum (error()) and, where it
// applies, the line at fault; the area checks answer bool with the reason in a std::string* why.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace firmware {

enum class HexError {
    None,
    CannotOpen,        // the file could not be opened (errorText() holds the system's reason)
    ReadFailed,        // the file opened but reading it failed
    BadLineLength,     // a line is empty or longer than 1024 characters
    MissingColon,      // a line does not begin with ':'
    BadRecordHeader,   // count, address or type is not made of hex digits
    BadData,           // not exactly the digits the count says (data and checksum), or not hex
    BadChecksum,       // the record's bytes do not sum to zero: the record is damaged
    AddressOutOfRange, // a data record reaches address 0x100000 or beyond
    UnknownRecordType, // a record type other than 0..5
    NoData,            // no data record with at least one byte: nothing to send
    NoEndRecord,       // whole records, but no end record: a file cut short (when required)
};

class HexImageLoader {
  public:
    static constexpr std::size_t kAddressSpace = 0x100000;        // 1 MiB, addresses 0..0xFFFFF
    static constexpr std::size_t kBufferSize = kAddressSpace + 1; // room for the checksum byte
    static constexpr std::size_t kMaxLineLength = 1024;
    static constexpr std::uint8_t kFill = 0xFF;

    // Reads the file as text (lines end at '\n'; one '\r' before it is dropped). On success the
    // buffer holds kBufferSize bytes, the image is buffer[start .. start + length), start is 0
    // and length is E + 2. On failure buffer, start and length are left as they were.
    bool load(const std::string& path, std::vector<std::uint8_t>& buffer, std::size_t& start,
              std::size_t& length);

    // The same rules applied to text already in memory (an unpacked .rom container, a fuzzer).
    bool loadText(std::string_view text, std::vector<std::uint8_t>& buffer, std::size_t& start,
                  std::size_t& length);

    // A firmware file must end with its end record: whole records that stop before it are the
    // usual sign of a copy cut short, and flashing them would leave a firmware half old, half new.
    void requireEndRecord(bool required) { requireEnd_ = required; }

    HexError error() const { return error_; }
    // 1-based line of the refused record, 0 when the failure is not tied to a line.
    std::size_t errorLine() const { return errorLine_; }
    // A short English description for logs and the command line ("line 3: the record's
    // checksum is wrong ..."; the system's reason for CannotOpen and ReadFailed); the dialogs
    // show their own fixed message instead (10014 or 10026 in Taskloom's text table).
    std::string errorText() const;

  private:
    class Parser;
    bool finish(std::vector<std::uint8_t>& buffer, std::size_t& start, std::size_t& length,
                const Parser& parser);
    bool fail(HexError error, std::size_t line);

    std::vector<std::uint8_t> scratch_; // kept between loads so a dialog allocates it once
    HexError error_ = HexError::None;
    std::size_t errorLine_ = 0;
    std::string systemError_;
    bool requireEnd_ = false;
};

// The 8-bit sum (modulo 256) that ends every image sent to the controller.
std::uint8_t imageChecksum(const std::uint8_t* data, std::size_t count);

} // namespace firmware
