#include "sim/relay_image.h"
#include "tests/support/temp_dir.h"

#include <fstream>
#include <gtest/gtest.h>

namespace zklog::sim {
namespace {

using test::TempDir;

void write_bytes(const std::filesystem::path& file, std::size_t size, unsigned char fill) {
    std::ofstream out(file, std::ios::binary);
    const std::string bytes(size, static_cast<char>(fill));
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

TEST(RelayImageFile, RoundTripKeepsEveryWord) {
    TempDir dir;
    RelayImage image;
    for (std::uint32_t r = 0; r < RelayImage::kRegisters; ++r) {
        image.set_word(r, static_cast<std::uint16_t>(r * 40503u + 7));
    }
    image.save(dir.file("img"));
    EXPECT_EQ(std::filesystem::file_size(dir.file("img")), 131072u);
    const RelayImage back = RelayImage::load(dir.file("img"));
    EXPECT_EQ(back.words(), image.words());
}

TEST(RelayImageFile, WordsAreBigEndian) {
    TempDir dir;
    write_bytes(dir.file("img"), 131072, 0);
    {
        std::fstream f(dir.file("img"), std::ios::binary | std::ios::in | std::ios::out);
        f.seekp(std::streamoff{2} * 1024);
        f.put(static_cast<char>(0x12));
        f.put(static_cast<char>(0x34));
        f.seekp(std::streamoff{2} * 65535);
        f.put(static_cast<char>(0xAB));
        f.put(static_cast<char>(0xCD));
    }
    const RelayImage image = RelayImage::load(dir.file("img"));
    EXPECT_EQ(image.pointer(), 0x1234);
    EXPECT_EQ(image.word(65535), 0xABCD);
    EXPECT_EQ(image.word(0), 0);
}

TEST(RelayImageFile, WrongSizesAreRejectedWithTheSize) {
    TempDir dir;
    for (std::size_t size : {std::size_t{0}, std::size_t{131071}, std::size_t{131073}}) {
        write_bytes(dir.file("img"), size, 0xFF);
        try {
            (void)RelayImage::load(dir.file("img"));
            ADD_FAILURE() << "a file of " << size << " bytes was accepted";
        } catch (const ImageError& e) {
            EXPECT_NE(std::string(e.what()).find(std::to_string(size)), std::string::npos)
                << e.what();
        }
    }
}

TEST(RelayImageFile, MissingFileAndUnwritablePathThrow) {
    TempDir dir;
    EXPECT_THROW((void)RelayImage::load(dir.file("nothing")), ImageError);
    EXPECT_THROW(RelayImage().save(dir.file("no/such/folder/img")), ImageError);
}

TEST(RelayImageWords, OutOfRangeRegisterThrows) {
    RelayImage image;
    EXPECT_THROW((void)image.word(65536), std::out_of_range);
    EXPECT_THROW(image.set_word(65536, 1), std::out_of_range);
}

TEST(RecordLength, FollowsMapFlags) {
    EXPECT_EQ(record_length(0), 11u);
    EXPECT_EQ(record_length(kMapZka), 11u);
    EXPECT_EQ(record_length(kMapZkb), 19u);
    EXPECT_EQ(record_length(kMapWpx), 17u);
    EXPECT_EQ(record_length(kMapZkb | kMapWpx | kMapZka), 25u);
    EXPECT_EQ(record_length(0xF8), 11u); // bits the layout does not use change nothing
}

TEST(WalkRecords, FollowsMapFlagsFrom2000) {
    RelayImage image;
    // Map bytes for records at 2000 (ZKB), 2019 (WPX), 2036 (both), 2061 (none), then zeros.
    image.set_word(2003, 0x1F02);
    image.set_word(2022, 0x0004);
    image.set_word(2039, 0x0007);
    image.set_word(2064, 0x0001);
    const auto spans = walk_records(image, 2061);
    const std::vector<RecordSpan> expected{{2000, 19}, {2019, 17}, {2036, 25}, {2061, 11}};
    EXPECT_EQ(spans, expected);
    EXPECT_EQ(walk_records(image, 2060).size(), 3u);
    EXPECT_EQ(walk_records(image, 1999).size(), 0u);
}

TEST(WalkRecords, ZeroMemoryIsElevenWordRecordsUpTo18120) {
    const RelayImage image;
    const auto spans = walk_records(image, RelayImage::kLastRecordStart);
    ASSERT_FALSE(spans.empty());
    EXPECT_EQ(spans.back().start, 2000u + 11u * ((18120u - 2000u) / 11u));
    EXPECT_EQ(spans.size(), (18120u - 2000u) / 11u + 1u);
}

TEST(WalkRecords, StopsAtTheEndOfMemory) {
    RelayImage image;
    const auto spans = walk_records(image, 70000);
    ASSERT_FALSE(spans.empty());
    const auto end = spans.back().start + spans.back().length;
    EXPECT_LE(end, RelayImage::kRegisters);
    EXPECT_GT(end + 11, RelayImage::kRegisters); // no room for another zero record
}

} // namespace
} // namespace zklog::sim
