#pragma once
// Paints the motion page editor's screen as positioned fields — STX ESC "[row;colf" and the
// field's characters — and remembers what it painted, so that after a command only the fields
// whose text changed go out again, then the message line.

#include "sim/JointTable.h"
#include "sim/MotionPage.h"

#include "motion/ScreenLayout.h"

#include <array>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace sim {

// What the screen shows: the page being edited, the robot now and the edit cursor.
struct ScreenState {
    const MotionPage& page;
    int pageNumber;
    const std::array<int, kJointRows>& current; // -1 when the servo reports no position
    const std::array<bool, kJointRows>& torque;
    int currentPause;
    int currentSpeed;
    int cursorColumn;
    int cursorRow;
    int selectedPose;
};

class FieldPainter {
  public:
    // Screen geometry (1-based rows and columns), from the screen layout table.
    static constexpr int kPauseRow = motion::layoutOf(motion::ScreenField::CurrentPause).row;
    static constexpr int kSpeedRow = motion::layoutOf(motion::ScreenField::CurrentSpeed).row;
    static constexpr int kMessageRow = motion::layoutOf(motion::ScreenField::Message).row;
    static constexpr int kMessageColumn = motion::layoutOf(motion::ScreenField::Message).column;
    static constexpr size_t kMessageWidth = motion::layoutOf(motion::ScreenField::Message).width;

    FieldPainter(const JointTable& joints, std::string& out);

    static std::string header(int row, int column);

    // A program playing a page paints nothing; the screen paints again once it is entered.
    void setPainting(bool painting) { painting_ = painting; }

    // Clears the screen and paints the labels, every field and, at the next flush, the message.
    void paintAll(const ScreenState& state);
    void paintChanged(const ScreenState& state);

    // The message line: say() sets it, repeatMessage() has it painted again unchanged, and
    // flushMessage() paints it if it is due.
    void say(std::string text);
    void repeatMessage() { messageDue_ = true; }
    void flushMessage();
    const std::string& message() const { return message_; }

  private:
    using Fields = std::vector<std::pair<int, std::string>>; // row * 100 + column -> text
    Fields fields(const ScreenState& state) const;
    std::string jointText(int id, uint16_t value) const;

    const JointTable& joints_;
    std::string& out_;
    bool painting_ = true;
    std::map<int, std::string> painted_; // row * 100 + column -> text on screen
    std::string message_;
    bool messageDue_ = false;
};

} // namespace sim
