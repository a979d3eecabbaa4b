// Every flag of a record, set alone, gives exactly its own text in its own field, and nothing in
// any other flag field. The texts are written out here as the relay's documentation lists them,
// so two texts swapped in the program's tables, or a flag read from the wrong bit, fail.
#include "download/base_block.h"
#include "download/second_channel_block.h"
#include "tests/download/row_values.h"

#include <array>
#include <cstdint>
#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <vector>

namespace zklog::download {
namespace {

enum class Block { Base, SecondChannel };

struct FlagBit {
    Block block;
    std::size_t word; // of the block
    unsigned bit;     // of the whole word, 0 to 15
    const char* field;
    const char* text;
};

// The flag by its field and bit in failure messages, not by its bytes.
void PrintTo(const FlagBit& flag, std::ostream* out) {
    *out << flag.field << " bit " << flag.bit << " (word " << flag.word << ")";
}

const std::vector<std::string> kBaseFlagFields{"Causa", "Mapas", "Reles Ativos", "Erros"};
const std::vector<std::string> kSecondChannelFlagFields{"Reles Ativos2", "Erros2"};

const std::vector<std::string>& flag_fields(Block block) {
    return block == Block::Base ? kBaseFlagFields : kSecondChannelFlagFields;
}

// The block's words with only `bit` of `word` set, decoded.
store::LogRow decoded_with(Block block, std::size_t word, unsigned bit) {
    store::LogRow row;
    const auto value = static_cast<std::uint16_t>(1u << bit);
    if (block == Block::Base) {
        std::array<std::uint16_t, kBaseBlockWords> words{};
        words.at(word) = value;
        decode_base_block(words, row);
    } else {
        std::array<std::uint16_t, kSecondChannelWords> words{};
        words.at(word) = value;
        decode_second_channel_block(words, row);
    }
    return row;
}

constexpr Block B = Block::Base;
constexpr Block S = Block::SecondChannel;

// Cause flags: high byte of base word 3. Map flags: its low byte. Relays: low byte of base word
// 4 and of second-channel word 0. Errors: base word 5 and second-channel word 1, bits 0 to 13.
const FlagBit kFlagBits[] = {
    {B, 3, 8, "Causa", "Tempo LOG Atingido"},
    {B, 3, 9, "Causa", "Power Up"},
    {B, 3, 10, "Causa", "Histerese"},
    {B, 3, 11, "Causa", "Mudança Erros"},
    {B, 3, 12, "Causa", "Mudança Relés"},
    {B, 3, 0, "Mapas", "ZKA"},
    {B, 3, 1, "Mapas", "ZKB"},
    {B, 3, 2, "Mapas", "WPX"},
    {B, 4, 0, "Reles Ativos", "RL1"},
    {B, 4, 1, "Reles Ativos", "RL2"},
    {B, 4, 2, "Reles Ativos", "RL3"},
    {B, 4, 3, "Reles Ativos", "RL4"},
    {B, 4, 4, "Reles Ativos", "RL5"},
    {B, 4, 5, "Reles Ativos", "RL6"},
    {B, 4, 6, "Reles Ativos", "RL7"},
    {B, 4, 7, "Reles Ativos", "RL8"},
    {B, 5, 0, "Erros", "ZKB"},
    {B, 5, 1, "Erros", "SUP"},
    {B, 5, 2, "Erros", "E2PROM"},
    {B, 5, 3, "Erros", "OVERFLOW"},
    {B, 5, 4, "Erros", "RTD"},
    {B, 5, 5, "Erros", "PIC"},
    {B, 5, 6, "Erros", "TC1"},
    {B, 5, 7, "Erros", "TC2"},
    {B, 5, 8, "Erros", "RTD1"},
    {B, 5, 9, "Erros", "RTD2"},
    {B, 5, 10, "Erros", "CAL1"},
    {B, 5, 11, "Erros", "CAL2"},
    {B, 5, 12, "Erros", "SALTO1"},
    {B, 5, 13, "Erros", "SALTO2"},
    {S, 0, 0, "Reles Ativos2", "RL1"},
    {S, 0, 1, "Reles Ativos2", "RL2"},
    {S, 0, 2, "Reles Ativos2", "RL3"},
    {S, 0, 3, "Reles Ativos2", "RL4"},
    {S, 0, 4, "Reles Ativos2", "RL5"},
    {S, 0, 5, "Reles Ativos2", "RL6"},
    {S, 0, 6, "Reles Ativos2", "RL7"},
    {S, 0, 7, "Reles Ativos2", "RL8"},
    {S, 1, 0, "Erros2", "ZKA"},
    {S, 1, 1, "Erros2", "SUP"},
    {S, 1, 2, "Erros2", "E2PROM"},
    {S, 1, 3, "Erros2", "OVERFLOW"},
    {S, 1, 4, "Erros2", "RTD"},
    {S, 1, 5, "Erros2", "PIC"},
    {S, 1, 6, "Erros2", "TC1"},
    {S, 1, 7, "Erros2", "TC2"},
    {S, 1, 8, "Erros2", "RTD1"},
    {S, 1, 9, "Erros2", "RTD2"},
    {S, 1, 10, "Erros2", "CAL1"},
    {S, 1, 11, "Erros2", "CAL2"},
    {S, 1, 12, "Erros2", "SALTO1"},
    {S, 1, 13, "Erros2", "SALTO2"},
};

class FlagAlone : public ::testing::TestWithParam<FlagBit> {};

TEST_P(FlagAlone, GivesExactlyItsTextInItsField) {
    const FlagBit& flag = GetParam();
    const store::LogRow row = decoded_with(flag.block, flag.word, flag.bit);
    EXPECT_EQ(test::text_of(row, flag.field), std::string("| ") + flag.text);
    for (const std::string& other : flag_fields(flag.block)) {
        if (other != flag.field) {
            EXPECT_TRUE(row.is_null(other)) << other << " written too";
        }
    }
}

std::string flag_name(const ::testing::TestParamInfo<FlagBit>& info) {
    std::string name = info.param.block == Block::Base ? "Base_" : "SecondChannel_";
    for (const char c : std::string(info.param.field)) {
        name += c == ' ' ? '_' : c;
    }
    return name + "_bit" + std::to_string(info.param.bit);
}

INSTANTIATE_TEST_SUITE_P(EveryFlag, FlagAlone, ::testing::ValuesIn(kFlagBits), flag_name);

// Every other bit of the flag words (cause bits 5 to 7, map bits 3 to 7, the relay words' high
// bytes, error bits 14 and 15) gives no flag text at all.
TEST(FlagWords, BitsOfNoFlagWriteNoFlagField) {
    const struct {
        Block block;
        std::size_t word;
    } flag_words[] = {{B, 3}, {B, 4}, {B, 5}, {S, 0}, {S, 1}};
    for (const auto& [block, word] : flag_words) {
        for (unsigned bit = 0; bit < 16; ++bit) {
            bool is_flag = false;
            for (const FlagBit& flag : kFlagBits) {
                is_flag = is_flag || (flag.block == block && flag.word == word && flag.bit == bit);
            }
            if (is_flag) {
                continue;
            }
            SCOPED_TRACE("word " + std::to_string(word) + " bit " + std::to_string(bit));
            const store::LogRow row = decoded_with(block, word, bit);
            for (const std::string& field : flag_fields(block)) {
                EXPECT_TRUE(row.is_null(field)) << field;
            }
        }
    }
}

} // namespace
} // namespace zklog::download
