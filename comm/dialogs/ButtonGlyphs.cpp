#include "ButtonGlyphs.h"

#include <functional>

#include <QPainter>
#include <QPixmap>

namespace {

using TGlyphPainter = std::function<void(QPainter&)>;

QIcon Glyph(const TGlyphPainter& draw)
{
    QPixmap pixmap(18, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter);
    return QIcon(pixmap);
}

QPen GlyphPen(QColor colour, qreal width)
{
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

} // namespace

QIcon OkGlyph()
{
    return Glyph([](QPainter& p) {
        p.setPen(GlyphPen(QColor(0x1F, 0x8A, 0x2E), 2.4));
        p.drawPolyline(QPolygonF({QPointF(2.5, 8.5), QPointF(6.5, 12.5), QPointF(13.5, 3.5)}));
    });
}

QIcon CancelGlyph()
{
    return Glyph([](QPainter& p) {
        p.setPen(GlyphPen(QColor(0xC6, 0x28, 0x28), 2.4));
        p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
        p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
    });
}

QIcon AboutGlyph()
{
    return Glyph([](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x2E, 0x6B, 0xC6));
        p.drawEllipse(QRectF(1, 1, 14, 14));
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(8, 4.8), 1.3, 1.3);
        p.drawRoundedRect(QRectF(6.9, 7, 2.2, 6), 0.8, 0.8);
    });
}

// A turning arrow: back to the usual values.
QIcon DefaultGlyph()
{
    return Glyph([](QPainter& p) {
        const QColor colour(0x8A, 0x5A, 0x12);
        p.setPen(GlyphPen(colour, 2.0));
        p.drawArc(QRectF(2.5, 2.5, 11, 11), 60 * 16, 280 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        p.drawPolygon(QPolygonF({QPointF(9.5, 0.5), QPointF(13.5, 3.5), QPointF(9.0, 6.0)}));
    });
}
