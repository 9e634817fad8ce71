#include "editing/CanvasView.h"

#include "editing/CanvasChildView.h"
#include "tests/support/Screenshot.h"

#include <gtest/gtest.h>

#include <QPointingDevice>
#include <QTest>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

namespace {

class RecordingDelegate : public CanvasViewDelegate {
public:
    explicit RecordingDelegate(CanvasView* canvas) : m_canvas(canvas) {}
    void canvasTouchesBegan(const platform::TouchSet& t, const platform::TouchEvent&) override { record("began", t); }
    void canvasTouchesMoved(const platform::TouchSet& t, const platform::TouchEvent&) override { record("moved", t); }
    void canvasTouchesEnded(const platform::TouchSet& t, const platform::TouchEvent&) override { record("ended", t); }
    void canvasTouchesCancelled(const platform::TouchSet& t, const platform::TouchEvent&) override
    {
        record("cancelled", t);
    }

    std::vector<std::string> calls;
    std::vector<QPointF> points;

private:
    void record(const char* what, const platform::TouchSet& t)
    {
        calls.emplace_back(what);
        points.push_back(m_canvas->normalizeTouch(t.empty() ? nullptr : &t.front()));
    }
    CanvasView* m_canvas;
};

QImage flat(QSize size, QColor color)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(color);
    return image;
}

// A 320 x 480 screen with a canvas in the painting screen's place, showing
// a 400 x 300 picture (fitted to 320 x 240, centred vertically).
class CanvasViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        screen = std::make_unique<QWidget>();
        screen->resize(320, 480);
        canvas = new CanvasView(QRectF(0, 40, 320, 396), QSizeF(400, 300), screen.get());
        delegate = std::make_unique<RecordingDelegate>(canvas);
        canvas->setCanvasDelegate(delegate.get());
        canvas->addBackgroundImageToSuperview();
        canvas->setImage(flat(QSize(400, 300), Qt::darkGreen));
        screen->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(screen.get()));
    }

    void TearDown() override
    {
        canvas->setCanvasDelegate(nullptr);
        screen.reset();
    }

    QWidget* content() const { return canvas->getContentView(); }

    static QPointingDevice* touchDevice()
    {
        static QPointingDevice* device = QTest::createTouchDevice();
        return device;
    }

    std::unique_ptr<QWidget> screen;
    CanvasView* canvas = nullptr;
    std::unique_ptr<RecordingDelegate> delegate;
};

} // namespace

TEST(CanvasViewFit, FitsByTheLimitingSideAndUsesTheWidthRuleOnATie)
{
    struct Case {
        QSizeF size;
        QRectF rect;
        QRectF expected;
    };
    const Case cases[] = {
        {{400, 300}, {0, 40, 320, 396}, {0, 40 + (396 - 240) / 2.0, 320, 240}},   // wider: full width
        {{300, 400}, {0, 40, 320, 396}, {(320 - 297) / 2.0, 40, 297, 396}},       // taller: full height
        {{160, 198}, {0, 40, 320, 396}, {0, 40, 320, 396}},                       // equal ratio
        {{333, 100}, {10, 0, 100, 100}, {10, (100 - 30) / 2.0, 100, 30}},         // 30.03 truncated
    };
    for (const Case& c : cases)
        EXPECT_EQ(CanvasView::fitSize(c.size, c.rect), c.expected) << c.size.width() << "x" << c.size.height();
}

TEST_F(CanvasViewTest, StartsAtZoomOneInDrawingModeWithThePictureCentred)
{
    EXPECT_EQ(canvas->getContentView()->boundsSize(), QSizeF(320, 240));
    EXPECT_EQ(content()->geometry(), QRect(0, 78, 320, 240));
    EXPECT_DOUBLE_EQ(canvas->zoomScale(), 1.0);
    EXPECT_DOUBLE_EQ(canvas->minimumZoomScale(), 1.0);
    EXPECT_DOUBLE_EQ(canvas->maximumZoomScale(), 4.0);
    EXPECT_FALSE(canvas->getPanAndZoom());
    EXPECT_FALSE(canvas->delaysContentTouches());
    EXPECT_EQ(canvas->panMinimumNumberOfTouches(), 2);
    ASSERT_TRUE(canvas->backgroundImageView());
    EXPECT_EQ(canvas->backgroundImageView()->geometry(), canvas->geometry());
    EXPECT_EQ(canvas->backgroundImageView()->parentWidget(), screen.get());
    EXPECT_EQ(canvas->normalizeTouch(nullptr), QPointF(0, 0));
}

TEST_F(CanvasViewTest, CanvasPointIsTheSameAtZoomOneAndFour)
{
    QTest::mouseClick(content(), Qt::LeftButton, {}, QPoint(100, 60));
    canvas->zoomToRect(QRectF(80, 50, 80, 99), false);
    ASSERT_DOUBLE_EQ(canvas->zoomScale(), 4.0);
    // The same picture position, wherever the zoomed content now lies.
    const QPoint local(100 * 4, 60 * 4);
    QTest::mouseClick(content(), Qt::LeftButton, {}, local);
    ASSERT_EQ(delegate->calls, (std::vector<std::string>{"began", "ended", "began", "ended"}));
    EXPECT_EQ(delegate->points[0], QPointF(100, 60));
    EXPECT_EQ(delegate->points[2], QPointF(100, 60));
    const QPointF viewPoint = content()->mapTo(canvas, QPointF(local));
    EXPECT_NEAR(canvas->contentPointFromView(viewPoint).x(), 100, 1e-9);

    QPointF edge(320, 240);
    canvas->convertTo(800, &edge);
    EXPECT_EQ(edge, QPointF(800, 600));
}

TEST_F(CanvasViewTest, DoubleTapZoomsToTheMaximumAroundThePointAndBack)
{
    for (const double maximum : {4.0, 5.0}) {
        canvas->setMaximumZoomScale(maximum);
        QTest::mouseDClick(content(), Qt::LeftButton, {}, QPoint(100, 60));
        QTRY_VERIFY_WITH_TIMEOUT(!canvas->isAnimating(), 2000);
        EXPECT_DOUBLE_EQ(canvas->zoomScale(), maximum);
        const QPointF centre = canvas->contentPointFromView(QPointF(160, 198));
        EXPECT_NEAR(centre.x(), 100, 0.5);
        EXPECT_NEAR(centre.y(), 60, 0.5);

        QTest::mouseDClick(content(), Qt::LeftButton, {}, QPoint(30, 30));
        QTRY_VERIFY_WITH_TIMEOUT(!canvas->isAnimating(), 2000);
        EXPECT_DOUBLE_EQ(canvas->zoomScale(), 1.0);
    }
    // The double taps themselves never reach the editor.
    EXPECT_TRUE(delegate->calls.empty());

    // Two quick touches: the first is an ordinary tap, the second zooms.
    QTest::touchEvent(screen.get(), touchDevice()).press(0, QPoint(50, 50), content());
    QTest::touchEvent(screen.get(), touchDevice()).release(0, QPoint(50, 50), content());
    QTest::touchEvent(screen.get(), touchDevice()).press(0, QPoint(51, 50), content());
    QTest::touchEvent(screen.get(), touchDevice()).release(0, QPoint(51, 50), content());
    EXPECT_EQ(delegate->calls, (std::vector<std::string>{"began", "ended"}));
    QTRY_VERIFY_WITH_TIMEOUT(!canvas->isAnimating(), 2000);
    EXPECT_DOUBLE_EQ(canvas->zoomScale(), 5.0);
}

TEST_F(CanvasViewTest, SecondFingerWhileDrawingCancelsTheStrokeAndPans)
{
    canvas->setZoomScale(2.0, false);
    canvas->setContentOffset(QPointF(0, 0));
    // One finger: the editor draws, nothing pans.
    QTest::mousePress(content(), Qt::LeftButton, {}, QPoint(40, 40));
    QTest::mouseMove(content(), QPoint(200, 150));
    QTest::mouseRelease(content(), Qt::LeftButton, {}, QPoint(200, 150));
    EXPECT_EQ(delegate->calls, (std::vector<std::string>{"began", "moved", "ended"}));
    EXPECT_EQ(canvas->contentOffset(), QPointF(0, 0));

    delegate->calls.clear();
    QTest::touchEvent(screen.get(), touchDevice()).press(0, QPoint(100, 100), content());
    QTest::touchEvent(screen.get(), touchDevice()).move(0, QPoint(120, 100), content());
    QTest::touchEvent(screen.get(), touchDevice()).stationary(0).press(1, QPoint(180, 100), content());
    QTest::touchEvent(screen.get(), touchDevice()).move(0, QPoint(100, 80), content()).move(1, QPoint(160, 80), content());
    QTest::touchEvent(screen.get(), touchDevice()).release(0, QPoint(100, 80), content()).release(1, QPoint(160, 80), content());
    EXPECT_EQ(delegate->calls, (std::vector<std::string>{"began", "moved", "cancelled"}));
    EXPECT_NEAR(canvas->contentOffset().x(), 20, 1e-6);
    EXPECT_NEAR(canvas->contentOffset().y(), 20, 1e-6);
}

TEST_F(CanvasViewTest, PanAndZoomModeWithoutThePassFlagGivesTheEditorNothing)
{
    canvas->setPanAndZoom(true, false);
    EXPECT_TRUE(canvas->getPanAndZoom());
    EXPECT_TRUE(canvas->delaysContentTouches());
    EXPECT_EQ(canvas->panMinimumNumberOfTouches(), 1);
    canvas->setZoomScale(2.0, false);
    canvas->setContentOffset(QPointF(0, 0));

    QTest::mouseClick(content(), Qt::LeftButton, {}, QPoint(50, 50));
    QTest::mousePress(content(), Qt::LeftButton, {}, QPoint(200, 200));
    QTest::mouseMove(content(), QPoint(150, 160));
    QTest::mouseRelease(content(), Qt::LeftButton, {}, QPoint(150, 160));
    EXPECT_TRUE(delegate->calls.empty());
    EXPECT_EQ(canvas->contentOffset(), QPointF(50, 40));
}

TEST_F(CanvasViewTest, PanAndZoomModeWithThePassFlagHandsOverTapsAndPansDrags)
{
    canvas->setPanAndZoom(true, true);
    canvas->setZoomScale(2.0, false);
    canvas->setContentOffset(QPointF(0, 0));

    QTest::mouseClick(content(), Qt::LeftButton, {}, QPoint(50, 60));
    EXPECT_EQ(delegate->calls, (std::vector<std::string>{"began", "ended"}));
    EXPECT_EQ(delegate->points[0], QPointF(25, 30));

    // A finger held past the delay reaches the editor; its drag then pans and
    // cancels what was handed over.
    delegate->calls.clear();
    QTest::mousePress(content(), Qt::LeftButton, {}, QPoint(200, 200));
    QTRY_COMPARE_WITH_TIMEOUT(delegate->calls.size(), 1u, 2000);
    QTest::mouseMove(content(), QPoint(170, 200));
    QTest::mouseRelease(content(), Qt::LeftButton, {}, QPoint(170, 200));
    EXPECT_EQ(delegate->calls, (std::vector<std::string>{"began", "cancelled"}));
    EXPECT_EQ(canvas->contentOffset(), QPointF(30, 0));
}

TEST_F(CanvasViewTest, PartialUpdateRedrawsOnlyTheRectangle)
{
    const QRectF rect(40, 20, 80, 60);
    canvas->setImage(flat(QSize(400, 300), Qt::blue), rect);
    EXPECT_EQ(canvas->rcInvalid(), rect);
    const QImage& shown = canvas->getContentView()->shownImage();
    // Canvas points to picture pixels: 400 / 320.
    EXPECT_EQ(shown.pixelColor(int(80 * 1.25), int(50 * 1.25)), QColor(Qt::blue));
    EXPECT_EQ(shown.pixelColor(int(200 * 1.25), int(50 * 1.25)), QColor(Qt::darkGreen));
    EXPECT_EQ(shown.pixelColor(int(80 * 1.25), int(100 * 1.25)), QColor(Qt::darkGreen));
    EXPECT_TRUE(QRect(39, 19, 82, 62).contains(canvas->getContentView()->lastUpdateRect()));

    const QImage grabbed = content()->grab().toImage();
    EXPECT_EQ(grabbed.pixelColor(80 * 2, 50 * 2), QColor(Qt::blue));
    EXPECT_EQ(grabbed.pixelColor(250 * 2, 200 * 2), QColor(Qt::darkGreen));
    testsupport::saveScreenshot(screen.get(), "canvas_partial_update");

    canvas->setImage(flat(QSize(400, 300), Qt::red));
    EXPECT_EQ(canvas->rcInvalid(), QRectF(0, 0, 0, 0));
    EXPECT_EQ(canvas->getContentView()->shownImage().pixelColor(250, 200), QColor(Qt::red));
}
