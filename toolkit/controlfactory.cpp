#include "controlfactory.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

#include "toolkit/editfield.h"
#include "toolkit/spinbuttons.h"
#include "toolkit/widgetstyle.h"

namespace clipora {

namespace {
const QString kWindowFace = QStringLiteral("ＭＳ Ｐゴシック");
}

QFont windowFont(int pixels)
{
    QFont font(kWindowFace);
    font.setPixelSize(pixels);
    return font;
}

void setUpWindowFont(QApplication& app)
{
    QFont::insertSubstitution(kWindowFace, QStringLiteral("IPAPGothic"));
    QFont::insertSubstitution(QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic"));
    app.setFont(windowFont());
}

QLabel* makeLabel(const char* name, const QString& caption, const QRect& place, QWidget* parent)
{
    return named(new QLabel(caption, parent), name, place);
}

QPushButton* makeButton(const char* name, const QString& caption, const QRect& place, QWidget* parent)
{
    auto* button = named(new QPushButton(caption, parent), name, place);
    button->setAutoDefault(false);
    return button;
}

QCheckBox* makeCheckBox(const char* name, const QString& caption, bool ticked, const QRect& place, QWidget* parent)
{
    auto* box = named(new QCheckBox(caption, parent), name, place);
    box->setChecked(ticked);
    return box;
}

EditField* makeField(const char* name, const QString& text, const QString& accessibleName, const QRect& place,
                     QWidget* parent)
{
    auto* field = named(new EditField(text, parent), name, place);
    field->setAccessibleName(accessibleName);
    setPixelSize(field, 16);
    return field;
}

SpinButtons* makeSpin(const char* name, Qt::Orientation orientation, EditField* field, int minimum, int maximum,
                      int increment, int start, const QRect& place, QWidget* parent)
{
    auto* spin = named(new SpinButtons(orientation, parent), name, place);
    spin->setAccessibleName(field->accessibleName() + QStringLiteral(" 増減"));
    spin->setField(field);
    spin->setRange(minimum, maximum);
    spin->setIncrement(increment);
    spin->setPosition(start);
    return spin;
}

}  // namespace clipora
