// SPDX-License-Identifier: BSD-3-Clause
// OpenCV matrices over the tool's images, for side-by-side timings (no copies).
#pragma once

#ifdef ZUV_HAVE_OPENCV
#include <opencv2/core.hpp>

#include "image.h"

namespace zuvcv {

inline cv::Mat as_mat(const Image& img) {
  int depth = CV_8U;
  switch (img.pixel) {
    case Pixel::U8: depth = CV_8U; break;
    case Pixel::U16: depth = CV_16U; break;
    case Pixel::S16: depth = CV_16S; break;
    case Pixel::S32: depth = CV_32S; break;
    case Pixel::F32: depth = CV_32F; break;
  }
  return cv::Mat(img.height, img.width, CV_MAKETYPE(depth, img.channels),
                 const_cast<uint8_t*>(img.bytes.data()), size_t(img.step));
}

}  // namespace zuvcv
#endif
