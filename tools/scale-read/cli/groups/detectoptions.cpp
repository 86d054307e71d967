// Finding an unknown indicator's line settings and format.
#include "tools/scale-read/cli/optiongroups.h"
#include "tools/scale-read/cli/stationconfig.h"

namespace scaleread {
namespace {

std::optional<OptionFault> checkStationLine(OptionContext& context) {
    if (!context.isSet("station-line")) {
        return std::nullopt;
    }
    if (context.options.task != ReaderOptions::Task::Detect) {
        return UsageError{QStringLiteral("--station-line is for --detect")};
    }
    // The name must make a station line the stations file takes.
    const QString name = context.value("station-line");
    const auto probe =
        parseStationLine(name + QStringLiteral("=") + context.options.port +
                             QStringLiteral(",continuous"),
                         *context.options.catalog);
    if (const auto* refused = std::get_if<QString>(&probe)) {
        return UsageError{QStringLiteral("--station-line: ") + *refused};
    }
    context.options.stationLine = name;
    return std::nullopt;
}

const OptionRow kDetectRows[] = {
    {.name = "detect",
     .help = "listens at every baud of the window's list with 8N1, 7E1, 7O1,\n"
             "8E1 and 8O1 and runs every format (the users' too) on the same\n"
             "bytes; the formats that must be asked get their read requests\n"
             "only, one at a time with a pause: detection never sends a zero, a\n"
             "tare or any other command that changes the indicator. Prints a\n"
             "ranked table with the bytes heard at each setting and last\n"
             "\"found: --settings B,P,D,S --protocol NAME\" (with --formats FILE\n"
             "for a user's format; exit 0) or \"not found: the line was silent\"\n"
             "or \"not found: N bytes heard, ...\" (exit 1); at most 30 s, less\n"
             "once a format reads five valid frames in a row (ten for shentong\n"
             "and weigh-tronix, which carry no check). A format whose checksum\n"
             "or fixed layout held ranks above one that merely matched.\n"
             "Settings the host refuses or does not keep are skipped with a\n"
             "note. SIGINT stops it with what was heard so far (exit 0).",
     .modes = kRead | kDetect | kDecode},
    {.name = "station-line",
     .valueName = "NAME",
     .help = "with --detect: after \"found:\", the line for a stations file,\n"
             "NAME=PORT,B,P,D,S,PROTOCOL",
     .modes = kEveryMode & ~kPorts},
};

}  // namespace

const OptionGroup detectOptions{
    .heading = "Finding the settings:", .rows = kDetectRows, .check = checkStationLine};

}  // namespace scaleread
