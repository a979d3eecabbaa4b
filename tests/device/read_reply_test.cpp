// Frames that passed libmodbus's CRC check but do not answer the read: none may hand over words.
// libmodbus drops most of them itself on a real line, so they are given to the check directly.
#include "device/read_reply.h"

#include <array>
#include <cerrno>
#include <gtest/gtest.h>
#include <modbus/modbus.h>
#include <vector>

namespace zklog::device {
namespace {

// Two words asked of slave 1 at register 2000.
const ReadRequest kRead{1, 2000, 2};

struct Frame {
    const char* name;
    std::vector<std::uint8_t> bytes; // the last two stand for the CRC, checked before
    int error;
    bool garbled;
};

void PrintTo(const Frame& frame, std::ostream* out) {
    *out << frame.name;
}

class ReadReplyCheck : public ::testing::TestWithParam<Frame> {};

TEST_P(ReadReplyCheck, HandsOverNoWordsOfAFrameThatIsNotTheAnswer) {
    const Frame& frame = GetParam();
    std::array<std::uint16_t, 4> words{7, 7, 7, 7};
    const ReplyVerdict verdict = check_read_reply(kRead, frame.bytes, words);
    EXPECT_EQ(verdict.error, frame.error);
    EXPECT_EQ(verdict.garbled, frame.garbled);
    if (frame.error != 0) {
        EXPECT_EQ(words, (std::array<std::uint16_t, 4>{7, 7, 7, 7}));
    } else {
        EXPECT_EQ(words, (std::array<std::uint16_t, 4>{0x1234, 0xABCD, 7, 7}));
    }
}

const Frame kFrames[] = {
    {"TheAnswer", {1, 3, 4, 0x12, 0x34, 0xAB, 0xCD, 0, 0}, 0, false},
    {"FromSlave2", {2, 3, 4, 0x12, 0x34, 0xAB, 0xCD, 0, 0}, EMBBADSLAVE, true},
    {"FromAddress0", {0, 3, 4, 0x12, 0x34, 0xAB, 0xCD, 0, 0}, EMBBADSLAVE, true},
    {"Empty", {}, EMBBADSLAVE, true},
    {"OneWordOnly", {1, 3, 2, 0x12, 0x34, 0, 0}, EMBBADDATA, true},
    {"ByteCountOff", {1, 3, 5, 0x12, 0x34, 0xAB, 0xCD, 0, 0}, EMBBADDATA, true},
    {"OtherFunction", {1, 4, 4, 0x12, 0x34, 0xAB, 0xCD, 0, 0}, EMBBADDATA, true},
    {"Exception02", {1, 0x83, 2, 0, 0}, EMBXILADD, false},
    {"ExceptionFromSlave2", {2, 0x83, 2, 0, 0}, EMBBADSLAVE, true},
    {"ExceptionCutShort", {1, 0x83, 0, 0}, EMBBADEXC, true},
};

INSTANTIATE_TEST_SUITE_P(Frames, ReadReplyCheck, ::testing::ValuesIn(kFrames),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace zklog::device
