#pragma once

#include <QString>
#include <functional>
#include <set>

#include "app/timers/timercontrol.h"
#include "tools/scale-read/mqtt/broker/brokerfailure.h"

namespace scaleread {

// The notes about one broker, which every station's connection reports to. Stations share the
// broker, so they mostly fail together and the same way: a kind of trouble is told once while
// any station has trouble, and once, when the last station is connected again, that it is over.
// A connection that keeps failing (another client taking its id, a broker that drops it at
// once) does not print a line per failure: a spell of trouble that begins within
// kQuietMillis of the last one told is only counted, and one summary every kQuietMillis says
// how many there were and how things stand.
class BrokerNotes {
public:
    using Note = std::function<void(const QString&)>;
    static constexpr int kQuietMillis = 30'000;

    // `timer` times the summaries.
    BrokerNotes(QString broker, Note note, scale::TimerControl& timer);

    // `station`'s latest attempt failed this way.
    void failed(const void* station, const BrokerFailure& failure);
    // `station` is connected, with `kept` stable weights to publish that waited for it.
    void connected(const void* station, std::size_t kept);

private:
    void quietTimeOver();

    QString m_broker;
    Note m_note;
    scale::TimerControl& m_timer;
    std::set<const void*> m_failing;
    std::set<BrokerTrouble> m_told;
    std::size_t m_kept = 0;
    bool m_everConnected = false;
    bool m_spellAfterConnection = false;  // the trouble began after a connection: "is back"
    bool m_spellHeld = false;             // this spell is counted, not told
    int m_spellsHeld = 0;                 // since the last note
    BrokerFailure m_lastTrouble{};        // the latest held spell's
};

}  // namespace scaleread
