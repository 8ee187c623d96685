#include "programmer/dialogs/TransferWorker.h"

#include <QMetaObject>

namespace programmer {

TransferWorker::TransferWorker(QObject* parent) : QObject(parent) {}

TransferWorker::~TransferWorker()
{
    shutdown();
}

bool TransferWorker::start(Job job, Done done, std::function<void()> cancel)
{
    if (running_)
        return false;
    if (thread_.joinable())
        thread_.join();
    running_ = true;
    done_ = std::move(done);
    cancel_ = std::move(cancel);
    stop_.store(false);
    {
        std::lock_guard lock(mutex_);
        abandoned_ = false;
    }
    thread_ = std::thread([this, job = std::move(job)] {
        comm::MaintenanceResult result = job();
        // Queued to this object: dropped by Qt when the worker is destroyed first.
        QMetaObject::invokeMethod(
            this, [this, result] { finish(result); }, Qt::QueuedConnection);
    });
    return true;
}

void TransferWorker::finish(const comm::MaintenanceResult& result)
{
    if (thread_.joinable())
        thread_.join();
    running_ = false;
    cancel_ = {};
    Done done = std::move(done_);
    done_ = {};
    if (done)
        done(result);
}

void TransferWorker::requestStop()
{
    stop_.store(true);
    if (cancel_)
        cancel_();
}

void TransferWorker::shutdown()
{
    {
        std::lock_guard lock(mutex_);
        abandoned_ = true;
    }
    answered_.notify_all();
    if (running_)
        requestStop();
    if (thread_.joinable())
        thread_.join();
    running_ = false;
    done_ = {};
    cancel_ = {};
}

std::string TransferWorker::takeConsoleText()
{
    std::lock_guard lock(mutex_);
    std::string text;
    text.swap(console_);
    return text;
}

void TransferWorker::acknowledge(int message)
{
    int asked = 0;
    {
        std::lock_guard lock(mutex_);
        if (abandoned_)
            return;
        asked = questionsAnswered_;
    }
    QMetaObject::invokeMethod(
        this,
        [this, message] {
            if (onAcknowledge)
                onAcknowledge(message);
            {
                std::lock_guard lock(mutex_);
                ++questionsAnswered_;
            }
            answered_.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(mutex_);
    answered_.wait(lock, [&] { return abandoned_ || questionsAnswered_ != asked; });
}

void TransferWorker::notice(int message)
{
    QMetaObject::invokeMethod(
        this,
        [this, message] {
            if (onNotice)
                onNotice(message);
        },
        Qt::QueuedConnection);
}

void TransferWorker::consoleText(const uint8_t* bytes, size_t count)
{
    std::lock_guard lock(mutex_);
    console_.append(reinterpret_cast<const char*>(bytes), count);
}

} // namespace programmer
