// The maxima of the field table hold the decoders' longest texts exactly: every date and time
// byte at 255 and every flag set gives the longest text each text field can get.
#include "download/base_block.h"
#include "download/second_channel_block.h"
#include "store/log_fields.h"
#include "tests/download/row_values.h"
#include "tests/support/utf8_text.h"

#include <array>
#include <gtest/gtest.h>

namespace zklog::download {
namespace {

TEST(FieldMaxima, EqualTheLongestTextsTheDecodersWrite) {
    store::LogRow row;
    const std::array<std::uint16_t, kBaseBlockWords> base{0xFFFF, 0xFFFF, 0xFFFF,
                                                          0xFFFF, 0xFFFF, 0xFFFF};
    const std::array<std::uint16_t, kSecondChannelWords> second{0xFFFF, 0xFFFF};
    decode_base_block(base, row);
    decode_second_channel_block(second, row);

    int text_fields = 0;
    for (const auto& field : store::kLogFields) {
        if (field.kind != store::FieldKind::Text) {
            EXPECT_EQ(field.max_length, 0u) << field.name;
            continue;
        }
        ++text_fields;
        const auto length = test::utf8_characters(test::text_of(row, field.name));
        ASSERT_TRUE(length.has_value()) << field.name << " is not UTF-8";
        EXPECT_EQ(*length, field.max_length) << field.name;
    }
    EXPECT_EQ(text_fields, 8);
}

TEST(FieldMaxima, CountCharactersNotBytes) {
    EXPECT_EQ(test::utf8_characters("| Mudança Relés"), 15u);
    EXPECT_EQ(test::utf8_characters(""), 0u);
    EXPECT_EQ(test::utf8_characters("\xC3"), std::nullopt);     // cut sequence
    EXPECT_EQ(test::utf8_characters("\xA7x"), std::nullopt);    // stray continuation byte
    EXPECT_EQ(test::utf8_characters("\xC0\xA7"), std::nullopt); // overlong
}

} // namespace
} // namespace zklog::download
