// Widgets on screens scaled by fractional factors, as laptops commonly are:
// what is painted under the pointer is what the pointer picks. The offscreen
// platform is given one screen per factor, so one run covers them all.
#include <QDir>
#include <QFile>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "tests/support/testsupport.h"
#include "toolkit/application.h"
#include "toolkit/controlfactory.h"
#include "toolkit/imagecontrol.h"
#include "toolkit/shaperect.h"

using namespace clipora;

namespace {

const qreal kRatios[] = {1.0, 1.25, 1.333, 1.5, 1.75, 2.0};

QScreen* screenWithRatio(qreal ratio)
{
    for (QScreen* screen : QGuiApplication::screens())
        if (qFuzzyCompare(screen->devicePixelRatio(), ratio))
            return screen;
    return nullptr;
}

// Column x and row y of the picture carry their numbers in red and green.
std::uint32_t numbered(int x, int y) { return std::uint32_t(x << 16 | y << 8 | 0x80); }

class ScaledScreen : public ::testing::TestWithParam<qreal> {};

// For every device pixel along a row and a column through a small picture,
// the picture pixel painted there (read back from the window's backing
// store) is the one a press on that device pixel reports, wherever in the
// device pixel the pointer lies. Two widget positions, as the wide device
// pixels fall differently from each start.
TEST_P(ScaledScreen, PressPicksThePixelPaintedUnderThePointer)
{
    QScreen* screen = screenWithRatio(GetParam());
    ASSERT_NE(screen, nullptr) << GetParam();
    const int width = 37, height = 23;
    for (const QPoint origin : {QPoint(10, 10), QPoint(7, 13)}) {
        QWidget window;
        window.setGeometry(QRect(screen->geometry().topLeft() + QPoint(20, 20), QSize(80, 60)));
        ImageControl image(&window);
        image.move(origin);
        image.setBitmap(test::makeBitmap(width, height, numbered));
        QPoint picked(-100, -100);
        QObject::connect(&image, &ImageControl::mouseDown, [&](const QPoint& p, auto, auto) { picked = p; });
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        ASSERT_EQ(window.screen(), screen);
        // Qt keeps the ratio to 1/65536 (1.333 becomes 1.33299...).
        const qreal ratio = window.devicePixelRatioF();
        ASSERT_NEAR(ratio, GetParam(), 1e-4);
        // The window painted as on the screen, one pixel per device pixel.
        const QImage shot = window.grab().toImage();
        ASSERT_GE(shot.width(), qCeil((origin.x() + width) * ratio));
        ASSERT_GE(shot.height(), qCeil((origin.y() + height) * ratio));

        // The picture pixel painted at a device pixel, or -1 off the picture.
        auto paintedColumn = [&](int dx, int dy) {
            const QRgb c = shot.pixel(dx, dy);
            return qBlue(c) == 0x80 ? qRed(c) : -1;
        };
        auto paintedRow = [&](int dx, int dy) {
            const QRgb c = shot.pixel(dx, dy);
            return qBlue(c) == 0x80 ? qGreen(c) : -1;
        };
        int time = 0;  // far apart, so that no press makes a double click
        // Qt hands a press to the widget under the pointer's position rounded
        // to whole logical pixels: on the last device pixel of the picture's
        // far column (row) that can be the widget beyond it. Such presses are
        // left out.
        auto reachesImage = [&](qreal dx, qreal dy) {
            return image.geometry().contains(QPointF(dx / ratio, dy / ratio).toPoint());
        };
        auto press = [&](qreal dx, qreal dy) {
            picked = QPoint(-100, -100);
            time += 10000;
            const QPointF at(dx / ratio, dy / ratio);
            qt_handleMouseEvent(window.windowHandle(), at, window.mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                                QEvent::MouseButtonPress, Qt::ControlModifier, time);
            qt_handleMouseEvent(window.windowHandle(), at, window.mapToGlobal(at), Qt::NoButton, Qt::LeftButton,
                                QEvent::MouseButtonRelease, Qt::ControlModifier, time + 1);
            return picked;
        };
        const int midRow = qFloor((origin.y() + height / 2 + 0.5) * ratio);
        const int midColumn = qFloor((origin.x() + width / 2 + 0.5) * ratio);
        int columnsSeen = 0, rowsSeen = 0;
        for (int dx = 0; dx < shot.width(); ++dx) {
            const int painted = paintedColumn(dx, midRow);
            if (painted < 0)
                continue;
            ++columnsSeen;
            for (qreal within : {0.0, 0.5, 0.9}) {
                if (!reachesImage(dx + within, midRow + 0.5))
                    continue;
                ASSERT_EQ(press(dx + within, midRow + 0.5).x(), painted)
                    << "ratio " << ratio << ", widget at " << origin.x() << ", device column " << dx << " + " << within;
            }
        }
        for (int dy = 0; dy < shot.height(); ++dy) {
            const int painted = paintedRow(midColumn, dy);
            if (painted < 0)
                continue;
            ++rowsSeen;
            for (qreal within : {0.0, 0.5, 0.9}) {
                if (!reachesImage(midColumn + 0.5, dy + within))
                    continue;
                ASSERT_EQ(press(midColumn + 0.5, dy + within).y(), painted)
                    << "ratio " << ratio << ", widget at " << origin.y() << ", device row " << dy << " + " << within;
            }
        }
        // Every picture pixel was painted somewhere.
        EXPECT_GE(columnsSeen, width);
        EXPECT_GE(rowsSeen, height);
    }
}

// The marker's inverting outline: a press on a device pixel it darkened
// names a pixel of the outline, a press on any other one names a pixel
// inside it or beside it.
TEST_P(ScaledScreen, PressOnTheMarkerNamesItsOutlineWhereItIsPainted)
{
    QScreen* screen = screenWithRatio(GetParam());
    ASSERT_NE(screen, nullptr) << GetParam();
    for (const QPoint origin : {QPoint(10, 10), QPoint(7, 13)}) {
        QWidget window;
        window.setGeometry(QRect(screen->geometry().topLeft() + QPoint(20, 20), QSize(60, 50)));
        window.setAutoFillBackground(true);
        window.setPalette(QPalette(Qt::white));
        ShapeRect shape(&window);
        shape.setGeometry(QRect(origin, QSize(11, 9)));
        QPoint picked(-100, -100);
        QObject::connect(&shape, &ShapeRect::mouseDown, [&](const QPoint& p, auto, auto) { picked = p; });
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        const qreal ratio = window.devicePixelRatioF();
        const QImage shot = window.grab().toImage();
        int time = 0;
        auto press = [&](qreal dx, qreal dy) {
            picked = QPoint(-100, -100);
            time += 10000;
            const QPointF at(dx / ratio, dy / ratio);
            qt_handleMouseEvent(window.windowHandle(), at, window.mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                                QEvent::MouseButtonPress, Qt::NoModifier, time);
            qt_handleMouseEvent(window.windowHandle(), at, window.mapToGlobal(at), Qt::NoButton, Qt::LeftButton,
                                QEvent::MouseButtonRelease, Qt::NoModifier, time + 1);
            return picked;
        };
        auto onOutline = [&](QPoint p) { return p.x() == 0 || p.y() == 0 || p.x() == 10 || p.y() == 8; };
        const int midRow = qFloor((origin.y() + 4.5) * ratio);
        int darkSeen = 0;
        for (int dx = 0; dx < shot.width(); ++dx) {
            const bool dark = qGray(shot.pixel(dx, midRow)) < 128;
            darkSeen += dark;
            for (qreal within : {0.0, 0.5}) {
                const QPointF at(dx + within, midRow + 0.5);
                if (!shape.geometry().contains((at / ratio).toPoint()))
                    continue;  // Qt hands this press to the window
                // Qt can also hand the shape a press just beside it: it
                // names a pixel outside, where the shape painted nothing.
                const QPoint p = press(at.x(), at.y());
                ASSERT_EQ(shape.rect().contains(p) && onOutline(p), dark)
                    << "ratio " << ratio << ", widget at " << origin.x() << ", device column " << dx << " + "
                    << within << " names " << p.x();
            }
        }
        EXPECT_GE(darkSeen, 2);  // both sides of the outline
    }
}

INSTANTIATE_TEST_SUITE_P(Ratios, ScaledScreen, ::testing::ValuesIn(kRatios),
                         [](const ::testing::TestParamInfo<qreal>& info) {
                             return "Percent" + std::to_string(qRound(info.param * 1000) / 10);
                         });

}  // namespace

// One offscreen screen per ratio, side by side.
int main(int argc, char* argv[])
{
    ::testing::InitGoogleTest(&argc, argv);
    QTemporaryDir dir;
    QString screens;
    int x = 0;
    for (qreal ratio : kRatios) {
        screens += QStringLiteral("%1{\"name\":\"r%2\",\"x\":%3,\"y\":0,\"width\":800,\"height\":600,"
                                  "\"logicalDpi\":96,\"logicalBaseDpi\":96,\"dpr\":%4}")
                       .arg(screens.isEmpty() ? "" : ",")
                       .arg(x)
                       .arg(x)
                       .arg(ratio);
        x += 800;
    }
    const QString config = dir.filePath(QStringLiteral("screens.json"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly) || file.write(("{\"screens\":[" + screens + "]}").toUtf8()) < 0)
        return 2;
    file.close();
    ::setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toLocal8Bit().constData(), 1);
    clipora::Application app(argc, argv);
    clipora::setUpWindowFont(app);
    return RUN_ALL_TESTS();
}
