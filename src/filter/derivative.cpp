// SPDX-License-Identifier: BSD-3-Clause
// Separable 3x3/5x5 derivative and smoothing engine with borders; internal Sobel and Scharr filters.
#include "filter/derivative.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <type_traits>

#include "core/check.h"
#include "core/cpu.h"
#include "core/image.h"
#include "core/simd.h"

namespace zuv::derivative {
namespace {

// Horizontal cores. Lap5 writes two intermediate rows (the 1 0 -2 0 1 row
// first, then the 1 4 6 4 1 row); every other core writes one. Dx3 and Dx5
// are the correlations with (-1, 0, 1) and (-1, -2, 0, 2, 1) summed tap by tap
// in tap order, as the float pipelines sum (the float cross derivative).
enum class RowOp { Diff3, NDiff3, Smooth3, Scharr3, Diff5, NDiff5, Smooth5, Lap3, Lap5, Box3, Box5, Dx3, Dx5 };
// Vertical cores. Down: R(y+1) - R(y-1) style, Up: R(y-1) - R(y+1) style.
// DxNeg3 and DxNeg5: tap by tap with (1, 0, -1) and (1, 2, 0, -2, -1).
enum class ColOp { Smooth3, Smooth5, Down3, Down5, Up3, Up5, ScharrV, Lap3, Lap5, Box3, Box5, DxNeg3, DxNeg5 };

constexpr int radius(RowOp op) {
  return (op == RowOp::Diff5 || op == RowOp::NDiff5 || op == RowOp::Smooth5 || op == RowOp::Lap5 ||
          op == RowOp::Box5 || op == RowOp::Dx5)
             ? 2
             : 1;
}
constexpr int outputs(RowOp op) { return op == RowOp::Lap5 ? 2 : 1; }

// Mirror about the edge pixel without repeating it, periodic so that borders
// wider than the region keep reflecting; one pixel acts as replicate.
inline int reflect101(int i, int n) {
  if (n == 1) return 0;
  const int p = 2 * n - 2;
  int m = i % p;
  if (m < 0) m += p;
  return m < n ? m : p - m;
}
// Mirror with the edge pixel repeated (S(-1) = S(0), S(-2) = S(1)), periodic.
inline int reflect(int i, int n) {
  const int p = 2 * n;
  int m = i % p;
  if (m < 0) m += p;
  return m < n ? m : p - 1 - m;
}

constexpr int kConst = INT_MIN;

// Source index of coordinate i on an axis of n pixels: i itself inside the
// region or on a side that is in memory, kConst for a generated constant,
// else the index the mode maps it to.
inline int map_index(int i, int n, int mode, bool lowInMem, bool highInMem) {
  if (i >= 0 && i < n) return i;
  if (i < 0 ? lowInMem : highInMem) return i;
  switch (mode) {
    case BorderConst: return kConst;
    case BorderRepl: return i < 0 ? 0 : n - 1;
    case BorderMirror: return reflect101(i, n);
    default: return reflect(i, n);
  }
}

}  // namespace

Border decode(int borderType) {
  if ((borderType & 15) == BorderInMem) return Border{BorderConst, true, true, true, true};
  return Border{borderType & 15, (borderType & BorderInMemTop) != 0,
                (borderType & BorderInMemBottom) != 0, (borderType & BorderInMemLeft) != 0,
                (borderType & BorderInMemRight) != 0};
}

namespace ref {

// One horizontal output from the window s[0 .. 2r] (A: int32_t or float; the
// float order of operations is the one the vector kernels use).
template <RowOp op, class A>
inline void row_core(const A* s, A* o) {
  if constexpr (op == RowOp::Diff3) o[0] = s[0] - s[2];
  else if constexpr (op == RowOp::NDiff3) o[0] = s[2] - s[0];
  else if constexpr (op == RowOp::Smooth3) o[0] = (s[0] + A(2) * s[1]) + s[2];
  else if constexpr (op == RowOp::Scharr3) o[0] = A(3) * (s[0] + s[2]) + A(10) * s[1];
  else if constexpr (op == RowOp::Diff5) o[0] = (s[0] - s[4]) + A(2) * (s[1] - s[3]);
  else if constexpr (op == RowOp::NDiff5) o[0] = (s[4] - s[0]) + A(2) * (s[3] - s[1]);
  else if constexpr (op == RowOp::Smooth5)
    o[0] = (((s[0] + A(4) * s[1]) + A(6) * s[2]) + A(4) * s[3]) + s[4];
  else if constexpr (op == RowOp::Lap3) o[0] = s[0] + s[2];
  else if constexpr (op == RowOp::Lap5) {
    o[0] = (s[0] + s[4]) - A(2) * s[2];
    o[1] = (((s[0] + A(4) * s[1]) + A(6) * s[2]) + A(4) * s[3]) + s[4];
  } else if constexpr (op == RowOp::Box3) o[0] = (s[0] + s[1]) + s[2];
  else if constexpr (op == RowOp::Dx3) o[0] = (A(-1) * s[0] + A(0) * s[1]) + A(1) * s[2];
  else if constexpr (op == RowOp::Dx5)
    o[0] = (((A(-1) * s[0] + A(-2) * s[1]) + A(0) * s[2]) + A(2) * s[3]) + A(1) * s[4];
  else o[0] = (((s[0] + s[1]) + s[2]) + s[3]) + s[4];
}

// One vertical output from a[0 .. k-1] (first intermediate rows, top first),
// b[] (second intermediate rows of Lap5) and c (the source pixel, Lap3).
// Box cores include the destination scaling.
template <ColOp op, class A>
inline A col_core(const A* a, const A* b, A c) {
  if constexpr (op == ColOp::Smooth3) return (a[0] + A(2) * a[1]) + a[2];
  else if constexpr (op == ColOp::Smooth5)
    return (((a[0] + A(4) * a[1]) + A(6) * a[2]) + A(4) * a[3]) + a[4];
  else if constexpr (op == ColOp::Down3) return a[2] - a[0];
  else if constexpr (op == ColOp::Down5) return (a[4] - a[0]) + A(2) * (a[3] - a[1]);
  else if constexpr (op == ColOp::Up3) return a[0] - a[2];
  else if constexpr (op == ColOp::Up5) return (a[0] - a[4]) + A(2) * (a[1] - a[3]);
  else if constexpr (op == ColOp::ScharrV) return A(-3) * (a[0] + a[2]) - A(10) * a[1];
  else if constexpr (op == ColOp::Lap3) return A(2) * (a[0] + a[2]) - A(8) * c;
  else if constexpr (op == ColOp::Lap5)
    return ((((a[0] + A(4) * a[1]) + A(6) * a[2]) + A(4) * a[3]) + a[4]) + ((b[0] + b[4]) - A(2) * b[2]);
  else if constexpr (op == ColOp::DxNeg3) return (A(1) * a[0] + A(0) * a[1]) + A(-1) * a[2];
  else if constexpr (op == ColOp::DxNeg5)
    return (((A(1) * a[0] + A(2) * a[1]) + A(0) * a[2]) + A(-2) * a[3]) + A(-1) * a[4];
  else if constexpr (op == ColOp::Box3) {
    const A s = (a[0] + a[1]) + a[2];
    if constexpr (std::is_same_v<A, float>) return s * 0.11111111f;
    else return std::clamp<A>(((s + 5) * 7280) >> 16, 0, 255);
  } else {
    const A s = (((a[0] + a[1]) + a[2]) + a[3]) + a[4];
    if constexpr (std::is_same_v<A, float>) return s * 0.04f;
    else return std::clamp<A>((s * 2621) >> 16, 0, 255);
  }
}

}  // namespace ref

ZUV_AVX512_BEGIN
namespace avx512 {

// The same cores on vectors: 32 int16 lanes (8u sources, exact in wrapping
// 16-bit arithmetic because every final result fits) or 16 float lanes.
static inline __m512i add(__m512i a, __m512i b) { return _mm512_add_epi16(a, b); }
static inline __m512i sub(__m512i a, __m512i b) { return _mm512_sub_epi16(a, b); }
static inline __m512 add(__m512 a, __m512 b) { return _mm512_add_ps(a, b); }
static inline __m512 sub(__m512 a, __m512 b) { return _mm512_sub_ps(a, b); }
template <int c>
static inline __m512i mulc(__m512i a) {
  if constexpr (c == 2) return _mm512_slli_epi16(a, 1);
  else if constexpr (c == 4) return _mm512_slli_epi16(a, 2);
  else if constexpr (c == 8) return _mm512_slli_epi16(a, 3);
  else return _mm512_mullo_epi16(a, _mm512_set1_epi16(short(c)));
}
template <int c>
static inline __m512 mulc(__m512 a) { return _mm512_mul_ps(_mm512_set1_ps(float(c)), a); }

template <RowOp op, class V>
static inline void row_core(const V* s, V* o) {
  if constexpr (op == RowOp::Diff3) o[0] = sub(s[0], s[2]);
  else if constexpr (op == RowOp::NDiff3) o[0] = sub(s[2], s[0]);
  else if constexpr (op == RowOp::Smooth3) o[0] = add(add(s[0], mulc<2>(s[1])), s[2]);
  else if constexpr (op == RowOp::Scharr3) o[0] = add(mulc<3>(add(s[0], s[2])), mulc<10>(s[1]));
  else if constexpr (op == RowOp::Diff5) o[0] = add(sub(s[0], s[4]), mulc<2>(sub(s[1], s[3])));
  else if constexpr (op == RowOp::NDiff5) o[0] = add(sub(s[4], s[0]), mulc<2>(sub(s[3], s[1])));
  else if constexpr (op == RowOp::Smooth5)
    o[0] = add(add(add(add(s[0], mulc<4>(s[1])), mulc<6>(s[2])), mulc<4>(s[3])), s[4]);
  else if constexpr (op == RowOp::Lap3) o[0] = add(s[0], s[2]);
  else if constexpr (op == RowOp::Lap5) {
    o[0] = sub(add(s[0], s[4]), mulc<2>(s[2]));
    o[1] = add(add(add(add(s[0], mulc<4>(s[1])), mulc<6>(s[2])), mulc<4>(s[3])), s[4]);
  } else if constexpr (op == RowOp::Box3) o[0] = add(add(s[0], s[1]), s[2]);
  else if constexpr (op == RowOp::Dx3) o[0] = add(add(mulc<-1>(s[0]), mulc<0>(s[1])), mulc<1>(s[2]));
  else if constexpr (op == RowOp::Dx5)
    o[0] = add(add(add(add(mulc<-1>(s[0]), mulc<-2>(s[1])), mulc<0>(s[2])), mulc<2>(s[3])), mulc<1>(s[4]));
  else o[0] = add(add(add(add(s[0], s[1]), s[2]), s[3]), s[4]);
}

static inline __m512i box_scale3(__m512i s) {
  return _mm512_mulhi_epu16(_mm512_add_epi16(s, _mm512_set1_epi16(5)), _mm512_set1_epi16(7280));
}
static inline __m512i box_scale5(__m512i s) {
  return _mm512_mulhi_epu16(s, _mm512_set1_epi16(2621));
}
static inline __m512 box_scale3(__m512 s) { return _mm512_mul_ps(s, _mm512_set1_ps(0.11111111f)); }
static inline __m512 box_scale5(__m512 s) { return _mm512_mul_ps(s, _mm512_set1_ps(0.04f)); }

template <ColOp op, class V>
static inline V col_core(const V* a, const V* b, V c) {
  if constexpr (op == ColOp::Smooth3) return add(add(a[0], mulc<2>(a[1])), a[2]);
  else if constexpr (op == ColOp::Smooth5)
    return add(add(add(add(a[0], mulc<4>(a[1])), mulc<6>(a[2])), mulc<4>(a[3])), a[4]);
  else if constexpr (op == ColOp::Down3) return sub(a[2], a[0]);
  else if constexpr (op == ColOp::Down5) return add(sub(a[4], a[0]), mulc<2>(sub(a[3], a[1])));
  else if constexpr (op == ColOp::Up3) return sub(a[0], a[2]);
  else if constexpr (op == ColOp::Up5) return add(sub(a[0], a[4]), mulc<2>(sub(a[1], a[3])));
  else if constexpr (op == ColOp::ScharrV) return sub(mulc<-3>(add(a[0], a[2])), mulc<10>(a[1]));
  else if constexpr (op == ColOp::Lap3) return sub(mulc<2>(add(a[0], a[2])), mulc<8>(c));
  else if constexpr (op == ColOp::Lap5)
    return add(add(add(add(add(a[0], mulc<4>(a[1])), mulc<6>(a[2])), mulc<4>(a[3])), a[4]),
               sub(add(b[0], b[4]), mulc<2>(b[2])));
  else if constexpr (op == ColOp::DxNeg3) return add(add(mulc<1>(a[0]), mulc<0>(a[1])), mulc<-1>(a[2]));
  else if constexpr (op == ColOp::DxNeg5)
    return add(add(add(add(mulc<1>(a[0]), mulc<2>(a[1])), mulc<0>(a[2])), mulc<-2>(a[3])), mulc<-1>(a[4]));
  else if constexpr (op == ColOp::Box3) return box_scale3(add(add(a[0], a[1]), a[2]));
  else return box_scale5(add(add(add(add(a[0], a[1]), a[2]), a[3]), a[4]));
}

// Loads of n (at most one vector of) elements widened to the lane type, and
// stores narrowed to the destination type. Lanes past n are neither read nor written.
static inline __m512i load_lanes(const uint8_t* p, int n) {
  return _mm512_cvtepu8_epi16(_mm256_maskz_loadu_epi8(simd::mask32(n), p));
}
static inline __m512i load_lanes(const int16_t* p, int n) {
  return _mm512_maskz_loadu_epi16(simd::mask32(n), p);
}
static inline __m512 load_lanes(const float* p, int n) {
  return _mm512_maskz_loadu_ps(simd::mask16(n), p);
}
static inline void store_lanes(int16_t* p, __m512i v, int n) {
  _mm512_mask_storeu_epi16(p, simd::mask32(n), v);
}
static inline void store_lanes(uint8_t* p, __m512i v, int n) {
  _mm256_mask_storeu_epi8(p, simd::mask32(n), _mm512_cvtepi16_epi8(v));
}
static inline void store_lanes(float* p, __m512 v, int n) {
  _mm512_mask_storeu_ps(p, simd::mask16(n), v);
}

template <class Ts>
struct VecOf {
  using type = __m512i;
};
template <>
struct VecOf<float> {
  using type = __m512;
};
template <class Ts>
using Vec = typename VecOf<Ts>::type;
template <class Ts>
constexpr int lanes() { return std::is_same_v<Ts, float> ? 16 : 32; }

// Horizontal core over source columns [xa, xb) whose whole window lies in
// the row; out[i][x - xa] receives intermediate row i.
template <RowOp op, class Ts, class Ti>
static void row_interior(const Ts* p, int xa, int xb, Ti* const* out) {
  constexpr int r = radius(op), k = 2 * r + 1, L = lanes<Ts>();
  using V = Vec<Ts>;
  for (int x = xa; x < xb; x += L) {
    const int n = std::min(L, xb - x);
    V s[k], o[2];
    for (int j = 0; j < k; ++j) s[j] = load_lanes(p + x - r + j, n);
    row_core<op>(s, o);
    for (int i = 0; i < outputs(op); ++i) store_lanes(out[i] + (x - xa), o[i], n);
  }
}

// Vertical core over n columns: a[j] / b[j] are the k intermediate rows
// (top first), c the source row (Lap3 only).
template <ColOp op, class Ts, class Ti, class Td>
static void col_run(const Ti* const* a, const Ti* const* b, const Ts* c, Td* d, int n, int k) {
  constexpr int L = lanes<Ts>();
  using V = Vec<Ts>;
  for (int x = 0; x < n; x += L) {
    const int m = std::min(L, n - x);
    V va[5], vb[5], vc{};
    for (int j = 0; j < k; ++j) va[j] = load_lanes(a[j] + x, m);
    if constexpr (op == ColOp::Lap5)
      for (int j = 0; j < k; ++j) vb[j] = load_lanes(b[j] + x, m);
    if constexpr (op == ColOp::Lap3) vc = load_lanes(c + x, m);
    store_lanes(d + x, col_core<op>(va, vb, vc), m);
  }
}

}  // namespace avx512
ZUV_AVX512_END

namespace {

// Bytes of the stack area used when the caller's scratch is missing or small.
constexpr int kStackRing = 16384;
// Intermediate rows are kept to this many bytes so that they stay in cache.
constexpr int64_t kRingCap = 32768;

template <class Ts, class Ti, class Td, RowOp R, ColOp C>
class Engine {
  using A = std::conditional_t<std::is_same_v<Ts, float>, float, int32_t>;
  static constexpr int r = radius(R), k = 2 * r + 1, ni = outputs(R);

 public:
  Engine(const Ts* src, int srcStep, Td* dst, int dstStep, ImageSize roi, Border b, Ts value)
      : src_(src), sstep_(srcStep), dst_(dst), dstep_(dstStep), w_(roi.width), h_(roi.height),
        b_(b), value_(value), vec_(use_avx512()) {}

  void run(void* scratch, int64_t bytes) {
    alignas(64) unsigned char stack[kStackRing];
    constexpr int64_t rowBytes = int64_t(k) * ni * int64_t(sizeof(Ti));
    unsigned char* base = static_cast<unsigned char*>(scratch);
    int64_t avail = 0;
    if (base) {
      const uintptr_t mis = reinterpret_cast<uintptr_t>(base) & 63;
      const int64_t skip = mis ? 64 - int64_t(mis) : 0;
      avail = bytes - skip;
      base += skip;
    }
    if (!base || avail / rowBytes < std::min<int64_t>(w_, 64)) {
      base = stack;
      avail = kStackRing;
    }
    const int tile = int(std::min<int64_t>(w_, std::min(avail, kRingCap) / rowBytes));
    Ti* ring = reinterpret_cast<Ti*>(base);
    for (int x0 = 0; x0 < w_; x0 += tile) run_tile(ring, tile, x0, std::min(tile, w_ - x0));
  }

 private:
  // Extended pixel x of a source row that exists in memory.
  A px(const Ts* p, int x) const {
    const int i = map_index(x, w_, b_.mode, b_.left, b_.right);
    return i == kConst ? A(value_) : A(p[i]);
  }

  // Intermediate rows of extended source row yy for columns [x0, x0 + n).
  void fill(int yy, int x0, int n, Ti* const* out) const {
    const int iy = map_index(yy, h_, b_.mode, b_.top, b_.bottom);
    A s[5], o[2];
    if (iy == kConst) {
      // A generated row is constant across its full width.
      for (int j = 0; j < k; ++j) s[j] = A(value_);
      ref::row_core<R>(s, o);
      for (int i = 0; i < ni; ++i) std::fill(out[i], out[i] + n, Ti(o[i]));
      return;
    }
    const Ts* p = row_at(src_, sstep_, iy);
    const int xa = std::max(x0, r), xb = std::min(x0 + n, w_ - r);
    if (!vec_ || xa >= xb) {
      for (int x = x0; x < x0 + n; ++x) edge(p, x, x0, out);
      return;
    }
    // Columns whose window lies inside the row come straight from the source.
    for (int x = x0; x < xa; ++x) edge(p, x, x0, out);
    Ti* at[2] = {out[0] + (xa - x0), out[ni - 1] + (xa - x0)};
    avx512::row_interior<R>(p, xa, xb, at);
    for (int x = xb; x < x0 + n; ++x) edge(p, x, x0, out);
  }

  void edge(const Ts* p, int x, int x0, Ti* const* out) const {
    A s[5], o[2];
    for (int j = 0; j < k; ++j) s[j] = px(p, x - r + j);
    ref::row_core<R>(s, o);
    for (int i = 0; i < ni; ++i) out[i][x - x0] = Ti(o[i]);
  }

  void run_tile(Ti* ring, int stride, int x0, int n) const {
    // slot[j] holds the intermediate rows of extended row y - r + j.
    Ti* slot[5][2];
    for (int j = 0; j < k; ++j)
      for (int i = 0; i < ni; ++i) slot[j][i] = ring + int64_t(j * ni + i) * stride;
    for (int j = 0; j < k - 1; ++j) fill(j - r, x0, n, slot[j]);
    for (int y = 0; y < h_; ++y) {
      fill(y + r, x0, n, slot[k - 1]);
      const Ti* a[5];
      const Ti* b[5];
      for (int j = 0; j < k; ++j) {
        a[j] = slot[j][0];
        b[j] = slot[j][ni - 1];
      }
      const Ts* c = row_at(src_, sstep_, y) + x0;
      Td* d = row_at(dst_, dstep_, y) + x0;
      if (vec_) {
        avx512::col_run<C, Ts>(a, b, c, d, n, k);
      } else {
        for (int x = 0; x < n; ++x) {
          A va[5], vb[5];
          for (int j = 0; j < k; ++j) {
            va[j] = A(a[j][x]);
            vb[j] = A(b[j][x]);
          }
          d[x] = Td(ref::col_core<C>(va, vb, C == ColOp::Lap3 ? A(c[x]) : A(0)));
        }
      }
      // Rotate: the oldest slot is refilled by the next row.
      Ti* first[2] = {slot[0][0], slot[0][ni - 1]};
      for (int j = 0; j < k - 1; ++j)
        for (int i = 0; i < ni; ++i) slot[j][i] = slot[j + 1][i];
      for (int i = 0; i < ni; ++i) slot[k - 1][i] = first[i];
    }
  }

  const Ts* src_;
  int sstep_;
  Td* dst_;
  int dstep_;
  int w_, h_;
  Border b_;
  Ts value_;
  bool vec_;
};

template <class Ts, class Ti, class Td, RowOp R, ColOp C>
void go(const Ts* src, int srcStep, Td* dst, int dstStep, ImageSize roi, Border b, Ts value,
        void* scratch, int64_t bytes) {
  Engine<Ts, Ti, Td, R, C>(src, srcStep, dst, dstStep, roi, b, value).run(scratch, bytes);
}

// Kind and mask size to cores. Lowpass alone writes 8u; the others 16s or 32f.
template <class Ts, class Ti, class Td>
void dispatch(Kind kind, int k, const Ts* s, int ss, Td* d, int ds, ImageSize roi, Border b,
              Ts v, void* scratch, int64_t bytes) {
  const bool k3 = k == 3;
  if constexpr (!std::is_same_v<Td, uint8_t>) {
    switch (kind) {
      case Kind::SobelVert:
        return k3 ? go<Ts, Ti, Td, RowOp::Diff3, ColOp::Smooth3>(s, ss, d, ds, roi, b, v, scratch, bytes)
                  : go<Ts, Ti, Td, RowOp::Diff5, ColOp::Smooth5>(s, ss, d, ds, roi, b, v, scratch, bytes);
      case Kind::SobelNegVert:
        return k3 ? go<Ts, Ti, Td, RowOp::NDiff3, ColOp::Smooth3>(s, ss, d, ds, roi, b, v, scratch, bytes)
                  : go<Ts, Ti, Td, RowOp::NDiff5, ColOp::Smooth5>(s, ss, d, ds, roi, b, v, scratch, bytes);
      case Kind::SobelHoriz:
        return k3 ? go<Ts, Ti, Td, RowOp::Smooth3, ColOp::Down3>(s, ss, d, ds, roi, b, v, scratch, bytes)
                  : go<Ts, Ti, Td, RowOp::Smooth5, ColOp::Down5>(s, ss, d, ds, roi, b, v, scratch, bytes);
      case Kind::ScharrVert:
        return go<Ts, Ti, Td, RowOp::Diff3, ColOp::ScharrV>(s, ss, d, ds, roi, b, v, scratch, bytes);
      case Kind::ScharrHoriz:
        return go<Ts, Ti, Td, RowOp::Scharr3, ColOp::Down3>(s, ss, d, ds, roi, b, v, scratch, bytes);
      case Kind::SobelCross:
        if constexpr (std::is_same_v<Ts, float>)
          return k3 ? go<Ts, Ti, Td, RowOp::Dx3, ColOp::DxNeg3>(s, ss, d, ds, roi, b, v, scratch, bytes)
                    : go<Ts, Ti, Td, RowOp::Dx5, ColOp::DxNeg5>(s, ss, d, ds, roi, b, v, scratch, bytes);
        return k3 ? go<Ts, Ti, Td, RowOp::NDiff3, ColOp::Up3>(s, ss, d, ds, roi, b, v, scratch, bytes)
                  : go<Ts, Ti, Td, RowOp::NDiff5, ColOp::Up5>(s, ss, d, ds, roi, b, v, scratch, bytes);
      case Kind::Laplacian:
        return k3 ? go<Ts, Ti, Td, RowOp::Lap3, ColOp::Lap3>(s, ss, d, ds, roi, b, v, scratch, bytes)
                  : go<Ts, Ti, Td, RowOp::Lap5, ColOp::Lap5>(s, ss, d, ds, roi, b, v, scratch, bytes);
      case Kind::Lowpass:
        break;
    }
  }
  if constexpr (!std::is_same_v<Td, int16_t>) {
    if (kind == Kind::Lowpass) {
      return k3 ? go<Ts, Ti, Td, RowOp::Box3, ColOp::Box3>(s, ss, d, ds, roi, b, v, scratch, bytes)
                : go<Ts, Ti, Td, RowOp::Box5, ColOp::Box5>(s, ss, d, ds, roi, b, v, scratch, bytes);
    }
  }
}

}  // namespace

void run(Kind kind, int k, const uint8_t* src, int srcStep, int16_t* dst, int dstStep,
         ImageSize roi, Border b, uint8_t value, void* scratch, int64_t scratchBytes) {
  dispatch<uint8_t, int16_t, int16_t>(kind, k, src, srcStep, dst, dstStep, roi, b, value, scratch,
                                      scratchBytes);
}
void run(Kind kind, int k, const uint8_t* src, int srcStep, uint8_t* dst, int dstStep,
         ImageSize roi, Border b, uint8_t value, void* scratch, int64_t scratchBytes) {
  dispatch<uint8_t, int16_t, uint8_t>(kind, k, src, srcStep, dst, dstStep, roi, b, value, scratch,
                                      scratchBytes);
}
void run(Kind kind, int k, const float* src, int srcStep, float* dst, int dstStep, ImageSize roi,
         Border b, float value, void* scratch, int64_t scratchBytes) {
  dispatch<float, float, float>(kind, k, src, srcStep, dst, dstStep, roi, b, value, scratch,
                                scratchBytes);
}

namespace {

constexpr bool is_scharr(Kind kind) { return kind == Kind::ScharrVert || kind == Kind::ScharrHoriz; }

// Buffer of the 32f filters: k intermediate rows of roundup16(width) floats
// plus alignment slack; the 8u filters work in a bounded stack area.
inline int64_t buffer_bytes(int width, int k) {
  return 4 * ((int64_t(width) + 15) / 16 * 16) * k + 32;
}

template <Kind kind, class Ts, class Td>
Status filter(const Ts* src, int srcStep, Td* dst, int dstStep, ImageSize roi, int mask,
              int borderType, Ts value, uint8_t* buffer) {
  ZUV_TRY(check::not_null(src, dst, buffer));
  ZUV_TRY(check::roi(roi));
  if constexpr (std::is_same_v<Ts, float>) ZUV_TRY(check::multiples<float>(srcStep, dstStep));
  else ZUV_TRY(check::multiple<Td>(dstStep));
  if (is_scharr(kind) ? mask != MaskSize3x3 : check::mask_size(mask) != StatusOk)
    return StatusMaskSize;
  const int mode = borderType & 15;
  if ((mode != BorderConst && mode != BorderRepl && mode != BorderMirror &&
       mode != BorderMirrorR && mode != BorderInMem) ||
      uint32_t(borderType) > 255u)
    return StatusBadArgument;
  const int k = mask == MaskSize3x3 ? 3 : 5;
  if constexpr (std::is_same_v<Ts, float>)
    run(kind, k, src, srcStep, dst, dstStep, roi, decode(borderType), value, buffer,
        buffer_bytes(roi.width, k));
  else
    run(kind, k, src, srcStep, dst, dstStep, roi, decode(borderType), value, nullptr, 0);
  return StatusOk;
}

template <Kind kind>
Status query(ImageSize roi, int mask, int srcType, int dstType, int channels, int* size) {
  if constexpr (kind == Kind::SobelNegVert)
    if (srcType == DataType16s) return StatusDataType;
  if constexpr (is_scharr(kind))
    if (mask != MaskSize3x3) return StatusMaskSize;
  ZUV_TRY(check::not_null(size));
  ZUV_TRY(check::roi(roi));
  ZUV_TRY(check::mask_size(mask));
  const bool pairOk = (dstType == DataType16s && (srcType == DataType8u || srcType == DataType16s)) ||
                      (dstType == DataType32f && srcType == DataType32f);
  if (!pairOk) return StatusDataType;
  if (channels != 1) return StatusChannel;
  *size = srcType == DataType8u ? 32 : int(buffer_bytes(roi.width, mask == MaskSize3x3 ? 3 : 5));
  return StatusOk;
}

}  // namespace
}  // namespace zuv::derivative

namespace zuv {

#define X(name, kind, Ts, Td)                                                                    \
  Status name(const Ts* pSrc, int srcStep, Td* pDst, int dstStep, ImageSize roiSize,            \
              MaskSize mask, BorderType borderType, ZUV_DERIVATIVE_TAIL(Ts)) {                  \
    return derivative::filter<derivative::Kind::kind>(pSrc, srcStep, pDst, dstStep, roiSize,   \
                                                      mask, borderType, borderValue, pBuffer); \
  }
ZUV_DERIVATIVE_TABLE(X)
#undef X

Status zuviFilterSobelVertBorderGetBufferSize(ImageSize roiSize, MaskSize mask, DataType srcType,
                                              DataType dstType, int numChannels, int* pBufferSize) {
  return derivative::query<derivative::Kind::SobelVert>(roiSize, mask, srcType, dstType, numChannels,
                                                        pBufferSize);
}
Status zuviFilterSobelHorizBorderGetBufferSize(ImageSize roiSize, MaskSize mask, DataType srcType,
                                               DataType dstType, int numChannels, int* pBufferSize) {
  return derivative::query<derivative::Kind::SobelHoriz>(roiSize, mask, srcType, dstType,
                                                         numChannels, pBufferSize);
}
Status zuviFilterSobelNegVertBorderGetBufferSize(ImageSize roiSize, MaskSize mask, DataType srcType,
                                                 DataType dstType, int numChannels,
                                                 int* pBufferSize) {
  return derivative::query<derivative::Kind::SobelNegVert>(roiSize, mask, srcType, dstType,
                                                           numChannels, pBufferSize);
}
Status zuviFilterScharrVertMaskBorderGetBufferSize(ImageSize roiSize, MaskSize mask,
                                                   DataType srcType, DataType dstType,
                                                   int numChannels, int* pBufferSize) {
  return derivative::query<derivative::Kind::ScharrVert>(roiSize, mask, srcType, dstType,
                                                         numChannels, pBufferSize);
}
Status zuviFilterScharrHorizMaskBorderGetBufferSize(ImageSize roiSize, MaskSize mask,
                                                    DataType srcType, DataType dstType,
                                                    int numChannels, int* pBufferSize) {
  return derivative::query<derivative::Kind::ScharrHoriz>(roiSize, mask, srcType, dstType,
                                                          numChannels, pBufferSize);
}

}  // namespace zuv
