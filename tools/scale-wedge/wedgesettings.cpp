#include "tools/scale-wedge/wedgesettings.h"

#include <QCoreApplication>
#include <QMap>
#include <QSettings>

#include "app/settings/datafolder.h"

namespace scalewedge {

std::variant<scaleread::TypeSettings, QString> WedgeSettings::typeSettings() const {
    QMap<QString, QString> given{{QStringLiteral("type"), text}, {QStringLiteral("type-on"), on},
                                 {QStringLiteral("type-decimal"), decimal}};
    if (!hotkey.isEmpty() && on == QLatin1String("hotkey")) {
        given.insert(QStringLiteral("type-hotkey"), hotkey);
    }
    if (!into.isEmpty()) {
        given.insert(QStringLiteral("type-into"), into);
    }
    auto parsed = scaleread::parseTypeOptions(
        [&](const char* name) { return given.contains(QLatin1String(name)); },
        [&](const char* name) { return given.value(QLatin1String(name)); }, {});
    if (const auto* error = std::get_if<QString>(&parsed)) {
        return *error;
    }
    return *std::get<std::optional<scaleread::TypeSettings>>(std::move(parsed));
}

QString settingsPath() {
    return scale::dataFolder(QCoreApplication::applicationDirPath()) +
           QStringLiteral("/scale-wedge.ini");
}

WedgeSettings loadSettings(const QString& path) {
    QSettings file(path, QSettings::IniFormat);
    WedgeSettings settings;
    for (auto [key, field] : {std::pair{"port", &settings.port}, {"settings", &settings.lineSettings},
                              {"protocol", &settings.protocol}, {"template", &settings.text},
                              {"on", &settings.on}, {"hotkey", &settings.hotkey},
                              {"into", &settings.into}, {"decimal", &settings.decimal}}) {
        // An unquoted value with commas (9600,N,8,1 written by hand) reads as a list.
        const QVariant value = file.value(QLatin1String(key), *field);
        *field = value.typeId() == QMetaType::QStringList
                     ? value.toStringList().join(QLatin1Char(','))
                     : value.toString();
    }
    return settings;
}

bool saveSettings(const QString& path, const WedgeSettings& settings) {
    QSettings file(path, QSettings::IniFormat);
    for (auto [key, field] : {std::pair{"port", &settings.port}, {"settings", &settings.lineSettings},
                              {"protocol", &settings.protocol}, {"template", &settings.text},
                              {"on", &settings.on}, {"hotkey", &settings.hotkey},
                              {"into", &settings.into}, {"decimal", &settings.decimal}}) {
        file.setValue(QLatin1String(key), *field);
    }
    file.sync();
    return file.status() == QSettings::NoError;
}

}  // namespace scalewedge
