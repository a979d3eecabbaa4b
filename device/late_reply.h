// Replies the relay may still send for requests the link has given up on.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>

namespace zklog::device {

// One holding-register read as it goes on the line. Two requests of the same shape ask for
// the same words, so the reply to either answers both.
struct ReadRequest {
    std::uint32_t address = 0;
    std::uint32_t first_register = 0;
    std::uint32_t count = 0;
    bool operator==(const ReadRequest&) const = default;
};

// A relay busy writing its log may answer after the response timeout. RTU frames carry no
// transaction number, so such a late reply cannot be told from the answer to the request that
// follows, and one taken in its place gives that request the wrong words. So every request that
// got no reply answering it (silence, or a frame that does not fit it) owes one until its own
// deadline: its send time, plus the response timeout, plus the late window.
// - A request of the same shape as every owed reply (a retry) is sent at once, keeping the
//   input: whichever reply comes first answers it, since all carry the same words. The reply it
//   took is counted as the oldest owed one; the retry itself now owes its own.
// - Any other request first waits until the deadline of every owed reply has passed, dropping
//   whatever comes meanwhile.
// With nothing owed (a healthy line) the link never waits.
class OwedReplies {
public:
    using Clock = std::chrono::steady_clock;

    enum class Before {
        Send,             // nothing is owed: drop whatever input there is, and ask
        SendKeepingInput, // every owed reply would answer this request too: keep them, and ask
        AwaitOwed,        // let every owed reply pass (until last_deadline()), then ask
    };

    OwedReplies(Clock::duration response_timeout, Clock::duration late_window)
        : response_timeout_(response_timeout), late_window_(late_window) {}

    // What to do before sending `request` at `now`; forgets replies whose deadline has passed.
    Before before(const ReadRequest& request, Clock::time_point now);
    // Forgets replies whose deadline has passed at `now`; true when one is still owed.
    bool any_owed(Clock::time_point now);
    // The deadline of the youngest owed reply (only while one is owed).
    Clock::time_point last_deadline() const { return owed_.back().deadline; }
    std::size_t owed() const { return owed_.size(); }

    // The request sent at `sent` got no reply that answers it.
    void unanswered(const ReadRequest& request, Clock::time_point sent);
    // A reply (or part of one) came for the request sent at `sent` with the input kept.
    void reply_came_while_owed(const ReadRequest& request, Clock::time_point sent);
    // Nothing more can come (every deadline has passed, or the port was opened anew).
    void clear() { owed_.clear(); }

private:
    struct Owed {
        ReadRequest request;
        Clock::time_point deadline;
    };
    void owe(const ReadRequest& request, Clock::time_point sent);

    Clock::duration response_timeout_;
    Clock::duration late_window_;
    std::deque<Owed> owed_;
};

} // namespace zklog::device
