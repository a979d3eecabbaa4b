#include "view/chart_tip.h"

#include <cmath>

namespace zklog::view {

namespace {

QString qt_text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

std::optional<std::size_t> nearest_record(std::span<const double> x, double at) {
    if (x.empty()) {
        return std::nullopt;
    }
    std::size_t best = 0;
    for (std::size_t i = 1; i < x.size(); ++i) {
        if (std::abs(x[i] - at) < std::abs(x[best] - at)) {
            best = i;
        }
    }
    return best;
}

QString record_tip(const ChartData& data, std::size_t record) {
    QString text = QStringLiteral("Registro %1  %2 %3")
                       .arg(record + 1)
                       .arg(QString::fromStdString(data.dates[record]),
                            QString::fromStdString(data.times[record]));
    for (std::size_t s = 0; s < kTemperatureFields.size(); ++s) {
        const double v = data.temperatures[s][record];
        if (std::isnan(v)) {
            continue;
        }
        text += QStringLiteral("\n%1: %2 °C").arg(qt_text(kTemperatureFields[s])).arg(v);
        if ((data.faults[record] & (1U << s)) != 0) {
            text += QStringLiteral(" (falha do sensor)");
        }
    }
    for (std::size_t s = 0; s < kDifferentialFields.size(); ++s) {
        const double v = data.differentials[s][record];
        if (!std::isnan(v)) {
            text += QStringLiteral("\n%1: %2 °C").arg(qt_text(kDifferentialFields[s])).arg(v);
        }
    }
    return text;
}

} // namespace zklog::view
