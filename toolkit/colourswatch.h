#pragma once
// A square colour sample: filled with its colour inside a one-pixel black
// outline. Seen by accessibility as a graphic whose description is the colour
// ("#RRGGBB").

#include <QColor>
#include <QWidget>

namespace clipora {

class ColourSwatch : public QWidget {
    Q_OBJECT
public:
    explicit ColourSwatch(QWidget* parent = nullptr);

    QColor color() const { return color_; }
    void setColor(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor color_ = Qt::black;
};

// A round black dot filling its bounds.
class Dot : public QWidget {
    Q_OBJECT
public:
    explicit Dot(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace clipora
