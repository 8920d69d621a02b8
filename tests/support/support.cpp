// SPDX-License-Identifier: BSD-3-Clause
// Shared test helpers that need the library's internals.
#include "core/cpu.h"
#include "support/status.h"

namespace zuv::test {

ReferenceKernels::ReferenceKernels() { force_reference(true); }
ReferenceKernels::~ReferenceKernels() { force_reference(false); }

}  // namespace zuv::test
