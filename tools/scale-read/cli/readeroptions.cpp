#include "tools/scale-read/cli/readeroptions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>

#include "tools/scale-read/cli/stationconfig.h"
#include "tools/scale-read/http/httpoptions.h"
#include "tools/scale-read/serve/serveoptions.h"

namespace scaleread {
namespace {

struct Option {
    const char* name;
    bool takesValue;
    bool repeats = false;
};

constexpr Option kOptions[] = {
    {"port", true},          {"settings", true},      {"protocol", true},
    {"poll-interval", true}, {"output", true},        {"format", true},
    {"errors", false},       {"changes-only", false}, {"stable-only", false},
    {"stable-band", true},   {"stable-time", true},   {"detect", false},
    {"record", true},        {"input", true},         {"reconnect-timeout", true},
    {"duration", true},      {"count", true},         {"station", true, true},
    {"stations", true},      {"mqtt", true},          {"mqtt-ca", true},
    {"mqtt-user", true},     {"mqtt-prefix", true},   {"mqtt-queue", true},
    {"help", false},         {"version", false},      {"quiet", false},
    {"overwrite", false},    {"local-time", false},   {"formats", true},
    {"ports", false},        {"station-line", true},   {"command", true},
    {"http", true},          {"http-token-file", true}, {"http-origin", true, true},
    {"http-max-clients", true}, {"allow-commands", false}, {"serve", true, true},
};

// The short forms, as tio and mosquitto's clients take them.
constexpr std::pair<const char*, const char*> kShortForms[] = {{"-h", "help"}, {"-V", "version"}};

// The command line by option name, each with its values in order.
class GivenOptions {
public:
    bool isSet(const char* name) const { return m_values.contains(QLatin1String(name)); }
    QString value(const char* name) const {
        const QStringList all = values(name);
        return all.isEmpty() ? QString() : all.last();
    }
    QStringList values(const char* name) const { return m_values.value(QLatin1String(name)); }

    // Takes "--name value", "--name=value", flags and the short forms. A message naming the
    // argument as typed when one is unknown, lacks its value or stands alone.
    std::optional<QString> read(const QStringList& arguments) {
        for (qsizetype i = 0; i < arguments.size(); ++i) {
            const QString& argument = arguments[i];
            QString name;
            for (const auto& [shortForm, longName] : kShortForms) {
                if (argument == QLatin1String(shortForm)) {
                    name = QLatin1String(longName);
                }
            }
            if (name.isEmpty() && !argument.startsWith(QLatin1String("--"))) {
                return argument.startsWith(QLatin1Char('-')) && argument.size() > 1
                           ? QStringLiteral("unknown option %1").arg(argument)
                           : QStringLiteral("unexpected argument '%1'").arg(argument);
            }
            const qsizetype equals = argument.indexOf(QLatin1Char('='));
            const QString typed = name.isEmpty() ? argument.left(equals) : argument;
            if (name.isEmpty()) {
                name = typed.mid(2);
            }
            const auto* option =
                std::find_if(std::begin(kOptions), std::end(kOptions),
                             [&](const Option& o) { return name == QLatin1String(o.name); });
            if (option == std::end(kOptions)) {
                return QStringLiteral("unknown option %1").arg(typed);
            }
            QString value;
            if (!option->takesValue) {
                if (equals >= 0) {
                    return QStringLiteral("%1 takes no value").arg(typed);
                }
            } else if (equals >= 0) {
                value = argument.mid(equals + 1);
            } else if (i + 1 < arguments.size() &&
                       !arguments[i + 1].startsWith(QLatin1String("--"))) {
                value = arguments[++i];
            }
            if (option->takesValue && value.isEmpty()) {
                return QStringLiteral("%1 needs a value").arg(typed);
            }
            m_values[name] << value;
        }
        return std::nullopt;
    }

private:
    QMap<QString, QStringList> m_values;
};

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

// A whole number from `least` on, or an error naming the option.
std::variant<std::int64_t, UsageError> wholeNumber(const GivenOptions& given, const char* name,
                                                   std::int64_t least) {
    const QString text = given.value(name);
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    if (!ok || value < least || text.startsWith(QLatin1Char('+'))) {
        return UsageError{QStringLiteral("--%1 wants a whole number from %2 on, not '%3'")
                              .arg(QLatin1String(name))
                              .arg(least)
                              .arg(text)};
    }
    return static_cast<std::int64_t>(value);
}

}  // namespace

ParsedOptions parseReaderOptions(const QStringList& arguments,
                                 const std::function<QString(const char*)>& environment,
                                 const QString& formatsFolder) {
    // Help, then the version, win over mistakes elsewhere on the line.
    if (arguments.contains(QStringLiteral("--help")) || arguments.contains(QStringLiteral("-h"))) {
        return HelpRequested{};
    }
    if (arguments.contains(QStringLiteral("--version")) ||
        arguments.contains(QStringLiteral("-V"))) {
        return VersionRequested{};
    }
    GivenOptions parser;
    if (const auto refused = parser.read(arguments)) {
        return UsageError{*refused};
    }
    for (const Option& option : kOptions) {
        if (!option.repeats && parser.values(option.name).size() > 1) {
            return UsageError{QStringLiteral("--%1 given twice").arg(QLatin1String(option.name))};
        }
    }

    ReaderOptions options;
    const auto isSet = [&](const char* name) { return parser.isSet(name); };
    const auto value = [&](const char* name) { return parser.value(name); };
    // Fills `target` from a whole-number option; false (and `error` set) when it is bad.
    UsageError error;
    const auto number = [&](const char* name, std::int64_t least, auto& target) {
        if (!isSet(name)) {
            return true;
        }
        auto parsed = wholeNumber(parser, name, least);
        if (auto* refused = std::get_if<UsageError>(&parsed)) {
            error = *refused;
            return false;
        }
        target = static_cast<std::remove_reference_t<decltype(target)>>(
            std::get<std::int64_t>(parsed));
        return true;
    };

    if (isSet("ports")) {
        // A listing: the only other choice is its format, text unless asked.
        for (const Option& option : kOptions) {
            const QLatin1String name(option.name);
            if (name != QLatin1String("ports") && name != QLatin1String("format") &&
                parser.isSet(option.name)) {
                return UsageError{QStringLiteral("--%1 is not for --ports").arg(name)};
            }
        }
        options.task = ReaderOptions::Task::Ports;
        options.format = OutputFormat::Text;
        if (isSet("format") && value("format") != QLatin1String("text")) {
            if (value("format") != QLatin1String("jsonl")) {
                return UsageError{
                    QStringLiteral("--format '%1' is not text or jsonl for --ports")
                        .arg(value("format"))};
            }
            options.format = OutputFormat::Jsonl;
        }
        return options;
    }
    if (isSet("detect") && isSet("input")) {
        return UsageError{QStringLiteral("--detect listens on a port; it cannot take --input")};
    }
    options.task = isSet("detect")    ? ReaderOptions::Task::Detect
                   : isSet("input")   ? ReaderOptions::Task::Decode
                   : isSet("command") ? ReaderOptions::Task::Command
                                      : ReaderOptions::Task::Read;

    // The users' formats first, so that --protocol and the stations may name them.
    auto catalog = std::make_shared<scale::FormatCatalog>();
    if (!formatsFolder.isEmpty()) {
        const QDir folder(formatsFolder);
        for (const QString& name :
             folder.entryList({QStringLiteral("*.toml")}, QDir::Files, QDir::Name)) {
            if (auto refused = addFormatsFile(*catalog, folder.filePath(name))) {
                return UsageError{*refused, formatsReference()};
            }
        }
    }
    if (isSet("formats")) {
        if (auto refused = addFormatsFile(*catalog, value("formats"))) {
            return UsageError{*refused, formatsReference()};
        }
        options.formatsPath = value("formats");
    }
    options.catalog = catalog;

    if (options.task == ReaderOptions::Task::Decode) {
        options.inputPath = value("input");
        for (const char* live : {"port", "settings", "record", "reconnect-timeout", "poll-interval",
                                 "duration", "station", "stations"}) {
            if (isSet(live)) {
                return UsageError{QStringLiteral("--%1 is for reading a port, not with --input")
                                      .arg(QLatin1String(live))};
            }
        }
    } else if (isSet("station") || isSet("stations")) {
        if (isSet("port")) {
            return UsageError{QStringLiteral("--port or --station, not both")};
        }
        for (const char* single : {"settings", "protocol", "record", "detect", "poll-interval"}) {
            if (isSet(single)) {
                return UsageError{QStringLiteral("--%1 is for a single --port; give each station "
                                                 "its own settings and protocol")
                                      .arg(QLatin1String(single))};
            }
        }
        if (isSet("stations")) {
            if (QFile probe(value("stations")); !probe.open(QIODevice::ReadOnly)) {
                return FileError{QStringLiteral("cannot read the stations file %1: %2")
                                     .arg(value("stations"), probe.errorString().toLower())};
            }
            auto parsed = parseStationsFile(value("stations"), *catalog);
            if (const auto* refused = std::get_if<QString>(&parsed)) {
                return UsageError{*refused};
            }
            options.stations = std::get<std::vector<StationConfig>>(std::move(parsed));
        }
        for (const QString& text : parser.values("station")) {
            auto parsed = parseStationLine(text, *catalog);
            if (const auto* refused = std::get_if<QString>(&parsed)) {
                return UsageError{*refused};
            }
            options.stations.push_back(std::get<StationConfig>(std::move(parsed)));
        }
        for (std::size_t i = 0; i < options.stations.size(); ++i) {
            for (std::size_t j = 0; j < i; ++j) {
                if (options.stations[i].name == options.stations[j].name) {
                    return UsageError{QStringLiteral("station %1 given twice")
                                          .arg(options.stations[i].name)};
                }
            }
        }
    } else {
        if (!isSet("port")) {
            return UsageError{QStringLiteral("--port is missing (ComN or a device path)")};
        }
        options.port = value("port");
        if (const auto refused =
                parsePortName(options.port, options.commPort, options.devicePath)) {
            return UsageError{QStringLiteral("--port ") + *refused};
        }
    }

    if (isSet("settings")) {
        if (options.task == ReaderOptions::Task::Detect) {
            return UsageError{QStringLiteral("--detect tries every setting; leave out --settings")};
        }
        options.settings = value("settings");
        if (!scale::parseLineSettings(options.settings.toStdString())) {
            return UsageError{QStringLiteral("--settings '%1' is not baud,parity,data,stop "
                                             "such as 9600,N,8,1")
                                  .arg(options.settings)};
        }
    }
    if (isSet("protocol")) {
        const scale::FormatDescription* format = catalog->find(value("protocol").toStdString());
        if (format == nullptr) {
            return UsageError{QStringLiteral("--protocol '%1' is none of %2")
                                  .arg(value("protocol"), protocolChoices(*catalog))};
        }
        options.rules.format = format;
        options.protocolGiven = true;
    }
    if (isSet("format")) {
        const QString format = value("format");
        if (format == QLatin1String("jsonl")) {
            options.format = OutputFormat::Jsonl;
        } else if (format == QLatin1String("csv")) {
            options.format = OutputFormat::Csv;
        } else if (format == QLatin1String("text")) {
            options.format = OutputFormat::Text;
        } else {
            return UsageError{
                QStringLiteral("--format '%1' is not jsonl, csv or text").arg(format)};
        }
    }
    options.outputPath = value("output");
    options.recordPath = value("record");
    options.overwrite = isSet("overwrite");
    if (options.overwrite && options.recordPath.isEmpty()) {
        return UsageError{QStringLiteral("--overwrite goes with --record")};
    }
    options.localTime = isSet("local-time");
    if (options.localTime && options.format != OutputFormat::Text) {
        return UsageError{
            QStringLiteral("--local-time is for --format text; jsonl and csv keep "
                           "UTC")};
    }
    options.quiet = isSet("quiet");
    options.choice.errors = isSet("errors");
    options.choice.changesOnly = isSet("changes-only");
    options.choice.stableOnly = isSet("stable-only");

    std::int64_t reconnectSeconds = -1;
    int pollIntervalMs = 0;
    if (!number("poll-interval", 1, pollIntervalMs) ||
        !number("stable-band", 0, options.rules.stableBand) ||
        !number("stable-time", 0, options.rules.stableMillis) ||
        !number("reconnect-timeout", 0, reconnectSeconds) ||
        !number("duration", 1, options.durationMs.emplace()) ||
        !number("count", 1, options.count.emplace())) {
        return error;
    }
    if (pollIntervalMs > 3'600'000 || options.rules.stableMillis > 3'600'000 ||
        options.rules.stableBand > 1'000'000) {
        return UsageError{QStringLiteral("--poll-interval and --stable-time go up to an hour, "
                                         "--stable-band up to 1000000")};
    }
    // Both end on one timer, which counts at most 2^31 - 1 ms (24 days).
    if (options.durationMs && *options.durationMs > INT32_MAX) {
        return UsageError{QStringLiteral("--duration goes up to 2147483647 ms (24 days); leave "
                                         "it out to read until stopped")};
    }
    if (reconnectSeconds >= 0) {
        if (reconnectSeconds > INT32_MAX / 1000) {
            return UsageError{QStringLiteral("--reconnect-timeout goes up to 2147483 s (24 days); "
                                             "leave it out to wait for ever")};
        }
        options.reconnectTimeoutMs = reconnectSeconds * 1000;
    }
    if (!isSet("duration")) {
        options.durationMs.reset();
    }
    if (!isSet("count")) {
        options.count.reset();
    }
    if (isSet("poll-interval")) {
        if (!options.rules.format->asks()) {
            return UsageError{QStringLiteral("--poll-interval is for a protocol that asks for "
                                             "the weight (command, sics, sbi, sma, 8217)")};
        }
        options.rules.pollIntervalMs = pollIntervalMs;
    }
    if (isSet("station-line")) {
        if (options.task != ReaderOptions::Task::Detect) {
            return UsageError{QStringLiteral("--station-line is for --detect")};
        }
        // The name must make a station line the stations file takes.
        const auto probe = parseStationLine(
            value("station-line") + QStringLiteral("=") + options.port + QStringLiteral(",continuous"),
            *catalog);
        if (const auto* refused = std::get_if<QString>(&probe)) {
            return UsageError{QStringLiteral("--station-line: ") + *refused};
        }
        options.stationLine = value("station-line");
    }
    if (options.task == ReaderOptions::Task::Detect) {
        for (const char* reading : {"protocol", "output", "format", "errors", "changes-only",
                                    "stable-only", "record", "count"}) {
            if (isSet(reading)) {
                return UsageError{QStringLiteral("--%1 is for reading, not with --detect")
                                      .arg(QLatin1String(reading))};
            }
        }
    }
    if (isSet("command")) {
        // One command to one indicator whose format is known: never a guess at what it takes.
        options.command = commandKindNamed(value("command").toStdString());
        if (!options.command) {
            return UsageError{QStringLiteral("--command '%1' is not zero, tare or clear-tare")
                                  .arg(value("command"))};
        }
        for (const char* other : {"detect", "input", "station", "stations", "mqtt", "record",
                                  "duration", "count", "errors", "changes-only", "stable-only",
                                  "output"}) {
            if (isSet(other)) {
                return UsageError{QStringLiteral("--%1 is not for --command")
                                      .arg(QLatin1String(other))};
            }
        }
        if (!options.protocolGiven) {
            return UsageError{QStringLiteral("--command needs the indicator's --protocol")};
        }
    }
    if (isSet("allow-commands") && !isSet("mqtt") && !isSet("http") && !isSet("serve")) {
        return UsageError{QStringLiteral("--allow-commands is for --mqtt, --http or --serve")};
    }
    if (isSet("serve")) {
        if (options.task != ReaderOptions::Task::Read) {
            return UsageError{QStringLiteral("--serve serves what is read from ports; not with "
                                             "--input or --detect")};
        }
        QStringList names;
        for (const StationConfig& station : options.stations) {
            names << station.name;
        }
        auto targets = readServeTargets(parser.values("serve"), names);
        if (const auto* refused = std::get_if<QString>(&targets)) {
            return UsageError{*refused};
        }
        options.serve = std::get<std::vector<ServeTarget>>(std::move(targets));
        options.serveCommands = isSet("allow-commands");
    }
    if (isSet("mqtt")) {
        if (options.task != ReaderOptions::Task::Read) {
            return UsageError{QStringLiteral("--mqtt publishes what is read from ports; not with "
                                             "--input or --detect")};
        }
        MqttTarget& target = options.mqtt.emplace();
        if (const auto refused = parseMqttUrl(value("mqtt"), target)) {
            return UsageError{*refused};
        }
        if (isSet("mqtt-ca")) {
            if (!target.tls) {
                return UsageError{QStringLiteral("--mqtt-ca is for mqtts://")};
            }
            target.caFile = value("mqtt-ca");
        }
        target.user = value("mqtt-user");
        target.commandsAllowed = isSet("allow-commands");
        if (environment) {
            target.password = environment("SCALE_READ_MQTT_PASSWORD");
        }
        if (isSet("mqtt-prefix")) {
            target.prefix = value("mqtt-prefix");
            static const QRegularExpression prefix(QStringLiteral("^[^/+#]+(/[^/+#]+)*$"));
            if (!prefix.match(target.prefix).hasMatch()) {
                return UsageError{QStringLiteral("--mqtt-prefix '%1': topic levels without '+', "
                                                 "'#' or empty levels")
                                      .arg(target.prefix)};
            }
        }
        if (!number("mqtt-queue", 0, target.queueLimit)) {
            return error;
        }
        if (target.queueLimit > 10'000'000) {
            return UsageError{QStringLiteral("--mqtt-queue goes up to 10000000")};
        }
    } else {
        for (const char* mqtt : {"mqtt-ca", "mqtt-user", "mqtt-prefix", "mqtt-queue"}) {
            if (isSet(mqtt)) {
                return UsageError{
                    QStringLiteral("--%1 is for --mqtt").arg(QLatin1String(mqtt))};
            }
        }
    }
    if (isSet("http")) {
        if (options.task != ReaderOptions::Task::Read) {
            return UsageError{QStringLiteral("--http serves what is read from ports; not with "
                                             "--input or --detect")};
        }
        auto parsed = parseHttpSettings(value("http"), value("http-token-file"),
                                        parser.values("http-origin"),
                                        value("http-max-clients"), isSet("allow-commands"));
        if (const auto* refused = std::get_if<QString>(&parsed)) {
            return UsageError{*refused};
        }
        options.http = std::get<HttpSettings>(std::move(parsed));
    } else {
        for (const char* http :
             {"http-token-file", "http-origin", "http-max-clients"}) {
            if (isSet(http)) {
                return UsageError{QStringLiteral("--%1 is for --http").arg(QLatin1String(http))};
            }
        }
    }
    return options;
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

QString helpText() {
    return QStringLiteral(
        R"(Usage: scale-read --port PORT [--settings B,P,D,S] [--protocol NAME] [OPTIONS]
       scale-read --detect --port PORT [--station-line NAME]
       scale-read --port PORT [--settings B,P,D,S] --protocol NAME --command COMMAND
       scale-read --station NAME=PORT[,B,P,D,S],PROTOCOL ... [--mqtt URL] [OPTIONS]
       scale-read --station ... --http [ADDR:]PORT [OPTIONS]
       scale-read --input RECORDING [OPTIONS]
       scale-read --ports [--format text|jsonl]

Reads a weighing indicator on a serial line and writes every weight it sends as a record:
one JSON object a line (default), CSV, or a line for people. Finds an unknown indicator's
line settings and protocol, records what a line carried, and decodes such a recording.

The line:
  --port PORT            ComN (Com1 to Com20: the link ports/ComN beside the program, else
                         the host's N-th serial port, USB adapters first, as in the window)
                         or a device: a path such as /dev/ttyUSB0, or a name under /dev
                         such as ttyUSB0; or over the network: tcp://HOST:PORT (a device
                         server's or an indicator's own port, the bytes as they are) or
                         rfc2217://HOST:PORT (a device server that sets the line to
                         --settings remotely); a dropped link is retried as a lost port
  --settings B,P,D,S     baud, parity (N, E, O, M, S), data bits (5-8), stop bits (1, 1.5,
                         2); default 9600,N,8,1
  --protocol NAME        the indicator's format (default continuous):
%1  --formats FILE         more formats, described in FILE (TOML, one [[format]] table each:
                         a regular expression with named groups for the frame's text, its
                         terminator, an optional request; see man scale-read); every *.toml
                         in formats/ of the settings folder (beside Setting.ini) is read too
  --poll-interval MS     a format that asks: the next request MS after a reply (default 100);
                         with no reply, 600 ms after the request

Several stations, read at once:
  --station NAME=PORT[,B,P,D,S],PROTOCOL
                         one indicator (any number of times), in any format, e.g.
                         gate=Com1,9600,N,8,1,continuous or silo=/dev/ttyUSB1,command;
                         the settings default to 9600,N,8,1; NAME takes letters, digits,
                         "_", "-" and "."; every record gets a "station" key
  --stations FILE        the same, one station a line ("#" comments)
  A station whose port does not open or goes away never stops the others: it is tried
  again every 2 s, or waited for.

Publishing to an MQTT broker (MQTT 3.1.1):
  --mqtt URL             mqtt://host[:port] (default port 1883) or mqtts://host[:port]
                         (TLS, default port 8883); records then go to the broker, and to a
                         file only with --output
  --mqtt-ca FILE         mqtts: the certificate authority, a PEM file (default: the host's)
  --mqtt-user USER       log in as USER, with the password from the environment variable
                         SCALE_READ_MQTT_PASSWORD
  --mqtt-prefix PREFIX   topics PREFIX/STATION/... (default scale-readout); a single --port
                         publishes as the station named after its port ("Com1", "ttyUSB0")
  --mqtt-queue N         stable weights kept per station while the broker is away (default
                         10000; the oldest go first, counted on stderr)
  Topics: PREFIX/STATION/reading every record (QoS 0); PREFIX/STATION/stable each newly
  stable weight (QoS 1, retained, kept while the broker is away and published in order when
  it is back; while the port is lost or not open, cleared by an empty retained message);
  PREFIX/STATION/status "online", "port-lost" or "offline" (retained; the
  broker says "offline" itself when the reader dies).
  --allow-commands       take zero, tare and clear-tare from PREFIX/STATION/command (QoS 1;
                         "zero", or {"command":"zero","id":ID}) and publish each result as
                         --command prints it, with the id, on PREFIX/STATION/command/result
                         (QoS 1, not retained); without it the topic is not listened to.
                         Restrict who may write it with the broker's ACL. A retained
                         message, one over 4 KiB, or an id other than a number or up to 64
                         printable ASCII characters is refused, never sent
  Commands from the broker and HTTP: one runs and one waits per station, with readings
  polled between them; more are answered "busy", and one that waits 5 s "expired", unsent.
  After any failure (a refused login or certificate too) each station tries again after 1 s,
  doubling to 30 s, reading on; each kind of failure is told once for all stations, and
  their return once; failures that follow within 30 s are summed up every 30 s.

Serving browsers and web forms (HTTP and WebSocket, in the reading's own loop):
  --http [ADDR:]PORT     serve the live board at http://ADDR:PORT/ and the JSON API under
                         /api/v1 (default address 127.0.0.1; port 0 takes a free one; the
                         address is named on stderr); records then go to the service, and
                         to a file only with --output. A single --port serves as the
                         station named after its port
  --http-token-file FILE every /api request then needs "Authorization: Bearer TOKEN", TOKEN
                         being FILE's one line (16 visible characters at least; the board
                         takes it once from a ?token= link); an address other than loopback
                         requires it
  --http-origin ORIGIN   a web page at ORIGIN (https://erp.plant.lan) may call the API from
                         the browser (any number of times); others are refused
  --http-max-clients N   WebSocket clients at once (default 64)
  --allow-commands       take zero, tare and clear-tare at POST
                         /api/v1/stations/NAME/command (off by default), and from --serve
  Endpoints: GET /api/v1/stations, /api/v1/stations/NAME (state: reading, with the last
  record's fields; waiting, port-lost or not-open, with "stable":false, the reason, and the
  last weight under "last" with its age in "age_ms"), /api/v1/stations/NAME/stable
  ?timeout=MS&after=SEQ (the weight standing now with its placement number "seq", to every
  caller; else, or with after=SEQ, the next placement; 504 after MS, default 10000, at most
  60000; 503 while the station is not reading), /api/v1/events (WebSocket: every record and
  state change, the last five minutes' weights in "hello"; ?station=A,B), /healthz. Bodies go up to 4 KiB; a client with 1 MB unread is
  dropped.

%2
Records:
  --format FORMAT        jsonl (default), csv or text
  --local-time           text: times in this host's zone with its offset (+08:00), not UTC
  --output FILE          append to FILE instead of standard output; refused when FILE holds
                         records of another format, or csv with other columns
  --errors               also a record for each frame without a weight, with its reason:
                         checksum, decimals, overflow, incomplete, malformed (not the
                         format's layout), overload, underload, motion (8217), busy
                         ("S I"), indicator-error (its text in "text"), reply (to a command)
  --changes-only         a reading only when its text differs from the last one written
  --stable-only          a reading only each time the weight becomes stable
  --stable-band COUNTS   stable: within this many counts of the last digit (default 1)
  --stable-time MS       ... for this long (default 500)
  jsonl keys: time (UTC), port, protocol, weight (a number, in the indicator's unit), text
  (the weight as shown, with its unit), stable (the indicator's word where it gives one,
  else measured), raw (the frame's bytes in hex), unit (kg, g, t, lb, oz, ozt, dwt, pcs or
  as sent), and where the frame says: mode (gross, net, tare), motion (true or false),
  tare (a number); a rejected frame: time, port, protocol, error, text (the indicator's
  words, where it sent some), raw. csv: a header line and the same fields, unit, mode,
  motion and tare last; with --errors a column "error" before them, and the weight fields
  empty in a rejected frame's row. text: the time (UTC, marked Z), the port and the
  caption.

Finding the settings:
  --detect               listens at every baud of the window's list with 8N1, 7E1, 7O1,
                         8E1 and 8O1 and runs every format (the users' too) on the same
                         bytes; the formats that must be asked get their read requests
                         only, one at a time with a pause: detection never sends a zero, a
                         tare or any other command that changes the indicator. Prints a
                         ranked table with the bytes heard at each setting and last
                         "found: --settings B,P,D,S --protocol NAME" (with --formats FILE
                         for a user's format; exit 0) or "not found: the line was silent"
                         or "not found: N bytes heard, ..." (exit 1); at most 30 s, less
                         once a format reads five valid frames in a row (ten for shentong
                         and weigh-tronix, which carry no check). A format whose checksum
                         or fixed layout held ranks above one that merely matched.
                         Settings the host refuses or does not keep are skipped with a
                         note. SIGINT stops it with what was heard so far (exit 0).
  --station-line NAME    with --detect: after "found:", the line for a stations file,
                         NAME=PORT,B,P,D,S,PROTOCOL

Commands to the indicator:
  --command COMMAND      zero, tare or clear-tare: send the --protocol's command once, wait
                         up to 2 s for the indicator's answer or for frames showing the
                         change, and print one record with "command" and "result": done,
                         refused, overload, underload, no-answer, or unsupported (the format
                         has no such command; nothing is sent); exit 0 only when done.
                         Needs --protocol; polling goes on meanwhile. Formats with commands:
                         toledo, sics, ad (zero, tare), sbi (zero, tare), sma, 8217 (zero),
                         and a formats file's zero, tare and clear-tare.
  Nothing else sends a command: reading asks only for the weight.

The host's ports:
  --ports                one line per serial device, in the order ComN takes them: the ComN
                         it is now and the ports/ComN links that point at it, the device, its
                         /dev/serial/by-id name, USB vendor:product, maker, product and
                         serial number, driver, group, whether this user may open it (with
                         the usermod command when not), the process that holds it, and
                         programs known to take such ports (ModemManager, brltty) when they
                         run; "--format jsonl" for one JSON object a line

Recording:
  --record FILE          write what the port delivered to FILE, one line per read: seconds
                         since the first read and the bytes in hex, after a header line;
                         refused when FILE exists
  --overwrite            --record may replace an existing FILE
  --input FILE           decode a recording as fast as it goes, with its own times and the
                         protocol its header names (--protocol decodes it as another, with
                         a note); replay it on a line with indicator-sim --replay FILE

Running:
  --reconnect-timeout S  after the device went away, give up when it is not back within S
                         seconds (default: wait for ever)
  --duration MS          end after MS
  --count N              end after N records written (error records too, with --errors)
  --quiet                no notes on what is read and heard; errors and a lost or returned
                         device are still reported
  -V, --version          print "scale-read VERSION" and end
  -h, --help             this text

Notes and errors go to standard error, one line each, standard output carries only records:
the port read, with the device a ComN reached, its settings and protocol; bytes that arrive
for 3 s with no frame decoded (wrong baud, framing or protocol); nothing received for 5 s,
or no reply to the command request; each again only after frames came in between; a lost
and returned device; a port that cannot be opened and why; the broker's failures and its
return.
Exit status: 0 ended (--duration, --count, end of --input, SIGINT, SIGTERM; --detect found
the settings or was stopped; --command done); 1 the port could not be opened, did not come
back in time, a file could not be read or written or is refused, --detect found nothing, or
--command was not done; 2 bad command line.

Examples:
  scale-read --port Com1 --settings 2400,N,8,1
  scale-read --port /dev/ttyUSB0 --protocol command --format csv --output weights.csv
  scale-read --port Com1 --stable-only --format text
  scale-read --port /dev/ttyUSB0 --settings 9600,E,7,1 --protocol sics
  scale-read --port Com1 --formats line.toml --protocol my-line
  scale-read --port /dev/ttyUSB0 --changes-only --errors | jq .weight
  scale-read --detect --port /dev/ttyUSB0 --station-line gate
  scale-read --ports
  scale-read --port Com1 --protocol sics --command zero
  scale-read --port Com1 --record line.rec --duration 60000
  scale-read --input line.rec --format csv
  scale-read --station in=Com1,continuous --station out=Com2,2400,N,8,1,command \
             --mqtt mqtt://broker.plant.lan
  SCALE_READ_MQTT_PASSWORD=secret scale-read --stations /etc/scale-read/stations \
             --mqtt mqtts://broker.plant.lan --mqtt-ca plant-ca.pem --mqtt-user reader
  mosquitto_sub -h broker.plant.lan -v -t 'scale-readout/#'
  scale-read --station in=Com1,continuous --station out=Com2,command --http 8080
  curl http://127.0.0.1:8080/api/v1/stations/in/stable?timeout=30000
  scale-read --stations plant.txt --http 0.0.0.0:8080 --http-token-file /etc/scale-read.token
  scale-read --port rfc2217://192.168.1.50:2217 --settings 2400,N,8,1 --serve sics://4001
)").arg(protocolList(), serveHelp());
}

}  // namespace scaleread
