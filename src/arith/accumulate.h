// SPDX-License-Identifier: BSD-3-Clause
// Accumulation and absolute difference: the export tables, shared with the tests.
#pragma once

#include <cstdint>

#include "zuvcv.h"

namespace zuv::accumulate {

enum class Op { Add, Square, Product, Weighted };

}  // namespace zuv::accumulate

// One source into the accumulator:      name                         op        T
#define ZUV_ACC1_TABLE(X)                                                          \
  X(zuviAdd_8u32f_C1IR,          Add,      uint8_t)                                \
  X(zuviAdd_16u32f_C1IR,         Add,      uint16_t)                               \
  X(zuviAddSquare_8u32f_C1IR,    Square,   uint8_t)                                \
  X(zuviAddSquare_16u32f_C1IR,   Square,   uint16_t)                               \
  X(zuviAddSquare_32f_C1IR,      Square,   float)

// The same, masked.
#define ZUV_ACC1M_TABLE(X)                                                         \
  X(zuviAdd_8u32f_C1IMR,         Add,      uint8_t)                                \
  X(zuviAdd_16u32f_C1IMR,        Add,      uint16_t)                               \
  X(zuviAdd_32f_C1IMR,           Add,      float)                                  \
  X(zuviAddSquare_8u32f_C1IMR,   Square,   uint8_t)                                \
  X(zuviAddSquare_16u32f_C1IMR,  Square,   uint16_t)                               \
  X(zuviAddSquare_32f_C1IMR,     Square,   float)

// Two sources into the accumulator, plain and masked.
#define ZUV_ACC2_TABLE(X)                                                          \
  X(zuviAddProduct_8u32f_C1IR,   Product,  uint8_t)                                \
  X(zuviAddProduct_16u32f_C1IR,  Product,  uint16_t)                               \
  X(zuviAddProduct_32f_C1IR,     Product,  float)
#define ZUV_ACC2M_TABLE(X)                                                         \
  X(zuviAddProduct_8u32f_C1IMR,  Product,  uint8_t)                                \
  X(zuviAddProduct_16u32f_C1IMR, Product,  uint16_t)                               \
  X(zuviAddProduct_32f_C1IMR,    Product,  float)

// Running average with a weight, plain and masked.
#define ZUV_ACCW_TABLE(X)                                                          \
  X(zuviAddWeighted_8u32f_C1IR,  Weighted, uint8_t)                                \
  X(zuviAddWeighted_16u32f_C1IR, Weighted, uint16_t)                               \
  X(zuviAddWeighted_32f_C1IR,    Weighted, float)
#define ZUV_ACCWM_TABLE(X)                                                         \
  X(zuviAddWeighted_8u32f_C1IMR,  Weighted, uint8_t)                               \
  X(zuviAddWeighted_16u32f_C1IMR, Weighted, uint16_t)                              \
  X(zuviAddWeighted_32f_C1IMR,    Weighted, float)

// Absolute differences:                 name                    T         C
#define ZUV_ABSDIFF_TABLE(X)                                                       \
  X(zuviAbsDiff_8u_C1R,          uint8_t,  1)                                      \
  X(zuviAbsDiff_16u_C1R,         uint16_t, 1)                                      \
  X(zuviAbsDiff_32f_C1R,         float,    1)                                      \
  X(zuviAbsDiff_8u_C3R,          uint8_t,  3)

// Absolute difference with a constant:  name                    T         value type
#define ZUV_ABSDIFFC_TABLE(X)                                                      \
  X(zuviAbsDiffC_8u_C1R,         uint8_t,  int32_t)                                \
  X(zuviAbsDiffC_16u_C1R,        uint16_t, int32_t)                                \
  X(zuviAbsDiffC_32f_C1R,        float,    float)
