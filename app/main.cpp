#include "app/startup.h"
#include "load/loadcut.h"
#include "toolkit/application.h"

int main(int argc, char* argv[])
{
    clipora::Application app(argc, argv);
    clipora::setUpApplication(app);
    Tloadcut loadcut;
    loadcut.show();
    return app.exec();
}
