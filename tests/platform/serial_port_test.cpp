// The serial port: its reader thread's notices, ownership of the device, and closing. A vanished
// device reading as a failure is proven below this layer (SerialDevice) and above it, through
// TerminalPort, in the terminal's transfer tests.

#include "platform/SerialPort.h"
#include "support/PtyPeer.h"

#include <gtest/gtest.h>

using testsupport::PtyPeer;

#include <atomic>
#include <chrono>
#include <thread>

using namespace std::chrono_literals;

namespace {
template <typename Pred> bool waitFor(Pred p, std::chrono::milliseconds limit = 2000ms)
{
    auto end = std::chrono::steady_clock::now() + limit;
    while (!p()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}
} // namespace

TEST(SerialPort, ReaderNotifiesOnArrivalAndTheOwnerReads)
{
    PtyPeer pty;
    std::atomic<int> notes{0};
    platform::SerialPort port;
    ASSERT_TRUE(port.open(pty.slavePath(), 57600, [&] { ++notes; }));
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.portName(), pty.slavePath());
    pty.send("hello");
    ASSERT_TRUE(waitFor([&] { return notes.load() > 0; }));
    char buf[16];
    size_t got = 0;
    ASSERT_TRUE(port.read(buf, sizeof buf, &got));
    EXPECT_EQ(std::string(buf, got), "hello");

    int before = notes.load();
    pty.send("again");
    ASSERT_TRUE(waitFor([&] { return notes.load() > before; }));
    port.close();
    EXPECT_FALSE(port.isOpen());
}

TEST(SerialPort, NullCallbackNeverNotifiesAndPollingStillWorks)
{
    PtyPeer pty;
    platform::SerialPort port;
    ASSERT_TRUE(port.open(pty.slavePath(), 57600));
    pty.send("abc");
    ASSERT_TRUE(waitFor([&] { return port.bytesWaiting() == 3; }));
    char buf[8];
    size_t got = 0;
    ASSERT_TRUE(port.read(buf, sizeof buf, &got));
    EXPECT_EQ(got, 3u);
    ASSERT_TRUE(port.read(buf, sizeof buf, &got));
    EXPECT_EQ(got, 0u);
}

TEST(SerialPort, ReopeningWithAnotherNameReleasesTheFirstPort)
{
    PtyPeer a, b;
    platform::SerialPort port, other;
    ASSERT_TRUE(port.open(a.slavePath(), 57600));
    ASSERT_TRUE(port.open(b.slavePath(), 57600));
    EXPECT_EQ(port.portName(), b.slavePath());
    EXPECT_TRUE(other.open(a.slavePath(), 57600)) << "the first port must have been closed";
    EXPECT_FALSE(other.open(b.slavePath(), 57600));
    EXPECT_FALSE(other.isOpen());
}

TEST(SerialPort, FailedOrNoOpenRefusesEverythingAndLeavesTheDeviceFree)
{
    platform::SerialPort port;
    EXPECT_FALSE(port.open("COM999", 57600));
    EXPECT_FALSE(port.open("/nonexistent/tty", 57600));
    PtyPeer pty;
    EXPECT_FALSE(port.open(pty.slavePath(), 0)) << "a zero rate cannot be set";
    EXPECT_FALSE(port.isOpen());
    char buf[4];
    size_t got = 99;
    EXPECT_FALSE(port.read(buf, sizeof buf, &got));
    EXPECT_EQ(got, 0u);
    EXPECT_FALSE(port.write("x", 1));
    EXPECT_FALSE(port.purgeInput());
    EXPECT_EQ(port.bytesWaiting(), 0);
    port.close(); // harmless
    platform::SerialPort other;
    EXPECT_TRUE(other.open(pty.slavePath(), 57600)) << "the failed open must not keep the device locked";
}

TEST(SerialPort, CloseWhileTheReaderIsBusyNotifyingJoinsCleanly)
{
    for (int round = 0; round < 20; ++round) {
        PtyPeer pty;
        std::atomic<int> notes{0};
        platform::SerialPort port;
        ASSERT_TRUE(port.open(pty.slavePath(), 57600, [&] {
            ++notes;
            std::this_thread::sleep_for(1ms);
        }));
        pty.send("xxxxxxxx");
        waitFor([&] { return notes.load() > 0; }, 200ms);
        port.close();
        int after = notes.load();
        std::this_thread::sleep_for(5ms);
        EXPECT_EQ(notes.load(), after) << "no notification after close returned";
    }
}
