// SPDX-License-Identifier: BSD-3-Clause
// Image storage, PNG input and output through libpng, and the tool's conversions.
#include "image.h"

#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace zuvcv {

size_t pixel_bytes(Pixel p) {
  switch (p) {
    case Pixel::U8: return 1;
    case Pixel::U16:
    case Pixel::S16: return 2;
    case Pixel::S32:
    case Pixel::F32: return 4;
  }
  return 1;
}

Image Image::make(int width, int height, int channels, Pixel pixel) {
  if (width < 1 || height < 1 || int64_t(width) * height > (int64_t(1) << 28))
    throw ToolError(Exit::Usage, "image size " + std::to_string(width) + "x" + std::to_string(height) +
                                     " is outside 1x1 .. 2^28 pixels");
  Image img;
  img.width = width;
  img.height = height;
  img.channels = channels;
  img.pixel = pixel;
  const int64_t row = int64_t(width) * channels * int64_t(pixel_bytes(pixel));
  img.step = int((row + 63) / 64 * 64);
  img.bytes.assign(size_t(img.step) * size_t(height), 0);
  return img;
}

Image read_png(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) throw ToolError(Exit::Input, "cannot read " + path + ": " + std::strerror(errno));
  unsigned char sig[8] = {};
  const size_t got = std::fread(sig, 1, sizeof sig, f);
  std::fclose(f);
  if (got != sizeof sig || png_sig_cmp(sig, 0, sizeof sig) != 0)
    throw ToolError(Exit::Input, path + " is not a PNG file");

  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str()))
    throw ToolError(Exit::Input, "cannot read " + path + ": " + png.message);
  const bool color = (png.format & PNG_FORMAT_FLAG_COLOR) != 0;
  png.format = color ? PNG_FORMAT_RGB : PNG_FORMAT_GRAY;
  if (png.width > 65536 || png.height > 65536 || uint64_t(png.width) * png.height > (uint64_t(1) << 28)) {
    png_image_free(&png);
    throw ToolError(Exit::Input, path + " is too large (" + std::to_string(png.width) + "x" +
                                     std::to_string(png.height) + ")");
  }
  Image img = Image::make(int(png.width), int(png.height), color ? 3 : 1, Pixel::U8);
  if (!png_image_finish_read(&png, nullptr, img.bytes.data(), img.step, nullptr)) {
    std::string msg = png.message;
    png_image_free(&png);
    throw ToolError(Exit::Input, "cannot read " + path + ": " + msg);
  }
  return img;
}

void write_png(const Image& img, const std::string& path) {
  if (img.pixel != Pixel::U8 || (img.channels != 1 && img.channels != 3))
    throw ToolError(Exit::Failure, "internal: only 8-bit gray or RGB images are written");
  std::string tmp = path + ".XXXXXX";
  std::vector<char> name(tmp.begin(), tmp.end());
  name.push_back('\0');
  const int fd = mkstemp(name.data());
  if (fd < 0) throw ToolError(Exit::Output, "cannot write " + path + ": " + std::strerror(errno));
  // mkstemp makes the file private; give it the permissions of a new file.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  FILE* f = fdopen(fd, "wb");
  if (!f) {
    close(fd);
    unlink(name.data());
    throw ToolError(Exit::Output, "cannot write " + path + ": " + std::strerror(errno));
  }
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  png.width = png_uint_32(img.width);
  png.height = png_uint_32(img.height);
  png.format = img.channels == 3 ? PNG_FORMAT_RGB : PNG_FORMAT_GRAY;
  std::string failure;
  if (!png_image_write_to_stdio(&png, f, 0, img.bytes.data(), img.step, nullptr)) failure = png.message;
  else if (std::fflush(f) != 0) failure = std::strerror(errno);
  if (std::fclose(f) != 0 && failure.empty()) failure = std::strerror(errno);
  if (failure.empty() && std::rename(name.data(), path.c_str()) != 0) failure = std::strerror(errno);
  if (!failure.empty()) {
    unlink(name.data());
    throw ToolError(Exit::Output, "cannot write " + path + ": " + failure);
  }
}

Image to_gray(const Image& src) {
  if (src.channels == 1) return src;
  Image dst = Image::make(src.width, src.height, 1, Pixel::U8);
  for (int y = 0; y < src.height; ++y) {
    const uint8_t* s = src.row<uint8_t>(y);
    uint8_t* d = dst.row<uint8_t>(y);
    for (int x = 0; x < src.width; ++x)
      d[x] = uint8_t((77 * s[3 * x] + 150 * s[3 * x + 1] + 29 * s[3 * x + 2] + 128) >> 8);
  }
  return dst;
}

Image to_rgb(const Image& src) {
  if (src.channels == 3) return src;
  Image dst = Image::make(src.width, src.height, 3, Pixel::U8);
  for (int y = 0; y < src.height; ++y) {
    const uint8_t* s = src.row<uint8_t>(y);
    uint8_t* d = dst.row<uint8_t>(y);
    for (int x = 0; x < src.width; ++x) d[3 * x] = d[3 * x + 1] = d[3 * x + 2] = s[x];
  }
  return dst;
}

namespace {

template <class T>
void widen(const Image& src, Image& dst, int scale) {
  const int n = src.width * src.channels;
  for (int y = 0; y < src.height; ++y) {
    const uint8_t* s = src.row<uint8_t>(y);
    T* d = dst.row<T>(y);
    for (int x = 0; x < n; ++x) d[x] = T(s[x] * scale);
  }
}

}  // namespace

Image to_pixel(const Image& src, Pixel target) {
  if (src.pixel != Pixel::U8) throw ToolError(Exit::Failure, "internal: conversion from a non-8-bit image");
  if (target == Pixel::U8) return src;
  Image dst = Image::make(src.width, src.height, src.channels, target);
  switch (target) {
    case Pixel::U16: widen<uint16_t>(src, dst, 257); break;
    case Pixel::S16: widen<int16_t>(src, dst, 1); break;
    case Pixel::S32: widen<int32_t>(src, dst, 1); break;
    case Pixel::F32: widen<float>(src, dst, 1); break;
    case Pixel::U8: break;
  }
  return dst;
}

Image shifted(const Image& src, int dx, int dy) {
  Image dst = Image::make(src.width, src.height, src.channels, src.pixel);
  const size_t px = size_t(src.channels) * pixel_bytes(src.pixel);
  for (int y = 0; y < src.height; ++y) {
    const int sy = std::clamp(y - dy, 0, src.height - 1);
    const uint8_t* s = src.row<uint8_t>(sy);
    uint8_t* d = dst.row<uint8_t>(y);
    for (int x = 0; x < src.width; ++x) {
      const int sx = std::clamp(x - dx, 0, src.width - 1);
      std::memcpy(d + size_t(x) * px, s + size_t(sx) * px, px);
    }
  }
  return dst;
}

Image resized(const Image& src, int width, int height) {
  Image dst = Image::make(width, height, src.channels, src.pixel);
  const size_t px = size_t(src.channels) * pixel_bytes(src.pixel);
  for (int y = 0; y < height; ++y) {
    const uint8_t* s = src.row<uint8_t>(int(int64_t(y) * src.height / height));
    uint8_t* d = dst.row<uint8_t>(y);
    for (int x = 0; x < width; ++x)
      std::memcpy(d + size_t(x) * px, s + size_t(int64_t(x) * src.width / width) * px, px);
  }
  return dst;
}

Image filled(int width, int height, int channels, Pixel pixel, double value) {
  Image img = Image::make(width, height, channels, pixel);
  const int n = width * channels;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < n; ++x) {
      switch (pixel) {
        case Pixel::U8: img.row<uint8_t>(y)[x] = uint8_t(value); break;
        case Pixel::U16: img.row<uint16_t>(y)[x] = uint16_t(value); break;
        case Pixel::S16: img.row<int16_t>(y)[x] = int16_t(value); break;
        case Pixel::S32: img.row<int32_t>(y)[x] = int32_t(value); break;
        case Pixel::F32: img.row<float>(y)[x] = float(value); break;
      }
    }
  }
  return img;
}

Image mask_above(const Image& gray, int above) {
  Image m = Image::make(gray.width, gray.height, 1, Pixel::U8);
  for (int y = 0; y < gray.height; ++y)
    for (int x = 0; x < gray.width; ++x)
      m.row<uint8_t>(y)[x] = gray.row<uint8_t>(y)[x * gray.channels] > above ? 255 : 0;
  return m;
}

Image dim_outside(const Image& picture, const Image& mask) {
  Image out = to_rgb(picture);
  for (int y = 0; y < out.height; ++y)
    for (int x = 0; x < out.width; ++x)
      if (!mask.row<uint8_t>(y)[x])
        for (int c = 0; c < 3; ++c) out.row<uint8_t>(y)[3 * x + c] = uint8_t(out.row<uint8_t>(y)[3 * x + c] / 4);
  return out;
}

void mark(Image& rgb, int cx, int cy, uint8_t r, uint8_t g, uint8_t b) {
  const int radius = std::max(6, std::min(rgb.width, rgb.height) / 32);
  for (int y = cy - radius - 1; y <= cy + radius + 1; ++y)
    for (int x = cx - radius - 1; x <= cx + radius + 1; ++x) {
      if (x < 0 || y < 0 || x >= rgb.width || y >= rgb.height) continue;
      const int d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
      if (d2 < (radius - 2) * (radius - 2) || d2 > (radius + 1) * (radius + 1)) continue;
      uint8_t* p = rgb.row<uint8_t>(y) + 3 * x;
      p[0] = r;
      p[1] = g;
      p[2] = b;
    }
}

}  // namespace zuvcv
