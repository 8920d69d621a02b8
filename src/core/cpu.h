// SPDX-License-Identifier: BSD-3-Clause
// Kernel selection: AVX-512 when the processor has it, unless a test forces the reference.
#pragma once

namespace zuv {

// True when the AVX-512 F/CD/BW/DQ/VL kernels may run.
bool use_avx512();

// Test hook: force the scalar reference kernels (process-wide).
void force_reference(bool on);

}  // namespace zuv
