// SPDX-License-Identifier: BSD-3-Clause
// Norms: vector against reference and the definition, empty masks, zero denominators,
// check order, thread counts and per-member thresholds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <type_traits>

#include "arith/norm.h"
#include "core/parallel.h"
#include "support/guarded_image.h"
#include "support/status.h"

namespace {

using namespace zuv::test;
using zuv::norm::Kind;
using zuv::norm::kNever;
using zuv::norm::Norm;

constexpr double kUntouched = -12345.0;

// The two sources and the mask of one call, against guard pages.
template <class T>
struct Inputs {
  Inputs(int w, int h, int c, int pad = 0, Flush flush = Flush::End)
      : a(w, h, c, pad * int(sizeof(T)), flush), b(w, h, c, 2 * pad * int(sizeof(T)), flush), m(w, h, 1, pad, flush) {}
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

// One member of the table (export, measure, threading threshold k), called
// with the arguments its kind and layout take.
template <Kind K, Norm N, class Elem, int Ch, class F>
struct Member {
  static constexpr Kind kind = K;
  static constexpr Norm norm = N;
  static constexpr int C = Ch;
  using T = Elem;
  const char* name;
  F f;
  int k;  // the threading threshold
  Status operator()(const T* a, int aStep, const T* b, int bStep, const uint8_t* m, int mStep, ImageSize roi,
                    int coi, double* out) const {
    if constexpr (K == Kind::Plain && C == 1) return f(a, aStep, m, mStep, roi, out);
    else if constexpr (K == Kind::Plain) return f(a, aStep, m, mStep, roi, coi, out);
    else if constexpr (C == 1) return f(a, aStep, b, bStep, m, mStep, roi, out);
    else return f(a, aStep, b, bStep, m, mStep, roi, coi, out);
  }
  Status operator()(const Inputs<T>& in, int coi, double* out) const {
    return (*this)(in.a.data(), in.a.step(), in.b.data(), in.b.step(), in.m.data(), in.m.step(), in.a.size(), coi, out);
  }
};

template <class Fn>
void for_members(Fn&& fn) {
#define X(name, kind, nrm, T, C, k) \
  { SCOPED_TRACE(#name); fn(Member<Kind::kind, Norm::nrm, T, C, decltype(&name)>{#name, &name, k}); }
  ZUV_NORM_TABLE(X)
#undef X
}

bool same_bits(double x, double y) { return std::memcmp(&x, &y, sizeof x) == 0; }

struct Expect { Status status; double value, rel_tol; };  // rel_tol 0: exact

// The norm straight from its definition: exact integers for 8u and 16u, long
// double over the float values (and float differences) for 32f.
template <class M>
Expect expected(const Inputs<typename M::T>& in, int coi) {
  using T = typename M::T;
  constexpr Norm norm = M::norm;
  const int ch = M::C == 3 ? coi - 1 : 0;
  using Acc = std::conditional_t<std::is_integral_v<T>, uint64_t, long double>;
  Acc num = 0, den = 0;
  auto take = [](Acc& acc, Acc v) { acc = norm == Norm::Inf ? std::max(acc, v) : acc + (norm == Norm::L1 ? v : v * v); };
  for (int y = 0; y < in.a.height(); ++y)
    for (int x = 0; x < in.a.width(); ++x) {
      if (!in.m.at(x, y)) continue;
      const T va = in.a.at(x, y, ch), vb = in.b.at(x, y, ch);  // 32f: the float difference
      const double diff = std::is_integral_v<T> ? double(int64_t(va) - int64_t(vb)) : double(T(va - vb));
      take(num, Acc(std::fabs(M::kind == Kind::Plain ? double(va) : diff)));
      take(den, Acc(std::fabs(double(vb))));
    }
  // Integers below 2^53 convert and divide exactly as the library does. A 32f
  // row's float partial sums add at most w / 32 + 1 non-negative terms, each
  // rounding once (2^-24); the 64f sums after that add ~2^-53 per term.
  const double tol = std::is_integral_v<T> || norm == Norm::Inf
                         ? 0
                         : (in.a.width() / 32 + 2) * std::ldexp(1.0, -24) * (M::kind == Kind::Rel ? 2 : 1);
  double q = double(num);
  if (M::kind == Kind::Rel) {
    if (den == 0) return {StatusDivByZero, num == 0 ? double(NAN) : double(INFINITY), 0};
    q = std::is_integral_v<T> ? double(num) / double(den) : double((long double)num / den);
  }
  return {StatusOk, norm == Norm::L2 ? std::sqrt(q) : q, tol};
}

void expect_value(double got, const Expect& e) {
  if (e.rel_tol == 0 || e.value == 0 || std::isnan(e.value) || std::isinf(e.value))
    EXPECT_TRUE(same_bits(got, e.value) || (std::isnan(got) && std::isnan(e.value))) << got << " vs " << e.value;
  else
    EXPECT_LE(std::fabs(got - e.value), e.rel_tol * std::fabs(e.value)) << got << " vs " << e.value;
}

// Every tail length of every step (64 pixels for 8u, 16u and one-channel 32f, 32 for three-channel 32f),
// heights 1 to 3, padded rows, both guard ends and every channel of interest: vector and reference agree bit
// for bit and meet the definition. Every fifth 32f case holds a few infinities, NaNs, signed zeros or
// subnormals; there only the two paths are compared. Widths ending in 7 have an empty mask over NaNs or
// largest values (never read: 0, or NaN with the warning for relative norms); in 3 a zero second image
// (relative: +inf with the warning), in 5 both images zero (NaN).
TEST(Norm, MatchesDefinitionOverTailsAndLayouts) {
  const float special[] = {0.f, -0.f, 1e-40f, -1e-40f, 3.4e38f, -3.4e38f, INFINITY, -INFINITY, NAN, 1.f};
  for_members([&](auto mb) {
    using M = decltype(mb);
    using T = typename M::T;
    int n = 0;
    for (Flush flush : {Flush::End, Flush::Begin})
      for (int h = 1; h <= 3; ++h)
        for (int w = 1; w <= 200; w += (w < 70 ? 1 : 9), ++n) {
          Inputs<T> in(w, h, M::C, (w % 3) * 2, flush);
          in.randomise(uint32_t(w * 977 + h * 31 + int(flush)));
          const int coi = M::C == 3 ? 1 + (w + h) % 3 : 1;
          const bool specials = std::is_same_v<T, float> && n % 5 == 0;
          if (w % 10 == 7) {
            in.m.fill([](int, int, int) { return 0; });
            in.a.fill([](int x, int, int) { return x % 2 ? std::numeric_limits<T>::quiet_NaN() : std::numeric_limits<T>::max(); });
          }
          if (w % 10 == 3 || w % 10 == 5) in.b.fill([](int, int, int) { return 0; });
          if (w % 10 == 5) in.a.fill([](int, int, int) { return 0; });
          std::mt19937 rng{uint32_t(n)};
          for (int i = 0; specials && i < 3; ++i) {  // few, so that not every result is NaN
            in.a.at(int(rng() % w), int(rng() % h), int(rng() % M::C)) = special[n / 5 % 10];
            in.b.at(int(rng() % w), int(rng() % h), int(rng() % M::C)) = special[(n / 5 + i) % 10];
          }
          double vec = kUntouched, ref = kUntouched;
          const Status sv = mb(in, coi, &vec);
          Status sr;
          { ReferenceKernels use_ref; sr = mb(in, coi, &ref); }
          SCOPED_TRACE(testing::Message() << w << "x" << h << " coi " << coi);
          ASSERT_TRUE(same_bits(vec, ref) && sv == sr) << vec << " vs " << ref;
          if (specials) continue;
          const Expect e = expected<M>(in, coi);
          ASSERT_EQ(sv, e.status);
          expect_value(vec, e);
          if (testing::Test::HasFailure()) return;
        }
  });
}

// Hand-computed values that pin the definition above.
TEST(Norm, DocumentedValues) {
  GuardedImage<uint8_t> s(2, 2), m(2, 2);
  s.fill([](int x, int y, int) { return 1 + x + 2 * y; });
  m.fill([](int, int, int) { return 7; });
  for (auto [f, want] : {std::pair{zuviNorm_L1_8u_C1MR, 10.0}, {zuviNorm_L2_8u_C1MR, std::sqrt(30.0)},
                         {zuviNorm_Inf_8u_C1MR, 4.0}}) {
    double r = 0;
    ASSERT_EQ(f(s.data(), s.step(), m.data(), m.step(), s.size(), &r), StatusOk);
    EXPECT_EQ(r, want);
  }
}

// Check order: pointers, width, height, steps as the kind orders them, the channel of
// interest last; cases with two faults pin the order. The result is never written on refusal.
TEST(Norm, CheckOrder) {
  for_members([](auto mb) {
    using M = decltype(mb);
    using T = typename M::T;
    Inputs<T> in(8, 2, M::C);
    const T *a = in.a.data(), *b = in.b.data();
    const uint8_t* m = in.m.data();
    const int rb = 8 * M::C * int(sizeof(T));           // row bytes
    const int odd = sizeof(T) == 4 ? rb + 2 : rb + 1;  // passes the step test, fails the multiple
    const bool wide = sizeof(T) > 1;
    auto expect = [&](Status want, const T* pa, int sa, const T* pb, int sb, const uint8_t* pm, int sm,
                      ImageSize roi, int coi, bool out, int line) {
      double r = kUntouched;
      EXPECT_EQ(mb(pa, sa, pb, sb, pm, sm, roi, coi, out ? &r : nullptr), want) << "case at line " << line;
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
    if (M::kind == Kind::Plain) {
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
    if (M::C == 3) {
      CASE(StatusChannelOfInterest, a, rb, b, rb, m, 8, roi, 0, true);
      CASE(StatusChannelOfInterest, a, rb, b, rb, m, 8, roi, 4, true);
    }
#undef CASE
  });
}

// 1, 2 and 8 threads (and 40, where the slots are allocated) past the thresholds: integer
// results never change; 32f results match the reference at the same count bit for bit and
// the one-thread result within rounding (only the grouping of the 64f stripe sums changes).
// `largest`: the largest values (less in the other channels) over rows long enough to need
// 64-bit sums (and, in 8u L2, several flushes of the narrower sums) meet the definition exactly.
template <class M>
void expect_thread_counts_agree(const M& mb, int w, int h, std::initializer_list<int> counts, bool largest = false) {
  using T = typename M::T;
  Inputs<T> in(w, h, M::C);
  in.randomise(uint32_t(w + h));
  if (largest) {
    const T kMax = std::numeric_limits<T>::max();
    in.a.fill([&](int x, int, int c) { return x % 97 == 0 ? T(0) : T(kMax - (M::C - 1 - c)); });
    in.b.fill([&](int x, int, int) { return x % 89 == 0 ? kMax : T(0); });
    in.m.fill([](int x, int y, int) { return (x + y) % 50 ? 255 : 0; });
  }
  double first = kUntouched;
  for (int threads : counts) {
    ThreadCount tc(threads);
    double vec = kUntouched, ref = kUntouched;
    const Status sv = mb(in, M::C, &vec);
    { ReferenceKernels use_ref; ASSERT_EQ(sv, mb(in, M::C, &ref)); }
    ASSERT_TRUE(same_bits(vec, ref)) << threads << " threads: " << vec << " vs " << ref;
    if (largest) {
      const Expect e = expected<M>(in, M::C);
      ASSERT_EQ(sv, e.status);
      expect_value(vec, e);
    }
    if (first == kUntouched) first = vec;
    else if (std::is_integral_v<T> || M::norm == Norm::Inf) EXPECT_TRUE(same_bits(vec, first)) << threads;
    else EXPECT_NEAR(vec, first, 1e-12 * std::fabs(first)) << threads << " threads";
  }
}

TEST(Norm, ThreadCountsAndExactSums) {
  for_members([](auto mb) {
    expect_thread_counts_agree(mb, 1024, 1025, {1, 2, 8});
    if (mb.k == 15) expect_thread_counts_agree(mb, 1200, 1100, {1, 40});
    if (std::is_integral_v<typename decltype(mb)::T>) expect_thread_counts_agree(mb, 140001, 2, {1, 2}, true);
  });
}

// Which members split, and where (log2 of pixels per thread, as documented, kept apart from the library's
// table). A 32f image whose first row holds a large power of two B and whose other rows hold 1 in the same
// column: on one thread each 1 is lost against B; in stripes the later stripes' 1s are summed apart from B
// first, so the result shows the split. Relative norms divide by a second image holding a single 1.
TEST(Norm, ThresholdsPerMember) {
  for_members([](auto mb) {
    using M = decltype(mb);
    constexpr int C = M::C;
    if constexpr (std::is_same_v<typename M::T, float> && M::norm != Norm::Inf) {
      // |x| = 2^53 or x^2 = 2^54: adding 1 rounds back to B.
      const bool l1 = M::norm == Norm::L1;
      const float big = l1 ? 9007199254740992.f : 134217728.f;
      const double bigSum = l1 ? double(big) : double(big) * big;
      auto run = [&](int threads, int side, int rows) {
        Inputs<float> in(side, rows, C);
        const int ch = C - 1, rel = M::kind == Kind::Rel;
        in.a.fill([&](int x, int y, int c) { return x == 0 && c == ch ? (y == 0 ? big : 1.f) : 0.f; });
        in.b.fill([&](int x, int y, int c) { return rel && x == 1 && y == 0 && c == ch ? 1.f : 0.f; });
        if (rel) in.a.at(1, 0, ch) = 1.f;
        in.m.fill([](int, int, int) { return 1; });
        ThreadCount tc(threads);
        double r = kUntouched;
        EXPECT_EQ(mb(in, C, &r), StatusOk);
        return r;
      };
      auto value = [&](double sum) { return l1 ? sum : std::sqrt(sum); };
      const std::map<std::string, int> documented = {{"zuviNorm_L1_32f_C1MR", 17}, {"zuviNorm_L1_32f_C3CMR", 17},
                                                     {"zuviNorm_L2_32f_C1MR", 17}, {"zuviNorm_L2_32f_C3CMR", 15}};
      const int k = documented.count(mb.name) ? documented.at(mb.name) : kNever;
      const int side = k == kNever ? 512 : 1 << ((k + 1) / 2);  // side^2 = 2 * 2^k
      EXPECT_EQ(run(2, side, side - 1), value(bigSum)) << "below the threshold";
      EXPECT_EQ(run(2, side, side), value(bigSum + (k == kNever ? 0 : side - side / 2))) << "at the threshold";
      if (k == 15) {
        // 40 threads at 40 * 2^k pixels: slots from the allocator, summed in thread order.
        const int rows = (40 << k) / side;
        double want = bigSum;
        for (int t = 1; t < 40; ++t) want += zuv::parallel::stripe_of(t, 40, rows).rows;
        EXPECT_EQ(run(40, side, rows), value(want)) << "40 threads";
      }
    }
  });
}

}  // namespace
