#include "app/startup.h"
#include "bmpfilters/bmpfilters.h"
#include "load/loadcut.h"
#include "toolkit/application.h"

int main(int argc, char* argv[])
{
    // The colour reduction's tables and palette exist before any window.
    clipora::initBmpFilters();
    clipora::Application app(argc, argv);
    clipora::setUpApplication(app);
    const auto windows = clipora::createWindows();
    windows->loadcut->show();
    return app.exec();
}
