#include "store/log_stamp.h"

#include <array>
#include <charconv>
#include <chrono>

namespace zklog::store {

namespace {

// Three numbers of one to `max_digits` digits each, split by `separator`, nothing else.
std::optional<std::array<int, 3>> three_numbers(std::string_view text, char separator,
                                                std::size_t max_digits) {
    std::array<int, 3> numbers{};
    const char* p = text.data();
    const char* const end = text.data() + text.size();
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        if (i > 0) {
            if (p == end || *p != separator) {
                return std::nullopt;
            }
            ++p;
        }
        const auto [next, error] = std::from_chars(p, end, numbers[i]);
        const auto digits = static_cast<std::size_t>(next - p);
        if (error != std::errc{} || digits == 0 || digits > max_digits || *p == '-' || *p == '+') {
            return std::nullopt;
        }
        p = next;
    }
    if (p != end) {
        return std::nullopt;
    }
    return numbers;
}

} // namespace

std::optional<TimeStamp> parse_time_stamp(std::string_view data, std::string_view hora) {
    const auto date = three_numbers(data, '/', 2);
    const auto time = three_numbers(hora, ':', 2);
    if (!date || !time) {
        return std::nullopt;
    }
    const TimeStamp stamp{2000 + (*date)[2], (*date)[1], (*date)[0],
                          (*time)[0],        (*time)[1], (*time)[2]};
    const std::chrono::year_month_day ymd{std::chrono::year(stamp.year),
                                          std::chrono::month(static_cast<unsigned>(stamp.month)),
                                          std::chrono::day(static_cast<unsigned>(stamp.day))};
    if (!ymd.ok() || stamp.hour > 23 || stamp.minute > 59 || stamp.second > 59) {
        return std::nullopt;
    }
    return stamp;
}

long long seconds_since_2000(const TimeStamp& stamp) {
    using namespace std::chrono;
    const sys_days day = year_month_day{year(stamp.year), month(static_cast<unsigned>(stamp.month)),
                                        std::chrono::day(static_cast<unsigned>(stamp.day))};
    const sys_days origin = year_month_day{year(2000), month(1), std::chrono::day(1)};
    return (day - origin).count() * 86400LL + stamp.hour * 3600LL + stamp.minute * 60LL +
           stamp.second;
}

} // namespace zklog::store
