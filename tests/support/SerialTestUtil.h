#pragma once
// Small helpers for the end-to-end tests: the PC's probe and timed reads over a SerialPort.

#include "link/ControllerLink.h"
#include "platform/SerialPort.h"

#include <chrono>
#include <string>
#include <thread>

namespace serialtest {

using Clock = std::chrono::steady_clock;

inline void sleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

inline std::string readSome(platform::SerialPort& port, size_t maxCount = 256)
{
    std::string bytes(maxCount, '\0');
    size_t got = 0;
    if (!port.read(bytes.data(), maxCount, &got))
        return {};
    bytes.resize(got);
    return bytes;
}

// Collects what arrives until the line has been quiet for quietMs (or limitMs passed).
inline std::string readUntilQuiet(platform::SerialPort& port, int quietMs = 300, int limitMs = 5000)
{
    std::string all;
    auto start = Clock::now();
    auto lastByte = start;
    while (Clock::now() - start < std::chrono::milliseconds(limitMs)) {
        std::string chunk = readSome(port, 4096);
        if (!chunk.empty()) {
            all += chunk;
            lastByte = Clock::now();
        } else if (Clock::now() - lastByte > std::chrono::milliseconds(quietMs)) {
            break;
        } else {
            sleepMs(5);
        }
    }
    return all;
}

// A reply: waits up to limitMs for its first byte, then collects until the line has been quiet
// for quietMs. A slow controller (or a busy machine) delays the reply, never cuts it.
inline std::string readReply(platform::SerialPort& port, int quietMs = 200, int limitMs = 10000)
{
    std::string all;
    auto start = Clock::now();
    while (all.empty() && Clock::now() - start < std::chrono::milliseconds(limitMs)) {
        all = readSome(port, 4096);
        if (all.empty())
            sleepMs(5);
    }
    return all.empty() ? all : all + readUntilQuiet(port, quietMs, limitMs);
}

// Reads until `count` bytes arrived or limitMs passed.
inline std::string readExactly(platform::SerialPort& port, size_t count, int limitMs = 5000)
{
    std::string all;
    auto start = Clock::now();
    while (all.size() < count && Clock::now() - start < std::chrono::milliseconds(limitMs)) {
        std::string chunk = readSome(port, count - all.size());
        if (chunk.empty())
            sleepMs(2);
        all += chunk;
    }
    return all;
}

enum Mode { Menu = 0, Console = 1, Screen = 2, Running = 3, BootLoader = 4, Unknown = 255 };

struct ProbeResult {
    int mode = Unknown;
    int menuEntry = 255;
    std::string starsReply;
    std::string crReply;
};

// The PC's probe: the controller link's own exchange and rule, over a port the test holds.
inline ProbeResult probe(platform::SerialPort& port)
{
    ProbeResult r;
    comm::ProbeReplies replies;
    if (!comm::exchangeProbe(port, platform::systemClock(), comm::LinkTiming{}, replies))
        return r;
    r.starsReply.assign(replies.stars.begin(), replies.stars.end());
    r.crReply.assign(replies.cr.begin(), replies.cr.end());
    comm::ProbeVerdict verdict = comm::classifyProbe(replies);
    if (verdict.ok) {
        r.mode = comm::modeValue(verdict.mode);
        r.menuEntry = verdict.menuEntry;
    }
    return r;
}

inline char checksum(const std::string& bytes)
{
    unsigned sum = 0;
    for (unsigned char c : bytes)
        sum += c;
    return static_cast<char>(sum & 0xFF);
}

inline bool endsWith(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// length bytes that differ from one seed to the next and never run in a short cycle, to send as
// test data.
inline std::string pattern(size_t length, unsigned seed)
{
    std::string bytes;
    for (size_t i = 0; i < length; ++i)
        bytes.push_back(static_cast<char>((i * 13 + seed + i / 251) & 0xFF));
    return bytes;
}

} // namespace serialtest
