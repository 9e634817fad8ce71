// The finishing stages at preview size: they run on the main thread each time
// the user picks a filter or toggles an effect, so they must stay quick.
#include "Effector/ColorFilter.h"
#include "Effector/FinishingStages.h"
#include "app/AppData.h"

#include <benchmark/benchmark.h>
#include <opencv2/imgproc.hpp>

#include <QGuiApplication>

#include <cstdlib>
#include <memory>

namespace {

constexpr int kWidth = 400, kHeight = 300;

cv::Mat previewImage()
{
    cv::Mat image(kHeight, kWidth, CV_8UC4);
    cv::randu(image, cv::Scalar::all(0), cv::Scalar::all(256));
    return image;
}

std::unique_ptr<AppData> previewDocument(int filter)
{
    auto doc = std::make_unique<AppData>();
    doc->m_pDepthMap = std::make_unique<cv::Mat>(2 * kHeight, 2 * kWidth, CV_8UC1, cv::Scalar(0));
    (*doc->m_pDepthMap)(cv::Rect(2 * kWidth / 4, 2 * kHeight / 4, kWidth, kHeight)).setTo(255);
    doc->m_filter = filter;
    doc->m_vignette = 108;
    doc->m_sticker = 30;
    doc->m_colorMask = true;
    doc->m_focusDepth = 255;
    return doc;
}

void BM_FinishingStages(benchmark::State& state)
{
    const auto doc = previewDocument(int(state.range(0)));
    const cv::Mat stored = previewImage();
    cv::Mat workingDepth;
    cv::resize(*doc->m_pDepthMap, workingDepth, stored.size(), 0, 0, cv::INTER_NEAREST);
    for (auto _ : state) {
        cv::Mat image = stored.clone();
        applyStickerAndFilter(*doc, image, workingDepth);
        applyVignetteAndColorMask(*doc, image, workingDepth);
        benchmark::DoNotOptimize(image.data);
    }
    state.SetLabel(colorFilterKey(int(state.range(0))));
}

// One filter of each kind: plain grayscale, sepia blend, channel curves, and
// channel curves with a master.
BENCHMARK(BM_FinishingStages)->Arg(kGrayscale1)->Arg(kAntique)->Arg(kCherry)->Arg(kHollywood)->Unit(benchmark::kMillisecond);

void BM_ColorFilter(benchmark::State& state)
{
    const cv::Mat stored = previewImage();
    for (auto _ : state) {
        cv::Mat image = stored.clone();
        applyColorFilter(image, int(state.range(0)));
        benchmark::DoNotOptimize(image.data);
    }
    state.SetLabel(colorFilterKey(int(state.range(0))));
}
BENCHMARK(BM_ColorFilter)->Arg(kGrayscale1)->Arg(kSepia2)->Arg(kAntique)->Arg(kCherry)->Arg(kHollywood)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    // The sticker paints its mask with QPainter, which wants an application.
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
