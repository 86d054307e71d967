// The line-settings parser on arbitrary text; an accepted text's settings written in the
// canonical "2400,N,8,1" form must parse to the same settings.

#include <QString>
#include <cstddef>
#include <cstdint>

#include "device/linesettings.h"
#include "fuzz/checks/fuzzcheck.h"

namespace {

using namespace scale;
using fuzz::require;

QString canonicalText(const LineSettings& settings) {
    static constexpr char kParity[] = {'N', 'E', 'O', 'M', 'S'};
    static const QString kStop[] = {QStringLiteral("1"), QStringLiteral("1.5"),
                                    QStringLiteral("2")};
    return QStringLiteral("%1,%2,%3,%4")
        .arg(settings.baud)
        .arg(QLatin1Char(kParity[static_cast<int>(settings.parity)]))
        .arg(settings.dataBits)
        .arg(kStop[static_cast<int>(settings.stopBits)]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto settings = parseLineSettings(text.toStdString());
    if (!settings) {
        return 0;
    }
    require(settings->baud > 0, "the baud is above 0");
    require(settings->dataBits >= 5 && settings->dataBits <= 8, "data bits are 5 to 8");
    const int parity = static_cast<int>(settings->parity);
    const int stop = static_cast<int>(settings->stopBits);
    require(parity >= 0 && parity <= 4 && stop >= 0 && stop <= 2, "parity and stop bits are named");
    require(parseLineSettings(canonicalText(*settings).toStdString()) == settings,
            "the settings written out parse back the same");
    return 0;
}
