#pragma once
// The robot profile (.rbt) as the behaviour programmer holds it: every bus device the program
// may address, starting with the broadcast entry, then the sensor modules, then the joints.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace motion {

enum class DeviceKind : int { AllDevices = 0, JointServo = 1, SensorModule = 2 };

struct DeviceEntry {
    uint8_t id = 0;
    std::string name;
    DeviceKind kind = DeviceKind::AllDevices;
};

class DeviceTable {
  public:
    static constexpr uint8_t kBroadcastId = 254;
    static constexpr const char* kBroadcastName = "All Joyntra";

    DeviceTable() { reset(); }

    // Reads the profile at path. Whatever happens, the table afterwards holds at least the
    // broadcast entry; false (with the reason in *error) when the file cannot be opened or is
    // refused, and the table then holds only that entry.
    bool load(const std::string& path, std::string* error = nullptr);
    bool parse(std::string_view text, std::string* error = nullptr);
    // Only the broadcast entry.
    void reset();

    int count() const { return static_cast<int>(entries_.size()); }
    // Entry at position; positions outside the table give an empty entry of kind AllDevices
    // with ID 0, never a read past the table.
    const DeviceEntry& entry(int position) const;
    const std::vector<DeviceEntry>& entries() const { return entries_; }
    // Position of the first entry with this ID, or -1.
    int positionOf(int id) const;

    int jointCount() const { return jointCount_; }
    int sensorCount() const { return sensorCount_; }

  private:
    std::vector<DeviceEntry> entries_;
    int jointCount_ = 0;
    int sensorCount_ = 0;
};

} // namespace motion
