// SPDX-License-Identifier: BSD-3-Clause
// Pictures of results: gray values, stretched ranges, a colour map, overlays.
#include "render.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

namespace zuvcv {

namespace {

// Every element of a one- or three-channel result as double, row by row.
std::vector<double> values_of(const Image& img) {
  std::vector<double> v;
  const int n = img.width * img.channels;
  v.reserve(size_t(n) * size_t(img.height));
  for (int y = 0; y < img.height; ++y) {
    for (int x = 0; x < n; ++x) {
      switch (img.pixel) {
        case Pixel::U8: v.push_back(img.row<uint8_t>(y)[x]); break;
        case Pixel::U16: v.push_back(img.row<uint16_t>(y)[x]); break;
        case Pixel::S16: v.push_back(img.row<int16_t>(y)[x]); break;
        case Pixel::S32: v.push_back(img.row<int32_t>(y)[x]); break;
        case Pixel::F32: v.push_back(img.row<float>(y)[x]); break;
      }
    }
  }
  return v;
}

uint8_t saturate(double v) {
  if (!(v > 0)) return 0;  // NaN too
  if (v >= 255) return 255;
  return uint8_t(std::nearbyint(v));  // half to even, the default rounding mode
}

// Dark violet through red and orange to pale yellow: brightness rises
// steadily, so the map reads in gray print as well.
constexpr std::array<std::array<double, 3>, 7> kHeat = {{{0, 0, 4},
                                                          {40, 11, 84},
                                                          {101, 21, 110},
                                                          {159, 42, 99},
                                                          {212, 72, 66},
                                                          {245, 125, 21},
                                                          {250, 215, 80}}};

std::array<uint8_t, 3> heat(double t) {
  t = std::clamp(std::isnan(t) ? 0.0 : t, 0.0, 1.0) * double(kHeat.size() - 1);
  const size_t i = std::min(size_t(t), kHeat.size() - 2);
  const double f = t - double(i);
  std::array<uint8_t, 3> c{};
  for (int k = 0; k < 3; ++k) c[size_t(k)] = saturate(kHeat[i][size_t(k)] * (1 - f) + kHeat[i + 1][size_t(k)] * f);
  return c;
}

std::array<uint8_t, 3> diverging(double t) {  // t in -1..1
  t = std::clamp(std::isnan(t) ? 0.0 : t, -1.0, 1.0);
  constexpr double kBlue[3] = {40, 80, 200}, kRed[3] = {200, 30, 30}, kWhite[3] = {245, 245, 245};
  const double* end = t < 0 ? kBlue : kRed;
  const double f = std::fabs(t);
  return {saturate(kWhite[0] * (1 - f) + end[0] * f), saturate(kWhite[1] * (1 - f) + end[1] * f),
          saturate(kWhite[2] * (1 - f) + end[2] * f)};
}

std::array<uint8_t, 3> label_colour(double label) {
  // Golden-ratio steps of hue keep neighbouring labels apart.
  const double h = std::fmod(std::fabs(label) * 0.618033988749895, 1.0) * 6.0;
  const int i = int(h);
  const double f = h - i;
  const double v = 255, s = 0.85;
  const double p = v * (1 - s), q = v * (1 - s * f), u = v * (1 - s * (1 - f));
  switch (i % 6) {
    case 0: return {saturate(v), saturate(u), saturate(p)};
    case 1: return {saturate(q), saturate(v), saturate(p)};
    case 2: return {saturate(p), saturate(v), saturate(u)};
    case 3: return {saturate(p), saturate(q), saturate(v)};
    case 4: return {saturate(u), saturate(p), saturate(v)};
    default: return {saturate(v), saturate(p), saturate(q)};
  }
}

}  // namespace

const char* render_name(Render how) {
  switch (how) {
    case Render::Gray: return "values";
    case Render::Stretch: return "stretched to 0..255";
    case Render::Heat: return "colour map, low to high";
    case Render::Diverging: return "blue below zero, red above";
    case Render::Labels: return "labels over the input";
    case Render::Edges: return "edges over the input";
  }
  return "";
}

Image render(const Image& result, Render how, const Image& input) {
  const std::vector<double> v = values_of(result);
  const int w = result.width, h = result.height;
  if (how == Render::Gray) {
    if (result.pixel == Pixel::U8) return result;
    Image out = Image::make(w, h, result.channels, Pixel::U8);
    const int n = w * result.channels;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < n; ++x) {
        const double e = v[size_t(y) * size_t(n) + size_t(x)];
        out.row<uint8_t>(y)[x] = result.pixel == Pixel::U16 ? uint8_t((uint32_t(e) + 128) / 257) : saturate(e);
      }
    return out;
  }

  double lo = std::numeric_limits<double>::infinity(), hi = -lo, mag = 0;
  std::vector<double> sizes;
  for (double e : v)
    if (std::isfinite(e)) {
      lo = std::min(lo, e);
      hi = std::max(hi, e);
      if (e != 0) sizes.push_back(std::fabs(e));
    }
  if (!sizes.empty()) {
    // Signed results (derivatives) have rare large values; scaling to the
    // 99th percentile of the magnitudes keeps the common structure visible.
    auto at = sizes.begin() + std::ptrdiff_t(double(sizes.size() - 1) * 0.99);
    std::nth_element(sizes.begin(), at, sizes.end());
    mag = *at;
  }
  const double span = hi > lo ? hi - lo : 1;
  if (!(lo <= hi)) lo = hi = 0;

  if (how == Render::Stretch) {
    Image out = Image::make(w, h, result.channels, Pixel::U8);
    const int n = w * result.channels;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < n; ++x) {
        const double e = v[size_t(y) * size_t(n) + size_t(x)];
        out.row<uint8_t>(y)[x] = std::isfinite(e) ? saturate((e - lo) * 255.0 / span) : (e > 0 ? 255 : 0);
      }
    return out;
  }

  Image out = Image::make(w, h, 3, Pixel::U8);
  const Image base = (how == Render::Labels || how == Render::Edges) ? to_gray(input) : Image{};
  for (int y = 0; y < h; ++y) {
    uint8_t* d = out.row<uint8_t>(y);
    for (int x = 0; x < w; ++x) {
      // Multi-channel results take the first channel; overlays count any channel.
      const size_t at = (size_t(y) * size_t(w) + size_t(x)) * size_t(result.channels);
      const double e = v[at];
      std::array<uint8_t, 3> c{};
      switch (how) {
        case Render::Heat: c = heat(std::isinf(e) ? (e > 0 ? 1.0 : 0.0) : (e - lo) / span); break;
        case Render::Diverging: c = diverging(mag > 0 ? e / mag : 0); break;
        case Render::Labels:
        case Render::Edges: {
          const double g = base.row<uint8_t>(y)[x];
          if (e != 0) {
            const std::array<uint8_t, 3> mark = how == Render::Edges ? std::array<uint8_t, 3>{255, 230, 40}
                                                                     : label_colour(e);
            const double a = how == Render::Edges ? 1.0 : 0.6;
            for (int k = 0; k < 3; ++k) c[size_t(k)] = saturate(mark[size_t(k)] * a + g * (1 - a));
          } else {
            const uint8_t dim = saturate(how == Render::Edges ? g * 0.45 : g);
            c = {dim, dim, dim};
          }
          break;
        }
        default: break;
      }
      d[3 * x] = c[0];
      d[3 * x + 1] = c[1];
      d[3 * x + 2] = c[2];
    }
  }
  return out;
}

}  // namespace zuvcv
