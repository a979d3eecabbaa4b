// zklog-cli download --fast against the simulated relay: the same rows as the standard
// download of the same relay, field by field, read in big blocks; relays that refuse big reads
// and one that stops answering.
#include "download/messages.h"
#include "sim/record_generator.h"
#include "sim/request_trace.h"
#include "store/log_database.h"
#include "tests/cli/cli_process.h"
#include "tests/support/sim_process.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <algorithm>
#include <gtest/gtest.h>

namespace zklog::cli {
namespace {

using test::run_cli;

constexpr std::uint32_t kLogStart = 2000;
constexpr std::uint32_t kPointerRegister = 1024;

// Every LOG row as its column values, each with its SQLite type, so that 1 and 1.0 and "1"
// differ.
std::vector<std::vector<std::string>> table_log(const std::filesystem::path& file) {
    SQLite::Database db(file.string());
    SQLite::Statement query(db, "SELECT * FROM LOG ORDER BY rowid");
    std::vector<std::vector<std::string>> rows;
    while (query.executeStep()) {
        std::vector<std::string> row;
        for (int i = 0; i < query.getColumnCount(); ++i) {
            const auto column = query.getColumn(i);
            row.push_back(std::to_string(column.getType()) + ":" + column.getString());
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

// The reads of the log memory, the pointer reads left out.
std::vector<sim::TraceEntry> log_reads(const std::vector<sim::TraceEntry>& trace) {
    std::vector<sim::TraceEntry> reads;
    std::copy_if(trace.begin(), trace.end(), std::back_inserter(reads),
                 [](const sim::TraceEntry& e) { return e.first_register != kPointerRegister; });
    return reads;
}

struct FastCase {
    const char* name;
    int records;
    std::vector<std::string> relay_options; // zklog-sim options besides the image
    bool whole = false;
    std::uint32_t max_read = 125; // once probing is over, no read asks for more
    std::uint32_t min_block = 0;  // once probing is over, reads of more than one record's block
                                  // ask for at least this many registers
    std::vector<std::string> fast_relay_options{}; // faults that only the fast download meets
};

void PrintTo(const FastCase& c, std::ostream* out) {
    *out << c.name;
}

class FastDownloadTest : public ::testing::TestWithParam<FastCase> {
protected:
    struct Download {
        test::CliResult result;
        std::vector<std::vector<std::string>> rows;
        std::vector<sim::TraceEntry> trace;
    };

    Download download(bool fast, const std::string& name) {
        const auto db = dir_.file(name + ".db");
        const auto trace = dir_.file(name + ".trace");
        store::create_database(db);
        auto options = GetParam().relay_options;
        if (fast) {
            const auto& extra = GetParam().fast_relay_options;
            options.insert(options.end(), extra.begin(), extra.end());
        }
        options.insert(options.end(), {"--image", image_file_, "--trace", trace.string()});
        test::SimProcess sim(options);
        std::vector<std::string> args{"download", "--port", sim.pty(),  "--address",
                                      "1",        "--db",   db.string()};
        if (fast) {
            args.emplace_back("--fast");
        }
        if (GetParam().whole) {
            args.emplace_back("--whole");
        }
        Download d{run_cli(dir_, args), {}, {}};
        sim.stop();
        d.rows = table_log(db);
        d.trace = sim::read_trace(trace);
        return d;
    }

    void SetUp() override {
        sim::RelayImage image;
        records_ = sim::generate_records(image, GetParam().records, 7);
        image_file_ = test::write_image_file(dir_, image);
    }

    // The last register at which a record may start: the pointer's record, or 18120.
    std::uint32_t bound() const {
        if (GetParam().whole) {
            return 18120;
        }
        const auto& options = GetParam().relay_options;
        const auto pointer = std::find(options.begin(), options.end(), "--pointer");
        return pointer != options.end() ? kLogStart + std::stoul(*(pointer + 1))
                                        : records_.back().start;
    }

    test::TempDir dir_;
    std::vector<sim::GeneratedRecord> records_;
    std::string image_file_;
};

TEST_P(FastDownloadTest, GivesTheStandardRowsInBigBlocks) {
    const auto standard = download(false, "standard");
    const auto fast = download(true, "fast");
    ASSERT_EQ(standard.result.exit_code, 0) << standard.result.out;
    EXPECT_EQ(fast.result.exit_code, 0) << fast.result.out << fast.result.err;
    EXPECT_EQ(fast.result.out, standard.result.out) << "the same messages";
    ASSERT_FALSE(standard.rows.empty());
    EXPECT_EQ(fast.rows, standard.rows);

    const auto reads = log_reads(fast.trace);
    ASSERT_FALSE(reads.empty());
    for (const auto& read : reads) {
        EXPECT_LE(read.count, 125u) << "read at " << read.first_register;
        EXPECT_LE(read.first_register + read.count - 1, bound() + 24)
            << "read past the longest record at the bound";
    }
    // The reads after the probing (all at the log's start): none of the refused sizes is
    // asked again, and the size that worked is kept.
    const auto answered = std::find_if(reads.begin(), reads.end(),
                                       [](const auto& r) { return r.first_register != kLogStart; });
    for (auto it = answered; it != reads.end(); ++it) {
        EXPECT_LE(it->count, GetParam().max_read) << "read at " << it->first_register;
        if (it->first_register + it->count - 1 < bound() && it->count > 10) {
            EXPECT_GE(it->count, GetParam().min_block) << "read at " << it->first_register;
        }
    }
    EXPECT_LT(reads.size(), log_reads(standard.trace).size() + 5);
}

const FastCase kFastCases[] = {
    {"AllShapesUpToThePointer", 600, {}, false, 125, 100},
    {"WholeMemory", 40, {}, true, 125, 100},
    {"PointerInsideTheLog", 200, {"--pointer", "600"}, false, 125, 0},
    {"RelayLimitedTo32Registers", 300, {"--max-registers", "32"}, false, 32, 16},
    {"RelayLimitedTo10Registers", 300, {"--max-registers", "10"}, false, 10, 0},
    {"SilentToTheFirstBigRead", 300, {}, false, 125, 60, {"--silent-request", "2"}},
};

INSTANTIATE_TEST_SUITE_P(Relays, FastDownloadTest, ::testing::ValuesIn(kFastCases),
                         [](const auto& info) { return std::string(info.param.name); });

class FastDownloadEdgeTest : public ::testing::Test {
protected:
    test::TempDir dir_;
    std::filesystem::path db_ = dir_.file("log.db");
};

// Blocks of 125 registers end inside records: the record is completed from the next block.
TEST_F(FastDownloadEdgeTest, RecordsCrossingBlockEndsAreCompletedFromTheNextBlock) {
    store::create_database(db_);
    sim::RelayImage image;
    const auto records = sim::generate_records(image, 100, 3);
    const auto trace = dir_.file("trace");
    test::SimProcess sim(
        {"--image", test::write_image_file(dir_, image), "--trace", trace.string()});
    const auto result = run_cli(
        dir_, {"download", "--fast", "--port", sim.pty(), "--address", "1", "--db", db_.string()});
    sim.stop();
    ASSERT_EQ(result.exit_code, 0) << result.out;
    ASSERT_EQ(table_log(db_).size(), records.size());

    int crossing = 0;
    for (const auto& read : log_reads(sim::read_trace(trace))) {
        const std::uint32_t block_end = read.first_register + read.count;
        crossing += static_cast<int>(std::count_if(records.begin(), records.end(), [&](auto& r) {
            return r.start < block_end && block_end < r.start + r.words.size();
        }));
    }
    EXPECT_GT(crossing, 0) << "no record crossed a block end: the case is not tested";
}

// Once a block size has been answered, silence is a lost frame: the block is asked again at
// the same size, twice, then the read fails: no halving, no more reads, the rows read so far
// stay.
TEST_F(FastDownloadEdgeTest, ARelayThatStopsAnsweringEndsTheDownloadWithTheRowsSoFar) {
    store::create_database(db_);
    sim::RelayImage image;
    const auto records = sim::generate_records(image, 600, 11);
    const auto trace = dir_.file("trace");
    test::SimProcess sim({"--image", test::write_image_file(dir_, image), "--trace", trace.string(),
                          "--silent-after", "4"});
    const auto result = run_cli(dir_, {"download", "--fast", "--port", sim.pty(), "--address", "1",
                                       "--db", db_.string(), "--timeout-ms", "200"});
    sim.stop();
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_EQ(result.last_line(), zklog::download::kMsgReadFailed);
    const auto reads = sim::read_trace(trace);
    ASSERT_EQ(reads.size(), 7u) << "the silent read is asked twice again, never in smaller blocks";
    for (std::size_t i = 5; i < reads.size(); ++i) {
        EXPECT_EQ(reads[i].first_register, reads[4].first_register);
        EXPECT_EQ(reads[i].count, reads[4].count);
    }
    // Three blocks of 125 registers answered: every record wholly inside them is saved.
    std::size_t inside = 0;
    for (const auto& r : records) {
        inside += r.start + r.words.size() <= kLogStart + 3 * 125 ? 1 : 0;
    }
    EXPECT_EQ(table_log(db_).size(), inside);
}

} // namespace
} // namespace zklog::cli
