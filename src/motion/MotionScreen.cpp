#include "motion/MotionScreen.h"

#include <cstdio>

namespace motion {

const std::array<const char*, kPageInfoCount> kPageInfoCaptions = {
    " Page name",    " Page number", " Data address",  " Play count",    " Number of pose",
    " Motion speed", " Accel time",  " Next page No.", " Exit page No.",
};

std::string MotionScreen::pageInfoText(int index) const
{
    if (index < 0 || index >= kPageInfoCount)
        return {};
    if (index == static_cast<int>(PageInfo::Name))
        return pageNameReceived ? pageName : std::string(" No name");
    int value = pageInfo[static_cast<size_t>(index)];
    char text[32];
    if (index == static_cast<int>(PageInfo::DataAddress)) {
        if (value == 0)
            return "0x000000";
        std::snprintf(text, sizeof text, "0x%.8X", static_cast<unsigned>(value));
    } else {
        std::snprintf(text, sizeof text, "%d", value);
    }
    return text;
}

} // namespace motion
