// The believable relay log: properties that hold for any seed, checked over seeded random ones.
#include "sim/believable_log.h"

#include <algorithm>
#include <chrono>
#include <gtest/gtest.h>
#include <map>
#include <random>

namespace zklog::sim {
namespace {

using std::chrono::sys_seconds;

sys_seconds stamp_of(const GeneratedRecord& r) {
    const std::chrono::year_month_day day{std::chrono::year(2000 + r.year),
                                          std::chrono::month(static_cast<unsigned>(r.month)),
                                          std::chrono::day(static_cast<unsigned>(r.day))};
    EXPECT_TRUE(day.ok());
    return std::chrono::sys_days(day) + std::chrono::hours(r.hour) +
           std::chrono::minutes(r.minute) + std::chrono::seconds(r.second);
}

double degrees(std::int16_t tenths) {
    return tenths / 10.0;
}

// One channel's view of a record, so both channels go through the same checks.
struct Channel {
    std::uint8_t relays;
    std::uint16_t errors;
    std::int16_t top_oil, bottom_oil, winding;
    std::uint16_t tc_a, tc_b;
    bool has_tc_b; // the second channel's TC4, flagged as TC2
};

std::array<Channel, 2> channels_of(const GeneratedRecord& r) {
    return {{{r.relays, r.errors, r.rtd1, r.rtd2, r.enrolamento, r.tc1, 0, false},
             {r.relays2, r.errors2, r.rtd3, r.rtd4, r.enrolamento2, r.tc3, r.tc4, true}}};
}

bool relay_on(std::uint8_t relays, int relay) {
    return (relays & (1u << (relay - 1))) != 0;
}

// What the whole set of seeds must show at least once, so that a generator that never switches
// a relay or never fails a sensor cannot pass.
struct Seen {
    std::array<bool, 8> relay_on{};
    bool fault = false;
    // Per channel, the sensor flags seen set: every sensor that can fail must be seen failing.
    std::array<std::uint16_t, 2> flags_seen{};
    bool power_up_after_gap = false;
    bool hysteresis_hold = false; // a relay kept on between its two thresholds
};

void check_channel(const Channel& now, const Channel* before, bool fresh, Seen& seen,
                   std::size_t channel, const std::string& where) {
    const std::uint16_t sensor_bits = kErrorRtd1 | kErrorRtd2 | kErrorTc1 | kErrorTc2;
    EXPECT_EQ(now.errors & ~sensor_bits, 0) << where;
    seen.fault = seen.fault || now.errors != 0;
    seen.flags_seen[channel] |= now.errors;
    // A faulty sensor reads its fault word, never a value that looks like a temperature.
    EXPECT_EQ((now.errors & kErrorRtd1) != 0,
              static_cast<std::uint16_t>(now.top_oil) == kRtdFaultWord)
        << where;
    EXPECT_EQ((now.errors & kErrorRtd2) != 0,
              static_cast<std::uint16_t>(now.bottom_oil) == kRtdFaultWord)
        << where;
    EXPECT_EQ((now.errors & kErrorTc1) != 0, now.tc_a == kTcFaultWord) << where;
    if ((now.errors & kErrorRtd1) == 0) {
        EXPECT_GE(degrees(now.top_oil), 5.0) << where;
        EXPECT_LE(degrees(now.top_oil), 105.0) << where;
        EXPECT_GE(degrees(now.winding), degrees(now.top_oil) - 0.5) << where;
        EXPECT_LE(degrees(now.winding), degrees(now.top_oil) + 40.0) << where;
    }
    if ((now.errors & kErrorRtd2) == 0) {
        EXPECT_GE(degrees(now.bottom_oil), 5.0) << where;
        EXPECT_LE(degrees(now.bottom_oil), 90.0) << where;
    }
    if ((now.errors & kErrorTc1) == 0) {
        EXPECT_GE(now.tc_a, 500) << where;
        EXPECT_LE(now.tc_a, 14000) << where;
    }
    if (now.has_tc_b) {
        EXPECT_EQ((now.errors & kErrorTc2) != 0, now.tc_b == kTcFaultWord) << where;
        if ((now.errors & kErrorTc2) == 0) {
            EXPECT_GE(now.tc_b, 500) << where;
            EXPECT_LE(now.tc_b, 14000) << where;
        }
    } else {
        EXPECT_EQ(now.errors & kErrorTc2, 0) << where << ": a flag for a sensor not there";
    }
    EXPECT_EQ(relay_on(now.relays, kFaultAlarmRelay), now.errors != 0) << where;
    for (const RelayRule& rule : kRelayRules) {
        const bool on = relay_on(now.relays, rule.relay);
        seen.relay_on[static_cast<std::size_t>(rule.relay - 1)] |= on;
        std::int16_t value = now.winding;
        std::uint16_t sensor = 0;
        if (rule.reading == WatchedReading::TopOil) {
            value = now.top_oil;
            sensor = kErrorRtd1;
        } else if (rule.reading == WatchedReading::BottomOil) {
            value = now.bottom_oil;
            sensor = kErrorRtd2;
        }
        const std::string relay = where + " RL" + std::to_string(rule.relay);
        if ((now.errors & sensor) != 0) {
            EXPECT_FALSE(on) << relay;
        } else if (value >= rule.on_tenths) {
            EXPECT_TRUE(on) << relay << " at " << value;
        } else if (value < rule.off_tenths) {
            EXPECT_FALSE(on) << relay << " at " << value;
        } else {
            // Between the thresholds a relay keeps what it was; after a power-up it starts off.
            const bool was_on = !fresh && before != nullptr && relay_on(before->relays, rule.relay);
            EXPECT_EQ(on, was_on) << relay << " at " << value;
            seen.hysteresis_hold = seen.hysteresis_hold || on;
        }
    }
    seen.relay_on[kFaultAlarmRelay - 1] |= relay_on(now.relays, kFaultAlarmRelay);
}

void check_log(const std::vector<GeneratedRecord>& records, Seen& seen, std::uint32_t seed) {
    std::map<int, std::pair<double, int>> oil_by_hour; // hour -> sum, count
    for (std::size_t i = 0; i < records.size(); ++i) {
        const GeneratedRecord& r = records[i];
        const std::string where = "seed " + std::to_string(seed) + " record " + std::to_string(i);
        const bool fresh = (r.cause & kCausePowerUp) != 0;
        ASSERT_NE(r.cause, 0) << where;
        EXPECT_EQ(r.maps, kMapZka | kMapZkb | kMapWpx) << where;
        EXPECT_EQ(r.words.size(), 25u) << where;
        const auto here = stamp_of(r);
        if (r.minute == 0 && r.second == 0) {
            EXPECT_NE(r.cause & (kCauseLogTime | kCausePowerUp), 0) << where;
        }
        for (const auto d : r.dif) {
            EXPECT_LE(std::abs(d), 40) << where; // a few degrees at most
        }
        const auto now = channels_of(r);
        const GeneratedRecord* previous = i > 0 ? &records[i - 1] : nullptr;
        const auto before = previous != nullptr ? channels_of(*previous) : now;
        if (previous != nullptr) {
            const auto gap = here - stamp_of(*previous);
            EXPECT_GT(gap.count(), 0) << where << ": out of time order";
            // The relay writes every hour while powered: a longer silence is a power cut.
            if (gap > std::chrono::hours(1)) {
                EXPECT_TRUE(fresh) << where << " after " << gap.count() << " s";
                seen.power_up_after_gap = seen.power_up_after_gap || fresh;
            }
            const bool relays_changed =
                r.relays != previous->relays || r.relays2 != previous->relays2;
            if (!fresh) {
                EXPECT_EQ((r.cause & kCauseRelayChange) != 0, relays_changed) << where;
                EXPECT_EQ((r.cause & kCauseErrorChange) != 0,
                          r.errors != previous->errors || r.errors2 != previous->errors2)
                    << where;
            }
        }
        for (std::size_t c = 0; c < now.size(); ++c) {
            check_channel(now[c], previous != nullptr ? &before[c] : nullptr, fresh, seen, c,
                          where + " channel " + std::to_string(c + 1));
        }
        if ((r.errors & kErrorRtd1) == 0 && (r.cause & kCauseLogTime) != 0) {
            auto& [sum, count] = oil_by_hour[r.hour];
            sum += degrees(r.rtd1);
            ++count;
        }
    }
    // The oil follows the load: its warmest hour of the day is well above its coolest.
    double warmest = -1e9;
    double coolest = 1e9;
    for (const auto& [hour, sum_count] : oil_by_hour) {
        const double mean = sum_count.first / sum_count.second;
        warmest = std::max(warmest, mean);
        coolest = std::min(coolest, mean);
    }
    EXPECT_GT(warmest - coolest, 10.0) << "seed " << seed;
}

TEST(BelievableLog, PropertiesHoldForRandomSeeds) {
    std::mt19937 seeds(20240331);
    Seen seen;
    for (int run = 0; run < 12; ++run) {
        const std::uint32_t seed = seeds();
        RelayImage image;
        const auto records = generate_believable_log(image, kBelievableCapacity, seed);
        ASSERT_EQ(records.size(), static_cast<std::size_t>(kBelievableCapacity));
        EXPECT_EQ(image.pointer(), records.back().start - RelayImage::kLogStart);
        const auto spans = walk_records(image, RelayImage::kLogStart + image.pointer());
        ASSERT_EQ(spans.size(), records.size()) << "seed " << seed;
        EXPECT_EQ(records.front().cause & kCausePowerUp, kCausePowerUp);
        check_log(records, seen, seed);
        if (HasFatalFailure()) {
            return;
        }
    }
    for (int relay = 1; relay <= 8; ++relay) {
        EXPECT_TRUE(seen.relay_on[static_cast<std::size_t>(relay - 1)]) << "RL" << relay;
    }
    EXPECT_TRUE(seen.fault);
    // RTD1, RTD2 and TC1 of the first channel; RTD3, RTD4, TC3 and TC4 of the second.
    EXPECT_EQ(seen.flags_seen[0], kErrorRtd1 | kErrorRtd2 | kErrorTc1);
    EXPECT_EQ(seen.flags_seen[1], kErrorRtd1 | kErrorRtd2 | kErrorTc1 | kErrorTc2);
    EXPECT_TRUE(seen.power_up_after_gap);
    EXPECT_TRUE(seen.hysteresis_hold);
}

TEST(BelievableLog, SameSeedSameLogOtherSeedOtherLog) {
    RelayImage a, b, c;
    generate_believable_log(a, 200, 9);
    generate_believable_log(b, 200, 9);
    generate_believable_log(c, 200, 10);
    EXPECT_EQ(a.words(), b.words());
    EXPECT_NE(a.words(), c.words());
}

TEST(BelievableLog, AShortLogIsTheStartOfALongOne) {
    RelayImage short_image, long_image;
    const auto few = generate_believable_log(short_image, 30, 4);
    const auto many = generate_believable_log(long_image, 300, 4);
    ASSERT_EQ(few.size(), 30u);
    for (std::size_t i = 0; i < few.size(); ++i) {
        EXPECT_EQ(few[i].words, many[i].words) << i;
    }
    EXPECT_EQ(short_image.pointer(), few.back().start - RelayImage::kLogStart);
}

TEST(BelievableLog, MoreThanTheMemoryHoldsStopsAtTheEnd) {
    RelayImage image;
    const auto records = generate_believable_log(image, 5000, 2);
    EXPECT_EQ(records.size(), static_cast<std::size_t>(kBelievableCapacity));
    EXPECT_LE(records.back().start, RelayImage::kLastRecordStart);
    EXPECT_GT(records.back().start + 25, RelayImage::kLastRecordStart);
}

TEST(BelievableLog, WrappedMemoryHasTheNewestBeforeThePointer) {
    std::mt19937 random(77);
    for (int run = 0; run < 4; ++run) {
        const int newest = static_cast<int>(random() % 600) + 1;
        RelayImage image;
        const auto records = generate_believable_log(image, newest, random(), LogLayout::Wrapped);
        ASSERT_EQ(records.size(), static_cast<std::size_t>(kBelievableCapacity));
        const auto& last_new = records[static_cast<std::size_t>(newest - 1)];
        EXPECT_EQ(image.pointer(), last_new.start - RelayImage::kLogStart);
        // A whole-memory read walks every record, each where the generator put it.
        const auto spans = walk_records(image, RelayImage::kLastRecordStart);
        ASSERT_EQ(spans.size(), records.size());
        for (std::size_t i = 0; i < records.size(); ++i) {
            ASSERT_EQ(spans[i].start, records[i].start);
        }
        // In time order within each part, and every newer record later than every older one.
        for (std::size_t i = 1; i < records.size(); ++i) {
            if (i != static_cast<std::size_t>(newest)) {
                EXPECT_LT(stamp_of(records[i - 1]), stamp_of(records[i])) << i;
            }
        }
        if (newest < kBelievableCapacity) {
            EXPECT_GT(stamp_of(records.front()), stamp_of(records.back()));
        }
    }
}

TEST(RecordWords, EncodeTheFieldsAsTheEdgeWordGeneratorDoes) {
    RelayImage image;
    for (const GeneratedRecord& r : generate_records(image, 40, 11)) {
        const std::vector<std::uint16_t> without_checksum(r.words.begin(), r.words.end() - 1);
        EXPECT_EQ(record_words(r), without_checksum) << "record at " << r.start;
    }
}

} // namespace
} // namespace zklog::sim
