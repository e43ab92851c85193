#include "zelvano.h"

#include <QColor>
#include <QDesktopServices>
#include <QFont>
#include <QImage>
#include <QPalette>
#include <QPixmap>
#include <QStringList>
#include <QUrl>

#include <cmath>

#include "toolkit/controlfactory.h"
#include "toolkit/handlers.h"

using namespace clipora;

namespace {

// The window's picture, 41 by 24 pixels over a palette of its own: a small
// landscape under a blue sky with a dashed cut marker around its middle.
QImage makeEmblem()
{
    constexpr int width = 41;
    constexpr int height = 24;
    QImage image(width, height, QImage::Format_Indexed8);
    QList<QRgb> palette;
    auto indexOf = [&palette](QRgb colour) {
        const auto found = palette.indexOf(colour);
        if (found >= 0)
            return static_cast<int>(found);
        palette.append(colour);
        return static_cast<int>(palette.size() - 1);
    };
    auto put = [&](int x, int y, QRgb colour) {
        if (x >= 0 && x < width && y >= 0 && y < height)
            image.setPixel(x, y, static_cast<uint>(indexOf(colour)));
    };
    image.setColorCount(256);  // room for every colour; trimmed below

    for (int y = 0; y < height; ++y) {
        // Sky fading from deep blue at the top to pale blue at the horizon.
        const int sky = 255 - 4 * y;
        for (int x = 0; x < width; ++x)
            put(x, y, qRgb(90 + 5 * y, 150 + 3 * y, sky > 200 ? sky : 200));
    }
    // The sun: a disc of radius 4 at (31, 6).
    for (int y = 2; y <= 10; ++y)
        for (int x = 27; x <= 35; ++x)
            if ((x - 31) * (x - 31) + (y - 6) * (y - 6) <= 16)
                put(x, y, qRgb(255, 214, 64));
    // Two hills, the nearer one darker.
    for (int x = 0; x < width; ++x) {
        const int far = 15 - static_cast<int>(std::lround(3.0 * std::sin((x + 4) * 0.21)));
        const int nearTop = 19 - static_cast<int>(std::lround(2.0 * std::sin((x - 6) * 0.17)));
        for (int y = far; y < height; ++y)
            put(x, y, qRgb(104, 176, 88));
        for (int y = nearTop; y < height; ++y)
            put(x, y, qRgb(46, 122, 52));
    }
    // The cut marker: a one-pixel frame from (6, 4) to (26, 20), dashed
    // black and white in runs of two pixels.
    auto dash = [](int step) { return (step / 2) % 2 == 0 ? qRgb(0, 0, 0) : qRgb(255, 255, 255); };
    int step = 0;
    for (int x = 6; x <= 26; ++x, ++step)
        put(x, 4, dash(step));
    for (int y = 5; y <= 20; ++y, ++step)
        put(26, y, dash(step));
    for (int x = 25; x >= 6; --x, ++step)
        put(x, 20, dash(step));
    for (int y = 19; y >= 5; --y, ++step)
        put(6, y, dash(step));

    image.setColorTable(palette);
    return image;
}

// Labels size themselves to their caption from their top-left corner, so a
// face a little wider than the one the window was laid out for cuts nothing off.
void placeSizedToText(QLabel* label, int left, int top)
{
    label->adjustSize();
    label->move(left, top);
}

}  // namespace

Tzelvano::Tzelvano(QWidget* parent) : QWidget(parent, Qt::Tool)
{
    setObjectName("zelvano");
    setWindowTitle(QStringLiteral("ヘルプ"));
    setFixedSize(305, 228);  // client area; a tool window the user cannot resize
    setFont(windowFont(12));

    StaticText1 = new TStaticText(this);
    StaticText1->setObjectName("StaticText1");
    StaticText1->setGeometry(4, 4, 297, 165);

    Label1 = new QLabel(QStringLiteral("Version 3.3"), this);
    Label1->setObjectName("Label1");
    Label1->setFont(windowFont(13));
    placeSizedToText(Label1, 8, 172);

    Label2 = new QLabel(QStringLiteral("ZELVANO"), this);
    Label2->setObjectName("Label2");
    Label2->setFont(windowFont(13));
    placeSizedToText(Label2, 128, 172);

    Label3 = new TClickLabel(webPage(), this);
    Label3->setObjectName("Label3");
    Label3->setTextFormat(Qt::PlainText);
    Label3->setFont(windowFont(12));
    placeSizedToText(Label3, 112, 188);
    QPalette blue = Label3->palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
    Label3->setPalette(blue);
    Label3->setCursor(Qt::PointingHandCursor);
    connect(Label3, &TClickLabel::clicked, this, guarded(this, &Tzelvano::Label3Click));

    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    const QPixmap emblem = QPixmap::fromImage(makeEmblem());
    Image1->setPixmap(emblem);
    Image1->setGeometry(176, 204, emblem.width(), emblem.height());

    FormCreate();
}

QString Tzelvano::webPage()
{
    return QStringLiteral("https://clipora.example/");
}

QString Tzelvano::helpText()
{
    static const QStringList lines = {
        QStringLiteral("１．ドラッグ＆ドロップでも画像ファイルをロードできます。"),
        QStringLiteral("２．Ctrl＋画像上クリック→ドラッグで"),
        QStringLiteral("　　選択範囲を直接指定できます。"),
        QStringLiteral("３．Ctrl＋｢ロード」ボタンクリックでも"),
        QStringLiteral("　　画像を再ロードできます。"),
        QStringLiteral("４．Ctrl＋｢カット＆保存」ボタンクリックでも"),
        QStringLiteral("　　保存せずに選択範囲だけを切り抜くことができます。"),
        QStringLiteral("　　元に戻すには２．の方法で再ロードしてください。"),
        QStringLiteral("５．メニュー「選択範囲」の「ロード時自動リセット」を"),
        QStringLiteral("　　ONにしておくと画像ロードやサイズ変更時に"),
        QStringLiteral("　　選択範囲が画像全体になります。"),
        QStringLiteral("６．範囲スライドバーはフォーカス時に"),
        QStringLiteral("　　カーソルキーでも動かせます。"),
    };
    return lines.join(QStringLiteral("\r\n"));
}

void Tzelvano::FormCreate()
{
    StaticText1->setText(helpText());
}

void Tzelvano::Label3Click()
{
    QDesktopServices::openUrl(QUrl(webPage()));
}
