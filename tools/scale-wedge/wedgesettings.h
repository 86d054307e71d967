#pragma once

#include <QString>
#include <optional>

#include "tools/scale-read/keyboard/typeoptions.h"

namespace scalewedge {

// What the user chose, saved per user (scale-wedge.ini in the settings folder).
struct WedgeSettings {
    QString port = QStringLiteral("Com1");
    QString lineSettings = QStringLiteral("9600,N,8,1");
    QString protocol = QStringLiteral("continuous");
    QString text = QStringLiteral("{weight}{Enter}");  // the template, as --type takes it
    QString on = QStringLiteral("settle");             // --type-on
    QString hotkey;                                    // --type-hotkey
    QString into;                                      // --type-into
    QString decimal = QStringLiteral(".");

    // The typing part as scale-read --type reads it, or its error in one line.
    std::variant<scaleread::TypeSettings, QString> typeSettings() const;
};

QString settingsPath();
WedgeSettings loadSettings(const QString& path);
bool saveSettings(const QString& path, const WedgeSettings& settings);

}  // namespace scalewedge
