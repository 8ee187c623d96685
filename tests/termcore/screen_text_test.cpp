// Selection, copy text and search over the scroll-back.

#include "termcore/ScreenText.h"

#include <gtest/gtest.h>

#include <string>

using termcore::SelectUnit;
using termcore::TerminalScreen;
using termcore::TextSelection;

namespace {

struct Screen {
    TerminalScreen screen;
    explicit Screen(const std::string& text)
    {
        EXPECT_TRUE(screen.create(80, 1200, {10, 16}, 800, 576));
        screen.write(text.c_str());
    }
};

TEST(TextSelection, UnitsAndDragsCopyTheRightText)
{
    const std::string text = "ID:12 pos=0512 /dev/pts/5\r\nsecond line   \r\n\r\nfourth";
    struct Case {
        const char* name;
        SelectUnit unit;
        int column, row;     // press
        int toColumn, toRow; // drag end (same as press: no drag)
        std::string copied;
    };
    const Case cases[] = {
        {"click alone selects nothing", SelectUnit::Cell, 3, 0, 3, 0, ""},
        {"drag within a row", SelectUnit::Cell, 6, 0, 8, 0, "pos"},
        {"drag backwards", SelectUnit::Cell, 8, 0, 6, 0, "pos"},
        {"drag over rows drops trailing blanks", SelectUnit::Cell, 15, 0, 5, 1, "/dev/pts/5\nsecond"},
        {"drag over an empty row", SelectUnit::Cell, 7, 1, 2, 3, "line\n\nfou"},
        {"word with colon and digits", SelectUnit::Word, 1, 0, 1, 0, "ID:12"},
        {"path is one word", SelectUnit::Word, 19, 0, 19, 0, "/dev/pts/5"},
        {"= splits words", SelectUnit::Word, 11, 0, 11, 0, "0512"},
        {"double click on a blank", SelectUnit::Word, 5, 0, 5, 0, ""},
        {"word drag grows by words", SelectUnit::Word, 1, 0, 8, 0, "ID:12 pos"},
        {"triple click takes the line", SelectUnit::Line, 4, 1, 4, 1, "second line"},
        {"line drag takes whole lines", SelectUnit::Line, 70, 1, 0, 0,
         "ID:12 pos=0512 /dev/pts/5\nsecond line"},
    };
    for (const Case& c : cases) {
        Screen s(text);
        TextSelection sel;
        sel.start(s.screen, c.column, c.row, c.unit);
        sel.extend(s.screen, c.toColumn, c.toRow);
        EXPECT_EQ(sel.text(s.screen), c.copied) << c.name;
        EXPECT_EQ(sel.empty(), c.copied.empty() && c.unit == SelectUnit::Cell) << c.name;
    }
}

TEST(TextSelection, FullRowsRunOnAndSelectionsFollowTheDiscard)
{
    // 85 characters: the row is full, so the copy has no line break where it wrapped.
    const std::string longLine = std::string(80, 'a') + "bcdef";
    Screen s(longLine);
    TextSelection sel;
    sel.start(s.screen, 78, 0, SelectUnit::Cell);
    sel.extend(s.screen, 2, 1);
    EXPECT_EQ(sel.text(s.screen), "aabcd");
    sel.start(s.screen, 3, 0, SelectUnit::Word);
    EXPECT_EQ(sel.text(s.screen), longLine);

    // A word on row 300 stays selected as the oldest 200 rows go; the cells under it moved.
    Screen t("");
    for (int i = 0; i < 300; ++i)
        t.screen.write("\r\n");
    t.screen.write("marker here");
    sel.start(t.screen, 2, 300, SelectUnit::Word);
    ASSERT_EQ(sel.text(t.screen), "marker");
    for (int i = 0; i < 900; ++i)
        t.screen.write("\r\n");
    ASSERT_EQ(t.screen.discardedRows(), 200);
    EXPECT_EQ(sel.text(t.screen), "marker");
    EXPECT_TRUE(sel.contains(t.screen, 0, 100));
    EXPECT_FALSE(sel.contains(t.screen, 0, 300));
    // Scrolled off entirely: nothing is left to copy.
    for (int i = 0; i < 200; ++i)
        t.screen.write("\r\n");
    ASSERT_EQ(t.screen.discardedRows(), 400);
    EXPECT_EQ(sel.text(t.screen), "");
}

TEST(TextSelection, ControlBytesFromUnfinishedEscapesCopyAsBlanks)
{
    // ESC [ and ten digits is shown as its eleven characters; a control code among them too.
    Screen s(std::string("x\x1b") + "[12\x01" + "4567890y");
    TextSelection sel;
    sel.start(s.screen, 0, 0, SelectUnit::Line);
    EXPECT_EQ(sel.text(s.screen), "x[12 4567890y");
}

TEST(ScreenSearch, NextPreviousWrapAndCase)
{
    Screen s("ok one\r\nOK two\r\nnothing\r\nlast ok");
    using termcore::ScreenSearch;
    using termcore::TextMatch;
    struct Case {
        const char* name;
        std::string needle;
        int64_t from;
        bool forward;
        std::optional<TextMatch> expected;
    };
    const Case cases[] = {
        {"first from the top", "ok", -1, true, TextMatch{0, 2}},
        {"case does not matter", "ok", 0, true, TextMatch{80, 2}},
        {"next after the second", "ok", 80, true, TextMatch{245, 2}},
        {"forward wraps to the top", "ok", 245, true, TextMatch{0, 2}},
        {"backward from the bottom", "OK", -1, false, TextMatch{245, 2}},
        {"previous", "ok", 245, false, TextMatch{80, 2}},
        {"backward wraps to the bottom", "ok", 0, false, TextMatch{245, 2}},
        {"only match found from itself", "nothing", 160, true, TextMatch{160, 7}},
        {"absent", "xyz", -1, true, std::nullopt},
        {"empty needle", "", -1, true, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ScreenSearch::find(s.screen, c.needle, c.from, c.forward), c.expected) << c.name;

    // Text wrapped at column 80 is found across the row end; highlighting sees matches that
    // only end in the rows asked for.
    Screen w(std::string(77, '-') + "needle");
    EXPECT_EQ(ScreenSearch::find(w.screen, "needle", -1, true), (TextMatch{77, 6}));
    EXPECT_EQ(ScreenSearch::matchesInRows(w.screen, "needle", 1, 1), (std::vector<TextMatch>{{77, 6}}));
    EXPECT_EQ(ScreenSearch::matchesInRows(s.screen, "ok", 1, 2), (std::vector<TextMatch>{{80, 2}}));
    EXPECT_EQ(ScreenSearch::matchesInRows(s.screen, "ok", 0, 3).size(), 3u);
}

} // namespace
