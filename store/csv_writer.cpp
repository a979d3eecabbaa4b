#include "store/csv_writer.h"

#include "store/log_fields.h"

#include <SQLiteCpp/Statement.h>
#include <array>
#include <charconv>

namespace zklog::store {

namespace {

constexpr std::string_view kLineEnd = "\r\n"; // RFC 4180 records end with CRLF

} // namespace

std::string csv_field(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        return std::string(text);
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

std::string shortest_double(double value) {
    std::array<char, 32> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return {buffer.data(), result.ptr};
}

long write_log_csv(SQLite::Database& db, std::ostream& out) {
    // Prepared first: a file that is no log database writes nothing, not a lone header.
    SQLite::Statement query(db, log_select_sql());
    return write_log_csv(query, out);
}

long write_log_csv(SQLite::Statement& query, std::ostream& out) {
    for (std::size_t i = 0; i < kLogFields.size(); ++i) {
        out << (i ? "," : "") << csv_field(kLogFields[i].name);
    }
    out << kLineEnd;

    long rows = 0;
    while (query.executeStep()) {
        for (int i = 0; i < query.getColumnCount(); ++i) {
            const SQLite::Column column = query.getColumn(i);
            out << (i ? "," : "");
            if (column.isFloat()) {
                out << shortest_double(column.getDouble());
            } else if (column.isInteger()) {
                out << column.getInt64();
            } else if (column.isText()) {
                out << csv_field(column.getString());
            }
        }
        out << kLineEnd;
        ++rows;
    }
    return rows;
}

} // namespace zklog::store
