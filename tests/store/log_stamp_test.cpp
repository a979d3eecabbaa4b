#include "store/log_stamp.h"

#include <gtest/gtest.h>

namespace zklog::store {
namespace {

struct StampCase {
    const char* data;
    const char* hora;
    bool valid;
};

class TimeStampTest : public ::testing::TestWithParam<StampCase> {};

TEST_P(TimeStampTest, AcceptsOnlyRealDatesAndTimes) {
    const auto& c = GetParam();
    EXPECT_EQ(parse_time_stamp(c.data, c.hora).has_value(), c.valid) << c.data << " " << c.hora;
}

INSTANTIATE_TEST_SUITE_P(
    Stamps, TimeStampTest,
    ::testing::Values(StampCase{"13/8/23", "1:11:41", true}, StampCase{"1/1/0", "0:0:0", true},
                      StampCase{"31/12/99", "23:59:59", true},
                      StampCase{"29/2/24", "12:00:00", true},  // leap year
                      StampCase{"29/2/23", "12:00:00", false}, // not a leap year
                      StampCase{"31/4/23", "12:00:00", false}, StampCase{"0/1/23", "1:1:1", false},
                      StampCase{"1/13/23", "1:1:1", false}, StampCase{"1/1/100", "1:1:1", false},
                      StampCase{"165/255/255", "1:1:1", false}, // a relay with a clock fault
                      StampCase{"1/1/23", "24:0:0", false}, StampCase{"1/1/23", "23:60:0", false},
                      StampCase{"1/1/23", "23:0:60", false}, StampCase{"", "", false},
                      StampCase{"1/1", "1:1:1", false}, StampCase{"1/1/23/4", "1:1:1", false},
                      StampCase{"1/-1/23", "1:1:1", false}, StampCase{"1/1/23", "1:1", false},
                      StampCase{"a/1/23", "1:1:1", false}, StampCase{"1/1/23 ", "1:1:1", false}));

TEST(TimeStamp, ReadsDayMonthTwoDigitYearAndClock) {
    const auto stamp = parse_time_stamp("13/8/23", "1:11:41");
    ASSERT_TRUE(stamp);
    EXPECT_EQ(stamp->day, 13);
    EXPECT_EQ(stamp->month, 8);
    EXPECT_EQ(stamp->year, 2023);
    EXPECT_EQ(stamp->hour, 1);
    EXPECT_EQ(stamp->minute, 11);
    EXPECT_EQ(stamp->second, 41);
}

TEST(TimeStamp, SecondsCountFromTheStartOf2000) {
    EXPECT_EQ(seconds_since_2000(*parse_time_stamp("1/1/0", "0:0:0")), 0);
    EXPECT_EQ(seconds_since_2000(*parse_time_stamp("2/1/0", "0:0:1")), 86401);
    EXPECT_EQ(seconds_since_2000(*parse_time_stamp("1/3/0", "0:0:0")), (31 + 29) * 86400LL);
    EXPECT_LT(seconds_since_2000(*parse_time_stamp("31/12/23", "23:59:59")),
              seconds_since_2000(*parse_time_stamp("1/1/24", "0:0:0")));
}

} // namespace
} // namespace zklog::store
