// A whole download against zklog-sim over a real pty: the real device link, a database file,
// a scripted front end, and generated records that say what each saved row must hold.
#pragma once

#include "device/serial_settings.h"
#include "download/log_download.h"
#include "sim/record_generator.h"
#include "sim/request_trace.h"
#include "tests/download/generated_rows.h"
#include "tests/download/scripted_frontend.h"
#include "tests/support/sim_process.h"
#include "tests/support/temp_dir.h"

#include <chrono>
#include <gtest/gtest.h>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace zklog::download {

// The result's name rather than its bytes in failure messages.
inline void PrintTo(DownloadResult result, std::ostream* out) {
    switch (result) {
    case DownloadResult::Completed:
        *out << "Completed";
        return;
    case DownloadResult::PortOpenFailed:
        *out << "PortOpenFailed";
        return;
    case DownloadResult::PointerReadFailed:
        *out << "PointerReadFailed";
        return;
    case DownloadResult::EmptyLog:
        *out << "EmptyLog";
        return;
    case DownloadResult::RecordReadFailed:
        *out << "RecordReadFailed";
        return;
    case DownloadResult::InvalidPort:
        *out << "InvalidPort";
        return;
    case DownloadResult::InvalidAddress:
        *out << "InvalidAddress";
        return;
    case DownloadResult::DatabaseError:
        *out << "DatabaseError";
        return;
    case DownloadResult::Stopped:
        *out << "Stopped";
        return;
    }
    *out << static_cast<int>(result);
}

} // namespace zklog::download

namespace zklog::test {

class SimDownload {
protected:
    using Clock = std::chrono::steady_clock;

    static constexpr int kRecords = 12;
    static constexpr std::uint32_t kSeed = 2024;
    // Room for a loaded machine (other tests share the two cores) on top of the time the
    // timeouts allow; a run that takes longer than this is stuck, not slow.
    static constexpr std::chrono::seconds kHangMargin{2};

    SimDownload() {
        store::create_database(db_path_);
        database_.emplace(db_path_);
        procedure_.emplace(link_, *database_);
        records_ = sim::generate_records(image_, kRecords, kSeed);
        image_file_ = write_image_file(dir_, image_);
    }

    // Starts zklog-sim on the image with `options` and points the front end at its port: at
    // `link` when given (as a user's COM link), else at the pty itself.
    void serve(std::vector<std::string> options, const std::filesystem::path& link = {}) {
        std::vector<std::string> args{"--image", image_file_, "--trace", trace_path_.string()};
        if (!link.empty()) {
            args.insert(args.end(), {"--link", link.string()});
        }
        args.insert(args.end(), options.begin(), options.end());
        sim_.reset();
        std::filesystem::remove(trace_path_);
        sim_.emplace(args);
        ui_.port = link.empty() ? sim_->pty() : link.string();
    }

    // One run of the download; `elapsed_` tells how long it took.
    download::DownloadResult run() {
        ui_.messages.clear();
        const auto begin = Clock::now();
        const auto result = procedure_->run(ui_);
        elapsed_ = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - begin);
        // In the XML report (--gtest_output=xml), one attribute a run: how long each took.
        ::testing::Test::RecordProperty("run" + std::to_string(++runs_) + "_ms",
                                        std::to_string(elapsed_.count()));
        return result;
    }

    // The run gave up no later than its timeouts allow for `attempts` unanswered reads.
    void expect_no_hang(int attempts) const {
        const auto bound = device::SerialSettings{}.response_timeout * attempts + kHangMargin;
        EXPECT_LT(elapsed_, bound) << "the run took " << elapsed_.count() << " ms";
    }

    std::vector<store::LogRow> rows() const { return read_log_rows(db_path_); }
    std::vector<sim::TraceEntry> trace() const { return sim::read_trace(trace_path_); }

    // Rows from an earlier download, told apart by their date text.
    void save_previous_rows(int count) {
        for (int i = 0; i < count; ++i) {
            database_->add_new().set("Data", std::string("earlier"));
            database_->update();
        }
    }

    void expect_previous_rows(std::size_t count) const {
        const auto saved = rows();
        ASSERT_EQ(saved.size(), count);
        for (const auto& row : saved) {
            EXPECT_EQ(std::get<std::string>(row.get("Data")), "earlier");
        }
    }

    // The table holds exactly the first `count` records, each field as generated.
    void expect_first_records(std::size_t count) const {
        const auto saved = rows();
        ASSERT_EQ(saved.size(), count) << "rows saved";
        for (std::size_t i = 0; i < count; ++i) {
            SCOPED_TRACE("row " + std::to_string(i));
            expect_row_matches(saved[i], records_[i]);
        }
    }

    // Reads the download makes for `record`: base block, second channel, then the tail.
    static std::uint64_t reads_of(const sim::GeneratedRecord& record) {
        return (record.maps & sim::kMapZkb) ? 3 : 2;
    }

    // The number zklog-sim gives the request for the base block of record `index` in a run
    // with no failed read: requests count from 1, and the pointer read comes first.
    std::uint64_t base_block_request(std::size_t index) const {
        std::uint64_t request = 2;
        for (std::size_t i = 0; i < index; ++i) {
            request += reads_of(records_[i]);
        }
        return request;
    }

    TempDir dir_;
    std::filesystem::path db_path_ = dir_.file("LOG_ZKA_ZKB.db");
    std::filesystem::path trace_path_ = dir_.file("trace.txt");
    std::optional<store::LogDatabase> database_;
    device::DeviceLink link_;
    std::optional<download::LogDownload> procedure_;
    ScriptedFrontend ui_;
    sim::RelayImage image_;
    std::vector<sim::GeneratedRecord> records_;
    std::string image_file_;
    std::optional<SimProcess> sim_;
    std::chrono::milliseconds elapsed_{0};
    int runs_ = 0;
};

} // namespace zklog::test
