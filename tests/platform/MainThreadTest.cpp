#include "platform/MainThread.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QObject>
#include <QTest>
#include <QThread>

#include <atomic>
#include <thread>

TEST(MainThreadTest, WorkFromAWorkerRunsOnTheMainThread)
{
    QThread* mainThread = QThread::currentThread();
    EXPECT_TRUE(platform::isMainThread());
    std::atomic<QThread*> ranOn{nullptr};
    std::atomic<bool> workerSawMain{true};
    std::thread worker([&] {
        workerSawMain = platform::isMainThread();
        platform::performOnMainThread([&] { ranOn = QThread::currentThread(); });
    });
    worker.join();
    EXPECT_FALSE(workerSawMain.load());
    EXPECT_EQ(ranOn.load(), nullptr) << "queued, not run on the worker";
    QTRY_COMPARE_WITH_TIMEOUT(ranOn.load(), mainThread, 2000);
}

TEST(MainThreadTest, WaitUntilDoneReturnsAfterTheWorkRan)
{
    std::atomic<int> value{0};
    std::atomic<bool> returned{false};
    std::atomic<int> seenAfterReturn{-1};
    std::thread worker([&] {
        platform::performOnMainThread([&] { value = 7; }, true);
        seenAfterReturn = value.load();
        returned = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(returned.load(), 2000);
    worker.join();
    EXPECT_EQ(seenAfterReturn.load(), 7);
    // On the main thread itself it runs at once.
    int direct = 0;
    platform::performOnMainThread([&] { direct = 1; }, true);
    EXPECT_EQ(direct, 1);
}

TEST(MainThreadTest, WorkRunsInOrderOnTheNextTurnOfTheLoop)
{
    std::vector<int> order;
    platform::performOnMainThread([&] { order.push_back(1); });
    platform::performAfterDelay(0, [&] { order.push_back(2); });
    platform::performOnMainThread([&] { order.push_back(3); });
    EXPECT_TRUE(order.empty());
    QTRY_COMPARE_WITH_TIMEOUT(order.size(), size_t(3), 2000);
    EXPECT_EQ(order.front(), 1);
}

TEST(MainThreadTest, AfterADelayRunsNoSoonerThanAsked)
{
    QElapsedTimer clock;
    clock.start();
    std::atomic<qint64> ranAt{-1};
    std::thread worker([&] { platform::performAfterDelay(0.05, [&] { ranAt = clock.elapsed(); }); });
    worker.join();
    QTRY_VERIFY_WITH_TIMEOUT(ranAt.load() >= 0, 2000);
    EXPECT_GE(ranAt.load(), 45);
}

TEST(MainThreadTest, WorkForADestroyedContextIsDropped)
{
    bool ran = false;
    auto* context = new QObject;
    platform::performAfterDelay(0.01, [&] { ran = true; }, context);
    platform::performOnMainThread([&] { ran = true; }, false, context);
    delete context;
    QTest::qWait(50);
    EXPECT_FALSE(ran);
}
