// SPDX-License-Identifier: BSD-3-Clause
// zuvcv operations of the gray-scale morphology family: erosion and dilation by a non-flat element.
#include <cmath>
#include <memory>
#include <type_traits>

#include "../registry.h"

namespace {

using namespace zuvcv;

struct GrayState {
  Image src, dst;
  std::vector<uint8_t> spec;
};

// A cap of the given height over an n x n square: h * (1 - d^2 / r^2), at
// least 0, for d the distance from the centre; negated for erosion so the
// element lowers the image as dilation raises it.
template <class M>
std::vector<M> cap(int n, int height, bool negate) {
  std::vector<M> m(size_t(n) * size_t(n));
  const double r = n / 2.0;
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      const double dx = x + 0.5 - r, dy = y + 0.5 - r;
      const double v = std::max(0.0, height * (1.0 - (dx * dx + dy * dy) / (r * r)));
      m[size_t(y) * size_t(n) + size_t(x)] = M(std::lround(negate ? -v : v));
    }
  return m;
}

template <class T, class M, class GetSize, class Init, class Apply>
Job gray_job(const OpArgs& a, bool erode, GetSize get_size, Init init, Apply apply, const char* name) {
  auto s = std::make_shared<GrayState>();
  const Pixel pixel = std::is_same_v<T, float> ? Pixel::F32 : Pixel::U8;
  s->src = to_pixel(a.src, pixel);
  s->dst = Image::make(a.src.width, a.src.height, 1, pixel);
  const int n = a.values.integer("size");
  if (n > 1024) throw ToolError(Exit::Usage, "--size above 1024 is more than the tool builds an element for");
  // Sizes below 1 still pass a mask, so the library answers for the size.
  const std::vector<M> mask = n >= 1 ? cap<M>(n, a.values.integer("height"), erode) : std::vector<M>(1);
  const ImageSize mask_size{n, n};
  int32_t bytes = 0;
  Status st = get_size(s->src.size(), mask.data(), mask_size, &bytes);
  if (st != StatusOk) return failed_job(st, "zuviMorphGrayGetSize");
  s->spec.resize(size_t(bytes));
  st = init(reinterpret_cast<MorphGrayState*>(s->spec.data()), s->src.size(), mask.data(), mask_size,
            ImagePoint{n / 2, n / 2});
  if (st != StatusOk) return failed_job(st, "zuviMorphGrayInit");
  Job job;
  job.calls = name;
  job.run = [s, apply] {
    GrayState& g = *s;
    return apply(g.src.data<T>(), g.src.step, g.dst.data<T>(), g.dst.step, g.src.size(), BorderRepl,
                 reinterpret_cast<const MorphGrayState*>(g.spec.data()));
  };
  job.result = [s] { return s->dst; };
  return job;
}

template <bool Erode>
Job prepare_gray(const OpArgs& a) {
  if (a.values.text("type") == "32f")
    return Erode ? gray_job<float, float>(a, true, zuviMorphGrayGetSize_32f_C1R, zuviMorphGrayInit_32f_C1R,
                                          zuviGrayErodeBorder_32f_C1R, "zuviGrayErodeBorder_32f_C1R")
                 : gray_job<float, float>(a, false, zuviMorphGrayGetSize_32f_C1R, zuviMorphGrayInit_32f_C1R,
                                          zuviGrayDilateBorder_32f_C1R, "zuviGrayDilateBorder_32f_C1R");
  return Erode ? gray_job<uint8_t, int32_t>(a, true, zuviMorphGrayGetSize_8u_C1R, zuviMorphGrayInit_8u_C1R,
                                            zuviGrayErodeBorder_8u_C1R, "zuviGrayErodeBorder_8u_C1R")
               : gray_job<uint8_t, int32_t>(a, false, zuviMorphGrayGetSize_8u_C1R, zuviMorphGrayInit_8u_C1R,
                                            zuviGrayDilateBorder_8u_C1R, "zuviGrayDilateBorder_8u_C1R");
}

std::vector<Op> morph_gray_ops() {
  std::vector<Op> ops(2);
  for (int i = 0; i < 2; ++i) {
    const bool erode = i == 0;
    Op& op = ops[size_t(i)];
    op.name = erode ? "gray-erode" : "gray-dilate";
    op.summary = erode ? "gray-scale erosion: min of S - cap over the window, cut at the image edges"
                       : "gray-scale dilation: max of S + cap over the window, cut at the image edges";
    op.exports = erode ? "zuviMorphGrayGetSize, zuviMorphGrayInit, zuviGrayErodeBorder_{8u,32f}_C1R"
                       : "zuviMorphGrayGetSize, zuviMorphGrayInit, zuviGrayDilateBorder_{8u,32f}_C1R";
    op.params = {choice_param("type", "element type the image is converted to", {"8u", "32f"}),
                 int_param("size", "width and height of the element, at least 1", 9, INT32_MIN, INT32_MAX, StatusSize),
                 int_param("height", "height of the cap at its centre, in gray levels", 40, -255, 255)};
    op.bench_over = "type";
    op.prepare = erode ? prepare_gray<true> : prepare_gray<false>;
    op.tour_image = erode ? "coins.png" : "text.png";
  }
  return ops;
}

const FamilyRegistration kMorphGray("morph/morph_gray", 43, morph_gray_ops());

}  // namespace
