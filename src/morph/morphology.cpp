// SPDX-License-Identifier: BSD-3-Clause
// Erosion and dilation by an arbitrary flat mask with border modes.
//
// Init classifies the mask once (empty, filled rectangle, ellipse, general)
// and records it in a state block of two sub-blocks. Every call then walks the
// image one output row at a time through a small window of rows kept in the
// caller's work buffer, so the buffer depends on the ROI width and the mask
// only:
//   rectangle  a column pass (direct for short windows, otherwise the block
//              method: running extrema forward and backward inside blocks of
//              the window height) followed by a row pass (direct for short
//              windows; single-channel integer windows up to 31 pixels in one
//              pass that doubles windows of 4 in registers; otherwise extrema
//              over spans of 4, 16, 64, ... pixels and one final step that
//              joins a few overlapping spans);
//   other      each mask row is cut into runs of consecutive members; each
//              source row gets the doubling tables of its extended copy, and an
//              output pixel is the extremum of two table entries per run;
//   empty      a copy.
// Pixels outside the image come from the border rule applied to the region
// widened on the sides flagged as in memory; the bordered rows are extended
// with the fill rules of the border-copy routines.
#include "morph/morphology.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstring>
#include <type_traits>

#include "core/border.h"
#include "core/check.h"
#include "core/cpu.h"
#include "core/export.h"
#include "core/image.h"
#include "core/simd.h"

namespace zuv::morph {
namespace {

constexpr int kStrategyGeneral = 0, kStrategyRect = 1, kStrategyEllipse = 2, kStrategyEmpty = 3;
constexpr int32_t kFlagFilled = 2, kFlagEmpty = 4, kFlagTrimmable = 8;

// Windows up to these lengths run direct; longer ones use the block method
// (columns) or spans of growing length (rows).
constexpr int kDirectRows = 7;
constexpr int kDirectCols = 8;
// Row windows of 9 to 31 pixels on single-channel integer rows (where the
// extremum does not depend on the order of the terms) run as one doubling pass.
template <class T>
constexpr bool doubles(int w, int s) {
  return std::is_integral_v<T> && s == 1 && w > kDirectCols && w < 32;
}
// Ellipses with more distinct row widths run as row runs.
constexpr int kMaxBands = 32;

struct Run {
  int32_t row, col, len;
};

// First sub-block: what the replicate and in-memory paths need.
struct ReplPart {
  int32_t elemBytes, channels, maxWidth;
  int32_t maskW, maskH, ax, ay;
  int32_t strategy;
  int32_t rectX, rectY, rectW, rectH;  // rectangle holding every member
  int32_t rectAx, rectAy;              // the anchor relative to it (may lie outside)
  int32_t minWork, maxWork;            // work bytes of the minimum and maximum filters
  int32_t runCount, maxRunLen;         // member runs of the rows (ellipse and general)
  int32_t maskOffset, runsOffset;      // byte offsets from this block
  int32_t constOffset;                 // second sub-block, from this block
  int32_t constWorkOffset;             // its region in the work buffer
  int32_t bands;                       // ellipse run as nested rectangles (else as runs)
};

// Second sub-block: the mask and its feature flags.
struct ConstPart {
  int32_t maskW, maskH, flags, maskOffset;
};

constexpr int64_t round_up(int64_t v, int64_t a) { return (v + a - 1) / a * a; }

template <class P>
P* align64(P* p) {
  const uintptr_t a = (reinterpret_cast<uintptr_t>(p) + 63) & ~uintptr_t(63);
  return reinterpret_cast<P*>(a);
}

int64_t max_runs(int mw, int mh) { return int64_t(mh) * ((mw + 1) / 2); }

int floor_log2(int v) { return 31 - __builtin_clz(unsigned(v)); }

// Scratch rows of the work buffer; every row holds the widest extended row.
struct Layout {
  int64_t rowBytes = 0;
  int ringRows = 0, levelRows = 0;
  int64_t v = 0, p = 0, s = 0, out = 0, other = 0, constRow = 0, ring = 0, tags = 0;
  int64_t levels = 0, ptrs = 0;
  int64_t regionA = 0, total = 0;
};

Layout layout_of(int maxWidth, int mw, int mh, int elemBytes, int channels) {
  Layout l;
  const int64_t e = elemBytes == 0 ? 1 : elemBytes;
  l.rowBytes = round_up((int64_t(maxWidth) + mw - 1) * channels * e + 64, 64);
  // An odd number of cache lines: rows a power of two apart would share the
  // same few cache sets.
  if (l.rowBytes % 128 == 0) l.rowBytes += 64;
  l.ringRows = 2 * mh + 2;
  l.levelRows = mh * (floor_log2(mw) + 1);
  int64_t at = 0;  // from the buffer aligned to 64 bytes
  l.v = at, at += l.rowBytes;
  l.p = at, at += l.rowBytes;
  l.s = at, at += l.rowBytes * mh;
  l.out = at, at += l.rowBytes;
  l.other = at, at += l.rowBytes;
  l.constRow = at, at += l.rowBytes;
  l.ring = at, at += l.rowBytes * l.ringRows;
  l.tags = at, at += round_up(int64_t(l.ringRows) * 4, 64);
  l.regionA = at;
  l.levels = at, at += l.rowBytes * l.levelRows;
  l.ptrs = at, at += round_up(2 * max_runs(mw, mh) * int64_t(sizeof(void*)), 64);
  l.total = at + 64;  // with the slack of the alignment
  l.regionA += 64;
  return l;
}

const ReplPart* repl_of(const void* spec) {
  return reinterpret_cast<const ReplPart*>(align64(static_cast<const uint8_t*>(spec)));
}

// ---------------------------------------------------------------------------
// Kernels. `kMax` selects dilation. The reference follows the vector
// instructions' operand order (min_ps(a, b) is a < b ? a : b).

template <class T, bool kMax>
inline T pick(T a, T b) {
  if constexpr (kMax) return a > b ? a : b;
  else return a < b ? a : b;
}

template <class T>
inline T sat_sub(T a, T b) {
  if constexpr (std::is_same_v<T, float>) {
    const float r = a - b;
    return r < 0.f ? 0.f : r;
  } else if constexpr (std::is_same_v<T, int16_t>) {
    const int r = int(a) - int(b);
    return T(r < -32768 ? -32768 : (r > 32767 ? 32767 : r));
  } else {
    return T(a > b ? a - b : 0);
  }
}

// Reverses the bit order inside each byte of x.
constexpr uint64_t reverse_bits_in_bytes(uint64_t x) {
  x = ((x >> 1) & 0x5555555555555555ull) | ((x & 0x5555555555555555ull) << 1);
  x = ((x >> 2) & 0x3333333333333333ull) | ((x & 0x3333333333333333ull) << 2);
  return ((x >> 4) & 0x0F0F0F0F0F0F0F0Full) | ((x & 0x0F0F0F0F0F0F0F0Full) << 4);
}

}  // namespace

namespace ref {

template <class T, bool kMax>
void columns(const T* const* rows, int k, T* out, int n) {
  for (int i = 0; i < n; ++i) {
    T acc = rows[0][i];
    for (int j = 1; j < k; ++j) acc = pick<T, kMax>(acc, rows[j][i]);
    out[i] = acc;
  }
}

template <class T, bool kMax>
void pair(const T* a, const T* b, T* out, int n) {
  for (int i = 0; i < n; ++i) out[i] = pick<T, kMax>(a[i], b[i]);
}

// Two neighbouring windows of k rows over rows[0 .. k]: out0 over rows 0 .. k - 1,
// out1 over rows 1 .. k; the k - 1 rows they share are combined once.
template <class T, bool kMax>
void columns2(const T* const* rows, int k, T* out0, T* out1, int n) {
  for (int i = 0; i < n; ++i) {
    T c = rows[1][i];
    for (int j = 2; j < k; ++j) c = pick<T, kMax>(c, rows[j][i]);
    out0[i] = pick<T, kMax>(rows[0][i], c);
    out1[i] = pick<T, kMax>(c, rows[k][i]);
  }
}

// out[i] = extremum of v[i], v[i + s], ..., v[i + (w - 1) s].
template <class T, bool kMax>
void window(const T* v, T* out, int n, int w, int s) {
  for (int i = 0; i < n; ++i) {
    T acc = v[i];
    for (int k = 1; k < w; ++k) acc = pick<T, kMax>(acc, v[i + k * s]);
    out[i] = acc;
  }
}

// out[i] = extremum of a[i + o] over the m offsets o; out may be a (ascending).
template <class T, bool kMax>
void offsets(const T* a, const int* o, int m, T* out, int n) {
  for (int i = 0; i < n; ++i) {
    T acc = a[i + o[0]];
    for (int k = 1; k < m; ++k) acc = pick<T, kMax>(acc, a[i + o[k]]);
    out[i] = acc;
  }
}

// One step of the block method: v = s joined with p, then p = p joined with r.
template <class T, bool kMax>
void step(const T* s, const T* p, const T* r, T* v, T* pout, int n) {
  for (int i = 0; i < n; ++i) {
    const T pv = p[i];
    v[i] = pick<T, kMax>(s[i], pv);
    pout[i] = pick<T, kMax>(pv, r[i]);
  }
}

template <class T, bool kMax>
void runs(const T* const* pa, const T* const* pb, int nr, T* out, int n) {
  for (int i = 0; i < n; ++i) {
    T acc = pick<T, kMax>(pa[0][i], pb[0][i]);
    for (int r = 1; r < nr; ++r) acc = pick<T, kMax>(acc, pick<T, kMax>(pa[r][i], pb[r][i]));
    out[i] = acc;
  }
}

template <class T>
void subtract(const T* a, const T* b, T* out, int n) {
  for (int i = 0; i < n; ++i) out[i] = sat_sub(a[i], b[i]);
}

}  // namespace ref

ZUV_AVX512_BEGIN
namespace avx512 {

template <class T>
constexpr int kLanes = 64 / int(sizeof(T));

template <class T, bool kMax>
static inline __m512i vpick(__m512i a, __m512i b) {
  if constexpr (std::is_same_v<T, uint8_t>)
    return kMax ? _mm512_max_epu8(a, b) : _mm512_min_epu8(a, b);
  else if constexpr (std::is_same_v<T, uint16_t>)
    return kMax ? _mm512_max_epu16(a, b) : _mm512_min_epu16(a, b);
  else if constexpr (std::is_same_v<T, int16_t>)
    return kMax ? _mm512_max_epi16(a, b) : _mm512_min_epi16(a, b);
  else
    return _mm512_castps_si512(kMax ? _mm512_max_ps(_mm512_castsi512_ps(a), _mm512_castsi512_ps(b))
                                    : _mm512_min_ps(_mm512_castsi512_ps(a), _mm512_castsi512_ps(b)));
}

template <class T>
static inline __m512i vsub(__m512i a, __m512i b) {
  if constexpr (std::is_same_v<T, uint8_t>) return _mm512_subs_epu8(a, b);
  else if constexpr (std::is_same_v<T, uint16_t>) return _mm512_subs_epu16(a, b);
  else if constexpr (std::is_same_v<T, int16_t>) return _mm512_subs_epi16(a, b);
  else {
    // max(0, r) keeps a NaN and a negative zero, as "negative becomes 0" does.
    const __m512 r = _mm512_sub_ps(_mm512_castsi512_ps(a), _mm512_castsi512_ps(b));
    return _mm512_castps_si512(_mm512_max_ps(_mm512_setzero_ps(), r));
  }
}

template <class T>
static inline __m512i ld(const T* p) { return _mm512_loadu_si512(p); }
template <class T>
static inline void st(T* p, __m512i v) { _mm512_storeu_si512(p, v); }

// The first min(n, lanes) elements (n >= 0); the rest are neither read nor written.
template <class T>
static inline __m512i ldn(const T* p, int n) {
  if constexpr (sizeof(T) == 1) return _mm512_maskz_loadu_epi8(simd::mask64(n), p);
  else if constexpr (sizeof(T) == 2) return _mm512_maskz_loadu_epi16(simd::mask32(n), p);
  else return _mm512_maskz_loadu_epi32(simd::mask16(n), p);
}
template <class T>
static inline void stn(T* p, __m512i v, int n) {
  if constexpr (sizeof(T) == 1) _mm512_mask_storeu_epi8(p, simd::mask64(n), v);
  else if constexpr (sizeof(T) == 2) _mm512_mask_storeu_epi16(p, simd::mask32(n), v);
  else _mm512_mask_storeu_epi32(p, simd::mask16(n), v);
}

// out[x..n) = extremum over the k rows p[j] from x on: four independent
// vectors per step, then single vectors, then one masked tail. M > 0 fixes the
// count at compile time so the inner loop unrolls.
template <class T, bool kMax, int M = 0>
static inline void fold_from(const T* const* p, int k, T* out, int x, int n) {
  constexpr int kL = kLanes<T>;
  const int cnt = M > 0 ? M : k;
  for (; x + 4 * kL <= n; x += 4 * kL) {
    __m512i a0 = ld(p[0] + x), a1 = ld(p[0] + x + kL), a2 = ld(p[0] + x + 2 * kL),
            a3 = ld(p[0] + x + 3 * kL);
    for (int j = 1; j < cnt; ++j) {
      a0 = vpick<T, kMax>(a0, ld(p[j] + x));
      a1 = vpick<T, kMax>(a1, ld(p[j] + x + kL));
      a2 = vpick<T, kMax>(a2, ld(p[j] + x + 2 * kL));
      a3 = vpick<T, kMax>(a3, ld(p[j] + x + 3 * kL));
    }
    st(out + x, a0);
    st(out + x + kL, a1);
    st(out + x + 2 * kL, a2);
    st(out + x + 3 * kL, a3);
  }
  for (; x + kL <= n; x += kL) {
    __m512i acc = ld(p[0] + x);
    for (int j = 1; j < cnt; ++j) acc = vpick<T, kMax>(acc, ld(p[j] + x));
    st(out + x, acc);
  }
  if (x < n) {
    const int r = n - x;
    __m512i acc = ldn(p[0] + x, r);
    for (int j = 1; j < cnt; ++j) acc = vpick<T, kMax>(acc, ldn(p[j] + x, r));
    stn(out + x, acc, r);
  }
}

template <class T, bool kMax>
static void columns(const T* const* rows, int k, T* out, int n) {
  constexpr int kL = kLanes<T>;
  int x = 0;
  if (k == 3) {
    const T *r0 = rows[0], *r1 = rows[1], *r2 = rows[2];
    for (; x + kL <= n; x += kL)
      st(out + x, vpick<T, kMax>(vpick<T, kMax>(ld(r0 + x), ld(r1 + x)), ld(r2 + x)));
  }
  fold_from<T, kMax>(rows, k, out, x, n);
}

template <class T, bool kMax>
static void columns2(const T* const* rows, int k, T* out0, T* out1, int n) {
  constexpr int kL = kLanes<T>;
  int x = 0;
  for (; x + 2 * kL <= n; x += 2 * kL) {
    const T* p = rows[1] + x;
    __m512i c0 = ld(p), c1 = ld(p + kL);
    for (int j = 2; j < k; ++j) {
      p = rows[j] + x;
      c0 = vpick<T, kMax>(c0, ld(p));
      c1 = vpick<T, kMax>(c1, ld(p + kL));
    }
    st(out0 + x, vpick<T, kMax>(ld(rows[0] + x), c0));
    st(out0 + x + kL, vpick<T, kMax>(ld(rows[0] + x + kL), c1));
    st(out1 + x, vpick<T, kMax>(c0, ld(rows[k] + x)));
    st(out1 + x + kL, vpick<T, kMax>(c1, ld(rows[k] + x + kL)));
  }
  for (; x < n; x += kL) {
    const int m = n - x < kL ? n - x : kL;
    __m512i c = ldn(rows[1] + x, m);
    for (int j = 2; j < k; ++j) c = vpick<T, kMax>(c, ldn(rows[j] + x, m));
    stn(out0 + x, vpick<T, kMax>(ldn(rows[0] + x, m), c), m);
    stn(out1 + x, vpick<T, kMax>(c, ldn(rows[k] + x, m)), m);
  }
}

template <class T, bool kMax>
static void pair(const T* a, const T* b, T* out, int n) {
  constexpr int kL = kLanes<T>;
  int x = 0;
  for (; x + kL <= n; x += kL) st(out + x, vpick<T, kMax>(ld(a + x), ld(b + x)));
  if (x < n) stn(out + x, vpick<T, kMax>(ldn(a + x, n - x), ldn(b + x, n - x)), n - x);
}

// out[i] = extremum of v[i], v[i + s], ..., v[i + (w - 1) s] (w <= kDirectCols);
// W > 0 fixes the window length at compile time so the inner loop unrolls.
// A fold over the w shifted row pointers; in place (out == v) each block
// loads everything before its stores.
template <class T, bool kMax, int W>
static void window_fixed(const T* v, T* out, int n, int s, int wdyn = W) {
  const int w = W > 0 ? W : wdyn;
  const T* p[kDirectCols];
  for (int k = 0; k < w; ++k) p[k] = v + ptrdiff_t(k) * s;
  fold_from<T, kMax, W>(p, w, out, 0, n);
}

// c0 advanced by R bytes, the bytes past its end coming from c1; h is c0
// advanced by 16 bytes.
template <int R>
static inline __m512i advance(__m512i c0, __m512i h) {
  if constexpr (R == 0) return c0;
  else return _mm512_alignr_epi8(h, c0, R);
}

// Extremum of c0 and c0 advanced by B, 2 B, ... (W - 1) B bytes ((W - 1) B < 16).
template <class T, bool kMax, int W, int B>
static inline __m512i window_of(__m512i c0, __m512i c1) {
  const __m512i h = _mm512_alignr_epi32(c1, c0, 4);
  __m512i acc = vpick<T, kMax>(c0, advance<B>(c0, h));
  if constexpr (W > 2) acc = vpick<T, kMax>(acc, advance<2 * B>(c0, h));
  if constexpr (W > 3) acc = vpick<T, kMax>(acc, advance<3 * B>(c0, h));
  if constexpr (W > 4) acc = vpick<T, kMax>(acc, advance<4 * B>(c0, h));
  return acc;
}

// Windows of W (3 or 4) with a step of B bytes: the shifted operands come
// from the vectors already loaded instead of from unaligned loads.
template <class T, bool kMax, int W, int B>
static void window_bytes(const T* v, T* out, int n) {
  static_assert((W - 1) * B < 16 && W <= 5, "shifts stay inside one 16-byte lane");
  constexpr int kL = kLanes<T>;
  constexpr int s = B / int(sizeof(T));
  int x = 0;
  // The fifth vector is read only while it lies inside the n + (W - 1) s
  // elements; in place, every load of a block comes before its stores.
  for (; x + 4 * kL <= n && x + 5 * kL <= n + (W - 1) * s; x += 4 * kL) {
    const T* q = v + x;
    const __m512i c0 = ld(q), c1 = ld(q + kL), c2 = ld(q + 2 * kL), c3 = ld(q + 3 * kL),
                  c4 = ld(q + 4 * kL);
    const __m512i a0 = window_of<T, kMax, W, B>(c0, c1), a1 = window_of<T, kMax, W, B>(c1, c2);
    const __m512i a2 = window_of<T, kMax, W, B>(c2, c3), a3 = window_of<T, kMax, W, B>(c3, c4);
    st(out + x, a0);
    st(out + x + kL, a1);
    st(out + x + 2 * kL, a2);
    st(out + x + 3 * kL, a3);
  }
  // Single vectors, the loads masked to the n + (W - 1) s elements there are.
  for (; x < n; x += kL) {
    const int avail = n + (W - 1) * s - x;
    const __m512i a = window_of<T, kMax, W, B>(ldn(v + x, avail), ldn(v + x + kL, std::max(avail - kL, 0)));
    stn(out + x, a, n - x);
  }
}

// Picks the byte-shift form when the step allows it.
template <class T, bool kMax, int W>
static void window_steps(const T* v, T* out, int n, int s) {
  constexpr auto fits = [](int b) { return (W - 1) * b < 16 && b % int(sizeof(T)) == 0; };
  switch (s * int(sizeof(T))) {
    case 1: if constexpr (fits(1)) return window_bytes<T, kMax, W, 1>(v, out, n); break;
    case 2: if constexpr (fits(2)) return window_bytes<T, kMax, W, 2>(v, out, n); break;
    case 3: if constexpr (fits(3)) return window_bytes<T, kMax, W, 3>(v, out, n); break;
    case 4: if constexpr (fits(4)) return window_bytes<T, kMax, W, 4>(v, out, n); break;
    default: break;
  }
  window_fixed<T, kMax, W>(v, out, n, s);
}

using simd::dword_shift;

// c0 advanced by B bytes (0 <= B <= 64), the bytes past its end from c1.
template <int B>
static inline __m512i byte_shift(__m512i c0, __m512i c1) {
  constexpr int q = B / 16, r = B % 16;
  const __m512i lo = dword_shift<4 * q>(c0, c1);
  if constexpr (r == 0) return lo;
  else return _mm512_alignr_epi8(dword_shift<4 * q + 4>(c0, c1), lo, r);
}

// Level L of the doubling pipeline: t is the newest vector of level L - 1 and
// last[L - 1] the one before it; their join over 4 * 2^(L-1) pixels is the
// newest vector of level L.
template <class T, bool kMax, int L, int K>
static inline __m512i climb(__m512i t, __m512i* last) {
  if constexpr (L > K) {
    return t;
  } else {
    const __m512i up = vpick<T, kMax>(last[L - 1], dword_shift<(1 << (L - 1)) * int(sizeof(T))>(last[L - 1], t));
    last[L - 1] = t;
    return climb<T, kMax, L + 1, K>(up, last);
  }
}

// Lane i: the extremum of p[i .. i + 3].
template <class T, bool kMax>
static inline __m512i window4(const T* p) {
  return vpick<T, kMax>(vpick<T, kMax>(ld(p), ld(p + 1)), vpick<T, kMax>(ld(p + 2), ld(p + 3)));
}
// The same reading only the first a (> 0) elements from p; the lanes that
// would need more hold other values.
template <class T, bool kMax>
static ZUV_INLINE __m512i window4n(const T* p, int a) {
  return vpick<T, kMax>(vpick<T, kMax>(ldn(p, a), ldn(p + 1, std::max(a - 1, 0))),
                        vpick<T, kMax>(ldn(p + 2, std::max(a - 2, 0)), ldn(p + 3, std::max(a - 3, 0))));
}

// Feeds the windows of 4 of one load vector into the pipeline; returns the
// output vector K (+ 1 when FB > 0) load vectors back.
template <class T, bool kMax, int K, int FB>
static inline __m512i feed(__m512i t, __m512i* last) {
  t = climb<T, kMax, 1, K>(t, last);
  if constexpr (FB > 0) {
    const __m512i o = vpick<T, kMax>(last[K], byte_shift<FB>(last[K], t));
    last[K] = t;
    t = o;
  }
  return t;
}

// out[i] = extremum of v[i .. i + w - 1] for w = 4 * 2^K + FB / sizeof(T),
// v holding `avail` >= n + w - 1 elements: windows of 4 from four loads,
// doubled K times with dword shifts of vectors already computed, then joined
// with the same windows FB bytes on. Each level needs the next vector of the
// level below, so the levels form a pipeline the stores trail by K (+ 1)
// vectors; past `avail` the loads are masked, and those lanes reach only
// outputs past n. out must not overlap v.
template <class T, bool kMax, int K, int FB>
static void window_doubling(const T* v, T* out, int n, int avail) {
  constexpr int kL = kLanes<T>;
  constexpr int kLag = K + (FB > 0 ? 1 : 0);
  __m512i last[K + 1];
  for (auto& l : last) l = _mm512_setzero_si512();
  const int nv = (n + kL - 1) / kL;
  // Load vectors j < jLoad are whole; so are the output vectors below n / kL.
  const int jLoad = avail >= kL + 3 ? (avail - kL - 3) / kL + 1 : 0;
  const int jFull = std::min(jLoad, n / kL + kLag);
  // Vectors wholly past `avail` reach only outputs past n: any value will do.
  auto load = [&](int j) {
    if (j < jLoad) return window4<T, kMax>(v + j * kL);
    if (j * kL < avail) return window4n<T, kMax>(v + j * kL, avail - j * kL);
    return _mm512_setzero_si512();
  };
  int j = 0;
  for (; j < kLag; ++j) feed<T, kMax, K, FB>(load(j), last);
  for (; j < jFull; ++j) st(out + (j - kLag) * kL, feed<T, kMax, K, FB>(window4<T, kMax>(v + j * kL), last));
  for (; j < nv + kLag; ++j) {
    const int xo = (j - kLag) * kL;
    const __m512i t = feed<T, kMax, K, FB>(load(j), last);
    if (xo + kL <= n) st(out + xo, t);
    else stn(out + xo, t, n - xo);
  }
}

// Picks the instance for w = 4 * 2^K + fb / sizeof(T).
template <class T, bool kMax, int K, int FB = 0>
static void doubling_by(int fb, const T* v, T* out, int n, int avail) {
  if constexpr (FB < (4 << K) * int(sizeof(T))) {
    if (fb == FB) return window_doubling<T, kMax, K, FB>(v, out, n, avail);
    doubling_by<T, kMax, K, FB + int(sizeof(T))>(fb, v, out, n, avail);
  }
}

template <class T, bool kMax>
static void window(const T* v, T* out, int n, int w, int s) {
  if constexpr (std::is_integral_v<T>) {
    if (doubles<T>(w, s)) {
      if (w < 16) return doubling_by<T, kMax, 1>((w - 8) * int(sizeof(T)), v, out, n, n + w - 1);
      return doubling_by<T, kMax, 2>((w - 16) * int(sizeof(T)), v, out, n, n + w - 1);
    }
  }
  switch (w) {
    case 2: return window_fixed<T, kMax, 2>(v, out, n, s);
    case 3: return window_steps<T, kMax, 3>(v, out, n, s);
    case 4: return window_steps<T, kMax, 4>(v, out, n, s);
    case 5: return window_steps<T, kMax, 5>(v, out, n, s);
    default: return window_fixed<T, kMax, 0>(v, out, n, s, w);
  }
}

// The same with the number of offsets fixed: the pointers stay in registers
// and the inner loop unrolls.
template <class T, bool kMax, int M>
static void offsets_fixed(const T* a, const int* o, T* out, int n) {
  constexpr int kL = kLanes<T>;
  const T* p[M];
  for (int k = 0; k < M; ++k) p[k] = a + o[k];
  int x = 0;
  // Offsets of whole dwords under one vector are taken from the vectors
  // already loaded (a two-source permute) instead of from unaligned loads.
  __m512i idx[M];
  bool shifted[M];
  bool anyShifted = false;
  int oMax = 0;
  for (int k = 0; k < M; ++k) {
    const int b = o[k] * int(sizeof(T));
    shifted[k] = b > 0 && b < 64 && b % 4 == 0;
    anyShifted |= shifted[k];
    idx[k] = _mm512_add_epi32(_mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15),
                              _mm512_set1_epi32(b / 4));
    oMax = std::max(oMax, o[k]);
  }
  if (anyShifted && o[0] == 0) {
    // The fifth vector is read only while it lies inside the n + oMax elements.
    for (; x + 4 * kL <= n && x + 5 * kL <= n + oMax; x += 4 * kL) {
      const T* q = a + x;
      const __m512i c0 = ld(q), c1 = ld(q + kL), c2 = ld(q + 2 * kL), c3 = ld(q + 3 * kL),
                    c4 = ld(q + 4 * kL);
      __m512i a0 = c0, a1 = c1, a2 = c2, a3 = c3;
      for (int k = 1; k < M; ++k) {
        if (shifted[k]) {
          a0 = vpick<T, kMax>(a0, _mm512_permutex2var_epi32(c0, idx[k], c1));
          a1 = vpick<T, kMax>(a1, _mm512_permutex2var_epi32(c1, idx[k], c2));
          a2 = vpick<T, kMax>(a2, _mm512_permutex2var_epi32(c2, idx[k], c3));
          a3 = vpick<T, kMax>(a3, _mm512_permutex2var_epi32(c3, idx[k], c4));
        } else {
          a0 = vpick<T, kMax>(a0, ld(p[k] + x));
          a1 = vpick<T, kMax>(a1, ld(p[k] + x + kL));
          a2 = vpick<T, kMax>(a2, ld(p[k] + x + 2 * kL));
          a3 = vpick<T, kMax>(a3, ld(p[k] + x + 3 * kL));
        }
      }
      st(out + x, a0);
      st(out + x + kL, a1);
      st(out + x + 2 * kL, a2);
      st(out + x + 3 * kL, a3);
    }
  }
  fold_from<T, kMax, M>(p, M, out, x, n);
}

// Union of a[x + j * D dwords] for j < M: every term is a dword shift of
// two vectors already loaded (valignd with an immediate count).
template <class T, bool kMax, int M, int D, int J = 1>
static inline __m512i union_dwords(__m512i acc, __m512i c0, __m512i c1) {
  if constexpr (J >= M) return acc;
  else return union_dwords<T, kMax, M, D, J + 1>(vpick<T, kMax>(acc, dword_shift<J * D>(c0, c1)), c0, c1);
}

template <class T, bool kMax, int M, int D>
static void offsets_dwords(const T* a, T* out, int n) {
  static_assert((M - 1) * D < 16, "shifts stay inside the next vector");
  constexpr int kL = kLanes<T>;
  constexpr int reach = (M - 1) * D * 4 / int(sizeof(T));  // elements read past x + kL - 1
  int x = 0;
  if (x + kL <= n && x + 2 * kL <= n + reach) {
    __m512i c0 = ld(a);
    for (; x + 2 * kL <= n && x + 3 * kL <= n + reach; x += 2 * kL) {
      const __m512i c1 = ld(a + x + kL), c2 = ld(a + x + 2 * kL);
      st(out + x, union_dwords<T, kMax, M, D>(c0, c0, c1));
      st(out + x + kL, union_dwords<T, kMax, M, D>(c1, c1, c2));
      c0 = c2;
    }
  }
  // Single vectors, the loads masked to the n + reach elements there are.
  for (; x < n; x += kL) {
    const int avail = n + reach - x;
    const __m512i c0 = ldn(a + x, avail), c1 = ldn(a + x + kL, std::max(avail - kL, 0));
    stn(out + x, union_dwords<T, kMax, M, D>(c0, c0, c1), n - x);
  }
}

template <class T, bool kMax, int D>
static bool offsets_by_dwords(const T* a, int m, T* out, int n) {
  switch (m) {
    case 2: offsets_dwords<T, kMax, 2, D>(a, out, n); return true;
    case 3: offsets_dwords<T, kMax, 3, D>(a, out, n); return true;
    case 4: offsets_dwords<T, kMax, 4, D>(a, out, n); return true;
    case 5: offsets_dwords<T, kMax, 5, D>(a, out, n); return true;
    case 6: offsets_dwords<T, kMax, 6, D>(a, out, n); return true;
    default: return false;
  }
}

template <class T, bool kMax>
static void offsets(const T* a, const int* o, int m, T* out, int n) {
  // Evenly spaced offsets of one or two dwords from 0.
  bool even = o[0] == 0 && m >= 2 && m <= 6;
  const int step = m >= 2 ? o[1] * int(sizeof(T)) : 0;
  for (int k = 1; k < m && even; ++k) even = o[k] * int(sizeof(T)) == k * step;
  if (even) {
    if (step == 4 && offsets_by_dwords<T, kMax, 1>(a, m, out, n)) return;
    if (step == 8 && offsets_by_dwords<T, kMax, 2>(a, m, out, n)) return;
  }
  switch (m) {
    case 2: return offsets_fixed<T, kMax, 2>(a, o, out, n);
    case 3: return offsets_fixed<T, kMax, 3>(a, o, out, n);
    case 4: return offsets_fixed<T, kMax, 4>(a, o, out, n);
    case 5: return offsets_fixed<T, kMax, 5>(a, o, out, n);
    case 6: return offsets_fixed<T, kMax, 6>(a, o, out, n);
    default: break;
  }
  constexpr int kL = kLanes<T>;
  int x = 0;
  for (; x + 4 * kL <= n; x += 4 * kL) {
    const T* p = a + x + o[0];
    __m512i a0 = ld(p), a1 = ld(p + kL), a2 = ld(p + 2 * kL), a3 = ld(p + 3 * kL);
    for (int k = 1; k < m; ++k) {
      p = a + x + o[k];
      a0 = vpick<T, kMax>(a0, ld(p));
      a1 = vpick<T, kMax>(a1, ld(p + kL));
      a2 = vpick<T, kMax>(a2, ld(p + 2 * kL));
      a3 = vpick<T, kMax>(a3, ld(p + 3 * kL));
    }
    st(out + x, a0);
    st(out + x + kL, a1);
    st(out + x + 2 * kL, a2);
    st(out + x + 3 * kL, a3);
  }
  for (; x + kL <= n; x += kL) {
    __m512i acc = ld(a + x + o[0]);
    for (int k = 1; k < m; ++k) acc = vpick<T, kMax>(acc, ld(a + x + o[k]));
    st(out + x, acc);
  }
  if (x < n) {
    const int r = n - x;
    __m512i acc = ldn(a + x + o[0], r);
    for (int k = 1; k < m; ++k) acc = vpick<T, kMax>(acc, ldn(a + x + o[k], r));
    stn(out + x, acc, r);
  }
}

template <class T, bool kMax>
static void step(const T* s, const T* p, const T* r, T* v, T* pout, int n) {
  constexpr int kL = kLanes<T>;
  int x = 0;
  for (; x + kL <= n; x += kL) {
    const __m512i pv = ld(p + x);
    st(v + x, vpick<T, kMax>(ld(s + x), pv));
    st(pout + x, vpick<T, kMax>(pv, ld(r + x)));
  }
  if (x < n) {
    const int m = n - x;
    const __m512i pv = ldn(p + x, m);
    stn(v + x, vpick<T, kMax>(ldn(s + x, m), pv), m);
    stn(pout + x, vpick<T, kMax>(pv, ldn(r + x, m)), m);
  }
}

template <class T, bool kMax>
static void runs(const T* const* pa, const T* const* pb, int nr, T* out, int n) {
  constexpr int kL = kLanes<T>;
  int x = 0;
  for (; x + 2 * kL <= n; x += 2 * kL) {
    __m512i a0 = vpick<T, kMax>(ld(pa[0] + x), ld(pb[0] + x));
    __m512i a1 = vpick<T, kMax>(ld(pa[0] + x + kL), ld(pb[0] + x + kL));
    for (int r = 1; r < nr; ++r) {
      const T* p = pa[r] + x;
      const T* q = pb[r] + x;
      a0 = vpick<T, kMax>(a0, vpick<T, kMax>(ld(p), ld(q)));
      a1 = vpick<T, kMax>(a1, vpick<T, kMax>(ld(p + kL), ld(q + kL)));
    }
    st(out + x, a0);
    st(out + x + kL, a1);
  }
  for (; x + kL <= n; x += kL) {
    __m512i acc = vpick<T, kMax>(ld(pa[0] + x), ld(pb[0] + x));
    for (int r = 1; r < nr; ++r)
      acc = vpick<T, kMax>(acc, vpick<T, kMax>(ld(pa[r] + x), ld(pb[r] + x)));
    st(out + x, acc);
  }
  if (x < n) {
    const int m = n - x;
    __m512i acc = vpick<T, kMax>(ldn(pa[0] + x, m), ldn(pb[0] + x, m));
    for (int r = 1; r < nr; ++r)
      acc = vpick<T, kMax>(acc, vpick<T, kMax>(ldn(pa[r] + x, m), ldn(pb[r] + x, m)));
    stn(out + x, acc, m);
  }
}

template <class T>
static void subtract(const T* a, const T* b, T* out, int n) {
  constexpr int kL = kLanes<T>;
  int x = 0;
  for (; x + kL <= n; x += kL) st(out + x, vsub<T>(ld(a + x), ld(b + x)));
  if (x < n) stn(out + x, vsub<T>(ldn(a + x, n - x), ldn(b + x, n - x)), n - x);
}

// 64 bit-packed pixels (8 bytes, most significant bit first) to 64 bytes of
// 0x00 or 0xFF, and back (any non-zero byte is a 1).
static inline void unpack64(const uint8_t* bytes, uint8_t* out) {
  uint64_t x;
  std::memcpy(&x, bytes, 8);
  _mm512_storeu_si512(out, _mm512_movm_epi8(__mmask64(reverse_bits_in_bytes(x))));
}
static inline void pack64(const uint8_t* px, uint8_t* bytes) {
  const __m512i v = _mm512_loadu_si512(px);
  const uint64_t x = reverse_bits_in_bytes(uint64_t(_mm512_test_epi8_mask(v, v)));
  std::memcpy(bytes, &x, 8);
}

}  // namespace avx512
ZUV_AVX512_END

namespace {

// The kernels of one call, chosen once.
template <class T, bool kMax>
struct Kernels {
  bool vec;
  void columns(const T* const* rows, int k, T* out, int n) const {
    vec ? avx512::columns<T, kMax>(rows, k, out, n) : ref::columns<T, kMax>(rows, k, out, n);
  }
  void columns2(const T* const* rows, int k, T* out0, T* out1, int n) const {
    vec ? avx512::columns2<T, kMax>(rows, k, out0, out1, n)
        : ref::columns2<T, kMax>(rows, k, out0, out1, n);
  }
  void pair(const T* a, const T* b, T* out, int n) const {
    vec ? avx512::pair<T, kMax>(a, b, out, n) : ref::pair<T, kMax>(a, b, out, n);
  }
  void window(const T* v, T* out, int n, int w, int s) const {
    vec ? avx512::window<T, kMax>(v, out, n, w, s) : ref::window<T, kMax>(v, out, n, w, s);
  }
  void offsets(const T* a, const int* o, int m, T* out, int n) const {
    vec ? avx512::offsets<T, kMax>(a, o, m, out, n) : ref::offsets<T, kMax>(a, o, m, out, n);
  }
  void step(const T* s, const T* p, const T* r, T* v, T* pout, int n) const {
    vec ? avx512::step<T, kMax>(s, p, r, v, pout, n) : ref::step<T, kMax>(s, p, r, v, pout, n);
  }
  void runs(const T* const* pa, const T* const* pb, int nr, T* out, int n) const {
    vec ? avx512::runs<T, kMax>(pa, pb, nr, out, n) : ref::runs<T, kMax>(pa, pb, nr, out, n);
  }
};

template <class T>
void subtract(bool vec, const T* a, const T* b, T* out, int n) {
  vec ? avx512::subtract<T>(a, b, out, n) : ref::subtract<T>(a, b, out, n);
}

// ---------------------------------------------------------------------------
// Bit-packed rows: pixel k of a byte is bit 7 - k. Unpacked pixels are 0x00 or
// 0xFF, so minimum and maximum are AND and OR, and a saturating byte
// subtraction is AND NOT.

inline int floor_div8(int v) { return v >= 0 ? v / 8 : -((7 - v) / 8); }

// Expands the bytes holding bit positions pos .. pos + count - 1 of `row` to 8
// pixels each; returns the pixel at bit position pos.
uint8_t* unpack_bits(const uint8_t* row, int pos, int count, uint8_t* out, bool vec) {
  const int b0 = floor_div8(pos), b1 = floor_div8(pos + count - 1);
  int b = b0;
  if (vec)
    for (; b + 8 <= b1 + 1; b += 8) avx512::unpack64(row + b, out + 8 * (b - b0));
  for (; b <= b1; ++b) {
    uint64_t x = uint64_t(row[b]) * 0x0101010101010101ull;
    x &= 0x0102040810204080ull;  // byte k keeps bit 7 - k
    x = ((x + 0x7F7F7F7F7F7F7F7Full) | x) & 0x8080808080808080ull;
    x = (x >> 7) * 0xFF;
    std::memcpy(out + 8 * (b - b0), &x, 8);
  }
  return out + (pos - 8 * b0);
}

// Packs count pixels (any non-zero byte is 1) into bits from position pos,
// keeping the other bits of the first and last byte.
void pack_bits(const uint8_t* px, int count, uint8_t* row, int pos, bool vec) {
  row += pos / 8;
  pos %= 8;
  int i = 0;
  if (pos != 0) {
    uint8_t b = *row;
    for (; i < count && pos < 8; ++i, ++pos) {
      const uint8_t bit = uint8_t(0x80u >> pos);
      b = px[i] ? uint8_t(b | bit) : uint8_t(b & ~bit);
    }
    *row++ = b;
  }
  if (vec)
    for (; i + 64 <= count; i += 64, row += 8) avx512::pack64(px + i, row);
  for (; i + 8 <= count; i += 8) {
    uint64_t x;
    std::memcpy(&x, px + i, 8);
    x = ((x & 0x7F7F7F7F7F7F7F7Full) + 0x7F7F7F7F7F7F7F7Full) | x;  // high bit: byte non-zero
    x = (x >> 7) & 0x0101010101010101ull;
    *row++ = uint8_t((x * 0x8040201008040201ull) >> 56);
  }
  if (i < count) {
    uint8_t b = *row;
    for (int k = 0; i < count; ++i, ++k) {
      const uint8_t bit = uint8_t(0x80u >> k);
      b = px[i] ? uint8_t(b | bit) : uint8_t(b & ~bit);
    }
    *row = b;
  }
}

// ---------------------------------------------------------------------------
// Geometry of one call: the ROI, how far the mask reaches around a pixel, and
// the widened region [xa, xb) x [ya, yb) that is read from memory (the ROI
// plus the reach on every side flagged as in memory).
struct Frame {
  int W, H;
  int L, R, T, B;
  int xa, xb, ya, yb;
  int mode;  // border rule outside the widened region: 0, 1 or 3
};

Frame frame_of(const ReplPart& st, ImageSize roi, int border) {
  Frame f{};
  f.W = roi.width;
  f.H = roi.height;
  if (st.strategy != kStrategyEmpty) {
    const int ox0 = st.rectX - st.ax, ox1 = st.rectX + st.rectW - 1 - st.ax;
    const int oy0 = st.rectY - st.ay, oy1 = st.rectY + st.rectH - 1 - st.ay;
    f.L = std::max(0, -ox0);
    f.R = std::max(0, ox1);
    f.T = std::max(0, -oy0);
    f.B = std::max(0, oy1);
  }
  int flags = border & 0xF0;
  int mode = border & ~0xF0;
  if (mode == BorderInMem) flags = 0xF0, mode = BorderRepl;
  f.mode = mode;
  f.xa = (flags & BorderInMemLeft) ? -f.L : 0;
  f.xb = (flags & BorderInMemRight) ? f.W + f.R : f.W;
  f.ya = (flags & BorderInMemTop) ? -f.T : 0;
  f.yb = (flags & BorderInMemBottom) ? f.H + f.B : f.H;
  return f;
}

// Rows of the widened region, each returned as a pointer to its column xa.
// In place, a source row is saved before its destination row is written, so
// later windows still read the source. Bit-packed rows are unpacked on demand
// into a ring keyed by row.
template <class T, int C>
struct Rows {
  const uint8_t* base = nullptr;  // ROI origin
  int step = 0;
  bool bits = false;
  int bit0 = 0;
  bool inplace = false;
  bool vec = false;
  Frame f{};
  const T* constRow = nullptr;
  uint8_t* ring = nullptr;
  int64_t ringStride = 0;
  int cap = 0;
  int32_t* tags = nullptr;
  int written = 0;

  int slot(int r) const { return ((r % cap) + cap) % cap; }
  T* slot_row(int s) const { return reinterpret_cast<T*>(ring + ringStride * s); }
  const T* memory_row(int r) const {
    return reinterpret_cast<const T*>(base + std::ptrdiff_t(r) * step) + std::ptrdiff_t(f.xa) * C;
  }

  const T* real(int r) {
    if (bits) {
      const int s = slot(r);
      T* out = slot_row(s);
      // Unpacked pixels start 0..7 bytes into the slot, at the bit's place in its byte.
      const int pos = bit0 + f.xa;
      if (tags[s] != r) {
        tags[s] = r;
        unpack_bits(base + std::ptrdiff_t(r) * step, pos, f.xb - f.xa, reinterpret_cast<uint8_t*>(out),
                    vec);
      }
      return reinterpret_cast<T*>(reinterpret_cast<uint8_t*>(out) + (pos - 8 * floor_div8(pos)));
    }
    if (inplace && r >= 0 && r < written) return slot_row(slot(r));
    return memory_row(r);
  }

  // Extended row e: a row of the widened region or one the border rule makes.
  const T* ext(int e) {
    if (e >= f.ya && e < f.yb) return real(e);
    if (f.mode == BorderConst) return constRow;
    if (f.mode == BorderRepl) return real(e < f.ya ? f.ya : f.yb - 1);
    return real(f.ya + border::mirror_index(e - f.ya, f.yb - f.ya));
  }

  void before_write(int y) {
    if (!inplace) return;
    std::memcpy(slot_row(slot(y)), memory_row(y), size_t(f.xb - f.xa) * C * sizeof(T));
    written = y + 1;
  }
};

// Fills columns [-L, xa) and [xb, W + R) of an extended row whose columns
// [xa, xb) hold data; `row` points to column -L.
template <class T, int C>
void fill_sides(T* row, const Frame& f, const T* value) {
  const int width = f.xb - f.xa;
  auto at = [&](int c) { return row + std::ptrdiff_t(c + f.L) * C; };
  auto fill = [&](int c) {
    T* d = at(c);
    if (f.mode == BorderConst) {
      for (int k = 0; k < C; ++k) d[k] = value[k];
      return;
    }
    const int src = f.mode == BorderRepl ? f.xa + border::replicate_index(c - f.xa, width)
                                         : f.xa + border::mirror_index(c - f.xa, width);
    const T* s = at(src);
    for (int k = 0; k < C; ++k) d[k] = s[k];
  };
  if (f.mode == BorderMirror) {
    for (int c = -f.L; c < f.xa; ++c) fill(c);
    for (int c = f.xb; c < f.W + f.R; ++c) fill(c);
    return;
  }
  // Constant and replicate: runs of one pixel value.
  auto run = [&](int c0, int c1, const T* px) {
    if (c0 >= c1) return;
    T* d = at(c0);
    if constexpr (C == 1) {
      std::fill(d, d + (c1 - c0), px[0]);
    } else {
      T p[C];
      for (int k = 0; k < C; ++k) p[k] = px[k];
      for (int c = c0; c < c1; ++c, d += C)
        for (int k = 0; k < C; ++k) d[k] = p[k];
    }
  };
  const bool repl = f.mode == BorderRepl;
  run(-f.L, f.xa, repl ? at(f.xa) : value);
  run(f.xb, f.W + f.R, repl ? at(f.xb - 1) : value);
}

// Where finished rows go: the destination directly, or through a temporary
// row that is combined with another image or packed into bits.
template <class T, int C>
struct Sink {
  uint8_t* dst = nullptr;
  int dstStep = 0;
  bool bits = false;
  int dstBit = 0;
  int W = 0;
  Post post{};
  T* tmp = nullptr;
  T* tmp2 = nullptr;
  Rows<T, C>* rows = nullptr;
  bool vec = false;

  bool direct() const { return !bits && post.kind == Combine::None; }
  T* dst_row(int y) const { return reinterpret_cast<T*>(dst + std::ptrdiff_t(y) * dstStep); }

  T* row(int y) {
    if (direct()) {
      rows->before_write(y);
      return dst_row(y);
    }
    return tmp;
  }

  // The other operand of the subtraction for row y (unpacked when bit-packed).
  const T* operand(const void* img, int step, int bit, int y) const {
    const uint8_t* r = static_cast<const uint8_t*>(img) + std::ptrdiff_t(y) * step;
    if (bits)
      return reinterpret_cast<const T*>(unpack_bits(r, bit, W, reinterpret_cast<uint8_t*>(tmp2), vec));
    return reinterpret_cast<const T*>(r);
  }

  void commit(int y) {
    if (direct()) return;
    const int n = W * C;
    // The operand is read before the destination row is written (it may be
    // that row), and the source row is saved first when working in place.
    rows->before_write(y);
    T* out = bits ? tmp : dst_row(y);
    switch (post.kind) {
      case Combine::None: break;
      case Combine::SrcMinusResult:
        subtract<T>(vec, operand(post.src, post.srcStep, post.srcBit, y), tmp, out, n);
        break;
      case Combine::ResultMinusSrc:
        subtract<T>(vec, tmp, operand(post.src, post.srcStep, post.srcBit, y), out, n);
        break;
      case Combine::ResultMinusOther:
        subtract<T>(vec, tmp, operand(post.other, post.otherStep, post.otherBit, y), out, n);
        break;
    }
    if (bits)
      pack_bits(reinterpret_cast<const uint8_t*>(tmp), W, dst + std::ptrdiff_t(y) * dstStep, dstBit, vec);
  }
};

// ---------------------------------------------------------------------------
// The three strategies.

template <class T, int C>
void run_copy(Rows<T, C>& rows, Sink<T, C>& sink, const Frame& f) {
  for (int y = 0; y < f.H; ++y) {
    const T* s = rows.real(y) + std::ptrdiff_t(-f.xa) * C;
    T* d = sink.row(y);
    if (d != s) std::memmove(d, s, size_t(f.W) * C * sizeof(T));
    sink.commit(y);
  }
}

template <class T, int C, bool kMax>
void run_rect(const ReplPart& st, Rows<T, C>& rows, Sink<T, C>& sink, const Frame& f,
              const T* value, uint8_t* work, const Layout& lay, const Kernels<T, kMax>& k) {
  const int rw = st.rectW, rh = st.rectH;
  const int ox0 = st.rectX - st.ax, oy0 = st.rectY - st.ay;
  const int nReal = (f.xb - f.xa) * C;
  const int n = f.W * C;
  T* vrow = reinterpret_cast<T*>(work + lay.v);        // column -L
  T* vreal = vrow + std::ptrdiff_t(f.xa + f.L) * C;    // column xa
  T* v0 = vrow + std::ptrdiff_t(ox0 + f.L) * C;        // first column of the window of pixel 0

  // Row pass of the finished column extrema in vreal, into output row y.
  // Row pass of the finished column extrema in the extended row `vr`, into output row y.
  auto finish = [&](int y, T* vr) {
    fill_sides<T, C>(vr, f, value);
    T* v = vr + (v0 - vrow);
    T* out = sink.row(y);
    if (rw <= kDirectCols || doubles<T>(rw, C)) {
      k.window(v, out, n, rw, C);
    } else {
      // Windows of 4 or 5 pixels in place (where their shifts stay inside
      // 16-byte lanes), then their union at offsets 0, 4, 8, ... (for 1- and
      // 2-byte single-channel rows whole dwords, taken as dword shifts of
      // vectors already loaded).
      const int m4 = rw / 4, wa = rw - 4 * (m4 - 1);
      if (m4 <= 6 && wa <= 5 && (wa - 1) * C * int(sizeof(T)) < 16) {
        k.window(v, v, n + 4 * (m4 - 1) * C, wa, C);
        int off[6];
        for (int i = 0; i < m4; ++i) off[i] = 4 * i * C;
        k.offsets(v, off, m4, out, n);
        sink.commit(y);
        return;
      }
      // Otherwise spans of 4, 16, 64, ... pixels in place, then the window as
      // the union of at most six overlapping spans.
      int span = 1;
      while ((rw + span - 1) / span > 6) {
        k.window(v, v, n + (rw - 4 * span) * C, 4, span * C);
        span *= 4;
      }
      int off[6];
      const int m = (rw + span - 1) / span;
      for (int i = 0; i + 1 < m; ++i) off[i] = i * span * C;
      off[m - 1] = (rw - span) * C;
      k.offsets(v, off, m, out, n);
    }
    sink.commit(y);
  };

  if (rh <= kDirectRows) {
    // Two output rows at a time share the rows between their windows.
    T* vrow2 = reinterpret_cast<T*>(work + lay.p);
    T* vreal2 = vrow2 + (vreal - vrow);
    const T* rp[kDirectRows + 1];
    int y = 0;
    if (rh >= 2) {
      for (; y + 1 < f.H; y += 2) {
        for (int j = 0; j <= rh; ++j) rp[j] = rows.ext(y + oy0 + j);
        k.columns2(rp, rh, vreal, vreal2, nReal);
        finish(y, vrow);
        finish(y + 1, vrow2);
      }
    }
    for (; y < f.H; ++y) {
      for (int j = 0; j < rh; ++j) rp[j] = rows.ext(y + oy0 + j);
      if (rh == 1) std::memcpy(vreal, rp[0], size_t(nReal) * sizeof(T));
      else k.columns(rp, rh, vreal, nReal);
      finish(y, vrow);
    }
    return;
  }

  // Block method over the extended rows t = 0 .. H + rh - 2 (row oy0 + t):
  // the window of output y is [y, y + rh - 1] and meets at most two blocks of
  // rh rows, so it is the suffix extremum of its first block joined with the
  // prefix extremum of the next.
  const int nt = f.H + rh - 1;
  T* sfx = reinterpret_cast<T*>(work + lay.s);
  T* pfx = reinterpret_cast<T*>(work + lay.p);
  const int64_t stride = lay.rowBytes / int64_t(sizeof(T));
  auto srow = [&](int i) { return sfx + stride * i; };
  auto suffix = [&](int b) {
    const int t0 = b * rh, t1 = std::min(t0 + rh, nt) - 1;
    std::memcpy(srow(t1 - t0), rows.ext(oy0 + t1), size_t(nReal) * sizeof(T));
    for (int i = t1 - t0 - 1; i >= 0; --i) k.pair(rows.ext(oy0 + t0 + i), srow(i + 1), srow(i), nReal);
  };
  suffix(0);
  for (int b = 0; b * rh < f.H; ++b) {
    const T* p = nullptr;
    for (int i = 0; i < rh; ++i) {
      const int y = b * rh + i;
      if (y >= f.H) break;
      const int t = (b + 1) * rh + i;
      const bool more = i + 1 < rh && t < nt && y + 1 < f.H;
      if (i == 0) {
        std::memcpy(vreal, srow(0), size_t(nReal) * sizeof(T));
        if (more) {
          p = rows.ext(oy0 + t);
          if (rows.inplace) {  // the row may be the destination row about to be written
            std::memcpy(pfx, p, size_t(nReal) * sizeof(T));
            p = pfx;
          }
        }
      } else if (more) {
        // The source row is read before the destination row y is written.
        k.step(srow(i), p, rows.ext(oy0 + t), vreal, pfx, nReal);
        p = pfx;
      } else {
        k.pair(srow(i), p, vreal, nReal);
      }
      finish(y, vrow);
    }
    if ((b + 1) * rh < nt && (b + 1) * rh < f.H) suffix(b + 1);
  }
}

template <class T, int C, bool kMax>
void run_runs(const ReplPart& st, const Run* runs, Rows<T, C>& rows, Sink<T, C>& sink,
              const Frame& f, const T* value, uint8_t* work, const Layout& lay,
              const Kernels<T, kMax>& k) {
  const int rh = st.rectH;
  const int oy0 = st.rectY - st.ay;
  const int levels = floor_log2(st.maxRunLen) + 1;
  const int nReal = (f.xb - f.xa) * C;
  const int nExt = (f.W + f.L + f.R) * C;
  const int n = f.W * C;
  const int64_t stride = lay.rowBytes / int64_t(sizeof(T));
  T* tables = reinterpret_cast<T*>(work + lay.levels);
  auto table = [&](int slot, int level) { return tables + stride * (int64_t(slot) * levels + level); };
  const T** pa = reinterpret_cast<const T**>(work + lay.ptrs);
  const T** pb = pa + st.runCount;

  // Level l of extended row e holds extrema over 2^l pixels.
  auto build = [&](int e) {
    const int s = (e - oy0) % rh;
    T* t0 = table(s, 0);
    std::memcpy(t0 + std::ptrdiff_t(f.xa + f.L) * C, rows.ext(e), size_t(nReal) * sizeof(T));
    fill_sides<T, C>(t0, f, value);
    for (int l = 1; l < levels; ++l) {
      const int len = nExt - ((1 << l) - 1) * C;
      if (len <= 0) break;
      k.pair(table(s, l - 1), table(s, l - 1) + (1 << (l - 1)) * C, table(s, l), len);
    }
  };
  for (int j = 0; j < rh - 1; ++j) build(oy0 + j);
  for (int y = 0; y < f.H; ++y) {
    build(y + oy0 + rh - 1);
    for (int r = 0; r < st.runCount; ++r) {
      const Run& run = runs[r];
      const int s = (y + run.row - st.ay - oy0) % rh;
      const int l = floor_log2(run.len);
      pa[r] = table(s, l) + std::ptrdiff_t(run.col - st.ax + f.L) * C;
      pb[r] = pa[r] + (run.len - (1 << l)) * C;
    }
    T* out = sink.row(y);
    k.runs(pa, pb, st.runCount, out, n);
    sink.commit(y);
  }
}

// An ellipse as the union of nested rectangles: for each distinct run length,
// the rows whose run is at least that long. The column extrema of the
// tallest-but-narrowest rectangles grow from those of the shorter, wider ones
// by the extra rows; each output pixel then takes the row window of every
// rectangle over its column extrema.
template <class T, int C, bool kMax>
void run_bands(const ReplPart& st, const Run* runs, Rows<T, C>& rows, Sink<T, C>& sink,
               const Frame& f, const T* value, uint8_t* work, const Layout& lay,
               const Kernels<T, kMax>& k) {
  int lens[kMaxBands], a[kMaxBands], b[kMaxBands], col[kMaxBands];
  int K = 0;
  for (int r = 0; r < st.runCount; ++r) {
    bool seen = false;
    for (int i = 0; i < K; ++i) seen |= lens[i] == runs[r].len;
    if (!seen) lens[K++] = runs[r].len;
  }
  std::sort(lens, lens + K, [](int p, int q) { return p > q; });
  const int centre2 = 2 * runs[0].col + runs[0].len - 1;
  for (int i = 0; i < K; ++i) {
    a[i] = INT_MAX, b[i] = INT_MIN;
    for (int r = 0; r < st.runCount; ++r)
      if (runs[r].len >= lens[i]) a[i] = std::min(a[i], runs[r].row), b[i] = std::max(b[i], runs[r].row);
    col[i] = (centre2 - lens[i] + 1) / 2;
  }
  const int nReal = (f.xb - f.xa) * C;
  const int n = f.W * C;
  const int64_t stride = lay.rowBytes / int64_t(sizeof(T));
  T* vbase = reinterpret_cast<T*>(work + lay.levels);
  auto vrow = [&](int i) { return vbase + stride * i; };             // column -L
  auto vreal = [&](int i) { return vrow(i) + std::ptrdiff_t(f.xa + f.L) * C; };
  const T** hp = reinterpret_cast<const T**>(work + lay.ptrs);
  int nh = 0;
  for (int i = 0; i < K; ++i)
    for (int t = 0; t < lens[i]; ++t) hp[nh++] = vrow(i) + std::ptrdiff_t(col[i] - st.ax + f.L + t) * C;
  const T** vp = hp + nh;
  for (int y = 0; y < f.H; ++y) {
    for (int i = 0; i < K; ++i) {
      int m = 0;
      if (i == 0) {
        for (int j = a[0]; j <= b[0]; ++j) vp[m++] = rows.ext(y + j - st.ay);
      } else {
        vp[m++] = vreal(i - 1);
        for (int j = a[i]; j < a[i - 1]; ++j) vp[m++] = rows.ext(y + j - st.ay);
        for (int j = b[i - 1] + 1; j <= b[i]; ++j) vp[m++] = rows.ext(y + j - st.ay);
      }
      if (m == 1) std::memcpy(vreal(i), vp[0], size_t(nReal) * sizeof(T));
      else k.columns(vp, m, vreal(i), nReal);
      fill_sides<T, C>(vrow(i), f, value);
    }
    T* out = sink.row(y);
    k.columns(hp, nh, out, n);
    sink.commit(y);
  }
}

template <class T, int C, bool kMax>
void run_all(const ReplPart& st, Rows<T, C>& rows, Sink<T, C>& sink, const Frame& f,
             const T* value, uint8_t* work, const Layout& lay, bool vec) {
  const Kernels<T, kMax> k{vec};
  const auto* base = reinterpret_cast<const uint8_t*>(&st);
  switch (st.strategy) {
    case kStrategyEmpty:
      run_copy<T, C>(rows, sink, f);
      break;
    case kStrategyRect:
      if (st.rectW == 1 && st.rectH == 1 && st.rectX == st.ax && st.rectY == st.ay)
        run_copy<T, C>(rows, sink, f);
      else
        run_rect<T, C, kMax>(st, rows, sink, f, value, work, lay, k);
      break;
    default:
      if (st.bands)
        run_bands<T, C, kMax>(st, reinterpret_cast<const Run*>(base + st.runsOffset), rows, sink,
                              f, value, work, lay, k);
      else
        run_runs<T, C, kMax>(st, reinterpret_cast<const Run*>(base + st.runsOffset), rows, sink,
                             f, value, work, lay, k);
      break;
  }
}

// Shared part of a checked call: sets up rows and sink in the work buffer.
template <class T, int C>
void execute(Op op, const ReplPart& st, const uint8_t* src, int srcStep, bool srcBits, int srcBit,
             uint8_t* dst, int dstStep, int dstBit, ImageSize roi, int border, const T* value,
             void* buf, const Post& post) {
  const Layout lay = layout_of(st.maxWidth, st.maskW, st.maskH, st.elemBytes, st.channels);
  uint8_t* work = align64(static_cast<uint8_t*>(buf));
  const Frame f = frame_of(st, roi, border);
  const bool vec = use_avx512();

  Rows<T, C> rows;
  rows.base = src;
  rows.step = srcStep;
  rows.bits = srcBits;
  rows.bit0 = srcBit;
  rows.vec = vec;
  rows.f = f;
  rows.ring = work + lay.ring;
  rows.ringStride = lay.rowBytes;
  rows.cap = lay.ringRows;
  rows.tags = reinterpret_cast<int32_t*>(work + lay.tags);
  for (int i = 0; i < rows.cap; ++i) rows.tags[i] = INT_MIN;
  // In place: the destination overwrites source rows that later windows read.
  rows.inplace = !srcBits && src == dst;

  T* constRow = reinterpret_cast<T*>(work + lay.constRow);
  // The constant is read only where some side is generated.
  const bool generated = f.xa > -f.L || f.xb < f.W + f.R || f.ya > -f.T || f.yb < f.H + f.B;
  if (f.mode == BorderConst && generated) {
    const int cols = f.W + f.L + f.R;
    for (int c = 0; c < cols; ++c)
      for (int k = 0; k < C; ++k) constRow[c * C + k] = value[k];
  }
  rows.constRow = constRow;

  Sink<T, C> sink;
  sink.dst = dst;
  sink.dstStep = dstStep;
  sink.bits = srcBits;
  sink.dstBit = dstBit;
  sink.W = roi.width;
  sink.post = post;
  sink.tmp = reinterpret_cast<T*>(work + lay.out);
  sink.tmp2 = reinterpret_cast<T*>(work + lay.other);
  sink.rows = &rows;
  sink.vec = vec;

  if (op == Op::Erode) run_all<T, C, false>(st, rows, sink, f, value, work, lay, vec);
  else run_all<T, C, true>(st, rows, sink, f, value, work, lay, vec);
}

bool mode_ok(int border, bool bits) {
  const int mode = border & ~0xF0;
  return mode == BorderConst || mode == BorderRepl || mode == BorderInMem ||
         (!bits && mode == BorderMirror);
}

}  // namespace

// ---------------------------------------------------------------------------
// Sizes and set-up.

int64_t state_bytes(ImageSize mask) {
  const int64_t cells = int64_t(mask.width) * mask.height;
  return 64 + round_up(sizeof(ReplPart), 64) + round_up(cells, 64) +
         round_up(max_runs(mask.width, mask.height) * int64_t(sizeof(Run)), 64) +
         round_up(sizeof(ConstPart), 64) + round_up(cells, 64);
}

int64_t work_bytes(int maxWidth, ImageSize mask, int elemBytes, int channels) {
  return layout_of(maxWidth, mask.width, mask.height, elemBytes, channels).total;
}

Status get_size(ImageSize roi, ImageSize mask, int elemBytes, int channels, int* specSize,
                int* bufSize) {
  ZUV_TRY(check::not_null(specSize, bufSize));
  if (roi.width < 1 || roi.height < 1 || mask.width < 1 || mask.height < 1) return StatusSize;
  const int64_t s = state_bytes(mask);
  const int64_t b = work_bytes(roi.width, mask, elemBytes, channels);
  if (s > INT_MAX || b > INT_MAX) return StatusSizeOverflow;
  *specSize = int(s);
  *bufSize = int(b);
  return StatusOk;
}

Status init(ImageSize roi, const uint8_t* mask, ImageSize maskSize, int elemBytes, int channels,
            void* spec, void* buf) {
  ZUV_TRY(check::not_null(mask, static_cast<const uint8_t*>(spec), static_cast<const uint8_t*>(buf)));
  if (roi.width < 1 || roi.height < 1 || maskSize.width < 1 || maskSize.height < 1)
    return StatusSize;
  const int mw = maskSize.width, mh = maskSize.height;
  const int ax = (mw - 1) / 2, ay = (mh - 1) / 2;
  if (ax < 0 || ax >= mw || ay < 0 || ay >= mh) return StatusAnchor;

  uint8_t* base = align64(static_cast<uint8_t*>(spec));
  auto* st = reinterpret_cast<ReplPart*>(base);
  std::memset(st, 0, sizeof(ReplPart));
  const int64_t cells = int64_t(mw) * mh;
  st->elemBytes = elemBytes;
  st->channels = channels;
  st->maxWidth = roi.width;
  st->maskW = mw;
  st->maskH = mh;
  st->ax = ax;
  st->ay = ay;
  st->maskOffset = int32_t(round_up(sizeof(ReplPart), 64));
  st->runsOffset = int32_t(st->maskOffset + round_up(cells, 64));
  st->constOffset =
      int32_t(st->runsOffset + round_up(max_runs(mw, mh) * int64_t(sizeof(Run)), 64));
  uint8_t* maskCopy = base + st->maskOffset;
  for (int64_t i = 0; i < cells; ++i) maskCopy[i] = mask[i] != 0;

  // Classification: bounding rectangle of the members, their row runs.
  int x0 = mw, x1 = -1, y0 = mh, y1 = -1;
  int64_t members = 0;
  for (int y = 0; y < mh; ++y)
    for (int x = 0; x < mw; ++x)
      if (maskCopy[int64_t(y) * mw + x]) {
        ++members;
        x0 = std::min(x0, x), x1 = std::max(x1, x);
        y0 = std::min(y0, y), y1 = std::max(y1, y);
      }
  Run* runs = reinterpret_cast<Run*>(base + st->runsOffset);
  int32_t count = 0, longest = 1;
  bool ellipse = members > 0;
  int prevLen = 0, centre2 = -1;
  bool narrowing = false;
  for (int y = 0; y < mh; ++y) {
    int rowRuns = 0;
    for (int x = 0; x < mw;) {
      if (!maskCopy[int64_t(y) * mw + x]) {
        ++x;
        continue;
      }
      int e = x;
      while (e < mw && maskCopy[int64_t(y) * mw + e]) ++e;
      runs[count++] = Run{y, x, e - x};
      longest = std::max(longest, e - x);
      ++rowRuns;
      if (ellipse && y >= y0 && y <= y1) {
        // One run per row, all centred on one column, widening then narrowing.
        const int c2 = x + e - 1;
        if (centre2 < 0) centre2 = c2;
        const int len = e - x;
        if (c2 != centre2) ellipse = false;
        if (len < prevLen) narrowing = true;
        else if (len > prevLen && narrowing) ellipse = false;
        prevLen = len;
      }
      x = e;
    }
    if (y >= y0 && y <= y1 && rowRuns != 1) ellipse = false;
  }
  st->runCount = count;
  st->maxRunLen = longest;
  if (members == 0) {
    st->strategy = kStrategyEmpty;
    st->rectW = st->rectH = 1;
    st->rectX = ax, st->rectY = ay;
  } else {
    st->rectX = x0, st->rectY = y0;
    st->rectW = x1 - x0 + 1, st->rectH = y1 - y0 + 1;
    st->rectAx = ax - x0, st->rectAy = ay - y0;
    if (members == int64_t(st->rectW) * st->rectH) st->strategy = kStrategyRect;
    else if (ellipse) st->strategy = kStrategyEllipse;
    else st->strategy = kStrategyGeneral;
  }
  if (st->strategy == kStrategyEllipse) {
    // Nested rectangles when their loads per pixel undercut the run tables'.
    int distinct = 0;
    int64_t widths = 0;
    for (int r = 0; r < count; ++r) {
      bool seen = false;
      for (int q = 0; q < r; ++q) seen |= runs[q].len == runs[r].len;
      if (!seen) ++distinct, widths += runs[r].len;
    }
    const int64_t bandCost = st->rectH + 2 * distinct + widths;
    const int64_t runCost = 2 * int64_t(count) + 3 * (floor_log2(longest) + 1);
    st->bands = distinct <= kMaxBands && bandCost <= runCost &&
                widths + mh + 1 <= 2 * max_runs(mw, mh);
  }
  const Layout lay = layout_of(roi.width, mw, mh, elemBytes, channels);
  st->minWork = st->maxWork = int32_t(std::min<int64_t>(lay.regionA, INT_MAX));
  st->constWorkOffset = int32_t(std::min<int64_t>(lay.regionA, INT_MAX));

  auto* cp = reinterpret_cast<ConstPart*>(base + st->constOffset);
  cp->maskW = mw;
  cp->maskH = mh;
  cp->maskOffset = int32_t(round_up(sizeof(ConstPart), 64));
  std::memcpy(reinterpret_cast<uint8_t*>(cp) + cp->maskOffset, maskCopy, size_t(cells));
  int32_t flags = 0;
  if (members == 0) flags |= kFlagEmpty;
  if (members == cells) flags |= kFlagFilled;
  if (members > 0 && (x0 > 0 || y0 > 0 || x1 < mw - 1 || y1 < mh - 1)) flags |= kFlagTrimmable;
  if (members == 0) flags |= kFlagTrimmable;
  cp->flags = flags;
  return StatusOk;
}

int strategy_of(const void* spec) { return repl_of(spec)->strategy; }

template <class T, int C>
Status apply(Op op, const T* src, int srcStep, T* dst, int dstStep, ImageSize roi,
             BorderType border, const T* value, const void* spec, void* buf, const Post& post) {
  ZUV_TRY(check::not_null(src, dst, static_cast<const uint8_t*>(spec),
                          static_cast<const uint8_t*>(buf)));
  ZUV_TRY(check::border_value<C>(value, border));
  ZUV_TRY(check::roi(roi));
  ZUV_TRY((check::step_of<T, C>(srcStep, roi)));
  ZUV_TRY((check::step_of<T, C>(dstStep, roi)));
  ZUV_TRY(check::multiples<T>(srcStep, dstStep));
  if (!mode_ok(border, false)) return StatusBorder;
  const ReplPart& st = *repl_of(spec);
  if (roi.width > st.maxWidth) return StatusBadArgument;
  if constexpr (sizeof(T) == 2) {
    if (static_cast<const void*>(src) == static_cast<const void*>(dst))
      return StatusInplaceNotSupported;
  }
  execute<T, C>(op, st, reinterpret_cast<const uint8_t*>(src), srcStep, false, 0,
                reinterpret_cast<uint8_t*>(dst), dstStep, 0, roi, border, value, buf, post);
  return StatusOk;
}

Status apply_1u(Op op, const uint8_t* src, int srcStep, int srcBit, uint8_t* dst, int dstStep,
                int dstBit, ImageSize roi, BorderType border, uint8_t value, const void* spec,
                void* buf, const Post& post) {
  ZUV_TRY(check::not_null(src, dst, static_cast<const uint8_t*>(spec),
                          static_cast<const uint8_t*>(buf)));
  if (srcBit < 0 || dstBit < 0) return StatusBadArgument;
  ZUV_TRY(check::roi(roi));
  ZUV_TRY(check::step(srcStep, (int64_t(roi.width) + srcBit + 7) / 8));
  ZUV_TRY(check::step(dstStep, (int64_t(roi.width) + dstBit + 7) / 8));
  if (!mode_ok(border, true)) return StatusBorder;
  const ReplPart& st = *repl_of(spec);
  if (roi.width > st.maxWidth) return StatusBadArgument;
  if (src == dst) return StatusInplaceNotSupported;
  const uint8_t v = value ? 0xFF : 0x00;
  execute<uint8_t, 1>(op, st, src + srcBit / 8, srcStep, true, srcBit % 8, dst + dstBit / 8,
                      dstStep, dstBit % 8, roi, border, &v, buf, post);
  return StatusOk;
}

#define ZUV_MORPH_INSTANTIATE(T, C)                                                          \
  template Status apply<T, C>(Op, const T*, int, T*, int, ImageSize, BorderType, const T*, \
                              const void*, void*, const Post&);
ZUV_MORPH_INSTANTIATE(uint8_t, 1)
ZUV_MORPH_INSTANTIATE(uint8_t, 3)
ZUV_MORPH_INSTANTIATE(uint8_t, 4)
ZUV_MORPH_INSTANTIATE(float, 1)
ZUV_MORPH_INSTANTIATE(float, 3)
ZUV_MORPH_INSTANTIATE(float, 4)
ZUV_MORPH_INSTANTIATE(uint16_t, 1)
ZUV_MORPH_INSTANTIATE(int16_t, 1)
#undef ZUV_MORPH_INSTANTIATE

}  // namespace zuv::morph

// ---------------------------------------------------------------------------
// Exports.

using zuv::morph::Op;

#define ZUV_MORPH_SETUP(gs, in, T, C)                                                          \
  ZUV_EXPORT(gs, (ImageSize roiSize, ImageSize maskSize, int32_t* pSpecSize, int32_t* pBufferSize),   \
             (zuv::morph::get_size(roiSize, maskSize, int(sizeof(T)), C, pSpecSize,            \
                                   pBufferSize)))                                              \
  ZUV_EXPORT(in, (ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize,                 \
                  MorphState* pMorphSpec, uint8_t* pBuffer),                                   \
             (zuv::morph::init(roiSize, pMask, maskSize, int(sizeof(T)), C, pMorphSpec, pBuffer)))

#define ZUV_MORPH_OP_Value(name, op, T, C)                                                      \
  ZUV_EXPORT(name, (const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roiSize,        \
                    BorderType borderType, T borderValue, const MorphState* pMorphSpec,         \
                    uint8_t* pBuffer),                                                          \
             (zuv::morph::apply<T, C>(Op::op, pSrc, srcStep, pDst, dstStep, roiSize, borderType, \
                                      &borderValue, pMorphSpec, pBuffer)))
#define ZUV_MORPH_OP_Last(name, op, T, C)                                                       \
  ZUV_EXPORT(name, (const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roiSize,        \
                    BorderType borderType, const MorphState* pMorphSpec, uint8_t* pBuffer,      \
                    T borderValue),                                                             \
             (zuv::morph::apply<T, C>(Op::op, pSrc, srcStep, pDst, dstStep, roiSize, borderType, \
                                      &borderValue, pMorphSpec, pBuffer)))
#define ZUV_MORPH_OP_Array(name, op, T, C)                                                      \
  ZUV_EXPORT(name, (const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roiSize,        \
                    BorderType borderType, const T borderValue[C], const MorphState* pMorphSpec, \
                    uint8_t* pBuffer),                                                          \
             (zuv::morph::apply<T, C>(Op::op, pSrc, srcStep, pDst, dstStep, roiSize, borderType, \
                                      borderValue, pMorphSpec, pBuffer)))

#define X(gs, in, er, di, T, C, kind) \
  ZUV_MORPH_SETUP(gs, in, T, C)       \
  ZUV_MORPH_OP_##kind(er, Erode, T, C) \
  ZUV_MORPH_OP_##kind(di, Dilate, T, C)
ZUV_MORPHOLOGY_TABLE(X)
#undef X

#define X(gs, in, er, di)                                                                       \
  ZUV_EXPORT(gs, (ImageSize roiSize, ImageSize maskSize, int32_t* pSpecSize, int32_t* pBufferSize),    \
             (zuv::morph::get_size(roiSize, maskSize, 0, 1, pSpecSize, pBufferSize)))           \
  ZUV_EXPORT(in, (ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize,                  \
                  MorphState* pMorphSpec, uint8_t* pBuffer),                                    \
             (zuv::morph::init(roiSize, pMask, maskSize, 0, 1, pMorphSpec, pBuffer)))           \
  ZUV_EXPORT(er, (const uint8_t* pSrc, int srcStep, int srcBitOffset, uint8_t* pDst,            \
                  int dstStep, int dstBitOffset, ImageSize roiSize, BorderType borderType,      \
                  uint8_t borderValue, const MorphState* pMorphSpec, uint8_t* pBuffer),         \
             (zuv::morph::apply_1u(Op::Erode, pSrc, srcStep, srcBitOffset, pDst, dstStep,       \
                                   dstBitOffset, roiSize, borderType, borderValue, pMorphSpec,  \
                                   pBuffer)))                                                   \
  ZUV_EXPORT(di, (const uint8_t* pSrc, int srcStep, int srcBitOffset, uint8_t* pDst,            \
                  int dstStep, int dstBitOffset, ImageSize roiSize, BorderType borderType,      \
                  uint8_t borderValue, const MorphState* pMorphSpec, uint8_t* pBuffer),         \
             (zuv::morph::apply_1u(Op::Dilate, pSrc, srcStep, srcBitOffset, pDst, dstStep,      \
                                   dstBitOffset, roiSize, borderType, borderValue, pMorphSpec,  \
                                   pBuffer)))
ZUV_MORPHOLOGY_1U_TABLE(X)
#undef X
