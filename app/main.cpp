#include <QApplication>

#include "app/startup.h"
#include "load/loadcut.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    clipora::setUpApplication(app);
    const auto windows = clipora::createWindows();
    windows->loadcut->show();
    return app.exec();
}
