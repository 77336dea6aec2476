// The window program: the application, the main window and the hand-over
// socket. Started by the start program with the instance lock already held;
// started directly, it makes the start decision itself.
#include "app/CommandLine.h"
#include "app/DisplayChoice.h"
#include "app/PicturePrefetch.h"
#include "app/ProgramOptions.h"
#include "app/StartSequence.h"
#include "imaging/JpegDecoder.h"
#include "platform/SessionBus.h"
#include "platform/StartTimeline.h"
#include "viewer/HandOverReceiver.h"
#include "viewer/MainForm.h"
#include "viewer/MainFormHandOver.h"
#include "viewer/TavoApplication.h"

#include <QAccessible>
#include <QGuiApplication>
#include <QScreen>

#include <iostream>
#include <memory>
#include <optional>
#include <vector>

namespace {

// The arguments the toolkit sees: the program's own, with the xcb platform
// asked for in front when a Wayland session also offers X. Passed as an argument rather
// than set in the environment, so that external tools started from the viewer
// still choose their own platform.
std::vector<char*> toolkitArguments(int argc, char** argv)
{
    std::vector<char*> arguments(argv, argv + argc);
    const tavo::ProgramOptions options = tavo::parseProgramOptions({argv + 1, argv + argc});
    if (tavo::chooseDisplay(tavo::currentSession(options.platform)).forceX11) {
        static char option[] = "-platform";
        // Falls back to Wayland when the X display named is not there after all.
        static char value[] = "xcb;wayland";
        arguments.insert(arguments.begin() + 1, {option, value});
    }
    arguments.push_back(nullptr);
    return arguments;
}

} // namespace

int main(int argc, char** argv)
{
    tavo::platform::markStartPhase("viewer");
    std::optional<tavo::ViewerInstance> instance = tavo::inheritedViewerInstance();
    if (!instance)
        instance = tavo::startInstance(std::vector<std::string>(argv + 1, argv + argc), std::cerr);
    if (!instance)
        return 0;
    // Bound before the window is built, so that copies started meanwhile wait
    // in the socket's queue rather than retrying.
    const std::unique_ptr<tavo::platform::HandOverServer> server = tavo::openHandOverServer(*instance, std::cerr);

    // Set before the decoding thread starts: setenv may move the environment
    // while another thread reads it. (Taking the variable out again only
    // moves entries inside the array, which a reader meanwhile survives.)
    std::optional<tavo::platform::NoSessionBusAutolaunch> noAutolaunch(std::in_place);

    // The picture named first decodes on the second core while the toolkit
    // starts; the window's first load takes it (or its error) when it is the
    // file the load names, and decodes as usual otherwise.
    auto prefetch = std::make_unique<tavo::PicturePrefetch>(argc > 1 ? argv[1] : "");

    std::vector<char*> arguments = toolkitArguments(argc, argv);
    int toolkitArgc = static_cast<int>(arguments.size()) - 1;
    tavo::TavoApplication application(toolkitArgc, arguments.data());
    tavo::setCommandLine(toolkitArgc, arguments.data());
    // The accessibility bridge looks for the session bus once, here.
    QAccessible::isActive();
    noAutolaunch.reset();
    tavo::platform::markStartPhase("toolkit");
    // The JPEG decoder reads the screen depth once, before any window exists:
    // a screen of 8 bits or fewer gets 236-colour pictures.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        tavo::setJpegScreenDepth(screen->depth());
    tavo::TfrmTavo2MainForm form;
    form.prefetch = std::move(prefetch);
    tavo::platform::markStartPhase("window");
    // Served from the first event loop that runs, the message box of an error
    // at start included. The show loads the window's own argument before any
    // loop runs, so a file handed over meanwhile is the one left on screen.
    std::unique_ptr<tavo::HandOverReceiver> receiver;
    if (server)
        receiver = std::make_unique<tavo::HandOverReceiver>(
            *server, [&form](tavo::platform::ReceivedHandOver request) { tavo::receiveHandOver(form, std::move(request)); });
    form.show();
    tavo::platform::markStartPhase("shown");
    return application.exec();
}
