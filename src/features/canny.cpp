// SPDX-License-Identifier: BSD-3-Clause
// Canny edges: gradient magnitude, non-maximum suppression and hysteresis.
#include "features/canny.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "core/border.h"
#include "core/check.h"
#include "core/cpu.h"
#include "core/export.h"
#include "core/image.h"
#include "core/simd.h"

namespace zuv::canny {
namespace {

// Candidate-map byte of a weak candidate: a survivor of the suppression that is
// not a seed. Seeds are marked in the destination at once and keep no map bit,
// and a candidate reached by the hysteresis is cleared as it is marked, so the
// walk tests one map byte per neighbour instead of the map and the destination.
constexpr uint8_t kCandidate = 0x80;

// Quantised gradient directions (stored per pixel by the Border variant).
enum : uint8_t { kHorizontal = 1, kOpposite = 2, kVertical = 3, kSame = 4 };

inline uint8_t* align32(uint8_t* p) {
  return reinterpret_cast<uint8_t*>((reinterpret_cast<uintptr_t>(p) + 31) & ~uintptr_t(31));
}
constexpr uint32_t round32(uint32_t n) { return (n + 31u) & ~31u; }

// Seed stack of (row, column) pairs; a push that finds no room only notes it.
template <class P>
struct Stack {
  P* data;
  size_t size;
  size_t cap;
  bool overflow;
  void push(int y, int x) {
    if (size < cap) {
      data[2 * size] = P(y);
      data[2 * size + 1] = P(x);
      ++size;
    } else {
      overflow = true;
    }
  }
};

// Magnitude type of a derivative type.
template <class D>
struct Mag;
template <>
struct Mag<int16_t> {
  using type = int32_t;
};
template <>
struct Mag<float> {
  using type = float;
};

// Thresholds of the 16s variant truncate towards zero. Magnitudes stop at 65535,
// so 65535 and anything above it (or NaN) lets nothing through.
inline int32_t truncated(float t) { return t < 65535.f ? int32_t(t) : 65535; }
template <class M>
inline M threshold(float t) {
  if constexpr (std::is_same_v<M, int32_t>) return truncated(t);
  else return t;
}

// Survivor test along a quantised direction; up, mid and down point at the
// pixel's column in the magnitude rows above, at and below it.
template <class M>
inline bool is_maximum(uint8_t dir, const M* up, const M* mid, const M* down) {
  const M m = mid[0];
  switch (dir) {
    case kVertical: return m > up[0] && m >= down[0];
    case kHorizontal: return m > mid[-1] && m >= mid[1];
    case kSame: return m > up[-1] && m > down[1];
    default: return m > up[1] && m > down[-1];
  }
}

// The derivative variants compare with the plain products ax * tan.
inline uint8_t direction(float ax, float ay, bool sameSign) {
  if (ay > ax * kTan67) return kVertical;
  if (ay < ax * kTan22) return kHorizontal;
  return sameSign ? kSame : kOpposite;
}

// The Border variant takes ax * tan(67.5) as 2 ax + ax * tan(22.5), fused. As
// 2 ax is exact, the vector form round(2 ax + round(ax t1)) is the same value.
inline uint8_t direction_fused(float ax, float ay, bool sameSign) {
  const float t = ax * kTan22;
  if (ay > std::fma(2.f, ax, t)) return kVertical;
  if (ay < t) return kHorizontal;
  return sameSign ? kSame : kOpposite;
}

// An 8u source seen with its border: rows and columns outside the region come
// from memory on the flagged sides, else repeat the edge or take the value.
struct View {
  const uint8_t* base;
  ptrdiff_t step;
  int width, height;
  bool top, bottom, left, right;
  bool replicate;
  uint8_t value;

  // Row j (may lie outside the region), or null for a row of the border value.
  const uint8_t* row(int j) const {
    if (j < 0 && !top) {
      if (!replicate) return nullptr;
      j = 0;
    } else if (j >= height && !bottom) {
      if (!replicate) return nullptr;
      j = height - 1;
    }
    return base + step * j;
  }
  int at(const uint8_t* r, int i) const {
    if (!r) return value;
    if (i < 0 && !left) {
      if (!replicate) return value;
      i = 0;
    } else if (i >= width && !right) {
      if (!replicate) return value;
      i = width - 1;
    }
    return r[i];
  }
};

// Walks the seed stack: every weak candidate 8-connected to a marked pixel is
// marked. The map's zero frame keeps the walk inside the region.
struct Marks {
  uint8_t* map;  // byte of region pixel (0, 0)
  ptrdiff_t mapStride;
  uint8_t* dst;
  ptrdiff_t dstStep;
  int width, height;
};

template <class P>
void drain(const Marks& g, Stack<P>& st) {
  const ptrdiff_t ms = g.mapStride, ds = g.dstStep;
  while (st.size) {
    --st.size;
    const int y = int(st.data[2 * st.size]), x = int(st.data[2 * st.size + 1]);
    uint8_t* c = g.map + ms * y + x;
    uint8_t* d = g.dst + ds * y + x;
    auto visit = [&](ptrdiff_t mo, ptrdiff_t dof, int ny, int nx) {
      if (c[mo] & kCandidate) {
        c[mo] = 0;
        d[dof] = 255;
        st.push(ny, nx);
      }
    };
    visit(-ms - 1, -ds - 1, y - 1, x - 1);
    visit(-ms, -ds, y - 1, x);
    visit(-ms + 1, -ds + 1, y - 1, x + 1);
    visit(-1, -1, y, x - 1);
    visit(1, 1, y, x + 1);
    visit(ms - 1, ds - 1, y + 1, x - 1);
    visit(ms, ds, y + 1, x);
    visit(ms + 1, ds + 1, y + 1, x + 1);
  }
}

// When the stack ran out of room some marked pixels were never expanded: scan
// for marked pixels that still touch a candidate and walk from them, until a
// scan finds none. Each scan marks at least one new pixel or ends the loop.
template <class P>
void hysteresis(const Marks& g, Stack<P>& st) {
  drain(g, st);
  const ptrdiff_t ms = g.mapStride;
  while (st.overflow) {
    st.overflow = false;
    for (int y = 0; y < g.height; ++y) {
      const uint8_t* d = g.dst + g.dstStep * y;
      for (int x = 0; x < g.width; ++x) {
        if (d[x] != 255) continue;
        const uint8_t* c = g.map + ms * y + x;
        const uint8_t touch = c[-ms - 1] | c[-ms] | c[-ms + 1] | c[-1] | c[1] | c[ms - 1] |
                              c[ms] | c[ms + 1];
        if (touch & kCandidate) {
          st.push(y, x);
          drain(g, st);
        }
      }
    }
  }
}

// Clears the one-pixel frame of the candidate map (the passes write the rest).
void clear_frame(uint8_t* map, size_t stride, int height) {
  std::memset(map, 0, stride);
  for (int y = 1; y <= height; ++y) {
    map[stride * y] = 0;
    map[stride * y + stride - 1] = 0;
  }
  std::memset(map + stride * (size_t(height) + 1), 0, stride);
}

}  // namespace

namespace ref {

inline int32_t magnitude(int16_t a, int16_t b) {
  const int32_t m = std::abs(int32_t(a)) + std::abs(int32_t(b));
  return m > 65535 ? 65535 : m;
}
inline float magnitude(float a, float b) { return std::fabs(a) + std::fabs(b); }
inline bool kept(int32_t m, int32_t low) { return m > low; }
inline bool kept(float m, float low) { return m >= low; }
inline bool negative(int16_t v) { return v < 0; }
inline bool negative(float v) { return std::signbit(v); }
inline float abs_f(int16_t v) { return float(std::abs(int32_t(v))); }
inline float abs_f(float v) { return std::fabs(v); }

// One row of thresholded magnitudes from derivatives.
template <class D, class M>
void magnitude_row(const D* dx, const D* dy, M* m, int n, M low) {
  for (int x = 0; x < n; ++x) {
    const M v = magnitude(dx[x], dy[x]);
    m[x] = kept(v, low) ? v : M(0);
  }
}

// Suppression and seeding of one row of the derivative variants; writes the
// map row and the destination row (255 on seeds, else 0).
template <class D, class M, class P>
void suppress_row(const D* dx, const D* dy, const M* up, const M* mid, const M* down,
                  uint8_t* map, uint8_t* dst, int n, M high, int y, Stack<P>& st) {
  for (int x = 0; x < n; ++x) {
    const M m = mid[x];
    uint8_t mark = 0, out = 0;
    if (m != M(0)) {
      const uint8_t dir = direction(abs_f(dx[x]), abs_f(dy[x]), negative(dx[x]) == negative(dy[x]));
      if (is_maximum(dir, up + x, mid + x, down + x)) {
        if (m > high) {
          out = 255;
          st.push(y, x);
        } else {
          mark = kCandidate;
        }
      }
    }
    map[x] = mark;
    dst[x] = out;
  }
}

// Derivatives at (x, y) of the bordered source.
inline void gradient(const View& s, int y, int x, int k, int kind, int& gx, int& gy) {
  const int r = k / 2;
  int p[5][5];
  for (int i = 0; i < k; ++i) {
    const uint8_t* row = s.row(y - r + i);
    for (int j = 0; j < k; ++j) p[i][j] = s.at(row, x - r + j);
  }
  if (k == 3) {
    const int a = kind == DifferentialKernelScharr ? 3 : 1;
    const int b = kind == DifferentialKernelScharr ? 10 : 2;
    gx = a * (p[0][2] - p[0][0]) + b * (p[1][2] - p[1][0]) + a * (p[2][2] - p[2][0]);
    gy = a * (p[2][0] - p[0][0]) + b * (p[2][1] - p[0][1]) + a * (p[2][2] - p[0][2]);
  } else {
    constexpr int w5[5] = {1, 4, 6, 4, 1};
    gx = gy = 0;
    for (int i = 0; i < 5; ++i) {
      gx += w5[i] * ((p[i][4] - p[i][0]) + 2 * (p[i][3] - p[i][1]));
      gy += w5[i] * ((p[4][i] - p[0][i]) + 2 * (p[3][i] - p[1][i]));
    }
  }
}

// Thresholded magnitude (kept when above low) and direction code (0 where the
// magnitude is 0) of one Border-variant pixel.
inline void magnitude_direction(int gx, int gy, bool l2, float low, float& m, uint8_t& dir) {
  float v;
  if (l2) {
    const float fx = float(gx), fy = float(gy);
    v = std::sqrt(fx * fx + fy * fy);
  } else {
    v = float(std::abs(gx) + std::abs(gy));
  }
  if (v > low) {
    m = v;
    dir = direction_fused(float(std::abs(gx)), float(std::abs(gy)), (gx < 0) == (gy < 0));
  } else {
    m = 0.f;
    dir = 0;
  }
}

// One row of magnitudes and direction codes of the Border variant.
inline void gradient_row(const View& s, int y, int k, int kind, bool l2, float low, float* m,
                         uint8_t* dir) {
  for (int x = 0; x < s.width; ++x) {
    int gx, gy;
    gradient(s, y, x, k, kind, gx, gy);
    magnitude_direction(gx, gy, l2, low, m[x], dir[x]);
  }
}

// Suppression and seeding of one Border-variant row: survivors that are not
// seeds become candidates in the map, which held their direction codes.
template <class P>
void suppress_coded_row(const float* up, const float* mid, const float* down, uint8_t* map,
                        uint8_t* dst, int n, float high, int y, Stack<P>& st) {
  for (int x = 0; x < n; ++x) {
    const float m = mid[x];
    uint8_t out = 0;
    if (m != 0.f && is_maximum(map[x], up + x, mid + x, down + x)) {
      if (m > high) {
        out = 255;
        st.push(y, x);
      } else {
        map[x] = kCandidate;
      }
    }
    dst[x] = out;
  }
}

}  // namespace ref

ZUV_AVX512_BEGIN
namespace avx512 {

// 16s: |dx| + |dy| saturated in 16-bit lanes, kept above low, widened to 32 bits.
static void magnitude_row(const int16_t* dx, const int16_t* dy, int32_t* m, int n, int32_t low) {
  const __m512i lowv = _mm512_set1_epi16(int16_t(uint16_t(low)));
  for (int x = 0; x < n; x += 32) {
    const int left = n - x;
    const __mmask32 k = simd::mask32(left);
    const __m512i a = _mm512_abs_epi16(_mm512_maskz_loadu_epi16(k, dx + x));
    const __m512i b = _mm512_abs_epi16(_mm512_maskz_loadu_epi16(k, dy + x));
    __m512i v = _mm512_adds_epu16(a, b);
    v = _mm512_maskz_mov_epi16(_mm512_cmpgt_epu16_mask(v, lowv), v);
    _mm512_mask_storeu_epi32(m + x, simd::mask16(left),
                             _mm512_cvtepu16_epi32(_mm512_castsi512_si256(v)));
    if (left > 16)
      _mm512_mask_storeu_epi32(m + x + 16, simd::mask16(left - 16),
                               _mm512_cvtepu16_epi32(_mm512_extracti64x4_epi64(v, 1)));
  }
}

// 32f: |dx| + |dy| (sign bits cleared), kept at or above low.
static void magnitude_row(const float* dx, const float* dy, float* m, int n, float low) {
  const __m512 lowv = _mm512_set1_ps(low);
  const __m512i abs_mask = _mm512_set1_epi32(0x7FFFFFFF);
  for (int x = 0; x < n; x += 16) {
    const __mmask16 k = simd::mask16(n - x);
    const __m512 a = _mm512_castsi512_ps(
        _mm512_and_si512(_mm512_castps_si512(_mm512_maskz_loadu_ps(k, dx + x)), abs_mask));
    const __m512 b = _mm512_castsi512_ps(
        _mm512_and_si512(_mm512_castps_si512(_mm512_maskz_loadu_ps(k, dy + x)), abs_mask));
    const __m512 v = _mm512_add_ps(a, b);
    _mm512_mask_storeu_ps(m + x, k, _mm512_maskz_mov_ps(_mm512_cmp_ps_mask(v, lowv, _CMP_GE_OQ), v));
  }
}

// Magnitude lanes: loads, non-zero test and comparisons under a lane mask.
static inline __m512i load_m(const int32_t* p, __mmask16 k) { return _mm512_maskz_loadu_epi32(k, p); }
static inline __m512 load_m(const float* p, __mmask16 k) { return _mm512_maskz_loadu_ps(k, p); }
static inline __mmask16 nonzero(__mmask16 k, __m512i v) { return _mm512_mask_test_epi32_mask(k, v, v); }
static inline __mmask16 nonzero(__mmask16 k, __m512 v) {
  return _mm512_mask_test_epi32_mask(k, _mm512_castps_si512(v), _mm512_castps_si512(v));
}
static inline __mmask16 gt(__mmask16 k, __m512i a, __m512i b) { return _mm512_mask_cmpgt_epi32_mask(k, a, b); }
static inline __mmask16 ge(__mmask16 k, __m512i a, __m512i b) { return _mm512_mask_cmpge_epi32_mask(k, a, b); }
static inline __mmask16 gt(__mmask16 k, __m512 a, __m512 b) { return _mm512_mask_cmp_ps_mask(k, a, b, _CMP_GT_OQ); }
static inline __mmask16 ge(__mmask16 k, __m512 a, __m512 b) { return _mm512_mask_cmp_ps_mask(k, a, b, _CMP_GE_OQ); }
static inline __m512i broadcast(int32_t v) { return _mm512_set1_epi32(v); }
static inline __m512 broadcast(float v) { return _mm512_set1_ps(v); }

// |dx|, |dy| as floats and the lanes whose sign bits agree.
static inline void abs_signs(const int16_t* dx, const int16_t* dy, __mmask16 k, __m512& ax,
                             __m512& ay, __mmask16& same) {
  const __m256i a = _mm256_maskz_loadu_epi16(k, dx);
  const __m256i b = _mm256_maskz_loadu_epi16(k, dy);
  same = __mmask16(~(_mm256_movepi16_mask(a) ^ _mm256_movepi16_mask(b)));
  // |-32768| is 0x8000: widen unsigned.
  ax = _mm512_cvtepi32_ps(_mm512_cvtepu16_epi32(_mm256_abs_epi16(a)));
  ay = _mm512_cvtepi32_ps(_mm512_cvtepu16_epi32(_mm256_abs_epi16(b)));
}
static inline void abs_signs(const float* dx, const float* dy, __mmask16 k, __m512& ax,
                             __m512& ay, __mmask16& same) {
  const __m512i a = _mm512_castps_si512(_mm512_maskz_loadu_ps(k, dx));
  const __m512i b = _mm512_castps_si512(_mm512_maskz_loadu_ps(k, dy));
  same = __mmask16(~(_mm512_movepi32_mask(a) ^ _mm512_movepi32_mask(b)));
  const __m512i abs_mask = _mm512_set1_epi32(0x7FFFFFFF);
  ax = _mm512_castsi512_ps(_mm512_and_si512(a, abs_mask));
  ay = _mm512_castsi512_ps(_mm512_and_si512(b, abs_mask));
}

// Survivors among the lanes of `nz` given the direction masks; loads of the
// neighbours are masked to the lanes that need them.
template <class M, class V>
static inline __mmask16 maxima(const M* up, const M* mid, const M* down, V m, __mmask16 vert,
                               __mmask16 horz, __mmask16 same, __mmask16 opp) {
  __mmask16 keep = gt(vert, m, load_m(up, vert)) & ge(vert, m, load_m(down, vert));
  keep |= gt(horz, m, load_m(mid - 1, horz)) & ge(horz, m, load_m(mid + 1, horz));
  keep |= gt(same, m, load_m(up - 1, same)) & gt(same, m, load_m(down + 1, same));
  keep |= gt(opp, m, load_m(up + 1, opp)) & gt(opp, m, load_m(down - 1, opp));
  return keep;
}

// Writes the map and destination bytes of 16 lanes and pushes the seeds.
template <class P>
static inline void mark(uint8_t* map, uint8_t* dst, __mmask16 k, __mmask16 weak, __mmask16 seed,
                        int y, int x, Stack<P>& st) {
  _mm_mask_storeu_epi8(map, k, _mm_maskz_mov_epi8(weak, _mm_set1_epi8(char(kCandidate))));
  _mm_mask_storeu_epi8(dst, k, _mm_maskz_mov_epi8(seed, _mm_set1_epi8(-1)));
  for (uint32_t s = seed; s; s &= s - 1) st.push(y, x + __builtin_ctz(s));
}

template <class D, class M, class P>
static void suppress_row(const D* dx, const D* dy, const M* up, const M* mid, const M* down,
                         uint8_t* map, uint8_t* dst, int n, M high, int y, Stack<P>& st) {
  const auto highv = broadcast(high);
  const __m512 t1 = _mm512_set1_ps(kTan22), t2 = _mm512_set1_ps(kTan67);
  for (int x = 0; x < n; x += 16) {
    const __mmask16 k = simd::mask16(n - x);
    const auto m = load_m(mid + x, k);
    const __mmask16 nz = nonzero(k, m);
    if (nz == 0) {  // nothing above the low threshold here
      _mm_mask_storeu_epi8(map + x, k, _mm_setzero_si128());
      _mm_mask_storeu_epi8(dst + x, k, _mm_setzero_si128());
      continue;
    }
    __m512 ax, ay;
    __mmask16 same;
    abs_signs(dx + x, dy + x, nz, ax, ay, same);
    const __mmask16 vert = _mm512_mask_cmp_ps_mask(nz, ay, _mm512_mul_ps(ax, t2), _CMP_GT_OQ);
    const __mmask16 horz =
        _mm512_mask_cmp_ps_mask(nz & ~vert, ay, _mm512_mul_ps(ax, t1), _CMP_LT_OQ);
    const __mmask16 diag = nz & ~vert & ~horz;
    const __mmask16 keep = maxima(up + x, mid + x, down + x, m, vert, horz, diag & same,
                                  diag & ~same);
    const __mmask16 seed = gt(keep, m, highv);
    mark(map + x, dst + x, k, keep & ~seed, seed, y, x, st);
  }
}

// 32 pixels of a source row from column x as 16-bit lanes; a null row is the
// border value.
static inline __m512i load_px(const uint8_t* p, int x, __mmask32 k, __m512i value) {
  return p ? _mm512_cvtepu8_epi16(_mm256_maskz_loadu_epi8(k, p + x)) : value;
}

template <int C>
static inline __m512i mul(__m512i v) {
  if constexpr (C == 1) return v;
  else if constexpr (C == 2) return _mm512_add_epi16(v, v);
  else if constexpr (C == 4) return _mm512_slli_epi16(v, 2);
  else return _mm512_mullo_epi16(v, _mm512_set1_epi16(C));
}

// 3x3 derivatives of 32 pixels with side weights A and centre weight B.
template <int A, int B>
static inline void deriv3(const uint8_t* const* p, int x, __mmask32 k, __m512i value, __m512i& gx,
                          __m512i& gy) {
  const __m512i a0 = load_px(p[0], x - 1, k, value), a1 = load_px(p[0], x, k, value),
                a2 = load_px(p[0], x + 1, k, value);
  const __m512i b0 = load_px(p[1], x - 1, k, value), b2 = load_px(p[1], x + 1, k, value);
  const __m512i c0 = load_px(p[2], x - 1, k, value), c1 = load_px(p[2], x, k, value),
                c2 = load_px(p[2], x + 1, k, value);
  gx = _mm512_add_epi16(_mm512_add_epi16(mul<A>(_mm512_sub_epi16(a2, a0)),
                                         mul<B>(_mm512_sub_epi16(b2, b0))),
                        mul<A>(_mm512_sub_epi16(c2, c0)));
  gy = _mm512_add_epi16(_mm512_add_epi16(mul<A>(_mm512_sub_epi16(c0, a0)),
                                         mul<B>(_mm512_sub_epi16(c1, a1))),
                        mul<A>(_mm512_sub_epi16(c2, a2)));
}

// 5x5 Sobel derivatives of 32 pixels: per row the difference (p2 - p-2) + 2 (p1 - p-1)
// and the smoothing (1 4 6 4 1); every partial sum fits in 16 bits.
static inline void deriv5(const uint8_t* const* p, int x, __mmask32 k, __m512i value, __m512i& gx,
                          __m512i& gy) {
  __m512i d[5], s[5];
  for (int i = 0; i < 5; ++i) {
    const __m512i l2 = load_px(p[i], x - 2, k, value), l1 = load_px(p[i], x - 1, k, value);
    const __m512i r1 = load_px(p[i], x + 1, k, value), r2 = load_px(p[i], x + 2, k, value);
    d[i] = _mm512_add_epi16(_mm512_sub_epi16(r2, l2), mul<2>(_mm512_sub_epi16(r1, l1)));
    if (i != 2) {
      const __m512i c = load_px(p[i], x, k, value);
      s[i] = _mm512_add_epi16(_mm512_add_epi16(l2, r2),
                              _mm512_add_epi16(mul<4>(_mm512_add_epi16(l1, r1)), mul<6>(c)));
    }
  }
  gx = _mm512_add_epi16(_mm512_add_epi16(d[0], d[4]),
                        _mm512_add_epi16(mul<4>(_mm512_add_epi16(d[1], d[3])), mul<6>(d[2])));
  gy = _mm512_add_epi16(_mm512_sub_epi16(s[4], s[0]), mul<2>(_mm512_sub_epi16(s[3], s[1])));
}

// Magnitudes and direction codes of 16 pixels from 32-bit derivatives.
static inline void magnitude_direction(__m512i gx, __m512i gy, bool l2, __m512 lowv, float* m,
                                       uint8_t* dir, __mmask16 k) {
  const __m512i ix = _mm512_abs_epi32(gx), iy = _mm512_abs_epi32(gy);
  __m512 v;
  if (l2) {
    const __m512 fx = _mm512_cvtepi32_ps(gx), fy = _mm512_cvtepi32_ps(gy);
    v = _mm512_sqrt_ps(_mm512_add_ps(_mm512_mul_ps(fx, fx), _mm512_mul_ps(fy, fy)));
  } else {
    v = _mm512_cvtepi32_ps(_mm512_add_epi32(ix, iy));
  }
  const __mmask16 keep = _mm512_mask_cmp_ps_mask(k, v, lowv, _CMP_GT_OQ);
  _mm512_mask_storeu_ps(m, k, _mm512_maskz_mov_ps(keep, v));
  const __m512 ax = _mm512_cvtepi32_ps(ix), ay = _mm512_cvtepi32_ps(iy);
  const __m512 t = _mm512_mul_ps(ax, _mm512_set1_ps(kTan22));
  const __mmask16 vert =
      _mm512_cmp_ps_mask(ay, _mm512_fmadd_ps(_mm512_set1_ps(2.f), ax, t), _CMP_GT_OQ);
  const __mmask16 horz = _mm512_cmp_ps_mask(ay, t, _CMP_LT_OQ);
  const __mmask16 same = __mmask16(~(_mm512_movepi32_mask(gx) ^ _mm512_movepi32_mask(gy)));
  __m128i c = _mm_set1_epi8(char(kOpposite));
  c = _mm_mask_mov_epi8(c, same, _mm_set1_epi8(char(kSame)));
  c = _mm_mask_mov_epi8(c, horz, _mm_set1_epi8(char(kHorizontal)));
  c = _mm_mask_mov_epi8(c, vert, _mm_set1_epi8(char(kVertical)));
  _mm_mask_storeu_epi8(dir, k, _mm_maskz_mov_epi8(keep, c));
}

// Columns [x0, x1) of one Border-variant row; every column the masks read is
// inside the region or on a side in memory.
template <int K, int A, int B>
static void gradient_span(const uint8_t* const* rows, int x0, int x1, bool l2, float low,
                          uint8_t value, float* m, uint8_t* dir) {
  const __m512 lowv = _mm512_set1_ps(low);
  const __m512i cv = _mm512_set1_epi16(value);
  for (int x = x0; x < x1; x += 32) {
    const int left = x1 - x;
    __m512i gx, gy;
    if constexpr (K == 3) deriv3<A, B>(rows, x, simd::mask32(left), cv, gx, gy);
    else deriv5(rows, x, simd::mask32(left), cv, gx, gy);
    magnitude_direction(_mm512_cvtepi16_epi32(_mm512_castsi512_si256(gx)),
                        _mm512_cvtepi16_epi32(_mm512_castsi512_si256(gy)), l2, lowv, m + x,
                        dir + x, simd::mask16(left));
    if (left > 16)
      magnitude_direction(_mm512_cvtepi16_epi32(_mm512_extracti64x4_epi64(gx, 1)),
                          _mm512_cvtepi16_epi32(_mm512_extracti64x4_epi64(gy, 1)), l2, lowv,
                          m + x + 16, dir + x + 16, simd::mask16(left - 16));
  }
}

// One Border-variant row: the vector span plus the generated-border columns.
static void gradient_row(const View& s, int y, int k, int kind, bool l2, float low, float* m,
                         uint8_t* dir) {
  const int r = k / 2;
  const uint8_t* rows[5];
  for (int i = 0; i < k; ++i) rows[i] = s.row(y - r + i);
  const int x0 = s.left ? 0 : r, x1 = s.right ? s.width : s.width - r;
  auto edge = [&](int x) {
    int gx, gy;
    ref::gradient(s, y, x, k, kind, gx, gy);
    ref::magnitude_direction(gx, gy, l2, low, m[x], dir[x]);
  };
  for (int x = 0; x < x0; ++x) edge(x);
  if (k == 5) gradient_span<5, 0, 0>(rows, x0, x1, l2, low, s.value, m, dir);
  else if (kind == DifferentialKernelScharr) gradient_span<3, 3, 10>(rows, x0, x1, l2, low, s.value, m, dir);
  else gradient_span<3, 1, 2>(rows, x0, x1, l2, low, s.value, m, dir);
  for (int x = x1; x < s.width; ++x) edge(x);
}

template <class P>
static void suppress_coded_row(const float* up, const float* mid, const float* down,
                               uint8_t* map, uint8_t* dst, int n, float high, int y,
                               Stack<P>& st) {
  const __m512 highv = _mm512_set1_ps(high);
  for (int x = 0; x < n; x += 16) {
    const __mmask16 k = simd::mask16(n - x);
    const __m512 m = load_m(mid + x, k);
    const __mmask16 nz = nonzero(k, m);
    if (nz == 0) {
      _mm_mask_storeu_epi8(dst + x, k, _mm_setzero_si128());
      continue;
    }
    const __m128i dir = _mm_maskz_loadu_epi8(nz, map + x);
    const __mmask16 keep = maxima(up + x, mid + x, down + x, m,
                                  _mm_cmpeq_epi8_mask(dir, _mm_set1_epi8(char(kVertical))),
                                  _mm_cmpeq_epi8_mask(dir, _mm_set1_epi8(char(kHorizontal))),
                                  _mm_cmpeq_epi8_mask(dir, _mm_set1_epi8(char(kSame))),
                                  _mm_cmpeq_epi8_mask(dir, _mm_set1_epi8(char(kOpposite))));
    __mmask16 seed = gt(keep, m, highv);
    _mm_mask_storeu_epi8(map + x, keep & ~seed, _mm_set1_epi8(char(kCandidate)));
    _mm_mask_storeu_epi8(dst + x, k, _mm_maskz_mov_epi8(seed, _mm_set1_epi8(-1)));
    for (uint32_t s = seed; s; s &= s - 1) st.push(y, x + __builtin_ctz(s));
  }
}

}  // namespace avx512
ZUV_AVX512_END

namespace {

Status get_size(ImageSize roi, int32_t* size) {
  ZUV_TRY(check::not_null(size));
  ZUV_TRY(check::roi(roi));
  const uint32_t w = uint32_t(roi.width), h = uint32_t(roi.height);
  const uint32_t per_pixel = (roi.width < 65533 && roi.height < 65533) ? 5u : 9u;
  *size = int32_t((w + 2u) * (h + 2u) * per_pixel + 16u * w + 160u);
  return StatusOk;
}

// Magnitude, suppression and seeding row by row (the magnitude of row y + 1 is
// made before row y is suppressed), then the hysteresis.
template <class D, class P>
void run_derivative(const D* dx, int dxStep, const D* dy, int dyStep, uint8_t* dst, int dstStep,
                    ImageSize roi, uint8_t* buffer, float low, float high) {
  using M = typename Mag<D>::type;
  const int w = roi.width, h = roi.height;
  const size_t ms = size_t(w) + 2;
  // Map, then the ring placed so that column 0 of each row is 16-byte aligned,
  // then the stack.
  uint8_t* map = align32(buffer);
  M* ring = reinterpret_cast<M*>(align32(map + ms * (size_t(h) + 2)) + 12);
  P* stack = reinterpret_cast<P*>(ring + 4 * ms);
  clear_frame(map, ms, h);
  std::memset(ring, 0, 4 * ms * sizeof(M));
  const M lowT = threshold<M>(low), highT = threshold<M>(high);
  Stack<P> st{stack, 0, ms * (size_t(h) + 2), false};
  const bool vec = use_avx512();
  // Row y of magnitudes at column 0; rows -1 and h stay zero.
  auto slot = [&](int y) { return ring + size_t((y + 1) & 3) * ms + 1; };
  auto magnitudes = [&](int y) {
    if (vec) avx512::magnitude_row(row_at(dx, dxStep, y), row_at(dy, dyStep, y), slot(y), w, lowT);
    else ref::magnitude_row(row_at(dx, dxStep, y), row_at(dy, dyStep, y), slot(y), w, lowT);
  };
  magnitudes(0);
  for (int y = 0; y < h; ++y) {
    if (y + 1 < h) magnitudes(y + 1);
    else std::memset(slot(h) - 1, 0, ms * sizeof(M));
    uint8_t* map_row = map + ms * (size_t(y) + 1) + 1;
    if (vec)
      avx512::suppress_row(row_at(dx, dxStep, y), row_at(dy, dyStep, y), slot(y - 1), slot(y),
                           slot(y + 1), map_row, row_at(dst, dstStep, y), w, highT, y, st);
    else
      ref::suppress_row(row_at(dx, dxStep, y), row_at(dy, dyStep, y), slot(y - 1), slot(y),
                        slot(y + 1), map_row, row_at(dst, dstStep, y), w, highT, y, st);
  }
  hysteresis(Marks{map + ms + 1, ptrdiff_t(ms), dst, dstStep, w, h}, st);
}

template <class D>
Status canny(const D* dx, int dxStep, const D* dy, int dyStep, uint8_t* dst, int dstStep,
             ImageSize roi, uint8_t* buffer, float low, float high) {
  ZUV_TRY(check::not_null(dx, dy, dst, buffer));
  ZUV_TRY(check::roi(roi));
  ZUV_TRY(check::step_of<D>(dxStep, roi));
  ZUV_TRY(check::step_of<D>(dyStep, roi));
  ZUV_TRY(check::step_of<uint8_t>(dstStep, roi));
  ZUV_TRY(check::multiples<D>(dxStep, dyStep));
  if (low < 0.f || low > high) return StatusBadArgument;
  // 16-bit stack pairs while every coordinate fits.
  if (roi.width < 65533 && roi.height < 65533)
    run_derivative<D, uint16_t>(dx, dxStep, dy, dyStep, dst, dstStep, roi, buffer, low, high);
  else
    run_derivative<D, int32_t>(dx, dxStep, dy, dyStep, dst, dstStep, roi, buffer, low, high);
  return StatusOk;
}

int mask_side(int maskSize) { return maskSize == MaskSize5x5 ? 5 : 3; }

Status border_get_size(ImageSize roi, int maskSize, int32_t* size) {
  ZUV_TRY(check::not_null(size));
  ZUV_TRY(check::roi(roi));
  ZUV_TRY(check::mask_size(maskSize));
  const int k = mask_side(maskSize);
  const uint32_t W = uint32_t(roi.width) + uint32_t(k - 1);
  const uint32_t A = W * (uint32_t(roi.height) + uint32_t(k - 1));
  const bool copy = k > std::min(roi.width, roi.height);
  *size = int32_t(round32(16u * W) + round32(A) + round32(4u * A) + (copy ? round32(A) : 0u) + 64u);
  return StatusOk;
}

}  // namespace

Status canny_border(const uint8_t* src, int srcStep, uint8_t* dst, int dstStep, ImageSize roi,
                    int kind, int maskSize, int borderType, uint8_t borderValue, int norm,
                    uint8_t* buffer, float low, float high, size_t stackPairs) {
  // The mask is tested before any pointer.
  if ((kind == DifferentialKernelScharr && maskSize == MaskSize5x5) ||
      check::mask_size(maskSize) != StatusOk)
    return StatusMaskSize;
  ZUV_TRY(check::not_null(src, dst, buffer));
  ZUV_TRY(check::roi(roi));
  if ((kind != DifferentialKernelSobel && kind != DifferentialKernelScharr) ||
      (norm != NormTypeL1 && norm != NormTypeL2) || low < 0.f || low > high)
    return StatusBadArgument;
  const int mode = borderType & 0xF;
  if (mode != BorderConst && mode != BorderRepl && mode != BorderInMem) return StatusBorder;

  const int w = roi.width, h = roi.height, k = mask_side(maskSize), r = k / 2;
  const uint32_t W = uint32_t(w + k - 1), A = W * uint32_t(h + k - 1);
  uint8_t* map = align32(buffer);
  float* ring = reinterpret_cast<float*>(map + round32(A));
  int32_t* stack = reinterpret_cast<int32_t*>(reinterpret_cast<uint8_t*>(ring) + round32(16u * W));
  uint8_t* copy = reinterpret_cast<uint8_t*>(stack) + round32(4u * A);
  const size_t room = round32(4u * A) / 8u;

  const bool top = borderType & BorderInMemTop, bottom = borderType & BorderInMemBottom;
  const bool left = borderType & BorderInMemLeft, right = borderType & BorderInMemRight;
  View s{src, srcStep, w, h, top, bottom, left, right, mode == BorderRepl, borderValue};
  if (k > std::min(w, h)) {
    // The mask is larger than the region: copy it with its border first; sides
    // in memory come along by widening the copied area.
    const int t = top ? r : 0, b = bottom ? r : 0, l = left ? r : 0, rr = right ? r : 0;
    const uint8_t* from = src - ptrdiff_t(srcStep) * t - l;
    const ImageSize from_size{w + l + rr, h + t + b}, to_size{int(W), h + k - 1};
    const Status copied =
        (borderType & 7) == BorderRepl
            ? zuviCopyReplicateBorder_8u_C1R(from, srcStep, from_size, copy, int(W), to_size,
                                             r - t, r - l)
            : zuviCopyConstBorder_8u_C1R(from, srcStep, from_size, copy, int(W), to_size, r - t,
                                         r - l, borderValue);
    if (copied != StatusOk) return copied;
    s = View{copy + W * r + r, ptrdiff_t(W), w, h, true, true, true, true, false, borderValue};
  }

  const size_t ms = size_t(w) + 2;
  clear_frame(map, ms, h);
  std::memset(ring, 0, 4 * ms * sizeof(float));
  Stack<int32_t> st{stack, 0, stackPairs ? std::min(stackPairs, room) : room, false};
  const bool l2 = norm == NormTypeL2;
  // Narrow regions take the scalar path.
  const bool vec = use_avx512() && w >= 8;
  auto slot = [&](int y) { return ring + size_t((y + 1) & 3) * ms + 1; };
  auto map_row = [&](int y) { return map + ms * (size_t(y) + 1) + 1; };
  auto gradients = [&](int y) {
    if (vec) avx512::gradient_row(s, y, k, kind, l2, low, slot(y), map_row(y));
    else ref::gradient_row(s, y, k, kind, l2, low, slot(y), map_row(y));
  };
  gradients(0);
  for (int y = 0; y < h; ++y) {
    if (y + 1 < h) gradients(y + 1);
    else std::memset(slot(h) - 1, 0, ms * sizeof(float));
    if (vec)
      avx512::suppress_coded_row(slot(y - 1), slot(y), slot(y + 1), map_row(y),
                                 row_at(dst, dstStep, y), w, high, y, st);
    else
      ref::suppress_coded_row(slot(y - 1), slot(y), slot(y + 1), map_row(y),
                              row_at(dst, dstStep, y), w, high, y, st);
  }
  hysteresis(Marks{map_row(0), ptrdiff_t(ms), dst, dstStep, w, h}, st);
  return StatusOk;
}

}  // namespace zuv::canny

ZUV_EXPORT(zuviCannyGetSize, (ImageSize roiSize, int32_t* pBufferSize),
           (zuv::canny::get_size(roiSize, pBufferSize)))

#define X(name, D)                                                                            \
  ZUV_EXPORT(name, (const D* pSrcDx, int srcDxStep, const D* pSrcDy, int srcDyStep,           \
                    uint8_t* pDst, int dstStep, ImageSize roiSize, uint8_t* pBuffer,          \
                    float lowThresh, float highThresh),                                       \
             (zuv::canny::canny<D>(pSrcDx, srcDxStep, pSrcDy, srcDyStep, pDst, dstStep,       \
                                   roiSize, pBuffer, lowThresh, highThresh)))
ZUV_CANNY_TABLE(X)
#undef X

ZUV_EXPORT(zuviCannyBorderGetSize,
           (ImageSize roiSize, DifferentialKernel, MaskSize maskSize, int32_t,
            int32_t* pBufferSize),
           (zuv::canny::border_get_size(roiSize, maskSize, pBufferSize)))

ZUV_EXPORT(zuviCannyBorder_8u_C1R,
           (const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize,
            DifferentialKernel filterKind, MaskSize maskSize, BorderType borderType,
            uint8_t borderValue, NormType norm, uint8_t* pBuffer, float lowThresh,
            float highThresh),
           (zuv::canny::canny_border(pSrc, srcStep, pDst, dstStep, roiSize, filterKind, maskSize,
                                     borderType, borderValue, norm, pBuffer, lowThresh,
                                     highThresh, 0)))
