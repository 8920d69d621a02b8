// SPDX-License-Identifier: BSD-3-Clause
// Version record, core services and the shared argument checks.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "core/check.h"
#include "core/services.h"
#include "support/status.h"
#include "zuvcv.h"

namespace {

TEST(Version, RecordIsFixedAndStable) {
  const LibraryVersion* v = zuvcvGetLibVersion();
  ASSERT_EQ(v, zuvcvGetLibVersion());
  EXPECT_EQ(v->major, 9);
  EXPECT_EQ(v->minor, 0);
  EXPECT_EQ(v->majorBuild, 2);
  EXPECT_EQ(v->build, 49912);
  EXPECT_EQ(std::memcmp(v->targetCpu, "q4\0\0", 4), 0);
  EXPECT_STREQ(v->name, "zuvCV AVX-512F/CD/BW/DQ/VL (q4 threaded)");
  EXPECT_STREQ(v->version, "9.0.2 (r49912)");
  EXPECT_STREQ(v->buildDate, "Dec 29 2015");
}

TEST(CoreServices, MallocAlignsAndRefusesBadCounts) {
  EXPECT_EQ(zuvMalloc(0), nullptr);
  EXPECT_EQ(zuvMalloc(-1), nullptr);
  EXPECT_EQ(zuvMalloc(2147483648LL), nullptr);
  for (int64_t n : {1, 3, 64, 1000}) {
    void* p = zuvMalloc(n);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 64, 0u);
    std::memset(p, 1, size_t(n));
    zuvFree(p);
  }
  zuvFree(nullptr);
  EXPECT_EQ(zuv::zuvsMalloc_64f(0), nullptr);
  EXPECT_EQ(zuv::zuvsMalloc_32f(536870912), nullptr);  // 4 * n exceeds 2^31 - 1
  EXPECT_EQ(zuv::zuvsMalloc_64f(268435456), nullptr);
}

TEST(CoreServices, CacheSizeIsThisProcessors) {
  int32_t size = -1;
  ASSERT_EQ(zuvGetMaxCacheSizeB(&size), StatusOk);
  EXPECT_GE(size, 32 * 1024);
  EXPECT_EQ(zuvGetMaxCacheSizeB(nullptr), StatusNullPointer);
  EXPECT_EQ(zuv::owncvGetCacheSize(), size);
}

TEST(CoreServices, ThreadCountFollowsSettingThenEnvironment) {
  EXPECT_GE(ownGetNumThreads(), 1);
  setenv("ZUV_NUM_THREADS", "3", 1);
  EXPECT_EQ(ownGetNumThreads(), 3);
  {
    zuv::test::ThreadCount five(5);
    EXPECT_EQ(ownGetNumThreads(), 5);
    EXPECT_EQ(zuv::owncvGetMaxNumThreads(), 5);
  }
  EXPECT_EQ(ownGetNumThreads(), 3);
  setenv("ZUV_NUM_THREADS", "junk", 1);
  EXPECT_GE(ownGetNumThreads(), 1);
  unsetenv("ZUV_NUM_THREADS");
}

TEST(CoreServices, EveryStatusHasItsText) {
  const Status all[] = {0, 6, 33, 38, 48, -2, -5, -6, -7, -8, -11, -12, -14, -17, -18, -33,
                        -34, -47, -52, -53, -56, -108, -225, -229, -230, -232, -9997, -9999};
  for (Status s : all) EXPECT_EQ(std::strncmp(zuvGetStatusString(s), "Status", 6), 0) << s;
  EXPECT_NE(std::strstr(zuvGetStatusString(StatusStep), "StatusStep:"), nullptr);
  EXPECT_NE(std::strstr(zuvGetStatusString(12345), "Unknown"), nullptr);
}

TEST(Checks, OrderAndBoundaries) {
  using namespace zuv::check;
  const int x = 0;
  EXPECT_EQ(not_null(&x, static_cast<const int*>(nullptr)), StatusNullPointer);
  EXPECT_EQ(roi({0, 5}), StatusSize);
  EXPECT_EQ(roi({5, 0}), StatusSize);
  EXPECT_EQ((step_of<float>(40, {10, 1})), StatusOk);
  EXPECT_EQ((step_of<float>(39, {10, 1})), StatusStep);
  EXPECT_EQ((step_of<uint8_t, 3>(29, {10, 1})), StatusStep);
  EXPECT_EQ(multiple<float>(42), StatusNotEvenStep);
  EXPECT_EQ(multiple<uint16_t>(41), StatusNotEvenStep);
  EXPECT_EQ(multiple<uint8_t>(41), StatusOk);
  EXPECT_EQ((step_and_multiple<float>(38, {10, 1})), StatusStep);
  EXPECT_EQ((step_and_multiple<float>(42, {10, 1})), StatusNotEvenStep);
  EXPECT_EQ(coi(0), StatusChannelOfInterest);
  EXPECT_EQ(coi(4), StatusChannelOfInterest);
  EXPECT_EQ(mask_size(35), StatusMaskSize);
  EXPECT_EQ(mask_size(53), StatusMaskSize);
  EXPECT_EQ(mask_size(55), StatusOk);
}

}  // namespace
