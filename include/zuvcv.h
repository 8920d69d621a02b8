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
   environment variable ZUV_NUM_THREADS, else OpenMP's permitted count for a
   new region (inside an OpenMP region: the count last seen outside one). */
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

/* Statistics of one channel (C3C forms: channel coi, 1..3, of three). Masked
   forms use the pixels whose mask byte is non-zero; N is their count, else
   width * height. An empty mask gives mean and deviation 0. */

/* *pMean = sum / N over the selected pixels. */
ZUV_API Status zuviMean_8u_C1MR(const uint8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pMean);
ZUV_API Status zuviMean_16u_C1MR(const uint16_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pMean);
ZUV_API Status zuviMean_32f_C1MR(const float* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pMean);
ZUV_API Status zuviMean_8u_C3CMR(const uint8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pMean);
ZUV_API Status zuviMean_16u_C3CMR(const uint16_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pMean);
ZUV_API Status zuviMean_32f_C3CMR(const float* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pMean);

/* Mean and standard deviation sqrt(|sum(x^2) / N - mean^2|); either output may be null. */
ZUV_API Status zuviMean_StdDev_8u_C1R(const uint8_t* pSrc, int srcStep, ImageSize roiSize, double* pMean, double* pStdDev);
ZUV_API Status zuviMean_StdDev_16u_C1R(const uint16_t* pSrc, int srcStep, ImageSize roiSize, double* pMean, double* pStdDev);
ZUV_API Status zuviMean_StdDev_32f_C1R(const float* pSrc, int srcStep, ImageSize roiSize, double* pMean, double* pStdDev);
ZUV_API Status zuviMean_StdDev_8u_C1MR(const uint8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pMean, double* pStdDev);
ZUV_API Status zuviMean_StdDev_16u_C1MR(const uint16_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pMean, double* pStdDev);
ZUV_API Status zuviMean_StdDev_32f_C1MR(const float* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pMean, double* pStdDev);
ZUV_API Status zuviMean_StdDev_8u_C3CR(const uint8_t* pSrc, int srcStep, ImageSize roiSize, int coi, double* pMean, double* pStdDev);
ZUV_API Status zuviMean_StdDev_16u_C3CR(const uint16_t* pSrc, int srcStep, ImageSize roiSize, int coi, double* pMean, double* pStdDev);
ZUV_API Status zuviMean_StdDev_32f_C3CR(const float* pSrc, int srcStep, ImageSize roiSize, int coi, double* pMean, double* pStdDev);
ZUV_API Status zuviMean_StdDev_8u_C3CMR(const uint8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pMean, double* pStdDev);
ZUV_API Status zuviMean_StdDev_16u_C3CMR(const uint16_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pMean, double* pStdDev);
ZUV_API Status zuviMean_StdDev_32f_C3CMR(const float* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pMean, double* pStdDev);

/* Minimum and maximum (as 32f) and the (x, y) of their first occurrence in raster
   order; any output may be null. No selected pixel: values 0, positions (0, 0). */
ZUV_API Status zuviMinMaxIndx_8u_C1R(const uint8_t* pSrc, int srcStep, ImageSize roiSize, float* pMinVal, float* pMaxVal, ImagePoint* pMinIndex, ImagePoint* pMaxIndex);
ZUV_API Status zuviMinMaxIndx_16u_C1R(const uint16_t* pSrc, int srcStep, ImageSize roiSize, float* pMinVal, float* pMaxVal, ImagePoint* pMinIndex, ImagePoint* pMaxIndex);
ZUV_API Status zuviMinMaxIndx_32f_C1R(const float* pSrc, int srcStep, ImageSize roiSize, float* pMinVal, float* pMaxVal, ImagePoint* pMinIndex, ImagePoint* pMaxIndex);
ZUV_API Status zuviMinMaxIndx_8u_C1MR(const uint8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, float* pMinVal, float* pMaxVal, ImagePoint* pMinIndex, ImagePoint* pMaxIndex);
ZUV_API Status zuviMinMaxIndx_16u_C1MR(const uint16_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, float* pMinVal, float* pMaxVal, ImagePoint* pMinIndex, ImagePoint* pMaxIndex);
ZUV_API Status zuviMinMaxIndx_32f_C1MR(const float* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, float* pMinVal, float* pMaxVal, ImagePoint* pMinIndex, ImagePoint* pMaxIndex);
ZUV_API Status zuviMinMaxIndx_8u_C3CR(const uint8_t* pSrc, int srcStep, ImageSize roiSize, int coi, float* pMinVal, float* pMaxVal, ImagePoint* pMinIndex, ImagePoint* pMaxIndex);
ZUV_API Status zuviMinMaxIndx_16u_C3CR(const uint16_t* pSrc, int srcStep, ImageSize roiSize, int coi, float* pMinVal, float* pMaxVal, ImagePoint* pMinIndex, ImagePoint* pMaxIndex);
ZUV_API Status zuviMinMaxIndx_32f_C3CR(const float* pSrc, int srcStep, ImageSize roiSize, int coi, float* pMinVal, float* pMaxVal, ImagePoint* pMinIndex, ImagePoint* pMaxIndex);
ZUV_API Status zuviMinMaxIndx_8u_C3CMR(const uint8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, float* pMinVal, float* pMaxVal, ImagePoint* pMinIndex, ImagePoint* pMaxIndex);
ZUV_API Status zuviMinMaxIndx_16u_C3CMR(const uint16_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, float* pMinVal, float* pMaxVal, ImagePoint* pMinIndex, ImagePoint* pMaxIndex);
ZUV_API Status zuviMinMaxIndx_32f_C3CMR(const float* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, float* pMinVal, float* pMaxVal, ImagePoint* pMinIndex, ImagePoint* pMaxIndex);

/* ======================================================================== */
/* Norms                                                                    */
/* ======================================================================== */

/* One 64f result through pNorm; M is the 8u mask (a pixel counts where its byte is
   non-zero). C3CMR forms measure channel coi (1..3) of three-channel pixels.
   Relative norms with a zero denominator give +inf (NaN when the numerator is
   zero too) and the warning StatusDivByZero. */

/* max |S| over the pixels whose mask byte is non-zero (0 when none is). */
ZUV_API Status zuviNorm_Inf_8u_C1MR(const uint8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pNorm);
ZUV_API Status zuviNorm_Inf_8u_C3CMR(const uint8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pNorm);
ZUV_API Status zuviNorm_Inf_16u_C1MR(const uint16_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pNorm);
ZUV_API Status zuviNorm_Inf_16u_C3CMR(const uint16_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pNorm);
ZUV_API Status zuviNorm_Inf_32f_C1MR(const float* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pNorm);
ZUV_API Status zuviNorm_Inf_32f_C3CMR(const float* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pNorm);

/* sum of |S| over the selected pixels, exact for 8u/16u. */
ZUV_API Status zuviNorm_L1_8u_C1MR(const uint8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pNorm);
ZUV_API Status zuviNorm_L1_8u_C3CMR(const uint8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pNorm);
ZUV_API Status zuviNorm_L1_16u_C1MR(const uint16_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pNorm);
ZUV_API Status zuviNorm_L1_16u_C3CMR(const uint16_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pNorm);
ZUV_API Status zuviNorm_L1_32f_C1MR(const float* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pNorm);
ZUV_API Status zuviNorm_L1_32f_C3CMR(const float* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pNorm);

/* sqrt(sum of S^2) over the selected pixels. */
ZUV_API Status zuviNorm_L2_8u_C1MR(const uint8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pNorm);
ZUV_API Status zuviNorm_L2_8u_C3CMR(const uint8_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pNorm);
ZUV_API Status zuviNorm_L2_16u_C1MR(const uint16_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pNorm);
ZUV_API Status zuviNorm_L2_16u_C3CMR(const uint16_t* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pNorm);
ZUV_API Status zuviNorm_L2_32f_C1MR(const float* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pNorm);
ZUV_API Status zuviNorm_L2_32f_C3CMR(const float* pSrc, int srcStep, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pNorm);

/* max |S1 - S2| over the selected pixels (0 when none is). */
ZUV_API Status zuviNormDiff_Inf_8u_C1MR(const uint8_t* pSrc1, int src1Step, const uint8_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pNorm);
ZUV_API Status zuviNormDiff_Inf_8u_C3CMR(const uint8_t* pSrc1, int src1Step, const uint8_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pNorm);
ZUV_API Status zuviNormDiff_Inf_16u_C1MR(const uint16_t* pSrc1, int src1Step, const uint16_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pNorm);
ZUV_API Status zuviNormDiff_Inf_16u_C3CMR(const uint16_t* pSrc1, int src1Step, const uint16_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pNorm);
ZUV_API Status zuviNormDiff_Inf_32f_C1MR(const float* pSrc1, int src1Step, const float* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pNorm);
ZUV_API Status zuviNormDiff_Inf_32f_C3CMR(const float* pSrc1, int src1Step, const float* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pNorm);

/* sum of |S1 - S2| over the selected pixels. */
ZUV_API Status zuviNormDiff_L1_8u_C1MR(const uint8_t* pSrc1, int src1Step, const uint8_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pNorm);
ZUV_API Status zuviNormDiff_L1_8u_C3CMR(const uint8_t* pSrc1, int src1Step, const uint8_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pNorm);
ZUV_API Status zuviNormDiff_L1_16u_C1MR(const uint16_t* pSrc1, int src1Step, const uint16_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pNorm);
ZUV_API Status zuviNormDiff_L1_16u_C3CMR(const uint16_t* pSrc1, int src1Step, const uint16_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pNorm);
ZUV_API Status zuviNormDiff_L1_32f_C1MR(const float* pSrc1, int src1Step, const float* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pNorm);
ZUV_API Status zuviNormDiff_L1_32f_C3CMR(const float* pSrc1, int src1Step, const float* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pNorm);

/* sqrt(sum of (S1 - S2)^2) over the selected pixels. */
ZUV_API Status zuviNormDiff_L2_8u_C1MR(const uint8_t* pSrc1, int src1Step, const uint8_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pNorm);
ZUV_API Status zuviNormDiff_L2_8u_C3CMR(const uint8_t* pSrc1, int src1Step, const uint8_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pNorm);
ZUV_API Status zuviNormDiff_L2_16u_C1MR(const uint16_t* pSrc1, int src1Step, const uint16_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pNorm);
ZUV_API Status zuviNormDiff_L2_16u_C3CMR(const uint16_t* pSrc1, int src1Step, const uint16_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pNorm);
ZUV_API Status zuviNormDiff_L2_32f_C1MR(const float* pSrc1, int src1Step, const float* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pNorm);
ZUV_API Status zuviNormDiff_L2_32f_C3CMR(const float* pSrc1, int src1Step, const float* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pNorm);

/* max |S1 - S2| / max |S2| over the selected pixels. */
ZUV_API Status zuviNormRel_Inf_8u_C1MR(const uint8_t* pSrc1, int src1Step, const uint8_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pNorm);
ZUV_API Status zuviNormRel_Inf_8u_C3CMR(const uint8_t* pSrc1, int src1Step, const uint8_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pNorm);
ZUV_API Status zuviNormRel_Inf_16u_C1MR(const uint16_t* pSrc1, int src1Step, const uint16_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pNorm);
ZUV_API Status zuviNormRel_Inf_16u_C3CMR(const uint16_t* pSrc1, int src1Step, const uint16_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pNorm);
ZUV_API Status zuviNormRel_Inf_32f_C1MR(const float* pSrc1, int src1Step, const float* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pNorm);
ZUV_API Status zuviNormRel_Inf_32f_C3CMR(const float* pSrc1, int src1Step, const float* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pNorm);

/* sum |S1 - S2| / sum |S2| over the selected pixels. */
ZUV_API Status zuviNormRel_L1_8u_C1MR(const uint8_t* pSrc1, int src1Step, const uint8_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pNorm);
ZUV_API Status zuviNormRel_L1_8u_C3CMR(const uint8_t* pSrc1, int src1Step, const uint8_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pNorm);
ZUV_API Status zuviNormRel_L1_16u_C1MR(const uint16_t* pSrc1, int src1Step, const uint16_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pNorm);
ZUV_API Status zuviNormRel_L1_16u_C3CMR(const uint16_t* pSrc1, int src1Step, const uint16_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pNorm);
ZUV_API Status zuviNormRel_L1_32f_C1MR(const float* pSrc1, int src1Step, const float* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pNorm);
ZUV_API Status zuviNormRel_L1_32f_C3CMR(const float* pSrc1, int src1Step, const float* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pNorm);

/* sqrt(sum (S1 - S2)^2 / sum S2^2) over the selected pixels. */
ZUV_API Status zuviNormRel_L2_8u_C1MR(const uint8_t* pSrc1, int src1Step, const uint8_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pNorm);
ZUV_API Status zuviNormRel_L2_8u_C3CMR(const uint8_t* pSrc1, int src1Step, const uint8_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pNorm);
ZUV_API Status zuviNormRel_L2_16u_C1MR(const uint16_t* pSrc1, int src1Step, const uint16_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pNorm);
ZUV_API Status zuviNormRel_L2_16u_C3CMR(const uint16_t* pSrc1, int src1Step, const uint16_t* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pNorm);
ZUV_API Status zuviNormRel_L2_32f_C1MR(const float* pSrc1, int src1Step, const float* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, double* pNorm);
ZUV_API Status zuviNormRel_L2_32f_C3CMR(const float* pSrc1, int src1Step, const float* pSrc2, int src2Step, const uint8_t* pMask, int maskStep, ImageSize roiSize, int coi, double* pNorm);

/* ======================================================================== */
/* Separable row and column pipelines                                       */
/* ======================================================================== */

/* Row pass: ppDst[y][x] = sum_j pKernel[j] * S(y, x - anchor + j) for the h rows of the
   region, the row extended left and right by borderType (0 constant borderValue,
   1 replicate, 3 mirror, 6 in memory; flags 0x40/0x80 read that side from memory).
   Integer forms: exact 32-bit sum (16u columns: float sum of float taps) times 1.0f/divisor, rounded to nearest
   even, saturated; Low forms: wrapping 16-bit sum s, (s * trunc(16384.0f/divisor)) >> 14,
   saturated. 32f stores the float sum. pBuffer: the size its query reports.
   Threaded 32f calls write the rows of threads other than the caller's with
   non-temporal stores (they are read next by the one-thread column pass). */
ZUV_API Status zuviFilterRowBorderPipeline_8u16s_C1R(const uint8_t* pSrc, int srcStep, int16_t* const* ppDst, ImageSize roiSize, const int16_t* pKernel, int kernelSize, int anchor, BorderType borderType, uint8_t borderValue, int divisor, uint8_t* pBuffer);
ZUV_API Status zuviFilterRowBorderPipeline_8u16s_C3R(const uint8_t* pSrc, int srcStep, int16_t* const* ppDst, ImageSize roiSize, const int16_t* pKernel, int kernelSize, int anchor, BorderType borderType, uint8_t borderValue, int divisor, uint8_t* pBuffer);
ZUV_API Status zuviFilterRowBorderPipeline_16s_C1R(const int16_t* pSrc, int srcStep, int16_t* const* ppDst, ImageSize roiSize, const int16_t* pKernel, int kernelSize, int anchor, BorderType borderType, int16_t borderValue, int divisor, uint8_t* pBuffer);
ZUV_API Status zuviFilterRowBorderPipeline_16s_C3R(const int16_t* pSrc, int srcStep, int16_t* const* ppDst, ImageSize roiSize, const int16_t* pKernel, int kernelSize, int anchor, BorderType borderType, int16_t borderValue, int divisor, uint8_t* pBuffer);
ZUV_API Status zuviFilterRowBorderPipeline_16u_C1R(const uint16_t* pSrc, int srcStep, uint16_t* const* ppDst, ImageSize roiSize, const uint16_t* pKernel, int kernelSize, int anchor, BorderType borderType, uint16_t borderValue, int divisor, uint8_t* pBuffer);
ZUV_API Status zuviFilterRowBorderPipeline_16u_C3R(const uint16_t* pSrc, int srcStep, uint16_t* const* ppDst, ImageSize roiSize, const uint16_t* pKernel, int kernelSize, int anchor, BorderType borderType, uint16_t borderValue, int divisor, uint8_t* pBuffer);
ZUV_API Status zuviFilterRowBorderPipeline_Low_16s_C1R(const int16_t* pSrc, int srcStep, int16_t* const* ppDst, ImageSize roiSize, const int16_t* pKernel, int kernelSize, int anchor, BorderType borderType, int16_t borderValue, int divisor, uint8_t* pBuffer);
ZUV_API Status zuviFilterRowBorderPipeline_Low_16s_C3R(const int16_t* pSrc, int srcStep, int16_t* const* ppDst, ImageSize roiSize, const int16_t* pKernel, int kernelSize, int anchor, BorderType borderType, int16_t borderValue, int divisor, uint8_t* pBuffer);
ZUV_API Status zuviFilterRowBorderPipeline_32f_C1R(const float* pSrc, int srcStep, float* const* ppDst, ImageSize roiSize, const float* pKernel, int kernelSize, int anchor, BorderType borderType, uint8_t* pBuffer, float borderValue);
ZUV_API Status zuviFilterRowBorderPipeline_32f_C3R(const float* pSrc, int srcStep, float* const* ppDst, ImageSize roiSize, const float* pKernel, int kernelSize, int anchor, BorderType borderType, uint8_t* pBuffer, float borderValue);

/* Column pass: pDst(y, x) = sum_j pKernel[j] * ppSrc[y + j][x] over h + kernelSize - 1
   caller rows (no border generated); scaling and rounding as in the row pass.
   The 32f forms write regions of at least 65536 pixels with non-temporal
   stores where a destination row starts on a 64-byte boundary. */
ZUV_API Status zuviFilterColumnPipeline_16s_C1R(const int16_t* const* ppSrc, int16_t* pDst, int dstStep, ImageSize roiSize, const int16_t* pKernel, int kernelSize, int divisor, uint8_t* pBuffer);
ZUV_API Status zuviFilterColumnPipeline_16s_C3R(const int16_t* const* ppSrc, int16_t* pDst, int dstStep, ImageSize roiSize, const int16_t* pKernel, int kernelSize, int divisor, uint8_t* pBuffer);
ZUV_API Status zuviFilterColumnPipeline_16u_C1R(const uint16_t* const* ppSrc, uint16_t* pDst, int dstStep, ImageSize roiSize, const uint16_t* pKernel, int kernelSize, int divisor, uint8_t* pBuffer);
ZUV_API Status zuviFilterColumnPipeline_16u_C3R(const uint16_t* const* ppSrc, uint16_t* pDst, int dstStep, ImageSize roiSize, const uint16_t* pKernel, int kernelSize, int divisor, uint8_t* pBuffer);
ZUV_API Status zuviFilterColumnPipeline_16s8u_C1R(const int16_t* const* ppSrc, uint8_t* pDst, int dstStep, ImageSize roiSize, const int16_t* pKernel, int kernelSize, int divisor, uint8_t* pBuffer);
ZUV_API Status zuviFilterColumnPipeline_16s8u_C3R(const int16_t* const* ppSrc, uint8_t* pDst, int dstStep, ImageSize roiSize, const int16_t* pKernel, int kernelSize, int divisor, uint8_t* pBuffer);
ZUV_API Status zuviFilterColumnPipeline_16s8s_C1R(const int16_t* const* ppSrc, int8_t* pDst, int dstStep, ImageSize roiSize, const int16_t* pKernel, int kernelSize, int divisor, uint8_t* pBuffer);
ZUV_API Status zuviFilterColumnPipeline_16s8s_C3R(const int16_t* const* ppSrc, int8_t* pDst, int dstStep, ImageSize roiSize, const int16_t* pKernel, int kernelSize, int divisor, uint8_t* pBuffer);
ZUV_API Status zuviFilterColumnPipeline_Low_16s_C1R(const int16_t* const* ppSrc, int16_t* pDst, int dstStep, ImageSize roiSize, const int16_t* pKernel, int kernelSize, int divisor, uint8_t* pBuffer);
ZUV_API Status zuviFilterColumnPipeline_Low_16s_C3R(const int16_t* const* ppSrc, int16_t* pDst, int dstStep, ImageSize roiSize, const int16_t* pKernel, int kernelSize, int divisor, uint8_t* pBuffer);
ZUV_API Status zuviFilterColumnPipeline_32f_C1R(const float* const* ppSrc, float* pDst, int dstStep, ImageSize roiSize, const float* pKernel, int kernelSize, uint8_t* pBuffer);
ZUV_API Status zuviFilterColumnPipeline_32f_C3R(const float* const* ppSrc, float* pDst, int dstStep, ImageSize roiSize, const float* pKernel, int kernelSize, uint8_t* pBuffer);

/* Buffer bytes of the matching pass for a region and kernel size; sizes of threaded
   forms hold for the permitted thread count at the time of the query. */
ZUV_API Status zuviFilterRowBorderPipelineGetBufferSize_8u16s_C1R(ImageSize roiSize, int kernelSize, int* pBufferSize);
ZUV_API Status zuviFilterRowBorderPipelineGetBufferSize_8u16s_C3R(ImageSize roiSize, int kernelSize, int* pBufferSize);
ZUV_API Status zuviFilterRowBorderPipelineGetBufferSize_16s_C1R(ImageSize roiSize, int kernelSize, int* pBufferSize);
ZUV_API Status zuviFilterRowBorderPipelineGetBufferSize_16s_C3R(ImageSize roiSize, int kernelSize, int* pBufferSize);
ZUV_API Status zuviFilterRowBorderPipelineGetBufferSize_16u_C1R(ImageSize roiSize, int kernelSize, int* pBufferSize);
ZUV_API Status zuviFilterRowBorderPipelineGetBufferSize_16u_C3R(ImageSize roiSize, int kernelSize, int* pBufferSize);
ZUV_API Status zuviFilterRowBorderPipelineGetBufferSize_Low_16s_C1R(ImageSize roiSize, int kernelSize, int* pBufferSize);
ZUV_API Status zuviFilterRowBorderPipelineGetBufferSize_Low_16s_C3R(ImageSize roiSize, int kernelSize, int* pBufferSize);
ZUV_API Status zuviFilterRowBorderPipelineGetBufferSize_32f_C1R(ImageSize roiSize, int kernelSize, int* pBufferSize);
ZUV_API Status zuviFilterRowBorderPipelineGetBufferSize_32f_C3R(ImageSize roiSize, int kernelSize, int* pBufferSize);
ZUV_API Status zuviFilterColumnPipelineGetBufferSize_16s_C1R(ImageSize roiSize, int kernelSize, int* pBufferSize);
ZUV_API Status zuviFilterColumnPipelineGetBufferSize_16s_C3R(ImageSize roiSize, int kernelSize, int* pBufferSize);
ZUV_API Status zuviFilterColumnPipelineGetBufferSize_16u_C1R(ImageSize roiSize, int kernelSize, int* pBufferSize);
ZUV_API Status zuviFilterColumnPipelineGetBufferSize_16u_C3R(ImageSize roiSize, int kernelSize, int* pBufferSize);
ZUV_API Status zuviFilterColumnPipelineGetBufferSize_16s8u_C1R(ImageSize roiSize, int kernelSize, int* pBufferSize);
ZUV_API Status zuviFilterColumnPipelineGetBufferSize_16s8u_C3R(ImageSize roiSize, int kernelSize, int* pBufferSize);
ZUV_API Status zuviFilterColumnPipelineGetBufferSize_16s8s_C1R(ImageSize roiSize, int kernelSize, int* pBufferSize);
ZUV_API Status zuviFilterColumnPipelineGetBufferSize_16s8s_C3R(ImageSize roiSize, int kernelSize, int* pBufferSize);
ZUV_API Status zuviFilterColumnPipelineGetBufferSize_Low_16s_C1R(ImageSize roiSize, int kernelSize, int* pBufferSize);
ZUV_API Status zuviFilterColumnPipelineGetBufferSize_Low_16s_C3R(ImageSize roiSize, int kernelSize, int* pBufferSize);
ZUV_API Status zuviFilterColumnPipelineGetBufferSize_32f_C1R(ImageSize roiSize, int kernelSize, int* pBufferSize);
ZUV_API Status zuviFilterColumnPipelineGetBufferSize_32f_C3R(ImageSize roiSize, int kernelSize, int* pBufferSize);

/* ======================================================================== */
/* Fixed-kernel filters                                                     */
/* ======================================================================== */

/* Fixed 3x3 (mask 33) or 5x5 (mask 55) filters. Border: mode 0, 1, 3 or 6
   with the in-memory side flags 0x10..0x80 (other modes: -5); borderValue is
   the constant of mode 0 (last, as a float parameter, in the 32f forms). pBuffer holds the size the matching query reports
   (valid for the thread count it was computed with). */

/* Cross derivative: mask -a[j]*a[i], a = (-1, 0, 1) or (-1, -2, 0, 2, 1);
   8u16s exact, 32f single-precision sums. */
ZUV_API Status zuviFilterSobelCrossBorder_8u16s_C1R(const uint8_t* pSrc, int srcStep, int16_t* pDst, int dstStep, ImageSize roiSize, MaskSize mask, BorderType borderType, uint8_t borderValue, uint8_t* pBuffer);
ZUV_API Status zuviFilterSobelCrossBorder_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, MaskSize mask, BorderType borderType, uint8_t* pBuffer, float borderValue);
/* Laplacian: (2 0 2 / 0 -8 0 / 2 0 2) or the 5x5 mask with corner 2 and centre -24. */
ZUV_API Status zuviFilterLaplacianBorder_8u16s_C1R(const uint8_t* pSrc, int srcStep, int16_t* pDst, int dstStep, ImageSize roiSize, MaskSize mask, BorderType borderType, uint8_t borderValue, uint8_t* pBuffer);
ZUV_API Status zuviFilterLaplacianBorder_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, MaskSize mask, BorderType borderType, uint8_t* pBuffer, float borderValue);
/* Box mean: 8u ((S9 + 5) * 7280) >> 16 or (S25 * 2621) >> 16; 32f S9 * 0.11111111f or S25 * 0.04f. */
ZUV_API Status zuviFilterLowpassBorder_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, MaskSize mask, BorderType borderType, uint8_t borderValue, uint8_t* pBuffer);
ZUV_API Status zuviFilterLowpassBorder_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, MaskSize mask, BorderType borderType, uint8_t* pBuffer, float borderValue);

/* Buffer bytes of the filters above for a region and mask. */
ZUV_API Status zuviFilterSobelCrossGetBufferSize_8u16s_C1R(ImageSize roiSize, MaskSize mask, int* pBufferSize);
ZUV_API Status zuviFilterSobelCrossGetBufferSize_32f_C1R(ImageSize roiSize, MaskSize mask, int* pBufferSize);
ZUV_API Status zuviFilterLaplacianGetBufferSize_8u16s_C1R(ImageSize roiSize, MaskSize mask, int* pBufferSize);
ZUV_API Status zuviFilterLaplacianGetBufferSize_32f_C1R(ImageSize roiSize, MaskSize mask, int* pBufferSize);
ZUV_API Status zuviFilterLowpassGetBufferSize_8u_C1R(ImageSize roiSize, MaskSize mask, int* pBufferSize);
ZUV_API Status zuviFilterLowpassGetBufferSize_32f_C1R(ImageSize roiSize, MaskSize mask, int* pBufferSize);

/* n Sobel-type taps of derivative order d (n odd, 0 <= d < n): binomial
   smoothing passes then differencing passes; negated when sign < 0. */
ZUV_API Status zuviGenSobelKernel_16s(int16_t* pDst, int kernelSize, int order, int sign);
ZUV_API Status zuviGenSobelKernel_32f(float* pDst, int kernelSize, int order, int sign);

/* ======================================================================== */
/* Gaussian filter                                                          */
/* ======================================================================== */

/* State block of the Gaussian filter, laid out by zuviFilterGaussianInit in caller memory. */
typedef struct GaussianSpec GaussianSpec;

/* Bytes of the state block (32k + 32 for 32f, 16k + 36 otherwise) and of the
   work buffer for a region, odd kernel size k >= 3, data type (1, 5, 7, 13)
   and 1 or 3 channels; the buffer size depends on the thread count. */
ZUV_API Status zuviFilterGaussianGetBufferSize(ImageSize roiSize, int kernelSize, DataType dataType, int numChannels, int* pSpecSize, int* pBufferSize);
/* Taps exp(-t^2 / (2 sigma^2)) normalised, for t = -k/2 .. k/2: 12-bit fixed
   point for 8u, 15-bit for 16u and 16s, floats for 32f; sigma > 0; border
   mode 0, 1, 3 or 6 with the in-memory flags. */
ZUV_API Status zuviFilterGaussianInit(ImageSize roiSize, int kernelSize, BorderType borderType, DataType dataType, int numChannels, GaussianSpec* pSpec, uint8_t* pBuffer, float sigma);
/* Separable Gaussian blur with the border of the state block; borderValue is
   the constant of mode 0 (one value per channel for C3). Regions of at least
   32768 pixels per permitted thread run as row stripes, one per thread: the
   calling thread works in pBuffer, the others in up to 1 MiB of their own
   stack (nothing is allocated; wider rows run on one thread, and a stripe
   whose thread lacks the stack is run by the calling thread; results do not
   depend on the thread count); float destinations of at least 65536 pixels
   are written with non-temporal stores, so they are not left in the caches.
   The buffer query refuses sizes above 2147483647 bytes (StatusSizeOverflow). */
ZUV_API Status zuviFilterGaussianBorder_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, uint8_t borderValue, const GaussianSpec* pSpec, uint8_t* pBuffer);
ZUV_API Status zuviFilterGaussianBorder_8u_C3R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, const uint8_t borderValue[3], const GaussianSpec* pSpec, uint8_t* pBuffer);
ZUV_API Status zuviFilterGaussianBorder_16u_C1R(const uint16_t* pSrc, int srcStep, uint16_t* pDst, int dstStep, ImageSize roiSize, uint16_t borderValue, const GaussianSpec* pSpec, uint8_t* pBuffer);
ZUV_API Status zuviFilterGaussianBorder_16u_C3R(const uint16_t* pSrc, int srcStep, uint16_t* pDst, int dstStep, ImageSize roiSize, const uint16_t borderValue[3], const GaussianSpec* pSpec, uint8_t* pBuffer);
ZUV_API Status zuviFilterGaussianBorder_16s_C1R(const int16_t* pSrc, int srcStep, int16_t* pDst, int dstStep, ImageSize roiSize, int16_t borderValue, const GaussianSpec* pSpec, uint8_t* pBuffer);
ZUV_API Status zuviFilterGaussianBorder_16s_C3R(const int16_t* pSrc, int srcStep, int16_t* pDst, int dstStep, ImageSize roiSize, const int16_t borderValue[3], const GaussianSpec* pSpec, uint8_t* pBuffer);
ZUV_API Status zuviFilterGaussianBorder_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, const GaussianSpec* pSpec, uint8_t* pBuffer, float borderValue);
ZUV_API Status zuviFilterGaussianBorder_32f_C3R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, const float borderValue[3], const GaussianSpec* pSpec, uint8_t* pBuffer);

/* ======================================================================== */
/* Morphology                                                               */
/* ======================================================================== */

/* Flat erosion and dilation by a mask of maskSize bytes (non-zero = member),
   anchor ((maskWidth - 1) / 2, (maskHeight - 1) / 2):
   erode D(x, y) = min, dilate = max, of S'(x + i - ax, y + j - ay) over the
   members (i, j), S' being the source extended by the border rule
   (BorderConst, BorderRepl, BorderMirror, BorderInMem and the in-memory side
   flags; 1u: no BorderMirror). 1u images are bit-packed, the most significant
   bit of a byte first, from a bit offset; erosion ANDs and dilation ORs.
   An empty mask copies. GetSize reports the state and work-buffer bytes for a
   maximum ROI width; Init lays out the state (wider ROIs are refused later).
   16u, 16s and 1u refuse pSrc == pDst; 8u and 32f work in place. A C3/C4
   border value array is needed (else StatusNullPointer) where BorderConst
   generates some side. */
typedef struct MorphState MorphState;
ZUV_API Status zuviMorphologyBorderGetSize_8u_C1R(ImageSize roiSize, ImageSize maskSize, int32_t* pSpecSize, int32_t* pBufferSize);
ZUV_API Status zuviMorphologyBorderGetSize_8u_C3R(ImageSize roiSize, ImageSize maskSize, int32_t* pSpecSize, int32_t* pBufferSize);
ZUV_API Status zuviMorphologyBorderGetSize_8u_C4R(ImageSize roiSize, ImageSize maskSize, int32_t* pSpecSize, int32_t* pBufferSize);
ZUV_API Status zuviMorphologyBorderGetSize_32f_C1R(ImageSize roiSize, ImageSize maskSize, int32_t* pSpecSize, int32_t* pBufferSize);
ZUV_API Status zuviMorphologyBorderGetSize_32f_C3R(ImageSize roiSize, ImageSize maskSize, int32_t* pSpecSize, int32_t* pBufferSize);
ZUV_API Status zuviMorphologyBorderGetSize_32f_C4R(ImageSize roiSize, ImageSize maskSize, int32_t* pSpecSize, int32_t* pBufferSize);
ZUV_API Status zuviMorphologyBorderGetSize_16u_C1R(ImageSize roiSize, ImageSize maskSize, int32_t* pSpecSize, int32_t* pBufferSize);
ZUV_API Status zuviMorphologyBorderGetSize_16s_C1R(ImageSize roiSize, ImageSize maskSize, int32_t* pSpecSize, int32_t* pBufferSize);
ZUV_API Status zuviMorphologyBorderGetSize_1u_C1R(ImageSize roiSize, ImageSize maskSize, int32_t* pSpecSize, int32_t* pBufferSize);
ZUV_API Status zuviMorphologyBorderInit_8u_C1R(ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize, MorphState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphologyBorderInit_8u_C3R(ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize, MorphState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphologyBorderInit_8u_C4R(ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize, MorphState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphologyBorderInit_32f_C1R(ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize, MorphState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphologyBorderInit_32f_C3R(ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize, MorphState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphologyBorderInit_32f_C4R(ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize, MorphState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphologyBorderInit_16u_C1R(ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize, MorphState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphologyBorderInit_16s_C1R(ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize, MorphState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphologyBorderInit_1u_C1R(ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize, MorphState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviErodeBorder_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, BorderType borderType, uint8_t borderValue, const MorphState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviErodeBorder_8u_C3R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, BorderType borderType, const uint8_t borderValue[3], const MorphState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviErodeBorder_8u_C4R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, BorderType borderType, const uint8_t borderValue[4], const MorphState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviErodeBorder_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, BorderType borderType, const MorphState* pMorphSpec, uint8_t* pBuffer, float borderValue);
ZUV_API Status zuviErodeBorder_32f_C3R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, BorderType borderType, const float borderValue[3], const MorphState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviErodeBorder_32f_C4R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, BorderType borderType, const float borderValue[4], const MorphState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviErodeBorder_16u_C1R(const uint16_t* pSrc, int srcStep, uint16_t* pDst, int dstStep, ImageSize roiSize, BorderType borderType, uint16_t borderValue, const MorphState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviErodeBorder_16s_C1R(const int16_t* pSrc, int srcStep, int16_t* pDst, int dstStep, ImageSize roiSize, BorderType borderType, int16_t borderValue, const MorphState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviErodeBorder_1u_C1R(const uint8_t* pSrc, int srcStep, int srcBitOffset, uint8_t* pDst, int dstStep, int dstBitOffset, ImageSize roiSize, BorderType borderType, uint8_t borderValue, const MorphState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviDilateBorder_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, BorderType borderType, uint8_t borderValue, const MorphState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviDilateBorder_8u_C3R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, BorderType borderType, const uint8_t borderValue[3], const MorphState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviDilateBorder_8u_C4R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, BorderType borderType, const uint8_t borderValue[4], const MorphState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviDilateBorder_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, BorderType borderType, const MorphState* pMorphSpec, uint8_t* pBuffer, float borderValue);
ZUV_API Status zuviDilateBorder_32f_C3R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, BorderType borderType, const float borderValue[3], const MorphState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviDilateBorder_32f_C4R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, BorderType borderType, const float borderValue[4], const MorphState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviDilateBorder_16u_C1R(const uint16_t* pSrc, int srcStep, uint16_t* pDst, int dstStep, ImageSize roiSize, BorderType borderType, uint16_t borderValue, const MorphState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviDilateBorder_16s_C1R(const int16_t* pSrc, int srcStep, int16_t* pDst, int dstStep, ImageSize roiSize, BorderType borderType, int16_t borderValue, const MorphState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviDilateBorder_1u_C1R(const uint8_t* pSrc, int srcStep, int srcBitOffset, uint8_t* pDst, int dstStep, int dstBitOffset, ImageSize roiSize, BorderType borderType, uint8_t borderValue, const MorphState* pMorphSpec, uint8_t* pBuffer);

/* ======================================================================== */
/* Compound and gray-scale morphology                                       */
/* ======================================================================== */

/* With E and D the erosion and dilation above (same mask, border and border
   value; borders BorderConst, BorderRepl, BorderInMem and the side flags, no
   BorderMirror): Open = D(E(S)), Close = E(D(S)), Tophat = S - Open,
   Blackhat = Close - S, Gradient = D(S) - E(S). Integer subtractions saturate
   (1u: AND NOT); 32f sets negative differences to 0. The intermediate image
   lives in the work buffer; with in-memory sides it is grown by the mask so the
   second pass reads true first-pass values there. GetSize and Init return
   StatusSizeOverflow when a size leaves the int range (Init before writing). */
typedef struct MorphAdvState MorphAdvState;
ZUV_API Status zuviMorphAdvGetSize_8u_C1R(ImageSize roiSize, ImageSize maskSize, int32_t* pSpecSize, int32_t* pBufferSize);
ZUV_API Status zuviMorphAdvGetSize_8u_C3R(ImageSize roiSize, ImageSize maskSize, int32_t* pSpecSize, int32_t* pBufferSize);
ZUV_API Status zuviMorphAdvGetSize_8u_C4R(ImageSize roiSize, ImageSize maskSize, int32_t* pSpecSize, int32_t* pBufferSize);
ZUV_API Status zuviMorphAdvGetSize_32f_C1R(ImageSize roiSize, ImageSize maskSize, int32_t* pSpecSize, int32_t* pBufferSize);
ZUV_API Status zuviMorphAdvGetSize_32f_C3R(ImageSize roiSize, ImageSize maskSize, int32_t* pSpecSize, int32_t* pBufferSize);
ZUV_API Status zuviMorphAdvGetSize_32f_C4R(ImageSize roiSize, ImageSize maskSize, int32_t* pSpecSize, int32_t* pBufferSize);
ZUV_API Status zuviMorphAdvGetSize_16u_C1R(ImageSize roiSize, ImageSize maskSize, int32_t* pSpecSize, int32_t* pBufferSize);
ZUV_API Status zuviMorphAdvGetSize_16s_C1R(ImageSize roiSize, ImageSize maskSize, int32_t* pSpecSize, int32_t* pBufferSize);
ZUV_API Status zuviMorphAdvGetSize_1u_C1R(ImageSize roiSize, ImageSize maskSize, int32_t* pSpecSize, int32_t* pBufferSize);
ZUV_API Status zuviMorphAdvInit_8u_C1R(ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize, MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphAdvInit_8u_C3R(ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize, MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphAdvInit_8u_C4R(ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize, MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphAdvInit_32f_C1R(ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize, MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphAdvInit_32f_C3R(ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize, MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphAdvInit_32f_C4R(ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize, MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphAdvInit_16u_C1R(ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize, MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphAdvInit_16s_C1R(ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize, MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphAdvInit_1u_C1R(ImageSize roiSize, const uint8_t* pMask, ImageSize maskSize, MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphOpenBorder_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, BorderType borderType, uint8_t borderValue, const MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphOpenBorder_8u_C3R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, BorderType borderType, const uint8_t borderValue[3], const MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphOpenBorder_8u_C4R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, BorderType borderType, const uint8_t borderValue[4], const MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphOpenBorder_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, BorderType borderType, const MorphAdvState* pMorphSpec, uint8_t* pBuffer, float borderValue);
ZUV_API Status zuviMorphOpenBorder_32f_C3R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, BorderType borderType, const float borderValue[3], const MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphOpenBorder_32f_C4R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, BorderType borderType, const float borderValue[4], const MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphOpenBorder_16u_C1R(const uint16_t* pSrc, int srcStep, uint16_t* pDst, int dstStep, ImageSize roiSize, BorderType borderType, uint16_t borderValue, const MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphOpenBorder_16s_C1R(const int16_t* pSrc, int srcStep, int16_t* pDst, int dstStep, ImageSize roiSize, BorderType borderType, int16_t borderValue, const MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphOpenBorder_1u_C1R(const uint8_t* pSrc, int srcStep, int srcBitOffset, uint8_t* pDst, int dstStep, int dstBitOffset, ImageSize roiSize, BorderType borderType, uint8_t borderValue, const MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphCloseBorder_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, BorderType borderType, uint8_t borderValue, const MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphCloseBorder_8u_C3R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, BorderType borderType, const uint8_t borderValue[3], const MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphCloseBorder_8u_C4R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, BorderType borderType, const uint8_t borderValue[4], const MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphCloseBorder_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, BorderType borderType, const MorphAdvState* pMorphSpec, uint8_t* pBuffer, float borderValue);
ZUV_API Status zuviMorphCloseBorder_32f_C3R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, BorderType borderType, const float borderValue[3], const MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphCloseBorder_32f_C4R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, BorderType borderType, const float borderValue[4], const MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphCloseBorder_16u_C1R(const uint16_t* pSrc, int srcStep, uint16_t* pDst, int dstStep, ImageSize roiSize, BorderType borderType, uint16_t borderValue, const MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphCloseBorder_16s_C1R(const int16_t* pSrc, int srcStep, int16_t* pDst, int dstStep, ImageSize roiSize, BorderType borderType, int16_t borderValue, const MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphCloseBorder_1u_C1R(const uint8_t* pSrc, int srcStep, int srcBitOffset, uint8_t* pDst, int dstStep, int dstBitOffset, ImageSize roiSize, BorderType borderType, uint8_t borderValue, const MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphTophatBorder_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, BorderType borderType, uint8_t borderValue, const MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphTophatBorder_8u_C3R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, BorderType borderType, const uint8_t borderValue[3], const MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphTophatBorder_8u_C4R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, BorderType borderType, const uint8_t borderValue[4], const MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphTophatBorder_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, BorderType borderType, const MorphAdvState* pMorphSpec, uint8_t* pBuffer, float borderValue);
ZUV_API Status zuviMorphTophatBorder_32f_C3R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, BorderType borderType, const float borderValue[3], const MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphTophatBorder_32f_C4R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, BorderType borderType, const float borderValue[4], const MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphTophatBorder_16u_C1R(const uint16_t* pSrc, int srcStep, uint16_t* pDst, int dstStep, ImageSize roiSize, BorderType borderType, uint16_t borderValue, const MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphTophatBorder_16s_C1R(const int16_t* pSrc, int srcStep, int16_t* pDst, int dstStep, ImageSize roiSize, BorderType borderType, int16_t borderValue, const MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphTophatBorder_1u_C1R(const uint8_t* pSrc, int srcStep, int srcBitOffset, uint8_t* pDst, int dstStep, int dstBitOffset, ImageSize roiSize, BorderType borderType, uint8_t borderValue, const MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphBlackhatBorder_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, BorderType borderType, uint8_t borderValue, const MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphBlackhatBorder_8u_C3R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, BorderType borderType, const uint8_t borderValue[3], const MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphBlackhatBorder_8u_C4R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, BorderType borderType, const uint8_t borderValue[4], const MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphBlackhatBorder_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, BorderType borderType, const MorphAdvState* pMorphSpec, uint8_t* pBuffer, float borderValue);
ZUV_API Status zuviMorphBlackhatBorder_32f_C3R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, BorderType borderType, const float borderValue[3], const MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphBlackhatBorder_32f_C4R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, BorderType borderType, const float borderValue[4], const MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphBlackhatBorder_16u_C1R(const uint16_t* pSrc, int srcStep, uint16_t* pDst, int dstStep, ImageSize roiSize, BorderType borderType, uint16_t borderValue, const MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphBlackhatBorder_16s_C1R(const int16_t* pSrc, int srcStep, int16_t* pDst, int dstStep, ImageSize roiSize, BorderType borderType, int16_t borderValue, const MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphBlackhatBorder_1u_C1R(const uint8_t* pSrc, int srcStep, int srcBitOffset, uint8_t* pDst, int dstStep, int dstBitOffset, ImageSize roiSize, BorderType borderType, uint8_t borderValue, const MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphGradientBorder_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, BorderType borderType, uint8_t borderValue, const MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphGradientBorder_8u_C3R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, BorderType borderType, const uint8_t borderValue[3], const MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphGradientBorder_8u_C4R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, BorderType borderType, const uint8_t borderValue[4], const MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphGradientBorder_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, BorderType borderType, const MorphAdvState* pMorphSpec, uint8_t* pBuffer, float borderValue);
ZUV_API Status zuviMorphGradientBorder_32f_C3R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, BorderType borderType, const float borderValue[3], const MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphGradientBorder_32f_C4R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, BorderType borderType, const float borderValue[4], const MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphGradientBorder_16u_C1R(const uint16_t* pSrc, int srcStep, uint16_t* pDst, int dstStep, ImageSize roiSize, BorderType borderType, uint16_t borderValue, const MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphGradientBorder_16s_C1R(const int16_t* pSrc, int srcStep, int16_t* pDst, int dstStep, ImageSize roiSize, BorderType borderType, int16_t borderValue, const MorphAdvState* pMorphSpec, uint8_t* pBuffer);
ZUV_API Status zuviMorphGradientBorder_1u_C1R(const uint8_t* pSrc, int srcStep, int srcBitOffset, uint8_t* pDst, int dstStep, int dstBitOffset, ImageSize roiSize, BorderType borderType, uint8_t borderValue, const MorphAdvState* pMorphSpec, uint8_t* pBuffer);

/* Gray-scale erosion (min) and dilation (max) of S + M over the mask positions
   whose pixel lies inside the ROI (the window is cut at the edges; only
   BorderRepl is accepted, with or without in-memory flags). 8u: sums in
   32-bit integers clamped to 0..255, mask values int32; 32f: float sums,
   float mask. The state is 4 * maskWidth * maskHeight + 32 bytes. */
typedef struct MorphGrayState MorphGrayState;
ZUV_API Status zuviMorphGrayGetSize_8u_C1R(ImageSize roiSize, const int32_t* pMask, ImageSize maskSize, int32_t* pSize);
ZUV_API Status zuviMorphGrayGetSize_32f_C1R(ImageSize roiSize, const float* pMask, ImageSize maskSize, int32_t* pSize);
ZUV_API Status zuviMorphGrayInit_8u_C1R(MorphGrayState* pState, ImageSize roiSize, const int32_t* pMask, ImageSize maskSize, ImagePoint anchor);
ZUV_API Status zuviMorphGrayInit_32f_C1R(MorphGrayState* pState, ImageSize roiSize, const float* pMask, ImageSize maskSize, ImagePoint anchor);
ZUV_API Status zuviGrayErodeBorder_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, BorderType borderType, const MorphGrayState* pState);
ZUV_API Status zuviGrayErodeBorder_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, BorderType borderType, const MorphGrayState* pState);
ZUV_API Status zuviGrayDilateBorder_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, BorderType borderType, const MorphGrayState* pState);
ZUV_API Status zuviGrayDilateBorder_32f_C1R(const float* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize, BorderType borderType, const MorphGrayState* pState);

/* ======================================================================== */
/* Canny edge detection                                                     */
/* ======================================================================== */

/* Work-buffer bytes of zuviCanny_16s8u_C1R / zuviCanny_32f8u_C1R for a region:
   (w + 2)(h + 2) * 5 + 16w + 160, or * 9 when w or h reaches 65533. */
ZUV_API Status zuviCannyGetSize(ImageSize roiSize, int32_t* pBufferSize);
/* Canny edges (255, else 0) from 16s derivatives: magnitude |dx| + |dy| saturated
   to 65535, candidates above trunc(low), seeds above trunc(high), 8-connected hysteresis. */
ZUV_API Status zuviCanny_16s8u_C1R(const int16_t* pSrcDx, int srcDxStep, const int16_t* pSrcDy, int srcDyStep, uint8_t* pDst, int dstStep, ImageSize roiSize, uint8_t* pBuffer, float lowThresh, float highThresh);
/* The same from 32f derivatives: magnitude |dx| + |dy|, candidates >= low, seeds > high. */
ZUV_API Status zuviCanny_32f8u_C1R(const float* pSrcDx, int srcDxStep, const float* pSrcDy, int srcDyStep, uint8_t* pDst, int dstStep, ImageSize roiSize, uint8_t* pBuffer, float lowThresh, float highThresh);
/* Work-buffer bytes of zuviCannyBorder_8u_C1R for a region and mask size
   (filterKind and the last value are not examined). */
ZUV_API Status zuviCannyBorderGetSize(ImageSize roiSize, DifferentialKernel filterKind, MaskSize maskSize, int32_t dataType, int32_t* pBufferSize);
/* Canny edges of an 8u image: Sobel 3x3/5x5 or Scharr 3x3 derivatives, L1 or L2 magnitude,
   candidates > low, seeds > high. Sides flagged in memory are read; other sides replicate
   (mode 1) or take borderValue (modes 0 and 6). */
ZUV_API Status zuviCannyBorder_8u_C1R(const uint8_t* pSrc, int srcStep, uint8_t* pDst, int dstStep, ImageSize roiSize, DifferentialKernel filterKind, MaskSize maskSize, BorderType borderType, uint8_t borderValue, NormType norm, uint8_t* pBuffer, float lowThresh, float highThresh);

#ifdef __cplusplus
}
#endif

#endif /* ZUVCV_H */
