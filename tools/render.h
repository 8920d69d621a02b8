// SPDX-License-Identifier: BSD-3-Clause
// Turns operation results into 8-bit pictures: direct, stretched, colour-mapped, overlaid.
#pragma once

#include "image.h"
#include "registry.h"

namespace zuvcv {

// An 8-bit gray or RGB picture of result; input is the picture the operation
// started from (for overlays). Results must have one channel unless they are 8u.
Image render(const Image& result, Render how, const Image& input);

const char* render_name(Render how);

}  // namespace zuvcv
