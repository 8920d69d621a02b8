// SPDX-License-Identifier: BSD-3-Clause
// zuvcv: the command-line tool of zuvCV (tour, run, bench, list, version).
#include <CLI/CLI.hpp>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "commands.h"
#include "render.h"

namespace zuvcv {
namespace {

std::string operation_list() {
  std::string s = "Operations:\n";
  for (const Op& op : operations()) {
    std::string name = "  " + op.name;
    if (name.size() < 18) name.resize(18, ' ');
    s += name + " " + op.summary + "\n";
  }
  return s;
}

const char* const kExitCodes =
    "Exit codes: 0 success, 1 failure, 2 usage (unknown operation, option or value),\n"
    "3 unreadable input, 4 the library refused a parameter, 5 output not written.";

// The picture styles `run --render` takes.
const std::map<std::string, Render> kRenders = {
    {"values", Render::Gray}, {"stretch", Render::Stretch}, {"heat", Render::Heat},
    {"diverging", Render::Diverging}, {"labels", Render::Labels}, {"edges", Render::Edges}};

std::string run_usage() {
  return "Usage: zuvcv run OPERATION INPUT OUTPUT [--param value ...]\n"
         "       zuvcv run OPERATION --help\n\n"
         "Applies one operation to an 8-bit gray or RGB PNG and writes the result as PNG.\n"
         "Options of every operation:\n"
         "  --second FILE   second frame of two-frame operations (default: the input shifted)\n"
         "  --render STYLE  picture of the result: values, stretch, heat, diverging, labels, edges\n"
         "                  (default: the operation's own)\n"
         "  --threads N     threads the library may use (0: its default)\n\n" +
         operation_list() + "\n" + kExitCodes + "\n";
}

const Op& operation_named(const std::string& name) {
  if (const Op* op = find_operation(name)) return *op;
  std::string close;
  for (const Op& op : operations())
    if (op.name.find(name) != std::string::npos || name.find(op.name) != std::string::npos)
      close += (close.empty() ? "" : ", ") + op.name;
  throw ToolError(Exit::Usage, "unknown operation '" + name + "'" +
                                   (close.empty() ? "" : " (did you mean " + close + "?)") +
                                   "; zuvcv list shows them all");
}

int run_command(const std::vector<std::string>& tokens) {
  std::vector<std::string> positional;
  std::map<std::string, std::string> given;
  std::string second, render_style;
  bool help = false;
  int threads = -1;
  for (size_t i = 0; i < tokens.size(); ++i) {
    const std::string& t = tokens[i];
    if (t == "-h" || t == "--help") {
      help = true;
      continue;
    }
    if (t.size() > 2 && t.compare(0, 2, "--") == 0) {
      std::string name = t.substr(2), value;
      const size_t eq = name.find('=');
      if (eq != std::string::npos) {
        value = name.substr(eq + 1);
        name.resize(eq);
      } else {
        if (i + 1 >= tokens.size()) throw ToolError(Exit::Usage, "--" + name + " needs a value");
        value = tokens[++i];
      }
      if (name == "second") second = value;
      else if (name == "render") render_style = value;
      else if (name == "threads") {
        try {
          size_t used = 0;
          threads = std::stoi(value, &used);
          if (used != value.size() || threads < 0) throw std::invalid_argument(value);
        } catch (const std::exception&) {
          throw ToolError(Exit::Usage, "--threads expects a count of 0 or more, not '" + value + "'");
        }
      } else {
        if (given.count(name)) throw ToolError(Exit::Usage, "--" + name + " is given twice");
        given[name] = value;
      }
      continue;
    }
    if (t.size() > 1 && t[0] == '-' && t != "-") throw ToolError(Exit::Usage, "unknown option " + t);
    positional.push_back(t);
  }
  if (positional.empty()) {
    if (help) {
      std::fputs(run_usage().c_str(), stdout);
      return 0;
    }
    throw ToolError(Exit::Usage, "run needs an operation, an input and an output\n" + run_usage());
  }
  const Op& op = operation_named(positional[0]);
  if (help) {
    std::fputs(op_help(op).c_str(), stdout);
    return 0;
  }
  if (positional.size() != 3)
    throw ToolError(Exit::Usage, "run " + op.name + " needs INPUT and OUTPUT (got " +
                                     std::to_string(positional.size() - 1) + " file names)");
  if (!second.empty() && !op.two_frames) throw ToolError(Exit::Usage, op.name + " takes no second frame");
  Render how = op.render;
  if (!render_style.empty()) {
    const auto it = kRenders.find(render_style);
    if (it == kRenders.end()) throw ToolError(Exit::Usage, "unknown --render style '" + render_style + "'");
    how = it->second;
  }
  const Values values = parse_values(op, given);

  const Image input = read_png(positional[1]);
  Image second_frame;
  if (!second.empty()) second_frame = read_png(second);
  if (threads >= 0) zuvSetNumThreads(threads);
  const OpArgs args = make_args(op, input, second.empty() ? nullptr : &second_frame, values);
  Job job = op.prepare(args);
  const Status status = job.run();
  if (status < 0) throw ToolError(Exit::Refused, refusal_message(op, values, status));
  if (status > 0) std::fprintf(stderr, "zuvcv: warning: %s\n", zuvGetStatusString(status));
  if (job.text) std::printf("%s: %s\n", op.name.c_str(), job.text().c_str());
  write_png(render(job.result(), how, args.src), positional[2]);
  return 0;
}

int version_command() {
  const LibraryVersion* v = zuvcvGetLibVersion();
  std::printf("%s\nversion %s (%d.%d.%d, build %d), target %.4s, built %s\n", v->name, v->version, v->major,
              v->minor, v->majorBuild, v->build, v->targetCpu, v->buildDate);
  std::printf("threads: %d\n", ownGetNumThreads());
  std::printf("operations: %zu\n", operations().size());
#ifdef ZUV_HAVE_OPENCV
  std::printf("bench compares with OpenCV: yes\n");
#else
  std::printf("bench compares with OpenCV: no (not found at build time)\n");
#endif
  return 0;
}

int list_command(bool names_only) {
  for (const Op& op : operations()) {
    if (names_only) std::printf("%s\n", op.name.c_str());
    else {
      std::string name = op.name;
      if (name.size() < 16) name.resize(16, ' ');
      std::printf("%s %-18s %s\n", name.c_str(), op.family.c_str(), op.summary.c_str());
    }
  }
  return 0;
}

int parse_size(const std::string& text, int& w, int& h) {
  char x = 0;
  char rest = 0;
  if (std::sscanf(text.c_str(), "%d%c%d%c", &w, &x, &h, &rest) != 3 || (x != 'x' && x != 'X') || w < 1 || h < 1 ||
      int64_t(w) * h > (int64_t(1) << 28))
    throw ToolError(Exit::Usage, "--size expects WIDTHxHEIGHT, e.g. 1920x1080, not '" + text + "'");
  return 0;
}

int main_impl(int argc, char** argv) {
  CLI::App app{"zuvcv: the zuvCV image-processing library from the command line.\n"
               "Without a subcommand it runs the tour into the folder tour/.",
               "zuvcv"};
  app.footer(kExitCodes);
  app.require_subcommand(0, 1);

  TourOptions tour;
  CLI::App* tour_cmd = app.add_subcommand("tour", "run every operation on the sample images into a gallery");
  tour_cmd->add_option("--out", tour.out, "folder of the pictures and index.html")->capture_default_str();
  tour_cmd->add_option("--data", tour.data, "folder of the sample images");

  CLI::App* run_cmd = app.add_subcommand("run", "apply one operation to a PNG: run OPERATION INPUT OUTPUT");
  // Everything after `run` is the operation's own command line, help included.
  run_cmd->prefix_command();
  run_cmd->set_help_flag();

  BenchOptions bench;
  std::string size = "1920x1080";
  CLI::App* bench_cmd = app.add_subcommand("bench", "quick timings of the operations");
  bench_cmd->add_option("--filter", bench.filter, "only operations whose name or family contains TEXT");
  bench_cmd->add_option("--threads", bench.threads, "threads (0: the library's default)")->capture_default_str();
  bench_cmd->add_option("--size", size, "image size WxH")->capture_default_str();
  bench_cmd->add_option("--min-time", bench.min_time, "seconds per measurement")->capture_default_str();
  bench_cmd->add_option("--data", bench.data, "folder of the sample images");

  app.add_subcommand("version", "the library's version record and thread count");
  bool names_only = false;
  CLI::App* list_cmd = app.add_subcommand("list", "the operations, their families and what they compute");
  list_cmd->add_flag("--names", names_only, "names only, one per line");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : int(Exit::Usage);
  }
  if (tour_cmd->parsed() || app.get_subcommands().empty()) return run_tour(tour);
  if (run_cmd->parsed()) return run_command(run_cmd->remaining());
  if (bench_cmd->parsed()) {
    parse_size(size, bench.width, bench.height);
    if (!(bench.min_time > 0 && bench.min_time <= 60)) throw ToolError(Exit::Usage, "--min-time is in (0, 60]");
    return run_bench(bench);
  }
  if (list_cmd->parsed()) return list_command(names_only);
  return version_command();
}

}  // namespace
}  // namespace zuvcv

int main(int argc, char** argv) {
  try {
    return zuvcv::main_impl(argc, argv);
  } catch (const zuvcv::ToolError& e) {
    std::fprintf(stderr, "zuvcv: error: %s\n", e.what());
    return int(e.code());
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "zuvcv: error: out of memory\n");
    return int(zuvcv::Exit::Failure);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zuvcv: error: %s\n", e.what());
    return int(zuvcv::Exit::Failure);
  }
}
