#pragma once
// Guards against pictures whose declared size would exhaust memory.

#include <cstdint>

namespace clipora {

// Largest side and pixel count a reader accepts. 150 megapixels admits
// 100-megapixel photos with room to spare and keeps a 24-bit copy under
// 450 MB, so that decoding the largest picture stays well within 2 GB.
inline constexpr std::int64_t maxPictureSide = 100000;
inline constexpr std::int64_t maxPicturePixels = 150'000'000;
// Working memory libjpeg may take besides the picture (a progressive file
// keeps every coefficient until its last scan).
inline constexpr long maxJpegWorkingMemory = 1'000'000'000;

// Throws ImagingError ("画像が大きすぎます") when a picture of this size may
// not be allocated; also refuses negative sizes.
void checkPictureSize(std::int64_t width, std::int64_t height);

}  // namespace clipora
