#include "ui/MessageBox.h"

#include "platform/ImageButton.h"
#include "platform/ResourceLookup.h"
#include "platform/StringTable.h"
#include "tests/support/Screenshot.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

using platform::ImageButton;

namespace {

class MessageBoxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_window.resize(320, 480);
        m_below = new QPushButton(QStringLiteral("home"), &m_window);
        m_below->setGeometry(m_window.rect());
        QObject::connect(m_below, &QPushButton::clicked, [this] { ++m_belowClicks; });
        m_window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_window));
    }

    // The edit-mode choice of the home screen.
    MessageBox* makeChoice()
    {
        auto* box = new MessageBox(&m_window);
        box->setText(platform::localizedString("WHICH_METHOD_TO_SEL_FOCUS_AREA"),
                     platform::localizedString("WHICH_METHOD_TO_SEL_FOCUS_AREA_HILIGHT"), QRect(30, 25, 245, 100));
        box->addButton(1, QStringLiteral("btn_smart.png"), platform::localizedString("WATERSHED_MODE"),
                       QRect(62, 82, 90, 90));
        box->addButton(2, QStringLiteral("btn_manual.png"), platform::localizedString("FREE_MODE"),
                       QRect(162, 82, 90, 90));
        box->setDoNotShowAgain(platform::localizedString("REMEMBER_AND_DO_NOT_SHOW"), QRect(20, 182, 240, 100));
        box->addButton(MessageBox::kCloseButtonTag, QString(), platform::localizedString("CONTINUE"),
                       QRect(110, 226, 100, 30));
        return box;
    }

    static void tap(ImageButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    QWidget m_window;
    QPushButton* m_below = nullptr;
    int m_belowClicks = 0;
};

TEST_F(MessageBoxTest, TheBoxCoversItsParentAndDropsInWithTheCardCentred)
{
    QPointer<MessageBox> box = makeChoice();
    EXPECT_EQ(box->parentWidget(), &m_window);
    EXPECT_EQ(box->size(), m_window.size());
    EXPECT_EQ(box->y(), -480);  // starts one box height above
    const QPixmap card = platform::pixmapResource(QStringLiteral("messagebox.png"));
    const QSize cardSize = card.isNull() ? QSize(MessageBox::kDefaultCardWidth, MessageBox::kDefaultCardHeight)
                                         : card.deviceIndependentSize().toSize();
    EXPECT_EQ(box->cardView()->size(), cardSize);
    EXPECT_EQ(box->cardView()->pos(),
              QPoint(static_cast<int>(160 - cardSize.width() / 2.0), static_cast<int>(240 - cardSize.height() / 2.0)));
    QTest::qWait(100);
    EXPECT_LT(box->y(), 0);
    EXPECT_GT(box->y(), -480);
    QTRY_COMPARE_WITH_TIMEOUT(box->pos(), QPoint(0, 0), 2000);
    box->showWithCloseHandler([](int) {});
    testsupport::saveScreenshot(&m_window, QStringLiteral("message_box_edit_mode"));
}

TEST_F(MessageBoxTest, TheFirstOptionIsSelectedOnShowAndTheOptionsActAsARadioGroup)
{
    MessageBox* box = makeChoice();
    std::vector<int> closedWith;
    box->showWithCloseHandler([&](int tag) { closedWith.push_back(tag); });
    ImageButton* smart = box->buttonWithTag(1);
    ImageButton* manual = box->buttonWithTag(2);
    EXPECT_EQ(box->selectedButton(), 1);
    EXPECT_TRUE(smart->isSelected());
    EXPECT_FALSE(smart->backgroundImage(ImageButton::Normal).isNull());
    EXPECT_EQ(smart->findChild<QLabel*>()->palette().color(QPalette::WindowText), QColor(Qt::white));

    tap(manual);
    EXPECT_EQ(box->selectedButton(), 2);
    EXPECT_TRUE(manual->isSelected());
    EXPECT_FALSE(smart->isSelected());
    EXPECT_TRUE(smart->backgroundImage(ImageButton::Normal).isNull());
    EXPECT_EQ(smart->findChild<QLabel*>()->palette().color(QPalette::WindowText), QColor(Qt::black));

    tap(manual);  // the selected option again stays selected
    EXPECT_EQ(box->selectedButton(), 2);
    EXPECT_TRUE(manual->isSelected());
    EXPECT_TRUE(closedWith.empty());

    // The selected background: a rounded rectangle drawn at scale 2.
    const QPixmap background = manual->backgroundImage(ImageButton::Selected);
    EXPECT_EQ(background.devicePixelRatio(), 2.0);
    EXPECT_EQ(background.size(), QSize(180, 180));
    EXPECT_EQ(background.toImage().pixelColor(90, 90), QColor(18, 84, 131));
    EXPECT_EQ(background.toImage().pixelColor(1, 1).alpha(), 0);
}

TEST_F(MessageBoxTest, TheCloseButtonReportsTheSelectionOnceThenTheBoxSlidesOutAndGoes)
{
    QPointer<MessageBox> box = makeChoice();
    std::vector<int> closedWith;
    bool checkedInHandler = true;
    box->showWithCloseHandler([&](int tag) {
        closedWith.push_back(tag);
        checkedInHandler = box->isDoNotShowAgainChecked();
    });
    tap(box->buttonWithTag(2));
    ImageButton* close = box->buttonWithTag(MessageBox::kCloseButtonTag);
    tap(close);
    tap(close);  // a second tap during the slide out
    EXPECT_EQ(closedWith, std::vector<int>({2}));
    EXPECT_FALSE(checkedInHandler);  // never touched: not ticked
    EXPECT_TRUE(box->isClosing());
    QTRY_VERIFY_WITH_TIMEOUT(box.isNull(), 3000);
    EXPECT_EQ(closedWith.size(), 1u);
}

TEST_F(MessageBoxTest, TheCheckBoxTogglesAndIsReadInTheHandler)
{
    MessageBox* box = makeChoice();
    bool checked = false;
    box->showWithCloseHandler([&](int) { checked = box->isDoNotShowAgainChecked(); });
    ImageButton* check = box->doNotShowAgainButton();
    ASSERT_NE(check, nullptr);
    EXPECT_EQ(check->geometry(), QRect(20, 182, 30, 30));
    EXPECT_FALSE(box->isDoNotShowAgainChecked());
    const QImage unticked = check->image(ImageButton::Normal).toImage();
    tap(check);
    EXPECT_TRUE(box->isDoNotShowAgainChecked());
    EXPECT_NE(check->image(ImageButton::Normal).toImage(), unticked);
    tap(check);
    tap(check);
    tap(box->buttonWithTag(MessageBox::kCloseButtonTag));
    EXPECT_TRUE(checked);
}

TEST_F(MessageBoxTest, AClosingButtonAddedFirstClosesOnShowWithoutRunningTheHandler)
{
    QPointer<MessageBox> box = new MessageBox(&m_window);
    box->addButton(MessageBox::kCloseButtonTag, QString(), QStringLiteral("CONTINUE"), QRect(110, 226, 100, 30));
    box->addButton(1, QStringLiteral("btn_smart.png"), QStringLiteral("WATERSHED_MODE"), QRect(62, 82, 90, 90));
    int runs = 0;
    box->showWithCloseHandler([&](int) { ++runs; });
    EXPECT_TRUE(box->isClosing());
    EXPECT_EQ(box->selectedButton(), -1);
    QTRY_VERIFY_WITH_TIMEOUT(box.isNull(), 3000);
    EXPECT_EQ(runs, 0);
}

TEST_F(MessageBoxTest, TheBoxIsModal)
{
    MessageBox* box = makeChoice();
    box->showWithCloseHandler({});
    QTRY_COMPARE(box->pos(), QPoint(0, 0));
    QTest::mouseClick(m_window.windowHandle(), Qt::LeftButton, {}, QPoint(5, 5));  // outside the card
    EXPECT_EQ(m_belowClicks, 0);
    // A click on the card's option goes to the option.
    ImageButton* manual = box->buttonWithTag(2);
    QTest::mouseClick(m_window.windowHandle(), Qt::LeftButton, {}, manual->mapTo(&m_window, QPoint(45, 45)));
    EXPECT_EQ(box->selectedButton(), 2);
}

TEST_F(MessageBoxTest, APlainButtonCarriesItsTitle)
{
    MessageBox* box = makeChoice();
    ImageButton* close = box->buttonWithTag(MessageBox::kCloseButtonTag);
    EXPECT_EQ(close->text(), platform::localizedString("CONTINUE"));
    EXPECT_EQ(close->geometry(), QRect(110, 226, 100, 30));
    EXPECT_EQ(box->buttonWithTag(99), nullptr);
}

} // namespace
