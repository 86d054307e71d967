#include "tools/scale-read/stationboard.h"

#include <QJsonDocument>

namespace scaleread {

StationBoard::StationBoard(std::vector<Station> stations) {
    m_entries.reserve(stations.size());
    for (Station& station : stations) {
        Entry entry;
        entry.station = std::move(station);
        m_entries.push_back(std::move(entry));
    }
}

std::optional<std::size_t> StationBoard::find(const QString& name) const {
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].station.name == name) {
            return i;
        }
    }
    return std::nullopt;
}

void StationBoard::setPort(std::size_t index, Port port) {
    Entry& entry = m_entries[index];
    entry.port = port;
    if (port != Port::Open) {
        // What settled before the loss is no weighing of what stands on the scale now.
        entry.stable = false;
        entry.lastReading = std::numeric_limits<std::int64_t>::min();
    }
}

void StationBoard::reading(std::size_t index, QByteArray record, bool stable, bool became,
                           std::int64_t nowMillis) {
    Entry& entry = m_entries[index];
    entry.port = Port::Open;
    entry.record = std::move(record);
    entry.stable = stable;
    entry.lastReading = nowMillis;
    if (became) {
        ++entry.settled;
    }
}

QString StationBoard::state(std::size_t index, std::int64_t nowMillis) const {
    const Entry& entry = m_entries[index];
    switch (entry.port) {
        case Port::NotOpen:
            return QStringLiteral("not-open");
        case Port::Lost:
            return QStringLiteral("port-lost");
        case Port::Open:
            break;
    }
    const bool recent = entry.lastReading != std::numeric_limits<std::int64_t>::min() &&
                        nowMillis - entry.lastReading < kWaitingMillis;
    return recent ? QStringLiteral("reading") : QStringLiteral("waiting");
}

QJsonObject StationBoard::stateObject(std::size_t index, std::int64_t nowMillis) const {
    const Entry& entry = m_entries[index];
    QJsonObject object;
    if (!entry.record.isEmpty()) {
        object = QJsonDocument::fromJson(entry.record).object();
    }
    object.insert(QStringLiteral("station"), entry.station.name);
    object.insert(QStringLiteral("port"), entry.station.port);
    object.insert(QStringLiteral("protocol"), entry.station.protocol);
    object.insert(QStringLiteral("state"), state(index, nowMillis));
    return object;
}

std::vector<std::size_t> StationBoard::changes(std::int64_t nowMillis) {
    std::vector<std::size_t> changed;
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        QString now = state(i, nowMillis);
        if (now != m_entries[i].announced) {
            m_entries[i].announced = std::move(now);
            changed.push_back(i);
        }
    }
    return changed;
}

std::optional<QByteArray> StationBoard::takeStable(std::size_t index, std::int64_t nowMillis) {
    Entry& entry = m_entries[index];
    if (!entry.stable || entry.taken == entry.settled ||
        state(index, nowMillis) != QLatin1String("reading")) {
        return std::nullopt;
    }
    entry.taken = entry.settled;
    return entry.record;
}

}  // namespace scaleread
