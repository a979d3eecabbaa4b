// Misbehaviour the simulated relay can be told to show, so tests can drive the client's error
// paths on demand. Requests are numbered from 1, counting only those addressed to us.
#pragma once

#include "sim/random_source.h"
#include "sim/relay_image.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <set>

namespace zklog::sim {

struct FaultPlan {
    int fail_pointer = 0;                      // first N reads starting at register 1024: silent
    std::set<std::uint32_t> silent_at;         // reads starting at these registers: silent
    std::optional<std::uint64_t> silent_after; // every request after this one: silent
    std::set<std::uint64_t> silent_requests;   // these requests: silent
    std::set<std::uint64_t> corrupt_requests;  // reply sent with a broken frame CRC
    std::set<std::uint64_t> late_requests;     // reply sent `late_delay` after it is due
    std::chrono::milliseconds late_delay{700};
    std::set<std::uint64_t> exception_requests; // illegal data address exception instead
    std::optional<std::uint64_t> hangup_after;  // the port goes away after this request
    std::set<std::uint32_t> bad_crc_records;    // records (walk order) with a wrong checksum
    // The reply as another slave would send it, with a CRC that fits.
    std::set<std::uint64_t> wrong_address_requests;
    std::set<std::uint64_t> truncated_requests; // only the first part of the reply is sent
    std::set<std::uint64_t> noise_requests;     // line noise goes out just before the reply
    // A read reply carrying one register more, or one fewer, than asked, with a fitting CRC.
    // A request in both sets gets the extra register.
    std::set<std::uint64_t> extra_word_requests;
    std::set<std::uint64_t> missing_word_requests;
    // A seeded random line: each request has a `chaos_percent` chance of one fault, drawn from
    // the ChaosFault kinds. Late replies are up to `late_delay` late.
    std::optional<std::uint32_t> chaos_seed;
    int chaos_percent = 10;
};

// What a bad line and a busy relay do to a reply, one of them at a time.
enum class ChaosFault { Late, Twice, Noise, Corrupt, CutShort, Silent };

struct ReplyDecision {
    bool answer = true;
    bool exception = false;
    bool corrupt = false;
    std::chrono::milliseconds extra_delay{0};
    bool hang_up = false; // close the port once this request is dealt with
    bool wrong_address = false;
    bool truncated = false;
    bool noise_before = false;
    int word_delta = 0; // registers more (or, negative, fewer) than asked
    bool twice = false; // the reply goes out again right behind itself
};

// Decides, request by request, what the plan asks for. Keeps the count of pointer reads.
class FaultState {
public:
    explicit FaultState(FaultPlan plan);

    ReplyDecision decide(std::uint64_t request, int function, std::uint32_t first_register);

private:
    void add_chaos(ReplyDecision& decision);

    FaultPlan plan_;
    int pointer_reads_failed_ = 0;
    std::optional<RandomSource> chaos_;
};

// Gives the listed records (0-based, in walk order from 2000 up to 18120) a wrong checksum
// word. Returns how many of them existed.
std::size_t spoil_checksums(RelayImage& image, const std::set<std::uint32_t>& records);

} // namespace zklog::sim
