// The controls' rules without pixels: number parsing, window placement, the joint list's
// selection and value editor, and the two grids' editors.

#include "posewright_core/InfoGrids.h"
#include "posewright_core/JointList.h"
#include "posewright_core/ValueText.h"
#include "posewright_core/WindowPlacement.h"

#include <gtest/gtest.h>

using namespace posewright;

TEST(ValueText, NumbersAreParsedWithOverflowChecks)
{
    struct Case {
        const char* text;
        std::optional<int> value;
    };
    const Case cases[] = {
        {"0", 0},
        {"0127", 127},
        {" 512", 512},
        {"2147483647", 2147483647},
        {"2147483648", std::nullopt},
        {"12345678901234567890", std::nullopt},
        {"99999999999999999999999999", std::nullopt},
        {"", std::nullopt},
        {"   ", std::nullopt},
        {"-1", std::nullopt},
        {"12a", std::nullopt},
        {"+5", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parseNumber(c.text), c.value) << "'" << c.text << "'";
    EXPECT_EQ(parseNumberIn("127", 1, 127), 127);
    EXPECT_EQ(parseNumberIn("128", 1, 127), std::nullopt);
    EXPECT_EQ(parseNumberIn("0", 1, 127), std::nullopt);
    EXPECT_EQ(parseHex("0x0000EA00"), 0xEA00u);
    EXPECT_EQ(parseHex("0x1FFFFFFFF"), std::nullopt);
    EXPECT_EQ(zeroPadded4(7), "0007");
}

TEST(WindowPlacement, SavedPositionsAreClampedOntoTheScreen)
{
    struct Case {
        ScreenPoint saved;
        int width, height;
        ScreenPoint expected;
    };
    const Case cases[] = {
        {{-50, 5000}, 1024, 768, {0, 668}},
        {{100, 200}, 1024, 768, {100, 200}},
        {{924, 667}, 1024, 768, {924, 667}},
        {{923, 668}, 1024, 768, {923, 668}},
        {{925, 669}, 1024, 768, {924, 668}},
        {{300, 50}, 99, 768, {0, 50}}, // narrower than 100 pixels: x is 0 whatever was saved
        {{0, 0}, 60, 40, {0, 0}},
        {{10, 10}, 100, 100, {0, 0}}, // limit 0: at or above it
        {{2147483647, -2147483647 - 1}, 2147483647, 768, {2147483547, 0}},
        {{5, 5}, -2147483647 - 1, 300, {0, 5}}, // a broken display query does not overflow
    };
    for (const Case& c : cases) {
        const ScreenPoint p = clampWindowPosition(c.saved, c.width, c.height);
        EXPECT_EQ(p, c.expected) << c.saved.x << "," << c.saved.y << " on " << c.width << "x" << c.height;
    }
}

namespace {

JointList liveList()
{
    JointList list;
    list.setProfile({{1, "R shoulder"}, {2, "L shoulder"}, {5, "R elbow"}, {7, "absent"}});
    list.setLive(true);
    list.setEnabled(true);
    list.setJoint(1, true, true, 512);
    list.setJoint(2, true, true, 300);
    list.setJoint(5, true, false, 0);
    list.setJoint(7, false, false, 0);
    return list;
}

std::pair<int, int> inCell(int index)
{
    const CellRect r = JointList::cellRect(index);
    return {r.left + 5, r.top + 5};
}

} // namespace

TEST(JointList, CellsShowValuesUnknownsAndAbsentJoints)
{
    JointList list = liveList();
    EXPECT_EQ(JointList::cellText(list.joints()[0]), "0512");
    EXPECT_EQ(JointList::cellText(list.joints()[2]), "????");
    EXPECT_EQ(JointList::cellText(list.joints()[3]), "N/A");
    EXPECT_EQ(list.label(0), " 01  R shoulder");
    EXPECT_FALSE(list.allPresentKnown());
    list.setJoint(5, true, true, 20);
    EXPECT_TRUE(list.allPresentKnown());
    EXPECT_FALSE(list.setJoint(9, true, true, 1)) << "no such joint in the profile";
    EXPECT_EQ(JointList::cellRect(3), (CellRect{160, 80, 40, 18}));
}

TEST(JointList, SelectionFollowsClicksAndCtrl)
{
    struct Step {
        int cell; // -1: outside every cell
        bool ctrl;
        std::string selected;
        bool picked;
        bool editor;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"one known joint picks it", {{0, false, " 1", true, true}}},
        {"a click elsewhere moves the pick", {{0, false, " 1", true, true}, {1, false, " 2", true, true}}},
        {"Ctrl adds a second joint and hides the editor",
         {{0, false, " 1", true, true}, {1, true, " 1 2", false, false}}},
        {"Ctrl on a selected joint removes it",
         {{0, false, " 1", true, true}, {1, true, " 1 2", false, false}, {0, true, " 2", true, true}}},
        {"a joint of unknown value is selected without the editor", {{2, false, " 5", false, false}}},
        {"an absent joint cannot be selected", {{3, false, "", false, false}}},
        {"a click outside clears the selection",
         {{0, false, " 1", true, true}, {-1, false, "", false, false}}},
        {"Ctrl outside keeps it", {{0, false, " 1", true, true}, {-1, true, " 1", true, true}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        JointList list = liveList();
        for (const Step& s : c.steps) {
            auto [x, y] = s.cell < 0 ? std::pair<int, int>{20, 300} : inCell(s.cell);
            const auto r = list.press(x, y, s.ctrl);
            EXPECT_EQ(list.selectedIds(), s.selected);
            EXPECT_EQ(r.picked, s.picked);
            EXPECT_EQ(list.editorVisible(), s.editor);
        }
    }
}

TEST(JointList, TheEditorShowsTheJointItIsOn)
{
    JointList list = liveList();
    auto [x, y] = inCell(0);
    ASSERT_TRUE(list.press(x, y, false).picked);
    EXPECT_EQ(list.editorText(), "0512");
    EXPECT_EQ(list.pickedId(), 1);
    list.setJoint(2, true, true, 999); // another joint changes
    EXPECT_EQ(list.editorText(), "0512");
    list.setJoint(1, true, true, 640);
    EXPECT_EQ(list.editorText(), "0640");
}

TEST(JointList, LiveAndEnabledGateTheList)
{
    JointList list = liveList();
    auto [x, y] = inCell(0);
    list.press(x, y, false);
    list.setEnabled(false);
    EXPECT_EQ(list.selectedIds(), "");
    EXPECT_FALSE(list.press(x, y, false).changed) << "a disabled list takes no clicks";
    list.setEnabled(true);
    list.press(x, y, false);
    list.setLive(false);
    EXPECT_FALSE(list.joints()[0].present);
    EXPECT_FALSE(list.editorVisible());
    EXPECT_EQ(list.selectedIds(), "");
    list.setLive(true);
    list.setJoint(1, false, false, 0);
    EXPECT_FALSE(list.press(x, y, false).changed) << "absent after the repaint";
    EXPECT_TRUE(list.hover(x, y));
    EXPECT_FALSE(list.hover(x, y));
    EXPECT_TRUE(list.leave());
}

TEST(PageGrid, EditorsFollowTheRowRules)
{
    PageGrid grid;
    EXPECT_EQ(grid.text(0), " No name");
    EXPECT_EQ(grid.text(2), "0x000000");
    const int cursorRows[] = {0, 1, -1, 4, 9, 11, 13, 14, 15};
    for (int row = 0; row < PageGrid::kRows; ++row)
        EXPECT_EQ(PageGrid::cursorRow(row), cursorRows[row]) << row;

    EXPECT_EQ(grid.doubleClick(1, 1, false), 0) << "disabled";
    grid.setEnabled(true);
    EXPECT_EQ(grid.doubleClick(1, 0, false), 0) << "the caption column";
    EXPECT_EQ(grid.doubleClick(2, 1, false), 0) << "the data address is read-only";
    EXPECT_FALSE(grid.editorOpen());

    grid.setValue(1, 1);
    struct Case {
        const char* name;
        int row;
        std::function<int(PageGrid&)> act;
        int code;
        bool openAfter;
    };
    const Case cases[] = {
        {"page 1 stepped down: nothing", 1, [](PageGrid& g) { return g.valueStepDown(); }, 0, false},
        {"page stepped up hides the editor", 1, [](PageGrid& g) { return g.valueStepUp(); }, GridStepUp,
         false},
        {"page 128 entered", 1, [](PageGrid& g) { return g.valueEntered("128"); }, 0, false},
        {"page 127 entered", 1, [](PageGrid& g) { return g.valueEntered("127"); }, GridEntered, false},
        {"play count stepped down stays open", 3, [](PageGrid& g) { return g.valueStepDown(); }, GridStepDown,
         true},
        {"play count stepped up stays open", 3, [](PageGrid& g) { return g.valueStepUp(); }, GridStepUp,
         true},
        {"play count entered", 3, [](PageGrid& g) { return g.valueEntered("9"); }, GridEntered, false},
        {"name entered", 0, [](PageGrid& g) { return g.nameEntered("Bow"); }, GridEntered, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(grid.doubleClick(c.row, 1, false), GridPicked);
        EXPECT_EQ(c.act(grid), c.code);
        EXPECT_EQ(grid.editorOpen(), c.openAfter);
        grid.hideEditor();
    }

    // A repaint reaches the open editor on its own row only.
    grid.doubleClick(5, 1, false);
    grid.setValue(6, 40);
    EXPECT_EQ(grid.editorText(), "0");
    grid.setValue(5, 33);
    EXPECT_EQ(grid.editorText(), "33");
    grid.setValue(2, 0xA1F0);
    EXPECT_EQ(grid.text(2), "0x0000A1F0");
    EXPECT_EQ(grid.value(2), 0xA1F0);
    grid.setEnabled(false);
    EXPECT_FALSE(grid.editorOpen()) << "disabling hides the editor";
}

TEST(PoseGrid, OnlyTheValueRowOpensAndRepaintsReachTheEditor)
{
    PoseGrid grid;
    EXPECT_EQ(PoseGrid::caption(0), std::string(" Speed"));
    EXPECT_EQ(PoseGrid::caption(13), std::string(" Pause"));
    EXPECT_EQ(grid.doubleClick(1, 3), 0) << "disabled";
    grid.setEnabled(true);
    EXPECT_EQ(grid.doubleClick(0, 3), 0) << "the header row";
    EXPECT_EQ(grid.doubleClick(1, 14), 0);
    EXPECT_EQ(grid.doubleClick(1, 3), GridPicked);
    EXPECT_EQ(grid.editedColumn(), 3);
    grid.setValue(2, 50);
    EXPECT_EQ(grid.editorText(), "0");
    grid.setValue(3, 25);
    EXPECT_EQ(grid.editorText(), "25");
    EXPECT_EQ(grid.valueEntered("30"), GridEntered);
    EXPECT_FALSE(grid.editorOpen());
    EXPECT_EQ(grid.editedText(), "30");
}
