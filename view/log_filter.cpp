#include "view/log_filter.h"

#include "store/csv_writer.h"
#include "store/log_fields.h"
#include "view/log_source.h"

namespace zklog::view {

namespace {

std::string quoted(std::string_view name) {
    return "\"" + std::string(name) + "\"";
}

std::string filled(std::string_view name) {
    return "(" + quoted(name) + " IS NOT NULL AND " + quoted(name) + " <> '')";
}

std::string like_pattern(const std::string& text) {
    std::string pattern = "%";
    for (const char c : text) {
        if (c == '%' || c == '_' || c == '\\') {
            pattern += '\\';
        }
        pattern += c;
    }
    return pattern + "%";
}

} // namespace

std::string where_clause(const LogFilter& filter) {
    std::vector<std::string> terms;
    if (!filter.text.empty()) {
        std::string any;
        for (const auto& field : store::kLogFields) {
            if (field.kind == store::FieldKind::Text) {
                any += (any.empty() ? "" : " OR ") + quoted(field.name) + " LIKE ?1 ESCAPE '\\'";
            }
        }
        terms.push_back("(" + any + ")");
    }
    if (filter.errors) {
        terms.push_back("(" + filled("Erros") + " OR " + filled("Erros2") + ")");
    }
    if (filter.relay_changes) {
        terms.emplace_back(R"(instr("Causa", 'Mudança Relés') > 0)");
    }
    if (filter.crc_mismatch) {
        terms.emplace_back(R"("CRC_Valido" = 0)");
    }
    std::string clause;
    for (const auto& term : terms) {
        clause += (clause.empty() ? "WHERE " : " AND ") + term;
    }
    return clause;
}

SQLite::Statement select_rows(SQLite::Database& db, const LogFilter& filter,
                              std::int64_t after_rowid, int limit, bool with_rowid) {
    std::string where = where_clause(filter);
    const std::string after = "rowid > " + std::to_string(after_rowid);
    where = where.empty() ? "WHERE " + after : where + " AND " + after;
    SQLite::Statement query(db, std::string("SELECT ") + (with_rowid ? "rowid, " : "") +
                                    log_columns_sql() + " FROM LOG " + where +
                                    " ORDER BY rowid LIMIT " + std::to_string(limit));
    if (!filter.text.empty()) {
        query.bind(1, like_pattern(filter.text));
    }
    return query;
}

std::vector<LogRowValues> read_page(SQLite::Database& db, const LogFilter& filter,
                                    std::int64_t after_rowid, int limit) {
    std::vector<LogRowValues> rows;
    SQLite::Statement query = select_rows(db, filter, after_rowid, limit);
    while (query.executeStep()) {
        LogRowValues row;
        row.rowid = query.getColumn(0).getInt64();
        row.cells.reserve(store::kFieldCount);
        for (int i = 1; i < query.getColumnCount(); ++i) {
            const SQLite::Column column = query.getColumn(i);
            if (column.isFloat()) {
                row.cells.emplace_back(column.getDouble());
            } else if (column.isInteger()) {
                row.cells.emplace_back(column.getInt64());
            } else if (column.isNull()) {
                row.cells.emplace_back(std::monostate{});
            } else {
                row.cells.emplace_back(column.getString());
            }
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string cell_text(const CellValue& value) {
    if (const auto* number = std::get_if<double>(&value)) {
        return store::shortest_double(*number);
    }
    if (const auto* integer = std::get_if<std::int64_t>(&value)) {
        return std::to_string(*integer);
    }
    if (const auto* text = std::get_if<std::string>(&value)) {
        return *text;
    }
    return {};
}

} // namespace zklog::view
