// SPDX-License-Identifier: BSD-3-Clause
// Separable row (with horizontal border) and column pipelines for 8u, 16s, 16u and 32f data.
#include "filter/pipeline.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

#include "core/border.h"
#include "core/check.h"
#include "core/cpu.h"
#include "core/export.h"
#include "core/image.h"
#include "core/parallel.h"
#include "core/services.h"
#include "core/simd.h"

namespace zuv::pipeline {
namespace {

// Threaded passes fork when width * height reaches this many pixels per permitted thread.
constexpr int32_t kParallelPixelsPerThread = 32768;

// How a variant forms and scales its sums.
enum class Arith {
  Float,      // 32f: single-precision sum stored as is
  Scaled16u,  // 16u columns: single-precision sum of float taps, then scaled, rounded, saturated
  UInt,       // 16u rows: exact unsigned 32-bit sum, then scaled, rounded, saturated
  Int,        // 8u16s, 16s, 16s8u, 16s8s: exact 32-bit sum, then scaled, rounded, saturated
  Low         // Low_16s: wrapping 16-bit sum, (sum * q) >> 14, saturated
};

template <class S, bool kLow, bool kRow>
constexpr Arith arith_of() {
  if constexpr (std::is_same_v<S, float>) return Arith::Float;
  else if constexpr (std::is_same_v<S, uint16_t>) return kRow ? Arith::UInt : Arith::Scaled16u;
  else if constexpr (kLow) return Arith::Low;
  else return Arith::Int;
}

// Taps as the kernels consume them: floats for the float sums, 16-bit integers otherwise.
template <Arith A>
using ktap_t = std::conditional_t<A == Arith::Float || A == Arith::Scaled16u, float,
                                  std::conditional_t<A == Arith::UInt, uint16_t, int16_t>>;

struct Scale {
  float recip;  // 1.0f / divisor
  int32_t q;    // trunc(16384.0f / divisor) as a 16-bit value
  // |divisor| >= 2: every scaled 32-bit sum lies within +-2^30, so rounding
  // before saturating gives the same results as saturating first.
  bool unclamped;
  // Integer pair arithmetic may add rows j and k - 1 - j in 16 bits first:
  // the kernel is symmetric and those sums cannot leave the 16-bit range.
  // Float rows: taps j and k - 1 - j have the same bits (shared products).
  bool sym;
  // Float results go out with non-temporal stores where a row starts on a
  // cache line (kStreamOut).
  bool stream;
};

inline Scale make_scale(int divisor) {
  Scale s{1.0f, 16384, false, false, false};
  if (divisor != 0) {
    s.recip = 1.0f / float(divisor);
    s.q = int16_t(int32_t(16384.0f / float(divisor)));
    s.unclamped = divisor >= 2 || divisor <= -2;
  }
  return s;
}

// Taps j and k - 1 - j have the same bits (for floats, -0 differs from +0
// and a NaN matches only itself bit for bit).
template <class T>
bool symmetric(const T* K, int k) {
  for (int j = 0; j < k / 2; ++j)
    if (std::memcmp(&K[j], &K[k - 1 - j], sizeof(T)) != 0) return false;
  return true;
}

// Saturation bounds of a destination type, as floats (exact integers).
template <class D>
constexpr float lo_of() {
  return std::is_same_v<D, int16_t> ? -32768.f : (std::is_same_v<D, int8_t> ? -128.f : 0.f);
}
template <class D>
constexpr float hi_of() {
  return std::is_same_v<D, int16_t>    ? 32767.f
         : std::is_same_v<D, int8_t>   ? 127.f
         : std::is_same_v<D, uint8_t>  ? 255.f
                                       : 65535.f;
}

// Tap j of a row pass reads base + j * stride; of a column pass, rows[j].
template <class S>
struct Strided {
  const S* base;
  ptrdiff_t stride;
  const S* operator()(int j) const { return base + j * stride; }
};
template <class S>
struct Rows {
  const S* const* rows;
  const S* operator()(int j) const { return rows[j]; }
};

inline uint8_t* align_up(void* p, uintptr_t a) {
  const uintptr_t v = reinterpret_cast<uintptr_t>(p);
  return reinterpret_cast<uint8_t*>((v + a - 1) & ~(a - 1));
}

}  // namespace

namespace ref {

// out[i] = sum_j K[j] * src(j)[i] for i in [0, n), with the variant's arithmetic.
template <Arith A, class S, class D, class Src>
void dot(Src src, D* out, int n, const ktap_t<A>* K, int k, const Scale& sc) {
  for (int i = 0; i < n; ++i) {
    if constexpr (A == Arith::Float || A == Arith::Scaled16u) {
      float acc = K[0] * float(src(0)[i]);
      for (int j = 1; j < k; ++j) acc = acc + K[j] * float(src(j)[i]);
      if constexpr (A == Arith::Float) {
        out[i] = acc;
      } else {
        float v = acc * sc.recip;
        v = v < 0.f ? 0.f : (v > 65535.f ? 65535.f : v);
        out[i] = D(std::nearbyint(v));
      }
    } else if constexpr (A == Arith::UInt) {
      uint32_t acc = 0;
      for (int j = 0; j < k; ++j) acc += uint32_t(K[j]) * uint32_t(src(j)[i]);
      float v = float(acc) * sc.recip;
      v = v < 0.f ? 0.f : (v > 65535.f ? 65535.f : v);
      out[i] = D(std::nearbyint(v));
    } else if constexpr (A == Arith::Int) {
      uint32_t acc = 0;
      for (int j = 0; j < k; ++j) acc += uint32_t(int32_t(K[j]) * int32_t(src(j)[i]));
      float v = float(int32_t(acc)) * sc.recip;
      v = v < lo_of<D>() ? lo_of<D>() : (v > hi_of<D>() ? hi_of<D>() : v);
      out[i] = D(std::nearbyint(v));
    } else {
      uint16_t acc = 0;
      for (int j = 0; j < k; ++j) acc = uint16_t(acc + uint16_t(int32_t(K[j]) * int32_t(src(j)[i])));
      const int32_t r = (int32_t(int16_t(acc)) * sc.q) >> 14;
      out[i] = D(r < -32768 ? -32768 : (r > 32767 ? 32767 : r));
    }
  }
}

}  // namespace ref

ZUV_AVX512_BEGIN
namespace avx512 {

// Sixteen source elements as float lanes (masked-off lanes are not read).
static inline __m512 load_f32(const uint16_t* p, __mmask16 m) {
  return _mm512_maskz_cvtepi32_ps(0xFFFF, _mm512_maskz_cvtepu16_epi32(0xFFFF, _mm256_maskz_loadu_epi16(m, p)));
}
static inline __m512 load_f32(const float* p, __mmask16 m) { return _mm512_maskz_loadu_ps(m, p); }

// Rounded 16u results already within 0..65535, stored as 16-bit lanes.
static inline void store_u16(uint16_t* p, __mmask16 m, __m512i v) {
  _mm512_mask_cvtusepi32_storeu_epi16(p, m, v);
}

// Scale by the reciprocal, saturate, round to nearest even. (The zero-masked
// forms with a full mask are the plain instructions; they spare GCC's
// undefined-register idiom, which it reports as uninitialised here.)
static inline __m512i scale_round(__m512 f, __m512 recip, __m512 lo, __m512 hi) {
  constexpr __mmask16 kAll = 0xFFFF;
  f = _mm512_maskz_min_ps(kAll, _mm512_maskz_max_ps(kAll, _mm512_mul_ps(f, recip), lo), hi);
  return _mm512_maskz_cvt_roundps_epi32(kAll, f, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
}
static inline __m512 to_f32(__m512i v) { return _mm512_maskz_cvtepi32_ps(0xFFFF, v); }

// Calls f(std::integral_constant<int, KF>) with KF = k for the kernel sizes
// with unrolled bodies (3 and 5; with kOdd also 7, 9 and 11), else KF = 0.
template <bool kOdd, class F>
static inline void by_size(int k, F&& f) {
  if (k == 3) return f(std::integral_constant<int, 3>{});
  if (k == 5) return f(std::integral_constant<int, 5>{});
  if constexpr (kOdd) {
    if (k == 7) return f(std::integral_constant<int, 7>{});
    if (k == 9) return f(std::integral_constant<int, 9>{});
    if (k == 11) return f(std::integral_constant<int, 11>{});
  }
  f(std::integral_constant<int, 0>{});
}

// by_size<true> for the sizes with unrolled bodies only: calls
// f(std::integral_constant<int, KF>) and returns true for k = 3, 5, 7, 9 or
// 11; returns false (f not called) for any other size.
template <class F>
static inline bool by_odd_size(int k, F&& f) {
  bool done = false;
  by_size<true>(k, [&](auto kf) {
    if constexpr (kf() > 0) {
      done = true;
      f(kf);
    }
  });
  return done;
}

// A vector of float results: non-temporal when asked for, whole and on a
// cache line; else an ordinary (masked) store.
static inline void store_f32(float* p, __mmask16 m, __m512 v, bool stream) {
  if (stream && m == 0xFFFF && (reinterpret_cast<uintptr_t>(p) & 63) == 0) _mm512_stream_ps(p, v);
  else _mm512_mask_storeu_ps(p, m, v);
}

// Up to U vectors of 16 outputs from i (the last under mask `last`) of the
// float sums (32f, and 16u with float taps).
// KF is the kernel size when fixed at compile time (3 or 5), else 0.
template <Arith A, int KF, int U, class S, class D, class Src>
static inline void block32(Src src, D* out, int i, __mmask16 last, const ktap_t<A>* K, int kdyn,
                           const Scale& sc) {
  const int k = KF ? KF : kdyn;
  __m512 acc[U];
  {
    const __m512 t = _mm512_set1_ps(K[0]);
    const S* p = src(0) + i;
    for (int u = 0; u < U; ++u)
      acc[u] = _mm512_mul_ps(load_f32(p + 16 * u, u == U - 1 ? last : __mmask16(0xFFFF)), t);
  }
  for (int j = 1; j < k; ++j) {
    const __m512 t = _mm512_set1_ps(K[j]);
    const S* p = src(j) + i;
    for (int u = 0; u < U; ++u)
      acc[u] = _mm512_add_ps(
          acc[u], _mm512_mul_ps(load_f32(p + 16 * u, u == U - 1 ? last : __mmask16(0xFFFF)), t));
  }
  if constexpr (A == Arith::Float) {
    for (int u = 0; u < U; ++u)
      store_f32(out + i + 16 * u, u == U - 1 ? last : __mmask16(0xFFFF), acc[u], sc.stream);
  } else {
    const __m512 recip = _mm512_set1_ps(sc.recip);
    const __m512 lo = _mm512_setzero_ps(), hi = _mm512_set1_ps(65535.f);
    for (int u = 0; u < U; ++u)
      store_u16(out + i + 16 * u, u == U - 1 ? last : __mmask16(0xFFFF),
                scale_round(acc[u], recip, lo, hi));
  }
}

// Up to U vectors of 16 outputs of the unsigned 32-bit sums (16u rows).
template <int KF, int U, class Src>
static ZUV_INLINE void block_u32(Src src, uint16_t* out, int i, __mmask16 last, const uint16_t* K,
                             int kdyn, const Scale& sc) {
  const int k = KF ? KF : kdyn;
  __m512i acc[U];
  for (int u = 0; u < U; ++u) acc[u] = _mm512_setzero_si512();
  for (int j = 0; j < k; ++j) {
    const __m512i t = _mm512_set1_epi32(int32_t(K[j]));
    const uint16_t* p = src(j) + i;
    for (int u = 0; u < U; ++u) {
      const __m512i x = _mm512_maskz_cvtepu16_epi32(
          0xFFFF, _mm256_maskz_loadu_epi16(u == U - 1 ? last : __mmask16(0xFFFF), p + 16 * u));
      acc[u] = _mm512_add_epi32(acc[u], _mm512_mullo_epi32(x, t));
    }
  }
  const __m512 recip = _mm512_set1_ps(sc.recip);
  const __m512 lo = _mm512_setzero_ps(), hi = _mm512_set1_ps(65535.f);
  for (int u = 0; u < U; ++u)
    store_u16(out + i + 16 * u, u == U - 1 ? last : __mmask16(0xFFFF),
              scale_round(_mm512_maskz_cvtepu32_ps(0xFFFF, acc[u]), recip, lo, hi));
}

// Up to U vectors of 32 outputs of the 16-bit (Low) arithmetic.
template <int KF, int U, class Src>
static ZUV_INLINE void block16(Src src, int16_t* out, int i, __mmask32 last, const int16_t* K, int kdyn,
                           const Scale& sc) {
  const int k = KF ? KF : kdyn;
  __m512i acc[U];
  for (int u = 0; u < U; ++u) acc[u] = _mm512_setzero_si512();
  for (int j = 0; j < k; ++j) {
    const __m512i t = _mm512_set1_epi16(K[j]);
    const int16_t* p = src(j) + i;
    for (int u = 0; u < U; ++u) {
      const __m512i x = _mm512_maskz_loadu_epi16(u == U - 1 ? last : __mmask32(~0u), p + 32 * u);
      acc[u] = _mm512_add_epi16(acc[u], _mm512_mullo_epi16(x, t));
    }
  }
  const __m512i q = _mm512_set1_epi32(sc.q);
  for (int u = 0; u < U; ++u) {
    const __mmask32 m = u == U - 1 ? last : __mmask32(~0u);
    const __m512i lo = _mm512_cvtepi16_epi32(_mm512_castsi512_si256(acc[u]));
    const __m512i hi = _mm512_cvtepi16_epi32(_mm512_extracti64x4_epi64(acc[u], 1));
    _mm512_mask_cvtsepi32_storeu_epi16(out + i + 32 * u, __mmask16(m),
                                       _mm512_srai_epi32(_mm512_mullo_epi32(lo, q), 14));
    _mm512_mask_cvtsepi32_storeu_epi16(out + i + 32 * u + 16, __mmask16(m >> 16),
                                       _mm512_srai_epi32(_mm512_mullo_epi32(hi, q), 14));
  }
}

// Integer sums two taps at a time: rows j and j + 1 interleaved as 16-bit
// pairs meet the tap pair in one multiply-add of exact 32-bit sums (the only
// overflow, 2 * 32768^2, wraps as the 32-bit sum does).
static inline __m512i load_i16(const uint8_t* p, __mmask32 m) {
  return _mm512_cvtepu8_epi16(_mm256_maskz_loadu_epi8(m, p));
}
static inline __m512i load_i16(const int16_t* p, __mmask32 m) { return _mm512_maskz_loadu_epi16(m, p); }

static inline int32_t tap_pair(const int16_t* K, int j, int k) {
  const uint32_t lo = uint16_t(K[j]);
  const uint32_t hi = j + 1 < k ? uint16_t(K[j + 1]) : 0u;
  return int32_t(lo | (hi << 16));
}

// 32 results in order as 16-bit lanes from the sums of pairs (lo: lanes 0-3 of
// each 128-bit block of 8, hi: lanes 4-7), saturated to the destination range.
// How the pair sums become results: divisor 1 (the sum itself saturates; a
// sum beyond 2^24 saturates either way), scaled with the float clamp, or
// scaled with the saturation left to the packing (|divisor| >= 2).
enum class Finish { Unit, Clamp, Free };

// Calls f(std::integral_constant<Finish, F>) with the finish of a scale.
template <class Fn>
static inline void by_finish(Scale sc, Fn&& f) {
  if (sc.recip == 1.0f) f(std::integral_constant<Finish, Finish::Unit>{});
  else if (sc.unclamped) f(std::integral_constant<Finish, Finish::Free>{});
  else f(std::integral_constant<Finish, Finish::Clamp>{});
}

template <class D, Finish F>
static inline __m512i finish_pairs(__m512i lo, __m512i hi, __m512 recip) {
  constexpr __mmask16 kAll = 0xFFFF;
  if constexpr (F == Finish::Clamp) {
    const __m512 l = _mm512_set1_ps(lo_of<D>()), h = _mm512_set1_ps(hi_of<D>());
    lo = scale_round(to_f32(lo), recip, l, h);
    hi = scale_round(to_f32(hi), recip, l, h);
  } else if constexpr (F == Finish::Free) {
    constexpr int kNear = _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC;
    lo = _mm512_maskz_cvt_roundps_epi32(kAll, _mm512_mul_ps(to_f32(lo), recip), kNear);
    hi = _mm512_maskz_cvt_roundps_epi32(kAll, _mm512_mul_ps(to_f32(hi), recip), kNear);
  }
  return _mm512_packs_epi32(lo, hi);
}

template <class D>
static inline void store_i16(D* p, __mmask32 m, __m512i v) {
  if constexpr (std::is_same_v<D, int16_t>) _mm512_mask_storeu_epi16(p, m, v);
  else if constexpr (std::is_same_v<D, uint8_t>)
    _mm512_mask_cvtusepi16_storeu_epi8(p, m, _mm512_max_epi16(v, _mm512_setzero_si512()));
  else _mm512_mask_cvtsepi16_storeu_epi8(p, m, v);
}

template <int KF, int U, Finish F, class S, class D, class Src>
static ZUV_INLINE void block_pairs(Src src, D* out, int i, __mmask32 last, const int16_t* K, int kdyn,
                               const Scale& sc) {
  const int k = KF ? KF : kdyn;
  __m512i lo[U], hi[U];
  for (int u = 0; u < U; ++u) lo[u] = hi[u] = _mm512_setzero_si512();
  for (int j = 0; j < k; j += 2) {
    const __m512i t = _mm512_set1_epi32(tap_pair(K, j, k));
    const S* p0 = src(j) + i;
    const S* p1 = j + 1 < k ? src(j + 1) + i : p0;
    for (int u = 0; u < U; ++u) {
      const __mmask32 m = u == U - 1 ? last : __mmask32(~0u);
      const __m512i a = load_i16(p0 + 32 * u, m);
      const __m512i b = load_i16(p1 + 32 * u, m);
      lo[u] = _mm512_add_epi32(lo[u], _mm512_madd_epi16(_mm512_unpacklo_epi16(a, b), t));
      hi[u] = _mm512_add_epi32(hi[u], _mm512_madd_epi16(_mm512_unpackhi_epi16(a, b), t));
    }
  }
  const __m512 recip = _mm512_set1_ps(sc.recip);
  for (int u = 0; u < U; ++u)
    store_i16(out + i + 32 * u, u == U - 1 ? last : __mmask32(~0u),
              finish_pairs<D, F>(lo[u], hi[u], recip));
}

// The pair sums of a symmetric kernel (Scale::sym) into lo[u], hi[u] (zero on
// entry), win(j, u) giving the 16-bit elements that tap j multiplies in
// vector u: windows j and k - 1 - j are added in 16 bits first, so
// (k + 1) / 2 terms replace k products. Integer sums are exact modulo 2^32:
// t * (a + b) = t * a + t * b, and the results are those of the plain sum.
template <int U, class Win>
static ZUV_INLINE void sym_sums(Win win, const int16_t* K, int k, __m512i (&lo)[U], __m512i (&hi)[U]) {
  const int h = k / 2;  // mirrored pairs; an odd kernel adds its centre
  auto pair = [&](int j, int u) { return _mm512_add_epi16(win(j, u), win(k - 1 - j, u)); };
  auto acc = [&](int u, __m512i a, __m512i b, __m512i t) {
    lo[u] = _mm512_add_epi32(lo[u], _mm512_madd_epi16(_mm512_unpacklo_epi16(a, b), t));
    hi[u] = _mm512_add_epi32(hi[u], _mm512_madd_epi16(_mm512_unpackhi_epi16(a, b), t));
  };
  int j = 0;
  for (; j + 1 < h; j += 2) {
    const __m512i t = _mm512_set1_epi32(tap_pair(K, j, k));
    for (int u = 0; u < U; ++u) acc(u, pair(j, u), pair(j + 1, u), t);
  }
  // A last pair and/or the centre.
  if (j < h || (k & 1)) {
    const int16_t tb = (j < h && (k & 1)) ? K[h] : 0;
    const int16_t ta = j < h ? K[j] : K[h];
    const __m512i t = _mm512_set1_epi32(int32_t(uint32_t(uint16_t(ta)) | (uint32_t(uint16_t(tb)) << 16)));
    for (int u = 0; u < U; ++u) {
      const __m512i a = j < h ? pair(j, u) : win(h, u);
      const __m512i b = (j < h && (k & 1)) ? win(h, u) : _mm512_setzero_si512();
      acc(u, a, b, t);
    }
  }
}

// block_pairs for a symmetric kernel, through sym_sums.
template <int KF, int U, Finish F, class S, class D, class Src>
static ZUV_INLINE void block_sym(Src src, D* out, int i, __mmask32 last, const int16_t* K, int kdyn,
                             const Scale& sc) {
  __m512i lo[U], hi[U];
  for (int u = 0; u < U; ++u) lo[u] = hi[u] = _mm512_setzero_si512();
  auto mask = [&](int u) { return u == U - 1 ? last : __mmask32(~0u); };
  sym_sums<U>([&](int j, int u) { return load_i16(src(j) + i + 32 * u, mask(u)); }, K, KF ? KF : kdyn, lo, hi);
  const __m512 recip = _mm512_set1_ps(sc.recip);
  for (int u = 0; u < U; ++u) store_i16(out + i + 32 * u, mask(u), finish_pairs<D, F>(lo[u], hi[u], recip));
}

template <int KF, Finish F, class S, class D, class Src>
static void sym_row(Src src, D* out, int n, const int16_t* K, int k, const Scale& sc) {
  int i = 0;
  for (; i + 64 <= n; i += 64) block_sym<KF, 2, F, S>(src, out, i, __mmask32(~0u), K, k, sc);
  for (; i < n; i += 32) block_sym<KF, 1, F, S>(src, out, i, simd::mask32(n - i), K, k, sc);
}

template <int KF, Finish F, class S, class D, class Src>
static inline void pairs_row(Src src, D* out, int n, const int16_t* K, int k, const Scale& sc) {
  int i = 0;
  if (sc.sym) {
    // Symmetric smoothing kernels up to 11 taps get fully unrolled bodies.
    if constexpr (KF == 0) by_size<true>(k, [&](auto kf) { sym_row<kf(), F, S>(src, out, n, K, k, sc); });
    else sym_row<KF, F, S>(src, out, n, K, k, sc);
  } else {
    for (; i + 64 <= n; i += 64) block_pairs<KF, 2, F, S>(src, out, i, __mmask32(~0u), K, k, sc);
    for (; i < n; i += 32) block_pairs<KF, 1, F, S>(src, out, i, simd::mask32(n - i), K, k, sc);
  }
}

// Column outputs y and y + 1 in the pair arithmetic. Output y pairs rows
// (j, j + 1) and output y + 1 rows (j + 1, j + 2) with the same taps (j, j + 1),
// so each row is loaded once for both.
template <int KF, int U, Finish F, class S, class D>
static ZUV_INLINE void block_pairs_two(const S* const* rows, D* out0, D* out1, int i, __mmask32 last,
                                   const int16_t* K, int kdyn, const Scale& sc) {
  const int k = KF ? KF : kdyn;
  __m512i lo0[U], hi0[U], lo1[U], hi1[U], a[U];
  for (int u = 0; u < U; ++u) {
    lo0[u] = hi0[u] = lo1[u] = hi1[u] = _mm512_setzero_si512();
    a[u] = load_i16(rows[0] + i + 32 * u, u == U - 1 ? last : __mmask32(~0u));
  }
  for (int j = 0; j < k; j += 2) {
    const __m512i t = _mm512_set1_epi32(tap_pair(K, j, k));
    const bool full = j + 1 < k;  // else the pair's second tap is 0
    const S* p1 = rows[j + 1] + i;
    const S* p2 = full ? rows[j + 2] + i : p1;
    for (int u = 0; u < U; ++u) {
      const __mmask32 m = u == U - 1 ? last : __mmask32(~0u);
      const __m512i b = load_i16(p1 + 32 * u, m);
      const __m512i c = full ? load_i16(p2 + 32 * u, m) : b;
      lo0[u] = _mm512_add_epi32(lo0[u], _mm512_madd_epi16(_mm512_unpacklo_epi16(a[u], b), t));
      hi0[u] = _mm512_add_epi32(hi0[u], _mm512_madd_epi16(_mm512_unpackhi_epi16(a[u], b), t));
      lo1[u] = _mm512_add_epi32(lo1[u], _mm512_madd_epi16(_mm512_unpacklo_epi16(b, c), t));
      hi1[u] = _mm512_add_epi32(hi1[u], _mm512_madd_epi16(_mm512_unpackhi_epi16(b, c), t));
      a[u] = c;
    }
  }
  const __m512 recip = _mm512_set1_ps(sc.recip);
  for (int u = 0; u < U; ++u) {
    const __mmask32 m = u == U - 1 ? last : __mmask32(~0u);
    store_i16(out0 + i + 32 * u, m, finish_pairs<D, F>(lo0[u], hi0[u], recip));
    store_i16(out1 + i + 32 * u, m, finish_pairs<D, F>(lo1[u], hi1[u], recip));
  }
}

template <int KF, Finish F, class S, class D>
static void pairs_two_fixed(const S* const* rows, D* out0, D* out1, int n, const int16_t* K, int k,
                            const Scale& sc) {
  int i = 0;
  for (; i + 64 <= n; i += 64) block_pairs_two<KF, 2, F, S>(rows, out0, out1, i, __mmask32(~0u), K, k, sc);
  for (; i < n; i += 32) block_pairs_two<KF, 1, F, S>(rows, out0, out1, i, simd::mask32(n - i), K, k, sc);
}

// Float column sums of a fixed kernel size over rows that start on cache
// lines (every load then touches one line): taps and row pointers are copied
// into locals first, so they stay in registers across the stores (which the
// compiler must otherwise assume may change them), and four vectors are
// summed in tap order at a time (col_f32_two: two output rows from one load
// of each row). Rows off the line grid go through block32_two instead.
inline bool lines_aligned(const float* const* rows, int count) {
  uintptr_t bits = 0;
  for (int j = 0; j < count; ++j) bits |= reinterpret_cast<uintptr_t>(rows[j]);
  return (bits & 63) == 0;
}

template <int KF>
static void col_f32(const float* const* rows, float* out, int n, const float* K, bool stream, int x0 = 0) {
  __m512 t[KF];
  const float* r[KF];
  for (int j = 0; j < KF; ++j) {
    t[j] = _mm512_set1_ps(K[j]);
    r[j] = rows[j] + x0;
  }
  int i = 0;
  for (; i + 64 <= n; i += 64) {
    __m512 a0 = _mm512_mul_ps(_mm512_loadu_ps(r[0] + i), t[0]);
    __m512 a1 = _mm512_mul_ps(_mm512_loadu_ps(r[0] + i + 16), t[0]);
    __m512 a2 = _mm512_mul_ps(_mm512_loadu_ps(r[0] + i + 32), t[0]);
    __m512 a3 = _mm512_mul_ps(_mm512_loadu_ps(r[0] + i + 48), t[0]);
    for (int j = 1; j < KF; ++j) {
      a0 = _mm512_add_ps(a0, _mm512_mul_ps(_mm512_loadu_ps(r[j] + i), t[j]));
      a1 = _mm512_add_ps(a1, _mm512_mul_ps(_mm512_loadu_ps(r[j] + i + 16), t[j]));
      a2 = _mm512_add_ps(a2, _mm512_mul_ps(_mm512_loadu_ps(r[j] + i + 32), t[j]));
      a3 = _mm512_add_ps(a3, _mm512_mul_ps(_mm512_loadu_ps(r[j] + i + 48), t[j]));
    }
    store_f32(out + i, 0xFFFF, a0, stream);
    store_f32(out + i + 16, 0xFFFF, a1, stream);
    store_f32(out + i + 32, 0xFFFF, a2, stream);
    store_f32(out + i + 48, 0xFFFF, a3, stream);
  }
  for (; i < n; i += 16) {
    const __mmask16 m = simd::mask16(n - i);
    __m512 a = _mm512_mul_ps(_mm512_maskz_loadu_ps(m, r[0] + i), t[0]);
    for (int j = 1; j < KF; ++j) a = _mm512_add_ps(a, _mm512_mul_ps(_mm512_maskz_loadu_ps(m, r[j] + i), t[j]));
    store_f32(out + i, m, a, stream);
  }
}

// col_f32 for outputs y and y + 1 at once: each of rows 0 .. KF is loaded
// once for both sums; the last partial block goes through col_f32.
template <int KF>
static void col_f32_two(const float* const* rows, float* out0, float* out1, int n, const float* K, bool stream,
                        const float* ahead0 = nullptr, const float* ahead1 = nullptr, int x0 = 0) {
  __m512 t[KF];
  const float* r[KF + 1];
  for (int j = 0; j < KF; ++j) t[j] = _mm512_set1_ps(K[j]);
  for (int j = 0; j <= KF; ++j) r[j] = rows[j] + x0;
  constexpr int U = 4;
  int i = 0;
  for (; i + 16 * U <= n; i += 16 * U) {
    __m512 a0[U], a1[U];
    for (int u = 0; u < U; ++u) a0[u] = _mm512_mul_ps(_mm512_loadu_ps(r[0] + i + 16 * u), t[0]);
    for (int j = 1; j <= KF; ++j)
      for (int u = 0; u < U; ++u) {
        const __m512 x = _mm512_loadu_ps(r[j] + i + 16 * u);
        if (j < KF) a0[u] = _mm512_add_ps(a0[u], _mm512_mul_ps(x, t[j]));
        a1[u] = j == 1 ? _mm512_mul_ps(x, t[0]) : _mm512_add_ps(a1[u], _mm512_mul_ps(x, t[j - 1]));
      }
    for (int u = 0; u < U; ++u) {
      store_f32(out0 + i + 16 * u, 0xFFFF, a0[u], stream);
      store_f32(out1 + i + 16 * u, 0xFFFF, a1[u], stream);
    }
    for (int u = 0; u < U; ++u) {
      if (ahead0) _mm_prefetch(reinterpret_cast<const char*>(ahead0 + i + 16 * u), _MM_HINT_T1);
      if (ahead1) _mm_prefetch(reinterpret_cast<const char*>(ahead1 + i + 16 * u), _MM_HINT_T1);
    }
  }
  if (i < n) {
    col_f32<KF>(rows, out0 + i, n - i, K, stream, x0 + i);
    col_f32<KF>(rows + 1, out1 + i, n - i, K, stream, x0 + i);
  }
}

// Float column rows 0 .. count - 1, elements x0 .. x0 + len - 1, over rows
// that all start on cache lines: two output rows at a time, each pair also
// prefetching into L2 the same elements of the two source rows kAhead rows
// beyond the ones it reads. Rows another thread has just streamed to memory,
// or that a whole-image row pass has pushed out to L3, then arrive while
// earlier rows are summed instead of when they are reached (rows already in
// L2 cost the prefetches, about 2%).
constexpr int kAhead = 8;
template <int KF>
static void col_f32_pairs(const float* const* rows, float* dst, int dstStep, int count, int x0, int len,
                          const float* K, bool stream) {
  const int total = count + KF - 1;
  int y = 0;
  for (; y + 1 < count; y += 2) {
    const int a = y + KF + 1 + kAhead;
    col_f32_two<KF>(rows + y, row_at(dst, dstStep, y) + x0, row_at(dst, dstStep, y + 1) + x0, len, K, stream,
                    a < total ? rows[a] + x0 : nullptr, a + 1 < total ? rows[a + 1] + x0 : nullptr, x0);
  }
  if (y < count) col_f32<KF>(rows + y, row_at(dst, dstStep, y) + x0, len, K, stream, x0);
}

// The float column rows of the odd kernel sizes up to 11 over rows on cache
// lines; 7 to 11 taps on rows wider than kColStrip run in strips of that many
// elements, whose k + 1 row pieces stay in L1 from one output row to the next
// where whole rows would not (at 5 taps and fewer whole rows fit, and strips
// cost more than they save on rows coming from memory). Returns false
// (nothing done) for other sizes or rows.
constexpr int kColStrip = 512;
static bool col_f32_rows(const float* const* rows, float* dst, int dstStep, int count, int n, const float* K, int k,
                         bool stream) {
  if (!(k & 1) || k > 11 || !lines_aligned(rows, count + k - 1)) return false;
  return by_odd_size(k, [&](auto kf) {
    constexpr int KF = kf();
    const int strip = KF >= 7 && n > kColStrip ? kColStrip : n;
    for (int x0 = 0; x0 < n; x0 += strip)
      col_f32_pairs<KF>(rows, dst, dstStep, count, x0, n - x0 < strip ? n - x0 : strip, K, stream);
  });
}

template <Arith A, int KF, class S, class D, class Src>
static void dot_fixed(Src src, D* out, int n, const ktap_t<A>* K, int k, const Scale& sc) {
  if constexpr (A == Arith::Low) {
    int i = 0;
    for (; i + 128 <= n; i += 128) block16<KF, 4>(src, out, i, __mmask32(~0u), K, k, sc);
    for (; i + 32 <= n; i += 32) block16<KF, 1>(src, out, i, __mmask32(~0u), K, k, sc);
    if (i < n) block16<KF, 1>(src, out, i, simd::mask32(n - i), K, k, sc);
  } else if constexpr (A == Arith::UInt) {
    int i = 0;
    for (; i + 64 <= n; i += 64) block_u32<KF, 4>(src, out, i, __mmask16(0xFFFF), K, k, sc);
    for (; i < n; i += 16) block_u32<KF, 1>(src, out, i, simd::mask16(n - i), K, k, sc);
  } else if constexpr (A == Arith::Int) {
    by_finish(sc, [&](auto F) { pairs_row<KF, F(), S>(src, out, n, K, k, sc); });
  } else {
    int i = 0;
    for (; i + 64 <= n; i += 64) block32<A, KF, 4, S>(src, out, i, __mmask16(0xFFFF), K, k, sc);
    for (; i + 16 <= n; i += 16) block32<A, KF, 1, S>(src, out, i, __mmask16(0xFFFF), K, k, sc);
    if (i < n) block32<A, KF, 1, S>(src, out, i, simd::mask16(n - i), K, k, sc);
  }
}

// Float row sums whose window spans at most 16 extra elements: each source
// vector is loaded once and the shifted windows are built by lane permutes
// instead of overlapping unaligned loads. `avail` counts the elements from
// base + i that may be read.
template <int KF, int U>
static inline void block_shift(const float* base, int stride, float* out, int i, int avail,
                               __mmask16 last, const float* K, int kdyn) {
  const int k = KF ? KF : kdyn;
  __m512 v[U + 1];
  for (int m = 0; m <= U; ++m) {
    const int left = avail - 16 * m;
    v[m] = _mm512_maskz_loadu_ps(simd::mask16(left > 0 ? left : 0), base + i + 16 * m);
  }
  const __m512i iota = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  __m512 acc[U];
  {
    const __m512 t = _mm512_set1_ps(K[0]);
    for (int u = 0; u < U; ++u) acc[u] = _mm512_mul_ps(v[u], t);
  }
  for (int j = 1; j < k; ++j) {
    const __m512 t = _mm512_set1_ps(K[j]);
    const __m512i idx = _mm512_add_epi32(iota, _mm512_set1_epi32(j * stride));
    for (int u = 0; u < U; ++u)
      acc[u] = _mm512_add_ps(acc[u], _mm512_mul_ps(_mm512_permutex2var_ps(v[u], idx, v[u + 1]), t));
  }
  for (int u = 0; u < U; ++u)
    _mm512_mask_storeu_ps(out + i + 16 * u, u == U - 1 ? last : __mmask16(0xFFFF), acc[u]);
}

// Lanes Sh .. Sh + 15 of the pair (lo, hi): one immediate-controlled
// align, cheaper than a two-source permute.
template <int Sh>
static inline __m512 shift_ps(__m512 lo, __m512 hi) {
  return _mm512_castsi512_ps(simd::dword_shift<Sh>(_mm512_castps_si512(lo), _mm512_castps_si512(hi)));
}

// acc[u] += K[j] * (window of v[u], v[u + 1] shifted by j * SC), for
// j = 1 .. KF - 1 in order.
template <int KF, int SC, int U, int... J>
static inline void add_taps(__m512 (&acc)[U], const __m512 (&v)[U + 1], const __m512 (&t)[KF],
                            std::integer_sequence<int, J...>) {
  auto tap = [&](auto jc) {
    constexpr int j = decltype(jc)::value;
    for (int u = 0; u < U; ++u) acc[u] = _mm512_add_ps(acc[u], _mm512_mul_ps(shift_ps<j * SC>(v[u], v[u + 1]), t[j]));
  };
  (tap(std::integral_constant<int, J + 1>{}), ...);
}

// The same sums for a kernel whose taps j and KF - 1 - j have the same bits:
// P[m] holds tap m times the source vectors, and tap j takes the shifted
// window of P[min(j, KF - 1 - j)], the very product it would form itself.
template <int KF, int SC, int U, int H, int... J>
static inline void add_products(__m512 (&acc)[U], const __m512 (&P)[H][U + 1], std::integer_sequence<int, J...>) {
  auto tap = [&](auto jc) {
    constexpr int j = decltype(jc)::value;
    constexpr int m = j < KF - 1 - j ? j : KF - 1 - j;
    for (int u = 0; u < U; ++u) acc[u] = _mm512_add_ps(acc[u], shift_ps<j * SC>(P[m][u], P[m][u + 1]));
  };
  (tap(std::integral_constant<int, J + 1>{}), ...);
}

// The body of dot_shift_fixed for a fixed kernel size and element stride
// (1 or 3): taps in registers for the whole row; each source vector is
// loaded once and carried into the next block (with kSym, its products).
// Returns the outputs done.
template <int KF, int SC, bool kSym>
static int shift_rows_fixed(const float* base, float* out, int n, int total, const float* K, bool stream) {
  __m512 t[KF];
  for (int j = 0; j < KF; ++j) t[j] = _mm512_set1_ps(K[j]);
  // Four vectors a step for short kernels, two for long ones (registers).
  constexpr int U = KF <= 5 ? 4 : 2;
  constexpr int H = kSym ? KF / 2 + 1 : 1;  // distinct taps
  int i = 0;
  if (n < 16 * U) return 0;
  __m512 v0 = _mm512_loadu_ps(base), p0[H];
  if constexpr (kSym)
    for (int m = 0; m < H; ++m) p0[m] = _mm512_mul_ps(v0, t[m]);
  for (; i + 16 * U <= n; i += 16 * U) {
    const float* p = base + i;
    const int left = total - (i + 16 * U);
    __m512 v[U + 1];
    v[0] = v0;
    for (int u = 1; u < U; ++u) v[u] = _mm512_loadu_ps(p + 16 * u);
    v[U] = _mm512_maskz_loadu_ps(simd::mask16(left > 0 ? left : 0), p + 16 * U);
    __m512 acc[U];
    if constexpr (kSym) {
      __m512 P[H][U + 1];
      for (int m = 0; m < H; ++m) {
        P[m][0] = p0[m];
        for (int u = 1; u <= U; ++u) P[m][u] = _mm512_mul_ps(v[u], t[m]);
        p0[m] = P[m][U];
      }
      for (int u = 0; u < U; ++u) acc[u] = P[0][u];
      add_products<KF, SC, U>(acc, P, std::make_integer_sequence<int, KF - 1>{});
    } else {
      for (int u = 0; u < U; ++u) acc[u] = _mm512_mul_ps(v[u], t[0]);
      add_taps<KF, SC, U>(acc, v, t, std::make_integer_sequence<int, KF - 1>{});
    }
    for (int u = 0; u < U; ++u) store_f32(out + i + 16 * u, 0xFFFF, acc[u], stream);
    v0 = v[U];
  }
  return i;
}

template <int KF>
static void dot_shift_fixed(const float* base, int stride, float* out, int n, const float* K, int k,
                            bool stream = false, bool sym = false) {
  if (stream) {
    // Outputs before the first cache line boundary are stored as usual; from
    // there on whole vectors are streamed (a row of floats that are not
    // 4-byte aligned never reaches a boundary and is stored as usual).
    const uintptr_t a = reinterpret_cast<uintptr_t>(out);
    const int head = a % 4 ? n : std::min(n, int((64 - a % 64) % 64 / 4));
    if (head > 0) dot_shift_fixed<KF>(base, stride, out, head, K, k);
    if (head == n) return;
    base += head;
    out += head;
    n -= head;
  }
  const int total = n + (k - 1) * stride;
  int i = 0;
  // Strides are channel counts: 1, or 3 for kernels of at most 6 taps.
  if constexpr (KF > 0) {
    auto run = [&](auto sc) {
      constexpr int SC = sc();
      i = sym ? shift_rows_fixed<KF, SC, true>(base, out, n, total, K, stream)
              : shift_rows_fixed<KF, SC, false>(base, out, n, total, K, stream);
    };
    if (stride == 1) run(std::integral_constant<int, 1>{});
    else if constexpr (KF <= 5) run(std::integral_constant<int, 3>{});
  }
  for (; i + 64 <= n; i += 64) block_shift<KF, 4>(base, stride, out, i, total - i, __mmask16(0xFFFF), K, k);
  for (; i < n; i += 16) block_shift<KF, 1>(base, stride, out, i, total - i, simd::mask16(n - i), K, k);
}

// Float sums: the odd smoothing sizes up to 11 also get unrolled bodies with
// the taps in registers (rows from the shifted-window kernel, columns from
// col_f32 when the rows start on cache lines); the block kernels cover the
// rest.
template <class Src>
static void dot_f32(Src src, float* out, int n, const float* K, int k, const Scale& sc) {
  by_size<true>(k, [&](auto kf) {
    constexpr int KF = kf();
    constexpr int KB = KF <= 5 ? KF : 0;
    if constexpr (std::is_same_v<Src, Strided<float>>) {
      if ((k - 1) * src.stride <= 16)
        return dot_shift_fixed<KF>(src.base, int(src.stride), out, n, K, k, sc.stream, sc.sym);
    } else if constexpr (KF > 0) {
      if (lines_aligned(src.rows, k)) return col_f32<KF>(src.rows, out, n, K, sc.stream);
    }
    dot_fixed<Arith::Float, KB, float>(src, out, n, K, k, sc);
  });
}

// The fixed-size kernels and the generic one.
template <Arith A, class S, class D, class Src>
static void dot(Src src, D* out, int n, const ktap_t<A>* K, int k, const Scale& sc) {
  if constexpr (A == Arith::Float) return dot_f32(src, out, n, K, k, sc);
  else by_size<false>(k, [&](auto KF) { dot_fixed<A, KF(), S>(src, out, n, K, k, sc); });
}

// The ends of a float row of one channel (at least 32 pixels wide) for a
// fixed kernel: the border-extended windows are built in registers from the
// first or last 32 pixels (mode BorderConst, BorderRepl or BorderMirror, or
// read from memory on an in-memory side), so the few end outputs need no
// work area. Lane i of the left window is pixel i - a; of the right window,
// pixel w - (KF - 1) + i. Only the pixels the outputs need are read outside
// the row.
template <int KF>
static inline void end_f32(const float* row, float* out, int w, const float* K, int a, bool right, int mode,
                           bool inMem, float value) {
  const int count = right ? KF - 1 - a : a;  // outputs
  const int need = count + KF - 1;            // window pixels they use
  const int first = right ? w - (KF - 1) : -a;
  const int base = right ? w - 32 : 0;  // x, y: pixels base .. base + 31
  const __m512 x = _mm512_loadu_ps(row + base), y = _mm512_loadu_ps(row + base + 16);
  const __m512i iota = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  const __m512i last = _mm512_set1_epi32(w - 1), zero = _mm512_setzero_si512();
  __m512 e[2];
  for (int h = 0; h < 2; ++h) {
    const __m512i p = _mm512_add_epi32(iota, _mm512_set1_epi32(first + 16 * h));
    const __mmask16 beyond = right ? _mm512_cmpgt_epi32_mask(p, last) : _mm512_cmplt_epi32_mask(p, zero);
    // Source pixel of each lane: itself inside the row; the edge or the
    // mirror image outside (the mirror is within the 32 pixels: a < 16).
    __m512i q = p;
    if (mode == BorderMirror)
      q = right ? _mm512_mask_sub_epi32(p, beyond, _mm512_add_epi32(last, last), p) : _mm512_abs_epi32(p);
    else q = right ? _mm512_min_epi32(p, last) : _mm512_max_epi32(p, zero);
    __m512 v = _mm512_permutex2var_ps(x, _mm512_sub_epi32(q, _mm512_set1_epi32(base)), y);
    const int left = need - 16 * h;
    const __mmask16 needed = simd::mask16(left < 0 ? 0 : left) & beyond;
    if (inMem) v = _mm512_mask_loadu_ps(v, needed, row + first + 16 * h);
    else if (mode == BorderConst) v = _mm512_mask_mov_ps(v, beyond, _mm512_set1_ps(value));
    e[h] = v;
  }
  __m512 t[KF];
  for (int j = 0; j < KF; ++j) t[j] = _mm512_set1_ps(K[j]);
  __m512 acc[1] = {_mm512_mul_ps(e[0], t[0])};
  add_taps<KF, 1, 1>(acc, e, t, std::make_integer_sequence<int, KF - 1>{});
  _mm512_mask_storeu_ps(out + (right ? w - count : 0), simd::mask16(count), acc[0]);
}

// A float row of one channel, at least 32 pixels wide, for the odd kernel
// sizes 3 to 11: both ends from end_f32, the interior straight from the
// source. Returns false (nothing done) for other sizes.
static bool row_f32(const float* row, float* out, int w, const float* K, int k, int a, int mode, bool inLeft,
                    bool inRight, float value, const Scale& sc) {
  return by_odd_size(k, [&](auto kf) {
    constexpr int KF = kf();
    if (a > 0) end_f32<KF>(row, out, w, K, a, false, mode, inLeft, value);
    dot_shift_fixed<KF>(row, 1, out + a, w - (KF - 1), K, KF, sc.stream, sc.sym);
    if (KF - 1 - a > 0) end_f32<KF>(row, out, w, K, a, true, mode, inRight, value);
  });
}

// The ends of an 8-bit row of C = 1 or 3 channels (at least 64 pixels wide)
// for a symmetric kernel, as end_f32 does for floats: lane L of the window
// (64 lanes in e[0], e[1]) is element L % C of pixel first + L / C as a
// 16-bit value, taken from the first or last 64 elements of the row (or read
// from memory on an in-memory side, only where the outputs need it); lane
// i + C * j feeds tap j of output element i. The sums are sym_sums'.
template <int KF, int C, Finish F>
static inline void end_u8(const uint8_t* row, int16_t* out, int w, const int16_t* K, int a, bool right, int mode,
                          bool inMem, uint8_t value, const Scale& sc) {
  const int count = right ? KF - 1 - a : a;  // output pixels
  const int need = (count + KF - 1) * C;      // window elements they use
  const int first = right ? w - (KF - 1) : -a;
  const int64_t base = right ? int64_t(C) * w - 64 : 0;  // x, y: elements base .. base + 63
  __m512i x[2];
  for (int h = 0; h < 2; ++h)
    x[h] = _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + base + 32 * h)));
  const __m512i iota = _mm512_set_epi16(31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17, 16, 15, 14,
                                        13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
  const __m512i zero = _mm512_setzero_si512();
  __m512i e[2];
  for (int h = 0; h < 2; ++h) {
    const __m512i lane = _mm512_add_epi16(iota, _mm512_set1_epi16(int16_t(32 * h)));
    // d: the lane's pixel relative to the edge (column 0, or column w - 1 on
    // the right); outside the row where d < 0 (left) or d > 0 (right).
    __m512i px = lane, ch = zero;
    if constexpr (C == 3) {
      px = _mm512_srli_epi16(_mm512_mulhi_epu16(lane, _mm512_set1_epi16(int16_t(0xAAAB))), 1);  // lane / 3
      ch = _mm512_sub_epi16(lane, _mm512_mullo_epi16(px, _mm512_set1_epi16(3)));
    }
    const __m512i d = _mm512_add_epi16(px, _mm512_set1_epi16(int16_t(right ? 2 - KF : -a)));
    const __mmask32 beyond = right ? _mm512_cmpgt_epi16_mask(d, zero) : _mm512_cmplt_epi16_mask(d, zero);
    __m512i q;  // the pixel read instead, relative to the edge
    if (mode == BorderMirror) q = right ? _mm512_sub_epi16(zero, _mm512_abs_epi16(d)) : _mm512_abs_epi16(d);
    else q = right ? _mm512_min_epi16(d, zero) : _mm512_max_epi16(d, zero);
    const __m512i idx = _mm512_add_epi16(_mm512_add_epi16(_mm512_mullo_epi16(q, _mm512_set1_epi16(C)), ch),
                                         _mm512_set1_epi16(int16_t(right ? 64 - C : 0)));
    __m512i v = _mm512_permutex2var_epi16(x[0], idx, x[1]);
    const int left = need - 32 * h;
    const __mmask32 needed = simd::mask32(left < 0 ? 0 : left) & beyond;
    if (inMem) {
      const uint8_t* from = row + int64_t(C) * first + 32 * h;
      v = _mm512_mask_mov_epi16(v, needed, _mm512_cvtepu8_epi16(_mm256_maskz_loadu_epi8(needed, from)));
    } else if (mode == BorderConst) {
      v = _mm512_mask_mov_epi16(v, beyond, _mm512_set1_epi16(value));
    }
    e[h] = v;
  }
  // Window j: lanes C * j .. C * j + 31 of the window (beyond 63 they wrap;
  // they only reach outputs that are not stored).
  auto win = [&](int j) {
    return _mm512_permutex2var_epi16(e[0], _mm512_add_epi16(iota, _mm512_set1_epi16(int16_t(C * j))), e[1]);
  };
  __m512i lo[1] = {zero}, hi[1] = {zero};
  sym_sums<1>([&](int j, int) { return win(j); }, K, KF, lo, hi);
  store_i16(out + int64_t(C) * (right ? w - count : 0), simd::mask32(C * count),
            finish_pairs<int16_t, F>(lo[0], hi[0], _mm512_set1_ps(sc.recip)));
}

// An 8-bit row of C channels, at least 64 pixels wide, for a symmetric odd
// kernel of 3 to 11 taps: both ends from end_u8, the interior straight from
// the source. Returns false (nothing done) for other sizes.
template <int C>
static bool row_u8(const uint8_t* row, int16_t* out, int w, const int16_t* K, int k, int a, int mode, bool inLeft,
                   bool inRight, uint8_t value, const Scale& sc) {
  return by_odd_size(k, [&](auto kf) {
    constexpr int KF = kf();
    by_finish(sc, [&](auto f) {
      constexpr Finish F = f();
      if (a > 0) end_u8<KF, C, F>(row, out, w, K, a, false, mode, inLeft, value, sc);
      sym_row<KF, F, uint8_t>(Strided<uint8_t>{row, C}, out + C * a, C * (w - (KF - 1)), K, KF, sc);
      if (KF - 1 - a > 0) end_u8<KF, C, F>(row, out, w, K, a, true, mode, inRight, value, sc);
    });
  });
}

// Two consecutive column outputs share k - 1 of their source rows: each row
// is loaded once and feeds both sums (each still summed in tap order).
template <Arith A, int KF, int U, class S, class D>
static inline void block32_two(const S* const* rows, D* out0, D* out1, int i, __mmask16 last,
                               const ktap_t<A>* K, int kdyn, const Scale& sc) {
  const int k = KF ? KF : kdyn;
  __m512 a0[U], a1[U];
  {
    const __m512 t = _mm512_set1_ps(K[0]);
    for (int u = 0; u < U; ++u)
      a0[u] = _mm512_mul_ps(load_f32(rows[0] + i + 16 * u, u == U - 1 ? last : __mmask16(0xFFFF)), t);
  }
  for (int u = 0; u < U; ++u) a1[u] = _mm512_setzero_ps();
  for (int j = 1; j <= k; ++j) {
    const S* p = rows[j] + i;
    const __m512 t0 = _mm512_set1_ps(j < k ? K[j] : 0.f);
    const __m512 t1 = _mm512_set1_ps(K[j - 1]);
    for (int u = 0; u < U; ++u) {
      const __m512 x = load_f32(p + 16 * u, u == U - 1 ? last : __mmask16(0xFFFF));
      if (j < k) a0[u] = _mm512_add_ps(a0[u], _mm512_mul_ps(x, t0));
      // The first product starts the sum as is (0 + -0 would lose the sign).
      a1[u] = j == 1 ? _mm512_mul_ps(x, t1) : _mm512_add_ps(a1[u], _mm512_mul_ps(x, t1));
    }
  }
  const __m512 recip = _mm512_set1_ps(sc.recip);
  const __m512 lo = _mm512_setzero_ps(), hi = _mm512_set1_ps(65535.f);
  for (int u = 0; u < U; ++u) {
    const __mmask16 m = u == U - 1 ? last : __mmask16(0xFFFF);
    if constexpr (A == Arith::Float) {
      store_f32(out0 + i + 16 * u, m, a0[u], sc.stream);
      store_f32(out1 + i + 16 * u, m, a1[u], sc.stream);
    } else {
      store_u16(out0 + i + 16 * u, m, scale_round(a0[u], recip, lo, hi));
      store_u16(out1 + i + 16 * u, m, scale_round(a1[u], recip, lo, hi));
    }
  }
}

template <Arith A, int KF, class S, class D>
static void dot_two_fixed(const S* const* rows, D* out0, D* out1, int n, const ktap_t<A>* K, int k,
                          const Scale& sc) {
  int i = 0;
  for (; i + 32 <= n; i += 32) block32_two<A, KF, 2, S>(rows, out0, out1, i, __mmask16(0xFFFF), K, k, sc);
  for (; i < n; i += 16) block32_two<A, KF, 1, S>(rows, out0, out1, i, simd::mask16(n - i), K, k, sc);
}

template <int KF, class S, class D>
static void pairs_two(const S* const* rows, D* out0, D* out1, int n, const int16_t* K, int k,
                      const Scale& sc) {
  by_finish(sc, [&](auto F) { pairs_two_fixed<KF, F(), S>(rows, out0, out1, n, K, k, sc); });
}

// Column outputs y and y + 1 from rows[0 .. k] (all but the Low variants).
template <Arith A, class S, class D>
static void dot_two(const S* const* rows, D* out0, D* out1, int n, const ktap_t<A>* K, int k,
                    const Scale& sc) {
  if constexpr (A == Arith::Int) {
    by_size<false>(k, [&](auto KF) { pairs_two<KF(), S>(rows, out0, out1, n, K, k, sc); });
  } else if constexpr (A == Arith::Float) {
    by_size<true>(k, [&](auto kf) {
      constexpr int KF = kf();
      if constexpr (KF > 0) {
        if (lines_aligned(rows, k + 1)) return col_f32_two<KF>(rows, out0, out1, n, K, sc.stream);
      }
      dot_two_fixed<A, (KF <= 5 ? KF : 0), S>(rows, out0, out1, n, K, k, sc);
    });
  } else {
    by_size<false>(k, [&](auto KF) { dot_two_fixed<A, KF(), S>(rows, out0, out1, n, K, k, sc); });
  }
}

}  // namespace avx512
ZUV_AVX512_END

namespace {

// Horizontal border of a row pass, resolved once per call.
template <class S>
struct RowBorder {
  int mode;      // BorderConst, BorderRepl or BorderMirror for the generated sides
  bool inLeft;   // pixels left of column 0 are read from memory
  bool inRight;  // pixels right of the last column are read from memory
  S value;
};

template <class S>
RowBorder<S> resolve_border(int border, S value, int width) {
  RowBorder<S> b{border & 0x0F, (border & BorderInMemLeft) != 0, (border & BorderInMemRight) != 0,
                 value};
  if (b.mode == BorderInMem) {
    b.mode = BorderConst;
    b.inLeft = b.inRight = true;
  }
  if (b.mode == BorderMirror && width < 2) b.mode = BorderRepl;
  return b;
}

// Element c of pixel p of the border-extended row (p may lie outside 0..w-1).
// A mirror wider than the row reflects again (period 2w - 2).
template <class S, int C>
inline S extended(const S* row, int w, int p, int c, const RowBorder<S>& b) {
  if (p >= 0 && p < w) return row[ptrdiff_t(p) * C + c];
  if (p < 0 ? b.inLeft : b.inRight) return row[ptrdiff_t(p) * C + c];
  if (b.mode == BorderConst) return b.value;
  const int q = b.mode == BorderRepl ? border::replicate_index(p, w) : border::mirror_index(p, w);
  return row[ptrdiff_t(q) * C + c];
}

template <class S, int C>
void build_piece(S* piece, const S* row, int w, int p0, int len, const RowBorder<S>& b) {
  for (int p = 0; p < len; ++p)
    for (int c = 0; c < C; ++c) piece[p * C + c] = extended<S, C>(row, w, p0 + p, c, b);
}

// Elements of the per-thread row work area: the left and right extended
// pieces, each at most 2k - 2 pixels.
template <int C>
constexpr int64_t work_elems(int k) {
  return int64_t(4) * (k - 1) * C;
}

template <Arith A, class S, class D, class Src>
inline void dot(bool vec, Src src, D* out, int n, const ktap_t<A>* K, int k, const Scale& sc) {
  if (vec) avx512::dot<A, S>(src, out, n, K, k, sc);
  else ref::dot<A, S>(src, out, n, K, k, sc);
}

// One row: outputs [0, xl) and [xr, w) through the work area, the interior
// [xl, xr) straight from the source row. (Float rows of one channel and an
// odd kernel of up to 11 taps, and 8-bit rows of one or three channels and
// such a symmetric kernel, build their ends in registers instead.)
template <Arith A, class S, class D, int C>
void filter_row(bool vec, const S* row, D* out, int w, const ktap_t<A>* K, int k, int a,
                const RowBorder<S>& b, S* work, const Scale& sc) {
  if constexpr (A == Arith::Float && C == 1) {
    if (vec && w >= 32 && avx512::row_f32(row, out, w, K, k, a, b.mode, b.inLeft, b.inRight, b.value, sc))
      return;
  }
  if constexpr (std::is_same_v<S, uint8_t>) {
    if (vec && sc.sym && w >= 64 &&
        avx512::row_u8<C>(row, out, w, K, k, a, b.mode, b.inLeft, b.inRight, b.value, sc))
      return;
  }
  const int xl = a < w ? a : w;
  const int xr = w - (k - 1 - a) > xl ? w - (k - 1 - a) : xl;
  // Both pieces are built before the interior is filtered and read after it,
  // when their element-wise stores have left the store buffer (vector loads
  // that span several pending stores wait for them).
  S* piece = work + ptrdiff_t(2) * (k - 1) * C;
  if (xl > 0) build_piece<S, C>(work, row, w, -a, xl + k - 1, b);
  if (w > xr) build_piece<S, C>(piece, row, w, xr - a, w - xr + k - 1, b);
  if (xr > xl)
    dot<A, S>(vec, Strided<S>{row + ptrdiff_t(xl - a) * C, C}, out + ptrdiff_t(xl) * C,
              (xr - xl) * C, K, k, sc);
  if (xl > 0) dot<A, S>(vec, Strided<S>{work, C}, out, xl * C, K, k, sc);
  if (w > xr) dot<A, S>(vec, Strided<S>{piece, C}, out + ptrdiff_t(xr) * C, (w - xr) * C, K, k, sc);
}

// Column rows 0 .. count - 1 of dst from rows[y .. y + k - 1], two at a time
// where the vector kernels share their loads.
template <Arith A, class S, class D>
void column_rows(bool vec, const S* const* rows, D* dst, int dstStep, int count, int n,
                 const ktap_t<A>* K, int k, const Scale& sc) {
  int y = 0;
  if constexpr (A == Arith::Float) {
    if (vec && avx512::col_f32_rows(rows, dst, dstStep, count, n, K, k, sc.stream)) return;
  }
  if constexpr (A != Arith::Low) {
    // (A symmetric kernel does fewer multiplies per row than two rows share.)
    if (vec && !sc.sym)
      for (; y + 1 < count; y += 2)
        avx512::dot_two<A, S>(rows + y, row_at(dst, dstStep, y), row_at(dst, dstStep, y + 1), n, K,
                              k, sc);
  }
  for (; y < count; ++y) dot<A, S>(vec, Rows<S>{rows + y}, row_at(dst, dstStep, y), n, K, k, sc);
}

template <class S>
constexpr bool row_threaded() {
  return !std::is_same_v<S, uint16_t>;
}
template <class S>
constexpr bool column_threaded() {
  return !std::is_same_v<S, uint16_t> && !std::is_same_v<S, float>;
}

// Taps of the 16u column pass as floats, at the 32-byte aligned start of the buffer.
float* float_taps(uint8_t* base, const uint16_t* kernel, int k) {
  float* f = reinterpret_cast<float*>(base);
  for (int j = 0; j < k; ++j) f[j] = float(kernel[j]);
  return f;
}

inline int64_t round32(int64_t v) { return (v + 31) & ~int64_t(31); }
inline int64_t round64(int64_t v) { return (v + 63) & ~int64_t(63); }

}  // namespace

// ---------------------------------------------------------------------------
// Buffer sizes, in the unsigned type U: 32 bits wrap like the reported int,
// 64 bits give the exact byte count.

template <class S, class D, int C, bool kLow, class U>
U row_buffer_size(ImageSize roi, int k, int threads) {
  const U K = U(uint32_t(k)), T = U(uint32_t(threads));
  const U ptrs = 8u * T * (U(uint32_t(roi.height)) + K);
  U B = 0, pad = 32;
  if constexpr (std::is_same_v<S, uint16_t>) {
    return (C == 1 ? 64u : 128u) * K + 96u;
  } else if constexpr (std::is_same_v<S, uint8_t>) {
    B = C == 1 ? 32u * (K + K / 4u) + 2u * K + 34u : 60u * K + 112u;
  } else if constexpr (std::is_same_v<S, float>) {
    B = C == 1 ? 96u * K + 64u : 288u * K + 64u;
    pad = C == 1 ? 48u : 32u;
  } else if constexpr (kLow) {
    B = C == 1 ? 24u * K + 64u : 208u * K + 64u;
  } else {
    B = C == 1 ? 48u * K + 80u : 40u * K + 64u;
  }
  return T * (B + pad) + ptrs;
}

template <class S, class D, int C, bool kLow, class U>
U column_buffer_size(ImageSize roi, int k, int threads) {
  const U K = U(uint32_t(k)), T = U(uint32_t(threads)), W = U(uint32_t(roi.width));
  if constexpr (std::is_same_v<S, float>) {
    return 32u * K + 32u;
  } else if constexpr (std::is_same_v<S, uint16_t>) {
    const U groups = C == 1 ? (W + 3u) / 4u : (3u * W + 3u) / 4u;
    return 32u * (groups + K) + 64u;
  } else {
    const U r = kLow ? (W + 7u) & ~U(7) : (W + 3u) & ~U(3);
    const U B = (C == 1 ? 12u : 36u) * r + 32u;
    return T * (B + 32u) + 8u * T * (U(uint32_t(roi.height)) + K);
  }
}

// ---------------------------------------------------------------------------
// The passes.

template <class S, class D, int C, bool kLow>
void row_pass(const S* src, int srcStep, D* const* dst, ImageSize roi, const tap_t<S>* kernel,
              int k, int anchor, int border, S borderValue, int divisor, void* buffer,
              bool threaded) {
  constexpr Arith A = arith_of<S, kLow, true>();
  const bool vec = use_avx512();
  Scale sc = make_scale(divisor);
  // Two 8-bit pixels always add within 16 bits; float rows of a symmetric
  // kernel share each product between two taps.
  if constexpr (std::is_same_v<S, uint8_t> || std::is_same_v<S, float>) sc.sym = symmetric(kernel, k);
  const RowBorder<S> b = resolve_border(border, borderValue, roi.width);
  const int w = roi.width, h = roi.height;
  const int64_t workBytes = round32(work_elems<C>(k) * int64_t(sizeof(S)));

  if constexpr (!row_threaded<S>()) {
    // 16u: one work area; always on the calling thread.
    S* work = reinterpret_cast<S*>(align_up(buffer, 32));
    for (int y = 0; y < h; ++y)
      filter_row<A, S, D, C>(vec, row_at(src, srcStep, y), dst[y], w, kernel, k, anchor, b, work, sc);
  } else {
    // Without threading the buffer need only hold one thread's share.
    const int T = threaded ? owncvGetMaxNumThreads() : 1;
    uint8_t* base = align_up(buffer, 16);
    D** ptrs = reinterpret_cast<D**>(base);
    // Work areas start on cache lines and are whole lines apart, so threads
    // rebuilding their border pieces row after row never write a shared line.
    uint8_t* works = align_up(base + int64_t(8) * T * (int64_t(h) + k), 64);
    const int64_t workStride = round64(workBytes);
    const bool serialThreeTap = std::is_same_v<S, int16_t> && !kLow && C == 1 && k <= 3;
    const bool par = threaded && !serialThreeTap &&
                     parallel::area32(roi) >= kParallelPixelsPerThread * T;
    parallel::for_stripes_of(h, par ? T : 1, [&](int t, int y0, int rows) {
      // Private slice of the destination row pointers and a private work area.
      D** mine = ptrs + ptrdiff_t(t) * (int64_t(h) + k);
      std::memcpy(static_cast<void*>(mine), dst + y0, sizeof(D*) * size_t(rows));
      S* work = reinterpret_cast<S*>(works + t * workStride);
      // 32f rows of the other threads are streamed past their caches: the
      // 32f column pass that consumes them runs on the calling thread alone,
      // and writing lines that core still holds, then having it pull them
      // back, costs more than a trip through memory.
      Scale mineSc = sc;
      if constexpr (A == Arith::Float) mineSc.stream = t > 0;
      for (int r = 0; r < rows; ++r)
        filter_row<A, S, D, C>(vec, row_at(src, srcStep, y0 + r), mine[r], w, kernel, k, anchor,
                               b, work, mineSc);
      if (mineSc.stream) _mm_sfence();
    });
  }
}

template <class S, class D, int C, bool kLow>
void column_pass(const S* const* src, D* dst, int dstStep, ImageSize roi, const tap_t<S>* kernel,
                 int k, int divisor, void* buffer, bool threaded, unsigned hints) {
  constexpr Arith A = arith_of<S, kLow, false>();
  const bool vec = use_avx512();
  Scale sc = make_scale(divisor);
  if constexpr (A == Arith::Int) sc.sym = (hints & kPairSumsFit) && symmetric(kernel, k);
  if constexpr (A == Arith::Float) sc.stream = (hints & kStreamOut) != 0;
  const int n = roi.width * C, h = roi.height;

  if constexpr (!column_threaded<S>()) {
    const ktap_t<A>* taps;
    if constexpr (std::is_same_v<S, uint16_t>) taps = float_taps(align_up(buffer, 32), kernel, k);
    else taps = kernel;
    column_rows<A, S>(vec, src, dst, dstStep, h, n, taps, k, sc);
  } else {
    const int T = threaded ? owncvGetMaxNumThreads() : 1;
    const S** ptrs = reinterpret_cast<const S**>(align_up(buffer, 16));
    const bool par = threaded && parallel::area32(roi) >= kParallelPixelsPerThread * T;
    parallel::for_stripes_of(h, par ? T : 1, [&](int t, int y0, int rows) {
      // Private slice: the stripe's rows and the k - 1 rows after them.
      const S** mine = ptrs + ptrdiff_t(t) * (int64_t(h) + k);
      std::memcpy(static_cast<void*>(mine), src + y0, sizeof(S*) * (size_t(rows) + size_t(k) - 1));
      column_rows<A, S>(vec, mine, row_at(dst, dstStep, y0), dstStep, rows, n, kernel, k, sc);
    });
  }
}

// ---------------------------------------------------------------------------
// Drivers: the checks in the family's order, then the pass.

namespace {

template <class S, class D, int C, bool kLow>
Status row_export(const S* src, int srcStep, D* const* dst, ImageSize roi, const tap_t<S>* kernel,
                  int k, int anchor, int border, S borderValue, int divisor, uint8_t* buffer) {
  ZUV_TRY(check::not_null(src, dst, kernel, buffer));
  ZUV_TRY(check::roi(roi));
  for (int y = 0; y < roi.height; ++y)
    if (dst[y] == nullptr) return StatusNullPointer;
  if (k < 1) return StatusSize;
  if (anchor < 0 || anchor >= k) return StatusAnchor;
  ZUV_TRY((check::step_of<S, C>(srcStep, roi)));
  ZUV_TRY(check::multiple<S>(srcStep));
  if constexpr (std::is_same_v<S, uint16_t>) {
    if (divisor < 1) return StatusBadArgument;
  } else if constexpr (!std::is_same_v<S, float>) {
    if (divisor == 0) return StatusBadArgument;
  }
  const int mode = border & ~0xF0;
  if (mode != BorderConst && mode != BorderRepl && mode != BorderMirror && mode != BorderInMem)
    return StatusBorder;
  row_pass<S, D, C, kLow>(src, srcStep, dst, roi, kernel, k, anchor, border, borderValue, divisor,
                          buffer, true);
  return StatusOk;
}

template <class S, class D, int C, bool kLow>
Status column_export(const S* const* src, D* dst, int dstStep, ImageSize roi,
                     const tap_t<S>* kernel, int k, int divisor, uint8_t* buffer) {
  ZUV_TRY(check::not_null(src, dst, kernel));
  ZUV_TRY(check::roi(roi));
  for (int64_t i = 0; i < int64_t(roi.height) + k - 1; ++i)
    if (src[i] == nullptr) return StatusNullPointer;
  if (k < 1) return StatusSize;
  ZUV_TRY((check::step_of<D, C>(dstStep, roi)));
  ZUV_TRY(check::multiple<D>(dstStep));
  if (buffer == nullptr) return StatusNullPointer;
  if constexpr (!std::is_same_v<S, float>) {
    if (divisor == 0) return StatusBadArgument;
  }
  // A float destination of at least kStreamPixels pixels is written once
  // and streamed past the caches (fenced before returning).
  const bool stream = std::is_same_v<D, float> && int64_t(roi.width) * roi.height >= kStreamPixels;
  column_pass<S, D, C, kLow>(src, dst, dstStep, roi, kernel, k, divisor, buffer, true,
                             stream ? kStreamOut : 0u);
  if (stream) _mm_sfence();
  return StatusOk;
}

template <uint32_t (*Size)(ImageSize, int, int)>
Status size_query(ImageSize roi, int k, int* size) {
  if (size == nullptr) return StatusNullPointer;
  if (roi.width < 1 || roi.height < 1 || k < 1) return StatusSize;
  *size = int32_t(Size(roi, k, owncvGetMaxNumThreads()));
  return StatusOk;
}

}  // namespace

#define X(name, query, S, D, C, low)                                                            \
  template uint32_t row_buffer_size<S, D, C, low, uint32_t>(ImageSize, int, int);               \
  template uint64_t row_buffer_size<S, D, C, low, uint64_t>(ImageSize, int, int);               \
  template void row_pass<S, D, C, low>(const S*, int, D* const*, ImageSize, const tap_t<S>*,   \
                                       int, int, int, S, int, void*, bool);
ZUV_ROW_PIPELINE_TABLE(X)
ZUV_ROW_PIPELINE_32F_TABLE(X)
#undef X
#define X(name, query, S, D, C, low)                                                            \
  template uint32_t column_buffer_size<S, D, C, low, uint32_t>(ImageSize, int, int);            \
  template uint64_t column_buffer_size<S, D, C, low, uint64_t>(ImageSize, int, int);            \
  template void column_pass<S, D, C, low>(const S* const*, D*, int, ImageSize, const tap_t<S>*, \
                                          int, int, void*, bool, unsigned);
ZUV_COLUMN_PIPELINE_TABLE(X)
ZUV_COLUMN_PIPELINE_32F_TABLE(X)
#undef X

}  // namespace zuv::pipeline

namespace zp = zuv::pipeline;

#define X(name, query, S, D, C, low)                                                            \
  ZUV_EXPORT(name, (const S* pSrc, int srcStep, D* const* ppDst, ImageSize roiSize,             \
                    const zp::tap_t<S>* pKernel, int kernelSize, int anchor,                    \
                    BorderType borderType, S borderValue, int divisor, uint8_t* pBuffer),       \
             (zp::row_export<S, D, C, low>(pSrc, srcStep, ppDst, roiSize, pKernel, kernelSize,  \
                                           anchor, borderType, borderValue, divisor, pBuffer))) \
  ZUV_EXPORT(query, (ImageSize roiSize, int kernelSize, int* pBufferSize),                      \
             (zp::size_query<zp::row_buffer_size<S, D, C, low>>(roiSize, kernelSize,            \
                                                                pBufferSize)))
ZUV_ROW_PIPELINE_TABLE(X)
#undef X

#define X(name, query, S, D, C, low)                                                            \
  ZUV_EXPORT(name, (const S* pSrc, int srcStep, D* const* ppDst, ImageSize roiSize,             \
                    const zp::tap_t<S>* pKernel, int kernelSize, int anchor,                    \
                    BorderType borderType, uint8_t* pBuffer, S borderValue),                    \
             (zp::row_export<S, D, C, low>(pSrc, srcStep, ppDst, roiSize, pKernel, kernelSize,  \
                                           anchor, borderType, borderValue, 1, pBuffer)))       \
  ZUV_EXPORT(query, (ImageSize roiSize, int kernelSize, int* pBufferSize),                      \
             (zp::size_query<zp::row_buffer_size<S, D, C, low>>(roiSize, kernelSize,            \
                                                                pBufferSize)))
ZUV_ROW_PIPELINE_32F_TABLE(X)
#undef X

#define X(name, query, S, D, C, low)                                                            \
  ZUV_EXPORT(name, (const S* const* ppSrc, D* pDst, int dstStep, ImageSize roiSize,             \
                    const zp::tap_t<S>* pKernel, int kernelSize, int divisor, uint8_t* pBuffer), \
             (zp::column_export<S, D, C, low>(ppSrc, pDst, dstStep, roiSize, pKernel,           \
                                              kernelSize, divisor, pBuffer)))                    \
  ZUV_EXPORT(query, (ImageSize roiSize, int kernelSize, int* pBufferSize),                      \
             (zp::size_query<zp::column_buffer_size<S, D, C, low>>(roiSize, kernelSize,         \
                                                                   pBufferSize)))
ZUV_COLUMN_PIPELINE_TABLE(X)
#undef X

#define X(name, query, S, D, C, low)                                                            \
  ZUV_EXPORT(name, (const S* const* ppSrc, D* pDst, int dstStep, ImageSize roiSize,             \
                    const zp::tap_t<S>* pKernel, int kernelSize, uint8_t* pBuffer),              \
             (zp::column_export<S, D, C, low>(ppSrc, pDst, dstStep, roiSize, pKernel,           \
                                              kernelSize, 1, pBuffer)))                          \
  ZUV_EXPORT(query, (ImageSize roiSize, int kernelSize, int* pBufferSize),                      \
             (zp::size_query<zp::column_buffer_size<S, D, C, low>>(roiSize, kernelSize,         \
                                                                   pBufferSize)))
ZUV_COLUMN_PIPELINE_32F_TABLE(X)
#undef X
