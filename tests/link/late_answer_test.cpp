// A controller that answers the mode probe late is still found where it is: the link waits for
// the answer instead of taking the silence for a running program and pressing keys that were
// meant for another mode.

#include "link/ControllerLink.h"
#include "support/LateChannel.h"
#include "support/SimChannel.h"

#include <gtest/gtest.h>

using comm::ControllerLink;
using comm::ControllerMode;
using comm::modeValue;

TEST(ControllerLinkLateAnswer, ProbeFindsEveryModeAndLeavesTheControllerInIt)
{
    struct Case {
        int lagMs;
        sim::Mode start;
        ControllerMode seen;
    } cases[] = {
        {0, sim::Mode::Menu, ControllerMode::Menu},
        {350, sim::Mode::Menu, ControllerMode::Menu},
        {800, sim::Mode::Menu, ControllerMode::Menu},
        {350, sim::Mode::Console, ControllerMode::Console},
        {350, sim::Mode::Screen, ControllerMode::Screen},
        {350, sim::Mode::BootLoader, ControllerMode::BootLoader},
        {350, sim::Mode::Running, ControllerMode::Running},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << sim::modeName(c.start) << " answering " << c.lagMs << " ms late");
        testsupport::InProcessController sim(true, c.start);
        comm::LinkTiming timing;
        timing.lineBaud = 0;
        ControllerLink link(
            timing,
            [&](const std::string&, int) {
                return std::make_unique<testsupport::LateChannel>(sim.open(), sim.clock, c.lagMs);
            },
            sim.clock);
        ASSERT_TRUE(link.openPort("late"));
        ASSERT_TRUE(link.probe());
        EXPECT_EQ(link.mode(), modeValue(c.seen));
        EXPECT_EQ(link.menuEntry(), c.seen == ControllerMode::Menu ? 0 : 255);
        EXPECT_EQ(sim.controller.mode(), c.start) << sim::modeName(sim.controller.mode());
        if (c.start != sim::Mode::Menu)
            continue;
        // Connecting to the late menu enters none of its modes either.
        link.closePort();
        ASSERT_TRUE(link.connect("late"));
        EXPECT_EQ(link.mode(), modeValue(ControllerMode::Menu));
        EXPECT_EQ(sim.controller.mode(), sim::Mode::Menu);
        EXPECT_EQ(sim.controller.menuEntry(), 0);
    }
}

TEST(ControllerLinkLateAnswer, ProbeRightAfterPowerOnFindsTheMenuWithoutChoosingFromIt)
{
    // Switched on just as the probe starts: the stars go into the power-on window, which ignores
    // them, and its greeting and then the menu's banner come in their place. Switched on a moment
    // after the probe started, the stars are lost altogether and both come later still.
    for (int powerOnAtMs : {0, 100}) {
        SCOPED_TRACE(testing::Message() << "switched on after " << powerOnAtMs << " ms");
        testsupport::InProcessController sim(true, sim::Mode::Menu);
        comm::LinkTiming timing;
        timing.lineBaud = 0;
        ControllerLink link(
            timing, [&](const std::string&, int) { return sim.open(); }, sim.clock);
        ASSERT_TRUE(link.openPort("in-process"));
        if (powerOnAtMs == 0) {
            ASSERT_TRUE(sim.control("power on"));
        } else {
            ASSERT_TRUE(sim.control("silent"));
            sim.controlAt(sim.clock.nowMs() + powerOnAtMs, "power on");
        }
        ASSERT_TRUE(link.probe());
        EXPECT_EQ(link.mode(), modeValue(ControllerMode::Menu));
        EXPECT_EQ(link.menuEntry(), 0);
        EXPECT_EQ(sim.controller.mode(), sim::Mode::Menu) << sim::modeName(sim.controller.mode());
    }
}
