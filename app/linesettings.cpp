#include "app/linesettings.h"

#include <QStringList>

namespace scale {

std::optional<LineSettings> parseLineSettings(const QString& text) {
    const QStringList fields = text.split(QLatin1Char(','));
    if (fields.size() != 4) {
        return std::nullopt;
    }
    LineSettings settings;
    bool ok = false;
    const QString baud = fields[0].trimmed();
    settings.baud = baud.toInt(&ok);
    if (!ok || settings.baud <= 0 || baud.startsWith(QLatin1Char('+'))) {
        return std::nullopt;
    }

    const QString parity = fields[1].trimmed().toUpper();
    if (parity == QLatin1String("N")) {
        settings.parity = Parity::None;
    } else if (parity == QLatin1String("E")) {
        settings.parity = Parity::Even;
    } else if (parity == QLatin1String("O")) {
        settings.parity = Parity::Odd;
    } else if (parity == QLatin1String("M")) {
        settings.parity = Parity::Mark;
    } else if (parity == QLatin1String("S")) {
        settings.parity = Parity::Space;
    } else {
        return std::nullopt;
    }

    settings.dataBits = fields[2].trimmed().toInt(&ok);
    if (!ok || settings.dataBits < 5 || settings.dataBits > 8) {
        return std::nullopt;
    }

    const QString stop = fields[3].trimmed();
    if (stop == QLatin1String("1")) {
        settings.stopBits = StopBits::One;
    } else if (stop == QLatin1String("1.5")) {
        settings.stopBits = StopBits::OneAndHalf;
    } else if (stop == QLatin1String("2")) {
        settings.stopBits = StopBits::Two;
    } else {
        return std::nullopt;
    }
    return settings;
}

}  // namespace scale
