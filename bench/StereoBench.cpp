// The stereo detection at the app's thumbnail size (250 x 188, 25
// disparities, one pass): the whole detection step on the document, and the
// graph-cut matcher alone. Two pairs: textured planes (a background at
// disparity 2, a box at 9) and two crops of the bundled sample photo 8
// thumbnail pixels apart (one shifted plane, not a real stereo pair).
// Each reports the median of 5 runs.
#include "app/AppData.h"
#include "platform/Image.h"
#include "stereo/Detector.h"
#include "stereo/StereoMatcherGC.h"

#include <benchmark/benchmark.h>
#include <opencv2/imgproc.hpp>

#include <QGuiApplication>
#include <QImage>

#include <cstdlib>
#include <memory>

namespace {

constexpr int kWidth = 250, kHeight = 188;

struct Pair {
    cv::Mat left, right;  // CV_8UC4, B G R A
};

cv::Mat texture(int width, int height, cv::RNG& rng)
{
    cv::Mat noise(height, width, CV_8UC4);
    rng.fill(noise, cv::RNG::UNIFORM, 0, 256);
    cv::GaussianBlur(noise, noise, cv::Size(0, 0), 1.0);
    cv::normalize(noise, noise, 0, 255, cv::NORM_MINMAX);
    return noise;
}

Pair planesPair()
{
    cv::RNG rng(7);
    const cv::Mat back = texture(kWidth + 2, kHeight, rng), front = texture(kWidth + 9, kHeight, rng);
    const cv::Rect box(80, 50, 90, 80);
    Pair p{back(cv::Rect(0, 0, kWidth, kHeight)).clone(), back(cv::Rect(2, 0, kWidth, kHeight)).clone()};
    front(box).copyTo(p.left(box));
    front(box).copyTo(p.right(box - cv::Point(9, 0)));
    return p;
}

Pair samplePair()
{
    QImage photo(QStringLiteral(NIMBALIGHT_RESOURCE_DIR "/sample/sample.jpg"));
    photo = photo.convertToFormat(QImage::Format_ARGB32);
    const cv::Mat full(photo.height(), photo.width(), CV_8UC4, photo.bits(), size_t(photo.bytesPerLine()));
    // 56 photo pixels are 8 thumbnail pixels at a scale of 250 / 1750.
    const int cropWidth = 1750, shift = 56;
    Pair p;
    cv::resize(full(cv::Rect(0, 0, cropWidth, full.rows)), p.left, cv::Size(kWidth, kHeight), 0, 0, cv::INTER_AREA);
    cv::resize(full(cv::Rect(shift, 0, cropWidth, full.rows)), p.right, cv::Size(kWidth, kHeight), 0, 0,
               cv::INTER_AREA);
    return p;
}

const Pair& pair(int which)
{
    static const Pair planes = planesPair();
    static const Pair sample = samplePair();
    return which == 0 ? planes : sample;
}

platform::Image imageOf(const cv::Mat& bgra)
{
    const QImage view(bgra.data, bgra.cols, bgra.rows, int(bgra.step[0]), QImage::Format_ARGB32);
    QImage opaque = view.copy();
    for (int y = 0; y < opaque.height(); ++y)
        for (int x = 0; x < opaque.width(); ++x)
            opaque.setPixel(x, y, opaque.pixel(x, y) | 0xff000000u);
    return platform::Image(opaque);
}

void BM_DetectionStep(benchmark::State& state)
{
    const Pair& p = pair(int(state.range(0)));
    AppData doc;
    doc.m_leftThumb = imageOf(p.left);
    doc.m_rightThumb = imageOf(p.right);
    doc.m_thumbWidth = kWidth;
    doc.m_thumbHeight = kHeight;
    doc.m_pDepthMap = std::make_unique<cv::Mat>(600, 800, CV_8UC1, cv::Scalar(0));
    for (auto _ : state) {
        runStereoDetection(doc);
        releaseStereoDetection(doc);
        benchmark::DoNotOptimize(doc.m_pDepthMap->data);
    }
    state.SetLabel(state.range(0) == 0 ? "planes" : "sample crops");
}
BENCHMARK(BM_DetectionStep)->Arg(0)->Arg(1)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);

void BM_Matcher(benchmark::State& state)
{
    const Pair& p = pair(int(state.range(0)));
    cv::Mat left, right;
    cv::cvtColor(p.left, left, cv::COLOR_BGRA2GRAY);
    cv::cvtColor(p.right, right, cv::COLOR_BGRA2GRAY);
    StereoGCParams params;
    params.numberOfDisparities = 25;
    params.maxIters = 1;
    cv::Mat dispLeft, dispRight;
    for (auto _ : state) {
        findStereoCorrespondenceGC(left, right, dispLeft, dispRight, params);
        benchmark::DoNotOptimize(dispLeft.data);
    }
    state.SetLabel(state.range(0) == 0 ? "planes" : "sample crops");
}
BENCHMARK(BM_Matcher)->Arg(0)->Arg(1)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    // The thumbnails are drawn with QPainter, which wants an application.
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
