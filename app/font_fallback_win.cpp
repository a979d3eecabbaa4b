#include "app/font_fallback.h"

#include <QFontDatabase>

namespace zklog::app {

QStringList fallback_faces() {
    // Every Windows has Verdana. Where it is missing (Wine without Microsoft's fonts), Tahoma:
    // Verdana's narrower sibling by the same designer, which Windows and Wine's own fonts
    // carry, so every caption still fits its place. The system face named last is Wine's
    // "MS Shell Dlg", an alias that Qt's font match does not follow and draws in a serif.
    return {QStringLiteral("Tahoma"),
            QFontDatabase::systemFont(QFontDatabase::GeneralFont).family()};
}

} // namespace zklog::app
