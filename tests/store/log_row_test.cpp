#include "store/log_row.h"

#include <gtest/gtest.h>

namespace zklog::store {
namespace {

TEST(LogRow, StartsWithEveryFieldNull) {
    LogRow row;
    for (const auto& field : kLogFields) {
        EXPECT_TRUE(row.is_null(field.name)) << field.name;
    }
}

TEST(LogRow, FieldsAreAddressedByTheirExactNames) {
    LogRow row;
    row.set("Reles Ativos", std::string("| RL1"));
    row.set("Dif Filtrado3", -0.1);
    row.set("CRC", std::int64_t{65535});
    EXPECT_EQ(std::get<std::string>(row.get("Reles Ativos")), "| RL1");
    EXPECT_EQ(std::get<double>(row.get("Dif Filtrado3")), -0.1);
    EXPECT_EQ(std::get<std::int64_t>(row.get("CRC")), 65535);
    EXPECT_TRUE(row.is_null("Reles Ativos2"));

    EXPECT_THROW(row.set("RelesAtivos", std::string("x")), std::invalid_argument);
    EXPECT_THROW(row.get("rtd1"), std::invalid_argument);
}

TEST(LogRow, RefusesAValueOfTheWrongKind) {
    LogRow row;
    EXPECT_THROW(row.set("RTD1", std::string("25")), std::invalid_argument);
    EXPECT_THROW(row.set("Data", 1.0), std::invalid_argument);
    EXPECT_THROW(row.set("CRC_Valido", 1.0), std::invalid_argument);
    EXPECT_TRUE(row.is_null("RTD1"));
}

} // namespace
} // namespace zklog::store
