// SPDX-License-Identifier: BSD-3-Clause
// Mean, deviation and extrema: vector against reference and plain sums, first
// occurrences across stripes, thread counts, edge cases, check order.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <type_traits>
#include <vector>

#include "arith/stats.h"
#include "support/guarded_image.h"
#include "support/status.h"

namespace {

using zuv::stats::EvenAt;
using zuv::stats::Layout;
using zuv::test::Flush;
using zuv::test::GuardedImage;
using zuv::test::ReferenceKernels;
using zuv::test::ThreadCount;

// A source, its mask and the channel of interest (one-channel images have only 1).
template <class T>
struct Input {
  Input(int w, int h, int c, int pad = 0, Flush flush = Flush::End)
      : src(w, h, c, pad * int(sizeof(T)), flush), mask(w, h, 1, pad, flush) {}
  void set_coi(int c) { coi = src.channels() == 3 ? c : 1; }
  void fill(std::mt19937& rng, int maskZeroOneIn) {
    src.fill_random(rng);
    mask.fill([&](int, int, int) { return rng() % maskZeroOneIn == 0 ? 0 : 1 + int(rng() % 255); });
  }
  GuardedImage<T> src;
  GuardedImage<uint8_t> mask;
  int coi = 1;
};

// One export of any layout, called with the image, mask and coi arguments it
// takes, and the outputs of its kind.
enum class Out { Mean, MeanDev, MinMax };

template <class T, Layout L, EvenAt E, Out O, class F>
struct Member {
  using Type = T;
  static constexpr Layout kLayout = L;
  static constexpr EvenAt kEven = E;
  static constexpr Out kOut = O;
  static constexpr bool kHasDev = O == Out::MeanDev;
  const char* name;
  F f;
  template <class... P>
  Status operator()(const T* s, int step, const uint8_t* m, int mStep, ImageSize roi, int coi, P... out) const {
    if constexpr (L == Layout::C1R) return f(s, step, roi, out...);
    else if constexpr (L == Layout::C1MR) return f(s, step, m, mStep, roi, out...);
    else if constexpr (L == Layout::C3CR) return f(s, step, roi, coi, out...);
    else return f(s, step, m, mStep, roi, coi, out...);
  }
  template <class... P>
  Status operator()(const Input<T>& in, P... out) const {
    return (*this)(in.src.data(), in.src.step(), in.mask.data(), in.mask.step(), in.src.size(), in.coi, out...);
  }
  // Mean and deviation; the Mean members leave `dev` alone.
  Status mean(const Input<T>& in, double* mean, double* dev) const {
    if constexpr (kHasDev) return (*this)(in, mean, dev);
    else return (*this)(in, mean);
  }
};

#define MEMBER(name, T, L, even, kind) fn(Member<T, Layout::L, EvenAt::even, Out::kind, decltype(&name)>{#name, &name});
template <class Fn>
void for_mean_members(Fn&& fn) {
#define X(name, T, L, thr, even) MEMBER(name, T, L, even, Mean)
  ZUV_MEAN_TABLE(X)
#undef X
#define X(name, T, L, thr, even) MEMBER(name, T, L, even, MeanDev)
  ZUV_MEAN_STDDEV_TABLE(X)
#undef X
}
template <class Fn>
void for_minmax_members(Fn&& fn) {
#define X(name, T, L, thr, even) MEMBER(name, T, L, even, MinMax)
  ZUV_MINMAX_TABLE(X)
#undef X
}
#undef MEMBER

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Checks a mean/deviation result against plain sums of the selected values.
// Integer sums are exact, so the result must be the formula's value to the
// bit. 32f rows are summed in float partials of at most ceil(w / 64) terms
// each (each add or fma rounds once, relative error 2^-24), then in double:
// the error of a sum is below (w / 64 + 2) 2^-24 times the sum of magnitudes,
// which bounds the mean's error and, through m2 - mean^2, the variance's.
template <class T, Layout L, bool kDev>
void expect_plain(const Input<T>& in, double mean, double dev) {
  std::vector<T> v;
  for (int y = 0; y < in.src.height(); ++y)
    for (int x = 0; x < in.src.width(); ++x)
      if (!zuv::stats::masked(L) || in.mask.at(x, y) != 0) v.push_back(in.src.at(x, y, in.coi - 1));
  const double n = double(v.size());
  if (v.empty()) {
    EXPECT_TRUE(mean == 0.0 && (!kDev || dev == 0.0)) << mean << " " << dev;
  } else if constexpr (!std::is_same_v<T, float>) {
    uint64_t s = 0, q = 0;
    for (T x : v) s += x, q += uint64_t(x) * x;
    const double mu = double(s) / n;
    EXPECT_TRUE(same_bits(mean, mu)) << mean << " vs " << mu;
    if (kDev) { EXPECT_TRUE(same_bits(dev, std::sqrt(std::fabs(std::fma(-mu, mu, double(q) / n))))) << dev; }
  } else {
    long double s = 0, a = 0, q = 0, d = 0;
    for (float x : v) s += x, a += std::fabs(x), q += (long double)x * x;
    const long double mu = s / n, m2 = q / n, mabs = a / n;
    for (float x : v) d += (x - mu) * (x - mu);
    const long double rel = (in.src.width() / 64.0L + 2) * std::ldexp(1.0L, -24);
    EXPECT_NEAR(double(mean), double(mu), double(rel * mabs + 1e-300L));
    if (kDev) { EXPECT_NEAR(double((long double)dev * dev), double(d / n), double(rel * (m2 + 2 * std::fabs(mu) * mabs))); }
  }
}

// The four outputs of an extrema member.
struct Extrema {
  float mn = -1, mx = -1;
  ImagePoint pmn{-1, -1}, pmx{-1, -1};
  template <class M, class T>
  Status run(const M& member, const Input<T>& in) { return member(in, &mn, &mx, &pmn, &pmx); }
};

// First occurrence in raster order with strict comparisons; NaNs take no part;
// nothing selected gives zeros.
template <class T, Layout L>
void expect_plain_extrema(const Input<T>& in, const Extrema& e) {
  bool found = false;
  T vmin{}, vmax{};
  ImagePoint a{0, 0}, b{0, 0};
  for (int y = 0; y < in.src.height(); ++y)
    for (int x = 0; x < in.src.width(); ++x) {
      const T v = in.src.at(x, y, in.coi - 1);
      if ((zuv::stats::masked(L) && in.mask.at(x, y) == 0) || v != v) continue;
      if (!found || v < vmin) vmin = v, a = {x, y};
      if (!found || v > vmax) vmax = v, b = {x, y};
      found = true;
    }
  EXPECT_EQ(e.mn, found ? float(in.src.at(a.x, a.y, in.coi - 1)) : 0.f);
  EXPECT_EQ(e.mx, found ? float(in.src.at(b.x, b.y, in.coi - 1)) : 0.f);
  EXPECT_TRUE(e.pmn.x == a.x && e.pmn.y == a.y && e.pmx.x == b.x && e.pmx.y == b.y)
      << e.pmn.x << "," << e.pmn.y << " " << e.pmx.x << "," << e.pmx.y;
}

// Every tail length, heights 1 to 3, both guard ends, flush and padded rows.
template <class Fn>
void for_shapes(Fn&& fn) {
  for (Flush flush : {Flush::End, Flush::Begin})
    for (int pad : {0, 3})
      for (int h = 1; h <= 3; ++h)
        for (int w = 1; w <= 140; w += (w < 70 ? 1 : 13)) fn(w, h, pad, flush);
}

// The vector path gives the reference path's bits, and both the plain result.
// Widths 5 and 135 get an empty mask: zeros, not an error. Width 3 is
// constant: the constant and deviation 0 exactly (1000 is exact in every
// float partial sum).
TEST(Stats, VectorMatchesReferenceAndPlainSums) {
  for_mean_members([](auto member) {
    using M = decltype(member);
    SCOPED_TRACE(member.name);
    using T = typename M::Type;
    for_shapes([&](int w, int h, int pad, Flush flush) {
      std::mt19937 rng(uint32_t(w * 7919 + h * 31 + pad));
      Input<T> in(w, h, zuv::stats::channels(M::kLayout), pad, flush);
      in.fill(rng, w == 5 || w == 135 ? 1 : 3);
      in.set_coi(1 + w % 3);
      const T k = std::is_same_v<T, float> ? T(1000) : std::numeric_limits<T>::max();
      if (w == 3) in.src.fill([&](int, int, int) { return k; });
      double mv = -1, dv = -1, mr = -2, dr = -2;
      ASSERT_EQ(member.mean(in, &mv, &dv), StatusOk);
      {
        ReferenceKernels use_ref;
        ASSERT_EQ(member.mean(in, &mr, &dr), StatusOk);
      }
      ASSERT_TRUE(same_bits(mv, mr) && (!M::kHasDev || same_bits(dv, dr)))
          << w << "x" << h << ": " << mv << " vs " << mr << ", " << dv << " vs " << dr;
      expect_plain<T, M::kLayout, M::kHasDev>(in, mv, dv);
      if (w == 3) { EXPECT_TRUE(mv == double(k) && (!M::kHasDev || dv == 0.0)) << mv << " " << dv; }
    });
  });
  for_minmax_members([](auto member) {
    using M = decltype(member);
    using T = typename M::Type;
    SCOPED_TRACE(member.name);
    for_shapes([&](int w, int h, int pad, Flush flush) {
      std::mt19937 rng(uint32_t(w * 31 + h));
      Input<T> in(w, h, zuv::stats::channels(M::kLayout), pad, flush);
      in.fill(rng, w == 5 || w == 135 ? 1 : 2);
      // Narrow integer ranges make ties, so first occurrences matter.
      if (!std::is_same_v<T, float>) in.src.fill([&](int, int, int) { return 100 + int(rng() % 7); });
      // NaNs take no part; an image of NaNs only is like an empty mask.
      if (std::is_same_v<T, float> && w % 4 == 0)
        for (int y = 0; y < h; ++y)
          for (int x = 0; x < w * in.src.channels(); ++x)
            if (w % 8 == 0 || rng() % 3 == 0) in.src.row(y)[x] = std::numeric_limits<T>::quiet_NaN();
      in.set_coi(1 + (w + h) % 3);
      Extrema vec, ref;
      ASSERT_EQ(vec.run(member, in), StatusOk);
      {
        ReferenceKernels use_ref;
        ASSERT_EQ(ref.run(member, in), StatusOk);
      }
      ASSERT_EQ(std::memcmp(&vec, &ref, sizeof vec), 0) << w << "x" << h;
      expect_plain_extrema<T, M::kLayout>(in, vec);
    });
  });
}

// Regions above every threshold on 1, 2 and 8 threads: integer means do not
// change; 32f sums may change in their last bits with the
// stripe boundaries, but the vector and reference paths still agree exactly.
TEST(Stats, ThreadCounts) {
  for_mean_members([](auto member) {
    using M = decltype(member);
    SCOPED_TRACE(member.name);
    std::mt19937 rng(5);
    Input<typename M::Type> in(1100, 1000, zuv::stats::channels(M::kLayout));  // threaded on 8 threads too
    in.fill(rng, 4);
    in.set_coi(3);
    double m1 = 0, d1 = 0;
    for (int threads : {1, 2, 8}) {
      ThreadCount tc(threads);
      double mv, dv = 0, mr, dr = 0;
      ASSERT_EQ(member.mean(in, &mv, &dv), StatusOk);
      {
        ReferenceKernels use_ref;
        ASSERT_EQ(member.mean(in, &mr, &dr), StatusOk);
      }
      EXPECT_TRUE(same_bits(mv, mr) && same_bits(dv, dr)) << threads << " threads";
      if (threads == 1) {
        m1 = mv, d1 = dv;
        expect_plain<typename M::Type, M::kLayout, M::kHasDev>(in, mv, dv);
      } else if (std::is_same_v<typename M::Type, float>) {
        EXPECT_NEAR(mv, m1, 1e-9 * std::fabs(m1)) << threads << " threads";
      } else {
        EXPECT_TRUE(same_bits(mv, m1) && same_bits(dv, d1)) << threads << " threads";
      }
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
    Input<T> in(100, 203, zuv::stats::channels(M::kLayout));
    in.set_coi(2);
    const int c = in.coi - 1;
    in.src.fill([&](int, int, int ch) { return ch == c ? 100 : (ch == 0 ? 0 : 250); });
    in.mask.fill([](int, int, int) { return 1; });
    for (auto [x, y] : {std::pair{50, 60}, {7, 60}, {2, 120}, {0, 202}}) in.src.at(x, y, c) = T(5);
    for (auto [x, y] : {std::pair{9, 199}, {80, 150}, {3, 199}, {60, 150}}) in.src.at(x, y, c) = T(200);
    if (zuv::stats::masked(M::kLayout))
      in.src.at(1, 1, c) = T(1), in.mask.at(1, 1) = 0, in.src.at(99, 2, c) = T(240), in.mask.at(99, 2) = 0;
    for (int threads : {1, 2, 8, 40}) {
      ThreadCount tc(threads);
      Extrema e;
      ASSERT_EQ(e.run(member, in), StatusOk);
      EXPECT_TRUE(e.mn == 5.f && e.mx == 200.f && e.pmn.x == 7 && e.pmn.y == 60 && e.pmx.x == 60 && e.pmx.y == 150)
          << threads << " threads: " << e.mn << " " << e.mx << " " << e.pmn.x << "," << e.pmn.y << " " << e.pmx.x
          << "," << e.pmx.y;
    }
  });
}

// Null optional outputs: the others are written with the same values.
TEST(Stats, NullOptionalOutputs) {
  std::mt19937 rng(11);
  Input<uint16_t> in(70, 9, 3);
  in.fill(rng, 3);
  const auto& s = in.src;
  const uint8_t* m = in.mask.data();
  double mean, dev, m1 = -1, d1 = -1;
  ASSERT_EQ(zuviMean_StdDev_16u_C3CR(s.data(), s.step(), s.size(), 2, &mean, &dev), StatusOk);
  ASSERT_EQ(zuviMean_StdDev_16u_C3CR(s.data(), s.step(), s.size(), 2, &m1, nullptr), StatusOk);
  ASSERT_EQ(zuviMean_StdDev_16u_C3CR(s.data(), s.step(), s.size(), 2, nullptr, &d1), StatusOk);
  ASSERT_EQ(zuviMean_StdDev_16u_C3CR(s.data(), s.step(), s.size(), 2, nullptr, nullptr), StatusOk);
  EXPECT_TRUE(m1 == mean && d1 == dev);
  float a, b, a1 = -1, b1 = -1;
  ImagePoint pa, pb, pa1{-1, -1}, pb1{-1, -1};
  ASSERT_EQ(zuviMinMaxIndx_16u_C3CMR(s.data(), s.step(), m, 70, s.size(), 2, &a, &b, &pa, &pb), 0);
  ASSERT_EQ(zuviMinMaxIndx_16u_C3CMR(s.data(), s.step(), m, 70, s.size(), 2, &a1, nullptr, nullptr, &pb1), 0);
  ASSERT_EQ(zuviMinMaxIndx_16u_C3CMR(s.data(), s.step(), m, 70, s.size(), 2, nullptr, &b1, &pa1, nullptr), 0);
  ASSERT_EQ(zuviMinMaxIndx_16u_C3CMR(s.data(), s.step(), m, 70, s.size(), 2, nullptr, nullptr, nullptr, nullptr), 0);
  EXPECT_TRUE(a1 == a && b1 == b && pa1.x == pa.x && pa1.y == pa.y && pb1.x == pb.x && pb1.y == pb.y);
}

// 1000 everywhere but one pixel of 1000.001: the one-pass variance is lost
// in the float squares, so the members with a second pass must return the
// deviation about the mean; the masked one-channel member has no second pass
// and returns the one-pass formula. With 10 columns every float partial holds
// one term, so the test can form that formula's sums exactly.
TEST(Stats, SecondPassForSmallVariance) {
  const float odd = 1000.001f;
  const int n = 100;
  const long double mu = (99.0L * 1000 + odd) / n;
  const double exact = double(std::sqrt((99.0L * (1000 - mu) * (1000 - mu) + (odd - mu) * (odd - mu)) / n));
  const double q = 99.0 * 1e6 + double(std::fma(odd, odd, 0.f)), m1 = (99.0 * 1000 + double(odd)) / n;
  for_mean_members([&](auto member) {
    using M = decltype(member);
    if constexpr (M::kHasDev && std::is_same_v<typename M::Type, float>) {
      SCOPED_TRACE(member.name);
      Input<float> in(10, 10, zuv::stats::channels(M::kLayout));
      in.set_coi(3);
      in.src.fill([](int, int, int) { return 1000.f; });
      in.src.at(4, 6, in.coi - 1) = odd;
      in.mask.fill([](int, int, int) { return 1; });
      for (bool use_ref : {false, true}) {
        std::unique_ptr<ReferenceKernels> r(use_ref ? new ReferenceKernels : nullptr);
        double mean, dev;
        ASSERT_EQ(member.mean(in, &mean, &dev), StatusOk);
        if (M::kLayout == Layout::C1MR) {
          EXPECT_TRUE(mean == m1 && dev == std::sqrt(std::fabs(std::fma(-m1, m1, q / n))) && dev > 10 * exact) << dev;
        } else {
          EXPECT_NEAR(dev, exact, 1e-3 * exact);
          EXPECT_NEAR(mean, double(mu), 1e-12);
        }
      }
    }
  });
}

// The check order, per member: pointers, width, height, source step, its
// element multiple (right after the source step or after the mask step, as
// the member's table row says), mask step, coi last. Outputs stay untouched.
TEST(Stats, RefusedArguments) {
  auto run = [](auto member) {
    using M = decltype(member);
    using T = typename M::Type;
    constexpr int C = zuv::stats::channels(M::kLayout);
    constexpr bool kMasked = zuv::stats::masked(M::kLayout);
    SCOPED_TRACE(member.name);
    GuardedImage<T> s(8, 3, C, 8);
    GuardedImage<uint8_t> mk(8, 3, 1, 8);
    const int row = 8 * C * int(sizeof(T));
    const T* src = s.data();
    const uint8_t* msk = mk.data();
    auto expect = [&](Status want, const T* p, int step, const uint8_t* mp, int mStep, ImageSize roi, int coi) {
      double mean = 7, dev = 9;
      float a = 7, b = 9;
      ImagePoint pa{7, 7}, pb{9, 9};
      Status got;
      if constexpr (M::kOut == Out::Mean) got = member(p, step, mp, mStep, roi, coi, &mean);
      else if constexpr (M::kOut == Out::MeanDev) got = member(p, step, mp, mStep, roi, coi, &mean, &dev);
      else got = member(p, step, mp, mStep, roi, coi, &a, &b, &pa, &pb);
      EXPECT_EQ(got, want);
      if (want != StatusOk) { EXPECT_TRUE(mean == 7 && dev == 9 && a == 7 && b == 9 && pa.x == 7 && pb.y == 9); }
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
      if (kMasked) expect(M::kEven == EvenAt::Src ? StatusNotEvenStep : StatusStep, src, row + 1, msk, 7, r, 1);
    }
    if (C == 3) {
      expect(StatusChannelOfInterest, src, row, msk, 8, r, 0);
      expect(StatusChannelOfInterest, src, row, msk, 8, r, 4);
      expect(StatusStep, src, row - 1, msk, 8, r, 4);
      expect(sizeof(T) > 1 ? StatusNotEvenStep : StatusOk, src, row + 1, msk, 8, r, sizeof(T) > 1 ? 0 : 1);
    }
  };
  for_mean_members(run);
  for_minmax_members(run);
  // The mean output of zuviMean is required; a null one with a zero width is -8.
  GuardedImage<uint8_t> img(4, 4);
  EXPECT_EQ(zuviMean_8u_C1MR(img.data(), 4, img.data(), 4, {0, 4}, nullptr), StatusNullPointer);
  EXPECT_EQ(zuviMean_32f_C3CMR(nullptr, 4, img.data(), 4, {4, 4}, 9, nullptr), StatusNullPointer);
}

}  // namespace
