// SPDX-License-Identifier: BSD-3-Clause
// Border-extended copies of an image region and vector fill/copy routines (internal).
//
// Operations that take a border mode first copy their source into scratch with
// generated border pixels around it, so that their kernels can read a full
// neighbourhood everywhere. Nothing here is exported.
//
// Out-of-place copies: the source region (srcRoi) lands in the destination at
// row `top`, column `left`; the border is `top` rows above, dstRoi.height -
// top - srcRoi.height rows below, `left` columns to the left and dstRoi.width
// - left - srcRoi.width columns to the right. Source and destination must not
// overlap. The in-place form writes the border around a region that already
// sits inside a larger buffer (at negative offsets above and left of `img`).
//
// Checks, first failure returned, nothing written:
//   null source or destination: -8;
//   a step below 1: -14 (steps are not compared with widths);
//   source width, source height, destination width, destination height below 1,
//   top or left negative, dst width < left + src width, dst height < top +
//   src height: -6, in this order;
//   const border: a null value pointer: -8 (after the sizes).
//
// Fill rules, for a border pixel at source coordinates (x, y):
//   const      the constant (one per channel);
//   replicate  the pixel at the clamped column and row;
//   mirror     the pixel at the reflected column and row, reflection about the
//              edge pixel without repeating it (-1 -> 1, width -> width - 2),
//              periodic with period 2*width - 2, so borders wider than the
//              image reflect again; a one-pixel source acts as replicate.
// Copies move bit patterns: a float constant or pixel keeps its exact bits.
#pragma once

#include <cstddef>
#include <cstdint>

#include "zuvcv.h"

namespace zuv::border {

// Column (or row) of the source that a replicated border position reads.
constexpr int replicate_index(int i, int n) { return i < 0 ? 0 : (i >= n ? n - 1 : i); }

// Column (or row) of the source that a mirrored border position reads:
// reflection without repeating the edge, periodic with period 2n - 2.
constexpr int mirror_index(int i, int n) {
  if (n == 1) return 0;
  const int p = 2 * n - 2;
  int r = i % p;
  if (r < 0) r += p;
  return r >= n ? p - r : r;
}

namespace detail {
// Type-erased workers on elements of `Bytes` bytes and C channels; defined
// and instantiated (Bytes 1, 2, 4, 8; C 1..4) in border.cpp.
template <int Bytes, int C>
Status copy_const(const void* src, int srcStep, ImageSize srcRoi, void* dst, int dstStep,
                  ImageSize dstRoi, int top, int left, const void* value);
template <int Bytes, int C>
Status copy_replicate(const void* src, int srcStep, ImageSize srcRoi, void* dst, int dstStep,
                      ImageSize dstRoi, int top, int left);
template <int Bytes, int C>
Status copy_replicate_inplace(void* img, int step, ImageSize srcRoi, ImageSize dstRoi, int top,
                              int left);
template <int Bytes, int C>
Status copy_mirror(const void* src, int srcStep, ImageSize srcRoi, void* dst, int dstStep,
                   ImageSize dstRoi, int top, int left);
}  // namespace detail

// Constant border; `value` points to C elements (one per channel).
template <class T, int C>
inline Status copy_const(const T* src, int srcStep, ImageSize srcRoi, T* dst, int dstStep,
                         ImageSize dstRoi, int top, int left, const T* value) {
  return detail::copy_const<int(sizeof(T)), C>(src, srcStep, srcRoi, dst, dstStep, dstRoi, top,
                                                left, value);
}

// Replicated border.
template <class T, int C>
inline Status copy_replicate(const T* src, int srcStep, ImageSize srcRoi, T* dst, int dstStep,
                             ImageSize dstRoi, int top, int left) {
  return detail::copy_replicate<int(sizeof(T)), C>(src, srcStep, srcRoi, dst, dstStep, dstRoi,
                                                    top, left);
}

// Replicated border written in place around the region at `img` (first region
// pixel inside a larger buffer); the region itself is not moved.
template <class T, int C>
inline Status copy_replicate_inplace(T* img, int step, ImageSize srcRoi, ImageSize dstRoi, int top,
                                     int left) {
  return detail::copy_replicate_inplace<int(sizeof(T)), C>(img, step, srcRoi, dstRoi, top, left);
}

// Mirrored border (edge pixel not repeated, periodic for wide borders).
template <class T, int C>
inline Status copy_mirror(const T* src, int srcStep, ImageSize srcRoi, T* dst, int dstStep,
                          ImageSize dstRoi, int top, int left) {
  return detail::copy_mirror<int(sizeof(T)), C>(src, srcStep, srcRoi, dst, dstStep, dstRoi, top,
                                                 left);
}

// One entry point for a border mode: BorderConst (0, `value` then points to C
// elements), BorderRepl (1) or BorderMirror (3); any other mode gives
// StatusBorder without writing.
template <class T, int C>
inline Status copy_border(int mode, const T* src, int srcStep, ImageSize srcRoi, T* dst,
                          int dstStep, ImageSize dstRoi, int top, int left, const T* value) {
  switch (mode) {
    case BorderConst:
      return copy_const<T, C>(src, srcStep, srcRoi, dst, dstStep, dstRoi, top, left, value);
    case BorderRepl:
      return copy_replicate<T, C>(src, srcStep, srcRoi, dst, dstStep, dstRoi, top, left);
    case BorderMirror:
      return copy_mirror<T, C>(src, srcStep, srcRoi, dst, dstStep, dstRoi, top, left);
    default:
      return StatusBorder;
  }
}

}  // namespace zuv::border

// The named routines. 16u shares the 16s code and 32f the 32s code (bit copies).
namespace zuv {

// Constant border; C1 takes the value, C3 and C4 a pointer to one value per channel.
Status zuviCopyConstBorder_8u_C1R(const uint8_t* pSrc, int srcStep, ImageSize srcRoiSize,
                                  uint8_t* pDst, int dstStep, ImageSize dstRoiSize, int topBorderHeight,
                                  int leftBorderWidth, uint8_t value);
Status zuviCopyConstBorder_8u_C3R(const uint8_t* pSrc, int srcStep, ImageSize srcRoiSize,
                                  uint8_t* pDst, int dstStep, ImageSize dstRoiSize, int topBorderHeight,
                                  int leftBorderWidth, const uint8_t value[3]);
Status zuviCopyConstBorder_8u_C4R(const uint8_t* pSrc, int srcStep, ImageSize srcRoiSize,
                                  uint8_t* pDst, int dstStep, ImageSize dstRoiSize, int topBorderHeight,
                                  int leftBorderWidth, const uint8_t value[4]);
Status zuviCopyConstBorder_16s_C1R(const int16_t* pSrc, int srcStep, ImageSize srcRoiSize,
                                   int16_t* pDst, int dstStep, ImageSize dstRoiSize,
                                   int topBorderHeight, int leftBorderWidth, int16_t value);
Status zuviCopyConstBorder_16s_C3R(const int16_t* pSrc, int srcStep, ImageSize srcRoiSize,
                                   int16_t* pDst, int dstStep, ImageSize dstRoiSize,
                                   int topBorderHeight, int leftBorderWidth, const int16_t value[3]);
Status zuviCopyConstBorder_16s_C4R(const int16_t* pSrc, int srcStep, ImageSize srcRoiSize,
                                   int16_t* pDst, int dstStep, ImageSize dstRoiSize,
                                   int topBorderHeight, int leftBorderWidth, const int16_t value[4]);
Status zuviCopyConstBorder_16u_C1R(const uint16_t* pSrc, int srcStep, ImageSize srcRoiSize,
                                   uint16_t* pDst, int dstStep, ImageSize dstRoiSize,
                                   int topBorderHeight, int leftBorderWidth, uint16_t value);
Status zuviCopyConstBorder_32s_C1R(const int32_t* pSrc, int srcStep, ImageSize srcRoiSize,
                                   int32_t* pDst, int dstStep, ImageSize dstRoiSize,
                                   int topBorderHeight, int leftBorderWidth, int32_t value);
Status zuviCopyConstBorder_32f_C1R(const float* pSrc, int srcStep, ImageSize srcRoiSize,
                                   float* pDst, int dstStep, ImageSize dstRoiSize,
                                   int topBorderHeight, int leftBorderWidth, float value);
Status zuviCopyConstBorder_32f_C3R(const float* pSrc, int srcStep, ImageSize srcRoiSize,
                                   float* pDst, int dstStep, ImageSize dstRoiSize,
                                   int topBorderHeight, int leftBorderWidth, const float value[3]);
Status zuviCopyConstBorder_32f_C4R(const float* pSrc, int srcStep, ImageSize srcRoiSize,
                                   float* pDst, int dstStep, ImageSize dstRoiSize,
                                   int topBorderHeight, int leftBorderWidth, const float value[4]);

// Replicated border, out of place (R) and in place around the region (IR).
#define ZUV_BORDER_REPLICATE_R(suffix, T)                                                     \
  Status zuviCopyReplicateBorder_##suffix(const T* pSrc, int srcStep, ImageSize srcRoiSize,  \
                                          T* pDst, int dstStep, ImageSize dstRoiSize,        \
                                          int topBorderHeight, int leftBorderWidth);
#define ZUV_BORDER_REPLICATE_IR(suffix, T)                                                    \
  Status zuviCopyReplicateBorder_##suffix(T* pSrc, int srcDstStep, ImageSize srcRoiSize,     \
                                          ImageSize dstRoiSize, int topBorderHeight,         \
                                          int leftBorderWidth);
#define ZUV_BORDER_MIRROR_R(suffix, T)                                                        \
  Status zuviCopyMirrorBorder_##suffix(const T* pSrc, int srcStep, ImageSize srcRoiSize,     \
                                       T* pDst, int dstStep, ImageSize dstRoiSize,           \
                                       int topBorderHeight, int leftBorderWidth);

ZUV_BORDER_REPLICATE_R(8u_C1R, uint8_t)
ZUV_BORDER_REPLICATE_R(8u_C3R, uint8_t)
ZUV_BORDER_REPLICATE_R(8u_C4R, uint8_t)
ZUV_BORDER_REPLICATE_R(16s_C1R, int16_t)
ZUV_BORDER_REPLICATE_R(16s_C3R, int16_t)
ZUV_BORDER_REPLICATE_R(16s_C4R, int16_t)
ZUV_BORDER_REPLICATE_R(16u_C1R, uint16_t)
ZUV_BORDER_REPLICATE_R(32s_C1R, int32_t)
ZUV_BORDER_REPLICATE_R(32s_C3R, int32_t)
ZUV_BORDER_REPLICATE_R(32s_C4R, int32_t)
ZUV_BORDER_REPLICATE_R(32f_C1R, float)
ZUV_BORDER_REPLICATE_R(32f_C3R, float)
ZUV_BORDER_REPLICATE_R(32f_C4R, float)
ZUV_BORDER_REPLICATE_IR(8u_C1IR, uint8_t)
ZUV_BORDER_REPLICATE_IR(8u_C3IR, uint8_t)
ZUV_BORDER_REPLICATE_IR(8u_C4IR, uint8_t)
ZUV_BORDER_REPLICATE_IR(16s_C1IR, int16_t)
ZUV_BORDER_REPLICATE_IR(16s_C3IR, int16_t)
ZUV_BORDER_REPLICATE_IR(16s_C4IR, int16_t)
ZUV_BORDER_REPLICATE_IR(32s_C1IR, int32_t)
ZUV_BORDER_REPLICATE_IR(32s_C3IR, int32_t)
ZUV_BORDER_REPLICATE_IR(32s_C4IR, int32_t)
ZUV_BORDER_MIRROR_R(8u_C1R, uint8_t)
ZUV_BORDER_MIRROR_R(8u_C3R, uint8_t)
ZUV_BORDER_MIRROR_R(8u_C4R, uint8_t)
ZUV_BORDER_MIRROR_R(16s_C1R, int16_t)
ZUV_BORDER_MIRROR_R(16s_C3R, int16_t)
ZUV_BORDER_MIRROR_R(16s_C4R, int16_t)
ZUV_BORDER_MIRROR_R(32f_C1R, float)
ZUV_BORDER_MIRROR_R(32f_C3R, float)
ZUV_BORDER_MIRROR_R(32f_C4R, float)

#undef ZUV_BORDER_REPLICATE_R
#undef ZUV_BORDER_REPLICATE_IR
#undef ZUV_BORDER_MIRROR_R

// Vector fill and copy: -8 for a null pointer, then -6 for a count below 1,
// else 0. Large sizes bypass the cache (non-temporal stores); the result never
// depends on the path taken.
//   Zero: above 2097152 bytes, non-temporal fill.
//   Set:  above 2097152 bytes and above the cache size, non-temporal fill.
//   Copy: above 4194304 bytes and at least half the cache size, non-temporal
//         stores; counts of 2^31 bytes or more go in chunks of 2147483616 bytes.
Status zuvsZero_8u(uint8_t* pDst, int len);
Status zuvsZero_16s(int16_t* pDst, int len);
Status zuvsZero_32s(int32_t* pDst, int len);
Status zuvsZero_32f(float* pDst, int len);
Status zuvsSet_8u(uint8_t val, uint8_t* pDst, int len);
Status zuvsSet_16s(int16_t val, int16_t* pDst, int len);
Status zuvsSet_32s(int32_t val, int32_t* pDst, int len);
Status zuvsSet_32f(float val, float* pDst, int len);
Status zuvsCopy_8u(const uint8_t* pSrc, uint8_t* pDst, int len);
Status zuvsCopy_16s(const int16_t* pSrc, int16_t* pDst, int len);
Status zuvsCopy_32f(const float* pSrc, float* pDst, int len);

}  // namespace zuv
