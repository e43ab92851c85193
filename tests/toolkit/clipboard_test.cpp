#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "imaging/codecs.h"
#include "imaging/errors.h"
#include "tests/support/formatfiles.h"
#include "tests/support/testsupport.h"
#include "toolkit/clipboard.h"
#include "reader/picturereader.h"

using namespace clipora;
using clipora::test::randomBitmap;
using clipora::test::samePixels;

namespace {

QByteArray toByteArray(const Bytes& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

ByteView viewOf(const QByteArray& bytes)
{
    return {reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())};
}

// The message of the error `read` throws, or "" when it throws none.
template <typename Read>
std::string errorOf(Read read)
{
    try {
        read();
    } catch (const ImagingError& error) {
        return error.what();
    }
    return {};
}

// Installs a metafile reader for one test and removes it afterwards.
struct MetafileReaderGuard {
    explicit MetafileReaderGuard(ClipboardMetafileReader reader) { setClipboardMetafileReader(std::move(reader)); }
    ~MetafileReaderGuard() { setClipboardMetafileReader({}); }
};

const Bitmap24 red = test::makeBitmap(3, 2, [](int, int) { return 0xFF0000u; });
const Bitmap24 green = test::makeBitmap(2, 3, [](int, int) { return 0x00FF00u; });

}  // namespace

struct KindRow {
    const char* name;
    const char* mimeType;
    ClipboardKind kind;
    friend std::ostream& operator<<(std::ostream& out, const KindRow& row) { return out << row.mimeType; }
};

class ClipboardKindOf : public ::testing::TestWithParam<KindRow> {};

TEST_P(ClipboardKindOf, MapsTheMimeTypeOntoAPictureKind)
{
    EXPECT_EQ(clipboardKindOf(QString::fromLatin1(GetParam().mimeType)), GetParam().kind);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ClipboardKindOf,
    ::testing::Values(KindRow{"Png", "image/png", ClipboardKind::Bitmap},
                      KindRow{"PngInCapitals", "IMAGE/PNG", ClipboardKind::Bitmap},
                      KindRow{"Bmp", "image/bmp", ClipboardKind::Bitmap},
                      KindRow{"XBmp", "image/x-bmp", ClipboardKind::Bitmap},
                      KindRow{"Jpeg", "image/jpeg", ClipboardKind::Bitmap},
                      KindRow{"WhatQtReportsAsAnImage", "application/x-qt-image", ClipboardKind::Bitmap},
                      KindRow{"Gif", "image/gif", ClipboardKind::Gif},
                      KindRow{"XWmf", "image/x-wmf", ClipboardKind::Metafile},
                      KindRow{"Wmf", "image/wmf", ClipboardKind::Metafile},
                      KindRow{"XEmf", "image/x-emf", ClipboardKind::Metafile},
                      KindRow{"Emf", "image/emf", ClipboardKind::Metafile},
                      KindRow{"Text", "text/plain", ClipboardKind::None},
                      KindRow{"Html", "text/html", ClipboardKind::None},
                      KindRow{"VectorSvg", "image/svg+xml", ClipboardKind::None},
                      KindRow{"UnknownImageType", "image/x-no-such-format", ClipboardKind::None}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ClipboardPaste, TakesTheFirstPictureFormatInTheClipboardsOrder)
{
    QMimeData pngFirst;
    pngFirst.setText(QStringLiteral("words"));
    pngFirst.setData(QStringLiteral("image/png"), toByteArray(encodePng(red)));
    pngFirst.setData(QStringLiteral("image/bmp"), toByteArray(encodeBmp(green)));
    EXPECT_TRUE(samePixels(red, pictureFromMimeData(&pngFirst).pixels));

    QMimeData bmpFirst;
    bmpFirst.setData(QStringLiteral("image/bmp"), toByteArray(encodeBmp(green)));
    bmpFirst.setData(QStringLiteral("image/png"), toByteArray(encodePng(red)));
    const Picture picture = pictureFromMimeData(&bmpFirst);
    EXPECT_TRUE(samePixels(green, picture.pixels));
    EXPECT_EQ(picture.kind, PictureKind::Bitmap);
}

TEST(ClipboardPaste, ReadsEachRasterFormatExactly)
{
    const Bitmap24 picture = randomBitmap(7, 5, 11);  // odd width: rows carry padding
    const std::vector<std::pair<QString, QByteArray>> forms = {
        {QStringLiteral("image/png"), toByteArray(encodePng(picture))},
        {QStringLiteral("image/bmp"), toByteArray(encodeBmp(picture))},
        {QStringLiteral("image/x-bmp"), toByteArray(encodeBmp(picture))},
    };
    for (const auto& [type, bytes] : forms) {
        QMimeData data;
        data.setData(type, bytes);
        EXPECT_TRUE(samePixels(picture, pictureFromMimeData(&data).pixels)) << type.toStdString();
    }

    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(qRgb(10, 20, 30));
    image.setPixel(2, 1, qRgb(200, 100, 50));
    QMimeData qtImage;
    qtImage.setImageData(image);
    const Picture fromQt = pictureFromMimeData(&qtImage);
    ASSERT_EQ(fromQt.width(), 3);
    EXPECT_EQ(test::rgbAt(fromQt.pixels, 0, 0), 0x0A141Eu);
    EXPECT_EQ(test::rgbAt(fromQt.pixels, 2, 1), 0xC86432u);
    EXPECT_FALSE(fromQt.hasTransparency());
}

TEST(ClipboardPaste, WebpAvifHeifAndTiffDataGoThroughTheirReaders)
{
    test::TempDir dir;
    const Bitmap24 picture = test::photoLike(11, 7, 6);
    for (const auto& [type, extension] : {std::pair {"image/webp", "webp"}, {"image/avif", "avif"},
                                          {"image/heic", "heic"}, {"image/tiff", "tif"}}) {
        EXPECT_EQ(clipboardKindOf(QString::fromLatin1(type)), ClipboardKind::Bitmap) << type;
        const Bytes file = test::writtenByTool(extension, dir.path().string(), picture);
        if (file.empty())  // heif-enc without its HEVC encoder
            continue;
        QMimeData data;
        data.setData(QString::fromLatin1(type), toByteArray(file));
        const Picture pasted = pictureFromMimeData(&data);
        EXPECT_EQ(pasted.width(), 11) << type;
        if (std::string(extension) != "heic") {  // heif-enc is not exact
            EXPECT_TRUE(samePixels(picture, pasted.pixels)) << type;
        }
        data.setData(QString::fromLatin1(type), toByteArray(Bytes(file.begin(), file.begin() + file.size() / 2)));
        EXPECT_THROW(pictureFromMimeData(&data), ImagingError) << type;
    }
}

TEST(ClipboardPaste, RefusesAClipboardWithoutAPicture)
{
    QMimeData text;
    text.setText(QStringLiteral("just words"));
    text.setHtml(QStringLiteral("<b>just words</b>"));
    EXPECT_EQ(errorOf([&] { pictureFromMimeData(&text); }), messages::invalidClipboardFormat);

    QMimeData empty;
    EXPECT_EQ(errorOf([&] { pictureFromMimeData(&empty); }), messages::invalidClipboardFormat);

    EXPECT_EQ(errorOf([] { pictureFromMimeData(nullptr); }), messages::cannotOpenClipboard);
}

TEST(ClipboardPaste, ABrokenFirstPictureGivesItsReadersMessageNotTheNextFormat)
{
    QMimeData data;
    data.setData(QStringLiteral("image/bmp"), QByteArray("BM but nothing else"));
    data.setData(QStringLiteral("image/png"), toByteArray(encodePng(red)));
    EXPECT_EQ(errorOf([&] { pictureFromMimeData(&data); }), messages::invalidBitmap);
}

TEST(ClipboardPaste, GifDataGoesThroughTheGifDecoder)
{
    // A 2 by 1 GIF87a: palette red, blue; pixels 0, 1.
    const QByteArray gif = QByteArray::fromHex(
        "474946383761020001008000" "00ff00000000ff"  // header, screen, 2-entry table
        "2c00000000020001000002" "02440a00"          // image, LZW min 2, data
        "3b");
    QMimeData data;
    data.setData(QStringLiteral("image/gif"), gif);
    data.setData(QStringLiteral("image/png"), toByteArray(encodePng(green)));

    const Picture picture = pictureFromMimeData(&data);
    EXPECT_EQ(picture.kind, PictureKind::Gif);
    ASSERT_EQ(picture.width(), 2);
    ASSERT_EQ(picture.height(), 1);
    EXPECT_EQ(test::rgbAt(picture.pixels, 0, 0), 0xFF0000u);
    EXPECT_EQ(test::rgbAt(picture.pixels, 1, 0), 0x0000FFu);

    QMimeData broken;
    broken.setData(QStringLiteral("image/gif"), gif.left(20));
    EXPECT_EQ(errorOf([&] { pictureFromMimeData(&broken); }), errorOf([&] { decodeGif(viewOf(gif.left(20))); }));
    EXPECT_NE(errorOf([&] { pictureFromMimeData(&broken); }), "");
}

TEST(ClipboardPaste, MetafilesGoThroughTheInstalledReader)
{
    QByteArray seenBytes;
    QString seenType;
    MetafileReaderGuard guard([&](ByteView bytes, const QString& type) {
        seenBytes = QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
        seenType = type;
        Picture picture;
        picture.pixels = red;
        return picture;
    });
    QMimeData data;
    data.setData(QStringLiteral("image/x-emf"), QByteArray("emf records"));
    data.setData(QStringLiteral("image/png"), toByteArray(encodePng(green)));
    const Picture picture = pictureFromMimeData(&data);
    EXPECT_TRUE(samePixels(red, picture.pixels));
    EXPECT_EQ(picture.kind, PictureKind::Metafile);
    EXPECT_EQ(seenBytes, QByteArray("emf records"));
    EXPECT_EQ(seenType, QStringLiteral("image/x-emf"));
}

TEST(ClipboardPaste, WithoutAMetafileReaderALaterPictureIsTakenOrTheMetafileIsNamed)
{
    const MetafileReaderGuard noReader {ClipboardMetafileReader {}};
    QMimeData metafileFirst;
    metafileFirst.setData(QStringLiteral("image/x-wmf"), QByteArray("wmf records"));
    metafileFirst.setData(QStringLiteral("image/png"), toByteArray(encodePng(green)));
    EXPECT_TRUE(samePixels(green, pictureFromMimeData(&metafileFirst).pixels));

    QMimeData metafileOnly;
    metafileOnly.setText(QStringLiteral("words"));
    metafileOnly.setData(QStringLiteral("image/emf"), QByteArray("emf records"));
    EXPECT_EQ(errorOf([&] { pictureFromMimeData(&metafileOnly); }),
              formatMessage(messages::clipboardMetafileUnreadable, "image/emf"));
}

TEST(ClipboardCopy, OffersTheBitmapAsPngBmpAndAQtImage)
{
    const Bitmap24 picture = randomBitmap(5, 3, 7);
    std::unique_ptr<QMimeData> data(mimeDataForBitmap(picture));
    const QStringList formats = data->formats();
    EXPECT_TRUE(formats.contains(QStringLiteral("image/png")));
    EXPECT_TRUE(formats.contains(QStringLiteral("image/bmp")));
    EXPECT_TRUE(data->hasImage());

    EXPECT_TRUE(samePixels(picture, decodePng(viewOf(data->data(QStringLiteral("image/png")))).pixels));
    EXPECT_TRUE(samePixels(picture, readBmp(viewOf(data->data(QStringLiteral("image/bmp")))).pixels));
    EXPECT_TRUE(samePixels(picture, readBmp(viewOf(data->data(QStringLiteral("image/x-bmp")))).pixels));
    const QImage image = qvariant_cast<QImage>(data->imageData());
    ASSERT_EQ(image.size(), QSize(5, 3));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(image.pixel(x, y) & 0xFFFFFFu, test::rgbAt(picture, x, y)) << x << ", " << y;
}

// The PNG is made on other threads from the moment of the copy: copies
// replaced before anyone asked (at once, or after their PNG was asked for
// once) end cleanly, and one asked twice hands out the same bytes.
TEST(ClipboardCopy, ThePngMadeAheadSurvivesCopiesReplacedAtAnyMoment)
{
    const Bitmap24 picture = test::photoLike(640, 480, 5);
    for (int n = 0; n < 8; ++n)
        std::unique_ptr<QMimeData>(mimeDataForBitmap(picture)).reset();
    std::unique_ptr<QMimeData> data(mimeDataForBitmap(picture));
    const QByteArray first = data->data(QStringLiteral("image/png"));
    EXPECT_EQ(first, data->data(QStringLiteral("image/png")));
    EXPECT_TRUE(samePixels(picture, decodePng(viewOf(first)).pixels));
    data.reset();
    const Bitmap24 tiny(1, 1, 9);
    data.reset(mimeDataForBitmap(tiny));
    EXPECT_TRUE(samePixels(tiny, decodePng(viewOf(data->data(QStringLiteral("image/png")))).pixels));
}

TEST(ClipboardCopy, PutsTheBitmapOnTheSystemClipboardForPasteAndOtherReaders)
{
    const Bitmap24 picture = randomBitmap(9, 4, 3);
    copyToClipboard(picture);
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(samePixels(picture, decodePng(viewOf(data->data(QStringLiteral("image/png")))).pixels));
    const Picture pasted = pasteFromClipboard();
    EXPECT_TRUE(samePixels(picture, pasted.pixels));
    EXPECT_EQ(pasted.kind, PictureKind::Bitmap);

    QGuiApplication::clipboard()->setText(QStringLiteral("text replaces the picture"));
    EXPECT_EQ(errorOf([] { pasteFromClipboard(); }), messages::invalidClipboardFormat);
}

TEST(ClipboardCopy, RefusesAnEmptyBitmapAndLeavesTheClipboardAlone)
{
    QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
    EXPECT_EQ(errorOf([] { copyToClipboard(Bitmap24(0, 5)); }), messages::emptyCopyArea);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("kept"));
}
