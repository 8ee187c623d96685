#pragma once
// Where the main window opens: the saved position, pulled back onto the screen.

namespace posewright {

struct ScreenPoint {
    int x = 0;
    int y = 0;
    bool operator==(const ScreenPoint&) const = default;
};

// With limit = screen size - 100 on each axis: a negative position, or any position when the
// limit itself is negative, becomes 0; a position at or above the limit becomes the limit.
int clampWindowCoordinate(int position, int screenSize);
ScreenPoint clampWindowPosition(ScreenPoint saved, int screenWidth, int screenHeight);

} // namespace posewright
