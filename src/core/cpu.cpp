// SPDX-License-Identifier: BSD-3-Clause
// Processor feature detection for kernel selection.
#include "cpu.h"

#include <atomic>

namespace zuv {
namespace {

bool has_avx512() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512cd") &&
         __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512dq") &&
         __builtin_cpu_supports("avx512vl");
}

std::atomic<bool> g_force_reference{false};
// 0 until the processor is examined, then 1 (AVX-512 kernels run) or 2. The
// test is idempotent, so threads that race on the first call agree.
std::atomic<int> g_avx512{0};

}  // namespace

bool use_avx512() {
  int state = g_avx512.load(std::memory_order_relaxed);
  if (state == 0) {
    state = has_avx512() ? 1 : 2;
    g_avx512.store(state, std::memory_order_relaxed);
  }
  return state == 1 && !g_force_reference.load(std::memory_order_relaxed);
}

void force_reference(bool on) { g_force_reference.store(on, std::memory_order_relaxed); }

}  // namespace zuv
