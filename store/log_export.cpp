#include "store/log_export.h"

#include "store/csv_writer.h"
#include "store/log_fields.h"
#include "store/xlsx_writer.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <stdexcept>

namespace zklog::store {

namespace {

long write_csv_file(SQLite::Statement& query, const std::filesystem::path& path) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) {
        throw std::runtime_error("cannot write " + path.string());
    }
    const long rows = write_log_csv(query, file);
    file.close();
    if (!file) {
        throw std::runtime_error("cannot write " + path.string());
    }
    return rows;
}

} // namespace

bool is_workbook_path(const std::filesystem::path& path) {
    std::string suffix = path.extension().string();
    std::transform(suffix.begin(), suffix.end(), suffix.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return suffix == ".xlsx";
}

SQLite::Statement select_log(SQLite::Database& db) {
    return {db, log_select_sql()};
}

long export_log(SQLite::Statement& query, const std::filesystem::path& target) {
    std::filesystem::path partial = target;
    partial += ".partial";
    try {
        const long rows = is_workbook_path(target) ? write_log_xlsx(query, partial)
                                                   : write_csv_file(query, partial);
        std::filesystem::rename(partial, target);
        return rows;
    } catch (...) {
        std::error_code ignored;
        std::filesystem::remove(partial, ignored);
        throw;
    }
}

} // namespace zklog::store
