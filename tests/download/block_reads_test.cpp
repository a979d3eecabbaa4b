// The big-block reads of --fast against zklog-sim: a refused size is halved, the size that was
// answered is kept for the rest of the run, a block never runs past its bound nor past register
// 65535, and each of these costs exactly the reads it must.
#include "download/block_reads.h"
#include "sim/record_generator.h"
#include "sim/request_trace.h"
#include "tests/support/sim_process.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

namespace zklog::download {
namespace {

struct Refusal {
    const char* name;
    std::vector<std::string> sim_options; // how the relay refuses the first big read
    std::uint32_t kept_size;              // the block size the run goes on with
    std::size_t reads_for_first_block;    // requests until the first block is in hand
};

void PrintTo(const Refusal& refusal, std::ostream* out) {
    *out << refusal.name;
}

class BlockReadsRun : public ::testing::Test {
protected:
    void serve(std::vector<std::string> options) {
        sim::generate_records(image_, 40, 5);
        image_.set_word(65535, 0xBEEF);
        std::vector<std::string> args{"--image", test::write_image_file(dir_, image_), "--trace",
                                      trace_.string()};
        args.insert(args.end(), options.begin(), options.end());
        sim_.emplace(args);
        ASSERT_EQ(link_.open_path(sim_->pty()), device::DeviceLink::kOpenOk);
    }

    void expect_image_words(std::span<const std::uint16_t> words, std::uint32_t first) const {
        for (std::size_t i = 0; i < words.size(); ++i) {
            ASSERT_EQ(words[i], image_.word(first + static_cast<std::uint32_t>(i)))
                << "register " << first + i;
        }
    }

    std::vector<sim::TraceEntry> trace() const { return sim::read_trace(trace_); }

    test::TempDir dir_;
    std::filesystem::path trace_ = dir_.file("trace.txt");
    sim::RelayImage image_;
    std::optional<test::SimProcess> sim_;
    device::DeviceLink link_;
};

class BlockReadsTest : public BlockReadsRun, public ::testing::WithParamInterface<Refusal> {};

TEST_P(BlockReadsTest, HalvesARefusedSizeOnceAndKeepsTheAnsweredOne) {
    const auto& refusal = GetParam();
    serve(refusal.sim_options);
    BlockReads blocks(link_);
    blocks.start_run();
    const auto first = blocks.words(1, 2000, 10, 18144);
    ASSERT_TRUE(first);
    expect_image_words(*first, 2000);
    EXPECT_EQ(blocks.block_size(), refusal.kept_size);
    ASSERT_EQ(trace().size(), refusal.reads_for_first_block);
    EXPECT_EQ(trace().back().count, refusal.kept_size);

    // Every word up to three blocks on, each block at the kept size, never asked smaller again.
    for (std::uint32_t reg = 2010; reg < 2000 + 3 * refusal.kept_size; reg += 10) {
        const auto words = blocks.words(1, reg, 10, 18144);
        ASSERT_TRUE(words) << reg;
        expect_image_words(*words, reg);
    }
    const auto reads = trace();
    ASSERT_GT(reads.size(), refusal.reads_for_first_block);
    for (std::size_t i = refusal.reads_for_first_block; i < reads.size(); ++i) {
        EXPECT_EQ(reads[i].count, refusal.kept_size)
            << "read " << i << " at " << reads[i].first_register;
    }
}

const Refusal kRefusals[] = {
    {"Answered", {}, 125, 1},
    {"IllegalDataAddressOnce", {"--exception-request", "1"}, 62, 2},
    {"IllegalDataValueAbove60", {"--max-registers", "60"}, 31, 3},
    {"IllegalDataValueAbove20", {"--max-registers", "20"}, 15, 4},
    // A valid frame of fewer registers than asked, each time it is asked (the read and its two
    // retries), is a refusal of that size too.
    {"ShorterFrame",
     {"--missing-word-request", "1", "--missing-word-request", "2", "--missing-word-request", "3"},
     62,
     4},
};

INSTANTIATE_TEST_SUITE_P(Relays, BlockReadsTest, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

// A size answered in one run says nothing of the next, which may be against another relay:
// the second run here meets one silent to every read bigger than 15 registers, which it must
// take as a refusal of the size (halving 125 to 15), not as a relay gone quiet.
TEST_F(BlockReadsRun, ASecondRunFindsItsSizeAgain) {
    // Requests 2 to 4 are the second run's reads of 125, 62 and 31 registers.
    serve({"--silent-request", "2", "--silent-request", "3", "--silent-request", "4"});
    BlockReads blocks(link_);
    blocks.start_run();
    ASSERT_TRUE(blocks.words(1, 2000, 10, 18144));
    EXPECT_EQ(blocks.block_size(), 125u);

    blocks.start_run();
    const auto words = blocks.words(1, 2000, 10, 18144);
    ASSERT_TRUE(words) << "silence before any big read was answered in this run is a refusal";
    expect_image_words(*words, 2000);
    EXPECT_EQ(blocks.block_size(), 15u);
    const auto reads = trace();
    ASSERT_EQ(reads.size(), 5u);
    EXPECT_EQ(reads.back().count, 15u);
}

// A block stops at the bound the download gives (the pointer's record plus the longest record)
// and at the last addressable register.
TEST(BlockReadsBound, NeverPastTheBoundNorRegister65535) {
    test::TempDir dir;
    sim::RelayImage image;
    sim::generate_records(image, 5, 5);
    image.set_word(65535, 0xBEEF);
    const auto trace_path = dir.file("trace.txt");
    test::SimProcess sim(
        {"--image", test::write_image_file(dir, image), "--trace", trace_path.string()});
    device::DeviceLink link;
    ASSERT_EQ(link.open_path(sim.pty()), device::DeviceLink::kOpenOk);
    BlockReads blocks(link);
    blocks.start_run();
    ASSERT_TRUE(blocks.words(1, 2000, 10, 2000 + 24));
    const auto top = blocks.words(1, 65530, 6, 70000);
    ASSERT_TRUE(top);
    EXPECT_EQ(top->back(), 0xBEEF);
    const auto reads = sim::read_trace(trace_path);
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_EQ(reads[0].count, 25u) << "up to the bound, the bound's register included";
    EXPECT_EQ(reads[1].count, 6u) << "65530 to 65535";
}

} // namespace
} // namespace zklog::download
