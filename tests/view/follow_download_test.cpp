// The window beside a download that writes into its file: a simulated relay and zklog-cli,
// so Linux only; the rest of the window's tests run on Windows too.
#include "tests/support/sim_process.h"
#include "tests/support/temp_dir.h"
#include "view/main_window.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <SQLiteCpp/Database.h>
#include <gtest/gtest.h>

namespace zklog::view {
namespace {

// The window follows a download into its file and never makes a save fail.
TEST(MainWindowFollow, FollowsADownloadWithoutGettingInItsWay) {
    test::TempDir dir;
    const std::filesystem::path path = dir.file("LOG_ZKA_ZKB.db");
    ASSERT_EQ(QProcess::execute(ZKLOG_CLI_PATH, {"init-db", QString::fromStdString(path.string())}),
              0);
    // Paced like a real line, so the download lasts long enough for the window to reload often.
    test::SimProcess sim({"--generate", "300", "--baud", "115200"});
    ViewerSettings settings;
    settings.reload_delay_ms = 20; // reload as often as it can, to be in the way if it could
    MainWindow window(settings);
    window.open_file(path);
    window.show();

    QProcess download;
    download.start(ZKLOG_CLI_PATH,
                   {"download", "--port", QString::fromStdString(sim.pty()), "--address", "1",
                    "--whole", "--db", QString::fromStdString(path.string())});
    ASSERT_TRUE(download.waitForStarted());
    QElapsedTimer clock;
    clock.start();
    while (download.state() != QProcess::NotRunning && clock.elapsed() < 100'000) {
        QTest::qWait(10);
    }
    const QString out = QString::fromUtf8(download.readAllStandardOutput());
    EXPECT_EQ(download.exitCode(), 0) << download.readAllStandardError().toStdString();
    EXPECT_TRUE(out.contains("Dados gravados com sucesso")) << out.toStdString();
    EXPECT_GT(window.reload_count(), 2);

    QTest::qWait(200);
    window.reload();
    SQLite::Database db(path.string(), SQLite::OPEN_READONLY);
    const auto saved = db.execAndGet("SELECT count(*) FROM LOG").getInt64();
    EXPECT_GT(saved, 0);
    ASSERT_NE(window.charts().data(), nullptr);
    EXPECT_EQ(static_cast<std::int64_t>(window.charts().data()->size()), saved);
}

} // namespace
} // namespace zklog::view
