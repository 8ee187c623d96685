// The screen layout table: every painted place is found again at its row and column, and no two
// fields share a character cell of the 80-column screen.

#include "motion/ScreenLayout.h"

#include <gtest/gtest.h>

#include <map>
#include <utility>
#include <vector>

using namespace motion;

namespace {

struct Instance {
    ScreenField field;
    int id;
    int pose;
};

std::vector<Instance> everyInstance()
{
    std::vector<Instance> all;
    for (const FieldLayout& f : kScreenLayout) {
        const bool perJoint = f.repeat == FieldRepeat::PerJoint || f.repeat == FieldRepeat::PerJointAndPose;
        const bool perPose = f.repeat == FieldRepeat::PerPose || f.repeat == FieldRepeat::PerJointAndPose;
        for (int id = 0; id < (perJoint ? kJointRows : 1); ++id)
            for (int pose = 0; pose < (perPose ? kPoseCount : 1); ++pose)
                all.push_back({f.field, id, pose});
    }
    return all;
}

} // namespace

TEST(ScreenLayout, EveryPlaceIsFoundAgainAndNoTwoFieldsOverlap)
{
    std::map<std::pair<int, int>, ScreenField> cells;
    const auto all = everyInstance();
    // Joints: current, 7 poses and torque per ID; pause and speed: current and 7 poses each; and
    // 14 single fields.
    EXPECT_EQ(all.size(), size_t{31 * (1 + 7 + 1) + 2 * (1 + 7) + 14});
    for (const Instance& in : all) {
        const ScreenPlace place = placeOf(in.field, in.id, in.pose);
        const FieldAt at = fieldAt(place.row, place.column);
        ASSERT_NE(at.layout, nullptr) << "row " << place.row << " column " << place.column;
        EXPECT_EQ(at.layout->field, in.field);
        EXPECT_EQ(at.id, in.id);
        EXPECT_EQ(at.pose, in.pose);
        const int width = layoutOf(in.field).width;
        EXPECT_LE(place.column + width - 1, 80) << "off the screen";
        for (int c = place.column; c < place.column + width; ++c) {
            auto [it, fresh] = cells.emplace(std::make_pair(place.row, c), in.field);
            EXPECT_TRUE(fresh) << "row " << place.row << " column " << c << " painted by two fields";
        }
    }
}

TEST(ScreenLayout, KnowsTheEditorsPlacesAndCursorRows)
{
    struct Case {
        int row;
        int column;
        ScreenField field;
        int id;
        int pose;
    };
    // Where the controller is known to paint (independent of the table).
    const Case cases[] = {
        {1, 20, ScreenField::CurrentJoint, 0, 0},  {31, 20, ScreenField::CurrentJoint, 30, 0},
        {19, 26, ScreenField::PoseJoint, 18, 0},   {19, 56, ScreenField::PoseJoint, 18, 6},
        {7, 61, ScreenField::Torque, 6, 0},        {32, 21, ScreenField::CurrentPause, 0, 0},
        {33, 21, ScreenField::CurrentSpeed, 0, 0}, {32, 42, ScreenField::PosePause, 0, 3},
        {33, 57, ScreenField::PoseSpeed, 0, 6},    {1, 64, ScreenField::PageName, 0, 0},
        {2, 76, ScreenField::PageNumber, 0, 0},    {3, 70, ScreenField::DataAddress, 0, 0},
        {5, 77, ScreenField::PlayCount, 0, 0},     {16, 77, ScreenField::ExitPage, 0, 0},
        {33, 64, ScreenField::CursorColumn, 0, 0}, {33, 74, ScreenField::PageBytes, 0, 0},
        {34, 72, ScreenField::SelectedPose, 0, 0}, {35, 3, ScreenField::Message, 0, 0},
    };
    for (const Case& c : cases) {
        const FieldAt at = fieldAt(c.row, c.column);
        ASSERT_NE(at.layout, nullptr) << c.row << ";" << c.column;
        EXPECT_EQ(at.layout->field, c.field) << c.row << ";" << c.column;
        EXPECT_EQ(at.id, c.id) << c.row << ";" << c.column;
        EXPECT_EQ(at.pose, c.pose) << c.row << ";" << c.column;
    }
    for (auto [row, column] : {std::pair{1, 21}, {32, 26}, {33, 58}, {4, 77}, {36, 3}, {1, 61 + 5}})
        EXPECT_EQ(fieldAt(row, column).layout, nullptr) << row << ";" << column;

    // "goto 9 R": the rows of the page attributes, and nothing else.
    const std::pair<int, ScreenField> attributes[] = {
        {4, ScreenField::PlayCount},  {9, ScreenField::PoseCount}, {11, ScreenField::MotionSpeed},
        {13, ScreenField::AccelTime}, {14, ScreenField::NextPage}, {15, ScreenField::ExitPage}};
    for (int row = -1; row <= 40; ++row) {
        const FieldLayout* f = pageAttributeAtCursorRow(row);
        ScreenField expected{};
        bool any = false;
        for (auto [r, field] : attributes)
            if (r == row) {
                expected = field;
                any = true;
            }
        ASSERT_EQ(f != nullptr, any) << "cursor row " << row;
        if (f) {
            EXPECT_EQ(f->field, expected);
        }
    }
    EXPECT_EQ(layoutOf(ScreenField::PoseCount).high, kPoseCount);
    EXPECT_EQ(layoutOf(ScreenField::NextPage).high, 127);
    EXPECT_EQ(layoutOf(ScreenField::PoseJoint).high, 1023);
}
