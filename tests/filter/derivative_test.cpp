// SPDX-License-Identifier: BSD-3-Clause
// Internal Sobel and Scharr filters: against 2-D masks under every border rule,
// vector against reference, argument-check order and buffer queries.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "filter/derivative.h"
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

// The 2-D masks the kinds stand for (column taps top to bottom, row taps left to right).
Mask mask_of(Kind kind, int k) {
  using zuv::test::outer;
  const std::vector<int> smooth = k == 3 ? std::vector<int>{1, 2, 1} : std::vector<int>{1, 4, 6, 4, 1};
  const std::vector<int> fall = k == 3 ? std::vector<int>{1, 0, -1} : std::vector<int>{1, 2, 0, -2, -1};
  const std::vector<int> rise = k == 3 ? std::vector<int>{-1, 0, 1} : std::vector<int>{-1, -2, 0, 2, 1};
  switch (kind) {
    case Kind::SobelVert: return outer(smooth, fall);
    case Kind::SobelNegVert: return outer(smooth, rise);
    case Kind::SobelHoriz: return outer(rise, smooth);
    case Kind::ScharrVert: return outer({-3, -10, -3}, {1, 0, -1});
    default: return outer({-1, 0, 1}, {3, 10, 3});  // ScharrHoriz
  }
}

bool scharr(Kind kind) { return kind == Kind::ScharrVert || kind == Kind::ScharrHoriz; }

template <class Ts>
int data_type() { return std::is_same_v<Ts, float> ? DataType32f : DataType8u; }
template <class Td>
int dst_type() { return std::is_same_v<Td, float> ? DataType32f : DataType16s; }

using zuv::test::call;
using zuv::test::Filter;
using Query = Status (*)(ImageSize, MaskSize, DataType, DataType, int, int*);

Query query_of(Kind kind) {
  switch (kind) {
    case Kind::SobelVert: return zuv::zuviFilterSobelVertBorderGetBufferSize;
    case Kind::SobelHoriz: return zuv::zuviFilterSobelHorizBorderGetBufferSize;
    case Kind::SobelNegVert: return zuv::zuviFilterSobelNegVertBorderGetBufferSize;
    case Kind::ScharrVert: return zuv::zuviFilterScharrVertMaskBorderGetBufferSize;
    default: return zuv::zuviFilterScharrHorizMaskBorderGetBufferSize;
  }
}

// One filter call on a guarded image (region flush against a guard page,
// readable margin only where a side is in memory) with a buffer of exactly
// the queried size; returns the destination pixels.
template <class Ts, class Td>
std::vector<Td> run_case(Filter<Ts, Td> f, Kind kind, int k, const GuardedImage<Ts>& src, int bt,
                         Ts value, Flush flush) {
  int bytes = 0;
  EXPECT_EQ(query_of(kind)(src.size(), k * 11, data_type<Ts>(), dst_type<Td>(), 1, &bytes), StatusOk);
  GuardedBytes buf(size_t(bytes), flush);
  GuardedImage<Td> dst(src.width(), src.height(), 1, 3 * int(sizeof(Td)), flush);
  EXPECT_EQ((call<Ts, Td>(f, src.data(), src.step(), dst.data(), dst.step(), src.size(), k * 11, bt, value,
                        buf.base())),
            StatusOk);
  EXPECT_TRUE(dst.padding_intact());
  return dst.pixels();
}

template <class Ts, class Td>
void expect_matches_masks(Filter<Ts, Td> f, Kind kind) {
  const ImageSize sizes[] = {{1, 1}, {1, 6}, {6, 1}, {2, 2}, {3, 3}, {4, 5}, {5, 4},
                             {7, 7}, {37, 6}, {70, 3}, {33, 9}, {66, 2}};
  std::mt19937 rng(7);
  for (int k : {3, 5}) {
    if (k == 5 && scharr(kind)) continue;
    const Mask mk = mask_of(kind, k);
    for (const ImageSize& sz : sizes)
      for (int bt : zuv::test::border_cases(true)) {
        const zuv::test::Sides s = zuv::test::sides_of(bt);
        const bool inMemory = s.top || s.bottom || s.left || s.right;
        const Flush flush = (sz.width + bt) % 2 ? Flush::End : Flush::Begin;
        GuardedImage<Ts> src(sz.width, sz.height, 1, 0, flush, inMemory ? k / 2 : 0);
        if constexpr (std::is_same_v<Ts, float>) zuv::test::fill_with_margin(src, inMemory ? k / 2 : 0, rng, -300, 300);
        else zuv::test::fill_with_margin(src, inMemory ? k / 2 : 0, rng, 0, 255);
        const Ts value = std::is_same_v<Ts, float> ? Ts(-7) : Ts(201);
        SCOPED_TRACE(testing::Message() << "k " << k << " size " << sz.width << "x" << sz.height
                                        << " border 0x" << std::hex << bt);
        const std::vector<Td> got = run_case<Ts, Td>(f, kind, k, src, bt, value, flush);
        for (int y = 0; y < sz.height; ++y)
          for (int x = 0; x < sz.width; ++x)
            ASSERT_EQ(double(got[size_t(y) * sz.width + x]), zuv::test::correlate(src, mk, x, y, s, double(value)))
                << "at " << x << "," << y;
        ReferenceKernels useRef;
        ASSERT_EQ((run_case<Ts, Td>(f, kind, k, src, bt, value, flush)), got);
      }
  }
}

TEST(Derivative, MatchesMasksUnderEveryBorder) {
#define X(name, kind, Ts, Td) { SCOPED_TRACE(#name); expect_matches_masks<Ts, Td>(zuv::name, Kind::kind); }
  ZUV_DERIVATIVE_TABLE(X)
#undef X
}

// Non-integer floats: the vector kernels keep the reference's order of
// operations, so the bits agree; a large odd size crosses many tails.
template <class Ts, class Td>
void expect_float_bits(Filter<Ts, Td> f, Kind kind) {
  if constexpr (std::is_same_v<Ts, float>) {
    std::mt19937 rng(11);
    for (const ImageSize sz : {ImageSize{513, 517}, ImageSize{19, 23}}) {
      GuardedImage<float> src(sz.width, sz.height);
      src.fill_random(rng);
      for (int k : {3, 5}) {
        if (k == 5 && scharr(kind)) continue;
        for (int bt : {0x01, 0x03, 0x04, 0x00}) {
          const std::vector<float> vec = run_case<Ts, Td>(f, kind, k, src, bt, 0.5f, Flush::End);
          ReferenceKernels useRef;
          const std::vector<float> ref = run_case<Ts, Td>(f, kind, k, src, bt, 0.5f, Flush::End);
          ASSERT_EQ(0, std::memcmp(vec.data(), ref.data(), vec.size() * 4)) << k << " " << bt;
        }
      }
    }
  }
}

TEST(Derivative, FloatVectorMatchesReferenceBits) {
#define X(name, kind, Ts, Td) { SCOPED_TRACE(#name); expect_float_bits<Ts, Td>(zuv::name, Kind::kind); }
  ZUV_DERIVATIVE_TABLE(X)
#undef X
}

// A large 8u image against the 2-D masks (interior and all four edges).
TEST(Derivative, LargeImageMatchesMasks) {
  std::mt19937 rng(5);
  GuardedImage<uint8_t> src(513, 517);
  src.fill_random(rng);
  for (Kind kind : {Kind::SobelVert, Kind::SobelHoriz, Kind::ScharrHoriz})
    for (int bt : {0x03, 0x04}) {
      const int k = scharr(kind) ? 3 : 5;
      Filter<uint8_t, int16_t> f = kind == Kind::SobelVert ? zuv::zuviFilterSobelVertBorder_8u16s_C1R
                                   : kind == Kind::SobelHoriz ? zuv::zuviFilterSobelHorizBorder_8u16s_C1R
                                                              : zuv::zuviFilterScharrHorizMaskBorder_8u16s_C1R;
      const std::vector<int16_t> got = run_case<uint8_t, int16_t>(f, kind, k, src, bt, uint8_t(0), Flush::End);
      const Mask mk = mask_of(kind, k);
      const zuv::test::Sides s = zuv::test::sides_of(bt);
      for (int y = 0; y < 517; ++y)
        for (int x = 0; x < 513; ++x)
          ASSERT_EQ(got[size_t(y) * 513 + x], zuv::test::correlate(src, mk, x, y, s, 0));
    }
}

// Signs: SobelVert is positive where the image falls from left to right,
// SobelNegVert and ScharrVert where it rises; the Horiz kinds where it rises downwards.
TEST(Derivative, Orientation) {
  GuardedImage<float> right(8, 8), down(8, 8);
  right.fill([](int x, int, int) { return x; });
  down.fill([](int, int y, int) { return y; });
  std::vector<uint8_t> buf(4096);
  float d[64];
  auto centre = [&](auto f, const GuardedImage<float>& s) {
    EXPECT_EQ(f(s.data(), s.step(), d, 32, s.size(), MaskSize3x3, BorderRepl, buf.data(), 0.f), StatusOk);
    return d[4 * 8 + 4];
  };
  EXPECT_EQ(centre(zuv::zuviFilterSobelVertBorder_32f_C1R, right), -8.f);
  EXPECT_EQ(centre(zuv::zuviFilterSobelNegVertBorder_32f_C1R, right), 8.f);
  EXPECT_EQ(centre(zuv::zuviFilterScharrVertMaskBorder_32f_C1R, right), 32.f);
  EXPECT_EQ(centre(zuv::zuviFilterSobelHorizBorder_32f_C1R, down), 8.f);
  EXPECT_EQ(centre(zuv::zuviFilterScharrHorizMaskBorder_32f_C1R, down), 32.f);
  EXPECT_EQ(centre(zuv::zuviFilterSobelVertBorder_32f_C1R, down), 0.f);
}

TEST(Derivative, CheckOrder) {
  GuardedImage<uint8_t> s8(8, 6);
  GuardedImage<int16_t> d16(8, 6);
  GuardedImage<float> s32(8, 6), d32(8, 6);
  std::vector<uint8_t> buf(4096);
  uint8_t* b = buf.data();
  const ImageSize roi{8, 6};
  auto sv8 = [&](const uint8_t* s, int16_t* d, int dStep, ImageSize r, int m, int bt, uint8_t* bb) {
    return zuv::zuviFilterSobelVertBorder_8u16s_C1R(s, s8.step(), d, dStep, r, m, bt, 0, bb);
  };
  auto sh32 = [&](const float* s, int sStep, float* d, int dStep, ImageSize r, int m, int bt) {
    return zuv::zuviFilterScharrHorizMaskBorder_32f_C1R(s, sStep, d, dStep, r, m, bt, b, 0.f);
  };
  const int ds = d16.step(), fs = s32.step(), fd = d32.step();
  struct Case {
    const char* what;
    std::function<Status()> call;
    Status want;
  };
  const Case cases[] = {
      {"null source", [&] { return sv8(nullptr, d16.data(), ds, roi, 33, 1, b); }, StatusNullPointer},
      {"null destination", [&] { return sv8(s8.data(), nullptr, ds, roi, 33, 1, b); }, StatusNullPointer},
      {"null buffer", [&] { return sv8(s8.data(), d16.data(), ds, roi, 33, 1, nullptr); }, StatusNullPointer},
      {"null before size", [&] { return sv8(s8.data(), d16.data(), ds, {0, 6}, 33, 1, nullptr); }, StatusNullPointer},
      {"width", [&] { return sv8(s8.data(), d16.data(), ds, {0, 6}, 33, 1, b); }, StatusSize},
      {"height", [&] { return sv8(s8.data(), d16.data(), ds, {8, -1}, 33, 1, b); }, StatusSize},
      {"size before step", [&] { return sv8(s8.data(), d16.data(), ds + 1, {8, 0}, 33, 1, b); }, StatusSize},
      {"odd 16s step", [&] { return sv8(s8.data(), d16.data(), ds + 1, roi, 33, 1, b); }, StatusNotEvenStep},
      {"step before mask", [&] { return sv8(s8.data(), d16.data(), ds + 1, roi, 44, 2, b); }, StatusNotEvenStep},
      {"32f source step", [&] { return sh32(s32.data(), fs + 2, d32.data(), fd, roi, 33, 1); }, StatusNotEvenStep},
      {"32f destination step", [&] { return sh32(s32.data(), fs, d32.data(), fd + 6, roi, 33, 1); }, StatusNotEvenStep},
      {"mask", [&] { return sv8(s8.data(), d16.data(), ds, roi, 35, 1, b); }, StatusMaskSize},
      {"Scharr 5x5", [&] { return sh32(s32.data(), fs, d32.data(), fd, roi, 55, 1); }, StatusMaskSize},
      {"mask before border", [&] { return sv8(s8.data(), d16.data(), ds, roi, 53, 5, b); }, StatusMaskSize},
      {"mode 2", [&] { return sv8(s8.data(), d16.data(), ds, roi, 55, 2, b); }, StatusBadArgument},
      {"mode 5", [&] { return sh32(s32.data(), fs, d32.data(), fd, roi, 33, 5); }, StatusBadArgument},
      {"mode 7", [&] { return sv8(s8.data(), d16.data(), ds, roi, 33, 0x17, b); }, StatusBadArgument},
      {"above 255", [&] { return sv8(s8.data(), d16.data(), ds, roi, 33, 0x101, b); }, StatusBadArgument},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    expect_refused(c.want, c.call, {d16, d32});
  }
  // Every generating mode, the mirror with repeated edge included.
  for (int bt : {0, 1, 3, 4})
    EXPECT_EQ(sv8(s8.data(), d16.data(), ds, roi, 55, bt, b), StatusOk) << bt;
}

TEST(Derivative, BufferQueries) {
  int size = -1;
  const ImageSize roi{100, 10};
  const Query vert = zuv::zuviFilterSobelVertBorderGetBufferSize;
  EXPECT_EQ(vert(roi, 33, DataType8u, DataType16s, 1, &size), StatusOk);
  EXPECT_EQ(size, 32);
  EXPECT_EQ(vert(roi, 55, DataType32f, DataType32f, 1, &size), StatusOk);
  EXPECT_EQ(size, 4 * 112 * 5 + 32);
  EXPECT_EQ(vert({17, 1}, 33, DataType32f, DataType32f, 1, &size), StatusOk);
  EXPECT_EQ(size, 4 * 32 * 3 + 32);
  EXPECT_EQ(vert({16, 1}, 33, DataType16s, DataType16s, 1, &size), StatusOk);
  EXPECT_EQ(size, 4 * 16 * 3 + 32);
  for (Query q : {zuv::zuviFilterSobelHorizBorderGetBufferSize, zuv::zuviFilterSobelNegVertBorderGetBufferSize,
                  zuv::zuviFilterScharrVertMaskBorderGetBufferSize, zuv::zuviFilterScharrHorizMaskBorderGetBufferSize}) {
    int other = -1;
    EXPECT_EQ(q({33, 3}, 33, DataType32f, DataType32f, 1, &other), StatusOk);
    EXPECT_EQ(other, 4 * 48 * 3 + 32);
  }
  struct Case {
    Query q;
    ImageSize roi;
    int mask, src, dst, ch;
    int* out;
    Status want;
  };
  const Query neg = zuv::zuviFilterSobelNegVertBorderGetBufferSize;
  const Query sch = zuv::zuviFilterScharrVertMaskBorderGetBufferSize;
  const Case cases[] = {
      {vert, roi, 33, 1, 7, 1, nullptr, StatusNullPointer},
      {vert, {0, 0}, 33, 1, 7, 1, nullptr, StatusNullPointer},
      {vert, {0, 5}, 33, 1, 7, 1, &size, StatusSize},
      {vert, {5, 0}, 99, 1, 7, 1, &size, StatusSize},
      {vert, roi, 35, 99, 7, 1, &size, StatusMaskSize},
      {vert, roi, 33, 13, 7, 1, &size, StatusDataType},
      {vert, roi, 33, 1, 13, 3, &size, StatusDataType},
      {vert, roi, 33, 1, 1, 1, &size, StatusDataType},
      {vert, roi, 33, 5, 7, 1, &size, StatusDataType},
      {vert, roi, 33, 1, 7, 3, &size, StatusChannel},
      {neg, roi, 33, 7, 7, 1, &size, StatusDataType},
      {neg, roi, 33, 7, 7, 1, nullptr, StatusDataType},
      {sch, roi, 55, 1, 7, 1, &size, StatusMaskSize},
      {sch, roi, 55, 1, 7, 1, nullptr, StatusMaskSize},
  };
  for (const Case& c : cases) {
    size = -1;
    EXPECT_EQ(c.q(c.roi, c.mask, c.src, c.dst, c.ch, c.out), c.want);
    if (c.out) {
      EXPECT_EQ(size, -1);
    }
  }
}

}  // namespace
