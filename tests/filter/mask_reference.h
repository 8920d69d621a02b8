// SPDX-License-Identifier: BSD-3-Clause
// Plain 2-D correlation with the library's border rules: the reference of the fixed-mask filter tests.
#pragma once

#include <cstdint>
#include <random>
#include <type_traits>
#include <vector>

#include "support/guarded_image.h"
#include "zuvcv.h"

namespace zuv::test {

// A BorderType split into its mode and the sides read from memory (6 is the
// constant mode with all four sides in memory).
struct Sides {
  int mode;
  bool top, bottom, left, right;
};
inline Sides sides_of(int borderType) {
  if ((borderType & 15) == BorderInMem) return {BorderConst, true, true, true, true};
  return {borderType & 15, (borderType & 0x10) != 0, (borderType & 0x20) != 0,
          (borderType & 0x40) != 0, (borderType & 0x80) != 0};
}

// Moves i (on an axis of n pixels) to the pixel that supplies it; false when
// the pixel is the border constant. Reflections are unfolded step by step,
// so borders wider than the axis reflect again.
inline bool supplier(int& i, int n, int mode, bool lowInMemory, bool highInMemory) {
  if (i >= 0 && i < n) return true;
  if (i < 0 ? lowInMemory : highInMemory) return true;
  switch (mode) {
    case BorderConst: return false;
    case BorderRepl: i = i < 0 ? 0 : n - 1; return true;
    case BorderMirror:
      if (n == 1) { i = 0; return true; }
      while (i < 0 || i >= n) i = i < 0 ? -i : 2 * (n - 1) - i;
      return true;
    default:  // mirror with the edge pixel repeated
      while (i < 0 || i >= n) i = i < 0 ? -i - 1 : 2 * n - 1 - i;
      return true;
  }
}

// Pixel (x, y) of the bordered image: rows outside are resolved first (a
// constant row is constant across its full width), then columns on that row.
template <class T>
double extended(const GuardedImage<T>& img, int x, int y, const Sides& s, double value) {
  if (!supplier(y, img.height(), s.mode, s.top, s.bottom)) return value;
  if (!supplier(x, img.width(), s.mode, s.left, s.right)) return value;
  return double(img.at(x, y));
}

// A k x k integer mask, rows top to bottom.
struct Mask {
  int k;
  std::vector<int> m;
  int at(int i, int j) const { return m[size_t(j) * k + i]; }
};
// The mask of a separable pair: column taps (top to bottom) times row taps.
inline Mask outer(const std::vector<int>& col, const std::vector<int>& row) {
  Mask r{int(row.size()), {}};
  for (int c : col)
    for (int v : row) r.m.push_back(c * v);
  return r;
}

// Sum of mask times bordered pixels at (x, y): exact for integer images and
// for float images holding small integers.
template <class T>
double correlate(const GuardedImage<T>& img, const Mask& mk, int x, int y, const Sides& s,
                 double value) {
  const int r = mk.k / 2;
  double sum = 0;
  for (int j = 0; j < mk.k; ++j)
    for (int i = 0; i < mk.k; ++i)
      if (mk.at(i, j) != 0) sum += mk.at(i, j) * extended(img, x - r + i, y - r + j, s, value);
  return sum;
}

// Fills the region and a margin of `margin` pixels around it (memory that
// in-memory borders read) with integers in [lo, hi].
template <class T>
void fill_with_margin(GuardedImage<T>& img, int margin, std::mt19937& rng, int lo, int hi) {
  std::uniform_int_distribution<int> d(lo, hi);
  for (int y = -margin; y < img.height() + margin; ++y)
    for (int x = -margin; x < img.width() + margin; ++x) img.at(x, y) = T(d(rng));
}

// Signature of a fixed-mask filter: an integer border value precedes the
// buffer, a float one comes last.
template <class Ts, class Td>
struct FilterOf {
  using type = Status (*)(const Ts*, int, Td*, int, ImageSize, MaskSize, BorderType, Ts, uint8_t*);
};
template <class Td>
struct FilterOf<float, Td> {
  using type = Status (*)(const float*, int, Td*, int, ImageSize, MaskSize, BorderType, uint8_t*, float);
};
template <class Ts, class Td>
using Filter = typename FilterOf<Ts, Td>::type;

template <class Ts, class Td>
Status call(Filter<Ts, Td> f, const Ts* src, int srcStep, Td* dst, int dstStep, ImageSize roi,
            int mask, int border, Ts value, uint8_t* buffer) {
  if constexpr (std::is_same_v<Ts, float>)
    return f(src, srcStep, dst, dstStep, roi, mask, border, buffer, value);
  else
    return f(src, srcStep, dst, dstStep, roi, mask, border, value, buffer);
}

// Border types that cover every mode with and without side flags.
inline std::vector<int> border_cases(bool mirrorR) {
  std::vector<int> v = {0x00, 0x01, 0x03, 0x06, 0x10, 0x21, 0x43, 0x80, 0xF1, 0x53, 0xA0, 0x73, 0xB1};
  if (mirrorR) v.insert(v.end(), {0x04, 0x14, 0xC4, 0x64});
  return v;
}

}  // namespace zuv::test
