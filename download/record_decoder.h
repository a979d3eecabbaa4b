// One log record, decoded block by block in memory order. Which blocks follow the base block
// is known only once it is decoded (its map flags), so the caller asks for the size of the next
// block, reads it and hands it over, until the record is complete.
#pragma once

#include "download/record_checksum.h"
#include "store/log_row.h"

#include <cstdint>
#include <span>

namespace zklog::download {

class RecordDecoder {
public:
    // Decodes the base block (kBaseBlockWords words) into `row`, which must outlive the decoder,
    // and starts the record's checksum over it.
    RecordDecoder(std::span<const std::uint16_t> base_words, store::LogRow& row);

    // Words of the block that comes next: the second channel's (map flag ZKB), then the
    // differential block's (map flag WPX) or the lone checksum word; 0 once the record is whole.
    std::uint32_t next_block_words() const;
    // Decodes the next block, of exactly next_block_words() words, into the row.
    void decode_next(std::span<const std::uint16_t> words);

private:
    enum class Next { SecondChannel, Differential, LoneChecksum, Nothing };
    Next after_second_channel() const;

    store::LogRow& row_;
    std::uint32_t map_flags_;
    RecordChecksum checksum_;
    Next next_;
};

} // namespace zklog::download
