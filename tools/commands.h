// SPDX-License-Identifier: BSD-3-Clause
// The zuvcv subcommands and what they share: finding the sample images, timing a job.
#pragma once

#include <functional>
#include <string>

#include "registry.h"

namespace zuvcv {

// The folder of the sample images: the one given, else the project's data/
// folder known at build time, else ./data.
std::string find_data_dir(const std::string& given);

// Time in milliseconds of repeated calls, the best or the median, spending
// about budget seconds (at least min_runs calls, at most max_runs).
double time_ms(const std::function<void()>& call, double budget, int min_runs, int max_runs, bool best);

// Creates a folder and its parents; ToolError (Output) when that fails.
void make_dirs(const std::string& path);
// Writes a text file through a temporary file renamed into place.
void write_text(const std::string& path, const std::string& text);

struct TourOptions {
  std::string out = "tour";
  std::string data;
};
int run_tour(const TourOptions& options);

struct BenchOptions {
  std::string filter;
  int threads = 0;
  int width = 1920, height = 1080;
  double min_time = 0.2;
  std::string data;
};
int run_bench(const BenchOptions& options);

}  // namespace zuvcv
