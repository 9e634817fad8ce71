// The switching table: every route between the work screens with its isBack
// flag and the animation it runs.
#include "app/MainView.h"
#include "app/MainViewController.h"
#include "tests/app/TestWorkViews.h"

#include <gtest/gtest.h>

#include <QTest>

namespace {

struct Route {
    const char* name;
    int from, to;
    bool isBack;
    MainView::Transition::Kind kind;
    bool fromLeft;
    double duration;
};

using K = MainView::Transition;

void PrintTo(const Route& r, std::ostream* os)
{
    *os << r.from << " -> " << r.to;
}

const Route kRoutes[] = {
    {"HomeToPainting", 1, 3, false, K::Push, false, 0.4},
    {"HomeToSmartSelection", 1, 4, false, K::Push, false, 0.4},
    {"HomeToPairAlignment", 1, 2, false, K::Push, false, 0.4},
    {"PairAlignmentBackHome", 2, 1, true, K::Push, true, 0.4},
    {"PairAlignmentToPainting", 2, 3, false, K::Push, false, 0.4},
    {"PaintingToEffect", 3, 5, false, K::Push, false, 0.4},
    {"PaintingBackHome", 3, 1, true, K::Push, true, 0.4},
    {"PaintingToSmartSelection", 3, 4, false, K::Flip, false, 1.0},
    {"SmartSelectionToEffect", 4, 5, false, K::Push, false, 0.4},
    {"SmartSelectionToPainting", 4, 3, false, K::Flip, true, 1.0},
    {"SmartSelectionBackHome", 4, 1, true, K::Push, true, 0.4},
    {"EffectBackToSmartSelection", 5, 4, true, K::Push, true, 0.4},
    {"EffectBackToPainting", 5, 3, true, K::Push, true, 0.4},
    {"EffectHome", 5, 1, true, K::Push, true, 0.4},
};

} // namespace

class NavigationTest : public ::testing::TestWithParam<Route> {
protected:
    void SetUp() override { registerTestWorkViews({1, 2, 3, 4, 5}); }
};

TEST_P(NavigationTest, SwitchesWithItsFlagAndAnimation)
{
    const Route& r = GetParam();
    MainView root(QRect(0, 0, 320, 480), nullptr);
    root.selectWorkView(r.from, !r.isBack);
    root.finishTransition();
    auto* before = dynamic_cast<TestWorkView*>(root.currentWorkView());
    ASSERT_NE(before, nullptr);

    root.selectWorkView(r.to, r.isBack);
    auto* after = dynamic_cast<TestWorkView*>(root.currentWorkView());
    ASSERT_NE(after, nullptr);
    EXPECT_EQ(after->id(), r.to);
    EXPECT_EQ(root.currentViewId(), r.to);
    EXPECT_EQ(root.isViewChangedByBackButton(), r.isBack);
    const MainView::Transition t = root.lastTransition();
    EXPECT_EQ(t.kind, r.kind);
    EXPECT_EQ(t.fromLeft, r.fromLeft);
    EXPECT_DOUBLE_EQ(t.duration, r.duration);
    EXPECT_TRUE(root.isTransitionRunning());
    EXPECT_EQ(after->animationsFinished(), 0);
    root.finishTransition();
    EXPECT_EQ(after->animationsFinished(), 1);
    EXPECT_EQ(before->animationsFinished(), 0) << "the leaving screen is told nothing";
}

INSTANTIATE_TEST_SUITE_P(Routes, NavigationTest, ::testing::ValuesIn(kRoutes),
                         [](const ::testing::TestParamInfo<Route>& info) { return std::string(info.param.name); });

TEST(LaunchTest, TheControllerOpensTheHomeScreenWithoutAnimation)
{
    registerTestWorkViews({1, 2, 3, 4, 5});
    MainViewController controller;
    MainView* root = controller.view();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->viewController(), &controller);
    EXPECT_EQ(root->parentWidget(), controller.window());
    EXPECT_EQ(root->geometry(), QRect(0, 0, 320, 480));
    EXPECT_EQ(controller.window()->size(), QSize(320, 480));
    EXPECT_EQ(root->currentViewId(), 1);
    EXPECT_FALSE(root->isViewChangedByBackButton());
    EXPECT_EQ(root->lastTransition().kind, MainView::Transition::None);
    EXPECT_FALSE(root->isTransitionRunning());
    auto* home = dynamic_cast<TestWorkView*>(root->currentWorkView());
    ASSERT_NE(home, nullptr);
    QTest::qWait(20);
    EXPECT_EQ(home->animationsFinished(), 0);
}

TEST(LaunchTest, AModalScreenCoversTheWindowUntilDismissed)
{
    registerTestWorkViews({1});
    MainViewController controller;
    controller.window()->show();
    QPointer<QWidget> modal = new QWidget;
    controller.presentModalViewController(modal, true);
    EXPECT_EQ(controller.modalViewController(), modal);
    EXPECT_EQ(modal->parentWidget(), controller.window());
    QTRY_COMPARE_WITH_TIMEOUT(modal->geometry(), QRect(0, 0, 320, 480), 2000);
    controller.dismissModalViewControllerAnimated(true);
    EXPECT_EQ(controller.modalViewController(), nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(modal.isNull(), 2000);
}
