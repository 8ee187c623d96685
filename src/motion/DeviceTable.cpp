#include "motion/DeviceTable.h"

#include "motion/ProfileText.h"
#include "motion/RobotProfile.h"

namespace motion {

namespace {

struct NamedId {
    int id = 0;
    std::string name;
};

// Reads count device lines: field 2 is the ID, field 3 the name. A line missing at the end of
// the file still gets its entry, with ID 0 and no name, so the table keeps its promised size.
void readDevices(ProfileLines& lines, int count, std::vector<NamedId>& out)
{
    std::string_view line;
    for (int i = 0; i < count; ++i) {
        NamedId device;
        if (!lines.next(line)) {
            out.push_back(device);
            continue;
        }
        auto fields = splitProfileFields(line);
        if (fields.size() >= 2)
            if (auto id = parseProfileNumber(fields[1]))
                device.id = *id;
        if (fields.size() >= 3)
            device.name = std::string(fields[2]);
        out.push_back(std::move(device));
    }
}

int countField(std::string_view line)
{
    auto fields = splitProfileFields(line);
    if (fields.size() < 2)
        return 0;
    return parseProfileNumber(fields[1]).value_or(0);
}

} // namespace

void DeviceTable::reset()
{
    entries_.clear();
    entries_.push_back({kBroadcastId, kBroadcastName, DeviceKind::AllDevices});
    jointCount_ = 0;
    sensorCount_ = 0;
}

bool DeviceTable::load(const std::string& path, std::string* error)
{
    reset();
    std::string text;
    if (!readProfileFile(path, text, error))
        return false;
    return parse(text, error);
}

bool DeviceTable::parse(std::string_view text, std::string* error)
{
    reset();
    auto refuse = [&](const std::string& what, int count, int line) {
        if (error)
            *error = "The robot profile is damaged: the " + what + " count " + std::to_string(count) +
                     " on line " + std::to_string(line) + " is not between 0 and " +
                     std::to_string(kMaxProfileDevices) + ".";
        return false;
    };

    ProfileLines lines(text);
    std::string_view line;
    lines.next(line); // the label and model file are not the programmer's business
    int jointCount = lines.next(line) ? countField(line) : 0;
    if (jointCount < 0 || jointCount > kMaxProfileDevices)
        return refuse("joint", jointCount, 2);
    std::vector<NamedId> joints;
    readDevices(lines, jointCount, joints);

    std::vector<NamedId> sensors;
    if (lines.next(line)) {
        int sensorCount = countField(line);
        if (sensorCount < 0 || sensorCount > kMaxProfileDevices)
            return refuse("sensor", sensorCount, lines.lineNumber());
        readDevices(lines, sensorCount, sensors);
    }

    for (const auto& s : sensors)
        entries_.push_back({static_cast<uint8_t>(s.id), s.name, DeviceKind::SensorModule});
    for (const auto& j : joints)
        entries_.push_back({static_cast<uint8_t>(j.id), j.name, DeviceKind::JointServo});
    jointCount_ = static_cast<int>(joints.size());
    sensorCount_ = static_cast<int>(sensors.size());
    return true;
}

const DeviceEntry& DeviceTable::entry(int position) const
{
    static const DeviceEntry none{};
    if (position < 0 || position >= count())
        return none;
    return entries_[static_cast<size_t>(position)];
}

int DeviceTable::positionOf(int id) const
{
    for (size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].id == id)
            return static_cast<int>(i);
    return -1;
}

} // namespace motion
