#include "app/ProgramOptions.h"

namespace tavo {

ProgramOptions parseProgramOptions(const std::vector<std::string>& arguments)
{
    ProgramOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" && options.request == ProgramRequest::kRun)
            options.request = ProgramRequest::kHelp;
        else if (argument == "--version" && options.request == ProgramRequest::kRun)
            options.request = ProgramRequest::kVersion;
        // The toolkit reads one or two leading dashes alike.
        else if ((argument == "-platform" || argument == "--platform") && i + 1 < arguments.size())
            options.platform = arguments[++i];
        else
            options.arguments.push_back(argument);
    }
    return options;
}

std::string usageText()
{
    return "Usage: tavotavo [PICTURE]\n"
           "A picture viewer for leafing through the pictures of a folder.\n"
           "\n"
           "Opens PICTURE, or shows the running viewer of this display and hands\n"
           "PICTURE over to it. A picture whose name begins with a dash is given\n"
           "as ./NAME.\n"
           "\n"
           "  --help          show this text and end\n"
           "  --version       show the version and end\n"
           "  -platform NAME  the Qt platform to use (by default xcb, through\n"
           "                  XWayland, when a Wayland session offers an X display)\n"
           "\n"
           "Settings: TavoTavo.INI beside the program when its folder is writable,\n"
           "else $XDG_CONFIG_HOME/TavoTavo/TavoTavo.INI. See tavotavo(1).\n";
}

std::string versionText()
{
    return std::string("TavoTavo ") + TAVO_VERSION + "\n";
}

} // namespace tavo
