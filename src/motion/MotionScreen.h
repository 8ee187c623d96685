#pragma once
// The mirror of the page the controller has open in its full-screen editor. The controller owns
// the page; this holds only what it last painted.

#include "motion/PoseColumn.h"

#include <array>
#include <string>

namespace motion {

// Page-information fields in their fixed order; the numbers are indexes used by the editor and
// carried in PageInfoChanged events.
enum class PageInfo : int {
    Name = 0,
    Number = 1,
    DataAddress = 2,
    PlayCount = 3,
    PoseCount = 4,
    MotionSpeed = 5,
    AccelTime = 6,
    NextPage = 7,
    ExitPage = 8,
};
constexpr int kPageInfoCount = 9;

// Captions of the page-information fields, by index.
extern const std::array<const char*, kPageInfoCount> kPageInfoCaptions;

struct MotionScreen {
    std::array<PoseColumn, kPoseCount> poses{};
    PoseColumn current; // the robot's present joints, with the pause and speed of the cursor's pose
    // Numeric page information by index; the name (index 0) lives in pageName.
    std::array<int, kPageInfoCount> pageInfo{};
    std::string pageName;
    bool pageNameReceived = false;
    int selectedPose = -1;
    int statusA = 0; // the two 2-digit values of the controller's status line
    int statusB = 0;
    bool inEditScreen = false;
    std::string message; // the controller's last plain-text line

    int pageNumber() const { return pageInfo[static_cast<int>(PageInfo::Number)]; }
    int poseCount() const { return pageInfo[static_cast<int>(PageInfo::PoseCount)]; }
    bool isOffsetPage() const { return pageNumber() == 0; }

    // The field as the editor shows it: " No name" before a name arrived, the data address as
    // 0x%.8X once one arrived ("0x000000" before), other fields in decimal.
    std::string pageInfoText(int index) const;

    void reset() { *this = MotionScreen(); }
    bool operator==(const MotionScreen&) const = default;
};

} // namespace motion
