// SPDX-License-Identifier: BSD-3-Clause
// Norms: vector against reference and against exact or long-double sums, empty masks,
// zero denominators, argument-check order, thread counts and per-member thresholds.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <string>
#include <random>
#include <type_traits>
#include <vector>

#include "arith/norm.h"
#include "core/parallel.h"
#include "support/guarded_image.h"
#include "support/status.h"

namespace {

using zuv::norm::Kind;
using zuv::norm::kNever;
using zuv::norm::Norm;
using zuv::test::Flush;
using zuv::test::GuardedImage;
using zuv::test::ReferenceKernels;
using zuv::test::ThreadCount;

constexpr double kUntouched = -12345.0;

// The two sources and the mask of one call, against guard pages.
template <class T>
struct Inputs {
  Inputs(int w, int h, int c, int pad = 0, Flush flush = Flush::End)
      : a(w, h, c, pad * int(sizeof(T)), flush), b(w, h, c, 2 * pad * int(sizeof(T)), flush),
        m(w, h, 1, pad, flush) {}
  void randomise(uint32_t seed) {
    std::mt19937 rng(seed);
    a.fill_random(rng);
    b.fill_random(rng);
    // Any non-zero byte selects; about a quarter of the pixels are left out.
    m.fill([&](int, int, int) { return rng() % 4 == 0 ? 0 : 1 + int(rng() % 255); });
  }
  GuardedImage<T> a, b;
  GuardedImage<uint8_t> m;
};

// Calls a member of any kind and layout with explicit arguments.
template <Kind kind, int C, class T, class Fn>
Status call(Fn fn, const T* a, int aStep, const T* b, int bStep, const uint8_t* m, int mStep,
            ImageSize roi, int coi, double* out) {
  if constexpr (kind == Kind::Plain && C == 1) return fn(a, aStep, m, mStep, roi, out);
  else if constexpr (kind == Kind::Plain) return fn(a, aStep, m, mStep, roi, coi, out);
  else if constexpr (C == 1) return fn(a, aStep, b, bStep, m, mStep, roi, out);
  else return fn(a, aStep, b, bStep, m, mStep, roi, coi, out);
}

template <Kind kind, int C, class T, class Fn>
Status call(Fn fn, const Inputs<T>& in, int coi, double* out) {
  return call<kind, C>(fn, in.a.data(), in.a.step(), in.b.data(), in.b.step(), in.m.data(),
                       in.m.step(), in.a.size(), coi, out);
}

bool same_bits(double x, double y) { return std::memcmp(&x, &y, sizeof x) == 0; }

struct Expect {
  Status status;
  double value;
  double rel_tol;  // 0: exact
};

// Result from the two accumulated quantities, as the definitions state.
template <Kind kind, Norm norm>
Expect finish(long double num, long double den, double tol) {
  if constexpr (kind == Kind::Rel) {
    if (den == 0)
      return {StatusDivByZero,
              num == 0 ? std::numeric_limits<double>::quiet_NaN() : std::numeric_limits<double>::infinity(),
              0};
    const long double q = num / den;
    return {StatusOk, double(norm == Norm::L2 ? std::sqrt(q) : q), tol};
  }
  return {StatusOk, double(norm == Norm::L2 ? std::sqrt(num) : num), tol};
}

// The norm straight from its definition: exact integers for 8u and 16u, long
// double over the float values (and float differences) for 32f.
template <Kind kind, Norm norm, class T, int C>
Expect expected(const Inputs<T>& in, int coi) {
  const int ch = C == 3 ? coi - 1 : 0;
  const int w = in.a.width(), h = in.a.height();
  if constexpr (std::is_integral_v<T>) {
    uint64_t num = 0, den = 0;
    auto take = [](uint64_t& acc, uint64_t v) {
      if (norm == Norm::Inf) acc = std::max(acc, v);
      else if (norm == Norm::L1) acc += v;
      else acc += v * v;
    };
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        if (!in.m.at(x, y)) continue;
        const int64_t va = in.a.at(x, y, ch), vb = in.b.at(x, y, ch);
        take(num, uint64_t(kind == Kind::Plain ? va : std::llabs(va - vb)));
        take(den, uint64_t(vb));
      }
    // Exact integers below 2^53 convert and divide as the library does.
    if constexpr (kind == Kind::Rel) {
      if (den == 0) return finish<kind, norm>(num, 0, 0);
      const double q = double(num) / double(den);
      return {StatusOk, norm == Norm::L2 ? std::sqrt(q) : q, 0};
    }
    return {StatusOk, norm == Norm::L2 ? std::sqrt(double(num)) : double(num), 0};
  } else {
    long double num = 0, den = 0;
    auto take = [](long double& acc, float v) {
      if (norm == Norm::Inf) acc = std::max(acc, (long double)std::fabs(v));
      else if (norm == Norm::L1) acc += std::fabs(v);
      else acc += (long double)v * v;
    };
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        if (!in.m.at(x, y)) continue;
        const float va = in.a.at(x, y, ch), vb = in.b.at(x, y, ch);
        take(num, kind == Kind::Plain ? va : va - vb);
        take(den, vb);
      }
    // Each single-precision partial sum of a row adds at most w / 32 + 1
    // non-negative terms, each rounding once (relative 2^-24), so it is within
    // (w / 32 + 1) * 2^-24 of its exact value; the 64f additions after it add
    // only ~2^-53 per term. The L2 root halves the error, a quotient doubles it.
    const double tol = norm == Norm::Inf ? 0 : (w / 32 + 2) * std::ldexp(1.0, -24) * (kind == Kind::Rel ? 2 : 1);
    return finish<kind, norm>(num, den, tol);
  }
}

void expect_value(double got, const Expect& e) {
  if (std::isnan(e.value) || e.rel_tol == 0 || std::isinf(e.value)) {
    EXPECT_TRUE(same_bits(got, e.value) || (std::isnan(got) && std::isnan(e.value)))
        << got << " vs " << e.value;
  } else {
    EXPECT_LE(std::fabs(got - e.value), e.rel_tol * std::fabs(e.value)) << got << " vs " << e.value;
  }
}

// Every tail length of every step (64 pixels for 8u, 16u and one-channel
// 32f, 32 for three-channel 32f), heights 1 to 3, padded rows, and both guard
// ends: vector and reference agree bit for bit and meet the definition.
template <Kind kind, Norm norm, class T, int C, class Fn>
void expect_matches_definition(Fn fn) {
  for (Flush flush : {Flush::End, Flush::Begin})
    for (int h = 1; h <= 3; ++h)
      for (int w = 1; w <= 200; w += (w < 70 ? 1 : 9)) {
        Inputs<T> in(w, h, C, (w % 3) * 2, flush);
        in.randomise(uint32_t(w * 977 + h * 31 + int(flush)));
        const int coi = C == 3 ? 1 + (w + h) % 3 : 1;
        double vec = kUntouched, ref = kUntouched;
        const Status sv = call<kind, C>(fn, in, coi, &vec);
        Status sr;
        {
          ReferenceKernels use_ref;
          sr = call<kind, C>(fn, in, coi, &ref);
        }
        const Expect e = expected<kind, norm, T, C>(in, coi);
        ASSERT_EQ(sv, e.status) << w << "x" << h;
        ASSERT_EQ(sr, e.status) << w << "x" << h;
        ASSERT_TRUE(same_bits(vec, ref)) << w << "x" << h << ": " << vec << " vs " << ref;
        SCOPED_TRACE(testing::Message() << w << "x" << h << " coi " << coi);
        expect_value(vec, e);
        if (testing::Test::HasFailure()) return;
      }
}

TEST(Norm, MatchesDefinitionOverTailsAndLayouts) {
#define X(name, kind, nrm, T, C, k) \
  { SCOPED_TRACE(#name); expect_matches_definition<Kind::kind, Norm::nrm, T, C>(name); }
  ZUV_NORM_TABLE(X)
#undef X
}

// Every channel of interest reads its own channel only.
template <Kind kind, Norm norm, class T, int C, class Fn>
void expect_each_channel(Fn fn) {
  if constexpr (C == 3) {
    Inputs<T> in(67, 2, 3);
    in.randomise(5);
    for (int coi = 1; coi <= 3; ++coi) {
      double got = kUntouched;
      const Expect e = expected<kind, norm, T, C>(in, coi);
      ASSERT_EQ((call<kind, C>(fn, in, coi, &got)), e.status);
      expect_value(got, e);
    }
  }
}

TEST(Norm, ChannelOfInterest) {
#define X(name, kind, nrm, T, C, k) \
  { SCOPED_TRACE(#name); expect_each_channel<Kind::kind, Norm::nrm, T, C>(name); }
  ZUV_NORM_TABLE(X)
#undef X
}

TEST(Norm, DocumentedValues) {
  GuardedImage<uint8_t> s(2, 2), m(2, 2);
  s.fill([](int x, int y, int) { return 1 + x + 2 * y; });
  m.fill([](int, int, int) { return 7; });
  double r = 0;
  ASSERT_EQ(zuviNorm_L1_8u_C1MR(s.data(), s.step(), m.data(), m.step(), s.size(), &r), StatusOk);
  EXPECT_EQ(r, 10.0);
  ASSERT_EQ(zuviNorm_L2_8u_C1MR(s.data(), s.step(), m.data(), m.step(), s.size(), &r), StatusOk);
  EXPECT_EQ(r, std::sqrt(30.0));
  ASSERT_EQ(zuviNorm_Inf_8u_C1MR(s.data(), s.step(), m.data(), m.step(), s.size(), &r), StatusOk);
  EXPECT_EQ(r, 4.0);
  // No wrap-around in 8u differences.
  GuardedImage<uint8_t> p(1, 1), q(1, 1), one(1, 1);
  p.at(0, 0) = 10;
  q.at(0, 0) = 250;
  one.at(0, 0) = 1;
  ASSERT_EQ(zuviNormDiff_Inf_8u_C1MR(p.data(), 1, q.data(), 1, one.data(), 1, {1, 1}, &r), StatusOk);
  EXPECT_EQ(r, 240.0);
  GuardedImage<float> f(2, 1), z(2, 1);
  GuardedImage<uint8_t> fm(2, 1);
  fm.fill([](int, int, int) { return 1; });
  f.fill([](int x, int, int) { return x == 0 ? -5.f : 3.f; });
  z.fill([](int, int, int) { return 0.f; });
  ASSERT_EQ(zuviNorm_Inf_32f_C1MR(f.data(), f.step(), fm.data(), fm.step(), f.size(), &r), StatusOk);
  EXPECT_EQ(r, 5.0);
  ASSERT_EQ(zuviNormRel_L1_32f_C1MR(f.data(), f.step(), z.data(), z.step(), fm.data(), fm.step(), f.size(), &r),
            StatusDivByZero);
  EXPECT_EQ(r, std::numeric_limits<double>::infinity());
  ASSERT_EQ(zuviNormRel_L1_32f_C1MR(z.data(), z.step(), z.data(), z.step(), fm.data(), fm.step(), f.size(), &r),
            StatusDivByZero);
  EXPECT_TRUE(std::isnan(r));
}

// An empty mask: 0 for norms and differences, NaN with the warning for
// relative norms; unselected pixels are not looked at, even NaN or infinity.
// With a zero second image under a non-empty mask, relative norms are +inf.
template <Kind kind, Norm norm, class T, int C, class Fn>
void expect_empty_and_zero_cases(Fn fn) {
  Inputs<T> in(131, 3, C);
  in.a.fill([](int x, int, int) {
    if constexpr (std::is_same_v<T, float>) return x % 2 ? std::numeric_limits<float>::quiet_NaN() : INFINITY;
    else return 200 + x % 7;
  });
  in.b.fill([](int, int, int) { return 0; });
  in.m.fill([](int, int, int) { return 0; });
  for (int coi = 1; coi <= C; ++coi) {
    double r = kUntouched;
    if constexpr (kind == Kind::Rel) {
      ASSERT_EQ((call<kind, C>(fn, in, coi, &r)), StatusDivByZero);
      EXPECT_TRUE(std::isnan(r));
    } else {
      ASSERT_EQ((call<kind, C>(fn, in, coi, &r)), StatusOk);
      EXPECT_TRUE(same_bits(r, 0.0)) << r;
    }
  }
  if constexpr (kind == Kind::Rel) {
    in.a.fill([](int x, int, int) { return x % 5; });
    in.m.fill([](int x, int y, int) { return (x + y) % 3 ? 1 : 0; });
    double r = kUntouched;
    ASSERT_EQ((call<kind, C>(fn, in, 1, &r)), StatusDivByZero);
    EXPECT_EQ(r, std::numeric_limits<double>::infinity());
    in.a.fill([](int, int, int) { return 0; });
    ASSERT_EQ((call<kind, C>(fn, in, 1, &r)), StatusDivByZero);
    EXPECT_TRUE(std::isnan(r));
  }
}

TEST(Norm, EmptyMaskAndZeroDenominator) {
#define X(name, kind, nrm, T, C, k) \
  { SCOPED_TRACE(#name); expect_empty_and_zero_cases<Kind::kind, Norm::nrm, T, C>(name); }
  ZUV_NORM_TABLE(X)
#undef X
}

// Largest values over a row long enough to need 64-bit sums (and, in 8u L2,
// several flushes of the narrower sums): still exact.
template <Kind kind, Norm norm, class T, int C, class Fn>
void expect_exact_at_extremes(Fn fn) {
  if constexpr (std::is_integral_v<T>) {
    Inputs<T> in(140001, 2, C);
    constexpr int kMax = std::numeric_limits<T>::max();
    in.a.fill([](int x, int, int c) { return x % 97 == 0 ? 0 : kMax - c; });
    in.b.fill([](int x, int, int) { return x % 89 == 0 ? kMax : 0; });
    in.m.fill([](int x, int y, int) { return (x + y) % 50 ? 255 : 0; });
    for (int coi = 1; coi <= C; ++coi) {
      double vec = kUntouched, ref = kUntouched;
      const Expect e = expected<kind, norm, T, C>(in, coi);
      ASSERT_EQ((call<kind, C>(fn, in, coi, &vec)), e.status);
      {
        ReferenceKernels use_ref;
        ASSERT_EQ((call<kind, C>(fn, in, coi, &ref)), e.status);
      }
      EXPECT_TRUE(same_bits(vec, e.value)) << vec << " vs " << e.value;
      EXPECT_TRUE(same_bits(ref, e.value)) << ref << " vs " << e.value;
    }
  }
}

TEST(Norm, IntegerSumsStayExact) {
#define X(name, kind, nrm, T, C, k) \
  { SCOPED_TRACE(#name); expect_exact_at_extremes<Kind::kind, Norm::nrm, T, C>(name); }
  ZUV_NORM_TABLE(X)
#undef X
}

// Infinities, NaNs, signed zeros and subnormals give the same bits both ways.
template <Kind kind, Norm norm, class T, int C, class Fn>
void expect_special_floats_agree(Fn fn) {
  if constexpr (std::is_same_v<T, float>) {
    const float special[] = {0.f, -0.f, 1e-40f, -1e-40f, 3.4e38f, -3.4e38f, INFINITY, -INFINITY, NAN, 1.f};
    for (int seed = 0; seed < 40; ++seed) {
      Inputs<T> in(77, 2, C);
      in.randomise(uint32_t(seed));
      std::mt19937 rng{uint32_t(seed)};
      const int n = int(sizeof special / sizeof *special);
      // Few specials per image so that not every result is NaN.
      for (int i = 0; i < 3; ++i) {
        in.a.at(int(rng() % 77), int(rng() % 2), int(rng() % C)) = special[seed % n];
        in.b.at(int(rng() % 77), int(rng() % 2), int(rng() % C)) = special[(seed + i) % n];
      }
      const int coi = 1 + seed % C;
      double vec = kUntouched, ref = kUntouched;
      const Status sv = call<kind, C>(fn, in, coi, &vec);
      ReferenceKernels use_ref;
      ASSERT_EQ(sv, (call<kind, C>(fn, in, coi, &ref)));
      ASSERT_TRUE(same_bits(vec, ref)) << "seed " << seed << ": " << vec << " vs " << ref;
    }
  }
}

TEST(Norm, SpecialFloatsAgreeWithReference) {
#define X(name, kind, nrm, T, C, k) \
  { SCOPED_TRACE(#name); expect_special_floats_agree<Kind::kind, Norm::nrm, T, C>(name); }
  ZUV_NORM_TABLE(X)
#undef X
}

// Check order: pointers, width, height, steps as the kind orders them, the
// channel of interest last; cases with two faults pin the order. The result
// is never written on refusal.
template <Kind kind, Norm norm, class T, int C, class Fn>
void expect_check_order(Fn fn) {
  Inputs<T> in(8, 2, C);
  const T* a = in.a.data();
  const T* b = in.b.data();
  const uint8_t* m = in.m.data();
  const int rb = 8 * C * int(sizeof(T));  // row bytes
  const int odd = sizeof(T) == 4 ? rb + 2 : rb + 1;  // passes the step test, fails the multiple
  const bool wide = sizeof(T) > 1;
  auto expect = [&](Status want, const T* pa, int sa, const T* pb, int sb, const uint8_t* pm, int sm,
                    ImageSize roi, int coi, bool out, int line) {
    double r = kUntouched;
    const Status got = call<kind, C>(fn, pa, sa, pb, sb, pm, sm, roi, coi, out ? &r : nullptr);
    EXPECT_EQ(got, want) << "case at line " << line;
    EXPECT_TRUE(same_bits(r, kUntouched)) << "result written, case at line " << line;
  };
  const ImageSize roi{8, 2};
#define CASE(want, ...) expect(want, __VA_ARGS__, __LINE__)
  CASE(StatusNullPointer, nullptr, rb, b, rb, m, 8, ImageSize{0, 2}, 0, true);
  CASE(StatusNullPointer, a, rb, b, rb, nullptr, 8, roi, 1, true);
  CASE(StatusNullPointer, a, rb - 1, b, rb, m, 8, roi, 1, false);
  CASE(StatusSize, a, rb - 1, b, rb, m, 8, ImageSize{0, 2}, 0, true);
  CASE(StatusSize, a, rb, b, rb, m, 7, ImageSize{8, 0}, 1, true);
  CASE(StatusStep, a, rb - 1, b, rb, m, 7, roi, 0, true);
  CASE(StatusStep, a, rb, b, rb, m, 7, roi, 4, true);
  if constexpr (kind == Kind::Plain) {
    // The multiple of the source step comes before the mask step.
    if (wide) CASE(StatusNotEvenStep, a, odd, b, rb, m, 7, roi, 4, true);
  } else {
    CASE(StatusNullPointer, a, rb, nullptr, rb, m, 8, roi, 1, true);
    CASE(StatusStep, a, rb, b, rb - 1, m, 8, roi, 1, true);
    // All three steps before the multiples of the source steps.
    if (wide) {
      CASE(StatusStep, a, odd, b, rb - 1, m, 8, roi, 1, true);
      CASE(StatusStep, a, odd, b, odd, m, 7, roi, 1, true);
      CASE(StatusNotEvenStep, a, rb, b, odd, m, 8, roi, 4, true);
      CASE(StatusNotEvenStep, a, odd, b, rb, m, 8, roi, 0, true);
    }
  }
  if constexpr (C == 3) {
    CASE(StatusChannelOfInterest, a, rb, b, rb, m, 8, roi, 0, true);
    CASE(StatusChannelOfInterest, a, rb, b, rb, m, 8, roi, 4, true);
  }
#undef CASE
  // A step exactly the row bytes is valid.
  double r = kUntouched;
  const Status st = call<kind, C>(fn, a, rb, b, rb, m, 8, roi, 3, &r);
  EXPECT_TRUE(st == StatusOk || st == StatusDivByZero);
}

TEST(Norm, CheckOrder) {
#define X(name, kind, nrm, T, C, k) \
  { SCOPED_TRACE(#name); expect_check_order<Kind::kind, Norm::nrm, T, C>(name); }
  ZUV_NORM_TABLE(X)
#undef X
}

// 1, 2 and 8 threads (and 40, where the slots are allocated) on an image past
// the thresholds: integer results never change; 32f results match the
// reference at the same thread count bit for bit and stay within rounding of
// the one-thread result (only the grouping of the 64f stripe sums changes).
template <Kind kind, Norm norm, class T, int C, class Fn>
void expect_thread_counts_agree(Fn fn, int w, int h, std::initializer_list<int> counts) {
  Inputs<T> in(w, h, C);
  in.randomise(uint32_t(w + h));
  const int coi = C;
  double first = kUntouched;
  for (int threads : counts) {
    ThreadCount tc(threads);
    double vec = kUntouched, ref = kUntouched;
    const Status sv = call<kind, C>(fn, in, coi, &vec);
    {
      ReferenceKernels use_ref;
      ASSERT_EQ(sv, (call<kind, C>(fn, in, coi, &ref)));
    }
    ASSERT_TRUE(same_bits(vec, ref)) << threads << " threads: " << vec << " vs " << ref;
    if (first == kUntouched) first = vec;
    else if (std::is_integral_v<T> || norm == Norm::Inf) EXPECT_TRUE(same_bits(vec, first)) << threads;
    else EXPECT_NEAR(vec, first, 1e-12 * std::fabs(first)) << threads << " threads";
  }
}

TEST(Norm, ThreadCountInvariant) {
#define X(name, kind, nrm, T, C, k)                                                            \
  {                                                                                          \
    SCOPED_TRACE(#name);                                                                     \
    expect_thread_counts_agree<Kind::kind, Norm::nrm, T, C>(name, 1024, 1025, {1, 2, 8});    \
    if (k == 15) expect_thread_counts_agree<Kind::kind, Norm::nrm, T, C>(name, 1200, 1100, {1, 40}); \
  }
  ZUV_NORM_TABLE(X)
#undef X
}

// Which members split, and where. A 32f image whose first row holds a large
// power of two B and whose other rows hold 1 in the same column: on one
// thread each 1 is lost against B; in stripes the 1s of the later stripes are
// summed apart from B first, so the result shows the split. Relative norms
// divide by a second image holding a single 1.
template <Kind kind, Norm norm, class T, int C, class Fn>
void expect_threshold(Fn fn, int k) {
  if constexpr (std::is_same_v<T, float> && norm != Norm::Inf) {
    // |x| = 2^53 or x^2 = 2^54: adding 1 rounds back to B.
    const float big = norm == Norm::L1 ? 9007199254740992.f : 134217728.f;
    const double bigSum = norm == Norm::L1 ? 9007199254740992.0 : 18014398509481984.0;
    auto run = [&](int threads, int side, int rows) {
      Inputs<T> in(side, rows, C);
      const int ch = C - 1;
      in.a.fill([&](int x, int y, int c) { return x == 0 && c == ch ? (y == 0 ? big : 1.f) : 0.f; });
      in.b.fill([&](int x, int y, int c) { return kind == Kind::Rel && x == 1 && y == 0 && c == ch ? 1.f : 0.f; });
      if constexpr (kind == Kind::Rel) in.a.at(1, 0, ch) = 1.f;
      in.m.fill([](int, int, int) { return 1; });
      ThreadCount tc(threads);
      double r = kUntouched;
      EXPECT_EQ((call<kind, C>(fn, in, C, &r)), StatusOk);
      return r;
    };
    auto value = [&](double sum) { return norm == Norm::L2 ? std::sqrt(sum) : sum; };
    const int side = k == kNever ? 512 : 1 << ((k + 1) / 2);  // side^2 = 2 * 2^k
    EXPECT_EQ(run(2, side, side - 1), value(bigSum)) << "below the threshold";
    if (k == kNever) {
      EXPECT_EQ(run(2, side, side), value(bigSum)) << "never split";
    } else {
      EXPECT_EQ(run(2, side, side), value(bigSum + (side - side / 2))) << "at the threshold";
      if (k != 15) return;
      // 40 threads at 40 * 2^k pixels: slots from the allocator, summed in thread order.
      const int rows = (40 << k) / side;
      double want = bigSum;
      for (int t = 1; t < 40; ++t) want += zuv::parallel::stripe_of(t, 40, rows).rows;
      EXPECT_EQ(run(40, side, rows), value(want)) << "40 threads";
    }
  }
}

// The documented thresholds (log2 of pixels per thread) of the members whose
// split the test above can see, kept apart from the library's table.
int documented_threshold(const std::string& name) {
  static const std::map<std::string, int> k = {
      {"zuviNorm_L1_32f_C1MR", 17},          {"zuviNorm_L1_32f_C3CMR", 17},
      {"zuviNorm_L2_32f_C1MR", 17},          {"zuviNorm_L2_32f_C3CMR", 15},
      {"zuviNormDiff_L1_32f_C1MR", kNever},  {"zuviNormDiff_L1_32f_C3CMR", kNever},
      {"zuviNormDiff_L2_32f_C1MR", kNever},  {"zuviNormDiff_L2_32f_C3CMR", kNever},
      {"zuviNormRel_L1_32f_C1MR", kNever},   {"zuviNormRel_L1_32f_C3CMR", kNever},
      {"zuviNormRel_L2_32f_C1MR", kNever},   {"zuviNormRel_L2_32f_C3CMR", kNever}};
  const auto it = k.find(name);
  return it == k.end() ? kNever : it->second;
}

TEST(Norm, ThresholdsPerMember) {
#define X(name, kind, nrm, T, C, k) \
  { SCOPED_TRACE(#name); expect_threshold<Kind::kind, Norm::nrm, T, C>(name, documented_threshold(#name)); }
  ZUV_NORM_TABLE(X)
#undef X
}

}  // namespace
