#include <QLabel>
#include <QScrollBar>
#include <QSignalSpy>

#include "tests/toolkit/toolkittest.h"
#include "toolkit/editfield.h"
#include "toolkit/scrollbox.h"

using namespace clipora;

namespace {

// A box like the program's view: a picture-sized child and a hidden one.
struct BoxWindow {
    QWidget window;
    ScrollBox box{&window};
    QWidget picture{box.client()};
    QWidget hidden{box.client()};
    EditField field{&window};

    BoxWindow()
    {
        window.resize(600, 500);
        box.setGeometry(72, 72, 300, 200);
        picture.setGeometry(27, 25, 640, 480);
        hidden.setGeometry(130, 124, 62, 77);
        hidden.hide();
        field.setGeometry(0, 0, 60, 20);
    }
    QSize client() const { return box.client()->size(); }
};

}  // namespace

TEST(ScrollBox, RangesFollowTheChildrenAndBarsShowWhenTheyReachPast)
{
    BoxWindow w;
    w.window.show();
    EXPECT_EQ(w.box.scrollRangeX(), 27 + 640 - w.client().width());
    EXPECT_EQ(w.box.scrollRangeY(), 25 + 480 - w.client().height());
    EXPECT_TRUE(w.box.horizontalScrollBar()->isVisible());

    w.picture.resize(100, 100);  // now everything fits
    EXPECT_EQ(w.box.scrollRangeX(), 0);
    EXPECT_EQ(w.box.scrollRangeY(), 0);
    EXPECT_FALSE(w.box.horizontalScrollBar()->isVisible());
    EXPECT_FALSE(w.box.verticalScrollBar()->isVisible());
    EXPECT_EQ(w.client(), QSize(300, 200) - QSize(2 * w.box.frameWidth(), 2 * w.box.frameWidth()));

    w.hidden.setGeometry(0, 0, 1000, 10);  // hidden children do not count
    EXPECT_EQ(w.box.scrollRangeX(), 0);
    w.hidden.show();
    EXPECT_EQ(w.box.scrollRangeX(), 1000 - w.client().width());
}

TEST(ScrollBox, ScrollingMovesEveryChildHiddenOnesIncluded)
{
    BoxWindow w;
    w.window.show();
    w.box.setScrollX(100);
    w.box.setScrollY(40);
    EXPECT_EQ(w.box.scrollX(), 100);
    EXPECT_EQ(w.box.scrollY(), 40);
    EXPECT_EQ(w.picture.pos(), QPoint(27 - 100, 25 - 40));
    EXPECT_EQ(w.hidden.pos(), QPoint(130 - 100, 124 - 40));
    // The extent counts the scrolled-away part: the range stays.
    EXPECT_EQ(w.box.scrollRangeX(), 27 + 640 - w.client().width());

    w.box.setScrollX(0);
    EXPECT_EQ(w.picture.pos(), QPoint(27, 25 - 40));
}

TEST(ScrollBox, ScrollPositionIsClampedAndChildrenMoveByTheClampedAmount)
{
    BoxWindow w;
    w.window.show();
    const int range = w.box.scrollRangeX();
    w.box.setScrollX(range + 500);
    EXPECT_EQ(w.box.scrollX(), range);
    EXPECT_EQ(w.picture.x(), 27 - range);
    w.box.setScrollX(-30);
    EXPECT_EQ(w.box.scrollX(), 0);
    EXPECT_EQ(w.picture.x(), 27);
}

TEST(ScrollBox, ScrollPositionsClampAgainstTheChildrenBeforeTheBoxIsShown)
{
    BoxWindow w;
    w.box.setScrollX(50);
    EXPECT_EQ(w.box.scrollX(), 50);
    EXPECT_EQ(w.picture.x(), 27 - 50);
    w.window.show();
    EXPECT_EQ(w.box.scrollX(), 50);
    EXPECT_EQ(w.picture.x(), 27 - 50);
    EXPECT_EQ(w.hidden.x(), 130 - 50);
}

TEST(ScrollBox, CanResizeComesBeforeTheContentFollowsTheNewSize)
{
    BoxWindow w;
    w.window.show();
    w.box.setScrollX(w.box.scrollRangeX());
    const int before = w.box.scrollX();
    const QPoint pictureBefore = w.picture.pos();
    const QSize clientBefore = w.client();
    QStringList log;
    QObject::connect(&w.box, &ScrollBox::canResize, [&](const QSize& size) {
        log << QStringLiteral("canResize %1x%2").arg(size.width()).arg(size.height());
        // Still the old state: scroll position, children and client size.
        EXPECT_EQ(w.box.scrollX(), before);
        EXPECT_EQ(w.picture.pos(), pictureBefore);
        EXPECT_EQ(w.client(), clientBefore);
    });
    w.box.resize(500, 200);  // wider: less to scroll, the position is pulled back
    EXPECT_EQ(log, QStringList({"canResize 500x200"}));
    EXPECT_EQ(w.box.scrollX(), w.box.scrollRangeX());
    EXPECT_LT(w.box.scrollX(), before);
    EXPECT_EQ(w.picture.x(), 27 - w.box.scrollX());
}

TEST(ScrollBox, ClickSignalOnlyForTheBareBackground)
{
    BoxWindow w;
    w.picture.resize(100, 100);
    QLabel panel(w.box.client());  // a child that leaves clicks unhandled
    panel.setGeometry(150, 10, 40, 40);
    test::showActive(w.window);
    QSignalSpy clicked(&w.box, &ScrollBox::clicked);

    QTest::mouseClick(w.box.client(), Qt::LeftButton, {}, QPoint(250, 150));
    EXPECT_EQ(clicked.count(), 1);
    QTest::mouseClick(&panel, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseClick(&w.picture, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseClick(w.box.client(), Qt::RightButton, {}, QPoint(250, 150));
    EXPECT_EQ(clicked.count(), 1);
}

TEST(ScrollBox, NeverTakesTheFocus)
{
    BoxWindow w;
    test::showActive(w.window);
    w.field.setFocus();
    QTest::mouseClick(w.box.client(), Qt::LeftButton, {}, QPoint(290, 190));
    EXPECT_TRUE(w.field.hasFocus());
    QTest::keyClick(&w.field, Qt::Key_Tab);
    EXPECT_FALSE(w.box.hasFocus());
    EXPECT_FALSE(w.box.client()->hasFocus());
}
