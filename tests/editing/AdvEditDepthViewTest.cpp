#include "editing/AdvEditDepthView.h"

#include "app/AppData.h"
#include "app/MainView.h"
#include "app/PhotoIntake.h"
#include "app/StrokeContainer.h"
#include "editing/CanvasChildView.h"
#include "platform/AlertView.h"
#include "platform/ImageButton.h"
#include "platform/ResourceLookup.h"
#include "platform/StringTable.h"
#include "platform/ToastMessage.h"
#include "platform/UserDefaults.h"
#include "platform/ViewTag.h"
#include "tests/support/Fixtures.h"
#include "tests/support/Screenshot.h"
#include "ui/Toolbar.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPointingDevice>
#include <QTest>

#include <opencv2/core.hpp>

#include <memory>
#include <vector>

namespace {

// The screens around the smart selection, as small stand-ins that only
// record how they were reached.
struct Visit {
    int viewId;
    bool isBack;
};
std::vector<Visit>& visits()
{
    static std::vector<Visit> list;
    return list;
}

class StandInScreen : public WorkView {
public:
    StandInScreen(const QRect& frame, MainView* parent, int viewId) : WorkView(frame, parent)
    {
        visits().push_back({viewId, parent->isViewChangedByBackButton()});
    }
};

QPointingDevice* touchScreen()
{
    static QPointingDevice* device = QTest::createTouchDevice();
    return device;
}

// A photo whose left half is dark grey and right half light grey: the one
// edge runs down the middle (canvas x 160, depth x 400).
const QColor kDark(40, 40, 40);
const QColor kLight(200, 200, 200);

platform::Image twoTonePhoto()
{
    QImage image(400, 300, QImage::Format_ARGB32);
    image.fill(kLight);
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 200; ++x)
            image.setPixelColor(x, y, kDark);
    return platform::Image(image);
}

bool near(int a, int b, int tolerance = 2)
{
    return std::abs(a - b) <= tolerance;
}

// Photo colour c under a red veil of the given segment alpha at opacity 0.5.
QColor tinted(const QColor& c, int alpha)
{
    const double a = 0.5 * alpha / 255.0;
    return QColor(int(c.red() * (1 - a) + 255 * a + 0.5), int(c.green() * (1 - a) + 0.5), int(c.blue() * (1 - a) + 0.5));
}

class AdvEditDepthViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        MainView::registerWorkView(4, [](const QRect& frame, MainView* parent) -> WorkView* {
            return new AdvEditDepthView(frame, parent);
        });
        for (int id : {1, 3, 5}) {
            MainView::registerWorkView(id, [id](const QRect& frame, MainView* parent) -> WorkView* {
                return new StandInScreen(frame, parent, id);
            });
        }
        visits().clear();
        platform::UserDefaults::setBool(QStringLiteral("ShowStrokingHelp"), false);
        m_root = std::make_unique<MainView>(QRect(0, 0, 320, 480), nullptr);
        m_root->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_root.get()));
    }

    void TearDown() override
    {
        // Leave the constructor table as other tests expect to find it.
        for (int id : {1, 3, 4, 5})
            MainView::registerWorkView(id, nullptr);
        for (platform::AlertView* alert : platform::AlertView::visibleAlerts())
            alert->dismissWithClickedButtonIndex(alert->cancelButtonIndex());
        m_root.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Loads the photo and opens the smart selection as the first screen.
    void open(const platform::Image& photo = twoTonePhoto())
    {
        QString error;
        ASSERT_TRUE(loadPhotoIntoDocument(*doc(), photo, {}, {}, &error)) << error.toStdString();
        doc()->m_pDepthMap->setTo(123);  // so that any write shows
        m_root->selectWorkView(4, false);
        ASSERT_NE(screen(), nullptr);
    }

    // Comes back to the smart selection the way the user does: an animated
    // switch, ended at once.
    void reopen(bool isBack)
    {
        m_root->selectWorkView(4, isBack);
        m_root->finishTransition();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ASSERT_NE(screen(), nullptr);
    }

    AppData* doc() const { return m_root->getAppData(); }
    StrokeContainer* strokes() const { return m_root->getWatershedStrokeContainer(); }
    AdvEditDepthView* screen() const { return dynamic_cast<AdvEditDepthView*>(m_root->currentWorkView()); }
    CanvasChildView* content() const { return screen()->canvas()->getContentView(); }

    // A finger drawn through canvas points (touch down, moves, lift).
    void stroke(const std::vector<QPointF>& points)
    {
        const double zoom = screen()->canvas()->zoomScale();
        auto at = [&](const QPointF& p) { return (p * zoom).toPoint(); };
        QTest::touchEvent(content(), touchScreen()).press(0, at(points.front()));
        for (size_t i = 1; i < points.size(); ++i)
            QTest::touchEvent(content(), touchScreen()).move(0, at(points[i]));
        QTest::touchEvent(content(), touchScreen()).release(0, at(points.back()));
    }

    // A tap on a toolbar button; the bar sends the command on the next turn
    // of the event loop.
    void tap(int tag)
    {
        auto* bar = static_cast<Toolbar*>(platform::viewWithTag(screen(), tag == 107 || tag == 230 || tag == 206 ||
                                                                                  tag == 302 || tag == 108
                                                                              ? AdvEditDepthView::kTopToolbarTag
                                                                              : AdvEditDepthView::kBottomToolbarTag));
        ASSERT_NE(bar, nullptr);
        platform::ImageButton* button = bar->buttonWithTag(tag);
        ASSERT_NE(button, nullptr) << tag;
        QTest::mouseClick(button, Qt::LeftButton);
        QCoreApplication::processEvents();
    }

    // The canvas pixel under a canvas point (the shown image is at stroke size).
    QColor shownAt(const QPointF& p) const
    {
        const QImage& shown = content()->shownImage();
        const double factor = shown.width() / content()->boundsSize().width();
        return shown.pixelColor(int(p.x() * factor), int(p.y() * factor));
    }

    cv::Mat depthAfterNext()
    {
        tap(AdvEditDepthView::kCmdNext);
        EXPECT_EQ(m_root->currentViewId(), 5);
        return doc()->m_pDepthMap->clone();
    }

    std::unique_ptr<MainView> m_root;
};

#define EXPECT_COLOR_NEAR(actual, expected)                                                                       \
    do {                                                                                                           \
        const QColor a_ = (actual), e_ = (expected);                                                              \
        EXPECT_TRUE(near(a_.red(), e_.red()) && near(a_.green(), e_.green()) && near(a_.blue(), e_.blue()))       \
            << "got " << a_.name().toStdString() << ", want " << e_.name().toStdString();                         \
    } while (0)

} // namespace

TEST_F(AdvEditDepthViewTest, OpensWithItsBarsAndAnUntintedPhotoAndNextWritesZeros)
{
    open();
    AdvEditDepthView* view = screen();
    EXPECT_EQ(view->canvas()->geometry(), QRect(0, 40, 320, 396));
    EXPECT_EQ(view->canvas()->maximumZoomScale(), 5.0);
    EXPECT_EQ(content()->boundsSize(), QSizeF(320, 240));
    EXPECT_FALSE(view->canvas()->getPanAndZoom());
    EXPECT_EQ(view->brushColor(), 255);

    auto* top = static_cast<Toolbar*>(platform::viewWithTag(view, AdvEditDepthView::kTopToolbarTag));
    auto* bottom = static_cast<Toolbar*>(platform::viewWithTag(view, AdvEditDepthView::kBottomToolbarTag));
    ASSERT_TRUE(top && bottom);
    EXPECT_EQ(top->geometry(), QRect(0, 0, 320, 40));
    EXPECT_EQ(bottom->geometry(), QRect(0, 436, 320, 44));
    for (int tag : {107, 230, 206, 302, 108})
        EXPECT_NE(top->buttonWithTag(tag), nullptr) << tag;
    EXPECT_EQ(top->buttonWithTag(108)->geometry().x(), 272);  // right-aligned
    EXPECT_EQ(top->helpString(230), platform::localizedString("UNDO"));
    for (int tag : {203, 202, 200, 301, 204, 11})
        EXPECT_NE(bottom->buttonWithTag(tag), nullptr) << tag;
    EXPECT_TRUE(bottom->buttonWithTag(203)->isSelected());
    EXPECT_FALSE(bottom->buttonWithTag(202)->isSelected());

    EXPECT_COLOR_NEAR(shownAt({40, 100}), kDark);
    EXPECT_COLOR_NEAR(shownAt({280, 100}), kLight);
    EXPECT_EQ(cv::countNonZero(depthAfterNext()), 0);
    ASSERT_EQ(visits().size(), 1u);
    EXPECT_FALSE(visits()[0].isBack);
}

TEST_F(AdvEditDepthViewTest, OneForegroundStrokeTintsEverythingAndANextWritesIt)
{
    open();
    stroke({{40, 60}, {50, 100}, {60, 180}});
    ASSERT_EQ(strokes()->m_strokes.size(), 1u);
    const Stroke& s = *strokes()->m_strokes[0];
    EXPECT_EQ(s.color, 255);
    EXPECT_EQ(s.brushSize, 8);
    ASSERT_EQ(s.points.size(), 3u);
    EXPECT_EQ(s.points[1], cv::Point2f(50, 100));  // canvas points, not pixels
    EXPECT_FALSE(screen()->hasStrokeInProgress());
    EXPECT_TRUE(platform::visibleToastTexts().isEmpty());

    EXPECT_COLOR_NEAR(shownAt({50, 100}), QColor(255, 255, 255));  // the stroke, opaque
    EXPECT_COLOR_NEAR(shownAt({120, 20}), tinted(kDark, 255));
    EXPECT_COLOR_NEAR(shownAt({280, 200}), tinted(kLight, 255));

    const cv::Mat depth = depthAfterNext();
    cv::Mat expected(depth.size(), CV_8UC1, cv::Scalar(255));
    const int r = depth.rows - 1, c = depth.cols - 1;
    expected.at<uint8_t>(0, 0) = expected.at<uint8_t>(0, c) = expected.at<uint8_t>(r, 0) =
        expected.at<uint8_t>(r, c) = 0;
    EXPECT_EQ(fixtures::firstDifference(depth, expected), "");
}

TEST_F(AdvEditDepthViewTest, BackgroundStrokeSplitsAlongTheEdgeAndATouchingStrokeIsTakenBack)
{
    open();
    stroke({{40, 60}, {60, 180}});
    tap(AdvEditDepthView::kCmdBackground);
    EXPECT_EQ(screen()->brushColor(), 0);
    stroke({{260, 60}, {280, 180}});
    ASSERT_EQ(strokes()->m_strokes.size(), 2u);
    EXPECT_COLOR_NEAR(shownAt({120, 100}), tinted(kDark, 255));
    EXPECT_COLOR_NEAR(shownAt({200, 100}), kLight);
    EXPECT_COLOR_NEAR(shownAt({270, 120}), QColor(0, 0, 0));  // the background stroke

    const cv::Mat segments = screen()->segmentation().m_segments.clone();
    const QImage shown = content()->shownImage().copy();

    // A middle-distance stroke across the foreground one.
    tap(AdvEditDepthView::kCmdMiddleDistance);
    stroke({{20, 120}, {100, 120}});
    EXPECT_EQ(platform::visibleToastTexts(), QStringList{platform::localizedString("CANNOT_CROSS_DIF_COLOR")});
    QTest::qWait(250);  // the toast fades in
    testsupport::saveScreenshot(m_root.get(), "AdvEditDepthView-taken-back");
    EXPECT_EQ(strokes()->m_strokes.size(), 2u);
    EXPECT_EQ(fixtures::firstDifference(screen()->segmentation().m_segments, segments), "");
    EXPECT_EQ(content()->shownImage(), shown);

    const cv::Mat depth = depthAfterNext();
    for (int y = 1; y < depth.rows - 1; y += 7) {
        for (int x = 0; x < depth.cols; ++x) {
            if (x <= 396) {
                ASSERT_EQ(depth.at<uint8_t>(y, x), 255) << "(" << x << ", " << y << ")";
            } else if (x >= 404) {
                ASSERT_EQ(depth.at<uint8_t>(y, x), 0) << "(" << x << ", " << y << ")";
            }
        }
    }
}

TEST_F(AdvEditDepthViewTest, EraserCutsAStrokeAndErasingEverythingKeepsTheTint)
{
    open();
    stroke({{20, 120}, {140, 120}});
    tap(AdvEditDepthView::kCmdEraser);
    EXPECT_EQ(screen()->brushColor(), -1);
    // While the finger moves, the canvas already shows all that the eraser
    // took, also beyond 8 points of its path.
    QTest::touchEvent(content(), touchScreen()).press(0, QPoint(80, 90));
    QTest::touchEvent(content(), touchScreen()).move(0, QPoint(80, 150));
    EXPECT_COLOR_NEAR(shownAt({89, 120}), tinted(kDark, 255));
    QTest::touchEvent(content(), touchScreen()).release(0, QPoint(80, 150));
    ASSERT_EQ(strokes()->m_strokes.size(), 2u);
    EXPECT_EQ(strokes()->m_strokes[1]->brushSize, 30);
    const WatershedSegmentation& seg = screen()->segmentation();
    EXPECT_EQ(seg.m_marker.at<uint8_t>(180, 120), 0);
    EXPECT_EQ(seg.m_marker.at<uint8_t>(180, 60), 255);
    EXPECT_COLOR_NEAR(shownAt({80, 120}), tinted(kDark, 255));  // cut: no stroke shown, still tinted
    EXPECT_COLOR_NEAR(shownAt({40, 120}), QColor(255, 255, 255));

    // Both halves erased: no marker left, the last segmentation stays.
    stroke({{10, 120}, {150, 120}});
    EXPECT_EQ(cv::countNonZero(seg.m_marker), 0);
    EXPECT_COLOR_NEAR(shownAt({40, 120}), tinted(kDark, 255));
    // 255 everywhere but a few border pixels whose neighbours are all
    // watershed boundary: the corners, and where the line between the two
    // halves meets the border.
    const cv::Mat depth = depthAfterNext();
    EXPECT_EQ(cv::countNonZero(depth(cv::Rect(1, 1, depth.cols - 2, depth.rows - 2)) != 255), 0);
    EXPECT_LE(cv::countNonZero(depth != 255), 8);
}

TEST_F(AdvEditDepthViewTest, StrokesSurviveATripToTheEffectScreenAndUndoReachesBack)
{
    open();
    stroke({{40, 60}, {60, 180}});
    tap(AdvEditDepthView::kCmdBackground);
    stroke({{260, 60}, {280, 180}});
    const cv::Mat twoStrokes = screen()->segmentation().m_segments.clone();
    const QImage shown = content()->shownImage().copy();

    tap(AdvEditDepthView::kCmdNext);
    ASSERT_EQ(m_root->currentViewId(), 5);
    reopen(true);
    EXPECT_EQ(screen()->helpPopupCount(), 0);  // not when coming back
    ASSERT_EQ(strokes()->m_strokes.size(), 2u);
    EXPECT_EQ(fixtures::firstDifference(screen()->segmentation().m_segments, twoStrokes), "");
    EXPECT_EQ(content()->shownImage(), shown);
    EXPECT_EQ(screen()->brushColor(), 255);  // a new visit starts with the foreground tool

    tap(AdvEditDepthView::kCmdUndo);
    ASSERT_EQ(strokes()->m_strokes.size(), 1u);
    EXPECT_EQ(strokes()->m_strokes[0]->color, 255);
    EXPECT_COLOR_NEAR(shownAt({270, 120}), tinted(kLight, 255));
    tap(AdvEditDepthView::kCmdUndo);
    EXPECT_TRUE(strokes()->m_strokes.empty());
    EXPECT_COLOR_NEAR(shownAt({270, 120}), kLight);
    tap(AdvEditDepthView::kCmdUndo);  // nothing left: nothing happens
    EXPECT_EQ(cv::countNonZero(depthAfterNext()), 0);
}

TEST_F(AdvEditDepthViewTest, ClearAsksAndOnlyYesClearsEverything)
{
    open();
    stroke({{40, 60}, {60, 180}});
    tap(AdvEditDepthView::kCmdClear);
    ASSERT_EQ(platform::AlertView::visibleAlerts().size(), 1);
    platform::AlertView* alert = platform::AlertView::visibleAlerts().front();
    EXPECT_EQ(alert->title(), platform::localizedString("CLEAR_SCREEN"));
    EXPECT_EQ(alert->message(), platform::localizedString("WORK_WILL_BE_LOST"));
    EXPECT_EQ(alert->buttonTitleAtIndex(alert->cancelButtonIndex()), platform::localizedString("NO"));
    EXPECT_EQ(alert->buttonTitleAtIndex(alert->firstOtherButtonIndex()), platform::localizedString("YES"));
    alert->dismissWithClickedButtonIndex(alert->cancelButtonIndex());
    EXPECT_EQ(strokes()->m_strokes.size(), 1u);

    tap(AdvEditDepthView::kCmdClear);
    ASSERT_EQ(platform::AlertView::visibleAlerts().size(), 1);
    alert = platform::AlertView::visibleAlerts().front();
    alert->dismissWithClickedButtonIndex(alert->firstOtherButtonIndex());
    EXPECT_TRUE(strokes()->m_strokes.empty());
    const WatershedSegmentation& seg = screen()->segmentation();
    EXPECT_EQ(cv::countNonZero(seg.m_marker), 0);
    EXPECT_EQ(cv::countNonZero(seg.m_lines.reshape(1)), 0);
    EXPECT_EQ(cv::countNonZero(seg.m_segments.reshape(1)), 0);
    EXPECT_COLOR_NEAR(shownAt({50, 120}), kDark);

    // A tap is a stroke of one point: it draws nothing and changes nothing.
    stroke({{40, 60}});
    EXPECT_EQ(cv::countNonZero(seg.m_marker), 0);
    EXPECT_EQ(cv::countNonZero(depthAfterNext()), 0);
}

TEST_F(AdvEditDepthViewTest, BackAsksAndWritesNothingWhilePaintGoesOnWithoutAsking)
{
    open();
    stroke({{40, 60}, {60, 180}});
    tap(AdvEditDepthView::kCmdBack);
    ASSERT_EQ(platform::AlertView::visibleAlerts().size(), 1);
    platform::AlertView* alert = platform::AlertView::visibleAlerts().front();
    EXPECT_EQ(alert->title(), platform::localizedString("GO_BACK"));
    alert->dismissWithClickedButtonIndex(alert->cancelButtonIndex());
    EXPECT_EQ(m_root->currentViewId(), 4);

    tap(AdvEditDepthView::kCmdPaint);
    EXPECT_TRUE(platform::AlertView::visibleAlerts().isEmpty());
    EXPECT_EQ(m_root->currentViewId(), 3);
    EXPECT_EQ(cv::countNonZero(*doc()->m_pDepthMap != 255), 4);
    EXPECT_TRUE(strokes()->m_strokes.empty());  // manual painting does not keep them

    // Back from a fresh visit, confirmed: home, the depth map untouched.
    reopen(false);
    doc()->m_pDepthMap->setTo(123);
    stroke({{40, 60}, {60, 180}});
    AppData* document = doc();
    tap(AdvEditDepthView::kCmdBack);
    ASSERT_EQ(platform::AlertView::visibleAlerts().size(), 1);
    alert = platform::AlertView::visibleAlerts().front();
    alert->dismissWithClickedButtonIndex(alert->firstOtherButtonIndex());
    EXPECT_EQ(m_root->currentViewId(), 1);
    ASSERT_FALSE(visits().empty());
    EXPECT_TRUE(visits().back().isBack);
    // The old document lives until its screen is gone.
    EXPECT_EQ(cv::countNonZero(*document->m_pDepthMap != 123), 0);
}

TEST_F(AdvEditDepthViewTest, ToolsPickTheLevelTheCanvasModeAndAZoomIndependentWidth)
{
    open();
    struct Case {
        int tag;
        int color;
    } tools[] = {{202, 85}, {200, 0}, {301, -1}, {203, 255}};
    for (const Case& t : tools) {
        tap(AdvEditDepthView::kCmdPanZoom);
        EXPECT_TRUE(screen()->canvas()->getPanAndZoom());
        EXPECT_FALSE(screen()->canvas()->passEventToChildInPanZoomMode());
        tap(t.tag);
        EXPECT_EQ(screen()->brushColor(), t.color) << t.tag;
        EXPECT_FALSE(screen()->canvas()->getPanAndZoom());
        EXPECT_TRUE(screen()->canvas()->passEventToChildInPanZoomMode());
    }

    // In pan-and-zoom mode a one-finger drag pans and draws nothing.
    tap(AdvEditDepthView::kCmdPanZoom);
    stroke({{100, 100}, {120, 120}, {140, 140}});
    EXPECT_TRUE(strokes()->m_strokes.empty());
    tap(AdvEditDepthView::kCmdForeground);

    struct Width {
        double zoom;
        int tag;
        int size;
    } widths[] = {{2.0, 203, 4}, {2.0, 301, 15}, {5.0, 203, 1}, {5.0, 301, 6}};
    for (const Width& w : widths) {
        strokes()->clear();
        tap(w.tag);
        screen()->canvas()->setZoomScale(w.zoom, false);
        screen()->canvas()->setContentOffset(QPointF(0, 0));
        stroke({{20, 20}, {40, 30}});
        ASSERT_EQ(strokes()->m_strokes.size(), 1u);
        EXPECT_EQ(strokes()->m_strokes[0]->brushSize, w.size) << "zoom " << w.zoom << " tag " << w.tag;
        // The same picture position at any zoom: the canvas point is kept.
        EXPECT_NEAR(strokes()->m_strokes[0]->points[1].x, 40, 0.5);
    }
}

TEST_F(AdvEditDepthViewTest, CancelledStrokeLeavesNoTrace)
{
    open();
    stroke({{40, 60}, {60, 180}});
    const cv::Mat lines = screen()->segmentation().m_lines.clone();
    const QImage shown = content()->shownImage().copy();

    // One finger draws, a second one starts a pan: the stroke is cancelled.
    QTest::touchEvent(content(), touchScreen()).press(0, QPoint(200, 100));
    QTest::touchEvent(content(), touchScreen()).move(0, QPoint(230, 110));
    QTest::touchEvent(content(), touchScreen()).move(0, QPoint(260, 120));
    ASSERT_TRUE(screen()->hasStrokeInProgress());
    ASSERT_NE(fixtures::firstDifference(screen()->segmentation().m_lines, lines), "");
    QTest::touchEvent(content(), touchScreen()).stationary(0).press(1, QPoint(100, 100));
    QTest::touchEvent(content(), touchScreen()).move(0, QPoint(262, 140)).move(1, QPoint(110, 130));
    QTest::touchEvent(content(), touchScreen()).release(0, QPoint(262, 140)).release(1, QPoint(110, 130));

    EXPECT_FALSE(screen()->hasStrokeInProgress());
    EXPECT_EQ(strokes()->m_strokes.size(), 1u);
    EXPECT_EQ(fixtures::firstDifference(screen()->segmentation().m_lines, lines), "");
    EXPECT_EQ(content()->shownImage(), shown);
}

TEST_F(AdvEditDepthViewTest, HelpShowsAutomaticallyOnlyWhenWantedAndAlwaysFromItsButton)
{
    open();
    tap(AdvEditDepthView::kCmdNext);

    reopen(false);  // "ShowStrokingHelp" off
    EXPECT_EQ(screen()->helpPopupCount(), 0);
    tap(AdvEditDepthView::kCmdHelp);
    EXPECT_EQ(screen()->helpPopupCount(), 1);

    platform::UserDefaults::setBool(QStringLiteral("ShowStrokingHelp"), true);
    tap(AdvEditDepthView::kCmdNext);
    reopen(false);
    EXPECT_EQ(screen()->helpPopupCount(), 1);
    tap(AdvEditDepthView::kCmdNext);
    reopen(true);  // coming back: no automatic help
    EXPECT_EQ(screen()->helpPopupCount(), 0);
}

TEST_F(AdvEditDepthViewTest, ScreenshotOfStrokesOnTheSamplePhoto)
{
    QString error;
    const platform::Image sample = platform::Image::fromFile(platform::resourcePath("sample/sample.jpg"), &error);
    ASSERT_FALSE(sample.isNull()) << error.toStdString();
    open(sample);
    stroke({{100, 172}, {120, 176}, {140, 172}});  // the pot
    stroke({{40, 222}, {160, 226}, {280, 222}});   // the table
    tap(AdvEditDepthView::kCmdMiddleDistance);
    stroke({{218, 150}, {240, 154}, {262, 150}});  // the shrub on the right
    stroke({{30, 150}, {50, 152}});                // the shrub on the left
    tap(AdvEditDepthView::kCmdBackground);
    stroke({{20, 30}, {160, 40}, {300, 30}});      // the sky
    ASSERT_EQ(strokes()->m_strokes.size(), 5u);
    const QString path = testsupport::saveScreenshot(m_root.get(), "AdvEditDepthView");
    EXPECT_FALSE(path.isEmpty());

    const cv::Mat depth = depthAfterNext();
    EXPECT_EQ(depth.at<uint8_t>(430, 300), 255);  // the pot
    EXPECT_EQ(depth.at<uint8_t>(80, 400), 0);     // the sky
    EXPECT_EQ(depth.at<uint8_t>(390, 590), 85);   // the right shrub
}
