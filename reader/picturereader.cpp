#include "picturereader.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "imaging/errors.h"
#include "imaging/fileio.h"
#include "imaging/limits.h"
#include "metafile/metafile.h"

namespace clipora {

namespace {

std::uint32_t le32(const std::uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24); }
std::uint16_t le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

// Qt reads a bitmap whose pixel data is cut short as a picture of whatever
// memory held; refuse such a file before Qt sees it.
void checkBitmapComplete(ByteView file)
{
    if (file.size() < 26 || file[0] != 'B' || file[1] != 'M')
        throw ImagingError(messages::invalidBitmap);
    const std::uint32_t offset = le32(&file[10]);
    const std::uint32_t headerSize = le32(&file[14]);
    std::int64_t width, height;
    unsigned bits, compression = 0;
    if (headerSize == 12) {  // OS/2 core header
        width = le16(&file[18]);
        height = static_cast<std::int16_t>(le16(&file[20]));
        bits = le16(&file[24]);
    } else {
        if (headerSize < 40 || file.size() < 14 + 40)
            throw ImagingError(messages::invalidBitmap);
        width = static_cast<std::int32_t>(le32(&file[18]));
        height = static_cast<std::int32_t>(le32(&file[22]));
        bits = le16(&file[28]);
        compression = le32(&file[30]);
    }
    if (height < 0)
        height = -height;
    if (width <= 0 || height <= 0)
        throw ImagingError(messages::invalidBitmap);
    checkPictureSize(width, height);
    // Uncompressed (0) and bit-field (3, 6) pixels have a size fixed by the header.
    if (compression == 0 || compression == 3 || compression == 6) {
        const std::int64_t stride = ((width * bits + 31) / 32) * 4;
        if (static_cast<std::int64_t>(offset) + stride * height > static_cast<std::int64_t>(file.size()))
            throw ImagingError(messages::invalidBitmap);
    } else if (offset >= file.size()) {
        throw ImagingError(messages::invalidBitmap);
    }
}

QImage readWithQt(ByteView file, const char* format, const char* invalidMessage)
{
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(file.data()),
                                               static_cast<qsizetype>(file.size()));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setDecideFormatFromContent(false);
    reader.setAutoTransform(false);
    const QSize size = reader.size();
    if (size.isValid())
        checkPictureSize(size.width(), size.height());
    QImage image = reader.read();
    if (image.isNull() || image.width() <= 0 || image.height() <= 0)
        throw ImagingError(invalidMessage);
    return image;
}

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

}  // namespace

Picture pictureFromImage(const QImage& source, PictureKind kind)
{
    checkPictureSize(source.width(), source.height());
    const bool transparent = source.hasAlphaChannel();
    const QImage image = source.convertToFormat(transparent ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    Picture picture;
    picture.kind = kind;
    picture.pixels = Bitmap24(image.width(), image.height());
    if (transparent)
        picture.alpha.resize(static_cast<std::size_t>(image.width()) * image.height());
    for (int y = 0; y < image.height(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        std::uint8_t* dst = picture.pixels.row(y);
        for (int x = 0; x < image.width(); ++x) {
            dst[3 * x] = static_cast<std::uint8_t>(qBlue(src[x]));
            dst[3 * x + 1] = static_cast<std::uint8_t>(qGreen(src[x]));
            dst[3 * x + 2] = static_cast<std::uint8_t>(qRed(src[x]));
        }
        if (transparent) {
            std::uint8_t* a = picture.alpha.data() + static_cast<std::size_t>(y) * image.width();
            for (int x = 0; x < image.width(); ++x)
                a[x] = static_cast<std::uint8_t>(qAlpha(src[x]));
        }
    }
    if (transparent && std::all_of(picture.alpha.begin(), picture.alpha.end(), [](std::uint8_t a) { return a == 255; }))
        picture.alpha.clear();
    return picture;
}

Picture readBmp(ByteView file)
{
    checkBitmapComplete(file);
    return pictureFromImage(readWithQt(file, "bmp", messages::invalidBitmap), PictureKind::Bitmap);
}

Picture readIco(ByteView file)
{
    return pictureFromImage(readWithQt(file, "ico", messages::invalidIcon), PictureKind::Icon);
}

FlattenedArea readFlattenedArea(const std::string& path, const CutArea& area)
{
    const std::string kind = lower(fileExtension(path));
    const bool jpeg = kind == "jpg" || kind == "jpeg";
    Bitmap24 whole;
    if (jpeg || kind == "png") {
        {
            FileSource file(path);
            if (auto part = jpeg ? decodeJpegArea(file, area) : decodePngArea(file, area))
                return {std::move(*part), 0, 0};
        }
        const std::vector<std::uint8_t> bytes = readFileBytes(path);
        whole = flattenPicture(jpeg ? decodeJpeg(bytes) : decodePng(bytes));
    } else {
        whole = flattenPicture(readPictureFile(path));
    }
    FlattenedArea result;
    result.pictureWidth = whole.width();
    result.pictureHeight = whole.height();
    if (area.xl >= 0 && area.yu >= 0 && !area.empty() && area.xr <= whole.width() && area.yb <= whole.height())
        result.pixels = cutArea(whole, area);
    return result;
}

Picture readPictureFile(const std::string& path)
{
    const std::string extension = fileExtension(path);
    const std::string kind = lower(extension);
    using Reader = Picture (*)(ByteView);
    Reader reader = nullptr;
    if (kind == "bmp")
        reader = readBmp;
    else if (kind == "ico")
        reader = readIco;
    else if (kind == "jpg" || kind == "jpeg")
        reader = decodeJpeg;
    else if (kind == "gif")
        reader = decodeGif;
    else if (kind == "png")
        reader = decodePng;
    else if (kind == "webp")
        reader = decodeWebp;
    else if (kind == "avif")
        reader = decodeAvif;
    else if (kind == "heic" || kind == "heif")
        reader = decodeHeif;
    else if (kind == "tif" || kind == "tiff")
        reader = decodeTiff;
    else if (kind == "wmf")
        reader = readWmf;
    else if (kind == "emf")
        reader = readEmf;
    else
        throw ImagingError(formatMessage(messages::unsupportedExtension, extension));
    const std::vector<std::uint8_t> bytes = readFileBytes(path);
    return reader(bytes);
}

}  // namespace clipora
