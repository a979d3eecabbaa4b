#include "tests/view/simulated_log.h"

#include "download/base_block.h"
#include "download/record_decoder.h"
#include "store/log_database.h"
#include "store/log_fields.h"

#include <random>
#include <span>

namespace zklog::test {

namespace {

store::LogRow decode(std::span<const std::uint16_t> words) {
    store::LogRow row;
    download::RecordDecoder decoder(words.first(download::kBaseBlockWords), row);
    std::size_t at = download::kBaseBlockWords;
    while (const std::uint32_t size = decoder.next_block_words()) {
        decoder.decode_next(words.subspan(at, size));
        at += size;
    }
    return row;
}

void damage_sensors(std::vector<SimulatedRecord>& records, std::mt19937& random) {
    const auto from = std::uniform_int_distribution<std::size_t>(0, records.size() - 1)(random);
    const auto length = std::uniform_int_distribution<std::size_t>(1, 40)(random);
    for (std::size_t i = from; i < std::min(records.size(), from + length); ++i) {
        auto& r = records[i].record;
        r.errors |= sim::kErrorRtd1;
        r.rtd1 = static_cast<std::int16_t>(sim::kRtdFaultWord);
        r.errors2 |= sim::kErrorTc1;
        r.tc3 = sim::kTcFaultWord;
    }
}

} // namespace

std::vector<SimulatedRecord> write_simulated_log(const std::filesystem::path& path, int count,
                                                 unsigned seed, const LogDamage& damage) {
    sim::RelayImage image;
    std::vector<SimulatedRecord> records;
    for (const auto& record : sim::generate_believable_log(image, count, seed, damage.layout)) {
        records.push_back({record, false});
    }
    std::mt19937 random(seed);
    if (damage.sensor_fault && !records.empty()) {
        damage_sensors(records, random);
    }
    std::bernoulli_distribution bad_stamp(damage.bad_stamp_share);
    std::bernoulli_distribution bad_checksum(damage.bad_checksum_share);
    store::create_database(path);
    store::LogDatabase db(path);
    for (auto& [record, checksum_failed] : records) {
        if (bad_stamp(random)) {
            // What a relay with a flat clock battery writes.
            record.day = 31;
            record.month = 2;
        }
        checksum_failed = bad_checksum(random);
        std::vector<std::uint16_t> words = sim::record_words(record);
        const std::uint16_t checksum = sim::record_checksum(words);
        words.push_back(checksum_failed ? static_cast<std::uint16_t>(checksum ^ 0x5A5A) : checksum);
        const store::LogRow row = decode(words);
        auto& pending = db.add_new();
        for (std::size_t column = 0; column < store::kFieldCount; ++column) {
            if (!std::holds_alternative<std::monostate>(row.at(column))) {
                pending.set(store::kLogFields[column].name, row.at(column));
            }
        }
        db.update();
    }
    return records;
}

} // namespace zklog::test
