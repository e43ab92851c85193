#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "app/startup.h"
#include "imaging/codecs.h"
#include "imaging/fileio.h"
#include "imaging/flip.h"
#include "metafile/metafile.h"
#include "load/loadcut.h"
#include "tests/support/testsupport.h"
#include "tests/toolkit/toolkittest.h"
#include "toolkit/clipboard.h"
#include "toolkit/dialogs.h"
#include "toolkit/editfield.h"
#include "toolkit/imagecontrol.h"
#include "reader/picturereader.h"
#include "toolkit/trackbar.h"
#include "version/zelvano.h"

using namespace clipora;
using clipora::test::makeBitmap;
using clipora::test::randomBitmap;
using clipora::test::rgbAt;
using clipora::test::samePixels;

// ---------------------------------------------------------------------------
// The window's paste, copy and flips, driven through its menu and keys.

namespace {

struct Area {
    int xl, xr, yu, yb;
    friend bool operator==(const Area&, const Area&) = default;
    friend std::ostream& operator<<(std::ostream& os, const Area& a)
    {
        return os << "x " << a.xl << ".." << a.xr << ", y " << a.yu << ".." << a.yb;
    }
};

ByteView viewOf(const QByteArray& bytes)
{
    return {reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())};
}

class ClipboardAndFlips : public ::testing::Test {
protected:
    void SetUp() override
    {
        windows = createWindows();
        w = windows->loadcut.get();
        test::showActive(*w);
    }

    QString writeFile(const std::string& name, const Bytes& bytes)
    {
        test::writeBytes(dir.file(name), bytes);
        return QString::fromStdString(dir.file(name));
    }

    void loadByDialog(const QString& path)
    {
        test::DialogScript script([&](const DialogRequest&) { return DialogAnswer::choose(path); });
        QTest::mouseClick(w->Loadpic, Qt::LeftButton);
        ASSERT_TRUE(errors.texts.isEmpty()) << errors.texts.join(' ').toStdString();
    }

    // Picks an item of the edit menu as a user does: the menu opened, the
    // item reached with the arrow keys and taken with Return. Keys, not a
    // click on the item: on Qt 6.8's offscreen platform a press on an open
    // menu closes it without choosing (on a real display both work).
    void choose(QAction* item)
    {
        QMenu* menu = w->Edit1;
        menu->popup(w->mapToGlobal(QPoint(10, 10)));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
        for (int i = 0; menu->activeAction() != item && i < menu->actions().size(); ++i)
            QTest::keyClick(menu, Qt::Key_Down);
        ASSERT_EQ(menu->activeAction(), item);
        QTest::keyClick(menu, Qt::Key_Return);
        QTest::qWait(0);
        EXPECT_FALSE(menu->isVisible());
    }

    void press(int key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier)
    {
        test::showActive(*w);
        QTest::keyClick(w, static_cast<Qt::Key>(key), modifiers);
    }

    void type(EditField* field, const QString& text)
    {
        QTest::mouseClick(field, Qt::LeftButton);
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
    }

    Area area() const { return {w->xl(), w->xr(), w->yu(), w->yb()}; }

    // The picture the clipboard holds as image/png and as image/bmp, each
    // read by the file readers other programs would use; both must agree.
    Bitmap24 clipboardPicture()
    {
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        if (!data)
            return {};
        const Picture png = decodePng(viewOf(data->data(QStringLiteral("image/png"))));
        const Picture bmp = readBmp(viewOf(data->data(QStringLiteral("image/bmp"))));
        EXPECT_TRUE(test::samePixels(png.pixels, bmp.pixels)) << "PNG and BMP differ";
        return png.pixels;
    }

    test::TempDir dir;
    test::ErrorBoxRecorder errors;
    std::unique_ptr<ProgramWindows> windows;
    Tloadcut* w = nullptr;
};

}  // namespace

TEST_F(ClipboardAndFlips, FlippingTwiceRestoresEveryByteOnScreenAndInTheWorkingBitmap)
{
    const Bitmap24 original = randomBitmap(37, 23, 9);  // 111-byte rows: padding in play
    loadByDialog(writeFile("noise.bmp", encodeBmp(original)));
    type(w->edgexl, QStringLiteral("5"));
    type(w->edgeyb, QStringLiteral("20"));
    const Area before = area();

    for (QAction* flip : {w->Hflip, w->Vflip}) {
        choose(flip);
        const Bitmap24 once = flip == w->Hflip ? mirroredLeftRight(original) : mirroredUpsideDown(original);
        EXPECT_TRUE(test::samePixels(once, w->workbmp)) << flip->text().toStdString();
        EXPECT_TRUE(test::samePixels(once, w->mainimage->picture().pixels)) << "on screen";
        EXPECT_EQ(area(), before) << "the cut area stays";
        EXPECT_EQ(w->picwidth, 37);
        EXPECT_EQ(w->picheight, 23);

        choose(flip);
        EXPECT_TRUE(test::samePixels(original, w->workbmp)) << flip->text().toStdString();
        EXPECT_TRUE(test::samePixels(original, w->mainimage->picture().pixels)) << "on screen";
    }
    EXPECT_EQ(w->edgexl->text(), QStringLiteral("5"));
    EXPECT_EQ(w->edgeyb->text(), QStringLiteral("20"));
    EXPECT_TRUE(errors.texts.isEmpty());
}

TEST_F(ClipboardAndFlips, FlipsAcrossASinglePixelChangeNothing)
{
    struct Row {
        const char* name;
        int width, height;
        bool leftRight;
    };
    for (const Row& row : {Row{"OnePixelLeftRight", 1, 1, true}, Row{"OnePixelUpsideDown", 1, 1, false},
                           Row{"OneColumnLeftRight", 1, 17, true}, Row{"OneRowUpsideDown", 17, 1, false}}) {
        const Bitmap24 original = randomBitmap(row.width, row.height, 4);
        loadByDialog(writeFile(std::string(row.name) + ".bmp", encodeBmp(original)));
        choose(row.leftRight ? w->Hflip : w->Vflip);
        EXPECT_TRUE(test::samePixels(original, w->workbmp)) << row.name;
        EXPECT_TRUE(test::samePixels(original, w->mainimage->picture().pixels)) << row.name;
    }
}

TEST_F(ClipboardAndFlips, WithNoPictureTheFlipsShowNothingNew)
{
    const QSize size = w->mainimage->size();
    choose(w->Hflip);
    choose(w->Vflip);
    EXPECT_TRUE(errors.texts.isEmpty());
    EXPECT_EQ(w->mainimage->size(), size);
    EXPECT_TRUE(w->workbmp.empty());
    EXPECT_EQ(w->picwidth, 0);
}

TEST_F(ClipboardAndFlips, AFlippedJpegIsABitmapUntilReloadBringsTheJpegBack)
{
    const QString path = writeFile("photo.jpg", encodeJpeg(test::photoLike(64, 48, 2), 90));
    loadByDialog(path);
    ASSERT_EQ(w->mainimage->picture().kind, PictureKind::Jpeg);
    const Bitmap24 decoded = w->workbmp;

    choose(w->Vflip);
    EXPECT_EQ(w->mainimage->picture().kind, PictureKind::Bitmap);
    EXPECT_TRUE(test::samePixels(mirroredUpsideDown(decoded), w->workbmp));

    w->reloadmenu->trigger();
    EXPECT_EQ(w->mainimage->picture().kind, PictureKind::Jpeg);
    EXPECT_TRUE(test::samePixels(decoded, w->workbmp));
    EXPECT_EQ(w->lastfile, path);
}

TEST_F(ClipboardAndFlips, CopyPutsExactlyTheAreaOnTheClipboardAndChangesNothing)
{
    const Bitmap24 original = randomBitmap(150, 90, 3);
    loadByDialog(writeFile("noise.bmp", encodeBmp(original)));
    type(w->edgexl, QStringLiteral("10"));
    type(w->edgexr, QStringLiteral("110"));
    type(w->edgeyu, QStringLiteral("20"));
    type(w->edgeyb, QStringLiteral("70"));
    ASSERT_EQ(area(), (Area{10, 110, 20, 70}));

    press(Qt::Key_C);
    ASSERT_TRUE(errors.texts.isEmpty()) << errors.texts.join(' ').toStdString();
    const Bitmap24 copied = clipboardPicture();
    ASSERT_EQ(copied.width(), 100);
    ASSERT_EQ(copied.height(), 50);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 100; ++x)
            ASSERT_EQ(test::rgbAt(copied, x, y), test::rgbAt(original, 10 + x, 20 + y)) << x << ", " << y;

    EXPECT_EQ(area(), (Area{10, 110, 20, 70}));
    EXPECT_TRUE(test::samePixels(original, w->workbmp));
    EXPECT_EQ(w->sizex->text(), QStringLiteral("100"));
}

TEST_F(ClipboardAndFlips, CopyReadsTheDisplayedPictureWithTransparencyAsWhite)
{
    // A PNG with a transparent left half: the copy shows white there.
    QImage image(4, 2, QImage::Format_ARGB32);
    image.fill(qRgba(10, 20, 30, 255));
    image.setPixel(0, 0, qRgba(0, 0, 0, 0));
    image.setPixel(1, 1, qRgba(0, 0, 0, 0));
    const QString path = QString::fromStdString(dir.file("holes.png"));
    ASSERT_TRUE(image.save(path, "PNG"));
    loadByDialog(path);
    press(Qt::Key_C);
    const Bitmap24 copied = clipboardPicture();
    ASSERT_EQ(copied.width(), 4);
    EXPECT_EQ(test::rgbAt(copied, 0, 0), 0xFFFFFFu);
    EXPECT_EQ(test::rgbAt(copied, 1, 1), 0xFFFFFFu);
    EXPECT_EQ(test::rgbAt(copied, 1, 0), 0x0A141Eu);
}

TEST_F(ClipboardAndFlips, CopyOfAnEmptyAreaIsRefusedAndTheClipboardStays)
{
    loadByDialog(writeFile("noise.bmp", encodeBmp(randomBitmap(50, 40, 3))));
    QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
    for (const Area empty : {Area{20, 20, 0, 40}, Area{0, 50, 7, 7}}) {
        // As a Ctrl-click without a drag leaves it.
        w->areax->setSelection(empty.xl, empty.xr);
        w->areay->setSelection(empty.yu, empty.yb);
        press(Qt::Key_C);
        ASSERT_EQ(errors.texts.size(), 1) << empty;
        EXPECT_EQ(errors.texts.takeFirst(), errorBoxText(QString::fromUtf8(messages::emptyCopyArea)));
        EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("kept"));
        EXPECT_EQ(area(), empty);
    }
}

TEST_F(ClipboardAndFlips, CopyBeforeAnyPictureIsRefusedAndTheClipboardStays)
{
    QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
    press(Qt::Key_C);
    ASSERT_EQ(errors.texts.size(), 1);
    EXPECT_EQ(errors.texts[0], errorBoxText(QString::fromUtf8(messages::nothingToCopy)));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("kept"));
}

TEST_F(ClipboardAndFlips, CopyThenPasteMakesTheAreaThePicture)
{
    const Bitmap24 original = randomBitmap(80, 60, 5);
    loadByDialog(writeFile("noise.bmp", encodeBmp(original)));
    type(w->edgexl, QStringLiteral("30"));
    type(w->edgeyu, QStringLiteral("15"));
    press(Qt::Key_C);
    press(Qt::Key_V);
    ASSERT_TRUE(errors.texts.isEmpty()) << errors.texts.join(' ').toStdString();

    Bitmap24 expected = original;
    expected.copyRect(30, 15, 50, 45, 0, 0);
    expected.resize(50, 45);
    EXPECT_EQ(w->picwidth, 50);
    EXPECT_EQ(w->picheight, 45);
    EXPECT_TRUE(test::samePixels(expected, w->workbmp));
    EXPECT_EQ(w->originx->text(), QStringLiteral("X : 50"));
    EXPECT_EQ(w->originy->text(), QStringLiteral("Y : 45"));
    EXPECT_EQ(area(), (Area{0, 50, 0, 45})) << "reset to the whole pasted picture";
}

TEST_F(ClipboardAndFlips, PasteLeavesLastfileAndThePresetsSoReloadBringsTheFileBack)
{
    const Bitmap24 file = randomBitmap(40, 30, 6);
    const QString path = writeFile("scene.png", encodePng(file));
    loadByDialog(path);
    const int filter = w->SaveDialog1->filterIndex();
    const QString saveName = w->SaveDialog1->fileName();

    const Bitmap24 other = randomBitmap(12, 9, 7);
    copyToClipboard(other);
    choose(w->Pastemenu);
    ASSERT_TRUE(errors.texts.isEmpty()) << errors.texts.join(' ').toStdString();
    EXPECT_TRUE(test::samePixels(other, w->workbmp));
    EXPECT_EQ(w->lastfile, path);
    EXPECT_EQ(w->SaveDialog1->filterIndex(), filter);
    EXPECT_EQ(w->SaveDialog1->fileName(), saveName);
    EXPECT_EQ(w->OpenPictureDialog1->fileName(), path);

    QTest::mouseClick(w->Loadpic, Qt::LeftButton, Qt::ControlModifier);
    EXPECT_TRUE(test::samePixels(file, w->workbmp));
    EXPECT_EQ(w->picwidth, 40);
}

TEST_F(ClipboardAndFlips, PasteOfTextOnlyShowsTheMessageAndChangesNothing)
{
    const Bitmap24 original = randomBitmap(30, 20, 8);
    loadByDialog(writeFile("noise.bmp", encodeBmp(original)));
    type(w->edgexl, QStringLiteral("4"));
    QGuiApplication::clipboard()->setText(QStringLiteral("only words"));

    press(Qt::Key_V);
    ASSERT_EQ(errors.texts.size(), 1);
    EXPECT_EQ(errors.texts[0], QStringLiteral("無効なクリップボード フォーマットです."));
    EXPECT_TRUE(test::samePixels(original, w->workbmp));
    EXPECT_TRUE(test::samePixels(original, w->mainimage->picture().pixels));
    EXPECT_EQ(w->picwidth, 30);
    EXPECT_EQ(area(), (Area{4, 30, 0, 20}));
}

TEST_F(ClipboardAndFlips, F1ShowsTheAboutWindowAgainWithItsTextAndPlace)
{
    press(Qt::Key_F1, Qt::NoModifier);
    Tzelvano* about = windows->zelvano.get();
    ASSERT_TRUE(about->isVisible());
    about->move(about->pos() + QPoint(30, 20));
    const QPoint place = about->pos();
    about->close();
    ASSERT_FALSE(about->isVisible());

    press(Qt::Key_F1, Qt::NoModifier);
    EXPECT_TRUE(about->isVisible());
    EXPECT_EQ(about->pos(), place);
    EXPECT_EQ(about->StaticText1->text(), Tzelvano::helpText());
    EXPECT_EQ(about->Label1->text(), QStringLiteral("Version 3.3"));
}

// The program pastes a metafile from the clipboard with its own player.
TEST(ClipboardMetafile, APastedWmfIsDrawnByTheMetafilePlayer)
{
    const clipora::Bytes wmf = clipora::readFileBytes(std::string(CLIPORA_TEST_DATA) + "/metafiles/office-drawing.wmf");
    QMimeData data;
    data.setData(QStringLiteral("image/x-wmf"), QByteArray(reinterpret_cast<const char*>(wmf.data()), qsizetype(wmf.size())));
    const clipora::Picture fromClipboard = clipora::pictureFromMimeData(&data);
    const clipora::Picture fromFile = clipora::readWmf(wmf);
    EXPECT_EQ(fromClipboard.kind, clipora::PictureKind::Metafile);
    EXPECT_TRUE(clipora::test::samePixels(fromFile.pixels, fromClipboard.pixels));
}
