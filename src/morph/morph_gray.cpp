// SPDX-License-Identifier: BSD-3-Clause
// Gray-scale erosion and dilation: the extremum of S + M over the mask
// positions that fall inside the ROI (the window is cut at the edges).
//
// The state is 32 bytes of header (a pointer to the mask values, mask width
// and height, anchor, the ROI size given to Init) followed by the mask values,
// 4 bytes each; it may sit at any alignment, so it is read with memcpy.
#include "morph/morph_gray.h"

#include <cstddef>
#include <cstring>
#include <type_traits>

#include "core/check.h"
#include "core/cpu.h"
#include "core/export.h"
#include "core/image.h"
#include "core/simd.h"

namespace zuv::morph_gray {
namespace {

struct Header {
  const void* values;
  int32_t maskW, maskH, ax, ay, roiW, roiH;
};
static_assert(sizeof(Header) == 32, "the state header is 32 bytes");

constexpr int64_t kHeaderBytes = 32;

template <class M>
Status get_size(ImageSize roi, const M* mask, ImageSize maskSize, int32_t* size) {
  ZUV_TRY(check::not_null(mask, size));
  if (roi.width < 1 || roi.height < 1 || maskSize.width < 1 || maskSize.height < 1)
    return StatusSize;
  const int64_t bytes = 4 * int64_t(maskSize.width) * maskSize.height + kHeaderBytes;
  if (bytes > 2147483647) return StatusSizeOverflow;
  *size = int32_t(bytes);
  return StatusOk;
}

template <class M>
Status init(void* state, ImageSize roi, const M* mask, ImageSize maskSize, ImagePoint anchor) {
  ZUV_TRY(check::not_null(static_cast<const uint8_t*>(state), mask));
  if (roi.width < 1 || roi.height < 1 || maskSize.width < 1 || maskSize.height < 1)
    return StatusSize;
  if (anchor.x < 0 || anchor.x >= maskSize.width || anchor.y < 0 || anchor.y >= maskSize.height)
    return StatusAnchor;
  uint8_t* base = static_cast<uint8_t*>(state);
  const Header h{base + kHeaderBytes, maskSize.width, maskSize.height, anchor.x, anchor.y,
                 roi.width, roi.height};
  std::memcpy(base, &h, sizeof h);
  std::memcpy(base + kHeaderBytes, mask, size_t(maskSize.width) * maskSize.height * sizeof(M));
  return StatusOk;
}

template <bool kMax, class V>
inline V pick(V a, V b) {
  if constexpr (kMax) return a > b ? a : b;
  else return a < b ? a : b;
}

// S + M of one element: 8u sums wrap as 32-bit integers and clamp to 0..255.
template <class T, class M>
inline T add(T s, M m) {
  if constexpr (std::is_same_v<T, float>) {
    return s + m;
  } else {
    const int32_t v = int32_t(uint32_t(s) + uint32_t(m));
    return T(v < 0 ? 0 : (v > 255 ? 255 : v));
  }
}

}  // namespace

namespace ref {

// d = extremum(d, S + m) over n pixels.
template <class T, class M, bool kMax>
void fold_row(T* d, const T* s, M m, int n) {
  for (int x = 0; x < n; ++x) d[x] = pick<kMax>(d[x], add(s[x], m));
}

}  // namespace ref

ZUV_AVX512_BEGIN
namespace avx512 {

// Sixteen pixels per step; 8u sums wrap in 32-bit lanes and clamp to 0..255
// exactly like the scalar form, and max/min keep its operand order for NaN.
template <class T, class M, bool kMax>
static void fold_row(T* d, const T* s, M m, int n) {
  for (int x = 0; x < n; x += 16) {
    const __mmask16 k = simd::mask16(n - x);
    if constexpr (std::is_same_v<T, float>) {
      const __m512 v = _mm512_add_ps(_mm512_maskz_loadu_ps(k, s + x), _mm512_set1_ps(m));
      const __m512 a = _mm512_maskz_loadu_ps(k, d + x);
      _mm512_mask_storeu_ps(d + x, k, kMax ? _mm512_max_ps(a, v) : _mm512_min_ps(a, v));
    } else {
      const __m512i sum = _mm512_add_epi32(_mm512_cvtepu8_epi32(_mm_maskz_loadu_epi8(k, s + x)),
                                           _mm512_set1_epi32(int32_t(m)));
      const __m512i v = _mm512_min_epi32(_mm512_max_epi32(sum, _mm512_setzero_si512()),
                                         _mm512_set1_epi32(255));
      const __m512i a = _mm512_cvtepu8_epi32(_mm_maskz_loadu_epi8(k, d + x));
      const __m512i r = kMax ? _mm512_max_epi32(a, v) : _mm512_min_epi32(a, v);
      _mm_mask_storeu_epi8(d + x, k, _mm512_cvtepi32_epi8(r));
    }
  }
}

}  // namespace avx512
ZUV_AVX512_END

namespace {

// Mask value k; the state may sit at any address.
template <class M>
inline M value_at(const uint8_t* mask, std::ptrdiff_t k) {
  M m;
  std::memcpy(&m, mask + k * std::ptrdiff_t(sizeof(M)), sizeof(M));
  return m;
}

// The clamp is monotone, so the extremum of clamped sums is the clamped
// extremum: each destination row accumulates in place.
template <class T, class M, bool kMax>
void run(const T* src, int srcStep, T* dst, int dstStep, ImageSize roi, const Header& h,
         const uint8_t* mask) {
  const int W = roi.width, H = roi.height;
  const bool vec = use_avx512();
  for (int y = 0; y < H; ++y) {
    T* d = row_at(dst, dstStep, y);
    {
      const T* s = row_at(src, srcStep, y);
      const M m = value_at<M>(mask, std::ptrdiff_t(h.ay) * h.maskW + h.ax);
      for (int x = 0; x < W; ++x) d[x] = add(s[x], m);
    }
    for (int j = 0; j < h.maskH; ++j) {
      const int yy = y + j - h.ay;
      if (yy < 0 || yy >= H) continue;
      const T* s = row_at(src, srcStep, yy);
      for (int i = 0; i < h.maskW; ++i) {
        if (i == h.ax && j == h.ay) continue;
        const M m = value_at<M>(mask, std::ptrdiff_t(j) * h.maskW + i);
        const int dx = i - h.ax;
        const int x0 = dx < 0 ? -dx : 0, x1 = dx > 0 ? W - dx : W;
        if (vec) avx512::fold_row<T, M, kMax>(d + x0, s + x0 + dx, m, x1 - x0);
        else ref::fold_row<T, M, kMax>(d + x0, s + x0 + dx, m, x1 - x0);
      }
    }
  }
}

template <class T, class M, bool kMax>
Status gray(const T* src, int srcStep, T* dst, int dstStep, ImageSize roi, BorderType border,
            const void* state) {
  ZUV_TRY(check::not_null(src, dst, static_cast<const uint8_t*>(state)));
  ZUV_TRY(check::roi(roi));
  ZUV_TRY(check::step_of<T>(srcStep, roi));
  ZUV_TRY(check::step_of<T>(dstStep, roi));
  ZUV_TRY(check::multiples<T>(srcStep, dstStep));
  // The mode without the in-memory flags: the window never leaves the region.
  if ((border & ~0xF0) != BorderRepl) return StatusBadArgument;
  Header h;
  std::memcpy(&h, state, sizeof h);
  if (roi.width > h.roiW || roi.height > h.roiH) return StatusBadArgument;
  const uint8_t* mask = static_cast<const uint8_t*>(state) + kHeaderBytes;
  run<T, M, kMax>(src, srcStep, dst, dstStep, roi, h, mask);
  return StatusOk;
}

}  // namespace
}  // namespace zuv::morph_gray

#define X(gs, in, er, di, T, M)                                                                 \
  ZUV_EXPORT(gs, (ImageSize roiSize, const M* pMask, ImageSize maskSize, int32_t* pSize),      \
             (zuv::morph_gray::get_size<M>(roiSize, pMask, maskSize, pSize)))                   \
  ZUV_EXPORT(in, (MorphGrayState* pState, ImageSize roiSize, const M* pMask, ImageSize maskSize, \
                  ImagePoint anchor),                                                          \
             (zuv::morph_gray::init<M>(pState, roiSize, pMask, maskSize, anchor)))              \
  ZUV_EXPORT(er, (const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roiSize,          \
                  BorderType borderType, const MorphGrayState* pState),                        \
             (zuv::morph_gray::gray<T, M, false>(pSrc, srcStep, pDst, dstStep, roiSize,         \
                                                 borderType, pState)))                         \
  ZUV_EXPORT(di, (const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roiSize,          \
                  BorderType borderType, const MorphGrayState* pState),                        \
             (zuv::morph_gray::gray<T, M, true>(pSrc, srcStep, pDst, dstStep, roiSize,          \
                                                borderType, pState)))
ZUV_MORPH_GRAY_TABLE(X)
#undef X
