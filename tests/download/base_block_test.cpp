#include "download/base_block.h"
#include "tests/download/row_values.h"

#include <algorithm>
#include <array>
#include <gtest/gtest.h>

namespace zklog::download {
namespace {

using test::real_of;
using test::text_of;
using Words = std::array<std::uint16_t, 10>;

// Characters, not bytes: the texts are UTF-8 ("Mudança Relés").
std::size_t characters(const std::string& text) {
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

store::LogRow decoded(const Words& words, std::uint32_t* map_flags = nullptr) {
    store::LogRow row;
    const std::uint32_t flags = decode_base_block(words, row);
    if (map_flags) {
        *map_flags = flags;
    }
    return row;
}

TEST(BaseBlockTimeStamp, BytesInStoredOrderAsPlainDecimals) {
    auto row = decoded({0x0C03, 0x0912, 0x0507});
    EXPECT_EQ(text_of(row, "Data"), "12/3/9");
    EXPECT_EQ(text_of(row, "Hora"), "18:5:7");

    row = decoded({0x0000, 0x0000, 0x0000});
    EXPECT_EQ(text_of(row, "Data"), "0/0/0");
    EXPECT_EQ(text_of(row, "Hora"), "0:0:0");

    row = decoded({0xFFFF, 0xFF00, 0x0000});
    EXPECT_EQ(text_of(row, "Data"), "255/255/255");
    row = decoded({0x0000, 0x00FF, 0xFFFF});
    EXPECT_EQ(text_of(row, "Hora"), "255:255:255");
}

TEST(BaseBlockFlags, CauseFlagsInBitOrderAndNullWhenNoneSet) {
    auto row = decoded({0, 0, 0, 0x0500});
    EXPECT_EQ(text_of(row, "Causa"), "| Tempo LOG Atingido| Histerese");
    row = decoded({0, 0, 0, 0x1F00});
    EXPECT_EQ(text_of(row, "Causa"),
              "| Tempo LOG Atingido| Power Up| Histerese| Mudança Erros| Mudança Relés");
    EXPECT_EQ(characters(text_of(row, "Causa")), 71u);
    EXPECT_TRUE(decoded({0, 0, 0, 0x0000}).is_null("Causa"));
    EXPECT_TRUE(decoded({0, 0, 0, 0xE000}).is_null("Causa")); // bits 5 to 7 mean nothing
}

TEST(BaseBlockFlags, MapFlagsAreTheLowByteOfWordThree) {
    std::uint32_t map_flags = 0;
    auto row = decoded({0, 0, 0, 0x0007}, &map_flags);
    EXPECT_EQ(text_of(row, "Mapas"), "| ZKA| ZKB| WPX");
    EXPECT_EQ(map_flags, 0x07u);
    EXPECT_TRUE(row.is_null("Causa"));

    row = decoded({0, 0, 0, 0x00F8}, &map_flags);
    EXPECT_TRUE(row.is_null("Mapas"));
    EXPECT_EQ(map_flags, 0xF8u);
}

TEST(BaseBlockFlags, RelaysFromTheLowByteOnly) {
    auto row = decoded({0, 0, 0, 0, 0x0081});
    EXPECT_EQ(text_of(row, "Reles Ativos"), "| RL1| RL8");
    row = decoded({0, 0, 0, 0, 0x00FF});
    EXPECT_EQ(text_of(row, "Reles Ativos"), "| RL1| RL2| RL3| RL4| RL5| RL6| RL7| RL8");
    EXPECT_TRUE(decoded({0, 0, 0, 0, 0xFF00}).is_null("Reles Ativos"));
}

TEST(BaseBlockFlags, ErrorFlagsBitZeroIsZKBAndBitsAboveThirteenMeanNothing) {
    auto row = decoded({0, 0, 0, 0, 0, 0x0001});
    EXPECT_EQ(text_of(row, "Erros"), "| ZKB");
    row = decoded({0, 0, 0, 0, 0, 0x3FFF});
    EXPECT_EQ(text_of(row, "Erros"), "| ZKB| SUP| E2PROM| OVERFLOW| RTD| PIC| TC1| TC2| RTD1| "
                                     "RTD2| CAL1| CAL2| SALTO1| SALTO2");
    EXPECT_EQ(characters(text_of(row, "Erros")), 88u);
    EXPECT_TRUE(decoded({0, 0, 0, 0, 0, 0xC000}).is_null("Erros"));
}

TEST(BaseBlockReadings, SignedTenthsForRtdAndWindingHundredthsForTc) {
    const auto tenths = std::to_array<std::pair<std::uint16_t, double>>({
        {0x0000, 0.0},
        {0x00FA, 25.0},
        {0x7FFF, 3276.7},
        {0x8000, -3276.8},
        {0xFC18, -100.0},
        {0xFFEC, -2.0},
        {0xFFFF, -0.1},
    });
    for (const auto& [word, value] : tenths) {
        auto row = decoded({0, 0, 0, 0, 0, 0, word, word, 0, word});
        EXPECT_EQ(real_of(row, "RTD1"), value) << std::hex << word;
        EXPECT_EQ(real_of(row, "RTD2"), value) << std::hex << word;
        EXPECT_EQ(real_of(row, "Enrolamento"), value) << std::hex << word;
    }
    EXPECT_EQ(real_of(decoded({0, 0, 0, 0, 0, 0, 0, 0, 0x8000}), "TC1"), 327.68);
    EXPECT_EQ(real_of(decoded({0, 0, 0, 0, 0, 0, 0, 0, 0xFFFF}), "TC1"), 655.35);
    EXPECT_EQ(real_of(decoded({0, 0, 0, 0, 0, 0, 0, 0, 0x3039}), "TC1"), 123.45);
}

TEST(BaseBlockReadings, WritesNoFieldOfTheOtherBlocks) {
    auto row = decoded({0x0C03, 0x0912, 0x0507, 0xFFFF, 0xFFFF, 0xFFFF, 1, 2, 3, 4});
    for (const char* field :
         {"Reles Ativos2", "Erros2", "RTD3", "TC4", "Dif Filtrado1", "CRC", "CRC_Valido"}) {
        EXPECT_TRUE(row.is_null(field)) << field;
    }
}

} // namespace
} // namespace zklog::download
