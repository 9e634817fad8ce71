#include "platform/AlertView.h"

#include "tests/support/Screenshot.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QPointer>
#include <QPushButton>
#include <QTest>

using platform::AlertView;

namespace {

class AlertViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_window.resize(320, 480);
        m_below = new QPushButton(QStringLiteral("below"), &m_window);
        m_below->setGeometry(0, 0, 320, 480);
        QObject::connect(m_below, &QPushButton::clicked, [this] { ++m_belowClicks; });
        m_window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_window));
    }
    void TearDown() override
    {
        for (AlertView* alert : AlertView::visibleAlerts())
            delete alert;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // A click as the window system delivers it: to whatever lies on top.
    void clickWindowAt(QPoint pos) { QTest::mouseClick(m_window.windowHandle(), Qt::LeftButton, {}, pos); }

    QWidget m_window;
    QPushButton* m_below = nullptr;
    int m_belowClicks = 0;
};

TEST_F(AlertViewTest, ButtonIndexesCountTheCancelButtonFirst)
{
    struct Case {
        QString cancel;
        QStringList others;
        int cancelIndex, firstOther, count;
    };
    const Case cases[] = {
        {QStringLiteral("NO"), {QStringLiteral("YES")}, 0, 1, 2},
        {QString(), {QStringLiteral("OK")}, -1, 0, 1},
        {QStringLiteral("CLOSE"), {}, 0, -1, 1},
        {QStringLiteral("C"), {QStringLiteral("A"), QStringLiteral("B")}, 0, 1, 3},
    };
    for (const Case& c : cases) {
        AlertView alert(QString(), QStringLiteral("m"), c.cancel, c.others);
        EXPECT_EQ(alert.cancelButtonIndex(), c.cancelIndex);
        EXPECT_EQ(alert.firstOtherButtonIndex(), c.firstOther);
        EXPECT_EQ(alert.numberOfButtons(), c.count);
        if (c.cancelIndex == 0) {
            EXPECT_EQ(alert.buttonTitleAtIndex(0), c.cancel);
        }
        EXPECT_EQ(alert.buttonTitleAtIndex(c.count), QString());
    }
}

TEST_F(AlertViewTest, ClickingAButtonCallsBothHandlersOnceThenTheAlertDeletesItself)
{
    auto* alert = new AlertView(QStringLiteral("Title"), QStringLiteral("WORK_WILL_BE_LOST"), QStringLiteral("NO"),
                                {QStringLiteral("YES")});
    QStringList calls;
    alert->setClickedButtonHandler([&](AlertView* a, int index) {
        EXPECT_EQ(a, alert);
        calls << QStringLiteral("clicked %1").arg(index);
    });
    alert->setWillDismissHandler([&](AlertView*, int index) { calls << QStringLiteral("willDismiss %1").arg(index); });
    alert->show(m_below);
    EXPECT_EQ(alert->parentWidget(), &m_window);
    EXPECT_EQ(alert->geometry(), m_window.rect());
    EXPECT_TRUE(alert->isVisible());
    EXPECT_EQ(AlertView::visibleAlerts(), QList<AlertView*>({alert}));
    testsupport::saveScreenshot(&m_window, QStringLiteral("alert_view"));

    QPointer<AlertView> guard(alert);
    QAbstractButton* yes = alert->buttonAtIndex(1);
    ASSERT_NE(yes, nullptr);
    EXPECT_EQ(yes->text(), QStringLiteral("YES"));
    QTest::mouseClick(yes, Qt::LeftButton);
    EXPECT_EQ(calls, QStringList({QStringLiteral("clicked 1"), QStringLiteral("willDismiss 1")}));
    EXPECT_TRUE(AlertView::visibleAlerts().isEmpty());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
    EXPECT_EQ(calls.size(), 2);
}

TEST_F(AlertViewTest, ASecondDismissDoesNothing)
{
    auto* alert = new AlertView(QString(), QStringLiteral("m"), QStringLiteral("NO"), {QStringLiteral("YES")});
    int calls = 0;
    alert->setWillDismissHandler([&](AlertView*, int) { ++calls; });
    alert->show(&m_window);
    alert->dismissWithClickedButtonIndex(0);
    alert->dismissWithClickedButtonIndex(1);
    EXPECT_EQ(calls, 1);
}

TEST_F(AlertViewTest, TheAlertIsModalAndItsButtonsTakeClicksThroughTheWindow)
{
    auto* alert = new AlertView(QString(), QStringLiteral("m"), QStringLiteral("NO"), {QStringLiteral("YES")});
    int chosen = -1;
    alert->setWillDismissHandler([&](AlertView*, int index) { chosen = index; });
    alert->show(&m_window);

    clickWindowAt(QPoint(5, 5));  // outside the card
    EXPECT_EQ(m_belowClicks, 0);
    EXPECT_EQ(chosen, -1);

    QAbstractButton* no = alert->buttonAtIndex(0);
    clickWindowAt(no->mapTo(&m_window, no->rect().center()));
    EXPECT_EQ(chosen, 0);
    EXPECT_EQ(m_belowClicks, 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    clickWindowAt(QPoint(5, 5));
    EXPECT_EQ(m_belowClicks, 1);
}

TEST_F(AlertViewTest, TwoButtonsSitSideBySideMoreAreStackedWithCancelLast)
{
    AlertView two(QString(), QStringLiteral("m"), QStringLiteral("NO"), {QStringLiteral("YES")});
    two.show(&m_window);
    EXPECT_EQ(two.buttonAtIndex(0)->y(), two.buttonAtIndex(1)->y());
    EXPECT_LT(two.buttonAtIndex(0)->x(), two.buttonAtIndex(1)->x());

    AlertView three(QStringLiteral("T"), QStringLiteral("m"), QStringLiteral("C"), {QStringLiteral("A"), QStringLiteral("B")});
    three.show(&m_window);
    EXPECT_LT(three.buttonAtIndex(1)->y(), three.buttonAtIndex(2)->y());
    EXPECT_LT(three.buttonAtIndex(2)->y(), three.buttonAtIndex(0)->y());
    // The card holds its buttons.
    EXPECT_TRUE(three.cardView()->rect().contains(three.buttonAtIndex(0)->geometry()));
}

TEST_F(AlertViewTest, TheAlertFollowsTheWindowSize)
{
    auto* alert = new AlertView(QString(), QStringLiteral("m"), QStringLiteral("OK"), {});
    alert->show();  // the active or the only visible window
    ASSERT_EQ(alert->parentWidget(), &m_window);
    m_window.resize(480, 320);
    EXPECT_EQ(alert->geometry(), QRect(0, 0, 480, 320));
    EXPECT_DOUBLE_EQ(QRectF(alert->cardView()->geometry()).center().x(), 240.0);
}

} // namespace
