// SPDX-License-Identifier: BSD-3-Clause
// Fixed-kernel filters (cross derivative, Laplacian, box lowpass), beside OpenCV with replicated borders.
#include <string>
#include <type_traits>
#include <vector>

#include "bench_util.h"
#include "filter/fixed.h"

#ifdef ZUV_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

using zuv::bench::Image;
using zuv::derivative::Kind;

// A replicated-border call; the float forms take their border value last.
template <class Td>
Status call(Status (*f)(const uint8_t*, int, Td*, int, ImageSize, MaskSize, BorderType, uint8_t, uint8_t*),
            const uint8_t* s, int ss, Td* d, int ds, ImageSize roi, int mask, uint8_t* buf) {
  return f(s, ss, d, ds, roi, mask, BorderRepl, 0, buf);
}
Status call(Status (*f)(const float*, int, float*, int, ImageSize, MaskSize, BorderType, uint8_t*, float),
            const float* s, int ss, float* d, int ds, ImageSize roi, int mask, uint8_t* buf) {
  return f(s, ss, d, ds, roi, mask, BorderRepl, buf, 0.f);
}

// The buffer query that belongs to a filter.
int buffer_bytes(Kind kind, bool isFloat, ImageSize roi, int mask) {
  int bytes = 0;
#define X(name, kd, Ts, Td) \
  if (Kind::kd == kind && std::is_same_v<Ts, float> == isFloat) name(roi, mask, &bytes);
  ZUV_FIXED_QUERY_TABLE(X)
#undef X
  return bytes;
}

void register_all() {
  for (const auto& sz : zuv::bench::kSizes) {
    for (int threads : {1, 2}) {
      const std::string tail = std::string("/") + sz.name + "/" + std::to_string(threads);
      const int w = sz.w, h = sz.h;
      const int64_t px = int64_t(w) * h;
      for (int mask : {33, 55}) {
        const std::string m = mask == 33 ? "/3x3" : "/5x5";
#define X(name, kind, Ts, Td)                                                                    \
  benchmark::RegisterBenchmark((std::string(#kind "/") + #name + m + tail).c_str(),              \
                               [=](benchmark::State& st) {                                       \
                                 zuv::bench::set_threads(threads);                               \
                                 Image<Ts> s(w, h, 1, 1);                                        \
                                 Image<Td> d(w, h, 1, 2);                                        \
                                 std::vector<uint8_t> buf(size_t(                                \
                                     buffer_bytes(Kind::kind, std::is_same_v<Ts, float>, s.roi(), mask))); \
                                 for (auto _ : st)                                               \
                                   benchmark::DoNotOptimize(call(name, s.ptr(), s.step, d.ptr(), d.step, \
                                                                 s.roi(), mask, buf.data()));    \
                                 st.SetBytesProcessed(int64_t(st.iterations()) * px * int64_t(sizeof(Ts) + sizeof(Td))); \
                                 zuv::bench::set_threads(0);                                     \
                               })->Unit(benchmark::kMillisecond);
        ZUV_FIXED_TABLE(X)
#undef X
      }
#ifdef ZUV_HAVE_OPENCV
      auto cv_case = [&](const std::string& what, int dtype, int64_t bytes, auto fn) {
        // Named after our case with "/opencv" appended.
        benchmark::RegisterBenchmark((what + tail + "/opencv").c_str(), [=](benchmark::State& st) {
          cv::setNumThreads(threads);
          cv::Mat s(h, w, CV_8UC1), d(h, w, dtype);
          cv::randu(s, 0, 256);
          for (auto _ : st) fn(s, d);
          st.SetBytesProcessed(int64_t(st.iterations()) * bytes);
        })->Unit(benchmark::kMillisecond);
      };
      cv_case("SobelCross/zuviFilterSobelCrossBorder_8u16s_C1R/3x3", CV_16S, px * 3, [](cv::Mat& s, cv::Mat& d) {
        cv::Sobel(s, d, CV_16S, 1, 1, 3, 1, 0, cv::BORDER_REPLICATE);
      });
      cv_case("SobelCross/zuviFilterSobelCrossBorder_8u16s_C1R/5x5", CV_16S, px * 3, [](cv::Mat& s, cv::Mat& d) {
        cv::Sobel(s, d, CV_16S, 1, 1, 5, 1, 0, cv::BORDER_REPLICATE);
      });
      for (int k : {3, 5}) {
        const std::string m = k == 3 ? "/3x3" : "/5x5";
        cv_case("Laplacian/zuviFilterLaplacianBorder_8u16s_C1R" + m, CV_16S, px * 3, [k](cv::Mat& s, cv::Mat& d) {
          cv::Laplacian(s, d, CV_16S, k, 1, 0, cv::BORDER_REPLICATE);
        });
        cv_case("Lowpass/zuviFilterLowpassBorder_8u_C1R" + m, CV_8U, px * 2, [k](cv::Mat& s, cv::Mat& d) {
          cv::blur(s, d, cv::Size(k, k), cv::Point(-1, -1), cv::BORDER_REPLICATE);
        });
      }
#endif
    }
  }
}

const int registered = (register_all(), 0);

}  // namespace
