#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

#include "device/linesettings.h"
#include "protocols/indicatorprotocol.h"
#include "tools/scale-read/cli/stationconfig.h"
#include "tools/scale-read/http/httpoptions.h"
#include "tools/scale-read/modbus/modbusoptions.h"
#include "tools/scale-read/keyboard/typeoptions.h"
#include "tools/scale-read/mqtt/mqtttarget.h"
#include "tools/scale-read/records/recordformat.h"
#include "tools/scale-read/records/recordoutput.h"
#include "tools/scale-read/serve/serveoptions.h"
#include "tools/scale-read/stations/indicatorcommand.h"
#include "tools/scale-read/stations/stationreader.h"

namespace scaleread {

// What to do, from the command line.
struct ReaderOptions {
    enum class Task { Read, Detect, Decode, Ports, Command };
    Task task = Task::Read;

    // The port as given, and what it names: port `commPort` ("ComN") or, when `devicePath` is
    // set, that device.
    QString port;
    int commPort = 1;
    QString devicePath;
    QString settings = QStringLiteral("9600,N,8,1");
    bool protocolGiven = false;
    ReadingRules rules;
    // Every format --protocol and --station may name: the built-in ones and the users'.
    std::shared_ptr<const scale::FormatCatalog> catalog = std::make_shared<scale::FormatCatalog>();
    QString formatsPath;  // --formats as given
    QString stationLine;  // --detect: the station's name for a stations-file line
    // From --station and --stations; empty with a single --port.
    std::vector<StationConfig> stations;
    std::optional<MqttTarget> mqtt;
    std::optional<HttpSettings> http;
    std::optional<ModbusSettings> modbus;
    std::vector<ServeTarget> serve;
    bool serveCommands = false;  // --allow-commands with --serve
    std::optional<CommandKind> command;  // --command: send it, print its result, end
    std::optional<TypeSettings> type;    // --type: weights typed into the focused window

    OutputFormat format = OutputFormat::Jsonl;
    QString outputPath;  // empty: standard output
    RecordChoice choice;
    QString recordPath;
    bool overwrite = false;  // --record may replace an existing file
    QString inputPath;
    bool localTime = false;  // text records in the host's time zone
    bool quiet = false;      // no notes on what is being read or heard

    std::optional<std::int64_t> reconnectTimeoutMs;  // unset: wait for ever
    std::optional<std::int64_t> durationMs;
    std::optional<std::int64_t> count;
};

struct HelpRequested {};
struct VersionRequested {};
struct UsageError {
    QString message;  // one line
    QString see = QStringLiteral("--help");  // where the user reads on
};
// A file the command line names cannot be read: a runtime failure, not a bad command line.
struct FileError {
    QString message;
};

using ParsedOptions =
    std::variant<ReaderOptions, HelpRequested, VersionRequested, UsageError, FileError>;

// Reads the arguments after the program's name. `environment` gives SCALE_READ_MQTT_PASSWORD.
// Every *.toml in `formatsFolder` (when it exists) is read as a formats file, before --formats.
ParsedOptions parseReaderOptions(const QStringList& arguments,
                                 const std::function<QString(const char*)>& environment = {},
                                 const QString& formatsFolder = {});

QString helpText();

}  // namespace scaleread
