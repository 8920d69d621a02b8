// SPDX-License-Identifier: BSD-3-Clause
// Plain 2-D correlation with the library's border rules, and the call and check-table helpers of the filter tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <type_traits>
#include <vector>

#include "support/guarded_image.h"
#include "support/status.h"
#include "zuvcv.h"

namespace zuv::test {

// A BorderType split into its mode and the sides read from memory (6 is the
// constant mode with all four sides in memory).
struct Sides { int mode; bool top, bottom, left, right; bool any() const { return top || bottom || left || right; } };
inline Sides sides_of(int borderType) {
  if ((borderType & 15) == BorderInMem) return {BorderConst, true, true, true, true};
  return {borderType & 15, (borderType & 0x10) != 0, (borderType & 0x20) != 0,
          (borderType & 0x40) != 0, (borderType & 0x80) != 0};
}

// Moves i (on an axis of n pixels) to the pixel that supplies it; false when it
// is the border constant. Reflections unfold step by step, so borders wider
// than the axis reflect again.
inline bool supplier(int& i, int n, int mode, bool lowInMemory, bool highInMemory) {
  if ((i >= 0 && i < n) || (i < 0 ? lowInMemory : highInMemory)) return true;
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

// Element c of pixel (x, y) of the bordered image: rows outside are resolved
// first (a constant row is constant across its full width), then columns.
template <class T>
double extended(const GuardedImage<T>& img, int x, int y, const Sides& s, double value, int c = 0) {
  if (!supplier(y, img.height(), s.mode, s.top, s.bottom) || !supplier(x, img.width(), s.mode, s.left, s.right))
    return value;
  return double(img.at(x, y, c));
}

// A k x k integer mask, rows top to bottom; outer() makes the mask of a
// separable pair (column taps top to bottom times row taps).
struct Mask { int k; std::vector<int> m; };
inline Mask outer(const std::vector<int>& col, const std::vector<int>& row) {
  Mask r{int(row.size()), {}};
  for (int c : col)
    for (int v : row) r.m.push_back(c * v);
  return r;
}

// Fills the region and `margin` pixels around it (memory that in-memory borders read).
template <class T, class Gen>
void fill_with_margin(GuardedImage<T>& img, int margin, Gen&& gen) {
  for (int y = -margin; y < img.height() + margin; ++y)
    for (int x = -margin; x < img.width() + margin; ++x)
      for (int c = 0; c < img.channels(); ++c) img.at(x, y, c) = T(gen());
}

// One call of a fixed-mask filter (an integer border value precedes the
// buffer, a float one comes last) with a buffer of exactly `bytes`, guarded
// at `flush` like the padded destination; returns the destination pixels.
template <class Td, class Ts, class F>
std::vector<Td> run_filter(F f, int bytes, const GuardedImage<Ts>& src, int mask, int border, Ts value,
                           Flush flush) {
  GuardedBytes buf(size_t(bytes), flush);
  GuardedImage<Td> dst(src.width(), src.height(), 1, 3 * int(sizeof(Td)), flush);
  Status st;
  if constexpr (std::is_same_v<Ts, float>)
    st = f(src.data(), src.step(), dst.data(), dst.step(), src.size(), mask, border, buf.base(), value);
  else
    st = f(src.data(), src.step(), dst.data(), dst.step(), src.size(), mask, border, value, buf.base());
  EXPECT_EQ(st, StatusOk);
  EXPECT_TRUE(dst.padding_intact());
  return dst.pixels();
}

// Filter f with mask mk (bytes(roi, mask) gives its buffer size) against
// finish(sum of mask times bordered pixels) at every pixel, exact for integers
// and small integer floats, over sizes and borders; the scalar reference
// kernels must then give the same bytes.
template <class Ts, class Td, class F, class Bytes>
void expect_matches_mask(F f, Bytes bytes, const Mask& mk, const std::vector<ImageSize>& sizes,
                         const std::vector<int>& borders, std::function<double(double)> finish = nullptr) {
  std::mt19937 rng(uint32_t(mk.k * 31 + sizes.size()));
  const bool isFloat = std::is_same_v<Ts, float>;
  std::uniform_int_distribution<int> pixel(isFloat ? -400 : 0, isFloat ? 400 : 255);
  const Ts value = isFloat ? Ts(-7) : Ts(201);
  const int mask = mk.k * 11, r = mk.k / 2;
  for (const ImageSize& sz : sizes)
    for (int bt : borders) {
      const Sides s = sides_of(bt);
      const Flush flush = (sz.width + sz.height + bt) % 2 ? Flush::End : Flush::Begin;
      GuardedImage<Ts> src(sz.width, sz.height, 1, 0, flush, s.any() ? r : 0);
      fill_with_margin(src, s.any() ? r : 0, [&] { return pixel(rng); });
      SCOPED_TRACE(testing::Message() << "k " << mk.k << " " << sz.width << "x" << sz.height << " border " << bt);
      const std::vector<Td> got = run_filter<Td>(f, bytes(sz, mask), src, mask, bt, value, flush);
      for (int y = 0; y < sz.height; ++y)
        for (int x = 0; x < sz.width; ++x) {
          double sum = 0;
          for (int j = 0; j < mk.k * mk.k; ++j)
            if (mk.m[size_t(j)]) sum += mk.m[size_t(j)] * extended(src, x - r + j % mk.k, y - r + j / mk.k, s, double(value));
          ASSERT_EQ(double(got[size_t(y) * sz.width + x]), finish ? finish(sum) : sum) << "at " << x << "," << y;
        }
      ReferenceKernels useRef;
      ASSERT_EQ(run_filter<Td>(f, bytes(sz, mask), src, mask, bt, value, flush), got);
    }
}

// Non-integer floats: the vector kernels keep the reference's order of
// operations, so the bits agree (filters of integer sources are skipped).
template <class Ts, class F, class Bytes>
void expect_reference_bits(F f, Bytes bytes, const GuardedImage<float>& src, int mask, const std::vector<int>& borders) {
  if constexpr (std::is_same_v<Ts, float>)
    for (int bt : borders) {
      auto run = [&] { return run_filter<float>(f, bytes(src.size(), mask), src, mask, bt, 0.5f, Flush::End); };
      const std::vector<float> vec = run();
      ReferenceKernels useRef;
      ASSERT_EQ(0, std::memcmp(vec.data(), run().data(), vec.size() * 4)) << "mask " << mask << " border " << bt;
    }
}

// Border types that cover every mode with and without side flags.
inline std::vector<int> border_cases(bool mirrorR) {
  std::vector<int> v = {0x00, 0x01, 0x03, 0x06, 0x10, 0x21, 0x43, 0x80, 0xF1, 0x53, 0xA0, 0x73, 0xB1};
  if (mirrorR) v.insert(v.end(), {0x04, 0x14, 0xC4, 0x64});
  return v;
}

// A check table: each call must return its status and leave the watched images unchanged.
struct Refusal { const char* what; std::function<Status()> call; Status want; };
template <class... Images>
void expect_refusals(const std::vector<Refusal>& cases, const Images&... watched) {
  for (const Refusal& c : cases) {
    SCOPED_TRACE(c.what);
    expect_refused(c.want, c.call, {Snapshot(watched)...});
  }
}

}  // namespace zuv::test
