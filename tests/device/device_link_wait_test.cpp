// The link's waits on the line, each against what would end it too soon or too late: work run
// while a reply travels, signals arriving during the waits, and a port that hangs up just after
// a spoilt reply.
#include "tests/device/sim_link_fixture.h"

#include <chrono>
#include <csignal>
#include <string>
#include <sys/time.h>
#include <thread>

namespace zklog::test {
namespace {

using namespace std::chrono_literals;
using device::DeviceLink;

using DeviceLinkWaits = SimLinkTest;

// A reply owed after a timeout is owed from when its wait began, which is after the work run
// while the request travelled (the download saving the previous row). The relay answers every
// request 300 ms after it came, and the first one 950 ms later still: 1250 ms after it was sent.
// The link gave up on it at 600 + 500 ms; it owes that reply until 600 ms + two response
// timeouts, and the next read, of the same size elsewhere, must let it pass. Counted from the
// request instead, the debt ends at 1000 ms, and the late reply lands while the next read waits
// for its own (due at about 1400 ms).
TEST_F(DeviceLinkWaits, AReplyOwedAfterSlowWorkIsNotTakenByTheNextRead) {
    start({"--turnaround-ms", "300", "--late-request", "1", "--late-ms", "950"});
    link_.while_next_reply_travels([] { std::this_thread::sleep_for(600ms); });
    expect_failure(2000, 10);
    expect_words(3000, 10);
    expect_words(3010, 10);
}

// SIGALRM from an interval timer, installed without SA_RESTART as a program's own timer may be:
// every wait it interrupts must go on to its deadline.
class IntervalTimer {
public:
    explicit IntervalTimer(std::chrono::microseconds every) {
        struct sigaction action {};
        action.sa_handler = [](int) {};
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;
        sigaction(SIGALRM, &action, &previous_);
        const timeval interval{0, static_cast<suseconds_t>(every.count())};
        const itimerval timer{interval, interval};
        setitimer(ITIMER_REAL, &timer, nullptr);
    }
    ~IntervalTimer() {
        const itimerval off{};
        setitimer(ITIMER_REAL, &off, nullptr);
        sigaction(SIGALRM, &previous_, nullptr);
    }
    IntervalTimer(const IntervalTimer&) = delete;
    IntervalTimer& operator=(const IntervalTimer&) = delete;

private:
    struct sigaction previous_ {};
};

// Signals every 7 ms through a reply that takes 200 ms, then through the wait for a reply owed
// after a timeout: the second request's reply comes 600 ms after it, past its 500 ms. A reply
// wait cut short reads as silence; an owed-reply wait cut short sends the next read while the
// late reply is still to come, and it would take that reply's words.
TEST_F(DeviceLinkWaits, SignalsDoNotCutTheWaitsShort) {
    start({"--turnaround-ms", "200", "--late-request", "2", "--late-ms", "400"});
    const IntervalTimer timer(std::chrono::milliseconds(7));
    expect_words(2000, 10);
    expect_failure(2100, 10);
    for (std::uint32_t first = 3000; first < 3040; first += 10) {
        expect_words(first, 10);
    }
}

// The port hangs up right after a reply with a broken CRC: the wait for the line to fall quiet
// ends at the hang-up, and the read fails at once instead of draining a closed port until its
// bound (two response timeouts).
TEST_F(DeviceLinkWaits, APortHungUpJustAfterASpoiltReplyFailsAtOnce) {
    start({"--corrupt-request", "2", "--hangup-after", "2"});
    expect_words(1024, 1);
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_NE(link_.modbus_rd(1, 2000, 10), DeviceLink::kReadOk);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 400ms);
    EXPECT_TRUE(link_.port_lost());
}

} // namespace
} // namespace zklog::test
