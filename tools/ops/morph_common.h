// SPDX-License-Identifier: BSD-3-Clause
// Shared job builder of the morphology families' zuvcv operations (size query, init, run).
#pragma once

#include <memory>
#include <type_traits>
#include <vector>

#include "../registry.h"

namespace zuvcv {

struct MorphJobState {
  Image src, dst;
  std::vector<uint8_t> mask, spec, buffer;
  BorderType border = BorderRepl;
  int border_value = 0;
};

// GetSize, Init and one operation of a family whose state block is State, for
// one element type and channel count; size_name and init_name label refusals.
template <class State, class T, int C, class GetSize, class Init, class Apply>
Job morph_state_job(const OpArgs& a, Pixel pixel, GetSize get_size, Init init, Apply apply, const char* name,
                    const char* size_name, const char* init_name) {
  auto s = std::make_shared<MorphJobState>();
  s->src = to_pixel(a.src, pixel);
  s->dst = Image::make(a.src.width, a.src.height, C, pixel);
  s->border = border_code(a.values.text("border"));
  s->border_value = a.values.integer("border-value") * (pixel == Pixel::U16 ? 257 : 1);
  const int n = a.values.integer("size");
  if (n > 1024) throw ToolError(Exit::Usage, "--size above 1024 is more than the tool builds an element for");
  s->mask = structuring_element(a.values.text("shape"), n);
  const ImageSize mask_size{n, n};
  int32_t spec_bytes = 0, buffer_bytes = 0;
  Status st = get_size(s->src.size(), mask_size, &spec_bytes, &buffer_bytes);
  if (st != StatusOk) return failed_job(st, size_name);
  s->spec.resize(size_t(spec_bytes));
  s->buffer.resize(size_t(buffer_bytes));
  st = init(s->src.size(), s->mask.data(), mask_size, reinterpret_cast<State*>(s->spec.data()),
            s->buffer.data());
  if (st != StatusOk) return failed_job(st, init_name);
  Job job;
  job.calls = name;
  job.run = [s, apply] {
    MorphJobState& m = *s;
    const auto* spec = reinterpret_cast<const State*>(m.spec.data());
    if constexpr (C == 3) {
      const T value[3] = {T(m.border_value), T(m.border_value), T(m.border_value)};
      return apply(m.src.data<T>(), m.src.step, m.dst.data<T>(), m.dst.step, m.src.size(), m.border, value, spec,
                   m.buffer.data());
    } else if constexpr (std::is_same_v<T, float>) {
      return apply(m.src.data<T>(), m.src.step, m.dst.data<T>(), m.dst.step, m.src.size(), m.border, spec,
                   m.buffer.data(), float(m.border_value));
    } else {
      return apply(m.src.data<T>(), m.src.step, m.dst.data<T>(), m.dst.step, m.src.size(), m.border,
                   T(m.border_value), spec, m.buffer.data());
    }
  };
  job.result = [s] { return s->dst; };
  return job;
}

}  // namespace zuvcv
