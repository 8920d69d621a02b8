// SPDX-License-Identifier: BSD-3-Clause
// Morphology test helpers: masks, set-up, bit-packed images, the flat per-pixel reference.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "support/guarded_image.h"
#include "zuvcv.h"

namespace zuv::test::morph {

using Borders = std::initializer_list<int>;  // border modes with flags

struct Mask {
  int w = 1, h = 1;
  std::vector<uint8_t> cells;
  std::string name;
  // Cell (x, y) holds member(x, y): a bool (1 or 0) or any byte, non-zero selecting.
  template <class F>
  static Mask of(int w, int h, const std::string& name, F member) {
    Mask m{w, h, std::vector<uint8_t>(size_t(w) * h), name + std::to_string(w) + "x" + std::to_string(h)};
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) m.cells[size_t(y) * w + x] = uint8_t(member(x, y));
    return m;
  }
  static Mask empty(int w, int h) { return of(w, h, "empty", [](int, int) { return false; }); }
  static Mask rect(int w, int h) { return of(w, h, "rect", [](int, int) { return true; }); }
  // Odd width: one run a row, centred, widening then narrowing.
  static Mask ellipse(int w, int h) {
    const double r = (h - 1) / 2.0;
    return of(w, h, "ellipse", [&](int x, int y) {
      const double dy = (y - r) / (r + 0.5);
      return std::abs(x - w / 2) <= int(std::floor((w / 2) * std::sqrt(std::max(0.0, 1 - dy * dy)) + 0.5));
    });
  }
  // 5x5 with only the top-left 2x2 cells: the window lies up and left of the anchor.
  static Mask offcentre() { return of(5, 5, "offcentre", [](int x, int y) { return x < 2 && y < 2; }); }
  static Mask random(int w, int h, std::mt19937& rng) {
    return of(w, h, "random", [&](int, int) { return rng() % 2 ? 1 + rng() % 255 : 0; });
  }
};

inline std::vector<Mask> test_masks(std::mt19937& rng) {
  return {Mask::empty(3, 3), Mask::rect(1, 1), Mask::rect(3, 3), Mask::rect(5, 5), Mask::rect(3, 1),
          Mask::rect(1, 3), Mask::rect(2, 2), Mask::rect(4, 6), Mask::offcentre(), Mask::ellipse(5, 5),
          Mask::ellipse(7, 9), Mask::random(4, 3, rng), Mask::random(6, 5, rng), Mask::random(1, 7, rng),
          Mask::rect(21, 1), Mask::rect(1, 13), Mask::rect(9, 9), Mask::rect(17, 3), Mask::rect(11, 11),
          Mask::rect(16, 1), Mask::rect(31, 2),
          Mask::of(3, 3, "corner", [](int x, int y) { return x == 2 && y == 2; }),  // a pure shift
          // Members only right of / below the anchor; rectangles far from it (block method, spans).
          Mask::of(7, 3, "right", [](int x, int y) { return (y == 2 && x >= 5) || (y == 1 && x == 6); }),
          Mask::of(3, 21, "up", [](int x, int y) { return y < 9 && x < 2; }),
          Mask::of(23, 3, "side", [](int x, int y) { return y == 2 && x >= 11; })};
}

// A state and work buffer of exactly the queried bytes at odd addresses: the
// blocks may have any alignment, and ASan catches a read past their end.
template <class State>
struct Setup {
  using SizeFn = Status (*)(ImageSize, ImageSize, int32_t*, int32_t*);
  using InitFn = Status (*)(ImageSize, const uint8_t*, ImageSize, State*, uint8_t*);
  Setup(SizeFn size, InitFn init, const Mask& m, ImageSize roi) {
    int32_t s = 0, b = 0;
    EXPECT_EQ(size(roi, {m.w, m.h}, &s, &b), StatusOk);
    spec.assign(size_t(s) + 3, 0), buf.assign(size_t(b) + 5, 0);
    EXPECT_EQ(init(roi, m.cells.data(), {m.w, m.h}, state(), buffer()), StatusOk);
  }
  State* state() { return reinterpret_cast<State*>(spec.data() + 3); }
  uint8_t* buffer() { return buf.data() + 5; }
  std::vector<uint8_t> spec, buf;
};

// Uniform adapters: every member called as (src, srcStep, dst, dstStep, roi,
// border, values, state, buffer), however its border value travels: Value
// one element by value, Last a float after the pointers, Array a pointer.
#define MORPH_ADAPT(f, T, S, ...)                                                            \
  [](const T* s, int ss, T* d, int ds, ImageSize r, BorderType b, const T* v, const S* st, \
     uint8_t* buf) { return f(s, ss, d, ds, r, b, __VA_ARGS__); }
#define MORPH_ADAPT_Value(f, T, S) MORPH_ADAPT(f, T, S, v[0], st, buf)
#define MORPH_ADAPT_Last(f, T, S) MORPH_ADAPT(f, T, S, st, buf, v[0])
#define MORPH_ADAPT_Array(f, T, S) MORPH_ADAPT(f, T, S, v, st, buf)

// Position inside [a, b) a border position reads; false for a constant.
inline bool map_index(int i, int a, int b, int mode, int& out) {
  if (i >= a && i < b) return out = i, true;
  if (mode == BorderConst) return false;
  const int p = 2 * (b - a) - 2;  // the mirror's period
  if (mode == BorderRepl || p == 0) return out = std::clamp(i, a, b - 1), true;
  const int j = ((i - a) % p + p) % p;
  return out = a + std::min(j, p - j), true;
}

// Every ROI pixel and channel, row by row, from pixel(x, y, c) (read only inside the region widened by the
// members' reach on in-memory sides; the border rule applies outside it) and the border values.
template <class Get, class V>
std::vector<double> reference_core(const Mask& m, int w, int h, int C, int border, Get pixel,
                                   const V* value, bool dilate) {
  const int ax = (m.w - 1) / 2, ay = (m.h - 1) / 2;
  std::vector<std::pair<int, int>> members;  // (i - ax, j - ay)
  int L = 0, R = 0, T = 0, B = 0;
  for (int j = 0; j < m.h; ++j)
    for (int i = 0; i < m.w; ++i)
      if (m.cells[size_t(j) * m.w + i]) {
        members.push_back({i - ax, j - ay});
        L = std::max(L, ax - i), R = std::max(R, i - ax), T = std::max(T, ay - j), B = std::max(B, j - ay);
      }
  int flags = border & 0xF0, mode = border & ~0xF0;
  if (mode == BorderInMem) flags = 0xF0, mode = BorderRepl;
  const int xa = flags & BorderInMemLeft ? -L : 0, xb = flags & BorderInMemRight ? w + R : w;
  const int ya = flags & BorderInMemTop ? -T : 0, yb = flags & BorderInMemBottom ? h + B : h;
  std::vector<double> out(size_t(w) * h * C);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < C; ++c) {
        double acc = members.empty() ? pixel(x, y, c) : dilate ? -HUGE_VAL : HUGE_VAL;
        for (const auto& [dx, dy] : members) {
          int sx, sy;
          const double v = map_index(x + dx, xa, xb, mode, sx) && map_index(y + dy, ya, yb, mode, sy)
                               ? pixel(sx, sy, c) : double(value[c]);
          acc = dilate ? std::max(acc, v) : std::min(acc, v);
        }
        out[size_t(y) * w * C + size_t(x) * C + c] = acc;
      }
  return out;
}

// Random values in the region and the margin around it (read by in-memory sides).
template <class T>
void fill_with_margin(GuardedImage<T>& src, int margin, std::mt19937& rng, bool small = false) {
  for (int y = -margin; y < src.height() + margin; ++y)
    for (int x = -margin * src.channels(); x < (src.width() + margin) * src.channels(); ++x)
      src.row(y)[x] = small ? T(rng() % 4) : GuardedImage<T>::template random_value<T>(rng);
}

// Pixel reader of a C-channel image for reference_core.
template <class T>
auto reader(const GuardedImage<T>& src) {
  return [&src](int x, int y, int c) { return double(src.row(y)[std::ptrdiff_t(x) * src.channels() + c]); };
}

// A bit-packed image: pixel x of row y is bit 7 - p % 8 of byte p / 8 from the
// origin, p = offset + x; `margin` bytes and rows of readable memory around it.
class BitImage {
 public:
  BitImage(int w, int h, int offset, int margin)
      : w_(w), h_(h), off_(offset), margin_(margin), img_((offset + w + 7) / 8, h, 1, 0, Flush::End, margin) {}
  uint8_t* origin() { return img_.data(); }
  int step() const { return img_.step(); }
  int offset() const { return off_; }
  int get(int x, int y) const { return bit(off_ + x, y); }
  void randomize(std::mt19937& rng) { fill_with_margin(img_, margin_, rng); }
  // Bits of the first and last byte of each row that lie outside the region.
  std::vector<int> outside_bits() const {
    std::vector<int> v;
    for (int y = 0; y < h_; ++y)
      for (int p = 0; p < img_.width() * 8; ++p)
        if (p < off_ || p >= off_ + w_) v.push_back(bit(p, y));
    return v;
  }

 private:
  int bit(int p, int y) const { return (img_.row(y)[p >> 3] >> (7 - (p & 7))) & 1; }  // p < 0: before the origin
  int w_, h_, off_, margin_;
  GuardedImage<uint8_t> img_;
};

}  // namespace zuv::test::morph
