#pragma once
// Plays motion pages as the controller does: each pose in turn, a page's play count times,
// then on through its next page until a page ends the chain. Stopping plays the exit page of
// the page playing, once, before the player rests. The player only keeps time and order; what
// a pose does to the robot and what the screen says is its owner's business.

#include "sim/MotionPage.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace sim {

class PagePlayer {
  public:
    // Per pose, plus the pose's pause in tens of milliseconds.
    static constexpr int64_t kStepMs = 150;
    // At most this many poses are caught up in one advance, so a long-stalled clock cannot hang.
    static constexpr int kMaxCatchUp = 64;

    // The page a number stands for: the page being edited plays with its unsaved changes.
    using PageSource = std::function<MotionPage(int number)>;

    explicit PagePlayer(PageSource pages);

    // What a step brought: the pose to take, and the closing message when the play ended.
    struct Step {
        Pose pose;
        std::optional<std::string> ended;
    };

    // Starts page `number`; the closing message when there is nothing to play.
    std::optional<std::string> start(int number, int64_t now);
    // ESC: plays the exit page if there is one and it is not playing already; the closing
    // message when the play ends at once instead.
    std::optional<std::string> stop();
    // Rests at once, without the exit page and without a message.
    void halt() { active_ = false; }

    bool active() const { return active_; }
    int page() const { return page_; }
    // True while a pose is due at `now`.
    bool due(int64_t now) const { return active_ && now >= nextStep_; }
    // Takes the pose that is due and moves on; call only while due().
    Step step(int64_t now);
    std::optional<int64_t> nextDeadline() const;

  private:
    void load(int number);

    PageSource pages_;
    bool active_ = false;
    bool stopping_ = false; // playing the exit page after ESC
    int page_ = 0;
    MotionPage data_;
    int pose_ = 0;
    int loopsLeft_ = 0;
    int64_t nextStep_ = 0;
};

} // namespace sim
