#include "sim/record_generator.h"
#include "store/csv_writer.h"
#include "store/log_database.h"
#include "tests/cli/cli_process.h"
#include "tests/download/generated_rows.h"
#include "tests/store/workbook_check.h"
#include "tests/support/sim_process.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace zklog::cli {
namespace {
using store::csv_field;
using store::shortest_double;

// RFC 4180 records: fields split at commas outside quotes, "" inside quotes is one quote.
std::vector<std::vector<std::string>> parse_csv(const std::string& text) {
    std::vector<std::vector<std::string>> records(1);
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            records.back().push_back(std::move(field));
            field.clear();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            records.back().push_back(std::move(field));
            field.clear();
            records.emplace_back();
            ++i;
        } else {
            field += c;
        }
    }
    EXPECT_TRUE(records.back().empty() && field.empty()) << "the last record ends with CRLF";
    records.pop_back();
    return records;
}

TEST(CsvWriter, QuotesOnlyWhatMustBeQuoted) {
    EXPECT_EQ(csv_field("| RL1| RL8"), "| RL1| RL8");
    EXPECT_EQ(csv_field("Reles Ativos"), "Reles Ativos");
    EXPECT_EQ(csv_field("a,b"), "\"a,b\"");
    EXPECT_EQ(csv_field("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(csv_field("two\nlines"), "\"two\nlines\"");
}

TEST(CsvWriter, DoublesInShortestRoundTripForm) {
    EXPECT_EQ(shortest_double(25.0), "25");
    EXPECT_EQ(shortest_double(-0.1), "-0.1");
    EXPECT_EQ(shortest_double(3276.7), "3276.7");
    EXPECT_EQ(shortest_double(327.68), "327.68");
    EXPECT_EQ(shortest_double(-3276.8), "-3276.8");
    EXPECT_EQ(shortest_double(655.35), "655.35");
}

TEST(CliExport, ReproducesEveryValueOfADownloadedTable) {
    test::TempDir dir;
    const auto db = dir.file("log.db");
    store::create_database(db);
    sim::RelayImage image;
    sim::generate_records(image, 150, 8);
    test::SimProcess sim({"--image", test::write_image_file(dir, image), "--bad-crc", "2"});
    ASSERT_EQ(
        test::run_cli(dir, {"download", "--port", sim.pty(), "--address", "1", "--db", db.string()})
            .exit_code,
        0);

    const auto csv_file = dir.file("log.csv");
    const auto exported =
        test::run_cli(dir, {"export", "--db", db.string(), "-o", csv_file.string()});
    ASSERT_EQ(exported.exit_code, 0) << exported.err;
    std::ifstream in(csv_file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();

    const auto to_stdout = test::run_cli(dir, {"export", "--db", db.string()});
    EXPECT_EQ(to_stdout.out, text.str());

    const auto workbook = dir.file("log.xlsx");
    const auto to_workbook =
        test::run_cli(dir, {"export", "--db", db.string(), "-o", workbook.string()});
    ASSERT_EQ(to_workbook.exit_code, 0) << to_workbook.err;
    const auto check = test::check_workbook(db, workbook);
    EXPECT_TRUE(check.ok) << check.output;

    const auto records = parse_csv(text.str());
    const auto rows = test::read_log_rows(db);
    ASSERT_EQ(records.size(), rows.size() + 1);
    for (std::size_t column = 0; column < store::kFieldCount; ++column) {
        EXPECT_EQ(records[0][column], store::kLogFields[column].name);
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        ASSERT_EQ(records[i + 1].size(), store::kFieldCount);
        for (std::size_t column = 0; column < store::kFieldCount; ++column) {
            const std::string& field = records[i + 1][column];
            const auto& value = rows[i].at(column);
            SCOPED_TRACE("row " + std::to_string(i) + " " +
                         std::string(store::kLogFields[column].name));
            if (std::holds_alternative<std::monostate>(value)) {
                EXPECT_EQ(field, "");
            } else if (const auto* t = std::get_if<std::string>(&value)) {
                EXPECT_EQ(field, *t);
            } else if (const auto* d = std::get_if<double>(&value)) {
                EXPECT_EQ(std::stod(field), *d);
            } else {
                EXPECT_EQ(std::stoll(field), std::get<std::int64_t>(value));
            }
        }
    }
}

TEST(CliExport, MissingDatabaseFailsWithoutWritingAFile) {
    test::TempDir dir;
    const auto result = test::run_cli(
        dir, {"export", "--db", dir.file("none.db").string(), "-o", dir.file("x.csv").string()});
    EXPECT_EQ(result.exit_code, 4);
    EXPECT_FALSE(std::filesystem::exists(dir.file("x.csv")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("none.db")));
}

} // namespace
} // namespace zklog::cli
