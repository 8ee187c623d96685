#pragma once
// Which servos answer on the controller's bus (rows 0..30 of the motion screen), which of them
// cannot report their position, their names and the positions they start in.

#include "sim/MotionPage.h"

#include <array>
#include <string>

namespace motion {
class RobotProfile;
}

namespace sim {

struct JointTable {
    std::array<bool, kJointRows> present{};
    std::array<bool, kJointRows> unknown{}; // present, but the position reads as unknown
    std::array<std::string, kJointRows> names{};
    std::array<int, kJointRows> initial{};
    // Sensor modules on the bus (IDs 100..109 take servo-image updates too).
    std::array<bool, 256> sensors{};

    JointTable();
    // Joints 1..18 present, all known, standing at 512.
    static JointTable standard();
    // The joints of a robot profile (IDs above 30 have no screen row and are left out).
    static JointTable fromProfile(const motion::RobotProfile& profile);
    // Whether a profile that the reader accepted describes a robot the simulator can stand in
    // for: at least one joint, a line for every joint the count promises (a missing line would
    // become a phantom joint 0 without a name), and bus IDs 0..253. False with the reason.
    static bool usableProfile(const motion::RobotProfile& profile, std::string* error = nullptr);

    // "1-18", "1,3,5-7": sets present (or unknown, which also makes the joints present) for
    // the IDs listed; false with *error on a malformed list or an ID outside 0..30.
    bool setPresent(const std::string& list, std::string* error = nullptr);
    bool setUnknown(const std::string& list, std::string* error = nullptr);

    bool known(int id) const { return present[id] && !unknown[id]; }
};

// Parses an ID list such as "1-18,20" into flags for IDs 0..maxId.
bool parseIdList(const std::string& list, int maxId, bool* flags, std::string* error);

} // namespace sim
