#include "sim/JointTable.h"

#include "motion/RobotProfile.h"

#include <cstdlib>

namespace sim {

JointTable::JointTable()
{
    initial.fill(512);
}

JointTable JointTable::standard()
{
    JointTable table;
    for (int id = 1; id <= 18; ++id)
        table.present[id] = true;
    return table;
}

JointTable JointTable::fromProfile(const motion::RobotProfile& profile)
{
    JointTable table;
    for (const auto& joint : profile.joints()) {
        if (joint.id < 0 || joint.id >= kJointRows)
            continue;
        table.present[joint.id] = true;
        table.names[joint.id] = joint.name;
        if (joint.initialValue >= 0 && joint.initialValue <= kMaxJointValue)
            table.initial[joint.id] = joint.initialValue;
    }
    return table;
}

bool JointTable::usableProfile(const motion::RobotProfile& profile, std::string* error)
{
    auto refuse = [error](const std::string& why) {
        if (error)
            *error = "The robot profile cannot be simulated: " + why;
        return false;
    };
    if (profile.jointCount() == 0)
        return refuse("it names no joints");
    for (int i = 0; i < profile.jointCount(); ++i) {
        const auto& joint = profile.joints()[static_cast<size_t>(i)];
        if (joint.name.empty())
            return refuse("joint " + std::to_string(i) + " of " + std::to_string(profile.jointCount()) +
                          " has no line (or no name)");
        if (joint.id < 0 || joint.id > 253)
            return refuse("joint " + std::to_string(i) + " has the bus ID " + std::to_string(joint.id) +
                          ", outside 0..253");
    }
    return true;
}

namespace {

bool parseNumber(const std::string& text, size_t& pos, int& value)
{
    size_t start = pos;
    long v = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 6)
        v = v * 10 + (text[pos++] - '0');
    value = static_cast<int>(v);
    return pos > start;
}

} // namespace

bool parseIdList(const std::string& list, int maxId, bool* flags, std::string* error)
{
    size_t pos = 0;
    auto fail = [&](const std::string& why) {
        if (error)
            *error = "bad ID list '" + list + "': " + why;
        return false;
    };
    if (list.empty())
        return fail("empty");
    while (pos < list.size()) {
        int first = 0;
        int last = 0;
        if (!parseNumber(list, pos, first))
            return fail("a number was expected");
        last = first;
        if (pos < list.size() && list[pos] == '-') {
            ++pos;
            if (!parseNumber(list, pos, last))
                return fail("a number was expected after '-'");
        }
        if (first > last || last > maxId)
            return fail("IDs must lie in 0.." + std::to_string(maxId));
        for (int id = first; id <= last; ++id)
            flags[id] = true;
        if (pos < list.size()) {
            if (list[pos] != ',')
                return fail("',' was expected");
            ++pos;
        }
    }
    return true;
}

bool JointTable::setPresent(const std::string& list, std::string* error)
{
    std::array<bool, kJointRows> flags{};
    if (!parseIdList(list, kJointRows - 1, flags.data(), error))
        return false;
    present = flags;
    for (int id = 0; id < kJointRows; ++id)
        if (!present[id])
            unknown[id] = false;
    return true;
}

bool JointTable::setUnknown(const std::string& list, std::string* error)
{
    std::array<bool, kJointRows> flags{};
    if (!parseIdList(list, kJointRows - 1, flags.data(), error))
        return false;
    for (int id = 0; id < kJointRows; ++id)
        if (flags[id])
            present[id] = unknown[id] = true;
    return true;
}

} // namespace sim
