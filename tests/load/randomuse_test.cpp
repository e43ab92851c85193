// The main window under a seeded random sequence of user actions, sent
// through the window as the platform delivers them: typed numbers of every
// sort, spin clicks, ruler keys and drags, edge buttons, drawn and moved
// markers (also beyond the picture), loads of odd sizes and of broken files
// with and without the automatic reset, paste, copy, flips, reset and crop,
// saves in every format, file drops on any control, and the resize dialog
// opened beside it (sizes, ratio, angles, colours, rate, preview, "決定",
// cancel). After every action the cut area must lie within the picture, the
// fields, thumbs and marker must show it, and every error box must carry one
// of the program's own messages; a preview shows the dialog's size, "決定"
// hands that size over, cancel changes nothing, and a saved file reads back
// with the area's size. A failure is shrunk by dropping actions and printed
// as one line that replays it.
//
// CLIPORA_RANDOM_SEEDS=first:count and CLIPORA_RANDOM_ACTIONS=n make a
// longer run; CLIPORA_RANDOM_REPLAY="<actions>" replays a printed list;
#include <QCheckBox>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <QMimeData>
#include <QRegularExpression>
#include <QUrl>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <sstream>

#include "cutareatest.h"
#include "load/cutaxis.h"
#include "load/loadrules.h"
#include "imaging/cut.h"
#include "imaging/errors.h"
#include "reader/picturereader.h"
#include "toolkit/clipboard.h"
#include "toolkit/colordialog.h"
#include "toolkit/conversions.h"
#include "toolkit/handlers.h"
#include "toolkit/messagebox.h"
#include "toolkit/spinbuttons.h"
#include "zoom/resize.h"

namespace clipora::test {
namespace {

// An action is a kind and three raw random numbers, read against the window
// as it stands when the action runs, so that any sublist still makes sense.
struct Action {
    int kind;
    unsigned a, b, c;
};
// New kinds go at the end, so that printed lists keep their meaning. A list
// that begins with Bare starts before the first picture.
enum Kind {
    Type, Spin, RulerKey, RulerDrag, EdgeButton, Draw, MoveMarker, Load, Paste, Copy, Flip, Reset, Crop,
    Dialog, Save, Drop, Bare, Kinds
};

std::string format(const std::vector<Action>& actions)
{
    std::ostringstream os;
    for (const Action& x : actions)
        os << (&x == actions.data() ? "" : " ") << x.kind << '.' << x.a << '.' << x.b << '.' << x.c;
    return os.str();
}

std::vector<Action> parse(const std::string& text)
{
    std::vector<Action> actions;
    std::istringstream is(text);
    Action x {};
    char dot;
    while (is >> x.kind >> dot >> x.a >> dot >> x.b >> dot >> x.c)
        actions.push_back(x);
    return actions;
}

// One list in five starts before the first picture.
std::vector<Action> generate(unsigned seed, int count)
{
    std::mt19937 random(seed);
    std::vector<Action> actions;
    if (seed % 5 == 0)
        actions.push_back({Bare, 0, 0, 0});
    while (int(actions.size()) < count)
        actions.push_back({int(random() % Bare), unsigned(random()), unsigned(random()), unsigned(random())});
    return actions;
}

// The program's own message texts, with their placeholders open.
bool isOwnMessage(QString text)
{
    static const char* const templates[] = {
        messages::cannotOpen, messages::cannotCreate, messages::writeError, messages::jpegError,
        messages::gifError, messages::pngError, messages::invalidBitmap, messages::invalidIcon,
        messages::unsupportedExtension, messages::pictureTooLarge, messages::invalidClipboardFormat,
        messages::cannotOpenClipboard, messages::emptyCopyArea, messages::nothingToCopy,
        "'%s' は整数ではありません", "切り抜く範囲が空です", zoom::messages::noPicture,
        zoom::messages::sizeBelowOne, zoom::messages::sameSize};
    if (text.endsWith(u'.'))
        text.chop(1);
    for (const char* t : templates) {
        QString pattern = QRegularExpression::escape(QString::fromUtf8(t));
        pattern.replace(QStringLiteral("\\%s"), QStringLiteral(".*")).replace(QStringLiteral("\\%d"), QStringLiteral("-?\\d+"));
        if (QRegularExpression(QStringLiteral("^") + pattern + QStringLiteral("$"),
                               QRegularExpression::DotMatchesEverythingOption).match(text).hasMatch())
            return true;
    }
    return false;
}

class RandomUse : public CutAreaWindow {
public:
    void SetUp() override {}

    // Runs the actions on a fresh window; empty when every check held,
    // otherwise what broke after which action.
    std::string run(const std::vector<Action>& actions)
    {
        windows.reset();
        windows = createWindows();
        w = windows->loadcut.get();
        showActive(*w);
        r = windows->resize.get();
        errors.texts.clear();
        notices.clear();
        typed.fill(QString());
        conversionStopped = false;
        expected.str({});
        DialogScript answers([this](const DialogRequest& request) { return answer(request); });
        const ColorDialogAnswerer colours = setColorDialogAnswerer([this](const QColor&) { return nextColour; });
        const MessageBoxHook messages = setMessageBoxHook([this](const QString& text) { notices << text; });
        const struct Restore {
            ColorDialogAnswerer colours;
            MessageBoxHook messages;
            ~Restore()
            {
                setColorDialogAnswerer(std::move(colours));
                setMessageBoxHook(std::move(messages));
            }
        } restore{colours, messages};
        if (actions.empty() || actions[0].kind != Bare)
            perform({Load, 1, 5, 30000});  // the window starts with a picture
        for (std::size_t i = 0; i < actions.size(); ++i) {
            perform(actions[i]);
            if (const std::string broken = check(); !broken.empty())
                return "after action " + std::to_string(i + 1) + " (" + format({actions[i]}) + "): " + broken;
        }
        return {};
    }

    // Drops actions, halves first, then one at a time, while the run still
    // fails.
    std::vector<Action> shrink(std::vector<Action> actions)
    {
        for (std::size_t chunk = actions.size() / 2; chunk >= 1; chunk /= 2)
            for (std::size_t at = 0; at + chunk <= actions.size();) {
                std::vector<Action> fewer = actions;
                fewer.erase(fewer.begin() + at, fewer.begin() + at + chunk);
                if (!run(fewer).empty())
                    actions = fewer;
                else
                    at += chunk;
            }
        return actions;
    }

    void expectHolds(const std::vector<Action>& actions, const std::string& label)
    {
        const std::string broken = run(actions);
        if (broken.empty())
            return;
        const std::vector<Action> shortest = shrink(actions);
        ADD_FAILURE() << label << ": " << broken << "\nshortest (" << run(shortest) << "):\n"
                      << "CLIPORA_RANDOM_REPLAY=\"" << format(shortest)
                      << "\" build/dev/tests/load/load_tests --gtest_filter='RandomUse.*'";
    }

private:
    EditField* field(int i) const
    {
        EditField* const fields[] = {w->edgexl, w->sizex, w->edgexr, w->edgeyu, w->sizey, w->edgeyb, w->jpgq};
        return fields[i];
    }

    // Text a user might type, some of it measured against the picture.
    QString text(unsigned pick, unsigned r, bool x) const
    {
        const int size = x ? w->picwidth : w->picheight;
        const QString fixed[] = {"0", "-1", "2147483647", "2147483648", "2147483600", "-2147483648",
                                 "9223372036854775807", "9223372036854775808", "abc", "", "  ", "１２", " 7", "+5"};
        switch (pick % 20) {
        case 0: return QString::number(size);
        case 1: return QString::number(size + 1);
        case 2: return QString::number(size - 1);
        case 3: case 4: case 5: return QString::number(r % (size + 1));
        default: return fixed[pick % 20 - 6];
        }
    }

    // What the file dialogs answer: the open dialog `nextFile` (cancel when
    // empty), the save dialog `nextSave` with its filter, the overwrite
    // question yes or no.
    DialogAnswer answer(const DialogRequest& request)
    {
        switch (request.kind) {
        case DialogRequest::Kind::Open:
            return nextFile.isEmpty() ? DialogAnswer::cancel() : DialogAnswer::choose(nextFile);
        case DialogRequest::Kind::Save:
            saveAccepted = !nextSave.isEmpty();
            return saveAccepted ? DialogAnswer::choose(nextSave, saveFilter) : DialogAnswer::cancel();
        case DialogRequest::Kind::OverwriteQuestion:
            saveAccepted = saveAccepted && overwrite;
            return overwrite ? DialogAnswer::yes() : DialogAnswer::cancel();
        }
        return DialogAnswer::cancel();
    }

    // A picture file for a load or a drop: empty, broken, of an odd size or
    // of a random one.
    std::string writePicture(const Action& x)
    {
        const std::string file = dir.file("picture" + std::to_string(++loads) + ".bmp");
        const int kind = x.b % 10;
        if (kind == 0)
            writeBytes(file, {});
        else if (kind == 1)
            writeBytes(file, {'B', 'M', 0x10, 0, 0, 0, 0, 0, 1, 2, 3});
        else {
            const int sizes[][2] = {{1, 1}, {4000, 30}, {30, 4000}};
            const int width = kind < 5 ? sizes[kind - 2][0] : 1 + int(x.c % 700);
            const int height = kind < 5 ? sizes[kind - 2][1] : 1 + int(x.c / 700 % 500);
            writeBytes(file, encodeBmp(photoLike(width, height, x.c)));
        }
        return file;
    }

    // A click through the window that holds the widget, as the platform
    // delivers it.
    static void clickThrough(QWidget* widget, QPoint local, Qt::KeyboardModifiers mods = {})
    {
        QWidget* window = widget->window();
        const QPoint at = widget->mapTo(window, local);
        QTest::mouseMove(window->windowHandle(), at);
        QTest::mousePress(window->windowHandle(), Qt::LeftButton, mods, at);
        QTest::mouseRelease(window->windowHandle(), Qt::LeftButton, mods, at);
    }

    // Text typed into one of the dialog's fields, then Enter, Tab or nothing.
    void typeInDialog(EditField* field, const QString& t, unsigned how)
    {
        if (!field->isEnabled())
            return;
        clickThrough(field, field->rect().center());
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        for (const QChar c : t)
            QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(c), Qt::NoModifier);
        if (how % 3 == 0)
            QTest::keyClick(field, Qt::Key_Return);
        else if (how % 3 == 1)
            QTest::keyClick(field, Qt::Key_Tab);
    }

    // Sizes, angles and rates a user might type: mostly modest numbers,
    // also refused and hostile ones.
    static QString dialogText(unsigned pick, unsigned n)
    {
        const QString fixed[] = {"0", "-1", "1", "2147483647", "2147483648", "abc", "", "１２",
                                 " 7", "+5", "100001", "-0", "00", "-180", "359"};
        return pick % 24 < 9 ? QString::number(1 + n % 700) : fixed[pick % 24 - 9];
    }

    // The size the dialog's fields ask for; nothing when one is no number
    // above 0.
    std::optional<QSize> dialogSize() const
    {
        const int x = toIntLenient(r->newsizex->text()), y = toIntLenient(r->newsizey->text());
        if (x < 1 || y < 1)
            return std::nullopt;
        return QSize(x, y);
    }

    // A preview the machine could compute but slowly (over 1.5 megapixels
    // within the program's limits) is left out of a run.
    bool costly() const
    {
        const std::optional<QSize> s = dialogSize();
        const std::int64_t pixels = s ? std::int64_t(s->width()) * s->height() : 0;
        return s && s->width() <= 100000 && s->height() <= 100000 && pixels > 1'500'000 && pixels <= 150'000'000;
    }

    const Bitmap24& shown() const { return w->mainimage->picture().pixels; }

    // One user action in the resize dialog; opens it when it is closed.
    void dialogAction(const Action& x)
    {
        if (!r->isVisible()) {
            if (x.b % 2)
                QTest::mouseClick(w->resizeon, Qt::LeftButton);
            else
                QTest::keyClick(w, Qt::Key_R, Qt::ControlModifier);
            if (!r->isVisible())
                expected << "the dialog did not open; ";
            return;
        }
        bringToFront(*r);
        EditField* const fields[] = {r->newsizex, r->newsizey, r->degree, r->degreesub, r->fill};
        switch (x.a % 13) {
        case 0: case 1: case 2: case 3: case 4:
            typeInDialog(fields[x.a % 13], dialogText(x.b, x.c), x.c / 7);
            break;
        case 5: {
            SpinButtons* const spins[] = {r->UpDownX, r->UpDownY, r->UpDowndeg, r->UpDownfill, r->degreesubUD};
            SpinButtons* spin = spins[x.b % 5];
            clickThrough(spin, spin->arrowRect(x.c % 2 ? SpinButtons::Arrow::Next : SpinButtons::Arrow::Previous).center());
            break;
        }
        case 6: {
            QWidget* const boxes[] = {r->ratiokeep, r->intrans, r->edge, r};
            QWidget* box = boxes[x.b % 4];
            if (box == r)  // the background
                clickThrough(r, QPoint(250, 110));
            else if (box->isEnabled())
                clickThrough(box, QPoint(6, box->height() / 2));
            break;
        }
        case 7:
            if (x.b % 4)
                nextColour = QColor::fromRgb(QRgb(x.c & 0xFFFFFF));
            if (r->colorset->isEnabled())
                clickThrough(r->colorset, r->colorset->rect().center());
            nextColour.reset();
            break;
        case 8:
            // A pick pending for the next press on the picture, or taken at once.
            if (r->transpick->isEnabled())
                clickThrough(r->transpick, r->transpick->rect().center());
            if (r->transpick->isChecked() && x.b % 2 && w->mainimage->isVisible()) {
                bringToFront(*w);
                const QRect seen = w->mainimage->visibleRegion().boundingRect();
                if (!seen.isEmpty())
                    clickThrough(w->mainimage, QPoint(seen.left() + int(x.c % seen.width()),
                                                      seen.top() + int(x.c / 7 % seen.height())));
            }
            break;
        case 9: case 10:
            preview(x.a % 13 == 10);
            break;
        case 11:
        case 12: {
            // Cancel, or the close box: nothing changes.
            const Bitmap24 work = w->workbmp;
            const Area before = area();
            if (x.a % 13 == 11)
                clickThrough(r->cancel, r->cancel->rect().center());
            else
                r->close();
            if (r->isVisible())
                expected << "the dialog stayed open after cancel; ";
            if (!samePixels(work, w->workbmp) || !(area() == before))
                expected << "cancel changed the picture or the area; ";
            if (w->picwidth > 0 && !samePixels(w->workbmp, shown()))
                expected << "after cancel the display does not show the picture; ";
            break;
        }
        }
    }

    // "プレビュー" (or "決定"): a preview shows the size in the dialog's
    // fields (as the click left them), or the picture itself when asked for its own size; "決定"
    // closes the dialog and the main window's picture then has that size, or
    // an error box says why it stays open.
    void preview(bool decide)
    {
        if (costly())
            return;
        const bool hadPicture = w->picwidth > 0;
        QPushButton* button = decide ? r->okey : r->goresize;
        clickThrough(button, button->rect().center());
        // The fields as the button found them: the press may have applied
        // a field it took the focus from (a ratio, an angle).
        const std::optional<QSize> size = dialogSize();
        if (!errors.texts.isEmpty() || !size || !hadPicture)
            return;
        const QSize picture(w->picwidth, w->picheight);
        if (decide) {
            if (r->isVisible())
                expected << "決定 left the dialog open without a message; ";
            else if (picture != *size || shown().width() != size->width() || w->workbmp.width() != size->width())
                expected << "決定 handed over " << picture.width() << " x " << picture.height() << " for "
                         << size->width() << " x " << size->height() << "; ";
            else if (!(area() == Area{0, picture.width(), 0, picture.height()}))
                expected << "決定 left the area " << area() << "; ";
        } else if (notices.contains(QString::fromUtf8(zoom::messages::sameSize))) {
            if (!samePixels(w->workbmp, shown()))
                expected << "a preview at the picture's own size shows something else; ";
        } else if (QSize(shown().width(), shown().height()) != *size)
            expected << "the preview shows " << shown().width() << " x " << shown().height() << " for "
                     << size->width() << " x " << size->height() << "; ";
    }

    // "カット＆保存" (button or menu) into the temporary folder in one of the
    // four formats: the file reads back with the area's size, and for BMP
    // and PNG with its pixels as the display shows them over white.
    void save(const Action& x)
    {
        static const char* const extensions[] = {"", ".bmp", ".png", ".jpg", ".txt"};
        static const char* const written[] = {".bmp", ".jpg", ".gif", ".png"};
        if (x.c % 4 == 0 && !lastSave.isEmpty())
            nextSave = lastSave;  // the same name again: the overwrite question
        else if (x.c % 13 == 1)
            nextSave = QString::fromStdString(dir.file("missing/saved"));  // no such folder
        else
            nextSave = QString::fromStdString(dir.file("saved" + std::to_string(++saves) + extensions[x.c / 4 % 5]));
        if (x.b % 9 == 0)
            nextSave.clear();  // cancelled
        saveFilter = 1 + int(x.b % 4);
        overwrite = x.a % 3 != 0;
        saveAccepted = false;
        const Area a = area();
        const CutArea cut{a.xl, a.yu, a.xr, a.yb};
        const QString target =
            withoutExtension(nextSave) + QLatin1String(written[saveFilter - 1]);
        const bool exact = saveFilter == 1 || saveFilter == 4;
        // Before the first picture: the window's own 0..300, white.
        const Bitmap24 want = exact && !cut.empty()
                                  ? cutArea(w->mainimage->picture(), w->picwidth, w->picheight, cut)
                                  : Bitmap24();
        if (x.a % 2)
            click(w->savepic, w->savepic->rect().center());
        else
            chooseFromMenu(w->File1, w->cutsavemenu);
        if (saveAccepted && !nextSave.contains(QLatin1String("missing")))
            lastSave = nextSave;
        nextSave.clear();
        if (!saveAccepted || !errors.texts.isEmpty())
            return;
        try {
            const Picture back = readPictureFile(QFile::encodeName(target).toStdString());
            if (back.width() != cut.width() || back.height() != cut.height())
                expected << "saved " << back.width() << " x " << back.height() << " for the area " << a << "; ";
            else if (exact && !samePixels(want, back.pixels))
                expected << "the saved pixels differ from the area's; ";
        } catch (const std::exception& e) {
            expected << "the saved file does not read back: " << e.what() << "; ";
        }
    }

    // A file dropped through Qt's dispatch on a control of the main window
    // (it loads, as a copy) or of the open resize dialog (refused, the
    // fields keep their text).
    void drop(const Action& x)
    {
        const std::string file = writePicture(x);
        const bool onDialog = r->isVisible() && x.a % 4 == 0;
        QWidget* window = onDialog ? static_cast<QWidget*>(r) : w;
        QList<QWidget*> targets;
        for (QWidget* control : window->findChildren<QWidget*>()) {
            const QPoint centre = control->mapTo(window, control->rect().center());
            if (control->isVisibleTo(window) && !control->size().isEmpty() && window->rect().contains(centre))
                targets << control;
        }
        QWidget* target = targets.isEmpty() ? window : targets[int(x.c % targets.size())];
        const QStringList dialogTexts = {r->newsizex->text(), r->newsizey->text(), r->degree->text(),
                                         r->degreesub->text(), r->fill->text()};
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(file))});
        data.setText(QString::fromStdString(file));
        const QPoint at = target->mapTo(window, target->rect().center());
        const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
        const Qt::KeyboardModifiers mods = x.a % 3 ? Qt::NoModifier : Qt::ShiftModifier;
        QDragEnterEvent enter(at, offered, &data, Qt::LeftButton, mods);
        QApplication::sendEvent(window->windowHandle(), &enter);
        QDragMoveEvent move(at, offered, &data, Qt::LeftButton, mods);
        QApplication::sendEvent(window->windowHandle(), &move);
        Qt::DropAction taken = Qt::IgnoreAction;
        if (move.isAccepted()) {
            QDropEvent dropped(at, offered, &data, Qt::LeftButton, mods);
            dropped.setDropAction(move.dropAction());
            QApplication::sendEvent(window->windowHandle(), &dropped);
            taken = dropped.isAccepted() ? dropped.dropAction() : Qt::IgnoreAction;
        } else {
            QDragLeaveEvent leave;
            QApplication::sendEvent(window->windowHandle(), &leave);
        }
        const QStringList after = {r->newsizex->text(), r->newsizey->text(), r->degree->text(),
                                   r->degreesub->text(), r->fill->text()};
        if (taken != (onDialog ? Qt::IgnoreAction : Qt::CopyAction))
            expected << "a drop on " << target->objectName().toStdString() << " was taken as " << int(taken) << "; ";
        if (after != dialogTexts)
            expected << "a drop changed the dialog's fields; ";
    }

    void perform(const Action& x)
    {
        const bool horizontal = x.a % 2 == 0;
        TrackBar* ruler = horizontal ? w->areax : w->areay;
        const int size = horizontal ? w->picwidth : w->picheight;
        switch (x.kind) {
        case Type: {
            const int f = x.a % 7;
            const QString t = text(x.b, x.c, f < 3 || f == 6);
            type(field(f), {}, false);
            for (const QChar c : t)  // QTest types only Latin-1 by itself
                QTest::sendKeyEvent(QTest::Click, field(f), Qt::Key_unknown, QString(c), Qt::NoModifier);
            if (f < 6)
                typed[f] = field(f)->text();  // as typed (no key: as it was)
            QTest::keyClick(field(f), x.c % 3 ? Qt::Key_Return : Qt::Key_Tab);
            break;
        }
        case Spin: {
            SpinButtons* const spins[] = {w->UpDownxl, w->UpDownX, w->UpDownxr, w->UpDownyu, w->UpDownY, w->UpDownyb};
            SpinButtons* spin = spins[x.a % 6];
            click(spin, spin->arrowRect(x.b % 2 ? SpinButtons::Arrow::Next : SpinButtons::Arrow::Previous).center());
            // The step writes its field before the click's handling; an error
            // in that handling (another field's refused text leaving) ends
            // it there, and the field keeps the stepped number.
            if (!errors.texts.isEmpty())
                typed[x.a % 6] = spin->field()->text();
            break;
        }
        case RulerKey: {
            const Qt::Key keys[] = {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down,
                                    Qt::Key_Home, Qt::Key_End, Qt::Key_PageUp, Qt::Key_PageDown};
            if (!ruler->hasFocus())
                focusRuler(ruler);
            if (ruler->hasFocus())
                QTest::keyClick(ruler, keys[x.b % 8]);
            break;
        }
        case RulerDrag: {  // also beyond both ends
            const QPoint from = rulerPoint(ruler, ruler->position());
            const QPoint to = rulerPoint(ruler, int(x.b % (size + 41)) - 20);
            // The thumb may stand outside the view: the press then lands on
            // whatever is there.
            const QPoint pressed = ruler->mapTo(w, from);
            const bool onRuler = w->rect().contains(pressed) && w->childAt(pressed) == ruler;
            drag(ruler, from, horizontal ? QPoint(to.x(), from.y()) : QPoint(from.x(), to.y()), {});
            // A click on a ruler gives it the focus, whatever had it.
            if (onRuler && !ruler->hasFocus())
                expected << "a press on " << ruler->objectName().toStdString() << " left it without the focus; ";
            break;
        }
        case EdgeButton: {
            SpeedButton* const buttons[] = {w->XL, w->XR, w->YU, w->YB};
            clickButton(buttons[x.a % 4]);
            break;
        }
        case Draw:
        case MoveMarker: {
            // Pressed where the picture or the marker shows, released
            // anywhere up to 40 pixels beyond the picture.
            QWidget* target = x.kind == Draw ? static_cast<QWidget*>(w->mainimage) : w->shot;
            const QRect seen = target->visibleRegion().boundingRect();
            if (seen.isEmpty())
                break;
            const QPoint from(seen.left() + int(x.a % seen.width()), seen.top() + int(x.b % seen.height()));
            const QPoint to = w->mainimage->mapFromGlobal(target->mapToGlobal(from)) +
                              QPoint(int(x.c % 301) - 150, int(x.c / 301 % 301) - 150);
            const QPoint end(std::clamp(to.x(), -40, w->picwidth + 40), std::clamp(to.y(), -40, w->picheight + 40));
            const Qt::KeyboardModifiers mods = x.kind == Draw ? Qt::ControlModifier : Qt::NoModifier;
            drag(target, from, target->mapFrom(w, w->mainimage->mapTo(w, end)), mods);
            break;
        }
        case Load: {
            if (x.a % 3 == 0)
                chooseFromMenu(w->N11, w->autoreset);
            const std::string file = writePicture(x);
            nextFile = QString::fromStdString(file);
            QTest::mouseClick(w->Loadpic, Qt::LeftButton);
            nextFile.clear();
            break;
        }
        case Paste: {
            if (x.a % 3)
                QGuiApplication::clipboard()->setImage(
                    QImage(1 + int(x.b % 400), 1 + int(x.c % 300), QImage::Format_RGB32));
            else
                QGuiApplication::clipboard()->setText(QStringLiteral("12"));
            QTest::keyClick(w, Qt::Key_V, Qt::ControlModifier);
            break;
        }
        case Copy:
            QTest::keyClick(w, Qt::Key_C, Qt::ControlModifier);
            break;
        case Flip:
            chooseFromMenu(w->Edit1, x.a % 2 ? w->Hflip : w->Vflip);
            break;
        case Reset:
            QTest::keyClick(w, Qt::Key_Escape);
            break;
        case Crop:
            click(w->savepic, w->savepic->rect().center(), Qt::LeftButton, Qt::ControlModifier);
            break;
        case Dialog:
            dialogAction(x);
            break;
        case Save:
            save(x);
            break;
        case Drop:
            drop(x);
            break;
        case Bare:
            break;
        }
        bringToFront(*w);
    }

    // The window the next input goes to becomes the active one, as the
    // platform makes it when the user clicks there; activations the program
    // asked for (a drop, a colour pick, the dialog's opening) come first.
    static void bringToFront(QWidget& window)
    {
        QCoreApplication::processEvents();
        // A press that landed on the menu bar left a menu open; the user
        // closes it before going on.
        while (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
        activate(window);
    }

    // A drag between two points of `widget`, kept within the window: the
    // platform gives a release outside the window to the window as well, the
    // offscreen test platform drops it.
    void drag(QWidget* widget, QPoint from, QPoint to, Qt::KeyboardModifiers mods)
    {
        const auto at = [&](QPoint p) {
            p = widget->mapTo(w, p);
            return QPoint(std::clamp(p.x(), 0, w->width() - 1), std::clamp(p.y(), 0, w->height() - 1));
        };
        QTest::mouseMove(w->windowHandle(), at(from));
        QTest::mousePress(w->windowHandle(), Qt::LeftButton, mods, at(from));
        QTest::mouseMove(w->windowHandle(), at(to));
        QTest::mouseRelease(w->windowHandle(), Qt::LeftButton, mods, at(to));
    }

    // Opens the menu and takes the item with the arrow keys and Return.
    void chooseFromMenu(QMenu* menu, QAction* item)
    {
        menu->popup(w->mapToGlobal(QPoint(10, 10)));
        if (!QTest::qWaitForWindowExposed(menu, 500)) {
            ++stats.menusNotShown;
            menu->hide();
            return;
        }
        for (int i = 0; menu->activeAction() != item && i < menu->actions().size(); ++i)
            QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Return);
        QTest::qWait(0);
        bringToFront(*w);
    }

    // What must hold after any action; empty when it does.
    std::string check()
    {
        std::ostringstream broken;
        ++stats.actions;
        stats.boxes += errors.texts.size();
        const QString boxes = errors.texts.join(u'|');
        conversionStopped = conversionStopped || boxes.contains(QStringLiteral("は整数ではありません"));
        for (const QString& t : errors.texts + notices)
            if (!isOwnMessage(t))
                broken << "foreign error box \"" << t.toStdString() << "\"; ";
        errors.texts.clear();
        if (handlersAfterError() != afterErrorSeen) {
            afterErrorSeen = handlersAfterError();
            broken << "a handler went on after an error had ended its event; ";
        }
        notices.clear();
        broken << expected.str();
        expected.str({});
        // The marker is hidden while the resize dialog is open, and only then.
        if (w->shot->isHidden() != r->isVisible())
            broken << "marker " << (w->shot->isHidden() ? "hidden" : "shown") << " with the dialog "
                   << (r->isVisible() ? "open" : "closed") << "; ";
        if (w->picwidth == 0)  // no picture yet: the window description's area
            return broken.str();
        stats.areaChanges += !(area() == stats.last);
        stats.last = area();
        const std::string wrong = broken.str() + shownRight();
        return wrong.empty() || boxes.isEmpty() ? wrong : wrong + "boxes: " + boxes.toStdString();
    }

    // The area within the picture, and the fields, thumbs and marker showing
    // it; empty when all holds.
    std::string shownRight()
    {
        std::ostringstream broken;
        const Area a = area();
        const bool xInside = 0 <= a.xl && a.xl <= a.xr && a.xr <= w->picwidth;
        const bool yInside = 0 <= a.yu && a.yu <= a.yb && a.yb <= w->picheight;
        if (!xInside || !yInside)
            broken << "area " << a << " outside the picture " << w->picwidth << " x " << w->picheight << "; ";
        const QStringList shown = fieldTexts(), wanted = fieldTextsFor(a);
        for (int i = 0; i < 6; ++i) {
            if (shown[i] == wanted[i])
                typed[i].clear();
            else if (shown[i] != typed[i])
                broken << "field " << i << " shows \"" << shown[i].toStdString() << "\" for " << a << "; ";
        }
        for (const CutAxis axis : {CutAxis::x(*w), CutAxis::y(*w)}) {
            const int low = axis.low(), high = axis.high(), thumb = axis.ruler()->position();
            // The middle; the reset rounds the half to even instead, and it
            // and the loads leave an edge-move mode on with the thumb there.
            int want = low + floorHalf(high - low);
            if (low == 0 && thumb == halfToEven(high))
                want = thumb;
            else if (axis.lowButton()->isChecked() && thumb != want)
                want = low - 1;
            else if (axis.highButton()->isChecked() && thumb != want)
                want = high;
            // Refused text in a size field stops, with the conversion error,
            // handlings that would have put a thumb back (on either axis);
            // such a thumb stays off the middle until something moves it.
            const bool sizeRefused = !typed[1].isEmpty() || !typed[4].isEmpty() || conversionStopped;
            if (thumb != std::clamp(want, -1, axis.picSize()) && !sizeRefused)
                broken << "thumb " << thumb << " instead of " << want << " for " << a << "; ";
            // An edge-move mode holds its ruler's focus, unless the error of
            // a field left on the way ended the click before the ruler took it.
            if (axis.edgeMode() && w->isActiveWindow() && !axis.ruler()->hasFocus() && !conversionStopped)
                broken << axis.ruler()->objectName().toStdString() << " in an edge mode without the focus; ";
        }
        // A size field holding refused text stops a mouse finish after it has
        // moved the marker, with the conversion error.
        if (marker() != markerFor(a) && typed[1].isEmpty() && typed[4].isEmpty() && !conversionStopped)
            broken << "marker " << marker().x() << "," << marker().y() << " " << marker().width() << "x"
                   << marker().height() << " for " << a << "; ";
        return broken.str();
    }

    std::array<QString, 6> typed;  // refused text a field may still show
    QString nextFile;              // what the open dialog answers; empty: cancel
    QString nextSave;              // what the save dialog answers; empty: cancel
    QString lastSave;              // the last name saved to
    int saveFilter = 1;
    bool overwrite = true;         // the answer to the overwrite question
    bool saveAccepted = false;     // the save dialog chose a name (and may overwrite)
    int saves = 0;
    std::optional<QColor> nextColour;  // what the colour chooser answers; nothing: cancel
    QStringList notices;           // the plain message boxes shown
    std::ostringstream expected;   // what an action found that it expected otherwise
    Tresize* r = nullptr;
    bool conversionStopped = false;  // a handling stopped at "… は整数ではありません"
    int afterErrorSeen = handlersAfterError();
public:
    struct {
        long actions = 0, boxes = 0, areaChanges = 0, menusNotShown = 0;
        Area last {};
    } stats;
};

int envInt(const char* name, int fallback)
{
    const char* v = std::getenv(name);
    return v ? std::atoi(v) : fallback;
}

// Sequences the random runs found, kept as they were printed.
TEST_F(RandomUse, SequencesOnceFoundStayMended)
{
    const char* const found[] = {
        // Ctrl-drag to a one-pixel-wide area, then the width's left arrow:
        // the spun 0 was refused but stayed in "横サイズ".
        "5.3965141293.1345183289.4199239411 1.4210772701.1161596408.2417955868",
        // Load, then the bottom edge's down arrow to 0.
        "7.70204100.896287492.2715231672 1.1085737325.3155768879.1112700490",
        // An empty marker moved against the right border, then the right
        // edge's arrow: the right edge went one past the picture.
        "5.4146404473.1499393865.2558408429 12.1559994946.2227215162.600823170 "
        "0.1580928980.286509251.1560388984 3.2013011966.1669490193.3937321611 "
        "6.2723755581.1528315300.690181528 1.22995326.2636176621.3585861612",
        // "0" typed into "縦サイズ" and refused, a marker move that put the
        // thumb at the upper edge from it, then the height's arrow.
        "0.1514607553.3568709026.829323095 6.2478948615.957093697.1247224347 1.3644500372.282118383.2528707462",
        // "abc" in a size field, the ruler focused, a paste of a smaller
        // picture: the thumb moved by the lowered maximum fails to read the
        // size, and the paste stopped there with the old area and ranges.
        "0.4033523166.850839392.3343156310 3.3715233664.3842306364.3561158865 8.254447594.3771593337.2879896008",
        // "右端移動", a drag that ended in "下端" (the field takes the focus),
        // "右端移動" twice: the field applied as the ruler took the focus and
        // cleared the active control, so the mode ran without the focus and
        // the next click released the button with the thumb on the edge.
        "7.1189197561.1704189264.552483198 7.3081816723.868110074.753632397 "
        "7.3958025141.3516568196.3941179038 4.3902049593.1644813917.4199857473 "
        "3.799737729.693762274.2647674456 4.2130606645.1724445008.456808034 "
        "4.1156519149.261292265.543596439",
        // "下端移動", a marker move, a click that landed in "横サイズ", a drag
        // on the vertical ruler: the field's apply took the focus back from
        // the ruler, whose thumb then moved alone.
        "8.3173380993.3153145630.364028620 7.3186771774.4290389375.3837655816 "
        "4.326087863.139434075.3800636866 6.2069022126.3841651275.2355955272 "
        "2.2622332460.2991683348.2985655152 3.2537106483.550441474.2707014366",
        // Loads without the automatic reset, in an edge mode.
        "7.3460076685.3574031648.3490100739 7.2586819450.437000286.1023364163 "
        "4.49478643.3050040469.643041655 7.4023407181.728452854.2472016767 "
        "5.2287703217.1821419617.2698792182 3.1679133364.3438816961.1851584139 "
        "7.2982877255.1049409218.1204099066",
        // An empty area drawn at 0, then the left edge applied: it became -1,
        // and the right edge applied after it kept the area from -1.
        "5.2494290485.1110471079.539897369 12.2921638333.4137688494.4157093247 "
        "0.3197298777.344415966.2663019755 3.178587560.2642781076.1176315751 "
        "0.2775246789.2804123460.3826893031 1.2535436663.3978986995.4007566183",
        // The first picture loaded with "ロード時自動リセット" off kept the
        // window's own 0..300, which no field showed.
        "16.0.0.0 7.0.5.280500",
        // Hundredths that are no integer, kept from the last opening: the
        // dialog opened with the marker still shown.
        "13.293935127.3832737408.137039502 13.753428874.3573629296.176673645 "
        "13.1344672198.560241921.2417900250 13.2985561415.1281574903.482708544",
        // Without "ロード時自動リセット", refused text in "下端", then a lower
        // picture: the trim applied the field's text, was refused, and only
        // the ruler's end moved in.
        "7.4061670495.239823856.2648721374 7.1158388482.3199636839.2901350886 "
        "0.2308171157.3201129757.1019921874 7.754116345.2318089266.955180671",
        // Without it, a pasted picture that ends before the area's low edge.
        "7.2607860496.2868397911.2226849494 5.137051035.331390760.1713461436 8.1612679924.1196406.524435694",
        // Refused text in "縦サイズ", "下端移動", then a narrower picture dropped
        // (pasted, taken from the dialog): the trim's apply cleared the active
        // control, the ruler's leaving failed on the size, and the load ended
        // with the x trim half done and no y trim.
        "7.3331312251.1624800029.2438802931 0.3310575118.728916317.1874631701 "
        "4.2951418951.1115442880.2175454785 15.2368732997.26118534.1828071406",
        "7.3871228347.3333222818.1266909766 7.2102789058.4244724553.2048720559 15.427905506.3692950819.58781578 "
        "7.2566411563.1287390399.1770277316 0.1439856825.3793562657.3224156568 "
        "4.3779455280.2737730560.3363391629 8.1152196529.3809151770.1527599600",
        "7.4294241781.3582726666.3563479963 13.1658524520.61705416.3086787486 13.4049332936.857642543.1816448889 "
        "7.2392037051.2523069495.658950456 13.3417539461.2829684142.3396893580 "
        "13.2679870765.1882181866.910471960 13.223230064.27057055.1255731941 0.3736849365.4153464354.3156599639 "
        "4.3677885059.3157123870.2274166164 13.2232046034.3148681418.2702036948",
    };
    for (const char* actions : found)
        expectHolds(parse(actions), actions);
}

TEST_F(RandomUse, AnySequenceOfActionsKeepsTheAreaInsideThePictureAndShown)
{
    if (const char* replay = std::getenv("CLIPORA_RANDOM_REPLAY")) {
        expectHolds(parse(replay), "replay");
        return;
    }
    unsigned first = 1, count = 6;
    if (const char* seeds = std::getenv("CLIPORA_RANDOM_SEEDS"))
        std::sscanf(seeds, "%u:%u", &first, &count);
    const int actions = envInt("CLIPORA_RANDOM_ACTIONS", 60);
    for (unsigned seed = first; seed < first + count; ++seed)
        expectHolds(generate(seed, actions), "seed " + std::to_string(seed));
    std::printf("%ld actions (shrinking included), %ld error boxes, %ld area changes; menus that did not show %ld\n",
                stats.actions, stats.boxes, stats.areaChanges, stats.menusNotShown);
}

}  // namespace
}  // namespace clipora::test
