#include "sim/relay_image.h"

#include <fstream>
#include <system_error>

namespace zklog::sim {

RelayImage::RelayImage() : words_(kRegisters, 0) {}

RelayImage RelayImage::load(const std::filesystem::path& file) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(file, ec);
    if (ec) {
        throw ImageError("cannot read memory image " + file.string() + ": " + ec.message());
    }
    if (size != kFileBytes) {
        throw ImageError("memory image " + file.string() + " has " + std::to_string(size) +
                         " bytes, expected " + std::to_string(kFileBytes));
    }
    std::ifstream in(file, std::ios::binary);
    std::vector<unsigned char> bytes(kFileBytes);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(kFileBytes))) {
        throw ImageError("cannot read memory image " + file.string());
    }
    RelayImage image;
    for (std::size_t i = 0; i < kRegisters; ++i) {
        image.words_[i] = static_cast<std::uint16_t>((bytes[2 * i] << 8) | bytes[2 * i + 1]);
    }
    return image;
}

void RelayImage::save(const std::filesystem::path& file) const {
    std::vector<unsigned char> bytes(kFileBytes);
    for (std::size_t i = 0; i < kRegisters; ++i) {
        bytes[2 * i] = static_cast<unsigned char>(words_[i] >> 8);
        bytes[2 * i + 1] = static_cast<unsigned char>(words_[i] & 0xFFu);
    }
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out.write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(kFileBytes)) ||
        !out.flush()) {
        throw ImageError("cannot write memory image " + file.string());
    }
}

std::uint32_t record_length(std::uint8_t map_flags) {
    std::uint32_t length = 10;
    if (map_flags & kMapZkb) {
        length += 8;
    }
    // The differential block carries the checksum as its own last word.
    length += (map_flags & kMapWpx) ? 7 : 1;
    return length;
}

std::vector<RecordSpan> walk_records(const RelayImage& image, std::uint32_t end_address) {
    std::vector<RecordSpan> spans;
    std::uint32_t start = RelayImage::kLogStart;
    while (start <= end_address && start + 3 < RelayImage::kRegisters) {
        const auto maps = static_cast<std::uint8_t>(image.word(start + 3) & 0xFFu);
        const std::uint32_t length = record_length(maps);
        if (start + length > RelayImage::kRegisters) {
            break;
        }
        spans.push_back({start, length});
        start += length;
    }
    return spans;
}

} // namespace zklog::sim
