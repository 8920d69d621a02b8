// SPDX-License-Identifier: BSD-3-Clause
// Separable row and column pipelines: export tables and the internal C++ passes.
//
// Row pass:    D(y, x)  = sum_j K[j] * S(y, x - anchor + j), ends extended by the border mode.
// Column pass: D(y, x)  = sum_j K[j] * R[y + j](x) over caller-supplied row pointers.
// Integer variants scale the exact 32-bit sum (unsigned for 16u rows; for 16u
// columns the single-precision sum of the taps as floats) by the float
// reciprocal 1.0f / divisor, round to nearest
// even and saturate; Low variants sum in wrapping 16-bit arithmetic and scale
// by (sum * trunc(16384.0f / divisor)) >> 14; 32f stores the float sum.
#pragma once

#include <cstdint>
#include <type_traits>

#include "zuvcv.h"

namespace zuv::pipeline {

// Tap type of a pass by its source type: 16s taps for 8u and 16s sources,
// unsigned 16-bit taps for 16u, 32f taps for 32f.
template <class S>
using tap_t = std::conditional_t<std::is_same_v<S, float>, float,
                                 std::conditional_t<std::is_same_v<S, uint16_t>, uint16_t, int16_t>>;

// Bytes of the caller buffer of a pass for a region and kernel size, with
// `threads` the permitted thread count (the exports use owncvGetMaxNumThreads),
// in the unsigned type U: uint32_t wraps as the size queries report it (their
// int holds these 32 bits), uint64_t gives the exact count.
template <class S, class D, int C, bool kLow = false, class U = uint32_t>
U row_buffer_size(ImageSize roi, int k, int threads);
template <class S, class D, int C, bool kLow = false, class U = uint32_t>
U column_buffer_size(ImageSize roi, int k, int threads);

// The passes without argument checks (the caller has validated everything
// the exports check). `buffer` holds at least row_buffer_size /
// column_buffer_size bytes for the current permitted thread count; any
// alignment. With `threaded` the pass splits rows over threads above its
// threshold; results never depend on that. Without it the pass runs on the
// calling thread and the buffer need only have the size for threads = 1.
//
// Row pass: dst[y] receives row y (roi.width pixels of C channels); `border`
// is a BorderType accepted by the exports (0, 1, 3, 6 with flags 0x10..0x80).
// divisor is ignored for 32f.
template <class S, class D, int C, bool kLow = false>
void row_pass(const S* src, int srcStep, D* const* dst, ImageSize roi, const tap_t<S>* kernel,
              int k, int anchor, int border, S borderValue, int divisor, void* buffer,
              bool threaded = true);

// Hints a caller that knows its data may give the column pass (bit flags).
enum ColumnHint : unsigned {
  // src[y + j][x] + src[y + k - 1 - j][x] stays within the 16-bit range for
  // every output, which lets a symmetric kernel add those rows before
  // multiplying (same results, fewer multiplies).
  kPairSumsFit = 1,
  // The destination is one part of a large image written once: float rows
  // that start on a cache line are written with non-temporal stores. The
  // caller ends its writes with a store fence.
  kStreamOut = 2,
};

// Float destinations of at least this many pixels (256 KiB, a quarter of a
// typical L2) are streamed: a caller filtering an image in bands of rows
// does not read a band's output back before moving on.
constexpr int64_t kStreamPixels = 65536;

// Column pass: destination row y combines src[y .. y + k - 1].
template <class S, class D, int C, bool kLow = false>
void column_pass(const S* const* src, D* dst, int dstStep, ImageSize roi, const tap_t<S>* kernel,
                 int k, int divisor, void* buffer, bool threaded = true, unsigned hints = 0);

}  // namespace zuv::pipeline

// Row passes:  export, its buffer query, source type, destination type, channels, Low arithmetic.
#define ZUV_ROW_PIPELINE_TABLE(X)                                                               \
  X(zuviFilterRowBorderPipeline_8u16s_C1R, zuviFilterRowBorderPipelineGetBufferSize_8u16s_C1R,   \
    uint8_t, int16_t, 1, false)                                                                  \
  X(zuviFilterRowBorderPipeline_8u16s_C3R, zuviFilterRowBorderPipelineGetBufferSize_8u16s_C3R,   \
    uint8_t, int16_t, 3, false)                                                                  \
  X(zuviFilterRowBorderPipeline_16s_C1R, zuviFilterRowBorderPipelineGetBufferSize_16s_C1R,       \
    int16_t, int16_t, 1, false)                                                                  \
  X(zuviFilterRowBorderPipeline_16s_C3R, zuviFilterRowBorderPipelineGetBufferSize_16s_C3R,       \
    int16_t, int16_t, 3, false)                                                                  \
  X(zuviFilterRowBorderPipeline_16u_C1R, zuviFilterRowBorderPipelineGetBufferSize_16u_C1R,       \
    uint16_t, uint16_t, 1, false)                                                                \
  X(zuviFilterRowBorderPipeline_16u_C3R, zuviFilterRowBorderPipelineGetBufferSize_16u_C3R,       \
    uint16_t, uint16_t, 3, false)                                                                \
  X(zuviFilterRowBorderPipeline_Low_16s_C1R,                                                     \
    zuviFilterRowBorderPipelineGetBufferSize_Low_16s_C1R, int16_t, int16_t, 1, true)             \
  X(zuviFilterRowBorderPipeline_Low_16s_C3R,                                                     \
    zuviFilterRowBorderPipelineGetBufferSize_Low_16s_C3R, int16_t, int16_t, 3, true)

// The 32f row passes take no divisor.
#define ZUV_ROW_PIPELINE_32F_TABLE(X)                                                           \
  X(zuviFilterRowBorderPipeline_32f_C1R, zuviFilterRowBorderPipelineGetBufferSize_32f_C1R,       \
    float, float, 1, false)                                                                      \
  X(zuviFilterRowBorderPipeline_32f_C3R, zuviFilterRowBorderPipelineGetBufferSize_32f_C3R,       \
    float, float, 3, false)

// Column passes with a divisor.
#define ZUV_COLUMN_PIPELINE_TABLE(X)                                                            \
  X(zuviFilterColumnPipeline_16s_C1R, zuviFilterColumnPipelineGetBufferSize_16s_C1R, int16_t,    \
    int16_t, 1, false)                                                                           \
  X(zuviFilterColumnPipeline_16s_C3R, zuviFilterColumnPipelineGetBufferSize_16s_C3R, int16_t,    \
    int16_t, 3, false)                                                                           \
  X(zuviFilterColumnPipeline_16u_C1R, zuviFilterColumnPipelineGetBufferSize_16u_C1R, uint16_t,   \
    uint16_t, 1, false)                                                                          \
  X(zuviFilterColumnPipeline_16u_C3R, zuviFilterColumnPipelineGetBufferSize_16u_C3R, uint16_t,   \
    uint16_t, 3, false)                                                                          \
  X(zuviFilterColumnPipeline_16s8u_C1R, zuviFilterColumnPipelineGetBufferSize_16s8u_C1R,         \
    int16_t, uint8_t, 1, false)                                                                  \
  X(zuviFilterColumnPipeline_16s8u_C3R, zuviFilterColumnPipelineGetBufferSize_16s8u_C3R,         \
    int16_t, uint8_t, 3, false)                                                                  \
  X(zuviFilterColumnPipeline_16s8s_C1R, zuviFilterColumnPipelineGetBufferSize_16s8s_C1R,         \
    int16_t, int8_t, 1, false)                                                                   \
  X(zuviFilterColumnPipeline_16s8s_C3R, zuviFilterColumnPipelineGetBufferSize_16s8s_C3R,         \
    int16_t, int8_t, 3, false)                                                                   \
  X(zuviFilterColumnPipeline_Low_16s_C1R, zuviFilterColumnPipelineGetBufferSize_Low_16s_C1R,     \
    int16_t, int16_t, 1, true)                                                                   \
  X(zuviFilterColumnPipeline_Low_16s_C3R, zuviFilterColumnPipelineGetBufferSize_Low_16s_C3R,     \
    int16_t, int16_t, 3, true)

// The 32f column passes take no divisor.
#define ZUV_COLUMN_PIPELINE_32F_TABLE(X)                                                        \
  X(zuviFilterColumnPipeline_32f_C1R, zuviFilterColumnPipelineGetBufferSize_32f_C1R, float,      \
    float, 1, false)                                                                             \
  X(zuviFilterColumnPipeline_32f_C3R, zuviFilterColumnPipelineGetBufferSize_32f_C3R, float,      \
    float, 3, false)
