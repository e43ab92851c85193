#include "testsupport.h"

#include "imaging/colour.h"

#include <fstream>
#include <random>
#include <sstream>

namespace clipora::test {

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "clipora-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a temporary folder");
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(path_, ignored);
}

::testing::AssertionResult samePixels(const Bitmap24& expected, const Bitmap24& actual)
{
    if (expected.width() != actual.width() || expected.height() != actual.height())
        return ::testing::AssertionFailure() << "size " << actual.width() << "x" << actual.height() << ", expected "
                                             << expected.width() << "x" << expected.height();
    static const char* channel[] = {"blue", "green", "red"};
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x)
            for (int c = 0; c < 3; ++c)
                if (expected.pixel(x, y)[c] != actual.pixel(x, y)[c])
                    return ::testing::AssertionFailure()
                           << "first difference at pixel (" << x << ", " << y << ") " << channel[c] << ": "
                           << int(actual.pixel(x, y)[c]) << ", expected " << int(expected.pixel(x, y)[c]);
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult sameIndices(const Bitmap8& expected, const Bitmap8& actual)
{
    if (expected.width() != actual.width() || expected.height() != actual.height())
        return ::testing::AssertionFailure() << "size " << actual.width() << "x" << actual.height() << ", expected "
                                             << expected.width() << "x" << expected.height();
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x)
            if (expected.row(y)[x] != actual.row(y)[x])
                return ::testing::AssertionFailure() << "first difference at pixel (" << x << ", " << y
                                                     << "): index " << int(actual.row(y)[x]) << ", expected "
                                                     << int(expected.row(y)[x]);
    return ::testing::AssertionSuccess();
}

Bitmap24 makeBitmap(int width, int height, const std::function<std::uint32_t(int, int)>& colour)
{
    Bitmap24 b(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            Rgb::fromHex(colour(x, y)).storeInPixel(b.pixel(x, y));
    return b;
}

Bitmap24 photoLike(int width, int height, std::uint32_t seed)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> noise(-12, 12);
    auto clamp = [](int v) { return static_cast<std::uint32_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
    return makeBitmap(width, height, [&](int x, int y) {
        const int r = (x * 255) / std::max(1, width - 1) + noise(random);
        const int g = (y * 255) / std::max(1, height - 1) + noise(random);
        const int b = ((x + y) * 127) / std::max(1, width + height - 2) + 64 + noise(random);
        return (clamp(r) << 16) | (clamp(g) << 8) | clamp(b);
    });
}

Bitmap24 randomBitmap(int width, int height, std::uint32_t seed)
{
    std::mt19937 random(seed);
    return makeBitmap(width, height, [&](int, int) { return static_cast<std::uint32_t>(random() & 0xFFFFFF); });
}

std::uint32_t rgbAt(const Bitmap24& bitmap, int x, int y)
{
    return Rgb::ofPixel(bitmap.pixel(x, y)).hex();
}

std::string readText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace clipora::test
