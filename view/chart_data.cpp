#include "view/chart_data.h"

#include "view/mapped_scan.h"
#include "view/sensor_faults.h"
#include "view/time_stamp.h"

#include <SQLiteCpp/Statement.h>
#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace zklog::view {

namespace {

std::string select_sql() {
    std::string sql =
        R"(SELECT rowid, "Data", "Hora", "Reles Ativos", "Reles Ativos2", "Erros", "Erros2")";
    for (const auto name : kTemperatureFields) {
        sql += ", \"" + std::string(name) + "\"";
    }
    for (const auto name : kDifferentialFields) {
        sql += ", \"" + std::string(name) + "\"";
    }
    return sql + " FROM LOG ORDER BY rowid";
}

double number_or_nan(const SQLite::Column& column) {
    if (column.isNull() || column.isText() || column.isBlob()) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    return column.getDouble();
}

std::string_view text_of(const SQLite::Column& column) {
    if (column.isNull()) {
        return {};
    }
    return {column.getText(), static_cast<std::size_t>(column.getBytes())};
}

} // namespace

std::uint8_t relay_mask(std::string_view text) {
    std::uint8_t mask = 0;
    for (std::size_t at = text.find("RL"); at != std::string_view::npos;
         at = text.find("RL", at + 2)) {
        if (at + 2 < text.size() && text[at + 2] >= '1' && text[at + 2] <= '8') {
            mask |= static_cast<std::uint8_t>(1U << static_cast<unsigned>(text[at + 2] - '1'));
        }
    }
    return mask;
}

ChartData load_chart_data(SQLite::Database& db) {
    ChartData data;
    std::vector<long long> stamps;
    const MappedScan whole_table(db);
    SQLite::Statement query(db, select_sql());
    while (query.executeStep()) {
        data.rowids.push_back(query.getColumn(0).getInt64());
        const std::string_view date = text_of(query.getColumn(1));
        const std::string_view time = text_of(query.getColumn(2));
        data.dates.emplace_back(date);
        data.times.emplace_back(time);
        const auto stamp = parse_time_stamp(date, time);
        if (stamp) {
            stamps.push_back(seconds_since_2000(*stamp));
        } else {
            data.x_is_time = false;
        }
        data.relays.push_back(static_cast<std::uint8_t>(relay_mask(text_of(query.getColumn(3))) |
                                                        relay_mask(text_of(query.getColumn(4)))));
        data.faults.push_back(
            faulty_readings(text_of(query.getColumn(5)), text_of(query.getColumn(6))));
        int column = 7;
        for (auto& series : data.temperatures) {
            series.push_back(number_or_nan(query.getColumn(column++)));
        }
        for (auto& series : data.differentials) {
            series.push_back(number_or_nan(query.getColumn(column++)));
        }
    }
    data.x.resize(data.size());
    for (std::size_t i = 0; i < data.size(); ++i) {
        data.x[i] = data.x_is_time ? static_cast<double>(stamps[i]) : static_cast<double>(i + 1);
    }
    data.order.resize(data.size());
    std::iota(data.order.begin(), data.order.end(), std::size_t{0});
    std::stable_sort(data.order.begin(), data.order.end(),
                     [&data](std::size_t a, std::size_t b) { return data.x[a] < data.x[b]; });
    return data;
}

} // namespace zklog::view
