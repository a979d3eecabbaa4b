#include "sim/rtu_server.h"

#include "sim/frame_faults.h"
#include "sim/raw_frame.h"
#include "sim/register_map.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <modbus/modbus.h>
#include <poll.h>
#include <stdexcept>
#include <system_error>
#include <unistd.h>

namespace zklog::sim {

RtuServer::RtuServer(const RelayImage& image, ServerOptions options)
    : options_(std::move(options)), faults_(options_.faults) {
    mapping_ = register_map_of(image);
    serving_ = mapping_;
    if (pipe2(capture_.data(), O_CLOEXEC | O_NONBLOCK) != 0 ||
        pipe2(feed_.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
        modbus_mapping_free(mapping_);
        throw std::system_error(errno, std::generic_category(), "pipe");
    }
    for (const auto& [address, other_image] : options_.other_relays) {
        other_mappings_[address] = register_map_of(other_image);
    }
    reset_context();
    if (options_.trace) {
        trace_ = std::make_unique<TraceWriter>(*options_.trace);
    }
}

RtuServer::~RtuServer() {
    // The fd belongs to the pty, not to libmodbus: modbus_close would close it behind our back.
    if (ctx_ != nullptr) {
        modbus_free(ctx_);
    }
    modbus_mapping_free(mapping_);
    for (auto& [address, other] : other_mappings_) {
        modbus_mapping_free(other);
    }
    ::close(capture_[0]);
    ::close(capture_[1]);
    ::close(feed_[0]);
    ::close(feed_[1]);
}

// With several relays on the line the frame is read here first, its slave address picks the
// relay, and libmodbus parses it from a pipe with its context set to that slave. Frames for no
// relay of ours stay unanswered, as on a real bus.
int RtuServer::receive_on_shared_line(std::uint8_t* request) {
    const auto frame = read_frame(pty_.master());
    if (frame.size() < 4) {
        return -1;
    }
    const int slave = frame[0];
    const auto other = other_mappings_.find(slave);
    if (slave != options_.address && other == other_mappings_.end()) {
        return -1;
    }
    serving_ = slave == options_.address ? mapping_ : other->second;
    if (write(feed_[1], frame.data(), frame.size()) != static_cast<ssize_t>(frame.size())) {
        return -1;
    }
    modbus_set_socket(ctx_, feed_[0]);
    modbus_set_slave(ctx_, slave);
    const int length = modbus_receive(ctx_, request);
    modbus_set_socket(ctx_, pty_.master());
    modbus_set_slave(ctx_, options_.address);
    std::array<std::uint8_t, 512> rest{};
    while (read(feed_[0], rest.data(), rest.size()) > 0) {
    }
    return length;
}

// libmodbus takes a request for another slave as a sign that the next frame on the line is
// that slave's reply, and swallows it. On this line there is no other slave, so the next frame
// is a request for us: start again with a fresh context instead.
void RtuServer::reset_context() {
    if (ctx_ != nullptr) {
        modbus_free(ctx_);
    }
    // The device name is never opened: the pty is handed over as the socket.
    ctx_ = modbus_new_rtu("/dev/null", 9600, 'N', 8, 1);
    if (ctx_ == nullptr) {
        throw std::runtime_error("cannot create a Modbus RTU context");
    }
    modbus_set_socket(ctx_, pty_.master());
    if (modbus_set_slave(ctx_, options_.address) != 0) {
        throw std::runtime_error("invalid slave address " + std::to_string(options_.address));
    }
}

void RtuServer::run(int stop_fd) {
    for (;;) {
        std::optional<Clock::time_point> wake;
        if (!outgoing_.empty()) {
            wake = outgoing_.front().due;
        }
        if (hangup_check_ && (!wake || *hangup_check_ < *wake)) {
            wake = hangup_check_;
        }
        // Paced replies are due at sub-millisecond moments: a timeout rounded up to whole
        // milliseconds would make every reply late by up to one.
        timespec timeout{};
        if (wake) {
            const auto ns = std::max<std::int64_t>(
                0,
                std::chrono::duration_cast<std::chrono::nanoseconds>(*wake - Clock::now()).count());
            timeout.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
            timeout.tv_nsec = static_cast<long>(ns % 1'000'000'000);
        }
        // Once the port is about to go, later requests stay unread: they must get no answer.
        const bool listen = pty_.is_open() && !hangup_check_;
        std::array<pollfd, 2> fds = {{{stop_fd, POLLIN, 0}, {pty_.master(), POLLIN, 0}}};
        const int ready = ppoll(fds.data(), listen ? 2 : 1, wake ? &timeout : nullptr, nullptr);
        if (ready < 0 && errno != EINTR) {
            throw std::system_error(errno, std::generic_category(), "ppoll");
        }
        if (ready > 0 && (fds[0].revents & POLLIN)) {
            return;
        }
        send_due();
        hang_up_when_read();
        if (ready > 0 && listen && (fds[1].revents & POLLIN)) {
            handle_request();
        }
    }
}

// Closing the pty discards whatever the client has not read yet, so the last reply would be
// lost with it. Wait (a little) until the client has taken it in.
void RtuServer::hang_up_when_read() {
    if (!hangup_check_ || Clock::now() < *hangup_check_) {
        return;
    }
    if (pty_.unread_by_client() > 0 && Clock::now() < hangup_deadline_) {
        hangup_check_ = Clock::now() + std::chrono::milliseconds(10);
        return;
    }
    hangup_check_.reset();
    pty_.close();
    modbus_set_socket(ctx_, -1);
}

void RtuServer::handle_request() {
    std::array<std::uint8_t, MODBUS_RTU_MAX_ADU_LENGTH> request{};
    const auto received = Clock::now();
    serving_ = mapping_;
    const int length = other_mappings_.empty() ? modbus_receive(ctx_, request.data())
                                               : receive_on_shared_line(request.data());
    if (length == 0) {
        reset_context();
        return;
    }
    if (length < 0) {
        // A frame with a bad CRC or cut short: a real slave stays silent too.
        return;
    }
    const int offset = modbus_get_header_length(ctx_);
    const bool ours = serving_ == mapping_;
    TraceEntry entry;
    entry.request = ours ? ++requests_ : 0;
    entry.slave = request[0];
    entry.function = request[offset];
    if (length >= offset + 5) {
        entry.first_register =
            static_cast<std::uint32_t>((request[offset + 1] << 8) | request[offset + 2]);
        entry.count = static_cast<std::uint32_t>((request[offset + 3] << 8) | request[offset + 4]);
    }
    if (trace_) {
        trace_->write(entry);
    }

    const ReplyDecision decision =
        ours ? faults_.decide(entry.request, entry.function, entry.first_register)
             : ReplyDecision{};
    Outgoing out;
    out.hang_up = decision.hang_up;
    out.due = received;
    if (decision.answer) {
        const bool too_many = entry.function == 0x03 &&
                              entry.count > static_cast<std::uint32_t>(options_.max_registers);
        const int exception = decision.exception ? MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS
                              : too_many         ? MODBUS_EXCEPTION_ILLEGAL_DATA_VALUE
                                                 : 0;
        out.bytes = build_reply(request.data(), length, exception);
        if (out.bytes.empty() && !out.hang_up) {
            return;
        }
        if (!out.bytes.empty()) {
            spoil_reply(out.bytes, decision, entry);
        }
        out.due += wire_time(static_cast<std::size_t>(length), out.bytes.size()) +
                   options_.turnaround + decision.extra_delay;
    } else if (!out.hang_up) {
        return;
    }
    schedule(std::move(out));
    send_due();
}

// The faults that reshape a finished frame, in the order a line would stack them: what the
// slave sends (count, address, CRC), how much of it gets out, noise before it, then the
// whole of it once more right behind.
void RtuServer::spoil_reply(std::vector<std::uint8_t>& bytes, const ReplyDecision& decision,
                            const TraceEntry& request) const {
    // An exception reply (function code with its top bit set) carries no registers.
    if (decision.word_delta != 0 && (bytes[1] & 0x80) == 0) {
        const std::uint32_t next = request.first_register + request.count;
        const std::uint16_t next_word =
            next < RelayImage::kRegisters ? serving_->tab_registers[next] : 0;
        change_word_count(bytes, decision.word_delta, next_word);
    }
    if (decision.wrong_address) {
        from_other_slave(bytes);
    }
    if (decision.corrupt) {
        bytes.back() ^= 0xFF;
    }
    if (decision.truncated) {
        cut_short(bytes);
    }
    if (decision.noise_before) {
        put_noise_before(bytes);
    }
    if (decision.twice) {
        const std::vector<std::uint8_t> copy = bytes;
        bytes.insert(bytes.end(), copy.begin(), copy.end());
    }
}

// libmodbus writes a reply with a plain write() on its socket. Pointing that socket at a pipe
// for one call hands us the finished frame, CRC and all, to send whenever and however we like.
std::vector<std::uint8_t> RtuServer::build_reply(const std::uint8_t* request, int length,
                                                 int exception) {
    modbus_set_socket(ctx_, capture_[1]);
    if (exception != 0) {
        modbus_reply_exception(ctx_, request, static_cast<unsigned int>(exception));
    } else {
        modbus_reply(ctx_, request, length, serving_);
    }
    modbus_set_socket(ctx_, pty_.master());

    return take_waiting_bytes(capture_[0]);
}

// 10 bits a character (start, 8 data, stop) for both frames, and the 3.5 characters of
// silence that end each of them.
RtuServer::Clock::duration RtuServer::wire_time(std::size_t request_bytes,
                                                std::size_t reply_bytes) const {
    if (options_.baud <= 0) {
        return Clock::duration::zero();
    }
    const double bits = 10.0 * static_cast<double>(request_bytes + reply_bytes) + 2 * 35.0;
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(bits / options_.baud));
}

void RtuServer::schedule(Outgoing out) {
    const auto at =
        std::upper_bound(outgoing_.begin(), outgoing_.end(), out.due,
                         [](Clock::time_point due, const Outgoing& o) { return due < o.due; });
    outgoing_.insert(at, std::move(out));
}

void RtuServer::send_due() {
    const auto now = Clock::now();
    while (!outgoing_.empty() && outgoing_.front().due <= now) {
        Outgoing out = std::move(outgoing_.front());
        outgoing_.erase(outgoing_.begin());
        if (pty_.is_open() && !out.bytes.empty()) {
            std::size_t done = 0;
            while (done < out.bytes.size()) {
                const ssize_t n =
                    write(pty_.master(), out.bytes.data() + done, out.bytes.size() - done);
                if (n < 0 && errno == EINTR) {
                    continue;
                }
                if (n <= 0) {
                    break;
                }
                done += static_cast<std::size_t>(n);
            }
        }
        if (out.hang_up && pty_.is_open()) {
            // The written bytes take a moment to reach the client's side of the pty.
            hangup_check_ = now + std::chrono::milliseconds(20);
            hangup_deadline_ = now + std::chrono::seconds(1);
        }
    }
}

} // namespace zklog::sim
