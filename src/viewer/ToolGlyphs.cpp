#include "viewer/ToolGlyphs.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>


namespace tavo::glyphs {

namespace {
constexpr int kSize = 16;
const QColor kInk(40, 60, 100);
const QColor kAccent(60, 130, 210);

template <class Draw>
QIcon drawn(Draw draw)
{
    QImage image(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter);
    painter.end();
    return QIcon(QPixmap::fromImage(image));
}

QPainterPath polygon(std::initializer_list<QPointF> points)
{
    QPainterPath path;
    path.addPolygon(QPolygonF(QList<QPointF>(points)));
    path.closeSubpath();
    return path;
}

// A window outline, the frame that the zoom glyphs fit their pictures into.
void frame(QPainter& p)
{
    p.setPen(QPen(kInk, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(1.5, 2.5, 13, 11));
}
} // namespace

QIcon previous()
{
    return drawn([](QPainter& p) {
        p.fillPath(polygon({{11, 2}, {11, 14}, {3, 8}}), kAccent);
        p.fillRect(QRectF(12, 3, 2, 10), kInk);
    });
}

QIcon next()
{
    return drawn([](QPainter& p) {
        p.fillPath(polygon({{5, 2}, {5, 14}, {13, 8}}), kAccent);
        p.fillRect(QRectF(2, 3, 2, 10), kInk);
    });
}

QIcon fitWidth()
{
    return drawn([](QPainter& p) {
        frame(p);
        p.fillPath(polygon({{3, 8}, {6, 5}, {6, 7}, {10, 7}, {10, 5}, {13, 8}, {10, 11}, {10, 9},
                            {6, 9}, {6, 11}}),
                   kAccent);
    });
}

QIcon fitWhole()
{
    return drawn([](QPainter& p) {
        frame(p);
        p.fillRect(QRectF(4, 5, 8, 6), kAccent);
    });
}

QIcon originalSize()
{
    return drawn([](QPainter& p) {
        // "1:1" built from bars and dots, so no font is needed.
        p.fillRect(QRectF(3, 3, 2, 10), kInk);
        p.fillRect(QRectF(11, 3, 2, 10), kInk);
        p.fillRect(QRectF(2, 4, 1, 2), kInk);
        p.fillRect(QRectF(10, 4, 1, 2), kInk);
        p.setBrush(kAccent);
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(8, 6), 1.2, 1.2);
        p.drawEllipse(QPointF(8, 11), 1.2, 1.2);
    });
}

QIcon zoomRatio()
{
    return drawn([](QPainter& p) {
        p.setPen(QPen(kInk, 2));
        p.setBrush(QColor(200, 225, 250));
        p.drawEllipse(QPointF(6.5, 6.5), 4.5, 4.5);
        p.setPen(QPen(kInk, 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(10, 10), QPointF(14, 14));
    });
}

QIcon settings()
{
    return drawn([](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(kInk);
        p.translate(8, 8);
        for (int tooth = 0; tooth < 8; ++tooth) {
            p.drawRect(QRectF(-1.5, -7.5, 3, 4));
            p.rotate(45);
        }
        p.drawEllipse(QPointF(0, 0), 5, 5);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(0, 0), 2, 2);
    });
}

QIcon quit()
{
    return drawn([](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(200, 60, 50));
        p.drawEllipse(QPointF(8, 8), 7, 7);
        p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(5, 5), QPointF(11, 11));
        p.drawLine(QPointF(11, 5), QPointF(5, 11));
    });
}

} // namespace tavo::glyphs
