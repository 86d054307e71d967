#pragma once

#include <QString>
#include <functional>
#include <set>

#include "tools/scale-read/brokerfailure.h"

namespace scaleread {

// The notes about one broker, which every station's connection reports to. Stations share the
// broker, so they mostly fail together and the same way: a kind of trouble is told once while
// any station has trouble, and once, when the last station is connected again, that it is over.
class BrokerNotes {
public:
    using Note = std::function<void(const QString&)>;

    BrokerNotes(QString broker, Note note) : m_broker(std::move(broker)), m_note(std::move(note)) {}

    // `station`'s latest attempt failed this way.
    void failed(const void* station, const BrokerFailure& failure);
    // `station` is connected, with `kept` stable weights to publish that waited for it.
    void connected(const void* station, std::size_t kept);

private:
    QString m_broker;
    Note m_note;
    std::set<const void*> m_failing;
    std::set<BrokerTrouble> m_told;
    std::size_t m_kept = 0;
    bool m_everConnected = false;
    bool m_spellAfterConnection = false;  // the trouble began after a connection: "is back"
};

}  // namespace scaleread
