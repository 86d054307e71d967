// Publishing to an MQTT broker, and taking commands from it.
#include <QRegularExpression>

#include "tools/scale-read/cli/optiongroups.h"

namespace scaleread {
namespace {

// Everything but the broker's address, on a target parseMqttUrl filled.
std::optional<OptionFault> readBrokerChoices(OptionContext& context, MqttTarget& target) {
    if (context.isSet("mqtt-ca")) {
        if (!target.tls) {
            return UsageError{QStringLiteral("--mqtt-ca is for mqtts://")};
        }
        target.caFile = context.value("mqtt-ca");
    }
    target.user = context.value("mqtt-user");
    target.commandsAllowed = context.isSet("allow-commands");
    if (context.environment) {
        target.password = context.environment("SCALE_READ_MQTT_PASSWORD");
    }
    if (context.isSet("mqtt-prefix")) {
        target.prefix = context.value("mqtt-prefix");
        static const QRegularExpression prefix(QStringLiteral("^[^/+#]+(/[^/+#]+)*$"));
        if (!prefix.match(target.prefix).hasMatch()) {
            return UsageError{QStringLiteral("--mqtt-prefix '%1': topic levels without '+', "
                                             "'#' or empty levels")
                                  .arg(target.prefix)};
        }
    }
    if (context.isSet("mqtt-queue")) {
        std::int64_t limit = 0;
        if (auto refused = readWhole("mqtt-queue", context.value("mqtt-queue"), 0, limit)) {
            return UsageError{*refused};
        }
        if (limit > 10'000'000) {
            return UsageError{QStringLiteral("--mqtt-queue goes up to 10000000")};
        }
        target.queueLimit = static_cast<int>(limit);
    }
    return std::nullopt;
}

std::optional<OptionFault> checkMqtt(OptionContext& context) {
    if (context.isSet("allow-commands") && !context.isSet("mqtt") && !context.isSet("http") &&
        !context.isSet("modbus") && !context.isSet("modbus-rtu") && !context.isSet("serve")) {
        return UsageError{QStringLiteral("--allow-commands is for --mqtt, --http, --modbus or --serve")};
    }
    if (!context.isSet("mqtt")) {
        for (const char* mqtt : {"mqtt-ca", "mqtt-user", "mqtt-prefix", "mqtt-queue"}) {
            if (context.isSet(mqtt)) {
                return UsageError{QStringLiteral("--%1 is for --mqtt").arg(QLatin1String(mqtt))};
            }
        }
        return std::nullopt;
    }
    if (context.options.task != ReaderOptions::Task::Read) {
        return UsageError{QStringLiteral("--mqtt publishes what is read from ports; not with "
                                         "--input or --detect")};
    }
    MqttTarget& target = context.options.mqtt.emplace();
    if (const auto refused = parseMqttUrl(context.value("mqtt"), target)) {
        return UsageError{*refused};
    }
    return readBrokerChoices(context, target);
}

constexpr Modes kBroker = kEveryMode & ~kPorts;

const OptionRow kMqttRows[] = {
    {.name = "mqtt",
     .valueName = "URL",
     .help = "mqtt://host[:port] (default port 1883) or mqtts://host[:port]\n"
             "(TLS, default port 8883); records then go to the broker, and to a\n"
             "file only with --output",
     .modes = kRead | kDetect | kDecode},
    {.name = "mqtt-ca",
     .valueName = "FILE",
     .help = "mqtts: the certificate authority, a PEM file (default: the host's)",
     .modes = kBroker},
    {.name = "mqtt-user",
     .valueName = "USER",
     .help = "log in as USER, with the password from the environment variable\n"
             "SCALE_READ_MQTT_PASSWORD",
     .modes = kBroker},
    {.name = "mqtt-prefix",
     .valueName = "PREFIX",
     .help = "topics PREFIX/STATION/... (default scale-readout); a single --port\n"
             "publishes as the station named after its port (\"Com1\", \"ttyUSB0\")",
     .modes = kBroker},
    {.name = "mqtt-queue",
     .valueName = "N",
     .help = "stable weights kept per station while the broker is away (default\n"
             "10000; the oldest go first, counted on stderr)",
     .modes = kBroker},
    {.name = nullptr,
     .help = "  Topics: PREFIX/STATION/reading every record (QoS 0); PREFIX/STATION/stable each "
             "newly\n"
             "  stable weight (QoS 1, retained, kept while the broker is away and published in "
             "order when\n"
             "  it is back; while the port is lost or not open, cleared by an empty retained "
             "message);\n"
             "  PREFIX/STATION/status \"online\", \"port-lost\" or \"offline\" (retained; the\n"
             "  broker says \"offline\" itself when the reader dies).\n"},
    {.name = "allow-commands",
     .help = "take zero, tare and clear-tare from PREFIX/STATION/command (QoS 1;\n"
             "\"zero\", or {\"command\":\"zero\",\"id\":ID}) and publish each result as\n"
             "--command prints it, with the id, on PREFIX/STATION/command/result\n"
             "(QoS 1, not retained); without it the topic is not listened to.\n"
             "Restrict who may write it with the broker's ACL. A retained\n"
             "message, one over 4 KiB, or an id other than a number or up to 64\n"
             "printable ASCII characters is refused, never sent",
     .modes = kBroker},
    {.name = nullptr,
     .help = "  Commands from the broker and HTTP: one runs and one waits per station, with "
             "readings\n"
             "  polled between them; more are answered \"busy\", and one that waits 5 s "
             "\"expired\", unsent.\n"
             "  After any failure (a refused login or certificate too) each station tries again "
             "after 1 s,\n"
             "  doubling to 30 s, reading on; each kind of failure is told once for all "
             "stations, and\n"
             "  their return once; failures that follow within 30 s are summed up every 30 s.\n"},
};

}  // namespace

const OptionGroup mqttOptions{.heading = "Publishing to an MQTT broker (MQTT 3.1.1):",
                              .rows = kMqttRows,
                              .check = checkMqtt};

}  // namespace scaleread
