// The dialogs' worker: results arrive on the owner's thread, a question blocks the job until it
// was answered there, and a worker that goes away first stops and joins its job and drops the
// result instead of delivering it to an owner that has gone.

#include "DialogTestKit.h"

#include "programmer/dialogs/TransferWorker.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

using programmer::TransferWorker;

namespace {

comm::MaintenanceResult result(int message)
{
    comm::MaintenanceResult r;
    r.ok = true;
    r.message = message;
    return r;
}

} // namespace

TEST(TransferWorker, DeliversTheResultOnTheOwnersThreadAfterTheJobEnded)
{
    dialogtest::ensureApp();
    TransferWorker worker;
    std::atomic<bool> jobOnOtherThread{false};
    QThread* doneThread = nullptr;
    int got = 0;
    ASSERT_TRUE(worker.start(
        [&] {
            jobOnOtherThread = QThread::currentThread() != QCoreApplication::instance()->thread();
            worker.consoleText(reinterpret_cast<const uint8_t*>("abc"), 3);
            return result(42);
        },
        [&](const comm::MaintenanceResult& r) {
            doneThread = QThread::currentThread();
            got = r.message;
        }));
    EXPECT_TRUE(worker.running());
    EXPECT_FALSE(worker.start([] { return result(1); }, [](const comm::MaintenanceResult&) {}))
        << "one job at a time";
    ASSERT_TRUE(dialogtest::waitUntil([&] { return !worker.running(); }, 10000));
    EXPECT_EQ(got, 42);
    EXPECT_TRUE(jobOnOtherThread);
    EXPECT_EQ(doneThread, QCoreApplication::instance()->thread());
    EXPECT_EQ(worker.takeConsoleText(), "abc");
    EXPECT_EQ(worker.takeConsoleText(), "");
}

TEST(TransferWorker, AQuestionHoldsTheJobUntilTheOwnerHasAnswered)
{
    dialogtest::ensureApp();
    TransferWorker worker;
    std::atomic<int> step{0};
    int askedWhileStep = -1;
    worker.onAcknowledge = [&](int message) {
        EXPECT_EQ(message, 10023);
        askedWhileStep = step.load();
    };
    bool done = false;
    worker.start(
        [&] {
            step = 1;
            worker.acknowledge(10023);
            step = 2;
            return result(0);
        },
        [&](const comm::MaintenanceResult&) { done = true; });
    ASSERT_TRUE(dialogtest::waitUntil([&] { return done; }, 10000));
    EXPECT_EQ(askedWhileStep, 1) << "the job waited in the question";
    EXPECT_EQ(step.load(), 2);
}

TEST(TransferWorker, GoingAwayFirstStopsTheJobAndDropsItsResult)
{
    dialogtest::ensureApp();
    struct Case {
        const char* name;
        bool asks; // the job waits in a question nobody answers
    } cases[] = {{"a job that stops when asked", false}, {"a job waiting for an answer", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto delivered = std::make_shared<bool>(false);
        std::atomic<bool> cancelled{false};
        std::atomic<bool> ended{false};
        {
            TransferWorker worker;
            worker.start(
                [&] {
                    if (c.asks)
                        worker.acknowledge(10023);
                    else
                        while (!worker.stopFlag().load())
                            std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    ended = true;
                    return result(7);
                },
                [delivered](const comm::MaintenanceResult&) { *delivered = true; },
                [&] { cancelled = true; });
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        EXPECT_TRUE(ended) << "joined before the worker went";
        EXPECT_TRUE(cancelled);
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents();
        EXPECT_FALSE(*delivered);
    }
}
