// The series' colours, shared by the lines, their switches, the fault marks and the lanes.
#pragma once

#include <QColor>
#include <array>

namespace zklog::view {

inline QColor series_colour(std::size_t index) {
    static const std::array<QColor, 10> kPalette{
        QColor(31, 119, 180),  QColor(255, 127, 14), QColor(44, 160, 44),   QColor(214, 39, 40),
        QColor(148, 103, 189), QColor(140, 86, 75),  QColor(227, 119, 194), QColor(127, 127, 127),
        QColor(188, 189, 34),  QColor(23, 190, 207)};
    return kPalette[index % kPalette.size()];
}

} // namespace zklog::view
