// The resize dialog driven through its widgets together with the real main
// window: opening, the aspect ratio, the angle fields, the colours, preview,
// hand-over and restore, and the colour pick from the picture.

#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QMap>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>

#include <cmath>
#include <numbers>

#include "load/forms.h"
#include "tests/load/cutareatest.h"
#include "toolkit/colordialog.h"
#include "toolkit/messagebox.h"
#include "toolkit/spinbuttons.h"
#include "zoom/calc/zoomcalc.h"
#include "toolkit/colourswatch.h"
#include "zoom/resize.h"

using namespace clipora;

namespace {

// Records the plain message boxes instead of showing them.
class MessageRecorder {
public:
    MessageRecorder()
    {
        previous_ = setMessageBoxHook([this](const QString& text) { texts.append(text); });
    }
    ~MessageRecorder() { setMessageBoxHook(std::move(previous_)); }
    QStringList texts;

private:
    MessageBoxHook previous_;
};

// Answers the colour chooser for the lifetime of the object and notes the
// colour it was opened on.
class ColourScript {
public:
    explicit ColourScript(std::optional<QColor> answer)
    {
        previous_ = setColorDialogAnswerer([this, answer](const QColor& current) {
            openedOn.append(current);
            return answer;
        });
    }
    ~ColourScript() { setColorDialogAnswerer(std::move(previous_)); }
    QList<QColor> openedOn;

private:
    ColorDialogAnswerer previous_;
};

QString errorText(const QString& text)
{
    return errorBoxText(text);
}

QString conversionError(const QString& text)
{
    return errorText(QStringLiteral("'%1' は整数ではありません").arg(text));
}

// 0x00RRGGBB, as test::rgbAt gives it.
std::uint32_t rgbOf(const QColor& c)
{
    return zoom::colourValue(c).rgb().hex();
}

ColourValue topLeftValue(const Bitmap24& b)
{
    return ColourValue(Rgb::ofPixel(b.pixel(0, 0)));
}

class ResizeDialog : public test::CutAreaWindow {
public:
    void SetUp() override
    {
        CutAreaWindow::SetUp();
        r = windows->resize.get();
    }

    void open()
    {
        QTest::mouseClick(w->resizeon, Qt::LeftButton);
        ASSERT_TRUE(r->isVisible());
        test::activate(*r);
        ASSERT_TRUE(QTest::qWaitForWindowActive(r));
    }

    // Clicks into a field of the dialog, replaces its text and presses `key`
    // (none: the text stays unapplied).
    void enter(EditField* field, const QString& text, Qt::Key key = Qt::Key_Return)
    {
        QTest::mouseClick(field, Qt::LeftButton);
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(field, text);
        if (key == Qt::Key_Return)
            QTest::keyClick(field, Qt::Key_Return);
        else if (key == Qt::Key_Tab)
            QTest::keyClick(field, Qt::Key_Tab);
    }

    void untickRatio()
    {
        if (r->ratiokeep->isChecked())
            QTest::mouseClick(r->ratiokeep, Qt::LeftButton);
    }

    // Sets both sizes with the aspect ratio let go.
    void setSize(int width, int height)
    {
        untickRatio();
        enter(r->newsizex, QString::number(width));
        enter(r->newsizey, QString::number(height));
    }

    void clickSpin(SpinButtons* spin, SpinButtons::Arrow arrow)
    {
        QTest::mouseClick(spin, Qt::LeftButton, {}, spin->arrowRect(arrow).center());
    }

    const Bitmap24& shown() const { return w->mainimage->picture().pixels; }
    Bitmap24 work() const { return w->workbmp; }

    Tresize* r = nullptr;
    MessageRecorder messages;
};

}  // namespace

// ---------------------------------------------------------------------------
// The window and its controls

TEST_F(ResizeDialog, ControlsCarryTheirNamesCaptionsRangesAndTabOrder)
{
    EXPECT_EQ(r->windowTitle(), QStringLiteral("リサイズ"));
    EXPECT_EQ(r->size(), QSize(285, 181));
    EXPECT_EQ(r->goresize->text(), QStringLiteral("プレビュー"));
    EXPECT_EQ(r->okey->text(), QStringLiteral("決定"));
    EXPECT_EQ(r->cancel->text(), QStringLiteral("キャンセル"));
    EXPECT_EQ(r->colorset->text(), QStringLiteral("隙間色"));
    EXPECT_EQ(r->transpick->text(), QStringLiteral("色選択"));
    EXPECT_EQ(r->ratiokeep->text(), QStringLiteral("縦横比維持"));
    EXPECT_TRUE(r->ratiokeep->isChecked());
    EXPECT_EQ(r->intrans->text(), QStringLiteral("透明色"));
    EXPECT_FALSE(r->intrans->isChecked());
    EXPECT_EQ(r->edge->text(), QStringLiteral("枠補正なし"));
    EXPECT_TRUE(r->edge->isChecked());
    EXPECT_EQ(r->fill->text(), QStringLiteral("50"));
    EXPECT_FALSE(r->transpick->isEnabled());

    struct Spin {
        SpinButtons* spin;
        int minimum, maximum, increment;
        const char* name;
    };
    for (const Spin& s : {Spin{r->UpDownX, 1, 2000, 1, "横サイズ 増減"}, Spin{r->UpDownY, 1, 2000, 1, "縦サイズ 増減"},
                          Spin{r->UpDowndeg, -180, 180, 90, "回転角度 増減"},
                          Spin{r->degreesubUD, 0, 99, 10, "回転角度 1/100 増減"},
                          Spin{r->UpDownfill, 0, 100, 10, "選択率 増減"}}) {
        EXPECT_EQ(s.spin->minimum(), s.minimum) << s.name;
        EXPECT_EQ(s.spin->maximum(), s.maximum) << s.name;
        EXPECT_EQ(s.spin->increment(), s.increment) << s.name;
        EXPECT_EQ(s.spin->accessibleName(), QString::fromUtf8(s.name));
    }
    EXPECT_EQ(r->newsizex->accessibleName(), QStringLiteral("横サイズ"));
    EXPECT_EQ(r->newsizey->accessibleName(), QStringLiteral("縦サイズ"));
    EXPECT_EQ(r->degree->accessibleName(), QStringLiteral("回転角度"));
    EXPECT_EQ(r->degreesub->accessibleName(), QStringLiteral("回転角度 1/100"));
    EXPECT_EQ(r->fill->accessibleName(), QStringLiteral("選択率"));
    EXPECT_EQ(r->progress->accessibleName(), QStringLiteral("進行状況"));
    QAccessibleInterface* swatch = QAccessible::queryAccessibleInterface(r->transcolor);
    ASSERT_NE(swatch, nullptr);
    EXPECT_EQ(swatch->text(QAccessible::Name), QStringLiteral("透明色の見本"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(r->fillcolor)->text(QAccessible::Name),
              QStringLiteral("隙間色の見本"));

    // Tab walks the focusable controls in the window's order.
    loadPicture(40, 30);
    open();
    r->goresize->setFocus();
    const QList<QWidget*> order = {r->newsizex, r->newsizey, r->UpDownX, r->UpDownY, r->okey,
                                   r->ratiokeep, r->cancel, r->degree, r->UpDowndeg, r->intrans,
                                   r->fill,     r->UpDownfill, r->degreesub, r->degreesubUD, r->goresize};
    for (QWidget* next : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
    }
}

TEST_F(ResizeDialog, OpensOnThePictureAndHidesTheMarkerUntilClosed)
{
    loadPicture(640, 480);
    r->progress->setValue(100);  // left over from an earlier preview
    QTest::keyClick(w, Qt::Key_R, Qt::ControlModifier);
    ASSERT_TRUE(r->isVisible());

    EXPECT_EQ(r->originx->text(), QStringLiteral("X : 640"));
    EXPECT_EQ(r->originy->text(), QStringLiteral("Y : 480"));
    EXPECT_EQ(r->originx->height(), 24);
    EXPECT_EQ(r->newsizex->text(), QStringLiteral("640"));
    EXPECT_EQ(r->newsizey->text(), QStringLiteral("480"));
    EXPECT_DOUBLE_EQ(r->aspect, 640.0 / 480.0);
    EXPECT_EQ(zoom::colourValue(r->transcolor->color()), topLeftValue(w->workbmp));
    EXPECT_FALSE(r->intrans->isChecked());
    EXPECT_FALSE(r->transcolor->isVisible());
    EXPECT_FALSE(r->fillcolor->isVisible());
    EXPECT_FALSE(r->colorset->isEnabled());
    EXPECT_FALSE(r->edge->isEnabled());
    EXPECT_EQ(r->progress->value(), 0);
    EXPECT_FALSE(w->shot->isVisible());

    QTest::mouseClick(r->cancel, Qt::LeftButton);
    EXPECT_FALSE(r->isVisible());
    EXPECT_TRUE(w->shot->isVisible());
}

TEST_F(ResizeDialog, SizeLabelsFitTheirTextEachTimeTheDialogOpens)
{
    struct Row {
        int width, height;
    };
    // Wide then narrow and back: a label must shrink as well as grow.
    const Row rows[] = {{12345, 2}, {5, 3}, {2, 12345}, {640, 48}, {5, 5}};
    QMap<QString, int> widthOf;  // the width each text got
    for (const Row& row : rows) {
        loadPicture(row.width, row.height);
        open();
        for (QLabel* label : {r->originx, r->originy}) {
            const QString text = label->text();
            EXPECT_EQ(label->size(), QSize(label->sizeHint().width(), 24)) << text.toStdString();
            EXPECT_EQ(widthOf.value(text, label->width()), label->width()) << text.toStdString();
            widthOf[text] = label->width();
        }
        QTest::mouseClick(r->cancel, Qt::LeftButton);
    }
    EXPECT_LT(widthOf[QStringLiteral("X : 5")], widthOf[QStringLiteral("X : 12345")]);
    EXPECT_LT(widthOf[QStringLiteral("Y : 5")], widthOf[QStringLiteral("Y : 12345")]);
}

TEST_F(ResizeDialog, AClickOnTheBackgroundGivesPreviewTheFocus)
{
    loadPicture(40, 30);
    open();
    QTest::mouseClick(r->fill, Qt::LeftButton);
    QTest::mouseClick(r, Qt::LeftButton, {}, QPoint(270, 110));
    EXPECT_EQ(QApplication::focusWidget(), r->goresize);
}

// ---------------------------------------------------------------------------
// The aspect ratio

struct RatioCase {
    const char* name;
    int width, height;
    bool onX;         // typed into newsizex (else newsizey)
    const char* typed;
    enum { Enter, Tab, SpinUp, SpinDown } how;
    const char* other;  // what the other field then holds
    friend void PrintTo(const RatioCase& c, std::ostream* os) { *os << c.name; }
};

class AspectRatio : public ResizeDialog, public ::testing::WithParamInterface<RatioCase> {};

TEST_P(AspectRatio, TiesTheOtherSizeWithHalvesToEven)
{
    const RatioCase& c = GetParam();
    loadPicture(c.width, c.height);
    open();
    EditField* field = c.onX ? r->newsizex : r->newsizey;
    EditField* other = c.onX ? r->newsizey : r->newsizex;
    SpinButtons* spin = c.onX ? r->UpDownX : r->UpDownY;
    switch (c.how) {
    case RatioCase::Enter:
        enter(field, QString::fromUtf8(c.typed));
        // Enter moves on to the spin buttons.
        EXPECT_EQ(QApplication::focusWidget(), spin);
        break;
    case RatioCase::Tab:
        enter(field, QString::fromUtf8(c.typed), Qt::Key_Tab);
        break;
    case RatioCase::SpinUp:
    case RatioCase::SpinDown:
        enter(field, QString::fromUtf8(c.typed), Qt::Key_unknown);
        clickSpin(spin, c.how == RatioCase::SpinUp ? SpinButtons::Arrow::Next : SpinButtons::Arrow::Previous);
        break;
    }
    EXPECT_EQ(other->text(), QString::fromUtf8(c.other));
    EXPECT_TRUE(errors.texts.isEmpty()) << errors.texts.join(u'|').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AspectRatio,
    ::testing::Values(RatioCase{"X100Gives50", 640, 320, true, "100", RatioCase::Enter, "50"},
                      RatioCase{"X101Gives50HalfToEven", 640, 320, true, "101", RatioCase::Tab, "50"},
                      RatioCase{"X103Gives52HalfToEven", 640, 320, true, "103", RatioCase::Enter, "52"},
                      RatioCase{"Y77Gives154", 640, 320, false, "77", RatioCase::Enter, "154"},
                      RatioCase{"X100On640x480Gives75", 640, 480, true, "100", RatioCase::Tab, "75"},
                      RatioCase{"SpinStepsX102To103Gives52", 640, 320, true, "102", RatioCase::SpinUp, "52"},
                      RatioCase{"SpinStepsY78To77Gives154", 640, 320, false, "78", RatioCase::SpinDown, "154"},
                      RatioCase{"ResultLeavesTheSpinRange", 1, 2000, true, "3", RatioCase::Enter, "6000"}),
    [](const ::testing::TestParamInfo<RatioCase>& info) { return std::string(info.param.name); });

TEST_F(ResizeDialog, WithoutTheRatioNeitherFieldMovesTheOther)
{
    loadPicture(640, 320);
    open();
    untickRatio();
    enter(r->newsizex, QStringLiteral("100"));
    EXPECT_EQ(r->newsizey->text(), QStringLiteral("320"));
    // Enter leaves the focus where it is.
    EXPECT_EQ(QApplication::focusWidget(), r->newsizex);
    // Ticking the box again ties the height to the width at once.
    QTest::mouseClick(r->ratiokeep, Qt::LeftButton);
    EXPECT_EQ(r->newsizey->text(), QStringLiteral("50"));
}

// ---------------------------------------------------------------------------
// Preview, hand-over and restore

TEST_F(ResizeDialog, OkWithNothingChangedComputesNothingAndResetsTheArea)
{
    loadPicture(64, 48);
    typeArea({10, 30, 5, 20});
    const Bitmap24 before = work();
    open();
    QSignalSpy displayed(w->mainimage, &ImageControl::pictureChanged);
    QSignalSpy progressed(r->progress, &QProgressBar::valueChanged);
    QTest::mouseClick(r->okey, Qt::LeftButton);

    EXPECT_FALSE(r->isVisible());
    EXPECT_EQ(displayed.count(), 0);
    EXPECT_EQ(progressed.count(), 0);
    EXPECT_TRUE(test::samePixels(before, work()));
    EXPECT_EQ(area(), (test::Area{0, 64, 0, 48}));
    EXPECT_TRUE(w->shot->isVisible());
}

TEST_F(ResizeDialog, OkAfterAnUnchangedPreviewHandsItOverWithoutComputingAgain)
{
    loadPicture(64, 48);
    open();
    untickRatio();
    enter(r->newsizex, QStringLiteral("100"));
    QSignalSpy displayed(w->mainimage, &ImageControl::pictureChanged);
    QTest::mouseClick(r->goresize, Qt::LeftButton);
    ASSERT_EQ(displayed.count(), 1);
    EXPECT_EQ(r->progress->value(), 100);

    Bitmap24 expected(100, 48);
    zoom::zoomup(work(), expected, {false, zoom::colourValue(r->transcolor->color()), 50});
    EXPECT_TRUE(test::samePixels(expected, shown()));

    QSignalSpy progressed(r->progress, &QProgressBar::valueChanged);
    QTest::mouseClick(r->okey, Qt::LeftButton);
    EXPECT_EQ(displayed.count(), 1);
    EXPECT_EQ(progressed.count(), 0);
    EXPECT_FALSE(r->isVisible());
    EXPECT_EQ(w->picwidth, 100);
    EXPECT_EQ(w->picheight, 48);
    EXPECT_TRUE(test::samePixels(expected, work()));
    EXPECT_EQ(area(), (test::Area{0, 100, 0, 48}));
    EXPECT_EQ(w->originx->text(), QStringLiteral("X : 100"));
}

TEST_F(ResizeDialog, ASettingChangedAfterThePreviewIsComputedBeforeTheHandOver)
{
    loadPicture(64, 48);
    const Bitmap24 source = work();
    open();
    untickRatio();
    enter(r->newsizex, QStringLiteral("32"));
    QTest::mouseClick(r->goresize, Qt::LeftButton);
    // A negative rate refuses every pixel: the whole result is the
    // transparent colour.
    enter(r->fill, QStringLiteral("-5"));
    QSignalSpy displayed(w->mainimage, &ImageControl::pictureChanged);
    QTest::mouseClick(r->okey, Qt::LeftButton);

    EXPECT_EQ(displayed.count(), 1);
    EXPECT_FALSE(r->isVisible());
    const ColourValue t = zoom::colourValue(r->transcolor->color());
    Bitmap24 expected(32, 48);
    zoom::zoomdown(source, expected, {false, t, -5});
    EXPECT_TRUE(test::samePixels(expected, work()));
    EXPECT_EQ(test::rgbAt(work(), 31, 47), rgbOf(r->transcolor->color()));
}

// "決定" hands over what the settings say, also when the display no longer
// shows it: a rotation kept in the hundredths from the last opening, or a
// picture flipped in the main window after the preview.
TEST_F(ResizeDialog, OkComputesWhatTheSettingsSayWhenTheDisplayNoLongerShowsIt)
{
    loadPicture(200, 100);
    open();
    enter(r->degreesub, QStringLiteral("50"));
    QTest::mouseClick(r->cancel, Qt::LeftButton);
    open();
    ASSERT_EQ(r->newsizex->text(), QStringLiteral("201"));
    const Bitmap24 source = work();
    QTest::mouseClick(r->okey, Qt::LeftButton);
    EXPECT_FALSE(r->isVisible());
    ASSERT_EQ(w->picwidth, 201);
    ASSERT_EQ(w->picheight, 102);
    Bitmap24 turned(201, 102);
    zoom::rotate(source, turned, r->angle, zoom::colourValue(r->fillcolor->color()), true,
                 {false, zoom::colourValue(r->transcolor->color()), 50});
    EXPECT_TRUE(test::samePixels(turned, work()));

    open();
    enter(r->degreesub, QStringLiteral("0"));
    untickRatio();
    enter(r->newsizex, QStringLiteral("100"));
    QTest::mouseClick(r->goresize, Qt::LeftButton);
    test::activate(*w);
    w->Hflip->trigger();
    const Bitmap24 flipped = work();
    test::activate(*r);
    QTest::mouseClick(r->okey, Qt::LeftButton);
    EXPECT_FALSE(r->isVisible());
    EXPECT_EQ(w->picwidth, 100);
    EXPECT_EQ(w->picheight, 102);
    Bitmap24 expected(100, 102);
    zoom::zoomdown(flipped, expected, {false, zoom::colourValue(r->transcolor->color()), 50});
    EXPECT_TRUE(test::samePixels(expected, work()));
}

TEST_F(ResizeDialog, TheCloseBoxPutsTheWorkingBitmapBackAndHandsNothingOver)
{
    loadPicture(64, 48);
    const Bitmap24 before = work();
    open();
    enter(r->newsizex, QStringLiteral("128"));
    QTest::mouseClick(r->goresize, Qt::LeftButton);
    ASSERT_EQ(shown().width(), 128);
    ASSERT_EQ(shown().height(), 96);

    r->close();
    EXPECT_FALSE(r->isVisible());
    EXPECT_TRUE(test::samePixels(before, shown()));
    EXPECT_EQ(w->mainimage->size(), QSize(64, 48));
    EXPECT_EQ(w->picwidth, 64);
    EXPECT_TRUE(test::samePixels(before, work()));
    EXPECT_TRUE(w->shot->isVisible());
}

TEST_F(ResizeDialog, GrowingOneSideAndShrinkingTheOtherRunsTheReduction)
{
    loadPicture(100, 100);
    open();
    setSize(150, 50);
    QTest::mouseClick(r->goresize, Qt::LeftButton);
    const zoom::Transparency t{false, zoom::colourValue(r->transcolor->color()), 50};
    Bitmap24 reduced(150, 50);
    zoom::zoomdown(work(), reduced, t);
    Bitmap24 enlarged(150, 50);
    zoom::zoomup(work(), enlarged, t);
    ASSERT_FALSE(test::samePixels(reduced, enlarged));
    EXPECT_TRUE(test::samePixels(reduced, shown()));
}

TEST_F(ResizeDialog, PreviewAtThePicturesOwnSizeAsksForAChangeAndShowsThePicture)
{
    loadPicture(64, 48);
    open();
    enter(r->newsizex, QStringLiteral("32"));
    QTest::mouseClick(r->goresize, Qt::LeftButton);
    ASSERT_EQ(shown().width(), 32);
    enter(r->newsizex, QStringLiteral("64"));
    QTest::mouseClick(r->goresize, Qt::LeftButton);
    EXPECT_EQ(messages.texts, QStringList{QStringLiteral("サイズを変えてください")});
    // What "決定" would hand over is the picture the settings describe.
    EXPECT_TRUE(test::samePixels(work(), shown()));
}

TEST_F(ResizeDialog, ARateThatIsNoIntegerStopsThePreviewBeforeAnythingIsShown)
{
    loadPicture(64, 48);
    open();
    enter(r->newsizex, QStringLiteral("32"));
    enter(r->fill, QStringLiteral("5x"));
    QSignalSpy displayed(w->mainimage, &ImageControl::pictureChanged);
    QSignalSpy progressed(r->progress, &QProgressBar::valueChanged);
    QTest::mouseClick(r->goresize, Qt::LeftButton);
    EXPECT_EQ(errors.texts, QStringList{conversionError(QStringLiteral("5x"))});
    EXPECT_EQ(displayed.count(), 0);
    EXPECT_EQ(progressed.count(), 0);

    // "決定" stops the same way and the dialog stays open.
    QTest::mouseClick(r->okey, Qt::LeftButton);
    EXPECT_EQ(errors.texts.size(), 2);
    EXPECT_TRUE(r->isVisible());
    EXPECT_EQ(displayed.count(), 0);
}

TEST_F(ResizeDialog, SizesBelowOneAreRefusedAndNothingIsComputed)
{
    loadPicture(64, 48);
    open();
    setSize(0, 48);
    QSignalSpy displayed(w->mainimage, &ImageControl::pictureChanged);
    QTest::mouseClick(r->goresize, Qt::LeftButton);
    QTest::mouseClick(r->okey, Qt::LeftButton);
    const QString refusal = errorText(QString::fromUtf8(zoom::messages::sizeBelowOne));
    EXPECT_EQ(errors.texts, (QStringList{refusal, refusal}));
    EXPECT_EQ(displayed.count(), 0);
    EXPECT_TRUE(r->isVisible());
    EXPECT_EQ(w->picwidth, 64);
}

TEST_F(ResizeDialog, BeforeAnyPictureItOpensAndRefusesToCompute)
{
    open();
    EXPECT_EQ(r->newsizex->text(), QStringLiteral("0"));
    EXPECT_DOUBLE_EQ(r->aspect, 1.0);
    QTest::mouseClick(r->goresize, Qt::LeftButton);
    QTest::mouseClick(r->okey, Qt::LeftButton);
    const QString refusal = errorText(QString::fromUtf8(zoom::messages::noPicture));
    EXPECT_EQ(errors.texts, (QStringList{refusal, refusal}));
    EXPECT_TRUE(r->isVisible());
    EXPECT_FALSE(w->mainimage->hasPicture());
    // Keeping the ratio does not divide by zero.
    enter(r->newsizex, QStringLiteral("10"));
    EXPECT_EQ(r->newsizey->text(), QStringLiteral("10"));
    QTest::mouseClick(r->cancel, Qt::LeftButton);
    EXPECT_FALSE(w->mainimage->hasPicture());
    EXPECT_TRUE(w->shot->isVisible());
}

// ---------------------------------------------------------------------------
// The angle

TEST_F(ResizeDialog, MinusThirtyAndFiftyHundredthsTurnByMinus29Point5Degrees)
{
    loadPicture(60, 40);
    open();
    enter(r->degree, QStringLiteral("-30"));
    enter(r->degreesub, QStringLiteral("50"));
    const double angle = -29.5 * std::numbers::pi / 180;
    const zoom::Size size = zoom::rotatedsize(60, 40, angle);
    EXPECT_FALSE(r->newsizex->isEnabled());
    EXPECT_EQ(r->newsizex->text(), QString::number(size.width));
    EXPECT_EQ(r->newsizey->text(), QString::number(size.height));
    EXPECT_TRUE(r->fillcolor->isVisible());
    EXPECT_TRUE(r->colorset->isEnabled());
    EXPECT_TRUE(r->edge->isEnabled());

    QTest::mouseClick(r->goresize, Qt::LeftButton);
    Bitmap24 expected(size.width, size.height);
    zoom::rotate(work(), expected, angle, 0, true, {false, zoom::colourValue(r->transcolor->color()), 50});
    EXPECT_TRUE(test::samePixels(expected, shown()));
    // Typing "-" first raised the error once, as the text changed.
    EXPECT_EQ(errors.texts, QStringList{conversionError(QStringLiteral("-"))});
}

TEST_F(ResizeDialog, EmptyingTheAngleRaisesTheConversionErrorAtOnce)
{
    loadPicture(60, 40);
    open();
    QTest::mouseClick(r->degree, Qt::LeftButton);
    QTest::keyClick(r->degree, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(r->degree, Qt::Key_Backspace);
    EXPECT_EQ(r->degree->text(), QString());
    EXPECT_EQ(errors.texts, QStringList{conversionError(QString())});
    // The size fields were disabled before the conversion and keep their texts.
    EXPECT_FALSE(r->newsizex->isEnabled());
    EXPECT_EQ(r->newsizex->text(), QStringLiteral("60"));
    // The field goes on working: a number turns the picture again.
    QTest::keyClicks(r->degree, QStringLiteral("90"));
    EXPECT_EQ(r->newsizex->text(), QStringLiteral("41"));
    EXPECT_EQ(r->newsizey->text(), QStringLiteral("60"));
}

TEST_F(ResizeDialog, TheAngleSpinStepsByRightAngles)
{
    loadPicture(200, 100);
    open();
    const auto sizeText = [](int degrees) {
        const zoom::Size size = zoom::rotatedsize(200, 100, zoom::rotationangle(degrees, 0));
        return QStringLiteral("%1:%2x%3").arg(degrees).arg(size.width).arg(size.height);
    };
    QStringList seen;
    for (int i = 0; i < 3; ++i) {
        clickSpin(r->UpDowndeg, SpinButtons::Arrow::Next);
        seen << r->degree->text() + u':' + r->newsizex->text() + u'x' + r->newsizey->text();
    }
    EXPECT_EQ(seen, (QStringList{sizeText(90), sizeText(180), sizeText(180)}));
    EXPECT_EQ(seen.first(), QStringLiteral("90:101x200"));
    for (int i = 0; i < 4; ++i)
        clickSpin(r->UpDowndeg, SpinButtons::Arrow::Previous);
    EXPECT_EQ(r->degree->text(), QStringLiteral("-180"));
    clickSpin(r->UpDowndeg, SpinButtons::Arrow::Next);
    clickSpin(r->UpDowndeg, SpinButtons::Arrow::Next);
    EXPECT_EQ(r->degree->text(), QStringLiteral("0"));
    EXPECT_TRUE(r->newsizex->isEnabled());
    EXPECT_EQ(r->newsizex->text(), QStringLiteral("200"));
    EXPECT_TRUE(errors.texts.isEmpty());
}

TEST_F(ResizeDialog, ReopeningResetsTheDegreesButKeepsTheHundredths)
{
    loadPicture(200, 100);
    open();
    enter(r->degree, QStringLiteral("45"));
    enter(r->degreesub, QStringLiteral("50"));
    QTest::mouseClick(r->cancel, Qt::LeftButton);
    open();
    EXPECT_EQ(r->degree->text(), QStringLiteral("0"));
    EXPECT_EQ(r->degreesub->text(), QStringLiteral("50"));
    EXPECT_FALSE(r->newsizex->isEnabled());
    EXPECT_FALSE(r->newsizey->isEnabled());
    EXPECT_EQ(r->newsizex->text(), QStringLiteral("201"));
    EXPECT_EQ(r->newsizey->text(), QStringLiteral("102"));
    EXPECT_DOUBLE_EQ(r->angle, 0.5 * std::numbers::pi / 180);
}

TEST_F(ResizeDialog, WithARotationTheRatioStillRewritesTheHeightAndThePreviewUsesIt)
{
    loadPicture(200, 100);
    open();
    untickRatio();
    enter(r->degree, QStringLiteral("30"));
    ASSERT_EQ(r->newsizex->text(), QStringLiteral("224"));
    QTest::mouseClick(r->ratiokeep, Qt::LeftButton);
    EXPECT_EQ(r->newsizey->text(), QStringLiteral("112"));
    QTest::mouseClick(r->goresize, Qt::LeftButton);
    EXPECT_EQ(shown().width(), 224);
    EXPECT_EQ(shown().height(), 112);
}

// ---------------------------------------------------------------------------
// Colours

TEST_F(ResizeDialog, TheGapColourComesFromTheChooserWhichOpensOnItsLastColour)
{
    loadPicture(60, 40);
    open();
    enter(r->degree, QStringLiteral("45"));
    {
        ColourScript chooser(QColor(0x12, 0x34, 0x56));
        QTest::mouseClick(r->colorset, Qt::LeftButton);
        EXPECT_EQ(chooser.openedOn, QList<QColor>{QColor(Qt::black)});
    }
    EXPECT_EQ(zoom::colourValue(r->fillcolor->color()), 0x563412u);
    {
        ColourScript chooser(std::nullopt);
        QTest::mouseClick(r->colorset, Qt::LeftButton);
        EXPECT_EQ(chooser.openedOn, QList<QColor>{QColor(0x12, 0x34, 0x56)});
    }
    EXPECT_EQ(zoom::colourValue(r->fillcolor->color()), 0x563412u);

    QTest::mouseClick(r->goresize, Qt::LeftButton);
    EXPECT_EQ(test::rgbAt(shown(), 0, 0), 0x123456u);
}

TEST_F(ResizeDialog, TheTransparentColourBoxGovernsTheGapColourAndFrameControls)
{
    loadPicture(60, 40);
    open();
    enter(r->degreesub, QStringLiteral("50"));
    ASSERT_TRUE(r->colorset->isEnabled());
    QTest::mouseClick(r->edge, Qt::LeftButton);
    ASSERT_FALSE(r->edge->isChecked());

    QTest::mouseClick(r->intrans, Qt::LeftButton);
    EXPECT_TRUE(r->transcolor->isVisible());
    EXPECT_TRUE(r->transpick->isEnabled());
    EXPECT_TRUE(r->edge->isChecked());
    EXPECT_FALSE(r->edge->isEnabled());
    EXPECT_FALSE(r->colorset->isEnabled());
    EXPECT_EQ(r->fillcolor->color(), r->transcolor->color());

    // Unticked with a rotation of 0.5 degree set: both come back.
    QTest::mouseClick(r->intrans, Qt::LeftButton);
    EXPECT_FALSE(r->transcolor->isVisible());
    EXPECT_FALSE(r->transpick->isEnabled());
    EXPECT_TRUE(r->colorset->isEnabled());
    EXPECT_TRUE(r->edge->isEnabled());
    EXPECT_TRUE(r->edge->isChecked());

    // Without a rotation they stay disabled.
    enter(r->degreesub, QStringLiteral("0"));
    QTest::mouseClick(r->intrans, Qt::LeftButton);
    QTest::mouseClick(r->intrans, Qt::LeftButton);
    EXPECT_FALSE(r->colorset->isEnabled());
    EXPECT_FALSE(r->edge->isEnabled());
}

TEST_F(ResizeDialog, UntickingTheTransparentColourReleasesAPendingPick)
{
    loadPicture(60, 40);
    typeArea({10, 20, 10, 20});
    open();
    QTest::mouseClick(r->intrans, Qt::LeftButton);
    QTest::mouseClick(r->transpick, Qt::LeftButton);
    ASSERT_TRUE(r->transpickDown());
    QTest::mouseClick(r->intrans, Qt::LeftButton);
    EXPECT_FALSE(r->transpickDown());

    // Likewise closing the dialog: a Ctrl-drag on the picture draws again.
    QTest::mouseClick(r->intrans, Qt::LeftButton);
    QTest::mouseClick(r->transpick, Qt::LeftButton);
    QTest::mouseClick(r->cancel, Qt::LeftButton);
    EXPECT_FALSE(r->transpickDown());
    dragOnPicture({5, 5}, {14, 9}, Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(area(), (test::Area{5, 15, 5, 10}));
}

// ---------------------------------------------------------------------------
// The colour pick

TEST_F(ResizeDialog, APickTakesThePixelOfThePreviewAsShown)
{
    loadPicture(60, 40);
    open();
    enter(r->degree, QStringLiteral("45"));
    {
        ColourScript chooser(QColor(0x12, 0x34, 0x56));
        QTest::mouseClick(r->colorset, Qt::LeftButton);
    }
    QTest::mouseClick(r->goresize, Qt::LeftButton);
    QTest::mouseClick(r->intrans, Qt::LeftButton);
    QTest::mouseClick(r->transpick, Qt::LeftButton);
    ASSERT_TRUE(r->transpick->isChecked());

    // The gap colour in the preview's corner lies nowhere in the picture.
    test::activate(*w);
    click(w->mainimage, {1, 1});
    EXPECT_EQ(zoom::colourValue(r->transcolor->color()), 0x563412u);
    EXPECT_FALSE(r->transpick->isChecked());
    EXPECT_TRUE(r->isVisible());
    EXPECT_TRUE(QTest::qWaitForWindowActive(r));
    // The gap colour follows the transparent colour while the box is ticked.
    EXPECT_EQ(r->fillcolor->color(), r->transcolor->color());
    // The press picked; it did not start a cut area.
    EXPECT_FALSE(w->drawing);

    // A pick from inside the turned picture takes the preview's pixel there.
    QTest::mouseClick(r->transpick, Qt::LeftButton);
    const QPoint centre(shown().width() / 2, shown().height() / 2);
    click(w->mainimage, centre);
    EXPECT_EQ(rgbOf(r->transcolor->color()), test::rgbAt(shown(), centre.x(), centre.y()));
    EXPECT_NE(rgbOf(r->transcolor->color()), 0x123456u);
}

TEST_F(ResizeDialog, APickFromAPictureWithTransparencyTakesWhatTheScreenShows)
{
    // Left half fully transparent (its stored colour never shows), right half
    // half-transparent red.
    QImage picture(20, 10, QImage::Format_ARGB32);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x)
            picture.setPixel(x, y, x < 10 ? qRgba(10, 20, 30, 0) : qRgba(255, 0, 0, 128));
    const QString file = QString::fromStdString(dir.file("keyed.png"));
    ASSERT_TRUE(picture.save(file, "png"));
    test::DialogScript script([&](const DialogRequest&) { return DialogAnswer::choose(file); });
    QTest::mouseClick(w->Loadpic, Qt::LeftButton);
    ASSERT_EQ(w->picwidth, 20);
    open();
    QTest::mouseClick(r->intrans, Qt::LeftButton);

    QWidget* viewport = w->mainimage->parentWidget();
    for (const QPoint at : {QPoint(2, 2), QPoint(15, 5)}) {
        QTest::mouseClick(r->transpick, Qt::LeftButton);
        click(w->mainimage, at);
        const QImage screen = viewport->grab(QRect(w->mainimage->pos() + at, QSize(1, 1))).toImage();
        EXPECT_EQ(rgbOf(r->transcolor->color()), screen.pixel(0, 0) & 0xFFFFFFu) << at.x();
    }
    EXPECT_NE(rgbOf(r->transcolor->color()), 0xFF0000u);
}
