#include "tools/scale-read/http/stationstate/stationboard.h"

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

void StationBoard::setPort(std::size_t index, Port port, const QString& reason) {
    Entry& entry = m_entries[index];
    entry.port = port;
    entry.reason = port == Port::Open ? QString() : reason;
    if (port != Port::Open) {
        // What settled before a loss is no weighing of what stands on the scale now; back, the
        // station waits for a frame of its own.
        entry.readSinceOpen = false;
        entry.placement.unsettled();
    }
}

void StationBoard::reading(std::size_t index, std::string_view record, double weight, bool stable,
                           bool became, std::int64_t nowMillis) {
    Entry& entry = m_entries[index];
    entry.port = Port::Open;
    entry.reason.clear();
    entry.lastReading = nowMillis;
    entry.readSinceOpen = true;
    entry.placement.reading(record, stable, became);
    entry.trend.add(nowMillis, weight);
    entry.record.assign(record);
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
    const bool recent = entry.readSinceOpen && nowMillis - entry.lastReading < kWaitingMillis;
    return recent ? QStringLiteral("reading") : QStringLiteral("waiting");
}

QJsonObject StationBoard::stateObject(std::size_t index, std::int64_t nowMillis) const {
    const Entry& entry = m_entries[index];
    const QString now = state(index, nowMillis);
    QJsonObject record;
    if (!entry.record.empty()) {
        record = QJsonDocument::fromJson(QByteArray::fromStdString(entry.record)).object();
    }
    QJsonObject object;
    if (now == QLatin1String("reading")) {
        object = record;
    } else {
        // Nothing of the last record may pass for a reading of now: its weight stays, under a
        // name that says it is old, without the bytes and the stable word it came with.
        object.insert(QStringLiteral("stable"), false);
        if (!entry.reason.isEmpty()) {
            object.insert(QStringLiteral("reason"), entry.reason);
        }
        if (!record.isEmpty()) {
            for (const char* key : {"station", "port", "protocol", "stable", "raw"}) {
                record.remove(QLatin1String(key));
            }
            object.insert(QStringLiteral("last"), record);
            object.insert(QStringLiteral("age_ms"),
                          static_cast<qint64>(nowMillis - entry.lastReading));
        }
    }
    object.insert(QStringLiteral("station"), entry.station.name);
    object.insert(QStringLiteral("port"), entry.station.port);
    object.insert(QStringLiteral("protocol"), entry.station.protocol);
    object.insert(QStringLiteral("state"), now);
    return object;
}

std::vector<std::size_t> StationBoard::changes(std::int64_t nowMillis) {
    std::vector<std::size_t> changed;
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        QString now = state(i, nowMillis) + QLatin1Char('\n') + m_entries[i].reason;
        if (now != m_entries[i].announced) {
            m_entries[i].announced = std::move(now);
            changed.push_back(i);
        }
    }
    return changed;
}

}  // namespace scaleread
