#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include "imaging/codecs.h"
#include "imaging/errors.h"
#include "imaging/fileio.h"
#include "metafile/metafile.h"
#include "tests/support/formatfiles.h"
#include "tests/support/testsupport.h"
#include "reader/picturereader.h"

using namespace clipora;
using clipora::test::TempDir;
using clipora::test::writeBytes;

namespace {

std::string messageOf(const std::string& path)
{
    try {
        readPictureFile(path);
    } catch (const ImagingError& e) {
        return e.what();
    }
    return "no error";
}

Bytes readFixture(const std::string& name)
{
    return readFileBytes(std::string(CLIPORA_TEST_DATA) + "/metafiles/" + name);
}

}  // namespace

TEST(FileExtension, IsWhatFollowsTheLastDotOfTheName)
{
    EXPECT_EQ(fileExtension("/a/photo.JPG"), "JPG");
    EXPECT_EQ(fileExtension("/a.b/photo"), "");
    EXPECT_EQ(fileExtension("/a/x.tar.Png"), "Png");
    EXPECT_EQ(fileExtension("photo."), "");
}

TEST(PictureReader, ChoosesTheReaderByExtensionIgnoringCase)
{
    TempDir dir;
    const Bitmap24 picture = test::randomBitmap(7, 5, 3);
    writeFileAtomic(dir.file("a.BMP"), encodeBmp(picture));
    writeFileAtomic(dir.file("b.Png"), encodePng(picture));
    writeFileAtomic(dir.file("c.JPEG"), encodeJpeg(picture, 90));
    const Picture bmp = readPictureFile(dir.file("a.BMP"));
    EXPECT_EQ(bmp.kind, PictureKind::Bitmap);
    EXPECT_TRUE(test::samePixels(picture, bmp.pixels));
    EXPECT_EQ(readPictureFile(dir.file("b.Png")).kind, PictureKind::Png);
    EXPECT_EQ(readPictureFile(dir.file("c.JPEG")).kind, PictureKind::Jpeg);

    // The content is not sniffed: a JPEG named .bmp goes to the bitmap reader.
    writeFileAtomic(dir.file("d.bmp"), encodeJpeg(picture, 90));
    EXPECT_EQ(messageOf(dir.file("d.bmp")), "ビットマップイメージが不正です");
}

TEST(PictureReader, ReadsWebpAvifHeifAndTiffByExtensionIgnoringCase)
{
    TempDir dir;
    const Bitmap24 picture = test::photoLike(9, 6, 2);
    struct Road {
        const char* written;
        std::vector<const char*> names;
        PictureKind kind;
    };
    const Road roads[] = {{"webp", {"a.webp", "a.WebP"}, PictureKind::Webp},
                          {"avif", {"b.avif", "b.AVIF"}, PictureKind::Avif},
                          {"heic", {"c.heic", "c.HEIF", "c.Heic"}, PictureKind::Heif},
                          {"tif", {"d.tif", "d.TIFF", "d.Tiff"}, PictureKind::Tiff}};
    for (const Road& road : roads) {
        const Bytes file = test::writtenByTool(road.written, dir.path().string(), picture);
        if (file.empty())  // heif-enc without its HEVC encoder
            continue;
        for (const char* name : road.names) {
            writeFileAtomic(dir.file(name), file);
            const Picture read = readPictureFile(dir.file(name));
            EXPECT_EQ(read.kind, road.kind) << name;
            EXPECT_EQ(read.width(), 9) << name;
        }
    }
    // Still by extension, not content: a PNG named .webp goes to the WebP reader.
    writeFileAtomic(dir.file("e.webp"), encodePng(picture));
    EXPECT_EQ(messageOf(dir.file("e.webp")).rfind("WebP イメージが不正です (", 0), 0u);
}

TEST(PictureReader, RefusesUnknownExtensionsAndMissingFiles)
{
    TempDir dir;
    test::writeBytes(dir.file("notes.txt"), {'h', 'i'});
    test::writeBytes(dir.file("noext"), {'h', 'i'});
    EXPECT_EQ(messageOf(dir.file("notes.txt")), "拡張子 .txt の画像形式は処理できません");
    EXPECT_EQ(messageOf(dir.file("noext")), "拡張子 . の画像形式は処理できません");
    EXPECT_EQ(messageOf(dir.file("gone.png")), "ファイル " + dir.file("gone.png") + " は開けません");
}

TEST(PictureReader, BitmapWithShortPixelDataIsInvalid)
{
    const Bytes file = encodeBmp(test::randomBitmap(40, 30, 1));
    for (std::size_t cut : {std::size_t(0), std::size_t(20), std::size_t(54), file.size() - 1})
        try {
            readBmp(ByteView(file.data(), cut));
            ADD_FAILURE() << "cut at " << cut << " was accepted";
        } catch (const ImagingError& e) {
            EXPECT_STREQ(e.what(), "ビットマップイメージが不正です");
        }
    EXPECT_NO_THROW(readBmp(file));
}

TEST(PictureReader, IconsKeepTheirTransparency)
{
    QImage icon(16, 16, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    icon.setPixel(3, 4, qRgba(255, 0, 0, 255));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(QImageWriter(&buffer, "ico").write(icon));
    const Bytes file(bytes.begin(), bytes.end());
    const Picture p = readIco(file);
    EXPECT_EQ(p.kind, PictureKind::Icon);
    ASSERT_TRUE(p.hasTransparency());
    EXPECT_EQ(p.alpha[4 * 16 + 3], 255);
    EXPECT_EQ(p.alpha[0], 0);
    EXPECT_EQ(test::rgbAt(p.pixels, 3, 4), 0xFF0000u);
    EXPECT_EQ(test::rgbAt(flattenPicture(p), 0, 0), 0xFFFFFFu);

    try {
        readIco(ByteView(file.data(), 10));
        ADD_FAILURE() << "a cut icon was accepted";
    } catch (const ImagingError& e) {
        EXPECT_STREQ(e.what(), "アイコン イメージが不正です");
    }
}

TEST(PictureReader, BitmapDeclaringAHugePictureIsRefused)
{
    Bytes file = encodeBmp(test::randomBitmap(4, 4, 1));
    for (std::size_t at : {std::size_t(18), std::size_t(22)}) {  // width, height: 90000
        file[at] = 0x90, file[at + 1] = 0x5F, file[at + 2] = 0x01, file[at + 3] = 0;
    }
    try {
        readBmp(file);
        ADD_FAILURE() << "accepted";
    } catch (const ImagingError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("画像が大きすぎます", 0), 0u) << e.what();
    }
}

TEST(MetafileFiles, ReadPictureFileTakesWmfAndEmfByExtension)
{
    TempDir dir;
    writeBytes(dir.file("drawing.WMF"), readFixture("office-drawing.wmf"));
    writeBytes(dir.file("plot.Emf"), readFixture("gnuplot-plot.emf"));
    EXPECT_EQ(readPictureFile(dir.file("drawing.WMF")).width(), 302);
    EXPECT_EQ(readPictureFile(dir.file("plot.Emf")).width(), 319);
    // Content is not sniffed: an EMF named .wmf is not a WMF.
    writeBytes(dir.file("plot.wmf"), readFixture("gnuplot-plot.emf"));
    EXPECT_THROW(readPictureFile(dir.file("plot.wmf")), ImagingError);
}

namespace {

// What readFlattenedArea gives, as text to compare: the pixels' size and a
// sum of them, or the error; the picture's size when the area lies outside.
std::string areaOf(const std::string& path, const CutArea& area)
{
    try {
        const FlattenedArea cut = readFlattenedArea(path, area);
        if (cut.pixels.empty())
            return "outside " + std::to_string(cut.pictureWidth) + "x" + std::to_string(cut.pictureHeight);
        std::uint64_t sum = 0;
        for (int y = 0; y < cut.pixels.height(); ++y)
            for (int x = 0; x < 3 * cut.pixels.width(); ++x)
                sum = sum * 31 + cut.pixels.row(y)[x];
        return std::to_string(cut.pixels.width()) + "x" + std::to_string(cut.pixels.height()) + " " +
               std::to_string(sum);
    } catch (const ImagingError& e) {
        return e.what();
    }
}

// The same from the whole picture, as the crop read it before.
std::string wholeAreaOf(const std::string& path, const CutArea& area)
{
    try {
        const Bitmap24 whole = flattenPicture(readPictureFile(path));
        if (area.xl < 0 || area.yu < 0 || area.xr > whole.width() || area.yb > whole.height())
            return "outside " + std::to_string(whole.width()) + "x" + std::to_string(whole.height());
        const Bitmap24 cut = cutArea(whole, area);
        std::uint64_t sum = 0;
        for (int y = 0; y < cut.height(); ++y)
            for (int x = 0; x < 3 * cut.width(); ++x)
                sum = sum * 31 + cut.row(y)[x];
        return std::to_string(cut.width()) + "x" + std::to_string(cut.height()) + " " + std::to_string(sum);
    } catch (const ImagingError& e) {
        return e.what();
    }
}

}  // namespace

TEST(FlattenedArea, GivesWhatCuttingTheWholePictureGivesForEveryKindAndDamage)
{
    TempDir dir;
    const Bitmap24 picture = test::photoLike(300, 240, 9);
    writeFileAtomic(dir.file("a.bmp"), encodeBmp(picture));
    writeFileAtomic(dir.file("b.png"), encodePng(picture));
    const Bytes jpeg = encodeJpeg(picture, 90);
    writeFileAtomic(dir.file("c.jpg"), jpeg);
    // Cut short at two thirds: inside some areas, below others.
    const auto twoThirds = static_cast<std::ptrdiff_t>(jpeg.size() * 2 / 3);
    writeFileAtomic(dir.file("e.jpg"), Bytes(jpeg.begin(), jpeg.begin() + twoThirds));
    const Bytes png = encodePng(picture);
    writeFileAtomic(dir.file("f.png"), Bytes(png.begin(), png.end() - 20));
    QImage icon(16, 16, QImage::Format_ARGB32);
    icon.fill(QColor(10, 200, 30, 128));
    ASSERT_TRUE(icon.save(QString::fromStdString(dir.file("g.ico")), "ico"));
    writeBytes(dir.file("h.wmf"), readFixture("office-drawing.wmf"));

    const CutArea areas[] = {{0, 0, 16, 16}, {3, 5, 14, 9}, {101, 7, 250, 33}, {17, 180, 299, 240},
                             {0, 0, 300, 240}, {290, 0, 301, 5}, {-1, 0, 4, 4}};
    for (const char* name : {"a.bmp", "b.png", "c.jpg", "e.jpg", "f.png", "g.ico", "h.wmf", "none.jpg"})
        for (const CutArea& area : areas)
            EXPECT_EQ(areaOf(dir.file(name), area), wholeAreaOf(dir.file(name), area))
                << name << " (" << area.xl << "," << area.yu << ")-(" << area.xr << "," << area.yb << ")";
}
