#include <QApplication>

#include "app/startup.h"
#include "load/loadcut.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    clipora::setUpApplication(app);
    Tloadcut loadcut;
    loadcut.show();
    return app.exec();
}
