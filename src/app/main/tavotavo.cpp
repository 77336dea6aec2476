// The program the user starts. It decides before any toolkit is loaded: a
// second copy hands its file to the running viewer and ends at once, without
// a window; the first becomes the window program, keeping the lock.
#include "app/ProgramOptions.h"
#include "app/StartSequence.h"
#include "platform/Errors.h"
#include "platform/StartTimeline.h"

#include <iostream>

int main(int argc, char** argv)
{
    tavo::platform::markStartPhase("start");
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    switch (tavo::parseProgramOptions(arguments).request) {
    case tavo::ProgramRequest::kHelp:
        std::cout << tavo::usageText();
        return 0;
    case tavo::ProgramRequest::kVersion:
        std::cout << tavo::versionText();
        return 0;
    case tavo::ProgramRequest::kRun:
        break;
    }
    std::optional<tavo::ViewerInstance> instance = tavo::startInstance(arguments, std::cerr);
    if (!instance)
        return 0;
    tavo::platform::markStartPhase("exec-viewer");
    try {
        tavo::becomeViewerProgram(*instance, argv);
    } catch (const tavo::Exception& error) {
        std::cerr << "TavoTavo: " << error.what() << '\n';
        return 1;
    }
}
