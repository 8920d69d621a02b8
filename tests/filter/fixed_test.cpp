// SPDX-License-Identifier: BSD-3-Clause
// Fixed-kernel filters: 2-D mask reference under every border rule, vector
// against reference, thread-count invariance, check order, buffer sizes and
// the Sobel kernel generator.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "filter/fixed.h"
#include "filter/mask_reference.h"
#include "support/guarded_image.h"
#include "support/status.h"

namespace {

using zuv::derivative::Kind;
using zuv::test::expect_refused;
using zuv::test::Flush;
using zuv::test::GuardedBytes;
using zuv::test::GuardedImage;
using zuv::test::Mask;
using zuv::test::ReferenceKernels;
using zuv::test::Sides;
using zuv::test::ThreadCount;

Mask mask_of(Kind kind, int k) {
  if (kind == Kind::SobelCross) {
    const std::vector<int> a = k == 3 ? std::vector<int>{-1, 0, 1} : std::vector<int>{-1, -2, 0, 2, 1};
    std::vector<int> neg;
    for (int v : a) neg.push_back(-v);
    return zuv::test::outer(neg, a);
  }
  if (kind == Kind::Laplacian) {
    if (k == 3) return {3, {2, 0, 2, 0, -8, 0, 2, 0, 2}};
    return {5, {2, 4, 4, 4, 2, 4, 0, -8, 0, 4, 4, -8, -24, -8, 4, 4, 0, -8, 0, 4, 2, 4, 4, 4, 2}};
  }
  return {k, std::vector<int>(size_t(k) * k, 1)};
}

// The expected destination value from the mask sum.
template <class Td>
double finish(Kind kind, int k, double sum) {
  if (kind != Kind::Lowpass) return sum;
  if constexpr (std::is_same_v<Td, float>) return double(float(sum) * (k == 3 ? 0.11111111f : 0.04f));
  const int64_t s = int64_t(sum);
  const int64_t v = k == 3 ? ((s + 5) * 7280) >> 16 : (s * 2621) >> 16;
  return double(std::clamp<int64_t>(v, 0, 255));
}

using zuv::test::call;
using zuv::test::Filter;
using Query = Status (*)(ImageSize, MaskSize, int*);

Query query_of(Kind kind, bool isFloat) {
#define X(name, kd, Ts, Td) \
  if (Kind::kd == kind && std::is_same_v<Ts, float> == isFloat) return name;
  ZUV_FIXED_QUERY_TABLE(X)
#undef X
  return nullptr;
}

// One call with a buffer of exactly the queried size (guarded at its end).
template <class Ts, class Td>
std::vector<Td> run_case(Filter<Ts, Td> f, Kind kind, int k, const GuardedImage<Ts>& src, int bt,
                         Ts value, Flush flush) {
  int bytes = 0;
  EXPECT_EQ(query_of(kind, std::is_same_v<Ts, float>)(src.size(), k * 11, &bytes), StatusOk);
  GuardedBytes buf(size_t(bytes), flush);
  GuardedImage<Td> dst(src.width(), src.height(), 1, 3 * int(sizeof(Td)), flush);
  EXPECT_EQ((call<Ts, Td>(f, src.data(), src.step(), dst.data(), dst.step(), src.size(), k * 11, bt, value,
                        buf.base())),
            StatusOk);
  EXPECT_TRUE(dst.padding_intact());
  return dst.pixels();
}

template <class Ts>
void fill(GuardedImage<Ts>& img, int margin, std::mt19937& rng) {
  if constexpr (std::is_same_v<Ts, float>) zuv::test::fill_with_margin(img, margin, rng, -500, 500);
  else zuv::test::fill_with_margin(img, margin, rng, 0, 255);
}

template <class Ts, class Td>
void expect_matches_masks(Filter<Ts, Td> f, Kind kind, const std::vector<ImageSize>& sizes,
                          const std::vector<int>& borders) {
  std::mt19937 rng(3);
  for (int k : {3, 5}) {
    const Mask mk = mask_of(kind, k);
    for (const ImageSize& sz : sizes)
      for (int bt : borders) {
        const Sides s = zuv::test::sides_of(bt);
        const int margin = (s.top || s.bottom || s.left || s.right) ? k / 2 : 0;
        const Flush flush = (sz.height + bt) % 2 ? Flush::End : Flush::Begin;
        GuardedImage<Ts> src(sz.width, sz.height, 1, 0, flush, margin);
        fill(src, margin, rng);
        const Ts value = std::is_same_v<Ts, float> ? Ts(13) : Ts(250);
        SCOPED_TRACE(testing::Message() << "k " << k << " size " << sz.width << "x" << sz.height
                                        << " border 0x" << std::hex << bt);
        const std::vector<Td> got = run_case<Ts, Td>(f, kind, k, src, bt, value, flush);
        for (int y = 0; y < sz.height; ++y)
          for (int x = 0; x < sz.width; ++x)
            ASSERT_EQ(double(got[size_t(y) * sz.width + x]),
                      finish<Td>(kind, k, zuv::test::correlate(src, mk, x, y, s, double(value))))
                << "at " << x << "," << y;
        ReferenceKernels useRef;
        ASSERT_EQ((run_case<Ts, Td>(f, kind, k, src, bt, value, flush)), got);
      }
  }
}

TEST(Fixed, MatchesMasksUnderEveryBorder) {
  const std::vector<ImageSize> sizes = {{1, 1}, {1, 9}, {9, 1}, {2, 3}, {4, 4}, {5, 5},
                                        {37, 6}, {70, 3}, {66, 2}, {33, 17}};
  std::vector<int> borders = zuv::test::border_cases(false);
  borders.push_back(0x110);  // a flag with an ignored higher bit
#define X(name, kind, Ts, Td) { SCOPED_TRACE(#name); expect_matches_masks<Ts, Td>(name, Kind::kind, sizes, borders); }
  ZUV_FIXED_TABLE(X)
#undef X
}

// Large enough to run threaded on two threads; every edge against the masks.
TEST(Fixed, LargeImageMatchesMasks) {
  ThreadCount two(2);
#define X(name, kind, Ts, Td) { SCOPED_TRACE(#name); expect_matches_masks<Ts, Td>(name, Kind::kind, {{513, 517}}, {0x03, 0x31}); }
  ZUV_FIXED_TABLE(X)
#undef X
}

// Non-integer floats: the vector kernels keep the reference's order of operations.
template <class Ts, class Td>
void expect_float_bits(Filter<Ts, Td> f, Kind kind) {
  if constexpr (std::is_same_v<Ts, float>) {
    std::mt19937 rng(17);
    GuardedImage<float> src(300, 260);
    src.fill_random(rng);
    for (int k : {3, 5})
      for (int bt : {0x00, 0x01, 0x03}) {
        const std::vector<float> vec = run_case<Ts, Td>(f, kind, k, src, bt, 0.25f, Flush::End);
        ReferenceKernels useRef;
        const std::vector<float> ref = run_case<Ts, Td>(f, kind, k, src, bt, 0.25f, Flush::End);
        ASSERT_EQ(0, std::memcmp(vec.data(), ref.data(), vec.size() * 4)) << k << " " << bt;
      }
  }
}

TEST(Fixed, FloatVectorMatchesReferenceBits) {
#define X(name, kind, Ts, Td) { SCOPED_TRACE(#name); expect_float_bits<Ts, Td>(name, Kind::kind); }
  ZUV_FIXED_TABLE(X)
#undef X
}

// Stripes read their neighbours' rows as in-memory borders: the bytes are the
// same for every thread count, including in-memory and constant borders.
template <class Ts, class Td>
void expect_thread_invariance(Filter<Ts, Td> f, Kind kind) {
  std::mt19937 rng(23);
  for (const ImageSize sz : {ImageSize{300, 301}, ImageSize{257, 1030}}) {
    GuardedImage<Ts> src(sz.width, sz.height, 1, 0, Flush::End, 2);
    fill(src, 2, rng);
    if constexpr (std::is_same_v<Ts, float>) src.fill_random(rng);
    for (int k : {3, 5})
      for (int bt : {0x00, 0x03, 0x06, 0x21}) {
        std::vector<Td> serial;
        {
          ThreadCount one(1);
          serial = run_case<Ts, Td>(f, kind, k, src, bt, Ts(9), Flush::End);
        }
        for (int t : {2, 3, 8}) {
          ThreadCount n(t);
          ASSERT_TRUE((run_case<Ts, Td>(f, kind, k, src, bt, Ts(9), Flush::End)) == serial)
              << "threads " << t << " k " << k << " border " << bt << " height " << sz.height;
        }
      }
  }
}

TEST(Fixed, ThreadCountInvariance) {
#define X(name, kind, Ts, Td) { SCOPED_TRACE(#name); expect_thread_invariance<Ts, Td>(name, Kind::kind); }
  ZUV_FIXED_TABLE(X)
#undef X
}

TEST(Fixed, ConstantImages) {
  std::vector<uint8_t> buf(1 << 20);
  GuardedImage<uint8_t> src(20, 7);
  GuardedImage<uint8_t> low(20, 7);
  GuardedImage<int16_t> d16(20, 7);
  for (int c = 0; c < 256; ++c) {
    src.fill([&](int, int, int) { return c; });
    for (int bt : {BorderRepl, BorderMirror}) {
      ASSERT_EQ(zuviFilterLowpassBorder_8u_C1R(src.data(), src.step(), low.data(), low.step(), src.size(),
                                               MaskSize3x3, bt, 0, buf.data()), StatusOk);
      for (uint8_t v : low.pixels()) ASSERT_EQ(v, c);
      ASSERT_EQ(zuviFilterLowpassBorder_8u_C1R(src.data(), src.step(), low.data(), low.step(), src.size(),
                                               MaskSize5x5, bt, 0, buf.data()), StatusOk);
      for (uint8_t v : low.pixels()) ASSERT_EQ(v, (25 * c * 2621) >> 16);
      for (int mask : {MaskSize3x3, MaskSize5x5}) {
        ASSERT_EQ(zuviFilterSobelCrossBorder_8u16s_C1R(src.data(), src.step(), d16.data(), d16.step(),
                                                       src.size(), mask, bt, 0, buf.data()), StatusOk);
        for (int16_t v : d16.pixels()) ASSERT_EQ(v, 0);
        ASSERT_EQ(zuviFilterLaplacianBorder_8u16s_C1R(src.data(), src.step(), d16.data(), d16.step(),
                                                      src.size(), mask, BorderConst, uint8_t(c), buf.data()), StatusOk);
        for (int16_t v : d16.pixels()) ASSERT_EQ(v, 0);
      }
    }
  }
}

// SobelCross of S = x * y is -4 wherever the 3x3 window is inside.
TEST(Fixed, CrossOfProductImage) {
  std::vector<uint8_t> buf(1 << 20);
  GuardedImage<float> s32(40, 30);
  GuardedImage<float> d32(40, 30);
  s32.fill([](int x, int y, int) { return x * y; });
  ASSERT_EQ(zuviFilterSobelCrossBorder_32f_C1R(s32.data(), s32.step(), d32.data(), d32.step(), s32.size(),
                                               MaskSize3x3, BorderRepl, buf.data(), 0.f), StatusOk);
  GuardedImage<uint8_t> s8(15, 15);
  GuardedImage<int16_t> d16(15, 15);
  s8.fill([](int x, int y, int) { return x * y; });
  ASSERT_EQ(zuviFilterSobelCrossBorder_8u16s_C1R(s8.data(), s8.step(), d16.data(), d16.step(), s8.size(),
                                                 MaskSize3x3, BorderMirror, 0, buf.data()), StatusOk);
  for (int y = 1; y < 29; ++y)
    for (int x = 1; x < 39; ++x) ASSERT_EQ(d32.at(x, y), -4.f);
  for (int y = 1; y < 14; ++y)
    for (int x = 1; x < 14; ++x) ASSERT_EQ(d16.at(x, y), -4);
}

// BorderInMem is the constant mode with all four sides in memory: neither the
// border value nor a generated pixel takes part.
template <class Ts, class Td>
void expect_in_memory_is_all_flags(Filter<Ts, Td> f, Kind kind) {
  std::mt19937 rng(31);
  GuardedImage<Ts> src(61, 40, 1, 0, Flush::End, 2);
  fill(src, 2, rng);
  for (int k : {3, 5}) {
    const std::vector<Td> a = run_case<Ts, Td>(f, kind, k, src, BorderInMem, Ts(0), Flush::End);
    EXPECT_EQ(a, (run_case<Ts, Td>(f, kind, k, src, 0xF0, Ts(77), Flush::End)));
    EXPECT_EQ(a, (run_case<Ts, Td>(f, kind, k, src, 0xF3, Ts(5), Flush::End)));
    EXPECT_EQ(a, (run_case<Ts, Td>(f, kind, k, src, 0xFF16, Ts(5), Flush::End)));
  }
}

TEST(Fixed, InMemoryEqualsAllFlags) {
#define X(name, kind, Ts, Td) { SCOPED_TRACE(#name); expect_in_memory_is_all_flags<Ts, Td>(name, Kind::kind); }
  ZUV_FIXED_TABLE(X)
#undef X
}

TEST(Fixed, CheckOrder) {
  GuardedImage<uint8_t> s8(8, 6), l8(8, 6);
  GuardedImage<int16_t> d16(8, 6);
  GuardedImage<float> s32(8, 6), d32(8, 6);
  std::vector<uint8_t> buf(1 << 16);
  uint8_t* b = buf.data();
  const ImageSize roi{8, 6};
  const int ss = s8.step(), ds = d16.step(), fs = s32.step(), fd = d32.step();
  auto cross = [&](const uint8_t* s, int sStep, int16_t* d, int dStep, ImageSize r, int m, int bt, uint8_t* bb) {
    return zuviFilterSobelCrossBorder_8u16s_C1R(s, sStep, d, dStep, r, m, bt, 0, bb);
  };
  auto lap32 = [&](const float* s, int sStep, float* d, int dStep, ImageSize r, int m, int bt) {
    return zuviFilterLaplacianBorder_32f_C1R(s, sStep, d, dStep, r, m, bt, b, 0.f);
  };
  auto low8 = [&](int sStep, int dStep, int m, int bt) {
    return zuviFilterLowpassBorder_8u_C1R(s8.data(), sStep, l8.data(), dStep, roi, m, bt, 0, b);
  };
  struct Case {
    const char* what;
    std::function<Status()> call;
    Status want;
  };
  const Case cases[] = {
      {"null source", [&] { return cross(nullptr, ss, d16.data(), ds, roi, 33, 1, b); }, StatusNullPointer},
      {"null destination", [&] { return cross(s8.data(), ss, nullptr, ds, roi, 33, 1, b); }, StatusNullPointer},
      {"null buffer", [&] { return cross(s8.data(), ss, d16.data(), ds, roi, 33, 1, nullptr); }, StatusNullPointer},
      {"null before size", [&] { return cross(s8.data(), ss, d16.data(), ds, {0, 0}, 33, 1, nullptr); }, StatusNullPointer},
      {"width", [&] { return cross(s8.data(), ss, d16.data(), ds, {0, 6}, 33, 1, b); }, StatusSize},
      {"height", [&] { return cross(s8.data(), ss, d16.data(), ds, {8, 0}, 33, 1, b); }, StatusSize},
      {"size before step", [&] { return cross(s8.data(), 0, d16.data(), ds, {8, -3}, 33, 1, b); }, StatusSize},
      {"source step", [&] { return cross(s8.data(), 7, d16.data(), ds, roi, 33, 1, b); }, StatusStep},
      {"destination step", [&] { return cross(s8.data(), ss, d16.data(), 15, roi, 33, 1, b); }, StatusStep},
      {"16s step of exactly the row", [&] { return cross(s8.data(), 8, d16.data(), 16, roi, 44, 1, b); }, StatusMaskSize},
      {"odd 16s step", [&] { return cross(s8.data(), ss, d16.data(), 17, roi, 33, 1, b); }, StatusNotEvenStep},
      {"step before multiple", [&] { return lap32(s32.data(), 34, d32.data(), 31, roi, 33, 1); }, StatusStep},
      {"32f source multiple", [&] { return lap32(s32.data(), fs + 2, d32.data(), fd, roi, 33, 1); }, StatusNotEvenStep},
      {"32f destination multiple", [&] { return lap32(s32.data(), fs, d32.data(), fd + 1, roi, 33, 1); }, StatusNotEvenStep},
      {"8u destination has no multiple", [&] { return low8(ss, 9, 35, 1); }, StatusMaskSize},
      {"multiple before mode", [&] { return lap32(s32.data(), fs, d32.data(), fd + 2, roi, 33, 2); }, StatusNotEvenStep},
      {"mode 2", [&] { return low8(ss, ss, 33, 2); }, StatusBadArgument},
      {"mode 4", [&] { return low8(ss, ss, 33, 4); }, StatusBadArgument},
      {"mode 5", [&] { return low8(ss, ss, 33, 5); }, StatusBadArgument},
      {"mode 7 with a flag", [&] { return low8(ss, ss, 33, 0x17); }, StatusBadArgument},
      {"mode 15", [&] { return low8(ss, ss, 33, -1); }, StatusBadArgument},
      {"high bit without a flag", [&] { return low8(ss, ss, 33, 0x100); }, StatusBadArgument},
      {"bit 0x8000 without a flag", [&] { return low8(ss, ss, 33, 0x8001); }, StatusBadArgument},
      {"mode before mask", [&] { return low8(ss, ss, 44, 2); }, StatusBadArgument},
      {"flags before mask", [&] { return low8(ss, ss, 44, 0x200); }, StatusBadArgument},
      {"mask 35", [&] { return low8(ss, ss, 35, 0x110); }, StatusMaskSize},
      {"mask 53", [&] { return lap32(s32.data(), fs, d32.data(), fd, roi, 53, 0x10000); }, StatusMaskSize},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    expect_refused(c.want, c.call, {d16, d32, l8});
  }
  EXPECT_EQ(low8(ss, ss, 33, 0x110), StatusOk);
  EXPECT_EQ(low8(ss, ss, 55, 0x10003), StatusOk);  // bits above 0x8000 are not looked at
}

// Buffer sizes from the published formulas, for several thread counts.
uint32_t rp8(uint32_t h, uint32_t k, uint32_t t) { return t * (32 * (k + k / 4) + 2 * k + 34 + 32) + 8 * t * (h + k); }
uint32_t rp32(uint32_t h, uint32_t k, uint32_t t) { return t * (96 * k + 64 + 48) + 8 * t * (h + k); }
uint32_t cp16(uint32_t w, uint32_t h, uint32_t k, uint32_t t) { return t * (12 * ((w + 3) / 4 * 4) + 32 + 32) + 8 * t * (h + k); }

TEST(Fixed, BufferSizes) {
  // Worked by hand: 100 x 10, 3x3, one thread.
  {
    ThreadCount one(1);
    int v = 0;
    ASSERT_EQ(zuviFilterSobelCrossGetBufferSize_8u16s_C1R({100, 10}, 33, &v), StatusOk);
    EXPECT_EQ(v, 4704 + 72 + 368 + 272 + 1368 + 32);
  }
  for (int t : {1, 2, 3})
    for (const ImageSize r : {ImageSize{100, 10}, ImageSize{1, 1}, ImageSize{1920, 1080}, ImageSize{4, 300}})
      for (int mask : {33, 55}) {
        ThreadCount tc(t);
        const uint32_t w = uint32_t(r.width), h = uint32_t(r.height), k = mask / 11, T = uint32_t(t);
        const uint32_t w16 = (w + 15) / 16 * 16, F = k == 3 ? 21 : 25, G = k == 3 ? 72 : 120;
        const uint32_t c32 = 32 * k + 32;
        const bool small = k >= w || k >= h;
        const uint32_t rr = small ? k + h - 1 : (k == 3 ? 3 : 6);
        const uint32_t cc = small ? w + k - 1 : std::max(w, h) + k - 1;
        const uint32_t want[6] = {
            T * (2 * w16 * F + G + 368 + rp8(h, k, T) + cp16(w, h, k, T) + 32),
            T * (4 * w16 * F + G + 368 + rp32(h, k, T) + c32 + 32),
            T * (4 * w16 * F + 2 * G + 576 + rp8(h, k, T) + cp16(w, h, k, T) + 32),
            (4 * rr * cc + 31) / 32 * 32 + (k == 3 ? 3 : 12) * ((4 * w + 31) / 32 * 32) + 32,
            T * (2 * w16 * F + G + 368 + rp8(h, k, T) + cp16(w, h, k, T) + 32),
            T * (4 * w16 * F + G + 304 + rp32(h, k, T) + c32 + 32),
        };
        int i = 0;
#define X(name, kind, Ts, Td)                                         \
  {                                                                   \
    int v = -1;                                                       \
    ASSERT_EQ(name(r, mask, &v), StatusOk) << #name;                  \
    EXPECT_EQ(uint32_t(v), want[i]) << #name << " threads " << t << " " << r.width << "x" << r.height << " mask " << mask; \
    ++i;                                                              \
  }
        ZUV_FIXED_QUERY_TABLE(X)
#undef X
      }
#define X(name, kind, Ts, Td)                                   \
  {                                                             \
    int v = -1;                                                 \
    EXPECT_EQ(name({5, 5}, 33, nullptr), StatusNullPointer);    \
    EXPECT_EQ(name({0, 5}, 44, nullptr), StatusNullPointer);    \
    EXPECT_EQ(name({0, 5}, 44, &v), StatusSize);                \
    EXPECT_EQ(name({5, 0}, 44, &v), StatusSize);                \
    EXPECT_EQ(name({5, 5}, 44, &v), StatusMaskSize);            \
    EXPECT_EQ(v, -1);                                           \
  }
  ZUV_FIXED_QUERY_TABLE(X)
#undef X
}

TEST(Fixed, GenSobelKernel) {
  struct Case {
    int n, d, sign;
    std::vector<int> taps;
  };
  const Case cases[] = {
      {1, 0, 1, {1}},
      {3, 0, 1, {1, 2, 1}},
      {3, 1, 1, {-1, 0, 1}},
      {3, 1, -1, {1, 0, -1}},
      {3, 2, 1, {1, -2, 1}},
      {5, 1, 1, {-1, -2, 0, 2, 1}},
      {5, 2, 1, {1, 0, -2, 0, 1}},
      {5, 4, 0, {1, -4, 6, -4, 1}},
      {7, 3, -5, {1, 0, -3, 0, 3, 0, -1}},
  };
  for (const Case& c : cases) {
    std::vector<int16_t> k16(c.taps.size(), 99);
    std::vector<float> k32(c.taps.size(), 99.f);
    ASSERT_EQ(zuviGenSobelKernel_16s(k16.data(), c.n, c.d, c.sign), StatusOk);
    ASSERT_EQ(zuviGenSobelKernel_32f(k32.data(), c.n, c.d, c.sign), StatusOk);
    for (size_t i = 0; i < c.taps.size(); ++i) {
      EXPECT_EQ(k16[i], c.taps[i]) << c.n << " " << c.d << " tap " << i;
      EXPECT_EQ(k32[i], float(c.taps[i])) << c.n << " " << c.d << " tap " << i;
    }
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
