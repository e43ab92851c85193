// Draws Clipora's application icon at the standard sizes into
// data/icons/hicolor/NxN/apps/clipora.png. Run once when the design
// changes; the PNG files are committed. Usage: clipora-make-icons DATA_FOLDER
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

namespace {

QImage drawIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);

    // The photo: sky, sun and a hill on a rounded card.
    QPainterPath card;
    card.addRoundedRect(QRectF(4, 4, 56, 56), 8, 8);
    p.fillPath(card, QColor(0x4A, 0x90, 0xD9));
    p.setClipPath(card);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xFF, 0xD3, 0x4E));
    p.drawEllipse(QPointF(44, 18), 7, 7);
    p.setBrush(QColor(0x3C, 0xA5, 0x5C));
    p.drawEllipse(QPointF(20, 66), 34, 24);
    p.setClipping(false);

    // The cut area: a white frame with dark corner marks.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 3));
    p.drawRect(QRectF(16, 14, 30, 34));
    p.setPen(QPen(QColor(0x20, 0x20, 0x20), 4, Qt::SolidLine, Qt::SquareCap));
    const QPointF corners[] = {{16, 14}, {46, 14}, {16, 48}, {46, 48}};
    for (const QPointF c : corners) {
        const double dx = c.x() < 30 ? 6 : -6, dy = c.y() < 30 ? 6 : -6;
        p.drawLine(c, c + QPointF(dx, 0));
        p.drawLine(c, c + QPointF(0, dy));
    }
    return image;
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: clipora-make-icons DATA_FOLDER\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString folder = QString("%1/icons/hicolor/%2x%2/apps").arg(argv[1]).arg(size);
        QDir().mkpath(folder);
        if (!drawIcon(size).save(folder + "/clipora.png"))
            return 1;
    }
    return 0;
}
