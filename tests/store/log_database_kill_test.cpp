// Killing a process mid-write is a Linux test: fork() has no counterpart on Windows.
#include "store/log_database.h"
#include "tests/support/temp_dir.h"

#include <SQLiteCpp/Database.h>
#include <array>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zklog::store {
namespace {

// A writer killed at any moment keeps every row it reported saved, and the file stays sound.
TEST(LogDatabaseKill, RowsSavedBeforeAKillOfTheWriterAreAllThere) {
    test::TempDir dir;
    const auto path = dir.file("LOG_ZKA_ZKB.db");
    create_database(path);
    std::array<int, 2> report{};
    ASSERT_EQ(pipe(report.data()), 0);
    const pid_t writer = fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        close(report[0]);
        LogDatabase db(path);
        for (std::int64_t i = 0;; ++i) {
            db.add_new().set("CRC", i);
            db.update();
            (void)!write(report[1], &i, sizeof i);
        }
    }
    close(report[1]);
    std::int64_t last_saved = -1;
    for (int i = 0; i < 300; ++i) {
        ASSERT_EQ(read(report[0], &last_saved, sizeof last_saved),
                  static_cast<ssize_t>(sizeof last_saved));
    }
    kill(writer, SIGKILL);
    waitpid(writer, nullptr, 0);
    close(report[0]);

    SQLite::Database db(path.string());
    EXPECT_EQ(db.execAndGet("PRAGMA integrity_check").getString(), "ok");
    const std::int64_t rows = db.execAndGet("SELECT count(*) FROM LOG").getInt64();
    EXPECT_GE(rows, last_saved + 1);
    // Saved in order, none lost in between.
    EXPECT_EQ(db.execAndGet("SELECT max(CRC) FROM LOG").getInt64(), rows - 1);
}

} // namespace
} // namespace zklog::store
