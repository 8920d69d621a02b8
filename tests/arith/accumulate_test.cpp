// SPDX-License-Identifier: BSD-3-Clause
// Accumulation and absolute difference: vector against reference, edge values, check order, threads.
#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "arith/accumulate.h"
#include "support/guarded_image.h"
#include "support/status.h"

namespace {

using namespace zuv::test;

// Every tail length of the 16- and 64-lane loops, and long rows that take the alignment
// head (guard-page flush leaves odd starts). bytes() compares NaNs and signed zeros exactly.
std::vector<int> widths() {
  std::vector<int> w;
  for (int i = 1; i <= 140; i += (i < 70 ? 1 : 13)) w.push_back(i);
  for (int i : {257, 300, 1100, 1537}) w.push_back(i);
  return w;
}

// Inputs of one accumulation call: up to two sources, a mask, an accumulator.
template <class T>
struct AccCase {
  AccCase(int w, int h, int pad, Flush flush, uint32_t seed)
      : s1(w, h, 1, pad * int(sizeof(T)), flush), s2(w, h, 1, pad * int(sizeof(T)), flush),
        m(w, h, 1, pad, flush), a(w, h, 1, pad * 4, flush) {
    std::mt19937 rng(seed);
    s1.fill_random(rng);
    s2.fill_random(rng);
    m.fill([&](int, int, int) { return rng() % 3 == 0 ? 0 : int(rng() % 256); });
    a.fill([&](int, int, int) { return std::uniform_real_distribution<float>(-1e4f, 1e4f)(rng); });
  }
  GuardedImage<T> s1, s2;
  GuardedImage<uint8_t> m;
  GuardedImage<float> a;
};

// `call` on fresh cases with the vector and the reference kernels: the same accumulators.
template <class T, class Call>
void expect_vector_matches_reference(Call call) {
  for (Flush flush : {Flush::End, Flush::Begin})
    for (int pad : {0, 3})
      for (int h = 1; h <= 3; ++h)
        for (int w : widths()) {
          AccCase<T> vec(w, h, pad, flush, uint32_t(w * 131 + h)), ref(w, h, pad, flush, uint32_t(w * 131 + h));
          ASSERT_EQ(call(vec), StatusOk);
          { ReferenceKernels use_ref; ASSERT_EQ(call(ref), StatusOk); }
          ASSERT_EQ(vec.a.bytes(), ref.a.bytes()) << "width " << w << " height " << h;
          ASSERT_TRUE(vec.a.padding_intact());
        }
}

// Argument groups of an AccCase c: first and second source, mask, accumulator with the ROI.
#define S1 c.s1.data(), c.s1.step()
#define S2 c.s2.data(), c.s2.step()
#define MK c.m.data(), c.m.step()
#define AC c.a.data(), c.a.step(), c.a.size()
#define RUN(name, T, ...) \
  { SCOPED_TRACE(#name); expect_vector_matches_reference<T>([](AccCase<T>& c) { return __VA_ARGS__; }); }

TEST(Accumulate, VectorMatchesReference) {
#define X(name, op, T) RUN(name, T, name(S1, AC))
  ZUV_ACC1_TABLE(X)
#undef X
#define X(name, op, T) RUN(name, T, name(S1, MK, AC))
  ZUV_ACC1M_TABLE(X)
#undef X
#define X(name, op, T) RUN(name, T, name(S1, S2, AC))
  ZUV_ACC2_TABLE(X)
#undef X
#define X(name, op, T) RUN(name, T, name(S1, S2, MK, AC))
  ZUV_ACC2M_TABLE(X)
#undef X
#define X(name, op, T) RUN(name, T, name(S1, AC, 0.3f))
  ZUV_ACCW_TABLE(X)
#undef X
#define X(name, op, T) RUN(name, T, name(S1, MK, AC, 0.3f))
  ZUV_ACCWM_TABLE(X)
#undef X
  // The blend writes a third image: s2 (here the float source) plays the second source.
  RUN(zuviAddWeighted_32f_C1R, float, zuviAddWeighted_32f_C1R(S1, S2, AC, 0.3f))
}

// The reference against the formula pixel by pixel, then exact edge values.
TEST(Accumulate, ReferenceFormulaAndEdgeValues) {
  {
    ReferenceKernels use_ref;
    AccCase<uint16_t> c(37, 3, 0, Flush::End, 7);
    const std::vector<float> before = c.a.pixels();
    ASSERT_EQ(zuviAddProduct_16u32f_C1IMR(S1, S2, MK, AC), StatusOk);
    for (int y = 0, i = 0; y < 3; ++y)
      for (int x = 0; x < 37; ++x, ++i)
        ASSERT_EQ(c.a.at(x, y), c.m.at(x, y) ? std::fma(float(c.s1.at(x, y)), float(c.s2.at(x, y)), before[i]) : before[i]);
  }
  GuardedImage<float> acc(3, 1);
  GuardedImage<uint8_t> s8(3, 1), d8(3, 1), zero(3, 1);
  acc.fill([](int x, int, int) { return float(x + 1); });
  s8.fill([](int x, int, int) { return 2 * (x + 1); });
  // alpha 0 keeps, 1 copies, 0.5 takes the middle.
  for (auto [alpha, want] : {std::pair{0.f, std::vector<float>{1, 2, 3}}, {0.5f, {1.5f, 3, 4.5f}}, {1.f, {2, 4, 6}}}) {
    ASSERT_EQ(zuviAddWeighted_8u32f_C1IR(s8.data(), s8.step(), acc.data(), acc.step(), acc.size(), alpha), 0);
    EXPECT_EQ(acc.pixels(), want) << alpha;
  }
  // An all-zero mask leaves the accumulator bit for bit.
  zero.fill([](int, int, int) { return 0; });
  acc.fill([](int x, int, int) { return x == 0 ? -0.f : std::numeric_limits<float>::quiet_NaN(); });
  const auto before = acc.bytes();
  ASSERT_EQ(zuviAdd_8u32f_C1IMR(s8.data(), s8.step(), zero.data(), zero.step(), acc.data(), acc.step(), acc.size()), 0);
  EXPECT_EQ(acc.bytes(), before);
  // 65535^2 rounds once: 4294836225 -> 4294836224.
  GuardedImage<uint16_t> s16(2, 1), d16(2, 1);
  s16.fill([](int x, int, int) { return x ? 3 : 65535; });
  acc.fill([](int, int, int) { return 0.f; });
  ASSERT_EQ(zuviAddSquare_16u32f_C1IR(s16.data(), s16.step(), acc.data(), acc.step(), s16.size()), 0);
  EXPECT_EQ(acc.pixels(), (std::vector<float>{4294836224.f, 9, 0}));
  // The constant is first saturated to the type: 300 acts as 255, -5 as 0, 70000 as 65535.
  for (auto [v, want] : {std::pair{300, std::vector<uint8_t>{253, 251, 249}}, {-5, {2, 4, 6}}}) {
    ASSERT_EQ(zuviAbsDiffC_8u_C1R(s8.data(), s8.step(), d8.data(), d8.step(), s8.size(), v), 0);
    EXPECT_EQ(d8.pixels(), want) << v;
  }
  ASSERT_EQ(zuviAbsDiffC_16u_C1R(s16.data(), s16.step(), d16.data(), d16.step(), s16.size(), 70000), 0);
  EXPECT_EQ(d16.pixels(), (std::vector<uint16_t>{0, 65532}));
  // |1 - NaN| is NaN, |-0 - 0| is +0.
  GuardedImage<float> a(2, 1), b(2, 1), r(2, 1);
  a.fill([](int x, int, int) { return x == 0 ? 1.f : -0.f; });
  b.fill([](int x, int, int) { return x == 0 ? std::numeric_limits<float>::quiet_NaN() : 0.f; });
  ASSERT_EQ(zuviAbsDiff_32f_C1R(a.data(), a.step(), b.data(), b.step(), r.data(), r.step(), a.size()), 0);
  EXPECT_TRUE(std::isnan(r.at(0, 0)) && r.at(1, 0) == 0.f && !std::signbit(r.at(1, 0)));
}

// Vector against reference over every width, and in place on the first source.
template <class T, int C, class Call>
void expect_absdiff_matches_reference(Call call) {
  for (Flush flush : {Flush::End, Flush::Begin})
    for (int h = 1; h <= 3; ++h)
      for (int w : widths()) {
        std::mt19937 rng(uint32_t(w + 1000 * h));
        GuardedImage<T> a(w, h, C, 0, flush), b(w, h, C, 2 * sizeof(T), flush), dv(w, h, C, 0, flush),
            dr(w, h, C, 0, flush);
        a.fill_random(rng);
        b.fill_random(rng);
        ASSERT_EQ(call(a, b, dv), StatusOk);
        { ReferenceKernels use_ref; ASSERT_EQ(call(a, b, dr), StatusOk); }
        ASSERT_EQ(dv.bytes(), dr.bytes()) << w << "x" << h;
        ASSERT_EQ(call(a, b, a), StatusOk);
        ASSERT_EQ(a.bytes(), dv.bytes());
      }
}

TEST(AbsDiff, VectorMatchesReference) {
#define X(name, T, C) { SCOPED_TRACE(#name); expect_absdiff_matches_reference<T, C>( \
    [](auto& a, auto& b, auto& d) { return name(a.data(), a.step(), b.data(), b.step(), d.data(), d.step(), a.size()); }); }
  ZUV_ABSDIFF_TABLE(X)
#undef X
#define X(name, T, V) { SCOPED_TRACE(#name); expect_absdiff_matches_reference<T, 1>( \
    [](auto& a, auto&, auto& d) { return name(a.data(), a.step(), d.data(), d.step(), a.size(), V(77)); }); }
  ZUV_ABSDIFFC_TABLE(X)
#undef X
}

// Masked members write only the selected pixels: the unselected ones lie on a
// read-only page (a write there crashes), so other threads may update them.
TEST(Accumulate, MaskedMembersLeaveUnselectedPixelsUnwritten) {
  const size_t page = size_t(sysconf(_SC_PAGESIZE));
  void* map = mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(map, MAP_FAILED);
  for (int writable : {1, 16, 45, 96}) {
    const int w = writable + 64;
    ASSERT_EQ(mprotect(map, 2 * page, PROT_READ | PROT_WRITE), 0);
    float* acc = reinterpret_cast<float*>(static_cast<uint8_t*>(map) + page) - writable;
    for (int x = 0; x < w; ++x) acc[x] = float(x);
    ASSERT_EQ(mprotect(static_cast<uint8_t*>(map) + page, page, PROT_READ), 0);
    std::vector<uint8_t> m8(size_t(w), 0);
    const std::vector<float> source(size_t(w), 5.f);  // read as the row of every source type
    for (int x = 0; x < writable; ++x) m8[size_t(x)] = uint8_t(x % 3 ? 1 + x : 0);
    const ImageSize roi{w, 1};
#define ARGS(T) reinterpret_cast<const T*>(source.data()), int(w * sizeof(T))
#define MA m8.data(), w, acc, w * 4, roi
#define X(name, op, T) EXPECT_EQ(name(ARGS(T), MA), StatusOk) << #name;
    ZUV_ACC1M_TABLE(X)
#undef X
#define X(name, op, T) EXPECT_EQ(name(ARGS(T), ARGS(T), MA), StatusOk) << #name;
    ZUV_ACC2M_TABLE(X)
#undef X
#define X(name, op, T) EXPECT_EQ(name(ARGS(T), MA, 0.5f), StatusOk) << #name;
    ZUV_ACCWM_TABLE(X)
#undef X
#undef MA
#undef ARGS
    for (int x = 0; x < writable; ++x) EXPECT_TRUE(m8[size_t(x)] != 0 || acc[x] == float(x)) << x;
  }
  munmap(map, 2 * page);
}

// Results do not depend on the thread count (512 x 512 is threaded).
TEST(Accumulate, ThreadCountInvariant) {
  std::vector<uint8_t> first, firstDiff;
  GuardedImage<uint8_t> x(513, 511, 3), y(513, 511, 3);
  std::mt19937 rng(7);
  x.fill_random(rng);
  y.fill_random(rng);
  for (int threads : {1, 2, 3, 8}) {
    ThreadCount tc(threads);
    AccCase<uint8_t> c(512, 512, 0, Flush::End, 99);
    ASSERT_EQ(zuviAddWeighted_8u32f_C1IMR(S1, MK, AC, 0.25f), 0);
    GuardedImage<uint8_t> d(513, 511, 3);
    ASSERT_EQ(zuviAbsDiff_8u_C3R(x.data(), x.step(), y.data(), y.step(), d.data(), d.step(), d.size()), 0);
    if (first.empty()) first = c.a.bytes(), firstDiff = d.bytes();
    EXPECT_TRUE(c.a.bytes() == first && d.bytes() == firstDiff) << threads << " threads";
  }
}

// Check order, with two faults at once where the order decides.
TEST(Accumulate, RefusedArgumentsWriteNothing) {
  GuardedImage<uint16_t> s(8, 2), d(8, 2);
  GuardedImage<uint8_t> m(8, 2), c3(8, 2, 3);
  GuardedImage<float> a(8, 2), f(8, 2);
  const ImageSize roi = a.size();
  auto add16 = [&](int sStep, int aStep, ImageSize r = {8, 2}) {
    return [&, sStep, aStep, r] { return zuviAdd_16u32f_C1IR(s.data(), sStep, a.data(), aStep, r); };
  };
  expect_refused(StatusNullPointer, [&] { return zuviAdd_16u32f_C1IR(s.data(), 16, nullptr, 32, {0, 2}); }, {a});
  expect_refused(StatusSize, add16(16, 32, {0, 2}), {a});
  expect_refused(StatusSize, add16(16, 32, {8, 0}), {a});
  expect_refused(StatusStep, add16(15, 31), {a});
  // Odd source step beats a short accumulator step.
  expect_refused(StatusNotEvenStep, add16(17, 28), {a});
  expect_refused(StatusStep, add16(16, 28), {a});
  expect_refused(StatusNotEvenStep, add16(16, 34), {a});
  // Masked 16u: source evenness before the mask's step.
  expect_refused(StatusNotEvenStep, [&] { return zuviAdd_16u32f_C1IMR(s.data(), 17, m.data(), 7, a.data(), 32, roi); }, {a});
  expect_refused(StatusStep, [&] { return zuviAdd_16u32f_C1IMR(s.data(), 16, m.data(), 7, a.data(), 34, roi); }, {a});
  // All-32f members: every step test before any multiple test.
  expect_refused(StatusStep, [&] { return zuviAddProduct_32f_C1IR(f.data(), 34, f.data(), 28, a.data(), 32, roi); }, {a});
  expect_refused(StatusNotEvenStep, [&] { return zuviAddWeighted_32f_C1R(f.data(), 32, f.data(), 34, a.data(), 32, roi, 1.f); }, {a});
  expect_refused(StatusNullPointer, [&] { return zuviAddProduct_8u32f_C1IMR(m.data(), 8, nullptr, 8, m.data(), 8, a.data(), 32, roi); }, {a});
  // Absolute differences: steps in argument order, then multiples.
  expect_refused(StatusStep, [&] { return zuviAbsDiff_16u_C1R(s.data(), 17, s.data(), 16, d.data(), 14, roi); }, {d});
  expect_refused(StatusNotEvenStep, [&] { return zuviAbsDiffC_16u_C1R(s.data(), 16, d.data(), 17, roi, 3); }, {d});
  expect_refused(StatusStep, [&] { return zuviAbsDiff_8u_C3R(c3.data(), 23, c3.data(), 24, c3.data(), 24, roi); }, {c3});
}

}  // namespace
