#include "imaging/PathParts.h"

#include <gtest/gtest.h>

using namespace tavo;

TEST(PathParts, SplitsAtTheLastDelimiter)
{
    EXPECT_EQ(folderPart("/home/u/a.jpg"), "/home/u/");
    EXPECT_EQ(fileNamePart("/home/u/a.jpg"), "a.jpg");
    EXPECT_EQ(folderPart("a.jpg"), "");
    EXPECT_EQ(fileNamePart("a.jpg"), "a.jpg");
    EXPECT_EQ(folderPart("/a.jpg"), "/");
    EXPECT_EQ(fileNamePart("/pics/"), "");
    EXPECT_EQ(fileNamePart(""), "");
}

TEST(PathParts, ExtensionOnlyFromTheFileName)
{
    EXPECT_EQ(extensionPart("/p/photo.Jpeg"), ".Jpeg");
    EXPECT_EQ(extensionPart("/p/a.tar.gz"), ".gz");
    EXPECT_EQ(extensionPart("/p/a.b/file"), "");
    EXPECT_EQ(extensionPart("/p/noext"), "");
    EXPECT_EQ(extensionPart(".pic"), ".pic");
    EXPECT_EQ(extensionPart("/p/写真.png"), ".png");
}

TEST(PathParts, UpperCasesAsciiLettersOnly)
{
    EXPECT_EQ(upperCaseAscii(".jpg"), ".JPG");
    EXPECT_EQ(upperCaseAscii("写真ä.z"), "写真ä.Z");
}
