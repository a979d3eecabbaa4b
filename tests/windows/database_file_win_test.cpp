#include "store/log_database.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

namespace zklog::store {
namespace {

// Technicians keep the program in folders named in Portuguese. SQLite takes file names in
// UTF-8 and the store hands it path::string(), which libstdc++ gives in UTF-8 on Windows too;
// in the ANSI code page (as other compilers' libraries give it) the file would not be found.
TEST(DatabaseFileWin, AFolderWithAccentedLettersHoldsTheDatabase) {
    test::TempDir dir;
    const auto folder = dir.path() / std::filesystem::path(u8"Relés de proteção");
    std::filesystem::create_directory(folder);
    const auto file = folder / "LOG_ZKA_ZKB.db";
    create_database(file);
    LogDatabase db(file);
    db.add_new().set("CRC", std::int64_t{5});
    db.update();
    EXPECT_EQ(db.row_count(), 1);
    EXPECT_TRUE(std::filesystem::exists(file));
}

} // namespace
} // namespace zklog::store
