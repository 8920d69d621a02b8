// SPDX-License-Identifier: BSD-3-Clause
// Border-extended copies (constant, replicate, mirror) and cache-aware vector fill/copy.
#include "core/border.h"

#include <cstring>
#include <type_traits>

#include "core/check.h"
#include "core/cpu.h"
#include "core/image.h"
#include "core/simd.h"

namespace zuv::border {
namespace {

enum class Mode { Const, Replicate, Mirror };

// -8 / -14 / -6 checks shared by every border copy, in their fixed order.
Status check_copy(const void* src, int srcStep, const void* dst, int dstStep, ImageSize s,
                  ImageSize d, int top, int left) {
  if (src == nullptr || dst == nullptr) return StatusNullPointer;
  if (srcStep < 1 || dstStep < 1) return StatusStep;
  if (s.width < 1 || s.height < 1 || d.width < 1 || d.height < 1) return StatusSize;
  if (top < 0 || left < 0) return StatusSize;
  if (int64_t(d.width) < int64_t(left) + s.width) return StatusSize;
  if (int64_t(d.height) < int64_t(top) + s.height) return StatusSize;
  return StatusOk;
}

template <Mode m>
inline int source_index(int i, int n) {
  if constexpr (m == Mode::Mirror) return mirror_index(i, n);
  else return replicate_index(i, n);
}

// Writes `count` copies of the P-byte pixel `px` from `out`.
template <int P>
inline void fill_pixels(uint8_t* out, const uint8_t* px, ptrdiff_t count) {
  for (ptrdiff_t i = 0; i < count; ++i) std::memcpy(out + i * P, px, P);
}

// Builds the destination. `src` is null in place: the region rows are then
// already in the destination and only their sides are written. Region rows
// come first, then the border rows above and below, which are copies of
// finished destination rows (or constant rows).
template <int Bytes, int C, Mode m>
void extend(const uint8_t* src, int srcStep, ImageSize s, uint8_t* dst, int dstStep, ImageSize d,
            int top, int left, const uint8_t* value) {
  constexpr int P = Bytes * C;
  const ptrdiff_t rowBytes = ptrdiff_t(d.width) * P;
  const int right = d.width - left - s.width;
  const int bottom = d.height - top - s.height;
  for (int y = 0; y < s.height; ++y) {
    uint8_t* drow = row_at(dst, dstStep, top + y);
    uint8_t* mid = drow + ptrdiff_t(left) * P;
    if (src != nullptr) std::memcpy(mid, row_at(src, srcStep, y), size_t(s.width) * P);
    if constexpr (m == Mode::Const) {
      fill_pixels<P>(drow, value, left);
      fill_pixels<P>(mid + ptrdiff_t(s.width) * P, value, right);
    } else if constexpr (m == Mode::Replicate) {
      fill_pixels<P>(drow, mid, left);
      fill_pixels<P>(mid + ptrdiff_t(s.width) * P, mid + ptrdiff_t(s.width - 1) * P, right);
    } else {
      for (int i = 0; i < left; ++i)
        std::memcpy(drow + ptrdiff_t(i) * P,
                    mid + ptrdiff_t(source_index<m>(i - left, s.width)) * P, P);
      for (int i = 0; i < right; ++i)
        std::memcpy(mid + ptrdiff_t(s.width + i) * P,
                    mid + ptrdiff_t(source_index<m>(s.width + i, s.width)) * P, P);
    }
  }
  if constexpr (m == Mode::Const) {
    if (top + bottom == 0) return;
    uint8_t* first = row_at(dst, dstStep, top > 0 ? 0 : top + s.height);
    fill_pixels<P>(first, value, d.width);
    for (int y = 0; y < top; ++y)
      if (y != 0) std::memcpy(row_at(dst, dstStep, y), first, size_t(rowBytes));
    for (int y = top + s.height; y < d.height; ++y)
      if (row_at(dst, dstStep, y) != first) std::memcpy(row_at(dst, dstStep, y), first, size_t(rowBytes));
  } else {
    for (int y = 0; y < top; ++y)
      std::memcpy(row_at(dst, dstStep, y),
                  row_at(dst, dstStep, top + source_index<m>(y - top, s.height)), size_t(rowBytes));
    for (int i = 0; i < bottom; ++i)
      std::memcpy(row_at(dst, dstStep, top + s.height + i),
                  row_at(dst, dstStep, top + source_index<m>(s.height + i, s.height)),
                  size_t(rowBytes));
  }
}

}  // namespace

namespace detail {

template <int Bytes, int C>
Status copy_const(const void* src, int srcStep, ImageSize srcRoi, void* dst, int dstStep,
                  ImageSize dstRoi, int top, int left, const void* value) {
  ZUV_TRY(check_copy(src, srcStep, dst, dstStep, srcRoi, dstRoi, top, left));
  if (value == nullptr) return StatusNullPointer;
  extend<Bytes, C, Mode::Const>(static_cast<const uint8_t*>(src), srcStep, srcRoi,
                                static_cast<uint8_t*>(dst), dstStep, dstRoi, top, left,
                                static_cast<const uint8_t*>(value));
  return StatusOk;
}

template <int Bytes, int C>
Status copy_replicate(const void* src, int srcStep, ImageSize srcRoi, void* dst, int dstStep,
                      ImageSize dstRoi, int top, int left) {
  ZUV_TRY(check_copy(src, srcStep, dst, dstStep, srcRoi, dstRoi, top, left));
  extend<Bytes, C, Mode::Replicate>(static_cast<const uint8_t*>(src), srcStep, srcRoi,
                                    static_cast<uint8_t*>(dst), dstStep, dstRoi, top, left,
                                    nullptr);
  return StatusOk;
}

template <int Bytes, int C>
Status copy_replicate_inplace(void* img, int step, ImageSize srcRoi, ImageSize dstRoi, int top,
                              int left) {
  ZUV_TRY(check_copy(img, step, img, step, srcRoi, dstRoi, top, left));
  uint8_t* origin = static_cast<uint8_t*>(img) - ptrdiff_t(top) * step - ptrdiff_t(left) * Bytes * C;
  extend<Bytes, C, Mode::Replicate>(nullptr, step, srcRoi, origin, step, dstRoi, top, left,
                                    nullptr);
  return StatusOk;
}

template <int Bytes, int C>
Status copy_mirror(const void* src, int srcStep, ImageSize srcRoi, void* dst, int dstStep,
                   ImageSize dstRoi, int top, int left) {
  ZUV_TRY(check_copy(src, srcStep, dst, dstStep, srcRoi, dstRoi, top, left));
  extend<Bytes, C, Mode::Mirror>(static_cast<const uint8_t*>(src), srcStep, srcRoi,
                                 static_cast<uint8_t*>(dst), dstStep, dstRoi, top, left, nullptr);
  return StatusOk;
}

#define ZUV_BORDER_INSTANTIATE(B, C)                                                         \
  template Status copy_const<B, C>(const void*, int, ImageSize, void*, int, ImageSize, int, \
                                   int, const void*);                                        \
  template Status copy_replicate<B, C>(const void*, int, ImageSize, void*, int, ImageSize,  \
                                       int, int);                                            \
  template Status copy_replicate_inplace<B, C>(void*, int, ImageSize, ImageSize, int, int); \
  template Status copy_mirror<B, C>(const void*, int, ImageSize, void*, int, ImageSize, int, \
                                    int);
ZUV_BORDER_INSTANTIATE(1, 1)
ZUV_BORDER_INSTANTIATE(1, 2)
ZUV_BORDER_INSTANTIATE(1, 3)
ZUV_BORDER_INSTANTIATE(1, 4)
ZUV_BORDER_INSTANTIATE(2, 1)
ZUV_BORDER_INSTANTIATE(2, 2)
ZUV_BORDER_INSTANTIATE(2, 3)
ZUV_BORDER_INSTANTIATE(2, 4)
ZUV_BORDER_INSTANTIATE(4, 1)
ZUV_BORDER_INSTANTIATE(4, 2)
ZUV_BORDER_INSTANTIATE(4, 3)
ZUV_BORDER_INSTANTIATE(4, 4)
ZUV_BORDER_INSTANTIATE(8, 1)
ZUV_BORDER_INSTANTIATE(8, 2)
ZUV_BORDER_INSTANTIATE(8, 3)
ZUV_BORDER_INSTANTIATE(8, 4)
#undef ZUV_BORDER_INSTANTIATE

}  // namespace detail
}  // namespace zuv::border

// ---------------------------------------------------------------------------
// Vector fill and copy.

namespace zuv {
namespace {

constexpr int64_t kStreamFillBytes = 2097152;   // zero and set: above this
constexpr int64_t kCacheCopyBytes = 32768;      // copy: cache-aware from this
constexpr int64_t kStreamCopyBytes = 4194304;   // copy: non-temporal above this
constexpr int64_t kCopyChunk = 2147483616;      // copies of 2^31 bytes or more go in chunks

// Cache size when the query succeeds with a positive size, else 0.
int64_t cache_bytes() {
  int32_t size = 0;
  if (zuvGetMaxCacheSizeB(&size) != StatusOk || size < 1) return 0;
  return size;
}

template <class T>
void fill_plain(T* p, int64_t n, T v) {
  if constexpr (sizeof(T) == 1) {
    std::memset(p, int(v), size_t(n));
  } else {
    for (int64_t i = 0; i < n; ++i) p[i] = v;
  }
}

}  // namespace

ZUV_AVX512_BEGIN
namespace avx512 {

template <class T>
static inline __m256i broadcast256(T v) {
  if constexpr (sizeof(T) == 1) {
    return _mm256_set1_epi8(char(v));
  } else if constexpr (sizeof(T) == 2) {
    return _mm256_set1_epi16(short(v));
  } else {
    int32_t bits;
    std::memcpy(&bits, &v, 4);
    return _mm256_set1_epi32(bits);
  }
}

// Ordinary head up to a 32-byte boundary, then 32-byte non-temporal stores
// (in 128-byte groups when `grouped`), ordinary tail, and a store fence.
template <class T>
static void stream_fill(T* p, int64_t n, T v, bool grouped) {
  const __m256i pat = broadcast256(v);
  const uintptr_t addr = reinterpret_cast<uintptr_t>(p);
  int64_t head = int64_t(((32 - (addr & 31)) & 31) / sizeof(T));
  if (head > n) head = n;
  fill_plain(p, head, v);
  int64_t i = head;
  if (grouped) {
    constexpr int64_t kGroup = 128 / int64_t(sizeof(T));
    for (; i + kGroup <= n; i += kGroup) {
      uint8_t* q = reinterpret_cast<uint8_t*>(p + i);
      _mm256_stream_si256(reinterpret_cast<__m256i*>(q), pat);
      _mm256_stream_si256(reinterpret_cast<__m256i*>(q + 32), pat);
      _mm256_stream_si256(reinterpret_cast<__m256i*>(q + 64), pat);
      _mm256_stream_si256(reinterpret_cast<__m256i*>(q + 96), pat);
    }
  }
  constexpr int64_t kVec = 32 / int64_t(sizeof(T));
  for (; i + kVec <= n; i += kVec) _mm256_stream_si256(reinterpret_cast<__m256i*>(p + i), pat);
  fill_plain(p + i, n - i, v);
  _mm_sfence();
}

// Ordinary head up to the destination's next 64-byte boundary, 64-byte
// non-temporal stores, ordinary tail, store fence.
static void stream_copy(const uint8_t* s, uint8_t* d, int64_t n) {
  const uintptr_t addr = reinterpret_cast<uintptr_t>(d);
  int64_t head = int64_t((64 - (addr & 63)) & 63);
  if (head > n) head = n;
  std::memcpy(d, s, size_t(head));
  int64_t i = head;
  for (; i + 256 <= n; i += 256) {
    const __m512i a = _mm512_loadu_si512(s + i);
    const __m512i b = _mm512_loadu_si512(s + i + 64);
    const __m512i c = _mm512_loadu_si512(s + i + 128);
    const __m512i e = _mm512_loadu_si512(s + i + 192);
    _mm512_stream_si512(reinterpret_cast<__m512i*>(d + i), a);
    _mm512_stream_si512(reinterpret_cast<__m512i*>(d + i + 64), b);
    _mm512_stream_si512(reinterpret_cast<__m512i*>(d + i + 128), c);
    _mm512_stream_si512(reinterpret_cast<__m512i*>(d + i + 192), e);
  }
  for (; i + 64 <= n; i += 64)
    _mm512_stream_si512(reinterpret_cast<__m512i*>(d + i), _mm512_loadu_si512(s + i));
  std::memcpy(d + i, s + i, size_t(n - i));
  _mm_sfence();
}

}  // namespace avx512
ZUV_AVX512_END

namespace {

// Non-temporal paths need whole elements on a 32-byte grid: an element
// pointer that is not a multiple of its size takes the ordinary path.
template <class T>
bool streamable(const T* p) {
  return reinterpret_cast<uintptr_t>(p) % sizeof(T) == 0 && use_avx512();
}

template <class T>
Status zero(T* p, int len) {
  if (p == nullptr) return StatusNullPointer;
  if (len < 1) return StatusSize;
  const int64_t bytes = int64_t(len) * int64_t(sizeof(T));
  if (bytes > kStreamFillBytes && streamable(p)) avx512::stream_fill<T>(p, len, T(0), false);
  else std::memset(static_cast<void*>(p), 0, size_t(bytes));
  return StatusOk;
}

template <class T>
Status set(T v, T* p, int len) {
  if (p == nullptr) return StatusNullPointer;
  if (len < 1) return StatusSize;
  const int64_t bytes = int64_t(len) * int64_t(sizeof(T));
  bool stream = false;
  if (bytes > kStreamFillBytes) {
    const int64_t cache = cache_bytes();
    stream = cache >= 1 && bytes > cache && streamable(p);
  }
  if (stream) {
    avx512::stream_fill<T>(p, len, v, true);
  } else if constexpr (sizeof(T) == 1) {
    fill_plain(p, len, v);
  } else {
    // The element's bits, so a float NaN payload is kept exactly.
    using U = std::conditional_t<sizeof(T) == 2, uint16_t, uint32_t>;
    U u;
    std::memcpy(&u, &v, sizeof(T));
    fill_plain(reinterpret_cast<U*>(p), len, u);
  }
  return StatusOk;
}

void copy_bytes(const uint8_t* s, uint8_t* d, int64_t n) {
  if (n >= kCacheCopyBytes && n > kStreamCopyBytes && use_avx512()) {
    const int64_t cache = cache_bytes();
    if (cache >= 1 && 2 * n >= cache) {
      avx512::stream_copy(s, d, n);
      return;
    }
  }
  std::memmove(d, s, size_t(n));
}

template <class T>
Status copy(const T* s, T* d, int len) {
  if (s == nullptr || d == nullptr) return StatusNullPointer;
  if (len < 1) return StatusSize;
  int64_t bytes = int64_t(len) * int64_t(sizeof(T));
  const uint8_t* sb = reinterpret_cast<const uint8_t*>(s);
  uint8_t* db = reinterpret_cast<uint8_t*>(d);
  while (bytes > 0) {
    const int64_t n = bytes >= (int64_t(1) << 31) ? kCopyChunk : bytes;
    copy_bytes(sb, db, n);
    sb += n;
    db += n;
    bytes -= n;
  }
  return StatusOk;
}

}  // namespace

Status zuvsZero_8u(uint8_t* pDst, int len) { return zero(pDst, len); }
Status zuvsZero_16s(int16_t* pDst, int len) { return zero(pDst, len); }
Status zuvsZero_32s(int32_t* pDst, int len) { return zero(pDst, len); }
Status zuvsZero_32f(float* pDst, int len) { return zero(pDst, len); }
Status zuvsSet_8u(uint8_t val, uint8_t* pDst, int len) { return set(val, pDst, len); }
Status zuvsSet_16s(int16_t val, int16_t* pDst, int len) { return set(val, pDst, len); }
Status zuvsSet_32s(int32_t val, int32_t* pDst, int len) { return set(val, pDst, len); }
Status zuvsSet_32f(float val, float* pDst, int len) { return set(val, pDst, len); }
Status zuvsCopy_8u(const uint8_t* pSrc, uint8_t* pDst, int len) { return copy(pSrc, pDst, len); }
Status zuvsCopy_16s(const int16_t* pSrc, int16_t* pDst, int len) { return copy(pSrc, pDst, len); }
Status zuvsCopy_32f(const float* pSrc, float* pDst, int len) { return copy(pSrc, pDst, len); }

// ---------------------------------------------------------------------------
// The named border copies.

#define ZUV_CONST_C1(suffix, T)                                                                \
  Status zuviCopyConstBorder_##suffix(const T* pSrc, int srcStep, ImageSize srcRoiSize,       \
                                      T* pDst, int dstStep, ImageSize dstRoiSize,             \
                                      int topBorderHeight, int leftBorderWidth, T value) {    \
    return border::copy_const<T, 1>(pSrc, srcStep, srcRoiSize, pDst, dstStep, dstRoiSize,     \
                                    topBorderHeight, leftBorderWidth, &value);                \
  }
#define ZUV_CONST_CN(suffix, T, C)                                                             \
  Status zuviCopyConstBorder_##suffix(const T* pSrc, int srcStep, ImageSize srcRoiSize,       \
                                      T* pDst, int dstStep, ImageSize dstRoiSize,             \
                                      int topBorderHeight, int leftBorderWidth,               \
                                      const T value[C]) {                                     \
    return border::copy_const<T, C>(pSrc, srcStep, srcRoiSize, pDst, dstStep, dstRoiSize,     \
                                    topBorderHeight, leftBorderWidth, value);                 \
  }
ZUV_CONST_C1(8u_C1R, uint8_t)
ZUV_CONST_CN(8u_C3R, uint8_t, 3)
ZUV_CONST_CN(8u_C4R, uint8_t, 4)
ZUV_CONST_C1(16s_C1R, int16_t)
ZUV_CONST_CN(16s_C3R, int16_t, 3)
ZUV_CONST_CN(16s_C4R, int16_t, 4)
ZUV_CONST_C1(16u_C1R, uint16_t)
ZUV_CONST_C1(32s_C1R, int32_t)
ZUV_CONST_C1(32f_C1R, float)
ZUV_CONST_CN(32f_C3R, float, 3)
ZUV_CONST_CN(32f_C4R, float, 4)
#undef ZUV_CONST_C1
#undef ZUV_CONST_CN

#define ZUV_REPLICATE_R(suffix, T, C)                                                          \
  Status zuviCopyReplicateBorder_##suffix(const T* pSrc, int srcStep, ImageSize srcRoiSize,   \
                                          T* pDst, int dstStep, ImageSize dstRoiSize,         \
                                          int topBorderHeight, int leftBorderWidth) {         \
    return border::copy_replicate<T, C>(pSrc, srcStep, srcRoiSize, pDst, dstStep, dstRoiSize, \
                                        topBorderHeight, leftBorderWidth);                    \
  }
#define ZUV_REPLICATE_IR(suffix, T, C)                                                         \
  Status zuviCopyReplicateBorder_##suffix(T* pSrc, int srcDstStep, ImageSize srcRoiSize,      \
                                          ImageSize dstRoiSize, int topBorderHeight,          \
                                          int leftBorderWidth) {                              \
    return border::copy_replicate_inplace<T, C>(pSrc, srcDstStep, srcRoiSize, dstRoiSize,     \
                                                topBorderHeight, leftBorderWidth);            \
  }
#define ZUV_MIRROR_R(suffix, T, C)                                                             \
  Status zuviCopyMirrorBorder_##suffix(const T* pSrc, int srcStep, ImageSize srcRoiSize,      \
                                       T* pDst, int dstStep, ImageSize dstRoiSize,            \
                                       int topBorderHeight, int leftBorderWidth) {            \
    return border::copy_mirror<T, C>(pSrc, srcStep, srcRoiSize, pDst, dstStep, dstRoiSize,    \
                                     topBorderHeight, leftBorderWidth);                       \
  }
ZUV_REPLICATE_R(8u_C1R, uint8_t, 1)
ZUV_REPLICATE_R(8u_C3R, uint8_t, 3)
ZUV_REPLICATE_R(8u_C4R, uint8_t, 4)
ZUV_REPLICATE_R(16s_C1R, int16_t, 1)
ZUV_REPLICATE_R(16s_C3R, int16_t, 3)
ZUV_REPLICATE_R(16s_C4R, int16_t, 4)
ZUV_REPLICATE_R(16u_C1R, uint16_t, 1)
ZUV_REPLICATE_R(32s_C1R, int32_t, 1)
ZUV_REPLICATE_R(32s_C3R, int32_t, 3)
ZUV_REPLICATE_R(32s_C4R, int32_t, 4)
ZUV_REPLICATE_R(32f_C1R, float, 1)
ZUV_REPLICATE_R(32f_C3R, float, 3)
ZUV_REPLICATE_R(32f_C4R, float, 4)
ZUV_REPLICATE_IR(8u_C1IR, uint8_t, 1)
ZUV_REPLICATE_IR(8u_C3IR, uint8_t, 3)
ZUV_REPLICATE_IR(8u_C4IR, uint8_t, 4)
ZUV_REPLICATE_IR(16s_C1IR, int16_t, 1)
ZUV_REPLICATE_IR(16s_C3IR, int16_t, 3)
ZUV_REPLICATE_IR(16s_C4IR, int16_t, 4)
ZUV_REPLICATE_IR(32s_C1IR, int32_t, 1)
ZUV_REPLICATE_IR(32s_C3IR, int32_t, 3)
ZUV_REPLICATE_IR(32s_C4IR, int32_t, 4)
ZUV_MIRROR_R(8u_C1R, uint8_t, 1)
ZUV_MIRROR_R(8u_C3R, uint8_t, 3)
ZUV_MIRROR_R(8u_C4R, uint8_t, 4)
ZUV_MIRROR_R(16s_C1R, int16_t, 1)
ZUV_MIRROR_R(16s_C3R, int16_t, 3)
ZUV_MIRROR_R(16s_C4R, int16_t, 4)
ZUV_MIRROR_R(32f_C1R, float, 1)
ZUV_MIRROR_R(32f_C3R, float, 3)
ZUV_MIRROR_R(32f_C4R, float, 4)
#undef ZUV_REPLICATE_R
#undef ZUV_REPLICATE_IR
#undef ZUV_MIRROR_R

}  // namespace zuv
