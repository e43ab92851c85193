#include "toolkit/widgetstyle.h"
#include "resize.h"

#include <QCheckBox>
#include <QHideEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QSignalBlocker>

#include <algorithm>
#include <cmath>

#include "toolkit/colordialog.h"
#include "toolkit/colourswatch.h"
#include "toolkit/controlfactory.h"
#include "toolkit/conversions.h"
#include "toolkit/editfield.h"
#include "toolkit/focus.h"
#include "toolkit/handlers.h"
#include "toolkit/messagebox.h"
#include "toolkit/speedbutton.h"
#include "toolkit/spinbuttons.h"
#include "zoom/calc/zoomcalc.h"

using namespace clipora;
using namespace clipora::zoom;

namespace clipora::zoom {

ColourValue colourValue(const QColor& colour)
{
    const QColor rgb = colour.toRgb();
    return ColourValue(Rgb{static_cast<std::uint8_t>(rgb.red()), static_cast<std::uint8_t>(rgb.green()),
                           static_cast<std::uint8_t>(rgb.blue())});
}

}  // namespace clipora::zoom

namespace {

ColourSwatch* makeSwatch(const char* name, const QString& accessibleName, const QRect& place, QWidget* parent)
{
    auto* swatch = named(new ColourSwatch(parent), name, place);
    swatch->setAccessibleName(accessibleName);
    swatch->setColor(Qt::black);
    return swatch;
}

// The decorative pictures: a small frame growing into a larger one, and a
// turning arrow.
QPixmap growingFrames(int width, int height)
{
    QPixmap picture(width, height);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(96, 96, 96), 1, Qt::DashLine));
    painter.drawRect(QRectF(18.5, 8.5, width - 20, height - 10));
    painter.setPen(QPen(QColor(0, 0, 160), 1));
    painter.setBrush(QColor(200, 220, 255));
    painter.drawRect(QRectF(2.5, 2.5, 20, 14));
    painter.setPen(QPen(QColor(160, 0, 0), 2));
    painter.drawLine(QPointF(24, 18), QPointF(width - 8, height - 8));
    QPainterPath head;
    head.moveTo(width - 4, height - 4);
    head.lineTo(width - 13, height - 7);
    head.lineTo(width - 7, height - 13);
    head.closeSubpath();
    painter.fillPath(head, QColor(160, 0, 0));
    return picture;
}

QPixmap turningArrow(int width, int height)
{
    QPixmap picture(width, height);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0, 96, 0), 2));
    painter.drawArc(QRectF(3, 2, width - 8, 2 * height - 6), 30 * 16, 130 * 16);
    QPainterPath head;
    head.moveTo(width - 1, height - 5);
    head.lineTo(width - 8, height - 6);
    head.lineTo(width - 3, height - 12);
    head.closeSubpath();
    painter.fillPath(head, QColor(0, 96, 0));
    return picture;
}

QColor pixelColour(const Bitmap24& bitmap, int x, int y)
{
    const std::uint8_t* p = bitmap.pixel(x, y);
    return QColor(p[2], p[1], p[0]);
}

// R(v) as a decimal text; the value may lie outside the field ranges and
// beyond 32 bits (the field then holds a text the next conversion refuses).
QString roundedText(double v)
{
    return QString::number(static_cast<qint64>(std::nearbyint(v)));
}

}  // namespace

Tresize::Tresize(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("resize"));
    setWindowTitle(QStringLiteral("リサイズ"));
    setFont(windowFont());
    setFixedSize(285, 181);

    buildControls();
    bindEvents();
    arrangeTabOrder();
    FormCreate();
}

Tresize::~Tresize() = default;

void Tresize::setHost(std::unique_ptr<ResizeHost> host)
{
    host_ = std::move(host);
}

void Tresize::buildControls()
{
    originx = makeLabel("originx", QStringLiteral("X : "), {8, 4, 23, 16}, this);
    setPaletteColour(originx, QPalette::WindowText, xAxisColour);
    originy = makeLabel("originy", QStringLiteral("Y : "), {8, 36, 22, 16}, this);
    setPaletteColour(originy, QPalette::WindowText, yAxisColour);
    for (QLabel* label : {originx, originy}) {
        setPixelSize(label, 16);
        label->setAutoFillBackground(true);
        setPaletteColour(label, QPalette::Window, Qt::white);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
    Image1 = makeLabel("Image1", QString(), {74, 10, 60, 46}, this);
    Image1->setPixmap(growingFrames(60, 46));
    Label1 = makeLabel("Label1", QStringLiteral("回転角度"), {8, 104, 64, 16}, this);
    setPixelSize(Label1, 16);
    fillcolor = makeSwatch("fillcolor", QStringLiteral("隙間色の見本"), {166, 130, 20, 20}, this);
    transcolor = makeSwatch("transcolor", QStringLiteral("透明色の見本"), {74, 66, 20, 20}, this);
    transpick = named(new SpeedButton(QStringLiteral("色選択"), this), "transpick", {96, 67, 44, 20});
    transpick->setEnabled(false);
    group2 = new SpeedButtonGroup(this);
    group2->setObjectName(QStringLiteral("group2"));
    group2->addButton(transpick);
    Label2 = makeLabel("Label2", QStringLiteral("選択率"), {152, 70, 36, 12}, this);
    Shape1 = named(new Dot(this), "Shape1", {136, 120, 5, 5});
    Image2 = makeLabel("Image2", QString(), {28, 124, 23, 13}, this);
    Image2->setPixmap(turningArrow(23, 13));

    goresize = makeButton("goresize", QStringLiteral("プレビュー"), {8, 156, 65, 24}, this);
    newsizex = makeField("newsizex", QStringLiteral("1"), QStringLiteral("横サイズ"), {136, 4, 40, 24}, this);
    setPaletteColour(newsizex, QPalette::Text, xAxisColour);
    newsizey = makeField("newsizey", QStringLiteral("1"), QStringLiteral("縦サイズ"), {136, 36, 40, 24}, this);
    setPaletteColour(newsizey, QPalette::Text, yAxisColour);
    UpDownX = makeSpin("UpDownX", Qt::Vertical, newsizex, 1, 2000, 1, 1, {176, 4, 16, 24}, this);
    UpDownY = makeSpin("UpDownY", Qt::Vertical, newsizey, 1, 2000, 1, 1, {176, 36, 16, 24}, this);
    okey = makeButton("okey", QStringLiteral("決定"), {216, 156, 65, 24}, this);
    ratiokeep = makeCheckBox("ratiokeep", QStringLiteral("縦横比維持"), true, {200, 24, 89, 17}, this);
    setPixelSize(ratiokeep, 13);
    cancel = makeButton("cancel", QStringLiteral("キャンセル"), {136, 156, 65, 24}, this);
    degree = makeField("degree", QStringLiteral("0"), QStringLiteral("回転角度"), {76, 100, 40, 24}, this);
    UpDowndeg = makeSpin("UpDowndeg", Qt::Vertical, degree, -180, 180, 90, 0, {116, 100, 16, 24}, this);
    colorset = makeButton("colorset", QStringLiteral("隙間色"), {188, 130, 44, 20}, this);
    intrans = makeCheckBox("intrans", QStringLiteral("透明色"), false, {8, 67, 65, 17}, this);
    edge = makeCheckBox("edge", QStringLiteral("枠補正なし"), true, {80, 132, 73, 17}, this);
    fill = makeField("fill", QStringLiteral("50"), QStringLiteral("選択率"), {192, 64, 32, 24}, this);
    UpDownfill = makeSpin("UpDownfill", Qt::Vertical, fill, 0, 100, 10, 50, {224, 64, 16, 24}, this);
    progress = named(new QProgressBar(this), "progress", {74, 160, 62, 16});
    progress->setAccessibleName(QStringLiteral("進行状況"));
    progress->setRange(0, 100);
    progress->setValue(0);
    progress->setTextVisible(false);
    degreesub = makeField("degreesub", QStringLiteral("0"), QStringLiteral("回転角度 1/100"), {144, 100, 24, 24}, this);
    degreesubUD = makeSpin("degreesubUD", Qt::Vertical, degreesub, 0, 99, 10, 0, {168, 100, 16, 24}, this);

    ColorDg = new ColorDialog(this);
    ColorDg->setObjectName(QStringLiteral("ColorDg"));
}

void Tresize::bindEvents()
{
    connect(goresize, &QPushButton::clicked, this, guarded(this, &Tresize::goresizeClick));
    connect(okey, &QPushButton::clicked, this, guarded(this, &Tresize::okeyClick));
    connect(cancel, &QPushButton::clicked, this, guarded(this, &Tresize::cancelClick));
    connect(colorset, &QPushButton::clicked, this, guarded(this, &Tresize::colorsetClick));
    // A user's click; where the program changes the state it runs the
    // handler itself.
    connect(ratiokeep, &QCheckBox::clicked, this, guarded(this, &Tresize::ratiokeepClick));
    connect(intrans, &QCheckBox::clicked, this, guarded(this, &Tresize::intransClick));

    connect(newsizex, &EditField::exited, this, guarded(this, &Tresize::newsizexExit));
    connect(newsizex, &EditField::keyDown, this, guarded(this, &Tresize::newsizexenter));
    connect(UpDownX, &SpinButtons::clicked, this, guarded(this, &Tresize::UpDownXClick));
    connect(newsizey, &EditField::exited, this, guarded(this, &Tresize::newsizeyExit));
    connect(newsizey, &EditField::keyDown, this, guarded(this, &Tresize::newsizeyenter));
    connect(UpDownY, &SpinButtons::clicked, this, guarded(this, &Tresize::UpDownYClick));

    for (EditField* field : {degree, degreesub}) {
        // Runs on every change of the text, inside the field's own handling
        // of the key or of the program's assignment: the field finishes its
        // change whatever happens here.
        connect(field, &EditField::textChanged, this, guarded(this, &Tresize::degreeChange));
        connect(field, &EditField::exited, this, guarded(this, &Tresize::degreeExit));
        connect(field, &EditField::keyDown, this, guarded(this, &Tresize::degreeKeyDown));
    }
}

void Tresize::arrangeTabOrder()
{
    const QList<QWidget*> order = {goresize, newsizex, newsizey, UpDownX, UpDownY,    okey,
                                   ratiokeep, cancel,  degree,   UpDowndeg, colorset, intrans,
                                   edge,      fill,    UpDownfill, progress, degreesub, degreesubUD};
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

// ---------------------------------------------------------------------------
// The main window as seen from here

int Tresize::picwidth() const
{
    return host_ ? host_->picwidth() : 0;
}

int Tresize::picheight() const
{
    return host_ ? host_->picheight() : 0;
}

bool Tresize::hasPicture() const
{
    return host_ && picwidth() > 0 && picheight() > 0 && host_->workbmp().width() == picwidth() &&
           host_->workbmp().height() == picheight();
}

void Tresize::requirePicture() const
{
    if (!hasPicture())
        throw ResizeRefused(messages::noPicture);
}

// ---------------------------------------------------------------------------
// Window events

void Tresize::FormCreate()
{
    aspect = 1.0;
}

void Tresize::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        runHandler([this] { called(); });
}

void Tresize::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        runHandler([this] { FormHide(); });
}

void Tresize::called()
{
    const int width = picwidth();
    const int height = picheight();
    originx->setText(QStringLiteral("X : ") + intText(width));
    originx->resize(originx->sizeHint().width(), 24);  // fits the text, shorter ones too
    originy->setText(QStringLiteral("Y : ") + intText(height));
    originy->resize(originy->sizeHint().width(), 24);
    newsizex->setText(intText(width));
    newsizey->setText(intText(height));

    // degreesub keeps the text it had when the dialog was closed.
    if (degree->text() != QStringLiteral("0")) {
        const QSignalBlocker quiet(degree);
        degree->setText(QStringLiteral("0"));
    }

    // Before the first picture there is no ratio to keep: the last one stays.
    if (width > 0 && height > 0)
        aspect = static_cast<double>(width) / height;
    decided = false;
    computed_ = false;
    if (host_)
        host_->setMarkerVisible(false);

    const bool wasTicked = intrans->isChecked();
    intrans->setChecked(false);
    if (wasTicked)
        intransClick();
    transcolor->setColor(hasPicture() ? pixelColour(host_->workbmp(), 0, 0) : QColor(Qt::black));
    intransClick();
    progress->setValue(0);

    // Last, as kept hundredths that are no integer raise the conversion
    // error here: the dialog is open and otherwise prepared (marker hidden,
    // nothing to hand over on closing) when the error box shows.
    degreeChange();
    lastpreview = currentSettings();
}

void Tresize::FormHide()
{
    // A pick left pending would keep the main window's presses from drawing.
    transpick->setChecked(false);
    if (!host_)
        return;
    if (decided) {
        host_->loaded();
        host_->areareset();
    } else if (hasPicture()) {
        host_->display(host_->workbmp());
    }
    host_->setMarkerVisible(true);
}

void Tresize::mousePressEvent(QMouseEvent* event)
{
    // Labels pass their presses on to the window; only the bare background counts.
    if (event->button() == Qt::LeftButton)
        backgroundPressed_ = !childAt(event->position().toPoint());
    event->accept();
}

void Tresize::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton || !backgroundPressed_)
        return;
    backgroundPressed_ = false;
    const QPoint at = event->position().toPoint();
    if (rect().contains(at) && !childAt(at))
        runHandler([this] { FormClick(); });
}

void Tresize::FormClick()
{
    moveFocus(goresize);
}

// ---------------------------------------------------------------------------
// Preview, "決定" and "キャンセル"

ResizeSettings Tresize::currentSettings() const
{
    ResizeSettings settings;
    settings.newsizex = toIntStrict(newsizex->text());
    settings.newsizey = toIntStrict(newsizey->text());
    settings.fill = toIntStrict(fill->text());
    settings.degree = toIntStrict(degree->text());
    settings.degreesub = toIntStrict(degreesub->text());
    settings.intrans = intrans->isChecked();
    settings.edge = edge->isChecked();
    settings.fillcolor = colourValue(fillcolor->color());
    settings.transcolor = colourValue(transcolor->color());
    return settings;
}

bool Tresize::rotationSet() const
{
    return degree->text() != QStringLiteral("0") || degreesub->text() != QStringLiteral("0");
}

void Tresize::goresizeClick()
{
    requirePicture();
    // Every setting is read before anything is computed, so a field that
    // holds no integer (the selection rate included) stops the preview here.
    const ResizeSettings settings = currentSettings();
    resultbmp = Bitmap24();
    computed_ = false;
    newx = settings.newsizex;
    newy = settings.newsizey;
    if (newx < 1 || newy < 1)
        throw ResizeRefused(messages::sizeBelowOne);

    const int width = picwidth();
    const int height = picheight();
    if (rotationSet()) {
        resultbmp = Bitmap24(newx, newy);
        rotate(settings);
        computed_ = true;
        host_->display(resultbmp);
    } else if (newx == width && newy == height) {
        // The display goes back to the picture itself, so that what "決定"
        // hands over is what the settings say.
        host_->display(host_->workbmp());
        showMessage(QString::fromUtf8(messages::sameSize), this);
    } else if (zoom::reduces(width, height, newx, newy)) {
        resultbmp = Bitmap24(newx, newy);
        zoomdown(settings);
        computed_ = true;
        host_->display(resultbmp);
    } else {
        resultbmp = Bitmap24(newx, newy);
        zoomup(settings);
        computed_ = true;
        host_->display(resultbmp);
    }
    lastpreview = settings;
}

void Tresize::okeyClick()
{
    requirePicture();
    // All nine are converted, also when an earlier one already differs. The
    // result is computed first when the settings changed since the last
    // preview, and also when the display no longer shows what they give (a
    // rotation already set at opening, or the main window loaded, flipped or
    // cropped its picture since): what is handed over is what they say.
    const ResizeSettings settings = currentSettings();
    if (settings != lastpreview || !displaysResultOf(settings))
        goresizeClick();
    decided = true;
    hide();
}

bool Tresize::displaysResultOf(const ResizeSettings& settings) const
{
    if (computed_)
        return host_->displays(resultbmp);
    return !rotationSet() && settings.newsizex == picwidth() && settings.newsizey == picheight();
}

void Tresize::cancelClick()
{
    decided = false;
    hide();
}

// ---------------------------------------------------------------------------
// The computations

namespace {

Transparency transparencyOf(const ResizeSettings& settings)
{
    return {settings.intrans, settings.transcolor, settings.fill};
}

}  // namespace

void Tresize::showProgress(int percent)
{
    // Once per row: only a change of the shown value costs a repaint.
    if (percent != progress->value())
        progress->setValue(percent);
}

void Tresize::zoomup(const ResizeSettings& settings)
{
    zoom::zoomup(host_->workbmp(), resultbmp, transparencyOf(settings), [this](int p) { showProgress(p); });
}

void Tresize::zoomdown(const ResizeSettings& settings)
{
    zoom::zoomdown(host_->workbmp(), resultbmp, transparencyOf(settings), [this](int p) { showProgress(p); });
}

void Tresize::rotate(const ResizeSettings& settings)
{
    zoom::rotate(host_->workbmp(), resultbmp, angle, settings.fillcolor, settings.edge, transparencyOf(settings),
                 [this](int p) { showProgress(p); });
}

// ---------------------------------------------------------------------------
// Keeping the aspect ratio

void Tresize::keepRatioFromX()
{
    newsizey->setText(roundedText(toIntStrict(newsizex->text()) / aspect));
}

void Tresize::keepRatioFromY()
{
    newsizex->setText(roundedText(toIntStrict(newsizey->text()) * aspect));
}

void Tresize::newsizexenter(int key)
{
    if (!ratiokeep->isChecked() || !EditField::isEnterKey(key))
        return;
    keepRatioFromX();
    moveFocus(UpDownX);
}

void Tresize::newsizexExit()
{
    if (ratiokeep->isChecked())
        keepRatioFromX();
}

void Tresize::UpDownXClick()
{
    if (ratiokeep->isChecked())
        keepRatioFromX();
}

void Tresize::ratiokeepClick()
{
    if (ratiokeep->isChecked())
        keepRatioFromX();
}

void Tresize::newsizeyenter(int key)
{
    if (!ratiokeep->isChecked() || !EditField::isEnterKey(key))
        return;
    keepRatioFromY();
    moveFocus(UpDownY);
}

void Tresize::newsizeyExit()
{
    if (ratiokeep->isChecked())
        keepRatioFromY();
}

void Tresize::UpDownYClick()
{
    if (ratiokeep->isChecked())
        keepRatioFromY();
}

// ---------------------------------------------------------------------------
// The angle fields

void Tresize::degreeChange()
{
    if (!rotationSet()) {
        setControlEnabled(newsizex, true);
        setControlEnabled(newsizey, true);
        newsizex->setText(intText(picwidth()));
        newsizey->setText(intText(picheight()));
        setControlEnabled(edge, false);
        fillcolor->hide();
        setControlEnabled(colorset, false);
        return;
    }
    setControlEnabled(newsizex, false);
    setControlEnabled(newsizey, false);
    const int degrees = toIntStrict(degree->text());
    const int hundredths = toIntStrict(degreesub->text());
    angle = rotationangle(degrees, hundredths);
    const Size size = rotatedsize(picwidth(), picheight(), angle);
    newsizex->setText(intText(size.width));
    newsizey->setText(intText(size.height));
    fillcolor->show();
    const bool free = !intrans->isChecked();
    setControlEnabled(colorset, free);
    setControlEnabled(edge, free);
}

void Tresize::degreeExit()
{
    degreeChange();
}

void Tresize::degreeKeyDown(int key)
{
    if (EditField::isEnterKey(key))
        degreeChange();
}

// ---------------------------------------------------------------------------
// Colours

void Tresize::colorsetClick()
{
    if (ColorDg->execute())
        fillcolor->setColor(ColorDg->color());
}

void Tresize::intransClick()
{
    if (intrans->isChecked()) {
        transcolor->show();
        setControlEnabled(transpick, true);
        edge->setChecked(true);
        setControlEnabled(edge, false);
        fillcolor->setColor(transcolor->color());
        setControlEnabled(colorset, false);
        return;
    }
    transcolor->hide();
    // A disabled pick button must not stay down: the main window would go on
    // taking its presses for a pick.
    transpick->setChecked(false);
    setControlEnabled(transpick, false);
    if (rotationSet()) {
        setControlEnabled(colorset, true);
        setControlEnabled(edge, true);
    }
}

bool Tresize::transpickDown() const
{
    return transpick->isChecked();
}

void Tresize::takePickedColour(const QColor& colour)
{
    QColor picked = colour.toRgb();
    picked.setAlpha(255);
    transcolor->setColor(picked);
    // The gap colour was copied from the transparent colour when the box was
    // ticked, so that the gaps of a rotation come out transparent too; it
    // follows the pick.
    if (intrans->isChecked())
        fillcolor->setColor(picked);
    transpick->setChecked(false);
}
