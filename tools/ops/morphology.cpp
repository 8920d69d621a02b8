// SPDX-License-Identifier: BSD-3-Clause
// zuvcv operations of the morphology family: erosion and dilation with a border.
#include <memory>

#include "../registry.h"

#ifdef ZUV_HAVE_OPENCV
#include <opencv2/imgproc.hpp>

#include "../cv_mat.h"
#endif

namespace {

using namespace zuvcv;

struct MorphJobState {
  Image src, dst;
  std::vector<uint8_t> mask, spec, buffer;
  BorderType border = BorderRepl;
  int border_value = 0;
};

// GetSize, Init and the operation of one element type and channel count.
template <class T, int C, class GetSize, class Init, class Apply>
Job morph_job(const OpArgs& a, Pixel pixel, GetSize get_size, Init init, Apply apply, const char* name) {
  auto s = std::make_shared<MorphJobState>();
  s->src = to_pixel(a.src, pixel);
  s->dst = Image::make(a.src.width, a.src.height, C, pixel);
  s->border = border_code(a.values.text("border"));
  s->border_value = a.values.integer("border-value");
  const int n = a.values.integer("size");
  if (n > 1024) throw ToolError(Exit::Usage, "--size above 1024 is more than the tool builds an element for");
  s->mask = structuring_element(a.values.text("shape"), n);
  const ImageSize mask_size{n, n};
  int32_t spec_bytes = 0, buffer_bytes = 0;
  Status st = get_size(s->src.size(), mask_size, &spec_bytes, &buffer_bytes);
  if (st != StatusOk) return failed_job(st, "zuviMorphologyBorderGetSize");
  s->spec.resize(size_t(spec_bytes));
  s->buffer.resize(size_t(buffer_bytes));
  st = init(s->src.size(), s->mask.data(), mask_size, reinterpret_cast<MorphState*>(s->spec.data()),
            s->buffer.data());
  if (st != StatusOk) return failed_job(st, "zuviMorphologyBorderInit");
  Job job;
  job.calls = name;
  job.run = [s, apply] {
    MorphJobState& m = *s;
    const auto* spec = reinterpret_cast<const MorphState*>(m.spec.data());
    if constexpr (C == 3) {
      const T value[3] = {T(m.border_value), T(m.border_value), T(m.border_value)};
      return apply(m.src.data<T>(), m.src.step, m.dst.data<T>(), m.dst.step, m.src.size(), m.border, value, spec,
                   m.buffer.data());
    } else if constexpr (std::is_same_v<T, float>) {
      return apply(m.src.data<T>(), m.src.step, m.dst.data<T>(), m.dst.step, m.src.size(), m.border, spec,
                   m.buffer.data(), float(m.border_value));
    } else {
      return apply(m.src.data<T>(), m.src.step, m.dst.data<T>(), m.dst.step, m.src.size(), m.border,
                   T(m.border_value), spec, m.buffer.data());
    }
  };
  job.result = [s] { return s->dst; };
  return job;
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
