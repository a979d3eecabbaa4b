#include "download/second_channel_block.h"
#include "tests/download/row_values.h"

#include <array>
#include <gtest/gtest.h>

namespace zklog::download {
namespace {

using test::real_of;
using test::text_of;
using Words = std::array<std::uint16_t, 8>;

store::LogRow decoded(const Words& words) {
    store::LogRow row;
    decode_second_channel_block(words, row);
    return row;
}

TEST(SecondChannelFlags, RelaysFromTheLowByteOfWordZero) {
    EXPECT_EQ(text_of(decoded({0x0081}), "Reles Ativos2"), "| RL1| RL8");
    EXPECT_TRUE(decoded({0xFF00}).is_null("Reles Ativos2"));
}

TEST(SecondChannelFlags, ErrorBitZeroIsZKAOtherBitsAsInTheBaseBlock) {
    EXPECT_EQ(text_of(decoded({0, 0x0001}), "Erros2"), "| ZKA");
    EXPECT_EQ(text_of(decoded({0, 0x3FFF}), "Erros2"),
              "| ZKA| SUP| E2PROM| OVERFLOW| RTD| PIC| TC1| TC2| RTD1| RTD2| CAL1| CAL2| "
              "SALTO1| SALTO2");
    EXPECT_TRUE(decoded({0, 0xC000}).is_null("Erros2"));
}

TEST(SecondChannelReadings, SignedTenthsAndUnsignedHundredthsInWordOrder) {
    auto row = decoded({0, 0, 0x00FA, 0x8000, 0xFF9C, 0xFFFF, 0x0064, 0x8000});
    EXPECT_EQ(real_of(row, "RTD3"), 25.0);
    EXPECT_EQ(real_of(row, "RTD4"), -3276.8);
    EXPECT_EQ(real_of(row, "Enrolamento2"), -10.0);
    EXPECT_EQ(real_of(row, "Enrolamento3"), -0.1);
    EXPECT_EQ(real_of(row, "TC3"), 1.0);
    EXPECT_EQ(real_of(row, "TC4"), 327.68);

    row = decoded({0, 0, 0x0000, 0x7FFF, 0, 0, 0x3039, 0xFFFF});
    EXPECT_EQ(real_of(row, "RTD3"), 0.0);
    EXPECT_EQ(real_of(row, "RTD4"), 3276.7);
    EXPECT_EQ(real_of(row, "TC3"), 123.45);
    EXPECT_EQ(real_of(row, "TC4"), 655.35);
    EXPECT_TRUE(row.is_null("RTD1"));
    EXPECT_TRUE(row.is_null("Reles Ativos"));
}

} // namespace
} // namespace zklog::download
