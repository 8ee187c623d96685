// The controller's modes and probes, its boot loader, power, servo update and injected faults,
// driven byte by byte on a test clock.

#include "SimHarness.h"

#include <gtest/gtest.h>

#include <numeric>

using sim::Mode;
using simtest::between;
using simtest::endsWith;
using simtest::SimHarness;

namespace {

std::string image(size_t length, uint8_t seed)
{
    std::string bytes;
    for (size_t i = 0; i < length; ++i)
        bytes.push_back(static_cast<char>((i * 7 + seed) & 0xFF));
    return bytes;
}

char sum(const std::string& bytes)
{
    unsigned s = 0;
    for (unsigned char c : bytes)
        s += c;
    return static_cast<char>(s & 0xFF);
}

// Sends an image the way the PC does: "ld", then 70-byte chunks, each met with silence.
std::string download(SimHarness& sim, uint32_t address, const std::string& payload)
{
    char command[32];
    std::snprintf(command, sizeof command, "\rld %x\r", address);
    std::string reply = sim.send(command, 200);
    EXPECT_TRUE(endsWith(reply, "Ready..")) << reply;
    std::string wire = payload + sum(payload);
    for (size_t i = 0; i < wire.size(); i += 70) {
        std::string chunk = sim.send(wire.substr(i, 70), 1);
        EXPECT_EQ(chunk, "") << "the controller spoke during the transfer";
    }
    return sim.send("", 300);
}

void toBootLoader(SimHarness& sim)
{
    std::string reply = sim.send(std::string(50, '#'), 200);
    ASSERT_EQ(sim.controller.mode(), Mode::BootLoader) << reply;
}

} // namespace

TEST(ControllerMenu, AnswersTheProbeWithTheHighlightedEntryTwiceAndTabCycles)
{
    SimHarness sim;
    EXPECT_EQ(sim.send("***", 200), std::string("\0\0", 2));
    sim.send("\t", 500);
    EXPECT_EQ(sim.send("***", 200), std::string("\1\1", 2));
    sim.send("\t", 500);
    EXPECT_EQ(sim.send("***", 200), std::string("\2\2", 2));
    sim.send("\t", 500); // wraps to the first entry
    EXPECT_EQ(sim.send("***", 200), std::string("\0\0", 2));
    // Only three stars in a row are the probe.
    EXPECT_EQ(sim.send("**x*", 200), "");
    EXPECT_EQ(sim.controller.mode(), Mode::Menu);
    // Nothing the menu prints on its own holds the bytes 0..2 that a probe could mistake.
    std::string tab = sim.send("\t", 10);
    EXPECT_EQ(tab.find_first_of(std::string("\0\1\2", 3)), std::string::npos);
}

TEST(ControllerConsole, BannerVersionAndPromptMatchWhatTheLinkReads)
{
    SimHarness sim;
    std::string banner = sim.send("\r", 2000);
    ASSERT_EQ(sim.controller.mode(), Mode::Console);
    EXPECT_GE(banner.size(), 90u);
    EXPECT_LE(banner.size(), 256u) << "the link reads the banner in one 256-byte read";
    std::string version = between(banner, '[', ']');
    EXPECT_GE(version.size(), 10u);
    EXPECT_LE(version.size(), 120u);
    EXPECT_EQ(version, sim.controller.firmwareVersion());

    // The probe: "***" is echoed (not a menu answer), then "\r" answers with '[' fourth —
    // also when the line still holds the stars or other junk.
    std::string stars = sim.send("***", 200);
    EXPECT_NE(stars.back(), '\0');
    for (const char* before : {"", "***", "garbage"}) {
        sim.send(before, 10);
        std::string reply = sim.send("\r", 200);
        ASSERT_GE(reply.size(), 4u) << before;
        EXPECT_EQ(reply[0], '\r') << before;
        EXPECT_EQ(reply[3], '[') << before << ": " << reply;
    }
    sim.send("\rexit\ry", 200);
    EXPECT_EQ(sim.controller.mode(), Mode::Menu);
    EXPECT_EQ(sim.send("***", 200), std::string("\0\0", 2));
}

TEST(ControllerBootLoader, HashBlockFromMenuGivesBannerEndingInHashes)
{
    SimHarness sim;
    std::string reply = sim.send(std::string(50, '#'), 200);
    EXPECT_EQ(sim.controller.mode(), Mode::BootLoader);
    EXPECT_GE(reply.size(), 37u);
    EXPECT_LE(reply.size(), 256u);
    EXPECT_EQ(reply.back(), '#');
    std::string version = between(reply, '(', ')');
    EXPECT_GE(version.size(), 10u);
    EXPECT_LE(version.size(), 120u);
    // Nine '#' are typing, not the wake-up block.
    SimHarness other;
    other.send(std::string(9, '#') + "x" + std::string(9, '#'), 200);
    EXPECT_EQ(other.controller.mode(), Mode::Menu);

    // The boot loader's probe rows are checked against kz7sim with the PC's own probe.
    sim.send("\rgo\r", 200);
    EXPECT_EQ(sim.controller.mode(), Mode::Menu);
}

TEST(ControllerBootLoader, LoadThenUploadReturnsTheSameBytes)
{
    SimHarness sim;
    toBootLoader(sim);
    std::string program = image(141, 3);
    std::string reply = download(sim, 0xA000, program);
    EXPECT_EQ(reply.substr(0, 7), "Success") << reply;
    EXPECT_TRUE(sim.take().empty());
    EXPECT_TRUE(sim.controller.takeMemoryChanged());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(sim.memory.data() + 0xA000), program.size()),
              program);

    reply = sim.send("\rup a000 8d\r", 200);
    EXPECT_TRUE(endsWith(reply, "ready...")) << reply;
    EXPECT_EQ(sim.send("", 2000), "") << "nothing before START is pressed";
    ASSERT_TRUE(sim.control("press START"));
    EXPECT_EQ(sim.take(), program);
    EXPECT_EQ(sim.controller.mode(), Mode::BootLoader);
    // MODE leaves the boot loader for the menu, as after a motion backup.
    ASSERT_TRUE(sim.control("press MODE"));
    EXPECT_EQ(sim.controller.mode(), Mode::Menu);
}

TEST(ControllerBootLoader, RefusesAWrongChecksumAndWritesNothing)
{
    SimHarness sim;
    toBootLoader(sim);
    std::vector<uint8_t> before(sim.memory.data() + 0xA000, sim.memory.data() + 0xA000 + 100);
    sim.send("\rld a000\r", 200);
    std::string payload = image(99, 1);
    sim.send(payload + static_cast<char>(sum(payload) + 1), 1);
    std::string reply = sim.send("", 300);
    EXPECT_NE(reply.substr(0, 7), "Success");
    EXPECT_NE(reply.find("Fail"), std::string::npos) << reply;
    EXPECT_FALSE(sim.controller.takeMemoryChanged());
    EXPECT_TRUE(std::equal(before.begin(), before.end(), sim.memory.data() + 0xA000));
    // The loader takes the next command normally afterwards.
    EXPECT_TRUE(endsWith(sim.send("\rld e000\r", 200), "Ready.."));
}

TEST(ControllerBootLoader, RefusesRangesOutsideMemory)
{
    SimHarness sim;
    toBootLoader(sim);
    EXPECT_FALSE(endsWith(sim.send("\rup e000 10001\r", 200), "ready..."));
    EXPECT_FALSE(endsWith(sim.send("\rup 1e000 1\r", 200), "ready..."));
    EXPECT_TRUE(endsWith(sim.send("\rup e000 10000\r", 200), "ready..."));
    sim.send("\x1b", 10); // cancels the waiting upload
    EXPECT_FALSE(endsWith(sim.send("\rld 1e000\r", 200), "Ready.."));
    // An image that runs past the end is refused as a whole.
    sim.send("\rld 1dfff\r", 200);
    std::string payload = image(10, 2);
    sim.send(payload + sum(payload), 1);
    EXPECT_NE(sim.send("", 300).find("Fail"), std::string::npos);
    EXPECT_FALSE(sim.controller.takeMemoryChanged());
}

TEST(ControllerPower, CatchesTheBootLoaderRightAfterPowerOn)
{
    SimHarness sim(false);
    EXPECT_EQ(sim.controller.mode(), Mode::Off);
    EXPECT_EQ(sim.send("***\r", 300), "") << "a switched-off controller says nothing";
    ASSERT_TRUE(sim.control("power on"));
    std::string first = sim.take();
    EXPECT_FALSE(first.empty());
    std::string reply = sim.send(std::string(70, '#'), 200);
    EXPECT_EQ(sim.controller.mode(), Mode::BootLoader);
    EXPECT_GE(reply.size(), 37u);
    EXPECT_EQ(reply.back(), '#');
}

TEST(ControllerPower, BootsIntoTheMenuWhenNoHashesCome)
{
    SimHarness sim(false);
    sim.control("power on");
    sim.take();
    sim.wait(sim::Controller::kPowerOnWindowMs + 10);
    EXPECT_EQ(sim.controller.mode(), Mode::Menu);
    sim.take();
    EXPECT_EQ(sim.send(std::string(70, '#').substr(0, 5) + "***", 200), std::string("\0\0", 2));
    // Without firmware it stays silent until the next power-on catches the boot loader.
    sim.memory.eraseFirmware();
    sim.control("power off");
    sim.control("power on");
    sim.take();
    sim.wait(sim::Controller::kPowerOnWindowMs + 10);
    EXPECT_EQ(sim.controller.mode(), Mode::Halted);
    EXPECT_EQ(sim.send("***\r", 400), "");
    sim.control("power on");
    sim.take();
    sim.send(std::string(70, '#'), 200);
    EXPECT_EQ(sim.controller.mode(), Mode::BootLoader);
    EXPECT_NE(sim.send("\rapp\r", 200).find("no firmware"), std::string::npos);
}

TEST(ControllerRunning, IsQuietUntilItsLineAndLeavesOnlyOnABurst)
{
    SimHarness sim;
    sim.send("\t\t", 1000);
    std::string started = sim.send("\r", 10);
    ASSERT_EQ(sim.controller.mode(), Mode::Running);
    EXPECT_FALSE(started.empty());
    // The probe inside the first second: no answer to "***" or "\r".
    EXPECT_EQ(sim.send("***", 200), "");
    EXPECT_EQ(sim.send("\r", 200), "");
    // Later it prints now and then; such a line is never mistaken for another mode.
    std::string line = sim.send("", 1000);
    ASSERT_GE(line.size(), 3u);
    EXPECT_NE(line[0], '\r');
    EXPECT_NE(line[0], '\x02');
    EXPECT_EQ(line.find_first_of(std::string("\0\1\2", 3)), std::string::npos);
    // "\rexit\ry", "\rgo\r" and a short burst do not stop it.
    sim.send("\rexit\ry\rgo\r" + std::string(254, 'U') + "x", 10);
    EXPECT_EQ(sim.controller.mode(), Mode::Running);
    sim.send(std::string(30 * 255, 'U'), 200);
    EXPECT_EQ(sim.controller.mode(), Mode::Menu);
    sim.take();
    EXPECT_EQ(sim.send("***", 200), std::string("\2\2", 2));
}

TEST(ControllerConsole, ServoUpdateReportEndsWithAngleBracketOnlyWithAnImage)
{
    SimHarness sim;
    sim.send("\r", 2000);
    std::string refused = sim.send("update 0 30\r", 6000);
    EXPECT_EQ(refused.find('<'), std::string::npos) << refused;

    sim.send("exit\r", 200);
    toBootLoader(sim);
    ASSERT_EQ(download(sim, 0xC000, image(2000, 4)).substr(0, 7), "Success");
    sim.send("\rapp\r", 200);
    sim.send("\r", 2000);
    ASSERT_EQ(sim.controller.mode(), Mode::Console);

    std::string early = sim.send("update 0 30\r", 200);
    EXPECT_EQ(early.find('<'), std::string::npos) << "the report takes a realistic time";
    std::string rest = sim.send("", 4000);
    std::string report = early + rest;
    ASSERT_NE(report.find('<'), std::string::npos) << report;
    for (int id = 1; id <= 18; ++id)
        EXPECT_NE(report.find("ID " + std::to_string(id) + " "), std::string::npos) << id;
    EXPECT_EQ(report.find("ID 19 "), std::string::npos);
    // Sensor modules take it with the other range.
    std::string sensors = sim.send("update 100 109\r", 4000);
    EXPECT_NE(sensors.find('<'), std::string::npos);
}

TEST(ControllerFaults, DropGarbleStallSilentAndVanishShapeWhatIsSent)
{
    SimHarness sim;
    ASSERT_TRUE(sim.control("drop 1"));
    EXPECT_EQ(sim.send("***", 10), std::string("\0", 1));
    EXPECT_EQ(sim.send("***", 10), std::string("\0\0", 2));
    ASSERT_TRUE(sim.control("garble 1"));
    std::string garbled = sim.send("***", 10);
    ASSERT_EQ(garbled.size(), 2u);
    EXPECT_NE(garbled[0], '\0');
    EXPECT_EQ(garbled[1], '\0');

    ASSERT_TRUE(sim.control("stall 500"));
    EXPECT_EQ(sim.send("***", 400), "") << "stalled: neither answering nor reading";
    EXPECT_EQ(sim.send("", 200), std::string("\0\0", 2)) << "the held bytes are served after the stall";

    ASSERT_TRUE(sim.control("silent"));
    EXPECT_EQ(sim.send("***", 200), "");
    EXPECT_EQ(sim.send("\t***", 200), "");
    sim.control("press MODE");
    EXPECT_EQ(sim.send("***", 200), "") << "silent until the power is cycled";
    sim.control("power on");
    sim.wait(sim::Controller::kPowerOnWindowMs + 10);
    sim.take();
    EXPECT_EQ(sim.send("***", 200), std::string("\0\0", 2));

    ASSERT_TRUE(sim.control("vanish 3"));
    EXPECT_EQ(sim.send("\r", 2000).size(), 3u);
    EXPECT_TRUE(sim.controller.vanished());
    EXPECT_EQ(sim.send("\r", 200), "");
}

TEST(ControllerFaults, UnknownOrMalformedControlCommandsChangeNothing)
{
    SimHarness sim;
    std::string error;
    for (const char* bad : {"", "fly", "power", "power maybe", "press", "press RESET", "drop", "drop -1",
                            "drop x", "stall 1 2", "silent now", "vanish"}) {
        error.clear();
        EXPECT_FALSE(sim.controller.control(bad, &error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    EXPECT_EQ(sim.send("***", 200), std::string("\0\0", 2));
    EXPECT_TRUE(sim.control("PRESS start"));
    EXPECT_EQ(sim.controller.mode(), Mode::Console);
}

TEST(ControllerMemoryFile, KeepsMemoryAcrossRunsAndRefusesForeignFiles)
{
    std::string dir = ::testing::TempDir();
    std::string path = dir + "/kz7sim-memory-test.bin";
    std::remove(path.c_str());
    sim::ControllerMemory memory;
    ASSERT_TRUE(memory.load(path)) << "a missing file starts fresh";
    EXPECT_TRUE(memory.firmwarePresent());
    EXPECT_FALSE(memory.servoImagePresent());
    EXPECT_EQ(memory.programSize(), 0u);
    const uint8_t bytes[] = {1, 2, 3};
    ASSERT_TRUE(memory.write(0xA000, bytes, 3));
    EXPECT_FALSE(memory.write(sim::ControllerMemory::kSize - 2, bytes, 3));
    ASSERT_TRUE(memory.save(path));
    sim::ControllerMemory again;
    ASSERT_TRUE(again.load(path));
    EXPECT_EQ(again.programSize(), 3u);
    EXPECT_TRUE(std::equal(memory.data(), memory.data() + memory.size(), again.data()));

    FILE* f = std::fopen(path.c_str(), "wb");
    std::fputs("short", f);
    std::fclose(f);
    std::string error;
    EXPECT_FALSE(again.load(path, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(again.programSize(), 3u) << "a refused file leaves memory as it was";
    std::remove(path.c_str());
}

TEST(ControllerJoints, IdListsAndPresentButUnknownJoints)
{
    sim::JointTable table;
    ASSERT_TRUE(table.setPresent("1-3,7,30"));
    for (int id = 0; id < sim::kJointRows; ++id)
        EXPECT_EQ(table.present[id], id == 1 || id == 2 || id == 3 || id == 7 || id == 30) << id;
    ASSERT_TRUE(table.setUnknown("2,12"));
    EXPECT_TRUE(table.present[12]);
    EXPECT_FALSE(table.known(2));
    EXPECT_TRUE(table.known(3));
    for (const char* bad : {"", "31", "3-1", "1,,2", "a", "1-", "5x"}) {
        std::string error;
        EXPECT_FALSE(table.setPresent(bad, &error)) << bad;
        EXPECT_FALSE(error.empty());
    }
    EXPECT_TRUE(table.present[30]) << "a refused list leaves the table as it was";
}
