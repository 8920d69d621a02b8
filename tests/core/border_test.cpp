// SPDX-License-Identifier: BSD-3-Clause
// Border-extended copies against a per-pixel definition, check order, edge cases; fill
// and copy routines on both sides of their large-size thresholds, at odd start offsets.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "core/border.h"
#include "support/guarded_image.h"

namespace {

using zuv::test::Flush;
using zuv::test::GuardedImage;
namespace border = zuv::border;

enum class Mode { Const, Replicate, ReplicateInPlace, Mirror };

// Source coordinate read by a border position, straight from the definition.
int expected_index(Mode m, int i, int n) {
  if (i >= 0 && i < n) return i;
  if (m == Mode::Mirror && n > 1) {
    // Walk the reflections one step at a time: a different formulation from the library's modular one.
    int pos = 0, dir = i < 0 ? -1 : 1;
    for (int k = 0; k != i; k += (i < 0 ? -1 : 1)) {
      if (pos + dir < 0 || pos + dir >= n) dir = -dir;
      pos += dir;
    }
    return pos;
  }
  return i < 0 ? 0 : n - 1;
}

template <class T, int C>
void run_case(Mode m, int sw, int sh, int top, int left, int right, int bottom, Flush flush, std::mt19937& rng) {
  const int dw = left + sw + right, dh = top + sh + bottom;
  GuardedImage<T> src(sw, sh, C, 3 * int(sizeof(T)), flush);
  src.fill_random(rng);
  T value[C];
  for (int c = 0; c < C; ++c) value[c] = GuardedImage<T>::template random_value<T>(rng);
  // In place, the destination is the bordered buffer with the source copied into it.
  GuardedImage<T> dst(dw, dh, C, 5 * int(sizeof(T)), flush);
  dst.fill([](int, int, int) { return 0x5A; });
  const ImageSize ss{sw, sh}, ds{dw, dh};
  Status st;
  if (m == Mode::ReplicateInPlace) {
    for (int y = 0; y < sh; ++y)
      std::memcpy(&dst.at(left, top + y), src.row(y), sizeof(T) * size_t(sw) * C);
    st = border::copy_replicate_inplace<T, C>(&dst.at(left, top), dst.step(), ss, ds, top, left);
  } else {
    // Through the one entry point that dispatches on the border mode.
    const int mode = m == Mode::Const ? BorderConst : m == Mode::Replicate ? BorderRepl : BorderMirror;
    st = border::copy_border<T, C>(mode, src.data(), src.step(), ss, dst.data(), dst.step(), ds, top, left, value);
  }
  ASSERT_EQ(st, StatusOk);
  ASSERT_TRUE(dst.padding_intact());
  for (int y = 0; y < dh; ++y)
    for (int x = 0; x < dw; ++x)
      for (int c = 0; c < C; ++c) {
        const int sx = x - left, sy = y - top;
        const bool inside = sx >= 0 && sx < sw && sy >= 0 && sy < sh;
        const T want = m == Mode::Const && !inside ? value[c] : src.at(expected_index(m, sx, sw), expected_index(m, sy, sh), c);
        ASSERT_EQ(std::memcmp(&dst.at(x, y, c), &want, sizeof(T)), 0) << "x " << x << " y " << y << " c " << c
            << " src " << sw << "x" << sh << " borders " << top << "," << left << "," << right << "," << bottom;
      }
}

template <class T, int C>
void run_all_modes() {
  std::mt19937 rng(17 * C + int(sizeof(T)));
  const int dims[] = {1, 2, 3, 7, 40};
  for (Mode m : {Mode::Const, Mode::Replicate, Mode::ReplicateInPlace, Mode::Mirror})
    for (int sw : dims)
      for (int sh : {1, 2, 5})
        for (int b = 0; b < 4; ++b) {
          // Borders from none to wider than the image (periodic mirroring).
          const int top = int(rng() % 9), left = int(rng() % 9);
          const int right = b == 0 ? 0 : int(rng() % 9), bottom = int(rng() % 9);
          SCOPED_TRACE(int(m));
          run_case<T, C>(m, sw, sh, top, left, right, bottom, b & 1 ? Flush::Begin : Flush::End, rng);
          if (::testing::Test::HasFatalFailure()) return;
        }
}

TEST(Border, MatchesDefinitionForEveryTypeAndLayout) {
  run_all_modes<uint8_t, 1>(), run_all_modes<uint8_t, 3>(), run_all_modes<uint8_t, 4>();
  run_all_modes<int16_t, 1>(), run_all_modes<int16_t, 3>(), run_all_modes<int16_t, 4>();
  run_all_modes<int32_t, 3>(), run_all_modes<float, 1>(), run_all_modes<float, 4>();
}

// Hand-worked values that pin the definitions above; copies move bit patterns.
TEST(Border, EdgeCasesOfTheContract) {
  // Mirror of 10 20 30 with two pixels each side.
  const uint8_t s[3] = {10, 20, 30};
  uint8_t d[7] = {};
  ASSERT_EQ(zuv::zuviCopyMirrorBorder_8u_C1R(s, 3, {3, 1}, d, 7, {7, 1}, 0, 2), StatusOk);
  EXPECT_EQ(std::vector<uint8_t>(d, d + 7), (std::vector<uint8_t>{30, 20, 10, 20, 30, 20, 10}));
  // A left border of 5 on a row of width 3 reflects periodically.
  const int16_t s16[3] = {10, 20, 30};
  int16_t d16[8] = {};
  ASSERT_EQ(zuv::zuviCopyMirrorBorder_16s_C1R(s16, 6, {3, 1}, d16, 16, {8, 1}, 0, 5), StatusOk);
  EXPECT_EQ(std::vector<int16_t>(d16, d16 + 8), (std::vector<int16_t>{20, 10, 20, 30, 20, 10, 20, 30}));
  // A float constant keeps its bit pattern (a NaN payload included).
  const uint32_t bits = 0x7FC01234u;
  float v, f[3];
  std::memcpy(&v, &bits, 4);
  const float one = 1.f;
  ASSERT_EQ(zuv::zuviCopyConstBorder_32f_C1R(&one, 4, {1, 1}, f, 12, {3, 1}, 0, 1, v), StatusOk);
  uint32_t got[3];
  std::memcpy(got, f, 12);
  EXPECT_TRUE(got[0] == bits && got[2] == bits && f[1] == 1.f);
}

TEST(Border, ChecksInOrder) {
  uint8_t s[64] = {}, d[256] = {};
  const uint8_t v3[3] = {1, 2, 3};
  auto rep = [&](const uint8_t* ps, int ss, ImageSize sr, uint8_t* pd, int dsp, ImageSize dr, int top, int left) {
    return zuv::zuviCopyReplicateBorder_8u_C1R(ps, ss, sr, pd, dsp, dr, top, left);
  };
  struct Case {
    const char* what;
    Status got, want;
  } cases[] = {
      {"null src beats a zero step", rep(nullptr, 0, {4, 4}, d, 8, {8, 8}, 0, 0), StatusNullPointer},
      {"null dst", rep(s, 4, {4, 4}, nullptr, 8, {8, 8}, 0, 0), StatusNullPointer},
      {"zero step beats bad sizes", rep(s, 0, {0, 4}, d, 8, {8, 8}, 0, 0), StatusStep},
      {"dst step 0", rep(s, 4, {4, 4}, d, 0, {8, 8}, 0, 0), StatusStep},
      {"step below width is fine", rep(s, 1, {4, 4}, d, 1, {8, 1}, 0, 0), StatusSize},
      {"src width 0", rep(s, 4, {0, 4}, d, 8, {8, 8}, 0, 0), StatusSize},
      {"dst height 0", rep(s, 4, {4, 4}, d, 8, {8, 0}, 0, 0), StatusSize},
      {"negative top", rep(s, 4, {4, 4}, d, 8, {8, 8}, -1, 0), StatusSize},
      {"negative left", rep(s, 4, {4, 4}, d, 8, {8, 8}, 0, -1), StatusSize},
      {"no room on the right", rep(s, 4, {4, 4}, d, 8, {7, 8}, 0, 4), StatusSize},
      {"exact fit on the right", rep(s, 4, {4, 4}, d, 8, {8, 8}, 0, 4), StatusOk},
      {"no room below", rep(s, 4, {4, 4}, d, 8, {8, 7}, 4, 0), StatusSize},
      {"C3 null value after sizes", zuv::zuviCopyConstBorder_8u_C3R(s, 12, {0, 1}, d, 24, {8, 1}, 0, 0, nullptr), StatusSize},
      {"C3 null value", zuv::zuviCopyConstBorder_8u_C3R(s, 12, {4, 1}, d, 24, {8, 1}, 0, 0, nullptr), StatusNullPointer},
      {"C3 value", zuv::zuviCopyConstBorder_8u_C3R(s, 12, {4, 1}, d, 24, {8, 1}, 0, 0, v3), StatusOk},
      {"in place null", zuv::zuviCopyReplicateBorder_8u_C1IR(nullptr, 8, {4, 4}, {8, 8}, 2, 2), StatusNullPointer},
      {"in place step 0", zuv::zuviCopyReplicateBorder_8u_C1IR(d + 20, 0, {4, 4}, {8, 8}, 2, 2), StatusStep},
      {"in place no room", zuv::zuviCopyReplicateBorder_8u_C1IR(d + 20, 8, {4, 4}, {5, 8}, 2, 2), StatusSize},
      {"mirror order", zuv::zuviCopyMirrorBorder_32f_C1R(nullptr, -4, {0, 0}, nullptr, 0, {0, 0}, -1, -1), StatusNullPointer},
      {"unknown mode", border::copy_border<uint8_t, 1>(2, s, 4, {4, 4}, d, 8, {8, 8}, 0, 0, v3), StatusBorder},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
}

TEST(Border, RefusedCallsWriteNothing) {
  std::vector<uint8_t> d(64, 0xEE);
  const uint8_t s[4] = {1, 2, 3, 4};
  EXPECT_EQ(zuv::zuviCopyConstBorder_8u_C1R(s, 4, {4, 1}, d.data(), 8, {3, 1}, 0, 0, 9), StatusSize);
  EXPECT_EQ(zuv::zuviCopyMirrorBorder_8u_C1R(s, 4, {4, 1}, d.data(), 8, {8, 1}, 0, 5), StatusSize);
  EXPECT_EQ(d, std::vector<uint8_t>(64, 0xEE));
}

// Fill and copy sizes: past the cache (fills) or half of it (copies) for the one type that
// runs the non-temporal paths; a little above the fixed thresholds for the others.
int64_t big_bytes(bool pastCache, bool half) {
#ifdef __SANITIZE_ADDRESS__
  pastCache = false;  // hundreds of MB under the sanitizer's shadow memory: too slow
#endif
  int32_t cache = 0;
  if (zuvGetMaxCacheSizeB(&cache) != StatusOk || cache < 1) cache = 1 << 20;
  const int64_t c = half ? cache / 2 + 64 : int64_t(cache) + 64;
  return pastCache ? std::max<int64_t>(c, 5 << 20) : 5 << 20;
}

// True when buf[i] is `in` for i in [off, off + n) and `out` elsewhere (the guard bytes).
template <class T>
bool holds(const std::vector<T>& buf, int64_t off, int64_t n, T in, T out) {
  for (int64_t i = 0; i < int64_t(buf.size()); ++i)
    if (std::memcmp(&buf[size_t(i)], (i >= off && i < off + n) ? &in : &out, sizeof(T)) != 0)
      return false;
  return true;
}

template <class T>
void check_fill(Status (*zero)(T*, int), Status (*set)(T, T*, int), T v, bool pastCache) {
  const int64_t big = big_bytes(pastCache, false) / int64_t(sizeof(T));
  for (int64_t n : {int64_t(1), int64_t(33), int64_t(2097152 / sizeof(T)),
                    int64_t(2097152 / sizeof(T)) + 37, big + 5}) {
    for (int off : {0, 1, 7}) {
      if (n == big + 5 && off != 1) continue;
      std::vector<T> buf(size_t(n) + 16, T(3));
      ASSERT_EQ(zero(buf.data() + off, int(n)), StatusOk);
      ASSERT_TRUE(holds(buf, off, n, T(0), T(3))) << n << " " << off;
      ASSERT_EQ(set(v, buf.data() + off, int(n)), StatusOk);
      ASSERT_TRUE(holds(buf, off, n, v, T(3))) << n << " " << off;
    }
  }
  EXPECT_EQ(set(v, nullptr, 0), StatusNullPointer);
  EXPECT_EQ(set(v, reinterpret_cast<T*>(8), 0), StatusSize);
  EXPECT_EQ(zero(nullptr, -1), StatusNullPointer);
  EXPECT_EQ(zero(reinterpret_cast<T*>(8), 0), StatusSize);
}

template <class T>
void check_copy(Status (*copy)(const T*, T*, int), bool pastCache) {
  std::mt19937 rng(5);
  const int64_t big = big_bytes(pastCache, true) / int64_t(sizeof(T));
  for (int64_t n : {int64_t(1), int64_t(100), int64_t(32768 / sizeof(T)) + 3,
                    int64_t(4194304 / sizeof(T)) + 11, big + 3}) {
    for (int off : {0, 3}) {
      if (n == big + 3 && off == 0) continue;
      std::vector<T> s(size_t(n) + 8), d(size_t(n) + 16, T(9));
      const uint32_t salt = rng();
      for (size_t i = 0; i < s.size(); ++i) s[i] = T(((uint32_t(i) * 2654435761u) ^ salt) >> 17);
      ASSERT_EQ(copy(s.data() + 1, d.data() + off, int(n)), StatusOk);
      ASSERT_EQ(std::memcmp(s.data() + 1, d.data() + off, size_t(n) * sizeof(T)), 0) << n;
      for (int i = 0; i < off; ++i) ASSERT_EQ(d[size_t(i)], T(9));
      for (size_t i = size_t(off + n); i < d.size(); ++i) ASSERT_EQ(d[i], T(9));
    }
  }
  T one = T(1);
  EXPECT_EQ(copy(nullptr, &one, 0), StatusNullPointer);
  EXPECT_EQ(copy(&one, nullptr, 1), StatusNullPointer);
  EXPECT_EQ(copy(&one, &one, 0), StatusSize);
}

TEST(Border, FillAndCopyAcrossThresholds) {
  check_fill<uint8_t>(zuv::zuvsZero_8u, zuv::zuvsSet_8u, uint8_t(0xC7), false);
  check_fill<int16_t>(zuv::zuvsZero_16s, zuv::zuvsSet_16s, int16_t(-1234), true);
  check_fill<int32_t>(zuv::zuvsZero_32s, zuv::zuvsSet_32s, int32_t(-123456789), false);
  check_fill<float>(zuv::zuvsZero_32f, zuv::zuvsSet_32f, 1.25f, false);
  check_copy<uint8_t>(zuv::zuvsCopy_8u, true);
  check_copy<int16_t>(zuv::zuvsCopy_16s, false);
  check_copy<float>(zuv::zuvsCopy_32f, false);
}

}  // namespace
