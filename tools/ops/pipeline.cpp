// SPDX-License-Identifier: BSD-3-Clause
// zuvcv operations of the separable pipeline family: a row pass then a column pass, driven by the caller.
#include <algorithm>
#include <cmath>
#include <memory>

#include "../registry.h"

#ifdef ZUV_HAVE_OPENCV
#include <opencv2/imgproc.hpp>

#include "../cv_mat.h"
#endif

namespace {

using namespace zuvcv;

std::vector<int16_t> taps_of(const std::string& name) {
  if (name == "binomial9") return {1, 8, 28, 56, 70, 56, 28, 8, 1};
  if (name == "box7") return {1, 1, 1, 1, 1, 1, 1};
  return {1, 4, 6, 4, 1};
}

struct PipeState {
  Image src, rows, dst, constant_row;
  std::vector<int16_t> taps;
  std::vector<int16_t*> row_ptrs;
  std::vector<const int16_t*> column_ptrs;
  std::vector<uint8_t> row_buffer, column_buffer;
  BorderType border = BorderRepl;
  uint8_t border_value = 0;
  int row_divisor = 1, column_divisor = 1;
};

// The column pass reads h + k - 1 rows: the rows above and below the image
// are the caller's to supply, here by pointing at edge rows again (repl),
// at mirrored rows (mirror) or at a row of the filtered constant (const).
template <class RowPass, class ColumnPass, class RowSize, class ColumnSize>
Job pipeline_job(const OpArgs& a, int channels, RowPass row_pass, ColumnPass column_pass, RowSize row_size,
                 ColumnSize column_size, const char* names) {
  auto s = std::make_shared<PipeState>();
  s->src = a.src;
  const int w = a.src.width, h = a.src.height;
  s->taps = taps_of(a.values.text("kernel"));
  const int k = int(s->taps.size()), anchor = k / 2;
  int sum = 0;
  for (int16_t t : s->taps) sum += t;
  s->row_divisor = std::max(1, sum / 16);  // row results stay within 16 bits
  s->column_divisor = sum * sum / s->row_divisor;
  s->border = border_code(a.values.text("border"));
  s->border_value = uint8_t(a.values.integer("border-value"));
  s->rows = Image::make(w, h, channels, Pixel::S16);
  s->dst = Image::make(w, h, channels, Pixel::U8);
  s->constant_row = filled(w, 1, channels, Pixel::S16,
                           std::nearbyint(double(s->border_value) * sum / s->row_divisor));
  for (int y = 0; y < h; ++y) s->row_ptrs.push_back(s->rows.row<int16_t>(y));
  for (int i = 0; i < h + k - 1; ++i) {
    int y = i - anchor;
    if (y < 0 || y >= h) {
      if (s->border == BorderConst) {
        s->column_ptrs.push_back(s->constant_row.data<int16_t>());
        continue;
      }
      if (s->border == BorderMirror) {
        const int period = h > 1 ? 2 * (h - 1) : 1;
        y = ((y % period) + period) % period;
        if (y >= h) y = period - y;
      } else {
        y = std::clamp(y, 0, h - 1);
      }
    }
    s->column_ptrs.push_back(s->rows.row<int16_t>(y));
  }
  int row_bytes = 0, column_bytes = 0;
  Status st = row_size(s->src.size(), k, &row_bytes);
  if (st != StatusOk) return failed_job(st, "zuviFilterRowBorderPipelineGetBufferSize");
  st = column_size(s->src.size(), k, &column_bytes);
  if (st != StatusOk) return failed_job(st, "zuviFilterColumnPipelineGetBufferSize");
  s->row_buffer.resize(size_t(row_bytes));
  s->column_buffer.resize(size_t(column_bytes));
  Job job;
  job.calls = names;
  job.run = [s, row_pass, column_pass, anchor] {
    PipeState& p = *s;
    const int kk = int(p.taps.size());
    const Status r = row_pass(p.src.data<uint8_t>(), p.src.step, p.row_ptrs.data(), p.src.size(), p.taps.data(), kk,
                              anchor, p.border, p.border_value, p.row_divisor, p.row_buffer.data());
    if (r < 0) return r;
    return column_pass(p.column_ptrs.data(), p.dst.data<uint8_t>(), p.dst.step, p.src.size(), p.taps.data(), kk,
                       p.column_divisor, p.column_buffer.data());
  };
  job.result = [s] { return s->dst; };
  return job;
}

Job prepare_separable(const OpArgs& a) {
  if (a.src.channels == 3)
    return pipeline_job(a, 3, zuviFilterRowBorderPipeline_8u16s_C3R, zuviFilterColumnPipeline_16s8u_C3R,
                        zuviFilterRowBorderPipelineGetBufferSize_8u16s_C3R,
                        zuviFilterColumnPipelineGetBufferSize_16s8u_C3R,
                        "zuviFilterRowBorderPipeline_8u16s_C3R, zuviFilterColumnPipeline_16s8u_C3R");
  return pipeline_job(a, 1, zuviFilterRowBorderPipeline_8u16s_C1R, zuviFilterColumnPipeline_16s8u_C1R,
                      zuviFilterRowBorderPipelineGetBufferSize_8u16s_C1R,
                      zuviFilterColumnPipelineGetBufferSize_16s8u_C1R,
                      "zuviFilterRowBorderPipeline_8u16s_C1R, zuviFilterColumnPipeline_16s8u_C1R");
}

#ifdef ZUV_HAVE_OPENCV
std::function<void()> cv_separable(const OpArgs& a) {
  auto s = std::make_shared<PipeState>();
  s->src = a.src;
  s->dst = Image::make(a.src.width, a.src.height, a.src.channels, Pixel::U8);
  const std::vector<int16_t> taps = taps_of(a.values.text("kernel"));
  double sum = 0;
  for (int16_t t : taps) sum += t;
  cv::Mat kernel(1, int(taps.size()), CV_32F);
  for (size_t i = 0; i < taps.size(); ++i) kernel.at<float>(0, int(i)) = float(taps[i] / sum);
  const std::string& b = a.values.text("border");
  const int border = b == "const" ? cv::BORDER_CONSTANT : b == "mirror" ? cv::BORDER_REFLECT_101 : cv::BORDER_REPLICATE;
  return [s, kernel, border] {
    cv::Mat dst = as_mat(s->dst);
    cv::sepFilter2D(as_mat(s->src), dst, CV_8U, kernel, kernel, cv::Point(-1, -1), 0, border);
  };
}
#define ZUV_CV(f) f
#else
#define ZUV_CV(f) nullptr
#endif

std::vector<Op> pipeline_ops() {
  Op op;
  op.name = "separable";
  op.summary = "separable smoothing driven row by row: an 8u-to-16s row pass, then a 16s-to-8u column pass";
  op.exports = "zuviFilterRowBorderPipeline_8u16s_{C1R,C3R}, zuviFilterColumnPipeline_16s8u_{C1R,C3R} and their "
               "GetBufferSize";
  op.input = Input::GrayOrRgb;
  op.params = {choice_param("kernel", "taps of both passes: 1 4 6 4 1, 1 8 28 56 70 56 28 8 1, or seven ones",
                            {"binomial5", "binomial9", "box7"}),
               border_param(), border_value_param()};
  op.bench_over = "kernel";
  op.prepare = prepare_separable;
  op.opencv = ZUV_CV(cv_separable);
  op.tour_image = "astronaut.png";
  return {op};
}

const FamilyRegistration kPipeline("filter/pipeline", 31, pipeline_ops());

}  // namespace
