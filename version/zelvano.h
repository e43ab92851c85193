#pragma once
#include <QWidget>

// The About window: usage help, version and the maker's page.
class Tzelvano : public QWidget {
    Q_OBJECT
public:
    explicit Tzelvano(QWidget* parent = nullptr);
};
