#pragma once
// Runs one controller job at a time on a thread of its own, as the host of the maintenance jobs:
//
//   - the job's result comes back to the owner's thread as a queued call (never to a worker
//     that has gone: a result still queued when the worker is destroyed is dropped);
//   - a question the job must wait for (press START) is a blocking queued call: the job waits
//     until the owner's thread has shown it and the user answered;
//   - controller text for a console pane is kept until the owner takes it (from its timer).
//
// The destructor gives up a pending question, asks the job to stop (the stop flag, and the
// cancel action given with the job) and joins the thread before anything the job uses goes.

#include "link/Maintenance.h"

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace programmer {

class TransferWorker : public QObject, public comm::MaintenanceHost {
    Q_OBJECT
  public:
    using Job = std::function<comm::MaintenanceResult()>;
    using Done = std::function<void(const comm::MaintenanceResult&)>;

    explicit TransferWorker(QObject* parent = nullptr);
    ~TransferWorker() override;
    TransferWorker(const TransferWorker&) = delete;
    TransferWorker& operator=(const TransferWorker&) = delete;

    // Starts job on a new thread; false (and nothing started) while another one runs. done runs
    // on the owner's thread once the job has returned and its thread has been joined. cancel,
    // when given, is what requestStop() and the destructor do besides setting the stop flag.
    bool start(Job job, Done done, std::function<void()> cancel = {});
    // From start() until done has been called.
    bool running() const { return running_; }
    // Asks the running job to end early (play's Stop, a recovery wait's Back).
    void requestStop();
    // Set by requestStop(); cleared by start(). Read by jobs that can stop.
    const std::atomic<bool>& stopFlag() const { return stop_; }
    // Stops and joins a running job at once; its result is dropped.
    void shutdown();

    // What the owner shows for the job (called on the owner's thread).
    std::function<void(int message)> onAcknowledge;
    std::function<void(int message)> onNotice;

    // Controller text gathered since the last call.
    std::string takeConsoleText();

    // MaintenanceHost, called on the job's thread.
    void acknowledge(int message) override;
    void notice(int message) override;
    void consoleText(const uint8_t* bytes, size_t count) override;

  private:
    void finish(const comm::MaintenanceResult& result);

    std::thread thread_;
    bool running_ = false;
    Done done_;
    std::function<void()> cancel_;
    std::atomic<bool> stop_{false};

    std::mutex mutex_;
    std::condition_variable answered_;
    int questionsAnswered_ = 0; // guarded by mutex_
    bool abandoned_ = false;    // guarded by mutex_
    std::string console_;       // guarded by mutex_
};

} // namespace programmer
