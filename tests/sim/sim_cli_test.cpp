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
    // The edge-word records, which the cases compare with generate_records.
    const std::string command = std::string(ZKLOG_SIM_PATH) + " --edge-words " + args + " 2>&1";
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

// A memory image file that is not one: the size it has is said, and nothing is served.
TEST(SimInputFaults, ImageFileOfTheWrongSize) {
    TempDir dir;
    const auto write_bytes = [&](const std::string& name, std::size_t count) {
        const auto path = dir.file(name);
        std::FILE* f = std::fopen(path.c_str(), "wb");
        const std::string bytes(count, '\0');
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        return path.string();
    };
    const std::vector<std::pair<std::string, std::string>> cases{
        {write_bytes("empty.bin", 0), "has 0 bytes, expected 131072"},
        {write_bytes("short.bin", RelayImage::kFileBytes - 1), "has 131071 bytes, expected 131072"},
        {write_bytes("long.bin", RelayImage::kFileBytes + 1), "has 131073 bytes, expected 131072"},
        {dir.path().string(), "Is a directory"},
        {dir.file("none.bin").string(), "No such file"},
    };
    for (const auto& [image, message] : cases) {
        SCOPED_TRACE(image);
        const auto r = run_sim("--image '" + image + "' --no-serve");
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_TRUE(contains(r.output, "zklog-sim: ")) << r.output;
        EXPECT_TRUE(contains(r.output, message)) << r.output;
    }
}

// Usage errors exit 2 and name the option and what it takes.
TEST(SimInputFaults, MalformedOptionValues) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"--generate -1", "--generate: '-1' is not a whole number (0 or more)"},
        {"--generate x", "--generate: 'x' is not a whole number"},
        {"--generate ''", "--generate: '' is not a whole number"},
        {"--generate 99999999999", "--generate"},
        {"--generate 3 --seed -1", "--seed: '-1' is not a whole number"},
        {"--seed 3", "--seed requires --generate"},
        {"--generate 3 --address 0", "--address: Value 0 not in range 1 to 247"},
        {"--generate 3 --address x", "--address"},
        {"--generate 3 --baud -9600", "--baud: '-9600' is not a whole number"},
        {"--generate 3 --pointer -1", "--pointer: '-1' is not a whole number"},
        {"--generate 3 --pointer 65536", "--pointer"},
        {"--generate 3 --fail-pointer -2", "--fail-pointer: '-2' is not a whole number"},
        {"--generate 3 --silent-at +5", "--silent-at: '+5' is not a whole number"},
        {"--generate 3 --silent-after -1", "--silent-after: '-1' is not a whole number"},
        {"--generate 3 --hangup-after -1", "--hangup-after: '-1' is not a whole number"},
        {"--generate 3 --corrupt-request 1e2", "--corrupt-request: '1e2' is not a whole number"},
        {"--generate 3 --exception-request 0x10", "--exception-request: '0x10'"},
        {"--generate 3 --bad-crc x", "--bad-crc: 'x' is not a whole number"},
        {"--generate 3 --late-request 1 --late-ms -3", "--late-ms: '-3' is not a whole number"},
        {"--generate 3 --late-ms 5", "--late-ms needs --late-request or --chaos"},
        {"--image ''", "--image: empty file name"},
        {"--generate 3 --write-image ''", "--write-image: empty file name"},
        {"--generate 3 --trace ''", "--trace: empty file name"},
        {"--generate 3 --link ''", "--link: empty file name"},
        {"--generate 3 --tcp 65536", "--tcp: Value 65536 not in range 0 to 65535"},
        {"--generate 3 --tcp 0 --link COM1", "--link excludes --tcp"},
        {"--generate 3 --gateway", "--gateway requires --tcp"},
        {"--generate 3 --path-unavailable-request 2", "--path-unavailable-request requires --tcp"},
        {"--generate 3 --tcp 0 --gateway-delay-ms 9", "--gateway-delay-ms requires --gateway"},
        {"", "one of --image or --generate is required"},
    };
    for (const auto& [args, message] : cases) {
        SCOPED_TRACE(args);
        // --no-serve: a value wrongly taken must not leave a simulator serving.
        const auto r = run_sim(args + " --no-serve");
        EXPECT_EQ(r.exit_code, 2) << r.output;
        EXPECT_TRUE(contains(r.output, message)) << r.output;
    }
    EXPECT_EQ(run_sim("--help").exit_code, 0);
}

TEST(SimInputFaults, FilesItCannotWrite) {
    TempDir dir;
    auto r = run_sim("--generate 3 --no-serve --write-image " + dir.path().string());
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_TRUE(contains(r.output, "cannot write memory image")) << r.output;
    // These come when serving starts, before the pty path is printed.
    EXPECT_THROW(test::SimProcess({"--generate", "3", "--trace", dir.file("no/t.txt").string()}),
                 std::runtime_error);
    EXPECT_THROW(test::SimProcess({"--generate", "3", "--link", dir.path().string()}),
                 std::runtime_error);
    EXPECT_TRUE(std::filesystem::is_directory(dir.path())) << "a folder is never replaced";
}

} // namespace
} // namespace zklog::sim
