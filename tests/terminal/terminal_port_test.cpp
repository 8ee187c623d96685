// The terminal's core against a pseudo-terminal peer: what it sends arrives exactly, captures
// land whole, and a vanishing device ends a transfer instead of hanging it.

#include "support/PtyPeer.h"
#include "support/TempFolder.h"

#include "platform/PortMap.h"
#include "termcore/ReceiveCapture.h"
#include "termcore/TransmitJob.h"
#include "terminal/TerminalPort.h"

#include <gtest/gtest.h>

using testsupport::PortFolder;
using testsupport::PtyPeer;

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using termcore::TransmitJob;
using terminal::TerminalPort;

namespace {

std::string pattern(size_t n)
{
    std::string s(n, 0);
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>((i * 131 + 17) >> 2);
    return s;
}

struct Link : ::testing::Test {
    PortFolder folder{"wirescope-ports"};
    PtyPeer peer;
    TerminalPort port;
    std::atomic<int> notified{0};
    void SetUp() override
    {
        ASSERT_TRUE(peer.ok());
        ASSERT_TRUE(platform::linkPort(7, peer.slavePath()));
        ASSERT_TRUE(port.open("COM7", 57600, [this] { ++notified; }));
    }
};

TEST_F(Link, RawFileArrivesExactlyWithItsSum)
{
    peer.startCollecting();
    const std::string data = pattern(5000);
    TransmitJob job;
    ASSERT_TRUE(job.open(folder.write("data.bin", data)));
    std::atomic<bool> sum{true};
    ASSERT_TRUE(job.start([&](const uint8_t* d, size_t n) { return port.write(d, n); }, &sum));
    EXPECT_EQ(job.finish(), TransmitJob::Outcome::Succeeded);
    uint8_t s = 0;
    for (char c : data)
        s = static_cast<uint8_t>(s + static_cast<uint8_t>(c));
    EXPECT_EQ(peer.waitFor(5001), data + std::string(1, static_cast<char>(s)));
}

TEST_F(Link, HexFileArrivesAsItsImage)
{
    peer.startCollecting();
    TransmitJob job;
    ASSERT_TRUE(
        job.open(folder.write("fw.hex", ":0400100001020304E2\n:02001800AABB00\n:00000001FF\n")));
    std::atomic<bool> sum{false};
    ASSERT_TRUE(job.start([&](const uint8_t* d, size_t n) { return port.write(d, n); }, &sum));
    EXPECT_EQ(job.finish(), TransmitJob::Outcome::Succeeded);
    const std::string expected = std::string("\x01\x02\x03\x04", 4) + std::string(4, '\xFF') + "\xAA\xBB";
    EXPECT_EQ(peer.waitFor(expected.size()), expected);
    // Nothing more follows.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(peer.collected(), expected);
}

TEST_F(Link, CaptureOfThreeThousandBytesLandsWhole)
{
    const std::string data = pattern(3000);
    termcore::ReceiveCapture capture;
    const std::string path = (folder.path() / "capture.bin").string();
    ASSERT_EQ(capture.create(path, false), termcore::ReceiveCapture::CreateResult::Created);
    ASSERT_TRUE(peer.send(data));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    // The watcher says that bytes are waiting before anyone reads them.
    while (notified.load() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_GT(notified.load(), 0);
    uint8_t block[TerminalPort::kDrainBlock];
    while (capture.receivedBytes() < data.size() && std::chrono::steady_clock::now() < deadline) {
        port.drained();
        const long n = port.read(block, sizeof block);
        ASSERT_GE(n, 0);
        if (n == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        else
            ASSERT_TRUE(capture.captureBlock(block, static_cast<size_t>(n)));
    }
    EXPECT_TRUE(capture.stop());
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), data);
}

TEST_F(Link, VanishingPeerEndsTheTransmissionAndTheReads)
{
    // Nobody reads: the pty fills up, then the device goes away mid-transfer.
    TransmitJob job;
    ASSERT_TRUE(job.open(folder.write("big.bin", pattern(2'000'000))));
    std::atomic<bool> sum{false};
    std::atomic<int> writes{0};
    ASSERT_TRUE(job.start(
        [&](const uint8_t* d, size_t n) {
            ++writes;
            return port.write(d, n);
        },
        &sum));
    while (writes.load() < 5)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    peer.unplug();
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(job.finish(), TransmitJob::Outcome::WriteFailed);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
    EXPECT_LT(job.sentBytes(), 2'000'000u);
    uint8_t buffer[16];
    EXPECT_EQ(port.read(buffer, sizeof buffer), -1);
    port.close();
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.read(buffer, sizeof buffer), -1);
    EXPECT_FALSE(port.write("x", 1));
}

TEST(TerminalPortOpen, SecondOpenOfTheSamePortFailsAndSaysWhy)
{
    PortFolder folder{"wirescope-ports"};
    PtyPeer peer;
    ASSERT_TRUE(peer.ok());
    ASSERT_TRUE(platform::linkPort(4, peer.slavePath()));
    TerminalPort first, second;
    ASSERT_TRUE(first.open("COM4", 115200, {}));
    EXPECT_FALSE(second.open("COM4", 115200, {}));
    EXPECT_FALSE(second.isOpen());
    EXPECT_FALSE(second.lastErrorText().empty());
    first.close();
    EXPECT_TRUE(second.open("COM4", 115200, {}));
}

TEST(TerminalPortEnumerate, PortsComeInNumberOrder)
{
    PortFolder folder{"wirescope-ports"};
    PtyPeer a, b, c;
    ASSERT_TRUE(platform::linkPort(10, a.slavePath()));
    ASSERT_TRUE(platform::linkPort(3, b.slavePath()));
    ASSERT_TRUE(platform::linkPort(1, c.slavePath()));
    std::vector<std::string> listed;
    for (const auto& name : TerminalPort::enumerate(255))
        if (name == "COM1" || name == "COM3" || name == "COM10")
            listed.push_back(name);
    EXPECT_EQ(listed, (std::vector<std::string>{"COM1", "COM3", "COM10"}));
    EXPECT_LE(TerminalPort::enumerate(2).size(), 2u);
}

} // namespace
