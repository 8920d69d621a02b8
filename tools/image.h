// SPDX-License-Identifier: BSD-3-Clause
// Images of the zuvcv tool: 64-byte aligned rows, PNG reading and writing, conversions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "zuvcv.h"

namespace zuvcv {

// A failure the tool reports to its user and turns into an exit code.
enum class Exit { Ok = 0, Failure = 1, Usage = 2, Input = 3, Refused = 4, Output = 5 };

class ToolError : public std::runtime_error {
 public:
  ToolError(Exit code, const std::string& message) : std::runtime_error(message), code_(code) {}
  Exit code() const { return code_; }

 private:
  Exit code_;
};

// Element types of the images operations produce.
enum class Pixel { U8, U16, S16, S32, F32 };

size_t pixel_bytes(Pixel p);

// 64-byte aligned storage, as applications allocate images for vector code.
template <class T>
struct AlignedAllocator {
  using value_type = T;
  AlignedAllocator() = default;
  template <class U>
  AlignedAllocator(const AlignedAllocator<U>&) {}
  T* allocate(size_t n) {
    size_t bytes = (n * sizeof(T) + 63) / 64 * 64;
    void* p = std::aligned_alloc(64, bytes == 0 ? 64 : bytes);
    if (!p) throw std::bad_alloc();
    return static_cast<T*>(p);
  }
  void deallocate(T* p, size_t) { std::free(p); }
  template <class U>
  bool operator==(const AlignedAllocator<U>&) const { return true; }
  template <class U>
  bool operator!=(const AlignedAllocator<U>&) const { return false; }
};

// An interleaved image with rows padded to 64 bytes; step is in bytes.
struct Image {
  int width = 0, height = 0, channels = 1;
  Pixel pixel = Pixel::U8;
  int step = 0;
  std::vector<uint8_t, AlignedAllocator<uint8_t>> bytes;

  static Image make(int width, int height, int channels, Pixel pixel);
  bool empty() const { return width == 0 || height == 0; }
  ImageSize size() const { return ImageSize{width, height}; }
  int64_t pixels() const { return int64_t(width) * height; }

  template <class T>
  T* row(int y) { return reinterpret_cast<T*>(bytes.data() + size_t(y) * size_t(step)); }
  template <class T>
  const T* row(int y) const { return reinterpret_cast<const T*>(bytes.data() + size_t(y) * size_t(step)); }
  template <class T>
  T* data() { return row<T>(0); }
  template <class T>
  const T* data() const { return row<T>(0); }
};

// PNG files: 8-bit gray or RGB in (palette, low bit depths and 16 bits are
// converted to 8 bits, alpha is dropped); 8-bit gray or RGB out.
Image read_png(const std::string& path);
// Writes through a temporary file in the same folder renamed into place, so a
// failure never leaves a half-written file under the final name.
void write_png(const Image& img, const std::string& path);

// Conversions between the tool's 8-bit pictures and the operations' types.
Image to_gray(const Image& src);                  // RGB: rounded BT.601 luma
Image to_rgb(const Image& src);                   // gray copied to three channels
Image to_pixel(const Image& src8u, Pixel target);  // 16u: v * 257, 16s/32s/32f: v
Image shifted(const Image& src, int dx, int dy);  // moved by (dx, dy), edges replicated
Image resized(const Image& src, int width, int height);  // nearest neighbour
Image filled(int width, int height, int channels, Pixel pixel, double value);

// Helpers for masked operations and pictures of measurements.
Image mask_above(const Image& gray8u, int above);             // 255 where the first channel > above (-1: all)
Image dim_outside(const Image& picture, const Image& mask);   // RGB, pixels outside the mask darkened
void mark(Image& rgb, int x, int y, uint8_t r, uint8_t g, uint8_t b);  // a small ring around (x, y)

}  // namespace zuvcv
