#include "platform/ToastMessage.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <QWidget>

namespace {

TEST(ToastMessageTest, AToastShowsItsTextForItsTimeAndGoesByItself)
{
    QWidget view;
    view.resize(320, 480);
    view.show();
    platform::showToast(&view, QStringLiteral("CANNOT_CROSS_DIF_COLOR"), 100);
    platform::showToast(&view, QStringLiteral("second"), 600);
    EXPECT_EQ(platform::visibleToastTexts(), QStringList({QStringLiteral("CANNOT_CROSS_DIF_COLOR"), QStringLiteral("second")}));
    QTRY_COMPARE_WITH_TIMEOUT(platform::visibleToastTexts(), QStringList({QStringLiteral("second")}), 2000);
    QTRY_VERIFY_WITH_TIMEOUT(platform::visibleToastTexts().isEmpty(), 3000);
    QTRY_VERIFY(view.children().isEmpty());
}

TEST(ToastMessageTest, ATapGoesThroughTheToast)
{
    QWidget window;
    window.resize(320, 480);
    auto* below = new QPushButton(&window);
    below->setGeometry(window.rect());
    int clicks = 0;
    QObject::connect(below, &QPushButton::clicked, [&] { ++clicks; });
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    platform::showToast(&window, QStringLiteral("hello"), 5000);
    QWidget* toast = nullptr;
    for (QWidget* child : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child != below)
            toast = child;
    }
    ASSERT_NE(toast, nullptr);
    ASSERT_TRUE(toast->geometry().contains(160, 320));  // in the lower third
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, QPoint(160, 320));
    EXPECT_EQ(clicks, 1);
}

} // namespace
