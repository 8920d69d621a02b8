// SPDX-License-Identifier: BSD-3-Clause
// Argument-check helpers: each answers one question; drivers call them in their own order.
#pragma once

#include <cstdint>

#include "zuvcv.h"

// Early return of the first failing status.
#define ZUV_TRY(expr)                      \
  do {                                     \
    const Status zuv_try_s_ = (expr);      \
    if (zuv_try_s_ != StatusOk) return zuv_try_s_; \
  } while (0)

namespace zuv::check {

// -8 when any of the pointers is null.
template <class... P>
constexpr Status not_null(const P*... p) {
  return ((p == nullptr) || ...) ? StatusNullPointer : StatusOk;
}

// -6 for width < 1, then height < 1.
constexpr Status roi(ImageSize r) {
  return (r.width < 1 || r.height < 1) ? StatusSize : StatusOk;
}

// Bytes of one row of an image of `width` pixels with C channels of T.
template <class T, int C = 1>
constexpr int64_t row_bytes(int width) {
  return int64_t(width) * C * int64_t(sizeof(T));
}

// -14 when a step is below the row bytes of its own image.
constexpr Status step(int step, int64_t rowBytes) {
  return int64_t(step) < rowBytes ? StatusStep : StatusOk;
}

template <class T, int C = 1>
constexpr Status step_of(int s, ImageSize r) {
  return step(s, row_bytes<T, C>(r.width));
}

// -108 when a step is not a multiple of the element size (no rule for bytes).
template <class T>
constexpr Status multiple(int s) {
  return (sizeof(T) > 1 && s % int(sizeof(T)) != 0) ? StatusNotEvenStep : StatusOk;
}

template <class T, class... S>
constexpr Status multiples(S... s) {
  return ((multiple<T>(s) != StatusOk) || ...) ? StatusNotEvenStep : StatusOk;
}

// Step test immediately followed by its multiple test.
template <class T, int C = 1>
constexpr Status step_and_multiple(int s, ImageSize r) {
  const Status st = step_of<T, C>(s, r);
  return st != StatusOk ? st : multiple<T>(s);
}

// -52 for a channel of interest outside 1..3.
constexpr Status coi(int c) { return (c < 1 || c > 3) ? StatusChannelOfInterest : StatusOk; }

// -33 for a mask code other than 33 and 55.
constexpr Status mask_size(int m) {
  return (m == MaskSize3x3 || m == MaskSize5x5) ? StatusOk : StatusMaskSize;
}

// -8 for a multi-channel border value array that the constant mode needs (a
// side not in memory) but that is null (one-channel values come by value).
template <int C>
constexpr Status border_value(const void* value, int border) {
  const bool needed = (border & 15) == BorderConst && (border & 0xF0) != 0xF0;
  return (C > 1 && value == nullptr && needed) ? StatusNullPointer : StatusOk;
}

}  // namespace zuv::check
