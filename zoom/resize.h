#pragma once
#include <QWidget>

// The resize and rotate dialog (a non-modal tool window).
class Tresize : public QWidget {
    Q_OBJECT
public:
    explicit Tresize(QWidget* parent = nullptr);
};
