// Sending one command to the indicator and printing its result.
#include "tools/scale-read/cli/optiongroups.h"

namespace scaleread {
namespace {

// One command to one indicator whose format is known: never a guess at what it takes.
std::optional<QString> storeCommand(const QString& value, ReaderOptions& options) {
    options.command = commandKindNamed(value.toStdString());
    if (!options.command) {
        return QStringLiteral("--command '%1' is not zero, tare or clear-tare").arg(value);
    }
    return std::nullopt;
}

std::optional<OptionFault> checkCommand(OptionContext& context) {
    if (!context.isSet("command")) {
        return std::nullopt;
    }
    if (auto refused = refuseOutside(ReaderOptions::Task::Command, context.given)) {
        return *refused;
    }
    if (!context.options.protocolGiven) {
        return UsageError{QStringLiteral("--command needs the indicator's --protocol")};
    }
    return std::nullopt;
}

const OptionRow kCommandRows[] = {
    {.name = "command",
     .valueName = "COMMAND",
     .help = "zero, tare or clear-tare: send the --protocol's command once, wait\n"
             "up to 2 s for the indicator's answer or for frames showing the\n"
             "change, and print one record with \"command\" and \"result\": done,\n"
             "refused, overload, underload, no-answer, or unsupported (the format\n"
             "has no such command; nothing is sent); exit 0 only when done.\n"
             "Needs --protocol; polling goes on meanwhile. Formats with commands:\n"
             "toledo, sics, ad (zero, tare), sbi (zero, tare), sma, 8217 (zero),\n"
             "and a formats file's zero, tare and clear-tare.",
     .modes = kEveryMode & ~kPorts,
     .store = storeCommand},
    {.name = nullptr,
     .help = "  Nothing else sends a command: reading asks only for the weight.\n"},
};

}  // namespace

const OptionGroup commandOptions{
    .heading = "Commands to the indicator:", .rows = kCommandRows, .check = checkCommand};

}  // namespace scaleread
