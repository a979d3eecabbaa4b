#include "app/form_fonts.h"

#include "app/font_fallback.h"

#include <QStringList>

namespace zklog::app {

QFont form_font(double point_size) {
    QFont font;
    font.setFamilies(QStringList{QStringLiteral("Verdana")} + fallback_faces());
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(point_size);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    return font;
}

} // namespace zklog::app
