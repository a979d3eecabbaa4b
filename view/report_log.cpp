#include "view/report_log.h"

#include "store/log_fields.h"
#include "view/mapped_scan.h"
#include "view/time_stamp.h"

#include <SQLiteCpp/Transaction.h>
#include <algorithm>
#include <numeric>

namespace zklog::view {

namespace {

std::size_t field_index(std::string_view name) {
    const auto* found = std::find_if(store::kLogFields.begin(), store::kLogFields.end(),
                                     [name](const auto& field) { return field.name == name; });
    return static_cast<std::size_t>(found - store::kLogFields.begin());
}

// The records of `all` at `keep` (ascending), placed on the axis as the charts place a log of
// just these records: by stamp when every one has a real stamp, else by record number.
ChartData only(const ChartData& all, const std::vector<std::size_t>& keep) {
    ChartData data;
    data.x_is_time = true;
    for (const std::size_t i : keep) {
        data.rowids.push_back(all.rowids[i]);
        data.dates.push_back(all.dates[i]);
        data.times.push_back(all.times[i]);
        data.relays.push_back(all.relays[i]);
        data.faults.push_back(all.faults[i]);
        for (std::size_t f = 0; f < data.temperatures.size(); ++f) {
            data.temperatures[f].push_back(all.temperatures[f][i]);
        }
        for (std::size_t f = 0; f < data.differentials.size(); ++f) {
            data.differentials[f].push_back(all.differentials[f][i]);
        }
        const auto stamp = parse_time_stamp(all.dates[i], all.times[i]);
        data.x_is_time = data.x_is_time && stamp.has_value();
        data.x.push_back(stamp ? static_cast<double>(seconds_since_2000(*stamp)) : 0.0);
    }
    if (!data.x_is_time) {
        std::iota(data.x.begin(), data.x.end(), 1.0);
    }
    data.order.resize(data.size());
    std::iota(data.order.begin(), data.order.end(), std::size_t{0});
    std::stable_sort(data.order.begin(), data.order.end(),
                     [&data](std::size_t a, std::size_t b) { return data.x[a] < data.x[b]; });
    return data;
}

} // namespace

ReportLog load_report_log(SQLite::Database& db, const LogFilter& filter) {
    SQLite::Transaction reading(db);
    const MappedScan both_passes(db);
    ChartData all = load_chart_data(db);
    std::vector<std::int64_t> rowids;
    std::vector<bool> failed;
    std::vector<std::string> causes;
    const int crc_column = static_cast<int>(field_index("CRC_Valido")) + 1;
    const int cause_column = static_cast<int>(field_index("Causa")) + 1;
    SQLite::Statement rows = select_rows(db, filter, 0, -1);
    while (rows.executeStep()) {
        rowids.push_back(rows.getColumn(0).getInt64());
        const SQLite::Column crc = rows.getColumn(crc_column);
        failed.push_back(!crc.isNull() && crc.getInt64() == 0);
        const SQLite::Column cause = rows.getColumn(cause_column);
        causes.emplace_back(cause.isNull() ? std::string() : cause.getString());
    }
    reading.commit();

    ReportLog log;
    log.checksum_failed = std::move(failed);
    log.causes = std::move(causes);
    if (rowids == all.rowids) {
        log.data = std::move(all);
        return log;
    }
    // Both lists are in rowid order.
    std::vector<std::size_t> keep;
    keep.reserve(rowids.size());
    std::size_t at = 0;
    for (const std::int64_t rowid : rowids) {
        at = static_cast<std::size_t>(
            std::lower_bound(all.rowids.begin() + static_cast<std::ptrdiff_t>(at), all.rowids.end(),
                             rowid) -
            all.rowids.begin());
        keep.push_back(at);
    }
    log.data = only(all, keep);
    return log;
}

} // namespace zklog::view
