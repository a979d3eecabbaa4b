// DeviceLink through a Modbus TCP gateway: zklog-sim --tcp on the loopback, its pattern image,
// and what only a network does to the link (replies told apart by their transaction id, a
// gateway's own exceptions, a dropped connection).
#include "device/device_link.h"
#include "sim/request_trace.h"
#include "tests/support/pattern_image.h"
#include "tests/support/sim_process.h"
#include "tests/support/temp_dir.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <modbus/modbus.h>
#include <random>

namespace zklog::device {
namespace {

using OnSilence = DeviceLink::OnSilence;

class TcpLinkTest : public ::testing::Test {
protected:
    explicit TcpLinkTest(std::chrono::milliseconds timeout = std::chrono::milliseconds(300))
        : link_([timeout] {
              SerialSettings settings;
              settings.response_timeout = timeout;
              return settings;
          }()) {}

    void start(std::vector<std::string> extra = {}) {
        std::vector<std::string> args{
            "--image", test::write_image_file(dir_, test::pattern_image()),
            "--tcp",   "0",
            "--trace", trace_.string()};
        args.insert(args.end(), extra.begin(), extra.end());
        sim_ = std::make_unique<test::SimProcess>(std::move(args));
        const auto port = parse_network_port(sim_->pty());
        ASSERT_TRUE(port) << sim_->pty();
        ASSERT_EQ(link_.open_network(*port), DeviceLink::kOpenOk) << sim_->pty();
    }

    // The read succeeds with exactly the image's words at `first`.
    void expect_words(std::uint32_t first, std::uint32_t count,
                      OnSilence on_silence = OnSilence::GiveUp) {
        ASSERT_EQ(link_.modbus_rd(1, first, count, on_silence), DeviceLink::kReadOk)
            << count << " words at " << first << ": " << modbus_strerror(link_.last_error());
        for (std::uint32_t i = 0; i < count; ++i) {
            ASSERT_EQ(link_.modbus_var(i), test::pattern_word(first + i)) << "word " << i;
        }
    }

    std::size_t requests_to(int slave) const {
        const auto trace = sim::read_trace(trace_);
        return static_cast<std::size_t>(std::count_if(
            trace.begin(), trace.end(), [slave](const auto& e) { return e.slave == slave; }));
    }

    test::TempDir dir_;
    std::filesystem::path trace_ = dir_.file("trace");
    std::unique_ptr<test::SimProcess> sim_;
    DeviceLink link_;
};

// Request 1 is answered late, after its read has given up and while the next read of as many
// words elsewhere waits: that reply fits the next read in every way but its transaction id.
TEST_F(TcpLinkTest, ALateReplyIsNeverTakenForTheNextReadsAnswer) {
    start({"--late-request", "1", "--late-ms", "250", "--turnaround-ms", "150"});
    EXPECT_NE(link_.modbus_rd(1, 3000, 10), DeviceLink::kReadOk);
    EXPECT_EQ(link_.last_error(), ETIMEDOUT);
    expect_words(5000, 10);
    expect_words(3000, 10);
}

// A gateway's 0x0B is the relay's silence: asked again as silence is, given up as it is.
// 0x0A is the gateway's own failure, and ends the read at once.
TEST_F(TcpLinkTest, GatewayExceptionsCountAsSilenceOrAsAFailedRead) {
    start({"--gateway", "--path-unavailable-request", "2"});
    EXPECT_NE(link_.modbus_rd(9, 1024, 1, OnSilence::AskAgain), DeviceLink::kReadOk);
    EXPECT_EQ(link_.last_error(), ETIMEDOUT);
    EXPECT_EQ(requests_to(9), std::size_t{DeviceLink::kSilenceRetries + 1});
    EXPECT_NE(link_.modbus_rd(8, 1024, 1, OnSilence::GiveUp), DeviceLink::kReadOk);
    EXPECT_EQ(requests_to(8), 1u);

    expect_words(1024, 1);
    EXPECT_NE(link_.modbus_rd(1, 2000, 10, OnSilence::AskAgain), DeviceLink::kReadOk);
    EXPECT_EQ(link_.last_error(), EMBXGPATH);
    EXPECT_EQ(requests_to(1), 2u) << "a path unavailable is not asked again";
    expect_words(2000, 10);
}

TEST_F(TcpLinkTest, ADroppedConnectionIsLostThenMadeAgain) {
    start({"--hangup-after", "2"});
    expect_words(2000, 5);
    expect_words(2005, 5);
    EXPECT_NE(link_.modbus_rd(1, 2010, 5), DeviceLink::kReadOk);
    EXPECT_TRUE(link_.port_lost());
    expect_words(2010, 5);
    EXPECT_FALSE(link_.port_lost());
}

class TcpChaosTest : public TcpLinkTest {
protected:
    TcpChaosTest() : TcpLinkTest(std::chrono::milliseconds(150)) {}
};

// A seeded random line: replies late by up to twice the timeout, given twice, cut short, or
// not at all. Whatever comes when, every read that succeeds holds exactly its own words.
TEST_F(TcpChaosTest, EveryReadSucceedingHoldsItsOwnWords) {
    const std::uint32_t seed = ::testing::UnitTest::GetInstance()->random_seed();
    start({"--chaos", std::to_string(seed), "--chaos-percent", "30", "--late-ms", "300"});
    std::mt19937 random(seed);
    int succeeded = 0;
    for (int read = 0; read < 80; ++read) {
        // Reads of two sizes at a few places: often only the transaction id tells a late reply
        // from the answer of the read after it.
        const std::uint32_t count = std::bernoulli_distribution(0.5)(random) ? 10 : 125;
        const std::uint32_t first =
            2000 + 125 * std::uniform_int_distribution<std::uint32_t>(0, 3)(random);
        const auto on_silence = read % 2 == 0 ? OnSilence::AskAgain : OnSilence::GiveUp;
        if (link_.modbus_rd(1, first, count, on_silence) != DeviceLink::kReadOk) {
            EXPECT_EQ(link_.words_read(), 0u);
            continue;
        }
        ++succeeded;
        ASSERT_EQ(link_.words_read(), count);
        for (std::uint32_t i = 0; i < count; ++i) {
            ASSERT_EQ(link_.modbus_var(i), test::pattern_word(first + i))
                << "read " << read << " (seed " << seed << "): word " << i << " of " << count
                << " at " << first;
        }
    }
    EXPECT_GT(succeeded, 40) << "seed " << seed;
}

} // namespace
} // namespace zklog::device
