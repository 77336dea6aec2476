#include "viewer/PluginSearch.h"

#include "platform/StartTimeline.h"
#include "plugins/SPIErrors.h"
#include "plugins/SPIs.h"
#include "viewer/AfterFirstPaint.h"
#include "viewer/ErrorReport.h"

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

} // namespace

void searchPluginsAfterFirstPaint(QWidget* window, TSPIs& spis)
{
    runAfterFirstPaint(window, [window, spis = &spis] {
        searchNow(*spis);
        if (spis->hasPending())
            joinPendingWhenReady(window, spis);
    });
}

} // namespace tavo
