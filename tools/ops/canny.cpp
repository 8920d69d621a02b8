// SPDX-License-Identifier: BSD-3-Clause
// zuvcv operations of the Canny edge-detection family.
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
  return {canny};
}

const FamilyRegistration kCanny("features/canny", 51, canny_ops());

}  // namespace
