#include "termcore/TerminalScreen.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <tuple>

using termcore::FontMetrics;
using termcore::ScrollCode;
using termcore::TerminalScreen;

namespace {

constexpr int kCw = 10, kLh = 16;

struct Screen : ::testing::Test {
    TerminalScreen s;
    void SetUp() override { ASSERT_TRUE(s.create(80, 1200, FontMetrics{kCw, kLh}, 80 * kCw, 36 * kLh)); }
    void put(const std::string& text) { s.write(reinterpret_cast<const uint8_t*>(text.data()), text.size()); }
    std::string row(int r, int from = 0, int count = 80)
    {
        std::string out;
        for (int c = from; c < from + count; ++c)
            out.push_back(static_cast<char>(s.cell(c, r)));
        return out;
    }
    // The cursor as (row, column).
    std::pair<int, int> at() const { return {s.cursorRow(), s.cursorColumn()}; }
    void lines(int n)
    {
        for (int i = 0; i < n; ++i)
            put("x\r\n");
    }
};

TEST(TerminalScreenCreate, RefusesSmallBuffersAndSecondCreate)
{
    TerminalScreen s;
    EXPECT_FALSE(s.create(30, 1200, {10, 16}, 800, 576));
    EXPECT_FALSE(s.create(80, 400, {10, 16}, 800, 576));
    EXPECT_TRUE(s.create(31, 401, {10, 16}, 800, 576));
    EXPECT_FALSE(s.create(80, 1200, {10, 16}, 800, 576));
    s.destroy();
    EXPECT_TRUE(s.create(80, 1200, {10, 16}, 800, 576));
}

TEST_F(Screen, CarriageReturnOverwritesAndLineFeedKeepsColumn)
{
    put("AB\rC");
    EXPECT_EQ(row(0, 0, 3), "CB ");
    EXPECT_EQ(s.cursor(), 1);
    s.clear();
    put("AB\nC");
    EXPECT_EQ(row(0, 0, 2), "AB");
    EXPECT_EQ(row(1, 0, 3), "  C");
    EXPECT_EQ(at(), std::pair(1, 3));
}

TEST_F(Screen, BackspaceCrossesRowsAndStopsAtCellZero)
{
    put("\x08");
    EXPECT_EQ(s.cursor(), 0);
    put("Q\x08");
    EXPECT_EQ(s.cell(0, 0), ' ');
    EXPECT_EQ(s.cursor(), 0);
    put(std::string(80 * 5, 'z')); // every 81st character wraps to the next row
    ASSERT_EQ(at(), std::pair(5, 0));
    put("\x08");
    EXPECT_EQ(at(), std::pair(4, 79));
    EXPECT_EQ(s.cell(79, 4), ' ');
    EXPECT_EQ(s.cell(78, 4), 'z');
}

TEST_F(Screen, IgnoredBytesLeaveNoTrace)
{
    std::string junk;
    for (int b = 0; b < 0x20; ++b)
        if (b != 0x08 && b != 0x0A && b != 0x0D && b != 0x1B)
            junk.push_back(static_cast<char>(b));
    for (int b = 0x7F; b <= 0xFF; ++b)
        junk.push_back(static_cast<char>(b));
    put(junk);
    EXPECT_EQ(s.cursor(), 0);
    EXPECT_EQ(row(0), std::string(80, ' '));
    EXPECT_TRUE(s.invalidRect().empty());
}

TEST_F(Screen, OverflowDropsTwoHundredRowsWithoutMovingText)
{
    for (int r = 0; r < 1199; ++r)
        put("row" + std::to_string(r) + "\r\n");
    const int scrollBefore = s.scrollY();
    ASSERT_EQ(s.cursorRow(), 1199);
    ASSERT_EQ(s.ringStart(), 0);
    put("\n");
    EXPECT_EQ(s.cursorRow(), 1000);
    EXPECT_EQ(s.ringStart(), 200 * 80);
    EXPECT_EQ(row(0, 0, 6), "row200");
    EXPECT_EQ(row(998, 0, 7), "row1198");
    EXPECT_EQ(row(1100, 0, 4), "    "); // blanked, not stale
    // The view follows the text: 200 lines up, then the line feed's own auto-scroll.
    EXPECT_LE(s.scrollY(), scrollBefore - 200 * kLh + 2 * kLh);
    EXPECT_GE(s.scrollY(), 0);
    EXPECT_GE(s.contentHeight(), 0);
    // Printing past the very last cell also triggers the discard.
    s.clear();
    for (int r = 0; r < 1199; ++r)
        put("\n");
    put(std::string(80, 'e'));
    EXPECT_EQ(at(), std::pair(1000, 0));
    EXPECT_EQ(s.cell(79, 999), 'e');
}

TEST_F(Screen, RingWrapsAroundSeveralTimes)
{
    for (int r = 0; r < 5000; ++r)
        put(std::to_string(r) + "\r\n");
    EXPECT_EQ(row(s.cursorRow() - 1, 0, 4), "4999");
    for (int r = 0; r < s.rows(); ++r)
        ASSERT_NE(s.rowData(r), nullptr);
}

TEST_F(Screen, CursorPositioningIsRelativeToTheControllersScreen)
{
    put("\x1b[3;10H");
    EXPECT_EQ(at(), std::pair(2, 9));
    put("\x1b[99;200H");
    EXPECT_EQ(at(), std::pair(98, 79));
    ASSERT_GT(s.scrollY(), 0); // row 98 pulled the view down
    // The screen the controller paints is the last 36 rows in use, rows 63..98 now.
    put("\x1b[5;7f");
    EXPECT_EQ(at(), std::pair(4 + 99 - 36, 6));

    // With the view scrolled down by 50 lines (rows 0..84 in use) the screen is rows 49..84,
    // wherever the view stands.
    TerminalScreen t;
    ASSERT_TRUE(t.create(80, 1200, {kCw, kLh}, 80 * kCw, 36 * kLh));
    for (int i = 0; i < 200 && t.scrollY() < 50 * kLh; ++i)
        t.write("\n");
    ASSERT_EQ(t.scrollY(), 50 * kLh);
    ASSERT_EQ(t.usedRows(), 85);
    t.write("\x1b[3;10H");
    EXPECT_EQ(t.cursorRow(), 2 + 85 - 36);
    EXPECT_EQ(t.cursorColumn(), 9);
}

// The controller's page editor paints its 36 rows with cursor positioning. Whatever the view
// shows (a short window, a window the user scrolled), every field lands on the same cell.
TEST(TerminalScreenPainting, PageLandsOnTheSameRowsInAnyWindow)
{
    struct Case {
        const char* what;
        int viewRows;
        int handScrollLines; // lines scrolled up by hand before the page comes
    };
    const Case cases[] = {
        {"36 rows", 36, 0}, {"20 rows", 20, 0}, {"4 rows", 4, 0}, {"20 rows scrolled up", 20, 30}};
    for (const Case& c : cases) {
        TerminalScreen t;
        ASSERT_TRUE(t.create(80, 1200, {kCw, kLh}, 80 * kCw, c.viewRows * kLh));
        for (int i = 0; i < 100; ++i)
            t.write(("console line " + std::to_string(i) + "\r\n").c_str());
        for (int i = 0; i < c.handScrollLines; ++i)
            t.verticalScroll(ScrollCode::LineUp);
        // The page: a clear (swallowed), then each row painted in place, bottom row first.
        std::string page = "\x1b[2J";
        for (int r = 36; r >= 1; --r)
            page += "\x1b[" + std::to_string(r) + ";3H" + "joint " + std::to_string(r);
        t.write(reinterpret_cast<const uint8_t*>(page.data()), page.size());
        const int top = 101 - 36; // rows 0..100 are in use: the screen is rows 65..100
        for (int r = 1; r <= 36; ++r) {
            std::string text;
            const std::string want = "joint " + std::to_string(r);
            for (int col = 2; col < 2 + int(want.size()); ++col)
                text.push_back(static_cast<char>(t.cell(col, top + r - 1)));
            ASSERT_EQ(text, want) << c.what << ", row " << r;
        }
        EXPECT_EQ(t.usedRows(), 101) << c.what;
    }
}

// Scroll Lock keeps the view where the user put it while text keeps arriving; the text is
// kept, and the view follows again once it is off.
TEST_F(Screen, ScrollLockHoldsTheViewWhileTextArrives)
{
    auto numbered = [&](int from, int count) {
        for (int i = from; i < from + count; ++i) {
            char line[16];
            std::snprintf(line, sizeof line, "%04d\r\n", i);
            put(line);
        }
    };
    numbered(0, 600);
    for (int i = 0; i < 10; ++i)
        s.verticalScroll(ScrollCode::LineUp);
    const int held = s.scrollY();
    const std::string before = row(held / kLh, 0, 4);
    s.setScrollLock(true);
    numbered(600, 50);
    EXPECT_EQ(s.scrollY(), held);
    EXPECT_EQ(s.usedRows(), 651);
    // ... also across the discard of the oldest rows: the same text stays in view.
    numbered(650, 650);
    EXPECT_LT(s.scrollY(), held);
    EXPECT_EQ(row(s.scrollY() / kLh, 0, 4), before);
    s.setScrollLock(false);
    put("x");
    EXPECT_GE(s.scrollY() + s.viewHeight(), s.contentHeight()); // following the cursor again
}

// Growing the view shows more of the history, not blank rows below the text; a new font
// keeps the view on the same rows.
TEST_F(Screen, GrowingTheViewShowsHistoryAndFontsKeepTheRows)
{
    for (int i = 0; i < 100; ++i)
        put("line\r\n");
    s.setViewSize(80 * kCw, 46 * kLh);
    EXPECT_LE(s.scrollY() + s.viewHeight(), s.contentHeight());
    EXPECT_EQ(s.scrollY(), s.contentHeight() - 46 * kLh);
    const int topRow = s.scrollY() / kLh;
    s.setMetrics({12, 20});
    EXPECT_EQ(s.scrollY(), topRow * 20);
    EXPECT_EQ(s.contentHeight(), 101 * 20);
    EXPECT_EQ(s.lineHeight(), 20);
}

TEST_F(Screen, EscapeWithoutNumbersGoesToTopLeftClamped)
{
    put("abc\x1b[H");
    EXPECT_EQ(s.cursor(), 0);
    put("abc\x1b"
        "H"); // no "[": no numbers at all
    EXPECT_EQ(s.cursor(), 0);
    EXPECT_FALSE(s.inEscape());
    put("\x1b[;5H");
    EXPECT_EQ(at(), std::pair(0, 4));
    // Huge and negative numbers saturate and clamp instead of overflowing.
    put("\x1b[999999999H");
    EXPECT_EQ(at(), std::pair(1199, 0));
    put("\x1b[;-5;9H");
    EXPECT_EQ(s.cursorColumn(), 0);
}

TEST_F(Screen, OtherSequencesAreSwallowedAndLongOnesShown)
{
    put("\x1b[2J\x1b[0mX");
    EXPECT_EQ(row(0, 0, 2), "X ");
    s.clear();
    put("\x1b[1234567890Y");
    EXPECT_EQ(row(0, 0, 12), "[1234567890Y");
    EXPECT_FALSE(s.inEscape());
    // Control codes inside a sequence are collected too, and shown verbatim when flushed.
    s.clear();
    put("\x1b\x01\x02\x03\x04\x05\x06\x07\x0e\x0f\x10\x11");
    EXPECT_EQ(s.cursor(), 11);
    EXPECT_EQ(s.cell(0, 0), 0x01);
    EXPECT_EQ(s.cell(10, 0), 0x11);
}

TEST_F(Screen, SequenceSplitAcrossWritesStillWorks)
{
    put("\x1b[1");
    EXPECT_TRUE(s.inEscape());
    put("0;2");
    put("0H");
    EXPECT_EQ(at(), std::pair(9, 19));
}

TEST_F(Screen, DirtyRectangleCoversTouchedCellsPlusOneCellMargin)
{
    put("\r\n\r\n");
    put("\x1b[3;5Habc");
    const auto r = s.invalidRect();
    EXPECT_EQ(r.left, 3 * kCw);
    EXPECT_EQ(r.top, 1 * kLh);
    EXPECT_EQ(r.right, 8 * kCw);
    EXPECT_EQ(r.bottom, 3 * kLh);
    put("\x1b[1;1H");
    EXPECT_TRUE(s.invalidRect().empty());
    put("Z"); // clipped to the view at the top-left corner
    EXPECT_EQ(s.invalidRect().left, 0);
    EXPECT_EQ(s.invalidRect().top, 0);
}

TEST_F(Screen, AutoScrollFollowsTheCursorDown)
{
    for (int i = 0; i < 35; ++i)
        put("\n");
    EXPECT_EQ(s.scrollY(), 0);
    put("\n"); // row 36 is the first below the 36 visible rows
    EXPECT_GT(s.scrollY(), 0);
    EXPECT_EQ(s.scrollY() % kLh, 0);
    const auto caret = s.caretRect();
    EXPECT_LE(caret.bottom, s.viewHeight());
    EXPECT_GE(caret.top, 0);
    EXPECT_EQ(caret.right - caret.left, kCw);
    EXPECT_EQ(caret.bottom - caret.top, 2);
}

TEST_F(Screen, HandScrollIsUndoneByTheNextBatchAndStaysInRange)
{
    for (int i = 0; i < 100; ++i)
        put("line\r\n");
    const int bottom = s.scrollY();
    EXPECT_TRUE(s.verticalScroll(ScrollCode::PageUp));
    EXPECT_EQ(s.scrollY(), bottom - 36 * kLh);
    EXPECT_TRUE(s.userScrolled());
    s.wheel(120);
    EXPECT_EQ(s.scrollY(), bottom - 37 * kLh);
    for (int i = 0; i < 20; ++i)
        s.verticalScroll(ScrollCode::PageUp);
    EXPECT_EQ(s.scrollY(), 0);
    put("more");
    EXPECT_EQ(s.scrollY(), bottom);
    EXPECT_FALSE(s.userScrolled());
    // Thumb tracking rounds to whole lines.
    s.verticalScroll(ScrollCode::ThumbTrack, 5 * kLh + 3);
    EXPECT_EQ(s.scrollY() % kLh, 0);
    for (int i = 0; i < 20; ++i)
        s.verticalScroll(ScrollCode::PageDown);
    EXPECT_LE(s.scrollY(), std::max(s.contentHeight() - 36 * kLh, bottom));
}

TEST_F(Screen, ShortContentNeverInvertsTheScrollLimits)
{
    put("one line");
    EXPECT_FALSE(s.verticalScroll(ScrollCode::PageDown));
    EXPECT_FALSE(s.verticalScroll(ScrollCode::ThumbTrack, 500));
    EXPECT_FALSE(s.horizontalScroll(ScrollCode::PageDown));
    EXPECT_EQ(s.scrollX(), 0);
    EXPECT_EQ(s.scrollY(), 0);
    EXPECT_EQ(s.verticalMaximum(), 0);
    EXPECT_EQ(s.horizontalMaximum(), 0);
}

TEST(TerminalScreenMetrics, ZeroFontMetricsNeverDivide)
{
    TerminalScreen s;
    ASSERT_TRUE(s.create(80, 1200, {0, 0}, 0, 0));
    for (int i = 0; i < 50; ++i)
        s.write("text\r\n\x1b[H\x1b[3;4H");
    s.verticalScroll(ScrollCode::ThumbTrack, 7);
    s.verticalScroll(ScrollCode::PageDown);
    s.horizontalScroll(ScrollCode::ThumbTrack, 7);
    EXPECT_GE(s.scrollY(), 0);
    EXPECT_GE(s.scrollX(), 0);
    EXPECT_EQ(s.cursorRow(), 2);
    EXPECT_EQ(s.cursorColumn(), 3);
}

TEST_F(Screen, ClearResetsEverything)
{
    for (int i = 0; i < 60; ++i)
        put("abc\r\n");
    s.verticalScroll(ScrollCode::LineUp);
    s.clear();
    EXPECT_EQ(s.cursor(), 0);
    EXPECT_EQ(s.scrollY(), 0);
    EXPECT_EQ(s.contentHeight(), kLh);
    EXPECT_FALSE(s.userScrolled());
    EXPECT_EQ(row(0, 0, 3), "   ");
    EXPECT_EQ(s.invalidRect().right, s.viewWidth());
}

// Printable runs are stored a row piece at a time: the cells, the cursor, the ring and the
// touched rectangle must come out as if each byte had come on its own.
TEST(ScreenRuns, BlocksStoreWhatSingleBytesStore)
{
    std::string text;
    for (int i = 0; i < 1500; ++i)
        text += std::string(static_cast<size_t>(i % 170), static_cast<char>('!' + i % 90)) +
                (i % 3 ? "\r\n" : "\n\b");
    termcore::TerminalScreen whole, bytes;
    ASSERT_TRUE(whole.create(80, 1200, {kCw, kLh}, 800, 576));
    ASSERT_TRUE(bytes.create(80, 1200, {kCw, kLh}, 800, 576));
    whole.write(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    for (char c : text)
        bytes.write(reinterpret_cast<const uint8_t*>(&c), 1);
    EXPECT_EQ(whole.cursor(), bytes.cursor());
    EXPECT_EQ(whole.ringStart(), bytes.ringStart());
    EXPECT_EQ(whole.discardedRows(), bytes.discardedRows());
    EXPECT_GT(whole.discardedRows(), 0);
    for (int r = 0; r < 1200; ++r)
        ASSERT_EQ(std::memcmp(whole.rowData(r), bytes.rowData(r), 80), 0) << r;

    struct Case {
        int column; // where the run starts on row 0
        const char* run;
        termcore::PixelRect touched; // in pixels
    };
    const Case cases[] = {
        {10, "abc", {9 * kCw, 0, 14 * kCw, kLh}}, // one cell left of the start to the cursor
        {78, "abcd", {0, 0, 80 * kCw, 2 * kLh}},  // wraps: whole rows
        {79, "a", {0, 0, 80 * kCw, 2 * kLh}},     // the cursor lands on the next row
    };
    for (const Case& c : cases) {
        termcore::TerminalScreen screen;
        ASSERT_TRUE(screen.create(80, 1200, {kCw, kLh}, 800, 576));
        screen.write((std::string(static_cast<size_t>(c.column), ' ')).c_str());
        screen.write(c.run);
        const auto r = screen.invalidRect();
        EXPECT_EQ(std::tie(r.left, r.top, r.right, r.bottom),
                  std::tie(c.touched.left, c.touched.top, c.touched.right, c.touched.bottom))
            << c.column << " " << c.run;
    }
}

} // namespace
