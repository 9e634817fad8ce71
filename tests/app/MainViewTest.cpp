#include "app/MainView.h"

#include "app/AppData.h"
#include "app/StrokeContainer.h"
#include "tests/app/TestWorkViews.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>

namespace {

void addStroke(StrokeContainer* strokes)
{
    auto stroke = std::make_unique<Stroke>();
    stroke->points = {{1, 2}, {3, 4}};
    stroke->color = 255;
    stroke->brushSize = 10;
    strokes->m_strokes.push_back(std::move(stroke));
}

TestWorkView* current(MainView& root)
{
    return dynamic_cast<TestWorkView*>(root.currentWorkView());
}

// The screens under the root view (WorkView has no meta-object: by C++ type).
int workViewCount(const MainView& root)
{
    int n = 0;
    for (QObject* child : root.children())
        n += dynamic_cast<WorkView*>(child) != nullptr;
    return n;
}

// Runs the event loop until the deferred deletions are done.
void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

} // namespace

class MainViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        registerTestWorkViews({1, 2, 3, 4, 5});
        testWorkViewLog() = {};
    }
    // Switches and lets any animation end at once.
    void go(int id, bool isBack)
    {
        m_root.selectWorkView(id, isBack);
        m_root.finishTransition();
    }
    MainView m_root{QRect(0, 0, 320, 480), nullptr};
};

TEST_F(MainViewTest, StartsWithNoScreenAndTheInitialValues)
{
    EXPECT_EQ(m_root.currentViewId(), 0);
    EXPECT_EQ(m_root.currentWorkView(), nullptr);
    EXPECT_EQ(m_root.getLastEditViewId(), 1);
    EXPECT_FALSE(m_root.isViewChangedByBackButton());
    ASSERT_NE(m_root.getWatershedStrokeContainer(), nullptr);
    EXPECT_TRUE(m_root.getWatershedStrokeContainer()->m_strokes.empty());
    EXPECT_EQ(m_root.viewController(), nullptr);
}

TEST_F(MainViewTest, TheFirstSwitchShowsTheScreenWithoutAnimation)
{
    m_root.selectWorkView(1, false);
    EXPECT_EQ(m_root.currentViewId(), 1);
    ASSERT_NE(current(m_root), nullptr);
    EXPECT_EQ(current(m_root)->id(), 1);
    EXPECT_EQ(current(m_root)->parentWidget(), &m_root);
    EXPECT_EQ(current(m_root)->geometry(), QRect(0, 0, 320, 480));
    EXPECT_FALSE(current(m_root)->isHidden());
    EXPECT_EQ(m_root.lastTransition().kind, MainView::Transition::None);
    EXPECT_FALSE(m_root.isTransitionRunning());
    QTest::qWait(50);
    EXPECT_EQ(current(m_root)->animationsFinished(), 0);
}

TEST_F(MainViewTest, APushEndsWithOnInitialAnimationFinishedOnTheNewScreenOnly)
{
    go(1, false);
    TestWorkView* home = current(m_root);
    m_root.selectWorkView(3, false);
    TestWorkView* painting = current(m_root);
    ASSERT_NE(painting, home);
    // The new screen is in place for logic at once; the animation is only drawn.
    EXPECT_EQ(m_root.currentViewId(), 3);
    EXPECT_FALSE(painting->isHidden());
    EXPECT_TRUE(m_root.isTransitionRunning());
    EXPECT_EQ(painting->animationsFinished(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!m_root.isTransitionRunning(), 2000);
    EXPECT_EQ(painting->animationsFinished(), 1);
    flushDeletes();
    EXPECT_EQ(testWorkViewLog().destroyed[1], 1);
}

TEST_F(MainViewTest, TheOldScreenIsDeletedLaterSoItMayAskForTheSwitchItself)
{
    go(1, false);
    QPointer<WorkView> home = m_root.currentWorkView();
    go(3, false);
    ASSERT_FALSE(home.isNull());
    EXPECT_TRUE(home->isHidden());
    flushDeletes();
    EXPECT_TRUE(home.isNull());
    EXPECT_EQ(workViewCount(m_root), 1);
}

TEST_F(MainViewTest, EveryReturnHomeStartsANewEmptyDocument)
{
    go(1, false);
    AppData* first = m_root.getAppData();
    ASSERT_NE(first, nullptr);
    first->m_blurType = kMotionBlur;
    first->m_blurStrength = 0.02f;
    first->m_sidesOrAngle = 6;
    first->m_filter = 9;
    first->m_focusDepth = 7;
    first->m_fadingMode = kNaturalFading;
    first->m_width = 400;
    go(3, false);
    go(5, false);
    EXPECT_EQ(m_root.getAppData(), first) << "only the home screen replaces the document";
    go(1, true);
    const AppData fresh;
    AppData* second = m_root.getAppData();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->m_blurType, fresh.m_blurType);
    EXPECT_EQ(second->m_blurStrength, fresh.m_blurStrength);
    EXPECT_EQ(second->m_sidesOrAngle, fresh.m_sidesOrAngle);
    EXPECT_EQ(second->m_filter, fresh.m_filter);
    EXPECT_EQ(second->m_focusDepth, fresh.m_focusDepth);
    EXPECT_EQ(second->m_fadingMode, fresh.m_fadingMode);
    EXPECT_EQ(second->m_width, 0);
    EXPECT_EQ(current(m_root)->document(), second);
    // The effect screen read its own (old) document in its teardown.
    flushDeletes();
    EXPECT_EQ(testWorkViewLog().destroyed[5], 1);
}

TEST_F(MainViewTest, StrokesStayForSmartSelectionAndEffectAndGoOtherwise)
{
    struct Case {
        int from, to;
        bool kept;
    } cases[] = {
        {5, 4, true}, {3, 4, true}, {4, 5, true}, {4, 3, false}, {5, 3, false}, {4, 2, false}, {4, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << " -> " << c.to);
        go(c.from, false);
        addStroke(m_root.getWatershedStrokeContainer());
        const size_t before = m_root.getWatershedStrokeContainer()->m_strokes.size();
        go(c.to, false);
        EXPECT_EQ(m_root.getWatershedStrokeContainer()->m_strokes.size(), c.kept ? before : 0u);
    }
}

TEST_F(MainViewTest, TheLastEditViewIsTheLastPaintingOrSmartSelectionShown)
{
    go(1, false);
    EXPECT_EQ(m_root.getLastEditViewId(), 1);
    go(4, false);
    go(5, false);
    EXPECT_EQ(m_root.getLastEditViewId(), 4);
    go(4, true);
    go(3, false);
    go(5, false);
    EXPECT_EQ(m_root.getLastEditViewId(), 3);
    go(1, true);
    EXPECT_EQ(m_root.getLastEditViewId(), 3) << "home does not reset it";
}

TEST_F(MainViewTest, AnIdWithoutAScreenChangesNothing)
{
    MainView::registerWorkView(2, nullptr);
    go(1, false);
    WorkView* home = m_root.currentWorkView();
    AppData* doc = m_root.getAppData();
    addStroke(m_root.getWatershedStrokeContainer());
    for (int id : {2, 0, 6, -1}) {
        m_root.selectWorkView(id, true);
        EXPECT_EQ(m_root.currentViewId(), 1);
        EXPECT_EQ(m_root.currentWorkView(), home);
        EXPECT_FALSE(home->isHidden());
        EXPECT_EQ(m_root.getAppData(), doc);
        EXPECT_FALSE(m_root.isViewChangedByBackButton());
        EXPECT_EQ(m_root.getWatershedStrokeContainer()->m_strokes.size(), 1u);
    }
}

TEST_F(MainViewTest, ASwitchDuringATransitionEndsItFirst)
{
    go(1, false);
    m_root.selectWorkView(3, false);
    TestWorkView* painting = current(m_root);
    ASSERT_TRUE(m_root.isTransitionRunning());
    m_root.selectWorkView(4, false);
    TestWorkView* smart = current(m_root);
    EXPECT_EQ(painting->animationsFinished(), 1);
    EXPECT_EQ(m_root.lastTransition().kind, MainView::Transition::Flip);
    m_root.finishTransition();
    EXPECT_EQ(smart->animationsFinished(), 1);
    flushDeletes();
    EXPECT_EQ(workViewCount(m_root), 1);
}

TEST_F(MainViewTest, DestroyingTheRootViewDestroysItsScreens)
{
    {
        MainView root(QRect(0, 0, 320, 480), nullptr);
        root.selectWorkView(1, false);
        root.selectWorkView(3, false); // still animating, the home screen not yet deleted
    }
    EXPECT_EQ(testWorkViewLog().created[1], testWorkViewLog().destroyed[1]);
    EXPECT_EQ(testWorkViewLog().created[3], testWorkViewLog().destroyed[3]);
}
