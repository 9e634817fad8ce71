#include "stereo/CalibView.h"

#include "app/AppData.h"
#include "app/AsyncTask.h"
#include "app/ImageHelpers.h"
#include "app/MainView.h"
#include "app/PhotoIntake.h"
#include "platform/ImageButton.h"
#include "platform/ProgressHud.h"
#include "platform/ResourceLookup.h"
#include "platform/StringTable.h"
#include "stereo/Detector.h"
#include "tests/support/Screenshot.h"
#include "ui/Toolbar.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTest>

#include <functional>
#include <vector>

namespace {

bool waitFor(const std::function<bool()>& done, int timeoutMs = 3000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QTest::qWait(5);
    }
    return true;
}

// Stands in for the screens CalibView leads to (home, manual painting).
class StubScreen : public WorkView {
public:
    StubScreen(const QRect& frame, MainView* parent, int id) : WorkView(frame, parent), m_id(id) {}
    int m_id;
};

// The synthetic pair: a flat blue left shot, and a right shot that is black
// with a white block at (100, 80) - (150, 120) in thumbnail pixels.
constexpr int kThumbW = 250;
constexpr int kThumbH = 188;
constexpr int kBlockX = 100;
constexpr int kBlockY = 80;

platform::Image flatThumb(QColor color)
{
    QImage image(kThumbW, kThumbH, QImage::Format_ARGB32);
    image.fill(color);
    return platform::Image(image);
}

platform::Image blockThumb()
{
    QImage image(kThumbW, kThumbH, QImage::Format_ARGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    painter.fillRect(kBlockX, kBlockY, 50, 40, Qt::white);
    return platform::Image(image);
}

// A stereo pair from the sample photo: the right shot is the left one seen
// from a step to the right (the scene shifted 48 pixels to the left).
void loadSamplePair(AppData& doc)
{
    const platform::Image sample =
        platform::Image::fromFile(platform::resourcePath(QStringLiteral("sample/sample.jpg")));
    ASSERT_FALSE(sample.isNull());
    const QImage& pixels = sample.pixels();
    const platform::Image left(pixels.copy(0, 0, pixels.width() - 48, pixels.height()));
    const platform::Image right(pixels.copy(48, 0, pixels.width() - 48, pixels.height()));
    QString error;
    // The camera hands the right shot over at width 600.
    ASSERT_TRUE(loadPhotoIntoDocument(doc, left, scaleImage(right, 600), QUrl(), &error)) << error.toStdString();
}

class CalibViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        MainView::registerWorkView(1, [](const QRect& frame, MainView* parent) {
            return new StubScreen(frame, parent, 1);
        });
        MainView::registerWorkView(2, [](const QRect& frame, MainView* parent) {
            return new CalibView(frame, parent);
        });
        MainView::registerWorkView(3, [this](const QRect& frame, MainView* parent) {
            // What the switch to manual painting finds when it comes.
            for (QWidget* w : m_root->findChildren<QWidget*>())
                if (auto* hud = dynamic_cast<platform::ProgressHud*>(w))
                    m_hudLabelsAtSwitch.push_back(hud->labelText());
            m_detectorReleasedAtSwitch = !m_root->getAppData()->m_pDetector && !m_root->getAppData()->m_pDisparity;
            return new StubScreen(frame, parent, 3);
        });
        m_root = std::make_unique<MainView>(QRect(0, 0, 320, 480), nullptr);
        m_root->show();
    }

    void TearDown() override
    {
        m_root.reset();
        for (int id : {1, 2, 3})
            MainView::registerWorkView(id, nullptr);
    }

    AppData& doc() { return *m_root->getAppData(); }

    void useSyntheticPair()
    {
        doc().m_leftThumb = flatThumb(QColor(0, 0, 255));
        doc().m_rightThumb = blockThumb();
        doc().m_thumbWidth = kThumbW;
        doc().m_thumbHeight = kThumbH;
        doc().m_pDepthMap = std::make_unique<cv::Mat>(2 * kThumbH, 2 * kThumbW, CV_8UC1, cv::Scalar(0));
    }

    CalibView* openCalibView()
    {
        m_root->selectWorkView(2, false);
        return dynamic_cast<CalibView*>(m_root->currentWorkView());
    }

    // Presses a toolbar button and waits for its command to arrive (the bar
    // sends it on the next turn of the event loop).
    void press(Toolbar* bar, int tag)
    {
        platform::ImageButton* button = bar->buttonWithTag(tag);
        ASSERT_NE(button, nullptr) << "tag " << tag;
        QTest::mouseClick(button, Qt::LeftButton);
        QTest::qWait(0);
        QCoreApplication::processEvents();
    }

    std::unique_ptr<MainView> m_root;
    std::vector<QString> m_hudLabelsAtSwitch;
    bool m_detectorReleasedAtSwitch = false;
};

QImage grabImage(QWidget* view)
{
    return view->grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

// First device column in row y (from x0 on) whose red is above half of the
// half-transparent white block, or -1.
int firstBrightColumn(const QImage& image, int y, int x0 = 0)
{
    for (int x = x0; x < image.width(); ++x)
        if (qRed(image.pixel(x, y)) > 64)
            return x;
    return -1;
}

// The same down column x, from the picture's top (118 points) on.
int firstBrightRow(const QImage& image, int x)
{
    for (int y = 2 * 118; y < image.height(); ++y)
        if (qRed(image.pixel(x, y)) > 64)
            return y;
    return -1;
}

TEST_F(CalibViewTest, LayoutHasBothBarsAndFitsA250x188PairAt320x240Centred)
{
    useSyntheticPair();
    CalibView* view = openCalibView();
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->showsLeft());
    EXPECT_TRUE(view->showsRight());
    EXPECT_EQ(view->topToolbar()->geometry(), QRect(0, 0, 320, 40));
    EXPECT_EQ(view->bottomToolbar()->geometry(), QRect(0, 436, 320, 44));
    EXPECT_EQ(view->pictureRect(), QRectF(0, 118, 320, 240));

    // Top: back and three display buttons from the left, next packed right.
    const int topTags[] = {107, 400, 401, 402};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(view->topToolbar()->buttonWithTag(topTags[i])->geometry(), QRect(64 * i, 0, 64, 40));
    EXPECT_EQ(view->topToolbar()->buttonWithTag(108)->geometry(), QRect(256, 0, 64, 40));
    EXPECT_EQ(view->topToolbar()->helpString(400), platform::localizedString(QStringLiteral("SHOW_LEFT")));
    // Bottom: reset, up, down, left, right at even widths.
    const int bottomTags[] = {407, 403, 404, 405, 406};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(view->bottomToolbar()->buttonWithTag(bottomTags[i])->geometry().topLeft(), QPoint(64 * i, 0));
}

TEST_F(CalibViewTest, MovesShiftTheRightShotByOneThumbnailPixelAndResetBringsItBack)
{
    useSyntheticPair();
    CalibView* view = openCalibView();
    ASSERT_NE(view, nullptr);
    struct Case {
        std::vector<int> presses;
        float tx, ty;
    };
    const Case cases[] = {
        {{405, 405, 405, 403}, 3, 1},  // three MOVE_LEFT and one MOVE_UP
        {{404, 404}, 0, -2},
        {{406}, -1, 0},
        {{405, 406, 403, 404}, 0, 0},
    };
    for (const Case& c : cases) {
        press(view->bottomToolbar(), 407);
        for (int tag : c.presses)
            press(view->bottomToolbar(), tag);
        const AffineTransform& t = doc().m_rightTransform;
        EXPECT_EQ(t.tx, c.tx);
        EXPECT_EQ(t.ty, c.ty);
        // Only translations: the linear part stays the identity.
        EXPECT_EQ(t.a, 1);
        EXPECT_EQ(t.b, 0);
        EXPECT_EQ(t.c, 0);
        EXPECT_EQ(t.d, 1);
    }
    press(view->bottomToolbar(), 407);
    EXPECT_EQ(doc().m_rightTransform, AffineTransform());
}

TEST_F(CalibViewTest, RightShotIsDrawnShiftedByTheTransformAtTheScreenScale)
{
    useSyntheticPair();
    CalibView* view = openCalibView();
    ASSERT_NE(view, nullptr);
    press(view->topToolbar(), 401);  // the right shot alone, on black

    // One thumbnail pixel is 1.28 points across and 240 / 188 down; the
    // grab is at 2 device pixels per point.
    const double sx = 2 * 320.0 / kThumbW;
    const double sy = 2 * 240.0 / kThumbH;
    const int row = int(2 * 118 + sy * (kBlockY + 20));
    const int column = int(sx * (kBlockX + 25));
    const QImage before = grabImage(view);
    EXPECT_NEAR(firstBrightColumn(before, row), sx * kBlockX, 1.0);
    EXPECT_NEAR(firstBrightRow(before, column), 2 * 118 + sy * kBlockY, 1.0);

    for (int tag : {405, 405, 405, 403})
        press(view->bottomToolbar(), tag);
    const QImage after = grabImage(view);
    EXPECT_NEAR(firstBrightColumn(after, row), sx * (kBlockX + 3), 1.0);
    EXPECT_NEAR(firstBrightRow(after, column), 2 * 118 + sy * (kBlockY + 1), 1.0);

    press(view->bottomToolbar(), 407);
    EXPECT_EQ(grabImage(view), before);
}

TEST_F(CalibViewTest, DisplayedAlignmentIsTheOneTheDetectionMatches)
{
    useSyntheticPair();
    CalibView* view = openCalibView();
    ASSERT_NE(view, nullptr);
    for (int tag : {405, 405, 405, 403, 403})
        press(view->bottomToolbar(), tag);
    press(view->topToolbar(), 401);
    const QImage shown = grabImage(view);

    // The detection's own redraw of the right thumbnail (over a left shot
    // like the right one, so that the matching is quick).
    doc().m_leftThumb = blockThumb();
    runStereoDetection(doc());
    ASSERT_TRUE(doc().m_pDetector);
    const cv::Mat& aligned = doc().m_pDetector->rightGray();
    int blockX = -1, blockY = -1;
    for (int x = 0; x < aligned.cols && blockX < 0; ++x)
        if (aligned.at<uint8_t>(kBlockY + 20, x) > 128)
            blockX = x;
    for (int y = 0; y < aligned.rows && blockY < 0; ++y)
        if (aligned.at<uint8_t>(y, kBlockX + 25) > 128)
            blockY = y;
    releaseStereoDetection(doc());
    EXPECT_EQ(blockX, kBlockX + 3);
    EXPECT_EQ(blockY, kBlockY + 2);

    const double sx = 2 * 320.0 / kThumbW;
    const double sy = 2 * 240.0 / kThumbH;
    EXPECT_NEAR(firstBrightColumn(shown, int(2 * 118 + sy * (blockY + 20))), sx * blockX, 1.0);
    EXPECT_NEAR(firstBrightRow(shown, int(sx * (blockX + 25))), 2 * 118 + sy * blockY, 1.0);
}

TEST_F(CalibViewTest, ShowLeftRightAndBothPickWhatIsDrawn)
{
    useSyntheticPair();
    doc().m_rightThumb = flatThumb(QColor(255, 0, 0));
    CalibView* view = openCalibView();
    ASSERT_NE(view, nullptr);
    struct Case {
        int tag;
        bool left, right;
        int red, blue;  // at the picture's centre
    };
    const Case cases[] = {
        {400, true, false, 0, 255},    // the left shot alone
        {401, false, true, 128, 0},    // the right shot at half opacity on black
        {402, true, true, 128, 128},   // the right shot half over the left
    };
    for (const Case& c : cases) {
        press(view->topToolbar(), c.tag);
        EXPECT_EQ(view->showsLeft(), c.left) << c.tag;
        EXPECT_EQ(view->showsRight(), c.right) << c.tag;
        const QImage image = grabImage(view);
        const QRgb centre = image.pixel(320, 2 * 238);
        EXPECT_NEAR(qRed(centre), c.red, 2) << c.tag;
        EXPECT_NEAR(qBlue(centre), c.blue, 2) << c.tag;
        // Between the top bar and the picture the background stays black.
        EXPECT_EQ(image.pixel(320, 2 * 80), qRgb(0, 0, 0)) << c.tag;
    }
}

TEST_F(CalibViewTest, NextAnalyzesBehindTheProgressDisplayAndOpensPaintingOnTheNewDepthMap)
{
    loadSamplePair(doc());
    ASSERT_FALSE(doc().m_rightThumb.isNull());
    const cv::Size depthSize = doc().m_pDepthMap->size();
    EXPECT_EQ(depthSize, depthMapSize(doc().m_width, doc().m_orgWidth, doc().m_orgHeight));
    CalibView* view = openCalibView();
    ASSERT_NE(view, nullptr);
    testsupport::saveScreenshot(view, QStringLiteral("calib_view_sample_pair"));

    press(view->topToolbar(), 108);
    // A second "next" while the first detection runs starts nothing more.
    view->onCommand(108);
    EXPECT_EQ(AsyncTask::runningTaskCount(), 1);
    ASSERT_TRUE(waitFor([&] { return m_root->currentViewId() == 3; }, 60000));

    ASSERT_EQ(m_hudLabelsAtSwitch.size(), 1u);
    EXPECT_EQ(m_hudLabelsAtSwitch.front(), platform::localizedString(QStringLiteral("ANALYZING")));
    EXPECT_TRUE(m_detectorReleasedAtSwitch);
    EXPECT_FALSE(m_root->isViewChangedByBackButton());
    ASSERT_TRUE(doc().m_pDepthMap);
    EXPECT_EQ(doc().m_pDepthMap->size(), depthSize);
    EXPECT_EQ(doc().m_pDepthMap->type(), CV_8UC1);
    // The scene sits 6 thumbnail pixels apart in the two shots: most of the
    // map is matched at a nearness above 0.
    EXPECT_GT(cv::countNonZero(*doc().m_pDepthMap), depthSize.area() / 2);
    EXPECT_TRUE(waitFor([] { return AsyncTask::runningTaskCount() == 0; }));
}

TEST_F(CalibViewTest, NextWithoutARightShotSkipsTheDetectionAndKeepsTheDepthMap)
{
    useSyntheticPair();
    doc().m_rightThumb = platform::Image();
    doc().m_pDepthMap->setTo(85);
    CalibView* view = openCalibView();
    ASSERT_NE(view, nullptr);
    press(view->topToolbar(), 108);
    ASSERT_TRUE(waitFor([&] { return m_root->currentViewId() == 3; }));
    EXPECT_TRUE(m_detectorReleasedAtSwitch);
    EXPECT_EQ(cv::countNonZero(*doc().m_pDepthMap != 85), 0);
}

TEST_F(CalibViewTest, BackGoesHomeWithTheBackFlag)
{
    useSyntheticPair();
    CalibView* view = openCalibView();
    ASSERT_NE(view, nullptr);
    press(view->topToolbar(), 107);
    EXPECT_EQ(m_root->currentViewId(), 1);
    EXPECT_TRUE(m_root->isViewChangedByBackButton());
}

} // namespace
