#include "app/WheelMove.h"

#include <gtest/gtest.h>

using tavo::wheelMovedTop;

TEST(WheelMove, OneEventMovesATenthOfTheHeightWhateverTheDistance)
{
    EXPECT_EQ(wheelMovedTop(56, 240, 120), 80);
    EXPECT_EQ(wheelMovedTop(56, 240, -120), 32);
    EXPECT_EQ(wheelMovedTop(56, 240, 240), 80);
    EXPECT_EQ(wheelMovedTop(56, 240, 30), 80);
    EXPECT_EQ(wheelMovedTop(56, 249, 1), 80);   // a tenth, truncated
    EXPECT_EQ(wheelMovedTop(-5000, 9, -1), -5000); // out of sight is allowed; under 10 pixels high moves nothing
}
