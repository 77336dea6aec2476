#include "interaction/core/ExternalTool.h"

#include "platform/ProcessStart.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

using namespace tavo;
namespace fs = std::filesystem;

TEST(ExternalTool, AProgramGetsThePictureAsOneArgument)
{
    EXPECT_EQ(toolCommandLine("/usr/bin/t", ToolKind::Program, "/p/a \"b\".jpg", ""),
              (std::vector<std::string>{"/usr/bin/t", "/p/a \"b\".jpg"}));
    // Before any load: one empty argument, as two quotes with nothing between.
    EXPECT_EQ(toolCommandLine("/usr/bin/t", ToolKind::Program, "", ""),
              (std::vector<std::string>{"/usr/bin/t", ""}));
    EXPECT_TRUE(toolCommandLine("", ToolKind::Missing, "/a.jpg", "").empty());
}

TEST(ExternalTool, ClassifiesWhatThePathNames)
{
    EXPECT_EQ(classifyTool("", false, false), ToolKind::Missing);
    EXPECT_EQ(classifyTool("/bin/true", true, true), ToolKind::Program);
    EXPECT_EQ(classifyTool("gimp", false, false), ToolKind::Program);
    EXPECT_EQ(classifyTool("/nowhere/tool", false, false), ToolKind::Missing);
    EXPECT_EQ(classifyTool("/a/notes.txt", true, false), ToolKind::Document);
    EXPECT_EQ(classifyTool("/a/app.desktop", true, false), ToolKind::DesktopEntry);
}

TEST(ExternalTool, DesktopEntriesRunTheirExecLine)
{
    const std::string text = "# c\n[Desktop Entry]\nName=X\nExec=\"/opt/my app/run\" --open %U --x=%%1 %i\n"
                             "Icon=myapp\n[Desktop Action New]\nExec=other\n";
    const auto entry = parseDesktopEntry(text);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->icon, "myapp");
    EXPECT_EQ(expandDesktopExec(entry->exec, "/p/a b.jpg"),
              (std::vector<std::string>{"/opt/my app/run", "--open", "/p/a b.jpg", "--x=%1"}));
    EXPECT_EQ(expandDesktopExec("viewer", "/a.jpg"), (std::vector<std::string>{"viewer", "/a.jpg"}));
    EXPECT_FALSE(parseDesktopEntry("Exec=x\n"));

    // The escapes as the desktop-entry format writes them: first those of every
    // string value, then the Exec line's own quoting (so "\\\\" is one backslash).
    const auto escaped = parseDesktopEntry("[Desktop Entry]\nExec=\"/opt/my app/run\" --say=\"a \\\\\"b\\\\\" \\\\$5 "
                                           "\\\\\\\\\" --tab=x\\ty --dir=/a\\\\ b %f\nIcon=/i/my\\sicon.png\n");
    ASSERT_TRUE(escaped);
    EXPECT_EQ(escaped->icon, "/i/my icon.png");
    EXPECT_EQ(expandDesktopExec(escaped->exec, "/p/a.jpg"),
              (std::vector<std::string>{"/opt/my app/run", "--say=a \"b\" $5 \\", "--tab=x", "y", "--dir=/a b",
                                        "/p/a.jpg"}));
}

TEST(ProcessStart, StartsDetachedWithArgumentsUnchanged)
{
    const fs::path dir = fs::temp_directory_path() / ("tavo-tool-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path script = dir / "record.sh";
    const fs::path out = dir / "args.txt";
    {
        std::ofstream s(script);
        s << "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]\\n' \"$a\"; done > \"" << out.string() << ".tmp\"\n"
          << "mv \"" << out.string() << ".tmp\" \"" << out.string() << "\"\n";
    }
    fs::permissions(script, fs::perms::owner_all);
    ASSERT_TRUE(platform::startDetached({script.string(), "/p/a \"b\" $(x).jpg", ""}));
    for (int i = 0; i < 200 && !fs::exists(out); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(platform::readSmallTextFile(out.string()), "[/p/a \"b\" $(x).jpg]\n[]\n");
    EXPECT_FALSE(platform::startDetached({(dir / "missing").string()}));
    EXPECT_FALSE(platform::startDetached({}));

    // Without a "#!" line the shell runs it, as execvp would: by path, and by
    // name through PATH.
    const fs::path plain = dir / "plain-tool";
    const fs::path plainOut = dir / "plain.txt";
    {
        std::ofstream s(plain);
        s << "printf '[%s]' \"$0\" \"$@\" > \"" << plainOut.string() << ".tmp\"\n"
          << "mv \"" << plainOut.string() << ".tmp\" \"" << plainOut.string() << "\"\n";
    }
    fs::permissions(plain, fs::perms::owner_all);
    const auto ranWith = [&](const std::vector<std::string>& argv) {
        fs::remove(plainOut);
        if (!platform::startDetached(argv))
            return std::string("not started");
        for (int i = 0; i < 500 && !fs::exists(plainOut); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return platform::readSmallTextFile(plainOut.string());
    };
    EXPECT_EQ(ranWith({plain.string(), "/p/a b.jpg"}), "[" + plain.string() + "][/p/a b.jpg]");
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", ("/nowhere:" + dir.string() + ":" + path).c_str(), 1);
    EXPECT_EQ(ranWith({"plain-tool", ""}), "[" + plain.string() + "][]");
    setenv("PATH", path.c_str(), 1);
    fs::remove_all(dir);
}

TEST(ProcessStart, FileFacts)
{
    EXPECT_TRUE(platform::fileFacts("/bin/sh").isExecutableFile);
    const fs::path plain = fs::temp_directory_path() / ("tavo-plain-" + std::to_string(::getpid()));
    std::ofstream(plain) << "text";
    fs::permissions(plain, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_TRUE(platform::fileFacts(plain.string()).exists);
    EXPECT_FALSE(platform::fileFacts(plain.string()).isExecutableFile);
    fs::remove(plain);
    EXPECT_FALSE(platform::fileFacts("/no/such/file").exists);
    EXPECT_FALSE(platform::fileFacts("/tmp").isExecutableFile);
}
