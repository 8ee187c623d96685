#pragma once
// Paces several robot windows from one shared timer: each window has its own tick period, and
// a window is redrawn only when something it shows has changed.

#include <chrono>
#include <vector>

namespace robotview {

class ViewScheduler {
  public:
    using Clock = std::chrono::steady_clock;

    // Registers a window ticking every period; returns its number.
    int addView(std::chrono::milliseconds period, Clock::time_point now);
    void removeView(int view);
    // The shared timer's interval: the greatest common divisor of the periods (20 ms for 40 and 60).
    std::chrono::milliseconds interval() const;

    // The windows whose tick has come at now, in registration order; each one's next tick is
    // scheduled a period later (a window that fell behind does not tick twice).
    std::vector<int> dueViews(Clock::time_point now);
    // One tick of the shared timer: the windows whose own tick has come (as dueViews), and
    // whether changed windows are drawn now. Drawing happens on the ticks of the fastest window
    // only, so that the windows drawn in one tick reach the screen in one flush, not once for
    // the main view and again 20 ms later for the panels; a slower window's change waits at most
    // one tick of the fastest.
    struct Tick {
        std::vector<int> step;
        bool draw = false;
    };
    Tick nextTick(Clock::time_point now);
    // Something the window shows changed (a flag, the trackball, a resize, a joint moved).
    void markChanged(int view);
    // Whether the window must be drawn; clears the mark.
    bool takeChanged(int view);
    bool changed(int view) const;

  private:
    struct View {
        std::chrono::milliseconds period{0};
        Clock::time_point next;
        bool changed = true; // a new window has never been drawn
        bool active = false;
    };
    std::vector<View> views_;
};

} // namespace robotview
