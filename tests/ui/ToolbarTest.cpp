#include "ui/Toolbar.h"

#include "platform/ImageButton.h"
#include "platform/ResourceLookup.h"
#include "platform/StringTable.h"
#include "platform/ViewTag.h"
#include "tests/support/Screenshot.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <memory>

using platform::ImageButton;

namespace {

QColor pixelAt(const QImage& image, double x, double y)
{
    const qreal dpr = image.devicePixelRatio();
    return image.pixelColor(static_cast<int>(x * dpr), static_cast<int>(y * dpr));
}

TEST(ToolbarTest, FiveButtonsOf61Point6WithTheLastRightAligned)
{
    Toolbar bar(QRectF(0, 436, 320, 44), 0, false);
    bar.setItemSize(QSizeF(61.6, 44));
    const int tags[] = {1, 2, 3, 4, 5};
    bar.setImageButtons(tags, nullptr, nullptr, nullptr, 5, 4);
    const double xs[] = {0, 61.6, 123.2, 184.8, 258.4};
    for (int i = 0; i < 5; ++i) {
        const QRectF frame = bar.buttonFrame(tags[i]);
        EXPECT_NEAR(frame.x(), xs[i], 1e-9) << "button " << tags[i];
        EXPECT_EQ(frame.size(), QSizeF(61, 44));
        ImageButton* button = bar.buttonWithTag(tags[i]);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->parentWidget(), &bar);
        EXPECT_EQ(button->x(), qRound(xs[i]));
        EXPECT_EQ(button->size(), QSize(61, 44));
    }
    EXPECT_EQ(bar.scrollStrip(), nullptr);
}

TEST(ToolbarTest, ButtonsThatDoNotFitGoIntoAScrollableStrip)
{
    Toolbar bar(QRectF(0, 0, 320, 44), 0, false);
    bar.setItemSize(QSizeF(64, 44));
    const int tags[] = {1, 2, 3, 4, 5, 6, 7};
    bar.setImageButtons(tags, nullptr, nullptr, nullptr, 7, -1);
    QWidget* strip = bar.scrollStrip();
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(strip->size(), QSize(448, 44));
    EXPECT_EQ(bar.buttonWithTag(7)->parentWidget(), strip);
    EXPECT_EQ(bar.buttonWithTag(7)->x(), 384);
    auto* area = bar.findChild<QScrollArea*>();
    ASSERT_NE(area, nullptr);
    EXPECT_EQ(area->geometry(), QRect(0, 0, 320, 44));
    EXPECT_EQ(area->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    // It scrolls sideways, by the wheel as well.
    bar.show();
    EXPECT_EQ(area->horizontalScrollBar()->maximum(), 128);
    QWheelEvent wheel(QPointF(100, 20), QPointF(100, 20), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(area->viewport(), &wheel);
    EXPECT_GT(area->horizontalScrollBar()->value(), 0);
}

TEST(ToolbarTest, EvenItemWidthAndMarginAndVerticalCentring)
{
    Toolbar bar(QRectF(50, 389, 240, 47), 1, false);
    bar.setMarginX(10);
    bar.setEvenItemWidth(5);
    EXPECT_EQ(bar.itemSize(), QSizeF(44, 47));
    bar.setItemSize(QSizeF(44, 40));
    const int tags[] = {450, 451};
    bar.setImageButtons(tags, nullptr, nullptr, nullptr, 2, -1);
    EXPECT_EQ(bar.buttonFrame(450), QRectF(10, 3, 44, 40));  // y = int(0.5 * 7)
    EXPECT_EQ(bar.buttonFrame(451), QRectF(54, 3, 44, 40));
    EXPECT_TRUE(bar.buttonFrame(999).isEmpty());
}

TEST(ToolbarTest, ImagesComeFromTheNamesWithDownImagesDerived)
{
    Toolbar bar(QRectF(0, 0, 320, 44));
    bar.setItemSize(QSizeF(48, 44));
    const int tags[] = {1, 2, 3};
    const char* normals[] = {"fg.png", "undo.png", "absent.png"};
    const char* selecteds[] = {nullptr, "fg.png", nullptr};
    bar.setImageButtons(tags, normals, nullptr, nullptr, 3, -1);
    ImageButton* fg = bar.buttonWithTag(1);
    ASSERT_FALSE(fg->image(ImageButton::Normal).isNull()) << "resources/images/fg.png is missing";
    EXPECT_EQ(fg->image(ImageButton::Highlighted).toImage(), QPixmap(platform::imageResourcePath("fg_down.png")).toImage());
    EXPECT_EQ(fg->image(ImageButton::Selected).toImage(), fg->image(ImageButton::Highlighted).toImage());
    EXPECT_TRUE(bar.buttonWithTag(3)->image(ImageButton::Normal).isNull());

    Toolbar explicitPressed(QRectF(0, 0, 320, 44));
    explicitPressed.setItemSize(QSizeF(48, 44));
    explicitPressed.setImageButtons(tags, normals, selecteds, nullptr, 2, -1);
    EXPECT_EQ(explicitPressed.buttonWithTag(2)->image(ImageButton::Highlighted).toImage(),
              explicitPressed.buttonWithTag(1)->image(ImageButton::Normal).toImage());
}

TEST(ToolbarTest, CaptionsAreDrawnUnderButtonsButOnlyStoredOnATopBar)
{
    const int tags[] = {400, 401};
    const ToolbarHelpString help[] = {{QStringLiteral("Blur"), 0}, {QString(), 0}};
    struct Case {
        int type;
        bool top;
        bool drawn;
        int labelHeight;
        QColor color;
    };
    const Case cases[] = {
        {0, false, true, 15, Qt::white},
        {1, false, true, 18, Qt::black},
        {1, true, false, 0, {}},  // a sub-toolbar opening downwards counts as at the top
        {0, true, false, 0, {}},
    };
    for (const Case& c : cases) {
        Toolbar bar(QRectF(0, 0, 320, 44), c.type, c.top);
        bar.setEvenItemWidth(5);
        bar.setImageButtons(tags, nullptr, nullptr, help, 2, -1);
        EXPECT_EQ(bar.helpString(400), QStringLiteral("Blur"));
        EXPECT_EQ(bar.helpString(401), QString());
        ImageButton* button = bar.buttonWithTag(400);
        auto* label = button->findChild<QLabel*>();
        EXPECT_EQ(label != nullptr, c.drawn) << "type " << c.type << " top " << c.top;
        EXPECT_EQ(bar.buttonWithTag(401)->findChild<QLabel*>(), nullptr);
        if (!label) {
            EXPECT_EQ(button->imageEdgeInsets(), QMargins());
            continue;
        }
        EXPECT_EQ(label->text(), QStringLiteral("Blur"));
        EXPECT_EQ(label->geometry(), QRect(-5, 44 - c.labelHeight, 64 + 10, c.labelHeight));
        EXPECT_EQ(label->palette().color(QPalette::WindowText), c.color);
        EXPECT_EQ(label->font().pixelSize(), 10);
        EXPECT_EQ(button->imageEdgeInsets(), QMargins(0, -5, 0, 5));
    }
}

class ToolbarCommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_bar = std::make_unique<Toolbar>(QRectF(0, 436, 320, 44), 0, false);
        m_bar->setEvenItemWidth(5);
        const int tags[] = {400, 401, 408, 403, 404};
        m_bar->setImageButtons(tags, nullptr, nullptr, nullptr, 5, -1);
        m_bar->setCmdTarget([this](ImageButton* button) {
            m_commands.push_back(platform::viewTag(button));
            // The state the screen sees when its command arrives.
            m_selectedAtCommand.push_back(button->isSelected());
        });
    }

    void tap(int tag) { QTest::mouseClick(m_bar->buttonWithTag(tag), Qt::LeftButton); }

    std::unique_ptr<Toolbar> m_bar;
    std::vector<int> m_commands;
    std::vector<bool> m_selectedAtCommand;
};

TEST_F(ToolbarCommandTest, ATapSendsTheButtonOnTheNextTurnOfTheEventLoop)
{
    tap(401);
    EXPECT_TRUE(m_commands.empty());
    QCoreApplication::processEvents();
    EXPECT_EQ(m_commands, std::vector<int>({401}));
    QCoreApplication::processEvents();
    EXPECT_EQ(m_commands.size(), 1u);
}

TEST_F(ToolbarCommandTest, ACommandToADeletedBarIsDropped)
{
    tap(400);
    m_bar.reset();
    QCoreApplication::processEvents();
    EXPECT_TRUE(m_commands.empty());
}

TEST_F(ToolbarCommandTest, TheRadioSelectionIsMadeBeforeTheCommand)
{
    const int radio[] = {400, 401, 408};
    m_bar->setRadio(radio, 3);
    m_bar->selectByTag(400, true);
    ImageButton* b400 = m_bar->buttonWithTag(400);
    ImageButton* b401 = m_bar->buttonWithTag(401);
    EXPECT_FALSE(b401->adjustsImageWhenHighlighted());
    ASSERT_FALSE(b401->backgroundImage(ImageButton::Selected).isNull());
    EXPECT_FALSE(b400->backgroundImage(ImageButton::Normal).isNull());

    QTest::mousePress(b401, Qt::LeftButton);
    // Touch down: highlighted and the others cleared, before any command.
    EXPECT_TRUE(b401->isSelected());
    EXPECT_FALSE(b400->isSelected());
    EXPECT_TRUE(b400->backgroundImage(ImageButton::Normal).isNull());
    EXPECT_FALSE(b401->backgroundImage(ImageButton::Normal).isNull());
    QTest::mouseRelease(b401, Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(m_commands, std::vector<int>({401}));
    EXPECT_EQ(m_selectedAtCommand, std::vector<bool>({true}));

    tap(401);  // the selected one again stays selected
    EXPECT_TRUE(b401->isSelected());
    tap(403);  // not in the group: no change
    EXPECT_TRUE(b401->isSelected());
    EXPECT_FALSE(m_bar->buttonWithTag(403)->isSelected());
}

TEST_F(ToolbarCommandTest, AToggleButtonTappedTwiceEndsUnselected)
{
    const int toggles[] = {404};
    m_bar->setToggleButtons(toggles, 1);
    ImageButton* b = m_bar->buttonWithTag(404);
    tap(404);
    EXPECT_TRUE(b->isSelected());
    EXPECT_FALSE(b->backgroundImage(ImageButton::Normal).isNull());
    tap(404);
    EXPECT_FALSE(b->isSelected());
    EXPECT_TRUE(b->backgroundImage(ImageButton::Normal).isNull());
    QCoreApplication::processEvents();
    EXPECT_EQ(m_commands, std::vector<int>({404, 404}));
    EXPECT_EQ(m_selectedAtCommand, std::vector<bool>({false, false}));  // as the button is when it arrives
}

TEST(ToolbarTest, TheHighlightIsARoundedRectInsetByOnePointAtTheScreensScale)
{
    Toolbar bar(QRectF(0, 0, 240, 47), 1, false);
    bar.setEvenItemWidth(5);
    const int tags[] = {450};
    bar.setImageButtons(tags, nullptr, nullptr, nullptr, 1, -1);
    bar.setSelectedBtnBgColor(450, QColor(18, 84, 131));
    const QPixmap background = bar.buttonWithTag(450)->backgroundImage(ImageButton::Selected);
    ASSERT_FALSE(background.isNull());
    EXPECT_EQ(background.devicePixelRatio(), bar.devicePixelRatioF());
    EXPECT_EQ(background.deviceIndependentSize(), QSizeF(48, 47));
    const QImage image = background.toImage();
    EXPECT_EQ(pixelAt(image, 24, 23), QColor(18, 84, 131));
    EXPECT_EQ(pixelAt(image, 0.5, 23).alpha(), 0);   // the 1-point inset
    EXPECT_EQ(pixelAt(image, 1.5, 1.5).alpha(), 0);  // a rounded corner
    EXPECT_EQ(pixelAt(image, 1.5, 23), QColor(18, 84, 131));
}

TEST(ToolbarTest, ASubToolbarCaptionTurnsWhiteWhenSelected)
{
    Toolbar bar(QRectF(0, 0, 180, 47), 1, false);
    bar.setEvenItemWidth(3);
    const int tags[] = {490, 491};
    const ToolbarHelpString help[] = {{QStringLiteral("None"), 0}, {QStringLiteral("Natural"), 1}};
    bar.setImageButtons(tags, nullptr, nullptr, help, 2, -1);
    bar.setRadio(tags, 2);
    // Caption ink: the lightest and darkest pixels of the caption's strip.
    auto captionInk = [&bar] {
        const QImage image = bar.buttonWithTag(491)->grab().toImage();
        int lightest = 0, darkest = 255;
        for (int y = image.height() - 30; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.alpha() < 200)
                    continue;
                lightest = std::max(lightest, c.lightness());
                darkest = std::min(darkest, c.lightness());
            }
        }
        return std::make_pair(lightest, darkest);
    };
    bar.selectByTag(491, true);
    EXPECT_EQ(bar.buttonWithTag(491)->findChild<QLabel*>()->palette().color(QPalette::WindowText), QColor(Qt::white));
    EXPECT_GT(captionInk().first, 230);  // white text on the highlight
    bar.selectByTag(491, false);
    EXPECT_EQ(bar.buttonWithTag(491)->findChild<QLabel*>()->palette().color(QPalette::WindowText), QColor(Qt::black));
    EXPECT_LT(captionInk().second, 40);
}

TEST(ToolbarTest, ShadowLiesBelowTopBarsAndAboveBottomBarsAndTheSubToolbarsTheOtherWay)
{
    struct Case {
        int type;
        bool top;
        int shadowY;  // relative to the bar
    };
    const Case cases[] = {{0, true, 44}, {0, false, -4}, {1, false, 44}, {1, true, -4}};
    for (const Case& c : cases) {
        QWidget screen;
        screen.resize(320, 480);
        auto* bar = new Toolbar(QRectF(10, 200, 300, 44), c.type, c.top, &screen);
        screen.show();  // a hidden widget hears of its moves only once shown
        QWidget* shadow = bar->shadowView();
        ASSERT_NE(shadow, nullptr);
        EXPECT_EQ(shadow->parentWidget(), &screen);
        EXPECT_EQ(shadow->geometry(), QRect(10, 200 + c.shadowY, 300, 4)) << "type " << c.type << " top " << c.top;
        bar->move(0, 100);
        EXPECT_EQ(shadow->geometry(), QRect(0, 100 + c.shadowY, 300, 4));
        bar->hide();
        EXPECT_TRUE(shadow->isHidden());
        bar->show();
        EXPECT_FALSE(shadow->isHidden());
        delete bar;
        EXPECT_TRUE(screen.children().isEmpty());
    }
}

TEST(ToolbarTest, TheSubToolbarArrowPointsAtTheOpeningButton)
{
    QWidget screen;
    screen.resize(320, 480);
    auto* down = new Toolbar(QRectF(50, 389, 240, 47), 1, false, &screen);
    down->setSubToolbarArrowPosition(96);
    QWidget* arrow = down->arrowView();
    ASSERT_NE(arrow, nullptr);
    const int w = arrow->width();
    EXPECT_GT(w, 0);
    EXPECT_EQ(arrow->geometry().topLeft() - down->pos(), QPoint(static_cast<int>(std::floor(46 - w / 2.0)), 46));

    auto* up = new Toolbar(QRectF(0, 40, 320, 47), 1, true, &screen);
    up->setSubToolbarArrowPosition(160);
    EXPECT_EQ(up->arrowView()->y() - up->y(), -11);

    Toolbar ordinary(QRectF(0, 0, 320, 44));
    ordinary.setSubToolbarArrowPosition(100);
    EXPECT_EQ(ordinary.arrowView(), nullptr);
}

TEST(ToolbarTest, SeparatorsAndTheEdgeLineAreDrawnWhereTheButtonsAre)
{
    Toolbar bar(QRectF(0, 0, 320, 40), 0, true);
    bar.setItemSize(QSizeF(48, 40));
    const int tags[] = {106, 107, 600};
    bar.setImageButtons(tags, nullptr, nullptr, nullptr, 3, 2);
    const ToolbarSeparator seps[] = {{107, 1, 0}, {600, 0, 3}, {999, 1, 0}};
    bar.setSeparator(seps, 3);
    const QImage image = bar.grab().toImage();
    // After the back button: x = int(48 + 48) = 96, dark, then light at 97.
    EXPECT_EQ(pixelAt(image, 96, 20), QColor(15, 15, 14));
    EXPECT_EQ(pixelAt(image, 97, 20), QColor(64, 64, 64));
    // Left of the right-aligned button at 272, shifted by 3: 273.
    EXPECT_EQ(pixelAt(image, 273, 20), QColor(15, 15, 14));
    EXPECT_EQ(pixelAt(image, 274, 20), QColor(64, 64, 64));
    // A top bar ends in a black line at its bottom edge.
    EXPECT_EQ(image.pixelColor(100, image.height() - 1), QColor(Qt::black));

    Toolbar sub(QRectF(0, 0, 240, 47), 1, false);
    sub.setEvenItemWidth(5);
    const int subTags[] = {450, 451, 452, 453, 406};
    sub.setImageButtons(subTags, nullptr, nullptr, nullptr, 5, -1);
    const ToolbarSeparator subSeps[] = {{406, 0, 0}};
    sub.setSeparator(subSeps, 1);
    const QImage subImage = sub.grab().toImage();
    EXPECT_EQ(pixelAt(subImage, 190, 20), QColor(160, 160, 160));  // int(192 - 2)
    EXPECT_EQ(pixelAt(subImage, 191, 20), QColor(255, 255, 255));
}

TEST(ToolbarTest, BottomBarScreenshot)
{
    QWidget screen;
    screen.resize(320, 480);
    QPalette p = screen.palette();
    p.setColor(QPalette::Window, QColor(90, 110, 130));
    screen.setPalette(p);
    screen.setAutoFillBackground(true);

    auto* top = new Toolbar(QRectF(0, 0, 320, 40), 0, true, &screen);
    top->setItemSize(QSizeF(48, 40));
    const int topTags[] = {106, 107, 600, 105, 109};
    const char* topImages[] = {"home.png", "back.png", "save.png", "share.png", "settings.png"};
    top->setImageButtons(topTags, topImages, nullptr, nullptr, 5, 2);
    const ToolbarSeparator sep[] = {{107, 1, 0}};
    top->setSeparator(sep, 1);

    auto* bottom = new Toolbar(QRectF(0, 436, 320, 44), 0, false, &screen);
    bottom->setEvenItemWidth(5);
    const int tags[] = {400, 401, 408, 403, 404};
    const char* images[] = {"blur.png", "aperture.png", "grad_bg.png", "filter.png", "filter.png"};
    const ToolbarHelpString help[] = {{platform::localizedString("BLUR"), 0},
                                      {platform::localizedString("APERTURE_SHAPE"), 0},
                                      {platform::localizedString("GRADUAL_BG"), 0},
                                      {platform::localizedString("FILTER"), 0},
                                      {platform::localizedString("FILTER_2"), 0}};
    bottom->setImageButtons(tags, images, nullptr, help, 5, -1);
    const int radio[] = {400, 401, 408, 403, 404};
    bottom->setRadio(radio, 5);
    bottom->selectByTag(401, true);

    auto* sub = new Toolbar(QRectF(50, 389, 240, 47), 1, false, &screen);
    sub->setEvenItemWidth(5);
    const int subTags[] = {450, 451, 452, 453, 406};
    const char* subImages[] = {"aperture_4.png", "aperture_5.png", "aperture_6.png", "aperture_circle.png", "bokeh.png"};
    const ToolbarHelpString subHelp[] = {{}, {}, {}, {}, {platform::localizedString("BOKEH"), 0}};
    sub->setImageButtons(subTags, subImages, nullptr, subHelp, 5, -1);
    const ToolbarSeparator subSep[] = {{406, 0, 0}};
    sub->setSeparator(subSep, 1);
    const int subRadio[] = {450, 451, 452, 453};
    sub->setRadio(subRadio, 4);
    const int subToggle[] = {406};
    sub->setToggleButtons(subToggle, 1);
    sub->selectByTag(453, true);
    sub->selectByTag(406, true);
    sub->setSubToolbarArrowPosition(96);

    screen.show();
    const QString path = testsupport::saveScreenshot(&screen, QStringLiteral("toolbar_effect_screen"));
    EXPECT_FALSE(QImage(path).isNull());
}

} // namespace
