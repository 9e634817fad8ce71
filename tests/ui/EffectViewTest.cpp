#include "ui/EffectView.h"

#include "app/AppData.h"
#include "app/AsyncTask.h"
#include "app/PhotoIntake.h"
#include "editing/CanvasView.h"
#include "platform/AlertView.h"
#include "platform/DocumentsFolder.h"
#include "platform/ImageButton.h"
#include "platform/ResourceLookup.h"
#include "platform/StringTable.h"
#include "tests/app/TestWorkViews.h"
#include "tests/support/Screenshot.h"
#include "ui/Toolbar.h"

#include <opencv2/imgproc.hpp>

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTest>

namespace {
constexpr int kTimeoutMs = 20000;
}

class EffectViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_documents.isValid());
        platform::setDocumentsFolder(m_documents.path());
        registerTestWorkViews({1, 3, 4});
        MainView::registerWorkView(5, [](const QRect& f, MainView* p) -> WorkView* { return new EffectView(f, p); });
        m_root.show();
        m_root.selectWorkView(1, false);
        // The bundled sample: a near plant and table, a middle fence, a far background.
        const QString folder = platform::resourceFolder() + QStringLiteral("/sample/");
        const platform::Image photo = platform::Image::fromFile(folder + QStringLiteral("sample.jpg"));
        ASSERT_FALSE(photo.isNull());
        AppData* doc = m_root.getAppData();
        ASSERT_TRUE(loadPhotoIntoDocument(*doc, photo, platform::Image(), QUrl()));
        QImage depth(folder + QStringLiteral("sample-depth.png"));
        depth = depth.convertToFormat(QImage::Format_Grayscale8);
        const cv::Mat view(depth.height(), depth.width(), CV_8UC1, depth.bits(), size_t(depth.bytesPerLine()));
        cv::resize(view, *doc->m_pDepthMap, doc->m_pDepthMap->size(), 0, 0, cv::INTER_NEAREST);
        doc->m_focusDepth = 0;
    }
    void TearDown() override
    {
        for (platform::AlertView* alert : platform::AlertView::visibleAlerts())
            alert->dismissWithClickedButtonIndex(0);
        platform::setDocumentsFolder(QString());
    }

    EffectView* open(int fromEditView)
    {
        m_root.selectWorkView(fromEditView, false);
        m_root.selectWorkView(5, false);
        m_root.finishTransition();
        auto* view = dynamic_cast<EffectView*>(m_root.currentWorkView());
        EXPECT_NE(view, nullptr);
        if (view) {
            EXPECT_TRUE(QTest::qWaitFor([view] { return view->previewRuns() == 1; }, kTimeoutMs));
        }
        EXPECT_TRUE(QTest::qWaitFor([] { return AsyncTask::runningTaskCount() == 0; }, kTimeoutMs));
        return view;
    }

    void tap(EffectView* view, int tag)
    {
        platform::ImageButton* button = view->topToolbar()->buttonWithTag(tag);
        ASSERT_NE(button, nullptr) << tag;
        QTest::mouseClick(button, Qt::LeftButton);
    }

    QTemporaryDir m_documents;
    MainView m_root{QRect(0, 0, 320, 480), nullptr};
};

TEST_F(EffectViewTest, OpeningRunsOnePreviewWithTheNearPlaneSharp)
{
    EffectView* view = open(3);
    ASSERT_NE(view, nullptr);
    const AppData* doc = m_root.getAppData();
    EXPECT_EQ(doc->m_focusDepth, 255);
    const QImage shown = view->canvas()->getImage();
    ASSERT_EQ(shown.size(), QSize(doc->m_width, doc->m_height));
    ASSERT_EQ(view->lensBlur().size(), cv::Size(doc->m_width, doc->m_height));

    // Compared with the working image: unchanged where the map is near,
    // blurred where it is far.
    cv::Mat depth;
    cv::resize(*doc->m_pDepthMap, depth, cv::Size(doc->m_width, doc->m_height), 0, 0, cv::INTER_NEAREST);
    cv::erode(depth, depth, cv::Mat(), cv::Point(-1, -1), 6); // away from the feathered edges
    const cv::Mat original(doc->m_pBitmap->height, doc->m_pBitmap->width, CV_8UC4, doc->m_pBitmap->data,
                           doc->m_pBitmap->bytesPerRow);
    const QImage argb = shown.convertToFormat(QImage::Format_ARGB32);
    const cv::Mat result(argb.height(), argb.width(), CV_8UC4, const_cast<uchar*>(argb.constBits()),
                         size_t(argb.bytesPerLine()));
    cv::Mat diff;
    cv::absdiff(result, original, diff);
    cv::cvtColor(diff, diff, cv::COLOR_BGRA2GRAY);
    cv::Mat far;
    cv::dilate(*doc->m_pDepthMap, far, cv::Mat(), cv::Point(-1, -1), 1);
    cv::resize(far, far, depth.size(), 0, 0, cv::INTER_NEAREST);
    const double nearDiff = cv::mean(diff, depth == 255)[0];
    const double farDiff = cv::mean(diff, far == 0)[0];
    EXPECT_LT(nearDiff, 2.0);
    EXPECT_GT(farDiff, 4.0 * nearDiff + 1.0);
    testsupport::saveScreenshot(view, QStringLiteral("effect_screen"));
}

TEST_F(EffectViewTest, BackGoesToTheLastEditViewWithoutAsking)
{
    for (int editView : {3, 4}) {
        SCOPED_TRACE(editView);
        EffectView* view = open(editView);
        ASSERT_NE(view, nullptr);
        tap(view, EffectView::kCmdBack);
        QTRY_COMPARE_WITH_TIMEOUT(m_root.currentViewId(), editView, 2000);
        EXPECT_TRUE(m_root.isViewChangedByBackButton());
        EXPECT_TRUE(platform::AlertView::visibleAlerts().isEmpty());
    }
}

TEST_F(EffectViewTest, HomeAsksFirstAndOnlyYesGoesHome)
{
    EffectView* view = open(3);
    ASSERT_NE(view, nullptr);
    AppData* doc = m_root.getAppData();
    tap(view, EffectView::kCmdHome);
    QTRY_VERIFY_WITH_TIMEOUT(!platform::AlertView::visibleAlerts().isEmpty(), 2000);
    platform::AlertView* alert = platform::AlertView::visibleAlerts().last();
    EXPECT_EQ(alert->message(), platform::localizedString(QStringLiteral("WORK_WILL_BE_LOST")));
    ASSERT_EQ(alert->numberOfButtons(), 2);
    EXPECT_EQ(alert->buttonTitleAtIndex(0), platform::localizedString(QStringLiteral("NO")));
    EXPECT_EQ(alert->buttonTitleAtIndex(1), platform::localizedString(QStringLiteral("YES")));
    alert->dismissWithClickedButtonIndex(0);
    QTest::qWait(20);
    EXPECT_EQ(m_root.currentViewId(), 5);
    EXPECT_EQ(m_root.getAppData(), doc);

    tap(view, EffectView::kCmdHome);
    QTRY_VERIFY_WITH_TIMEOUT(!platform::AlertView::visibleAlerts().isEmpty(), 2000);
    platform::AlertView::visibleAlerts().last()->dismissWithClickedButtonIndex(1);
    QTRY_COMPARE_WITH_TIMEOUT(m_root.currentViewId(), 1, 2000);
    EXPECT_TRUE(m_root.isViewChangedByBackButton());
    EXPECT_NE(m_root.getAppData()->m_width, 400) << "a new, empty document";
}

TEST_F(EffectViewTest, AnEmptyDocumentOpensWithoutAPreviewOrACrash)
{
    m_root.selectWorkView(1, true); // a fresh document, no photo
    m_root.finishTransition();
    m_root.selectWorkView(5, false);
    m_root.finishTransition();
    auto* view = dynamic_cast<EffectView*>(m_root.currentWorkView());
    ASSERT_NE(view, nullptr);
    QTRY_COMPARE_WITH_TIMEOUT(AsyncTask::runningTaskCount(), 0, kTimeoutMs);
    EXPECT_EQ(view->previewRuns(), 0);
}
