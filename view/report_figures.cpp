#include "view/report_figures.h"

#include "view/time_stamp.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

namespace zklog::view {

namespace {

// How long the record at time-order position `at` lasts: until the next record's stamp, when
// both are real and the clock did not go back; unknown counts as nothing.
long long lasts(const ReportFigures& figures, const ChartData& data, std::size_t at) {
    if (at + 1 >= data.size()) {
        return 0;
    }
    const auto& from = figures.stamps[data.order[at]];
    const auto& to = figures.stamps[data.order[at + 1]];
    return from && to && *to >= *from ? *to - *from : 0;
}

void add_period(ReportFigures& figures, const ChartData& data) {
    for (const std::size_t record : data.order) {
        const auto& stamp = figures.stamps[record];
        if (!stamp) {
            ++figures.unstamped;
            continue;
        }
        if (!figures.first_stamped || *stamp < *figures.stamps[*figures.first_stamped]) {
            figures.first_stamped = record;
        }
        if (!figures.last_stamped || *stamp > *figures.stamps[*figures.last_stamped]) {
            figures.last_stamped = record;
        }
    }
}

void add_readings(ReportFigures& figures, const ChartData& data) {
    for (std::size_t field = 0; field < kTemperatureFields.size(); ++field) {
        const auto bit = static_cast<std::uint16_t>(1U << field);
        ReadingFigures reading;
        reading.field = field;
        double sum = 0;
        for (const std::size_t record : data.order) {
            const double value = data.temperatures[field][record];
            if (std::isnan(value) || (data.faults[record] & bit) != 0) {
                continue;
            }
            if (reading.readings == 0 || value < reading.minimum) {
                reading.minimum = value;
            }
            if (reading.readings == 0 || value > reading.maximum) {
                reading.maximum = value;
                reading.maximum_record = record;
            }
            sum += value;
            ++reading.readings;
        }
        if (reading.readings > 0) {
            reading.mean = sum / static_cast<double>(reading.readings);
            figures.readings.push_back(reading);
        }
    }
}

void add_relays(ReportFigures& figures, const ChartData& data) {
    for (int relay = 0; relay < kRelayCount; ++relay) {
        const auto bit = static_cast<std::uint8_t>(1U << static_cast<unsigned>(relay));
        RelayFigures& out = figures.relays[static_cast<std::size_t>(relay)];
        bool was_on = false;
        std::size_t stretch_from = 0;
        long long stretch = 0;
        for (std::size_t at = 0; at < data.size(); ++at) {
            const std::size_t record = data.order[at];
            const bool on = (data.relays[record] & bit) != 0;
            if (on && !was_on) {
                out.operations += at > 0 ? 1 : 0;
                stretch_from = record;
                stretch = 0;
            }
            if (on) {
                const long long piece = lasts(figures, data, at);
                out.seconds_on += piece;
                stretch += piece;
                if (!out.longest_from || stretch > out.longest_seconds) {
                    out.longest_seconds = stretch;
                    out.longest_from = stretch_from;
                }
            }
            was_on = on;
        }
    }
}

void add_causes(ReportFigures& figures, const ReportLog& log) {
    std::map<std::string, std::size_t> counts;
    for (const auto& text : log.causes) {
        const auto flags = flag_texts(text);
        if (flags.empty()) {
            ++counts[""];
        }
        for (const auto& flag : flags) {
            ++counts[flag];
        }
    }
    for (const auto& [cause, records] : counts) {
        figures.causes.push_back({cause, records});
    }
    std::stable_sort(
        figures.causes.begin(), figures.causes.end(),
        [](const CauseCount& a, const CauseCount& b) { return a.records > b.records; });
}

void add_events(ReportFigures& figures, const ReportLog& log) {
    const ChartData& data = log.data;
    // (time-order position, kind, field) keeps events of one record in a fixed order.
    std::vector<std::tuple<std::size_t, EventKind, std::size_t, ReportEvent>> found;
    std::array<std::optional<std::size_t>, kTemperatureFields.size()> fault_from{};
    for (std::size_t at = 0; at <= data.size(); ++at) {
        const bool inside = at < data.size();
        const std::size_t record = inside ? data.order[at] : 0;
        for (std::size_t field = 0; field < kTemperatureFields.size(); ++field) {
            const bool faulty = inside && (data.faults[record] & (1U << field)) != 0;
            if (faulty && !fault_from[field]) {
                fault_from[field] = at;
            } else if (!faulty && fault_from[field]) {
                ReportEvent event;
                event.kind = EventKind::SensorFault;
                event.record = data.order[*fault_from[field]];
                event.field = field;
                event.until_record = data.order[at - 1];
                found.emplace_back(*fault_from[field], event.kind, field, event);
                fault_from[field].reset();
            }
        }
        if (!inside) {
            break;
        }
        const auto causes = flag_texts(log.causes[record]);
        if (std::find(causes.begin(), causes.end(), kPowerUpCause) != causes.end()) {
            ReportEvent event;
            event.record = record;
            if (at > 0) {
                const auto& before = figures.stamps[data.order[at - 1]];
                const auto& now = figures.stamps[record];
                if (before && now) {
                    event.gap_seconds = *now - *before;
                }
            }
            found.emplace_back(at, event.kind, 0, event);
        }
        if (log.checksum_failed[record]) {
            ReportEvent event;
            event.kind = EventKind::ChecksumFailure;
            event.record = record;
            found.emplace_back(at, event.kind, 0, event);
        }
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        return std::tie(std::get<0>(a), std::get<1>(a), std::get<2>(a)) <
               std::tie(std::get<0>(b), std::get<1>(b), std::get<2>(b));
    });
    for (const auto& each : found) {
        figures.events.push_back(std::get<3>(each));
    }
}

} // namespace

std::vector<std::string> flag_texts(std::string_view list) {
    std::vector<std::string> flags;
    while (!list.empty()) {
        const auto bar = list.find('|');
        std::string_view flag = list.substr(0, bar);
        while (!flag.empty() && flag.front() == ' ') {
            flag.remove_prefix(1);
        }
        while (!flag.empty() && flag.back() == ' ') {
            flag.remove_suffix(1);
        }
        if (!flag.empty()) {
            flags.emplace_back(flag);
        }
        if (bar == std::string_view::npos) {
            break;
        }
        list.remove_prefix(bar + 1);
    }
    return flags;
}

ReportFigures compute_report_figures(const ReportLog& log) {
    const ChartData& data = log.data;
    ReportFigures figures;
    figures.records = data.size();
    figures.checksum_failures = static_cast<std::size_t>(
        std::count(log.checksum_failed.begin(), log.checksum_failed.end(), true));
    figures.stamps.reserve(data.size());
    for (std::size_t record = 0; record < data.size(); ++record) {
        const auto stamp = parse_time_stamp(data.dates[record], data.times[record]);
        figures.stamps.push_back(stamp ? std::optional(seconds_since_2000(*stamp)) : std::nullopt);
    }
    add_period(figures, data);
    add_readings(figures, data);
    add_relays(figures, data);
    add_causes(figures, log);
    add_events(figures, log);
    return figures;
}

} // namespace zklog::view
