#include "viewer/PictureView.h"

#include "platform/StartTimeline.h"
#include "viewer/ErrorReport.h"

#include <QImage>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

namespace tavo {

namespace {
// The pixels sampled per band of a paint: 256 KiB of 32-bit pixels.
constexpr int kBandPixels = 64 * 1024;
} // namespace

PictureView::PictureView(QWidget* parent) : QWidget(parent) {}

void PictureView::setPicture(const Bitmap& picture)
{
    sampler_ = StretchSampler(picture);
    picture_ = picture;
    // With a picture every exposed pixel is drawn, so the parent need not
    // paint beneath it; without one the work area shows through.
    setAttribute(Qt::WA_OpaquePaintEvent, !sampler_.isEmpty());
    update();
}

ImageBounds PictureView::bounds() const
{
    const QRect r = geometry();
    return {r.x(), r.y(), r.width(), r.height()};
}

void PictureView::setBounds(const ImageBounds& b) { setGeometry(b.left, b.top, b.width, b.height); }

void PictureView::paintEvent(QPaintEvent* event)
{
    guarded([&] {
        const QRect exposed = event->rect() & rect();
        if (sampler_.isEmpty() || exposed.isEmpty())
            return;
        // Only the exposed part is sampled, straight into the 32-bit format
        // the backing store uses, so each draw below is a plain copy. It goes
        // in bands of at most kBandPixels: a band stays in the cache between
        // its sampling and its copy, and the buffer stays small whatever the
        // window's size.
        const int bandRows = std::max(1, std::min(exposed.height(), kBandPixels / exposed.width()));
        const std::size_t words = static_cast<std::size_t>(exposed.width()) * bandRows;
        if (buffer_.size() < words)
            buffer_.resize(words);
        QPainter painter(this);
        for (int top = exposed.top(); top <= exposed.bottom(); top += bandRows) {
            const int rows = std::min(bandRows, exposed.bottom() + 1 - top);
            sampler_.sample({width(), height()}, {exposed.x(), top, exposed.width(), rows}, buffer_.data(),
                            static_cast<std::size_t>(exposed.width()));
            const QImage band(reinterpret_cast<const uchar*>(buffer_.data()), exposed.width(), rows,
                              exposed.width() * 4, QImage::Format_RGB32);
            painter.drawImage(QPoint(exposed.x(), top), band);
        }
        platform::markStartPhase("painted");
    });
}

} // namespace tavo
