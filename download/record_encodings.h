// The value encodings that every block of a log record shares.
#pragma once

#include "store/log_row.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zklog::download {

// A byte of a date or time as decimal digits: no sign, no padding ("0", "7", "255").
std::string byte_text(std::uint32_t byte);

// A 16-bit two's-complement count of tenths: -3276.8 to 3276.7.
double signed_tenths(std::uint32_t word);

// An unsigned count of hundredths: 0 to 655.35, never negative.
double hundredths(std::uint32_t word);

struct FlagText {
    std::uint32_t bit;
    std::string_view text;
};

// "| " and the flag's text for every set flag, in ascending bit order, nothing between them;
// no value at all when no flag is set, so the field stays NULL rather than empty text.
std::optional<std::string> flag_list(std::uint32_t source, std::span<const FlagText> flags);

// Writes the flag list into the field only when some flag is set.
void write_flag_list(store::LogRow& row, std::string_view field, std::uint32_t source,
                     std::span<const FlagText> flags);

// The eight relay flags "RL1" to "RL8" of bits 0 to 7.
std::span<const FlagText> relay_flags();

// The fourteen error flags of bits 0 to 13. Each channel reports the other one's link at bit 0,
// so only that text differs between the base block ("ZKB") and the second channel ("ZKA").
constexpr std::array<FlagText, 14> error_flags(std::string_view bit0_text) {
    return {{
        {0, bit0_text},
        {1, "SUP"},
        {2, "E2PROM"},
        {3, "OVERFLOW"},
        {4, "RTD"},
        {5, "PIC"},
        {6, "TC1"},
        {7, "TC2"},
        {8, "RTD1"},
        {9, "RTD2"},
        {10, "CAL1"},
        {11, "CAL2"},
        {12, "SALTO1"},
        {13, "SALTO2"},
    }};
}

} // namespace zklog::download
