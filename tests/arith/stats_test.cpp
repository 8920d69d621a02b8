// SPDX-License-Identifier: BSD-3-Clause
// Mean, deviation and extrema: vector against reference, against plain sums,
// first occurrences across stripes, thread counts, edge cases, check order.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "arith/stats.h"
#include "support/guarded_image.h"
#include "support/status.h"

namespace {

using zuv::stats::Layout;
using zuv::test::expect_refused;
using zuv::test::Flush;
using zuv::test::GuardedImage;
using zuv::test::ReferenceKernels;
using zuv::test::ThreadCount;

// Calls an export of layout L with the image, mask and coi arguments it takes.
template <Layout L, class F, class T, class... Out>
Status call(F f, const T* src, int step, const uint8_t* m, int mStep, ImageSize roi, int coi, Out... out) {
  if constexpr (L == Layout::C1R) return f(src, step, roi, out...);
  else if constexpr (L == Layout::C1MR) return f(src, step, m, mStep, roi, out...);
  else if constexpr (L == Layout::C3CR) return f(src, step, roi, coi, out...);
  else return f(src, step, m, mStep, roi, coi, out...);
}

// A source, its mask and the channel of interest.
template <class T>
struct Input {
  Input(int w, int h, int c, int pad, Flush flush)
      : src(w, h, c, pad * int(sizeof(T)), flush), mask(w, h, 1, pad, flush) {}
  GuardedImage<T> src;
  GuardedImage<uint8_t> mask;
  int coi = 1;
  // One-channel images have only channel 1.
  void set_coi(int c) { coi = src.channels() == 3 ? c : 1; }
};

// Means and deviations through one interface: the Mean exports ignore dev.
template <class T, Layout L, bool kDev, class F>
struct MeanMember {
  using Type = T;
  static constexpr Layout kLayout = L;
  static constexpr bool kHasDev = kDev;
  const char* name;
  F f;
  Status operator()(const T* s, int step, const uint8_t* m, int mStep, ImageSize roi, int coi,
                    double* mean, double* dev) const {
    if constexpr (kDev) return call<L>(f, s, step, m, mStep, roi, coi, mean, dev);
    else return call<L>(f, s, step, m, mStep, roi, coi, mean);
  }
  Status operator()(const Input<T>& in, double* mean, double* dev) const {
    return (*this)(in.src.data(), in.src.step(), in.mask.data(), in.mask.step(), in.src.size(), in.coi,
                   mean, dev);
  }
};

template <class T, Layout L, class F>
struct MinMaxMember {
  using Type = T;
  static constexpr Layout kLayout = L;
  const char* name;
  F f;
  Status operator()(const Input<T>& in, float* mn, float* mx, ImagePoint* pmn, ImagePoint* pmx) const {
    return call<L>(f, in.src.data(), in.src.step(), in.mask.data(), in.mask.step(), in.src.size(), in.coi,
                   mn, mx, pmn, pmx);
  }
};

// Runs fn on every mean/deviation member, then on every extrema member.
template <class Fn>
void for_mean_members(Fn&& fn) {
#define X(name, T, L, thr, even) \
  fn(MeanMember<T, Layout::L, false, decltype(&name)>{#name, &name});
  ZUV_MEAN_TABLE(X)
#undef X
#define X(name, T, L, thr, even) \
  fn(MeanMember<T, Layout::L, true, decltype(&name)>{#name, &name});
  ZUV_MEAN_STDDEV_TABLE(X)
#undef X
}
template <class Fn>
void for_minmax_members(Fn&& fn) {
#define X(name, T, L, thr, even) fn(MinMaxMember<T, Layout::L, decltype(&name)>{#name, &name});
  ZUV_MINMAX_TABLE(X)
#undef X
}

// The selected values in raster order.
template <class T, Layout L>
std::vector<T> selected(const Input<T>& in) {
  std::vector<T> v;
  for (int y = 0; y < in.src.height(); ++y)
    for (int x = 0; x < in.src.width(); ++x)
      if (!zuv::stats::masked(L) || in.mask.at(x, y) != 0) v.push_back(in.src.at(x, y, in.coi - 1));
  return v;
}

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Checks a mean/deviation result against plain sums. Integer sums are exact,
// so the result must be the formula's value to the bit. 32f rows are summed
// in float partials of at most ceil(w / 64) terms each (each add or fma
// rounds once, relative error 2^-24), then in double: the error of a sum is
// below (w / 64 + 2) 2^-24 times the sum of magnitudes, which bounds the
// mean's error and, through m2 - mean^2, the variance's.
template <class T, bool kDev>
void expect_plain(const std::vector<T>& v, int width, double mean, double dev) {
  if (v.empty()) {
    EXPECT_EQ(mean, 0.0);
    if (kDev) { EXPECT_EQ(dev, 0.0); }
    return;
  }
  const double n = double(v.size());
  if constexpr (!std::is_same_v<T, float>) {
    uint64_t s = 0, q = 0;
    for (T x : v) { s += x; q += uint64_t(x) * x; }
    const double mu = double(s) / n;
    EXPECT_TRUE(same_bits(mean, mu)) << mean << " vs " << mu;
    if (kDev) { EXPECT_TRUE(same_bits(dev, std::sqrt(std::fabs(std::fma(-mu, mu, double(q) / n))))) << dev; }
  } else {
    long double s = 0, a = 0, q = 0;
    for (float x : v) { s += x; a += std::fabs(x); q += (long double)x * x; }
    const long double mu = s / n, m2 = q / n, mabs = a / n;
    long double d = 0;
    for (float x : v) d += (x - mu) * (x - mu);
    const long double rel = (width / 64.0L + 2) * std::ldexp(1.0L, -24);
    EXPECT_NEAR(double(mean), double(mu), double(rel * mabs + 1e-300L));
    if (kDev) {
      const long double var = d / n;
      EXPECT_NEAR(double((long double)dev * dev), double(var), double(rel * (m2 + 2 * std::fabs(mu) * mabs)));
    }
  }
}

// First occurrence in raster order with strict comparisons; NaNs take no part.
template <class T, Layout L>
void expect_plain_extrema(const Input<T>& in, float mn, float mx, ImagePoint pmn, ImagePoint pmx) {
  bool found = false;
  T vmin{}, vmax{};
  ImagePoint a{0, 0}, b{0, 0};
  for (int y = 0; y < in.src.height(); ++y)
    for (int x = 0; x < in.src.width(); ++x) {
      if (zuv::stats::masked(L) && in.mask.at(x, y) == 0) continue;
      const T v = in.src.at(x, y, in.coi - 1);
      if (v != v) continue;
      if (!found || v < vmin) { vmin = v; a = {x, y}; }
      if (!found || v > vmax) { vmax = v; b = {x, y}; }
      found = true;
    }
  EXPECT_EQ(mn, found ? float(in.src.at(a.x, a.y, in.coi - 1)) : 0.f);
  EXPECT_EQ(mx, found ? float(in.src.at(b.x, b.y, in.coi - 1)) : 0.f);
  EXPECT_EQ(pmn.x, a.x);
  EXPECT_EQ(pmn.y, a.y);
  EXPECT_EQ(pmx.x, b.x);
  EXPECT_EQ(pmx.y, b.y);
}

template <class T>
void fill_case(Input<T>& in, std::mt19937& rng, int maskZeroOneIn) {
  in.src.fill_random(rng);
  in.mask.fill([&](int, int, int) { return rng() % maskZeroOneIn == 0 ? 0 : 1 + int(rng() % 255); });
}

// Every tail length of every type, both guard ends, padded and flush rows:
// the vector path gives the reference path's bits, and both the plain result.
TEST(Stats, VectorMatchesReferenceAndPlainSums) {
  for_mean_members([](auto member) {
    using M = decltype(member);
    using T = typename M::Type;
    SCOPED_TRACE(member.name);
    const int c = zuv::stats::channels(M::kLayout);
    for (Flush flush : {Flush::End, Flush::Begin})
      for (int pad : {0, 3})
        for (int h = 1; h <= 3; ++h)
          for (int w = 1; w <= 140; w += (w < 70 ? 1 : 13)) {
            std::mt19937 rng(uint32_t(w * 7919 + h * 31 + pad));
            Input<T> in(w, h, c, pad, flush);
            fill_case(in, rng, 3);
            in.set_coi(1 + w % 3);
            double mv = -1, dv = -1, mr = -2, dr = -2;
            ASSERT_EQ(member(in, &mv, &dv), StatusOk);
            {
              ReferenceKernels use_ref;
              ASSERT_EQ(member(in, &mr, &dr), StatusOk);
            }
            ASSERT_TRUE(same_bits(mv, mr)) << w << "x" << h << ": " << mv << " vs " << mr;
            if (M::kHasDev) { ASSERT_TRUE(same_bits(dv, dr)) << w << "x" << h << ": " << dv << " vs " << dr; }
            expect_plain<T, M::kHasDev>(selected<T, M::kLayout>(in), w, mv, dv);
          }
  });
  for_minmax_members([](auto member) {
    using M = decltype(member);
    using T = typename M::Type;
    SCOPED_TRACE(member.name);
    for (Flush flush : {Flush::End, Flush::Begin})
      for (int h = 1; h <= 3; ++h)
        for (int w = 1; w <= 140; w += (w < 70 ? 1 : 13)) {
          std::mt19937 rng(uint32_t(w * 31 + h));
          Input<T> in(w, h, zuv::stats::channels(M::kLayout), 3, flush);
          fill_case(in, rng, 2);
          // Narrow integer ranges make ties, so first occurrences matter.
          if (!std::is_same_v<T, float>) in.src.fill([&](int, int, int) { return 100 + int(rng() % 7); });
          // NaNs take no part; an image of NaNs only is like an empty mask.
          if (std::is_same_v<T, float> && w % 4 == 0)
            for (int y = 0; y < h; ++y)
              for (int x = 0; x < w * in.src.channels(); ++x)
                if (w % 8 == 0 || rng() % 3 == 0) in.src.row(y)[x] = std::numeric_limits<T>::quiet_NaN();
          in.set_coi(1 + (w + h) % 3);
          float a[2], b[2];
          ImagePoint pa[2], pb[2];
          ASSERT_EQ(member(in, &a[0], &b[0], &pa[0], &pb[0]), StatusOk);
          {
            ReferenceKernels use_ref;
            ASSERT_EQ(member(in, &a[1], &b[1], &pa[1], &pb[1]), StatusOk);
          }
          ASSERT_EQ(std::memcmp(a, a + 1, 4) | std::memcmp(b, b + 1, 4), 0) << w << "x" << h;
          ASSERT_EQ(std::memcmp(pa, pa + 1, 8) | std::memcmp(pb, pb + 1, 8), 0) << w << "x" << h;
          expect_plain_extrema<T, M::kLayout>(in, a[0], b[0], pa[0], pb[0]);
        }
  });
}

// Regions above every threshold on 1, 2 and 8 threads: integer means and all
// extrema do not change; 32f sums may change in their last bits with the
// stripe boundaries, but the vector and reference paths still agree exactly.
TEST(Stats, ThreadCounts) {
  constexpr int kW = 1100, kH = 1000;  // 1.1 M pixels: threaded on 8 threads too
  for_mean_members([](auto member) {
    using M = decltype(member);
    using T = typename M::Type;
    SCOPED_TRACE(member.name);
    std::mt19937 rng(5);
    Input<T> in(kW, kH, zuv::stats::channels(M::kLayout), 0, Flush::End);
    fill_case(in, rng, 4);
    in.set_coi(3);
    double m1 = 0, d1 = 0;
    for (int threads : {1, 2, 8}) {
      ThreadCount tc(threads);
      double mv, dv, mr, dr;
      ASSERT_EQ(member(in, &mv, &dv), StatusOk);
      {
        ReferenceKernels use_ref;
        ASSERT_EQ(member(in, &mr, &dr), StatusOk);
      }
      EXPECT_TRUE(same_bits(mv, mr) && (!M::kHasDev || same_bits(dv, dr))) << threads << " threads";
      if (threads == 1) {
        m1 = mv, d1 = dv;
        expect_plain<T, M::kHasDev>(selected<T, M::kLayout>(in), kW, mv, dv);
      } else if (!std::is_same_v<T, float>) {
        EXPECT_TRUE(same_bits(mv, m1) && (!M::kHasDev || same_bits(dv, d1))) << threads << " threads";
      } else {
        EXPECT_NEAR(mv, m1, 1e-9 * std::fabs(m1) + 1e-9);
      }
    }
  });
  for_minmax_members([](auto member) {
    using M = decltype(member);
    using T = typename M::Type;
    SCOPED_TRACE(member.name);
    std::mt19937 rng(6);
    Input<T> in(kW / 2, kH / 2, zuv::stats::channels(M::kLayout), 0, Flush::End);
    fill_case(in, rng, 4);
    in.set_coi(2);
    for (int threads : {1, 2, 8}) {
      ThreadCount tc(threads);
      float a, b;
      ImagePoint pa, pb;
      ASSERT_EQ(member(in, &a, &b, &pa, &pb), StatusOk);
      expect_plain_extrema<T, M::kLayout>(in, a, b, pa, pb);
    }
  });
}

// Ties in different stripes and within a row: the topmost row wins, then the
// leftmost column. The other channels hold decoys, and so do unselected pixels.
// 40 threads put the per-thread slots of the three-channel forms on the heap.
TEST(Stats, FirstOccurrenceAcrossStripes) {
  for_minmax_members([](auto member) {
    using M = decltype(member);
    using T = typename M::Type;
    SCOPED_TRACE(member.name);
    Input<T> in(100, 203, zuv::stats::channels(M::kLayout), 0, Flush::End);
    in.set_coi(zuv::stats::channels(M::kLayout) == 3 ? 2 : 1);
    const int c = in.coi - 1;
    in.src.fill([&](int, int, int ch) { return ch == c ? 100 : (ch == 0 ? 0 : 250); });
    in.mask.fill([](int, int, int) { return 1; });
    for (auto [x, y] : {std::pair{50, 60}, {7, 60}, {2, 120}, {0, 202}}) in.src.at(x, y, c) = T(5);
    for (auto [x, y] : {std::pair{9, 199}, {80, 150}, {3, 199}, {60, 150}}) in.src.at(x, y, c) = T(200);
    if (zuv::stats::masked(M::kLayout)) {
      in.src.at(1, 1, c) = T(1);
      in.mask.at(1, 1) = 0;
      in.src.at(99, 2, c) = T(240);
      in.mask.at(99, 2) = 0;
    }
    for (int threads : {1, 2, 8, 40}) {
      ThreadCount tc(threads);
      float a, b;
      ImagePoint pa, pb;
      ASSERT_EQ(member(in, &a, &b, &pa, &pb), StatusOk);
      EXPECT_EQ(a, 5.f);
      EXPECT_EQ(b, 200.f);
      EXPECT_EQ(pa.x, 7);
      EXPECT_EQ(pa.y, 60);
      EXPECT_EQ(pb.x, 60);
      EXPECT_EQ(pb.y, 150);
    }
  });
}

TEST(Stats, ExtremaExample) {
  GuardedImage<uint8_t> img(9, 4);
  img.fill([](int, int, int) { return 50; });
  img.at(5, 2) = img.at(1, 3) = 200;
  img.at(7, 0) = img.at(0, 1) = 3;
  float mn, mx;
  ImagePoint a, b;
  ASSERT_EQ(zuviMinMaxIndx_8u_C1R(img.data(), img.step(), img.size(), &mn, &mx, &a, &b), StatusOk);
  EXPECT_EQ(mn, 3.f);
  EXPECT_EQ(mx, 200.f);
  EXPECT_EQ(a.x, 7);
  EXPECT_EQ(a.y, 0);
  EXPECT_EQ(b.x, 5);
  EXPECT_EQ(b.y, 2);
}

// Constant images give the constant and deviation 0 exactly (1000 is exact in
// every float partial sum); an empty mask gives zeros, not an error.
TEST(Stats, ConstantImagesAndEmptyMasks) {
  for_mean_members([](auto member) {
    using M = decltype(member);
    using T = typename M::Type;
    SCOPED_TRACE(member.name);
    const T k = std::is_same_v<T, float> ? T(1000) : std::numeric_limits<T>::max();
    Input<T> in(203, 67, zuv::stats::channels(M::kLayout), 0, Flush::End);
    in.set_coi(3);
    in.src.fill([&](int, int, int) { return k; });
    in.mask.fill([](int x, int y, int) { return (x + y) % 3 ? 7 : 0; });
    double mean = -1, dev = -1;
    ASSERT_EQ(member(in, &mean, &dev), StatusOk);
    EXPECT_EQ(mean, double(k));
    if (M::kHasDev) { EXPECT_EQ(dev, 0.0); }
    if (zuv::stats::masked(M::kLayout)) {
      in.mask.fill([](int, int, int) { return 0; });
      mean = dev = -1;
      ASSERT_EQ(member(in, &mean, &dev), StatusOk);
      EXPECT_EQ(mean, 0.0);
      if (M::kHasDev) { EXPECT_EQ(dev, 0.0); }
    }
  });
  for_minmax_members([](auto member) {
    using M = decltype(member);
    using T = typename M::Type;
    if (!zuv::stats::masked(M::kLayout)) return;
    SCOPED_TRACE(member.name);
    Input<T> in(40, 30, zuv::stats::channels(M::kLayout), 0, Flush::Begin);
    std::mt19937 rng(3);
    in.src.fill_random(rng);
    in.mask.fill([](int, int, int) { return 0; });
    float a = -1, b = -1;
    ImagePoint pa{-1, -1}, pb{-1, -1};
    ASSERT_EQ(member(in, &a, &b, &pa, &pb), StatusOk);
    EXPECT_EQ(a, 0.f);
    EXPECT_EQ(b, 0.f);
    EXPECT_TRUE(pa.x == 0 && pa.y == 0 && pb.x == 0 && pb.y == 0);
  });
}

// Null optional outputs: the others are written with the same values.
TEST(Stats, NullOptionalOutputs) {
  std::mt19937 rng(11);
  Input<uint16_t> in(70, 9, 3, 0, Flush::End);
  fill_case(in, rng, 3);
  in.set_coi(2);
  const auto& s = in.src;
  double mean, dev, m1 = -1, d1 = -1;
  ASSERT_EQ(zuviMean_StdDev_16u_C3CR(s.data(), s.step(), s.size(), 2, &mean, &dev), StatusOk);
  ASSERT_EQ(zuviMean_StdDev_16u_C3CR(s.data(), s.step(), s.size(), 2, &m1, nullptr), StatusOk);
  ASSERT_EQ(zuviMean_StdDev_16u_C3CR(s.data(), s.step(), s.size(), 2, nullptr, &d1), StatusOk);
  ASSERT_EQ(zuviMean_StdDev_16u_C3CR(s.data(), s.step(), s.size(), 2, nullptr, nullptr), StatusOk);
  EXPECT_EQ(m1, mean);
  EXPECT_EQ(d1, dev);
  float a, b, a1 = -1, b1 = -1;
  ImagePoint pa, pb, pa1{-1, -1}, pb1{-1, -1};
  ASSERT_EQ(zuviMinMaxIndx_16u_C3CMR(s.data(), s.step(), in.mask.data(), in.mask.step(), s.size(), 2, &a, &b, &pa, &pb), 0);
  ASSERT_EQ(zuviMinMaxIndx_16u_C3CMR(s.data(), s.step(), in.mask.data(), in.mask.step(), s.size(), 2, &a1, nullptr, nullptr, &pb1), 0);
  EXPECT_EQ(a1, a);
  EXPECT_TRUE(pb1.x == pb.x && pb1.y == pb.y);
  ASSERT_EQ(zuviMinMaxIndx_16u_C3CMR(s.data(), s.step(), in.mask.data(), in.mask.step(), s.size(), 2, nullptr, &b1, &pa1, nullptr), 0);
  EXPECT_EQ(b1, b);
  EXPECT_TRUE(pa1.x == pa.x && pa1.y == pa.y);
}

// 1000 everywhere but one pixel of 1000.001: the one-pass variance is lost
// in the float squares, so the members with a second pass must return the
// deviation about the mean; the masked one-channel member has no second pass
// and returns the one-pass formula. With 10 columns every float partial holds
// one term, so the test can form that formula's sums exactly.
TEST(Stats, SecondPassForSmallVariance) {
  const float odd = 1000.001f;
  const int w = 10, h = 10, n = w * h;
  Input<float> in(w, h, 3, 0, Flush::End);
  in.set_coi(3);
  in.src.fill([](int, int, int) { return 1000.f; });
  in.src.at(4, 6, 2) = odd;
  in.mask.fill([](int, int, int) { return 1; });
  const long double mu = (99.0L * 1000 + odd) / n;
  const long double exact =
      std::sqrt((99.0L * (1000 - mu) * (1000 - mu) + (odd - mu) * (odd - mu)) / n);
  const GuardedImage<float>& s = in.src;
  GuardedImage<float> one(w, h);
  one.fill([&](int x, int y, int) { return s.at(x, y, 2); });
  double mean, dev;
  for (bool use_ref : {false, true}) {
    std::unique_ptr<ReferenceKernels> r(use_ref ? new ReferenceKernels : nullptr);
    ASSERT_EQ(zuviMean_StdDev_32f_C1R(one.data(), one.step(), one.size(), &mean, &dev), 0);
    EXPECT_NEAR(dev, double(exact), 1e-3 * double(exact));
    ASSERT_EQ(zuviMean_StdDev_32f_C3CR(s.data(), s.step(), s.size(), 3, &mean, &dev), 0);
    EXPECT_NEAR(dev, double(exact), 1e-3 * double(exact));
    ASSERT_EQ(zuviMean_StdDev_32f_C3CMR(s.data(), s.step(), in.mask.data(), in.mask.step(), s.size(), 3, &mean, &dev), 0);
    EXPECT_NEAR(dev, double(exact), 1e-3 * double(exact));
    EXPECT_NEAR(mean, double(mu), 1e-12);
    ASSERT_EQ(zuviMean_StdDev_32f_C1MR(one.data(), one.step(), in.mask.data(), in.mask.step(), one.size(), &mean, &dev), 0);
    const double q = 99.0 * 1e6 + double(std::fma(odd, odd, 0.f));
    const double m = (99.0 * 1000 + double(odd)) / n;
    EXPECT_EQ(mean, m);
    EXPECT_EQ(dev, std::sqrt(std::fabs(std::fma(-m, m, q / n))));
    EXPECT_GT(dev, 10 * double(exact));
  }
}

// The check order, per member: pointers, width, height, source step, its
// element multiple (for 16u means and deviations right after the source step,
// otherwise after the mask step), mask step, coi last. Outputs stay untouched.
TEST(Stats, RefusedArguments) {
  auto run = [](auto member, auto invoke) {
    using M = decltype(member);
    using T = typename M::Type;
    constexpr Layout L = M::kLayout;
    constexpr int C = zuv::stats::channels(L);
    constexpr bool kMasked = zuv::stats::masked(L);
    SCOPED_TRACE(member.name);
    GuardedImage<T> s(8, 3, C, 8);
    GuardedImage<uint8_t> m(8, 3, 1, 8);
    const int row = 8 * C * int(sizeof(T));
    const T* src = s.data();
    const uint8_t* msk = m.data();
    auto expect = [&](Status want, const T* p, int step, const uint8_t* mp, int mStep, ImageSize roi, int coi) {
      invoke(want, [&](auto&&... out) { return call<L>(member.f, p, step, mp, mStep, roi, coi, out...); });
    };
    const ImageSize r{8, 3};
    expect(StatusNullPointer, nullptr, row, msk, 8, {0, 3}, 0);
    if (kMasked) expect(StatusNullPointer, src, row, nullptr, 8, {0, 3}, 0);
    expect(StatusSize, src, row - 1, msk, 0, {0, 3}, 0);
    expect(StatusSize, src, row - 1, msk, 0, {8, 0}, 0);
    expect(StatusStep, src, row - 1, msk, 8, r, 0);
    if (kMasked) expect(StatusStep, src, row, msk, 7, r, 0);
    if (sizeof(T) > 1) {
      expect(StatusNotEvenStep, src, row + 2 * int(sizeof(T)) - 1, msk, 8, r, 0);
      if (kMasked) {
        const bool srcFirst = std::is_same_v<T, uint16_t> && std::string(member.name).find("MinMax") == std::string::npos;
        expect(srcFirst ? StatusNotEvenStep : StatusStep, src, row + 1, msk, 7, r, 1);
      }
    }
    if (C == 3) {
      expect(StatusChannelOfInterest, src, row, msk, 8, r, 0);
      expect(StatusChannelOfInterest, src, row, msk, 8, r, 4);
      expect(StatusStep, src, row - 1, msk, 8, r, 4);
      expect(sizeof(T) > 1 ? StatusNotEvenStep : StatusOk, src, row + 1, msk, 8, r, sizeof(T) > 1 ? 0 : 1);
    }
  };
  for_mean_members([&](auto member) {
    run(member, [&](Status want, auto f) {
      double mean = 7, dev = 9;
      if constexpr (decltype(member)::kHasDev) EXPECT_EQ(f(&mean, &dev), want);
      else EXPECT_EQ(f(&mean), want);
      if (want != StatusOk) { EXPECT_TRUE(mean == 7 && dev == 9); }
    });
  });
  for_minmax_members([&](auto member) {
    run(member, [&](Status want, auto f) {
      float a = 7, b = 9;
      ImagePoint pa{7, 7}, pb{9, 9};
      EXPECT_EQ(f(&a, &b, &pa, &pb), want);
      if (want != StatusOk) { EXPECT_TRUE(a == 7 && b == 9 && pa.x == 7 && pb.y == 9); }
    });
  });
  // The mean output of zuviMean is required; a null one with a zero width is -8.
  GuardedImage<uint8_t> img(4, 4);
  EXPECT_EQ(zuviMean_8u_C1MR(img.data(), 4, img.data(), 4, {0, 4}, nullptr), StatusNullPointer);
  EXPECT_EQ(zuviMean_32f_C3CMR(nullptr, 4, img.data(), 4, {4, 4}, 9, nullptr), StatusNullPointer);
  // Mean of 32f C3CMR: the mask step is tested before the source step's multiple.
  GuardedImage<float> f(4, 4, 3, 8);
  double mean = 3;
  EXPECT_EQ(zuviMean_32f_C3CMR(f.data(), 50, img.data(), 3, {4, 4}, 1, &mean), StatusStep);
  EXPECT_EQ(zuviMean_32f_C3CMR(f.data(), 50, img.data(), 4, {4, 4}, 1, &mean), StatusNotEvenStep);
  EXPECT_EQ(mean, 3);
}

}  // namespace
