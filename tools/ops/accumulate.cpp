// SPDX-License-Identifier: BSD-3-Clause
// zuvcv operations of the accumulation and absolute-difference family.
#include <cmath>
#include <memory>

#include "../registry.h"

#ifdef ZUV_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "../cv_mat.h"
#endif

namespace {

using namespace zuvcv;

Param type_param() {
  return choice_param("type", "element type the frames are converted to (16u: value x 257)", {"8u", "16u", "32f"});
}

Param mask_param() {
  return int_param("mask", "update only where the input is above this level (-1: everywhere)", -1, -1, 255);
}

Pixel type_of(const Values& v) {
  const std::string& t = v.text("type");
  return t == "8u" ? Pixel::U8 : t == "16u" ? Pixel::U16 : Pixel::F32;
}

// What a 16u frame is scaled by against the 8-bit picture.
double scale_of(Pixel t) { return t == Pixel::U16 ? 257.0 : 1.0; }

// The accumulator and the frames it is fed, shared by the calls and the result.
struct AccState {
  Image src, src2, mask, acc;
  double out_scale = 1;  // the result is divided by this, back to 8-bit units
  float alpha = 0;
};

// The accumulator starts as zeros or as the second frame in the type's units;
// power is how often the result holds the type's scale (2 for products).
std::shared_ptr<AccState> acc_state(const OpArgs& a, bool from_second, int power) {
  auto s = std::make_shared<AccState>();
  const Pixel t = type_of(a.values);
  s->src = to_pixel(a.src, t);
  if (!a.second.empty()) s->src2 = to_pixel(a.second, t);
  const int above = a.values.has("mask") ? a.values.integer("mask") : -1;
  s->mask = mask_above(a.src, above);
  s->acc = from_second ? to_pixel(a.second, Pixel::F32) : filled(a.src.width, a.src.height, 1, Pixel::F32, 0.0);
  if (from_second && t == Pixel::U16) {
    for (int y = 0; y < s->acc.height; ++y)
      for (int x = 0; x < s->acc.width; ++x) s->acc.row<float>(y)[x] *= 257.0f;
  }
  s->out_scale = std::pow(scale_of(t), power);
  if (a.values.has("alpha")) s->alpha = a.values.real("alpha");
  return s;
}

Image scaled_out(const AccState& s) {
  Image out = s.acc;
  if (s.out_scale != 1)
    for (int y = 0; y < out.height; ++y)
      for (int x = 0; x < out.width; ++x) out.row<float>(y)[x] = float(out.row<float>(y)[x] / s.out_scale);
  return out;
}

bool masked(const Values& v) { return v.integer("mask") >= 0; }

template <class F>
Job acc_job(std::shared_ptr<AccState> s, F call, const char* name) {
  return Job{[s, call] { return call(*s); }, [s] { return scaled_out(*s); }, name, {}};
}

template <class T>
const T* at(const Image& img) {
  return img.data<T>();
}

// An export and its name, so the gallery can say which one ran.
#define NAMED(f) f, #f

// One source into the accumulator, plain or masked; 32f Add exists only
// masked, so its unmasked form runs with a mask of all ones.
template <class T, class Plain, class Masked>
Job one_source(std::shared_ptr<AccState> s, bool use_mask, Plain plain, const char* plain_name, Masked with_mask,
               const char* masked_name) {
  if (use_mask || plain == nullptr)
    return acc_job(
        s,
        [with_mask](AccState& st) {
          return with_mask(at<T>(st.src), st.src.step, at<uint8_t>(st.mask), st.mask.step, st.acc.data<float>(),
                           st.acc.step, st.acc.size());
        },
        masked_name);
  return acc_job(
      s,
      [plain](AccState& st) {
        return plain(at<T>(st.src), st.src.step, st.acc.data<float>(), st.acc.step, st.acc.size());
      },
      plain_name);
}

Job prepare_add(const OpArgs& a) {
  auto s = acc_state(a, true, 1);
  const bool m = masked(a.values);
  switch (type_of(a.values)) {
    case Pixel::U8: return one_source<uint8_t>(s, m, NAMED(zuviAdd_8u32f_C1IR), NAMED(zuviAdd_8u32f_C1IMR));
    case Pixel::U16: return one_source<uint16_t>(s, m, NAMED(zuviAdd_16u32f_C1IR), NAMED(zuviAdd_16u32f_C1IMR));
    default: {
      if (!m) s->mask = mask_above(a.src, -1);
      using Plain = Status (*)(const float*, int, float*, int, ImageSize);
      return one_source<float>(s, true, Plain(nullptr), "", NAMED(zuviAdd_32f_C1IMR));
    }
  }
}

Job prepare_add_square(const OpArgs& a) {
  auto s = acc_state(a, false, 2);
  const bool m = masked(a.values);
  switch (type_of(a.values)) {
    case Pixel::U8:
      return one_source<uint8_t>(s, m, NAMED(zuviAddSquare_8u32f_C1IR), NAMED(zuviAddSquare_8u32f_C1IMR));
    case Pixel::U16:
      return one_source<uint16_t>(s, m, NAMED(zuviAddSquare_16u32f_C1IR), NAMED(zuviAddSquare_16u32f_C1IMR));
    default: return one_source<float>(s, m, NAMED(zuviAddSquare_32f_C1IR), NAMED(zuviAddSquare_32f_C1IMR));
  }
}

template <class T, class Plain, class Masked>
Job two_sources(std::shared_ptr<AccState> s, bool use_mask, Plain plain, const char* plain_name, Masked with_mask,
                const char* masked_name) {
  if (use_mask)
    return acc_job(
        s,
        [with_mask](AccState& st) {
          return with_mask(at<T>(st.src), st.src.step, at<T>(st.src2), st.src2.step, at<uint8_t>(st.mask),
                           st.mask.step, st.acc.data<float>(), st.acc.step, st.acc.size());
        },
        masked_name);
  return acc_job(
      s,
      [plain](AccState& st) {
        return plain(at<T>(st.src), st.src.step, at<T>(st.src2), st.src2.step, st.acc.data<float>(), st.acc.step,
                     st.acc.size());
      },
      plain_name);
}

Job prepare_add_product(const OpArgs& a) {
  auto s = acc_state(a, false, 2);
  const bool m = masked(a.values);
  switch (type_of(a.values)) {
    case Pixel::U8:
      return two_sources<uint8_t>(s, m, NAMED(zuviAddProduct_8u32f_C1IR), NAMED(zuviAddProduct_8u32f_C1IMR));
    case Pixel::U16:
      return two_sources<uint16_t>(s, m, NAMED(zuviAddProduct_16u32f_C1IR), NAMED(zuviAddProduct_16u32f_C1IMR));
    default: return two_sources<float>(s, m, NAMED(zuviAddProduct_32f_C1IR), NAMED(zuviAddProduct_32f_C1IMR));
  }
}

template <class T, class Plain, class Masked>
Job weighted(std::shared_ptr<AccState> s, bool use_mask, Plain plain, const char* plain_name, Masked with_mask,
             const char* masked_name) {
  if (use_mask)
    return acc_job(
        s,
        [with_mask](AccState& st) {
          return with_mask(at<T>(st.src), st.src.step, at<uint8_t>(st.mask), st.mask.step, st.acc.data<float>(),
                           st.acc.step, st.acc.size(), st.alpha);
        },
        masked_name);
  return acc_job(
      s,
      [plain](AccState& st) {
        return plain(at<T>(st.src), st.src.step, st.acc.data<float>(), st.acc.step, st.acc.size(), st.alpha);
      },
      plain_name);
}

Job prepare_add_weighted(const OpArgs& a) {
  auto s = acc_state(a, true, 1);
  const bool m = masked(a.values);
  switch (type_of(a.values)) {
    case Pixel::U8:
      return weighted<uint8_t>(s, m, NAMED(zuviAddWeighted_8u32f_C1IR), NAMED(zuviAddWeighted_8u32f_C1IMR));
    case Pixel::U16:
      return weighted<uint16_t>(s, m, NAMED(zuviAddWeighted_16u32f_C1IR), NAMED(zuviAddWeighted_16u32f_C1IMR));
    default: return weighted<float>(s, m, NAMED(zuviAddWeighted_32f_C1IR), NAMED(zuviAddWeighted_32f_C1IMR));
  }
}

Job prepare_blend(const OpArgs& a) {
  auto s = std::make_shared<AccState>();
  s->src = to_pixel(a.src, Pixel::F32);
  s->src2 = to_pixel(a.second, Pixel::F32);
  s->acc = filled(a.src.width, a.src.height, 1, Pixel::F32, 0.0);
  s->alpha = a.values.real("alpha");
  return acc_job(
      s,
      [](AccState& st) {
        return zuviAddWeighted_32f_C1R(at<float>(st.src), st.src.step, at<float>(st.src2), st.src2.step,
                                       st.acc.data<float>(), st.acc.step, st.acc.size(), st.alpha);
      },
      "zuviAddWeighted_32f_C1R");
}

// Absolute differences write a destination of the sources' type.
struct DiffState {
  Image src, src2, dst;
};

template <class T, class Fn>
Job diff_job(std::shared_ptr<DiffState> s, Fn fn, const char* name) {
  return Job{[s, fn] {
               DiffState& st = *s;
               return fn(at<T>(st.src), st.src.step, at<T>(st.src2), st.src2.step, st.dst.template data<T>(),
                         st.dst.step, st.dst.size());
             },
             [s] { return s->dst; }, name, {}};
}

Job prepare_abs_diff(const OpArgs& a) {
  const Pixel t = type_of(a.values);
  if (a.src.channels == 3 && t != Pixel::U8)
    throw ToolError(Exit::Usage, "abs-diff of RGB images exists for --type 8u only");
  auto s = std::make_shared<DiffState>();
  s->src = to_pixel(a.src, t);
  s->src2 = to_pixel(a.second, t);
  s->dst = Image::make(a.src.width, a.src.height, a.src.channels, t);
  switch (t) {
    case Pixel::U8:
      return a.src.channels == 3 ? diff_job<uint8_t>(s, NAMED(zuviAbsDiff_8u_C3R))
                                 : diff_job<uint8_t>(s, NAMED(zuviAbsDiff_8u_C1R));
    case Pixel::U16: return diff_job<uint16_t>(s, NAMED(zuviAbsDiff_16u_C1R));
    default: return diff_job<float>(s, NAMED(zuviAbsDiff_32f_C1R));
  }
}

template <class T, class V, class Fn>
Job diff_c_job(std::shared_ptr<DiffState> s, V value, Fn fn, const char* name) {
  return Job{[s, fn, value] {
               DiffState& st = *s;
               return fn(at<T>(st.src), st.src.step, st.dst.template data<T>(), st.dst.step, st.dst.size(), value);
             },
             [s] { return s->dst; }, name, {}};
}

Job prepare_abs_diff_c(const OpArgs& a) {
  const Pixel t = type_of(a.values);
  auto s = std::make_shared<DiffState>();
  s->src = to_pixel(a.src, t);
  s->dst = Image::make(a.src.width, a.src.height, 1, t);
  const int v = a.values.integer("value");
  switch (t) {
    case Pixel::U8: return diff_c_job<uint8_t>(s, int32_t(v), NAMED(zuviAbsDiffC_8u_C1R));
    case Pixel::U16:  // |v| <= 10^6, so the product fits
      return diff_c_job<uint16_t>(s, int32_t(v * 257), NAMED(zuviAbsDiffC_16u_C1R));
    default: return diff_c_job<float>(s, float(v), NAMED(zuviAbsDiffC_32f_C1R));
  }
}

#ifdef ZUV_HAVE_OPENCV
// OpenCV's accumulators over the same frames and masks as ours.
enum class CvAcc { Add, Square, Product, Weighted };

template <CvAcc K>
std::function<void()> cv_accumulate(const OpArgs& a) {
  auto s = acc_state(a, K == CvAcc::Add || K == CvAcc::Weighted, 1);
  // Our 32f Add exists only masked and runs with a full mask: so does OpenCV's here.
  const bool m = a.values.integer("mask") >= 0 || (K == CvAcc::Add && type_of(a.values) == Pixel::F32);
  return [s, m] {
    cv::Mat src = as_mat(s->src), acc = as_mat(s->acc), mask = m ? as_mat(s->mask) : cv::Mat();
    if constexpr (K == CvAcc::Add) cv::accumulate(src, acc, mask);
    if constexpr (K == CvAcc::Square) cv::accumulateSquare(src, acc, mask);
    if constexpr (K == CvAcc::Product) cv::accumulateProduct(src, as_mat(s->src2), acc, mask);
    if constexpr (K == CvAcc::Weighted) cv::accumulateWeighted(src, acc, s->alpha, mask);
  };
}

std::function<void()> cv_abs_diff(const OpArgs& a) {
  auto s = std::make_shared<DiffState>();
  const Pixel t = type_of(a.values);
  s->src = to_pixel(a.src, t);
  s->src2 = to_pixel(a.second, t);
  s->dst = Image::make(a.src.width, a.src.height, a.src.channels, t);
  return [s] {
    cv::Mat dst = as_mat(s->dst);
    cv::absdiff(as_mat(s->src), as_mat(s->src2), dst);
  };
}

std::function<void()> cv_abs_diff_c(const OpArgs& a) {
  auto s = std::make_shared<DiffState>();
  const Pixel t = type_of(a.values);
  s->src = to_pixel(a.src, t);
  s->dst = Image::make(a.src.width, a.src.height, 1, t);
  const double v = a.values.integer("value") * scale_of(t);
  return [s, v] {
    cv::Mat dst = as_mat(s->dst);
    cv::absdiff(as_mat(s->src), cv::Scalar(v), dst);
  };
}

std::function<void()> cv_blend(const OpArgs& a) {
  auto s = std::make_shared<AccState>();
  s->src = to_pixel(a.src, Pixel::F32);
  s->src2 = to_pixel(a.second, Pixel::F32);
  s->acc = filled(a.src.width, a.src.height, 1, Pixel::F32, 0.0);
  const double alpha = a.values.real("alpha");
  return [s, alpha] {
    cv::Mat dst = as_mat(s->acc);
    cv::addWeighted(as_mat(s->src), alpha, as_mat(s->src2), 1.0 - alpha, 0.0, dst);
  };
}
#define ZUV_CV(f) f
#else
#define ZUV_CV(f) nullptr
#endif

Op op(std::string name, std::string summary, std::string exports) {
  Op o;
  o.name = std::move(name);
  o.summary = std::move(summary);
  o.exports = std::move(exports);
  o.bench_over = "type";
  return o;
}

std::vector<Op> accumulate_ops() {
  constexpr double kInf = INFINITY;
  std::vector<Op> ops;

  Op add = op("add", "sum of two frames: the accumulator starts as the shifted frame, then A = A + S",
              "zuviAdd_8u32f_C1IR, zuviAdd_16u32f_C1IR, zuviAdd_{8u32f,16u32f,32f}_C1IMR");
  add.two_frames = true;
  add.params = {type_param(), mask_param(), shift_param()};
  add.render = Render::Stretch;
  add.prepare = prepare_add;
  add.opencv = ZUV_CV(cv_accumulate<CvAcc::Add>);
  ops.push_back(add);

  Op square = op("add-square", "sum of squares: A = 0, then A = fma(S, S, A); shown on a colour map",
                 "zuviAddSquare_{8u32f,16u32f,32f}_C1IR, zuviAddSquare_{8u32f,16u32f,32f}_C1IMR");
  square.params = {type_param(), mask_param()};
  square.render = Render::Heat;
  square.prepare = prepare_add_square;
  square.opencv = ZUV_CV(cv_accumulate<CvAcc::Square>);
  ops.push_back(square);

  Op product = op("add-product", "sum of products of a frame and a shifted frame: A = 0, then A = fma(S1, S2, A)",
                  "zuviAddProduct_{8u32f,16u32f,32f}_C1IR, zuviAddProduct_{8u32f,16u32f,32f}_C1IMR");
  product.two_frames = true;
  product.params = {type_param(), mask_param(), shift_param()};
  product.render = Render::Heat;
  product.prepare = prepare_add_product;
  product.opencv = ZUV_CV(cv_accumulate<CvAcc::Product>);
  ops.push_back(product);

  Op average = op("add-weighted",
                  "running average: the accumulator starts as the shifted frame, then A = fma(S - A, alpha, A)",
                  "zuviAddWeighted_{8u32f,16u32f,32f}_C1IR, zuviAddWeighted_{8u32f,16u32f,32f}_C1IMR");
  average.two_frames = true;
  average.params = {type_param(), float_param("alpha", "weight of the new frame (used as given)", 0.25, -kInf, kInf),
                    mask_param(), shift_param()};
  average.prepare = prepare_add_weighted;
  average.opencv = ZUV_CV(cv_accumulate<CvAcc::Weighted>);
  average.tour_image = "astronaut.png";
  ops.push_back(average);

  Op blend = op("blend", "weighted blend of two 32f frames: D = fma(S1 - S2, alpha, S2)", "zuviAddWeighted_32f_C1R");
  blend.bench_over.clear();
  blend.two_frames = true;
  blend.params = {float_param("alpha", "weight of the first frame (used as given)", 0.5, -kInf, kInf),
                  int_param("shift", "the second frame is the input moved right and down by this many pixels", 40, 0,
                            256)};
  blend.prepare = prepare_blend;
  blend.opencv = ZUV_CV(cv_blend);
  blend.tour_image = "coins.png";
  ops.push_back(blend);

  Op diff = op("abs-diff", "absolute difference of a frame and a shifted frame: D = |S1 - S2| (RGB: 8u per channel)",
               "zuviAbsDiff_8u_C1R, zuviAbsDiff_8u_C3R, zuviAbsDiff_16u_C1R, zuviAbsDiff_32f_C1R");
  diff.input = Input::GrayOrRgb;
  diff.two_frames = true;
  diff.params = {type_param(), shift_param()};
  diff.prepare = prepare_abs_diff;
  diff.opencv = ZUV_CV(cv_abs_diff);
  diff.tour_image = "astronaut.png";
  ops.push_back(diff);

  Op diffc = op("abs-diff-c",
                "absolute difference with a constant: D = |S - c| (8u, 16u: c clamped to the type's range)",
                "zuviAbsDiffC_8u_C1R, zuviAbsDiffC_16u_C1R, zuviAbsDiffC_32f_C1R");
  diffc.params = {type_param(),
                  int_param("value", "the constant, in 8-bit units (16u: times 257)", 128, -1000000, 1000000)};
  diffc.prepare = prepare_abs_diff_c;
  diffc.opencv = ZUV_CV(cv_abs_diff_c);
  diffc.tour_image = "text.png";
  ops.push_back(diffc);
  return ops;
}

const FamilyRegistration kAccumulate("arith/accumulate", 21, accumulate_ops());

}  // namespace
