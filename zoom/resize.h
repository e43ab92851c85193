#pragma once
#include <QColor>
#include <QWidget>

// The resize and rotate dialog (a non-modal tool window).
class Tresize : public QWidget {
    Q_OBJECT
public:
    explicit Tresize(QWidget* parent = nullptr);

    // Whether the colour-pick button `transpick` is down: the next press on
    // the main window's picture then picks the transparent colour. The
    // dialog has no pick button yet, so never.
    bool transpickDown() const { return false; }
    // A colour picked from the main window's picture: it goes into the
    // swatch `transcolor` and `transpick` comes up. Nothing to take it yet.
    void takePickedColour(const QColor&) {}
};
