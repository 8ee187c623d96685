// The controller link's mode probe rule on its own: which mode the replies to "***" and "\r"
// show, including the junk a half-finished command line leaves in front of them.

#include "link/ControllerLink.h"

#include <gtest/gtest.h>

using comm::ControllerMode;

namespace {

std::vector<uint8_t> bytes(const std::string& s)
{
    return {s.begin(), s.end()};
}

} // namespace

TEST(ProbeRule, TellsTheModeFromTheFirstBytesOfTheReplies)
{
    struct Case {
        const char* what;
        std::string stars;
        std::string cr;
        bool ok;
        ControllerMode mode;
        int entry;
    };
    const Case cases[] = {
        {"menu, entry 0", std::string("\0\0", 2), "", true, ControllerMode::Menu, 0},
        {"menu, entry 2", "\x02\x02", "", true, ControllerMode::Menu, 2},
        {"menu, only the last byte counts", "x\x01", "", true, ControllerMode::Menu, 1},
        {"stars echoed: not the menu", "***", "\r\n [KZ-7]> ", true, ControllerMode::Console, 255},
        {"console, error line", "", "\r\n [error] no such command", true, ControllerMode::Console, 255},
        {"screen", "", "\x02\x1b[35;3f", true, ControllerMode::Screen, 255},
        {"boot loader", "***", "\r\n--> ", true, ControllerMode::BootLoader, 255},
        {"silence: a running program", "", "", true, ControllerMode::Running, 255},
        {"chatter: a running program", "", "Running: step 4\r\n", true, ControllerMode::Running, 255},
        {"a CR reply of three bytes", "", "\r\n ", true, ControllerMode::Running, 255},
        {"two bytes cannot be told", "", "\r\n", false, ControllerMode::Unknown, 255},
        {"one byte cannot be told", "", "\x02", false, ControllerMode::Unknown, 255},
        {"entry 3 is no menu entry", "\x03", "", true, ControllerMode::Running, 255},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        comm::ProbeReplies replies{bytes(c.stars), bytes(c.cr)};
        comm::ProbeVerdict v = comm::classifyProbe(replies);
        EXPECT_EQ(v.ok, c.ok);
        if (v.ok) {
            EXPECT_EQ(v.mode, c.mode);
        }
        EXPECT_EQ(v.menuEntry, c.entry);
        EXPECT_EQ(comm::starsNameAMenuEntry(replies.stars), c.mode == ControllerMode::Menu);
    }
}
