#include "platform/PhotoAlbum.h"

#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {
platform::Image picture(int w, int h, int orientation = 1)
{
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(qRgb(20, 200, 40));
    image.setPixel(0, 0, qRgb(255, 0, 0));
    return platform::Image(image, orientation);
}
const QString kKey = QString::fromLatin1(platform::kPhotoAlbumFolderKey);
} // namespace

class PhotoAlbumTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        platform::UserDefaults::setStoragePath(m_dir.filePath(QStringLiteral("defaults.ini")));
        platform::UserDefaults::setObject(kKey, m_dir.filePath(QStringLiteral("album")));
    }
    void TearDown() override { platform::UserDefaults::setStoragePath(QString()); }
    QTemporaryDir m_dir;
};

TEST_F(PhotoAlbumTest, TheDefaultFolderIsNimbalightInThePicturesFolder)
{
    platform::UserDefaults::removeObjectForKey(kKey);
    EXPECT_EQ(platform::photoAlbumFolder(),
              QStandardPaths::writableLocation(QStandardPaths::PicturesLocation) + QStringLiteral("/Nimbalight"));
}

TEST_F(PhotoAlbumTest, EveryWriteMakesANewUprightJpegInAFolderMadeOnTheFirstWrite)
{
    const QString folder = m_dir.filePath(QStringLiteral("album"));
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_TRUE(platform::savedPhotos().isEmpty());
    QString error;
    const QString first = platform::writeImageToSavedPhotosAlbum(picture(30, 20, 6), &error);
    ASSERT_FALSE(first.isEmpty()) << error.toStdString();
    const QString second = platform::writeImageToSavedPhotosAlbum(picture(30, 20), &error);
    ASSERT_FALSE(second.isEmpty());
    EXPECT_NE(first, second);
    EXPECT_TRUE(first.startsWith(folder + QLatin1Char('/')));
    EXPECT_EQ(platform::savedPhotos(), (QStringList{first, second}));
    const QImage written(first);
    EXPECT_EQ(written.size(), QSize(20, 30)) << "turned upright";
}

TEST_F(PhotoAlbumTest, FailuresAreReportedAndWriteNothing)
{
    QString error;
    EXPECT_TRUE(platform::writeImageToSavedPhotosAlbum(platform::Image(), &error).isEmpty());
    EXPECT_FALSE(error.isEmpty());
    platform::UserDefaults::setObject(kKey, QStringLiteral("/proc/no-album-here"));
    error.clear();
    EXPECT_TRUE(platform::writeImageToSavedPhotosAlbum(picture(4, 4), &error).isEmpty());
    EXPECT_FALSE(error.isEmpty());
}
