#include "viewer/HandOverReceiver.h"

#include <QSocketNotifier>
#include <QTimer>

namespace tavo {

HandOverReceiver::HandOverReceiver(platform::HandOverServer& server, Handler handler, QObject* parent)
    : QObject(parent), server_(server), handler_(std::move(handler)),
      notifier_(new QSocketNotifier(server.notifyFd(), QSocketNotifier::Read, this)), expiry_(new QTimer(this))
{
    expiry_->setSingleShot(true);
    connect(notifier_, &QSocketNotifier::activated, this, &HandOverReceiver::serve);
    connect(expiry_, &QTimer::timeout, this, &HandOverReceiver::serve);
    // Copies that connected while the window was being built are served at once.
    QTimer::singleShot(0, this, &HandOverReceiver::serve);
}

void HandOverReceiver::serve()
{
    auto requests = server_.service();
    if (const auto left = server_.nextTimeout())
        expiry_->start(*left);
    else
        expiry_->stop();
    for (auto& request : requests)
        handler_(std::move(request));
}

} // namespace tavo
