#pragma once
// The main window with a picture loaded, driven with the mouse through the
// window as the platform delivers it (the widget overloads of QTest send
// straight to the widget named and so bypass the pointer capture of the
// pressed control), and read back through the cut area's controls.

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QWindow>

#include <memory>
#include <ostream>
#include <string>

#include "app/startup.h"
#include "imaging/codecs.h"
#include "load/clientarea.h"
#include "load/loadcut.h"
#include "tests/support/testsupport.h"
#include "tests/toolkit/toolkittest.h"
#include "toolkit/editfield.h"
#include "toolkit/imagecontrol.h"
#include "toolkit/scrollbox.h"
#include "toolkit/shaperect.h"
#include "toolkit/speedbutton.h"
#include "toolkit/trackbar.h"

namespace clipora::test {

struct Area {
    int xl, xr, yu, yb;
    friend bool operator==(const Area&, const Area&) = default;
    friend std::ostream& operator<<(std::ostream& os, const Area& a)
    {
        return os << "x " << a.xl << ".." << a.xr << ", y " << a.yu << ".." << a.yb;
    }
};

// Public throughout, so that data-driven cases can act through it.
class CutAreaWindow : public ::testing::Test {
public:
    void SetUp() override
    {
        windows = createWindows();
        w = windows->loadcut.get();
        showActive(*w);
    }

    // Loads a photo-like BMP of the given size through the load button and
    // the open dialog; the whole picture becomes the area.
    void loadPicture(int width, int height)
    {
        const std::string file = dir.file("picture" + std::to_string(++loads) + ".bmp");
        writeBytes(file, encodeBmp(photoLike(width, height, 7)));
        DialogScript script(
            [&](const DialogRequest&) { return DialogAnswer::choose(QString::fromStdString(file)); });
        QTest::mouseClick(w->Loadpic, Qt::LeftButton);
        ASSERT_EQ(w->picwidth, width);
        ASSERT_EQ(w->picheight, height);
    }

    // Clicks into the field, replaces its text and, if asked, presses Enter.
    void type(EditField* field, const QString& text, bool enter = true)
    {
        click(field, field->rect().center());
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(field, text);
        if (enter)
            QTest::keyClick(field, Qt::Key_Return);
    }

    // Types the four edges, each applied with Enter.
    void typeArea(const Area& a)
    {
        type(w->edgexr, QString::number(a.xr));
        type(w->edgexl, QString::number(a.xl));
        type(w->edgexr, QString::number(a.xr));
        type(w->edgeyb, QString::number(a.yb));
        type(w->edgeyu, QString::number(a.yu));
        type(w->edgeyb, QString::number(a.yb));
    }

    // --- The mouse, through the window. ---
    QPoint inWindow(const QWidget* widget, QPoint local) const { return widget->mapTo(w, local); }
    void press(const QWidget* widget, QPoint local, Qt::MouseButton button = Qt::LeftButton,
               Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mouseMove(w->windowHandle(), inWindow(widget, local));
        QTest::mousePress(w->windowHandle(), button, modifiers, inWindow(widget, local));
    }
    void moveTo(const QWidget* widget, QPoint local)
    {
        QTest::mouseMove(w->windowHandle(), inWindow(widget, local));
    }
    void release(const QWidget* widget, QPoint local, Qt::MouseButton button = Qt::LeftButton,
                 Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mouseRelease(w->windowHandle(), button, modifiers, inWindow(widget, local));
    }
    void click(const QWidget* widget, QPoint local, Qt::MouseButton button = Qt::LeftButton,
               Qt::KeyboardModifiers modifiers = {})
    {
        press(widget, local, button, modifiers);
        release(widget, local, button, modifiers);
    }
    void clickButton(SpeedButton* button) { click(button, button->rect().center()); }

    // A drag on the picture between two picture points, with a move to the
    // release point before the release.
    void dragOnPicture(QPoint from, QPoint to, Qt::MouseButton button = Qt::LeftButton,
                       Qt::KeyboardModifiers modifiers = {})
    {
        press(w->mainimage, from, button, modifiers);
        moveTo(w->mainimage, to);
        release(w->mainimage, to, button, modifiers);
    }

    // Where position p of a ruler stands, in the ruler's coordinates.
    static QPoint rulerPoint(const TrackBar* ruler, int p)
    {
        const int along = ruler->pixelForPosition(p);
        return ruler->orientation() == Qt::Horizontal ? QPoint(along, ruler->height() / 2)
                                                      : QPoint(ruler->width() / 2, along);
    }
    // Presses the thumb at its centre, drags it to the pixel of position
    // `to` (a number outside the range means beyond the ruler's end) and
    // releases it there.
    void dragThumb(TrackBar* ruler, int to)
    {
        const QPoint from = rulerPoint(ruler, ruler->position());
        press(ruler, from);
        const QPoint target = from + (ruler->orientation() == Qt::Horizontal
                                          ? QPoint(ruler->pixelForPosition(to) - from.x(), 0)
                                          : QPoint(0, ruler->pixelForPosition(to) - from.y()));
        moveTo(ruler, target);
        release(ruler, target);
    }
    // A click on the ruler's thumb: the ruler takes the focus, the thumb
    // stays.
    void focusRuler(TrackBar* ruler) { click(ruler, rulerPoint(ruler, ruler->position())); }

    // --- Reading the cut area back. ---
    Area area() const { return {w->xl(), w->xr(), w->yu(), w->yb()}; }
    QStringList fieldTexts() const
    {
        return {w->edgexl->text(), w->sizex->text(), w->edgexr->text(),
                w->edgeyu->text(), w->sizey->text(), w->edgeyb->text()};
    }
    static QStringList fieldTextsFor(const Area& a)
    {
        return {QString::number(a.xl), QString::number(a.xr - a.xl), QString::number(a.xr),
                QString::number(a.yu), QString::number(a.yb - a.yu), QString::number(a.yb)};
    }
    QRect marker() const { return w->shot->geometry(); }
    // The marker around the area on the picture as it now stands in the view.
    QRect markerFor(const Area& a) const
    {
        const QPoint origin = w->mainimage->pos();
        return {origin.x() + a.xl - 1, origin.y() + a.yu - 1, a.xr - a.xl + 2, a.yb - a.yu + 2};
    }

    TempDir dir;
    ErrorBoxRecorder errors;
    std::unique_ptr<ProgramWindows> windows;
    Tloadcut* w = nullptr;
    int loads = 0;
};

}  // namespace clipora::test
