// Line operations of BehaviorProgram: selection, current cell, insert, delete, copy, cut, paste,
// moving lines, and searching them.

#include "behaviour/BehaviorProgram.h"
#include "behaviour/ProgramFile.h"
#include "behaviour/ProgramSearch.h"

#include <gtest/gtest.h>

using namespace behaviour;

namespace {

// Answers the questions from a script and records them.
struct Questions {
    bool answer = true;
    std::vector<std::string> asked;
    ConfirmFunction fn()
    {
        return [this](const std::string& q) {
            asked.push_back(q);
            return answer;
        };
    }
};

const char* const kDeleteQuestion = "Do you want to continue to delete edited program line?";

// Gives line i a label naming it; "edited" lines are visited by the cursor as the editor does.
void tag(BehaviorProgram& p, int i, bool edited)
{
    p.line(i).label = "L" + std::to_string(i);
    if (edited) {
        p.setCurrent(i, 0);
        p.setCurrent(-1, -1);
    }
}

void tagAll(BehaviorProgram& p, bool edited)
{
    for (int i = 0; i < p.count(); ++i)
        tag(p, i, edited);
}

bool blank(const ProgramLine& l)
{
    ProgramLine fresh;
    return l == fresh;
}

std::pair<int, int> selection(const BehaviorProgram& p)
{
    return {p.selFirst(), p.selLast()};
}

std::pair<int, int> current(const BehaviorProgram& p)
{
    return {p.curLine(), p.curCell()};
}

// Raises the count to n by inserting at the end (those lines are blank).
void growTo(BehaviorProgram& p, int n)
{
    ASSERT_TRUE(p.insertLines(p.count(), n - p.count()).ok);
    ASSERT_EQ(p.count(), n);
}

// A program whose questions are answered by q; the line-changing tests share it.
struct ConfirmedProgram : ::testing::Test {
    BehaviorProgram p;
    Questions q;
    void SetUp() override { p.setConfirm(q.fn()); }
};
using DeleteLines = ConfirmedProgram;
using InsertLines = ConfirmedProgram;
using Clipboard = ConfirmedProgram;

} // namespace

TEST(ProgramLines, NewProgramHasHundredBlankLines)
{
    BehaviorProgram p;
    EXPECT_EQ(p.count(), 100);
    EXPECT_EQ(p.capacity(), 1000);
    EXPECT_EQ(p.selFirst(), -1);
    EXPECT_EQ(p.curLine(), -1);
    EXPECT_EQ(p.selectionSize(), 0);
    const ProgramCell& slot = p.cell(999, 0);
    EXPECT_EQ(slot.flags, CellFlag::InUse);
    EXPECT_EQ(slot.code, (std::array<uint8_t, 5>{0, 0, 255, 255, 255}));
    EXPECT_EQ(slot.entry, 51);
    EXPECT_EQ(slot.gridText, "Double click!");
    const ProgramCell& other = p.cell(0, 9);
    EXPECT_EQ(other.flags, 0);
    EXPECT_EQ(other.entry, NoEntry);
    EXPECT_EQ(other.fullText, "Double click!");
    EXPECT_EQ(p.line(0).separators[8].entry, NoEntry);
    EXPECT_EQ(p.image.length, 0);
}

TEST(ProgramLines, SelectionAndCurrentCell)
{
    BehaviorProgram p;
    p.selectOne(5);
    EXPECT_TRUE(p.line(5).selected());
    p.extendSelection(2); // the two ends are swapped
    EXPECT_EQ(selection(p), std::pair(2, 5));
    EXPECT_EQ(p.selectionSize(), 4);
    for (int i = 2; i <= 5; ++i)
        EXPECT_TRUE(p.line(i).selected());
    p.clearSelection();
    EXPECT_EQ(p.selectionSize(), 0);
    EXPECT_FALSE(p.line(3).selected());
    p.extendSelection(3); // from nothing: from line 0
    EXPECT_EQ(selection(p), std::pair(0, 3));
    p.selectOne(100); // outside the program: ignored
    EXPECT_EQ(p.selFirst(), 0);

    p.setCurrent(4, 2);
    EXPECT_EQ(p.line(4).flags & (LineFlag::Edited | LineFlag::Current), LineFlag::Edited | LineFlag::Current);
    p.setCurrent(6, 1);
    EXPECT_FALSE(p.line(4).flags & LineFlag::Current);
    EXPECT_TRUE(p.line(4).edited()); // edited stays
    p.setCurrent(6, 10);
    EXPECT_EQ(current(p), std::pair(-1, -1));
    EXPECT_FALSE(p.line(6).flags & LineFlag::Current);
}

TEST_F(DeleteLines, KeepsHundredLinesAndBlanksTheEnd)
{
    tagAll(p, false);
    LineChange r = p.deleteLines(97, 3); // reaches the end
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.lines, 0);
    EXPECT_EQ(p.count(), 100);
    EXPECT_TRUE(q.asked.empty()); // untouched lines: no question
    EXPECT_EQ(p.line(96).label, "L96");
    for (int i = 97; i < 100; ++i)
        EXPECT_TRUE(blank(p.line(i))) << i;

    r = p.deleteLines(10, 2);
    EXPECT_EQ(p.line(10).label, "L12");
    EXPECT_EQ(p.line(94).label, "L96");
    EXPECT_TRUE(blank(p.line(95)));
    EXPECT_TRUE(blank(p.line(99)));
}

TEST_F(DeleteLines, AsksOnceForEditedLinesAndCancelChangesNothing)
{
    tagAll(p, false);
    tag(p, 11, true);
    tag(p, 12, true);
    p.setCurrent(20, 3);
    p.selectOne(10);
    p.extendSelection(12);
    q.answer = false;
    const auto before = serializeProgram(p);
    EXPECT_FALSE(p.deleteLines(10, 3).ok);
    ASSERT_EQ(q.asked.size(), 1u);
    EXPECT_EQ(q.asked[0], kDeleteQuestion);
    EXPECT_EQ(serializeProgram(p), before);
    EXPECT_EQ(p.selectionSize(), 3);

    q.answer = true;
    EXPECT_TRUE(p.deleteLines(10, 3).ok);
    EXPECT_EQ(q.asked.size(), 2u);
    EXPECT_EQ(p.line(10).label, "L13");
    EXPECT_EQ(current(p), std::pair(17, 3)); // moved up with its line
    EXPECT_EQ(p.selectionSize(), 0);
    EXPECT_FALSE(p.line(10).selected());

    // Without any confirm function, edited lines are never deleted.
    BehaviorProgram silent;
    tag(silent, 3, true);
    EXPECT_FALSE(silent.deleteLines(3, 1).ok);
    EXPECT_EQ(silent.line(3).label, "L3");
}

TEST_F(DeleteLines, ShrinksALargerProgramAndMovesOrDropsTheCurrentCell)
{
    growTo(p, 103);
    tagAll(p, false);
    p.setCurrent(50, 1);
    LineChange r = p.deleteLines(49, 5);
    EXPECT_EQ(r.lines, 3); // never below 100
    EXPECT_EQ(p.count(), 100);
    EXPECT_EQ(p.curLine(), -1); // its line was deleted
    EXPECT_TRUE(blank(p.line(100)));
    EXPECT_TRUE(blank(p.line(102)));
    EXPECT_EQ(p.line(49).label, "L54");
}

TEST_F(DeleteLines, RangesAreClampedToTheProgram)
{
    tagAll(p, false);
    EXPECT_TRUE(p.deleteLines(-5, 2).ok); // wholly before the program: nothing
    EXPECT_EQ(p.line(0).label, "L0");
    EXPECT_TRUE(p.deleteLines(-1, 2).ok); // only line 0 lies in the range
    EXPECT_EQ(p.line(0).label, "L1");
    EXPECT_TRUE(p.deleteLines(98, 50).ok); // n clamped to the lines left
    EXPECT_EQ(p.line(97).label, "L98");    // after the first deletion line i holds L(i+1)
    EXPECT_TRUE(blank(p.line(98)));
    EXPECT_TRUE(p.deleteLines(5000, 3).ok);
    EXPECT_TRUE(p.deleteLines(3, -4).ok);
    EXPECT_TRUE(p.deleteLines(0x7FFFFFF0, 0x7FFFFFF0).ok);
    EXPECT_EQ(p.line(3).label, "L4");
}

TEST_F(InsertLines, ShiftsLinesSelectionAndCurrentCell)
{
    tagAll(p, false);
    p.selectOne(10);
    p.extendSelection(11);
    p.setCurrent(40, 2);
    LineChange r = p.insertLines(10, 2);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.lines, 2);
    EXPECT_EQ(p.count(), 102);
    EXPECT_TRUE(blank(p.line(10)));
    EXPECT_TRUE(blank(p.line(11)));
    EXPECT_EQ(p.line(12).label, "L10");
    EXPECT_EQ(p.line(101).label, "L99");
    EXPECT_EQ(selection(p), std::pair(12, 13));
    EXPECT_TRUE(p.line(12).selected());
    EXPECT_EQ(current(p), std::pair(42, 2));
    EXPECT_TRUE(q.asked.empty());
}

TEST_F(InsertLines, FullProgramDropsBlankEndLinesWithoutAsking)
{
    growTo(p, 1000);
    for (int i = 0; i < 990; ++i)
        tag(p, i, true);
    p.setCurrent(995, 0); // an edited line near the end, but not among the last three
    p.setCurrent(-1, -1);
    LineChange r = p.insertLines(0, 3);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.lines, 0);
    EXPECT_EQ(p.count(), 1000);
    EXPECT_TRUE(q.asked.empty());
    EXPECT_EQ(p.line(3).label, "L0");
    EXPECT_EQ(p.line(992).label, "L989");
    EXPECT_TRUE(p.line(998).edited()); // line 995 moved down by three
}

TEST_F(InsertLines, FullProgramAsksBeforeEditedLinesDrop)
{
    growTo(p, 1000);
    tagAll(p, true);
    q.answer = false;
    const auto before = serializeProgram(p);
    EXPECT_FALSE(p.insertLines(5, 2).ok);
    ASSERT_EQ(q.asked.size(), 1u);
    EXPECT_EQ(q.asked[0], kDeleteQuestion);
    EXPECT_EQ(serializeProgram(p), before);

    q.answer = true;
    EXPECT_TRUE(p.insertLines(5, 2).ok);
    EXPECT_EQ(p.line(7).label, "L5");
    EXPECT_EQ(p.line(999).label, "L997");
}

TEST_F(InsertLines, CancelKeepsTheCountIncrease)
{
    // 998 lines, the last two edited: inserting 5 adds 2 and pushes 3 off, which asks.
    growTo(p, 998);
    tagAll(p, true);
    q.answer = false;
    LineChange r = p.insertLines(0, 5);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(p.count(), 1000);
    EXPECT_EQ(p.line(0).label, "L0");
    EXPECT_TRUE(blank(p.line(999)));
}

TEST_F(InsertLines, NearTheEndOfAFullProgramNothingIsWrittenPastTheSlots)
{
    growTo(p, 1000);
    tagAll(p, false);
    p.setCurrent(999, 4);
    LineChange r = p.insertLines(997, 50);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(p.count(), 1000);
    EXPECT_EQ(p.line(996).label, "L996");
    EXPECT_TRUE(blank(p.line(997)));
    EXPECT_TRUE(blank(p.line(999)));
    EXPECT_EQ(p.curLine(), -1);           // pushed off the end
    EXPECT_TRUE(p.insertLines(-3, 1).ok); // clamped to 0
    EXPECT_TRUE(p.insertLines(1000, 1).ok);
    EXPECT_EQ(p.count(), 1000);
}

TEST(ToggleEnabled, FlipsTheDisabledFlagInTheRange)
{
    BehaviorProgram p;
    p.toggleEnabled(3, 1);
    EXPECT_TRUE(p.line(1).disabled());
    EXPECT_TRUE(p.line(3).disabled());
    EXPECT_FALSE(p.line(4).disabled());
    p.toggleEnabled(2, 2);
    EXPECT_FALSE(p.line(2).disabled());
    p.toggleEnabled(95, 5000);
    EXPECT_TRUE(p.line(99).disabled());
    EXPECT_FALSE(p.line(100).disabled());
}

TEST_F(Clipboard, CopyWritesCountAndLineRecordsWithoutTheSelectedFlag)
{
    EXPECT_TRUE(p.copySelection().empty());
    tag(p, 4, true);
    p.selectOne(4);
    p.extendSelection(5);
    auto block = p.copySelection();
    ASSERT_GE(block.size(), 4u);
    EXPECT_EQ(block[0], 2);
    EXPECT_EQ(block[1] | block[2] | block[3], 0);
    std::vector<ProgramLine> lines;
    ASSERT_TRUE(readLineBlock(block, 1000, lines));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].label, "L4");
    EXPECT_FALSE(lines[0].selected());
    EXPECT_TRUE(lines[0].edited());
}

TEST_F(Clipboard, PasteFiveOverThreeTakesTheOldSelectionStart)
{
    BehaviorProgram source;
    for (int i = 0; i < 5; ++i)
        source.line(i).comment = "pasted " + std::to_string(i);
    source.selectOne(0);
    source.extendSelection(4);
    auto block = source.copySelection();

    tagAll(p, false);
    p.selectOne(20);
    p.extendSelection(22);
    ASSERT_TRUE(p.pasteBlock(block));
    EXPECT_EQ(p.count(), 105); // the delete keeps 100 lines, the insert adds 5
    EXPECT_EQ(p.line(19).label, "L19");
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(p.line(20 + i).comment, "pasted " + std::to_string(i));
    EXPECT_EQ(p.line(25).label, "L23");
    EXPECT_EQ(selection(p), std::pair(20, 24));
    EXPECT_FALSE(p.line(20).selected()); // as in the block
    EXPECT_TRUE(q.asked.empty());
}

TEST_F(Clipboard, MalformedBlocksAreRefusedWhole)
{
    tagAll(p, false);
    p.selectOne(10);
    const auto before = serializeProgram(p);

    BehaviorProgram source;
    source.selectOne(0);
    source.extendSelection(2);
    auto good = source.copySelection();

    std::vector<std::vector<uint8_t>> bad = {
        {},                                                 // no count
        {0xFF, 0xFF, 0xFF, 0xFF},                           // -1 lines
        {0x00, 0x00, 0x00, 0x80},                           // huge negative
        {0xE9, 0x03, 0x00, 0x00},                           // 1001 lines
        {0xFF, 0xFF, 0xFF, 0x7F},                           // 2^31 - 1 lines
        std::vector<uint8_t>(good.begin(), good.end() - 1), // last line truncated
        std::vector<uint8_t>(good.begin(), good.begin() + 40),
    };
    for (size_t i = 0; i < bad.size(); ++i) {
        EXPECT_FALSE(p.pasteBlock(bad[i])) << i;
        EXPECT_EQ(serializeProgram(p), before) << i;
    }
    p.clearSelection();
    EXPECT_FALSE(p.pasteBlock(good)); // nothing selected
}

TEST_F(Clipboard, PasteNearTheEndKeepsWhatFits)
{
    BehaviorProgram source;
    source.setConfirm([](const std::string&) { return true; });
    growTo(source, 1000);
    for (int i = 0; i < 1000; ++i)
        source.line(i).comment = "c" + std::to_string(i);
    source.selectOne(0);
    source.extendSelection(999);
    auto block = source.copySelection();

    growTo(p, 1000);
    tagAll(p, false);
    p.selectOne(995);
    ASSERT_TRUE(p.pasteBlock(block));
    EXPECT_EQ(p.count(), 1000);
    EXPECT_EQ(p.line(994).label, "L994");
    EXPECT_EQ(p.line(995).comment, "c0");
    EXPECT_EQ(p.line(999).comment, "c4");
    EXPECT_EQ(selection(p), std::pair(995, 999));
}

TEST_F(Clipboard, PasteCancelledAtTheDeleteQuestionChangesNothing)
{
    BehaviorProgram source;
    source.selectOne(0);
    auto block = source.copySelection();
    tag(p, 7, true);
    p.selectOne(7);
    q.answer = false;
    EXPECT_FALSE(p.pasteBlock(block));
    EXPECT_EQ(p.line(7).label, "L7");
}

TEST_F(Clipboard, CutRemovesTheSelectionAndMovesOrClearsTheCurrentCell)
{
    growTo(p, 104);
    tagAll(p, false);
    p.setCurrent(60, 2);
    p.selectOne(10);
    p.extendSelection(14);
    CutResult r = p.cutSelection();
    EXPECT_EQ(r.removed, 4);
    EXPECT_EQ(p.count(), 100);
    EXPECT_EQ(p.line(10).label, "L15");
    EXPECT_EQ(p.curLine(), 55);
    EXPECT_EQ(p.selectionSize(), 0);
    std::vector<ProgramLine> lines;
    ASSERT_TRUE(readLineBlock(r.block, 1000, lines));
    EXPECT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[4].label, "L14");

    // A current cell inside the cut block keeps its indexes...
    p.setCurrent(31, 1);
    p.selectOne(30);
    p.extendSelection(32);
    p.cutSelection();
    EXPECT_EQ(p.curLine(), 31);
    // ...unless the program no longer reaches that line.
    growTo(p, 103);
    p.setCurrent(101, 4);
    p.selectOne(100);
    p.extendSelection(102);
    p.cutSelection();
    EXPECT_EQ(p.count(), 100);
    EXPECT_EQ(current(p), std::pair(-1, -1));
}

TEST(ProgramLines, MovingTheSelectionSwapsItWithTheLineItPasses)
{
    struct Case {
        int first, last, delta;
        bool moved;
        std::vector<int> order; // labels of lines 0..4 afterwards
        std::pair<int, int> selection;
        int current; // the current line was 2
    };
    const Case cases[] = {
        {1, 2, -1, true, {1, 2, 0, 3, 4}, {0, 1}, 1},  {1, 2, 1, true, {0, 3, 1, 2, 4}, {2, 3}, 3},
        {3, 3, -1, true, {0, 1, 3, 2, 4}, {2, 2}, 3}, // the current line is the one passed
        {0, 1, -1, false, {0, 1, 2, 3, 4}, {0, 1}, 2}, {98, 99, 1, false, {0, 1, 2, 3, 4}, {98, 99}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.first << ".." << c.last << " by " << c.delta);
        BehaviorProgram p;
        tagAll(p, false);
        p.setCurrent(2, 0);
        p.selectOne(c.first);
        p.extendSelection(c.last);
        EXPECT_EQ(p.moveSelection(c.delta), c.moved);
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(p.line(i).label, "L" + std::to_string(c.order[static_cast<size_t>(i)])) << i;
        EXPECT_EQ(selection(p), c.selection);
        EXPECT_EQ(p.curLine(), c.current);
        EXPECT_EQ(p.count(), 100);
    }
    BehaviorProgram none;
    EXPECT_FALSE(none.moveSelection(1));
}

TEST(ProgramSearch, FindsTextsAnywhereAndUsesOfANameOnly)
{
    BehaviorProgram p;
    p.line(0).label = "Loop";
    p.line(0).comment = "wait for the loop";
    p.cell(2, 5).fullText = "LOOP"; // a cell not in use is not searched
    p.cell(3, 0).fullText = "Loop count";
    EXPECT_EQ(findText(p, "loop"),
              (std::vector<FoundPlace>{{0, FoundPlace::LabelArea}, {0, FoundPlace::CommentArea}, {3, 0}}));
    EXPECT_TRUE(findText(p, "").empty());
    EXPECT_EQ(nameAt(p, {0, FoundPlace::LabelArea}), "Loop");
    EXPECT_EQ(nameAt(p, {3, 0}), ""); // an instruction cell names nothing
    // Uses compare exactly: "loop" is not "Loop".
    EXPECT_EQ(findUses(p, "Loop"), (std::vector<FoundPlace>{{0, FoundPlace::LabelArea}}));
    EXPECT_TRUE(findUses(p, "loop").empty());
}
