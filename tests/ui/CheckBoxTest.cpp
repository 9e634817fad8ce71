#include "ui/CheckBox.h"

#include "platform/AttributedTextLabel.h"
#include "platform/ImageButton.h"

#include <gtest/gtest.h>

#include <QTest>

namespace {

TEST(CheckBoxTest, ATapWithoutAListenerChangesNothing)
{
    CheckBox box(QStringLiteral("EDGE_FEATHER"), QRect(5, 78, 200, 30));
    EXPECT_FALSE(box.isChecked());
    QTest::mouseClick(box.checkButton(), Qt::LeftButton);
    EXPECT_FALSE(box.isChecked());
    box.setCheck(true);
    QTest::mouseClick(box.checkButton(), Qt::LeftButton);
    EXPECT_TRUE(box.isChecked());
}

TEST(CheckBoxTest, TheListenerGetsTheBoxAndDecidesTheState)
{
    CheckBox box(QStringLiteral("EDGE_FEATHER"), QRect(5, 78, 200, 30));
    std::vector<CheckBox*> calls;
    box.setListener([&](CheckBox* b) {
        calls.push_back(b);
        b->setCheck(!b->isChecked());
    });
    QTest::mouseClick(box.checkButton(), Qt::LeftButton);
    EXPECT_TRUE(box.isChecked());
    QTest::mouseClick(box.checkButton(), Qt::LeftButton);
    EXPECT_FALSE(box.isChecked());
    EXPECT_EQ(calls, std::vector<CheckBox*>({&box, &box}));
}

TEST(CheckBoxTest, TheBoxShowsTheTickedImageWhenCheckedAndTheTextBesideIt)
{
    CheckBox box(QStringLiteral("EDGE_FEATHER"), QRect(5, 78, 200, 30));
    EXPECT_EQ(box.checkButton()->geometry(), QRect(0, 0, 30, 30));
    EXPECT_EQ(box.textLabel()->geometry(), QRect(30, 0, 170, 30));
    EXPECT_EQ(box.textLabel()->textColor(), QColor(1, 85, 141));
    EXPECT_TRUE(box.textLabel()->alignment() & Qt::AlignVCenter);
    EXPECT_EQ(box.checkButton()->image(platform::ImageButton::Normal).toImage(), checkBoxPixmap(false).toImage());
    box.setCheck(true);
    EXPECT_EQ(box.checkButton()->image(platform::ImageButton::Normal).toImage(), checkBoxPixmap(true).toImage());
    EXPECT_NE(checkBoxPixmap(true).toImage(), checkBoxPixmap(false).toImage());
}

} // namespace
