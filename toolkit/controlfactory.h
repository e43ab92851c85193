#pragma once
// How the windows make their controls: each control carries its program
// name as object name and stands where the window's layout puts it; number
// fields and their spin buttons carry accessible names ("<field> 増減" for the
// spin buttons). The windows' font is set here too.

#include <QFont>
#include <QRect>
#include <QString>

class QApplication;
class QCheckBox;
class QLabel;
class QPushButton;
class QWidget;

namespace clipora {

class EditField;
class SpinButtons;

// The face the windows were laid out for, at `pixels` pixels.
QFont windowFont(int pixels = 12);
// Once after the QApplication exists: IPAPGothic stands in for the windows'
// face, so that the Japanese captions render with one proportional Gothic
// face everywhere, and the windows' font becomes the application's font.
void setUpWindowFont(QApplication& app);

// A control's program name and place.
template <typename T>
T* named(T* widget, const char* name, const QRect& place)
{
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(place);
    return widget;
}

QLabel* makeLabel(const char* name, const QString& caption, const QRect& place, QWidget* parent);
// A push button that is never the window's default: Enter acts only where a
// handler says.
QPushButton* makeButton(const char* name, const QString& caption, const QRect& place, QWidget* parent);
QCheckBox* makeCheckBox(const char* name, const QString& caption, bool ticked, const QRect& place, QWidget* parent);
// A number field, its text at 16 pixels.
EditField* makeField(const char* name, const QString& text, const QString& accessibleName, const QRect& place,
                     QWidget* parent);
// Arrows beside a field that step its number within minimum..maximum; the
// field shows their starting position.
SpinButtons* makeSpin(const char* name, Qt::Orientation orientation, EditField* field, int minimum, int maximum,
                      int increment, int start, const QRect& place, QWidget* parent);

}  // namespace clipora
