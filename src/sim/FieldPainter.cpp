#include "sim/FieldPainter.h"

#include "sim/ControllerMemory.h"

#include <cstdio>

namespace sim {

namespace {

using motion::placeOf;
using motion::ScreenField;

std::string format(const char* pattern, long value)
{
    char text[32];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

int key(int row, int column)
{
    return row * 100 + column;
}

int key(motion::ScreenPlace place)
{
    return key(place.row, place.column);
}

} // namespace

FieldPainter::FieldPainter(const JointTable& joints, std::string& out) : joints_(joints), out_(out) {}

std::string FieldPainter::header(int row, int column)
{
    return std::string("\x02\x1b[") + std::to_string(row) + ";" + std::to_string(column) + "f";
}

std::string FieldPainter::jointText(int id, uint16_t value) const
{
    if (!joints_.present[id])
        return "-   ";
    if (value == kUnknownValue)
        return "?   ";
    return format("%4ld", value);
}

FieldPainter::Fields FieldPainter::fields(const ScreenState& state) const
{
    const MotionPage& page = state.page;
    Fields f;
    f.reserve(kJointRows * 9 + 40);
    auto add = [&](ScreenField field, std::string text, int id = 0, int pose = 0) {
        f.emplace_back(key(placeOf(field, id, pose)), std::move(text));
    };
    for (int id = 0; id < kJointRows; ++id) {
        uint16_t now = state.current[id] < 0 ? kUnknownValue : static_cast<uint16_t>(state.current[id]);
        add(ScreenField::CurrentJoint, jointText(id, now), id);
        for (int p = 0; p < kPoseCount; ++p)
            add(ScreenField::PoseJoint, jointText(id, page.poses[p].values[id]), id, p);
        add(ScreenField::Torque, !joints_.present[id] ? "   " : state.torque[id] ? "on " : "off", id);
    }
    add(ScreenField::CurrentPause, format("%3ld", state.currentPause));
    add(ScreenField::CurrentSpeed, format("%3ld", state.currentSpeed));
    for (int p = 0; p < kPoseCount; ++p) {
        add(ScreenField::PosePause, format("%3ld", page.poses[p].pause), 0, p);
        add(ScreenField::PoseSpeed, format("%3ld", page.poses[p].speed), 0, p);
    }
    add(ScreenField::PageName, page.name);
    add(ScreenField::PageNumber, format("%4ld", state.pageNumber));
    add(ScreenField::DataAddress,
        format("%08lX", ControllerMemory::kMotionData + ControllerMemory::kPageSize * state.pageNumber));
    add(ScreenField::PlayCount, format("%3ld", page.playCount));
    add(ScreenField::PoseCount, format("%3ld", page.poseCount));
    add(ScreenField::MotionSpeed, format("%3ld", page.motionSpeed));
    add(ScreenField::AccelTime, format("%3ld", page.accelTime));
    add(ScreenField::NextPage, format("%3ld", page.nextPage));
    add(ScreenField::ExitPage, format("%3ld", page.exitPage));
    // Status line: the edit cursor and the bytes the page takes in its slot.
    add(ScreenField::CursorColumn, format("%2ld", state.cursorColumn));
    add(ScreenField::CursorRow, format("%2ld", state.cursorRow));
    add(ScreenField::PageBytes, format("%4ld", 24 + 64 * page.poseCount));
    add(ScreenField::SelectedPose, format("%3ld", state.selectedPose));
    return f;
}

void FieldPainter::paintAll(const ScreenState& state)
{
    // The first field, at row 1 column 1, tells a reader that the whole screen follows; the
    // clear-screen and the labels are for people watching on a terminal. Each label starts
    // with a carriage return so that it never runs on into the message line of a reader.
    auto label = [](int id, const std::string& name) {
        char text[24];
        std::snprintf(text, sizeof text, "ID%3d %-12.12s", id, name.c_str());
        return std::string(text);
    };
    out_ += header(1, 1) + "\x1b[2J" + label(0, joints_.names[0]);
    for (int id = 1; id < kJointRows; ++id)
        out_ += "\r" + header(id + 1, 1) + label(id, joints_.names[id]);
    out_ += "\r" + header(kPauseRow, 1) + "Pause";
    out_ += "\r" + header(kSpeedRow, 1) + "Speed";
    // Captions sit between the joints' on/off column (61..63) and the values (from column 70),
    // so a person watching on an 80-column terminal sees every word whole.
    static const std::pair<int, const char*> kCaptions[] = {
        {2, "Page number"}, {3, "Addr"},        {5, "Play count"}, {10, "Pose count"},
        {12, "Speed"},      {14, "Accel time"}, {15, "Next page"}, {16, "Exit page"}};
    for (const auto& [row, caption] : kCaptions)
        out_ += "\r" + header(row, 65) + caption;
    out_ += "\r" + header(34, 57) + " Selected pose";
    painted_.clear();
    for (auto& [k, text] : fields(state)) {
        out_ += header(k / 100, k % 100) + text;
        painted_[k] = std::move(text);
    }
    messageDue_ = true;
}

void FieldPainter::paintChanged(const ScreenState& state)
{
    if (!painting_)
        return;
    for (auto& [k, text] : fields(state)) {
        auto it = painted_.find(k);
        if (it != painted_.end() && it->second == text)
            continue;
        const motion::ScreenPlace name = placeOf(ScreenField::PageName);
        if (k == key(name) && it != painted_.end()) // blank the old name first
            out_ += header(name.row, name.column) + std::string(kMaxPageName, ' ');
        out_ += header(k / 100, k % 100) + text;
        painted_[k] = std::move(text);
    }
}

void FieldPainter::say(std::string text)
{
    message_ = std::move(text);
    messageDue_ = true;
}

void FieldPainter::flushMessage()
{
    if (!messageDue_ || !painting_)
        return;
    messageDue_ = false;
    std::string text = message_.substr(0, kMessageWidth);
    text.resize(kMessageWidth, ' ');
    out_ += header(kMessageRow, kMessageColumn) + text;
}

} // namespace sim
