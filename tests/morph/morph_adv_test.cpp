// SPDX-License-Identifier: BSD-3-Clause
// Opening, closing, top-hat, black-hat and gradient against compositions of the flat
// reference (grown intermediates for in-memory borders); argument-check order; worked examples.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "morph/morph_adv.h"
#include "morph/morph_test_util.h"
#include "support/guarded_image.h"
#include "support/status.h"

namespace {

using namespace zuv::test;
using namespace zuv::test::morph;
using zuv::morph_adv::Kind;
using AdvSetup = Setup<MorphAdvState>;

template <class T>
using AdvFn = Status (*)(const T*, int, T*, int, ImageSize, BorderType, const T*, const MorphAdvState*, uint8_t*);

// Saturating difference of the type; 32f clamps negatives to 0.
template <class T>
double sub(double a, double b) {
  if constexpr (std::is_floating_point_v<T>) return std::max(0.0, double(T(a) - T(b)));
  else return std::clamp(a - b, double(std::numeric_limits<T>::lowest()), double(std::numeric_limits<T>::max()));
}

// The compound result from the flat reference: the first pass covers the ROI
// grown by the mask on in-memory sides, the second reads it.
template <class T, class Get>
std::vector<double> compound_reference(Kind kind, const Mask& m, int w, int h, int C, int border, Get src,
                                       const T* value) {
  if (kind == Kind::Gradient) {
    const auto d = reference_core(m, w, h, C, border, src, value, true);
    const auto e = reference_core(m, w, h, C, border, src, value, false);
    std::vector<double> r(d.size());
    for (size_t i = 0; i < r.size(); ++i) r[i] = sub<T>(d[i], e[i]);
    return r;
  }
  int flags = border & 0xF0;
  if ((border & 0xF) == BorderInMem) flags = 0xF0;
  const int ax = (m.w - 1) / 2, ay = (m.h - 1) / 2;
  const int gl = flags & BorderInMemLeft ? ax : 0, gr = flags & BorderInMemRight ? m.w - ax - 1 : 0;
  const int gt = flags & BorderInMemTop ? ay : 0, gb = flags & BorderInMemBottom ? m.h - ay - 1 : 0;
  const int wg = w + gl + gr, hg = h + gt + gb;
  const bool opening = kind == Kind::Open || kind == Kind::Tophat;
  const auto first = reference_core(m, wg, hg, C, border, [&](int x, int y, int c) { return src(x - gl, y - gt, c); },
                                    value, !opening);
  auto mid = [&](int x, int y, int c) { return first[(size_t(y + gt) * wg + (x + gl)) * C + c]; };
  auto r = reference_core(m, w, h, C, border, mid, value, opening);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < C; ++c) {
        double& v = r[(size_t(y) * w + x) * C + c];
        if (kind == Kind::Tophat) v = sub<T>(src(x, y, c), v);
        if (kind == Kind::Blackhat) v = sub<T>(v, src(x, y, c));
      }
  return r;
}

const Kind kKinds[] = {Kind::Open, Kind::Close, Kind::Tophat, Kind::Blackhat, Kind::Gradient};
const char* const kKindNames[] = {"open", "close", "tophat", "blackhat", "gradient"};
const Borders kAdvBorders = {BorderConst, BorderRepl, BorderInMem, BorderRepl | BorderInMemTop,
                             BorderConst | BorderInMemLeft | BorderInMemBottom, BorderRepl | BorderInMemRight};

// Every operation of a member against the composition, for each mask, size and border, with
// the vector kernels and (paths 2) the scalar ones; the state fits the widest, >= 13 rows.
template <class T>
void check_compound(int C, AdvSetup::SizeFn size, AdvSetup::InitFn init, const AdvFn<T> (&fns)[5],
                    const std::vector<Mask>& masks, std::vector<int> widths, std::vector<int> heights,
                    std::mt19937& rng, int paths) {
  const int maxW = *std::max_element(widths.begin(), widths.end());
  for (const Mask& m : masks)
    for (int h : heights) {
      AdvSetup su(size, init, m, {maxW, std::max(h, 13)});
      for (int w : widths)
        for (int border : kAdvBorders) {
          const int margin = 2 * std::max(m.w, m.h);
          GuardedImage<T> src(w, h, C, 0, Flush::End, margin);
          fill_with_margin(src, margin, rng);
          const T value[4] = {T(9), T(49), T(89), T(129)};
          for (int k = 0; k < 5; ++k) {
            const auto want = compound_reference<T>(kKinds[k], m, w, h, C, border, reader(src), value);
            for (int use_ref = 0; use_ref < paths; ++use_ref) {
              GuardedImage<T> dst(w, h, C, int(sizeof(T)));
              std::unique_ptr<ReferenceKernels> r(use_ref ? new ReferenceKernels : nullptr);
              ASSERT_EQ(fns[k](src.data(), src.step(), dst.data(), dst.step(), {w, h}, border, value, su.state(),
                               su.buffer()), StatusOk);
              ASSERT_TRUE(dst.padding_intact());
              for (int y = 0; y < h; ++y)
                for (int x = 0; x < w * C; ++x)
                  ASSERT_EQ(double(dst.row(y)[x]), want[size_t(y) * w * C + x])
                      << kKindNames[k] << (use_ref ? " ref " : " vec ") << m.name << " " << w << "x" << h << " border 0x"
                      << std::hex << border << std::dec << " at " << x / C << "," << y;
            }
          }
        }
    }
}

#define ADV_FNS(op, cl, th, bh, gr, T, kind)                                                                 \
  {MORPH_ADAPT_##kind(op, T, MorphAdvState), MORPH_ADAPT_##kind(cl, T, MorphAdvState),                      \
   MORPH_ADAPT_##kind(th, T, MorphAdvState), MORPH_ADAPT_##kind(bh, T, MorphAdvState),                      \
   MORPH_ADAPT_##kind(gr, T, MorphAdvState)}

// One test per member, named after its opening.
#define X(gs, in, op, cl, th, bh, gr, T, C, kind)                                                            \
  TEST(MorphAdvMatchesComposition, op) {                                                                     \
    const AdvFn<T> fns[5] = ADV_FNS(op, cl, th, bh, gr, T, kind);                                            \
    std::mt19937 rng(77);                                                                                    \
    check_compound<T>(C, gs, in, fns, {Mask::rect(3, 3), Mask::rect(1, 1), Mask::empty(3, 3),                \
                      Mask::ellipse(5, 5), Mask::offcentre(), Mask::random(4, 3, rng), Mask::rect(9, 9)},    \
                      {1, 2, 5, 17, 64, 70}, {1, 4, 13}, rng, 2);                                               \
  }
ZUV_MORPH_ADV_TABLE(X)
#undef X

// Tall images run in bands of rows; every band edge must vanish in the result.
TEST(MorphAdv, TallImagesInBands) {
  std::mt19937 rng(31);
  const std::vector<Mask> masks = {Mask::rect(3, 3), Mask::ellipse(5, 5), Mask::offcentre(), Mask::rect(21, 21),
                                   Mask::random(6, 5, rng)};
  const AdvFn<uint8_t> f8[5] = ADV_FNS(zuviMorphOpenBorder_8u_C1R, zuviMorphCloseBorder_8u_C1R,
                                       zuviMorphTophatBorder_8u_C1R, zuviMorphBlackhatBorder_8u_C1R,
                                       zuviMorphGradientBorder_8u_C1R, uint8_t, Value);
  check_compound<uint8_t>(1, zuviMorphAdvGetSize_8u_C1R, zuviMorphAdvInit_8u_C1R, f8, masks, {19}, {64, 65, 131}, rng, 1);
  const AdvFn<float> f32[5] = ADV_FNS(zuviMorphOpenBorder_32f_C3R, zuviMorphCloseBorder_32f_C3R,
                                      zuviMorphTophatBorder_32f_C3R, zuviMorphBlackhatBorder_32f_C3R,
                                      zuviMorphGradientBorder_32f_C3R, float, Array);
  check_compound<float>(3, zuviMorphAdvGetSize_32f_C3R, zuviMorphAdvInit_32f_C3R, f32, masks, {19}, {64, 65, 131}, rng, 1);
}

TEST(MorphAdv, BitPackedMatchesComposition) {
  using Fn = Status (*)(const uint8_t*, int, int, uint8_t*, int, int, ImageSize, BorderType, uint8_t,
                        const MorphAdvState*, uint8_t*);
  const Fn fns[5] = {zuviMorphOpenBorder_1u_C1R, zuviMorphCloseBorder_1u_C1R, zuviMorphTophatBorder_1u_C1R,
                     zuviMorphBlackhatBorder_1u_C1R, zuviMorphGradientBorder_1u_C1R};
  std::mt19937 rng(4);
  for (const Mask& m : {Mask::rect(3, 3), Mask::ellipse(5, 5), Mask::offcentre(), Mask::random(4, 3, rng)}) {
    AdvSetup su(zuviMorphAdvGetSize_1u_C1R, zuviMorphAdvInit_1u_C1R, m, {70, 97});
    for (int w : {1, 7, 9, 64, 70})
      for (int border : kAdvBorders)
        for (int soff : {0, 5}) {
          const int h = w == 64 ? 97 : 9;  // 97 rows run in bands
          BitImage src(w, h, soff, 2 * std::max(m.w, m.h));
          src.randomize(rng);
          const uint8_t bv = 1;
          auto get = [&](int x, int y, int) { return double(src.get(x, y)); };
          for (int k = 0; k < 5; ++k) {
            const auto want = compound_reference<uint8_t>(kKinds[k], m, w, h, 1, border, get, &bv);
            BitImage dst(w, h, 3, 0);
            ASSERT_EQ(fns[k](src.origin(), src.step(), src.offset(), dst.origin(), dst.step(), dst.offset(),
                             {w, h}, border, bv, su.state(), su.buffer()), StatusOk);
            for (int y = 0; y < h; ++y)
              for (int x = 0; x < w; ++x)
                ASSERT_EQ(dst.get(x, y), want[size_t(y) * w + x] > 0 ? 1 : 0)
                    << kKindNames[k] << " mask " << m.name << " w " << w << " border 0x" << std::hex << border
                    << std::dec << " at " << x << "," << y;
          }
        }
  }
}

TEST(MorphAdv, WorkedExamplesAndInPlace) {
  // A mask without the anchor: 16s top-hat may go negative, 32f clamps to 0.
  const Mask corner = Mask::of(3, 3, "corner", [](int x, int y) { return x == 0 && y == 0; });
  AdvSetup s16(zuviMorphAdvGetSize_16s_C1R, zuviMorphAdvInit_16s_C1R, corner, {8, 8});
  AdvSetup s32(zuviMorphAdvGetSize_32f_C1R, zuviMorphAdvInit_32f_C1R, corner, {8, 8});
  GuardedImage<int16_t> a16(8, 8), d16(8, 8);
  GuardedImage<float> a32(8, 8), d32(8, 8);
  a16.fill([](int x, int y, int) { return (x * 7 + y * 13) % 50 - 25; });
  a32.fill([](int x, int y, int) { return float((x * 7 + y * 13) % 50 - 25); });
  ASSERT_EQ(zuviMorphTophatBorder_16s_C1R(a16.data(), a16.step(), d16.data(), d16.step(), a16.size(), BorderRepl, 0, s16.state(), s16.buffer()), 0);
  ASSERT_EQ(zuviMorphTophatBorder_32f_C1R(a32.data(), a32.step(), d32.data(), d32.step(), a32.size(), BorderRepl, s32.state(), s32.buffer(), 0.f), 0);
  bool negative = false;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      negative |= d16.at(x, y) < 0;
      EXPECT_EQ(d32.at(x, y), std::max(0.f, float(d16.at(x, y))));
    }
  EXPECT_TRUE(negative);

  // In place (8u): the same bytes as out of place, for every operation.
  std::mt19937 rng(12);
  AdvSetup e5(zuviMorphAdvGetSize_8u_C1R, zuviMorphAdvInit_8u_C1R, Mask::ellipse(5, 5), {33, 17});
  using Fn = Status (*)(const uint8_t*, int, uint8_t*, int, ImageSize, BorderType, uint8_t, const MorphAdvState*, uint8_t*);
  for (Fn f : {zuviMorphOpenBorder_8u_C1R, zuviMorphCloseBorder_8u_C1R, zuviMorphTophatBorder_8u_C1R,
               zuviMorphBlackhatBorder_8u_C1R, zuviMorphGradientBorder_8u_C1R}) {
    GuardedImage<uint8_t> x(33, 17), y(33, 17);
    x.fill_random(rng);
    ASSERT_EQ(f(x.data(), x.step(), y.data(), y.step(), x.size(), BorderRepl, 0, e5.state(), e5.buffer()), 0);
    ASSERT_EQ(f(x.data(), x.step(), x.data(), x.step(), x.size(), BorderRepl, 0, e5.state(), e5.buffer()), 0);
    EXPECT_EQ(x.pixels(), y.pixels());
  }
}

TEST(MorphAdv, ArgumentChecksInOrder) {
  AdvSetup su(zuviMorphAdvGetSize_16u_C1R, zuviMorphAdvInit_16u_C1R, Mask::rect(3, 3), {10, 5});
  GuardedImage<uint16_t> s(10, 5, 1, 4), d(10, 5, 1, 4), tall(10, 40), tout(10, 40), g(10, 5);
  const int ok = s.step();
  auto call = [&](const uint16_t* ps, int ss, uint16_t* pd, int ds, ImageSize r, int b, uint8_t* buf) {
    return [=, &su] { return zuviMorphCloseBorder_16u_C1R(ps, ss, pd, ds, r, b, 0, su.state(), buf); };
  };
  expect_refused(StatusNullPointer, call(s.data(), ok, d.data(), ok, {0, 5}, 1, nullptr), {d});
  expect_refused(StatusSize, call(s.data(), 1, d.data(), ok, {10, 0}, 1, su.buffer()), {d});
  expect_refused(StatusStep, call(s.data(), 19, d.data(), ok, {10, 5}, 3, su.buffer()), {d});
  expect_refused(StatusNotEvenStep, call(s.data(), 21, d.data(), ok, {10, 5}, 3, su.buffer()), {d});
  expect_refused(StatusBorder, call(s.data(), ok, d.data(), ok, {11, 5}, BorderMirror, su.buffer()), {d});
  expect_refused(StatusBadArgument, call(s.data(), ok, d.data(), ok, {11, 5}, 1, su.buffer()), {d});
  // Taller than at set-up: the intermediate image no longer fits.
  expect_refused(StatusBadArgument, call(tall.data(), tall.step(), tout.data(), tout.step(), {10, 40}, 1, su.buffer()), {tout});
  // Mode bits beyond 0xF pass the family's test and fail in the erosion.
  expect_refused(StatusBorder, call(s.data(), ok, d.data(), ok, {10, 5}, 0x101, su.buffer()), {d});
  // Gradient in place: refused for 16u by the dilation it runs.
  expect_refused(StatusInplaceNotSupported, [&] {
    return zuviMorphGradientBorder_16u_C1R(g.data(), g.step(), g.data(), g.step(), {10, 5}, 1, 0, su.state(), su.buffer());
  }, {g});
  int32_t a = 0, b = 0;
  {
    // A missing three-channel constant is a null pointer, tested first.
    AdvSetup s3(zuviMorphAdvGetSize_32f_C3R, zuviMorphAdvInit_32f_C3R, Mask::rect(3, 3), {10, 5});
    GuardedImage<float> f(10, 5, 3), fo(10, 5, 3);
    expect_refused(StatusNullPointer, [&] {
      return zuviMorphOpenBorder_32f_C3R(f.data(), f.step(), fo.data(), fo.step(), {0, 5}, BorderConst, nullptr, s3.state(), s3.buffer());
    }, {fo});
    EXPECT_EQ(zuviMorphOpenBorder_32f_C3R(f.data(), f.step(), fo.data(), fo.step(), {10, 5}, BorderRepl, nullptr, s3.state(), s3.buffer()), StatusOk);
  }
  EXPECT_EQ(zuviMorphAdvGetSize_8u_C3R({0, 5}, {3, 3}, nullptr, &b), StatusNullPointer);
  EXPECT_EQ(zuviMorphAdvGetSize_8u_C3R({10, 5}, {3, 0}, &a, &b), StatusSize);
  ASSERT_EQ(zuviMorphAdvGetSize_8u_C3R({10, 5}, {3, 3}, &a, &b), StatusOk);
  std::vector<uint8_t> spec(static_cast<size_t>(a)), buf(static_cast<size_t>(b));
  const uint8_t cells[9] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
  auto* st = reinterpret_cast<MorphAdvState*>(spec.data());
  EXPECT_EQ(zuviMorphAdvInit_8u_C3R({10, 5}, cells, {3, 3}, st, nullptr), StatusNullPointer);
  EXPECT_EQ(zuviMorphAdvInit_8u_C3R({10, -5}, cells, {3, 3}, st, buf.data()), StatusSize);
  EXPECT_EQ(zuviMorphAdvInit_8u_C3R({10, 5}, cells, {3, 3}, st, buf.data()), StatusOk);
  // A region whose grown width or sizes leave the int range: refused before
  // the state is touched.
  const std::vector<uint8_t> before = spec;
  EXPECT_EQ(zuviMorphAdvGetSize_8u_C3R({INT_MAX, 5}, {3, 3}, &a, &b), StatusSizeOverflow);
  EXPECT_EQ(zuviMorphAdvInit_8u_C3R({INT_MAX - 1, 5}, cells, {3, 3}, st, buf.data()), StatusSizeOverflow);
  EXPECT_EQ(spec, before);
}

}  // namespace
