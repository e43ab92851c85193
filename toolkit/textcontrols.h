#pragma once
// Small controls of the About window that Qt has no exact match for.

#include <QFrame>
#include <QLabel>
#include <QString>

class QMouseEvent;
class QPaintEvent;

namespace clipora {

// A label that reports a click: a press and a release of the left button
// inside it, as a push button would.
class TClickLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool pressed_ = false;
};

// Static text in a lowered bevel on a white ground, the size it is given.
// Lines (separated by CR LF or LF) follow each other at the font's pixel
// height, as the desktop's static text control sets them, so that a text
// laid out for that pitch fits its box; what reaches past the box is cut off.
class TStaticText : public QFrame {
    Q_OBJECT
public:
    explicit TStaticText(QWidget* parent = nullptr);

    QString text() const { return text_; }
    void setText(const QString& text);
    // Distance from one line's top to the next in pixels.
    int linePitch() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
};

}  // namespace clipora
