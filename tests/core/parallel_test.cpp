// SPDX-License-Identifier: BSD-3-Clause
// Row-stripe split: arithmetic, serial fallback and reductions.
#include <gtest/gtest.h>
#include <omp.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "core/parallel.h"
#include "support/status.h"

namespace {

using zuv::parallel::Stripe;
using zuv::parallel::stripe_of;

// Height 5 on 4 threads: 1, 1, 1, 2 rows; height 3 on 8 threads: only
// thread 7 has rows, all three.
TEST(Stripes, RemainderGoesToLastThread) {
  const int want5[4][2] = {{0, 1}, {1, 1}, {2, 1}, {3, 2}};
  for (int t = 0; t < 4; ++t)
    EXPECT_TRUE(stripe_of(t, 4, 5).y0 == want5[t][0] && stripe_of(t, 4, 5).rows == want5[t][1]) << t;
  for (int t = 0; t < 8; ++t) EXPECT_EQ(stripe_of(t, 8, 3).rows, t == 7 ? 3 : 0) << t;
  EXPECT_EQ(stripe_of(7, 8, 3).y0, 0);
}

std::vector<Stripe> stripes_run(int height, bool parallel) {
  std::vector<Stripe> seen;
  std::mutex mu;
  zuv::parallel::for_rows(height, parallel, [&](int y0, int rows) {
    std::lock_guard<std::mutex> lock(mu);
    seen.push_back({y0, rows});
  });
  std::sort(seen.begin(), seen.end(), [](Stripe a, Stripe b) { return a.y0 < b.y0; });
  return seen;
}

TEST(Stripes, GroupCoversEveryRowOnce) {
  for (int threads : {1, 2, 3, 8}) {
    zuv::test::ThreadCount tc(threads);
    for (int height : {1, 3, 5, 100}) {
      int next = 0;
      for (const Stripe& st : stripes_run(height, true)) {
        EXPECT_EQ(st.y0, next);
        next += st.rows;
      }
      EXPECT_EQ(next, height) << threads << " threads";
    }
  }
}

TEST(Stripes, DeclinedForkRunsWholeRegionOnCaller) {
  zuv::test::ThreadCount tc(4);
  omp_set_max_active_levels(1);
  std::vector<Stripe> inner;
#pragma omp parallel num_threads(2)
  {
#pragma omp master
    inner = stripes_run(10, true);  // nested region: the runtime gives a group of one
  }
  ASSERT_EQ(inner.size(), 1u);
  EXPECT_TRUE(inner[0].y0 == 0 && inner[0].rows == 10);
}

// Slots combine in thread order, also past 32 threads where they are allocated.
TEST(Reduction, SlotsCombineInThreadOrder) {
  struct Sum {
    double s;
    int first_row;
  };
  for (int threads : {1, 3, 8, 40}) {
    zuv::test::ThreadCount tc(threads);
    std::vector<int> order;
    double total = 0;
    zuv::parallel::reduce_rows<Sum>(
        100, true,
        [](int y0, int rows, Sum& slot) {
          slot.first_row = y0;
          for (int y = y0; y < y0 + rows; ++y) slot.s += y;
        },
        [&](const Sum& slot) {
          total += slot.s;
          if (slot.s > 0 || slot.first_row > 0) order.push_back(slot.first_row);
        });
    EXPECT_EQ(total, 4950.0);
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end())) << threads;
  }
}

TEST(VectorSplit, PartsCoverTheVector) {
  zuv::test::ThreadCount tc(2);
  std::vector<int> v(1001, 0);
  const int r = zuv::parallel::for_elements(1001, [&](int first, int count) {
    for (int i = first; i < first + count; ++i) v[i] += 1;
    return 0;
  });
  EXPECT_EQ(r, 0);
  EXPECT_EQ(std::count(v.begin(), v.end(), 1), 1001);
  EXPECT_NE(zuv::parallel::for_elements(10, [](int first, int) { return first > 0 ? 7 : 0; }), 0);
}

}  // namespace
