// SPDX-License-Identifier: BSD-3-Clause
// Running accumulators (sum, square, product, weighted) and absolute differences.
#include "arith/accumulate.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "core/check.h"
#include "core/cpu.h"
#include "core/export.h"
#include "core/image.h"
#include "core/parallel.h"
#include "core/simd.h"

namespace zuv::accumulate {
namespace {

// Rows of at least this many pixels are split at the parallel threshold.
constexpr int32_t kParallelPixels = 262144;

// Integer sources convert exactly (every 8u and 16u value is a float).
template <class T>
inline float to_f(T v) { return static_cast<float>(v); }

// Clears the sign bit: |x| that keeps NaN a NaN and turns -0 into +0.
inline float clear_sign(float v) {
  uint32_t b;
  std::memcpy(&b, &v, 4);
  b &= 0x7FFFFFFFu;
  std::memcpy(&v, &b, 4);
  return v;
}

}  // namespace

namespace ref {

// One row of an accumulation: ain is read, aout written (the same row for the
// in-place members). Product reads s2; mask m may be null.
template <Op op, class T>
void acc_row(const T* s1, const T* s2, const uint8_t* m, const float* ain, float* aout, int n,
             float alpha) {
  for (int x = 0; x < n; ++x) {
    if (m && m[x] == 0) continue;
    const float a = ain[x];
    const float s = to_f(s1[x]);
    float r;
    if constexpr (op == Op::Add) r = a + s;
    else if constexpr (op == Op::Square) r = std::fma(s, s, a);
    else if constexpr (op == Op::Product) r = std::fma(s, to_f(s2[x]), a);
    else r = std::fma(s - a, alpha, a);
    aout[x] = r;
  }
}

template <class T>
void absdiff_row(const T* a, const T* b, T* d, int n) {
  for (int x = 0; x < n; ++x) {
    if constexpr (std::is_same_v<T, float>) d[x] = clear_sign(a[x] - b[x]);
    else d[x] = static_cast<T>(a[x] > b[x] ? a[x] - b[x] : b[x] - a[x]);
  }
}

template <class T>
void absdiffc_row(const T* s, T c, T* d, int n) {
  for (int x = 0; x < n; ++x) {
    if constexpr (std::is_same_v<T, float>) d[x] = clear_sign(s[x] - c);
    else d[x] = static_cast<T>(s[x] > c ? s[x] - c : c - s[x]);
  }
}

}  // namespace ref

ZUV_AVX512_BEGIN
namespace avx512 {

// Sixteen source pixels as floats: all of them (kFull) or the lanes of k.
template <class T, bool kFull>
static inline __m512 load16(const T* p, __mmask16 k) {
  if constexpr (std::is_same_v<T, uint8_t>)
    return _mm512_cvtepi32_ps(_mm512_cvtepu8_epi32(
        kFull ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)) : _mm_maskz_loadu_epi8(k, p)));
  else if constexpr (std::is_same_v<T, uint16_t>)
    return _mm512_cvtepi32_ps(_mm512_cvtepu16_epi32(
        kFull ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)) : _mm256_maskz_loadu_epi16(k, p)));
  else
    return kFull ? _mm512_loadu_ps(p) : _mm512_maskz_loadu_ps(k, p);
}

// Sixteen pixels from x: all of them (kFull) or the tail lanes of k. Loads
// take every pixel of the block (sparse load masks are slow). Masked members
// store only the selected lanes: an unselected pixel is never written, so
// callers may update other pixels of the same accumulator at the same time.
template <Op op, class T, bool kMasked, bool kFull>
static inline void acc_block(const T* s1, const T* s2, const uint8_t* m, const float* ain,
                             float* aout, int x, __mmask16 k, __m512 alpha) {
  const __m512 a = kFull ? _mm512_loadu_ps(ain + x) : _mm512_maskz_loadu_ps(k, ain + x);
  const __m512 s = load16<T, kFull>(s1 + x, k);
  __m512 r;
  if constexpr (op == Op::Add) r = _mm512_add_ps(a, s);
  else if constexpr (op == Op::Square) r = _mm512_fmadd_ps(s, s, a);
  else if constexpr (op == Op::Product) r = _mm512_fmadd_ps(s, load16<T, kFull>(s2 + x, k), a);
  else r = _mm512_fmadd_ps(_mm512_sub_ps(s, a), alpha, a);
  __mmask16 store = k;
  if constexpr (kMasked) {
    const __m128i mv = kFull ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(m + x))
                             : _mm_maskz_loadu_epi8(k, m + x);
    store = _mm_mask_test_epi8_mask(k, mv, mv);
  }
  if (kFull && (!kMasked || store == 0xFFFF)) _mm512_storeu_ps(aout + x, r);
  else if (store != 0) _mm512_mask_storeu_ps(aout + x, store, r);
}

template <Op op, class T, bool kMasked>
static void acc_row(const T* s1, const T* s2, const uint8_t* m, const float* ain, float* aout,
                    int n, float alpha_s) {
  const __m512 alpha = _mm512_set1_ps(alpha_s);
  int x = 0;
  // Long rows: reach a 64-byte boundary of the output first so the main
  // blocks store whole cache lines. Speed only; results are the same.
  const uintptr_t addr = reinterpret_cast<uintptr_t>(aout);
  if (n >= 256 && (addr & 3) == 0) {
    const int head = int(((64 - (addr & 63)) & 63) / 4);
    if (head) acc_block<op, T, kMasked, false>(s1, s2, m, ain, aout, 0, simd::mask16(head), alpha);
    x = head;
  }
  for (; x + 64 <= n; x += 64) {
    acc_block<op, T, kMasked, true>(s1, s2, m, ain, aout, x, 0xFFFF, alpha);
    acc_block<op, T, kMasked, true>(s1, s2, m, ain, aout, x + 16, 0xFFFF, alpha);
    acc_block<op, T, kMasked, true>(s1, s2, m, ain, aout, x + 32, 0xFFFF, alpha);
    acc_block<op, T, kMasked, true>(s1, s2, m, ain, aout, x + 48, 0xFFFF, alpha);
  }
  for (; x < n; x += 16) acc_block<op, T, kMasked, false>(s1, s2, m, ain, aout, x, simd::mask16(n - x), alpha);
}

// |a - b| of one 64-byte vector of T under lane mask k.
template <class T>
static inline __m512i absdiff_vec(__m512i a, __m512i b) {
  if constexpr (std::is_same_v<T, uint8_t>)
    return _mm512_or_si512(_mm512_subs_epu8(a, b), _mm512_subs_epu8(b, a));
  else if constexpr (std::is_same_v<T, uint16_t>)
    return _mm512_or_si512(_mm512_subs_epu16(a, b), _mm512_subs_epu16(b, a));
  else
    return _mm512_castps_si512(_mm512_andnot_ps(
        _mm512_castsi512_ps(_mm512_set1_epi32(int(0x80000000u))),
        _mm512_sub_ps(_mm512_castsi512_ps(a), _mm512_castsi512_ps(b))));
}

// Loads and stores of one vector of T, all lanes or the first n.
template <class T>
static inline __m512i load_n(const T* p, int n) {
  if constexpr (sizeof(T) == 1) return _mm512_maskz_loadu_epi8(simd::mask64(n), p);
  else if constexpr (sizeof(T) == 2) return _mm512_maskz_loadu_epi16(simd::mask32(n), p);
  else return _mm512_maskz_loadu_epi32(simd::mask16(n), p);
}
template <class T>
static inline void store_n(T* p, __m512i v, int n) {
  if constexpr (sizeof(T) == 1) _mm512_mask_storeu_epi8(p, simd::mask64(n), v);
  else if constexpr (sizeof(T) == 2) _mm512_mask_storeu_epi16(p, simd::mask32(n), v);
  else _mm512_mask_storeu_epi32(p, simd::mask16(n), v);
}

// Elements before the next 64-byte boundary of d, for rows long enough that
// whole-line stores pay off (speed only).
template <class T>
static inline int head_to_line(const T* d, int n) {
  const uintptr_t addr = reinterpret_cast<uintptr_t>(d);
  if (n * int(sizeof(T)) < 1024 || addr % sizeof(T) != 0) return 0;
  return int(((64 - (addr & 63)) & 63) / sizeof(T));
}

// d = |a - b| over n elements; kConst takes b as the broadcast constant cv.
template <class T, bool kConst>
static void absdiff_any(const T* a, const T* b, __m512i cv, T* d, int n) {
  constexpr int kLanes = 64 / int(sizeof(T));
  int x = head_to_line(d, n);
  if (x) store_n(d, absdiff_vec<T>(load_n(a, x), kConst ? cv : load_n(b, x)), x);
  for (; x + 2 * kLanes <= n; x += 2 * kLanes) {
    const __m512i b0 = kConst ? cv : _mm512_loadu_si512(b + x);
    const __m512i b1 = kConst ? cv : _mm512_loadu_si512(b + x + kLanes);
    const __m512i r0 = absdiff_vec<T>(_mm512_loadu_si512(a + x), b0);
    const __m512i r1 = absdiff_vec<T>(_mm512_loadu_si512(a + x + kLanes), b1);
    _mm512_storeu_si512(d + x, r0);
    _mm512_storeu_si512(d + x + kLanes, r1);
  }
  for (; x < n; x += kLanes) {
    const int m = n - x;
    store_n(d + x, absdiff_vec<T>(load_n(a + x, m), kConst ? cv : load_n(b + x, m)), m);
  }
}

template <class T>
static void absdiff_row(const T* a, const T* b, T* d, int n) {
  absdiff_any<T, false>(a, b, _mm512_setzero_si512(), d, n);
}

template <class T>
static inline __m512i broadcast(T c) {
  if constexpr (sizeof(T) == 1) return _mm512_set1_epi8(char(c));
  else if constexpr (sizeof(T) == 2) return _mm512_set1_epi16(short(c));
  else return _mm512_castps_si512(_mm512_set1_ps(c));
}

template <class T>
static void absdiffc_row(const T* s, T c, T* d, int n) {
  absdiff_any<T, true>(s, nullptr, broadcast(c), d, n);
}

}  // namespace avx512
ZUV_AVX512_END

namespace {

// Checks of an accumulation member, in the family's order: pointers, region,
// the source steps (16u evenness right after them), the mask step, the
// accumulator step with its multiple of 4; in all-32f members the multiples
// of every 32f step come after all step tests.
template <class T, int kSources, bool kMasked>
Status check_acc(const T* s1, int s1Step, const T* s2, int s2Step, const uint8_t* m, int mStep,
                 const float* a, int aStep, ImageSize roi) {
  if constexpr (kMasked) ZUV_TRY(check::not_null(s1, m, a));
  if constexpr (kSources == 2) ZUV_TRY(check::not_null(s1, s2, a));
  else ZUV_TRY(check::not_null(s1, a));
  ZUV_TRY(check::roi(roi));
  ZUV_TRY(check::step_of<T>(s1Step, roi));
  if constexpr (kSources == 2) ZUV_TRY(check::step_of<T>(s2Step, roi));
  if constexpr (std::is_same_v<T, uint16_t>) {
    ZUV_TRY(check::multiple<T>(s1Step));
    if constexpr (kSources == 2) ZUV_TRY(check::multiple<T>(s2Step));
  }
  if constexpr (kMasked) ZUV_TRY(check::step_of<uint8_t>(mStep, roi));
  ZUV_TRY(check::step_of<float>(aStep, roi));
  if constexpr (std::is_same_v<T, float>) {
    ZUV_TRY(check::multiple<float>(s1Step));
    if constexpr (kSources == 2) ZUV_TRY(check::multiple<float>(s2Step));
  }
  return check::multiple<float>(aStep);
}

// Runs the accumulation rows on stripes; ain and aout are the same image
// except in the two-input weighted blend.
template <Op op, class T, bool kMasked>
void run_acc(const T* s1, int s1Step, const T* s2, int s2Step, const uint8_t* m, int mStep,
             const float* ain, int ainStep, float* aout, int aoutStep, ImageSize roi,
             float alpha, bool threaded) {
  const bool vec = use_avx512();
  parallel::for_rows(roi.height, threaded && parallel::area32(roi) >= kParallelPixels,
                     [&](int y0, int rows) {
    for (int y = y0; y < y0 + rows; ++y) {
      const T* r1 = row_at(s1, s1Step, y);
      const T* r2 = s2 ? row_at(s2, s2Step, y) : nullptr;
      const uint8_t* rm = kMasked ? row_at(m, mStep, y) : nullptr;
      if (vec)
        avx512::acc_row<op, T, kMasked>(r1, r2, rm, row_at(ain, ainStep, y),
                                        row_at(aout, aoutStep, y), roi.width, alpha);
      else
        ref::acc_row<op, T>(r1, r2, rm, row_at(ain, ainStep, y), row_at(aout, aoutStep, y),
                            roi.width, alpha);
    }
  });
}

template <Op op, class T, bool kMasked>
Status accumulate(const T* s1, int s1Step, const T* s2, int s2Step, const uint8_t* m, int mStep,
                  float* a, int aStep, ImageSize roi, float alpha) {
  constexpr int kSources = op == Op::Product ? 2 : 1;
  ZUV_TRY((check_acc<T, kSources, kMasked>(s1, s1Step, s2, s2Step, m, mStep, a, aStep, roi)));
  run_acc<op, T, kMasked>(s1, s1Step, s2, s2Step, m, mStep, a, aStep, a, aStep, roi, alpha, true);
  return StatusOk;
}

// D = fma(S1 - S2, alpha, S2): the weighted average of two images into a third,
// always on the calling thread.
Status blend(const float* s1, int s1Step, const float* s2, int s2Step, float* d, int dStep,
             ImageSize roi, float alpha) {
  ZUV_TRY((check_acc<float, 2, false>(s1, s1Step, s2, s2Step, nullptr, 0, d, dStep, roi)));
  run_acc<Op::Weighted, float, false>(s1, s1Step, nullptr, 0, nullptr, 0, s2, s2Step, d, dStep,
                                      roi, alpha, false);
  return StatusOk;
}

// Absolute differences: all steps, then their element multiples.
template <class T, int C>
Status absdiff(const T* a, int aStep, const T* b, int bStep, T* d, int dStep, ImageSize roi) {
  ZUV_TRY(check::not_null(a, b, d));
  ZUV_TRY(check::roi(roi));
  ZUV_TRY((check::step_of<T, C>(aStep, roi)));
  ZUV_TRY((check::step_of<T, C>(bStep, roi)));
  ZUV_TRY((check::step_of<T, C>(dStep, roi)));
  ZUV_TRY(check::multiples<T>(aStep, bStep, dStep));
  const int n = roi.width * C;
  const bool vec = use_avx512();
  const ImageSize wide{n, roi.height};
  parallel::for_rows(roi.height, parallel::area32(wide) >= kParallelPixels, [&](int y0, int rows) {
    for (int y = y0; y < y0 + rows; ++y) {
      if (vec) avx512::absdiff_row(row_at(a, aStep, y), row_at(b, bStep, y), row_at(d, dStep, y), n);
      else ref::absdiff_row(row_at(a, aStep, y), row_at(b, bStep, y), row_at(d, dStep, y), n);
    }
  });
  return StatusOk;
}

// The constant as an element: integer values clamp to the type's range.
template <class T, class V>
T clamp_value(V v) {
  if constexpr (std::is_same_v<T, float>) return v;
  else {
    constexpr int32_t kMax = std::is_same_v<T, uint8_t> ? 255 : 65535;
    return static_cast<T>(v < 0 ? 0 : (v > kMax ? kMax : v));
  }
}

template <class T, class V>
Status absdiffc(const T* s, int sStep, T* d, int dStep, ImageSize roi, V value) {
  ZUV_TRY(check::not_null(s, d));
  ZUV_TRY(check::roi(roi));
  ZUV_TRY(check::step_of<T>(sStep, roi));
  ZUV_TRY(check::step_of<T>(dStep, roi));
  ZUV_TRY(check::multiples<T>(sStep, dStep));
  const T c = clamp_value<T>(value);
  const bool vec = use_avx512();
  parallel::for_rows(roi.height, parallel::area32(roi) >= kParallelPixels, [&](int y0, int rows) {
    for (int y = y0; y < y0 + rows; ++y) {
      if (vec) avx512::absdiffc_row(row_at(s, sStep, y), c, row_at(d, dStep, y), roi.width);
      else ref::absdiffc_row(row_at(s, sStep, y), c, row_at(d, dStep, y), roi.width);
    }
  });
  return StatusOk;
}

}  // namespace
}  // namespace zuv::accumulate

using zuv::accumulate::Op;

#define X(name, op, T)                                                                     \
  ZUV_EXPORT(name, (const T* pSrc, int srcStep, float* pSrcDst, int srcDstStep, ImageSize roiSize), \
             (zuv::accumulate::accumulate<Op::op, T, false>(pSrc, srcStep, nullptr, 0, nullptr, 0, \
                                                            pSrcDst, srcDstStep, roiSize, 0.f)))
ZUV_ACC1_TABLE(X)
#undef X

#define X(name, op, T)                                                                      \
  ZUV_EXPORT(name, (const T* pSrc, int srcStep, const uint8_t* pMask, int maskStep,         \
                    float* pSrcDst, int srcDstStep, ImageSize roiSize),                     \
             (zuv::accumulate::accumulate<Op::op, T, true>(pSrc, srcStep, nullptr, 0, pMask, \
                                                           maskStep, pSrcDst, srcDstStep,   \
                                                           roiSize, 0.f)))
ZUV_ACC1M_TABLE(X)
#undef X

#define X(name, op, T)                                                                       \
  ZUV_EXPORT(name, (const T* pSrc1, int src1Step, const T* pSrc2, int src2Step,              \
                    float* pSrcDst, int srcDstStep, ImageSize roiSize),                      \
             (zuv::accumulate::accumulate<Op::op, T, false>(pSrc1, src1Step, pSrc2, src2Step, \
                                                            nullptr, 0, pSrcDst, srcDstStep, \
                                                            roiSize, 0.f)))
ZUV_ACC2_TABLE(X)
#undef X

#define X(name, op, T)                                                                      \
  ZUV_EXPORT(name, (const T* pSrc1, int src1Step, const T* pSrc2, int src2Step,             \
                    const uint8_t* pMask, int maskStep, float* pSrcDst, int srcDstStep,     \
                    ImageSize roiSize),                                                     \
             (zuv::accumulate::accumulate<Op::op, T, true>(pSrc1, src1Step, pSrc2, src2Step, \
                                                           pMask, maskStep, pSrcDst,        \
                                                           srcDstStep, roiSize, 0.f)))
ZUV_ACC2M_TABLE(X)
#undef X

#define X(name, op, T)                                                                       \
  ZUV_EXPORT(name, (const T* pSrc, int srcStep, float* pSrcDst, int srcDstStep,              \
                    ImageSize roiSize, float alpha),                                         \
             (zuv::accumulate::accumulate<Op::op, T, false>(pSrc, srcStep, nullptr, 0, nullptr, \
                                                            0, pSrcDst, srcDstStep, roiSize,  \
                                                            alpha)))
ZUV_ACCW_TABLE(X)
#undef X

#define X(name, op, T)                                                                      \
  ZUV_EXPORT(name, (const T* pSrc, int srcStep, const uint8_t* pMask, int maskStep,         \
                    float* pSrcDst, int srcDstStep, ImageSize roiSize, float alpha),        \
             (zuv::accumulate::accumulate<Op::op, T, true>(pSrc, srcStep, nullptr, 0, pMask, \
                                                           maskStep, pSrcDst, srcDstStep,   \
                                                           roiSize, alpha)))
ZUV_ACCWM_TABLE(X)
#undef X

ZUV_EXPORT(zuviAddWeighted_32f_C1R,
           (const float* pSrc1, int src1Step, const float* pSrc2, int src2Step, float* pDst,
            int dstStep, ImageSize roiSize, float alpha),
           (zuv::accumulate::blend(pSrc1, src1Step, pSrc2, src2Step, pDst, dstStep, roiSize, alpha)))

#define X(name, T, C)                                                                       \
  ZUV_EXPORT(name, (const T* pSrc1, int src1Step, const T* pSrc2, int src2Step, T* pDst,    \
                    int dstStep, ImageSize roiSize),                                        \
             (zuv::accumulate::absdiff<T, C>(pSrc1, src1Step, pSrc2, src2Step, pDst, dstStep, \
                                             roiSize)))
ZUV_ABSDIFF_TABLE(X)
#undef X

#define X(name, T, V)                                                                    \
  ZUV_EXPORT(name, (const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roiSize, \
                    V value),                                                            \
             (zuv::accumulate::absdiffc<T, V>(pSrc, srcStep, pDst, dstStep, roiSize, value)))
ZUV_ABSDIFFC_TABLE(X)
#undef X
