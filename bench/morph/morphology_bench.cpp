// SPDX-License-Identifier: BSD-3-Clause
// Erosion, dilation and the compound operations, beside OpenCV with replicated borders.
#include <cmath>
#include <string>
#include <vector>

#include "bench_util.h"
#include "morph/morph_adv.h"
#include "morph/morphology.h"

#ifdef ZUV_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

using zuv::bench::Image;

constexpr int kW = 1920, kH = 1080;

struct Shape {
  int w, h;
  bool ellipse;
  std::string name() const {
    return (ellipse ? "ellipse" : "rect") + std::to_string(w) + "x" + std::to_string(h);
  }
};

// The mask bytes; an ellipse is OpenCV's structuring element where available,
// so both sides run the same mask.
std::vector<uint8_t> mask_of(const Shape& s) {
  std::vector<uint8_t> m(size_t(s.w) * s.h, 1);
  if (!s.ellipse) return m;
#ifdef ZUV_HAVE_OPENCV
  const cv::Mat k = cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(s.w, s.h));
  for (int y = 0; y < s.h; ++y)
    for (int x = 0; x < s.w; ++x) m[size_t(y) * s.w + x] = k.at<uint8_t>(y, x);
#else
  const double r = (s.h - 1) / 2.0;
  for (int y = 0; y < s.h; ++y) {
    const double dy = (y - r) / (r + 0.5);
    const int half = int(std::floor((s.w / 2) * std::sqrt(std::max(0.0, 1 - dy * dy)) + 0.5));
    for (int x = 0; x < s.w; ++x) m[size_t(y) * s.w + x] = std::abs(x - s.w / 2) <= half;
  }
#endif
  return m;
}

using SizeFn = Status (*)(ImageSize, ImageSize, int32_t*, int32_t*);
using InitFn = Status (*)(ImageSize, const uint8_t*, ImageSize, void*, uint8_t*);

// State and buffer for one mask at 1920 wide, built outside the timed loop.
template <class State, class GetSize, class Init>
struct Prepared {
  Prepared(GetSize get, Init init, const Shape& s) {
    const std::vector<uint8_t> m = mask_of(s);
    int32_t ss = 0, bs = 0;
    get(ImageSize{kW, kH}, ImageSize{s.w, s.h}, &ss, &bs);
    spec.resize(size_t(ss));
    buf.resize(size_t(bs));
    init(ImageSize{kW, kH}, m.data(), ImageSize{s.w, s.h}, state(), buf.data());
  }
  State* state() { return reinterpret_cast<State*>(spec.data()); }
  std::vector<uint8_t> spec, buf;
};

template <class Body>
void reg(const std::string& name, int64_t bytes, Body body) {
  benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& st) mutable {
    zuv::bench::set_threads(1);
    body(st);
    st.SetBytesProcessed(int64_t(st.iterations()) * bytes);
    zuv::bench::set_threads(0);
  })->Unit(benchmark::kMillisecond);
}

void register_all() {
  const std::string tail = "/1920x1080/1";
  const int64_t px = int64_t(kW) * kH;
  const ImageSize roi{kW, kH};

  // Erosion and dilation.
  for (const Shape& s : {Shape{3, 3, false}, Shape{5, 5, false}, Shape{11, 11, false},
                         Shape{21, 21, false}, Shape{5, 5, true}}) {
    reg("Erode/8u_C1/" + s.name() + tail, 2 * px, [=](benchmark::State& st) {
      Prepared<MorphState, decltype(&zuviMorphologyBorderGetSize_8u_C1R), decltype(&zuviMorphologyBorderInit_8u_C1R)>
          p(zuviMorphologyBorderGetSize_8u_C1R, zuviMorphologyBorderInit_8u_C1R, s);
      Image<uint8_t> a(kW, kH, 1, 1), d(kW, kH, 1, 2);
      for (auto _ : st)
        zuviErodeBorder_8u_C1R(a.ptr(), a.step, d.ptr(), d.step, roi, BorderRepl, 0, p.state(), p.buf.data());
    });
    reg("Dilate/8u_C1/" + s.name() + tail, 2 * px, [=](benchmark::State& st) {
      Prepared<MorphState, decltype(&zuviMorphologyBorderGetSize_8u_C1R), decltype(&zuviMorphologyBorderInit_8u_C1R)>
          p(zuviMorphologyBorderGetSize_8u_C1R, zuviMorphologyBorderInit_8u_C1R, s);
      Image<uint8_t> a(kW, kH, 1, 1), d(kW, kH, 1, 2);
      for (auto _ : st)
        zuviDilateBorder_8u_C1R(a.ptr(), a.step, d.ptr(), d.step, roi, BorderRepl, 0, p.state(), p.buf.data());
    });
  }
  {
    const Shape s{3, 3, false};
    reg("Erode/32f_C1/" + s.name() + tail, 8 * px, [=](benchmark::State& st) {
      Prepared<MorphState, decltype(&zuviMorphologyBorderGetSize_32f_C1R), decltype(&zuviMorphologyBorderInit_32f_C1R)>
          p(zuviMorphologyBorderGetSize_32f_C1R, zuviMorphologyBorderInit_32f_C1R, s);
      Image<float> a(kW, kH, 1, 1), d(kW, kH, 1, 2);
      for (auto _ : st)
        zuviErodeBorder_32f_C1R(a.ptr(), a.step, d.ptr(), d.step, roi, BorderRepl, p.state(), p.buf.data(), 0.f);
    });
  }
  {
    const Shape s{5, 5, false};
    reg("Erode/8u_C3/" + s.name() + tail, 6 * px, [=](benchmark::State& st) {
      Prepared<MorphState, decltype(&zuviMorphologyBorderGetSize_8u_C3R), decltype(&zuviMorphologyBorderInit_8u_C3R)>
          p(zuviMorphologyBorderGetSize_8u_C3R, zuviMorphologyBorderInit_8u_C3R, s);
      Image<uint8_t> a(kW, kH, 3, 1), d(kW, kH, 3, 2);
      const uint8_t v[3] = {0, 0, 0};
      for (auto _ : st)
        zuviErodeBorder_8u_C3R(a.ptr(), a.step, d.ptr(), d.step, roi, BorderRepl, v, p.state(), p.buf.data());
    });
  }

  {
    // Bit-packed, 8 pixels a byte.
    const Shape s{3, 3, false};
    reg("Erode/1u_C1/" + s.name() + tail, px / 4, [=](benchmark::State& st) {
      Prepared<MorphState, decltype(&zuviMorphologyBorderGetSize_1u_C1R), decltype(&zuviMorphologyBorderInit_1u_C1R)>
          p(zuviMorphologyBorderGetSize_1u_C1R, zuviMorphologyBorderInit_1u_C1R, s);
      Image<uint8_t> a(kW / 8, kH, 1, 1), d(kW / 8, kH, 1, 2);
      for (auto _ : st)
        zuviErodeBorder_1u_C1R(a.ptr(), a.step, 0, d.ptr(), d.step, 0, roi, BorderRepl, 0, p.state(), p.buf.data());
    });
  }

  // Compound operations, 8u C1 with a full 5x5 mask.
  {
    const Shape s{5, 5, false};
    using Fn = Status (*)(const uint8_t*, int, uint8_t*, int, ImageSize, BorderType, uint8_t,
                          const MorphAdvState*, uint8_t*);
    const std::pair<const char*, Fn> ops[] = {{"open", zuviMorphOpenBorder_8u_C1R},
                                              {"close", zuviMorphCloseBorder_8u_C1R},
                                              {"gradient", zuviMorphGradientBorder_8u_C1R},
                                              {"tophat", zuviMorphTophatBorder_8u_C1R}};
    for (const auto& [what, fn] : ops) {
      reg(std::string("MorphAdv/") + what + "_8u_C1/" + s.name() + tail, 2 * px, [=](benchmark::State& st) {
        Prepared<MorphAdvState, decltype(&zuviMorphAdvGetSize_8u_C1R), decltype(&zuviMorphAdvInit_8u_C1R)>
            p(zuviMorphAdvGetSize_8u_C1R, zuviMorphAdvInit_8u_C1R, s);
        Image<uint8_t> a(kW, kH, 1, 1), d(kW, kH, 1, 2);
        for (auto _ : st) fn(a.ptr(), a.step, d.ptr(), d.step, roi, BorderRepl, 0, p.state(), p.buf.data());
      });
    }
  }

#ifdef ZUV_HAVE_OPENCV
  // Each OpenCV case is named after ours with "/opencv" appended.
  auto cv_case = [&](const std::string& name, int64_t bytes, int type, const Shape& s, auto fn) {
    reg(name + "/" + s.name() + tail + "/opencv", bytes, [=](benchmark::State& st) {
      cv::setNumThreads(1);
      cv::Mat a(kH, kW, type), d(kH, kW, type);
      cv::randu(a, 0, 256);
      const cv::Mat k = cv::getStructuringElement(s.ellipse ? cv::MORPH_ELLIPSE : cv::MORPH_RECT,
                                                  cv::Size(s.w, s.h));
      for (auto _ : st) fn(a, d, k);
    });
  };
  for (const Shape& s : {Shape{3, 3, false}, Shape{5, 5, false}, Shape{11, 11, false},
                         Shape{21, 21, false}, Shape{5, 5, true}}) {
    cv_case("Erode/8u_C1", 2 * px, CV_8UC1, s, [](cv::Mat& a, cv::Mat& d, const cv::Mat& k) {
      cv::erode(a, d, k, cv::Point(-1, -1), 1, cv::BORDER_REPLICATE);
    });
    cv_case("Dilate/8u_C1", 2 * px, CV_8UC1, s, [](cv::Mat& a, cv::Mat& d, const cv::Mat& k) {
      cv::dilate(a, d, k, cv::Point(-1, -1), 1, cv::BORDER_REPLICATE);
    });
  }
  const std::pair<const char*, int> cv_ops[] = {{"open", cv::MORPH_OPEN}, {"close", cv::MORPH_CLOSE},
                                                 {"gradient", cv::MORPH_GRADIENT}, {"tophat", cv::MORPH_TOPHAT}};
  for (const auto& [what, op] : cv_ops) {
    const int o = op;
    cv_case(std::string("MorphAdv/") + what + "_8u_C1", 2 * px, CV_8UC1, Shape{5, 5, false},
            [o](cv::Mat& a, cv::Mat& d, const cv::Mat& k) {
              cv::morphologyEx(a, d, o, k, cv::Point(-1, -1), 1, cv::BORDER_REPLICATE);
            });
  }
  cv_case("Erode/32f_C1", 8 * px, CV_32FC1, Shape{3, 3, false}, [](cv::Mat& a, cv::Mat& d, const cv::Mat& k) {
    cv::erode(a, d, k, cv::Point(-1, -1), 1, cv::BORDER_REPLICATE);
  });
  cv_case("Erode/8u_C3", 6 * px, CV_8UC3, Shape{5, 5, false}, [](cv::Mat& a, cv::Mat& d, const cv::Mat& k) {
    cv::erode(a, d, k, cv::Point(-1, -1), 1, cv::BORDER_REPLICATE);
  });
#endif
}

const int registered = (register_all(), 0);

}  // namespace
