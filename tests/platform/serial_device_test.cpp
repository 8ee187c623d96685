#include "platform/SerialDevice.h"
#include "support/PtyPeer.h"

#include <gtest/gtest.h>

using testsupport::PtyPeer;

#include <cerrno>
#include <chrono>
#include <thread>
#include <vector>

using platform::SerialDevice;
using Clock = std::chrono::steady_clock;

TEST(SerialDevice, OpensPtyRawAndMovesBytesBothWays)
{
    PtyPeer pty;
    ASSERT_TRUE(pty.ok());
    SerialDevice dev;
    ASSERT_TRUE(dev.open(pty.slavePath(), 57600)) << dev.lastErrorText();

    // Raw mode: CR, LF and control bytes pass untouched, nothing is echoed back.
    pty.send(std::string("\r\n\x03\x1b[1;2f\xff", 10));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(dev.bytesWaiting(), 10);
    char buf[64];
    EXPECT_EQ(dev.readSome(buf, sizeof buf), 10);
    EXPECT_EQ(std::string(buf, 10), std::string("\r\n\x03\x1b[1;2f\xff", 10));

    ASSERT_TRUE(dev.writeAll("\rld a000\r", 9));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(pty.receive(), "\rld a000\r");
}

TEST(SerialDevice, ReadWithNothingQueuedReturnsAtOnce)
{
    PtyPeer pty;
    SerialDevice dev;
    ASSERT_TRUE(dev.open(pty.slavePath(), 57600));
    char buf[16];
    auto t0 = Clock::now();
    EXPECT_EQ(dev.readSome(buf, sizeof buf), 0);
    EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(50));
    EXPECT_EQ(dev.bytesWaiting(), 0);
}

TEST(SerialDevice, SecondOpenOfTheSameDeviceFailsBusyEvenForRoot)
{
    PtyPeer pty;
    SerialDevice first, second;
    ASSERT_TRUE(first.open(pty.slavePath(), 57600));
    EXPECT_FALSE(second.open(pty.slavePath(), 57600));
    EXPECT_EQ(second.lastError(), EBUSY);
    EXPECT_FALSE(second.isOpen());
    EXPECT_NE(second.lastErrorText().find("in use"), std::string::npos);
    first.close();
    EXPECT_TRUE(second.open(pty.slavePath(), 57600))
        << "closing must release the lock and the exclusive flag";
}

TEST(SerialDevice, MissingDeviceAndNonTerminalAreRefusedWithAReason)
{
    SerialDevice dev;
    EXPECT_FALSE(dev.open("/nonexistent/ttyS99", 57600));
    EXPECT_EQ(dev.lastError(), ENOENT);
    EXPECT_FALSE(dev.open("/dev/null", 57600));
    EXPECT_EQ(dev.lastError(), ENOTTY);
    EXPECT_FALSE(dev.isOpen());
    EXPECT_NE(platform::describeSerialError(EACCES).find("dialout"), std::string::npos);
}

TEST(SerialDevice, WriteIntoAPeerThatNeverReadsFailsAfterAboutOneSecond)
{
    PtyPeer pty;
    SerialDevice dev;
    ASSERT_TRUE(dev.open(pty.slavePath(), 57600));
    std::vector<char> block(256 * 1024, 'x');
    size_t written = 0;
    auto t0 = Clock::now();
    EXPECT_FALSE(dev.writeAll(block.data(), block.size(), 1000, &written));
    auto took = Clock::now() - t0;
    EXPECT_EQ(dev.lastError(), ETIMEDOUT);
    EXPECT_GT(written, 0u);
    EXPECT_LT(written, block.size());
    EXPECT_GE(took, std::chrono::milliseconds(950));
    EXPECT_LT(took, std::chrono::milliseconds(1500));
}

TEST(SerialDevice, NonStandardRatesAreAccepted)
{
    PtyPeer pty;
    SerialDevice dev;
    for (int rate : {2400, 57600, 125000, 200000, 250000, 400000, 1000000, 2000000}) {
        ASSERT_TRUE(dev.open(pty.slavePath(), rate)) << rate << ": " << dev.lastErrorText();
        EXPECT_TRUE(dev.setBaudRate(rate)) << rate;
    }
}

TEST(SerialDevice, PurgeDropsQueuedInputOnly)
{
    PtyPeer pty;
    SerialDevice dev;
    ASSERT_TRUE(dev.open(pty.slavePath(), 57600));
    pty.send("stale bytes");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(dev.purgeInput());
    EXPECT_EQ(dev.bytesWaiting(), 0);
    char buf[16];
    EXPECT_EQ(dev.readSome(buf, sizeof buf), 0);
    ASSERT_TRUE(dev.writeAll("ok", 2));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(pty.receive(), "ok");
}

TEST(SerialDevice, VanishedPeerIsAFailureNotAnEmptyRead)
{
    PtyPeer pty;
    SerialDevice dev;
    ASSERT_TRUE(dev.open(pty.slavePath(), 57600));
    pty.unplug();
    char buf[16];
    EXPECT_EQ(dev.readSome(buf, sizeof buf), -1);
    EXPECT_EQ(dev.lastError(), EIO);
    EXPECT_FALSE(dev.writeAll("x", 1, 200));
}
