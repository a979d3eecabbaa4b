#include "download/record_encodings.h"

#include "device/word_ops.h"

#include <array>

namespace zklog::download {

std::string byte_text(std::uint32_t byte) {
    return std::to_string(byte);
}

double signed_tenths(std::uint32_t word) {
    const auto value = static_cast<std::int32_t>(word & 0xFFFFu);
    const std::int32_t signed_value = value <= 0x7FFF ? value : value - 0x10000;
    return static_cast<double>(signed_value) / 10.0;
}

double hundredths(std::uint32_t word) {
    return static_cast<double>(word & 0xFFFFu) / 100.0;
}

std::optional<std::string> flag_list(std::uint32_t source, std::span<const FlagText> flags) {
    std::string text;
    for (const FlagText& flag : flags) {
        if (device::bit_test(source, flag.bit) == 1) {
            text.append("| ").append(flag.text);
        }
    }
    if (text.empty()) {
        return std::nullopt;
    }
    return text;
}

void write_flag_list(store::LogRow& row, std::string_view field, std::uint32_t source,
                     std::span<const FlagText> flags) {
    if (auto text = flag_list(source, flags)) {
        row.set(field, std::move(*text));
    }
}

std::span<const FlagText> relay_flags() {
    static constexpr std::array<FlagText, 8> kRelays{{
        {0, "RL1"},
        {1, "RL2"},
        {2, "RL3"},
        {3, "RL4"},
        {4, "RL5"},
        {5, "RL6"},
        {6, "RL7"},
        {7, "RL8"},
    }};
    return kRelays;
}

} // namespace zklog::download
