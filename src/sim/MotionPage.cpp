#include "sim/MotionPage.h"

#include <algorithm>
#include <cstring>

namespace sim {

namespace {

constexpr size_t kSlotSize = 512;
constexpr size_t kNameOffset = 2;
constexpr size_t kNameBytes = 16;
constexpr size_t kAttributesOffset = kNameOffset + kNameBytes;
constexpr size_t kPosesOffset = kAttributesOffset + 6;
constexpr size_t kJointBytes = static_cast<size_t>(kJointRows) * 2; // then pause, then speed
constexpr size_t kPoseBytes = kJointBytes + 2;
static_assert(kPosesOffset + kPoseCount * kPoseBytes <= kSlotSize);

bool printable(char c)
{
    return c >= 32 && c <= 126;
}

} // namespace

MotionPage::MotionPage()
{
    for (auto& pose : poses)
        pose.values.fill(512);
}

MotionPage MotionPage::decode(const uint8_t* slot)
{
    MotionPage page;
    if (slot[0] != 'K' || slot[1] != '7')
        return page;
    for (size_t i = 0; i < kMaxPageName && slot[kNameOffset + i] != 0; ++i) {
        char c = static_cast<char>(slot[kNameOffset + i]);
        page.name.push_back(printable(c) ? c : '?');
    }
    const uint8_t* a = slot + kAttributesOffset;
    // Out-of-range bytes come from data the controller did not write itself (a restored
    // backup, a hand-made file): clamp them so the screen never shows an impossible page.
    page.poseCount = std::min<int>(a[0], kPoseCount);
    page.playCount = a[1];
    page.motionSpeed = a[2];
    page.accelTime = a[3];
    page.nextPage = std::min<int>(a[4], kMaxPageNumber);
    page.exitPage = std::min<int>(a[5], kMaxPageNumber);
    for (int p = 0; p < kPoseCount; ++p) {
        const uint8_t* in = slot + kPosesOffset + p * kPoseBytes;
        Pose& pose = page.poses[p];
        for (size_t j = 0; j < pose.values.size(); ++j) {
            uint16_t v = static_cast<uint16_t>(in[2 * j] | (in[2 * j + 1] << 8));
            pose.values[j] = (v == kUnknownValue || v <= kMaxJointValue) ? v : kUnknownValue;
        }
        pose.pause = in[kJointBytes];
        pose.speed = in[kJointBytes + 1];
    }
    return page;
}

void MotionPage::encode(uint8_t* slot) const
{
    std::memset(slot, 0, kSlotSize);
    slot[0] = 'K';
    slot[1] = '7';
    std::memcpy(slot + kNameOffset, name.data(), std::min(name.size(), kMaxPageName));
    uint8_t* a = slot + kAttributesOffset;
    a[0] = static_cast<uint8_t>(poseCount);
    a[1] = static_cast<uint8_t>(playCount);
    a[2] = static_cast<uint8_t>(motionSpeed);
    a[3] = static_cast<uint8_t>(accelTime);
    a[4] = static_cast<uint8_t>(nextPage);
    a[5] = static_cast<uint8_t>(exitPage);
    for (int p = 0; p < kPoseCount; ++p) {
        uint8_t* out = slot + kPosesOffset + p * kPoseBytes;
        const Pose& pose = poses[p];
        for (size_t j = 0; j < pose.values.size(); ++j) {
            out[2 * j] = static_cast<uint8_t>(pose.values[j] & 0xFF);
            out[2 * j + 1] = static_cast<uint8_t>(pose.values[j] >> 8);
        }
        out[kJointBytes] = pose.pause;
        out[kJointBytes + 1] = pose.speed;
    }
}

} // namespace sim
