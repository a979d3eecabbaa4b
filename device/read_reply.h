// A reply frame checked against the holding-register read it is to answer.
#pragma once

#include "device/late_reply.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace zklog::device {

struct ReplyVerdict {
    int error = 0;        // 0, or an errno value as DeviceLink::last_error() gives it
    bool garbled = false; // the line spoilt the reply: worth asking again
};

// Where a frame of each transport holds what the check reads: the slave (unit) address, right
// before the function code, and a checksum at the end, already checked by libmodbus.
struct FrameLayout {
    std::size_t slave = 0;
    std::size_t checksum_bytes = 0;
};
inline constexpr FrameLayout kRtuFrame{0, 2}; // address, PDU, CRC
inline constexpr FrameLayout kTcpFrame{6, 0}; // MBAP header ending in the unit id, PDU

// `frame` is a whole frame as libmodbus received it, its CRC (if any) already checked (empty
// when libmodbus skipped a frame of another slave unchecked). On success the request's words
// are in the first request.count entries of `words`.
ReplyVerdict check_read_reply(const ReadRequest& request, std::span<const std::uint8_t> frame,
                              std::span<std::uint16_t> words, FrameLayout layout = kRtuFrame);

// Of what libmodbus reports while receiving a frame, what the line spoilt: a wrong frame CRC,
// a frame too long for any reply. Asked again.
bool reply_was_garbled(int error);

} // namespace zklog::device
