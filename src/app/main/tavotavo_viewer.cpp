// The window program: the application, the main window and the hand-over
// socket. Started by the start program with the instance lock already held;
// started directly, it makes the start decision itself.
#include "app/CommandLine.h"
#include "app/StartSequence.h"
#include "imaging/JpegDecoder.h"
#include "viewer/HandOverReceiver.h"
#include "viewer/MainForm.h"
#include "viewer/MainFormHandOver.h"
#include "viewer/TavoApplication.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include <iostream>
#include <memory>

int main(int argc, char** argv)
{
    std::optional<tavo::ViewerInstance> instance = tavo::inheritedViewerInstance();
    if (!instance)
        instance = tavo::startInstance(std::vector<std::string>(argv + 1, argv + argc), std::cerr);
    if (!instance)
        return 0;
    // Bound before the window is built, so that copies started meanwhile wait
    // in the socket's queue rather than retrying.
    const std::unique_ptr<tavo::platform::HandOverServer> server = tavo::openHandOverServer(*instance, std::cerr);

    tavo::TavoApplication application(argc, argv);
    tavo::setCommandLine(argc, argv);
    // The JPEG decoder reads the screen depth once, before any window exists:
    // a screen of 8 bits or fewer gets 236-colour pictures.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        tavo::setJpegScreenDepth(screen->depth());
    tavo::TfrmTavo2MainForm form;
    // Served from the first event loop that runs, the message box of an error
    // at start included. The show loads the window's own argument before any
    // loop runs, so a file handed over meanwhile is the one left on screen.
    std::unique_ptr<tavo::HandOverReceiver> receiver;
    if (server)
        receiver = std::make_unique<tavo::HandOverReceiver>(
            *server, [&form](tavo::platform::ReceivedHandOver request) { tavo::receiveHandOver(form, std::move(request)); });
    form.show();
    // The hidden options dialog is the program's second window; made once the
    // event loop runs, so that the first paint does not wait for it.
    QTimer::singleShot(0, &form, [&form] { form.createOptionDialog(); });
    return application.exec();
}
