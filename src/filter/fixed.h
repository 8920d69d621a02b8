// SPDX-License-Identifier: BSD-3-Clause
// Fixed-kernel filters with border (cross derivative, Laplacian, box lowpass): the export tables, shared with the tests.
#pragma once

#include <cstdint>

#include "filter/derivative.h"
#include "zuvcv.h"

// Filters:                            name                                   kind        Ts       Td
#define ZUV_FIXED_TABLE(X)                                                                             \
  X(zuviFilterSobelCrossBorder_8u16s_C1R,  SobelCross, uint8_t, int16_t)                              \
  X(zuviFilterSobelCrossBorder_32f_C1R,    SobelCross, float,   float)                                \
  X(zuviFilterLaplacianBorder_8u16s_C1R,   Laplacian,  uint8_t, int16_t)                              \
  X(zuviFilterLaplacianBorder_32f_C1R,     Laplacian,  float,   float)                                \
  X(zuviFilterLowpassBorder_8u_C1R,        Lowpass,    uint8_t, uint8_t)                              \
  X(zuviFilterLowpassBorder_32f_C1R,       Lowpass,    float,   float)

// The last parameters of a filter: an integer border value precedes the
// buffer; a float one, as every float parameter, comes last.
#define ZUV_FIXED_TAIL_uint8_t uint8_t borderValue, uint8_t* pBuffer
#define ZUV_FIXED_TAIL_float uint8_t* pBuffer, float borderValue
#define ZUV_FIXED_TAIL(Ts) ZUV_FIXED_TAIL_##Ts

// Their buffer queries, in the same order.
#define ZUV_FIXED_QUERY_TABLE(X)                                                                       \
  X(zuviFilterSobelCrossGetBufferSize_8u16s_C1R, SobelCross, uint8_t, int16_t)                        \
  X(zuviFilterSobelCrossGetBufferSize_32f_C1R,   SobelCross, float,   float)                          \
  X(zuviFilterLaplacianGetBufferSize_8u16s_C1R,  Laplacian,  uint8_t, int16_t)                        \
  X(zuviFilterLaplacianGetBufferSize_32f_C1R,    Laplacian,  float,   float)                          \
  X(zuviFilterLowpassGetBufferSize_8u_C1R,       Lowpass,    uint8_t, uint8_t)                        \
  X(zuviFilterLowpassGetBufferSize_32f_C1R,      Lowpass,    float,   float)
