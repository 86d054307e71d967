#include "tools/scale-read/serve/serveoptions.h"

#include "tools/scale-read/cli/optiongroups.h"

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

namespace {

std::optional<OptionFault> checkServe(OptionContext& context) {
    if (!context.isSet("serve")) {
        return std::nullopt;
    }
    if (context.options.task != ReaderOptions::Task::Read) {
        return UsageError{QStringLiteral("--serve serves what is read from ports; not with "
                                         "--input or --detect")};
    }
    QStringList names;
    for (const StationConfig& station : context.options.stations) {
        names << station.name;
    }
    auto targets = readServeTargets(context.values("serve"), names);
    if (const auto* refused = std::get_if<QString>(&targets)) {
        return UsageError{*refused};
    }
    context.options.serve = std::get<std::vector<ServeTarget>>(std::move(targets));
    context.options.serveCommands = context.isSet("allow-commands");
    return std::nullopt;
}

const OptionRow kServeRows[] = {
    {.name = "serve",
     .valueName = "[STATION=]FORMAT://[ADDR:]PORT",
     .help = "answer software that asks in FORMAT (sics, sma or 8217) on a TCP\n"
             "port (address 127.0.0.1 unless given; port 0 takes a free one,\n"
             "named in a note) with the station's weight: sics SI, S (the next\n"
             "stable one), Z, T, TAC and @; sma W, Z, T, C; 8217 W, Z. A weight\n"
             "is served only while fresh (a frame within 2 s, the port open),\n"
             "else sics S I, sma ?, 8217 a motion status. Repeatable; STATION=\n"
             "names one of --station's. [STATION=]FORMAT:LINK: the same on a\n"
             "pseudo-terminal linked at LINK, for software that opens a port",
     .modes = kEveryMode & ~kPorts,
     .repeats = true},
    {.name = "allow-commands",
     .help = "pass zero and tare from --serve's clients to the indicator; else\n"
             "they are refused in the served format's words (sics Z I, T I)",
     .again = true},
};

}  // namespace

const OptionGroup serveOptions{
    .heading = "Serving a station as an indicator of another format:",
    .rows = kServeRows,
    .check = checkServe};

}  // namespace scaleread
