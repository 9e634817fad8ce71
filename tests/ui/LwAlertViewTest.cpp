#include "ui/LwAlertView.h"

#include "platform/AlertView.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QTest>
#include <QWidget>

#include <memory>

namespace {

TEST(LwAlertViewTest, TheChosenIndexIsReportedOnceAndTheHandlerIsReleased)
{
    QWidget window;
    window.resize(320, 480);
    window.show();
    auto token = std::make_shared<int>(0);
    std::vector<int> reported;
    platform::AlertView* alert = LwAlertView::showWithCompletion(
        QString(), QStringLiteral("WORK_WILL_BE_LOST"), QStringLiteral("NO"), {QStringLiteral("YES")}, &window,
        [&reported, token](int index) { reported.push_back(index); });
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->parentWidget(), &window);
    EXPECT_EQ(token.use_count(), 2);
    QTest::mouseClick(alert->buttonAtIndex(1), Qt::LeftButton);
    EXPECT_EQ(reported, std::vector<int>({1}));
    EXPECT_EQ(token.use_count(), 1);  // the handler was released
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(platform::AlertView::visibleAlerts().isEmpty());
}

TEST(LwAlertViewTest, ACancelReportsZeroAndAnEmptyHandlerIsFine)
{
    QWidget window;
    window.resize(320, 480);
    window.show();
    int reported = -1;
    platform::AlertView* alert = LwAlertView::showWithCompletion(
        QString(), QStringLiteral("m"), QStringLiteral("NO"), {QStringLiteral("YES")}, &window,
        [&](int index) { reported = index; });
    alert->dismissWithClickedButtonIndex(0);
    alert->dismissWithClickedButtonIndex(1);
    EXPECT_EQ(reported, 0);

    platform::AlertView* quiet = LwAlertView::showWithCompletion(QString(), QStringLiteral("m"),
                                                                 QStringLiteral("CLOSE"), {}, &window, {});
    QTest::mouseClick(quiet->buttonAtIndex(0), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(platform::AlertView::visibleAlerts().isEmpty());
}

} // namespace
