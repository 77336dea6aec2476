// Serves the hand-over socket from the event loop: a notifier on the server's
// descriptor for work, a timer for clients whose time runs out. Every complete
// request goes to the handler, which owns it: the second copy gets its reply
// when the handler lets go of it.
#pragma once

#include "platform/HandOverServer.h"

#include <QObject>

#include <functional>

class QSocketNotifier;
class QTimer;

namespace tavo {

class HandOverReceiver : public QObject {
    Q_OBJECT
public:
    // Must not throw: it runs inside the event loop.
    using Handler = std::function<void(platform::ReceivedHandOver request)>;

    HandOverReceiver(platform::HandOverServer& server, Handler handler, QObject* parent = nullptr);

private:
    void serve();

    platform::HandOverServer& server_;
    Handler handler_;
    QSocketNotifier* notifier_;
    QTimer* expiry_;
};

} // namespace tavo
