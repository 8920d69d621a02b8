// SPDX-License-Identifier: BSD-3-Clause
// zuvcv operations of the compound morphology family: open, close, top-hat, black-hat, gradient.
#include <memory>
#include <type_traits>

#include "../registry.h"
#include "morph_common.h"

#ifdef ZUV_HAVE_OPENCV
#include <opencv2/imgproc.hpp>

#include "../cv_mat.h"
#endif

namespace {

using namespace zuvcv;

enum class Compound { Open, Close, Tophat, Blackhat, Gradient };

template <class T, int C, class GetSize, class Init, class Apply>
Job adv_job(const OpArgs& a, Pixel pixel, GetSize get_size, Init init, Apply apply, const char* name) {
  return morph_state_job<MorphAdvState, T, C>(a, pixel, get_size, init, apply, name, "zuviMorphAdvGetSize",
                                              "zuviMorphAdvInit");
}

// The five operations of one type and layout, with their set-up pair.
#define ADV_CALL(T, C, pixel, sfx)                                                                            \
  switch (kind) {                                                                                             \
    case Compound::Open:                                                                                      \
      return adv_job<T, C>(a, pixel, zuviMorphAdvGetSize_##sfx, zuviMorphAdvInit_##sfx,                       \
                           zuviMorphOpenBorder_##sfx, "zuviMorphOpenBorder_" #sfx);                           \
    case Compound::Close:                                                                                     \
      return adv_job<T, C>(a, pixel, zuviMorphAdvGetSize_##sfx, zuviMorphAdvInit_##sfx,                       \
                           zuviMorphCloseBorder_##sfx, "zuviMorphCloseBorder_" #sfx);                         \
    case Compound::Tophat:                                                                                    \
      return adv_job<T, C>(a, pixel, zuviMorphAdvGetSize_##sfx, zuviMorphAdvInit_##sfx,                       \
                           zuviMorphTophatBorder_##sfx, "zuviMorphTophatBorder_" #sfx);                       \
    case Compound::Blackhat:                                                                                  \
      return adv_job<T, C>(a, pixel, zuviMorphAdvGetSize_##sfx, zuviMorphAdvInit_##sfx,                       \
                           zuviMorphBlackhatBorder_##sfx, "zuviMorphBlackhatBorder_" #sfx);                   \
    default:                                                                                                  \
      return adv_job<T, C>(a, pixel, zuviMorphAdvGetSize_##sfx, zuviMorphAdvInit_##sfx,                       \
                           zuviMorphGradientBorder_##sfx, "zuviMorphGradientBorder_" #sfx);                   \
  }

template <Compound kind>
Job prepare_adv(const OpArgs& a) {
  const std::string& t = a.values.text("type");
  const bool rgb = a.src.channels == 3;
  if (rgb && t == "16u") throw ToolError(Exit::Usage, "compound morphology of RGB images exists for 8u and 32f");
  if (t == "32f") {
    if (rgb) ADV_CALL(float, 3, Pixel::F32, 32f_C3R)
    ADV_CALL(float, 1, Pixel::F32, 32f_C1R)
  }
  if (t == "16u") ADV_CALL(uint16_t, 1, Pixel::U16, 16u_C1R)
  if (rgb) ADV_CALL(uint8_t, 3, Pixel::U8, 8u_C3R)
  ADV_CALL(uint8_t, 1, Pixel::U8, 8u_C1R)
}

#ifdef ZUV_HAVE_OPENCV
template <Compound kind>
std::function<void()> cv_adv(const OpArgs& a) {
  auto s = std::make_shared<MorphJobState>();
  const std::string& t = a.values.text("type");
  const Pixel p = t == "32f" ? Pixel::F32 : t == "16u" ? Pixel::U16 : Pixel::U8;
  s->src = to_pixel(a.src, p);
  s->dst = Image::make(a.src.width, a.src.height, a.src.channels, p);
  const int n = a.values.integer("size");
  s->mask = structuring_element(a.values.text("shape"), n);
  const int border = a.values.text("border") == "const" ? cv::BORDER_CONSTANT : cv::BORDER_REPLICATE;
  const double value = a.values.integer("border-value");
  constexpr int op = kind == Compound::Open       ? cv::MORPH_OPEN
                     : kind == Compound::Close    ? cv::MORPH_CLOSE
                     : kind == Compound::Tophat   ? cv::MORPH_TOPHAT
                     : kind == Compound::Blackhat ? cv::MORPH_BLACKHAT
                                                  : cv::MORPH_GRADIENT;
  return [s, n, border, value] {
    const cv::Mat kernel(n, n, CV_8U, s->mask.data());
    cv::Mat dst = as_mat(s->dst);
    cv::morphologyEx(as_mat(s->src), dst, op, kernel, cv::Point(-1, -1), 1, border, cv::Scalar::all(value));
  };
}
#define ZUV_CV(f) f
#else
#define ZUV_CV(f) nullptr
#endif

std::vector<Op> morph_adv_ops() {
  struct Entry {
    const char* name;
    const char* summary;
    const char* family_exports;
    const char* image;
    Job (*prepare)(const OpArgs&);
    std::function<std::function<void()>(const OpArgs&)> opencv;
  };
  const Entry entries[] = {
      {"open", "opening: dilation of the erosion; bright details smaller than the element vanish", "zuviMorphOpenBorder",
       "text.png", prepare_adv<Compound::Open>, ZUV_CV(cv_adv<Compound::Open>)},
      {"close", "closing: erosion of the dilation; dark details smaller than the element vanish",
       "zuviMorphCloseBorder", "text.png", prepare_adv<Compound::Close>, ZUV_CV(cv_adv<Compound::Close>)},
      {"tophat", "top-hat: the image minus its opening; the bright details alone", "zuviMorphTophatBorder",
       "coins.png", prepare_adv<Compound::Tophat>, ZUV_CV(cv_adv<Compound::Tophat>)},
      {"blackhat", "black-hat: the closing minus the image; the dark details alone", "zuviMorphBlackhatBorder",
       "text.png", prepare_adv<Compound::Blackhat>, ZUV_CV(cv_adv<Compound::Blackhat>)},
      {"gradient", "morphological gradient: dilation minus erosion; outlines", "zuviMorphGradientBorder",
       "coins.png", prepare_adv<Compound::Gradient>, ZUV_CV(cv_adv<Compound::Gradient>)},
  };
  std::vector<Op> ops;
  for (const Entry& e : entries) {
    Op op;
    op.name = e.name;
    op.summary = e.summary;
    op.exports = std::string("zuviMorphAdvGetSize, zuviMorphAdvInit, ") + e.family_exports +
                 "_{8u_C1R,8u_C3R,16u_C1R,32f_C1R,32f_C3R}";
    op.input = Input::GrayOrRgb;
    op.params = {choice_param("type", "element type the image is converted to (16u: gray only)", {"8u", "16u", "32f"}),
                 shape_param(),
                 int_param("size", "width and height of the element, at least 1", 9, INT32_MIN, INT32_MAX, StatusSize),
                 border_param({"repl", "const"}), border_value_param()};
    op.bench_over = "type";
    op.prepare = e.prepare;
    op.opencv = e.opencv;
    op.tour_image = e.image;
    // The details alone are faint: stretch them to the full range.
    const std::string name = e.name;
    if (name == "tophat" || name == "blackhat") op.render = Render::Stretch;
    ops.push_back(op);
  }
  return ops;
}

const FamilyRegistration kMorphAdv("morph/morph_adv", 42, morph_adv_ops());

}  // namespace
