// Reading only a cut area must give the very pixels of cutting it out of the
// whole decode. One generator makes files of every kind the readers meet;
// each is cut at areas of odd offsets and sizes, at the picture's edges and
// whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>

#include <jpeglib.h>
#include <png.h>

#include "imaging/codecs.h"
#include "imaging/cut.h"
#include "imaging/errors.h"
#include "tests/support/testsupport.h"

using namespace clipora;

namespace {

constexpr int W = 203, H = 157;

// Samples of a smooth picture with noise, `components` per pixel.
std::vector<std::uint8_t> samples(int components, std::uint32_t seed)
{
    std::mt19937 random(seed);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(W) * H * components);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            for (int c = 0; c < components; ++c)
                out[(static_cast<std::size_t>(y) * W + x) * components + c] =
                    static_cast<std::uint8_t>((x * (c + 1) + y * (3 - c) + static_cast<int>(random() % 48)) & 0xFF);
    return out;
}

struct JpegCase {
    std::string name;
    J_COLOR_SPACE space;  // of the samples given
    int components;
    int h, v;             // luminance (first component) sampling; the others 1x1
    bool progressive;
    bool unrefined;       // progressive without the last bit of the AC coefficients
    int restart;          // MCUs per restart interval, 0 for none
    bool adobe;
};

Bytes writeJpeg(const JpegCase& c)
{
    jpeg_compress_struct info {};
    jpeg_error_mgr err {};
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = W;
    info.image_height = H;
    info.input_components = c.components;
    info.in_color_space = c.space;
    jpeg_set_defaults(&info);
    if (c.space == JCS_CMYK)
        jpeg_set_colorspace(&info, c.name.rfind("ycck", 0) == 0 ? JCS_YCCK : JCS_CMYK);
    info.write_Adobe_marker = c.adobe;
    jpeg_set_quality(&info, 85, TRUE);
    info.comp_info[0].h_samp_factor = c.h;
    info.comp_info[0].v_samp_factor = c.v;
    if (c.progressive)
        jpeg_simple_progression(&info);
    static jpeg_scan_info coarse[3];
    if (c.unrefined) {
        // DC in full, then the AC coefficients short of their last bit: the
        // decoder smooths such blocks with their neighbours.
        coarse[0] = {c.components, {0, 1, 2, 3}, 0, 0, 0, 0};
        for (int i = 0; i < c.components && i < 2; ++i)
            coarse[1 + i] = {1, {i, 0, 0, 0}, 1, 63, 0, 1};
        info.scan_info = coarse;
        info.num_scans = 1 + std::min(c.components, 2);  // any further component gets no AC at all
    }
    info.restart_interval = static_cast<unsigned>(c.restart);
    jpeg_start_compress(&info, TRUE);
    std::vector<std::uint8_t> pixels = samples(c.components, static_cast<std::uint32_t>(c.name.size()));
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = pixels.data() + static_cast<std::size_t>(info.next_scanline) * W * c.components;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    Bytes file(buffer, buffer + size);
    std::free(buffer);
    return file;
}

std::vector<JpegCase> jpegCases()
{
    std::vector<JpegCase> cases;
    struct Layout {
        const char* name;
        J_COLOR_SPACE space;
        int components, h, v;
        bool adobe;
    };
    const Layout layouts[] = {
        {"444", JCS_RGB, 3, 1, 1, false}, {"422", JCS_RGB, 3, 2, 1, false}, {"420", JCS_RGB, 3, 2, 2, false},
        {"440", JCS_RGB, 3, 1, 2, false}, {"411", JCS_RGB, 3, 4, 1, false}, {"410", JCS_RGB, 3, 4, 2, false},
        {"grey", JCS_GRAYSCALE, 1, 1, 1, false}, {"cmyk_adobe", JCS_CMYK, 4, 1, 1, true},
        {"cmyk_plain", JCS_CMYK, 4, 1, 1, false}, {"ycck_420", JCS_CMYK, 4, 2, 2, true},
    };
    for (const Layout& l : layouts)
        for (int mode = 0; mode < 3; ++mode)
            for (int restart : {0, 3}) {
                const char* modes[] = {"baseline", "progressive", "unrefined"};
                cases.push_back({std::string(l.name) + "_" + modes[mode] + (restart ? "_restart" : ""), l.space,
                                 l.components, l.h, l.v, mode > 0, mode == 2, restart, l.adobe});
            }
    return cases;
}

// Areas at odd offsets inside, at every edge, a single pixel and the whole.
std::vector<CutArea> areasOf(int width, int height, std::uint32_t seed)
{
    std::vector<CutArea> areas = {{0, 0, width, height},         {1, 1, 2, 2},
                                  {width - 1, height - 1, width, height},
                                  {0, 17, 9, 40},                {width - 37, 3, width, 29},
                                  {13, height - 21, 77, height}, {31, 33, 35, 34},
                                  {7, 0, width - 5, 1}};
    std::mt19937 random(seed);
    for (int i = 0; i < 12; ++i) {
        const int xl = static_cast<int>(random() % (width - 1)), yu = static_cast<int>(random() % (height - 1));
        const int xr = xl + 1 + static_cast<int>(random() % (width - xl));
        const int yb = yu + 1 + static_cast<int>(random() % (height - yu));
        areas.push_back({xl, yu, std::min(xr, width), std::min(yb, height)});
    }
    return areas;
}

std::string named(const CutArea& a)
{
    return "(" + std::to_string(a.xl) + "," + std::to_string(a.yu) + ")-(" + std::to_string(a.xr) + "," +
           std::to_string(a.yb) + ")";
}

class JpegArea : public ::testing::TestWithParam<JpegCase> {};

}  // namespace

TEST_P(JpegArea, EqualsCuttingTheWholeDecode)
{
    const Bytes file = writeJpeg(GetParam());
    const Bitmap24 whole = flattenPicture(decodeJpeg(file));
    ASSERT_EQ(whole.width(), W);
    for (const CutArea& area : areasOf(W, H, 7)) {
        const std::optional<Bitmap24> part = decodeJpegArea(file, area);
        if (GetParam().unrefined) {
            EXPECT_FALSE(part.has_value()) << "smoothed blocks are decoded whole";
            continue;
        }
        ASSERT_TRUE(part.has_value()) << named(area);
        EXPECT_TRUE(test::samePixels(cutArea(whole, area), *part)) << named(area);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryLayout, JpegArea, ::testing::ValuesIn(jpegCases()),
                         [](const auto& info) { return info.param.name; });

TEST(JpegAreaLimits, FilesOfManyPiecesOfReading)
{
    // The area decoder reads 64 KiB at a time: files of several pieces, with
    // restart markers, have piece edges inside markers and stuffed bytes.
    for (int restart : {0, 1}) {
        const Bitmap24 picture = test::randomBitmap(640, 480, 21);
        jpeg_compress_struct info {};
        jpeg_error_mgr err {};
        info.err = jpeg_std_error(&err);
        jpeg_create_compress(&info);
        unsigned char* buffer = nullptr;
        unsigned long size = 0;
        jpeg_mem_dest(&info, &buffer, &size);
        info.image_width = 640;
        info.image_height = 480;
        info.input_components = 3;
        info.in_color_space = JCS_EXT_BGR;
        jpeg_set_defaults(&info);
        jpeg_set_quality(&info, 98, TRUE);
        info.restart_interval = static_cast<unsigned>(restart);
        jpeg_start_compress(&info, TRUE);
        while (info.next_scanline < info.image_height) {
            JSAMPROW row = const_cast<JSAMPROW>(picture.row(static_cast<int>(info.next_scanline)));
            jpeg_write_scanlines(&info, &row, 1);
        }
        jpeg_finish_compress(&info);
        jpeg_destroy_compress(&info);
        const Bytes file(buffer, buffer + size);
        std::free(buffer);
        ASSERT_GT(file.size(), 4u << 16);
        const Bitmap24 whole = flattenPicture(decodeJpeg(file));
        for (const CutArea& area : areasOf(640, 480, 5)) {
            const std::optional<Bitmap24> part = decodeJpegArea(file, area);
            ASSERT_TRUE(part.has_value()) << named(area);
            EXPECT_TRUE(test::samePixels(cutArea(whole, area), *part)) << named(area);
        }
    }
}

TEST(JpegAreaLimits, OutsideAreasAndDamagedTailsAreLeftToTheWholeDecode)
{
    const Bytes file = writeJpeg({"420", JCS_RGB, 3, 2, 2, false, false, 0, false});
    for (const CutArea& outside : {CutArea{-1, 0, 5, 5}, CutArea{0, 0, W + 1, 5}, CutArea{0, 0, 5, H + 1},
                                   CutArea{4, 4, 4, 9}})
        EXPECT_FALSE(decodeJpegArea(file, outside).has_value()) << named(outside);

    const CutArea top{5, 5, 60, 40};
    const Bitmap24 expected = cutArea(flattenPicture(decodeJpeg(file)), top);
    // Bytes after the end-of-image marker are ignored by both.
    Bytes trailing = file;
    trailing.insert(trailing.end(), {0xFF, 0xD8, 0x00, 0x12});
    ASSERT_TRUE(decodeJpegArea(trailing, top).has_value());
    EXPECT_TRUE(test::samePixels(expected, *decodeJpegArea(trailing, top)));

    // Cut short below the area, or a second picture's marker there: only the
    // whole decode can tell (it refuses both), so the area decoder declines.
    const Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(file.size() * 3 / 4));
    EXPECT_FALSE(decodeJpegArea(cut, top).has_value());
    EXPECT_THROW(decodeJpeg(cut), ImagingError);
    Bytes marker = file;
    marker.insert(marker.end() - 2, {0xFF, 0xDA, 0x00, 0x02});
    EXPECT_FALSE(decodeJpegArea(marker, top).has_value());

    // Cut short within the area: refused with the whole decoder's message.
    const CutArea bottom{5, 100, 60, H};
    try {
        decodeJpeg(cut);
    } catch (const ImagingError& whole) {
        try {
            decodeJpegArea(cut, bottom);
            ADD_FAILURE() << "a file cut short within the area was accepted";
        } catch (const ImagingError& part) {
            EXPECT_STREQ(whole.what(), part.what());
        }
    }
    // An empty file and one cut inside its header: the same refusals.
    for (const Bytes& broken : {Bytes{}, Bytes(file.begin(), file.begin() + 100)}) {
        std::string whole = "accepted", part = "accepted";
        try { decodeJpeg(broken); } catch (const ImagingError& e) { whole = e.what(); }
        try { decodeJpegArea(broken, top); } catch (const ImagingError& e) { part = e.what(); }
        EXPECT_EQ(whole, part);
        EXPECT_NE(whole, "accepted");
    }
    // The declared size is checked before anything is decoded.
    Bytes huge = file;
    for (std::size_t i = 0; i + 8 < huge.size(); ++i)
        if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
            huge[i + 5] = 0xFF;  // height 65535 or more
            huge[i + 7] = 0xFF;  // and width
            break;
        }
    EXPECT_THROW(decodeJpegArea(huge, top), ImagingError);
}

namespace {

void appendTo(png_structp png, png_bytep data, png_size_t n)
{
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}

struct PngCase {
    std::string name;
    int colourType, depth;
    bool interlaced;
};

Bytes writePng(const PngCase& c)
{
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, appendTo, nullptr);
    png_set_IHDR(png, info, W, H, c.depth, c.colourType, c.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette(256);
    std::vector<png_byte> paletteAlpha(256);
    for (int i = 0; i < 256; ++i) {
        palette[i] = {png_byte(i), png_byte(255 - i), png_byte(i * 7)};
        paletteAlpha[i] = png_byte(i * 3);
    }
    if (c.colourType == PNG_COLOR_TYPE_PALETTE) {
        png_set_PLTE(png, info, palette.data(), 1 << c.depth);
        png_set_tRNS(png, info, paletteAlpha.data(), 1 << c.depth, nullptr);
    }
    png_write_info(png, info);
    const int channels = c.colourType == PNG_COLOR_TYPE_RGB         ? 3
                         : c.colourType == PNG_COLOR_TYPE_RGB_ALPHA ? 4
                         : c.colourType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                                                                     : 1;
    const std::size_t rowBytes = (static_cast<std::size_t>(W) * channels * c.depth + 7) / 8;
    std::vector<std::uint8_t> data = samples(1, static_cast<std::uint32_t>(c.name.size()));
    data.resize(rowBytes * H);
    std::mt19937 random(3);
    for (auto& b : data)
        b = static_cast<std::uint8_t>(b ^ (random() & 0x0F));
    std::vector<png_bytep> rows(H);
    for (int y = 0; y < H; ++y)
        rows[y] = data.data() + y * rowBytes;
    png_write_image(png, rows.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

class PngArea : public ::testing::TestWithParam<PngCase> {};

}  // namespace

TEST_P(PngArea, EqualsCuttingTheWholeDecode)
{
    const Bytes file = writePng(GetParam());
    const Bitmap24 whole = flattenPicture(decodePng(file));
    for (const CutArea& area : areasOf(W, H, 11)) {
        const std::optional<Bitmap24> part = decodePngArea(file, area);
        if (GetParam().interlaced) {
            EXPECT_FALSE(part.has_value()) << "an interlaced file is decoded whole";
            continue;
        }
        ASSERT_TRUE(part.has_value()) << named(area);
        EXPECT_TRUE(test::samePixels(cutArea(whole, area), *part)) << named(area);
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryColourType, PngArea,
    ::testing::Values(PngCase{"grey1", PNG_COLOR_TYPE_GRAY, 1, false}, PngCase{"grey8", PNG_COLOR_TYPE_GRAY, 8, false},
                      PngCase{"grey16", PNG_COLOR_TYPE_GRAY, 16, false},
                      PngCase{"greyalpha8", PNG_COLOR_TYPE_GRAY_ALPHA, 8, false},
                      PngCase{"rgb8", PNG_COLOR_TYPE_RGB, 8, false}, PngCase{"rgb16", PNG_COLOR_TYPE_RGB, 16, false},
                      PngCase{"rgba8", PNG_COLOR_TYPE_RGB_ALPHA, 8, false},
                      PngCase{"rgba16", PNG_COLOR_TYPE_RGB_ALPHA, 16, false},
                      PngCase{"palette4", PNG_COLOR_TYPE_PALETTE, 4, false},
                      PngCase{"rgb8_interlaced", PNG_COLOR_TYPE_RGB, 8, true}),
    [](const auto& info) { return info.param.name; });

TEST(PngAreaLimits, DamageBelowTheAreaIsLeftToTheWholeDecode)
{
    const Bytes file = writePng({"rgba8", PNG_COLOR_TYPE_RGB_ALPHA, 8, false});
    const CutArea top{3, 2, 50, 9};
    ASSERT_TRUE(decodePngArea(file, top).has_value());
    EXPECT_FALSE(decodePngArea(file, CutArea{0, 0, W, H + 1}).has_value());

    // Cut short, IEND's checksum broken, IEND missing: declined, so that the
    // whole decode says what becomes of the file (libpng's releases differ on
    // a broken or missing IEND; a file cut short is refused by all).
    const Bytes cut(file.begin(), file.end() - 40);
    Bytes checksum = file;
    checksum[checksum.size() - 2] ^= 1;
    const Bytes noEnd(file.begin(), file.end() - 12);
    for (const Bytes* damaged : std::initializer_list<const Bytes*>{&cut, &checksum, &noEnd})
        EXPECT_FALSE(decodePngArea(*damaged, top).has_value());
    EXPECT_THROW(decodePng(cut), ImagingError);
    // Cut short within the area: the whole decoder's message.
    const CutArea all{0, 0, W, H};
    try {
        decodePng(cut);
    } catch (const ImagingError& whole) {
        try {
            decodePngArea(cut, all);
            ADD_FAILURE() << "a file cut short within the area was accepted";
        } catch (const ImagingError& part) {
            EXPECT_STREQ(whole.what(), part.what());
        }
    }
}
