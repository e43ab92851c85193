#pragma once
// Small rules of the main window that need no window: the save-dialog
// presets taken from a loaded file's name, and the reset's halving.

#include <QString>

namespace clipora {

// The save dialog's filter index preset by a loaded file: 1 BMP for ".bmp"
// and ".BMP", 3 GIF for ".gif" and ".GIF", 4 PNG for ".png" and ".PNG";
// every other extension (".jpg", mixed case such as ".Png", none) gives 2 JPEG.
int saveFilterIndexFor(const QString& path);

// The extension of a path with its dot (".JPG"), in the name's letter case;
// empty when the file name has no dot.
QString extensionWithDot(const QString& path);

// The path with its extension and dot removed, folder and base name kept.
QString withoutExtension(const QString& path);

// n / 2 rounded to the nearest integer, halves to the even neighbour
// (301 gives 150, 303 gives 152).
int halfToEven(int n);

}  // namespace clipora
