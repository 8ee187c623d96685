#include "termcore/SessionSettings.h"

#include "platform/AtomicFile.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>

namespace termcore {

namespace {

bool parseInt(const std::string& text, int low, int high, int& out)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return false;
    out = value;
    return true;
}

bool parseBool(const std::string& text, bool& out)
{
    if (text != "0" && text != "1")
        return false;
    out = text == "1";
    return true;
}

} // namespace

std::array<SendString, SessionSettings::kSendStrings> SessionSettings::defaultSendStrings()
{
    std::array<SendString, kSendStrings> list;
    list[0] = {"Catch the boot loader (#)", std::string(64, '#')};
    list[1] = {"Stop the program (255 x 0x55)", std::string(255, 'U')};
    list[2] = {"Back to the menu", "\\rexit\\ry"};
    return list;
}

std::string SessionSettings::pathBeside(const std::string& configPath)
{
    const std::string ext = ".cfg";
    if (configPath.size() >= ext.size() &&
        configPath.compare(configPath.size() - ext.size(), ext.size(), ext) == 0)
        return configPath.substr(0, configPath.size() - ext.size()) + ".ini";
    return configPath + ".ini";
}

bool SessionSettings::parse(const std::string& text)
{
    if (text.size() > kMaxFileSize)
        return false;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = line.substr(0, eq);
        const std::string value = line.substr(eq + 1);
        if (key == "timestamps")
            parseBool(value, timestamps);
        else if (key == "hexView")
            parseBool(value, hexView);
        else if (key == "logSent")
            parseBool(value, logSent);
        else if (key == "logTimestamps")
            parseBool(value, logTimestamps);
        else if (key == "columns")
            parseInt(value, 20, 400, columns);
        else if (key == "rows")
            parseInt(value, 4, 300, rows);
        else if (key == "fontPixels")
            parseInt(value, kMinFontPixels, kMaxFontPixels, fontPixels);
        else if (key.size() == 5 && key.compare(0, 4, "send") == 0 && key[4] >= '1' && key[4] <= '9') {
            // sendN=name|text; the name holds no '|', neither holds a control code (the text
            // writes them as escapes).
            const size_t bar = value.find('|');
            const bool control = std::any_of(value.begin(), value.end(),
                                             [](char c) { return static_cast<unsigned char>(c) < 0x20; });
            if (control || bar == std::string::npos || bar > size_t(kMaxNameLength) ||
                value.size() - bar - 1 > size_t(kMaxTextLength))
                continue;
            sendStrings[key[4] - '1'] = {value.substr(0, bar), value.substr(bar + 1)};
        }
    }
    return true;
}

std::string SessionSettings::serialise() const
{
    std::string out;
    auto put = [&out](const std::string& key, const std::string& value) { out += key + "=" + value + "\n"; };
    put("timestamps", timestamps ? "1" : "0");
    put("hexView", hexView ? "1" : "0");
    put("logSent", logSent ? "1" : "0");
    put("logTimestamps", logTimestamps ? "1" : "0");
    put("columns", std::to_string(columns));
    put("rows", std::to_string(rows));
    if (fontPixels > 0)
        put("fontPixels", std::to_string(fontPixels));
    for (int i = 0; i < kSendStrings; ++i)
        put("send" + std::to_string(i + 1), sendStrings[i].name + "|" + sendStrings[i].text);
    return out;
}

bool SessionSettings::load(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::string text;
    text.resize(kMaxFileSize + 1);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    return parse(text);
}

bool SessionSettings::save(const std::string& path) const
{
    const std::string text = serialise();
    const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
    return platform::writeFileAtomically(path, {data, text.size()}, platform::FilePermissions{0644, true})
        .ok();
}

} // namespace termcore
