#include "editing/FreeEditDepthView.h"

#include "app/AppData.h"
#include "app/PhotoIntake.h"
#include "editing/CanvasChildView.h"
#include "platform/AlertView.h"
#include "platform/ImageButton.h"
#include "platform/ResourceLookup.h"
#include "platform/StringTable.h"
#include "tests/support/Fixtures.h"
#include "tests/support/Screenshot.h"
#include "ui/SubToolbarMgr.h"
#include "ui/Toolbar.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QPointingDevice>
#include <QTest>

#include <opencv2/imgproc.hpp>

#include <memory>
#include <vector>

namespace {

// A stand-in for the screens this one switches to.
class OtherScreen : public WorkView {
public:
    using WorkView::WorkView;
};

QString samplePath()
{
    return platform::resourcePath(QStringLiteral("sample/sample.jpg"));
}

cv::Mat depthOf(const cv::Mat& drawing)
{
    cv::Mat depth(drawing.size(), CV_8UC1);
    cv::extractChannel(drawing, depth, 3);
    return depth;
}

// The painting screen inside a real root view, on a document made from the
// sample photo (working size 400 x 300, depth map 800 x 600, canvas 320 x 240).
class FreeEditDepthViewTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        MainView::registerWorkView(3, [](const QRect& frame, MainView* parent) {
            return new FreeEditDepthView(frame, parent);
        });
        for (int id : {1, 4, 5})
            MainView::registerWorkView(id, [](const QRect& frame, MainView* parent) {
                return new OtherScreen(frame, parent);
            });
    }

    void SetUp() override
    {
        root = std::make_unique<MainView>(QRect(0, 0, 320, 480), nullptr);
        QString error;
        const platform::Image photo =
            platform::Image::fromFile(samplePath(), &error);
        ASSERT_FALSE(photo.isNull()) << error.toStdString();
        ASSERT_TRUE(loadPhotoIntoDocument(*root->getAppData(), photo, platform::Image(), QUrl(), &error))
            << error.toStdString();
        root->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(root.get()));
    }

    void TearDown() override
    {
        for (platform::AlertView* alert : platform::AlertView::visibleAlerts())
            alert->dismissWithClickedButtonIndex(alert->cancelButtonIndex());
        root.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Opens the painting screen over the document's depth map, filled with
    // value when given.
    FreeEditDepthView* open(int fill = -1)
    {
        AppData* doc = root->getAppData();
        if (fill >= 0)
            doc->m_pDepthMap->setTo(fill);
        originalDepth = doc->m_pDepthMap->clone();
        root->selectWorkView(3, false);
        auto* view = dynamic_cast<FreeEditDepthView*>(root->currentWorkView());
        EXPECT_TRUE(view);
        return view;
    }

    cv::Mat& depthMap() const { return *root->getAppData()->m_pDepthMap; }
    QWidget* content(FreeEditDepthView* view) const { return view->canvas()->getContentView(); }

    // A mouse stroke through canvas points.
    void stroke(FreeEditDepthView* view, const std::vector<QPointF>& points)
    {
        const double zoom = view->canvas()->zoomScale();
        auto local = [&](const QPointF& p) { return (p * zoom).toPoint(); };
        QTest::mousePress(content(view), Qt::LeftButton, {}, local(points.front()));
        for (size_t i = 1; i < points.size(); ++i)
            QTest::mouseMove(content(view), local(points[i]));
        QTest::mouseRelease(content(view), Qt::LeftButton, {}, local(points.back()));
    }

    static platform::AlertView* onlyAlert()
    {
        const auto alerts = platform::AlertView::visibleAlerts();
        return alerts.size() == 1 ? alerts.front() : nullptr;
    }

    // Answers the only alert with its button titled key ("NO" or "YES").
    static void answer(const char* key)
    {
        platform::AlertView* alert = onlyAlert();
        ASSERT_TRUE(alert);
        for (int i = 0; i < alert->numberOfButtons(); ++i)
            if (alert->buttonTitleAtIndex(i) == platform::localizedString(QString::fromLatin1(key))) {
                alert->dismissWithClickedButtonIndex(i);
                return;
            }
        FAIL() << "no button " << key;
    }

    static QPointingDevice* touchDevice()
    {
        static QPointingDevice* device = QTest::createTouchDevice();
        return device;
    }

    std::unique_ptr<MainView> root;
    cv::Mat originalDepth;
};

} // namespace

TEST_F(FreeEditDepthViewTest, OpensWithTheDepthMapUnderAVeilAndItsToolbars)
{
    FreeEditDepthView* view = open();
    ASSERT_TRUE(view);
    EXPECT_EQ(view->canvas()->geometry(), QRect(0, 40, 320, 396));
    EXPECT_EQ(view->canvas()->getContentView()->boundsSize(), QSizeF(320, 240));
    EXPECT_EQ(view->topToolbar()->geometry(), QRect(0, 0, 320, 40));
    EXPECT_EQ(view->bottomToolbar()->geometry(), QRect(0, 436, 320, 44));
    for (int tag : {107, 230, 206, 211, 108})
        EXPECT_TRUE(view->topToolbar()->buttonWithTag(tag)) << tag;
    for (int tag : {203, 202, 200, 204, 210})
        EXPECT_TRUE(view->bottomToolbar()->buttonWithTag(tag)) << tag;
    EXPECT_TRUE(view->bottomToolbar()->buttonWithTag(203)->isSelected());
    EXPECT_EQ(view->brushGray(), 255);
    EXPECT_EQ(view->brushSize(), 60);
    EXPECT_EQ(view->brushSizeButtonTag(), 222);
    EXPECT_EQ(fixtures::firstDifference(depthOf(view->drawing()), originalDepth), "");
    EXPECT_EQ(view->lastImage().size(), QSize(400, 300));
    EXPECT_EQ(view->canvas()->getImage(), view->lastImage());
}

TEST_F(FreeEditDepthViewTest, PaintingBackgroundOverNearThenNextWritesTheDepthMap)
{
    FreeEditDepthView* view = open(255);
    const QImage photo = root->getAppData()->m_depthSizedImage.pixels().scaled(400, 300, Qt::IgnoreAspectRatio,
                                                                                 Qt::SmoothTransformation);
    const QColor veiled = view->lastImage().pixelColor(200, 150);
    view->onCommand(200);
    EXPECT_EQ(view->brushGray(), 0);
    // Brush 60 drawing pixels: 24 canvas points.
    stroke(view, {{60, 120}, {160, 120}, {260, 120}});
    ASSERT_EQ(view->strokes().m_strokes.size(), 1u);

    // On the stroke the photo shows clear; elsewhere the red veil stays.
    const QColor clear = view->lastImage().pixelColor(200, 150);
    const QColor photoPixel = photo.pixelColor(200, 150);
    EXPECT_NEAR(clear.red(), photoPixel.red(), 3);
    EXPECT_NEAR(clear.green(), photoPixel.green(), 3);
    EXPECT_GT(veiled.red(), clear.red() - 1);
    EXPECT_LT(veiled.green(), clear.green() / 2 + 3);
    testsupport::saveScreenshot(root.get(), "free_edit_background_stroke");

    view->onCommand(108);
    EXPECT_EQ(root->currentViewId(), 5);
    const cv::Mat& depth = depthMap();
    // Canvas (160, 120) is drawing pixel (400, 300); the brush is 60 wide.
    EXPECT_EQ(depth.at<uchar>(300, 400), 0);
    EXPECT_EQ(depth.at<uchar>(300 + 25, 400), 0);
    EXPECT_EQ(depth.at<uchar>(300 + 40, 400), 255);
    EXPECT_EQ(depth.at<uchar>(100, 100), 255);
    int intermediate = 0;
    for (int y = 250; y < 350; ++y) {
        const int v = depth.at<uchar>(y, 400);
        intermediate += v > 0 && v < 255;
    }
    EXPECT_GE(intermediate, 2);
}

TEST_F(FreeEditDepthViewTest, TapAddsAOnePointStrokeThatDrawsNothingAndCanBeUndone)
{
    FreeEditDepthView* view = open(85);
    const cv::Mat before = view->drawing().clone();
    QTest::mouseClick(content(view), Qt::LeftButton, {}, QPoint(100, 100));
    ASSERT_EQ(view->strokes().m_strokes.size(), 1u);
    EXPECT_EQ(view->strokes().m_strokes.front()->points.size(), 1u);
    EXPECT_EQ(fixtures::firstDifference(view->drawing(), before), "");
    view->onCommand(230);
    EXPECT_TRUE(view->strokes().m_strokes.empty());
    EXPECT_EQ(fixtures::firstDifference(view->drawing(), before), "");
}

TEST_F(FreeEditDepthViewTest, BrushKeepsItsSizeOnScreenWhateverTheZoom)
{
    FreeEditDepthView* view = open();
    struct Case {
        int sizeTag;
        double zoom;
        int expected;
    };
    const Case cases[] = {{222, 1.0, 60}, {222, 2.0, 30}, {222, 4.0, 15}, {221, 4.0, 12}, {220, 1.5, 20}};
    for (const Case& c : cases) {
        view->onCommand(c.sizeTag);
        view->canvas()->setZoomScale(c.zoom, false);
        QTest::mousePress(content(view), Qt::LeftButton, {}, QPoint(40, 40));
        ASSERT_TRUE(view->currentStroke());
        EXPECT_EQ(view->currentStroke()->brushSize, c.expected) << c.sizeTag << " at " << c.zoom;
        QTest::mouseRelease(content(view), Qt::LeftButton, {}, QPoint(40, 40));
    }
}

TEST_F(FreeEditDepthViewTest, UndoAfterThreeStrokesShowsTheStateBeforeTheThird)
{
    cv::Mat& depth = depthMap();
    depth.setTo(0);
    depth(cv::Rect(0, 0, 400, 600)).setTo(255);
    FreeEditDepthView* view = open();
    view->onCommand(202);
    stroke(view, {{20, 20}, {300, 200}});
    view->onCommand(200);
    stroke(view, {{40, 200}, {100, 30}, {250, 60}});
    const cv::Mat drawingBefore = view->drawing().clone();
    const QImage imageBefore = view->lastImage();
    view->onCommand(203);
    view->onCommand(220);
    stroke(view, {{280, 20}, {200, 220}, {10, 120}});
    ASSERT_NE(fixtures::firstDifference(view->drawing(), drawingBefore), "");

    view->onCommand(230);
    EXPECT_EQ(view->strokes().m_strokes.size(), 2u);
    EXPECT_EQ(fixtures::firstDifference(view->drawing(), drawingBefore), "");
    EXPECT_EQ(view->lastImage(), imageBefore);
    EXPECT_EQ(view->canvas()->getImage(), imageBefore);

    view->onCommand(230);
    view->onCommand(230);
    view->onCommand(230);  // nothing left: no effect
    EXPECT_EQ(fixtures::firstDifference(depthOf(view->drawing()), depth), "");
}

TEST_F(FreeEditDepthViewTest, SecondFingerCancelsTheStrokeWithoutATrace)
{
    FreeEditDepthView* view = open(255);
    view->onCommand(200);
    const cv::Mat drawingBefore = view->drawing().clone();
    const QImage imageBefore = view->lastImage();
    QWidget* c = content(view);
    QTest::touchEvent(root.get(), touchDevice()).press(0, QPoint(50, 50), c);
    QTest::touchEvent(root.get(), touchDevice()).move(0, QPoint(150, 60), c);
    QTest::touchEvent(root.get(), touchDevice()).move(0, QPoint(250, 70), c);
    ASSERT_NE(fixtures::firstDifference(view->drawing(), drawingBefore), "");
    QTest::touchEvent(root.get(), touchDevice()).stationary(0).press(1, QPoint(200, 200), c);
    QTest::touchEvent(root.get(), touchDevice()).release(0, QPoint(250, 70), c).release(1, QPoint(200, 200), c);

    EXPECT_FALSE(view->currentStroke());
    EXPECT_TRUE(view->strokes().m_strokes.empty());
    EXPECT_EQ(fixtures::firstDifference(view->drawing(), drawingBefore), "");
    EXPECT_EQ(view->lastImage(), imageBefore);
    EXPECT_EQ(view->canvas()->getContentView()->shownImage(), imageBefore);

    // The next stroke's partial updates start from the restored picture, so
    // the abandoned stroke does not come back beside it.
    QTest::mousePress(c, Qt::LeftButton, {}, QPoint(100, 200));
    QTest::mouseMove(c, QPoint(120, 200));
    EXPECT_EQ(view->lastImage().pixelColor(150 * 400 / 320, 60 * 400 / 320), imageBefore.pixelColor(150 * 400 / 320, 60 * 400 / 320));
    EXPECT_EQ(view->canvas()->getContentView()->shownImage().pixelColor(150 * 400 / 320, 60 * 400 / 320),
              imageBefore.pixelColor(150 * 400 / 320, 60 * 400 / 320));
    QTest::mouseRelease(c, Qt::LeftButton, {}, QPoint(120, 200));
}

TEST_F(FreeEditDepthViewTest, PanAndZoomToolNeverPaints)
{
    FreeEditDepthView* view = open();
    view->onCommand(204);
    EXPECT_TRUE(view->canvas()->getPanAndZoom());
    view->canvas()->setZoomScale(2.0, false);
    const cv::Mat before = view->drawing().clone();
    QTest::mousePress(content(view), Qt::LeftButton, {}, QPoint(200, 200));
    QTest::mouseMove(content(view), QPoint(120, 150));
    QTest::mouseRelease(content(view), Qt::LeftButton, {}, QPoint(120, 150));
    EXPECT_TRUE(view->strokes().m_strokes.empty());
    EXPECT_EQ(fixtures::firstDifference(view->drawing(), before), "");
    view->onCommand(203);
    EXPECT_FALSE(view->canvas()->getPanAndZoom());
}

TEST_F(FreeEditDepthViewTest, LeavingAsksFirstAndNoKeepsEverything)
{
    struct Case {
        int command;
        const char* titleKey;
        int target;
    };
    const Case cases[] = {{107, "GO_BACK", 1}, {211, "TO_STROKING_TITLE", 4}};
    for (const Case& c : cases) {
        FreeEditDepthView* view = open();
        stroke(view, {{20, 20}, {200, 100}});
        const cv::Mat drawing = view->drawing().clone();

        view->onCommand(c.command);
        platform::AlertView* alert = onlyAlert();
        ASSERT_TRUE(alert) << c.command;
        EXPECT_EQ(alert->tag(), c.command);
        EXPECT_EQ(alert->title(), platform::localizedString(QString::fromLatin1(c.titleKey)));
        EXPECT_EQ(alert->message(), platform::localizedString(QStringLiteral("WORK_WILL_BE_LOST")));
        answer("NO");
        EXPECT_EQ(root->currentWorkView(), view);
        EXPECT_EQ(view->strokes().m_strokes.size(), 1u);
        EXPECT_EQ(fixtures::firstDifference(view->drawing(), drawing), "");
        EXPECT_EQ(fixtures::firstDifference(depthMap(), originalDepth), "");

        const cv::Mat depthBefore = depthMap().clone();
        view->onCommand(c.command);
        answer("YES");
        EXPECT_EQ(root->currentViewId(), c.target);
        if (c.target == 4) {
            // The same document: its depth map is untouched.
            EXPECT_EQ(fixtures::firstDifference(depthMap(), depthBefore), "");
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (c.target == 1) {
            // The home screen started a new document; make the photo's again.
            QString error;
            ASSERT_TRUE(loadPhotoIntoDocument(*root->getAppData(),
                                              platform::Image::fromFile(samplePath()),
                                              platform::Image(), QUrl(), &error));
        }
    }
}

TEST_F(FreeEditDepthViewTest, ClearEmptiesTheDrawingAndUndoDoesNotBringItBack)
{
    FreeEditDepthView* view = open(255);
    stroke(view, {{20, 20}, {200, 100}});
    view->onCommand(206);
    answer("NO");
    EXPECT_EQ(view->strokes().m_strokes.size(), 1u);

    view->onCommand(206);
    EXPECT_EQ(onlyAlert()->title(), platform::localizedString(QStringLiteral("CLEAR_SCREEN")));
    answer("YES");
    EXPECT_TRUE(view->strokes().m_strokes.empty());
    EXPECT_EQ(cv::countNonZero(depthOf(view->drawing())), 0);

    view->onCommand(202);
    stroke(view, {{100, 100}, {150, 120}});
    view->onCommand(230);
    EXPECT_EQ(cv::countNonZero(depthOf(view->drawing())), 0);
    // The document's depth map is untouched until "next".
    EXPECT_EQ(fixtures::firstDifference(depthMap(), originalDepth), "");
    view->onCommand(108);
    EXPECT_EQ(cv::countNonZero(depthMap()), 0);
}

TEST_F(FreeEditDepthViewTest, BrushSizeSubToolbarOpensClosesAndStaysOpenForSizes)
{
    FreeEditDepthView* view = open();
    SubToolbarMgr* mgr = view->subToolbarMgr();

    view->onCommand(210);
    ASSERT_TRUE(mgr->subToolbar());
    Toolbar* bar = mgr->subToolbar();
    EXPECT_EQ(bar->geometry(), QRect(120, 389, 200, 47));
    for (int tag : {220, 221, 222, 223})
        ASSERT_TRUE(bar->buttonWithTag(tag)) << tag;
    EXPECT_TRUE(bar->buttonWithTag(222)->isSelected());
    EXPECT_FALSE(bar->buttonWithTag(221)->isSelected());
    testsupport::saveScreenshot(root.get(), "free_edit_brush_sizes");

    // A size keeps it open; the marked button follows the size.
    QTest::mouseClick(bar->buttonWithTag(223), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(view->brushSize(), 80, 1000);
    EXPECT_EQ(view->brushSizeButtonTag(), 223);
    EXPECT_EQ(mgr->subToolbar(), bar);

    // The same button again closes it (animated).
    view->onCommand(210);
    QTRY_VERIFY_WITH_TIMEOUT(!mgr->subToolbar(), 2000);

    view->onCommand(210);
    ASSERT_TRUE(mgr->subToolbar());
    EXPECT_TRUE(mgr->subToolbar()->buttonWithTag(223)->isSelected());

    for (int command : {200, 202, 203, 204, 230, 206}) {
        if (!mgr->subToolbar())
            view->onCommand(210);
        ASSERT_TRUE(mgr->subToolbar()) << command;
        view->onCommand(command);
        if (command == 206)
            answer("NO");
        QTRY_VERIFY_WITH_TIMEOUT(!mgr->subToolbar(), 2000);
    }
}

TEST_F(FreeEditDepthViewTest, ToolbarButtonsSendTheirCommands)
{
    FreeEditDepthView* view = open();
    QTest::mouseClick(view->bottomToolbar()->buttonWithTag(202), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(view->brushGray(), 85, 1000);
    EXPECT_TRUE(view->bottomToolbar()->buttonWithTag(202)->isSelected());
    EXPECT_FALSE(view->bottomToolbar()->buttonWithTag(203)->isSelected());
    QTest::mouseClick(view->topToolbar()->buttonWithTag(107), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(onlyAlert(), 1000);
    EXPECT_EQ(onlyAlert()->tag(), 107);
}

TEST_F(FreeEditDepthViewTest, ScreenshotWithPaint)
{
    // A three-level map: near at the bottom, middle in the centre band.
    cv::Mat& depth = depthMap();
    depth.setTo(0);
    depth(cv::Rect(0, 400, 800, 200)).setTo(255);
    depth(cv::Rect(0, 200, 800, 200)).setTo(85);
    FreeEditDepthView* view = open();
    view->onCommand(203);
    stroke(view, {{40, 40}, {120, 70}, {200, 50}});
    view->onCommand(200);
    view->onCommand(220);
    stroke(view, {{30, 200}, {290, 200}});
    testsupport::saveScreenshot(root.get(), "free_edit_painting");
    EXPECT_EQ(view->strokes().m_strokes.size(), 2u);
}
