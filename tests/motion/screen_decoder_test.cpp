// The screen-field decoder: every kind of field the controller paints, console text, damaged
// and split input, and the events it raises.

#include "motion/ScreenDecoder.h"

#include "motion/ScreenBytes.h"

#include <gtest/gtest.h>

#include <vector>

using namespace motion;
using motiontest::field;

namespace {

class DecoderTest : public ::testing::Test {
  protected:
    MotionScreen screen;
    std::vector<LinkEvent> events;
    ScreenDecoder decoder{screen, [this](const LinkEvent& e) { events.push_back(e); }};

    void feed(const std::string& s) { decoder.feed(reinterpret_cast<const uint8_t*>(s.data()), s.size()); }
    std::vector<LinkEventCode> codes() const
    {
        std::vector<LinkEventCode> out;
        for (const auto& e : events)
            out.push_back(e.code);
        return out;
    }
};

} // namespace

TEST_F(DecoderTest, FullRepaintFillsTheMirrorAndRaisesOneEventPerField)
{
    screen.selectedPose = 3;
    screen.statusA = 12;
    std::string paint =
        field(1, 1, "  MOTION EDIT  ") + field(1, 20, " 512") + field(2, 20, "   -") + field(3, 20, "?   ") +
        field(1, 26, " 100") + field(2, 56, "1023") + field(32, 21, " 10") + field(33, 21, "  5") +
        field(32, 27, "  7") + field(33, 57, "123") + field(1, 64, "Walk forward   ") + field(2, 76, "  12") +
        field(3, 70, "0000A1F0") + field(5, 77, "  1") + field(10, 77, "  4") + field(12, 77, "100") +
        field(14, 77, " 20") + field(15, 77, " 13") + field(16, 77, "  0") + field(33, 64, "07") +
        field(33, 69, "08") + field(33, 74, "1234") + field(34, 72, "  2") + field(35, 3, "Ready");
    feed(paint);

    EXPECT_TRUE(screen.inEditScreen);
    EXPECT_EQ(screen.current.joints[0], (JointCell{512, true, true}));
    EXPECT_FALSE(screen.current.joints[1].present); // right-aligned "-" is the absent marker too
    EXPECT_EQ(screen.current.joints[2], (JointCell{0, true, false}));
    EXPECT_EQ(screen.poses[0].joints[0].value, 100);
    EXPECT_EQ(screen.poses[6].joints[1].value, 1023);
    EXPECT_EQ(screen.current.pause, 10);
    EXPECT_EQ(screen.current.speed, 5);
    EXPECT_EQ(screen.poses[0].pause, 7);
    EXPECT_EQ(screen.poses[6].speed, 123);
    EXPECT_EQ(screen.pageName, "Walk forward   ");
    EXPECT_EQ(screen.pageNumber(), 12);
    EXPECT_EQ(screen.pageInfo[2], 41456);
    EXPECT_EQ(screen.pageInfoText(2), "0x0000A1F0");
    EXPECT_EQ(screen.pageInfo[3], 1);
    EXPECT_EQ(screen.poseCount(), 4);
    EXPECT_EQ(screen.pageInfo[5], 100);
    EXPECT_EQ(screen.pageInfo[6], 20);
    EXPECT_EQ(screen.pageInfo[7], 13);
    EXPECT_EQ(screen.pageInfo[8], 0);
    EXPECT_EQ(screen.statusA, 7);
    EXPECT_EQ(screen.statusB, 8);
    EXPECT_EQ(screen.selectedPose, 2);
    EXPECT_EQ(screen.message, "Ready");
    EXPECT_EQ(decoder.pendingBytes(), 0u);

    using C = LinkEventCode;
    std::vector<C> expected = {C::EditScreenChanged,   C::CurrentJointChanged, C::CurrentJointChanged,
                               C::CurrentJointChanged, C::PoseJointChanged,    C::PoseJointChanged,
                               C::CurrentPauseChanged, C::CurrentSpeedChanged, C::PosePauseChanged,
                               C::PoseSpeedChanged};
    for (int i = 0; i < 9; ++i)
        expected.push_back(C::PageInfoChanged);
    expected.push_back(C::SelectedPoseChanged);
    expected.push_back(C::MessageChanged);
    EXPECT_EQ(codes(), expected); // status fields are stored silently; the skipped banner raises nothing
    EXPECT_EQ(events[5].index, 6);
    EXPECT_EQ(events[5].secondIndex, 1);
    EXPECT_EQ(events[10].index, 0);
    EXPECT_EQ(events[10].text, "Walk forward   ");
    EXPECT_EQ(events[12].index, 2);
    EXPECT_EQ(events[12].value, 41456);

    // A new repaint clears the selection and status values.
    events.clear();
    feed(field(1, 1));
    EXPECT_EQ(screen.selectedPose, -1);
    EXPECT_EQ(screen.statusA, 0);
    EXPECT_EQ(codes(), std::vector<C>{C::EditScreenChanged});
}

TEST_F(DecoderTest, JointMarkersKeepTheValueButChangeTheFlags)
{
    feed(field(5, 20, " 512"));
    EXPECT_EQ(screen.current.joints[4], (JointCell{512, true, true}));
    feed(field(5, 20, "-   "));
    EXPECT_EQ(screen.current.joints[4], (JointCell{512, false, true}));
    feed(field(5, 20, "?   "));
    EXPECT_EQ(screen.current.joints[4], (JointCell{512, true, false}));
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[2].index, 4);
    EXPECT_TRUE(events[2].present);
    EXPECT_FALSE(events[2].known);
    feed(field(31, 51, "  33"));
    EXPECT_EQ(screen.poses[5].joints[30].value, 33); // last row, pose 5
}

TEST_F(DecoderTest, EmptyAndErasedFieldsChangeNothing)
{
    screen.current.joints[4] = {300, true, true};
    screen.poses[1].joints[2] = {400, true, true};
    feed(field(5, 20) + field(3, 31, "\b ") + field(6, 20, " 100") + field(5, 77) + field(4, 61, "\b ") +
         field(4, 61, "999"));
    EXPECT_EQ(screen.current.joints[4].value, 300);
    EXPECT_EQ(screen.poses[1].joints[2].value, 400);
    EXPECT_EQ(screen.current.joints[5].value, 100);
    EXPECT_EQ(screen.message, ""); // the erase bytes are not console text
    ASSERT_EQ(events.size(), 1u);

    // An erase at the very end with only its backspace: consumed, nothing held, no loop.
    events.clear();
    feed(field(3, 31, "\b"));
    EXPECT_EQ(decoder.pendingBytes(), 0u);
    EXPECT_TRUE(events.empty());
}

TEST_F(DecoderTest, BadHeadersCostOneByteAndDecodingResynchronises)
{
    // 13 bytes up to the 'f': too long to be a header.
    feed(std::string("\x02\x1b[0000005;20f") + field(6, 20, " 100"));
    EXPECT_FALSE(screen.current.joints[4].present);
    EXPECT_EQ(screen.current.joints[5].value, 100);
    // the rest of the bad header went to the message line, minus the ESC that is no text
    EXPECT_EQ(events.front().code, LinkEventCode::MessageChanged);

    events.clear();
    screen.message.clear();
    feed(std::string("\x02X[5;20f") + std::string("\x02\x1b[5x;20f") + field(7, 20, " 200"));
    EXPECT_EQ(screen.current.joints[6].value, 200);
    EXPECT_FALSE(screen.current.joints[4].present);

    // Garbage before a header, including a lone STX with no header behind it.
    events.clear();
    screen.message.clear();
    feed(std::string("xy\x01\x02zzzzzzzzzzzzzz") + field(8, 20, " 300"));
    EXPECT_EQ(screen.current.joints[7].value, 300);
    EXPECT_EQ(screen.message, "xyzzzzzzzzzzzzzz");
}

TEST_F(DecoderTest, FieldSplitAcrossTwoBatchesIsFinishedOnce)
{
    feed(field(5, 20, " 5"));
    EXPECT_TRUE(events.empty());
    EXPECT_GT(decoder.pendingBytes(), 0u);
    feed("12");
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(screen.current.joints[4].value, 512);

    // Split inside the header.
    events.clear();
    std::string f = field(3, 70, "0000A1F0");
    feed(f.substr(0, 4));
    feed(f.substr(4));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(screen.pageInfo[2], 0xA1F0);

    // The rest never came: the next batch's field wins and the cut one is dropped.
    events.clear();
    feed(field(6, 20, " 1"));
    feed(field(7, 20, " 700"));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].index, 6);
    EXPECT_FALSE(screen.current.joints[5].present);
    EXPECT_EQ(decoder.pendingBytes(), 0u);
}

TEST_F(DecoderTest, ConsoleTextBuildsTheMessageLine)
{
    feed("abc\rde");
    EXPECT_EQ(screen.message, "de");
    EXPECT_EQ(events.size(), 6u); // one event per byte taken, the CR included
    feed("\b");
    EXPECT_EQ(screen.message, "d");
    feed(std::string("\x7f\x80~}\n", 5));
    EXPECT_EQ(screen.message, ""); // 126 and above are dropped, LF empties
    feed("\b\b");
    EXPECT_EQ(screen.message, "");

    // An endless line keeps its newest text, capped.
    feed(std::string(1000, 'a') + "Are you sure?");
    EXPECT_EQ(screen.message.size(), ScreenDecoder::kMaxMessage);
    EXPECT_EQ(screen.message.substr(screen.message.size() - 13), "Are you sure?");
}

TEST_F(DecoderTest, VariableTextsEndAtTheNextFieldOrTheirMaximum)
{
    feed(field(1, 64, "Hi") + field(35, 3, std::string(100, 'm')));
    EXPECT_EQ(screen.pageName, "Hi");
    // The field takes 80 characters; the 20 beyond it are console text appended to the line.
    EXPECT_EQ(screen.message, std::string(100, 'm'));
    ASSERT_EQ(events.size(), 22u);
    EXPECT_EQ(events[1].text, std::string(80, 'm'));
    events.clear();
    feed("\r" + field(1, 64, "A very long page name"));
    EXPECT_EQ(screen.pageName, "A very long pag");
    EXPECT_EQ(screen.message, "e name"); // text beyond the name's 15 characters arrives as console text
}

TEST_F(DecoderTest, UnknownFieldsAndOddValuesChangeNothing)
{
    feed(field(40, 40) + field(1, 21) + field(2, 77, "123"));
    EXPECT_EQ(screen, [] {
        MotionScreen s;
        s.message = "123"; // an unknown field's header goes, its characters are plain text
        return s;
    }());
    feed(field(34, 72, " 99"));
    EXPECT_EQ(screen.selectedPose, -1);
    feed(field(34, 72, "  6"));
    EXPECT_EQ(screen.selectedPose, 6);
    feed(field(5, 20, "abcd"));
    EXPECT_FALSE(screen.current.joints[4].present);
    feed(field(-3, 20, " 512") + field(0, 20, " 512") + field(32, 20, " 512") + field(1, 25, " 512"));
    for (const auto& cell : screen.current.joints)
        EXPECT_FALSE(cell.present);
}

TEST(MotionScreenTest, PageInfoTextShowsTheEditorsPlaceholders)
{
    MotionScreen s;
    EXPECT_EQ(s.pageInfoText(0), " No name");
    EXPECT_EQ(s.pageInfoText(2), "0x000000");
    EXPECT_TRUE(s.isOffsetPage());
    s.pageInfo[1] = 5;
    EXPECT_FALSE(s.isOffsetPage());
    EXPECT_EQ(s.pageInfoText(1), "5");
    EXPECT_EQ(s.pageInfoText(9), "");
}
