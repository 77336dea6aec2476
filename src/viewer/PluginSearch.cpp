#include "viewer/PluginSearch.h"

#include "plugins/SPIErrors.h"
#include "plugins/SPIs.h"
#include "viewer/ErrorReport.h"

#include <QEvent>
#include <QObject>
#include <QTimer>
#include <QWidget>

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
            QTimer::singleShot(0, window_, [window, spis] {
                guarded([spis] {
                    if (!spis->isLoaded()) {
                        spis->Loaded();
                        return;
                    }
                    // A load before the first paint ran the search: its report
                    // of skipped libraries comes now, as the search's own would.
                    if (const std::string fault = spis->takeSearchFault(); !fault.empty())
                        throw ESPIFault(fault);
                });
                if (spis->hasPending())
                    joinPendingWhenReady(window, spis);
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
