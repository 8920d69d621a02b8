// SPDX-License-Identifier: BSD-3-Clause
// Norms of an image, of a difference and relative: the export table, shared with the tests.
#pragma once

#include <cstdint>

#include "zuvcv.h"

namespace zuv::norm {

// What is measured: the source (Plain), first - second (Diff), or first - second
// against the second (Rel).
enum class Kind { Plain, Diff, Rel };
enum class Norm { Inf, L1, L2 };

// Threading threshold of a member that always runs on the calling thread.
constexpr int kNever = -1;

}  // namespace zuv::norm

// Every member with its threading threshold: the member runs in stripes when
// width * height (32-bit product) reaches the permitted thread count times 2^k;
// kNever keeps it on the calling thread. C is 1 for C1MR, 3 for C3CMR.
//                                   name                       kind   norm T         C  k
#define ZUV_NORM_TABLE(X)                                                                    \
  X(zuviNorm_Inf_8u_C1MR,       Plain, Inf, uint8_t,  1, 19)                                 \
  X(zuviNorm_Inf_8u_C3CMR,      Plain, Inf, uint8_t,  3, 17)                                 \
  X(zuviNorm_Inf_16u_C1MR,      Plain, Inf, uint16_t, 1, 19)                                 \
  X(zuviNorm_Inf_16u_C3CMR,     Plain, Inf, uint16_t, 3, 17)                                 \
  X(zuviNorm_Inf_32f_C1MR,      Plain, Inf, float,    1, 17)                                 \
  X(zuviNorm_Inf_32f_C3CMR,     Plain, Inf, float,    3, 15)                                 \
  X(zuviNorm_L1_8u_C1MR,        Plain, L1,  uint8_t,  1, 17)                                 \
  X(zuviNorm_L1_8u_C3CMR,       Plain, L1,  uint8_t,  3, 17)                                 \
  X(zuviNorm_L1_16u_C1MR,       Plain, L1,  uint16_t, 1, 17)                                 \
  X(zuviNorm_L1_16u_C3CMR,      Plain, L1,  uint16_t, 3, 17)                                 \
  X(zuviNorm_L1_32f_C1MR,       Plain, L1,  float,    1, 17)                                 \
  X(zuviNorm_L1_32f_C3CMR,      Plain, L1,  float,    3, 17)                                 \
  X(zuviNorm_L2_8u_C1MR,        Plain, L2,  uint8_t,  1, 17)                                 \
  X(zuviNorm_L2_8u_C3CMR,       Plain, L2,  uint8_t,  3, 15)                                 \
  X(zuviNorm_L2_16u_C1MR,       Plain, L2,  uint16_t, 1, 17)                                 \
  X(zuviNorm_L2_16u_C3CMR,      Plain, L2,  uint16_t, 3, 15)                                 \
  X(zuviNorm_L2_32f_C1MR,       Plain, L2,  float,    1, 17)                                 \
  X(zuviNorm_L2_32f_C3CMR,      Plain, L2,  float,    3, 15)                                 \
  X(zuviNormDiff_Inf_8u_C1MR,   Diff,  Inf, uint8_t,  1, kNever)                             \
  X(zuviNormDiff_Inf_8u_C3CMR,  Diff,  Inf, uint8_t,  3, kNever)                             \
  X(zuviNormDiff_Inf_16u_C1MR,  Diff,  Inf, uint16_t, 1, kNever)                             \
  X(zuviNormDiff_Inf_16u_C3CMR, Diff,  Inf, uint16_t, 3, kNever)                             \
  X(zuviNormDiff_Inf_32f_C1MR,  Diff,  Inf, float,    1, kNever)                             \
  X(zuviNormDiff_Inf_32f_C3CMR, Diff,  Inf, float,    3, kNever)                             \
  X(zuviNormDiff_L1_8u_C1MR,    Diff,  L1,  uint8_t,  1, 17)                                 \
  X(zuviNormDiff_L1_8u_C3CMR,   Diff,  L1,  uint8_t,  3, 17)                                 \
  X(zuviNormDiff_L1_16u_C1MR,   Diff,  L1,  uint16_t, 1, 17)                                 \
  X(zuviNormDiff_L1_16u_C3CMR,  Diff,  L1,  uint16_t, 3, 15)                                 \
  X(zuviNormDiff_L1_32f_C1MR,   Diff,  L1,  float,    1, kNever)                             \
  X(zuviNormDiff_L1_32f_C3CMR,  Diff,  L1,  float,    3, kNever)                             \
  X(zuviNormDiff_L2_8u_C1MR,    Diff,  L2,  uint8_t,  1, 17)                                 \
  X(zuviNormDiff_L2_8u_C3CMR,   Diff,  L2,  uint8_t,  3, 17)                                 \
  X(zuviNormDiff_L2_16u_C1MR,   Diff,  L2,  uint16_t, 1, 17)                                 \
  X(zuviNormDiff_L2_16u_C3CMR,  Diff,  L2,  uint16_t, 3, 15)                                 \
  X(zuviNormDiff_L2_32f_C1MR,   Diff,  L2,  float,    1, kNever)                             \
  X(zuviNormDiff_L2_32f_C3CMR,  Diff,  L2,  float,    3, kNever)                             \
  X(zuviNormRel_Inf_8u_C1MR,    Rel,   Inf, uint8_t,  1, 17)                                 \
  X(zuviNormRel_Inf_8u_C3CMR,   Rel,   Inf, uint8_t,  3, 15)                                 \
  X(zuviNormRel_Inf_16u_C1MR,   Rel,   Inf, uint16_t, 1, 17)                                 \
  X(zuviNormRel_Inf_16u_C3CMR,  Rel,   Inf, uint16_t, 3, 15)                                 \
  X(zuviNormRel_Inf_32f_C1MR,   Rel,   Inf, float,    1, 15)                                 \
  X(zuviNormRel_Inf_32f_C3CMR,  Rel,   Inf, float,    3, 15)                                 \
  X(zuviNormRel_L1_8u_C1MR,     Rel,   L1,  uint8_t,  1, kNever)                             \
  X(zuviNormRel_L1_8u_C3CMR,    Rel,   L1,  uint8_t,  3, 15)                                 \
  X(zuviNormRel_L1_16u_C1MR,    Rel,   L1,  uint16_t, 1, 15)                                 \
  X(zuviNormRel_L1_16u_C3CMR,   Rel,   L1,  uint16_t, 3, 15)                                 \
  X(zuviNormRel_L1_32f_C1MR,    Rel,   L1,  float,    1, kNever)                             \
  X(zuviNormRel_L1_32f_C3CMR,   Rel,   L1,  float,    3, kNever)                             \
  X(zuviNormRel_L2_8u_C1MR,     Rel,   L2,  uint8_t,  1, 17)                                 \
  X(zuviNormRel_L2_8u_C3CMR,    Rel,   L2,  uint8_t,  3, 15)                                 \
  X(zuviNormRel_L2_16u_C1MR,    Rel,   L2,  uint16_t, 1, 15)                                 \
  X(zuviNormRel_L2_16u_C3CMR,   Rel,   L2,  uint16_t, 3, 15)                                 \
  X(zuviNormRel_L2_32f_C1MR,    Rel,   L2,  float,    1, kNever)                             \
  X(zuviNormRel_L2_32f_C3CMR,   Rel,   L2,  float,    3, kNever)
