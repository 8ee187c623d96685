// Pacing of the windows from one timer, and the drop-zone rules of the pose panels.

#include "robotview/PoseGestures.h"
#include "robotview/ViewScheduler.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using robotview::DragState;
using robotview::DropZone;
using robotview::ViewScheduler;

TEST(ViewSchedulerTest, EachWindowTicksAtItsOwnRateFromOneTimer)
{
    ViewScheduler s;
    const auto t0 = ViewScheduler::Clock::time_point{} + 1000h;
    const int main = s.addView(40ms, t0);
    const int panel = s.addView(60ms, t0);
    EXPECT_EQ(s.interval(), 20ms);
    struct Row {
        int at;
        std::vector<int> due;
    };
    const Row rows[] = {{20, {}},     {40, {main}},  {60, {panel}},
                        {80, {main}}, {100, {}},     {120, {main, panel}},
                        {140, {}},    {160, {main}}, {180, {panel}}};
    for (const Row& r : rows)
        EXPECT_EQ(s.dueViews(t0 + std::chrono::milliseconds(r.at)), r.due) << "at " << r.at << " ms";
}

TEST(ViewSchedulerTest, WindowsAreDrawnTogetherOnTheFastestWindowsTicks)
{
    const auto t0 = ViewScheduler::Clock::time_point{} + 1000h;
    ViewScheduler s;
    const int main = s.addView(40ms, t0);
    const int panel = s.addView(60ms, t0);
    struct Row {
        int at;
        std::vector<int> step;
        bool draw;
    };
    // A panel's step at 60 ms is drawn with the main view's at 80 ms: one flush, not two.
    const Row rows[] = {{40, {main}, true},         {60, {panel}, false}, {80, {main}, true},
                        {120, {main, panel}, true}, {160, {main}, true},  {180, {panel}, false},
                        {200, {main}, true}};
    for (const Row& r : rows) {
        const auto t = s.nextTick(t0 + std::chrono::milliseconds(r.at));
        EXPECT_EQ(t.step, r.step) << r.at;
        EXPECT_EQ(t.draw, r.draw) << r.at;
    }
    // Without the faster window the panels draw on their own ticks.
    s.removeView(main);
    EXPECT_TRUE(s.nextTick(t0 + 240ms).draw);
}

TEST(ViewSchedulerTest, AWindowThatFellBehindTicksOnceAndRemovedWindowsNever)
{
    ViewScheduler s;
    const auto t0 = ViewScheduler::Clock::time_point{} + 1000h;
    const int a = s.addView(40ms, t0);
    const int b = s.addView(60ms, t0);
    EXPECT_EQ(s.dueViews(t0 + 1000ms), (std::vector<int>{a, b}));
    EXPECT_TRUE(s.dueViews(t0 + 1020ms).empty());
    EXPECT_EQ(s.dueViews(t0 + 1040ms), (std::vector<int>{a}));
    s.removeView(a);
    EXPECT_EQ(s.dueViews(t0 + 2000ms), (std::vector<int>{b}));
    EXPECT_EQ(s.interval(), 60ms);
}

TEST(ViewSchedulerTest, OnlyChangedWindowsAreDrawn)
{
    ViewScheduler s;
    const int v = s.addView(40ms, ViewScheduler::Clock::now());
    EXPECT_TRUE(s.takeChanged(v)); // never drawn yet
    EXPECT_FALSE(s.takeChanged(v));
    s.markChanged(v);
    s.markChanged(v);
    EXPECT_TRUE(s.changed(v));
    EXPECT_TRUE(s.takeChanged(v));
    EXPECT_FALSE(s.takeChanged(v));
    EXPECT_FALSE(s.takeChanged(99));
}

TEST(DropZoneTest, PointerPositionChoosesTheZone)
{
    struct Row {
        const char* what;
        int x;
        DragState drag;
        bool hasLeft, hasRight, offset;
        int panel;
        DropZone current, want;
    };
    const int w = 101; // w / 4 = 25, 3 × w / 4 = 75
    const Row rows[] = {
        {"no drag", 50, DragState::None, true, true, false, 3, DropZone::Into, DropZone::None},
        {"middle", 50, DragState::CurrentPose, true, true, false, 3, DropZone::None, DropZone::Into},
        {"left quarter", 24, DragState::CurrentPose, true, true, false, 3, DropZone::None, DropZone::Before},
        {"x = w / 4 is inside", 25, DragState::CurrentPose, true, true, false, 3, DropZone::None,
         DropZone::Into},
        {"x = 3w / 4 is inside", 75, DragState::CurrentPose, true, true, false, 3, DropZone::None,
         DropZone::Into},
        {"right quarter", 76, DragState::CurrentPose, true, true, false, 3, DropZone::None, DropZone::After},
        {"panel 0 has no left zone", 0, DragState::CurrentPose, false, true, false, 0, DropZone::None,
         DropZone::Into},
        {"panel 6 has no right zone", 100, DragState::CurrentPose, true, false, false, 6, DropZone::None,
         DropZone::Into},
        {"a dragged panel always aims into", 2, DragState::Panel, true, true, false, 3, DropZone::None,
         DropZone::Into},
        {"offset page: panel 1 takes it", 2, DragState::CurrentPose, true, true, true, 1, DropZone::None,
         DropZone::Into},
        {"offset page: others keep their zone", 50, DragState::CurrentPose, true, true, true, 2,
         DropZone::None, DropZone::None},
        {"offset page: kept even when set", 50, DragState::CurrentPose, true, true, true, 4, DropZone::After,
         DropZone::After},
    };
    for (const Row& r : rows) {
        robotview::DropAim aim;
        aim.x = r.x;
        aim.width = w;
        aim.drag = r.drag;
        aim.hasLeft = r.hasLeft;
        aim.hasRight = r.hasRight;
        aim.offsetPage = r.offset;
        aim.panelIndex = r.panel;
        EXPECT_EQ(robotview::dropZoneFor(aim, r.current), r.want) << r.what;
    }
}

TEST(DropZoneTest, ControlIdsAndMenuSide)
{
    EXPECT_EQ(robotview::panelControlId(0), 1001);
    EXPECT_EQ(robotview::panelIndexOfId(1007), 6);
    for (int id : {0, 1000, 1008, -1001})
        EXPECT_EQ(robotview::panelIndexOfId(id), -1) << id;
    EXPECT_FALSE(robotview::menuOpensLeftward(50, 100));
    EXPECT_TRUE(robotview::menuOpensLeftward(51, 100));
}
