#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <variant>
#include <vector>

#include "tools/options/optionreader.h"
#include "tools/scale-read/cli/readeroptions.h"

namespace scaleread {

// The run modes an option may be given in, one bit per ReaderOptions::Task. Given in another,
// it is refused with that mode's own line, unless a group's check has a closer one first.
using Modes = unsigned;
constexpr Modes modeOf(ReaderOptions::Task task) {
    return 1u << static_cast<unsigned>(task);
}
constexpr Modes kRead = modeOf(ReaderOptions::Task::Read);
constexpr Modes kDetect = modeOf(ReaderOptions::Task::Detect);
constexpr Modes kDecode = modeOf(ReaderOptions::Task::Decode);
constexpr Modes kCommand = modeOf(ReaderOptions::Task::Command);
constexpr Modes kPorts = modeOf(ReaderOptions::Task::Ports);
constexpr Modes kEveryMode = kRead | kDetect | kDecode | kCommand | kPorts;

using OptionFault = std::variant<UsageError, FileError>;

// The command line as read, and the options being filled from it.
struct OptionContext {
    const tooloptions::GivenOptions& given;
    ReaderOptions& options;
    const std::function<QString(const char*)>& environment;
    const QString& formatsFolder;  // every *.toml in it is a formats file

    bool isSet(const char* name) const { return given.isSet(name); }
    QString value(const char* name) const { return QString::fromStdString(given.value(name)); }
    QStringList values(const char* name) const;
};

// One option: what the reader knows of it, its lines in --help and where its value goes. A row
// without a name is a note, its help printed as it is.
struct OptionRow {
    const char* name;                 // without the dashes
    const char* valueName = nullptr;  // after the name in --help; none for a flag
    const char* help = "";            // in --help, each line after the first in the help column
    Modes modes = kEveryMode;
    // Checks the value and stores it into the options; a refusal is one line.
    std::optional<QString> (*store)(const QString& value, ReaderOptions& options) = nullptr;
    bool repeats = false;
    const char* shortName = nullptr;  // "-V": shown before the name in --help
    QString (*more)() = nullptr;      // lines printed as they are after the help
    bool again = false;  // only a second description, for this group, of another group's option
};

// A part of --help and the options it describes. `prepare` runs before any option is stored,
// `check` after all are, each group's in the table's order.
struct OptionGroup {
    const char* heading;
    std::span<const OptionRow> rows;
    std::optional<OptionFault> (*prepare)(OptionContext& context) = nullptr;
    std::optional<OptionFault> (*check)(OptionContext& context) = nullptr;
};

// The line for --poll-interval, --stable-time and --stable-band beyond their limits.
inline constexpr const char* kReadingLimits =
    "--poll-interval and --stable-time go up to an hour, --stable-band up to 1000000";

// Every group, in the order of --help (optiontable.cpp).
std::span<const OptionGroup* const> optionGroups();

// Every option the reader knows.
std::span<const tooloptions::OptionName> optionNames();

// The first option on the line that `mode` does not take, refused with the mode's line.
std::optional<UsageError> refuseOutside(ReaderOptions::Task mode,
                                        const tooloptions::GivenOptions& given);

// --ports: a listing, whose only other choice is its format.
ParsedOptions readPortsOptions(const tooloptions::GivenOptions& given);

// Every group's part of --help, with a blank line between groups.
QString optionsHelp();

// "--NAME wants a whole number from LEAST on, not 'TEXT'" unless `text` is one.
std::optional<QString> readWhole(const char* name, const QString& text, std::int64_t least,
                                 std::int64_t& number);

}  // namespace scaleread
