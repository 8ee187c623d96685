#pragma once
// Everything the terminal remembers between runs, kept in a fixed-layout binary file of 2134
// bytes: port name, rate, the recent-file list, the bytesum switch and the two colours.

#include "termcore/RecentFileList.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace termcore {

struct Rgb {
    int32_t red = 0, green = 0, blue = 0;
    bool operator==(const Rgb&) const = default;
};

class TerminalConfig {
  public:
    static constexpr size_t kFileSize = 2134;
    static constexpr size_t kPortNameSize = 10;
    static constexpr size_t kPortNameOffset = 0;
    static constexpr size_t kBaudRateOffset = 14;
    static constexpr size_t kCountOffset = 22;
    static constexpr size_t kSlotsOffset = 26;
    static constexpr size_t kSlotSize = 260;
    static constexpr size_t kBytesumOffset = 2106;
    static constexpr size_t kBackgroundOffset = 2110;
    static constexpr size_t kTextOffset = 2122;
    static constexpr const char* kFileName = "Wirescope v1.07.cfg";

    TerminalConfig();

    // Sets the defaults and reads the file at path (a missing file keeps the defaults, a short
    // one is read as far as it goes). Returns true when a file was read.
    bool load(const std::string& path);
    // Reads the image of a configuration file (what load() does after reading the bytes).
    void loadBytes(const uint8_t* data, size_t size);
    // Writes the file atomically: a temporary file beside it, flushed, then renamed over it.
    bool save() const;
    bool saveTo(const std::string& path) const;
    std::vector<uint8_t> toBytes() const;
    void setDefaults();

    const std::string& path() const { return path_; }
    void setPath(const std::string& path) { path_ = path; }

    std::string portName() const;
    // False (and unchanged) when the name does not fit the 10-byte field.
    bool setPortName(const std::string& name);
    int32_t baudRate() const { return baudRate_; }
    void setBaudRate(int32_t rate) { baudRate_ = rate; }
    bool bytesum() const { return bytesum_ != 0; }
    void setBytesum(bool on) { bytesum_ = on ? 1 : 0; }
    Rgb background() const { return background_; }
    void setBackground(Rgb c) { background_ = c; }
    Rgb text() const { return text_; }
    void setText(Rgb c) { text_ = c; }

    RecentFileList& recent() { return recent_; }
    const RecentFileList& recent() const { return recent_; }

    // The folder the file lives in when nothing else is said: $XDG_CONFIG_HOME/Quorvel/Tessaban
    // (~/.config when XDG_CONFIG_HOME is unset).
    static std::string defaultFolder();
    static std::string defaultPath();

  private:
    std::string path_;
    std::array<char, kPortNameSize> portName_{};
    int32_t reservedA_ = 0;
    int32_t baudRate_ = 57600;
    int32_t reservedB_ = 5;
    RecentFileList recent_;
    int32_t bytesum_ = 1;
    Rgb background_{255, 255, 255};
    Rgb text_{0, 0, 0};
};

// A baud rate typed or given on the command line: decimal digits only, within what the serial
// layer can set; nothing otherwise.
std::optional<int> parseBaudRate(const std::string& text);

} // namespace termcore
