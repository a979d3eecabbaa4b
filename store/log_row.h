// One row of table LOG being filled: every field starts without a value (NULL).
#pragma once

#include "store/log_fields.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace zklog::store {

using FieldValue = std::variant<std::monostate, std::string, double, std::int64_t>;

class LogRow {
public:
    // Field access by column name. An unknown name or a value of the wrong kind for the
    // column throws std::invalid_argument: both are mistakes in the caller, not in the data.
    void set(std::string_view name, FieldValue value);
    const FieldValue& get(std::string_view name) const;
    bool is_null(std::string_view name) const;

    const FieldValue& at(std::size_t column) const { return values_[column]; }

private:
    std::array<FieldValue, kFieldCount> values_{};
};

} // namespace zklog::store
