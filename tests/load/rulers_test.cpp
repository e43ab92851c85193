// The rulers and the edge buttons through real mouse and key events: the
// whole-area move of a focused ruler, the four edge-move modes with their
// guide line, and the scroll positions they centre and restore.

#include <QDropEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QUrl>

#include <functional>

#include "tests/load/cutareatest.h"
#include "toolkit/spinbuttons.h"

using namespace clipora;
using test::Area;

namespace {

const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);

class Rulers : public test::CutAreaWindow {
public:
    void SetUp() override
    {
        CutAreaWindow::SetUp();
        loadPicture(300, 200);
    }

    // The guide line when hidden: a 1 by 1 shape before the picture's corner.
    QRect parkedGuide() const { return {w->imgleft - 1, w->imgtop - 1, 1, 1}; }
    bool inEdgeMode() const { return w->edgeButtons->downButton() != nullptr; }
};

}  // namespace

TEST_F(Rulers, EdgeButtonPutsTheThumbOnTheOutlineAndADragMovesThatEdgeOnly)
{
    struct Case {
        const char* name;
        Area start;
        const char* button;
        int thumbAtClick;
        int dragTo;
        int thumb;
        Area expected;
    };
    const Case cases[] = {
        {"XL, thumb to 99", {40, 120, 30, 90}, "XL", 39, 99, 99, {100, 120, 30, 90}},
        {"XL, thumb to 130 stops at 118", {40, 120, 30, 90}, "XL", 39, 130, 118, {119, 120, 30, 90}},
        {"XL, thumb to the ruler's start", {40, 120, 30, 90}, "XL", 39, -1, -1, {0, 120, 30, 90}},
        {"XL on an area from 0", {0, 120, 30, 90}, "XL", -1, 50, 50, {51, 120, 30, 90}},
        {"XR, thumb to 10 stops at 41", {40, 120, 30, 90}, "XR", 120, 10, 41, {40, 41, 30, 90}},
        {"XR, thumb to the end", {40, 120, 30, 90}, "XR", 120, 300, 300, {40, 300, 30, 90}},
        {"YU, thumb to 59", {40, 120, 30, 90}, "YU", 29, 59, 59, {40, 120, 60, 90}},
        {"YU, thumb to 150 stops at 88", {40, 120, 30, 90}, "YU", 29, 150, 88, {40, 120, 89, 90}},
        {"YB, thumb to 0 stops at 31", {40, 120, 30, 90}, "YB", 90, 0, 31, {40, 120, 30, 31}},
        {"YB, thumb to the end", {40, 120, 30, 90}, "YB", 90, 200, 200, {40, 120, 30, 200}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        typeArea(c.start);
        auto* button = w->findChild<SpeedButton*>(QLatin1String(c.button));
        const bool x = button == w->XL || button == w->XR;
        TrackBar* ruler = x ? w->areax : w->areay;
        TrackBar* across = x ? w->areay : w->areax;

        clickButton(button);
        EXPECT_TRUE(button->isChecked());
        EXPECT_EQ(w->edgeButtons->downButton(), button);
        EXPECT_TRUE(ruler->hasFocus());
        EXPECT_EQ(ruler->position(), c.thumbAtClick);
        EXPECT_EQ(ruler->tickMarks(), TrackBar::TickMarks::BottomRight);
        EXPECT_EQ(across->tickMarks(), TrackBar::TickMarks::BothSides);
        EXPECT_TRUE(w->beam->isVisible());
        EXPECT_EQ(w->beam->penColor(), x ? kBlue : kRed);
        EXPECT_EQ(w->beam->geometry(), x ? QRect(w->imgleft + c.thumbAtClick, w->imgtop, 1, 200)
                                         : QRect(w->imgleft, w->imgtop + c.thumbAtClick, 300, 1));
        EXPECT_EQ(area(), c.start);

        dragThumb(ruler, c.dragTo);
        EXPECT_EQ(ruler->position(), c.thumb);
        EXPECT_EQ(area(), c.expected);
        EXPECT_EQ(fieldTexts(), test::CutAreaWindow::fieldTextsFor(c.expected));
        EXPECT_EQ(marker(), markerFor(c.expected));
        EXPECT_EQ(w->beam->geometry(), x ? QRect(w->imgleft + c.thumb, w->imgtop, 1, 200)
                                         : QRect(w->imgleft, w->imgtop + c.thumb, 300, 1));
        EXPECT_TRUE(button->isChecked());

        QTest::mouseClick(w->client, Qt::LeftButton, {}, QPoint(5, w->client->height() - 5));  // background
        EXPECT_FALSE(inEdgeMode());
    }
    EXPECT_TRUE(errors.texts.isEmpty()) << errors.texts.join(' ').toStdString();
}

TEST_F(Rulers, WholeAreaMoveKeepsTheSizeAndStopsAtEitherEnd)
{
    struct Case {
        const char* name;
        bool x;
        std::function<void(Rulers&, TrackBar*)> act;
        int thumb;
        int low, high;  // the edges on the ruler's axis
    };
    const Case cases[] = {
        {"Home: the thumb to -1", true, [](Rulers&, TrackBar* r) { QTest::keyClick(r, Qt::Key_Home); }, 50, 0, 100},
        {"End: the thumb to the picture's width", true,
         [](Rulers&, TrackBar* r) { QTest::keyClick(r, Qt::Key_End); }, 250, 200, 300},
        {"Right arrow", true, [](Rulers&, TrackBar* r) { QTest::keyClick(r, Qt::Key_Right); }, 91, 41, 141},
        {"click in the channel at 150", true, [](Rulers& t, TrackBar* r) { t.click(r, t.rulerPoint(r, 150)); },
         150, 100, 200},
        {"thumb dragged beyond the start", true, [](Rulers& t, TrackBar* r) { t.dragThumb(r, -40); }, 50, 0, 100},
        {"thumb dragged beyond the end", true, [](Rulers& t, TrackBar* r) { t.dragThumb(r, 400); }, 250, 200, 300},
        {"End on the vertical ruler", false, [](Rulers&, TrackBar* r) { QTest::keyClick(r, Qt::Key_End); },
         150, 100, 200},
        {"Up arrow on the vertical ruler", false, [](Rulers&, TrackBar* r) { QTest::keyClick(r, Qt::Key_Up); },
         89, 39, 139},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Area start{40, 140, 40, 140};
        typeArea(start);
        TrackBar* ruler = c.x ? w->areax : w->areay;
        focusRuler(ruler);
        ASSERT_TRUE(ruler->hasFocus());
        ASSERT_EQ(area(), start);

        c.act(*this, ruler);
        const Area expected = c.x ? Area{c.low, c.high, 40, 140} : Area{40, 140, c.low, c.high};
        EXPECT_EQ(ruler->position(), c.thumb);
        EXPECT_EQ(area(), expected);
        EXPECT_EQ(fieldTexts(), test::CutAreaWindow::fieldTextsFor(expected));
        EXPECT_EQ(marker(), markerFor(expected));
        EXPECT_FALSE(w->beam->isVisible());
        EXPECT_EQ(ruler->tickMarks(), TrackBar::TickMarks::BothSides);
    }
    EXPECT_TRUE(errors.texts.isEmpty()) << errors.texts.join(' ').toStdString();
}

TEST_F(Rulers, WholeAreaMoveReadsTheWidthAsTheFieldHoldsIt)
{
    struct Case {
        const char* name;
        const char* typed;  // typed into sizex, refused at Enter
        Area expected;
        const char* sizexAfter;
        QStringList errorTexts;
    };
    const Case cases[] = {
        {"a refused 0: an empty area at the thumb", "0", {200, 200, 40, 140}, "0", {}},
        {"a refused negative width counts as 0", "-3", {200, 200, 40, 140}, "0", {}},
        {"no number: the move stops at the read", "abc", {40, 140, 40, 140}, "abc",
         {QStringLiteral("'abc' は整数ではありません.")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        errors.texts.clear();
        typeArea({40, 140, 40, 140});
        type(w->sizex, QString::fromUtf8(c.typed));
        ASSERT_EQ(w->sizex->text(), QString::fromUtf8(c.typed));
        ASSERT_EQ(area(), (Area{40, 140, 40, 140}));

        click(w->areax, rulerPoint(w->areax, 200));
        EXPECT_EQ(w->areax->position(), 200);
        EXPECT_EQ(area(), c.expected);
        EXPECT_EQ(w->sizex->text(), QString::fromUtf8(c.sizexAfter));
        EXPECT_EQ(w->edgexl->text(), QString::number(c.expected.xl));
        EXPECT_EQ(w->edgexr->text(), QString::number(c.expected.xr));
        EXPECT_EQ(errors.texts, c.errorTexts);
        if (c.errorTexts.isEmpty()) {
            EXPECT_EQ(marker(), markerFor(c.expected));
        }
    }
}

// No road through the window leaves a width larger than the picture in the
// field today; the whole-area move must still end, with the area inside.
TEST_F(Rulers, WholeAreaMoveWithAWidthLargerThanThePictureEndsInsideIt)
{
    typeArea({40, 140, 40, 140});
    focusRuler(w->areax);
    w->sizex->setText(QStringLiteral("500"));
    QTest::keyClick(w->areax, Qt::Key_Right);
    EXPECT_EQ(area(), (Area{0, 300, 40, 140}));
    EXPECT_EQ(w->sizex->text(), QStringLiteral("300"));
    EXPECT_EQ(marker(), markerFor({0, 300, 40, 140}));
    EXPECT_TRUE(errors.texts.isEmpty());
}

// Dropping a narrower picture while the ruler holds the focus lowers the
// ruler's maximum below its thumb: the whole-area handling runs inside the
// load with the old width in the field, larger than the new picture.
TEST_F(Rulers, NarrowerPictureDroppedWhileTheRulerHasTheFocusLoadsWithTheAreaInside)
{
    const std::string narrow = dir.file("narrow.bmp");
    test::writeBytes(narrow, encodeBmp(test::photoLike(120, 90, 3)));
    for (const bool autoreset : {true, false}) {
        SCOPED_TRACE(autoreset ? "reset on load" : "area kept on load");
        loadPicture(300, 200);
        if (w->autoreset->isChecked() != autoreset)
            w->autoreset->trigger();
        focusRuler(w->areax);
        ASSERT_TRUE(w->areax->hasFocus());

        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(narrow))});
        QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w, &enter);
        QDropEvent drop(QPoint(300, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w, &drop);

        ASSERT_EQ(w->picwidth, 120);
        EXPECT_EQ(area(), (Area{0, 120, 0, 90}));
        EXPECT_EQ(fieldTexts(), test::CutAreaWindow::fieldTextsFor({0, 120, 0, 90}));
        EXPECT_EQ(marker(), markerFor({0, 120, 0, 90}));
    }
    EXPECT_TRUE(errors.texts.isEmpty()) << errors.texts.join(' ').toStdString();
}

TEST_F(Rulers, LeavingTheRulerEndsTheEdgeModeWithTheThumbBackInTheMiddle)
{
    struct Case {
        const char* name;
        std::function<void(Rulers&)> leave;
        bool areayFocused;
    };
    const Case cases[] = {
        {"click into edgexl", [](Rulers& t) { t.click(t.w->edgexl, t.w->edgexl->rect().center()); }, false},
        {"click on the view's background", [](Rulers& t) { t.click(t.w->view->client(), {480, 320}); }, false},
        {"Tab to the vertical ruler", [](Rulers& t) { QTest::keyClick(t.w->areax, Qt::Key_Tab); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        typeArea({40, 120, 30, 90});
        clickButton(w->XL);
        dragThumb(w->areax, 99);
        ASSERT_EQ(area(), (Area{100, 120, 30, 90}));

        c.leave(*this);
        EXPECT_FALSE(w->XL->isChecked());
        EXPECT_FALSE(w->XR->isChecked());
        EXPECT_FALSE(w->areax->hasFocus());
        EXPECT_EQ(w->areay->hasFocus(), c.areayFocused);
        EXPECT_EQ(w->areax->tickMarks(), TrackBar::TickMarks::BothSides);
        EXPECT_EQ(w->areax->position(), 110);
        EXPECT_FALSE(w->beam->isVisible());
        EXPECT_EQ(w->beam->geometry(), parkedGuide());
        EXPECT_EQ(area(), (Area{100, 120, 30, 90}));
        EXPECT_EQ(fieldTexts(), test::CutAreaWindow::fieldTextsFor({100, 120, 30, 90}));
    }
    // Into edgexl the focus went on, and the field works as ever.
    click(w->edgexl, w->edgexl->rect().center());
    ASSERT_TRUE(w->edgexl->hasFocus());
}

TEST_F(Rulers, PressOnAnEdgeButtonThatEndsInNoClickStillEndsTheMode)
{
    struct Case {
        const char* name;
        const char* button;
        Qt::MouseButton mouseButton;
        bool releasedOutside;
    };
    const Case cases[] = {
        {"XR released outside it", "XR", Qt::LeftButton, true},
        {"XL released outside it", "XL", Qt::LeftButton, true},
        {"XR with the right button", "XR", Qt::RightButton, false},
        {"XL with the middle button", "XL", Qt::MiddleButton, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        typeArea({40, 120, 30, 90});
        clickButton(w->XL);
        dragThumb(w->areax, 99);
        ASSERT_TRUE(w->XL->isChecked());

        auto* button = w->findChild<SpeedButton*>(QLatin1String(c.button));
        press(button, button->rect().center(), c.mouseButton);
        // The press alone ended the mode: the focus went to the width's spin buttons.
        EXPECT_FALSE(w->XL->isChecked());
        EXPECT_TRUE(w->UpDownX->hasFocus());
        const QPoint away = c.releasedOutside ? inWindow(button, button->rect().center()) + QPoint(0, 200)
                                              : inWindow(button, button->rect().center());
        QTest::mouseMove(w->windowHandle(), away);
        QTest::mouseRelease(w->windowHandle(), c.mouseButton, {}, away);

        EXPECT_FALSE(inEdgeMode());
        EXPECT_FALSE(w->beam->isVisible());
        EXPECT_EQ(w->areax->position(), 110);
        EXPECT_EQ(w->areax->tickMarks(), TrackBar::TickMarks::BothSides);
        EXPECT_EQ(area(), (Area{100, 120, 30, 90}));
    }
}

TEST_F(Rulers, ClickingAButtonOfTheRunningAxisNeverLeavesTheModeOff)
{
    typeArea({40, 120, 30, 90});
    clickButton(w->XL);
    dragThumb(w->areax, 99);
    clickButton(w->XL);  // ends at the press, starts again at the click
    EXPECT_TRUE(w->XL->isChecked());
    EXPECT_TRUE(w->areax->hasFocus());
    EXPECT_EQ(w->areax->position(), 99);
    EXPECT_EQ(w->beam->geometry(), QRect(w->imgleft + 99, w->imgtop, 1, 200));

    clickButton(w->XR);  // from the left edge to the right edge
    EXPECT_FALSE(w->XL->isChecked());
    EXPECT_TRUE(w->XR->isChecked());
    EXPECT_EQ(w->areax->position(), 120);
    EXPECT_EQ(w->beam->geometry(), QRect(w->imgleft + 120, w->imgtop, 1, 200));
    EXPECT_EQ(w->areax->tickMarks(), TrackBar::TickMarks::BottomRight);
    EXPECT_EQ(area(), (Area{100, 120, 30, 90}));
}

TEST_F(Rulers, LeavingWithAWidthFieldHoldingNoNumberStopsAtItsRead)
{
    typeArea({40, 120, 30, 90});
    type(w->sizex, QStringLiteral("abc"));  // refused, kept
    clickButton(w->XL);
    ASSERT_TRUE(errors.texts.isEmpty());
    click(w->edgexl, w->edgexl->rect().center());
    EXPECT_EQ(errors.texts, QStringList({"'abc' は整数ではありません."}));
    // The buttons came up before the read; the guide line is still shown.
    EXPECT_FALSE(inEdgeMode());
    EXPECT_EQ(w->areax->tickMarks(), TrackBar::TickMarks::BothSides);
    EXPECT_TRUE(w->beam->isVisible());
    EXPECT_EQ(area(), (Area{40, 120, 30, 90}));
}

using RulersOnALargePicture = test::CutAreaWindow;

// The view starts scrolled by the user. The upper-edge mode centres its
// thumb vertically; switching to the right-edge mode puts the vertical
// scroll position back to where it was when the vertical ruler took the
// focus, and centres the horizontal ruler's thumb.
TEST_F(RulersOnALargePicture, SwitchFromTheUpperToTheRightEdgeRestoresAndCentresTheView)
{
    loadPicture(1500, 1000);
    const Area a{600, 900, 500, 700};
    typeArea(a);
    QScrollBar* hbar = w->view->horizontalScrollBar();
    QScrollBar* vbar = w->view->verticalScrollBar();
    click(hbar, QPoint(hbar->width() - 30, hbar->height() / 2));
    click(vbar, QPoint(vbar->width() / 2, vbar->height() - 30));
    const int userX = w->view->scrollX();
    const int userY = w->view->scrollY();
    ASSERT_GT(userX, 0);
    ASSERT_GT(userY, 0);

    // Picture column c stands at content x 27 + c, row r at content y 25 + r;
    // the thumb of position p at 14 + 13 + p and 12 + 13 + p.
    const int centredY = std::min(w->view->scrollRangeY(), 12 + 499 + 13 - w->view->height() / 2);
    const int centredX = std::min(w->view->scrollRangeX(), 14 + 900 + 13 - w->view->width() / 2);
    ASSERT_NE(centredY, userY);
    ASSERT_NE(centredX, userX);

    clickButton(w->YU);
    EXPECT_TRUE(w->areay->hasFocus());
    EXPECT_EQ(w->scrolly, userY);
    EXPECT_EQ(w->view->scrollY(), centredY);
    EXPECT_EQ(w->view->scrollX(), userX);
    EXPECT_EQ(w->areay->position(), 499);
    EXPECT_EQ(w->beam->penColor(), kRed);
    EXPECT_EQ(w->beam->geometry(), QRect(w->mainimage->x(), w->mainimage->y() + 499, 1500, 1));
    EXPECT_EQ(marker(), markerFor(a));

    clickButton(w->XR);
    EXPECT_FALSE(w->YU->isChecked());
    EXPECT_TRUE(w->XR->isChecked());
    EXPECT_TRUE(w->areax->hasFocus());
    EXPECT_EQ(w->areay->tickMarks(), TrackBar::TickMarks::BothSides);
    EXPECT_EQ(w->areay->position(), 600);
    EXPECT_EQ(w->areax->tickMarks(), TrackBar::TickMarks::BottomRight);
    EXPECT_EQ(w->areax->position(), 900);
    EXPECT_EQ(w->view->scrollY(), userY);
    EXPECT_EQ(w->scrollx, userX);
    EXPECT_EQ(w->view->scrollX(), centredX);
    EXPECT_EQ(w->beam->penColor(), kBlue);
    EXPECT_EQ(w->beam->geometry(), QRect(w->mainimage->x() + 900, w->mainimage->y(), 1, 1000));
    EXPECT_EQ(area(), a);
    EXPECT_EQ(fieldTexts(), test::CutAreaWindow::fieldTextsFor(a));
    EXPECT_EQ(marker(), markerFor(a));

    // Moving the thumb in the right-edge mode keeps the line on the picture.
    QTest::keyClick(w->areax, Qt::Key_End);
    EXPECT_EQ(area(), (Area{600, 1500, 500, 700}));
    EXPECT_EQ(w->beam->x(), w->mainimage->x() + 1500);
    EXPECT_EQ(marker(), markerFor({600, 1500, 500, 700}));
    EXPECT_TRUE(errors.texts.isEmpty()) << errors.texts.join(' ').toStdString();
}
