// The floor a download over this link can reach: the very reads a zklog download made (taken
// from the simulator's request trace), by libmodbus alone, with nothing done with the words.
// Prints the seconds the reads took; exits non-zero if any read fails. PORT is a serial device,
// or tcp://HOST:PORT for the same reads through libmodbus's TCP client.
#include "device/network_port.h"
#include "sim/request_trace.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <modbus/modbus.h>
#include <string>

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: %s PORT TRACE [BAUD]\n", argv[0]);
        return 2;
    }
    const int baud = argc == 4 ? std::atoi(argv[3]) : 115200;
    std::vector<zklog::sim::TraceEntry> reads;
    try {
        reads = zklog::sim::read_trace(argv[2]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 2;
    }

    const auto network = zklog::device::parse_network_port(argv[1]);
    modbus_t* ctx =
        network ? modbus_new_tcp_pi(network->host.c_str(), std::to_string(network->port).c_str())
                : modbus_new_rtu(argv[1], baud, 'N', 8, 1);
    if (ctx == nullptr || modbus_connect(ctx) == -1) {
        std::fprintf(stderr, "cannot open %s: %s\n", argv[1], modbus_strerror(errno));
        return 1;
    }
    // The same patience as zklog's default, so a lost reply costs both the same.
    modbus_set_response_timeout(ctx, 0, 500000);

    std::array<std::uint16_t, MODBUS_MAX_READ_REGISTERS> words{};
    const auto start = std::chrono::steady_clock::now();
    for (const auto& read : reads) {
        const int count = static_cast<int>(read.count);
        if (modbus_set_slave(ctx, read.slave) == -1 ||
            modbus_read_registers(ctx, static_cast<int>(read.first_register), count,
                                  words.data()) != count) {
            std::fprintf(stderr, "read %llu (%u words at %u) failed: %s\n",
                         static_cast<unsigned long long>(read.request), read.count,
                         read.first_register, modbus_strerror(errno));
            modbus_close(ctx);
            modbus_free(ctx);
            return 1;
        }
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("%zu reads in %.6f s\n", reads.size(), took.count());
    modbus_close(ctx);
    modbus_free(ctx);
    return 0;
}
