// Database faults during a download through zklog-sim on a pty: each ends with a clear message,
// the file stays sound, every row reported saved is there, whole, and nothing else is.
#include "download/log_download.h"
#include "download/messages.h"
#include "sim/record_generator.h"
#include "tests/download/generated_rows.h"
#include "tests/download/scripted_frontend.h"
#include "tests/support/sim_process.h"
#include "tests/support/temp_dir.h"

#include <SQLiteCpp/Database.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zklog::download {
namespace {

using test::ScriptedFrontend;

constexpr int kRecords = 40;

std::filesystem::path new_database(const test::TempDir& dir) {
    auto path = dir.file("LOG_ZKA_ZKB.db");
    store::create_database(path);
    return path;
}

class DatabaseFaultMatrix : public ::testing::Test {
protected:
    DatabaseFaultMatrix() {
        sim_.emplace(std::vector<std::string>{"--image", test::write_image_file(dir_, image_)});
        ui_.port = sim_->pty();
    }

    DownloadResult run() { return procedure_.run(ui_); }

    void save_previous_rows(int count) {
        for (int i = 0; i < count; ++i) {
            database_.add_new().set("Data", std::string("old"));
            database_.update();
        }
    }

    // The rows saved before the fault: one per progress text but the last two. The last one's
    // record was being read when the fault came, and the record before it was the one whose
    // row was being saved meanwhile.
    std::size_t rows_saved_before_the_fault() const {
        return ui_.progress_texts.size() < 2 ? 0 : ui_.progress_texts.size() - 2;
    }

    void expect_sound_file() {
        SQLite::Database db(db_path_.string(), SQLite::OPEN_READONLY);
        EXPECT_EQ(db.execAndGet("PRAGMA integrity_check").getString(), "ok");
    }

    // Exactly the first `count` records, each row whole.
    void expect_first_records(std::size_t count) {
        const auto rows = test::read_log_rows(db_path_);
        ASSERT_EQ(rows.size(), count);
        for (std::size_t i = 0; i < count; ++i) {
            test::expect_row_matches(rows[i], records_[i]);
        }
    }

    void expect_only_previous_rows(std::size_t count) {
        const auto rows = test::read_log_rows(db_path_);
        ASSERT_EQ(rows.size(), count);
        for (const auto& row : rows) {
            EXPECT_EQ(std::get<std::string>(row.get("Data")), "old");
        }
    }

    void expect_database_error_containing(const std::string& engine_text) {
        const auto& message = ui_.only_message();
        EXPECT_TRUE(message.text.starts_with(kMsgDatabaseError)) << message.text;
        EXPECT_NE(message.text.find(engine_text), std::string::npos) << message.text;
        EXPECT_EQ(message.icon, MessageIcon::Exclamation);
        EXPECT_TRUE(ui_.start_enabled);
    }

    // After the fault is gone, the same window downloads everything again.
    void expect_next_download_completes() {
        ui_.on_yield = nullptr;
        ui_.messages.clear();
        ui_.progress_texts.clear();
        EXPECT_EQ(run(), DownloadResult::Completed);
        expect_first_records(records_.size());
    }

    test::TempDir dir_;
    std::filesystem::path db_path_ = new_database(dir_);
    sim::RelayImage image_;
    std::vector<sim::GeneratedRecord> records_ = sim::generate_records(image_, kRecords, 77);
    std::optional<test::SimProcess> sim_;
    store::LogDatabase database_{db_path_};
    device::DeviceLink link_;
    LogDownload procedure_{link_, database_};
    ScriptedFrontend ui_;
};

TEST_F(DatabaseFaultMatrix, WriteTransactionOfAnotherProgramHeldThroughout) {
    save_previous_rows(3);
    SQLite::Database other(db_path_.string(), SQLite::OPEN_READWRITE);
    other.exec("BEGIN IMMEDIATE");
    EXPECT_EQ(run(), DownloadResult::DatabaseError);
    other.exec("ROLLBACK");

    expect_database_error_containing("database is locked");
    expect_only_previous_rows(3);
    expect_sound_file();
    expect_next_download_completes();
}

// The emptying fails on the lock, which is gone by the first save: the new rows must not be
// saved among the old ones.
TEST_F(DatabaseFaultMatrix, LockGoneBetweenEmptyingAndFirstSaveMixesNoRows) {
    save_previous_rows(3);
    SQLite::Database other(db_path_.string(), SQLite::OPEN_READWRITE);
    other.exec("BEGIN IMMEDIATE");
    ui_.on_yield = [&other](ScriptedFrontend&, int number) {
        if (number == 0) {
            other.exec("ROLLBACK");
        }
        return true;
    };
    EXPECT_EQ(run(), DownloadResult::DatabaseError);

    expect_database_error_containing("a tabela LOG não pôde ser esvaziada: database is locked");
    expect_only_previous_rows(3);
    expect_sound_file();
    expect_next_download_completes();
}

TEST_F(DatabaseFaultMatrix, WriteTransactionOfAnotherProgramTakenMidDownload) {
    SQLite::Database other(db_path_.string(), SQLite::OPEN_READWRITE);
    ui_.on_yield = [&other](ScriptedFrontend&, int number) {
        if (number == 5) {
            other.exec("BEGIN IMMEDIATE");
            other.exec("INSERT INTO LOG (Data) VALUES ('other')");
        }
        return true;
    };
    EXPECT_EQ(run(), DownloadResult::DatabaseError);
    other.exec("ROLLBACK");

    expect_database_error_containing("database is locked");
    EXPECT_EQ(rows_saved_before_the_fault(), 4u);
    expect_first_records(4);
    expect_sound_file();
    expect_next_download_completes();
}

TEST_F(DatabaseFaultMatrix, DiskFullStopsWithTheEnginesTextAndKeepsWholeRows) {
    auto& db = database_.connection();
    const auto pages = db.execAndGet("PRAGMA page_count").getInt64();
    db.exec("PRAGMA max_page_count = " + std::to_string(pages + 1));
    EXPECT_EQ(run(), DownloadResult::DatabaseError);

    expect_database_error_containing("database or disk is full");
    const auto saved = rows_saved_before_the_fault();
    EXPECT_GT(saved, 0u);
    EXPECT_LT(saved, records_.size());
    expect_first_records(saved);
    expect_sound_file();

    db.exec("PRAGMA max_page_count = 1073741823");
    expect_next_download_completes();
}

// Deleted, the file would still take every row through the open handle and the download would
// end in "Dados gravados com sucesso" with nothing left to open.
TEST_F(DatabaseFaultMatrix, FileDeletedMidDownloadIsReportedNotTakenForSuccess) {
    ui_.on_yield = [this](ScriptedFrontend&, int number) {
        if (number == 4) {
            std::filesystem::remove(db_path_);
        }
        return true;
    };
    EXPECT_EQ(run(), DownloadResult::DatabaseError);
    expect_database_error_containing("foi apagado ou substituído");
    EXPECT_EQ(rows_saved_before_the_fault(), 3u);

    // A new file under the old name is not the one this window opened either.
    store::create_database(db_path_);
    ui_.on_yield = nullptr;
    ui_.messages.clear();
    EXPECT_EQ(run(), DownloadResult::DatabaseError);
    expect_database_error_containing("foi apagado ou substituído");
    EXPECT_TRUE(test::read_log_rows(db_path_).empty());
    expect_sound_file();
}

// Root writes through any file mode, so the open is tried by an unprivileged child.
std::string open_as_unprivileged_user(const std::filesystem::path& path) {
    int report[2];
    if (pipe(report) != 0) {
        return "pipe failed";
    }
    const pid_t child = fork();
    if (child == 0) {
        close(report[0]);
        std::string outcome = "opened";
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
            outcome = "cannot drop privileges";
        } else {
            try {
                store::LogDatabase db(path);
            } catch (const std::exception& error) {
                outcome = error.what();
            }
        }
        (void)!write(report[1], outcome.data(), outcome.size());
        _exit(0);
    }
    close(report[1]);
    std::string outcome;
    char chunk[256];
    for (ssize_t got; (got = read(report[0], chunk, sizeof chunk)) > 0;) {
        outcome.append(chunk, static_cast<std::size_t>(got));
    }
    close(report[0]);
    waitpid(child, nullptr, 0);
    return outcome;
}

TEST_F(DatabaseFaultMatrix, WriteProtectedFileIsRefusedAtOpenAndLeftAsItWas) {
    save_previous_rows(2);
    chmod(dir_.path().c_str(), 0777);
    chmod(db_path_.c_str(), 0444);
    const auto outcome = open_as_unprivileged_user(db_path_);
    EXPECT_EQ(outcome, "o arquivo " + db_path_.string() + " é somente leitura");
    chmod(db_path_.c_str(), 0644);
    expect_only_previous_rows(2);
    expect_sound_file();
}

} // namespace
} // namespace zklog::download
