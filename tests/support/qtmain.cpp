// main() of the tests that need a QApplication: the offscreen platform unless
// the environment asks for another, and the windows' font.
#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>

#include "toolkit/application.h"
#include "toolkit/controlfactory.h"

int main(int argc, char* argv[])
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::testing::InitGoogleTest(&argc, argv);
    // The program's application object: errors escaping handlers reach the
    // error box (tests set its hook), and handlers can read the input event's Ctrl state.
    clipora::Application app(argc, argv);
    clipora::setUpWindowFont(app);
    return RUN_ALL_TESTS();
}
