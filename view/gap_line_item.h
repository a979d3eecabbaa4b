// One series of a chart drawn as pieces of line with a break at each NULL. Qt Charts' own line
// series cannot break, and a series per piece makes thousands of series for a log whose records
// alternate between one channel and two; this item draws all pieces with one path.
#pragma once

#include "view/polyline.h"

#include <QColor>
#include <QGraphicsItem>
#include <QtCharts/QChart>
#include <QtCharts/QXYSeries>

namespace zklog::view {

class GapLineItem : public QGraphicsItem {
public:
    // `anchor` is a series attached to the chart's axes: positions are mapped through it.
    GapLineItem(QChart* chart, QXYSeries* anchor, std::vector<Polyline> pieces, QColor colour);

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

    const std::vector<Polyline>& pieces() const { return pieces_; }

private:
    QChart* chart_;
    QXYSeries* anchor_;
    std::vector<Polyline> pieces_;
    QColor colour_;
    bool antialias_ = true;
    static constexpr std::size_t kMaxSmoothPoints = 2000;
};

} // namespace zklog::view
