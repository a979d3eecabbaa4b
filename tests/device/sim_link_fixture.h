// A DeviceLink connected to a zklog-sim that serves the pattern image, for tests that talk to
// the simulated relay over a real pty.
#pragma once

#include "device/device_link.h"
#include "tests/support/pattern_image.h"
#include "tests/support/sim_process.h"
#include "tests/support/temp_dir.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace zklog::test {

class SimLinkTest : public ::testing::Test {
protected:
    // Generous: the client gives up after 500 ms, but two tests share two cores.
    static constexpr std::chrono::milliseconds kFailBound{1500};

    // The link is opened through `port_`, a symlink to the simulator's pty, so a test can take
    // the port away or put another simulator behind the same path.
    void start(std::vector<std::string> extra = {}) {
        sim_ = start_sim(std::move(extra));
        point_port_at(sim_->pty());
        ASSERT_EQ(link_.open_path(port_), device::DeviceLink::kOpenOk) << sim_->pty();
    }

    std::unique_ptr<SimProcess> start_sim(std::vector<std::string> extra = {}) {
        std::vector<std::string> args{"--image", write_image_file(dir_, pattern_image())};
        args.insert(args.end(), extra.begin(), extra.end());
        return std::make_unique<SimProcess>(std::move(args));
    }

    void point_port_at(const std::filesystem::path& target) {
        std::filesystem::remove(port_);
        std::filesystem::create_symlink(target, port_);
    }

    using OnSilence = device::DeviceLink::OnSilence;

    // The read succeeds and returns exactly the image's words at `first`.
    void expect_words(std::uint32_t first, std::uint32_t count, std::uint32_t slave = 1,
                      OnSilence on_silence = OnSilence::GiveUp) {
        ASSERT_EQ(link_.modbus_rd(slave, first, count, on_silence), device::DeviceLink::kReadOk)
            << count << " words at " << first;
        ASSERT_EQ(link_.words_read(), count);
        for (std::uint32_t i = 0; i < count; ++i) {
            ASSERT_EQ(link_.modbus_var(i), pattern_word(first + i))
                << "word " << i << " of " << count << " at " << first;
        }
    }

    // The read fails, leaves no words behind, and gives up within kFailBound a try.
    void expect_failure(std::uint32_t first, std::uint32_t count, std::uint32_t slave = 1,
                        OnSilence on_silence = OnSilence::GiveUp) {
        const auto begin = std::chrono::steady_clock::now();
        const auto result = link_.modbus_rd(slave, first, count, on_silence);
        const auto took = std::chrono::steady_clock::now() - begin;
        const int tries =
            on_silence == OnSilence::AskAgain ? device::DeviceLink::kSilenceRetries + 1 : 1;
        EXPECT_NE(result, device::DeviceLink::kReadOk) << count << " words at " << first;
        EXPECT_EQ(link_.words_read(), 0u);
        EXPECT_EQ(link_.modbus_var(0), 0u);
        EXPECT_LT(took, kFailBound * tries) << count << " words at " << first;
    }

    TempDir dir_;
    std::filesystem::path port_ = dir_.file("ttyUSB0");
    std::unique_ptr<SimProcess> sim_;
    device::DeviceLink link_;
};

} // namespace zklog::test
