// SPDX-License-Identifier: BSD-3-Clause
// Gaussian filter with border: the export table, shared with the tests.
#pragma once

#include <cstdint>

#include "zuvcv.h"

// Filters:                          name                        T         C  data type
#define ZUV_GAUSSIAN_TABLE(X)                                                            \
  X(zuviFilterGaussianBorder_8u_C1R,  uint8_t,  1, DataType8u)                           \
  X(zuviFilterGaussianBorder_8u_C3R,  uint8_t,  3, DataType8u)                           \
  X(zuviFilterGaussianBorder_16u_C1R, uint16_t, 1, DataType16u)                          \
  X(zuviFilterGaussianBorder_16u_C3R, uint16_t, 3, DataType16u)                          \
  X(zuviFilterGaussianBorder_16s_C1R, int16_t,  1, DataType16s)                          \
  X(zuviFilterGaussianBorder_16s_C3R, int16_t,  3, DataType16s)                          \
  X(zuviFilterGaussianBorder_32f_C1R, float,    1, DataType32f)                          \
  X(zuviFilterGaussianBorder_32f_C3R, float,    3, DataType32f)

namespace zuv::gaussian {

// Header of the state block Init lays out (32-bit fields in this order);
// the taps follow at the 16-byte boundary at or after `tapOffset`.
struct Header {
  int32_t k;          // kernel size (odd, at least 3)
  int32_t tapOffset;  // 20: where the tap area starts
  int32_t dataType;   // 1, 5, 7 or 13
  int32_t border;     // BorderType given to Init
  int32_t shift;      // fixed-point bits of the taps: 12 (8u), 15 (16u, 16s), 0 (32f)
};

}  // namespace zuv::gaussian
