#include <gtest/gtest.h>

#include <algorithm>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include <jpeglib.h>
#include <jerror.h>

#include "imaging/codecs.h"
#include "imaging/errors.h"
#include "tests/support/testsupport.h"

using namespace clipora;
using clipora::test::TempDir;

namespace {

bool haveCjpeg() { return std::system("command -v cjpeg >/dev/null 2>&1") == 0; }

void writePpm(const std::string& path, const Bitmap24& b)
{
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << b.width() << " " << b.height() << "\n255\n";
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) {
            const std::uint8_t* p = b.pixel(x, y);
            const char rgb[3] = {char(p[2]), char(p[1]), char(p[0])};
            out.write(rgb, 3);
        }
}

Bytes readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

Bytes cjpeg(const TempDir& dir, const Bitmap24& b, const std::string& options)
{
    const std::string ppm = dir.file("in.ppm"), jpg = dir.file("out.jpg");
    writePpm(ppm, b);
    const std::string command = "cjpeg " + options + " -outfile '" + jpg + "' '" + ppm + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return readAll(jpg);
}

// A four-component JPEG written with libjpeg directly; `adobe` adds the
// Adobe marker that says the values are stored inverted.
Bytes cmykJpeg(int w, int h, const std::uint8_t cmyk[4], bool adobe)
{
    jpeg_compress_struct c {};
    jpeg_error_mgr err {};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = w;
    c.image_height = h;
    c.input_components = 4;
    c.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&c);
    jpeg_set_colorspace(&c, JCS_CMYK);
    c.write_Adobe_marker = adobe;
    jpeg_set_quality(&c, 100, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<std::uint8_t> row(4 * w);
    for (int x = 0; x < w; ++x)
        std::copy_n(cmyk, 4, &row[4 * x]);
    while (c.next_scanline < c.image_height) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    Bytes out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

// Colours that change slowly, so that chroma subsampling loses little.
Bitmap24 smooth(int w, int h)
{
    return test::makeBitmap(w, h, [](int x, int y) { return std::uint32_t(40 + x * 3) << 16 | std::uint32_t(60 + y * 4) << 8 | 0x80; });
}

::testing::AssertionResult closeTo(const Bitmap24& a, const Bitmap24& b, int tolerance)
{
    if (a.width() != b.width() || a.height() != b.height())
        return ::testing::AssertionFailure() << "sizes differ";
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            for (int c = 0; c < 3; ++c)
                if (std::abs(a.pixel(x, y)[c] - b.pixel(x, y)[c]) > tolerance)
                    return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") channel " << c << ": "
                                                         << int(b.pixel(x, y)[c]) << " vs " << int(a.pixel(x, y)[c]);
    return ::testing::AssertionSuccess();
}

}  // namespace

class JpegAgainstCjpeg : public ::testing::TestWithParam<int> {};

// Our encoder's settings are exactly those of cjpeg with the float DCT and
// baseline tables, so the files must match to the byte.
TEST_P(JpegAgainstCjpeg, EncoderWritesTheSameBytes)
{
    if (!haveCjpeg())
        GTEST_SKIP() << "cjpeg (libjpeg-turbo-progs) is not installed";
    TempDir dir;
    const Bitmap24 picture = test::photoLike(123, 77, 7);
    const int q = GetParam();
    const Bytes expected = cjpeg(dir, picture, "-quality " + std::to_string(q) + " -dct float -baseline");
    EXPECT_EQ(encodeJpeg(picture, q), expected);
}

INSTANTIATE_TEST_SUITE_P(Qualities, JpegAgainstCjpeg, ::testing::Values(1, 10, 44, 75, 90, 100));

TEST(Jpeg, QualityIsLimitedToOneToHundred)
{
    const Bitmap24 picture = test::photoLike(16, 16, 1);
    EXPECT_EQ(encodeJpeg(picture, 300), encodeJpeg(picture, 100));
    EXPECT_EQ(encodeJpeg(picture, 0), encodeJpeg(picture, 1));
    EXPECT_EQ(encodeJpeg(picture, -5), encodeJpeg(picture, 1));
}

TEST(Jpeg, DecodesWhatItEncodes)
{
    const Bitmap24 picture = smooth(31, 17);
    const Picture decoded = decodeJpeg(encodeJpeg(picture, 100));
    EXPECT_EQ(decoded.kind, PictureKind::Jpeg);
    EXPECT_FALSE(decoded.hasTransparency());
    EXPECT_TRUE(closeTo(picture, decoded.pixels, 4));
}

TEST(Jpeg, DecodesProgressiveAndGreyscaleFiles)
{
    if (!haveCjpeg())
        GTEST_SKIP() << "cjpeg (libjpeg-turbo-progs) is not installed";
    TempDir dir;
    const Bitmap24 picture = smooth(40, 30);
    EXPECT_TRUE(closeTo(picture, decodeJpeg(cjpeg(dir, picture, "-quality 100 -progressive")).pixels, 4));

    const Bitmap24 grey = test::makeBitmap(20, 10, [](int x, int) { return std::uint32_t(x * 12) * 0x010101u; });
    const Picture decoded = decodeJpeg(cjpeg(dir, grey, "-quality 100 -grayscale"));
    for (int x = 0; x < 20; ++x) {
        const std::uint8_t* p = decoded.pixels.pixel(x, 5);
        EXPECT_EQ(p[0], p[1]);
        EXPECT_EQ(p[1], p[2]);
        EXPECT_NEAR(p[0], x * 12, 3);
    }
}

TEST(Jpeg, DecodesCmykPlainAndAdobeInverted)
{
    // No ink but full cyan: red is absent, green and blue pass.
    const std::uint8_t plainCyan[4] = {255, 0, 0, 0};
    Picture p = decodeJpeg(cmykJpeg(8, 8, plainCyan, false));
    EXPECT_NEAR(test::rgbAt(p.pixels, 3, 3) >> 16, 0, 2);
    EXPECT_NEAR((test::rgbAt(p.pixels, 3, 3) >> 8) & 0xFF, 255, 2);

    // Adobe's files store 255 for no ink.
    const std::uint8_t invertedCyan[4] = {0, 255, 255, 255};
    p = decodeJpeg(cmykJpeg(8, 8, invertedCyan, true));
    EXPECT_NEAR(test::rgbAt(p.pixels, 3, 3) >> 16, 0, 2);
    EXPECT_NEAR(test::rgbAt(p.pixels, 3, 3) & 0xFF, 255, 2);
    const std::uint8_t invertedBlack[4] = {255, 255, 255, 0};
    p = decodeJpeg(cmykJpeg(8, 8, invertedBlack, true));
    EXPECT_LE(test::rgbAt(p.pixels, 3, 3) & 0xFF, 2u);
}

TEST(Jpeg, BrokenFilesRaiseTheJpegErrorWithItsNumber)
{
    const Bytes notJpeg = {'h', 'e', 'l', 'l', 'o'};
    try {
        decodeJpeg(notJpeg);
        FAIL() << "no error";
    } catch (const ImagingError& e) {
        EXPECT_EQ(std::string(e.what()), formatMessage(messages::jpegError, JERR_NO_SOI));
    }
    EXPECT_THROW(decodeJpeg(Bytes {}), ImagingError);
}

TEST(Jpeg, TruncatedFilesAreRefusedNeverHalfShown)
{
    const Bytes file = encodeJpeg(test::photoLike(64, 48, 5), 80);
    for (std::size_t cut = 0; cut + 2 < file.size(); cut += 37)
        EXPECT_THROW(decodeJpeg(ByteView(file.data(), cut)), ImagingError) << "cut at " << cut;
}

TEST(Jpeg, CorruptedBytesNeverCrash)
{
    const Bytes file = encodeJpeg(test::photoLike(48, 32, 9), 75);
    std::uint32_t seed = 12345;
    for (int round = 0; round < 300; ++round) {
        Bytes broken = file;
        for (int i = 0; i < 4; ++i) {
            seed = seed * 1103515245u + 12345u;
            broken[(seed >> 8) % broken.size()] ^= static_cast<std::uint8_t>(seed >> 24 | 1);
        }
        try {
            const Picture p = decodeJpeg(broken);
            EXPECT_FALSE(p.pixels.empty());
        } catch (const ImagingError&) {
        }
    }
}
