#include "viewer/PluginSearch.h"

#include "plugins/SPIErrors.h"
#include "plugins/SPIs.h"
#include "platform/StartTimeline.h"
#include "viewer/ErrorReport.h"

#include <QAbstractEventDispatcher>
#include <QEvent>
#include <QObject>
#include <QTimer>
#include <QWidget>

#include <memory>

namespace tavo {

namespace {

// Plug-ins whose host had to be prepared (Windows plug-ins on the first start
// that meets them: Wine makes its prefix) join the registry once it is
// ready, checked a few times a second; a load that needs them first waits
// for them itself.
void joinPendingWhenReady(QWidget* window, TSPIs* spis)
{
    auto* timer = new QTimer(window);
    timer->setInterval(200);
    QObject::connect(timer, &QTimer::timeout, window, [timer, spis] {
        if (spis->hasPending() && !spis->pendingReady())
            return;
        timer->stop();
        timer->deleteLater();
        guarded([spis] {
            if (spis->hasPending())
                spis->resolvePending();
        });
    });
    timer->start();
}

// The search, or, when a load before the first paint ran it, the report of
// the libraries it skipped, as the search's own would come.
void searchNow(TSPIs& spis)
{
    platform::markStartPhase("search");
    guarded([&spis] {
        if (!spis.isLoaded()) {
            spis.Loaded();
            return;
        }
        if (const std::string fault = spis.takeSearchFault(); !fault.empty())
            throw ESPIFault(fault);
    });
    platform::markStartPhase("searched");
}

// Watches the window for its first paint, then queues the search behind it
// and goes away.
class FirstPaintWatcher : public QObject {
public:
    FirstPaintWatcher(QWidget* window, TSPIs& spis) : QObject(window), window_(window), spis_(spis) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == window_ && event->type() == QEvent::Paint) {
            window_->removeEventFilter(this);
            TSPIs* spis = &spis_;
            QWidget* window = window_;
            // The first picture reaches the display when the loop is about to
            // block (the display connection is flushed there), which a zero
            // timer would come before: the search waits for that moment and
            // then for one more turn of the loop.
            auto once = std::make_shared<QMetaObject::Connection>();
            *once = connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, window,
                            [once, spis, window] {
                                disconnect(*once);
                                QTimer::singleShot(0, window, [spis, window] {
                                    searchNow(*spis);
                                    if (spis->hasPending())
                                        joinPendingWhenReady(window, spis);
                                });
                            });
            deleteLater();
        }
        return false;
    }

private:
    QWidget* window_;
    TSPIs& spis_;
};

} // namespace

void searchPluginsAfterFirstPaint(QWidget* window, TSPIs& spis)
{
    window->installEventFilter(new FirstPaintWatcher(window, spis));
}

} // namespace tavo
