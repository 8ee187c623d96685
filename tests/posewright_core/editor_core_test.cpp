// The editor's two tables: what each user action sends (and its reply wait), and what each
// LinkEvent changes on the form; plus the states they move the form through.

#include "EditorFakes.h"
#include "posewright_texts/PosewrightTexts.h"

#include <gtest/gtest.h>

using motion::LinkEventCode;
using namespace posewright;
using posewrighttest::Editor;
using posewrighttest::event;
using posewrighttest::message;
using posewrighttest::pageInfo;
using robotview::PoseGesture;

namespace {

using Sent = std::vector<std::pair<std::string, bool>>;
constexpr bool kLong = true;
constexpr bool kShort = false;

struct ActionCase {
    const char* name;
    std::function<void(Editor&)> act;
    Sent expected;
    bool enabledAfter = true;
};

void openPageCell(Editor& ed, int row)
{
    ed.core.notify(kPageGridId, ed.core.pageGrid().doubleClick(row, 1, ed.core.offsetPage()));
}

void openPoseCell(Editor& ed, int column)
{
    ed.core.notify(kPoseGridId, ed.core.poseGrid().doubleClick(1, column));
}

} // namespace

TEST(EditorCore, EveryUserActionSendsItsCommandWithItsWait)
{
    const std::string twentyDigits = "12345678901234567890";
    const ActionCase cases[] = {
        {"Page Save", [](Editor& ed) { ed.core.notify(kPageSaveId, kClicked); }, {{"save\r", kLong}}, false},
        {"Add Pose", [](Editor& ed) { ed.core.notify(kAddPoseId, kClicked); }, {{"write\r", kShort}}},
        {"command line, a % goes out as typed",
         [](Editor& ed) { ed.core.notify(kCommandLineId, kEnterPressed, "name 100%d%s"); },
         {{"name 100%d%s\r", kShort}}},
        {"Speed entered",
         [](Editor& ed) { ed.core.notify(kSpeedId, kValueEntered, "12"); },
         {{"goto 0 32\r", kShort}, {"set 12\r", kShort}}},
        {"Speed stepped up",
         [](Editor& ed) { ed.core.notify(kSpeedId, kValueStepUp); },
         {{"goto 0 32\r", kShort}, {"]", kShort}}},
        {"Pause stepped down",
         [](Editor& ed) { ed.core.notify(kPauseId, kValueStepDown); },
         {{"goto 0 31\r", kShort}, {"[", kShort}}},
        {"Pause entered",
         [](Editor& ed) { ed.core.notify(kPauseId, kValueEntered, "7"); },
         {{"goto 0 31\r", kShort}, {"set 7\r", kShort}}},
        {"a 20-digit Speed is out of range, not wrapped",
         [&](Editor& ed) { ed.core.notify(kSpeedId, kValueEntered, twentyDigits); },
         {}},
        {"an empty Pause sends nothing", [](Editor& ed) { ed.core.notify(kPauseId, kValueEntered, ""); }, {}},
        {"focus leaving the Speed control sends nothing",
         [](Editor& ed) { ed.core.notify(kSpeedId, kValueFocusLost, "5"); },
         {}},
        {"panel 2 double-clicked",
         [](Editor& ed) { ed.core.notify(1003, PoseGesture::DoubleClicked); },
         {{"go 2\r", kShort}}},
        {"current pose into panel 3",
         [](Editor& ed) { ed.core.notify(1004, PoseGesture::Dropped); },
         {{"w 3\r", kShort}}},
        {"current pose before panel 3",
         [](Editor& ed) { ed.core.notify(1004, PoseGesture::DroppedBefore); },
         {{"i 3\r", kShort}}},
        {"current pose after panel 2",
         [](Editor& ed) { ed.core.notify(1003, PoseGesture::DroppedAfter); },
         {{"i 3\r", kShort}}},
        {"panel 1 moved onto panel 4",
         [](Editor& ed) { ed.core.notify(1005, PoseGesture::PoseMoved, {}, 1002); },
         {{"move 1 4\r", kShort}}},
        {"a move from no other panel sends nothing",
         [](Editor& ed) { ed.core.notify(1005, PoseGesture::PoseMoved, {}, 1005); },
         {}},
        {"a move from an unknown ID sends nothing",
         [](Editor& ed) { ed.core.notify(1005, PoseGesture::PoseMoved, {}, 0); },
         {}},
        {"mirror pose 0",
         [](Editor& ed) { ed.core.notify(1001, PoseGesture::MirrorPose); },
         {{"m 0\r", kShort}}},
        {"delete pose 6",
         [](Editor& ed) { ed.core.notify(1007, PoseGesture::DeletePose); },
         {{"d 6\r", kShort}}},
        {"page number row picked: no cursor move", [](Editor& ed) { openPageCell(ed, 1); }, {}},
        {"play count picked", [](Editor& ed) { openPageCell(ed, 3); }, {{"goto 9 4\r", kShort}}},
        {"exit page picked", [](Editor& ed) { openPageCell(ed, 8); }, {{"goto 9 15\r", kShort}}},
        {"play count entered",
         [](Editor& ed) {
             openPageCell(ed, 3);
             ed.core.notify(kPageGridId, ed.core.pageGrid().valueEntered("7"));
         },
         {{"goto 9 4\r", kShort}, {"set 7\r", kShort}}},
        {"accel time stepped up and down",
         [](Editor& ed) {
             openPageCell(ed, 6);
             ed.core.notify(kPageGridId, ed.core.pageGrid().valueStepUp());
             ed.core.notify(kPageGridId, ed.core.pageGrid().valueStepDown());
         },
         {{"goto 9 13\r", kShort}, {"]", kShort}, {"[", kShort}}},
        {"page number 5 entered",
         [](Editor& ed) {
             openPageCell(ed, 1);
             ed.core.notify(kPageGridId, ed.core.pageGrid().valueEntered("5"));
         },
         {{"page 5\r", kShort}},
         false},
        {"page numbers 0, 128 and 20 digits entered",
         [&](Editor& ed) {
             for (const std::string& t : {std::string("0"), std::string("128"), twentyDigits}) {
                 openPageCell(ed, 1);
                 ed.core.notify(kPageGridId, ed.core.pageGrid().valueEntered(t));
             }
         },
         {}},
        {"page number stepped up",
         [](Editor& ed) {
             openPageCell(ed, 1);
             ed.core.notify(kPageGridId, ed.core.pageGrid().valueStepUp());
         },
         {{"n\r", kShort}},
         false},
        {"page number stepped down from 3",
         [](Editor& ed) {
             openPageCell(ed, 1);
             ed.core.notify(kPageGridId, ed.core.pageGrid().valueStepDown());
         },
         {{"b\r", kShort}},
         false},
        {"page renamed",
         [](Editor& ed) {
             openPageCell(ed, 0);
             ed.core.notify(kPageGridId, ed.core.pageGrid().nameEntered("Walk"));
         },
         {{"name\rWalk\r", kShort}}},
        {"data address cannot be opened", [](Editor& ed) { openPageCell(ed, 2); }, {}},
        {"pose grid speed of pose 0", [](Editor& ed) { openPoseCell(ed, 0); }, {{"goto 1 32\r", kShort}}},
        {"pose grid pause of pose 2, entered",
         [](Editor& ed) {
             openPoseCell(ed, 5);
             ed.core.notify(kPoseGridId, ed.core.poseGrid().valueEntered("40"));
         },
         {{"goto 3 31\r", kShort}, {"set 40\r", kShort}}},
        {"pose grid speed of pose 6 stepped",
         [](Editor& ed) {
             openPoseCell(ed, 12);
             ed.core.notify(kPoseGridId, ed.core.poseGrid().valueStepUp());
             ed.core.notify(kPoseGridId, ed.core.poseGrid().valueStepDown());
         },
         {{"goto 7 32\r", kShort}, {"]", kShort}, {"[", kShort}}},
        {"Refresh Page",
         [](Editor& ed) { ed.core.menu(MenuCommand::RefreshPage); },
         {{"re\r", kShort}},
         false},
        {"Offset configuration answered Yes",
         [](Editor& ed) {
             ed.surface.answers = {true};
             ed.core.menu(MenuCommand::OffsetConfiguration);
         },
         {{"p 0\r", kLong}},
         false},
        {"Offset configuration answered No",
         [](Editor& ed) { ed.core.menu(MenuCommand::OffsetConfiguration); },
         {}},
    };
    for (const ActionCase& c : cases) {
        SCOPED_TRACE(c.name);
        Editor ed;
        c.act(ed);
        EXPECT_EQ(ed.port.sent, c.expected);
        EXPECT_EQ(ed.core.enabled(), c.enabledAfter);
        EXPECT_EQ(ed.core.busy(), !c.enabledAfter);
    }
}

TEST(EditorCore, JointListPickingStepsAndSwitchesJoints)
{
    Editor ed;
    JointList& list = ed.core.jointList();
    const CellRect first = JointList::cellRect(0), second = JointList::cellRect(1);

    ASSERT_TRUE(list.press(first.left + 2, first.top + 2, false).picked);
    ed.core.notify(kJointListId, JointList::Picked);
    ed.core.notify(kJointListId, JointList::ValueEntered, list.editorText());
    ed.core.notify(kJointListId, JointList::StepUp);
    ed.core.notify(kJointListId, JointList::StepDown);
    EXPECT_EQ(ed.port.commands(), (std::vector<std::string>{"goto 0 1\r", "set 501\r", "]", "["}));

    ed.port.sent.clear();
    const auto r = list.press(second.left + 2, second.top + 2, true);
    EXPECT_FALSE(r.picked) << "two joints selected: no pick";
    EXPECT_FALSE(list.editorVisible());
    ed.core.notify(kJointListId, JointList::On);
    list.focusLost();
    ed.core.notify(kJointListId, JointList::Off);
    EXPECT_EQ(ed.port.commands(), (std::vector<std::string>{"on 1 2\r", "off\r"}));
}

// A damaged profile leaves the list without joints: nothing the list raises may reach the
// controller, while the rest of the form still works.
TEST(EditorCore, WithoutProfileJointsTheJointListSendsNothing)
{
    Editor ed;
    ed.core.setProfileJoints({});
    for (int code : {JointList::Picked, JointList::ValueEntered, JointList::StepUp, JointList::StepDown,
                     JointList::On, JointList::Off})
        ed.core.notify(kJointListId, code, "0500");
    EXPECT_TRUE(ed.port.sent.empty());
    ed.core.notify(kAddPoseId, kClicked);
    EXPECT_EQ(ed.port.commands(), (std::vector<std::string>{"write\r"}));
}

// The page counts as changed from a command that changes it until the controller writes it or
// another page opens; closing the link over a changed page asks first.
TEST(EditorCore, AChangedPageIsMarkedAndDisconnectAsksBeforeDroppingIt)
{
    {
        Editor ed;
        ed.core.notify(kJointListId, JointList::StepUp);
        ed.core.notify(kSpeedId, kValueEntered, "40");
        ed.core.menu(MenuCommand::RefreshPage);
        EXPECT_FALSE(ed.core.pageModified()) << "the current pose is not the page";
        ed.core.notify(1003, PoseGesture::MirrorPose);
        EXPECT_TRUE(ed.core.pageModified());
        ed.core.onLinkEvent(message("Writing page 3 ... done"));
        EXPECT_FALSE(ed.core.pageModified());
        ed.core.notify(1003, PoseGesture::DeletePose);
        ed.core.onLinkEvent(pageInfo(1, 3));
        EXPECT_TRUE(ed.core.pageModified()) << "a repaint of the same page keeps the mark";
        ed.core.onLinkEvent(pageInfo(1, 4));
        EXPECT_FALSE(ed.core.pageModified()) << "another page is open";
    }
    struct Case {
        SaveChoice choice;
        Sent sent;
        bool closed;
    };
    const Case cases[] = {
        {SaveChoice::Save, {{"write\r", kShort}, {"save\r", kLong}}, true},
        {SaveChoice::Discard, {{"write\r", kShort}}, true},
        {SaveChoice::Cancel, {{"write\r", kShort}}, false},
    };
    for (const Case& c : cases) {
        Editor ed;
        ed.core.notify(kAddPoseId, kClicked);
        ed.surface.saveChoices = {c.choice};
        ed.core.menu(MenuCommand::Disconnect);
        EXPECT_EQ(ed.surface.saveQuestions,
                  std::vector<std::string>{
                      "The changes to page 3 are not saved.\nDo you want to save them first?"});
        EXPECT_EQ(ed.port.sent, c.sent);
        EXPECT_EQ(!ed.port.open, c.closed);
        EXPECT_EQ(ed.core.pageModified(), !c.closed);
    }
    Editor unchanged;
    unchanged.core.menu(MenuCommand::Disconnect);
    EXPECT_TRUE(unchanged.surface.saveQuestions.empty());
    EXPECT_FALSE(unchanged.port.open);
}

TEST(EditorCore, PagePlayUsesTheEditOrTheGridsPageAndStopWaitsLong)
{
    struct Case {
        const char* edit;
        std::string expected;
        bool editReplaced;
    };
    const Case cases[] = {
        {"5", "play 5\r", false},  {"0", "play 0\r", false},
        {"200", "play 3\r", true}, {"99999999999999999999", "play 3\r", true},
        {"", "play 3\r", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.edit);
        Editor ed;
        const int writes = ed.core.pageNumberWrites();
        ed.core.notify(kPagePlayId, kClicked, c.edit);
        ASSERT_EQ(ed.port.commands(), std::vector<std::string>{c.expected});
        EXPECT_EQ(ed.core.pageNumberText(), "3");
        EXPECT_EQ(ed.core.pageNumberWrites() - writes, c.editReplaced ? 1 : 0)
            << "the edit gets the grid's page";
        EXPECT_TRUE(ed.core.playing());
        EXPECT_FALSE(ed.core.busy());
        EXPECT_EQ(ed.core.playCaption(), "Stop");
        EXPECT_TRUE(ed.port.decodeAsItArrives) << "the views follow the play";
        ControlStates only;
        only.pagePlay = true;
        only.valueControlsShown = true;
        EXPECT_EQ(ed.core.controls(), only) << "Stop is the only control left";

        ed.core.notify(kPagePlayId, kClicked, c.edit);
        EXPECT_EQ(ed.port.sent.back(), (std::pair<std::string, bool>{"\x1b", kLong}));
        EXPECT_TRUE(ed.core.busy());
        ed.core.onLinkEvent(message("Play stopped. OK"));
        EXPECT_FALSE(ed.core.playing());
        EXPECT_TRUE(ed.core.enabled());
        EXPECT_EQ(ed.core.playCaption(), "Page Play");
        EXPECT_FALSE(ed.port.decodeAsItArrives) << "quiet lines again after the closing message";
        EXPECT_TRUE(ed.core.controls().addPose);
    }
}

TEST(EditorCore, RepliesSteerTheForm)
{
    struct Case {
        const char* name;
        std::vector<bool> answers;
        std::vector<std::string> texts; // successive message lines
        std::vector<std::string> sent;
        bool enabledAfter;
    };
    const Case cases[] = {
        {"question answered Yes", {true}, {"Page 3 is not saved. Are you sure? (y/n)"}, {"y"}, false},
        {"question answered No", {false}, {"Page 3 is not saved. Are you sure? (y/n)"}, {"n"}, true},
        // Console text raises one event per byte: the question is asked once.
        {"question arriving byte by byte",
         {false},
         {"Are you sure?", "Are you sure? ", "Are you sure? (", "Are you sure? (y/n)"},
         {"n"},
         true},
        {"Writing re-enables", {}, {"Writing page 3"}, {}, true},
        {"OK while not playing changes nothing", {}, {"OK"}, {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Editor ed;
        ed.core.notify(kPageSaveId, kClicked);
        ed.port.sent.clear();
        ed.surface.answers = c.answers;
        for (const std::string& t : c.texts)
            ed.core.onLinkEvent(message(t));
        EXPECT_EQ(ed.port.commands(), c.sent);
        EXPECT_EQ(ed.surface.questions.size(), c.answers.size());
        if (!c.answers.empty()) {
            EXPECT_EQ(ed.surface.questions[0], posewright::text(posewright::Txt::IncorrectPoseQuestion));
        }
        EXPECT_EQ(ed.core.enabled(), c.enabledAfter);
        EXPECT_EQ(ed.core.message(), c.texts.back());
    }
}

TEST(EditorCore, TickIsNotReenteredWhileTheQuestionBoxRuns)
{
    Editor ed;
    // The box's own event loop keeps the 100 ms timer running.
    ed.surface.whileAsking = [&] {
        ed.core.tick();
        ed.core.tick();
    };
    ed.surface.answers = {true};
    ed.port.onTick = [&] { ed.core.onLinkEvent(message("Are you sure? (y/n)")); };
    ed.core.tick();
    EXPECT_EQ(ed.port.ticks, 1);
    EXPECT_EQ(ed.port.deepestTick, 1);
    EXPECT_EQ(ed.port.commands(), std::vector<std::string>{"y"});
    ed.port.onTick = {};
    ed.core.tick();
    EXPECT_EQ(ed.port.ticks, 2) << "ticking resumes once the box is closed";
}

TEST(EditorCore, LinkEventsUpdateTheForm)
{
    Editor ed;
    ed.core.onLinkEvent(event(LinkEventCode::CurrentJointChanged, 2, 700));
    ed.core.onLinkEvent(event(LinkEventCode::CurrentJointChanged, 3, 900, true, false));
    ed.core.onLinkEvent(event(LinkEventCode::PoseJointChanged, 4, 640, true, true, {}, 1));
    ed.core.onLinkEvent(event(LinkEventCode::PoseJointChanged, 5, 100, false, false, {}, 1));
    ed.core.onLinkEvent(event(LinkEventCode::CurrentPauseChanged, 0, 12));
    ed.core.onLinkEvent(event(LinkEventCode::CurrentSpeedChanged, 0, 80));
    ed.core.onLinkEvent(event(LinkEventCode::PosePauseChanged, 2, 15));
    ed.core.onLinkEvent(event(LinkEventCode::PoseSpeedChanged, 2, 90));
    ed.core.onLinkEvent(pageInfo(2, 0xEA00));
    ed.core.onLinkEvent(pageInfo(4, 3));
    ed.core.onLinkEvent(event(LinkEventCode::PageInfoChanged, 0, 0, true, true, "Walk           "));
    ed.core.onLinkEvent(event(LinkEventCode::SelectedPoseChanged, 0, 2));

    EXPECT_EQ(ed.surface.mainTargets.at(2), 700);
    EXPECT_EQ(ed.surface.mainTargets.at(3), 503) << "an unknown value leaves the target";
    EXPECT_EQ(ed.core.jointList().joints()[2].known, false);
    EXPECT_FALSE(ed.core.allJointsKnown());
    EXPECT_EQ(ed.surface.panelTargets, (std::map<std::pair<int, int>, int>{{{4, 1}, 640}}));
    EXPECT_EQ(ed.core.pauseText(), "12");
    EXPECT_EQ(ed.core.speedText(), "80");
    EXPECT_EQ(ed.core.poseGrid().text(4), "90");
    EXPECT_EQ(ed.core.poseGrid().text(5), "15");
    EXPECT_EQ(ed.core.pageGrid().text(2), "0x0000EA00");
    EXPECT_EQ(ed.core.pageGrid().text(4), "3");
    EXPECT_EQ(ed.core.pageGrid().text(0), "Walk           ");
    EXPECT_EQ(ed.core.selectedPose(), 2);
    for (int p = 0; p < kPanelCount; ++p)
        EXPECT_EQ(ed.core.lit(p), p < 3) << p;
    ed.core.onLinkEvent(pageInfo(4, 0));
    for (int p = 0; p < kPanelCount; ++p)
        EXPECT_FALSE(ed.core.lit(p)) << p;
}

TEST(EditorCore, TheOffsetPageLocksThePoseControls)
{
    Editor ed(0);
    EXPECT_TRUE(ed.core.offsetPage());
    const ControlStates c = ed.core.controls();
    EXPECT_FALSE(c.pagePlay);
    EXPECT_FALSE(c.addPose);
    EXPECT_FALSE(c.pageNumberEdit);
    EXPECT_FALSE(c.valueControls);
    EXPECT_FALSE(c.poseGrid);
    EXPECT_TRUE(c.pageSave);
    EXPECT_TRUE(c.pageGrid);
    EXPECT_FALSE(ed.core.menuEnabled(MenuCommand::OffsetConfiguration));

    // Only the page number opens, and it raises nothing; the cursor does not move.
    EXPECT_EQ(ed.core.pageGrid().doubleClick(3, 1, true), 0);
    EXPECT_FALSE(ed.core.pageGrid().editorOpen());
    EXPECT_EQ(ed.core.pageGrid().doubleClick(1, 1, true), 0);
    EXPECT_TRUE(ed.core.pageGrid().editorOpen());
    ed.core.notify(kPageGridId, ed.core.pageGrid().valueEntered("4"));
    EXPECT_EQ(ed.port.commands(), std::vector<std::string>{"page 4\r"});

    ed.core.onLinkEvent(pageInfo(1, 4));
    EXPECT_FALSE(ed.core.offsetPage());
    ed.core.onLinkEvent(event(LinkEventCode::EditScreenChanged, 0, 1, true));
    EXPECT_TRUE(ed.core.controls().addPose);
    EXPECT_TRUE(ed.core.menuEnabled(MenuCommand::OffsetConfiguration));
}

TEST(EditorCore, ConnectingAndLosingTheLink)
{
    posewrighttest::FakePort port;
    posewrighttest::FakeSurface surface;
    EditorCore core(port, surface);
    core.setProfileJoints({{1, "R shoulder"}});
    EXPECT_EQ(core.message(), "No message");
    EXPECT_TRUE(core.menuEnabled(MenuCommand::Connect));
    EXPECT_FALSE(core.menuEnabled(MenuCommand::RefreshPage));

    port.connectSucceeds = false;
    EXPECT_FALSE(core.connectTo(3));
    EXPECT_EQ(core.message(), "Can not find KZ-7. Try again please.");
    EXPECT_FALSE(core.busy());
    EXPECT_EQ(core.savedPort(), 1);

    port.connectSucceeds = true;
    surface.chosenPort = 7;
    core.menu(MenuCommand::Connect);
    EXPECT_EQ(port.connects, (std::vector<std::string>{"COM3", "COM7"}));
    EXPECT_EQ(core.savedPort(), 7);
    EXPECT_TRUE(core.busy()) << "busy until the controller paints its screen";
    EXPECT_EQ(core.message(), "Connecting to KZ-7. Please wait...");
    EXPECT_FALSE(core.menuEnabled(MenuCommand::Connect));
    EXPECT_TRUE(core.menuEnabled(MenuCommand::Disconnect));

    core.onLinkEvent(event(LinkEventCode::EditScreenChanged, 0, 1, true));
    core.onLinkEvent(pageInfo(1, 2));
    core.onLinkEvent(event(LinkEventCode::CurrentJointChanged, 1, 500));
    EXPECT_TRUE(core.enabled());
    core.notify(kPagePlayId, kClicked, "2");
    core.notify(kPagePlayId, kClicked, "2"); // Stop: busy, and no reply ever comes

    // The link's reply time-out closes the port (EditScreenChanged false) and reports LinkLost.
    port.open = false;
    core.onLinkEvent(event(LinkEventCode::EditScreenChanged, 0, 0, false));
    core.onLinkEvent(event(LinkEventCode::LinkLost, 0, 0, false, false, "Disconnected to KZ-7."));
    EXPECT_FALSE(core.busy());
    EXPECT_FALSE(core.playing());
    EXPECT_FALSE(port.decodeAsItArrives);
    EXPECT_EQ(core.playCaption(), "Page Play");
    EXPECT_EQ(core.message(), "Disconnected to KZ-7.");
    EXPECT_TRUE(core.menuEnabled(MenuCommand::Connect));
    EXPECT_EQ(core.controls(), ControlStates{});
    ASSERT_EQ(core.jointList().joints().size(), 1u);
    EXPECT_FALSE(core.jointList().joints()[0].present);

    surface.chosenPort.reset();
    core.menu(MenuCommand::Connect);
    EXPECT_EQ(port.connects.size(), 2u) << "a cancelled port dialog connects nothing";
}

TEST(EditorCore, DisconnectFromTheMenuLeavesNothingOutstanding)
{
    Editor ed(0);
    ed.core.menu(MenuCommand::Reset3DView);
    EXPECT_EQ(ed.surface.viewResets, 1);
    ed.core.menu(MenuCommand::Disconnect);
    EXPECT_FALSE(ed.port.open);
    EXPECT_EQ(ed.core.message(), "Disconnected to KZ-7.");
    EXPECT_FALSE(ed.core.offsetPage());
    EXPECT_FALSE(ed.core.busy());
}
