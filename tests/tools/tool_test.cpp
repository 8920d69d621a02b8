// SPDX-License-Identifier: BSD-3-Clause
// The zuvcv program end to end: tour output, run against direct export calls, error paths.
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "zuvcv.h"

namespace {

// Exports are looked up when called: a build may leave families out, and the
// operations of a missing family are not listed, so their cases never run.
template <class F>
F lookup(const char* name) {
  void* p = dlsym(RTLD_DEFAULT, name);
  if (!p) throw std::runtime_error(std::string("export not in the library: ") + name);
  return reinterpret_cast<F>(p);
}
#define EXPORT(name) lookup<decltype(&name)>(#name)

struct Result {
  int code = -1;
  std::string out, err;
};

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool exists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

std::vector<std::string> files_in(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) names.push_back(e->d_name);
    closedir(d);
  }
  return names;
}

class TempDir {
 public:
  TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string t = std::string(base && *base ? base : "/tmp") + "/zuvcv-test-XXXXXX";
    std::vector<char> name(t.begin(), t.end());
    name.push_back('\0');
    if (!mkdtemp(name.data())) throw std::runtime_error("mkdtemp failed");
    path_ = name.data();
  }
  ~TempDir() { remove_all(path_); }
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  static void remove_all(const std::string& p) {
    struct stat st {};
    if (lstat(p.c_str(), &st) != 0) return;
    if (S_ISDIR(st.st_mode)) {
      for (const std::string& n : files_in(p)) remove_all(p + "/" + n);
      rmdir(p.c_str());
    } else {
      unlink(p.c_str());
    }
  }
  std::string path_;
};

// Runs the tool with its standard output and error captured in files (not a terminal).
Result tool(const std::vector<std::string>& args) {
  TempDir io;
  const std::string out = io / "out", err = io / "err";
  const pid_t pid = fork();
  if (pid == 0) {
    const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int in = open("/dev/null", O_RDONLY);
    dup2(o, 1);
    dup2(e, 2);
    dup2(in, 0);
    std::vector<char*> argv;
    std::string prog = ZUV_TOOL_PATH;
    argv.push_back(prog.data());
    std::vector<std::string> copy = args;
    for (std::string& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(prog.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  Result r;
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.out = slurp(out);
  r.err = slurp(err);
  return r;
}

// A plain 8-bit picture for the tests, written and read with libpng directly.
struct Picture {
  int width = 0, height = 0, channels = 1;
  std::vector<uint8_t> px;
  uint8_t& at(int x, int y, int c = 0) { return px[(size_t(y) * size_t(width) + size_t(x)) * size_t(channels) + size_t(c)]; }
};

Picture random_picture(int w, int h, int channels, unsigned seed) {
  Picture p{w, h, channels, std::vector<uint8_t>(size_t(w) * size_t(h) * size_t(channels))};
  std::mt19937 rng(seed);
  for (uint8_t& v : p.px) v = uint8_t(rng() & 255);
  // A few exact extremes so saturation and clamping paths are reached.
  p.px[0] = 0;
  p.px[1] = 255;
  return p;
}

void save(const Picture& p, const std::string& path) {
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  img.width = png_uint_32(p.width);
  img.height = png_uint_32(p.height);
  img.format = p.channels == 3 ? PNG_FORMAT_RGB : PNG_FORMAT_GRAY;
  ASSERT_TRUE(png_image_write_to_file(&img, path.c_str(), 0, p.px.data(), 0, nullptr)) << img.message;
}

bool load(const std::string& path, Picture& p) {
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&img, path.c_str())) return false;
  p.channels = (img.format & PNG_FORMAT_FLAG_COLOR) ? 3 : 1;
  img.format = p.channels == 3 ? PNG_FORMAT_RGB : PNG_FORMAT_GRAY;
  p.width = int(img.width);
  p.height = int(img.height);
  p.px.assign(PNG_IMAGE_SIZE(img), 0);
  return png_image_finish_read(&img, nullptr, p.px.data(), 0, nullptr) != 0;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> v;
  std::stringstream s(text);
  for (std::string l; std::getline(s, l);)
    if (!l.empty()) v.push_back(l);
  return v;
}

std::vector<std::string> operation_names() {
  const Result r = tool({"list", "--names"});
  EXPECT_EQ(r.code, 0) << r.err;
  return lines(r.out);
}

// Files a failed or finished command must never leave: the temporaries it writes through.
std::vector<std::string> temporaries(const std::string& dir) {
  std::vector<std::string> left;
  for (const std::string& n : files_in(dir))
    if (n.find(".png.") != std::string::npos || n.find(".html.") != std::string::npos) left.push_back(n);
  return left;
}

TEST(ToolTour, WritesEveryPictureAndAGalleryThatReferencesThem) {
  TempDir dir;
  const std::string out = dir / "tour";
  const Result r = tool({"tour", "--out", out, "--data", ZUV_TEST_DATA_DIR});
  ASSERT_EQ(r.code, 0) << r.out << r.err;
  const std::vector<std::string> ops = operation_names();
  ASSERT_FALSE(ops.empty());
  const std::string html = slurp(out + "/index.html");
  ASSERT_FALSE(html.empty());
  for (const std::string& op : ops) {
    SCOPED_TRACE(op);
    Picture p;
    EXPECT_TRUE(load(out + "/" + op + ".png", p));
    EXPECT_GT(p.width, 0);
    EXPECT_NE(html.find("src=\"" + op + ".png\""), std::string::npos);
    EXPECT_NE(html.find("<h2>" + op + "</h2>"), std::string::npos);
    // One table row per operation with its time, and one plain progress line.
    bool row = false, progress = false;
    for (const std::string& l : lines(r.out)) {
      std::istringstream s(l);
      std::string name, size;
      double ms = -1, mps = -1;
      if (s >> name >> size >> ms >> mps && name == op && ms >= 0 && mps >= 0) row = true;
      if (l.rfind("[", 0) == 0 && l.find("] " + op + " ") != std::string::npos) progress = true;
    }
    EXPECT_TRUE(row) << r.out;
    EXPECT_TRUE(progress) << r.out;
  }
  // Every picture the page shows is there and is a PNG.
  std::set<std::string> shown;
  for (size_t at = html.find("src=\""); at != std::string::npos; at = html.find("src=\"", at + 1)) {
    const size_t end = html.find('"', at + 5);
    shown.insert(html.substr(at + 5, end - at - 5));
  }
  EXPECT_GE(shown.size(), ops.size() + 1);
  for (const std::string& file : shown) {
    Picture p;
    EXPECT_TRUE(load(out + "/" + file, p)) << file;
  }
  EXPECT_TRUE(temporaries(out).empty());
}

// One `run` invocation and the same computation through the exports.
struct RunCase {
  const char* what;
  std::vector<std::string> args;  // after INPUT OUTPUT; "SECOND" is replaced by the second file
  int channels;
  std::function<Picture(const Picture& a, const Picture& b)> expected;
};

uint8_t to8(float v) {  // the tool's conversion of float results: rounded half to even, saturated
  if (!(v > 0)) return 0;
  if (v >= 255) return 255;
  return uint8_t(std::nearbyint(v));
}

Picture with(const Picture& shape, const std::vector<uint8_t>& px) {
  Picture p = shape;
  p.px = px;
  return p;
}

std::vector<float> as_float(const Picture& p) { return std::vector<float>(p.px.begin(), p.px.end()); }

std::vector<RunCase> run_cases() {
  std::vector<RunCase> c;
  c.push_back({"abs-diff-c 8u", {"--value", "100"}, 1, [](const Picture& a, const Picture&) {
                 std::vector<uint8_t> d(a.px.size());
                 EXPECT_EQ(EXPORT(zuviAbsDiffC_8u_C1R)(a.px.data(), a.width, d.data(), a.width, {a.width, a.height}, 100), 0);
                 return with(a, d);
               }});
  c.push_back({"abs-diff-c 8u value above the type", {"--value", "300"}, 1, [](const Picture& a, const Picture&) {
                 std::vector<uint8_t> d(a.px.size());
                 EXPECT_EQ(EXPORT(zuviAbsDiffC_8u_C1R)(a.px.data(), a.width, d.data(), a.width, {a.width, a.height}, 300), 0);
                 return with(a, d);
               }});
  c.push_back({"abs-diff 8u RGB", {"--second", "SECOND"}, 3, [](const Picture& a, const Picture& b) {
                 std::vector<uint8_t> d(a.px.size());
                 const int step = 3 * a.width;
                 EXPECT_EQ(EXPORT(zuviAbsDiff_8u_C3R)(a.px.data(), step, b.px.data(), step, d.data(), step, {a.width, a.height}), 0);
                 return with(a, d);
               }});
  c.push_back({"abs-diff 16u", {"--type", "16u", "--second", "SECOND"}, 1, [](const Picture& a, const Picture& b) {
                 std::vector<uint16_t> s1(a.px.begin(), a.px.end()), s2(b.px.begin(), b.px.end()), d(a.px.size());
                 for (auto& v : s1) v = uint16_t(v * 257);
                 for (auto& v : s2) v = uint16_t(v * 257);
                 const int step = 2 * a.width;
                 EXPECT_EQ(EXPORT(zuviAbsDiff_16u_C1R)(s1.data(), step, s2.data(), step, d.data(), step, {a.width, a.height}), 0);
                 std::vector<uint8_t> out(d.size());
                 for (size_t i = 0; i < d.size(); ++i) out[i] = uint8_t((d[i] + 128) / 257);
                 return with(a, out);
               }});
  c.push_back({"add-weighted 8u", {"--alpha", "0.3", "--second", "SECOND"}, 1, [](const Picture& a, const Picture& b) {
                 std::vector<float> acc = as_float(b);
                 EXPECT_EQ(EXPORT(zuviAddWeighted_8u32f_C1IR)(a.px.data(), a.width, acc.data(), 4 * a.width,
                                                      {a.width, a.height}, 0.3f), 0);
                 std::vector<uint8_t> out(acc.size());
                 for (size_t i = 0; i < acc.size(); ++i) out[i] = to8(acc[i]);
                 return with(a, out);
               }});
  c.push_back({"add-weighted 32f masked", {"--type", "32f", "--alpha", "0.5", "--mask", "100", "--second", "SECOND"}, 1,
               [](const Picture& a, const Picture& b) {
                 std::vector<float> src = as_float(a), acc = as_float(b);
                 std::vector<uint8_t> mask(a.px.size());
                 for (size_t i = 0; i < mask.size(); ++i) mask[i] = a.px[i] > 100 ? 255 : 0;
                 EXPECT_EQ(EXPORT(zuviAddWeighted_32f_C1IMR)(src.data(), 4 * a.width, mask.data(), a.width, acc.data(),
                                                     4 * a.width, {a.width, a.height}, 0.5f), 0);
                 std::vector<uint8_t> out(acc.size());
                 for (size_t i = 0; i < acc.size(); ++i) out[i] = to8(acc[i]);
                 return with(a, out);
               }});
  c.push_back({"blend", {"--alpha", "0.7", "--second", "SECOND"}, 1, [](const Picture& a, const Picture& b) {
                 std::vector<float> s1 = as_float(a), s2 = as_float(b), d(a.px.size());
                 EXPECT_EQ(EXPORT(zuviAddWeighted_32f_C1R)(s1.data(), 4 * a.width, s2.data(), 4 * a.width, d.data(), 4 * a.width,
                                                   {a.width, a.height}, 0.7f), 0);
                 std::vector<uint8_t> out(d.size());
                 for (size_t i = 0; i < d.size(); ++i) out[i] = to8(d[i]);
                 return with(a, out);
               }});
  // Operations with set-up queries and parameters mapped to codes: the tool
  // must hand over the same aperture, border, norm and thresholds.
  c.push_back({"canny", {"--low", "40", "--high", "90", "--norm", "l1", "--aperture", "5", "--render", "values"}, 1,
               [](const Picture& a, const Picture&) {
                 const ImageSize roi{a.width, a.height};
                 int32_t bytes = 0;
                 EXPECT_EQ(EXPORT(zuviCannyBorderGetSize)(roi, DifferentialKernelSobel, MaskSize5x5, DataType8u, &bytes), 0);
                 std::vector<uint8_t> buffer(static_cast<size_t>(bytes)), d(a.px.size());
                 EXPECT_EQ(EXPORT(zuviCannyBorder_8u_C1R)(a.px.data(), a.width, d.data(), a.width, roi,
                                                          DifferentialKernelSobel, MaskSize5x5, BorderRepl, 0, NormTypeL1,
                                                          buffer.data(), 40.0f, 90.0f), 0);
                 return with(a, d);
               }});
  c.push_back({"erode", {"--shape", "square", "--size", "3", "--border", "const", "--border-value", "200"}, 1,
               [](const Picture& a, const Picture&) {
                 const ImageSize roi{a.width, a.height}, mask_size{3, 3};
                 const std::vector<uint8_t> mask(9, 1);
                 int32_t spec_bytes = 0, buffer_bytes = 0;
                 EXPECT_EQ(EXPORT(zuviMorphologyBorderGetSize_8u_C1R)(roi, mask_size, &spec_bytes, &buffer_bytes), 0);
                 std::vector<uint8_t> spec(static_cast<size_t>(spec_bytes)), buffer(static_cast<size_t>(buffer_bytes)), d(a.px.size());
                 auto* state = reinterpret_cast<MorphState*>(spec.data());
                 EXPECT_EQ(EXPORT(zuviMorphologyBorderInit_8u_C1R)(roi, mask.data(), mask_size, state, buffer.data()), 0);
                 EXPECT_EQ(EXPORT(zuviErodeBorder_8u_C1R)(a.px.data(), a.width, d.data(), a.width, roi, BorderConst, 200,
                                                          state, buffer.data()), 0);
                 return with(a, d);
               }});
  c.push_back({"lowpass", {"--aperture", "5", "--border", "mirror"}, 1, [](const Picture& a, const Picture&) {
                 const ImageSize roi{a.width, a.height};
                 int bytes = 0;
                 EXPECT_EQ(EXPORT(zuviFilterLowpassGetBufferSize_8u_C1R)(roi, MaskSize5x5, &bytes), 0);
                 std::vector<uint8_t> buffer(static_cast<size_t>(bytes)), d(a.px.size());
                 EXPECT_EQ(EXPORT(zuviFilterLowpassBorder_8u_C1R)(a.px.data(), a.width, d.data(), a.width, roi,
                                                                  MaskSize5x5, BorderMirror, 0, buffer.data()), 0);
                 return with(a, d);
               }});
  c.push_back({"laplacian", {"--render", "values"}, 1, [](const Picture& a, const Picture&) {
                 const ImageSize roi{a.width, a.height};
                 int bytes = 0;
                 EXPECT_EQ(EXPORT(zuviFilterLaplacianGetBufferSize_8u16s_C1R)(roi, MaskSize3x3, &bytes), 0);
                 std::vector<uint8_t> buffer(static_cast<size_t>(bytes));
                 std::vector<int16_t> d(a.px.size());
                 EXPECT_EQ(EXPORT(zuviFilterLaplacianBorder_8u16s_C1R)(a.px.data(), a.width, d.data(), 2 * a.width, roi,
                                                                       MaskSize3x3, BorderRepl, 0, buffer.data()), 0);
                 std::vector<uint8_t> out(d.size());  // values: saturated to 0..255
                 for (size_t i = 0; i < d.size(); ++i) out[i] = uint8_t(std::min(255, std::max(0, int(d[i]))));
                 return with(a, out);
               }});
  c.push_back({"gaussian", {"--kernel", "5", "--sigma", "1.5", "--border", "mirror"}, 1,
               [](const Picture& a, const Picture&) {
                 const ImageSize roi{a.width, a.height};
                 int spec_bytes = 0, buffer_bytes = 0;
                 EXPECT_EQ(EXPORT(zuviFilterGaussianGetBufferSize)(roi, 5, DataType8u, 1, &spec_bytes, &buffer_bytes), 0);
                 std::vector<uint8_t> spec(static_cast<size_t>(spec_bytes)), buffer(static_cast<size_t>(buffer_bytes));
                 std::vector<uint8_t> d(a.px.size());
                 auto* state = reinterpret_cast<GaussianSpec*>(spec.data());
                 EXPECT_EQ(EXPORT(zuviFilterGaussianInit)(roi, 5, BorderMirror, DataType8u, 1, state, buffer.data(), 1.5f), 0);
                 EXPECT_EQ(EXPORT(zuviFilterGaussianBorder_8u_C1R)(a.px.data(), a.width, d.data(), a.width, roi, 0, state,
                                                                   buffer.data()), 0);
                 return with(a, d);
               }});
  // The caller-driven pipeline: a 7x7 box with replicated edges, computed
  // independently as an exact sum scaled by the float reciprocal of 49.
  c.push_back({"separable", {"--kernel", "box7"}, 1, [](const Picture& a, const Picture&) {
                 std::vector<uint8_t> d(a.px.size());
                 for (int y = 0; y < a.height; ++y)
                   for (int x = 0; x < a.width; ++x) {
                     int total = 0;
                     for (int j = -3; j <= 3; ++j)
                       for (int i = -3; i <= 3; ++i)
                         total += a.px[size_t(std::clamp(y + j, 0, a.height - 1)) * size_t(a.width) +
                                       size_t(std::clamp(x + i, 0, a.width - 1))];
                     d[size_t(y) * size_t(a.width) + size_t(x)] = to8(float(total) * (1.0f / 49.0f));
                   }
                 return with(a, d);
               }});
  c.push_back({"gradient", {"--shape", "cross", "--size", "3", "--border", "const", "--border-value", "9"}, 3,
               [](const Picture& a, const Picture&) {
                 const ImageSize roi{a.width, a.height}, mask_size{3, 3};
                 const std::vector<uint8_t> cross = {0, 1, 0, 1, 1, 1, 0, 1, 0};
                 int32_t spec_bytes = 0, buffer_bytes = 0;
                 EXPECT_EQ(EXPORT(zuviMorphAdvGetSize_8u_C3R)(roi, mask_size, &spec_bytes, &buffer_bytes), 0);
                 std::vector<uint8_t> spec(static_cast<size_t>(spec_bytes)), buffer(static_cast<size_t>(buffer_bytes));
                 std::vector<uint8_t> d(a.px.size());
                 auto* state = reinterpret_cast<MorphAdvState*>(spec.data());
                 EXPECT_EQ(EXPORT(zuviMorphAdvInit_8u_C3R)(roi, cross.data(), mask_size, state, buffer.data()), 0);
                 const uint8_t value[3] = {9, 9, 9};
                 EXPECT_EQ(EXPORT(zuviMorphGradientBorder_8u_C3R)(a.px.data(), 3 * a.width, d.data(), 3 * a.width, roi,
                                                                  BorderConst, value, state, buffer.data()), 0);
                 return with(a, d);
               }});
  return c;
}

TEST(ToolRun, GivesTheSamePixelsAsTheExport) {
  const std::vector<std::string> ops = operation_names();
  for (const RunCase& rc : run_cases()) {
    SCOPED_TRACE(rc.what);
    const std::string op = std::string(rc.what).substr(0, std::string(rc.what).find(' '));
    if (std::find(ops.begin(), ops.end(), op) == ops.end()) continue;
    TempDir dir;
    // An odd size that is no multiple of any vector width.
    const Picture a = random_picture(37, 23, rc.channels, 1), b = random_picture(37, 23, rc.channels, 2);
    save(a, dir / "a.png");
    save(b, dir / "b.png");
    std::vector<std::string> args = {"run", op, dir / "a.png", dir / "out.png"};
    for (const std::string& x : rc.args) args.push_back(x == "SECOND" ? dir / "b.png" : x);
    const Result r = tool(args);
    ASSERT_EQ(r.code, 0) << r.err;
    Picture got;
    ASSERT_TRUE(load(dir / "out.png", got));
    const Picture want = rc.expected(a, b);
    EXPECT_EQ(got.width, want.width);
    EXPECT_EQ(got.height, want.height);
    EXPECT_EQ(got.channels, want.channels);
    EXPECT_EQ(got.px, want.px);
  }
}

// The thread count is set before the set-up queries, whose buffer sizes
// depend on it, so every count gives a correctly sized buffer and the same bytes.
TEST(ToolRun, ResultDoesNotDependOnTheThreadCount) {
  const std::vector<std::vector<std::string>> runs = {
      {"add-weighted", "--alpha", "0.37", "--type", "16u"},
      {"gaussian", "--kernel", "7", "--sigma", "1.7", "--type", "16s"},
      {"separable", "--kernel", "binomial9"},
      {"mean-stddev"},
  };
  const std::vector<std::string> ops = operation_names();
  TempDir dir;
  // Above the parallel thresholds (width x height >= 262144 for accumulation).
  save(random_picture(611, 509, 1, 3), dir / "a.png");
  int checked = 0;
  for (const std::vector<std::string>& run : runs) {
    if (std::find(ops.begin(), ops.end(), run[0]) == ops.end()) continue;
    SCOPED_TRACE(run[0]);
    std::string first_png, first_text;
    for (const char* threads : {"1", "2", "3"}) {
      std::vector<std::string> args = {"run", run[0], dir / "a.png", dir / "out.png", "--threads", threads};
      args.insert(args.end(), run.begin() + 1, run.end());
      const Result r = tool(args);
      ASSERT_EQ(r.code, 0) << r.err;
      const std::string bytes = slurp(dir / "out.png");
      if (first_png.empty()) {
        first_png = bytes;
        first_text = r.out;
      }
      EXPECT_EQ(bytes, first_png) << threads << " threads";
      EXPECT_EQ(r.out, first_text) << threads << " threads";
    }
    ++checked;
  }
  if (checked == 0) GTEST_SKIP() << "none of the operations is built";
}

// A failing command: its exit code, a word of its message, and no output file.
struct ErrorCase {
  const char* what;
  std::vector<std::string> args;  // IN, OUT, DIR are replaced by paths
  int code;
  const char* message;
};

TEST(ToolErrors, EachFailureExplainsItselfAndLeavesNoOutput) {
  const std::vector<ErrorCase> cases = {
      {"unknown operation", {"run", "no-such-op", "IN", "OUT"}, 2, "unknown operation 'no-such-op'"},
      {"unknown option", {"run", "abs-diff-c", "IN", "OUT", "--bogus", "3"}, 2, "unknown option --bogus"},
      {"unknown tool option", {"run", "abs-diff-c", "IN", "OUT", "-x"}, 2, "unknown option -x"},
      {"option without value", {"run", "abs-diff-c", "IN", "OUT", "--value"}, 2, "--value needs a value"},
      {"malformed integer", {"run", "abs-diff-c", "IN", "OUT", "--value", "12abc"}, 2, "expects an integer"},
      {"malformed number", {"run", "add-weighted", "IN", "OUT", "--alpha", "half"}, 2, "expects a number"},
      {"value outside the range", {"run", "add", "IN", "OUT", "--mask", "256"}, 2, "outside -1..255"},
      {"choice not offered", {"run", "abs-diff-c", "IN", "OUT", "--type", "64f"}, 2, "one of 8u|16u|32f"},
      {"parameter twice", {"run", "abs-diff-c", "IN", "OUT", "--value", "1", "--value", "2"}, 2, "given twice"},
      {"missing output", {"run", "abs-diff-c", "IN"}, 2, "needs INPUT and OUTPUT"},
      {"second frame for a one-frame operation", {"run", "abs-diff-c", "IN", "OUT", "--second", "IN"}, 2,
       "takes no second frame"},
      {"unknown render style", {"run", "abs-diff-c", "IN", "OUT", "--render", "sepia"}, 2, "unknown --render"},
      {"bad thread count", {"run", "abs-diff-c", "IN", "OUT", "--threads", "-1"}, 2, "--threads expects"},
      {"missing input", {"run", "abs-diff-c", "DIR/missing.png", "OUT"}, 3, "cannot read"},
      {"input not a PNG", {"run", "abs-diff-c", "DIR/text.png", "OUT"}, 3, "is not a PNG file"},
      {"truncated PNG", {"run", "abs-diff-c", "DIR/cut.png", "OUT"}, 3, "cannot read"},
      {"second frame of another size", {"run", "abs-diff", "IN", "OUT", "--second", "DIR/small.png"}, 3,
       "second frame is 5x4"},
      {"RGB on a gray-only type", {"run", "abs-diff", "DIR/rgb.png", "OUT", "--type", "16u"}, 2, "RGB"},
      {"output folder missing", {"run", "abs-diff-c", "IN", "DIR/none/out.png"}, 5, "cannot write"},
      {"unknown subcommand", {"frobnicate"}, 2, "frobnicate"},
      {"bench size", {"bench", "--size", "12by3"}, 2, "--size expects"},
      {"bench filter matching nothing", {"bench", "--filter", "no-such-op", "--size", "8x8"}, 2, "no operation matches"},
      {"tour without samples", {"tour", "--out", "DIR/tour", "--data", "DIR/none"}, 3, "no sample images"},
  };
  const std::vector<std::string> ops = operation_names();
  for (const ErrorCase& ec : cases) {
    SCOPED_TRACE(ec.what);
    if (ec.args.size() > 1 && ec.args[0] == "run" && ec.args[1] != "no-such-op" &&
        std::find(ops.begin(), ops.end(), ec.args[1]) == ops.end())
      continue;
    TempDir dir;
    save(random_picture(9, 7, 1, 4), dir / "in.png");
    save(random_picture(9, 7, 3, 5), dir / "rgb.png");
    save(random_picture(5, 4, 1, 6), dir / "small.png");
    { std::ofstream(dir / "text.png") << "this is plain text, not a picture\n"; }
    { std::ofstream(dir / "cut.png", std::ios::binary) << slurp(dir / "in.png").substr(0, 60); }
    std::vector<std::string> args;
    for (const std::string& a : ec.args) {
      std::string x = a == "IN" ? dir / "in.png" : a == "OUT" ? dir / "out.png" : a;
      if (x.rfind("DIR/", 0) == 0) x = dir / x.substr(4);
      args.push_back(x);
    }
    const std::vector<std::string> before = files_in(dir.path());
    const Result r = tool(args);
    EXPECT_EQ(r.code, ec.code) << r.out << r.err;
    EXPECT_NE((r.out + r.err).find(ec.message), std::string::npos) << r.out << r.err;
    EXPECT_FALSE(exists(dir / "out.png"));
    EXPECT_EQ(files_in(dir.path()).size(), before.size()) << "a failed command left a file";
  }
}

TEST(ToolErrors, FailureKeepsAnExistingOutputUntouched) {
  TempDir dir;
  { std::ofstream(dir / "text.png") << "not a picture"; }
  { std::ofstream(dir / "out.png") << "previous result"; }
  const Result r = tool({"run", "abs-diff-c", dir / "text.png", dir / "out.png"});
  EXPECT_EQ(r.code, 3);
  EXPECT_EQ(slurp(dir / "out.png"), "previous result");
  EXPECT_TRUE(temporaries(dir.path()).empty());
}

// Parameters the library itself checks: the tool passes the value through and
// reports the library's status with its name and the parameter concerned.
struct Refusal {
  const char* op;
  int channels;
  std::vector<std::string> args;
  Status status;
  const char* param;
};

TEST(ToolErrors, LibraryRefusalNamesStatusAndParameter) {
  const std::vector<Refusal> refusals = {
      {"mean-stddev", 3, {"--coi", "4"}, StatusChannelOfInterest, "--coi 4"},
      {"min-max", 3, {"--coi", "0", "--mask", "20"}, StatusChannelOfInterest, "--coi 0"},
      {"canny", 1, {"--low", "-1"}, StatusBadArgument, "--low -1"},
      {"canny", 1, {"--low", "90", "--high", "30"}, StatusBadArgument, "--high 30"},
      {"canny", 1, {"--kernel", "scharr", "--aperture", "5"}, StatusMaskSize, "--aperture 5"},
      {"lowpass", 1, {"--aperture", "4"}, StatusMaskSize, "--aperture 4"},
      {"erode", 1, {"--size", "0"}, StatusSize, "--size 0"},
      {"gaussian", 1, {"--kernel", "8"}, StatusBadArgument, "--kernel 8"},
      {"gaussian", 3, {"--sigma", "0"}, StatusBadArgument, "--sigma 0"},
      {"norm", 3, {"--coi", "-2"}, StatusChannelOfInterest, "--coi -2"},
      {"open", 3, {"--size", "-3"}, StatusSize, "--size -3"},
      {"gray-dilate", 1, {"--size", "0"}, StatusSize, "--size 0"},
  };
  const std::vector<std::string> ops = operation_names();
  int checked = 0;
  for (const Refusal& rf : refusals) {
    if (std::find(ops.begin(), ops.end(), rf.op) == ops.end()) continue;
    SCOPED_TRACE(rf.op);
    TempDir dir;
    save(random_picture(40, 30, rf.channels, 7), dir / "in.png");
    std::vector<std::string> args = {"run", rf.op, dir / "in.png", dir / "out.png"};
    args.insert(args.end(), rf.args.begin(), rf.args.end());
    const Result r = tool(args);
    EXPECT_EQ(r.code, 4) << r.err;
    EXPECT_NE(r.err.find(zuvGetStatusString(rf.status)), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(std::to_string(rf.status)), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(rf.param), std::string::npos) << r.err;
    EXPECT_FALSE(exists(dir / "out.png"));
    ++checked;
  }
  if (checked == 0) GTEST_SKIP() << "no operation with a library-checked parameter is built";
}

// Measuring operations print their values; they are the export's, formatted.
TEST(ToolRun, PrintsTheExportsMeasurements) {
  const std::vector<std::string> ops = operation_names();
  if (std::find(ops.begin(), ops.end(), "min-max") == ops.end()) GTEST_SKIP() << "statistics not built";
  TempDir dir;
  Picture a = random_picture(45, 31, 1, 8);
  a.px[0] = 7;  // the extremes somewhere inside, and the maximum twice (the first one counts)
  a.px[1] = 9;
  for (uint8_t& v : a.px) v = uint8_t(std::min(200, std::max(7, int(v))));
  a.at(30, 4) = 3;
  a.at(12, 20) = 251;
  a.at(40, 25) = 251;
  save(a, dir / "a.png");
  const Result r = tool({"run", "min-max", dir / "a.png", dir / "out.png"});
  ASSERT_EQ(r.code, 0) << r.err;
  float lo = 0, hi = 0;
  ImagePoint at_lo{}, at_hi{};
  ASSERT_EQ(EXPORT(zuviMinMaxIndx_8u_C1R)(a.px.data(), a.width, {a.width, a.height}, &lo, &hi, &at_lo, &at_hi), 0);
  EXPECT_EQ(at_lo.x, 30);
  EXPECT_EQ(at_hi.y, 20);
  char want[128];
  std::snprintf(want, sizeof want, "minimum %g at (%d, %d), maximum %g at (%d, %d)", lo, at_lo.x, at_lo.y, hi, at_hi.x,
                at_hi.y);
  EXPECT_NE(r.out.find(want), std::string::npos) << r.out << " expected " << want;

  const Result m = tool({"run", "mean-stddev", dir / "a.png", dir / "out.png", "--mask", "100"});
  ASSERT_EQ(m.code, 0) << m.err;
  std::vector<uint8_t> mask(a.px.size());
  for (size_t i = 0; i < mask.size(); ++i) mask[i] = a.px[i] > 100 ? 1 : 0;
  double mean = 0, sd = 0;
  ASSERT_EQ(EXPORT(zuviMean_StdDev_8u_C1MR)(a.px.data(), a.width, mask.data(), a.width, {a.width, a.height}, &mean, &sd), 0);
  std::snprintf(want, sizeof want, "mean %.6g, standard deviation %.6g", mean, sd);
  EXPECT_NE(m.out.find(want), std::string::npos) << m.out << " expected " << want;

  if (std::find(ops.begin(), ops.end(), "norm-diff") == ops.end()) return;
  const Picture b = random_picture(45, 31, 1, 9);
  save(b, dir / "b.png");
  const Result n = tool({"run", "norm-diff", dir / "a.png", dir / "out.png", "--second", dir / "b.png", "--kind", "l1"});
  ASSERT_EQ(n.code, 0) << n.err;
  const std::vector<uint8_t> all(a.px.size(), 255);
  double norm = 0;
  ASSERT_EQ(EXPORT(zuviNormDiff_L1_8u_C1MR)(a.px.data(), a.width, b.px.data(), b.width, all.data(), a.width,
                                            {a.width, a.height}, &norm), 0);
  std::snprintf(want, sizeof want, "norm %.9g", norm);
  EXPECT_NE(n.out.find(want), std::string::npos) << n.out << " expected " << want;
}

TEST(ToolHelp, ListsOperationsAndTheirParameters) {
  const std::vector<std::string> ops = operation_names();
  const Result all = tool({"run", "--help"});
  EXPECT_EQ(all.code, 0);
  for (const std::string& op : ops) EXPECT_NE(all.out.find("  " + op + " "), std::string::npos) << op;
  for (const std::string& op : ops) {
    const Result one = tool({"run", op, "--help"});
    EXPECT_EQ(one.code, 0) << op;
    EXPECT_NE(one.out.find("zuvcv run " + op), std::string::npos) << one.out;
    EXPECT_NE(one.out.find("calls: zuvi"), std::string::npos) << one.out;
  }
  if (std::find(ops.begin(), ops.end(), "abs-diff-c") != ops.end()) {
    const Result one = tool({"run", "abs-diff-c", "--help"});
    EXPECT_NE(one.out.find("--value"), std::string::npos);
    EXPECT_NE(one.out.find("default 128"), std::string::npos);
  }
}

TEST(ToolVersion, ShowsTheRecordAndThreads) {
  const Result r = tool({"version"});
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find(zuvcvGetLibVersion()->name), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("9.0.2 (r49912)"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("threads: "), std::string::npos) << r.out;
}

TEST(ToolBench, TimesEveryVariantOfTheSelectedOperations) {
  const std::vector<std::string> ops = operation_names();
  if (std::find(ops.begin(), ops.end(), "abs-diff-c") == ops.end()) GTEST_SKIP();
  const Result r = tool({"bench", "--filter", "abs-diff-c", "--size", "64x48", "--min-time", "0.001", "--threads", "1"});
  ASSERT_EQ(r.code, 0) << r.err;
  for (const char* variant : {"abs-diff-c/8u ", "abs-diff-c/16u ", "abs-diff-c/32f "})
    EXPECT_NE(r.out.find(variant), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("add-weighted"), std::string::npos);
}

}  // namespace
