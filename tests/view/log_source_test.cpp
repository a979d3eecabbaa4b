// Each kind of file the viewer cannot show gets its own Portuguese message, never a crash.
#include "store/log_database.h"
#include "tests/support/temp_dir.h"
#include "tests/view/log_files.h"
#include "view/log_source.h"

#include <SQLiteCpp/Database.h>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace zklog::view {
namespace {

struct BadFileCase {
    const char* name;
    // Makes the file at the path; what it returns stays alive while the file is opened.
    std::function<std::shared_ptr<void>(const std::filesystem::path&)> make;
    const char* message;
};

std::shared_ptr<void> nothing(const std::filesystem::path&) {
    return nullptr;
}

std::shared_ptr<void> text_file(const std::filesystem::path& path) {
    std::ofstream(path) << "Data,Hora\n1/1/23,1:1:1\n";
    return nullptr;
}

std::shared_ptr<void> folder(const std::filesystem::path& path) {
    std::filesystem::create_directory(path);
    return nullptr;
}

std::shared_ptr<void> other_table(const std::filesystem::path& path) {
    SQLite::Database db(path.string(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
    db.exec("CREATE TABLE Outra (x)");
    return nullptr;
}

std::shared_ptr<void> few_columns(const std::filesystem::path& path) {
    SQLite::Database db(path.string(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
    db.exec("CREATE TABLE LOG (\"Data\" TEXT, \"Hora\" TEXT, \"RTD1\" REAL)");
    return nullptr;
}

class BadFileTest : public ::testing::TestWithParam<BadFileCase> {};

TEST_P(BadFileTest, SaysWhatIsWrongInPortuguese) {
    test::TempDir dir;
    const auto path = dir.file("LOG_ZKA_ZKB.db");
    const auto keep = GetParam().make(path);
    try {
        open_log_read_only(path);
        FAIL() << "opened";
    } catch (const LogSourceError& e) {
        EXPECT_NE(std::string(e.what()).find(GetParam().message), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadFileTest,
    ::testing::Values(BadFileCase{"missing", nothing, "Arquivo não encontrado"},
                      BadFileCase{"folder", folder, "é uma pasta"},
                      BadFileCase{"not_a_database", text_file, "não é um banco de dados"},
                      BadFileCase{"no_table_log", other_table, "não tem a tabela LOG"},
                      BadFileCase{"missing_columns", few_columns,
                                  "não tem as colunas: Causa, Mapas, Reles Ativos"},
                      BadFileCase{"locked", test::locked_log_file,
                                  "está bloqueado por outro programa"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LogSource, OpensAGoodFileAndNeverCreatesOne) {
    test::TempDir dir;
    const auto path = dir.file("LOG_ZKA_ZKB.db");
    EXPECT_THROW(open_log_read_only(path), LogSourceError);
    EXPECT_FALSE(std::filesystem::exists(path));
    store::create_database(path);
    EXPECT_NO_THROW(open_log_read_only(path));
}

TEST(LogSource, RefusesToWrite) {
    test::TempDir dir;
    const auto path = dir.file("LOG_ZKA_ZKB.db");
    store::create_database(path);
    SQLite::Database db = open_log_read_only(path);
    EXPECT_THROW(db.exec("INSERT INTO LOG (\"Data\") VALUES ('x')"), SQLite::Exception);
}

} // namespace
} // namespace zklog::view
