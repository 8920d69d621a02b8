// SPDX-License-Identifier: BSD-3-Clause
// Shared benchmark helpers: sizes, thread settings and padded buffers.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "zuvcv.h"

namespace zuv::bench {

struct Size {
  int w, h;
  const char* name;
};
constexpr Size kSizes[] = {{640, 480, "640x480"}, {1920, 1080, "1920x1080"}};

// A row-padded image buffer with random content.
template <class T>
struct Image {
  Image(int w, int h, int c = 1, uint32_t seed = 1)
      : width(w), height(h), step(int(((size_t(w) * c * sizeof(T)) + 63) / 64 * 64)),
        data(size_t(step) * h / sizeof(T) + 16) {
    std::mt19937 rng(seed);
    for (auto& v : data) v = static_cast<T>(rng() % 256);
  }
  T* ptr() { return data.data(); }
  ImageSize roi() const { return {width, height}; }
  int width, height, step;
  std::vector<T> data;
};

// Applies a thread count for the library (OpenCV is told the same).
inline void set_threads(int n) { zuvSetNumThreads(n); }

}  // namespace zuv::bench
