// zklog-cli dump on zklog-sim's random line, many seeds: a dump either ends well with an image
// that holds exactly the relay's log pointer and log memory, or fails with "Erro ao ler o LOG"
// and writes no image at all. Never an image with words the relay does not hold.
#include "sim/record_generator.h"
#include "tests/cli/cli_process.h"
#include "tests/support/chaos_line.h"
#include "tests/support/sim_process.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

namespace zklog::test {
namespace {

// The end of the last record that may start in the log memory: what a dump reads.
constexpr std::uint32_t kLogMemoryEnd = 18144;

TEST(CliDumpSoak, AnImageIsTheRelaysMemoryOrThereIsNone) {
    TempDir dir;
    sim::RelayImage relay;
    sim::generate_records(relay, 400, 9);
    const auto image_file = write_image_file(dir, relay);
    int completed = 0;
    // A dump makes ten times the requests of the soak's downloads: fewer seeds, on a line that
    // spoils up to one request in ten.
    const int seeds = std::max(3, soak_seeds() / 6);
    for (int seed = 1; seed <= seeds && !::testing::Test::HasFailure(); ++seed) {
        SCOPED_TRACE("zklog-sim --chaos " + std::to_string(seed));
        std::vector<std::string> args{"--image", image_file};
        const auto chaos = chaos_options(static_cast<std::uint32_t>(seed), 1 + (seed % 3) * 4);
        args.insert(args.end(), chaos.begin(), chaos.end());
        SimProcess sim(args);
        const auto output = dir.file("dump" + std::to_string(seed) + ".bin");
        const auto dumped =
            run_cli(dir, {"dump", "--port", sim.pty(), "--address", "1", "-o", output.string(),
                          "--timeout-ms", std::to_string(kSoakResponseTimeout.count())});
        if (dumped.exit_code != 0) {
            EXPECT_EQ(dumped.exit_code, 1) << dumped.out << dumped.err;
            EXPECT_EQ(dumped.last_line(), "Erro ao ler o LOG");
            EXPECT_FALSE(std::filesystem::exists(output));
            continue;
        }
        ++completed;
        const auto image = sim::RelayImage::load(output.string());
        EXPECT_EQ(image.pointer(), relay.pointer());
        for (std::uint32_t reg = 2000; reg <= kLogMemoryEnd; ++reg) {
            ASSERT_EQ(image.word(reg), relay.word(reg)) << "register " << reg;
        }
    }
    std::printf("%d seeds, %d dumps completed\n", seeds, completed);
    EXPECT_GT(completed, 0) << "no seed let a dump complete: the soak checks too little";
}

} // namespace
} // namespace zklog::test
