#include "download/record_checksum.h"

#include "device/word_ops.h"

#include <stdexcept>

namespace zklog::download {

namespace {

constexpr std::uint32_t kChecksumStart = 0xFFFF;

} // namespace

RecordChecksum::RecordChecksum(std::span<const std::uint16_t> base_words)
    : running_(kChecksumStart) {
    feed(base_words);
}

void RecordChecksum::feed(std::span<const std::uint16_t> words) {
    for (const std::uint16_t word : words) {
        running_ = device::crc_calc(running_, word);
    }
}

void write_checksum_fields(store::LogRow& row, std::uint32_t checksum_word,
                           const RecordChecksum& checksum) {
    row.set("CRC", static_cast<std::int64_t>(checksum_word & 0xFFFFu));
    row.set("CRC_Valido", static_cast<std::int64_t>(checksum_word == checksum.value() ? 1 : 0));
}

void check_lone_checksum(std::span<const std::uint16_t> words, const RecordChecksum& checksum,
                         store::LogRow& row) {
    if (words.size() < kLoneChecksumWords) {
        throw std::invalid_argument("a lone checksum is 1 word");
    }
    write_checksum_fields(row, words[0], checksum);
}

} // namespace zklog::download
