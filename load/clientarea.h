#pragma once
// The client area of the main window: the parent of the window's controls
// (placed at fixed positions in its coordinates), with the window's own
// click and resize events.

#include <QWidget>

namespace clipora {

class ClientArea : public QWidget {
    Q_OBJECT
public:
    explicit ClientArea(QWidget* parent = nullptr);

signals:
    // A click of the first mouse button on the bare background: pressed and
    // released there, not on a control.
    void clicked();
    // The area changed size.
    void resized();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool backgroundPressed_ = false;
};

}  // namespace clipora
