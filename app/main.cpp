#include "app/startup.h"
#include "load/loadcut.h"
#include "toolkit/application.h"

int main(int argc, char* argv[])
{
    clipora::Application app(argc, argv);
    clipora::setUpApplication(app);
    const auto windows = clipora::createWindows();
    windows->loadcut->show();
    return app.exec();
}
