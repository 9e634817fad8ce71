// The two ways the engine is used, on the bundled sample photo and its depth
// map: the preview re-run of the effect screen (400 x 300 working image) and
// the full-size render of the save command (2048 x 1536 from the kept JPEG),
// in this process and as a whole nimbalight-render process.
#include "Effector/Effector.h"
#include "Effector/EffectorCallback.h"
#include "Effector/FinishingStages.h"
#include "Effector/BlurByDepthFilter.h"
#include "app/AppData.h"
#include "app/ImageHelpers.h"
#include "bench/LiteralBlur.h"
#include "app/PhotoIntake.h"
#include "platform/DocumentsFolder.h"
#include "platform/Image.h"
#include "platform/ProgressDisplay.h"
#include "platform/ResourceLookup.h"

#include <benchmark/benchmark.h>
#include <opencv2/imgproc.hpp>

#include <QCoreApplication>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

struct Setting {
    const char* name;
    int blurType, sidesOrAngle, bokeh;
};

// Lens disc, hexagon and motion, each with bokeh off and on.
const Setting kSettings[] = {
    {"disc", kLensBlur, 0, -1},      {"disc+bokeh", kLensBlur, 0, 200},
    {"hexagon", kLensBlur, 6, -1},   {"hexagon+bokeh", kLensBlur, 6, 200},
    {"motion", kMotionBlur, 8, -1},  {"motion+bokeh", kMotionBlur, 8, 200},
};
const float kStrengths[] = {0.01f, 0.025f};

class NullDisplay : public platform::ProgressDisplay {
public:
    void setLabelText(const QString&) override {}
    void setMode(Mode) override {}
    void setProgress(float) override {}
};

// The sample loaded as photo intake loads it, once for the whole program.
struct Sample {
    QTemporaryDir documents;
    AppData doc;
    bool ok = false;

    Sample()
    {
        platform::setDocumentsFolder(documents.path());
        const platform::Image photo = platform::Image::fromFile(platform::resourcePath("sample/sample.jpg"));
        const QImage depth(platform::resourcePath("sample/sample-depth.png"));
        if (photo.isNull() || depth.isNull() || !loadPhotoIntoDocument(doc, photo, platform::Image(), QUrl()))
            return;
        const QImage gray = depth.convertToFormat(QImage::Format_Grayscale8);
        const cv::Mat view(gray.height(), gray.width(), CV_8UC1, const_cast<uchar*>(gray.bits()),
                           size_t(gray.bytesPerLine()));
        cv::resize(view, *doc.m_pDepthMap, doc.m_pDepthMap->size(), 0, 0, cv::INTER_NEAREST);
        ok = true;
    }
};

Sample& sample()
{
    static Sample s;
    return s;
}

bool configure(benchmark::State& state)
{
    Sample& s = sample();
    if (!s.ok) {
        state.SkipWithError("the bundled sample could not be loaded");
        return false;
    }
    const Setting& setting = kSettings[state.range(0)];
    s.doc.m_blurType = setting.blurType;
    s.doc.m_sidesOrAngle = setting.sidesOrAngle;
    s.doc.m_bokehThreshold = setting.bokeh;
    s.doc.m_blurStrength = kStrengths[state.range(1)];
    s.doc.m_edgeFeather = 0.008f;
    state.SetLabel(std::string(setting.name) + (state.range(1) ? " strength 0.025" : " strength 0.01"));
    return true;
}

// The effect screen's preview task: its main step and its completion step.
void BM_PreviewRerun(benchmark::State& state)
{
    if (!configure(state))
        return;
    const AppData& doc = sample().doc;
    cv::Mat blurred, depth;
    for (auto _ : state) {
        doc.m_pDepthMap->copyTo(depth);
        prepareDepth(doc, depth);
        applyEffect(blurred, doc, depth, doc.m_focusDepth, doc.m_width, doc.m_height, false);
        cv::Mat shown = blurred.clone();
        applyStickerAndFilter(doc, shown, depth);
        applyVignetteAndColorMask(doc, shown, depth);
        benchmark::DoNotOptimize(shown.data);
    }
}

// What the save command does after the blur: both finishing stages, then the
// JPEG at quality 1.0.
void finishAndEncode(const AppData& doc, cv::Mat& result, const cv::Mat& depth)
{
    applyStickerAndFilter(doc, result, depth);
    applyVignetteAndColorMask(doc, result, depth);
    const QByteArray jpeg =
        platform::Image(QImage(result.data, result.cols, result.rows, int(result.step[0]), QImage::Format_ARGB32))
            .jpegData(1.0);
    benchmark::DoNotOptimize(jpeg.data());
}

// The save command's render at 2048 x 1536: decoding the kept photo, the
// blur, the finishing stages and the JPEG at quality 100.
void BM_FullSizeRender(benchmark::State& state)
{
    if (!configure(state))
        return;
    const AppData& doc = sample().doc;
    const cv::Size size(2048, 1536);
    NullDisplay display;
    cv::Mat result, depth;
    for (auto _ : state) {
        LensBlurEffectCallback callback(display);
        cv::resize(*doc.m_pDepthMap, depth, size, 0, 0, cv::INTER_CUBIC);
        prepareDepth(doc, depth);
        applyEffect(result, doc, depth, doc.m_focusDepth, size.width, size.height, true, &callback);
        finishAndEncode(doc, result, depth);
    }
}

// The same full-size render with the blur's per-pixel pass done literally
// (every pixel, every kernel element, no work mask, one thread), so that the
// ratio shows what the work mask and the fast paths buy. Lens disc only.
void BM_FullSizeRenderLiteral(benchmark::State& state)
{
    if (!configure(state))
        return;
    const AppData& doc = sample().doc;
    const cv::Size size(2048, 1536);
    cv::Mat result, depth, source;
    for (auto _ : state) {
        const Bitmap kept(loadFromDocuments(QStringLiteral("org.jpg")), true);
        const cv::Mat keptPixels(kept.height, kept.width, CV_8UC4, kept.data, size_t(kept.bytesPerRow));
        cv::resize(keptPixels, source, size, 0, 0, cv::INTER_LINEAR);
        cv::resize(*doc.m_pDepthMap, depth, size, 0, 0, cv::INTER_CUBIC);
        prepareDepth(doc, depth);
        const int radius = int(doc.m_blurStrength * float(size.width));
        literalPass(source, depth, doc.m_focusDepth, radius, buildKernelSet(kLensKernel, radius, 0), result);
        finishAndEncode(doc, result, depth);
    }
}

// nimbalight-render as a user runs it: process start, decode, render, encode.
void BM_RenderProcess(benchmark::State& state)
{
    if (!configure(state))
        return;
    const Setting& setting = kSettings[state.range(0)];
    QTemporaryDir out;
    QStringList arguments = {QStringLiteral("--quiet"),
                             QStringLiteral("--depth"),
                             platform::resourcePath("sample/sample-depth.png"),
                             QStringLiteral("--strength"),
                             QString::number(double(kStrengths[state.range(1)])),
                             QStringLiteral("--size"),
                             QStringLiteral("2048")};
    if (setting.blurType == kMotionBlur)
        arguments << QStringLiteral("--blur") << QStringLiteral("motion") << QStringLiteral("--angle")
                  << QString::number(setting.sidesOrAngle);
    else
        arguments << QStringLiteral("--sides") << QString::number(setting.sidesOrAngle);
    if (setting.bokeh > 0)
        arguments << QStringLiteral("--bokeh");
    arguments << platform::resourcePath("sample/sample.jpg") << out.filePath(QStringLiteral("out.jpg"));
    for (auto _ : state) {
        QProcess process;
        process.start(QStringLiteral(NIMBALIGHT_RENDER_TOOL), arguments);
        if (!process.waitForFinished(60000) || process.exitCode() != 0) {
            state.SkipWithError("nimbalight-render failed");
            return;
        }
    }
}

void allSettings(benchmark::internal::Benchmark* b)
{
    for (int strength = 0; strength < 2; ++strength)
        for (int setting = 0; setting < int(std::size(kSettings)); ++setting)
            b->Args({setting, strength});
    b->Unit(benchmark::kMillisecond)->UseRealTime();
}

void discOnly(benchmark::internal::Benchmark* b)
{
    b->Args({0, 0})->Args({0, 1})->Unit(benchmark::kMillisecond)->UseRealTime();
}

} // namespace

BENCHMARK(BM_PreviewRerun)->Apply(allSettings);
BENCHMARK(BM_FullSizeRender)->Apply(allSettings)->Iterations(3);
BENCHMARK(BM_RenderProcess)->Apply(discOnly)->Iterations(5);
BENCHMARK(BM_FullSizeRenderLiteral)->Apply(discOnly)->Iterations(1);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
