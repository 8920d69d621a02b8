// SPDX-License-Identifier: BSD-3-Clause
// Gaussian filter: taps, state block, exact two-pass reference under every border
// rule, the 8u one-unit bound, check order, sizes, threads and in-place calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <tuple>
#include <vector>

#include "filter/gaussian.h"
#include "filter/mask_reference.h"

namespace {

using namespace zuv::test;
using zuv::gaussian::Header;

// A state block and work buffer of exactly the queried sizes, guarded at their ends.
struct Prepared {
  Prepared(ImageSize roi, int k, int type, int ch, int border, float sigma) {
    int specBytes = 0, bufBytes = 0;
    EXPECT_EQ(zuviFilterGaussianGetBufferSize(roi, k, type, ch, &specBytes, &bufBytes), StatusOk);
    spec = std::make_unique<GuardedBytes>(size_t(specBytes), Flush::End);
    buf = std::make_unique<GuardedBytes>(size_t(bufBytes), Flush::End);
    status = zuviFilterGaussianInit(roi, k, border, type, ch, state(), buf->base(), sigma);
  }
  GaussianSpec* state() const { return reinterpret_cast<GaussianSpec*>(spec->base()); }
  // The taps start at the first 16-byte boundary at or after byte 20: 16-bit
  // integers, or floats each repeated in 8 lanes; returned as R.
  template <class V, class R = V>
  std::vector<R> taps(int k) const {
    const uint8_t* p = reinterpret_cast<const uint8_t*>((reinterpret_cast<uintptr_t>(spec->base()) + 35) & ~uintptr_t(15));
    const int lanes = std::is_same_v<V, float> ? 8 : 1;
    std::vector<V> t(size_t(k) * lanes);
    std::memcpy(t.data(), p, t.size() * sizeof(V));
    for (size_t i = 0; i < t.size(); ++i) EXPECT_EQ(t[i], t[i / lanes * lanes]) << "replica of tap " << i / lanes;
    for (int i = 0; i < k; ++i) t[size_t(i)] = t[size_t(i) * lanes];
    return {t.begin(), t.begin() + k};
  }
  std::unique_ptr<GuardedBytes> spec, buf;
  Status status = StatusError;
};

// Calls an export whatever its border-value form.
template <class T, int C, class F>
Status call(F f, const GuardedImage<T>& s, GuardedImage<T>& d, const T* value, const Prepared& st) {
  if constexpr (C == 3) return f(s.data(), s.step(), d.data(), d.step(), s.size(), value, st.state(), st.buf->base());
  else if constexpr (std::is_same_v<T, float>)
    return f(s.data(), s.step(), d.data(), d.step(), s.size(), st.state(), st.buf->base(), value[0]);
  else return f(s.data(), s.step(), d.data(), d.step(), s.size(), value[0], st.state(), st.buf->base());
}

// One pass over k values v[j] with taps t[j]: an exact signed or unsigned
// (16u rows) 32-bit integer sum, or a float sum of float taps (16u columns),
// scaled by the float reciprocal of the divisor, rounded to nearest even and
// saturated; 32f plain float sums.
enum class Sum { Int, UInt, Float };

template <class D>
double pass(const std::vector<int>& t, const std::vector<float>& tf, const double* v, int div, Sum mode) {
  float acc = tf[0] * float(v[0]);
  int64_t iacc = 0;
  for (size_t j = 0; j < tf.size(); ++j) {
    if (j > 0 && (std::is_same_v<D, float> || mode == Sum::Float)) acc = acc + tf[j] * float(v[j]);
    if (!std::is_same_v<D, float>) iacc += (mode == Sum::UInt ? uint16_t(t[j]) : t[j]) * int64_t(v[j]);
  }
  if constexpr (std::is_same_v<D, float>) return acc;
  const float x = (mode == Sum::Float ? acc : mode == Sum::UInt ? float(uint32_t(iacc)) : float(int32_t(iacc))) *
                  (1.0f / float(div));
  const float lo = std::is_same_v<D, int16_t> ? -32768.f : 0.f;
  const float hi = std::is_same_v<D, int16_t> ? 32767.f : (std::is_same_v<D, uint8_t> ? 255.f : 65535.f);
  return std::nearbyint(std::clamp(x, lo, hi));
}

// The expected image: the row pass (8u: divisor 2^6 into 16s) over every
// bordered row, then the column pass (8u: 2^18; 16u and 16s: 2^15 each).
// 16u rows sum exactly in unsigned integers, 16u columns in floats.
template <class T, int C>
std::vector<double> two_pass(const GuardedImage<T>& img, const std::vector<int>& t,
                             const std::vector<float>& tf, int border, const T* value) {
  using I = std::conditional_t<std::is_same_v<T, uint8_t>, int16_t, T>;
  const int k = int(tf.size()), r = k / 2, w = img.width(), h = img.height();
  const Sides s = sides_of(border);
  const bool u8 = std::is_same_v<T, uint8_t>, u16 = std::is_same_v<T, uint16_t>;
  std::vector<double> rows(size_t(h + 2 * r) * w * C), out(size_t(h) * w * C), v(static_cast<size_t>(k));
  for (int y = -r; y < h + r; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < C; ++c) {
        for (int j = 0; j < k; ++j) v[size_t(j)] = extended(img, x - r + j, y, s, double(value[c]), c);
        rows[(size_t(y + r) * w + x) * C + c] = pass<I>(t, tf, v.data(), u8 ? 64 : 32768, u16 ? Sum::UInt : Sum::Int);
      }
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < C; ++c) {
        for (int j = 0; j < k; ++j) v[size_t(j)] = rows[(size_t(y + j) * w + x) * C + c];
        out[(size_t(y) * w + x) * C + c] = pass<T>(t, tf, v.data(), u8 ? 1 << 18 : 32768, u16 ? Sum::Float : Sum::Int);
      }
  return out;
}

// The 8u bound: within one unit of round(sum_i sum_j t_i t_j S / 2^24).
double exact_8u(const GuardedImage<uint8_t>& img, const std::vector<int>& t, int border,
                const uint8_t* value, int x, int y, int c) {
  const int k = int(t.size()), r = k / 2;
  const Sides s = sides_of(border);
  double sum = 0;
  for (int j = 0; j < k; ++j)
    for (int i = 0; i < k; ++i)
      sum += double(t[size_t(j)]) * t[size_t(i)] * extended(img, x - r + i, y - r + j, s, double(value[c]), c);
  return std::nearbyint(sum / 16777216.0);
}

// Sigma 0.3 + 0.35 k, or 0.01 where `impulse`: a unit impulse that copies the image.
template <class T, int C, class F>
void expect_matches_two_pass(F f, int type, const std::vector<ImageSize>& sizes, const std::vector<int>& ks,
                             const std::vector<int>& borders, bool impulse) {
  std::mt19937 rng(41);
  const T value[3] = {T(std::is_same_v<T, int16_t> ? -1200 : 200), T(17), T(99)};
  for (int k : ks)
    for (const ImageSize& sz : sizes)
      for (int border : borders) {
        const int margin = sides_of(border).any() ? k / 2 : 0;
        GuardedImage<T> src(sz.width, sz.height, C, 0, (sz.width + border) % 2 ? Flush::End : Flush::Begin, margin);
        fill_with_margin(src, margin, [&] { return GuardedImage<T>::template random_value<T>(rng); });
        GuardedImage<T> dst(sz.width, sz.height, C, 2 * int(sizeof(T)));
        Prepared st(sz, k, type, C, border, impulse ? 0.01f : 0.3f + 0.35f * float(k));
        ASSERT_EQ(st.status, StatusOk);
        SCOPED_TRACE(testing::Message() << "k " << k << " " << sz.width << "x" << sz.height << " border " << border);
        ASSERT_EQ((call<T, C>(f, src, dst, value, st)), StatusOk);
        ASSERT_TRUE(dst.padding_intact());
        // Integer taps also as floats of their unsigned bits (16u column sums).
        std::vector<int> t;
        std::vector<float> tf;
        if constexpr (std::is_same_v<T, float>) tf = st.taps<float>(k);
        else for (int x : t = st.taps<int16_t, int>(k)) tf.push_back(float(uint16_t(x)));
        const std::vector<double> want = two_pass<T, C>(src, t, tf, border, value);
        const std::vector<T> got = dst.pixels();
        if (impulse) {  // a copy, but 16s -32768 (the tap -32768 negates it twice, saturating once)
          const std::vector<T> in = src.pixels();
          for (size_t i = 0; i < got.size(); ++i) ASSERT_TRUE(got[i] == in[i] || double(in[i]) == -32768.0) << i;
        }
        for (size_t i = 0; i < got.size(); ++i) {
          ASSERT_EQ(double(got[i]), want[i]) << "element " << i;
          if constexpr (std::is_same_v<T, uint8_t>) {
            const int p = int(i) / C, c = int(i) % C;
            ASSERT_LE(std::abs(double(got[i]) - exact_8u(src, t, border, value, p % sz.width, p / sz.width, c)), 1.0);
          }
        }
      }
}

// Every border rule and size down to 1 x 1 at the default thread count; a
// large image; buffers sized for several threads with images large enough to
// be split (2 and 3 threads); kernels longer than the image; impulses.
TEST(Gaussian, MatchesTwoPassReference) {
  struct Run { int threads; std::vector<ImageSize> sizes; std::vector<int> ks, borders; bool impulse = false; };
  const std::vector<int> all = {0x00, 0x01, 0x03, 0x06, 0x10, 0x21, 0x43, 0x80, 0xF1, 0x53, 0xA0, 0x73, 0xB3};
  const std::vector<ImageSize> split = {{300, 230}, {400, 250}};
  for (const Run& r : {Run{0, {{1, 1}, {1, 7}, {7, 1}, {2, 2}, {4, 3}, {6, 9}, {37, 11}, {70, 4}}, {3, 5, 7}, all},
                       Run{0, {{513, 517}}, {11}, {0x03}}, Run{2, split, {5}, {0x00, 0x01, 0x06, 0x93}},
                       Run{3, split, {5}, {0x00, 0x01, 0x06, 0x93}}, Run{0, {{40, 30}, {9, 8}}, {13, 21}, {0x00, 0x01, 0x63}},
                       Run{0, {{33, 7}}, {3}, {0x00, 0x01, 0x03}, true}}) {
    ThreadCount tc(r.threads);
#define X(name, T, C, type) { SCOPED_TRACE(#name); expect_matches_two_pass<T, C>(name, type, r.sizes, r.ks, r.borders, r.impulse); }
    ZUV_GAUSSIAN_TABLE(X)
#undef X
  }
}

// Header fields and taps of a few states (a 16s impulse tap of 32768 keeps its
// bits), then the tap formula.
TEST(Gaussian, Taps) {
  const ImageSize roi{8, 8};
  struct Case { int type, ch, border; float sigma; std::vector<int> taps; int shift; };
  for (const Case& c : {Case{DataType8u, 1, BorderRepl, 0.01f, {0, 4096, 0}, 12},
                        Case{DataType8u, 3, 0x53, 1.f, {1123, 1851, 1123}, 12},
                        Case{DataType16u, 1, BorderConst, 1.f, {8981, 14807, 8981}, 15},
                        Case{DataType16s, 1, BorderConst, 0.01f, {0, -32768, 0}, 15},
                        Case{DataType32f, 3, BorderMirror, 1.f, {}, 0}}) {
    const Prepared p(roi, 3, c.type, c.ch, c.border, c.sigma);
    ASSERT_EQ(p.status, StatusOk);
    Header h;
    std::memcpy(&h, p.spec->base(), sizeof h);
    EXPECT_EQ((std::vector<int>{h.k, h.tapOffset, h.dataType, h.border, h.shift}),
              (std::vector<int>{3, 20, c.type, c.border, c.shift}));
    EXPECT_EQ((c.taps.empty() ? c.taps : p.taps<int16_t, int>(3)), c.taps);  // 32f taps: the formula below
  }
  // Single-precision quotient and sum, double exponential.
  const int k = 9;
  const float sigma = 1.7f, s2 = sigma * (sigma + sigma);
  float g[k], sum = 0.f;
  for (int i = 0; i < k; ++i) sum += g[i] = float(std::exp(double(-float((i - k / 2) * (i - k / 2)) / s2)));
  const std::vector<int> t8 = Prepared(roi, k, DataType8u, 1, BorderRepl, sigma).taps<int16_t, int>(k);
  const std::vector<float> t32 = Prepared(roi, k, DataType32f, 1, BorderRepl, sigma).taps<float>(k);
  for (int i = 0; i < k; ++i) {
    EXPECT_EQ(t8[size_t(i)], int(std::trunc(double(4096.0f * (g[i] / sum)) + 0.5))) << i;
    EXPECT_EQ(t32[size_t(i)], g[i] / sum) << i;
  }
}

// 8u constant images stay constant: the rounding of both passes absorbs taps
// that sum to one unit more or less than 4096.
TEST(Gaussian, ConstantsStayConstant) {
  GuardedImage<uint8_t> src(23, 9, 1, 0, Flush::End, 3), dst(23, 9);
  for (int c : {0, 1, 77, 128, 254, 255}) {
    fill_with_margin(src, 3, [c] { return c; });
    for (int k : {3, 5, 7})
      for (int border : {0, 1, 3, 6, 0x31, 0xC3}) {
        Prepared st(src.size(), k, DataType8u, 1, border, 0.8f * float(k));
        const uint8_t v = uint8_t(c);
        ASSERT_EQ((call<uint8_t, 1>(zuviFilterGaussianBorder_8u_C1R, src, dst, &v, st)), StatusOk);
        for (uint8_t p : dst.pixels()) ASSERT_EQ(p, c) << k << " " << border;
      }
  }
}

// The pipelines split wide blocks over threads; the bytes never change. One
// image as source and destination gives the out-of-place result, also where a
// separate destination would be split over threads.
TEST(Gaussian, ThreadCountAndInPlace) {
  std::mt19937 rng(8);
  GuardedImage<uint8_t> s8(7000, 23, 3);
  GuardedImage<float> s32(7000, 23);
  s8.fill_random(rng);
  s32.fill_random(rng);
  const uint8_t v8[3] = {1, 2, 3};
  const float v32[1] = {0.5f};
  for (int border : {0, 3}) {
    std::vector<uint8_t> serial8, serial32;
    for (int t : {1, 2, 3}) {
      ThreadCount tc(t);
      GuardedImage<uint8_t> d8(7000, 23, 3), i8(7000, 23, 3);
      GuardedImage<float> d32(7000, 23), i32(7000, 23);
      i8.copy_from(s8);
      i32.copy_from(s32);
      Prepared p8(s8.size(), 11, DataType8u, 3, border, 2.f), p32(s32.size(), 11, DataType32f, 1, border, 2.f);
      EXPECT_EQ((call<uint8_t, 3>(zuviFilterGaussianBorder_8u_C3R, s8, d8, v8, p8)), StatusOk);
      EXPECT_EQ((call<uint8_t, 3>(zuviFilterGaussianBorder_8u_C3R, i8, i8, v8, p8)), StatusOk);
      EXPECT_EQ((call<float, 1>(zuviFilterGaussianBorder_32f_C1R, s32, d32, v32, p32)), StatusOk);
      EXPECT_EQ((call<float, 1>(zuviFilterGaussianBorder_32f_C1R, i32, i32, v32, p32)), StatusOk);
      if (t == 1) serial8 = d8.bytes(), serial32 = d32.bytes();
      EXPECT_TRUE(d8.bytes() == serial8 && d32.bytes() == serial32) << t << " threads, border " << border;
      EXPECT_TRUE(i8.bytes() == serial8 && i32.bytes() == serial32) << "in place, " << t << " threads, border " << border;
    }
  }
}

TEST(Gaussian, BufferSizes) {
  using Query = Status (*)(ImageSize, int, int*);
  // Row and column pipeline queries by data type (8u, 16u, 16s, 32f) and channels.
  const Query rowQ[4][2] = {
      {zuviFilterRowBorderPipelineGetBufferSize_8u16s_C1R, zuviFilterRowBorderPipelineGetBufferSize_8u16s_C3R},
      {zuviFilterRowBorderPipelineGetBufferSize_16u_C1R, zuviFilterRowBorderPipelineGetBufferSize_16u_C3R},
      {zuviFilterRowBorderPipelineGetBufferSize_16s_C1R, zuviFilterRowBorderPipelineGetBufferSize_16s_C3R},
      {zuviFilterRowBorderPipelineGetBufferSize_32f_C1R, zuviFilterRowBorderPipelineGetBufferSize_32f_C3R}};
  const Query colQ[4][2] = {
      {zuviFilterColumnPipelineGetBufferSize_16s8u_C1R, zuviFilterColumnPipelineGetBufferSize_16s8u_C3R},
      {zuviFilterColumnPipelineGetBufferSize_16u_C1R, zuviFilterColumnPipelineGetBufferSize_16u_C3R},
      {zuviFilterColumnPipelineGetBufferSize_16s_C1R, zuviFilterColumnPipelineGetBufferSize_16s_C3R},
      {zuviFilterColumnPipelineGetBufferSize_32f_C1R, zuviFilterColumnPipelineGetBufferSize_32f_C3R}};
  const int types[4] = {DataType8u, DataType16u, DataType16s, DataType32f};
  for (int t : {1, 2, 3})
    for (const ImageSize r : {ImageSize{100, 10}, ImageSize{1, 1}, ImageSize{640, 480}, ImageSize{7, 3}})
      for (int k : {3, 5, 11})
        for (int ch : {1, 3})
          for (int ti = 0; ti < 4; ++ti) {
            ThreadCount tc(t);
            const uint32_t w = uint32_t(r.width), h = uint32_t(r.height), K = uint32_t(k);
            const uint32_t W = ((w + K) * ch + 7) / 8 * 8, m = std::min(h, K), H = m + K;
            int rp = 0, cp = 0;
            rowQ[ti][ch / 3]({r.width, int(m)}, k, &rp);
            colQ[ti][ch / 3]({r.width, int(m)}, k, &cp);
            const uint32_t want = types[ti] == DataType32f
                ? 4 * K * W + 32 + 4 * H * W + 64 + uint32_t(rp) + 32 + uint32_t(cp) + 32 + 8 * (m + K) + 32
                : 2 * H * W + 64 + 2 * (W * (K & ~1u) + 16) + uint32_t(rp) + 32 + uint32_t(cp) + 32 + 8 * (h + K) + 32;
            int spec = -1, buf = -1;
            ASSERT_EQ(zuviFilterGaussianGetBufferSize(r, k, types[ti], ch, &spec, &buf), StatusOk);
            EXPECT_EQ(uint32_t(buf), want) << t << " " << w << "x" << h << " k " << k << " type " << types[ti] << " ch " << ch;
            EXPECT_EQ(spec, types[ti] == DataType32f ? 32 * k + 32 : 16 * k + 36);
          }
  // Sizes beyond the int range are refused instead of wrapping (a wrapped
  // size would let a call run past a short buffer); nothing is written.
  for (auto [r, k, type, ch] : {std::tuple{ImageSize{16, 16}, 1073741825, DataType32f, 1},
                                std::tuple{ImageSize{16, 16}, 134217729, DataType8u, 1},
                                std::tuple{ImageSize{177674, 1}, 1001, DataType32f, 3},
                                std::tuple{ImageSize{153391665, 3}, 3, DataType8u, 1}}) {
    int spec = -1, buf = -1;
    EXPECT_EQ(zuviFilterGaussianGetBufferSize(r, k, type, ch, &spec, &buf), StatusSizeOverflow) << r.width << " k " << k;
    EXPECT_TRUE(spec == -1 && buf == -1);
  }
}

TEST(Gaussian, QueryAndInitCheckOrder) {
  int a = -1, b = -1;
  const ImageSize roi{10, 10};
  EXPECT_EQ(zuviFilterGaussianGetBufferSize(roi, 3, 1, 1, nullptr, &b), StatusNullPointer);
  EXPECT_EQ(zuviFilterGaussianGetBufferSize(roi, 3, 1, 1, &a, nullptr), StatusNullPointer);
  EXPECT_EQ(zuviFilterGaussianGetBufferSize({0, 0}, 2, 2, 2, &a, nullptr), StatusNullPointer);
  EXPECT_EQ(zuviFilterGaussianGetBufferSize({0, 10}, 2, 2, 2, &a, &b), StatusSize);
  EXPECT_EQ(zuviFilterGaussianGetBufferSize({10, 0}, 2, 2, 2, &a, &b), StatusSize);
  EXPECT_EQ(zuviFilterGaussianGetBufferSize(roi, 1, 2, 2, &a, &b), StatusBadArgument);
  EXPECT_EQ(zuviFilterGaussianGetBufferSize(roi, 4, 2, 2, &a, &b), StatusBadArgument);
  EXPECT_EQ(zuviFilterGaussianGetBufferSize(roi, 3, 11, 2, &a, &b), StatusDataType);
  EXPECT_EQ(zuviFilterGaussianGetBufferSize(roi, 3, 7, 4, &a, &b), StatusNumChannels);
  EXPECT_TRUE(a == -1 && b == -1) << "written on refusal";

  GuardedImage<uint8_t> spec(1024, 1), buf(1 << 16, 1);
  GaussianSpec* sp = reinterpret_cast<GaussianSpec*>(spec.data());
  uint8_t* bp = buf.data();
  auto init = [&](ImageSize r, int k, int border, int type, int ch, float sigma) {
    return zuviFilterGaussianInit(r, k, border, type, ch, sp, bp, sigma);
  };
  expect_refusals(
      {{"null spec", [&] { return zuviFilterGaussianInit(roi, 3, 1, 1, 1, nullptr, bp, 1.f); }, StatusNullPointer},
       {"null buffer", [&] { return zuviFilterGaussianInit(roi, 3, 1, 1, 1, sp, nullptr, 1.f); }, StatusNullPointer},
       {"width", [&] { return init({0, 3}, 2, 2, 2, 2, 0.f); }, StatusSize},
       {"height", [&] { return init({3, -3}, 2, 2, 2, 2, 0.f); }, StatusSize},
       {"kernel below 3", [&] { return init(roi, 1, 2, 2, 2, 0.f); }, StatusBadArgument},
       {"even kernel", [&] { return init(roi, 6, 2, 2, 2, 0.f); }, StatusBadArgument},
       {"data type", [&] { return init(roi, 5, 2, 11, 2, 0.f); }, StatusDataType},
       {"channels", [&] { return init(roi, 5, 2, 13, 2, 0.f); }, StatusNumChannels},
       {"sigma 0", [&] { return init(roi, 5, 2, 13, 3, 0.f); }, StatusBadArgument},
       {"sigma NaN", [&] { return init(roi, 5, 1, 13, 3, std::nanf("")); }, StatusBadArgument},
       {"border 2", [&] { return init(roi, 5, 2, 13, 3, 1.f); }, StatusBorder},
       {"border 4", [&] { return init(roi, 5, 0x14, 5, 1, 1.f); }, StatusBorder},
       {"border 0x100", [&] { return init(roi, 5, 0x100, 7, 1, 1.f); }, StatusBorder}}, spec, buf);
  EXPECT_EQ(init(roi, 5, 0xF6, 1, 1, 1.f), StatusOk);
}

TEST(Gaussian, FilterCheckOrder) {
  const ImageSize roi{6, 5};
  Prepared st(roi, 5, DataType16u, 1, BorderRepl, 1.f);
  GuardedImage<uint16_t> s(6, 5), d(6, 5);
  GaussianSpec* sp = st.state();
  uint8_t* bp = st.buf->base();
  const int ss = s.step(), ds = d.step();
  auto f = [&](const uint16_t* src, int sStep, uint16_t* dst, int dStep, ImageSize r, const GaussianSpec* spec, uint8_t* b) {
    return zuviFilterGaussianBorder_16u_C1R(src, sStep, dst, dStep, r, 0, spec, b);
  };
  // A copy of the state block with one 32-bit field broken.
  GuardedImage<uint8_t> bad(512, 1);
  std::memcpy(bad.data(), st.spec->base(), st.spec->span());
  auto with_field = [&](int field, int32_t v) {
    std::memcpy(bad.data() + 4 * field, &v, 4);
    return reinterpret_cast<const GaussianSpec*>(bad.data());
  };
  expect_refusals(
      {{"null source", [&] { return f(nullptr, ss, d.data(), ds, roi, sp, bp); }, StatusNullPointer},
       {"null destination", [&] { return f(s.data(), ss, nullptr, ds, roi, sp, bp); }, StatusNullPointer},
       {"null spec", [&] { return f(s.data(), ss, d.data(), ds, roi, nullptr, bp); }, StatusNullPointer},
       {"null buffer", [&] { return f(s.data(), ss, d.data(), ds, roi, sp, nullptr); }, StatusNullPointer},
       {"source step", [&] { return f(s.data(), 11, d.data(), ds, roi, sp, bp); }, StatusStep},
       {"destination step", [&] { return f(s.data(), ss, d.data(), 10, roi, sp, bp); }, StatusStep},
       {"step before size", [&] { return f(s.data(), -2, d.data(), ds, {0, 5}, sp, bp); }, StatusStep},
       {"width", [&] { return f(s.data(), ss, d.data(), ds, {0, 5}, sp, bp); }, StatusSize},
       {"height", [&] { return f(s.data(), ss, d.data(), ds, {6, 0}, sp, bp); }, StatusSize},
       {"odd step", [&] { return f(s.data(), ss + 1, d.data(), ds, roi, sp, bp); }, StatusNotEvenStep},
       {"odd destination step", [&] { return f(s.data(), ss, d.data(), ds + 3, roi, with_field(0, 4), bp); }, StatusNotEvenStep},
       {"spec kernel even", [&] { return f(s.data(), ss, d.data(), ds, roi, with_field(0, 4), bp); }, StatusBadArgument},
       {"spec kernel 1", [&] { return f(s.data(), ss, d.data(), ds, roi, with_field(0, 1), bp); }, StatusBadArgument},
       {"kernel before border", [&] { (void)with_field(3, 2); return f(s.data(), ss, d.data(), ds, roi, with_field(0, 2), bp); }, StatusBadArgument},
       {"spec border", [&] { (void)with_field(0, 5); return f(s.data(), ss, d.data(), ds, roi, with_field(3, 5), bp); }, StatusBorder}},
      d);
}

}  // namespace
