#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTimer>
#include <QVBoxLayout>

#include "tests/toolkit/toolkittest.h"
#include "toolkit/trackbar.h"

using namespace clipora;

namespace {

// A window with a ruler laid out like the program's: 300 steps plus the
// two ends, 26 pixels longer than the picture it stands over.
struct RulerWindow {
    QWidget window;
    TrackBar bar{Qt::Horizontal, &window};
    QLineEdit other{&window};

    explicit RulerWindow(Qt::Orientation orientation = Qt::Horizontal)
    {
        bar.setOrientation(orientation);
        window.resize(400, 400);
        bar.setRange(-1, 300);
        bar.setPosition(150);
        if (orientation == Qt::Horizontal)
            bar.setGeometry(14, 0, 300 + 26, 22);
        else
            bar.setGeometry(0, 12, 22, 300 + 26);
        other.setGeometry(100, 100, 80, 20);
    }
};

}  // namespace

TEST(TrackBar, AssignmentRunsItsChangeHandlerInsideAndNestsReassignments)
{
    TrackBar bar(Qt::Horizontal);
    bar.setRange(-1, 300);
    QStringList log;
    QObject::connect(&bar, &TrackBar::changed, [&] {
        const int seen = bar.position();
        log << QStringLiteral("begin %1").arg(seen);
        if (bar.position() > 100)
            bar.setPosition(100);  // a handler that corrects the thumb
        log << QStringLiteral("end %1 now %2").arg(seen).arg(bar.position());
    });
    bar.setPosition(250);
    log << QStringLiteral("returned %1").arg(bar.position());
    EXPECT_EQ(log, QStringList({"begin 250", "begin 100", "end 100 now 100", "end 250 now 100", "returned 100"}));

    log.clear();
    bar.setPosition(100);  // the same position: no change event
    EXPECT_TRUE(log.isEmpty());
}

TEST(TrackBar, PositionStaysWithinMinimumAndMaximum)
{
    TrackBar bar(Qt::Horizontal);
    bar.setRange(-1, 300);
    bar.setPosition(-50);
    EXPECT_EQ(bar.position(), -1);
    bar.setPosition(301);
    EXPECT_EQ(bar.position(), 300);
}

TEST(TrackBar, LoweredMaximumMovesTheThumbAndRaisesChangeInsideTheCall)
{
    TrackBar bar(Qt::Horizontal);
    bar.setRange(-1, 300);
    bar.setPosition(250);
    QStringList log;
    QObject::connect(&bar, &TrackBar::changed,
                     [&] { log << QStringLiteral("changed %1 max %2").arg(bar.position()).arg(bar.maximum()); });
    log << "before";
    bar.setMaximum(200);
    log << "after";
    EXPECT_EQ(log, QStringList({"before", "changed 200 max 200", "after"}));

    log.clear();
    bar.setMaximum(640);  // raising it leaves the thumb
    EXPECT_EQ(bar.position(), 200);
    EXPECT_TRUE(log.isEmpty());
}

TEST(TrackBar, SelectionTakesAnyNumbers)
{
    TrackBar bar(Qt::Horizontal);
    bar.setRange(-1, 300);
    bar.setSelection(-20, 5000);
    EXPECT_EQ(bar.selStart(), -20);
    EXPECT_EQ(bar.selEnd(), 5000);
    bar.setSelEnd(3);
    EXPECT_EQ(bar.selEnd(), 3);
}

TEST(TrackBar, OnePixelPerStepWhenTwentySixLongerThanTheRange)
{
    RulerWindow ruler;
    for (int p : {-1, 0, 1, 150, 299, 300})
        EXPECT_EQ(ruler.bar.pixelForPosition(p), p + 13) << p;
    EXPECT_EQ(ruler.bar.positionForPixel(13 + 77), 77);
    EXPECT_EQ(ruler.bar.positionForPixel(-40), -1);
    EXPECT_EQ(ruler.bar.positionForPixel(1000), 300);
}

TEST(TrackBar, SelectionIsDrawnAsHighlightedChannelExceptWhenBothEndsAreZero)
{
    RulerWindow ruler;
    ruler.window.show();
    ruler.bar.setPosition(-1);  // thumb out of the way
    const QColor highlight = ruler.bar.palette().color(QPalette::Highlight);
    const QPoint inside(ruler.bar.pixelForPosition(100), ruler.bar.height() / 2);
    const QPoint outside(ruler.bar.pixelForPosition(250), ruler.bar.height() / 2);

    ruler.bar.setSelection(50, 200);
    QImage shot = ruler.bar.grab().toImage();
    EXPECT_EQ(shot.pixelColor(inside), highlight);
    EXPECT_NE(shot.pixelColor(outside), highlight);

    ruler.bar.setSelection(0, 0);
    shot = ruler.bar.grab().toImage();
    EXPECT_NE(shot.pixelColor(inside), highlight);
    EXPECT_NE(shot.pixelColor(ruler.bar.pixelForPosition(0), ruler.bar.height() / 2), highlight);
}

TEST(TrackBar, PointingThumbDiffersFromPlainOneOnThePictureSide)
{
    for (Qt::Orientation orientation : {Qt::Horizontal, Qt::Vertical}) {
        RulerWindow ruler(orientation);
        QPalette palette = ruler.bar.palette();
        palette.setColor(QPalette::Button, Qt::red);  // the thumb's face, unlike the background
        ruler.bar.setPalette(palette);
        ruler.window.show();
        const QRect thumb = ruler.bar.thumbRect();
        // The corner of the thumb nearest the picture (below / to the right).
        const QPoint corner = orientation == Qt::Horizontal ? QPoint(thumb.left() + 1, thumb.bottom() - 1)
                                                            : QPoint(thumb.right() - 1, thumb.top() + 1);
        const QColor plain = ruler.bar.grab().toImage().pixelColor(corner);
        ruler.bar.setTickMarks(TrackBar::TickMarks::BottomRight);
        const QColor pointing = ruler.bar.grab().toImage().pixelColor(corner);
        EXPECT_EQ(plain, ruler.bar.palette().color(QPalette::Button)) << orientation;
        EXPECT_NE(pointing, plain) << orientation;
    }
}

TEST(TrackBar, ClickGivesFocusFirstThenMovesTheThumb)
{
    RulerWindow ruler;
    test::showActive(ruler.window);
    ruler.other.setFocus();
    QStringList log;
    QObject::connect(&ruler.bar, &TrackBar::entered, [&] { log << "entered"; });
    QObject::connect(&ruler.bar, &TrackBar::changed, [&] { log << QStringLiteral("changed %1").arg(ruler.bar.position()); });
    QTest::mouseClick(&ruler.bar, Qt::LeftButton, {}, QPoint(ruler.bar.pixelForPosition(40), 11));
    EXPECT_EQ(log, QStringList({"entered", "changed 40"}));
    EXPECT_TRUE(ruler.bar.hasFocus());
}

// On a screen scaled by 2 a click can land half way into a ruler pixel
// (Qt then hands the widget the position rounded up, and the window's scene
// position exact): it stands over the column of that pixel, not the next one.
TEST(TrackBar, ClickPartWayIntoAPixelTakesThatPixel)
{
    RulerWindow ruler;
    test::showActive(ruler.window);
    const QPointF at(ruler.bar.pixelForPosition(40) + 0.5, 11.5);
    QMouseEvent press(QEvent::MouseButtonPress, at.toPoint(), at + QPointF(ruler.bar.pos()), ruler.bar.mapToGlobal(at),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&ruler.bar, &press);
    EXPECT_EQ(ruler.bar.position(), 40);
}

TEST(TrackBar, DraggingTheThumbFollowsThePointerWithoutJumping)
{
    RulerWindow ruler;
    test::showActive(ruler.window);
    const QPoint grip(ruler.bar.pixelForPosition(150) + 3, 11);  // off the thumb's centre
    QTest::mousePress(&ruler.bar, Qt::LeftButton, {}, grip);
    EXPECT_EQ(ruler.bar.position(), 150);
    QTest::mouseMove(&ruler.bar, grip + QPoint(-60, 0));
    EXPECT_EQ(ruler.bar.position(), 90);
    QTest::mouseMove(&ruler.bar, grip + QPoint(-400, 30));  // far off: stops at the end
    EXPECT_EQ(ruler.bar.position(), -1);
    QTest::mouseRelease(&ruler.bar, Qt::LeftButton, {}, grip + QPoint(-400, 30));
    QTest::mouseMove(&ruler.bar, grip);
    EXPECT_EQ(ruler.bar.position(), -1);
}

TEST(TrackBar, KeysStepTheFocusedThumbWithMinimumAtTheTopOrLeft)
{
    for (Qt::Orientation orientation : {Qt::Horizontal, Qt::Vertical}) {
        RulerWindow ruler(orientation);
        test::showActive(ruler.window);
        ruler.bar.setFocus();
        const int right = orientation == Qt::Horizontal ? Qt::Key_Right : Qt::Key_Down;
        const int left = orientation == Qt::Horizontal ? Qt::Key_Left : Qt::Key_Up;
        QTest::keyClick(&ruler.bar, Qt::Key(right));
        EXPECT_EQ(ruler.bar.position(), 151);
        QTest::keyClick(&ruler.bar, Qt::Key(left));
        QTest::keyClick(&ruler.bar, Qt::Key(left));
        EXPECT_EQ(ruler.bar.position(), 149);
        QTest::keyClick(&ruler.bar, Qt::Key_End);
        EXPECT_EQ(ruler.bar.position(), 300);
        QTest::keyClick(&ruler.bar, Qt::Key_Home);
        EXPECT_EQ(ruler.bar.position(), -1);
    }
}

TEST(TrackBar, EnterAndExitOnlyForRealFocusChanges)
{
    RulerWindow ruler;
    test::showActive(ruler.window);
    ruler.other.setFocus();
    QStringList log;
    QObject::connect(&ruler.bar, &TrackBar::entered, [&] { log << "entered"; });
    QObject::connect(&ruler.bar, &TrackBar::exited, [&] { log << "exited"; });

    QTest::keyClick(&ruler.other, Qt::Key_Backtab);  // into the ruler
    EXPECT_TRUE(ruler.bar.hasFocus());
    EXPECT_EQ(log, QStringList({"entered"}));

    // Another window activating: the ruler stays the window's active control.
    QWidget elsewhere;
    test::showActive(elsewhere);
    test::showActive(ruler.window);
    EXPECT_TRUE(ruler.bar.hasFocus());
    EXPECT_EQ(log, QStringList({"entered"}));

    // A popup menu over the window.
    QMenu menu(&ruler.window);
    menu.addAction(QStringLiteral("x"));
    QTimer::singleShot(0, &menu, [&] { menu.close(); });
    menu.exec(ruler.window.mapToGlobal(QPoint(50, 50)));
    test::showActive(ruler.window);  // offscreen, nothing re-activates it
    EXPECT_TRUE(ruler.bar.hasFocus());
    EXPECT_EQ(log, QStringList({"entered"}));

    ruler.bar.clearFocus();
    EXPECT_EQ(log, QStringList({"entered", "exited"}));
    QTest::mouseClick(&ruler.bar, Qt::LeftButton, {}, QPoint(5, 11));
    QTest::mouseClick(&ruler.other, Qt::LeftButton);
    EXPECT_EQ(log, QStringList({"entered", "exited", "entered", "exited"}));
}

TEST(TrackBar, WheelMovesTheThumbOnlyWhileFocused)
{
    RulerWindow ruler;
    test::showActive(ruler.window);
    ruler.other.setFocus();
    const QPoint at(50, 11);
    QTest::mouseMove(&ruler.bar, at);
    QWheelEvent down(at, ruler.bar.mapToGlobal(at), {}, QPoint(0, -120), Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&ruler.bar, &down);
    EXPECT_EQ(ruler.bar.position(), 150);
    ruler.bar.setFocus();
    QApplication::sendEvent(&ruler.bar, &down);
    EXPECT_EQ(ruler.bar.position(), 151);
}

TEST(TrackBar, AccessibleValueIsThePositionWithItsRange)
{
    RulerWindow ruler;
    ruler.bar.setAccessibleName(QStringLiteral("横範囲"));
    ruler.bar.setPosition(42);
    QAccessibleInterface* access = QAccessible::queryAccessibleInterface(&ruler.bar);
    ASSERT_NE(access, nullptr);
    EXPECT_EQ(access->text(QAccessible::Name), QStringLiteral("横範囲"));
    QAccessibleValueInterface* value = access->valueInterface();
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->currentValue().toInt(), 42);
    EXPECT_EQ(value->minimumValue().toInt(), -1);
    EXPECT_EQ(value->maximumValue().toInt(), 300);
}
