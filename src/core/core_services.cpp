// SPDX-License-Identifier: BSD-3-Clause
// Core services (libzuvcore): aligned allocation, cache size, thread count, status texts.
#include <omp.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "zuvcv.h"

namespace {

std::atomic<int32_t> g_threads{0};  // 0: not set by the application

// Largest cache size the kernel reports for CPU 0, in bytes; 0 when unknown.
int64_t largest_cache_bytes() {
  int64_t best = 0;
  for (int i = 0; i < 16; ++i) {
    char path[96];
    std::snprintf(path, sizeof path, "/sys/devices/system/cpu/cpu0/cache/index%d/size", i);
    FILE* f = std::fopen(path, "r");
    if (!f) break;
    long long v = 0;
    char unit = 0;
    const int got = std::fscanf(f, "%lld%c", &v, &unit);
    std::fclose(f);
    if (got < 1) continue;
    if (unit == 'K') v <<= 10;
    else if (unit == 'M') v <<= 20;
    else if (unit == 'G') v <<= 30;
    if (v > best) best = v;
  }
  if (best == 0) {
    const int names[] = {_SC_LEVEL4_CACHE_SIZE, _SC_LEVEL3_CACHE_SIZE, _SC_LEVEL2_CACHE_SIZE,
                         _SC_LEVEL1_DCACHE_SIZE};
    for (int n : names) {
      const long v = sysconf(n);
      if (v > best) best = v;
    }
  }
  return best;
}

struct StatusText {
  Status value;
  const char* text;
};

constexpr StatusText kStatusTexts[] = {
    {StatusOk, "StatusOk: success"},
    {StatusDivByZero, "StatusDivByZero: warning, a divisor was zero; the result is +inf or NaN"},
    {StatusOutputFull, "StatusOutputFull: warning, the result array filled up before the operation found everything"},
    {StatusKernelNotSymmetric, "StatusKernelNotSymmetric: warning, the kernel is not symmetric; its first half, mirrored, is used"},
    {StatusRoiTrimmed, "StatusRoiTrimmed: warning, the region was trimmed to the image or lies wholly outside it"},
    {StatusError, "StatusError: an internal consistency guard failed"},
    {StatusBadArgument, "StatusBadArgument: an argument is outside its allowed set or range"},
    {StatusSize, "StatusSize: a width, height, length, count or buffer size is not positive or too small"},
    {StatusRange, "StatusRange: the upper bound of a range lies below its lower bound"},
    {StatusNullPointer, "StatusNullPointer: a required pointer is null"},
    {StatusOutOfRange, "StatusOutOfRange: a value is outside its permitted range"},
    {StatusDataType, "StatusDataType: the data-type code is not supported"},
    {StatusStep, "StatusStep: a row step is smaller than the bytes of one row"},
    {StatusBadSpec, "StatusBadSpec: the state block's identifying value is wrong"},
    {StatusThreshold, "StatusThreshold: a threshold is negative"},
    {StatusMaskSize, "StatusMaskSize: the mask size is not supported or below 1"},
    {StatusAnchor, "StatusAnchor: the anchor lies outside the mask or kernel"},
    {StatusNumChannels, "StatusNumChannels: the number of channels is not supported"},
    {StatusChannelOfInterest, "StatusChannelOfInterest: the channel of interest is outside 1..3"},
    {StatusChannel, "StatusChannel: the number of channels is not supported"},
    {StatusMetric, "StatusMetric: a distance-transform metric is below 1"},
    {StatusNotEvenStep, "StatusNotEvenStep: a step is not a multiple of the element size"},
    {StatusBorder, "StatusBorder: the border type is not supported"},
    {StatusNorm, "StatusNorm: the norm is not supported"},
    {StatusDifferentialKernel, "StatusDifferentialKernel: the derivative kernel is not supported"},
    {StatusSizeOverflow, "StatusSizeOverflow: a working-buffer size exceeds 2147483647 elements"},
    {StatusInplaceNotSupported, "StatusInplaceNotSupported: the operation cannot work in place"},
    {StatusNotSupportedMode, "StatusNotSupportedMode: the mode or flag combination is not supported"},
};

}  // namespace

extern "C" {

ZUV_API void* zuvMalloc(int64_t length) {
  if (length < 1 || length > 2147483647LL) return nullptr;
  const size_t rounded = (size_t(length) + 63) & ~size_t(63);  // aligned_alloc wants a multiple
  return std::aligned_alloc(64, rounded);
}

ZUV_API void zuvFree(void* ptr) { std::free(ptr); }

ZUV_API Status zuvGetMaxCacheSizeB(int32_t* sizeBytes) {
  if (!sizeBytes) return StatusNullPointer;
  // Found once (racing first calls find the same size); -1 until then.
  static std::atomic<int64_t> found{-1};
  int64_t cached = found.load(std::memory_order_relaxed);
  if (cached < 0) {
    cached = std::max<int64_t>(largest_cache_bytes(), 0);
    found.store(cached, std::memory_order_relaxed);
  }
  if (cached <= 0) return StatusError;
  *sizeBytes = int32_t(cached > 2147483647LL ? 2147483647LL : cached);
  return StatusOk;
}

ZUV_API int32_t ownGetNumThreads(void) {
  const int32_t set = g_threads.load(std::memory_order_relaxed);
  if (set > 0) return set;
  if (const char* env = std::getenv("ZUV_NUM_THREADS")) {
    char* end = nullptr;
    const long v = std::strtol(env, &end, 10);
    if (end != env && *end == '\0' && v >= 1 && v <= 1024) return int32_t(v);
  }
  // OpenMP's count for a new region depends on the nesting level (a list in
  // OMP_NUM_THREADS gives each level its own). Sizes queried outside the
  // application's regions must hold inside them, so within a region the last
  // count seen outside one is used.
  static std::atomic<int32_t> outer{0};
  int32_t omp = 0;
  if (omp_get_level() == 0) {
    omp = int32_t(omp_get_max_threads());
    outer.store(omp, std::memory_order_relaxed);
  } else {
    omp = outer.load(std::memory_order_relaxed);
    if (omp < 1) omp = int32_t(omp_get_max_threads());
  }
  return omp >= 1 ? omp : 1;
}

ZUV_API Status zuvSetNumThreads(int32_t numThreads) {
  g_threads.store(numThreads > 0 ? numThreads : 0, std::memory_order_relaxed);
  return StatusOk;
}

ZUV_API const char* zuvGetStatusString(Status status) {
  for (const StatusText& s : kStatusTexts)
    if (s.value == status) return s.text;
  return "Unknown status: not a value this library returns";
}

}  // extern "C"
