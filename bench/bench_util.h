// SPDX-License-Identifier: BSD-3-Clause
// Shared benchmark helpers: sizes, thread settings and padded buffers.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

#include "zuvcv.h"

namespace zuv::bench {

struct Size {
  int w, h;
  const char* name;
};
constexpr Size kSizes[] = {{640, 480, "640x480"}, {1920, 1080, "1920x1080"}};

// A 64-byte aligned image buffer with rows padded to 64 bytes and random content.
template <class T>
struct Image {
  Image(int w, int h, int c = 1, uint32_t seed = 1)
      : width(w), height(h), step(int(((size_t(w) * c * sizeof(T)) + 63) / 64 * 64)),
        count(size_t(step) * h / sizeof(T)),
        data(static_cast<T*>(std::aligned_alloc(64, count * sizeof(T) + 64)), &std::free) {
    std::mt19937 rng(seed);
    for (size_t i = 0; i < count; ++i) data.get()[i] = static_cast<T>(rng() % 256);
  }
  T* ptr() { return data.get(); }
  ImageSize roi() const { return {width, height}; }
  int width, height, step;
  size_t count;
  std::unique_ptr<T, decltype(&std::free)> data;
};

// Applies a thread count for the library (OpenCV is told the same).
inline void set_threads(int n) { zuvSetNumThreads(n); }

}  // namespace zuv::bench
