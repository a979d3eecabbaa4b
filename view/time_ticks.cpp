#include "view/time_ticks.h"

#include <QDateTime>
#include <array>

namespace zklog::view {

namespace {

using Unit = TimeStep::Unit;

constexpr qint64 kSecond = 1000;
constexpr qint64 kDay = 24 * 3600 * kSecond;

constexpr std::array<TimeStep, 32> kSteps{{
    {Unit::Second, 1},  {Unit::Second, 2},  {Unit::Second, 5},  {Unit::Second, 10},
    {Unit::Second, 15}, {Unit::Second, 30}, {Unit::Minute, 1},  {Unit::Minute, 2},
    {Unit::Minute, 5},  {Unit::Minute, 10}, {Unit::Minute, 15}, {Unit::Minute, 30},
    {Unit::Hour, 1},    {Unit::Hour, 2},    {Unit::Hour, 3},    {Unit::Hour, 6},
    {Unit::Hour, 12},   {Unit::Day, 1},     {Unit::Day, 2},     {Unit::Day, 7},
    {Unit::Day, 14},    {Unit::Month, 1},   {Unit::Month, 2},   {Unit::Month, 3},
    {Unit::Month, 6},   {Unit::Month, 12},  {Unit::Month, 24},  {Unit::Month, 60},
    {Unit::Month, 120}, {Unit::Month, 240}, {Unit::Month, 600}, {Unit::Month, 1200},
}};

QString format_for(TimeStep step) {
    switch (step.unit) {
    case Unit::Second:
        return QStringLiteral("hh:mm:ss");
    case Unit::Minute:
    case Unit::Hour:
        return QStringLiteral("dd/MM hh:mm");
    case Unit::Day:
        return QStringLiteral("dd/MM/yy");
    case Unit::Month:
        break;
    }
    return QStringLiteral("MM/yyyy");
}

// Times within a day: every `seconds`-th second of each local day, skipping the times a clock
// change leaves out.
void ticks_within_days(qint64 low, qint64 high, int seconds, std::vector<qint64>& at) {
    const QDateTime first = QDateTime::fromMSecsSinceEpoch(low);
    const QDate last_day = QDateTime::fromMSecsSinceEpoch(high).date();
    int index = first.time().msecsSinceStartOfDay() / 1000 / seconds;
    for (QDate day = first.date(); day <= last_day; day = day.addDays(1), index = 0) {
        for (; index * seconds < 24 * 3600; ++index) {
            const QTime wanted = QTime(0, 0).addSecs(index * seconds);
            const QDateTime tick(day, wanted);
            if (tick.time() != wanted) {
                continue;
            }
            const qint64 msecs = tick.toMSecsSinceEpoch();
            if (msecs > high) {
                return;
            }
            if (msecs >= low) {
                at.push_back(msecs);
            }
        }
    }
}

bool is_tick_day(QDate day, TimeStep step) {
    if (step.unit == Unit::Day) {
        // Julian day 0 is a Monday: weeks start on Mondays.
        return day.toJulianDay() % step.count == 0;
    }
    const int months = day.year() * 12 + day.month() - 1;
    return day.day() == 1 && months % step.count == 0;
}

void ticks_on_days(qint64 low, qint64 high, TimeStep step, std::vector<qint64>& at) {
    const QDate last_day = QDateTime::fromMSecsSinceEpoch(high).date();
    for (QDate day = QDateTime::fromMSecsSinceEpoch(low).date(); day <= last_day;
         day = day.addDays(1)) {
        if (!is_tick_day(day, step)) {
            continue;
        }
        const qint64 msecs = day.startOfDay().toMSecsSinceEpoch();
        if (msecs >= low && msecs <= high) {
            at.push_back(msecs);
        }
    }
}

} // namespace

qint64 TimeStep::nominal_msecs() const {
    switch (unit) {
    case Unit::Second:
        return count * kSecond;
    case Unit::Minute:
        return count * 60 * kSecond;
    case Unit::Hour:
        return count * 3600 * kSecond;
    case Unit::Day:
        return count * kDay;
    case Unit::Month:
        break;
    }
    return count * (kDay * 36525 / 1200);
}

TimeTicks round_time_ticks(qint64 low, qint64 high, int max_ticks) {
    TimeTicks ticks;
    ticks.step = kSteps.back();
    for (const TimeStep step : kSteps) {
        if (step.nominal_msecs() * std::max(1, max_ticks) >= high - low) {
            ticks.step = step;
            break;
        }
    }
    ticks.format = format_for(ticks.step);
    if (high < low) {
        return ticks;
    }
    if (ticks.step.unit == Unit::Day || ticks.step.unit == Unit::Month) {
        ticks_on_days(low, high, ticks.step, ticks.at);
    } else {
        ticks_within_days(low, high, static_cast<int>(ticks.step.nominal_msecs() / kSecond),
                          ticks.at);
    }
    return ticks;
}

} // namespace zklog::view
