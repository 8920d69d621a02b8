// SPDX-License-Identifier: BSD-3-Clause
// Export binding: one macro emits the public C entry point of a family member.
#pragma once

#include "zuvcv.h"

// ZUV_EXPORT(name, (params...), (call)) defines the exported `name`. The header
// declares every export, so the compiler checks each definition against it; the
// linker version script keeps exactly the listed names visible.
#define ZUV_EXPORT(name, params, call) \
  extern "C" ZUV_API Status name params { return call; }
