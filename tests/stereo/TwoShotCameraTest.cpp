#include "stereo/TwoShotCamera.h"

#include "app/MainView.h"
#include "app/MainViewController.h"
#include "platform/ImageButton.h"
#include "platform/ResourceLookup.h"
#include "platform/UserDefaults.h"
#include "stereo/CameraOverlayView.h"
#include "stereo/CameraPicker.h"
#include "tests/support/Screenshot.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QTest>

#include <functional>
#include <vector>

namespace {

bool waitFor(const std::function<bool()>& done, int timeoutMs = 2000)
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

// A shot of w x h whose quadrants differ, so that turns and scaling show.
QImage quadrantShot(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32);
    QPainter painter(&image);
    painter.fillRect(0, 0, w / 2, h / 2, QColor(255, 0, 0));
    painter.fillRect(w / 2, 0, w - w / 2, h / 2, QColor(0, 255, 0));
    painter.fillRect(0, h / 2, w / 2, h - h / 2, QColor(0, 0, 255));
    painter.fillRect(w / 2, h / 2, w - w / 2, h - h / 2, QColor(255, 255, 255));
    return image;
}

struct RecordingDelegate : TwoShotCameraDelegate {
    void cameraDidFinishWithLeftImage(const platform::Image& left, const platform::Image& right) override
    {
        calls.push_back({left, right});
    }
    struct Call {
        platform::Image left;
        platform::Image right;
    };
    std::vector<Call> calls;
};

// The overlay drawn over black at the program's pixel ratio of 2.
QImage renderOverOpaqueBlack(QWidget* view)
{
    QImage image(view->size() * 2, QImage::Format_ARGB32);
    image.setDevicePixelRatio(2);
    image.fill(Qt::black);
    view->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

bool isGreen(QRgb p)
{
    return qRed(p) < 40 && qGreen(p) > 215 && qBlue(p) < 40;
}

class TwoShotCameraTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::UserDefaults::setBool(QStringLiteral("ShowTwoShotHelp"), false);
        m_controller = std::make_unique<MainViewController>();
        m_controller->window()->show();
        m_camera.setDelegate(&m_delegate);
    }

    void startCapture()
    {
        m_camera.invokeCamera(m_controller.get());
        ASSERT_NE(m_camera.picker(), nullptr);
        ASSERT_EQ(m_controller->modalViewController(), m_camera.picker());
    }

    void shoot(const QImage& image)
    {
        ASSERT_NE(m_camera.picker(), nullptr);
        m_camera.picker()->deliverCapturedImage(image);
    }

    // Declared first, destroyed last: the camera goes before the controller
    // that presents its picker.
    std::unique_ptr<MainViewController> m_controller;
    RecordingDelegate m_delegate;
    TwoShotCamera m_camera;
};

TEST(TwoShotCameraGeometry, GridOnA320x480OverlayLiesAtTheQuarterAndSixthLines)
{
    EXPECT_EQ(CameraOverlayView::gridColumns(QSize(320, 480)), (std::vector<int>{80, 160, 240}));
    EXPECT_EQ(CameraOverlayView::gridRows(QSize(320, 480)), (std::vector<int>{71, 142, 213, 284, 355}));
    // Integer steps: 321 wide still gives 80 (321 / 4), and lines stop below A and B.
    EXPECT_EQ(CameraOverlayView::gridColumns(QSize(321, 480)), (std::vector<int>{80, 160, 240, 320}));
    EXPECT_EQ(CameraOverlayView::gridRows(QSize(320, 60)), (std::vector<int>{1, 2, 3, 4, 5}));
    // A degenerate overlay has no grid rather than an endless one.
    EXPECT_TRUE(CameraOverlayView::gridRows(QSize(320, 50)).empty());
    EXPECT_TRUE(CameraOverlayView::gridColumns(QSize(3, 480)).empty());
}

TEST(TwoShotCameraGeometry, QuarterTurnIsClockwiseAndSwapsTheSize)
{
    // 3 x 2: the pixel at (x, y) goes to (h - 1 - y, x) in the 2 x 3 result.
    QImage source(3, 2, QImage::Format_ARGB32);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            source.setPixel(x, y, qRgb(10 * x, 100 * y, 7));
    const platform::Image turned = rotateQuarterTurn(platform::Image(source));
    ASSERT_EQ(turned.size(), QSize(2, 3));
    const QImage& pixels = turned.pixels();
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(pixels.pixel(2 - 1 - y, x), source.pixel(x, y)) << "source (" << x << ", " << y << ")";
}

TEST(TwoShotCameraGeometry, ScalingToWidth600KeepsTheProportionsAndReturnsA600WideShotAsItIs)
{
    const platform::Image big(quadrantShot(1000, 751));
    EXPECT_EQ(scaleToWidth600(big).size(), QSize(600, 450));  // 600 x 751 / 1000, truncated
    const platform::Image exact(quadrantShot(600, 450));
    EXPECT_EQ(scaleToWidth600(exact).pixels().cacheKey(), exact.pixels().cacheKey());
    // A shot stored sideways (EXIF 6) is scaled as it is to be seen.
    const platform::Image sideways(quadrantShot(800, 600), 6);
    const platform::Image scaled = scaleToWidth600(sideways);
    EXPECT_EQ(scaled.size(), QSize(600, 800));
    EXPECT_TRUE(scaled.isUpright());
}

TEST_F(TwoShotCameraTest, OverlayDrawsTheGreenGridOverThePreviewAreaOnly)
{
    startCapture();
    CameraOverlayView* overlay = m_camera.overlay();
    ASSERT_NE(overlay, nullptr);
    EXPECT_EQ(overlay->geometry(), QRect(0, 0, 320, 480));
    const QImage image = renderOverOpaqueBlack(overlay);

    // A vertical line at x = 80 points covers device columns 159 and 160.
    const int row = 2 * 30;
    for (int x : {80, 160, 240}) {
        EXPECT_TRUE(isGreen(image.pixel(2 * x - 1, row)) && isGreen(image.pixel(2 * x, row))) << "x = " << x;
        EXPECT_FALSE(isGreen(image.pixel(2 * x - 3, row))) << "x = " << x;
        EXPECT_FALSE(isGreen(image.pixel(2 * x + 2, row))) << "x = " << x;
    }
    const int column = 2 * 30;
    for (int y : {71, 142, 213, 284, 355}) {
        EXPECT_TRUE(isGreen(image.pixel(column, 2 * y - 1)) && isGreen(image.pixel(column, 2 * y))) << "y = " << y;
        EXPECT_FALSE(isGreen(image.pixel(column, 2 * y + 2))) << "y = " << y;
    }
    // Between the lines the overlay is clear: the (black) picture shows.
    EXPECT_EQ(image.pixel(2 * 40, 2 * 40), qRgb(0, 0, 0));
    // The vertical lines end at B = 426, above the bottom bar.
    EXPECT_FALSE(isGreen(image.pixel(2 * 80, 2 * 430)));
    // Before the first shot there is no ghost.
    EXPECT_TRUE(m_camera.leftImageForDisplay().isNull());
}

TEST_F(TwoShotCameraTest, ButtonsSitOnTheBottomBarAndCancelEndsTheCapture)
{
    startCapture();
    CameraOverlayView* overlay = m_camera.overlay();
    ASSERT_NE(overlay, nullptr);
    platform::ImageButton* shutter = overlay->shutterButton();
    platform::ImageButton* cancel = overlay->cancelButton();
    // Centred at (160, 453) and (30, 453), origins at the integer parts.
    EXPECT_EQ(shutter->pos(), QPoint(int(160 - shutter->width() / 2.0), int(453 - shutter->height() / 2.0)));
    EXPECT_EQ(cancel->pos(), QPoint(int(30 - cancel->width() / 2.0), int(453 - cancel->height() / 2.0)));

    // Without a camera device the shutter takes nothing and nothing breaks.
    if (!m_camera.picker()->hasCamera()) {
        shutter->click();
        EXPECT_TRUE(m_camera.leftImage().isNull());
    }

    QPointer<CameraPicker> picker = m_camera.picker();
    cancel->click();
    EXPECT_EQ(m_controller->modalViewController(), nullptr);
    EXPECT_EQ(m_camera.picker(), nullptr);
    EXPECT_TRUE(waitFor([&] { return picker.isNull(); }));
    EXPECT_TRUE(m_delegate.calls.empty());
}

TEST_F(TwoShotCameraTest, FirstShotKeepsTheFullSizeShotAndAGhostTurnedAQuarter)
{
    startCapture();
    const QImage shot = quadrantShot(1000, 750);
    shoot(shot);
    EXPECT_EQ(m_camera.leftImage().size(), QSize(1000, 750));
    // Upright shot: the width-600 scaling (600 x 450), turned to 450 x 600.
    const platform::Image& ghost = m_camera.leftImageForDisplay();
    ASSERT_EQ(ghost.size(), QSize(450, 600));
    // Turned clockwise: the shot's top-left (red) quadrant is now top right.
    EXPECT_EQ(ghost.pixels().pixel(400, 50), qRgb(255, 0, 0));
    EXPECT_EQ(ghost.pixels().pixel(50, 50), qRgb(0, 0, 255));
    // The picker stays open for the second shot.
    EXPECT_EQ(m_controller->modalViewController(), m_camera.picker());
    EXPECT_TRUE(m_delegate.calls.empty());

    // The ghost covers (0, 0, 320, 426) at half opacity, under the grid and
    // the bottom bar (which starts at 426 too).
    EXPECT_EQ(CameraOverlayView::ghostRect(QSize(320, 480), ghost.size()), QRect(0, 0, 320, 426));
    const QImage image = renderOverOpaqueBlack(m_camera.overlay());
    const QRgb topRight = image.pixel(2 * 300, 2 * 20);
    EXPECT_NEAR(qRed(topRight), 128, 2);
    EXPECT_EQ(qBlue(topRight), 0);
    const QRgb topLeft = image.pixel(2 * 20, 2 * 20);
    EXPECT_NEAR(qBlue(topLeft), 128, 2);
    EXPECT_EQ(qRed(topLeft), 0);
    const QRgb bottomLeft = image.pixel(2 * 20, 2 * 425);  // the shot's white quadrant
    EXPECT_NEAR(qRed(bottomLeft), 128, 2);
    EXPECT_NEAR(qGreen(bottomLeft), 128, 2);
    EXPECT_TRUE(isGreen(image.pixel(2 * 80, 2 * 20)));  // the grid stays over it
}

TEST_F(TwoShotCameraTest, ShotNotUprightIsShownAsItIsToBeSeenWithoutTheQuarterTurn)
{
    startCapture();
    m_camera.imagePickerDidFinishPicking(platform::Image(quadrantShot(800, 600), 6));
    EXPECT_EQ(m_camera.leftImage().orientation(), 6);
    const platform::Image& ghost = m_camera.leftImageForDisplay();
    EXPECT_EQ(ghost.size(), QSize(600, 800));
    EXPECT_TRUE(ghost.isUpright());
}

TEST_F(TwoShotCameraTest, SecondShotDismissesThePickerAndReportsFullLeftAndWidth600Right)
{
    startCapture();
    QPointer<CameraPicker> picker = m_camera.picker();
    shoot(quadrantShot(1200, 900));
    shoot(quadrantShot(1600, 1200));
    ASSERT_EQ(m_delegate.calls.size(), 1u);
    const RecordingDelegate::Call& call = m_delegate.calls.front();
    EXPECT_EQ(call.left.size(), QSize(1200, 900));
    EXPECT_EQ(call.right.size(), QSize(600, 450));
    EXPECT_TRUE(call.right.isUpright());
    // The right shot is the scaled picture, not the left one or the ghost.
    EXPECT_EQ(call.right.pixels().pixel(100, 100), qRgb(255, 0, 0));
    EXPECT_EQ(call.right.pixels().pixel(500, 100), qRgb(0, 255, 0));
    EXPECT_EQ(m_controller->modalViewController(), nullptr);
    EXPECT_TRUE(waitFor([&] { return picker.isNull(); }));
}

TEST_F(TwoShotCameraTest, CancelAfterTheFirstShotDropsItAndTheNextCaptureStartsWithTheLeftShot)
{
    startCapture();
    QPointer<CameraPicker> firstPicker = m_camera.picker();
    shoot(quadrantShot(1000, 750));
    m_camera.onClickCancel();
    EXPECT_TRUE(m_camera.leftImage().isNull());
    EXPECT_TRUE(m_camera.leftImageForDisplay().isNull());
    // A still still on its way from the cancelled picker is dropped.
    if (firstPicker)
        firstPicker->deliverCapturedImage(quadrantShot(900, 600));
    EXPECT_TRUE(m_delegate.calls.empty());
    EXPECT_TRUE(m_camera.leftImage().isNull());

    startCapture();
    EXPECT_TRUE(m_camera.leftImageForDisplay().isNull());
    shoot(quadrantShot(640, 480));
    EXPECT_TRUE(m_delegate.calls.empty());
    shoot(quadrantShot(2000, 1500));
    ASSERT_EQ(m_delegate.calls.size(), 1u);
    EXPECT_EQ(m_delegate.calls.front().left.size(), QSize(640, 480));
    EXPECT_EQ(m_delegate.calls.front().right.size(), QSize(600, 450));
}

TEST_F(TwoShotCameraTest, CameraOpensAtOnceWithoutTheHelpPreference)
{
    m_camera.invokeCamera(m_controller.get());
    EXPECT_EQ(m_controller->modalViewController(), m_camera.picker());
    EXPECT_EQ(m_camera.createTwoshotHelpPopup(), nullptr);
}

TEST_F(TwoShotCameraTest, DroppingTheCameraMidCaptureClosesItsPicker)
{
    auto camera = std::make_unique<TwoShotCamera>();
    camera->setDelegate(&m_delegate);
    camera->invokeCamera(m_controller.get());
    QPointer<CameraPicker> picker = camera->picker();
    QPointer<CameraOverlayView> overlay = camera->overlay();
    picker->deliverCapturedImage(quadrantShot(1000, 750));
    camera.reset();
    EXPECT_EQ(m_controller->modalViewController(), nullptr);
    // Whatever still reaches the picker or the overlay now goes nowhere.
    if (picker)
        picker->deliverCapturedImage(quadrantShot(1000, 750));
    if (overlay)
        overlay->cancelButton()->click();
    EXPECT_TRUE(waitFor([&] { return picker.isNull(); }));
    EXPECT_TRUE(m_delegate.calls.empty());
}

TEST_F(TwoShotCameraTest, ScreenshotOfTheOverlayWithTheGhostOfTheSample)
{
    startCapture();
    const platform::Image sample =
        platform::Image::fromFile(platform::resourcePath(QStringLiteral("sample/sample.jpg")));
    ASSERT_FALSE(sample.isNull());
    m_camera.imagePickerDidFinishPicking(sample);
    ASSERT_TRUE(waitFor([&] { return m_camera.picker()->pos() == QPoint(0, 0); }));
    const QString path = testsupport::saveScreenshot(m_camera.picker(), QStringLiteral("two_shot_camera_ghost"));
    EXPECT_FALSE(QImage(path).isNull());
}

} // namespace
