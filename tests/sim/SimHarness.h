#pragma once
// A controller on a test clock: bytes in, bytes out, time moved by hand.

#include "sim/Controller.h"

#include <string>

namespace simtest {

struct SimHarness {
    sim::ControllerMemory memory;
    sim::JointTable joints = sim::JointTable::standard();
    sim::Controller controller;
    int64_t now = 1000;

    explicit SimHarness(bool poweredOn = true, sim::Mode mode = sim::Mode::Menu,
                        const sim::JointTable& table = sim::JointTable::standard())
        : joints(table), controller(memory, joints)
    {
        controller.start(now, poweredOn, mode);
    }

    void wait(int64_t ms)
    {
        // Step through the controller's own deadlines so timed output comes at its time.
        int64_t end = now + ms;
        while (now < end) {
            int64_t next = end;
            if (auto d = controller.nextDeadline(); d && *d > now && *d < end)
                next = *d;
            now = next;
            controller.advance(now);
        }
        controller.advance(now);
    }
    // Sends bytes, lets `ms` pass, and returns everything the controller sent meanwhile.
    std::string send(const std::string& bytes, int64_t ms = 0)
    {
        controller.advance(now);
        controller.receive(bytes);
        wait(ms);
        return controller.takeOutput();
    }
    std::string take() { return controller.takeOutput(); }
    bool control(const std::string& line) { return controller.control(line); }
};

inline bool endsWith(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

inline std::string between(const std::string& s, char open, char close)
{
    size_t a = s.find(open);
    if (a == std::string::npos)
        return {};
    size_t b = s.find(close, a + 1);
    if (b == std::string::npos)
        return {};
    return s.substr(a + 1, b - a - 1);
}

} // namespace simtest
