// Reading decoded values back from a row, failing the test on a NULL or a wrong kind.
#pragma once

#include "store/log_row.h"

#include <gtest/gtest.h>

namespace zklog::test {

inline std::string text_of(const store::LogRow& row, std::string_view field) {
    const auto* text = std::get_if<std::string>(&row.get(field));
    EXPECT_NE(text, nullptr) << field << " is not a text";
    return text ? *text : std::string();
}

inline double real_of(const store::LogRow& row, std::string_view field) {
    const auto* real = std::get_if<double>(&row.get(field));
    EXPECT_NE(real, nullptr) << field << " is not a double";
    return real ? *real : 0.0;
}

inline std::int64_t integer_of(const store::LogRow& row, std::string_view field) {
    const auto* integer = std::get_if<std::int64_t>(&row.get(field));
    EXPECT_NE(integer, nullptr) << field << " is not an integer";
    return integer ? *integer : -1;
}

} // namespace zklog::test
