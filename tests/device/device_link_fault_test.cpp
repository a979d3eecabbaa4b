// A relay that stays silent, answers late, garbled or with an exception, or vanishes: each read
// must fail within the timeout, and the next one must get its own words.
#include "tests/device/sim_link_fixture.h"

#include <modbus/modbus.h>
#include <ostream>
#include <string>
#include <vector>

namespace zklog::test {
namespace {

using device::DeviceLink;

using DeviceLinkFault = SimLinkTest;

TEST_F(DeviceLinkFault, UnansweredPointerReads) {
    start({"--fail-pointer", "2"});
    expect_failure(1024, 1);
    expect_words(2000, 10); // other reads are not affected
    expect_failure(1024, 1);
    expect_words(1024, 1);
    expect_words(1024, 1);
}

TEST_F(DeviceLinkFault, SilentAtOneAddress) {
    start({"--silent-at", "2011", "--silent-at", "2030"});
    expect_words(2000, 11);
    expect_failure(2011, 8);
    expect_words(2012, 8);
    expect_failure(2030, 17);
    expect_failure(2011, 1);
    expect_words(2010, 2); // covers 2011 but starts elsewhere
}

TEST_F(DeviceLinkFault, SilentAfterSomeRequests) {
    start({"--silent-after", "2"});
    expect_words(1024, 1);
    expect_words(2000, 10);
    expect_failure(2010, 10);
    expect_failure(1024, 1);
}

TEST_F(DeviceLinkFault, ExceptionReplyIsNotAskedAgain) {
    start({"--exception-request", "1", "--exception-request", "3"});
    expect_failure(2000, 10);
    EXPECT_EQ(link_.last_error(), EMBXILADD);
    expect_words(2000, 10);
    expect_failure(1024, 1);
    expect_words(1024, 1);
}

// A read that gives up on silence fails at its first timeout (request 1). One that asks again
// is answered by its third try (requests 3 and 4 silent) and fails only when all three meet
// silence (6 to 8); the next read is answered by request 9.
TEST_F(DeviceLinkFault, SilenceIsAskedAgainOnlyByAReadThatAsks) {
    start({"--silent-request", "1", "--silent-request", "3", "--silent-request", "4",
           "--silent-request", "6", "--silent-request", "7", "--silent-request", "8"});
    expect_failure(2000, 10);
    EXPECT_EQ(link_.last_error(), ETIMEDOUT);
    expect_words(2000, 10);
    expect_words(2010, 8, 1, OnSilence::AskAgain);
    expect_failure(2018, 7, 1, OnSilence::AskAgain);
    EXPECT_EQ(link_.last_error(), ETIMEDOUT);
    expect_words(2018, 7);
}

struct GarbledReply {
    const char* name;
    const char* sim_option; // spoils the reply to one request number
};

void PrintTo(const GarbledReply& fault, std::ostream* out) {
    *out << fault.name;
}

class GarbledReplies : public SimLinkTest, public ::testing::WithParamInterface<GarbledReply> {
protected:
    void spoil(std::initializer_list<int> requests) {
        std::vector<std::string> options;
        for (const int request : requests) {
            options.insert(options.end(), {GetParam().sim_option, std::to_string(request)});
        }
        start(options);
    }
};

// Requests 2 and 3 spoilt: the read is asked twice more and gets its own words from the third
// reply. Requests 6 to 8 spoilt: that read fails after three, and the next one is answered by
// request 9 with its own words, never with what is left of a spoilt reply.
TEST_P(GarbledReplies, AreAskedAgainAtMostTwice) {
    spoil({2, 3, 6, 7, 8});
    expect_words(1024, 1);
    expect_words(2000, 10);
    expect_words(3001, 7);
    expect_failure(2010, 8);
    EXPECT_NE(link_.last_error(), 0);
    expect_words(2010, 8);
    expect_words(2000, 10);
}

INSTANTIATE_TEST_SUITE_P(
    DeviceLinkFault, GarbledReplies,
    ::testing::Values(GarbledReply{"CorruptedFrameCrc", "--corrupt-request"},
                      GarbledReply{"ReplyFromAnotherSlave", "--wrong-address-request"},
                      GarbledReply{"TruncatedReply", "--truncate-request"},
                      GarbledReply{"NoiseBeforeTheReply", "--noise-request"},
                      GarbledReply{"OneRegisterMore", "--extra-word-request"},
                      GarbledReply{"OneRegisterFewer", "--missing-word-request"}),
    [](const auto& info) { return std::string(info.param.name); });

// A relay busy writing its log answers up to one response timeout late (the parameter: ms from
// the request to the late reply), while it answers every other request within its 30 ms
// turnaround. Whether the late reply lands during a retry of the same read or while other reads
// are under way, no read may take it for its own answer, and none may fail because of it.
class LateReplies : public SimLinkTest, public ::testing::WithParamInterface<int> {
protected:
    static constexpr int kTurnaroundMs = 30;

    void start_late(int request) {
        start({"--turnaround-ms", std::to_string(kTurnaroundMs), "--late-request",
               std::to_string(request), "--late-ms", std::to_string(GetParam() - kTurnaroundMs)});
    }

    // Reads of the late read's shape at other registers, until the late reply is surely in.
    void read_others_until_the_late_reply_is_past() {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(700);
        for (std::uint32_t first = 3001; std::chrono::steady_clock::now() < until; first += 10) {
            expect_words(first, 10);
        }
    }
};

TEST_P(LateReplies, RetryOfTheSameReadThenOthersGetTheirOwnWords) {
    start_late(1);
    expect_failure(2000, 10);
    expect_words(2000, 10);
    read_others_until_the_late_reply_is_past();
    expect_words(1024, 1);
}

// The same, with the read asking again itself: the retry takes the late reply or its own.
TEST_P(LateReplies, AReadThatAsksAgainGetsItsWordsAndOthersTheirOwn) {
    start_late(1);
    expect_words(2000, 10, 1, OnSilence::AskAgain);
    read_others_until_the_late_reply_is_past();
    expect_words(1024, 1);
}

TEST_P(LateReplies, OtherReadsAfterTheTimeoutGetTheirOwnWords) {
    start_late(2);
    expect_words(1024, 1);
    expect_failure(2000, 10);
    read_others_until_the_late_reply_is_past();
    expect_words(1024, 1);
}

INSTANTIATE_TEST_SUITE_P(DeviceLinkFault, LateReplies, ::testing::Values(520, 900),
                         [](const auto& info) { return std::to_string(info.param) + "ms"; });

TEST_F(DeviceLinkFault, HangUpFailsFastAndKeepsFailing) {
    start({"--hangup-after", "2"});
    expect_words(1024, 1);
    expect_words(2000, 10);
    expect_failure(2010, 10);
    // Gone from its path too, as an unplugged adapter: each read tries it again, in vain.
    std::filesystem::remove(port_);
    for (int i = 0; i < 2; ++i) {
        expect_failure(2010, 10);
    }
    EXPECT_EQ(link_.close_comm(), 1);
    EXPECT_NE(link_.open_path(sim_->pty()), DeviceLink::kOpenOk);
    EXPECT_EQ(sim_->stop(), 0);
}

} // namespace
} // namespace zklog::test
