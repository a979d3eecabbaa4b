#include "view/chart_axes.h"

#include "view/time_ticks.h"

#include <QDateTime>
#include <QtCharts/QCategoryAxis>
#include <algorithm>
#include <cmath>

namespace zklog::view {

namespace {

// The most intervals an axis' ticks may split its range into, kept on the axis itself.
constexpr const char* kTickLimit = "zklog_tick_limit";
constexpr int kXTicks = 8;
// A lone moment on the time axis gets this much room either side.
constexpr double kLoneMomentRoom = 30 * 60 * 1000;

// Enough decimals that neighbouring ticks never read the same.
QString label_format(double step) {
    return step >= 1     ? QStringLiteral("%.0f")
           : step >= 0.1 ? QStringLiteral("%.1f")
                         : QStringLiteral("%.2f");
}

int tick_limit(const QValueAxis* axis) {
    return std::max(1, axis->property(kTickLimit).toInt());
}

// Labels at the round local times inside the range; each category ends at its tick, where
// its label is drawn.
void label_times(QCategoryAxis* axis) {
    const TimeTicks ticks =
        round_time_ticks(std::llround(axis->min()), std::llround(axis->max()), tick_limit(axis));
    const QStringList old = axis->categoriesLabels();
    for (auto label = old.rbegin(); label != old.rend(); ++label) {
        axis->remove(*label);
    }
    axis->setStartValue(axis->min() - 1);
    for (const qint64 at : ticks.at) {
        axis->append(QDateTime::fromMSecsSinceEpoch(at).toString(ticks.format),
                     static_cast<qreal>(at));
    }
}

// Ticks chosen again for the axis' range as it is now.
void retick(QValueAxis* axis) {
    if (auto* time = qobject_cast<QCategoryAxis*>(axis)) {
        label_times(time);
        return;
    }
    const double step = round_step(axis->max() - axis->min(), tick_limit(axis));
    if (axis->tickInterval() != step) {
        axis->setTickInterval(step);
        axis->setLabelFormat(label_format(step));
    }
}

// A zoom keeps the ticks round, closer together the further it goes in.
void follow_range(QValueAxis* axis, int max_ticks) {
    axis->setProperty(kTickLimit, max_ticks);
    QObject::connect(axis, &QValueAxis::rangeChanged, axis, [axis] { retick(axis); });
}

QValueAxis* make_number_axis(const QString& title, int max_ticks) {
    auto* axis = new QValueAxis;
    axis->setTitleText(title);
    axis->setTruncateLabels(false);
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    follow_range(axis, max_ticks);
    return axis;
}

} // namespace

double round_step(double span, int max_ticks) {
    if (!(span > 0) || max_ticks < 1) {
        return 1;
    }
    const double rough = span / max_ticks;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
        if (factor * power >= rough * (1 - 1e-9)) {
            return factor * power;
        }
    }
    return 10 * power;
}

QValueAxis* make_reading_axis(const QString& unit, int max_ticks) {
    return make_number_axis(unit, max_ticks);
}

void set_reading_range(QValueAxis* axis, double low, double high) {
    if (!std::isfinite(low) || !std::isfinite(high)) {
        low = 0;
        high = 100;
    }
    if (high - low < 1) {
        low -= 0.5;
        high += 0.5;
    }
    // A little room above and below, so no line runs along the frame.
    const double pad = (high - low) * 0.03;
    const double step = round_step(high - low + 2 * pad, 6);
    axis->setRange(std::floor((low - pad) / step) * step, std::ceil((high + pad) / step) * step);
}

QValueAxis* make_x_axis(bool numbered, bool labelled) {
    QValueAxis* axis = nullptr;
    if (numbered) {
        axis = make_number_axis(labelled ? QStringLiteral("Registro") : QString(), kXTicks);
    } else {
        auto* time = new QCategoryAxis;
        time->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
        time->setTruncateLabels(false);
        follow_range(time, kXTicks);
        axis = time;
    }
    axis->setLabelsVisible(labelled);
    return axis;
}

void set_x_range(QValueAxis* axis, double low, double high) {
    if (!(high > low)) {
        const double room = qobject_cast<QCategoryAxis*>(axis) ? kLoneMomentRoom : 1;
        low -= room;
        high += room;
    }
    axis->setRange(low, high);
    retick(axis); // the same range as before sends no signal
}

void set_x_tick_limit(QValueAxis* axis, int max_ticks) {
    if (tick_limit(axis) != max_ticks) {
        axis->setProperty(kTickLimit, max_ticks);
        retick(axis);
    }
}

void link_x_axes(std::span<QChart* const> charts) {
    const auto x_axis_of = [](QChart* chart) {
        return qobject_cast<QValueAxis*>(chart->axes(Qt::Horizontal).value(0));
    };
    for (QChart* source : charts) {
        QValueAxis* from = x_axis_of(source);
        for (QChart* target : charts) {
            QValueAxis* to = x_axis_of(target);
            if (target == source || from == nullptr || to == nullptr) {
                continue;
            }
            QObject::connect(from, &QValueAxis::rangeChanged, to, [to](qreal min, qreal max) {
                if (to->min() != min || to->max() != max) {
                    to->setRange(min, max);
                }
            });
        }
    }
}

} // namespace zklog::view
