// SPDX-License-Identifier: BSD-3-Clause
// Sobel and Scharr filters: 2-D masks under every border rule, vector against reference, checks, buffer queries.
#include <gtest/gtest.h>

#include <random>
#include <tuple>
#include <vector>

#include "filter/derivative.h"
#include "filter/mask_reference.h"

namespace {

using namespace zuv::test;
using zuv::derivative::Kind;
using Query = Status (*)(ImageSize, MaskSize, DataType, DataType, int, int*);

// The 2-D masks the kinds stand for (column taps top to bottom, row taps left to right).
Mask mask_of(Kind kind, int k) {
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

// Scharr kinds have only the 3x3 mask.
std::vector<int> sizes_of(Kind kind) {
  return kind == Kind::ScharrVert || kind == Kind::ScharrHoriz ? std::vector<int>{3} : std::vector<int>{3, 5};
}

// The buffer size the kind's query reports for a source of Ts (queries in Kind order).
template <class Ts>
auto bytes_of(Kind kind) {
  return [kind](ImageSize roi, int mask) {
    static const Query q[] = {zuv::zuviFilterSobelVertBorderGetBufferSize, zuv::zuviFilterSobelHorizBorderGetBufferSize,
                              zuv::zuviFilterScharrVertMaskBorderGetBufferSize,
                              zuv::zuviFilterScharrHorizMaskBorderGetBufferSize,
                              zuv::zuviFilterSobelNegVertBorderGetBufferSize};
    static_assert(int(Kind::ScharrVert) == 2 && int(Kind::SobelNegVert) == 4, "queries in Kind order");
    const bool f = std::is_same_v<Ts, float>;
    int bytes = 0;
    EXPECT_EQ(q[int(kind)](roi, mask, f ? DataType32f : DataType8u, f ? DataType32f : DataType16s, 1, &bytes), StatusOk);
    return bytes;
  };
}

// Every border rule against the masks; then non-integer floats, where a large
// odd size crosses many tails, give the reference kernels' bits.
TEST(Derivative, MatchesMasksUnderEveryBorder) {
  const std::vector<ImageSize> sizes = {{1, 1}, {1, 6}, {6, 1}, {2, 2}, {3, 3}, {4, 5}, {5, 4},
                                        {7, 7}, {37, 6}, {70, 3}, {33, 9}, {66, 2}};
  std::mt19937 rng(11);
  GuardedImage<float> large(513, 517), odd(19, 23);
  large.fill_random(rng);
  odd.fill_random(rng);
#define X(name, kind, Ts, Td)                                                                                       \
  for (int k : sizes_of(Kind::kind)) {                                                                              \
    SCOPED_TRACE(#name);                                                                                            \
    expect_matches_mask<Ts, Td>(zuv::name, bytes_of<Ts>(Kind::kind), mask_of(Kind::kind, k), sizes, border_cases(true)); \
    for (const GuardedImage<float>* src : {&large, &odd})                                                            \
      expect_reference_bits<Ts>(zuv::name, bytes_of<Ts>(Kind::kind), *src, k * 11, {0x01, 0x03, 0x04, 0x00});      \
  }
  ZUV_DERIVATIVE_TABLE(X)
#undef X
}

// A large 8u image: interior and all four edges, vector and reference.
TEST(Derivative, LargeImageMatchesMasks) {
  for (auto [f, kind, k] : {std::tuple{&zuv::zuviFilterSobelVertBorder_8u16s_C1R, Kind::SobelVert, 5},
                            {zuv::zuviFilterSobelHorizBorder_8u16s_C1R, Kind::SobelHoriz, 5},
                            {zuv::zuviFilterScharrHorizMaskBorder_8u16s_C1R, Kind::ScharrHoriz, 3}})
    expect_matches_mask<uint8_t, int16_t>(f, bytes_of<uint8_t>(kind), mask_of(kind, k), {{513, 517}}, {0x03, 0x04});
}

// Signs: SobelVert is positive where the image falls from left to right,
// SobelNegVert and ScharrVert where it rises; the Horiz kinds where it rises downwards.
TEST(Derivative, Orientation) {
  GuardedImage<float> right(8, 8), down(8, 8);
  right.fill([](int x, int, int) { return x; });
  down.fill([](int, int y, int) { return y; });
  std::vector<uint8_t> buf(4096);
  float d[64];
  for (auto [f, s, want] : {std::tuple{&zuv::zuviFilterSobelVertBorder_32f_C1R, &right, -8.f},
                            {zuv::zuviFilterSobelNegVertBorder_32f_C1R, &right, 8.f},
                            {zuv::zuviFilterScharrVertMaskBorder_32f_C1R, &right, 32.f},
                            {zuv::zuviFilterSobelHorizBorder_32f_C1R, &down, 8.f},
                            {zuv::zuviFilterScharrHorizMaskBorder_32f_C1R, &down, 32.f},
                            {zuv::zuviFilterSobelVertBorder_32f_C1R, &down, 0.f}}) {
    ASSERT_EQ(f(s->data(), s->step(), d, 32, s->size(), MaskSize3x3, BorderRepl, buf.data(), 0.f), StatusOk);
    EXPECT_EQ(d[4 * 8 + 4], want);
  }
}

TEST(Derivative, CheckOrder) {
  GuardedImage<uint8_t> s8(8, 6);
  GuardedImage<int16_t> d16(8, 6);
  GuardedImage<float> s32(8, 6), d32(8, 6);
  std::vector<uint8_t> buf(4096);
  uint8_t* b = buf.data();
  const ImageSize roi{8, 6};
  const int ds = d16.step(), fs = s32.step(), fd = d32.step();
  auto sv8 = [&](const uint8_t* s, int16_t* d, int dStep, ImageSize r, int m, int bt, uint8_t* bb) {
    return zuv::zuviFilterSobelVertBorder_8u16s_C1R(s, s8.step(), d, dStep, r, m, bt, 0, bb);
  };
  auto sh32 = [&](int sStep, int dStep, int m, int bt) {
    return zuv::zuviFilterScharrHorizMaskBorder_32f_C1R(s32.data(), sStep, d32.data(), dStep, roi, m, bt, b, 0.f);
  };
  expect_refusals(
      {{"null source", [&] { return sv8(nullptr, d16.data(), ds, roi, 33, 1, b); }, StatusNullPointer},
       {"null destination", [&] { return sv8(s8.data(), nullptr, ds, roi, 33, 1, b); }, StatusNullPointer},
       {"null buffer", [&] { return sv8(s8.data(), d16.data(), ds, roi, 33, 1, nullptr); }, StatusNullPointer},
       {"null before size", [&] { return sv8(s8.data(), d16.data(), ds, {0, 6}, 33, 1, nullptr); }, StatusNullPointer},
       {"width", [&] { return sv8(s8.data(), d16.data(), ds, {0, 6}, 33, 1, b); }, StatusSize},
       {"height", [&] { return sv8(s8.data(), d16.data(), ds, {8, -1}, 33, 1, b); }, StatusSize},
       {"size before step", [&] { return sv8(s8.data(), d16.data(), ds + 1, {8, 0}, 33, 1, b); }, StatusSize},
       {"odd 16s step", [&] { return sv8(s8.data(), d16.data(), ds + 1, roi, 33, 1, b); }, StatusNotEvenStep},
       {"step before mask", [&] { return sv8(s8.data(), d16.data(), ds + 1, roi, 44, 2, b); }, StatusNotEvenStep},
       {"32f source step", [&] { return sh32(fs + 2, fd, 33, 1); }, StatusNotEvenStep},
       {"32f destination step", [&] { return sh32(fs, fd + 6, 33, 1); }, StatusNotEvenStep},
       {"mask", [&] { return sv8(s8.data(), d16.data(), ds, roi, 35, 1, b); }, StatusMaskSize},
       {"Scharr 5x5", [&] { return sh32(fs, fd, 55, 1); }, StatusMaskSize},
       {"mask before border", [&] { return sv8(s8.data(), d16.data(), ds, roi, 53, 5, b); }, StatusMaskSize},
       {"mode 2", [&] { return sv8(s8.data(), d16.data(), ds, roi, 55, 2, b); }, StatusBadArgument},
       {"mode 5", [&] { return sh32(fs, fd, 33, 5); }, StatusBadArgument},
       {"mode 7", [&] { return sv8(s8.data(), d16.data(), ds, roi, 33, 0x17, b); }, StatusBadArgument},
       {"above 255", [&] { return sv8(s8.data(), d16.data(), ds, roi, 33, 0x101, b); }, StatusBadArgument}}, d16, d32);
  for (int bt : {0, 1, 3, 4})  // every generating mode, the mirror with repeated edge included
    EXPECT_EQ(sv8(s8.data(), d16.data(), ds, roi, 55, bt, b), StatusOk) << bt;
}

TEST(Derivative, BufferQueries) {
  const Query vert = zuv::zuviFilterSobelVertBorderGetBufferSize, neg = zuv::zuviFilterSobelNegVertBorderGetBufferSize,
              sch = zuv::zuviFilterScharrVertMaskBorderGetBufferSize;
  struct Case { Query q; ImageSize roi; int mask, src, dst, ch; bool out; Status want; int size; };
  const ImageSize roi{100, 10};
  const Case cases[] = {
      {vert, roi, 33, 1, 7, 1, true, StatusOk, 32},
      {vert, roi, 55, 13, 13, 1, true, StatusOk, 4 * 112 * 5 + 32},
      {vert, {17, 1}, 33, 13, 13, 1, true, StatusOk, 4 * 32 * 3 + 32},
      {vert, {16, 1}, 33, 7, 7, 1, true, StatusOk, 4 * 16 * 3 + 32},
      {zuv::zuviFilterSobelHorizBorderGetBufferSize, {33, 3}, 33, 13, 13, 1, true, StatusOk, 4 * 48 * 3 + 32},
      {neg, {33, 3}, 33, 13, 13, 1, true, StatusOk, 4 * 48 * 3 + 32},
      {sch, {33, 3}, 33, 13, 13, 1, true, StatusOk, 4 * 48 * 3 + 32},
      {zuv::zuviFilterScharrHorizMaskBorderGetBufferSize, {33, 3}, 33, 13, 13, 1, true, StatusOk, 4 * 48 * 3 + 32},
      {vert, roi, 33, 1, 7, 1, false, StatusNullPointer, 0},
      {vert, {0, 0}, 33, 1, 7, 1, false, StatusNullPointer, 0},
      {vert, {0, 5}, 33, 1, 7, 1, true, StatusSize, 0},
      {vert, {5, 0}, 99, 1, 7, 1, true, StatusSize, 0},
      {vert, roi, 35, 99, 7, 1, true, StatusMaskSize, 0},
      {vert, roi, 33, 13, 7, 1, true, StatusDataType, 0},
      {vert, roi, 33, 1, 13, 3, true, StatusDataType, 0},
      {vert, roi, 33, 1, 1, 1, true, StatusDataType, 0},
      {vert, roi, 33, 1, 7, 3, true, StatusChannel, 0},
      {neg, roi, 33, 7, 7, 1, true, StatusDataType, 0},
      {neg, roi, 33, 7, 7, 1, false, StatusDataType, 0},
      {sch, roi, 55, 1, 7, 1, true, StatusMaskSize, 0},
      {sch, roi, 55, 1, 7, 1, false, StatusMaskSize, 0},
  };
  for (const Case& c : cases) {
    int size = -1;
    EXPECT_EQ(c.q(c.roi, c.mask, c.src, c.dst, c.ch, c.out ? &size : nullptr), c.want) << &c - cases;
    EXPECT_EQ(size, c.want == StatusOk ? c.size : -1) << &c - cases;
  }
}

}  // namespace
