// kz7sim with --pace: what the PC sends and receives takes the time a real line would.
// These tests measure time, so they run alone (see CMakeLists.txt).

#include "SerialTestUtil.h"
#include "support/Kz7SimProcess.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace serialtest;
using testsupport::Kz7SimProcess;

TEST(PacedLine, PacedBootLoaderTakesTheLineTime)
{
    const int baud = 57600;
    Kz7SimProcess sim;
    ASSERT_TRUE(sim.start({"--pace", std::to_string(baud), "--mode", "bootloader"})) << sim.error();
    comm::SerialPort port;
    ASSERT_TRUE(port.open(sim.devicePath(), baud));
    std::string data = pattern(65536, 11);
    std::string wire = data + checksum(data);
    ASSERT_EQ(wire.size(), 65537u);

    port.purgeInput();
    ASSERT_TRUE(port.write("\rld e000\r"));
    sleepMs(200);
    ASSERT_TRUE(endsWith(readSome(port), "Ready.."));
    auto start = Clock::now();
    for (size_t i = 0; i < wire.size(); i += 70) {
        std::string chunk = wire.substr(i, 70);
        ASSERT_TRUE(port.write(chunk.data(), chunk.size())) << "at byte " << i;
        ASSERT_EQ(port.bytesWaiting(), 0);
    }
    // A pty takes a burst of bytes ahead of the paced reader, so the last write returns before
    // the line would have carried the last byte; the time that counts is when the controller
    // has taken the whole image and answers.
    auto lastWrite = Clock::now();
    std::string reply;
    while (reply.size() < 7 && Clock::now() - lastWrite < std::chrono::seconds(2)) {
        reply += readSome(port);
        sleepMs(5);
    }
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    double sending = std::chrono::duration<double>(lastWrite - start).count();
    double lineTime = wire.size() * 10.0 / baud;
    ::testing::Test::RecordProperty("seconds", std::to_string(seconds));
    std::printf("65537 bytes at %d baud: chunks written in %.3f s, \"Success\" after %.3f s; line time "
                "%.3f s, ratio %.4f\n",
                baud, sending, seconds, lineTime, seconds / lineTime);
    EXPECT_EQ(reply.substr(0, 7), "Success") << reply;
    EXPECT_GE(seconds, 1.0 * lineTime);
    EXPECT_LE(seconds, 1.1 * lineTime);
}

TEST(PacedLine, PacedUploadSendsNoFasterThanTheLine)
{
    const int baud = 19200;
    Kz7SimProcess sim;
    ASSERT_TRUE(sim.start({"--pace", std::to_string(baud), "--mode", "bootloader"})) << sim.error();
    comm::SerialPort port;
    ASSERT_TRUE(port.open(sim.devicePath(), baud));
    port.purgeInput();
    ASSERT_TRUE(port.write("\rup 0 800\r"));
    sleepMs(200);
    ASSERT_TRUE(endsWith(readSome(port), "ready..."));
    auto start = Clock::now();
    ASSERT_TRUE(sim.control("press START"));
    std::string bytes = readExactly(port, 0x800, 5000);
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    double lineTime = 0x800 * 10.0 / baud;
    EXPECT_EQ(bytes.size(), 0x800u);
    EXPECT_GE(seconds, lineTime);
    EXPECT_LE(seconds, 1.3 * lineTime);
}
