#include "ui/fonts.h"

#include <QFont>
#include <QStringList>

namespace scale {

void installFontSubstitutes() {
    QFont::insertSubstitutions(
        QStringLiteral("隶书"),
        // The readout shows only digits, "kg" and "Load...": a condensed face keeps a weight
        // inside the window the way the narrow clerical face does.
        {QStringLiteral("LiSu"), QStringLiteral("STLiti"), QStringLiteral("Nimbus Sans Narrow"),
         QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("AR PL UKai CN"),
         QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Zen Hei")});
    QFont::insertSubstitutions(
        QStringLiteral("宋体"),
        {QStringLiteral("SimSun"), QStringLiteral("NSimSun"), QStringLiteral("AR PL UMing CN"),
         QStringLiteral("Noto Serif CJK SC"), QStringLiteral("WenQuanYi Zen Hei")});
}

}  // namespace scale
