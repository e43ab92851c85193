// The WebP, AVIF, HEIF and TIFF readers on files written by each format's
// own tool: exact pixels from lossless files, and refusal of damaged files
// and of files declaring pictures too large to hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>

#include <tiffio.h>

#include "imaging/codecs.h"
#include "imaging/errors.h"
#include "imaging/fileio.h"
#include "tests/support/formatfiles.h"
#include "tests/support/testsupport.h"

using namespace clipora;

namespace {

struct Format {
    const char* extension;
    Picture (*decode)(ByteView);
    PictureKind kind;
    const char* errorStart;  // the reader's own message, before its detail
};

const Format formats[] = {
    {"webp", decodeWebp, PictureKind::Webp, "WebP イメージが不正です ("},
    {"avif", decodeAvif, PictureKind::Avif, "AVIF イメージが不正です ("},
    {"heic", decodeHeif, PictureKind::Heif, "HEIF イメージが不正です ("},
    {"tif", decodeTiff, PictureKind::Tiff, "TIFF イメージが不正です ("},
};

class FormatReader : public ::testing::TestWithParam<Format> {
protected:
    void SetUp() override
    {
        // A libheif whose HEVC encoder is a plug-in of its own (Debian 13)
        // may come without it.
        static const bool hevcWrites =
            !test::writtenByTool("heic", dir.path().string(), test::photoLike(16, 16, 1)).empty();
        if (GetParam().kind == PictureKind::Heif && !hevcWrites)
            GTEST_SKIP() << "heif-enc cannot write HEIC here (no HEVC encoder)";
    }
    // The tool's lossless file of `pixels`.
    Bytes written(const Bitmap24& pixels, const std::vector<std::uint8_t>& alpha = {})
    {
        Bytes file = test::writtenByTool(GetParam().extension, dir.path().string(), pixels, alpha);
        if (file.empty())
            ADD_FAILURE() << "the tool for ." << GetParam().extension << " wrote nothing";
        return file;
    }
    std::string messageOf(const Bytes& file)
    {
        try {
            const Picture picture = GetParam().decode(file);
            return "read " + std::to_string(picture.width()) + "x" + std::to_string(picture.height());
        } catch (const ImagingError& e) {
            return e.what();
        }
    }
    test::TempDir dir;
};

std::vector<std::uint8_t> alphaRamp(int w, int h)
{
    std::vector<std::uint8_t> alpha(static_cast<std::size_t>(w) * h);
    for (std::size_t i = 0; i < alpha.size(); ++i)
        alpha[i] = static_cast<std::uint8_t>(i % 3 == 0 ? 255 : i * 37);
    return alpha;
}

}  // namespace

TEST_P(FormatReader, LosslessFileReadsBackToTheSamePixels)
{
    // Odd sizes: rows of the bitmap carry padding, chroma planes round up.
    const Bitmap24 picture = test::photoLike(37, 23, 5);
    const Bytes file = written(picture);
    ASSERT_FALSE(file.empty());
    const Picture read = GetParam().decode(file);
    EXPECT_EQ(read.kind, GetParam().kind);
    EXPECT_FALSE(read.hasTransparency());
    if (GetParam().kind != PictureKind::Heif) {
        EXPECT_TRUE(test::samePixels(picture, read.pixels));
        return;
    }
    // heif-enc stores even its lossless RGB as YCbCr without saying which
    // matrix, so the colours come back a step or two off: the same pixels
    // as libheif's own heif-convert gives, and near the source.
    const std::string heic = dir.file("written.heic"), back = dir.file("back.png");
    ASSERT_TRUE(test::runQuietly("heif-convert '" + heic + "' '" + back + "'"));
    EXPECT_TRUE(test::samePixels(decodePng(readFileBytes(back)).pixels, read.pixels));
    int worst = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < 3 * picture.width(); ++x)
            worst = std::max(worst, std::abs(picture.row(y)[x] - read.pixels.row(y)[x]));
    EXPECT_LE(worst, 3);
}

TEST_P(FormatReader, AlphaIsKeptAsTheTransparencyAndFlattensToWhite)
{
    if (GetParam().kind == PictureKind::Heif)
        GTEST_SKIP() << "heif-enc codes alpha lossy, even in its lossless mode";
    const Bitmap24 picture = test::photoLike(19, 11, 8);
    const std::vector<std::uint8_t> alpha = alphaRamp(19, 11);
    const Bytes file = written(picture, alpha);
    ASSERT_FALSE(file.empty());
    const Picture read = GetParam().decode(file);
    ASSERT_TRUE(read.hasTransparency());
    EXPECT_EQ(read.alpha, alpha);
    const Bitmap24 flat = flattenPicture(read);
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 19; ++x) {
            const unsigned a = alpha[static_cast<std::size_t>(y) * 19 + x];
            for (int c = 0; c < 3; ++c) {
                const unsigned expected = (picture.pixel(x, y)[c] * a + 255 * (255 - a) + 127) / 255;
                // TIFF hands its alpha over premultiplied, which costs a step.
                ASSERT_NEAR(flat.pixel(x, y)[c], expected, read.kind == PictureKind::Tiff ? 1 : 0)
                    << "(" << x << ", " << y << ") channel " << c;
            }
        }
}

TEST_P(FormatReader, FilesCutShortOrWithBytesChangedAreRefusedWithTheReadersMessage)
{
    const Bytes file = written(test::photoLike(24, 16, 2));
    ASSERT_FALSE(file.empty());
    const std::string start = GetParam().errorStart;
    // Every length short of the whole file, in steps that reach into each
    // part of it (headers, boxes or tags, coded data, what follows).
    const std::size_t step = std::max<std::size_t>(1, file.size() / 300);
    for (std::size_t length = 0; length < file.size(); length += step) {
        const std::string message = messageOf(Bytes(file.begin(), file.begin() + static_cast<long>(length)));
        ASSERT_EQ(message.rfind(start, 0), 0u) << "cut to " << length << " of " << file.size() << ": " << message;
    }
    EXPECT_EQ(messageOf(Bytes(100, 0x5A)).rfind(start, 0), 0u);
}

TEST_P(FormatReader, APictureDeclaredTooLargeIsRefusedBeforeItsMemoryIsTaken)
{
    Bytes file = written(test::photoLike(16, 16, 1));
    ASSERT_FALSE(file.empty());
    const std::uint32_t w = 13000, h = 12000;  // within each format's own limits, over ours
    auto be32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file[at + i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
    };
    const std::string extension = GetParam().extension;
    if (extension == "webp") {
        // The lossless header: 14 bits of width - 1 and 14 of height - 1.
        ASSERT_EQ(std::memcmp(&file[12], "VP8L", 4), 0);
        const std::uint32_t bits = (w - 1) | (h - 1) << 14 | (file[24] & 0xF0u) << 24;
        for (int i = 0; i < 4; ++i)
            file[21 + i] = static_cast<std::uint8_t>(bits >> (8 * i));
    } else if (extension == "tif") {
        // Little-endian: the first directory's width and height entries.
        ASSERT_EQ(file[0], 'I');
        const std::size_t ifd = file[4] | file[5] << 8 | file[6] << 16 | std::size_t(file[7]) << 24;
        const int entries = file[ifd] | file[ifd + 1] << 8;
        for (int i = 0; i < entries; ++i) {
            std::uint8_t* entry = &file[ifd + 2 + 12 * i];
            const int tag = entry[0] | entry[1] << 8;
            if (tag == 256 || tag == 257) {
                const std::uint32_t v = tag == 256 ? w : h;
                entry[2] = 4;  // LONG
                entry[3] = 0;
                for (int b = 0; b < 4; ++b)
                    entry[8 + b] = static_cast<std::uint8_t>(v >> (8 * b));
            }
        }
    } else {
        // Every image spatial extent ('ispe') box: version and flags, then
        // width and height.
        int found = 0;
        for (std::size_t at = 0; at + 16 <= file.size(); ++at)
            if (std::memcmp(&file[at], "ispe", 4) == 0) {
                be32(at + 8, w);
                be32(at + 12, h);
                ++found;
            }
        ASSERT_GT(found, 0);
    }
    EXPECT_EQ(messageOf(file), "画像が大きすぎます (13000 x 12000)");
}

INSTANTIATE_TEST_SUITE_P(Formats, FormatReader, ::testing::ValuesIn(formats),
                         [](const auto& info) { return std::string(info.param.extension); });

TEST(TiffReader, SixteenBitSamplesRoundToEightAndOnlyTheFirstPageIsRead)
{
    test::TempDir dir;
    test::TiffPage deep;
    deep.width = 258;
    deep.height = 3;
    deep.bits = 16;
    deep.rowsPerStrip = 1;
    // Every value at the rounding edges: v * 255 / 65535 is k + 0.5 near
    // 257 * k + 128.5.
    for (int i = 0; i < deep.width * deep.height * 3; ++i)
        deep.samples.push_back(static_cast<std::uint16_t>(i % 3 == 0 ? 257 * (i / 3 % 256) + 128
                                                          : i % 3 == 1 ? 257 * (i / 3 % 256) + 129
                                                                       : i * 97));
    const Bitmap24 second = test::photoLike(5, 4, 1);
    test::writeTiffFile(dir.file("two.tif"), {deep, test::tiffPageOf(second)});
    const Picture read = decodeTiff(readFileBytes(dir.file("two.tif")));
    ASSERT_EQ(read.width(), 258);
    ASSERT_EQ(read.height(), 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 258; ++x)
            for (int c = 0; c < 3; ++c) {
                const unsigned v = deep.samples[(static_cast<std::size_t>(y) * 258 + x) * 3 + c];
                ASSERT_EQ(read.pixels.pixel(x, y)[2 - c], (v * 255 + 32767) / 65535) << x << ", " << y << " v " << v;
            }
}

// Grey and RGB pages of 8 and 16 bits, with and without alpha of either
// kind, white-is-zero, in strips (read a row at a time) and in tiles
// (libtiff's RGBA reader): colour straight and rounded to 8 bits, alpha
// kept. libtiff's own reader would cut 16-bit grey to its high byte and
// drop its alpha, and un-premultiplying grey it never premultiplied would
// lighten it.
TEST(TiffReader, GreyAndRgbOfEitherDepthKeepTheirAlphaAndRound)
{
    struct Layout {
        const char* name;
        bool grey;
        int bits;
        bool alpha, associated, whiteIsZero;
        int tile;
    };
    const Layout layouts[] = {
        {"grey8", true, 8, false, false, false, 0},          {"grey8 white is zero", true, 8, false, false, true, 0},
        {"grey8 alpha", true, 8, true, false, false, 0},     {"grey16", true, 16, false, false, false, 0},
        {"grey16 alpha", true, 16, true, false, false, 0},   {"grey16 premultiplied", true, 16, true, true, false, 0},
        {"rgb16 premultiplied", false, 16, true, true, false, 0}, {"rgb8 premultiplied", false, 8, true, true, false, 0},
        {"grey8 alpha tiled", true, 8, true, false, false, 16},
    };
    test::TempDir dir;
    std::mt19937 random(5);
    for (const Layout& l : layouts) {
        test::TiffPage page;
        page.width = 37;
        page.height = 21;
        page.bits = l.bits;
        page.grey = l.grey;
        page.whiteIsZero = l.whiteIsZero;
        page.associatedAlpha = l.associated;
        page.tile = l.tile;
        page.rowsPerStrip = 4;
        const int colours = l.grey ? 1 : 3;
        page.channels = colours + (l.alpha ? 1 : 0);
        const unsigned max = (1u << l.bits) - 1;
        for (int i = 0; i < page.width * page.height; ++i) {
            const unsigned a = l.alpha ? (i % 5 == 0 ? max : i % 7 == 0 ? 0 : random() % (max + 1)) : max;
            for (int c = 0; c < colours; ++c) {
                const unsigned v = random() % (max + 1);
                page.samples.push_back(static_cast<std::uint16_t>(l.associated ? std::uint64_t{v} * a / max : v));
            }
            if (l.alpha)
                page.samples.push_back(static_cast<std::uint16_t>(a));
        }
        const std::string file = dir.file(std::string(l.name) + ".tif");
        test::writeTiffFile(file, {page});
        const Picture read = decodeTiff(readFileBytes(file));
        const auto to8 = [&](unsigned v) { return l.bits == 8 ? v : (v * 255 + 32767) / 65535; };
        for (int i = 0; i < page.width * page.height; ++i) {
            const int x = i % page.width, y = i / page.width;
            const std::uint16_t* s = page.samples.data() + static_cast<std::size_t>(i) * page.channels;
            const unsigned a = l.alpha ? s[colours] : max;
            if (l.alpha) {
                ASSERT_EQ(read.alpha.at(static_cast<std::size_t>(i)), to8(a)) << l.name << " at " << x << ", " << y;
            }
            if (to8(a) == 0)
                continue;
            for (int c = 0; c < 3; ++c) {
                unsigned v = s[l.grey ? 0 : c];
                if (l.whiteIsZero)
                    v = max - v;
                if (l.associated && a < max)
                    v = std::min<unsigned>(max, static_cast<unsigned>((std::uint64_t{v} * max + a / 2) / a));
                ASSERT_EQ(read.pixels.pixel(x, y)[2 - c], to8(v)) << l.name << " at " << x << ", " << y << " channel " << c;
            }
        }
    }
}

// A JPEG-compressed strip cut short: libjpeg only warns and libtiff fills
// the rest, which the reader refuses as the JPEG reader does.
TEST(TiffReader, AJpegStripCutShortIsRefused)
{
    test::TempDir dir;
    const Bytes jpeg = encodeJpeg(test::photoLike(64, 48, 9), 90);
    const std::string file = dir.file("cut.tif");
    TIFF* tiff = TIFFOpen(file.c_str(), "w");
    ASSERT_NE(tiff, nullptr);
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, 64);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, 48);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
    TIFFSetField(tiff, TIFFTAG_YCBCRSUBSAMPLING, 2, 2);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 48);
    TIFFWriteRawStrip(tiff, 0, const_cast<std::uint8_t*>(jpeg.data()), static_cast<tmsize_t>(jpeg.size() / 2));
    TIFFWriteDirectory(tiff);
    TIFFClose(tiff);
    try {
        decodeTiff(readFileBytes(file));
        ADD_FAILURE() << "read";
    } catch (const ImagingError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("TIFF イメージが不正です (", 0), 0u) << e.what();
    }
}

TEST(WebpReader, AnAnimationGivesItsFirstFrame)
{
    test::TempDir dir;
    const Bitmap24 first = test::photoLike(21, 13, 3), second = test::photoLike(21, 13, 4);
    test::writePngFile(dir.file("1.png"), first);
    test::writePngFile(dir.file("2.png"), second);
    ASSERT_TRUE(test::runQuietly("img2webp -lossless '" + dir.file("1.png") + "' '" + dir.file("2.png") +
                                 "' -o '" + dir.file("a.webp") + "'"));
    const Picture read = decodeWebp(readFileBytes(dir.file("a.webp")));
    EXPECT_FALSE(read.hasTransparency());
    EXPECT_TRUE(test::samePixels(first, read.pixels));
}

TEST(HeifReader, AFileAskingForMoreThanLibheifGrantsIsRefusedAsDamaged)
{
    // An item location claiming 1.5 GB: libheif calls it a memory
    // allocation error, which is the file's fault, not the machine's.
    try {
        decodeHeif(readFileBytes(std::string(CLIPORA_TEST_DATA) + "/heif-iloc-claiming-1.5-gb.heic"));
        ADD_FAILURE() << "read";
    } catch (const ImagingError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("HEIF イメージが不正です (", 0), 0u) << e.what();
    }
}

// libavif leaves the container's crop, rotation and mirror to its caller:
// each combination must show the colours as libheif, which applies them,
// shows the file. (libheif 1.15 leaves the alpha as coded or drops it, so
// the alpha is checked to follow the colours: each source pixel has a colour
// of its own.)
TEST(AvifReader, CropTurnAndMirrorOfTheContainerAreApplied)
{
    test::TempDir dir;
    const int w = 11, h = 7;
    Bitmap24 pixels(w, h);
    std::vector<std::uint8_t> alpha(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = pixels.pixel(x, y);
            p[0] = static_cast<std::uint8_t>(20 * x);
            p[1] = static_cast<std::uint8_t>(30 * y);
            p[2] = 77;
            alpha[static_cast<std::size_t>(y) * w + x] = static_cast<std::uint8_t>(1 + 3 * x + 35 * y);
        }
    const std::string source = dir.file("source.png");
    test::writePngFile(source, pixels, alpha);
    const std::string file = dir.file("t.avif"), shown = dir.file("shown.png");
    if (!test::runQuietly("avifenc -j 2 --lossless '" + source + "' '" + file + "'") ||
        !test::runQuietly("heif-convert '" + file + "' '" + shown + "'"))
        GTEST_SKIP() << "libheif reads no AVIF here";
    for (const char* options : {"--irot 1", "--irot 2 --imir 0", "--irot 3 --imir 1", "--imir 1", "--crop 1,1,8,4",
                                "--crop 2,1,5,6 --irot 1 --imir 0"}) {
        ASSERT_TRUE(test::runQuietly("avifenc -j 2 --lossless " + std::string(options) + " '" + source + "' '" + file +
                                     "'") &&
                    test::runQuietly("heif-convert '" + file + "' '" + shown + "'"))
            << options;
        const Picture read = decodeAvif(readFileBytes(file));
        EXPECT_TRUE(test::samePixels(decodePng(readFileBytes(shown)).pixels, read.pixels)) << options;
        ASSERT_EQ(read.alpha.size(), static_cast<std::size_t>(read.width()) * read.height()) << options;
        for (int y = 0; y < read.height(); ++y)
            for (int x = 0; x < read.width(); ++x) {
                const std::uint8_t* p = read.pixels.pixel(x, y);
                const int sx = p[0] / 20, sy = p[1] / 30;
                ASSERT_EQ(read.alpha[static_cast<std::size_t>(y) * read.width() + x], 1 + 3 * sx + 35 * sy)
                    << options << " at " << x << ", " << y;
            }
    }
}

// A HEIF whose colours are stored multiplied by their alpha reads with
// straight colours, so that it flattens onto white as it shows: 100 at half
// cover is the straight 199 (heif-enc codes the alpha lossy, so within a few
// steps).
TEST(HeifReader, PremultipliedColoursAreMadeStraight)
{
    test::TempDir dir;
    Bitmap24 stored(16, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            std::uint8_t* p = stored.pixel(x, y);
            p[0] = 20;  // blue, green, red, as multiplied by the cover below
            p[1] = 60;
            p[2] = 100;
        }
    test::writePngFile(dir.file("stored.png"), stored, std::vector<std::uint8_t>(16 * 16, 128));
    if (!test::runQuietly("heif-enc -L -p chroma=444 --matrix_coefficients=0 --premultiplied-alpha '" +
                          dir.file("stored.png") + "' -o '" + dir.file("p.heic") + "'"))
        GTEST_SKIP() << "heif-enc cannot write HEIC here (no HEVC encoder)";
    const Picture read = decodeHeif(readFileBytes(dir.file("p.heic")));
    ASSERT_TRUE(read.hasTransparency());
    const std::uint8_t* p = read.pixels.pixel(8, 8);
    const int a = read.alpha[8 * 16 + 8];
    EXPECT_NEAR(a, 128, 3);
    EXPECT_NEAR(p[0], 20 * 255 / a, 4);
    EXPECT_NEAR(p[1], 60 * 255 / a, 4);
    EXPECT_NEAR(p[2], 100 * 255 / a, 4);
}
