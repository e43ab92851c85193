// The main window driven through its widgets: start-up, the controls, loading
// by every road, and the cut-area fields.

#include <QAccessible>
#include <QAction>
#include <QClipboard>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QUrl>

#include <filesystem>
#include <sys/stat.h>

#include "app/startup.h"
#include "imaging/codecs.h"
#include "load/clientarea.h"
#include "load/forms.h"
#include "load/loadcut.h"
#include "reader/picturereader.h"
#include "tests/support/formatfiles.h"
#include "tests/support/testsupport.h"
#include "tests/toolkit/toolkittest.h"
#include "toolkit/clipboard.h"
#include "toolkit/editfield.h"
#include "toolkit/imagecontrol.h"
#include "toolkit/scrollbox.h"
#include "toolkit/shaperect.h"
#include "toolkit/speedbutton.h"
#include "toolkit/spinbuttons.h"
#include "toolkit/trackbar.h"
#include "version/zelvano.h"
#include "zoom/resize.h"

using namespace clipora;

namespace {

struct Area {
    int xl, xr, yu, yb;
    friend bool operator==(const Area&, const Area&) = default;
    friend std::ostream& operator<<(std::ostream& os, const Area& a)
    {
        return os << "x " << a.xl << ".." << a.xr << ", y " << a.yu << ".." << a.yb;
    }
};

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        windows = createWindows();
        w = windows->loadcut.get();
        test::showActive(*w);
    }

    // A BMP picture of the given size written into the temporary folder.
    QString writeBmp(const std::string& name, int width, int height, std::uint32_t seed = 1)
    {
        test::writeBytes(dir.file(name), encodeBmp(test::photoLike(width, height, seed)));
        return QString::fromStdString(dir.file(name));
    }

    // Loads a file the way a user does: the load button and the open dialog.
    void loadByDialog(const QString& path)
    {
        test::DialogScript script([&](const DialogRequest&) { return DialogAnswer::choose(path); });
        QTest::mouseClick(w->Loadpic, Qt::LeftButton);
    }

    // Clicks into the field, replaces its text and, if asked, presses Enter.
    void type(EditField* field, const QString& text, bool enter = true)
    {
        QTest::mouseClick(field, Qt::LeftButton);
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(field, text);
        if (enter)
            QTest::keyClick(field, Qt::Key_Return);
    }

    void drop(const QStringList& paths)
    {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls << QUrl::fromLocalFile(path);
        data.setUrls(urls);
        const QPoint at(300, 300);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w, &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w, &dropped);
    }

    // A drop as the platform delivers it: to the window, at the centre of
    // `control`, offering the files' URLs and their paths as text (as file
    // managers do); Qt hands it to the control there or the nearest parent
    // that takes drops. The action the drop was taken with, or IgnoreAction.
    Qt::DropAction dropOn(QWidget* control, const QStringList& paths,
                          Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction,
                          Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls << QUrl::fromLocalFile(path);
        data.setUrls(urls);
        data.setText(paths.join(u'\n'));
        QWidget* window = control->window();
        const QPoint at = control->mapTo(window, control->rect().center());
        QDragEnterEvent enter(at, offered, &data, Qt::LeftButton, modifiers);
        QApplication::sendEvent(window->windowHandle(), &enter);
        QDragMoveEvent move(at, offered, &data, Qt::LeftButton, modifiers);
        QApplication::sendEvent(window->windowHandle(), &move);
        if (!move.isAccepted()) {
            QDragLeaveEvent leave;
            QApplication::sendEvent(window->windowHandle(), &leave);
            return Qt::IgnoreAction;
        }
        QDropEvent dropped(at, offered, &data, Qt::LeftButton, modifiers);
        dropped.setDropAction(move.dropAction());
        QApplication::sendEvent(window->windowHandle(), &dropped);
        return dropped.isAccepted() ? dropped.dropAction() : Qt::IgnoreAction;
    }

    Area area() const { return {w->xl(), w->xr(), w->yu(), w->yb()}; }
    QStringList fieldTexts() const
    {
        return {w->edgexl->text(), w->sizex->text(), w->edgexr->text(),
                w->edgeyu->text(), w->sizey->text(), w->edgeyb->text()};
    }
    QRect marker() const { return w->shot->geometry(); }
    QRect markerFor(const Area& a) const
    {
        return {w->imgleft + a.xl - 1, w->imgtop + a.yu - 1, a.xr - a.xl + 2, a.yb - a.yu + 2};
    }
    bool noControlHasFocus() const
    {
        QWidget* focus = QApplication::focusWidget();
        return focus == nullptr || focus == w;
    }

    test::TempDir dir;
    test::ErrorBoxRecorder errors;
    std::unique_ptr<ProgramWindows> windows;
    Tloadcut* w = nullptr;
};

}  // namespace

// ---------------------------------------------------------------------------
// Start-up and the window

TEST(Loadcut, MainWindowIsCaptionedClipora)
{
    Tloadcut window;
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Clipora"));
}

TEST_F(MainWindow, StartUpShowsOnlyTheMainWindowAndPlacesTheOthers)
{
    EXPECT_EQ(forms::loadcut, w);
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(windows->resize->isVisible());
    EXPECT_FALSE(windows->zelvano->isVisible());

    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(windows->resize->pos(), QPoint(screen.width() / 2, w->y()));
    EXPECT_EQ(windows->zelvano->pos(), QPoint((screen.width() - windows->zelvano->width()) / 2,
                                              (screen.height() - windows->zelvano->height()) / 2));
    // Placed once: moving the main window later leaves the dialog where it is.
    const QPoint dialogPlace = windows->resize->pos();
    w->move(w->x() + 40, w->y() + 30);
    EXPECT_EQ(windows->resize->pos(), dialogPlace);

    EXPECT_EQ(w->imgleft, 27);
    EXPECT_EQ(w->imgtop, 25);
    EXPECT_EQ(marker(), QRect(-1, -1, 322, 218));
    EXPECT_EQ(w->Label1->height(), 20);
    EXPECT_TRUE(w->workbmp.empty());
    EXPECT_EQ(w->picwidth, 0);
    EXPECT_TRUE(w->acceptDrops());
}

TEST_F(MainWindow, ControlsStartAsDescribed)
{
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Clipora"));
    EXPECT_EQ(w->view->geometry(), QRect(72, 72, 529, 377));
    EXPECT_EQ(w->originx->text(), QStringLiteral("X : 300"));
    EXPECT_EQ(w->originy->text(), QStringLiteral("Y : 230"));
    EXPECT_EQ(w->Label1->text(), QStringLiteral("元画像\u3000"));
    EXPECT_EQ(fieldTexts(), QStringList({"0", "0", "0", "0", "0", "0"}));
    EXPECT_EQ(w->jpgq->text(), QStringLiteral("100"));
    for (TrackBar* ruler : {w->areax, w->areay}) {
        EXPECT_EQ(ruler->minimum(), -1);
        EXPECT_EQ(ruler->maximum(), 300);
        EXPECT_EQ(ruler->position(), 150);
        EXPECT_EQ(ruler->selStart(), 0);
        EXPECT_EQ(ruler->selEnd(), 300);
    }
    for (SpinButtons* spin : {w->UpDownxl, w->UpDownX, w->UpDownxr})
        EXPECT_EQ(spin->maximum(), 2000) << spin->objectName().toStdString();
    for (SpinButtons* spin : {w->UpDownyu, w->UpDownY, w->UpDownyb}) {
        EXPECT_EQ(spin->maximum(), 100) << spin->objectName().toStdString();
        EXPECT_EQ(spin->increment(), -1);
        EXPECT_EQ(spin->orientation(), Qt::Vertical);
    }
    EXPECT_EQ(w->UpDownjpgq->minimum(), 1);
    EXPECT_EQ(w->UpDownjpgq->increment(), 10);
    EXPECT_EQ(w->edgeButtons->buttons(), QList<SpeedButton*>({w->XL, w->XR, w->YU, w->YB}));
    EXPECT_TRUE(w->beam->isHidden());
    EXPECT_EQ(w->shot->penMode(), ShapeRect::PenMode::Not);
}

TEST_F(MainWindow, MenuItemsCarryTheirCaptionsAndShortcuts)
{
    struct Item {
        const char* name;
        const char* caption;
        QKeySequence shortcut;
    };
    const Item items[] = {
        {"loadmenu", "ロード", QKeySequence(Qt::CTRL | Qt::Key_O)},
        {"reloadmenu", "再ロード", {}},
        {"cutsavemenu", "カット＆保存", QKeySequence(Qt::CTRL | Qt::Key_S)},
        {"resizemenu", "サイズ変更", QKeySequence(Qt::CTRL | Qt::Key_R)},
        {"cutmenu", "切り抜き", {}},
        {"Pastemenu", "ペースト", QKeySequence(Qt::CTRL | Qt::Key_V)},
        {"Copymenu", "コピー", QKeySequence(Qt::CTRL | Qt::Key_C)},
        {"Hflip", "左右反転", {}},
        {"Vflip", "上下反転", {}},
        {"resetmenu", "リセット", QKeySequence(Qt::Key_Escape)},
        {"autoreset", "ロード時自動リセット", {}},
        {"Helpmenu", "ヘルプ", QKeySequence(Qt::Key_F1)},
    };
    for (const Item& item : items) {
        auto* action = w->findChild<QAction*>(QLatin1String(item.name));
        ASSERT_NE(action, nullptr) << item.name;
        EXPECT_EQ(action->text(), QString::fromUtf8(item.caption)) << item.name;
        EXPECT_EQ(action->shortcut(), item.shortcut) << item.name;
    }
    EXPECT_TRUE(w->autoreset->isCheckable());
    EXPECT_TRUE(w->autoreset->isChecked());
    QStringList menus;
    for (QAction* menu : w->MainMenu->actions())
        menus << menu->text();
    EXPECT_EQ(menus, QStringList({"ファイル", "編集", "選択範囲", "ヘルプ"}));
    QStringList file;
    for (QAction* item : w->File1->actions())
        file << (item->isSeparator() ? QStringLiteral("-") : item->text());
    EXPECT_EQ(file, QStringList({"ロード", "再ロード", "-", "カット＆保存"}));
}

TEST_F(MainWindow, ControlsWithoutCaptionsHaveAccessibleNames)
{
    const std::pair<const char*, const char*> names[] = {
        {"jpgq", "JPEG画質"},         {"edgexl", "左端"},          {"sizex", "横サイズ"},
        {"edgexr", "右端"},           {"edgeyu", "上端"},          {"sizey", "縦サイズ"},
        {"edgeyb", "下端"},           {"UpDownxl", "左端 増減"},   {"UpDownX", "横サイズ 増減"},
        {"UpDownxr", "右端 増減"},    {"UpDownyu", "上端 増減"},   {"UpDownY", "縦サイズ 増減"},
        {"UpDownyb", "下端 増減"},    {"areax", "横範囲"},         {"areay", "縦範囲"},
        {"mainimage", "画像"},        {"Loadpic", "ロード"},       {"XL", "左端移動"},
    };
    for (const auto& [name, accessible] : names) {
        auto* widget = w->findChild<QWidget*>(QLatin1String(name));
        ASSERT_NE(widget, nullptr) << name;
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
        ASSERT_NE(face, nullptr) << name;
        EXPECT_EQ(face->text(QAccessible::Name), QString::fromUtf8(accessible)) << name;
    }
    QAccessibleInterface* field = QAccessible::queryAccessibleInterface(w->jpgq);
    EXPECT_EQ(field->text(QAccessible::Value), QStringLiteral("100"));
    QAccessibleValueInterface* ruler = QAccessible::queryAccessibleInterface(w->areax)->valueInterface();
    ASSERT_NE(ruler, nullptr);
    EXPECT_EQ(ruler->currentValue().toInt(), 150);
    EXPECT_EQ(ruler->minimumValue().toInt(), -1);
    EXPECT_EQ(ruler->maximumValue().toInt(), 300);
}

TEST_F(MainWindow, TabFollowsTheDescribedOrderAndLeavingAFieldByTabFocusesNothing)
{
    const QList<QWidget*> order = {w->Loadpic,  w->resizeon, w->savepic,  w->edgexl,  w->sizex,
                                   w->edgexr,   w->edgeyu,   w->sizey,    w->edgeyb,  w->UpDownxl,
                                   w->UpDownX,  w->UpDownxr, w->UpDownyu, w->UpDownY, w->UpDownyb,
                                   w->areax,    w->areay,    w->jpgq,     w->UpDownjpgq};
    QList<QWidget*> chain;
    for (QWidget* next = w->nextInFocusChain(); next != w; next = next->nextInFocusChain())
        if (next->focusPolicy() & Qt::TabFocus)
            chain << next;
    EXPECT_EQ(chain, order);

    // Controls without a leave handling pass the focus on.
    w->Loadpic->setFocus(Qt::TabFocusReason);
    QTest::keyClick(w->Loadpic, Qt::Key_Tab);
    EXPECT_TRUE(w->resizeon->hasFocus());
    w->UpDownyb->setFocus(Qt::TabFocusReason);
    QTest::keyClick(w->UpDownyb, Qt::Key_Tab);
    EXPECT_TRUE(w->areax->hasFocus());
    QTest::keyClick(w->areax, Qt::Key_Tab);
    EXPECT_TRUE(w->areay->hasFocus());
    QTest::keyClick(w->areay, Qt::Key_Tab);
    EXPECT_TRUE(w->jpgq->hasFocus());
    QTest::keyClick(w->jpgq, Qt::Key_Tab);
    EXPECT_TRUE(w->UpDownjpgq->hasFocus());

    // A field applies itself as the focus leaves it, which clears the active
    // control: the next control in the order does not keep the focus.
    w->edgexl->setFocus(Qt::TabFocusReason);
    QTest::keyClick(w->edgexl, Qt::Key_Tab);
    EXPECT_TRUE(noControlHasFocus());
}

TEST_F(MainWindow, ViewFillsTheClientAreaAtEverySize)
{
    w->resize(800, 600);
    QTest::qWait(0);
    EXPECT_EQ(w->view->size(), QSize(w->client->width() - 72, w->client->height() - 72));
    w->resize(50, 90);  // client area narrower and lower than 72
    QTest::qWait(0);
    EXPECT_EQ(w->view->width(), 0);
    w->resize(700, 500);
    QTest::qWait(0);
    EXPECT_EQ(w->view->size(), QSize(w->client->width() - 72, w->client->height() - 72));
    EXPECT_EQ(w->view->pos(), QPoint(72, 72));
}

TEST_F(MainWindow, ResizingTheViewPinsTheRulersAndRecordsTheOrigin)
{
    loadByDialog(writeBmp("big.bmp", 1000, 800));
    w->view->setScrollX(100);
    w->view->setScrollY(50);
    ASSERT_EQ(w->mainimage->pos(), QPoint(27 - 100, 25 - 50));  // the children moved with the scroll
    ASSERT_EQ(w->areax->pos(), QPoint(14 - 100, -50));

    w->resize(w->width() + 30, w->height() + 20);
    QTest::qWait(0);
    EXPECT_EQ(w->imgleft, -73);
    EXPECT_EQ(w->imgtop, -25);
    EXPECT_EQ(w->areax->pos(), QPoint(-86, 0));
    EXPECT_EQ(w->areay->pos(), QPoint(0, 12 - 50));
    EXPECT_EQ(w->cover->pos(), QPoint(0, 0));
    EXPECT_EQ(w->scrollx, 100);
    EXPECT_EQ(w->scrolly, 50);
}

TEST_F(MainWindow, F1AndCtrlRShowTheirWindowsWhileAFieldHasTheFocus)
{
    QTest::mouseClick(w->edgexl, Qt::LeftButton);
    ASSERT_TRUE(w->edgexl->hasFocus());
    QTest::keyClick(w->edgexl, Qt::Key_F1);
    EXPECT_TRUE(windows->zelvano->isVisible());
    test::showActive(*w);
    QTest::mouseClick(w->edgexl, Qt::LeftButton);
    QTest::keyClick(w->edgexl, Qt::Key_R, Qt::ControlModifier);
    EXPECT_TRUE(windows->resize->isVisible());
}

TEST_F(MainWindow, CtrlCAndCtrlVInAFieldAreTheMenuItems)
{
    // No picture and only text on the clipboard: the field's own copy and
    // paste would act silently, the menu's items refuse with their messages.
    QGuiApplication::clipboard()->setText(QStringLiteral("words"));
    type(w->sizex, "12", false);
    QTest::keyClick(w->sizex, Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(w->sizex, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(errors.texts, QStringList({errorBoxText(QString::fromUtf8(messages::nothingToCopy)),
                                         errorBoxText(QString::fromUtf8(messages::invalidClipboardFormat))}));
    EXPECT_EQ(w->sizex->text(), QStringLiteral("12"));
}

// ---------------------------------------------------------------------------
// Loading

TEST_F(MainWindow, LoadingA640By480PictureSizesRulersSpinsAndLabels)
{
    const QString path = writeBmp("photo.bmp", 640, 480);
    loadByDialog(path);
    ASSERT_TRUE(errors.texts.isEmpty()) << errors.texts.join(' ').toStdString();

    EXPECT_EQ(w->picwidth, 640);
    EXPECT_EQ(w->picheight, 480);
    EXPECT_TRUE(test::samePixels(test::photoLike(640, 480, 1), w->workbmp));
    EXPECT_EQ(w->areax->width(), 666);
    EXPECT_EQ(w->areax->maximum(), 640);
    EXPECT_EQ(w->areay->height(), 506);
    EXPECT_EQ(w->areay->maximum(), 480);
    EXPECT_EQ(w->UpDownxl->maximum(), 639);
    EXPECT_EQ(w->UpDownxr->maximum(), 640);
    EXPECT_EQ(w->UpDownX->maximum(), 640);
    EXPECT_EQ(w->UpDownyu->maximum(), 479);
    EXPECT_EQ(w->UpDownyb->maximum(), 480);
    EXPECT_EQ(w->UpDownY->maximum(), 480);
    EXPECT_EQ(w->originx->text(), QStringLiteral("X : 640"));
    EXPECT_EQ(w->originy->text(), QStringLiteral("Y : 480"));
    EXPECT_EQ(w->mainimage->size(), QSize(640, 480));

    // The check mark of automatic reset is set: the whole picture.
    EXPECT_EQ(area(), (Area{0, 640, 0, 480}));
    EXPECT_EQ(fieldTexts(), QStringList({"0", "640", "640", "0", "480", "480"}));
    EXPECT_EQ(w->areax->position(), 320);
    EXPECT_EQ(w->areay->position(), 240);
    EXPECT_EQ(marker(), markerFor({0, 640, 0, 480}));

    EXPECT_EQ(w->lastfile, path);
    EXPECT_EQ(w->OpenPictureDialog1->fileName(), path);
    EXPECT_EQ(w->SaveDialog1->filterIndex(), 1);
    EXPECT_EQ(w->SaveDialog1->fileName(), QString::fromStdString(dir.file("photo")));
}

TEST_F(MainWindow, ResetOfA301By303PictureRoundsTheThumbsHalfToEven)
{
    loadByDialog(writeBmp("odd.bmp", 301, 303));
    type(w->edgexl, "40");
    type(w->edgeyb, "200");
    ASSERT_EQ(area(), (Area{40, 301, 0, 200}));

    // Esc resets, whichever control has the focus, a ruler included.
    QTest::mouseClick(w->areax, Qt::LeftButton, {}, QPoint(5, 11));
    ASSERT_TRUE(w->areax->hasFocus());
    QTest::keyClick(w->areax, Qt::Key_Escape);
    EXPECT_EQ(area(), (Area{0, 301, 0, 303}));
    EXPECT_EQ(fieldTexts(), QStringList({"0", "301", "301", "0", "303", "303"}));
    EXPECT_EQ(w->areax->position(), 150);
    EXPECT_EQ(w->areay->position(), 152);
    EXPECT_EQ(marker(), QRect(w->imgleft - 1, w->imgtop - 1, 303, 305));
}

TEST_F(MainWindow, SaveDialogPresetFollowsTheExtensionLetterForLetter)
{
    const Bitmap24 pixels = test::photoLike(24, 16, 3);
    Bitmap8 indexed(24, 16);
    indexed.setPalette({{0, 0, 0, 0}, {255, 255, 255, 0}});
    QImage icon(16, 16, QImage::Format_ARGB32);
    icon.fill(qRgba(10, 200, 30, 255));

    struct Row {
        const char* name;
        int filterIndex;
        QSize size;
    };
    const Row rows[] = {
        {"photo.JPG", 2, {24, 16}}, {"photo.Png", 2, {24, 16}}, {"photo.PNG", 4, {24, 16}},
        {"scan.jpeg", 2, {24, 16}}, {"icon.ico", 2, {16, 16}},  {"anim.gif", 3, {24, 16}},
        {"pic.BMP", 1, {24, 16}},   {"pic.Bmp", 2, {24, 16}},   {"web.webp", 2, {24, 16}},
        {"phone.AVIF", 2, {24, 16}}, {"scan.TIF", 2, {24, 16}}, {"scan.tiff", 2, {24, 16}},
    };
    for (const Row& row : rows) {
        const std::string file = dir.file(row.name);
        const QString name = QString::fromUtf8(row.name).toLower();
        if (name.endsWith(".jpg") || name.endsWith(".jpeg"))
            test::writeBytes(file, encodeJpeg(pixels, 90));
        else if (name.endsWith(".png"))
            test::writeBytes(file, encodePng(pixels));
        else if (name.endsWith(".gif"))
            test::writeBytes(file, encodeGif(indexed));
        else if (name.endsWith(".bmp"))
            test::writeBytes(file, encodeBmp(pixels));
        else if (name.endsWith(".webp") || name.endsWith(".avif") || name.contains(".tif"))
            test::writeBytes(file, test::writtenByTool(name.endsWith(".webp")   ? "webp"
                                                       : name.endsWith(".avif") ? "avif"
                                                                                : "tif",
                                                       dir.path().string(), pixels));
        else
            ASSERT_TRUE(icon.save(QString::fromStdString(file), "ICO"));

        loadByDialog(QString::fromStdString(file));
        ASSERT_TRUE(errors.texts.isEmpty()) << row.name << ": " << errors.texts.join(' ').toStdString();
        EXPECT_EQ(w->SaveDialog1->filterIndex(), row.filterIndex) << row.name;
        EXPECT_EQ(QSize(w->picwidth, w->picheight), row.size) << row.name;
        const std::string base = std::filesystem::path(file).replace_extension().string();
        EXPECT_EQ(w->SaveDialog1->fileName(), QString::fromStdString(base)) << row.name;
    }
}

TEST_F(MainWindow, TransparentPixelsReachTheWorkingBitmapAsWhite)
{
    QImage icon(4, 4, QImage::Format_ARGB32);
    icon.fill(qRgba(0, 0, 0, 0));
    icon.setPixel(1, 2, qRgba(200, 10, 20, 255));
    ASSERT_TRUE(icon.save(QString::fromStdString(dir.file("dot.ico")), "ICO"));
    loadByDialog(QString::fromStdString(dir.file("dot.ico")));
    ASSERT_TRUE(errors.texts.isEmpty()) << errors.texts.join(' ').toStdString();
    EXPECT_EQ(test::rgbAt(w->workbmp, 0, 0), 0xFFFFFFu);
    EXPECT_EQ(test::rgbAt(w->workbmp, 1, 2), 0xC80A14u);
}

TEST_F(MainWindow, CtrlOOpensTheDialogWhileCtrlClickOnLoadReloads)
{
    int dialogs = 0;
    QString answer;
    test::DialogScript script([&](const DialogRequest& request) {
        EXPECT_EQ(request.kind, DialogRequest::Kind::Open);
        ++dialogs;
        return answer.isEmpty() ? DialogAnswer::cancel() : DialogAnswer::choose(answer);
    });

    // Nothing loaded yet: a Ctrl-click opens the dialog, and so does "再ロード".
    QTest::mouseClick(w->Loadpic, Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(dialogs, 1);
    w->reloadmenu->trigger();
    EXPECT_EQ(dialogs, 2);

    answer = writeBmp("a.bmp", 30, 20);
    QTest::mouseClick(w->Loadpic, Qt::LeftButton);
    EXPECT_EQ(dialogs, 3);
    ASSERT_EQ(w->picwidth, 30);
    answer.clear();

    QTest::keyClick(w, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(dialogs, 4);
    QTest::mouseClick(w->Loadpic, Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(dialogs, 4);  // reloaded
    w->reloadmenu->trigger();
    EXPECT_EQ(dialogs, 4);
    QTest::mouseClick(w->Loadpic, Qt::LeftButton);
    EXPECT_EQ(dialogs, 5);

    // A reload whose file has gone opens the dialog instead.
    std::filesystem::remove(dir.file("a.bmp"));
    QTest::mouseClick(w->Loadpic, Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(dialogs, 6);
    EXPECT_TRUE(errors.texts.isEmpty());
}

TEST_F(MainWindow, ReloadPicksUpTheChangedFileAndKeepsThePresets)
{
    const QString path = writeBmp("scene.bmp", 60, 40, 1);
    loadByDialog(path);
    ASSERT_EQ(w->picwidth, 60);
    // The save dialog was used since, with another format and name.
    w->SaveDialog1->setFilterIndex(3);
    w->SaveDialog1->setFileName(QStringLiteral("/elsewhere/cut"));

    writeBmp("scene.bmp", 50, 70, 2);
    QTest::mouseClick(w->Loadpic, Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(w->picwidth, 50);
    EXPECT_EQ(w->picheight, 70);
    EXPECT_TRUE(test::samePixels(test::photoLike(50, 70, 2), w->workbmp));
    EXPECT_EQ(area(), (Area{0, 50, 0, 70}));
    EXPECT_EQ(w->SaveDialog1->filterIndex(), 3);
    EXPECT_EQ(w->SaveDialog1->fileName(), QStringLiteral("/elsewhere/cut"));
    EXPECT_EQ(w->lastfile, path);
    EXPECT_EQ(w->OpenPictureDialog1->fileName(), path);
}

TEST_F(MainWindow, AFailedLoadLeavesEverythingAsItWas)
{
    const QString good = writeBmp("good.bmp", 80, 60);
    loadByDialog(good);
    type(w->edgexl, "10");
    type(w->sizey, "30");
    const Area before = area();
    const QStringList fields = fieldTexts();
    const QRect markerBefore = marker();
    const Bitmap24 workBefore = w->workbmp;

    std::vector<std::uint8_t> broken = encodeBmp(test::photoLike(80, 60, 5));
    broken.resize(broken.size() / 2);  // headers whole, pixels cut short
    test::writeBytes(dir.file("broken.bmp"), broken);
    test::writeBytes(dir.file("notes.txt"), {'h', 'i'});
    test::writeBytes(dir.file("README"), {'h', 'i'});

    struct Row {
        std::string name;
        QString message;
    };
    const Row rows[] = {
        {"notes.txt", "拡張子 .txt の画像形式は処理できません."},
        {"README", "拡張子 . の画像形式は処理できません."},
        {"missing.png", QString::fromStdString("ファイル " + dir.file("missing.png") + " は開けません.")},
        {"broken.bmp", "ビットマップイメージが不正です."},
    };
    for (const Row& row : rows) {
        errors.texts.clear();
        loadByDialog(QString::fromStdString(dir.file(row.name)));
        EXPECT_EQ(errors.texts, QStringList({row.message})) << row.name;
        EXPECT_EQ(area(), before) << row.name;
        EXPECT_EQ(fieldTexts(), fields) << row.name;
        EXPECT_EQ(marker(), markerBefore) << row.name;
        EXPECT_EQ(w->picwidth, 80) << row.name;
        EXPECT_TRUE(test::samePixels(workBefore, w->workbmp)) << row.name;
        EXPECT_EQ(w->mainimage->size(), QSize(80, 60)) << row.name;
        EXPECT_EQ(w->lastfile, good) << row.name;
        EXPECT_EQ(w->SaveDialog1->filterIndex(), 1) << row.name;
        // The open dialog keeps the chosen name for its next opening.
        EXPECT_EQ(w->OpenPictureDialog1->fileName(), QString::fromStdString(dir.file(row.name))) << row.name;
    }
}

TEST_F(MainWindow, ADropLoadsTheFirstFileOnly)
{
    const QString first = writeBmp("first.bmp", 40, 30);
    const QString second = writeBmp("second.bmp", 20, 10);
    const QString third = writeBmp("third.bmp", 10, 10);
    drop({first, second, third});
    EXPECT_TRUE(errors.texts.isEmpty());
    EXPECT_EQ(w->picwidth, 40);
    EXPECT_EQ(w->lastfile, first);
}

TEST_F(MainWindow, DroppedWebpAvifHeifAndTiffFilesLoadWithTheirPixels)
{
    const Bitmap24 pixels = test::photoLike(31, 17, 9);
    for (const char* extension : {"webp", "avif", "heic", "tif"}) {
        const Bytes file = test::writtenByTool(extension, dir.path().string(), pixels);
        if (file.empty())  // heif-enc without its HEVC encoder
            continue;
        const QString path = QString::fromStdString(dir.file(std::string("dropped.") + extension));
        test::writeBytes(path.toStdString(), file);
        drop({path});
        ASSERT_TRUE(errors.texts.isEmpty()) << extension << ": " << errors.texts.join(' ').toStdString();
        EXPECT_EQ(w->lastfile, path);
        EXPECT_TRUE(test::samePixels(readPictureFile(path.toStdString()).pixels, w->workbmp)) << extension;
        if (std::string(extension) != "heic") {  // heif-enc is not exact
            EXPECT_TRUE(test::samePixels(pixels, w->workbmp)) << extension;
        }
    }
}

TEST_F(MainWindow, ADroppedPathIsTakenWholeHoweverLong)
{
    // Far past the 255 characters a fixed buffer would hold.
    std::filesystem::path folder = dir.path();
    for (int i = 0; i < 6; ++i)
        folder /= std::string(60, static_cast<char>('a' + i));
    std::filesystem::create_directories(folder);
    const std::string file = (folder / "deep.bmp").string();
    ASSERT_GT(file.size(), 360u);
    test::writeBytes(file, encodeBmp(test::photoLike(33, 22, 7)));
    drop({QString::fromStdString(file)});
    EXPECT_TRUE(errors.texts.isEmpty()) << errors.texts.join(' ').toStdString();
    EXPECT_EQ(w->picwidth, 33);
    EXPECT_EQ(w->lastfile, QString::fromStdString(file));
}

TEST_F(MainWindow, ADropBringsTheWindowToTheFrontOnlyWhenItLoaded)
{
    test::writeBytes(dir.file("notes.txt"), {'h', 'i'});
    QWidget other;
    test::showActive(other);
    drop({QString::fromStdString(dir.file("notes.txt"))});
    EXPECT_EQ(errors.texts, QStringList({"拡張子 .txt の画像形式は処理できません."}));
    EXPECT_EQ(QApplication::activeWindow(), &other);

    drop({writeBmp("good.bmp", 20, 20)});
    EXPECT_TRUE(QTest::qWaitForWindowActive(w));
}

TEST_F(MainWindow, AFileDroppedOnAnyControlLoadsAndNoFieldTakesItsPath)
{
    const QString files[] = {writeBmp("a.bmp", 20, 10), writeBmp("b.bmp", 30, 15)};
    QStringList fieldsAfter[2];
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(dropOn(w, {files[i]}), Qt::CopyAction);
        fieldsAfter[i] = fieldTexts();
    }
    int next = 0;
    QStringList tried;
    for (QWidget* control : w->findChildren<QWidget*>()) {
        const QPoint centre = control->mapTo(w, control->rect().center());
        if (!control->isVisibleTo(w) || control->size().isEmpty() || !w->rect().contains(centre))
            continue;
        const std::string name = control->objectName().toStdString() + " " + control->metaObject()->className();
        EXPECT_EQ(dropOn(control, {files[next]}), Qt::CopyAction) << name;
        EXPECT_EQ(w->lastfile, files[next]) << name;
        EXPECT_EQ(fieldTexts(), fieldsAfter[next]) << name;
        next = 1 - next;
        tried << control->objectName();
    }
    for (const char* name : {"edgexl", "sizex", "edgexr", "edgeyu", "sizey", "edgeyb", "jpgq", "mainimage", "areax"})
        EXPECT_TRUE(tried.contains(QLatin1String(name))) << name;
    EXPECT_TRUE(errors.texts.isEmpty()) << errors.texts.join(' ').toStdString();

    // The resize dialog takes no drops: its fields keep their text.
    QTest::keyClick(w, Qt::Key_R, Qt::ControlModifier);
    Tresize* r = windows->resize.get();
    ASSERT_TRUE(r->isVisible());
    const QString before = r->newsizex->text();
    EXPECT_EQ(dropOn(r->newsizex, {files[0]}), Qt::IgnoreAction);
    EXPECT_EQ(r->newsizex->text(), before);
}

TEST_F(MainWindow, ADropIsTakenAsACopyNeverAsAMove)
{
    struct Row {
        const char* name;
        Qt::DropActions offered;
        Qt::KeyboardModifiers modifiers;
        Qt::DropAction taken;
    };
    const Row rows[] = {
        {"copy or move, move proposed (Shift)", Qt::CopyAction | Qt::MoveAction, Qt::ShiftModifier, Qt::CopyAction},
        {"copy or move", Qt::CopyAction | Qt::MoveAction, Qt::NoModifier, Qt::CopyAction},
        {"copy, link or move", Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, Qt::AltModifier, Qt::CopyAction},
        {"move only", Qt::MoveAction, Qt::NoModifier, Qt::IgnoreAction},
    };
    QMimeData probe;
    probe.setUrls({QUrl::fromLocalFile(QStringLiteral("/x.bmp"))});
    ASSERT_EQ(QDragEnterEvent({}, rows[0].offered, &probe, Qt::LeftButton, rows[0].modifiers).proposedAction(),
              Qt::MoveAction);  // else the first row would not propose a move
    int width = 10;
    for (const Row& row : rows) {
        const QString file = writeBmp("dropped.bmp", ++width, 10);
        EXPECT_EQ(dropOn(w->mainimage, {file}, row.offered, row.modifiers), row.taken) << row.name;
        EXPECT_EQ(w->picwidth == width, row.taken == Qt::CopyAction) << row.name;
        EXPECT_TRUE(QFileInfo::exists(file)) << row.name;
    }
}

TEST_F(MainWindow, ANamedPipeIsRefusedAtOnceOnEveryRoad)
{
    const QString good = writeBmp("scene.bmp", 40, 30);
    loadByDialog(good);
    ASSERT_EQ(w->picwidth, 40);
    // The loaded file's name now belongs to a pipe; another pipe has a picture's name.
    std::filesystem::remove(good.toStdString());
    ASSERT_EQ(::mkfifo(good.toLocal8Bit().constData(), 0600), 0);
    const QString pipe = QString::fromStdString(dir.file("x.png"));
    ASSERT_EQ(::mkfifo(pipe.toLocal8Bit().constData(), 0600), 0);

    const std::pair<const char*, std::function<void()>> roads[] = {
        {"reload", [&] { QTest::mouseClick(w->Loadpic, Qt::LeftButton, Qt::ControlModifier); }},
        {"dialog", [&] { loadByDialog(pipe); }},
        {"drop", [&] { dropOn(w->mainimage, {pipe}); }},
    };
    for (const auto& [name, road] : roads) {
        errors.texts.clear();
        test::DialogScript noDialog([&](const DialogRequest&) {  // the dialog road answers itself
            ADD_FAILURE() << name << ": a dialog opened";
            return DialogAnswer::cancel();
        });
        road();
        const QString shown = std::string(name).starts_with("reload") ? good : pipe;
        EXPECT_EQ(errors.texts, QStringList({"ファイル " + shown + " は開けません."})) << name;
        EXPECT_EQ(w->picwidth, 40) << name;
        EXPECT_EQ(w->lastfile, good) << name;
    }
}

TEST_F(MainWindow, WithoutAutoResetANarrowerPictureTrimsTheFarEdges)
{
    loadByDialog(writeBmp("wide.bmp", 100, 80));
    type(w->edgexl, "10");
    type(w->edgexr, "90");
    type(w->edgeyu, "20");
    type(w->edgeyb, "70");
    ASSERT_EQ(area(), (Area{10, 90, 20, 70}));
    ASSERT_EQ(w->areax->position(), 50);
    w->autoreset->trigger();
    ASSERT_FALSE(w->autoreset->isChecked());

    // The ruler's thumb moves inside the lowering of its maximum, before the
    // spin ranges follow the new picture.
    QStringList seen;  // what the first change saw
    QObject::connect(w->areax, &TrackBar::changed, w, [&] {
        if (seen.isEmpty())
            seen << QString::number(w->picwidth) << QString::number(w->workbmp.width())
                 << QString::number(w->areax->width()) << QString::number(w->areax->position())
                 << QString::number(w->UpDownX->maximum()) << w->originx->text();
    });
    loadByDialog(writeBmp("narrow.bmp", 40, 100));
    EXPECT_EQ(seen, QStringList({"40", "40", "66", "40", "100", "X : 100"}));
    EXPECT_EQ(area(), (Area{10, 40, 20, 70}));
    EXPECT_EQ(fieldTexts(), QStringList({"10", "30", "40", "20", "50", "70"}));
    EXPECT_EQ(marker(), markerFor({10, 40, 20, 70}));

    // A picture at least as large keeps the area.
    loadByDialog(writeBmp("large.bmp", 200, 150));
    EXPECT_EQ(area(), (Area{10, 40, 20, 70}));
    EXPECT_EQ(w->UpDownxr->maximum(), 200);
}

// A picture that ends before the area starts: pulling the far edge in alone
// would leave it one past the near edge, beyond the new border. The area
// becomes the picture's last column (row) instead; a near edge that still
// fits stays where it is.
TEST_F(MainWindow, WithoutAutoResetAPictureEndingBeforeTheAreaKeepsItInside)
{
    loadByDialog(writeBmp("wide.bmp", 100, 80));
    type(w->edgexl, "60");
    type(w->edgexr, "90");
    type(w->edgeyu, "30");
    type(w->edgeyb, "70");
    w->autoreset->trigger();
    ASSERT_FALSE(w->autoreset->isChecked());

    loadByDialog(writeBmp("small.bmp", 40, 30));
    EXPECT_EQ(area(), (Area{39, 40, 29, 30}));
    EXPECT_EQ(fieldTexts(), QStringList({"39", "1", "40", "29", "1", "30"}));
    EXPECT_EQ(marker(), markerFor({39, 40, 29, 30}));
    EXPECT_EQ(w->areax->position(), 39);
    EXPECT_EQ(w->areay->position(), 29);

    type(w->edgexl, "20");
    type(w->edgexr, "40");
    loadByDialog(writeBmp("narrower.bmp", 21, 30));
    EXPECT_EQ(area(), (Area{20, 21, 29, 30}));
    EXPECT_EQ(fieldTexts(), QStringList({"20", "1", "21", "29", "1", "30"}));
    EXPECT_EQ(marker(), markerFor({20, 21, 29, 30}));
}

// Before the first picture the rulers hold the window's own 0..300, which
// no field shows: the first picture is the whole area, reset or not.
TEST_F(MainWindow, WithoutAutoResetTheFirstPictureIsStillTheWholeArea)
{
    w->autoreset->trigger();
    ASSERT_FALSE(w->autoreset->isChecked());
    loadByDialog(writeBmp("first.bmp", 500, 120));
    EXPECT_EQ(area(), (Area{0, 500, 0, 120}));
    EXPECT_EQ(fieldTexts(), QStringList({"0", "500", "500", "0", "120", "120"}));
    EXPECT_EQ(marker(), markerFor({0, 500, 0, 120}));
    EXPECT_EQ(w->areax->position(), 250);
    EXPECT_EQ(w->areay->position(), 60);
}

// A drop keeps the focus where it is: with the bottom edge's mode on, the
// lowered maximum moves the thumb, which pulls the bottom edge in to the
// new border past the upper edge. The load then keeps the area inside.
TEST_F(MainWindow, WithoutAutoResetALoadInAFarEdgeModeKeepsTheAreaInside)
{
    loadByDialog(writeBmp("tall.bmp", 200, 500));
    type(w->edgeyu, "300");
    type(w->edgeyb, "400");
    w->autoreset->trigger();
    QTest::mouseClick(w->YB, Qt::LeftButton);
    ASSERT_TRUE(w->areay->hasFocus());
    ASSERT_EQ(dropOn(w->mainimage, {writeBmp("short.bmp", 100, 142)}), Qt::CopyAction);
    EXPECT_EQ(area(), (Area{0, 100, 141, 142}));
    EXPECT_EQ(fieldTexts(), QStringList({"0", "100", "100", "141", "1", "142"}));
    EXPECT_EQ(marker(), markerFor({0, 100, 141, 142}));
}

// ---------------------------------------------------------------------------
// The cut area

TEST_F(MainWindow, ApplyingAFieldClampsAsTheRulesSay)
{
    struct Step {
        EditField* Tloadcut::*field;
        const char* text;
    };
    struct Row {
        const char* name;
        std::vector<Step> steps;
        Area area;
        QStringList fields;
    };
    const Row rows[] = {
        {"left edge at the right edge gives one column", {{&Tloadcut::edgexl, "100"}},
         {99, 100, 0, 80}, {"99", "1", "100", "0", "80", "80"}},
        {"left edge of 0 is accepted", {{&Tloadcut::edgexl, "30"}, {&Tloadcut::edgexl, "0"}},
         {0, 100, 0, 80}, {"0", "100", "100", "0", "80", "80"}},
        {"right edge beyond the picture stops at its width", {{&Tloadcut::edgexr, "500"}},
         {0, 100, 0, 80}, {"0", "100", "100", "0", "80", "80"}},
        {"right edge left of the left edge gives one column",
         {{&Tloadcut::edgexl, "30"}, {&Tloadcut::edgexr, "20"}},
         {30, 31, 0, 80}, {"30", "1", "31", "0", "80", "80"}},
        {"width past the border is reduced", {{&Tloadcut::edgexl, "30"}, {&Tloadcut::sizex, "90"}},
         {30, 100, 0, 80}, {"30", "70", "100", "0", "80", "80"}},
        {"width near 2^31 stops at the border without wrapping",
         {{&Tloadcut::edgexl, "30"}, {&Tloadcut::sizex, "2147483647"}},
         {30, 100, 0, 80}, {"30", "70", "100", "0", "80", "80"}},
        {"upper edge below the bottom edge gives one row", {{&Tloadcut::edgeyu, "95"}},
         {0, 100, 79, 80}, {"0", "100", "100", "79", "1", "80"}},
        {"bottom edge above the upper edge gives one row",
         {{&Tloadcut::edgeyu, "50"}, {&Tloadcut::edgeyb, "7"}},
         {0, 100, 50, 51}, {"0", "100", "100", "50", "1", "51"}},
        {"height past the border is reduced", {{&Tloadcut::edgeyu, "50"}, {&Tloadcut::sizey, "31"}},
         {0, 100, 50, 80}, {"0", "100", "100", "50", "30", "80"}},
        {"height near 2^31 stops at the border without wrapping",
         {{&Tloadcut::edgeyu, "1"}, {&Tloadcut::sizey, "2147483647"}},
         {0, 100, 1, 80}, {"0", "100", "100", "1", "79", "80"}},
        {"negative left edge is refused and kept", {{&Tloadcut::edgexl, "-3"}},
         {0, 100, 0, 80}, {"-3", "100", "100", "0", "80", "80"}},
        {"right edge of 0 is refused and kept", {{&Tloadcut::edgexr, "0"}},
         {0, 100, 0, 80}, {"0", "100", "0", "0", "80", "80"}},
        {"width of 0 is refused and kept", {{&Tloadcut::sizex, "0"}},
         {0, 100, 0, 80}, {"0", "0", "100", "0", "80", "80"}},
        {"negative width is refused and kept", {{&Tloadcut::sizex, "-3"}},
         {0, 100, 0, 80}, {"0", "-3", "100", "0", "80", "80"}},
        {"letters in the height are refused and kept", {{&Tloadcut::sizey, "abc"}},
         {0, 100, 0, 80}, {"0", "100", "100", "0", "abc", "80"}},
    };
    loadByDialog(writeBmp("pic.bmp", 100, 80));
    for (const Row& row : rows) {
        QTest::keyClick(w, Qt::Key_Escape);
        for (const Step& step : row.steps)
            type(w->*step.field, QString::fromUtf8(step.text));
        EXPECT_EQ(area(), row.area) << row.name;
        EXPECT_EQ(fieldTexts(), row.fields) << row.name;
        EXPECT_EQ(marker(), markerFor(row.area)) << row.name;
        if (!fieldTexts().contains("abc") && !fieldTexts().contains("-3") && fieldTexts()[1] != "0") {
            EXPECT_EQ(w->areax->position(), row.area.xl + (row.area.xr - row.area.xl) / 2) << row.name;
            EXPECT_EQ(w->areay->position(), row.area.yu + (row.area.yb - row.area.yu) / 2) << row.name;
        }
        EXPECT_TRUE(noControlHasFocus()) << row.name;
    }
    EXPECT_TRUE(errors.texts.isEmpty());
}

TEST_F(MainWindow, EnterAppliesItsOwnFieldOnly)
{
    loadByDialog(writeBmp("pic.bmp", 100, 80));
    struct Row {
        EditField* Tloadcut::*field;
        const char* text;
        Area area;
    };
    const Row rows[] = {
        {&Tloadcut::edgexl, "10", {10, 100, 0, 80}}, {&Tloadcut::sizex, "50", {0, 50, 0, 80}},
        {&Tloadcut::edgexr, "60", {0, 60, 0, 80}},   {&Tloadcut::edgeyu, "5", {0, 100, 5, 80}},
        {&Tloadcut::sizey, "40", {0, 100, 0, 40}},   {&Tloadcut::edgeyb, "70", {0, 100, 0, 70}},
    };
    for (const Row& row : rows) {
        QTest::keyClick(w, Qt::Key_Escape);
        // Another field holds text not yet applied; Enter elsewhere leaves it be.
        const bool xAxis = row.field == &Tloadcut::edgexl || row.field == &Tloadcut::sizex ||
                           row.field == &Tloadcut::edgexr;
        EditField* other = xAxis ? w->sizey : w->sizex;
        other->setText(QStringLiteral("7"));
        type(w->*row.field, QString::fromUtf8(row.text));
        EXPECT_EQ(area(), row.area) << (w->*row.field)->objectName().toStdString();
        EXPECT_EQ(other->text(), QStringLiteral("7"));
        EXPECT_TRUE(noControlHasFocus()) << (w->*row.field)->objectName().toStdString();
    }
}

TEST_F(MainWindow, LeavingAFieldCommitsWhatWasTyped)
{
    loadByDialog(writeBmp("pic.bmp", 100, 80));

    type(w->edgexl, "25", false);
    QTest::mouseClick(w->client, Qt::LeftButton, {}, QPoint(500, 12));  // the window's background
    EXPECT_EQ(w->xl(), 25);
    EXPECT_TRUE(noControlHasFocus());

    type(w->edgeyu, "15", false);
    QTest::mouseClick(w->view->client(), Qt::LeftButton, {}, QPoint(w->view->client()->width() - 5,
                                                                         w->view->client()->height() - 5));
    EXPECT_EQ(w->yu(), 15);

    type(w->sizex, "30", false);
    QTest::keyClick(w->sizex, Qt::Key_Tab);
    EXPECT_EQ(area(), (Area{25, 55, 15, 80}));
    EXPECT_EQ(w->edgexr->text(), QStringLiteral("55"));  // the next field was not applied
    EXPECT_TRUE(noControlHasFocus());
    EXPECT_EQ(marker(), markerFor(area()));

    // A click on a label is no click on the background.
    type(w->sizey, "10", false);
    QTest::mouseClick(w->Label3, Qt::LeftButton);
    EXPECT_TRUE(w->sizey->hasFocus());
    EXPECT_EQ(w->yb(), 80);
}

TEST_F(MainWindow, SpinButtonsStepTheFieldAndApplyIt)
{
    loadByDialog(writeBmp("pic.bmp", 100, 80));
    auto click = [](SpinButtons* spin, SpinButtons::Arrow arrow) {
        QTest::mouseClick(spin, Qt::LeftButton, {}, spin->arrowRect(arrow).center());
    };
    type(w->edgexl, "10");
    click(w->UpDownxl, SpinButtons::Arrow::Next);
    EXPECT_EQ(area(), (Area{11, 100, 0, 80}));
    EXPECT_EQ(w->sizex->text(), QStringLiteral("89"));
    EXPECT_EQ(marker(), markerFor(area()));

    // At its maximum (width - 1) the left edge stays.
    type(w->edgexl, "99");
    click(w->UpDownxl, SpinButtons::Arrow::Next);
    EXPECT_EQ(w->xl(), 99);
    EXPECT_EQ(w->edgexl->text(), QStringLiteral("99"));

    // The upper arrow of a vertical spin button moves the edge up.
    type(w->edgeyu, "10");
    click(w->UpDownyu, SpinButtons::Arrow::Next);
    EXPECT_EQ(w->yu(), 9);
    click(w->UpDownY, SpinButtons::Arrow::Previous);
    EXPECT_EQ(w->yb(), 80);  // 72 rows would pass the border: kept at 71
    EXPECT_EQ(w->sizey->text(), QStringLiteral("71"));
}
