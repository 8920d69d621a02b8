// SPDX-License-Identifier: BSD-3-Clause
// Gaussian filter with border: tap set-up and the separable pass pair over the row and column pipelines.
#include "filter/gaussian.h"

#include <alloca.h>
#include <immintrin.h>
#include <pthread.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "core/border.h"
#include "core/check.h"
#include "core/export.h"
#include "core/image.h"
#include "core/parallel.h"
#include "core/services.h"
#include "filter/pipeline.h"

namespace zuv::gaussian {
namespace {

using u32 = uint32_t;

// Images of at least this many pixels per permitted thread are split into
// row stripes (the pipelines' own threshold).
constexpr int32_t kParallelPixelsPerThread = 32768;

constexpr bool type_ok(int t) {
  return t == DataType8u || t == DataType16u || t == DataType16s || t == DataType32f;
}
constexpr bool channels_ok(int c) { return c == 1 || c == 3; }
constexpr bool mode_ok(int borderType) {
  const int m = borderType & ~0xF0;
  return m == BorderConst || m == BorderRepl || m == BorderMirror || m == BorderInMem;
}

// Element types of the two passes: source S, intermediate I.
template <class S>
using inter_t = std::conditional_t<std::is_same_v<S, uint8_t>, int16_t, S>;

template <class S>
constexpr int data_type() {
  if constexpr (std::is_same_v<S, uint8_t>) return DataType8u;
  else if constexpr (std::is_same_v<S, uint16_t>) return DataType16u;
  else if constexpr (std::is_same_v<S, int16_t>) return DataType16s;
  else return DataType32f;
}

// Pipeline buffer bytes of the type pair for the block region (exact).
template <class S, int C>
uint64_t row_bytes(ImageSize r, int k, int t) {
  return pipeline::row_buffer_size<S, inter_t<S>, C, false, uint64_t>(r, k, t);
}
template <class S, int C>
uint64_t col_bytes(ImageSize r, int k, int t) {
  using I = inter_t<S>;
  return pipeline::column_buffer_size<I, S, C, false, uint64_t>(r, k, t);
}

// The work buffer, area by area in the order it is laid out, in exact byte
// counts. W elements per intermediate row ((width + k) * channels rounded up
// to 8), H = m + k rows with m = min(height, k) the rows of one block.
struct Layout {
  uint64_t scratch, ring, rows, cols, ptrs;
  uint64_t total() const { return scratch + ring + rows + cols + ptrs; }
};

template <class S, int C>
Layout layout(ImageSize roi, int k, int threads) {
  const uint64_t w = uint64_t(roi.width), h = uint64_t(roi.height), K = uint64_t(k);
  const uint64_t W = ((w + K) * C + 7) / 8 * 8;
  const uint64_t m = std::min(h, K), H = m + K;
  const ImageSize block{roi.width, int(m)};
  const uint64_t rp = row_bytes<S, C>(block, k, threads) + 32;
  const uint64_t cp = col_bytes<S, C>(block, k, threads) + 32;
  if constexpr (std::is_same_v<S, float>)
    return {4 * K * W + 32, 4 * H * W + 64, rp, cp, 8 * (m + K) + 32};
  else
    return {2 * (W * (K & ~uint64_t(1)) + 16), 2 * H * W + 64, rp, cp, 8 * (h + K) + 32};
}

template <int C>
uint64_t buffer_size_of(int type, ImageSize roi, int k, int threads) {
  switch (type) {
    case DataType8u: return layout<uint8_t, C>(roi, k, threads).total();
    case DataType16u: return layout<uint16_t, C>(roi, k, threads).total();
    case DataType16s: return layout<int16_t, C>(roi, k, threads).total();
    default: return layout<float, C>(roi, k, threads).total();
  }
}

// Taps start at the first 16-byte boundary at or after the tap offset; a
// 32f block whose start leaves less slack than that keeps them at the offset.
inline u32 tap_offset(const void* spec, int type) {
  const u32 mis = u32((reinterpret_cast<uintptr_t>(spec) + 20) & 15);
  const u32 off = 20 + ((16 - mis) & 15);
  return (type == DataType32f && off > 32) ? 20 : off;
}

inline uint8_t* align_up(uint8_t* p, uintptr_t a) {
  const uintptr_t v = reinterpret_cast<uintptr_t>(p);
  return p + (((v + a - 1) & ~(a - 1)) - v);
}

Status get_buffer_size(ImageSize roi, int k, int type, int channels, int* specSize, int* bufSize) {
  ZUV_TRY(check::not_null(specSize, bufSize));
  ZUV_TRY(check::roi(roi));
  if (k < 3 || k % 2 == 0) return StatusBadArgument;
  if (!type_ok(type)) return StatusDataType;
  if (!channels_ok(channels)) return StatusNumChannels;
  const int t = owncvGetMaxNumThreads();
  const int64_t spec = type == DataType32f ? 32 * int64_t(k) + 32 : 16 * int64_t(k) + 36;
  const uint64_t buf = channels == 1 ? buffer_size_of<1>(type, roi, k, t) : buffer_size_of<3>(type, roi, k, t);
  // Sizes that do not fit the reported int are refused (they would wrap).
  if (spec > INT32_MAX || buf > uint64_t(INT32_MAX)) return StatusSizeOverflow;
  *specSize = int(spec);
  *bufSize = int(buf);
  return StatusOk;
}

// g[i] = exp(-(t * t) / s2) with t = i - r and s2 = sigma * 2 sigma: the
// quotient in single precision, the exponential in double, stored as float.
inline float weight(int i, int r, float s2) {
  const float t = float(i - r);
  return float(std::exp(double(-(t * t) / s2)));
}

Status init(ImageSize roi, int k, int borderType, int type, int channels, GaussianSpec* spec,
            uint8_t* buffer, float sigma) {
  ZUV_TRY(check::not_null(spec, buffer));
  ZUV_TRY(check::roi(roi));
  if (k < 3 || k % 2 == 0) return StatusBadArgument;
  if (!type_ok(type)) return StatusDataType;
  if (!channels_ok(channels)) return StatusNumChannels;
  if (!(sigma > 0.f)) return StatusBadArgument;
  if (!mode_ok(borderType)) return StatusBorder;

  const int r = k / 2;
  const float s2 = sigma * (sigma + sigma);
  float sum = 0.f;
  for (int i = 0; i < k; ++i) sum += weight(i, r, s2);

  uint8_t* block = reinterpret_cast<uint8_t*>(spec);
  const Header hd{k, 20, type, borderType,
                  type == DataType8u ? 12 : (type == DataType32f ? 0 : 15)};
  std::memcpy(block, &hd, sizeof hd);
  uint8_t* taps = block + tap_offset(spec, type);
  if (type == DataType32f) {
    // Each tap replicated across a 32-byte vector.
    for (int i = 0; i < k; ++i) {
      const float v = weight(i, r, s2) / sum;
      for (int j = 0; j < 8; ++j) std::memcpy(taps + (size_t(i) * 8 + j) * 4, &v, 4);
    }
  } else {
    const float scale = type == DataType8u ? 4096.0f : 32768.0f;
    for (int i = 0; i < k; ++i) {
      const double v = std::trunc(double(scale * (weight(i, r, s2) / sum)) + 0.5);
      const int16_t t = int16_t(uint16_t(int32_t(v)));  // 32768 keeps its 16 bits
      std::memcpy(taps + size_t(i) * 2, &t, 2);
    }
  }
  return StatusOk;
}

// The filter over one region: blocks of m = min(height, k) destination rows.
// Source rows (and the in-memory rows above and below) are row-filtered once
// into a ring of m + k - 1 intermediate rows; a window of row pointers then
// names, for each block, the k - 1 + m intermediate rows its column pass
// combines. Generated border rows are pointers: to the row they replicate or
// mirror, or to one row-filtered constant row.
template <class S, int C>
class Runner {
  using I = inter_t<S>;
  using RowTap = pipeline::tap_t<S>;
  using ColTap = pipeline::tap_t<I>;

 public:
  Runner(const S* src, int srcStep, S* dst, int dstStep, ImageSize roi, int border,
         const S* value, const Header& hd, const void* taps, uint8_t* buffer, const Layout& lay)
      : src_(src), sstep_(srcStep), dst_(dst), dstep_(dstStep), w_(roi.width), h_(roi.height),
        k_(hd.k), r_(hd.k / 2), m_(std::min(roi.height, hd.k)) {
    const int mode = border & ~0xF0;
    mode_ = mode == BorderInMem ? BorderConst : mode;
    const bool all = mode == BorderInMem;
    top_ = all || (border & BorderInMemTop);
    bottom_ = all || (border & BorderInMemBottom);
    left_ = all || (border & BorderInMemLeft);
    right_ = all || (border & BorderInMemRight);
    rowBorder_ = border;
    for (int c = 0; c < C; ++c) value_[c] = value ? value[c] : S(0);
    // Per-channel constants do not fit the row pass's single border value:
    // such rows are extended here and read by the row pass as in memory.
    extend_ = C == 3 && mode_ == BorderConst && !(left_ && right_);

    const size_t W = ((size_t(w_) + size_t(k_)) * C + 7) / 8 * 8;
    // Rows padded to whole cache lines where the ring has room for it (it
    // holds m + k rows, one thread uses m + k - 1): the vector passes then
    // never split a load or store across two lines.
    padded_ = (size_t(W) * sizeof(I) + 63) / 64 * 64 / sizeof(I);
    const size_t usable = (size_t(lay.ring) - 63) / sizeof(I);
    serialStride_ = size_t(m_ + k_ - 1) * padded_ <= usable ? padded_ : W;
    uint8_t* p = buffer;
    uint8_t* scratch = align_up(p, 16);
    p += lay.scratch;
    ring_ = reinterpret_cast<I*>(align_up(p, 64));
    p += lay.ring;
    rowBuf_ = align_up(p, 32);
    p += lay.rows;
    colBuf_ = align_up(p, 32);
    p += lay.cols;
    window_ = reinterpret_cast<I**>(align_up(p, 8));

    ext_ = reinterpret_cast<S*>(scratch);
    // The row-filtered constant row follows the extended row (and the float
    // taps) in the scratch area: 2W bytes on (2W floats for 32f).
    constRow_ = reinterpret_cast<I*>(scratch + (std::is_same_v<S, float> ? 8 : 2) * size_t(W));
    if constexpr (std::is_same_v<S, float>) {
      // Contiguous float taps after the extended row.
      float* t = reinterpret_cast<float*>(scratch) + W;
      if (hd.dataType == DataType32f) {
        for (int i = 0; i < k_; ++i) std::memcpy(&t[i], static_cast<const uint8_t*>(taps) + size_t(i) * 32, 4);
      } else {
        for (int i = 0; i < k_; ++i) {
          int16_t v;
          std::memcpy(&v, static_cast<const uint8_t*>(taps) + size_t(i) * 2, 2);
          t[i] = std::ldexp(float(v), -hd.shift);
        }
      }
      rowTaps_ = t;
      colTaps_ = t;
    } else {
      rowTaps_ = static_cast<const RowTap*>(taps);
      colTaps_ = static_cast<const ColTap*>(taps);
    }
    // 8u: 2^6 in the row pass keeps the 16s intermediate below 2^15 with six
    // fractional bits; the column pass takes the remaining 2^18. 16u and 16s
    // divide each pass by 2^15.
    rowDiv_ = std::is_same_v<S, uint8_t> ? 64 : 32768;
    colDiv_ = std::is_same_v<S, uint8_t> ? (1 << 18) : 32768;
    if constexpr (std::is_same_v<S, uint8_t>) {
      // Intermediate values lie within +-round(sum |tap| * 255 / 64); two of
      // them add within 16 bits for every kernel Init makes (sum near 4096).
      int64_t sum = 0;
      for (int i = 0; i < k_; ++i) sum += std::abs(int(colTaps_[i]));
      if (2 * ((sum * 255 + 32) / 64) <= 32767) hints_ |= pipeline::kPairSumsFit;
    }
    // A float image of at least kStreamPixels pixels is written once and streamed
    // past the caches.
    if (std::is_same_v<S, float> && int64_t(w_) * h_ >= pipeline::kStreamPixels) hints_ |= pipeline::kStreamOut;
  }

  void run() {
    // The row-filtered constant row, shared by all threads.
    if (mode_ == BorderConst && !(top_ && bottom_)) {
      for (int x = 0; x < w_ + k_ - 1; ++x)
        for (int c = 0; c < C; ++c) ext_[size_t(x) * C + c] = value_[c];
      const Lane one = whole();
      row_filter(ext_ + size_t(r_) * C, &constRow_, 1, BorderConst | BorderInMemLeft | BorderInMemRight,
                 one);
    }
    const int n = lanes();
    if (n <= 1) {
      stripe(0, h_, whole());
      return;
    }
    // Each thread runs a stripe of rows with a ring of the one-thread depth,
    // so blocks stay m rows tall. The calling thread works in the caller's
    // buffer; every other thread in work memory on its own stack (its ring,
    // window and the pipelines' buffers), so the call allocates nothing and
    // threads never write lines near each other's (on some machines streams
    // of writes by two cores into one page run several times slower). Lanes
    // larger than kStackLane keep the call on one thread. A thread whose
    // stack has no room for the lane leaves its stripe to the calling
    // thread, which runs it after the others in the caller's buffer (the
    // images do not overlap, so the order of stripes does not matter).
    const size_t lane = lane_bytes();
    if (lane > kStackLane) {
      stripe(0, h_, whole());
      return;
    }
    int leftY0[kMaxLanes], leftRows[kMaxLanes] = {};  // slot t written by thread t only
    parallel::for_stripes_of(h_, n, [&](int t, int y0, int count) {
      if (t == 0) {
        Lane l = whole();
        l.threaded = false;
        stripe(y0, y0 + count, l);
      } else if (stack_left() >= lane + kStackReserve) {
        stripe_on_stack(y0, count, lane);
      } else {
        leftY0[t] = y0;
        leftRows[t] = count;
      }
    });
    for (int t = 1; t < n; ++t)
      if (leftRows[t] > 0) stripe(leftY0[t], leftY0[t] + leftRows[t], whole());
  }

 private:
  // One thread's share of the work memory: a ring of `rows` intermediate
  // rows, its row-pointer window and the pipelines' buffers.
  struct Lane {
    I* ring;
    int rows;
    size_t stride;  // elements from one ring row to the next
    I** window;
    uint8_t* rowBuf;
    uint8_t* colBuf;
    bool threaded;  // the pipelines may split a block over threads themselves
  };

  Lane whole() const { return Lane{ring_, m_ + k_ - 1, serialStride_, window_, rowBuf_, colBuf_, true}; }

  // Threads that share the filter. Rows extended here (C3 constants) use the
  // one scratch row, so they stay on one thread.
  int lanes() const {
    const int T = owncvGetMaxNumThreads();
    if (T < 2 || extend_ || parallel::area32(ImageSize{w_, h_}) < kParallelPixelsPerThread * T) return 1;
    // One image as source and destination: a stripe's first rows read what
    // the stripe above writes last, so such calls keep to one thread (which
    // reads every source row before writing over it).
    if (overlaps()) return 1;
    return std::min({T, h_, kMaxLanes});
  }

  static constexpr int kMaxLanes = 64;
  static constexpr size_t kStackLane = size_t(1) << 20;
  // Stack kept free below a lane for the passes' own frames.
  static constexpr size_t kStackReserve = size_t(128) << 10;
  static constexpr size_t round_up(size_t v, size_t a) { return (v + a - 1) / a * a; }

  // A stack lane: the ring, its window and the pipelines' buffers for blocks
  // of at most m rows (the one-thread sizes of the pipelines' queries).
  size_t ring_bytes() const { return round_up(size_t(m_ + k_ - 1) * padded_ * sizeof(I), 64); }
  size_t window_bytes() const { return round_up(size_t(m_ + k_ - 1) * sizeof(I*), 64); }
  size_t row_lane_bytes() const { return round_up(row_bytes<S, C>(ImageSize{w_, m_}, k_, 1), 64); }
  size_t lane_bytes() const {
    return 64 + ring_bytes() + window_bytes() + row_lane_bytes() + col_bytes<S, C>(ImageSize{w_, m_}, k_, 1);
  }

  // Bytes of this thread's stack below the current frame (0 when unknown).
  static size_t stack_left() {
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) != 0) return 0;
    void* low = nullptr;
    size_t size = 0;
    const int rc = pthread_attr_getstack(&attr, &low, &size);
    pthread_attr_destroy(&attr);
    const volatile char here = 0;
    const uintptr_t sp = reinterpret_cast<uintptr_t>(&here), base = reinterpret_cast<uintptr_t>(low);
    return rc == 0 && sp > base ? sp - base : 0;
  }

  // Rows y0 .. y0 + count - 1 in a lane of `lane` bytes (lane_bytes()) on this thread's stack.
  __attribute__((noinline)) void stripe_on_stack(int y0, int count, size_t lane) {
    uint8_t* p = align_up(static_cast<uint8_t*>(alloca(lane)), 64);
    const size_t ring = ring_bytes(), window = window_bytes(), rows = row_lane_bytes();
    const Lane l{reinterpret_cast<I*>(p), m_ + k_ - 1, padded_, reinterpret_cast<I**>(p + ring),
                 p + ring + window, p + ring + window + rows, false};
    stripe(y0, y0 + count, l);
  }

  // Destination rows [y0, y1) in blocks: source rows (and the in-memory rows
  // above and below) are row-filtered once into the lane's ring; a window of
  // row pointers then names, for each block, the intermediate rows its column
  // pass combines.
  void stripe(int y0s, int y1s, const Lane& l) {
    const int mt = l.rows - (k_ - 1);
    int next = y0s - r_;  // first extended row not yet row-filtered
    for (int y0 = y0s; y0 < y1s; y0 += mt) {
      const int n = std::min(mt, y1s - y0);
      const int base = y0 - r_, last = y0 + n - 1 + r_;
      for (int e = std::max(next, base); e <= last;) {
        if (!real(e)) {
          ++e;
          continue;
        }
        int e2 = e;
        while (e2 + 1 <= last && real(e2 + 1) && e2 + 1 - e < mt) ++e2;
        for (int j = e; j <= e2; ++j) l.window[j - base] = slot(l, j);
        filter_rows(e, e2 - e + 1, &l.window[e - base], l);
        e = e2 + 1;
      }
      next = last + 1;
      for (int e = base; e <= last; ++e) l.window[e - base] = source_of(l, e);
      pipeline::column_pass<I, S, C>(l.window, row_at(dst_, dstep_, y0), dstep_, ImageSize{w_, n},
                                     colTaps_, k_, colDiv_, l.colBuf, l.threaded, hints_);
    }
    // Non-temporal stores of this thread are ordered before the call returns.
    if (hints_ & pipeline::kStreamOut) _mm_sfence();
  }

  // Whether the source pixels that may be read (the region, widened by the
  // kernel radius on the sides whose pixels are in memory) and the
  // destination share memory. Steps are positive (checked).
  bool overlaps() const {
    const int64_t px = int64_t(C) * int64_t(sizeof(S));
    const int64_t up = top_ ? r_ : 0, down = bottom_ ? r_ : 0;
    const int64_t before = left_ ? r_ : 0, after = right_ ? r_ : 0;
    const uintptr_t s = reinterpret_cast<uintptr_t>(src_), d = reinterpret_cast<uintptr_t>(dst_);
    const uintptr_t s0 = s - uintptr_t(up * sstep_ + before * px);
    const uintptr_t s1 = s + uintptr_t((h_ - 1 + down) * int64_t(sstep_) + (w_ + after) * px);
    const uintptr_t d1 = d + uintptr_t(int64_t(h_ - 1) * dstep_ + w_ * px);
    return s0 < d1 && d < s1;
  }

  bool real(int e) const { return (e >= 0 && e < h_) || (e < 0 && top_) || (e >= h_ && bottom_); }
  I* slot(const Lane& l, int e) const { return l.ring + size_t((e + r_) % l.rows) * l.stride; }

  // Intermediate row of extended row e once its real rows are filtered.
  I* source_of(const Lane& l, int e) const {
    if (real(e)) return slot(l, e);
    if (mode_ == BorderConst) return constRow_;
    if (mode_ == BorderRepl) return slot(l, border::replicate_index(e, h_));
    return slot(l, border::mirror_index(e, h_));
  }

  void row_filter(const S* row, I* const* out, int count, int borderType, const Lane& l) {
    pipeline::row_pass<S, I, C>(row, sstep_, out, ImageSize{w_, count}, rowTaps_, k_, r_, borderType,
                                value_[0], rowDiv_, l.rowBuf, l.threaded);
  }

  // Row-filters source rows e .. e + count - 1 (in the region or in memory).
  void filter_rows(int e, int count, I* const* out, const Lane& l) {
    if (!extend_) {
      row_filter(row_at(src_, sstep_, e), out, count, rowBorder_, l);
      return;
    }
    for (int j = 0; j < count; ++j) {
      const S* row = row_at(src_, sstep_, e + j);
      for (int x = -r_; x < w_ + r_; ++x) {
        const bool inside = (x >= 0 && x < w_) || (x < 0 ? left_ : right_);
        for (int c = 0; c < C; ++c)
          ext_[size_t(x + r_) * C + c] = inside ? row[ptrdiff_t(x) * C + c] : value_[c];
      }
      row_filter(ext_ + size_t(r_) * C, out + j, 1, BorderConst | BorderInMemLeft | BorderInMemRight, l);
    }
  }

  const S* src_;
  int sstep_;
  S* dst_;
  int dstep_;
  int w_, h_, k_, r_, m_;
  int mode_ = 0, rowBorder_ = 0;
  bool top_ = false, bottom_ = false, left_ = false, right_ = false, extend_ = false;
  S value_[C];
  size_t padded_ = 0, serialStride_ = 0;  // ring row strides in elements: whole lines, one thread
  S* ext_ = nullptr;
  I* ring_ = nullptr;
  I* constRow_ = nullptr;
  I** window_ = nullptr;
  uint8_t* rowBuf_ = nullptr;
  uint8_t* colBuf_ = nullptr;
  const RowTap* rowTaps_ = nullptr;
  const ColTap* colTaps_ = nullptr;
  int rowDiv_ = 1, colDiv_ = 1;
  unsigned hints_ = 0;  // pipeline::ColumnHint flags for the column passes
};

template <class S, int C>
Status filter(const S* src, int srcStep, S* dst, int dstStep, ImageSize roi, const S* value,
              const GaussianSpec* spec, uint8_t* buffer) {
  ZUV_TRY(check::not_null(src, dst, buffer, spec));
  ZUV_TRY((check::step_of<S, C>(srcStep, roi)));
  ZUV_TRY((check::step_of<S, C>(dstStep, roi)));
  ZUV_TRY(check::roi(roi));
  ZUV_TRY(check::multiples<S>(srcStep, dstStep));
  Header hd;
  std::memcpy(&hd, spec, sizeof hd);
  if (hd.k < 3 || hd.k % 2 == 0) return StatusBadArgument;
  if (!mode_ok(hd.border)) return StatusBorder;
  // A three-channel constant is read only where a constant is generated.
  ZUV_TRY(check::border_value<C>(value, hd.border));
  const void* taps = reinterpret_cast<const uint8_t*>(spec) + tap_offset(spec, hd.dataType);
  Runner<S, C>(src, srcStep, dst, dstStep, roi, hd.border, value, hd, taps, buffer,
               layout<S, C>(roi, hd.k, owncvGetMaxNumThreads()))
      .run();
  return StatusOk;
}

}  // namespace
}  // namespace zuv::gaussian

ZUV_EXPORT(zuviFilterGaussianGetBufferSize,
           (ImageSize roiSize, int kernelSize, DataType dataType, int numChannels, int* pSpecSize,
            int* pBufferSize),
           (zuv::gaussian::get_buffer_size(roiSize, kernelSize, dataType, numChannels, pSpecSize,
                                           pBufferSize)))
ZUV_EXPORT(zuviFilterGaussianInit,
           (ImageSize roiSize, int kernelSize, BorderType borderType, DataType dataType,
            int numChannels, GaussianSpec* pSpec, uint8_t* pBuffer, float sigma),
           (zuv::gaussian::init(roiSize, kernelSize, borderType, dataType, numChannels, pSpec,
                                pBuffer, sigma)))

#define X(name, T, C, type) ZUV_GAUSSIAN_EXPORT_##C(name, T)
#define ZUV_GAUSSIAN_EXPORT_3(name, T)                                                          \
  ZUV_EXPORT(name, (const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roiSize,        \
                    const T borderValue[3], const GaussianSpec* pSpec, uint8_t* pBuffer),       \
             (zuv::gaussian::filter<T, 3>(pSrc, srcStep, pDst, dstStep, roiSize, borderValue,   \
                                          pSpec, pBuffer)))
#define ZUV_GAUSSIAN_EXPORT_1(name, T) ZUV_GAUSSIAN_EXPORT_1_##T(name)
#define ZUV_GAUSSIAN_EXPORT_1_INT(name, T)                                                       \
  ZUV_EXPORT(name, (const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roiSize,         \
                    T borderValue, const GaussianSpec* pSpec, uint8_t* pBuffer),                 \
             (zuv::gaussian::filter<T, 1>(pSrc, srcStep, pDst, dstStep, roiSize, &borderValue,   \
                                          pSpec, pBuffer)))
#define ZUV_GAUSSIAN_EXPORT_1_uint8_t(name) ZUV_GAUSSIAN_EXPORT_1_INT(name, uint8_t)
#define ZUV_GAUSSIAN_EXPORT_1_uint16_t(name) ZUV_GAUSSIAN_EXPORT_1_INT(name, uint16_t)
#define ZUV_GAUSSIAN_EXPORT_1_int16_t(name) ZUV_GAUSSIAN_EXPORT_1_INT(name, int16_t)
// The float border value, as every float parameter, comes last.
#define ZUV_GAUSSIAN_EXPORT_1_float(name)                                                        \
  ZUV_EXPORT(name, (const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, \
                    const GaussianSpec* pSpec, uint8_t* pBuffer, float borderValue),             \
             (zuv::gaussian::filter<float, 1>(pSrc, srcStep, pDst, dstStep, roiSize,             \
                                              &borderValue, pSpec, pBuffer)))
ZUV_GAUSSIAN_TABLE(X)
#undef X
