#include "app/form_fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace zklog::app {

QFont form_font(double point_size) {
    // Naming the system face after Verdana lets the font match settle on it directly instead of
    // on whatever the font configuration substitutes for an unknown name.
    const QString system_sans = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    QFont font;
    font.setFamilies(QStringList{QStringLiteral("Verdana"), system_sans});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(point_size);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    return font;
}

} // namespace zklog::app
