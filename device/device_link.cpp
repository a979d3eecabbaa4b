#include "device/device_link.h"

#include "device/baud_rates.h"
#include "device/line_input.h"
#include "device/port_error.h"
#include "device/port_path.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <modbus/modbus.h>

namespace zklog::device {

namespace {

using Clock = LateReplyWindow::Clock;

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

// A reply that the line spoilt: a wrong frame CRC, a frame that does not fit the request (noise
// ahead of a reply shifts its bytes), a corrupted address byte. A valid exception reply is the
// relay's answer, and silence is the relay's too: neither is asked again.
bool reply_was_garbled(int error) {
    return error == EMBBADCRC || error == EMBBADDATA || error == EMBBADSLAVE || error == EMBMDATA;
}

std::uint32_t whole_seconds(std::chrono::milliseconds ms) {
    return static_cast<std::uint32_t>(ms.count() / 1000);
}

std::uint32_t microseconds_part(std::chrono::milliseconds ms) {
    return static_cast<std::uint32_t>((ms.count() % 1000) * 1000);
}

void set_response_timeout(modbus_t* ctx, std::chrono::milliseconds timeout) {
    modbus_set_response_timeout(ctx, whole_seconds(timeout), microseconds_part(timeout));
}

} // namespace

DeviceLink::DeviceLink(SerialSettings settings)
    : settings_(settings), late_replies_(settings.response_timeout, settings.late_reply_window) {}

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
    late_replies_.settled();
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
                                    std::uint32_t count) {
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
    auto before = late_replies_.before(request, Clock::now());
    if (before == LateReplyWindow::Before::AwaitLateReply) {
        await_late_reply();
        before = LateReplyWindow::Before::Send;
    }
    for (int attempt = 0;; ++attempt) {
        const ReadOutcome outcome = read_once(request, before);
        last_error_ = outcome.error;
        if (outcome.error == 0) {
            word_count_ = count;
            return kReadOk;
        }
        if (port_is_gone(outcome.error)) {
            lose_port();
            return kReadFailed;
        }
        if (!outcome.garbled || attempt >= kGarbledRetries) {
            return kReadFailed;
        }
        // What is left of the spoilt reply would spoil the next one too.
        wait_for_quiet_line();
        before = LateReplyWindow::Before::Send;
    }
}

DeviceLink::ReadOutcome DeviceLink::read_once(const ReadRequest& request,
                                              LateReplyWindow::Before before) {
    // A reply that came after an earlier request had timed out still waits in the input; left
    // there, it would be taken as the answer to this request. Drop it before asking, unless it
    // answers this very request (see LateReplyWindow).
    if (before == LateReplyWindow::Before::Send) {
        modbus_flush(ctx_);
    }
    const auto sent = Clock::now();
    clear_failure_cause();
    const int got = modbus_read_registers(ctx_, static_cast<int>(request.first_register),
                                          static_cast<int>(request.count), words_.data());
    if (got == static_cast<int>(request.count)) {
        late_replies_.answered(sent);
        return {0, false};
    }
    const int error = got == -1 ? failure_cause() : EMBBADDATA;
    if (error != ETIMEDOUT) {
        return {error, reply_was_garbled(error)};
    }
    // libmodbus says ETIMEDOUT both for silence and for a reply that stopped mid-frame (its
    // byte timeout); only the first takes the whole response timeout.
    const bool cut_short = Clock::now() - sent < settings_.response_timeout;
    if (!cut_short) {
        late_replies_.timed_out(request, sent);
    }
    return {error, cut_short};
}

// Waits for the one reply a timed-out request may still get, so that it passes before another
// request goes out; whatever it is, it is dropped.
void DeviceLink::await_late_reply() {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(late_replies_.deadline() - Clock::now());
    if (left.count() > 0) {
        std::array<std::uint8_t, MODBUS_RTU_MAX_ADU_LENGTH> frame{};
        set_response_timeout(ctx_, left);
        (void)modbus_receive_confirmation(ctx_, frame.data());
        set_response_timeout(ctx_, settings_.response_timeout);
        wait_for_quiet_line();
    }
    late_replies_.settled();
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
