// The terminal's core against a pseudo-terminal peer: what it sends arrives exactly, captures
// land whole, and a vanishing device ends a transfer instead of hanging it. Listing the ports and
// refusing a second open are the serial port's own, tested with it; the window test shows the
// reason for a failed open.

#include "support/PtyPeer.h"
#include "support/TempFolder.h"

#include "platform/PortMap.h"
#include "termcore/ReceiveCapture.h"
#include "termcore/TransmitJob.h"
#include "termport/TerminalPort.h"

#include <gtest/gtest.h>

using testsupport::PortFolder;
using testsupport::PtyPeer;

#include <filesystem>
#include <fstream>
#include <tuple>

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

TEST_F(Link, RawAndHexFilesArriveExactly)
{
    const std::string raw = pattern(5000);
    uint8_t sum = 0;
    for (char c : raw)
        sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(c));
    const struct {
        const char *name, *file;
        std::string content, expected;
        bool addSum;
    } cases[] = {
        {"raw file with its sum", "data.bin", raw, raw + std::string(1, static_cast<char>(sum)), true},
        {"hex file as its image, gaps filled", "fw.hex",
         ":0400100001020304E2\n:02001800AABB00\n:00000001FF\n",
         std::string("\x01\x02\x03\x04", 4) + std::string(4, '\xFF') + "\xAA\xBB", false},
    };
    peer.startCollecting();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        peer.reset();
        TransmitJob job;
        ASSERT_TRUE(job.open(folder.write(c.file, c.content)));
        std::atomic<bool> addSum{c.addSum};
        ASSERT_TRUE(job.start([&](const uint8_t* d, size_t n) { return port.write(d, n); }, &addSum));
        EXPECT_EQ(job.finish(), TransmitJob::Outcome::Succeeded);
        EXPECT_EQ(peer.waitFor(c.expected.size()), c.expected);
        std::this_thread::sleep_for(std::chrono::milliseconds(50)); // nothing more follows
        EXPECT_EQ(peer.collected(), c.expected);
    }
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

// How a name resolves decides what may be reopened after the device went away.
TEST_F(Link, ResolveTellsLinkedFromDefaultDevices)
{
    EXPECT_EQ(port.device(), peer.slavePath());
    ASSERT_TRUE(platform::linkPort(8, folder.file("no-such-device")));
    struct Case {
        const char* name;
        std::string port;
        termcore::PortResolution expected;
    };
    const Case cases[] = {
        {"live link", "COM7", {peer.slavePath(), true, true}},
        {"lower-case name", "com7", {peer.slavePath(), true, true}},
        {"dangling link", "COM8", {folder.file("no-such-device"), true, false}},
        {"no link: the default device", "COM31", {"/dev/ttyS30", false, fs::exists("/dev/ttyS30")}},
        {"a device path", peer.slavePath(), {peer.slavePath(), false, true}},
        {"no COM name", "LPT1", {"", false, false}},
    };
    for (const Case& c : cases) {
        const auto r = TerminalPort::resolve(c.port);
        EXPECT_EQ(std::tie(r.device, r.linked, r.exists),
                  std::tie(c.expected.device, c.expected.linked, c.expected.exists))
            << c.name;
        EXPECT_EQ(r.linkId != 0, r.linked) << c.name;
    }
    // A link made anew under the same name, to the same device, is told from the old one.
    const auto before = TerminalPort::resolve("COM7");
    ASSERT_TRUE(platform::linkPort(7, peer.slavePath()));
    const auto after = TerminalPort::resolve("COM7");
    EXPECT_EQ(after.device, before.device);
    EXPECT_NE(after.linkId, before.linkId);
    EXPECT_EQ(TerminalPort::resolve("COM7").linkId, after.linkId);
}

} // namespace
