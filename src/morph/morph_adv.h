// SPDX-License-Identifier: BSD-3-Clause
// Opening, closing, top-hat, black-hat and morphological gradient: export tables.
#pragma once

#include <cstdint>

#include "zuvcv.h"

// Border value as in the erosion family: Value by value, Last a float after
// the pointers, Array a pointer to one value per channel.
//       size query, set-up, open, close, top-hat, black-hat, gradient, T, C, value
#define ZUV_MORPH_ADV_TABLE(X) \
  X(zuviMorphAdvGetSize_8u_C1R, zuviMorphAdvInit_8u_C1R, zuviMorphOpenBorder_8u_C1R, zuviMorphCloseBorder_8u_C1R, zuviMorphTophatBorder_8u_C1R, zuviMorphBlackhatBorder_8u_C1R, zuviMorphGradientBorder_8u_C1R, uint8_t, 1, Value) \
  X(zuviMorphAdvGetSize_8u_C3R, zuviMorphAdvInit_8u_C3R, zuviMorphOpenBorder_8u_C3R, zuviMorphCloseBorder_8u_C3R, zuviMorphTophatBorder_8u_C3R, zuviMorphBlackhatBorder_8u_C3R, zuviMorphGradientBorder_8u_C3R, uint8_t, 3, Array) \
  X(zuviMorphAdvGetSize_8u_C4R, zuviMorphAdvInit_8u_C4R, zuviMorphOpenBorder_8u_C4R, zuviMorphCloseBorder_8u_C4R, zuviMorphTophatBorder_8u_C4R, zuviMorphBlackhatBorder_8u_C4R, zuviMorphGradientBorder_8u_C4R, uint8_t, 4, Array) \
  X(zuviMorphAdvGetSize_32f_C1R, zuviMorphAdvInit_32f_C1R, zuviMorphOpenBorder_32f_C1R, zuviMorphCloseBorder_32f_C1R, zuviMorphTophatBorder_32f_C1R, zuviMorphBlackhatBorder_32f_C1R, zuviMorphGradientBorder_32f_C1R, float, 1, Last) \
  X(zuviMorphAdvGetSize_32f_C3R, zuviMorphAdvInit_32f_C3R, zuviMorphOpenBorder_32f_C3R, zuviMorphCloseBorder_32f_C3R, zuviMorphTophatBorder_32f_C3R, zuviMorphBlackhatBorder_32f_C3R, zuviMorphGradientBorder_32f_C3R, float, 3, Array) \
  X(zuviMorphAdvGetSize_32f_C4R, zuviMorphAdvInit_32f_C4R, zuviMorphOpenBorder_32f_C4R, zuviMorphCloseBorder_32f_C4R, zuviMorphTophatBorder_32f_C4R, zuviMorphBlackhatBorder_32f_C4R, zuviMorphGradientBorder_32f_C4R, float, 4, Array) \
  X(zuviMorphAdvGetSize_16u_C1R, zuviMorphAdvInit_16u_C1R, zuviMorphOpenBorder_16u_C1R, zuviMorphCloseBorder_16u_C1R, zuviMorphTophatBorder_16u_C1R, zuviMorphBlackhatBorder_16u_C1R, zuviMorphGradientBorder_16u_C1R, uint16_t, 1, Value) \
  X(zuviMorphAdvGetSize_16s_C1R, zuviMorphAdvInit_16s_C1R, zuviMorphOpenBorder_16s_C1R, zuviMorphCloseBorder_16s_C1R, zuviMorphTophatBorder_16s_C1R, zuviMorphBlackhatBorder_16s_C1R, zuviMorphGradientBorder_16s_C1R, int16_t, 1, Value)

// The bit-packed member (bit offsets after each image pointer).
#define ZUV_MORPH_ADV_1U_TABLE(X) \
  X(zuviMorphAdvGetSize_1u_C1R, zuviMorphAdvInit_1u_C1R, zuviMorphOpenBorder_1u_C1R, zuviMorphCloseBorder_1u_C1R, zuviMorphTophatBorder_1u_C1R, zuviMorphBlackhatBorder_1u_C1R, zuviMorphGradientBorder_1u_C1R)

namespace zuv::morph_adv {

enum class Kind { Open, Close, Tophat, Blackhat, Gradient };

}  // namespace zuv::morph_adv
