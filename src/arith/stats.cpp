// SPDX-License-Identifier: BSD-3-Clause
// Mean, standard deviation and extrema of one channel, optionally under a mask.
#include "arith/stats.h"

#include <cmath>
#include <cstdint>
#include <type_traits>

#include "core/check.h"
#include "core/cpu.h"
#include "core/export.h"
#include "core/image.h"
#include "core/parallel.h"
#include "core/services.h"
#include "core/simd.h"

namespace zuv::stats {
namespace {

// 32f rows are summed in single precision into kLanes interleaved partial
// sums: pixel x of a row goes to partial x % kLanes. After each row the
// partials are widened to double and added lane by lane to double totals;
// a stripe's sum is the lane totals added in lane order. The vector kernels
// keep exactly this layout (four 16-lane accumulators), so both paths give
// the same bits.
constexpr int kLanes = 64;

// What a sum kernel accumulates: the sum only, the sum and the sum of squares,
// or (the refinement pass) only the squares of (x - center), each difference
// taken in double and rounded to single precision.
enum class Pass { Sum, SumSquares, Centered };

// One stripe's partial results.
struct SumSlot {
  double s;   // sum of the selected values
  double q;   // sum of squares (or of centered squares)
  int32_t k;  // selected pixels (masked members)
};

// A stripe's extrema and the image row of their first occurrence.
template <class T>
struct ExtSlot {
  T mn, mx;
  int32_t minRow, maxRow;
  int32_t found;  // 0 when the stripe had no selected pixel
};

double lane_total(const double* t) {
  double s = 0.0;
  for (int l = 0; l < kLanes; ++l) s += t[l];
  return s;
}

// NaNs take no part in extrema (as if not selected).
template <class T>
inline bool usable(T v) {
  if constexpr (std::is_same_v<T, float>) return !std::isnan(v);
  else return true;
}

}  // namespace

namespace ref {

// Sums of one stripe: rows from src (and mask m), n pixels each, channel ch
// of C-channel pixels.
template <class T, int C, bool kMasked, Pass P>
SumSlot sums(const T* src, int step, const uint8_t* m, int mStep, int n, int rows, int ch,
             double center) {
  SumSlot out{};
  if constexpr (std::is_same_v<T, float>) {
    double ts[kLanes] = {}, tq[kLanes] = {};
    uint32_t k = 0;
    for (int y = 0; y < rows; ++y) {
      const float* p = row_at(src, step, y);
      const uint8_t* mr = kMasked ? row_at(m, mStep, y) : nullptr;
      float ps[kLanes] = {}, pq[kLanes] = {};
      for (int x = 0; x < n; ++x) {
        if (kMasked && mr[x] == 0) continue;
        float v = p[size_t(x) * C + ch];
        if constexpr (P == Pass::Centered) v = static_cast<float>(double(v) - center);
        if constexpr (P != Pass::Centered) ps[x % kLanes] += v;
        if constexpr (P != Pass::Sum) pq[x % kLanes] = std::fma(v, v, pq[x % kLanes]);
        ++k;
      }
      for (int l = 0; l < kLanes; ++l) {
        ts[l] += double(ps[l]);
        tq[l] += double(pq[l]);
      }
    }
    out.s = lane_total(ts);
    out.q = lane_total(tq);
    out.k = int32_t(k);
  } else {
    uint64_t s = 0, q = 0;
    uint32_t k = 0;
    for (int y = 0; y < rows; ++y) {
      const T* p = row_at(src, step, y);
      const uint8_t* mr = kMasked ? row_at(m, mStep, y) : nullptr;
      for (int x = 0; x < n; ++x) {
        if (kMasked && mr[x] == 0) continue;
        const uint64_t v = p[size_t(x) * C + ch];
        s += v;
        q += v * v;
        ++k;
      }
    }
    out.s = double(s);
    out.q = double(q);
    out.k = int32_t(k);
  }
  return out;
}

// Extrema of one stripe whose first row is image row y0.
template <class T, int C, bool kMasked>
void extrema(const T* src, int step, const uint8_t* m, int mStep, int n, int y0, int rows, int ch,
             ExtSlot<T>& out) {
  for (int y = 0; y < rows; ++y) {
    const T* p = row_at(src, step, y);
    const uint8_t* mr = kMasked ? row_at(m, mStep, y) : nullptr;
    bool any = false;
    T mn{}, mx{};
    for (int x = 0; x < n; ++x) {
      if (kMasked && mr[x] == 0) continue;
      const T v = p[size_t(x) * C + ch];
      if (!usable(v)) continue;
      if (!any || v < mn) mn = v;
      if (!any || v > mx) mx = v;
      any = true;
    }
    if (!any) continue;
    if (!out.found || mn < out.mn) { out.mn = mn; out.minRow = y0 + y; }
    if (!out.found || mx > out.mx) { out.mx = mx; out.maxRow = y0 + y; }
    out.found = 1;
  }
}

}  // namespace ref

// GCC 12 flags the deliberately undefined pass-through operand inside some of
// its own AVX-512 intrinsics (unpack, shifts) as uninitialized.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
ZUV_AVX512_BEGIN
namespace avx512 {

// The upper 256 bits moved to the lower half.
static inline __m512 high_half(__m512 v) { return _mm512_shuffle_f32x4(v, v, 0xEE); }
static inline __m512i high_half(__m512i v) { return _mm512_shuffle_i64x2(v, v, 0xEE); }

// Element-type traits: lanes per vector, the lane-mask type and its helpers.
template <class T>
struct Vec;
template <>
struct Vec<uint8_t> {
  static constexpr int kN = 64;
  using Mask = __mmask64;
  static Mask pdep(Mask sel, Mask pat) { return _pdep_u64(sel, pat); }
};
template <>
struct Vec<uint16_t> {
  static constexpr int kN = 32;
  using Mask = __mmask32;
  static Mask pdep(Mask sel, Mask pat) { return _pdep_u32(sel, pat); }
};
template <>
struct Vec<float> {
  static constexpr int kN = 16;
  using Mask = __mmask16;
  static Mask pdep(Mask sel, Mask pat) { return Mask(_pdep_u32(sel, pat)); }
};

// Rows are walked in chunks of 64 pixels: one mask load gives the selection
// of the whole chunk (bit i: pixel x + i lies in the row and is selected),
// which is then cut into the blocks of kN pixels of the element type.
constexpr int kChunk = 64;

// Three-channel blocks: kN pixels are three vectors. Element e of the block
// belongs to channel e % 3; pat[j] marks the chosen channel's lanes in vector
// j, and first[j] is the pixel of its first such lane. pdep spreads a
// per-pixel selection onto those lanes, so only the chosen channel is loaded
// and never a pixel past the row's end.
template <class T>
struct Channel3 {
  using M = typename Vec<T>::Mask;
  M pat[3];
  int first[3];
  explicit Channel3(int ch) {
    constexpr int kN = Vec<T>::kN;
    for (int j = 0; j < 3; ++j) {
      M bits = 0;
      for (int b = 0; b < kN; ++b)
        if ((kN * j + b) % 3 == ch) bits |= M(M(1) << b);
      pat[j] = bits;
      first[j] = (kN * j - ch + 2) / 3;
    }
  }
  M lanes(M sel, int j) const { return Vec<T>::pdep(M(sel >> first[j]), pat[j]); }
};

// The lanes of vector j of a block that hold the chosen channel of the
// pixels in `sel`.
template <class T, int C>
static inline typename Vec<T>::Mask lanes_of(typename Vec<T>::Mask sel, const Channel3<T>& c3, int j) {
  return C == 1 ? sel : c3.lanes(sel, j);
}

// True when every pixel of the block lies in the row.
template <class T>
static inline bool whole(typename Vec<T>::Mask in) {
  return in == typename Vec<T>::Mask(~typename Vec<T>::Mask(0));
}

// Loads vector j of a block. A block inside the row is loaded whole (all its
// channels lie in the region); at the row's end only the chosen channel of
// the pixels in `in` is loaded and other lanes are zero. Either way only the
// lanes of lanes_of() are meaningful.
template <class T, int C>
static inline __m512i load_block(const T* p, typename Vec<T>::Mask in, const Channel3<T>& c3, int j) {
  const T* q = p + j * Vec<T>::kN;
  if (whole<T>(in)) return _mm512_loadu_si512(q);
  const typename Vec<T>::Mask k = lanes_of<T, C>(in, c3, j);
  if constexpr (sizeof(T) == 1) return _mm512_maskz_loadu_epi8(k, q);
  else if constexpr (sizeof(T) == 2) return _mm512_maskz_loadu_epi16(k, q);
  else return _mm512_castps_si512(_mm512_maskz_loadu_ps(k, q));
}

// Pixels of a chunk inside the row, and those of them that are selected.
// Sources are loaded under `in` alone and the mask is applied in registers,
// so their loads never wait for the mask's. Masked loads are kept to the
// row's end: with sparse lane masks they stream from memory much slower than
// whole vectors do.
struct Chunk {
  uint64_t in, sel;
};

template <bool kMasked>
static inline Chunk chunk_selection(const uint8_t* mr, int x, int n) {
  const __mmask64 in = simd::mask64(n - x);
  if constexpr (kMasked) {
    const __m512i mv = x + kChunk <= n ? _mm512_loadu_si512(mr + x) : _mm512_maskz_loadu_epi8(in, mr + x);
    return Chunk{in, _mm512_mask_test_epi8_mask(in, mv, mv)};
  }
  return Chunk{in, in};
}

// Block b of a chunk's selection.
template <class T>
static inline typename Vec<T>::Mask block_of(uint64_t sel, int b) {
  return typename Vec<T>::Mask(sel >> (b * Vec<T>::kN));
}

// ---- Integer sums ---------------------------------------------------------

// 8u: byte sums through SAD into 64-bit lanes; squares as 16-bit pairs through
// madd into 32-bit lanes (at most 4 * 255^2 per vector), widened to 64 bits
// before they could overflow.
// 16u: a = x - 32768 as signed 16 bits (0 for lanes not taken), so madd gives
// exact pair sums of a and of a^2 (a^2 pairs fit in 32 unsigned bits); then
// sum x = sum a + 32768 n and sum x^2 = sum a^2 + 65536 sum a + 2^30 n.
static inline uint64_t lane_sum(__m512i v) {
  alignas(64) uint64_t l[8];
  _mm512_store_si512(l, v);
  uint64_t s = 0;
  for (uint64_t x : l) s += x;
  return s;
}

struct IntAcc {
  __m512i s64, s32, q32, qlo, qhi;
  int pending;
};
constexpr int kFlushEvery = 4096;

// Widening by unpacking: the lane order changes, which sums do not mind.
static inline void int_flush(IntAcc& a, bool sign) {
  const __m512i z = _mm512_setzero_si512();
  if (sign) {
    const __m512i ext = _mm512_srai_epi32(a.s32, 31);
    a.s64 = _mm512_add_epi64(a.s64, _mm512_add_epi64(_mm512_unpacklo_epi32(a.s32, ext),
                                                     _mm512_unpackhi_epi32(a.s32, ext)));
  }
  a.qlo = _mm512_add_epi64(a.qlo, _mm512_add_epi64(_mm512_unpacklo_epi32(a.q32, z),
                                                   _mm512_unpackhi_epi32(a.q32, z)));
  a.s32 = _mm512_setzero_si512();
  a.q32 = _mm512_setzero_si512();
  a.pending = 0;
}

template <class T, bool kSquares>
static inline void int_add(IntAcc& a, __m512i v, typename Vec<T>::Mask k) {
  if constexpr (sizeof(T) == 1) {
    const __m512i z = _mm512_setzero_si512();
    a.s64 = _mm512_add_epi64(a.s64, _mm512_sad_epu8(v, z));
    if constexpr (kSquares) {
      const __m512i lo = _mm512_unpacklo_epi8(v, z), hi = _mm512_unpackhi_epi8(v, z);
      a.q32 = _mm512_add_epi32(a.q32, _mm512_add_epi32(_mm512_madd_epi16(lo, lo), _mm512_madd_epi16(hi, hi)));
      if (++a.pending == kFlushEvery) int_flush(a, false);
    }
  } else {
    const __m512i av = _mm512_maskz_mov_epi16(k, _mm512_xor_si512(v, _mm512_set1_epi16(short(0x8000))));
    a.s32 = _mm512_add_epi32(a.s32, _mm512_madd_epi16(av, _mm512_set1_epi16(1)));
    if constexpr (kSquares) {
      const __m512i sq = _mm512_madd_epi16(av, av);
      a.qlo = _mm512_add_epi64(a.qlo, _mm512_and_si512(sq, _mm512_set1_epi64(0xFFFFFFFFll)));
      a.qhi = _mm512_add_epi64(a.qhi, _mm512_srli_epi64(sq, 32));
    }
    if (++a.pending == kFlushEvery) int_flush(a, true);
  }
}

template <class T, int C, bool kMasked, bool kSquares>
static SumSlot int_sums(const T* src, int step, const uint8_t* m, int mStep, int n, int rows, int ch) {
  using V = Vec<T>;
  constexpr int kN = V::kN;
  const Channel3<T> c3(ch);
  IntAcc a;
  a.s64 = a.s32 = a.q32 = a.qlo = a.qhi = _mm512_setzero_si512();
  a.pending = 0;
  uint64_t count = 0;
  for (int y = 0; y < rows; ++y) {
    const T* p = row_at(src, step, y);
    const uint8_t* mr = kMasked ? row_at(m, mStep, y) : nullptr;
    for (int x = 0; x < n; x += kChunk) {
      const Chunk chunk = chunk_selection<kMasked>(mr, x, n);
      if constexpr (kMasked) count += uint64_t(_mm_popcnt_u64(chunk.sel));
#pragma GCC unroll 2
      for (int b = 0; b < kChunk / kN; ++b) {
        if (b > 0 && x + b * kN >= n) break;
        const typename V::Mask in = block_of<T>(chunk.in, b), sel = block_of<T>(chunk.sel, b);
        for (int j = 0; j < C; ++j) {
          __m512i v = load_block<T, C>(p + size_t(x + b * kN) * C, in, c3, j);
          const typename V::Mask k = lanes_of<T, C>(sel, c3, j);
          if constexpr (sizeof(T) == 1 && (kMasked || C == 3)) v = _mm512_maskz_mov_epi8(k, v);
          int_add<T, kSquares>(a, v, k);
        }
      }
    }
  }
  if constexpr (!kMasked) count = uint64_t(n) * uint64_t(rows);
  int_flush(a, sizeof(T) == 2);
  SumSlot out{};
  out.k = int32_t(uint32_t(count));
  const uint64_t sum = lane_sum(a.s64);
  const uint64_t sq = lane_sum(_mm512_add_epi64(a.qlo, a.qhi));
  if constexpr (sizeof(T) == 1) {
    out.s = double(sum);
    out.q = double(sq);
  } else {
    // Modular arithmetic: the true results fit in 64 bits.
    out.s = double(sum + 32768u * count);
    out.q = double(sq + 65536u * sum + (uint64_t(1) << 30) * count);
  }
  return out;
}

// ---- 32f sums -------------------------------------------------------------

// Gathers the chosen channel of 16 three-channel pixels into one vector.
struct Gather3 {
  __m512i first, second;
  explicit Gather3(int ch) {
    alignas(64) int32_t a[16], b[16];
    for (int i = 0; i < 16; ++i) {
      const int e = 3 * i + ch;
      a[i] = e < 32 ? e : 0;
      b[i] = e < 32 ? i : 16 + (e - 32);
    }
    first = _mm512_load_si512(a);
    second = _mm512_load_si512(b);
  }
};

// The chosen channel of the 16 pixels from p (lanes outside `in` are not
// meaningful).
template <int C>
static inline __m512 load_f32(const float* p, __mmask16 in, const Channel3<float>& c3, const Gather3& g) {
  const __m512 v0 = _mm512_castsi512_ps(load_block<float, C>(p, in, c3, 0));
  if constexpr (C == 1) return v0;
  const __m512 v1 = _mm512_castsi512_ps(load_block<float, C>(p, in, c3, 1));
  const __m512 v2 = _mm512_castsi512_ps(load_block<float, C>(p, in, c3, 2));
  return _mm512_permutex2var_ps(_mm512_permutex2var_ps(v0, g.first, v1), g.second, v2);
}

// float(double(v) - center) in every lane.
static inline __m512 centered(__m512 v, __m512d c) {
  const __m512d lo = _mm512_sub_pd(_mm512_cvtps_pd(_mm512_castps512_ps256(v)), c);
  const __m512d hi = _mm512_sub_pd(_mm512_cvtps_pd(_mm512_castps512_ps256(high_half(v))), c);
  return _mm512_insertf32x8(_mm512_castps256_ps512(_mm512_cvtpd_ps(lo)), _mm512_cvtpd_ps(hi), 1);
}

// One block of 16 pixels from x into accumulator pair (s, q); lanes outside
// the selection keep their partial sums.
template <int C, Pass P>
static inline void f32_block(const float* p, int x, __mmask16 in, __mmask16 sel, const Channel3<float>& c3,
                             const Gather3& g, __m512d center, __m512& s, __m512& q) {
  __m512 v = load_f32<C>(p + size_t(x) * C, in, c3, g);
  if constexpr (P == Pass::Centered) v = centered(v, center);
  if constexpr (P != Pass::Centered) s = _mm512_mask_add_ps(s, sel, s, v);
  if constexpr (P != Pass::Sum) q = _mm512_mask3_fmadd_ps(v, v, q, sel);
}

// Adds the four 16-lane partials, widened to double, to the 64 lane totals.
static inline void add_to_totals(double* t, const __m512 (&part)[4]) {
  for (int j = 0; j < 4; ++j) {
    const __m512d lo = _mm512_cvtps_pd(_mm512_castps512_ps256(part[j]));
    const __m512d hi = _mm512_cvtps_pd(_mm512_castps512_ps256(high_half(part[j])));
    _mm512_storeu_pd(t + 16 * j, _mm512_add_pd(_mm512_loadu_pd(t + 16 * j), lo));
    _mm512_storeu_pd(t + 16 * j + 8, _mm512_add_pd(_mm512_loadu_pd(t + 16 * j + 8), hi));
  }
}

template <int C, bool kMasked, Pass P>
static SumSlot f32_sums(const float* src, int step, const uint8_t* m, int mStep, int n, int rows, int ch,
                        double center) {
  const Channel3<float> c3(ch);
  const Gather3 g(ch);
  const __m512d cv = _mm512_set1_pd(center);
  double ts[kLanes] = {}, tq[kLanes] = {};
  uint64_t count = 0;
  for (int y = 0; y < rows; ++y) {
    const float* p = row_at(src, step, y);
    const uint8_t* mr = kMasked ? row_at(m, mStep, y) : nullptr;
    __m512 s[4], q[4];
    for (int j = 0; j < 4; ++j) s[j] = q[j] = _mm512_setzero_ps();
    // A chunk is one 64-lane layout period: block b feeds accumulator b.
    static_assert(kChunk == kLanes, "one chunk per partial-sum period");
    int x = 0;
    for (; x + kChunk <= n; x += kChunk) {
      const Chunk chunk = chunk_selection<kMasked>(mr, x, n);
      if constexpr (kMasked) count += uint64_t(_mm_popcnt_u64(chunk.sel));
      f32_block<C, P>(p, x, block_of<float>(chunk.in, 0), block_of<float>(chunk.sel, 0), c3, g, cv,
                        s[0], q[0]);
      f32_block<C, P>(p, x + 16, block_of<float>(chunk.in, 1), block_of<float>(chunk.sel, 1), c3, g, cv,
                        s[1], q[1]);
      f32_block<C, P>(p, x + 32, block_of<float>(chunk.in, 2), block_of<float>(chunk.sel, 2), c3, g, cv,
                        s[2], q[2]);
      f32_block<C, P>(p, x + 48, block_of<float>(chunk.in, 3), block_of<float>(chunk.sel, 3), c3, g, cv,
                        s[3], q[3]);
    }
    if (x < n) {
      const Chunk chunk = chunk_selection<kMasked>(mr, x, n);
      if constexpr (kMasked) count += uint64_t(_mm_popcnt_u64(chunk.sel));
      f32_block<C, P>(p, x, block_of<float>(chunk.in, 0), block_of<float>(chunk.sel, 0), c3, g, cv,
                        s[0], q[0]);
      if (x + 16 < n) f32_block<C, P>(p, x + 16, block_of<float>(chunk.in, 1), block_of<float>(chunk.sel, 1), c3, g, cv,
                        s[1], q[1]);
      if (x + 32 < n) f32_block<C, P>(p, x + 32, block_of<float>(chunk.in, 2), block_of<float>(chunk.sel, 2), c3, g, cv,
                        s[2], q[2]);
      if (x + 48 < n) f32_block<C, P>(p, x + 48, block_of<float>(chunk.in, 3), block_of<float>(chunk.sel, 3), c3, g, cv,
                        s[3], q[3]);
    }
    if constexpr (P != Pass::Centered) add_to_totals(ts, s);
    if constexpr (P != Pass::Sum) add_to_totals(tq, q);
  }
  if constexpr (!kMasked) count = uint64_t(n) * uint64_t(rows);
  SumSlot out{};
  out.s = lane_total(ts);
  out.q = lane_total(tq);
  out.k = int32_t(uint32_t(count));
  return out;
}

template <class T, int C, bool kMasked, Pass P>
static SumSlot sums(const T* src, int step, const uint8_t* m, int mStep, int n, int rows, int ch,
                    double center) {
  if constexpr (std::is_same_v<T, float>)
    return f32_sums<C, kMasked, P>(src, step, m, mStep, n, rows, ch, center);
  else
    return int_sums<T, C, kMasked, P != Pass::Sum>(src, step, m, mStep, n, rows, ch);
}

// ---- Extrema --------------------------------------------------------------

// Lane-wise running minimum and maximum of one row, in the type's vectors.
template <class T>
struct MinMax;

template <>
struct MinMax<uint8_t> {
  __m512i mn, mx;
  MinMax() : mn(_mm512_set1_epi8(char(0xFF))), mx(_mm512_setzero_si512()) {}
  void add(__m512i v, __mmask64 k) {
    mn = _mm512_mask_min_epu8(mn, k, mn, v);
    mx = _mm512_mask_max_epu8(mx, k, mx, v);
  }
  bool below(uint8_t t) const { return _mm512_cmplt_epu8_mask(mn, _mm512_set1_epi8(char(t))) != 0; }
  bool above(uint8_t t) const { return _mm512_cmpgt_epu8_mask(mx, _mm512_set1_epi8(char(t))) != 0; }
  uint8_t min() const {
    __m256i a = _mm256_min_epu8(_mm512_castsi512_si256(mn), _mm512_castsi512_si256(high_half(mn)));
    __m128i b = _mm_min_epu8(_mm256_castsi256_si128(a), _mm256_extracti128_si256(a, 1));
    b = _mm_min_epu8(b, _mm_srli_si128(b, 8));
    b = _mm_min_epu8(b, _mm_srli_si128(b, 4));
    b = _mm_min_epu8(b, _mm_srli_si128(b, 2));
    b = _mm_min_epu8(b, _mm_srli_si128(b, 1));
    return uint8_t(_mm_cvtsi128_si32(b));
  }
  uint8_t max() const {
    __m256i a = _mm256_max_epu8(_mm512_castsi512_si256(mx), _mm512_castsi512_si256(high_half(mx)));
    __m128i b = _mm_max_epu8(_mm256_castsi256_si128(a), _mm256_extracti128_si256(a, 1));
    b = _mm_max_epu8(b, _mm_srli_si128(b, 8));
    b = _mm_max_epu8(b, _mm_srli_si128(b, 4));
    b = _mm_max_epu8(b, _mm_srli_si128(b, 2));
    b = _mm_max_epu8(b, _mm_srli_si128(b, 1));
    return uint8_t(_mm_cvtsi128_si32(b));
  }
};

template <>
struct MinMax<uint16_t> {
  __m512i mn, mx;
  MinMax() : mn(_mm512_set1_epi16(-1)), mx(_mm512_setzero_si512()) {}
  void add(__m512i v, __mmask32 k) {
    mn = _mm512_mask_min_epu16(mn, k, mn, v);
    mx = _mm512_mask_max_epu16(mx, k, mx, v);
  }
  bool below(uint16_t t) const { return _mm512_cmplt_epu16_mask(mn, _mm512_set1_epi16(short(t))) != 0; }
  bool above(uint16_t t) const { return _mm512_cmpgt_epu16_mask(mx, _mm512_set1_epi16(short(t))) != 0; }
  uint16_t min() const {
    __m256i a = _mm256_min_epu16(_mm512_castsi512_si256(mn), _mm512_castsi512_si256(high_half(mn)));
    __m128i b = _mm_min_epu16(_mm256_castsi256_si128(a), _mm256_extracti128_si256(a, 1));
    b = _mm_min_epu16(b, _mm_srli_si128(b, 8));
    b = _mm_min_epu16(b, _mm_srli_si128(b, 4));
    b = _mm_min_epu16(b, _mm_srli_si128(b, 2));
    return uint16_t(_mm_cvtsi128_si32(b));
  }
  uint16_t max() const {
    __m256i a = _mm256_max_epu16(_mm512_castsi512_si256(mx), _mm512_castsi512_si256(high_half(mx)));
    __m128i b = _mm_max_epu16(_mm256_castsi256_si128(a), _mm256_extracti128_si256(a, 1));
    b = _mm_max_epu16(b, _mm_srli_si128(b, 8));
    b = _mm_max_epu16(b, _mm_srli_si128(b, 4));
    b = _mm_max_epu16(b, _mm_srli_si128(b, 2));
    return uint16_t(_mm_cvtsi128_si32(b));
  }
};

template <>
struct MinMax<float> {
  __m512 mn, mx;
  MinMax() : mn(_mm512_set1_ps(INFINITY)), mx(_mm512_set1_ps(-INFINITY)) {}
  // min/max return their second operand when a comparison fails, so a NaN
  // pixel leaves the lane as it was.
  void add(__m512i vi, __mmask16 k) {
    const __m512 v = _mm512_castsi512_ps(vi);
    mn = _mm512_mask_min_ps(mn, k, v, mn);
    mx = _mm512_mask_max_ps(mx, k, v, mx);
  }
  bool below(float t) const { return _mm512_cmp_ps_mask(mn, _mm512_set1_ps(t), _CMP_LT_OQ) != 0; }
  bool above(float t) const { return _mm512_cmp_ps_mask(mx, _mm512_set1_ps(t), _CMP_GT_OQ) != 0; }
  float min() const {
    __m512 t = _mm512_min_ps(mn, high_half(mn));
    t = _mm512_min_ps(t, _mm512_shuffle_f32x4(t, t, 0xB1));
    t = _mm512_min_ps(t, _mm512_permute_ps(t, 0x4E));
    t = _mm512_min_ps(t, _mm512_permute_ps(t, 0xB1));
    return _mm512_cvtss_f32(t);
  }
  float max() const {
    __m512 t = _mm512_max_ps(mx, high_half(mx));
    t = _mm512_max_ps(t, _mm512_shuffle_f32x4(t, t, 0xB1));
    t = _mm512_max_ps(t, _mm512_permute_ps(t, 0x4E));
    t = _mm512_max_ps(t, _mm512_permute_ps(t, 0xB1));
    return _mm512_cvtss_f32(t);
  }
};

template <class T, int C, bool kMasked>
static void extrema(const T* src, int step, const uint8_t* m, int mStep, int n, int y0, int rows, int ch,
                    ExtSlot<T>& out) {
  using V = Vec<T>;
  constexpr int kN = V::kN;
  const Channel3<T> c3(ch);
  for (int y = 0; y < rows; ++y) {
    const T* p = row_at(src, step, y);
    const uint8_t* mr = kMasked ? row_at(m, mStep, y) : nullptr;
    MinMax<T> r;
    for (int x = 0; x < n; x += kChunk) {
      const Chunk chunk = chunk_selection<kMasked>(mr, x, n);
#pragma GCC unroll 4
      for (int b = 0; b < kChunk / kN; ++b) {
        if (b > 0 && x + b * kN >= n) break;
        const typename V::Mask in = block_of<T>(chunk.in, b), sel = block_of<T>(chunk.sel, b);
        for (int j = 0; j < C; ++j) {
          const __m512i v = load_block<T, C>(p + size_t(x + b * kN) * C, in, c3, j);
          r.add(v, lanes_of<T, C>(sel, c3, j));
        }
      }
    }
    // Reduce a row only when it can change the stripe's result. Lanes start
    // at the type's extremes, so a row without a usable pixel can never pass
    // the test, and when reduced gives a minimum above its maximum.
    if (out.found && !r.below(out.mn) && !r.above(out.mx)) continue;
    const T lo = r.min(), hi = r.max();
    if (hi < lo) continue;
    if (!out.found || lo < out.mn) { out.mn = lo; out.minRow = y0 + y; }
    if (!out.found || hi > out.mx) { out.mx = hi; out.maxRow = y0 + y; }
    out.found = 1;
  }
}

}  // namespace avx512
ZUV_AVX512_END
#pragma GCC diagnostic pop

namespace {

bool threaded(Threads t, ImageSize roi) {
  const int64_t area = parallel::area32(roi);
  if (t.perThread > 0) return area >= t.perThread * int64_t(owncvGetMaxNumThreads());
  if (t.fixed > 0) return area >= t.fixed;
  return false;
}

// Checks in the family's order: source, mask, required output pointers;
// region; source step (with its element multiple here for EvenAt::Src);
// mask step; the multiple otherwise; the channel of interest last.
template <class T, Layout L, EvenAt kEven>
Status check_args(const T* src, int srcStep, const uint8_t* m, int mStep, ImageSize roi, int coi,
                  const void* required) {
  constexpr int C = channels(L);
  ZUV_TRY(check::not_null(src));
  if constexpr (masked(L)) ZUV_TRY(check::not_null(m));
  ZUV_TRY(check::not_null(required));
  ZUV_TRY(check::roi(roi));
  ZUV_TRY((check::step_of<T, C>(srcStep, roi)));
  if constexpr (kEven == EvenAt::Src) ZUV_TRY(check::multiple<T>(srcStep));
  if constexpr (masked(L)) ZUV_TRY(check::step_of<uint8_t>(mStep, roi));
  if constexpr (kEven == EvenAt::Mask) ZUV_TRY(check::multiple<T>(srcStep));
  if constexpr (C == 3) ZUV_TRY(check::coi(coi));
  return StatusOk;
}

template <class T, Layout L, Pass P>
SumSlot stripe_sums(bool vec, const T* src, int step, const uint8_t* m, int mStep, int n, int y0,
                    int rows, int ch, double center) {
  constexpr int C = channels(L);
  constexpr bool M = masked(L);
  const T* s = row_at(src, step, y0);
  const uint8_t* mr = M ? row_at(m, mStep, y0) : nullptr;
  if (vec) return avx512::sums<T, C, M, P>(s, step, mr, mStep, n, rows, ch, center);
  return ref::sums<T, C, M, P>(s, step, mr, mStep, n, rows, ch, center);
}

// Whole-region sums over stripes, combined in thread order.
template <class T, Layout L, Pass P>
SumSlot region_sums(bool vec, bool par, const T* src, int step, const uint8_t* m, int mStep,
                    ImageSize roi, int ch) {
  SumSlot total{};
  uint32_t k = 0;
  parallel::reduce_rows<SumSlot>(
      roi.height, par,
      [&](int y0, int rows, SumSlot& slot) {
        slot = stripe_sums<T, L, P>(vec, src, step, m, mStep, roi.width, y0, rows, ch, 0.0);
      },
      [&](const SumSlot& slot) {
        total.s += slot.s;
        total.q += slot.q;
        k += uint32_t(slot.k);
      });
  total.k = int32_t(k);
  return total;
}

// Mean, and the deviation when `dev` is wanted (both pointers may be null in
// the deviation members).
template <class T, Layout L, EvenAt kEven, bool kDeviation>
Status mean_stddev(const T* src, int srcStep, const uint8_t* m, int mStep, ImageSize roi, int coi,
                   double* mean, double* dev, Threads thr) {
  ZUV_TRY((check_args<T, L, kEven>(src, srcStep, m, mStep, roi, coi,
                                   kDeviation ? static_cast<const void*>(src) : mean)));
  const bool wantDev = kDeviation && dev != nullptr;
  if (!mean && !wantDev) return StatusOk;
  const bool vec = use_avx512();
  const int ch = coi - 1;
  const bool par = threaded(thr, roi);
  const SumSlot t = wantDev ? region_sums<T, L, Pass::SumSquares>(vec, par, src, srcStep, m, mStep, roi, ch)
                            : region_sums<T, L, Pass::Sum>(vec, par, src, srcStep, m, mStep, roi, ch);
  const int32_t n = masked(L) ? t.k : parallel::area32(roi);
  double mu = 0.0, sd = 0.0;
  if (n != 0) {
    mu = t.s / double(n);
    if (wantDev) {
      const double m2 = t.q / double(n);
      sd = std::sqrt(std::fabs(std::fma(-mu, mu, m2)));
      // One-pass variance loses its digits when it is small against the
      // squared mean: sum the squared deviations about the mean instead.
      // It runs on the calling thread.
      if constexpr (std::is_same_v<T, float> && L != Layout::C1MR) {
        if (0.05 * mu * mu > sd * sd) {
          const SumSlot d = stripe_sums<T, L, Pass::Centered>(vec, src, srcStep, m, mStep, roi.width,
                                                              0, roi.height, ch, mu);
          sd = std::sqrt(d.q / double(n));
        }
      }
    }
  }
  if (mean) *mean = mu;
  if (wantDev) *dev = sd;
  return StatusOk;
}

// First column of row y holding v among the selected pixels (0 if none).
template <class T, int C, bool kMasked>
int first_column(const T* src, int step, const uint8_t* m, int mStep, int n, int y, int ch, T v) {
  const T* p = row_at(src, step, y);
  const uint8_t* mr = kMasked ? row_at(m, mStep, y) : nullptr;
  for (int x = 0; x < n; ++x)
    if ((!kMasked || mr[x] != 0) && p[size_t(x) * C + ch] == v) return x;
  return 0;
}

template <class T, Layout L, EvenAt kEven>
Status min_max(const T* src, int srcStep, const uint8_t* m, int mStep, ImageSize roi, int coi,
               float* minVal, float* maxVal, ImagePoint* minIdx, ImagePoint* maxIdx, Threads thr) {
  constexpr int C = channels(L);
  constexpr bool M = masked(L);
  ZUV_TRY((check_args<T, L, kEven>(src, srcStep, m, mStep, roi, coi, src)));
  if (!minVal && !maxVal && !minIdx && !maxIdx) return StatusOk;
  const bool vec = use_avx512();
  const int ch = coi - 1;
  ExtSlot<T> r{};
  parallel::reduce_rows<ExtSlot<T>>(
      roi.height, threaded(thr, roi),
      [&](int y0, int rows, ExtSlot<T>& slot) {
        const T* s = row_at(src, srcStep, y0);
        const uint8_t* mr = M ? row_at(m, mStep, y0) : nullptr;
        if (vec) avx512::extrema<T, C, M>(s, srcStep, mr, mStep, roi.width, y0, rows, ch, slot);
        else ref::extrema<T, C, M>(s, srcStep, mr, mStep, roi.width, y0, rows, ch, slot);
      },
      // Thread order, replacing only by a strictly better value: on ties the
      // upper stripe keeps the first occurrence.
      [&](const ExtSlot<T>& s) {
        if (!s.found) return;
        if (!r.found || s.mn < r.mn) { r.mn = s.mn; r.minRow = s.minRow; }
        if (!r.found || s.mx > r.mx) { r.mx = s.mx; r.maxRow = s.maxRow; }
        r.found = 1;
      });
  ImagePoint pmin{0, 0}, pmax{0, 0};
  float vmin = 0.f, vmax = 0.f;
  if (r.found) {
    pmin = {first_column<T, C, M>(src, srcStep, m, mStep, roi.width, r.minRow, ch, r.mn), r.minRow};
    pmax = {first_column<T, C, M>(src, srcStep, m, mStep, roi.width, r.maxRow, ch, r.mx), r.maxRow};
    // The value at the position itself: for 32f this keeps the sign of a
    // zero extreme independent of the order in which lanes were compared.
    vmin = float(row_at(src, srcStep, pmin.y)[size_t(pmin.x) * C + ch]);
    vmax = float(row_at(src, srcStep, pmax.y)[size_t(pmax.x) * C + ch]);
  }
  if (minVal) *minVal = vmin;
  if (maxVal) *maxVal = vmax;
  if (minIdx) *minIdx = pmin;
  if (maxIdx) *maxIdx = pmax;
  return StatusOk;
}

}  // namespace
}  // namespace zuv::stats

// Parameter lists and forwarded arguments of the four layouts.
#define ZUV_STATS_PARAMS_C1R(T) const T *pSrc, int srcStep, ImageSize roiSize
#define ZUV_STATS_PARAMS_C1MR(T) \
  const T *pSrc, int srcStep, const uint8_t *pMask, int maskStep, ImageSize roiSize
#define ZUV_STATS_PARAMS_C3CR(T) const T *pSrc, int srcStep, ImageSize roiSize, int coi
#define ZUV_STATS_PARAMS_C3CMR(T) \
  const T *pSrc, int srcStep, const uint8_t *pMask, int maskStep, ImageSize roiSize, int coi
#define ZUV_STATS_ARGS_C1R pSrc, srcStep, nullptr, 0, roiSize, 1
#define ZUV_STATS_ARGS_C1MR pSrc, srcStep, pMask, maskStep, roiSize, 1
#define ZUV_STATS_ARGS_C3CR pSrc, srcStep, nullptr, 0, roiSize, coi
#define ZUV_STATS_ARGS_C3CMR pSrc, srcStep, pMask, maskStep, roiSize, coi

#define X(name, T, L, thr, even)                                                               \
  ZUV_EXPORT(name, (ZUV_STATS_PARAMS_##L(T), double* pMean),                                   \
             (zuv::stats::mean_stddev<T, zuv::stats::Layout::L, zuv::stats::EvenAt::even, false>( \
                 ZUV_STATS_ARGS_##L, pMean, nullptr, zuv::stats::thr)))
ZUV_MEAN_TABLE(X)
#undef X

#define X(name, T, L, thr, even)                                                              \
  ZUV_EXPORT(name, (ZUV_STATS_PARAMS_##L(T), double* pMean, double* pStdDev),                 \
             (zuv::stats::mean_stddev<T, zuv::stats::Layout::L, zuv::stats::EvenAt::even, true>( \
                 ZUV_STATS_ARGS_##L, pMean, pStdDev, zuv::stats::thr)))
ZUV_MEAN_STDDEV_TABLE(X)
#undef X

#define X(name, T, L, thr, even)                                                                \
  ZUV_EXPORT(name,                                                                              \
             (ZUV_STATS_PARAMS_##L(T), float* pMinVal, float* pMaxVal, ImagePoint* pMinIndex,   \
              ImagePoint* pMaxIndex),                                                           \
             (zuv::stats::min_max<T, zuv::stats::Layout::L, zuv::stats::EvenAt::even>(           \
                 ZUV_STATS_ARGS_##L, pMinVal, pMaxVal, pMinIndex, pMaxIndex, zuv::stats::thr)))
ZUV_MINMAX_TABLE(X)
#undef X
