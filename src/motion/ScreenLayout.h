#pragma once
// Where the controller's full-screen page editor paints each field, how wide the field is and
// which values it may hold: the one table that the simulator's painter, its cursor and field
// setters, and the motion link's decoder all read.
//
// Joint fields repeat down the rows (the field's row is that of bus ID 0; ID n is n rows
// lower); pose fields repeat across (the column is that of pose 0; pose p is kPoseStep * p
// further right). The page attributes are also reached with the editor's cursor: "goto 9 R"
// with R the field's cursorRow.

#include "motion/PoseColumn.h"

#include <cstddef>

namespace motion {

enum class ScreenField {
    CurrentJoint,
    PoseJoint,
    Torque,
    CurrentPause,
    CurrentSpeed,
    PosePause,
    PoseSpeed,
    PageName,
    PageNumber,
    DataAddress,
    PlayCount,
    PoseCount,
    MotionSpeed,
    AccelTime,
    NextPage,
    ExitPage,
    CursorColumn,
    CursorRow,
    PageBytes,
    SelectedPose,
    Message,
};

enum class FieldRepeat { Once, PerJoint, PerPose, PerJointAndPose };

struct FieldLayout {
    ScreenField field;
    FieldRepeat repeat;
    int row;
    int column;
    int width; // characters; for texts the most there are
    int low;   // the values a number may take (low > high: not a number the user sets)
    int high;
    int cursorRow; // "goto 9 R" selects it; -1 for fields not reached that way
};

constexpr int kPoseStep = 5;
// The cursor column of the page attributes in the editor's "goto C R".
constexpr int kPageInfoCursorColumn = 9;

inline constexpr FieldLayout kScreenLayout[] = {
    {ScreenField::CurrentJoint, FieldRepeat::PerJoint, 1, 20, 4, 0, 1023, -1},
    {ScreenField::PoseJoint, FieldRepeat::PerJointAndPose, 1, 26, 4, 0, 1023, -1},
    {ScreenField::Torque, FieldRepeat::PerJoint, 1, 61, 3, 1, 0, -1},
    {ScreenField::CurrentPause, FieldRepeat::Once, 32, 21, 3, 0, 255, -1},
    {ScreenField::CurrentSpeed, FieldRepeat::Once, 33, 21, 3, 0, 255, -1},
    {ScreenField::PosePause, FieldRepeat::PerPose, 32, 27, 3, 0, 255, -1},
    {ScreenField::PoseSpeed, FieldRepeat::PerPose, 33, 27, 3, 0, 255, -1},
    {ScreenField::PageName, FieldRepeat::Once, 1, 64, 15, 1, 0, -1},
    {ScreenField::PageNumber, FieldRepeat::Once, 2, 76, 4, 1, 127, -1},
    {ScreenField::DataAddress, FieldRepeat::Once, 3, 70, 8, 1, 0, -1},
    {ScreenField::PlayCount, FieldRepeat::Once, 5, 77, 3, 0, 255, 4},
    {ScreenField::PoseCount, FieldRepeat::Once, 10, 77, 3, 0, kPoseCount, 9},
    {ScreenField::MotionSpeed, FieldRepeat::Once, 12, 77, 3, 0, 255, 11},
    {ScreenField::AccelTime, FieldRepeat::Once, 14, 77, 3, 0, 255, 13},
    {ScreenField::NextPage, FieldRepeat::Once, 15, 77, 3, 0, 127, 14},
    {ScreenField::ExitPage, FieldRepeat::Once, 16, 77, 3, 0, 127, 15},
    {ScreenField::CursorColumn, FieldRepeat::Once, 33, 64, 2, 1, 0, -1},
    {ScreenField::CursorRow, FieldRepeat::Once, 33, 69, 2, 1, 0, -1},
    {ScreenField::PageBytes, FieldRepeat::Once, 33, 74, 4, 1, 0, -1},
    {ScreenField::SelectedPose, FieldRepeat::Once, 34, 72, 3, 1, 0, -1},
    {ScreenField::Message, FieldRepeat::Once, 35, 3, 60, 1, 0, -1},
};

constexpr const FieldLayout& layoutOf(ScreenField field)
{
    for (const FieldLayout& f : kScreenLayout)
        if (f.field == field)
            return f;
    return kScreenLayout[0]; // every field is in the table (checked below)
}

constexpr bool everyFieldOnce()
{
    for (size_t i = 0; i < std::size(kScreenLayout); ++i)
        if (static_cast<size_t>(kScreenLayout[i].field) != i)
            return false;
    return true;
}
static_assert(everyFieldOnce(), "kScreenLayout lists every ScreenField once, in order");

// The row and column of one instance of a field (id: bus ID for joint fields, pose: pose index
// for pose fields; ignored otherwise).
struct ScreenPlace {
    int row;
    int column;
};
constexpr ScreenPlace placeOf(ScreenField field, int id = 0, int pose = 0)
{
    const FieldLayout& f = layoutOf(field);
    const bool perJoint = f.repeat == FieldRepeat::PerJoint || f.repeat == FieldRepeat::PerJointAndPose;
    const bool perPose = f.repeat == FieldRepeat::PerPose || f.repeat == FieldRepeat::PerJointAndPose;
    return {f.row + (perJoint ? id : 0), f.column + (perPose ? kPoseStep * pose : 0)};
}

// The field (and its ID and pose) painted at row and column, if any.
struct FieldAt {
    const FieldLayout* layout = nullptr;
    int id = 0;
    int pose = 0;
};
constexpr FieldAt fieldAt(int row, int column)
{
    for (const FieldLayout& f : kScreenLayout) {
        const bool perJoint = f.repeat == FieldRepeat::PerJoint || f.repeat == FieldRepeat::PerJointAndPose;
        const bool perPose = f.repeat == FieldRepeat::PerPose || f.repeat == FieldRepeat::PerJointAndPose;
        const int id = row - f.row;
        const int dc = column - f.column;
        if (perJoint ? (id < 0 || id >= kJointRows) : id != 0)
            continue;
        if (perPose ? (dc < 0 || dc % kPoseStep != 0 || dc / kPoseStep >= kPoseCount) : dc != 0)
            continue;
        return {&f, perJoint ? id : 0, perPose ? dc / kPoseStep : 0};
    }
    return {};
}

// The page attribute that "goto 9 cursorRow" selects, or null.
constexpr const FieldLayout* pageAttributeAtCursorRow(int cursorRow)
{
    for (const FieldLayout& f : kScreenLayout)
        if (f.cursorRow >= 0 && f.cursorRow == cursorRow)
            return &f;
    return nullptr;
}

} // namespace motion
