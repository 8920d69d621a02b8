// SPDX-License-Identifier: BSD-3-Clause
// Mean, deviation and extrema: vector against reference and plain sums, first occurrences
// across stripes, thread counts, edge cases, check order.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <type_traits>
#include <utility>
#include <vector>

#include "arith/stats.h"
#include "support/guarded_image.h"
#include "support/status.h"

namespace {

using namespace zuv::test;
using zuv::stats::EvenAt;
using zuv::stats::Layout;

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

// Every output a member may have; unwritten ones keep their start values.
struct Outs {
  double mean = -1, dev = -1;
  float mn = -1, mx = -1;
  ImagePoint pmn{-1, -1}, pmx{-1, -1};
  bool operator==(const Outs& o) const { return std::memcmp(this, &o, sizeof o) == 0; }
};

enum class Out { Mean, MeanDev, MinMax };

// One export, called with the image, mask, coi and output arguments it takes.
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
  Status call(const T* s, int step, const uint8_t* m, int mStep, ImageSize roi, int coi, P... out) const {
    if constexpr (L == Layout::C1R) return f(s, step, roi, out...);
    else if constexpr (L == Layout::C1MR) return f(s, step, m, mStep, roi, out...);
    else if constexpr (L == Layout::C3CR) return f(s, step, roi, coi, out...);
    else return f(s, step, m, mStep, roi, coi, out...);
  }
  Status operator()(const T* s, int step, const uint8_t* m, int mStep, ImageSize roi, int coi, Outs& o) const {
    if constexpr (O == Out::Mean) return call(s, step, m, mStep, roi, coi, &o.mean);
    else if constexpr (O == Out::MeanDev) return call(s, step, m, mStep, roi, coi, &o.mean, &o.dev);
    else return call(s, step, m, mStep, roi, coi, &o.mn, &o.mx, &o.pmn, &o.pmx);
  }
  Status operator()(const Input<T>& in, Outs& o) const {
    return (*this)(in.src.data(), in.src.step(), in.mask.data(), in.mask.step(), in.src.size(), in.coi, o);
  }
};

template <class Fn>
void for_members(Fn&& fn) {
#define MEMBER(name, T, L, even, kind) fn(Member<T, Layout::L, EvenAt::even, Out::kind, decltype(&name)>{#name, &name});
#define X(name, T, L, thr, even) MEMBER(name, T, L, even, Mean)
  ZUV_MEAN_TABLE(X)
#undef X
#define X(name, T, L, thr, even) MEMBER(name, T, L, even, MeanDev)
  ZUV_MEAN_STDDEV_TABLE(X)
#undef X
#define X(name, T, L, thr, even) MEMBER(name, T, L, even, MinMax)
  ZUV_MINMAX_TABLE(X)
#undef X
#undef MEMBER
}

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// A result against the plain meaning over the selected values. Extrema: first occurrence in raster order,
// strict comparisons, no NaNs, zeros for nothing. Integer sums are exact, so mean and deviation are the
// formula's bits. 32f rows sum in float partials of at most ceil(w / 64) terms (2^-24 per add), then in
// double: (w / 64 + 2) 2^-24 times the sum of magnitudes bounds the mean's error and, through m2 - mean^2,
// the variance's.
template <class M, class T = typename M::Type>
void expect_plain(const Input<T>& in, const Outs& o) {
  std::vector<std::pair<T, ImagePoint>> v;
  for (int y = 0; y < in.src.height(); ++y)
    for (int x = 0; x < in.src.width(); ++x)
      if (!zuv::stats::masked(M::kLayout) || in.mask.at(x, y) != 0) v.push_back({in.src.at(x, y, in.coi - 1), {x, y}});
  const double n = double(v.size());
  if constexpr (M::kOut == Out::MinMax) {
    const std::pair<T, ImagePoint>*lo = nullptr, *hi = nullptr;
    for (const auto& p : v) {
      if (p.first != p.first) continue;
      if (!lo || p.first < lo->first) lo = &p;
      if (!hi || p.first > hi->first) hi = &p;
    }
    const ImagePoint a = lo ? lo->second : ImagePoint{0, 0}, b = hi ? hi->second : ImagePoint{0, 0};
    EXPECT_TRUE(o.mn == (lo ? float(lo->first) : 0.f) && o.mx == (hi ? float(hi->first) : 0.f)) << o.mn << " " << o.mx;
    EXPECT_TRUE(o.pmn.x == a.x && o.pmn.y == a.y && o.pmx.x == b.x && o.pmx.y == b.y)
        << o.pmn.x << "," << o.pmn.y << " " << o.pmx.x << "," << o.pmx.y;
  } else if (v.empty()) {
    EXPECT_TRUE(o.mean == 0.0 && (!M::kHasDev || o.dev == 0.0)) << o.mean << " " << o.dev;
  } else if constexpr (!std::is_same_v<T, float>) {
    uint64_t s = 0, q = 0;
    for (const auto& p : v) s += p.first, q += uint64_t(p.first) * p.first;
    const double mu = double(s) / n;
    EXPECT_TRUE(same_bits(o.mean, mu)) << o.mean << " vs " << mu;
    if (M::kHasDev) { EXPECT_TRUE(same_bits(o.dev, std::sqrt(std::fabs(std::fma(-mu, mu, double(q) / n))))) << o.dev; }
  } else {
    long double s = 0, a = 0, q = 0, d = 0;
    for (const auto& p : v) s += p.first, a += std::fabs(p.first), q += (long double)p.first * p.first;
    const long double mu = s / n, m2 = q / n, mabs = a / n;
    for (const auto& p : v) d += (p.first - mu) * (p.first - mu);
    const long double rel = (in.src.width() / 64.0L + 2) * std::ldexp(1.0L, -24);
    EXPECT_NEAR(o.mean, double(mu), double(rel * mabs + 1e-300L));
    if (M::kHasDev) { EXPECT_NEAR(o.dev * o.dev, double(d / n), double(rel * (m2 + 2 * std::fabs(mu) * mabs))); }
  }
}

// Vector and reference paths give the same bits, and the plain result, over every tail length, heights 1 to
// 3, both guard ends, padded rows. Widths 5 and 135 get an empty mask: zeros, not an error. Width 3 is
// constant: the constant and deviation 0 exactly. Extrema: narrow integer ranges make ties; NaNs take no part
// (all NaN at widths 8, 16, ...: like an empty mask).
TEST(Stats, VectorMatchesReferenceAndPlainSums) {
  for_members([](auto member) {
    using M = decltype(member);
    using T = typename M::Type;
    constexpr bool kMinMax = M::kOut == Out::MinMax;
    SCOPED_TRACE(member.name);
    for (Flush flush : {Flush::End, Flush::Begin})
      for (int pad : {0, 3})
        for (int h = 1; h <= 3; ++h)
          for (int w = 1; w <= 140; w += (w < 70 ? 1 : 13)) {
            std::mt19937 rng(uint32_t(w * 7919 + h * 31 + pad));
            Input<T> in(w, h, zuv::stats::channels(M::kLayout), pad, flush);
            in.fill(rng, w == 5 || w == 135 ? 1 : 3);
            in.set_coi(1 + (w + h) % 3);
            const T k = std::is_same_v<T, float> ? T(1000) : std::numeric_limits<T>::max();
            if (!kMinMax && w == 3) in.src.fill([&](int, int, int) { return k; });
            if (kMinMax && !std::is_same_v<T, float>) in.src.fill([&](int, int, int) { return 100 + int(rng() % 7); });
            if (kMinMax && std::is_same_v<T, float> && w % 4 == 0)
              for (int y = 0; y < h; ++y)
                for (int x = 0; x < w * in.src.channels(); ++x)
                  if (w % 8 == 0 || rng() % 3 == 0) in.src.row(y)[x] = std::numeric_limits<T>::quiet_NaN();
            Outs vec, ref;
            ASSERT_EQ(member(in, vec), StatusOk);
            { ReferenceKernels use_ref; ASSERT_EQ(member(in, ref), StatusOk); }
            ASSERT_TRUE(vec == ref) << w << "x" << h << ": " << vec.mean << " vs " << ref.mean;
            expect_plain<M>(in, vec);
            if (!kMinMax && w == 3) { EXPECT_TRUE(vec.mean == double(k) && (!M::kHasDev || vec.dev == 0.0)) << vec.dev; }
          }
  });
}

// 1, 2, 8 and 40 threads (40 put the per-thread slots on the heap); vector and reference paths agree at each.
// Means, on regions above every threshold: integer results never change, 32f sums only in their last bits.
// Extrema: ties in different stripes and within a row, decoys in the other channels and under the mask; the
// topmost row wins, then the leftmost column.
TEST(Stats, ThreadCounts) {
  for_members([](auto member) {
    using M = decltype(member);
    using T = typename M::Type;
    constexpr bool kMinMax = M::kOut == Out::MinMax;
    SCOPED_TRACE(member.name);
    Input<T> in(kMinMax ? 100 : 1100, kMinMax ? 203 : 1000, zuv::stats::channels(M::kLayout));
    in.set_coi(kMinMax ? 2 : 3);
    const int c = in.coi - 1;
    if constexpr (kMinMax) {
      in.src.fill([&](int, int, int ch) { return ch == c ? 100 : (ch == 0 ? 0 : 250); });
      in.mask.fill([](int, int, int) { return 1; });
      for (auto [x, y] : {std::pair{50, 60}, {7, 60}, {2, 120}, {0, 202}}) in.src.at(x, y, c) = T(5);
      for (auto [x, y] : {std::pair{9, 199}, {80, 150}, {3, 199}, {60, 150}}) in.src.at(x, y, c) = T(200);
      if (zuv::stats::masked(M::kLayout))
        in.src.at(1, 1, c) = T(1), in.mask.at(1, 1) = 0, in.src.at(99, 2, c) = T(240), in.mask.at(99, 2) = 0;
    } else {
      std::mt19937 rng(5);
      in.fill(rng, 4);
    }
    Outs first;
    for (int threads : {1, 2, 8, 40}) {
      ThreadCount tc(threads);
      Outs vec, ref;
      ASSERT_EQ(member(in, vec), StatusOk);
      { ReferenceKernels use_ref; ASSERT_EQ(member(in, ref), StatusOk); }
      EXPECT_TRUE(vec == ref) << threads << " threads";
      if (threads == 1) first = vec, expect_plain<M>(in, vec);
      else if (!kMinMax && std::is_same_v<T, float>) EXPECT_NEAR(vec.mean, first.mean, 1e-9 * std::fabs(first.mean));
      else EXPECT_TRUE(vec == first) << threads << " threads";
    }
    if (kMinMax) {  // pins the tie rules of expect_plain by hand
      EXPECT_TRUE(first.mn == 5.f && first.mx == 200.f && first.pmn.x == 7 && first.pmn.y == 60 && first.pmx.x == 60 &&
                  first.pmx.y == 150) << first.pmn.x << "," << first.pmn.y << " " << first.pmx.x << "," << first.pmx.y;
    }
  });
}

// Null optional outputs, in every combination: the others get the values of
// a call with all outputs, the null ones are skipped.
TEST(Stats, NullOptionalOutputs) {
  std::mt19937 rng(11);
  Input<uint16_t> in(70, 9, 3);
  in.fill(rng, 3);
  const auto& s = in.src;
  const uint8_t* m = in.mask.data();
  Outs all;
  for (int n = 0; n < 16; ++n) {  // bit i set: the i-th output is null; n = 0 sets `all`
    auto p = [n](auto* q, int bit) { return n >> bit & 1 ? nullptr : q; };
    Outs o;
    ASSERT_EQ(zuviMean_StdDev_16u_C3CR(s.data(), s.step(), s.size(), 2, p(&o.mean, 0), p(&o.dev, 1)), StatusOk);
    ASSERT_EQ(zuviMinMaxIndx_16u_C3CMR(s.data(), s.step(), m, 70, s.size(), 2, p(&o.mn, 0), p(&o.mx, 1), p(&o.pmn, 2), p(&o.pmx, 3)), 0);
    if (n == 0) all = o;
    Outs want = all;
    if (n & 1) want.mean = want.mn = -1;
    if (n & 2) want.dev = want.mx = -1;
    if (n & 4) want.pmn = {-1, -1};
    if (n & 8) want.pmx = {-1, -1};
    EXPECT_TRUE(o == want) << n;
  }
}

// 1000 everywhere but one 1000.001: the one-pass variance is lost in the float squares, so members with a
// second pass return the deviation about the mean; the masked one-channel member has none and returns the
// one-pass formula (10 columns: one term per float partial, so its sums are exact).
TEST(Stats, SecondPassForSmallVariance) {
  const float odd = 1000.001f;
  const int n = 100;
  const long double mu = (99.0L * 1000 + odd) / n;
  const double exact = double(std::sqrt((99.0L * (1000 - mu) * (1000 - mu) + (odd - mu) * (odd - mu)) / n));
  const double q = 99.0 * 1e6 + double(std::fma(odd, odd, 0.f)), m1 = (99.0 * 1000 + double(odd)) / n;
  for_members([&](auto member) {
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
        Outs o;
        ASSERT_EQ(member(in, o), StatusOk);
        if (M::kLayout == Layout::C1MR)
          EXPECT_TRUE(o.mean == m1 && o.dev == std::sqrt(std::fabs(std::fma(-m1, m1, q / n))) && o.dev > 10 * exact) << o.dev;
        else
          EXPECT_TRUE(std::fabs(o.dev - exact) <= 1e-3 * exact && std::fabs(o.mean - double(mu)) <= 1e-12)
              << o.mean << " " << o.dev;
      }
    }
  });
}

// The check order, per member: pointers, width, height, source step, its
// element multiple (right after the source step or after the mask step, as
// the member's table row says), mask step, coi last. Outputs stay untouched.
TEST(Stats, RefusedArguments) {
  for_members([](auto member) {
    using M = decltype(member);
    using T = typename M::Type;
    constexpr int C = zuv::stats::channels(M::kLayout);
    constexpr bool kMasked = zuv::stats::masked(M::kLayout);
    SCOPED_TRACE(member.name);
    GuardedImage<T> s(8, 3, C, 8);
    GuardedImage<uint8_t> mk(8, 3, 1, 8);
    const int row = 8 * C * int(sizeof(T));
    auto expect = [&](Status want, const T* p, int step, const uint8_t* mp, int mStep, ImageSize roi, int coi) {
      Outs o;
      EXPECT_EQ(member(p, step, mp, mStep, roi, coi, o), want);
      if (want != StatusOk) { EXPECT_TRUE(o == Outs{}); }
    };
    const ImageSize r{8, 3};
    expect(StatusNullPointer, nullptr, row, mk.data(), 8, {0, 3}, 0);
    if (kMasked) expect(StatusNullPointer, s.data(), row, nullptr, 8, {0, 3}, 0);
    expect(StatusSize, s.data(), row - 1, mk.data(), 0, {0, 3}, 0);
    expect(StatusSize, s.data(), row - 1, mk.data(), 0, {8, 0}, 0);
    expect(StatusStep, s.data(), row - 1, mk.data(), 8, r, 0);
    if (kMasked) expect(StatusStep, s.data(), row, mk.data(), 7, r, 0);
    if (sizeof(T) > 1) {
      expect(StatusNotEvenStep, s.data(), row + 2 * int(sizeof(T)) - 1, mk.data(), 8, r, 0);
      if (kMasked) expect(M::kEven == EvenAt::Src ? StatusNotEvenStep : StatusStep, s.data(), row + 1, mk.data(), 7, r, 1);
    }
    if (C == 3) {
      expect(StatusChannelOfInterest, s.data(), row, mk.data(), 8, r, 0);
      expect(StatusChannelOfInterest, s.data(), row, mk.data(), 8, r, 4);
      expect(StatusStep, s.data(), row - 1, mk.data(), 8, r, 4);
      expect(sizeof(T) > 1 ? StatusNotEvenStep : StatusOk, s.data(), row + 1, mk.data(), 8, r, sizeof(T) > 1 ? 0 : 1);
    }
  });
  // The mean output of zuviMean is required; a null one with a zero width is -8.
  GuardedImage<uint8_t> img(4, 4);
  EXPECT_EQ(zuviMean_8u_C1MR(img.data(), 4, img.data(), 4, {0, 4}, nullptr), StatusNullPointer);
  EXPECT_EQ(zuviMean_32f_C3CMR(nullptr, 4, img.data(), 4, {4, 4}, 9, nullptr), StatusNullPointer);
}

}  // namespace
