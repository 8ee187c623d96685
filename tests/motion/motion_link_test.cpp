// The motion link on a pseudo-terminal against a small scripted controller, for what only exact
// bytes and timings show: the tabs to the page editor, the probe, command pacing, the quiet-period
// assembly, what follows a lost link, and a full ring. Connecting from every mode and the reply
// time-out's texts are proven against the simulator (motion_link_sim_test).

#include "motion/MotionLink.h"
#include "motion/MotionReplies.h"
#include "posewright_texts/PosewrightTexts.h"

#include "motion/FakeController.h"
#include "motion/ScreenBytes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

using namespace motion;
using motiontest::FakeController;
using motiontest::field;
using Clock = std::chrono::steady_clock;

namespace {

// The real clock, noting how long the owner's thread was made to wait (the reader thread's naps
// are its own business).
class WaitRecordingClock : public platform::Clock {
  public:
    int64_t nowUs() override { return platform::systemClock().nowUs(); }
    void sleepUs(int64_t us) override
    {
        if (std::this_thread::get_id() == owner_)
            ownerSleptUs_ += us;
        platform::systemClock().sleepUs(us);
    }
    int64_t takeOwnerSleptMs()
    {
        int64_t ms = ownerSleptUs_.exchange(0) / 1000;
        return ms;
    }

  private:
    std::thread::id owner_ = std::this_thread::get_id();
    std::atomic<int64_t> ownerSleptUs_{0};
};

MotionLink::Timing quickTiming()
{
    MotionLink::Timing t;
    // The fake answers from its own thread as soon as it is scheduled; on a busy machine that may
    // take a while, so the probes wait as long as they do for the controller.
    t.probeWait = 200;
    t.tabWait = 20;
    t.burstPause = 2;
    t.readerSleep = 5;
    return t;
}

class LinkTest : public ::testing::Test {
  protected:
    FakeController peer;
    WaitRecordingClock clock;
    MotionLink link{MotionLink::serialDeviceOpener(), clock, true};
    std::vector<LinkEvent> events;
    std::vector<std::pair<std::string, std::string>> boxes;

    void SetUp() override
    {
        link.setTiming(quickTiming());
        link.setEventHandler([this](const LinkEvent& e) { events.push_back(e); });
        link.setMessageHandler(
            [this](const std::string& c, const std::string& t) { boxes.emplace_back(c, t); });
        peer.setScreenPaint(field(1, 1, " EDIT ") + field(2, 76, "   3") + field(10, 77, "  2") +
                            field(1, 20, " 400"));
    }

    // Waits (bounded) until the reader has put count bytes into the ring.
    bool waitBuffered(size_t count)
    {
        auto until = Clock::now() + std::chrono::seconds(3);
        while (link.bufferedBytes() < count && Clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        std::this_thread::sleep_for(std::chrono::milliseconds(20)); // nothing more straggles in
        return link.bufferedBytes() >= count;
    }
    // The fake answers on its own thread: give it a bounded moment to catch up.
    static bool eventually(const std::function<bool()>& condition)
    {
        auto until = Clock::now() + std::chrono::seconds(2);
        while (!condition() && Clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return condition();
    }
    bool peerIn(FakeController::Mode mode)
    {
        return eventually([&] { return peer.mode() == mode; });
    }
    // Ticks until the ring is drained and decoded (at most 40 ticks).
    int tickUntilDecoded()
    {
        for (int i = 1; i <= 40; ++i) {
            link.tick();
            if (link.bufferedBytes() == 0)
                return i;
        }
        return -1;
    }
};

} // namespace

TEST_F(LinkTest, ConnectsFromEveryMenuEntryWithTheRightNumberOfTabs)
{
    for (int entry : {0, 1, 2}) {
        SCOPED_TRACE(entry);
        peer.setMode(FakeController::Mode::Menu, entry);
        peer.clearLog();
        ASSERT_TRUE(link.connect(peer.path()));
        ASSERT_TRUE(eventually([&] { return peer.received().back() == '\r'; }));
        EXPECT_TRUE(peerIn(FakeController::Mode::Screen));
        std::string sent = peer.received();
        EXPECT_EQ(std::count(sent.begin(), sent.end(), '\t'), (1 - entry + 3) % 3);
        link.disconnect();
        EXPECT_FALSE(link.isOpen());
        EXPECT_TRUE(peerIn(FakeController::Mode::Menu)); // left in the menu
    }
}

TEST_F(LinkTest, ProbeNeedsTwoEqualFinalBytes)
{
    peer.setMode(FakeController::Mode::Menu, 1);
    ASSERT_TRUE(link.connect(peer.path()));
    link.disconnect();
    for (const char* answer : {"\x01\x02", "\x01", "xx\x03\x03"}) {
        peer.setMode(FakeController::Mode::Menu, 1);
        peer.setProbeAnswer(std::string(answer));
        peer.clearLog();
        EXPECT_FALSE(link.connect(peer.path())) << answer;
        EXPECT_FALSE(link.isOpen());
        // every wake-up was tried, and the controller was sent back to its menu at the end
        ASSERT_TRUE(eventually([&] { return peer.received().back() == 'y'; }));
        std::string sent = peer.received();
        EXPECT_NE(sent.find(std::string(255, '\x55')), std::string::npos);
        EXPECT_EQ(sent.substr(sent.size() - 7), "\rexit\ry");
    }
    peer.setProbeAnswer({});
    peer.setProbePrefix("junk");
    peer.setMode(FakeController::Mode::Menu, 2);
    EXPECT_TRUE(link.connect(peer.path())); // only the last two bytes count
}

TEST_F(LinkTest, LongCommandsGoOutIn15BytePiecesWithPauses)
{
    peer.setMode(FakeController::Mode::Menu, 1);
    ASSERT_TRUE(link.connect(peer.path()));
    MotionLink::Timing t = quickTiming();
    t.pieceGap = 60;
    link.setTiming(t);
    ASSERT_TRUE(peerIn(FakeController::Mode::Screen));

    peer.clearLog();
    clock.takeOwnerSleptMs();
    ASSERT_TRUE(link.send(std::string(14, 'a') + "\r"));
    EXPECT_EQ(clock.takeOwnerSleptMs(), 0); // 15 bytes: one write, no pause
    ASSERT_TRUE(eventually([&] { return peer.received().size() == 15; }));

    peer.clearLog();
    auto start = Clock::now();
    ASSERT_TRUE(link.send("on 1 2 3 4 5 6\r\r")); // 16 bytes
    auto took = Clock::now() - start;
    EXPECT_EQ(clock.takeOwnerSleptMs(), 120); // 15 + 1, a pause after each
    EXPECT_GE(took, std::chrono::milliseconds(120));
    ASSERT_TRUE(eventually([&] { return peer.received().size() == 16; }));
    auto reads = peer.reads();
    ASSERT_GE(reads.size(), 2u);
    EXPECT_EQ(reads[0].second.size(), 15u);
    EXPECT_GE(reads[1].first - reads[0].first, std::chrono::milliseconds(50));
    EXPECT_TRUE(link.isWaiting());
    EXPECT_EQ(link.countdown(), MotionLink::kShortWaitTicks);
    link.send("save\r", true);
    EXPECT_EQ(link.countdown(), MotionLink::kLongWaitTicks);
}

TEST_F(LinkTest, RepliesAreDecodedOnlyAfterSevenQuietTicks)
{
    peer.setMode(FakeController::Mode::Menu, 1);
    peer.setCommandReply([](const std::string& cmd) {
        return cmd == "w 3\r" ? field(4, 41, " 777") + field(34, 72, "  3") : std::string();
    });
    ASSERT_TRUE(link.connect(peer.path()));
    ASSERT_TRUE(waitBuffered(1));
    tickUntilDecoded();
    events.clear();

    ASSERT_TRUE(link.send("w 3\r"));
    ASSERT_TRUE(waitBuffered(field(4, 41, " 777").size() + field(34, 72, "  3").size()));
    for (int i = 0; i < 7; ++i) {
        link.tick();
        EXPECT_TRUE(events.empty()) << "tick " << i;
    }
    EXPECT_FALSE(link.isWaiting()); // the bytes ended the wait
    link.tick();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].code, LinkEventCode::PoseJointChanged);
    EXPECT_EQ(events[0].index, 3);
    EXPECT_EQ(events[0].secondIndex, 3);
    EXPECT_EQ(events[0].value, 777);
    EXPECT_EQ(events[1].code, LinkEventCode::SelectedPoseChanged);

    // More bytes arriving during the quiet period restart it.
    events.clear();
    peer.emit("ab");
    ASSERT_TRUE(waitBuffered(2));
    link.tick();
    link.tick();
    link.tick();
    peer.emit("c");
    ASSERT_TRUE(waitBuffered(3));
    for (int i = 0; i < 7; ++i)
        link.tick();
    EXPECT_TRUE(events.empty());
    link.tick();
    EXPECT_EQ(events.size(), 3u);
    EXPECT_EQ(link.screen().message, "abc");

    // While a page plays, what has arrived is decoded on the next tick; a field cut in two is
    // finished when its rest arrives.
    link.setDecodeAsItArrives(true);
    events.clear();
    const std::string pose = field(4, 41, " 555");
    peer.emit(pose.substr(0, pose.size() - 2));
    ASSERT_TRUE(waitBuffered(pose.size() - 2));
    link.tick();
    EXPECT_TRUE(events.empty()) << "half a field shows nothing";
    peer.emit(pose.substr(pose.size() - 2));
    ASSERT_TRUE(waitBuffered(2));
    EXPECT_TRUE(link.decodeArrived()) << "between ticks too";
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].value, 555);
    EXPECT_FALSE(link.decodeArrived()) << "nothing more arrived";
    link.disconnect();
    EXPECT_FALSE(link.decodesAsItArrives()) << "a new connection waits for quiet lines again";
}

TEST_F(LinkTest, LostLinkSendsTheControllerToItsMenuAndGoesQuiet)
{
    peer.setMode(FakeController::Mode::Menu, 1);
    peer.setScreenPaint({});
    ASSERT_TRUE(link.connect(peer.path()));
    // Whatever the fake still had to say to the connect's probes is no reply to what follows.
    ASSERT_TRUE(eventually([&] { return peer.mode() == FakeController::Mode::Screen; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    tickUntilDecoded();
    events.clear();
    ASSERT_TRUE(link.send("re\r"));
    for (int i = 0; i < 15; ++i)
        link.tick();
    EXPECT_TRUE(events.empty());
    peer.clearLog();
    link.tick();
    ASSERT_FALSE(link.isOpen());
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].code, LinkEventCode::EditScreenChanged);
    EXPECT_EQ(events[1].code, LinkEventCode::LinkLost);
    EXPECT_TRUE(eventually([&] { return peer.received().find("\rexit\ry") != std::string::npos; }));
    link.tick(); // a closed link's tick does nothing
    EXPECT_EQ(events.size(), 2u);
}

TEST_F(LinkTest, HandlersSeeAClosedLinkAndMayDisconnectAgain)
{
    peer.setMode(FakeController::Mode::Menu, 1);
    ASSERT_TRUE(link.connect(peer.path()));
    int closedEvents = 0;
    link.setEventHandler([&](const LinkEvent& e) {
        if (e.code != LinkEventCode::EditScreenChanged)
            return;
        ++closedEvents;
        EXPECT_FALSE(link.isOpen());
        link.disconnect(); // nothing left to do
    });
    link.disconnect();
    EXPECT_EQ(closedEvents, 1);
    EXPECT_FALSE(link.isOpen());
}

TEST_F(LinkTest, TickIsNotReentrantFromAnEventHandler)
{
    peer.setMode(FakeController::Mode::Menu, 1);
    peer.setScreenPaint({});
    ASSERT_TRUE(link.connect(peer.path()));
    int nested = 0;
    link.setEventHandler([&](const LinkEvent& e) {
        events.push_back(e);
        // a modal box in a handler runs the event loop, whose timer ticks again
        for (int i = 0; i < 10; ++i)
            link.tick();
        ++nested;
    });
    peer.emit(field(5, 20, " 512") + "xy");
    ASSERT_TRUE(waitBuffered(12));
    for (int i = 0; i < 8; ++i)
        link.tick();
    ASSERT_EQ(events.size(), 3u); // each byte decoded exactly once
    EXPECT_EQ(link.screen().message, "xy");
    EXPECT_EQ(link.bufferedBytes(), 0u);
}

TEST_F(LinkTest, FullRingDropsTheNewestChunkAndDecodingResynchronises)
{
    peer.setMode(FakeController::Mode::Menu, 1);
    peer.setScreenPaint({});
    ASSERT_TRUE(link.connect(peer.path()));
    // Far more than the ring holds, without a tick to drain it.
    std::string flood;
    for (int i = 0; flood.size() < 20000; ++i)
        flood += field(1 + i % 31, 26 + 5 * (i % 7), " 100");
    peer.emit(flood);
    auto until = Clock::now() + std::chrono::seconds(5);
    while (link.droppedChunks() == 0 && Clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_GT(link.droppedChunks(), 0u);
    EXPECT_LE(link.bufferedBytes(), ByteRing::kCapacity);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    tickUntilDecoded();
    peer.emit(field(9, 20, " 321"));
    ASSERT_TRUE(waitBuffered(1));
    tickUntilDecoded();
    EXPECT_EQ(link.screen().current.joints[8], (JointCell{321, true, true}));
    EXPECT_LE(link.screen().message.size(), ScreenDecoder::kMaxMessage);
}

TEST_F(LinkTest, LostDeviceIsReportedOnTheOwnersTickNotByTheReader)
{
    peer.setMode(FakeController::Mode::Menu, 1);
    ASSERT_TRUE(link.connect(peer.path()));
    peer.hangUp();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(boxes.empty()); // the reader never reports by itself
    link.tick();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].first, "Error");
    EXPECT_EQ(boxes[0].second, "Error while creating ThreadWatchComm in " + peer.path() + "!\n" +
                                   posewright::text(posewright::Txt::PortGone));
    EXPECT_FALSE(link.isOpen());
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().code, LinkEventCode::LinkLost);
}

TEST(MotionRepliesTest, RecognisesTheSteeringReplies)
{
    EXPECT_TRUE(asksAreYouSure("Page not saved. Are you sure? (y/n)"));
    EXPECT_FALSE(asksAreYouSure("Are you sure"));
    EXPECT_TRUE(reportsOk("Play page 3 ... OK"));
    EXPECT_FALSE(reportsOk("ok"));
    EXPECT_TRUE(reportsWriting("Writing page 3"));
    EXPECT_STREQ(answerFor(true), "y");

    // Console text raises MessageChanged per byte: each reply steers once per appearance.
    ReplyWatcher w;
    std::string line;
    int asked = 0;
    for (char c : std::string("Page 3 is not saved. Are you sure? (y/n)")) {
        line += c;
        asked += w.onMessage(line, false).askQuestion;
    }
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(w.onMessage("", false).askQuestion);
    EXPECT_TRUE(w.onMessage("Are you sure?", false).askQuestion); // asked again after the line changed

    EXPECT_FALSE(w.onMessage("Play of page 3 finished. OK", false).playingEnded); // not playing
    EXPECT_FALSE(w.onMessage("Play of page 3 finished. OK", true).playingEnded);  // the old line
    w.onMessage("Playing page 3 (ESC stops)", true);
    EXPECT_TRUE(w.onMessage("Play of page 3 finished. OK", true).playingEnded);
    EXPECT_TRUE(w.onMessage("Writing page 3 ... done", false).reEnable);
    EXPECT_FALSE(w.onMessage("Writing page 3 ... done", false).reEnable);
    w.reset();
    EXPECT_TRUE(w.onMessage("Writing page 3 ... done", false).reEnable); // a new command's reply
    EXPECT_STREQ(answerFor(false), "n");
}

TEST(MotionProbeRule, TakesTheEntryOnlyFromTwoEqualFinalBytes)
{
    struct Case {
        std::string reply;
        int entry;
    };
    const Case cases[] = {
        {std::string("\0\0", 2), 0},
        {"\x01\x01", 1},
        {"\x02\x02", 2},
        {"junk\x01\x01", 1},                // only the last two count
        {std::string("\x01\x01\0", 3), -1}, // ... and they differ
        {"\x03\x03", -1},                   // no such entry
        {"\x01\x02", -1},                   // a noisy line
        {"\x01", -1},                       // one byte is not enough
        {"", -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(menuEntryFromProbe(reinterpret_cast<const uint8_t*>(c.reply.data()), c.reply.size()),
                  c.entry)
            << "reply of " << c.reply.size() << " bytes";
}
