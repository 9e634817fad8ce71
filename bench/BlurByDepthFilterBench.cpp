// The blur by depth at preview size (400 x 300) and at save size
// (2048 x 1536), on a textured photo and a feathered three-level depth map
// focused on the nearest plane, against a literal per-pixel pass.
#include "Effector/BlurByDepthFilter.h"
#include "bench/LiteralBlur.h"

#include <benchmark/benchmark.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

// Smooth colour gradients under fine noise and a few hard-edged bright
// shapes, so that the blur and the highlights both have work to do.
cv::Mat texturedPhoto(int width, int height)
{
    cv::Mat photo(height, width, CV_8UC4);
    for (int y = 0; y < height; ++y) {
        cv::Vec4b* row = photo.ptr<cv::Vec4b>(y);
        for (int x = 0; x < width; ++x)
            row[x] = cv::Vec4b(uchar(255 * x / width), uchar(255 * y / height), uchar(128 + 100 * ((x / 37 + y / 23) % 2)),
                               255);
    }
    cv::Mat noise(height, width, CV_8UC4);
    cv::RNG rng(7);
    rng.fill(noise, cv::RNG::UNIFORM, 0, 60);
    cv::add(photo, noise, photo);
    for (int i = 0; i < 30; ++i)
        cv::circle(photo, {rng.uniform(0, width), rng.uniform(0, height)}, rng.uniform(1, width / 80 + 2),
                   cv::Scalar(245, 245, 245), cv::FILLED);
    cv::Mat alpha(height, width, CV_8UC1, cv::Scalar(255));
    cv::insertChannel(alpha, photo, 3);
    return photo;
}

// Background 0, a middle-distance band at 85 and a foreground figure at
// 255, feathered like the pipeline does (Gaussian, k x k).
cv::Mat threeLevelDepth(int width, int height, int feather)
{
    cv::Mat depth(height, width, CV_8UC1, cv::Scalar(0));
    depth(cv::Rect(0, height * 55 / 100, width, height * 20 / 100)).setTo(85);
    cv::ellipse(depth, {width * 40 / 100, height * 60 / 100}, {width / 7, height * 35 / 100}, 0, 0, 360, cv::Scalar(255),
                cv::FILLED);
    cv::rectangle(depth, cv::Rect(width * 65 / 100, height * 30 / 100, width / 8, height * 45 / 100), cv::Scalar(255),
                  cv::FILLED);
    cv::GaussianBlur(depth, depth, cv::Size(feather, feather), 0, 0);
    return depth;
}

struct Scene {
    cv::Mat photo, depth;
};

const Scene& scene(int width, int height)
{
    static std::map<int, Scene> scenes;
    Scene& s = scenes[width];
    if (s.photo.empty()) {
        s.photo = texturedPhoto(width, height);
        s.depth = threeLevelDepth(width, height, width >= 1000 ? 17 : 7);
    }
    return s;
}

// args: width, height, kind, sidesOrAngle, R, bokeh threshold
void BM_Blur(benchmark::State& state)
{
    const int width = int(state.range(0)), height = int(state.range(1));
    const int kind = int(state.range(2)), sides = int(state.range(3)), R = int(state.range(4));
    const int threshold = int(state.range(5));
    const Scene& s = scene(width, height);
    cv::Mat dst;
    for (auto _ : state) {
        BlurByDepthFilter filter(kind, s.photo, R, sides, threshold, 0);
        filter.run(s.depth, 255, dst);
        benchmark::DoNotOptimize(dst.data);
    }
}

// The save path around the blur: decode the photo, resize it and the depth
// map, feather, blur, encode.
void BM_SaveProcess(benchmark::State& state)
{
    const int R = int(state.range(0));
    std::vector<uchar> jpeg;
    cv::Mat big;
    cv::resize(texturedPhoto(2048, 1536), big, {3264, 2448}, 0, 0, cv::INTER_LINEAR);
    cv::imencode(".jpg", big, jpeg);
    const cv::Mat depth800 = threeLevelDepth(800, 600, 1);
    for (auto _ : state) {
        cv::Mat decoded = cv::imdecode(jpeg, cv::IMREAD_COLOR), bgra, source, depth, dst;
        cv::cvtColor(decoded, bgra, cv::COLOR_BGR2BGRA);
        cv::resize(bgra, source, {2048, 1536}, 0, 0, cv::INTER_LINEAR);
        cv::resize(depth800, depth, {2048, 1536}, 0, 0, cv::INTER_CUBIC);
        cv::GaussianBlur(depth, depth, {17, 17}, 0, 0);
        BlurByDepthFilter filter(kLensKernel, source, R, 0, 229, 0);
        filter.run(depth, 255, dst);
        std::vector<uchar> out;
        cv::imencode(".jpg", dst, out);
        benchmark::DoNotOptimize(out.data());
    }
}

// The bundled sample as the save path sees it: the photo at its own
// 2048 x 1536, the depth map resized cubic to that size and feathered with
// a 17 x 17 Gaussian, focused on the nearest plane.
const Scene& sampleScene()
{
    static const Scene s = [] {
        std::string dir = __FILE__;
        dir = dir.substr(0, dir.find_last_of('/') + 1) + "../resources/sample/";
        Scene scene;
        const cv::Mat photo = cv::imread(dir + "sample.jpg", cv::IMREAD_COLOR);
        const cv::Mat depth = cv::imread(dir + "sample-depth.png", cv::IMREAD_GRAYSCALE);
        if (photo.empty() || depth.empty())
            return scene;
        cv::cvtColor(photo, scene.photo, cv::COLOR_BGR2BGRA);
        cv::resize(depth, scene.depth, scene.photo.size(), 0, 0, cv::INTER_CUBIC);
        cv::GaussianBlur(scene.depth, scene.depth, {17, 17}, 0, 0);
        return scene;
    }();
    return s;
}

// args: R, bokeh threshold
void BM_Sample(benchmark::State& state)
{
    const int R = int(state.range(0)), threshold = int(state.range(1));
    const Scene& s = sampleScene();
    if (s.photo.empty()) {
        state.SkipWithError("resources/sample not found");
        return;
    }
    cv::Mat dst;
    for (auto _ : state) {
        BlurByDepthFilter filter(kLensKernel, s.photo, R, 0, threshold, 0);
        filter.run(s.depth, 255, dst);
        benchmark::DoNotOptimize(dst.data);
    }
}

void BM_LiteralPass(benchmark::State& state)
{
    const int R = int(state.range(0));
    const Scene& s = scene(2048, 1536);
    const std::vector<cv::Mat> kernels = buildKernelSet(kLensKernel, R, 0);
    cv::Mat dst;
    for (auto _ : state) {
        literalPass(s.photo, s.depth, 255, R, kernels, dst);
        benchmark::DoNotOptimize(dst.data);
    }
}

void previewArgs(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"w", "h", "kind", "sides", "R", "T"});
    for (int R : {4, 10}) {
        for (int threshold : {-1, 200}) {
            b->Args({400, 300, kLensKernel, 0, R, threshold});
            b->Args({400, 300, kLensKernel, 6, R, threshold});
            b->Args({400, 300, kMotionKernel, 8, R, threshold});
        }
    }
}

void fullArgs(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"w", "h", "kind", "sides", "R", "T"});
    for (int R : {20, 51})
        for (int threshold : {-1, 229})
            b->Args({2048, 1536, kLensKernel, 0, R, threshold});
}

} // namespace

BENCHMARK(BM_Blur)->Name("Preview")->Apply(previewArgs)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Blur)->Name("FullSize")->Apply(fullArgs)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Sample)
    ->Name("Sample")
    ->ArgNames({"R", "T"})
    ->Args({20, -1})
    ->Args({20, 229})
    ->Args({51, -1})
    ->Args({51, 229})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_SaveProcess)->ArgName("R")->Arg(20)->Arg(51)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LiteralPass)->ArgName("R")->Arg(20)->Arg(51)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
