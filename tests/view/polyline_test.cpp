#include "view/polyline.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace zklog::view {
namespace {

constexpr double kNull = std::numeric_limits<double>::quiet_NaN();

std::vector<double> numbered(std::size_t count) {
    std::vector<double> x(count);
    for (std::size_t i = 0; i < count; ++i) {
        x[i] = static_cast<double>(i);
    }
    return x;
}

TEST(Polyline, NullSplitsTheLineAndIsNeverZero) {
    const std::vector<double> y{1, 2, kNull, 4, 5, kNull, kNull, 8};
    const auto pieces = polylines(numbered(y.size()), y, 100);
    ASSERT_EQ(pieces.size(), 3U);
    EXPECT_EQ(pieces[0].size(), 2U);
    EXPECT_EQ(pieces[1].front().record, 3U);
    EXPECT_EQ(pieces[2].size(), 1U);
    for (const auto& piece : pieces) {
        for (const auto& point : piece) {
            EXPECT_FALSE(std::isnan(point.y));
            EXPECT_NE(point.y, 0.0);
        }
    }
}

TEST(Polyline, AColumnWithAnyValueIsDrawnWhenThinned) {
    std::vector<double> y(10'000);
    for (std::size_t i = 0; i < y.size(); ++i) {
        y[i] = i % 2 == 0 ? kNull : 1.0; // records of two shapes, alternating
    }
    const auto pieces = polylines(numbered(y.size()), y, 100);
    ASSERT_EQ(pieces.size(), 1U);
    EXPECT_LE(pieces[0].size(), 200U);
}

TEST(Polyline, AllNullGivesNothingToDraw) {
    const std::vector<double> y(10, kNull);
    EXPECT_TRUE(polylines(numbered(y.size()), y, 100).empty());
}

class PolylineThinning : public ::testing::TestWithParam<std::size_t> {};

TEST_P(PolylineThinning, KeepsPeaksAndGapsWithAtMostTwoPointsPerColumn) {
    const std::size_t count = GetParam();
    std::vector<double> y(count);
    for (std::size_t i = 0; i < count; ++i) {
        y[i] = std::sin(static_cast<double>(i) / 50.0);
    }
    y[count / 3] = 1000; // a peak must survive thinning
    const std::size_t columns = 500;
    const std::size_t per_column = (count + columns - 1) / columns;
    for (std::size_t i = count / 2; i < count / 2 + 2 * per_column; ++i) {
        y[i] = kNull; // and so must a gap wider than a column
    }
    const auto pieces = polylines(numbered(count), y, columns);
    std::size_t points = 0;
    double highest = -1;
    for (const auto& piece : pieces) {
        points += piece.size();
        for (const auto& p : piece) {
            highest = std::max(highest, p.y);
            EXPECT_EQ(p.y, y[p.record]);
        }
    }
    EXPECT_EQ(pieces.size(), 2U);
    EXPECT_EQ(highest, 1000);
    EXPECT_LE(points, 2 * columns + 4);
}

INSTANTIATE_TEST_SUITE_P(Sizes, PolylineThinning, ::testing::Values(1'600U, 10'000U, 100'000U));

} // namespace
} // namespace zklog::view
