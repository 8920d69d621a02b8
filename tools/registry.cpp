// SPDX-License-Identifier: BSD-3-Clause
// The operation registry: registration, parameter parsing and help texts.
#include "registry.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace zuvcv {

namespace {

struct Registered {
  int order;
  int index;
  Op op;
};

// Filled by the FamilyRegistration objects of the ops files before main().
std::vector<Registered>& pending() {
  static std::vector<Registered> list;
  return list;
}

std::string number_text(double v) {
  std::ostringstream s;
  s << v;
  return s.str();
}

}  // namespace

FamilyRegistration::FamilyRegistration(const char* family, int order, std::vector<Op> ops) {
  int index = 0;
  for (Op& op : ops) {
    op.family = family;
    pending().push_back({order, index++, std::move(op)});
  }
}

const std::vector<Op>& operations() {
  static const std::vector<Op> sorted = [] {
    std::vector<Registered> all = pending();
    std::stable_sort(all.begin(), all.end(), [](const Registered& a, const Registered& b) {
      return a.order != b.order ? a.order < b.order : a.index < b.index;
    });
    std::vector<Op> ops;
    for (Registered& r : all) ops.push_back(std::move(r.op));
    return ops;
  }();
  return sorted;
}

const Op* find_operation(const std::string& name) {
  for (const Op& op : operations())
    if (op.name == name) return &op;
  return nullptr;
}

Param int_param(std::string name, std::string help, int def, int lo, int hi, Status refused_with) {
  Param p;
  p.name = std::move(name);
  p.help = std::move(help);
  p.kind = ParamKind::Int;
  p.def = std::to_string(def);
  p.lo = lo;
  p.hi = hi;
  p.refused_with = refused_with;
  return p;
}

Param float_param(std::string name, std::string help, double def, double lo, double hi, Status refused_with) {
  Param p;
  p.name = std::move(name);
  p.help = std::move(help);
  p.kind = ParamKind::Float;
  p.def = number_text(def);
  p.lo = lo;
  p.hi = hi;
  p.refused_with = refused_with;
  return p;
}

Param choice_param(std::string name, std::string help, std::vector<std::string> choices) {
  Param p;
  p.name = std::move(name);
  p.help = std::move(help);
  p.kind = ParamKind::Choice;
  p.def = choices.front();
  p.choices = std::move(choices);
  return p;
}

Param shift_param() {
  return int_param("shift", "the second frame is the input moved right and down by this many pixels", 6, 0, 256);
}

Job failed_job(Status status, const std::string& calls) {
  Job job;
  job.run = [status] { return status; };
  job.result = [] { return Image{}; };
  job.calls = calls;
  return job;
}

Param border_param(std::vector<std::string> choices) {
  std::string help = "pixels outside the image:";
  for (const std::string& c : choices) {
    if (c == "repl") help += " repl copies the edge,";
    if (c == "const") help += " const takes --border-value,";
    if (c == "mirror") help += " mirror reflects about the edge,";
  }
  help.pop_back();
  return choice_param("border", help, std::move(choices));
}

Param border_value_param() { return int_param("border-value", "the constant of --border const", 0, 0, 255); }

BorderType border_code(const std::string& choice) {
  if (choice == "const") return BorderConst;
  if (choice == "mirror") return BorderMirror;
  if (choice == "inmem") return BorderInMem;
  return BorderRepl;
}

Param shape_param() { return choice_param("shape", "structuring element", {"disk", "square", "cross"}); }

std::vector<uint8_t> structuring_element(const std::string& shape, int n) {
  if (n < 1 || n > 1024) return {};
  std::vector<uint8_t> m(size_t(n) * size_t(n), 0);
  const double r = n / 2.0;
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      const double dx = x + 0.5 - r, dy = y + 0.5 - r;
      bool in = true;
      if (shape == "disk") in = dx * dx + dy * dy <= r * r;
      if (shape == "cross") in = x == n / 2 || y == n / 2;
      m[size_t(y) * size_t(n) + size_t(x)] = in ? 1 : 0;
    }
  return m;
}

void Values::set(const std::string& name, const std::string& text, double number) {
  text_[name] = text;
  number_[name] = number;
}

int Values::integer(const std::string& name) const { return int(number_.at(name)); }
float Values::real(const std::string& name) const { return float(number_.at(name)); }
const std::string& Values::text(const std::string& name) const { return text_.at(name); }

namespace {

double parse_number(const Param& p, const std::string& text) {
  const std::string bad = "--" + p.name + " expects " + (p.kind == ParamKind::Int ? "an integer" : "a number") +
                          ", not '" + text + "'";
  if (text.empty()) throw ToolError(Exit::Usage, bad);
  char* end = nullptr;
  errno = 0;
  if (p.kind == ParamKind::Int) {
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE || v < INT32_MIN || v > INT32_MAX) throw ToolError(Exit::Usage, bad);
    return double(v);
  }
  const double v = std::strtod(text.c_str(), &end);
  if (*end != '\0') throw ToolError(Exit::Usage, bad);
  return v;
}

std::string range_text(const Param& p) {
  if (p.kind == ParamKind::Choice) {
    std::string s;
    for (const std::string& c : p.choices) s += (s.empty() ? "" : "|") + c;
    return s;
  }
  if (std::isinf(p.lo) && std::isinf(p.hi)) return "any";
  return number_text(p.lo) + ".." + number_text(p.hi);
}

}  // namespace

Values parse_values(const Op& op, const std::map<std::string, std::string>& given) {
  for (const auto& [name, text] : given) {
    const bool known = std::any_of(op.params.begin(), op.params.end(), [&](const Param& p) { return p.name == name; });
    if (!known) {
      std::string list;
      for (const Param& p : op.params) list += " --" + p.name;
      throw ToolError(Exit::Usage, "unknown option --" + name + " for " + op.name +
                                       (list.empty() ? " (it takes no parameters)" : " (it takes" + list + ")"));
    }
  }
  Values values;
  for (const Param& p : op.params) {
    const auto it = given.find(p.name);
    const std::string text = it == given.end() ? p.def : it->second;
    if (p.kind == ParamKind::Choice) {
      if (std::find(p.choices.begin(), p.choices.end(), text) == p.choices.end())
        throw ToolError(Exit::Usage, "--" + p.name + " is one of " + range_text(p) + ", not '" + text + "'");
      values.set(p.name, text, double(std::find(p.choices.begin(), p.choices.end(), text) - p.choices.begin()));
      continue;
    }
    const double v = parse_number(p, text);
    if (p.refused_with == StatusOk && (!(v >= p.lo) || !(v <= p.hi)))
      throw ToolError(Exit::Usage, "--" + p.name + " " + text + " is outside " + range_text(p));
    values.set(p.name, text, v);
  }
  return values;
}

std::string describe(const Op& op, const Values& values) {
  std::string s;
  for (const Param& p : op.params) s += (s.empty() ? "" : " ") + p.name + "=" + values.text(p.name);
  return s;
}

std::string op_help(const Op& op) {
  std::ostringstream s;
  s << "zuvcv run " << op.name << " INPUT OUTPUT" << (op.two_frames ? " [--second FILE]" : "")
    << (op.params.empty() ? "" : " [--param value ...]") << "\n\n"
    << "  " << op.summary << "\n"
    << "  calls: " << op.exports << "\n"
    << "  input: " << (op.input == Input::Gray ? "8-bit gray (RGB is converted to gray)" : "8-bit gray or RGB") << "\n";
  if (op.two_frames)
    s << "  second frame: --second FILE (same size), or the input moved by --shift pixels\n";
  if (!op.params.empty()) {
    s << "\nParameters:\n";
    for (const Param& p : op.params) {
      std::string head = "  --" + p.name + " " + (p.kind == ParamKind::Choice ? "CHOICE" : p.kind == ParamKind::Int ? "INT" : "NUMBER");
      if (head.size() < 24) head.resize(24, ' ');
      s << head << " " << p.help << "\n" << std::string(25, ' ') << "default " << p.def << ", ";
      if (p.kind == ParamKind::Choice) s << "one of " << range_text(p) << "\n";
      else if (p.refused_with != StatusOk) s << "checked by the library\n";
      else s << "range " << range_text(p) << "\n";
    }
  }
  return s.str();
}

std::string refusal_message(const Op& op, const Values& values, Status status) {
  std::string which;
  for (const Param& p : op.params)
    if (p.refused_with == status) which += (which.empty() ? "" : ", ") + ("--" + p.name + " " + values.text(p.name));
  std::string msg = op.name + ": the library refused the call with status " + std::to_string(status) + ", " +
                    zuvGetStatusString(status);
  if (!which.empty()) msg += "\n  concerning " + which;
  else if (!op.params.empty()) msg += "\n  parameters: " + describe(op, values);
  return msg;
}

OpArgs make_args(const Op& op, const Image& input, const Image* second, const Values& values) {
  OpArgs args;
  args.src = op.input == Input::Gray ? to_gray(input) : input;
  args.values = values;
  if (op.two_frames) {
    if (second) {
      if (second->width != input.width || second->height != input.height)
        throw ToolError(Exit::Input, "the second frame is " + std::to_string(second->width) + "x" +
                                         std::to_string(second->height) + ", the input " +
                                         std::to_string(input.width) + "x" + std::to_string(input.height));
      args.second = args.src.channels == 1 ? to_gray(*second) : to_rgb(*second);
    } else {
      const int shift = values.has("shift") ? values.integer("shift") : 0;
      args.second = shifted(args.src, shift, shift);
    }
  }
  return args;
}

}  // namespace zuvcv
