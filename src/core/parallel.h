// SPDX-License-Identifier: BSD-3-Clause
// Row-stripe threading: the one place OpenMP is used.
//
// Rows [0, height) are split over the n threads of the group that the runtime
// actually starts: thread t takes q = height / n rows from t * q, and the last
// thread also takes the remainder height % n. Stripes never depend on anything
// else, so element-wise results are identical for any n.
#pragma once

#include <omp.h>

#include <cstdint>
#include <new>
#include <type_traits>

#include "services.h"
#include "zuvcv.h"

namespace zuv::parallel {

struct Stripe {
  int y0;
  int rows;
};

// The stripe of thread t in a group of n over `height` rows.
constexpr Stripe stripe_of(int t, int n, int height) {
  const int q = height / n;
  const int r = height % n;
  return Stripe{t * q, q + (t == n - 1 ? r : 0)};
}

// width * height as the 32-bit product the thresholds compare (wraps like int32).
constexpr int32_t area32(ImageSize roi) {
  return int32_t(uint32_t(roi.width) * uint32_t(roi.height));
}

// Group size the stripe runners request.
inline int requested_threads() { return owncvGetMaxNumThreads(); }

// Runs body(y0, rows) over stripes: on the calling thread alone when `parallel`
// is false, else in a group of requested_threads(). A group the runtime does
// not fork has size 1 and so runs the whole region in one stripe.
template <class Body>
void for_rows(int height, bool parallel, Body&& body) {
  const int want = parallel ? requested_threads() : 1;
  if (want <= 1) {
    body(0, height);
    return;
  }
  int n = 1;
#pragma omp parallel num_threads(want)
  {
#pragma omp master
    n = omp_get_num_threads();
#pragma omp barrier
    const Stripe s = stripe_of(omp_get_thread_num(), n, height);
    if (s.rows > 0) body(s.y0, s.rows);
  }
}

// Reduction form: each stripe fills its own zero-initialised Slot through
// body(y0, rows, slot); then combine(slot) runs on the calling thread for the
// slots in thread order. Up to 32 slots live on the stack; larger groups get
// an allocated array, and if that allocation fails the region runs serially.
template <class Slot, class Body, class Combine>
void reduce_rows(int height, bool parallel, Body&& body, Combine&& combine) {
  static_assert(std::is_trivially_copyable_v<Slot> && alignof(Slot) <= 8,
                "slots are plain records");
  constexpr int kStackSlots = 32;
  const int want = parallel ? requested_threads() : 1;
  if (want <= 1) {
    Slot s{};
    body(0, height, s);
    combine(static_cast<const Slot&>(s));
    return;
  }
  Slot local[kStackSlots];
  Slot* slots = local;
  bool heap = false;
  bool failed = false;
  int n = 1;
#pragma omp parallel num_threads(want)
  {
#pragma omp master
    {
      n = omp_get_num_threads();
      if (n > kStackSlots) {
        const int64_t words = (int64_t(sizeof(Slot)) * n + 7) / 8;
        void* mem = zuvsMalloc_64f(words);
        if (mem) {
          slots = static_cast<Slot*>(mem);
          heap = true;
        } else {
          failed = true;
        }
      }
    }
#pragma omp barrier
    if (!failed) {
      const int t = omp_get_thread_num();
      Slot* mine = new (&slots[t]) Slot{};
      const Stripe s = stripe_of(t, n, height);
      if (s.rows > 0) body(s.y0, s.rows, *mine);
    }
  }
  if (failed) {
    // No memory for the slots of a very large group: same result, one thread.
    Slot s{};
    body(0, height, s);
    combine(static_cast<const Slot&>(s));
    return;
  }
  for (int t = 0; t < n; ++t) combine(static_cast<const Slot&>(slots[t]));
  if (heap) zuvsFree(slots);
}

// Vector split: kernel(first, count) returns 0 on success. Runs on two threads
// when at least two are permitted and count reaches the permitted count; the
// result is 0 only when every part returned 0.
template <class Kernel>
int for_elements(int count, Kernel&& kernel) {
  const int permitted = requested_threads();
  if (permitted < 2 || count < permitted) return kernel(0, count);
  int n = 1;
  int bad = 0;
  int part[2] = {0, 0};
#pragma omp parallel num_threads(2)
  {
#pragma omp master
    n = omp_get_num_threads();
#pragma omp barrier
    const int t = omp_get_thread_num();
    const Stripe s = stripe_of(t, n, count);
    part[t] = s.rows > 0 ? kernel(s.y0, s.rows) : 0;
  }
  for (int t = 0; t < n; ++t) bad |= part[t] != 0;
  return bad;
}

// Stripe form that also passes the thread number: body(t, y0, rows) with
// 0 <= t < want, for drivers that give each thread its own scratch; `want`
// is the group size asked for (at most requested_threads()). Same split and
// fallback as for_rows.
template <class Body>
void for_stripes_of(int height, int want, Body&& body) {
  if (want <= 1) {
    body(0, 0, height);
    return;
  }
  int n = 1;
#pragma omp parallel num_threads(want)
  {
#pragma omp master
    n = omp_get_num_threads();
#pragma omp barrier
    const int t = omp_get_thread_num();
    const Stripe s = stripe_of(t, n, height);
    if (s.rows > 0) body(t, s.y0, s.rows);
  }
}

// The same with a group of requested_threads() when `parallel`.
template <class Body>
void for_stripes(int height, bool parallel, Body&& body) {
  for_stripes_of(height, parallel ? requested_threads() : 1, body);
}

}  // namespace zuv::parallel
