#include "bench/decoded_rows.h"

#include "device/word_ops.h"
#include "download/base_block.h"
#include "download/differential_block.h"
#include "download/record_checksum.h"
#include "download/second_channel_block.h"
#include "sim/record_generator.h"
#include "store/log_fields.h"

#include <span>

namespace zklog::bench {

namespace {

store::LogRow decode(std::span<const std::uint16_t> words) {
    using namespace download;
    store::LogRow row;
    const auto base = words.first(kBaseBlockWords);
    const std::uint32_t maps = decode_base_block(base, row);
    RecordChecksum checksum(base);
    std::size_t at = kBaseBlockWords;
    if (device::bit_test(maps, kMapZKB) == 1) {
        const auto block = words.subspan(at, kSecondChannelWords);
        decode_second_channel_block(block, row);
        checksum.feed(block);
        at += kSecondChannelWords;
    }
    if (device::bit_test(maps, kMapWPX) == 1) {
        decode_differential_block(words.subspan(at, kDifferentialWords), checksum, row);
    } else {
        check_lone_checksum(words.subspan(at, kLoneChecksumWords), checksum, row);
    }
    return row;
}

} // namespace

std::vector<FieldSettings> decoded_rows(int count, unsigned seed) {
    sim::RelayImage image;
    std::vector<FieldSettings> rows;
    for (const auto& record : sim::generate_records(image, count, seed)) {
        const store::LogRow row = decode(record.words);
        FieldSettings fields;
        for (std::size_t column = 0; column < store::kFieldCount; ++column) {
            if (!std::holds_alternative<std::monostate>(row.at(column))) {
                fields.emplace_back(store::kLogFields[column].name, row.at(column));
            }
        }
        rows.push_back(std::move(fields));
    }
    return rows;
}

} // namespace zklog::bench
