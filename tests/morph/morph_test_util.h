// SPDX-License-Identifier: BSD-3-Clause
// Morphology test helpers: masks, bit-packed images and the plain per-pixel
// reference of flat erosion and dilation with every border rule.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "support/guarded_image.h"
#include "zuvcv.h"

namespace zuv::test::morph {

struct Mask {
  int w = 1, h = 1;
  std::vector<uint8_t> cells;
  std::string name;

  static Mask empty(int w, int h) { return Mask{w, h, std::vector<uint8_t>(size_t(w) * h, 0), "empty" + dims(w, h)}; }
  static Mask rect(int w, int h) { return Mask{w, h, std::vector<uint8_t>(size_t(w) * h, 1), "rect" + dims(w, h)}; }
  // Odd width: one run a row, centred, widening then narrowing.
  static Mask ellipse(int w, int h) {
    Mask m = empty(w, h);
    m.name = "ellipse" + dims(w, h);
    const double r = (h - 1) / 2.0;
    for (int y = 0; y < h; ++y) {
      const double dy = (y - r) / (r + 0.5);
      const int half = int(std::floor((w / 2) * std::sqrt(std::max(0.0, 1 - dy * dy)) + 0.5));
      for (int x = w / 2 - half; x <= w / 2 + half; ++x) m.cells[size_t(y) * w + x] = 1;
    }
    return m;
  }
  // 5x5 with only the top-left 2x2 cells: the window lies up and left of the anchor.
  static Mask offcentre() {
    Mask m = empty(5, 5);
    m.name = "offcentre5x5";
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 2; ++x) m.cells[size_t(y) * 5 + x] = 1;
    return m;
  }
  static Mask random(int w, int h, std::mt19937& rng) {
    Mask m = empty(w, h);
    m.name = "random" + dims(w, h);
    for (auto& c : m.cells) c = uint8_t(rng() % 2 ? 1 + rng() % 255 : 0);
    return m;
  }
  static std::string dims(int w, int h) { return std::to_string(w) + "x" + std::to_string(h); }
};

inline std::vector<Mask> test_masks(std::mt19937& rng) {
  std::vector<Mask> v = {Mask::empty(3, 3), Mask::rect(1, 1), Mask::rect(3, 3), Mask::rect(5, 5),
                         Mask::rect(3, 1), Mask::rect(1, 3), Mask::rect(2, 2), Mask::rect(4, 6),
                         Mask::offcentre(), Mask::ellipse(5, 5), Mask::ellipse(7, 9),
                         Mask::random(4, 3, rng), Mask::random(6, 5, rng), Mask::random(1, 7, rng),
                         Mask::rect(21, 1), Mask::rect(1, 13), Mask::rect(9, 9), Mask::rect(17, 3),
                         Mask::rect(11, 11)};
  // A single member off the anchor: a pure shift.
  Mask corner = Mask::empty(3, 3);
  corner.cells[8] = 1;
  corner.name = "corner3x3";
  v.push_back(corner);
  // Members right of and below the anchor only, in a wide mask.
  Mask right = Mask::empty(7, 3);
  right.cells[2 * 7 + 5] = right.cells[2 * 7 + 6] = right.cells[1 * 7 + 6] = 1;
  right.name = "right7x3";
  v.push_back(right);
  // Rectangles far from the anchor, long enough for the block method and the spans.
  Mask up = Mask::empty(3, 21);
  for (int y = 0; y < 9; ++y) up.cells[size_t(y) * 3] = up.cells[size_t(y) * 3 + 1] = 1;
  up.name = "up3x21";
  v.push_back(up);
  Mask side = Mask::empty(23, 3);
  for (int x = 11; x < 23; ++x) side.cells[size_t(2) * 23 + x] = 1;
  side.name = "side23x3";
  v.push_back(side);
  return v;
}

// Border geometry of the reference: the region widened by the members' reach
// on the sides flagged as in memory; the rule applies outside it.
struct Geometry {
  int xa, xb, ya, yb, mode;
  bool any = false;
  int ax, ay;
  std::vector<std::pair<int, int>> members;  // (i - ax, j - ay)
};

inline Geometry geometry_of(const Mask& m, int w, int h, int border) {
  Geometry g{};
  g.ax = (m.w - 1) / 2;
  g.ay = (m.h - 1) / 2;
  int L = 0, R = 0, T = 0, B = 0;
  for (int j = 0; j < m.h; ++j)
    for (int i = 0; i < m.w; ++i)
      if (m.cells[size_t(j) * m.w + i]) {
        const int dx = i - g.ax, dy = j - g.ay;
        g.members.push_back({dx, dy});
        L = std::max(L, -dx), R = std::max(R, dx), T = std::max(T, -dy), B = std::max(B, dy);
      }
  g.any = !g.members.empty();
  int flags = border & 0xF0;
  g.mode = border & ~0xF0;
  if (g.mode == BorderInMem) flags = 0xF0, g.mode = BorderRepl;
  g.xa = flags & BorderInMemLeft ? -L : 0;
  g.xb = flags & BorderInMemRight ? w + R : w;
  g.ya = flags & BorderInMemTop ? -T : 0;
  g.yb = flags & BorderInMemBottom ? h + B : h;
  return g;
}

// Position inside [a, b) a border position reads; false for a constant.
inline bool map_index(int i, int a, int b, int mode, int& out) {
  if (i >= a && i < b) return out = i, true;
  if (mode == BorderConst) return false;
  const int n = b - a;
  if (mode == BorderRepl || n == 1) return out = std::clamp(i, a, b - 1), true;
  int j = (i - a) % (2 * n - 2);
  if (j < 0) j += 2 * n - 2;
  out = a + (j >= n ? 2 * n - 2 - j : j);
  return true;
}

// The result D of every ROI pixel and channel, row by row, from pixel(x, y, c)
// (read only inside the widened region) and the border values.
template <class Get, class V>
std::vector<double> reference_core(const Mask& m, int w, int h, int C, int border, Get pixel,
                                   const V* value, bool dilate) {
  const Geometry g = geometry_of(m, w, h, border);
  std::vector<double> out(size_t(w) * h * C);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < C; ++c) {
        double acc = 0;
        if (!g.any) {
          acc = pixel(x, y, c);
        } else {
          bool first = true;
          for (const auto& [dx, dy] : g.members) {
            int sx, sy;
            double v;
            if (map_index(x + dx, g.xa, g.xb, g.mode, sx) && map_index(y + dy, g.ya, g.yb, g.mode, sy))
              v = pixel(sx, sy, c);
            else
              v = double(value[c]);
            if (first || (dilate ? v > acc : v < acc)) acc = v;
            first = false;
          }
        }
        out[size_t(y) * w * C + size_t(x) * C + c] = acc;
      }
  return out;
}

template <class T>
std::vector<double> reference(const GuardedImage<T>& src, const Mask& m, int border,
                              const T* value, bool dilate) {
  const int C = src.channels();
  return reference_core(m, src.width(), src.height(), C, border,
                        [&](int x, int y, int c) { return double(src.row(y)[std::ptrdiff_t(x) * C + c]); },
                        value, dilate);
}

// A bit-packed image: pixel x of row y is bit 7 - (p % 8) of byte p / 8,
// p = offset + x, counted from the origin byte. `margin` bytes and rows of
// readable memory surround it.
class BitImage {
 public:
  BitImage(int w, int h, int offset, int margin)
      : w_(w), h_(h), off_(offset), img_((offset + w + 7) / 8, h, 1, 0, Flush::End, margin), margin_(margin) {}
  uint8_t* origin() { return img_.data(); }
  int step() const { return img_.step(); }
  int offset() const { return off_; }
  int get(int x, int y) const {
    const int p = off_ + x;
    const int byte = p >= 0 ? p / 8 : -((7 - p) / 8);
    return (img_.row(y)[byte] >> (7 - (p - 8 * byte))) & 1;
  }
  void randomize(std::mt19937& rng) {
    const int bytes = (off_ + w_ + 7) / 8;
    for (int y = -margin_; y < h_ + margin_; ++y)
      for (int b = -margin_; b < bytes + margin_; ++b) img_.row(y)[b] = uint8_t(rng());
  }
  // Bits of the first and last byte of each row that lie outside the region.
  std::vector<int> outside_bits() const {
    std::vector<int> v;
    const int bytes = (off_ + w_ + 7) / 8;
    for (int y = 0; y < h_; ++y)
      for (int p = 0; p < bytes * 8; ++p)
        if (p < off_ || p >= off_ + w_) v.push_back((img_.row(y)[p / 8] >> (7 - p % 8)) & 1);
    return v;
  }

 private:
  int w_, h_, off_;
  GuardedImage<uint8_t> img_;
  int margin_;
};

inline std::vector<int> reference_bits(const BitImage& src, const Mask& m, int border, int value,
                                       bool dilate, int w, int h) {
  const int v = value ? 1 : 0;
  const auto d = reference_core(m, w, h, 1, border, [&](int x, int y, int) { return double(src.get(x, y)); },
                                &v, dilate);
  return std::vector<int>(d.begin(), d.end());
}

}  // namespace zuv::test::morph
