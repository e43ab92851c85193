#pragma once
// Helpers shared by the tests: temporary folders and picture comparison.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "imaging/bitmap24.h"
#include "imaging/bitmap8.h"

namespace clipora::test {

// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Passes when both have the same size and pixels; otherwise names the
// size difference or the first differing pixel and channel.
::testing::AssertionResult samePixels(const Bitmap24& expected, const Bitmap24& actual);
::testing::AssertionResult sameIndices(const Bitmap8& expected, const Bitmap8& actual);

// A picture of the given size with pixels from a seeded generator; smooth
// gradients with noise, like a photo.
Bitmap24 photoLike(int width, int height, std::uint32_t seed);
// Every byte random.
Bitmap24 randomBitmap(int width, int height, std::uint32_t seed);
// Each pixel from a function of (x, y) returning 0x00RRGGBB.
Bitmap24 makeBitmap(int width, int height, const std::function<std::uint32_t(int, int)>& colour);
// 0x00RRGGBB of pixel (x, y).
std::uint32_t rgbAt(const Bitmap24& bitmap, int x, int y);

std::string readText(const std::string& path);
void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace clipora::test
