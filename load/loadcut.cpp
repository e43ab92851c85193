#include "toolkit/widgetstyle.h"
#include "loadcut.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShowEvent>
#include <QUrl>

#include <algorithm>

#include "load/clientarea.h"
#include "load/cutaxis.h"
#include "load/forms.h"
#include "load/loadrules.h"
#include "toolkit/controlfactory.h"
#include "toolkit/conversions.h"
#include "toolkit/dialogs.h"
#include "toolkit/editfield.h"
#include "toolkit/focus.h"
#include "toolkit/handlers.h"
#include "toolkit/imagecontrol.h"
#include "toolkit/inputstate.h"
#include "reader/picturereader.h"
#include "toolkit/scrollbox.h"
#include "toolkit/shaperect.h"
#include "toolkit/speedbutton.h"
#include "toolkit/spinbuttons.h"
#include "toolkit/trackbar.h"
#include "version/zelvano.h"
#include "zoom/resize.h"

using namespace clipora;

namespace {

// A label on a white ground, used for the picture's size.
void makeWhite(QLabel* label)
{
    label->setAutoFillBackground(true);
    setPaletteColour(label, QPalette::Window, Qt::white);
}

// A field of the cut area or the JPEG quality: Ctrl+C and Ctrl+V stay the
// menu's shortcuts while it has the focus.
EditField* makeNumberField(const char* name, const QString& text, const QString& accessibleName,
                           const QRect& place, QWidget* parent)
{
    EditField* field = makeField(name, text, accessibleName, place, parent);
    field->setWindowShortcuts({QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_V)});
    return field;
}

SpeedButton* makeEdgeButton(const char* name, const QString& caption, const QRect& place, QWidget* parent)
{
    return named(new SpeedButton(caption, parent), name, place);
}

TrackBar* makeRuler(const char* name, Qt::Orientation orientation, const QString& accessibleName, QWidget* parent)
{
    auto* ruler = new TrackBar(orientation, parent);
    ruler->setObjectName(QLatin1String(name));
    ruler->setAccessibleName(accessibleName);
    ruler->setRange(-1, 300);
    ruler->setPosition(150);
    ruler->setSelection(0, 300);
    ruler->setPageStep(0);
    ruler->setTickMarks(TrackBar::TickMarks::BothSides);
    return ruler;
}

QAction* makeItem(const char* name, const QString& caption, QMenu* menu)
{
    QAction* item = menu->addAction(caption);
    item->setObjectName(QLatin1String(name));
    return item;
}

QAction* makeSeparator(const char* name, QMenu* menu)
{
    QAction* item = menu->addSeparator();
    item->setObjectName(QLatin1String(name));
    return item;
}

// The path of a file name as the operating system wants it.
std::string localPath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

Picture readPicture(const QString& path)
{
    return readPictureFile(localPath(path));
}

}  // namespace

Tloadcut::Tloadcut(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("loadcut"));
    setWindowTitle(QStringLiteral("Clipora"));
    setFont(windowFont());

    buildControls();
    buildMenu();
    bindEvents();
    arrangeTabOrder();

    // Outer size 611 by 497 with a frame around it: the client area gets
    // exactly the room for the view at (72, 72) with its described 529 by 377.
    move(207, 154);
    resize(601, 449 + MainMenu->sizeHint().height());
}

Tloadcut::~Tloadcut()
{
    FormDestroy();
}

void Tloadcut::buildControls()
{
    client = new ClientArea(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);

    // Top band.
    Loadpic = makeButton("Loadpic", QStringLiteral("ロード"), {4, 4, 64, 24}, client);
    resizeon = makeButton("resizeon", QStringLiteral("サイズ変更"), {72, 4, 76, 24}, client);
    Label4 = makeLabel("Label4", QStringLiteral("JPEG画質"), {160, 9, 52, 14}, client);
    setPixelSize(Label4, 12);
    jpgq = makeNumberField("jpgq", QStringLiteral("100"), QStringLiteral("JPEG画質"), {214, 5, 36, 22}, client);
    setPixelSize(jpgq, 12);
    UpDownjpgq = makeSpin("UpDownjpgq", Qt::Horizontal, jpgq, 0, 100, 10, 0, {250, 5, 30, 22}, client);
    UpDownjpgq->setMinimum(1);
    UpDownjpgq->setPosition(100);
    savepic = makeButton("savepic", QStringLiteral("カット＆保存"), {292, 4, 92, 24}, client);

    // Band above the picture.
    Label1 = makeLabel("Label1", QStringLiteral("元画像\u3000"), {4, 42, 64, 20}, client);
    makeWhite(Label1);
    setPixelSize(Label1, 16);
    originx = makeLabel("originx", QStringLiteral("X : 300"), {74, 42, 72, 20}, client);
    makeWhite(originx);
    setPaletteColour(originx, QPalette::WindowText, xAxisColour);
    setPixelSize(originx, 16);
    originx->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    XL = makeEdgeButton("XL", QStringLiteral("左端移動"), {150, 40, 62, 24}, client);
    edgexl = makeNumberField("edgexl", QStringLiteral("0"), QStringLiteral("左端"), {216, 40, 48, 24}, client);
    UpDownxl = makeSpin("UpDownxl", Qt::Horizontal, edgexl, 0, 2000, 1, 0, {264, 40, 30, 24}, client);
    Label2 = makeLabel("Label2", QStringLiteral("横サイズ"), {300, 44, 56, 16}, client);
    setPaletteColour(Label2, QPalette::WindowText, xAxisColour);
    setPixelSize(Label2, 13);
    sizex = makeNumberField("sizex", QStringLiteral("0"), QStringLiteral("横サイズ"), {358, 40, 48, 24}, client);
    setPaletteColour(sizex, QPalette::Text, xAxisColour);
    UpDownX = makeSpin("UpDownX", Qt::Horizontal, sizex, 0, 2000, 1, 0, {406, 40, 30, 24}, client);
    edgexr = makeNumberField("edgexr", QStringLiteral("0"), QStringLiteral("右端"), {442, 40, 48, 24}, client);
    UpDownxr = makeSpin("UpDownxr", Qt::Horizontal, edgexr, 0, 2000, 1, 0, {490, 40, 30, 24}, client);
    XR = makeEdgeButton("XR", QStringLiteral("右端移動"), {526, 40, 62, 24}, client);

    // Band left of the picture.
    originy = makeLabel("originy", QStringLiteral("Y : 230"), {2, 76, 68, 20}, client);
    makeWhite(originy);
    setPaletteColour(originy, QPalette::WindowText, yAxisColour);
    setPixelSize(originy, 16);
    originy->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    YU = makeEdgeButton("YU", QStringLiteral("上端移動"), {4, 102, 64, 24}, client);
    edgeyu = makeNumberField("edgeyu", QStringLiteral("0"), QStringLiteral("上端"), {4, 132, 48, 24}, client);
    UpDownyu = makeSpin("UpDownyu", Qt::Vertical, edgeyu, 0, 100, -1, 0, {52, 132, 16, 24}, client);
    Label3 = makeLabel("Label3", QStringLiteral("縦サイズ"), {4, 162, 64, 16}, client);
    setPaletteColour(Label3, QPalette::WindowText, yAxisColour);
    setPixelSize(Label3, 13);
    sizey = makeNumberField("sizey", QStringLiteral("0"), QStringLiteral("縦サイズ"), {4, 180, 48, 24}, client);
    setPaletteColour(sizey, QPalette::Text, yAxisColour);
    UpDownY = makeSpin("UpDownY", Qt::Vertical, sizey, 0, 100, -1, 0, {52, 180, 16, 24}, client);
    edgeyb = makeNumberField("edgeyb", QStringLiteral("0"), QStringLiteral("下端"), {4, 210, 48, 24}, client);
    UpDownyb = makeSpin("UpDownyb", Qt::Vertical, edgeyb, 0, 100, -1, 0, {52, 210, 16, 24}, client);
    YB = makeEdgeButton("YB", QStringLiteral("下端移動"), {4, 240, 64, 24}, client);

    edgeButtons = new SpeedButtonGroup(this);
    edgeButtons->setObjectName(QStringLiteral("group1"));
    for (SpeedButton* button : {XL, XR, YU, YB})
        edgeButtons->addButton(button);

    // The picture area. Later children lie above earlier ones: the rulers and
    // the corner panel above the marker and the guide line, which lie above
    // the picture.
    view = new ScrollBox(client);
    view->setObjectName(QStringLiteral("view"));
    view->setGeometry(72, 72, 529, 377);
    QWidget* box = view->client();
    mainimage = new ImageControl(box);
    mainimage->setObjectName(QStringLiteral("mainimage"));
    mainimage->setAccessibleName(QStringLiteral("画像"));
    mainimage->setGeometry(27, 25, 320, 216);
    shot = new ShapeRect(box);
    shot->setObjectName(QStringLiteral("shot"));
    shot->setPenMode(ShapeRect::PenMode::Not);
    shot->setGeometry(26, 28, 103, 205);
    beam = new ShapeRect(box);
    beam->setObjectName(QStringLiteral("beam"));
    beam->setPenMode(ShapeRect::PenMode::Normal);
    beam->setGeometry(130, 124, 62, 77);
    beam->hide();
    areax = makeRuler("areax", Qt::Horizontal, QStringLiteral("横範囲"), box);
    areax->setGeometry(14, 0, 321, 22);
    areay = makeRuler("areay", Qt::Vertical, QStringLiteral("縦範囲"), box);
    areay->setGeometry(0, 12, 22, 237);
    cover = new QFrame(box);
    cover->setObjectName(QStringLiteral("cover"));
    cover->setAutoFillBackground(true);
    cover->setGeometry(0, 0, 20, 18);

    OpenPictureDialog1 = new OpenPictureDialog(this);
    OpenPictureDialog1->setObjectName(QStringLiteral("OpenPictureDialog1"));
    OpenPictureDialog1->setFilter(QStringLiteral("画像(*.bmp,*,jpg,*gif,*.png)|*.bmp;*.jpg;*.gif;*.png|全部|*.*"));
    SaveDialog1 = new SaveDialog(this);
    SaveDialog1->setObjectName(QStringLiteral("SaveDialog1"));
    SaveDialog1->setFilter(QStringLiteral("BMP|*.bmp|JPEG|*.jpg|GIF|*.gif|PNG|*.png"));
    SaveDialog1->setOverwritePrompt(true);
}

void Tloadcut::buildMenu()
{
    MainMenu = menuBar();
    MainMenu->setObjectName(QStringLiteral("MainMenu"));

    File1 = MainMenu->addMenu(QStringLiteral("ファイル"));
    File1->setObjectName(QStringLiteral("File1"));
    loadmenu = makeItem("loadmenu", QStringLiteral("ロード"), File1);
    loadmenu->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    reloadmenu = makeItem("reloadmenu", QStringLiteral("再ロード"), File1);
    N3 = makeSeparator("N3", File1);
    cutsavemenu = makeItem("cutsavemenu", QStringLiteral("カット＆保存"), File1);
    cutsavemenu->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));

    Edit1 = MainMenu->addMenu(QStringLiteral("編集"));
    Edit1->setObjectName(QStringLiteral("Edit1"));
    resizemenu = makeItem("resizemenu", QStringLiteral("サイズ変更"), Edit1);
    resizemenu->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    cutmenu = makeItem("cutmenu", QStringLiteral("切り抜き"), Edit1);
    N6 = makeSeparator("N6", Edit1);
    Pastemenu = makeItem("Pastemenu", QStringLiteral("ペースト"), Edit1);
    Pastemenu->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    Copymenu = makeItem("Copymenu", QStringLiteral("コピー"), Edit1);
    Copymenu->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    N8 = makeSeparator("N8", Edit1);
    Hflip = makeItem("Hflip", QStringLiteral("左右反転"), Edit1);
    Vflip = makeItem("Vflip", QStringLiteral("上下反転"), Edit1);

    N11 = MainMenu->addMenu(QStringLiteral("選択範囲"));
    N11->setObjectName(QStringLiteral("N11"));
    resetmenu = makeItem("resetmenu", QStringLiteral("リセット"), N11);
    resetmenu->setShortcut(QKeySequence(Qt::Key_Escape));
    N13 = makeSeparator("N13", N11);
    autoreset = makeItem("autoreset", QStringLiteral("ロード時自動リセット"), N11);
    autoreset->setCheckable(true);
    autoreset->setChecked(true);

    Help1 = MainMenu->addMenu(QStringLiteral("ヘルプ"));
    Help1->setObjectName(QStringLiteral("Help1"));
    Helpmenu = makeItem("Helpmenu", QStringLiteral("ヘルプ"), Help1);
    Helpmenu->setShortcut(QKeySequence(Qt::Key_F1));

    // The window's shortcuts work whichever control has the focus.
    for (QAction* item : {loadmenu, cutsavemenu, resizemenu, Pastemenu, Copymenu, resetmenu, Helpmenu})
        item->setShortcutContext(Qt::WindowShortcut);
}

void Tloadcut::bindEvents()
{
    connect(client, &ClientArea::clicked, this, guarded(this, &Tloadcut::outfocus));
    connect(client, &ClientArea::resized, this, guarded(this, &Tloadcut::FormResize));

    connect(Loadpic, &QPushButton::clicked, this, guarded([this] { selectload(Loadpic); }));
    connect(resizeon, &QPushButton::clicked, this, guarded(this, &Tloadcut::resizeonClick));
    connect(savepic, &QPushButton::clicked, this, guarded([this] { savepicClick(savepic); }));

    // Each field is applied when the focus leaves it, on Enter, and after
    // each step of its spin buttons.
    struct FieldBinding {
        EditField* field;
        SpinButtons* spin;
        void (Tloadcut::*apply)();
        void (Tloadcut::*enter)(int);
        void (Tloadcut::*spinClick)();
    };
    const FieldBinding fields[] = {
        {edgexl, UpDownxl, &Tloadcut::edgexlon, &Tloadcut::edgexlenter, &Tloadcut::UpDownxlClick},
        {sizex, UpDownX, &Tloadcut::sizexon, &Tloadcut::sizexenter, &Tloadcut::UpDownXClick},
        {edgexr, UpDownxr, &Tloadcut::edgexron, &Tloadcut::edgexrenter, &Tloadcut::UpDownxrClick},
        {edgeyu, UpDownyu, &Tloadcut::edgeyuon, &Tloadcut::edgeyuenter, &Tloadcut::UpDownyuClick},
        {sizey, UpDownY, &Tloadcut::sizeyon, &Tloadcut::sizeyenter, &Tloadcut::UpDownYClick},
        {edgeyb, UpDownyb, &Tloadcut::edgeybon, &Tloadcut::edgeybenter, &Tloadcut::UpDownybClick},
    };
    for (const FieldBinding& b : fields) {
        connect(b.field, &EditField::entered, this, guarded([this, field = b.field] { enteredControl_ = field; }));
        connect(b.field, &EditField::exited, this, guarded([this, field = b.field, apply = b.apply] {
            if (leaving(field))
                (this->*apply)();
        }));
        connect(b.field, &EditField::keyDown, this,
                guarded([this, enter = b.enter](int key) { (this->*enter)(key); }));
        connect(b.spin, &SpinButtons::clicked, this, guarded(this, b.spinClick));
    }

    connect(XL, &SpeedButton::clicked, this, guarded(this, &Tloadcut::XLRClick));
    connect(XR, &SpeedButton::clicked, this, guarded(this, &Tloadcut::XLRClick));
    connect(XL, &SpeedButton::mouseDown, this, guarded(this, &Tloadcut::XLRMouseDown));
    connect(XR, &SpeedButton::mouseDown, this, guarded(this, &Tloadcut::XLRMouseDown));
    connect(YU, &SpeedButton::clicked, this, guarded(this, &Tloadcut::YUBClick));
    connect(YB, &SpeedButton::clicked, this, guarded(this, &Tloadcut::YUBClick));
    connect(YU, &SpeedButton::mouseDown, this, guarded(this, &Tloadcut::YUBMouseDown));
    connect(YB, &SpeedButton::mouseDown, this, guarded(this, &Tloadcut::YUBMouseDown));

    connect(view, &ScrollBox::canResize, this, guarded(this, &Tloadcut::viewCanResize));
    connect(view, &ScrollBox::clicked, this, guarded(this, &Tloadcut::outfocus));
    connect(view->horizontalScrollBar(), &QScrollBar::valueChanged, this, guarded(this, &Tloadcut::viewScrolled));
    connect(view->verticalScrollBar(), &QScrollBar::valueChanged, this, guarded(this, &Tloadcut::viewScrolled));

    connect(mainimage, &ImageControl::mouseDown, this, guarded(this, &Tloadcut::mainimageMouseDown));
    connect(mainimage, &ImageControl::mouseMove, this, guarded(this, &Tloadcut::mainimageMouseMove));
    connect(mainimage, &ImageControl::mouseUp, this, guarded(this, &Tloadcut::mainimageMouseUp));
    for (ShapeRect* shape : {shot, beam}) {
        connect(shape, &ShapeRect::mouseDown, this,
                guarded([this, shape](const QPoint& pos, Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
                    shotMouseDown(shape, pos, button, modifiers);
                }));
        connect(shape, &ShapeRect::mouseMove, this,
                guarded([this, shape](const QPoint& pos, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
                    shotMouseMove(shape, pos, buttons, modifiers);
                }));
        connect(shape, &ShapeRect::mouseUp, this,
                guarded([this, shape](const QPoint& pos, Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
                    shotMouseUp(shape, pos, button, modifiers);
                }));
    }

    connect(areax, &TrackBar::changed, this, guarded(this, &Tloadcut::areaxtick));
    connect(areax, &TrackBar::entered, this, guarded([this] {
        enteredControl_ = areax;
        areaxEnter();
    }));
    connect(areax, &TrackBar::exited, this, guarded([this] {
        if (leaving(areax))
            areaxExit();
    }));
    connect(areay, &TrackBar::changed, this, guarded(this, &Tloadcut::areaytick));
    connect(areay, &TrackBar::entered, this, guarded([this] {
        enteredControl_ = areay;
        areayEnter();
    }));
    connect(areay, &TrackBar::exited, this, guarded([this] {
        if (leaving(areay))
            areayExit();
    }));

    connect(loadmenu, &QAction::triggered, this, guarded([this] { selectload(loadmenu); }));
    connect(reloadmenu, &QAction::triggered, this, guarded([this] { selectload(reloadmenu); }));
    connect(cutsavemenu, &QAction::triggered, this, guarded([this] { savepicClick(cutsavemenu); }));
    connect(resizemenu, &QAction::triggered, this, guarded(this, &Tloadcut::resizeonClick));
    connect(cutmenu, &QAction::triggered, this, guarded([this] { savepicClick(cutmenu); }));
    connect(Pastemenu, &QAction::triggered, this, guarded(this, &Tloadcut::PastemenuClick));
    connect(Copymenu, &QAction::triggered, this, guarded(this, &Tloadcut::CopymenuClick));
    connect(Hflip, &QAction::triggered, this, guarded(this, &Tloadcut::HflipClick));
    connect(Vflip, &QAction::triggered, this, guarded(this, &Tloadcut::VflipClick));
    connect(resetmenu, &QAction::triggered, this, guarded(this, &Tloadcut::resetClick));
    connect(Helpmenu, &QAction::triggered, this, guarded(this, &Tloadcut::verClick));
}

void Tloadcut::arrangeTabOrder()
{
    // The focus order of the window's controls; the rulers are the view's
    // controls, reached in the view's place.
    const QList<QWidget*> order = {Loadpic, resizeon, savepic, edgexl,   sizex,   edgexr,
                                   edgeyu,  sizey,    edgeyb,  UpDownxl, UpDownX, UpDownxr,
                                   UpDownyu, UpDownY, UpDownyb, areax,   areay,   jpgq,
                                   UpDownjpgq};
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

bool Tloadcut::leaving(QWidget* control)
{
    if (enteredControl_ != control)
        return false;
    enteredControl_ = nullptr;
    return true;
}

int Tloadcut::xl() const { return areax->selStart(); }
int Tloadcut::xr() const { return areax->selEnd(); }
int Tloadcut::yu() const { return areay->selStart(); }
int Tloadcut::yb() const { return areay->selEnd(); }

// ---------------------------------------------------------------------------
// Window events

void Tloadcut::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!created_ && !event->spontaneous()) {
        created_ = true;
        runHandler([this] { creation(); });
    }
}

void Tloadcut::creation()
{
    Label1->resize(Label1->width(), 20);
    imgleft = mainimage->x();
    imgtop = mainimage->y();
    drawing = false;
    moving = false;
    workbmp = Bitmap24();
    setAcceptDrops(true);
    shot->setGeometry(-1, -1, mainimage->width() + 2, mainimage->height() + 2);

    const QScreen* screen = QGuiApplication::primaryScreen();
    const int screenWidth = screen ? screen->geometry().width() : 0;
    const int screenHeight = screen ? screen->geometry().height() : 0;
    if (forms::resize)
        forms::resize->move(screenWidth / 2, y());
    if (forms::zelvano)
        forms::zelvano->move((screenWidth - forms::zelvano->width()) / 2,
                             (screenHeight - forms::zelvano->height()) / 2);
}

void Tloadcut::FormResize()
{
    view->resize(std::max(0, client->width() - view->x()), std::max(0, client->height() - view->y()));
}

void Tloadcut::viewCanResize()
{
    imgleft = mainimage->x();
    imgtop = mainimage->y();
    areax->move(areax->x(), 0);
    areay->move(0, areay->y());
    cover->move(0, 0);
    if (areax->x() != 0)
        scrollx = view->scrollX();
    if (areay->y() != 0)
        scrolly = view->scrollY();
}

void Tloadcut::outfocus()
{
    clearActiveControl(this);
}

void Tloadcut::FormDestroy()
{
    workbmp = Bitmap24();
}

namespace {
// Shows a window without making it modal, or brings it to the front.
void showInFront(QWidget* window)
{
    if (!window)
        return;
    window->show();
    endEventIfEnded();  // an error in the window's opening ends the click
    window->raise();
    window->activateWindow();
}
}  // namespace

void Tloadcut::resizeonClick()
{
    showInFront(forms::resize);
}

void Tloadcut::verClick()
{
    showInFront(forms::zelvano);
}

// ---------------------------------------------------------------------------
// Loading

void Tloadcut::selectload(QObject* sender)
{
    const bool reloadAsked = sender == reloadmenu || (sender == Loadpic && ctrlHeld());
    // Anything but a folder under that name is reloaded, so that a name now
    // taken by a pipe or a device is refused like any file that cannot be read.
    const QFileInfo last(lastfile);
    if (reloadAsked && !lastfile.isEmpty() && last.exists() && !last.isDir()) {
        // The presets and `lastfile` already describe this file.
        mainimage->setPicture(readPicture(lastfile));
        loaded();
        return;
    }
    if (OpenPictureDialog1->execute())
        picload(OpenPictureDialog1->fileName());
}

namespace {
// A drop is taken as a copy only, whatever the source proposes: a source
// told "moved" may delete its file. A source that offers no copy is refused.
bool acceptAsCopy(QDropEvent* event)
{
    if (!event->mimeData()->hasUrls() || !(event->possibleActions() & Qt::CopyAction)) {
        event->ignore();
        return false;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}
}  // namespace

void Tloadcut::dragEnterEvent(QDragEnterEvent* event)
{
    acceptAsCopy(event);
}

void Tloadcut::dragMoveEvent(QDragMoveEvent* event)
{
    acceptAsCopy(event);
}

void Tloadcut::dropEvent(QDropEvent* event)
{
    if (acceptAsCopy(event))
        runHandler([this, event] { dropfile(*event->mimeData()); });
}

void Tloadcut::dropfile(const QMimeData& data)
{
    // The first file of the drop, its path taken whole however long it is.
    const QList<QUrl> urls = data.urls();
    if (urls.isEmpty())
        return;
    picload(urls.first().toLocalFile());
    raise();
    activateWindow();
}

void Tloadcut::picload(const QString& path)
{
    // Read completely before anything changes: a failure leaves all as it was.
    mainimage->setPicture(readPicture(path));
    loaded();
    OpenPictureDialog1->setFileName(path);
    SaveDialog1->setFilterIndex(saveFilterIndexFor(path));
    lastfile = path;
    SaveDialog1->setFileName(withoutExtension(path));
}

void Tloadcut::loaded()
{
    const bool hadPicture = picwidth > 0 && picheight > 0;
    picwidth = mainimage->width();
    picheight = mainimage->height();

    // Transparent pixels become white.
    const Picture& picture = mainimage->picture();
    if (picture.width() == picwidth && picture.height() == picheight) {
        if (!picture.hasTransparency() && workbmp.width() == picwidth && workbmp.height() == picheight)
            workbmp = picture.pixels;  // same size as before: copied into the storage it has
        else
            workbmp = flattenPicture(picture);
    } else {
        workbmp = Bitmap24(picwidth, picheight);
        drawPicture(picture, workbmp);
    }

    // Lowering a ruler's maximum below its thumb moves the thumb, and its
    // change handling runs right here, before the spin ranges follow. An
    // error there (a size field holding refused text) is shown, and the load
    // still finishes: stopping here would leave the new picture with the old
    // area and ranges.
    areax->resize(picwidth + 26, areax->height());
    runAsOwnEvent([this] { areax->setMaximum(picwidth); });
    UpDownX->setMaximum(picwidth);
    UpDownxl->setMaximum(picwidth - 1);
    UpDownxr->setMaximum(picwidth);
    areay->resize(areay->width(), picheight + 26);
    runAsOwnEvent([this] { areay->setMaximum(picheight); });
    UpDownY->setMaximum(picheight);
    UpDownyu->setMaximum(picheight - 1);
    UpDownyb->setMaximum(picheight);

    originx->setText(QStringLiteral("X : ") + QString::number(picwidth));
    originx->resize(originx->width(), 20);
    originy->setText(QStringLiteral("Y : ") + QString::number(picheight));
    originy->resize(originy->width(), 20);

    // The first picture has no area to keep: the rulers' 0..300 of the
    // window's own making is shown in no field and marks nothing on it.
    if (autoreset->isChecked() || !hadPicture) {
        areareset();
        return;
    }
    // Keep the area, pulling a far edge in to a smaller picture (and the
    // near edge too where it lies beyond the new border), then applying the
    // far edge's field, which now shows the border. A ruler in a far-edge
    // mode may already have pulled its far edge in, as its thumb met the
    // lowered maximum, past a near edge it left beyond the border.
    const bool trimX = areax->selEnd() > picwidth || areax->selStart() > areax->selEnd();
    const bool trimY = areay->selEnd() > picheight || areay->selStart() > areay->selEnd();
    // The applies first clear the active control. The control that holds the
    // focus leaves here, as an event of its own: an error in its leaving (a
    // ruler ending its edge mode reads a size field holding refused text) is
    // shown, and the trim still runs on both axes.
    if (trimX || trimY)
        runAsOwnEvent([this] { clearActiveControl(this); });
    if (trimX) {
        CutAxis::x(*this).pullInToPicture();
        edgexron();
    }
    if (trimY) {
        CutAxis::y(*this).pullInToPicture();
        edgeybon();
    }
}

// ---------------------------------------------------------------------------
// The cut area

void Tloadcut::areareset()
{
    CutAxis::x(*this).reset();
    CutAxis::y(*this).reset();
    shot->setGeometry(imgleft - 1, imgtop - 1, picwidth + 2, picheight + 2);
}

void Tloadcut::resetClick()
{
    areareset();
}

// The field handlers; the rules are those of CutAxis.
void Tloadcut::edgexlon()
{
    clearActiveControl(this);
    CutAxis::x(*this).applyLowField();
}

void Tloadcut::edgeyuon()
{
    clearActiveControl(this);
    CutAxis::y(*this).applyLowField();
}

void Tloadcut::edgexron()
{
    clearActiveControl(this);
    CutAxis::x(*this).applyHighField();
}

void Tloadcut::edgeybon()
{
    clearActiveControl(this);
    CutAxis::y(*this).applyHighField();
}

void Tloadcut::sizexon()
{
    clearActiveControl(this);
    CutAxis::x(*this).applySizeField();
}

void Tloadcut::sizeyon()
{
    clearActiveControl(this);
    CutAxis::y(*this).applySizeField();
}

// Enter applies the field; every key goes on to the field as usual.
void Tloadcut::edgexlenter(int key)
{
    if (EditField::isEnterKey(key))
        edgexlon();
}

void Tloadcut::sizexenter(int key)
{
    if (EditField::isEnterKey(key))
        sizexon();
}

void Tloadcut::edgexrenter(int key)
{
    if (EditField::isEnterKey(key))
        edgexron();
}

void Tloadcut::edgeyuenter(int key)
{
    if (EditField::isEnterKey(key))
        edgeyuon();
}

void Tloadcut::sizeyenter(int key)
{
    if (EditField::isEnterKey(key))
        sizeyon();
}

void Tloadcut::edgeybenter(int key)
{
    if (EditField::isEnterKey(key))
        edgeybon();
}

// A spin step has already written the new number into the field.
namespace {
// The arrows of a size or far-edge field reach 0, which the field's apply
// refuses: the field then shows the area's number again, so that no later
// move of the whole area reads the 0 as the area's size.
bool showAreaIfRefused(EditField* field, int areaNumber)
{
    if (toIntLenient(field->text()) > 0)
        return false;
    field->setText(intText(areaNumber));
    return true;
}

// A size shown again puts the thumb back at the middle of the area, as an
// accepted size does (a thumb placed from a refused size may stand apart).
void showSizeIfRefused(const CutAxis& axis)
{
    if (showAreaIfRefused(axis.sizeField(), axis.high() - axis.low()))
        setThumbQuietly(axis.ruler(), axis.middle());
}
}  // namespace

void Tloadcut::UpDownxlClick() { edgexlon(); }
void Tloadcut::UpDownXClick()
{
    sizexon();
    showSizeIfRefused(CutAxis::x(*this));
}
void Tloadcut::UpDownxrClick()
{
    edgexron();
    showAreaIfRefused(edgexr, xr());
}
void Tloadcut::UpDownyuClick() { edgeyuon(); }
void Tloadcut::UpDownYClick()
{
    sizeyon();
    showSizeIfRefused(CutAxis::y(*this));
}
void Tloadcut::UpDownybClick()
{
    edgeybon();
    showAreaIfRefused(edgeyb, yb());
}

// ---------------------------------------------------------------------------
// Mouse selection is in mouse.cpp, edge buttons and rulers in rulers.cpp, cut and
// save in cutsave.cpp, clipboard and flips in clipboardflip.cpp.

