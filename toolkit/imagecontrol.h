#pragma once
// The image control: holds the displayed picture, of whatever kind its reader
// produced (kept whole as a clipora::Picture, with its kind and transparency),
// shows it at 1:1 from its top-left corner and sizes itself to it.
//
// Setting a picture resizes the control to the picture's size (at least 1 by
// 1); a picture of zero width or height leaves the control's size as it was.
// Mouse press, move and release are reported with the position in the
// control (picture coordinates), the button(s) and the event's modifiers;
// after a press the control keeps receiving moves and the release wherever
// the pointer goes (pointer capture). Moves without a button arrive as well.
// Cross-hair cursor.

#include <QImage>
#include <QWidget>

#include "imaging/picture.h"

namespace clipora {

class ImageControl : public QWidget {
    Q_OBJECT
public:
    explicit ImageControl(QWidget* parent = nullptr);

    bool hasPicture() const { return hasPicture_; }
    const Picture& picture() const { return picture_; }
    // The picture as painted: shares the picture's pixels when it is opaque.
    const QImage& image() const { return image_; }

    void setPicture(Picture picture);
    // A bitmap picture holding a copy of `bitmap`.
    void setBitmap(const Bitmap24& bitmap);
    // Shows nothing; the size stays.
    void clearPicture();

    // The colour the control shows at `pos` (clamped into the picture): the
    // picture's pixel, where it has transparency drawn over the background
    // that shows through the control, exactly as painted. White when it
    // holds no picture.
    QColor shownColour(QPoint pos) const;

signals:
    // The displayed picture was replaced or cleared.
    void pictureChanged();
    void mouseDown(const QPoint& pos, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void mouseMove(const QPoint& pos, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);
    void mouseUp(const QPoint& pos, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    Picture picture_;
    QImage image_;
    bool hasPicture_ = false;
};

// The picture as a QImage: RGB32 when opaque, ARGB32 with its coverage
// otherwise.
QImage toQImage(const Picture& picture);

}  // namespace clipora
