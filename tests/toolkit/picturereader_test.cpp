#include <gtest/gtest.h>

#include "toolkit/picturereader.h"

using namespace clipora;

TEST(FileExtension, IsWhatFollowsTheLastDotOfTheName)
{
    EXPECT_EQ(fileExtension("/a/photo.JPG"), "JPG");
    EXPECT_EQ(fileExtension("/a.b/photo"), "");
    EXPECT_EQ(fileExtension("/a/x.tar.Png"), "Png");
    EXPECT_EQ(fileExtension("photo."), "");
}
