#include "device/read_reply.h"

#include <cerrno>
#include <modbus/modbus.h>

namespace zklog::device {

namespace {

// Modbus application protocol 6.3 (Read Holding Registers): the reply carries a byte count of
// twice the registers asked for, then the registers, high byte first. Offsets from the
// function code.
constexpr std::size_t kByteCount = 1;
constexpr std::size_t kFirstWord = 2;
// 7 (exception responses): the function code with its high bit set, then one exception code.
constexpr std::uint8_t kExceptionBit = 0x80;
constexpr std::size_t kExceptionCode = 1;
constexpr std::size_t kExceptionPduBytes = 2;

} // namespace

ReplyVerdict check_read_reply(const ReadRequest& request, std::span<const std::uint8_t> frame,
                              std::span<std::uint16_t> words, FrameLayout layout) {
    const std::size_t function_at = layout.slave + 1;
    // A corrupted address byte, or another device answering: the relay's reply was lost.
    if (frame.size() <= function_at || frame[layout.slave] != request.address) {
        return {EMBBADSLAVE, true};
    }
    // A frame cut shorter than its checksum still has its function code looked at.
    const std::size_t after_function = frame.size() - function_at;
    const auto pdu = frame.subspan(function_at, after_function > layout.checksum_bytes
                                                    ? after_function - layout.checksum_bytes
                                                    : 1);
    const std::uint8_t function = pdu[0];
    if (function == (MODBUS_FC_READ_HOLDING_REGISTERS | kExceptionBit)) {
        if (pdu.size() != kExceptionPduBytes) {
            return {EMBBADEXC, true};
        }
        const int code = pdu[kExceptionCode];
        // The relay's own answer: asking again would only get it again.
        return {code < MODBUS_EXCEPTION_MAX ? MODBUS_ENOBASE + code : EMBBADEXC, false};
    }
    // Noise ahead of a reply shifts its bytes, and a frame of another size than asked is not
    // the answer to this read: both are asked again (a relay that keeps answering a big read
    // short is refusing that size, which the block reads take as such).
    if (function != MODBUS_FC_READ_HOLDING_REGISTERS || pdu.size() <= kByteCount ||
        pdu[kByteCount] != 2 * std::size_t{request.count} ||
        pdu.size() != kFirstWord + 2 * std::size_t{request.count}) {
        return {EMBBADDATA, true};
    }
    for (std::uint32_t i = 0; i < request.count; ++i) {
        words[i] = MODBUS_GET_INT16_FROM_INT8(pdu.data(), kFirstWord + 2 * std::size_t{i});
    }
    return {};
}

bool reply_was_garbled(int error) {
    return error == EMBBADCRC || error == EMBBADDATA || error == EMBMDATA;
}

} // namespace zklog::device
