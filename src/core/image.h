// SPDX-License-Identifier: BSD-3-Clause
// Row addressing of strided images.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace zuv {

// Row y of an image whose rows are `step` bytes apart.
template <class T>
inline T* row_at(T* base, int step, int y) {
  using Byte = std::conditional_t<std::is_const_v<T>, const unsigned char, unsigned char>;
  return reinterpret_cast<T*>(reinterpret_cast<Byte*>(base) + std::ptrdiff_t(step) * y);
}

}  // namespace zuv
