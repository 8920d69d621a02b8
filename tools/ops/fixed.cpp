// SPDX-License-Identifier: BSD-3-Clause
// zuvcv operations of the fixed-kernel filter family: cross derivative, Laplacian, box mean.
#include <memory>

#include "../registry.h"

#ifdef ZUV_HAVE_OPENCV
#include <opencv2/imgproc.hpp>

#include "../cv_mat.h"
#endif

namespace {

using namespace zuvcv;

enum class Kind { SobelCross, Laplacian, Lowpass };

struct FixedState {
  Image src, dst;
  std::vector<uint8_t> buffer;
  MaskSize mask = MaskSize3x3;
  BorderType border = BorderRepl;
  int border_value = 0;
};

// The exports of one filter: 8u source (16s or 8u result) and 32f.
template <class Fn8, class Fn32, class Size8, class Size32>
struct Filter {
  Fn8 run8;
  const char* name8;
  Fn32 run32;
  const char* name32;
  Size8 size8;
  const char* size8_name;
  Size32 size32;
  const char* size32_name;
};
template <class Fn8, class Fn32, class Size8, class Size32>
Filter(Fn8, const char*, Fn32, const char*, Size8, const char*, Size32, const char*) -> Filter<Fn8, Fn32, Size8, Size32>;
#define NAMED(f) f, #f

MaskSize mask_code(int aperture) { return aperture >= -195225786 && aperture <= 195225786 ? aperture * 11 : -1; }

template <class Out8, class F>
Job fixed_job(const OpArgs& a, const F& f) {
  auto s = std::make_shared<FixedState>();
  const bool f32 = a.values.text("type") == "32f";
  s->src = to_pixel(a.src, f32 ? Pixel::F32 : Pixel::U8);
  s->dst = Image::make(a.src.width, a.src.height, 1,
                       f32 ? Pixel::F32 : (sizeof(Out8) == 2 ? Pixel::S16 : Pixel::U8));
  s->mask = mask_code(a.values.integer("aperture"));
  s->border = border_code(a.values.text("border"));
  s->border_value = a.values.integer("border-value");
  int bytes = 0;
  const Status sized = f32 ? f.size32(s->src.size(), s->mask, &bytes) : f.size8(s->src.size(), s->mask, &bytes);
  if (sized != StatusOk) return failed_job(sized, f32 ? f.size32_name : f.size8_name);
  s->buffer.resize(size_t(bytes));
  Job job;
  job.calls = f32 ? f.name32 : f.name8;
  if (f32)
    job.run = [s, f] {
      FixedState& st = *s;
      return f.run32(st.src.data<float>(), st.src.step, st.dst.data<float>(), st.dst.step, st.src.size(), st.mask,
                     st.border, st.buffer.data(), float(st.border_value));
    };
  else
    job.run = [s, f] {
      FixedState& st = *s;
      return f.run8(st.src.data<uint8_t>(), st.src.step, st.dst.data<Out8>(), st.dst.step, st.src.size(), st.mask,
                    st.border, uint8_t(st.border_value), st.buffer.data());
    };
  job.result = [s] { return s->dst; };
  return job;
}

Job prepare_sobel_cross(const OpArgs& a) {
  return fixed_job<int16_t>(
      a, Filter{NAMED(zuviFilterSobelCrossBorder_8u16s_C1R), NAMED(zuviFilterSobelCrossBorder_32f_C1R),
                NAMED(zuviFilterSobelCrossGetBufferSize_8u16s_C1R), NAMED(zuviFilterSobelCrossGetBufferSize_32f_C1R)});
}

Job prepare_laplacian(const OpArgs& a) {
  return fixed_job<int16_t>(
      a, Filter{NAMED(zuviFilterLaplacianBorder_8u16s_C1R), NAMED(zuviFilterLaplacianBorder_32f_C1R),
                NAMED(zuviFilterLaplacianGetBufferSize_8u16s_C1R), NAMED(zuviFilterLaplacianGetBufferSize_32f_C1R)});
}

Job prepare_lowpass(const OpArgs& a) {
  return fixed_job<uint8_t>(a, Filter{NAMED(zuviFilterLowpassBorder_8u_C1R), NAMED(zuviFilterLowpassBorder_32f_C1R),
                                      NAMED(zuviFilterLowpassGetBufferSize_8u_C1R),
                                      NAMED(zuviFilterLowpassGetBufferSize_32f_C1R)});
}

#ifdef ZUV_HAVE_OPENCV
template <Kind K>
std::function<void()> cv_fixed(const OpArgs& a) {
  auto s = std::make_shared<FixedState>();
  const bool f32 = a.values.text("type") == "32f";
  s->src = to_pixel(a.src, f32 ? Pixel::F32 : Pixel::U8);
  s->dst = Image::make(a.src.width, a.src.height, 1,
                       f32 ? Pixel::F32 : (K == Kind::Lowpass ? Pixel::U8 : Pixel::S16));
  const int k = a.values.integer("aperture");
  const std::string& b = a.values.text("border");
  const int border = b == "const" ? cv::BORDER_CONSTANT : b == "mirror" ? cv::BORDER_REFLECT_101 : cv::BORDER_REPLICATE;
  const int depth = f32 ? CV_32F : CV_16S;
  return [s, k, border, depth] {
    cv::Mat dst = as_mat(s->dst);
    if constexpr (K == Kind::SobelCross) cv::Sobel(as_mat(s->src), dst, depth, 1, 1, k, 1, 0, border);
    if constexpr (K == Kind::Laplacian) cv::Laplacian(as_mat(s->src), dst, depth, k, 1, 0, border);
    if constexpr (K == Kind::Lowpass) cv::blur(as_mat(s->src), dst, cv::Size(k, k), cv::Point(-1, -1), border);
  };
}
#define ZUV_CV(f) f
#else
#define ZUV_CV(f) nullptr
#endif

std::vector<Op> fixed_ops() {
  auto common = [] {
    return std::vector<Param>{
        choice_param("type", "8u (16s result for derivatives) or 32f", {"8u", "32f"}),
        int_param("aperture", "mask size, 3 or 5", 3, INT32_MIN, INT32_MAX, StatusMaskSize), border_param(),
        border_value_param()};
  };
  std::vector<Op> ops(3);
  ops[0].name = "sobel-cross";
  ops[0].summary = "second cross derivative d2/dxdy (Sobel): saddles and corners, blue negative, red positive";
  ops[0].exports = "zuviFilterSobelCrossBorder_{8u16s,32f}_C1R with its GetBufferSize";
  ops[0].render = Render::Diverging;
  ops[0].prepare = prepare_sobel_cross;
  ops[0].opencv = ZUV_CV(cv_fixed<Kind::SobelCross>);
  ops[1].name = "laplacian";
  ops[1].summary = "Laplacian: the sum of second derivatives, blue negative, red positive";
  ops[1].exports = "zuviFilterLaplacianBorder_{8u16s,32f}_C1R with its GetBufferSize";
  ops[1].render = Render::Diverging;
  ops[1].prepare = prepare_laplacian;
  ops[1].opencv = ZUV_CV(cv_fixed<Kind::Laplacian>);
  ops[1].tour_image = "coins.png";
  ops[2].name = "lowpass";
  ops[2].summary = "box mean over 3x3 or 5x5 pixels";
  ops[2].exports = "zuviFilterLowpassBorder_{8u,32f}_C1R with its GetBufferSize";
  ops[2].prepare = prepare_lowpass;
  ops[2].opencv = ZUV_CV(cv_fixed<Kind::Lowpass>);
  ops[2].tour_image = "text.png";
  for (Op& op : ops) {
    op.params = common();
    op.bench_over = "type";
  }
  ops[2].params[1].def = "5";
  return ops;
}

const FamilyRegistration kFixed("filter/fixed", 32, fixed_ops());

}  // namespace
