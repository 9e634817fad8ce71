#include "ui/SubToolbarMgr.h"

#include "platform/ImageButton.h"
#include "platform/ViewTag.h"
#include "ui/Toolbar.h"

#include <gtest/gtest.h>

#include <QPointer>
#include <QTest>

namespace {

class SubToolbarMgrTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_screen.resize(320, 480);
        m_bottom = new Toolbar(QRectF(0, 436, 320, 44), 0, false, &m_screen);
        m_bottom->setEvenItemWidth(5);
        const int tags[] = {400, 401, 408, 403, 404};
        m_bottom->setImageButtons(tags, nullptr, nullptr, nullptr, 5, -1);
        m_screen.show();
        m_creator = [this](int x) {
            m_creatorXs.push_back(x);
            auto* sub = new Toolbar(QRectF(50, 389, 240, 47), 1, false);
            sub->setEvenItemWidth(5);
            const int subTags[] = {450, 451};
            sub->setImageButtons(subTags, nullptr, nullptr, nullptr, 2, -1);
            sub->setSubToolbarArrowPosition(x);
            return sub;
        };
    }

    void click(int tag) { m_mgr.click(m_bottom, tag, &m_screen, m_creator); }
    bool selected(int tag) const { return m_bottom->buttonWithTag(tag)->isSelected(); }

    QWidget m_screen;
    Toolbar* m_bottom = nullptr;
    SubToolbarMgr m_mgr;
    SubToolbarMgr::Creator m_creator;
    std::vector<int> m_creatorXs;
};

TEST_F(SubToolbarMgrTest, APressOpensTheSubToolbarOverTheScreenAndMarksTheButton)
{
    EXPECT_EQ(m_mgr.removeSubToolbar(), -1);
    click(401);
    Toolbar* sub = m_mgr.subToolbar();
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(m_creatorXs, std::vector<int>({96}));  // int(64 + 32)
    EXPECT_EQ(platform::viewTag(sub), 401);
    EXPECT_EQ(sub->parentWidget(), &m_screen);
    EXPECT_TRUE(sub->isVisible());
    EXPECT_EQ(m_mgr.parentToolbar(), m_bottom);
    EXPECT_TRUE(selected(401));
}

TEST_F(SubToolbarMgrTest, TheSameButtonAgainFadesItOutThenRemovesIt)
{
    click(401);
    QPointer<Toolbar> sub = m_mgr.subToolbar();
    click(401);
    EXPECT_EQ(m_creatorXs.size(), 1u);  // only closed
    EXPECT_TRUE(m_mgr.isClosing());
    EXPECT_EQ(m_mgr.subToolbar(), sub.data());  // still there while it fades
    EXPECT_TRUE(selected(401));
    QTest::qWait(100);
    EXPECT_LT(sub->opacity(), 1.0);
    EXPECT_GT(sub->opacity(), 0.0);
    QTRY_VERIFY_WITH_TIMEOUT(m_mgr.subToolbar() == nullptr, 2000);
    EXPECT_FALSE(selected(401));
    EXPECT_EQ(m_mgr.parentToolbar(), nullptr);
    QTRY_VERIFY(sub.isNull());
}

TEST_F(SubToolbarMgrTest, AnotherButtonClosesTheFirstAtOnceAndOpensItsOwn)
{
    click(401);
    QPointer<Toolbar> first = m_mgr.subToolbar();
    click(403);
    Toolbar* second = m_mgr.subToolbar();
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first.data());
    EXPECT_EQ(platform::viewTag(second), 403);
    EXPECT_FALSE(m_mgr.isClosing());
    EXPECT_TRUE(first.isNull() || first->isHidden());
    EXPECT_FALSE(selected(401));
    EXPECT_TRUE(selected(403));
    EXPECT_EQ(m_creatorXs, std::vector<int>({96, 224}));
    // The first one's fade cannot come back to close the second.
    QTest::qWait(300);
    EXPECT_EQ(m_mgr.subToolbar(), second);
    EXPECT_TRUE(selected(403));
    EXPECT_TRUE(first.isNull());
}

TEST_F(SubToolbarMgrTest, AnotherButtonDuringTheFadeStillOpensItsOwn)
{
    click(401);
    click(401);  // closing
    click(408);
    ASSERT_NE(m_mgr.subToolbar(), nullptr);
    EXPECT_EQ(platform::viewTag(m_mgr.subToolbar()), 408);
    EXPECT_FALSE(selected(401));
    EXPECT_TRUE(selected(408));
    QTest::qWait(300);
    EXPECT_NE(m_mgr.subToolbar(), nullptr);
}

TEST_F(SubToolbarMgrTest, WithoutAScreenOrCreatorAPressOnlyCloses)
{
    click(401);
    m_mgr.click(m_bottom, 403, nullptr, m_creator);
    EXPECT_TRUE(m_mgr.isClosing());
    EXPECT_EQ(m_creatorXs.size(), 1u);
    m_mgr.removeSubToolbarImmediately();
    m_mgr.click(m_bottom, 403, &m_screen, SubToolbarMgr::Creator());
    EXPECT_EQ(m_mgr.subToolbar(), nullptr);
}

TEST_F(SubToolbarMgrTest, ImmediateRemovalDeselectsAndForgets)
{
    click(404);
    QPointer<Toolbar> sub = m_mgr.subToolbar();
    m_mgr.removeSubToolbarImmediately();
    EXPECT_EQ(m_mgr.subToolbar(), nullptr);
    EXPECT_FALSE(selected(404));
    EXPECT_TRUE(sub->isHidden());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(sub.isNull());
    EXPECT_EQ(m_mgr.removeSubToolbar(), -1);
}

TEST_F(SubToolbarMgrTest, TheSubToolbarsOwnCommandMayCloseIt)
{
    click(401);
    Toolbar* sub = m_mgr.subToolbar();
    int commands = 0;
    sub->setCmdTarget([&](platform::ImageButton*) {
        ++commands;
        m_mgr.removeSubToolbarImmediately();
    });
    QTest::mouseClick(sub->buttonWithTag(450), Qt::LeftButton);
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(commands, 1);
    EXPECT_EQ(m_mgr.subToolbar(), nullptr);
}

TEST_F(SubToolbarMgrTest, TheArrowXIsTheButtonCentreInTheScreenWhereverTheBarSits)
{
    m_bottom->move(20, 436);
    click(400);
    EXPECT_EQ(m_creatorXs, std::vector<int>({52}));  // 20 + int(32)
}

} // namespace
