// SPDX-License-Identifier: BSD-3-Clause
// Accumulation and absolute difference, beside OpenCV where it has the operation.
#include <string>

#include "arith/accumulate.h"
#include "bench_util.h"

#ifdef ZUV_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

using zuv::bench::Image;

// Bytes each call moves: sources and mask read, accumulator read and written.
template <class T, class Call>
void run(benchmark::State& st, int threads, int64_t bytes_per_px, Call&& call) {
  zuv::bench::set_threads(threads);
  for (auto _ : st) benchmark::DoNotOptimize(call());
  st.SetBytesProcessed(int64_t(st.iterations()) * bytes_per_px);
  zuv::bench::set_threads(0);
}

template <class T>
struct Inputs {
  Inputs(int w, int h) : s1(w, h, 1, 1), s2(w, h, 1, 2), m(w, h, 1, 3), a(w, h, 1, 4) {}
  Image<T> s1, s2;
  Image<uint8_t> m;
  Image<float> a;
};

void register_all() {
  for (const auto& sz : zuv::bench::kSizes) {
    const int64_t px = int64_t(sz.w) * sz.h;
    for (int threads : {1, 2}) {
      const std::string tail = std::string("/") + sz.name + "/" + std::to_string(threads);
      const int w = sz.w, h = sz.h;
#define REG(name, T, srcs, masked, expr)                                                         \
  benchmark::RegisterBenchmark((std::string("Accumulate/") + #name + tail).c_str(),              \
                               [=](benchmark::State& st) {                                       \
                                 Inputs<T> in(w, h);                                             \
                                 run<T>(st, threads, px * (srcs * int64_t(sizeof(T)) + masked + 8), \
                                        [&] { return expr; });                                   \
                               })->Unit(benchmark::kMillisecond);
#define X(name, op, T) REG(name, T, 1, 0, name(in.s1.ptr(), in.s1.step, in.a.ptr(), in.a.step, in.a.roi()))
      ZUV_ACC1_TABLE(X)
#undef X
#define X(name, op, T) REG(name, T, 1, 1, name(in.s1.ptr(), in.s1.step, in.m.ptr(), in.m.step, in.a.ptr(), in.a.step, in.a.roi()))
      ZUV_ACC1M_TABLE(X)
#undef X
#define X(name, op, T) REG(name, T, 2, 0, name(in.s1.ptr(), in.s1.step, in.s2.ptr(), in.s2.step, in.a.ptr(), in.a.step, in.a.roi()))
      ZUV_ACC2_TABLE(X)
#undef X
#define X(name, op, T) REG(name, T, 2, 1, name(in.s1.ptr(), in.s1.step, in.s2.ptr(), in.s2.step, in.m.ptr(), in.m.step, in.a.ptr(), in.a.step, in.a.roi()))
      ZUV_ACC2M_TABLE(X)
#undef X
#define X(name, op, T) REG(name, T, 1, 0, name(in.s1.ptr(), in.s1.step, in.a.ptr(), in.a.step, in.a.roi(), 0.25f))
      ZUV_ACCW_TABLE(X)
#undef X
#define X(name, op, T) REG(name, T, 1, 1, name(in.s1.ptr(), in.s1.step, in.m.ptr(), in.m.step, in.a.ptr(), in.a.step, in.a.roi(), 0.25f))
      ZUV_ACCWM_TABLE(X)
#undef X
      REG(zuviAddWeighted_32f_C1R, float, 2, -4,
          zuviAddWeighted_32f_C1R(in.s1.ptr(), in.s1.step, in.s2.ptr(), in.s2.step, in.a.ptr(), in.a.step, in.a.roi(), 0.25f))
#define X(name, T, C)                                                                          \
  benchmark::RegisterBenchmark((std::string("AbsDiff/") + #name + tail).c_str(),                \
                               [=](benchmark::State& st) {                                      \
                                 Image<T> a(w, h, C, 1), b(w, h, C, 2), d(w, h, C, 3);          \
                                 run<T>(st, threads, px * 3 * C * int64_t(sizeof(T)), [&] {     \
                                   return name(a.ptr(), a.step, b.ptr(), b.step, d.ptr(), d.step, \
                                               a.roi());                                         \
                                 });                                                             \
                               })->Unit(benchmark::kMillisecond);
      ZUV_ABSDIFF_TABLE(X)
#undef X
#define X(name, T, V)                                                                          \
  benchmark::RegisterBenchmark((std::string("AbsDiff/") + #name + tail).c_str(),                \
                               [=](benchmark::State& st) {                                      \
                                 Image<T> a(w, h, 1, 1), d(w, h, 1, 3);                         \
                                 run<T>(st, threads, px * 2 * int64_t(sizeof(T)), [&] {         \
                                   return name(a.ptr(), a.step, d.ptr(), d.step, a.roi(), V(9)); \
                                 });                                                             \
                               })->Unit(benchmark::kMillisecond);
      ZUV_ABSDIFFC_TABLE(X)
#undef X
#undef REG

#ifdef ZUV_HAVE_OPENCV
      // OpenCV counterparts (it does not thread these), named after our case plus "/opencv".
      struct Mats {
        Mats(int w, int h)
            : s1(h, w, CV_8UC1), s2(h, w, CV_8UC1), m(h, w, CV_8UC1), a(h, w, CV_32FC1),
              f(h, w, CV_32FC1), u(h, w, CV_16UC1), c3a(h, w, CV_8UC3), c3b(h, w, CV_8UC3),
              d3(h, w, CV_8UC3), d(h, w, CV_8UC1) {
          cv::randu(s1, 0, 256); cv::randu(s2, 0, 256); cv::randu(m, 0, 256);
          cv::randu(f, 0, 256); cv::randu(u, 0, 65536); a = 0.f;
          cv::randu(c3a, 0, 256); cv::randu(c3b, 0, 256);
        }
        cv::Mat s1, s2, m, a, f, u, c3a, c3b, d3, d;
      };
      auto cv_case = [&](const char* ours, const char* family, int64_t bytes, void (*fn)(Mats&)) {
        benchmark::RegisterBenchmark((std::string(family) + "/" + ours + tail + "/opencv").c_str(),
                                     [=](benchmark::State& st) {
                                       cv::setNumThreads(threads);
                                       Mats in(w, h);
                                       for (auto _ : st) fn(in);
                                       st.SetBytesProcessed(int64_t(st.iterations()) * bytes);
                                     })->Unit(benchmark::kMillisecond);
      };
      cv_case("zuviAdd_8u32f_C1IR", "Accumulate", px * 9, [](Mats& c) { cv::accumulate(c.s1, c.a); });
      cv_case("zuviAdd_16u32f_C1IR", "Accumulate", px * 10, [](Mats& c) { cv::accumulate(c.u, c.a); });
      cv_case("zuviAdd_32f_C1IMR", "Accumulate", px * 13, [](Mats& c) { cv::accumulate(c.f, c.a, c.m); });
      cv_case("zuviAddSquare_8u32f_C1IR", "Accumulate", px * 9, [](Mats& c) { cv::accumulateSquare(c.s1, c.a); });
      cv_case("zuviAddSquare_32f_C1IR", "Accumulate", px * 12, [](Mats& c) { cv::accumulateSquare(c.f, c.a); });
      cv_case("zuviAddProduct_8u32f_C1IR", "Accumulate", px * 10, [](Mats& c) { cv::accumulateProduct(c.s1, c.s2, c.a); });
      cv_case("zuviAddWeighted_8u32f_C1IR", "Accumulate", px * 9, [](Mats& c) { cv::accumulateWeighted(c.s1, c.a, 0.25); });
      cv_case("zuviAddWeighted_32f_C1IR", "Accumulate", px * 12, [](Mats& c) { cv::accumulateWeighted(c.f, c.a, 0.25); });
      cv_case("zuviAbsDiff_8u_C1R", "AbsDiff", px * 3, [](Mats& c) { cv::absdiff(c.s1, c.s2, c.d); });
      cv_case("zuviAbsDiff_8u_C3R", "AbsDiff", px * 9, [](Mats& c) { cv::absdiff(c.c3a, c.c3b, c.d3); });
#endif
    }
  }
}

const int registered = (register_all(), 0);

}  // namespace
