#include "bench/decoded_rows.h"

#include "download/base_block.h"
#include "download/record_decoder.h"
#include "sim/record_generator.h"
#include "store/log_fields.h"

#include <span>

namespace zklog::bench {

namespace {

store::LogRow decode(std::span<const std::uint16_t> words) {
    store::LogRow row;
    download::RecordDecoder record(words.first(download::kBaseBlockWords), row);
    std::size_t at = download::kBaseBlockWords;
    while (const std::uint32_t count = record.next_block_words()) {
        record.decode_next(words.subspan(at, count));
        at += count;
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
