#include "colordialog.h"

#include <QColorDialog>
#include <QWidget>

namespace clipora {

namespace {

ColorDialogAnswerer& answererSlot()
{
    static ColorDialogAnswerer answerer;
    return answerer;
}

QColor opaque(QColor colour)
{
    colour.setAlpha(255);
    return colour.toRgb();
}

}  // namespace

ColorDialogAnswerer setColorDialogAnswerer(ColorDialogAnswerer answerer)
{
    ColorDialogAnswerer previous = std::move(answererSlot());
    answererSlot() = std::move(answerer);
    return previous;
}

ColorDialog::ColorDialog(QWidget* parent) : QObject(parent), parent_(parent) {}

bool ColorDialog::execute()
{
    std::optional<QColor> chosen;
    if (const ColorDialogAnswerer& answerer = answererSlot()) {
        chosen = answerer(color_);
    } else {
        QColorDialog dialog(color_, parent_);
        dialog.setOption(QColorDialog::DontUseNativeDialog, true);
        if (dialog.exec() == QDialog::Accepted)
            chosen = dialog.selectedColor();
    }
    if (!chosen || !chosen->isValid())
        return false;
    color_ = opaque(*chosen);
    return true;
}

}  // namespace clipora
