// SPDX-License-Identifier: BSD-3-Clause
// zuvcv operations of the Canny edge-detection family.
#include <algorithm>
#include <memory>

#include "../registry.h"

#ifdef ZUV_HAVE_OPENCV
#include <opencv2/imgproc.hpp>

#include "../cv_mat.h"
#endif

namespace {

using namespace zuvcv;

struct CannyState {
  Image src, dst;
  std::vector<uint8_t> buffer;
  DifferentialKernel kind = DifferentialKernelSobel;
  MaskSize mask = MaskSize3x3;
  BorderType border = BorderRepl;
  uint8_t border_value = 0;
  NormType norm = NormTypeL2;
  float low = 0, high = 0;
};

// --aperture 3 or 5 gives the mask code 33 or 55; other values reach the library as n * 11.
MaskSize mask_code(int aperture) { return aperture >= -195225786 && aperture <= 195225786 ? aperture * 11 : -1; }

Job prepare_canny(const OpArgs& a) {
  auto s = std::make_shared<CannyState>();
  s->src = a.src;
  s->dst = Image::make(a.src.width, a.src.height, 1, Pixel::U8);
  s->kind = a.values.text("kernel") == "scharr" ? DifferentialKernelScharr : DifferentialKernelSobel;
  s->mask = mask_code(a.values.integer("aperture"));
  s->border = border_code(a.values.text("border"));
  s->border_value = uint8_t(a.values.integer("border-value"));
  s->norm = a.values.text("norm") == "l1" ? NormTypeL1 : NormTypeL2;
  s->low = a.values.real("low");
  s->high = a.values.real("high");
  int32_t bytes = 0;
  const Status sized = zuviCannyBorderGetSize(s->src.size(), s->kind, s->mask, DataType8u, &bytes);
  if (sized != StatusOk) return failed_job(sized, "zuviCannyBorderGetSize");
  s->buffer.resize(size_t(bytes));
  Job job;
  job.calls = "zuviCannyBorder_8u_C1R";
  job.run = [s] {
    CannyState& st = *s;
    return zuviCannyBorder_8u_C1R(st.src.data<uint8_t>(), st.src.step, st.dst.data<uint8_t>(), st.dst.step,
                                  st.src.size(), st.kind, st.mask, st.border, st.border_value, st.norm,
                                  st.buffer.data(), st.low, st.high);
  };
  job.result = [s] { return s->dst; };
  return job;
}

// Canny from derivatives the caller made: here 3x3 Sobel dx and dy with
// replicated edges, as 16s or 32f images.
struct DerivState {
  Image dx, dy, dst;
  std::vector<uint8_t> buffer;
  float low = 0, high = 0;
};

template <class T>
void sobel(const Image& src, Image& dx, Image& dy) {
  const int w = src.width, h = src.height;
  auto at = [&](int x, int y) {
    return int(src.row<uint8_t>(std::clamp(y, 0, h - 1))[std::clamp(x, 0, w - 1)]);
  };
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      dx.row<T>(y)[x] = T((at(x + 1, y - 1) - at(x - 1, y - 1)) + 2 * (at(x + 1, y) - at(x - 1, y)) +
                          (at(x + 1, y + 1) - at(x - 1, y + 1)));
      dy.row<T>(y)[x] = T((at(x - 1, y + 1) - at(x - 1, y - 1)) + 2 * (at(x, y + 1) - at(x, y - 1)) +
                          (at(x + 1, y + 1) - at(x + 1, y - 1)));
    }
}

Job prepare_canny_deriv(const OpArgs& a) {
  auto s = std::make_shared<DerivState>();
  const bool f32 = a.values.text("type") == "32f";
  const Pixel p = f32 ? Pixel::F32 : Pixel::S16;
  s->dx = Image::make(a.src.width, a.src.height, 1, p);
  s->dy = Image::make(a.src.width, a.src.height, 1, p);
  s->dst = Image::make(a.src.width, a.src.height, 1, Pixel::U8);
  if (f32) sobel<float>(a.src, s->dx, s->dy);
  else sobel<int16_t>(a.src, s->dx, s->dy);
  s->low = a.values.real("low");
  s->high = a.values.real("high");
  int32_t bytes = 0;
  const Status sized = zuviCannyGetSize(s->dst.size(), &bytes);
  if (sized != StatusOk) return failed_job(sized, "zuviCannyGetSize");
  s->buffer.resize(size_t(bytes));
  Job job;
  job.calls = f32 ? "zuviCanny_32f8u_C1R" : "zuviCanny_16s8u_C1R";
  if (f32)
    job.run = [s] {
      DerivState& d = *s;
      return zuviCanny_32f8u_C1R(d.dx.data<float>(), d.dx.step, d.dy.data<float>(), d.dy.step, d.dst.data<uint8_t>(),
                                 d.dst.step, d.dst.size(), d.buffer.data(), d.low, d.high);
    };
  else
    job.run = [s] {
      DerivState& d = *s;
      return zuviCanny_16s8u_C1R(d.dx.data<int16_t>(), d.dx.step, d.dy.data<int16_t>(), d.dy.step,
                                 d.dst.data<uint8_t>(), d.dst.step, d.dst.size(), d.buffer.data(), d.low, d.high);
    };
  job.result = [s] { return s->dst; };
  return job;
}

#ifdef ZUV_HAVE_OPENCV
std::function<void()> cv_canny(const OpArgs& a) {
  auto s = std::make_shared<CannyState>();
  s->src = a.src;
  s->dst = Image::make(a.src.width, a.src.height, 1, Pixel::U8);
  const double low = a.values.real("low"), high = a.values.real("high");
  const int aperture = a.values.integer("aperture");
  const bool l2 = a.values.text("norm") == "l2";
  return [s, low, high, aperture, l2] {
    cv::Mat dst = as_mat(s->dst);
    cv::Canny(as_mat(s->src), dst, low, high, aperture, l2);
  };
}
#define ZUV_CV(f) f
#else
#define ZUV_CV(f) nullptr
#endif

std::vector<Op> canny_ops() {
  Op canny;
  canny.name = "canny";
  canny.summary = "Canny edges: derivatives, magnitude, thin ridges, hysteresis between two thresholds";
  canny.exports = "zuviCannyBorderGetSize, zuviCannyBorder_8u_C1R";
  canny.params = {
      float_param("low", "magnitudes above it may join an edge", 100, 0, 1e9, StatusBadArgument),
      float_param("high", "magnitudes above it start an edge (at least --low)", 220, 0, 1e9, StatusBadArgument),
      choice_param("kernel", "derivative kernel", {"sobel", "scharr"}),
      int_param("aperture", "kernel size, 3 or 5 (Scharr: 3 only)", 3, INT32_MIN, INT32_MAX, StatusMaskSize),
      choice_param("norm", "gradient magnitude: sqrt(dx^2 + dy^2) or |dx| + |dy|", {"l2", "l1"}),
      border_param({"repl", "const"}),
      border_value_param()};
  canny.render = Render::Edges;
  canny.prepare = prepare_canny;
  canny.opencv = ZUV_CV(cv_canny);

  Op deriv;
  deriv.name = "canny-deriv";
  deriv.summary = "Canny edges from the caller's derivatives (3x3 Sobel dx, dy), magnitude |dx| + |dy|";
  deriv.exports = "zuviCannyGetSize, zuviCanny_16s8u_C1R, zuviCanny_32f8u_C1R";
  deriv.params = {
      choice_param("type", "element type of the derivatives", {"16s", "32f"}),
      float_param("low", "magnitudes above it may join an edge", 120, 0, 1e9, StatusBadArgument),
      float_param("high", "magnitudes above it start an edge (at least --low)", 280, 0, 1e9, StatusBadArgument)};
  deriv.render = Render::Edges;
  deriv.bench_over = "type";
  deriv.prepare = prepare_canny_deriv;
  deriv.tour_image = "coins.png";
  return {canny, deriv};
}

const FamilyRegistration kCanny("features/canny", 51, canny_ops());

}  // namespace
