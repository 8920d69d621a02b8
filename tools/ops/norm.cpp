// SPDX-License-Identifier: BSD-3-Clause
// zuvcv operations of the norms family: norm of an image, of a difference, relative.
#include <cstdio>
#include <memory>

#include "../registry.h"

#ifdef ZUV_HAVE_OPENCV
#include <opencv2/core.hpp>

#include "../cv_mat.h"
#endif

namespace {

using namespace zuvcv;

struct NormState {
  Image src, src2, mask, picture;
  int coi = 1;
  double norm = 0;
};

// Every export of the family has the layouts C1MR and C3CMR: without --mask
// the mask selects every pixel.
std::shared_ptr<NormState> norm_state(const OpArgs& a, Pixel t) {
  auto s = std::make_shared<NormState>();
  s->src = to_pixel(a.src, t);
  if (!a.second.empty()) s->src2 = to_pixel(a.second, t);
  const int above = a.values.integer("mask");
  s->mask = mask_above(to_gray(a.src), above);
  s->picture = above >= 0 ? dim_outside(a.src, s->mask) : to_rgb(a.src);
  s->coi = a.values.integer("coi");
  return s;
}

std::string text_of(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.9g", v);
  return buf;
}

template <class T, class C1, class C3>
Job one_image(const OpArgs& a, Pixel t, C1 c1, const char* c1_name, C3 c3, const char* c3_name) {
  auto s = norm_state(a, t);
  const bool rgb = a.src.channels == 3;
  Job job;
  job.calls = rgb ? c3_name : c1_name;
  job.run = [s, c1, c3, rgb] {
    NormState& n = *s;
    return rgb ? c3(n.src.data<T>(), n.src.step, n.mask.data<uint8_t>(), n.mask.step, n.src.size(), n.coi, &n.norm)
               : c1(n.src.data<T>(), n.src.step, n.mask.data<uint8_t>(), n.mask.step, n.src.size(), &n.norm);
  };
  job.result = [s] { return s->picture; };
  job.text = [s] { return "norm " + text_of(s->norm); };
  return job;
}

template <class T, class C1, class C3>
Job two_images(const OpArgs& a, Pixel t, C1 c1, const char* c1_name, C3 c3, const char* c3_name) {
  auto s = norm_state(a, t);
  const bool rgb = a.src.channels == 3;
  Job job;
  job.calls = rgb ? c3_name : c1_name;
  job.run = [s, c1, c3, rgb] {
    NormState& n = *s;
    return rgb ? c3(n.src.data<T>(), n.src.step, n.src2.data<T>(), n.src2.step, n.mask.data<uint8_t>(), n.mask.step,
                    n.src.size(), n.coi, &n.norm)
               : c1(n.src.data<T>(), n.src.step, n.src2.data<T>(), n.src2.step, n.mask.data<uint8_t>(), n.mask.step,
                    n.src.size(), &n.norm);
  };
  job.result = [s] { return s->picture; };
  job.text = [s] { return "norm " + text_of(s->norm); };
  return job;
}

#define NAMED(f) f, #f
// The exports of one operation and norm kind for the three element types.
#define NORM_TYPES(maker, family, kind)                                                                        \
  switch (t) {                                                                                                 \
    case Pixel::U8:                                                                                            \
      return maker<uint8_t>(a, t, NAMED(family##_##kind##_8u_C1MR), NAMED(family##_##kind##_8u_C3CMR));       \
    case Pixel::U16:                                                                                           \
      return maker<uint16_t>(a, t, NAMED(family##_##kind##_16u_C1MR), NAMED(family##_##kind##_16u_C3CMR));    \
    default: return maker<float>(a, t, NAMED(family##_##kind##_32f_C1MR), NAMED(family##_##kind##_32f_C3CMR)); \
  }

Pixel type_of(const Values& v) {
  const std::string& t = v.text("type");
  return t == "8u" ? Pixel::U8 : t == "16u" ? Pixel::U16 : Pixel::F32;
}

Job prepare_norm(const OpArgs& a) {
  const Pixel t = type_of(a.values);
  const std::string& kind = a.values.text("kind");
  if (kind == "inf") NORM_TYPES(one_image, zuviNorm, Inf)
  if (kind == "l1") NORM_TYPES(one_image, zuviNorm, L1)
  NORM_TYPES(one_image, zuviNorm, L2)
}

Job prepare_norm_diff(const OpArgs& a) {
  const Pixel t = type_of(a.values);
  const std::string& kind = a.values.text("kind");
  if (kind == "inf") NORM_TYPES(two_images, zuviNormDiff, Inf)
  if (kind == "l1") NORM_TYPES(two_images, zuviNormDiff, L1)
  NORM_TYPES(two_images, zuviNormDiff, L2)
}

Job prepare_norm_rel(const OpArgs& a) {
  const Pixel t = type_of(a.values);
  const std::string& kind = a.values.text("kind");
  if (kind == "inf") NORM_TYPES(two_images, zuviNormRel, Inf)
  if (kind == "l1") NORM_TYPES(two_images, zuviNormRel, L1)
  NORM_TYPES(two_images, zuviNormRel, L2)
}

#ifdef ZUV_HAVE_OPENCV
template <int Images>
std::function<void()> cv_norm(const OpArgs& a) {
  auto s = norm_state(a, type_of(a.values));
  const std::string& k = a.values.text("kind");
  int kind = k == "inf" ? cv::NORM_INF : k == "l1" ? cv::NORM_L1 : cv::NORM_L2;
  if (Images == 3) kind |= cv::NORM_RELATIVE;
  const bool masked = a.values.integer("mask") >= 0;
  return [s, kind, masked] {
    const cv::Mat mask = masked ? as_mat(s->mask) : cv::Mat();
    if constexpr (Images == 1) s->norm = cv::norm(as_mat(s->src), kind, mask);
    else s->norm = cv::norm(as_mat(s->src), as_mat(s->src2), kind, mask);
  };
}
#define ZUV_CV(f) f
#else
#define ZUV_CV(f) nullptr
#endif

std::vector<Op> norm_ops() {
  auto params = [](bool two) {
    std::vector<Param> p = {
        choice_param("kind", "inf: largest |value|, l1: sum of |value|, l2: square root of the sum of squares",
                     {"l2", "l1", "inf"}),
        choice_param("type", "element type the images are converted to (16u: value x 257)", {"8u", "16u", "32f"}),
        int_param("mask", "measure only where the input is above this level (-1: everywhere)", -1, -1, 255),
        int_param("coi", "channel of RGB images to measure, 1..3", 1, INT32_MIN, INT32_MAX, StatusChannelOfInterest)};
    if (two) p.push_back(shift_param());
    return p;
  };
  std::vector<Op> ops(3);
  ops[0].name = "norm";
  ops[0].summary = "norm of the image (over the masked pixels; one channel of RGB)";
  ops[0].exports = "zuviNorm_{Inf,L1,L2}_{8u,16u,32f}_{C1MR,C3CMR}";
  ops[0].prepare = prepare_norm;
  ops[0].opencv = ZUV_CV(cv_norm<1>);
  ops[1].name = "norm-diff";
  ops[1].summary = "norm of the difference of a frame and a shifted frame";
  ops[1].exports = "zuviNormDiff_{Inf,L1,L2}_{8u,16u,32f}_{C1MR,C3CMR}";
  ops[1].prepare = prepare_norm_diff;
  ops[1].opencv = ZUV_CV(cv_norm<2>);
  ops[2].name = "norm-rel";
  ops[2].summary = "relative norm: norm of the difference over the norm of the second frame";
  ops[2].exports = "zuviNormRel_{Inf,L1,L2}_{8u,16u,32f}_{C1MR,C3CMR}";
  ops[2].prepare = prepare_norm_rel;
  ops[2].opencv = ZUV_CV(cv_norm<3>);
  for (size_t i = 0; i < ops.size(); ++i) {
    ops[i].input = Input::GrayOrRgb;
    ops[i].two_frames = i > 0;
    ops[i].params = params(i > 0);
    ops[i].bench_over = "type";
    ops[i].tour_image = i == 0 ? "coins.png" : "camera.png";
  }
  return ops;
}

const FamilyRegistration kNorm("arith/norm", 23, norm_ops());

}  // namespace
