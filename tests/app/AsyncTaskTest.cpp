#include "app/AsyncTask.h"

#include "platform/ProgressHud.h"

#include <gtest/gtest.h>

#include <QPointer>
#include <QTest>
#include <QThread>
#include <QWidget>

#include <atomic>
#include <vector>

namespace {
constexpr int kTimeoutMs = 5000;
}

class AsyncTaskTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_view = std::make_unique<QWidget>();
        m_view->resize(320, 480);
        m_view->show();
    }
    std::unique_ptr<QWidget> m_view;
};

TEST_F(AsyncTaskTest, RunsItsStepsInOrderOnTheirThreadsAndTheCompletionSeesTheMainStep)
{
    std::vector<std::string> order;
    QThread* mainThread = QThread::currentThread();
    QThread* preThread = nullptr;
    QThread* workerThread = nullptr;
    QThread* postThread = nullptr;
    std::vector<int> written; // plain data, written by the worker only
    bool postSawAll = false;
    auto task = AsyncTask::create(m_view.get());
    task->execute(
        [&](AsyncTask*) {
            preThread = QThread::currentThread();
            order.push_back("pre");
        },
        [&](AsyncTask*) {
            workerThread = QThread::currentThread();
            for (int i = 0; i < 1000; ++i)
                written.push_back(i);
        },
        [&](AsyncTask*) {
            postThread = QThread::currentThread();
            order.push_back("post");
            postSawAll = written.size() == 1000 && written.back() == 999;
        });
    EXPECT_EQ(order, std::vector<std::string>{"pre"}) << "the preparation runs at once, synchronously";
    QTRY_COMPARE_WITH_TIMEOUT(AsyncTask::runningTaskCount(), 0, kTimeoutMs);
    EXPECT_EQ(order, (std::vector<std::string>{"pre", "post"}));
    EXPECT_EQ(preThread, mainThread);
    EXPECT_EQ(postThread, mainThread);
    ASSERT_NE(workerThread, nullptr);
    EXPECT_NE(workerThread, mainThread);
    EXPECT_TRUE(postSawAll);
}

TEST_F(AsyncTaskTest, TheDisplayCoversTheViewWhileTheMainStepRuns)
{
    std::atomic<bool> release{false};
    std::atomic<bool> started{false};
    auto task = AsyncTask::create(m_view.get());
    QPointer<platform::ProgressHud> hud = task->getHud();
    ASSERT_FALSE(hud.isNull());
    EXPECT_EQ(hud->parentWidget(), m_view.get());
    task->execute(nullptr,
                  [&](AsyncTask* t) {
                      t->getHud()->setLabelText(QStringLiteral("ANALYZING"));
                      started = true;
                      while (!release)
                          QThread::msleep(1);
                  },
                  nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(started.load(), kTimeoutMs);
    EXPECT_TRUE(hud->isVisible());
    EXPECT_EQ(hud->geometry(), m_view->rect());
    QTRY_COMPARE_WITH_TIMEOUT(hud->labelText(), QStringLiteral("ANALYZING"), kTimeoutMs);
    EXPECT_EQ(AsyncTask::runningTaskCount(), 1);
    release = true;
    // Without a completion step the display still goes and the task ends.
    QTRY_VERIFY_WITH_TIMEOUT(hud.isNull(), kTimeoutMs);
    EXPECT_EQ(AsyncTask::runningTaskCount(), 0);
}

TEST_F(AsyncTaskTest, TheCallerMayDropTheTaskRightAfterExecute)
{
    std::weak_ptr<AsyncTask> weak;
    bool posted = false;
    {
        auto task = AsyncTask::create(m_view.get());
        weak = task;
        task->execute(nullptr, [](AsyncTask*) { QThread::msleep(20); }, [&](AsyncTask*) { posted = true; });
    }
    EXPECT_FALSE(weak.expired()) << "the running task keeps itself alive";
    QTRY_VERIFY_WITH_TIMEOUT(posted, kTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(weak.expired(), kTimeoutMs);
}

TEST_F(AsyncTaskTest, ParamsSetBeforeExecuteReachTheMainStepAndParamsSetThereTheCompletion)
{
    int seenWidth = 0, seenHeight = 0, seenResult = 0;
    auto task = AsyncTask::create(m_view.get());
    task->setParam1(1600);
    task->setParam2(1200);
    task->execute(nullptr,
                  [&](AsyncTask* t) {
                      seenWidth = t->param1();
                      seenHeight = t->param2();
                      t->setParam3(42);
                  },
                  [&](AsyncTask* t) { seenResult = t->param3(); });
    task.reset();
    QTRY_COMPARE_WITH_TIMEOUT(seenResult, 42, kTimeoutMs);
    EXPECT_EQ(seenWidth, 1600);
    EXPECT_EQ(seenHeight, 1200);
}

TEST_F(AsyncTaskTest, ATaskThatNeverRanLeavesNoDisplayBehind)
{
    QPointer<platform::ProgressHud> hud;
    {
        auto task = AsyncTask::create(m_view.get());
        hud = task->getHud();
        EXPECT_FALSE(hud->isVisible());
    }
    EXPECT_TRUE(hud.isNull());
}

TEST_F(AsyncTaskTest, AViewDestroyedDuringTheMainStepEndsTheTaskWithoutItsCompletion)
{
    std::atomic<bool> release{false};
    std::atomic<bool> started{false};
    bool posted = false;
    std::weak_ptr<AsyncTask> weak;
    {
        auto task = AsyncTask::create(m_view.get());
        weak = task;
        task->execute(nullptr,
                      [&](AsyncTask*) {
                          started = true;
                          while (!release)
                              QThread::msleep(1);
                      },
                      [&](AsyncTask*) { posted = true; });
    }
    QTRY_VERIFY_WITH_TIMEOUT(started.load(), kTimeoutMs);
    release = true; // the display waits for its worker when it is destroyed
    m_view.reset();
    QTest::qWait(20);
    EXPECT_FALSE(posted);
    EXPECT_TRUE(weak.expired());
    EXPECT_EQ(AsyncTask::runningTaskCount(), 0);
}
