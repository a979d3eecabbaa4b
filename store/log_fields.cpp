#include "store/log_fields.h"

namespace zklog::store {

const std::string& log_select_sql() {
    static const std::string sql = [] {
        std::string text = "SELECT ";
        for (std::size_t i = 0; i < kLogFields.size(); ++i) {
            text += (i ? ", \"" : "\"") + std::string(kLogFields[i].name) + "\"";
        }
        return text + " FROM LOG ORDER BY rowid";
    }();
    return sql;
}

std::optional<std::size_t> field_index(std::string_view name) {
    for (std::size_t i = 0; i < kLogFields.size(); ++i) {
        if (kLogFields[i].name == name) {
            return i;
        }
    }
    return std::nullopt;
}

} // namespace zklog::store
