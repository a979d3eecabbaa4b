// The relay (and the other relays of its line) behind a Modbus TCP gateway, on the loopback:
// libmodbus listens, takes requests in and builds replies; this loop decides when, and whether,
// and how intact each reply goes out, as RtuServer does on the pty.
#pragma once

#include "sim/fault_plan.h"
#include "sim/relay_image.h"
#include "sim/request_trace.h"
#include "sim/rtu_server.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <vector>

struct _modbus;           // NOLINT(bugprone-reserved-identifier): libmodbus's own tag
struct _modbus_mapping_t; // NOLINT(bugprone-reserved-identifier): libmodbus's own tag

namespace zklog::sim {

// What a gateway says of its own: 0x0B (gateway target device failed to respond) for a unit
// identifier no relay on its line answers, or for a request the relay left unanswered (see
// FaultPlan), once its own timeout has passed; and 0x0A (gateway path unavailable) when it
// cannot reach its line at all.
struct GatewayOptions {
    bool enabled = false; // off: a request for no relay stays unanswered, as on the line
    std::chrono::milliseconds no_relay_delay{50};
    std::set<std::uint64_t> path_unavailable_requests; // of the relay's requests, by number
};

class TcpServer {
public:
    // Listens on 127.0.0.1:`port` (0: a free port); throws std::runtime_error when it cannot.
    // The faults are the relay's (see FaultPlan); those that only a serial line does (a wrong
    // CRC, noise before the frame) leave TCP replies as they are, and a reply cut short is one
    // whose connection drops halfway.
    TcpServer(const RelayImage& image, ServerOptions options, GatewayOptions gateway, int port);
    ~TcpServer();
    TcpServer(const TcpServer&) = delete;
    TcpServer& operator=(const TcpServer&) = delete;

    int port() const { return port_; }

    // Serves connections until `stop_fd` becomes readable.
    void run(int stop_fd);

private:
    using Clock = std::chrono::steady_clock;
    struct Outgoing {
        Clock::time_point due;
        int connection = -1;
        std::vector<std::uint8_t> bytes;
        bool hang_up = false;
    };

    void accept_connection();
    void handle_request(int connection);
    std::vector<std::uint8_t> build_reply(const std::uint8_t* request, int length,
                                          _modbus_mapping_t* memory, int exception);
    void spoil_reply(std::vector<std::uint8_t>& bytes, const ReplyDecision& decision,
                     const TraceEntry& request, const _modbus_mapping_t* memory) const;
    Clock::duration line_time(std::size_t reply_bytes) const;
    void send_due();
    void close_connection(int connection);

    ServerOptions options_;
    GatewayOptions gateway_;
    FaultState faults_;
    _modbus* ctx_ = nullptr;
    int listener_ = -1;
    int port_ = 0;
    std::vector<int> connections_;
    _modbus_mapping_t* mapping_ = nullptr;
    std::map<int, _modbus_mapping_t*> other_mappings_;
    std::array<int, 2> capture_ = {-1, -1}; // hands a reply libmodbus built back to us
    std::unique_ptr<TraceWriter> trace_;
    std::uint64_t requests_ = 0;
    std::vector<Outgoing> outgoing_; // in order of `due`
};

} // namespace zklog::sim
