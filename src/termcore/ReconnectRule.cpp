#include "termcore/ReconnectRule.h"

namespace termcore {

void ReconnectRule::arm(const std::string& portName, int baudRate, const PortResolution& atOpen)
{
    armed_ = true;
    portName_ = portName;
    baudRate_ = baudRate;
    atOpen_ = atOpen;
}

namespace {
bool pseudoTerminal(const std::string& device)
{
    return device.rfind("/dev/pts/", 0) == 0;
}
} // namespace

std::optional<std::string> ReconnectRule::deviceToOpen(const PortResolution& now) const
{
    if (!armed_ || !now.exists || now.device.empty())
        return std::nullopt;
    if (atOpen_.linked) {
        if (!now.linked)
            return std::nullopt;
        const bool relinked = now.linkId != atOpen_.linkId;
        // The same link names the same path: that device back, unless it is a pseudo-terminal.
        if (relinked || !pseudoTerminal(now.device))
            return now.device;
        return std::nullopt;
    }
    if (now.linked || now.device != atOpen_.device || pseudoTerminal(now.device))
        return std::nullopt;
    return now.device;
}

} // namespace termcore
