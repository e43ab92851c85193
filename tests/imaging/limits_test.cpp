#include <gtest/gtest.h>

#include <zlib.h>

#include "imaging/codecs.h"
#include "imaging/errors.h"
#include "imaging/fileio.h"
#include "imaging/limits.h"
#include "tests/support/testsupport.h"

using namespace clipora;

namespace {

std::string messageOf(Picture (*decode)(ByteView), const Bytes& file)
{
    try {
        decode(file);
    } catch (const ImagingError& e) {
        return e.what();
    }
    return "no error";
}

bool saysTooLarge(const std::string& message) { return message.rfind("画像が大きすぎます", 0) == 0; }

void putBe16(Bytes& b, std::size_t at, unsigned v)
{
    b[at] = static_cast<std::uint8_t>(v >> 8);
    b[at + 1] = static_cast<std::uint8_t>(v);
}

void putBe32(Bytes& b, std::size_t at, std::uint32_t v)
{
    putBe16(b, at, v >> 16);
    putBe16(b, at + 2, v & 0xFFFF);
}

}  // namespace

// Small files that declare pictures far too large for memory are refused
// with a message before anything of that size is allocated.
TEST(SizeLimits, JpegDeclaringAHugePictureIsRefused)
{
    Bytes file = encodeJpeg(test::photoLike(16, 16, 1), 80);
    // Baseline frame header: FF C0, length, precision, height, width.
    std::size_t sof = 2;
    while (!(file[sof] == 0xFF && file[sof + 1] == 0xC0))
        ++sof;
    putBe16(file, sof + 5, 60000);
    putBe16(file, sof + 7, 60000);
    EXPECT_TRUE(saysTooLarge(messageOf(decodeJpeg, file))) << messageOf(decodeJpeg, file);
}

TEST(SizeLimits, PngDeclaringAHugePictureIsRefused)
{
    Bytes file = encodePng(test::photoLike(16, 16, 1));
    putBe32(file, 16, 90000);  // IHDR width
    putBe32(file, 20, 90000);  // IHDR height
    putBe32(file, 29, static_cast<std::uint32_t>(crc32(0, &file[12], 17)));
    EXPECT_TRUE(saysTooLarge(messageOf(decodePng, file))) << messageOf(decodePng, file);
}

TEST(SizeLimits, GifDeclaringAHugeScreenIsRefused)
{
    Bitmap8 tiny(2, 2);
    tiny.setPalette(std::vector<PaletteEntry>(4));
    Bytes file = encodeGif(tiny);
    file[6] = file[7] = file[8] = file[9] = 0xFF;  // logical screen 65535 x 65535
    EXPECT_TRUE(saysTooLarge(messageOf(decodeGif, file))) << messageOf(decodeGif, file);
}

TEST(SizeLimits, TheLimitAdmitsHundredMegapixelPhotos)
{
    EXPECT_NO_THROW(checkPictureSize(12240, 8160));  // 100 megapixels, 3:2
    EXPECT_NO_THROW(checkPictureSize(100000, 1));
    EXPECT_THROW(checkPictureSize(100001, 1), ImagingError);
    EXPECT_THROW(checkPictureSize(20000, 20000), ImagingError);
}

// Found by fuzzing: 169 bytes of arithmetic-coded data that declare 257 by
// 65282 pixels. Within the limits, so it decodes (to mostly grey), in well
// under a second; the fuzzer flagged it only for its time under sanitizers.
TEST(SizeLimits, TinyArithmeticJpegWithALargeDeclaredSizeDecodes)
{
    const Bytes file = readFileBytes(std::string(CLIPORA_TEST_DATA) + "/jpeg-arithmetic-169-bytes-16mp.jpg");
    ASSERT_EQ(file.size(), 169u);
    const Picture p = decodeJpeg(file);
    EXPECT_EQ(p.width(), 257);
    EXPECT_EQ(p.height(), 65282);
}
