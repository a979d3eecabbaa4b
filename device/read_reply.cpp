#include "device/read_reply.h"

#include <cerrno>
#include <modbus/modbus.h>

namespace zklog::device {

namespace {

// RTU frame: slave address, function code, data, CRC (2 bytes).
constexpr std::size_t kSlave = 0;
constexpr std::size_t kFunction = 1;
constexpr std::size_t kCrcBytes = 2;
// Modbus application protocol 6.3 (Read Holding Registers): the reply carries a byte count of
// twice the registers asked for, then the registers, high byte first.
constexpr std::size_t kByteCount = 2;
constexpr std::size_t kFirstWord = 3;
// 7 (exception responses): the function code with its high bit set, then one exception code.
constexpr std::uint8_t kExceptionBit = 0x80;
constexpr std::size_t kExceptionCode = 2;
constexpr std::size_t kExceptionFrameBytes = 3 + kCrcBytes;

} // namespace

ReplyVerdict check_read_reply(const ReadRequest& request, std::span<const std::uint8_t> frame,
                              std::span<std::uint16_t> words) {
    // A corrupted address byte, or another device answering: the relay's reply was lost.
    if (frame.size() <= kFunction || frame[kSlave] != request.address) {
        return {EMBBADSLAVE, true};
    }
    const std::uint8_t function = frame[kFunction];
    if (function == (MODBUS_FC_READ_HOLDING_REGISTERS | kExceptionBit)) {
        if (frame.size() != kExceptionFrameBytes) {
            return {EMBBADEXC, true};
        }
        const int code = frame[kExceptionCode];
        // The relay's own answer: asking again would only get it again.
        return {code < MODBUS_EXCEPTION_MAX ? MODBUS_ENOBASE + code : EMBBADEXC, false};
    }
    // Noise ahead of a reply shifts its bytes, and a frame of another size than asked is not
    // the answer to this read: both are asked again (a relay that keeps answering a big read
    // short is refusing that size, which the block reads take as such).
    if (function != MODBUS_FC_READ_HOLDING_REGISTERS || frame.size() <= kByteCount ||
        frame[kByteCount] != 2 * std::size_t{request.count} ||
        frame.size() != kFirstWord + 2 * std::size_t{request.count} + kCrcBytes) {
        return {EMBBADDATA, true};
    }
    for (std::uint32_t i = 0; i < request.count; ++i) {
        words[i] = MODBUS_GET_INT16_FROM_INT8(frame.data(), kFirstWord + 2 * std::size_t{i});
    }
    return {};
}

} // namespace zklog::device
