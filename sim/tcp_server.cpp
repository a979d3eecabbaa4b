#include "sim/tcp_server.h"

#include "sim/raw_frame.h"
#include "sim/register_map.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <modbus/modbus.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>

namespace zklog::sim {

namespace {

// MBAP header: transaction (2), protocol (2), length of the rest (2), unit identifier (1).
constexpr std::size_t kLength = 4;
constexpr std::size_t kUnit = 6;
constexpr std::size_t kFunction = 7;
constexpr std::size_t kByteCount = 8;

void add_to_length(std::vector<std::uint8_t>& frame, int delta) {
    const int length = ((frame[kLength] << 8) | frame[kLength + 1]) + delta;
    frame[kLength] = static_cast<std::uint8_t>(length >> 8);
    frame[kLength + 1] = static_cast<std::uint8_t>(length & 0xFF);
}

} // namespace

TcpServer::TcpServer(const RelayImage& image, ServerOptions options, GatewayOptions gateway,
                     int port)
    : options_(std::move(options)), gateway_(std::move(gateway)), faults_(options_.faults) {
    mapping_ = register_map_of(image);
    for (const auto& [address, other_image] : options_.other_relays) {
        other_mappings_[address] = register_map_of(other_image);
    }
    // libmodbus writes a reply with send(): a socket pair, not a pipe, takes it.
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, capture_.data()) != 0) {
        throw std::system_error(errno, std::generic_category(), "socketpair");
    }
    ctx_ = modbus_new_tcp("127.0.0.1", port);
    if (ctx_ == nullptr) {
        throw std::runtime_error("cannot create a Modbus TCP context");
    }
    listener_ = modbus_tcp_listen(ctx_, 4);
    if (listener_ == -1) {
        throw std::system_error(errno, std::generic_category(),
                                "cannot listen on 127.0.0.1:" + std::to_string(port));
    }
    sockaddr_in bound{};
    socklen_t size = sizeof bound;
    if (getsockname(listener_, reinterpret_cast<sockaddr*>(&bound), &size) != 0) {
        throw std::system_error(errno, std::generic_category(), "getsockname");
    }
    port_ = ntohs(bound.sin_port);
    if (options_.trace) {
        trace_ = std::make_unique<TraceWriter>(*options_.trace);
    }
}

TcpServer::~TcpServer() {
    for (const int connection : connections_) {
        ::close(connection);
    }
    if (listener_ >= 0) {
        ::close(listener_);
    }
    if (ctx_ != nullptr) {
        modbus_set_socket(ctx_, -1);
        modbus_free(ctx_);
    }
    modbus_mapping_free(mapping_);
    for (auto& [address, other] : other_mappings_) {
        modbus_mapping_free(other);
    }
    ::close(capture_[0]);
    ::close(capture_[1]);
}

void TcpServer::run(int stop_fd) {
    for (;;) {
        // Paced replies are due at sub-millisecond moments: a timeout rounded up to whole
        // milliseconds would make every reply late by up to one.
        timespec timeout{};
        if (!outgoing_.empty()) {
            const auto ns =
                std::max<std::int64_t>(0, std::chrono::duration_cast<std::chrono::nanoseconds>(
                                              outgoing_.front().due - Clock::now())
                                              .count());
            timeout.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
            timeout.tv_nsec = static_cast<long>(ns % 1'000'000'000);
        }
        std::vector<pollfd> fds{{stop_fd, POLLIN, 0}, {listener_, POLLIN, 0}};
        for (const int connection : connections_) {
            fds.push_back({connection, POLLIN, 0});
        }
        const int ready =
            ppoll(fds.data(), fds.size(), outgoing_.empty() ? nullptr : &timeout, nullptr);
        if (ready < 0 && errno != EINTR) {
            throw std::system_error(errno, std::generic_category(), "ppoll");
        }
        if (ready > 0 && (fds[0].revents & POLLIN)) {
            return;
        }
        send_due();
        if (ready <= 0) {
            continue;
        }
        if (fds[1].revents & POLLIN) {
            accept_connection();
        }
        for (std::size_t i = 2; i < fds.size(); ++i) {
            if (fds[i].revents != 0 && std::find(connections_.begin(), connections_.end(),
                                                 fds[i].fd) != connections_.end()) {
                handle_request(fds[i].fd);
            }
        }
    }
}

void TcpServer::accept_connection() {
    int listener = listener_;
    const int connection = modbus_tcp_accept(ctx_, &listener);
    if (connection >= 0) {
        connections_.push_back(connection);
    }
}

void TcpServer::close_connection(int connection) {
    std::erase(connections_, connection);
    std::erase_if(outgoing_,
                  [connection](const Outgoing& o) { return o.connection == connection; });
    ::close(connection);
}

void TcpServer::handle_request(int connection) {
    std::array<std::uint8_t, MODBUS_TCP_MAX_ADU_LENGTH> request{};
    const auto received = Clock::now();
    modbus_set_socket(ctx_, connection);
    const int length = modbus_receive(ctx_, request.data());
    if (length <= 0) {
        // The client went away (or sent what is no Modbus request): its connection ends.
        close_connection(connection);
        return;
    }
    const int unit = request[kUnit];
    const auto other = other_mappings_.find(unit);
    const bool ours = unit == options_.address;
    _modbus_mapping_t* memory = ours                             ? mapping_
                                : other != other_mappings_.end() ? other->second
                                                                 : nullptr;
    TraceEntry entry;
    entry.request = ours ? ++requests_ : 0;
    entry.slave = unit;
    entry.function = request[kFunction];
    if (length >= static_cast<int>(kFunction) + 5) {
        entry.first_register =
            static_cast<std::uint32_t>((request[kFunction + 1] << 8) | request[kFunction + 2]);
        entry.count =
            static_cast<std::uint32_t>((request[kFunction + 3] << 8) | request[kFunction + 4]);
    }
    if (trace_) {
        trace_->write(entry);
    }

    Outgoing out;
    out.connection = connection;
    out.due = received + options_.turnaround;
    if (memory == nullptr) {
        if (!gateway_.enabled) {
            return;
        }
        out.bytes = build_reply(request.data(), length, nullptr, MODBUS_EXCEPTION_GATEWAY_TARGET);
        out.due = received + gateway_.no_relay_delay;
    } else if (ours && gateway_.path_unavailable_requests.contains(entry.request)) {
        out.bytes = build_reply(request.data(), length, nullptr, MODBUS_EXCEPTION_GATEWAY_PATH);
    } else {
        const ReplyDecision decision =
            ours ? faults_.decide(entry.request, entry.function, entry.first_register)
                 : ReplyDecision{};
        // TCP never cuts a frame short on its own: only a connection that drops does, and no
        // byte comes after. (A frame that stopped and then went on with another frame's bytes
        // would pass for a whole one: there is no CRC to tell.)
        out.hang_up = decision.hang_up || (decision.answer && decision.truncated);
        if (!decision.answer && gateway_.enabled) {
            // A gateway whose relay stays silent says so, once its own timeout has passed.
            out.bytes =
                build_reply(request.data(), length, nullptr, MODBUS_EXCEPTION_GATEWAY_TARGET);
            out.due = received + gateway_.no_relay_delay;
        } else if (decision.answer) {
            const bool too_many = entry.function == MODBUS_FC_READ_HOLDING_REGISTERS &&
                                  entry.count > static_cast<std::uint32_t>(options_.max_registers);
            const int exception = decision.exception ? MODBUS_EXCEPTION_ILLEGAL_DATA_ADDRESS
                                  : too_many         ? MODBUS_EXCEPTION_ILLEGAL_DATA_VALUE
                                                     : 0;
            out.bytes = build_reply(request.data(), length, memory, exception);
            if (!out.bytes.empty()) {
                spoil_reply(out.bytes, decision, entry, memory);
            }
            out.due += line_time(out.bytes.size()) + decision.extra_delay;
        }
        if (out.bytes.empty() && !out.hang_up) {
            return;
        }
    }
    const auto at =
        std::upper_bound(outgoing_.begin(), outgoing_.end(), out.due,
                         [](Clock::time_point due, const Outgoing& o) { return due < o.due; });
    outgoing_.insert(at, std::move(out));
    send_due();
}

// A gateway passes each request on to its RS-485 line and waits for the relay's reply there:
// the RTU frames' time at the line's rate (10 bits a byte, 3.5 characters of silence after each
// frame), the request 8 bytes, the reply the TCP one less its MBAP header, plus the address
// and the CRC. Nothing at rate 0.
TcpServer::Clock::duration TcpServer::line_time(std::size_t reply_bytes) const {
    if (options_.baud <= 0 || reply_bytes < kFunction) {
        return Clock::duration::zero();
    }
    const std::size_t rtu_reply = reply_bytes - kFunction + 3;
    const double bits = 10.0 * static_cast<double>(8 + rtu_reply) + 2 * 35.0;
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(bits / options_.baud));
}

// Pointing libmodbus's socket at one end of a socket pair for one call hands us the finished
// frame, MBAP header and all, to send whenever and however we like.
std::vector<std::uint8_t> TcpServer::build_reply(const std::uint8_t* request, int length,
                                                 _modbus_mapping_t* memory, int exception) {
    modbus_set_socket(ctx_, capture_[1]);
    if (exception != 0) {
        modbus_reply_exception(ctx_, request, static_cast<unsigned int>(exception));
    } else {
        modbus_reply(ctx_, request, length, memory);
    }
    return take_waiting_bytes(capture_[0]);
}

// The faults a gateway's reply can carry: registers more or fewer than asked, another unit's
// identifier, a frame that stops halfway (as its connection drops), the same frame twice.
void TcpServer::spoil_reply(std::vector<std::uint8_t>& bytes, const ReplyDecision& decision,
                            const TraceEntry& request, const _modbus_mapping_t* memory) const {
    const bool read_reply = bytes.size() > kByteCount && (bytes[kFunction] & 0x80) == 0;
    if (decision.word_delta > 0 && read_reply) {
        const std::uint32_t next = request.first_register + request.count;
        const std::uint16_t word = next < RelayImage::kRegisters ? memory->tab_registers[next] : 0;
        bytes.push_back(static_cast<std::uint8_t>(word >> 8));
        bytes.push_back(static_cast<std::uint8_t>(word & 0xFF));
        bytes[kByteCount] = static_cast<std::uint8_t>(bytes[kByteCount] + 2);
        add_to_length(bytes, 2);
    } else if (decision.word_delta < 0 && read_reply && bytes[kByteCount] >= 2) {
        bytes.resize(bytes.size() - 2);
        bytes[kByteCount] = static_cast<std::uint8_t>(bytes[kByteCount] - 2);
        add_to_length(bytes, -2);
    }
    if (decision.wrong_address) {
        bytes[kUnit] = static_cast<std::uint8_t>(bytes[kUnit] % 247 + 1);
    }
    if (decision.truncated) {
        bytes.resize(std::max<std::size_t>(1, bytes.size() / 2));
    }
    if (decision.twice) {
        const std::vector<std::uint8_t> copy = bytes;
        bytes.insert(bytes.end(), copy.begin(), copy.end());
    }
}

void TcpServer::send_due() {
    const auto now = Clock::now();
    while (!outgoing_.empty() && outgoing_.front().due <= now) {
        Outgoing out = std::move(outgoing_.front());
        outgoing_.erase(outgoing_.begin());
        std::size_t done = 0;
        while (done < out.bytes.size()) {
            const ssize_t n = send(out.connection, out.bytes.data() + done, out.bytes.size() - done,
                                   MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        if (out.hang_up) {
            close_connection(out.connection);
        }
    }
}

} // namespace zklog::sim
