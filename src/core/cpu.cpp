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

}  // namespace

bool use_avx512() {
  static const bool available = has_avx512();
  return available && !g_force_reference.load(std::memory_order_relaxed);
}

void force_reference(bool on) { g_force_reference.store(on, std::memory_order_relaxed); }

}  // namespace zuv
