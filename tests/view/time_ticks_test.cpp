// The time axis' ticks for every range a zoom can give: the step, where the ticks fall and
// what their labels show.
#include "tests/view/local_zone.h"
#include "view/time_ticks.h"

#include <QDateTime>
#include <gtest/gtest.h>

namespace zklog::view {
namespace {

using Unit = TimeStep::Unit;

struct StepCase {
    qint64 span_seconds;
    TimeStep step;
    bool shows_hours;
};

void PrintTo(const StepCase& c, std::ostream* out) {
    *out << c.span_seconds << " s";
}

// Whether `at` is a round local time for `step`.
bool on_step(qint64 at, TimeStep step) {
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(at);
    const int second_of_day = local.time().msecsSinceStartOfDay() / 1000;
    const int seconds = static_cast<int>(step.nominal_msecs() / 1000);
    switch (step.unit) {
    case Unit::Second:
    case Unit::Minute:
    case Unit::Hour:
        return local.time().msec() == 0 && second_of_day % seconds == 0;
    case Unit::Day:
        return second_of_day == 0 && local.date().toJulianDay() % step.count == 0 &&
               (step.count != 7 || local.date().dayOfWeek() == Qt::Monday);
    case Unit::Month:
        return second_of_day == 0 && local.date().day() == 1 &&
               (local.date().year() * 12 + local.date().month() - 1) % step.count == 0;
    }
    return false;
}

// A zone without clock changes, so neighbouring ticks are exactly one step apart.
class TimeTicksTest : public ::testing::TestWithParam<StepCase> {
    test::LocalZone zone_{"America/Sao_Paulo"};
};

TEST_P(TimeTicksTest, RoundStepsInsideTheRangeLabelledWithWhatChanges) {
    const StepCase& c = GetParam();
    // Starts off any round time, so the first tick is never the range's own start.
    const qint64 low = QDateTime(QDate(2024, 2, 7), QTime(7, 13, 27, 450)).toMSecsSinceEpoch();
    const qint64 high = low + c.span_seconds * 1000;
    const TimeTicks ticks = round_time_ticks(low, high, 8);
    EXPECT_EQ(ticks.step.unit, c.step.unit);
    EXPECT_EQ(ticks.step.count, c.step.count);
    EXPECT_EQ(ticks.format.contains(QStringLiteral("hh")), c.shows_hours)
        << ticks.format.toStdString();
    ASSERT_GE(ticks.at.size(), 2U);
    EXPECT_LE(ticks.at.size(), 9U);
    for (std::size_t i = 0; i < ticks.at.size(); ++i) {
        EXPECT_GE(ticks.at[i], low);
        EXPECT_LE(ticks.at[i], high);
        EXPECT_TRUE(on_step(ticks.at[i], ticks.step))
            << QDateTime::fromMSecsSinceEpoch(ticks.at[i]).toString().toStdString();
        if (i > 0 && ticks.step.unit != Unit::Month) {
            EXPECT_EQ(ticks.at[i] - ticks.at[i - 1], ticks.step.nominal_msecs());
        }
    }
    // No round time of the step is left out at either end, and eight steps cover the range.
    EXPECT_LT(ticks.at.front() - low, ticks.step.nominal_msecs() * 32 / 30);
    EXPECT_LT(high - ticks.at.back(), ticks.step.nominal_msecs() * 32 / 30);
    EXPECT_GE(ticks.step.nominal_msecs() * 8, high - low);
    // Any smaller step would need more than eight intervals.
    const TimeTicks finer = round_time_ticks(low, high, 16);
    if (finer.step.nominal_msecs() < ticks.step.nominal_msecs()) {
        EXPECT_GT(high - low, finer.step.nominal_msecs() * 8);
    }
}

constexpr qint64 kMinute = 60;
constexpr qint64 kHour = 3600;
constexpr qint64 kDay = 24 * kHour;

INSTANTIATE_TEST_SUITE_P(EachStep, TimeTicksTest,
                         ::testing::Values(StepCase{50, {Unit::Second, 10}, true},
                                           StepCase{3 * kMinute, {Unit::Second, 30}, true},
                                           StepCase{7 * kMinute, {Unit::Minute, 1}, true},
                                           StepCase{35 * kMinute, {Unit::Minute, 5}, true},
                                           StepCase{100 * kMinute, {Unit::Minute, 15}, true},
                                           StepCase{5 * kHour, {Unit::Hour, 1}, true},
                                           StepCase{20 * kHour, {Unit::Hour, 3}, true},
                                           StepCase{40 * kHour, {Unit::Hour, 6}, true},
                                           StepCase{3 * kDay, {Unit::Hour, 12}, true},
                                           StepCase{6 * kDay, {Unit::Day, 1}, false},
                                           StepCase{9 * kDay, {Unit::Day, 2}, false},
                                           StepCase{40 * kDay, {Unit::Day, 7}, false},
                                           StepCase{100 * kDay, {Unit::Day, 14}, false},
                                           StepCase{200 * kDay, {Unit::Month, 1}, false},
                                           StepCase{700 * kDay, {Unit::Month, 3}, false},
                                           StepCase{2000 * kDay, {Unit::Month, 12}, false}));

} // namespace
} // namespace zklog::view
