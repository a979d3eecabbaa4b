// Feeds arbitrary register words through the record decoders, block by block exactly as the
// download reads them, and stops on any row the table could not take as it is meant to be:
// a text longer than its column's maximum or not UTF-8, a checksum field out of its range, or
// a reading that is not a finite number.
#include "download/base_block.h"
#include "download/record_decoder.h"
#include "store/log_fields.h"
#include "store/log_row.h"
#include "tests/support/utf8_text.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace {

using namespace zklog;

[[noreturn]] void fail(std::string_view field, const char* what) {
    std::fprintf(stderr, "record_decoding_fuzz: field '%.*s' %s\n", static_cast<int>(field.size()),
                 field.data(), what);
    std::abort();
}

void check_text(const store::FieldDef& field, const std::string& text) {
    const auto characters = test::utf8_characters(text);
    if (!characters) {
        fail(field.name, "is not well-formed UTF-8");
    }
    if (*characters > field.max_length) {
        fail(field.name, "is longer than its maximum");
    }
}

void check_integer(const store::FieldDef& field, std::int64_t value) {
    if (field.name == "CRC" && (value < 0 || value > 0xFFFF)) {
        fail(field.name, "is not 0 to 65535");
    }
    if (field.name == "CRC_Valido" && value != 0 && value != 1) {
        fail(field.name, "is neither 0 nor 1");
    }
}

// `complete`: the record's last block was decoded too, so its checksum fields are set.
void check_row(const store::LogRow& row, bool complete) {
    for (std::size_t column = 0; column < store::kFieldCount; ++column) {
        const store::FieldDef& field = store::kLogFields[column];
        const store::FieldValue& value = row.at(column);
        if (const auto* text = std::get_if<std::string>(&value)) {
            check_text(field, *text);
        } else if (const auto* real = std::get_if<double>(&value)) {
            if (!std::isfinite(*real)) {
                fail(field.name, "is not a finite number");
            }
        } else if (const auto* integer = std::get_if<std::int64_t>(&value)) {
            check_integer(field, *integer);
        }
    }
    // Every record has a time stamp, and every whole one its checksum.
    for (std::string_view always : {"Data", "Hora"}) {
        if (row.is_null(always)) {
            fail(always, "is NULL");
        }
    }
    if (complete && (row.is_null("CRC") || row.is_null("CRC_Valido"))) {
        fail("CRC", "is NULL after a whole record");
    }
}

// Decodes one record from the front of `words` and returns how many words it took, or 0 when
// a block would run past the end (the download would fail that read; the row is still checked
// for what it holds by then).
std::size_t decode_record(std::span<const std::uint16_t> words) {
    using namespace zklog::download;
    if (words.size() < kBaseBlockWords) {
        return 0;
    }
    store::LogRow row;
    RecordDecoder record(words.first(kBaseBlockWords), row);
    std::size_t used = kBaseBlockWords;
    while (const std::uint32_t count = record.next_block_words()) {
        if (words.size() - used < count) {
            check_row(row, false);
            return 0;
        }
        record.decode_next(words.subspan(used, count));
        used += count;
    }
    check_row(row, true);
    return used;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Register words travel high byte first; a trailing odd byte is no word.
    std::vector<std::uint16_t> words(size / 2);
    for (std::size_t i = 0; i < words.size(); ++i) {
        words[i] = static_cast<std::uint16_t>((data[2 * i] << 8) | data[2 * i + 1]);
    }
    std::span<const std::uint16_t> rest(words);
    while (const std::size_t used = decode_record(rest)) {
        rest = rest.subspan(used);
    }
    return 0;
}
