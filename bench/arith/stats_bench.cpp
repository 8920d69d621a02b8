// SPDX-License-Identifier: BSD-3-Clause
// Mean, deviation and extrema, beside OpenCV's mean, meanStdDev and minMaxLoc.
#include <string>

#include "arith/stats.h"
#include "bench_util.h"

#ifdef ZUV_HAVE_OPENCV
#include <opencv2/core.hpp>
#endif

namespace {

using zuv::bench::Image;
using zuv::stats::Layout;

template <Layout L, class F, class T, class... Out>
Status call(F f, Image<T>& s, Image<uint8_t>& m, Out... out) {
  if constexpr (L == Layout::C1R) return f(s.ptr(), s.step, s.roi(), out...);
  else if constexpr (L == Layout::C1MR) return f(s.ptr(), s.step, m.ptr(), m.step, s.roi(), out...);
  else if constexpr (L == Layout::C3CR) return f(s.ptr(), s.step, s.roi(), 2, out...);
  else return f(s.ptr(), s.step, m.ptr(), m.step, s.roi(), 2, out...);
}

// Bytes read per call: the source (all channels) and the mask.
template <class T, Layout L, class Call>
void reg(const std::string& name, int w, int h, int threads, Call fn) {
  const int c = zuv::stats::channels(L);
  const int64_t bytes = int64_t(w) * h * (c * int64_t(sizeof(T)) + (zuv::stats::masked(L) ? 1 : 0));
  benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& st) {
    Image<T> s(w, h, c, 1);
    Image<uint8_t> m(w, h, 1, 2);
    zuv::bench::set_threads(threads);
    for (auto _ : st) benchmark::DoNotOptimize(fn(s, m));
    st.SetBytesProcessed(int64_t(st.iterations()) * bytes);
    zuv::bench::set_threads(0);
  })->Unit(benchmark::kMicrosecond);
}

void register_all() {
  for (const auto& sz : zuv::bench::kSizes) {
    for (int threads : {1, 2}) {
      const std::string tail = std::string("/") + sz.name + "/" + std::to_string(threads);
      const int w = sz.w, h = sz.h;
#define X(name, T, L, thr, even)                                                       \
  reg<T, Layout::L>(std::string("Stats/") + #name + tail, w, h, threads,               \
                    [](Image<T>& s, Image<uint8_t>& m) {                               \
                      double mean;                                                     \
                      return call<Layout::L>(&name, s, m, &mean);                      \
                    });
      ZUV_MEAN_TABLE(X)
#undef X
#define X(name, T, L, thr, even)                                                       \
  reg<T, Layout::L>(std::string("Stats/") + #name + tail, w, h, threads,               \
                    [](Image<T>& s, Image<uint8_t>& m) {                               \
                      double mean, dev;                                                \
                      return call<Layout::L>(&name, s, m, &mean, &dev);                \
                    });
      ZUV_MEAN_STDDEV_TABLE(X)
#undef X
#define X(name, T, L, thr, even)                                                       \
  reg<T, Layout::L>(std::string("Stats/") + #name + tail, w, h, threads,               \
                    [](Image<T>& s, Image<uint8_t>& m) {                               \
                      float a, b;                                                      \
                      ImagePoint pa, pb;                                               \
                      return call<Layout::L>(&name, s, m, &a, &b, &pa, &pb);           \
                    });
      ZUV_MINMAX_TABLE(X)
#undef X

#ifdef ZUV_HAVE_OPENCV
      // OpenCV counterparts, named after our case plus "/opencv". Its
      // three-channel forms reduce every channel, ours the chosen one; it
      // has no extrema of one channel of three.
      auto cv_case = [&](const std::string& ours, int type, bool masked, auto fn) {
        const int64_t bytes = int64_t(w) * h * (CV_ELEM_SIZE(type) + (masked ? 1 : 0));
        benchmark::RegisterBenchmark(("Stats/" + ours + tail + "/opencv").c_str(), [=](benchmark::State& st) {
          cv::setNumThreads(threads);
          cv::Mat s(h, w, type), m(h, w, CV_8UC1);
          cv::randu(s, 0, 256);
          cv::randu(m, 0, 256);
          for (auto _ : st) fn(s, m);
          st.SetBytesProcessed(int64_t(st.iterations()) * bytes);
        })->Unit(benchmark::kMicrosecond);
      };
      const struct { const char* name; int c1, c3; } types[] = {
          {"8u", CV_8UC1, CV_8UC3}, {"16u", CV_16UC1, CV_16UC3}, {"32f", CV_32FC1, CV_32FC3}};
      for (const auto& t : types) {
        const std::string ty = std::string(t.name) + "_";
        auto mean = [](cv::Mat& s, cv::Mat& m) { benchmark::DoNotOptimize(cv::mean(s, m)); };
        auto msd = [](cv::Mat& s, cv::Mat&) {
          cv::Scalar a, b;
          cv::meanStdDev(s, a, b);
          benchmark::DoNotOptimize(a);
        };
        auto msd_mask = [](cv::Mat& s, cv::Mat& m) {
          cv::Scalar a, b;
          cv::meanStdDev(s, a, b, m);
          benchmark::DoNotOptimize(a);
        };
        auto mml = [](cv::Mat& s, cv::Mat&) {
          double a, b;
          cv::Point pa, pb;
          cv::minMaxLoc(s, &a, &b, &pa, &pb);
          benchmark::DoNotOptimize(a);
        };
        auto mml_mask = [](cv::Mat& s, cv::Mat& m) {
          double a, b;
          cv::Point pa, pb;
          cv::minMaxLoc(s, &a, &b, &pa, &pb, m);
          benchmark::DoNotOptimize(a);
        };
        cv_case("zuviMean_" + ty + "C1MR", t.c1, true, mean);
        cv_case("zuviMean_" + ty + "C3CMR", t.c3, true, mean);
        cv_case("zuviMean_StdDev_" + ty + "C1R", t.c1, false, msd);
        cv_case("zuviMean_StdDev_" + ty + "C1MR", t.c1, true, msd_mask);
        cv_case("zuviMean_StdDev_" + ty + "C3CR", t.c3, false, msd);
        cv_case("zuviMean_StdDev_" + ty + "C3CMR", t.c3, true, msd_mask);
        cv_case("zuviMinMaxIndx_" + ty + "C1R", t.c1, false, mml);
        cv_case("zuviMinMaxIndx_" + ty + "C1MR", t.c1, true, mml_mask);
      }
#endif
    }
  }
}

const int registered = (register_all(), 0);

}  // namespace
