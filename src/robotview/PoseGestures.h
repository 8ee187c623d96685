#pragma once
// The codes and states of the pose panels' gestures, and the rules that need no window: which
// drop zone the pointer aims at and which way the context menu opens.

namespace robotview {

// The notification a pose panel raises to its parent, with the panel's control ID.
enum class PoseGesture : int {
    DoubleClicked = 100, // make the robot take this pose
    DroppedAfter = 101,  // the current pose dropped on the right zone: insert after
    DroppedBefore = 102, // the current pose dropped on the left zone: insert before
    Dropped = 103,       // the current pose dropped into the panel: overwrite
    PoseMoved = 104,     // another panel dropped on this one
    MirrorPose = 105,    // context menu "Mirror pose"
    DeletePose = 106,    // context menu "Delete pose"
};

// The number a gesture carries among the other controls' notification codes.
constexpr int gestureCode(PoseGesture gesture)
{
    return static_cast<int>(gesture);
}

enum class DragState : int {
    None = 0,
    CurrentPose = 1, // the main view's current pose is being dragged
    Panel = 2,       // a pose panel is being dragged
};

enum class DropZone : int {
    None = 3,
    Into = 4,
    After = 5,  // the right zone
    Before = 6, // the left zone
};

constexpr int kPanelCount = 7;
// Pose panel k has control ID 1001 + k.
constexpr int kFirstPanelId = 1001;
constexpr int panelControlId(int index)
{
    return kFirstPanelId + index;
}
// The panel index of a control ID, or -1 when it names no panel.
constexpr int panelIndexOfId(int id)
{
    return id >= kFirstPanelId && id < kFirstPanelId + kPanelCount ? id - kFirstPanelId : -1;
}

struct DropAim {
    int x = 0;     // pointer, panel pixels
    int width = 0; // panel client width
    DragState drag = DragState::None;
    bool hasLeft = false, hasRight = false;
    bool offsetPage = false;
    int panelIndex = 0;
};

// The drop zone a pointer move leaves on a panel that currently has the zone current.
DropZone dropZoneFor(const DropAim& aim, DropZone current);

// Whether the context menu opens with its right edge at the pointer (pointer in the right half).
constexpr bool menuOpensLeftward(int x, int width)
{
    return x > width / 2;
}

} // namespace robotview
