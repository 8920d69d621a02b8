// SPDX-License-Identifier: BSD-3-Clause
// Canny edges: an independent model of the method against all three variants on
// sample photographs, random and synthetic inputs; threshold edges, buffer
// sizes, narrow regions, border rules, the stack guard and the check order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "features/canny.h"
#include "support/guarded_image.h"
#include "support/png.h"
#include "support/status.h"

namespace {

using zuv::test::expect_refused;
using zuv::test::Flush;
using zuv::test::GuardedBytes;
using zuv::test::GuardedImage;
using zuv::test::ReferenceKernels;

// ---------------------------------------------------------------------------
// Model: the stated method written plainly on whole-image arrays.

float from_bits(uint32_t b) {
  float f;
  std::memcpy(&f, &b, 4);
  return f;
}
const float kT1 = from_bits(0x3ED413CD);  // tan 22.5
const float kT2 = from_bits(0x401A827A);  // tan 67.5

enum Dir { kH = 1, kOpp = 2, kV = 3, kSame = 4 };

// Thresholded magnitudes and direction codes of a w x h region.
struct Field {
  int w, h;
  std::vector<float> m;
  std::vector<int> dir;
  float mag(int x, int y) const {
    return (x < 0 || y < 0 || x >= w || y >= h) ? 0.f : m[size_t(y) * w + x];
  }
};

// Suppression, seeds above `high`, and 8-connected growth through candidates.
std::vector<uint8_t> edges(const Field& f, float high) {
  const int w = f.w, h = f.h;
  std::vector<uint8_t> cand(size_t(w) * h, 0), out(size_t(w) * h, 0);
  std::vector<std::pair<int, int>> grow;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const float v = f.mag(x, y);
      if (v == 0.f) continue;
      bool keep = false;
      switch (f.dir[size_t(y) * w + x]) {
        case kV: keep = v > f.mag(x, y - 1) && v >= f.mag(x, y + 1); break;
        case kH: keep = v > f.mag(x - 1, y) && v >= f.mag(x + 1, y); break;
        case kSame: keep = v > f.mag(x - 1, y - 1) && v > f.mag(x + 1, y + 1); break;
        default: keep = v > f.mag(x + 1, y - 1) && v > f.mag(x - 1, y + 1); break;
      }
      if (!keep) continue;
      cand[size_t(y) * w + x] = 1;
      if (v > high) {
        out[size_t(y) * w + x] = 255;
        grow.push_back({x, y});
      }
    }
  for (size_t i = 0; i < grow.size(); ++i) {
    const auto [x, y] = grow[i];
    for (int j = -1; j <= 1; ++j)
      for (int k = -1; k <= 1; ++k) {
        const int nx = x + k, ny = y + j;
        if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
        const size_t at = size_t(ny) * w + nx;
        if (cand[at] && !out[at]) {
          out[at] = 255;
          grow.push_back({nx, ny});
        }
      }
  }
  return out;
}

int plain_direction(float ax, float ay, bool same) {
  if (ay > ax * kT2) return kV;
  if (ay < ax * kT1) return kH;
  return same ? kSame : kOpp;
}

// Model of the derivative variants. 16s: saturated integer sum kept above
// trunc(low), seeds above trunc(high); 32f: kept at or above low.
template <class D>
std::vector<uint8_t> model_derivative(const GuardedImage<D>& dx, const GuardedImage<D>& dy,
                                      float low, float high) {
  Field f{dx.width(), dx.height(), {}, {}};
  for (int y = 0; y < f.h; ++y)
    for (int x = 0; x < f.w; ++x) {
      const D a = dx.at(x, y), b = dy.at(x, y);
      const float ax = std::fabs(float(a)), ay = std::fabs(float(b));
      float m;
      if constexpr (std::is_same_v<D, int16_t>) {
        m = std::min(ax + ay, 65535.f);
        if (!(m > std::trunc(low))) m = 0.f;
      } else {
        m = ax + ay;
        if (!(m >= low)) m = 0.f;
      }
      f.m.push_back(m);
      f.dir.push_back(plain_direction(ax, ay, std::signbit(float(a)) == std::signbit(float(b))));
    }
  return edges(f, std::is_same_v<D, int16_t> ? std::trunc(high) : high);
}

// Border rule of one side: read from memory when flagged, else the edge pixel
// (replicate) or the value (constant modes 0 and 6).
struct BorderRule {
  int type;
  uint8_t value;
  bool in(int flag) const { return (type & flag) != 0; }
  bool replicate() const { return (type & 0xF) == BorderRepl; }
};

// Pixel (x, y) of the source seen through the rule; `img` has a margin wide
// enough for the sides in memory.
int bordered(const GuardedImage<uint8_t>& img, const BorderRule& b, int x, int y) {
  const int w = img.width(), h = img.height();
  const bool row_in = (y >= 0 && y < h) || (y < 0 && b.in(BorderInMemTop)) ||
                      (y >= h && b.in(BorderInMemBottom));
  const bool col_in = (x >= 0 && x < w) || (x < 0 && b.in(BorderInMemLeft)) ||
                      (x >= w && b.in(BorderInMemRight));
  if ((!row_in || !col_in) && !b.replicate()) return b.value;
  if (!row_in) y = std::clamp(y, 0, h - 1);
  if (!col_in) x = std::clamp(x, 0, w - 1);
  return img.at(x, y);
}

// Full 2D derivative kernels (dx; dy is its transpose).
std::vector<int> kernel_dx(int kind, int k) {
  const std::vector<int> smooth = k == 5 ? std::vector<int>{1, 4, 6, 4, 1}
                                  : kind == DifferentialKernelScharr ? std::vector<int>{3, 10, 3}
                                                                     : std::vector<int>{1, 2, 1};
  const std::vector<int> diff = k == 5 ? std::vector<int>{-1, -2, 0, 2, 1} : std::vector<int>{-1, 0, 1};
  std::vector<int> kx;
  for (int i = 0; i < k; ++i)
    for (int j = 0; j < k; ++j) kx.push_back(smooth[i] * diff[j]);
  return kx;
}

std::vector<uint8_t> model_border(const GuardedImage<uint8_t>& src, int kind, int k,
                                  BorderRule rule, int norm, float low, float high) {
  const int w = src.width(), h = src.height(), r = k / 2;
  const std::vector<int> kx = kernel_dx(kind, k);
  Field f{w, h, {}, {}};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int gx = 0, gy = 0;
      for (int i = 0; i < k; ++i)
        for (int j = 0; j < k; ++j) {
          gx += kx[size_t(i) * k + j] * bordered(src, rule, x - r + j, y - r + i);
          gy += kx[size_t(j) * k + i] * bordered(src, rule, x - r + j, y - r + i);
        }
      const float fx = float(gx), fy = float(gy);
      float m = norm == NormTypeL2 ? std::sqrt(fx * fx + fy * fy) : float(std::abs(gx) + std::abs(gy));
      if (!(m > low)) m = 0.f;
      const float ax = std::fabs(fx), ay = std::fabs(fy);
      const float t = ax * kT1;
      int dir = ay > std::fma(2.f, ax, t) ? kV : ay < t ? kH : ((gx < 0) == (gy < 0) ? kSame : kOpp);
      f.m.push_back(m);
      f.dir.push_back(dir);
    }
  return edges(f, high);
}

// ---------------------------------------------------------------------------
// Calls with exactly sized buffers that end at a guard page.

int32_t derivative_buffer_size(ImageSize roi) {
  int32_t n = -1;
  EXPECT_EQ(zuviCannyGetSize(roi, &n), StatusOk);
  return n;
}

template <class D>
Status call_derivative(const GuardedImage<D>& dx, const GuardedImage<D>& dy,
                       GuardedImage<uint8_t>& dst, float low, float high, int misalign = 0) {
  const int32_t n = derivative_buffer_size(dx.size());
  GuardedBytes buf(size_t(n) + misalign, Flush::End);
  std::memset(buf.base(), 0x5A, buf.span());
  if constexpr (std::is_same_v<D, int16_t>)
    return zuviCanny_16s8u_C1R(dx.data(), dx.step(), dy.data(), dy.step(), dst.data(), dst.step(),
                               dx.size(), buf.base() + misalign, low, high);
  else
    return zuviCanny_32f8u_C1R(dx.data(), dx.step(), dy.data(), dy.step(), dst.data(), dst.step(),
                               dx.size(), buf.base() + misalign, low, high);
}

struct BorderCase {
  int kind, mask, border;
  uint8_t value;
  int norm;
  float low, high;
};

Status call_border(const GuardedImage<uint8_t>& src, GuardedImage<uint8_t>& dst, const BorderCase& c,
                   size_t stackPairs = 0, int misalign = 0) {
  int32_t n = -1;
  EXPECT_EQ(zuviCannyBorderGetSize(src.size(), c.kind, c.mask, 0, &n), StatusOk);
  GuardedBytes buf(size_t(n) + misalign, Flush::End);
  std::memset(buf.base(), 0x5A, buf.span());
  if (stackPairs)
    return zuv::canny::canny_border(src.data(), src.step(), dst.data(), dst.step(), src.size(),
                                    c.kind, c.mask, c.border, c.value, c.norm,
                                    buf.base() + misalign, c.low, c.high, stackPairs);
  return zuviCannyBorder_8u_C1R(src.data(), src.step(), dst.data(), dst.step(), src.size(), c.kind,
                                c.mask, c.border, c.value, c.norm, buf.base() + misalign, c.low,
                                c.high);
}

// Runs `call` with the vector kernels and with the reference and checks both
// against `want`.
template <class Call>
void expect_both_paths(const std::vector<uint8_t>& want, GuardedImage<uint8_t>& dst, Call call,
                       const std::string& what) {
  for (bool reference : {false, true}) {
    dst.fill([](int, int, int) { return 77; });
    Status s;
    if (reference) {
      ReferenceKernels use_ref;
      s = call();
    } else {
      s = call();
    }
    ASSERT_EQ(s, StatusOk) << what;
    ASSERT_EQ(dst.pixels(), want) << what << (reference ? " (reference)" : " (vector)");
    ASSERT_TRUE(dst.padding_intact()) << what;
  }
}

// 3x3 Sobel derivatives of a sample image with replicated edges.
template <class D>
void sobel_of(const zuv::test::GrayImage& img, GuardedImage<D>& dx, GuardedImage<D>& dy, float scale) {
  auto p = [&](int x, int y) {
    return int(img.at(std::clamp(x, 0, img.width - 1), std::clamp(y, 0, img.height - 1)));
  };
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x) {
      const int gx = p(x + 1, y - 1) - p(x - 1, y - 1) + 2 * (p(x + 1, y) - p(x - 1, y)) +
                     p(x + 1, y + 1) - p(x - 1, y + 1);
      const int gy = p(x - 1, y + 1) - p(x - 1, y - 1) + 2 * (p(x, y + 1) - p(x, y - 1)) +
                     p(x + 1, y + 1) - p(x + 1, y - 1);
      dx.at(x, y) = D(gx * scale);
      dy.at(x, y) = D(gy * scale);
    }
}

size_t count_edges(const std::vector<uint8_t>& v) {
  return size_t(std::count(v.begin(), v.end(), uint8_t(255)));
}

// ---------------------------------------------------------------------------

TEST(Canny, BufferSizes) {
  struct Row { ImageSize roi; int32_t want; };
  const Row rows[] = {
      {{1, 1}, 9 * 5 + 16 + 160},
      {{640, 480}, 642 * 482 * 5 + 16 * 640 + 160},
      {{65532, 2}, 65534 * 4 * 5 + 16 * 65532 + 160},
      {{65533, 2}, 65535 * 4 * 9 + 16 * 65533 + 160},
      {{3, 65533}, 5 * 65535 * 9 + 16 * 3 + 160},
      // 32-bit arithmetic wraps.
      {{40000, 40000}, int32_t(uint32_t(40002u * 40002u * 5u + 16u * 40000u + 160u))},
  };
  for (const Row& r : rows) {
    int32_t n = 0;
    ASSERT_EQ(zuviCannyGetSize(r.roi, &n), StatusOk);
    EXPECT_EQ(n, r.want) << r.roi.width << "x" << r.roi.height;
  }
  auto a32 = [](uint32_t v) { return (v + 31u) & ~31u; };
  struct BRow { ImageSize roi; int mask; };
  for (const BRow& r : {BRow{{1, 1}, 33}, BRow{{2, 9}, 33}, BRow{{3, 3}, 33}, BRow{{4, 100}, 55},
                        BRow{{5, 5}, 55}, BRow{{1920, 1080}, 55}, BRow{{1920, 1080}, 33}}) {
    const uint32_t k = r.mask == 55 ? 5 : 3;
    const uint32_t W = r.roi.width + k - 1, A = W * (r.roi.height + k - 1);
    const bool copy = int(k) > std::min(r.roi.width, r.roi.height);
    const int32_t want = int32_t(a32(16 * W) + a32(A) + a32(4 * A) + (copy ? a32(A) : 0) + 64);
    // The kind and the last value are not examined.
    for (int kind : {2, 5, 99}) {
      int32_t n = 0;
      ASSERT_EQ(zuviCannyBorderGetSize(r.roi, kind, r.mask, -7, &n), StatusOk);
      EXPECT_EQ(n, want) << r.roi.width << "x" << r.roi.height << " mask " << r.mask;
    }
  }
}

// The sample photographs through all three variants, against the model.
TEST(Canny, SamplePhotographs) {
  for (const char* name : {"camera.png", "coins.png"}) {
    const zuv::test::GrayImage img = zuv::test::read_png_gray(zuv::test::sample_path(name));
    ASSERT_GT(img.width, 0) << name;
    const int w = img.width, h = img.height;
    GuardedImage<uint8_t> src(w, h, 1, 5), dst(w, h, 1, 3);
    src.fill([&](int x, int y, int) { return img.at(x, y); });
    GuardedImage<int16_t> dx16(w, h, 1, 6), dy16(w, h);
    GuardedImage<float> dx32(w, h), dy32(w, h, 1, 12);
    sobel_of(img, dx16, dy16, 1.f);
    sobel_of(img, dx32, dy32, 1.f / 3.f);
    for (auto [low, high] : {std::pair{40.5f, 120.f}, std::pair{90.f, 250.f}, std::pair{0.f, 60.f}}) {
      const std::string what = std::string(name) + " " + std::to_string(low) + "/" + std::to_string(high);
      const auto want16 = model_derivative(dx16, dy16, low, high);
      ASSERT_GT(count_edges(want16), 1000u);
      expect_both_paths(want16, dst, [&] { return call_derivative(dx16, dy16, dst, low, high); },
                        what + " 16s");
      const auto want32 = model_derivative(dx32, dy32, low / 3, high / 3);
      expect_both_paths(want32, dst, [&] { return call_derivative(dx32, dy32, dst, low / 3, high / 3); },
                        what + " 32f");
    }
    for (const BorderCase& c : {BorderCase{2, 33, BorderRepl, 0, NormTypeL1, 60.f, 180.f},
                                BorderCase{2, 33, BorderConst, 200, NormTypeL2, 45.f, 140.f},
                                BorderCase{5, 33, BorderRepl, 0, NormTypeL2, 300.f, 900.f},
                                BorderCase{2, 55, BorderInMem, 9, NormTypeL1, 700.f, 2000.f},
                                BorderCase{2, 55, BorderRepl, 0, NormTypeL2, 500.f, 1500.f}}) {
      const auto want = model_border(src, c.kind, c.mask == 55 ? 5 : 3, {c.border, c.value}, c.norm,
                                     c.low, c.high);
      ASSERT_GT(count_edges(want), 1000u);
      expect_both_paths(want, dst, [&] { return call_border(src, dst, c); },
                        std::string(name) + " border kind " + std::to_string(c.kind) + " mask " +
                            std::to_string(c.mask) + " norm " + std::to_string(c.norm));
    }
  }
}

// Random derivatives at every tail length and small heights: ties (small
// values), saturation and -32768 (full range), signed zeros; buffers of the
// exact size at every misalignment, regions flush against guard pages.
TEST(Canny, RandomDerivatives) {
  std::mt19937 rng(5);
  int case_no = 0;
  for (int h = 1; h <= 4; ++h)
    for (int w = 1; w <= 70; w += (w < 36 ? 1 : 7)) {
      const Flush flush = case_no % 2 ? Flush::Begin : Flush::End;
      const int misalign = case_no % 32;
      ++case_no;
      GuardedImage<int16_t> dx(w, h, 1, 0, flush), dy(w, h, 1, 4, flush);
      GuardedImage<float> fx(w, h, 1, 8, flush), fy(w, h, 1, 0, flush);
      GuardedImage<uint8_t> dst(w, h, 1, case_no % 3, flush);
      const bool full = case_no % 4 == 0;
      std::uniform_int_distribution<int> small(-12, 12), wide(-32768, 32767);
      dx.fill([&](int, int, int) { return full ? wide(rng) : small(rng); });
      dy.fill([&](int, int, int) { return full ? wide(rng) : small(rng); });
      fx.fill([&](int x, int y, int) { return (x + y) % 7 == 0 ? -0.f : float(dx.at(x, y)) * 0.75f; });
      fy.fill([&](int x, int y, int) { return float(dy.at(x, y)) * 0.75f; });
      const float low = full ? 20000.5f : 6.7f, high = full ? 40000.f : 14.2f;
      const std::string what = std::to_string(w) + "x" + std::to_string(h);
      expect_both_paths(model_derivative(dx, dy, low, high), dst,
                        [&] { return call_derivative(dx, dy, dst, low, high, misalign); }, what + " 16s");
      expect_both_paths(model_derivative(fx, fy, low * 0.75f, high * 0.75f), dst,
                        [&] { return call_derivative(fx, fy, dst, low * 0.75f, high * 0.75f, misalign); },
                        what + " 32f");
    }
}

// 16s: thresholds truncate and compare strictly; 32f keeps a magnitude equal to
// low; a run of equal magnitudes keeps its leftmost (horizontal gradient) or
// topmost (vertical gradient) pixel.
TEST(Canny, ThresholdsAndTiesOfTheDerivativeVariants) {
  // Column 2 holds horizontal-gradient maxima 100 (seed), 11, 10, 11 downwards.
  GuardedImage<int16_t> dx(5, 4), dy(5, 4);
  GuardedImage<float> fx(5, 4), fy(5, 4);
  GuardedImage<uint8_t> dst(5, 4);
  const int col[4] = {100, 11, 10, 11};
  dx.fill([&](int x, int y, int) { return x == 2 ? (y % 2 ? -col[y] : col[y]) : 0; });
  dy.fill([](int, int, int) { return 0; });
  fx.fill([&](int x, int y, int) { return float(dx.at(x, y)); });
  fy.fill([](int, int, int) { return 0.f; });
  auto column = [&] {
    std::vector<int> c;
    for (int y = 0; y < 4; ++y) c.push_back(dst.at(2, y));
    return c;
  };
  for (bool reference : {false, true}) {
    std::unique_ptr<ReferenceKernels> use_ref(reference ? new ReferenceKernels : nullptr);
    ASSERT_EQ(call_derivative(dx, dy, dst, 10.9f, 99.9f), StatusOk);
    EXPECT_EQ(column(), (std::vector<int>{255, 255, 0, 0}));  // 10.9 acts as 10; 99.9 as 99
    ASSERT_EQ(call_derivative(dx, dy, dst, 10.f, 100.f), StatusOk);
    EXPECT_EQ(count_edges(dst.pixels()), 0u);  // 100 is not above trunc(100)
    ASSERT_EQ(call_derivative(fx, fy, dst, 10.f, 99.5f), StatusOk);
    EXPECT_EQ(column(), (std::vector<int>{255, 255, 255, 255}));  // 10 >= 10 stays
    ASSERT_EQ(call_derivative(fx, fy, dst, 10.5f, 99.5f), StatusOk);
    EXPECT_EQ(column(), (std::vector<int>{255, 255, 0, 0}));
  }
  // |-32768| + |-32768| saturates to 65535 (a seed above 65534); |-32768| alone is 32768.
  GuardedImage<int16_t> sx(3, 1), sy(3, 1);
  GuardedImage<uint8_t> sdst(3, 1);
  sx.fill([](int x, int, int) { return x == 1 ? 0 : -32768; });
  sy.fill([](int x, int, int) { return x == 0 ? -32768 : 0; });
  for (bool reference : {false, true}) {
    std::unique_ptr<ReferenceKernels> use_ref(reference ? new ReferenceKernels : nullptr);
    ASSERT_EQ(call_derivative(sx, sy, sdst, 0.f, 65534.f), StatusOk);
    EXPECT_EQ(sdst.pixels(), (std::vector<uint8_t>{255, 0, 0}));
    ASSERT_EQ(call_derivative(sx, sy, sdst, 0.f, 32767.5f), StatusOk);
    EXPECT_EQ(sdst.pixels(), (std::vector<uint8_t>{255, 0, 255}));
    ASSERT_EQ(call_derivative(sx, sy, sdst, 65535.f, 65535.f), StatusOk);
    EXPECT_EQ(count_edges(sdst.pixels()), 0u);
  }
  // Equal magnitudes 50 along row 1 (horizontal gradient) and down column 6
  // (vertical gradient) keep only their first pixel.
  GuardedImage<int16_t> ex(8, 6), ey(8, 6);
  ex.fill([](int x, int y, int) { return y == 1 && x >= 1 && x <= 4 ? 50 : 0; });
  ey.fill([](int x, int y, int) { return x == 6 && y >= 1 ? -50 : 0; });
  GuardedImage<uint8_t> edst(8, 6);
  for (bool reference : {false, true}) {
    std::unique_ptr<ReferenceKernels> use_ref(reference ? new ReferenceKernels : nullptr);
    ASSERT_EQ(call_derivative(ex, ey, edst, 1.f, 10.f), StatusOk);
    std::vector<uint8_t> want(48, 0);
    want[1 * 8 + 1] = 255;
    want[1 * 8 + 6] = 255;
    EXPECT_EQ(edst.pixels(), want);
  }
}

// Two parallel edges joined only by weak candidates are both marked from one
// seed; a weak chain touching no seed stays 0. low == high adds no weak pixel.
TEST(Canny, HysteresisJoinsOnlyThroughCandidates) {
  const int w = 12, h = 9;
  GuardedImage<int16_t> dx(w, h), dy(w, h);
  // Columns 2 and 6: horizontal-gradient ridges (2 holds one seed of 90 and
  // 30 elsewhere, 6 holds 40). Row 4 between them: vertical-gradient
  // candidates of 30. Column 10: a weak ridge of its own.
  dx.fill([](int x, int y, int) { return x == 2 ? (y == 0 ? 90 : 30) : x == 6 ? 40 : x == 10 ? 30 : 0; });
  dy.fill([](int x, int y, int) { return (y == 4 && x > 2 && x < 6) ? 30 : 0; });
  GuardedImage<uint8_t> dst(w, h);
  for (bool reference : {false, true}) {
    std::unique_ptr<ReferenceKernels> use_ref(reference ? new ReferenceKernels : nullptr);
    ASSERT_EQ(call_derivative(dx, dy, dst, 20.f, 50.f), StatusOk);
    for (int y = 0; y < h; ++y) {
      EXPECT_EQ(dst.at(2, y), 255) << y;
      EXPECT_EQ(dst.at(6, y), 255) << y;
      EXPECT_EQ(dst.at(10, y), 0) << y;
    }
    EXPECT_EQ(dst.at(4, 4), 255);
    EXPECT_EQ(count_edges(dst.pixels()), size_t(2 * h + 3));
    EXPECT_EQ(dst.pixels(), model_derivative(dx, dy, 20.f, 50.f));
    // low == high: only the seed.
    ASSERT_EQ(call_derivative(dx, dy, dst, 50.f, 50.f), StatusOk);
    EXPECT_EQ(count_edges(dst.pixels()), 1u);
    EXPECT_EQ(dst.at(2, 0), 255);
    // Cut the bridge: the second ridge is lost, (3, 4) stays with the first.
    GuardedImage<int16_t> cut(w, h);
    cut.fill([&](int x, int y, int) { return x == 4 ? 0 : dy.at(x, y); });
    ASSERT_EQ(call_derivative(dx, cut, dst, 20.f, 50.f), StatusOk);
    EXPECT_EQ(count_edges(dst.pixels()), size_t(h + 1));
  }
}

// A one-pixel-wide region inside a wider image: the columns beside it hold huge
// derivatives that must count as magnitude 0; the region ends at a guard page.
TEST(Canny, OnePixelWideRegions) {
  for (int h : {1, 2, 17, 40}) {
    GuardedImage<int16_t> dx(1, h, 1, 0, Flush::End, 1), dy(1, h, 1, 0, Flush::End, 1);
    GuardedImage<float> fx(1, h, 1, 0, Flush::Begin, 1), fy(1, h, 1, 0, Flush::Begin, 1);
    std::mt19937 rng{uint32_t(h)};
    // Margins included: everything around the region is huge.
    for (int y = -1; y <= h; ++y)
      for (int x = -1; x <= 1; ++x) {
        const bool inside = x == 0 && y >= 0 && y < h;
        const int v = inside ? int(rng() % 60) - 30 : 30000;
        dx.row(y)[x] = int16_t(v);
        dy.row(y)[x] = int16_t(inside ? int(rng() % 60) - 30 : 30000);
        fx.row(y)[x] = float(dx.row(y)[x]);
        fy.row(y)[x] = float(dy.row(y)[x]);
      }
    GuardedImage<uint8_t> dst(1, h);
    expect_both_paths(model_derivative(dx, dy, 5.f, 30.f), dst,
                      [&] { return call_derivative(dx, dy, dst, 5.f, 30.f); }, "16s h " + std::to_string(h));
    expect_both_paths(model_derivative(fx, fy, 5.f, 30.f), dst,
                      [&] { return call_derivative(fx, fy, dst, 5.f, 30.f); }, "32f h " + std::to_string(h));
  }
}

// Constant derivatives give nothing; a region of 65533 columns switches to the
// 32-bit stack form and still fits the reported buffer.
TEST(Canny, ConstantInputAndWideStackForm) {
  GuardedImage<int16_t> z(33, 5);
  z.fill([](int, int, int) { return 0; });
  GuardedImage<uint8_t> dst(33, 5);
  ASSERT_EQ(call_derivative(z, z, dst, 0.f, 0.f), StatusOk);
  EXPECT_EQ(count_edges(dst.pixels()), 0u);
  for (int w : {65532, 65533}) {
    GuardedImage<int16_t> dx(w, 3), dy(w, 3);
    std::mt19937 rng{uint32_t(w)};
    dx.fill([&](int, int, int) { return int(rng() % 200) - 100; });
    dy.fill([&](int, int, int) { return int(rng() % 200) - 100; });
    GuardedImage<uint8_t> d(w, 3);
    expect_both_paths(model_derivative(dx, dy, 60.f, 150.f), d,
                      [&] { return call_derivative(dx, dy, d, 60.f, 150.f); }, std::to_string(w));
  }
}

// Border variant over every kind, mask, norm and border rule, with regions
// smaller than the mask (the bordered copy) and sides read from memory. The
// margin around the region holds values no generated border produces, so a
// read of an unflagged side shows; without a margin any outside read faults.
TEST(Canny, BorderRulesAndSmallRegions) {
  const int flag_sets[] = {0, BorderInMemTop, BorderInMemBottom | BorderInMemLeft, BorderInMemRight,
                           BorderInMemTop | BorderInMemBottom | BorderInMemLeft | BorderInMemRight};
  const ImageSize sizes[] = {{1, 1}, {2, 7}, {7, 2}, {4, 4}, {5, 6}, {8, 3}, {9, 9}, {37, 11}, {70, 5}};
  std::mt19937 rng(11);
  int case_no = 0;
  for (ImageSize sz : sizes)
    for (int flags : flag_sets)
      for (int mode : {BorderConst, BorderRepl, BorderInMem}) {
        const int margin = flags ? 2 : 0;
        const Flush flush = case_no++ % 2 ? Flush::Begin : Flush::End;
        GuardedImage<uint8_t> src(sz.width, sz.height, 1, 3, flush, margin);
        GuardedImage<uint8_t> dst(sz.width, sz.height, 1, 0, flush);
        for (int y = -margin; y < sz.height + margin; ++y)
          for (int x = -margin; x < sz.width + margin; ++x) {
            const bool inside = x >= 0 && y >= 0 && x < sz.width && y < sz.height;
            // Blocks of random gray with random steps; the margin is bright.
            src.row(y)[x] = uint8_t(inside ? ((x / 3 + y / 2) % 2 ? 40 : 160) + rng() % 50
                                           : 230 + rng() % 25);
          }
        for (int kind : {DifferentialKernelSobel, DifferentialKernelScharr})
          for (int mask : {33, 55}) {
            if (kind == DifferentialKernelScharr && mask == 55) continue;
            for (int norm : {NormTypeL1, NormTypeL2}) {
              const float scale = mask == 55 ? 16.f : kind == DifferentialKernelScharr ? 16.f : 4.f;
              const BorderCase c{kind, mask, mode | flags, uint8_t(rng() % 256), norm,
                                 20.f * scale, 60.f * scale};
              const std::string what = std::to_string(sz.width) + "x" + std::to_string(sz.height) +
                                       " mode " + std::to_string(mode | flags) + " kind " +
                                       std::to_string(kind) + " mask " + std::to_string(mask) +
                                       " norm " + std::to_string(norm);
              expect_both_paths(model_border(src, kind, mask == 55 ? 5 : 3, {c.border, c.value}, norm,
                                             c.low, c.high),
                                dst, [&] { return call_border(src, dst, c, 0, case_no % 32); }, what);
            }
          }
      }
}

// Border thresholds: a step of 10 gives L1 magnitude 40 on the two columns
// beside it, of which the left one survives (strict left, non-strict right);
// a magnitude equal to low is dropped. Border type 0x16 is accepted.
TEST(Canny, BorderThresholdsAndTies) {
  GuardedImage<uint8_t> src(12, 6, 1, 0, Flush::End, 1), dst(12, 6);
  src.fill([](int x, int, int) { return x < 6 ? 100 : 110; });
  for (bool reference : {false, true}) {
    std::unique_ptr<ReferenceKernels> use_ref(reference ? new ReferenceKernels : nullptr);
    ASSERT_EQ(call_border(src, dst, {2, 33, BorderRepl, 0, NormTypeL1, 39.9f, 39.9f}), StatusOk);
    std::vector<uint8_t> want(72, 0);
    for (int y = 0; y < 6; ++y) want[size_t(y) * 12 + 5] = 255;
    EXPECT_EQ(dst.pixels(), want);
    ASSERT_EQ(call_border(src, dst, {2, 33, BorderRepl, 0, NormTypeL1, 40.f, 40.f}), StatusOk);
    EXPECT_EQ(count_edges(dst.pixels()), 0u);
    ASSERT_EQ(call_border(src, dst, {2, 33, 0x16, 100, NormTypeL1, 39.f, 39.5f}), StatusOk);
  }
  // A constant image with a matching constant border has no edges; a
  // different border value makes the frame an edge.
  GuardedImage<uint8_t> flat(20, 10), out(20, 10);
  flat.fill([](int, int, int) { return 90; });
  ASSERT_EQ(call_border(flat, out, {5, 33, BorderConst, 90, NormTypeL2, 1.f, 2.f}), StatusOk);
  EXPECT_EQ(count_edges(out.pixels()), 0u);
  ASSERT_EQ(call_border(flat, out, {5, 33, BorderConst, 0, NormTypeL2, 1.f, 2.f}), StatusOk);
  EXPECT_EQ(out.pixels(), model_border(flat, 5, 3, {BorderConst, 0}, NormTypeL2, 1.f, 2.f));
  EXPECT_GT(count_edges(out.pixels()), 0u);
}

// The stack guard: with room for only a few pairs the hysteresis still reaches
// every connected candidate.
TEST(Canny, BorderStackGuard) {
  const zuv::test::GrayImage img = zuv::test::read_png_gray(zuv::test::sample_path("coins.png"));
  ASSERT_GT(img.width, 0);
  GuardedImage<uint8_t> src(img.width, img.height), dst(img.width, img.height);
  src.fill([&](int x, int y, int) { return img.at(x, y); });
  const BorderCase c{2, 33, BorderRepl, 0, NormTypeL2, 30.f, 120.f};
  const auto want = model_border(src, 2, 3, {BorderRepl, 0}, NormTypeL2, 30.f, 120.f);
  for (size_t pairs : {size_t(1), size_t(2), size_t(7), size_t(100)})
    expect_both_paths(want, dst, [&] { return call_border(src, dst, c, pairs); },
                      "stack of " + std::to_string(pairs));
}

// Check order; every refused call leaves the destination as it was.
TEST(Canny, RefusedArgumentsWriteNothing) {
  GuardedImage<int16_t> d16(8, 3);
  GuardedImage<float> d32(8, 3);
  GuardedImage<uint8_t> dst(8, 3), src(8, 3, 1, 0, Flush::End, 1);
  std::vector<uint8_t> buf(1 << 16);
  uint8_t* b = buf.data();
  const ImageSize roi{8, 3};
  int32_t n = 0;
  EXPECT_EQ(zuviCannyGetSize({0, 3}, nullptr), StatusNullPointer);
  EXPECT_EQ(zuviCannyGetSize({0, 3}, &n), StatusSize);
  EXPECT_EQ(zuviCannyGetSize({3, 0}, &n), StatusSize);

  auto c16 = [&](const int16_t* dx, int dxs, int dys, uint8_t* d, int ds, ImageSize r, uint8_t* buffer,
                 float low, float high) {
    const int16_t* dy = d16.data();
    return [=] { return zuviCanny_16s8u_C1R(dx, dxs, dy, dys, d, ds, r, buffer, low, high); };
  };
  expect_refused(StatusNullPointer, c16(nullptr, 16, 16, dst.data(), 8, {0, 3}, b, 1, 2), {dst});
  expect_refused(StatusNullPointer, c16(d16.data(), 16, 16, nullptr, 8, roi, b, 1, 2), {dst});
  expect_refused(StatusNullPointer, c16(d16.data(), 16, 16, dst.data(), 8, {0, 3}, nullptr, -1, 2), {dst});
  expect_refused(StatusSize, c16(d16.data(), 1, 1, dst.data(), 1, {0, 3}, b, -1, 2), {dst});
  expect_refused(StatusSize, c16(d16.data(), 1, 1, dst.data(), 1, {8, 0}, b, -1, 2), {dst});
  expect_refused(StatusStep, c16(d16.data(), 14, 16, dst.data(), 8, roi, b, 1, 2), {dst});
  expect_refused(StatusStep, c16(d16.data(), 17, 14, dst.data(), 8, roi, b, 1, 2), {dst});
  // The destination's step test comes before the derivatives' evenness.
  expect_refused(StatusStep, c16(d16.data(), 17, 17, dst.data(), 7, roi, b, 1, 2), {dst});
  expect_refused(StatusNotEvenStep, c16(d16.data(), 16, 17, dst.data(), 8, roi, b, -1, 2), {dst});
  expect_refused(StatusBadArgument, c16(d16.data(), 16, 16, dst.data(), 8, roi, b, -0.5f, 2), {dst});
  expect_refused(StatusBadArgument, c16(d16.data(), 16, 16, dst.data(), 8, roi, b, 3, 2), {dst});
  EXPECT_EQ(c16(d16.data(), 16, 16, dst.data(), 8, roi, b, 2, 2)(), StatusOk);
  expect_refused(StatusNotEvenStep, [&] {
    return zuviCanny_32f8u_C1R(d32.data(), 34, d32.data(), 32, dst.data(), 8, roi, b, 1, 2); }, {dst});
  expect_refused(StatusStep, [&] {
    return zuviCanny_32f8u_C1R(d32.data(), 34, d32.data(), 30, dst.data(), 8, roi, b, 1, 2); }, {dst});
  expect_refused(StatusNullPointer, [&] {
    return zuviCanny_32f8u_C1R(d32.data(), 32, nullptr, 32, dst.data(), 8, roi, b, 1, 2); }, {dst});

  EXPECT_EQ(zuviCannyBorderGetSize(roi, 2, 34, 0, nullptr), StatusNullPointer);
  EXPECT_EQ(zuviCannyBorderGetSize({0, 1}, 2, 34, 0, &n), StatusSize);
  EXPECT_EQ(zuviCannyBorderGetSize(roi, 2, 35, 0, &n), StatusMaskSize);
  EXPECT_EQ(zuviCannyBorderGetSize(roi, 5, 55, 0, &n), StatusOk);  // the kind is not examined

  const int src_step = src.step();
  auto cb = [&](const uint8_t* s, uint8_t* d, ImageSize r, int kind, int mask, int border, int norm,
                uint8_t* buffer, float low, float high) {
    return [=] { return zuviCannyBorder_8u_C1R(s, src_step, d, 8, r, kind, mask, border, 0, norm, buffer, low, high); };
  };
  // The mask is tested before any pointer.
  expect_refused(StatusMaskSize, cb(nullptr, nullptr, {0, 0}, 5, 55, 0, 2, nullptr, 1, 2), {dst});
  expect_refused(StatusMaskSize, cb(nullptr, dst.data(), roi, 2, 53, 0, 2, b, 1, 2), {dst});
  expect_refused(StatusNullPointer, cb(nullptr, dst.data(), {0, 0}, 9, 55, 2, 2, b, 1, 2), {dst});
  expect_refused(StatusNullPointer, cb(src.data(), dst.data(), roi, 2, 33, 0, 2, nullptr, 1, 2), {dst});
  expect_refused(StatusSize, cb(src.data(), dst.data(), {8, 0}, 9, 33, 2, 3, b, -1, 2), {dst});
  expect_refused(StatusBadArgument, cb(src.data(), dst.data(), roi, 8, 33, 2, 2, b, 1, 2), {dst});
  expect_refused(StatusBadArgument, cb(src.data(), dst.data(), roi, 2, 33, 2, 1, b, 1, 2), {dst});
  expect_refused(StatusBadArgument, cb(src.data(), dst.data(), roi, 2, 33, 3, 4, b, -1, 2), {dst});
  expect_refused(StatusBadArgument, cb(src.data(), dst.data(), roi, 5, 33, 0, 4, b, 3, 2), {dst});
  for (int border : {2, 3, 4, 5, 7, 0x13, 15})
    expect_refused(StatusBorder, cb(src.data(), dst.data(), roi, 2, 33, border, 2, b, 1, 2), {dst});
  EXPECT_EQ(cb(src.data(), dst.data(), roi, 2, 33, 0x16, 2, b, 1, 2)(), StatusOk);
}

}  // namespace
