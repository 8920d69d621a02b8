// SPDX-License-Identifier: BSD-3-Clause
// Gray-scale erosion and dilation: per-pixel reference, worked examples, argument checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "morph/morph_gray.h"
#include "support/guarded_image.h"
#include "support/status.h"

namespace {

using namespace zuv::test;

// One pixel from the window cut at the ROI: the max (dilation) or min
// (erosion) of pixel + mask value, 8u saturated to 0..255.
template <class T, class M>
double gray_reference(const GuardedImage<T>& s, const std::vector<M>& m, int mw, int mh, int ax, int ay, bool dilate,
                      int x, int y) {
  double acc = dilate ? -1e300 : 1e300;
  for (int yy = std::max(0, y - ay); yy < std::min(s.height(), y - ay + mh); ++yy)
    for (int xx = std::max(0, x - ax); xx < std::min(s.width(), x - ax + mw); ++xx) {
      const M mv = m[size_t(yy - y + ay) * mw + (xx - x + ax)];
      const double v = std::is_same_v<T, float> ? double(s.at(xx, yy) + mv)
                                                : std::clamp(double(s.at(xx, yy)) + double(mv), 0.0, 255.0);
      acc = dilate ? std::max(acc, v) : std::min(acc, v);
    }
  return acc;
}

// Mask sizes and anchors, image sizes with every tail, the exact state size,
// vector kernels first, then the scalar ones; mask values in -hi..hi.
template <class T, class M, class Size, class Init, class Op>
void check_gray(Size size, Init init, Op erode, Op dilate, M hi) {
  std::mt19937 rng(21);
  for (bool scalar : {false, true})
    for (auto [mw, mh] : {std::pair{1, 1}, std::pair{3, 3}, std::pair{5, 2}, std::pair{2, 7}})
      for (int ax = 0; ax < mw; ax += 2)
        for (int ay = 0; ay < mh; ay += 3) {
          std::unique_ptr<ReferenceKernels> use_ref(scalar ? new ReferenceKernels : nullptr);
          std::vector<M> m(size_t(mw) * mh);
          for (auto& v : m) v = M(hi * (int(rng() % 2001) - 1000) / 1000.0);
          int32_t bytes = 0;
          ASSERT_EQ(size({40, 9}, m.data(), {mw, mh}, &bytes), StatusOk);
          ASSERT_EQ(bytes, 4 * mw * mh + 32);
          std::vector<uint8_t> st(size_t(bytes) + 3);  // at an odd address
          auto* state = reinterpret_cast<MorphGrayState*>(st.data() + 3);
          ASSERT_EQ(init(state, {40, 9}, m.data(), {mw, mh}, ImagePoint{ax, ay}), StatusOk);
          for (int w : {1, 2, 17, 40})
            for (int h : {1, 3, 9}) {
              GuardedImage<T> s(w, h), d(w, h, 1, 4);
              s.fill([&](int, int, int) { return std::is_same_v<T, float> ? T(int(rng() % 2000) - 1000) / 8 : T(rng() % 256); });
              for (int dil = 0; dil < 2; ++dil) {
                ASSERT_EQ((dil ? dilate : erode)(s.data(), s.step(), d.data(), d.step(), {w, h}, BorderRepl, state), StatusOk);
                ASSERT_TRUE(d.padding_intact());
                for (int y = 0; y < h; ++y)
                  for (int x = 0; x < w; ++x)
                    ASSERT_EQ(double(d.at(x, y)), (gray_reference<T, M>(s, m, mw, mh, ax, ay, dil != 0, x, y)))
                        << mw << "x" << mh << "@" << ax << "," << ay << " " << w << "x" << h << " at " << x << "," << y
                        << (scalar ? " ref" : " vec");
              }
            }
        }
}

TEST(MorphGray, MatchesReference) {
#define X(gs, in, er, di, T, M) check_gray<T, M>(gs, in, er, di, M(std::is_same_v<T, float> ? 40 : 300));
  ZUV_MORPH_GRAY_TABLE(X)
#undef X
}

// Hand-worked values that pin the reference: the window is cut at the ROI
// (a replicated border would give 45 at the end), values of 300 saturate.
TEST(MorphGray, WorkedExamples) {
  GuardedImage<uint8_t> s(4, 1), d(4, 1);
  s.fill([](int x, int, int) { return std::vector<int>{20, 30, 10, 40}[size_t(x)]; });
  std::vector<uint8_t> st(3 * 4 + 32);
  auto* state = reinterpret_cast<MorphGrayState*>(st.data());
  auto run = [&](std::vector<int32_t> m, bool dilate) {
    EXPECT_EQ(zuviMorphGrayInit_8u_C1R(state, {4, 1}, m.data(), {3, 1}, {1, 0}), StatusOk);
    EXPECT_EQ((dilate ? zuviGrayDilateBorder_8u_C1R : zuviGrayErodeBorder_8u_C1R)(
                  s.data(), s.step(), d.data(), d.step(), s.size(), BorderRepl, state), StatusOk);
    return d.pixels();
  };
  EXPECT_EQ(run({0, 0, 5}, true), (std::vector<uint8_t>{35, 30, 45, 40}));
  EXPECT_EQ(run({0, 0, 0}, false), (std::vector<uint8_t>{20, 10, 10, 10}));
  EXPECT_EQ(run({300, 300, 300}, true), std::vector<uint8_t>(4, 255));
}

TEST(MorphGray, ArgumentChecksInOrder) {
  const std::vector<float> m(6, 1.f);
  int32_t n = 0;
  EXPECT_EQ(zuviMorphGrayGetSize_32f_C1R({4, 4}, nullptr, {3, 2}, &n), StatusNullPointer);
  EXPECT_EQ(zuviMorphGrayGetSize_32f_C1R({0, 4}, m.data(), {3, 2}, nullptr), StatusNullPointer);
  EXPECT_EQ(zuviMorphGrayGetSize_32f_C1R({4, 4}, m.data(), {0, 2}, &n), StatusSize);
  std::vector<uint8_t> st(6 * 4 + 32);
  auto* state = reinterpret_cast<MorphGrayState*>(st.data());
  EXPECT_EQ(zuviMorphGrayInit_32f_C1R(nullptr, {4, 4}, m.data(), {3, 2}, {0, 0}), StatusNullPointer);
  EXPECT_EQ(zuviMorphGrayInit_32f_C1R(state, {4, 0}, m.data(), {3, 2}, {5, 0}), StatusSize);
  EXPECT_EQ(zuviMorphGrayInit_32f_C1R(state, {4, 4}, m.data(), {3, 2}, {3, 0}), StatusAnchor);
  EXPECT_EQ(zuviMorphGrayInit_32f_C1R(state, {4, 4}, m.data(), {3, 2}, {0, -1}), StatusAnchor);
  ASSERT_EQ(zuviMorphGrayInit_32f_C1R(state, {10, 4}, m.data(), {3, 2}, {2, 1}), StatusOk);
  GuardedImage<float> s(10, 4, 1, 8), d(10, 4, 1, 8);
  const int ok = s.step();
  auto call = [&](float* pd, int ss, int ds, ImageSize r, int b) {
    return [=, &s] { return zuviGrayErodeBorder_32f_C1R(s.data(), ss, pd, ds, r, b, state); };
  };
  expect_refused(StatusNullPointer, call(nullptr, ok, ok, {0, 4}, 1), {d});
  expect_refused(StatusSize, call(d.data(), 3, ok, {10, 0}, 1), {d});
  expect_refused(StatusStep, call(d.data(), ok, 39, {10, 4}, 0), {d});
  expect_refused(StatusNotEvenStep, call(d.data(), 42, ok, {10, 4}, 0), {d});
  for (int b : {int(BorderConst), int(BorderInMem), BorderMirror | BorderInMemTop, 0x101})
    expect_refused(StatusBadArgument, call(d.data(), ok, ok, {10, 4}, b), {d});
  expect_refused(StatusBadArgument, call(d.data(), ok, ok, {10, 5}, BorderRepl), {d});
  // The mode is taken without the in-memory flags; the window stays inside the region.
  std::mt19937 rng(3);
  s.fill_random(rng);
  ASSERT_EQ(call(d.data(), ok, ok, {10, 4}, BorderRepl)(), StatusOk);
  const std::vector<float> repl = d.pixels();
  for (int b : {BorderRepl | BorderInMemTop, 0xF1}) {
    ASSERT_EQ(call(d.data(), ok, ok, {10, 4}, b)(), StatusOk) << b;
    EXPECT_EQ(d.pixels(), repl) << b;
  }
}

}  // namespace
