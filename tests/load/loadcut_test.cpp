#include <gtest/gtest.h>

#include "load/loadcut.h"

TEST(Loadcut, MainWindowIsCaptionedClipora)
{
    Tloadcut window;
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Clipora"));
}
