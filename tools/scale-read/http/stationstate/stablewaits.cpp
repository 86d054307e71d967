#include "tools/scale-read/http/stationstate/stablewaits.h"

namespace scaleread {

bool StableWaits::add(Wait wait) {
    std::size_t& peerCount = m_perPeer[wait.peer];
    if (m_waits.size() >= m_limit || peerCount >= m_peerLimit) {
        if (peerCount == 0) {
            m_perPeer.erase(wait.peer);
        }
        return false;
    }
    ++peerCount;
    const std::uint64_t id = m_nextId++;
    m_byDeadline.emplace(wait.deadline, id);
    m_byConnection[wait.connection].insert(id);
    m_byStation[wait.station].insert(id);
    m_waits.emplace(id, std::move(wait));
    return true;
}

StableWaits::Wait StableWaits::take(std::uint64_t id) {
    const auto it = m_waits.find(id);
    Wait wait = std::move(it->second);
    m_waits.erase(it);
    m_byDeadline.erase({wait.deadline, id});
    if (auto owner = m_byConnection.find(wait.connection); owner != m_byConnection.end()) {
        owner->second.erase(id);
        if (owner->second.empty()) {
            m_byConnection.erase(owner);
        }
    }
    if (auto station = m_byStation.find(wait.station); station != m_byStation.end()) {
        station->second.erase(id);
        if (station->second.empty()) {
            m_byStation.erase(station);
        }
    }
    if (auto peer = m_perPeer.find(wait.peer); peer != m_perPeer.end() && --peer->second == 0) {
        m_perPeer.erase(peer);
    }
    return wait;
}

std::vector<StableWaits::Wait> StableWaits::expire(std::int64_t now) {
    std::vector<Wait> expired;
    while (!m_byDeadline.empty() && m_byDeadline.begin()->first <= now) {
        expired.push_back(take(m_byDeadline.begin()->second));
    }
    return expired;
}

std::vector<StableWaits::Wait> StableWaits::takeStation(std::size_t station) {
    std::vector<Wait> taken;
    const auto it = m_byStation.find(station);
    if (it == m_byStation.end()) {
        return taken;
    }
    const std::set<std::uint64_t> ids = it->second;
    for (const std::uint64_t id : ids) {
        taken.push_back(take(id));
    }
    return taken;
}

void StableWaits::dropConnection(std::uint64_t connection) {
    const auto it = m_byConnection.find(connection);
    if (it == m_byConnection.end()) {
        return;
    }
    const std::set<std::uint64_t> ids = it->second;
    for (const std::uint64_t id : ids) {
        take(id);
    }
}

std::optional<std::int64_t> StableWaits::nextDeadline() const {
    if (m_byDeadline.empty()) {
        return std::nullopt;
    }
    return m_byDeadline.begin()->first;
}

}  // namespace scaleread
