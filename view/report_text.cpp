#include "view/report_text.h"

#include <QLocale>
#include <chrono>

namespace zklog::view {

QString decimal_text(double value, int digits) {
    static const QLocale brazil(QLocale::Portuguese, QLocale::Brazil);
    const QString text = brazil.toString(value, 'f', digits);
    // A mean of -0.04 rounds to "-0,0": nobody writes a minus before a zero.
    const QString zero = brazil.toString(0.0, 'f', digits);
    return text == QStringLiteral("-") + zero ? zero : text;
}

QString temperature_text(double value) {
    return decimal_text(value) + QStringLiteral(" °C");
}

QString duration_text(long long seconds) {
    const long long minutes = (seconds + 30) / 60;
    return QStringLiteral("%1:%2").arg(minutes / 60).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString stamp_text(long long seconds_since_2000) {
    using namespace std::chrono;
    const sys_days origin = year_month_day{year(2000), month(1), day(1)};
    const long long day_number = seconds_since_2000 / 86400;
    const long long second_of_day = seconds_since_2000 % 86400;
    const year_month_day date{origin + days(day_number)};
    return QStringLiteral("%1/%2/%3 %4:%5:%6")
        .arg(static_cast<unsigned>(date.day()), 2, 10, QLatin1Char('0'))
        .arg(static_cast<unsigned>(date.month()), 2, 10, QLatin1Char('0'))
        .arg(static_cast<int>(date.year()), 4, 10, QLatin1Char('0'))
        .arg(second_of_day / 3600, 2, 10, QLatin1Char('0'))
        .arg(second_of_day / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(second_of_day % 60, 2, 10, QLatin1Char('0'));
}

} // namespace zklog::view
