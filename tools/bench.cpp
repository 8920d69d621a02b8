// SPDX-License-Identifier: BSD-3-Clause
// zuvcv bench: quick timings of every operation, beside OpenCV's where it was found at build time.
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"

#ifdef ZUV_HAVE_OPENCV
#include <opencv2/core.hpp>
#endif

namespace zuvcv {

namespace {

// A frame of the requested size: the camera sample stretched to it, or a
// smooth pattern with texture when the samples are missing.
Image bench_frame(const BenchOptions& o) {
  try {
    const std::string data = find_data_dir(o.data);
    return resized(to_gray(read_png(data + "/camera.png")), o.width, o.height);
  } catch (const ToolError&) {
    if (!o.data.empty()) throw;
  }
  Image img = Image::make(o.width, o.height, 1, Pixel::U8);
  uint32_t seed = 12345;
  for (int y = 0; y < o.height; ++y)
    for (int x = 0; x < o.width; ++x) {
      seed = seed * 1664525u + 1013904223u;
      img.row<uint8_t>(y)[x] = uint8_t((x * 255 / o.width + y * 255 / o.height) / 2 + (seed >> 28));
    }
  return img;
}

bool matches(const Op& op, const std::string& filter) {
  return filter.empty() || op.name.find(filter) != std::string::npos || op.family.find(filter) != std::string::npos;
}

}  // namespace

int run_bench(const BenchOptions& o) {
  if (o.threads < 0) throw ToolError(Exit::Usage, "--threads is at least 0 (0: the library's default)");
  zuvSetNumThreads(o.threads);
  const int threads = ownGetNumThreads();
#ifdef ZUV_HAVE_OPENCV
  cv::setNumThreads(threads);
  const bool with_cv = true;
#else
  const bool with_cv = false;
#endif
  const Image frame = bench_frame(o);
  const std::string size = std::to_string(o.width) + "x" + std::to_string(o.height);
  std::printf("%-24s %-11s %7s %10s %10s", "operation", "size", "threads", "median ms", "MP/s");
  if (with_cv) std::printf(" %10s %8s", "OpenCV ms", "speed-up");
  std::printf("\n");

  int timed = 0;
  for (const Op& op : operations()) {
    if (!matches(op, o.filter)) continue;
    std::vector<std::string> variants{""};
    for (const Param& p : op.params)
      if (p.name == op.bench_over) variants = p.choices;
    for (const std::string& variant : variants) {
      std::map<std::string, std::string> given;
      if (!variant.empty()) given[op.bench_over] = variant;
      const Values values = parse_values(op, given);
      const OpArgs args = make_args(op, frame, nullptr, values);
      const std::string label = op.name + (variant.empty() ? "" : "/" + variant);
      Job job = op.prepare(args);
      const Status status = job.run();
      if (status < 0) {
        std::printf("%-24s %-11s %7d %10s  %s\n", label.c_str(), size.c_str(), threads, "refused",
                    zuvGetStatusString(status));
        continue;
      }
      const double ms = time_ms([&] { job.run(); }, o.min_time, 5, 100000, false);
      std::printf("%-24s %-11s %7d %10.3f %10.1f", label.c_str(), size.c_str(), threads, ms,
                  double(frame.pixels()) / (ms * 1000.0));
      if (with_cv && op.opencv) {
        const std::function<void()> theirs = op.opencv(args);
        theirs();
        const double cv_ms = time_ms(theirs, o.min_time, 5, 100000, false);
        std::printf(" %10.3f %7.2fx", cv_ms, cv_ms / ms);
      }
      std::printf("\n");
      std::fflush(stdout);
      ++timed;
    }
  }
  if (timed == 0) throw ToolError(Exit::Usage, "no operation matches '" + o.filter + "' (see zuvcv list)");
  return 0;
}

}  // namespace zuvcv
