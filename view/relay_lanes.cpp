#include "view/relay_lanes.h"

#include "view/chart_palette.h"

#include <QtCharts/QAreaSeries>
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QLineSeries>

namespace zklog::view {

QAbstractAxis* make_lane_axis() {
    auto* axis = new QCategoryAxis;
    axis->setRange(0, kRelayCount);
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionCenter);
    QFont small = axis->labelsFont();
    small.setPointSizeF(7);
    axis->setLabelsFont(small);
    axis->setTruncateLabels(false);
    for (int relay = 0; relay < kRelayCount; ++relay) {
        axis->append(QStringLiteral("RL%1").arg(relay + 1), relay + 1);
    }
    return axis;
}

void add_relay_lanes(QChart* chart, const ChartData& data, std::span<const double> x,
                     std::size_t columns, QAbstractAxis* x_axis, QAbstractAxis* lane_axis) {
    if (data.size() == 0) {
        return;
    }
    const std::size_t count = data.size();
    const std::size_t per_column = std::max<std::size_t>(1, (count + columns - 1) / columns);
    const double first = x[data.order.front()];
    const double last = x[data.order.back()];
    // Each lane is a band that is full height while the relay is active and flat otherwise:
    // one area per relay however often it switches. Thinned like the lines: a column shows
    // the relay active when any of its records does.
    for (int relay = 0; relay < kRelayCount; ++relay) {
        auto* upper = new QLineSeries;
        auto* lower = new QLineSeries;
        const double base = relay + 0.1;
        const double top = relay + 0.9;
        const auto bit = 1U << static_cast<unsigned>(relay);
        bool on = false;
        for (std::size_t start = 0; start < count; start += per_column) {
            bool now = false;
            for (std::size_t i = start; i < std::min(count, start + per_column) && !now; ++i) {
                now = (data.relays[data.order[i]] & bit) != 0;
            }
            const double at = x[data.order[start]];
            if (start == 0 || now != on) {
                upper->append(at, on ? top : base);
                upper->append(at, now ? top : base);
                on = now;
            }
        }
        upper->append(last, on ? top : base);
        lower->append(first, base);
        lower->append(last, base);
        auto* area = new QAreaSeries(upper, lower);
        area->setName(QStringLiteral("RL%1").arg(relay + 1));
        area->setColor(series_colour(static_cast<std::size_t>(relay)));
        area->setBorderColor(series_colour(static_cast<std::size_t>(relay)));
        chart->addSeries(area);
        area->attachAxis(x_axis);
        area->attachAxis(lane_axis);
    }
}

} // namespace zklog::view
