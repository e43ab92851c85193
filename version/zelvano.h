#pragma once
#include <QLabel>
#include <QString>
#include <QWidget>

#include "toolkit/textcontrols.h"

// The About window: usage help, version, the maker's name and the maker's
// web page. Created once at start-up and kept hidden; closing it only hides
// it, so showing it again shows the same window at the same place.
//
// The link opens through QDesktopServices::openUrl; tests catch the address
// with QDesktopServices::setUrlHandler("https", ...) instead of a browser.
class Tzelvano : public QWidget {
    Q_OBJECT
public:
    explicit Tzelvano(QWidget* parent = nullptr);

    // The maker's web page: the caption of Label3 and the address it opens.
    static QString webPage();
    // The usage help shown in StaticText1: 13 lines joined by CR LF.
    static QString helpText();

    clipora::TStaticText* StaticText1;
    QLabel* Label1;
    QLabel* Label2;
    clipora::TClickLabel* Label3;
    QLabel* Image1;

    // Creation handler: puts the help text into StaticText1.
    void FormCreate();
    // Opens the maker's web page in the desktop's browser. Whether the
    // desktop managed it is not examined: a missing browser changes nothing.
    void Label3Click();
};
