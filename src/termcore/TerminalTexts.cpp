#include "termcore/TerminalTexts.h"

namespace termcore::texts {

namespace {
std::string cut(std::string text)
{
    if (text.size() > kStatusCapacity - 1)
        text.resize(kStatusCapacity - 1);
    return text;
}
} // namespace

std::string cannotOpenPort(const std::string& port, int baudRate)
{
    return "Can not open " + port + ", " + std::to_string(baudRate) + " bps!";
}

std::string hexFailed(int code)
{
    return "Error in converting hex file! #" + std::to_string(code);
}

std::string transmitFailed(uint64_t sent, uint64_t total)
{
    return "Can not send the whole file! " + std::to_string(sent) + " of " + std::to_string(total) +
           " bytes went out.";
}

std::string matchCount(size_t count)
{
    return std::to_string(count) + (count == 1 ? " match" : " matches");
}

std::string transmitStatus(uint64_t sent, uint64_t total)
{
    const uint64_t percent = total == 0 ? 0 : (sent >= total ? 100 : sent * 100 / total);
    return cut("TX data... " + std::to_string(sent) + "/" + std::to_string(total) + "byte " +
               std::to_string(percent) + "% (Cancel to press ESC)");
}

std::string receiveStatus(uint64_t received)
{
    return cut("RX data... " + std::to_string(received) + " byte (Quit to press END)");
}

std::string idleStatus(const std::string& newestLabel)
{
    if (newestLabel.empty())
        return kNoRecentFile;
    return cut(kLatestFile + newestLabel);
}

std::string connectionStatus(bool open, const std::string& port, int baudRate)
{
    if (!open)
        return kDisconnected;
    return cut(port + "-" + std::to_string(baudRate));
}

std::string deviceStatus(const std::string& device)
{
    return cut(device);
}

std::string deviceGoneStatus(const std::string& port, const std::string& device)
{
    return cut(port + " gone (" + (device.empty() ? std::string("no device") : device) + "), waiting for it");
}

std::string badBaudRate(const std::string& text, int lowest, int highest)
{
    return "\"" + text + "\" is not a baud rate the serial port can set: give a whole number from " +
           std::to_string(lowest) + " to " + std::to_string(highest) + ".";
}

} // namespace termcore::texts
