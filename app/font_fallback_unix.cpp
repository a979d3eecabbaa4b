#include "app/font_fallback.h"

#include <QFontDatabase>

namespace zklog::app {

QStringList fallback_faces() {
    // Naming the system face lets the font match settle on it directly instead of on whatever
    // the font configuration substitutes for an unknown name.
    return {QFontDatabase::systemFont(QFontDatabase::GeneralFont).family()};
}

} // namespace zklog::app
