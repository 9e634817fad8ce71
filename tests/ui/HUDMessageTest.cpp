#include "ui/HUDMessage.h"

#include "platform/ProgressHud.h"
#include "tests/support/Screenshot.h"

#include <gtest/gtest.h>

#include <QPointer>
#include <QTest>
#include <QWidget>

namespace {

TEST(HUDMessageTest, AMessageShowsItsIconAndTextThenGoesAwayByItself)
{
    QWidget view;
    view.resize(320, 480);
    view.show();
    QPointer<platform::ProgressHud> hud =
        HUDMessage::showMessage(QStringLiteral("SAVED"), QStringLiteral("checkmark.png"), &view, 0.3);
    ASSERT_FALSE(hud.isNull());
    EXPECT_EQ(hud->parentWidget(), &view);
    EXPECT_TRUE(hud->isVisible());
    EXPECT_EQ(hud->labelText(), QStringLiteral("SAVED"));
    EXPECT_EQ(hud->hudMode(), platform::ProgressHud::HudMode::CustomView);
    QTest::qWait(220);
    testsupport::saveScreenshot(&view, QStringLiteral("hud_message_saved"));
    QTRY_VERIFY_WITH_TIMEOUT(hud.isNull(), 3000);
    EXPECT_TRUE(view.findChildren<platform::ProgressHud*>().isEmpty());
}

TEST(HUDMessageTest, TwoMessagesInQuickSuccessionDisappearOnTheirOwnSchedules)
{
    QWidget view;
    view.resize(320, 480);
    view.show();
    QPointer<platform::ProgressHud> first =
        HUDMessage::showMessage(QStringLiteral("one"), QStringLiteral("checkmark.png"), &view, 0.2);
    QPointer<platform::ProgressHud> second =
        HUDMessage::showMessage(QStringLiteral("two"), QStringLiteral("checkmark.png"), &view, 1.0);
    EXPECT_NE(first.data(), second.data());
    EXPECT_TRUE(first->isVisible());
    EXPECT_TRUE(second->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(first.isNull(), 3000);
    EXPECT_FALSE(second.isNull());
    EXPECT_TRUE(second->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(second.isNull(), 3000);
}

TEST(HUDMessageTest, AViewClosedBeforeTheMessageEndsTakesTheMessageWithIt)
{
    auto* view = new QWidget;
    view->resize(320, 480);
    view->show();
    QPointer<platform::ProgressHud> hud =
        HUDMessage::showMessage(QStringLiteral("SAVED"), QStringLiteral("checkmark.png"), view, 2.0);
    delete view;
    EXPECT_TRUE(hud.isNull());
    QTest::qWait(50);
}

} // namespace
