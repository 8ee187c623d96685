#include "robotview/ViewScheduler.h"

#include <numeric>

namespace robotview {

int ViewScheduler::addView(std::chrono::milliseconds period, Clock::time_point now)
{
    View v;
    v.period = period.count() > 0 ? period : std::chrono::milliseconds(1);
    v.next = now + v.period;
    v.active = true;
    views_.push_back(v);
    return static_cast<int>(views_.size()) - 1;
}

void ViewScheduler::removeView(int view)
{
    if (view >= 0 && view < static_cast<int>(views_.size()))
        views_[static_cast<size_t>(view)].active = false;
}

std::chrono::milliseconds ViewScheduler::interval() const
{
    long long g = 0;
    for (const View& v : views_)
        if (v.active)
            g = std::gcd(g, static_cast<long long>(v.period.count()));
    return std::chrono::milliseconds(g > 0 ? g : 20);
}

std::vector<int> ViewScheduler::dueViews(Clock::time_point now)
{
    std::vector<int> due;
    for (size_t i = 0; i < views_.size(); ++i) {
        View& v = views_[i];
        if (!v.active || now < v.next)
            continue;
        due.push_back(static_cast<int>(i));
        v.next += v.period;
        if (v.next <= now) // fell behind (a stalled loop): tick once and start again from now
            v.next = now + v.period;
    }
    return due;
}

void ViewScheduler::markChanged(int view)
{
    if (view >= 0 && view < static_cast<int>(views_.size()))
        views_[static_cast<size_t>(view)].changed = true;
}

bool ViewScheduler::takeChanged(int view)
{
    if (view < 0 || view >= static_cast<int>(views_.size()))
        return false;
    bool was = views_[static_cast<size_t>(view)].changed;
    views_[static_cast<size_t>(view)].changed = false;
    return was;
}

bool ViewScheduler::changed(int view) const
{
    return view >= 0 && view < static_cast<int>(views_.size()) && views_[static_cast<size_t>(view)].changed;
}

} // namespace robotview
