// The download end to end: zklog-sim on a pty, the real device link and a database file.
#include "download/log_download.h"
#include "download/messages.h"
#include "sim/record_generator.h"
#include "sim/request_trace.h"
#include "tests/download/generated_rows.h"
#include "tests/download/scripted_frontend.h"
#include "tests/support/sim_process.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

namespace zklog::download {
namespace {

using test::ScriptedFrontend;
using Icon = MessageIcon;

std::filesystem::path new_database(const test::TempDir& dir) {
    auto path = dir.file("LOG_ZKA_ZKB.db");
    store::create_database(path);
    return path;
}

std::vector<std::uint16_t> shape1_words(std::uint16_t tag) {
    return {0x0C03, 0x0912, 0x0507, 0x0100, 0x0000, 0x0000, tag, 0, 0, 0};
}

std::size_t reads_of(const sim::GeneratedRecord& record) {
    return (record.maps & sim::kMapZkb) ? 3 : 2;
}

class DownloadTest : public ::testing::Test {
protected:
    // Serves `image` with the extra zklog-sim options and connects a download to it.
    void serve(const sim::RelayImage& image, std::vector<std::string> options = {}) {
        std::vector<std::string> args{"--image", test::write_image_file(dir_, image), "--trace",
                                      trace_path_.string()};
        args.insert(args.end(), options.begin(), options.end());
        sim_.emplace(args);
        ui_.port = sim_->pty();
    }

    std::vector<sim::GeneratedRecord> serve_generated(int count,
                                                      std::vector<std::string> options = {}) {
        sim::RelayImage image;
        auto records = sim::generate_records(image, count, 1234);
        serve(image, std::move(options));
        return records;
    }

    DownloadResult run() { return procedure_.run(ui_); }
    std::vector<store::LogRow> rows() { return test::read_log_rows(db_path_); }
    std::vector<sim::TraceEntry> trace() { return sim::read_trace(trace_path_); }

    void save_previous_rows(int count) {
        for (int i = 0; i < count; ++i) {
            database_.add_new().set("Data", std::string("old"));
            database_.update();
        }
    }

    test::TempDir dir_;
    std::filesystem::path db_path_ = new_database(dir_);
    std::filesystem::path trace_path_ = dir_.file("trace.txt");
    store::LogDatabase database_{db_path_};
    device::DeviceLink link_;
    LogDownload procedure_{link_, database_};
    ScriptedFrontend ui_;
    std::optional<test::SimProcess> sim_;
};

TEST_F(DownloadTest, RecordsOfAllFourShapesBecomeOneRowEach) {
    const auto records = serve_generated(42);
    ASSERT_EQ(run(), DownloadResult::Completed);

    const auto saved = rows();
    ASSERT_EQ(saved.size(), records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        test::expect_row_matches(saved[i], records[i]);
    }
    const auto& message = ui_.only_message();
    EXPECT_EQ(message.text, kMsgCompleted);
    EXPECT_EQ(message.icon, Icon::Information);
    EXPECT_EQ(message.title, "");
    EXPECT_EQ(message.status_when_shown, "Lendo registro 41...");
    EXPECT_FALSE(message.start_enabled_when_shown);
    EXPECT_EQ(ui_.status, "Lendo registro 41... FIM");
    EXPECT_TRUE(ui_.start_enabled);
    EXPECT_EQ(ui_.progress_texts.front(), "Lendo registro 0...");
    EXPECT_EQ(ui_.start_enabled_at_yields, std::vector<bool>(42, false));
}

TEST_F(DownloadTest, EachShapeIsReadWithItsOwnBlocks) {
    const auto records = serve_generated(4); // the first four have the four shapes
    ASSERT_EQ(run(), DownloadResult::Completed);

    std::vector<std::pair<std::uint32_t, std::uint32_t>> expected{{1024, 1}};
    for (const auto& record : records) {
        std::uint32_t at = record.start;
        expected.emplace_back(at, 10);
        at += 10;
        if (record.maps & sim::kMapZkb) {
            expected.emplace_back(at, 8);
            at += 8;
        }
        expected.emplace_back(at, (record.maps & sim::kMapWpx) ? 7 : 1);
    }
    std::vector<std::pair<std::uint32_t, std::uint32_t>> reads;
    for (const auto& entry : trace()) {
        EXPECT_EQ(entry.function, 3);
        EXPECT_EQ(entry.slave, 1);
        reads.emplace_back(entry.first_register, entry.count);
    }
    EXPECT_EQ(reads, expected);
}

TEST_F(DownloadTest, PointerBoundIsInclusive) {
    sim::RelayImage image;
    std::uint32_t next = kLogStart;
    for (std::uint16_t tag = 1; tag <= 3; ++tag) {
        next = sim::put_record(image, next, shape1_words(tag));
    }
    image.set_pointer(11); // the second record starts exactly at 2000 + 11
    serve(image);
    ASSERT_EQ(run(), DownloadResult::Completed);

    const auto saved = rows();
    ASSERT_EQ(saved.size(), 2u);
    EXPECT_EQ(std::get<double>(saved[1].get("RTD1")), 0.2);
    EXPECT_EQ(trace().back().first_register, 2021u);
}

TEST_F(DownloadTest, WholeMemoryReadsARecordStartingAt18120ToItsEnd) {
    sim::RelayImage image;
    std::vector<std::uint16_t> both(24, 0);
    both[3] = sim::kMapZkb | sim::kMapWpx;
    std::vector<std::uint16_t> wpx(16, 0);
    wpx[3] = sim::kMapWpx;
    std::uint32_t next = kLogStart;
    int records = 0;
    // 643 records of 25 words, one of 11 and two of 17 end exactly at 18120.
    for (int i = 0; i < 643; ++i, ++records) {
        next = sim::put_record(image, next, both);
    }
    next = sim::put_record(image, next, shape1_words(7));
    next = sim::put_record(image, next, wpx);
    next = sim::put_record(image, next, wpx);
    records += 3;
    ASSERT_EQ(next, kLogLastStart);
    next = sim::put_record(image, next, both);
    ++records;
    ASSERT_EQ(next, 18145u);
    image.set_pointer(1);
    serve(image);
    ui_.up_to_pointer = false;

    ASSERT_EQ(run(), DownloadResult::Completed);
    EXPECT_EQ(static_cast<int>(rows().size()), records);
    const auto reads = trace();
    EXPECT_EQ(reads.back().first_register, 18138u);
    EXPECT_EQ(reads.back().count, 7u);
    for (const auto& row : rows()) {
        EXPECT_EQ(std::get<std::int64_t>(row.get("CRC_Valido")), 1);
    }
}

TEST_F(DownloadTest, PointerReadSucceedingAtTheSixthAttemptGoesOn) {
    const auto records = serve_generated(3, {"--fail-pointer", "5"});
    ASSERT_EQ(run(), DownloadResult::Completed);
    EXPECT_EQ(rows().size(), records.size());
}

TEST_F(DownloadTest, SixFailedPointerReadsLeaveEverythingAsItWas) {
    save_previous_rows(2);
    serve_generated(3, {"--fail-pointer", "6"});
    ui_.status = "before";
    EXPECT_EQ(run(), DownloadResult::PointerReadFailed);

    EXPECT_EQ(ui_.only_message().text, kMsgReadFailed);
    EXPECT_EQ(ui_.only_message().icon, Icon::Exclamation);
    EXPECT_EQ(ui_.only_message().title, "");
    EXPECT_EQ(ui_.status, "before");
    EXPECT_TRUE(ui_.start_enabled);
    EXPECT_TRUE(ui_.start_enabled_at_yields.empty());
    EXPECT_EQ(rows().size(), 2u);
    EXPECT_EQ(trace().size(), 6u);
    EXPECT_TRUE(procedure_.PortaAberta());
}

// A stop asked for while the pointer is being read (Ctrl-C, the window closed): while it is still
// asked for (attempt 0 failed) or once it has been read (attempt 2): the table keeps the
// previous download's rows.
class StopAtPointer : public DownloadTest, public ::testing::WithParamInterface<int> {};

TEST_P(StopAtPointer, KeepsThePreviousRows) {
    const int stop_at = GetParam();
    save_previous_rows(2);
    serve_generated(3, {"--fail-pointer", "2"});
    ui_.stop_at_pointer = [stop_at](int attempt) { return attempt == stop_at; };
    EXPECT_EQ(run(), DownloadResult::Stopped);
    EXPECT_TRUE(ui_.messages.empty());
    EXPECT_EQ(trace().size(), static_cast<std::size_t>(stop_at) + 1);
    EXPECT_EQ(rows().size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Attempts, StopAtPointer, ::testing::Values(0, 2));

TEST_F(DownloadTest, EmptyLogKeepsThePreviousRows) {
    save_previous_rows(3);
    serve_generated(5, {"--pointer", "0"});
    ui_.up_to_pointer = false; // the pointer is tested in either mode
    EXPECT_EQ(run(), DownloadResult::EmptyLog);
    EXPECT_EQ(ui_.only_message().text, kMsgEmptyLog);
    EXPECT_EQ(ui_.only_message().icon, Icon::Information);
    EXPECT_EQ(rows().size(), 3u);
    EXPECT_TRUE(ui_.start_enabled);
}

TEST_F(DownloadTest, NoAnswerToABaseBlockKeepsEarlierRowsAndShowsErro) {
    sim::RelayImage image;
    const auto records = sim::generate_records(image, 6, 99);
    serve(image, {"--silent-at", std::to_string(records[2].start)});
    EXPECT_EQ(run(), DownloadResult::RecordReadFailed);

    const auto saved = rows();
    ASSERT_EQ(saved.size(), 2u);
    test::expect_row_matches(saved[1], records[1]);
    EXPECT_EQ(ui_.only_message().text, kMsgReadFailed);
    EXPECT_EQ(ui_.only_message().status_when_shown, "Lendo registro 2...");
    EXPECT_EQ(ui_.status, "Erro");
    EXPECT_TRUE(ui_.start_enabled);
}

TEST_F(DownloadTest, NoAnswerToASecondChannelBlockDropsOnlyThatRecord) {
    sim::RelayImage image;
    const auto records = sim::generate_records(image, 8, 5);
    std::size_t failing = 1;
    while (!(records[failing].maps & sim::kMapZkb)) {
        ++failing;
    }
    serve(image, {"--silent-at", std::to_string(records[failing].start + 10)});
    EXPECT_EQ(run(), DownloadResult::RecordReadFailed);

    EXPECT_EQ(rows().size(), failing);
    EXPECT_EQ(ui_.only_message().text, kMsgReadFailed);
    EXPECT_EQ(ui_.status, "Lendo registro " + std::to_string(failing) + "...");
    EXPECT_TRUE(ui_.start_enabled);
}

TEST_F(DownloadTest, WrongRecordChecksumsAreSavedAsInvalidAndTheDownloadGoesOn) {
    sim::RelayImage image;
    const auto records = sim::generate_records(image, 6, 77);
    serve(image, {"--bad-crc", "1", "--bad-crc", "4"});
    ASSERT_EQ(run(), DownloadResult::Completed);

    const auto saved = rows();
    ASSERT_EQ(saved.size(), 6u);
    for (std::size_t i = 0; i < saved.size(); ++i) {
        const bool bad = i == 1 || i == 4;
        EXPECT_EQ(std::get<std::int64_t>(saved[i].get("CRC_Valido")), bad ? 0 : 1) << i;
        if (!bad) {
            test::expect_row_matches(saved[i], records[i]);
        }
    }
}

// Records whose checksum words were worked out apart from the program (CRC-16/MODBUS over the
// record's words but the last, each word high byte first), not signed by the simulator: a
// checksum the program computed wrongly, or over other words, shows here, where a simulator
// sharing the program's checksum code would agree with it.
TEST_F(DownloadTest, ChecksumsKnownBeforehandAreCheckedAsTheRelayWroteThem) {
    const std::vector<std::vector<std::uint16_t>> records{
        // Shape 1 (ZKA): base and checksum.
        {0x1803, 0x0A0E, 0x1E00, 0x0101, 0x0003, 0x0000, 0x00FA, 0x0104, 0x2710, 0x0118, 0x6520},
        // Shape 2 (ZKA ZKB): base, second channel, checksum.
        {0x1803, 0x0A0F, 0x0001, 0x0203, 0x0081, 0x0001, 0xFF9C, 0x0000, 0x0064, 0x7FFF, 0x0012,
         0x0300, 0x00C8, 0x00D2, 0x8000, 0xFFFF, 0x3039, 0x0001, 0x06B4},
        // Shape 3 (ZKA WPX): base, differential data, checksum.
        {0x1904, 0x0B10, 0x2A3B, 0x1005, 0x0040, 0x0200, 0x0123, 0x0456, 0x0789, 0x0ABC, 0x0001,
         0x0002, 0xFFFE, 0x8000, 0x7FFF, 0x0100, 0x8C48},
        // Shape 4 (ZKA ZKB WPX): all four parts.
        {0x1F0C, 0x6317, 0x3B3B, 0x1F07, 0xFF00, 0x3FFF, 0x1111, 0x2222, 0x3333,
         0x4444, 0x5555, 0x6666, 0x7777, 0x8888, 0x9999, 0xAAAA, 0xBBBB, 0xCCCC,
         0xDDDD, 0xEEEE, 0x0F0F, 0xF0F0, 0x00FF, 0xFF00, 0x469C},
        // Shape 1 again, its checksum 0x554C stored with its bytes swapped.
        {0x1803, 0x0A0E, 0x1E01, 0x0100, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x4C55},
    };
    sim::RelayImage image;
    std::uint32_t at = kLogStart;
    for (const auto& record : records) {
        for (const std::uint16_t word : record) {
            image.set_word(at++, word);
        }
    }
    image.set_pointer(72); // the last record starts at 2072
    serve(image);
    ASSERT_EQ(run(), DownloadResult::Completed);

    const auto saved = rows();
    ASSERT_EQ(saved.size(), 5u);
    const std::int64_t crc[] = {0x6520, 0x06B4, 0x8C48, 0x469C, 0x4C55};
    const std::int64_t valid[] = {1, 1, 1, 1, 0};
    for (std::size_t i = 0; i < saved.size(); ++i) {
        SCOPED_TRACE("row " + std::to_string(i));
        EXPECT_EQ(std::get<std::int64_t>(saved[i].get("CRC")), crc[i]);
        EXPECT_EQ(std::get<std::int64_t>(saved[i].get("CRC_Valido")), valid[i]);
    }
}

TEST_F(DownloadTest, SecondDownloadEmptiesTheTableAndKeepsThePortOpen) {
    const auto records = serve_generated(5);
    ASSERT_EQ(run(), DownloadResult::Completed);
    // Were the port opened again, this would fail: the first port stays in use.
    ui_.port = "/nonexistent/port";
    ui_.messages.clear();
    ASSERT_EQ(run(), DownloadResult::Completed);
    EXPECT_EQ(rows().size(), records.size());
    EXPECT_EQ(ui_.only_message().text, kMsgCompleted);
}

TEST_F(DownloadTest, FailedOpenIsRetriedAtTheNextClick) {
    serve_generated(2);
    const std::string pty = ui_.port;
    ui_.port = "/nonexistent/port";
    EXPECT_EQ(run(), DownloadResult::PortOpenFailed);
    EXPECT_EQ(ui_.only_message().text, kMsgPortOpenFailed);
    EXPECT_EQ(ui_.only_message().title, "Erro");
    EXPECT_EQ(ui_.only_message().icon, Icon::Exclamation);
    EXPECT_FALSE(procedure_.PortaAberta());

    ui_.port = pty;
    ui_.messages.clear();
    EXPECT_EQ(run(), DownloadResult::Completed);
    EXPECT_TRUE(procedure_.PortaAberta());
}

TEST_F(DownloadTest, AnAddressEditedDuringAYieldIsUsedFromTheNextRead) {
    const auto records = serve_generated(6, {"--address", "1"});
    ui_.on_yield = [](ScriptedFrontend& ui, int number) {
        if (number == 2) {
            ui.address = "2"; // no relay answers there
        }
        return true;
    };
    EXPECT_EQ(run(), DownloadResult::RecordReadFailed);
    EXPECT_EQ(rows().size(), 2u);
    EXPECT_EQ(ui_.status, "Erro");
    EXPECT_EQ(trace().size(), 1u + reads_of(records[0]) + reads_of(records[1]));
}

// Text that is no address at all, typed while records are read, ends the run at the next read
// with the address message; the button must come back for the next try.
TEST_F(DownloadTest, AnAddressMadeInvalidDuringAYieldEndsTheRunWithTheButtonUsable) {
    const auto records = serve_generated(6);
    ui_.on_yield = [](ScriptedFrontend& ui, int number) {
        if (number == 2) {
            ui.address = "x";
        }
        return true;
    };
    EXPECT_EQ(run(), DownloadResult::InvalidAddress);
    EXPECT_EQ(ui_.only_message().text, kMsgInvalidAddress);
    EXPECT_FALSE(ui_.only_message().start_enabled_when_shown);
    EXPECT_TRUE(ui_.start_enabled);
    EXPECT_EQ(rows().size(), 2u);
    EXPECT_EQ(trace().size(), 1u + reads_of(records[0]) + reads_of(records[1]));

    // And with the address put right, the next click downloads.
    ui_.address = "1";
    ui_.on_yield = nullptr;
    ui_.messages.clear();
    EXPECT_EQ(run(), DownloadResult::Completed);
    EXPECT_EQ(rows().size(), records.size());
}

TEST_F(DownloadTest, ReadModeSwitchedDuringAYieldChangesTheBound) {
    const auto records = serve_generated(10);
    ui_.on_yield = [](ScriptedFrontend& ui, int number) {
        if (number == 1) {
            ui.up_to_pointer = false;
        }
        return true;
    };
    ASSERT_EQ(run(), DownloadResult::Completed);
    // Past the generated records the memory is zero: 11-word records with a wrong checksum.
    const auto saved = rows();
    EXPECT_GT(saved.size(), records.size());
    EXPECT_EQ(std::get<std::int64_t>(saved.back().get("CRC_Valido")), 0);
    EXPECT_LE(trace().back().first_register, kLogLastStart + 24);
}

TEST_F(DownloadTest, InvalidAddressTextMakesNoRead) {
    serve_generated(2);
    for (const char* bad : {"", "x", "0", "300"}) {
        ui_.address = bad;
        ui_.messages.clear();
        EXPECT_EQ(run(), DownloadResult::InvalidAddress);
        EXPECT_EQ(ui_.only_message().text, kMsgInvalidAddress);
        EXPECT_TRUE(ui_.start_enabled);
    }
    EXPECT_TRUE(trace().empty());
}

TEST_F(DownloadTest, InvalidPortTextOpensNothing) {
    serve_generated(2);
    ui_.port = "COM1";
    EXPECT_EQ(run(), DownloadResult::InvalidPort);
    EXPECT_EQ(ui_.only_message().text, kMsgInvalidPort);
    EXPECT_FALSE(procedure_.PortaAberta());
}

TEST_F(DownloadTest, ClosedFrontendStopsAtTheYieldWithoutAnotherReadOrMessage) {
    const auto records = serve_generated(10);
    ui_.on_yield = [](ScriptedFrontend&, int number) { return number < 3; };
    EXPECT_EQ(run(), DownloadResult::Stopped);
    EXPECT_EQ(rows().size(), 3u);
    EXPECT_TRUE(ui_.messages.empty());
    EXPECT_EQ(trace().size(),
              1u + reads_of(records[0]) + reads_of(records[1]) + reads_of(records[2]));
}

TEST_F(DownloadTest, LockedDatabaseEndsWithAClearMessageAndKeepsSavedRows) {
    serve_generated(6);
    SQLite::Database other(db_path_.string(), SQLite::OPEN_READWRITE);
    ui_.on_yield = [&other](ScriptedFrontend&, int number) {
        if (number == 3) {
            other.exec("BEGIN EXCLUSIVE");
        }
        return true;
    };
    EXPECT_EQ(run(), DownloadResult::DatabaseError);
    other.exec("ROLLBACK");

    // Record 2's row is saved while record 3 is asked for, after the lock was taken.
    EXPECT_EQ(rows().size(), 2u);
    const auto& message = ui_.only_message();
    EXPECT_TRUE(message.text.starts_with(kMsgDatabaseError)) << message.text;
    EXPECT_NE(message.text.find("database is locked"), std::string::npos) << message.text;
    EXPECT_EQ(message.icon, Icon::Exclamation);
    EXPECT_TRUE(ui_.start_enabled);

    ui_.on_yield = nullptr;
    ui_.messages.clear();
    EXPECT_EQ(run(), DownloadResult::Completed); // usable again
    EXPECT_EQ(rows().size(), 6u);
}

} // namespace
} // namespace zklog::download
