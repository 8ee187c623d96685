#pragma once
// Drives a MotionLink from a script instead of a window: ticks it at its timer's pace, waits
// for each reply to be decoded, and answers the controller's "Are you sure?" as told. Used by
// the command line and by tests; the editor drives the link from its own timer instead.

#include "motion/LinkEvent.h"
#include "motion/MotionLink.h"
#include "motion/MotionReplies.h"

#include <functional>
#include <string>
#include <vector>

namespace motion {

class MotionSession {
  public:
    explicit MotionSession(MotionLink& link, int tickMs = 100);
    ~MotionSession();

    // The answer to "Are you sure?" ("y" when true, "n" when false).
    void setAnswer(bool yes) { answerYes_ = yes; }
    // Every event seen, in order, and those since the last command.
    const std::vector<LinkEvent>& events() const { return events_; }
    bool lost() const { return lost_; }
    int questionsAnswered() const { return answered_; }

    // Ticks until a reply has been decoded and the line stayed quiet for a few more ticks.
    // False when the link was lost or maxTicks passed.
    bool settle(int maxTicks = 300);
    // Sends one console command (a "\r" is not added) and settles. "save\r", "p 0\r" and ESC
    // take the long wait.
    bool run(const std::string& command, int maxTicks = 300);
    // Ticks until condition holds (checked after every tick); false on loss or time-out.
    bool waitUntil(const std::function<bool(const MotionScreen&)>& condition, int maxTicks);

    static bool needsLongWait(const std::string& command);

  private:
    void onEvent(const LinkEvent& e);
    void tickOnce();

    MotionLink& link_;
    int tickMs_;
    bool answerYes_ = false;
    bool lost_ = false;
    ReplyWatcher watcher_;
    bool answerDue_ = false;
    int answered_ = 0;
    size_t decodedEvents_ = 0;
    std::vector<LinkEvent> events_;
};

} // namespace motion
