// SPDX-License-Identifier: BSD-3-Clause
// Row and column pipelines against a direct correlation (kernels, anchors, divisors, widths, borders);
// rounding and saturation; check order; buffer sizes; guard pages; thread-count independence.
#include <gtest/gtest.h>
#include <omp.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <type_traits>
#include <vector>

#include "filter/mask_reference.h"
#include "filter/pipeline.h"

namespace {

using namespace zuv::test;
using zuv::pipeline::tap_t;

// Every variant in the integer form (the 32f ones through adapters).
template <class S, class D>
using RowFn = Status (*)(const S*, int, D* const*, ImageSize, const tap_t<S>*, int, int, int, S, int, uint8_t*);
template <class S, class D>
using ColFn = Status (*)(const S* const*, D*, int, ImageSize, const tap_t<S>*, int, int, uint8_t*);
using QueryFn = Status (*)(ImageSize, int, int*);

template <class Fn>
struct Api { const char* name; Fn run; QueryFn query; };
template <class S, class D> using RowApi = Api<RowFn<S, D>>;
template <class S, class D> using ColApi = Api<ColFn<S, D>>;

// Saturated, else rounded to nearest with ties to even.
template <class D>
D saturate_round(float v) {
  using L = std::numeric_limits<D>;
  return v >= float(L::max()) ? L::max() : v <= float(L::lowest()) ? L::lowest() : D(std::nearbyint(v));
}

// One output from its window x[0..k-1]. 16u rows sum exactly in unsigned 32
// bits; 16u columns sum float taps in floats.
template <class S, class D, bool kLow, bool kRow>
D expected(const std::vector<S>& x, const std::vector<tap_t<S>>& K, int divisor) {
  constexpr bool f32 = std::is_same_v<S, float>, u16 = std::is_same_v<S, uint16_t>;
  const int k = int(K.size());
  if constexpr (f32 || (u16 && !kRow)) {
    float acc = float(K[0]) * float(x[0]);
    for (int j = 1; j < k; ++j) acc = acc + float(K[j]) * float(x[j]);
    if constexpr (f32) return acc;
    else return saturate_round<D>(acc * (1.0f / float(divisor)));
  } else {
    int64_t sum = 0;
    for (int j = 0; j < k; ++j) sum += int64_t(K[j]) * int64_t(x[j]);
    if constexpr (u16) {
      return saturate_round<D>(float(uint32_t(uint64_t(sum))) * (1.0f / float(divisor)));
    } else if constexpr (!kLow) {
      return saturate_round<D>(float(int32_t(uint32_t(uint64_t(sum)))) * (1.0f / float(divisor)));
    } else {  // wrapped 16-bit sum times trunc(16384 / divisor), floor-divided by 2^14
      const int64_t r = int64_t(int16_t(uint16_t(uint64_t(sum)))) * int64_t(std::trunc(16384.0f / float(divisor)));
      const int64_t q = r >= 0 ? r / 16384 : -((-r + 16383) / 16384);
      return D(q < -32768 ? -32768 : (q > 32767 ? 32767 : q));
    }
  }
}

// Random inputs: small values, or (wide) the type's whole range.
template <class T>
T random_value(std::mt19937& rng, bool wide, int spread = 300) {
  if (wide) return GuardedImage<T>::template random_value<T>(rng);
  if constexpr (std::is_floating_point_v<T>) {
    return std::uniform_real_distribution<float>(-float(spread), float(spread))(rng);
  } else {
    const int v = std::uniform_int_distribution<int>(std::is_signed_v<T> ? -spread : 0, spread)(rng);
    return T(std::clamp<int>(v, int(std::numeric_limits<T>::min()), int(std::numeric_limits<T>::max())));
  }
}

template <class S>
int random_divisor(std::mt19937& rng) {
  static const int kPositive[] = {1, 2, 3, 4, 7, 10, 16, 255, 1000, 32768, 100000};
  const int d = kPositive[rng() % (sizeof(kPositive) / sizeof(kPositive[0]))];
  return !std::is_same_v<S, uint16_t> && rng() % 4 == 0 ? -d : d;
}

// A buffer of exactly the reported size, ending at a guard page (so its start
// has whatever alignment the size gives it and the pass must align inside it).
std::unique_ptr<GuardedBytes> buffer_for(QueryFn query, ImageSize roi, int k) {
  int size = -1;
  EXPECT_EQ(query(roi, k, &size), StatusOk);
  auto b = std::make_unique<GuardedBytes>(size_t(size), Flush::End);
  std::memset(b->base(), 0x3C, size_t(size));
  return b;
}

// Index of the first differing element (or of the shorter end), -1 if none.
template <class D>
long first_difference(const std::vector<D>& a, const std::vector<D>& b) {
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
    if (std::memcmp(&a[i], &b[i], sizeof(D)) != 0) return long(i);
  return a.size() == b.size() ? -1 : long(std::min(a.size(), b.size()));
}

// The same bytes for 1, 2 and 8 permitted threads; run() makes the buffer
// for the current count and returns the output.
template <class Run>
void expect_thread_invariant(Run run) {
  decltype(run()) one;
  for (int threads : {1, 2, 8}) {
    ThreadCount tc(threads);
    if (threads == 1) one = run();
    else EXPECT_EQ(first_difference(one, run()), -1) << threads << " threads";
  }
}

template <class S>
std::vector<tap_t<S>> random_kernel(std::mt19937& rng, int k, bool wide) {
  std::vector<tap_t<S>> K(static_cast<size_t>(k));
  for (auto& t : K) t = random_value<tap_t<S>>(rng, wide, 9);
  return K;
}

struct RowCase { int w, h, k, anchor, border, divisor; bool wide; Flush flush; };

template <class S, class D, int C, bool kLow>
std::vector<D> run_row(const RowApi<S, D>& api, const RowCase& rc, uint32_t seed) {
  std::mt19937 rng(seed);
  const Sides s = sides_of(rc.border);
  const int margin = (s.left || s.right) ? rc.k : 0;
  GuardedImage<S> src(rc.w, rc.h, C, (seed % 3) * int(sizeof(S)), rc.flush, margin);
  for (int y = 0; y < rc.h; ++y)
    for (int x = -margin; x < rc.w + margin; ++x)
      for (int c = 0; c < C; ++c) src.at(x, y, c) = random_value<S>(rng, rc.wide);
  std::vector<tap_t<S>> K = random_kernel<S>(rng, rc.k, rc.wide);
  // Every other case mirrors the kernel: symmetric kernels take their own path.
  if (seed % 2)
    for (int j = 0; j < rc.k / 2; ++j) K[size_t(rc.k - 1 - j)] = K[size_t(j)];
  const S value = random_value<S>(rng, rc.wide);
  // Scattered destination rows, each against a guard page.
  std::vector<std::unique_ptr<GuardedImage<D>>> rows;
  std::vector<D*> ptrs;
  for (int y = 0; y < rc.h; ++y) {
    rows.push_back(std::make_unique<GuardedImage<D>>(rc.w, 1, C, 0, y % 2 ? Flush::Begin : Flush::End));
    ptrs.push_back(rows.back()->data());
  }
  const auto buf = buffer_for(api.query, {rc.w, rc.h}, rc.k);
  EXPECT_EQ(api.run(src.data(), src.step(), ptrs.data(), {rc.w, rc.h}, K.data(), rc.k, rc.anchor, rc.border, value,
                    rc.divisor, buf->base()), StatusOk);
  std::vector<D> got, want;
  std::vector<S> window(static_cast<size_t>(rc.k));
  for (int y = 0; y < rc.h; ++y)
    for (int x = 0; x < rc.w; ++x)
      for (int c = 0, p = 0; c < C; ++c) {
        for (int j = 0; j < rc.k; ++j)
          window[size_t(j)] = supplier(p = x - rc.anchor + j, rc.w, s.mode, s.left, s.right) ? src.at(p, y, c) : value;
        want.push_back(expected<S, D, kLow, true>(window, K, rc.divisor));
        got.push_back(rows[size_t(y)]->at(x, 0, c));
      }
  const long i = first_difference(want, got);
  EXPECT_EQ(i, -1) << api.name << " w " << rc.w << " h " << rc.h << " k " << rc.k << " anchor " << rc.anchor
                   << " border " << rc.border << " divisor " << rc.divisor << ": got " << double(got[size_t(i)])
                   << " want " << double(want[size_t(i)]);
  return got;
}

// Widths 1, 2, 3, odd widths across the vector lengths; every border form;
// short, long, even and odd kernels at every anchor; then the same bytes for
// any thread count on an image above the threading threshold.
template <class S, class D, int C, bool kLow>
void row_suite(const RowApi<S, D>& api) {
  SCOPED_TRACE(api.name);
  std::mt19937 rng(12345 + C);
  const int borders[] = {BorderConst, BorderRepl, BorderMirror, BorderInMem, BorderConst | BorderInMemLeft,
                         BorderRepl | BorderInMemRight, BorderMirror | BorderInMemLeft,
                         BorderMirror | BorderInMemTop | BorderInMemBottom, BorderInMem | BorderInMemLeft};
  for (int w : {1, 2, 3, 17, 32, 69, 513})
    for (int border : borders)
      for (int k : {1, 2, 3, 4, 5, 6, 7, 9, 11, 31}) {
        if (w > 69 && k != 3 && k != 5 && k != 9 && k != 11) continue;
        const RowCase rc{w, 1 + int(rng() % 3), k, int(rng() % uint32_t(k)), border,
                         std::is_same_v<S, float> ? 1 : random_divisor<S>(rng), rng() % 4 == 0,
                         rng() % 2 ? Flush::End : Flush::Begin};
        const uint32_t seed = rng();
        const std::vector<D> vec = run_row<S, D, C, kLow>(api, rc, seed);
        if (::testing::Test::HasFailure()) return;
        ReferenceKernels useRef;
        ASSERT_EQ(first_difference(vec, run_row<S, D, C, kLow>(api, rc, seed)), -1);
      }
  // 294000 pixels: threaded up to 8 threads; destination rows in reverse order in memory.
  const int w = 700, h = 420, k = 5;
  GuardedImage<S> src(w, h, C);
  src.fill_random(rng);
  const std::vector<tap_t<S>> K = {1, 3, 5, 3, 1};
  expect_thread_invariant([&] {
    const auto buf = buffer_for(api.query, {w, h}, k);
    std::vector<D> dense(size_t(w) * h * C);
    std::vector<D*> rows;
    for (int y = 0; y < h; ++y) rows.push_back(dense.data() + size_t(h - 1 - y) * w * C);
    EXPECT_EQ(api.run(src.data(), src.step(), rows.data(), {w, h}, K.data(), k, 2, BorderMirror, S(7), 3, buf->base()), StatusOk);
    return dense;
  });
}

TEST(RowPipeline, MatchesDirectCorrelation) {
#define X(name, query, S, D, C, low) row_suite<S, D, C, low>({#name, name, query});
  ZUV_ROW_PIPELINE_TABLE(X)
#undef X
  // The 32f exports take no divisor and their float border value last.
#define X(name, query, S, D, C, low)                                                                          \
  row_suite<S, D, C, low>({#name,                                                                             \
                           [](const S* s, int ss, D* const* d, ImageSize r, const tap_t<S>* k, int ks, int a, \
                              int b, S v, int, uint8_t* buf) { return name(s, ss, d, r, k, ks, a, b, buf, v); }, \
                           query});
  ZUV_ROW_PIPELINE_32F_TABLE(X)
#undef X
}

template <class S, class D, int C, bool kLow>
std::vector<D> run_column(const ColApi<S, D>& api, int w, int h, int k, int divisor, bool wide, uint32_t seed) {
  std::mt19937 rng(seed);
  // h + k - 1 source rows scattered in memory, each against a guard page;
  // every third case starts all of them on a page (cache-line kernels).
  std::vector<std::unique_ptr<GuardedImage<S>>> rows;
  std::vector<const S*> ptrs;
  for (int i = 0; i < h + k - 1; ++i) {
    rows.push_back(std::make_unique<GuardedImage<S>>(w, 1, C, 0, seed % 3 == 0 || i % 2 ? Flush::Begin : Flush::End));
    for (int x = 0; x < w * C; ++x) rows.back()->row(0)[x] = random_value<S>(rng, wide);
    ptrs.push_back(rows.back()->data());
  }
  const std::vector<tap_t<S>> K = random_kernel<S>(rng, k, wide);
  GuardedImage<D> dst(w, h, C, int(sizeof(D)) * int(seed % 3), seed % 2 ? Flush::End : Flush::Begin);
  const auto buf = buffer_for(api.query, {w, h}, k);
  EXPECT_EQ(api.run(ptrs.data(), dst.data(), dst.step(), {w, h}, K.data(), k, divisor, buf->base()), StatusOk);
  EXPECT_TRUE(dst.padding_intact());
  std::vector<D> want;
  std::vector<S> window(static_cast<size_t>(k));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w * C; ++x) {
      for (int j = 0; j < k; ++j) window[size_t(j)] = ptrs[size_t(y + j)][x];
      want.push_back(expected<S, D, kLow, false>(window, K, divisor));
    }
  const std::vector<D> got = dst.pixels();
  const long i = first_difference(want, got);
  EXPECT_EQ(i, -1) << api.name << " w " << w << " h " << h << " k " << k << " divisor " << divisor << ": got "
                   << double(got[size_t(i)]) << " want " << double(want[size_t(i)]);
  return got;
}

template <class S, class D, int C, bool kLow>
void column_suite(const ColApi<S, D>& api) {
  SCOPED_TRACE(api.name);
  std::mt19937 rng(777 + C);
  for (int w : {1, 2, 3, 17, 69, 513})
    for (int k : {1, 2, 3, 4, 5, 7, 9, 11, 31})
      for (int rep = 0; rep < 3; ++rep) {
        const int h = 1 + int(rng() % 4), divisor = std::is_same_v<S, float> ? 1 : random_divisor<S>(rng);
        const bool wide = rep == 1 && rng() % 2;
        const uint32_t seed = rng();
        const std::vector<D> vec = run_column<S, D, C, kLow>(api, w, h, k, divisor, wide, seed);
        if (::testing::Test::HasFailure()) return;
        ReferenceKernels useRef;
        ASSERT_EQ(first_difference(vec, run_column<S, D, C, kLow>(api, w, h, k, divisor, wide, seed)), -1);
      }
  // Above the threading threshold (and, for 32f, streamed to the destination).
  const int w = 700, h = 420, k = 7;
  GuardedImage<S> src(w, h + k - 1, C);
  src.fill([&](int, int, int) { return random_value<S>(rng, false); });
  std::vector<const S*> ptrs;
  for (int i = 0; i < h + k - 1; ++i) ptrs.push_back(src.row(i));
  const std::vector<tap_t<S>> K = random_kernel<S>(rng, k, false);
  expect_thread_invariant([&] {
    const auto buf = buffer_for(api.query, {w, h}, k);
    std::vector<D> dst(size_t(w) * h * C);
    EXPECT_EQ(api.run(ptrs.data(), dst.data(), int(sizeof(D)) * w * C, {w, h}, K.data(), k, 5, buf->base()), StatusOk);
    return dst;
  });
}

TEST(ColumnPipeline, MatchesDirectCorrelation) {
#define X(name, query, S, D, C, low) column_suite<S, D, C, low>({#name, name, query});
  ZUV_COLUMN_PIPELINE_TABLE(X)
#undef X
#define X(name, query, S, D, C, low)                                                                         \
  column_suite<S, D, C, low>({#name,                                                                         \
                              [](const S* const* s, D* d, int ds, ImageSize r, const tap_t<S>* k, int ks, int, \
                                 uint8_t* buf) { return name(s, d, ds, r, k, ks, buf); },                    \
                              query});
  ZUV_COLUMN_PIPELINE_32F_TABLE(X)
#undef X
}

// One-tap row pass of a single row: out = round(x * tap / divisor).
std::vector<int16_t> one_tap_16s(std::vector<int16_t> x, int16_t tap, int divisor, bool low) {
  const int w = int(x.size());
  std::vector<int16_t> out(x.size(), 0x5555);
  int16_t* rows[1] = {out.data()};
  std::vector<uint8_t> buf(1 << 16);
  const auto f = low ? zuviFilterRowBorderPipeline_Low_16s_C1R : zuviFilterRowBorderPipeline_16s_C1R;
  EXPECT_EQ(f(x.data(), 2 * w, rows, {w, 1}, &tap, 1, 0, BorderRepl, 0, divisor, buf.data()), StatusOk);
  return out;
}

TEST(Pipeline, RoundingSaturationAndContractEdges) {
  ThreadCount single(1);  // the fixed buffers below are sized for one thread
  // x / 2: 2.5 -> 2, 3.5 -> 4, -2.5 -> -2, -3.5 -> -4, 1.5 -> 2, 4.5 -> 4, in the tail and in a full vector.
  for (int w : {6, 40}) {
    std::vector<int16_t> x = {5, 7, -5, -7, 3, 9};
    x.resize(size_t(w), 9);
    const std::vector<int16_t> r = one_tap_16s(x, 1, 2, false);
    EXPECT_EQ(std::vector<int16_t>(r.begin(), r.begin() + 6), (std::vector<int16_t>{2, 4, -2, -4, 2, 4}));
  }
  // 20000 * 2 saturates to 32767, -40000 to -32768.
  EXPECT_EQ(one_tap_16s({20000, -20000, 100}, 2, 1, false), (std::vector<int16_t>{32767, -32768, 200}));
  // Low: (s * trunc(16384 / 3)) >> 14 with s = 3x: 9 * 5461 >> 14 = 2 (not 3), floor for
  // negatives, and the sum 90000 wraps to 24464 first.
  EXPECT_EQ(one_tap_16s({3, -3, 30000}, 3, 3, true), (std::vector<int16_t>{2, -3, 8154}));
  // 16s8u and 16s8s saturation; 13.5 -> 14 and -13.5 -> -14.
  std::vector<uint8_t> buf(1 << 16);
  const int16_t a[4] = {300, -300, 27, -27}, one = 1;
  const int16_t* rows[1] = {a};
  uint8_t u[4];
  int8_t s[4];
  ASSERT_EQ(zuviFilterColumnPipeline_16s8u_C1R(rows, u, 4, {4, 1}, &one, 1, 1, buf.data()), StatusOk);
  EXPECT_EQ(std::vector<int>(u, u + 4), (std::vector<int>{255, 0, 27, 0}));
  ASSERT_EQ(zuviFilterColumnPipeline_16s8s_C1R(rows, s, 4, {4, 1}, &one, 1, 2, buf.data()), StatusOk);
  EXPECT_EQ(std::vector<int>(s, s + 4), (std::vector<int>{127, -128, 14, -14}));
  // 16u: negative results saturate to 0 (the column divisor may be negative); 7.5 -> 8.
  const uint16_t b[2] = {10, 65535}, three = 3;
  const uint16_t* urows[1] = {b};
  uint16_t d[2];
  ASSERT_EQ(zuviFilterColumnPipeline_16u_C1R(urows, d, 4, {2, 1}, &three, 1, -1, buf.data()), StatusOk);
  EXPECT_EQ(d[0], 0);
  ASSERT_EQ(zuviFilterColumnPipeline_16u_C1R(urows, d, 4, {2, 1}, &three, 1, 4, buf.data()), StatusOk);
  EXPECT_EQ(std::vector<int>(d, d + 2), (std::vector<int>{8, 49151}));  // 49151.25
  // Anchor k - 1: the last output uses only pixels inside the row.
  const int16_t x[4] = {1, 2, 3, 4}, K[3] = {1, 10, 100};
  int16_t out[4];
  int16_t* orow[1] = {out};
  ASSERT_EQ(zuviFilterRowBorderPipeline_16s_C1R(x, 8, orow, {4, 1}, K, 3, 2, BorderConst, 1000, 1, buf.data()), StatusOk);
  EXPECT_EQ(out[3], 2 + 30 + 400);
  EXPECT_EQ(out[0], 1000 + 10000 + 100);
  // Taps equal but for the sign of zero keep their own products: (-0 + -0) + +0 = +0.
  const std::vector<float> fones(200, 1.f);
  std::vector<float> fout(200, -1.f);
  float* frow[1] = {fout.data()};
  const float zeros[3] = {-0.f, -0.f, 0.f};
  ASSERT_EQ(zuviFilterRowBorderPipeline_32f_C1R(fones.data(), 800, frow, {200, 1}, zeros, 3, 1, BorderRepl,
                                                buf.data(), 0.f),
            StatusOk);
  for (float v : fout) ASSERT_TRUE(v == 0.f && !std::signbit(v));
  // Height 1 and k = 5 read exactly five rows: the rows end at guard pages and
  // a sixth pointer would be null.
  std::vector<std::unique_ptr<GuardedImage<int16_t>>> imgs;
  std::vector<const int16_t*> ptrs;
  for (int i = 0; i < 5; ++i) {
    imgs.push_back(std::make_unique<GuardedImage<int16_t>>(33, 1));
    imgs.back()->fill([i](int xx, int, int) { return xx + i; });
    ptrs.push_back(imgs.back()->data());
  }
  ptrs.push_back(nullptr);
  const int16_t ones[5] = {1, 1, 1, 1, 1};
  GuardedImage<uint8_t> dst(33, 1);
  ASSERT_EQ(zuviFilterColumnPipeline_16s8u_C1R(ptrs.data(), dst.data(), dst.step(), {33, 1}, ones, 5, 5, buf.data()), StatusOk);
  for (int i = 0; i < 33; ++i) EXPECT_EQ(dst.at(i, 0), i + 2);
}

TEST(Pipeline, RowChecksInOrder) {
  ThreadCount single(1);  // the fixed buffers below are sized for one thread
  GuardedImage<int16_t> src(64, 1), dst(16, 2);  // two rows at step 32 and what lies right of them
  GuardedImage<uint16_t> u16(16, 1);
  GuardedImage<float> f(16, 1);
  int16_t* rows[2] = {dst.row(0), dst.row(1)};
  int16_t* nullRow[2] = {dst.row(0), nullptr};
  uint16_t* urows[1] = {u16.data()};
  float* frows[1] = {f.data()};
  const int16_t K[3] = {1, 2, 1};
  const uint16_t uk = 1;
  const float fk = 1.f;
  uint8_t buf[4096];
  const int16_t* s = src.data();
  auto run = [&](const int16_t* sp, int step, int16_t* const* r, ImageSize roi, const int16_t* k, int ks, int a, int b,
                 int div, uint8_t* bp) { return zuviFilterRowBorderPipeline_16s_C1R(sp, step, r, roi, k, ks, a, b, 0, div, bp); };
  auto run8 = [&](int b, int div) {  // step 17
    return zuviFilterRowBorderPipeline_8u16s_C1R(reinterpret_cast<const uint8_t*>(s), 17, rows, {16, 2}, K, 3, 1, b, 0, div, buf);
  };
  expect_refusals(
      {{"null source beats zero width", [&] { return run(nullptr, 32, rows, {0, 2}, K, 3, 0, 1, 1, buf); }, StatusNullPointer},
       {"null rows", [&] { return run(s, 32, nullptr, {16, 2}, K, 3, 0, 1, 1, buf); }, StatusNullPointer},
       {"null kernel", [&] { return run(s, 32, rows, {16, 2}, nullptr, 3, 0, 1, 1, buf); }, StatusNullPointer},
       {"null buffer", [&] { return run(s, 32, rows, {16, 2}, K, 3, 0, 1, 1, nullptr); }, StatusNullPointer},
       {"width before row pointers", [&] { return run(s, 32, nullRow, {0, 2}, K, 3, 0, 1, 1, buf); }, StatusSize},
       {"height 0", [&] { return run(s, 32, rows, {16, 0}, K, 3, 0, 1, 1, buf); }, StatusSize},
       {"null row pointer beats k 0", [&] { return run(s, 32, nullRow, {16, 2}, K, 0, 0, 1, 1, buf); }, StatusNullPointer},
       {"k 0 beats anchor", [&] { return run(s, 32, rows, {16, 2}, K, 0, 5, 1, 1, buf); }, StatusSize},
       {"anchor k", [&] { return run(s, 32, rows, {16, 2}, K, 3, 3, 1, 1, buf); }, StatusAnchor},
       {"anchor -1 beats step", [&] { return run(s, 1, rows, {16, 2}, K, 3, -1, 1, 1, buf); }, StatusAnchor},
       {"step below row", [&] { return run(s, 31, rows, {16, 2}, K, 3, 0, 1, 1, buf); }, StatusStep},
       {"odd step beats divisor", [&] { return run(s, 33, rows, {16, 2}, K, 3, 0, 1, 0, buf); }, StatusNotEvenStep},
       {"divisor 0 beats border", [&] { return run(s, 32, rows, {16, 2}, K, 3, 0, 2, 0, buf); }, StatusBadArgument},
       {"border 2", [&] { return run(s, 32, rows, {16, 2}, K, 3, 0, 2, 1, buf); }, StatusBorder},
       {"border 4", [&] { return run(s, 32, rows, {16, 2}, K, 3, 0, 4, 1, buf); }, StatusBorder},
       {"border 0x102", [&] { return run(s, 32, rows, {16, 2}, K, 3, 0, 0x102, 1, buf); }, StatusBorder},
       {"C3 step against 3 * width", [&] { return zuviFilterRowBorderPipeline_16s_C3R(s, 94, rows, {16, 1}, K, 3, 0, 1, 0, 1, buf); }, StatusStep},
       {"8u divisor 0", [&] { return run8(1, 0); }, StatusBadArgument},
       {"16u divisor -1", [&] { return zuviFilterRowBorderPipeline_16u_C1R(u16.data(), 32, urows, {16, 1}, &uk, 1, 0, 1, 0, -1, buf); }, StatusBadArgument},
       {"32f step multiple", [&] { return zuviFilterRowBorderPipeline_32f_C1R(f.data(), 66, frows, {16, 1}, &fk, 1, 0, 1, buf, 0.f); }, StatusNotEvenStep},
       {"32f step", [&] { return zuviFilterRowBorderPipeline_32f_C1R(f.data(), 62, frows, {16, 1}, &fk, 1, 0, 1, buf, 0.f); }, StatusStep}},
      dst, u16, f);
  EXPECT_EQ(run(s, 32, nullRow, {16, 1}, K, 3, 0, 1, 1, buf), StatusOk);  // only h row pointers are checked
  EXPECT_EQ(run(s, 32, rows, {16, 2}, K, 3, 0, 1, -3, buf), StatusOk);    // a negative divisor is fine
  EXPECT_EQ(run(s, 32, rows, {16, 2}, K, 3, 0, 0xF3, 1, buf), StatusOk);
  EXPECT_EQ(run(s, 32, rows, {1, 1}, K, 3, 0, 0x46, 1, buf), StatusOk);
  EXPECT_EQ(run8(1, 1), StatusOk);  // 8u sources have no step multiple
}

TEST(Pipeline, ColumnChecksInOrder) {
  ThreadCount single(1);  // the fixed buffers below are sized for one thread
  GuardedImage<int16_t> src(32, 6), dst(32, 2);
  GuardedImage<uint8_t> d8(17, 2);
  GuardedImage<int8_t> s8(17, 2);
  GuardedImage<float> fsrc(16, 6), fdst(16, 2);
  std::vector<const int16_t*> rows, holed;
  std::vector<const float*> frows;
  for (int i = 0; i < 6; ++i) {
    rows.push_back(src.row(i));
    holed.push_back(i == 3 ? nullptr : src.row(i));
    frows.push_back(fsrc.row(i));
  }
  const int16_t K[3] = {1, 2, 1};
  const float fk[3] = {1, 1, 1};
  uint8_t buf[8192];
  auto run = [&](const int16_t* const* sp, int16_t* d, int step, ImageSize roi, const int16_t* k, int ks, int div,
                 uint8_t* bp) { return zuviFilterColumnPipeline_16s_C1R(sp, d, step, roi, k, ks, div, bp); };
  int16_t* d = dst.data();
  expect_refusals(
      {{"null rows", [&] { return run(nullptr, d, 64, {16, 2}, K, 3, 1, buf); }, StatusNullPointer},
       {"null dst beats zero height", [&] { return run(rows.data(), nullptr, 64, {16, 0}, K, 3, 1, buf); }, StatusNullPointer},
       {"null kernel", [&] { return run(rows.data(), d, 64, {16, 2}, nullptr, 3, 1, buf); }, StatusNullPointer},
       {"zero width", [&] { return run(rows.data(), d, 64, {0, 2}, K, 3, 1, buf); }, StatusSize},
       {"null among h + k - 1 rows", [&] { return run(holed.data(), d, 64, {16, 2}, K, 3, 1, buf); }, StatusNullPointer},
       {"null row beats k 0", [&] { return run(holed.data(), d, 64, {16, 5}, K, 0, 1, buf); }, StatusNullPointer},
       {"k 0 beats step", [&] { return run(rows.data(), d, 2, {16, 2}, K, 0, 1, buf); }, StatusSize},
       {"step", [&] { return run(rows.data(), d, 31, {16, 2}, K, 3, 1, buf); }, StatusStep},
       {"odd step beats null buffer", [&] { return run(rows.data(), d, 65, {16, 2}, K, 3, 1, nullptr); }, StatusNotEvenStep},
       {"null buffer beats divisor", [&] { return run(rows.data(), d, 64, {16, 2}, K, 3, 0, nullptr); }, StatusNullPointer},
       {"divisor 0", [&] { return run(rows.data(), d, 64, {16, 2}, K, 3, 0, buf); }, StatusBadArgument},
       {"8s C3 step", [&] { return zuviFilterColumnPipeline_16s8s_C3R(rows.data(), s8.data(), 47, {16, 2}, K, 3, 1, buf); }, StatusStep},
       {"32f step", [&] { return zuviFilterColumnPipeline_32f_C1R(frows.data(), fdst.data(), 62, {16, 2}, fk, 3, buf); }, StatusStep},
       {"32f step multiple", [&] { return zuviFilterColumnPipeline_32f_C1R(frows.data(), fdst.data(), 66, {16, 2}, fk, 3, buf); }, StatusNotEvenStep},
       {"32f null buffer", [&] { return zuviFilterColumnPipeline_32f_C1R(frows.data(), fdst.data(), 64, {16, 2}, fk, 3, nullptr); }, StatusNullPointer}},
      dst, s8, fdst);
  EXPECT_EQ(run(holed.data(), d, 64, {16, 1}, K, 3, 1, buf), StatusOk);  // a null row beyond h + k - 1
  // 8u destinations have no step multiple.
  EXPECT_EQ(zuviFilterColumnPipeline_16s8u_C1R(rows.data(), d8.data(), 17, {16, 2}, K, 3, 1, buf), StatusOk);
}

// Buffer sizes for w 37, h 5, k 7 with one and two threads, and for 1 x 1, k 1
// with three (the 16s8u and 16s8s column queries share the 16s formula).
TEST(Pipeline, BufferSizes) {
  const struct {
    QueryFn q;
    int want[3];
  } rows[] = {
      {zuviFilterRowBorderPipelineGetBufferSize_8u16s_C1R, {432, 864, 348}},
      {zuviFilterRowBorderPipelineGetBufferSize_8u16s_C3R, {660, 1320, 660}},
      {zuviFilterRowBorderPipelineGetBufferSize_16s_C1R, {544, 1088, 528}},
      {zuviFilterRowBorderPipelineGetBufferSize_16s_C3R, {472, 944, 456}},
      {zuviFilterRowBorderPipelineGetBufferSize_Low_16s_C1R, {360, 720, 408}},
      {zuviFilterRowBorderPipelineGetBufferSize_Low_16s_C3R, {1648, 3296, 960}},
      {zuviFilterRowBorderPipelineGetBufferSize_32f_C1R, {880, 1760, 672}},
      {zuviFilterRowBorderPipelineGetBufferSize_32f_C3R, {2208, 4416, 1200}},
      {zuviFilterRowBorderPipelineGetBufferSize_16u_C1R, {544, 544, 160}},
      {zuviFilterRowBorderPipelineGetBufferSize_16u_C3R, {992, 992, 224}},
      {zuviFilterColumnPipelineGetBufferSize_16s_C1R, {640, 1280, 384}},
      {zuviFilterColumnPipelineGetBufferSize_16s_C3R, {1600, 3200, 672}},
      {zuviFilterColumnPipelineGetBufferSize_Low_16s_C1R, {640, 1280, 528}},
      {zuviFilterColumnPipelineGetBufferSize_Low_16s_C3R, {1600, 3200, 1104}},
      {zuviFilterColumnPipelineGetBufferSize_32f_C1R, {256, 256, 64}},
      {zuviFilterColumnPipelineGetBufferSize_32f_C3R, {256, 256, 64}},
      {zuviFilterColumnPipelineGetBufferSize_16u_C1R, {608, 608, 128}},
      {zuviFilterColumnPipelineGetBufferSize_16u_C3R, {1184, 1184, 128}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(&r - rows);
    int size = 0;
    for (int t : {1, 2, 3}) {
      ThreadCount tc(t);
      ASSERT_EQ(t < 3 ? r.q({37, 5}, 7, &size) : r.q({1, 1}, 1, &size), StatusOk);
      EXPECT_EQ(size, r.want[t - 1]) << "threads " << t;
    }
    size = 99;
    EXPECT_EQ(r.q({37, 5}, 0, &size), StatusSize);
    EXPECT_EQ(r.q({0, 5}, 3, &size), StatusSize);
    EXPECT_EQ(r.q({37, 0}, 3, &size), StatusSize);
    EXPECT_EQ(r.q({0, 0}, 0, nullptr), StatusNullPointer);
    EXPECT_EQ(size, 99);
  }
}

// The internal passes without threading need only a one-thread buffer, even
// when more threads are permitted, and give the exports' bytes.
TEST(Pipeline, InternalPassesWithOneThreadBuffer) {
  ThreadCount eight(8);
  const int w = 300, h = 200, k = 7;  // above the threshold for 1 thread
  std::mt19937 rng(9);
  GuardedImage<uint8_t> src(w, h, 3);
  src.fill_random(rng);
  const std::vector<int16_t> K = {1, -2, 3, 10, 3, -2, 1};
  std::vector<int16_t> a(size_t(w) * 3 * h), b(a.size());
  std::vector<int16_t*> ra, rb;
  for (int y = 0; y < h; ++y) ra.push_back(a.data() + size_t(y) * w * 3), rb.push_back(b.data() + size_t(y) * w * 3);
  ASSERT_EQ(zuviFilterRowBorderPipeline_8u16s_C3R(src.data(), src.step(), ra.data(), {w, h}, K.data(), k, 3, BorderMirror,
                                                  0, 3, buffer_for(zuviFilterRowBorderPipelineGetBufferSize_8u16s_C3R, {w, h}, k)->base()),
            StatusOk);
  GuardedBytes rowOne(size_t(zuv::pipeline::row_buffer_size<uint8_t, int16_t, 3>({w, h}, k, 1)), Flush::End);
  zuv::pipeline::row_pass<uint8_t, int16_t, 3>(src.data(), src.step(), rb.data(), {w, h}, K.data(), k, 3, BorderMirror, 0, 3,
                                               rowOne.base(), false);
  EXPECT_TRUE(a == b);
  // Column pass over the rows just made (the last rows repeated as the border).
  std::vector<const int16_t*> rows(rb.begin(), rb.end());
  rows.insert(rows.end(), k - 1, rb.back());
  std::vector<uint8_t> ca(size_t(w) * 3 * h), cb(ca.size());
  ASSERT_EQ(zuviFilterColumnPipeline_16s8u_C3R(rows.data(), ca.data(), w * 3, {w, h}, K.data(), k, 16,
                                               buffer_for(zuviFilterColumnPipelineGetBufferSize_16s8u_C3R, {w, h}, k)->base()),
            StatusOk);
  GuardedBytes colOne(size_t(zuv::pipeline::column_buffer_size<int16_t, uint8_t, 3>({w, h}, k, 1)), Flush::End);
  zuv::pipeline::column_pass<int16_t, uint8_t, 3>(rows.data(), cb.data(), w * 3, {w, h}, K.data(), k, 16, colOne.base(), false);
  EXPECT_TRUE(ca == cb);
}

// A buffer queried outside the application's OpenMP regions holds for calls
// inside them, also when OpenMP gives nested levels other thread counts (run
// by CTest with OMP_NUM_THREADS=2,8 as well). The buffer ends on a guard page.
TEST(Pipeline, BufferQueriedOutsideHoldsInsideCallerRegions) {
  const int w = 300, h = 240, k = 5;
  GuardedImage<uint8_t> src(w, h);
  std::mt19937 rng(5);
  src.fill_random(rng);
  const std::vector<int16_t> K = {1, 4, 6, 4, 1};
  int bytes = 0;
  ASSERT_EQ(zuviFilterRowBorderPipelineGetBufferSize_8u16s_C1R({w, h}, k, &bytes), StatusOk);
  std::vector<int16_t> serial(size_t(w) * h);
  std::vector<int16_t*> rows;
  for (int y = 0; y < h; ++y) rows.push_back(serial.data() + size_t(y) * w);
  GuardedBytes buf(size_t(bytes), Flush::End);
  ASSERT_EQ(zuviFilterRowBorderPipeline_8u16s_C1R(src.data(), src.step(), rows.data(), {w, h}, K.data(), k, 2,
                                                  BorderRepl, 0, 1, buf.base()), StatusOk);
  std::vector<int16_t> inner[2] = {std::vector<int16_t>(serial.size()), std::vector<int16_t>(serial.size())};
  Status st[2] = {StatusError, StatusError};
#pragma omp parallel num_threads(2)
  {
    const int t = omp_get_thread_num();
    GuardedBytes mine(size_t(bytes), Flush::End);
    std::vector<int16_t*> r;
    for (int y = 0; y < h; ++y) r.push_back(inner[t].data() + size_t(y) * w);
    st[t] = zuviFilterRowBorderPipeline_8u16s_C1R(src.data(), src.step(), r.data(), {w, h}, K.data(), k, 2, BorderRepl,
                                                  0, 1, mine.base());
  }
  for (int t = 0; t < 2; ++t) {
    EXPECT_EQ(st[t], StatusOk);
    EXPECT_TRUE(inner[t] == serial) << t;
  }
}

}  // namespace
