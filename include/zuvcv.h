/* SPDX-License-Identifier: BSD-3-Clause */
/* zuvCV: exact, threaded computer-vision primitives (public C interface). */
#ifndef ZUVCV_H
#define ZUVCV_H

#include <stdint.h>

#if defined(ZUV_BUILDING_LIBRARY)
#define ZUV_API __attribute__((visibility("default")))
#else
#define ZUV_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ======================================================================== */
/* Shared records and enumerations                                          */
/* ======================================================================== */

/* Result of every export: 0 success, negative error (nothing written),
   positive warning (result valid). */
typedef int32_t Status;

enum {
  StatusOk = 0,                     /* success */
  StatusDivByZero = 6,              /* warning: a divisor was zero (relative norm is +inf or NaN) */
  StatusOutputFull = 33,            /* warning: the caller's result array filled up */
  StatusKernelNotSymmetric = 38,    /* warning: pyramid kernel not symmetric, its first half mirrored */
  StatusRoiTrimmed = 48,            /* warning: region trimmed to the image, or wholly outside it */
  StatusError = -2,                 /* an internal consistency guard failed */
  StatusBadArgument = -5,           /* an argument outside its allowed set or range */
  StatusSize = -6,                  /* a width, height, length, count or buffer size too small */
  StatusRange = -7,                 /* a range whose upper bound lies below its lower bound */
  StatusNullPointer = -8,           /* a required pointer is null */
  StatusOutOfRange = -11,           /* a value outside its permitted range */
  StatusDataType = -12,             /* data-type code not supported */
  StatusStep = -14,                 /* a row step smaller than the bytes of one row */
  StatusBadSpec = -17,              /* a state block whose identifying value is wrong */
  StatusThreshold = -18,            /* a negative threshold */
  StatusMaskSize = -33,             /* mask-size code not supported, or mask dimensions below 1 */
  StatusAnchor = -34,               /* anchor outside the mask or kernel */
  StatusNumChannels = -47,          /* number of channels not supported */
  StatusChannelOfInterest = -52,    /* channel of interest outside 1..3 */
  StatusChannel = -53,              /* number of channels not supported (set-up functions) */
  StatusMetric = -56,               /* a distance-transform metric below 1 */
  StatusNotEvenStep = -108,         /* step not a multiple of the element size */
  StatusBorder = -225,              /* border type not supported */
  StatusNorm = -229,                /* norm selector not supported */
  StatusDifferentialKernel = -230,  /* differential-kernel selector not supported */
  StatusSizeOverflow = -232,        /* a working-buffer size exceeds 2147483647 elements */
  StatusInplaceNotSupported = -9997,/* source and destination may not be the same buffer */
  StatusNotSupportedMode = -9999    /* mode or flag combination not supported by this variant */
};

/* Region size in pixels; passed by value. */
typedef struct { int32_t width, height; } ImageSize;
/* Pixel position. */
typedef struct { int32_t x, y; } ImagePoint;
/* Rectangle: top-left corner and size. */
typedef struct { int32_t x, y, width, height; } ImageRect;
/* Sub-pixel position. */
typedef struct { float x, y; } Point32f;

/* Border handling: low four bits the mode, bits 0x10..0x80 in-memory side flags. */
typedef int32_t BorderType;
enum {
  BorderConst = 0,          /* outside pixels are a given constant */
  BorderRepl = 1,           /* copies of the nearest edge pixel */
  BorderMirror = 3,         /* mirrored about the edge pixel: ..., x2, x1, x0, x1, x2, ... */
  BorderMirrorR = 4,        /* mirrored with the edge pixel repeated (internal filters only) */
  BorderInMem = 6,          /* all four sides are in memory around the region */
  BorderInMemTop = 0x10,    /* flag: rows above the region are in memory */
  BorderInMemBottom = 0x20, /* flag: rows below the region are in memory */
  BorderInMemLeft = 0x40,   /* flag: columns left of the region are in memory */
  BorderInMemRight = 0x80   /* flag: columns right of the region are in memory */
};

/* Square fixed masks: width digit then height digit. */
typedef int32_t MaskSize;
enum { MaskSize3x3 = 33, MaskSize5x5 = 55 };

/* Element-type codes of size queries and set-up functions. */
typedef int32_t DataType;
enum {
  DataType8u = 1, DataType16u = 5, DataType16s = 7,
  DataType32s = 11, DataType32f = 13, DataType64f = 19
};

/* Distance norms; for connectivities Inf means 8-connected, L1 4-connected. */
typedef int32_t DistanceNorm;
enum { NormInf = 0, NormL1 = 1, NormL2 = 2, NormFM = 3 };

/* Gradient norm of Canny with border. */
typedef int32_t NormType;
enum { NormTypeL1 = 2, NormTypeL2 = 4 };

/* Derivative kernels. */
typedef int32_t DifferentialKernel;
enum {
  DifferentialKernelSobel = 2,
  DifferentialKernelScharr = 5,
  DifferentialKernelCentralDiff = 8
};

/* Library version record; static and read-only. */
typedef struct {
  int32_t major;         /* 9 */
  int32_t minor;         /* 0 */
  int32_t majorBuild;    /* 2 */
  int32_t build;         /* 49912 */
  char targetCpu[4];     /* "q4" */
  const char* name;      /* library name and target */
  const char* version;   /* version text */
  const char* buildDate; /* build date text */
} LibraryVersion;

/* ======================================================================== */
/* Core services (libzuvcore)                                               */
/* ======================================================================== */

/* 64-byte aligned allocation; null for a byte count below 1 or above 2147483647. */
ZUV_API void* zuvMalloc(int64_t length);
/* Releases memory from zuvMalloc; null is ignored. */
ZUV_API void zuvFree(void* ptr);
/* Writes the size in bytes of the processor's largest cache; status 0. */
ZUV_API Status zuvGetMaxCacheSizeB(int32_t* sizeBytes);
/* Threads the library may use (at least 1): zuvSetNumThreads, else the
   environment variable ZUV_NUM_THREADS, else OpenMP's permitted count. */
ZUV_API int32_t ownGetNumThreads(void);
/* Sets the thread count for later calls; a value below 1 restores the default. */
ZUV_API Status zuvSetNumThreads(int32_t numThreads);
/* Name and one-line meaning of a status value ("Unknown status" otherwise). */
ZUV_API const char* zuvGetStatusString(Status status);

/* ======================================================================== */
/* Library frame                                                            */
/* ======================================================================== */

/* The version record; the same pointer on every call. */
ZUV_API const LibraryVersion* zuvcvGetLibVersion(void);

/* ======================================================================== */
/* Accumulation and absolute difference                                     */
/* A is the 32f accumulator (updated in place), S the source, M the mask:   */
/* masked forms update only where the mask byte is non-zero.                */
/* ======================================================================== */

/* A = A + S */
ZUV_API Status zuviAdd_8u32f_C1IR(const uint8_t* pSrc, int srcStep, float* pSrcDst, int srcDstStep, ImageSize roiSize);
ZUV_API Status zuviAdd_16u32f_C1IR(const uint16_t* pSrc, int srcStep, float* pSrcDst, int srcDstStep, ImageSize roiSize);
ZUV_API Status zuviAdd_8u32f_C1IMR(const uint8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, float* pSrcDst, int srcDstStep, ImageSize roiSize);
ZUV_API Status zuviAdd_16u32f_C1IMR(const uint16_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, float* pSrcDst, int srcDstStep, ImageSize roiSize);
ZUV_API Status zuviAdd_32f_C1IMR(const float* pSrc, int srcStep, const uint8_t* pMask, int maskStep, float* pSrcDst, int srcDstStep, ImageSize roiSize);

/* A = fma(S, S, A): the square is not rounded on its own. */
ZUV_API Status zuviAddSquare_8u32f_C1IR(const uint8_t* pSrc, int srcStep, float* pSrcDst, int srcDstStep, ImageSize roiSize);
ZUV_API Status zuviAddSquare_16u32f_C1IR(const uint16_t* pSrc, int srcStep, float* pSrcDst, int srcDstStep, ImageSize roiSize);
ZUV_API Status zuviAddSquare_32f_C1IR(const float* pSrc, int srcStep, float* pSrcDst, int srcDstStep, ImageSize roiSize);
ZUV_API Status zuviAddSquare_8u32f_C1IMR(const uint8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, float* pSrcDst, int srcDstStep, ImageSize roiSize);
ZUV_API Status zuviAddSquare_16u32f_C1IMR(const uint16_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, float* pSrcDst, int srcDstStep, ImageSize roiSize);
ZUV_API Status zuviAddSquare_32f_C1IMR(const float* pSrc, int srcStep, const uint8_t* pMask, int maskStep, float* pSrcDst, int srcDstStep, ImageSize roiSize);

/* A = fma(S1, S2, A) */
ZUV_API Status zuviAddProduct_8u32f_C1IR(const uint8_t* pSrc1, int src1Step, const uint8_t* pSrc2, int src2Step, float* pSrcDst, int srcDstStep, ImageSize roiSize);
ZUV_API Status zuviAddProduct_16u32f_C1IR(const uint16_t* pSrc1, int src1Step, const uint16_t* pSrc2, int src2Step, float* pSrcDst, int srcDstStep, ImageSize roiSize);
ZUV_API Status zuviAddProduct_32f_C1IR(const float* pSrc1, int src1Step, const float* pSrc2, int src2Step, float* pSrcDst, int srcDstStep, ImageSize roiSize);
ZUV_API Status zuviAddProduct_8u32f_C1IMR(const uint8_t* pSrc1, int src1Step, const uint8_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, float* pSrcDst, int srcDstStep, ImageSize roiSize);
ZUV_API Status zuviAddProduct_16u32f_C1IMR(const uint16_t* pSrc1, int src1Step, const uint16_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, float* pSrcDst, int srcDstStep, ImageSize roiSize);
ZUV_API Status zuviAddProduct_32f_C1IMR(const float* pSrc1, int src1Step, const float* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, float* pSrcDst, int srcDstStep, ImageSize roiSize);

/* A = fma(S - A, alpha, A): a running average; alpha is used as given. */
ZUV_API Status zuviAddWeighted_8u32f_C1IR(const uint8_t* pSrc, int srcStep, float* pSrcDst, int srcDstStep, ImageSize roiSize, float alpha);
ZUV_API Status zuviAddWeighted_16u32f_C1IR(const uint16_t* pSrc, int srcStep, float* pSrcDst, int srcDstStep, ImageSize roiSize, float alpha);
ZUV_API Status zuviAddWeighted_32f_C1IR(const float* pSrc, int srcStep, float* pSrcDst, int srcDstStep, ImageSize roiSize, float alpha);
ZUV_API Status zuviAddWeighted_8u32f_C1IMR(const uint8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, float* pSrcDst, int srcDstStep, ImageSize roiSize, float alpha);
ZUV_API Status zuviAddWeighted_16u32f_C1IMR(const uint16_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, float* pSrcDst, int srcDstStep, ImageSize roiSize, float alpha);
ZUV_API Status zuviAddWeighted_32f_C1IMR(const float* pSrc, int srcStep, const uint8_t* pMask, int maskStep, float* pSrcDst, int srcDstStep, ImageSize roiSize, float alpha);
/* D = fma(S1 - S2, alpha, S2); D may be S1 or S2 (same step). */
ZUV_API Status zuviAddWeighted_32f_C1R(const float* pSrc1, int src1Step, const float* pSrc2, int src2Step, float* pDst, int dstStep, ImageSize roiSize, float alpha);

/* D = |S1 - S2| (exact for 8u/16u; 32f clears the sign bit of the difference).
   C3 treats the row as 3 x width elements. D may be a source (same step). */
ZUV_API Status zuviAbsDiff_8u_C1R(const uint8_t* pSrc1, int src1Step, const uint8_t* pSrc2, int src2Step, uint8_t* pDst, int dstStep, ImageSize roiSize);
ZUV_API Status zuviAbsDiff_16u_C1R(const uint16_t* pSrc1, int src1Step, const uint16_t* pSrc2, int src2Step, uint16_t* pDst, int dstStep, ImageSize roiSize);
ZUV_API Status zuviAbsDiff_32f_C1R(const float* pSrc1, int src1Step, const float* pSrc2, int src2Step, float* pDst, int dstStep, ImageSize roiSize);
ZUV_API Status zuviAbsDiff_8u_C3R(const uint8_t* pSrc1, int src1Step, const uint8_t* pSrc2, int src2Step, uint8_t* pDst, int dstStep, ImageSize roiSize);

/* D = |S - c|; for 8u/16u c is value clamped to the type's range first. */
ZUV_API Status zuviAbsDiffC_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, int32_t value);
ZUV_API Status zuviAbsDiffC_16u_C1R(const uint16_t* pSrc, int srcStep, uint16_t* pDst, int dstStep, ImageSize roiSize, int32_t value);
ZUV_API Status zuviAbsDiffC_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, float value);

/* ======================================================================== */
/* Mean, standard deviation and extrema                                     */
/* ======================================================================== */

/* ======================================================================== */
/* Norms                                                                    */
/* ======================================================================== */

/* ======================================================================== */
/* Separable row and column pipelines                                       */
/* ======================================================================== */

/* ======================================================================== */
/* Fixed-kernel filters                                                     */
/* ======================================================================== */

/* ======================================================================== */
/* Gaussian filter                                                          */
/* ======================================================================== */

/* ======================================================================== */
/* Morphology                                                               */
/* ======================================================================== */

/* ======================================================================== */
/* Compound and gray-scale morphology                                       */
/* ======================================================================== */

/* ======================================================================== */
/* Canny edge detection                                                     */
/* ======================================================================== */

#ifdef __cplusplus
}
#endif

#endif /* ZUVCV_H */
