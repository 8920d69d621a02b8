// SPDX-License-Identifier: BSD-3-Clause
// Masked infinity, L1 and L2 norms of an image, of a difference, and relative to a second image.
#include "arith/norm.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

#include "core/check.h"
#include "core/cpu.h"
#include "core/export.h"
#include "core/image.h"
#include "core/parallel.h"
#include "core/services.h"
#include "core/simd.h"

namespace zuv::norm {

// One stripe's partial result: the measured quantity and, for relative norms,
// the same quantity of the second image. Sums or maxima, as the norm says.
struct Slot {
  double num;
  double den;
};

// The images of one call; ch is the channel read (0 for one-channel images).
template <class T>
struct Rows {
  const T* a;
  int aStep;
  const T* b;
  int bStep;
  const uint8_t* m;
  int mStep;
  int width;
  int ch;
};

// 32f rows are summed in single precision into kPartials<C> interleaved partial
// sums: element e of a row (e = x for one channel, 3x + ch for three) goes to
// partial e mod kPartials. At the end of each row partial 8g + l is added to
// 64f total l, for g = 0, 1, ... in turn; a stripe's value is the eight totals
// summed pairwise, ((t0+t4) + (t2+t6)) + ((t1+t5) + (t3+t7)). The vector kernels hold
// exactly this layout in their accumulators, so both paths give the same bits.
template <int C>
constexpr int kPartials = C == 1 ? 64 : 96;

namespace {

inline float clear_sign(float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, 4);
  bits &= 0x7FFFFFFFu;
  std::memcpy(&v, &bits, 4);
  return v;
}

inline double pairwise8(const double t[8]) {
  const double h0 = t[0] + t[4], h1 = t[1] + t[5], h2 = t[2] + t[6], h3 = t[3] + t[7];
  return (h0 + h2) + (h1 + h3);
}

}  // namespace

namespace ref {

// Integer members: exact sums (or maxima) of |x| or x^2 in 64 bits.
template <Kind kind, Norm norm, class T, int C>
Slot int_stripe(const Rows<T>& g, int y0, int rows) {
  uint64_t num = 0, den = 0;
  auto take = [](uint64_t& acc, uint32_t v) {
    if constexpr (norm == Norm::Inf) acc = v > acc ? v : acc;
    else if constexpr (norm == Norm::L1) acc += v;
    else acc += uint64_t(v) * v;
  };
  for (int y = y0; y < y0 + rows; ++y) {
    const T* a = row_at(g.a, g.aStep, y) + g.ch;
    const T* b = kind == Kind::Plain ? nullptr : row_at(g.b, g.bStep, y) + g.ch;
    const uint8_t* m = row_at(g.m, g.mStep, y);
    for (int x = 0; x < g.width; ++x) {
      if (m[x] == 0) continue;
      const uint32_t va = a[x * C];
      if constexpr (kind == Kind::Plain) {
        take(num, va);
      } else {
        const uint32_t vb = b[x * C];
        take(num, va > vb ? va - vb : vb - va);
        if constexpr (kind == Kind::Rel) take(den, vb);
      }
    }
  }
  return Slot{double(num), double(den)};
}

// 32f members: the single-precision partial sums described at kPartials, or
// the largest absolute value starting from 0 (a NaN never replaces it).
template <Kind kind, Norm norm, int C>
Slot f32_stripe(const Rows<float>& g, int y0, int rows) {
  constexpr int kP = kPartials<C>;
  float maxNum = 0.f, maxDen = 0.f;
  double totNum[8] = {}, totDen[8] = {};
  float pNum[kP], pDen[kP];
  auto take = [](float& acc, float v) {
    if constexpr (norm == Norm::Inf) {
      const float s = clear_sign(v);
      if (s > acc) acc = s;
    } else if constexpr (norm == Norm::L1) {
      acc = acc + clear_sign(v);
    } else {
      acc = std::fma(v, v, acc);
    }
  };
  for (int y = y0; y < y0 + rows; ++y) {
    const float* a = row_at(g.a, g.aStep, y) + g.ch;
    const float* b = kind == Kind::Plain ? nullptr : row_at(g.b, g.bStep, y) + g.ch;
    const uint8_t* m = row_at(g.m, g.mStep, y);
    for (int i = 0; i < kP; ++i) pNum[i] = pDen[i] = 0.f;
    for (int x = 0; x < g.width; ++x) {
      if (m[x] == 0) continue;
      const int e = (x * C + g.ch) % kP;
      float& n = norm == Norm::Inf ? maxNum : pNum[e];
      float& d = norm == Norm::Inf ? maxDen : pDen[e];
      if constexpr (kind == Kind::Plain) {
        take(n, a[x * C]);
      } else {
        take(n, a[x * C] - b[x * C]);
        if constexpr (kind == Kind::Rel) take(d, b[x * C]);
      }
    }
    if constexpr (norm != Norm::Inf)
      for (int i = 0; i < kP; ++i) {
        totNum[i % 8] += double(pNum[i]);
        totDen[i % 8] += double(pDen[i]);
      }
  }
  if constexpr (norm == Norm::Inf) return Slot{double(maxNum), double(maxDen)};
  else return Slot{pairwise8(totNum), pairwise8(totDen)};
}

}  // namespace ref

ZUV_AVX512_BEGIN
namespace avx512 {

// Mask bits of a step of kStep pixels (64 or 32): bit x is set when mask
// byte x is non-zero; the last step of a row reads only its `rem` bytes.
template <int kStep, bool kFull>
static inline uint64_t mask_bits(const uint8_t* m, int rem) {
  if constexpr (kFull && kStep == 64) {
    const __m512i v = _mm512_loadu_si512(m);
    return _mm512_test_epi8_mask(v, v);
  } else if constexpr (kFull) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(m));
    return _mm256_test_epi8_mask(v, v);
  } else {
    const __m512i v = _mm512_maskz_loadu_epi8(simd::mask64(rem), m);
    return _mm512_test_epi8_mask(v, v);
  }
}

// A block of L three-channel pixels spans three vectors of L lanes. Vector j
// holds channel ch of pixels shift[j], shift[j] + 1, ... in the lanes set in
// pat[j]; depositing the block's mask bits from shift[j] onwards into pat[j]
// gives the lanes that count: other channels and unselected pixels are zero.
struct ChannelLanes {
  uint64_t pat[3];
  int shift[3];
};

static inline ChannelLanes channel_lanes(int lanes, int ch) {
  ChannelLanes c{};
  for (int j = 0; j < 3; ++j) {
    c.shift[j] = (lanes * j - ch + 2) / 3;
    for (int p = c.shift[j]; 3 * p + ch < lanes * (j + 1); ++p)
      c.pat[j] |= 1ull << (3 * p + ch - lanes * j);
  }
  return c;
}

// Lane mask of vector v of a step starting at mask bit 0 of `bits`.
template <int C, int L>
static inline uint64_t lane_mask(uint64_t bits, int v, const ChannelLanes& cl) {
  if constexpr (C == 1) {
    return bits >> (v * L);
  } else {
    const int blk = v / 3, j = v % 3;
    return _pdep_u64(bits >> (blk * L + cl.shift[j]), cl.pat[j]);
  }
}

// ---- integer members ----

// Accumulators of one quantity over a stripe. Inf: a holds lane maxima.
// L1: a (and for 16u b, the high bytes) hold 64-bit sums. L2: for 8u a holds
// 32-bit sums flushed into the 64-bit sums b; for 16u a holds 64-bit sums.
struct IntAcc {
  __m512i a, b;
};

// Lanes outside k are zero. A step wholly inside the row loads whole vectors
// and clears the lanes (quicker than sparse masked loads); the last step of a
// row loads only the lanes in k, so nothing past the region is touched.
template <class T, bool kFull>
static inline __m512i load_int(uint64_t k, const T* p) {
  if constexpr (kFull && sizeof(T) == 1) return _mm512_maskz_mov_epi8(__mmask64(k), _mm512_loadu_si512(p));
  else if constexpr (kFull) return _mm512_maskz_mov_epi16(__mmask32(k), _mm512_loadu_si512(p));
  else if constexpr (sizeof(T) == 1) return _mm512_maskz_loadu_epi8(__mmask64(k), p);
  else return _mm512_maskz_loadu_epi16(__mmask32(k), p);
}

template <class T>
static inline __m512i abs_diff(__m512i a, __m512i b) {
  if constexpr (sizeof(T) == 1) return _mm512_or_si512(_mm512_subs_epu8(a, b), _mm512_subs_epu8(b, a));
  else return _mm512_or_si512(_mm512_subs_epu16(a, b), _mm512_subs_epu16(b, a));
}

template <class T, Norm norm>
static inline void int_add(IntAcc& acc, __m512i v) {
  const __m512i zero = _mm512_setzero_si512();
  if constexpr (norm == Norm::Inf) {
    acc.a = sizeof(T) == 1 ? _mm512_max_epu8(acc.a, v) : _mm512_max_epu16(acc.a, v);
  } else if constexpr (norm == Norm::L1 && sizeof(T) == 1) {
    acc.a = _mm512_add_epi64(acc.a, _mm512_sad_epu8(v, zero));
  } else if constexpr (norm == Norm::L1) {
    // x = 256 h + l: byte sums of the low and the high halves separately.
    const __m512i lo = _mm512_and_si512(v, _mm512_set1_epi16(0x00FF));
    const __m512i hi = _mm512_srli_epi16(v, 8);
    acc.a = _mm512_add_epi64(acc.a, _mm512_sad_epu8(lo, zero));
    acc.b = _mm512_add_epi64(acc.b, _mm512_sad_epu8(hi, zero));
  } else if constexpr (sizeof(T) == 1) {
    // Four squares of at most 255^2 per 32-bit lane and vector.
    const __m512i lo = _mm512_unpacklo_epi8(v, zero);
    const __m512i hi = _mm512_unpackhi_epi8(v, zero);
    acc.a = _mm512_add_epi32(acc.a, _mm512_add_epi32(_mm512_madd_epi16(lo, lo), _mm512_madd_epi16(hi, hi)));
  } else {
    // Squares of up to 65535^2 need 64 bits: even and odd elements in turn.
    const __m512i ev = _mm512_and_si512(v, _mm512_set1_epi32(0xFFFF));
    const __m512i od = _mm512_srli_epi32(v, 16);
    const __m512i s0 = _mm512_add_epi64(_mm512_mul_epu32(ev, ev), _mm512_mul_epu32(od, od));
    const __m512i ev2 = _mm512_srli_epi64(ev, 32), od2 = _mm512_srli_epi64(od, 32);
    const __m512i s1 = _mm512_add_epi64(_mm512_mul_epu32(ev2, ev2), _mm512_mul_epu32(od2, od2));
    acc.a = _mm512_add_epi64(acc.a, _mm512_add_epi64(s0, s1));
  }
}

// Steps between flushes of the 8u L2 32-bit sums: each step adds at most three
// vectors, 3 * 4 * 255^2 per lane, so 2048 steps stay below 2^31.
constexpr int kFlushSteps = 2048;

template <class T, Norm norm>
static inline void int_flush(IntAcc& acc) {
  if constexpr (norm == Norm::L2 && sizeof(T) == 1) {
    const __m512i lo = _mm512_and_si512(acc.a, _mm512_set1_epi64(0xFFFFFFFF));
    acc.b = _mm512_add_epi64(acc.b, _mm512_add_epi64(lo, _mm512_srli_epi64(acc.a, 32)));
    acc.a = _mm512_setzero_si512();
  }
}

static inline uint64_t sum_u64(__m512i v) {
  alignas(64) uint64_t lanes[8];
  _mm512_store_si512(lanes, v);
  uint64_t s = 0;
  for (uint64_t x : lanes) s += x;
  return s;
}

template <class T, Norm norm>
static inline uint64_t int_total(const IntAcc& acc) {
  if constexpr (norm == Norm::Inf) {
    alignas(64) T lanes[64 / sizeof(T)];
    _mm512_store_si512(lanes, acc.a);
    uint32_t best = 0;
    for (T v : lanes) best = v > best ? v : best;
    return best;
  } else if constexpr (norm == Norm::L1 && sizeof(T) == 2) {
    return sum_u64(acc.a) + (sum_u64(acc.b) << 8);
  } else if constexpr (norm == Norm::L2 && sizeof(T) == 1) {
    return sum_u64(acc.b);
  } else {
    return sum_u64(acc.a);
  }
}

// One step of kStep pixels from x: V vectors of the sources under their lane masks.
template <Kind kind, Norm norm, class T, int C, bool kFull>
static inline void int_step(const T* a, const T* b, const uint8_t* m, int x, int n,
                            const ChannelLanes& cl, IntAcc& num, IntAcc& den) {
  constexpr int L = 64 / int(sizeof(T));     // lanes per vector
  constexpr int kStep = 64;                  // pixels per step
  constexpr int V = C * kStep / L;           // vectors per step
  const uint64_t bits = mask_bits<kStep, kFull>(m + x, n - x);
#pragma GCC unroll 6
  for (int v = 0; v < V; ++v) {
    const uint64_t k = lane_mask<C, L>(bits, v, cl);
    const int e = C * x + v * L;
    const __m512i va = load_int<T, kFull>(k, a + e);
    if constexpr (kind == Kind::Plain) {
      int_add<T, norm>(num, va);
    } else {
      const __m512i vb = load_int<T, kFull>(k, b + e);
      int_add<T, norm>(num, abs_diff<T>(va, vb));
      if constexpr (kind == Kind::Rel) int_add<T, norm>(den, vb);
    }
  }
}

template <Kind kind, Norm norm, class T, int C>
static Slot int_stripe(const Rows<T>& g, int y0, int rows) {
  constexpr int kStep = 64;
  const ChannelLanes cl = channel_lanes(64 / int(sizeof(T)), g.ch);
  IntAcc num{_mm512_setzero_si512(), _mm512_setzero_si512()};
  IntAcc den = num;
  const int n = g.width;
  for (int y = y0; y < y0 + rows; ++y) {
    const T* a = row_at(g.a, g.aStep, y);
    const T* b = kind == Kind::Plain ? nullptr : row_at(g.b, g.bStep, y);
    const uint8_t* m = row_at(g.m, g.mStep, y);
    int x = 0, steps = 0;
    for (; x + kStep <= n; x += kStep) {
      int_step<kind, norm, T, C, true>(a, b, m, x, n, cl, num, den);
      if (++steps == kFlushSteps) {
        int_flush<T, norm>(num);
        int_flush<T, norm>(den);
        steps = 0;
      }
    }
    if (x < n) int_step<kind, norm, T, C, false>(a, b, m, x, n, cl, num, den);
    int_flush<T, norm>(num);
    int_flush<T, norm>(den);
  }
  return Slot{double(int_total<T, norm>(num)), double(int_total<T, norm>(den))};
}

// ---- 32f members ----

static inline __m512 abs_ps(__m512 v) {
  return _mm512_castsi512_ps(_mm512_and_si512(_mm512_castps_si512(v), _mm512_set1_epi32(0x7FFFFFFF)));
}

// One vector into its accumulator; a NaN never replaces a maximum.
template <Norm norm>
static inline __m512 f32_take(__m512 acc, __m512 v) {
  if constexpr (norm == Norm::Inf) return _mm512_max_ps(abs_ps(v), acc);
  else if constexpr (norm == Norm::L1) return _mm512_add_ps(acc, abs_ps(v));
  else return _mm512_fmadd_ps(v, v, acc);
}

// Halves of a vector. The zero-masked forms keep GCC 12 from warning about
// the undefined upper lanes its plain casts start from.
static inline __m256 half_ps(__m512 v, int hi) {
  return hi ? _mm512_maskz_extractf32x8_ps(0xFF, v, 1) : _mm512_maskz_extractf32x8_ps(0xFF, v, 0);
}
static inline __m256d half_pd(__m512d v, int hi) {
  return hi ? _mm512_maskz_extractf64x4_pd(0xF, v, 1) : _mm512_maskz_extractf64x4_pd(0xF, v, 0);
}

// Adds the partial sums of a row to the 64f totals, 8 at a time in order.
template <int V>
static inline __m512d add_partials(__m512d tot, const __m512 (&acc)[V]) {
#pragma GCC unroll 6
  for (int v = 0; v < V; ++v) {
    tot = _mm512_add_pd(tot, _mm512_cvtps_pd(half_ps(acc[v], 0)));
    tot = _mm512_add_pd(tot, _mm512_cvtps_pd(half_ps(acc[v], 1)));
  }
  return tot;
}

static inline double pairwise8_pd(__m512d t) {
  const __m256d h = _mm256_add_pd(half_pd(t, 0), half_pd(t, 1));
  const __m128d lo = _mm256_castpd256_pd128(h), hi = _mm256_extractf128_pd(h, 1);
  // (t0+t4) + (t2+t6) in lane 0, (t1+t5) + (t3+t7) in lane 1.
  const __m128d q = _mm_add_pd(lo, hi);
  return _mm_cvtsd_f64(_mm_add_sd(q, _mm_unpackhi_pd(q, q)));
}

static inline float max_lanes(__m512 v) {
  alignas(64) float lanes[16];
  _mm512_store_ps(lanes, v);
  float best = 0.f;
  for (float f : lanes) best = f > best ? f : best;
  return best;
}

template <int C>
constexpr int kF32Step = C == 1 ? 64 : 32;  // pixels per step; kPartials / 16 vectors

template <Kind kind, Norm norm, int C, bool kFull>
static inline void f32_step(const float* a, const float* b, const uint8_t* m, int x, int n,
                            const ChannelLanes& cl, __m512 (&accNum)[kPartials<C> / 16],
                            __m512 (&accDen)[kPartials<C> / 16]) {
  constexpr int L = 16;
  constexpr int V = kPartials<C> / L;
  const uint64_t bits = mask_bits<kF32Step<C>, kFull>(m + x, n - x);
#pragma GCC unroll 6
  for (int v = 0; v < V; ++v) {
    const __mmask16 k = __mmask16(lane_mask<C, L>(bits, v, cl));
    const int e = C * x + v * L;
    const __m512 va = kFull ? _mm512_maskz_mov_ps(k, _mm512_loadu_ps(a + e)) : _mm512_maskz_loadu_ps(k, a + e);
    if constexpr (kind == Kind::Plain) {
      accNum[v] = f32_take<norm>(accNum[v], va);
    } else {
      const __m512 vb = kFull ? _mm512_maskz_mov_ps(k, _mm512_loadu_ps(b + e)) : _mm512_maskz_loadu_ps(k, b + e);
      accNum[v] = f32_take<norm>(accNum[v], _mm512_sub_ps(va, vb));
      if constexpr (kind == Kind::Rel) accDen[v] = f32_take<norm>(accDen[v], vb);
    }
  }
}

template <Kind kind, Norm norm, int C>
static Slot f32_stripe(const Rows<float>& g, int y0, int rows) {
  constexpr int kStep = kF32Step<C>;
  constexpr int V = kPartials<C> / 16;
  static_assert(V * 16 == C * kStep, "one step fills every accumulator once");
  const ChannelLanes cl = channel_lanes(16, g.ch);
  __m512d totNum = _mm512_setzero_pd(), totDen = _mm512_setzero_pd();
  __m512 maxNum = _mm512_setzero_ps(), maxDen = _mm512_setzero_ps();
  const int n = g.width;
  for (int y = y0; y < y0 + rows; ++y) {
    const float* a = row_at(g.a, g.aStep, y);
    const float* b = kind == Kind::Plain ? nullptr : row_at(g.b, g.bStep, y);
    const uint8_t* m = row_at(g.m, g.mStep, y);
    __m512 accNum[V], accDen[V];
    for (int v = 0; v < V; ++v) accNum[v] = accDen[v] = _mm512_setzero_ps();
    int x = 0;
    for (; x + kStep <= n; x += kStep) f32_step<kind, norm, C, true>(a, b, m, x, n, cl, accNum, accDen);
    if (x < n) f32_step<kind, norm, C, false>(a, b, m, x, n, cl, accNum, accDen);
    if constexpr (norm == Norm::Inf) {
      for (int v = 0; v < V; ++v) {
        maxNum = _mm512_max_ps(accNum[v], maxNum);
        maxDen = _mm512_max_ps(accDen[v], maxDen);
      }
    } else {
      totNum = add_partials(totNum, accNum);
      if constexpr (kind == Kind::Rel) totDen = add_partials(totDen, accDen);
    }
  }
  if constexpr (norm == Norm::Inf) return Slot{double(max_lanes(maxNum)), double(max_lanes(maxDen))};
  else return Slot{pairwise8_pd(totNum), pairwise8_pd(totDen)};
}

}  // namespace avx512
ZUV_AVX512_END

namespace {

template <Kind kind, Norm norm, class T, int C>
Slot stripe(bool vec, const Rows<T>& g, int y0, int rows) {
  if constexpr (std::is_same_v<T, float>)
    return vec ? avx512::f32_stripe<kind, norm, C>(g, y0, rows) : ref::f32_stripe<kind, norm, C>(g, y0, rows);
  else
    return vec ? avx512::int_stripe<kind, norm, T, C>(g, y0, rows)
               : ref::int_stripe<kind, norm, T, C>(g, y0, rows);
}

// Checks in the family's order: pointers, region, steps (in the plain norm the
// source step, its multiple, the mask step; with two sources both source steps,
// the mask step, then the multiples of both), last the channel of interest.
template <Kind kind, class T, int C>
Status check_args(const T* a, int aStep, const T* b, int bStep, const uint8_t* m, int mStep,
                  ImageSize roi, int coi, const double* out) {
  if constexpr (kind == Kind::Plain) {
    ZUV_TRY(check::not_null(a, m, out));
    ZUV_TRY(check::roi(roi));
    ZUV_TRY((check::step_and_multiple<T, C>(aStep, roi)));
    ZUV_TRY(check::step_of<uint8_t>(mStep, roi));
  } else {
    ZUV_TRY(check::not_null(a, b, m, out));
    ZUV_TRY(check::roi(roi));
    ZUV_TRY((check::step_of<T, C>(aStep, roi)));
    ZUV_TRY((check::step_of<T, C>(bStep, roi)));
    ZUV_TRY(check::step_of<uint8_t>(mStep, roi));
    ZUV_TRY(check::multiples<T>(aStep, bStep));
  }
  if constexpr (C == 3) ZUV_TRY(check::coi(coi));
  return StatusOk;
}

template <Kind kind, Norm norm, class T, int C>
Status run(const T* a, int aStep, const T* b, int bStep, const uint8_t* m, int mStep, ImageSize roi,
           int coi, double* out, int log2Threshold) {
  ZUV_TRY((check_args<kind, T, C>(a, aStep, b, bStep, m, mStep, roi, coi, out)));
  const Rows<T> g{a, aStep, b, bStep, m, mStep, roi.width, C == 3 ? coi - 1 : 0};
  const bool vec = use_avx512();
  const bool threaded =
      log2Threshold != kNever &&
      int64_t(parallel::area32(roi)) >= (int64_t(owncvGetMaxNumThreads()) << log2Threshold);
  Slot total{0.0, 0.0};
  parallel::reduce_rows<Slot>(
      roi.height, threaded,
      [&](int y0, int rows, Slot& s) { s = stripe<kind, norm, T, C>(vec, g, y0, rows); },
      [&](const Slot& s) {
        if constexpr (norm == Norm::Inf) {
          total.num = s.num > total.num ? s.num : total.num;
          total.den = s.den > total.den ? s.den : total.den;
        } else {
          total.num += s.num;
          total.den += s.den;
        }
      });
  if constexpr (kind != Kind::Rel) {
    *out = norm == Norm::L2 ? std::sqrt(total.num) : total.num;
    return StatusOk;
  } else {
    if (total.den == 0.0) {
      *out = total.num == 0.0 ? std::numeric_limits<double>::quiet_NaN()
                              : std::numeric_limits<double>::infinity();
      return StatusDivByZero;
    }
    const double q = total.num / total.den;
    *out = norm == Norm::L2 ? std::sqrt(q) : q;
    return StatusOk;
  }
}

}  // namespace
}  // namespace zuv::norm

// Parameter lists and calls by kind and layout (C3 forms take the channel of interest).
#define ZUV_NORM_PARAMS_Plain_1(T) \
  (const T* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pNorm)
#define ZUV_NORM_PARAMS_Plain_3(T)                                                               \
  (const T* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, \
   double* pNorm)
#define ZUV_NORM_PARAMS_TWO_1(T)                                                             \
  (const T* pSrc1, int src1Step, const T* pSrc2, int src2Step, const uint8_t* pMask,         \
   int maskStep, ImageSize roiSize, double* pNorm)
#define ZUV_NORM_PARAMS_TWO_3(T)                                                             \
  (const T* pSrc1, int src1Step, const T* pSrc2, int src2Step, const uint8_t* pMask,         \
   int maskStep, ImageSize roiSize, int coi, double* pNorm)
#define ZUV_NORM_PARAMS_Diff_1(T) ZUV_NORM_PARAMS_TWO_1(T)
#define ZUV_NORM_PARAMS_Diff_3(T) ZUV_NORM_PARAMS_TWO_3(T)
#define ZUV_NORM_PARAMS_Rel_1(T) ZUV_NORM_PARAMS_TWO_1(T)
#define ZUV_NORM_PARAMS_Rel_3(T) ZUV_NORM_PARAMS_TWO_3(T)

#define ZUV_NORM_ARGS_Plain_1(k) (pSrc, srcStep, nullptr, 0, pMask, maskStep, roiSize, 1, pNorm, k)
#define ZUV_NORM_ARGS_Plain_3(k) (pSrc, srcStep, nullptr, 0, pMask, maskStep, roiSize, coi, pNorm, k)
#define ZUV_NORM_ARGS_Diff_1(k) (pSrc1, src1Step, pSrc2, src2Step, pMask, maskStep, roiSize, 1, pNorm, k)
#define ZUV_NORM_ARGS_Diff_3(k) \
  (pSrc1, src1Step, pSrc2, src2Step, pMask, maskStep, roiSize, coi, pNorm, k)
#define ZUV_NORM_ARGS_Rel_1(k) ZUV_NORM_ARGS_Diff_1(k)
#define ZUV_NORM_ARGS_Rel_3(k) ZUV_NORM_ARGS_Diff_3(k)

using zuv::norm::kNever;

#define X(name, kind, nrm, T, C, k)                                                   \
  ZUV_EXPORT(name, ZUV_NORM_PARAMS_##kind##_##C(T),                                  \
             (zuv::norm::run<zuv::norm::Kind::kind, zuv::norm::Norm::nrm, T, C>      \
                  ZUV_NORM_ARGS_##kind##_##C(k)))
ZUV_NORM_TABLE(X)
#undef X
