// The clipboard's quick PNG: whatever the size, the number of threads and
// bands, a PNG reader gets the picture back, and the joined zlib stream is
// whole (its Adler-32 and its end).

#include <gtest/gtest.h>

#include <zlib.h>

#include <random>
#include <string>

#include "imaging/codecs.h"
#include "imaging/errors.h"
#include "imaging/quickpng.h"
#include "tests/support/testsupport.h"

using namespace clipora;

namespace {

std::uint32_t be32(const std::uint8_t* p) { return std::uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

// The IDAT chunks' data joined, after checking every chunk's CRC.
::testing::AssertionResult idatStream(const Bytes& png, Bytes& stream)
{
    stream.clear();
    for (std::size_t at = 8; at + 12 <= png.size();) {
        const std::uint32_t length = be32(&png[at]);
        if (at + 12 + length > png.size())
            return ::testing::AssertionFailure() << "chunk at " << at << " runs past the end";
        const std::uint32_t crc = static_cast<std::uint32_t>(crc32(0, &png[at + 4], length + 4));
        if (crc != be32(&png[at + 8 + length]))
            return ::testing::AssertionFailure() << "bad CRC in the chunk at " << at;
        if (std::string(reinterpret_cast<const char*>(&png[at + 4]), 4) == "IDAT")
            stream.insert(stream.end(), png.begin() + at + 8, png.begin() + at + 8 + length);
        at += 12 + length;
    }
    return ::testing::AssertionSuccess();
}

}  // namespace

TEST(QuickPng, ReadsBackForEverySplit)
{
    std::mt19937 random(31);
    auto between = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    for (int n = 0; n < 40; ++n) {
        const int w = between(1, n < 30 ? 70 : 900), h = between(1, n < 30 ? 40 : 300);
        Bitmap24 picture;
        switch (n % 3) {
        case 0: picture = test::photoLike(w, h, random()); break;
        case 1: picture = test::randomBitmap(w, h, random()); break;
        default: picture = Bitmap24(w, h, static_cast<std::uint8_t>(random())); break;  // one flat colour
        }
        const int threads = between(1, 4);
        const std::string what = std::to_string(w) + "x" + std::to_string(h) + ", " + std::to_string(threads) +
                                 " threads";
        const Bytes png = encodePngQuickly(picture, threads);
        EXPECT_TRUE(test::samePixels(picture, decodePng(png).pixels)) << what;
        Bytes stream;
        ASSERT_TRUE(idatStream(png, stream)) << what;
        // uncompress checks the stream's end and its Adler-32.
        const std::size_t rowBytes = 1 + 3 * static_cast<std::size_t>(w);
        Bytes filtered(rowBytes * h + 1);
        uLongf length = static_cast<uLongf>(filtered.size());
        ASSERT_EQ(uncompress(filtered.data(), &length, stream.data(), static_cast<uLong>(stream.size())), Z_OK) << what;
        EXPECT_EQ(length, rowBytes * h) << what;
    }
}

TEST(QuickPng, StopsWhenCancelledAndRefusesAnEmptyPicture)
{
    const std::atomic<bool> cancelled{true};
    EXPECT_TRUE(encodePngQuickly(test::photoLike(64, 64, 1), 2, &cancelled).empty());
    EXPECT_THROW(encodePngQuickly(Bitmap24()), ImagingError);
}
