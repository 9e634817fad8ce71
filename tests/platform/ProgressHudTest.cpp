#include "platform/ProgressHud.h"

#include "tests/support/Screenshot.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <mutex>

using platform::ProgressHud;

namespace {

class ProgressHudTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_window.resize(320, 480);
        m_view = new QWidget(&m_window);
        m_view->setGeometry(0, 0, 320, 480);
        m_button = new QPushButton(QStringLiteral("edit"), m_view);
        m_button->setGeometry(100, 100, 100, 40);
        QObject::connect(m_button, &QPushButton::clicked, [this] { ++m_clicks; });
        m_window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_window));
    }

    void clickButtonThroughWindow()
    {
        QTest::mouseClick(m_window.windowHandle(), Qt::LeftButton, {}, QPoint(150, 120));
    }

    // The work waits on this gate, so the test decides when it returns.
    struct Gate {
        std::mutex mutex;
        std::condition_variable cv;
        bool open = false;
        void wait()
        {
            std::unique_lock<std::mutex> lock(mutex);
            cv.wait(lock, [this] { return open; });
        }
        void release()
        {
            {
                std::lock_guard<std::mutex> lock(mutex);
                open = true;
            }
            cv.notify_all();
        }
    };

    QWidget m_window;
    QWidget* m_view = nullptr;
    QPushButton* m_button = nullptr;
    int m_clicks = 0;
};

TEST_F(ProgressHudTest, WorkRunsOnAWorkerWhileShownThenTheDisplayHidesAndReportsOnTheMainThread)
{
    ProgressHud hud(m_view);
    EXPECT_FALSE(hud.isVisible());
    Gate gate;
    std::atomic<bool> workerIsOtherThread{false};
    std::atomic<int> seenParam{0};
    int written = 0;  // written by the work, read after the report
    int param = 640;  // set before the work starts
    int reports = 0;
    bool reportOnMain = false;
    bool hiddenWhenReported = false;
    hud.setHudWasHidden([&](ProgressHud* h) {
        ++reports;
        reportOnMain = QThread::currentThread() == qApp->thread();
        hiddenWhenReported = !h->isVisible();
        EXPECT_EQ(written, 42);
    });
    hud.showWhileExecuting(
        [&] {
            workerIsOtherThread = QThread::currentThread() != qApp->thread();
            seenParam = param;
            gate.wait();
            written = 42;
        },
        true);

    EXPECT_TRUE(hud.isVisible());
    EXPECT_EQ(hud.geometry(), m_view->rect());
    QTest::qWait(50);
    EXPECT_TRUE(hud.isVisible());  // still working
    EXPECT_EQ(reports, 0);
    testsupport::saveScreenshot(&m_window, QStringLiteral("progress_hud_spinner"));

    gate.release();
    QTRY_COMPARE_WITH_TIMEOUT(reports, 1, 3000);
    EXPECT_TRUE(workerIsOtherThread);
    EXPECT_EQ(seenParam, 640);
    EXPECT_TRUE(reportOnMain);
    EXPECT_TRUE(hiddenWhenReported);
    EXPECT_FALSE(hud.isShowing());
    QTest::qWait(50);
    EXPECT_EQ(reports, 1);
}

TEST_F(ProgressHudTest, TheDisplayTakesTheViewsClicksOnlyWhileShown)
{
    ProgressHud hud(m_view);
    Gate gate;
    bool hidden = false;
    hud.setHudWasHidden([&](ProgressHud*) { hidden = true; });
    hud.showWhileExecuting([&] { gate.wait(); }, false);
    clickButtonThroughWindow();
    EXPECT_EQ(m_clicks, 0);
    gate.release();
    QTRY_VERIFY(hidden);
    clickButtonThroughWindow();
    EXPECT_EQ(m_clicks, 1);
}

TEST_F(ProgressHudTest, LabelModeAndProgressSetFromTheWorkerReachTheDisplay)
{
    ProgressHud hud(m_view);
    Gate gate;
    std::atomic<bool> set{false};
    hud.showWhileExecuting(
        [&] {
            hud.setLabelText(QStringLiteral("SAVING"));
            hud.setMode(platform::ProgressDisplay::Mode::Determinate);
            for (int i = 0; i <= 50; ++i)
                hud.setProgress(static_cast<float>(i) / 100.0f);
            set = true;
            gate.wait();
        },
        false);
    QTRY_VERIFY(set.load());
    QCoreApplication::processEvents();
    EXPECT_EQ(hud.labelText(), QStringLiteral("SAVING"));
    EXPECT_EQ(hud.hudMode(), ProgressHud::HudMode::Determinate);
    EXPECT_FLOAT_EQ(hud.progress(), 0.5f);
    // The box grew to hold the label.
    EXPECT_GT(hud.boxRect().width(), QFontMetrics(hud.font()).horizontalAdvance(QStringLiteral("SAVING")));
    testsupport::saveScreenshot(&m_window, QStringLiteral("progress_hud_bar"));
    gate.release();
    QTRY_VERIFY(!hud.isShowing());
}

TEST_F(ProgressHudTest, HideReportsOncePerShowAndAfterItsDelay)
{
    ProgressHud hud(m_view);
    int reports = 0;
    hud.setHudWasHidden([&](ProgressHud*) { ++reports; });
    hud.hide(false);  // not shown: nothing to report
    QCoreApplication::processEvents();
    EXPECT_EQ(reports, 0);

    hud.show(false);
    hud.hide(true, 0.2);
    QTest::qWait(100);
    EXPECT_TRUE(hud.isVisible());
    hud.hide(true, 0.2);  // a second hide restarts the delay, reports once
    QTRY_COMPARE_WITH_TIMEOUT(reports, 1, 3000);
    EXPECT_FALSE(hud.isVisible());
    QTest::qWait(300);
    EXPECT_EQ(reports, 1);
}

TEST_F(ProgressHudTest, TheHandlerMayDeleteTheDisplayAndRemoveOnHideDeletesIt)
{
    QPointer<ProgressHud> deletedByHandler = new ProgressHud(m_view);
    deletedByHandler->setHudWasHidden([](ProgressHud* h) { delete h; });
    deletedByHandler->showWhileExecuting([] {}, true);
    QTRY_VERIFY(deletedByHandler.isNull());

    QPointer<ProgressHud> removed = new ProgressHud(m_view);
    removed->setRemoveFromSuperViewOnHide(true);
    int reports = 0;
    removed->setHudWasHidden([&](ProgressHud*) { ++reports; });
    removed->showWhileExecuting([] {}, false);
    QTRY_VERIFY(removed.isNull());
    EXPECT_EQ(reports, 1);
}

TEST_F(ProgressHudTest, CustomViewModeShowsTheViewInTheBox)
{
    ProgressHud hud(m_view);
    auto* icon = new QLabel;
    icon->resize(37, 37);
    hud.setCustomView(icon);
    hud.setHudMode(ProgressHud::HudMode::CustomView);
    hud.setLabelText(QStringLiteral("SAVED"));
    hud.show(false);
    EXPECT_EQ(icon->parentWidget(), &hud);
    EXPECT_TRUE(icon->isVisible());
    EXPECT_TRUE(hud.boxRect().contains(icon->geometry()));
    hud.setHudMode(ProgressHud::HudMode::Indeterminate);
    EXPECT_FALSE(icon->isVisible());
}

TEST_F(ProgressHudTest, DestroyingTheDisplayWaitsForItsWorker)
{
    std::atomic<bool> finished{false};
    {
        ProgressHud hud(m_view);
        hud.showWhileExecuting(
            [&] {
                QThread::msleep(50);
                hud.setLabelText(QStringLiteral("late"));
                finished = true;
            },
            false);
    }
    EXPECT_TRUE(finished.load());
    QCoreApplication::processEvents();
}

} // namespace
