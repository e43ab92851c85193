#include <QAccessible>
#include <QMouseEvent>
#include <QWindow>

#include "tests/support/testsupport.h"
#include "tests/toolkit/toolkittest.h"
#include "toolkit/imagecontrol.h"
#include "toolkit/shaperect.h"

using namespace clipora;

namespace {

QRgb inverted(QRgb c) { return qRgb(255 - qRed(c), 255 - qGreen(c), 255 - qBlue(c)); }

// A picture with a distinct colour at every pixel, under a shape.
struct Stage {
    QWidget window;
    ImageControl image{&window};
    ShapeRect shape{&window};
    Bitmap24 pixels = test::makeBitmap(120, 90, [](int x, int y) { return std::uint32_t((x * 2) << 16 | (y * 2) << 8 | 0x40); });
    QStringList log;

    Stage()
    {
        window.resize(200, 150);
        image.move(10, 10);
        image.setBitmap(pixels);
        shape.setGeometry(20, 30, 40, 25);
        shape.raise();
        auto record = [this](const char* what) {
            return [this, what](const QPoint& p, auto button, Qt::KeyboardModifiers m) {
                log << QStringLiteral("%1 %2,%3 %4%5")
                           .arg(what)
                           .arg(p.x())
                           .arg(p.y())
                           .arg(int(button))
                           .arg(m.testFlag(Qt::ControlModifier) ? " ctrl" : "");
            };
        };
        QObject::connect(&shape, &ShapeRect::mouseDown, record("down"));
        QObject::connect(&shape, &ShapeRect::mouseMove, record("move"));
        QObject::connect(&shape, &ShapeRect::mouseUp, record("up"));
        QObject::connect(&image, &ImageControl::mouseDown, record("image down"));
        QObject::connect(&image, &ImageControl::mouseMove, record("image move"));
        QObject::connect(&image, &ImageControl::mouseUp, record("image up"));
    }
    QRgb picture(int wx, int wy) const { return 0xff000000u | test::rgbAt(pixels, wx - 10, wy - 10); }
};

}  // namespace

TEST(ShapeRect, NotPenInvertsEachOutlinePixelOnceAndLeavesTheInside)
{
    struct Case {
        const char* name;
        QRect bounds;
    };
    const Case cases[] = {
        {"rectangle", QRect(20, 30, 40, 25)},
        {"two wide", QRect(20, 30, 2, 25)},
        {"line one wide", QRect(50, 12, 1, 60)},
        {"line one high", QRect(12, 40, 80, 1)},
    };
    for (const Case& c : cases) {
        Stage s;
        s.shape.setGeometry(c.bounds);
        s.window.show();
        const QImage shot = s.window.grab().toImage();
        const QRect r = c.bounds;
        for (int y = r.top() - 1; y <= r.bottom() + 1; ++y) {
            for (int x = r.left() - 1; x <= r.right() + 1; ++x) {
                const bool onOutline = r.contains(x, y) && (x == r.left() || x == r.right() || y == r.top() || y == r.bottom());
                const QRgb expected = onOutline ? inverted(s.picture(x, y)) : s.picture(x, y);
                ASSERT_EQ(shot.pixel(x, y), expected) << c.name << " at " << x << "," << y;
            }
        }
    }
}

TEST(ShapeRect, NormalPenDrawsItsColour)
{
    Stage s;
    s.shape.setPenMode(ShapeRect::PenMode::Normal);
    s.shape.setPenColor(QColor(0, 0, 255));
    s.shape.setGeometry(40, 12, 1, 50);
    s.window.show();
    const QImage shot = s.window.grab().toImage();
    EXPECT_EQ(shot.pixel(40, 12), qRgb(0, 0, 255));
    EXPECT_EQ(shot.pixel(40, 61), qRgb(0, 0, 255));
    EXPECT_EQ(shot.pixel(41, 30), s.picture(41, 30));
}

TEST(ShapeRect, PressInsideCapturesThePointerUntilTheRelease)
{
    Stage s;
    test::showActive(s.window);
    EXPECT_EQ(s.shape.cursor().shape(), Qt::CrossCursor);
    // Through the window, as the platform delivers them (the widget overloads
    // of QTest send straight to the widget named and so bypass capture).
    QWindow* window = s.window.windowHandle();
    QTest::mouseMove(window, QPoint(40, 42));
    s.log.clear();
    QTest::mousePress(window, Qt::LeftButton, Qt::ControlModifier, QPoint(40, 42));  // inside, not on the outline
    QTest::mouseMove(window, QPoint(5, 100));  // outside the shape and the picture
    QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(150, 5));
    QTest::mouseMove(window, QPoint(100, 80));  // no button: the picture under the pointer
    EXPECT_EQ(s.log, QStringList({"down 20,12 1 ctrl", "move -15,70 1", "move 130,-25 1", "up 130,-25 1",
                                  "image move 90,70 0"}));
}

TEST(ImageControl, SizesItselfToThePictureAndKeepsItWhole)
{
    ImageControl image;
    image.resize(320, 216);
    Picture picture;
    picture.kind = PictureKind::Png;
    picture.pixels = test::makeBitmap(7, 5, [](int x, int y) { return std::uint32_t(x * 30 + y); });
    picture.alpha.assign(7 * 5, 255);
    picture.alpha[3] = 0;
    image.setPicture(picture);
    EXPECT_EQ(image.size(), QSize(7, 5));
    EXPECT_EQ(image.picture().kind, PictureKind::Png);
    EXPECT_EQ(image.picture().alpha, picture.alpha);
    EXPECT_TRUE(test::samePixels(picture.pixels, image.picture().pixels));
    EXPECT_EQ(qAlpha(image.image().pixel(3, 0)), 0);

    Picture empty;  // zero size: the control keeps its size
    image.setPicture(empty);
    EXPECT_EQ(image.size(), QSize(7, 5));
    image.setBitmap(Bitmap24(1, 1));
    EXPECT_EQ(image.size(), QSize(1, 1));
    EXPECT_EQ(image.picture().kind, PictureKind::Bitmap);
}

TEST(ImageControl, PaintsThePictureAtOneToOneFromItsCorner)
{
    Stage s;
    s.shape.hide();
    s.window.show();
    const QImage shot = s.window.grab().toImage();
    for (QPoint p : {QPoint(0, 0), QPoint(119, 0), QPoint(0, 89), QPoint(119, 89), QPoint(57, 33)})
        EXPECT_EQ(shot.pixel(p + QPoint(10, 10)), s.picture(p.x() + 10, p.y() + 10)) << p.x() << "," << p.y();
    // An opaque picture is painted from its own rows, not from a copy.
    EXPECT_EQ(s.image.image().constBits(), s.image.picture().pixels.data());
}

TEST(ImageControl, ReportsMouseWithButtonAndModifiersAndCapturesThePointer)
{
    Stage s;
    s.shape.hide();
    test::showActive(s.window);
    EXPECT_EQ(s.image.cursor().shape(), Qt::CrossCursor);
    QWindow* window = s.window.windowHandle();
    QTest::mouseMove(window, QPoint(20, 30));
    s.log.clear();
    QTest::mousePress(window, Qt::RightButton, Qt::ControlModifier, QPoint(20, 30));
    QTest::mouseMove(window, QPoint(195, 145));
    QTest::mouseRelease(window, Qt::RightButton, Qt::ControlModifier, QPoint(195, 145));
    EXPECT_EQ(s.log, QStringList({"image down 10,20 2 ctrl", "image move 185,135 2", "image up 185,135 2 ctrl"}));
}

TEST(ImageControl, AccessibleAsAGraphicWithItsName)
{
    ImageControl image;
    image.setAccessibleName(QStringLiteral("画像"));
    QAccessibleInterface* access = QAccessible::queryAccessibleInterface(&image);
    ASSERT_NE(access, nullptr);
    EXPECT_EQ(access->role(), QAccessible::Graphic);
    EXPECT_EQ(access->text(QAccessible::Name), QStringLiteral("画像"));
}

// On a screen scaled by 2 a pixel of ours covers two screen pixels each way.
// On the second one the window has the pointer half way into the pixel, and
// Qt hands the widget that position rounded, which names the next pixel: the
// controls report the pixel that holds the pointer (also left of or above
// them, where a drag can go). The events are made as Qt makes them: the
// widget's position rounded, the window's (scene) position exact.
TEST(ImageControl, PointerPartWayIntoAPixelNamesThePixelHoldingIt)
{
    Stage s;
    s.window.show();
    struct Case {
        QWidget* target;
        QPointF inWidget;
        const char* expected;
    };
    const Case cases[] = {
        {&s.image, {20.5, 30.5}, "image move 20,30 1"},
        {&s.image, {20.0, 30.5}, "image move 20,30 1"},
        {&s.image, {-0.5, -1.5}, "image move -1,-2 1"},
        {&s.shape, {3.5, 0.5}, "move 3,0 1"},
        {&s.shape, {-0.5, 24.5}, "move -1,24 1"},
    };
    for (const Case& c : cases) {
        s.log.clear();
        const QPointF scene = c.inWidget + QPointF(c.target->mapTo(&s.window, QPoint(0, 0)));
        QMouseEvent move(QEvent::MouseMove, c.inWidget.toPoint(), scene, c.target->mapToGlobal(c.inWidget),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(c.target, &move);
        EXPECT_EQ(s.log, QStringList(QString::fromUtf8(c.expected))) << c.inWidget.x() << "," << c.inWidget.y();
    }
}
