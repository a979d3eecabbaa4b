// The report's figures against a computation of its own, straight from the simulated relay's
// records, on seeded logs: in time order, saved out of time order, with faulty sensors, with
// bad stamps and with none at all; whole and filtered.
#include "tests/support/temp_dir.h"
#include "tests/view/simulated_log.h"
#include "view/log_source.h"
#include "view/report_log.h"
#include "view/report_text.h"
#include "view/time_stamp.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <numeric>

namespace zklog::view {
namespace {

using test::SimulatedRecord;

constexpr std::array<const char*, 5> kCauseNames{"Tempo LOG Atingido", "Power Up", "Histerese",
                                                 "Mudança Erros", "Mudança Relés"};

std::optional<long long> stamp_of(const sim::GeneratedRecord& r) {
    using namespace std::chrono;
    const year_month_day date{year(2000 + r.year), month(static_cast<unsigned>(r.month)),
                              day(static_cast<unsigned>(r.day))};
    if (!date.ok() || r.hour > 23 || r.minute > 59 || r.second > 59) {
        return std::nullopt;
    }
    const auto since = sys_days(date) - sys_days(year(2000) / January / 1);
    return duration_cast<seconds>(since + hours(r.hour) + minutes(r.minute) + seconds(r.second))
        .count();
}

// Each field's reading and whether the record's own flags call it faulty.
std::array<std::pair<double, bool>, 10> readings_of(const sim::GeneratedRecord& r) {
    const auto flagged = [](std::uint16_t errors, std::uint16_t bit) {
        return (errors & bit) != 0;
    };
    return {{{r.rtd1 / 10.0, flagged(r.errors, sim::kErrorRtd1)},
             {r.rtd2 / 10.0, flagged(r.errors, sim::kErrorRtd2)},
             {r.tc1 / 100.0, flagged(r.errors, sim::kErrorTc1)},
             {r.enrolamento / 10.0, false},
             {r.rtd3 / 10.0, flagged(r.errors2, sim::kErrorRtd1)},
             {r.rtd4 / 10.0, flagged(r.errors2, sim::kErrorRtd2)},
             {r.tc3 / 100.0, flagged(r.errors2, sim::kErrorTc1)},
             {r.tc4 / 100.0, flagged(r.errors2, sim::kErrorTc2)},
             {r.enrolamento2 / 10.0, false},
             {r.enrolamento3 / 10.0, false}}};
}

// The figures worked out plainly, `records` being the reported ones in saved order.
ReportFigures expected_figures(const std::vector<SimulatedRecord>& records) {
    ReportFigures out;
    const std::size_t n = records.size();
    out.records = n;
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), std::size_t{0});
    bool all_stamped = true;
    for (const auto& each : records) {
        out.stamps.push_back(stamp_of(each.record));
        all_stamped = all_stamped && out.stamps.back().has_value();
        out.checksum_failures += each.checksum_failed ? 1 : 0;
    }
    if (all_stamped) {
        std::stable_sort(order.begin(), order.end(),
                         [&](auto a, auto b) { return *out.stamps[a] < *out.stamps[b]; });
    }
    for (const std::size_t i : order) {
        const auto& stamp = out.stamps[i];
        out.unstamped += stamp ? 0 : 1;
        if (stamp && (!out.first_stamped || *stamp < *out.stamps[*out.first_stamped])) {
            out.first_stamped = i;
        }
        if (stamp && (!out.last_stamped || *stamp > *out.stamps[*out.last_stamped])) {
            out.last_stamped = i;
        }
    }
    for (std::size_t field = 0; field < 10; ++field) {
        std::vector<std::pair<double, std::size_t>> good; // (value, record) in time order
        for (const std::size_t i : order) {
            const auto [value, faulty] = readings_of(records[i].record)[field];
            if (!faulty) {
                good.emplace_back(value, i);
            }
        }
        if (good.empty()) {
            continue;
        }
        ReadingFigures reading;
        reading.field = field;
        reading.readings = good.size();
        reading.minimum = std::min_element(good.begin(), good.end())->first;
        const auto top = std::max_element(good.begin(), good.end(), [](auto a, auto b) {
            return a.first < b.first;
        }); // the first of equal maxima
        reading.maximum = top->first;
        reading.maximum_record = top->second;
        double sum = 0;
        for (const auto& [value, record] : good) {
            sum += value;
        }
        reading.mean = sum / static_cast<double>(good.size());
        out.readings.push_back(reading);
    }
    // How long the record at time-order position k lasts.
    const auto span_of = [&](std::size_t k) -> long long {
        if (k + 1 >= n) {
            return 0;
        }
        const auto a = out.stamps[order[k]];
        const auto b = out.stamps[order[k + 1]];
        return a && b && *b >= *a ? *b - *a : 0;
    };
    for (std::size_t relay = 0; relay < 8; ++relay) {
        const auto on = [&](std::size_t k) {
            const auto& r = records[order[k]].record;
            return (((r.relays | r.relays2) >> relay) & 1U) != 0;
        };
        RelayFigures& figures = out.relays[relay];
        for (std::size_t k = 0; k < n;) {
            if (!on(k)) {
                ++k;
                continue;
            }
            figures.operations += k > 0 ? 1 : 0;
            const std::size_t start = k;
            long long length = 0;
            for (; k < n && on(k); ++k) {
                length += span_of(k);
            }
            figures.seconds_on += length;
            if (!figures.longest_from || length > figures.longest_seconds) {
                figures.longest_seconds = length;
                figures.longest_from = order[start];
            }
        }
    }
    std::map<std::string, std::size_t> causes;
    for (const auto& each : records) {
        for (std::size_t bit = 0; bit < kCauseNames.size(); ++bit) {
            causes[kCauseNames[bit]] += (each.record.cause >> bit) & 1U;
        }
        causes[""] += each.record.cause == 0 ? 1 : 0;
    }
    for (const auto& [cause, count] : causes) {
        if (count > 0) {
            out.causes.push_back({cause, count});
        }
    }
    std::stable_sort(out.causes.begin(), out.causes.end(),
                     [](const auto& a, const auto& b) { return a.records > b.records; });
    for (std::size_t k = 0; k < n; ++k) {
        const std::size_t i = order[k];
        if ((records[i].record.cause & sim::kCausePowerUp) != 0) {
            ReportEvent power;
            power.record = i;
            if (k > 0 && out.stamps[order[k - 1]] && out.stamps[i]) {
                power.gap_seconds = *out.stamps[i] - *out.stamps[order[k - 1]];
            }
            out.events.push_back(power);
        }
        for (std::size_t field = 0; field < 10; ++field) {
            const auto faulty = [&](std::size_t at) {
                return readings_of(records[order[at]].record)[field].second;
            };
            if (faulty(k) && (k == 0 || !faulty(k - 1))) {
                ReportEvent fault;
                fault.kind = EventKind::SensorFault;
                fault.record = i;
                fault.field = field;
                std::size_t last = k;
                while (last + 1 < n && faulty(last + 1)) {
                    ++last;
                }
                fault.until_record = order[last];
                out.events.push_back(fault);
            }
        }
        if (records[i].checksum_failed) {
            ReportEvent crc;
            crc.kind = EventKind::ChecksumFailure;
            crc.record = i;
            out.events.push_back(crc);
        }
    }
    return out;
}

void expect_same(const ReportFigures& got, const ReportFigures& want) {
    EXPECT_EQ(got.records, want.records);
    EXPECT_EQ(got.checksum_failures, want.checksum_failures);
    EXPECT_EQ(got.unstamped, want.unstamped);
    EXPECT_EQ(got.stamps, want.stamps);
    EXPECT_EQ(got.first_stamped, want.first_stamped);
    EXPECT_EQ(got.last_stamped, want.last_stamped);
    ASSERT_EQ(got.readings.size(), want.readings.size());
    for (std::size_t i = 0; i < got.readings.size(); ++i) {
        const auto& g = got.readings[i];
        const auto& w = want.readings[i];
        SCOPED_TRACE(kTemperatureFields[w.field]);
        EXPECT_EQ(g.field, w.field);
        EXPECT_EQ(g.readings, w.readings);
        EXPECT_NEAR(g.minimum, w.minimum, 1e-9);
        EXPECT_NEAR(g.mean, w.mean, 1e-6);
        EXPECT_NEAR(g.maximum, w.maximum, 1e-9);
        EXPECT_EQ(g.maximum_record, w.maximum_record);
    }
    for (std::size_t relay = 0; relay < 8; ++relay) {
        SCOPED_TRACE("RL" + std::to_string(relay + 1));
        EXPECT_EQ(got.relays[relay].operations, want.relays[relay].operations);
        EXPECT_EQ(got.relays[relay].seconds_on, want.relays[relay].seconds_on);
        EXPECT_EQ(got.relays[relay].longest_seconds, want.relays[relay].longest_seconds);
        EXPECT_EQ(got.relays[relay].longest_from, want.relays[relay].longest_from);
    }
    ASSERT_EQ(got.causes.size(), want.causes.size());
    for (std::size_t i = 0; i < got.causes.size(); ++i) {
        EXPECT_EQ(got.causes[i].cause, want.causes[i].cause);
        EXPECT_EQ(got.causes[i].records, want.causes[i].records);
    }
    ASSERT_EQ(got.events.size(), want.events.size());
    for (std::size_t i = 0; i < got.events.size(); ++i) {
        const auto& g = got.events[i];
        const auto& w = want.events[i];
        SCOPED_TRACE("event " + std::to_string(i));
        EXPECT_EQ(g.kind, w.kind);
        EXPECT_EQ(g.record, w.record);
        EXPECT_EQ(g.gap_seconds, w.gap_seconds);
        EXPECT_EQ(g.field, w.field);
        EXPECT_EQ(g.until_record, w.until_record);
    }
}

struct ReportCase {
    const char* name;
    test::LogDamage damage;
};

class ReportFiguresTest : public ::testing::TestWithParam<ReportCase> {};

// Whole and filtered, the report of a log is the plain computation over the rows it covers.
TEST_P(ReportFiguresTest, MatchThePlainComputationForEverySeed) {
    struct Filtered {
        LogFilter filter;
        std::function<bool(const SimulatedRecord&)> keeps;
    };
    LogFilter crc;
    crc.crc_mismatch = true;
    LogFilter power_up;
    power_up.text = "power up";
    const std::vector<Filtered> filters{
        {{}, [](const auto&) { return true; }},
        {crc, [](const auto& r) { return r.checksum_failed; }},
        {power_up, [](const auto& r) { return (r.record.cause & sim::kCausePowerUp) != 0; }},
    };
    for (const unsigned seed : {1U, 2U, 3U}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        test::TempDir dir;
        const auto path = dir.file("LOG_ZKA_ZKB.db");
        const auto saved = test::write_simulated_log(dir, path, 300, seed, GetParam().damage);
        ASSERT_GT(saved.size(), 100U);
        SQLite::Database db = open_log_read_only(path);
        for (const auto& [filter, keeps] : filters) {
            std::vector<SimulatedRecord> kept;
            std::copy_if(saved.begin(), saved.end(), std::back_inserter(kept), keeps);
            SCOPED_TRACE("filter \"" + filter.text + "\"" + (filter.crc_mismatch ? " CRC" : ""));
            expect_same(compute_report_figures(load_report_log(db, filter)),
                        expected_figures(kept));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Logs, ReportFiguresTest,
    ::testing::Values(
        ReportCase{"in_time_order", {.bad_checksum_share = 0.05}},
        ReportCase{"saved_out_of_time_order",
                   {.layout = sim::LogLayout::Wrapped, .bad_checksum_share = 0.05}},
        ReportCase{"faulty_sensors", {.bad_checksum_share = 0.02, .sensor_fault = true}},
        ReportCase{"some_bad_stamps", {.bad_stamp_share = 0.05, .bad_checksum_share = 0.05}},
        ReportCase{
            "no_real_stamps",
            {.layout = sim::LogLayout::Wrapped, .bad_stamp_share = 1.0, .sensor_fault = true}}),
    [](const auto& info) { return std::string(info.param.name); });

// The damage the cases above rely on really is in their logs.
TEST(ReportFigures, TheSeededLogsHoldWhatTheCasesNeed) {
    test::TempDir dir;
    test::write_simulated_log(dir, dir.file("a.db"), 300, 1,
                              {.layout = sim::LogLayout::Wrapped, .sensor_fault = true});
    SQLite::Database db = open_log_read_only(dir.file("a.db"));
    const auto log = load_report_log(db);
    EXPECT_FALSE(std::is_sorted(log.data.order.begin(), log.data.order.end()));
    const auto figures = compute_report_figures(log);
    EXPECT_TRUE(std::any_of(figures.events.begin(), figures.events.end(),
                            [](const auto& e) { return e.kind == EventKind::SensorFault; }));
    EXPECT_TRUE(std::any_of(figures.events.begin(), figures.events.end(),
                            [](const auto& e) { return e.kind == EventKind::PowerUp; }));
    EXPECT_TRUE(std::any_of(figures.relays.begin(), figures.relays.end(),
                            [](const auto& r) { return r.operations > 1 && r.seconds_on > 0; }));
}

TEST(ReportText, WritesNumbersDurationsAndStampsAsABrazilianReaderDoes) {
    EXPECT_EQ(temperature_text(118.3), QString::fromUtf8("118,3 °C"));
    EXPECT_EQ(decimal_text(1234.56), QStringLiteral("1.234,6"));
    EXPECT_EQ(decimal_text(-0.04), QStringLiteral("0,0"));
    EXPECT_EQ(decimal_text(-12.25, 2), QStringLiteral("-12,25"));
    EXPECT_EQ(duration_text(0), QStringLiteral("0:00"));
    EXPECT_EQ(duration_text(89), QStringLiteral("0:01"));
    EXPECT_EQ(duration_text(5400), QStringLiteral("1:30"));
    EXPECT_EQ(duration_text(360'000), QStringLiteral("100:00"));
    EXPECT_EQ(stamp_text(0), QStringLiteral("01/01/2000 00:00:00"));
    const auto leap = parse_time_stamp("29/2/24", "23:59:58");
    ASSERT_TRUE(leap);
    EXPECT_EQ(stamp_text(seconds_since_2000(*leap)), QStringLiteral("29/02/2024 23:59:58"));
}

} // namespace
} // namespace zklog::view
