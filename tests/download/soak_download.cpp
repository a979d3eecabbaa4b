#include "tests/download/soak_download.h"

#include "download/block_reads.h"
#include "download/log_download.h"
#include "download/messages.h"
#include "tests/download/generated_rows.h"
#include "tests/download/scripted_frontend.h"
#include "tests/support/chaos_line.h"
#include "tests/support/sim_process.h"

#include <atomic>
#include <gtest/gtest.h>
#include <optional>
#include <thread>

namespace zklog::test {

namespace {

device::SerialSettings soak_line() {
    device::SerialSettings line;
    line.response_timeout = kSoakResponseTimeout;
    line.byte_timeout = kSoakByteTimeout;
    return line;
}

} // namespace

SoakOutcome soak_download(const std::filesystem::path& db, const std::string& image_file,
                          const std::vector<sim::GeneratedRecord>& records, SoakMode mode,
                          const std::vector<std::string>& sim_options) {
    store::create_database(db);
    store::LogDatabase database(db);
    std::vector<std::string> args{"--image", image_file};
    args.insert(args.end(), sim_options.begin(), sim_options.end());
    SimProcess sim(args);
    device::DeviceLink link(soak_line());
    download::BlockReads blocks(link);
    std::optional<download::LogDownload> procedure;
    if (mode == SoakMode::Fast) {
        procedure.emplace(link, database, blocks);
    } else {
        procedure.emplace(link, database);
    }
    ScriptedFrontend ui;
    ui.port = sim.pty();
    const auto begin = std::chrono::steady_clock::now();
    const auto result = procedure->run(ui);
    SoakOutcome outcome;
    outcome.took = std::chrono::steady_clock::now() - begin;
    sim.stop();

    EXPECT_EQ(ui.messages.size(), 1u);
    const std::string shown = ui.messages.empty() ? "" : ui.messages[0].text;
    const auto saved = read_log_rows(db);
    outcome.rows = saved.size();
    outcome.completed = result == download::DownloadResult::Completed;
    if (outcome.completed) {
        EXPECT_EQ(shown, download::kMsgCompleted);
        EXPECT_EQ(saved.size(), records.size());
    } else {
        EXPECT_EQ(shown, download::kMsgReadFailed);
        EXPECT_LE(saved.size(), records.size());
    }
    for (std::size_t i = 0; i < saved.size() && i < records.size(); ++i) {
        SCOPED_TRACE("row " + std::to_string(i));
        expect_row_matches(saved[i], records[i]);
    }
    return outcome;
}

void side_by_side(std::size_t count, unsigned threads,
                  const std::function<void(std::size_t)>& job) {
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t i = next++; i < count && !::testing::Test::HasFailure(); i = next++) {
            job(i);
        }
    };
    std::vector<std::jthread> workers;
    for (unsigned t = 0; t < threads; ++t) {
        workers.emplace_back(work);
    }
}

} // namespace zklog::test
