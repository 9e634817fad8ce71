#include "platform/ImageButton.h"

#include "platform/ResourceLookup.h"
#include "platform/ViewTag.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using platform::ImageButton;

namespace {

// A resource folder of its own with solid "@2x" images, restored after.
class ImageButtonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        QDir(m_dir.path()).mkpath(QStringLiteral("images"));
        m_oldFolder = platform::resourceFolder();
        platform::setResourceFolder(m_dir.path());
        platform::setHighResolutionScreen(true);
    }
    void TearDown() override { platform::setResourceFolder(m_oldFolder); }

    // name at w x h points (2w x 2h pixels) in one colour.
    void writeImage(const QString& name, int w, int h, const QColor& color)
    {
        QImage image(2 * w, 2 * h, QImage::Format_ARGB32);
        image.fill(color);
        const int dot = static_cast<int>(name.lastIndexOf(QLatin1Char('.')));
        ASSERT_TRUE(image.save(m_dir.path() + QStringLiteral("/images/") + name.left(dot) + QStringLiteral("@2x") +
                               name.mid(dot)));
    }

    static QColor pixelAt(QWidget* w, int x, int y)
    {
        const QImage image = w->grab().toImage();
        const qreal dpr = image.devicePixelRatio();
        return image.pixelColor(static_cast<int>(x * dpr), static_cast<int>(y * dpr));
    }

    QTemporaryDir m_dir;
    QString m_oldFolder;
};

TEST_F(ImageButtonTest, MakeImageButtonTakesTheImageSizeTagAndPressedImage)
{
    writeImage(QStringLiteral("take.png"), 31, 20, Qt::red);
    writeImage(QStringLiteral("take_down.png"), 31, 20, Qt::blue);
    int taps = 0;
    std::unique_ptr<ImageButton> button(platform::makeImageButton(
        QStringLiteral("take.png"), QStringLiteral("take_down.png"), 109, [&](ImageButton*) { ++taps; }));
    EXPECT_EQ(button->size(), QSize(31, 20));
    EXPECT_EQ(platform::viewTag(button.get()), 109);
    EXPECT_FALSE(button->image(ImageButton::Highlighted).isNull());
    EXPECT_EQ(button->image(ImageButton::Highlighted).toImage(), button->image(ImageButton::Selected).toImage());

    EXPECT_EQ(pixelAt(button.get(), 15, 10), QColor(Qt::red));
    button->setSelected(true);
    EXPECT_EQ(pixelAt(button.get(), 15, 10), QColor(Qt::blue));

    QTest::mouseClick(button.get(), Qt::LeftButton, {}, QPoint(15, 10));
    EXPECT_EQ(taps, 1);
}

TEST_F(ImageButtonTest, MissingImagesGiveAnEmptyButtonThatStillWorks)
{
    int taps = 0;
    std::unique_ptr<ImageButton> button(
        platform::makeImageButton(QStringLiteral("absent.png"), QString(), 3, [&](ImageButton*) { ++taps; }));
    EXPECT_TRUE(button->image(ImageButton::Normal).isNull());
    EXPECT_EQ(button->size(), QSize(0, 0));
    button->resize(20, 20);
    QTest::mouseClick(button.get(), Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(taps, 1);
}

TEST_F(ImageButtonTest, TouchDownComesBeforeTouchUpAndAReleaseOutsideIsNoTap)
{
    ImageButton button;
    button.resize(40, 40);
    QStringList events;
    button.setTouchDownAction([&](ImageButton*) { events << QStringLiteral("down"); });
    button.setTouchUpInsideAction([&](ImageButton*) { events << QStringLiteral("up"); });
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(events, QStringList({QStringLiteral("down"), QStringLiteral("up")}));

    events.clear();
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(20, 20));
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(80, 80));
    EXPECT_EQ(events, QStringList({QStringLiteral("down")}));
}

TEST_F(ImageButtonTest, StatesFallBackToNormalAndPressingShowsTheHighlightedState)
{
    ImageButton button;
    button.resize(40, 40);
    QPixmap green(80, 80);
    green.setDevicePixelRatio(2);
    green.fill(Qt::green);
    button.setImage(green, ImageButton::Normal);
    button.setSelected(true);
    EXPECT_EQ(button.currentState(), ImageButton::Selected);
    EXPECT_EQ(pixelAt(&button, 20, 20), QColor(Qt::green));  // no selected image: the normal one

    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(button.currentState(), ImageButton::Highlighted);
    // Darkened while pressed, as no highlighted image was given...
    EXPECT_LT(pixelAt(&button, 20, 20).green(), 255);
    // ...but not when told not to.
    button.setAdjustsImageWhenHighlighted(false);
    EXPECT_EQ(pixelAt(&button, 20, 20), QColor(Qt::green));
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(20, 20));
}

TEST_F(ImageButtonTest, EdgeInsetsMoveTheImageAndTheBackgroundFillsTheFrame)
{
    ImageButton button;
    button.resize(40, 40);
    QPixmap red(20, 20);  // 10 x 10 points
    red.setDevicePixelRatio(2);
    red.fill(Qt::red);
    QPixmap blue(2, 2);
    blue.fill(Qt::blue);
    button.setImage(red, ImageButton::Normal);
    button.setBackgroundImage(blue, ImageButton::Normal);
    // Centred: rows 15 to 25.
    EXPECT_EQ(pixelAt(&button, 20, 16), QColor(Qt::red));
    EXPECT_EQ(pixelAt(&button, 20, 12), QColor(Qt::blue));
    // Top -5, bottom 5: 5 points higher, rows 10 to 20.
    button.setImageEdgeInsets(QMargins(0, -5, 0, 5));
    EXPECT_EQ(pixelAt(&button, 20, 11), QColor(Qt::red));
    EXPECT_EQ(pixelAt(&button, 20, 22), QColor(Qt::blue));
    EXPECT_EQ(pixelAt(&button, 1, 1), QColor(Qt::blue));
}

TEST_F(ImageButtonTest, CenterViewTruncatesTheOrigin)
{
    struct Case {
        QSize size;
        double x, y;
        QPoint origin;
    };
    const Case cases[] = {
        {{31, 20}, 100, 50, {84, 40}},       // 84.5 -> 84
        {{30, 21}, 62.7, 396, {47, 385}},    // 47.7 -> 47, 385.5 -> 385
        {{31, 31}, 10, 10, {-5, -5}},        // -5.5 -> -5 (towards zero)
    };
    for (const Case& c : cases) {
        QWidget view;
        view.resize(c.size);
        platform::centerView(&view, c.x, c.y);
        EXPECT_EQ(view.pos(), c.origin) << c.size.width() << " at " << c.x << ", " << c.y;
    }
}

} // namespace
