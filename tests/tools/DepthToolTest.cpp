// nimbalight-depth, run as a user runs it.
#include "app/AppData.h"
#include "app/PhotoIntake.h"
#include "platform/DocumentsFolder.h"
#include "platform/Image.h"
#include "stereo/Detector.h"
#include "stereo/StereoMatcherGC.h"
#include "tests/support/Fixtures.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <map>

namespace {

struct ToolRun {
    int status = -1;
    QString out, err;
};

ToolRun depthTool(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral(NIMBALIGHT_DEPTH_TOOL), arguments);
    process.waitForFinished(120000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

// A 1000 x 750 colour scene seen twice: in the right shot everything lies
// 40 pixels (10 thumbnail pixels) further left.
void writePair(const QString& leftPath, const QString& rightPath, int shift = 40)
{
    cv::Mat scene(750, 1000 + shift, CV_8UC4);
    cv::RNG rng(31);
    rng.fill(scene, cv::RNG::UNIFORM, 0, 256);
    cv::GaussianBlur(scene, scene, cv::Size(0, 0), 4.0);
    std::vector<cv::Mat> channels;
    cv::split(scene, channels);
    for (cv::Mat& c : channels)
        cv::normalize(c, c, 0, 255, cv::NORM_MINMAX);
    channels[3].setTo(255);
    cv::merge(channels, scene);
    auto save = [](const cv::Mat& bgra, const QString& path) {
        const cv::Mat copy = bgra.clone();
        ASSERT_TRUE(QImage(copy.data, copy.cols, copy.rows, int(copy.step[0]), QImage::Format_ARGB32).save(path));
    };
    save(scene(cv::Rect(0, 0, 1000, 750)), leftPath);
    save(scene(cv::Rect(shift, 0, 1000, 750)), rightPath);
}

// The disparity map's most common value.
int commonest(const QImage& disparity)
{
    std::map<int, int> counts;
    for (int y = 0; y < disparity.height(); ++y) {
        const auto* row = reinterpret_cast<const quint16*>(disparity.constScanLine(y));
        for (int x = 0; x < disparity.width(); ++x)
            ++counts[row[x]];
    }
    return std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) { return a.second < b.second; })->first;
}

cv::Mat view(const QImage& gray)
{
    return cv::Mat(gray.height(), gray.width(), CV_8UC1, const_cast<uchar*>(gray.constBits()),
                   size_t(gray.bytesPerLine()));
}

} // namespace

class DepthToolTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_left = path("left.png");
        m_right = path("right.png");
        writePair(m_left, m_right);
    }
    QString path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir m_dir;
    QString m_left, m_right;
};

TEST_F(DepthToolTest, MatchesAsTheApplicationDoes)
{
    const QString out = path("depth.png"), raw = path("disparity.png");
    const ToolRun run = depthTool({QStringLiteral("--quiet"), QStringLiteral("--dx"), QStringLiteral("3"),
                                   QStringLiteral("--disparity"), raw, m_left, m_right, out});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << "--quiet printed: " << run.err.toStdString();

    // The same document, aligned and detected in this process.
    QTemporaryDir documents;
    platform::setDocumentsFolder(documents.path());
    AppData doc;
    ASSERT_TRUE(loadPhotoIntoDocument(doc, platform::Image::fromFile(m_left), platform::Image::fromFile(m_right),
                                      QUrl()));
    platform::setDocumentsFolder(QString());
    doc.m_rightTransform.tx = 3;
    cv::Mat expectedRaw;
    StereoDetectionOptions options;
    options.leftDisparity = &expectedRaw;
    runStereoDetection(doc, options);

    const QImage depth(out);
    ASSERT_EQ(depth.format(), QImage::Format_Grayscale8);
    ASSERT_EQ(depth.size(), QSize(800, 600));
    EXPECT_EQ(fixtures::firstDifference(view(depth), *doc.m_pDepthMap), "");

    const QImage disparity(raw);
    ASSERT_EQ(disparity.format(), QImage::Format_Grayscale16);
    ASSERT_EQ(disparity.size(), QSize(250, 187));
    for (int y = 0; y < disparity.height(); ++y) {
        const auto* row = reinterpret_cast<const quint16*>(disparity.constScanLine(y));
        for (int x = 0; x < disparity.width(); ++x) {
            const int d = expectedRaw.at<int16_t>(y, x);
            ASSERT_EQ(row[x], d == kStereoOccluded ? 65535 : -d) << "(" << x << ", " << y << ")";
        }
    }
    EXPECT_EQ(commonest(disparity), 7);  // 10 pixels apart, 3 of them aligned
}

TEST_F(DepthToolTest, AlignmentAndThumbnailWidthChangeWhatIsMatched)
{
    struct Case {
        QStringList options;
        QSize disparitySize;
        int commonest;
    } cases[] = {
        {{}, {250, 187}, 10},
        {{QStringLiteral("--dx"), QStringLiteral("10")}, {250, 187}, 0},
        {{QStringLiteral("--dx=-4")}, {250, 187}, 14},
        {{QStringLiteral("--dx"), QStringLiteral("4"), QStringLiteral("--dy"), QStringLiteral("0")}, {250, 187}, 6},
        {{QStringLiteral("--thumb-width"), QStringLiteral("125")}, {125, 93}, 5},
    };
    for (const Case& c : cases) {
        const QString out = path("depth.png"), raw = path("disparity.png");
        const ToolRun run =
            depthTool(QStringList(c.options) << QStringLiteral("--quiet") << QStringLiteral("--disparity") << raw
                                             << m_left << m_right << out);
        const std::string what = c.options.join(' ').toStdString();
        ASSERT_EQ(run.status, 0) << what << "\n" << run.err.toStdString();
        const QImage disparity(raw);
        EXPECT_EQ(disparity.size(), c.disparitySize) << what;
        EXPECT_EQ(commonest(disparity), c.commonest) << what;
        EXPECT_EQ(QImage(out).size(), QSize(800, 600)) << what;
    }
}

TEST_F(DepthToolTest, ShowsProgressOnStandardError)
{
    const ToolRun run = depthTool({m_left, m_right, path("depth.png")});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("Analyzing"))) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("100%"))) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty());

    const ToolRun help = depthTool({QStringLiteral("--help")});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.startsWith(QStringLiteral("Usage: nimbalight-depth"))) << help.out.toStdString();
    EXPECT_TRUE(help.err.isEmpty());
}

TEST_F(DepthToolTest, BadInputIsRefusedWithOneLineAndNoOutput)
{
    const QString garbage = path("garbage.png");
    {
        QFile file(garbage);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not a picture");
    }
    const QString narrow = path("narrow.png");
    ASSERT_TRUE(QImage(2000, 2, QImage::Format_ARGB32).save(narrow));
    const QString out = path("out.png"), raw = path("out-disparity.png");
    const QString noFolder = m_dir.filePath(QStringLiteral("no/such/folder/out.png"));

    struct Case {
        QStringList arguments;
        int status;
        const char* mentions;
    } cases[] = {
        {{path("missing.jpg"), m_right, out}, 1, "missing.jpg"},
        {{m_left, path("missing.jpg"), out}, 1, "missing.jpg"},
        {{m_left, garbage, out}, 1, "garbage.png"},
        {{narrow, m_right, out}, 1, "too narrow"},
        {{m_left, narrow, out}, 1, "too narrow"},
        {{m_left, m_right, noFolder}, 1, "cannot write"},
        {{QStringLiteral("--disparity"), noFolder, m_left, m_right, out}, 1, "cannot write"},
        {{QStringLiteral("--frobnicate"), m_left, m_right, out}, 2, "--frobnicate"},
        {{QStringLiteral("--dx"), QStringLiteral("1.5"), m_left, m_right, out}, 2, "--dx"},
        {{QStringLiteral("--dy"), QStringLiteral("down"), m_left, m_right, out}, 2, "--dy"},
        {{QStringLiteral("--thumb-width"), QStringLiteral("0"), m_left, m_right, out}, 2, "--thumb-width"},
        {{QStringLiteral("--quiet=yes"), m_left, m_right, out}, 2, "--quiet"},
        {{QStringLiteral("--disparity"), path("out.tif"), m_left, m_right, out}, 2, "out.tif"},
        {{QStringLiteral("--disparity"), out, m_left, m_right, out}, 2, "different"},
        {{m_left, m_right, path("out.jpg")}, 2, "out.jpg"},
        {{m_left, m_right}, 2, "OUTPUT"},
        {{m_left, m_right, out, raw}, 2, "too many"},
        {{QStringLiteral("--dx")}, 2, "--dx"},
    };
    for (const Case& c : cases) {
        const ToolRun run = depthTool(QStringList(c.arguments) << QStringLiteral("--quiet"));
        const std::string args = c.arguments.join(' ').toStdString();
        EXPECT_EQ(run.status, c.status) << args << "\n" << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QString::fromLatin1(c.mentions))) << args << "\n" << run.err.toStdString();
        EXPECT_TRUE(run.err.startsWith(QStringLiteral("nimbalight-depth: "))) << run.err.toStdString();
        EXPECT_LE(run.err.trimmed().count(QLatin1Char('\n')), c.status == 2 ? 1 : 0) << run.err.toStdString();
        EXPECT_FALSE(QFile::exists(out)) << args;
        EXPECT_FALSE(QFile::exists(raw)) << args;
    }
    // Nothing half-written was left beside the outputs either.
    for (const QString& name : QDir(m_dir.path()).entryList(QDir::Files))
        EXPECT_FALSE(name.startsWith(QStringLiteral("out"))) << name.toStdString();
}

TEST_F(DepthToolTest, AFailedRunKeepsOlderOutputs)
{
    const QString out = path("kept.png"), raw = path("kept-disparity.png");
    for (const QString& name : {out, raw}) {
        QFile file(name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("older result");
    }
    const ToolRun run = depthTool({QStringLiteral("--disparity"), raw, m_left, path("missing.png"), out});
    EXPECT_EQ(run.status, 1);
    for (const QString& name : {out, raw}) {
        QFile file(name);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), QByteArray("older result"));
    }
}
