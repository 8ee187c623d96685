// The page player on its own: the order of the poses it hands out over loops, chains and exit
// pages, the message it closes with, and when each pose falls due.

#include "sim/PagePlayer.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

// A page of `poses` poses, each marked in joint 1 with page * 100 + pose + 1.
struct PageShape {
    int number;
    int poses;
    int playCount = 1;
    int next = 0;
    int exit = 0;
};

sim::MotionPage makePage(const PageShape& shape)
{
    sim::MotionPage page;
    page.poseCount = shape.poses;
    page.playCount = shape.playCount;
    page.nextPage = shape.next;
    page.exitPage = shape.exit;
    for (int p = 0; p < shape.poses; ++p) {
        page.poses[p].values[1] = static_cast<uint16_t>(shape.number * 100 + p + 1);
        page.poses[p].pause = static_cast<uint8_t>(p * 3);
    }
    return page;
}

struct Case {
    const char* what;
    std::vector<PageShape> pages;
    int start;
    int stopAfter; // ESC after this many poses; -1: never
    int stops;     // how many ESCs at that point
    std::optional<std::string> startMessage;
    std::vector<int> poses;
    std::optional<std::string> stopMessage;
    std::string end; // the closing message of the last step, if the steps end the play
};

} // namespace

TEST(PagePlayer, PlaysPosesLoopsChainsAndExitPagesInOrder)
{
    // clang-format off
    const Case cases[] = {
        {"one page, played twice", {{1, 2, 2}}, 1, -1, 0, {},
         {101, 102, 101, 102}, {}, "Play of page 1 finished. OK"},
        {"a chain of two pages", {{1, 1, 1, 2}, {2, 2}}, 1, -1, 0, {},
         {101, 201, 202}, {}, "Play of page 2 finished. OK"},
        {"a chain into an empty page ends there", {{1, 1, 1, 3}}, 1, -1, 0, {},
         {101}, {}, "Play of page 3 finished. OK"},
        {"an empty page plays nothing", {}, 5, -1, 0, "Page 5 has no poses. OK",
         {}, {}, ""},
        {"ESC plays the exit page once, not its next", {{1, 3, 1, 0, 4}, {4, 2, 3, 1}}, 1, 1, 1, {},
         {101, 401, 402}, {}, "Play of page 4 finished. OK"},
        {"ESC without an exit page stops at once", {{1, 3}}, 1, 2, 1, {},
         {101, 102}, "Play stopped. OK", ""},
        {"a second ESC stops the exit page", {{1, 3, 1, 0, 4}, {4, 2}}, 1, 1, 2, {},
         {101}, "Play stopped. OK", ""},
        {"an empty exit page stops at once", {{1, 3, 1, 0, 9}}, 1, 1, 1, {},
         {101}, "Play stopped. OK", ""},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::map<int, sim::MotionPage> pages;
        for (const PageShape& shape : c.pages)
            pages[shape.number] = makePage(shape);
        sim::PagePlayer player(
            [&](int number) { return pages.count(number) ? pages[number] : sim::MotionPage{}; });

        int64_t now = 1000;
        EXPECT_EQ(player.start(c.start, now), c.startMessage);
        EXPECT_EQ(player.active(), !c.startMessage);
        std::vector<int> poses;
        std::optional<std::string> stopMessage;
        std::string end;
        for (int guard = 0; player.active() && guard < 50; ++guard) {
            if (static_cast<int>(poses.size()) == c.stopAfter && !stopMessage)
                for (int i = 0; i < c.stops && player.active(); ++i)
                    stopMessage = player.stop();
            if (!player.active())
                break;
            const int64_t due = *player.nextDeadline();
            EXPECT_FALSE(player.due(due - 1));
            ASSERT_TRUE(player.due(due));
            now = due;
            const sim::PagePlayer::Step step = player.step(now);
            poses.push_back(step.pose.values[1]);
            if (step.ended) {
                end = *step.ended;
                EXPECT_FALSE(player.active());
            } else {
                // Each pose waits its own pause, in tens of milliseconds, on top of the step.
                EXPECT_EQ(player.nextDeadline(), now + sim::PagePlayer::kStepMs + 10 * step.pose.pause);
            }
        }
        EXPECT_EQ(poses, c.poses);
        EXPECT_EQ(stopMessage, c.stopMessage);
        EXPECT_EQ(end, c.end);
        EXPECT_FALSE(player.active());
        EXPECT_EQ(player.nextDeadline(), std::nullopt);
    }
}
