// SPDX-License-Identifier: BSD-3-Clause
// Masked norms, norms of differences and relative norms, beside OpenCV's masked norm.
#include <string>
#include <type_traits>

#include "arith/norm.h"
#include "bench_util.h"

#ifdef ZUV_HAVE_OPENCV
#include <opencv2/core.hpp>
#endif

namespace {

using zuv::bench::Image;
using zuv::norm::Kind;
using zuv::norm::Norm;

// Nearly every pixel selected (one in 16 left out), as in a typical region mask.
constexpr int kMaskPeriod = 16;

template <class T>
struct Inputs {
  Inputs(int w, int h, int c) : a(w, h, c, 1), b(w, h, c, 2), m(w, h, 1, 3) {
    for (size_t i = 0; i < m.count; ++i) m.ptr()[i] = m.ptr()[i] % kMaskPeriod ? 1 : 0;
  }
  Image<T> a, b;
  Image<uint8_t> m;
};

template <Kind kind, int C, class T, class Fn>
Status call(Fn fn, Inputs<T>& in, double* out) {
  if constexpr (kind == Kind::Plain && C == 1) return fn(in.a.ptr(), in.a.step, in.m.ptr(), in.m.step, in.a.roi(), out);
  else if constexpr (kind == Kind::Plain) return fn(in.a.ptr(), in.a.step, in.m.ptr(), in.m.step, in.a.roi(), 2, out);
  else if constexpr (C == 1)
    return fn(in.a.ptr(), in.a.step, in.b.ptr(), in.b.step, in.m.ptr(), in.m.step, in.a.roi(), out);
  else return fn(in.a.ptr(), in.a.step, in.b.ptr(), in.b.step, in.m.ptr(), in.m.step, in.a.roi(), 2, out);
}

// Registers one member and, with OpenCV, cv::norm on the same data as
// "<case>/opencv". OpenCV has no channel of interest: its three-channel case
// measures all channels (the rows read are the same).
template <Kind kind, Norm norm, class T, int C, class Fn>
void reg(const std::string& name, Fn fn, int w, int h, int threads) {
  const int sources = kind == Kind::Plain ? 1 : 2;
  const int64_t bytes = int64_t(w) * h * (int64_t(C) * int64_t(sizeof(T)) * sources + 1);
  benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& st) {
    Inputs<T> in(w, h, C);
    double r = 0;
    zuv::bench::set_threads(threads);
    for (auto _ : st) benchmark::DoNotOptimize(call<kind, C>(fn, in, &r));
    zuv::bench::set_threads(0);
    st.SetBytesProcessed(int64_t(st.iterations()) * bytes);
  })->Unit(benchmark::kMicrosecond);
#ifdef ZUV_HAVE_OPENCV
  const int depth = std::is_same_v<T, uint8_t> ? CV_8U : std::is_same_v<T, uint16_t> ? CV_16U : CV_32F;
  const int flag = (norm == Norm::Inf ? cv::NORM_INF : norm == Norm::L1 ? cv::NORM_L1 : cv::NORM_L2) |
                   (kind == Kind::Rel ? cv::NORM_RELATIVE : 0);
  benchmark::RegisterBenchmark((name + "/opencv").c_str(), [=](benchmark::State& st) {
    cv::setNumThreads(threads);
    cv::Mat a(h, w, CV_MAKETYPE(depth, C)), b(h, w, CV_MAKETYPE(depth, C)), m(h, w, CV_8UC1);
    cv::randu(a, 0, 256);
    cv::randu(b, 0, 256);
    cv::randu(m, 0, kMaskPeriod);
    for (auto _ : st) {
      const double r = sources == 1 ? cv::norm(a, flag, m) : cv::norm(a, b, flag, m);
      benchmark::DoNotOptimize(r);
    }
    st.SetBytesProcessed(int64_t(st.iterations()) * bytes);
  })->Unit(benchmark::kMicrosecond);
#endif
}

void register_all() {
  for (const auto& sz : zuv::bench::kSizes)
    for (int threads : {1, 2}) {
      const std::string tail = std::string("/") + sz.name + "/" + std::to_string(threads);
#define X(name, kind, nrm, T, C, k) \
  reg<Kind::kind, Norm::nrm, T, C>(std::string("Norm/") + #name + tail, &name, sz.w, sz.h, threads);
      ZUV_NORM_TABLE(X)
#undef X
    }
}

const int registered = (register_all(), 0);

}  // namespace
