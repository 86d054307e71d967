#pragma once

#include <QString>
#include <optional>
#include <variant>
#include <vector>

#include "protocols/indicatorprotocol.h"

namespace scaleread {

// One station of several: a name for its records and topics, its port and how it talks.
struct StationConfig {
    QString name;
    QString port;       // as given
    int commPort = 1;   // with an empty devicePath: "ComN"
    QString devicePath;
    QString settings = QStringLiteral("9600,N,8,1");
    scale::IndicatorProtocol protocol = scale::IndicatorProtocol::Continuous;
};

// What "ComN", a device path or a name under /dev reaches; an error text when it is no port.
std::optional<QString> parsePortName(const QString& port, int& commPort, QString& devicePath);

// "NAME=PORT[,B,P,D,S],PROTOCOL", e.g. "gate=Com1,9600,N,8,1,continuous" or
// "silo=/dev/ttyUSB1,command".
std::variant<StationConfig, QString> parseStationLine(const QString& text);

// A stations file: one station a line as above; "#" comments and empty lines are skipped.
// Errors name the line.
std::variant<std::vector<StationConfig>, QString> parseStationsFile(const QString& path);

}  // namespace scaleread
