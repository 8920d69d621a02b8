// SPDX-License-Identifier: BSD-3-Clause
// The public header compiles as strict C++17 on its own.
#include "zuvcv.h"

static_assert(sizeof(ImageSize) == 8, "ImageSize travels in one 64-bit register");
static_assert(sizeof(LibraryVersion) == 48, "version record layout");
