#include "resize.h"

Tresize::Tresize(QWidget* parent) : QWidget(parent, Qt::Tool)
{
    setObjectName("resize");
    setWindowTitle(QStringLiteral("リサイズ"));
}
