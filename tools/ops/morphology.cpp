// SPDX-License-Identifier: BSD-3-Clause
// zuvcv operations of the morphology family: erosion and dilation with a border.
#include <memory>

#include "../registry.h"
#include "morph_common.h"

#ifdef ZUV_HAVE_OPENCV
#include <opencv2/imgproc.hpp>

#include "../cv_mat.h"
#endif

namespace {

using namespace zuvcv;

template <class T, int C, class GetSize, class Init, class Apply>
Job morph_job(const OpArgs& a, Pixel pixel, GetSize get_size, Init init, Apply apply, const char* name) {
  return morph_state_job<MorphState, T, C>(a, pixel, get_size, init, apply, name, "zuviMorphologyBorderGetSize",
                                           "zuviMorphologyBorderInit");
}
#define NAMED(f) f, #f

template <bool Erode>
Job prepare_morph(const OpArgs& a) {
  const std::string& t = a.values.text("type");
  const bool rgb = a.src.channels == 3;
  if (rgb && t == "16u") throw ToolError(Exit::Usage, "erosion and dilation of RGB images exist for 8u and 32f");
  if (t == "32f") {
    if (rgb)
      return Erode ? morph_job<float, 3>(a, Pixel::F32, zuviMorphologyBorderGetSize_32f_C3R,
                                         zuviMorphologyBorderInit_32f_C3R, NAMED(zuviErodeBorder_32f_C3R))
                   : morph_job<float, 3>(a, Pixel::F32, zuviMorphologyBorderGetSize_32f_C3R,
                                         zuviMorphologyBorderInit_32f_C3R, NAMED(zuviDilateBorder_32f_C3R));
    return Erode ? morph_job<float, 1>(a, Pixel::F32, zuviMorphologyBorderGetSize_32f_C1R,
                                       zuviMorphologyBorderInit_32f_C1R, NAMED(zuviErodeBorder_32f_C1R))
                 : morph_job<float, 1>(a, Pixel::F32, zuviMorphologyBorderGetSize_32f_C1R,
                                       zuviMorphologyBorderInit_32f_C1R, NAMED(zuviDilateBorder_32f_C1R));
  }
  if (t == "16u")
    return Erode ? morph_job<uint16_t, 1>(a, Pixel::U16, zuviMorphologyBorderGetSize_16u_C1R,
                                          zuviMorphologyBorderInit_16u_C1R, NAMED(zuviErodeBorder_16u_C1R))
                 : morph_job<uint16_t, 1>(a, Pixel::U16, zuviMorphologyBorderGetSize_16u_C1R,
                                          zuviMorphologyBorderInit_16u_C1R, NAMED(zuviDilateBorder_16u_C1R));
  if (rgb)
    return Erode ? morph_job<uint8_t, 3>(a, Pixel::U8, zuviMorphologyBorderGetSize_8u_C3R,
                                         zuviMorphologyBorderInit_8u_C3R, NAMED(zuviErodeBorder_8u_C3R))
                 : morph_job<uint8_t, 3>(a, Pixel::U8, zuviMorphologyBorderGetSize_8u_C3R,
                                         zuviMorphologyBorderInit_8u_C3R, NAMED(zuviDilateBorder_8u_C3R));
  return Erode ? morph_job<uint8_t, 1>(a, Pixel::U8, zuviMorphologyBorderGetSize_8u_C1R,
                                       zuviMorphologyBorderInit_8u_C1R, NAMED(zuviErodeBorder_8u_C1R))
               : morph_job<uint8_t, 1>(a, Pixel::U8, zuviMorphologyBorderGetSize_8u_C1R,
                                       zuviMorphologyBorderInit_8u_C1R, NAMED(zuviDilateBorder_8u_C1R));
}

#ifdef ZUV_HAVE_OPENCV
template <bool Erode>
std::function<void()> cv_morph(const OpArgs& a) {
  auto s = std::make_shared<MorphJobState>();
  const std::string& t = a.values.text("type");
  const Pixel p = t == "32f" ? Pixel::F32 : t == "16u" ? Pixel::U16 : Pixel::U8;
  s->src = to_pixel(a.src, p);
  s->dst = Image::make(a.src.width, a.src.height, a.src.channels, p);
  const int n = a.values.integer("size");
  s->mask = structuring_element(a.values.text("shape"), n);
  const std::string& b = a.values.text("border");
  const int border = b == "const" ? cv::BORDER_CONSTANT : b == "mirror" ? cv::BORDER_REFLECT_101 : cv::BORDER_REPLICATE;
  const double value = a.values.integer("border-value");
  return [s, n, border, value] {
    const cv::Mat kernel(n, n, CV_8U, s->mask.data());
    cv::Mat dst = as_mat(s->dst);
    if constexpr (Erode) cv::erode(as_mat(s->src), dst, kernel, cv::Point(-1, -1), 1, border, cv::Scalar::all(value));
    else cv::dilate(as_mat(s->src), dst, kernel, cv::Point(-1, -1), 1, border, cv::Scalar::all(value));
  };
}
#define ZUV_CV(f) f
#else
#define ZUV_CV(f) nullptr
#endif

std::vector<Op> morphology_ops() {
  std::vector<Op> ops(2);
  for (int i = 0; i < 2; ++i) {
    Op& op = ops[size_t(i)];
    const bool erode = i == 0;
    op.name = erode ? "erode" : "dilate";
    op.summary = erode ? "erosion: the minimum under the structuring element (dark regions grow)"
                       : "dilation: the maximum under the structuring element (bright regions grow)";
    op.exports = erode ? "zuviMorphologyBorderGetSize, zuviMorphologyBorderInit, zuviErodeBorder_{8u_C1R,8u_C3R,"
                         "16u_C1R,32f_C1R,32f_C3R}"
                       : "zuviMorphologyBorderGetSize, zuviMorphologyBorderInit, zuviDilateBorder_{8u_C1R,8u_C3R,"
                         "16u_C1R,32f_C1R,32f_C3R}";
    op.input = Input::GrayOrRgb;
    op.params = {choice_param("type", "element type the image is converted to (16u: gray only)", {"8u", "16u", "32f"}),
                 shape_param(),
                 int_param("size", "width and height of the element, at least 1", 7, INT32_MIN, INT32_MAX, StatusSize),
                 border_param(), border_value_param()};
    op.bench_over = "type";
    op.prepare = erode ? prepare_morph<true> : prepare_morph<false>;
    op.opencv = erode ? ZUV_CV(cv_morph<true>) : ZUV_CV(cv_morph<false>);
    op.tour_image = erode ? "text.png" : "coins.png";
  }
  return ops;
}

const FamilyRegistration kMorphology("morph/morphology", 41, morphology_ops());

}  // namespace
