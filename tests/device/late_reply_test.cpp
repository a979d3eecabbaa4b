// Which replies a timed-out request still owes, and what the next request does about them.
#include "device/late_reply.h"

#include <gtest/gtest.h>

namespace zklog::device {
namespace {

using namespace std::chrono_literals;
using Before = OwedReplies::Before;

const ReadRequest kPointer{1, 1024, 1};
const ReadRequest kRecord{1, 2000, 10};
const OwedReplies::Clock::time_point t0{};

TEST(OwedReplies, OwedFromATimeoutUntilOneLateWindowPastTheResponseTimeout) {
    OwedReplies owed(500ms, 500ms);
    EXPECT_EQ(owed.before(kRecord, t0), Before::Send) << "a healthy line never waits";

    owed.unanswered(kPointer, t0);
    EXPECT_EQ(owed.before(kPointer, t0 + 500ms), Before::SendKeepingInput);
    EXPECT_EQ(owed.before(kRecord, t0 + 500ms), Before::AwaitOwed);
    EXPECT_EQ(owed.last_deadline(), t0 + 1000ms);
    EXPECT_EQ(owed.before(kRecord, t0 + 1000ms), Before::Send);
    EXPECT_EQ(owed.owed(), 0u);
}

// Both the pointer read and its retry answered late: the retry takes the first request's reply
// and still owes its own, which the next other request must let pass.
TEST(OwedReplies, RetryAnsweredByAnEarlierReplyStillOwesItsOwn) {
    OwedReplies owed(500ms, 500ms);
    owed.unanswered(kPointer, t0);
    owed.reply_came_while_owed(kPointer, t0 + 500ms);
    EXPECT_EQ(owed.owed(), 1u);
    EXPECT_EQ(owed.before(kRecord, t0 + 830ms), Before::AwaitOwed);
    EXPECT_EQ(owed.last_deadline(), t0 + 1500ms);

    // Two owed replies of different requests: the other request waits for the later one.
    owed.unanswered(kRecord, t0 + 600ms);
    EXPECT_EQ(owed.before(kPointer, t0 + 700ms), Before::AwaitOwed);
    EXPECT_EQ(owed.last_deadline(), t0 + 1600ms);
    EXPECT_TRUE(owed.any_owed(t0 + 1500ms)) << "the record read's reply is owed until 1600 ms";
    EXPECT_EQ(owed.before(kRecord, t0 + 1500ms), Before::SendKeepingInput);
    EXPECT_EQ(owed.before(kRecord, t0 + 1600ms), Before::Send);
}

TEST(OwedReplies, NoLateWindowOwesNothing) {
    OwedReplies owed(100ms, 0ms);
    owed.unanswered({7, 1024, 1}, t0);
    EXPECT_EQ(owed.before({8, 1024, 1}, t0 + 100ms), Before::Send);
}

} // namespace
} // namespace zklog::device
