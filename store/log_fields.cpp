#include "store/log_fields.h"

namespace zklog::store {

std::optional<std::size_t> field_index(std::string_view name) {
    for (std::size_t i = 0; i < kLogFields.size(); ++i) {
        if (kLogFields[i].name == name) {
            return i;
        }
    }
    return std::nullopt;
}

} // namespace zklog::store
