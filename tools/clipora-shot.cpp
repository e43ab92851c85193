// clipora-shot: a picture of the main window for the documentation.
//
//   clipora-shot OUT.png [PICTURE]
//
// Starts the program's windows exactly as the program does (same application
// object, fonts and start-up), shows the main window, loads PICTURE through
// the window's own picload() as a load from the dialog would, types a cut
// area into the edge fields with Enter as a user would, and saves what the
// window draws (QWidget::grab) as PNG. Without PICTURE it first draws a
// sample scene and saves it as a BMP file in a temporary folder.
//
// The program itself takes no arguments; this tool exists so that the
// screenshot can be remade by a script (scripts/screenshot.sh).

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

#include "app/startup.h"
#include "imaging/codecs.h"
#include "imaging/fileio.h"
#include "load/loadcut.h"
#include "toolkit/application.h"
#include "toolkit/editfield.h"

namespace {

// A small landscape: sky, sun, hills, a house.
clipora::Bitmap24 sampleScene(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, height * 0.6);
    sky.setColorAt(0, QColor(70, 130, 200));
    sky.setColorAt(1, QColor(190, 220, 245));
    p.fillRect(image.rect(), sky);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 215, 90));
    p.drawEllipse(QPointF(width * 0.78, height * 0.22), height * 0.09, height * 0.09);
    QPainterPath far;
    far.moveTo(0, height * 0.62);
    far.cubicTo(width * 0.25, height * 0.40, width * 0.55, height * 0.70, width, height * 0.50);
    far.lineTo(width, height);
    far.lineTo(0, height);
    p.setBrush(QColor(90, 150, 90));
    p.drawPath(far);
    QPainterPath near;
    near.moveTo(0, height * 0.80);
    near.cubicTo(width * 0.35, height * 0.62, width * 0.70, height * 0.90, width, height * 0.72);
    near.lineTo(width, height);
    near.lineTo(0, height);
    p.setBrush(QColor(60, 120, 55));
    p.drawPath(near);
    const QRectF house(width * 0.30, height * 0.52, width * 0.16, height * 0.16);
    p.setBrush(QColor(235, 225, 205));
    p.drawRect(house);
    QPolygonF roof;
    roof << QPointF(house.left() - 6, house.top()) << QPointF(house.center().x(), house.top() - height * 0.09)
         << QPointF(house.right() + 6, house.top());
    p.setBrush(QColor(170, 60, 50));
    p.drawPolygon(roof);
    p.setBrush(QColor(110, 80, 60));
    p.drawRect(QRectF(house.left() + house.width() * 0.40, house.top() + house.height() * 0.45,
                      house.width() * 0.22, house.height() * 0.55));
    p.end();

    clipora::Bitmap24 bitmap(width, height);
    for (int y = 0; y < height; ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        std::uint8_t* dst = bitmap.row(y);
        for (int x = 0; x < width; ++x) {
            dst[3 * x] = static_cast<std::uint8_t>(qBlue(src[x]));
            dst[3 * x + 1] = static_cast<std::uint8_t>(qGreen(src[x]));
            dst[3 * x + 2] = static_cast<std::uint8_t>(qRed(src[x]));
        }
    }
    return bitmap;
}

void settle()
{
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(10);
    }
}

// Types `text` into the field and presses Enter, through the field's events.
void typeAndEnter(clipora::EditField* field, const QString& text)
{
    field->setFocus(Qt::MouseFocusReason);
    field->selectAll();
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_0 + (c.unicode() - '0'), Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(field, &press);
    }
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QCoreApplication::sendEvent(field, &enter);
}

}  // namespace

int main(int argc, char* argv[])
{
    clipora::Application app(argc, argv);
    clipora::setUpApplication(app);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2 || args.size() > 3) {
        std::fprintf(stderr, "usage: clipora-shot OUT.png [PICTURE]\n");
        return 2;
    }
    const QString out = args[1];
    QTemporaryDir temp;
    QString picture = args.size() == 3 ? args[2] : QString();
    try {
        if (picture.isEmpty()) {
            picture = temp.filePath(QStringLiteral("landscape.bmp"));
            clipora::writeFileAtomic(picture.toStdString(), clipora::encodeBmp(sampleScene(420, 280)));
        }
        const auto windows = clipora::createWindows();
        Tloadcut& window = *windows->loadcut;
        window.show();
        settle();
        window.picload(picture);
        typeAndEnter(window.edgexl, QStringLiteral("96"));
        typeAndEnter(window.edgexr, QStringLiteral("232"));
        typeAndEnter(window.edgeyu, QStringLiteral("80"));
        typeAndEnter(window.edgeyb, QStringLiteral("196"));
        settle();
        if (!window.grab().save(out, "PNG")) {
            std::fprintf(stderr, "clipora-shot: cannot write %s\n", qPrintable(out));
            return 1;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "clipora-shot: %s\n", error.what());
        return 1;
    }
    return 0;
}
