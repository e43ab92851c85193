#include <QAbstractItemView>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include "imaging/codecs.h"
#include "tests/support/testsupport.h"
#include "tests/toolkit/toolkittest.h"
#include "toolkit/dialogs.h"

using namespace clipora;

namespace {

const QString openFilter = QStringLiteral("画像(*.bmp,*,jpg,*gif,*.png)|*.bmp;*.jpg;*.gif;*.png|全部|*.*");
const QString saveFilter = QStringLiteral("BMP|*.bmp|JPEG|*.jpg|GIF|*.gif|PNG|*.png");

QString qpath(const std::string& path) { return QString::fromStdString(path); }

void touch(const std::string& path) { test::writeBytes(path, {1, 2, 3}); }

// Runs `drive` on the modal dialog once it is open.
template <typename Dialog>
void whenOpen(std::function<void(Dialog*)> drive)
{
    QTimer::singleShot(0, [drive] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        drive(dialog);
    });
}

}  // namespace

TEST(DialogFilters, ConvertedToQtFormOnePairPerFilter)
{
    EXPECT_EQ(qtNameFilters(openFilter),
              QStringList({"画像(*.bmp,*,jpg,*gif,*.png) (*.bmp *.jpg *.gif *.png)", "全部 (*)"}));
    EXPECT_EQ(qtNameFilters(saveFilter), QStringList({"BMP (*.bmp)", "JPEG (*.jpg)", "GIF (*.gif)", "PNG (*.png)"}));
    EXPECT_EQ(qtNameFilters(QString()), QStringList());
}

TEST(OpenPictureDialog, AnswererSeesThePresetsAndItsChoiceIsKept)
{
    OpenPictureDialog dialog;
    dialog.setFilter(openFilter);
    dialog.setFileName(QStringLiteral("/pictures/photo.jpg"));
    QList<DialogRequest> requests;
    test::DialogScript script([&](const DialogRequest& request) {
        requests << request;
        return requests.size() == 1 ? DialogAnswer::cancel() : DialogAnswer::choose(QStringLiteral("/other/a.png"));
    });
    EXPECT_FALSE(dialog.execute());
    EXPECT_EQ(dialog.fileName(), QStringLiteral("/pictures/photo.jpg"));
    EXPECT_TRUE(dialog.execute());
    EXPECT_EQ(dialog.fileName(), QStringLiteral("/other/a.png"));
    ASSERT_EQ(requests.size(), 2);
    EXPECT_EQ(requests[0].kind, DialogRequest::Kind::Open);
    EXPECT_EQ(requests[0].filter, openFilter);
    EXPECT_EQ(requests[0].filterIndex, 1);
    EXPECT_EQ(requests[0].fileName, QStringLiteral("/pictures/photo.jpg"));
    EXPECT_EQ(requests[0].title, QStringLiteral("ファイルを開く"));
}

TEST(SaveDialog, OverwriteQuestionOnlyAboutTheNameAsTyped)
{
    test::TempDir dir;
    touch(dir.file("photo.png"));
    touch(dir.file("photo.jpg"));
    SaveDialog dialog;
    dialog.setFilter(saveFilter);
    dialog.setFilterIndex(2);
    dialog.setFileName(qpath(dir.file("photo")));

    QStringList asked;
    bool replace = false;
    QString typed;
    test::DialogScript script([&](const DialogRequest& request) {
        if (request.kind == DialogRequest::Kind::OverwriteQuestion) {
            asked << request.path;
            EXPECT_EQ(request.question, SaveDialog::overwriteQuestion(request.path));
            return replace ? DialogAnswer::yes() : DialogAnswer::cancel();
        }
        EXPECT_EQ(request.kind, DialogRequest::Kind::Save);
        EXPECT_EQ(request.filterIndex, 2);
        return DialogAnswer::choose(typed, 2);
    });

    typed = qpath(dir.file("photo"));  // photo.jpg exists, but "photo" does not: no question
    EXPECT_TRUE(dialog.execute());
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_EQ(dialog.fileName(), typed);

    typed = qpath(dir.file("photo.png"));  // the name as typed exists
    EXPECT_FALSE(dialog.execute());        // "no": nothing chosen
    EXPECT_EQ(dialog.fileName(), qpath(dir.file("photo")));
    replace = true;
    EXPECT_TRUE(dialog.execute());
    EXPECT_EQ(dialog.fileName(), typed);
    EXPECT_EQ(asked, QStringList({typed, typed}));

    dialog.setOverwritePrompt(false);
    asked.clear();
    EXPECT_TRUE(dialog.execute());
    EXPECT_TRUE(asked.isEmpty());
}

TEST(SaveDialog, ChosenFilterIndexIsKept)
{
    SaveDialog dialog;
    dialog.setFilter(saveFilter);
    dialog.setFilterIndex(2);
    test::DialogScript script([](const DialogRequest&) { return DialogAnswer::choose(QStringLiteral("/tmp/none/x"), 4); });
    ASSERT_TRUE(dialog.execute());
    EXPECT_EQ(dialog.filterIndex(), 4);
}

TEST(SaveDialog, RealDialogIsPresetAndAsksInJapaneseAboutTheTypedName)
{
    test::TempDir dir;
    touch(dir.file("photo.png"));
    SaveDialog dialog;
    dialog.setFilter(saveFilter);
    dialog.setFilterIndex(3);
    dialog.setFileName(qpath(dir.file("photo")));

    QStringList seen;
    whenOpen<QFileDialog>([&](QFileDialog* files) {
        seen << files->windowTitle();
        seen << QString::number(files->testOption(QFileDialog::DontUseNativeDialog));
        seen << files->nameFilters().join(u'|');
        // The chosen type as the dialog shows it, without its patterns (Qt
        // 6.8's selectedNameFilter() gives the patterns too, 6.4's does not).
        auto* types = files->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        ASSERT_NE(types, nullptr);
        seen << types->currentText();
        seen << files->directory().absolutePath();
        auto* name = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        seen << name->text();
        name->setText(QStringLiteral("photo.png"));
        // The question about photo.png: "No" keeps the dialog open.
        whenOpen<QMessageBox>([&](QMessageBox* box) {
            seen << box->text();
            box->button(QMessageBox::No)->click();
        });
        QMetaObject::invokeMethod(files, "accept");
        seen << QString::number(files->isVisible());
        whenOpen<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
        files->selectNameFilter(QStringLiteral("PNG (*.png)"));
        QMetaObject::invokeMethod(files, "accept");
    });
    ASSERT_TRUE(dialog.execute());
    EXPECT_EQ(seen, QStringList({"名前を付けて保存", "1", "BMP (*.bmp)|JPEG (*.jpg)|GIF (*.gif)|PNG (*.png)", "GIF",
                                 qpath(dir.path().string()), "photo", SaveDialog::overwriteQuestion(qpath(dir.file("photo.png"))),
                                 "1"}));
    EXPECT_EQ(dialog.fileName(), qpath(dir.file("photo.png")));
    EXPECT_EQ(dialog.filterIndex(), 4);
}

TEST(OpenPictureDialog, RealDialogHasThePreviewPanelAndAcceptsATypedName)
{
    test::TempDir dir;
    OpenPictureDialog dialog;
    dialog.setFilter(openFilter);
    dialog.setFileName(qpath(dir.file("missing.bmp")));
    bool hasPanel = false;
    QString directory;
    whenOpen<QFileDialog>([&](QFileDialog* files) {
        hasPanel = files->findChild<PicturePreviewPanel*>() != nullptr;
        directory = files->directory().absolutePath();
        files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("later.png"));
        QMetaObject::invokeMethod(files, "accept");
    });
    ASSERT_TRUE(dialog.execute());
    EXPECT_TRUE(hasPanel);
    EXPECT_EQ(directory, qpath(dir.path().string()));
    EXPECT_EQ(dialog.fileName(), qpath(dir.file("later.png")));  // need not exist: loading reports it
}

TEST(OpenPictureDialog, TheFilterForEveryFileListsNamesWithoutADotAndReadsAsGiven)
{
    test::TempDir dir;
    for (const char* name : {"README", "notes.txt", "a.png"})
        touch(dir.file(name));
    OpenPictureDialog dialog;
    dialog.setFilter(openFilter);
    dialog.setFileName(qpath(dir.file("a.png")));

    // The names the file list shows as choosable, once it has read the folder.
    const auto listed = [](QFileDialog* files, int count) {
        auto* view = files->findChild<QAbstractItemView*>(QStringLiteral("listView"));
        QStringList names;
        static_cast<void>(QTest::qWaitFor([&] {
            names.clear();
            const QModelIndex root = view->rootIndex();
            for (int row = 0; row < view->model()->rowCount(root); ++row) {
                const QModelIndex item = view->model()->index(row, 0, root);
                if (view->model()->flags(item) & Qt::ItemIsEnabled)
                    names << item.data().toString();
            }
            return names.size() == count;
        }));
        names.sort();
        return names;
    };
    QStringList shownFilters;
    QStringList first, every;
    whenOpen<QFileDialog>([&](QFileDialog* files) {
        auto* types = files->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        ASSERT_NE(types, nullptr);
        for (int i = 0; i < types->count(); ++i)
            shownFilters << types->itemText(i);
        first = listed(files, 1);
        QTest::keyClick(types, Qt::Key_Down);
        every = listed(files, 3);
        files->reject();
    });
    EXPECT_FALSE(dialog.execute());
    EXPECT_EQ(shownFilters, QStringList({"画像(*.bmp,*,jpg,*gif,*.png)", "全部"}));
    EXPECT_EQ(first, QStringList({"a.png"}));
    EXPECT_EQ(every, QStringList({"README", "a.png", "notes.txt"}));
}

TEST(PicturePreviewPanel, ShowsTheSizeOrPictureLabelAndOpensTheLargerPreview)
{
    test::TempDir dir;
    const Bitmap24 picture = test::photoLike(64, 48, 7);
    test::writeBytes(dir.file("photo.bmp"), encodeBmp(picture));
    std::vector<std::uint8_t> broken = encodeBmp(picture);
    broken.resize(broken.size() / 2);  // headers whole, pixels cut short
    test::writeBytes(dir.file("broken.bmp"), broken);
    test::writeBytes(dir.file("notes.txt"), {'h', 'i'});

    PicturePreviewPanel panel;
    panel.show();
    struct Case {
        std::string file;
        QString label;
        bool shown;
    };
    const Case cases[] = {
        {dir.file("photo.bmp"), QStringLiteral("64 x 48"), true},
        {dir.file("broken.bmp"), QStringLiteral("画像:"), false},
        {dir.file("notes.txt"), QStringLiteral("画像:"), false},
        {dir.path().string(), QStringLiteral("画像:"), false},
        {"", QStringLiteral("画像:"), false},
    };
    for (const Case& c : cases) {
        panel.showFile(qpath(c.file));
        EXPECT_EQ(panel.sizeText(), c.label) << c.file;
        EXPECT_EQ(panel.hasPicture(), c.shown) << c.file;
        EXPECT_EQ(panel.previewButton()->isEnabled(), c.shown) << c.file;
    }
    EXPECT_EQ(panel.previewButton()->toolTip(), QStringLiteral("プレビュー"));

    panel.showFile(qpath(dir.file("photo.bmp")));
    QSize previewSize;
    QObject::connect(&panel, &PicturePreviewPanel::previewOpened, [&](QWidget* window) {
        QTimer::singleShot(0, window, [window, &previewSize] {
            previewSize = window->size();
            window->close();
        });
    });
    QTest::mouseClick(panel.previewButton(), Qt::LeftButton);
    EXPECT_GE(previewSize.width(), 64);
    EXPECT_GE(previewSize.height(), 48);
}
