#include "firmware/MemoryArea.h"

#include "firmware/HexImageLoader.h"

#include <cstdio>

namespace firmware {

namespace {

std::string areaText(const MemoryArea& area)
{
    char text[96];
    std::snprintf(text, sizeof text, "the %.*s area 0x%04X-0x%04X holds %u bytes",
                  static_cast<int>(area.name.size()), area.name.data(), static_cast<unsigned>(area.start),
                  static_cast<unsigned>(area.last()), static_cast<unsigned>(area.size));
    return text;
}

bool refuse(std::string* why, std::string text)
{
    if (why)
        *why = std::move(text);
    return false;
}

} // namespace

bool imageFitsArea(const MemoryArea& area, std::size_t length, std::string* why)
{
    if (length < 2)
        return refuse(why, "the image holds no data");
    const std::size_t stored = length - 1;
    if (stored > area.size)
        return refuse(why, "the image holds " + std::to_string(stored) + " bytes; " + areaText(area));
    return true;
}

bool fitHexImageToArea(const MemoryArea& area, std::vector<std::uint8_t>& image, std::size_t& length,
                       std::string* why)
{
    if (length < 2 || image.size() < length)
        return refuse(why, "the image holds no data");
    const std::size_t dataEnd = length - 2; // E: one past the highest data byte
    if (dataEnd > area.size)
        return refuse(why, "the data reaches " + std::to_string(dataEnd) + " bytes from the image's start; " +
                               areaText(area));
    if (dataEnd == area.size) {
        image[dataEnd] = imageChecksum(image.data(), dataEnd);
        length = dataEnd + 1;
    }
    return true;
}

} // namespace firmware
