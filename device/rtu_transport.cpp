#include "device/rtu_transport.h"

#include "device/baud_rates.h"
#include "device/line_input.h"
#include "device/port_error.h"

#include <array>
#include <cerrno>
#include <modbus/modbus.h>
#include <optional>
#include <utility>

namespace zklog::device {

namespace {

using Clock = OwedReplies::Clock;

// The request frame of a holding-register read, less the CRC libmodbus adds.
std::array<std::uint8_t, 6> read_request_frame(const ReadRequest& request) {
    return {static_cast<std::uint8_t>(request.address),
            MODBUS_FC_READ_HOLDING_REGISTERS,
            static_cast<std::uint8_t>(request.first_register >> 8),
            static_cast<std::uint8_t>(request.first_register & 0xFF),
            static_cast<std::uint8_t>(request.count >> 8),
            static_cast<std::uint8_t>(request.count & 0xFF)};
}

std::uint32_t whole_seconds(std::chrono::microseconds us) {
    return static_cast<std::uint32_t>(us.count() / 1'000'000);
}

std::uint32_t microseconds_part(std::chrono::microseconds us) {
    return static_cast<std::uint32_t>(us.count() % 1'000'000);
}

// How long a read request, 8 bytes with its CRC, takes on the line: each byte a start bit, its
// data bits, a parity bit unless there is none, and its stop bits.
std::chrono::microseconds request_line_time(const SerialSettings& settings) {
    const int bits = 1 + settings.data_bits + (settings.parity == 'N' ? 0 : 1) + settings.stop_bits;
    return std::chrono::microseconds(8LL * bits * 1'000'000 / settings.baud);
}

} // namespace

std::unique_ptr<RtuTransport> RtuTransport::make(const SerialSettings& settings,
                                                 const std::filesystem::path& device) {
    // libmodbus falls back to 9600 baud for a rate the line cannot run, without a word.
    if (!is_standard_baud(settings.baud)) {
        return nullptr;
    }
    modbus_t* ctx = modbus_new_rtu(device.string().c_str(), settings.baud, settings.parity,
                                   settings.data_bits, settings.stop_bits);
    if (ctx == nullptr) {
        return nullptr;
    }
    const std::chrono::microseconds response_timeout = settings.response_timeout;
    modbus_set_response_timeout(ctx, whole_seconds(response_timeout),
                                microseconds_part(response_timeout));
    modbus_set_byte_timeout(ctx, whole_seconds(settings.byte_timeout),
                            microseconds_part(settings.byte_timeout));
    return std::unique_ptr<RtuTransport>(new RtuTransport(settings, ctx, device));
}

RtuTransport::RtuTransport(const SerialSettings& settings, modbus_t* ctx,
                           std::filesystem::path device)
    : settings_(settings), request_line_time_(request_line_time(settings)), ctx_(ctx),
      device_(std::move(device)),
      owed_(settings.response_timeout, settings.await_late_replies
                                           ? Clock::duration(settings.response_timeout)
                                           : Clock::duration::zero()) {}

RtuTransport::~RtuTransport() {
    modbus_free(ctx_);
}

bool RtuTransport::connect() {
    if (!claim_.lock(device_)) {
        return false;
    }
    if (modbus_connect(ctx_) == -1) {
        claim_.abandon();
        return false;
    }
    claim_.hold(modbus_get_socket(ctx_));
    owed_.clear();
    return true;
}

void RtuTransport::close() {
    claim_.release();
    modbus_close(ctx_);
}

// Closed at once, not at the next read: a USB serial driver keeps the device name of a pulled
// adapter taken while it is held open, and the replugged one would get another.
void RtuTransport::lose() {
    claim_.abandon();
    modbus_close(ctx_);
}

// What is left of the spoilt reply would spoil the next one too, or, kept in the input for a
// retry after a timeout (see OwedReplies), be taken for its answer. A reply that stopped
// mid-frame has just left the line quiet for a byte timeout already.
void RtuTransport::discard_spoilt_reply(int error) {
    if (error != ETIMEDOUT) {
        wait_for_quiet_line();
    }
}

// One request and its reply. The request goes out through libmodbus, which frames it; the link
// then watches for the reply's first byte itself, since libmodbus's own timeout cannot tell a
// silent relay from a reply that stopped mid-frame.
ReplyVerdict RtuTransport::exchange(const ReadRequest& request, std::span<std::uint16_t> words,
                                    std::function<void()>& while_reply_travels) {
    if (modbus_set_slave(ctx_, static_cast<int>(request.address)) == -1) {
        return {EINVAL, false};
    }
    const bool was_owed = owed_.owed() > 0;
    auto before = owed_.before(request, Clock::now());
    if (before == OwedReplies::Before::AwaitOwed) {
        await_owed_replies();
        before = OwedReplies::Before::Send;
    }
    const bool input_kept = before == OwedReplies::Before::SendKeepingInput;
    if (was_owed && !input_kept) {
        // An owed reply that began just before its deadline may still be on its way.
        wait_for_quiet_line();
    } else if (!input_kept && input_waiting(ctx_)) {
        // Leftovers of an earlier frame (a reply given twice, noise) would be taken for the
        // start of this request's reply.
        modbus_flush(ctx_);
    }
    if (while_reply_travels && !replies_outlast_requests_) {
        // Where replies come sooner than a request could cross the line (a simulator, a
        // virtual port), there is no wait to fill: the task runs at once.
        std::exchange(while_reply_travels, nullptr)();
    }
    const auto frame = read_request_frame(request);
    auto sent = Clock::now();
    const auto request_sent = sent;
    clear_failure_cause();
    if (modbus_send_raw_request(ctx_, frame.data(), static_cast<int>(frame.size())) == -1) {
        return {failure_cause(), false};
    }
    if (while_reply_travels) {
        // The request gets on its way first. The kernel needs the CPU to hand it on (to the
        // other side, on a pty), which a busy task would hold up; and no reply can begin before
        // the request has left the line.
        await_first_byte(ctx_, request_line_time_);
        run_while_reply_travels(while_reply_travels, request, sent);
        // From here on the reply is waited for, and owed, as if the request had just gone out:
        // a slow task does not eat into the relay's response time, and a reply to it can come
        // no later than that.
        sent = Clock::now();
    }
    const FirstByte first_byte = await_first_byte(ctx_, settings_.response_timeout);
    if (first_byte == FirstByte::Silent) {
        owed_.unanswered(request, sent);
        return {ETIMEDOUT, false};
    }
    const auto first_byte_at = first_byte == FirstByte::Arrived
                                   ? std::optional<Clock::time_point>(Clock::now())
                                   : std::nullopt;
    std::array<std::uint8_t, MODBUS_RTU_MAX_ADU_LENGTH> reply{};
    clear_failure_cause();
    const int length = modbus_receive_confirmation(ctx_, reply.data());
    const int error = length == -1 ? failure_cause() : 0;
    // Where the line cannot be watched, the whole reply's time stands for its first byte's.
    replies_outlast_requests_ =
        (first_byte_at.value_or(Clock::now()) - request_sent) >= request_line_time_;
    // Where the line cannot be watched, only a timeout before the whole response timeout has
    // passed is known to be a reply that stopped.
    if (error == ETIMEDOUT && first_byte == FirstByte::Unknown &&
        Clock::now() - sent >= settings_.response_timeout) {
        owed_.unanswered(request, sent);
        return {ETIMEDOUT, false};
    }
    if (input_kept) {
        owed_.reply_came_while_owed(request, sent);
    }
    // A reply that began and stopped is one the line spoilt, like a bad CRC.
    const ReplyVerdict verdict =
        length == -1
            ? ReplyVerdict{error, error == ETIMEDOUT || reply_was_garbled(error)}
            : check_read_reply(request, std::span(reply).first(static_cast<std::size_t>(length)),
                               words);
    // A frame that does not answer the request may not have been its reply at all (the rest
    // of one given twice, a late one): its own may still come.
    if (verdict.garbled && !input_kept) {
        owed_.unanswered(request, sent);
    }
    return verdict;
}

void RtuTransport::run_while_reply_travels(std::function<void()>& task, const ReadRequest& request,
                                           OwedReplies::Clock::time_point sent) {
    const auto run = std::exchange(task, nullptr);
    try {
        run();
    } catch (...) {
        // The read ends here, but the relay's reply is on its way all the same.
        owed_.unanswered(request, sent);
        throw;
    }
}

// Lets every owed reply go by before a request for something else goes out, dropping whatever
// comes. Only the last deadline says that nothing more can come: a frame counted as one owed
// reply may have been another, or the same reply given twice.
void RtuTransport::await_owed_replies() {
    const auto until = owed_.last_deadline();
    for (auto now = Clock::now(); now < until; now = Clock::now()) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - now);
        if (await_first_byte(ctx_, left) == FirstByte::Silent) {
            break;
        }
        drain_until_quiet(ctx_, settings_.byte_timeout, until);
    }
    owed_.clear();
}

// What is left of a spoilt or unwanted reply would spoil the next one too. Bounded, so that a
// line that never falls quiet still lets the next request be tried.
void RtuTransport::wait_for_quiet_line() {
    drain_until_quiet(ctx_, settings_.byte_timeout, Clock::now() + 2 * settings_.response_timeout);
}

} // namespace zklog::device
