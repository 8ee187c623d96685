#pragma once
// The controller's full-screen motion page editor. It shows one motion page (the joints of the
// robot now, seven poses, the page attributes) as positioned fields — STX ESC "[row;colf" and
// the field's characters — and after each command repaints only the fields whose text changed,
// then the message line.

#include "sim/ControllerMemory.h"
#include "sim/JointTable.h"
#include "sim/MotionPage.h"

#include "motion/ScreenLayout.h"
#include <array>
#include <cstdint>
#include <map>
#include <optional>

#include <string>
#include <string_view>
#include <vector>

namespace sim {

class ScreenEditor {
  public:
    // Screen geometry (1-based rows and columns), from the screen layout table.
    static constexpr int kPauseRow = motion::layoutOf(motion::ScreenField::CurrentPause).row;
    static constexpr int kSpeedRow = motion::layoutOf(motion::ScreenField::CurrentSpeed).row;
    static constexpr int kMessageRow = motion::layoutOf(motion::ScreenField::Message).row;
    static constexpr int kMessageColumn = motion::layoutOf(motion::ScreenField::Message).column;
    static constexpr size_t kMessageWidth = motion::layoutOf(motion::ScreenField::Message).width;
    static constexpr size_t kMaxLine = 64;

    ScreenEditor(ControllerMemory& memory, const JointTable& joints, std::string& out);

    // Opens the screen (the page shown last, page 1 at first) with a full repaint.
    void enter(int64_t now);
    void input(uint8_t byte, int64_t now);
    void advance(int64_t now);
    std::optional<int64_t> nextDeadline() const;

    // True once after "exit" was accepted: the controller goes back to its menu.
    bool takeExit();
    // True once after a page was saved into memory.
    bool takeMemoryChanged();

    int pageNumber() const { return pageNumber_; }
    const MotionPage& page() const { return page_; }
    bool dirty() const { return dirty_; }
    bool playing() const { return play_.active; }
    bool questionPending() const { return question_ != Action::None; }
    int currentValue(int id) const { return current_[id]; }
    bool torqueOn(int id) const { return torque_[id]; }

    // What a running behaviour program does to the robot, with the screen not shown: a joint
    // that reports its position is moved (0..1023), and a page plays as "play N" plays it
    // but paints nothing. stopPlay() stops at once, without the exit page.
    void moveJoint(int id, int value);
    void playUnpainted(int number, int64_t now);
    void stopPlay();
    const std::string& message() const { return message_; }

    static std::string header(int row, int column);

  private:
    enum class Action { None, OpenPage, Exit, GoPose };
    struct Play {
        bool active = false;
        bool stopping = false; // playing the exit page after ESC
        int page = 0;
        MotionPage data;
        int pose = 0;
        int loopsLeft = 0;
        int64_t nextStep = 0;
    };

    void execute(const std::string& line, int64_t now);
    void step(int delta);
    void setValue(long value);
    void answer(bool yes, int64_t now);
    void perform(Action action, int argument, int64_t now);
    void openPage(int number);
    void goPose(int pose);
    void startPlay(int number, int64_t now);
    void playStep(int64_t now);
    void finishPlay(const std::string& text);
    bool poseIncomplete(int pose) const;
    void leaveOrAsk(Action action, int argument, int64_t now);

    // Painting.
    std::vector<std::pair<int, std::string>> fields() const;
    // The page attribute a field of the page-attribute column stands for; null for others.
    int* pageAttribute(motion::ScreenField field);
    void fullRepaint();
    void repaintChanged();
    void say(std::string text);
    void flushMessage();
    std::string jointText(int id, uint16_t value) const;

    ControllerMemory& memory_;
    const JointTable& joints_;
    std::string& out_;

    int pageNumber_ = 1;
    MotionPage page_;
    bool dirty_ = false;
    std::array<int, kJointRows> current_{}; // -1 when the servo reports no position
    std::array<bool, kJointRows> torque_{};
    int currentPause_ = 0;
    int currentSpeed_ = 100;
    int cursorColumn_ = 0;
    int cursorRow_ = 0;
    int selectedPose_ = -1;

    std::string line_;
    bool awaitingName_ = false;
    Action question_ = Action::None;
    int questionArgument_ = 0;
    Play play_;
    bool exit_ = false;
    bool memoryChanged_ = false;
    bool painting_ = true; // false while a program plays a page

    std::map<int, std::string> painted_; // row * 100 + column -> text on screen
    std::string message_;
    bool messageDue_ = false;
};

} // namespace sim
