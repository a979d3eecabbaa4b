// The first ten words of every log record: time stamp, cause, map flags, relays, errors and
// the first channel's readings.
#pragma once

#include "store/log_row.h"

#include <cstdint>
#include <span>

namespace zklog::download {

inline constexpr std::uint32_t kBaseBlockWords = 10;

// Map flag bits: which blocks follow the base block.
inline constexpr std::uint32_t kMapZKA = 0;
inline constexpr std::uint32_t kMapZKB = 1; // the second-channel block follows
inline constexpr std::uint32_t kMapWPX = 2; // the differential block follows

// Writes Data, Hora, Causa, Mapas, Reles Ativos, Erros, RTD1, RTD2, TC1 and Enrolamento from
// the block's ten words and returns the map flag byte.
std::uint32_t decode_base_block(std::span<const std::uint16_t> words, store::LogRow& row);

} // namespace zklog::download
