#include "download/differential_block.h"

#include "download/record_encodings.h"

#include <stdexcept>

namespace zklog::download {

void decode_differential_block(std::span<const std::uint16_t> words, RecordChecksum& checksum,
                               store::LogRow& row) {
    if (words.size() < kDifferentialWords) {
        throw std::invalid_argument("a differential block has 7 words");
    }
    row.set("Dif Instantaneo1", signed_tenths(words[0]));
    row.set("Dif Instantaneo2", signed_tenths(words[1]));
    row.set("Dif Instantaneo3", signed_tenths(words[2]));
    row.set("Dif Filtrado1", signed_tenths(words[3]));
    row.set("Dif Filtrado2", signed_tenths(words[4]));
    row.set("Dif Filtrado3", signed_tenths(words[5]));
    checksum.feed(words.first(6));
    write_checksum_fields(row, words[6], checksum);
}

} // namespace zklog::download
