#include "viewer/PictureView.h"

#include "platform/StartTimeline.h"
#include "viewer/ErrorReport.h"

#include <QImage>
#include <QPaintEvent>
#include <QPainter>

namespace tavo {

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
        // the backing store uses, so the draw below is a plain copy.
        const std::size_t words = static_cast<std::size_t>(exposed.width()) * exposed.height();
        if (buffer_.size() < words)
            buffer_.resize(words);
        sampler_.sample({width(), height()},
                        {exposed.x(), exposed.y(), exposed.width(), exposed.height()},
                        buffer_.data(), static_cast<std::size_t>(exposed.width()));
        const QImage part(reinterpret_cast<const uchar*>(buffer_.data()), exposed.width(),
                          exposed.height(), exposed.width() * 4, QImage::Format_RGB32);
        QPainter painter(this);
        painter.drawImage(exposed.topLeft(), part);
        platform::markStartPhase("painted");
    });
}

} // namespace tavo
