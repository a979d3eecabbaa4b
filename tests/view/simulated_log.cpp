#include "tests/view/simulated_log.h"

#include "store/log_database.h"
#include "tests/cli/cli_process.h"
#include "tests/support/sim_process.h"

#include <random>
#include <stdexcept>

namespace zklog::test {

namespace {

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

std::vector<SimulatedRecord> write_simulated_log(const TempDir& dir,
                                                 const std::filesystem::path& database, int count,
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
    for (auto& [record, checksum_failed] : records) {
        if (bad_stamp(random)) {
            // What a relay with a flat clock battery writes.
            record.day = 31;
            record.month = 2;
        }
        checksum_failed = bad_checksum(random);
        sim::put_record(image, record.start, sim::record_words(record), !checksum_failed);
    }

    store::create_database(database);
    SimProcess relay({"--image", write_image_file(dir, image, database.stem().string() + ".bin")});
    // A wrapped log fills the memory: only a whole download reads the older lap too.
    std::vector<std::string> args{"download", "--port", relay.pty(),      "--address",
                                  "1",        "--db",   database.string()};
    if (damage.layout == sim::LogLayout::Wrapped) {
        args.emplace_back("--whole");
    }
    const CliResult download = run_cli(dir, args);
    if (download.exit_code != 0) {
        throw std::runtime_error("zklog-cli download: " + download.err + download.out);
    }
    return records;
}

} // namespace zklog::test
