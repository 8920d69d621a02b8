// SPDX-License-Identifier: BSD-3-Clause
// Canny edges: an independent model against all three variants on photographs, random and synthetic
// inputs; thresholds, buffer sizes, narrow regions, border rules, the stack guard and the check order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "features/canny.h"
#include "support/guarded_image.h"
#include "support/png.h"
#include "support/status.h"

namespace {

using namespace zuv::test;
using Edges = std::vector<uint8_t>;

// Model: the stated method written plainly on whole-image arrays.
float from_bits(uint32_t b) { float f; std::memcpy(&f, &b, 4); return f; }
const float kT1 = from_bits(0x3ED413CD);  // tan 22.5
const float kT2 = from_bits(0x401A827A);  // tan 67.5

enum Dir { kH = 1, kOpp = 2, kV = 3, kSame = 4 };

// Thresholded magnitudes and direction codes of a w x h region.
struct Field {
  int w, h;
  std::vector<float> m;  // magnitudes, 0 below the low threshold
  std::vector<int> dir;
  float mag(int x, int y) const { return (x < 0 || y < 0 || x >= w || y >= h) ? 0.f : m[size_t(y) * w + x]; }
};

// Suppression, seeds above `high`, and 8-connected growth through candidates.
Edges edges(const Field& f, float high) {
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
      if (v > high) { out[size_t(y) * w + x] = 255; grow.push_back({x, y}); }
    }
  for (size_t i = 0; i < grow.size(); ++i)
    for (int j = -1; j <= 1; ++j)
      for (int k = -1; k <= 1; ++k) {
        const int nx = grow[i].first + k, ny = grow[i].second + j;
        if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
        const size_t at = size_t(ny) * w + nx;
        if (cand[at] && !out[at]) { out[at] = 255; grow.push_back({nx, ny}); }
      }
  return out;
}

// Model of the derivative variants. 16s: saturated integer sum kept above
// trunc(low), seeds above trunc(high); 32f: kept at or above low.
template <class D>
Edges model_derivative(const GuardedImage<D>& dx, const GuardedImage<D>& dy, float low, float high) {
  constexpr bool s16 = std::is_same_v<D, int16_t>;
  Field f{dx.width(), dx.height(), {}, {}};
  for (int y = 0; y < f.h; ++y)
    for (int x = 0; x < f.w; ++x) {
      const float a = float(dx.at(x, y)), b = float(dy.at(x, y)), ax = std::fabs(a), ay = std::fabs(b);
      float m = s16 ? std::min(ax + ay, 65535.f) : ax + ay;
      if (s16 ? !(m > std::trunc(low)) : !(m >= low)) m = 0.f;
      f.m.push_back(m);
      f.dir.push_back(ay > ax * kT2 ? kV : ay < ax * kT1 ? kH : std::signbit(a) == std::signbit(b) ? kSame : kOpp);
    }
  return edges(f, s16 ? std::trunc(high) : high);
}

// Pixel (x, y) of the source seen through the border rule: read from memory on a
// flagged side, else the edge pixel (replicate) or the value (constant modes 0 and 6).
int bordered(const GuardedImage<uint8_t>& img, int type, uint8_t value, int x, int y) {
  const int w = img.width(), h = img.height();
  const bool row_in = (y >= 0 && y < h) || (y < 0 && (type & BorderInMemTop)) || (y >= h && (type & BorderInMemBottom));
  const bool col_in = (x >= 0 && x < w) || (x < 0 && (type & BorderInMemLeft)) || (x >= w && (type & BorderInMemRight));
  if ((!row_in || !col_in) && (type & 0xF) != BorderRepl) return value;
  return img.at(col_in ? x : std::clamp(x, 0, w - 1), row_in ? y : std::clamp(y, 0, h - 1));
}

struct BorderCase { int kind, mask, border; uint8_t value; int norm; float low, high; };

Edges model_border(const GuardedImage<uint8_t>& src, const BorderCase& c) {
  const int w = src.width(), h = src.height(), k = c.mask == 55 ? 5 : 3, r = k / 2, kind = c.kind;
  // Full 2D dx kernel (dy is its transpose): smoothing column times difference row.
  const std::vector<int> smooth = k == 5 ? std::vector<int>{1, 4, 6, 4, 1}
                                  : kind == DifferentialKernelScharr ? std::vector<int>{3, 10, 3}
                                                                     : std::vector<int>{1, 2, 1};
  const std::vector<int> diff = k == 5 ? std::vector<int>{-1, -2, 0, 2, 1} : std::vector<int>{-1, 0, 1};
  Field f{w, h, {}, {}};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int gx = 0, gy = 0;
      for (int i = 0; i < k; ++i)
        for (int j = 0; j < k; ++j) {
          const int p = bordered(src, c.border, c.value, x - r + j, y - r + i);
          gx += smooth[i] * diff[j] * p;
          gy += smooth[j] * diff[i] * p;
        }
      const float fx = float(gx), fy = float(gy), ax = std::fabs(fx), ay = std::fabs(fy), t = ax * kT1;
      float m = c.norm == NormTypeL2 ? std::sqrt(fx * fx + fy * fy) : float(std::abs(gx) + std::abs(gy));
      f.m.push_back(m > c.low ? m : 0.f);
      f.dir.push_back(ay > std::fma(2.f, ax, t) ? kV : ay < t ? kH : (gx < 0) == (gy < 0) ? kSame : kOpp);
    }
  return edges(f, c.high);
}

// Calls with exactly sized buffers that end at a guard page.
template <class D>
Status call_derivative(const GuardedImage<D>& dx, const GuardedImage<D>& dy, GuardedImage<uint8_t>& dst,
                       float low, float high, int misalign = 0) {
  int32_t n = -1;
  EXPECT_EQ(zuviCannyGetSize(dx.size(), &n), StatusOk);
  GuardedBytes buf(size_t(n) + misalign, Flush::End);
  std::memset(buf.base(), 0x5A, buf.span());
  const auto fn = [] {
    if constexpr (std::is_same_v<D, int16_t>) return zuviCanny_16s8u_C1R; else return zuviCanny_32f8u_C1R;
  }();
  return fn(dx.data(), dx.step(), dy.data(), dy.step(), dst.data(), dst.step(), dx.size(), buf.base() + misalign,
            low, high);
}

// stackPairs != 0 limits the seed stack through the internal entry.
Status call_border(const GuardedImage<uint8_t>& src, GuardedImage<uint8_t>& dst, const BorderCase& c,
                   size_t stackPairs = 0, int misalign = 0) {
  int32_t n = -1;
  EXPECT_EQ(zuviCannyBorderGetSize(src.size(), c.kind, c.mask, 0, &n), StatusOk);
  GuardedBytes buf(size_t(n) + misalign, Flush::End);
  std::memset(buf.base(), 0x5A, buf.span());
  if (stackPairs)
    return zuv::canny::canny_border(src.data(), src.step(), dst.data(), dst.step(), src.size(), c.kind, c.mask,
                                    c.border, c.value, c.norm, buf.base() + misalign, c.low, c.high, stackPairs);
  return zuviCannyBorder_8u_C1R(src.data(), src.step(), dst.data(), dst.step(), src.size(), c.kind, c.mask, c.border,
                                c.value, c.norm, buf.base() + misalign, c.low, c.high);
}

// Runs `call` with the vector kernels and with the reference; both must give
// exactly `want` and leave the destination's padding alone.
template <class Call>
void expect_both_paths(const Edges& want, GuardedImage<uint8_t>& dst, Call call, const std::string& what) {
  for (bool reference : {false, true}) {
    std::optional<ReferenceKernels> use_ref;
    if (reference) use_ref.emplace();
    dst.fill([](int, int, int) { return 77; });
    ASSERT_EQ(call(), StatusOk) << what;
    ASSERT_EQ(dst.pixels(), want) << what << (reference ? " (reference)" : " (vector)");
    ASSERT_TRUE(dst.padding_intact()) << what;
  }
}

template <class D>
void expect_model(const GuardedImage<D>& dx, const GuardedImage<D>& dy, GuardedImage<uint8_t>& dst, float low,
                  float high, const std::string& what, int misalign = 0) {
  expect_both_paths(model_derivative(dx, dy, low, high), dst,
                    [&] { return call_derivative(dx, dy, dst, low, high, misalign); }, what);
}

size_t count_edges(const Edges& v) { return size_t(std::count(v.begin(), v.end(), uint8_t(255))); }

TEST(Canny, BufferSizes) {
  // 5 bytes a bordered pixel, 9 once a side reaches 65533; 32-bit arithmetic wraps.
  for (auto [roi, want] : {std::pair<ImageSize, int32_t>{{1, 1}, 9 * 5 + 16 + 160},
                           {{65532, 2}, 65534 * 4 * 5 + 16 * 65532 + 160}, {{65533, 2}, 65535 * 4 * 9 + 16 * 65533 + 160},
                           {{3, 65533}, 5 * 65535 * 9 + 16 * 3 + 160},
                           {{40000, 40000}, int32_t(uint32_t(40002u * 40002u * 5u + 16u * 40000u + 160u))}}) {
    int32_t n = 0;
    ASSERT_EQ(zuviCannyGetSize(roi, &n), StatusOk);
    EXPECT_EQ(n, want) << roi.width << "x" << roi.height;
  }
  // Border variant: regions smaller than the mask need room for a bordered copy;
  // the kind and the last value are not examined.
  struct Row { ImageSize roi; int kind, mask; int32_t want; };
  for (const Row& r : {Row{{2, 9}, 2, 33, 448}, Row{{3, 3}, 99, 33, 320}, Row{{4, 100}, 5, 55, 5184},
                       Row{{5, 5}, 2, 55, 672}, Row{{1920, 1080}, 5, 55, 10458944}}) {
    int32_t n = 0;
    ASSERT_EQ(zuviCannyBorderGetSize(r.roi, r.kind, r.mask, -7, &n), StatusOk);
    EXPECT_EQ(n, r.want) << r.roi.width << "x" << r.roi.height << " mask " << r.mask;
  }
}

// The sample photographs through all three variants, against the model; with
// room for only a few seed pairs the hysteresis still reaches every connected candidate.
TEST(Canny, SamplePhotographs) {
  for (const char* name : {"camera.png", "coins.png"}) {
    const GrayImage img = read_png_gray(sample_path(name));
    ASSERT_GT(img.width, 0) << name;
    const int w = img.width, h = img.height;
    GuardedImage<uint8_t> src(w, h, 1, 5), dst(w, h, 1, 3);
    src.fill([&](int x, int y, int) { return img.at(x, y); });
    // 3x3 Sobel derivatives with replicated edges (the float variant runs in RandomDerivatives).
    GuardedImage<int16_t> dx16(w, h, 1, 6), dy16(w, h);
    auto p = [&](int x, int y) { return int(img.at(std::clamp(x, 0, w - 1), std::clamp(y, 0, h - 1))); };
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const int gx = p(x + 1, y - 1) - p(x - 1, y - 1) + 2 * (p(x + 1, y) - p(x - 1, y)) + p(x + 1, y + 1) - p(x - 1, y + 1);
        const int gy = p(x - 1, y + 1) - p(x - 1, y - 1) + 2 * (p(x, y + 1) - p(x, y - 1)) + p(x + 1, y + 1) - p(x + 1, y - 1);
        dx16.at(x, y) = int16_t(gx), dy16.at(x, y) = int16_t(gy);
      }
    for (auto [low, high] : {std::pair{40.5f, 120.f}, std::pair{0.f, 60.f}}) {
      const std::string what = std::string(name) + " " + std::to_string(low) + "/" + std::to_string(high);
      const Edges want = model_derivative(dx16, dy16, low, high);
      ASSERT_GT(count_edges(want), 1000u);
      expect_both_paths(want, dst, [&] { return call_derivative(dx16, dy16, dst, low, high); }, what);
    }
    for (const BorderCase& c : {BorderCase{2, 33, BorderConst, 200, NormTypeL1, 45.f, 140.f},
                                BorderCase{5, 33, BorderRepl, 0, NormTypeL2, 300.f, 900.f},
                                BorderCase{2, 55, BorderInMem, 9, NormTypeL2, 700.f, 2000.f}}) {
      const Edges want = model_border(src, c);
      ASSERT_GT(count_edges(want), 1000u);
      for (size_t pairs : {0, 1, 2, 7})  // 0: the export; else the internal entry with that stack limit
        if (pairs == 0 || c.border == BorderRepl)
          expect_both_paths(want, dst, [&] { return call_border(src, dst, c, pairs); },
                            std::string(name) + " kind " + std::to_string(c.kind) + " mask " + std::to_string(c.mask) +
                                " stack " + std::to_string(pairs));
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
      const int misalign = case_no++ % 32;
      GuardedImage<int16_t> dx(w, h, 1, 0, flush), dy(w, h, 1, 4, flush);
      GuardedImage<float> fx(w, h, 1, 8, flush), fy(w, h, 1, 0, flush);
      GuardedImage<uint8_t> dst(w, h, 1, case_no % 3, flush);
      const bool full = case_no % 4 == 0;
      std::uniform_int_distribution<int> values(full ? -32768 : -12, full ? 32767 : 12);
      dx.fill([&](int, int, int) { return values(rng); });
      dy.fill([&](int, int, int) { return values(rng); });
      fx.fill([&](int x, int y, int) { return (x + y) % 7 == 0 ? -0.f : float(dx.at(x, y)) * 0.75f; });
      fy.fill([&](int x, int y, int) { return float(dy.at(x, y)) * 0.75f; });
      const float low = full ? 20000.5f : 6.7f, high = full ? 40000.f : 14.2f;
      const std::string what = std::to_string(w) + "x" + std::to_string(h);
      expect_model(dx, dy, dst, low, high, what + " 16s", misalign);
      expect_model(fx, fy, dst, low * 0.75f, high * 0.75f, what + " 32f", misalign);
    }
}

// Hand-computed derivative cases: exactly which pixels are edges, for the
// exports and for the model.
TEST(Canny, ThresholdsTiesAndHysteresis) {
  using Fn = int (*)(int x, int y);
  // Column 2: horizontal-gradient maxima 100 (seed), 11, 10, 11 downwards.
  const Fn column_dx = [](int x, int y) { return x == 2 ? (y == 0 ? 100 : y == 2 ? 10 : -11) : 0; };
  // -32768 twice saturates to 65535 at x 0; |-32768| alone is 32768 at x 2.
  const Fn sat_dx = [](int x, int) { return x == 1 ? 0 : -32768; };
  const Fn sat_dy = [](int x, int) { return x == 0 ? -32768 : 0; };
  // Columns 2 and 6: horizontal-gradient ridges (2 holds a seed of 90 on row 0
  // and 30 below, 6 holds 40); row 4 between them: vertical-gradient candidates
  // of 30 (cut at x 4 in `cut_dy`); column 10: a weak ridge of its own.
  const Fn ridge_dx = [](int x, int y) { return x == 2 ? (y == 0 ? 90 : 30) : x == 6 ? 40 : x == 10 ? 30 : 0; };
  const Fn bridge_dy = [](int x, int y) { return (y == 4 && x > 2 && x < 6) ? 30 : 0; };
  const Fn cut_dy = [](int x, int y) { return (y == 4 && (x == 3 || x == 5)) ? 30 : 0; };
  const Fn zero = [](int, int) { return 0; };
  struct Case { const char* what; int w, h; Fn dx, dy; bool f32; float low, high; bool (*edge)(int x, int y); };
  const Case cases[] = {
      {"16s: 10.9 acts as 10, 99.9 as 99", 5, 4, column_dx, zero, false, 10.9f, 99.9f,
       [](int x, int y) { return x == 2 && y < 2; }},
      {"16s: 100 is not above trunc(100)", 5, 4, column_dx, zero, false, 10.f, 100.f, [](int, int) { return false; }},
      {"32f: 10 >= 10 stays", 5, 4, column_dx, zero, true, 10.f, 99.5f, [](int x, int) { return x == 2; }},
      {"32f: 10 < 10.5", 5, 4, column_dx, zero, true, 10.5f, 99.5f, [](int x, int y) { return x == 2 && y < 2; }},
      {"saturated seed", 3, 1, sat_dx, sat_dy, false, 0.f, 65534.f, [](int x, int) { return x == 0; }},
      {"32768 seed", 3, 1, sat_dx, sat_dy, false, 0.f, 32767.5f, [](int x, int) { return x != 1; }},
      {"65535 is not above 65535", 3, 1, sat_dx, sat_dy, false, 65535.f, 65535.f, [](int, int) { return false; }},
      // Equal magnitudes 50 along row 1 (horizontal gradient) and down column 6
      // (vertical gradient) keep only their first pixel.
      {"equal runs", 8, 6, [](int x, int y) { return y == 1 && x >= 1 && x <= 4 ? 50 : 0; },
       [](int x, int y) { return x == 6 && y >= 1 ? -50 : 0; }, false, 1.f, 10.f,
       [](int x, int y) { return y == 1 && (x == 1 || x == 6); }},
      {"both ridges through the bridge", 12, 9, ridge_dx, bridge_dy, false, 20.f, 50.f,
       [](int x, int y) { return x == 2 || x == 6 || (y == 4 && x > 2 && x < 6); }},
      {"low == high: only the seed", 12, 9, ridge_dx, bridge_dy, false, 50.f, 50.f,
       [](int x, int y) { return x == 2 && y == 0; }},
      {"bridge cut", 12, 9, ridge_dx, cut_dy, false, 20.f, 50.f,
       [](int x, int y) { return x == 2 || (x == 3 && y == 4); }},
      {"zero derivatives", 33, 5, zero, zero, false, 0.f, 0.f, [](int, int) { return false; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GuardedImage<uint8_t> dst(c.w, c.h);
    Edges want(size_t(c.w) * c.h);
    for (int y = 0; y < c.h; ++y)
      for (int x = 0; x < c.w; ++x) want[size_t(y) * c.w + x] = c.edge(x, y) ? 255 : 0;
    auto check = [&](auto type) {
      GuardedImage<decltype(type)> dx(c.w, c.h), dy(c.w, c.h);
      dx.fill([&](int x, int y, int) { return c.dx(x, y); });
      dy.fill([&](int x, int y, int) { return c.dy(x, y); });
      EXPECT_EQ(model_derivative(dx, dy, c.low, c.high), want) << "model";
      expect_both_paths(want, dst, [&] { return call_derivative(dx, dy, dst, c.low, c.high); }, "");
    };
    if (c.f32) check(0.f);
    else check(int16_t(0));
  }
}

// A one-pixel-wide region inside a wider image: the columns beside it hold huge
// derivatives that must count as magnitude 0; the region ends at a guard page.
TEST(Canny, OnePixelWideRegions) {
  for (int h : {1, 2, 17, 40}) {
    GuardedImage<int16_t> dx(1, h, 1, 0, Flush::End, 1), dy(1, h, 1, 0, Flush::End, 1);
    GuardedImage<float> fx(1, h, 1, 0, Flush::Begin, 1), fy(1, h, 1, 0, Flush::Begin, 1);
    std::mt19937 rng{uint32_t(h)};
    for (int y = -1; y <= h; ++y)
      for (int x = -1; x <= 1; ++x) {
        const bool inside = x == 0 && y >= 0 && y < h;
        fx.row(y)[x] = dx.row(y)[x] = int16_t(inside ? int(rng() % 60) - 30 : 30000);
        fy.row(y)[x] = dy.row(y)[x] = int16_t(inside ? int(rng() % 60) - 30 : 30000);
      }
    GuardedImage<uint8_t> dst(1, h);
    expect_model(dx, dy, dst, 5.f, 30.f, "16s h " + std::to_string(h));
    expect_model(fx, fy, dst, 5.f, 30.f, "32f h " + std::to_string(h));
  }
}

// A region of 65533 columns switches to the 32-bit stack form and still fits
// the reported buffer.
TEST(Canny, WideStackForm) {
  for (int w : {65532, 65533}) {
    GuardedImage<int16_t> dx(w, 3), dy(w, 3);
    std::mt19937 rng{uint32_t(w)};
    dx.fill([&](int, int, int) { return int(rng() % 200) - 100; });
    dy.fill([&](int, int, int) { return int(rng() % 200) - 100; });
    GuardedImage<uint8_t> d(w, 3);
    expect_model(dx, dy, d, 60.f, 150.f, std::to_string(w));
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
        GuardedImage<uint8_t> src(sz.width, sz.height, 1, 3, flush, margin), dst(sz.width, sz.height, 1, 0, flush);
        // Blocks of random gray with random steps; the margin is bright.
        for (int y = -margin; y < sz.height + margin; ++y)
          for (int x = -margin; x < sz.width + margin; ++x)
            src.row(y)[x] = uint8_t(x >= 0 && y >= 0 && x < sz.width && y < sz.height
                                        ? ((x / 3 + y / 2) % 2 ? 40 : 160) + rng() % 50
                                        : 230 + rng() % 25);
        for (auto [kind, mask] : {std::pair{DifferentialKernelSobel, 33}, std::pair{DifferentialKernelSobel, 55},
                                  std::pair{DifferentialKernelScharr, 33}})
          for (int norm : {NormTypeL1, NormTypeL2}) {
            const float scale = kind == DifferentialKernelSobel && mask == 33 ? 4.f : 16.f;
            const BorderCase c{kind, mask, mode | flags, uint8_t(rng() % 256), norm, 20.f * scale, 60.f * scale};
            SCOPED_TRACE(testing::Message() << sz.width << "x" << sz.height << " mode " << c.border << " kind " << kind
                                            << " mask " << mask << " norm " << norm);
            expect_both_paths(model_border(src, c), dst, [&] { return call_border(src, dst, c, 0, case_no % 32); }, "");
          }
      }
}

// Border thresholds: a step of 10 gives L1 magnitude 40 on the two columns
// beside it, of which the left one survives (strict left, non-strict right);
// a magnitude equal to low is dropped. A constant image with a matching
// constant border has no edges.
TEST(Canny, BorderThresholdsAndTies) {
  GuardedImage<uint8_t> step(12, 6, 1, 0, Flush::End, 1), flat(20, 10), dst(12, 6), out(20, 10);
  step.fill([](int x, int, int) { return x < 6 ? 100 : 110; });
  flat.fill([](int, int, int) { return 90; });
  Edges left_column(72, 0), none(72, 0);
  for (int y = 0; y < 6; ++y) left_column[size_t(y) * 12 + 5] = 255;
  const BorderCase strict{2, 33, BorderRepl, 0, NormTypeL1, 39.9f, 39.9f}, tie{2, 33, BorderRepl, 0, NormTypeL1, 40.f, 40.f};
  expect_both_paths(left_column, dst, [&] { return call_border(step, dst, strict); }, "39.9");
  expect_both_paths(none, dst, [&] { return call_border(step, dst, tie); }, "40");
  const BorderCase same{5, 33, BorderConst, 90, NormTypeL2, 1.f, 2.f};
  expect_both_paths(Edges(200, 0), out, [&] { return call_border(flat, out, same); }, "matching border");
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

  auto c16 = [dy = d16.data()](const int16_t* dx, int dxs, int dys, uint8_t* d, int ds, ImageSize r, uint8_t* buffer,
                                float low, float high) {
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
  auto c32 = [=, dx = d32.data(), d = dst.data()](int dxs, const float* dy, int dys) {
    return [=] { return zuviCanny_32f8u_C1R(dx, dxs, dy, dys, d, 8, roi, b, 1, 2); };
  };
  expect_refused(StatusNotEvenStep, c32(34, d32.data(), 32), {dst});
  expect_refused(StatusStep, c32(34, d32.data(), 30), {dst});
  expect_refused(StatusNullPointer, c32(32, nullptr, 32), {dst});

  EXPECT_EQ(zuviCannyBorderGetSize(roi, 2, 34, 0, nullptr), StatusNullPointer);
  EXPECT_EQ(zuviCannyBorderGetSize({0, 1}, 2, 34, 0, &n), StatusSize);
  EXPECT_EQ(zuviCannyBorderGetSize(roi, 2, 35, 0, &n), StatusMaskSize);
  EXPECT_EQ(zuviCannyBorderGetSize(roi, 5, 55, 0, &n), StatusOk);  // the kind is not examined

  auto cb = [step = src.step()](const uint8_t* s, uint8_t* d, ImageSize r, int kind, int mask, int border, int norm,
                                 uint8_t* buffer, float low, float high) {
    return [=] { return zuviCannyBorder_8u_C1R(s, step, d, 8, r, kind, mask, border, 0, norm, buffer, low, high); };
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
