// Round ticks, time placement on clock-change days, fault marks and flags, without widgets.
#include "tests/view/local_zone.h"
#include "view/chart_axes.h"
#include "view/reading_series.h"
#include "view/sensor_faults.h"
#include "view/wall_clock.h"

#include <QDateTime>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <random>

namespace zklog::view {
namespace {

bool is_round(double step) {
    const double mantissa = step / std::pow(10.0, std::floor(std::log10(step)));
    return std::abs(mantissa - 1) < 1e-9 || std::abs(mantissa - 2) < 1e-9 ||
           std::abs(mantissa - 5) < 1e-9;
}

double next_smaller_round_step(double step) {
    // The nudge keeps log10 of an exact power of ten from flooring to the power below.
    const double power = std::pow(10.0, std::floor(std::log10(step) + 1e-9));
    const double mantissa = step / power;
    if (mantissa < 1.5) {
        return power / 2; // 1 -> 0.5
    }
    return mantissa < 3.5 ? power : 2 * power; // 2 -> 1, 5 -> 2
}

TEST(RoundStep, IsTheSmallestOfOneTwoOrFiveTimesAPowerOfTenThatFits) {
    std::mt19937 random(18);
    std::uniform_real_distribution<double> exponent(-3, 5);
    for (int i = 0; i < 2000; ++i) {
        const double span = std::pow(10.0, exponent(random));
        const int max_ticks = 2 + static_cast<int>(random() % 9);
        const double step = round_step(span, max_ticks);
        ASSERT_TRUE(is_round(step)) << span << " " << max_ticks << " -> " << step;
        EXPECT_LE(span / step, max_ticks * (1 + 1e-9)) << span << " " << max_ticks;
        // The smallest that fits: the next smaller round step (5 below 10, 2 below 5, 1 below
        // 2) would need more than max_ticks intervals.
        EXPECT_GT(span / next_smaller_round_step(step), max_ticks * (1 + 1e-9))
            << span << " " << max_ticks << " -> " << step;
    }
}

// Lisbon, whose clocks change in spring and autumn.
class ZoneTest : public ::testing::Test {
    test::LocalZone zone_{"Europe/Lisbon"};
};

long long seconds_since_2000(int year, int month, int day, int hour, int minute) {
    const QDateTime utc(QDate(year, month, day), QTime(hour, minute), Qt::UTC);
    return (utc.toMSecsSinceEpoch() -
            QDateTime(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC).toMSecsSinceEpoch()) /
           1000;
}

TEST_F(ZoneTest, StampsKeepTheirWallClockReadingOnClockChangeDays) {
    WallClock clock;
    // The clocks go forward at 01:00 on 31/3/2024 and back at 02:00 on 27/10/2024 in Lisbon;
    // the stamps before the change on those days are looked up first, as a log reads them.
    const std::array<std::array<int, 5>, 8> stamps{{{2024, 3, 31, 0, 30},
                                                    {2024, 3, 31, 12, 0},
                                                    {2024, 3, 31, 23, 59},
                                                    {2024, 10, 27, 0, 15},
                                                    {2024, 10, 27, 9, 45},
                                                    {2024, 10, 27, 23, 0},
                                                    {2024, 7, 1, 13, 5},
                                                    {2024, 1, 1, 6, 0}}};
    for (const auto& s : stamps) {
        const qint64 msecs = clock.msecs(seconds_since_2000(s[0], s[1], s[2], s[3], s[4]));
        const QDateTime shown = QDateTime::fromMSecsSinceEpoch(msecs);
        EXPECT_EQ(shown.date(), QDate(s[0], s[1], s[2]));
        EXPECT_EQ(shown.time(), QTime(s[3], s[4])) << s[1] << "/" << s[2];
    }
}

TEST(FaultyReadings, NameTheFlaggedSensorsOfEachChannel) {
    EXPECT_EQ(faulty_readings("", ""), 0);
    // "RTD" is the RTD board, not a sensor of its own; TC2 has no field on the first channel.
    EXPECT_EQ(faulty_readings("| RTD| TC2| SUP", ""), 0);
    EXPECT_EQ(faulty_readings("| TC1| RTD1", ""), (1U << 0) | (1U << 2));
    EXPECT_EQ(faulty_readings("| RTD2", "| ZKA| RTD1| RTD2"), (1U << 1) | (1U << 4) | (1U << 5));
    EXPECT_EQ(faulty_readings("", "| TC1| TC2"), (1U << 6) | (1U << 7));
}

TEST(ReadingSeries, FlaggedReadingsAreMarksNotValuesAndLinesGoInTimeOrder) {
    // Saved order is not time order: the last record is the earliest.
    const std::vector<double> x{20, 30, 40, 50, 10};
    const std::vector<std::size_t> order{4, 0, 1, 2, 3};
    const std::vector<double> values{61, 3276.7, 3276.7, 63, 60};
    const std::vector<std::uint16_t> faults{0, 1, 1, 0, 0};
    const SeriesSource source{x, order, values, faults, 0U};

    const auto pieces = reading_pieces(source, false, 100);
    ASSERT_EQ(pieces.size(), 2U);
    ASSERT_EQ(pieces[0].size(), 2U);
    EXPECT_EQ(pieces[0][0].record, 4U);
    EXPECT_EQ(pieces[0][1].record, 0U);
    EXPECT_EQ(pieces[1].front().record, 3U);
    for (const auto& piece : pieces) {
        for (const auto& p : piece) {
            EXPECT_LT(p.y, 100) << "a fault word drawn as a value";
        }
    }
    const auto marks = fault_marks(source, 100);
    ASSERT_EQ(marks.size(), 2U);
    EXPECT_EQ(marks[0].x, 30);
    EXPECT_EQ(marks[0].y, 61); // on the line where it breaks off
    EXPECT_EQ(marks[1].record, 2U);

    const auto raw = reading_pieces(source, true, 100);
    ASSERT_EQ(raw.size(), 1U);
    EXPECT_EQ(raw[0].size(), 5U);
}

TEST(ReadingSeries, AFieldFaultyFromTheStartWaitsForItsFirstGoodReading) {
    const std::vector<double> x{1, 2, 3};
    const std::vector<std::size_t> order{0, 1, 2};
    const std::vector<double> values{3276.7, 40, 41};
    const std::vector<std::uint16_t> faults{1U << 3, 0, 0};
    const auto marks = fault_marks({x, order, values, faults, 3U}, 100);
    ASSERT_EQ(marks.size(), 1U);
    EXPECT_EQ(marks[0].y, 40);
    // Another field's flag puts no mark on this one.
    EXPECT_TRUE(fault_marks({x, order, values, faults, 0U}, 100).empty());
}

} // namespace
} // namespace zklog::view
