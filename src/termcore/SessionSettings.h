#pragma once
// What Wirescope remembers beyond its configuration file, in a small text file beside it (the
// configuration file keeps its fixed layout): the View switches, the log's switches, the
// window's size in cells, the font size and the send strings. One "key=value" per line; a
// line that does not parse, an unknown key or a value out of range is skipped, so a damaged
// file costs only what it damaged.

#include <array>
#include <string>

namespace termcore {

struct SendString {
    std::string name;
    std::string text; // escaped as ByteEscapes writes it
};

class SessionSettings {
  public:
    static constexpr int kSendStrings = 9;
    static constexpr int kMaxNameLength = 40;
    static constexpr int kMaxTextLength = 2048;
    static constexpr size_t kMaxFileSize = size_t{64} * 1024;
    static constexpr int kMinFontPixels = 8;
    static constexpr int kMaxFontPixels = 40;

    bool timestamps = false;
    bool hexView = false;
    bool logSent = false;
    bool logTimestamps = false;
    int columns = 80; // the window's size in cells
    int rows = 36;
    int fontPixels = 0; // 0: the terminal's own size
    std::array<SendString, kSendStrings> sendStrings = defaultSendStrings();

    // The KZ-7's useful ones: the '#' burst that catches the boot loader at power-on, the
    // 255 bytes of 0x55 that stop a running program, and the way back to the menu.
    static std::array<SendString, kSendStrings> defaultSendStrings();
    // The side file beside a configuration file: its name with ".ini" for ".cfg".
    static std::string pathBeside(const std::string& configPath);

    // Reads text; returns false (and keeps the defaults) only when the text is not a settings
    // file at all (too long).
    bool parse(const std::string& text);
    std::string serialise() const;
    bool load(const std::string& path);
    bool save(const std::string& path) const;
};

} // namespace termcore
