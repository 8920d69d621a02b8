// SPDX-License-Identifier: BSD-3-Clause
// Erosion and dilation with border: export tables and the internal entry points
// that the compound morphology reuses.
#pragma once

#include <cstdint>

#include "zuvcv.h"

// How the border value travels:  Value  one element by value, in place;
//                                Last   a float by value, after the pointers;
//                                Array  a pointer to one value per channel.
//        size query                          set-up                           erode                   dilate                  T         C  value
#define ZUV_MORPHOLOGY_TABLE(X)                                                                                                                  \
  X(zuviMorphologyBorderGetSize_8u_C1R,  zuviMorphologyBorderInit_8u_C1R,  zuviErodeBorder_8u_C1R,  zuviDilateBorder_8u_C1R,  uint8_t,  1, Value) \
  X(zuviMorphologyBorderGetSize_8u_C3R,  zuviMorphologyBorderInit_8u_C3R,  zuviErodeBorder_8u_C3R,  zuviDilateBorder_8u_C3R,  uint8_t,  3, Array) \
  X(zuviMorphologyBorderGetSize_8u_C4R,  zuviMorphologyBorderInit_8u_C4R,  zuviErodeBorder_8u_C4R,  zuviDilateBorder_8u_C4R,  uint8_t,  4, Array) \
  X(zuviMorphologyBorderGetSize_32f_C1R, zuviMorphologyBorderInit_32f_C1R, zuviErodeBorder_32f_C1R, zuviDilateBorder_32f_C1R, float,    1, Last)  \
  X(zuviMorphologyBorderGetSize_32f_C3R, zuviMorphologyBorderInit_32f_C3R, zuviErodeBorder_32f_C3R, zuviDilateBorder_32f_C3R, float,    3, Array) \
  X(zuviMorphologyBorderGetSize_32f_C4R, zuviMorphologyBorderInit_32f_C4R, zuviErodeBorder_32f_C4R, zuviDilateBorder_32f_C4R, float,    4, Array) \
  X(zuviMorphologyBorderGetSize_16u_C1R, zuviMorphologyBorderInit_16u_C1R, zuviErodeBorder_16u_C1R, zuviDilateBorder_16u_C1R, uint16_t, 1, Value) \
  X(zuviMorphologyBorderGetSize_16s_C1R, zuviMorphologyBorderInit_16s_C1R, zuviErodeBorder_16s_C1R, zuviDilateBorder_16s_C1R, int16_t,  1, Value)

// The bit-packed member (bit offsets after each image pointer).
#define ZUV_MORPHOLOGY_1U_TABLE(X) \
  X(zuviMorphologyBorderGetSize_1u_C1R, zuviMorphologyBorderInit_1u_C1R, zuviErodeBorder_1u_C1R, zuviDilateBorder_1u_C1R)

namespace zuv::morph {

enum class Op { Erode, Dilate };

// What happens to each finished output row R before it reaches the
// destination: nothing, S - R, R - S or R - O, where S is the source of the
// call and O another image (a saturating subtraction; 32f clamps negatives
// to 0). The compound operations use it to subtract while the row is hot.
enum class Combine { None, SrcMinusResult, ResultMinusSrc, ResultMinusOther };

struct Post {
  Combine kind = Combine::None;
  const void* other = nullptr;  // the image O of ResultMinusOther (its region origin)
  int otherStep = 0;
  int otherBit = 0;             // bit offset of O (1u)
  const void* src = nullptr;    // S for SrcMinusResult / ResultMinusSrc
  int srcStep = 0;
  int srcBit = 0;
};

// Element size code of the states: bytes per element, 0 for bit-packed images.
// Size query with the checks of the family (pointers, then the four sizes).
Status get_size(ImageSize roi, ImageSize mask, int elemBytes, int channels, int* specSize,
                int* bufSize);
// State set-up with the checks of the family.
Status init(ImageSize roi, const uint8_t* mask, ImageSize maskSize, int elemBytes, int channels,
            void* spec, void* buf);

// Unchecked sizes (int64), for the compound states that embed these ones.
int64_t state_bytes(ImageSize mask);
int64_t work_bytes(int maxWidth, ImageSize mask, int elemBytes, int channels);

// Erosion or dilation of a C-channel image of T, with the family's checks in
// its order; `value` points to C border values.
template <class T, int C>
Status apply(Op op, const T* src, int srcStep, T* dst, int dstStep, ImageSize roi,
             BorderType border, const T* value, const void* spec, void* buf,
             const Post& post = Post{});

// The same for bit-packed images (pixel 0 of a byte is its most significant bit).
Status apply_1u(Op op, const uint8_t* src, int srcStep, int srcBit, uint8_t* dst, int dstStep,
                int dstBit, ImageSize roi, BorderType border, uint8_t value, const void* spec,
                void* buf, const Post& post = Post{});

// The strategy recorded by Init (for tests): 1 rectangle, 2 ellipse, 3 empty, 0 general.
int strategy_of(const void* spec);

}  // namespace zuv::morph
