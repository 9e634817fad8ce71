#include "platform/ViewTransition.h"

#include "tests/support/Screenshot.h"

#include <gtest/gtest.h>

#include <QPointer>
#include <QTest>

using platform::ViewTransition;

namespace {
QWidget* coloured(QWidget* parent, QColor color)
{
    auto* w = new QWidget(parent);
    w->setGeometry(parent->rect());
    QPalette p = w->palette();
    p.setColor(QPalette::Window, color);
    w->setPalette(p);
    w->setAutoFillBackground(true);
    w->show();
    return w;
}
} // namespace

class ViewTransitionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_container.resize(100, 60);
        m_old = coloured(&m_container, Qt::red);
        m_container.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_container));
    }
    // Replaces the red view by a blue one, as the root view does.
    std::function<void()> swap()
    {
        return [this] {
            delete m_old;
            m_old = nullptr;
            m_new = coloured(&m_container, Qt::blue);
        };
    }
    QWidget m_container;
    QWidget* m_old = nullptr;
    QPointer<QWidget> m_new;
};

TEST_F(ViewTransitionTest, TheChangeHappensAtOnceAndTheCompletionAtTheEnd)
{
    int completions = 0;
    QPointer<ViewTransition> t = ViewTransition::run(&m_container, ViewTransition::Kind::Push,
                                                     ViewTransition::Direction::FromRight, 0.1, swap(),
                                                     [&] { ++completions; });
    ASSERT_FALSE(m_new.isNull()) << "the new view is in place for logic immediately";
    EXPECT_TRUE(t->isRunning());
    EXPECT_TRUE(t->testAttribute(Qt::WA_TransparentForMouseEvents)) << "the animation takes no touches";
    EXPECT_EQ(completions, 0);
    QTRY_COMPARE_WITH_TIMEOUT(completions, 1, 2000);
    QTRY_VERIFY_WITH_TIMEOUT(t.isNull(), 2000);
    EXPECT_EQ(completions, 1);
}

TEST_F(ViewTransitionTest, APushDrawsTheNewViewComingInFromItsSide)
{
    for (auto direction : {ViewTransition::Direction::FromRight, ViewTransition::Direction::FromLeft}) {
        const bool fromRight = direction == ViewTransition::Direction::FromRight;
        SCOPED_TRACE(fromRight ? "from the right" : "from the left");
        delete m_new.data();
        delete m_old;
        m_old = coloured(&m_container, Qt::red);
        ViewTransition* t = ViewTransition::run(&m_container, ViewTransition::Kind::Push, direction, 1.0, swap(), nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(t->progress() > 0.3, 3000);
        const QImage frame = t->grab().toImage();
        const double p = t->progress();
        const int w = frame.width(), y = frame.height() / 2;
        // The new (blue) view has come in by p of the width, on its side; the
        // old (red) one still shows on the other side.
        const int newEdge = fromRight ? w - 2 : 1;
        const int oldEdge = fromRight ? 1 : w - 2;
        EXPECT_EQ(QColor(frame.pixel(newEdge, y)), QColor(Qt::blue)) << p;
        if (p < 0.7) {
            EXPECT_EQ(QColor(frame.pixel(oldEdge, y)), QColor(Qt::red)) << p;
        }
        t->finish();
    }
}

TEST_F(ViewTransitionTest, AFlipTurnsTheOldFaceAwayThenTheNewOneIn)
{
    ViewTransition* t = ViewTransition::run(&m_container, ViewTransition::Kind::Flip,
                                            ViewTransition::Direction::FromRight, 1.0, swap(), nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(t->progress() > 0.15, 3000);
    QImage frame = t->grab().toImage();
    if (t->progress() < 0.4) {
        // The old face, turned: narrower than the container, the sides bare.
        const int y = frame.height() / 2;
        EXPECT_EQ(QColor(frame.pixel(frame.width() / 2, y)), QColor(Qt::red));
        EXPECT_EQ(QColor(frame.pixel(1, y)), QColor(Qt::black));
        EXPECT_EQ(QColor(frame.pixel(frame.width() - 2, y)), QColor(Qt::black));
    }
    QTRY_VERIFY_WITH_TIMEOUT(t->progress() > 0.65, 3000);
    frame = t->grab().toImage();
    if (t->progress() < 0.9) {
        EXPECT_EQ(QColor(frame.pixel(frame.width() / 2, frame.height() / 2)), QColor(Qt::blue));
    }
    testsupport::saveScreenshot(t, QStringLiteral("transition_flip"));
    t->finish();
}

TEST_F(ViewTransitionTest, FinishEndsAtOnceAndRunsTheCompletionOnce)
{
    int completions = 0;
    ViewTransition* t = ViewTransition::run(&m_container, ViewTransition::Kind::Flip,
                                            ViewTransition::Direction::FromLeft, 1.0, swap(), [&] { ++completions; });
    EXPECT_EQ(t->kind(), ViewTransition::Kind::Flip);
    EXPECT_EQ(t->direction(), ViewTransition::Direction::FromLeft);
    EXPECT_DOUBLE_EQ(t->duration(), 1.0);
    t->finish();
    EXPECT_EQ(completions, 1);
    EXPECT_FALSE(t->isRunning());
    t->finish();
    QTest::qWait(20);
    EXPECT_EQ(completions, 1);
}

TEST_F(ViewTransitionTest, NoCompletionWhenTheContainerGoesFirst)
{
    int completions = 0;
    {
        QWidget container;
        container.resize(50, 50);
        ViewTransition::run(&container, ViewTransition::Kind::Push, ViewTransition::Direction::FromLeft, 0.05,
                            [] {}, [&] { ++completions; });
    }
    QTest::qWait(100);
    EXPECT_EQ(completions, 0);
}

TEST(ViewTransitionCurveTest, TheEaseIsSymmetricAndSlowAtBothEnds)
{
    const QEasingCurve curve = ViewTransition::easeInEaseOut();
    EXPECT_NEAR(curve.valueForProgress(0.5), 0.5, 0.01);
    EXPECT_LT(curve.valueForProgress(0.1), 0.1);
    EXPECT_GT(curve.valueForProgress(0.9), 0.9);
    EXPECT_NEAR(curve.valueForProgress(0.25) + curve.valueForProgress(0.75), 1.0, 0.01);
}
