#pragma once
// What the screen is given for received bytes when the view adds to them: a time stamp at the
// start of each received line, or a hex dump (offset, hex bytes, printable characters). Each
// call is one burst, the bytes that arrived together; with time stamps on, every hex line of a
// burst carries the burst's time. With both off the bytes go to the screen as they are.

#include <cstddef>
#include <cstdint>
#include <string>

namespace termcore {

class ReceiveFormatter {
  public:
    static constexpr int kHexBytesPerLine = 16;
    // A time stamp takes 13 columns; with it a hex line holds 8 bytes, so it fits 80 columns.
    static constexpr int kStampedHexBytesPerLine = 8;
    static constexpr size_t kStampLength = 13; // "hh:mm:ss.mmm "

    void setTimestamps(bool on);
    void setHex(bool on);
    // Whether the next printable byte begins a line (the window knows where the cursor is when
    // time stamps are switched on in the middle of a line).
    void setAtLineStart(bool atStart) { lineStart_ = atStart; }
    bool timestamps() const { return timestamps_; }
    bool hex() const { return hex_; }
    // True when bytes go to the screen unchanged.
    bool passThrough() const { return !timestamps_ && !hex_; }
    // Bytes shown in hex so far: the offset of the next hex line.
    uint64_t offset() const { return offset_; }

    // Appends to out what the screen should be given for one burst; msOfDay is the local time
    // of day it arrived, in milliseconds.
    void format(const uint8_t* bytes, size_t length, int64_t msOfDay, std::string& out);

    // "hh:mm:ss.mmm " (the time of day wraps at 24 hours).
    static void appendStamp(std::string& out, int64_t msOfDay);
    // One hex line: optional stamp, 8-digit offset, the bytes in hex (a gap after every eighth)
    // padded to a full line, the printable characters ('.' for the others), CR LF.
    static void appendHexLine(std::string& out, uint64_t offset, const uint8_t* bytes, int count, int perLine,
                              const std::string& stamp);

  private:
    void formatText(const uint8_t* bytes, size_t length, int64_t msOfDay, std::string& out);

    bool timestamps_ = false;
    bool hex_ = false;
    uint64_t offset_ = 0;
    // Text mode: the next printable byte starts a line; escape sequences are passed through
    // whole, never split by a stamp.
    bool lineStart_ = true;
    bool inEscape_ = false;
    int escapeLength_ = 0;
};

} // namespace termcore
