// SPDX-License-Identifier: BSD-3-Clause
// zuvcv operations of the Gaussian filter family.
#include <memory>
#include <type_traits>

#include "../registry.h"

#ifdef ZUV_HAVE_OPENCV
#include <opencv2/imgproc.hpp>

#include "../cv_mat.h"
#endif

namespace {

using namespace zuvcv;

struct GaussState {
  Image src, dst;
  std::vector<uint8_t> spec, buffer;
  int border_value = 0;
};

template <class T, int C, class Apply>
Job gauss_job(const OpArgs& a, Pixel pixel, DataType type, Apply apply, const char* name) {
  auto s = std::make_shared<GaussState>();
  s->src = to_pixel(a.src, pixel);
  s->dst = Image::make(a.src.width, a.src.height, C, pixel);
  s->border_value = a.values.integer("border-value") * (pixel == Pixel::U16 ? 257 : 1);
  const int k = a.values.integer("kernel");
  int spec_bytes = 0, buffer_bytes = 0;
  Status st = zuviFilterGaussianGetBufferSize(s->src.size(), k, type, C, &spec_bytes, &buffer_bytes);
  if (st != StatusOk) return failed_job(st, "zuviFilterGaussianGetBufferSize");
  s->spec.resize(size_t(spec_bytes));
  s->buffer.resize(size_t(buffer_bytes));
  st = zuviFilterGaussianInit(s->src.size(), k, border_code(a.values.text("border")), type, C,
                              reinterpret_cast<GaussianSpec*>(s->spec.data()), s->buffer.data(),
                              a.values.real("sigma"));
  if (st != StatusOk) return failed_job(st, "zuviFilterGaussianInit");
  Job job;
  job.calls = name;
  job.run = [s, apply] {
    GaussState& g = *s;
    const auto* spec = reinterpret_cast<const GaussianSpec*>(g.spec.data());
    if constexpr (C == 3) {
      const T value[3] = {T(g.border_value), T(g.border_value), T(g.border_value)};
      return apply(g.src.data<T>(), g.src.step, g.dst.data<T>(), g.dst.step, g.src.size(), value, spec,
                   g.buffer.data());
    } else if constexpr (std::is_same_v<T, float>) {
      return apply(g.src.data<T>(), g.src.step, g.dst.data<T>(), g.dst.step, g.src.size(), spec, g.buffer.data(),
                   float(g.border_value));
    } else {
      return apply(g.src.data<T>(), g.src.step, g.dst.data<T>(), g.dst.step, g.src.size(), T(g.border_value), spec,
                   g.buffer.data());
    }
  };
  job.result = [s] { return s->dst; };
  return job;
}
#define NAMED(f) f, #f

Job prepare_gaussian(const OpArgs& a) {
  const std::string& t = a.values.text("type");
  const bool rgb = a.src.channels == 3;
  if (t == "32f")
    return rgb ? gauss_job<float, 3>(a, Pixel::F32, DataType32f, NAMED(zuviFilterGaussianBorder_32f_C3R))
               : gauss_job<float, 1>(a, Pixel::F32, DataType32f, NAMED(zuviFilterGaussianBorder_32f_C1R));
  if (t == "16u")
    return rgb ? gauss_job<uint16_t, 3>(a, Pixel::U16, DataType16u, NAMED(zuviFilterGaussianBorder_16u_C3R))
               : gauss_job<uint16_t, 1>(a, Pixel::U16, DataType16u, NAMED(zuviFilterGaussianBorder_16u_C1R));
  if (t == "16s")
    return rgb ? gauss_job<int16_t, 3>(a, Pixel::S16, DataType16s, NAMED(zuviFilterGaussianBorder_16s_C3R))
               : gauss_job<int16_t, 1>(a, Pixel::S16, DataType16s, NAMED(zuviFilterGaussianBorder_16s_C1R));
  return rgb ? gauss_job<uint8_t, 3>(a, Pixel::U8, DataType8u, NAMED(zuviFilterGaussianBorder_8u_C3R))
             : gauss_job<uint8_t, 1>(a, Pixel::U8, DataType8u, NAMED(zuviFilterGaussianBorder_8u_C1R));
}

#ifdef ZUV_HAVE_OPENCV
std::function<void()> cv_gaussian(const OpArgs& a) {
  auto s = std::make_shared<GaussState>();
  const std::string& t = a.values.text("type");
  const Pixel p = t == "32f" ? Pixel::F32 : t == "16u" ? Pixel::U16 : t == "16s" ? Pixel::S16 : Pixel::U8;
  s->src = to_pixel(a.src, p);
  s->dst = Image::make(a.src.width, a.src.height, a.src.channels, p);
  const int k = a.values.integer("kernel");
  const double sigma = a.values.real("sigma");
  const std::string& b = a.values.text("border");
  const int border = b == "const" ? cv::BORDER_CONSTANT : b == "mirror" ? cv::BORDER_REFLECT_101 : cv::BORDER_REPLICATE;
  return [s, k, sigma, border] {
    cv::Mat dst = as_mat(s->dst);
    cv::GaussianBlur(as_mat(s->src), dst, cv::Size(k, k), sigma, sigma, border);
  };
}
#define ZUV_CV(f) f
#else
#define ZUV_CV(f) nullptr
#endif

std::vector<Op> gaussian_ops() {
  Op g;
  g.name = "gaussian";
  g.summary = "Gaussian blur: separable taps exp(-t^2 / (2 sigma^2)), normalised";
  g.exports = "zuviFilterGaussianGetBufferSize, zuviFilterGaussianInit, zuviFilterGaussianBorder_{8u,16u,16s,32f}_{C1R,C3R}";
  g.input = Input::GrayOrRgb;
  g.params = {choice_param("type", "element type the image is converted to (16u: value x 257)", {"8u", "16u", "16s", "32f"}),
              int_param("kernel", "kernel size, odd, at least 3", 9, INT32_MIN, INT32_MAX, StatusBadArgument),
              float_param("sigma", "standard deviation of the taps, above 0", 2.0, -1e30, 1e30, StatusBadArgument),
              border_param(), border_value_param()};
  g.bench_over = "type";
  g.prepare = prepare_gaussian;
  g.opencv = ZUV_CV(cv_gaussian);
  g.tour_image = "astronaut.png";
  return {g};
}

const FamilyRegistration kGaussian("filter/gaussian", 33, gaussian_ops());

}  // namespace
