// Boot-loader transfers against a scripted controller: chunking and progress, the replies that
// are refused, chatter during an image, retries, the version re-read after new firmware, and
// uploads with their idle limits.

#include "FakeBench.h"
#include "link/ControllerLink.h"

#include <gtest/gtest.h>

#include <chrono>
#include <numeric>

using comm::ControllerLink;
using comm::ControllerMode;
using comm::modeValue;
using linktest::FakeController;
using linktest::FakeMode;
using linktest::FakeScript;

namespace {

using Bench = linktest::FakeBench;
using linktest::fakeTiming;

std::vector<uint8_t> imageWithChecksum(size_t dataBytes, uint8_t seed = 1)
{
    std::vector<uint8_t> image(dataBytes);
    for (size_t i = 0; i < dataBytes; ++i)
        image[i] = static_cast<uint8_t>(seed + i * 13);
    image.push_back(static_cast<uint8_t>(std::accumulate(image.begin(), image.end(), 0u)));
    return image;
}

int loads(FakeController& fake)
{
    int n = 0;
    for (const auto& c : fake.commands())
        n += c.rfind("ld ", 0) == 0;
    return n;
}

} // namespace

TEST(ControllerLinkDownload, SendsSeventyByteChunksWithTruncatedProgress)
{
    FakeScript script;
    script.imageLength = 141;
    Bench bench(script);
    ASSERT_TRUE(bench.open());
    std::vector<std::pair<size_t, int>> chunks;
    bench.link.setChunkObserver([&](size_t n, int p) { chunks.emplace_back(n, p); });
    auto image = imageWithChecksum(140);

    ASSERT_TRUE(bench.link.download(0xA000, image, false));
    EXPECT_EQ(chunks, (std::vector<std::pair<size_t, int>>{{70, 49}, {70, 99}, {1, 100}}));
    EXPECT_EQ(bench.link.progress(), 100);
    ASSERT_EQ(bench.fake.images().size(), 1u);
    EXPECT_EQ(bench.fake.images()[0], image);
    auto commands = bench.fake.commands();
    EXPECT_NE(std::find(commands.begin(), commands.end(), "ld a000"), commands.end());
    EXPECT_NE(std::find(commands.begin(), commands.end(), "app"), commands.end());
    EXPECT_TRUE(bench.fake.waitMode(FakeMode::Menu));
    EXPECT_EQ(bench.link.mode(), modeValue(ControllerMode::Menu));
}

TEST(ControllerLinkDownload, RefusesAReplyThatDoesNotEndWithReady)
{
    FakeScript script;
    script.readyReply = "\r\nReady..X";
    script.readyEntersReceive = false;
    Bench bench(script);
    ASSERT_TRUE(bench.open());
    EXPECT_FALSE(bench.link.download(0xA000, imageWithChecksum(140), true));
    // A refused start sends no image byte, and retries (asked for) do not re-enter the boot loader.
    EXPECT_EQ(loads(bench.fake), 4);
    EXPECT_TRUE(bench.fake.images().empty());
    EXPECT_EQ(bench.link.mode(), modeValue(ControllerMode::Menu));
    EXPECT_EQ(bench.link.progress(), 0);
}

TEST(ControllerLinkDownload, FailsAnAttemptWhenTheControllerSpeaksDuringTheImage)
{
    FakeScript script;
    script.complainAfterImageBytes = 100;
    Bench bench(script);
    ASSERT_TRUE(bench.open());
    // Far more than the line buffers hold, so the complaint is back while chunks still go out.
    EXPECT_FALSE(bench.link.download(0xA000, imageWithChecksum(300000), false));
    EXPECT_EQ(loads(bench.fake), 1) << "no retry for the behaviour program";
    EXPECT_LT(bench.link.progress(), 100);
    EXPECT_TRUE(bench.fake.waitMode(FakeMode::Menu));
}

TEST(ControllerLinkDownload, RetriesOnlyWhenAskedAndOnlyThreeTimes)
{
    struct Case {
        const char* name;
        int refused;
        bool retry;
        bool ok;
    } cases[] = {
        {"three refusals, retries asked", 3, true, true},
        {"four refusals, retries asked", 4, true, false},
        {"one refusal, no retries", 1, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeScript script;
        script.refuseLoads = c.refused;
        script.imageLength = 701;
        Bench bench(script);
        ASSERT_TRUE(bench.open());
        EXPECT_EQ(bench.link.download(0xC000, imageWithChecksum(700), c.retry), c.ok);
        EXPECT_EQ(loads(bench.fake), c.retry ? 4 : 1);
        EXPECT_EQ(bench.fake.images().size(), c.ok ? 1u : 0u);
        EXPECT_TRUE(bench.fake.waitMode(FakeMode::Menu)) << "a download, failed or not, returns to the menu";
    }
}

TEST(ControllerLinkDownload, RefusesAFinalReplyWithoutSuccessAndAnEmptyImage)
{
    FakeScript script;
    script.successReply = "Failure\r\n";
    script.imageLength = 11;
    Bench bench(script);
    ASSERT_TRUE(bench.open());
    EXPECT_FALSE(bench.link.download(0xA000, imageWithChecksum(10), false));
    auto commands = bench.fake.commands();
    EXPECT_EQ(std::find(commands.begin(), commands.end(), "app"), commands.end());

    bench.fake.clearReceived();
    EXPECT_FALSE(bench.link.download(0xA000, nullptr, 0, false));
    EXPECT_FALSE(bench.link.download(0xA000, std::vector<uint8_t>{}, true));
    EXPECT_EQ(bench.fake.received(), "") << "an empty image is refused before any byte goes out";
}

TEST(ControllerLinkDownload, ReadsTheFirmwareVersionAgainAfterNewFirmware)
{
    FakeScript script;
    script.imageLength = 71;
    Bench bench(script);
    ASSERT_TRUE(bench.open());
    ASSERT_EQ(bench.link.firmwareVersionText(), "KZ-7 firmware 2.10");

    bench.fake.setConsoleBanner(std::string("\r\n[KZ-7 firmware 3.00]\r\n") + std::string(90, '-'));
    ASSERT_TRUE(bench.link.download(0, imageWithChecksum(70), true));
    EXPECT_STREQ(bench.link.firmwareVersion(), "KZ-7 firmware 3.00");
    EXPECT_TRUE(bench.fake.waitMode(FakeMode::Menu));

    // New firmware whose banner cannot be read must not go on showing the old version.
    bench.fake.setConsoleBanner("[garbled]");
    ASSERT_TRUE(bench.link.download(0, imageWithChecksum(70), true));
    EXPECT_STREQ(bench.link.firmwareVersion(), ControllerLink::kUnknownVersion);

    // Other addresses leave the version alone.
    bench.fake.setConsoleBanner(std::string("\r\n[KZ-7 firmware 4.00]\r\n") + std::string(90, '-'));
    bench.link.firmwareVersionText();
    bench.fake.clearReceived();
    ASSERT_TRUE(bench.link.download(0xA000, imageWithChecksum(70), false))
        << ::testing::PrintToString(bench.fake.received());
    EXPECT_STREQ(bench.link.firmwareVersion(), "KZ-7 firmware 4.00");
    EXPECT_EQ(bench.fake.received().find("\rexit\ry"), std::string::npos) << "no console visit";
}

TEST(ControllerLinkUpload, RequestsAndReceivesAMemoryRange)
{
    FakeScript script;
    for (int i = 0; i < 300; ++i)
        script.memory.push_back(static_cast<uint8_t>(i * 31 + 7));
    Bench bench(script);
    ASSERT_TRUE(bench.open());
    ASSERT_TRUE(bench.link.requestUpload(0xE000, 5000));
    auto commands = bench.fake.commands();
    EXPECT_NE(std::find(commands.begin(), commands.end(), "up e000 1388"), commands.end());
    bench.fake.pressStart();
    std::vector<uint8_t> got;
    ASSERT_TRUE(bench.link.receive(got, 5000));
    ASSERT_EQ(got.size(), 5000u);
    for (size_t i = 0; i < got.size(); ++i)
        ASSERT_EQ(got[i], script.memory[i % 300]) << i;
    EXPECT_EQ(bench.link.progress(), 100);
    EXPECT_EQ(bench.fake.mode(), FakeMode::BootLoader) << "a finished upload stays in the boot loader";

    ASSERT_TRUE(bench.link.receive(got, 0)) << "nothing to wait for";
}

TEST(ControllerLinkUpload, RefusesAReplyThatDoesNotEndWithReady)
{
    FakeScript script;
    script.uploadReply = "\r\nready...\r";
    Bench bench(script);
    ASSERT_TRUE(bench.open());
    EXPECT_FALSE(bench.link.requestUpload(0xE000, 0x10000));
}

TEST(ControllerLinkUpload, GivesUpOnAControllerThatStopsOrNeverStarts)
{
    {
        FakeScript script;
        script.stopUploadAfter = 1000;
        Bench bench(script);
        ASSERT_TRUE(bench.open());
        ASSERT_TRUE(bench.link.requestUpload(0xE000, 4000));
        bench.fake.pressStart();
        const int64_t start = bench.fake.clock().nowMs();
        std::vector<uint8_t> got;
        EXPECT_FALSE(bench.link.receive(got, 4000));
        // 200 idle polls of 5 ms after the data stopped (plus the reads themselves).
        EXPECT_GE(bench.fake.clock().nowMs() - start, 1000);
        EXPECT_TRUE(got.empty());
        EXPECT_TRUE(bench.fake.waitMode(FakeMode::Menu)) << "a failed upload returns to the menu";
        EXPECT_GT(bench.link.progress(), 0);
        EXPECT_LT(bench.link.progress(), 100);
    }
    {
        FakeScript script;
        script.silentAfterUpload = true;
        Bench bench(script);
        comm::LinkTiming timing = bench.link.timing();
        timing.receiveIdleBeforeData = 300;
        bench.link.setTiming(timing);
        ASSERT_TRUE(bench.open());
        ASSERT_TRUE(bench.link.requestUpload(0xE000, 4000));
        const int64_t start = bench.fake.clock().nowMs();
        std::vector<uint8_t> got;
        EXPECT_FALSE(bench.link.receive(got, 4000));
        EXPECT_GE(bench.fake.clock().nowMs() - start, 1500); // 300 x 5 ms
        EXPECT_TRUE(bench.fake.waitMode(FakeMode::Menu));
        EXPECT_EQ(bench.link.progress(), 0);
    }
}
