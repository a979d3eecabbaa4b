#include "view/gap_line_item.h"

#include <QPainter>

namespace zklog::view {

GapLineItem::GapLineItem(QChart* chart, QXYSeries* anchor, std::vector<Polyline> pieces,
                         QColor colour)
    : QGraphicsItem(chart), chart_(chart), anchor_(anchor), pieces_(std::move(pieces)),
      colour_(colour) {
    // Above the plot area's background, below the axes' labels.
    setZValue(5);
    // Smooth edges cost seconds when thousands of long segments cross the whole plot, as in a
    // log whose clock went back many times; past this many points the lines are drawn plain.
    std::size_t points = 0;
    for (const Polyline& piece : pieces_) {
        points += piece.size();
    }
    antialias_ = points <= kMaxSmoothPoints;
}

QRectF GapLineItem::boundingRect() const {
    return chart_->plotArea();
}

void GapLineItem::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) {
    painter->save();
    painter->setClipRect(chart_->plotArea());
    painter->setRenderHint(QPainter::Antialiasing, antialias_);
    // Polylines with a cosmetic pen: a path stroked whole with a wide pen costs seconds at
    // 100,000 records.
    QPen pen(colour_, 1.5);
    pen.setCosmetic(true);
    painter->setPen(pen);
    painter->setBrush(colour_);
    QPolygonF line;
    for (const Polyline& piece : pieces_) {
        line.clear();
        for (const PlotPoint& p : piece) {
            line.append(chart_->mapToPosition({p.x, p.y}, anchor_));
        }
        if (line.size() == 1) {
            // A lone value between NULLs has no line to be part of: a dot shows it.
            painter->drawEllipse(line.front(), 2.0, 2.0);
        } else {
            painter->drawPolyline(line);
        }
    }
    painter->restore();
}

} // namespace zklog::view
