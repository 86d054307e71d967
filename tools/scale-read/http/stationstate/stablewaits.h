#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <unordered_map>
#include <utility>
#include <vector>

namespace scaleread {

// The requests waiting for a station's next settled weight, each until its deadline. Bounded in
// total and per peer address; ordered by deadline, so that one timer serves them all and an
// expiry costs a logarithm, not a search.
class StableWaits {
public:
    struct Wait {
        std::uint64_t connection = 0;  // whose answer it is
        std::uint64_t slot = 0;        // which of that connection's requests
        std::size_t station = 0;
        std::int64_t deadline = 0;  // steady milliseconds
        int waitMillis = 0;         // as asked, for the answer
        QString peer;               // the client's address, without port
        std::vector<std::pair<QByteArray, QByteArray>> headers;
    };

    StableWaits(std::size_t limit, std::size_t peerLimit) : m_limit(limit), m_peerLimit(peerLimit) {}

    // False, and nothing kept, when the total or the peer's share is full.
    bool add(Wait wait);
    // Those whose deadline is `now` or past, taken out, earliest first.
    std::vector<Wait> expire(std::int64_t now);
    // All of a station's, taken out, in the order they came.
    std::vector<Wait> takeStation(std::size_t station);
    // A connection's, dropped: its client went.
    void dropConnection(std::uint64_t connection);
    std::optional<std::int64_t> nextDeadline() const;
    std::size_t size() const { return m_waits.size(); }

private:
    Wait take(std::uint64_t id);

    std::size_t m_limit;
    std::size_t m_peerLimit;
    std::uint64_t m_nextId = 0;
    std::map<std::uint64_t, Wait> m_waits;  // by id, which is also the order they came
    std::set<std::pair<std::int64_t, std::uint64_t>> m_byDeadline;
    std::unordered_map<std::uint64_t, std::set<std::uint64_t>> m_byConnection;
    std::map<std::size_t, std::set<std::uint64_t>> m_byStation;
    std::map<QString, std::size_t> m_perPeer;
};

}  // namespace scaleread
