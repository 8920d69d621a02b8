// SPDX-License-Identifier: BSD-3-Clause
// Erosion and dilation with border: every member against the per-pixel reference over
// masks, sizes and border rules; argument-check order; in-place rules; mask classification.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "morph/morph_test_util.h"
#include "morph/morphology.h"
#include "support/guarded_image.h"
#include "support/status.h"

namespace {

using namespace zuv::test;
using namespace zuv::test::morph;
using MorphSetup = Setup<MorphState>;

template <class T>
using OpFn = Status (*)(const T*, int, T*, int, ImageSize, BorderType, const T*, const MorphState*, uint8_t*);

template <class T>
struct Member { const char* name; int channels; MorphSetup::SizeFn size; MorphSetup::InitFn init; OpFn<T> erode, dilate; };

// One member, one mask, one size, one border: both operations against the
// reference, with the vector and the scalar kernels.
template <class T>
void check_case(const Member<T>& mb, MorphSetup& su, const Mask& m, int w, int h, int border,
                std::mt19937& rng, bool values_small) {
  const int C = mb.channels;
  const int margin = std::max(m.w, m.h) + 1;
  GuardedImage<T> src(w, h, C, 0, Flush::End, margin);
  fill_with_margin(src, margin, rng, values_small);
  T value[4];
  for (int c = 0; c < 4; ++c)
    value[c] = std::is_floating_point_v<T> ? T(100 * c - 3.5) : T(std::numeric_limits<T>::max() / 3 + 7 * c);
  for (int dil = 0; dil < 2; ++dil) {
    const auto expect = reference_core(m, w, h, C, border, reader(src), value, dil != 0);
    for (int use_ref = 0; use_ref < 2; ++use_ref) {
      GuardedImage<T> dst(w, h, C, 2 * int(sizeof(T)), use_ref ? Flush::Begin : Flush::End);
      std::unique_ptr<ReferenceKernels> r(use_ref ? new ReferenceKernels : nullptr);
      ASSERT_EQ((dil ? mb.dilate : mb.erode)(src.data(), src.step(), dst.data(), dst.step(), {w, h}, border,
                                             value, su.state(), su.buffer()), StatusOk);
      ASSERT_TRUE(dst.padding_intact());
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w * C; ++x)
          ASSERT_EQ(double(dst.row(y)[x]), expect[size_t(y) * w * C + x])
              << mb.name << (dil ? " dilate" : " erode") << (use_ref ? " ref " : " vec ") << m.name << " " << w << "x"
              << h << " border 0x" << std::hex << border << std::dec << " at " << x / C << "," << y << " ch " << x % C;
    }
  }
}

const int kBorders[] = {BorderConst, BorderRepl, BorderMirror, BorderInMem, BorderRepl | BorderInMemTop,
                        BorderConst | BorderInMemBottom, BorderMirror | BorderInMemLeft, BorderRepl | BorderInMemRight,
                        BorderConst | BorderInMemTop | BorderInMemLeft, BorderMirror | BorderInMemBottom | BorderInMemRight};

template <class T>
void check_member(const Member<T>& mb) {
  std::mt19937 rng(1234);
  for (const Mask& m : test_masks(rng)) {
    const bool big = m.w * m.h > 60;
    MorphSetup su(mb.size, mb.init, m, {513, 1});
    for (int w : big ? std::vector<int>{1, 5, 23, 70} : std::vector<int>{1, 2, 3, 7, 16, 17, 33, 64, 65, 70})
      for (int h : {1, 5, 13})
        for (int border : kBorders) {
          // Every border rule at one height, the four plain modes at the others.
          if (h != 5 && (border & 0xF0) != 0) continue;
          check_case<T>(mb, su, m, w, h, border, rng, w % 2 == 0);
          if (::testing::Test::HasFatalFailure()) return;
        }
    for (int border : Borders{BorderRepl, BorderConst | BorderInMemTop, BorderMirror})
      check_case<T>(mb, su, m, 513, 3, border, rng, false);
    if (::testing::Test::HasFatalFailure()) return;
  }
  // Every width 1..70 with the common masks.
  for (const Mask& m : {Mask::rect(3, 3), Mask::ellipse(5, 5), Mask::random(4, 3, rng)}) {
    MorphSetup su(mb.size, mb.init, m, {70, 1});
    for (int w = 1; w <= 70; ++w)
      for (int border : {BorderRepl, BorderConst, BorderInMem}) {
        check_case<T>(mb, su, m, w, 4, border, rng, false);
        if (::testing::Test::HasFatalFailure()) return;
      }
  }
}

// One test per member, named after its erosion.
#define X(gs, in, er, di, T, C, kind)                                                                      \
  TEST(MorphologyMatchesReference, er) {                                                                   \
    check_member<T>(Member<T>{#er, C, gs, in, MORPH_ADAPT_##kind(er, T, MorphState),                       \
                              MORPH_ADAPT_##kind(di, T, MorphState)});                                     \
  }
ZUV_MORPHOLOGY_TABLE(X)
#undef X

// Bit-packed images: bit offsets on both sides, every border the type accepts;
// the bits beside the region in the destination's first and last bytes stay.
TEST(Morphology, BitPackedMatchesReference) {
  std::mt19937 rng(99);
  for (const Mask& m : test_masks(rng)) {
    MorphSetup su(zuviMorphologyBorderGetSize_1u_C1R, zuviMorphologyBorderInit_1u_C1R, m, {600, 1});
    const bool big = m.w * m.h > 60;
    for (int w : big ? std::vector<int>{1, 9, 70} : std::vector<int>{1, 2, 7, 8, 9, 15, 63, 64, 65, 70, 513})
      for (int h : {1, 3, 8})
        for (int border : Borders{BorderConst, BorderRepl, BorderInMem, BorderRepl | BorderInMemTop,
                                  BorderConst | BorderInMemLeft, BorderConst | BorderInMemRight | BorderInMemBottom})
          for (int soff : {0, 3, 11}) {
            const int doff = (w + soff) % 8;
            BitImage src(w, h, soff, std::max(m.w, m.h) + 1);
            src.randomize(rng);
            for (int dil = 0; dil < 2; ++dil)
              for (int bv : {0, 1}) {
                if (bv == 1 && (border & 0xF) != BorderConst) continue;
                const auto expect = reference_core(
                    m, w, h, 1, border, [&](int x, int y, int) { return double(src.get(x, y)); }, &bv, dil != 0);
                for (int use_ref = 0; use_ref < 2; ++use_ref) {
                  BitImage dst(w, h, doff, 0);
                  dst.randomize(rng);
                  const auto outside = dst.outside_bits();
                  std::unique_ptr<ReferenceKernels> r(use_ref ? new ReferenceKernels : nullptr);
                  ASSERT_EQ((dil ? zuviDilateBorder_1u_C1R : zuviErodeBorder_1u_C1R)(
                                src.origin(), src.step(), src.offset(), dst.origin(), dst.step(), dst.offset(),
                                {w, h}, border, uint8_t(bv), su.state(), su.buffer()), StatusOk);
                  ASSERT_EQ(dst.outside_bits(), outside) << "bits beside the region changed";
                  for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x)
                      ASSERT_EQ(dst.get(x, y), expect[size_t(y) * w + x])
                          << m.name << " " << w << "x" << h << " border 0x" << std::hex << border << std::dec << " at "
                          << x << "," << y << (dil ? " dilate" : " erode") << (use_ref ? " ref" : " vec");
                }
              }
          }
  }
}

// In place: 8u and 32f give the out-of-place result for every strategy;
// 16u, 16s and 1u refuse with nothing written.
template <class T, int C, class Fn>
void check_in_place(Fn fn, MorphSetup::SizeFn size, MorphSetup::InitFn init) {
  std::mt19937 rng(5);
  std::vector<Mask> masks = {Mask::rect(3, 3), Mask::rect(3, 11), Mask::rect(13, 9),
                             Mask::ellipse(7, 5), Mask::offcentre(), Mask::random(5, 5, rng)};
  const std::vector<Mask> all = test_masks(rng);
  masks.insert(masks.end(), all.end() - 2, all.end());
  for (const Mask& m : masks)
    for (int border : {BorderRepl, BorderMirror, BorderConst, BorderInMem}) {
      MorphSetup su(size, init, m, {40, 1});
      GuardedImage<T> a(37, 23, C, 0, Flush::End, 12), b(37, 23, C);
      fill_with_margin(a, 12, rng);
      T v[4] = {T(1), T(2), T(3), T(4)};
      ASSERT_EQ(fn(a.data(), a.step(), b.data(), b.step(), a.size(), border, v, su.state(), su.buffer()), StatusOk);
      ASSERT_EQ(fn(a.data(), a.step(), a.data(), a.step(), a.size(), border, v, su.state(), su.buffer()), StatusOk);
      ASSERT_EQ(a.pixels(), b.pixels()) << m.name << " border " << border;
    }
}

TEST(Morphology, InPlace) {
#define IN_PLACE(op, T, C, kind, sfx)                                    \
  check_in_place<T, C>(MORPH_ADAPT_##kind(op##_##sfx, T, MorphState), \
                       zuviMorphologyBorderGetSize_##sfx, zuviMorphologyBorderInit_##sfx)
  IN_PLACE(zuviErodeBorder, uint8_t, 1, Value, 8u_C1R);
  IN_PLACE(zuviDilateBorder, uint8_t, 3, Array, 8u_C3R);
  IN_PLACE(zuviErodeBorder, float, 4, Array, 32f_C4R);
  IN_PLACE(zuviDilateBorder, float, 1, Last, 32f_C1R);
#undef IN_PLACE
  const Mask m = Mask::rect(3, 3);
  MorphSetup s16(zuviMorphologyBorderGetSize_16s_C1R, zuviMorphologyBorderInit_16s_C1R, m, {8, 1});
  MorphSetup su16(zuviMorphologyBorderGetSize_16u_C1R, zuviMorphologyBorderInit_16u_C1R, m, {8, 1});
  MorphSetup s1(zuviMorphologyBorderGetSize_1u_C1R, zuviMorphologyBorderInit_1u_C1R, m, {8, 1});
  GuardedImage<int16_t> i16(8, 4);
  GuardedImage<uint16_t> u16(8, 4);
  GuardedImage<uint8_t> bits(1, 4);
  expect_refused(StatusInplaceNotSupported, [&] {
    return zuviErodeBorder_16s_C1R(i16.data(), 16, i16.data(), 16, {8, 4}, BorderRepl, 0, s16.state(), s16.buffer());
  }, {i16});
  expect_refused(StatusInplaceNotSupported, [&] {
    return zuviDilateBorder_16u_C1R(u16.data(), 16, u16.data(), 16, {8, 4}, BorderRepl, 0, su16.state(), su16.buffer());
  }, {u16});
  expect_refused(StatusInplaceNotSupported, [&] {
    return zuviErodeBorder_1u_C1R(bits.data(), 1, 0, bits.data(), 1, 0, {8, 4}, BorderRepl, 0, s1.state(), s1.buffer());
  }, {bits});
}

// The checks, in the family's order (two faults at once where it decides), each with nothing written.
TEST(Morphology, ArgumentChecksInOrder) {
  const Mask m = Mask::rect(3, 3);
  MorphSetup su(zuviMorphologyBorderGetSize_32f_C1R, zuviMorphologyBorderInit_32f_C1R, m, {10, 1});
  GuardedImage<float> s(10, 4, 1, 8), d(10, 4, 1, 8);
  const int ok = s.step();
  const MorphState* st = su.state();
  uint8_t* buf = su.buffer();
  auto call = [&](const float* ps, int ss, int ds, ImageSize r, int b, const MorphState* pst, uint8_t* pbuf) {
    return [=, &d] { return zuviErodeBorder_32f_C1R(ps, ss, d.data(), ds, r, b, pst, pbuf, 0.f); };
  };
  expect_refused(StatusNullPointer, call(nullptr, ok, ok, {10, 4}, 1, st, buf), {d});
  expect_refused(StatusNullPointer, call(s.data(), ok, ok, {0, 4}, 1, st, nullptr), {d});
  expect_refused(StatusNullPointer, call(s.data(), ok, ok, {10, 4}, 1, nullptr, buf), {d});
  expect_refused(StatusSize, call(s.data(), 3, ok, {0, 4}, 1, st, buf), {d});
  expect_refused(StatusSize, call(s.data(), ok, ok, {10, 0}, 1, st, buf), {d});
  expect_refused(StatusStep, call(s.data(), 39, ok, {10, 4}, 1, st, buf), {d});
  expect_refused(StatusStep, call(s.data(), 42, 39, {10, 4}, 1, st, buf), {d});
  expect_refused(StatusNotEvenStep, call(s.data(), ok, 42, {10, 4}, 2, st, buf), {d});
  expect_refused(StatusBorder, call(s.data(), ok, ok, {11, 4}, 2, st, buf), {d});
  for (int b : {int(BorderMirrorR), 0x101}) expect_refused(StatusBorder, call(s.data(), ok, ok, {10, 4}, b, st, buf), {d});
  expect_refused(StatusBadArgument, call(s.data(), ok, ok, {11, 1}, 1, st, buf), {d});  // wider than at set-up
  // Flags combine with every accepted mode.
  GuardedImage<float> src(10, 4, 1, 0, Flush::End, 2);
  for (int b : {0x11, 0x20, 0x43, 0x86, 0xF3}) EXPECT_EQ(call(src.data(), src.step(), ok, {10, 4}, b, st, buf)(), 0) << b;
  // 1u: a negative bit offset comes before the size; mirror is refused.
  MorphSetup s1(zuviMorphologyBorderGetSize_1u_C1R, zuviMorphologyBorderInit_1u_C1R, m, {16, 1});
  GuardedImage<uint8_t> bs(3, 2), bd(3, 2);
  auto bcall = [&, p = bs.data(), q = bd.data()](int soff, int doff, ImageSize r, int b, int sstep = 3) {
    return [=, &s1] { return zuviErodeBorder_1u_C1R(p, sstep, soff, q, 3, doff, r, b, 0, s1.state(), s1.buffer()); };
  };
  expect_refused(StatusBadArgument, bcall(-1, 0, {0, 2}, 1), {bd});
  expect_refused(StatusBadArgument, bcall(0, -1, {16, 2}, 1), {bd});
  expect_refused(StatusSize, bcall(0, 0, {16, 0}, 1), {bd});
  expect_refused(StatusStep, bcall(0, 0, {16, 2}, 1, 1), {bd});
  expect_refused(StatusStep, bcall(1, 0, {16, 2}, 1, 2), {bd});  // 17 bits need 3 bytes
  expect_refused(StatusBorder, bcall(0, 0, {16, 2}, BorderMirror), {bd});
  expect_refused(StatusBadArgument, bcall(0, 0, {17, 2}, 1), {bd});
  EXPECT_EQ(bcall(1, 0, {16, 2}, BorderConst)(), StatusOk);

  // Size query and set-up; sizes depend on the ROI width and the mask only.
  int32_t a = 0, b = 0, a2 = 0, b2 = 0;
  EXPECT_EQ(zuviMorphologyBorderGetSize_8u_C1R({10, 4}, {3, 3}, nullptr, &b), StatusNullPointer);
  EXPECT_EQ(zuviMorphologyBorderGetSize_8u_C1R({0, 4}, {3, 3}, &a, nullptr), StatusNullPointer);
  EXPECT_EQ(zuviMorphologyBorderGetSize_8u_C1R({10, 0}, {3, 3}, &a, &b), StatusSize);
  EXPECT_EQ(zuviMorphologyBorderGetSize_8u_C1R({10, 4}, {3, 0}, &a, &b), StatusSize);
  EXPECT_EQ(zuviMorphologyBorderGetSize_8u_C1R({10, 4}, {0, 3}, &a, &b), StatusSize);
  ASSERT_EQ(zuviMorphologyBorderGetSize_8u_C1R({10, 4}, {3, 3}, &a, &b), StatusOk);
  ASSERT_EQ(zuviMorphologyBorderGetSize_8u_C1R({10, 400}, {3, 3}, &a2, &b2), StatusOk);
  EXPECT_TRUE(a > 0 && b > 0 && a == a2 && b == b2) << a << " " << b << " " << a2 << " " << b2;
  std::vector<uint8_t> spec(static_cast<size_t>(a)), work(static_cast<size_t>(b));
  auto* ist = reinterpret_cast<MorphState*>(spec.data());
  EXPECT_EQ(zuviMorphologyBorderInit_8u_C1R({10, 4}, nullptr, {3, 3}, ist, work.data()), StatusNullPointer);
  EXPECT_EQ(zuviMorphologyBorderInit_8u_C1R({10, 4}, m.cells.data(), {3, 3}, nullptr, work.data()), StatusNullPointer);
  EXPECT_EQ(zuviMorphologyBorderInit_8u_C1R({0, 4}, m.cells.data(), {3, 3}, ist, nullptr), StatusNullPointer);
  EXPECT_EQ(zuviMorphologyBorderInit_8u_C1R({10, 4}, m.cells.data(), {3, -1}, ist, work.data()), StatusSize);
  EXPECT_EQ(zuviMorphologyBorderInit_8u_C1R({10, 4}, m.cells.data(), {3, 3}, ist, work.data()), StatusOk);
}

// Hand-worked examples that pin the reference: a frame of 0 under a 0
// constant, and an off-centre rectangle reaching up and left of the anchor.
TEST(Morphology, WorkedExamples) {
  std::mt19937 rng(3);
  GuardedImage<uint8_t> s(9, 6), d(9, 6);
  s.fill([&](int, int, int) { return 1 + rng() % 254; });
  MorphSetup full(zuviMorphologyBorderGetSize_8u_C1R, zuviMorphologyBorderInit_8u_C1R, Mask::rect(3, 3), {9, 1});
  ASSERT_EQ(zuviErodeBorder_8u_C1R(s.data(), s.step(), d.data(), d.step(), s.size(), BorderConst, 0, full.state(), full.buffer()), 0);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 9; ++x) EXPECT_EQ(d.at(x, y) == 0, x == 0 || y == 0 || x == 8 || y == 5) << x << "," << y;
  MorphSetup corner(zuviMorphologyBorderGetSize_8u_C1R, zuviMorphologyBorderInit_8u_C1R, Mask::offcentre(), {9, 1});
  ASSERT_EQ(zuviErodeBorder_8u_C1R(s.data(), s.step(), d.data(), d.step(), s.size(), BorderRepl, 0, corner.state(), corner.buffer()), 0);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 9; ++x) {
      int want = 255;
      for (int yy = y - 2; yy <= y - 1; ++yy)
        for (int xx = x - 2; xx <= x - 1; ++xx) want = std::min<int>(want, s.at(std::clamp(xx, 0, 8), std::clamp(yy, 0, 5)));
      ASSERT_EQ(d.at(x, y), want) << x << "," << y;
    }
}

// The border value is read only when a constant border is generated.
TEST(Morphology, BorderValueReadOnlyWhenNeeded) {
  MorphSetup su(zuviMorphologyBorderGetSize_8u_C3R, zuviMorphologyBorderInit_8u_C3R, Mask::rect(3, 3), {8, 1});
  GuardedImage<uint8_t> s(8, 4, 3, 0, Flush::End, 2), d(8, 4, 3);
  auto call = [&](ImageSize r, int border) {
    return [=, &s, &d, &su] {
      return zuviErodeBorder_8u_C3R(s.data(), s.step(), d.data(), d.step(), r, BorderType(border), nullptr,
                                    su.state(), su.buffer());
    };
  };
  for (int border : Borders{BorderRepl, BorderMirror, BorderInMem, BorderConst | 0xF0})
    EXPECT_EQ(call(s.size(), border)(), StatusOk) << border;
  // A constant that some side needs is a required pointer, tested first.
  expect_refused(StatusNullPointer, call({0, 4}, BorderConst), {d});
  expect_refused(StatusNullPointer, call(s.size(), BorderConst | BorderInMemTop), {d});
}

// Set-up picks the rectangle (1), ellipse (2), empty (3) or general (0) method,
// so the sweep above reaches each of them.
TEST(Morphology, Classification) {
  const std::pair<Mask, int> cases[] = {
      {Mask::empty(3, 3), 3}, {Mask::rect(5, 5), 1}, {Mask::offcentre(), 1}, {Mask::ellipse(5, 5), 2},
      {Mask::ellipse(9, 7), 2}, {Mask::of(3, 3, "cross", [](int x, int y) { return (x + y) % 2 == 0; }), 0},
      {Mask::of(3, 3, "skew", [](int x, int y) { return x == y || x == y + 1; }), 0}};  // one run a row, not centred
  for (const auto& [m, want] : cases) {
    MorphSetup su(zuviMorphologyBorderGetSize_8u_C1R, zuviMorphologyBorderInit_8u_C1R, m, {4, 1});
    EXPECT_EQ(zuv::morph::strategy_of(su.state()), want) << m.name;
  }
}

}  // namespace
