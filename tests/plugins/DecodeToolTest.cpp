// tavotavo-decode takes the plug-ins of the Susie folder for a file that is
// neither JPEG nor BMP.
#include "PluginTestSupport.h"
#include "imaging/BmpReader.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace tavo;

TEST(DecodeTool, DecodesThroughAPluginOfTheSusieFolder)
{
    test::TempFolder config;
    test::TempFolder susie;
    susie.addPlugin("tpc", "tpc.spi");
    std::filesystem::create_directories(config.path() / "Susie");
    std::ofstream(config.path() / "Susie" / "Plug-in") << "Path=" << susie.str() << "\n";
    test::TestPicture picture;
    picture.width = 7;
    picture.height = 3;
    const std::string in = susie.addFile("in.tpc", test::makeTestPicture(picture));
    const std::string out = susie.str() + "/out.bmp";
    const std::string command = "XDG_CONFIG_HOME='" + config.str() + "' '" + TAVO_BINARY_DIR + "/bin/tavotavo-decode' '"
        + in + "' '" + out + "'";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
    const Bitmap written = ReadBmpFile(out);
    EXPECT_EQ(written.width(), 7);
    EXPECT_EQ(written.height(), 3);
    EXPECT_EQ(written.bitCount(), 24);
}
