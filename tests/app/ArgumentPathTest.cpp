#include "app/ArgumentPath.h"
#include "app/SendProcess.h"

#include <gtest/gtest.h>

using namespace tavo;

// Both copies make a typed path absolute the same way: the first against the
// folder it was started in, a second one against its own before handing over.
TEST(ArgumentPath, RelativePathsAreJoinedToTheFolderTheyWereTypedIn)
{
    EXPECT_EQ(absoluteAgainst("sub/a.jpg", "/home/u"), "/home/u/sub/a.jpg");
    EXPECT_EQ(absoluteAgainst("./sub/a.jpg", "/home/u"), "/home/u/sub/a.jpg");
    EXPECT_EQ(absoluteAgainst(".//./a b.jpg", "/home/u"), "/home/u/a b.jpg");
    EXPECT_EQ(absoluteAgainst("../x/a.jpg", "/home/u"), "/home/u/../x/a.jpg");
    EXPECT_EQ(absoluteAgainst("a.jpg", "/"), "/a.jpg");
    EXPECT_EQ(absoluteAgainst(".a.jpg", "/home/u"), "/home/u/.a.jpg");
    EXPECT_EQ(absoluteAgainst("..a.jpg", "/home/u"), "/home/u/..a.jpg");
    EXPECT_EQ(absoluteAgainst(".", "/home/u"), "/home/u");
    // Left as they are: absolute paths, no argument, an unknown folder.
    EXPECT_EQ(absoluteAgainst("/p/./a.jpg", "/home/u"), "/p/./a.jpg");
    EXPECT_EQ(absoluteAgainst("", "/home/u"), "");
    EXPECT_EQ(absoluteAgainst("sub/a.jpg", ""), "sub/a.jpg");

    EXPECT_EQ(planHandOver({"./b/c.jpg"}, "/home/u/").path, "/home/u/b/c.jpg");
}
