#include "app/PhotoIntake.h"

#include "app/AppData.h"
#include "app/ImageHelpers.h"
#include "platform/DocumentsFolder.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {
platform::Image photo(int w, int h, int orientation = 1)
{
    QImage pixels(w, h, QImage::Format_RGB32);
    pixels.fill(qRgb(90, 120, 150));
    return platform::Image(pixels, orientation);
}
} // namespace

class PhotoIntakeTest : public ::testing::Test {
protected:
    void SetUp() override { platform::setDocumentsFolder(m_dir.path()); }
    void TearDown() override { platform::setDocumentsFolder(QString()); }
    QTemporaryDir m_dir;
};

TEST_F(PhotoIntakeTest, FillsTheDocumentAtItsSizes)
{
    struct Case {
        int w, h, orientation;
        QSize org, working;
        cv::Size depth;
    } cases[] = {
        {3264, 2448, 1, {3264, 2448}, {400, 300}, {800, 600}},
        {3264, 2448, 6, {2448, 3264}, {300, 400}, {600, 800}}, // a portrait camera photo
        {1000, 334, 1, {1000, 334}, {400, 133}, {800, 267}},
    };
    for (const Case& c : cases) {
        AppData doc;
        doc.m_bokehThreshold = 200;
        const QUrl album = QUrl::fromLocalFile(QStringLiteral("/pictures/a.jpg"));
        ASSERT_TRUE(loadPhotoIntoDocument(doc, photo(c.w, c.h, c.orientation), platform::Image(), album));
        EXPECT_EQ(QSize(doc.m_orgWidth, doc.m_orgHeight), c.org);
        EXPECT_EQ(QSize(doc.m_width, doc.m_height), c.working);
        EXPECT_EQ(doc.m_image.size(), c.working);
        ASSERT_NE(doc.m_pBitmap, nullptr);
        EXPECT_EQ(QSize(doc.m_pBitmap->width, doc.m_pBitmap->height), c.working);
        ASSERT_NE(doc.m_pDepthMap, nullptr);
        EXPECT_EQ(doc.m_pDepthMap->size(), c.depth);
        EXPECT_EQ(doc.m_pDepthMap->type(), CV_8UC1);
        EXPECT_EQ(cv::countNonZero(*doc.m_pDepthMap), 0);
        EXPECT_EQ(doc.m_depthSizedImage.size(), QSize(c.depth.width, c.depth.height));
        EXPECT_EQ(doc.m_bokehThreshold, -1);
        EXPECT_EQ(doc.m_assetURL, album);
        EXPECT_TRUE(doc.m_leftThumb.isNull());
        const platform::Image stored = loadFromDocuments(QStringLiteral("org.jpg"));
        EXPECT_EQ(stored.size(), c.org);
        EXPECT_TRUE(stored.isUpright());
    }
}

TEST_F(PhotoIntakeTest, AStereoPairGetsThumbnailsAtWidth250)
{
    AppData doc;
    ASSERT_TRUE(loadPhotoIntoDocument(doc, photo(1600, 1200), photo(1600, 1200), QUrl()));
    EXPECT_EQ(doc.m_leftThumb.size(), QSize(250, 187));
    EXPECT_EQ(doc.m_rightThumb.size(), QSize(250, 187));
    EXPECT_EQ(doc.m_thumbWidth, 250);
    EXPECT_EQ(doc.m_thumbHeight, 187);
    EXPECT_TRUE(doc.m_assetURL.isEmpty());
}

TEST_F(PhotoIntakeTest, AnUnwritableDocumentsFolderLeavesTheDocumentAlone)
{
    platform::setDocumentsFolder(QStringLiteral("/proc/no-such-place"));
    AppData doc;
    QString error;
    EXPECT_FALSE(loadPhotoIntoDocument(doc, photo(800, 600), platform::Image(), QUrl(), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(doc.m_pDepthMap, nullptr);
    EXPECT_EQ(doc.m_width, 0);
}
