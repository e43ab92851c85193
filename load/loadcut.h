#pragma once
#include <QMainWindow>

// The main window: the picture, its rulers and the cut area.
class Tloadcut : public QMainWindow {
    Q_OBJECT
public:
    explicit Tloadcut(QWidget* parent = nullptr);
};
