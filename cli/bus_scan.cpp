#include "cli/bus_scan.h"

#include "download/log_download.h"

#include <cerrno>
#include <modbus/modbus.h>

namespace zklog::cli {

device::SerialSettings scan_line_settings(device::SerialSettings line,
                                          const BusScanSettings& scan) {
    line.response_timeout = scan.timeout;
    line.await_late_replies = false;
    return line;
}

namespace {

// libmodbus reports an exception reply as MODBUS_ENOBASE + its exception code (EMBXILFUN...).
bool is_exception(int error) {
    return error >= EMBXILFUN && error <= EMBXGTAR;
}

} // namespace

ScanOutcome scan_bus(device::DeviceLink& link, const BusScanSettings& settings,
                     const std::function<void(const ScanAnswer&)>& on_answer,
                     const std::function<void(std::uint32_t address)>& on_address) {
    ScanOutcome outcome;
    for (std::uint32_t address = settings.first_address; address <= settings.last_address;
         ++address) {
        if (on_address) {
            on_address(address);
        }
        ScanAnswer answer;
        answer.address = address;
        if (link.modbus_rd(address, download::kLogPointerRegister, 1) ==
            device::DeviceLink::kReadOk) {
            answer.pointer = link.modbus_var(0);
            ++outcome.relays;
        } else if (link.port_lost()) {
            outcome.port_lost = true;
            return outcome;
        } else if (link.last_error() == ETIMEDOUT || link.last_error() == 0) {
            continue;
        } else {
            answer.error = link.last_error();
            answer.reply = is_exception(answer.error) ? ScanReply::Exception : ScanReply::Garbled;
        }
        on_answer(answer);
    }
    return outcome;
}

} // namespace zklog::cli
