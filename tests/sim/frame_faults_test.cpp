// Reshaped reply frames, checked with libmodbus itself: a frame said to carry a fitting CRC must
// pass libmodbus's own check when read as a reply.
#include "sim/frame_faults.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <modbus/modbus.h>
#include <string_view>
#include <unistd.h>

namespace zklog::sim {
namespace {

using Frame = std::vector<std::uint8_t>;

// A libmodbus RTU context talking through a pipe instead of a port.
class PipeContext {
public:
    explicit PipeContext(int slave) {
        if (pipe2(fds_, O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe");
        }
        ctx_ = modbus_new_rtu("/dev/null", 9600, 'N', 8, 1);
        modbus_set_slave(ctx_, slave);
        modbus_set_response_timeout(ctx_, 0, 200'000);
    }
    ~PipeContext() {
        modbus_free(ctx_);
        close(fds_[0]);
        close(fds_[1]);
    }
    PipeContext(const PipeContext&) = delete;
    PipeContext& operator=(const PipeContext&) = delete;

    // The reply libmodbus builds to a read of `count` registers at `first`.
    Frame reply_to_read(int first, int count, modbus_mapping_t* mapping) {
        // modbus_reply does not check the request's CRC: it is taken as checked on receipt.
        const std::uint8_t request[] = {static_cast<std::uint8_t>(modbus_get_slave(ctx_)),
                                        0x03,
                                        static_cast<std::uint8_t>(first >> 8),
                                        static_cast<std::uint8_t>(first & 0xFF),
                                        static_cast<std::uint8_t>(count >> 8),
                                        static_cast<std::uint8_t>(count & 0xFF),
                                        0,
                                        0};
        modbus_set_socket(ctx_, fds_[1]);
        const int sent = modbus_reply(ctx_, request, sizeof request, mapping);
        Frame frame(static_cast<std::size_t>(std::max(sent, 0)));
        if (sent > 0 && read(fds_[0], frame.data(), frame.size()) != sent) {
            frame.clear();
        }
        return frame;
    }

    // What libmodbus makes of `frame` read as a reply: its length when the address is ours and
    // the CRC fits, 0 for another slave's frame, -1 otherwise.
    int receive(const Frame& frame) {
        if (write(fds_[1], frame.data(), frame.size()) != static_cast<ssize_t>(frame.size())) {
            return -2;
        }
        modbus_set_socket(ctx_, fds_[0]);
        std::uint8_t reply[MODBUS_RTU_MAX_ADU_LENGTH];
        return modbus_receive_confirmation(ctx_, reply);
    }

private:
    int fds_[2] = {-1, -1};
    modbus_t* ctx_ = nullptr;
};

class FrameFaults : public ::testing::Test {
protected:
    FrameFaults() {
        mapping_ = modbus_mapping_new(0, 0, 3000, 0);
        for (int r = 0; r < 3000; ++r) {
            mapping_->tab_registers[r] = static_cast<std::uint16_t>(r * 7 + 0x0102);
        }
    }
    ~FrameFaults() override { modbus_mapping_free(mapping_); }

    Frame reply(int first, int count) {
        PipeContext slave(1);
        return slave.reply_to_read(first, count, mapping_);
    }

    modbus_mapping_t* mapping_ = nullptr;
};

TEST(FrameCrc, KnownCheckValue) {
    constexpr std::string_view text = "123456789";
    const Frame bytes(text.begin(), text.end());
    EXPECT_EQ(frame_crc(bytes), 0x4B37);
}

TEST_F(FrameFaults, LibmodbusFramesCarryTheCrcWeCompute) {
    for (const int count : {1, 7, 10, 125}) {
        const Frame frame = reply(2000, count);
        ASSERT_EQ(frame.size(), 5u + 2u * static_cast<std::size_t>(count));
        EXPECT_TRUE(crc_matches(frame)) << count;
        Frame broken = frame;
        broken[3] ^= 0x01;
        EXPECT_FALSE(crc_matches(broken)) << count;
    }
}

TEST_F(FrameFaults, OtherSlaveFrameIsWhole) {
    const Frame original = reply(2000, 10);
    Frame frame = original;
    from_other_slave(frame);
    ASSERT_EQ(frame.size(), original.size());
    EXPECT_EQ(frame[0], 2);
    EXPECT_TRUE(std::equal(frame.begin() + 1, frame.end() - 2, original.begin() + 1));
    EXPECT_EQ(PipeContext(2).receive(frame), static_cast<int>(frame.size()));
    EXPECT_EQ(PipeContext(1).receive(frame), 0);

    Frame last{247, 0x03, 0x00, 0, 0};
    from_other_slave(last);
    EXPECT_EQ(last[0], 1); // wraps within the unit addresses
}

// With the next register as the extra word, the frame is the one libmodbus builds for a read of
// one register more: count, data and CRC alike.
TEST_F(FrameFaults, ExtraWordFrameIsAReadOfOneMore) {
    for (const int count : {1, 10, 124}) {
        Frame frame = reply(1024, count);
        change_word_count(frame, 1, mapping_->tab_registers[1024 + count]);
        EXPECT_EQ(frame, reply(1024, count + 1)) << count;
        EXPECT_EQ(PipeContext(1).receive(frame), static_cast<int>(frame.size())) << count;
    }
}

TEST_F(FrameFaults, MissingWordDropsTheLastRegister) {
    Frame frame = reply(2000, 10);
    change_word_count(frame, -1, 0);
    EXPECT_EQ(frame, reply(2000, 9));
    // A one-register reply becomes an empty one, which libmodbus cannot build itself.
    Frame pointer = reply(1024, 1);
    change_word_count(pointer, -1, 0);
    ASSERT_EQ(pointer.size(), 5u);
    EXPECT_EQ(pointer[2], 0);
    EXPECT_EQ(PipeContext(1).receive(pointer), 5);
    Frame empty = pointer;
    change_word_count(empty, -1, 0);
    EXPECT_EQ(empty, pointer); // nothing left to drop
}

TEST_F(FrameFaults, WordCountLeavesOtherFunctionsAlone) {
    Frame exception{0x01, 0x83, 0x02, 0, 0};
    const Frame before = exception;
    change_word_count(exception, 1, 0x1234);
    EXPECT_EQ(exception, before);
}

TEST_F(FrameFaults, CutShortKeepsTheFirstPart) {
    const Frame original = reply(2000, 10);
    Frame frame = original;
    cut_short(frame);
    ASSERT_FALSE(frame.empty());
    ASSERT_LT(frame.size(), original.size());
    EXPECT_TRUE(std::equal(frame.begin(), frame.end(), original.begin()));
    Frame one{0x01};
    cut_short(one);
    EXPECT_EQ(one.size(), 1u);
}

TEST_F(FrameFaults, NoiseGoesBeforeTheWholeFrame) {
    const Frame original = reply(2000, 10);
    Frame frame = original;
    put_noise_before(frame);
    ASSERT_GT(frame.size(), original.size());
    const auto noise = frame.size() - original.size();
    EXPECT_TRUE(std::equal(original.begin(), original.end(), frame.begin() + noise));
    EXPECT_NE(frame[0], 1); // not our address
    EXPECT_NE(frame[0], 0); // nor broadcast
    EXPECT_LT(PipeContext(1).receive(frame), 1);
}

} // namespace
} // namespace zklog::sim
