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
// timed out owes a reply until its own deadline: its send time, plus the response timeout, plus
// the late window. The relay answers one request after the other, so owed replies come in the
// order of their requests.
// - A request of the same shape as every owed reply (a retry) is sent at once, keeping the
//   input: whichever reply comes first answers it, since all carry the same words. The reply it
//   took is counted as the oldest owed one; the retry itself now owes its own.
// - Any other request first waits until each owed reply has come and been dropped, or its
//   deadline has passed.
// Counting a reply against the oldest owed one when it may have been another's only ever makes
// the link wait longer, never take a reply for a request it does not answer. With nothing owed
// (a healthy line) the link never waits.
class OwedReplies {
public:
    using Clock = std::chrono::steady_clock;

    enum class Before {
        Send,             // nothing is owed: drop whatever input there is, and ask
        SendKeepingInput, // every owed reply would answer this request too: keep them, and ask
        AwaitOwed,        // wait for the oldest owed reply until next_deadline(), then ask again
    };

    OwedReplies(Clock::duration response_timeout, Clock::duration late_window)
        : response_timeout_(response_timeout), late_window_(late_window) {}

    // What to do before sending `request` at `now`; forgets replies whose deadline has passed.
    Before before(const ReadRequest& request, Clock::time_point now);
    // Forgets replies whose deadline has passed at `now`; true when one is still owed.
    bool any_owed(Clock::time_point now);
    // The deadline of the oldest owed reply (only while one is owed).
    Clock::time_point next_deadline() const { return owed_.front().deadline; }
    std::size_t owed() const { return owed_.size(); }

    // The request sent at `sent` got no reply within the response timeout.
    void timed_out(const ReadRequest& request, Clock::time_point sent);
    // A reply (or part of one) came for the request sent at `sent` with the input kept.
    void reply_came_while_owed(const ReadRequest& request, Clock::time_point sent);
    // The oldest owed reply came and was dropped, or its deadline passed.
    void oldest_settled();
    // Nothing can come any more (the port was opened anew).
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
