// Paste from and copy to another program through a real X clipboard: xclip
// offers a PNG, the main window pastes it, copies an area, and xclip reads
// the area back as PNG and as BMP. Runs under its own X server (see
// run-under-xvfb.sh); the main window keeps its event loop running while
// xclip asks, as the owner of the clipboard must.

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <gtest/gtest.h>

#include "app/startup.h"
#include "imaging/codecs.h"
#include "load/loadcut.h"
#include "tests/support/testsupport.h"
#include "tests/toolkit/toolkittest.h"
#include "toolkit/editfield.h"
#include "reader/picturereader.h"

using namespace clipora;

namespace {

struct XclipRun {
    int exitCode = -1;
    QByteArray output;
    QByteArray errors;
};

// Runs xclip with `arguments`, serving the event loop until it ends.
XclipRun xclip(const QStringList& arguments, bool keepOutput = true)
{
    QProcess process;
    if (!keepOutput)  // `xclip -i` stays behind to serve the selection: leave it no pipe to hold
        process.setStandardOutputFile(QProcess::nullDevice());
    process.start(QStringLiteral("xclip"), arguments);
    XclipRun run;
    if (!process.waitForStarted(10000))
        return run;
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 20000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.output = process.readAllStandardOutput();
    run.errors = process.readAllStandardError();
    return run;
}

ByteView viewOf(const QByteArray& bytes)
{
    return {reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())};
}

// Waits until the clipboard, as this program sees it, offers `format`:
// `xclip -i` takes the selection only after its first process has ended.
bool clipboardOffers(const char* format)
{
    return QTest::qWaitFor(
        [&] {
            const QMimeData* data = QGuiApplication::clipboard()->mimeData();
            return data && data->hasFormat(QString::fromLatin1(format));
        },
        10000);
}

// Picks a menu item as an event of the event loop, so that an error it
// raises reaches the error box as it does for a user. (Without a window
// manager the window never becomes active, so its shortcuts cannot be used.)
void choose(QAction* item)
{
    QMetaObject::invokeMethod(item, &QAction::trigger, Qt::QueuedConnection);
    QCoreApplication::processEvents();
}

void type(EditField* field, const QString& text)
{
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(field, text);
    QTest::keyClick(field, Qt::Key_Return);
}

}  // namespace

TEST(ClipboardX11, PastesWhatXclipOffersAndCopiesAnAreaXclipReadsBack)
{
    if (QGuiApplication::platformName() != QStringLiteral("xcb"))
        GTEST_SKIP() << "needs an X display: run through the CTest entry, which starts one";
    ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("xclip")).isEmpty())
        << "xclip is not installed (it is listed in scripts/packages.txt)";

    test::TempDir dir;
    test::ErrorBoxRecorder errors;
    const Bitmap24 offered = test::randomBitmap(120, 80, 21);
    test::writeBytes(dir.file("offered.png"), encodePng(offered));
    const XclipRun put = xclip({"-selection", "clipboard", "-t", "image/png", "-i", QString::fromStdString(dir.file("offered.png"))},
                          false);
    ASSERT_EQ(put.exitCode, 0) << put.errors.toStdString();
    ASSERT_TRUE(clipboardOffers("image/png"));

    const auto windows = createWindows();
    Tloadcut* w = windows->loadcut.get();
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));

    choose(w->Pastemenu);
    ASSERT_TRUE(errors.texts.isEmpty()) << errors.texts.join(' ').toStdString();
    ASSERT_EQ(w->picwidth, 120);
    ASSERT_EQ(w->picheight, 80);
    EXPECT_TRUE(test::samePixels(offered, w->workbmp));

    type(w->edgexl, QStringLiteral("10"));
    type(w->edgexr, QStringLiteral("110"));
    type(w->edgeyu, QStringLiteral("20"));
    type(w->edgeyb, QStringLiteral("70"));
    ASSERT_EQ(w->xl(), 10);
    ASSERT_EQ(w->xr(), 110);
    ASSERT_EQ(w->yu(), 20);
    ASSERT_EQ(w->yb(), 70);
    choose(w->Copymenu);
    ASSERT_TRUE(errors.texts.isEmpty()) << errors.texts.join(' ').toStdString();

    Bitmap24 expected = offered;
    expected.copyRect(10, 20, 100, 50, 0, 0);
    expected.resize(100, 50);

    const XclipRun targets = xclip({"-selection", "clipboard", "-o", "-t", "TARGETS"});
    ASSERT_EQ(targets.exitCode, 0) << targets.errors.toStdString();
    const QList<QByteArray> offeredTypes = targets.output.split('\n');
    EXPECT_TRUE(offeredTypes.contains("image/png")) << targets.output.toStdString();
    EXPECT_TRUE(offeredTypes.contains("image/bmp")) << targets.output.toStdString();

    const XclipRun png = xclip({"-selection", "clipboard", "-o", "-t", "image/png"});
    ASSERT_EQ(png.exitCode, 0) << png.errors.toStdString();
    EXPECT_TRUE(test::samePixels(expected, decodePng(viewOf(png.output)).pixels));

    const XclipRun bmp = xclip({"-selection", "clipboard", "-o", "-t", "image/bmp"});
    ASSERT_EQ(bmp.exitCode, 0) << bmp.errors.toStdString();
    EXPECT_TRUE(test::samePixels(expected, readBmp(viewOf(bmp.output)).pixels));

    // Text from another program: paste refuses it and changes nothing.
    const XclipRun text = [] {
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(QStringLiteral("xclip"), {"-selection", "clipboard", "-i"});
        process.waitForStarted(10000);
        process.write("only words");
        process.closeWriteChannel();
        XclipRun run;
        if (QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 20000))
            run.exitCode = process.exitCode();
        return run;
    }();
    ASSERT_EQ(text.exitCode, 0);
    ASSERT_TRUE(clipboardOffers("text/plain"));
    choose(w->Pastemenu);
    ASSERT_EQ(errors.texts.size(), 1);
    EXPECT_EQ(errors.texts[0], QStringLiteral("無効なクリップボード フォーマットです."));
    EXPECT_TRUE(test::samePixels(offered, w->workbmp));
}
