// SPDX-License-Identifier: BSD-3-Clause
// Assertions for refused calls: the expected status and nothing written.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <vector>

#include "zuvcv.h"

namespace zuv::test {

// Anything whose bytes can be snapshotted (GuardedImage and friends).
struct Snapshot {
  template <class Image>
  Snapshot(const Image& img) : take([&img] { return img.bytes(); }), before(img.bytes()) {}
  std::function<std::vector<uint8_t>()> take;
  std::vector<uint8_t> before;
};

// Runs `call`, expects `want`, and checks that every watched image kept its bytes.
template <class Call>
void expect_refused(Status want, Call&& call, std::initializer_list<Snapshot> watched) {
  const std::vector<Snapshot> snaps(watched);
  const Status got = call();
  EXPECT_EQ(got, want) << zuvGetStatusString(got);
  for (size_t i = 0; i < snaps.size(); ++i)
    EXPECT_TRUE(snaps[i].take() == snaps[i].before) << "image " << i << " was written";
}

// Sets the library's thread count for one scope.
class ThreadCount {
 public:
  explicit ThreadCount(int n) { zuvSetNumThreads(n); }
  ~ThreadCount() { zuvSetNumThreads(0); }
};

// Runs the exports with the scalar reference kernels for one scope.
class ReferenceKernels {
 public:
  ReferenceKernels();
  ~ReferenceKernels();
};

}  // namespace zuv::test
