// SPDX-License-Identifier: BSD-3-Clause
// Canny edges on a photograph scaled to 1920x1080 and on a noisy synthetic
// scene, beside OpenCV with the same thresholds (one thread).
#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "bench_util.h"
#include "features/canny.h"
#include "support/png.h"

#ifdef ZUV_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

constexpr int kW = 1920, kH = 1080;

struct Scene {
  std::string name;
  std::vector<uint8_t> px;  // kW x kH, step kW
  std::vector<int16_t> dx, dy;  // 3x3 Sobel with replicated edges
};

// The photograph scaled bilinearly to kW x kH.
std::vector<uint8_t> scaled_photo(const char* file) {
  const zuv::test::GrayImage img = zuv::test::read_png_gray(zuv::test::sample_path(file));
  std::vector<uint8_t> out(size_t(kW) * kH, 0);
  if (img.width == 0) return out;
  for (int y = 0; y < kH; ++y) {
    const float fy = std::max(0.f, (y + 0.5f) * img.height / kH - 0.5f);
    const int y0 = std::min(int(fy), img.height - 1), y1 = std::min(y0 + 1, img.height - 1);
    const float wy = fy - float(y0);
    for (int x = 0; x < kW; ++x) {
      const float fx = std::max(0.f, (x + 0.5f) * img.width / kW - 0.5f);
      const int x0 = std::min(int(fx), img.width - 1), x1 = std::min(x0 + 1, img.width - 1);
      const float wx = fx - float(x0);
      const float v = (1 - wy) * ((1 - wx) * img.at(x0, y0) + wx * img.at(x1, y0)) +
                      wy * ((1 - wx) * img.at(x0, y1) + wx * img.at(x1, y1));
      out[size_t(y) * kW + x] = uint8_t(std::lround(v));
    }
  }
  return out;
}

// Random rectangles and discs of random gray under Gaussian noise (sigma 12).
std::vector<uint8_t> noisy_scene() {
  std::mt19937 rng(42);
  std::vector<float> f(size_t(kW) * kH, 128.f);
  for (int i = 0; i < 120; ++i) {
    const int cx = int(rng() % kW), cy = int(rng() % kH), r = 20 + int(rng() % 160);
    const float g = float(rng() % 256);
    const bool disc = rng() % 2;
    for (int y = std::max(0, cy - r); y < std::min(kH, cy + r); ++y)
      for (int x = std::max(0, cx - r); x < std::min(kW, cx + r); ++x)
        if (!disc || (x - cx) * (x - cx) + (y - cy) * (y - cy) < r * r) f[size_t(y) * kW + x] = g;
  }
  std::normal_distribution<float> noise(0.f, 12.f);
  std::vector<uint8_t> out(f.size());
  for (size_t i = 0; i < f.size(); ++i)
    out[i] = uint8_t(std::clamp(std::lround(f[i] + noise(rng)), 0L, 255L));
  return out;
}

Scene make_scene(std::string name, std::vector<uint8_t> px) {
  Scene s{std::move(name), std::move(px), {}, {}};
  s.dx.resize(s.px.size());
  s.dy.resize(s.px.size());
  auto p = [&](int x, int y) {
    return int(s.px[size_t(std::clamp(y, 0, kH - 1)) * kW + std::clamp(x, 0, kW - 1)]);
  };
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      s.dx[size_t(y) * kW + x] = int16_t(p(x + 1, y - 1) - p(x - 1, y - 1) + 2 * (p(x + 1, y) - p(x - 1, y)) +
                                         p(x + 1, y + 1) - p(x - 1, y + 1));
      s.dy[size_t(y) * kW + x] = int16_t(p(x - 1, y + 1) - p(x - 1, y - 1) + 2 * (p(x, y + 1) - p(x, y - 1)) +
                                         p(x + 1, y + 1) - p(x + 1, y - 1));
    }
  return s;
}

const std::vector<Scene>& scenes() {
  static const std::vector<Scene> all = {make_scene("camera", scaled_photo("camera.png")),
                                         make_scene("noisy", noisy_scene())};
  return all;
}

constexpr float kLow = 50.f, kHigh = 150.f;

void border_canny(benchmark::State& st, const Scene* s, int norm) {
  zuv::bench::set_threads(1);
  int32_t n = 0;
  zuviCannyBorderGetSize({kW, kH}, DifferentialKernelSobel, MaskSize3x3, 0, &n);
  std::vector<uint8_t> buf(static_cast<size_t>(n)), dst(static_cast<size_t>(kW) * kH);
  for (auto _ : st)
    benchmark::DoNotOptimize(zuviCannyBorder_8u_C1R(s->px.data(), kW, dst.data(), kW, {kW, kH},
                                                    DifferentialKernelSobel, MaskSize3x3, BorderRepl,
                                                    0, norm, buf.data(), kLow, kHigh));
  st.counters["edges"] = double(std::count(dst.begin(), dst.end(), uint8_t(255)));
  st.SetBytesProcessed(int64_t(st.iterations()) * kW * kH * 2);
  zuv::bench::set_threads(0);
}

void derivative_canny(benchmark::State& st, const Scene* s) {
  int32_t n = 0;
  zuviCannyGetSize({kW, kH}, &n);
  std::vector<uint8_t> buf(static_cast<size_t>(n)), dst(static_cast<size_t>(kW) * kH);
  for (auto _ : st)
    benchmark::DoNotOptimize(zuviCanny_16s8u_C1R(s->dx.data(), 2 * kW, s->dy.data(), 2 * kW,
                                                 dst.data(), kW, {kW, kH}, buf.data(), kLow, kHigh));
  st.counters["edges"] = double(std::count(dst.begin(), dst.end(), uint8_t(255)));
  st.SetBytesProcessed(int64_t(st.iterations()) * kW * kH * 5);
}

#ifdef ZUV_HAVE_OPENCV
void cv_border_canny(benchmark::State& st, const Scene* s, bool l2) {
  cv::setNumThreads(1);
  const cv::Mat src(kH, kW, CV_8UC1, const_cast<uint8_t*>(s->px.data()));
  cv::Mat dst;
  for (auto _ : st) cv::Canny(src, dst, kLow, kHigh, 3, l2);
  st.counters["edges"] = double(cv::countNonZero(dst));
  st.SetBytesProcessed(int64_t(st.iterations()) * kW * kH * 2);
}

void cv_derivative_canny(benchmark::State& st, const Scene* s) {
  cv::setNumThreads(1);
  const cv::Mat dx(kH, kW, CV_16SC1, const_cast<int16_t*>(s->dx.data()));
  const cv::Mat dy(kH, kW, CV_16SC1, const_cast<int16_t*>(s->dy.data()));
  cv::Mat dst;
  for (auto _ : st) cv::Canny(dx, dy, dst, kLow, kHigh, false);
  st.counters["edges"] = double(cv::countNonZero(dst));
  st.SetBytesProcessed(int64_t(st.iterations()) * kW * kH * 5);
}
#endif

void register_all() {
  for (const Scene& s : scenes()) {
    const std::string tail = "/" + s.name + "/1920x1080/1";
    const Scene* sp = &s;
    benchmark::RegisterBenchmark(("Canny/border_sobel3_L1" + tail).c_str(), border_canny, sp, int(NormTypeL1))
        ->Unit(benchmark::kMillisecond);
#ifdef ZUV_HAVE_OPENCV
    benchmark::RegisterBenchmark(("Canny/border_sobel3_L1" + tail + "/opencv").c_str(), cv_border_canny, sp, false)
        ->Unit(benchmark::kMillisecond);
#endif
    benchmark::RegisterBenchmark(("Canny/border_sobel3_L2" + tail).c_str(), border_canny, sp, int(NormTypeL2))
        ->Unit(benchmark::kMillisecond);
#ifdef ZUV_HAVE_OPENCV
    benchmark::RegisterBenchmark(("Canny/border_sobel3_L2" + tail + "/opencv").c_str(), cv_border_canny, sp, true)
        ->Unit(benchmark::kMillisecond);
#endif
    benchmark::RegisterBenchmark(("Canny/derivative_16s" + tail).c_str(), derivative_canny, sp)
        ->Unit(benchmark::kMillisecond);
#ifdef ZUV_HAVE_OPENCV
    benchmark::RegisterBenchmark(("Canny/derivative_16s" + tail + "/opencv").c_str(), cv_derivative_canny, sp)
        ->Unit(benchmark::kMillisecond);
#endif
  }
}

const int registered = (register_all(), 0);

}  // namespace
