// SPDX-License-Identifier: BSD-3-Clause
// Canny edge detection: the export tables and the internal entry shared with the tests.
#pragma once

#include <cstddef>
#include <cstdint>

#include "zuvcv.h"

// Edges from precomputed derivatives:   name                   derivative type
#define ZUV_CANNY_TABLE(X)                                                          \
  X(zuviCanny_16s8u_C1R,   int16_t)                                                 \
  X(zuviCanny_32f8u_C1R,   float)

namespace zuv::canny {

// tan(22.5 deg) and tan(67.5 deg) as the float bit patterns 0x3ED413CD and 0x401A827A.
constexpr float kTan22 = 0x1.a8279ap-2f;
constexpr float kTan67 = 0x1.3504f4p+1f;

// zuviCannyBorder_8u_C1R with the seed stack limited to `stackPairs` (row, column)
// pairs, or to the room of its buffer piece when 0. Small limits drive the guard
// that finishes the hysteresis when the stack cannot hold every pending pixel.
Status canny_border(const uint8_t* src, int srcStep, uint8_t* dst, int dstStep, ImageSize roi,
                    int kind, int maskSize, int borderType, uint8_t borderValue, int norm,
                    uint8_t* buffer, float low, float high, size_t stackPairs);

}  // namespace zuv::canny
