// SPDX-License-Identifier: BSD-3-Clause
// Fixed 3x3/5x5 separable derivative and smoothing engine with border handling,
// and the internal Sobel and Scharr filters built on it (not exported).
#pragma once

#include <cstdint>

#include "zuvcv.h"

namespace zuv::derivative {

// What the engine computes. Each kind is a horizontal 1-D core into
// intermediate rows followed by a vertical 1-D core over k of them.
enum class Kind {
  SobelVert,     // rows S(x-1) - S(x+1), columns 1 2 1 (5x5: 1 4 6 4 1)
  SobelHoriz,    // rows 1 2 1, columns R(y+1) - R(y-1)
  ScharrVert,    // rows S(x-1) - S(x+1), columns -3 (R(y-1) + R(y+1)) - 10 R(y)
  ScharrHoriz,   // rows 3 (S(x-1) + S(x+1)) + 10 S(x), columns R(y+1) - R(y-1)
  SobelNegVert,  // rows S(x+1) - S(x-1), columns as SobelVert
  SobelCross,    // rows S(x+1) - S(x-1), columns R(y-1) - R(y+1)
  Laplacian,     // 3x3: 2 (A(y-1) + A(y+1)) - 8 S(y); 5x5: sums of two products
  Lowpass        // box sum, scaled by the destination's rule
};

// A border resolved for one call or stripe: the mode (0 constant, 1 replicate,
// 3 mirror without the edge pixel, 4 mirror with it) and the sides whose
// pixels are read from memory instead of being generated.
struct Border {
  int mode;
  bool top, bottom, left, right;
};

// Resolves an accepted BorderType: 6 is the constant mode with all four sides
// in memory; flags 0x10/0x20/0x40/0x80 mark top, bottom, left, right.
Border decode(int borderType);

// Runs `kind` with a k x k mask (k = 3 or 5) over the whole region. Nothing
// outside the region is read except the sides `b` marks as in memory. The
// intermediate rows live in `scratch` (any alignment; `scratchBytes` long; a
// null or small scratch makes the engine use a bounded stack area instead).
// No argument checks: callers have done them.
void run(Kind kind, int k, const uint8_t* src, int srcStep, int16_t* dst, int dstStep,
         ImageSize roi, Border b, uint8_t value, void* scratch, int64_t scratchBytes);
// Lowpass with the 8u scaling rules.
void run(Kind kind, int k, const uint8_t* src, int srcStep, uint8_t* dst, int dstStep,
         ImageSize roi, Border b, uint8_t value, void* scratch, int64_t scratchBytes);
void run(Kind kind, int k, const float* src, int srcStep, float* dst, int dstStep,
         ImageSize roi, Border b, float value, void* scratch, int64_t scratchBytes);

}  // namespace zuv::derivative

namespace zuv {

// First-derivative filters used by the corner measures, line suppression and
// optical flow. Arguments: source, source step (bytes), destination,
// destination step, region, mask (33 or 55; Scharr 33 only), BorderType
// (modes 0, 1, 3, 4, 6 with the in-memory flags), border value and buffer of
// the size the matching query reports (a float border value comes last). Checks: null source, destination or buffer
// (-8); width, then height below 1 (-6); step not a multiple of the element
// size (-108); mask (-33); mode or a value above 255 (-5). Steps are not
// compared with the width. Results are exact integers (8u16s) or
// single-precision sums in the order the kinds state (32f).
#define ZUV_DERIVATIVE_TABLE(X)                                         \
  X(zuviFilterSobelVertBorder_8u16s_C1R,       SobelVert,    uint8_t, int16_t) \
  X(zuviFilterSobelVertBorder_32f_C1R,         SobelVert,    float,   float)   \
  X(zuviFilterSobelHorizBorder_8u16s_C1R,      SobelHoriz,   uint8_t, int16_t) \
  X(zuviFilterSobelHorizBorder_32f_C1R,        SobelHoriz,   float,   float)   \
  X(zuviFilterSobelNegVertBorder_8u16s_C1R,    SobelNegVert, uint8_t, int16_t) \
  X(zuviFilterSobelNegVertBorder_32f_C1R,      SobelNegVert, float,   float)   \
  X(zuviFilterScharrVertMaskBorder_8u16s_C1R,  ScharrVert,   uint8_t, int16_t) \
  X(zuviFilterScharrVertMaskBorder_32f_C1R,    ScharrVert,   float,   float)   \
  X(zuviFilterScharrHorizMaskBorder_8u16s_C1R, ScharrHoriz,  uint8_t, int16_t) \
  X(zuviFilterScharrHorizMaskBorder_32f_C1R,   ScharrHoriz,  float,   float)

// An integer border value precedes the buffer; a float one comes last.
#define ZUV_DERIVATIVE_TAIL_uint8_t uint8_t borderValue, uint8_t* pBuffer
#define ZUV_DERIVATIVE_TAIL_float uint8_t* pBuffer, float borderValue
#define ZUV_DERIVATIVE_TAIL(Ts) ZUV_DERIVATIVE_TAIL_##Ts

#define X(name, kind, Ts, Td)                                                            \
  Status name(const Ts* pSrc, int srcStep, Td* pDst, int dstStep, ImageSize roiSize,    \
              MaskSize mask, BorderType borderType, ZUV_DERIVATIVE_TAIL(Ts));
ZUV_DERIVATIVE_TABLE(X)
#undef X

// Buffer queries: (region, mask, source data type, destination data type,
// channels, result). 32 bytes for an 8u source, else 4 * roundup16(width) *
// (3 or 5) + 32. Checks: null result (-8), width then height (-6), mask (-33),
// type pair (-12: 16s destination from 8u or 16s, 32f from 32f only),
// channels other than 1 (-53). Horiz answers as Vert; NegVert answers -12 for
// a 16s source first; the Scharr queries answer -33 for a mask other than 33
// first.
#define ZUV_DERIVATIVE_QUERY_TABLE(X)              \
  X(zuviFilterSobelVertBorderGetBufferSize)        \
  X(zuviFilterSobelHorizBorderGetBufferSize)       \
  X(zuviFilterSobelNegVertBorderGetBufferSize)     \
  X(zuviFilterScharrVertMaskBorderGetBufferSize)   \
  X(zuviFilterScharrHorizMaskBorderGetBufferSize)

#define X(name)                                                                      \
  Status name(ImageSize roiSize, MaskSize mask, DataType srcType, DataType dstType, \
              int numChannels, int* pBufferSize);
ZUV_DERIVATIVE_QUERY_TABLE(X)
#undef X

}  // namespace zuv
