// The columns of table LOG, in table order: one row per downloaded log record.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zklog::store {

enum class FieldKind { Text, Real, Integer };

struct FieldDef {
    std::string_view name;
    FieldKind kind;
    // The longest text the decoders can write into a Text field, in characters (UTF-8 code
    // points, as a report or a grid shows them, not bytes); 0 for the other kinds.
    std::size_t max_length = 0;
};

inline constexpr std::array<FieldDef, 26> kLogFields{{
    {"Data", FieldKind::Text, 11},
    {"Hora", FieldKind::Text, 11},
    {"Causa", FieldKind::Text, 71},
    {"Mapas", FieldKind::Text, 15},
    {"Reles Ativos", FieldKind::Text, 40},
    {"Erros", FieldKind::Text, 88},
    {"RTD1", FieldKind::Real},
    {"RTD2", FieldKind::Real},
    {"TC1", FieldKind::Real},
    {"Enrolamento", FieldKind::Real},
    {"Reles Ativos2", FieldKind::Text, 40},
    {"Erros2", FieldKind::Text, 88},
    {"RTD3", FieldKind::Real},
    {"RTD4", FieldKind::Real},
    {"Enrolamento2", FieldKind::Real},
    {"Enrolamento3", FieldKind::Real},
    {"TC3", FieldKind::Real},
    {"TC4", FieldKind::Real},
    {"Dif Instantaneo1", FieldKind::Real},
    {"Dif Instantaneo2", FieldKind::Real},
    {"Dif Instantaneo3", FieldKind::Real},
    {"Dif Filtrado1", FieldKind::Real},
    {"Dif Filtrado2", FieldKind::Real},
    {"Dif Filtrado3", FieldKind::Real},
    {"CRC", FieldKind::Integer},
    {"CRC_Valido", FieldKind::Integer},
}};

inline constexpr std::size_t kFieldCount = kLogFields.size();

// "SELECT" of every field of LOG, in table order, in the order the rows were saved.
const std::string& log_select_sql();

// Column index of a field name, spelled exactly (blanks included).
std::optional<std::size_t> field_index(std::string_view name);

} // namespace zklog::store
