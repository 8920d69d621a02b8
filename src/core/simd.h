// SPDX-License-Identifier: BSD-3-Clause
// AVX-512 helpers: target regions and tail masks.
#pragma once

#include <immintrin.h>

#include <cstdint>

// Code between these compiles for AVX-512 F/CD/BW/DQ/VL; the rest of a file
// stays at the baseline so the scalar reference runs anywhere.
// GCC 12 reports the undefined pass-through operand of its own AVX-512
// conversion intrinsics as uninitialized; the region silences that warning.
#define ZUV_AVX512_BEGIN \
  _Pragma("GCC push_options") \
  _Pragma("GCC target(\"avx512f,avx512cd,avx512bw,avx512dq,avx512vl,fma,bmi2\")") \
  _Pragma("GCC diagnostic push") \
  _Pragma("GCC diagnostic ignored \"-Wuninitialized\"")
#define ZUV_AVX512_END _Pragma("GCC diagnostic pop") _Pragma("GCC pop_options")

// Per-block kernel bodies that must fold into their row loops (a call per
// block costs its register state).
#define ZUV_INLINE inline __attribute__((always_inline))

namespace zuv::simd {

// Masks with the low n bits set (n may reach the full width).
inline __mmask16 mask16(int n) { return n >= 16 ? __mmask16(0xFFFF) : __mmask16((1u << n) - 1u); }
inline __mmask32 mask32(int n) { return n >= 32 ? __mmask32(0xFFFFFFFFu) : __mmask32((1u << n) - 1u); }
inline __mmask64 mask64(int n) {
  return n >= 64 ? __mmask64(~0ull) : __mmask64((1ull << n) - 1ull);
}

}  // namespace zuv::simd

ZUV_AVX512_BEGIN
namespace zuv::simd {

// Dwords S .. S + 15 of the pair (c0, c1), 0 <= S <= 16: c0 advanced by S
// dwords, the dwords past its end from c1 (one immediate align).
template <int S>
inline __m512i dword_shift(__m512i c0, __m512i c1) {
  if constexpr (S == 0) return c0;
  else if constexpr (S == 16) return c1;
  else return _mm512_alignr_epi32(c1, c0, S);
}

}  // namespace zuv::simd
ZUV_AVX512_END
