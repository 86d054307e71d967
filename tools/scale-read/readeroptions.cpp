#include "tools/scale-read/readeroptions.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QRegularExpression>

#include "tools/scale-read/httpoptions.h"
#include "tools/scale-read/stationconfig.h"

namespace scaleread {
namespace {

struct Option {
    const char* name;
    bool takesValue;
    bool repeats = false;
};

constexpr Option kOptions[] = {
    {"port", true},          {"settings", true},       {"protocol", true},
    {"poll-interval", true}, {"output", true},         {"format", true},
    {"errors", false},       {"changes-only", false},  {"stable-only", false},
    {"stable-band", true},   {"stable-time", true},    {"detect", false},
    {"record", true},        {"input", true},          {"reconnect-timeout", true},
    {"duration", true},      {"count", true},          {"station", true, true},
    {"stations", true},      {"mqtt", true},           {"mqtt-ca", true},
    {"mqtt-user", true},     {"mqtt-prefix", true},    {"mqtt-queue", true},
    {"help", false},         {"version", false},
    {"http", true},          {"http-token-file", true}, {"http-origin", true, true},
    {"http-max-clients", true}, {"allow-commands", false},
};

// A whole number from `least` on, or an error naming the option.
std::variant<std::int64_t, UsageError> wholeNumber(const QCommandLineParser& parser,
                                                   const char* name, std::int64_t least) {
    const QString text = parser.value(QLatin1String(name));
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
                                 const std::function<QString(const char*)>& environment) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const Option& option : kOptions) {
        parser.addOption(option.takesValue
                             ? QCommandLineOption(QLatin1String(option.name), QString(),
                                                  QStringLiteral("value"))
                             : QCommandLineOption(QLatin1String(option.name)));
    }
    if (arguments.contains(QStringLiteral("--help"))) {
        return HelpRequested{};
    }
    if (!parser.parse(QStringList{QStringLiteral("scale-read")} + arguments)) {
        return UsageError{parser.errorText()};
    }
    if (parser.isSet(QStringLiteral("version"))) {
        return VersionRequested{};
    }
    if (!parser.positionalArguments().isEmpty()) {
        return UsageError{QStringLiteral("unexpected argument '%1'")
                              .arg(parser.positionalArguments().first())};
    }
    for (const Option& option : kOptions) {
        if (!option.repeats && parser.values(QLatin1String(option.name)).size() > 1) {
            return UsageError{QStringLiteral("--%1 given twice").arg(QLatin1String(option.name))};
        }
    }

    ReaderOptions options;
    const auto isSet = [&](const char* name) { return parser.isSet(QLatin1String(name)); };
    const auto value = [&](const char* name) { return parser.value(QLatin1String(name)); };
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

    if (isSet("detect") && isSet("input")) {
        return UsageError{QStringLiteral("--detect listens on a port; it cannot take --input")};
    }
    options.task = isSet("detect")  ? ReaderOptions::Task::Detect
                   : isSet("input") ? ReaderOptions::Task::Decode
                                    : ReaderOptions::Task::Read;

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
            auto parsed = parseStationsFile(value("stations"));
            if (const auto* refused = std::get_if<QString>(&parsed)) {
                return UsageError{*refused};
            }
            options.stations = std::get<std::vector<StationConfig>>(std::move(parsed));
        }
        for (const QString& text : parser.values(QStringLiteral("station"))) {
            auto parsed = parseStationLine(text);
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
        if (!scale::parseLineSettings(options.settings)) {
            return UsageError{QStringLiteral("--settings '%1' is not baud,parity,data,stop "
                                             "such as 9600,N,8,1")
                                  .arg(options.settings)};
        }
    }
    if (isSet("protocol")) {
        const auto protocol = scale::protocolNamed(value("protocol").toStdString());
        if (!protocol) {
            return UsageError{QStringLiteral("--protocol '%1' is not continuous, command or "
                                             "shentong")
                                  .arg(value("protocol"))};
        }
        options.rules.protocol = *protocol;
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
    options.choice.errors = isSet("errors");
    options.choice.changesOnly = isSet("changes-only");
    options.choice.stableOnly = isSet("stable-only");

    std::int64_t reconnectSeconds = -1;
    if (!number("poll-interval", 1, options.rules.pollIntervalMs) ||
        !number("stable-band", 0, options.rules.stableBand) ||
        !number("stable-time", 0, options.rules.stableMillis) ||
        !number("reconnect-timeout", 0, reconnectSeconds) ||
        !number("duration", 1, options.durationMs.emplace()) ||
        !number("count", 1, options.count.emplace())) {
        return error;
    }
    if (options.rules.pollIntervalMs > 3'600'000 || options.rules.stableMillis > 3'600'000 ||
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
    if (options.rules.protocol != scale::IndicatorProtocol::Command && isSet("poll-interval")) {
        return UsageError{QStringLiteral("--poll-interval is for --protocol command")};
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
                                        parser.values(QStringLiteral("http-origin")),
                                        value("http-max-clients"), isSet("allow-commands"));
        if (const auto* refused = std::get_if<QString>(&parsed)) {
            return UsageError{*refused};
        }
        options.http = std::get<HttpSettings>(std::move(parsed));
    } else {
        for (const char* http :
             {"http-token-file", "http-origin", "http-max-clients", "allow-commands"}) {
            if (isSet(http)) {
                return UsageError{QStringLiteral("--%1 is for --http").arg(QLatin1String(http))};
            }
        }
    }
    return options;
}

QString helpText() {
    return QStringLiteral(R"(Usage: scale-read --port PORT [--settings B,P,D,S] [--protocol NAME] [OPTIONS]
       scale-read --detect --port PORT
       scale-read --station NAME=PORT[,B,P,D,S],PROTOCOL ... [--mqtt URL] [OPTIONS]
       scale-read --station ... --http [ADDR:]PORT [OPTIONS]
       scale-read --input RECORDING [OPTIONS]

Reads a weighing indicator on a serial line and writes every weight it sends as a record:
one JSON object a line (default), CSV, or a line for people. Finds an unknown indicator's
line settings and protocol, records what a line carried, and decodes such a recording.

The line:
  --port PORT            ComN (Com1 to Com20: the link ports/ComN beside the program, else
                         the host's N-th serial port, USB adapters first, as in the window)
                         or a device: a path such as /dev/ttyUSB0, or a name under /dev
                         such as ttyUSB0
  --settings B,P,D,S     baud, parity (N, E, O, M, S), data bits (5-8), stop bits (1, 1.5,
                         2); default 9600,N,8,1
  --protocol NAME        continuous (default): 02 sign digits decimals checksum 03, unasked
                         command: asks with 02 41 42 30 33 03 and reads the 14-byte reply
                         shentong: "=" and seven characters, last first
  --poll-interval MS     command: the next request MS after a reply (default 100); with no
                         reply, 600 ms after the request

Several stations, read at once:
  --station NAME=PORT[,B,P,D,S],PROTOCOL
                         one indicator (any number of times), e.g.
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
  --mqtt-ca FILE         mqtts: the certificate authority (default: the host's)
  --mqtt-user USER       log in as USER, with the password from the environment variable
                         SCALE_READ_MQTT_PASSWORD
  --mqtt-prefix PREFIX   topics PREFIX/STATION/... (default scale-readout); a single --port
                         publishes as the station named after its port ("Com1", "ttyUSB0")
  --mqtt-queue N         stable weights kept per station while the broker is away (default
                         10000; the oldest go first, counted on stderr)
  Topics: PREFIX/STATION/reading every record (QoS 0); PREFIX/STATION/stable each newly
  stable weight (QoS 1, retained, kept while the broker is away and published in order when
  it is back); PREFIX/STATION/status "online", "port-lost" or "offline" (retained; the
  broker says "offline" itself when the reader dies). Reconnects after 1 s, doubling to 30 s.

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
                         /api/v1/stations/NAME/command (off by default)
  Endpoints: GET /api/v1/stations, /api/v1/stations/NAME (state: reading, waiting,
  port-lost or not-open, and the last record's fields), /api/v1/stations/NAME/stable
  ?timeout=MS (the next stable weight, at once if it stands and was not taken; 504 after
  MS, default 10000, at most 60000), /api/v1/events (WebSocket: every record and state
  change; ?station=A,B), /healthz. Bodies go up to 4 KiB; a client with 1 MB unread is
  dropped.

Records:
  --format FORMAT        jsonl (default), csv or text
  --output FILE          append to FILE instead of standard output
  --errors               also a record for each rejected frame, with its reason: checksum,
                         decimals, overflow or incomplete
  --changes-only         a reading only when its text differs from the last one written
  --stable-only          a reading only each time the weight becomes stable
  --stable-band COUNTS   stable: within this many counts of the last digit (default 1)
  --stable-time MS       ... for this long (default 500)
  jsonl keys: time (UTC), port, protocol, weight (kg, a number), text (the window's
  caption), stable, raw (the frame's bytes in hex); a rejected frame: time, port,
  protocol, error, raw. csv: a header line and the same fields; with --errors a last
  column "error", and the weight fields empty in a rejected frame's row.

Finding the settings:
  --detect               listens at every baud of the window's list with 8N1, 7E1, 7O1,
                         8E1 and 8O1, tries the three protocols on the same bytes (asking as
                         command mode does), prints a ranked table and last
                         "found: --settings B,P,D,S --protocol NAME" (exit 0) or "not found"
                         (exit 1); at most 30 s, less once a candidate reads five valid
                         frames in a row. Settings the host refuses or does not keep are
                         skipped with a note.

Recording:
  --record FILE          write what the port delivered to FILE, one line per read: seconds
                         since the first read and the bytes in hex, after a header line
  --input FILE           decode a recording as fast as it goes, with its own times; replay
                         it on a line with indicator-sim --replay FILE

Running:
  --reconnect-timeout S  after the device went away, give up when it is not back within S
                         seconds (default: wait for ever)
  --duration MS          end after MS
  --count N              end after N readings written
  --version, --help

Notes and errors go to standard error, one line each: a lost and returned device, a port that
cannot be opened and why.
Exit status: 0 ended (--duration, --count, end of --input, SIGINT, SIGTERM; --detect found
the settings); 1 the port could not be opened, did not come back in time, writing failed,
or --detect found nothing; 2 bad command line.

Examples:
  scale-read --port Com1 --settings 2400,N,8,1
  scale-read --port /dev/ttyUSB0 --protocol command --format csv --output weights.csv
  scale-read --port Com1 --stable-only --format text
  scale-read --port /dev/ttyUSB0 --changes-only --errors | jq .weight
  scale-read --detect --port /dev/ttyUSB0
  scale-read --port Com1 --record line.rec --duration 60000
  scale-read --input line.rec --format csv
  scale-read --station in=Com1,continuous --station out=Com2,2400,N,8,1,command \
             --mqtt mqtt://broker.plant.lan
  mosquitto_sub -h broker.plant.lan -v -t 'scale-readout/#'
  scale-read --station in=Com1,continuous --station out=Com2,command --http 8080
  curl http://127.0.0.1:8080/api/v1/stations/in/stable?timeout=30000
  scale-read --stations plant.txt --http 0.0.0.0:8080 --http-token-file /etc/scale-read.token
)");
}

}  // namespace scaleread
