#include "download/base_block.h"

#include "device/word_ops.h"
#include "download/record_encodings.h"

#include <array>
#include <stdexcept>

namespace zklog::download {

namespace {

using device::high;
using device::low;

constexpr std::array<FlagText, 5> kCauseFlags{{
    {0, "Tempo LOG Atingido"},
    {1, "Power Up"},
    {2, "Histerese"},
    {3, "Mudança Erros"},
    {4, "Mudança Relés"},
}};

constexpr std::array<FlagText, 3> kMapFlags{{
    {kMapZKA, "ZKA"},
    {kMapZKB, "ZKB"},
    {kMapWPX, "WPX"},
}};

constexpr auto kErrorFlags = error_flags("ZKB");

} // namespace

std::uint32_t decode_base_block(std::span<const std::uint16_t> words, store::LogRow& row) {
    if (words.size() < kBaseBlockWords) {
        throw std::invalid_argument("a base block has 10 words");
    }
    // The relay stores the time stamp as it counts it; the bytes are shown in stored order,
    // unchecked, so a clock fault stays visible in the log.
    row.set("Data", byte_text(high(words[0])) + "/" + byte_text(low(words[0])) + "/" +
                        byte_text(high(words[1])));
    row.set("Hora", byte_text(low(words[1])) + ":" + byte_text(high(words[2])) + ":" +
                        byte_text(low(words[2])));

    const std::uint32_t map_flags = low(words[3]);
    write_flag_list(row, "Causa", high(words[3]), kCauseFlags);
    write_flag_list(row, "Mapas", map_flags, kMapFlags);
    write_flag_list(row, "Reles Ativos", low(words[4]), relay_flags());
    write_flag_list(row, "Erros", words[5], kErrorFlags);

    row.set("RTD1", signed_tenths(words[6]));
    row.set("RTD2", signed_tenths(words[7]));
    row.set("TC1", hundredths(words[8]));
    row.set("Enrolamento", signed_tenths(words[9]));
    return map_flags;
}

} // namespace zklog::download
