#pragma once
// Small settings of a control's look shared by the windows.

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QWidget>

namespace clipora {

// The colours of the two axes: x items are blue, y items red.
inline const QColor xAxisColour(0, 0, 255);
inline const QColor yAxisColour(255, 0, 0);

// The control's font at another pixel size.
inline void setPixelSize(QWidget* widget, int pixels)
{
    QFont font = widget->font();
    font.setPixelSize(pixels);
    widget->setFont(font);
}

// One colour of the control's palette.
inline void setPaletteColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(role, colour);
    widget->setPalette(palette);
}

}  // namespace clipora
