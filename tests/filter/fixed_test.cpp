// SPDX-License-Identifier: BSD-3-Clause
// Fixed-kernel filters: 2-D masks under every border rule, vector against reference,
// thread-count invariance, check order, buffer sizes and the Sobel kernel generator.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <utility>
#include <random>
#include <vector>

#include "filter/fixed.h"
#include "filter/mask_reference.h"

namespace {

using namespace zuv::test;
using zuv::derivative::Kind;
using Query = Status (*)(ImageSize, int, int*);
#define X(name, kind, Ts, Td) name,
const Query kQueries[] = {ZUV_FIXED_QUERY_TABLE(X)};
#undef X

Mask mask_of(Kind kind, int k) {
  if (kind == Kind::SobelCross)
    return k == 3 ? outer({1, 0, -1}, {-1, 0, 1}) : outer({1, 2, 0, -2, -1}, {-1, -2, 0, 2, 1});
  if (kind == Kind::Laplacian && k == 3) return {3, {2, 0, 2, 0, -8, 0, 2, 0, 2}};
  if (kind == Kind::Laplacian) return {5, {2, 4, 4, 4, 2, 4, 0, -8, 0, 4, 4, -8, -24, -8, 4, 4, 0, -8, 0, 4, 2, 4, 4, 4, 2}};
  return {k, std::vector<int>(size_t(k) * k, 1)};
}

// The destination value from the mask sum: Lowpass scales it by the destination's rule.
template <class Td>
std::function<double(double)> finish(Kind kind, int k) {
  if (kind != Kind::Lowpass) return nullptr;
  return [k](double sum) {
    if constexpr (std::is_same_v<Td, float>) return double(float(sum) * (k == 3 ? 0.11111111f : 0.04f));
    const int64_t s = int64_t(sum);
    return double(std::clamp<int64_t>(k == 3 ? ((s + 5) * 7280) >> 16 : (s * 2621) >> 16, 0, 255));
  };
}

// The buffer query of the filter of this kind and source type.
template <class Ts>
auto bytes_of(Kind kind) {
  return [kind](ImageSize roi, int mask) {
    int bytes = 0;
#define X(name, kd, S, D) \
  if (Kind::kd == kind && std::is_same_v<S, Ts>) { EXPECT_EQ(name(roi, mask, &bytes), StatusOk); }
    ZUV_FIXED_QUERY_TABLE(X)
#undef X
    return bytes;
  };
}

// Every mask size of every filter over sizes and borders; with `bits`, the
// vector kernels also give the reference's bits on non-integer floats.
void expect_all_match_masks(const std::vector<ImageSize>& sizes, const std::vector<int>& borders,
                            const GuardedImage<float>* bits = nullptr) {
#define X(name, kind, Ts, Td)                                                                                \
  for (int k : {3, 5}) {                                                                                     \
    SCOPED_TRACE(#name);                                                                                     \
    expect_matches_mask<Ts, Td>(name, bytes_of<Ts>(Kind::kind), mask_of(Kind::kind, k), sizes, borders,     \
                                finish<Td>(Kind::kind, k));                                                  \
    if (bits) expect_reference_bits<Ts>(name, bytes_of<Ts>(Kind::kind), *bits, k * 11, {0x00, 0x01, 0x03});  \
  }
  ZUV_FIXED_TABLE(X)
#undef X
}

// BorderInMem and every mode with all four flags read memory only; a flag
// makes higher bits harmless.
TEST(Fixed, MatchesMasksUnderEveryBorder) {
  std::vector<int> borders = border_cases(false);
  borders.insert(borders.end(), {0x110, 0xF0, 0xF3, 0xFF16});
  std::mt19937 rng(17);
  GuardedImage<float> bits(300, 260);
  bits.fill_random(rng);
  expect_all_match_masks({{1, 1}, {1, 9}, {9, 1}, {2, 3}, {4, 4}, {5, 5}, {37, 6}, {70, 3}, {66, 2}, {33, 17}},
                         borders, &bits);
}

// Large enough to run threaded on two threads; every edge against the masks.
TEST(Fixed, LargeImageMatchesMasks) {
  ThreadCount two(2);
  expect_all_match_masks({{513, 517}}, {0x03, 0x31});
}

// Stripes read their neighbours' rows as in-memory borders: the bytes are the
// same for every thread count, including in-memory and constant borders.
TEST(Fixed, ThreadCountInvariance) {
  std::mt19937 rng(23);
  auto expect_thread_invariance = [&](auto f, Kind kind, auto ts, auto td) {
    using Ts = decltype(ts);
    using Td = decltype(td);
    for (const ImageSize sz : {ImageSize{300, 301}, ImageSize{257, 1030}}) {
      GuardedImage<Ts> src(sz.width, sz.height, 1, 0, Flush::End, 2);
      fill_with_margin(src, 2, [&] { return rng() % 256; });
      if constexpr (std::is_same_v<Ts, float>) src.fill_random(rng);
      for (int k : {3, 5})
        for (int bt : {0x00, 0x03, 0x06, 0x21}) {
          std::vector<Td> serial;
          for (int t : {1, 2, 3, 8}) {
            ThreadCount n(t);
            const std::vector<Td> got = run_filter<Td>(f, bytes_of<Ts>(kind)(sz, k * 11), src, k * 11, bt, Ts(9), Flush::End);
            if (t == 1) serial = got;
            ASSERT_TRUE(got == serial) << "threads " << t << " k " << k << " border " << bt << " height " << sz.height;
          }
        }
    }
  };
#define X(name, kind, Ts, Td) { SCOPED_TRACE(#name); expect_thread_invariance(name, Kind::kind, Ts(), Td()); }
  ZUV_FIXED_TABLE(X)
#undef X
}

// Anchors of the 8u Lowpass rounding and of the masks: a constant stays itself
// under 3x3 Lowpass; SobelCross of S = x * y is -4 wherever the 3x3 window is inside.
TEST(Fixed, ConstantAndProductImages) {
  GuardedImage<uint8_t> src(20, 7), low(20, 7);
  std::vector<uint8_t> buf(1 << 20);
  for (int c = 0; c < 256; ++c) {
    src.fill([&](int, int, int) { return c; });
    ASSERT_EQ(zuviFilterLowpassBorder_8u_C1R(src.data(), src.step(), low.data(), low.step(), src.size(), MaskSize3x3,
                                             BorderMirror, 0, buf.data()), StatusOk);
    for (uint8_t v : low.pixels()) ASSERT_EQ(v, c);
  }
  GuardedImage<float> s32(40, 30);
  s32.fill([](int x, int y, int) { return x * y; });
  const std::vector<float> d = run_filter<float>(zuviFilterSobelCrossBorder_32f_C1R, bytes_of<float>(Kind::SobelCross)(
                                                     s32.size(), 33), s32, 33, BorderRepl, 0.f, Flush::End);
  for (int y = 1; y < 29; ++y)
    for (int x = 1; x < 39; ++x) ASSERT_EQ(d[size_t(y) * 40 + x], -4.f);
}

// The float cross derivative is the row correlation with (-1, -2, 0, 2, 1) and
// the column correlation with (1, 2, 0, -2, -1), each summed tap by tap in tap
// order in single precision (the pipelines' order); checked bit for bit on
// non-integer pixels with replicated borders, and 0 * inf makes NaN.
TEST(Fixed, FloatCrossDerivativeSumsTapByTap) {
  for (int k : {3, 5}) {
    const std::vector<float> a = k == 3 ? std::vector<float>{-1, 0, 1} : std::vector<float>{-1, -2, 0, 2, 1};
    const int r = k / 2, w = 23, h = 9;
    GuardedImage<float> src(w, h);
    std::mt19937 rng{uint32_t(k)};
    src.fill([&](int, int, int) { return std::uniform_real_distribution<float>(-300.f, 300.f)(rng); });
    const auto taps = [&](auto at) {
      float acc = a[0] * at(0);
      for (int j = 1; j < k; ++j) acc = acc + a[size_t(j)] * at(j);
      return acc;
    };
    const auto row = [&](int y, int x) {
      return taps([&](int j) { return src.at(std::clamp(x - r + j, 0, w - 1), std::clamp(y, 0, h - 1)); });
    };
    const int mask = k == 3 ? MaskSize3x3 : MaskSize5x5;
    const int bytes = bytes_of<float>(Kind::SobelCross)(src.size(), mask);
    const std::vector<float> d =
        run_filter<float>(zuviFilterSobelCrossBorder_32f_C1R, bytes, src, mask, BorderRepl, 0.f, Flush::End);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const float want = taps([&](int j) { return -row(y - r + j, x); });
        ASSERT_EQ(d[size_t(y) * w + x], want) << k << ": " << x << "," << y;
      }
    // An infinite pixel meets a zero tap in the row through it.
    src.at(5, 4) = std::numeric_limits<float>::infinity();
    const std::vector<float> e =
        run_filter<float>(zuviFilterSobelCrossBorder_32f_C1R, bytes, src, mask, BorderRepl, 0.f, Flush::End);
    EXPECT_TRUE(std::isnan(e[size_t(4 + 1) * w + 5])) << k;
  }
}

TEST(Fixed, CheckOrder) {
  GuardedImage<uint8_t> s8(8, 6), l8(8, 6);
  GuardedImage<int16_t> d16(8, 6);
  GuardedImage<float> s32(8, 6), d32(8, 6);
  std::vector<uint8_t> buf(1 << 16);
  uint8_t* b = buf.data();
  const ImageSize roi{8, 6};
  const int ss = s8.step(), ds = d16.step(), fs = s32.step(), fd = d32.step();
  auto cross = [&](const uint8_t* s, int sStep, int16_t* d, int dStep, ImageSize r, int m, uint8_t* bb) {
    return zuviFilterSobelCrossBorder_8u16s_C1R(s, sStep, d, dStep, r, m, 1, 0, bb);
  };
  auto lap32 = [&](int sStep, int dStep, int m, int bt) {
    return zuviFilterLaplacianBorder_32f_C1R(s32.data(), sStep, d32.data(), dStep, roi, m, bt, b, 0.f);
  };
  auto low8 = [&](int dStep, int m, int bt) {
    return zuviFilterLowpassBorder_8u_C1R(s8.data(), ss, l8.data(), dStep, roi, m, bt, 0, b);
  };
  expect_refusals(
      {{"null source", [&] { return cross(nullptr, ss, d16.data(), ds, roi, 33, b); }, StatusNullPointer},
       {"null destination", [&] { return cross(s8.data(), ss, nullptr, ds, roi, 33, b); }, StatusNullPointer},
       {"null buffer", [&] { return cross(s8.data(), ss, d16.data(), ds, roi, 33, nullptr); }, StatusNullPointer},
       {"null before size", [&] { return cross(s8.data(), ss, d16.data(), ds, {0, 0}, 33, nullptr); }, StatusNullPointer},
       {"width", [&] { return cross(s8.data(), ss, d16.data(), ds, {0, 6}, 33, b); }, StatusSize},
       {"height", [&] { return cross(s8.data(), ss, d16.data(), ds, {8, 0}, 33, b); }, StatusSize},
       {"size before step", [&] { return cross(s8.data(), 0, d16.data(), ds, {8, -3}, 33, b); }, StatusSize},
       {"source step", [&] { return cross(s8.data(), 7, d16.data(), ds, roi, 33, b); }, StatusStep},
       {"destination step", [&] { return cross(s8.data(), ss, d16.data(), 15, roi, 33, b); }, StatusStep},
       {"16s step of exactly the row", [&] { return cross(s8.data(), 8, d16.data(), 16, roi, 44, b); }, StatusMaskSize},
       {"odd 16s step", [&] { return cross(s8.data(), ss, d16.data(), 17, roi, 33, b); }, StatusNotEvenStep},
       {"step before multiple", [&] { return lap32(34, 31, 33, 1); }, StatusStep},
       {"32f source multiple", [&] { return lap32(fs + 2, fd, 33, 1); }, StatusNotEvenStep},
       {"32f destination multiple", [&] { return lap32(fs, fd + 1, 33, 1); }, StatusNotEvenStep},
       {"8u destination has no multiple", [&] { return low8(9, 35, 1); }, StatusMaskSize},
       {"multiple before mode", [&] { return lap32(fs, fd + 2, 33, 2); }, StatusNotEvenStep},
       {"mode 2", [&] { return low8(ss, 33, 2); }, StatusBadArgument},
       {"mode 4", [&] { return low8(ss, 33, 4); }, StatusBadArgument},
       {"mode 7 with a flag", [&] { return low8(ss, 33, 0x17); }, StatusBadArgument},
       {"high bit without a flag", [&] { return low8(ss, 33, 0x100); }, StatusBadArgument},
       {"bit 0x8000 without a flag", [&] { return low8(ss, 33, 0x8001); }, StatusBadArgument},
       {"mode before mask", [&] { return low8(ss, 44, 2); }, StatusBadArgument},
       {"flags before mask", [&] { return low8(ss, 44, 0x200); }, StatusBadArgument},
       {"mask 35", [&] { return low8(ss, 35, 0x110); }, StatusMaskSize},
       {"mask 53", [&] { return lap32(fs, fd, 53, 0x10000); }, StatusMaskSize}}, d16, d32, l8);
  EXPECT_EQ(low8(ss, 33, 0x110), StatusOk);
  EXPECT_EQ(low8(ss, 55, 0x10003), StatusOk);  // bits above 0x8000 are not looked at
}

// Buffer sizes from the published formulas, for several thread counts.
uint32_t rp8(uint32_t h, uint32_t k, uint32_t t) { return t * (32 * (k + k / 4) + 2 * k + 34 + 32) + 8 * t * (h + k); }
uint32_t rp32(uint32_t h, uint32_t k, uint32_t t) { return t * (96 * k + 64 + 48) + 8 * t * (h + k); }
uint32_t cp16(uint32_t w, uint32_t h, uint32_t k, uint32_t t) { return t * (12 * ((w + 3) / 4 * 4) + 32 + 32) + 8 * t * (h + k); }

TEST(Fixed, BufferSizes) {
  ThreadCount one(1);  // worked by hand: 100 x 10, 3x3, one thread
  int v = 0;
  ASSERT_EQ(zuviFilterSobelCrossGetBufferSize_8u16s_C1R({100, 10}, 33, &v), StatusOk);
  EXPECT_EQ(v, 4704 + 72 + 368 + 272 + 1368 + 32);
  for (int t : {1, 2, 3})
    for (const ImageSize r : {ImageSize{100, 10}, ImageSize{1, 1}, ImageSize{1920, 1080}, ImageSize{4, 300}})
      for (int mask : {33, 55}) {
        ThreadCount tc(t);
        const uint32_t w = uint32_t(r.width), h = uint32_t(r.height), k = mask / 11, T = uint32_t(t);
        const uint32_t w16 = (w + 15) / 16 * 16, F = k == 3 ? 21 : 25, G = k == 3 ? 72 : 120, c32 = 32 * k + 32;
        const bool small = k >= w || k >= h;
        const uint32_t rr = small ? k + h - 1 : (k == 3 ? 3 : 6), cc = small ? w + k - 1 : std::max(w, h) + k - 1;
        const uint32_t want[6] = {
            T * (2 * w16 * F + G + 368 + rp8(h, k, T) + cp16(w, h, k, T) + 32),
            T * (4 * w16 * F + G + 368 + rp32(h, k, T) + c32 + 32),
            T * (4 * w16 * F + 2 * G + 576 + rp8(h, k, T) + cp16(w, h, k, T) + 32),
            (4 * rr * cc + 31) / 32 * 32 + (k == 3 ? 3 : 12) * ((4 * w + 31) / 32 * 32) + 32,
            T * (2 * w16 * F + G + 368 + rp8(h, k, T) + cp16(w, h, k, T) + 32),
            T * (4 * w16 * F + G + 304 + rp32(h, k, T) + c32 + 32),
        };
        for (int i = 0; i < 6; ++i) {
          v = -1;
          ASSERT_EQ(kQueries[i](r, mask, &v), StatusOk) << i;
          EXPECT_EQ(uint32_t(v), want[i]) << "query " << i << " threads " << t << " " << w << "x" << h << " mask " << mask;
        }
      }
  for (Query q : kQueries) {
    v = -1;
    EXPECT_EQ(q({5, 5}, 33, nullptr), StatusNullPointer);
    EXPECT_EQ(q({0, 5}, 44, nullptr), StatusNullPointer);
    EXPECT_EQ(q({0, 5}, 44, &v), StatusSize);
    EXPECT_EQ(q({5, 0}, 44, &v), StatusSize);
    EXPECT_EQ(q({5, 5}, 44, &v), StatusMaskSize);
    EXPECT_EQ(v, -1);
  }
}

TEST(Fixed, GenSobelKernel) {
  const std::pair<std::array<int, 3>, std::vector<int>> cases[] = {  // {n, d, sign}, taps
      {{1, 0, 1}, {1}},           {{3, 0, 1}, {1, 2, 1}},           {{3, 1, 1}, {-1, 0, 1}},
      {{3, 1, -1}, {1, 0, -1}},   {{3, 2, 1}, {1, -2, 1}},          {{5, 1, 1}, {-1, -2, 0, 2, 1}},
      {{5, 2, 1}, {1, 0, -2, 0, 1}}, {{5, 4, 0}, {1, -4, 6, -4, 1}}, {{7, 3, -5}, {1, 0, -3, 0, 3, 0, -1}},
  };
  for (const auto& [a, taps] : cases) {
    std::vector<int16_t> k16(taps.size(), 99);
    std::vector<float> k32(taps.size(), 99.f);
    ASSERT_EQ(zuviGenSobelKernel_16s(k16.data(), a[0], a[1], a[2]), StatusOk);
    ASSERT_EQ(zuviGenSobelKernel_32f(k32.data(), a[0], a[1], a[2]), StatusOk);
    EXPECT_EQ(std::vector<int>(k16.begin(), k16.end()), taps) << a[0] << " " << a[1];
    EXPECT_EQ(k32, std::vector<float>(taps.begin(), taps.end())) << a[0] << " " << a[1];
  }
  // Binomial 18 choose 9 = 48620: exact in float, wrapped in 16 bits.
  std::vector<int16_t> k16(19);
  std::vector<float> k32(19);
  ASSERT_EQ(zuviGenSobelKernel_16s(k16.data(), 19, 0, 1), StatusOk);
  ASSERT_EQ(zuviGenSobelKernel_32f(k32.data(), 19, 0, 1), StatusOk);
  EXPECT_EQ(k32[9], 48620.f);
  EXPECT_EQ(k16[9], int16_t(48620 - 65536));
  float t = 5.f;
  EXPECT_EQ(zuviGenSobelKernel_32f(nullptr, 0, 0, 1), StatusNullPointer);
  for (auto [n, d] : {std::pair{0, 0}, {-1, 0}, {4, 1}, {3, -1}, {3, 3}, {1, 1}})
    EXPECT_EQ(zuviGenSobelKernel_32f(&t, n, d, 1), StatusBadArgument) << n << " " << d;
  EXPECT_EQ(t, 5.f);
}

}  // namespace
