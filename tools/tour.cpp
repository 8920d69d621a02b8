// SPDX-License-Identifier: BSD-3-Clause
// zuvcv tour: every operation on the sample images, a gallery page and a timing table.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <sstream>
#include <vector>

#include "commands.h"
#include "render.h"

namespace zuvcv {

std::string find_data_dir(const std::string& given) {
  auto has_samples = [](const std::string& dir) {
    struct stat st {};
    return stat((dir + "/camera.png").c_str(), &st) == 0;
  };
  if (!given.empty()) {
    if (!has_samples(given)) throw ToolError(Exit::Input, "no sample images (camera.png ...) in " + given);
    return given;
  }
#ifdef ZUV_DATA_DIR
  if (has_samples(ZUV_DATA_DIR)) return ZUV_DATA_DIR;
#endif
  if (has_samples("data")) return "data";
  throw ToolError(Exit::Input, "cannot find the sample images; give their folder with --data DIR");
}

double time_ms(const std::function<void()>& call, double budget, int min_runs, int max_runs, bool best) {
  using Clock = std::chrono::steady_clock;
  std::vector<double> times;
  const auto start = Clock::now();
  while (int(times.size()) < max_runs) {
    const auto t0 = Clock::now();
    call();
    const auto t1 = Clock::now();
    times.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    if (int(times.size()) >= min_runs && std::chrono::duration<double>(t1 - start).count() >= budget) break;
  }
  std::sort(times.begin(), times.end());
  return best ? times.front() : times[times.size() / 2];
}

void make_dirs(const std::string& path) {
  std::string part;
  std::stringstream in(path);
  std::string piece;
  if (!path.empty() && path[0] == '/') part = "/";
  while (std::getline(in, piece, '/')) {
    if (piece.empty()) continue;
    part += piece;
    if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST)
      throw ToolError(Exit::Output, "cannot create folder " + part + ": " + std::strerror(errno));
    part += "/";
  }
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    throw ToolError(Exit::Output, path + " is not a folder");
}

void write_text(const std::string& path, const std::string& text) {
  std::string tmp = path + ".XXXXXX";
  std::vector<char> name(tmp.begin(), tmp.end());
  name.push_back('\0');
  const int fd = mkstemp(name.data());
  if (fd < 0) throw ToolError(Exit::Output, "cannot write " + path + ": " + std::strerror(errno));
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  std::string failure;
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n <= 0) {
      failure = std::strerror(n < 0 ? errno : EIO);
      break;
    }
    done += size_t(n);
  }
  if (close(fd) != 0 && failure.empty()) failure = std::strerror(errno);
  if (failure.empty() && std::rename(name.data(), path.c_str()) != 0) failure = std::strerror(errno);
  if (!failure.empty()) {
    unlink(name.data());
    throw ToolError(Exit::Output, "cannot write " + path + ": " + failure);
  }
}

namespace {

struct TourResult {
  const Op* op;
  std::string input_file, second_file, output_file;
  std::string params, calls, text;
  int width = 0, height = 0, channels = 1;
  double ms = 0;
  Status status = StatusOk;
  std::string error;
};

std::string html_escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '&': out += "&amp;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string fixed(double v, int digits) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", digits, v);
  return buf;
}

double mpix_per_s(const TourResult& r) {
  return r.ms > 0 ? double(r.width) * r.height / (r.ms * 1000.0) : 0;
}

std::string gallery(const std::vector<TourResult>& results) {
  const LibraryVersion* lib = zuvcvGetLibVersion();
  std::ostringstream h;
  h << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
    << "<title>zuvCV tour</title>\n<style>\n"
    << "body{font:14px/1.4 system-ui,sans-serif;margin:24px;background:#f4f4f2;color:#222}\n"
    << "h1{font-size:22px;margin:0 0 4px}\n.lib{color:#666;margin:0 0 8px}\n"
    << "nav{margin:0 0 16px;font:12px monospace;line-height:1.8}\nnav a{margin-right:6px;color:#246}\n"
    << "main{display:grid;grid-template-columns:repeat(auto-fill,minmax(400px,1fr));gap:14px}\n"
    << ".op{background:#fff;border:1px solid #ddd;border-radius:6px;padding:10px 14px}\n"
    << ".op h2{font-size:17px;margin:0 0 2px;font-family:monospace}\n.op p{margin:2px 0 8px;color:#444}\n"
    << ".pics{display:flex;gap:10px;flex-wrap:wrap}\nfigure{margin:0;width:112px}\n"
    << "figure img{width:112px;height:auto;image-rendering:pixelated;border:1px solid #ccc}\n"
    << "figcaption{font-size:12px;color:#666}\n"
    << "table.facts{border-collapse:collapse;margin-top:8px;font-size:13px}\n"
    << ".facts td{padding:1px 10px 1px 0;vertical-align:top}\n.facts td:first-child{color:#777}\n"
    << "code{font-size:12px}\n.err{color:#b00}\n</style>\n</head>\n<body>\n"
    << "<h1>zuvCV tour</h1>\n<p class=\"lib\">" << html_escape(lib->name) << " " << html_escape(lib->version)
    << ", " << ownGetNumThreads() << " thread(s), " << results.size() << " operations</p>\n<nav>";
  for (const TourResult& r : results)
    h << "<a href=\"#" << html_escape(r.op->name) << "\">" << html_escape(r.op->name) << "</a> ";
  h << "</nav>\n<main>\n";
  for (const TourResult& r : results) {
    const Op& op = *r.op;
    h << "<section class=\"op\" id=\"" << html_escape(op.name) << "\">\n<h2>" << html_escape(op.name) << "</h2>\n"
      << "<p>" << html_escape(op.summary) << "</p>\n<div class=\"pics\">\n"
      << "<figure><img src=\"" << html_escape(r.input_file) << "\" alt=\"input\"><figcaption>input</figcaption></figure>\n";
    if (!r.second_file.empty())
      h << "<figure><img src=\"" << html_escape(r.second_file)
        << "\" alt=\"second frame\"><figcaption>second frame</figcaption></figure>\n";
    if (r.error.empty())
      h << "<figure><img src=\"" << html_escape(r.output_file) << "\" alt=\"" << html_escape(op.name)
        << " result\"><figcaption>result (" << render_name(op.render) << ")</figcaption></figure>\n";
    h << "</div>\n<table class=\"facts\">\n"
      << "<tr><td>calls</td><td><code>" << html_escape(r.calls.empty() ? op.exports : r.calls)
      << "</code></td></tr>\n"
      << "<tr><td>parameters</td><td><code>" << html_escape(r.params.empty() ? "none" : r.params)
      << "</code></td></tr>\n"
      << "<tr><td>size</td><td>" << r.width << " x " << r.height << (r.channels == 3 ? " RGB" : " gray")
      << "</td></tr>\n";
    if (!r.text.empty())
      h << "<tr><td>measured</td><td>" << html_escape(r.text) << "</td></tr>\n";
    if (r.error.empty())
      h << "<tr><td>time</td><td>" << fixed(r.ms, 3) << " ms, best of several runs (" << fixed(mpix_per_s(r), 1)
        << " megapixels/s)</td></tr>\n";
    else
      h << "<tr><td>error</td><td class=\"err\">" << html_escape(r.error) << "</td></tr>\n";
    h << "</table>\n</section>\n";
  }
  h << "</main>\n</body>\n</html>\n";
  return h.str();
}

class Progress {
 public:
  Progress(size_t total) : total_(total), terminal_(isatty(STDOUT_FILENO) != 0) {}
  void step(size_t done, const std::string& what) {
    if (terminal_) {
      const int width = 30;
      const int filled = int(double(done) / double(total_) * width);
      std::printf("\r[%s%s] %zu/%zu %-24s", std::string(size_t(filled), '#').c_str(),
                  std::string(size_t(width - filled), '.').c_str(), done, total_, what.c_str());
      std::fflush(stdout);
    }
  }
  void line(size_t done, const std::string& text) {
    if (!terminal_) std::printf("[%zu/%zu] %s\n", done, total_, text.c_str());
  }
  void finish() {
    if (terminal_) std::printf("\r%s\r", std::string(70, ' ').c_str());
  }

 private:
  size_t total_;
  bool terminal_;
};

}  // namespace

int run_tour(const TourOptions& options) {
  const std::string data = find_data_dir(options.data);
  make_dirs(options.out);
  const std::string out = options.out + "/";
  const std::vector<Op>& ops = operations();

  std::map<std::string, Image> inputs;
  auto input_of = [&](const std::string& file) -> const Image& {
    auto it = inputs.find(file);
    if (it == inputs.end()) {
      it = inputs.emplace(file, read_png(data + "/" + file)).first;
      write_png(it->second, out + "input-" + file);
    }
    return it->second;
  };

  std::vector<TourResult> results;
  Progress progress(ops.size());
  int failures = 0;
  for (size_t i = 0; i < ops.size(); ++i) {
    const Op& op = ops[i];
    progress.step(i, op.name);
    TourResult r;
    r.op = &op;
    r.input_file = "input-" + op.tour_image;
    r.output_file = op.name + ".png";
    try {
      const Image& input = input_of(op.tour_image);
      const Values values = parse_values(op, {});
      r.params = describe(op, values);
      const OpArgs args = make_args(op, input, nullptr, values);
      r.width = args.src.width;
      r.height = args.src.height;
      r.channels = args.src.channels;
      if (op.two_frames) {
        r.second_file = op.name + "-second.png";
        write_png(args.second, out + r.second_file);
      }
      Job job = op.prepare(args);
      r.calls = job.calls;
      r.status = job.run();
      if (r.status < 0) throw ToolError(Exit::Refused, refusal_message(op, values, r.status));
      if (job.text) r.text = job.text();
      write_png(render(job.result(), op.render, args.src), out + r.output_file);
      r.ms = time_ms([&] { job.run(); }, 0.05, 3, 50, true);
      progress.line(i + 1, op.name + "  " + fixed(r.ms, 3) + " ms");
    } catch (const ToolError& e) {
      ++failures;
      r.error = e.what();
      progress.finish();
      std::fprintf(stderr, "zuvcv: %s: %s\n", op.name.c_str(), e.what());
    }
    results.push_back(r);
  }
  progress.finish();
  write_text(out + "index.html", gallery(results));

  std::printf("%-16s %-14s %10s %10s\n", "operation", "size", "best ms", "MP/s");
  for (const TourResult& r : results) {
    const std::string size = std::to_string(r.width) + "x" + std::to_string(r.height) + (r.channels == 3 ? "x3" : "");
    if (r.error.empty())
      std::printf("%-16s %-14s %10.3f %10.1f\n", r.op->name.c_str(), size.c_str(), r.ms, mpix_per_s(r));
    else
      std::printf("%-16s %-14s %10s %10s\n", r.op->name.c_str(), size.c_str(), "failed", "-");
  }
  std::printf("gallery: %sindex.html (%zu operations, %d thread(s))\n", out.c_str(), results.size(),
              ownGetNumThreads());
  return failures ? int(Exit::Failure) : 0;
}

}  // namespace zuvcv
