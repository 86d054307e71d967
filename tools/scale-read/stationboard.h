#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

namespace scaleread {

// Every station's latest state for the HTTP service: the port's state, the last reading's record
// (the jsonl object the reader writes, so that its fields pass through as they are), and which
// settled weight a "weigh" request has taken. Times are steady milliseconds given by the caller.
class StationBoard {
public:
    enum class Port { NotOpen, Open, Lost };

    struct Station {
        QString name;
        QString port;
        QString protocol;
        QStringList commands;  // those its indicator takes
    };

    // No frame for this long: "waiting", as the window's watchdog shows "Load...".
    static constexpr std::int64_t kWaitingMillis = 500;

    explicit StationBoard(std::vector<Station> stations);

    std::size_t size() const { return m_entries.size(); }
    const Station& station(std::size_t index) const { return m_entries[index].station; }
    std::optional<std::size_t> find(const QString& name) const;

    void setPort(std::size_t index, Port port);
    // A reading's record (without its line end); `became`: its weight has just settled.
    void reading(std::size_t index, QByteArray record, bool stable, bool became,
                 std::int64_t nowMillis);

    // "reading", "waiting", "port-lost" or "not-open".
    QString state(std::size_t index, std::int64_t nowMillis) const;
    // station, port, protocol, state and the last record's other fields.
    QJsonObject stateObject(std::size_t index, std::int64_t nowMillis) const;
    // The stations whose state differs from the one this last returned for them.
    std::vector<std::size_t> changes(std::int64_t nowMillis);

    // The settled weight's record when the weight is stable now and no one took it yet; it is
    // then taken.
    std::optional<QByteArray> takeStable(std::size_t index, std::int64_t nowMillis);
    // Marks the weight that has just settled as taken (by requests that waited for it).
    void markTaken(std::size_t index) { m_entries[index].taken = m_entries[index].settled; }

private:
    struct Entry {
        Station station;
        Port port = Port::NotOpen;
        std::int64_t lastReading = std::numeric_limits<std::int64_t>::min();
        QByteArray record;
        bool stable = false;
        std::uint64_t settled = 0;  // counts the times the weight settled
        std::uint64_t taken = 0;
        QString announced;
    };

    std::vector<Entry> m_entries;
};

}  // namespace scaleread
