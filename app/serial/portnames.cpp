#include "app/serial/portnames.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <tuple>

namespace scale {
namespace {

// Sort key: adapters (group 0) by number, then the rest (group 1) by name.
std::tuple<int, int, QString> portKey(const QString& location) {
    static const QRegularExpression adapter(QStringLiteral("tty(USB|ACM)(\\d+)$"));
    const auto match = adapter.match(location);
    if (match.hasMatch()) {
        return {0, match.captured(2).toInt(), location};
    }
    return {1, 0, location};
}

}  // namespace

QStringList orderHostPorts(QStringList systemLocations) {
    std::stable_sort(systemLocations.begin(), systemLocations.end(),
                     [](const QString& a, const QString& b) { return portKey(a) < portKey(b); });
    return systemLocations;
}

std::optional<QString> linkedPortDevice(int port, const QString& portsFolder) {
    const QFileInfo link(portsFolder + QStringLiteral("/Com") + QString::number(port));
    if (link.isSymLink()) {
        // A dangling link still names the device: opening it fails instead of silently
        // reaching some other port.
        return link.symLinkTarget();
    }
    if (link.exists()) {
        return link.absoluteFilePath();
    }
    return std::nullopt;
}

QString resolvePortDevice(int port, const QString& portsFolder, const QStringList& hostPorts) {
    if (const auto linked = linkedPortDevice(port, portsFolder)) {
        return *linked;
    }
#ifdef Q_OS_WIN
    Q_UNUSED(hostPorts);
    return QStringLiteral("COM") + QString::number(port);
#else
    if (port >= 1 && port <= hostPorts.size()) {
        return hostPorts.at(port - 1);
    }
    return {};
#endif
}

}  // namespace scale
