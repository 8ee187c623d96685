#pragma once
// One column of the controller's motion page: a joint value per bus ID 0..30 plus the column's
// pause and speed.

#include <array>

namespace motion {

constexpr int kJointRows = 31; // screen rows 1..31 carry bus IDs 0..30
constexpr int kPoseCount = 7;

struct JointCell {
    int value = 0;        // servo units 0..1023
    bool present = false; // the controller has a servo with this ID ("-" means absent)
    bool known = false;   // the value is known ("?" means present but unknown)
    bool operator==(const JointCell&) const = default;
};

struct PoseColumn {
    std::array<JointCell, kJointRows> joints{};
    int pause = 0;
    int speed = 0;
    bool operator==(const PoseColumn&) const = default;
};

} // namespace motion
