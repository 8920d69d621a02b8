// SPDX-License-Identifier: BSD-3-Clause
// Gray-scale (non-flat) erosion and dilation: export tables.
#pragma once

#include <cstdint>

#include "zuvcv.h"

//        size query                     set-up                      erode                        dilate                        T        mask value
#define ZUV_MORPH_GRAY_TABLE(X)                                                                                                                      \
  X(zuviMorphGrayGetSize_8u_C1R,  zuviMorphGrayInit_8u_C1R,  zuviGrayErodeBorder_8u_C1R,  zuviGrayDilateBorder_8u_C1R,  uint8_t, int32_t) \
  X(zuviMorphGrayGetSize_32f_C1R, zuviMorphGrayInit_32f_C1R, zuviGrayErodeBorder_32f_C1R, zuviGrayDilateBorder_32f_C1R, float,   float)
