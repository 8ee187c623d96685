#include "posewright_core/WindowPlacement.h"

namespace posewright {

int clampWindowCoordinate(int position, int screenSize)
{
    // Computed in long long so that a huge screen size from a broken display query cannot
    // overflow the subtraction.
    const long long limit = static_cast<long long>(screenSize) - 100;
    if (position < 0 || limit < 0)
        return 0;
    if (position >= limit)
        return static_cast<int>(limit);
    return position;
}

ScreenPoint clampWindowPosition(ScreenPoint saved, int screenWidth, int screenHeight)
{
    return {clampWindowCoordinate(saved.x, screenWidth), clampWindowCoordinate(saved.y, screenHeight)};
}

} // namespace posewright
