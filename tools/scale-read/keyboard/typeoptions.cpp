#include "tools/scale-read/keyboard/typeoptions.h"

namespace scaleread {
namespace {

// A weight in the indicator's unit, from 0 on; nullopt when it is not one.
std::optional<double> weightValue(const QString& text) {
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || value < 0 || value > 1e9 || text.startsWith(QLatin1Char('+'))) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::variant<std::optional<TypeSettings>, QString> parseTypeOptions(
    const std::function<bool(const char*)>& isSet, const std::function<QString(const char*)>& value,
    const QStringList& stations) {
    if (!isSet("type")) {
        for (const char* name : kTypeOptionNames) {
            if (isSet(name)) {
                return QStringLiteral("--%1 goes with --type").arg(QLatin1String(name));
            }
        }
        return std::optional<TypeSettings>();
    }
    TypeSettings settings;
    settings.templateText = value("type");
    QString decimal = QStringLiteral(".");
    if (isSet("type-decimal")) {
        decimal = value("type-decimal");
        if (decimal != QLatin1String(".") && decimal != QLatin1String(",")) {
            return QStringLiteral("--type-decimal '%1' is not . or ,").arg(decimal);
        }
    }
    auto parsed = TypeTemplate::parse(settings.templateText.toStdString(), decimal.toStdString());
    if (const auto* refused = std::get_if<std::string>(&parsed)) {
        return QStringLiteral("--type: ") + QString::fromStdString(*refused);
    }
    settings.text = std::get<TypeTemplate>(std::move(parsed));

    const QString on = isSet("type-on") ? value("type-on") : QStringLiteral("settle");
    static constexpr std::pair<const char*, TypeOn> kTriggers[] = {
        {"settle", TypeOn::Settle}, {"print", TypeOn::Print}, {"hotkey", TypeOn::Hotkey}};
    const auto* trigger = std::find_if(std::begin(kTriggers), std::end(kTriggers),
                                       [&](const auto& t) { return on == QLatin1String(t.first); });
    if (trigger == std::end(kTriggers)) {
        return QStringLiteral("--type-on '%1' is not settle, print or hotkey").arg(on);
    }
    settings.rules.on = trigger->second;
    if ((settings.rules.on == TypeOn::Hotkey) != isSet("type-hotkey")) {
        return QStringLiteral("--type-hotkey KEY and --type-on hotkey go together");
    }
    settings.hotkey = value("type-hotkey");
    for (const auto& [name, target] :
         {std::pair{"type-zero", &settings.rules.zeroBand}, {"type-min", &settings.rules.minWeight}}) {
        if (isSet(name)) {
            *target = weightValue(value(name));
            if (!*target) {
                return QStringLiteral("--%1 wants a weight from 0 on in the indicator's unit, "
                                      "not '%2'")
                    .arg(QLatin1String(name), value(name));
            }
        }
    }
    if (settings.rules.on != TypeOn::Settle && (isSet("type-zero") || isSet("type-min"))) {
        return QStringLiteral("--type-zero and --type-min are for --type-on settle");
    }
    if (isSet("type-into")) {
        settings.into = value("type-into");
        settings.intoRule.setPattern(settings.into);
        if (!settings.intoRule.isValid()) {
            return QStringLiteral("--type-into '%1' is not a regular expression: %2")
                .arg(settings.into, settings.intoRule.errorString());
        }
    }
    if (isSet("type-station")) {
        settings.station = value("type-station");
        if (!stations.contains(settings.station)) {
            return QStringLiteral("--type-station '%1' is none of the stations given")
                .arg(settings.station);
        }
    } else if (settings.rules.on == TypeOn::Hotkey && stations.size() > 1) {
        return QStringLiteral("--type-on hotkey with several stations needs --type-station NAME");
    }
    return std::optional<TypeSettings>(std::move(settings));
}

}  // namespace scaleread
