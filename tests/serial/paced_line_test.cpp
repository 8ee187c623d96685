// kz7sim with --pace: the simulated line never answers before a real line could have carried
// the bytes, and does not lag far behind one either. Only these bounds are checked here; the
// figure itself is measured by bench/link/motion_restore_pace.sh.

#include "SerialTestUtil.h"
#include "support/Kz7SimProcess.h"

#include <gtest/gtest.h>

using namespace serialtest;
using testsupport::Kz7SimProcess;

namespace {

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

TEST(PacedLine, PacedBootLoaderTakesTheLineTime)
{
    const int baud = 57600;
    Kz7SimProcess sim;
    ASSERT_TRUE(sim.start({"--pace", std::to_string(baud), "--mode", "bootloader"})) << sim.error();
    platform::SerialPort port;
    ASSERT_TRUE(port.open(sim.devicePath(), baud));
    std::string data = pattern(65536, 11);
    std::string wire = data + checksum(data);
    ASSERT_EQ(wire.size(), 65537u);

    port.purgeInput();
    ASSERT_TRUE(port.write("\rld e000\r"));
    ASSERT_TRUE(endsWith(readReply(port), "Ready.."));
    // The PC's writes are taken as fast as it makes them (as an adapter's queue takes them);
    // the line time shows in when the controller has the whole image and answers.
    const auto start = Clock::now();
    for (size_t i = 0; i < wire.size(); i += 70) {
        std::string chunk = wire.substr(i, 70);
        ASSERT_TRUE(port.write(chunk.data(), chunk.size())) << "at byte " << i;
    }
    const double lineTime = wire.size() * 10.0 / baud;
    // The boot loader ends an image after 150 ms of quiet; its answer is 30-odd bytes more.
    const double fixedWaits = 0.150 + 40 * 10.0 / baud;
    std::string reply;
    // How close the pacing comes to the line is the fake-clock tests' and the benchmarks' to
    // tell; here only a line that stopped or crawled is a failure.
    const double limit = 3 * lineTime + fixedWaits + 2.0;
    while (reply.size() < 7 && secondsSince(start) < limit) {
        reply += readSome(port);
        sleepMs(2);
    }
    const double seconds = secondsSince(start);
    ASSERT_EQ(reply.substr(0, 7), "Success") << reply;
    EXPECT_GE(seconds, lineTime + 0.150);
    EXPECT_LE(seconds, limit);
}

TEST(PacedLine, PacedUploadSendsNoFasterThanTheLine)
{
    const int baud = 19200;
    Kz7SimProcess sim;
    ASSERT_TRUE(sim.start({"--pace", std::to_string(baud), "--mode", "bootloader"})) << sim.error();
    platform::SerialPort port;
    ASSERT_TRUE(port.open(sim.devicePath(), baud));
    port.purgeInput();
    ASSERT_TRUE(port.write("\rup 0 800\r"));
    ASSERT_TRUE(endsWith(readReply(port), "ready..."));
    const auto start = Clock::now();
    ASSERT_TRUE(sim.control("press START"));
    const double lineTime = 0x800 * 10.0 / baud;
    std::string bytes = readExactly(port, 0x800, 5000);
    const double seconds = secondsSince(start);
    EXPECT_EQ(bytes.size(), 0x800u);
    EXPECT_GE(seconds, lineTime);
    EXPECT_LE(seconds, 3 * lineTime + 2); // only a stopped or crawling line
}
