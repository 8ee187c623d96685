#pragma once
// One motion page as the controller stores it in its 512-byte slot of the motion data.
//
// Slot layout (little-endian): "K7" marker, name (16 bytes, NUL padded, 15 characters at most),
// pose count, play count, motion speed, accel time, next page, exit page, then 7 poses of
// 31 joint values (16 bits each; 0xFFFF = value not known) followed by pause and speed.
// A slot without the marker (erased flash, or data the controller did not write) reads as a
// blank page.

#include <array>
#include <cstdint>
#include <string>

namespace sim {

constexpr int kJointRows = 31; // bus IDs 0..30 have a row on the screen
constexpr int kPoseCount = 7;
constexpr uint16_t kUnknownValue = 0xFFFF;
constexpr int kMaxJointValue = 1023;
constexpr int kMaxPageNumber = 127;
constexpr size_t kMaxPageName = 15;

struct Pose {
    std::array<uint16_t, kJointRows> values{};
    uint8_t pause = 0;
    uint8_t speed = 100;
};

struct MotionPage {
    std::string name;
    int poseCount = 0;
    int playCount = 1;
    int motionSpeed = 100;
    int accelTime = 32;
    int nextPage = 0;
    int exitPage = 0;
    std::array<Pose, kPoseCount> poses{};

    MotionPage();
    static MotionPage decode(const uint8_t* slot);
    void encode(uint8_t* slot) const;
    bool operator==(const MotionPage&) const = default;
};

} // namespace sim
