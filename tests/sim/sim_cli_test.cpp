// zklog-sim as a command: what it builds and writes, and what it refuses.
#include "sim/fault_plan.h"
#include "sim/record_generator.h"
#include "tests/support/sim_process.h"
#include "tests/support/temp_dir.h"

#include <array>
#include <cstdio>
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace zklog::sim {
namespace {

using test::TempDir;

struct RunResult {
    int exit_code = -1;
    std::string output; // stdout and stderr together
};

RunResult run_sim(const std::string& args) {
    const std::string command = std::string(ZKLOG_SIM_PATH) + " " + args + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        throw std::runtime_error("cannot run " + command);
    }
    RunResult result;
    std::array<char, 4096> buffer{};
    std::size_t n = 0;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        result.output.append(buffer.data(), n);
    }
    const int status = pclose(pipe);
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(SimCommand, NoServeWritesTheGeneratedImage) {
    TempDir dir;
    const auto out = dir.file("gen.bin");
    const auto r = run_sim("--generate 50 --seed 3 --no-serve --write-image " + out.string());
    ASSERT_EQ(r.exit_code, 0) << r.output;
    EXPECT_TRUE(contains(r.output, "generated 50 records")) << r.output;
    EXPECT_FALSE(contains(r.output, "full")) << r.output;
    RelayImage expected;
    generate_records(expected, 50, 3);
    EXPECT_EQ(RelayImage::load(out).words(), expected.words());
}

TEST(SimCommand, ReportsAFullMemory) {
    TempDir dir;
    const auto r =
        run_sim("--generate 5000 --no-serve --write-image " + dir.file("full.bin").string());
    ASSERT_EQ(r.exit_code, 0) << r.output;
    RelayImage expected;
    const auto records = generate_records(expected, 5000, 1);
    EXPECT_TRUE(contains(r.output, "generated " + std::to_string(records.size()) + " records"))
        << r.output;
    EXPECT_TRUE(contains(r.output, "memory full")) << r.output;
}

TEST(SimCommand, PointerOverrideAndBadCrcReachTheWrittenImage) {
    TempDir dir;
    RelayImage source;
    generate_records(source, 6, 8);
    const auto in = test::write_image_file(dir, source);
    const auto out = dir.file("out.bin");
    const auto r = run_sim("--image " + in + " --pointer 17 --bad-crc 1 --bad-crc 4 --no-serve" +
                           " --write-image " + out.string());
    ASSERT_EQ(r.exit_code, 0) << r.output;
    RelayImage expected = source;
    expected.set_pointer(17);
    spoil_checksums(expected, {1, 4});
    const RelayImage written = RelayImage::load(out);
    EXPECT_EQ(written.pointer(), 17);
    EXPECT_EQ(written.words(), expected.words());
    EXPECT_NE(written.words(), source.words());
}

TEST(SimCommand, RejectsBadArguments) {
    TempDir dir;
    const auto image = test::write_image_file(dir, RelayImage{});
    EXPECT_NE(run_sim("--no-serve").exit_code, 0);
    EXPECT_NE(run_sim("--image " + image + " --generate 3 --no-serve").exit_code, 0);
    EXPECT_NE(run_sim("--generate 3 --address 0 --no-serve").exit_code, 0);
    EXPECT_NE(run_sim("--generate 3 --address 248 --no-serve").exit_code, 0);
    EXPECT_NE(run_sim("--generate 3 --frobnicate --no-serve").exit_code, 0);
    EXPECT_EQ(run_sim("--image " + image + " --no-serve").exit_code, 0);
}

TEST(SimCommand, WrongSizedImageFailsWithAMessage) {
    TempDir dir;
    {
        std::FILE* f = std::fopen(dir.file("short.bin").c_str(), "wb");
        std::fputs("abc", f);
        std::fclose(f);
    }
    const auto r = run_sim("--image " + dir.file("short.bin").string());
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_TRUE(contains(r.output, "3 bytes")) << r.output;
}

TEST(SimCommand, MissingImageFailsInsteadOfServing) {
    TempDir dir;
    EXPECT_THROW(test::SimProcess({"--image", dir.file("none.bin").string()}), std::runtime_error);
}

} // namespace
} // namespace zklog::sim
