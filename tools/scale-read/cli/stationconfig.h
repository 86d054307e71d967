#pragma once

#include <QString>
#include <optional>
#include <variant>
#include <vector>

#include "protocols/stream/formattable.h"
#include "protocols/userformats/formatcatalog.h"

namespace scaleread {

// One station of several: a name for its records and topics, its port and how it talks.
struct StationConfig {
    QString name;
    QString port;       // as given
    int commPort = 1;   // with an empty devicePath: "ComN"
    QString devicePath;
    QString settings = QStringLiteral("9600,N,8,1");
    const scale::FormatDescription* format = &scale::formatOf(scale::IndicatorProtocol::Continuous);
};

// "--protocol 'x' is not ..." and the like: the names a protocol may have, for an error line.
QString protocolChoices(const scale::FormatCatalog& catalog);

// What "ComN", a device path or a name under /dev reaches; an error text when it is no port.
std::optional<QString> parsePortName(const QString& port, int& commPort, QString& devicePath);

// The only station of a run on one port, named after the port ("Com1", "ttyUSB0"): the name a
// broker's topics, the HTTP paths and the typed {station} take.
StationConfig singleStation(const QString& port, int commPort, const QString& devicePath,
                            const QString& settings, const scale::FormatDescription* format);

// "NAME=PORT[,B,P,D,S],PROTOCOL", e.g. "gate=Com1,9600,N,8,1,continuous" or
// "silo=/dev/ttyUSB1,command"; PROTOCOL is any format `catalog` knows.
std::variant<StationConfig, QString> parseStationLine(const QString& text,
                                                      const scale::FormatCatalog& catalog);

// A stations file: one station a line as above; "#" comments and empty lines are skipped.
// Errors name the line.
std::variant<std::vector<StationConfig>, QString> parseStationsFile(
    const QString& path, const scale::FormatCatalog& catalog);

}  // namespace scaleread
