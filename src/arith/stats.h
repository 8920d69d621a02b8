// SPDX-License-Identifier: BSD-3-Clause
// Mean, standard deviation and extrema: export tables and threading thresholds, shared with the tests.
#pragma once

#include <cstdint>

#include "zuvcv.h"

namespace zuv::stats {

// Argument layout of a member: one channel or one channel of three (coi),
// with or without a mask.
enum class Layout { C1R, C1MR, C3CR, C3CMR };

constexpr int channels(Layout l) { return (l == Layout::C3CR || l == Layout::C3CMR) ? 3 : 1; }
constexpr bool masked(Layout l) { return l == Layout::C1MR || l == Layout::C3CMR; }

// Where the source step's element-multiple test sits: right after the source
// step test, or after the mask step test (the same place for unmasked members).
enum class EvenAt { Src, Mask };

// When a member runs on row stripes: the wrapped 32-bit width * height is at
// least perThread * owncvGetMaxNumThreads(), or at least `fixed`; a zero field
// is not used, and both zero means always on the calling thread.
struct Threads {
  int64_t perThread;
  int64_t fixed;
};
constexpr Threads kSerial{0, 0};
constexpr Threads kPerThread131072{131072, 0};
constexpr Threads kPerThread65536{65536, 0};
constexpr Threads kFixed16384{0, 16384};

}  // namespace zuv::stats

// One row per export: name, element type, layout, threading, evenness test place.
// The threading column is the per-member threshold table.

// Mean under a mask (the mean output is required).
#define ZUV_MEAN_TABLE(X)                                                             \
  X(zuviMean_8u_C1MR,         uint8_t,  C1MR,  kSerial,          Mask)                \
  X(zuviMean_16u_C1MR,        uint16_t, C1MR,  kPerThread131072, Src)                 \
  X(zuviMean_32f_C1MR,        float,    C1MR,  kPerThread131072, Mask)                \
  X(zuviMean_8u_C3CMR,        uint8_t,  C3CMR, kPerThread131072, Mask)                \
  X(zuviMean_16u_C3CMR,       uint16_t, C3CMR, kPerThread131072, Src)                 \
  X(zuviMean_32f_C3CMR,       float,    C3CMR, kPerThread131072, Mask)

// Mean and standard deviation (both outputs optional).
#define ZUV_MEAN_STDDEV_TABLE(X)                                                      \
  X(zuviMean_StdDev_8u_C1R,   uint8_t,  C1R,   kPerThread131072, Mask)                \
  X(zuviMean_StdDev_16u_C1R,  uint16_t, C1R,   kPerThread131072, Src)                 \
  X(zuviMean_StdDev_32f_C1R,  float,    C1R,   kPerThread65536,  Mask)                \
  X(zuviMean_StdDev_8u_C1MR,  uint8_t,  C1MR,  kPerThread131072, Mask)                \
  X(zuviMean_StdDev_16u_C1MR, uint16_t, C1MR,  kPerThread131072, Src)                 \
  X(zuviMean_StdDev_32f_C1MR, float,    C1MR,  kPerThread131072, Mask)                \
  X(zuviMean_StdDev_8u_C3CR,  uint8_t,  C3CR,  kPerThread131072, Mask)                \
  X(zuviMean_StdDev_16u_C3CR, uint16_t, C3CR,  kPerThread131072, Src)                 \
  X(zuviMean_StdDev_32f_C3CR, float,    C3CR,  kSerial,          Mask)                \
  X(zuviMean_StdDev_8u_C3CMR, uint8_t,  C3CMR, kPerThread131072, Mask)                \
  X(zuviMean_StdDev_16u_C3CMR, uint16_t, C3CMR, kPerThread131072, Src)                \
  X(zuviMean_StdDev_32f_C3CMR, float,   C3CMR, kPerThread131072, Mask)

// Minimum and maximum with their first positions (all four outputs optional).
#define ZUV_MINMAX_TABLE(X)                                                           \
  X(zuviMinMaxIndx_8u_C1R,    uint8_t,  C1R,   kSerial,          Mask)                \
  X(zuviMinMaxIndx_16u_C1R,   uint16_t, C1R,   kSerial,          Mask)                \
  X(zuviMinMaxIndx_32f_C1R,   float,    C1R,   kSerial,          Mask)                \
  X(zuviMinMaxIndx_8u_C1MR,   uint8_t,  C1MR,  kSerial,          Mask)                \
  X(zuviMinMaxIndx_16u_C1MR,  uint16_t, C1MR,  kSerial,          Mask)                \
  X(zuviMinMaxIndx_32f_C1MR,  float,    C1MR,  kSerial,          Mask)                \
  X(zuviMinMaxIndx_8u_C3CR,   uint8_t,  C3CR,  kFixed16384,      Mask)                \
  X(zuviMinMaxIndx_16u_C3CR,  uint16_t, C3CR,  kFixed16384,      Mask)                \
  X(zuviMinMaxIndx_32f_C3CR,  float,    C3CR,  kFixed16384,      Mask)                \
  X(zuviMinMaxIndx_8u_C3CMR,  uint8_t,  C3CMR, kFixed16384,      Mask)                \
  X(zuviMinMaxIndx_16u_C3CMR, uint16_t, C3CMR, kFixed16384,      Mask)                \
  X(zuviMinMaxIndx_32f_C3CMR, float,    C3CMR, kFixed16384,      Mask)
