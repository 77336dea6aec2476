#include "app/DisplayChoice.h"
#include "app/ProgramOptions.h"

#include <gtest/gtest.h>

using namespace tavo;

TEST(ProgramOptions, HelpAndVersionAreAnsweredAndTheToolkitOptionIsTakenOut)
{
    EXPECT_EQ(parseProgramOptions({"--help"}).request, ProgramRequest::kHelp);
    EXPECT_EQ(parseProgramOptions({"a.jpg", "--version"}).request, ProgramRequest::kVersion);
    EXPECT_EQ(parseProgramOptions({"--help", "--version"}).request, ProgramRequest::kHelp);

    // A picture named like an option is reached through its folder.
    const ProgramOptions named = parseProgramOptions({"./--help"});
    EXPECT_EQ(named.request, ProgramRequest::kRun);
    EXPECT_EQ(named.arguments, std::vector<std::string>{"./--help"});

    const ProgramOptions platform = parseProgramOptions({"-platform", "wayland", "a b.jpg"});
    EXPECT_EQ(platform.platform, "wayland");
    EXPECT_EQ(platform.arguments, std::vector<std::string>{"a b.jpg"});
    EXPECT_EQ(parseProgramOptions({"--platform", "xcb"}).platform, "xcb");
    // Without its value the word is an ordinary argument.
    const ProgramOptions bare = parseProgramOptions({"-platform"});
    EXPECT_FALSE(bare.platform);
    EXPECT_EQ(bare.arguments, std::vector<std::string>{"-platform"});

    EXPECT_EQ(versionText(), "TavoTavo 1.3\n");
}

TEST(DisplayChoice, AWaylandSessionWithXUsesXUnlessThePlatformWasChosen)
{
    struct Case {
        const char* what;
        SessionDisplays session;
        bool forceX11;
        const char* folder;
    };
    const Case cases[] = {
        {"plain X session", {{}, "", ":0", "", "x11"}, false, "tavotavo-x11-:0"},
        {"Wayland with XWayland", {{}, "", ":1", "wayland-0", "wayland"}, true, "tavotavo-x11-:1"},
        {"Wayland named by the session type only", {{}, "", ":1", "", "wayland"}, true, "tavotavo-x11-:1"},
        {"Wayland without X", {{}, "", "", "wayland-1", "wayland"}, false, "tavotavo-wayland-wayland-1"},
        {"Wayland's default socket", {{}, "", "", "", "wayland"}, false, "tavotavo-wayland-wayland-0"},
        {"variable chooses Wayland", {{}, "wayland", ":1", "wayland-0", "wayland"}, false,
         "tavotavo-wayland-wayland-0"},
        {"argument beats variable", {"xcb", "wayland", ":1", "wayland-0", "wayland"}, false, "tavotavo-x11-:1"},
        {"a fallback list counts by its first entry", {{}, "wayland;xcb", ":1", "w", ""}, false,
         "tavotavo-wayland-w"},
        {"platform options after a colon", {{}, "xcb:nograb", ":2", "", ""}, false, "tavotavo-x11-:2"},
        {"offscreen has no display", {{}, "offscreen", ":0", "wayland-0", "wayland"}, false, ""},
        {"no display at all", {{}, "", "", "", "tty"}, false, ""},
        // The screen number and the local transport name the same server.
        {"screen number", {{}, "", ":0.1", "", ""}, false, "tavotavo-x11-:0"},
        {"unix transport", {{}, "", "unix:0.0", "", ""}, false, "tavotavo-x11-:0"},
        {"remote display", {{}, "", "host.example:10.0", "", ""}, false, "tavotavo-x11-host.example:10"},
        // A Wayland socket given as a path never makes a folder path.
        {"socket path", {{}, "", "", "/run/w 1", "wayland"}, false, "tavotavo-wayland-%2Frun%2Fw%201"},
    };
    for (const Case& c : cases) {
        const DisplayChoice choice = chooseDisplay(c.session);
        EXPECT_EQ(choice.forceX11, c.forceX11) << c.what;
        EXPECT_EQ(choice.instanceFolderName, c.folder) << c.what;
    }
}
