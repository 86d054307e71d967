#include "tools/scale-read/cli/optiontable.h"

#include <algorithm>

#include "tools/scale-read/cli/optiongroups.h"

namespace scaleread {
namespace {

// The one table: every group of options, in the order of --help. A group of another room is
// registered here with one line.
const OptionGroup* const kGroups[] = {
    &lineOptions,      &stationOptions, &mqttOptions,   &serviceOptions, &modbusOptions,
    &serveOptions,     &keyboardOptions, &recordOptions, &detectOptions,  &commandOptions,
    &portsOptions,     &recordingOptions, &runningOptions,
};

// How each mode refuses an option it does not take; reading takes them all.
const char* refusalOf(ReaderOptions::Task mode) {
    switch (mode) {
    case ReaderOptions::Task::Detect: return "--%1 is for reading, not with --detect";
    case ReaderOptions::Task::Decode: return "--%1 is for reading a port, not with --input";
    case ReaderOptions::Task::Command: return "--%1 is not for --command";
    case ReaderOptions::Task::Ports: return "--%1 is not for --ports";
    case ReaderOptions::Task::Read: break;
    }
    return nullptr;
}

const OptionRow* rowNamed(std::string_view name) {
    for (const OptionGroup* group : kGroups) {
        for (const OptionRow& row : group->rows) {
            if (row.name != nullptr && !row.again && name == row.name) {
                return &row;
            }
        }
    }
    return nullptr;
}

}  // namespace

QStringList OptionContext::values(const char* name) const {
    QStringList all;
    for (const std::string& text : given.values(name)) {
        all << QString::fromStdString(text);
    }
    return all;
}

std::span<const OptionGroup* const> optionGroups() {
    return kGroups;
}

std::span<const tooloptions::OptionName> optionNames() {
    static const std::vector<tooloptions::OptionName> names = [] {
        std::vector<tooloptions::OptionName> all;
        for (const OptionGroup* group : kGroups) {
            for (const OptionRow& row : group->rows) {
                if (row.name != nullptr && !row.again) {
                    all.push_back({row.name, row.valueName != nullptr, row.repeats});
                }
            }
        }
        return all;
    }();
    return names;
}

std::optional<UsageError> refuseOutside(ReaderOptions::Task mode,
                                        const tooloptions::GivenOptions& given) {
    const char* refusal = refusalOf(mode);
    for (const std::string& name : given.names()) {
        const OptionRow* row = rowNamed(name);
        if (refusal != nullptr && row != nullptr && (row->modes & modeOf(mode)) == 0) {
            return UsageError{QString::fromLatin1(refusal).arg(QString::fromStdString(name))};
        }
    }
    return std::nullopt;
}

QString optionsHelp() {
    std::string help;
    for (const OptionGroup* group : kGroups) {
        help += help.empty() ? "" : "\n";
        help += std::string(group->heading) + "\n";
        for (const OptionRow& row : group->rows) {
            if (row.name == nullptr) {
                help += row.help;
                continue;
            }
            std::string label = row.shortName ? std::string(row.shortName) + ", --" : "--";
            label += row.name;
            if (row.valueName != nullptr) {
                label += std::string(" ") + row.valueName;
            }
            help += tooloptions::helpLines(label, row.help);
            if (row.more != nullptr) {
                help += row.more().toStdString();
            }
        }
    }
    return QString::fromStdString(help);
}

std::optional<QString> readWhole(const char* name, const QString& text, std::int64_t least,
                                 std::int64_t& number) {
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    if (!ok || value < least || text.startsWith(QLatin1Char('+'))) {
        return QStringLiteral("--%1 wants a whole number from %2 on, not '%3'")
            .arg(QLatin1String(name))
            .arg(least)
            .arg(text);
    }
    number = static_cast<std::int64_t>(value);
    return std::nullopt;
}

}  // namespace scaleread
