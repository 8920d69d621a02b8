// SPDX-License-Identifier: BSD-3-Clause
// zuvcv operations of the statistics family: mean, standard deviation, extrema.
#include <cstdio>
#include <memory>

#include "../registry.h"

#ifdef ZUV_HAVE_OPENCV
#include <opencv2/core.hpp>

#include "../cv_mat.h"
#endif

namespace {

using namespace zuvcv;

Param type_param() {
  return choice_param("type", "element type the image is converted to (16u: value x 257)", {"8u", "16u", "32f"});
}
Param mask_param() {
  return int_param("mask", "measure only where the input is above this level (-1: everywhere)", -1, -1, 255);
}
Param coi_param() {
  return int_param("coi", "channel of an RGB input to measure, 1..3", 1, INT32_MIN, INT32_MAX,
                   StatusChannelOfInterest);
}

Pixel type_of(const Values& v) {
  const std::string& t = v.text("type");
  return t == "8u" ? Pixel::U8 : t == "16u" ? Pixel::U16 : Pixel::F32;
}

std::string number(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.6g", v);
  return buf;
}

// The image in the chosen type, the mask and the picture of what is measured.
struct StatState {
  Image src, mask, picture;
  bool masked = false;
  int coi = 1;
  double mean = 0, sd = 0;
  float lo = 0, hi = 0;
  ImagePoint at_lo{0, 0}, at_hi{0, 0};
};

std::shared_ptr<StatState> stat_state(const OpArgs& a) {
  auto s = std::make_shared<StatState>();
  s->src = to_pixel(a.src, type_of(a.values));
  const int above = a.values.integer("mask");
  s->masked = above >= 0;
  s->mask = mask_above(to_gray(a.src), above);
  s->picture = s->masked ? dim_outside(a.src, s->mask) : to_rgb(a.src);
  s->coi = a.values.integer("coi");
  return s;
}

std::string units(const Values& v) { return v.text("type") == "16u" ? " (16u units: 8-bit value x 257)" : ""; }

// The four layouts of one statistic: C1, C1 masked, C3 channel, C3 channel masked.
template <class C1, class C1M, class C3C, class C3CM>
struct Layouts {
  C1 c1;
  const char* c1_name;
  C1M c1m;
  const char* c1m_name;
  C3C c3c;
  const char* c3c_name;
  C3CM c3cm;
  const char* c3cm_name;
};
template <class C1, class C1M, class C3C, class C3CM>
Layouts(C1, const char*, C1M, const char*, C3C, const char*, C3CM, const char*) -> Layouts<C1, C1M, C3C, C3CM>;
#define NAMED(f) f, #f

template <class T, class L>
Job mean_stddev(const OpArgs& a, const L& f) {
  auto s = stat_state(a);
  const bool rgb = a.src.channels == 3;
  Job job;
  job.calls = rgb ? (s->masked ? f.c3cm_name : f.c3c_name) : (s->masked ? f.c1m_name : f.c1_name);
  job.run = [s, f, rgb] {
    StatState& st = *s;
    const T* p = st.src.data<T>();
    if (rgb)
      return st.masked ? f.c3cm(p, st.src.step, st.mask.data<uint8_t>(), st.mask.step, st.src.size(), st.coi, &st.mean,
                                &st.sd)
                       : f.c3c(p, st.src.step, st.src.size(), st.coi, &st.mean, &st.sd);
    return st.masked ? f.c1m(p, st.src.step, st.mask.data<uint8_t>(), st.mask.step, st.src.size(), &st.mean, &st.sd)
                     : f.c1(p, st.src.step, st.src.size(), &st.mean, &st.sd);
  };
  job.result = [s] { return s->picture; };
  const std::string unit = units(a.values);
  job.text = [s, unit] { return "mean " + number(s->mean) + ", standard deviation " + number(s->sd) + unit; };
  return job;
}

Job prepare_mean_stddev(const OpArgs& a) {
  switch (type_of(a.values)) {
    case Pixel::U8:
      return mean_stddev<uint8_t>(a, Layouts{NAMED(zuviMean_StdDev_8u_C1R), NAMED(zuviMean_StdDev_8u_C1MR),
                                             NAMED(zuviMean_StdDev_8u_C3CR), NAMED(zuviMean_StdDev_8u_C3CMR)});
    case Pixel::U16:
      return mean_stddev<uint16_t>(a, Layouts{NAMED(zuviMean_StdDev_16u_C1R), NAMED(zuviMean_StdDev_16u_C1MR),
                                              NAMED(zuviMean_StdDev_16u_C3CR), NAMED(zuviMean_StdDev_16u_C3CMR)});
    default:
      return mean_stddev<float>(a, Layouts{NAMED(zuviMean_StdDev_32f_C1R), NAMED(zuviMean_StdDev_32f_C1MR),
                                           NAMED(zuviMean_StdDev_32f_C3CR), NAMED(zuviMean_StdDev_32f_C3CMR)});
  }
}

// The mean exports exist in masked forms only: unmasked runs use a full mask.
template <class T, class C1M, class C3CM>
Job mean(const OpArgs& a, C1M c1m, const char* c1m_name, C3CM c3cm, const char* c3cm_name) {
  auto s = stat_state(a);
  const bool rgb = a.src.channels == 3;
  Job job;
  job.calls = rgb ? c3cm_name : c1m_name;
  job.run = [s, c1m, c3cm, rgb] {
    StatState& st = *s;
    return rgb ? c3cm(st.src.data<T>(), st.src.step, st.mask.data<uint8_t>(), st.mask.step, st.src.size(), st.coi,
                      &st.mean)
               : c1m(st.src.data<T>(), st.src.step, st.mask.data<uint8_t>(), st.mask.step, st.src.size(), &st.mean);
  };
  job.result = [s] { return s->picture; };
  const std::string unit = units(a.values);
  job.text = [s, unit] { return "mean " + number(s->mean) + unit; };
  return job;
}

Job prepare_mean(const OpArgs& a) {
  switch (type_of(a.values)) {
    case Pixel::U8: return mean<uint8_t>(a, NAMED(zuviMean_8u_C1MR), NAMED(zuviMean_8u_C3CMR));
    case Pixel::U16: return mean<uint16_t>(a, NAMED(zuviMean_16u_C1MR), NAMED(zuviMean_16u_C3CMR));
    default: return mean<float>(a, NAMED(zuviMean_32f_C1MR), NAMED(zuviMean_32f_C3CMR));
  }
}

template <class T, class L>
Job min_max(const OpArgs& a, const L& f) {
  auto s = stat_state(a);
  const bool rgb = a.src.channels == 3;
  Job job;
  job.calls = rgb ? (s->masked ? f.c3cm_name : f.c3c_name) : (s->masked ? f.c1m_name : f.c1_name);
  job.run = [s, f, rgb] {
    StatState& st = *s;
    const T* p = st.src.data<T>();
    if (rgb)
      return st.masked ? f.c3cm(p, st.src.step, st.mask.data<uint8_t>(), st.mask.step, st.src.size(), st.coi, &st.lo,
                                &st.hi, &st.at_lo, &st.at_hi)
                       : f.c3c(p, st.src.step, st.src.size(), st.coi, &st.lo, &st.hi, &st.at_lo, &st.at_hi);
    return st.masked ? f.c1m(p, st.src.step, st.mask.data<uint8_t>(), st.mask.step, st.src.size(), &st.lo, &st.hi,
                             &st.at_lo, &st.at_hi)
                     : f.c1(p, st.src.step, st.src.size(), &st.lo, &st.hi, &st.at_lo, &st.at_hi);
  };
  // The picture: cyan ring at the first minimum, red ring at the first maximum.
  job.result = [s] {
    Image pic = s->picture;
    mark(pic, s->at_lo.x, s->at_lo.y, 0, 230, 255);
    mark(pic, s->at_hi.x, s->at_hi.y, 255, 40, 40);
    return pic;
  };
  const std::string unit = units(a.values);
  job.text = [s, unit] {
    return "minimum " + number(s->lo) + " at (" + std::to_string(s->at_lo.x) + ", " + std::to_string(s->at_lo.y) +
           "), maximum " + number(s->hi) + " at (" + std::to_string(s->at_hi.x) + ", " +
           std::to_string(s->at_hi.y) + ")" + unit;
  };
  return job;
}

Job prepare_min_max(const OpArgs& a) {
  switch (type_of(a.values)) {
    case Pixel::U8:
      return min_max<uint8_t>(a, Layouts{NAMED(zuviMinMaxIndx_8u_C1R), NAMED(zuviMinMaxIndx_8u_C1MR),
                                         NAMED(zuviMinMaxIndx_8u_C3CR), NAMED(zuviMinMaxIndx_8u_C3CMR)});
    case Pixel::U16:
      return min_max<uint16_t>(a, Layouts{NAMED(zuviMinMaxIndx_16u_C1R), NAMED(zuviMinMaxIndx_16u_C1MR),
                                          NAMED(zuviMinMaxIndx_16u_C3CR), NAMED(zuviMinMaxIndx_16u_C3CMR)});
    default:
      return min_max<float>(a, Layouts{NAMED(zuviMinMaxIndx_32f_C1R), NAMED(zuviMinMaxIndx_32f_C1MR),
                                       NAMED(zuviMinMaxIndx_32f_C3CR), NAMED(zuviMinMaxIndx_32f_C3CMR)});
  }
}

#ifdef ZUV_HAVE_OPENCV
// OpenCV on the same one-channel image and mask (bench frames are gray).
template <int Kind>
std::function<void()> cv_stat(const OpArgs& a) {
  auto s = stat_state(a);
  return [s] {
    const cv::Mat src = as_mat(s->src), mask = s->masked ? as_mat(s->mask) : cv::Mat();
    if constexpr (Kind == 0) {
      cv::Scalar m, sd;
      cv::meanStdDev(src, m, sd, mask);
    } else if constexpr (Kind == 1) {
      (void)cv::mean(src, mask);
    } else {
      double lo = 0, hi = 0;
      cv::Point at_lo, at_hi;
      cv::minMaxLoc(src, &lo, &hi, &at_lo, &at_hi, mask);
    }
  };
}
#define ZUV_CV(f) f
#else
#define ZUV_CV(f) nullptr
#endif

std::vector<Op> stats_ops() {
  std::vector<Op> ops;
  ops.reserve(3);  // the pointers returned below stay valid
  auto op = [&](const char* name, const char* summary, const char* exports, Job (*prepare)(const OpArgs&)) {
    Op o;
    o.name = name;
    o.summary = summary;
    o.exports = exports;
    o.input = Input::GrayOrRgb;
    o.params = {type_param(), mask_param(), coi_param()};
    o.bench_over = "type";
    o.prepare = prepare;
    ops.push_back(o);
    return &ops.back();
  };
  op("mean-stddev", "mean and standard deviation of the image, or of one channel of an RGB image",
     "zuviMean_StdDev_{8u,16u,32f}_{C1R,C1MR,C3CR,C3CMR}", prepare_mean_stddev)
      ->opencv = ZUV_CV(cv_stat<0>);
  op("mean", "mean of the pixels under a mask (everywhere by default)", "zuviMean_{8u,16u,32f}_{C1MR,C3CMR}",
     prepare_mean)
      ->opencv = ZUV_CV(cv_stat<1>);
  Op* mm = op("min-max", "smallest and largest value and where they first occur (cyan: minimum, red: maximum)",
              "zuviMinMaxIndx_{8u,16u,32f}_{C1R,C1MR,C3CR,C3CMR}", prepare_min_max);
  mm->opencv = ZUV_CV(cv_stat<2>);
  mm->tour_image = "coins.png";
  ops[0].tour_image = "astronaut.png";
  ops[1].params[1].def = "100";
  return ops;
}

const FamilyRegistration kStats("arith/stats", 22, stats_ops());

}  // namespace
