// Cut and save, and crop in place, driven through the main window: which
// road each sender takes, what each format writes, the forced extensions,
// the quality rule, and what a cancel or a failure leaves behind.

#include <QAction>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

#include <filesystem>
#include <set>

#include "app/startup.h"
#include "bmpfilters/bmpfilters.h"
#include "imaging/codecs.h"
#include "imaging/fileio.h"
#include "load/loadcut.h"
#include "tests/support/testsupport.h"
#include "tests/toolkit/toolkittest.h"
#include "toolkit/editfield.h"
#include "toolkit/imagecontrol.h"
#include "reader/picturereader.h"
#include "toolkit/trackbar.h"

using namespace clipora;
namespace fs = std::filesystem;

namespace {

struct Area {
    int xl, xr, yu, yb;
    friend bool operator==(const Area&, const Area&) = default;
    friend std::ostream& operator<<(std::ostream& os, const Area& a)
    {
        return os << "x " << a.xl << ".." << a.xr << ", y " << a.yu << ".." << a.yb;
    }
};

// The area of `source` as the cut should give it: pixels outside are white.
Bitmap24 expectedCut(const Bitmap24& source, const Area& a)
{
    return test::makeBitmap(a.xr - a.xl, a.yb - a.yu, [&](int x, int y) -> std::uint32_t {
        const int sx = a.xl + x, sy = a.yu + y;
        if (sx < 0 || sy < 0 || sx >= source.width() || sy >= source.height())
            return 0xFFFFFF;
        return test::rgbAt(source, sx, sy);
    });
}

std::set<std::string> filesIn(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            names.insert(fs::relative(entry.path(), folder).string());
    return names;
}

Bytes fileBytes(const std::string& path)
{
    return readFileBytes(path);
}

// A write that always fails as a full disk does.
long diskFull(int, const void*, unsigned long)
{
    errno = ENOSPC;
    return -1;
}

class CutSave : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A dialog no test answers would wait for a person: fail instead.
        unexpectedDialogs = std::make_unique<test::DialogScript>([](const DialogRequest& request) {
            ADD_FAILURE() << "a dialog nobody expected: " << request.title.toStdString();
            return DialogAnswer::cancel();
        });
        windows = createWindows();
        w = windows->loadcut.get();
        test::showActive(*w);
        pictures = dir.path() / "pictures";
        out = dir.path() / "out";
        fs::create_directories(pictures);
        fs::create_directories(out);
    }

    // The 200 by 120 picture, loaded through the load button and its dialog.
    void loadPhoto()
    {
        const std::string path = (pictures / "photo.bmp").string();
        test::writeBytes(path, encodeBmp(photo));
        loadByDialog(QString::fromStdString(path));
        ASSERT_EQ(w->picwidth, 200);
    }

    void loadByDialog(const QString& path)
    {
        test::DialogScript script([&](const DialogRequest&) { return DialogAnswer::choose(path); });
        QTest::mouseClick(w->Loadpic, Qt::LeftButton);
    }

    void type(EditField* field, const QString& text)
    {
        QTest::mouseClick(field, Qt::LeftButton);
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
    }

    // Sets the cut area through the edge fields, as a user types it.
    void typeArea(const Area& a)
    {
        type(w->edgexl, QString::number(a.xl));
        type(w->edgexr, QString::number(a.xr));
        type(w->edgeyu, QString::number(a.yu));
        type(w->edgeyb, QString::number(a.yb));
        ASSERT_EQ(area(), a);
    }

    // Chooses a menu item: the menu's title clicked in the menu bar, then
    // the item reached with the arrow keys and taken with Return, with
    // `modifiers` held. Keys, not a click on the item: on Qt 6.8's offscreen
    // platform a press on an open menu closes it without choosing (on a real
    // display both work).
    void chooseFromMenu(QMenu* menu, QAction* item, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mouseClick(w->MainMenu, Qt::LeftButton, {}, w->MainMenu->actionGeometry(menu->menuAction()).center());
        ASSERT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }));
        for (int i = 0; menu->activeAction() != item && i < menu->actions().size(); ++i)
            QTest::keyClick(menu, Qt::Key_Down);
        ASSERT_EQ(menu->activeAction(), item);
        QTest::keyClick(menu, Qt::Key_Return, modifiers);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !menu->isVisible(); }));
    }

    // Clicks "カット＆保存" and answers the save dialog with `name` (in the
    // output folder) and the filter; overwrite questions are answered yes.
    void saveAs(const std::string& name, int filterIndex)
    {
        const QString path = QString::fromStdString((out / name).string());
        test::DialogScript script([&](const DialogRequest& request) {
            if (request.kind == DialogRequest::Kind::OverwriteQuestion)
                return DialogAnswer::yes();
            return DialogAnswer::choose(path, filterIndex);
        });
        QTest::mouseClick(w->savepic, Qt::LeftButton);
    }

    std::string outFile(const std::string& name) const { return (out / name).string(); }
    QString outPath(const std::string& name) const { return QString::fromStdString(outFile(name)); }
    Area area() const { return {w->xl(), w->xr(), w->yu(), w->yb()}; }
    QString errorsText() const { return errors.texts.join(u'|'); }

    const Bitmap24 photo = test::photoLike(200, 120, 11);
    const Area area1020{10, 110, 20, 70};  // 100 by 50 from pixel (10, 20)
    test::TempDir dir;
    fs::path pictures, out;
    test::ErrorBoxRecorder errors;
    std::unique_ptr<test::DialogScript> unexpectedDialogs;
    std::unique_ptr<ProgramWindows> windows;
    Tloadcut* w = nullptr;
};

}  // namespace

// ---------------------------------------------------------------------------
// Which road

TEST_F(CutSave, EachSenderTakesItsRoad)
{
    struct Row {
        const char* name;
        std::function<void()> send;
        bool saves;
    };
    const Row rows[] = {
        {"button clicked: save", [this] { QTest::mouseClick(w->savepic, Qt::LeftButton); }, true},
        {"button clicked with Ctrl: crop",
         [this] { QTest::mouseClick(w->savepic, Qt::LeftButton, Qt::ControlModifier); }, false},
        {"button pressed by Space: save",
         [this] {
             w->savepic->setFocus();
             QTest::keyClick(w->savepic, Qt::Key_Space);
         },
         true},
        {"Ctrl+S: crop", [this] { QTest::keyClick(w, Qt::Key_S, Qt::ControlModifier); }, false},
        {"Ctrl+S in the quality field: crop",
         [this] {
             QTest::mouseClick(w->jpgq, Qt::LeftButton);
             QTest::keyClick(w->jpgq, Qt::Key_S, Qt::ControlModifier);
         },
         false},
        {"menu cut-and-save: save",
         [this] { chooseFromMenu(w->File1, w->cutsavemenu); }, true},
        {"menu cut-and-save with Ctrl: crop",
         [this] { chooseFromMenu(w->File1, w->cutsavemenu, Qt::ControlModifier); }, false},
        {"menu cut-out: crop", [this] { chooseFromMenu(w->Edit1, w->cutmenu); },
         false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        loadPhoto();
        typeArea(area1020);
        int saveDialogs = 0;
        {
            test::DialogScript script([&](const DialogRequest& request) {
                if (request.kind == DialogRequest::Kind::Save)
                    ++saveDialogs;
                return DialogAnswer::cancel();
            });
            row.send();
        }
        EXPECT_EQ(errorsText(), QString());
        EXPECT_EQ(saveDialogs, row.saves ? 1 : 0);
        if (row.saves) {
            EXPECT_EQ(w->picwidth, 200);
            EXPECT_EQ(area(), area1020);
        } else {
            EXPECT_EQ(w->picwidth, 100);
            EXPECT_EQ(w->picheight, 50);
            EXPECT_TRUE(test::samePixels(expectedCut(photo, area1020), w->workbmp));
        }
        EXPECT_TRUE(filesIn(out).empty());
    }
}

// ---------------------------------------------------------------------------
// The save road

TEST_F(CutSave, EachFormatWritesTheAreaAsItsEncoderDoes)
{
    loadPhoto();
    typeArea(area1020);
    const Bitmap24 cut = expectedCut(photo, area1020);
    ASSERT_EQ(test::rgbAt(cut, 0, 0), test::rgbAt(photo, 10, 20));

    struct Row {
        const char* name;
        int filterIndex;
        std::string file;
        Bytes expected;
        bool lossless;
    };
    const Row rows[] = {
        {"BMP", 1, "cut.bmp", encodeBmp(cut), true},
        {"JPEG at the field's quality 100", 2, "cut.jpg", encodeJpeg(cut, 100), false},
        {"GIF over the static palette", 3, "cut.gif", encodeGif(ReduceToStaticPalette(cut)), false},
        {"PNG", 4, "cut.png", encodePng(cut), true},
        {"an unknown filter: JPEG", 7, "cut.jpg", encodeJpeg(cut, 100), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fs::remove_all(out);
        fs::create_directories(out);
        saveAs("cut", row.filterIndex);
        EXPECT_EQ(errorsText(), QString());
        ASSERT_EQ(filesIn(out), std::set<std::string>{row.file});
        EXPECT_TRUE(fileBytes(outFile(row.file)) == row.expected);
        const Picture written = readPictureFile(outFile(row.file));
        EXPECT_EQ(written.width(), 100);
        EXPECT_EQ(written.height(), 50);
        if (row.lossless) {
            EXPECT_TRUE(test::samePixels(cut, written.pixels));
        }

        // The window is as before.
        EXPECT_EQ(area(), area1020);
        EXPECT_TRUE(test::samePixels(photo, w->workbmp));
        EXPECT_EQ(w->mainimage->picture().kind, PictureKind::Bitmap);
        EXPECT_FALSE(w->savebmp);
    }
}

TEST_F(CutSave, TheWholePictureIsSavedAsShownWithTransparentPixelsWhite)
{
    // Loading sets the area to the whole picture.
    loadPhoto();
    saveAs("whole", 4);
    EXPECT_EQ(errorsText(), QString());
    EXPECT_TRUE(fileBytes(outFile("whole.png")) == encodePng(photo));

    QImage icon(6, 4, QImage::Format_ARGB32);
    icon.fill(qRgba(0, 0, 0, 0));
    icon.setPixel(2, 1, qRgba(200, 10, 20, 255));
    const QString path = QString::fromStdString((pictures / "dot.png").string());
    ASSERT_TRUE(icon.save(path, "PNG"));
    loadByDialog(path);
    ASSERT_EQ(area(), (Area{0, 6, 0, 4}));
    saveAs("dot", 1);
    EXPECT_EQ(errorsText(), QString());
    const Bitmap24 expected =
        test::makeBitmap(6, 4, [](int x, int y) -> std::uint32_t { return x == 2 && y == 1 ? 0xC80A14 : 0xFFFFFF; });
    EXPECT_TRUE(fileBytes(outFile("dot.bmp")) == encodeBmp(expected));
}

TEST_F(CutSave, TheFormatsExtensionIsForcedAndTheOpenDialogKeepsTheNameAsGiven)
{
    loadPhoto();
    const QString lastfile = w->lastfile;
    struct Row {
        std::string typed;
        int filterIndex;
        std::string written;
    };
    const Row rows[] = {
        {"photo", 2, "photo.jpg"},
        {"photo.png", 2, "photo.jpg"},
        {"photo.JPG", 2, "photo.jpg"},
        {"a.b/photo", 2, "a.b/photo.jpg"},
        {"photo.jpg", 4, "photo.png"},
        {"photo.tar.gz", 1, "photo.tar.bmp"},
        {"photo.", 3, "photo.gif"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.typed);
        fs::remove_all(out);
        fs::create_directories(out / "a.b");
        saveAs(row.typed, row.filterIndex);
        EXPECT_EQ(errorsText(), QString());
        EXPECT_EQ(filesIn(out), std::set<std::string>{row.written});
        EXPECT_EQ(w->OpenPictureDialog1->fileName(), outPath(row.typed));
        // The save dialog keeps the user's choice for its next opening.
        EXPECT_EQ(w->SaveDialog1->fileName(), outPath(row.typed));
        EXPECT_EQ(w->SaveDialog1->filterIndex(), row.filterIndex);
        EXPECT_EQ(w->lastfile, lastfile);
    }
}

TEST_F(CutSave, ACancelledDialogChangesNothing)
{
    loadPhoto();
    typeArea(area1020);
    const QString openName = w->OpenPictureDialog1->fileName();
    const QString saveName = w->SaveDialog1->fileName();
    const int saveFilter = w->SaveDialog1->filterIndex();
    {
        test::DialogScript script([](const DialogRequest&) { return DialogAnswer::cancel(); });
        QTest::mouseClick(w->savepic, Qt::LeftButton);
    }
    EXPECT_EQ(errorsText(), QString());
    EXPECT_TRUE(filesIn(out).empty());
    EXPECT_EQ(w->OpenPictureDialog1->fileName(), openName);
    EXPECT_EQ(w->SaveDialog1->fileName(), saveName);
    EXPECT_EQ(w->SaveDialog1->filterIndex(), saveFilter);
    EXPECT_EQ(area(), area1020);
    EXPECT_TRUE(test::samePixels(photo, w->workbmp));
    EXPECT_FALSE(w->savebmp);
}

TEST_F(CutSave, JpegQualityIsTheFieldsNumberLimitedTo1To100)
{
    loadPhoto();
    typeArea(area1020);
    const Bitmap24 cut = expectedCut(photo, area1020);
    struct Row {
        const char* text;
        int quality;
    };
    const Row rows[] = {{"100", 100}, {"55", 55}, {"1", 1}, {"300", 100}, {"256", 100},
                        {"0", 1},     {"-5", 1},  {"-1", 1}, {" 42", 42}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        w->jpgq->setText(QString::fromLatin1(row.text));
        saveAs("q", 2);
        EXPECT_EQ(errorsText(), QString());
        EXPECT_TRUE(fileBytes(outFile("q.jpg")) == encodeJpeg(cut, row.quality));
    }

    // The field is read for JPEG only.
    w->jpgq->setText(QStringLiteral("abc"));
    saveAs("q", 4);
    EXPECT_EQ(errorsText(), QString());
    EXPECT_TRUE(fileBytes(outFile("q.png")) == encodePng(cut));
}

TEST_F(CutSave, BeforeAnyPictureTheAreaIsA300By300WhiteSquare)
{
    const Bitmap24 white(300, 300);
    saveAs("blank", 1);
    EXPECT_EQ(errorsText(), QString());
    EXPECT_TRUE(fileBytes(outFile("blank.bmp")) == encodeBmp(white));

    QTest::mouseClick(w->savepic, Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(errorsText(), QString());
    EXPECT_EQ(w->picwidth, 300);
    EXPECT_EQ(w->picheight, 300);
    EXPECT_TRUE(test::samePixels(white, w->workbmp));
    EXPECT_EQ(w->originx->text(), QStringLiteral("X : 300"));
    EXPECT_EQ(area(), (Area{0, 300, 0, 300}));
}

TEST_F(CutSave, AFailedSaveChangesNothingOnScreenOrOnDisk)
{
    loadPhoto();
    typeArea(area1020);
    test::writeBytes(outFile("kept.jpg"), {'o', 'l', 'd'});
    const QString openName = w->OpenPictureDialog1->fileName();

    struct Row {
        const char* name;
        std::string typed;
        int filterIndex;
        QString quality;
        bool fullDisk;
        QString message;
    };
    const Row rows[] = {
        {"folder missing", "missing/cut", 4, "100", false,
         QString::fromStdString("ファイル " + outFile("missing/cut.png") + " を作成できません.")},
        {"disk full over an existing file", "kept", 2, "100", true, "ストリームへの書き込みエラー."},
        {"quality not an integer", "kept", 2, "abc", false, "'abc' は整数ではありません."},
        {"quality empty", "kept", 2, "", false, "'' は整数ではありません."},
        {"quality out of the 32-bit range", "kept", 2, "2147483648", false,
         "'2147483648' は整数ではありません."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        errors.texts.clear();
        w->jpgq->setText(row.quality);
        if (row.fullDisk)
            testhooks::setWriteFunction(diskFull);
        saveAs(row.typed, row.filterIndex);
        testhooks::setWriteFunction(nullptr);
        EXPECT_EQ(errors.texts, QStringList({row.message}));
        EXPECT_EQ(filesIn(out), std::set<std::string>{"kept.jpg"});
        EXPECT_EQ(fileBytes(outFile("kept.jpg")), (Bytes{'o', 'l', 'd'}));
        EXPECT_EQ(w->OpenPictureDialog1->fileName(), openName);
        EXPECT_EQ(area(), area1020);
        EXPECT_TRUE(test::samePixels(photo, w->workbmp));
        EXPECT_EQ(w->mainimage->size(), QSize(200, 120));
        EXPECT_FALSE(w->savebmp);
    }
}

// ---------------------------------------------------------------------------
// Crop in place

TEST_F(CutSave, CropOfAJpegMakesABitmapAndReloadBringsTheFileBack)
{
    const std::string path = (pictures / "scene.jpg").string();
    test::writeBytes(path, encodeJpeg(photo, 90));
    loadByDialog(QString::fromStdString(path));
    ASSERT_EQ(w->mainimage->picture().kind, PictureKind::Jpeg);
    const Bitmap24 loaded = w->workbmp;
    typeArea(area1020);
    const QString saveName = w->SaveDialog1->fileName();

    w->cutmenu->trigger();
    EXPECT_EQ(errorsText(), QString());
    EXPECT_EQ(w->mainimage->picture().kind, PictureKind::Bitmap);
    EXPECT_EQ(w->mainimage->size(), QSize(100, 50));
    EXPECT_EQ(w->picwidth, 100);
    EXPECT_EQ(w->picheight, 50);
    EXPECT_TRUE(test::samePixels(expectedCut(loaded, area1020), w->workbmp));
    EXPECT_EQ(area(), (Area{0, 100, 0, 50}));
    EXPECT_EQ(w->sizex->text(), QStringLiteral("100"));
    EXPECT_EQ(w->originy->text(), QStringLiteral("Y : 50"));
    EXPECT_EQ(w->areax->maximum(), 100);
    // The file, the dialogs' names and the presets are left alone.
    EXPECT_EQ(w->lastfile, QString::fromStdString(path));
    EXPECT_EQ(w->OpenPictureDialog1->fileName(), QString::fromStdString(path));
    EXPECT_EQ(w->SaveDialog1->fileName(), saveName);
    EXPECT_EQ(w->SaveDialog1->filterIndex(), 2);

    w->reloadmenu->trigger();
    EXPECT_EQ(errorsText(), QString());
    EXPECT_EQ(w->mainimage->picture().kind, PictureKind::Jpeg);
    EXPECT_TRUE(test::samePixels(loaded, w->workbmp));
    EXPECT_EQ(area(), (Area{0, 200, 0, 120}));
}

// ---------------------------------------------------------------------------
// Areas the fields cannot make: the mouse may leave an empty area, and with
// an empty area at the left edge the left-edge field gives -1. They are put
// into the rulers directly here.

TEST_F(CutSave, AnEmptyAreaIsRefusedAndNothingChanges)
{
    loadPhoto();
    const Area areas[] = {{50, 50, 10, 60}, {10, 60, 30, 30}};
    for (const Area& empty : areas) {
        SCOPED_TRACE(testing::PrintToString(empty));
        w->areax->setSelection(empty.xl, empty.xr);
        w->areay->setSelection(empty.yu, empty.yb);
        int dialogs = 0;
        test::DialogScript script([&](const DialogRequest&) {
            ++dialogs;
            return DialogAnswer::choose(outPath("empty"), 1);
        });
        for (Qt::KeyboardModifiers modifiers : {Qt::KeyboardModifiers(), Qt::KeyboardModifiers(Qt::ControlModifier)}) {
            errors.texts.clear();
            QTest::mouseClick(w->savepic, Qt::LeftButton, modifiers);
            EXPECT_EQ(errors.texts, QStringList({"切り抜く範囲が空です."}));
        }
        EXPECT_EQ(dialogs, 0);
        EXPECT_TRUE(filesIn(out).empty());
        EXPECT_EQ(area(), empty);
        EXPECT_EQ(w->picwidth, 200);
        EXPECT_TRUE(test::samePixels(photo, w->workbmp));
    }
}

TEST_F(CutSave, AnAreaReachingOutsideThePictureTakesWhiteThere)
{
    loadPhoto();
    const Area reaching{-1, 10, -1, 5};
    const Bitmap24 expected = expectedCut(photo, reaching);
    ASSERT_EQ(test::rgbAt(expected, 0, 3), 0xFFFFFFu);
    ASSERT_EQ(test::rgbAt(expected, 1, 1), test::rgbAt(photo, 0, 0));
    w->areax->setSelection(reaching.xl, reaching.xr);
    w->areay->setSelection(reaching.yu, reaching.yb);

    saveAs("edge", 4);
    EXPECT_EQ(errorsText(), QString());
    EXPECT_TRUE(fileBytes(outFile("edge.png")) == encodePng(expected));

    QTest::mouseClick(w->savepic, Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(errorsText(), QString());
    EXPECT_TRUE(test::samePixels(expected, w->workbmp));
}
