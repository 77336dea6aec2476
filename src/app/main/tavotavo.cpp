// The viewer program. The start decides first, before any toolkit object
// exists: a second copy hands its file to the running viewer and ends without
// a window; the first becomes the viewer.
#include "app/CommandLine.h"
#include "app/StartSequence.h"
#include "viewer/HandOverReceiver.h"
#include "viewer/MainForm.h"
#include "viewer/MainFormHandOver.h"
#include "viewer/TavoApplication.h"

#include <iostream>
#include <memory>

int main(int argc, char** argv)
{
    std::optional<tavo::ViewerInstance> instance =
        tavo::startInstance(std::vector<std::string>(argv + 1, argv + argc), std::cerr);
    if (!instance)
        return 0;

    tavo::TavoApplication application(argc, argv);
    tavo::setCommandLine(argc, argv);
    tavo::TfrmTavo2MainForm form;
    form.show();
    // Served once the window is shown and its own argument loaded, so that a
    // file handed over meanwhile is the one left on screen.
    std::unique_ptr<tavo::HandOverReceiver> receiver;
    if (instance->server)
        receiver = std::make_unique<tavo::HandOverReceiver>(
            *instance->server,
            [&form](tavo::platform::ReceivedHandOver request) { tavo::receiveHandOver(form, std::move(request)); });
    return application.exec();
}
