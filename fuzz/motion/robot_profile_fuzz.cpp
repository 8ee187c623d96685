// Random profile text through both profile readers: never a crash, never more joints or
// devices than the limits allow, never an index outside the arrays.

#include "motion/DeviceTable.h"
#include "motion/RobotProfile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    motion::RobotProfile profile;
    std::string error;
    if (profile.parse(text, &error)) {
        if (profile.jointCount() > motion::kMaxProfileDevices)
            std::abort();
        for (const auto& j : profile.joints())
            if (j.targetValue != j.initialValue || j.displayedValue != j.initialValue)
                std::abort();
        (void)profile.indexOfId(7);
        (void)profile.modelPath();
    } else if (profile.jointCount() != 0 || error.empty()) {
        std::abort();
    }
    motion::DeviceTable table;
    bool ok = table.parse(text, &error);
    if (table.count() < 1 || table.count() > 1 + 2 * motion::kMaxProfileDevices)
        std::abort();
    if (!ok && table.count() != 1)
        std::abort();
    if (table.entry(0).id != motion::DeviceTable::kBroadcastId)
        std::abort();
    if (size > 0)
        (void)table.positionOf(data[0]);
    (void)table.entry(table.count());
    return 0;
}
