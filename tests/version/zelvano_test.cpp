#include <QApplication>
#include <QDesktopServices>
#include <QImage>
#include <QObject>
#include <QPixmap>
#include <QStringList>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

#include "version/zelvano.h"

namespace {

// Stands in for the browser: remembers every address the desktop was asked to open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    UrlCatcher()
    {
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "open");
        QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "open");
    }
    ~UrlCatcher() override
    {
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    }
    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened.append(url); }
};

}  // namespace

TEST(Zelvano, ShowsTheThirteenLinesOfHelpJoinedByCrLfFromTheStart)
{
    Tzelvano zelvano;
    const QString text = zelvano.StaticText1->text();
    EXPECT_EQ(text, Tzelvano::helpText());
    EXPECT_FALSE(text.contains(QStringLiteral("StaticText1")));
    EXPECT_FALSE(text.endsWith(QStringLiteral("\n")));
    EXPECT_EQ(text.count(QStringLiteral("\r\n")), 12);
    EXPECT_EQ(text.count(QLatin1Char('\n')), 12);  // no bare line feeds besides

    const QStringList lines = text.split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 13);
    EXPECT_EQ(lines[0], QStringLiteral("１．ドラッグ＆ドロップでも画像ファイルをロードできます。"));
    EXPECT_EQ(lines[3], QStringLiteral("３．Ctrl＋\uFF62ロード」ボタンクリックでも"));
    EXPECT_EQ(lines[5], QStringLiteral("４．Ctrl＋\uFF62カット＆保存」ボタンクリックでも"));
    EXPECT_EQ(lines[12], QStringLiteral("　　カーソルキーでも動かせます。"));
    // Items start with a full-width digit; their continuations with two ideographic spaces.
    for (int i : {2, 4, 6, 7, 9, 10, 12})
        EXPECT_TRUE(lines[i].startsWith(QStringLiteral("\u3000\u3000"))) << "line " << i + 1;
    for (int i : {0, 1, 3, 5, 8, 11})
        EXPECT_FALSE(lines[i].startsWith(QChar(0x3000))) << "line " << i + 1;
    // All thirteen lines fit the box, the widest one included.
    EXPECT_LE(13 * zelvano.StaticText1->linePitch(), zelvano.StaticText1->contentsRect().height());
    for (const QString& line : lines)
        EXPECT_LE(zelvano.StaticText1->fontMetrics().horizontalAdvance(line),
                  zelvano.StaticText1->contentsRect().width())
            << line.toStdString();
}

TEST(Zelvano, IsAFixedSizeToolWindowWithVersionMakerLinkAndPicture)
{
    Tzelvano zelvano;
    EXPECT_EQ(zelvano.objectName(), QStringLiteral("zelvano"));
    EXPECT_EQ(zelvano.windowTitle(), QStringLiteral("ヘルプ"));
    EXPECT_EQ(zelvano.windowType(), Qt::Tool);
    EXPECT_EQ(zelvano.minimumSize(), QSize(305, 228));
    EXPECT_EQ(zelvano.maximumSize(), QSize(305, 228));
    EXPECT_FALSE(zelvano.isVisible());

    EXPECT_EQ(zelvano.Label1->text(), QStringLiteral("Version 3.3"));
    EXPECT_EQ(zelvano.Label2->text(), QStringLiteral("ZELVANO"));
    EXPECT_EQ(zelvano.Label3->text(), Tzelvano::webPage());
    EXPECT_TRUE(QUrl(Tzelvano::webPage(), QUrl::StrictMode).isValid());
    EXPECT_EQ(zelvano.Label3->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(zelvano.StaticText1->geometry(), QRect(4, 4, 297, 165));
    EXPECT_EQ(zelvano.Label1->pos(), QPoint(8, 172));
    EXPECT_EQ(zelvano.Label2->pos(), QPoint(128, 172));
    EXPECT_EQ(zelvano.Label3->pos(), QPoint(112, 188));
    for (QLabel* label : {zelvano.Label1, zelvano.Label2, static_cast<QLabel*>(zelvano.Label3)})
        EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text())) << label->objectName().toStdString();

    const QPixmap picture = zelvano.Image1->pixmap();
    EXPECT_EQ(picture.size(), QSize(41, 24));
    EXPECT_EQ(zelvano.Image1->geometry(), QRect(176, 204, 41, 24));
    const QImage image = picture.toImage();
    EXPECT_NE(image.pixel(0, 0), image.pixel(20, 22)) << "the picture is not blank";
}

TEST(Zelvano, ClickingTheAddressOpensItAndNothingElseDoes)
{
    UrlCatcher browser;
    Tzelvano zelvano;
    zelvano.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&zelvano));

    QTest::mouseClick(zelvano.Label1, Qt::LeftButton);
    QTest::mouseClick(zelvano.Label2, Qt::LeftButton);
    QTest::mouseClick(zelvano.Image1, Qt::LeftButton);
    QTest::mouseClick(zelvano.StaticText1, Qt::LeftButton);
    QTest::mouseClick(zelvano.Label3, Qt::RightButton);
    EXPECT_TRUE(browser.opened.isEmpty());

    QTest::mouseClick(zelvano.Label3, Qt::LeftButton);
    ASSERT_EQ(browser.opened.size(), 1);
    EXPECT_EQ(browser.opened[0], QUrl(Tzelvano::webPage()));
    EXPECT_EQ(browser.opened[0].toString(), zelvano.Label3->text());
    EXPECT_TRUE(zelvano.isVisible()) << "the window stays as it was";
}

TEST(Zelvano, PressOnTheAddressReleasedElsewhereOpensNothing)
{
    UrlCatcher browser;
    Tzelvano zelvano;
    zelvano.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&zelvano));
    QTest::mousePress(zelvano.Label3, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(zelvano.Label3, Qt::LeftButton, {}, QPoint(5, 40));
    EXPECT_TRUE(browser.opened.isEmpty());
}

TEST(Zelvano, ClosingHidesItAndShowingAgainKeepsTextAndPlace)
{
    Tzelvano zelvano;
    zelvano.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&zelvano));
    zelvano.move(140, 90);
    const QPoint place = zelvano.pos();

    EXPECT_TRUE(zelvano.close());
    EXPECT_FALSE(zelvano.isVisible());

    zelvano.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&zelvano));
    EXPECT_EQ(zelvano.pos(), place);
    EXPECT_EQ(zelvano.size(), QSize(305, 228));
    EXPECT_EQ(zelvano.StaticText1->text(), Tzelvano::helpText());
    EXPECT_EQ(zelvano.Label3->text(), Tzelvano::webPage());
}

#include "zelvano_test.moc"
