#include "loadcut.h"

Tloadcut::Tloadcut(QWidget* parent) : QMainWindow(parent)
{
    setObjectName("loadcut");
    setWindowTitle(QStringLiteral("Clipora"));
    setGeometry(207, 154, 611, 497);
}
