// SerialPort against a running kz7sim on a pseudo-terminal: the probe rows the PC relies on,
// exclusive opening, non-blocking reads, the bounded write, port enumeration through the port
// folder, and the reader thread.

#include "SerialTestUtil.h"
#include "support/Kz7SimProcess.h"

#include "platform/PortMap.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <mutex>

using namespace serialtest;
using testsupport::Kz7SimProcess;

namespace {

// Every test gets a private port folder, so links never touch the user's.
class SimPort : public ::testing::Test {
  protected:
    void SetUp() override
    {
        folder_ = std::filesystem::path(::testing::TempDir()) /
                  ("ports-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder_);
        ::setenv("TESSABAN_PORTS", folder_.c_str(), 1);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    void startAndOpen(Kz7SimProcess& sim, platform::SerialPort& port, const std::vector<std::string>& options)
    {
        ASSERT_TRUE(sim.start(options)) << sim.error();
        ASSERT_TRUE(port.open(sim.devicePath(), 57600)) << port.lastErrorText();
    }

    std::filesystem::path folder_;
};

} // namespace

TEST_F(SimPort, ProbeFindsEveryModeTheControllerCanBeIn)
{
    struct Row {
        const char* mode;
        int expected;
    };
    for (Row row : {Row{"menu", Menu}, Row{"console", Console}, Row{"screen", Screen},
                    Row{"running", Running}, Row{"bootloader", BootLoader}}) {
        Kz7SimProcess sim;
        platform::SerialPort port;
        startAndOpen(sim, port, {"--mode", row.mode});
        if (row.expected == Screen)
            readUntilQuiet(port, 200); // let the first full repaint pass
        ProbeResult r = probe(port);
        EXPECT_EQ(r.mode, row.expected)
            << row.mode << ": stars " << r.starsReply.size() << " bytes, cr '" << r.crReply << "'";
        if (row.expected == Menu) {
            EXPECT_EQ(r.menuEntry, 0);
        }
        // A second probe in the same mode agrees (the first left nothing behind).
        EXPECT_EQ(probe(port).mode, row.expected) << row.mode;
    }
}

TEST_F(SimPort, ReplyOfOneOrTwoBytesIsUnknown)
{
    Kz7SimProcess sim;
    platform::SerialPort port;
    startAndOpen(sim, port, {"--mode", "bootloader"});
    ProbeResult clean = probe(port);
    ASSERT_EQ(clean.mode, BootLoader);
    // Lose all but the last two bytes of the next probe's replies.
    size_t total = clean.starsReply.size() + clean.crReply.size();
    ASSERT_GT(total, 2u);
    ASSERT_TRUE(sim.control("drop " + std::to_string(total - 2)));
    ProbeResult damaged = probe(port);
    EXPECT_EQ(damaged.crReply.size(), 2u);
    EXPECT_EQ(damaged.mode, Unknown);
}

TEST_F(SimPort, SecondOpenOfTheSamePortFailsUntilTheFirstCloses)
{
    Kz7SimProcess sim;
    platform::SerialPort first;
    startAndOpen(sim, first, {});
    platform::SerialPort second;
    EXPECT_FALSE(second.open(sim.devicePath(), 57600));
    EXPECT_FALSE(second.isOpen());
    EXPECT_TRUE(first.isOpen());
    first.close();
    ASSERT_TRUE(second.open(sim.devicePath(), 57600)) << second.lastErrorText();
    EXPECT_EQ(probe(second).mode, Menu);
}

TEST_F(SimPort, ReadWithNothingQueuedReturnsAtOnce)
{
    Kz7SimProcess sim;
    platform::SerialPort port;
    startAndOpen(sim, port, {});
    char buffer[64];
    size_t got = 99;
    auto start = Clock::now();
    EXPECT_TRUE(port.read(buffer, sizeof buffer, &got));
    EXPECT_EQ(got, 0u);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(50));
    EXPECT_EQ(port.bytesWaiting(), 0);
}

TEST_F(SimPort, WriteIntoAPeerThatNeverReadsFailsAfterAboutOneSecond)
{
    Kz7SimProcess sim;
    platform::SerialPort port;
    startAndOpen(sim, port, {});
    ASSERT_TRUE(sim.control("stall 5000"));
    sleepMs(50); // the stall holds the line before the write starts
    std::string block(256, 'x');
    auto start = Clock::now();
    bool ok = port.write(block.data(), block.size());
    auto elapsed = Clock::now() - start;
    EXPECT_FALSE(ok);
    EXPECT_GE(elapsed, std::chrono::milliseconds(900));
    EXPECT_LT(elapsed, std::chrono::milliseconds(2000));
}

TEST_F(SimPort, EnumerationListsLinkedPortsInNumberOrder)
{
    Kz7SimProcess com10, com3, com1;
    ASSERT_TRUE(com10.start({"--com", "10"})) << com10.error();
    ASSERT_TRUE(com3.start({"--com", "3"})) << com3.error();
    ASSERT_TRUE(com1.start({"--com", "1"})) << com1.error();
    EXPECT_EQ(platform::devicePathForPort("COM3"), com3.devicePath());

    std::vector<std::string> names = platform::SerialPort::enumeratePorts(255);
    auto at = [&](const std::string& name) {
        return std::find(names.begin(), names.end(), name) - names.begin();
    };
    // Real /dev/ttyS* ports may add names; ours must be there, in number order.
    ASSERT_LT(at("COM1"), static_cast<long>(names.size()));
    ASSERT_LT(at("COM3"), static_cast<long>(names.size()));
    ASSERT_LT(at("COM10"), static_cast<long>(names.size()));
    EXPECT_LT(at("COM1"), at("COM3"));
    EXPECT_LT(at("COM3"), at("COM10"));

    // Opening by COM name reaches the simulator behind it.
    platform::SerialPort port;
    ASSERT_TRUE(port.open("COM10", 57600)) << port.lastErrorText();
    EXPECT_EQ(probe(port).mode, Menu);
    // A held port is listed all the same (listing opens nothing), and stays held and answering.
    names = platform::SerialPort::enumeratePorts(255);
    EXPECT_NE(std::find(names.begin(), names.end(), "COM10"), names.end());
    EXPECT_EQ(probe(port).mode, Menu);
    port.close();

    // The links go with their simulators.
    EXPECT_TRUE(com10.stop());
    EXPECT_FALSE(std::filesystem::is_symlink(folder_ / "COM10"));
    EXPECT_TRUE(std::filesystem::is_symlink(folder_ / "COM3"));
}

TEST_F(SimPort, ReaderThreadNotifiesWhileTheOwnerPolls)
{
    Kz7SimProcess sim;
    ASSERT_TRUE(sim.start({})) << sim.error();
    std::atomic<int> notified{0};
    platform::SerialPort port;
    ASSERT_TRUE(port.open(sim.devicePath(), 57600, [&] { notified.fetch_add(1); }));
    // Console banner, then a screenful, while the reader thread watches.
    ASSERT_TRUE(port.write("\r"));
    std::string banner = readUntilQuiet(port, 200);
    EXPECT_NE(banner.find("KZ-7"), std::string::npos);
    port.write("\rexit\ry");
    sleepMs(200);
    port.write("\t\r");
    std::string screen = readUntilQuiet(port, 300);
    EXPECT_GT(screen.size(), 2000u);
    EXPECT_GT(notified.load(), 0);
    port.close();
}

TEST_F(SimPort, VanishedControllerMakesReadsFail)
{
    Kz7SimProcess sim;
    platform::SerialPort port;
    startAndOpen(sim, port, {"--mode", "console"});
    ASSERT_TRUE(sim.control("vanish 4"));
    port.write("ver\r");
    std::string got;
    bool failed = false;
    auto start = Clock::now();
    while (Clock::now() - start < std::chrono::seconds(3)) {
        char buffer[64];
        size_t n = 0;
        if (!port.read(buffer, sizeof buffer, &n)) {
            failed = true;
            break;
        }
        got.append(buffer, n);
        sleepMs(5);
    }
    EXPECT_TRUE(failed);
    EXPECT_EQ(got, "ver\r");
    EXPECT_TRUE(sim.stop()) << "the simulator still ends cleanly";
}
