#include "platform/ZoomingScrollView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPointingDevice>
#include <QTest>
#include <QWheelEvent>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

using platform::TouchEvent;
using platform::TouchSet;
using platform::ZoomingScrollView;

namespace {

// A content view that records what reaches it, as "began:1" (touches in the
// call) and the content points of the first touch.
class RecordingContent : public QWidget, public platform::TouchResponder {
public:
    explicit RecordingContent(ZoomingScrollView* owner) : m_owner(owner) {}
    void touchesBegan(const TouchSet& t, const TouchEvent&) override { record("began", t); }
    void touchesMoved(const TouchSet& t, const TouchEvent&) override { record("moved", t); }
    void touchesEnded(const TouchSet& t, const TouchEvent&) override { record("ended", t); }
    void touchesCancelled(const TouchSet& t, const TouchEvent&) override { record("cancelled", t); }

    std::vector<std::string> calls;
    std::vector<QPointF> points;
    std::vector<int> tapCounts;

private:
    void record(const char* what, const TouchSet& t)
    {
        calls.push_back(std::string(what) + ":" + std::to_string(t.size()));
        points.push_back(m_owner->contentPoint(t.front()));
        tapCounts.push_back(t.front().tapCount);
    }
    ZoomingScrollView* m_owner;
};

class TestScrollView : public ZoomingScrollView {
public:
    using ZoomingScrollView::ZoomingScrollView;
    bool shouldBegin = true;
    bool shouldCancel = true;
    int offers = 0;
    int lastOfferTapCount = 0;

protected:
    bool touchesShouldBegin(const TouchSet& touches, const TouchEvent&, QWidget*) override
    {
        ++offers;
        lastOfferTapCount = touches.front().tapCount;
        return shouldBegin;
    }
    bool touchesShouldCancelInContentView(QWidget*) override { return shouldCancel; }
};

class ZoomingScrollViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = std::make_unique<QWidget>();
        window->resize(320, 480);
        view = new TestScrollView(window.get());
        view->setGeometry(0, 40, 320, 400);
        content = new RecordingContent(view);
        view->setMinimumZoomScale(1.0);
        view->setMaximumZoomScale(4.0);
        view->setContentView(content, QSizeF(320, 400));
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    // Drawing-tool settings: content touches at once, two fingers to pan.
    void drawingMode()
    {
        view->setDelaysContentTouches(false);
        view->setPanMinimumNumberOfTouches(2);
    }
    // Pan-and-zoom settings: touches held back, one finger pans.
    void panMode()
    {
        view->setDelaysContentTouches(true);
        view->setPanMinimumNumberOfTouches(1);
    }

    static QPointingDevice* touchDevice()
    {
        static QPointingDevice* device = QTest::createTouchDevice();
        return device;
    }

    std::unique_ptr<QWidget> window;
    TestScrollView* view = nullptr;
    RecordingContent* content = nullptr;
};

} // namespace

TEST_F(ZoomingScrollViewTest, ZoomKeepsContentPointsAndClampsScaleAndOffset)
{
    EXPECT_DOUBLE_EQ(view->contentPointFromView(QPointF(100, 50)).x(), 100);
    view->zoomToRect(QRectF(99, 49, 2, 2), false);
    // As far in as allowed, centred on the rectangle's centre.
    EXPECT_DOUBLE_EQ(view->zoomScale(), 4.0);
    EXPECT_EQ(view->contentOffset(), QPointF(100 * 4 - 160, 50 * 4 - 200));
    const QPointF centre = view->contentPointFromView(QPointF(160, 200));
    EXPECT_NEAR(centre.x(), 100, 0.3);
    EXPECT_NEAR(centre.y(), 50, 0.3);
    EXPECT_EQ(content->size(), QSize(1280, 1600));

    view->setZoomScale(9.0, false);
    EXPECT_DOUBLE_EQ(view->zoomScale(), 4.0);
    view->setContentOffset(QPointF(5000, -20));
    EXPECT_EQ(view->contentOffset(), QPointF(1280 - 320, 0));
    view->setZoomScale(0.2, false);
    EXPECT_DOUBLE_EQ(view->zoomScale(), 1.0);
    EXPECT_EQ(view->contentOffset(), QPointF(0, 0));
}

TEST_F(ZoomingScrollViewTest, AnimatedZoomEndsAtTheTarget)
{
    view->setZoomScale(3.0, true);
    EXPECT_TRUE(view->isAnimating());
    QTRY_VERIFY_WITH_TIMEOUT(!view->isAnimating(), 2000);
    EXPECT_DOUBLE_EQ(view->zoomScale(), 3.0);
}

TEST_F(ZoomingScrollViewTest, OneFingerDrawsButNeverPansInDrawingMode)
{
    drawingMode();
    QTest::mousePress(content, Qt::LeftButton, {}, QPoint(50, 50));
    QTest::mouseMove(content, QPoint(150, 120));
    QTest::mouseMove(content, QPoint(200, 200));
    QTest::mouseRelease(content, Qt::LeftButton, {}, QPoint(200, 200));
    EXPECT_EQ(content->calls, (std::vector<std::string>{"began:1", "moved:1", "moved:1", "ended:1"}));
    EXPECT_EQ(content->points.front(), QPointF(50, 50));
    EXPECT_EQ(view->contentOffset(), QPointF(0, 0));
}

TEST_F(ZoomingScrollViewTest, SecondFingerCancelsTheContentAndPans)
{
    drawingMode();
    view->setZoomScale(2.0, false);
    view->setContentOffset(QPointF(100, 100));
    QTest::touchEvent(window.get(), touchDevice()).press(0, QPoint(100, 100), view);
    QTest::touchEvent(window.get(), touchDevice()).move(0, QPoint(110, 110), view);
    QTest::touchEvent(window.get(), touchDevice()).stationary(0).press(1, QPoint(160, 100), view);
    EXPECT_EQ(content->calls, (std::vector<std::string>{"began:1", "moved:1", "cancelled:1"}));
    // Both fingers move by (-30, -20): the content follows them.
    QTest::touchEvent(window.get(), touchDevice()).move(0, QPoint(80, 90), view).move(1, QPoint(130, 80), view);
    QTest::touchEvent(window.get(), touchDevice()).release(0, QPoint(80, 90), view).release(1, QPoint(130, 80), view);
    EXPECT_EQ(content->calls.size(), 3u);
    EXPECT_NEAR(view->zoomScale(), 2.0, 1e-9);
    EXPECT_NEAR(view->contentOffset().x(), 130, 1e-6);
    EXPECT_NEAR(view->contentOffset().y(), 120, 1e-6);
}

TEST_F(ZoomingScrollViewTest, PinchZoomsAroundTheFingers)
{
    drawingMode();
    QTest::touchEvent(window.get(), touchDevice()).press(0, QPoint(100, 200), view).press(1, QPoint(140, 200), view);
    QTest::touchEvent(window.get(), touchDevice()).move(0, QPoint(80, 200), view).move(1, QPoint(160, 200), view);
    QTest::touchEvent(window.get(), touchDevice()).release(0, QPoint(80, 200), view).release(1, QPoint(160, 200), view);
    EXPECT_TRUE(content->calls.empty());
    EXPECT_NEAR(view->zoomScale(), 2.0, 1e-9);
    // The content point under the fingers' centre (120, 200) stays there.
    EXPECT_NEAR(view->contentPointFromView(QPointF(120, 200)).x(), 120, 0.5);
}

TEST_F(ZoomingScrollViewTest, ContentThatRefusesCancellationKeepsItsTouches)
{
    drawingMode();
    view->shouldCancel = false;
    QTest::touchEvent(window.get(), touchDevice()).press(0, QPoint(100, 100), view);
    QTest::touchEvent(window.get(), touchDevice()).stationary(0).press(1, QPoint(160, 100), view);
    QTest::touchEvent(window.get(), touchDevice()).move(0, QPoint(120, 100), view).stationary(1);
    QTest::touchEvent(window.get(), touchDevice()).release(0, QPoint(120, 100), view).release(1, QPoint(160, 100), view);
    EXPECT_EQ(content->calls, (std::vector<std::string>{"began:1", "moved:1", "ended:1"}));
}

TEST_F(ZoomingScrollViewTest, DelayedTouchesMakeAQuickDragAPanAndATapATap)
{
    panMode();
    view->setZoomScale(2.0, false);
    view->setContentOffset(QPointF(0, 0));
    QTest::mousePress(content, Qt::LeftButton, {}, QPoint(200, 200));
    QTest::mouseMove(content, QPoint(150, 180));
    QTest::mouseRelease(content, Qt::LeftButton, {}, QPoint(150, 180));
    EXPECT_TRUE(content->calls.empty());
    EXPECT_EQ(view->contentOffset(), QPointF(50, 20));

    // A tap is handed over when the finger lifts, before the delay ran out.
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(60, 70));
    EXPECT_EQ(content->calls, (std::vector<std::string>{"began:1", "ended:1"}));
    EXPECT_NEAR(content->points.front().x(), (60 + 50) / 2.0, 0.5);
    EXPECT_NEAR(content->points.front().y(), (70 + 20) / 2.0, 0.5);
}

TEST_F(ZoomingScrollViewTest, HeldTouchReachesTheContentAfterTheDelayAndIsCancelledByAPan)
{
    panMode();
    view->setZoomScale(2.0, false);
    view->setContentOffset(QPointF(0, 0));
    QTest::mousePress(content, Qt::LeftButton, {}, QPoint(100, 100));
    QTRY_COMPARE_WITH_TIMEOUT(content->calls.size(), 1u, 2000);
    QTest::mouseMove(content, QPoint(60, 100));
    QTest::mouseRelease(content, Qt::LeftButton, {}, QPoint(60, 100));
    EXPECT_EQ(content->calls, (std::vector<std::string>{"began:1", "cancelled:1"}));
    EXPECT_EQ(view->contentOffset(), QPointF(40, 0));
}

TEST_F(ZoomingScrollViewTest, RefusedOfferGivesTheContentNothing)
{
    panMode();
    view->shouldBegin = false;
    QTest::mouseClick(content, Qt::LeftButton, {}, QPoint(60, 70));
    EXPECT_EQ(view->offers, 1);
    EXPECT_TRUE(content->calls.empty());
}

TEST_F(ZoomingScrollViewTest, DoubleClickAndQuickSecondTouchAreDoubleTaps)
{
    drawingMode();
    view->shouldBegin = false;
    QTest::mouseDClick(content, Qt::LeftButton, {}, QPoint(60, 70));
    EXPECT_EQ(view->lastOfferTapCount, 2);

    QTest::touchEvent(window.get(), touchDevice()).press(0, QPoint(30, 30), view);
    QTest::touchEvent(window.get(), touchDevice()).release(0, QPoint(30, 30), view);
    EXPECT_EQ(view->lastOfferTapCount, 1);
    QTest::touchEvent(window.get(), touchDevice()).press(0, QPoint(32, 31), view);
    EXPECT_EQ(view->lastOfferTapCount, 2);
    QTest::touchEvent(window.get(), touchDevice()).release(0, QPoint(32, 31), view);
    // A third tap starts counting again.
    QTest::touchEvent(window.get(), touchDevice()).press(0, QPoint(32, 31), view);
    EXPECT_EQ(view->lastOfferTapCount, 1);
    QTest::touchEvent(window.get(), touchDevice()).release(0, QPoint(32, 31), view);
}

TEST_F(ZoomingScrollViewTest, ModifierDragPansAndCtrlWheelZoomsOnTheDesktop)
{
    drawingMode();
    view->setZoomScale(2.0, false);
    view->setContentOffset(QPointF(0, 0));
    QTest::mousePress(content, Qt::LeftButton, Qt::ShiftModifier, QPoint(200, 200));
    QTest::mouseMove(content, QPoint(170, 190));
    QTest::mouseRelease(content, Qt::LeftButton, Qt::ShiftModifier, QPoint(170, 190));
    EXPECT_TRUE(content->calls.empty());
    EXPECT_EQ(view->contentOffset(), QPointF(30, 10));

    const QPointF at(100, 100);
    const QPointF under = view->contentPointFromView(at);
    QWheelEvent zoomIn(at, view->mapToGlobal(at), QPoint(), QPoint(0, 480), Qt::NoButton, Qt::ControlModifier,
                       Qt::NoScrollPhase, false);
    QApplication::sendEvent(view, &zoomIn);
    EXPECT_NEAR(view->zoomScale(), 4.0, 1e-9);
    EXPECT_NEAR(view->contentPointFromView(at).x(), under.x(), 0.5);
    EXPECT_NEAR(view->contentPointFromView(at).y(), under.y(), 0.5);

    const QPointF offset = view->contentOffset();
    QWheelEvent scroll(at, view->mapToGlobal(at), QPoint(0, -30), QPoint(0, -90), Qt::NoButton, Qt::NoModifier,
                       Qt::NoScrollPhase, false);
    QApplication::sendEvent(view, &scroll);
    EXPECT_EQ(view->contentOffset(), offset + QPointF(0, 30));
}

TEST_F(ZoomingScrollViewTest, TouchOutsideTheContentIsNeverOffered)
{
    drawingMode();
    view->setContentView(content, QSizeF(100, 100));
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(250, 300));
    EXPECT_EQ(view->offers, 0);
    EXPECT_TRUE(content->calls.empty());
}
