#include "view/chart_axes.h"

#include <QDateTime>
#include <QtCharts/QDateTimeAxis>
#include <array>
#include <cmath>

namespace zklog::view {

namespace {

constexpr qint64 kHour = 3600 * 1000;

// Enough decimals that neighbouring ticks never read the same.
QString label_format(double step) {
    return step >= 1     ? QStringLiteral("%.0f")
           : step >= 0.1 ? QStringLiteral("%.1f")
                         : QStringLiteral("%.2f");
}

qint64 local_floor(qint64 msecs, qint64 step_hours) {
    const QDateTime at = QDateTime::fromMSecsSinceEpoch(msecs);
    if (step_hours >= 24) {
        return at.date().startOfDay().toMSecsSinceEpoch();
    }
    const int hour = at.time().hour() / static_cast<int>(step_hours) * static_cast<int>(step_hours);
    return QDateTime(at.date(), QTime(hour, 0)).toMSecsSinceEpoch();
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

TimeTicks round_time_ticks(qint64 low, qint64 high, int max_ticks) {
    static constexpr std::array<qint64, 11> kStepHours{1, 2, 3, 6, 12, 24, 48, 168, 336, 672, 1344};
    TimeTicks ticks;
    for (const qint64 hours : kStepHours) {
        const qint64 step = hours * kHour;
        ticks.first = local_floor(low, hours);
        const qint64 intervals = std::max<qint64>(1, (high - ticks.first + step - 1) / step);
        ticks.count = static_cast<int>(intervals) + 1;
        ticks.last = ticks.first + intervals * step;
        ticks.format = hours >= 24 ? QStringLiteral("dd/MM/yy") : QStringLiteral("dd/MM hh:mm");
        if (intervals <= max_ticks) {
            break;
        }
    }
    return ticks;
}

QValueAxis* make_reading_axis(const QString& unit, int max_ticks) {
    auto* axis = new QValueAxis;
    axis->setTitleText(unit);
    axis->setTruncateLabels(false);
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    // A zoom keeps the ticks on round numbers, closer together the further it goes in.
    QObject::connect(axis, &QValueAxis::rangeChanged, axis,
                     [axis, max_ticks](qreal min, qreal max) {
                         const double step = round_step(max - min, max_ticks);
                         if (axis->tickInterval() != step) {
                             axis->setTickInterval(step);
                             axis->setLabelFormat(label_format(step));
                         }
                     });
    return axis;
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

QAbstractAxis* make_x_axis(bool numbered, bool labelled) {
    QAbstractAxis* axis = nullptr;
    if (numbered) {
        auto* value = new QValueAxis;
        value->setLabelFormat("%d");
        value->setTitleText(labelled ? QStringLiteral("Registro") : QString());
        axis = value;
    } else {
        axis = new QDateTimeAxis;
    }
    axis->setTruncateLabels(false);
    axis->setLabelsVisible(labelled);
    return axis;
}

void set_x_range(QAbstractAxis* axis, double low, double high) {
    if (auto* time = qobject_cast<QDateTimeAxis*>(axis)) {
        const TimeTicks ticks =
            round_time_ticks(static_cast<qint64>(low), static_cast<qint64>(high), 8);
        time->setFormat(ticks.format);
        time->setTickCount(ticks.count);
        time->setRange(QDateTime::fromMSecsSinceEpoch(ticks.first),
                       QDateTime::fromMSecsSinceEpoch(ticks.last));
    } else {
        axis->setRange(low, std::max(high, low + 1));
    }
}

void link_x_axes(std::span<QChart* const> charts) {
    const auto x_axis_of = [](QChart* chart) { return chart->axes(Qt::Horizontal).value(0); };
    for (QChart* source : charts) {
        QAbstractAxis* from = x_axis_of(source);
        for (QChart* target : charts) {
            if (target == source) {
                continue;
            }
            QAbstractAxis* to = x_axis_of(target);
            if (auto* time = qobject_cast<QDateTimeAxis*>(from)) {
                QObject::connect(time, &QDateTimeAxis::rangeChanged, to,
                                 [to](const QDateTime& min, const QDateTime& max) {
                                     auto* other = qobject_cast<QDateTimeAxis*>(to);
                                     if (other != nullptr &&
                                         (other->min() != min || other->max() != max)) {
                                         other->setRange(min, max);
                                     }
                                 });
            } else if (auto* value = qobject_cast<QValueAxis*>(from)) {
                QObject::connect(value, &QValueAxis::rangeChanged, to, [to](qreal min, qreal max) {
                    auto* other = qobject_cast<QValueAxis*>(to);
                    if (other != nullptr && (other->min() != min || other->max() != max)) {
                        other->setRange(min, max);
                    }
                });
            }
        }
    }
}

} // namespace zklog::view
