// SPDX-License-Identifier: BSD-3-Clause
// Internal wrappers around the core services (allocation, cache size, thread count).
#pragma once

#include <cstdint>

#include "zuvcv.h"

namespace zuv {

// Null when n < 1 or the byte count exceeds 2147483647.
inline void* zuvsMalloc_bytes(int64_t n, int64_t elem) {
  if (n < 1 || elem * n > 2147483647LL) return nullptr;
  return zuvMalloc(elem * n);
}
inline float* zuvsMalloc_32f(int64_t n) { return static_cast<float*>(zuvsMalloc_bytes(n, 4)); }
inline int32_t* zuvsMalloc_32s(int64_t n) { return static_cast<int32_t*>(zuvsMalloc_bytes(n, 4)); }
inline double* zuvsMalloc_64f(int64_t n) { return static_cast<double*>(zuvsMalloc_bytes(n, 8)); }
inline void zuvsFree(void* p) { zuvFree(p); }

// The largest cache in bytes; the status is not examined, and a query that
// fails leaves the fixed default of 1 MiB.
inline int owncvGetCacheSize() {
  int32_t size = 1 << 20;
  if (zuvGetMaxCacheSizeB(&size) != StatusOk) size = 1 << 20;
  return size;
}

// Permitted thread count, read before any parallel region exists.
inline int owncvGetMaxNumThreads() { return ownGetNumThreads(); }

}  // namespace zuv
