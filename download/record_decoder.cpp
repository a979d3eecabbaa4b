#include "download/record_decoder.h"

#include "device/word_ops.h"
#include "download/base_block.h"
#include "download/differential_block.h"
#include "download/second_channel_block.h"

#include <stdexcept>

namespace zklog::download {

RecordDecoder::RecordDecoder(std::span<const std::uint16_t> base_words, store::LogRow& row)
    : row_(row), map_flags_(decode_base_block(base_words, row)), checksum_(base_words),
      next_(device::bit_test(map_flags_, kMapZKB) == 1 ? Next::SecondChannel
                                                       : after_second_channel()) {}

RecordDecoder::Next RecordDecoder::after_second_channel() const {
    return device::bit_test(map_flags_, kMapWPX) == 1 ? Next::Differential : Next::LoneChecksum;
}

std::uint32_t RecordDecoder::next_block_words() const {
    switch (next_) {
    case Next::SecondChannel:
        return kSecondChannelWords;
    case Next::Differential:
        return kDifferentialWords;
    case Next::LoneChecksum:
        return kLoneChecksumWords;
    case Next::Nothing:
        break;
    }
    return 0;
}

void RecordDecoder::decode_next(std::span<const std::uint16_t> words) {
    if (words.size() != next_block_words()) {
        throw std::logic_error("record block of the wrong size");
    }
    switch (next_) {
    case Next::SecondChannel:
        decode_second_channel_block(words, row_);
        checksum_.feed(words);
        next_ = after_second_channel();
        return;
    case Next::Differential:
        decode_differential_block(words, checksum_, row_);
        break;
    case Next::LoneChecksum:
        check_lone_checksum(words, checksum_, row_);
        break;
    case Next::Nothing:
        return;
    }
    next_ = Next::Nothing;
}

} // namespace zklog::download
