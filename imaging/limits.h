#pragma once
// Guards against pictures whose declared size would exhaust memory.

#include <cstdint>

namespace clipora {

// Largest side and pixel count a reader accepts. 300 megapixels admits
// 100-megapixel photos with room to spare, and keeps a 24-bit copy under 1 GB.
inline constexpr std::int64_t maxPictureSide = 100000;
inline constexpr std::int64_t maxPicturePixels = 300'000'000;

// Throws ImagingError ("画像が大きすぎます") when a picture of this size may
// not be allocated; also refuses negative sizes.
void checkPictureSize(std::int64_t width, std::int64_t height);

}  // namespace clipora
