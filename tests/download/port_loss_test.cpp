// The port going away under a download (a USB adapter pulled) and the relay coming back: the
// run in progress ends at once with its rows kept, and a later run with the same link and
// procedure reaches the relay again without a program restart.
#include "download/messages.h"
#include "tests/download/sim_download_fixture.h"

namespace zklog::test {
namespace {

using download::DownloadResult;
using download::kMsgCompleted;
using download::kMsgReadFailed;

constexpr int kPointerAttempts = 6; // the pointer is asked six times before the run gives up

class SerialPortLoss : public SimDownload, public ::testing::Test {
protected:
    // Where the user's COM port number leads: the simulator of the moment links it to its pty.
    std::filesystem::path com_link_ = dir_.file("COM3");

    // The first record, from the third on, that has a second-channel block.
    std::size_t record_with_second_channel() const {
        for (std::size_t i = 2; i < records_.size(); ++i) {
            if (records_[i].maps & sim::kMapZkb) {
                return i;
            }
        }
        ADD_FAILURE() << "no generated record has a second channel";
        return 2;
    }

    void expect_completed() {
        EXPECT_EQ(ui_.only_message().text, kMsgCompleted);
        EXPECT_TRUE(ui_.start_enabled);
        expect_first_records(records_.size());
    }
};

TEST_F(SerialPortLoss, HangUpMidRecordEndsTheRunAndTheReturningPortIsUsedAgain) {
    const std::size_t failing = record_with_second_channel();
    // The port goes right after the record's base block was answered.
    serve({"--hangup-after", std::to_string(base_block_request(failing))}, com_link_);
    EXPECT_EQ(run(), DownloadResult::RecordReadFailed);
    expect_no_hang(1);
    const std::string progress = "Lendo registro " + std::to_string(failing) + "...";
    EXPECT_EQ(ui_.only_message().text, kMsgReadFailed);
    EXPECT_EQ(ui_.status, progress);
    EXPECT_TRUE(ui_.start_enabled);
    expect_first_records(failing);
    EXPECT_TRUE(link_.is_open());

    // Still unplugged: every pointer attempt fails without waiting, and the table stays.
    ASSERT_EQ(sim_->stop(), 0);
    ASSERT_FALSE(std::filesystem::exists(com_link_));
    EXPECT_EQ(run(), DownloadResult::PointerReadFailed);
    expect_no_hang(kPointerAttempts);
    EXPECT_EQ(ui_.only_message().text, kMsgReadFailed);
    expect_first_records(failing);

    // Plugged in again under the same name.
    serve({}, com_link_);
    EXPECT_EQ(run(), DownloadResult::Completed);
    expect_completed();
    const auto reads = trace();
    ASSERT_FALSE(reads.empty());
    EXPECT_EQ(reads.front().first_register, download::kLogPointerRegister);
}

TEST_F(SerialPortLoss, SilentRelayReplacedBehindTheSameLinkIsReachedAtTheNextRun) {
    const std::size_t failing = 3;
    serve({"--silent-after", std::to_string(base_block_request(failing) - 1)}, com_link_);
    EXPECT_EQ(run(), DownloadResult::RecordReadFailed);
    expect_no_hang(device::DeviceLink::kSilenceRetries + 1);
    EXPECT_EQ(ui_.only_message().text, kMsgReadFailed);
    EXPECT_EQ(ui_.status, "Erro");
    expect_first_records(failing);

    // The silent relay's port closes as it goes; the next run finds the new one.
    ASSERT_EQ(sim_->stop(), 0);
    serve({}, com_link_);
    EXPECT_EQ(run(), DownloadResult::Completed);
    expect_no_hang(kPointerAttempts);
    expect_completed();
}

TEST_F(SerialPortLoss, TimeoutsKeepTheOpenPort) {
    serve({"--fail-pointer", std::to_string(kPointerAttempts)}, com_link_);
    EXPECT_EQ(run(), DownloadResult::PointerReadFailed);
    expect_no_hang(kPointerAttempts);

    // Had the timeouts made the link open its port again, it would find no port here now.
    std::filesystem::remove(com_link_);
    EXPECT_EQ(run(), DownloadResult::Completed);
    expect_completed();
}

} // namespace
} // namespace zklog::test
