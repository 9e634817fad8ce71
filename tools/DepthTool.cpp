#include "tools/DepthTool.h"

#include "app/AppData.h"
#include "app/ImageHelpers.h"
#include "app/PhotoIntake.h"
#include "platform/DocumentsFolder.h"
#include "platform/Image.h"
#include "platform/StringTable.h"
#include "platform/TerminalProgressDisplay.h"
#include "stereo/Detector.h"
#include "stereo/StereoMatcherGC.h"

#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QSaveFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>

namespace {

constexpr int kShiftLimit = 100000;
constexpr int kMinThumbWidth = 8, kMaxThumbWidth = 1000;

bool parseInt(const QString& text, int low, int high, int& value)
{
    bool ok = false;
    value = text.toInt(&ok);
    return ok && value >= low && value <= high;
}

bool isPng(const QString& path)
{
    return QFileInfo(path).suffix().toLower() == QLatin1String("png");
}

int failure(const QString& message)
{
    std::fprintf(stderr, "nimbalight-depth: %s\n", message.toLocal8Bit().constData());
    return 1;
}

// The thumbnail height a photo gets at width thumbWidth, as scaling keeps
// the proportions (truncated).
int thumbHeightFor(const QSize& size, int thumbWidth)
{
    return size.width() > 0 ? int(int64_t(thumbWidth) * size.height() / size.width()) : 0;
}

bool writePng(QSaveFile& file, const QImage& image, QString& error)
{
    QImageWriter writer(&file, "png");
    if (!writer.write(image)) {
        error = writer.errorString();
        return false;
    }
    return true;
}

// The raw left map for people: the disparity magnitude (0 to 24), 65535
// where the pixel has no match.
QImage disparityImage(const cv::Mat& left)
{
    QImage image(left.cols, left.rows, QImage::Format_Grayscale16);
    for (int y = 0; y < left.rows; ++y) {
        const int16_t* in = left.ptr<int16_t>(y);
        auto* out = reinterpret_cast<quint16*>(image.scanLine(y));
        for (int x = 0; x < left.cols; ++x)
            out[x] = in[x] == kStereoOccluded ? quint16(65535) : quint16(-in[x]);
    }
    return image;
}

} // namespace

QString depthUsage()
{
    return QStringLiteral(
               "Usage: nimbalight-depth [options] LEFT RIGHT OUTPUT\n"
               "Matches a stereo pair into a depth map as the application does after the pair is aligned:\n"
               "both shots become thumbnails %1 pixels wide, the right one is shifted by the alignment,\n"
               "and the graph-cut matching (25 disparities, one pass) gives nearer things brighter values.\n"
               "\n"
               "  LEFT, RIGHT           the two shots (any format Qt reads; EXIF orientation applied);\n"
               "                        in the right shot the scene lies further left\n"
               "  OUTPUT                .png: the 8-bit grey depth map (255 near, 0 far), at the depth-map\n"
               "                        size the application gives LEFT (twice the 400-pixel working width)\n"
               "  --dx N, --dy N        shift the right shot by N thumbnail pixels (right, down; default 0)\n"
               "  --disparity FILE      also write the matcher's left disparity map as a 16-bit grey .png:\n"
               "                        the disparity in thumbnail pixels (0 to 24), 65535 where unmatched\n"
               "  --thumb-width N       thumbnail width, %2 to %3 (default 250)\n"
               "  --quiet               no progress bar\n"
               "  --help                this text\n"
               "\n"
               "Exit status: 0 done, 1 an input or output failure, 2 a usage error.\n")
        .arg(250)
        .arg(kMinThumbWidth)
        .arg(kMaxThumbWidth);
}

ParsedDepthArguments parseDepthArguments(const QStringList& arguments)
{
    ParsedDepthArguments parsed;
    DepthOptions& o = parsed.options;
    auto usage = [&parsed](const QString& message) {
        parsed.outcome = ParsedDepthArguments::Outcome::UsageError;
        parsed.error = message;
        return parsed;
    };

    QStringList positional;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == QLatin1String("--")) {
            positional += arguments.mid(i + 1);
            break;
        }
        if (!arg.startsWith(QLatin1String("--"))) {
            positional << arg;
            continue;
        }
        QString name = arg, value;
        bool inlineValue = false;
        const int eq = arg.indexOf(QLatin1Char('='));
        if (eq > 0) {
            name = arg.left(eq);
            value = arg.mid(eq + 1);
            inlineValue = true;
        }
        static const QStringList flags = {"--quiet", "--help"};
        static const QStringList valued = {"--dx", "--dy", "--disparity", "--thumb-width"};
        if (flags.contains(name)) {
            if (inlineValue)
                return usage(QStringLiteral("option %1 takes no value").arg(name));
        } else if (valued.contains(name)) {
            if (!inlineValue) {
                if (i + 1 >= arguments.size())
                    return usage(QStringLiteral("option %1 needs a value").arg(name));
                value = arguments[++i];
            }
        } else {
            return usage(QStringLiteral("unknown option %1").arg(name));
        }

        if (name == QLatin1String("--help")) {
            parsed.outcome = ParsedDepthArguments::Outcome::Help;
            return parsed;
        } else if (name == QLatin1String("--quiet")) {
            o.quiet = true;
        } else if (name == QLatin1String("--dx") || name == QLatin1String("--dy")) {
            int n = 0;
            if (!parseInt(value, -kShiftLimit, kShiftLimit, n))
                return usage(QStringLiteral("%1 must be a whole number from %2 to %3, not '%4'")
                                 .arg(name)
                                 .arg(-kShiftLimit)
                                 .arg(kShiftLimit)
                                 .arg(value));
            (name == QLatin1String("--dx") ? o.dx : o.dy) = n;
        } else if (name == QLatin1String("--thumb-width")) {
            if (!parseInt(value, kMinThumbWidth, kMaxThumbWidth, o.thumbWidth))
                return usage(QStringLiteral("--thumb-width must be a whole number from %1 to %2, not '%3'")
                                 .arg(kMinThumbWidth)
                                 .arg(kMaxThumbWidth)
                                 .arg(value));
        } else if (name == QLatin1String("--disparity")) {
            if (!isPng(value))
                return usage(QStringLiteral("--disparity must name a .png file, not '%1'").arg(value));
            o.disparity = value;
        }
    }

    if (positional.size() != 3)
        return usage(positional.size() < 3 ? QStringLiteral("LEFT, RIGHT and OUTPUT are required")
                                           : QStringLiteral("too many arguments"));
    o.left = positional[0];
    o.right = positional[1];
    o.output = positional[2];
    if (!isPng(o.output))
        return usage(QStringLiteral("OUTPUT must end in .png: '%1'").arg(o.output));
    if (!o.disparity.isEmpty() && QFileInfo(o.disparity).absoluteFilePath() == QFileInfo(o.output).absoluteFilePath())
        return usage(QStringLiteral("--disparity and OUTPUT must be different files"));
    return parsed;
}

int runDepth(const DepthOptions& o)
{
    QString error;
    const platform::Image left = platform::Image::fromFile(o.left, &error);
    if (left.isNull())
        return failure(QStringLiteral("cannot read the left shot '%1': %2").arg(o.left, error));
    const platform::Image right = platform::Image::fromFile(o.right, &error);
    if (right.isNull())
        return failure(QStringLiteral("cannot read the right shot '%1': %2").arg(o.right, error));

    // The left thumbnail is made from the working image, as intake does.
    const QSize working = fitLongestSide(400, left.width(), left.height());
    const struct {
        const QString& path;
        QSize size;
        QSize thumbnailOf;
    } shots[] = {{o.left, left.size(), working}, {o.right, right.size(), right.size()}};
    for (const auto& shot : shots) {
        if (working.width() < 1 || working.height() < 1 || thumbHeightFor(shot.thumbnailOf, o.thumbWidth) < 1)
            return failure(QStringLiteral("the shot '%1' is %2 x %3, too narrow for thumbnails %4 pixels wide")
                               .arg(shot.path)
                               .arg(shot.size.width())
                               .arg(shot.size.height())
                               .arg(o.thumbWidth));
    }

    // The document lives in a private documents folder, so that the app's
    // own "org.jpg" is left alone.
    QTemporaryDir documents;
    if (!documents.isValid())
        return failure(QStringLiteral("cannot make a temporary folder: %1").arg(documents.errorString()));
    platform::setDocumentsFolder(documents.path());
    AppData doc;
    if (!loadPhotoIntoDocument(doc, left, right, QUrl(), &error))
        return failure(QStringLiteral("cannot keep the full-size photo: %1").arg(error));
    if (o.thumbWidth != doc.m_thumbWidth) {
        doc.m_leftThumb = scaleImage(doc.m_image, o.thumbWidth);
        doc.m_thumbWidth = doc.m_leftThumb.width();
        doc.m_thumbHeight = doc.m_leftThumb.height();
        doc.m_rightThumb = scaleImage(uprightImage(right), o.thumbWidth);
    }
    doc.m_rightTransform.tx = float(o.dx);
    doc.m_rightTransform.ty = float(o.dy);

    // Written beside the outputs and renamed over them at the end, so that
    // a failed run leaves no partial file and keeps an older one. Opening
    // them first refuses an unwritable output before any work is done.
    QSaveFile depthFile(o.output);
    if (!depthFile.open(QIODevice::WriteOnly))
        return failure(QStringLiteral("cannot write '%1': %2").arg(o.output, depthFile.errorString()));
    std::unique_ptr<QSaveFile> disparityFile;
    if (!o.disparity.isEmpty()) {
        disparityFile = std::make_unique<QSaveFile>(o.disparity);
        if (!disparityFile->open(QIODevice::WriteOnly))
            return failure(QStringLiteral("cannot write '%1': %2").arg(o.disparity, disparityFile->errorString()));
    }

    std::FILE* progressStream = o.quiet ? std::fopen("/dev/null", "w") : stderr;
    if (!progressStream)
        progressStream = stderr;
    cv::Mat raw;
    bool matched = true;
    QString matchError;
    {
        platform::TerminalProgressDisplay hud(progressStream);
        hud.setLabelText(platform::localizedString(QStringLiteral("ANALYZING")));
        hud.setMode(platform::ProgressDisplay::Mode::Determinate);
        StereoDetectionOptions options;
        options.progress = [&hud](float share) { hud.setProgress(share); };
        options.leftDisparity = &raw;
        try {
            runStereoDetection(doc, options);
        } catch (const std::exception& e) {
            // The engine asserts on inputs it was never meant to get.
            matched = false;
            matchError = QString::fromLocal8Bit(e.what()).trimmed();
        }
        if (matched) {
            hud.setLabelText(platform::localizedString(QStringLiteral("SAVING")));
            hud.setProgress(1.0f);
        }
    }
    if (progressStream != stderr)
        std::fclose(progressStream);
    if (!matched) {
        depthFile.cancelWriting();
        if (disparityFile)
            disparityFile->cancelWriting();
        return failure(QStringLiteral("the matching failed: %1").arg(matchError));
    }

    const cv::Mat& depth = *doc.m_pDepthMap;
    const QImage depthImage(depth.data, depth.cols, depth.rows, int(depth.step[0]), QImage::Format_Grayscale8);
    QString writeError;
    if (!writePng(depthFile, depthImage, writeError)) {
        depthFile.cancelWriting();
        if (disparityFile)
            disparityFile->cancelWriting();
        return failure(QStringLiteral("cannot write '%1': %2").arg(o.output, writeError));
    }
    if (disparityFile && !writePng(*disparityFile, disparityImage(raw), writeError)) {
        depthFile.cancelWriting();
        disparityFile->cancelWriting();
        return failure(QStringLiteral("cannot write '%1': %2").arg(o.disparity, writeError));
    }
    releaseStereoDetection(doc);
    if (disparityFile && !disparityFile->commit()) {
        depthFile.cancelWriting();
        return failure(QStringLiteral("cannot write '%1': %2").arg(o.disparity, disparityFile->errorString()));
    }
    if (!depthFile.commit())
        return failure(QStringLiteral("cannot write '%1': %2").arg(o.output, depthFile.errorString()));
    return 0;
}
