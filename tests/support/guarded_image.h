// SPDX-License-Identifier: BSD-3-Clause
// Test images whose memory ends at inaccessible guard pages, so any read or
// write outside the allowed area faults at once.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <stdexcept>
#include <type_traits>
#include <vector>

#include "zuvcv.h"

namespace zuv::test {

// Which end of the image touches a guard page.
enum class Flush { End, Begin };

// Bytes every row padding byte holds; checked after each call.
constexpr uint8_t kSentinel = 0xA5;

class GuardedBytes {
 public:
  GuardedBytes(size_t span, Flush flush) : span_(span) {
    page_ = size_t(sysconf(_SC_PAGESIZE));
    const size_t body = (span + page_ - 1) / page_ * page_;
    total_ = body + 2 * page_;
    void* m = mmap(nullptr, total_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (m == MAP_FAILED) throw std::runtime_error("mmap failed");
    map_ = static_cast<uint8_t*>(m);
    if (mprotect(map_ + page_, body, PROT_READ | PROT_WRITE) != 0)
      throw std::runtime_error("mprotect failed");
    base_ = flush == Flush::End ? map_ + page_ + body - span : map_ + page_;
  }
  ~GuardedBytes() { munmap(map_, total_); }
  GuardedBytes(const GuardedBytes&) = delete;
  GuardedBytes& operator=(const GuardedBytes&) = delete;
  uint8_t* base() const { return base_; }
  size_t span() const { return span_; }

 private:
  uint8_t* map_ = nullptr;
  uint8_t* base_ = nullptr;
  size_t span_ = 0, total_ = 0, page_ = 0;
};

// A width x height image of C-channel pixels of T. Rows are `pad` bytes longer
// than the pixels (the gap holds a sentinel), and `margin` pixels of readable
// memory surround the region on every side (for operations that read borders
// in memory). Without a margin the region's first or last byte touches a guard
// page, as `flush` says.
template <class T>
class GuardedImage {
 public:
  GuardedImage(int width, int height, int channels = 1, int pad = 0, Flush flush = Flush::End,
               int margin = 0)
      : w_(width), h_(height), c_(channels), margin_(margin),
        row_bytes_(size_t(width + 2 * margin) * channels * sizeof(T)),
        step_(int(row_bytes_) + pad),
        mem_(size_t(height + 2 * margin - 1) * step_ + row_bytes_, flush) {
    std::memset(mem_.base(), kSentinel, mem_.span());
    origin_ = reinterpret_cast<T*>(mem_.base() + size_t(margin) * step_) + size_t(margin) * c_;
  }

  T* data() { return origin_; }
  const T* data() const { return origin_; }
  int step() const { return step_; }
  int width() const { return w_; }
  int height() const { return h_; }
  int channels() const { return c_; }
  ImageSize size() const { return ImageSize{w_, h_}; }

  T* row(int y) { return reinterpret_cast<T*>(reinterpret_cast<uint8_t*>(origin_) + ptrdiff_t(y) * step_); }
  const T* row(int y) const { return const_cast<GuardedImage*>(this)->row(y); }
  T& at(int x, int y, int c = 0) { return row(y)[ptrdiff_t(x) * c_ + c]; }
  T at(int x, int y, int c = 0) const { return row(y)[ptrdiff_t(x) * c_ + c]; }

  // Every byte of the allocation, region, margin and padding alike.
  std::vector<uint8_t> bytes() const { return {mem_.base(), mem_.base() + mem_.span()}; }

  // True when no row padding byte was changed.
  bool padding_intact() const {
    const int rows = h_ + 2 * margin_;
    for (int y = 0; y + 1 < rows; ++y) {
      const uint8_t* p = mem_.base() + size_t(y) * step_ + row_bytes_;
      for (size_t i = row_bytes_; i < size_t(step_); ++i, ++p)
        if (*p != kSentinel) return false;
    }
    return true;
  }

  // Region pixels only, row by row.
  std::vector<T> pixels() const {
    std::vector<T> v;
    v.reserve(size_t(w_) * h_ * c_);
    for (int y = 0; y < h_; ++y) v.insert(v.end(), row(y), row(y) + size_t(w_) * c_);
    return v;
  }

  template <class F>
  void fill(F&& f) {  // f(x, y, c) -> T
    for (int y = 0; y < h_; ++y)
      for (int x = 0; x < w_; ++x)
        for (int c = 0; c < c_; ++c) at(x, y, c) = static_cast<T>(f(x, y, c));
  }

  void fill_random(std::mt19937& rng) {
    for (int y = 0; y < h_; ++y)
      for (int i = 0; i < w_ * c_; ++i) row(y)[i] = random_value<T>(rng);
  }

  void copy_from(const GuardedImage& o) {
    for (int y = 0; y < h_; ++y) std::memcpy(row(y), o.row(y), size_t(w_) * c_ * sizeof(T));
  }

  template <class U>
  static U random_value(std::mt19937& rng) {
    if constexpr (std::is_floating_point_v<U>) {
      return std::uniform_real_distribution<U>(U(-1000), U(1000))(rng);
    } else {
      using W = std::conditional_t<std::is_signed_v<U>, int64_t, uint64_t>;
      return static_cast<U>(std::uniform_int_distribution<W>(
          W(std::numeric_limits<U>::min()), W(std::numeric_limits<U>::max()))(rng));
    }
  }

 private:
  int w_, h_, c_, margin_;
  size_t row_bytes_;
  int step_;
  GuardedBytes mem_;
  T* origin_ = nullptr;
};

}  // namespace zuv::test
