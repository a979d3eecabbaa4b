// The 7-word block of differential readings, present when map flag WPX is set; its last word
// is the record's checksum word.
#pragma once

#include "download/record_checksum.h"
#include "store/log_row.h"

#include <cstdint>
#include <span>

namespace zklog::download {

inline constexpr std::uint32_t kDifferentialWords = 7;

// Writes Dif Instantaneo1..3 and Dif Filtrado1..3 from words 0 to 5, finishes the checksum
// over them and checks it against word 6 (CRC, CRC_Valido).
void decode_differential_block(std::span<const std::uint16_t> words, RecordChecksum& checksum,
                               store::LogRow& row);

} // namespace zklog::download
