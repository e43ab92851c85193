#pragma once
// The resize and rotate dialog `resize`: a tool window without modality that
// computes a resized or rotated copy of the main window's working bitmap,
// shows it in the main window as a preview, and hands it over on "決定" (or
// puts the working bitmap back on "キャンセル" and the close box).
//
// Every control is a public member under its program name, which is also its
// object name; the handlers carry the program's names. Numbers live as texts
// in the fields and are converted strictly whenever they are used; errors are
// not caught here: they end the handler and reach the standard error box
// through the application object.
//
// The dialog reaches the main window only through a ResizeHost (set at
// start-up); without one it behaves as if no picture were loaded.

#include <QColor>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <stdexcept>

#include "imaging/bitmap24.h"
#include "imaging/colour.h"
#include "zoom/resizehost.h"

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace clipora {
class ColorDialog;
class EditField;
class SpeedButton;
class SpeedButtonGroup;
class SpinButtons;
class ColourSwatch;
class Dot;
}  // namespace clipora

namespace clipora::zoom {

// A Preview or "決定" that cannot go ahead (no picture, a size below 1); what()
// is the user's message in UTF-8.
class ResizeRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

namespace messages {
inline constexpr const char* sameSize = "サイズを変えてください";
inline constexpr const char* noPicture = "リサイズする画像がありません";
inline constexpr const char* sizeBelowOne = "横サイズと縦サイズは 1 以上にしてください";
}  // namespace messages

// The nine settings compared by "決定" with those of the last preview.
struct ResizeSettings {
    int newsizex = 0;
    int newsizey = 0;
    int fill = 0;
    int degree = 0;
    int degreesub = 0;
    bool intrans = false;
    bool edge = false;
    clipora::ColourValue fillcolor;
    clipora::ColourValue transcolor;
    friend bool operator==(const ResizeSettings&, const ResizeSettings&) = default;
};

// A swatch's colour as the computations take it.
clipora::ColourValue colourValue(const QColor& colour);

}  // namespace clipora::zoom

class Tresize : public QWidget {
    Q_OBJECT
public:
    explicit Tresize(QWidget* parent = nullptr);
    ~Tresize() override;

    // The main window as the dialog sees it; owned by the dialog.
    void setHost(std::unique_ptr<clipora::zoom::ResizeHost> host);
    clipora::zoom::ResizeHost* host() const { return host_.get(); }

    // --- Controls, in the order of their creation. ---
    QLabel* originx;
    QLabel* originy;
    QLabel* Image1;
    QLabel* Label1;
    clipora::ColourSwatch* fillcolor;   // the gap colour
    clipora::ColourSwatch* transcolor;  // the transparent colour
    clipora::SpeedButton* transpick;          // colour pick from the picture
    clipora::SpeedButtonGroup* group2;        // transpick alone: a second click releases it
    QLabel* Label2;
    clipora::Dot* Shape1;               // the decimal point between the angle fields
    QLabel* Image2;
    QPushButton* goresize;
    clipora::EditField* newsizex;
    clipora::EditField* newsizey;
    clipora::SpinButtons* UpDownX;
    clipora::SpinButtons* UpDownY;
    QPushButton* okey;
    QCheckBox* ratiokeep;
    QPushButton* cancel;
    clipora::EditField* degree;
    clipora::SpinButtons* UpDowndeg;
    QPushButton* colorset;
    QCheckBox* intrans;
    QCheckBox* edge;
    clipora::EditField* fill;
    clipora::SpinButtons* UpDownfill;
    QProgressBar* progress;
    clipora::EditField* degreesub;
    clipora::SpinButtons* degreesubUD;
    clipora::ColorDialog* ColorDg;

    // --- State. ---
    // The result of the last preview; each preview replaces it.
    clipora::Bitmap24 resultbmp;
    // The target size taken from the size fields at the start of a preview.
    int newx = 0;
    int newy = 0;
    // Picture width / height, renewed each time the dialog opens on a picture.
    double aspect = 1.0;
    // The rotation in radians, renewed by degreeChange().
    double angle = 0.0;
    // Set when the dialog is being closed by "決定"; read by FormHide().
    bool decided = false;
    // The settings in force at the last preview or at opening.
    clipora::zoom::ResizeSettings lastpreview;

    // --- Window events. ---
    void FormCreate();
    // Prepares the dialog each time it becomes visible.
    void called();
    // However the dialog is hidden: the hand-over after "決定", otherwise the
    // working bitmap back on display; the marker shown again.
    void FormHide();
    // A click on the dialog's background.
    void FormClick();

    // --- Buttons. ---
    void goresizeClick();  // Preview
    void okeyClick();      // "決定"
    void cancelClick();
    void colorsetClick();
    void intransClick();

    // --- Keeping the aspect ratio (each acts only while ratiokeep is ticked). ---
    void newsizexenter(int key);
    void newsizexExit();
    void UpDownXClick();
    void ratiokeepClick();
    void newsizeyenter(int key);
    void newsizeyExit();
    void UpDownYClick();

    // --- The angle fields. ---
    void degreeChange();
    void degreeExit();
    void degreeKeyDown(int key);

    // --- The colour pick, driven by the main window's picture. ---
    // Whether `transpick` is down: the next press on the main window's
    // picture then picks the transparent colour.
    bool transpickDown() const;
    // A colour picked from the main window's picture: it goes into the swatch
    // `transcolor` (and, while the transparent colour is on, into the gap
    // colour, which follows it), and `transpick` comes up.
    void takePickedColour(const QColor& colour);

    // A rotation is set when either angle field is not exactly "0".
    bool rotationSet() const;
    // The nine settings as they stand now, converted strictly in order.
    clipora::zoom::ResizeSettings currentSettings() const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void buildControls();
    void bindEvents();
    void arrangeTabOrder();

    // The computations, run on the working bitmap into resultbmp.
    void zoomup(const clipora::zoom::ResizeSettings& settings);
    void zoomdown(const clipora::zoom::ResizeSettings& settings);
    void rotate(const clipora::zoom::ResizeSettings& settings);
    // Sets the progress bar after a row; it repaints only when its value changes.
    void showProgress(int percent);

    int picwidth() const;
    int picheight() const;
    bool hasPicture() const;
    void requirePicture() const;
    // The other size field from this one by the aspect ratio.
    void keepRatioFromX();
    void keepRatioFromY();

    // Whether the display shows what these settings give: the result a
    // preview of this opening computed, or, with nothing computed, the
    // picture itself when they ask for its own size and no rotation.
    bool displaysResultOf(const clipora::zoom::ResizeSettings& settings) const;

    std::unique_ptr<clipora::zoom::ResizeHost> host_;
    bool backgroundPressed_ = false;
    // A preview since the dialog opened left its result in resultbmp.
    bool computed_ = false;
};
