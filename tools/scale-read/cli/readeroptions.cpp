#include "tools/scale-read/cli/readeroptions.h"

#include <string>
#include <vector>

#include "tools/scale-read/cli/optiontable.h"

namespace scaleread {
namespace {

ReaderOptions::Task taskOf(const tooloptions::GivenOptions& given) {
    return given.isSet("detect")    ? ReaderOptions::Task::Detect
           : given.isSet("input")   ? ReaderOptions::Task::Decode
           : given.isSet("command") ? ReaderOptions::Task::Command
                                    : ReaderOptions::Task::Read;
}

ParsedOptions parsedFrom(OptionFault fault) {
    return std::visit([](auto refusal) -> ParsedOptions { return refusal; }, std::move(fault));
}

// Each group prepares, then each option given stores its value, then each group checks what
// its options came to together.
std::optional<OptionFault> readGroups(OptionContext& context) {
    for (const OptionGroup* group : optionGroups()) {
        if (group->prepare != nullptr) {
            if (auto fault = group->prepare(context)) {
                return fault;
            }
        }
    }
    for (const OptionGroup* group : optionGroups()) {
        for (const OptionRow& row : group->rows) {
            if (row.name != nullptr && row.store != nullptr && context.isSet(row.name)) {
                if (auto refused = row.store(context.value(row.name), context.options)) {
                    return UsageError{*refused};
                }
            }
        }
    }
    for (const OptionGroup* group : optionGroups()) {
        if (group->check != nullptr) {
            if (auto fault = group->check(context)) {
                return fault;
            }
        }
    }
    return std::nullopt;
}

}  // namespace

ParsedOptions parseReaderOptions(const QStringList& arguments,
                                 const std::function<QString(const char*)>& environment,
                                 const QString& formatsFolder) {
    std::vector<std::string> texts;
    for (const QString& argument : arguments) {
        texts.push_back(argument.toStdString());
    }
    const std::vector<std::string_view> views(texts.begin(), texts.end());
    switch (tooloptions::requestOf(views)) {
    case tooloptions::Request::Help: return HelpRequested{};
    case tooloptions::Request::Version: return VersionRequested{};
    case tooloptions::Request::Run: break;
    }
    const auto read = tooloptions::readOptions(views, optionNames());
    if (const auto* refused = std::get_if<std::string>(&read)) {
        return UsageError{QString::fromStdString(*refused)};
    }
    const auto& given = std::get<tooloptions::GivenOptions>(read);
    if (given.isSet("ports")) {
        return readPortsOptions(given);
    }
    if (given.isSet("detect") && given.isSet("input")) {
        return UsageError{QStringLiteral("--detect listens on a port; it cannot take --input")};
    }
    ReaderOptions options;
    options.task = taskOf(given);
    if (auto refused = refuseOutside(options.task, given)) {
        return *refused;
    }
    OptionContext context{given, options, environment, formatsFolder};
    if (auto fault = readGroups(context)) {
        return parsedFrom(std::move(*fault));
    }
    return options;
}

QString helpText() {
    return QStringLiteral(R"(Usage: scale-read --port PORT [--settings B,P,D,S] [--protocol NAME] [OPTIONS]
       scale-read --detect --port PORT [--station-line NAME]
       scale-read --port PORT [--settings B,P,D,S] --protocol NAME --command COMMAND
       scale-read --station NAME=PORT[,B,P,D,S],PROTOCOL ... [--mqtt URL] [OPTIONS]
       scale-read --station ... --http [ADDR:]PORT [OPTIONS]
       scale-read --station ... --modbus [ADDR:]PORT [OPTIONS]
       scale-read --input RECORDING [OPTIONS]
       scale-read --ports [--format text|jsonl]

Reads a weighing indicator on a serial line and writes every weight it sends as a record:
one JSON object a line (default), CSV, or a line for people. Finds an unknown indicator's
line settings and protocol, records what a line carried, and decodes such a recording.

)") + optionsHelp() + QStringLiteral(R"(
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
  scale-read --station in=Com1,sics --station out=Com2,continuous --modbus 1502
  mbpoll -m tcp -p 1502 -a 1 -0 -r 0 -c 14 -1 127.0.0.1
  scale-read --port rfc2217://192.168.1.50:2217 --settings 2400,N,8,1 --serve sics://4001
)");
}

}  // namespace scaleread
