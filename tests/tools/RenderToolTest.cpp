// nimbalight-render, run as a user runs it.
#include "Effector/Effector.h"
#include "Effector/Fading.h"
#include "Effector/FinishingStages.h"
#include "app/AppData.h"
#include "app/PhotoIntake.h"
#include "platform/DocumentsFolder.h"
#include "tests/support/Fixtures.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QProcess>
#include <QTemporaryDir>

namespace {

struct ToolRun {
    int status = -1;
    QString err;
};

ToolRun render(const QStringList& arguments, const QString& workingDirectory = QString())
{
    QProcess process;
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.start(QStringLiteral(NIMBALIGHT_RENDER_TOOL), arguments);
    process.waitForFinished(120000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardError())};
}

QImage photoPixels(int w, int h)
{
    cv::Mat bgra = fixtures::randomImage(w, h, 5);
    cv::GaussianBlur(bgra, bgra, cv::Size(7, 7), 0);
    return QImage(bgra.data, w, h, int(bgra.step[0]), QImage::Format_ARGB32).copy();
}

QImage depthPixels(int w, int h)
{
    const cv::Mat depth = fixtures::blockDepth(w, h, 8);
    return QImage(depth.data, w, h, int(depth.step[0]), QImage::Format_Grayscale8).copy();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray encode(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(100);
    writer.write(image);
    return bytes;
}

} // namespace

class RenderToolTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_photo = m_dir.filePath(QStringLiteral("photo.png"));
        m_depth = m_dir.filePath(QStringLiteral("depth.png"));
        ASSERT_TRUE(photoPixels(640, 480).save(m_photo));
        ASSERT_TRUE(depthPixels(800, 600).save(m_depth));
    }
    QString path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir m_dir;
    QString m_photo, m_depth;
};

TEST_F(RenderToolTest, PreviewMatchesThePipelineOfTheApplication)
{
    const QString out = path("preview.png");
    const ToolRun run = render({QStringLiteral("--preview"), QStringLiteral("--quiet"), QStringLiteral("--depth"), m_depth,
                            QStringLiteral("--bokeh"), QStringLiteral("--sides"), QStringLiteral("6"),
                            QStringLiteral("--strength"), QStringLiteral("0.02"), QStringLiteral("--focus"),
                            QStringLiteral("85"), QStringLiteral("--fading"), QStringLiteral("natural"),
                            QStringLiteral("--filter"), QStringLiteral("SEPIA_1"), QStringLiteral("--vignette"),
                            QStringLiteral("--color-mask"), m_photo, out});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << "--quiet printed: " << run.err.toStdString();

    // The same document, built and rendered in this process.
    QTemporaryDir documents;
    platform::setDocumentsFolder(documents.path());
    AppData doc;
    ASSERT_TRUE(loadPhotoIntoDocument(doc, platform::Image::fromFile(m_photo), platform::Image(), QUrl()));
    const QImage depthImage(m_depth);
    const cv::Mat depthView(depthImage.height(), depthImage.width(), CV_8UC1, const_cast<uchar*>(depthImage.bits()),
                            size_t(depthImage.bytesPerLine()));
    depthView.copyTo(*doc.m_pDepthMap);
    doc.m_bokehThreshold = 200;
    doc.m_sidesOrAngle = 6;
    doc.m_blurStrength = 0.02f;
    doc.m_focusDepth = 85;
    doc.m_filter = 7;
    doc.m_vignette = 108;
    doc.m_colorMask = true;
    setFadingMode(doc, kNaturalFading, 0, 0);
    cv::Mat depth = doc.m_pDepthMap->clone();
    prepareDepth(doc, depth);
    cv::Mat expected;
    applyEffect(expected, doc, depth, 85, doc.m_width, doc.m_height, false);
    applyStickerAndFilter(doc, expected, depth);
    applyVignetteAndColorMask(doc, expected, depth);
    platform::setDocumentsFolder(QString());

    const QImage written = QImage(out).convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(written.size(), QSize(400, 300));
    const cv::Mat got(written.height(), written.width(), CV_8UC4, const_cast<uchar*>(written.bits()),
                      size_t(written.bytesPerLine()));
    EXPECT_EQ(fixtures::firstDifference(got, expected), "");
}

TEST_F(RenderToolTest, OutputSizeFollowsTheOptions)
{
    // A portrait camera photo: stored 640 x 480 with EXIF orientation 6.
    const QByteArray jpeg = encode(photoPixels(640, 480), "jpeg");
    const char app1[] = {'\xff', '\xe1', 0, 34, 'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0,
                         0x12, 0x01, 3, 0, 1, 0, 0, 0, 6, 0, 0, 0, 0, 0, 0, 0};
    const QString portrait = path("portrait.jpg");
    writeFile(portrait, jpeg.left(2) + QByteArray(app1, sizeof app1) + jpeg.mid(2));

    struct Case {
        QString photo;
        QStringList options;
        QSize expected;
    } cases[] = {
        {m_photo, {}, {640, 480}},
        {m_photo, {QStringLiteral("--size"), QStringLiteral("300")}, {300, 225}},
        {m_photo, {QStringLiteral("--width"), QStringLiteral("120"), QStringLiteral("--height"), QStringLiteral("50")},
         {120, 50}},
        {m_photo, {QStringLiteral("--preview")}, {400, 300}},
        {m_photo, {QStringLiteral("--size"), QStringLiteral("1")}, {1, 1}},
        {portrait, {}, {480, 640}},
        {portrait, {QStringLiteral("--size"), QStringLiteral("320")}, {240, 320}},
    };
    for (const Case& c : cases) {
        const QString out = path("sized.jpg");
        const ToolRun run = render(QStringList(c.options) << QStringLiteral("--quiet") << c.photo << out);
        ASSERT_EQ(run.status, 0) << run.err.toStdString();
        EXPECT_EQ(QImage(out).size(), c.expected) << c.options.join(' ').toStdString();
    }
}

TEST_F(RenderToolTest, ShowsProgressOnStandardError)
{
    const ToolRun run = render({QStringLiteral("--size"), QStringLiteral("200"), m_photo, path("progress.png")});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("Preparing"))) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("Saving"))) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("100%"))) << run.err.toStdString();
}

TEST_F(RenderToolTest, BadInputIsRefusedWithOneLineAndNoOutput)
{
    const QString truncated = path("truncated.jpg");
    const QByteArray jpeg = encode(photoPixels(640, 480), "jpeg");
    writeFile(truncated, jpeg.left(jpeg.size() / 2));
    const QString garbage = path("garbage.png");
    writeFile(garbage, "not a picture");
    const QString squareDepth = path("square-depth.png");
    ASSERT_TRUE(depthPixels(600, 600).save(squareDepth));
    const QString colourDepth = path("colour-depth.png");
    ASSERT_TRUE(photoPixels(800, 600).save(colourDepth));
    const QString narrow = path("narrow.png");
    ASSERT_TRUE(photoPixels(1, 1000).save(narrow));
    const QString out = path("out.png");

    struct Case {
        QStringList arguments;
        int status;
        const char* mentions;
    } cases[] = {
        {{path("missing.jpg"), out}, 1, "missing.jpg"},
        {{truncated, out}, 1, "truncated"},
        {{garbage, out}, 1, "garbage.png"},
        {{narrow, out}, 1, "too narrow"},
        {{QStringLiteral("--depth"), path("no-depth.png"), m_photo, out}, 1, "no-depth.png"},
        {{QStringLiteral("--depth"), garbage, m_photo, out}, 1, "garbage.png"},
        {{QStringLiteral("--depth"), squareDepth, m_photo, out}, 1, "proportions"},
        {{QStringLiteral("--depth"), colourDepth, m_photo, out}, 1, "grey"},
        {{m_photo, m_dir.filePath(QStringLiteral("no/such/folder/out.png"))}, 1, "cannot write"},
        {{QStringLiteral("--frobnicate"), m_photo, out}, 2, "--frobnicate"},
        {{QStringLiteral("--strength"), QStringLiteral("1"), m_photo, out}, 2, "--strength"},
        {{QStringLiteral("--focus"), QStringLiteral("256"), m_photo, out}, 2, "--focus"},
        {{QStringLiteral("--sides"), QStringLiteral("3"), m_photo, out}, 2, "--sides"},
        {{QStringLiteral("--angle"), QStringLiteral("30"), m_photo, out}, 2, "--angle"},
        {{QStringLiteral("--blur"), QStringLiteral("radial"), m_photo, out}, 2, "--blur"},
        {{QStringLiteral("--filter"), QStringLiteral("SEPIA_9"), m_photo, out}, 2, "SEPIA_9"},
        {{QStringLiteral("--filter"), QStringLiteral("3"), m_photo, out}, 2, "filter"},
        {{QStringLiteral("--fading"), QStringLiteral("manual"), m_photo, out}, 2, "--fading-top"},
        {{QStringLiteral("--width"), QStringLiteral("100"), m_photo, out}, 2, "--height"},
        {{QStringLiteral("--preview"), QStringLiteral("--size"), QStringLiteral("100"), m_photo, out}, 2, "--preview"},
        {{QStringLiteral("--depth")}, 2, "--depth"},
        {{m_photo}, 2, "OUTPUT"},
        {{m_photo, path("out.tiff")}, 2, "out.tiff"},
    };
    for (const Case& c : cases) {
        const ToolRun run = render(c.arguments);
        const std::string args = c.arguments.join(' ').toStdString();
        EXPECT_EQ(run.status, c.status) << args << "\n" << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QString::fromLatin1(c.mentions))) << args << "\n" << run.err.toStdString();
        EXPECT_TRUE(run.err.startsWith(QStringLiteral("nimbalight-render: "))) << run.err.toStdString();
        EXPECT_LE(run.err.trimmed().count(QLatin1Char('\n')), c.status == 2 ? 1 : 0) << run.err.toStdString();
        EXPECT_FALSE(QFile::exists(out)) << args;
    }
    // Nothing half-written was left beside the outputs either.
    const QStringList left = QDir(m_dir.path()).entryList(QDir::Files);
    for (const QString& name : left)
        EXPECT_FALSE(name.startsWith(QStringLiteral("out"))) << name.toStdString();
}

TEST_F(RenderToolTest, AFailedRenderKeepsAnOlderOutput)
{
    const QString out = path("kept.png");
    writeFile(out, "older result");
    const ToolRun run = render({path("missing.jpg"), out});
    EXPECT_EQ(run.status, 1);
    QFile file(out);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("older result"));
}

TEST_F(RenderToolTest, WithoutArgumentsRendersTheBundledSample)
{
    const ToolRun run = render({}, m_dir.path());
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QImage sample(path("nimbalight-sample.jpg"));
    EXPECT_EQ(sample.size(), QSize(2048, 1536));
    EXPECT_TRUE(render({QStringLiteral("--help")}).err.isEmpty());
}
