#include "zelvano.h"

Tzelvano::Tzelvano(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName("zelvano");
}
