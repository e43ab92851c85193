// Drawing the cut area with Ctrl and a drag, and moving it by dragging the
// marker, through real mouse events on the main window.

#include <QScrollBar>

#include "tests/load/cutareatest.h"

using namespace clipora;
using test::Area;

namespace {

class MouseSelection : public test::CutAreaWindow {
public:
    void SetUp() override
    {
        CutAreaWindow::SetUp();
        loadPicture(100, 80);
    }
};

const char* buttonName(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton:
        return "left";
    case Qt::RightButton:
        return "right";
    default:
        return "middle";
    }
}

}  // namespace

TEST_F(MouseSelection, CtrlClickWithoutMovingGivesAnEmptyAreaAtThePoint)
{
    struct Case {
        const char* name;
        bool onMarker;  // the press lands on the marker (whole picture) rather than the bare picture
        QPoint at;
        Area expected;
    };
    const Case cases[] = {
        {"on the picture", false, {10, 20}, {10, 10, 20, 20}},
        {"on the marker", true, {10, 20}, {10, 10, 20, 20}},
        // The last column and row reach the far border: one column, one row.
        {"last column", false, {99, 20}, {99, 100, 20, 20}},
        {"last row", false, {10, 79}, {10, 10, 79, 80}},
        {"last column on the marker", true, {99, 79}, {99, 100, 79, 80}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTest::keyClick(w, Qt::Key_Escape);  // the whole picture
        if (!c.onMarker)
            typeArea({0, 1, 0, 1});  // the marker keeps to the top-left corner
        click(w->mainimage, c.at, Qt::LeftButton, Qt::ControlModifier);
        EXPECT_EQ(area(), c.expected);
        EXPECT_EQ(fieldTexts(), test::CutAreaWindow::fieldTextsFor(c.expected));
        EXPECT_EQ(marker(), markerFor(c.expected));
        EXPECT_FALSE(w->drawing);
    }
    // The empty area of the first case, as the marker shows it: 2 by 2.
    QTest::keyClick(w, Qt::Key_Escape);
    click(w->mainimage, {10, 20}, Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(marker(), QRect(w->imgleft + 9, w->imgtop + 19, 2, 2));
    EXPECT_EQ(w->areax->position(), 10);
    EXPECT_EQ(w->areay->position(), 20);
}

TEST_F(MouseSelection, CtrlDragGivesTheAreaBetweenPressAndReleaseWithinThePicture)
{
    struct Case {
        const char* name;
        QPoint from, to;
        Area expected;
    };
    const Case cases[] = {
        {"right and down", {40, 30}, {79, 59}, {40, 80, 30, 60}},
        {"left and up", {50, 50}, {20, 30}, {20, 49, 30, 49}},
        {"one column left of the press: empty", {50, 50}, {49, 49}, {50, 50, 50, 50}},
        // Left of the picture the rectangle shifts right, its width kept.
        {"released at x = -5", {10, 10}, {-5, 20}, {0, 14, 10, 21}},
        {"released over the vertical ruler", {10, 10}, {-20, 20}, {0, 29, 10, 21}},
        {"released above the picture", {10, 30}, {20, -7}, {10, 21, 0, 36}},
        // Ending on the last column but one already takes the last column.
        {"to the last column but one", {60, 10}, {98, 20}, {60, 100, 10, 21}},
        {"past the right and bottom borders", {60, 50}, {180, 130}, {60, 100, 50, 80}},
    };
    for (const Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + ", " + buttonName(button) + " button");
            typeArea({0, 1, 0, 1});  // the presses land on the bare picture
            dragOnPicture(c.from, c.to, button, Qt::ControlModifier);
            EXPECT_EQ(area(), c.expected);
            EXPECT_EQ(fieldTexts(), test::CutAreaWindow::fieldTextsFor(c.expected));
            EXPECT_EQ(marker(), markerFor(c.expected));
            EXPECT_EQ(w->areax->position(), c.expected.xl + (c.expected.xr - c.expected.xl) / 2);
            EXPECT_EQ(w->areay->position(), c.expected.yu + (c.expected.yb - c.expected.yu) / 2);
            EXPECT_FALSE(w->drawing);
        }
    }
    EXPECT_TRUE(errors.texts.isEmpty()) << errors.texts.join(' ').toStdString();
}

TEST_F(MouseSelection, DragOnTheMarkerMovesTheAreaAndStopsAtEachBorder)
{
    struct Case {
        const char* name;
        QPoint by;
        Area expected;
    };
    // The area 20..50 by 10..40 of the 100 by 80 picture.
    const Case cases[] = {
        {"within the picture", {10, 5}, {30, 60, 15, 45}},
        {"against the left border", {-100, 3}, {0, 30, 13, 43}},
        {"against the right border", {200, -2}, {70, 100, 8, 38}},
        {"against the upper border", {4, -100}, {24, 54, 0, 30}},
        {"against the bottom border", {-6, 100}, {14, 44, 50, 80}},
        {"into the corner beyond both far borders", {300, 300}, {70, 100, 50, 80}},
    };
    for (const Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + ", " + buttonName(button) + " button");
            typeArea({20, 50, 10, 40});
            const QPoint from(30, 20);  // inside the marker
            press(w->mainimage, from, button);
            EXPECT_TRUE(w->moving);
            moveTo(w->mainimage, from + c.by);
            // The marker follows during the drag; the fields wait.
            EXPECT_EQ(marker(), markerFor(c.expected));
            EXPECT_EQ(w->edgexl->text(), QStringLiteral("20"));
            release(w->mainimage, from + c.by, button);
            EXPECT_FALSE(w->moving);
            EXPECT_EQ(area(), c.expected);
            EXPECT_EQ(fieldTexts(), test::CutAreaWindow::fieldTextsFor(c.expected));
            EXPECT_EQ(w->areax->position(), c.expected.xl + 15);
            EXPECT_EQ(w->areay->position(), c.expected.yu + 15);
        }
    }
}

TEST_F(MouseSelection, PressOnTheMarkersOutlineMovesAndTheGuideLineMovesToo)
{
    typeArea({20, 50, 10, 40});
    // The outline's left column lies on picture column 19.
    press(w->mainimage, {19, 25});
    moveTo(w->mainimage, {24, 25});
    release(w->mainimage, {24, 25});
    EXPECT_EQ(area(), (Area{25, 55, 10, 40}));

    // With the left-edge mode on, the guide line lies on that outline and a
    // drag on it moves the area as well.
    clickButton(w->XL);
    ASSERT_TRUE(w->beam->isVisible());
    ASSERT_EQ(w->beam->x(), w->imgleft + 24);
    press(w->beam, {0, 30});
    moveTo(w->beam, {-10, 35});
    release(w->beam, {-10, 35});
    EXPECT_EQ(area(), (Area{15, 45, 15, 45}));
}

TEST_F(MouseSelection, PressWithoutCtrlBesideTheMarkerDoesNothing)
{
    typeArea({20, 50, 10, 40});
    const QRect before = marker();
    for (const Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
        dragOnPicture({70, 60}, {80, 70}, button);
        EXPECT_EQ(area(), (Area{20, 50, 10, 40})) << buttonName(button);
        EXPECT_EQ(marker(), before);
        EXPECT_FALSE(w->drawing || w->moving);
    }
    // Nor does it take the focus from a ruler, or change the area then.
    focusRuler(w->areax);
    ASSERT_TRUE(w->areax->hasFocus());
    dragOnPicture({70, 60}, {80, 70});
    EXPECT_TRUE(w->areax->hasFocus());
    EXPECT_EQ(area(), (Area{20, 50, 10, 40}));
}

TEST_F(MouseSelection, DrawingDuringAnEdgeModeKeepsTheModeAndTheDrawnArea)
{
    typeArea({20, 50, 10, 40});
    clickButton(w->XL);
    ASSERT_TRUE(w->areax->hasFocus());
    dragOnPicture({60, 50}, {89, 69}, Qt::LeftButton, Qt::ControlModifier);
    // The thumb goes to the middle without the left-edge handling.
    EXPECT_EQ(area(), (Area{60, 90, 50, 70}));
    EXPECT_EQ(w->areax->position(), 75);
    EXPECT_TRUE(w->XL->isChecked());
    EXPECT_TRUE(w->areax->hasFocus());
}

TEST_F(MouseSelection, MoveWithAWidthFieldHoldingNoNumberStopsAtItsRead)
{
    typeArea({20, 50, 10, 40});
    type(w->sizex, QStringLiteral("abc"), false);  // typed, not applied: the field keeps the focus
    press(w->mainimage, {30, 20});
    moveTo(w->mainimage, {40, 25});
    release(w->mainimage, {40, 25});
    EXPECT_EQ(errors.texts, QStringList({"'abc' は整数ではありません."}));
    EXPECT_FALSE(w->moving);
    // The x edges were written before the read; the y edges come after it.
    EXPECT_EQ(area(), (Area{30, 60, 10, 40}));
    EXPECT_EQ(w->edgexl->text(), QStringLiteral("30"));
    EXPECT_EQ(w->edgeyu->text(), QStringLiteral("10"));
    EXPECT_EQ(w->sizex->text(), QStringLiteral("abc"));

    // The next drag starts afresh.
    errors.texts.clear();
    type(w->sizex, QStringLiteral("30"));
    dragOnPicture({2, 2}, {11, 11}, Qt::LeftButton, Qt::ControlModifier);
    EXPECT_TRUE(errors.texts.isEmpty());
    EXPECT_EQ(area(), (Area{2, 12, 2, 12}));
}

// A picture larger than the view, scrolled by a click into the scroll bar's
// channel: the marker is placed on the picture's pixels as they now stand,
// and a click on it leaves the area where it is.
using MouseSelectionOnALargePicture = test::CutAreaWindow;

TEST_F(MouseSelectionOnALargePicture, MarkerStaysOnThePictureAfterTheViewScrolled)
{
    loadPicture(1200, 900);
    QScrollBar* bar = w->view->horizontalScrollBar();
    ASSERT_TRUE(bar->isVisible());
    click(bar, QPoint(bar->width() - 30, bar->height() / 2));
    const int scrolled = w->view->scrollX();
    ASSERT_GT(scrolled, 100);
    EXPECT_EQ(w->mainimage->x(), 27 - scrolled);

    const int px = scrolled + 100;
    dragOnPicture({px, 100}, {px + 19, 119}, Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(area(), (Area{px, px + 20, 100, 120}));
    EXPECT_EQ(marker(), QRect(w->mainimage->x() + px - 1, w->mainimage->y() + 99, 22, 22));

    click(w->mainimage, {px + 5, 105});  // on the marker, without moving
    EXPECT_EQ(area(), (Area{px, px + 20, 100, 120}));
}
