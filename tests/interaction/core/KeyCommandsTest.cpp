#include "interaction/core/KeyCommands.h"

#include <gtest/gtest.h>

using namespace tavo;

TEST(KeyCommands, ShiftAloneMeansNoCtrlAndNoAlt)
{
    EXPECT_TRUE(isShiftAlone(true, false, false));
    EXPECT_FALSE(isShiftAlone(true, true, false));
    EXPECT_FALSE(isShiftAlone(true, false, true));
    EXPECT_FALSE(isShiftAlone(false, true, false));
}

TEST(KeyCommands, BothTables)
{
    EXPECT_EQ(keyCommand(vk::Space, false), KeyCommand::NextPicture);  // Ctrl+SPACE too
    EXPECT_EQ(keyCommand(vk::Space, true), KeyCommand::ReapplyZoom);   // Shift+SPACE
    EXPECT_EQ(keyCommand(vk::Up, false), KeyCommand::MoveUp);          // Shift+Ctrl+UP too
    EXPECT_EQ(keyCommand(vk::Up, true), KeyCommand::ZoomIn);
    EXPECT_EQ(keyCommand(vk::Down, true), KeyCommand::ZoomOut);
    EXPECT_EQ(keyCommand(0x10, true), KeyCommand::ReapplyZoom);        // Shift itself
    EXPECT_EQ(keyCommand(vk::Back, false), KeyCommand::PreviousPicture);
    EXPECT_EQ(keyCommand(vk::F3, false), KeyCommand::FitWhole);
    EXPECT_EQ(keyCommand(vk::F5, false), KeyCommand::Options);
    EXPECT_EQ(keyCommand(vk::Escape, false), KeyCommand::Close);
    EXPECT_EQ(keyCommand('A', false), KeyCommand::None);
}

TEST(KeyCommands, ArrowsMoveByATenthTruncated)
{
    const ImageBounds tall{0, 0, 640, 480};
    EXPECT_EQ(movedBounds(tall, KeyCommand::MoveUp).top, -48);
    EXPECT_EQ(movedBounds(tall, KeyCommand::MoveRight).left, 64);
    const ImageBounds tiny{5, 5, 9, 9};
    EXPECT_EQ(movedBounds(tiny, KeyCommand::MoveDown), tiny);
}
