#include "store/log_row.h"

#include <stdexcept>

namespace zklog::store {

namespace {

std::size_t column_of(std::string_view name) {
    auto index = field_index(name);
    if (!index) {
        throw std::invalid_argument("LOG has no field named '" + std::string(name) + "'");
    }
    return *index;
}

bool fits(FieldKind kind, const FieldValue& value) {
    switch (kind) {
    case FieldKind::Text:
        return std::holds_alternative<std::string>(value);
    case FieldKind::Real:
        return std::holds_alternative<double>(value);
    case FieldKind::Integer:
        return std::holds_alternative<std::int64_t>(value);
    }
    return false;
}

} // namespace

void LogRow::set(std::string_view name, FieldValue value) {
    const std::size_t column = column_of(name);
    if (!std::holds_alternative<std::monostate>(value) && !fits(kLogFields[column].kind, value)) {
        throw std::invalid_argument("wrong kind of value for LOG field '" + std::string(name) +
                                    "'");
    }
    values_[column] = std::move(value);
}

const FieldValue& LogRow::get(std::string_view name) const {
    return values_[column_of(name)];
}

bool LogRow::is_null(std::string_view name) const {
    return std::holds_alternative<std::monostate>(get(name));
}

} // namespace zklog::store
