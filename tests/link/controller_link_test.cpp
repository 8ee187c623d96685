// The controller link against a scripted controller on a pty: mode probing, every transition,
// the menu, banners and version limits, the power-on capture, and the boot-loader transfers
// byte for byte.

#include "FakeBench.h"
#include "link/ControllerLink.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using comm::ControllerLink;
using comm::ControllerMode;
using comm::modeValue;
using linktest::FakeController;
using linktest::FakeMode;
using linktest::FakeScript;

namespace {

using Bench = linktest::FakeBench;
using linktest::fakeTiming;

std::string banner(const std::string& version, size_t totalLength)
{
    std::string b = "\r\nKZ-7 controller [" + version + "]\r\n";
    while (b.size() < totalLength)
        b += '.';
    return b;
}

int count(const std::string& s, char c)
{
    return static_cast<int>(std::count(s.begin(), s.end(), c));
}

} // namespace

TEST(ControllerLinkProbe, TellsEveryModeFromItsReply)
{
    struct Case {
        FakeMode fake;
        ControllerMode expected;
    } cases[] = {
        {FakeMode::Menu, ControllerMode::Menu},
        {FakeMode::Console, ControllerMode::Console},
        {FakeMode::Screen, ControllerMode::Screen},
        {FakeMode::Running, ControllerMode::Running},
        {FakeMode::BootLoader, ControllerMode::BootLoader},
    };
    for (const auto& c : cases) {
        FakeScript script;
        script.menuEntry = 2;
        Bench bench(script, c.fake);
        ASSERT_TRUE(bench.open());
        EXPECT_EQ(bench.link.currentMode(), modeValue(c.expected)) << comm::modeName(c.expected);
        EXPECT_EQ(bench.link.menuEntry(), c.expected == ControllerMode::Menu ? 2 : 255);
    }
}

TEST(ControllerLinkProbe, FailsOnAShortReplyAndOnAClosedPort)
{
    ControllerLink closed{fakeTiming()};
    EXPECT_FALSE(closed.probe());
    EXPECT_EQ(closed.mode(), 255);

    // A controller that answers the carriage return with two bytes cannot be told.
    FakeScript script;
    Bench bench(script, FakeMode::Off);
    ASSERT_TRUE(bench.open());
    EXPECT_TRUE(bench.link.probe()); // silence: a running program
    EXPECT_EQ(bench.link.mode(), modeValue(ControllerMode::Running));
}

TEST(ControllerLinkGoTo, DrivesTheControllerThroughEveryTransition)
{
    Bench bench;
    ASSERT_TRUE(bench.open());

    ASSERT_TRUE(bench.link.goTo(ControllerMode::Console));
    EXPECT_EQ(bench.fake.mode(), FakeMode::Console);
    EXPECT_STREQ(bench.link.firmwareVersion(), "KZ-7 firmware 2.10");

    bench.fake.clearReceived();
    ASSERT_TRUE(bench.link.goTo(ControllerMode::Menu));
    EXPECT_EQ(bench.fake.mode(), FakeMode::Menu);
    EXPECT_NE(bench.fake.received().find("\rexit\ry"), std::string::npos);

    ASSERT_TRUE(bench.link.goTo(ControllerMode::BootLoader));
    EXPECT_EQ(bench.fake.mode(), FakeMode::BootLoader);
    EXPECT_STREQ(bench.link.bootLoaderVersion(), "KZ-7 BL ver 1.30");

    bench.fake.clearReceived();
    ASSERT_TRUE(bench.link.goTo(ControllerMode::Running)); // via the menu
    EXPECT_TRUE(bench.fake.waitMode(FakeMode::Running));
    EXPECT_NE(bench.fake.received().find("\rgo\r"), std::string::npos);

    bench.fake.clearReceived();
    ASSERT_TRUE(bench.link.goTo(ControllerMode::Menu));
    EXPECT_EQ(bench.fake.mode(), FakeMode::Menu);
    EXPECT_EQ(count(bench.fake.received(), 0x55), 30 * 255);

    ASSERT_TRUE(bench.link.goTo(ControllerMode::Screen));
    EXPECT_EQ(bench.fake.mode(), FakeMode::Screen);
    ASSERT_TRUE(bench.link.goTo(ControllerMode::Menu));
    EXPECT_EQ(bench.fake.mode(), FakeMode::Menu);

    // Asking for the mode it is in sends one probe and nothing else.
    bench.fake.clearReceived();
    ASSERT_TRUE(bench.link.goTo(ControllerMode::Menu));
    EXPECT_EQ(bench.fake.received(), "***");
    EXPECT_FALSE(bench.link.goTo(ControllerMode::Unknown));
}

TEST(ControllerLinkGoTo, FailsWhenTheControllerDoesNotReachItsMenu)
{
    struct Case {
        const char* name;
        bool FakeScript::*deaf;
        FakeMode start;
        ControllerMode mode;
        ControllerMode other; // a second target that also needs the menu first
    } cases[] = {
        {"console ignores exit", &FakeScript::consoleIgnoresExit, FakeMode::Console, ControllerMode::Console,
         ControllerMode::BootLoader},
        {"boot loader ignores go", &FakeScript::bootIgnoresGo, FakeMode::BootLoader,
         ControllerMode::BootLoader, ControllerMode::Console},
        {"running ignores the break", &FakeScript::runningIgnoresBreak, FakeMode::Running,
         ControllerMode::Running, ControllerMode::Screen},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeScript script;
        script.*c.deaf = true;
        Bench bench(script, c.start);
        ASSERT_TRUE(bench.open());
        EXPECT_FALSE(bench.link.goTo(ControllerMode::Menu));
        EXPECT_FALSE(bench.link.goTo(c.other));
        EXPECT_EQ(bench.fake.mode(), c.start) << "left where it was";
        EXPECT_EQ(bench.link.mode(), modeValue(c.mode));
    }
}

TEST(ControllerLinkMenu, SelectsAnEntryWithTheFewestTabsForward)
{
    struct Case {
        int from, to, tabs;
    } cases[] = {{2, 0, 1}, {1, 0, 2}, {0, 2, 2}, {1, 1, 0}};
    for (const auto& c : cases) {
        FakeScript script;
        script.menuEntry = c.from;
        Bench bench(script);
        ASSERT_TRUE(bench.open());
        ASSERT_TRUE(bench.link.probe());
        EXPECT_TRUE(bench.link.selectMenuEntry(c.to));
        EXPECT_EQ(bench.fake.tabs(), c.tabs) << c.from << " -> " << c.to;
        EXPECT_EQ(bench.link.menuEntry(), c.to);
    }
    Bench bench;
    ASSERT_TRUE(bench.open());
    EXPECT_FALSE(bench.link.selectMenuEntry(3));
    EXPECT_FALSE(bench.link.selectMenuEntry(-1));
}

TEST(ControllerLinkConsole, AcceptsOnlyBannersAndVersionsWithinTheirLimits)
{
    struct Case {
        std::string banner;
        bool accepted;
    } cases[] = {
        {banner(std::string(10, 'v'), 90), true},  {banner(std::string(120, 'w'), 200), true},
        {banner(std::string(9, 'x'), 120), false}, {banner(std::string(121, 'y'), 220), false},
        {banner("a good one", 89), false},         {std::string(100, '.') + "[no closing bracket", false},
    };
    for (const auto& c : cases) {
        FakeScript script;
        script.consoleBanner = c.banner;
        Bench bench(script);
        ASSERT_TRUE(bench.open());
        EXPECT_EQ(bench.link.goTo(ControllerMode::Console), c.accepted) << c.banner;
        if (c.accepted) {
            size_t open = c.banner.find('[');
            EXPECT_EQ(bench.link.firmwareVersion(), c.banner.substr(open + 1, c.banner.find(']') - open - 1));
        } else {
            EXPECT_STREQ(bench.link.firmwareVersion(), ControllerLink::kUnknownVersion);
        }
    }
}

TEST(ControllerLinkConsole, KeepsAKnownVersionWithoutAskingAgain)
{
    Bench bench;
    ASSERT_TRUE(bench.open());
    EXPECT_EQ(bench.link.firmwareVersionText(), "KZ-7 firmware 2.10");
    EXPECT_EQ(bench.fake.mode(), FakeMode::Menu);

    // A failed visit keeps what was read before; a known version sends nothing at all.
    bench.fake.setConsoleBanner("too short [ver]");
    EXPECT_FALSE(bench.link.goTo(ControllerMode::Console));
    ASSERT_TRUE(bench.link.goTo(ControllerMode::Menu));
    bench.fake.clearReceived();
    EXPECT_EQ(bench.link.firmwareVersionText(), "KZ-7 firmware 2.10");
    EXPECT_EQ(bench.fake.received(), "");
}

TEST(ControllerLinkBootLoader, NeedsABannerOfThirtySevenBytesWithAVersion)
{
    // A boot loader that does not echo the '#' answers the first block with its banner alone;
    // a banner ending in '#' ends the blocks at once, so the reply is exactly the banner.
    auto padded = [](std::string text, size_t length) {
        while (text.size() + 1 < length)
            text += '.';
        return text + '#';
    };
    struct Case {
        std::string banner;
        bool accepted;
    } cases[] = {
        {padded("\r\nBL (0123456789) ready", 37), true},
        {padded("\r\nBL (0123456789) ready", 36), false},
        {padded("\r\nBL (012345678) ready", 60), false},
        {padded("\r\nBL (" + std::string(120, 'b') + ")", 130), true},
        {padded("\r\nBL (" + std::string(121, 'b') + ")", 130), false},
    };
    for (const auto& c : cases) {
        FakeScript script;
        script.bootBanner = c.banner;
        script.bootEchoes = false;
        Bench bench(script);
        ASSERT_TRUE(bench.open());
        EXPECT_EQ(bench.link.goTo(ControllerMode::BootLoader), c.accepted) << c.banner.size();
        EXPECT_EQ(count(bench.fake.received(), '#'), 50) << "one block was enough";
        if (c.accepted) {
            EXPECT_EQ(bench.link.mode(), modeValue(ControllerMode::BootLoader));
        }
    }
}

TEST(ControllerLinkBootLoader, SendsUpToTwentyBlocksUntilTheReplyEndsWithAHash)
{
    // The echoing boot loader: the first block's reply is the banner and 49 echoes.
    Bench bench;
    ASSERT_TRUE(bench.open());
    ASSERT_TRUE(bench.link.goTo(ControllerMode::BootLoader));
    EXPECT_EQ(count(bench.fake.received(), '#'), 50);

    // A controller that ignores the blocks gets all twenty, then the link gives up.
    Bench deaf(FakeScript{}, FakeMode::Menu);
    ASSERT_TRUE(deaf.open());
    deaf.fake.setIgnoreHashes(true);
    EXPECT_FALSE(deaf.link.goTo(ControllerMode::BootLoader));
    EXPECT_EQ(count(deaf.fake.received(), '#'), 20 * 50);
}

TEST(ControllerLinkPowerOn, CatchesTheBootLoaderTimesOutAndCancels)
{
    {
        Bench bench(FakeScript{}, FakeMode::Off);
        ASSERT_TRUE(bench.open());
        bench.fake.later(300, [&] { bench.fake.powerOn(); });
        EXPECT_EQ(bench.link.waitForBootLoader(10), 1);
        EXPECT_EQ(bench.fake.mode(), FakeMode::BootLoader);
        EXPECT_NE(bench.fake.received().find(std::string(70, '#')), std::string::npos);
    }
    {
        Bench bench(FakeScript{}, FakeMode::Off);
        ASSERT_TRUE(bench.open());
        const int64_t start = bench.fake.clock().nowMs();
        EXPECT_EQ(bench.link.waitForBootLoader(1), 0);
        const int64_t waited = bench.fake.clock().nowMs() - start;
        EXPECT_GE(waited, 1000);
        EXPECT_LT(waited, 2500);
        EXPECT_EQ(bench.fake.received(), "") << "nothing is sent to a silent controller";
    }
    {
        Bench bench(FakeScript{}, FakeMode::Off);
        ASSERT_TRUE(bench.open());
        bench.fake.later(200, [&] { bench.link.cancelBootLoaderWait(); });
        const int64_t start = bench.fake.clock().nowMs();
        EXPECT_EQ(bench.link.waitForBootLoader(30), -1);
        EXPECT_LT(bench.fake.clock().nowMs() - start, 2000);

        // A cancel pressed before the capture's thread got going is not lost...
        bench.link.armBootLoaderWait();
        bench.link.cancelBootLoaderWait();
        EXPECT_EQ(bench.link.waitForBootLoader(30), -1);
        // ...and one pressed after a capture ended does not spoil the next.
        bench.link.cancelBootLoaderWait();
        EXPECT_EQ(bench.link.waitForBootLoader(0), 0);
    }
    ControllerLink closed{fakeTiming()};
    EXPECT_EQ(closed.waitForBootLoader(1), 0);
}
