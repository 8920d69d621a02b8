// SPDX-License-Identifier: BSD-3-Clause
// Reads the sample PNG images of the source tree as 8-bit gray pixels.
#pragma once

#include <png.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace zuv::test {

struct GrayImage {
  int width = 0, height = 0;
  std::vector<uint8_t> pixels;  // row after row, no padding
  uint8_t at(int x, int y) const { return pixels[size_t(y) * width + x]; }
};

// Colour images are converted to gray and 16-bit samples reduced to 8 bits;
// an unreadable file gives an empty image.
inline GrayImage read_png_gray(const std::string& path) {
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&img, path.c_str())) return {};
  img.format = PNG_FORMAT_GRAY;
  GrayImage out;
  out.width = int(img.width);
  out.height = int(img.height);
  out.pixels.resize(PNG_IMAGE_SIZE(img));
  if (!png_image_finish_read(&img, nullptr, out.pixels.data(), 0, nullptr)) {
    png_image_free(&img);
    return {};
  }
  return out;
}

// A file of the sample image folder (data/ at the top of the source tree).
inline std::string sample_path(const char* name) { return std::string(ZUV_DATA_DIR) + "/" + name; }

}  // namespace zuv::test
