#include "device/device_link.h"

#include "device/baud_rates.h"
#include "device/line_input.h"
#include "device/port_error.h"
#include "device/port_path.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <modbus/modbus.h>
#include <optional>
#include <utility>

namespace zklog::device {

namespace {

using Clock = OwedReplies::Clock;

// The highest register plus one: a read may not run past register 65535, since the request
// frame carries the start address in 16 bits and a larger one would silently wrap around.
constexpr std::uint32_t kRegisterSpace = 0x10000;

// What libmodbus reports when the device file itself is gone rather than the relay silent or
// garbled. A tty whose adapter was pulled, or a pty whose other side closed, is hung up for
// good: read() returns 0 (libmodbus turns that into ECONNRESET) and write() fails with EIO, and
// no reply will ever come through that descriptor again. ENXIO and ENODEV come from drivers
// whose device is being removed, EBADF from a descriptor that is no longer there.
bool port_is_gone(int error) {
    return error == ECONNRESET || error == EIO || error == ENXIO || error == ENODEV ||
           error == EBADF;
}

// Of what libmodbus reports while receiving a frame, what the line spoilt: a wrong frame CRC,
// a frame too long for any reply. Asked again.
bool reply_was_garbled(int error) {
    return error == EMBBADCRC || error == EMBBADDATA || error == EMBMDATA;
}

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

void set_response_timeout(modbus_t* ctx, std::chrono::milliseconds timeout) {
    modbus_set_response_timeout(ctx, whole_seconds(timeout), microseconds_part(timeout));
}

// How long a read request, 8 bytes with its CRC, takes on the line: each byte a start bit, its
// data bits, a parity bit unless there is none, and its stop bits.
std::chrono::microseconds request_line_time(const SerialSettings& settings) {
    const int bits = 1 + settings.data_bits + (settings.parity == 'N' ? 0 : 1) + settings.stop_bits;
    return std::chrono::microseconds(8LL * bits * 1'000'000 / settings.baud);
}

} // namespace

DeviceLink::DeviceLink(SerialSettings settings)
    : settings_(settings),
      owed_(settings.response_timeout, settings.await_late_replies
                                           ? OwedReplies::Clock::duration(settings.response_timeout)
                                           : OwedReplies::Clock::duration::zero()) {}

DeviceLink::~DeviceLink() {
    close_comm();
}

std::int32_t DeviceLink::open_comm(std::int32_t port) {
    close_comm();
    auto path = com_port_path(port, executable_dir());
    if (!path) {
        return kNoSuchPort;
    }
    return open_path(*path);
}

std::int32_t DeviceLink::open_path(const std::filesystem::path& device) {
    close_comm();
    // libmodbus falls back to 9600 baud for a rate the line cannot run, without a word.
    if (!is_standard_baud(settings_.baud)) {
        return kOpenFailed;
    }
    modbus_t* ctx = modbus_new_rtu(device.string().c_str(), settings_.baud, settings_.parity,
                                   settings_.data_bits, settings_.stop_bits);
    if (ctx == nullptr) {
        return kOpenFailed;
    }
    set_response_timeout(ctx, settings_.response_timeout);
    request_line_time_ = request_line_time(settings_);
    modbus_set_byte_timeout(ctx, whole_seconds(settings_.byte_timeout),
                            microseconds_part(settings_.byte_timeout));
    ctx_ = ctx;
    device_ = device;
    if (!connect()) {
        modbus_free(ctx_);
        ctx_ = nullptr;
        return kOpenFailed;
    }
    return kOpenOk;
}

bool DeviceLink::connect() {
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

// The port is opened once per program run, so without this a pulled and replugged adapter (or
// a relay restarted behind a COM link) would need the program restarted. The context still
// holds the device path it was made with; connecting it again opens that same path, which
// finds the adapter again once it is back under the same name.
bool DeviceLink::reopen_lost_port() {
    if (!connect()) {
        return false;
    }
    port_lost_ = false;
    return true;
}

// Closed at once, not at the next read: a USB serial driver keeps the device name of a pulled
// adapter taken while it is held open, and the replugged one would get another.
void DeviceLink::lose_port() {
    claim_.abandon();
    modbus_close(ctx_);
    port_lost_ = true;
}

std::int32_t DeviceLink::close_comm() {
    word_count_ = 0;
    if (ctx_ == nullptr) {
        return 0;
    }
    if (!port_lost_) {
        claim_.release();
        modbus_close(ctx_);
    }
    port_lost_ = false;
    modbus_free(ctx_);
    ctx_ = nullptr;
    return 1;
}

std::uint32_t DeviceLink::modbus_rd(std::uint32_t address, std::uint32_t first_register,
                                    std::uint32_t count, OnSilence on_silence) {
    word_count_ = 0;
    last_error_ = EINVAL;
    if (ctx_ == nullptr || count == 0 || count > kMaxWords || first_register >= kRegisterSpace ||
        count > kRegisterSpace - first_register || address > 247) {
        return kReadFailed;
    }
    if (port_lost_ && !reopen_lost_port()) {
        last_error_ = ENODEV;
        return kReadFailed;
    }
    if (modbus_set_slave(ctx_, static_cast<int>(address)) == -1) {
        return kReadFailed;
    }
    const ReadRequest request{address, first_register, count};
    for (int attempt = 0;; ++attempt) {
        const ReplyVerdict verdict = exchange(request);
        last_error_ = verdict.error;
        if (verdict.error == 0) {
            word_count_ = count;
            return kReadOk;
        }
        if (port_is_gone(verdict.error)) {
            lose_port();
            return kReadFailed;
        }
        if (!verdict.garbled) {
            // The retry goes out at once, keeping the input: a reply to the silent request that
            // comes late answers it as well as its own would (see OwedReplies).
            const bool ask_again = verdict.error == ETIMEDOUT &&
                                   on_silence == OnSilence::AskAgain && attempt < kSilenceRetries;
            if (ask_again) {
                continue;
            }
            return kReadFailed;
        }
        // What is left of the spoilt reply would spoil the next one too, or, kept in the input
        // for a retry after a timeout (see OwedReplies), be taken for its answer. A reply that
        // stopped mid-frame has just left the line quiet for a byte timeout already.
        if (verdict.error != ETIMEDOUT) {
            wait_for_quiet_line();
        }
        if (attempt >= kGarbledRetries) {
            return kReadFailed;
        }
    }
}

// One request and its reply. The request goes out through libmodbus, which frames it; the link
// then watches for the reply's first byte itself, since libmodbus's own timeout cannot tell a
// silent relay from a reply that stopped mid-frame.
ReplyVerdict DeviceLink::exchange(const ReadRequest& request) {
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
    if (while_reply_travels_ && !replies_outlast_requests_) {
        // Where replies come sooner than a request could cross the line (a simulator, a
        // virtual port), there is no wait to fill: the task runs at once.
        std::exchange(while_reply_travels_, nullptr)();
    }
    const auto frame = read_request_frame(request);
    auto sent = Clock::now();
    const auto request_sent = sent;
    clear_failure_cause();
    if (modbus_send_raw_request(ctx_, frame.data(), static_cast<int>(frame.size())) == -1) {
        return {failure_cause(), false};
    }
    if (while_reply_travels_) {
        // The request gets on its way first. The kernel needs the CPU to hand it on (to the
        // other side, on a pty), which a busy task would hold up; and no reply can begin before
        // the request has left the line.
        await_first_byte(ctx_, request_line_time_);
        run_while_reply_travels(request, sent);
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
                               words_);
    // A frame that does not answer the request may not have been its reply at all (the rest
    // of one given twice, a late one): its own may still come.
    if (verdict.garbled && !input_kept) {
        owed_.unanswered(request, sent);
    }
    return verdict;
}

void DeviceLink::run_while_reply_travels(const ReadRequest& request,
                                         OwedReplies::Clock::time_point sent) {
    const auto task = std::exchange(while_reply_travels_, nullptr);
    try {
        task();
    } catch (...) {
        // The read ends here, but the relay's reply is on its way all the same.
        owed_.unanswered(request, sent);
        throw;
    }
}

// Lets every owed reply go by before a request for something else goes out, dropping whatever
// comes. Only the last deadline says that nothing more can come: a frame counted as one owed
// reply may have been another, or the same reply given twice.
void DeviceLink::await_owed_replies() {
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
void DeviceLink::wait_for_quiet_line() {
    drain_until_quiet(ctx_, settings_.byte_timeout, Clock::now() + 2 * settings_.response_timeout);
}

std::uint32_t DeviceLink::modbus_var(std::uint32_t index) const {
    return index < word_count_ ? words_[index] : 0u;
}

} // namespace zklog::device
