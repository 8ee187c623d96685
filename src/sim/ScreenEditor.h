#pragma once
// The controller's full-screen motion page editor. It shows one motion page (the joints of the
// robot now, seven poses, the page attributes) through its field painter, which after each
// command repaints only the fields whose text changed, then the message line. Command lines
// are looked up in a table of commands; pages play through the page player.

#include "sim/ControllerMemory.h"
#include "sim/FieldPainter.h"
#include "sim/JointTable.h"
#include "sim/MotionPage.h"
#include "sim/PagePlayer.h"

#include "motion/ScreenLayout.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

class ScreenEditor {
  public:
    static constexpr size_t kMaxLine = 64;

    ScreenEditor(ControllerMemory& memory, const JointTable& joints, std::string& out);
    // The player reads pages through this editor, so it stays where it was made.
    ScreenEditor(const ScreenEditor&) = delete;
    ScreenEditor& operator=(const ScreenEditor&) = delete;

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
    bool playing() const { return player_.active(); }
    bool questionPending() const { return question_ != Action::None; }
    int currentValue(int id) const { return current_[id]; }
    bool torqueOn(int id) const { return torque_[id]; }

    // What a running behaviour program does to the robot, with the screen not shown: a joint
    // that reports its position is moved (0..1023), and a page plays as "play N" plays it
    // but paints nothing. stopPlay() stops at once, without the exit page.
    void moveJoint(int id, int value);
    void playUnpainted(int number, int64_t now);
    void stopPlay();
    const std::string& message() const { return painter_.message(); }

  private:
    enum class Action { None, OpenPage, Exit, GoPose };
    // One command line, split: the command word, its numeric arguments (numeric is false when
    // any word after the command is not a number) and the line as typed.
    struct Call {
        const std::string& command;
        const std::vector<long>& numbers;
        bool numeric;
        size_t words;
        const std::string& line;
        int64_t now;
    };
    struct Command;

    void execute(const std::string& line, int64_t now);
    void takeName(const std::string& line);
    bool poseInRange(long k);

    // Command handlers, one per row of the command table.
    void pageCommand(const Call& call);
    void nextOrBackCommand(const Call& call);
    void offsetPageCommand(const Call& call);
    void repaintCommand(const Call& call);
    void exitCommand(const Call& call);
    void nameCommand(const Call& call);
    void gotoCommand(const Call& call);
    void setCommand(const Call& call);
    void goCommand(const Call& call);
    void writeCommand(const Call& call);
    void moveCommand(const Call& call);
    void mirrorCommand(const Call& call);
    void deleteCommand(const Call& call);
    void torqueCommand(const Call& call);
    void saveCommand(const Call& call);
    void playCommand(const Call& call);

    void step(int delta);
    void setValue(long value);
    void answer(bool yes, int64_t now);
    void perform(Action action, int argument);
    void openPage(int number);
    void goPose(int pose);
    void takePose(const Pose& pose);
    void startPlay(int number, int64_t now);
    void finishPlay(const std::string& text);
    bool poseIncomplete(int pose) const;
    void leaveOrAsk(Action action, int argument);
    MotionPage pageToPlay(int number) const;

    // The page attribute a field of the page-attribute column stands for; null for others.
    int* pageAttribute(motion::ScreenField field);
    ScreenState screen() const;
    void fullRepaint();
    void repaintChanged();
    void say(std::string text) { painter_.say(std::move(text)); }
    void flushMessage() { painter_.flushMessage(); }

    ControllerMemory& memory_;
    const JointTable& joints_;
    FieldPainter painter_;
    PagePlayer player_;

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
    bool exit_ = false;
    bool memoryChanged_ = false;
};

} // namespace sim
