#include "imagecontrol.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

#include "accessible.h"
#include "pointerpixel.h"

namespace clipora {

QImage toQImage(const Picture& picture)
{
    const int w = picture.width();
    const int h = picture.height();
    if (w <= 0 || h <= 0)
        return {};
    const bool transparent = picture.hasTransparency();
    QImage image(w, h, transparent ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull())
        throw std::bad_alloc();
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* src = picture.pixels.row(y);
        auto* dst = reinterpret_cast<QRgb*>(image.scanLine(y));
        const std::uint8_t* a = transparent ? picture.alpha.data() + static_cast<std::size_t>(y) * w : nullptr;
        for (int x = 0; x < w; ++x)
            dst[x] = qRgba(src[3 * x + 2], src[3 * x + 1], src[3 * x], a ? a[x] : 255);
    }
    return image;
}

ImageControl::ImageControl(QWidget* parent) : QWidget(parent)
{
    setCursor(Qt::CrossCursor);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    installAccessibleFactory();
}

void ImageControl::setPicture(Picture picture)
{
    QImage image;
    if (picture.width() > 0 && picture.height() > 0) {
        if (picture.hasTransparency()) {
            image = toQImage(picture);
        } else {
            // Opaque: paint straight from the picture's own rows (blue, green,
            // red; rows padded to four bytes), no copy.
            image = QImage(picture.pixels.data(), picture.width(), picture.height(),
                           static_cast<qsizetype>(picture.pixels.stride()), QImage::Format_BGR888);
        }
    }
    picture_ = std::move(picture);  // the rows stay where they are
    image_ = image;
    hasPicture_ = true;
    if (picture_.width() > 0 && picture_.height() > 0)
        resize(picture_.width(), picture_.height());
    update();
    emit pictureChanged();
}

void ImageControl::setBitmap(const Bitmap24& bitmap)
{
    Picture picture;
    picture.kind = PictureKind::Bitmap;
    picture.pixels = bitmap;
    setPicture(std::move(picture));
}

void ImageControl::clearPicture()
{
    image_ = QImage();
    picture_ = Picture();
    hasPicture_ = false;
    update();
    emit pictureChanged();
}

QColor ImageControl::shownColour(QPoint pos) const
{
    if (image_.isNull())
        return Qt::white;
    const QPoint at(std::clamp(pos.x(), 0, image_.width() - 1), std::clamp(pos.y(), 0, image_.height() - 1));
    if (!image_.hasAlphaChannel())
        return QColor::fromRgb(image_.pixel(at));
    // The control fills no background of its own: what shows through is the
    // background of the nearest widget below it that fills one.
    const QWidget* below = parentWidget();
    while (below && !below->autoFillBackground() && !below->isWindow())
        below = below->parentWidget();
    const QWidget* ground = below ? below : this;
    QImage pixel(1, 1, QImage::Format_RGB32);
    pixel.fill(ground->palette().color(ground->backgroundRole()));
    QPainter painter(&pixel);
    painter.drawImage(QPoint(0, 0), image_, QRect(at, QSize(1, 1)));
    painter.end();
    return QColor::fromRgb(pixel.pixel(0, 0));
}

void ImageControl::paintEvent(QPaintEvent* event)
{
    if (image_.isNull())
        return;
    QPainter painter(this);
    const QRect area = event->rect() & image_.rect();
    if (!area.isEmpty())
        painter.drawImage(area.topLeft(), image_, area);
}

void ImageControl::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    emit mouseDown(pointerPixel(this, event), event->button(), event->modifiers());
}

void ImageControl::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
    emit mouseMove(pointerPixel(this, event), event->buttons(), event->modifiers());
}

void ImageControl::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    emit mouseUp(pointerPixel(this, event), event->button(), event->modifiers());
}

}  // namespace clipora
