#include "ui/fonts.h"

#include <QFont>
#include <QFontDatabase>
#include <QStringList>

namespace scale {
namespace {

// Only the first face of `candidates` that this host has: every face named in a substitution
// costs a font-matching pass when it is missing, which made start-up twice as slow.
void substituteFirstInstalled(const QString& family, const QStringList& candidates,
                              const QStringList& installed) {
    for (const QString& candidate : candidates) {
        if (installed.contains(candidate, Qt::CaseInsensitive)) {
            QFont::insertSubstitution(family, candidate);
            return;
        }
    }
}

// The host's families without the foundry Qt appends where two foundries make one family
// ("Nimbus Sans Narrow [urw]").
QStringList installedFamilies() {
    QStringList families;
    for (const QString& family : QFontDatabase::families()) {
        families << family.section(QStringLiteral(" ["), 0, 0);
    }
    return families;
}

}  // namespace

void installFontSubstitutes() {
    const QStringList installed = installedFamilies();
    if (!installed.contains(QStringLiteral("隶书"))) {
        // The readout shows only digits, "kg" and "Load...": a condensed face keeps a weight
        // inside the window the way the narrow clerical face does.
        substituteFirstInstalled(
            QStringLiteral("隶书"),
            {QStringLiteral("LiSu"), QStringLiteral("STLiti"), QStringLiteral("Nimbus Sans Narrow"),
             QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("AR PL UKai CN"),
             QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Zen Hei")},
            installed);
    }
    if (!installed.contains(QStringLiteral("宋体"))) {
        substituteFirstInstalled(
            QStringLiteral("宋体"),
            {QStringLiteral("SimSun"), QStringLiteral("NSimSun"), QStringLiteral("AR PL UMing CN"),
             QStringLiteral("Noto Serif CJK SC"), QStringLiteral("WenQuanYi Zen Hei")},
            installed);
    }
}

QStringList selectionBoxFamilies() {
    // The boxes leave 30 to 46 pixels for their texts ("None", "Com20", "256000"), which the
    // design's dialog face fills with narrow Latin glyphs. Its stand-in can be a serif CJK face
    // whose Latin glyphs are wider, so the boxes name a narrow sans face of their own, the same
    // whichever CJK fonts are installed, and simplified-Chinese sans faces for "连续", "指令" and
    // "申通" (left to itself, Qt may draw them in a Japanese face).
    const QStringList installed = installedFamilies();
    QStringList families;
    for (const QString& family :
         {QStringLiteral("Nimbus Sans Narrow"), QStringLiteral("Noto Sans CJK SC"),
          QStringLiteral("WenQuanYi Zen Hei")}) {
        if (installed.contains(family, Qt::CaseInsensitive)) {
            families << family;
        }
    }
    return families;
}

}  // namespace scale
