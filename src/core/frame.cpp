// SPDX-License-Identifier: BSD-3-Clause
// The library's version record.
#include "export.h"

namespace {

const LibraryVersion s_libVer = {
    9, 0, 2, 49912, {'q', '4', '\0', '\0'},
    "zuvCV AVX-512F/CD/BW/DQ/VL (q4 threaded)", "9.0.2 (r49912)", "Dec 29 2015"};

}  // namespace

extern "C" ZUV_API const LibraryVersion* zuvcvGetLibVersion(void) { return &s_libVer; }
