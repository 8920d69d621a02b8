// SPDX-License-Identifier: BSD-3-Clause
// The zuvcv program end to end: tour output, run against direct export calls, error paths.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "zuvcv.h"

namespace {

namespace fs = std::filesystem;

// Exports are looked up when called: a build may leave families out, and the
// operations of a missing family are not listed, so their cases never run.
template <class F>
F lookup(const char* name) {
  void* p = dlsym(RTLD_DEFAULT, name);
  if (!p) throw std::runtime_error(std::string("export not in the library: ") + name);
  return reinterpret_cast<F>(p);
}
#define EXPORT(name) lookup<decltype(&name)>(#name)

std::string slurp(const std::string& path) {
  std::ostringstream s;
  s << std::ifstream(path, std::ios::binary).rdbuf();
  return s.str();
}

std::vector<std::string> files_in(const std::string& dir) {
  std::vector<std::string> names;
  for (const fs::directory_entry& e : fs::directory_iterator(dir)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// A fresh folder under TMPDIR, removed with its contents.
struct TempDir {
  std::string path = (fs::temp_directory_path() / "zuvcv-test-XXXXXX").string();
  TempDir() { if (!mkdtemp(path.data())) throw std::runtime_error("mkdtemp failed"); }
  ~TempDir() { std::error_code ignored; fs::remove_all(path, ignored); }
  std::string operator/(const std::string& name) const { return path + "/" + name; }
};

struct Result { int code = -1; std::string out, err; };

// Runs the tool with its standard output and error captured in files (not a terminal).
Result tool(std::vector<std::string> args) {
  TempDir io;
  const std::string out = io / "out", err = io / "err";
  std::string prog = ZUV_TOOL_PATH;
  std::vector<char*> argv{prog.data()};
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
    dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
    dup2(open("/dev/null", O_RDONLY), 0);
    execv(prog.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), slurp(out), slurp(err)};
}

// A plain 8-bit picture for the tests, written and read with libpng directly.
struct Picture { int width = 0, height = 0, channels = 1; std::vector<uint8_t> px; };

ImageSize roi(const Picture& p) { return {p.width, p.height}; }

Picture random_picture(int w, int h, int channels, unsigned seed) {
  Picture p{w, h, channels, std::vector<uint8_t>(size_t(w) * size_t(h) * size_t(channels))};
  std::mt19937 rng(seed);
  for (uint8_t& v : p.px) v = uint8_t(rng() & 255);
  p.px[0] = 0;  // exact extremes reach the saturation and clamping paths
  p.px[1] = 255;
  return p;
}

void save(const Picture& p, const std::string& path) {
  png_image img{};
  img.version = PNG_IMAGE_VERSION;
  img.width = png_uint_32(p.width);
  img.height = png_uint_32(p.height);
  img.format = p.channels == 3 ? PNG_FORMAT_RGB : PNG_FORMAT_GRAY;
  ASSERT_TRUE(png_image_write_to_file(&img, path.c_str(), 0, p.px.data(), 0, nullptr)) << img.message;
}

bool load(const std::string& path, Picture& p) {
  png_image img{};
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&img, path.c_str())) return false;
  p.channels = (img.format & PNG_FORMAT_FLAG_COLOR) ? 3 : 1;
  img.format = p.channels == 3 ? PNG_FORMAT_RGB : PNG_FORMAT_GRAY;
  p.width = int(img.width);
  p.height = int(img.height);
  p.px.assign(PNG_IMAGE_SIZE(img), 0);
  return png_image_finish_read(&img, nullptr, p.px.data(), 0, nullptr) != 0;
}

Result run(const std::string& op, const std::string& in, const std::string& out, std::vector<std::string> options) {
  options.insert(options.begin(), {"run", op, in, out});
  return tool(options);
}

// The operations this build lists, asked once.
const std::vector<std::string>& operation_names() {
  static const std::vector<std::string> names = [] {
    std::istringstream list(tool({"list", "--names"}).out);
    return std::vector<std::string>{std::istream_iterator<std::string>(list), {}};
  }();
  return names;
}

bool built(const std::string& op) {
  return std::find(operation_names().begin(), operation_names().end(), op) != operation_names().end();
}

// A failed or finished command never leaves the temporaries it writes through.
bool no_temporaries(const std::string& dir) {
  for (const std::string& n : files_in(dir))
    if (n.find(".png.") != std::string::npos || n.find(".html.") != std::string::npos) return false;
  return true;
}

TEST(ToolTour, WritesEveryPictureAndAGalleryThatReferencesThem) {
  TempDir dir;
  const std::string out = dir / "tour";
  const Result r = tool({"tour", "--out", out, "--data", ZUV_TEST_DATA_DIR});
  ASSERT_EQ(r.code, 0) << r.out << r.err;
  const std::vector<std::string>& ops = operation_names();
  ASSERT_FALSE(ops.empty());
  const std::string html = slurp(out + "/index.html");
  ASSERT_FALSE(html.empty());
  for (const std::string& op : ops) {
    SCOPED_TRACE(op);
    EXPECT_NE(html.find("src=\"" + op + ".png\""), std::string::npos);
    EXPECT_NE(html.find("<h2>" + op + "</h2>"), std::string::npos);
    // One table row per operation with its time and rate, and one plain progress line.
    EXPECT_TRUE(std::regex_search(r.out, std::regex("(^|\n)" + op + " +\\S+ +[0-9.]+ +[0-9.]+"))) << r.out;
    EXPECT_TRUE(std::regex_search(r.out, std::regex("(^|\n)\\[[^\n]*\\] " + op + " "))) << r.out;
  }
  // Every picture the page shows (each operation's among them) is there and is a PNG.
  std::set<std::string> shown;
  for (size_t at = html.find("src=\""); at != std::string::npos; at = html.find("src=\"", at + 1))
    shown.insert(html.substr(at + 5, html.find('"', at + 5) - at - 5));
  EXPECT_GE(shown.size(), ops.size() + 1);
  Picture p;
  for (const std::string& file : shown) EXPECT_TRUE(load(out + "/" + file, p)) << file;
  EXPECT_TRUE(no_temporaries(out));
}

// The tool's 8-bit rendering of results: floats rounded half to even and
// saturated, 16s saturated, 16u scaled by 1/257 with rounding.
template <class T>
Picture with(const Picture& shape, const std::vector<T>& v) {
  Picture p = shape;
  for (size_t i = 0; i < v.size(); ++i)
    if constexpr (std::is_same_v<T, float>) p.px[i] = !(v[i] > 0) ? 0 : v[i] >= 255 ? 255 : uint8_t(std::nearbyint(v[i]));
    else if constexpr (std::is_same_v<T, uint16_t>) p.px[i] = uint8_t((v[i] + 128) / 257);
    else p.px[i] = uint8_t(std::clamp(int(v[i]), 0, 255));
  return p;
}

template <class T>
std::vector<T> as(const Picture& p, int scale = 1) {
  std::vector<T> v(p.px.begin(), p.px.end());
  for (T& x : v) x = T(x * scale);
  return v;
}

using Px = std::vector<uint8_t>;

// One `run` invocation and the same computation through the exports.
struct RunCase {
  const char* what;               // the operation name, then what the case is about
  std::vector<std::string> args;  // after INPUT OUTPUT; "SECOND" is replaced by the second file
  int channels;
  std::function<Picture(const Picture& a, const Picture& b)> expected;
};

// A buffer of the size that query(args..., &bytes) reports.
template <class Query, class... Args>
Px sized(Query query, Args... args) { int bytes = 0; EXPECT_EQ(query(args..., &bytes), 0); return Px(size_t(bytes)); }

std::vector<RunCase> run_cases() {
  using P = const Picture&;
  return {
      // A value above the type: differences of 45..300, the larger ones saturated.
      {"abs-diff-c 8u", {"--value", "300"}, 1, [](P a, P) {
         Px d(a.px.size());
         EXPECT_EQ(EXPORT(zuviAbsDiffC_8u_C1R)(a.px.data(), a.width, d.data(), a.width, roi(a), 300), 0);
         return with(a, d);
       }},
      {"abs-diff 8u RGB", {"--second", "SECOND"}, 3, [](P a, P b) {
         Px d(a.px.size());
         const int step = 3 * a.width;
         EXPECT_EQ(EXPORT(zuviAbsDiff_8u_C3R)(a.px.data(), step, b.px.data(), step, d.data(), step, roi(a)), 0);
         return with(a, d);
       }},
      {"abs-diff 16u", {"--type", "16u", "--second", "SECOND"}, 1, [](P a, P b) {
         std::vector<uint16_t> s1 = as<uint16_t>(a, 257), s2 = as<uint16_t>(b, 257), d(a.px.size());
         const int step = 2 * a.width;
         EXPECT_EQ(EXPORT(zuviAbsDiff_16u_C1R)(s1.data(), step, s2.data(), step, d.data(), step, roi(a)), 0);
         return with(a, d);
       }},
      {"add-weighted 32f masked", {"--type", "32f", "--alpha", "0.5", "--mask", "100", "--second", "SECOND"}, 1,
       [](P a, P b) {
         std::vector<float> src = as<float>(a), acc = as<float>(b);
         Px mask(a.px.size());
         for (size_t i = 0; i < mask.size(); ++i) mask[i] = a.px[i] > 100 ? 255 : 0;
         const int step = 4 * a.width;
         EXPECT_EQ(EXPORT(zuviAddWeighted_32f_C1IMR)(src.data(), step, mask.data(), a.width, acc.data(), step, roi(a), 0.5f), 0);
         return with(a, acc);
       }},
      {"blend", {"--alpha", "0.7", "--second", "SECOND"}, 1, [](P a, P b) {
         std::vector<float> s1 = as<float>(a), s2 = as<float>(b), d(a.px.size());
         const int step = 4 * a.width;
         EXPECT_EQ(EXPORT(zuviAddWeighted_32f_C1R)(s1.data(), step, s2.data(), step, d.data(), step, roi(a), 0.7f), 0);
         return with(a, d);
       }},
      // Operations with set-up queries and parameters mapped to codes: the tool
      // must hand over the same aperture, border, norm and thresholds.
      {"canny", {"--low", "40", "--high", "90", "--norm", "l1", "--aperture", "5", "--render", "values"}, 1, [](P a, P) {
         Px buffer = sized(EXPORT(zuviCannyBorderGetSize), roi(a), DifferentialKernelSobel, MaskSize5x5, DataType8u);
         Px d(a.px.size());
         EXPECT_EQ(EXPORT(zuviCannyBorder_8u_C1R)(a.px.data(), a.width, d.data(), a.width, roi(a), DifferentialKernelSobel,
                                                  MaskSize5x5, BorderRepl, 0, NormTypeL1, buffer.data(), 40.f, 90.f), 0);
         return with(a, d);
       }},
      {"erode", {"--shape", "square", "--size", "3", "--border", "const", "--border-value", "200"}, 1, [](P a, P) {
         int32_t spec_bytes = 0, buffer_bytes = 0;
         EXPECT_EQ(EXPORT(zuviMorphologyBorderGetSize_8u_C1R)(roi(a), {3, 3}, &spec_bytes, &buffer_bytes), 0);
         Px spec(spec_bytes), buffer(buffer_bytes), d(a.px.size()), mask(9, 1);
         auto* state = reinterpret_cast<MorphState*>(spec.data());
         EXPECT_EQ(EXPORT(zuviMorphologyBorderInit_8u_C1R)(roi(a), mask.data(), {3, 3}, state, buffer.data()), 0);
         EXPECT_EQ(EXPORT(zuviErodeBorder_8u_C1R)(a.px.data(), a.width, d.data(), a.width, roi(a), BorderConst, 200,
                                                  state, buffer.data()), 0);
         return with(a, d);
       }},
      {"lowpass", {"--aperture", "5", "--border", "mirror"}, 1, [](P a, P) {
         Px buffer = sized(EXPORT(zuviFilterLowpassGetBufferSize_8u_C1R), roi(a), MaskSize5x5), d(a.px.size());
         EXPECT_EQ(EXPORT(zuviFilterLowpassBorder_8u_C1R)(a.px.data(), a.width, d.data(), a.width, roi(a), MaskSize5x5,
                                                          BorderMirror, 0, buffer.data()), 0);
         return with(a, d);
       }},
      {"laplacian", {"--render", "values"}, 1, [](P a, P) {
         Px buffer = sized(EXPORT(zuviFilterLaplacianGetBufferSize_8u16s_C1R), roi(a), MaskSize3x3);
         std::vector<int16_t> d(a.px.size());
         EXPECT_EQ(EXPORT(zuviFilterLaplacianBorder_8u16s_C1R)(a.px.data(), a.width, d.data(), 2 * a.width, roi(a),
                                                               MaskSize3x3, BorderRepl, 0, buffer.data()), 0);
         return with(a, d);
       }},
      {"gaussian", {"--kernel", "5", "--sigma", "1.5", "--border", "mirror"}, 1, [](P a, P) {
         int spec_bytes = 0, buffer_bytes = 0;
         EXPECT_EQ(EXPORT(zuviFilterGaussianGetBufferSize)(roi(a), 5, DataType8u, 1, &spec_bytes, &buffer_bytes), 0);
         Px spec(spec_bytes), buffer(buffer_bytes), d(a.px.size());
         auto* state = reinterpret_cast<GaussianSpec*>(spec.data());
         EXPECT_EQ(EXPORT(zuviFilterGaussianInit)(roi(a), 5, BorderMirror, DataType8u, 1, state, buffer.data(), 1.5f), 0);
         EXPECT_EQ(EXPORT(zuviFilterGaussianBorder_8u_C1R)(a.px.data(), a.width, d.data(), a.width, roi(a), 0, state,
                                                           buffer.data()), 0);
         return with(a, d);
       }},
      // The caller-driven pipeline: a 7x7 box with replicated edges, computed
      // independently as an exact sum scaled by the float reciprocal of 49.
      {"separable", {"--kernel", "box7"}, 1, [](P a, P) {
         std::vector<float> d(a.px.size());
         for (int y = 0; y < a.height; ++y)
           for (int x = 0; x < a.width; ++x) {
             int total = 0;
             for (int j = -3; j <= 3; ++j)
               for (int i = -3; i <= 3; ++i)
                 total += a.px[size_t(std::clamp(y + j, 0, a.height - 1)) * size_t(a.width) +
                               size_t(std::clamp(x + i, 0, a.width - 1))];
             d[size_t(y) * size_t(a.width) + size_t(x)] = float(total) * (1.0f / 49.0f);
           }
         return with(a, d);
       }},
      {"gradient", {"--shape", "cross", "--size", "3", "--border", "const", "--border-value", "9"}, 3, [](P a, P) {
         int32_t spec_bytes = 0, buffer_bytes = 0;
         EXPECT_EQ(EXPORT(zuviMorphAdvGetSize_8u_C3R)(roi(a), {3, 3}, &spec_bytes, &buffer_bytes), 0);
         Px spec(spec_bytes), buffer(buffer_bytes), d(a.px.size()), cross = {0, 1, 0, 1, 1, 1, 0, 1, 0};
         auto* state = reinterpret_cast<MorphAdvState*>(spec.data());
         EXPECT_EQ(EXPORT(zuviMorphAdvInit_8u_C3R)(roi(a), cross.data(), {3, 3}, state, buffer.data()), 0);
         const uint8_t value[3] = {9, 9, 9};
         EXPECT_EQ(EXPORT(zuviMorphGradientBorder_8u_C3R)(a.px.data(), 3 * a.width, d.data(), 3 * a.width, roi(a),
                                                          BorderConst, value, state, buffer.data()), 0);
         return with(a, d);
       }},
  };
}

TEST(ToolRun, GivesTheSamePixelsAsTheExport) {
  for (const RunCase& rc : run_cases()) {
    SCOPED_TRACE(rc.what);
    const std::string op = std::string(rc.what).substr(0, std::string(rc.what).find(' '));
    if (!built(op)) continue;
    TempDir dir;
    // An odd size that is no multiple of any vector width.
    const Picture a = random_picture(37, 23, rc.channels, 1), b = random_picture(37, 23, rc.channels, 2);
    save(a, dir / "a.png");
    save(b, dir / "b.png");
    std::vector<std::string> options = rc.args;
    std::replace(options.begin(), options.end(), std::string("SECOND"), dir / "b.png");
    const Result r = run(op, dir / "a.png", dir / "out.png", options);
    ASSERT_EQ(r.code, 0) << r.err;
    Picture got;
    ASSERT_TRUE(load(dir / "out.png", got));
    const Picture want = rc.expected(a, b);
    EXPECT_EQ(std::tie(got.width, got.height, got.channels), std::tie(want.width, want.height, want.channels));
    EXPECT_EQ(got.px, want.px);
  }
}

// The thread count is set before the set-up queries, whose buffer sizes depend on it, so
// every count gives a correctly sized buffer and the same bytes.
TEST(ToolRun, ResultDoesNotDependOnTheThreadCount) {
  const std::vector<std::vector<std::string>> runs = {{"add-weighted", "--alpha", "0.37", "--type", "16u"},
                                                       {"gaussian", "--kernel", "7", "--sigma", "1.7", "--type", "16s"},
                                                       {"separable", "--kernel", "binomial9"}, {"mean-stddev"}};
  TempDir dir;
  // Above the parallel thresholds (width x height >= 262144 for accumulation).
  save(random_picture(611, 509, 1, 3), dir / "a.png");
  int checked = 0;
  for (const std::vector<std::string>& op : runs) {
    if (!built(op[0])) continue;
    SCOPED_TRACE(op[0]);
    std::vector<std::string> outputs;  // the picture's bytes and the printed text
    for (const char* threads : {"1", "2", "3"}) {
      std::vector<std::string> options = {"--threads", threads};
      options.insert(options.end(), op.begin() + 1, op.end());
      const Result r = run(op[0], dir / "a.png", dir / "out.png", options);
      ASSERT_EQ(r.code, 0) << r.err;
      outputs.push_back(slurp(dir / "out.png") + "\nprinted:\n" + r.out);
      EXPECT_EQ(outputs.back(), outputs.front()) << threads << " threads";
    }
    ++checked;
  }
  if (checked == 0) GTEST_SKIP() << "none of the operations is built";
}

// Measuring operations print their values; they are the export's, formatted.
TEST(ToolRun, PrintsTheExportsMeasurements) {
  if (!built("min-max")) GTEST_SKIP() << "statistics not built";
  TempDir dir;
  Picture a = random_picture(45, 31, 1, 8);
  for (uint8_t& v : a.px) v = uint8_t(std::clamp(int(v), 7, 200));
  a.px[4 * 45 + 30] = 3;  // the extremes inside, the maximum twice (the first one counts)
  a.px[20 * 45 + 12] = a.px[25 * 45 + 40] = 251;
  save(a, dir / "a.png");
  const Picture b = random_picture(45, 31, 1, 9);
  save(b, dir / "b.png");
  auto expect_printed = [&](const std::string& op, const std::vector<std::string>& options, const char* f, auto... v) {
    char want[160];
    std::snprintf(want, sizeof want, f, v...);
    const Result r = run(op, dir / "a.png", dir / "out.png", options);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find(want), std::string::npos) << r.out << " expected " << want;
  };
  float lo = 0, hi = 0;
  ImagePoint at_lo{}, at_hi{};
  ASSERT_EQ(EXPORT(zuviMinMaxIndx_8u_C1R)(a.px.data(), a.width, roi(a), &lo, &hi, &at_lo, &at_hi), 0);
  expect_printed("min-max", {}, "minimum %g at (%d, %d), maximum %g at (%d, %d)", lo, at_lo.x, at_lo.y, hi, at_hi.x,
                 at_hi.y);
  std::vector<uint8_t> mask(a.px.size()), all(a.px.size(), 255);
  for (size_t i = 0; i < mask.size(); ++i) mask[i] = a.px[i] > 100 ? 1 : 0;
  double mean = 0, sd = 0, norm = 0;
  ASSERT_EQ(EXPORT(zuviMean_StdDev_8u_C1MR)(a.px.data(), a.width, mask.data(), a.width, roi(a), &mean, &sd), 0);
  expect_printed("mean-stddev", {"--mask", "100"}, "mean %.6g, standard deviation %.6g", mean, sd);
  if (!built("norm-diff")) return;
  ASSERT_EQ(EXPORT(zuviNormDiff_L1_8u_C1MR)(a.px.data(), a.width, b.px.data(), b.width, all.data(), a.width, roi(a),
                                            &norm), 0);
  expect_printed("norm-diff", {"--second", dir / "b.png", "--kind", "l1"}, "norm %.9g", norm);
}

// A failing command: its exit code, the words of its message, and no output file. Parameters
// the library checks (exit code 4) pass through; the message names the status and the parameter.
std::vector<std::string> refused(Status status, const char* param) {
  return {zuvGetStatusString(status), std::to_string(status), param};
}

TEST(ToolErrors, EachFailureExplainsItselfAndLeavesNoOutput) {
  struct ErrorCase { std::vector<std::string> args; int code; std::vector<std::string> message; };  // IN, RGB, OUT, DIR: paths
  const std::vector<ErrorCase> cases = {
      {{"run", "no-such-op", "IN", "OUT"}, 2, {"unknown operation 'no-such-op'"}},
      {{"run", "abs-diff-c", "IN", "OUT", "--bogus", "3"}, 2, {"unknown option --bogus"}},
      {{"run", "abs-diff-c", "IN", "OUT", "-x"}, 2, {"unknown option -x"}},
      {{"run", "abs-diff-c", "IN", "OUT", "--value"}, 2, {"--value needs a value"}},
      {{"run", "abs-diff-c", "IN", "OUT", "--value", "12abc"}, 2, {"expects an integer"}},
      {{"run", "add-weighted", "IN", "OUT", "--alpha", "half"}, 2, {"expects a number"}},
      {{"run", "add", "IN", "OUT", "--mask", "256"}, 2, {"outside -1..255"}},
      {{"run", "abs-diff-c", "IN", "OUT", "--type", "64f"}, 2, {"one of 8u|16u|32f"}},
      {{"run", "abs-diff-c", "IN", "OUT", "--value", "1", "--value", "2"}, 2, {"given twice"}},
      {{"run", "abs-diff-c", "IN"}, 2, {"needs INPUT and OUTPUT"}},
      {{"run", "abs-diff-c", "IN", "OUT", "--second", "IN"}, 2, {"takes no second frame"}},
      {{"run", "abs-diff-c", "IN", "OUT", "--render", "sepia"}, 2, {"unknown --render"}},
      {{"run", "abs-diff-c", "IN", "OUT", "--threads", "-1"}, 2, {"--threads expects"}},
      {{"run", "abs-diff-c", "DIR/missing.png", "OUT"}, 3, {"cannot read"}},
      {{"run", "abs-diff-c", "DIR/text.png", "OUT"}, 3, {"is not a PNG file"}},
      {{"run", "abs-diff-c", "DIR/cut.png", "OUT"}, 3, {"cannot read"}},
      {{"run", "abs-diff", "IN", "OUT", "--second", "DIR/small.png"}, 3, {"second frame is 5x4"}},
      {{"run", "abs-diff", "RGB", "OUT", "--type", "16u"}, 2, {"RGB"}},
      {{"run", "abs-diff-c", "IN", "DIR/none/out.png"}, 5, {"cannot write"}},
      {{"frobnicate"}, 2, {"frobnicate"}},
      {{"bench", "--size", "12by3"}, 2, {"--size expects"}},
      {{"bench", "--filter", "no-such-op", "--size", "8x8"}, 2, {"no operation matches"}},
      {{"tour", "--out", "DIR/tour", "--data", "DIR/none"}, 3, {"no sample images"}},
      {{"run", "mean-stddev", "RGB", "OUT", "--coi", "4"}, 4, refused(StatusChannelOfInterest, "--coi 4")},
      {{"run", "min-max", "RGB", "OUT", "--coi", "0", "--mask", "20"}, 4, refused(StatusChannelOfInterest, "--coi 0")},
      {{"run", "canny", "IN", "OUT", "--low", "90", "--high", "30"}, 4, refused(StatusBadArgument, "--high 30")},
      {{"run", "canny", "IN", "OUT", "--kernel", "scharr", "--aperture", "5"}, 4, refused(StatusMaskSize, "--aperture 5")},
      {{"run", "lowpass", "IN", "OUT", "--aperture", "4"}, 4, refused(StatusMaskSize, "--aperture 4")},
      {{"run", "erode", "IN", "OUT", "--size", "0"}, 4, refused(StatusSize, "--size 0")},
      {{"run", "gaussian", "RGB", "OUT", "--sigma", "0"}, 4, refused(StatusBadArgument, "--sigma 0")},
      {{"run", "norm", "RGB", "OUT", "--coi", "-2"}, 4, refused(StatusChannelOfInterest, "--coi -2")},
      {{"run", "open", "RGB", "OUT", "--size", "-3"}, 4, refused(StatusSize, "--size -3")},
      {{"run", "gray-dilate", "IN", "OUT", "--size", "0"}, 4, refused(StatusSize, "--size 0")},
  };
  TempDir dir;
  save(random_picture(40, 30, 1, 4), dir / "in.png");
  save(random_picture(40, 30, 3, 5), dir / "rgb.png");
  save(random_picture(5, 4, 1, 6), dir / "small.png");
  std::ofstream(dir / "text.png") << "this is plain text, not a picture\n";
  std::ofstream(dir / "cut.png", std::ios::binary) << slurp(dir / "in.png").substr(0, 60);
  const std::vector<std::string> before = files_in(dir.path);
  for (const ErrorCase& ec : cases) {
    SCOPED_TRACE(testing::PrintToString(ec.args));
    if (ec.args[0] == "run" && ec.args[1] != "no-such-op" && !built(ec.args[1])) continue;
    std::vector<std::string> args;
    for (const std::string& a : ec.args)
      args.push_back(a == "IN" ? dir / "in.png" : a == "RGB" ? dir / "rgb.png" : a == "OUT" ? dir / "out.png"
                     : a.rfind("DIR/", 0) == 0 ? dir / a.substr(4) : a);
    const Result r = tool(args);
    EXPECT_EQ(r.code, ec.code) << r.out << r.err;
    for (const std::string& m : ec.message) EXPECT_NE(r.err.find(m), std::string::npos) << r.out << r.err;
    EXPECT_EQ(files_in(dir.path), before) << "a failed command left or removed a file";
  }
  // A failure keeps an existing output as it was.
  std::ofstream(dir / "out.png") << "previous result";
  EXPECT_EQ(run("abs-diff-c", dir / "text.png", dir / "out.png", {}).code, 3);
  EXPECT_EQ(slurp(dir / "out.png"), "previous result");
  EXPECT_TRUE(no_temporaries(dir.path));
}

// version, list, bench and the help texts: what each must show and must not.
TEST(ToolInfo, VersionListBenchAndHelp) {
  struct Case { std::vector<std::string> args, shows, hides; };
  std::vector<Case> cases = {{{"version"}, {zuvcvGetLibVersion()->name, "9.0.2 (r49912)", "threads: "}, {}},
                             {{"list"}, {}, {}},
                             {{"run", "--help"}, {}, {}}};
  for (const std::string& op : operation_names()) {
    cases[1].shows.push_back("\n" + op + " ");
    cases[2].shows.push_back("  " + op + " ");
    cases.push_back({{"run", op, "--help"}, {"zuvcv run " + op, "calls: zuvi"}, {}});
    if (op == "abs-diff-c") cases.back().shows.insert(cases.back().shows.end(), {"--value", "default 128"});
  }
  if (built("abs-diff-c"))
    cases.push_back({{"bench", "--filter", "abs-diff-c", "--size", "64x48", "--min-time", "0.001", "--threads", "1"},
                     {"abs-diff-c/8u ", "abs-diff-c/16u ", "abs-diff-c/32f "},
                     {"add-weighted"}});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : ""));
    const Result r = tool(c.args);
    EXPECT_EQ(r.code, 0) << r.err;
    const std::string out = "\n" + r.out;
    for (const std::string& s : c.shows) EXPECT_NE(out.find(s), std::string::npos) << s << " in:\n" << r.out;
    for (const std::string& s : c.hides) EXPECT_EQ(out.find(s), std::string::npos) << s << " in:\n" << r.out;
  }
}

}  // namespace
