// SPDX-License-Identifier: BSD-3-Clause
// Fixed-kernel filters with border (cross derivative, Laplacian, box lowpass) and the Sobel kernel generator.
#include "filter/fixed.h"

#include <cstdint>
#include <type_traits>

#include "core/check.h"
#include "core/export.h"
#include "core/image.h"
#include "core/parallel.h"
#include "core/services.h"
#include "filter/derivative.h"

namespace zuv::fixed {
namespace {

using derivative::Border;
using derivative::Kind;

// Buffer sizes: 32-bit arithmetic that wraps like the reported int.
using u32 = uint32_t;
constexpr u32 roundup(u32 v, u32 n) { return (v + n - 1) / n * n; }

// Work areas of the row and column passes (the separable pipelines' sizes
// for the same region) for T threads.
constexpr u32 row_8u16s(u32 h, u32 k, u32 t) {
  return t * (32 * (k + k / 4) + 2 * k + 34 + 32) + 8 * t * (h + k);
}
constexpr u32 row_32f(u32 h, u32 k, u32 t) { return t * (96 * k + 64 + 48) + 8 * t * (h + k); }
constexpr u32 col_16s(u32 w, u32 h, u32 k, u32 t) {
  return t * (12 * roundup(w, 4) + 32 + 32) + 8 * t * (h + k);
}
constexpr u32 col_32f(u32 k) { return 32 * k + 32; }

// Bytes of one thread's slice of the buffer (the whole buffer is T slices),
// except the 32f Laplacian, whose single-threaded buffer is returned whole.
template <Kind kind, class Ts>
u32 slice_bytes(ImageSize roi, int mask, int threads) {
  const u32 w = u32(roi.width), h = u32(roi.height), t = u32(threads);
  const u32 k = mask == MaskSize3x3 ? 3 : 5;
  const u32 w16 = roundup(w, 16);
  const u32 f = k == 3 ? 21 : 25, g = k == 3 ? 72 : 120;
  constexpr bool kFloat = std::is_same_v<Ts, float>;
  if constexpr (kind == Kind::SobelCross) {
    return kFloat ? 4 * w16 * f + g + 368 + row_32f(h, k, t) + col_32f(k) + 32
                  : 2 * w16 * f + g + 368 + row_8u16s(h, k, t) + col_16s(w, h, k, t) + 32;
  } else if constexpr (kind == Kind::Lowpass) {
    return kFloat ? 4 * w16 * f + g + 304 + row_32f(h, k, t) + col_32f(k) + 32
                  : 2 * w16 * f + g + 368 + row_8u16s(h, k, t) + col_16s(w, h, k, t) + 32;
  } else if constexpr (!kFloat) {
    return 4 * w16 * f + 2 * g + 576 + row_8u16s(h, k, t) + col_16s(w, h, k, t) + 32;
  } else {
    // Laplacian 32f: a bordered-image area and a row area.
    const bool small = k >= w || k >= h;
    const u32 r = small ? k + h - 1 : (k == 3 ? 3 : 6);
    const u32 c = small ? w + k - 1 : (w > h ? w : h) + k - 1;
    const u32 w32 = roundup(4 * w, 32);
    return roundup(4 * r * c, 32) + (k == 3 ? 3 : 12) * w32 + 32;
  }
}

template <Kind kind, class Ts>
constexpr bool threaded() {
  return !(kind == Kind::Laplacian && std::is_same_v<Ts, float>);
}

template <Kind kind, class Ts>
Status buffer_size(ImageSize roi, int mask, int* size) {
  ZUV_TRY(check::not_null(size));
  ZUV_TRY(check::roi(roi));
  ZUV_TRY(check::mask_size(mask));
  const int t = owncvGetMaxNumThreads();
  const u32 slice = slice_bytes<kind, Ts>(roi, mask, t);
  *size = int(threaded<kind, Ts>() ? u32(t) * slice : slice);
  return StatusOk;
}

template <Kind kind, class Ts, class Td>
Status filter(const Ts* src, int srcStep, Td* dst, int dstStep, ImageSize roi, int mask,
              int borderType, Ts value, uint8_t* buffer) {
  ZUV_TRY(check::not_null(src, dst, buffer));
  ZUV_TRY(check::roi(roi));
  ZUV_TRY(check::step_of<Ts>(srcStep, roi));
  ZUV_TRY(check::step_of<Td>(dstStep, roi));
  ZUV_TRY(check::multiple<Ts>(srcStep));
  ZUV_TRY(check::multiple<Td>(dstStep));
  const int mode = borderType & 15;
  if (mode != BorderConst && mode != BorderRepl && mode != BorderMirror && mode != BorderInMem)
    return StatusBadArgument;
  // Bits above the mode without any side flag among them.
  if ((borderType & 0xFFF0) != 0 && (borderType & 0xF0) == 0) return StatusBadArgument;
  ZUV_TRY(check::mask_size(mask));

  const int k = mask == MaskSize3x3 ? 3 : 5;
  const Border b = derivative::decode(borderType);
  const int t = owncvGetMaxNumThreads();
  const int64_t slice = slice_bytes<kind, Ts>(roi, mask, t);
  const bool split = threaded<kind, Ts>() && t > 1 && roi.width >= 256 && roi.height >= 256 &&
                     int64_t(roi.height) >= 5 * int64_t(t);
  if (!split) {
    derivative::run(kind, k, src, srcStep, dst, dstStep, roi, b, value, buffer, slice);
    return StatusOk;
  }
  // T stripes of height / T rows (the last takes the remainder), each on its
  // own buffer slice. Inner stripe edges read the neighbouring source rows as
  // in-memory borders, so the result equals the serial one. The stripes are
  // spread over the threads the runtime grants (one each when it grants T).
  const int q = roi.height / t;
  parallel::for_rows(t, true, [&](int first, int count) {
    for (int s = first; s < first + count; ++s) {
      Border sb = b;
      if (s > 0) sb.top = true;
      if (s < t - 1) sb.bottom = true;
      const int rows = s == t - 1 ? roi.height - s * q : q;
      derivative::run(kind, k, row_at(src, srcStep, s * q), srcStep, row_at(dst, dstStep, s * q),
                      dstStep, ImageSize{roi.width, rows}, sb, value, buffer + s * slice, slice);
    }
  });
  return StatusOk;
}

// Taps of a Sobel-type kernel: binomial smoothing passes, then differencing
// passes, each running over the taps from the right end inwards. The 16s
// variant wraps in 16 bits like its element type.
template <class T>
Status gen_sobel(T* dst, int n, int order, int sign) {
  ZUV_TRY(check::not_null(dst));
  if (n < 1 || n % 2 == 0 || order < 0 || order >= n) return StatusBadArgument;
  for (int i = 0; i < n - 1; ++i) dst[i] = T(0);
  dst[n - 1] = T(1);
  auto add = [](T a, T b) {
    if constexpr (std::is_same_v<T, float>) return a + b;
    else return T(uint16_t(uint16_t(a) + uint16_t(b)));
  };
  auto sub = [](T a, T b) {
    if constexpr (std::is_same_v<T, float>) return a - b;
    else return T(uint16_t(uint16_t(a) - uint16_t(b)));
  };
  for (int p = 0; p < n - 1; ++p) {
    const bool smooth = p < n - 1 - order;
    for (int i = n - 2 - p; i <= n - 2; ++i) dst[i] = smooth ? add(dst[i], dst[i + 1]) : sub(dst[i], dst[i + 1]);
  }
  if (sign < 0) {
    for (int i = 0; i < n; ++i) {
      if constexpr (std::is_same_v<T, float>) dst[i] = -dst[i];
      else dst[i] = sub(T(0), dst[i]);
    }
  }
  return StatusOk;
}

}  // namespace
}  // namespace zuv::fixed

#define X(name, kind, Ts, Td)                                                                    \
  ZUV_EXPORT(name, (const Ts* pSrc, int srcStep, Td* pDst, int dstStep, ImageSize roiSize,      \
                    MaskSize mask, BorderType borderType, ZUV_FIXED_TAIL(Ts)),                  \
             (zuv::fixed::filter<zuv::derivative::Kind::kind, Ts, Td>(                          \
                 pSrc, srcStep, pDst, dstStep, roiSize, mask, borderType, borderValue, pBuffer)))
ZUV_FIXED_TABLE(X)
#undef X

#define X(name, kind, Ts, Td)                                                  \
  ZUV_EXPORT(name, (ImageSize roiSize, MaskSize mask, int* pBufferSize),      \
             (zuv::fixed::buffer_size<zuv::derivative::Kind::kind, Ts>(roiSize, mask, pBufferSize)))
ZUV_FIXED_QUERY_TABLE(X)
#undef X

ZUV_EXPORT(zuviGenSobelKernel_16s, (int16_t* pDst, int kernelSize, int order, int sign),
           (zuv::fixed::gen_sobel(pDst, kernelSize, order, sign)))
ZUV_EXPORT(zuviGenSobelKernel_32f, (float* pDst, int kernelSize, int order, int sign),
           (zuv::fixed::gen_sobel(pDst, kernelSize, order, sign)))
