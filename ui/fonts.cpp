#include "ui/fonts.h"

#include <QFont>
#include <QStringList>

namespace scale {

void installFontSubstitutes() {
    QFont::insertSubstitutions(
        QStringLiteral("隶书"),
        {QStringLiteral("LiSu"), QStringLiteral("STLiti"), QStringLiteral("AR PL UKai CN"),
         QStringLiteral("AR PL KaitiM GB"), QStringLiteral("Noto Sans CJK SC"),
         QStringLiteral("WenQuanYi Zen Hei")});
    QFont::insertSubstitutions(
        QStringLiteral("宋体"),
        {QStringLiteral("SimSun"), QStringLiteral("NSimSun"), QStringLiteral("AR PL UMing CN"),
         QStringLiteral("Noto Serif CJK SC"), QStringLiteral("WenQuanYi Zen Hei")});
}

}  // namespace scale
