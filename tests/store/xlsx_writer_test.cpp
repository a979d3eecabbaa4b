// The workbook against table LOG, read back by openpyxl: seeded random tables whose values
// include everything a foreign or damaged file may hold, not only what the decoders write.
#include "store/log_database.h"
#include "store/log_export.h"
#include "store/log_fields.h"
#include "tests/store/workbook_check.h"
#include "tests/support/temp_dir.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <gtest/gtest.h>
#include <random>

namespace zklog::store {
namespace {

// Texts a sheet must keep exactly: markup, quotes, accents, blanks at either end, a line
// break, and texts that a careless writer would turn into numbers or dates.
const std::vector<std::string> kAwkwardTexts{
    "| RL1| RL8",  "| Mudança Relés",
    "<&>\"'",      " leading",
    "trailing ",   "two\nlines",
    "118.3",       "-0",
    "1e5",         "13/8/23",
    "=SUM(A1:A2)", "",
    "Ω °C µs",     "0x0B",
};

std::string random_stamp_part(std::mt19937& random, char separator, int a, int b, int c) {
    return std::to_string(a) + separator + std::to_string(b) + separator + std::to_string(c) +
           (random() % 40 == 0 ? "x" : "");
}

// Mostly real stamps, some a relay with a clock fault writes, some no stamp at all.
std::pair<std::string, std::string> random_stamp(std::mt19937& random) {
    auto pick = [&random](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    const std::string data =
        random_stamp_part(random, '/', pick(0, 32), pick(0, 13), pick(0, random() % 5 ? 99 : 255));
    const std::string hora = random_stamp_part(random, ':', pick(0, 24), pick(0, 60), pick(0, 60));
    return {data, hora};
}

void fill_random_log(const std::filesystem::path& path, unsigned seed, int rows) {
    create_database(path);
    SQLite::Database db(path.string(), SQLite::OPEN_READWRITE);
    std::string sql = "INSERT INTO LOG (";
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        sql += (i ? ", \"" : "\"") + std::string(kLogFields[i].name) + "\"";
    }
    sql += ") VALUES (?";
    for (std::size_t i = 1; i < kFieldCount; ++i) {
        sql += ", ?";
    }
    SQLite::Statement insert(db, sql + ")");
    std::mt19937 random(seed);
    for (int row = 0; row < rows; ++row) {
        const auto [data, hora] = random_stamp(random);
        for (std::size_t i = 0; i < kFieldCount; ++i) {
            const int column = static_cast<int>(i) + 1;
            if (random() % 7 == 0) {
                insert.bind(column); // NULL
                continue;
            }
            switch (kLogFields[i].kind) {
            case FieldKind::Text:
                if (i < 2) {
                    insert.bind(column, i == 0 ? data : hora);
                } else {
                    insert.bind(column, kAwkwardTexts[random() % kAwkwardTexts.size()]);
                }
                break;
            case FieldKind::Real: {
                // Tenths of a signed word, or hundredths of an unsigned one, as the decoders
                // write them.
                const auto word = static_cast<int>(random() % 65536);
                insert.bind(column,
                            random() % 2 ? static_cast<std::int16_t>(word) / 10.0 : word / 100.0);
                break;
            }
            case FieldKind::Integer:
                insert.bind(column, static_cast<std::int64_t>(random() % 65536));
                break;
            }
        }
        insert.exec();
        insert.reset();
    }
}

class WorkbookExport : public ::testing::TestWithParam<unsigned> {};

TEST_P(WorkbookExport, ReadsBackToTheSameValuesAsTheTable) {
    const unsigned seed = GetParam();
    test::TempDir dir;
    const auto db_path = dir.file("log.db");
    fill_random_log(db_path, seed, seed == 1 ? 0 : static_cast<int>(seed * 13 % 90));
    // An old file of that name is replaced, and the name's case does not matter.
    const auto workbook = dir.file(seed % 2 ? "LOG.XLSX" : "log.xlsx");
    std::filesystem::copy_file(db_path, workbook);

    SQLite::Database db(db_path.string(), SQLite::OPEN_READONLY);
    SQLite::Statement query = select_log(db);
    export_log(query, workbook);

    const auto check = test::check_workbook(db_path, workbook);
    EXPECT_TRUE(check.ok) << "seed " << seed << ": " << check.output;
    EXPECT_FALSE(std::filesystem::exists(workbook.string() + ".partial"));
}

INSTANTIATE_TEST_SUITE_P(Seeds, WorkbookExport, ::testing::Range(1u, 13u));

TEST(WorkbookExportFailure, LeavesNoFile) {
    test::TempDir dir;
    const auto db_path = dir.file("log.db");
    fill_random_log(db_path, 7, 20);
    SQLite::Database db(db_path.string(), SQLite::OPEN_READONLY);
    const auto workbook = dir.file("missing-folder") / "LOG.xlsx";
    SQLite::Statement query = select_log(db);
    EXPECT_THROW(export_log(query, workbook), std::exception);
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing-folder")));
}

} // namespace
} // namespace zklog::store
