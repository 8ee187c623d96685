#include "termcore/ReconnectRule.h"

namespace termcore {

void ReconnectRule::arm(const std::string& portName, int baudRate, const PortResolution& atOpen)
{
    armed_ = true;
    portName_ = portName;
    baudRate_ = baudRate;
    atOpen_ = atOpen;
}

std::optional<std::string> ReconnectRule::deviceToOpen(const PortResolution& now) const
{
    if (!armed_ || !now.exists || now.device.empty())
        return std::nullopt;
    if (atOpen_.linked)
        return now.linked ? std::optional<std::string>(now.device) : std::nullopt;
    if (now.device == atOpen_.device)
        return now.device;
    return std::nullopt;
}

} // namespace termcore
