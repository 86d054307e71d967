// The line a single --port reads, or the stations read at once, and the formats they may name.
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "tools/scale-read/cli/optiongroups.h"
#include "tools/scale-read/cli/stationconfig.h"

namespace scaleread {
namespace {

QString formatsReference() {
    return QString::fromUtf8(scale::kFormatsReference.data(),
                             static_cast<qsizetype>(scale::kFormatsReference.size()));
}

// Adds a formats file to `catalog`; one line naming the file and what is wrong when it fails.
std::optional<QString> addFormatsFile(scale::FormatCatalog& catalog, const QString& path) {
    QFile file(path);
    constexpr qint64 kMostBytes = 1 << 20;
    if (!file.open(QIODevice::ReadOnly)) {
        return QStringLiteral("cannot read the formats file %1: %2").arg(path, file.errorString());
    }
    if (!QFileInfo(file).isFile() || file.size() > kMostBytes) {
        return QStringLiteral("the formats file %1 is not a text file of at most 1 MiB").arg(path);
    }
    const QByteArray text = file.readAll();
    if (auto error = catalog.addFile(std::string_view(text.constData(),
                                                      static_cast<std::size_t>(text.size())),
                                     path.toStdString())) {
        return QString::fromStdString(*error);
    }
    return std::nullopt;
}

// The users' formats first, so that --protocol and the stations may name them.
std::optional<OptionFault> readCatalog(OptionContext& context) {
    auto catalog = std::make_shared<scale::FormatCatalog>();
    if (!context.formatsFolder.isEmpty()) {
        const QDir folder(context.formatsFolder);
        for (const QString& name :
             folder.entryList({QStringLiteral("*.toml")}, QDir::Files, QDir::Name)) {
            if (auto refused = addFormatsFile(*catalog, folder.filePath(name))) {
                return UsageError{*refused, formatsReference()};
            }
        }
    }
    if (context.isSet("formats")) {
        if (auto refused = addFormatsFile(*catalog, context.value("formats"))) {
            return UsageError{*refused, formatsReference()};
        }
        context.options.formatsPath = context.value("formats");
    }
    context.options.catalog = catalog;
    return std::nullopt;
}

// The built-in formats, one a line, for --help.
QString protocolList() {
    QString list;
    for (const scale::FormatDescription& format : scale::builtinFormats()) {
        list += QStringLiteral("                         %1 %2\n")
                    .arg(QString::fromUtf8(format.name.data(),
                                           static_cast<qsizetype>(format.name.size())),
                         -13)
                    .arg(QString::fromUtf8(format.summary.data(),
                                           static_cast<qsizetype>(format.summary.size())));
    }
    return list;
}

std::optional<QString> storeSettings(const QString& value, ReaderOptions& options) {
    if (options.task == ReaderOptions::Task::Detect) {
        return QStringLiteral("--detect tries every setting; leave out --settings");
    }
    options.settings = value;
    if (!scale::parseLineSettings(value.toStdString())) {
        return QStringLiteral("--settings '%1' is not baud,parity,data,stop such as 9600,N,8,1")
            .arg(value);
    }
    return std::nullopt;
}

std::optional<QString> storeProtocol(const QString& value, ReaderOptions& options) {
    const scale::FormatDescription* format = options.catalog->find(value.toStdString());
    if (format == nullptr) {
        return QStringLiteral("--protocol '%1' is none of %2")
            .arg(value, protocolChoices(*options.catalog));
    }
    options.rules.format = format;
    options.protocolGiven = true;
    return std::nullopt;
}

std::optional<QString> storePollInterval(const QString& value, ReaderOptions& options) {
    std::int64_t ms = 0;
    if (auto refused = readWhole("poll-interval", value, 1, ms)) {
        return refused;
    }
    if (ms > 3'600'000) {
        return QString::fromLatin1(kReadingLimits);
    }
    options.rules.pollIntervalMs = static_cast<int>(ms);
    return std::nullopt;
}

std::optional<OptionFault> checkPollInterval(OptionContext& context) {
    if (context.isSet("poll-interval") && !context.options.rules.format->asks()) {
        return UsageError{QStringLiteral("--poll-interval is for a protocol that asks for the "
                                         "weight (command, sics, sbi, sma, 8217)")};
    }
    return std::nullopt;
}

// The stations of --station and --stations, or else the single --port.
std::optional<OptionFault> readStations(OptionContext& context) {
    ReaderOptions& options = context.options;
    if (options.task == ReaderOptions::Task::Decode) {
        return std::nullopt;
    }
    if (!context.isSet("station") && !context.isSet("stations")) {
        if (!context.isSet("port")) {
            return UsageError{QStringLiteral("--port is missing (ComN or a device path)")};
        }
        options.port = context.value("port");
        if (const auto refused =
                parsePortName(options.port, options.commPort, options.devicePath)) {
            return UsageError{QStringLiteral("--port ") + *refused};
        }
        return std::nullopt;
    }
    if (context.isSet("port")) {
        return UsageError{QStringLiteral("--port or --station, not both")};
    }
    for (const char* single : {"settings", "protocol", "record", "detect", "poll-interval"}) {
        if (context.isSet(single)) {
            return UsageError{QStringLiteral("--%1 is for a single --port; give each station "
                                             "its own settings and protocol")
                                  .arg(QLatin1String(single))};
        }
    }
    if (context.isSet("stations")) {
        const QString path = context.value("stations");
        if (QFile probe(path); !probe.open(QIODevice::ReadOnly)) {
            return FileError{QStringLiteral("cannot read the stations file %1: %2")
                                 .arg(path, probe.errorString().toLower())};
        }
        auto parsed = parseStationsFile(path, *options.catalog);
        if (const auto* refused = std::get_if<QString>(&parsed)) {
            return UsageError{*refused};
        }
        options.stations = std::get<std::vector<StationConfig>>(std::move(parsed));
    }
    for (const QString& text : context.values("station")) {
        auto parsed = parseStationLine(text, *options.catalog);
        if (const auto* refused = std::get_if<QString>(&parsed)) {
            return UsageError{*refused};
        }
        options.stations.push_back(std::get<StationConfig>(std::move(parsed)));
    }
    for (std::size_t i = 0; i < options.stations.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            if (options.stations[i].name == options.stations[j].name) {
                return UsageError{
                    QStringLiteral("station %1 given twice").arg(options.stations[i].name)};
            }
        }
    }
    return std::nullopt;
}

constexpr Modes kPort = kRead | kDetect | kCommand;

const OptionRow kLineRows[] = {
    {.name = "port",
     .valueName = "PORT",
     .help = "ComN (Com1 to Com20: the link ports/ComN beside the program, else\n"
             "the host's N-th serial port, USB adapters first, as in the window)\n"
             "or a device: a path such as /dev/ttyUSB0, or a name under /dev\n"
             "such as ttyUSB0; or over the network: tcp://HOST:PORT (a device\n"
             "server's or an indicator's own port, the bytes as they are) or\n"
             "rfc2217://HOST:PORT (a device server that sets the line to\n"
             "--settings remotely); a dropped link is retried as a lost port",
     .modes = kPort},
    {.name = "settings",
     .valueName = "B,P,D,S",
     .help = "baud, parity (N, E, O, M, S), data bits (5-8), stop bits (1, 1.5,\n"
             "2); default 9600,N,8,1",
     .modes = kPort,
     .store = storeSettings},
    {.name = "protocol",
     .valueName = "NAME",
     .help = "the indicator's format (default continuous):",
     .modes = kRead | kDecode | kCommand,
     .store = storeProtocol,
     .more = protocolList},
    {.name = "formats",
     .valueName = "FILE",
     .help = "more formats, described in FILE (TOML, one [[format]] table each:\n"
             "a regular expression with named groups for the frame's text, its\n"
             "terminator, an optional request; see man scale-read); every *.toml\n"
             "in formats/ of the settings folder (beside Setting.ini) is read too",
     .modes = kEveryMode & ~kPorts},
    {.name = "poll-interval",
     .valueName = "MS",
     .help = "a format that asks: the next request MS after a reply (default 100);\n"
             "with no reply, 600 ms after the request",
     .modes = kPort,
     .store = storePollInterval},
};

const OptionRow kStationRows[] = {
    {.name = "station",
     .valueName = "NAME=PORT[,B,P,D,S],PROTOCOL",
     .help = "one indicator (any number of times), in any format, e.g.\n"
             "gate=Com1,9600,N,8,1,continuous or silo=/dev/ttyUSB1,command;\n"
             "the settings default to 9600,N,8,1; NAME takes letters, digits,\n"
             "\"_\", \"-\" and \".\"; every record gets a \"station\" key",
     .modes = kRead | kDetect,
     .repeats = true},
    {.name = "stations",
     .valueName = "FILE",
     .help = "the same, one station a line (\"#\" comments)",
     .modes = kRead | kDetect},
    {.name = nullptr,
     .help = "  A station whose port does not open or goes away never stops the others: it is "
             "tried\n"
             "  again every 2 s, or waited for.\n"},
};

}  // namespace

const OptionGroup lineOptions{.heading = "The line:",
                              .rows = kLineRows,
                              .prepare = readCatalog,
                              .check = checkPollInterval};

const OptionGroup stationOptions{.heading = "Several stations, read at once:",
                                 .rows = kStationRows,
                                 .prepare = readStations};

}  // namespace scaleread
