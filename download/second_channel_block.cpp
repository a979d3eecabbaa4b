#include "download/second_channel_block.h"

#include "device/word_ops.h"
#include "download/record_encodings.h"

#include <stdexcept>

namespace zklog::download {

namespace {

constexpr auto kErrorFlags2 = error_flags("ZKA");

} // namespace

void decode_second_channel_block(std::span<const std::uint16_t> words, store::LogRow& row) {
    if (words.size() < kSecondChannelWords) {
        throw std::invalid_argument("a second-channel block has 8 words");
    }
    write_flag_list(row, "Reles Ativos2", device::low(words[0]), relay_flags());
    write_flag_list(row, "Erros2", words[1], kErrorFlags2);
    row.set("RTD3", signed_tenths(words[2]));
    row.set("RTD4", signed_tenths(words[3]));
    row.set("Enrolamento2", signed_tenths(words[4]));
    row.set("Enrolamento3", signed_tenths(words[5]));
    row.set("TC3", hundredths(words[6]));
    row.set("TC4", hundredths(words[7]));
}

} // namespace zklog::download
