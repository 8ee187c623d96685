#include "robotview/PoseGestures.h"

namespace robotview {

DropZone dropZoneFor(const DropAim& aim, DropZone current)
{
    if (aim.drag == DragState::None)
        return DropZone::None;
    if (aim.offsetPage)
        // The offset page compares two robots: only panel 1 takes a pose, and the others keep
        // whatever zone they had.
        return aim.panelIndex == 1 ? DropZone::Into : current;
    const bool currentPose = aim.drag == DragState::CurrentPose;
    if (aim.x < aim.width / 4 && currentPose && aim.hasLeft)
        return DropZone::Before;
    if (3 * aim.width / 4 < aim.x && currentPose && aim.hasRight)
        return DropZone::After;
    return DropZone::Into;
}

} // namespace robotview
