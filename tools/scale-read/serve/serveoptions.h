#pragma once

#include <QString>
#include <QStringList>
#include <variant>
#include <vector>

#include "tools/scale-read/serve/servedformats.h"

namespace scaleread {

// One --serve: a station served in a format on a TCP port or a pseudo-terminal.
struct ServeTarget {
    QString station;  // empty: the single --port
    const ServedFormat* format = nullptr;
    QString address;   // TCP: the address listened on
    quint16 port = 0;  // TCP: 0 takes a free one
    QString link;      // else the pseudo-terminal's link
};

// Reads the --serve values: [STATION=]FORMAT://[ADDR:]PORT (address 127.0.0.1 unless given) or
// [STATION=]FORMAT:LINK. `stations`: the names of --station, empty for a single --port, where a
// target names none. A message naming the value when one is wrong.
std::variant<std::vector<ServeTarget>, QString> readServeTargets(const QStringList& values,
                                                                 const QStringList& stations);


}  // namespace scaleread
