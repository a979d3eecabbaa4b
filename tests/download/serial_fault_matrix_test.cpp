// Every fault of the relay or the line, at every kind of read the download makes: a reply the
// line spoilt is asked for again, at most twice, and so is silence at a record read (the log
// pointer has its six attempts of one request each instead); a fault that outlasts that (or an
// exception reply, which is never asked again) must end the run with the right message, give
// up within its timeouts, keep every row saved before the fault exactly as read, and save
// nothing of the record it could not read whole.
#include "download/block_reads.h"
#include "download/messages.h"
#include "tests/download/sim_download_fixture.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <ostream>
#include <tuple>

namespace zklog::test {
namespace {

using download::DownloadResult;
using download::kMsgCompleted;
using download::kMsgReadFailed;
using download::MessageIcon;

struct LineFault {
    const char* name;
    const char* sim_option; // zklog-sim option that spoils the reply to one request number
    bool garbled;           // spoilt on the line: the link asks again
    bool silent;            // no reply: the link asks again at a record read
};

const LineFault kFaults[] = {
    {"Silence", "--silent-request", false, true},
    {"WrongSlaveAddress", "--wrong-address-request", true, false},
    {"CorruptedFrameCrc", "--corrupt-request", true, false},
    {"ExceptionReply", "--exception-request", false, false},
    {"TruncatedFrame", "--truncate-request", true, false},
    {"NoiseBeforeReply", "--noise-request", true, false},
    {"OneRegisterMore", "--extra-word-request", true, false},
    {"OneRegisterFewer", "--missing-word-request", true, false},
};

enum class ReadKind { Pointer, Record };

// Requests the link makes for one read that keeps meeting `fault`.
std::uint64_t requests_per_failed_read(const LineFault& fault, ReadKind read) {
    if (fault.garbled) {
        return device::DeviceLink::kGarbledRetries + 1;
    }
    return fault.silent && read == ReadKind::Record ? device::DeviceLink::kSilenceRetries + 1 : 1;
}

// Names rather than bytes in failure messages.
void PrintTo(const LineFault& fault, std::ostream* out) {
    *out << fault.name;
}

std::vector<std::string> fault_at(const LineFault& fault, std::uint64_t first, std::uint64_t last) {
    std::vector<std::string> options;
    for (std::uint64_t request = first; request <= last; ++request) {
        options.insert(options.end(), {fault.sim_option, std::to_string(request)});
    }
    return options;
}

constexpr int kPointerAttempts = 6; // the pointer is asked six times before the run gives up

class PointerRead : public SimDownload, public ::testing::TestWithParam<LineFault> {};

TEST_P(PointerRead, FaultyAtEveryAttemptLeavesTheTableAsItWas) {
    const std::uint64_t requests =
        kPointerAttempts * requests_per_failed_read(GetParam(), ReadKind::Pointer);
    save_previous_rows(3);
    serve(fault_at(GetParam(), 1, requests));
    ui_.status = "before";
    EXPECT_EQ(run(), DownloadResult::PointerReadFailed);
    expect_no_hang(kPointerAttempts);

    const auto& message = ui_.only_message();
    EXPECT_EQ(message.text, kMsgReadFailed);
    EXPECT_EQ(message.icon, MessageIcon::Exclamation);
    EXPECT_EQ(message.title, "");
    EXPECT_EQ(message.status_when_shown, "before");
    EXPECT_TRUE(message.start_enabled_when_shown);
    EXPECT_EQ(ui_.status, "before");
    EXPECT_TRUE(ui_.start_enabled);
    EXPECT_TRUE(ui_.start_enabled_at_yields.empty());
    expect_previous_rows(3);
    const auto reads = trace();
    EXPECT_EQ(reads.size(), requests);
    for (const auto& read : reads) {
        EXPECT_EQ(read.first_register, download::kLogPointerRegister);
    }
}

TEST_P(PointerRead, FaultyFiveTimesThenAnsweredGoesOn) {
    save_previous_rows(3);
    serve(
        fault_at(GetParam(), 1,
                 (kPointerAttempts - 1) * requests_per_failed_read(GetParam(), ReadKind::Pointer)));
    EXPECT_EQ(run(), DownloadResult::Completed);
    expect_no_hang(kPointerAttempts);

    EXPECT_EQ(ui_.only_message().text, kMsgCompleted);
    EXPECT_EQ(ui_.status, "Lendo registro " + std::to_string(kRecords - 1) + "... FIM");
    EXPECT_TRUE(ui_.start_enabled);
    expect_first_records(records_.size());
}

INSTANTIATE_TEST_SUITE_P(SerialFaultMatrix, PointerRead, ::testing::ValuesIn(kFaults),
                         [](const auto& info) { return std::string(info.param.name); });

enum class Block { Base, SecondChannel, Differential, LoneChecksum };

const char* block_name(Block block) {
    switch (block) {
    case Block::Base:
        return "BaseBlock";
    case Block::SecondChannel:
        return "SecondChannelBlock";
    case Block::Differential:
        return "DifferentialBlock";
    case Block::LoneChecksum:
        return "LoneChecksumWord";
    }
    return "?";
}

void PrintTo(Block block, std::ostream* out) {
    *out << block_name(block);
}

bool has_block(const sim::GeneratedRecord& record, Block block) {
    switch (block) {
    case Block::Base:
        return true;
    case Block::SecondChannel:
        return (record.maps & sim::kMapZkb) != 0;
    case Block::Differential:
        return (record.maps & sim::kMapWpx) != 0;
    case Block::LoneChecksum:
        return (record.maps & sim::kMapWpx) == 0;
    }
    return false;
}

// The read of `block` within its record: its number (0 for the base block) and first register.
std::pair<std::uint64_t, std::uint32_t> block_read(const sim::GeneratedRecord& record,
                                                   Block block) {
    const bool zkb = (record.maps & sim::kMapZkb) != 0;
    switch (block) {
    case Block::Base:
        return {0, record.start};
    case Block::SecondChannel:
        return {1, record.start + 10};
    case Block::Differential:
    case Block::LoneChecksum:
        return {zkb ? 2 : 1, record.start + (zkb ? 18 : 10)};
    }
    return {0, 0};
}

class RecordRead : public SimDownload,
                   public ::testing::TestWithParam<std::tuple<LineFault, Block>> {
protected:
    // A record with the block, late enough that rows were saved before it.
    std::size_t failing_record(Block block) const {
        for (std::size_t i = 2; i < records_.size(); ++i) {
            if (has_block(records_[i], block)) {
                return i;
            }
        }
        ADD_FAILURE() << "no generated record has a " << block_name(block);
        return 2;
    }
};

TEST_P(RecordRead, FaultEndsTheRunAndKeepsTheRowsBeforeIt) {
    const auto& [fault, block] = GetParam();
    const std::size_t failing = failing_record(block);
    const auto [read_in_record, first_register] = block_read(records_[failing], block);
    const std::uint64_t first_request = base_block_request(failing) + read_in_record;
    const std::uint64_t tries = requests_per_failed_read(fault, ReadKind::Record);
    const std::uint64_t request = first_request + tries - 1;
    save_previous_rows(3);
    serve(fault_at(fault, first_request, request));
    EXPECT_EQ(run(), DownloadResult::RecordReadFailed);
    expect_no_hang(fault.silent ? static_cast<int>(tries) : 1);

    const std::string progress = "Lendo registro " + std::to_string(failing) + "...";
    const auto& message = ui_.only_message();
    EXPECT_EQ(message.text, kMsgReadFailed);
    EXPECT_EQ(message.icon, MessageIcon::Exclamation);
    EXPECT_EQ(message.title, "");
    EXPECT_EQ(message.status_when_shown, progress);
    EXPECT_FALSE(message.start_enabled_when_shown);
    EXPECT_EQ(ui_.status, block == Block::Base ? "Erro" : progress);
    EXPECT_TRUE(ui_.start_enabled);
    // The earlier download's rows are gone, the new ones up to the failing record are whole,
    // and the failing record has left nothing behind.
    expect_first_records(failing);
    // The fault hit the intended read, and nothing was read after it.
    const auto reads = trace();
    ASSERT_EQ(reads.size(), request);
    EXPECT_EQ(reads.back().first_register, first_register);
}

// Spoilt once, the read is asked again and the download goes on with every row.
using GarbledRecordRead = RecordRead;

TEST_P(GarbledRecordRead, OnceIsAskedAgainAndTheRunGoesOn) {
    const auto& [fault, block] = GetParam();
    const std::size_t failing = failing_record(block);
    const auto [read_in_record, first_register] = block_read(records_[failing], block);
    const std::uint64_t request = base_block_request(failing) + read_in_record;
    serve(fault_at(fault, request, request));
    EXPECT_EQ(run(), DownloadResult::Completed);
    EXPECT_EQ(ui_.only_message().text, kMsgCompleted);
    expect_first_records(records_.size());
    const auto reads = trace();
    ASSERT_GT(reads.size(), request);
    EXPECT_EQ(reads[request - 1].first_register, first_register);
    EXPECT_EQ(reads[request].first_register, first_register);
}

std::string record_read_name(const ::testing::TestParamInfo<std::tuple<LineFault, Block>>& info) {
    return std::string(std::get<0>(info.param).name) + "At" + block_name(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(SerialFaultMatrix, RecordRead,
                         ::testing::Combine(::testing::ValuesIn(kFaults),
                                            ::testing::Values(Block::Base, Block::SecondChannel,
                                                              Block::Differential,
                                                              Block::LoneChecksum)),
                         record_read_name);

std::vector<LineFault> garbled_faults() {
    std::vector<LineFault> garbled;
    std::copy_if(std::begin(kFaults), std::end(kFaults), std::back_inserter(garbled),
                 [](const LineFault& fault) { return fault.garbled; });
    return garbled;
}

INSTANTIATE_TEST_SUITE_P(SerialFaultMatrix, GarbledRecordRead,
                         ::testing::Combine(::testing::ValuesIn(garbled_faults()),
                                            ::testing::Values(Block::Base, Block::SecondChannel,
                                                              Block::Differential,
                                                              Block::LoneChecksum)),
                         record_read_name);

// A relay busy writing its log answers a read up to one response timeout late (the parameter: ms
// from the request to the late reply), while it answers every other request within its 30 ms
// turnaround.
class LateReply : public SimDownload, public ::testing::TestWithParam<int> {
protected:
    std::vector<std::string> late(std::uint64_t request) const {
        return {"--baud",         "9600",
                "--late-request", std::to_string(request),
                "--late-ms",      std::to_string(GetParam())};
    }
};

// The late reply comes while the pointer is asked again: it answers that retry, and neither it
// nor the retry's own reply is taken for a record.
TEST_P(LateReply, ToTheFirstPointerReadTheDownloadCompletes) {
    serve(late(1));
    EXPECT_EQ(run(), DownloadResult::Completed);
    EXPECT_EQ(ui_.only_message().text, kMsgCompleted);
    expect_first_records(records_.size());
    expect_no_hang(3);
}

// A record read that timed out is asked again at once: the late reply answers the retry (at
// 520 ms) or comes while the retry's own is owed (at 900 ms) and is dropped; no row takes it for
// another read's words, in this run or the next.
TEST_P(LateReply, ToARecordReadIsTakenByItsRetryAndTheRunCompletes) {
    const std::uint64_t request = base_block_request(3);
    serve(late(request));
    EXPECT_EQ(run(), DownloadResult::Completed);
    expect_first_records(records_.size());
    const auto reads = trace();
    ASSERT_GT(reads.size(), request);
    EXPECT_EQ(reads[request].first_register, reads[request - 1].first_register);
    EXPECT_EQ(run(), DownloadResult::Completed);
    expect_first_records(records_.size());
}

INSTANTIATE_TEST_SUITE_P(SerialFaultMatrix, LateReply, ::testing::Values(520, 900),
                         [](const auto& info) { return std::to_string(info.param) + "ms"; });

// One request the line loses, at each kind of read the download makes: the read is asked again
// (the pointer by its next attempt, a record's block and a --fast block within the read) and
// the download completes with every row.
enum class LostAt {
    Pointer,
    BaseBlock,
    SecondChannelBlock,
    DifferentialBlock,
    LoneChecksumWord,
    FastBlock
};

class OneLostRequest : public SimDownload, public ::testing::TestWithParam<LostAt> {
protected:
    // The request the line loses, in a run with no other fault.
    std::uint64_t lost_request() const {
        switch (GetParam()) {
        case LostAt::Pointer:
            return 1;
        case LostAt::FastBlock:
            return 3; // the second block: the first has confirmed the size
        case LostAt::BaseBlock:
            return lost_in_record(Block::Base);
        case LostAt::SecondChannelBlock:
            return lost_in_record(Block::SecondChannel);
        case LostAt::DifferentialBlock:
            return lost_in_record(Block::Differential);
        case LostAt::LoneChecksumWord:
            return lost_in_record(Block::LoneChecksum);
        }
        return 0;
    }

private:
    std::uint64_t lost_in_record(Block block) const {
        for (std::size_t i = 1; i < records_.size(); ++i) {
            if (has_block(records_[i], block)) {
                return base_block_request(i) + block_read(records_[i], block).first;
            }
        }
        ADD_FAILURE() << "no generated record has a " << block_name(block);
        return 0;
    }
};

TEST_P(OneLostRequest, IsAskedAgainAndTheDownloadCompletes) {
    download::BlockReads blocks(link_);
    if (GetParam() == LostAt::FastBlock) {
        procedure_.emplace(link_, *database_, blocks);
    }
    const std::uint64_t lost = lost_request();
    serve({"--silent-request", std::to_string(lost)});
    EXPECT_EQ(run(), DownloadResult::Completed);
    EXPECT_EQ(ui_.only_message().text, kMsgCompleted);
    expect_first_records(records_.size());
    // One timeout, then the retry's own reply may still come until its late window has passed.
    expect_no_hang(3);
    const auto reads = trace();
    ASSERT_GT(reads.size(), lost);
    EXPECT_EQ(reads[lost].first_register, reads[lost - 1].first_register);
    EXPECT_EQ(reads[lost].count, reads[lost - 1].count);
}

std::string lost_at_name(const ::testing::TestParamInfo<LostAt>& info) {
    constexpr std::array<const char*, 6> kNames{
        "Pointer",           "BaseBlock",        "SecondChannelBlock",
        "DifferentialBlock", "LoneChecksumWord", "FastBlock"};
    return kNames.at(static_cast<std::size_t>(info.param));
}

INSTANTIATE_TEST_SUITE_P(SerialFaultMatrix, OneLostRequest,
                         ::testing::Values(LostAt::Pointer, LostAt::BaseBlock,
                                           LostAt::SecondChannelBlock, LostAt::DifferentialBlock,
                                           LostAt::LoneChecksumWord, LostAt::FastBlock),
                         lost_at_name);

} // namespace
} // namespace zklog::test
