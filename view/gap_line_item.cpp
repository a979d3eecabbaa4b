#include "view/gap_line_item.h"

#include <QPainter>
#include <QPainterPath>

namespace zklog::view {

GapLineItem::GapLineItem(QChart* chart, QXYSeries* anchor, std::vector<Polyline> pieces,
                         QColor colour)
    : QGraphicsItem(chart), chart_(chart), anchor_(anchor), pieces_(std::move(pieces)),
      colour_(colour) {
    // Above the plot area's background, below the axes' labels.
    setZValue(5);
}

QRectF GapLineItem::boundingRect() const {
    return chart_->plotArea();
}

void GapLineItem::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) {
    painter->save();
    painter->setClipRect(chart_->plotArea());
    painter->setRenderHint(QPainter::Antialiasing);
    QPainterPath lines;
    QPainterPath dots;
    for (const Polyline& piece : pieces_) {
        const QPointF first = chart_->mapToPosition({piece.front().x, piece.front().y}, anchor_);
        if (piece.size() == 1) {
            // A lone value between NULLs has no line to be part of: a dot shows it.
            dots.addEllipse(first, 2.5, 2.5);
            continue;
        }
        lines.moveTo(first);
        for (std::size_t i = 1; i < piece.size(); ++i) {
            lines.lineTo(chart_->mapToPosition({piece[i].x, piece[i].y}, anchor_));
        }
    }
    painter->setPen(QPen(colour_, 1.5));
    painter->setBrush(Qt::NoBrush);
    painter->drawPath(lines);
    painter->setPen(Qt::NoPen);
    painter->setBrush(colour_);
    painter->drawPath(dots);
    painter->restore();
}

} // namespace zklog::view
