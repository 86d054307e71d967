#include "tools/scale-read/serve/serveoptions.h"

#include <QHostAddress>
#include <QRegularExpression>

namespace scaleread {
namespace {

std::variant<ServeTarget, QString> readTarget(const QString& text, const QStringList& stations) {
    static const QRegularExpression pattern(
        QStringLiteral("^(?:([A-Za-z0-9_.-]+)=)?([a-z0-9]+)(://(.*)|:(.+))$"));
    const auto match = pattern.match(text);
    const QString usage =
        QStringLiteral("--serve '%1' is not [STATION=]FORMAT://[ADDR:]PORT or "
                       "[STATION=]FORMAT:LINK")
            .arg(text);
    if (!match.hasMatch()) {
        return usage;
    }
    ServeTarget target;
    target.station = match.captured(1);
    target.format = servedFormatNamed(match.captured(2).toStdString());
    if (!target.format) {
        return QStringLiteral("--serve '%1': %2 cannot be served; %3 can")
            .arg(text, match.captured(2), QString::fromStdString(servedFormatNames()));
    }
    if (stations.isEmpty() && !target.station.isEmpty()) {
        return QStringLiteral("--serve '%1': a single --port serves without a station name")
            .arg(text);
    }
    if (!stations.isEmpty() && !stations.contains(target.station)) {
        return QStringLiteral("--serve '%1': name one of the stations (%2) before '='")
            .arg(text, stations.join(QStringLiteral(", ")));
    }
    if (match.capturedLength(5) > 0) {
        target.link = match.captured(5);
        return target;
    }
    const QString place = match.captured(4);
    const qsizetype colon = place.lastIndexOf(QLatin1Char(':'));
    target.address = colon < 0 ? QStringLiteral("127.0.0.1") : place.left(colon);
    bool ok = false;
    const uint port = place.mid(colon + 1).toUInt(&ok);
    if (!ok || port > 65535 || QHostAddress(target.address).isNull()) {
        return QStringLiteral("--serve '%1': expected an address and a port from 0 to 65535")
            .arg(text);
    }
    target.port = static_cast<quint16>(port);
    return target;
}

}  // namespace

std::variant<std::vector<ServeTarget>, QString> readServeTargets(const QStringList& values,
                                                                 const QStringList& stations) {
    std::vector<ServeTarget> targets;
    for (const QString& value : values) {
        auto target = readTarget(value, stations);
        if (const auto* refused = std::get_if<QString>(&target)) {
            return *refused;
        }
        targets.push_back(std::get<ServeTarget>(std::move(target)));
    }
    return targets;
}

QString serveHelp() {
    return QStringLiteral(
        "Serving a station as an indicator of another format:\n"
        "  --serve [STATION=]FORMAT://[ADDR:]PORT\n"
        "                         answer software that asks in FORMAT (%1) on a TCP\n"
        "                         port (address 127.0.0.1 unless given; port 0 takes a free one,\n"
        "                         named in a note) with the station's weight: sics SI, S (the\n"
        "                         next stable one), Z, T, TAC and @; sma W, Z, T, C; 8217 W, Z.\n"
        "                         A weight is served only while fresh (a frame within 2 s, the\n"
        "                         port open), else sics S I, sma ?, 8217 a motion status. Zero\n"
        "                         and tare go to the indicator only with --allow-commands, else\n"
        "                         they are refused in the format's words. Repeatable; STATION=\n"
        "                         names one of --station's\n"
        "  --serve [STATION=]FORMAT:LINK\n"
        "                         the same on a pseudo-terminal linked at LINK, for software\n"
        "                         that opens a serial port\n")
        .arg(QString::fromStdString(servedFormatNames()));
}

}  // namespace scaleread
