#include "store/log_database.h"
#include "tests/support/temp_dir.h"

#include <SQLiteCpp/Exception.h>
#include <gtest/gtest.h>
#include <stdexcept>
#include <utility>

namespace zklog::store {
namespace {

class LogDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override { create_database(path_); }

    void save_rows(LogDatabase& db, int count) {
        for (int i = 0; i < count; ++i) {
            db.add_new().set("CRC", std::int64_t{i});
            db.update();
        }
    }

    test::TempDir dir_;
    std::filesystem::path path_ = dir_.file("LOG_ZKA_ZKB.db");
};

TEST_F(LogDatabaseTest, TableHasTheTwentySixFieldsInOrderWithTheirTypes) {
    SQLite::Database db(path_.string());
    SQLite::Statement columns(db, "SELECT name, type FROM pragma_table_info('LOG') ORDER BY cid");
    std::vector<std::pair<std::string, std::string>> found;
    while (columns.executeStep()) {
        found.emplace_back(columns.getColumn(0).getString(), columns.getColumn(1).getString());
    }
    const std::vector<std::pair<std::string, std::string>> expected{
        {"Data", "TEXT"},
        {"Hora", "TEXT"},
        {"Causa", "TEXT"},
        {"Mapas", "TEXT"},
        {"Reles Ativos", "TEXT"},
        {"Erros", "TEXT"},
        {"RTD1", "REAL"},
        {"RTD2", "REAL"},
        {"TC1", "REAL"},
        {"Enrolamento", "REAL"},
        {"Reles Ativos2", "TEXT"},
        {"Erros2", "TEXT"},
        {"RTD3", "REAL"},
        {"RTD4", "REAL"},
        {"Enrolamento2", "REAL"},
        {"Enrolamento3", "REAL"},
        {"TC3", "REAL"},
        {"TC4", "REAL"},
        {"Dif Instantaneo1", "REAL"},
        {"Dif Instantaneo2", "REAL"},
        {"Dif Instantaneo3", "REAL"},
        {"Dif Filtrado1", "REAL"},
        {"Dif Filtrado2", "REAL"},
        {"Dif Filtrado3", "REAL"},
        {"CRC", "INTEGER"},
        {"CRC_Valido", "INTEGER"},
    };
    EXPECT_EQ(found, expected);
}

TEST_F(LogDatabaseTest, CreateRefusesAnExistingFile) {
    EXPECT_THROW(create_database(path_), std::runtime_error);
    LogDatabase db(path_); // still a good database
    EXPECT_EQ(db.row_count(), 0);
}

TEST_F(LogDatabaseTest, SavedRowKeepsWrittenValuesAndNullElsewhere) {
    {
        LogDatabase db(path_);
        LogRow& row = db.add_new();
        row.set("Data", std::string("12/3/9"));
        row.set("RTD1", -3276.8);
        row.set("CRC", std::int64_t{65535});
        row.set("CRC_Valido", std::int64_t{0});
        db.update();
        EXPECT_FALSE(db.has_pending());
    }
    SQLite::Database db(path_.string());
    SQLite::Statement query(db, "SELECT * FROM LOG");
    ASSERT_TRUE(query.executeStep());
    for (int i = 0; i < query.getColumnCount(); ++i) {
        const std::string name = query.getColumnName(i);
        const auto column = query.getColumn(i);
        if (name == "Data") {
            EXPECT_EQ(column.getString(), "12/3/9");
        } else if (name == "RTD1") {
            EXPECT_EQ(column.getDouble(), -3276.8);
        } else if (name == "CRC") {
            EXPECT_EQ(column.getInt64(), 65535);
        } else if (name == "CRC_Valido") {
            EXPECT_TRUE(column.isInteger());
            EXPECT_EQ(column.getInt64(), 0);
        } else {
            EXPECT_TRUE(column.isNull()) << name;
        }
    }
    EXPECT_FALSE(query.executeStep());
}

TEST_F(LogDatabaseTest, UnsavedPendingRowNeverReachesTheTable) {
    LogDatabase db(path_);
    db.add_new().set("CRC", std::int64_t{1});
    db.add_new().set("CRC", std::int64_t{2}); // drops the first
    db.update();
    db.add_new().set("CRC", std::int64_t{3});
    db.cancel_pending();
    EXPECT_EQ(db.row_count(), 1);
    EXPECT_EQ(db.connection().execAndGet("SELECT CRC FROM LOG").getInt64(), 2);
    EXPECT_THROW(db.update(), std::logic_error);
}

TEST_F(LogDatabaseTest, LimparLOGEmptiesEmptyOneRowAndManyRowTables) {
    LogDatabase db(path_);
    db.LimparLOG();
    EXPECT_EQ(db.row_count(), 0);
    save_rows(db, 1);
    db.LimparLOG();
    EXPECT_EQ(db.row_count(), 0);
    save_rows(db, 500);
    db.LimparLOG();
    EXPECT_EQ(db.row_count(), 0);
    save_rows(db, 2);
    EXPECT_EQ(db.row_count(), 2);
}

// LimparLOG itself never reports (it is noexcept); a failed emptying shows at the saves that
// follow, which refuse until an emptying succeeds, so no row is mixed into the old ones.
TEST_F(LogDatabaseTest, LockedTableLeftUnemptiedMakesTheNextSavesFailUntilEmptied) {
    static_assert(noexcept(std::declval<LogDatabase&>().LimparLOG()));
    LogDatabase db(path_);
    save_rows(db, 3);
    SQLite::Database other(path_.string(), SQLite::OPEN_READWRITE);
    other.exec("BEGIN EXCLUSIVE");
    db.LimparLOG();
    other.exec("ROLLBACK");
    EXPECT_EQ(db.row_count(), 3);
    db.add_new().set("CRC", std::int64_t{7});
    EXPECT_THROW(db.update(), std::runtime_error);
    EXPECT_EQ(db.row_count(), 3);

    db.LimparLOG();
    EXPECT_EQ(db.row_count(), 0);
    save_rows(db, 2);
    EXPECT_EQ(db.row_count(), 2);
}

TEST(LogDatabaseOpen, MissingFileGivesTheEnginesTextAndCreatesNothing) {
    test::TempDir dir;
    const auto path = dir.file("absent.db");
    try {
        LogDatabase db(path);
        FAIL() << "opened a missing file";
    } catch (const SQLite::Exception& error) {
        EXPECT_STREQ(error.what(), "unable to open database file");
    }
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(LogDatabaseOpen, MissingTableGivesTheEnginesText) {
    test::TempDir dir;
    const auto path = dir.file("other.db");
    SQLite::Database(path.string(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE)
        .exec("CREATE TABLE other (x)");
    try {
        LogDatabase db(path);
        FAIL() << "opened a file without table LOG";
    } catch (const SQLite::Exception& error) {
        EXPECT_STREQ(error.what(), "no such table: LOG");
    }
}

TEST(LogDatabaseOpen, DefaultPathIsTheFixedNameInTheFolder) {
    EXPECT_EQ(default_database_path("/opt/zk"), std::filesystem::path("/opt/zk/LOG_ZKA_ZKB.db"));
}

} // namespace
} // namespace zklog::store
