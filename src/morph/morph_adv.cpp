// SPDX-License-Identifier: BSD-3-Clause
// Opening, closing, top-hat, black-hat and gradient: two erosion/dilation
// passes through an intermediate image in the caller's work buffer.
//
// The state holds one erosion and one dilation state (built for the ROI
// width grown by the mask, so the first pass may cover the grown region) and
// the mask geometry. The work buffer has two equal halves, each an
// intermediate image followed by the erosion/dilation work region; a
// constant border uses the second half. The subtractions run on each
// finished row of the second pass (saturating; 32f clamps negatives to 0), so
// a call may write in place.
#include "morph/morph_adv.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "core/check.h"
#include "core/export.h"
#include "morph/morphology.h"

namespace zuv::morph_adv {
namespace {

using morph::Combine;
using morph::Op;
using morph::Post;

struct Header {
  int32_t elemBytes, channels;
  int32_t maskW, maskH, ax, ay;
  int32_t maxWidth, maxHeight;
  int32_t capacity;                   // bytes of the intermediate image
  int32_t maskOffset;                 // from the header
  int32_t erodeOffset, dilateOffset;  // the two morphology states, from the header
  int32_t halfOffset;                 // second half of the work buffer
  int32_t workOffset;                 // morphology work region inside a half
};

constexpr int64_t round_up(int64_t v, int64_t a) { return (v + a - 1) / a * a; }

template <class P>
P* align64(P* p) {
  return reinterpret_cast<P*>((reinterpret_cast<uintptr_t>(p) + 63) & ~uintptr_t(63));
}

// Row bytes of an intermediate image `width` pixels wide.
int64_t inter_row(int64_t width, int elemBytes, int channels) {
  const int64_t bytes = elemBytes == 0 ? (width + 7) / 8 : width * channels * elemBytes;
  return round_up(bytes, 32);
}

struct Sizes {
  int64_t state, half, capacity, work;
  // A size or the grown width does not fit an int.
  bool overflow;
};

Sizes sizes_of(ImageSize roi, ImageSize mask, int elemBytes, int channels) {
  Sizes s{};
  const int64_t grown = int64_t(roi.width) + mask.width - 1;
  const int64_t cells = int64_t(mask.width) * mask.height;
  const int64_t inner = morph::state_bytes(mask);
  s.state = 64 + round_up(sizeof(Header), 64) + round_up(cells, 64) + 2 * inner;
  s.capacity = inter_row(grown, elemBytes, channels) * (int64_t(roi.height) + mask.height - 1);
  s.overflow = grown > INT_MAX || s.state > INT_MAX || s.capacity > INT_MAX;
  if (s.overflow) return s;
  s.work = morph::work_bytes(int(grown), mask, elemBytes, channels);
  s.half = 64 + round_up(s.capacity, 64) + s.work;
  s.overflow = 2 * s.half > INT_MAX;
  return s;
}

Status get_size(ImageSize roi, ImageSize mask, int elemBytes, int channels, int* specSize,
                int* bufSize) {
  ZUV_TRY(check::not_null(specSize, bufSize));
  if (roi.width < 1 || roi.height < 1 || mask.width < 1 || mask.height < 1) return StatusSize;
  const Sizes s = sizes_of(roi, mask, elemBytes, channels);
  if (s.overflow) return StatusSizeOverflow;
  *specSize = int(s.state);
  *bufSize = int(2 * s.half);
  return StatusOk;
}

Status init(ImageSize roi, const uint8_t* mask, ImageSize maskSize, int elemBytes, int channels,
            void* spec, void* buf) {
  ZUV_TRY(check::not_null(mask, static_cast<const uint8_t*>(spec), static_cast<const uint8_t*>(buf)));
  if (roi.width < 1 || roi.height < 1 || maskSize.width < 1 || maskSize.height < 1)
    return StatusSize;
  const Sizes s = sizes_of(roi, maskSize, elemBytes, channels);
  // No buffer of the size query's answer exists; refused before anything is written.
  if (s.overflow) return StatusSizeOverflow;
  uint8_t* base = align64(static_cast<uint8_t*>(spec));
  auto* h = reinterpret_cast<Header*>(base);
  h->elemBytes = elemBytes;
  h->channels = channels;
  h->maskW = maskSize.width;
  h->maskH = maskSize.height;
  h->ax = (maskSize.width - 1) / 2;
  h->ay = (maskSize.height - 1) / 2;
  h->maxWidth = roi.width;
  h->maxHeight = roi.height;
  h->capacity = int32_t(s.capacity);
  const int64_t cells = int64_t(maskSize.width) * maskSize.height;
  h->maskOffset = int32_t(round_up(sizeof(Header), 64));
  h->erodeOffset = int32_t(h->maskOffset + round_up(cells, 64));
  h->dilateOffset = int32_t(h->erodeOffset + morph::state_bytes(maskSize));
  h->halfOffset = int32_t(s.half);
  h->workOffset = int32_t(64 + round_up(s.capacity, 64));
  std::memcpy(base + h->maskOffset, mask, size_t(cells));
  // Both passes may run over the ROI grown by the mask.
  const ImageSize grown{roi.width + maskSize.width - 1, roi.height};
  ZUV_TRY(morph::init(grown, mask, maskSize, elemBytes, channels, base + h->erodeOffset, buf));
  ZUV_TRY(morph::init(grown, mask, maskSize, elemBytes, channels, base + h->dilateOffset, buf));
  return StatusOk;
}

// The images of one call; `bit` fields are used by bit-packed images only.
struct Image {
  const uint8_t* src;
  int srcStep, srcBit;
  uint8_t* dst;
  int dstStep, dstBit;
};

// How far the intermediate image grows on each side flagged as in memory.
struct Growth {
  int l = 0, r = 0, t = 0, b = 0;
};

Growth growth_of(const Header& h, int border, Kind kind) {
  Growth g;
  if (kind == Kind::Gradient) return g;  // both passes read the source itself
  int flags = border & 0xF0;
  if ((border & ~0xF0) == BorderInMem) flags = 0xF0;
  if (flags & BorderInMemLeft) g.l = h.ax;
  if (flags & BorderInMemRight) g.r = h.maskW - h.ax - 1;
  if (flags & BorderInMemTop) g.t = h.ay;
  if (flags & BorderInMemBottom) g.b = h.maskH - h.ay - 1;
  return g;
}

// Runs one erosion or dilation; T and C name the image type, bit-packed
// images go through the 1u entry point.
template <class T, int C, bool kBits>
Status pass(Op op, const uint8_t* src, int srcStep, int srcBit, uint8_t* dst, int dstStep,
            int dstBit, ImageSize roi, int border, const T* value, const uint8_t* spec, void* work,
            const Post& post) {
  if constexpr (kBits) {
    return morph::apply_1u(op, src, srcStep, srcBit, dst, dstStep, dstBit, roi, border,
                           value ? value[0] : 0, spec, work, post);
  } else {
    (void)srcBit, (void)dstBit;
    return morph::apply<T, C>(op, reinterpret_cast<const T*>(src), srcStep,
                              reinterpret_cast<T*>(dst), dstStep, roi, border, value, spec, work,
                              post);
  }
}

// Moves a bit position to a byte pointer and a bit offset 0..7.
inline void normalise(const uint8_t*& p, int& bit) {
  const int byte = bit >= 0 ? bit / 8 : -((7 - bit) / 8);
  p += byte;
  bit -= 8 * byte;
}

template <class T, int C, bool kBits>
Status run(Kind kind, const Image& im, ImageSize roi, int border, const T* value, const void* spec,
           void* buf) {
  constexpr int kElem = kBits ? 0 : int(sizeof(T));
  ZUV_TRY(check::not_null(im.src, static_cast<const uint8_t*>(im.dst),
                          static_cast<const uint8_t*>(spec), static_cast<const uint8_t*>(buf)));
  ZUV_TRY(check::border_value<C>(value, border));
  ZUV_TRY(check::roi(roi));
  if constexpr (kBits) {
    ZUV_TRY(check::step(im.srcStep, (int64_t(roi.width) + (im.srcBit > 0 ? im.srcBit : 0) + 7) / 8));
    ZUV_TRY(check::step(im.dstStep, (int64_t(roi.width) + (im.dstBit > 0 ? im.dstBit : 0) + 7) / 8));
  } else {
    ZUV_TRY((check::step_of<T, C>(im.srcStep, roi)));
    ZUV_TRY((check::step_of<T, C>(im.dstStep, roi)));
    ZUV_TRY(check::multiples<T>(im.srcStep, im.dstStep));
  }
  const int mode = border & 15;
  if (mode != BorderConst && mode != BorderRepl && mode != BorderInMem) return StatusBorder;
  const uint8_t* base = align64(static_cast<const uint8_t*>(spec));
  const Header& h = *reinterpret_cast<const Header*>(base);
  if (roi.width > h.maxWidth) return StatusBadArgument;
  const Growth g = growth_of(h, border, kind);
  const ImageSize inner{roi.width + g.l + g.r, roi.height + g.t + g.b};
  const int64_t interStep = inter_row(inner.width, kElem, C);
  if (interStep * inner.height > h.capacity) return StatusBadArgument;
  if constexpr (kBits) {
    if (im.srcBit < 0 || im.dstBit < 0) return StatusBadArgument;  // the inner passes' check
  }

  uint8_t* half = static_cast<uint8_t*>(buf) + (mode == BorderConst ? h.halfOffset : 0);
  uint8_t* inter = align64(half);
  void* work = half + h.workOffset;
  const uint8_t* erodeSpec = base + h.erodeOffset;
  const uint8_t* dilateSpec = base + h.dilateOffset;
  const int step = int(interStep);

  const bool opening = kind == Kind::Open || kind == Kind::Tophat;
  const Op first = opening ? Op::Erode : Op::Dilate;
  const Op second = opening ? Op::Dilate : Op::Erode;
  const int esize = C * int(sizeof(T));

  // Output rows [y0, y1) with border rule b; the intermediate covers them
  // grown by gb, and row 0 of the intermediate is output row y0 - gb.t.
  auto rows = [&](int y0, int y1, int b, const Growth& gb) -> Status {
    const uint8_t* s = im.src + std::ptrdiff_t(y0) * im.srcStep;
    uint8_t* d = im.dst + std::ptrdiff_t(y0) * im.dstStep;
    const ImageSize part{roi.width, y1 - y0};
    Post post;
    post.src = s;
    post.srcStep = im.srcStep;
    post.srcBit = im.srcBit;
    if (kind == Kind::Gradient) {
      // E(S) into the intermediate first, so D(S) may overwrite the source.
      ZUV_TRY((pass<T, C, kBits>(Op::Erode, s, im.srcStep, im.srcBit, inter, step, 0, part, b,
                                 value, erodeSpec, work, Post{})));
      post.kind = Combine::ResultMinusOther;
      post.other = inter;
      post.otherStep = step;
      return pass<T, C, kBits>(Op::Dilate, s, im.srcStep, im.srcBit, d, im.dstStep, im.dstBit,
                               part, b, value, dilateSpec, work, post);
    }
    // First pass over the grown rows, from (-l, -t) of the source.
    const ImageSize grown{roi.width + gb.l + gb.r, part.height + gb.t + gb.b};
    const uint8_t* src = s - std::ptrdiff_t(gb.t) * im.srcStep;
    int srcBit = im.srcBit;
    if constexpr (kBits) {
      srcBit -= gb.l;
      normalise(src, srcBit);
    } else {
      src -= std::ptrdiff_t(gb.l) * esize;
    }
    ZUV_TRY((pass<T, C, kBits>(first, src, im.srcStep, srcBit, inter, step, 0, grown, b, value,
                               first == Op::Erode ? erodeSpec : dilateSpec, work, Post{})));
    // Second pass over the rows, reading the grown margins of the intermediate.
    const uint8_t* mid = inter + std::ptrdiff_t(gb.t) * step;
    int midBit = 0;
    if constexpr (kBits) {
      midBit = gb.l;
      normalise(mid, midBit);
    } else {
      mid += std::ptrdiff_t(gb.l) * esize;
    }
    if (kind == Kind::Tophat) post.kind = Combine::SrcMinusResult;
    if (kind == Kind::Blackhat) post.kind = Combine::ResultMinusSrc;
    return pass<T, C, kBits>(second, mid, step, midBit, d, im.dstStep, im.dstBit, part, b, value,
                             second == Op::Erode ? erodeSpec : dilateSpec, work, post);
  };

  // Tall images run in bands of rows so the intermediate stays in cache. A
  // band edge inside the image is marked in memory: the first pass reads the
  // true source rows beyond it and recomputes the intermediate rows the
  // second pass needs there, so every band gets the whole-image result. Bands
  // are at least twice the mask height, so those rows lie inside the image.
  // In place, later bands would read rows earlier bands wrote: one band.
  const int bandH = std::max(32, 2 * h.maskH);
  const int bands = im.src == im.dst ? 1 : roi.height / bandH;
  if (bands <= 1) return rows(0, roi.height, border, g);
  for (int k = 0; k < bands; ++k) {
    const bool top = k == 0, bottom = k == bands - 1;
    Growth gb = g;
    int b = border;
    if (!top) b |= BorderInMemTop, gb.t = kind == Kind::Gradient ? 0 : h.ay;
    if (!bottom) b |= BorderInMemBottom, gb.b = kind == Kind::Gradient ? 0 : h.maskH - h.ay - 1;
    ZUV_TRY(rows(k * bandH, bottom ? roi.height : (k + 1) * bandH, b, gb));
  }
  return StatusOk;
}

template <class T, int C>
Status run_typed(Kind kind, const T* src, int srcStep, T* dst, int dstStep, ImageSize roi,
                 int border, const T* value, const void* spec, void* buf) {
  const Image im{reinterpret_cast<const uint8_t*>(src), srcStep, 0, reinterpret_cast<uint8_t*>(dst),
                 dstStep, 0};
  return run<T, C, false>(kind, im, roi, border, value, spec, buf);
}

Status run_bits(Kind kind, const uint8_t* src, int srcStep, int srcBit, uint8_t* dst, int dstStep,
                int dstBit, ImageSize roi, int border, uint8_t value, const void* spec, void* buf) {
  const Image im{src, srcStep, srcBit, dst, dstStep, dstBit};
  return run<uint8_t, 1, true>(kind, im, roi, border, &value, spec, buf);
}

}  // namespace
}  // namespace zuv::morph_adv

// ---------------------------------------------------------------------------
// Exports.

using zuv::morph_adv::Kind;

#define ZUV_ADV_OP_Value(name, kind, T, C)                                                     \
  ZUV_EXPORT(name, (const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roiSize,       \
                    BorderType borderType, T borderValue, const MorphAdvState* pMorphSpec,     \
                    uint8_t* pBuffer),                                                         \
             (zuv::morph_adv::run_typed<T, C>(Kind::kind, pSrc, srcStep, pDst, dstStep,        \
                                              roiSize, borderType, &borderValue, pMorphSpec,   \
                                              pBuffer)))
#define ZUV_ADV_OP_Last(name, kind, T, C)                                                      \
  ZUV_EXPORT(name, (const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roiSize,       \
                    BorderType borderType, const MorphAdvState* pMorphSpec, uint8_t* pBuffer,  \
                    T borderValue),                                                            \
             (zuv::morph_adv::run_typed<T, C>(Kind::kind, pSrc, srcStep, pDst, dstStep,        \
                                              roiSize, borderType, &borderValue, pMorphSpec,   \
                                              pBuffer)))
#define ZUV_ADV_OP_Array(name, kind, T, C)                                                     \
  ZUV_EXPORT(name, (const T* pSrc, int srcStep, T* pDst, int dstStep, ImageSize roiSize,       \
                    BorderType borderType, const T borderValue[C],                             \
                    const MorphAdvState* pMorphSpec, uint8_t* pBuffer),                        \
             (zuv::morph_adv::run_typed<T, C>(Kind::kind, pSrc, srcStep, pDst, dstStep,        \
                                              roiSize, borderType, borderValue, pMorphSpec,    \
                                              pBuffer)))

#define X(gs, in, op, cl, th, bh, gr, T, C, kind)                                              \
  ZUV_EXPORT(gs, (ImageSize roiSize, ImageSize maskSize, int32_t* pSpecSize,                   \
                  int32_t* pBufferSize),                                                       \
             (zuv::morph_adv::get_size(roiSize, maskSize, int(sizeof(T)), C, pSpecSize,        \
                                       pBufferSize)))                                          \
  ZUV_EXPORT(in, (ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize,                 \
                  MorphAdvState* pMorphSpec, uint8_t* pBuffer),                                \
             (zuv::morph_adv::init(roiSize, pMask, maskSize, int(sizeof(T)), C, pMorphSpec,    \
                                   pBuffer)))                                                  \
  ZUV_ADV_OP_##kind(op, Open, T, C) ZUV_ADV_OP_##kind(cl, Close, T, C)                         \
  ZUV_ADV_OP_##kind(th, Tophat, T, C) ZUV_ADV_OP_##kind(bh, Blackhat, T, C)                    \
  ZUV_ADV_OP_##kind(gr, Gradient, T, C)
ZUV_MORPH_ADV_TABLE(X)
#undef X

#define ZUV_ADV_OP_1U(name, kind)                                                              \
  ZUV_EXPORT(name, (const uint8_t* pSrc, int srcStep, int srcBitOffset, uint8_t* pDst,         \
                    int dstStep, int dstBitOffset, ImageSize roiSize, BorderType borderType,   \
                    uint8_t borderValue, const MorphAdvState* pMorphSpec, uint8_t* pBuffer),   \
             (zuv::morph_adv::run_bits(Kind::kind, pSrc, srcStep, srcBitOffset, pDst, dstStep, \
                                       dstBitOffset, roiSize, borderType, borderValue,         \
                                       pMorphSpec, pBuffer)))
#define X(gs, in, op, cl, th, bh, gr)                                                          \
  ZUV_EXPORT(gs, (ImageSize roiSize, ImageSize maskSize, int32_t* pSpecSize,                   \
                  int32_t* pBufferSize),                                                       \
             (zuv::morph_adv::get_size(roiSize, maskSize, 0, 1, pSpecSize, pBufferSize)))      \
  ZUV_EXPORT(in, (ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize,                 \
                  MorphAdvState* pMorphSpec, uint8_t* pBuffer),                                \
             (zuv::morph_adv::init(roiSize, pMask, maskSize, 0, 1, pMorphSpec, pBuffer)))      \
  ZUV_ADV_OP_1U(op, Open) ZUV_ADV_OP_1U(cl, Close) ZUV_ADV_OP_1U(th, Tophat)                   \
  ZUV_ADV_OP_1U(bh, Blackhat) ZUV_ADV_OP_1U(gr, Gradient)
ZUV_MORPH_ADV_1U_TABLE(X)
#undef X
