#include "motion/MotionSession.h"

#include "motion/MotionReplies.h"

namespace motion {

MotionSession::MotionSession(MotionLink& link, int tickMs) : link_(link), tickMs_(tickMs)
{
    link_.setEventHandler([this](const LinkEvent& e) { onEvent(e); });
}

MotionSession::~MotionSession()
{
    link_.setEventHandler({});
}

bool MotionSession::needsLongWait(const std::string& command)
{
    return command == "save\r" || command == "p 0\r" || command == "\x1b";
}

void MotionSession::onEvent(const LinkEvent& e)
{
    events_.push_back(e);
    ++decodedEvents_;
    if (e.code == LinkEventCode::LinkLost)
        lost_ = true;
    if (e.code == LinkEventCode::MessageChanged) {
        // Answer each question once, however many bytes of it arrive one by one.
        if (watcher_.onMessage(e.text, false).askQuestion)
            answerDue_ = true;
    }
}

void MotionSession::tickOnce()
{
    link_.tick();
    if (answerDue_ && link_.isOpen()) {
        answerDue_ = false;
        ++answered_;
        link_.send(answerFor(answerYes_));
    }
    link_.clock().sleepMs(tickMs_);
}

bool MotionSession::settle(int maxTicks)
{
    decodedEvents_ = 0;
    int quiet = 0;
    for (int i = 0; i < maxTicks && !lost_ && link_.isOpen(); ++i) {
        tickOnce();
        const bool idle = link_.bufferedBytes() == 0 && !link_.isWaiting() && !answerDue_;
        quiet = idle ? quiet + 1 : 0;
        if (decodedEvents_ > 0 && quiet >= 3)
            return true;
    }
    return false;
}

bool MotionSession::run(const std::string& command, int maxTicks)
{
    if (!link_.isOpen() || lost_)
        return false;
    watcher_.reset();
    link_.send(command, needsLongWait(command));
    return settle(maxTicks);
}

bool MotionSession::waitUntil(const std::function<bool(const MotionScreen&)>& condition, int maxTicks)
{
    for (int i = 0; i < maxTicks && !lost_ && link_.isOpen(); ++i) {
        if (condition(link_.screen()))
            return true;
        tickOnce();
    }
    return condition(link_.screen());
}

} // namespace motion
