// What is written for each frame, and the recording of a line and its decoding.
#include "tools/scale-read/cli/optiongroups.h"

namespace scaleread {
namespace {

std::optional<QString> storeFormat(const QString& value, ReaderOptions& options) {
    if (value == QLatin1String("jsonl")) {
        options.format = OutputFormat::Jsonl;
    } else if (value == QLatin1String("csv")) {
        options.format = OutputFormat::Csv;
    } else if (value == QLatin1String("text")) {
        options.format = OutputFormat::Text;
    } else {
        return QStringLiteral("--format '%1' is not jsonl, csv or text").arg(value);
    }
    return std::nullopt;
}

// A whole number of counts or milliseconds a stable weight is judged by.
template <int ReadingRules::*field>
std::optional<QString> storeStableRule(const QString& value, ReaderOptions& options) {
    const bool band = field == &ReadingRules::stableBand;
    std::int64_t number = 0;
    if (auto refused = readWhole(band ? "stable-band" : "stable-time", value, 0, number)) {
        return refused;
    }
    if (number > (band ? 1'000'000 : 3'600'000)) {
        return QString::fromLatin1(kReadingLimits);
    }
    options.rules.*field = static_cast<int>(number);
    return std::nullopt;
}

std::optional<OptionFault> checkLocalTime(OptionContext& context) {
    if (context.options.localTime && context.options.format != OutputFormat::Text) {
        return UsageError{
            QStringLiteral("--local-time is for --format text; jsonl and csv keep UTC")};
    }
    return std::nullopt;
}

std::optional<OptionFault> checkOverwrite(OptionContext& context) {
    if (context.options.overwrite && context.options.recordPath.isEmpty()) {
        return UsageError{QStringLiteral("--overwrite goes with --record")};
    }
    return std::nullopt;
}

constexpr Modes kChoice = kRead | kDecode;
constexpr Modes kAnyRun = kEveryMode & ~kPorts;

const OptionRow kRecordRows[] = {
    {.name = "format",
     .valueName = "FORMAT",
     .help = "jsonl (default), csv or text",
     .modes = kRead | kDecode | kCommand | kPorts,
     .store = storeFormat},
    {.name = "local-time",
     .help = "text: times in this host's zone with its offset (+08:00), not UTC",
     .modes = kAnyRun,
     .store = [](const QString&, ReaderOptions& options) -> std::optional<QString> {
         options.localTime = true;
         return std::nullopt;
     }},
    {.name = "output",
     .valueName = "FILE",
     .help = "append to FILE instead of standard output; refused when FILE holds\n"
             "records of another format, or csv with other columns",
     .modes = kChoice,
     .store = [](const QString& value, ReaderOptions& options) -> std::optional<QString> {
         options.outputPath = value;
         return std::nullopt;
     }},
    {.name = "errors",
     .help = "also a record for each frame without a weight, with its reason:\n"
             "checksum, decimals, overflow, incomplete, malformed (not the\n"
             "format's layout), overload, underload, motion (8217), busy\n"
             "(\"S I\"), indicator-error (its text in \"text\"), reply (to a command)",
     .modes = kChoice,
     .store = [](const QString&, ReaderOptions& options) -> std::optional<QString> {
         options.choice.errors = true;
         return std::nullopt;
     }},
    {.name = "changes-only",
     .help = "a reading only when its text differs from the last one written",
     .modes = kChoice,
     .store = [](const QString&, ReaderOptions& options) -> std::optional<QString> {
         options.choice.changesOnly = true;
         return std::nullopt;
     }},
    {.name = "stable-only",
     .help = "a reading only each time the weight becomes stable",
     .modes = kChoice,
     .store = [](const QString&, ReaderOptions& options) -> std::optional<QString> {
         options.choice.stableOnly = true;
         return std::nullopt;
     }},
    {.name = "stable-band",
     .valueName = "COUNTS",
     .help = "stable: within this many counts of the last digit (default 1)",
     .modes = kAnyRun,
     .store = storeStableRule<&ReadingRules::stableBand>},
    {.name = "stable-time",
     .valueName = "MS",
     .help = "... for this long (default 500)",
     .modes = kAnyRun,
     .store = storeStableRule<&ReadingRules::stableMillis>},
    {.name = nullptr,
     .help = "  jsonl keys: time (UTC), port, protocol, weight (a number, in the indicator's "
             "unit), text\n"
             "  (the weight as shown, with its unit), stable (the indicator's word where it "
             "gives one,\n"
             "  else measured), raw (the frame's bytes in hex), unit (kg, g, t, lb, oz, ozt, "
             "dwt, pcs or\n"
             "  as sent), and where the frame says: mode (gross, net, tare), motion (true or "
             "false),\n"
             "  tare (a number); a rejected frame: time, port, protocol, error, text (the "
             "indicator's\n"
             "  words, where it sent some), raw. csv: a header line and the same fields, unit, "
             "mode,\n"
             "  motion and tare last; with --errors a column \"error\" before them, and the "
             "weight fields\n"
             "  empty in a rejected frame's row. text: the time (UTC, marked Z), the port and "
             "the\n"
             "  caption.\n"},
};

const OptionRow kRecordingRows[] = {
    {.name = "record",
     .valueName = "FILE",
     .help = "write what the port delivered to FILE, one line per read: seconds\n"
             "since the first read and the bytes in hex, after a header line;\n"
             "refused when FILE exists",
     .modes = kRead,
     .store = [](const QString& value, ReaderOptions& options) -> std::optional<QString> {
         options.recordPath = value;
         return std::nullopt;
     }},
    {.name = "overwrite",
     .help = "--record may replace an existing FILE",
     .modes = kAnyRun,
     .store = [](const QString&, ReaderOptions& options) -> std::optional<QString> {
         options.overwrite = true;
         return std::nullopt;
     }},
    {.name = "input",
     .valueName = "FILE",
     .help = "decode a recording as fast as it goes, with its own times and the\n"
             "protocol its header names (--protocol decodes it as another, with\n"
             "a note); replay it on a line with indicator-sim --replay FILE",
     .modes = kRead | kDetect | kDecode,
     .store = [](const QString& value, ReaderOptions& options) -> std::optional<QString> {
         options.inputPath = value;
         return std::nullopt;
     }},
};

}  // namespace

const OptionGroup recordOptions{
    .heading = "Records:", .rows = kRecordRows, .check = checkLocalTime};

const OptionGroup recordingOptions{
    .heading = "Recording:", .rows = kRecordingRows, .check = checkOverwrite};

}  // namespace scaleread
