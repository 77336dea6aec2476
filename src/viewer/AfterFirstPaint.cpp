#include "viewer/AfterFirstPaint.h"

#include <QAbstractEventDispatcher>
#include <QEvent>
#include <QObject>
#include <QTimer>
#include <QWidget>

#include <memory>

namespace tavo {

namespace {

// Watches the window for its first paint, then queues the work behind it and
// goes away.
class FirstPaintWatcher : public QObject {
public:
    FirstPaintWatcher(QWidget* window, std::function<void()> work)
        : QObject(window), window_(window), work_(std::move(work))
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == window_ && event->type() == QEvent::Paint) {
            window_->removeEventFilter(this);
            // The first picture reaches the display when the loop is about to
            // block (the display connection is flushed there), which a zero
            // timer would come before: the work waits for that moment and
            // then for one more turn of the loop.
            auto once = std::make_shared<QMetaObject::Connection>();
            *once = connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, window_,
                            [once, window = window_, work = std::move(work_)] {
                                disconnect(*once);
                                QTimer::singleShot(0, window, work);
                            });
            deleteLater();
        }
        return false;
    }

private:
    QWidget* window_;
    std::function<void()> work_;
};

} // namespace

void runAfterFirstPaint(QWidget* window, std::function<void()> work)
{
    window->installEventFilter(new FirstPaintWatcher(window, std::move(work)));
}

} // namespace tavo
