#include "clipboard.h"

#include <QBuffer>
#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QMimeData>
#include <QStringList>
#include <QVariant>

#include <atomic>
#include <future>
#include <optional>

#include "imaging/errors.h"
#include "imaging/limits.h"
#include "imaging/quickpng.h"
#include "reader/picturereader.h"
#include "toolkit/x11clipboard.h"

namespace clipora {

namespace {

const QString qtImageType = QStringLiteral("application/x-qt-image");

ClipboardMetafileReader& metafileReader()
{
    static ClipboardMetafileReader reader;
    return reader;
}

ByteView bytesOf(const QByteArray& data)
{
    return {reinterpret_cast<const std::uint8_t*>(data.constData()), static_cast<std::size_t>(data.size())};
}

Picture pictureFromImage(const QImage& source)
{
    if (source.isNull() || source.width() <= 0 || source.height() <= 0)
        throw ImagingError(messages::invalidBitmap);
    return clipora::pictureFromImage(source, PictureKind::Bitmap);
}

// A raster type other than the ones we decode ourselves, read by Qt's
// reader for that type only.
Picture readWithQt(const QByteArray& data, const QString& mimeType)
{
    const QList<QByteArray> formats = QImageReader::imageFormatsForMimeType(mimeType.toLatin1());
    QByteArray bytes = data;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, formats.value(0));
    reader.setDecideFormatFromContent(false);
    const QSize size = reader.size();
    if (size.isValid())
        checkPictureSize(size.width(), size.height());
    return pictureFromImage(reader.read());
}

bool isQtRasterType(const QString& mimeType)
{
    if (!mimeType.startsWith(QStringLiteral("image/")) || mimeType.startsWith(QStringLiteral("image/svg")))
        return false;
    return !QImageReader::imageFormatsForMimeType(mimeType.toLatin1()).isEmpty();
}

Picture readBitmapFormat(const QMimeData& data, const QString& format, const QString& mimeType)
{
    if (mimeType == qtImageType)
        return pictureFromImage(qvariant_cast<QImage>(data.imageData()));
    const QByteArray bytes = data.data(format);
    Picture picture;
    if (mimeType == QStringLiteral("image/png"))
        picture = decodePng(bytesOf(bytes));
    else if (mimeType == QStringLiteral("image/jpeg"))
        picture = decodeJpeg(bytesOf(bytes));
    else if (mimeType == QStringLiteral("image/webp"))
        picture = decodeWebp(bytesOf(bytes));
    else if (mimeType == QStringLiteral("image/avif"))
        picture = decodeAvif(bytesOf(bytes));
    else if (mimeType == QStringLiteral("image/heic") || mimeType == QStringLiteral("image/heif"))
        picture = decodeHeif(bytesOf(bytes));
    else if (mimeType == QStringLiteral("image/tiff"))
        picture = decodeTiff(bytesOf(bytes));
    else if (mimeType == QStringLiteral("image/bmp") || mimeType == QStringLiteral("image/x-bmp") ||
             mimeType == QStringLiteral("image/x-ms-bmp"))
        picture = readBmp(bytesOf(bytes));
    else
        picture = readWithQt(bytes, mimeType);
    picture.kind = PictureKind::Bitmap;
    return picture;
}

// The clipboard data our own copy puts there: the bitmap, turned into a
// file format only when someone asks for that format. The PNG, the form
// other programs ask for first, is made for speed and started at once on
// other threads, so that a paste elsewhere finds it ready (or nearly). On
// X11 other programs' requests for it are answered by serveClipboardPngOnX11
// as soon as it is ready, and the window goes on answering meanwhile; a
// request that reaches retrieveData (other platforms) waits for it there.
class BitmapMimeData : public QMimeData {
public:
    explicit BitmapMimeData(Bitmap24 bitmap) : bitmap_(std::move(bitmap)), png_(std::make_shared<ClipboardPng>())
    {
        making_ = std::async(std::launch::async, [this, png = png_] {
            try {
                const Bytes bytes = encodePngQuickly(bitmap_, 0, &png->dropped);
                if (!bytes.empty())
                    png->bytes = std::make_shared<const QByteArray>(toByteArray(bytes));
            } catch (...) {
                // No PNG: requests for it are refused.
            }
            png->finished.store(true, std::memory_order_release);
        });
    }

    // Replaced on the clipboard: the PNG is wanted only by transfers that
    // already have it (they share its bytes); one still being made stops.
    ~BitmapMimeData() override
    {
        png_->dropped = true;
        if (making_.valid())
            making_.wait();  // the thread reads bitmap_
    }

    std::shared_ptr<ClipboardPng> png() const { return png_; }

    const Bitmap24& bitmap() const { return bitmap_; }

    QStringList formats() const override
    {
        return {QStringLiteral("image/png"), QStringLiteral("image/bmp"), QStringLiteral("image/x-bmp"), qtImageType};
    }

    bool hasFormat(const QString& mimeType) const override { return formats().contains(mimeType); }

protected:
    // Called by Qt, also from the event loop when another program asks:
    // nothing may escape from here.
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override
    {
        try {
            if (mimeType == QStringLiteral("image/png")) {
                making_.wait();  // while it is still being made
                return png_->bytes ? QVariant(*png_->bytes) : QVariant();
            }
            if (mimeType == QStringLiteral("image/bmp") || mimeType == QStringLiteral("image/x-bmp")) {
                if (!bmp_)
                    bmp_ = toByteArray(encodeBmp(bitmap_));
                return *bmp_;
            }
            if (mimeType == qtImageType)
                return toImage();
        } catch (const std::exception&) {
            return {};
        }
        return QMimeData::retrieveData(mimeType, type);
    }

private:
    static QByteArray toByteArray(const Bytes& bytes)
    {
        return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    }

    QImage toImage() const
    {
        QImage image(bitmap_.width(), bitmap_.height(), QImage::Format_RGB32);
        for (int y = 0; y < bitmap_.height(); ++y) {
            const std::uint8_t* src = bitmap_.row(y);
            auto* dst = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < bitmap_.width(); ++x)
                dst[x] = qRgb(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
        }
        return image;
    }

    Bitmap24 bitmap_;
    std::shared_ptr<ClipboardPng> png_;
    std::future<void> making_;
    mutable std::optional<QByteArray> bmp_;
};

}  // namespace

ClipboardKind clipboardKindOf(const QString& format)
{
    const QString mimeType = format.toLower();
    if (mimeType == QStringLiteral("image/gif"))
        return ClipboardKind::Gif;
    if (mimeType == QStringLiteral("image/x-wmf") || mimeType == QStringLiteral("image/wmf") ||
        mimeType == QStringLiteral("image/x-emf") || mimeType == QStringLiteral("image/emf"))
        return ClipboardKind::Metafile;
    if (mimeType == QStringLiteral("image/png") || mimeType == QStringLiteral("image/bmp") ||
        mimeType == QStringLiteral("image/x-bmp") || mimeType == QStringLiteral("image/x-ms-bmp") ||
        mimeType == QStringLiteral("image/jpeg") || mimeType == QStringLiteral("image/webp") ||
        mimeType == QStringLiteral("image/avif") || mimeType == QStringLiteral("image/heic") ||
        mimeType == QStringLiteral("image/heif") || mimeType == QStringLiteral("image/tiff") ||
        mimeType == qtImageType || isQtRasterType(mimeType))
        return ClipboardKind::Bitmap;
    return ClipboardKind::None;
}

void setClipboardMetafileReader(ClipboardMetafileReader reader)
{
    metafileReader() = std::move(reader);
}

Picture pictureFromMimeData(const QMimeData* data)
{
    if (!data)
        throw ImagingError(messages::cannotOpenClipboard);
    // Our own copy, still on the clipboard: its pixels as they are.
    if (const auto* own = dynamic_cast<const BitmapMimeData*>(data)) {
        Picture picture;
        picture.pixels = own->bitmap();
        return picture;
    }
    QString unreadMetafile;
    for (const QString& format : data->formats()) {
        const QString mimeType = format.toLower();
        switch (clipboardKindOf(mimeType)) {
        case ClipboardKind::None:
            break;
        case ClipboardKind::Bitmap:
            return readBitmapFormat(*data, format, mimeType);
        case ClipboardKind::Gif: {
            Picture picture = decodeGif(bytesOf(data->data(format)));
            picture.kind = PictureKind::Gif;
            return picture;
        }
        case ClipboardKind::Metafile:
            if (!metafileReader()) {
                if (unreadMetafile.isEmpty())
                    unreadMetafile = format;
                break;
            }
            Picture picture = metafileReader()(bytesOf(data->data(format)), mimeType);
            picture.kind = PictureKind::Metafile;
            return picture;
        }
    }
    if (!unreadMetafile.isEmpty())
        throw ImagingError(formatMessage(messages::clipboardMetafileUnreadable, unreadMetafile.toStdString()));
    throw ImagingError(messages::invalidClipboardFormat);
}

Picture pasteFromClipboard()
{
    QClipboard* clipboard = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                                ? QGuiApplication::clipboard()
                                : nullptr;
    if (!clipboard)
        throw ImagingError(messages::cannotOpenClipboard);
    return pictureFromMimeData(clipboard->mimeData(QClipboard::Clipboard));
}

QMimeData* mimeDataForBitmap(Bitmap24 bitmap)
{
    return new BitmapMimeData(std::move(bitmap));
}

void copyToClipboard(Bitmap24 bitmap)
{
    if (bitmap.empty())
        throw ImagingError(messages::emptyCopyArea);
    QClipboard* clipboard = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                                ? QGuiApplication::clipboard()
                                : nullptr;
    if (!clipboard)
        throw ImagingError(messages::cannotOpenClipboard);
    serveClipboardPngOnX11([]() -> std::shared_ptr<ClipboardPng> {
        const QClipboard* clipboard = QGuiApplication::clipboard();
        if (!clipboard->ownsClipboard())
            return nullptr;
        const auto* own = dynamic_cast<const BitmapMimeData*>(clipboard->mimeData(QClipboard::Clipboard));
        return own ? own->png() : nullptr;
    });
    QMimeData* data = mimeDataForBitmap(std::move(bitmap));
    clipboard->setMimeData(data, QClipboard::Clipboard);  // the clipboard owns `data` from here
    // Where the platform would not make us the clipboard's owner, the
    // clipboard goes on reporting someone else's data.
    if (clipboard->mimeData(QClipboard::Clipboard) != data)
        throw ImagingError(messages::cannotOpenClipboard);
}

}  // namespace clipora
