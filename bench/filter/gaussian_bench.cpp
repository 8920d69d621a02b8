// SPDX-License-Identifier: BSD-3-Clause
// Gaussian filter, beside OpenCV's GaussianBlur with replicated borders.
#include <string>
#include <type_traits>
#include <vector>

#include "bench_util.h"
#include "filter/gaussian.h"

#ifdef ZUV_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

using zuv::bench::Image;

constexpr float kSigma(int k) { return 0.3f * (float(k - 1) * 0.5f - 1.f) + 0.8f; }

template <class T, int C, class F>
void run(benchmark::State& st, F f, int w, int h, int k, int threads) {
  zuv::bench::set_threads(threads);
  Image<T> s(w, h, C, 1), d(w, h, C, 2);
  int specBytes = 0, bufBytes = 0;
  zuviFilterGaussianGetBufferSize(s.roi(), k, std::is_same_v<T, float> ? DataType32f : DataType8u, C,
                                  &specBytes, &bufBytes);
  std::vector<uint8_t> spec(static_cast<size_t>(specBytes) + 64), buf(static_cast<size_t>(bufBytes));
  GaussianSpec* sp = reinterpret_cast<GaussianSpec*>(spec.data());
  zuviFilterGaussianInit(s.roi(), k, BorderRepl, std::is_same_v<T, float> ? DataType32f : DataType8u, C,
                         sp, buf.data(), kSigma(k));
  const T value[3] = {};
  for (auto _ : st) {
    if constexpr (C == 3)
      benchmark::DoNotOptimize(f(s.ptr(), s.step, d.ptr(), d.step, s.roi(), value, sp, buf.data()));
    else if constexpr (std::is_same_v<T, float>)
      benchmark::DoNotOptimize(f(s.ptr(), s.step, d.ptr(), d.step, s.roi(), sp, buf.data(), 0.f));
    else
      benchmark::DoNotOptimize(f(s.ptr(), s.step, d.ptr(), d.step, s.roi(), T(0), sp, buf.data()));
  }
  st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(w) * h * C * 2 * int64_t(sizeof(T)));
  zuv::bench::set_threads(0);
}

void register_all() {
  for (const auto& sz : zuv::bench::kSizes) {
    for (int threads : {1, 2}) {
      const std::string tail = std::string("/") + sz.name + "/" + std::to_string(threads);
      const int w = sz.w, h = sz.h;
      for (int k : {5, 11}) {
        const std::string ks = "/k" + std::to_string(k);
        benchmark::RegisterBenchmark(("Gaussian/zuviFilterGaussianBorder_8u_C1R" + ks + tail).c_str(),
                                     [=](benchmark::State& st) { run<uint8_t, 1>(st, zuviFilterGaussianBorder_8u_C1R, w, h, k, threads); })
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("Gaussian/zuviFilterGaussianBorder_8u_C3R" + ks + tail).c_str(),
                                     [=](benchmark::State& st) { run<uint8_t, 3>(st, zuviFilterGaussianBorder_8u_C3R, w, h, k, threads); })
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("Gaussian/zuviFilterGaussianBorder_32f_C1R" + ks + tail).c_str(),
                                     [=](benchmark::State& st) { run<float, 1>(st, zuviFilterGaussianBorder_32f_C1R, w, h, k, threads); })
            ->Unit(benchmark::kMillisecond);
#ifdef ZUV_HAVE_OPENCV
        for (int type : {CV_8UC1, CV_8UC3, CV_32FC1}) {
          const std::string name = type == CV_8UC1 ? "8u_C1" : (type == CV_8UC3 ? "8u_C3" : "32f_C1");
          benchmark::RegisterBenchmark(("Gaussian/zuviFilterGaussianBorder_" + name + "R" + ks + tail + "/opencv").c_str(), [=](benchmark::State& st) {
            cv::setNumThreads(threads);
            cv::Mat s(h, w, type), d(h, w, type);
            cv::randu(s, 0, 256);
            for (auto _ : st)
              cv::GaussianBlur(s, d, cv::Size(k, k), kSigma(k), kSigma(k), cv::BORDER_REPLICATE);
            st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(w) * h * 2 * int64_t(s.elemSize()));
          })->Unit(benchmark::kMillisecond);
        }
#endif
      }
    }
  }
}

const int registered = (register_all(), 0);

}  // namespace
