// SPDX-License-Identifier: BSD-3-Clause
// Row and column pipelines: exact agreement with a direct correlation over kernels,
// anchors, divisors, widths and border modes; rounding and saturation; check
// order; buffer sizes; guard pages; independence of the thread count.
#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <type_traits>
#include <vector>

#include "filter/pipeline.h"
#include "support/guarded_image.h"
#include "support/status.h"

namespace {

using zuv::pipeline::tap_t;
using zuv::test::expect_refused;
using zuv::test::Flush;
using zuv::test::GuardedBytes;
using zuv::test::GuardedImage;
using zuv::test::ReferenceKernels;
using zuv::test::ThreadCount;

// Uniform signatures: the 32f exports take no divisor (and their float border
// value last); these adapters give every variant the integer form.
template <class S, class D>
using RowFn = Status (*)(const S*, int, D* const*, ImageSize, const tap_t<S>*, int, int, int, S,
                         int, uint8_t*);
template <class S, class D>
using ColFn = Status (*)(const S* const*, D*, int, ImageSize, const tap_t<S>*, int, int, uint8_t*);
using QueryFn = Status (*)(ImageSize, int, int*);

template <class S, class D>
struct RowApi {
  const char* name;
  RowFn<S, D> run;
  QueryFn query;
};
template <class S, class D>
struct ColApi {
  const char* name;
  ColFn<S, D> run;
  QueryFn query;
};

#define ROW_API(name, query, S, D, C, low) RowApi<S, D>{#name, name, query}
#define ROW_API_32F(name, query, S, D, C, low)                                                   \
  RowApi<S, D>{#name,                                                                           \
               [](const S* s, int ss, D* const* d, ImageSize r, const tap_t<S>* k, int ks,      \
                  int a, int b, S v, int, uint8_t* buf) {                                       \
                 return name(s, ss, d, r, k, ks, a, b, buf, v);                                 \
               },                                                                               \
               query}
#define COL_API(name, query, S, D, C, low) ColApi<S, D>{#name, name, query}
#define COL_API_32F(name, query, S, D, C, low)                                                   \
  ColApi<S, D>{#name,                                                                           \
               [](const S* const* s, D* d, int ds, ImageSize r, const tap_t<S>* k, int ks, int, \
                  uint8_t* buf) { return name(s, d, ds, r, k, ks, buf); },                      \
               query}

// ---------------------------------------------------------------------------
// The meaning, written independently of the library.

enum class Kind { Float, Scaled16u, UInt, Int, Low };

// 16u rows sum exactly in unsigned 32 bits; 16u columns sum float taps in floats.
template <class S, bool kLow, bool kRow>
constexpr Kind kind_of() {
  if constexpr (std::is_same_v<S, float>) return Kind::Float;
  else if constexpr (std::is_same_v<S, uint16_t>) return kRow ? Kind::UInt : Kind::Scaled16u;
  else if constexpr (kLow) return Kind::Low;
  else return Kind::Int;
}

// Round half to even of a float already within [lo, hi], without the rounding mode.
double round_even(float v) {
  const double f = std::floor(double(v));
  const double d = double(v) - f;
  if (d > 0.5) return f + 1;
  if (d < 0.5) return f;
  return std::fmod(f, 2.0) == 0 ? f : f + 1;
}

template <class D>
D saturate_round(float v) {
  const double lo = double(std::numeric_limits<D>::lowest()), hi = double(std::numeric_limits<D>::max());
  double r = v >= hi ? hi : (v <= lo ? lo : round_even(v));
  if (r > hi) r = hi;
  return D(r);
}

// One output from its window x[0..k-1].
template <class S, class D, bool kLow, bool kRow>
D expected(const std::vector<S>& x, const std::vector<tap_t<S>>& K, int divisor) {
  constexpr Kind kind = kind_of<S, kLow, kRow>();
  const int k = int(K.size());
  if constexpr (kind == Kind::Float || kind == Kind::Scaled16u) {
    float acc = float(K[0]) * float(x[0]);
    for (int j = 1; j < k; ++j) acc = acc + float(K[j]) * float(x[j]);
    if constexpr (kind == Kind::Float) return acc;
    else return saturate_round<D>(acc * (1.0f / float(divisor)));
  } else {
    int64_t sum = 0;
    for (int j = 0; j < k; ++j) sum += int64_t(K[j]) * int64_t(x[j]);
    if constexpr (kind == Kind::UInt) {
      return saturate_round<D>(float(uint32_t(uint64_t(sum))) * (1.0f / float(divisor)));
    } else if constexpr (kind == Kind::Int) {
      const int32_t wrapped = int32_t(uint32_t(uint64_t(sum)));
      return saturate_round<D>(float(wrapped) * (1.0f / float(divisor)));
    } else {
      const int16_t s = int16_t(uint16_t(uint64_t(sum)));
      const int64_t q = int64_t(std::trunc(16384.0f / float(divisor)));
      int64_t r = int64_t(s) * q;
      r = r >= 0 ? r / 16384 : -((-r + 16383) / 16384);  // floor division
      return D(r < -32768 ? -32768 : (r > 32767 ? 32767 : r));
    }
  }
}

// Source column read for output column p of a row of width w (p may lie
// outside the row), or "in memory" when that side is read from memory.
int border_column(int p, int w, int mode) {
  if (p >= 0 && p < w) return p;
  if (mode == BorderRepl || w == 1) return p < 0 ? 0 : w - 1;
  // Mirror: bounce between the two edge pixels.
  int pos = 0, dir = p < 0 ? -1 : 1;
  for (int s = 0; s != p; s += (p < 0 ? -1 : 1)) {
    if (pos + dir < 0 || pos + dir >= w) dir = -dir;
    pos += dir;
  }
  return pos;
}

// ---------------------------------------------------------------------------
// Random inputs.

template <class T>
T random_small(std::mt19937& rng, int spread) {
  if constexpr (std::is_floating_point_v<T>) {
    return std::uniform_real_distribution<float>(-float(spread), float(spread))(rng);
  } else {
    const int lo = std::is_signed_v<T> ? -spread : 0;
    int v = std::uniform_int_distribution<int>(lo, spread)(rng);
    v = std::max<int>(v, int(std::numeric_limits<T>::min()));
    v = std::min<int>(v, int(std::numeric_limits<T>::max()));
    return T(v);
  }
}

template <class T>
T random_value(std::mt19937& rng, bool wide) {
  if (wide) return GuardedImage<T>::template random_value<T>(rng);
  return random_small<T>(rng, 300);
}

template <class S>
int random_divisor(std::mt19937& rng) {
  static const int kPositive[] = {1, 2, 3, 4, 7, 10, 16, 255, 1000, 32768, 100000};
  int d = kPositive[rng() % (sizeof(kPositive) / sizeof(kPositive[0]))];
  if (!std::is_same_v<S, uint16_t> && rng() % 4 == 0) d = -d;
  return d;
}

// A buffer of exactly the reported size, ending at a guard page (so its start
// has whatever alignment the size gives it and the pass must align inside it).
struct Buffer {
  explicit Buffer(QueryFn query, ImageSize roi, int k) {
    int size = -1;
    EXPECT_EQ(query(roi, k, &size), StatusOk);
    bytes = std::make_unique<GuardedBytes>(size_t(size), Flush::End);
    std::memset(bytes->base(), 0x3C, size_t(size));
  }
  uint8_t* data() { return bytes->base(); }
  std::unique_ptr<GuardedBytes> bytes;
};

// ---------------------------------------------------------------------------
// Row pass against the definition.

template <class S, class D, int C, bool kLow>
struct RowCase {
  int w, h, k, anchor, border, divisor;
  bool wide;
  Flush flush;
};

// Runs one row case; returns the destination pixels (row-major) for
// comparisons, and checks them against the definition.
template <class S, class D, int C, bool kLow>
std::vector<D> run_row(const RowApi<S, D>& api, const RowCase<S, D, C, kLow>& rc, uint32_t seed) {
  std::mt19937 rng(seed);
  const int mode = (rc.border & ~0xF0) == BorderInMem ? BorderInMem : rc.border & 0x0F;
  const bool inLeft = mode == BorderInMem || (rc.border & BorderInMemLeft);
  const bool inRight = mode == BorderInMem || (rc.border & BorderInMemRight);
  const int margin = (inLeft || inRight) ? rc.k : 0;
  GuardedImage<S> src(rc.w, rc.h, C, (seed % 3) * int(sizeof(S)), rc.flush, margin);
  for (int y = 0; y < rc.h; ++y)
    for (int x = -margin; x < rc.w + margin; ++x)
      for (int c = 0; c < C; ++c) src.at(x, y, c) = random_value<S>(rng, rc.wide);
  std::vector<tap_t<S>> K(static_cast<size_t>(rc.k));
  for (auto& t : K) t = rc.wide ? random_value<tap_t<S>>(rng, true) : random_small<tap_t<S>>(rng, 9);
  // Every other case mirrors the kernel: symmetric kernels take their own path.
  if (seed % 2)
    for (int j = 0; j < rc.k / 2; ++j) K[size_t(rc.k - 1 - j)] = K[size_t(j)];
  const S value = random_value<S>(rng, rc.wide);

  // Scattered destination rows, each ending at a guard page.
  std::vector<std::unique_ptr<GuardedImage<D>>> rows;
  std::vector<D*> ptrs;
  for (int y = 0; y < rc.h; ++y) {
    rows.push_back(std::make_unique<GuardedImage<D>>(rc.w, 1, C, 0, y % 2 ? Flush::Begin : Flush::End));
    ptrs.push_back(rows.back()->data());
  }
  Buffer buf(api.query, {rc.w, rc.h}, rc.k);
  const Status st = api.run(src.data(), src.step(), ptrs.data(), {rc.w, rc.h}, K.data(), rc.k,
                            rc.anchor, rc.border, value, rc.divisor, buf.data());
  EXPECT_EQ(st, StatusOk);

  std::vector<D> got;
  std::vector<S> window(static_cast<size_t>(rc.k));
  const int genMode = (mode == BorderInMem) ? BorderConst : mode;
  for (int y = 0; y < rc.h; ++y)
    for (int x = 0; x < rc.w; ++x)
      for (int c = 0; c < C; ++c) {
        for (int j = 0; j < rc.k; ++j) {
          const int p = x - rc.anchor + j;
          if ((p < 0 && inLeft) || (p >= rc.w && inRight) || (p >= 0 && p < rc.w))
            window[size_t(j)] = src.at(p, y, c);
          else if (genMode == BorderConst)
            window[size_t(j)] = value;
          else
            window[size_t(j)] = src.at(border_column(p, rc.w, genMode), y, c);
        }
        const D want = expected<S, D, kLow, true>(window, K, rc.divisor);
        const D have = rows[size_t(y)]->at(x, 0, c);
        got.push_back(have);
        if (std::memcmp(&want, &have, sizeof(D)) != 0) {
          ADD_FAILURE() << api.name << " w " << rc.w << " h " << rc.h << " k " << rc.k << " anchor "
                        << rc.anchor << " border " << rc.border << " divisor " << rc.divisor
                        << " at x " << x << " y " << y << " c " << c << ": got " << double(have)
                        << " want " << double(want);
          return got;
        }
      }
  return got;
}

template <class S, class D, int C, bool kLow>
void row_matches_definition(const RowApi<S, D>& api) {
  SCOPED_TRACE(api.name);
  std::mt19937 rng(12345 + C);
  const int widths[] = {1, 2, 3, 17, 69, 513};
  const int borders[] = {BorderConst, BorderRepl, BorderMirror, BorderInMem,
                         BorderConst | BorderInMemLeft, BorderRepl | BorderInMemRight,
                         BorderMirror | BorderInMemLeft, BorderMirror | BorderInMemTop | BorderInMemBottom,
                         BorderInMem | BorderInMemLeft};
  for (int w : widths)
    for (int border : borders)
      for (int k : {1, 2, 3, 4, 5, 6, 7, 9, 11, 31}) {
        if (w > 69 && k != 3 && k != 5 && k != 9 && k != 11) continue;
        RowCase<S, D, C, kLow> rc{w, 1 + int(rng() % 3), k, int(rng() % uint32_t(k)), border,
                                  std::is_same_v<S, float> ? 1 : random_divisor<S>(rng),
                                  rng() % 4 == 0, rng() % 2 ? Flush::End : Flush::Begin};
        const uint32_t seed = rng();
        const std::vector<D> vec = run_row(api, rc, seed);
        if (::testing::Test::HasFailure()) return;
        ReferenceKernels use_ref;
        const std::vector<D> ref = run_row(api, rc, seed);
        if (::testing::Test::HasFailure()) return;
        ASSERT_EQ(std::memcmp(vec.data(), ref.data(), vec.size() * sizeof(D)), 0);
      }
}

TEST(RowPipeline, MatchesDirectCorrelation) {
#define X(name, query, S, D, C, low) row_matches_definition<S, D, C, low>(ROW_API(name, query, S, D, C, low));
  ZUV_ROW_PIPELINE_TABLE(X)
#undef X
#define X(name, query, S, D, C, low) row_matches_definition<S, D, C, low>(ROW_API_32F(name, query, S, D, C, low));
  ZUV_ROW_PIPELINE_32F_TABLE(X)
#undef X
}

// ---------------------------------------------------------------------------
// Column pass against the definition.

template <class S, class D, int C, bool kLow>
std::vector<D> run_column(const ColApi<S, D>& api, int w, int h, int k, int divisor, bool wide,
                          uint32_t seed) {
  std::mt19937 rng(seed);
  // h + k - 1 source rows scattered in memory, each against a guard page;
  // every third case starts all of them on a page (cache-line kernels).
  std::vector<std::unique_ptr<GuardedImage<S>>> rows;
  std::vector<const S*> ptrs;
  const bool aligned = seed % 3 == 0;
  for (int i = 0; i < h + k - 1; ++i) {
    rows.push_back(std::make_unique<GuardedImage<S>>(w, 1, C, 0, aligned || i % 2 ? Flush::Begin : Flush::End));
    for (int x = 0; x < w * C; ++x) rows.back()->row(0)[x] = random_value<S>(rng, wide);
    ptrs.push_back(rows.back()->data());
  }
  std::vector<tap_t<S>> K(static_cast<size_t>(k));
  for (auto& t : K) t = wide ? random_value<tap_t<S>>(rng, true) : random_small<tap_t<S>>(rng, 9);
  GuardedImage<D> dst(w, h, C, int(sizeof(D)) * int(seed % 3), seed % 2 ? Flush::End : Flush::Begin);
  Buffer buf(api.query, {w, h}, k);
  EXPECT_EQ(api.run(ptrs.data(), dst.data(), dst.step(), {w, h}, K.data(), k, divisor, buf.data()),
            StatusOk);
  EXPECT_TRUE(dst.padding_intact());
  std::vector<S> window(static_cast<size_t>(k));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w * C; ++x) {
      for (int j = 0; j < k; ++j) window[size_t(j)] = ptrs[size_t(y + j)][x];
      const D want = expected<S, D, kLow, false>(window, K, divisor);
      const D have = dst.row(y)[x];
      if (std::memcmp(&want, &have, sizeof(D)) != 0) {
        ADD_FAILURE() << api.name << " w " << w << " h " << h << " k " << k << " divisor " << divisor
                      << " at element " << x << " row " << y << ": got " << double(have) << " want "
                      << double(want);
        break;
      }
    }
  return dst.pixels();
}

template <class S, class D, int C, bool kLow>
void column_matches_definition(const ColApi<S, D>& api) {
  SCOPED_TRACE(api.name);
  std::mt19937 rng(777 + C);
  for (int w : {1, 2, 3, 17, 69, 513})
    for (int k : {1, 2, 3, 4, 5, 7, 9, 11, 31})
      for (int rep = 0; rep < 3; ++rep) {
        const int h = 1 + int(rng() % 4);
        const int divisor = std::is_same_v<S, float> ? 1 : random_divisor<S>(rng);
        const bool wide = rep == 1 && rng() % 2;
        const uint32_t seed = rng();
        const std::vector<D> vec = run_column<S, D, C, kLow>(api, w, h, k, divisor, wide, seed);
        if (::testing::Test::HasFailure()) return;
        ReferenceKernels use_ref;
        const std::vector<D> ref = run_column<S, D, C, kLow>(api, w, h, k, divisor, wide, seed);
        if (::testing::Test::HasFailure()) return;
        ASSERT_EQ(std::memcmp(vec.data(), ref.data(), vec.size() * sizeof(D)), 0);
      }
}

TEST(ColumnPipeline, MatchesDirectCorrelation) {
#define X(name, query, S, D, C, low) column_matches_definition<S, D, C, low>(COL_API(name, query, S, D, C, low));
  ZUV_COLUMN_PIPELINE_TABLE(X)
#undef X
#define X(name, query, S, D, C, low) column_matches_definition<S, D, C, low>(COL_API_32F(name, query, S, D, C, low));
  ZUV_COLUMN_PIPELINE_32F_TABLE(X)
#undef X
}

// ---------------------------------------------------------------------------
// Rounding, saturation and the contract's edge cases.

// One-tap row pass of a single row: out = round(x * tap / divisor).
std::vector<int16_t> one_tap_16s(const std::vector<int16_t>& x, int16_t tap, int divisor, bool low) {
  const int w = int(x.size());
  std::vector<int16_t> out(x.size(), 0x5555);
  int16_t* rows[1] = {out.data()};
  int size = 0;
  if (low) {
    zuviFilterRowBorderPipelineGetBufferSize_Low_16s_C1R({w, 1}, 1, &size);
  } else {
    zuviFilterRowBorderPipelineGetBufferSize_16s_C1R({w, 1}, 1, &size);
  }
  std::vector<uint8_t> buf(static_cast<size_t>(size));
  const Status st = low ? zuviFilterRowBorderPipeline_Low_16s_C1R(x.data(), 2 * w, rows, {w, 1}, &tap, 1, 0,
                                                                  BorderRepl, 0, divisor, buf.data())
                        : zuviFilterRowBorderPipeline_16s_C1R(x.data(), 2 * w, rows, {w, 1}, &tap, 1, 0,
                                                              BorderRepl, 0, divisor, buf.data());
  EXPECT_EQ(st, StatusOk);
  return out;
}

TEST(Pipeline, RoundsTiesToEvenAndSaturates) {
  ThreadCount single(1);  // the fixed buffers below are sized for one thread
  // x / 2 for x = 5, 7, -5, -7, 3: 2.5 -> 2, 3.5 -> 4, -2.5 -> -2, -3.5 -> -4, 1.5 -> 2.
  for (int w : {5, 40}) {
    std::vector<int16_t> x = {5, 7, -5, -7, 3};
    x.resize(size_t(w), 9);
    const std::vector<int16_t> r = one_tap_16s(x, 1, 2, false);
    EXPECT_EQ(r[0], 2);
    EXPECT_EQ(r[1], 4);
    EXPECT_EQ(r[2], -2);
    EXPECT_EQ(r[3], -4);
    EXPECT_EQ(r[4], 2);
    if (w > 5) {
      EXPECT_EQ(r[5], 4);  // 4.5 -> 4
    }
  }
  // 20000 * 2 = 40000 saturates to 32767; -40000 to -32768.
  {
    const std::vector<int16_t> r = one_tap_16s({20000, -20000, 100}, 2, 1, false);
    EXPECT_EQ(r[0], 32767);
    EXPECT_EQ(r[1], -32768);
    EXPECT_EQ(r[2], 200);
  }
  // Low: (s * trunc(16384 / 3)) >> 14 with s = 3 * x: 5461 * 9 >> 14 = 2 (not 3).
  {
    const std::vector<int16_t> r = one_tap_16s({3, -3, 30000}, 3, 3, true);
    EXPECT_EQ(r[0], (9 * 5461) >> 14);
    EXPECT_EQ(r[1], -3);  // floor(-9 * 5461 / 16384)
    EXPECT_EQ(r[2], int16_t(((int32_t(int16_t(uint16_t(90000))) * 5461)) >> 14));  // wrapped sum
  }
  // 16s8u and 16s8s saturation; 13.5 -> 14 and -13.5 -> -14.
  {
    const int16_t a[4] = {300, -300, 27, -27};
    const int16_t* rows[1] = {a};
    const int16_t tap = 1;
    uint8_t u[4];
    int8_t s[4];
    std::vector<uint8_t> buf(4096);
    ASSERT_EQ(zuviFilterColumnPipeline_16s8u_C1R(rows, u, 4, {4, 1}, &tap, 1, 1, buf.data()), StatusOk);
    EXPECT_EQ(std::vector<int>(u, u + 4), (std::vector<int>{255, 0, 27, 0}));
    ASSERT_EQ(zuviFilterColumnPipeline_16s8s_C1R(rows, s, 4, {4, 1}, &tap, 1, 2, buf.data()), StatusOk);
    EXPECT_EQ(std::vector<int>(s, s + 4), (std::vector<int>{127, -128, 14, -14}));
  }
  // 16u: negative results saturate to 0 (column divisor may be negative).
  {
    const uint16_t a[2] = {10, 65535};
    const uint16_t* rows[1] = {a};
    const uint16_t tap = 3;
    uint16_t d[2];
    std::vector<uint8_t> buf(4096);
    ASSERT_EQ(zuviFilterColumnPipeline_16u_C1R(rows, d, 4, {2, 1}, &tap, 1, -1, buf.data()), StatusOk);
    EXPECT_EQ(d[0], 0);
    ASSERT_EQ(zuviFilterColumnPipeline_16u_C1R(rows, d, 4, {2, 1}, &tap, 1, 4, buf.data()), StatusOk);
    EXPECT_EQ(d[0], 8);  // 7.5 -> 8
    EXPECT_EQ(d[1], 49151);  // 49151.25
  }
}

TEST(Pipeline, ContractEdgeCases) {
  ThreadCount single(1);  // the fixed buffers below are sized for one thread
  std::vector<uint8_t> buf(1 << 16);
  // One tap of 1 copies the source under every border mode.
  for (int border : {0, 1, 3, 6, 0x46, 0xF1}) {
    GuardedImage<float> src(7, 2, 1, 0, Flush::End, 1);
    src.fill([](int x, int y, int) { return x * 10 + y; });
    std::vector<float> r0(7), r1(7);
    float* rows[2] = {r0.data(), r1.data()};
    const float one = 1.f;
    ASSERT_EQ(zuviFilterRowBorderPipeline_32f_C1R(src.data(), src.step(), rows, {7, 2}, &one, 1, 0, border,
                                                  buf.data(), -1.f),
              StatusOk);
    for (int x = 0; x < 7; ++x) {
      EXPECT_EQ(r0[size_t(x)], float(x * 10));
      EXPECT_EQ(r1[size_t(x)], float(x * 10 + 1));
    }
  }
  // Anchor k - 1: the last output uses only pixels inside the row.
  {
    const int16_t x[4] = {1, 2, 3, 4};
    const int16_t K[3] = {1, 10, 100};
    int16_t out[4];
    int16_t* rows[1] = {out};
    ASSERT_EQ(zuviFilterRowBorderPipeline_16s_C1R(x, 8, rows, {4, 1}, K, 3, 2, BorderConst, 1000, 1, buf.data()),
              StatusOk);
    EXPECT_EQ(out[3], 2 + 30 + 400);
    EXPECT_EQ(out[0], 1000 + 10000 + 100);
  }
  // A one-pixel row with mirror acts as replicate.
  {
    const uint8_t x = 9;
    const int16_t K[5] = {1, 2, 3, 4, 5};
    int16_t out = 0;
    int16_t* rows[1] = {&out};
    ASSERT_EQ(zuviFilterRowBorderPipeline_8u16s_C1R(&x, 1, rows, {1, 1}, K, 5, 2, BorderMirror, 0, 1, buf.data()),
              StatusOk);
    EXPECT_EQ(out, 9 * 15);
  }
  // Border 0x46 is accepted; modes 2, 4, 5 (and 7) are refused.
  {
    const float x[3] = {1, 2, 3};
    float out[3] = {};
    float* rows[1] = {out};
    const float one = 1.f;
    EXPECT_EQ(zuviFilterRowBorderPipeline_32f_C1R(x, 12, rows, {1, 1}, &one, 1, 0, 0x46, buf.data(), 0.f), StatusOk);
    for (int bad : {2, 4, 5, 7, 0x102})
      expect_refused(StatusBorder, [&] {
        return zuviFilterRowBorderPipeline_32f_C1R(x, 12, rows, {3, 1}, &one, 1, 0, bad, buf.data(), 0.f);
      }, {});
  }
  // Height 1 and k = 5 read exactly five rows: the rows end at guard pages and
  // a sixth pointer would be null.
  {
    std::vector<std::unique_ptr<GuardedImage<int16_t>>> imgs;
    std::vector<const int16_t*> ptrs;
    for (int i = 0; i < 5; ++i) {
      imgs.push_back(std::make_unique<GuardedImage<int16_t>>(33, 1));
      imgs.back()->fill([i](int x, int, int) { return x + i; });
      ptrs.push_back(imgs.back()->data());
    }
    ptrs.push_back(nullptr);
    const int16_t K[5] = {1, 1, 1, 1, 1};
    GuardedImage<uint8_t> dst(33, 1);
    ASSERT_EQ(zuviFilterColumnPipeline_16s8u_C1R(ptrs.data(), dst.data(), dst.step(), {33, 1}, K, 5, 5, buf.data()),
              StatusOk);
    for (int x = 0; x < 33; ++x) EXPECT_EQ(dst.at(x, 0), x + 2);
  }
}

// ---------------------------------------------------------------------------
// Checks in order.

TEST(Pipeline, RowChecksInOrder) {
  ThreadCount single(1);  // the fixed buffers below are sized for one thread
  int16_t src[64] = {};
  int16_t d0[32], d1[32];
  int16_t* rows[2] = {d0, d1};
  int16_t* nullRow[2] = {d0, nullptr};
  const int16_t K[3] = {1, 2, 1};
  uint8_t buf[4096];
  auto run = [&](const int16_t* s, int step, int16_t* const* r, ImageSize roi, const int16_t* k, int ks,
                 int a, int b, int div, uint8_t* bp) {
    return zuviFilterRowBorderPipeline_16s_C1R(s, step, r, roi, k, ks, a, b, 0, div, bp);
  };
  struct Case {
    const char* what;
    Status got, want;
  } cases[] = {
      {"null source beats zero width", run(nullptr, 32, rows, {0, 2}, K, 3, 0, 1, 1, buf), StatusNullPointer},
      {"null rows", run(src, 32, nullptr, {16, 2}, K, 3, 0, 1, 1, buf), StatusNullPointer},
      {"null kernel", run(src, 32, rows, {16, 2}, nullptr, 3, 0, 1, 1, buf), StatusNullPointer},
      {"null buffer", run(src, 32, rows, {16, 2}, K, 3, 0, 1, 1, nullptr), StatusNullPointer},
      {"width before row pointers", run(src, 32, nullRow, {0, 2}, K, 3, 0, 1, 1, buf), StatusSize},
      {"height 0", run(src, 32, rows, {16, 0}, K, 3, 0, 1, 1, buf), StatusSize},
      {"null row pointer beats k 0", run(src, 32, nullRow, {16, 2}, K, 0, 0, 1, 1, buf), StatusNullPointer},
      {"only h row pointers checked", run(src, 32, nullRow, {16, 1}, K, 3, 0, 1, 1, buf), StatusOk},
      {"k 0 beats anchor", run(src, 32, rows, {16, 2}, K, 0, 5, 1, 1, buf), StatusSize},
      {"anchor k", run(src, 32, rows, {16, 2}, K, 3, 3, 1, 1, buf), StatusAnchor},
      {"anchor -1 beats step", run(src, 1, rows, {16, 2}, K, 3, -1, 1, 1, buf), StatusAnchor},
      {"step below row", run(src, 31, rows, {16, 2}, K, 3, 0, 1, 1, buf), StatusStep},
      {"odd step", run(src, 33, rows, {16, 2}, K, 3, 0, 1, 1, buf), StatusNotEvenStep},
      {"odd step beats divisor", run(src, 33, rows, {16, 2}, K, 3, 0, 1, 0, buf), StatusNotEvenStep},
      {"divisor 0 beats border", run(src, 32, rows, {16, 2}, K, 3, 0, 2, 0, buf), StatusBadArgument},
      {"negative divisor is fine", run(src, 32, rows, {16, 2}, K, 3, 0, 1, -3, buf), StatusOk},
      {"border 5", run(src, 32, rows, {16, 2}, K, 3, 0, 5, 1, buf), StatusBorder},
      {"border 0xF3", run(src, 32, rows, {16, 2}, K, 3, 0, 0xF3, 1, buf), StatusOk},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.what;

  // 16u: divisor below 1; 8u: no step multiple; 32f: step multiple of 4.
  uint16_t u16[32] = {};
  uint16_t du[32];
  uint16_t* urows[1] = {du};
  const uint16_t uk = 1;
  EXPECT_EQ(zuviFilterRowBorderPipeline_16u_C1R(u16, 32, urows, {16, 1}, &uk, 1, 0, 1, 0, -1, buf), StatusBadArgument);
  EXPECT_EQ(zuviFilterRowBorderPipeline_16u_C1R(u16, 32, urows, {16, 1}, &uk, 1, 0, 1, 0, 0, buf), StatusBadArgument);
  uint8_t u8[40] = {};
  int16_t* r8[1] = {d0};
  EXPECT_EQ(zuviFilterRowBorderPipeline_8u16s_C1R(u8, 17, r8, {16, 1}, K, 3, 1, 1, 0, 1, buf), StatusOk);
  float f[40] = {};
  float fd[16];
  float* fr[1] = {fd};
  const float fk = 1.f;
  EXPECT_EQ(zuviFilterRowBorderPipeline_32f_C1R(f, 66, fr, {16, 1}, &fk, 1, 0, 1, buf, 0.f), StatusNotEvenStep);
  EXPECT_EQ(zuviFilterRowBorderPipeline_32f_C1R(f, 62, fr, {16, 1}, &fk, 1, 0, 1, buf, 0.f), StatusStep);
  // C3 compares the step with 3 * width elements.
  EXPECT_EQ(zuviFilterRowBorderPipeline_16s_C3R(src, 94, rows, {16, 1}, K, 3, 0, 1, 0, 1, buf), StatusStep);
}

TEST(Pipeline, ColumnChecksInOrder) {
  ThreadCount single(1);  // the fixed buffers below are sized for one thread
  int16_t r[6][32] = {};
  const int16_t* rows[6] = {r[0], r[1], r[2], r[3], r[4], r[5]};
  const int16_t* holed[6] = {r[0], r[1], r[2], nullptr, r[4], r[5]};
  const int16_t K[3] = {1, 2, 1};
  int16_t dst[4][32];
  uint8_t buf[8192];
  auto run = [&](const int16_t* const* s, int16_t* d, int step, ImageSize roi, const int16_t* k, int ks,
                 int div, uint8_t* bp) { return zuviFilterColumnPipeline_16s_C1R(s, d, step, roi, k, ks, div, bp); };
  struct Case {
    const char* what;
    Status got, want;
  } cases[] = {
      {"null rows", run(nullptr, dst[0], 64, {16, 2}, K, 3, 1, buf), StatusNullPointer},
      {"null dst beats zero height", run(rows, nullptr, 64, {16, 0}, K, 3, 1, buf), StatusNullPointer},
      {"null kernel", run(rows, dst[0], 64, {16, 2}, nullptr, 3, 1, buf), StatusNullPointer},
      {"zero width", run(rows, dst[0], 64, {0, 2}, K, 3, 1, buf), StatusSize},
      {"null among h + k - 1 rows", run(holed, dst[0], 64, {16, 2}, K, 3, 1, buf), StatusNullPointer},
      {"null row beyond h + k - 1", run(holed, dst[0], 64, {16, 1}, K, 3, 1, buf), StatusOk},
      {"null row beats k 0", run(holed, dst[0], 64, {16, 5}, K, 0, 1, buf), StatusNullPointer},
      {"k 0 beats step", run(rows, dst[0], 2, {16, 2}, K, 0, 1, buf), StatusSize},
      {"step", run(rows, dst[0], 31, {16, 2}, K, 3, 1, buf), StatusStep},
      {"odd step beats null buffer", run(rows, dst[0], 65, {16, 2}, K, 3, 1, nullptr), StatusNotEvenStep},
      {"null buffer beats divisor", run(rows, dst[0], 64, {16, 2}, K, 3, 0, nullptr), StatusNullPointer},
      {"divisor 0", run(rows, dst[0], 64, {16, 2}, K, 3, 0, buf), StatusBadArgument},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
  // 8u and 8s destinations have no step multiple; 32f has no divisor.
  uint8_t d8[4][17];
  EXPECT_EQ(zuviFilterColumnPipeline_16s8u_C1R(rows, d8[0], 17, {16, 2}, K, 3, 1, buf), StatusOk);
  int8_t s8[4][17];
  EXPECT_EQ(zuviFilterColumnPipeline_16s8s_C3R(rows, s8[0], 47, {16, 2}, K, 3, 1, buf), StatusStep);
  float f[6][16] = {};
  const float* frows[6] = {f[0], f[1], f[2], f[3], f[4], f[5]};
  const float fk[3] = {1, 1, 1};
  float fd[2][16];
  EXPECT_EQ(zuviFilterColumnPipeline_32f_C1R(frows, fd[0], 62, {16, 2}, fk, 3, buf), StatusStep);
  EXPECT_EQ(zuviFilterColumnPipeline_32f_C1R(frows, fd[0], 66, {16, 2}, fk, 3, buf), StatusNotEvenStep);
  EXPECT_EQ(zuviFilterColumnPipeline_32f_C1R(frows, fd[0], 64, {16, 2}, fk, 3, nullptr), StatusNullPointer);
}

// Refused calls leave the destination untouched.
TEST(Pipeline, RefusedCallsWriteNothing) {
  ThreadCount single(1);  // the fixed buffers below are sized for one thread
  GuardedImage<uint8_t> src(20, 2);
  GuardedImage<int16_t> d0(20, 1), d1(20, 1);
  int16_t* rows[2] = {d0.data(), d1.data()};
  const int16_t K[3] = {1, 2, 1};
  std::vector<uint8_t> buf(8192);
  expect_refused(StatusBorder, [&] {
    return zuviFilterRowBorderPipeline_8u16s_C1R(src.data(), src.step(), rows, {20, 2}, K, 3, 1, 4, 0, 1, buf.data());
  }, {d0, d1});
  expect_refused(StatusBadArgument, [&] {
    return zuviFilterRowBorderPipeline_8u16s_C1R(src.data(), src.step(), rows, {20, 2}, K, 3, 1, 1, 0, 0, buf.data());
  }, {d0, d1});
}

// ---------------------------------------------------------------------------
// Buffer sizes: values of the documented formulas for w 37, h 5, k 7 with one
// and two threads, and for 1 x 1, k 1 with three.

TEST(Pipeline, BufferSizes) {
  struct Row {
    QueryFn q;
    int one, two, three;
  } rows[] = {
      {zuviFilterRowBorderPipelineGetBufferSize_8u16s_C1R, 432, 864, 348},
      {zuviFilterRowBorderPipelineGetBufferSize_8u16s_C3R, 660, 1320, 660},
      {zuviFilterRowBorderPipelineGetBufferSize_16s_C1R, 544, 1088, 528},
      {zuviFilterRowBorderPipelineGetBufferSize_16s_C3R, 472, 944, 456},
      {zuviFilterRowBorderPipelineGetBufferSize_Low_16s_C1R, 360, 720, 408},
      {zuviFilterRowBorderPipelineGetBufferSize_Low_16s_C3R, 1648, 3296, 960},
      {zuviFilterRowBorderPipelineGetBufferSize_32f_C1R, 880, 1760, 672},
      {zuviFilterRowBorderPipelineGetBufferSize_32f_C3R, 2208, 4416, 1200},
      {zuviFilterRowBorderPipelineGetBufferSize_16u_C1R, 544, 544, 160},
      {zuviFilterRowBorderPipelineGetBufferSize_16u_C3R, 992, 992, 224},
      {zuviFilterColumnPipelineGetBufferSize_16s_C1R, 640, 1280, 384},
      {zuviFilterColumnPipelineGetBufferSize_16s8u_C1R, 640, 1280, 384},
      {zuviFilterColumnPipelineGetBufferSize_16s8s_C1R, 640, 1280, 384},
      {zuviFilterColumnPipelineGetBufferSize_16s_C3R, 1600, 3200, 672},
      {zuviFilterColumnPipelineGetBufferSize_16s8u_C3R, 1600, 3200, 672},
      {zuviFilterColumnPipelineGetBufferSize_16s8s_C3R, 1600, 3200, 672},
      {zuviFilterColumnPipelineGetBufferSize_Low_16s_C1R, 640, 1280, 528},
      {zuviFilterColumnPipelineGetBufferSize_Low_16s_C3R, 1600, 3200, 1104},
      {zuviFilterColumnPipelineGetBufferSize_32f_C1R, 256, 256, 64},
      {zuviFilterColumnPipelineGetBufferSize_32f_C3R, 256, 256, 64},
      {zuviFilterColumnPipelineGetBufferSize_16u_C1R, 608, 608, 128},
      {zuviFilterColumnPipelineGetBufferSize_16u_C3R, 1184, 1184, 128},
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
    SCOPED_TRACE(i);
    int size = 0;
    {
      ThreadCount one(1);
      ASSERT_EQ(rows[i].q({37, 5}, 7, &size), StatusOk);
      EXPECT_EQ(size, rows[i].one);
    }
    {
      ThreadCount two(2);
      ASSERT_EQ(rows[i].q({37, 5}, 7, &size), StatusOk);
      EXPECT_EQ(size, rows[i].two);
    }
    {
      ThreadCount three(3);
      ASSERT_EQ(rows[i].q({1, 1}, 1, &size), StatusOk);
      EXPECT_EQ(size, rows[i].three);
    }
    size = 99;
    EXPECT_EQ(rows[i].q({37, 5}, 0, &size), StatusSize);
    EXPECT_EQ(rows[i].q({0, 5}, 3, &size), StatusSize);
    EXPECT_EQ(rows[i].q({37, 0}, 3, &size), StatusSize);
    EXPECT_EQ(rows[i].q({0, 0}, 0, nullptr), StatusNullPointer);
    EXPECT_EQ(size, 99);
  }
}

// ---------------------------------------------------------------------------
// Threads: the same bytes for 1, 2 and 8 permitted threads, above the threshold.

template <class S, class D, int C, bool kLow>
void row_threads(const RowApi<S, D>& api) {
  SCOPED_TRACE(api.name);
  const int w = 700, h = 420, k = 5;  // 294000 pixels: threaded up to 8 threads
  std::mt19937 rng(3);
  GuardedImage<S> src(w, h, C);
  src.fill_random(rng);
  std::vector<tap_t<S>> K = {tap_t<S>(1), tap_t<S>(3), tap_t<S>(5), tap_t<S>(3), tap_t<S>(1)};
  std::vector<std::vector<D>> results;
  for (int threads : {1, 2, 8}) {
    ThreadCount tc(threads);
    Buffer buf(api.query, {w, h}, k);
    // Rows in reverse order in memory.
    std::vector<D> dense(size_t(w) * h * C);
    std::vector<D*> drows;
    for (int y = 0; y < h; ++y) drows.push_back(dense.data() + size_t(h - 1 - y) * w * C);
    ASSERT_EQ(api.run(src.data(), src.step(), drows.data(), {w, h}, K.data(), k, 2, BorderMirror,
                      S(7), 3, buf.data()),
              StatusOk);
    results.push_back(dense);
  }
  EXPECT_TRUE(results[0] == results[1]);
  EXPECT_TRUE(results[0] == results[2]);
}

template <class S, class D, int C, bool kLow>
void column_threads(const ColApi<S, D>& api) {
  SCOPED_TRACE(api.name);
  const int w = 700, h = 420, k = 7;
  std::mt19937 rng(4);
  std::vector<std::vector<S>> data(size_t(h + k - 1), std::vector<S>(size_t(w) * C));
  for (auto& r : data)
    for (auto& v : r) v = random_value<S>(rng, false);
  std::vector<const S*> ptrs;
  for (auto& r : data) ptrs.push_back(r.data());
  std::vector<tap_t<S>> K(static_cast<size_t>(k));
  for (auto& t : K) t = random_small<tap_t<S>>(rng, 9);
  std::vector<std::vector<D>> results;
  for (int threads : {1, 2, 8}) {
    ThreadCount tc(threads);
    Buffer buf(api.query, {w, h}, k);
    std::vector<D> dst(size_t(w) * h * C);
    ASSERT_EQ(api.run(ptrs.data(), dst.data(), int(sizeof(D)) * w * C, {w, h}, K.data(), k, 5, buf.data()),
              StatusOk);
    results.push_back(dst);
  }
  EXPECT_TRUE(results[0] == results[1]);
  EXPECT_TRUE(results[0] == results[2]);
}

TEST(Pipeline, SameResultForAnyThreadCount) {
#define X(name, query, S, D, C, low) row_threads<S, D, C, low>(ROW_API(name, query, S, D, C, low));
  ZUV_ROW_PIPELINE_TABLE(X)
#undef X
#define X(name, query, S, D, C, low) row_threads<S, D, C, low>(ROW_API_32F(name, query, S, D, C, low));
  ZUV_ROW_PIPELINE_32F_TABLE(X)
#undef X
#define X(name, query, S, D, C, low) column_threads<S, D, C, low>(COL_API(name, query, S, D, C, low));
  ZUV_COLUMN_PIPELINE_TABLE(X)
#undef X
#define X(name, query, S, D, C, low) column_threads<S, D, C, low>(COL_API_32F(name, query, S, D, C, low));
  ZUV_COLUMN_PIPELINE_32F_TABLE(X)
#undef X
}

}  // namespace

namespace {

// The internal passes without threading need only a one-thread buffer, even
// when more threads are permitted, and give the exports' bytes.
TEST(Pipeline, InternalPassesWithOneThreadBuffer) {
  ThreadCount eight(8);
  const int w = 300, h = 200, k = 7;  // above the threshold for 1 thread
  std::mt19937 rng(9);
  GuardedImage<uint8_t> src(w, h, 3);
  src.fill_random(rng);
  std::vector<int16_t> K = {1, -2, 3, 10, 3, -2, 1};
  std::vector<int16_t> a(size_t(w) * 3 * h), b(a.size());
  std::vector<int16_t*> ra, rb;
  for (int y = 0; y < h; ++y) {
    ra.push_back(a.data() + size_t(y) * w * 3);
    rb.push_back(b.data() + size_t(y) * w * 3);
  }
  Buffer big(zuviFilterRowBorderPipelineGetBufferSize_8u16s_C3R, {w, h}, k);
  ASSERT_EQ(zuviFilterRowBorderPipeline_8u16s_C3R(src.data(), src.step(), ra.data(), {w, h}, K.data(), k, 3,
                                                  BorderMirror, 0, 3, big.data()),
            StatusOk);
  const int32_t one = zuv::pipeline::row_buffer_size<uint8_t, int16_t, 3>({w, h}, k, 1);
  GuardedBytes small(static_cast<size_t>(one), Flush::End);
  zuv::pipeline::row_pass<uint8_t, int16_t, 3>(src.data(), src.step(), rb.data(), {w, h}, K.data(), k, 3,
                                               BorderMirror, 0, 3, small.base(), false);
  EXPECT_TRUE(a == b);

  // Column pass over the rows just made (the last rows repeated as the border).
  std::vector<const int16_t*> rows(rb.begin(), rb.end());
  for (int i = 0; i < k - 1; ++i) rows.push_back(rb.back());
  std::vector<uint8_t> ca(size_t(w) * 3 * h), cb(ca.size());
  Buffer cbig(zuviFilterColumnPipelineGetBufferSize_16s8u_C3R, {w, h}, k);
  ASSERT_EQ(zuviFilterColumnPipeline_16s8u_C3R(rows.data(), ca.data(), w * 3, {w, h}, K.data(), k, 16, cbig.data()),
            StatusOk);
  const int32_t cone = zuv::pipeline::column_buffer_size<int16_t, uint8_t, 3>({w, h}, k, 1);
  GuardedBytes csmall(static_cast<size_t>(cone), Flush::End);
  zuv::pipeline::column_pass<int16_t, uint8_t, 3>(rows.data(), cb.data(), w * 3, {w, h}, K.data(), k, 16,
                                                  csmall.base(), false);
  EXPECT_TRUE(ca == cb);
}

}  // namespace
