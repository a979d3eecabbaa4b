// A relay that stays silent, answers late, garbled or with an exception, or vanishes: each read
// must fail within the timeout, and the next one must get its own words.
#include "tests/device/sim_link_fixture.h"

#include <thread>

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

TEST_F(DeviceLinkFault, CorruptedFrameCrc) {
    start({"--corrupt-request", "2"});
    expect_words(1024, 1);
    expect_failure(2000, 10);
    expect_words(2000, 10);
    expect_words(2010, 8);
}

TEST_F(DeviceLinkFault, ExceptionReply) {
    start({"--exception-request", "1", "--exception-request", "3"});
    expect_failure(2000, 10);
    expect_words(2000, 10);
    expect_failure(1024, 1);
    expect_words(1024, 1);
}

TEST_F(DeviceLinkFault, LateReplyIsNotTakenForTheNextOne) {
    start({"--late-request", "2", "--late-ms", "700"});
    expect_words(1024, 1);
    expect_failure(2000, 10);
    // Let the late reply land in the input before the next request goes out.
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    expect_words(3001, 7);
    expect_words(2000, 10);
}

TEST_F(DeviceLinkFault, ReplyFromAnotherSlave) {
    start({"--wrong-address-request", "2"});
    expect_words(1024, 1);
    expect_failure(2000, 10);
    expect_words(2000, 10);
}

TEST_F(DeviceLinkFault, TruncatedReply) {
    start({"--truncate-request", "1", "--truncate-request", "3"});
    expect_failure(1024, 1);
    expect_words(1024, 1);
    expect_failure(2000, 10);
    expect_words(2010, 8);
}

TEST_F(DeviceLinkFault, NoiseBeforeTheReply) {
    start({"--noise-request", "2"});
    expect_words(1024, 1);
    expect_failure(2000, 10);
    expect_words(2000, 10); // the rest of the spoilt reply is not taken for this one
}

TEST_F(DeviceLinkFault, ReplyForAnotherRegisterCount) {
    start({"--extra-word-request", "1", "--missing-word-request", "2", "--missing-word-request",
           "3"});
    expect_failure(2000, 10);
    expect_failure(2000, 10);
    expect_failure(1024, 1); // no word at all
    expect_words(1024, 1);
    expect_words(2000, 10);
}

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
