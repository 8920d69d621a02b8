// SPDX-License-Identifier: BSD-3-Clause
// The registry of operations that the zuvcv tour, run, bench and help texts are built from.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "image.h"

namespace zuvcv {

enum class ParamKind { Int, Float, Choice };

// One parameter of an operation, given on the command line as --name value.
struct Param {
  std::string name;
  std::string help;
  ParamKind kind = ParamKind::Int;
  std::string def;                   // default, as text
  double lo = 0, hi = 0;             // accepted range of Int and Float values
  std::vector<std::string> choices;  // the values of a Choice
  // The status the library answers when this parameter is outside what it
  // accepts. StatusOk: the tool checks lo..hi itself; otherwise values are
  // passed through and the library's answer is reported against this name.
  Status refused_with = StatusOk;
};

Param int_param(std::string name, std::string help, int def, int lo, int hi, Status refused_with = StatusOk);
Param float_param(std::string name, std::string help, double def, double lo, double hi,
                  Status refused_with = StatusOk);
Param choice_param(std::string name, std::string help, std::vector<std::string> choices);
// The shift that makes the second frame of two-image operations from the first.
Param shift_param();

// Parameter values after parsing and checking: every parameter has one.
class Values {
 public:
  void set(const std::string& name, const std::string& text, double number);
  int integer(const std::string& name) const;
  float real(const std::string& name) const;
  const std::string& text(const std::string& name) const;
  bool has(const std::string& name) const { return text_.count(name) != 0; }
  const std::map<std::string, std::string>& all() const { return text_; }

 private:
  std::map<std::string, std::string> text_;
  std::map<std::string, double> number_;
};

// How the first input reaches the operation.
enum class Input { Gray, GrayOrRgb };

// What an operation works on, already converted to 8-bit gray or RGB.
struct OpArgs {
  Image src;     // the input
  Image second;  // the second frame of two-image operations (same size and channels)
  Values values;
};

// Prepared export calls: run() may be repeated for timing; result() gives the
// output of the latest run; calls names the export that run() calls. Operations
// that measure values (statistics, norms) also describe them in text(), and
// their result() is a picture of what was measured.
struct Job {
  std::function<Status()> run;
  std::function<Image()> result;
  std::string calls;
  std::function<std::string()> text;
};

// A job whose call only reports a status a set-up query already gave (a size
// query refusing the parameters): run() returns it, the tool reports it.
Job failed_job(Status status, const std::string& calls);

// Border rules as the operations of several families take them.
Param border_param(std::vector<std::string> choices = {"repl", "const", "mirror"});
Param border_value_param();
BorderType border_code(const std::string& choice);  // repl 1, const 0, mirror 3, inmem 6

// Flat structuring elements of the morphology families: n x n bytes, 1 for
// members of a disk, a square or a cross (empty for n outside 1..1024).
Param shape_param();
std::vector<uint8_t> structuring_element(const std::string& shape, int n);

// How a result becomes a picture.
enum class Render {
  Gray,       // values as they are; 16u divided by 257 and floats rounded, both saturated to 8 bits
  Stretch,    // lowest to highest value over 0..255 gray
  Heat,       // lowest to highest value along a colour map
  Diverging,  // signed values: blue below zero, red above, white at zero
  Labels,     // non-zero labels as colours over the input
  Edges       // non-zero pixels as coloured edges over the dimmed input
};

// One operation of the tool.
struct Op {
  std::string name;     // command-line name, e.g. "abs-diff"
  std::string summary;  // one line: what it computes
  std::string exports;  // the exports it calls, as shown in help and the gallery
  Input input = Input::Gray;
  bool two_frames = false;  // takes a second frame (--second FILE, or the input shifted)
  std::vector<Param> params;
  Render render = Render::Gray;
  std::string tour_image = "camera.png";
  std::string bench_over;  // a Choice parameter whose every value bench times
  std::function<Job(const OpArgs&)> prepare;
  // The nearest OpenCV call, for side-by-side timing (built only with OpenCV).
  std::function<std::function<void()>(const OpArgs&)> opencv;

  // Filled in by the registry.
  std::string family;
};

// Adds a family's operations when the program starts; one per tools/ops file.
struct FamilyRegistration {
  FamilyRegistration(const char* family, int order, std::vector<Op> ops);
};

// Every registered operation, in family order then as each family lists them.
const std::vector<Op>& operations();
const Op* find_operation(const std::string& name);

// Parses --name value pairs (defaults for the rest); throws ToolError (Usage)
// for an unknown name, a malformed value or one outside a tool-checked range.
Values parse_values(const Op& op, const std::map<std::string, std::string>& given);
// The parameters and values as one line, "alpha=0.25 type=8u".
std::string describe(const Op& op, const Values& values);
// Help text of one operation.
std::string op_help(const Op& op);
// A status refusal as the tool reports it: status text and the parameters it concerns.
std::string refusal_message(const Op& op, const Values& values, Status status);

// Builds the arguments: reads the input, converts it, makes or reads the second frame.
OpArgs make_args(const Op& op, const Image& input, const Image* second, const Values& values);

}  // namespace zuvcv
