// The motion link against the simulated controller with our default robot: connecting from
// every mode, the first repaint, every page operation of the editor, and a controller that
// stops answering. All of it runs in-process against sim::Controller on a virtual clock;
// connecting from every mode also runs against kz7sim on a pseudo-terminal, through the real
// serial device and the link's reader thread.

#include "motion/MotionLink.h"
#include "motion/MotionReplies.h"
#include "motion/MotionSession.h"
#include "motion/RobotProfile.h"

#include "sim/JointTable.h"
#include "support/Kz7SimProcess.h"
#include "support/LateChannel.h"
#include "support/SimChannel.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

using namespace motion;
using testsupport::InProcessController;
using testsupport::Kz7SimProcess;

namespace {

const std::string kProfile = std::string(TESSABAN_SOURCE_DIR) + "/data/Robot files/default.rbt";
constexpr int kTickMs = 20; // the quiet period is counted in ticks; the simulator answers at once

// Everything the controller paints, without the message line.
void expectSamePage(const MotionScreen& a, const MotionScreen& b, const std::string& step)
{
    SCOPED_TRACE(step);
    for (int id = 0; id < kJointRows; ++id) {
        EXPECT_EQ(a.current.joints[id], b.current.joints[id]) << "current ID " << id;
        for (int p = 0; p < kPoseCount; ++p)
            EXPECT_EQ(a.poses[p].joints[id], b.poses[p].joints[id]) << "pose " << p << " ID " << id;
    }
    EXPECT_EQ(a.current.pause, b.current.pause);
    EXPECT_EQ(a.current.speed, b.current.speed);
    for (int p = 0; p < kPoseCount; ++p) {
        EXPECT_EQ(a.poses[p].pause, b.poses[p].pause) << "pose " << p;
        EXPECT_EQ(a.poses[p].speed, b.poses[p].speed) << "pose " << p;
    }
    EXPECT_EQ(a.pageInfo, b.pageInfo);
    EXPECT_EQ(a.pageName, b.pageName);
    EXPECT_EQ(a.selectedPose, b.selectedPose);
    EXPECT_EQ(a.statusA, b.statusA);
    EXPECT_EQ(a.statusB, b.statusB);
    EXPECT_EQ(a.inEditScreen, b.inEditScreen);
}

enum class Where { Pty, InProcess };

// kz7sim on a pty, or sim::Controller in-process with the same robot.
struct SimulatedController {
    Where where = Where::InProcess;
    Kz7SimProcess process;
    testsupport::VirtualClock clock;
    std::unique_ptr<InProcessController> local;
    int lagMs = 0; // in-process: how late the controller's answers reach the link

    bool start(const std::string& mode, const RobotProfile& profile)
    {
        if (where == Where::Pty)
            return process.start({"--profile", kProfile, "--mode", mode});
        local.reset();
        local = std::make_unique<InProcessController>(clock, true, *sim::modeFromName(mode),
                                                      sim::JointTable::fromProfile(profile));
        return true;
    }
    std::string devicePath() const { return where == Where::Pty ? process.devicePath() : "in-process"; }
    bool control(const std::string& command)
    {
        return where == Where::Pty ? process.control(command) : local->control(command);
    }
    void stop()
    {
        if (where == Where::Pty)
            process.stop();
        else
            local.reset();
    }
    // Lets the simulator's own loop catch up (it reads its control channel by itself).
    void pause(int ms)
    {
        if (where == Where::Pty)
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        else
            clock.sleepMs(ms);
    }
    std::unique_ptr<MotionLink> makeLink()
    {
        if (where == Where::Pty)
            return std::make_unique<MotionLink>();
        return std::make_unique<MotionLink>(
            [this](const std::string&, int) -> std::unique_ptr<platform::ByteChannel> {
                if (!local)
                    return nullptr;
                if (lagMs > 0)
                    return std::make_unique<testsupport::LateChannel>(local->open(), clock, lagMs);
                return local->open();
            },
            clock);
    }
};

class SimLinkTest : public ::testing::TestWithParam<Where> {
  protected:
    SimulatedController sim;
    std::unique_ptr<MotionLink> linkOwner;
    std::unique_ptr<MotionSession> session;
    std::vector<std::pair<std::string, std::string>> boxes;
    RobotProfile profile;

    MotionLink& link() { return *linkOwner; }
    void SetUp() override
    {
        ASSERT_TRUE(profile.load(kProfile));
        sim.where = GetParam();
        linkOwner = sim.makeLink();
        link().setMessageHandler(
            [this](const std::string& c, const std::string& t) { boxes.emplace_back(c, t); });
        session = std::make_unique<MotionSession>(link(), kTickMs);
    }
    void TearDown() override
    {
        session.reset();
        if (linkOwner)
            link().disconnect();
    }
    void startAndConnect(const std::string& mode)
    {
        ASSERT_TRUE(sim.start(mode, profile)) << mode;
        ASSERT_TRUE(link().connect(sim.devicePath())) << mode;
        ASSERT_TRUE(session->settle()) << mode;
    }
    const MotionScreen& screen() const { return linkOwner->screen(); }
    // Runs a command and checks that the changed fields left the mirror equal to a full repaint.
    void run(const std::string& command, bool checkRepaint = true)
    {
        ASSERT_TRUE(session->run(command)) << "no reply to " << command;
        if (!checkRepaint)
            return;
        MotionScreen incremental = screen();
        ASSERT_TRUE(session->run("re\r"));
        expectSamePage(incremental, screen(), command);
    }
    JointCell current(int id) const { return screen().current.joints[id]; }
    JointCell pose(int p, int id) const { return screen().poses[p].joints[id]; }
};

// The cases that need no real port.
class SimLinkInProcess : public SimLinkTest {};

} // namespace

TEST_P(SimLinkTest, ConnectsFromEveryModeAndMirrorsTheFirstRepaint)
{
    for (const char* mode : {"menu", "console", "screen", "running", "bootloader"}) {
        SCOPED_TRACE(mode);
        startAndConnect(mode);
        EXPECT_TRUE(screen().inEditScreen);
        EXPECT_EQ(screen().pageNumber(), 1);
        EXPECT_EQ(screen().pageInfo[2], 0xE000 + 512);
        for (int id = 0; id < kJointRows; ++id) {
            int index = profile.indexOfId(id);
            if (index < 0) {
                EXPECT_FALSE(current(id).present) << id;
                continue;
            }
            EXPECT_EQ(current(id), (JointCell{profile.joints()[index].initialValue, true, true})) << id;
        }
        EXPECT_NE(screen().message.find("Motion editor"), std::string::npos) << screen().message;
        // the first repaint is the whole page: a second one changes nothing
        MotionScreen first = screen();
        ASSERT_TRUE(session->run("re\r"));
        expectSamePage(first, screen(), "re");
        link().disconnect();
        EXPECT_FALSE(screen().inEditScreen);
        sim.stop();
    }
}

TEST_P(SimLinkInProcess, EveryPageOperationChangesTheMirrorAsTheControllerChangedItsPage)
{
    startAndConnect("menu");

    run("page 3\r");
    EXPECT_EQ(screen().pageNumber(), 3);
    EXPECT_EQ(screen().pageInfo[2], 0xE000 + 3 * 512);
    run("n\r");
    EXPECT_EQ(screen().pageNumber(), 4);
    run("b\r");
    EXPECT_EQ(screen().pageNumber(), 3);
    const int posesAtStart = screen().poseCount();

    ASSERT_TRUE(session->run("name\r"));
    run("Walk\r");
    EXPECT_EQ(screen().pageName, "Walk");

    // set and step through goto
    run("goto 0 1\r");
    EXPECT_EQ(screen().statusA, 0);
    EXPECT_EQ(screen().statusB, 1);
    run("set 600\r");
    EXPECT_EQ(current(1), (JointCell{600, true, true}));
    run("]");
    EXPECT_EQ(current(1).value, 601);
    run("[");
    run("[");
    EXPECT_EQ(current(1).value, 599);
    run("goto 0 31\r");
    run("set 12\r");
    EXPECT_EQ(screen().current.pause, 12);

    // write (add), w, i
    run("write\r");
    ASSERT_EQ(screen().poseCount(), posesAtStart + 1);
    const int added = posesAtStart;
    EXPECT_EQ(screen().selectedPose, added);
    for (int id = 1; id <= 18; ++id)
        EXPECT_EQ(pose(added, id), current(id)) << id;
    EXPECT_EQ(screen().poses[added].pause, 12);
    EXPECT_FALSE(pose(added, 20).present);

    run("goto 0 2\r");
    run("set 700\r");
    run("w " + std::to_string(added) + "\r");
    EXPECT_EQ(pose(added, 2).value, 700);

    run("goto 0 2\r");
    run("set 300\r");
    run("i " + std::to_string(added) + "\r");
    ASSERT_EQ(screen().poseCount(), posesAtStart + 2);
    EXPECT_EQ(pose(added, 2).value, 300);
    EXPECT_EQ(pose(added + 1, 2).value, 700);

    // go, move, m, d
    run("go " + std::to_string(added + 1) + "\r");
    EXPECT_EQ(current(2).value, 700);
    EXPECT_EQ(screen().selectedPose, added + 1);
    run("move " + std::to_string(added) + " " + std::to_string(added + 1) + "\r");
    EXPECT_EQ(pose(added, 2).value, 700);
    EXPECT_EQ(pose(added + 1, 2).value, 300);
    const MotionScreen beforeMirror = screen();
    run("m " + std::to_string(added) + "\r");
    for (int a = 1; a <= 17; a += 2) {
        EXPECT_EQ(pose(added, a).value, 1023 - beforeMirror.poses[added].joints[a + 1].value) << a;
        EXPECT_EQ(pose(added, a + 1).value, 1023 - beforeMirror.poses[added].joints[a].value) << a;
    }
    run("d " + std::to_string(added) + "\r");
    EXPECT_EQ(screen().poseCount(), posesAtStart + 1);
    EXPECT_EQ(pose(added, 2).value, 300);

    // on, off: only the controller's own column changes; the reply still arrives
    const MotionScreen beforeTorque = screen();
    run("off 1 2\r");
    run("on 1 2\r");
    expectSamePage(beforeTorque, screen(), "on/off");

    // page information through goto and set
    run("goto 9 4\r");
    run("set 2\r");
    EXPECT_EQ(screen().pageInfo[3], 2);
    run("goto 9 14\r");
    run("]");
    EXPECT_EQ(screen().pageInfo[7], beforeTorque.pageInfo[7] + 1);
    run("[");

    // save (long wait) and play
    run("save\r", false);
    EXPECT_TRUE(reportsWriting(screen().message)) << screen().message;
    run("re\r");
    ASSERT_TRUE(session->run("play 3\r", 400));
    ASSERT_TRUE(session->waitUntil([](const MotionScreen& s) { return reportsOk(s.message); }, 400))
        << screen().message;
    const int last = screen().poseCount() - 1;
    for (int id = 1; id <= 18; ++id)
        EXPECT_EQ(current(id).value, pose(last, id).value) << id;

    // play stopped with ESC
    run("goto 9 4\r");
    run("set 200\r");
    ASSERT_TRUE(link().send("play 3\r"));
    ASSERT_TRUE(session->waitUntil(
        [](const MotionScreen& s) { return s.message.find("Playing") != std::string::npos; }, 100));
    ASSERT_TRUE(session->run("\x1b", 400));
    ASSERT_TRUE(session->waitUntil([](const MotionScreen& s) { return reportsOk(s.message); }, 400));
    EXPECT_NE(screen().message.find("stopped"), std::string::npos) << screen().message;
    run("re\r");

    // leaving a changed page asks first; the answer is sent as a bare key
    run("goto 1 1\r");
    run("set 100\r");
    session->setAnswer(true);
    run("page 5\r");
    EXPECT_EQ(session->questionsAnswered(), 1);
    EXPECT_EQ(screen().pageNumber(), 5);

    // the offset page (long wait)
    run("p 0\r");
    EXPECT_TRUE(screen().isOffsetPage());
    EXPECT_EQ(screen().pageInfo[2], 0xE000);
    EXPECT_FALSE(session->lost());
    EXPECT_TRUE(boxes.empty());
}

// A controller whose answers come late (a loaded machine) is still found in its mode and taken
// to its page editor; a late answer taken for silence would press keys meant for another mode.
TEST_P(SimLinkInProcess, ConnectsFromEveryModeWhenTheAnswersComeLate)
{
    sim.lagMs = 600;
    for (const char* mode : {"menu", "console", "screen", "running", "bootloader"}) {
        SCOPED_TRACE(mode);
        ASSERT_TRUE(sim.start(mode, profile));
        EXPECT_TRUE(link().connect(sim.devicePath()));
        EXPECT_EQ(sim.local->controller.mode(), sim::Mode::Screen)
            << sim::modeName(sim.local->controller.mode());
        link().disconnect();
        sim.stop();
    }
}

TEST_P(SimLinkInProcess, StalledOrSilentControllerIsLostAfterTheShortOrLongWait)
{
    for (bool longWait : {false, true}) {
        SCOPED_TRACE(longWait ? "long" : "short");
        startAndConnect("menu");
        // A stalled line holds everything back; a silent controller never answers again.
        ASSERT_TRUE(sim.control(longWait ? "stall 60000" : "silent"));
        // the control channel is read by the simulator's own loop
        sim.pause(300);
        boxes.clear();
        std::vector<LinkEvent> events;
        link().setEventHandler([&](const LinkEvent& e) { events.push_back(e); });
        ASSERT_TRUE(link().isOpen());
        // A stalled line may not even take the command (the write times out): the wait for a
        // reply runs all the same.
        link().send(longWait ? "save\r" : "re\r", longWait);
        ASSERT_TRUE(link().isWaiting());
        for (int i = 0; i < (longWait ? 50 : 15); ++i) {
            link().tick();
            ASSERT_TRUE(link().isOpen()) << "tick " << i;
        }
        link().tick();
        EXPECT_FALSE(link().isOpen());
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].second, "Can not find KZ-7! Please, try again after following next steps.\n"
                                   "1. Check the cable connection and Power.\n2. Push the \"MODE\" button of "
                                   "KZ-7.\n3. Turn off and on KZ-7.\n4. Execute Posewright again.");
        ASSERT_FALSE(events.empty());
        EXPECT_EQ(events.back().code, LinkEventCode::LinkLost);
        EXPECT_EQ(events.back().text, "Disconnected to KZ-7.");
        EXPECT_EQ(screen().message, "Disconnected to KZ-7.");
        sim.stop();
        session.reset();
        session = std::make_unique<MotionSession>(link(), kTickMs);
    }
}

INSTANTIATE_TEST_SUITE_P(InProcess, SimLinkTest, ::testing::Values(Where::InProcess));
INSTANTIATE_TEST_SUITE_P(Pty, SimLinkTest, ::testing::Values(Where::Pty));
INSTANTIATE_TEST_SUITE_P(InProcess, SimLinkInProcess, ::testing::Values(Where::InProcess));
