#pragma once
// The main window `loadcut`: the picture at 1:1 in a scroll box with a ruler
// above it and one to its left, the six number fields of the cut area with
// their spin buttons, the four edge buttons, and the menu.
//
// The cut area lives only in the rulers' selection ranges: `areax` holds the
// left edge xl (selection start) and the right edge xr (selection end, first
// column after the area), `areay` the upper edge yu and the bottom edge yb.
// The fields, the rulers' thumbs and the marker `shot` show it.
//
// Every control, dialog and menu item is a public member under its program
// name, which is also its object name; the handlers carry the program's
// names. Errors are not caught here: they end the handler and reach the
// standard error box through the application object.

#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <memory>

#include "imaging/bitmap24.h"

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QMenuBar;
class QMimeData;
class QPushButton;

namespace clipora {
class ClientArea;
class EditField;
class ImageControl;
class OpenPictureDialog;
class SaveDialog;
class ScrollBox;
class ShapeRect;
class SpeedButton;
class SpeedButtonGroup;
class SpinButtons;
class TrackBar;
}  // namespace clipora

class Tloadcut : public QMainWindow {
    Q_OBJECT
public:
    explicit Tloadcut(QWidget* parent = nullptr);
    ~Tloadcut() override;

    // --- Controls. The client area holds the three bands and the view. ---
    clipora::ClientArea* client;

    // Top band.
    QPushButton* Loadpic;
    QPushButton* resizeon;
    QLabel* Label4;
    clipora::EditField* jpgq;
    clipora::SpinButtons* UpDownjpgq;
    QPushButton* savepic;

    // Band above the picture.
    QLabel* Label1;
    QLabel* originx;
    clipora::SpeedButton* XL;
    clipora::EditField* edgexl;
    clipora::SpinButtons* UpDownxl;
    QLabel* Label2;
    clipora::EditField* sizex;
    clipora::SpinButtons* UpDownX;
    clipora::EditField* edgexr;
    clipora::SpinButtons* UpDownxr;
    clipora::SpeedButton* XR;

    // Band left of the picture.
    QLabel* originy;
    clipora::SpeedButton* YU;
    clipora::EditField* edgeyu;
    clipora::SpinButtons* UpDownyu;
    QLabel* Label3;
    clipora::EditField* sizey;
    clipora::SpinButtons* UpDownY;
    clipora::EditField* edgeyb;
    clipora::SpinButtons* UpDownyb;
    clipora::SpeedButton* YB;

    // The four edge buttons form one group (at most one down, all may be up).
    clipora::SpeedButtonGroup* edgeButtons;

    // The picture area: the scroll box and its children (view coordinates).
    clipora::ScrollBox* view;
    clipora::ImageControl* mainimage;
    clipora::ShapeRect* shot;   // the cut-area marker, inverting pen
    clipora::ShapeRect* beam;   // the edge-move guide line, normal pen
    clipora::TrackBar* areax;   // horizontal ruler: xl..xr
    clipora::TrackBar* areay;   // vertical ruler: yu..yb
    QFrame* cover;              // hides the corner where the rulers meet

    // Dialogs.
    clipora::OpenPictureDialog* OpenPictureDialog1;
    clipora::SaveDialog* SaveDialog1;

    // Menu.
    QMenuBar* MainMenu;
    QMenu* File1;
    QAction* loadmenu;
    QAction* reloadmenu;
    QAction* N3;
    QAction* cutsavemenu;
    QMenu* Edit1;
    QAction* resizemenu;
    QAction* cutmenu;
    QAction* N6;
    QAction* Pastemenu;
    QAction* Copymenu;
    QAction* N8;
    QAction* Hflip;
    QAction* Vflip;
    QMenu* N11;
    QAction* resetmenu;
    QAction* N13;
    QAction* autoreset;
    QMenu* Help1;
    QAction* Helpmenu;

    // --- State of the window. ---
    int picwidth = 0;   // size of the current picture; 0 until one is loaded
    int picheight = 0;
    // The working bitmap: a 24-bit copy of the displayed picture, renewed by
    // loaded(). Empty until the first picture.
    clipora::Bitmap24 workbmp;
    // Temporary bitmap of cut and save and of copy; null between commands.
    std::unique_ptr<clipora::Bitmap24> savebmp;
    // Full path of the last picture loaded through picload(); empty until then.
    QString lastfile;

    // Where the picture's top-left pixel stands in the view (recorded at
    // show and whenever the view is about to change size).
    int imgleft = 0;
    int imgtop = 0;
    // Mouse selection on the picture.
    bool drawing = false;
    bool moving = false;
    int startx = 0;
    int starty = 0;
    int startleft = 0;
    int starttop = 0;
    // The view's scroll positions remembered for the rulers.
    int scrollx = 0;
    int scrolly = 0;

    // The cut area, read from the rulers.
    int xl() const;
    int xr() const;
    int yu() const;
    int yb() const;

    // --- Window events. ---
    // Show handler: runs once, when the window is first shown.
    void creation();
    // The window changed size: the view fills the client area right of and
    // below its own top-left corner.
    void FormResize();
    // The view is about to change size: records the picture's origin and pins
    // the rulers and the corner panel to the view's top and left edges.
    void viewCanResize();
    // A click on the bare background of the window or of the view: no control
    // keeps the focus, so a value typed into a field is committed.
    void outfocus();
    void FormDestroy();
    void resizeonClick();
    void verClick();

    // --- Loading. ---
    // The load button (Ctrl held: reload), the load item (always the dialog)
    // and the reload item; a reload without an existing `lastfile` opens the
    // dialog instead.
    void selectload(QObject* sender);
    // Files dropped on the window: the first one is loaded, then the window
    // comes to the front.
    void dropfile(const QMimeData& data);
    // Loads the file at `path` into the displayed picture, takes it over with
    // loaded() and presets the dialogs from it. Throws ImagingError, leaving
    // everything as it was, when the file cannot be loaded.
    void picload(const QString& path);
    // Takes over whatever the displayed picture now holds: sizes, working
    // bitmap, rulers, spin ranges, labels, then resets or trims the cut area.
    void loaded();

    // --- The cut area. ---
    void areareset();
    void resetClick();
    void edgexlon();
    void sizexon();
    void edgexron();
    void edgeyuon();
    void sizeyon();
    void edgeybon();
    void edgexlenter(int key);
    void sizexenter(int key);
    void edgexrenter(int key);
    void edgeyuenter(int key);
    void sizeyenter(int key);
    void edgeybenter(int key);
    void UpDownxlClick();
    void UpDownXClick();
    void UpDownxrClick();
    void UpDownyuClick();
    void UpDownYClick();
    void UpDownybClick();

    // --- Mouse selection on the picture. ---
    void mainimageMouseDown(const QPoint& pos, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void mainimageMouseMove(const QPoint& pos, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);
    void mainimageMouseUp(const QPoint& pos, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void shotMouseDown(clipora::ShapeRect* sender, const QPoint& pos, Qt::MouseButton button,
                       Qt::KeyboardModifiers modifiers);
    void shotMouseMove(clipora::ShapeRect* sender, const QPoint& pos, Qt::MouseButtons buttons,
                       Qt::KeyboardModifiers modifiers);
    void shotMouseUp(clipora::ShapeRect* sender, const QPoint& pos, Qt::MouseButton button,
                     Qt::KeyboardModifiers modifiers);

    // --- Edge buttons and rulers. ---
    void areaxtick();
    void areaytick();
    void areaxEnter();
    void areaxExit();
    void areayEnter();
    void areayExit();
    void XLRClick();
    void XLRMouseDown();
    void YUBClick();
    void YUBMouseDown();
    // The view scrolled: the picture's origin follows the picture.
    void viewScrolled();

    // --- Cut and save, clipboard and flips. ---
    // The cut-and-save button, its menu item and the cut-out item: the cut
    // area is cropped in place when Ctrl is held for the click, key or
    // shortcut that sent the command (Ctrl+S always) or when the sender is
    // `cutmenu`; otherwise it is saved through `SaveDialog1`. An empty area
    // is refused with an error and nothing changes.
    void savepicClick(QObject* sender);
    void PastemenuClick();
    void CopymenuClick();
    void HflipClick();
    void VflipClick();

protected:
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildControls();
    void buildMenu();
    void bindEvents();
    void arrangeTabOrder();
    // Whether `control` is leaving the focus after having entered it. A
    // handler that clears the active control while the focus is on its way
    // from one control to the next takes the focus away from the next one
    // before it ever entered: that control has nothing to leave, and its exit
    // handling must not run (it would apply a field nobody touched).
    bool leaving(QWidget* control);

    bool created_ = false;
    QPointer<QWidget> enteredControl_;  // the control whose enter ran last, until it exits

    // Mouse selection (mouse.cpp).
    // Whether the resize dialog's colour-pick button is down.
    bool transpickDown() const;
    void startDrawing(int px, int py);
    void drawTo(int px, int py);
    void finishDrawing(int px, int py);
    void finishMoving();
    void pickColour(int px, int py);
};
