#include "view/plot_alignment.h"

#include <QGraphicsLayout>
#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

namespace zklog::view {

namespace {

// The extra room lives in the chart layout's contents margins (fractional, unlike the chart's
// own margins), which nothing else in the charts sets.
struct SideRoom {
    qreal left = 0;
    qreal right = 0;
};

SideRoom side_room(QChart* chart) {
    qreal left = 0;
    qreal top = 0;
    qreal right = 0;
    qreal bottom = 0;
    chart->layout()->getContentsMargins(&left, &top, &right, &bottom);
    return {left, right};
}

// One step: the edges each chart would have without extra room decide the common ones.
// Returns whether any chart's room changed.
bool line_up(std::span<QChart* const> charts) {
    qreal left = -std::numeric_limits<qreal>::infinity();
    qreal right = std::numeric_limits<qreal>::infinity();
    std::vector<std::pair<qreal, qreal>> own;
    for (QChart* chart : charts) {
        const QRectF area = chart->plotArea();
        const SideRoom room = side_room(chart);
        own.emplace_back(area.left() - room.left, area.right() + room.right);
        left = std::max(left, own.back().first);
        right = std::min(right, own.back().second);
    }
    if (!(left < right)) {
        return false; // not laid out yet
    }
    bool changed = false;
    for (std::size_t i = 0; i < charts.size(); ++i) {
        const SideRoom now = side_room(charts[i]);
        const SideRoom wanted{left - own[i].first, own[i].second - right};
        if (std::abs(now.left - wanted.left) > 1e-6 || std::abs(now.right - wanted.right) > 1e-6) {
            charts[i]->layout()->setContentsMargins(wanted.left, 0, wanted.right, 0);
            changed = true;
        }
    }
    return changed;
}

} // namespace

void align_plot_areas(std::span<QChart* const> charts) {
    // A chart reports its new plot area while the others may still wait to be laid out with
    // the room last given to them, so the alignment runs once all are laid out, after the
    // event that moved them; the layouts it causes itself are not news.
    struct Alignment {
        std::vector<QChart*> charts;
        bool pending = false;
        bool running = false;
    };
    auto alignment = std::make_shared<Alignment>();
    alignment->charts.assign(charts.begin(), charts.end());
    for (QChart* chart : charts) {
        QObject::connect(chart, &QChart::plotAreaChanged, chart, [alignment, chart] {
            if (alignment->pending || alignment->running) {
                return;
            }
            alignment->pending = true;
            QMetaObject::invokeMethod(
                chart,
                [alignment] {
                    alignment->pending = false;
                    alignment->running = true;
                    align_plot_areas_now(alignment->charts);
                    alignment->running = false;
                },
                Qt::QueuedConnection);
        });
    }
}

void align_plot_areas_now(std::span<QChart* const> charts) {
    // A label's width can move an edge only once more, so a few rounds always settle.
    for (int round = 0; round < 4; ++round) {
        for (QChart* chart : charts) {
            chart->layout()->activate();
        }
        if (!line_up(charts)) {
            return;
        }
    }
}

} // namespace zklog::view
