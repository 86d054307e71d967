#include "tools/scale-read/cli/stationconfig.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "device/linesettings.h"
#include "device/network/networkline.h"
#include "tools/scale-read/mqtt/mqtttarget.h"

namespace scaleread {

std::optional<QString> parsePortName(const QString& port, int& commPort, QString& devicePath) {
    static const QRegularExpression comPort(QStringLiteral("^[Cc][Oo][Mm]([0-9]+)$"));
    const auto match = comPort.match(port);
    devicePath.clear();
    if (match.hasMatch()) {
        bool ok = false;
        commPort = match.captured(1).toInt(&ok);
        if (!ok || commPort < 1 || commPort > 20) {
            return QStringLiteral("%1: ports go from Com1 to Com20").arg(port);
        }
        return std::nullopt;
    }
    if (port.isEmpty()) {
        return QStringLiteral("the port is empty");
    }
    commPort = 1;
    if (scale::isNetworkLine(port.toStdString())) {
        std::string problem;
        if (!scale::parseNetworkLine(port.toStdString(), &problem)) {
            return QStringLiteral("%1: %2").arg(port, QString::fromStdString(problem));
        }
        devicePath = port;
        return std::nullopt;
    }
    if (!port.contains(QLatin1Char('/'))) {
        devicePath = QStringLiteral("/dev/") + port;  // "ttyUSB0"
    } else {
        // The serial port takes a name without a leading "/" as one under /dev.
        devicePath = QFileInfo(port).absoluteFilePath();
    }
    return std::nullopt;
}

StationConfig singleStation(const QString& port, int commPort, const QString& devicePath,
                            const QString& settings, const scale::FormatDescription* format) {
    QString name = QFileInfo(port).fileName();
    for (QChar& c : name) {
        if (!c.isLetterOrNumber() && c != QLatin1Char('_') && c != QLatin1Char('-') &&
            c != QLatin1Char('.')) {
            c = QLatin1Char('_');
        }
    }
    StationConfig station;
    station.name = name.isEmpty() ? QStringLiteral("scale") : name;
    station.port = port;
    station.commPort = commPort;
    station.devicePath = devicePath;
    station.settings = settings;
    station.format = format;
    return station;
}

QString protocolChoices(const scale::FormatCatalog& catalog) {
    QStringList names;
    for (const scale::FormatDescription* format : catalog.formats()) {
        names << QString::fromUtf8(format->name.data(), static_cast<qsizetype>(format->name.size()));
    }
    return names.join(QStringLiteral(", "));
}

std::variant<StationConfig, QString> parseStationLine(const QString& text,
                                                      const scale::FormatCatalog& catalog) {
    const QString usage = QStringLiteral("station '%1' is not NAME=PORT[,B,P,D,S],PROTOCOL").arg(text);
    const qsizetype equals = text.indexOf(QLatin1Char('='));
    if (equals <= 0) {
        return usage;
    }
    StationConfig config;
    config.name = text.left(equals).trimmed();
    if (!isTopicLevel(config.name)) {
        return QStringLiteral("station name '%1': letters, digits, '_', '-' and '.' only")
            .arg(config.name);
    }
    const QStringList fields = text.mid(equals + 1).split(QLatin1Char(','));
    if (fields.size() != 2 && fields.size() != 6) {
        return usage;
    }
    config.port = fields.first().trimmed();
    if (const auto error = parsePortName(config.port, config.commPort, config.devicePath)) {
        return QStringLiteral("station %1: %2").arg(config.name, *error);
    }
    if (fields.size() == 6) {
        config.settings = fields.mid(1, 4).join(QLatin1Char(','));
        if (!scale::parseLineSettings(config.settings.toStdString())) {
            return QStringLiteral("station %1: '%2' is not baud,parity,data,stop such as "
                                  "9600,N,8,1")
                .arg(config.name, config.settings);
        }
    }
    const scale::FormatDescription* format = catalog.find(fields.last().trimmed().toStdString());
    if (format == nullptr) {
        return QStringLiteral("station %1: '%2' is not a protocol (%3)")
            .arg(config.name, fields.last().trimmed(), protocolChoices(catalog));
    }
    config.format = format;
    return config;
}

std::variant<std::vector<StationConfig>, QString> parseStationsFile(
    const QString& path, const scale::FormatCatalog& catalog) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return QStringLiteral("cannot read the stations file %1: %2").arg(path, file.errorString());
    }
    std::vector<StationConfig> stations;
    int number = 0;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        ++number;
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) {
            continue;
        }
        auto parsed = parseStationLine(line, catalog);
        if (const auto* error = std::get_if<QString>(&parsed)) {
            return QStringLiteral("%1 line %2: %3").arg(path).arg(number).arg(*error);
        }
        stations.push_back(std::get<StationConfig>(std::move(parsed)));
    }
    if (stations.empty()) {
        return QStringLiteral("the stations file %1 names no station").arg(path);
    }
    return stations;
}

}  // namespace scaleread
