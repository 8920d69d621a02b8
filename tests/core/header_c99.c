/* SPDX-License-Identifier: BSD-3-Clause */
/* The public header as a strict C99 translation unit, linked against the library. */
#include <stdio.h>
#include <string.h>

#include "zuvcv.h"

int main(void) {
  const LibraryVersion* v = zuvcvGetLibVersion();
  ImageSize roi = {4, 2};
  uint8_t src[8] = {0};
  float acc[8] = {0};
  Status s;
  if (v == NULL || v->major != 9 || strcmp(v->version, "9.0.2 (r49912)") != 0) return 1;
  s = zuviAdd_8u32f_C1IR(src, 4, acc, 16, roi);
  if (s != StatusOk) return 2;
  s = zuviAdd_8u32f_C1IR(src, 3, acc, 16, roi);
  if (s != StatusStep) return 3;
  printf("%s\n", zuvGetStatusString(s));
  return 0;
}
