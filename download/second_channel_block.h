// The 8-word block of the second channel, present when map flag ZKB is set.
#pragma once

#include "store/log_row.h"

#include <cstdint>
#include <span>

namespace zklog::download {

inline constexpr std::uint32_t kSecondChannelWords = 8;

// Writes Reles Ativos2, Erros2, RTD3, RTD4, Enrolamento2, Enrolamento3, TC3 and TC4.
void decode_second_channel_block(std::span<const std::uint16_t> words, store::LogRow& row);

} // namespace zklog::download
