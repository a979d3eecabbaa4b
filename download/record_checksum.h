// The checksum that closes every log record: CRC-16/MODBUS over the record's words, the
// checksum word itself excluded.
#pragma once

#include "store/log_row.h"

#include <cstdint>
#include <span>

namespace zklog::download {

class RecordChecksum {
public:
    // Starts a record's checksum over its base block.
    explicit RecordChecksum(std::span<const std::uint16_t> base_words);
    void feed(std::span<const std::uint16_t> words);
    std::uint32_t value() const { return running_; }

private:
    std::uint32_t running_;
};

// Writes CRC (the checksum word, 0 to 65535) and CRC_Valido (1 when it equals the running
// checksum, else 0). A mismatch is recorded, not reported: the row is saved all the same.
void write_checksum_fields(store::LogRow& row, std::uint32_t checksum_word,
                           const RecordChecksum& checksum);

inline constexpr std::uint32_t kLoneChecksumWords = 1;

// The record ends with the checksum word alone (map flag WPX clear).
void check_lone_checksum(std::span<const std::uint16_t> words, const RecordChecksum& checksum,
                         store::LogRow& row);

} // namespace zklog::download
