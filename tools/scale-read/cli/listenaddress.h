#pragma once

#include <QHostAddress>
#include <QString>
#include <optional>

namespace scaleread {

// Where a service of the reader listens, as --http and --modbus take it: "8080", "ADDR:8080" or
// "[v6]:8080". ADDR is an IP address of this host or "localhost", never another name: a name
// could resolve elsewhere tomorrow. Port 0 takes any free one. `address` is left as it is when
// the text names none. The refusal names `option` ("--http") and shows `examplePort`.
std::optional<QString> parseListenAddress(const QString& option, const QString& text,
                                          const QString& examplePort, QHostAddress& address,
                                          quint16& port);

}  // namespace scaleread
