#include "sim/PagePlayer.h"

#include <algorithm>
#include <utility>

namespace sim {

namespace {

const char kStopped[] = "Play stopped. OK";

std::string finishedText(int page)
{
    return "Play of page " + std::to_string(page) + " finished. OK";
}

} // namespace

PagePlayer::PagePlayer(PageSource pages) : pages_(std::move(pages)) {}

void PagePlayer::load(int number)
{
    page_ = number;
    data_ = pages_(number);
    pose_ = 0;
    loopsLeft_ = std::max(1, data_.playCount);
}

std::optional<std::string> PagePlayer::start(int number, int64_t now)
{
    stopping_ = false;
    active_ = true;
    load(number);
    nextStep_ = now + kStepMs;
    if (data_.poseCount > 0)
        return std::nullopt;
    active_ = false;
    return "Page " + std::to_string(number) + " has no poses. OK";
}

std::optional<std::string> PagePlayer::stop()
{
    const int exitPage = data_.exitPage;
    if (!stopping_ && exitPage >= 1) {
        // The exit page brings the robot to rest before the player stops.
        stopping_ = true;
        load(exitPage);
        loopsLeft_ = 1;
        if (data_.poseCount > 0)
            return std::nullopt;
    }
    active_ = false;
    return kStopped;
}

PagePlayer::Step PagePlayer::step(int64_t now)
{
    Step step{data_.poses[pose_], std::nullopt};
    nextStep_ = now + kStepMs + 10 * int64_t{step.pose.pause};
    if (++pose_ < data_.poseCount)
        return step;
    pose_ = 0;
    if (--loopsLeft_ > 0)
        return step;
    const int next = data_.nextPage;
    if (stopping_ || next < 1) {
        active_ = false;
        step.ended = finishedText(page_);
        return step;
    }
    // Pages chain through their next page until one ends the chain or ESC stops it.
    load(next);
    if (data_.poseCount == 0) {
        active_ = false;
        step.ended = finishedText(next);
    }
    return step;
}

std::optional<int64_t> PagePlayer::nextDeadline() const
{
    if (active_)
        return nextStep_;
    return std::nullopt;
}

} // namespace sim
