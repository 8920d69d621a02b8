// SPDX-License-Identifier: BSD-3-Clause
// Separable filters driven through the row and column pipelines, beside OpenCV's sepFilter2D.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "bench_util.h"
#include "filter/pipeline.h"

#ifdef ZUV_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

using zuv::bench::Image;

// Integer taps of a binomial-like kernel summing to 64 (k = 5 or 11).
std::vector<int16_t> int_taps(int k) {
  if (k == 5) return {4, 16, 24, 16, 4};
  return {1, 2, 4, 7, 10, 16, 10, 7, 4, 2, 1};
}

// A replicated-border separable filter S -> M (rows) -> D (columns), run in
// bands of output rows: each band row-filters the distinct source rows it
// needs into a scratch block, then the column pass reads them through row
// pointers that repeat the edge rows at the top and bottom of the image.
template <class S, class M, class D>
struct SepFilter {
  using RowTap = zuv::pipeline::tap_t<S>;
  using ColTap = zuv::pipeline::tap_t<M>;

  SepFilter(int width, int height, std::vector<RowTap> rowTaps, std::vector<ColTap> colTaps,
            int rowDiv, int colDiv, int band)
      : w(width), h(height), k(int(rowTaps.size())), a(k / 2), bandRows(std::min(band, height)),
        kr(std::move(rowTaps)), kc(std::move(colTaps)), rowDivisor(rowDiv), colDivisor(colDiv),
        pitch((size_t(width) * sizeof(M) + 63) / 64 * 64 / sizeof(M)),
        inter(static_cast<M*>(zuvMalloc(int64_t(bandRows + k - 1) * int64_t(pitch * sizeof(M)))), &zuvFree),
        rowPtrs(size_t(bandRows + k - 1)),
        colPtrs(size_t(bandRows + k - 1)) {
    int rs = 0, cs = 0;
    query_sizes(&rs, &cs);
    rowBuf.resize(size_t(rs));
    colBuf.resize(size_t(cs));
  }

  void query_sizes(int* rs, int* cs) {
    const ImageSize roi{w, bandRows + k - 1};
    if constexpr (std::is_same_v<S, float>) {
      zuviFilterRowBorderPipelineGetBufferSize_32f_C1R(roi, k, rs);
      zuviFilterColumnPipelineGetBufferSize_32f_C1R(roi, k, cs);
    } else {
      zuviFilterRowBorderPipelineGetBufferSize_8u16s_C1R(roi, k, rs);
      zuviFilterColumnPipelineGetBufferSize_16s8u_C1R(roi, k, cs);
    }
  }

  // Output rows [yBegin, yEnd) of the whole image.
  void run(const S* src, int srcStep, D* dst, int dstStep, int yBegin, int yEnd) {
    for (int y0 = yBegin; y0 < yEnd; y0 += bandRows) {
      const int rows = std::min(bandRows, yEnd - y0);
      const int lo = std::max(0, y0 - a), hi = std::min(h - 1, y0 + rows - 1 + k - 1 - a);
      const int count = hi - lo + 1;
      for (int i = 0; i < count; ++i) rowPtrs[size_t(i)] = inter.get() + size_t(i) * pitch;
      const S* first = reinterpret_cast<const S*>(reinterpret_cast<const uint8_t*>(src) + ptrdiff_t(lo) * srcStep);
      if constexpr (std::is_same_v<S, float>) {
        zuviFilterRowBorderPipeline_32f_C1R(first, srcStep, rowPtrs.data(), {w, count}, kr.data(), k, a,
                                            BorderRepl, rowBuf.data(), 0.f);
      } else {
        zuviFilterRowBorderPipeline_8u16s_C1R(first, srcStep, rowPtrs.data(), {w, count}, kr.data(), k, a,
                                              BorderRepl, 0, rowDivisor, rowBuf.data());
      }
      for (int i = 0; i < rows + k - 1; ++i) {
        const int r = std::clamp(y0 - a + i, 0, h - 1);
        colPtrs[size_t(i)] = inter.get() + size_t(r - lo) * pitch;
      }
      D* out = reinterpret_cast<D*>(reinterpret_cast<uint8_t*>(dst) + ptrdiff_t(y0) * dstStep);
      if constexpr (std::is_same_v<S, float>) {
        zuviFilterColumnPipeline_32f_C1R(colPtrs.data(), out, dstStep, {w, rows}, kc.data(), k, colBuf.data());
      } else {
        zuviFilterColumnPipeline_16s8u_C1R(colPtrs.data(), out, dstStep, {w, rows}, kc.data(), k, colDivisor,
                                           colBuf.data());
      }
    }
  }

  int w, h, k, a, bandRows;
  std::vector<RowTap> kr;
  std::vector<ColTap> kc;
  int rowDivisor, colDivisor;
  size_t pitch;  // intermediate row stride in elements: whole cache lines, as a caller would lay it out
  std::unique_ptr<M, decltype(&zuvFree)> inter;
  std::vector<M*> rowPtrs;
  std::vector<const M*> colPtrs;
  std::vector<uint8_t> rowBuf, colBuf;
};

// Output rows per band and thread: each thread's share of the 16-bit or float
// scratch block stays in its L2 cache, and a band is worth a fork.
constexpr int kBand = 64;

// How the threads are used:
//   Library  one caller thread over bands of kBand rows per thread; the row
//            passes fork on their own (the float column pass runs on the
//            calling thread);
//   Whole    the same with one row pass and one column pass over the image;
//   Split    the caller runs one band loop per thread over equal row ranges,
//            each with its own scratch; the passes inside stay serial.
enum class Drive { Library, Whole, Split };

template <class S, class M, class D>
void bench_sep(benchmark::State& st, int w, int h, int threads, Drive drive, std::vector<zuv::pipeline::tap_t<S>> kr,
               std::vector<zuv::pipeline::tap_t<M>> kc, int rowDiv, int colDiv) {
  zuv::bench::set_threads(threads);
  Image<S> src(w, h);
  Image<D> dst(w, h);
  const int filters = drive == Drive::Split ? threads : 1;
  const int band = drive == Drive::Split ? kBand : drive == Drive::Whole ? h : kBand * threads;
  std::vector<std::unique_ptr<SepFilter<S, M, D>>> f;
  for (int i = 0; i < filters; ++i)
    f.push_back(std::make_unique<SepFilter<S, M, D>>(w, h, kr, kc, rowDiv, colDiv, band));
  for (auto _ : st) {
    if (filters == 1) {
      f[0]->run(src.ptr(), src.step, dst.ptr(), dst.step, 0, h);
      continue;
    }
#pragma omp parallel for schedule(static) num_threads(filters)
    for (int i = 0; i < filters; ++i)
      f[size_t(i)]->run(src.ptr(), src.step, dst.ptr(), dst.step, h * i / filters, h * (i + 1) / filters);
  }
  st.SetBytesProcessed(int64_t(st.iterations()) * w * h * int64_t(sizeof(S) + sizeof(D)));
  zuv::bench::set_threads(0);
}

void bench_zuv_32f(benchmark::State& st, int w, int h, int k, int threads, Drive drive) {
  std::vector<float> taps;
  for (int16_t t : int_taps(k)) taps.push_back(float(t) / 64.f);
  bench_sep<float, float, float>(st, w, h, threads, drive, taps, taps, 1, 1);
}

void bench_zuv_8u(benchmark::State& st, int w, int h, int k, int threads, Drive drive) {
  // Rows keep the 64x scale in 16 bits; columns divide by 64 * 64.
  bench_sep<uint8_t, int16_t, uint8_t>(st, w, h, threads, drive, int_taps(k), int_taps(k), 1, 4096);
}

#ifdef ZUV_HAVE_OPENCV
template <class T>
void bench_cv(benchmark::State& st, int w, int h, int k, int threads, int type) {
  cv::setNumThreads(threads);
  Image<T> src(w, h), dst(w, h);
  cv::Mat s(h, w, type, src.ptr(), size_t(src.step)), d(h, w, type, dst.ptr(), size_t(dst.step));
  std::vector<float> taps;
  for (int16_t t : int_taps(k)) taps.push_back(float(t) / 64.f);
  const cv::Mat kernel(1, k, CV_32F, taps.data());
  for (auto _ : st) cv::sepFilter2D(s, d, -1, kernel, kernel, cv::Point(-1, -1), 0, cv::BORDER_REPLICATE);
  st.SetBytesProcessed(int64_t(st.iterations()) * w * h * 2 * int64_t(sizeof(T)));
}
#endif

void register_all() {
  for (const auto& sz : zuv::bench::kSizes) {
    if (sz.w != 1920) continue;
    for (int k : {5, 11})
      for (int threads : {1, 2}) {
        const std::string tail =
            "/k" + std::to_string(k) + "/" + sz.name + "/" + std::to_string(threads);
        const int w = sz.w, h = sz.h;
        for (Drive d : {Drive::Library, Drive::Whole, Drive::Split}) {
          if (d == Drive::Split && threads == 1) continue;  // one thread: bands or the whole image
          const std::string how = d == Drive::Split ? "/split" : d == Drive::Whole ? "/whole" : "";
          benchmark::RegisterBenchmark(("SepFilter/32f" + tail + how).c_str(), [=](benchmark::State& st) {
            bench_zuv_32f(st, w, h, k, threads, d);
          })->Unit(benchmark::kMillisecond)->UseRealTime();
          benchmark::RegisterBenchmark(("SepFilter/8u16s8u" + tail + how).c_str(), [=](benchmark::State& st) {
            bench_zuv_8u(st, w, h, k, threads, d);
          })->Unit(benchmark::kMillisecond)->UseRealTime();
        }
#ifdef ZUV_HAVE_OPENCV
        benchmark::RegisterBenchmark(("SepFilter/32f" + tail + "/opencv").c_str(), [=](benchmark::State& st) {
          bench_cv<float>(st, w, h, k, threads, CV_32F);
        })->Unit(benchmark::kMillisecond)->UseRealTime();
        benchmark::RegisterBenchmark(("SepFilter/8u16s8u" + tail + "/opencv").c_str(), [=](benchmark::State& st) {
          bench_cv<uint8_t>(st, w, h, k, threads, CV_8U);
        })->Unit(benchmark::kMillisecond)->UseRealTime();
#endif
      }
  }
}

const int registered = (register_all(), 0);

}  // namespace
