#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>
#include <variant>

#include <vector>

#include "app/linesettings.h"
#include "protocols/indicatorprotocol.h"
#include "tools/scale-read/httpoptions.h"
#include "tools/scale-read/mqtttarget.h"
#include "tools/scale-read/recordformat.h"
#include "tools/scale-read/recordoutput.h"
#include "tools/scale-read/stationreader.h"
#include "tools/scale-read/stationconfig.h"

namespace scaleread {

// What to do, from the command line.
struct ReaderOptions {
    enum class Task { Read, Detect, Decode };
    Task task = Task::Read;

    // The port as given, and what it names: port `commPort` ("ComN") or, when `devicePath` is
    // set, that device.
    QString port;
    int commPort = 1;
    QString devicePath;
    QString settings = QStringLiteral("9600,N,8,1");
    bool protocolGiven = false;
    ReadingRules rules;
    // From --station and --stations; empty with a single --port.
    std::vector<StationConfig> stations;
    std::optional<MqttTarget> mqtt;
    std::optional<HttpSettings> http;

    OutputFormat format = OutputFormat::Jsonl;
    QString outputPath;  // empty: standard output
    RecordChoice choice;
    QString recordPath;
    QString inputPath;

    std::optional<std::int64_t> reconnectTimeoutMs;  // unset: wait for ever
    std::optional<std::int64_t> durationMs;
    std::optional<std::int64_t> count;
};

struct HelpRequested {};
struct VersionRequested {};
struct UsageError {
    QString message;  // one line
};

using ParsedOptions = std::variant<ReaderOptions, HelpRequested, VersionRequested, UsageError>;

// Reads the arguments after the program's name. `environment` gives SCALE_READ_MQTT_PASSWORD.
ParsedOptions parseReaderOptions(const QStringList& arguments,
                                 const std::function<QString(const char*)>& environment = {});

QString helpText();

}  // namespace scaleread
