// The motion page editor: where every field is painted, what each page command changes on
// the page and on the screen, and the replies the motion editor on the PC steers by.

#include "ScreenFields.h"
#include "SimHarness.h"

#include "motion/ScreenDecoder.h"

#include <gtest/gtest.h>

using sim::Mode;
using simtest::parseScreen;
using simtest::ScreenFields;
using simtest::SimHarness;

namespace {

sim::JointTable robot()
{
    sim::JointTable table = sim::JointTable::standard(); // joints 1..18
    table.setUnknown("7");
    table.names[1] = "R shoulder";
    table.initial[3] = 300;
    return table;
}

struct Editor : SimHarness {
    Editor() : SimHarness(true, Mode::Screen, robot()) {}
    // Sends a command and returns what was painted in answer.
    ScreenFields command(const std::string& text, int64_t ms = 50)
    {
        last = send(text, ms);
        return parseScreen(last);
    }
    std::string message(const ScreenFields& screen) const
    {
        std::string m = screen.at(35, 3);
        while (!m.empty() && m.back() == ' ')
            m.pop_back();
        return m;
    }
    const sim::ScreenEditor& editor() const { return controller.editor(); }
    std::string last;
};

int poseColumn(int pose)
{
    return 26 + 5 * pose;
}

} // namespace

TEST(ScreenEditor, FullRepaintPutsEveryFieldWhereTheDecoderLooks)
{
    Editor ed;
    ScreenFields s = ed.command("re\r");
    EXPECT_EQ(s.fullRepaints, 1);
    for (int row = 1; row <= 31; ++row) {
        int id = row - 1;
        std::string expectCurrent = id >= 1 && id <= 18 ? (id == 7   ? "?   "
                                                           : id == 3 ? " 300"
                                                                     : " 512")
                                                        : "-   ";
        EXPECT_EQ(s.at(row, 20), expectCurrent) << "row " << row;
        for (int p = 0; p < 7; ++p)
            EXPECT_EQ(s.at(row, poseColumn(p)), id >= 1 && id <= 18 ? " 512" : "-   ")
                << row << " pose " << p;
        EXPECT_EQ(s.at(row, 61).size(), 3u);
    }
    EXPECT_EQ(s.at(32, 21), "  0");
    EXPECT_EQ(s.at(33, 21), "100");
    for (int p = 0; p < 7; ++p) {
        EXPECT_EQ(s.at(32, 27 + 5 * p), "  0");
        EXPECT_EQ(s.at(33, 27 + 5 * p), "100");
    }
    EXPECT_EQ(s.at(1, 64), "");
    EXPECT_EQ(s.at(2, 76), "   1");
    EXPECT_EQ(s.at(3, 70), "0000E200");
    EXPECT_EQ(s.at(5, 77), "  1");
    EXPECT_EQ(s.at(10, 77), "  0");
    EXPECT_EQ(s.at(12, 77), "100");
    EXPECT_EQ(s.at(14, 77), " 32");
    EXPECT_EQ(s.at(15, 77), "  0");
    EXPECT_EQ(s.at(16, 77), "  0");
    EXPECT_EQ(s.at(33, 64).size(), 2u);
    EXPECT_EQ(s.at(33, 69).size(), 2u);
    EXPECT_EQ(s.at(33, 74).size(), 4u);
    EXPECT_EQ(s.at(34, 72), " -1");
    EXPECT_EQ(ed.message(s), "Page 1");
    // The joint labels carry the profile's names.
    EXPECT_NE(s.at(2, 1).find("R shoulder"), std::string::npos);
}

TEST(ScreenEditor, TheMotionLibrarysDecoderReadsTheSameScreen)
{
    Editor ed;
    ed.command("goto 9 4\r");
    ed.command("set 3\r");
    ed.command("name\rWave\r");
    ed.command("w 0\r");
    ed.command("goto 0 2\r");
    ed.command("set 700\r");
    ed.command("w 1\r");
    std::string bytes = ed.send("re\r", 50);

    motion::MotionScreen screen;
    std::vector<motion::LinkEvent> events;
    motion::ScreenDecoder decoder(screen, [&](const motion::LinkEvent& e) { events.push_back(e); });
    decoder.feed(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    EXPECT_TRUE(screen.inEditScreen);
    EXPECT_EQ(screen.pageName, "Wave");
    EXPECT_EQ(screen.pageNumber(), 1);
    EXPECT_EQ(screen.pageInfo[static_cast<int>(motion::PageInfo::DataAddress)], 0xE200);
    EXPECT_EQ(screen.pageInfo[static_cast<int>(motion::PageInfo::PlayCount)], 3);
    EXPECT_EQ(screen.poseCount(), 2);
    EXPECT_EQ(screen.selectedPose, 1);
    EXPECT_FALSE(screen.current.joints[0].present);
    EXPECT_TRUE(screen.current.joints[7].present);
    EXPECT_FALSE(screen.current.joints[7].known);
    EXPECT_EQ(screen.current.joints[2].value, 700);
    EXPECT_EQ(screen.poses[0].joints[2].value, 512);
    EXPECT_EQ(screen.poses[1].joints[2].value, 700);
    EXPECT_TRUE(screen.poses[1].joints[7].present);
    EXPECT_FALSE(screen.poses[1].joints[7].known) << "a pose taken with an unknown joint keeps '?'";
    EXPECT_EQ(screen.current.speed, 100);
    EXPECT_EQ(screen.message.find("Page 1"), 0u);
}

TEST(ScreenEditor, RepaintsOnlyTheFieldsACommandChanged)
{
    Editor ed;
    ScreenFields s = ed.command("w 0\r");
    EXPECT_EQ(s.fullRepaints, 0);
    // Pose 0 already showed 512 everywhere but joint 3 (300) and 7 (unknown), so only those
    // two cells, the pose count, the selected pose, the page size and the message change.
    EXPECT_EQ(s.at(4, poseColumn(0)), " 300");
    EXPECT_EQ(s.at(8, poseColumn(0)), "?   ");
    EXPECT_EQ(s.at(10, 77), "  1");
    EXPECT_EQ(s.at(34, 72), "  0");
    EXPECT_TRUE(s.has(33, 74));
    EXPECT_EQ(ed.message(s), "Pose written to 0");
    EXPECT_EQ(s.fields.size(), 6u) << ed.last;

    s = ed.command("goto 1 2\r");
    EXPECT_EQ(s.at(33, 64), " 1");
    EXPECT_EQ(s.at(33, 69), " 2");
    EXPECT_FALSE(s.has(2, 26));
    s = ed.command("]");
    EXPECT_EQ(s.at(3, poseColumn(0)), " 513");
    s = ed.command("[[");
    EXPECT_EQ(s.at(3, poseColumn(0)), " 511");
    s = ed.command("set 1024\r");
    EXPECT_FALSE(s.has(3, poseColumn(0)));
    EXPECT_NE(ed.message(s).find("out of range"), std::string::npos);
    // Stepping stops at the ends of the range.
    ed.command("set 1023\r");
    s = ed.command("]");
    EXPECT_EQ(ed.editor().page().poses[0].values[2], 1023);
    // Absent joints take no value.
    ed.command("goto 0 20\r");
    s = ed.command("set 100\r");
    EXPECT_NE(ed.message(s).find("No joint"), std::string::npos);
    // An empty line answers with the message line: STX ESC '[' first.
    std::string empty = ed.send("\r", 50);
    ASSERT_GE(empty.size(), 3u);
    EXPECT_EQ(empty[0], '\x02');
    EXPECT_EQ(empty[2], '[');
}

TEST(ScreenEditor, PoseCommandsInsertMoveMirrorAndDelete)
{
    Editor ed;
    auto setCurrent = [&](int id, int value) {
        ed.command("goto 0 " + std::to_string(id) + "\r");
        ed.command("set " + std::to_string(value) + "\r");
    };
    setCurrent(1, 100);
    ed.command("write\r"); // pose 0: joint 1 = 100
    setCurrent(1, 200);
    ed.command("write\r"); // pose 1: 200
    setCurrent(1, 150);
    ed.command("i 1\r"); // between: 100, 150, 200
    const auto& page = ed.editor().page();
    ASSERT_EQ(page.poseCount, 3);
    EXPECT_EQ(page.poses[0].values[1], 100);
    EXPECT_EQ(page.poses[1].values[1], 150);
    EXPECT_EQ(page.poses[2].values[1], 200);

    ed.command("move 0 2\r"); // 150, 200, 100
    EXPECT_EQ(page.poses[0].values[1], 150);
    EXPECT_EQ(page.poses[2].values[1], 100);

    setCurrent(2, 900);
    ed.command("w 2\r"); // pose 2: joint 1 = 150 (current), joint 2 = 900
    ScreenFields s = ed.command("m 2\r");
    EXPECT_EQ(page.poses[2].values[1], 1023 - 900);
    EXPECT_EQ(page.poses[2].values[2], 1023 - 150);
    EXPECT_EQ(s.at(2, poseColumn(2)), " 123");

    s = ed.command("d 0\r");
    EXPECT_EQ(page.poseCount, 2);
    EXPECT_EQ(page.poses[0].values[1], 200);
    EXPECT_EQ(s.at(10, 77), "  2");
    // Out-of-range poses are refused with a message and change nothing.
    for (const char* bad : {"d 5\r", "move 0 4\r", "m 7\r", "w 4\r", "go 3\r", "i 9\r"}) {
        s = ed.command(bad);
        EXPECT_EQ(page.poseCount, 2) << bad;
        EXPECT_TRUE(s.has(35, 3)) << bad;
    }
    // go: the robot takes the pose.
    s = ed.command("go 1\r");
    EXPECT_EQ(ed.editor().currentValue(1), page.poses[1].values[1]);
    EXPECT_EQ(s.at(34, 72), "  1");
    // Seven poses at most.
    for (int i = 0; i < 6; ++i)
        ed.command("write\r");
    EXPECT_EQ(page.poseCount, 7);
    s = ed.command("i 0\r");
    EXPECT_EQ(page.poseCount, 7);
}

TEST(ScreenEditor, LeavingAnUnsavedPageAsksAndSaveWritesMemory)
{
    Editor ed;
    ed.command("write\r");
    ScreenFields s = ed.command("page 5\r");
    EXPECT_NE(ed.message(s).find("Are you sure?"), std::string::npos);
    EXPECT_EQ(s.fullRepaints, 0);
    s = ed.command("n");
    EXPECT_EQ(ed.editor().pageNumber(), 1);
    EXPECT_TRUE(ed.editor().dirty());

    s = ed.command("save\r");
    EXPECT_NE(ed.message(s).find("Writing"), std::string::npos);
    EXPECT_TRUE(ed.controller.takeMemoryChanged());
    EXPECT_EQ(sim::MotionPage::decode(ed.memory.page(1)).poseCount, 1);

    s = ed.command("page 5\r");
    EXPECT_EQ(s.fullRepaints, 1) << "a saved page is left without asking";
    EXPECT_EQ(s.at(2, 76), "   5");
    EXPECT_EQ(s.at(3, 70), "0000EA00");
    ed.command("write\r");
    s = ed.command("b\r");
    EXPECT_NE(ed.message(s).find("Are you sure?"), std::string::npos);
    s = ed.command("y");
    EXPECT_EQ(s.fullRepaints, 1);
    EXPECT_EQ(ed.editor().pageNumber(), 4);
    EXPECT_EQ(sim::MotionPage::decode(ed.memory.page(5)).poseCount, 0) << "the unsaved pose was given up";

    s = ed.command("n\r");
    EXPECT_EQ(ed.editor().pageNumber(), 5);
    s = ed.command("p 0\r");
    EXPECT_EQ(s.at(2, 76), "   0");
    // Refused page changes still repaint, so an editor waiting for the repaint comes back.
    s = ed.command("page 128\r");
    EXPECT_EQ(s.fullRepaints, 1);
    EXPECT_EQ(ed.editor().pageNumber(), 0);
    s = ed.command("b\r");
    EXPECT_EQ(s.fullRepaints, 1);

    // Saved pages survive leaving the editor.
    ed.command("page 1\r");
    ed.command("\rexit\ry");
    EXPECT_EQ(ed.controller.mode(), Mode::Menu);
    ed.send("\r", 600); // the menu still highlights the Screen entry
    ASSERT_EQ(ed.controller.mode(), Mode::Screen);
    EXPECT_EQ(ed.editor().page().poseCount, 1);
}

TEST(ScreenEditor, ExitFromADirtyPageNeedsTheYes)
{
    Editor ed;
    ed.command("write\r");
    ScreenFields s = ed.command("\rexit\r");
    EXPECT_NE(ed.message(s).find("Are you sure?"), std::string::npos);
    EXPECT_EQ(ed.controller.mode(), Mode::Screen);
    ed.command("y");
    EXPECT_EQ(ed.controller.mode(), Mode::Menu);
    EXPECT_EQ(ed.send("***", 200), std::string("\1\1", 2));
}

TEST(ScreenEditor, ExitLeavesTheEditorWhateverQuestionIsPending)
{
    // A PC closing its link sends "\rexit\ry" without reading the screen first; a question
    // left open by the last command must not take the "y" and keep the controller here.
    struct Case {
        const char* name;
        bool dirty;
        const char* asking;
    };
    const Case cases[] = {
        {"unsaved page, page change asked", true, "page 5\r"},
        {"unsaved page, previous page asked", true, "b\r"},
        {"clean page, go to an incomplete pose asked", false, "go 0\r"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Editor ed;
        sim::MotionPage stored;
        stored.poseCount = 1;
        stored.poses[0].values[5] = sim::kUnknownValue;
        stored.encode(ed.memory.page(3));
        ed.command("page 3\r");
        if (c.dirty)
            ed.command("write\r");
        ed.command(c.asking);
        ASSERT_TRUE(ed.editor().questionPending());
        ed.command("\rexit\ry");
        EXPECT_EQ(ed.controller.mode(), Mode::Menu);
        EXPECT_EQ(ed.send("***", 200), std::string("\1\1", 2)) << "the menu answers the probe";
        EXPECT_EQ(sim::MotionPage::decode(ed.memory.page(3)).poseCount, 1) << "nothing was saved";
    }
}

TEST(ScreenEditor, GoToAPoseWithUnknownValuesAsksFirst)
{
    Editor ed;
    // A restored page whose pose 0 holds no value for joint 5, which does report its position.
    sim::MotionPage stored;
    stored.poseCount = 1;
    stored.poses[0].values[4] = 640;
    stored.poses[0].values[5] = sim::kUnknownValue;
    stored.encode(ed.memory.page(2));
    ed.command("page 2\r");
    ScreenFields s = ed.command("go 0\r");
    EXPECT_NE(ed.message(s).find("Are you sure?"), std::string::npos);
    ed.command("n");
    EXPECT_EQ(ed.editor().currentValue(4), 512) << "declined: the robot stays";
    ed.command("go 0\r");
    s = ed.command("y");
    EXPECT_EQ(ed.editor().currentValue(4), 640);
    EXPECT_EQ(ed.editor().currentValue(5), 512) << "a joint without a target keeps its place";
    EXPECT_EQ(s.at(5, 20), " 640");
    EXPECT_EQ(s.at(34, 72), "  0");
}

TEST(ScreenEditor, NameCommandSetsTheName)
{
    Editor ed;
    ScreenFields s = ed.command("name\rA very long page name\r");
    EXPECT_EQ(ed.editor().page().name, "A very long pag");
    EXPECT_EQ(s.at(1, 64), "A very long pag");
    s = ed.command("name\rHi\r");
    EXPECT_EQ(s.at(1, 64), "Hi") << "the old name is blanked first, then the new one painted";
    EXPECT_NE(ed.last.find(std::string("\x02\x1b[1;64f") + std::string(15, ' ')), std::string::npos);
}

TEST(ScreenEditor, PlayRunsThePosesThenSaysOkAndEscStopsIt)
{
    Editor ed;
    ed.command("goto 0 1\r");
    ed.command("set 100\r");
    ed.command("write\r");
    ed.command("set 900\r");
    ed.command("write\r");
    ed.command("goto 9 4\r");
    ed.command("set 2\r"); // two rounds

    ScreenFields s = ed.command("play 1\r", 10);
    EXPECT_TRUE(ed.editor().playing());
    std::string playingMessage = ed.message(s);
    EXPECT_EQ(playingMessage.find("OK"), std::string::npos) << "OK ends the play on the PC";
    std::string all;
    for (int i = 0; i < 20 && ed.editor().playing(); ++i)
        all += ed.send("", 100);
    EXPECT_FALSE(ed.editor().playing());
    ScreenFields played = parseScreen(all);
    EXPECT_NE(ed.message(played).find("OK"), std::string::npos);
    EXPECT_EQ(ed.editor().currentValue(1), 900);
    EXPECT_TRUE(played.has(2, 20));

    // Endless chain: page 1 continues with itself until ESC.
    ed.command("goto 9 14\r");
    ed.command("set 1\r");
    ed.command("play 1\r", 10);
    ed.send("", 3000);
    EXPECT_TRUE(ed.editor().playing());
    s = ed.command("\x1b", 10);
    EXPECT_FALSE(ed.editor().playing());
    EXPECT_NE(ed.message(s).find("OK"), std::string::npos);

    s = ed.command("\x1b", 10);
    EXPECT_TRUE(s.has(35, 3)) << "an ESC after the play ended is still answered";

    s = ed.command("play 9\r", 10);
    EXPECT_NE(ed.message(s).find("OK"), std::string::npos) << "an empty page ends at once";
    s = ed.command("play 200\r", 10);
    EXPECT_FALSE(ed.editor().playing());
}

TEST(ScreenEditor, TorqueOnAndOffShowPerJoint)
{
    Editor ed;
    ScreenFields s = ed.command("off 1 2\r");
    EXPECT_EQ(s.at(2, 61), "off");
    EXPECT_EQ(s.at(3, 61), "off");
    s = ed.command("on 2\r");
    EXPECT_EQ(s.at(3, 61), "on ");
    EXPECT_FALSE(s.has(2, 61));
    s = ed.command("on 25\r");
    EXPECT_NE(ed.message(s).find("No joint"), std::string::npos);
    s = ed.command("frobnicate\r");
    EXPECT_NE(ed.message(s).find("Unknown command"), std::string::npos);
}

// Every command of the editor's table checks its arguments before it acts: the wrong count or a
// word that is no number answers with the command's usage and leaves page and screen alone.
TEST(ScreenEditor, EachCommandAnswersItsUsageForTheWrongArguments)
{
    // clang-format off
    const struct {
        const char* line;
        const char* message;
    } cases[] = {
        {"page\r", "Usage: page N"},          {"page 1 2\r", "Usage: page N"},
        {"n 1\r", "Usage: n"},                {"b x\r", "Usage: b"},
        {"p\r", "Usage: p N"},                {"goto 1\r", "Usage: goto N M"},
        {"goto 1 x\r", "Usage: goto N M"},    {"set\r", "Usage: set N"},
        {"go 1 2\r", "Usage: go N"},          {"w\r", "Usage: w N"},
        {"i x\r", "Usage: i N"},              {"write 0\r", "Usage: write"},
        {"move 1\r", "Usage: move N M"},      {"m\r", "Usage: m N"},
        {"d 1 2\r", "Usage: d N"},            {"on\r", "Usage: on ID [ID...]"},
        {"off 1 x\r", "Usage: off ID [ID...]"}, {"play\r", "Usage: play N"},
        {"PAGE 2\r", "Unknown command: PAGE 2"}, {"pages 2\r", "Unknown command: pages 2"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        Editor ed;
        ed.command("w 0\r");
        // The page as it would be stored, so that every field of it is compared.
        auto slot = [&ed] {
            std::vector<uint8_t> bytes(sim::ControllerMemory::kPageSize);
            ed.editor().page().encode(bytes.data());
            return bytes;
        };
        const std::vector<uint8_t> before = slot();
        ScreenFields s = ed.command(c.line);
        EXPECT_EQ(ed.message(s), c.message);
        EXPECT_EQ(s.fields.size(), 1u) << "only the message line: " << ed.last;
        EXPECT_EQ(s.fullRepaints, 0);
        EXPECT_EQ(slot(), before);
        EXPECT_EQ(ed.editor().pageNumber(), 1);
    }
}
