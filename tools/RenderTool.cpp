#include "tools/RenderTool.h"

#include "Effector/ColorFilter.h"
#include "Effector/Effector.h"
#include "Effector/EffectorCallback.h"
#include "Effector/Fading.h"
#include "Effector/FinishingStages.h"
#include "app/AppData.h"
#include "app/ImageHelpers.h"
#include "app/PhotoIntake.h"
#include "platform/DocumentsFolder.h"
#include "platform/Image.h"
#include "platform/ResourceLookup.h"
#include "platform/TerminalProgressDisplay.h"

#include <opencv2/imgproc.hpp>

#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

const char kSampleOutput[] = "nimbalight-sample.jpg";

bool parseInt(const QString& text, int low, int high, int& value)
{
    bool ok = false;
    value = text.toInt(&ok);
    return ok && value >= low && value <= high;
}

bool parseFloat(const QString& text, float low, float high, float& value)
{
    bool ok = false;
    value = text.toFloat(&ok);
    return ok && std::isfinite(value) && value >= low && value <= high;
}

QString outputFormat(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("png"))
        return QStringLiteral("png");
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
        return QStringLiteral("jpeg");
    return QString();
}

int failure(const QString& message)
{
    std::fprintf(stderr, "nimbalight-render: %s\n", message.toLocal8Bit().constData());
    return 1;
}

// The output size of the save command: the longer side becomes S.
void sizeForLongerSide(int s, int orgWidth, int orgHeight, int& width, int& height)
{
    if (orgWidth > orgHeight) {
        width = s;
        height = std::max(1, int(int64_t(s) * orgHeight / orgWidth));
    } else {
        height = s;
        width = std::max(1, int(int64_t(s) * orgWidth / orgHeight));
    }
}

} // namespace

QString renderUsage()
{
    return QStringLiteral(
        "Usage: nimbalight-render [options] INPUT OUTPUT\n"
        "Renders a photo with a shallow depth of field from its depth map.\n"
        "Without any arguments, renders the bundled sample to %1.\n"
        "\n"
        "Input and output:\n"
        "  --depth FILE          8-bit grey depth map (255 near, 85 middle, 0 far) with the\n"
        "                        photo's proportions; without it everything is far\n"
        "  --preview             render the 400-pixel working image (as the effect screen)\n"
        "  --size N              output's longer side in pixels (default: the photo's size)\n"
        "  --width W --height H  explicit output size\n"
        "  OUTPUT                .png (lossless) or .jpg/.jpeg (quality 100)\n"
        "\n"
        "Blur:\n"
        "  --blur lens|motion    blur type (default lens)\n"
        "  --strength F          maximum radius as a fraction of the width, 0 to 0.05 (default 0.01)\n"
        "  --feather F           depth smoothing as a fraction of the map's longer side,\n"
        "                        0 (off) to 0.1 (default 0.008)\n"
        "  --sides N             lens aperture: 0 (disc), 4, 5, 6 or 8 sides (default 0)\n"
        "  --angle DEG           motion direction, 0 to 180 degrees (default 0)\n"
        "  --bokeh               bright highlights take the aperture's shape\n"
        "  --sharpen             sharpen the in-focus area\n"
        "  --focus V             depth value kept sharp, 0 to 255 (default 255)\n"
        "\n"
        "Background fading:\n"
        "  --fading none|natural|manual\n"
        "  --fading-top F        manual top line, fraction of the height (0 to 2)\n"
        "  --fading-focus F      manual focus line, fraction of the height (0 to 2)\n"
        "\n"
        "Finishing:\n"
        "  --filter NAME|ID      colour filter: NO_EFFECT (0), GRAYSCALE_1 (5), GRAYSCALE_2,\n"
        "                        SEPIA_1, SEPIA_2, CROSS_PROCESS_1, CROSS_PROCESS_2, VINTAGE,\n"
        "                        ANTIQUE, EMERALD, COUNTRY, OLIVE, PURPLE, HOLLYWOOD, CHERRY (18)\n"
        "  --vignette            darken towards the corners\n"
        "  --color-mask          drain the colour from what is not at the focus depth\n"
        "  --sticker             the near subject as a sticker on a darkened background\n"
        "\n"
        "  --quiet               no progress bar\n"
        "  --help                this text\n"
        "\n"
        "Exit status: 0 done, 1 an input or output failure, 2 a usage error.\n")
        .arg(QLatin1String(kSampleOutput));
}

ParsedArguments parseRenderArguments(const QStringList& arguments)
{
    ParsedArguments parsed;
    RenderOptions& o = parsed.options;
    auto usage = [&parsed](const QString& message) {
        parsed.outcome = ParsedArguments::Outcome::UsageError;
        parsed.error = message;
        return parsed;
    };

    if (arguments.isEmpty()) {
        o.input = platform::resourceFolder() + QStringLiteral("/sample/sample.jpg");
        o.depth = platform::resourceFolder() + QStringLiteral("/sample/sample-depth.png");
        o.output = QLatin1String(kSampleOutput);
        return parsed;
    }

    QStringList positional;
    bool sizeGiven = false, widthGiven = false, heightGiven = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (!arg.startsWith(QLatin1String("--")) || arg == QLatin1String("--")) {
            if (arg == QLatin1String("--")) {
                positional += arguments.mid(i + 1);
                break;
            }
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
        static const QStringList flags = {"--preview", "--bokeh", "--sharpen", "--vignette", "--color-mask",
                                          "--sticker", "--quiet", "--help"};
        static const QStringList valued = {"--depth", "--size", "--width", "--height", "--blur", "--strength",
                                           "--feather", "--sides", "--angle", "--focus", "--fading",
                                           "--fading-top", "--fading-focus", "--filter"};
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

        int n = 0;
        float f = 0;
        if (name == QLatin1String("--help")) {
            parsed.outcome = ParsedArguments::Outcome::Help;
            return parsed;
        } else if (name == QLatin1String("--preview")) {
            o.preview = true;
        } else if (name == QLatin1String("--bokeh")) {
            o.bokeh = true;
        } else if (name == QLatin1String("--sharpen")) {
            o.sharpen = true;
        } else if (name == QLatin1String("--vignette")) {
            o.vignette = true;
        } else if (name == QLatin1String("--color-mask")) {
            o.colorMask = true;
        } else if (name == QLatin1String("--sticker")) {
            o.sticker = true;
        } else if (name == QLatin1String("--quiet")) {
            o.quiet = true;
        } else if (name == QLatin1String("--depth")) {
            o.depth = value;
        } else if (name == QLatin1String("--size")) {
            if (!parseInt(value, 1, 8192, n))
                return usage(QStringLiteral("--size must be a whole number from 1 to 8192, not '%1'").arg(value));
            o.size = n;
            sizeGiven = true;
        } else if (name == QLatin1String("--width") || name == QLatin1String("--height")) {
            if (!parseInt(value, 1, 8192, n))
                return usage(QStringLiteral("%1 must be a whole number from 1 to 8192, not '%2'").arg(name, value));
            if (name == QLatin1String("--width")) {
                o.width = n;
                widthGiven = true;
            } else {
                o.height = n;
                heightGiven = true;
            }
        } else if (name == QLatin1String("--blur")) {
            if (value == QLatin1String("lens"))
                o.blurType = kLensBlur;
            else if (value == QLatin1String("motion"))
                o.blurType = kMotionBlur;
            else
                return usage(QStringLiteral("--blur must be lens or motion, not '%1'").arg(value));
        } else if (name == QLatin1String("--strength")) {
            if (!parseFloat(value, 0.0f, 0.05f, f))
                return usage(QStringLiteral("--strength must be a number from 0 to 0.05, not '%1'").arg(value));
            o.strength = f;
        } else if (name == QLatin1String("--feather")) {
            if (!parseFloat(value, 0.0f, 0.1f, f))
                return usage(QStringLiteral("--feather must be a number from 0 to 0.1, not '%1'").arg(value));
            o.feather = f;
        } else if (name == QLatin1String("--sides")) {
            if (!parseInt(value, 0, 8, n) || (n != 0 && n != 4 && n != 5 && n != 6 && n != 8))
                return usage(QStringLiteral("--sides must be 0, 4, 5, 6 or 8, not '%1'").arg(value));
            o.sides = n;
        } else if (name == QLatin1String("--angle")) {
            if (!parseInt(value, 0, 180, n))
                return usage(QStringLiteral("--angle must be a whole number from 0 to 180, not '%1'").arg(value));
            o.angle = n;
        } else if (name == QLatin1String("--focus")) {
            if (!parseInt(value, 0, 255, n))
                return usage(QStringLiteral("--focus must be a whole number from 0 to 255, not '%1'").arg(value));
            o.focus = n;
        } else if (name == QLatin1String("--fading")) {
            if (value == QLatin1String("none"))
                o.fadingMode = kNoFading;
            else if (value == QLatin1String("natural"))
                o.fadingMode = kNaturalFading;
            else if (value == QLatin1String("manual"))
                o.fadingMode = kManualFading;
            else
                return usage(QStringLiteral("--fading must be none, natural or manual, not '%1'").arg(value));
        } else if (name == QLatin1String("--fading-top") || name == QLatin1String("--fading-focus")) {
            if (!parseFloat(value, 0.0f, 2.0f, f))
                return usage(QStringLiteral("%1 must be a number from 0 to 2, not '%2'").arg(name, value));
            (name == QLatin1String("--fading-top") ? o.fadingTop : o.fadingFocus) = f;
        } else if (name == QLatin1String("--filter")) {
            bool isNumber = false;
            n = value.toInt(&isNumber);
            if (!isNumber)
                n = colorFilterIdForKey(value.toStdString());
            if (colorFilterKey(n) == nullptr)
                return usage(QStringLiteral("unknown filter '%1'").arg(value));
            o.filter = n;
        }
    }

    if (positional.size() != 2)
        return usage(positional.size() < 2 ? QStringLiteral("INPUT and OUTPUT are required")
                                           : QStringLiteral("too many arguments"));
    o.input = positional[0];
    o.output = positional[1];
    if (outputFormat(o.output).isEmpty())
        return usage(QStringLiteral("OUTPUT must end in .png, .jpg or .jpeg: '%1'").arg(o.output));
    if (sizeGiven && (widthGiven || heightGiven))
        return usage(QStringLiteral("--size cannot be combined with --width and --height"));
    if (widthGiven != heightGiven)
        return usage(QStringLiteral("--width and --height go together"));
    if (o.preview && (sizeGiven || widthGiven))
        return usage(QStringLiteral("--preview renders at the working size; it takes no --size, --width or --height"));
    if (o.sides && o.blurType != kLensBlur)
        return usage(QStringLiteral("--sides applies to --blur lens only"));
    if (o.angle && o.blurType != kMotionBlur)
        return usage(QStringLiteral("--angle applies to --blur motion only"));
    if ((o.fadingTop || o.fadingFocus) && o.fadingMode != kManualFading)
        return usage(QStringLiteral("--fading-top and --fading-focus need --fading manual"));
    if (o.fadingMode == kManualFading && !(o.fadingTop && o.fadingFocus))
        return usage(QStringLiteral("--fading manual needs --fading-top and --fading-focus"));
    return parsed;
}

int runRender(const RenderOptions& o)
{
    QString error;
    const platform::Image photo = platform::Image::fromFile(o.input, &error);
    if (photo.isNull())
        return failure(QStringLiteral("cannot read the photo '%1': %2").arg(o.input, error));

    const QSize working = fitLongestSide(400, photo.width(), photo.height());
    if (working.width() < 1 || working.height() < 1)
        return failure(QStringLiteral("the photo '%1' is %2 x %3, too narrow to edit")
                           .arg(o.input)
                           .arg(photo.width())
                           .arg(photo.height()));

    // The document lives in a private documents folder, so that the app's
    // own "org.jpg" is left alone.
    QTemporaryDir documents;
    if (!documents.isValid())
        return failure(QStringLiteral("cannot make a temporary folder: %1").arg(documents.errorString()));
    platform::setDocumentsFolder(documents.path());

    AppData doc;
    if (!loadPhotoIntoDocument(doc, photo, platform::Image(), QUrl(), &error))
        return failure(QStringLiteral("cannot keep the full-size photo: %1").arg(error));

    if (!o.depth.isEmpty()) {
        const platform::Image depthImage = platform::Image::fromFile(o.depth, &error);
        if (depthImage.isNull())
            return failure(QStringLiteral("cannot read the depth map '%1': %2").arg(o.depth, error));
        QImage gray = depthImage.pixels();
        if (!depthImage.isUpright()) {
            QImage upright(depthImage.size(), QImage::Format_ARGB32);
            upright.fill(Qt::black);
            QPainter painter(&upright);
            depthImage.draw(painter, QRectF(QPointF(0, 0), QSizeF(depthImage.size())), false);
            painter.end();
            gray = upright;
        }
        if (!gray.isGrayscale())
            return failure(QStringLiteral("the depth map '%1' is not a grey image").arg(o.depth));
        gray = gray.convertToFormat(QImage::Format_Grayscale8);
        // The map must have the photo's proportions: its height may differ by
        // one row from the depth-map height the document gives its width.
        const int expected = int(int64_t(gray.width()) * doc.m_orgHeight / doc.m_orgWidth);
        if (std::abs(gray.height() - expected) > 1)
            return failure(QStringLiteral("the depth map '%1' is %2 x %3; a %4 x %5 photo needs a map of its "
                                          "proportions, such as %6 x %7")
                               .arg(o.depth)
                               .arg(gray.width())
                               .arg(gray.height())
                               .arg(doc.m_orgWidth)
                               .arg(doc.m_orgHeight)
                               .arg(doc.m_pDepthMap->cols)
                               .arg(doc.m_pDepthMap->rows));
        const cv::Mat view(gray.height(), gray.width(), CV_8UC1, gray.bits(), size_t(gray.bytesPerLine()));
        if (view.size() == doc.m_pDepthMap->size())
            view.copyTo(*doc.m_pDepthMap);
        else
            cv::resize(view, *doc.m_pDepthMap, doc.m_pDepthMap->size(), 0, 0, cv::INTER_NEAREST);
    }

    doc.m_blurType = o.blurType;
    if (o.strength)
        doc.m_blurStrength = *o.strength;
    if (o.feather)
        doc.m_edgeFeather = *o.feather;
    if (o.sides)
        doc.m_sidesOrAngle = *o.sides;
    if (o.angle)
        doc.m_sidesOrAngle = *o.angle;
    if (o.focus)
        doc.m_focusDepth = *o.focus;
    if (o.filter)
        doc.m_filter = *o.filter;
    doc.m_bokehThreshold = o.bokeh ? 200 : -1;
    doc.m_sharpen = o.sharpen ? 30 : 0;
    doc.m_vignette = o.vignette ? 108 : 0;
    doc.m_sticker = o.sticker ? 30 : 0;
    doc.m_colorMask = o.colorMask;
    setFadingMode(doc, o.fadingMode, o.fadingTop.value_or(1.0f), o.fadingFocus.value_or(1.0f));

    // Written beside the output and renamed over it at the end, so that a
    // failed run leaves no partial file and keeps an older one. Opening it
    // first refuses an unwritable output before any work is done.
    const QString format = outputFormat(o.output);
    QSaveFile file(o.output);
    if (!file.open(QIODevice::WriteOnly))
        return failure(QStringLiteral("cannot write '%1': %2").arg(o.output, file.errorString()));

    std::FILE* progressStream = o.quiet ? nullptr : stderr;
    std::FILE* nullStream = nullptr;
    if (!progressStream)
        progressStream = nullStream = std::fopen("/dev/null", "w");
    cv::Mat result, depth;
    try {
        platform::TerminalProgressDisplay hud(progressStream);
        LensBlurEffectCallback callback(hud);
        if (o.preview) {
            depth = doc.m_pDepthMap->clone();
            prepareDepth(doc, depth);
            applyEffect(result, doc, depth, doc.m_focusDepth, doc.m_width, doc.m_height, false, &callback);
        } else {
            int width = doc.m_orgWidth, height = doc.m_orgHeight;
            if (o.size)
                sizeForLongerSide(o.size, doc.m_orgWidth, doc.m_orgHeight, width, height);
            else if (o.width)
                width = o.width, height = o.height;
            cv::resize(*doc.m_pDepthMap, depth, cv::Size(width, height), 0, 0, cv::INTER_CUBIC);
            prepareDepth(doc, depth);
            applyEffect(result, doc, depth, doc.m_focusDepth, width, height, true, &callback);
        }
        applyStickerAndFilter(doc, result, depth);
        applyVignetteAndColorMask(doc, result, depth);
        hud.setProgress(1.0f);
    } catch (const std::exception& e) {
        // The engine asserts on inputs it was never meant to get, and runs out
        // of memory on absurd sizes: report it, and leave no partial output.
        if (nullStream)
            std::fclose(nullStream);
        file.cancelWriting();
        return failure(QStringLiteral("the render failed: %1").arg(QString::fromLocal8Bit(e.what()).trimmed()));
    }
    if (nullStream)
        std::fclose(nullStream);

    const QImage image(result.data, result.cols, result.rows, int(result.step[0]), QImage::Format_ARGB32);
    QImageWriter writer(&file, format.toLatin1());
    if (format == QLatin1String("jpeg"))
        writer.setQuality(100);
    const bool written = format == QLatin1String("jpeg") ? writer.write(image.convertToFormat(QImage::Format_RGB32))
                                                         : writer.write(image);
    if (!written) {
        file.cancelWriting();
        return failure(QStringLiteral("cannot write '%1': %2").arg(o.output, writer.errorString()));
    }
    if (!file.commit())
        return failure(QStringLiteral("cannot write '%1': %2").arg(o.output, file.errorString()));
    if (o.output == QLatin1String(kSampleOutput) && !o.quiet)
        std::fprintf(stderr, "Wrote %s\n", QFileInfo(o.output).absoluteFilePath().toLocal8Bit().constData());
    return 0;
}
