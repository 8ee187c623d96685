#pragma once
// What the motion link tells its owner, one event per decoded field, in decoding order.

#include <functional>
#include <string>

namespace motion {

enum class LinkEventCode : int {
    MessageChanged = 100,      // text
    CurrentJointChanged = 101, // index = joint ID, value, present, known
    PoseJointChanged = 102,    // index = pose, secondIndex = joint ID, value, present, known
    CurrentPauseChanged = 103, // value
    CurrentSpeedChanged = 104, // value
    PosePauseChanged = 105,    // index = pose, value
    PoseSpeedChanged = 106,    // index = pose, value
    PageInfoChanged = 107,     // index = page-information index, value (the page name in text)
    EditScreenChanged = 108,   // present = the in-edit-screen flag
    SelectedPoseChanged = 109, // value = pose index
    LinkLost = 110,            // text
};

struct LinkEvent {
    LinkEventCode code = LinkEventCode::MessageChanged;
    int index = 0;
    int secondIndex = 0;
    int value = 0;
    bool present = false;
    bool known = false;
    std::string text;
};

using LinkEventHandler = std::function<void(const LinkEvent&)>;

} // namespace motion
