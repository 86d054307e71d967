#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/scale-read/http/stationstate/stableplacement.h"
#include "tools/scale-read/http/stationstate/weighttrend.h"

namespace scaleread {

// Every station's latest state for the HTTP service: the port's state and why it is not open, the
// last reading's record (the jsonl object the reader writes, so that its fields pass through as
// they are), the weight standing now with its placement number, and the trend. Only a station
// that is reading shows its record as current; any other shows it as "last", with its age.
// Times are steady milliseconds given by the caller.
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

    // `reason`: why the port is not open or was lost, for a person to read.
    void setPort(std::size_t index, Port port, const QString& reason = {});
    // A reading's record (without its line end); `became`: its weight has just settled.
    void reading(std::size_t index, std::string_view record, double weight, bool stable, bool became,
                 std::int64_t nowMillis);
    // A frame that carries no weight (overload, an indicator's error): no weight stands.
    void unsettled(std::size_t index) { m_entries[index].placement.unsettled(); }

    // "reading", "waiting", "port-lost" or "not-open".
    QString state(std::size_t index, std::int64_t nowMillis) const;
    // station, port, protocol, state; while reading the last record's other fields, else
    // "stable":false, the reason where known, and the last record's weight under "last" with
    // its age in "age_ms".
    QJsonObject stateObject(std::size_t index, std::int64_t nowMillis) const;
    // The stations whose state (or reason) differs from the one this last returned for them.
    std::vector<std::size_t> changes(std::int64_t nowMillis);

    const StablePlacement& placement(std::size_t index) const {
        return m_entries[index].placement;
    }
    const WeightTrend& trend(std::size_t index) const { return m_entries[index].trend; }

private:
    struct Entry {
        Station station;
        Port port = Port::NotOpen;
        QString reason;
        std::int64_t lastReading = std::numeric_limits<std::int64_t>::min();
        bool readSinceOpen = false;  // the record is of this opening of the port
        std::string record;  // kept in place: no allocation a reading
        StablePlacement placement;
        WeightTrend trend;
        QString announced;
    };

    std::vector<Entry> m_entries;
};

}  // namespace scaleread
